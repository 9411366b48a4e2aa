// Byte strings of the KNX protocols: an owned buffer, a read-only view, and a bounds-checked reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace knx {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline void AppendU16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

inline void Append(Bytes& out, ByteView data)
{
    out.insert(out.end(), data.begin(), data.end());
}

// Reads big-endian fields; a read past the end marks the reader failed and yields zeros.
class ByteReader
{
public:
    explicit ByteReader(ByteView data) : m_data(data) {}
    std::uint8_t U8()
    {
        if (!Have(1))
            return 0;
        return m_data[m_pos++];
    }
    std::uint16_t U16()
    {
        if (!Have(2))
            return 0;
        std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] << 8 | m_data[m_pos + 1]);
        m_pos += 2;
        return v;
    }
    ByteView Take(std::size_t n)
    {
        if (!Have(n))
            return {};
        ByteView v = m_data.subspan(m_pos, n);
        m_pos += n;
        return v;
    }
    void Skip(std::size_t n) { Take(n); }
    ByteView Rest() { return Take(Remaining()); }
    std::size_t Remaining() const { return m_failed ? 0 : m_data.size() - m_pos; }
    bool Ok() const { return !m_failed; }
    // True when every byte was read and nothing was missing.
    bool Done() const { return !m_failed && m_pos == m_data.size(); }

private:
    bool Have(std::size_t n)
    {
        if (m_failed || m_data.size() - m_pos < n) {
            m_failed = true;
            return false;
        }
        return true;
    }
    ByteView m_data;
    std::size_t m_pos = 0;
    bool m_failed = false;
};

// "06 10 02 05" from bytes, for traces and test messages.
std::string HexText(ByteView data);
// Bytes from hexadecimal text with any spaces; nothing when the text is not hexadecimal.
std::optional<Bytes> ParseHex(const std::string& text);

} // namespace knx
