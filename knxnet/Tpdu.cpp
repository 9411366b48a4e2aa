#include "knxnet/Tpdu.h"

namespace knx {
namespace {
constexpr std::uint8_t kControlBit = 0x80;
constexpr std::uint8_t kNumberedBit = 0x40;
} // namespace

Bytes Tpdu::Encode() const
{
    std::uint8_t seq = static_cast<std::uint8_t>((sequence & 0x0F) << 2);
    switch (kind) {
    case TpduKind::Connect:
        return {0x80};
    case TpduKind::Disconnect:
        return {0x81};
    case TpduKind::Ack:
        return {static_cast<std::uint8_t>(0xC2 | seq)};
    case TpduKind::Nak:
        return {static_cast<std::uint8_t>(0xC3 | seq)};
    case TpduKind::DataIndividual:
    case TpduKind::DataConnected:
        break;
    }
    std::uint8_t tpci = kind == TpduKind::DataConnected ? static_cast<std::uint8_t>(kNumberedBit | seq) : 0;
    Bytes out{static_cast<std::uint8_t>(tpci | (apdu.apci >> 8 & 0x03)),
              static_cast<std::uint8_t>(apdu.apci)};
    Append(out, apdu.data);
    return out;
}

std::optional<Tpdu> Tpdu::Decode(ByteView tpdu)
{
    if (tpdu.empty())
        return std::nullopt;
    std::uint8_t tpci = tpdu[0];
    std::uint8_t seq = static_cast<std::uint8_t>(tpci >> 2 & 0x0F);
    if (tpci & kControlBit) {
        if (tpdu.size() != 1)
            return std::nullopt;
        if (tpci == 0x80)
            return Connect();
        if (tpci == 0x81)
            return Disconnect();
        if ((tpci & 0xC3) == 0xC2)
            return Ack(seq);
        if ((tpci & 0xC3) == 0xC3)
            return Nak(seq);
        return std::nullopt;
    }
    if (tpdu.size() < 2)
        return std::nullopt; // a data frame has at least the APCI octet
    Tpdu t;
    t.kind = (tpci & kNumberedBit) ? TpduKind::DataConnected : TpduKind::DataIndividual;
    t.sequence = (tpci & kNumberedBit) ? seq : 0;
    t.apdu.apci = static_cast<std::uint16_t>((tpci & 0x03) << 8 | tpdu[1]);
    t.apdu.data.assign(tpdu.begin() + 2, tpdu.end());
    return t;
}

} // namespace knx
