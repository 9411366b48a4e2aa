// The buffered tables of the configuration model and their clipboards.
#pragma once

#include "platform/Variant.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct GroupRecord
{
    std::string name;
    bool exists = false;
};

// One DALI control gear (an Evg).
struct MemberRecord
{
    std::string name;
    std::int32_t randomNr = 0;   // random address found on the line, 0 = none
    std::uint32_t groupMask = 0; // bit g-1 = member of group g
    bool single = false;
    bool assigned = false;
    std::uint8_t type = 0;      // projected device type
    std::uint8_t foundType = 0; // type read from the gear; bit 7 = several types
};

// Values keyed by group base numbers, so that a group pastes into a single and back.
struct GroupClipboard
{
    std::string name;
    std::uint8_t type = 0;
    std::map<std::int32_t, Variant> values;
    bool valid = false;
};

struct MemberClipboard
{
    std::string name;
    std::uint8_t type = 0;
    bool valid = false;
};

struct SceneRecord
{
    std::string name;
    std::array<std::uint32_t, 3> masks{}; // GroupNr 1..32, 33..64, 65..96
    std::uint8_t knxScene = 0;            // 0 = the scene does not exist
};

struct SceneClipboard
{
    std::string name;
    std::array<std::uint32_t, 3> masks{};
    bool valid = false;
    std::map<std::int32_t, Variant> values;
};

// Member key -> lightness value; keys 1..96 are GroupNr, 97..112 scenes 1..16 (value unused).
using EffectStepMap = std::map<std::uint8_t, std::uint8_t>;

struct EffectRecord
{
    std::string name;
    std::uint8_t knxEffect = 0;
    std::vector<EffectStepMap> steps; // in sequence order; the last is the Stop step in slot 16
};

struct StepClipboard
{
    EffectStepMap map;
    std::array<std::uint8_t, 4> settings{}; // dimming mode, delay minutes, seconds, tenths
    bool valid = false;
};

struct EffectClipboard
{
    std::string name;
    std::vector<StepClipboard> steps;
    std::uint16_t passes = 0; // passes go up to 500
    std::uint8_t priority = 0;
    std::uint8_t knxEffect = 0;
    bool valid = false;
};

// A communication object's associations and flags as the exchange file carries them.
struct ObjectAssociationRecord
{
    std::string addresses;   // decimal 16-bit group addresses, "," separated, the sending one first
    std::int16_t flags = -1; // bits 0..1 priority, 2 communication, 3 read, 4 write, 6 transmit, 7 update
    std::int16_t mainType = -1;
    std::int16_t subType = -1;
};
using ObjectAssociationMap = std::map<std::uint16_t, ObjectAssociationRecord>;

// Scene entry of a group moved between scenes: low byte value, 0x100 value present, 0x200 save function.
inline constexpr std::uint16_t kEntryValuePresent = 0x100;
inline constexpr std::uint16_t kEntrySaveFunction = 0x200;
