// The faults the simulated gateway can play, switched from this one place by tests and demos.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Each fault takes one value; its meaning is given per fault (0 where none is needed).
enum class SimulatorFault : int
{
    GearSilent = 1,              // gear number n: that gear stops answering on the DALI line
    StaysBusy = 2,               // the function channel never reports idle again; functions do not run
    VerifyFails = 3,             // writes with verification are not taken and read back different
    ConnectionDrops = 4,         // n: after n more property accesses every call fails
    WrongMaskVersion = 5,        // value reported (0: the configured one + 1)
    WrongManufacturer = 6,       // value reported (0: the configured one + 1)
    WrongApplicationNumber = 7,  // value reported (0: the configured one + 1)
    WrongApplicationVersion = 8, // value reported (0: the configured one + 1)
    NotRunning = 9,              // run state 0
    NoApplicationObject = 10,    // the application program object is missing
    NoDaliObject = 11,           // the DALI object is missing
    OtherProjectId = 12,         // the project identification reads differently (0: each word + 1)
    NotPresent = 13,             // switched off: opening fails with "device not found"
    // Transient faults: each happens once, or for a while, and the gateway carries on.
    ConnectionBlips = 14,        // n: after n more property accesses one goes unanswered, then all is well
    BusyPolls = 15,              // n: the function channel is busy for the next n polls (refusing functions)
    SilentMidSearch = 16,        // gear n answers the first COMPARE of a search, then falls silent for good
    WrongEcho = 17,              // gear n: the next download confirmation for it names another gear
    LostConfirmation = 18,       // function n (0 any): taken, but its write confirmation is lost once
    NeedsCompatibilityMode = 19, // gear n (0 every gear) answers a COMPARE only when it is sent twice
};

// The switches as the gateway holds them. Set and cleared through GatewaySimulator::Inject and
// ClearFault so that a fault with a value (a gear, a count) is resolved at the moment it is set.
struct SimulatorFaults
{
    bool staysBusy = false;
    bool verifyFails = false;
    std::optional<std::uint32_t> accessesBeforeDrop; // 0: dropped
    std::optional<std::uint32_t> maskVersion;
    std::optional<std::uint32_t> manufacturer;
    std::optional<std::uint32_t> applicationNumber;
    std::optional<std::uint32_t> applicationVersion;
    bool notRunning = false;
    bool noApplicationObject = false;
    bool noDaliObject = false;
    std::optional<std::uint32_t> otherProjectId;
    bool notPresent = false;
    std::optional<std::uint32_t> accessesBeforeBlip;
    std::optional<std::uint32_t> busyPolls;
    std::optional<std::uint32_t> wrongEchoGear;
    std::optional<std::uint32_t> lostConfirmation;

    bool Dropped() const { return accessesBeforeDrop && *accessesBeforeDrop == 0; }
};

struct SimulatorFaultInfo
{
    SimulatorFault fault;
    const char* name; // as demos spell it: "gear-silent=5", "stays-busy"
    const char* description;
};

std::span<const SimulatorFaultInfo> SimulatorFaultTable();
const SimulatorFaultInfo* FindSimulatorFault(SimulatorFault fault);

struct SimulatorFaultSetting
{
    SimulatorFault fault;
    std::uint32_t value = 0;
};

// Parses "name" or "name=value" (decimal or 0x hexadecimal); nothing when the text is not a fault.
std::optional<SimulatorFaultSetting> ParseSimulatorFault(std::string_view text);
