#include "knxnet/KnxAddress.h"

#include <charconv>
#include <vector>

namespace knx {
namespace {
// Splits on sep and reads every part as a decimal number no larger than limits[i].
std::optional<std::vector<unsigned>> Numbers(std::string_view text, char sep,
                                             const std::vector<unsigned>& limits)
{
    std::vector<unsigned> values;
    std::size_t start = 0;
    for (std::size_t i = 0; i < limits.size(); ++i) {
        std::size_t end = text.find(sep, start);
        bool last = i + 1 == limits.size();
        if (last != (end == std::string_view::npos))
            return std::nullopt;
        std::string_view part = text.substr(start, last ? std::string_view::npos : end - start);
        unsigned value = 0;
        auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc{} || ptr != part.data() + part.size() || value > limits[i])
            return std::nullopt;
        values.push_back(value);
        start = end + 1;
    }
    return values;
}
} // namespace

std::optional<IndividualAddress> IndividualAddress::Parse(std::string_view text)
{
    auto parts = Numbers(text, '.', {15, 15, 255});
    if (!parts)
        return std::nullopt;
    return Of(static_cast<int>((*parts)[0]), static_cast<int>((*parts)[1]), static_cast<int>((*parts)[2]));
}

std::string IndividualAddress::ToString() const
{
    return std::to_string(raw >> 12) + "." + std::to_string(raw >> 8 & 0x0F) + "." +
           std::to_string(raw & 0xFF);
}

std::optional<Endpoint> Endpoint::Parse(std::string_view text, std::uint16_t defaultPort)
{
    std::uint16_t port = defaultPort;
    std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        auto p = Numbers(text.substr(colon + 1), ':', {65535});
        if (!p || (*p)[0] == 0)
            return std::nullopt;
        port = static_cast<std::uint16_t>((*p)[0]);
        text = text.substr(0, colon);
    }
    auto ip = Numbers(text, '.', {255, 255, 255, 255});
    if (!ip)
        return std::nullopt;
    Endpoint e;
    for (int i = 0; i < 4; ++i)
        e.ip[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((*ip)[static_cast<std::size_t>(i)]);
    e.port = port;
    return e;
}

std::string Endpoint::ToString() const
{
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]) + ":" + std::to_string(port);
}

} // namespace knx
