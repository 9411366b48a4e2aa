// The gateway's property and function protocol, declared once for the plug-in's procedures and the
// simulated gateway: interface objects, properties with their data types and sizes, function codes
// of the function channel, its replies, and the byte layouts of the tables.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace protocol {

// Interface object types.
enum ObjectType : std::uint16_t
{
    OT_DEVICE = 0,
    OT_APPLICATION_PROGRAM = 3,
    OT_DALI = 50001,
};

enum PropertyId : std::uint8_t
{
    PID_OBJECT_TYPE = 1,
    PID_RUN_STATE = 6,
    PID_APP_INFO = 13,
    PropD1 = 0xD1, // function channel: write function, data 1, data 2; read status, data, data
    PropD2 = 0xD2, // random address per gear number, 24 bit big-endian; 0 none
    PropD3 = 0xD3, // group mask per gear number, least significant byte first
    PropD4 = 0xD4, // project identification: three 16-bit numbers, big-endian
    PropD5 = 0xD5, // direct gear command: function, 8 selection bytes, data
    PropD6 = 0xD6, // device type found per gear number
};

// Property data types of the KNX interface-object model, as far as the gateway uses them.
enum PropertyType : std::int32_t
{
    PDT_CONTROL = 0,
    PDT_UNSIGNED_INT = 4,
    PDT_GENERIC_01 = 17,
    PDT_GENERIC_03 = 19,
    PDT_GENERIC_04 = 20,
    PDT_GENERIC_05 = 21,
    PDT_GENERIC_06 = 22,
    PDT_GENERIC_10 = 26,
};

// One property of the gateway's table.
struct PropertyShape
{
    ObjectType object;
    PropertyId id;
    PropertyType type;
    std::uint16_t elements;   // highest start index
    std::uint8_t elementSize; // bytes per element
    bool writable;
};

// The properties the gateway has; PID_OBJECT_TYPE is also found on the device object.
inline constexpr std::array<PropertyShape, 11> kProperties{{
    {OT_DEVICE, PID_OBJECT_TYPE, PDT_UNSIGNED_INT, 1, 2, false},
    {OT_APPLICATION_PROGRAM, PID_OBJECT_TYPE, PDT_UNSIGNED_INT, 1, 2, false},
    {OT_APPLICATION_PROGRAM, PID_RUN_STATE, PDT_CONTROL, 1, 1, false},
    {OT_APPLICATION_PROGRAM, PID_APP_INFO, PDT_GENERIC_05, 1, 5, false},
    {OT_DALI, PID_OBJECT_TYPE, PDT_UNSIGNED_INT, 1, 2, false},
    {OT_DALI, PropD1, PDT_GENERIC_03, 1, 3, true},
    {OT_DALI, PropD2, PDT_GENERIC_03, 64, 3, true},
    {OT_DALI, PropD3, PDT_GENERIC_04, 64, 4, true},
    {OT_DALI, PropD4, PDT_GENERIC_06, 1, 6, true},
    {OT_DALI, PropD5, PDT_GENERIC_10, 1, 10, true},
    {OT_DALI, PropD6, PDT_GENERIC_01, 64, 1, true},
}};

constexpr std::optional<PropertyShape> FindProperty(std::uint16_t object, std::uint8_t id)
{
    for (const PropertyShape& p : kProperties) {
        if (p.object == object && p.id == id)
            return p;
    }
    return std::nullopt;
}

// Property data one access carries at most: a standard frame's APDU holds 10 data bytes beside the
// object, property, count and start index. The search reads three addresses (9 bytes) at a time.
inline constexpr std::uint32_t kMaxAccessBytes = 10;

inline constexpr std::uint8_t kRunStateRunning = 1;
inline constexpr int kGearCount = 64;

// Function codes written to PropD1 (byte 0; bytes 1 and 2 are the data).
enum Function : std::uint8_t
{
    FnSearch = 1,             // data 1 = compatibility mode
    FnDeleteGroups = 2,       // delete the group assignments of all gear
    FnApplyGroupMask = 3,     // data 1 = gear number, data 2 = compatibility mode; per-gear reply
    FnApplyRandomAddress = 4, // data 1 = gear number, data 2 = compatibility mode; per-gear reply
    FnResetAll = 5,
    FnSwitch = 10,      // data 1 = gear number or kAllGear, data 2 = 1 on, 0 off
    FnSetLevel = 12,    // data 1 = gear number, data 2 = lightness
    FnReadLevel = 13,   // data 1 = gear number; value in byte 2
    FnReadStatus = 14,  // data 1 = gear number; DALI status in byte 2
    FnSwitchGroup = 20, // data 1 = group, data 2 = 1 on, 0 off
    FnSetGroupLevel = 22,
    FnReadChannelLevel = 23, // data 1 = channel (1..32 groups, 33..96 gear); value in byte 2
    FnDimGroup = 24,
    FnCallScene = 30,
    FnWriteScene = 31,      // data 1 = scene, data 2 = 1 begin, 0 end
    FnWriteSceneValue = 32, // data 1 = channel, data 2 = lightness
    FnEffect = 40,
    FnEffectStep = 41,
    FnEffectSpeed = 42,
    FnEffectQueryStep = 43,
    FnEffectQueryPass = 44,
    FnWatchdog = 60,
    FnEnd = 255, // end of a download, or abort of whatever runs
};

inline constexpr std::uint8_t kAllGear = 255;

// Reply byte 0 of PropD1.
inline constexpr std::uint8_t kReplyIdle = 0;
inline constexpr std::uint8_t kReplyNoAnswer = 100; // 'd': the addressed DALI gear did not answer

// Reply byte 2 of functions 3 and 4 (byte 0 echoes the function, byte 1 the gear number).
enum GearResult : std::uint8_t
{
    GearWorking = 0,
    GearDone = 1,
    GearNoAnswer = 2,  // no gear answered at that random address or gear number
    GearCollision = 3, // several gear answered
    GearGroupFull = 4, // a group above 16 holds two gear already
    GearBadNumber = 5, // gear number outside 1..64
};

// Byte 0 of a PropD5 command.
enum TestFunction : std::uint8_t
{
    TestSwitch = 1,         // data 1 on, 0 off; also ends blinking
    TestBlink = 2,          // data = count, 0 endless
    TestEmergencyLamps = 3, // data 1 on, 0 off
};

// ---- byte layouts ---------------------------------------------------------------------------------

constexpr std::uint16_t ReadBigEndian16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

constexpr std::array<std::uint8_t, 3> EncodeRandomAddress(std::uint32_t address)
{
    return {static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address)};
}

constexpr std::uint32_t DecodeRandomAddress(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} << 16 | std::uint32_t{bytes[1]} << 8 | bytes[2];
}

// The group mask goes least significant byte first, unlike everything else.
constexpr std::array<std::uint8_t, 4> EncodeGroupMask(std::uint32_t mask)
{
    return {static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
            static_cast<std::uint8_t>(mask >> 16), static_cast<std::uint8_t>(mask >> 24)};
}

constexpr std::uint32_t DecodeGroupMask(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// Gear n of a PropD5 selection: bit (n-1) mod 8 of selection byte (n-1) div 8.
constexpr bool IsGearSelected(const std::uint8_t* selection, int gearNr)
{
    return gearNr >= 1 && gearNr <= kGearCount &&
           ((selection[(gearNr - 1) / 8] >> ((gearNr - 1) % 8)) & 1) != 0;
}

} // namespace protocol
