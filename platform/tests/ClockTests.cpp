#include "platform/Clock.h"

#include <gtest/gtest.h>

TEST(Clock, TestClockSleepsInVirtualTimeAndRepeatsItsChance)
{
    TestClock a(5000), b(5000);
    a.Sleep(300000);
    EXPECT_EQ(a.NowMs(), 305000u);
    EXPECT_EQ(a.SleptMs(), 300000u);
    a.Advance(1);
    EXPECT_EQ(a.GetTickCount(), 305001u);
    EXPECT_EQ(a.Random(), b.Random());
}

TEST(Clock, RealClockMovesForward)
{
    RealClock c;
    auto t0 = c.NowMs();
    c.Sleep(2);
    EXPECT_GE(c.NowMs(), t0 + 2);
}
