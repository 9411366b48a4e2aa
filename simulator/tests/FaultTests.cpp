#include "simulator/tests/PluginSide.h"

#include <gtest/gtest.h>

namespace {
// What the plug-in's verification reads: mask version, the objects, run state, application info,
// project identification.
struct Verification
{
    HRESULT open = S_OK;
    std::uint16_t mask = 0;
    std::uint8_t applicationIndex = 0xFF, daliIndex = 0xFF;
    std::uint8_t runState = 0xEE;
    std::array<std::uint8_t, 5> appInfo{};
    std::array<std::uint8_t, 6> projectId{};

    static Verification Of(PluginSide& plugin)
    {
        Verification v;
        v.open = plugin.OpenAndScan();
        if (FAILED(v.open))
            return v;
        ComPtr<IEtsDeviceInfo> info;
        if (SUCCEEDED(plugin.connection->get_DeviceInfo(info.GetAddressOf())))
            info->get_MaskVersion(&v.mask);
        v.applicationIndex = plugin.applicationIndex;
        v.daliIndex = plugin.daliIndex;
        plugin.Read(plugin.applicationIndex, 6, 1, 1, 1, &v.runState);
        plugin.Read(plugin.applicationIndex, 13, 1, 1, 5, v.appInfo.data());
        plugin.Read(plugin.daliIndex, 0xD4, 1, 1, 6, v.projectId.data());
        return v;
    }
};
} // namespace

