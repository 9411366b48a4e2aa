#include "simulator/SimulatedConnection.h"

namespace {
// The device information the connection hands out: read from the device when asked for.
class SimulatedDeviceInfo final : public ComObject<IEtsDeviceInfo>
{
public:
    explicit SimulatedDeviceInfo(std::uint16_t maskVersion) : m_maskVersion(maskVersion) {}
    HRESULT get_MaskVersion(std::uint16_t* maskVersion) override
    {
        if (!maskVersion)
            return E_POINTER;
        *maskVersion = m_maskVersion;
        return S_OK;
    }

private:
    std::uint16_t m_maskVersion;
};
} // namespace

SimulatedConnection::SimulatedConnection(std::shared_ptr<GatewaySimulator> gateway)
    : m_gateway(std::move(gateway))
{}

HRESULT SimulatedConnection::Open()
{
    if (!m_gateway)
        return ETS_E_DEVICE_NOT_FOUND;
    HRESULT hr = m_gateway->Connect();
    if (SUCCEEDED(hr))
        m_open = true;
    return hr;
}

HRESULT SimulatedConnection::Close()
{
    if (!m_open)
        return S_FALSE;
    m_open = false;
    return S_OK;
}

HRESULT SimulatedConnection::get_DeviceInfo(IEtsDeviceInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (!m_open)
        return kNotOpen;
    std::uint16_t maskVersion = 0;
    HRESULT hr = m_gateway->ReadMaskVersion(&maskVersion);
    if (FAILED(hr))
        return hr;
    ComPtr<IEtsDeviceInfo> created = MakeComObject<SimulatedDeviceInfo>(maskVersion);
    return created.CopyTo(info);
}

HRESULT SimulatedConnection::ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                          std::int32_t propertyType, std::uint16_t startIndex,
                                          std::uint16_t count, std::uint32_t size, std::uint8_t* buffer)
{
    if (!m_open)
        return kNotOpen;
    return m_gateway->ReadProperty(objectIndex, propertyId, propertyType, startIndex, count, size, buffer);
}

HRESULT SimulatedConnection::WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                           std::int32_t propertyType, std::uint16_t startIndex,
                                           std::uint16_t count, std::uint32_t size,
                                           const std::uint8_t* buffer, std::int16_t verify)
{
    if (!m_open)
        return kNotOpen;
    return m_gateway->WriteProperty(objectIndex, propertyId, propertyType, startIndex, count, size, buffer,
                                    verify != 0);
}
