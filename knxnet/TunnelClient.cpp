#include "knxnet/TunnelClient.h"

#include "knxnet/KnxNetIpConnect.h"
#include "knxnet/KnxNetIpTunnelling.h"

namespace knx {
namespace {
// Frames kept for the reader at most; bus traffic beyond that while nobody reads is dropped.
constexpr std::size_t kMaxQueued = 256;
} // namespace

TunnelClient::TunnelClient(IDatagramTransport& network, Endpoint server, TunnelTiming timing)
    : m_network(network), m_server(server), m_data(server), m_timing(timing)
{}

TunnelClient::~TunnelClient()
{
    Disconnect();
}

bool TunnelClient::Connect()
{
    Disconnect();
    m_lastError.clear();
    m_lastStatus = StatusNoError;
    const Endpoint local = m_network.LocalEndpoint();
    Bytes request = ConnectRequest{local, local}.Encode();
    if (!m_network.Send(m_server, request)) {
        m_lastError = "cannot send to " + m_server.ToString();
        return false;
    }
    const std::uint64_t deadline = m_network.NowMs() + m_timing.connectResponseMs;
    for (;;) {
        const std::uint64_t now = m_network.NowMs();
        if (now >= deadline)
            break;
        auto datagram = m_network.Receive(static_cast<std::uint32_t>(deadline - now));
        if (!datagram)
            break;
        auto response = ConnectResponse::Decode(datagram->bytes);
        if (!response)
            continue;
        m_lastStatus = response->status;
        if (response->status != StatusNoError) {
            m_lastError = "the interface " + m_server.ToString() +
                          " refused the connection: " + StatusText(response->status);
            return false;
        }
        m_channel = response->channel;
        m_address = response->tunnelAddress;
        // An interface behind address translation gives 0.0.0.0:0: its data endpoint is the sender.
        m_data = response->data.IsAny() ? datagram->from : response->data;
        m_sendSequence = m_receiveSequence = 0;
        m_received.clear();
        m_connected = true;
        m_lastHeartbeatMs = m_network.NowMs();
        return true;
    }
    m_lastError = "no answer from the interface " + m_server.ToString();
    return false;
}

void TunnelClient::Disconnect()
{
    if (!m_connected)
        return;
    m_connected = false;
    m_network.Send(
        m_server,
        ChannelRequest{ServiceType::DisconnectRequest, m_channel, m_network.LocalEndpoint()}.Encode());
    m_disconnectAnswered = false;
    // The answer is awaited briefly so that the server's channel is free for the next connection.
    Pump(m_timing.disconnectResponseMs, Wait::Disconnect);
    m_received.clear();
}

void TunnelClient::Break(const std::string& reason, bool tellServer)
{
    if (!m_connected)
        return;
    m_lastError = reason;
    m_connected = false;
    if (tellServer)
        m_network.Send(
            m_server,
            ChannelRequest{ServiceType::DisconnectRequest, m_channel, m_network.LocalEndpoint()}.Encode());
}

bool TunnelClient::Send(const CemiLData& frame)
{
    Service();
    if (!m_connected)
        return false;
    const Bytes datagram = TunnellingRequest{m_channel, m_sendSequence, frame.Encode()}.Encode();
    for (int attempt = 0; attempt < 2 && m_connected; ++attempt) {
        m_ackStatus.reset();
        if (!m_network.Send(m_data, datagram))
            continue;
        if (Pump(m_timing.tunnellingAckMs, Wait::Ack)) {
            if (*m_ackStatus != StatusNoError) {
                m_lastError =
                    std::string("the interface did not take the frame: ") + StatusText(*m_ackStatus);
                return false;
            }
            m_sendSequence = static_cast<std::uint8_t>(m_sendSequence + 1);
            return true;
        }
    }
    Break("the interface did not acknowledge a frame", true);
    return false;
}

std::optional<CemiLData> TunnelClient::Receive(std::uint32_t waitMs)
{
    if (m_received.empty() && m_connected) {
        const std::uint64_t deadline = m_network.NowMs() + waitMs;
        while (m_received.empty() && m_connected) {
            const std::uint64_t now = m_network.NowMs();
            if (now >= deadline)
                break;
            auto datagram = m_network.Receive(static_cast<std::uint32_t>(deadline - now));
            if (!datagram)
                break;
            Handle(*datagram);
        }
    }
    if (m_received.empty())
        return std::nullopt;
    CemiLData frame = std::move(m_received.front());
    m_received.pop_front();
    return frame;
}

void TunnelClient::Service()
{
    while (m_connected) {
        auto datagram = m_network.Receive(0);
        if (!datagram)
            break;
        Handle(*datagram);
    }
    if (m_connected && m_network.NowMs() - m_lastHeartbeatMs >= m_timing.heartbeatMs)
        Heartbeat();
}

bool TunnelClient::Heartbeat()
{
    for (int attempt = 0; attempt < m_timing.heartbeatAttempts && m_connected; ++attempt) {
        m_stateStatus.reset();
        m_network.Send(m_server, ChannelRequest{ServiceType::ConnectionStateRequest, m_channel,
                                                m_network.LocalEndpoint()}
                                     .Encode());
        if (Pump(m_timing.stateResponseMs, Wait::State)) {
            if (*m_stateStatus != StatusNoError) {
                Break(std::string("the interface ended the connection: ") + StatusText(*m_stateStatus),
                      false);
                return false;
            }
            m_lastHeartbeatMs = m_network.NowMs();
            return true;
        }
    }
    Break("the interface no longer answers", true);
    return false;
}

bool TunnelClient::Pump(std::uint32_t waitMs, Wait wait)
{
    auto arrived = [&] {
        switch (wait) {
        case Wait::Ack:
            return m_ackStatus.has_value();
        case Wait::State:
            return m_stateStatus.has_value();
        case Wait::Disconnect:
            return m_disconnectAnswered;
        }
        return false;
    };
    const std::uint64_t deadline = m_network.NowMs() + waitMs;
    while (!arrived()) {
        if (wait != Wait::Disconnect && !m_connected)
            return false;
        const std::uint64_t now = m_network.NowMs();
        if (now >= deadline)
            return false;
        auto datagram = m_network.Receive(static_cast<std::uint32_t>(deadline - now));
        if (!datagram)
            return false;
        Handle(*datagram);
    }
    return true;
}

void TunnelClient::Handle(const Datagram& datagram)
{
    // Only the interface speaks in this tunnel; another host cannot inject frames or end it.
    if (datagram.from.ip != m_server.ip && datagram.from.ip != m_data.ip)
        return;
    auto frame = DecodeFrame(datagram.bytes);
    if (!frame)
        return;
    switch (frame->service) {
    case ServiceType::TunnellingRequest: {
        auto request = TunnellingRequest::Decode(datagram.bytes);
        if (!request || !m_connected || request->channel != m_channel)
            return;
        const bool expected = request->sequence == m_receiveSequence;
        // The previous frame again: our acknowledgement was lost; acknowledge, do not take it twice.
        const bool repeated = request->sequence == static_cast<std::uint8_t>(m_receiveSequence - 1);
        if (!expected && !repeated)
            return;
        m_network.Send(m_data, TunnellingAck{m_channel, request->sequence, StatusNoError}.Encode());
        if (!expected)
            return;
        m_receiveSequence = static_cast<std::uint8_t>(m_receiveSequence + 1);
        if (auto cemi = CemiLData::Decode(request->cemi)) {
            if (m_received.size() >= kMaxQueued)
                m_received.pop_front();
            m_received.push_back(std::move(*cemi));
        }
        return;
    }
    case ServiceType::TunnellingAck: {
        auto ack = TunnellingAck::Decode(datagram.bytes);
        if (ack && m_connected && ack->channel == m_channel && ack->sequence == m_sendSequence)
            m_ackStatus = ack->status;
        return;
    }
    case ServiceType::ConnectionStateResponse: {
        auto response = ChannelResponse::Decode(datagram.bytes);
        if (response && response->channel == m_channel)
            m_stateStatus = response->status;
        return;
    }
    case ServiceType::DisconnectRequest: {
        auto request = ChannelRequest::Decode(datagram.bytes);
        if (!request || request->channel != m_channel)
            return;
        m_network.Send(m_server,
                       ChannelResponse{ServiceType::DisconnectResponse, m_channel, StatusNoError}.Encode());
        Break("the interface closed the connection", false);
        return;
    }
    case ServiceType::DisconnectResponse: {
        auto response = ChannelResponse::Decode(datagram.bytes);
        if (response && response->channel == m_channel)
            m_disconnectAnswered = true;
        return;
    }
    default:
        return;
    }
}

} // namespace knx
