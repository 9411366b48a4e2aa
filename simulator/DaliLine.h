// The DALI line behind the simulated gateway: up to 64 control gear, how they are addressed,
// and the random address search as the gateway runs it on the line.
#pragma once

#include "platform/Clock.h"
#include "simulator/ControlGear.h"
#include "simulator/SimulatorTiming.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class DaliLine
{
public:
    static constexpr std::size_t kMaxGear = 64;

    // False when the line already holds 64 gear.
    bool Add(const ControlGear& gear);
    std::size_t Size() const { return m_gear.size(); }
    ControlGear& operator[](std::size_t i) { return m_gear[i]; }
    const ControlGear& operator[](std::size_t i) const { return m_gear[i]; }
    std::vector<ControlGear>& Gear() { return m_gear; }
    const std::vector<ControlGear>& Gear() const { return m_gear; }

    // Gear that take a command sent to a short address, a group or all (answering gear only);
    // a short address held twice (a line that was put together from two installations) reaches both.
    std::vector<ControlGear*> AtShortAddress(std::uint8_t shortAddress);
    std::vector<ControlGear*> InGroup(int daliGroup);
    std::vector<ControlGear*> Answering();
    // Index of the gear that holds a short address, answering or not.
    std::ptrdiff_t IndexOfShortAddress(std::uint8_t shortAddress) const;

private:
    std::vector<ControlGear> m_gear;
};

// A search worked out in advance: what it finds, when, and how long it takes on the bus.
struct DaliSearchPlan
{
    struct Event
    {
        std::uint32_t atMs = 0;
        std::size_t gear = 0;   // index in the line
        bool addressed = false; // false: found; true: given a new short address
        std::uint32_t randomAddress = 0;
        std::uint8_t shortAddress = kNoShortAddress;
    };
    std::vector<Event> events;             // in time order
    std::vector<std::size_t> fallenSilent; // gear that stopped answering during the search
    std::uint32_t durationMs = 0;
    std::uint32_t compareSteps = 0;
};

// The gateway's search: initialise, binary search for the lowest random address with COMPARE,
// query the gear's short address and device type, withdraw it, repeat until no gear answers; gear
// whose random address cannot tell them apart (duplicates, 0, FFFFFF) are given new random
// addresses; gear without a short address, or with one already taken, then get the lowest free one.
// The compatibility mode sends each COMPARE twice for gear that answer unreliably.
DaliSearchPlan PlanDaliSearch(const DaliLine& line, bool compatibilityMode, const SimulatorTiming& timing,
                              Clock& random);
