#include "platform/Variant.h"

#include <cctype>
#include <charconv>
#include <limits>

bool ParsePlainDecimal(std::string_view text, std::int64_t& value)
{
    const std::size_t digits = text.size() - (text.starts_with('-') ? 1 : 0);
    if (digits == 0 || digits > 18)
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc{} && end == text.data() + text.size();
}

HRESULT ParseDecimal(std::string_view text, std::int64_t& value)
{
    std::size_t i = 0, n = text.size();
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    while (i < n && blank(text[i]))
        ++i;
    while (n > i && blank(text[n - 1]))
        --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::uint64_t whole = 0;
    bool digits = false;
    for (; i < n && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        digits = true;
        whole = whole * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (whole > (std::uint64_t{1} << 40))
            return DISP_E_OVERFLOW;
    }
    if (i < n && text[i] == '.') {
        ++i;
        // Round half to even on the first fraction digit and whatever follows it.
        int first = -1;
        bool rest = false;
        for (; i < n && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            digits = true;
            if (first < 0)
                first = text[i] - '0';
            else if (text[i] != '0')
                rest = true;
        }
        if (first > 5 || (first == 5 && (rest || (whole & 1))))
            ++whole;
    }
    if (!digits || i != n)
        return DISP_E_TYPEMISMATCH;
    value = negative ? -static_cast<std::int64_t>(whole) : static_cast<std::int64_t>(whole);
    return S_OK;
}

HRESULT Variant::ChangeType(VARTYPE target)
{
    if (target == m_vt)
        return S_OK;
    if (target == VT_EMPTY || target == VT_NULL || m_vt == VT_NULL)
        return DISP_E_TYPEMISMATCH;

    if (target == VT_BSTR) {
        std::string text;
        switch (m_vt) {
        case VT_EMPTY:
            break;
        case VT_I4:
            text = std::to_string(lVal());
            break;
        default:
            text = std::to_string(m_bits);
            break;
        }
        *this = String(text);
        return S_OK;
    }

    std::int64_t value = 0;
    switch (m_vt) {
    case VT_EMPTY:
        break;
    case VT_I4:
        value = lVal();
        break;
    case VT_BSTR:
        if (HRESULT hr = ParseDecimal(m_text, value); FAILED(hr))
            return hr;
        break;
    default:
        value = m_bits;
        break;
    }

    switch (target) {
    case VT_I4:
        if (value < std::numeric_limits<std::int32_t>::min() ||
            value > std::numeric_limits<std::int32_t>::max())
            return DISP_E_OVERFLOW;
        *this = I4(static_cast<std::int32_t>(value));
        return S_OK;
    case VT_UI4:
        if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
            return DISP_E_OVERFLOW;
        *this = UI4(static_cast<std::uint32_t>(value));
        return S_OK;
    case VT_UI2:
        if (value < 0 || value > std::numeric_limits<std::uint16_t>::max())
            return DISP_E_OVERFLOW;
        *this = UI2(static_cast<std::uint16_t>(value));
        return S_OK;
    default:
        return DISP_E_TYPEMISMATCH;
    }
}

std::string Variant::Describe() const
{
    switch (m_vt) {
    case VT_EMPTY:
        return "EMPTY";
    case VT_NULL:
        return "NULL";
    case VT_I4:
        return "I4:" + std::to_string(lVal());
    case VT_UI4:
        return "UI4:" + std::to_string(ulVal());
    case VT_UI2:
        return "UI2:" + std::to_string(uiVal());
    case VT_BSTR:
        return "BSTR:'" + m_text + "'";
    }
    return "?";
}
