// The client end of a KNXnet/IP tunnel: connects, sends cEMI frames with sequence numbers and
// repetition, acknowledges what the server sends, keeps the connection alive with heartbeats and
// notices when it breaks.
#pragma once

#include "knxnet/Cemi.h"
#include "knxnet/DatagramTransport.h"

#include <deque>
#include <string>

namespace knx {

struct TunnelTiming
{
    std::uint32_t connectResponseMs = 10'000;
    std::uint32_t tunnellingAckMs = 1'000; // one repetition after this
    std::uint32_t heartbeatMs = 60'000;
    std::uint32_t stateResponseMs = 10'000;
    int heartbeatAttempts = 3;
    std::uint32_t disconnectResponseMs = 1'000;
};

class TunnelClient
{
public:
    TunnelClient(IDatagramTransport& network, Endpoint server, TunnelTiming timing = {});
    ~TunnelClient();
    TunnelClient(const TunnelClient&) = delete;
    TunnelClient& operator=(const TunnelClient&) = delete;

    // Opens the tunnel; false with LastError() when the server does not answer or refuses
    // (LastStatus() then holds its status, StatusNoMoreConnections when no channel is free).
    bool Connect();
    // Ends the tunnel with DISCONNECT; does nothing when it is not open.
    void Disconnect();
    bool IsConnected() const { return m_connected; }
    IndividualAddress Address() const { return m_address; }
    std::uint8_t Channel() const { return m_channel; }
    std::uint8_t LastStatus() const { return m_lastStatus; }
    const std::string& LastError() const { return m_lastError; }

    // Sends one frame; true once the server acknowledged it. A frame acknowledged by neither the
    // first sending nor the repetition one second later breaks the tunnel.
    bool Send(const CemiLData& frame);
    // The next frame the server sent (L_Data.con or .ind), waiting up to waitMs; nothing when
    // none came in that time or the tunnel broke.
    std::optional<CemiLData> Receive(std::uint32_t waitMs);
    // Handles what has arrived and sends the heartbeat when it is due; the heartbeat checks
    // the connection and breaks the tunnel when the server no longer knows it.
    void Service();
    std::uint64_t NowMs() { return m_network.NowMs(); }

private:
    enum class Wait
    {
        Ack,
        State,
        Disconnect
    };
    // Reads datagrams until the awaited answer came or waitMs passed; true when it came.
    bool Pump(std::uint32_t waitMs, Wait wait);
    void Handle(const Datagram& datagram);
    bool Heartbeat();
    void Break(const std::string& reason, bool tellServer);

    IDatagramTransport& m_network;
    Endpoint m_server;
    Endpoint m_data;
    TunnelTiming m_timing;
    bool m_connected = false;
    std::uint8_t m_channel = 0;
    IndividualAddress m_address;
    std::uint8_t m_sendSequence = 0;
    std::uint8_t m_receiveSequence = 0;
    std::uint64_t m_lastHeartbeatMs = 0;
    std::uint8_t m_lastStatus = 0;
    std::string m_lastError;
    std::deque<CemiLData> m_received;

    // Answers seen by Handle for the pump that waits for them.
    std::optional<std::uint8_t> m_ackStatus;
    std::optional<std::uint8_t> m_stateStatus;
    bool m_disconnectAnswered = false;
};

} // namespace knx
