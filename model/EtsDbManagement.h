// The configuration model of the gateway: groups, singles, members, scenes and effects as buffered
// tables over the device's host parameters, every change written through at once.
#pragma once

#include "access/EtsAccess.h"
#include "model/ModelRecords.h"
#include "model/Progress.h"
#include "model/UserPrompt.h"
#include "product/Numbering.h"

#include <array>
#include <bitset>
#include <functional>
#include <string>
#include <vector>

class IProgressBox;

// Indices of the label texts.
enum ELabel : int
{
    LabelOk,
    LabelCancel,
    LabelHelp,
    LabelGeneral,
    LabelManualControl,
    LabelAddressing,
    LabelScenes,
    LabelExportImport,
    LabelCommissioning,
    LabelTest,
    LabelGroup,
    LabelMember,
    LabelScene,
    LabelGroups,
    LabelDevices,
    LabelCentral,
    LabelSwitching,
    LabelDimming,
    LabelSwitchStyle,
    LabelStaircaseFunction,
    LabelHourmeter,
    LabelEmergencyLamps,
    LabelCentrallySupplied,
    LabelIndividuallySupplied,
    LabelEL,
    LabelELKnx,
    LabelELKnxDali,
    LabelEmergencyFeedback,
    LabelEffects,
    LabelEffect,
    LabelStep,
    LabelStop,
    LabelObjects,
    LabelType,
    LabelMultitype,
    LabelMultitypeEL,
    LabelNoConnection,
    LabelNoDaliConnection,
    LabelCount
};

class CEtsDbManagement : public CEtsAccess
{
public:
    // The prompt shows the model's message boxes and questions (owned by the caller; null: every
    // question is answered with the answer that changes nothing).
    explicit CEtsDbManagement(IEtsDevice* device, IUserPrompt* prompt = nullptr);
    ~CEtsDbManagement() override;

    // Loading and device context.
    void LoadEtsProjectAndDeviceInfos();
    void LoadBufferedParameters();
    bool GetDeviceInfosFromEtsDb(std::int32_t& manufacturer, std::int32_t& application,
                                 std::int32_t& version);
    // Opens the manual at the section of the help topic (the node type of the page shown).
    void LoadHelpFile();
    void SetHelpTopic(int nodeType) { m_nHelpTopic = nodeType; }
    // The manual's anchor of a tree node type 1..34; empty for any other.
    static std::string GetHelpAnchor(int nodeType);
    // Opens a help file at an anchor (may be empty) with the desktop's viewer; false when the file is
    // missing. Replaceable for tests.
    using HelpViewer = std::function<bool(const std::string& path, const std::string& anchor)>;
    void SetHelpViewer(HelpViewer viewer) { m_helpViewer = std::move(viewer); }

    int GetGroupCount() const;
    int GetSingleCount() const;
    const std::string& GetLabel(ELabel label) const { return m_strLabels[label]; }
    const std::string& GetProjectName() const { return m_strProjectName; }
    const std::string& GetDeviceName() const { return m_strDeviceName; }
    const std::string& GetDeviceDescription() const { return m_strDeviceDescription; }
    const std::string& GetDeviceAddress() const { return m_strDeviceAddress; }
    bool IsConfigChanged() const { return m_bConfigChanged; }
    // A page's change that the gateway needs downloaded, where no model operation marks it.
    void SetConfigChanged() { m_bConfigChanged = true; }
    std::int32_t GetAddressingMode() const { return m_nAddressingMode; }
    void SetAddressingMode(std::int32_t mode) { m_nAddressingMode = mode; }
    std::int32_t GetUseCentralObject() const { return m_nUseCentralObject; }
    std::int32_t GetEmergencyLamps() const { return m_nEmergencyLamps; }
    std::int32_t GetEmergencyLampSystem() const { return m_nEmergencyLampSystem; }
    std::int32_t GetEmergencyFeedback() const { return m_nEmergencyFeedback; }
    std::int32_t GetDaliDeviceTypeSetting() const { return m_nDaliDeviceTypeSetting; }
    std::int32_t GetDaliEmergencyDeviceType() const { return m_nDaliEmergencyDeviceType; }
    // The pages keep the cached context current through their bindings.
    void SetDeviceContext(UniqueNr uniqueNr, std::int32_t value);
    const EnumMap& GetMemberTypes() const { return m_listMemberTypes; }
    IUserPrompt* GetPrompt() const { return m_pPrompt; }

