// Values as they travel across the host boundary: empty, null, 32-bit signed and unsigned,
// 16-bit unsigned and text, with the conversions of the Windows variant rules the system relies on.
#pragma once

#include "platform/HResult.h"

#include <cstdint>
#include <string>
#include <string_view>

enum VARTYPE : std::uint16_t
{
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_UI2 = 18,
    VT_UI4 = 19,
};

class Variant
{
public:
    Variant() = default;
    // Numbers are copied without touching the text: values are copied on every host call.
    Variant(const Variant& other) : m_vt(other.m_vt), m_bits(other.m_bits)
    {
        if (!other.m_text.empty())
            m_text = other.m_text;
    }
    Variant& operator=(const Variant& other)
    {
        m_vt = other.m_vt;
        m_bits = other.m_bits;
        if (!other.m_text.empty() || !m_text.empty())
            m_text = other.m_text;
        return *this;
    }
    Variant(Variant&&) noexcept = default;
    Variant& operator=(Variant&&) noexcept = default;
    ~Variant() = default;

    // Made inline: values are made on every host call.
    static Variant Null() { return Variant(VT_NULL, 0); }
    static Variant I4(std::int32_t value) { return Variant(VT_I4, static_cast<std::uint32_t>(value)); }
    static Variant UI4(std::uint32_t value) { return Variant(VT_UI4, value); }
    static Variant UI2(std::uint16_t value) { return Variant(VT_UI2, value); }
    static Variant String(std::string_view text)
    {
        Variant v(VT_BSTR, 0);
        v.m_text = text;
        return v;
    }

    VARTYPE vt() const { return m_vt; }
    bool IsEmptyOrNull() const { return m_vt == VT_EMPTY || m_vt == VT_NULL; }

    // Raw accessors: valid for their own kind only (other kinds read as 0 or the empty text).
    std::int32_t lVal() const { return m_vt == VT_I4 ? static_cast<std::int32_t>(m_bits) : 0; }
    std::uint32_t ulVal() const { return m_vt == VT_UI4 ? m_bits : 0; }
    std::uint16_t uiVal() const { return m_vt == VT_UI2 ? static_cast<std::uint16_t>(m_bits) : 0; }
    const std::string& bstrVal() const { return m_text; }

    // The 32-bit integer part, whatever the integer kind; 0 for empty, null and text.
    std::int32_t IntPart() const { return static_cast<std::int32_t>(m_bits); }

    // Converts in place; on failure the value is unchanged. Failures: DISP_E_TYPEMISMATCH
    // (null, text that is not a number), DISP_E_OVERFLOW (value outside the target kind).
    HRESULT ChangeType(VARTYPE target);

    friend bool operator==(const Variant& a, const Variant& b)
    {
        return a.m_vt == b.m_vt && a.m_bits == b.m_bits && a.m_text == b.m_text;
    }

    // Readable form for traces and test output: "I4:5", "BSTR:'x'", "EMPTY".
    std::string Describe() const;

private:
    Variant(VARTYPE vt, std::uint32_t bits) : m_vt(vt), m_bits(bits) {}

    VARTYPE m_vt = VT_EMPTY;
    std::uint32_t m_bits = 0;
    std::string m_text;
};

// Parses a decimal number the way the variant rules do: blanks around it, an optional sign,
// digits and an optional fraction that rounds half to even. DISP_E_TYPEMISMATCH when it is not one.
HRESULT ParseDecimal(std::string_view text, std::int64_t& value);
// The common form of such a number, and only that: an optional minus and up to 18 digits, nothing
// around them. False for anything else, which is left to ParseDecimal's rules.
bool ParsePlainDecimal(std::string_view text, std::int64_t& value);
