// How long the simulated gateway and its DALI line take; realistic by default.
#pragma once

#include <cstdint>

struct SimulatorTiming
{
    // DALI: a forward frame with its settling time, and one that waits for a backward frame.
    std::uint32_t frameMs = 31;
    std::uint32_t frameWithAnswerMs = 47;
    // Gear need this long after a reset before they take further commands.
    std::uint32_t resetSettleMs = 300;

    // KNX property access over twisted pair in a transport connection: request, response and
    // both acknowledgements; the data bytes travel once for a read and twice for a write.
    std::uint32_t accessBaseUs = 87'000;
    std::uint32_t accessPerByteUs = 1'354;
    std::uint32_t openMs = 100;
    // The host's wait for an answer that never comes, before it gives up on the access.
    std::uint32_t noAnswerMs = 3'000;

    // Test commands on 0xD5 end by themselves unless the watchdog is retriggered in time.
    std::uint32_t watchdogMs = 60'000;
    // One on/off cycle of blinking gear.
    std::uint32_t blinkPeriodMs = 1'000;
    // Dimming of a group runs from the minimum to the maximum level in this time.
    std::uint32_t fullDimSweepMs = 5'000;
    // Step time of an effect whose table the gateway was not given.
    std::uint32_t effectStepMs = 1'000;

    // No time at all: every function is done at once, property accesses cost nothing.
    static SimulatorTiming Instant()
    {
        SimulatorTiming t;
        t.frameMs = t.frameWithAnswerMs = t.resetSettleMs = 0;
        t.accessBaseUs = t.accessPerByteUs = t.openMs = t.noAnswerMs = 0;
        return t;
    }
};
