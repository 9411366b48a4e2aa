// KNX individual addresses ("1.1.10", area.line.device) and IPv4 endpoints of KNXnet/IP.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace knx {

struct IndividualAddress
{
    std::uint16_t raw = 0;

    static constexpr IndividualAddress Of(int area, int line, int device)
    {
        return {static_cast<std::uint16_t>((area & 0x0F) << 12 | (line & 0x0F) << 8 | (device & 0xFF))};
    }
    // "a.l.d" with area and line 0..15 and device 0..255; nothing for any other text.
    static std::optional<IndividualAddress> Parse(std::string_view text);
    std::string ToString() const;
    bool operator==(const IndividualAddress&) const = default;
};

struct Endpoint
{
    std::array<std::uint8_t, 4> ip{};
    std::uint16_t port = 0;

    static constexpr Endpoint Loopback(std::uint16_t port) { return {{127, 0, 0, 1}, port}; }
    // "a.b.c.d:port", or "a.b.c.d" with defaultPort.
    static std::optional<Endpoint> Parse(std::string_view text, std::uint16_t defaultPort = 3671);
    std::string ToString() const;
    bool IsAny() const { return ip == std::array<std::uint8_t, 4>{} && port == 0; }
    bool operator==(const Endpoint&) const = default;
};

// The KNXnet/IP port and the discovery group.
inline constexpr std::uint16_t kKnxNetIpPort = 3671;
inline constexpr Endpoint kDiscoveryGroup{{224, 0, 23, 12}, kKnxNetIpPort};

} // namespace knx
