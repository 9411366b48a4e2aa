#include "simulator/tests/PluginSide.h"

#include <gtest/gtest.h>

namespace {
// A line after its first search: gear numbered 1..n in ascending random address order.
struct SearchedLine : PluginSide
{
    explicit SearchedLine(const std::vector<ControlGear>& gear) : PluginSide(gear)
    {
        EXPECT_EQ(OpenAndScan(), S_OK);
        EXPECT_TRUE(Search().finished);
    }
    std::uint8_t Level(int gearNumber)
    {
        auto g = gateway->GearAt(gearNumber);
        return g ? g->level : 0xEE;
    }
};
} // namespace

TEST(SimulatorGearCommands, SwitchingAndLevelsReachTheGearAndReadBack)
{
    SearchedLine line(DemoGear()); // gear 1 is a fluorescent ballast (minimum level 85), gear 2 an LED driver
    ASSERT_EQ(line.gateway->GearAt(1)->minLevel, 85);
    struct Case
    {
        const char* what;
        std::uint8_t function, data1, data2;
        int gear;
        std::uint8_t arc;      // level of that gear afterwards
        std::uint8_t readBack; // lightness that function 13 reads
    } cases[] = {
        {"all on", 10, 255, 1, 7, 254, 173},
        {"gear 3 off", 10, 3, 0, 3, 0, 0},
        {"all off", 10, 255, 0, 12, 0, 0},
        {"gear 3 on", 10, 3, 1, 3, 254, 173},
        {"gear 2 to 50 %", 12, 2, 148, 2, 229, 148},
        {"gear 2 to 0,1 %", 12, 2, 1, 2, 82, 1},
        {"gear 1 below its minimum", 12, 1, 1, 1, 85, 4},
        {"gear 1 off by value", 12, 1, 0, 1, 0, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(line.WaitIdle()) << c.what;
        ASSERT_EQ(line.WriteD1(c.function, c.data1, c.data2), S_OK);
        auto read = line.Call(13, static_cast<std::uint8_t>(c.gear));
        EXPECT_EQ(line.Level(c.gear), c.arc) << c.what;
        EXPECT_EQ(read.result, 0) << c.what;
        EXPECT_EQ(read.data1, c.gear) << c.what;
        EXPECT_EQ(read.data2, c.readBack) << c.what;
    }
    EXPECT_EQ(line.Level(3), 254);
    EXPECT_EQ(line.Level(4), 0);
}

TEST(SimulatorGearCommands, StatusReadShowsTheDaliStatusBits)
{
    SearchedLine line(DemoGear());
    auto status = [&](int gear) {
        return line.Call(14, static_cast<std::uint8_t>(gear));
    };
    EXPECT_EQ(status(4).data2, 0x80) << "powered up, off, no level command yet";
    line.WriteD1(10, 4, 1);
    line.gateway->ModifyGear(0, [](ControlGear& g) { g.lampFailure = true; });
    auto r = status(4);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.data2, 0x04);
    EXPECT_EQ(status(1).data2, 0x82);
    EXPECT_EQ(status(40).result, 2) << "nobody holds gear number 40";
    // The no-answer reply is given once; the channel is idle again for the next request.
    EXPECT_TRUE(line.WaitIdle(1));
}

