#include "host/objects/HostCollection.h"

#include <algorithm>
#include <unordered_map>

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<HostQuery> ParseHostQuery(std::string_view text)
{
    text = Trim(text);
    if (text.substr(0, 2) != "$(")
        return std::nullopt;
    std::size_t close = text.find(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    HostQuery query;
    query.name = std::string(Trim(text.substr(2, close - 2)));
    std::string_view rest = Trim(text.substr(close + 1));
    if (query.name.empty() || rest.empty() || rest.front() != '=')
        return std::nullopt;
    rest = Trim(rest.substr(1));
    if (rest.size() >= 2 && rest.front() == '\'' && rest.back() == '\'')
        rest = Trim(rest.substr(1, rest.size() - 2));
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    if (rest.empty() || rest.size() > 12)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    query.value = negative ? -value : value;
    return query;
}

HRESULT ResolveItemIndex(const Variant& index, std::size_t count, std::string_view queryName,
                         const std::function<std::size_t(std::int64_t)>& find, std::size_t* position)
{
    std::int64_t number = 0;
    switch (index.vt()) {
    case VT_I4:
        number = index.lVal();
        break;
    case VT_UI4:
        number = index.ulVal();
        break;
    case VT_UI2:
        number = index.uiVal();
        break;
    case VT_BSTR: {
        std::optional<HostQuery> query = ParseHostQuery(index.bstrVal());
        if (!query || queryName.empty() || query->name != queryName || !find)
            return E_INVALIDARG;
        std::size_t found = find(query->value);
        if (found == kNoItem || found >= count)
            return DISP_E_BADINDEX;
        *position = found;
        return S_OK;
    }
    default:
        return E_INVALIDARG;
    }
    if (number < 1 || static_cast<std::uint64_t>(number) > count)
        return DISP_E_BADINDEX;
    *position = static_cast<std::size_t>(number - 1);
    return S_OK;
}

std::function<std::size_t(std::int64_t)> KeyFinder(std::vector<std::int64_t> keys)
{
    if (keys.empty())
        return {};
    // Long lists (every group address of a project) are asked item by item: they get an index.
    if (keys.size() > 32) {
        std::unordered_map<std::int64_t, std::size_t> index;
        index.reserve(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i)
            index.emplace(keys[i], i); // the first position of a key stays
        return [index = std::move(index)](std::int64_t key) {
            auto it = index.find(key);
            return it == index.end() ? kNoItem : it->second;
        };
    }
    return [keys = std::move(keys)](std::int64_t key) {
        auto it = std::find(keys.begin(), keys.end(), key);
        return it == keys.end() ? kNoItem : static_cast<std::size_t>(it - keys.begin());
    };
}
