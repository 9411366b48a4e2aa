// KNXnet/IP tunnelling: TUNNELLING_REQUEST carrying one cEMI frame, and its TUNNELLING_ACK.
#pragma once

#include "knxnet/KnxNetIpHeader.h"

namespace knx {

struct TunnellingRequest
{
    std::uint8_t channel = 0;
    std::uint8_t sequence = 0;
    Bytes cemi;

    Bytes Encode() const;
    static std::optional<TunnellingRequest> Decode(ByteView datagram);
};

struct TunnellingAck
{
    std::uint8_t channel = 0;
    std::uint8_t sequence = 0;
    std::uint8_t status = StatusNoError;

    Bytes Encode() const;
    static std::optional<TunnellingAck> Decode(ByteView datagram);
};

} // namespace knx
