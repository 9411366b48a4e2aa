#include "simulator/tests/PluginSide.h"

#include <gtest/gtest.h>

TEST(SimulatedConnection, ScanFindsTheObjectsAndEndsAtTheFirstIndexPastTheLast)
{
    PluginSide plugin;
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    EXPECT_EQ(plugin.applicationIndex, 1);
    EXPECT_EQ(plugin.daliIndex, 2);
    std::uint8_t type[2]{};
    EXPECT_EQ(plugin.Read(3, 1, 1, 1, 2, type), ETS_E_DEVICE_DENIED);
    EXPECT_EQ(plugin.Read(0, 1, 1, 1, 2, type), S_OK);
    EXPECT_EQ(type[0] << 8 | type[1], 0);
}

TEST(SimulatedConnection, ReportsTheConfiguredIdentityAndRunState)
{
    GatewayIdentity identity{0x0701, 0x1234, 0xABCD, 0x21};
    PluginSide plugin({}, identity);
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);

    ComPtr<IEtsDeviceInfo> info;
    ASSERT_EQ(plugin.connection->get_DeviceInfo(info.GetAddressOf()), S_OK);
    std::uint16_t mask = 0;
    ASSERT_EQ(info->get_MaskVersion(&mask), S_OK);
    EXPECT_EQ(mask, 0x0701);

    std::uint8_t run = 0xEE;
    ASSERT_EQ(plugin.Read(plugin.applicationIndex, 6, 1, 1, 1, &run), S_OK);
    EXPECT_EQ(run, 1);
    std::uint8_t app[5]{};
    ASSERT_EQ(plugin.Read(plugin.applicationIndex, 13, 1, 1, 5, app), S_OK);
    EXPECT_EQ(std::vector<std::uint8_t>(app, app + 5),
              (std::vector<std::uint8_t>{0x12, 0x34, 0xAB, 0xCD, 0x21}));
}

