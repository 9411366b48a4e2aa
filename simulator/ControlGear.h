// One DALI control gear on the simulated line, and the conversions between the configuration's
// lightness scale and DALI arc power levels.
#pragma once

#include "simulator/SimulatorTiming.h"

#include <algorithm>
#include <array>
#include <cstdint>

inline constexpr std::uint8_t kNoShortAddress = 0xFF;
inline constexpr std::uint8_t kDaliMask = 0xFF;                // "no value" of a scene level
inline constexpr std::uint32_t kUnsetRandomAddress = 0xFFFFFF; // a gear after reset or from the factory
inline constexpr std::uint8_t kDeviceTypeFluorescent = 0;
inline constexpr std::uint8_t kDeviceTypeEmergency = 1;
inline constexpr std::uint8_t kDeviceTypeLed = 6;

// Lightness 0..173 (0 off, 173 = 100 %) is arc power level lightness + 81.
constexpr std::uint8_t LightnessToArc(std::uint8_t lightness)
{
    return lightness == 0 ? 0 : static_cast<std::uint8_t>(std::min<int>(lightness, 173) + 81);
}
constexpr std::uint8_t ArcToLightness(std::uint8_t arc)
{
    if (arc == 0)
        return 0;
    return static_cast<std::uint8_t>(std::clamp<int>(arc - 81, 1, 173));
}

struct ControlGear
{
    enum class Motion
    {
        None,
        Blink,
        DimUp,
        DimDown,
    };

    std::uint32_t randomAddress = kUnsetRandomAddress;
    std::uint8_t deviceType = kDeviceTypeLed;
    bool multipleDeviceTypes = false;            // answers QUERY DEVICE TYPE with MASK, then lists them
    std::uint8_t shortAddress = kNoShortAddress; // 0..63 = gateway gear number - 1
    std::uint16_t groups = 0;                    // bit g = DALI group g (0..15)
    std::uint8_t level = 0;                      // actual arc power level
    std::uint8_t minLevel = 1;
    std::uint8_t maxLevel = 254;
    std::array<std::uint8_t, 16> scenes = [] {
        std::array<std::uint8_t, 16> s{};
        s.fill(kDaliMask);
        return s;
    }();
    bool emergencyLampOn = false; // function test of an emergency gear running
    bool lampFailure = false;
    bool resetState = false;
    bool powerFailure = false;
    bool answers = true; // false: dead or disconnected, takes no command and gives no answer
    // Old gear that miss a single COMPARE of the search and answer only when it is sent twice.
    bool needsCompatibilityMode = false;
    // COMPAREs it still answers before it falls silent for good; -1 never.
    int comparesBeforeSilence = -1;

    // What the gateway makes the level do over time.
    Motion motion = Motion::None;
    std::uint64_t motionStartMs = 0;
    std::uint8_t motionStartLevel = 0;
    std::uint16_t blinkCount = 0; // 0 endless

    // The byte the gateway reports in 0xD6: the device type, bit 7 for several types.
    std::uint8_t ReportedType() const
    {
        return static_cast<std::uint8_t>((deviceType & 0x7F) | (multipleDeviceTypes ? 0x80 : 0));
    }
    bool IsEmergency() const { return (deviceType & 0x7F) == kDeviceTypeEmergency; }

    // The level at a moment, following blinking and dimming.
    std::uint8_t LevelAt(std::uint64_t nowMs, const SimulatorTiming& timing) const
    {
        std::uint64_t elapsed = nowMs > motionStartMs ? nowMs - motionStartMs : 0;
        switch (motion) {
        case Motion::None:
            return level;
        case Motion::Blink: {
            std::uint64_t half = std::max<std::uint32_t>(timing.blinkPeriodMs / 2, 1);
            if (blinkCount != 0 && elapsed >= std::uint64_t{blinkCount} * 2 * half)
                return motionStartLevel;
            return (elapsed / half) % 2 == 0 ? maxLevel : 0;
        }
        case Motion::DimUp:
        case Motion::DimDown: {
            std::uint64_t sweep = std::max<std::uint32_t>(timing.fullDimSweepMs, 1);
            auto steps = static_cast<int>(std::min<std::uint64_t>(elapsed * 254 / sweep, 254));
            int start = motionStartLevel;
            if (motion == Motion::DimUp)
                return static_cast<std::uint8_t>(
                    std::min(std::max<int>(start, minLevel) + steps, int{maxLevel}));
            if (start == 0)
                return 0; // dimming down does not switch on
            return static_cast<std::uint8_t>(std::max(start - steps, int{minLevel}));
        }
        }
        return level;
    }

    // Freezes any motion at the level it has reached.
    void Settle(std::uint64_t nowMs, const SimulatorTiming& timing)
    {
        if (motion == Motion::None)
            return;
        level = LevelAt(nowMs, timing);
        motion = Motion::None;
    }

    // Direct arc power: 0 off, 255 no change, otherwise clamped to the gear's range.
    void SetArc(std::uint8_t arc)
    {
        if (arc == kDaliMask)
            return;
        motion = Motion::None;
        level = arc == 0 ? 0 : std::clamp(arc, minLevel, maxLevel);
        resetState = false;
        powerFailure = false;
    }

    // The DALI status byte.
    std::uint8_t Status(std::uint64_t nowMs, const SimulatorTiming& timing) const
    {
        std::uint8_t s = 0;
        if (lampFailure)
            s |= 0x02;
        if (LevelAt(nowMs, timing) != 0)
            s |= 0x04;
        if (motion == Motion::DimUp || motion == Motion::DimDown)
            s |= 0x10;
        if (resetState)
            s |= 0x20;
        if (shortAddress == kNoShortAddress)
            s |= 0x40;
        if (powerFailure)
            s |= 0x80;
        return s;
    }
};
