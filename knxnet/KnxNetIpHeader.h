// The KNXnet/IP frame header, its service types and the host address (HPAI) every service carries.
#pragma once

#include "knxnet/KnxAddress.h"
#include "knxnet/KnxBytes.h"

#include <optional>

namespace knx {

enum class ServiceType : std::uint16_t
{
    SearchRequest = 0x0201,
    SearchResponse = 0x0202,
    DescriptionRequest = 0x0203,
    DescriptionResponse = 0x0204,
    ConnectRequest = 0x0205,
    ConnectResponse = 0x0206,
    ConnectionStateRequest = 0x0207,
    ConnectionStateResponse = 0x0208,
    DisconnectRequest = 0x0209,
    DisconnectResponse = 0x020A,
    TunnellingRequest = 0x0420,
    TunnellingAck = 0x0421,
};

// Status codes of the connection and tunnelling services.
enum KnxNetIpStatus : std::uint8_t
{
    StatusNoError = 0x00,
    StatusConnectionId = 0x21,
    StatusConnectionType = 0x22,
    StatusConnectionOption = 0x23,
    StatusNoMoreConnections = 0x24,
    StatusDataConnection = 0x26,
    StatusKnxConnection = 0x27,
    StatusTunnellingLayer = 0x29,
};

// A text for a status code, for reports.
const char* StatusText(std::uint8_t status);

inline constexpr std::size_t kHeaderSize = 6;
inline constexpr std::uint8_t kProtocolVersion = 0x10;

// A decoded frame: the service and the body after the header (a view into the datagram).
struct KnxNetIpFrame
{
    ServiceType service;
    ByteView body;
};

Bytes EncodeFrame(ServiceType service, ByteView body);
// Nothing when the header is malformed or its total length is not the datagram's length.
std::optional<KnxNetIpFrame> DecodeFrame(ByteView datagram);

// Host protocol address information: IPv4 over UDP. 0.0.0.0:0 asks the peer to answer to the sender.
inline constexpr std::uint8_t kHpaiSize = 8;
inline constexpr std::uint8_t kHpaiUdp = 0x01;
void AppendHpai(Bytes& out, const Endpoint& endpoint);
std::optional<Endpoint> ReadHpai(ByteReader& reader);

} // namespace knx