    // Groups and singles (GroupNr 1..32 groups, 33..96 singles).
    bool GroupExists(int groupNr) const;
    bool SingleExists(int singleNr) const;
    int GetNextFreeGroupNr() const;
    int GetNextFreeSingleNr() const;
    int GetNextFreeMemberNr() const;
    std::string GetGroupName(int groupNr) const;
    std::string GetGroupDisplayName(int groupNr) const;
    void GetGroupMinMaxLightnessValues(int groupNr, std::uint8_t* minimum, std::uint8_t* maximum) const;
    void CreateGroup(int groupNr);
    void CreateSingle(int singleNr);
    void DeleteGroup(int groupNr);
    void ResetGroupParameters(int groupNr);
    void SetGroupName(int groupNr, const std::string& name);
    void RefreshGroupObjectNames(int groupNr);
    void CopyGroup(int groupNr, GroupClipboard* clipboard = nullptr);
    bool PasteGroup(int groupNr, GroupClipboard* clipboard = nullptr);
    bool IsGroupClipboardValid() const { return m_GroupClipboard.valid; }

    // Members (DALI control gear 1..64).
    std::string GetMemberName(int memberNr) const;
    std::string GetMemberDisplayName(int memberNr) const;
    int GetGroupMemberCount(int groupNr) const;
    bool CanAddGroupMember(int groupNr) const;
    bool IsGroupMember(int groupNr, int memberNr) const;
    bool MemberHasGroups(int memberNr) const;
    bool IsMemberUsed(int memberNr) const;
    bool IsMemberAssigned(int memberNr) const;
    std::uint8_t GetMemberType(int memberNr) const;
    std::uint8_t GetMemberFoundType(int memberNr) const;
    std::int32_t GetMemberRandomNr(int memberNr) const;
    std::uint32_t GetMemberGroupAssignment(int memberNr) const;
    std::string GetMemberTypeText(int type, bool withMultitype) const;
    bool IsMemberTypeCompatible(int projected, int found) const;
    bool CheckAssignedMemberType(int memberNr, int projected) const;
    bool IsMemberClipboardValid() const { return m_MemberClipboard.valid; }
    void SetMemberName(int memberNr, const std::string& name);
    void SetMemberAssigned(int memberNr, bool assigned);
    void SetMemberType(int memberNr, int type);
    void SetMemberFoundType(int memberNr, int type);
    void SetMemberRandomNr(int memberNr, std::int32_t randomNr);
    void SetMemberGroupAssignment(int memberNr, std::uint32_t mask);
    bool AddGroupMember(int groupNr, int memberNr);
    void RemoveGroupMember(int groupNr, int memberNr);
    void CopyMember(int memberNr, MemberClipboard* clipboard = nullptr);
    bool PasteMember(int memberNr, MemberClipboard* clipboard = nullptr);
    void ChangeMemberNr(int memberNr, int newMemberNr);
    void ResetMemberParameters(int memberNr, bool all);
    bool ConfirmMemberTypeChange(int memberNr, int projected);
    bool UpdateEmergencyLampFlag(int singleNr, bool write);

