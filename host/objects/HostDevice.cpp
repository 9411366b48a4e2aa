#include "host/objects/HostDevice.h"

#include "host/objects/HostCollection.h"
#include "host/objects/HostObjects.h"
#include "host/objects/HostParameters.h"
#include "host/objects/HostProject.h"

#include <cstdio>

std::string FormatIndividualAddress(std::uint16_t address)
{
    return std::to_string(address >> 12) + "." + std::to_string((address >> 8) & 0x0F) + "." +
           std::to_string(address & 0xFF);
}

std::optional<std::uint16_t> ParseIndividualAddress(const std::string& text)
{
    unsigned area = 0, line = 0, device = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%u.%u.%u%c", &area, &line, &device, &end) != 3 || area > 15 || line > 15 ||
        device > 255)
        return std::nullopt;
    if (text.find_first_not_of("0123456789.") != std::string::npos)
        return std::nullopt;
    return static_cast<std::uint16_t>(area << 12 | line << 8 | device);
}

HRESULT CHostApplicationProgram::get_Number(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_device.applicationNumber;
    return S_OK;
}

HRESULT CHostApplicationProgram::get_Version(std::int32_t* version)
{
    if (!version)
        return E_POINTER;
    *version = m_device.applicationVersion;
    return S_OK;
}

HRESULT CHostApplicationProgram::get_MaskVersion(std::int32_t* maskVersion)
{
    if (!maskVersion)
        return E_POINTER;
    *maskVersion = m_device.maskVersion;
    return S_OK;
}

HRESULT CHostApplicationProgram::get_Manufacturer(IEtsManufacturer** manufacturer)
{
    if (!manufacturer)
        return E_POINTER;
    return HandOut(MakeComObject<CHostManufacturer>(m_device.manufacturer, m_manufacturerName), manufacturer);
}

HRESULT CHostDevice::get_Parameters(IEtsCollection<IEtsDeviceParameter>** parameters)
{
    if (!parameters)
        return E_POINTER;
    if (!m_parameters)
        m_parameters = MakeDeviceParameterList(m_context);
    return m_parameters.CopyTo(parameters);
}

HRESULT CHostDevice::get_CommObjects(std::int16_t visibleOnly, IEtsCollection<IEtsCommObject>** objects)
{
    if (!objects)
        return E_POINTER;
    if (!m_objectItems)
        m_objectItems = std::make_shared<CommObjectItems>(m_context);
    if (visibleOnly)
        return MakeCommObjectList(m_objectItems, true).CopyTo(objects);
    if (!m_allObjects)
        m_allObjects = MakeCommObjectList(m_objectItems, false);
    return m_allObjects.CopyTo(objects);
}

HRESULT CHostDevice::get_IndividualAddress(std::string* address)
{
    if (!address)
        return E_POINTER;
    *address = FormatIndividualAddress(m_context->Record().individualAddress);
    return S_OK;
}

HRESULT CHostDevice::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_context->Record().name;
    return S_OK;
}

HRESULT CHostDevice::get_Description(std::string* description)
{
    if (!description)
        return E_POINTER;
    *description = m_context->Record().description;
    return S_OK;
}

HRESULT CHostDevice::get_Project(IEtsProject** project)
{
    if (!project)
        return E_POINTER;
    return HandOut(MakeComObject<CHostProject>(m_context->StorePtr(), m_context->ModelPtr()), project);
}

HRESULT CHostDevice::get_ApplicationProgram(IEtsApplicationProgram** program)
{
    if (!program)
        return E_POINTER;
    const ApplicationIdentity& app = m_context->Model().Application();
    std::string manufacturerName =
        m_context->Record().manufacturer == app.manufacturerNumber ? app.manufacturerName : std::string();
    return HandOut(MakeComObject<CHostApplicationProgram>(m_context->Record(), manufacturerName), program);
}