TEST(SimulatorGearCommands, GroupsSwitchDimAndReadThroughTheirMembers)
{
    SearchedLine line(LedLine(6));
    // Gear 1, 2 in DALI group 1; gear 3, 4 in the gateway's group 17; gear 5 in both.
    line.Download(3, {{1, 0x1}, {2, 0x1}, {3, 0x10000}, {4, 0x10000}});
    auto full = line.Download(3, {{5, 0x10001}});
    EXPECT_EQ(full[5], protocol::GearGroupFull);
    line.Download(3, {{5, 0x1}});

    auto levels = [&] {
        std::vector<int> out;
        for (int n = 1; n <= 6; ++n)
            out.push_back(line.Level(n));
        return out;
    };
    line.WriteD1(20, 1, 1);
    ASSERT_TRUE(line.WaitIdle());
    EXPECT_EQ(levels(), (std::vector<int>{254, 254, 0, 0, 254, 0}));
    line.WriteD1(22, 17, 148);
    ASSERT_TRUE(line.WaitIdle());
    EXPECT_EQ(levels(), (std::vector<int>{254, 254, 229, 229, 254, 0}));
    line.WriteD1(20, 1, 0);
    ASSERT_TRUE(line.WaitIdle());
    EXPECT_EQ(levels(), (std::vector<int>{0, 0, 229, 229, 0, 0}));

    struct Read
    {
        std::uint8_t channel;
        int result;
        std::uint8_t value;
    } reads[] = {{17, 0, 148}, {1, 0, 0}, {33 + 2, 0, 148}, {2, 2, 0}, {33 + 40, 2, 0}};
    for (const auto& r : reads) {
        auto got = line.Call(23, r.channel);
        EXPECT_EQ(got.result, r.result) << int{r.channel};
        EXPECT_EQ(got.data2, r.value) << int{r.channel};
    }

    // Relative dimming of group 1: up (9) from off for 2 s, stop (8); down (1) for 1 s, stop (0).
    line.WriteD1(24, 1, 9);
    line.clock.Advance(2000);
    line.WriteD1(24, 1, 8);
    ASSERT_TRUE(line.WaitIdle());
    int up = line.Level(1);
    EXPECT_GT(up, 90);
    EXPECT_LT(up, 120);
    EXPECT_EQ(line.Level(5), up);
    line.WriteD1(24, 1, 1);
    line.clock.Advance(1000);
    line.WriteD1(24, 1, 0);
    ASSERT_TRUE(line.WaitIdle());
    EXPECT_LT(line.Level(1), up - 40);
    EXPECT_GE(line.Level(1), 1) << "dimming down does not switch off";
}

TEST(SimulatorGearCommands, ScenesAreWrittenPerChannelAndCalled)
{
    SearchedLine line(LedLine(4));
    line.Download(3, {{1, 0x1}, {2, 0x1}});
    // Outside a scene write the value is not stored.
    line.WriteD1(32, 33 + 2, 100);
    ASSERT_TRUE(line.WaitIdle());

    ASSERT_TRUE(line.WaitIdle());
    line.WriteD1(31, 5, 1);
    line.WriteD1(32, 1, 148); // group 1: gear 1 and 2
    ASSERT_TRUE(line.WaitIdle());
    line.WriteD1(32, 33 + 2, 173); // gear 3 alone
    ASSERT_TRUE(line.WaitIdle());
    line.WriteD1(31, 5, 0);

    EXPECT_EQ(line.gateway->GearAt(1)->scenes[4], 229);
    EXPECT_EQ(line.gateway->GearAt(3)->scenes[4], 254);
    EXPECT_EQ(line.gateway->GearAt(4)->scenes[4], kDaliMask);

    line.WriteD1(10, 255, 1);
    line.WriteD1(12, 4, 50);
    ASSERT_TRUE(line.WaitIdle());
    line.WriteD1(30, 5);
    ASSERT_TRUE(line.WaitIdle());
    EXPECT_EQ(line.Level(1), 229);
    EXPECT_EQ(line.Level(2), 229);
    EXPECT_EQ(line.Level(3), 254);
    EXPECT_EQ(line.Level(4), LightnessToArc(50)) << "not in the scene: unchanged";
    EXPECT_EQ(line.Call(23, 33).data2, 148);
}

TEST(SimulatorGearCommands, SelectionMaskPicksExactlyTheGearNamed)
{
    SearchedLine line(LedLine(64));
    const std::vector<std::vector<int>> selections{{1}, {8}, {9}, {64}, {1, 8, 9, 16, 33, 63, 64}};
    for (const auto& selected : selections) {
        line.WriteD1(10, 255, 0);
        ASSERT_TRUE(line.WaitIdle());
        ASSERT_EQ(line.TestSelected(selected, 1, 1), S_OK);
        ASSERT_TRUE(line.WaitIdle());
        for (int n = 1; n <= 64; ++n) {
            bool on = std::find(selected.begin(), selected.end(), n) != selected.end();
            EXPECT_EQ(line.Level(n), on ? 254 : 0) << "gear " << n;
        }
    }
}