    // Scenes 1..16.
    bool SceneExists(int sceneNr) const;
    int GetNextFreeSceneNr() const;
    bool IsKnxSceneUsed(int knxScene) const;
    int GetNextFreeKnxScene(int start) const;
    int GetKnxScene(int sceneNr) const;
    std::string GetSceneName(int sceneNr) const;
    std::string GetSceneDisplayName(int sceneNr) const;
    void SetKnxScene(int sceneNr, int knxScene);
    void SetSceneName(int sceneNr, const std::string& name);
    void EnableDisableSceneObject();
    void CreateScene(int sceneNr);
    void DeleteScene(int sceneNr);
    void ResetSceneParameters(int sceneNr);
    bool IsGroupInScene(int sceneNr, int groupNr) const;
    void AddGroupToScene(int sceneNr, int groupNr, std::uint16_t entry);
    std::uint16_t RemoveGroupFromScene(int sceneNr, int groupNr, bool all);
    bool IsSaveFunction(int sceneNr, int groupNr) const;
    void SetSaveFunction(int sceneNr, int groupNr, bool on);
    void CopyScene(int sceneNr, SceneClipboard* clipboard = nullptr);
    bool PasteScene(int sceneNr, SceneClipboard* clipboard = nullptr);
    bool IsSceneClipboardValid() const { return m_SceneClipboard.valid; }

    // Effects 1..16 and the effect value table.
    bool EffectExists(int effectNr) const;
    int GetNextFreeEffectNr() const;
    bool IsKnxEffectUsed(int knxEffect) const;
    int GetNextFreeKnxEffect(int start) const;
    std::string GetStepDisplayName(int slot) const;
    void SetKnxEffect(int effectNr, int knxEffect);
    void SetEffectName(int effectNr, const std::string& name);
    void CreateEffect(int effectNr);
    void DeleteEffect(int effectNr, bool save);
    int CreateEffectStep(int effectNr, int after);
    void DeleteEffectStep(int effectNr, int stepNr);
    void CopyEffect(int effectNr, EffectClipboard* clipboard = nullptr);
    bool PasteEffect(int effectNr, EffectClipboard* clipboard = nullptr);
    void CopyEffectStep(int effectNr, int stepNr, StepClipboard* clipboard = nullptr);
    bool PasteEffectStep(int effectNr, int stepNr, StepClipboard* clipboard = nullptr);
    bool IsEffectClipboardValid() const { return m_EffectClipboard.valid; }
    bool IsStepClipboardValid() const { return m_StepClipboard.valid; }
    void ReportEffectTableOverflow();
    void InitEffectStep(int effectNr, int slot);
    void ClearEffectStep(int effectNr, int slot);
    int GetEffectStepCount(int effectNr) const;
    int GetKnxEffect(int effectNr) const;
    std::string GetEffectName(int effectNr) const;
    std::string GetEffectDisplayName(int effectNr) const;
    bool IsGroupInEffectStep(int effectNr, int stepNr, int key) const;
    bool AddGroupToEffectStep(int effectNr, int stepNr, int key, std::uint16_t entry);
    std::uint16_t RemoveGroupFromEffectStep(int effectNr, int stepNr, int key);
    void RemoveGroupFromScenesAndEffects(int groupNr);
    bool IsGroupUsedInScenesOrEffects(int groupNr) const;
    std::uint8_t GetEffectValue(int effectNr, int stepNr, int key) const;
    void SetEffectValue(int effectNr, int stepNr, int key, std::uint8_t value);
    int CountEffectValues(int effectNr, int stepNr, int key) const;
    void SaveEffectValues();
    void SaveEffectStepFlags(int effectNr, int stepNr);
    void SetStepTablePosition(int effectNr, int slot, int position);
    int GetEffectValueCount() const { return m_nEffectValues; }
    const EffectRecord& GetEffect(int effectNr) const
    {
        return m_Effects[static_cast<std::size_t>(effectNr - 1)];
    }

    // Lightness scale and consistency.
    void InitLightnessValueLists();
    std::string GetLightnessValueText(std::uint32_t value) const;
    const std::map<std::uint8_t, std::string>& GetLightnessTexts() const { return m_mapLightnessTexts; }
    const std::multimap<std::uint8_t, std::string>& GetLightnessChoices() const
    {
        return m_mapLightnessChoices;
    }
    // keysInEffects (may be null): the keys any effect step holds, known beforehand, so that a group in
    // no step skips the walk over the effects.
    void AdjustGroupValuesInScenes(int groupNr, const std::bitset<256>* keysInEffects = nullptr);
    void CalculateHourMinSecRelativeDimStepTime(int groupNr);
    void CalculateHourMinSecAbsoluteDimStepTime(int groupNr);
    void CalculateHourMinSecSoftOnStepTime(int groupNr);
    void CalculateHourMinSecSoftOffStepTime(int groupNr);

