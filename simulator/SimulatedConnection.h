// The host's live connection to a simulated gateway, as the plug-in reaches it.
#pragma once

#include "hostapi/EtsServices.h"
#include "simulator/GatewaySimulator.h"

#include <memory>

class SimulatedConnection final : public ComObject<IEtsLifeDeviceConnection>
{
public:
    // Every call but Open and Close fails with this while the connection is not open.
    static constexpr HRESULT kNotOpen = E_UNEXPECTED;

    explicit SimulatedConnection(std::shared_ptr<GatewaySimulator> gateway);

    // ETS_E_DEVICE_NOT_FOUND when the gateway is switched off or cannot be reached.
    HRESULT Open() override;
    // S_FALSE when it was not open.
    HRESULT Close() override;
    HRESULT get_DeviceInfo(IEtsDeviceInfo** info) override;
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                         std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                         std::uint8_t* buffer) override;
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                          std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                          const std::uint8_t* buffer, std::int16_t verify) override;

    bool IsOpen() const { return m_open; }
    const std::shared_ptr<GatewaySimulator>& Gateway() const { return m_gateway; }

private:
    std::shared_ptr<GatewaySimulator> m_gateway;
    bool m_open = false;
};
