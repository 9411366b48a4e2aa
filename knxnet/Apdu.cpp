#include "knxnet/Apdu.h"

namespace knx {

Apdu PropertyValue::ToApdu(ApciCode service) const
{
    Apdu a{service, {}};
    // Sized once: growing the four header bytes in place trips GCC 12's bounds warning at -O2.
    a.data.reserve(4 + data.size());
    a.data.push_back(objectIndex);
    a.data.push_back(propertyId);
    a.data.push_back(static_cast<std::uint8_t>((count & 0x0F) << 4 | (startIndex >> 8 & 0x0F)));
    a.data.push_back(static_cast<std::uint8_t>(startIndex));
    Append(a.data, data);
    return a;
}

std::optional<PropertyValue> PropertyValue::From(const Apdu& apdu)
{
    if (apdu.apci != ApciPropertyValueRead && apdu.apci != ApciPropertyValueResponse &&
        apdu.apci != ApciPropertyValueWrite)
        return std::nullopt;
    ByteReader r(apdu.data);
    PropertyValue p;
    p.objectIndex = r.U8();
    p.propertyId = r.U8();
    std::uint8_t countStart = r.U8();
    std::uint8_t startLow = r.U8();
    if (!r.Ok())
        return std::nullopt;
    p.count = countStart >> 4;
    p.startIndex = static_cast<std::uint16_t>((countStart & 0x0F) << 8 | startLow);
    ByteView rest = r.Rest();
    p.data.assign(rest.begin(), rest.end());
    return p;
}

} // namespace knx