    // Communication objects and group address associations.
    void CollectVisibleNonStandardObjects();
    void ResetInvisibleNonStandardObjects();
    void ResetObjectFlags();
    void GetDeviceObjectAssociations(ObjectAssociationMap& map);
    // failures (may be null) receives what could not be associated, "object:address" separated by ", ".
    void SetDeviceObjectAssociations(const ObjectAssociationMap& map, std::string* failures);
    void DeleteDeviceObjectAssociations();
    // True when every object whose priority or flags differ from its standard is in the list of
    // non-standard objects: then the flags a reset leaves are known without the reset.
    bool NonStandardObjectsListed();
    // The objects as a reset and SetDeviceObjectAssociations(map) leave them, for parameters already
    // written, in place: settings and associations the map keeps are not touched. Only valid while
    // NonStandardObjectsListed holds. The addresses of objects that are not shown are failures too.
    void ReplaceDeviceObjectAssociations(const ObjectAssociationMap& map, std::string* failures);
    bool CanChangeValueAfterCheckObjectAssociations(UniqueNr uniqueNr);
    bool CanChangeValueAfterCheckObjectAssociations(const std::vector<UniqueNr>& uniqueNrs);
    const std::vector<std::int32_t>& GetNonStandardObjects() const { return m_listNonStandardObjects; }

    // Back to a fresh device; the progress (may be null) shows the stages.
    void ResetAllParameters(bool createFirstGroup, IProgress* progress = nullptr);
    // The parameter values of that reset alone: objects keep their flags and associations.
    void ResetParameterValues(IProgress* progress = nullptr);

    // Confirmations and emergency predicates.
    bool ConfirmDeletingAssociations();
    bool ConfirmDeletingAssignments();
    bool ConfirmDeletingSceneAssignments();
    bool ConfirmDeletingGroupsOrDevices();
    bool IsEmergencyLampsUsed() const { return m_nEmergencyLamps != 0; }
    bool IsIndividualEmergencySupply() const { return m_nEmergencyLamps != 0 && m_nEmergencyLampSystem != 0; }
    bool IsCentralEmergencySupply() const { return m_nEmergencyLamps != 0 && m_nEmergencyLampSystem != 1; }
    bool IsDaliEmergencyTypeInUse() const;
    bool IsMemberTypeCheckActive() const
    {
        return m_nDaliDeviceTypeSetting != 0 || IsDaliEmergencyTypeInUse();
    }
    bool IsCentralObjectUsed() const { return m_nUseCentralObject != 0; }
    bool IsEmergencyGroup(int groupNr) const;
    std::string GetEmergencyFeedbackText(int kind) const;
    void UseDaliEmergencyDeviceType();

    // Documentation printout: each operation appends its section's lines to the list and only reads.
    // The two contents name each section they collect in the second info line of the box (may be
    // null), which the caller shows and closes.
    void AddPrintAll(PrintLineList& list, IProgressBox* progress) const;
    void AddPrintOverview(PrintLineList& list, const std::string& heading, IProgressBox* progress) const;
    void AddPrintFolderCommon(PrintLineList& list) const;
    void AddPrintFolderManualOperation(PrintLineList& list) const;
    void AddPrintFolderAddressing(PrintLineList& list) const;
    void AddPrintGroup(PrintLineList& list, int groupNr) const;
    void AddPrintGroupMembers(PrintLineList& list, int groupNr, bool heading) const;
    void AddPrintFolderScenes(PrintLineList& list) const;
    void AddPrintScene(PrintLineList& list, int sceneNr) const;
    void AddPrintFolderEffects(PrintLineList& list) const;
    void AddPrintEffect(PrintLineList& list, int effectNr) const;
    void AddPrintFolderCommissioning(PrintLineList& list) const;
    // The visible objects that hang below the parameter (none when it is null), by object number.
    void AddPrintObjects(PrintLineList& list, int level, UniqueNr uniqueNr, IEtsUIParameter* parameter,
                         bool heading) const;
    // The page header's and footer's texts.
    PrintHeader GetPrintHeader() const;

