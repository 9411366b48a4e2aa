// A client and a tunnelling server on one fake network in virtual time: datagrams are handed over at
// once, a filter loses chosen ones, and waiting advances the TestClock while the server keeps time.
#pragma once

#include "knxnet/KnxNetIpConnection.h"
#include "knxnet/KnxNetIpTunnelling.h"
#include "knxnet/TunnellingServer.h"
#include "platform/Clock.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace fakenet {

using namespace knx;

struct Network;

class Port final : public IDatagramTransport
{
public:
    Port(Network& network, Endpoint self) : m_network(network), m_self(self) {}
    bool Send(const Endpoint& to, ByteView datagram) override;
    std::optional<Datagram> Receive(std::uint32_t waitMs) override;
    std::uint64_t NowMs() override;
    Endpoint LocalEndpoint() override { return m_self; }
    std::deque<Datagram> inbox;

private:
    Network& m_network;
    Endpoint m_self;
};

// What one datagram was: its service and, for a tunnelling request, the cEMI frame in it.
struct Sent
{
    Endpoint from, to;
    Bytes bytes;
    ServiceType Service() const { return DecodeFrame(bytes)->service; }
    std::optional<CemiLData> Cemi() const
    {
        auto request = TunnellingRequest::Decode(bytes);
        return request ? CemiLData::Decode(request->cemi) : std::nullopt;
    }
};

struct Network
{
    TestClock clock;
    std::vector<Sent> log;
    // True: the datagram is lost.
    std::function<bool(const Sent&)> lose;
    TunnellingServer* server = nullptr;
    std::shared_ptr<Port> client = std::make_shared<Port>(*this, Endpoint::Loopback(40000));
    std::shared_ptr<Port> second = std::make_shared<Port>(*this, Endpoint::Loopback(40001));
    std::shared_ptr<Port> stranger = std::make_shared<Port>(*this, Endpoint{{127, 0, 0, 2}, 40002});
    Port serverPort{*this, Endpoint::Loopback(3671)};

    void Deliver(const Sent& sent)
    {
        log.push_back(sent);
        if (lose && lose(sent))
            return;
        if (sent.to == serverPort.LocalEndpoint()) {
            if (server)
                server->Handle({sent.from, sent.bytes});
        } else if (sent.to == client->LocalEndpoint()) {
            client->inbox.push_back({sent.from, sent.bytes});
        } else if (sent.to == second->LocalEndpoint()) {
            second->inbox.push_back({sent.from, sent.bytes});
        } else if (sent.to == stranger->LocalEndpoint()) {
            stranger->inbox.push_back({sent.from, sent.bytes});
        }
    }
    std::size_t Count(ServiceType service, const Endpoint& from) const
    {
        std::size_t n = 0;
        for (const auto& s : log)
            n += s.Service() == service && s.from == from;
        return n;
    }
    // The TPDUs the client asked to send to the bus, in order.
    std::vector<Tpdu> ClientTpdus() const
    {
        std::vector<Tpdu> tpdus;
        for (const auto& s : log) {
            auto cemi = s.Cemi();
            if (cemi && cemi->code == CemiCode::LDataReq)
                tpdus.push_back(*Tpdu::Decode(cemi->tpdu));
        }
        return tpdus;
    }
};

inline bool Port::Send(const Endpoint& to, ByteView datagram)
{
    m_network.Deliver({m_self, to, Bytes(datagram.begin(), datagram.end())});
    return true;
}

inline std::optional<Datagram> Port::Receive(std::uint32_t waitMs)
{
    // Time passes in small steps so that the server's repetitions arrive when they are due.
    for (;;) {
        if (!inbox.empty()) {
            Datagram d = std::move(inbox.front());
            inbox.pop_front();
            return d;
        }
        if (waitMs == 0)
            return std::nullopt;
        std::uint32_t step = std::min<std::uint32_t>(waitMs, 50);
        m_network.clock.Advance(step);
        waitMs -= step;
        if (m_network.server)
            m_network.server->Tick();
    }
}

inline std::uint64_t Port::NowMs()
{
    return m_network.clock.NowMs();
}

// A device of a few properties; element sizes per property, writes stored unless read-only.
class Device final : public IBusDevice
{
public:
    struct Property
    {
        std::size_t elementSize;
        std::vector<Bytes> elements;
        bool writable = true;
    };
    std::map<std::pair<std::uint8_t, std::uint8_t>, Property> properties;
    bool absent = false;
    int reads = 0, writes = 0, connects = 0;

