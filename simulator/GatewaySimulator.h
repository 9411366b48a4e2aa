// The simulated KNX-to-DALI gateway: its interface objects and properties, the function channel on
// 0xD1, direct gear commands on 0xD5 and the DALI line behind them, all in the time of a Clock.
#pragma once

#include "platform/Clock.h"
#include "platform/HResult.h"
#include "product/GatewayProtocol.h"
#include "simulator/ControlGear.h"
#include "simulator/DaliLine.h"
#include "simulator/GatewayIdentity.h"
#include "simulator/GatewayState.h"
#include "simulator/SimulatorFaults.h"
#include "simulator/SimulatorTiming.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

class GatewaySimulator
{
public:
    // Reply byte 0 while the gateway is busy with something other than a function written to 0xD1
    // (0xD5 work, or the busy faults).
    static constexpr std::uint8_t kReplyBusy = 0xFF;

    struct EffectDefinition
    {
        std::uint8_t steps = 4;
        std::uint16_t passes = 1; // 0 endless
        std::uint32_t stepMs = 1000;
    };

    struct Statistics
    {
        std::uint32_t reads = 0;
        std::uint32_t writes = 0;
        std::uint32_t failedAccesses = 0;
        std::uint64_t busTimeMs = 0;  // KNX time of all property accesses
        std::uint64_t daliTimeMs = 0; // DALI time of all functions and gear commands started
        std::uint32_t compareSteps = 0;
    };

    // A write to 0xD1 or 0xD5, as received (the latest few thousand).
    struct Command
    {
        std::uint64_t atMs = 0;
        std::uint8_t propertyId = 0;
        std::vector<std::uint8_t> data;
    };

    explicit GatewaySimulator(Clock& clock, GatewayIdentity identity = {}, SimulatorTiming timing = {});
    GatewaySimulator(const GatewaySimulator&) = delete;
    GatewaySimulator& operator=(const GatewaySimulator&) = delete;

    // The line. Gear are added before use; the snapshot shows them as they are now.
    bool AddGear(const ControlGear& gear);
    std::vector<ControlGear> GearSnapshot();
    void ModifyGear(std::size_t index, const std::function<void(ControlGear&)>& change);
    // The gear that holds gear number n (short address n - 1), as it is now.
    std::optional<ControlGear> GearAt(int gearNumber);

    void Inject(SimulatorFault fault, std::uint32_t value = 0);
    void Inject(const SimulatorFaultSetting& setting) { Inject(setting.fault, setting.value); }
    void ClearFault(SimulatorFault fault);
    void ClearFaults();
    SimulatorFaults Faults();

    GatewayIdentity Identity();
    void SetIdentity(const GatewayIdentity& identity);
    void SetProjectId(std::uint16_t id1, std::uint16_t id2, std::uint16_t id3);
    std::array<std::uint16_t, 3> ProjectId();
    void SetEffect(std::uint8_t effect, const EffectDefinition& definition);

    // The live connection's view: KNX interface objects (object index, property id, start index,
    // element count; start index 0 reads the number of elements). Every call costs its bus time on
    // the clock. ETS_E_DEVICE_NOT_FOUND when the gateway is off, the connection dropped or an answer
    // never came; ETS_E_DEVICE_DENIED, the device's negative answer, for an object, property, data
    // type, index range or length it does not have, and for a function written to 0xD1 while
    // another runs.
    HRESULT Connect();
    HRESULT ReadMaskVersion(std::uint16_t* maskVersion);
    // As the host asks: with the property data type it expects and a buffer of exactly the size of
    // the elements.
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                         std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                         std::uint8_t* buffer);
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                          std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                          const std::uint8_t* data, bool verify);
    // As a request arrives over the bus, which carries no data type: a read's size is the room for
    // the answer (at least the elements' size), a write's the length of its data.
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                         std::uint16_t count, std::uint32_t size, std::uint8_t* buffer);
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                          std::uint16_t count, std::uint32_t size, const std::uint8_t* data, bool verify);
    // The property as the gateway has it now (objects move down when one is missing).
    std::optional<protocol::PropertyShape> Shape(std::uint8_t objectIndex, std::uint8_t propertyId);

    Statistics Stats();
    void ResetStats();
    std::vector<Command> Commands();
    // The function codes written to 0xD1, in order.
    std::vector<std::uint8_t> FunctionsWritten();
    bool WatchdogArmed();
    // What the gateway does to its line now, read at this moment of the clock.
    GatewayState State();

