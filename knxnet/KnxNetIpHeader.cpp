#include "knxnet/KnxNetIpHeader.h"

namespace knx {

const char* StatusText(std::uint8_t status)
{
    switch (status) {
    case StatusNoError:
        return "no error";
    case StatusConnectionId:
        return "unknown connection";
    case StatusConnectionType:
        return "connection type not supported";
    case StatusConnectionOption:
        return "connection option not supported";
    case StatusNoMoreConnections:
        return "no free tunnelling channel";
    case StatusDataConnection:
        return "data connection error";
    case StatusKnxConnection:
        return "KNX connection error";
    case StatusTunnellingLayer:
        return "tunnelling layer not supported";
    default:
        return "error";
    }
}

Bytes EncodeFrame(ServiceType service, ByteView body)
{
    Bytes out;
    out.reserve(kHeaderSize + body.size());
    out.push_back(static_cast<std::uint8_t>(kHeaderSize));
    out.push_back(kProtocolVersion);
    AppendU16(out, static_cast<std::uint16_t>(service));
    AppendU16(out, static_cast<std::uint16_t>(kHeaderSize + body.size()));
    Append(out, body);
    return out;
}

std::optional<KnxNetIpFrame> DecodeFrame(ByteView datagram)
{
    ByteReader r(datagram);
    std::uint8_t headerSize = r.U8();
    std::uint8_t version = r.U8();
    std::uint16_t service = r.U16();
    std::uint16_t total = r.U16();
    if (!r.Ok() || headerSize != kHeaderSize || version != kProtocolVersion || total != datagram.size())
        return std::nullopt;
    return KnxNetIpFrame{static_cast<ServiceType>(service), datagram.subspan(kHeaderSize)};
}

void AppendHpai(Bytes& out, const Endpoint& endpoint)
{
    out.push_back(kHpaiSize);
    out.push_back(kHpaiUdp);
    out.insert(out.end(), endpoint.ip.begin(), endpoint.ip.end());
    AppendU16(out, endpoint.port);
}

std::optional<Endpoint> ReadHpai(ByteReader& reader)
{
    std::uint8_t size = reader.U8();
    std::uint8_t protocol = reader.U8();
    ByteView ip = reader.Take(4);
    std::uint16_t port = reader.U16();
    if (!reader.Ok() || size != kHpaiSize || protocol != kHpaiUdp)
        return std::nullopt;
    Endpoint e;
    for (std::size_t i = 0; i < 4; ++i)
        e.ip[i] = ip[i];
    e.port = port;
    return e;
}

} // namespace knx
