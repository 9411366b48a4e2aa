// Names of the parameter numbers that code uses: device-wide parameters and the bases of the
// group, member, scene, effect and step blocks (mapped to a UniqueNr by the functions of Numbering.h).
#pragma once

#include "product/Numbering.h"

namespace param {

// Device-wide parameters.
inline constexpr UniqueNr kEffectObjectDisabled = 716; // 1 while no effect exists
inline constexpr UniqueNr kProjectIdRandom = 721;      // project identity: random number,
inline constexpr UniqueNr kProjectIdDayMonth = 722;    // day * 256 + month,
inline constexpr UniqueNr kProjectIdYear = 723;        // and year of the last change
inline constexpr UniqueNr kAckDeviceState = 724;
inline constexpr UniqueNr kSceneSettings = 735; // the gateway's; reset with the scenes
inline constexpr UniqueNr kUseCentralObject = 738;
inline constexpr UniqueNr kSceneObjectDisabled = 741;       // 1 while no scene exists
inline constexpr UniqueNr kGatewayAssignmentsCurrent = 742; // the gateway holds every group assignment
inline constexpr UniqueNr kCompatibilityMode = 747;         // sent with gear numbers and assignments
inline constexpr UniqueNr kReconstruction = 799;            // step times to recalculate at load
inline constexpr UniqueNr kAddressingMode = 65014;
inline constexpr UniqueNr kLoadCounter = 65015;
inline constexpr UniqueNr kEmergencyLamps = 65024;
inline constexpr UniqueNr kEmergencyLampSystem = 65026; // 0 central, 1 individual, 2 both
inline constexpr UniqueNr kEmergencyFeedback = 65027;   // central operation extent 0..2
inline constexpr UniqueNr kAckDeviceStateDataWidth = 65043;
inline constexpr UniqueNr kDaliDeviceTypeSetting = 65047;
inline constexpr UniqueNr kDaliEmergencyDeviceType = 65048;
inline constexpr UniqueNr kAckDeviceStateObjectValue = 65049;
inline constexpr UniqueNr kEmergencyInScenesAllowed = 65057; // non-zero lets emergency lamps join scenes

// Bases of a group or single (GetGroupUniqueNr).
inline constexpr UniqueNr kGroupName = 101;
inline constexpr UniqueNr kGroupMinLightness = 102;
inline constexpr UniqueNr kGroupMaxLightness = 103;
inline constexpr UniqueNr kGroupAdditionalFunction = 118; // 2 = staircase
inline constexpr UniqueNr kGroupExists = 123;
inline constexpr UniqueNr kGroupSoftOn = 332;
inline constexpr UniqueNr kGroupSoftOff = 333;
inline constexpr UniqueNr kGroupLightnessReaction = 334; // 1 = absolute dimming

// Bases of a member, the DALI gear m (GetMemberUniqueNr, GetMemberBlockUniqueNr).
inline constexpr UniqueNr kMemberName = 400;
inline constexpr UniqueNr kMemberRandomAddress = 500;
inline constexpr UniqueNr kMemberGroupMask = 600; // byte-swapped
inline constexpr UniqueNr kMemberFoundType = 26700;
inline constexpr UniqueNr kMemberAssigned = 27700;
inline constexpr UniqueNr kMemberEmergencyLamp = 274; // block base; the single's flag as well
inline constexpr UniqueNr kMemberType = 597;          // block base
inline constexpr UniqueNr kMemberNumberCaption = 598; // block base

// Bases of a scene (GetSceneUniqueNr).
inline constexpr UniqueNr kSceneName = 601;
inline constexpr UniqueNr kSceneExists = 602;
inline constexpr UniqueNr kSceneGroupMask = 609; // groups 1..32, byte-swapped
inline constexpr UniqueNr kSceneKnxNumber = 20600;
inline constexpr UniqueNr kSceneSingleMaskLow = 20601;  // GroupNr 33..64, byte-swapped
inline constexpr UniqueNr kSceneSingleMaskHigh = 20602; // GroupNr 65..96, byte-swapped
inline constexpr UniqueNr kSceneTimeDelayAtCall = 603;
inline constexpr UniqueNr kSceneOverwriteAtDownload = 604;
inline constexpr UniqueNr kSceneBehaviourAtCall = 605;
inline constexpr UniqueNr kSceneDelayHours = 606;
inline constexpr UniqueNr kSceneDelayMinutes = 607;
inline constexpr UniqueNr kSceneDelaySeconds = 608;
inline constexpr UniqueNr kSceneSaveMask = 642; // groups 1..32, byte-swapped; captions the save boxes
inline constexpr UniqueNr kScenePriority = 643;

// Bases of an effect (GetEffectUniqueNr) and of its steps (GetEffectStepUniqueNr).
inline constexpr UniqueNr kEffectKnxNumber = 10700;
inline constexpr UniqueNr kEffectPriority = 11700;
inline constexpr UniqueNr kEffectStepCount = 12700;
inline constexpr UniqueNr kEffectPasses = 13700;
inline constexpr UniqueNr kEffectExists = 14700;
inline constexpr UniqueNr kEffectName = 15700;
inline constexpr UniqueNr kEffectTable = 25700;       // value i lives in 25700 + i / 4
inline constexpr UniqueNr kStepMaskKeys1 = 16700;     // keys 1..32, then 17700, 18700 for 33..96
inline constexpr UniqueNr kStepMaskScenes = 19700;    // keys 97..112, 16-bit
inline constexpr UniqueNr kStepTablePosition = 20700; // from 1; 0 = none
inline constexpr UniqueNr kStepSettings = 21700;      // then 22700, 23700, 24700
inline constexpr UniqueNr kStepDimming = 21700;
inline constexpr UniqueNr kStepDelayMinutes = 22700;
inline constexpr UniqueNr kStepDelaySeconds = 23700;
inline constexpr UniqueNr kStepDelayTenths = 24700;

} // namespace param