    // Direct table access for pages and tests.
    const GroupRecord& GetGroup(int groupNr) const { return m_Groups[static_cast<std::size_t>(groupNr - 1)]; }
    const MemberRecord& GetMember(int memberNr) const
    {
        return m_Members[static_cast<std::size_t>(memberNr - 1)];
    }
    const SceneRecord& GetScene(int sceneNr) const { return m_Scenes[static_cast<std::size_t>(sceneNr - 1)]; }

protected:
    PromptAnswer Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                     PromptIcon icon) const;
    void ConfigChanged() { m_bConfigChanged = true; }

private:
    void LoadLabels();
    void LoadEffects();
    void CheckReconstruction();
    void RebuildStepTime(int groupNr, UniqueNr hBase, UniqueNr valueBase);
    bool ConfirmLosing(UniqueNr messageNr, const char* defaultMessage);
    MemberRecord& Member(int memberNr) { return m_Members[static_cast<std::size_t>(memberNr - 1)]; }
    SceneRecord& Scene(int sceneNr) { return m_Scenes[static_cast<std::size_t>(sceneNr - 1)]; }
    EffectRecord& Effect(int effectNr) { return m_Effects[static_cast<std::size_t>(effectNr - 1)]; }
    EffectStepMap* StepMap(int effectNr, int stepNr);
    const EffectStepMap* StepMap(int effectNr, int stepNr) const;
    int StepSlot(int effectNr, int stepNr) const;
    void WriteSceneMask(int sceneNr, int index);
    void InvalidateGateway();

    IUserPrompt* m_pPrompt = nullptr;
    ScriptedPrompt m_silentPrompt;
    HelpViewer m_helpViewer;
    int m_nHelpTopic = 0;

    std::string m_strProjectName;
    std::string m_strDeviceName;
    std::string m_strDeviceDescription;
    std::string m_strDeviceAddress;
    bool m_bConfigChanged = false;
    std::map<std::uint8_t, std::string> m_mapLightnessTexts;
    std::multimap<std::uint8_t, std::string> m_mapLightnessChoices;
    ValueMap m_mapGroupDefaults;
    ValueMap m_mapSceneDefaults;
    std::array<std::string, LabelCount> m_strLabels;

    std::int32_t m_nUseCentralObject = 0;
    std::int32_t m_nAddressingMode = 3;
    std::int32_t m_nEmergencyLamps = 0;
    std::int32_t m_nEmergencyLampSystem = 0;
    std::int32_t m_nEmergencyFeedback = 0;
    std::int32_t m_nDaliDeviceTypeSetting = 0;
    std::int32_t m_nDaliEmergencyDeviceType = 0;

    EnumMap m_listMemberTypes;
    std::array<GroupRecord, kGroupCount> m_Groups;
    GroupClipboard m_GroupClipboard;
    std::array<MemberRecord, kMemberCount> m_Members;
    MemberClipboard m_MemberClipboard;
    std::array<SceneRecord, kSceneCount> m_Scenes;
    SceneClipboard m_SceneClipboard;
    std::array<EffectRecord, kEffectCount> m_Effects;
    EffectClipboard m_EffectClipboard;
    StepClipboard m_StepClipboard;
    std::uint16_t m_nEffectValues = 0;
    std::vector<std::int32_t> m_listNonStandardObjects;
};

// Dim and fade times: h/m/s <-> time per tick (byte-swapped tenths), steps per tick, correction.
void CalculateDimStepParameters(int hours, int minutes, int seconds, std::uint16_t* timePerTick,
                                std::uint8_t* stepsPerTick, std::uint8_t* correction);
void CalculateDimStepTime(std::uint16_t timePerTick, std::uint8_t stepsPerTick, std::uint8_t correction,
                          int* hours, int* minutes, int* seconds);
