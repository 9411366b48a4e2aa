// Counted, 1-based lists of host objects; an item is found by its position or by a query text.
#pragma once

#include "platform/Unknown.h"
#include "platform/Variant.h"

#include <cstdint>

// A list interface gets its own identifier, derived from its element's.
constexpr IID DeriveIid(const IID& base, std::uint8_t salt)
{
    IID derived = base;
    derived.Data4[7] = static_cast<std::uint8_t>(derived.Data4[7] ^ salt);
    derived.Data4[6] = static_cast<std::uint8_t>(derived.Data4[6] ^ 0x5A);
    return derived;
}

template <class T> struct IEtsCollection : IUnknown
{
    static constexpr IID iid = DeriveIid(T::iid, 0xC1);

    virtual HRESULT get_Count(std::int32_t* count) = 0;
    // index: VT_I4 position 1..count, or VT_BSTR query such as "$(UniqueNumber)=4711".
    // DISP_E_BADINDEX when the position is outside the list or the query finds nothing.
    virtual HRESULT Item(const Variant& index, T** item) = 0;
};