// Every access is checked against the gateway's table as a real device and the host's connection
// check it: a negative answer for what the gateway does not have, no answer for a write too long for
// one telegram.
TEST(SimulatedConnection, PropertyAccessFollowsTheGatewaysTable)
{
    PluginSide plugin;
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    const std::uint8_t app = plugin.applicationIndex, dali = plugin.daliIndex;
    constexpr HRESULT kDenied = ETS_E_DEVICE_DENIED;
    struct Case
    {
        const char* what;
        bool write;
        std::uint8_t object, pid;
        std::int32_t type;
        std::uint16_t start, count;
        std::uint32_t size;
        HRESULT expected;
    } cases[] = {
        {"gear 64 of 0xD2", false, dali, 0xD2, 19, 64, 1, 3, S_OK},
        {"three addresses", false, dali, 0xD2, 19, 1, 3, 9, S_OK},
        {"past gear 64", false, dali, 0xD2, 19, 63, 3, 9, kDenied},
        {"a property the object lacks", false, app, 0xD1, 19, 1, 1, 3, kDenied},
        {"an unknown property", false, dali, 0xD7, 17, 1, 1, 1, kDenied},
        {"a type the property does not have", false, dali, 0xD2, 99, 1, 1, 3, kDenied},
        {"the run state as a number", false, app, 6, 4, 1, 1, 1, kDenied},
        {"a buffer too small", false, dali, 0xD3, 20, 1, 2, 7, kDenied},
        {"a buffer too large", false, dali, 0xD6, 17, 1, 8, 9, kDenied},
        {"more than one telegram holds", false, dali, 0xD2, 19, 1, 21, 63, kDenied},
        {"no elements", false, dali, 0xD6, 17, 1, 0, 0, kDenied},
        {"writing the object type", true, dali, 1, 4, 1, 1, 2, kDenied},
        {"writing the run state", true, app, 6, 0, 1, 1, 1, kDenied},
        {"writing the element count", true, dali, 0xD2, 19, 0, 1, 2, kDenied},
        {"writing gear 64 of 0xD3", true, dali, 0xD3, 20, 64, 1, 4, S_OK},
        {"writing masks with type 0", true, dali, 0xD3, 0, 1, 10, 40, kDenied},
        {"writing a part of an element", true, dali, 0xD3, 20, 1, 1, 3, kDenied},
        {"writing more than a telegram holds", true, dali, 0xD3, 20, 1, 10, 40, ETS_E_DEVICE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> buffer(64, 0);
        HRESULT hr = c.write ? plugin.connection->WriteProperty(c.object, c.pid, c.type, c.start, c.count,
                                                                c.size, buffer.data(), 0)
                             : plugin.connection->ReadProperty(c.object, c.pid, c.type, c.start, c.count,
                                                               c.size, buffer.data());
        EXPECT_EQ(hr, c.expected) << c.what;
    }
    std::uint8_t elements[2]{};
    ASSERT_EQ(plugin.Read(dali, 0xD2, 0, 1, 2, elements), S_OK);
    EXPECT_EQ(elements[0] << 8 | elements[1], 64);

    // A request from the bus carries no data type; its answer may have room to spare.
    std::uint8_t answer[16]{};
    EXPECT_EQ(plugin.gateway->ReadProperty(dali, 0xD2, 1, 3, sizeof answer, answer), S_OK);
    EXPECT_EQ(plugin.gateway->ReadProperty(dali, 0xD2, 1, 3, 8, answer), E_INVALIDARG);
    EXPECT_EQ(plugin.gateway->ReadProperty(dali, 0xD2, 1, 4, sizeof answer, answer), kDenied);
    EXPECT_EQ(plugin.gateway->Shape(dali, 0xD2)->elementSize, 3);
}

TEST(SimulatedConnection, TablesKeepTheirByteOrder)
{
    PluginSide plugin;
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    const std::uint8_t dali = plugin.daliIndex;
    struct Case
    {
        std::uint8_t pid;
        std::uint16_t index;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {0xD2, 7, {0x12, 0x34, 0x56}},
        {0xD3, 1, {0x01, 0x00, 0x00, 0x00}},
        {0xD3, 64, {0x00, 0x00, 0x01, 0x80}},
        {0xD4, 1, {0x00, 0x01, 0xBE, 0xEF, 0x12, 0x34}},
        {0xD6, 9, {0x81}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(plugin.Write(dali, c.pid, c.index, 1, c.bytes, true), S_OK);
        std::vector<std::uint8_t> back(c.bytes.size());
        ASSERT_EQ(plugin.Read(dali, c.pid, c.index, 1, static_cast<std::uint32_t>(back.size()), back.data()),
                  S_OK);
        EXPECT_EQ(back, c.bytes) << int{c.pid};
    }
    // The values the bytes stand for: the project id big-endian, gear 64 in groups 17 and 32.
    EXPECT_EQ(plugin.gateway->ProjectId(), (std::array<std::uint16_t, 3>{0x0001, 0xBEEF, 0x1234}));
    plugin.gateway->SetProjectId(0xA1B2, 0, 7);
    std::uint8_t id[6]{};
    ASSERT_EQ(plugin.Read(dali, 0xD4, 1, 1, 6, id), S_OK);
    EXPECT_EQ(std::vector<std::uint8_t>(id, id + 6), (std::vector<std::uint8_t>{0xA1, 0xB2, 0, 0, 0, 7}));
}

TEST(SimulatedConnection, FailsWhileClosedAndHoldsTheGatewayAlive)
{
    TestClock clock;
    ComPtr<IEtsLifeDeviceConnection> connection;
    {
        auto gateway = std::make_shared<GatewaySimulator>(clock);
        connection = MakeComObject<SimulatedConnection>(gateway);
    }
    std::uint8_t type[2]{};
    ComPtr<IEtsDeviceInfo> info;
    EXPECT_EQ(connection->ReadProperty(0, 1, 4, 1, 1, 2, type), SimulatedConnection::kNotOpen);
    EXPECT_EQ(connection->WriteProperty(2, 0xD1, 19, 1, 1, 2, type, 0), SimulatedConnection::kNotOpen);
    EXPECT_EQ(connection->get_DeviceInfo(info.GetAddressOf()), SimulatedConnection::kNotOpen);
    EXPECT_EQ(connection->Close(), S_FALSE);

    ASSERT_EQ(connection->Open(), S_OK);
    EXPECT_EQ(connection->ReadProperty(0, 1, 4, 1, 1, 2, type), S_OK);
    EXPECT_EQ(connection->Close(), S_OK);
    EXPECT_EQ(connection->ReadProperty(0, 1, 4, 1, 1, 2, type), SimulatedConnection::kNotOpen);
}

TEST(SimulatedConnection, VerificationComparesWhatIsReadBack)
{
    PluginSide plugin;
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    // The function channel reads back its status, not the function: a verified write of it fails.
    EXPECT_EQ(plugin.Write(plugin.daliIndex, 0xD1, 1, 1, {10, 255, 1}, true), ETS_E_VERIFY_FAILED);
    EXPECT_EQ(plugin.gateway->FunctionsWritten(), std::vector<std::uint8_t>{10});
    EXPECT_EQ(plugin.TestSelected({1}, 1, 0), S_OK);
}

TEST(SimulatedConnection, AccessesCostBusTimeWithoutCountingAsPauses)
{
    PluginSide plugin;
    ASSERT_EQ(plugin.OpenAndScan(), S_OK);
    plugin.gateway->ResetStats();
    std::uint64_t before = plugin.clock.NowMs();
    plugin.ReadD1();
    plugin.WriteD1(10, 255, 0);
    auto stats = plugin.gateway->Stats();
    EXPECT_EQ(stats.reads, 1u);
    EXPECT_EQ(stats.writes, 1u);
    EXPECT_GT(stats.busTimeMs, 150u);
    EXPECT_EQ(plugin.clock.NowMs() - before, stats.busTimeMs);
    EXPECT_EQ(plugin.clock.SleptMs(), 0u);
}
