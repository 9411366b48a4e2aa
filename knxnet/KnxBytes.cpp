#include "knxnet/KnxBytes.h"

#include <cctype>
#include <cstdio>

namespace knx {

std::string HexText(ByteView data)
{
    std::string text;
    char buffer[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i ? " %02X" : "%02X", data[i]);
        text += buffer;
    }
    return text;
}

std::optional<Bytes> ParseHex(const std::string& text)
{
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        int nibble = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10);
        if (high < 0) {
            high = nibble;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | nibble));
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return out;
}

} // namespace knx