    HRESULT Connect() override
    {
        ++connects;
        return absent ? ETS_E_DEVICE_NOT_FOUND : S_OK;
    }
    HRESULT ReadDescriptor(std::uint16_t* descriptor) override
    {
        if (absent)
            return ETS_E_DEVICE_NOT_FOUND;
        *descriptor = 0x0705;
        return S_OK;
    }
    HRESULT ReadProperty(std::uint8_t object, std::uint8_t id, std::uint16_t start, std::uint8_t count,
                         Bytes* data) override
    {
        if (absent)
            return ETS_E_DEVICE_NOT_FOUND;
        ++reads;
        auto it = properties.find({object, id});
        if (it == properties.end())
            return ETS_E_DEVICE_DENIED;
        auto& elements = it->second.elements;
        if (start == 0) {
            *data = {0, static_cast<std::uint8_t>(elements.size())};
            return S_OK;
        }
        if (start + count - 1u > elements.size())
            return ETS_E_DEVICE_DENIED;
        for (int i = 0; i < count; ++i)
            Append(*data, elements[start - 1u + static_cast<std::size_t>(i)]);
        return S_OK;
    }
    HRESULT WriteProperty(std::uint8_t object, std::uint8_t id, std::uint16_t start, std::uint8_t count,
                          ByteView data, Bytes* current) override
    {
        if (absent)
            return ETS_E_DEVICE_NOT_FOUND;
        ++writes;
        auto it = properties.find({object, id});
        if (it == properties.end() || start == 0 || start + count - 1u > it->second.elements.size() ||
            data.size() != count * it->second.elementSize)
            return ETS_E_DEVICE_DENIED;
        Property& p = it->second;
        for (int i = 0; i < count; ++i) {
            auto& element = p.elements[start - 1u + static_cast<std::size_t>(i)];
            if (p.writable)
                element.assign(data.begin() + i * static_cast<std::ptrdiff_t>(p.elementSize),
                               data.begin() + (i + 1) * static_cast<std::ptrdiff_t>(p.elementSize));
            Append(*current, element);
        }
        return S_OK;
    }
};

// A device, the server in front of it and the client's connection, all on one fake network.
struct Rig
{
    Network network;
    Device device;
    TunnellingServerOptions options;
    std::unique_ptr<TunnellingServer> server;
    ComPtr<KnxNetIpConnection> connection;

    explicit Rig(std::function<void(TunnellingServerOptions&)> configure = {})
    {
        device.properties[{0, 1}] = {2, {{0x00, 0x00}}};
        device.properties[{1, 1}] = {2, {{0xC3, 0x51}}};
        device.properties[{1, 0xD1}] = {3, {{0, 0, 0}}};
        device.properties[{1, 0xD2}] = {3, std::vector<Bytes>(64, Bytes{0, 0, 0})};
        device.properties[{1, 0xD5}] = {10, {Bytes(10, 0)}, false};
        for (std::size_t i = 0; i < 64; ++i)
            device.properties[{1, 0xD2}].elements[i] = {0x12, 0x34, static_cast<std::uint8_t>(i)};
        if (configure)
            configure(options);
        server = std::make_unique<TunnellingServer>(network.serverPort, device, options);
        network.server = server.get();
        connection = Connect(network.client);
    }
    ComPtr<KnxNetIpConnection> Connect(std::shared_ptr<Port> port)
    {
        KnxNetIpSettings settings;
        settings.server = network.serverPort.LocalEndpoint();
        settings.device = options.device;
        settings.serviceInBackground = false;
        return MakeComObject<KnxNetIpConnection>(settings, port);
    }
    // Time passes with nobody asking; the client's service runs as its background thread would.
    void Idle(std::uint64_t ms)
    {
        for (std::uint64_t passed = 0; passed < ms; passed += 100) {
            network.clock.Advance(100);
            connection->Service();
            server->Tick();
        }
    }
    HRESULT Read(std::uint8_t object, std::uint8_t id, std::uint16_t start, std::uint16_t count, Bytes& out)
    {
        return connection->ReadProperty(object, id, 0, start, count, static_cast<std::uint32_t>(out.size()),
                                        out.data());
    }
    HRESULT Write(std::uint8_t object, std::uint8_t id, std::uint16_t start, std::uint16_t count,
                  const Bytes& data, bool verify)
    {
        return connection->WriteProperty(object, id, 0, start, count, static_cast<std::uint32_t>(data.size()),
                                         data.data(), verify ? 1 : 0);
    }
};

} // namespace fakenet
