#include "product/Numbering.h"

namespace {

struct Remap
{
    int first, last, shift;
};

// Group base range -> single base range; bases 274, 424, 597 and 598 stay where they are.
constexpr Remap kSingleRemap[] = {
    {100, 129, 40}, {200, 209, 20}, {230, 243, 30}, {300, 339, 50}, {400, 422, 40},
    {423, 423, 70}, {425, 429, 45}, {430, 439, 50}, {580, 585, 6},
};

} // namespace

UniqueNr GetGroupUniqueNr(UniqueNr base, int groupNr)
{
    if (base < 0)
        return base;
    if (groupNr <= kGroupCount)
        return base + groupNr * 1000;
    UniqueNr remapped = base;
    for (const Remap& r : kSingleRemap) {
        if (base >= r.first && base <= r.last) {
            remapped = base + r.shift;
            break;
        }
    }
    return remapped + (groupNr - kGroupCount) * 1000;
}

UniqueNr GetGroupBaseNr(UniqueNr uniqueNr, int groupNr)
{
    if (uniqueNr < 0)
        return uniqueNr;
    UniqueNr r = uniqueNr % 1000;
    if (groupNr <= kGroupCount)
        return r;
    for (const Remap& m : kSingleRemap) {
        if (r >= m.first + m.shift && r <= m.last + m.shift)
            return r - m.shift;
    }
    return r;
}