private:
    struct Reply
    {
        std::uint8_t b0 = 0, b1 = 0, b2 = 0;
    };
    enum class After
    {
        Idle,    // byte 0 = 0, the data bytes stay
        Sticky,  // the reply stays until the next function
        HeldOnce // the reply is given once, then idle
    };
    struct Job
    {
        std::uint8_t function = 0; // 0: a 0xD5 command
        std::uint8_t data1 = 0, data2 = 0;
        std::array<std::uint8_t, 10> command{};
        bool started = false;
        bool stuck = false;
        std::uint64_t startMs = 0, endMs = 0;
        Reply busy, result;
        After after = After::Idle;
        std::optional<DaliSearchPlan> search;
    };
    struct Access
    {
        std::uint8_t objectIndex;
        std::uint8_t propertyId;
        bool typed; // the host gave the data type and expects exactly the elements' size
        std::int32_t type;
        std::uint16_t startIndex;
        std::uint16_t count;
        std::uint32_t size;
        bool write;
    };

    std::vector<std::uint16_t> ObjectTypes() const;
    ControlGear* GearByNumber(std::uint32_t gearNumber);
    HRESULT Reach();
    HRESULT NoAnswer();
    void ChargeAccess(std::uint32_t bytes, bool write);
    std::uint64_t TakeChargedMs();
    void PassTime(std::uint64_t ms);
    HRESULT Resolve(const Access& access, std::uint16_t* objectType, protocol::PropertyShape* shape);
    HRESULT Read(const Access& access, std::uint8_t* buffer);
    HRESULT Write(const Access& access, const std::uint8_t* data, bool verify);
    void ReadElements(std::uint16_t objectType, std::uint8_t propertyId, std::uint16_t startIndex,
                      std::uint16_t count, std::uint8_t* out, bool consume);
    HRESULT WriteElements(std::uint8_t propertyId, std::uint16_t startIndex, std::uint16_t count,
                          const std::uint8_t* data);

    void Record(Command command);
    void Settle(std::uint64_t nowMs);
    Reply FunctionReply(std::uint64_t nowMs, bool consume);
    Reply BusyReply(const Job& job, std::uint64_t nowMs) const;
    bool FunctionRunning() const;
    // False when the gateway refuses the function because another one runs.
    bool WriteFunction(std::uint8_t function, std::uint8_t data1, std::uint8_t data2);
    void Enqueue(Job job);
    void Start(Job& job, std::uint64_t atMs);
    void Complete(Job& job);
    void ApplySearch(const Job& job, std::uint64_t uptoMs);
    void ClearReplies();

    std::uint32_t ApplyGroupMask(int gearNumber, std::uint8_t* result);
    std::uint32_t ApplyRandomAddress(int gearNumber, std::uint8_t* result);
    std::uint32_t ResetAll();
    std::uint32_t RunGearCommand(const std::array<std::uint8_t, 10>& command, std::uint64_t atMs);
    std::vector<ControlGear*> GroupTargets(int group);
    std::vector<ControlGear*> ChannelTargets(int channel);
    std::uint32_t GroupFrames(int group, std::size_t targets) const;
    void ArmWatchdog(std::uint64_t atMs);
    void ExpireWatchdog(std::uint64_t nowMs);
    void EndFinishedBlinks(std::uint64_t nowMs);
    void EffectCommand(std::uint8_t function, std::uint8_t data1, std::uint8_t data2, std::uint64_t nowMs);
    std::pair<std::uint16_t, std::uint16_t> EffectPosition(std::uint64_t nowMs);

    std::mutex m_mutex;
    Clock& m_clock;
    GatewayIdentity m_identity;
    SimulatorTiming m_timing;
    SimulatorFaults m_faults;
    DaliLine m_line;

    std::array<std::uint32_t, 64> m_randomTable{};
    std::array<std::uint32_t, 64> m_groupTable{};
    std::array<std::uint8_t, 64> m_typeTable{};
    std::array<std::uint32_t, 64> m_appliedMasks{}; // what function 3 applied, per gear number
    std::array<std::uint16_t, 3> m_projectId{};
    std::array<std::uint8_t, 10> m_gearCommand{};

    std::deque<Job> m_jobs;
    Reply m_idle;
    std::optional<Reply> m_sticky;
    std::optional<Reply> m_held;
    std::uint8_t m_sceneWritten = 0; // scene open for writing, 0 none

    std::array<bool, 64> m_testGear{};
    std::optional<std::uint64_t> m_watchdogDeadline;

    std::map<std::uint8_t, EffectDefinition> m_effects;
    std::uint8_t m_effect = 0;
    bool m_effectRunning = false;
    bool m_effectStepMode = false;
    std::uint16_t m_effectStep = 0;
    std::uint64_t m_effectElapsed = 0; // scaled by the acceleration
    std::uint64_t m_effectSinceMs = 0;
    std::uint8_t m_effectSpeed = 1;

    Statistics m_stats;
    std::uint64_t m_pendingUs = 0;
    std::vector<Command> m_commands;
};
