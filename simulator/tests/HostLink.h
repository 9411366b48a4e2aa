// The host's connection to a simulated gateway as the online tests reach it: in process, or, in the
// builds of the same tests with VELTRONA_KNXNET_LOOPBACK, over KNXnet/IP through a tunnelling server
// in front of the gateway on a loopback port.
#pragma once

#include "simulator/SimulatedConnection.h"

#ifdef VELTRONA_KNXNET_LOOPBACK
#include "knxnet/KnxNetIpConnection.h"
#include "simulator/KnxNetIpServer.h"

#include <cstdio>
#endif

#include <memory>

namespace hostlink {

#ifdef VELTRONA_KNXNET_LOOPBACK
// A tunnel client with the server it talks to; the client goes first.
class Connection final : public ComObject<IEtsLifeDeviceConnection>
{
public:
    static constexpr HRESULT kNotOpen = knx::KnxNetIpConnection::kNotOpen;

    explicit Connection(std::shared_ptr<GatewaySimulator> gateway)
        : m_server(std::make_unique<KnxNetIpServer>(std::move(gateway)))
    {
        std::string error;
        // Without its server the connection cannot open, which the test then shows.
        if (!m_server->Start(&error))
            std::fprintf(stderr, "KNXnet/IP loopback server: %s\n", error.c_str());
        knx::KnxNetIpSettings settings;
        settings.server = m_server->Endpoint();
        settings.device = m_server->DeviceAddress();
        m_client = MakeComObject<knx::KnxNetIpConnection>(settings);
    }
    HRESULT Open() override { return m_client->Open(); }
    HRESULT Close() override { return m_client->Close(); }
    HRESULT get_DeviceInfo(IEtsDeviceInfo** info) override { return m_client->get_DeviceInfo(info); }
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                         std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                         std::uint8_t* buffer) override
    {
        return m_client->ReadProperty(objectIndex, propertyId, propertyType, startIndex, count, size, buffer);
    }
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                          std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                          const std::uint8_t* buffer, std::int16_t verify) override
    {
        return m_client->WriteProperty(objectIndex, propertyId, propertyType, startIndex, count, size, buffer,
                                       verify);
    }
    bool IsOpen() { return m_client->IsOpen(); }
    KnxNetIpServer& Server() { return *m_server; }

private:
    std::unique_ptr<KnxNetIpServer> m_server;
    ComPtr<knx::KnxNetIpConnection> m_client;
};
#else
using Connection = SimulatedConnection;
#endif

// A new connection to the gateway, not opened yet.
inline ComPtr<Connection> Connect(std::shared_ptr<GatewaySimulator> gateway)
{
    return MakeComObject<Connection>(std::move(gateway));
}

} // namespace hostlink