TEST(SimulatorGearCommands, BlinkingEmergencyLampsAndTheWatchdog)
{
    SearchedLine line(DemoGear()); // the emergency units are gear 5 and 9
    ASSERT_TRUE(line.gateway->GearAt(5)->IsEmergency());
    ASSERT_TRUE(line.gateway->GearAt(9)->IsEmergency());

    // Two blinks, then the level from before: on for half a period, off for half a period.
    line.WriteD1(12, 2, 100);
    ASSERT_TRUE(line.WaitIdle());
    ASSERT_EQ(line.TestSelected({2}, 2, 2), S_OK);
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        seen.push_back(line.Level(2));
        line.clock.Advance(500);
    }
    EXPECT_EQ(seen[0], 254);
    EXPECT_EQ(seen[1], 0);
    EXPECT_EQ(seen[2], 254);
    EXPECT_EQ(seen[3], 0);
    EXPECT_EQ(seen[4], LightnessToArc(100));

    // Endless blinking stops with function 1, data 0.
    ASSERT_EQ(line.TestSelected({3}, 2, 0), S_OK);
    line.clock.Advance(30'000);
    EXPECT_EQ(line.gateway->GearAt(3)->motion, ControlGear::Motion::Blink);
    EXPECT_EQ(line.gateway->GearAt(2)->motion, ControlGear::Motion::None) << "its two blinks are over";
    ASSERT_EQ(line.TestSelected({3}, 1, 0), S_OK);
    line.clock.Advance(750);
    EXPECT_EQ(line.Level(3), 0);
    EXPECT_FALSE(line.gateway->WatchdogArmed());

    // Emergency lamps: only the emergency units take the command.
    ASSERT_EQ(line.TestSelected({4, 5, 9}, 3, 1), S_OK);
    ASSERT_TRUE(line.WaitIdle());
    EXPECT_TRUE(line.gateway->GearAt(5)->emergencyLampOn);
    EXPECT_TRUE(line.gateway->GearAt(9)->emergencyLampOn);
    EXPECT_FALSE(line.gateway->GearAt(4)->emergencyLampOn);

    // Retriggered every 20 s the test goes on; left alone for 60 s the gateway ends it.
    ASSERT_EQ(line.TestSelected({6}, 1, 1), S_OK);
    for (int i = 0; i < 6; ++i) {
        line.clock.Advance(20'000);
        line.WriteD1(60, 1, 0);
    }
    EXPECT_TRUE(line.gateway->GearAt(5)->emergencyLampOn);
    EXPECT_EQ(line.Level(6), 254);
    line.clock.Advance(59'000);
    EXPECT_EQ(line.Level(6), 254);
    line.clock.Advance(2'000);
    EXPECT_EQ(line.Level(6), 0);
    EXPECT_FALSE(line.gateway->GearAt(5)->emergencyLampOn);
    EXPECT_FALSE(line.gateway->WatchdogArmed());
}

TEST(SimulatorGearCommands, EffectsReportStepAndPassOnce)
{
    SearchedLine line({});
    line.gateway->SetEffect(3, {4, 2, 10'000});
    auto query = [&](std::uint8_t code) {
        line.WriteD1(code, 3, 0);
        auto r = line.ReadD1();
        EXPECT_EQ(line.ReadD1()[0], 0) << "a query is answered once";
        return r;
    };
    line.WriteD1(40, 3, 1);
    line.clock.Advance(25'000);
    EXPECT_EQ(query(43), (PluginSide::Reply{43, 3, 0}));
    EXPECT_EQ(query(44), (PluginSide::Reply{44, 0, 1}));
    line.WriteD1(42, 3, 2); // twice as fast from here
    line.clock.Advance(20'000);
    EXPECT_EQ(query(43)[1], 3);
    EXPECT_EQ(query(44)[2], 2);
    line.clock.Advance(100'000);
    EXPECT_EQ(query(43)[1], 4);
    EXPECT_EQ(query(44)[2], 2);
    line.WriteD1(41, 3, 16);
    EXPECT_EQ(query(43)[1], 4) << "step 16 is the last step";
}
