// KNX application services of device management: A_DeviceDescriptor_Read/_Response and
// A_PropertyValue_Read/_Response/_Write.
#pragma once

#include "knxnet/KnxBytes.h"

#include <optional>

namespace knx {

// The 10-bit application control field; device descriptor services carry the descriptor type in
// their low 6 bits.
enum ApciCode : std::uint16_t
{
    ApciDeviceDescriptorRead = 0x300,
    ApciDeviceDescriptorResponse = 0x340,
    ApciPropertyValueRead = 0x3D5,
    ApciPropertyValueResponse = 0x3D6,
    ApciPropertyValueWrite = 0x3D7,
};

struct Apdu
{
    std::uint16_t apci = 0; // 10 bits
    Bytes data;             // the octets after the APCI

    // The service without the 6 data bits a device descriptor service carries.
    std::uint16_t Service() const
    {
        return (apci & 0x3C0) == 0x300 || (apci & 0x3C0) == 0x340 ? apci & 0x3C0 : apci;
    }
    bool operator==(const Apdu&) const = default;
};

// The property services' common part: object index, property id, element count (0..15) and start
// index (0..4095), then the data.
struct PropertyValue
{
    std::uint8_t objectIndex = 0;
    std::uint8_t propertyId = 0;
    std::uint8_t count = 1;
    std::uint16_t startIndex = 1;
    Bytes data;

    static constexpr std::uint8_t kMaxCount = 15;
    static constexpr std::uint16_t kMaxStartIndex = 0x0FFF;

    Apdu ToApdu(ApciCode service) const;
    // Nothing unless the APDU is one of the three property services with its 4 header octets.
    static std::optional<PropertyValue> From(const Apdu& apdu);
    bool Matches(const PropertyValue& request) const
    {
        return objectIndex == request.objectIndex && propertyId == request.propertyId &&
               startIndex == request.startIndex;
    }
};

inline Apdu DeviceDescriptorRead(std::uint8_t type = 0)
{
    return {static_cast<std::uint16_t>(ApciDeviceDescriptorRead | (type & 0x3F)), {}};
}
inline Apdu DeviceDescriptorResponse(std::uint16_t descriptor, std::uint8_t type = 0)
{
    return {static_cast<std::uint16_t>(ApciDeviceDescriptorResponse | (type & 0x3F)),
            {static_cast<std::uint8_t>(descriptor >> 8), static_cast<std::uint8_t>(descriptor)}};
}

} // namespace knx
