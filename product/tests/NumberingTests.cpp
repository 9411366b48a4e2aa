#include "product/Numbering.h"

#include <gtest/gtest.h>

TEST(Numbering, DocumentedUniqueNumbers)
{
    struct Case
    {
        UniqueNr got, want;
    };
    const Case cases[] = {
        {GetGroupUniqueNr(102, 5), 5102},
        {GetGroupUniqueNr(102, 33), 1142},
        {GetGroupUniqueNr(123, 33), 1163},
        {GetGroupUniqueNr(423, 40), 8493},
        {GetGroupUniqueNr(424, 40), 8424},
        {GetGroupUniqueNr(585, 96), 64591},
        {GetGroupUniqueNr(274, 33), 1274},
        {GetGroupUniqueNr(102, 37), 5142},
        {GetGroupUniqueNr(123, 37), 5163},
        {GetGroupUniqueNr(-1, 40), -1},
        {GetEffectStepUniqueNr(-1, 3, 2), -1},
        {GetGroupBaseNr(1142, 33), 102},
        {GetGroupBaseNr(8493, 40), 423},
        {GetGroupBaseNr(5102, 5), 102},
        {GetSceneValueUniqueNr(3, 7), 3616},
        {GetSceneValueUniqueNr(3, 40), 23610},
        {GetSceneValueUniqueNr(16, 96), 36666},
        {GetEffectStepUniqueNr(21700, 2, 16), 21732},
        {GetEffectStepUniqueNr(16700, 16, 16), 16956},
        {GetMemberBlockUniqueNr(597, 1), 1597},
        {GetMemberUniqueNr(600, 64), 664},
        {GetSceneUniqueNr(601, 16), 16601},
        {GetSceneBaseNr(16601, 16), 601},
        {GetEffectUniqueNr(15700, 1), 15701},
        {GetMemberBlockUniqueNr(274, 1), GetGroupUniqueNr(274, 33)},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(Numbering, EveryGroupBaseRoundTripsForEveryGroupAndSingle)
{
    // Every base that a group owns: the group ranges and the unmoved member bases.
    for (UniqueNr base = 100; base <= 599; ++base) {
        const bool singleTarget =
            (base >= 140 && base <= 169) || (base >= 220 && base <= 229) || (base >= 260 && base <= 273) ||
            (base >= 350 && base <= 389) || (base >= 440 && base <= 462) || base == 493 ||
            (base >= 470 && base <= 474) || (base >= 480 && base <= 489) || (base >= 586 && base <= 591);
        if (singleTarget)
            continue; // numbers inside a single's target range are not group bases
        for (int n = 1; n <= 96; ++n)
            ASSERT_EQ(GetGroupBaseNr(GetGroupUniqueNr(base, n), n), base)
                << "base " << base << " GroupNr " << n;
    }
}

TEST(Numbering, MasksAreStoredByteSwapped)
{
    EXPECT_EQ(SwapMask32(1u), 16777216u);
    EXPECT_EQ(SwapMask16(1u), 256u);
    EXPECT_EQ(SwapMask32(0x80u), 0x80000000u) << "key 8 lands in bit 31";
    EXPECT_EQ(SwapMask32(SwapMask32(0x12345678u)), 0x12345678u);
    EXPECT_EQ(GetEffectStepSlot(3, 3), 16);
    EXPECT_EQ(GetEffectStepSlot(2, 3), 2);
}
