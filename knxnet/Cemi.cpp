#include "knxnet/Cemi.h"

namespace knx {

Bytes CemiLData::Encode() const
{
    Bytes out;
    out.reserve(10 + tpdu.size());
    out.push_back(static_cast<std::uint8_t>(code));
    out.push_back(0); // no additional information
    std::uint8_t c1 = control1;
    if (tpdu.size() > kStandardTpdu)
        c1 &= static_cast<std::uint8_t>(~kStandardFrame);
    out.push_back(c1);
    out.push_back(control2);
    AppendU16(out, source.raw);
    AppendU16(out, destination);
    out.push_back(static_cast<std::uint8_t>(tpdu.empty() ? 0 : tpdu.size() - 1));
    Append(out, tpdu);
    return out;
}

std::optional<CemiLData> CemiLData::Decode(ByteView cemi)
{
    ByteReader r(cemi);
    CemiLData f;
    std::uint8_t code = r.U8();
    if (code != 0x11 && code != 0x2E && code != 0x29)
        return std::nullopt;
    f.code = static_cast<CemiCode>(code);
    r.Skip(r.U8());
    f.control1 = r.U8();
    f.control2 = r.U8();
    f.source.raw = r.U16();
    f.destination = r.U16();
    std::uint8_t length = r.U8();
    ByteView tpdu = r.Rest();
    if (!r.Ok() || tpdu.size() != std::size_t{length} + 1u)
        return std::nullopt;
    f.tpdu.assign(tpdu.begin(), tpdu.end());
    return f;
}

} // namespace knx
