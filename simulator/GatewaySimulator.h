// The simulated KNX-to-DALI gateway: its interface objects and properties, the function channel on
// 0xD1, direct gear commands on 0xD5 and the DALI line behind them, all in the time of a Clock.
#pragma once

#include "platform/Clock.h"
#include "platform/HResult.h"
#include "simulator/ControlGear.h"
#include "simulator/DaliLine.h"
#include "simulator/GatewayIdentity.h"
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
    // Interface object types.
    static constexpr std::uint16_t kObjectTypeDevice = 0;
    static constexpr std::uint16_t kObjectTypeApplication = 3;
    static constexpr std::uint16_t kObjectTypeDali = 50001;

    enum PropertyId : std::uint8_t
    {
        PidObjectType = 1,
        PidRunState = 6,
        PidApplicationInfo = 13,
        PidFunction = 0xD1,
        PidRandomAddresses = 0xD2,
        PidGroupMasks = 0xD3,
        PidProjectId = 0xD4,
        PidGearCommand = 0xD5,
        PidDeviceTypes = 0xD6,
    };

    // Function codes written to 0xD1 (byte 0; bytes 1 and 2 are the data).
    enum Function : std::uint8_t
    {
        FnSearch = 1,
        FnDeleteGroups = 2,
        FnApplyGroupMask = 3,
        FnApplyRandomAddress = 4,
        FnResetAll = 5,
        FnSwitch = 10,
        FnSetLevel = 12,
        FnReadLevel = 13,
        FnReadStatus = 14,
        FnSwitchGroup = 20,
        FnSetGroupLevel = 22,
        FnReadChannelLevel = 23,
        FnDimGroup = 24,
        FnCallScene = 30,
        FnWriteScene = 31,
        FnWriteSceneValue = 32,
        FnEffect = 40,
        FnEffectStep = 41,
        FnEffectSpeed = 42,
        FnEffectQueryStep = 43,
        FnEffectQueryPass = 44,
        FnWatchdog = 60,
        FnEnd = 255,
    };

    // Reply byte 0: the addressed DALI gear did not answer.
    static constexpr std::uint8_t kReplyNoAnswer = 100;
    // Reply byte 0 while the gateway works on something that is not a function of its own (0xD5).
    static constexpr std::uint8_t kReplyBusy = 0xFF;

    // Reply byte 2 of functions 3 and 4.
    enum GearResult : std::uint8_t
    {
        GearWorking = 0,
        GearDone = 1,
        GearNoAnswer = 2,  // no gear answered at that random address or gear number
        GearCollision = 3, // several gear answered
        GearGroupFull = 4, // a group above 16 holds two gear already
        GearBadNumber = 5, // gear number outside 1..64
    };

    // Byte 0 of a 0xD5 command.
    enum TestFunction : std::uint8_t
    {
        TestSwitch = 1,
        TestBlink = 2,
        TestEmergencyLamps = 3,
    };

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
    // the clock. ETS_E_DEVICE_NOT_FOUND when the gateway is off or the connection dropped,
    // ETS_E_DEVICE_DENIED for an object, property or index it does not have.
    HRESULT Connect();
    HRESULT ReadMaskVersion(std::uint16_t* maskVersion);
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                         std::uint16_t count, std::uint32_t size, std::uint8_t* buffer);
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                          std::uint16_t count, std::uint32_t size, const std::uint8_t* data, bool verify);

    Statistics Stats();
    void ResetStats();
    std::vector<Command> Commands();
    // The function codes written to 0xD1, in order.
    std::vector<std::uint8_t> FunctionsWritten();
    bool WatchdogArmed();

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
    struct Shape
    {
        std::uint32_t elementSize;
        std::uint16_t elements;
        bool writable;
    };

    std::vector<std::uint16_t> ObjectTypes() const;
    static std::optional<Shape> ShapeOf(std::uint16_t objectType, std::uint8_t propertyId);
    HRESULT Reach();
    void ChargeAccess(std::uint32_t bytes, bool write);
    std::uint64_t TakeChargedMs();
    void PassTime(std::uint64_t ms);
    HRESULT Resolve(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                    std::uint16_t count, std::uint32_t size, bool write, std::uint16_t* objectType,
                    Shape* shape);
    void ReadElements(std::uint16_t objectType, std::uint8_t propertyId, std::uint16_t startIndex,
                      std::uint16_t count, std::uint8_t* out, bool consume);
    void WriteElements(std::uint8_t propertyId, std::uint16_t startIndex, std::uint16_t count,
                       const std::uint8_t* data);

    void Record(Command command);
    void Settle(std::uint64_t nowMs);
    Reply FunctionReply(std::uint64_t nowMs, bool consume);
    Reply BusyReply(const Job& job, std::uint64_t nowMs) const;
    void WriteFunction(std::uint8_t function, std::uint8_t data1, std::uint8_t data2);
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
