// Property reads and writes, the function channel request and the direct gear command.
#include "device/tests/DeviceFixture.h"
#include "trace/TraceCapture.h"

#include <gtest/gtest.h>

using namespace devicefixture;

namespace {

TEST(PropertyAccess, TracesRequestAndBytesAndReportsFailuresOnce)
{
    Rig rig;
    ASSERT_TRUE(rig.Connect());
    TraceCapture trace;
    const std::uint8_t dali = rig.connection->GetDaliObjectIndex();
    std::uint8_t type[2]{};
    EXPECT_TRUE(rig.connection->ReadProp(dali, 1, 4, 1, 1, 2, type));
    EXPECT_TRUE(trace.Contains("ReadProp ObjIdx=2 PropId=1 PropType=4 Index=1 Elements=1: $C351"));
    const std::uint8_t address[3]{0x12, 0x34, 0x56};
    EXPECT_TRUE(rig.connection->WriteProp(dali, 0xD2, 19, 5, 1, 3, address, false));
    EXPECT_TRUE(trace.Contains("WriteProp ObjIdx=2 PropId=210 PropType=19 Index=5 Elements=1 Data=$123456"));
    EXPECT_TRUE(rig.prompt.boxes.empty());

    // An index the gateway does not have: denied, one "No connection" box per failed call.
    EXPECT_FALSE(rig.connection->ReadProp(dali, 0xD2, 19, 65, 1, 3, type));
    EXPECT_FALSE(rig.connection->WriteProp(dali, 0xD2, 19, 65, 1, 3, address, false));
    EXPECT_TRUE(trace.Contains("Device denied reading"));
    EXPECT_EQ(rig.BoxTexts(), (std::vector<std::string>{"No connection", "No connection"}));
}

TEST(PropertyAccess, WithoutConnectionEveryAccessWaitsTenSecondsAndFails)
{
    Rig rig;
    std::uint8_t reply[3]{1, 2, 3};
    const std::uint64_t before = rig.clock.NowMs();
    EXPECT_FALSE(rig.connection->ReadPropertyD1(reply));
    EXPECT_FALSE(rig.connection->WritePropertyD1(10, 255, 1));
    EXPECT_EQ(rig.clock.NowMs() - before, 20'000u);
    EXPECT_EQ(reply[0] + reply[1] + reply[2], 0);
    EXPECT_EQ(rig.prompt.boxes.size(), 2u);
}

TEST(GearCommand, MaskLayoutAndVerifiedWrite)
{
    Rig rig(MakeLine(64));
    ASSERT_TRUE(rig.Connect());
    std::array<std::uint8_t, 8> mask{};
    mask[0] = 0x01; // gear 1
    mask[7] = 0x80; // gear 64
    EXPECT_TRUE(rig.connection->TestSelectedEvgs(mask, 2, 3));
    const auto commands = rig.gateway->Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back().propertyId, 0xD5);
    EXPECT_EQ(commands.back().data, (std::vector<std::uint8_t>{2, 0x01, 0, 0, 0, 0, 0, 0, 0x80, 3}));

    TraceCapture trace;
    rig.gateway->Inject(SimulatorFault::VerifyFails);
    EXPECT_FALSE(rig.connection->TestSelectedEvgs(mask, 1, 0));
    EXPECT_TRUE(trace.Contains("Verification failed"));
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"No connection"});
}

struct CallCase
{
    const char* name;
    std::uint8_t function;
    std::uint8_t data1, data2;
    std::optional<SimulatorFaultSetting> fault;
    int result;
    std::uint8_t data1After, data2After;
    std::uint64_t minSleptMs, maxSleptMs;
};

class CallRequest : public ::testing::TestWithParam<CallCase>
{};

TEST_P(CallRequest, ResultDataAndPauses)
{
    const CallCase& c = GetParam();
    std::vector<ControlGear> line = MakeLine(3);
    line[1].shortAddress = 1; // gear number 2
    line[1].level = LightnessToArc(100);
    Rig rig(line);
    ASSERT_TRUE(rig.Connect());
    if (c.fault)
        rig.gateway->Inject(*c.fault);
    std::uint8_t d1 = c.data1, d2 = c.data2;
    const std::uint64_t slept = rig.clock.SleptMs();
    EXPECT_EQ(rig.connection->CallPropertyD1(c.function, &d1, &d2, "Caption", "Info", "Info2"), c.result);
    EXPECT_EQ(d1, c.data1After);
    EXPECT_EQ(d2, c.data2After);
    EXPECT_GE(rig.clock.SleptMs() - slept, c.minSleptMs);
    EXPECT_LE(rig.clock.SleptMs() - slept, c.maxSleptMs);
    EXPECT_EQ(rig.boxes.log.events.front(), "Show 2 [Caption] [Info] [Info2] []");
    EXPECT_EQ(rig.boxes.log.events.back(), "Close");
    EXPECT_TRUE(rig.prompt.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Functions, CallRequest,
    ::testing::Values(
        // The level arrives in the reply and is handed back when the gateway is idle again.
        CallCase{"ReadLevel", 13, 2, 0, std::nullopt, 0, 2, 100, 0, 2000},
        // Reply 100: the gear did not answer; ends at once.
        CallCase{"NoGear", 13, 9, 0, std::nullopt, 2, 9, 0, 0, 0},
        // Idle at the first poll: the data passed in come back unchanged.
        CallCase{"IdleAtOnce", 60, 1, 7, std::nullopt, 0, 1, 7, 0, 0},
        // Busy before the start: five polls, four pauses between them.
        CallCase{"StaysBusy", 13, 2, 0, SimulatorFaultSetting{SimulatorFault::StaysBusy}, 1, 2, 0, 4000,
                 4000},
        // Busy for four polls: waited for, then the request runs as usual.
        CallCase{"BusyForFourPolls", 13, 2, 0, SimulatorFaultSetting{SimulatorFault::BusyPolls, 4}, 0, 2, 100,
                 4000, 6000}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CallRequest, FailedAccessEndsWithFailure)
{
    Rig rig(MakeLine(2));
    ASSERT_TRUE(rig.Connect());
    rig.gateway->Inject(SimulatorFault::ConnectionDrops, 1);
    std::uint8_t value = 0;
    EXPECT_EQ(rig.connection->CallPropertyD1(13, 1, value, "Caption", "", ""), 1);
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"No connection"});
}

} // namespace
