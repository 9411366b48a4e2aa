// The fixed mapping between the structured view (groups, singles, members, scenes, effects, steps)
// and the flat UniqueNr space of the device's parameters. Stateless; negative bases pass unchanged.
#pragma once

#include <cstdint>

using UniqueNr = std::int32_t;

inline constexpr int kGroupCount = 32;  // groups 1..32
inline constexpr int kSingleCount = 64; // singles 1..64, GroupNr 33..96
inline constexpr int kMemberCount = 64; // DALI control gear 1..64
inline constexpr int kSceneCount = 16;
inline constexpr int kEffectCount = 16;
inline constexpr int kStepSlots = 16; // the last step always lives in slot 16
inline constexpr int kEffectValueCount = 1000;

// base of a group parameter, GroupNr 1..96 (33..96 = single 1..64, with the single remap)
UniqueNr GetGroupUniqueNr(UniqueNr base, int groupNr);
// inverse of GetGroupUniqueNr for the same GroupNr
UniqueNr GetGroupBaseNr(UniqueNr uniqueNr, int groupNr);
constexpr UniqueNr GetMemberBlockUniqueNr(UniqueNr base, int memberNr)
{
    return base < 0 ? base : base + memberNr * 1000;
}
constexpr UniqueNr GetMemberUniqueNr(UniqueNr base, int memberNr)
{
    return base < 0 ? base : base + memberNr;
}
constexpr UniqueNr GetSceneUniqueNr(UniqueNr base, int sceneNr)
{
    return base < 0 ? base : base + sceneNr * 1000;
}
constexpr UniqueNr GetSceneBaseNr(UniqueNr uniqueNr, int sceneNr)
{
    return uniqueNr < 0 ? uniqueNr : uniqueNr - sceneNr * 1000;
}
// lightness value of group or single GroupNr n in scene s
constexpr UniqueNr GetSceneValueUniqueNr(int sceneNr, int groupNr)
{
    return groupNr <= kGroupCount ? sceneNr * 1000 + 609 + groupNr : sceneNr * 1000 + 20570 + groupNr;
}
constexpr UniqueNr GetEffectUniqueNr(UniqueNr base, int effectNr)
{
    return base < 0 ? base : base + effectNr;
}
constexpr UniqueNr GetEffectStepUniqueNr(UniqueNr base, int effectNr, int slot)
{
    return base < 0 ? base : base + (effectNr - 1) * 16 + slot;
}
// Slot of step k (1-based) of an effect with n steps: the last step always in slot 16.
constexpr int GetEffectStepSlot(int stepNr, int stepCount)
{
    return stepNr == stepCount ? kStepSlots : stepNr;
}

// Masks are stored in the host with their bytes reversed (bit 0, key 1, lands in bit 24).
constexpr std::uint32_t SwapMask32(std::uint32_t mask)
{
    return (mask >> 24) | ((mask >> 8) & 0x0000FF00u) | ((mask << 8) & 0x00FF0000u) | (mask << 24);
}
constexpr std::uint16_t SwapMask16(std::uint16_t mask)
{
    return static_cast<std::uint16_t>((mask >> 8) | (mask << 8));
}

// KNX scene and effect numbers 1..64: the first unused one from start to 64, then from 1 (start
// outside 1..64: from 1); 0 when all are used.
template <class Used> int NextFreeKnxNumber(int start, Used used)
{
    constexpr int kKnxNumbers = 64;
    const int first = start >= 1 && start <= kKnxNumbers ? start : 1;
    for (int k = first; k <= kKnxNumbers; ++k)
        if (!used(k))
            return k;
    for (int k = 1; k < first; ++k)
        if (!used(k))
            return k;
    return 0;
}
