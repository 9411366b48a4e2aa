// Drives a simulated gateway through IEtsLifeDeviceConnection the way the plug-in does: object scan,
// the idle handshake with pauses of 1000 ms, per-gear confirmations without pauses, 0xD5 commands.
#pragma once

#include "platform/Clock.h"
#include "simulator/DemoLine.h"
#include "simulator/tests/HostLink.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <vector>

struct PluginSide
{
    using Reply = std::array<std::uint8_t, 3>;

    TestClock clock;
    std::shared_ptr<GatewaySimulator> gateway;
    ComPtr<IEtsLifeDeviceConnection> connection;
    std::uint8_t applicationIndex = 0xFF;
    std::uint8_t daliIndex = 0xFF;
    int pauses = 0;

    explicit PluginSide(const std::vector<ControlGear>& gear = {}, GatewayIdentity identity = {},
                        SimulatorTiming timing = {})
        : gateway(std::make_shared<GatewaySimulator>(clock, identity, timing))
    {
        for (const auto& g : gear)
            gateway->AddGear(g);
        connection = hostlink::Connect(gateway);
    }

    // The data type the plug-in names for a property, as the gateway's table has it.
    static std::int32_t TypeOf(std::uint8_t pid)
    {
        for (const auto& p : protocol::kProperties) {
            if (p.id == pid)
                return p.type;
        }
        return protocol::PDT_CONTROL;
    }
    HRESULT Read(std::uint8_t object, std::uint8_t pid, std::uint16_t start, std::uint16_t count,
                 std::uint32_t size, std::uint8_t* buffer)
    {
        return connection->ReadProperty(object, pid, TypeOf(pid), start, count, size, buffer);
    }
    HRESULT Write(std::uint8_t object, std::uint8_t pid, std::uint16_t start, std::uint16_t count,
                  std::vector<std::uint8_t> data, bool verify = false)
    {
        return connection->WriteProperty(object, pid, TypeOf(pid), start, count,
                                         static_cast<std::uint32_t>(data.size()), data.data(),
                                         verify ? 1 : 0);
    }

    // Opens and scans the objects; the scan ends at the first index that cannot be read.
    HRESULT OpenAndScan()
    {
        HRESULT hr = connection->Open();
        if (FAILED(hr))
            return hr;
        applicationIndex = daliIndex = 0xFF;
        for (int i = 0; i < 255; ++i) {
            std::uint8_t type[2]{};
            if (FAILED(Read(static_cast<std::uint8_t>(i), 1, 1, 1, 2, type)))
                break;
            int t = type[0] << 8 | type[1];
            if (t == 3 && applicationIndex == 0xFF)
                applicationIndex = static_cast<std::uint8_t>(i);
            if (t == 50001 && daliIndex == 0xFF)
                daliIndex = static_cast<std::uint8_t>(i);
        }
        return S_OK;
    }

    Reply ReadD1()
    {
        Reply r{};
        EXPECT_EQ(Read(daliIndex, 0xD1, 1, 1, 3, r.data()), S_OK);
        return r;
    }
    HRESULT WriteD1(std::uint8_t function, std::uint8_t data1 = 0, std::uint8_t data2 = 0)
    {
        return Write(daliIndex, 0xD1, 1, 1, {function, data1, data2});
    }
    void Pause()
    {
        clock.Sleep(1000);
        ++pauses;
    }
    // Polls until idle with pauses; false after maxPolls busy answers.
    bool WaitIdle(int maxPolls = 5)
    {
        for (int i = 0; i < maxPolls; ++i) {
            if (ReadD1()[0] == 0)
                return true;
            Pause();
        }
        return false;
    }

    // The request of the test pages: 0 done (data from the busy replies), 1 failed, 2 no answer.
    struct CallResult
    {
        int result = 1;
        std::uint8_t data1 = 0, data2 = 0;
    };
    CallResult Call(std::uint8_t function, std::uint8_t data1, std::uint8_t data2 = 0)
    {
        CallResult out{1, data1, data2};
        if (!WaitIdle())
            return out;
        if (FAILED(WriteD1(function, data1, data2)))
            return out;
        for (int polls = 0; polls < 40; ++polls) {
            Reply r = ReadD1();
            if (r[0] == 0) {
                out.result = 0;
                return out;
            }
            if (r[0] == protocol::kReplyNoAnswer) {
                out.result = 2;
                return out;
            }
            out.data1 = r[1];
            out.data2 = r[2];
            Pause();
        }
        return out;
    }

