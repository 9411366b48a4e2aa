#include "simulator/tests/PluginSide.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

namespace {
std::set<std::uint32_t> AddressesOf(const std::vector<ControlGear>& gear)
{
    std::set<std::uint32_t> out;
    for (const auto& g : gear)
        out.insert(g.randomAddress);
    return out;
}
} // namespace

TEST(SimulatorSearch, FindsEveryGearWithTheIdleHandshakeInRealisticTime)
{
    struct Case
    {
        const char* line;
        std::vector<ControlGear> gear;
        bool compatibilityMode;
    } cases[] = {
        {"demo", DemoGear(), false},
        {"64 gear", LedLine(64), false},
        {"64 gear, compatibility mode", LedLine(64), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        PluginSide plugin(c.gear);
        ASSERT_EQ(plugin.OpenAndScan(), S_OK);
        std::uint64_t start = plugin.clock.NowMs();
        auto result = plugin.Search(c.compatibilityMode);
        ASSERT_TRUE(result.finished);
        std::uint64_t took = plugin.clock.NowMs() - start;
        const auto n = static_cast<int>(c.gear.size());

        // Counters only grow and end at the number of gear found and of gear newly addressed.
        EXPECT_TRUE(std::is_sorted(result.counters.begin(), result.counters.end()));
        EXPECT_EQ(result.counters.back(), (std::pair<int, int>{n, n}));
        EXPECT_GT(result.counters.size(), 2u);

        // About 24 compare steps per gear, each at least one frame with an answer.
        auto stats = plugin.gateway->Stats();
        EXPECT_EQ(stats.compareSteps, static_cast<std::uint32_t>(25 * n + 1));
        EXPECT_GT(took, static_cast<std::uint64_t>(n) * 24 * 47 * (c.compatibilityMode ? 2 : 1));
        EXPECT_LT(took, 300'000u);
        EXPECT_EQ(plugin.clock.SleptMs(), plugin.pauses * 1000u);

        // Found in ascending random address order, numbered 1..n, tables filled, the rest zero.
        auto sorted = c.gear;
        std::sort(sorted.begin(), sorted.end(), [](const ControlGear& a, const ControlGear& b) {
            return a.randomAddress < b.randomAddress;
        });
        for (int i = 0; i < 64; ++i) {
            if (i < n) {
                EXPECT_EQ(result.addresses[static_cast<std::size_t>(i)],
                          sorted[static_cast<std::size_t>(i)].randomAddress);
                EXPECT_EQ(result.types[static_cast<std::size_t>(i)],
                          sorted[static_cast<std::size_t>(i)].ReportedType());
                EXPECT_EQ(plugin.gateway->GearAt(i + 1)->randomAddress,
                          sorted[static_cast<std::size_t>(i)].randomAddress);
            } else {
                EXPECT_EQ(result.addresses[static_cast<std::size_t>(i)], 0u);
                EXPECT_EQ(result.types[static_cast<std::size_t>(i)], 0u);
            }
        }
    }
}

TEST(SimulatorSearch, InstantTimingTakesNoTimeAtAll)
{
    PluginSide plugin(LedLine(64), {}, SimulatorTiming::Instant());
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    std::uint64_t start = plugin.clock.NowMs();
    auto result = plugin.Search();
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(plugin.pauses, 0);
    EXPECT_EQ(result.counters.back(), (std::pair<int, int>{64, 64}));
    auto numbers = plugin.Download(4, {{64, result.addresses[0]}});
    EXPECT_EQ(numbers[64], protocol::GearDone);
    EXPECT_EQ(plugin.clock.NowMs(), start);
}

TEST(SimulatorSearch, KeepsNumbersAndResolvesAddressesThatCannotBeToldApart)
{
    auto gear = LedLine(4);
    gear[0].shortAddress = 9;                      // already addressed: keeps gear number 10
    gear[1].shortAddress = 9;                      // the same number twice: the second found gets a free one
    gear[2].randomAddress = gear[3].randomAddress; // one random address twice
    ControlGear fresh;                             // from the factory
    gear.push_back(fresh);
    PluginSide plugin(gear);
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    auto result = plugin.Search();
    ASSERT_TRUE(result.finished);

    auto line = plugin.gateway->GearSnapshot();
    EXPECT_EQ(line[0].shortAddress, 9);
    EXPECT_EQ(result.addresses[9], gear[0].randomAddress);
    std::set<std::uint8_t> numbers;
    for (const auto& g : line) {
        EXPECT_LT(g.shortAddress, 64);
        numbers.insert(g.shortAddress);
        EXPECT_EQ(result.addresses[g.shortAddress], g.randomAddress);
        EXPECT_NE(g.randomAddress, 0u);
        EXPECT_NE(g.randomAddress, kUnsetRandomAddress);
    }
    EXPECT_EQ(numbers.size(), 5u);
    EXPECT_EQ(AddressesOf(line).size(), 5u);
    EXPECT_EQ(result.counters.back(), (std::pair<int, int>{5, 4}));
}

TEST(SimulatorSearch, EndOfDownloadAbortsASearchWithWhatItFoundSoFar)
{
    PluginSide plugin(LedLine(20));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    plugin.WriteD1(1, 0);
    for (int i = 0; i < 10; ++i)
        plugin.Pause();
    auto r = plugin.ReadD1();
    ASSERT_EQ(r[0], 1);
    ASSERT_GT(r[1], 0);
    ASSERT_LT(r[1], 20);
    plugin.WriteD1(255);
    EXPECT_EQ(plugin.ReadD1()[0], 0);
    // What the tables list after the abort agrees with the line; a new search then finds everything.
    std::array<std::uint32_t, 64> addresses{};
    std::array<std::uint8_t, 64> types{};
    plugin.ReadTables(&addresses, &types);
    for (int n = 1; n <= 64; ++n) {
        if (addresses[static_cast<std::size_t>(n - 1)] != 0) {
            EXPECT_EQ(plugin.gateway->GearAt(n)->randomAddress, addresses[static_cast<std::size_t>(n - 1)]);
        }
    }
    auto found = plugin.Search();
    ASSERT_TRUE(found.finished);
    EXPECT_EQ(found.counters.back().first, 20);
}

TEST(SimulatorDownload, NumbersAndGroupMasksLeaveTheLineAsProjected)
{
    PluginSide plugin(DemoGear());
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    auto found = plugin.Search();
    ASSERT_TRUE(found.finished);

    // The project moves the gear found as 1..12 to the numbers 64, 63, ..., 53 and 1 is swapped with 2.
    std::map<int, std::uint32_t> numbers;
    std::map<int, std::uint8_t> types;
    for (int i = 0; i < 12; ++i) {
        numbers[64 - i] = found.addresses[static_cast<std::size_t>(i)];
        types[64 - i] = found.types[static_cast<std::size_t>(i)];
    }
    for (int i = 1; i <= 12; ++i)
        numbers.emplace(i, 0); // the old numbers are free now
    auto numberResults = plugin.Download(4, numbers, types);
    for (auto [gear, result] : numberResults)
        EXPECT_EQ(result, protocol::GearDone) << gear;
    ASSERT_EQ(numberResults.size(), numbers.size());

    std::map<int, std::uint32_t> masks{
        {64, 0x00000001}, {63, 0x00000003}, {62, 0x00008000}, {61, 0x00010000}, {60, 0x80010002}, {53, 0},
    };
    auto groupResults = plugin.Download(3, masks);
    for (auto [gear, result] : groupResults)
        EXPECT_EQ(result, protocol::GearDone) << gear;
    EXPECT_EQ(plugin.gateway->FunctionsWritten().back(), 255);
    EXPECT_EQ(plugin.ReadD1()[0], 0);

    for (int i = 0; i < 12; ++i) {
        auto g = plugin.gateway->GearAt(64 - i);
        ASSERT_TRUE(g) << 64 - i;
        EXPECT_EQ(g->randomAddress, found.addresses[static_cast<std::size_t>(i)]);
        auto mask = masks.count(64 - i) ? masks[64 - i] : 0u;
        EXPECT_EQ(g->groups, mask & 0xFFFF) << 64 - i;
        EXPECT_FALSE(plugin.gateway->GearAt(i + 1));
    }
    std::uint8_t back[4]{};
    ASSERT_EQ(plugin.Read(plugin.daliIndex, 0xD3, 60, 1, 4, back), S_OK);
    EXPECT_EQ(std::vector<std::uint8_t>(back, back + 4), (std::vector<std::uint8_t>{0x02, 0x00, 0x01, 0x80}));

    // A search afterwards reports every gear under its new number.
    auto again = plugin.Search();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(again.addresses[static_cast<std::size_t>(63 - i)],
                  found.addresses[static_cast<std::size_t>(i)]);
}

TEST(SimulatorDownload, GearThatCannotTakeTheirValuesReportErrorsAndTheRestGoesOn)
{
    PluginSide plugin(LedLine(4));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    auto found = plugin.Search();
    ASSERT_TRUE(found.finished);

    auto numberResults = plugin.Download(4, {{5, 0x777777}, {6, found.addresses[0]}});
    EXPECT_EQ(numberResults[5], protocol::GearNoAnswer);
    EXPECT_EQ(numberResults[6], protocol::GearDone);

    // Group 17 takes two gear; a third is refused, and a gear number nobody holds does not answer.
    auto groupResults = plugin.Download(3, {{2, 0x10000}, {3, 0x10000}, {4, 0x10001}, {1, 0x1}, {6, 0x2}});
    EXPECT_EQ(groupResults[2], protocol::GearDone);
    EXPECT_EQ(groupResults[3], protocol::GearDone);
    EXPECT_EQ(groupResults[4], protocol::GearGroupFull);
    EXPECT_EQ(groupResults[1], protocol::GearNoAnswer); // its gear moved to 6
    EXPECT_EQ(groupResults[6], protocol::GearDone);
    EXPECT_EQ(plugin.gateway->GearAt(4)->groups, 0);
    EXPECT_EQ(plugin.gateway->GearAt(6)->groups, 0x2);

    // Numbers outside 1..64 are refused at once.
    plugin.WriteD1(4, 0);
    EXPECT_EQ(plugin.ReadD1(), (PluginSide::Reply{4, 0, protocol::GearBadNumber}));
    plugin.WriteD1(255);
}

TEST(SimulatorDownload, PerGearReplyStaysUntilTheNextFunction)
{
    PluginSide plugin(LedLine(2));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    ASSERT_TRUE(plugin.Search().finished);
    plugin.Write(plugin.daliIndex, 0xD3, 1, 1, {0x05, 0, 0, 0});
    plugin.WriteD1(3, 1, 0);
    EXPECT_EQ(plugin.ReadD1(), (PluginSide::Reply{3, 1, protocol::GearWorking}));
    plugin.Pause();
    EXPECT_EQ(plugin.ReadD1(), (PluginSide::Reply{3, 1, protocol::GearDone}));
    plugin.Pause();
    EXPECT_EQ(plugin.ReadD1(), (PluginSide::Reply{3, 1, protocol::GearDone}));
    // A download that is not ended keeps the channel from looking idle.
    EXPECT_FALSE(plugin.WaitIdle());
    plugin.WriteD1(255);
    EXPECT_TRUE(plugin.WaitIdle(1));
}

TEST(SimulatorDownload, DeleteAndResetClearTheLine)
{
    PluginSide plugin(DemoGear());
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    ASSERT_TRUE(plugin.Search().finished);
    plugin.Download(3, {{1, 0x3}, {2, 0x10004}});
    plugin.Write(plugin.daliIndex, 0xD1, 1, 1, {31, 1, 1});
    plugin.WriteD1(32, 33, 100);
    ASSERT_TRUE(plugin.WaitIdle());
    plugin.WriteD1(31, 1, 0);

    plugin.WriteD1(2);
    EXPECT_EQ(plugin.ReadD1()[0], 2);
    ASSERT_TRUE(plugin.WaitIdle());
    for (const auto& g : plugin.gateway->GearSnapshot())
        EXPECT_EQ(g.groups, 0);
    std::uint8_t mask[4]{0xFF, 0xFF, 0xFF, 0xFF};
    plugin.Read(plugin.daliIndex, 0xD3, 2, 1, 4, mask);
    EXPECT_EQ(mask[2], 0);

    plugin.WriteD1(5);
    EXPECT_EQ(plugin.ReadD1()[0], 5);
    ASSERT_TRUE(plugin.WaitIdle());
    for (const auto& g : plugin.gateway->GearSnapshot()) {
        EXPECT_EQ(g.shortAddress, kNoShortAddress);
        EXPECT_EQ(g.randomAddress, kUnsetRandomAddress);
        EXPECT_EQ(g.level, 254);
        EXPECT_EQ(g.scenes[0], kDaliMask);
        EXPECT_TRUE(g.resetState);
    }
    // The next search gives every gear a new random address and a number again.
    auto found = plugin.Search();
    ASSERT_TRUE(found.finished);
    EXPECT_EQ(found.counters.back(), (std::pair<int, int>{12, 12}));
    EXPECT_EQ(AddressesOf(plugin.gateway->GearSnapshot()).size(), 12u);
    EXPECT_EQ(std::count(found.addresses.begin(), found.addresses.end(), 0u), 52);
}
