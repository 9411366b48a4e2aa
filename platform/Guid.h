// 128-bit class and interface identifiers in the registry form {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct GUID
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
    friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;

inline constexpr GUID GUID_NULL{};

// Upper-case registry form with braces.
std::string GuidToString(const GUID& guid);
// Accepts the registry form with or without braces, any letter case.
std::optional<GUID> GuidFromString(std::string_view text);
