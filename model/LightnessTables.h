// The lightness texts and the choice list of the pages' lightness lists.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

struct LightnessTextRange
{
    std::uint8_t first, last;
    const char* text;
};

struct LightnessChoice
{
    const char* text;
    std::uint8_t value;
};

extern const LightnessTextRange kLightnessTexts[];
extern const std::size_t kLightnessTextRangeCount;
extern const LightnessChoice kLightnessChoices[];
extern const std::size_t kLightnessChoiceCount;