    // Search with the idle handshake; the counters seen on the way, then 0xD2 in threes and 0xD6 in eights.
    struct SearchResult
    {
        bool finished = false;
        std::vector<std::pair<int, int>> counters;
        std::array<std::uint32_t, 64> addresses{};
        std::array<std::uint8_t, 64> types{};
    };
    SearchResult Search(bool compatibilityMode = false, int maxPolls = 300)
    {
        SearchResult out;
        WriteD1(1, compatibilityMode ? 1 : 0);
        for (int polls = 0; polls < maxPolls; ++polls) {
            Reply r = ReadD1();
            if (out.counters.empty() || out.counters.back() != std::pair<int, int>{r[1], r[2]})
                out.counters.emplace_back(r[1], r[2]);
            if (r[0] == 0) {
                out.finished = true;
                break;
            }
            Pause();
        }
        ReadTables(&out.addresses, &out.types);
        return out;
    }
    void ReadTables(std::array<std::uint32_t, 64>* addresses, std::array<std::uint8_t, 64>* types)
    {
        for (int i = 0; i < 64;) {
            int n = i <= 61 ? 3 : 1;
            std::uint8_t b[9]{};
            EXPECT_EQ(Read(daliIndex, 0xD2, static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(n),
                           static_cast<std::uint32_t>(3 * n), b),
                      S_OK);
            for (int k = 0; k < n; ++k)
                (*addresses)[static_cast<std::size_t>(i + k)] =
                    std::uint32_t{b[3 * k]} << 16 | std::uint32_t{b[3 * k + 1]} << 8 | b[3 * k + 2];
            i += n;
        }
        for (int i = 0; i < 64; i += 8)
            EXPECT_EQ(Read(daliIndex, 0xD6, static_cast<std::uint16_t>(i + 1), 8, 8, types->data() + i),
                      S_OK);
    }

    // Fill the table, wait for idle, then function 3 or 4 gear by gear, confirm without pauses, end with 255.
    // Returns the per-gear result codes.
    std::map<int, int> Download(std::uint8_t function, const std::map<int, std::uint32_t>& values,
                                const std::map<int, std::uint8_t>& types = {})
    {
        std::map<int, int> results;
        for (auto [gear, value] : values) {
            auto n = static_cast<std::uint16_t>(gear);
            if (function == 4)
                EXPECT_EQ(Write(daliIndex, 0xD2, n, 1,
                                {static_cast<std::uint8_t>(value >> 16),
                                 static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)}),
                          S_OK);
            else
                EXPECT_EQ(
                    Write(daliIndex, 0xD3, n, 1,
                          {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                           static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}),
                    S_OK);
        }
        for (auto [gear, type] : types)
            EXPECT_EQ(Write(daliIndex, 0xD6, static_cast<std::uint16_t>(gear), 1, {type}), S_OK);
        if (!WaitIdle())
            return results;
        for (auto [gear, value] : values) {
            WriteD1(function, static_cast<std::uint8_t>(gear), 0);
            for (int polls = 0; polls < 10'000; ++polls) {
                Reply r = ReadD1();
                EXPECT_EQ(r[0], function);
                EXPECT_EQ(r[1], gear);
                if (r[2] != 0) {
                    results[gear] = r[2];
                    break;
                }
            }
        }
        WriteD1(255);
        return results;
    }

    // 0xD5 with the selection mask of the given gear numbers, verified.
    HRESULT TestSelected(const std::vector<int>& gear, std::uint8_t function, std::uint8_t data)
    {
        std::vector<std::uint8_t> command(10, 0);
        command[0] = function;
        for (int n : gear)
            command[1 + static_cast<std::size_t>((n - 1) / 8)] |=
                static_cast<std::uint8_t>(1u << ((n - 1) % 8));
        command[9] = data;
        return Write(daliIndex, 0xD5, 1, 1, command, true);
    }
};

// A line of n LED gear with distinct random addresses, not yet addressed.
inline std::vector<ControlGear> LedLine(int n, std::uint32_t firstAddress = 0x100000,
                                        std::uint32_t step = 0x3301)
{
    std::vector<ControlGear> gear;
    for (int i = 0; i < n; ++i) {
        ControlGear g;
        g.randomAddress = firstAddress + static_cast<std::uint32_t>(i) * step;
        g.deviceType = kDeviceTypeLed;
        gear.push_back(g);
    }
    return gear;
}