TEST(SimulatorFaults, IdentityFaultsShowWhereTheVerificationLooks)
{
    const GatewayIdentity identity{0x0705, 0x00A7, 0x3A01, 0x12};
    PluginSide healthy({}, identity);
    healthy.gateway->SetProjectId(1, 2, 3);
    const Verification good = Verification::Of(healthy);
    ASSERT_EQ(good.open, S_OK);
    ASSERT_EQ(good.mask, 0x0705);
    ASSERT_EQ(good.runState, 1);
    ASSERT_EQ(good.appInfo, (std::array<std::uint8_t, 5>{0x00, 0xA7, 0x3A, 0x01, 0x12}));
    ASSERT_EQ(good.projectId, (std::array<std::uint8_t, 6>{0, 1, 0, 2, 0, 3}));

    struct Case
    {
        SimulatorFault fault;
        std::uint32_t value;
        std::function<void(Verification&)> expect; // turns the healthy reading into the faulty one
    } cases[] = {
        {SimulatorFault::NotPresent, 0,
         [](Verification& v) {
             v = {}, v.open = ETS_E_DEVICE_NOT_FOUND;
         }},
        {SimulatorFault::WrongMaskVersion, 0,
         [](Verification& v) {
             v.mask = 0x0706;
         }},
        {SimulatorFault::WrongMaskVersion, 0x07B0,
         [](Verification& v) {
             v.mask = 0x07B0;
         }},
        {SimulatorFault::WrongManufacturer, 0,
         [](Verification& v) {
             v.appInfo[1] = 0xA8;
         }},
        {SimulatorFault::WrongApplicationNumber, 0x3A02,
         [](Verification& v) {
             v.appInfo[3] = 0x02;
         }},
        {SimulatorFault::WrongApplicationVersion, 0x13,
         [](Verification& v) {
             v.appInfo[4] = 0x13;
         }},
        {SimulatorFault::NotRunning, 0,
         [](Verification& v) {
             v.runState = 0;
         }},
        {SimulatorFault::OtherProjectId, 0,
         [](Verification& v) {
             v.projectId = {0, 2, 0, 3, 0, 4};
         }},
        {SimulatorFault::NoApplicationObject, 0,
         [](Verification& v) {
             v.applicationIndex = 0xFF, v.daliIndex = 1, v.runState = 0xEE, v.appInfo = {};
         }},
        {SimulatorFault::NoDaliObject, 0,
         [](Verification& v) {
             v.daliIndex = 0xFF, v.projectId = {};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FindSimulatorFault(c.fault)->name);
        PluginSide plugin({}, identity);
        plugin.gateway->SetProjectId(1, 2, 3);
        plugin.gateway->Inject(c.fault, c.value);
        Verification expected = good;
        c.expect(expected);
        Verification seen = Verification::Of(plugin);
        EXPECT_EQ(seen.open, expected.open);
        EXPECT_EQ(seen.mask, expected.mask);
        EXPECT_EQ(seen.applicationIndex, expected.applicationIndex);
        EXPECT_EQ(seen.daliIndex, expected.daliIndex);
        EXPECT_EQ(seen.runState, expected.runState);
        EXPECT_EQ(seen.appInfo, expected.appInfo);
        EXPECT_EQ(seen.projectId, expected.projectId);

        plugin.gateway->ClearFault(c.fault);
        plugin.connection->Close();
        Verification healed = Verification::Of(plugin);
        EXPECT_EQ(healed.mask, good.mask);
        EXPECT_EQ(healed.appInfo, good.appInfo);
        EXPECT_EQ(healed.projectId, good.projectId);
    }
}

TEST(SimulatorFaults, ConnectionDropsAfterTheGivenNumberOfAccesses)
{
    PluginSide plugin(LedLine(3));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    plugin.gateway->Inject(SimulatorFault::ConnectionDrops, 3);
    EXPECT_EQ(plugin.WriteD1(10, 255, 1), S_OK);
    std::uint8_t reply[3]{};
    EXPECT_EQ(plugin.Read(plugin.daliIndex, 0xD1, 1, 1, 3, reply), S_OK);
    EXPECT_EQ(plugin.Write(plugin.daliIndex, 0xD2, 1, 1, {1, 2, 3}), S_OK);
    // From here every call fails, opening again too.
    EXPECT_EQ(plugin.Read(plugin.daliIndex, 0xD1, 1, 1, 3, reply), ETS_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(plugin.WriteD1(10, 255, 0), ETS_E_DEVICE_NOT_FOUND);
    ComPtr<IEtsDeviceInfo> info;
    EXPECT_EQ(plugin.connection->get_DeviceInfo(info.GetAddressOf()), ETS_E_DEVICE_NOT_FOUND);
    plugin.connection->Close();
    EXPECT_EQ(plugin.connection->Open(), ETS_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(plugin.gateway->FunctionsWritten(), std::vector<std::uint8_t>{10})
        << "the failed write did not arrive";
}

TEST(SimulatorFaults, VerificationFailureLeavesTheGearAsTheyWere)
{
    PluginSide plugin(LedLine(2));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    ASSERT_TRUE(plugin.Search().finished);
    plugin.gateway->Inject(SimulatorFault::VerifyFails);
    EXPECT_EQ(plugin.TestSelected({1, 2}, 1, 1), ETS_E_VERIFY_FAILED);
    plugin.clock.Advance(1000);
    EXPECT_EQ(plugin.gateway->GearAt(1)->level, 0);
    EXPECT_FALSE(plugin.gateway->WatchdogArmed());
    // Writes without verification still go through.
    EXPECT_EQ(plugin.WriteD1(10, 255, 1), S_OK);
    ASSERT_TRUE(plugin.WaitIdle());
    EXPECT_EQ(plugin.gateway->GearAt(2)->level, 254);
}

TEST(SimulatorFaults, ABusyGatewayNeverFinishesAndRecoversWhenCleared)
{
    PluginSide plugin(LedLine(2));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    ASSERT_TRUE(plugin.Search().finished);
    plugin.gateway->Inject(SimulatorFault::StaysBusy);

    // A request gives up after five busy answers, about five seconds.
    std::uint64_t start = plugin.clock.NowMs();
    plugin.pauses = 0;
    EXPECT_EQ(plugin.Call(13, 1).result, 1);
    EXPECT_EQ(plugin.pauses, 5);
    EXPECT_LT(plugin.clock.NowMs() - start, 6000u);

    // A function written meanwhile is refused; the end of a download is always taken.
    plugin.Write(plugin.daliIndex, 0xD2, 5, 1, {0x10, 0x00, 0x00});
    EXPECT_EQ(plugin.WriteD1(4, 5, 0), ETS_E_DEVICE_DENIED);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(plugin.ReadD1()[0], GatewaySimulator::kReplyBusy);
    EXPECT_EQ(plugin.WriteD1(255), S_OK);
    EXPECT_EQ(plugin.ReadD1()[0], GatewaySimulator::kReplyBusy);
    EXPECT_EQ(plugin.gateway->GearAt(1)->shortAddress, 0);

    plugin.gateway->ClearFault(SimulatorFault::StaysBusy);
    EXPECT_EQ(plugin.Call(13, 1).result, 0);
}

TEST(SimulatorFaults, ASilentGearIsReportedAsNotAnswering)
{
    PluginSide plugin(LedLine(3));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    auto found = plugin.Search();
    ASSERT_TRUE(found.finished);
    plugin.gateway->Inject(SimulatorFault::GearSilent, 2);

    EXPECT_EQ(plugin.Call(13, 2).result, 2);
    EXPECT_EQ(plugin.Call(13, 3).result, 0);
    auto results = plugin.Download(4, {{10, found.addresses[1]}, {11, found.addresses[2]}});
    EXPECT_EQ(results[10], protocol::GearNoAnswer);
    EXPECT_EQ(results[11], protocol::GearDone);
    auto again = plugin.Search();
    EXPECT_EQ(again.counters.back().first, 2);
    EXPECT_EQ(again.addresses[1], 0u) << "the silent gear is not reported";

    // Before any search the fault names the n-th gear of the line.
    PluginSide fresh(LedLine(3));
    fresh.gateway->Inject(SimulatorFault::GearSilent, 3);
    ASSERT_EQ(fresh.OpenAndScan(), S_OK);
    EXPECT_EQ(fresh.Search().counters.back().first, 2);
    EXPECT_FALSE(fresh.gateway->GearSnapshot()[2].answers);
}

TEST(SimulatorFaults, DemosSwitchFaultsByName)
{
    for (const auto& info : SimulatorFaultTable()) {
        auto parsed = ParseSimulatorFault(info.name);
        ASSERT_TRUE(parsed) << info.name;
        EXPECT_EQ(parsed->fault, info.fault);
        EXPECT_EQ(parsed->value, 0u);
    }
    auto silent = ParseSimulatorFault("gear-silent=5");
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->fault, SimulatorFault::GearSilent);
    EXPECT_EQ(silent->value, 5u);
    EXPECT_EQ(ParseSimulatorFault("wrong-mask-version=0x07B0")->value, 0x07B0u);
    for (const char* bad : {"", "gear-silent=", "gear-silent=x", "nonsense", "stays-busy=1=2"})
        EXPECT_FALSE(ParseSimulatorFault(bad)) << bad;

    TestClock clock;
    GatewaySimulator gateway(clock);
    std::string error;
    EXPECT_TRUE(InjectFaults(gateway, " not-running, wrong-mask-version=0x0701 ,,", &error));
    EXPECT_TRUE(gateway.Faults().notRunning);
    EXPECT_EQ(gateway.Faults().maskVersion, 0x0701u);
    EXPECT_FALSE(InjectFaults(gateway, "stays-busy,no-such-fault,verify-fails", &error));
    EXPECT_EQ(error, "unknown simulator fault: no-such-fault");
    EXPECT_TRUE(gateway.Faults().staysBusy);
    EXPECT_FALSE(gateway.Faults().verifyFails);
}

// One function at a time: a function written while another runs is refused, as a real gateway
// answers it; the end of a download and the watchdog are always taken.
TEST(SimulatorFunctionChannel, RefusesAFunctionWhileAnotherRuns)
{
    PluginSide plugin(LedLine(8));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    ASSERT_EQ(plugin.WriteD1(1, 0), S_OK);
    EXPECT_EQ(plugin.WriteD1(4, 1, 0), ETS_E_DEVICE_DENIED);
    EXPECT_EQ(plugin.WriteD1(60, 1), S_OK);
    EXPECT_EQ(plugin.ReadD1()[0], 1); // the search goes on
    EXPECT_EQ(plugin.WriteD1(255), S_OK);
    EXPECT_EQ(plugin.ReadD1()[0], 0);
    EXPECT_EQ(plugin.WriteD1(14, 1), S_OK);
    // A per-gear result that stays until the next function does not hold the channel.
    ASSERT_TRUE(plugin.WaitIdle());
    plugin.Write(plugin.daliIndex, 0xD3, 1, 1, {1, 0, 0, 0});
    ASSERT_EQ(plugin.WriteD1(3, 1), S_OK);
    plugin.Pause();
    ASSERT_EQ(plugin.ReadD1()[2], protocol::GearNoAnswer);
    EXPECT_EQ(plugin.WriteD1(3, 2), S_OK);
}

// The transient faults happen once (or for a while) and the gateway carries on afterwards.
TEST(SimulatorFaults, TransientFaultsPassAndTheGatewayCarriesOn)
{
    PluginSide plugin(LedLine(3));
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    ASSERT_TRUE(plugin.Search().finished);

    // One access goes unanswered after two more, at the cost of the host's wait.
    plugin.gateway->Inject(SimulatorFault::ConnectionBlips, 2);
    std::uint8_t reply[3]{};
    EXPECT_EQ(plugin.Read(plugin.daliIndex, 0xD1, 1, 1, 3, reply), S_OK);
    EXPECT_EQ(plugin.Read(plugin.daliIndex, 0xD1, 1, 1, 3, reply), S_OK);
    const std::uint64_t before = plugin.clock.NowMs();
    EXPECT_EQ(plugin.Read(plugin.daliIndex, 0xD1, 1, 1, 3, reply), ETS_E_DEVICE_NOT_FOUND);
    EXPECT_GE(plugin.clock.NowMs() - before, 3000u);
    EXPECT_EQ(plugin.Read(plugin.daliIndex, 0xD1, 1, 1, 3, reply), S_OK);

    // Busy for three polls, refusing functions meanwhile.
    plugin.gateway->Inject(SimulatorFault::BusyPolls, 3);
    EXPECT_EQ(plugin.WriteD1(10, 255, 1), ETS_E_DEVICE_DENIED);
    EXPECT_EQ(plugin.ReadD1()[0], GatewaySimulator::kReplyBusy);
    EXPECT_FALSE(plugin.WaitIdle(2));
    EXPECT_TRUE(plugin.WaitIdle(1));
    EXPECT_EQ(plugin.WriteD1(10, 255, 1), S_OK);

    // The confirmation of function 4 is lost once: the host hears nothing, the gateway works.
    plugin.gateway->Inject(SimulatorFault::LostConfirmation, 4);
    ASSERT_TRUE(plugin.WaitIdle());
    EXPECT_EQ(plugin.WriteD1(13, 1), S_OK); // another function is not concerned
    ASSERT_TRUE(plugin.WaitIdle());
    EXPECT_EQ(plugin.WriteD1(4, 2), ETS_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(plugin.ReadD1()[0], 4);
    plugin.WriteD1(255);
    EXPECT_EQ(plugin.WriteD1(4, 2), S_OK);
    plugin.WriteD1(255);

    // The confirmation of gear 2 names gear 3, once.
    plugin.gateway->Inject(SimulatorFault::WrongEcho, 2);
    auto echoOf = [&](std::uint8_t gear) {
        plugin.WriteD1(4, gear);
        for (int polls = 0; polls < 100; ++polls) {
            const auto r = plugin.ReadD1();
            if (r[2] != protocol::GearWorking)
                return r[1];
        }
        return std::uint8_t{0};
    };
    EXPECT_EQ(echoOf(1), 1);
    EXPECT_EQ(echoOf(2), 3);
    EXPECT_EQ(echoOf(2), 2);
    plugin.WriteD1(255);
}

// Gear that need the slower search are found by it only; a gear that falls silent mid-search
// answers its first COMPARE and nothing after.
TEST(SimulatorSearch, OldGearNeedTheCompatibilityModeAndSilentGearAreLost)
{
    PluginSide plugin(LedLine(4));
    plugin.gateway->Inject(SimulatorFault::NeedsCompatibilityMode, 0);
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    EXPECT_EQ(plugin.Search(false).counters.back().first, 0);
    EXPECT_EQ(plugin.Search(true).counters.back().first, 4);

    PluginSide silent(LedLine(4));
    silent.gateway->Inject(SimulatorFault::SilentMidSearch, 1);
    ASSERT_EQ(silent.OpenAndScan(), S_OK);
    EXPECT_EQ(silent.Search(false).counters.back().first, 3);
    EXPECT_FALSE(silent.gateway->GearSnapshot()[0].answers);

    // Alone on the line it leads the search nowhere, and the search still ends.
    PluginSide alone(LedLine(1));
    alone.gateway->Inject(SimulatorFault::SilentMidSearch, 1);
    ASSERT_EQ(alone.OpenAndScan(), S_OK);
    const auto result = alone.Search(false);
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.counters.back().first, 0);
}
