// Host objects of the edited device and its application program.
#pragma once

#include "host/objects/DeviceContext.h"
#include "hostapi/EtsDevice.h"

#include <memory>
#include <optional>
#include <string>

// "area.line.device" of a 16-bit individual address, and back (nothing for a malformed text).
std::string FormatIndividualAddress(std::uint16_t address);
std::optional<std::uint16_t> ParseIndividualAddress(const std::string& text);

class CHostApplicationProgram final : public ComObject<IEtsApplicationProgram>
{
public:
    CHostApplicationProgram(DeviceRecord device, std::string manufacturerName)
        : m_device(std::move(device)), m_manufacturerName(std::move(manufacturerName))
    {}
    HRESULT get_Number(std::int32_t* number) override;
    HRESULT get_Version(std::int32_t* version) override;
    HRESULT get_MaskVersion(std::int32_t* maskVersion) override;
    HRESULT get_Manufacturer(IEtsManufacturer** manufacturer) override;

private:
    DeviceRecord m_device;
    std::string m_manufacturerName;
};

class CommObjectItems;

class CHostDevice final : public ComObject<IEtsDevice>
{
public:
    explicit CHostDevice(std::shared_ptr<DeviceContext> context) : m_context(std::move(context)) {}
    // Every parameter of the catalogue, in its order; the same list on every call.
    HRESULT get_Parameters(IEtsCollection<IEtsDeviceParameter>** parameters) override;
    HRESULT get_CommObjects(std::int16_t visibleOnly, IEtsCollection<IEtsCommObject>** objects) override;
    HRESULT get_IndividualAddress(std::string* address) override;
    HRESULT get_Name(std::string* name) override;
    HRESULT get_Description(std::string* description) override;
    HRESULT get_Project(IEtsProject** project) override;
    HRESULT get_ApplicationProgram(IEtsApplicationProgram** program) override;

    const std::shared_ptr<DeviceContext>& Context() const { return m_context; }

private:
    std::shared_ptr<DeviceContext> m_context;
    ComPtr<IEtsCollection<IEtsDeviceParameter>> m_parameters;
    std::shared_ptr<CommObjectItems> m_objectItems;
    // The list of all objects never changes; the visible ones are listed anew on every call.
    ComPtr<IEtsCollection<IEtsCommObject>> m_allObjects;
};
