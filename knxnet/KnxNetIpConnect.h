// KNXnet/IP connection management: CONNECT, CONNECTIONSTATE and DISCONNECT requests and responses.
#pragma once

#include "knxnet/KnxNetIpHeader.h"

namespace knx {

// A tunnelling connection on the data link layer.
inline constexpr std::uint8_t kTunnelConnection = 0x04;
inline constexpr std::uint8_t kTunnelLinkLayer = 0x02;

struct ConnectRequest
{
    Endpoint control;
    Endpoint data;
    std::uint8_t connectionType = kTunnelConnection;
    std::uint8_t layer = kTunnelLinkLayer;

    Bytes Encode() const;
    static std::optional<ConnectRequest> Decode(ByteView datagram);
};

// A refused connection carries the channel and the status only.
struct ConnectResponse
{
    std::uint8_t channel = 0;
    std::uint8_t status = StatusNoError;
    Endpoint data;
    IndividualAddress tunnelAddress; // the address the server gives the tunnel

    Bytes Encode() const;
    static std::optional<ConnectResponse> Decode(ByteView datagram);
};

// CONNECTIONSTATE_REQUEST and DISCONNECT_REQUEST share a layout: channel, reserved, control HPAI.
struct ChannelRequest
{
    ServiceType service = ServiceType::ConnectionStateRequest;
    std::uint8_t channel = 0;
    Endpoint control;

    Bytes Encode() const;
    static std::optional<ChannelRequest> Decode(ByteView datagram);
};

// CONNECTIONSTATE_RESPONSE and DISCONNECT_RESPONSE: channel and status.
struct ChannelResponse
{
    ServiceType service = ServiceType::ConnectionStateResponse;
    std::uint8_t channel = 0;
    std::uint8_t status = StatusNoError;

    Bytes Encode() const;
    static std::optional<ChannelResponse> Decode(ByteView datagram);
};

} // namespace knx
