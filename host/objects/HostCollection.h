// The host's 1-based lists: item by position or by query text ("$(UniqueNumber)=4711",
// "$(Address)='3'"), and a generic list that creates its items on first use.
#pragma once

#include "hostapi/EtsCollection.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Hands an object out through an interface out parameter (with the reference the caller owns).
template <class I, class T> HRESULT HandOut(const ComPtr<T>& object, I** out)
{
    return ComPtr<I>(object).CopyTo(out);
}

inline constexpr std::size_t kNoItem = static_cast<std::size_t>(-1);

struct HostQuery
{
    std::string name;
    std::int64_t value = 0;
};

// "$(Name)=value" with the value a decimal integer, optionally in single quotes; blanks allowed
// around the parts. Nothing when the text has another form.
std::optional<HostQuery> ParseHostQuery(std::string_view text);

// Turns an Item index into a 0-based position: a VT_I4 (or other integer kind) position 1..count,
// or a VT_BSTR query with the list's query name that find resolves. DISP_E_BADINDEX when nothing is
// there, E_INVALIDARG for an index of another form or a query the list does not answer.
HRESULT ResolveItemIndex(const Variant& index, std::size_t count, std::string_view queryName,
                         const std::function<std::size_t(std::int64_t)>& find, std::size_t* position);

// A finder over a list of keys: the first position whose key matches.
std::function<std::size_t(std::int64_t)> KeyFinder(std::vector<std::int64_t> keys);

template <class I> class CHostList final : public ComObject<IEtsCollection<I>>
{
public:
    using Factory = std::function<ComPtr<I>(std::size_t position)>;
    using Finder = std::function<std::size_t(std::int64_t key)>;

    CHostList(std::size_t count, Factory factory, std::string queryName = {}, Finder finder = {})
        : m_factory(std::move(factory)), m_queryName(std::move(queryName)), m_finder(std::move(finder)),
          m_items(count)
    {}
    // A list of items that exist already.
    CHostList(std::vector<ComPtr<I>> items, std::string queryName, Finder finder)
        : m_queryName(std::move(queryName)), m_finder(std::move(finder)), m_items(std::move(items))
    {}

    HRESULT get_Count(std::int32_t* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<std::int32_t>(m_items.size());
        return S_OK;
    }

    HRESULT Item(const Variant& index, I** item) override
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        std::size_t position = kNoItem;
        if (HRESULT hr = ResolveItemIndex(index, m_items.size(), m_queryName, m_finder, &position);
            FAILED(hr))
            return hr;
        ComPtr<I>& slot = m_items[position];
        if (!slot && m_factory)
            slot = m_factory(position);
        if (!slot)
            return E_FAIL;
        return slot.CopyTo(item);
    }

private:
    Factory m_factory;
    std::string m_queryName;
    Finder m_finder;
    std::vector<ComPtr<I>> m_items;
};

// A list made of items that exist already.
template <class I>
ComPtr<IEtsCollection<I>> MakeHostList(std::vector<ComPtr<I>> items, std::string queryName = {},
                                       std::vector<std::int64_t> keys = {})
{
    return MakeComObject<CHostList<I>>(std::move(items), std::move(queryName), KeyFinder(std::move(keys)));
}
