#include "knxnet/KnxNetIpTunnelling.h"

namespace knx {
namespace {
constexpr std::uint8_t kConnectionHeaderSize = 4;

struct ConnectionHeader
{
    std::uint8_t channel, sequence, last;
};

std::optional<ConnectionHeader> ReadConnectionHeader(ByteReader& r)
{
    std::uint8_t size = r.U8();
    ConnectionHeader h{r.U8(), r.U8(), r.U8()};
    if (!r.Ok() || size != kConnectionHeaderSize)
        return std::nullopt;
    return h;
}
} // namespace

Bytes TunnellingRequest::Encode() const
{
    Bytes body{kConnectionHeaderSize, channel, sequence, 0};
    Append(body, cemi);
    return EncodeFrame(ServiceType::TunnellingRequest, body);
}

std::optional<TunnellingRequest> TunnellingRequest::Decode(ByteView datagram)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || frame->service != ServiceType::TunnellingRequest)
        return std::nullopt;
    ByteReader r(frame->body);
    auto header = ReadConnectionHeader(r);
    if (!header)
        return std::nullopt;
    ByteView cemi = r.Rest();
    if (cemi.empty())
        return std::nullopt;
    return TunnellingRequest{header->channel, header->sequence, Bytes(cemi.begin(), cemi.end())};
}

Bytes TunnellingAck::Encode() const
{
    Bytes body{kConnectionHeaderSize, channel, sequence, status};
    return EncodeFrame(ServiceType::TunnellingAck, body);
}

std::optional<TunnellingAck> TunnellingAck::Decode(ByteView datagram)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || frame->service != ServiceType::TunnellingAck)
        return std::nullopt;
    ByteReader r(frame->body);
    auto header = ReadConnectionHeader(r);
    if (!header || !r.Done())
        return std::nullopt;
    return TunnellingAck{header->channel, header->sequence, header->last};
}

} // namespace knx
