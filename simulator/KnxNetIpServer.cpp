#include "simulator/KnxNetIpServer.h"

#include "product/GatewayProtocol.h"

namespace {
// How long the serving thread waits for a datagram before it looks at its timers again.
constexpr std::uint32_t kServePollMs = 20;
} // namespace

// The gateway as a device on the bus: its properties as the bus carries them, without data types.
class KnxNetIpServer::GatewayDevice final : public knx::IBusDevice
{
public:
    explicit GatewayDevice(GatewaySimulator& gateway) : m_gateway(gateway) {}

    HRESULT Connect() override { return m_gateway.Connect(); }
    HRESULT ReadDescriptor(std::uint16_t* descriptor) override
    {
        return m_gateway.ReadMaskVersion(descriptor);
    }

    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                         std::uint8_t count, knx::Bytes* data) override
    {
        std::size_t size = 2; // start index 0: the number of elements
        if (startIndex != 0) {
            auto shape = m_gateway.Shape(objectIndex, propertyId);
            // Without the property the gateway refuses; the size only has to be room enough.
            size = std::size_t{shape ? shape->elementSize : protocol::kMaxAccessBytes} * count;
        }
        data->assign(size, 0);
        HRESULT hr = m_gateway.ReadProperty(objectIndex, propertyId, startIndex, count,
                                            static_cast<std::uint32_t>(size), data->data());
        if (FAILED(hr))
            data->clear();
        return hr;
    }

    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                          std::uint8_t count, knx::ByteView data, knx::Bytes* current) override
    {
        // The bus does not say whether the client verifies: a gateway that does not take values
        // answers with the old one. The function channel is never verified, and its reads consume
        // replies, so it is written as the plug-in writes it.
        const bool verify = propertyId != protocol::PropD1 && m_gateway.Faults().verifyFails;
        HRESULT hr = m_gateway.WriteProperty(objectIndex, propertyId, startIndex, count,
                                             static_cast<std::uint32_t>(data.size()), data.data(), verify);
        if (hr == ETS_E_VERIFY_FAILED)
            return ReadProperty(objectIndex, propertyId, startIndex, count, current);
        if (SUCCEEDED(hr))
            current->assign(data.begin(), data.end());
        return hr;
    }

private:
    GatewaySimulator& m_gateway;
};

KnxNetIpServer::KnxNetIpServer(std::shared_ptr<GatewaySimulator> gateway, Options options)
    : m_gateway(std::move(gateway)), m_options(std::move(options)),
      m_device(std::make_unique<GatewayDevice>(*m_gateway))
{}

KnxNetIpServer::~KnxNetIpServer()
{
    Stop();
}

bool KnxNetIpServer::Start(std::string* error)
{
    Stop();
    if (!m_network.Open(m_options.bind, error))
        return false;
    m_endpoint = m_network.BoundEndpoint();
    m_server = std::make_unique<knx::TunnellingServer>(m_network, *m_device, m_options.tunnelling);
    m_thread = std::jthread([this](std::stop_token stop) { Serve(stop); });
    return true;
}

void KnxNetIpServer::Stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    std::lock_guard lock(m_mutex);
    if (m_server)
        m_server->DisconnectAll();
    m_server.reset();
    m_network.Close();
}

std::size_t KnxNetIpServer::OpenTunnels()
{
    std::lock_guard lock(m_mutex);
    return m_server ? m_server->OpenTunnels() : 0;
}

void KnxNetIpServer::WithServer(const std::function<void(knx::TunnellingServer&)>& change)
{
    std::lock_guard lock(m_mutex);
    if (m_server)
        change(*m_server);
}

void KnxNetIpServer::Serve(std::stop_token stop)
{
    while (!stop.stop_requested()) {
        auto datagram = m_network.Receive(kServePollMs);
        std::lock_guard lock(m_mutex);
        if (datagram)
            m_server->Handle(*datagram);
        m_server->Tick();
    }
}
