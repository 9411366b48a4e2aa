#include "knxnet/KnxNetIpConnect.h"

namespace knx {
namespace {
constexpr std::uint8_t kCriSize = 4;
constexpr std::uint8_t kCrdSize = 4;

std::optional<ByteView> Body(ByteView datagram, ServiceType service)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || frame->service != service)
        return std::nullopt;
    return frame->body;
}
} // namespace

Bytes ConnectRequest::Encode() const
{
    Bytes body;
    AppendHpai(body, control);
    AppendHpai(body, data);
    body.push_back(kCriSize);
    body.push_back(connectionType);
    body.push_back(layer);
    body.push_back(0);
    return EncodeFrame(ServiceType::ConnectRequest, body);
}

std::optional<ConnectRequest> ConnectRequest::Decode(ByteView datagram)
{
    auto body = Body(datagram, ServiceType::ConnectRequest);
    if (!body)
        return std::nullopt;
    ByteReader r(*body);
    ConnectRequest c;
    auto control = ReadHpai(r);
    auto data = ReadHpai(r);
    std::uint8_t size = r.U8();
    c.connectionType = r.U8();
    // Only a tunnel has a layer; other connection types are decoded so they can be refused.
    c.layer = size >= 3 ? r.U8() : 0;
    if (size > 3)
        r.Skip(size - 3u);
    if (!control || !data || size < 2 || !r.Done())
        return std::nullopt;
    c.control = *control;
    c.data = *data;
    return c;
}

Bytes ConnectResponse::Encode() const
{
    Bytes body{channel, status};
    if (status == StatusNoError) {
        AppendHpai(body, data);
        body.push_back(kCrdSize);
        body.push_back(kTunnelConnection);
        AppendU16(body, tunnelAddress.raw);
    }
    return EncodeFrame(ServiceType::ConnectResponse, body);
}

std::optional<ConnectResponse> ConnectResponse::Decode(ByteView datagram)
{
    auto body = Body(datagram, ServiceType::ConnectResponse);
    if (!body)
        return std::nullopt;
    ByteReader r(*body);
    ConnectResponse c;
    c.channel = r.U8();
    c.status = r.U8();
    if (!r.Ok())
        return std::nullopt;
    if (c.status != StatusNoError)
        return c; // servers differ in what follows a refusal
    auto data = ReadHpai(r);
    std::uint8_t size = r.U8();
    std::uint8_t type = r.U8();
    c.tunnelAddress.raw = r.U16();
    if (!data || size != kCrdSize || type != kTunnelConnection || !r.Done())
        return std::nullopt;
    c.data = *data;
    return c;
}

Bytes ChannelRequest::Encode() const
{
    Bytes body{channel, 0};
    AppendHpai(body, control);
    return EncodeFrame(service, body);
}

std::optional<ChannelRequest> ChannelRequest::Decode(ByteView datagram)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || (frame->service != ServiceType::ConnectionStateRequest &&
                   frame->service != ServiceType::DisconnectRequest))
        return std::nullopt;
    ByteReader r(frame->body);
    ChannelRequest c;
    c.service = frame->service;
    c.channel = r.U8();
    r.U8();
    auto control = ReadHpai(r);
    if (!control || !r.Done())
        return std::nullopt;
    c.control = *control;
    return c;
}

Bytes ChannelResponse::Encode() const
{
    Bytes body{channel, status};
    return EncodeFrame(service, body);
}

std::optional<ChannelResponse> ChannelResponse::Decode(ByteView datagram)
{
    auto frame = DecodeFrame(datagram);
    if (!frame || (frame->service != ServiceType::ConnectionStateResponse &&
                   frame->service != ServiceType::DisconnectResponse))
        return std::nullopt;
    ByteReader r(frame->body);
    ChannelResponse c;
    c.service = frame->service;
    c.channel = r.U8();
    c.status = r.U8();
    if (!r.Done())
        return std::nullopt;
    return c;
}

} // namespace knx
