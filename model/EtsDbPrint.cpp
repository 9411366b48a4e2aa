// The documentation printout's lines: every section of the configuration with its visible parameters,
// objects, members and participants, and the group assignments alone. Printing only reads.
#include "model/CommObjectWalk.h"
#include "model/EtsDbManagement.h"
#include "model/ProgressBox.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <cstdio>
#include <map>

namespace {

// Hints that name the fields of a time line.
constexpr UniqueNr kHoursHint = 880;   // hh:mm:ss
constexpr UniqueNr kMinutesHint = 881; // mm:ss
constexpr UniqueNr kTenthsHint = 896;  // mm:ss.t, or seconds alone

// Texts by number the printout uses.
constexpr UniqueNr kDaliCommunicationText = 712, kDaliErrorsText = 713, kDaliStatusText = 714,
                   kDaliStandbyText = 717, kHeaderDescriptionLabel = 854, kHeaderDeviceLine = 855,
                   kHeaderProjectLabel = 857, kHeaderPageLabel = 858, kGroupMembersText = 866,
                   kCommissioningText = 879, kYesText = 819, kNoText = 822, kAssignedText = 987,
                   kNotAssignedText = 988;
// Roots whose objects form a section's object list.
constexpr UniqueNr kCommonRoot = 700, kManualOperationRoot = 701;
constexpr UniqueNr kSceneSaveMask = 642; // then 20667 and 20668, byte-swapped like the scene masks

constexpr int kKeyScenesFirst = 97, kKeyScenesLast = 112;

// Writes the lines of one section, its parameter numbers mapped from bases by the section's number.
template <class Map> class CSectionPrinter
{
public:
    CSectionPrinter(const CEtsDbManagement& model, PrintLineList& list, Map map)
        : m_model(model), m_list(list), m_map(map)
    {}
    std::int32_t Value(UniqueNr base)
    {
        const UniqueNr n = m_map(base);
        return m_model.AddPrintParameter(m_list, kPrintParameterLevel, n, m_model.GetPointerUIParameter(n));
    }
    void Values(std::initializer_list<UniqueNr> bases)
    {
        for (UniqueNr base : bases)
            Value(base);
    }
    template <class... Bases> void Time(UniqueNr hint, Bases... bases)
    {
        m_model.AddPrintParameter(m_list, kPrintParameterLevel, hint, {m_map(bases)...});
    }
    void Heading(const std::string& text) { AddPrintLine(m_list, kPrintParameterLevel, "%s:", text.c_str()); }
    void Blank() { AddPrintLine(m_list, 0); }

private:
    const CEtsDbManagement& m_model;
    PrintLineList& m_list;
    Map m_map;
};

template <class Map>
CSectionPrinter<Map> SectionPrinter(const CEtsDbManagement& model, PrintLineList& list, Map map)
{
    return CSectionPrinter<Map>(model, list, map);
}

auto Unmapped()
{
    return [](UniqueNr n) {
        return n;
    };
}

std::string Description(const CEtsAccess& access, UniqueNr uniqueNr)
{
    std::string text;
    access.GetParameterText(uniqueNr, &text);
    return text;
}

void SectionHeading(PrintLineList& list, const std::string& text)
{
    AddPrintLine(list, kPrintSectionLevel, "%s:", text.c_str());
}

// The blank and the rule before each group, device, scene and effect.
void EntityHeading(PrintLineList& list, const std::string& text)
{
    AddPrintShortBreak(list);
    SectionHeading(list, text);
}

std::string Numbered(int number, const std::string& label)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", number);
    return buf + label;
}

// True when the parameter or one of its parents is the section's root.
bool HangsBelow(IEtsUIParameter* parameter, UniqueNr root)
{
    ComPtr<IEtsUIParameter> current(parameter);
    // A tree deeper than this is a cycle in the host's data.
    for (int depth = 0; current && depth < 64; ++depth) {
        std::int32_t number = -1;
        if (SUCCEEDED(current->get_UniqueNumber(&number)) && number == root)
            return true;
        ComPtr<IEtsUIParameter> parent;
        if (current->get_Parent(parent.GetAddressOf()) != S_OK)
            return false;
        current = std::move(parent);
    }
    return false;
}

} // namespace

PrintHeader CEtsDbManagement::GetPrintHeader() const
{
    PrintHeader header;
    header.projectName = m_strProjectName;
    header.deviceName = m_strDeviceName;
    header.description = m_strDeviceDescription;
    header.address = m_strDeviceAddress;
    header.pageLabel = GetParameterText(kHeaderPageLabel, "Site");
    header.descriptionLabel = GetParameterText(kHeaderDescriptionLabel, "Description");
    header.projectLabel = GetParameterText(kHeaderProjectLabel, "Project");
    header.deviceLineFormat = GetParameterText(kHeaderDeviceLine, "Device: %s Address: %s");
    return header;
}

void CEtsDbManagement::AddPrintAll(PrintLineList& list, IProgressBox* progress) const
{
    TRACE_ENTRY();
    auto stage = [progress](const std::string& text) {
        if (progress)
            progress->SetInfoText2(text);
    };
    stage(GetLabel(LabelGeneral));
    AddPrintFolderCommon(list);
    stage(GetLabel(LabelManualControl));
    AddPrintSectionBreak(list);
    AddPrintFolderManualOperation(list);
    AddPrintSectionBreak(list);
    AddPrintFolderAddressing(list);
    if (GetGroupCount() != 0) {
        AddPrintShortBreak(list);
        SectionHeading(list, GetLabel(LabelGroups));
        for (int g = 1; g <= GetGroupCount(); ++g) {
            stage(Numbered(g, GetLabel(LabelGroup)));
            AddPrintGroup(list, g);
        }
    }
    if (GetSingleCount() != 0) {
        AddPrintShortBreak(list);
        SectionHeading(list, GetLabel(LabelDevices));
        for (int d = 1; d <= GetSingleCount(); ++d) {
            stage(Numbered(d, GetLabel(LabelMember)));
            AddPrintGroup(list, d + kGroupCount);
        }
    }
    stage(GetLabel(LabelScenes));
    AddPrintSectionBreak(list);
    AddPrintFolderScenes(list);
    for (int s = 1; s <= kSceneCount; ++s) {
        stage(Numbered(s, GetLabel(LabelScene)));
        AddPrintScene(list, s);
    }
    stage(GetLabel(LabelEffects));
    AddPrintSectionBreak(list);
    AddPrintFolderEffects(list);
    for (int e = 1; e <= kEffectCount; ++e) {
        stage(Numbered(e, GetLabel(LabelEffect)));
        AddPrintEffect(list, e);
    }
    stage(GetLabel(LabelCommissioning));
    AddPrintSectionBreak(list);
    AddPrintFolderCommissioning(list);
}

void CEtsDbManagement::AddPrintOverview(PrintLineList& list, const std::string& heading,
                                        IProgressBox* progress) const
{
    TRACE_ENTRY();
    auto stage = [progress](const std::string& text) {
        if (progress)
            progress->SetInfoText2(text);
    };
    AddPrintLine(list, kPrintSectionLevel, "%s", heading.c_str());
    AddPrintShortBreak(list);
    if (GetGroupCount() != 0) {
        SectionHeading(list, GetLabel(LabelGroups));
        for (int g = 1; g <= GetGroupCount(); ++g) {
            stage(Numbered(g, GetLabel(LabelGroup)));
            AddPrintGroupMembers(list, g, true);
        }
        AddPrintShortBreak(list);
    }
    if (GetSingleCount() != 0) {
        SectionHeading(list, GetLabel(LabelDevices));
        for (int d = 1; d <= GetSingleCount(); ++d) {
            stage(Numbered(d, GetLabel(LabelMember)));
            AddPrintGroupMembers(list, d + kGroupCount, true);
        }
        AddPrintShortBreak(list);
    }
}

void CEtsDbManagement::AddPrintFolderCommon(PrintLineList& list) const
{
    TRACE_ENTRY();
    SectionHeading(list, GetLabel(LabelGeneral));
    auto print = SectionPrinter(*this, list, Unmapped());
    print.Values(
        {736, 732, param::kUseCentralObject, 726, param::kDaliDeviceTypeSetting, param::kEmergencyLamps});
    print.Blank();
    print.Heading(Description(*this, kDaliCommunicationText));
    print.Values({65011, 65013});
    print.Time(kTenthsHint, 65005);
    print.Blank();
    print.Heading(Description(*this, kDaliErrorsText));
    print.Values(
        {65042, 65044, 65012, param::kAckDeviceState, param::kAckDeviceStateDataWidth, 65045, 733, 734});
    print.Blank();
    print.Heading(Description(*this, kDaliStatusText));
    print.Time(kHoursHint, 760, 761, 762);
    print.Time(kMinutesHint, 763, 764);
    print.Values({65006, 65007, 65008, 65009, 65010});
    print.Blank();
    print.Heading(Description(*this, kDaliStandbyText));
    print.Values({65017, 65018, 65019, 65020, 65021, 65022});
    print.Time(kMinutesHint, 65003, 65004);
    print.Value(65023);
    print.Time(kTenthsHint, 65002);
    AddPrintObjects(list, kPrintParameterLevel, kCommonRoot, GetPointerUIParameter(kCommonRoot), true);
}

void CEtsDbManagement::AddPrintFolderManualOperation(PrintLineList& list) const
{
    TRACE_ENTRY();
    SectionHeading(list, GetLabel(LabelManualControl));
    SectionPrinter(*this, list, Unmapped()).Values({728, 727, 739, 725, 740, 729, 730, 731});
    AddPrintObjects(list, kPrintParameterLevel, kManualOperationRoot,
                    GetPointerUIParameter(kManualOperationRoot), true);
}

void CEtsDbManagement::AddPrintFolderAddressing(PrintLineList& list) const
{
    TRACE_ENTRY();
    SectionHeading(list, GetLabel(LabelAddressing));
    SectionPrinter(*this, list, Unmapped()).Value(param::kAddressingMode);
}

void CEtsDbManagement::AddPrintObjects(PrintLineList& list, int level, UniqueNr uniqueNr,
                                       IEtsUIParameter* parameter, bool heading) const
{
    TRACE_ENTRY();
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", static_cast<long>(uniqueNr));
    if (heading) {
        AddPrintLine(list, 0);
        AddPrintLine(list, level, "%s:", GetLabel(LabelObjects).c_str());
    }
    if (!parameter)
        return;
    std::map<std::uint16_t, std::string> entries;
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [&](IEtsCommObject* object) {
        ComPtr<IEtsStandardCommObject> standard;
        ComPtr<IEtsUIParameter> owner;
        if (FAILED(object->get_StandardObject(standard.GetAddressOf())) || !standard ||
            FAILED(standard->get_UIParameter(owner.GetAddressOf())) || !owner ||
            !HangsBelow(owner.Get(), uniqueNr))
            return;
        std::uint16_t number = 0;
        std::string name, function;
        if (FAILED(standard->get_Number(&number)) || FAILED(object->get_DisplayText(1, &name)))
            return;
        if (FAILED(object->get_DisplayText(2, &function)) || function.empty())
            function = "---";
        entries.emplace(number, name + ": " + function);
    });
    for (const auto& [number, text] : entries)
        AddPrintLine(list, kPrintParameterLevel, "%s", text.c_str());
}

void CEtsDbManagement::AddPrintGroup(PrintLineList& list, int groupNr) const
{
    TRACE_ENTRY();
    if (!GroupExists(groupNr))
        return;
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    const bool single = groupNr > kGroupCount;
    EntityHeading(list, GetGroupDisplayName(groupNr));
    if (single && IsMemberTypeCheckActive())
        AddPrintLine(list, kPrintParameterLevel, "%s: %s", GetLabel(LabelType).c_str(),
                     GetMemberTypeText(GetMemberType(groupNr - kGroupCount), false).c_str());

    auto print =
        SectionPrinter(*this, list, [groupNr](UniqueNr base) { return GetGroupUniqueNr(base, groupNr); });
    print.Values({param::kGroupMinLightness,
                  param::kGroupMaxLightness,
                  111,
                  104,
                  112,
                  105,
                  113,
                  106,
                  115,
                  107,
                  param::kGroupAdditionalFunction,
                  122,
                  114,
                  108,
                  116,
                  109,
                  119,
                  117,
                  110,
                  120});
    print.Blank();

    print.Heading(GetLabel(LabelSwitching));
    print.Values({201, 202, 203, 205, 204});
    print.Blank();

    print.Heading(GetLabel(LabelDimming));
    print.Time(kHoursHint, 301, 302, 303);
    print.Value(param::kGroupLightnessReaction);
    print.Time(kHoursHint, 304, 305, 306);
    print.Values({328, 335, 329});
    print.Time(kMinutesHint, 330, 331);
    print.Values({325, 326, 327, 336});
    print.Blank();

    print.Heading(GetLabel(LabelSwitchStyle));
    print.Value(421);
    print.Time(kHoursHint, 412, 413, 414);
    print.Value(406);
    print.Time(kHoursHint, 415, 416, 417);
    print.Value(407);
    print.Time(kHoursHint, 437, 438, 439);
    print.Value(436);
    print.Time(kHoursHint, 432, 433, 434);
    print.Values({431, param::kGroupSoftOn});
    print.Time(kHoursHint, 307, 308, 309);
    print.Values({319, 320, 321, param::kGroupSoftOff});
    print.Time(kHoursHint, 310, 311, 312);
    print.Values({322, 323, 324});
    print.Blank();

    print.Heading(GetLabel(LabelStaircaseFunction));
    print.Value(408);
    print.Time(kHoursHint, 401, 402, 403);
    print.Values({405, 404});
    // The end behaviour decides on its dependent lines even where it is not shown itself.
    const std::int32_t endBehaviour = print.Value(426);
    if (endBehaviour != 0)
        print.Value(420);
    if (endBehaviour == 1)
        print.Time(kHoursHint, 422, 418, 419);
    print.Values({428, 429, 425});
    print.Blank();

    print.Heading(GetLabel(LabelHourmeter));
    print.Values({580, 582, 581, 584, 583, 585});

    if (IsCentralEmergencySupply()) {
        print.Blank();
        AddPrintLine(list, kPrintParameterLevel, "%s %s:", GetLabel(LabelEmergencyLamps).c_str(),
                     GetLabel(LabelCentrallySupplied).c_str());
        if (GetEmergencyFeedback() == 2) {
            if (print.Value(234) != 0)
                print.Values({236, 231});
        } else if (print.Value(235) != 0) {
            print.Value(230);
        }
    }
    if (single && IsIndividualEmergencySupply() &&
        ((GetDaliDeviceTypeSetting() == 0 && GetDaliEmergencyDeviceType() == 0) ||
         GetMemberType(groupNr - kGroupCount) == 1)) {
        print.Blank();
        AddPrintLine(list, kPrintParameterLevel, "%s %s:", GetLabel(LabelEmergencyLamps).c_str(),
                     GetLabel(LabelIndividuallySupplied).c_str());
        print.Values({238, 232, 237, 239, 233, 240, 241, 242, 243});
    }

    const UniqueNr exists = GetGroupUniqueNr(param::kGroupExists, groupNr);
    AddPrintObjects(list, kPrintParameterLevel, exists, GetPointerUIParameter(exists), true);
    AddPrintGroupMembers(list, groupNr, false);
}

void CEtsDbManagement::AddPrintGroupMembers(PrintLineList& list, int groupNr, bool heading) const
{
    TRACE_ENTRY();
    if (!GroupExists(groupNr))
        return;
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    const bool typed = IsMemberTypeCheckActive();
    if (groupNr > kGroupCount) {
        if (!heading)
            return;
        const int memberNr = groupNr - kGroupCount;
        AddPrintShortBreak(list);
        if (typed)
            AddPrintLine(list, kPrintSectionLevel, "%s: (%s: %s)", GetMemberDisplayName(memberNr).c_str(),
                         GetLabel(LabelType).c_str(),
                         GetMemberTypeText(GetMemberType(memberNr), false).c_str());
        else
            SectionHeading(list, GetMemberDisplayName(memberNr));
        return;
    }
    if (heading)
        EntityHeading(list, GetGroupDisplayName(groupNr));
    AddPrintLine(list, 0);
    AddPrintLine(list, kPrintParameterLevel, "%s:", Description(*this, kGroupMembersText).c_str());
    for (int m = 1; m <= kMemberCount; ++m) {
        if (!IsGroupMember(groupNr, m))
            continue;
        if (typed)
            AddPrintLine(list, kPrintEntryLevel, "%s (%s: %s)", GetMemberDisplayName(m).c_str(),
                         GetLabel(LabelType).c_str(), GetMemberTypeText(GetMemberType(m), false).c_str());
        else
            AddPrintLine(list, kPrintEntryLevel, "%s", GetMemberDisplayName(m).c_str());
    }
}

void CEtsDbManagement::AddPrintFolderScenes(PrintLineList& list) const
{
    TRACE_ENTRY();
    SectionHeading(list, GetLabel(LabelScenes));
    SectionPrinter(*this, list, Unmapped()).Value(param::kSceneSettings);
    AddPrintObjects(list, kPrintParameterLevel, param::kSceneObjectDisabled,
                    GetPointerUIParameter(param::kSceneObjectDisabled), true);
    AddPrintObjects(list, kPrintParameterLevel, param::kSceneSettings,
                    GetPointerUIParameter(param::kSceneSettings), false);
}

void CEtsDbManagement::AddPrintScene(PrintLineList& list, int sceneNr) const
{
    TRACE_ENTRY();
    if (!SceneExists(sceneNr))
        return;
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    EntityHeading(list, GetSceneDisplayName(sceneNr));
    auto print =
        SectionPrinter(*this, list, [sceneNr](UniqueNr base) { return GetSceneUniqueNr(base, sceneNr); });
    print.Values({param::kSceneKnxNumber, 643, 604, 605, 603});
    print.Time(kHoursHint, 606, 607, 608);

    const UniqueNr saveMaskBases[] = {kSceneSaveMask, 20667, 20668};
    std::uint32_t saveMasks[3] = {};
    for (int i = 0; i < 3; ++i)
        saveMasks[i] = SwapMask32(GetParameterPattern(GetSceneUniqueNr(saveMaskBases[i], sceneNr), 0));
    const std::string saveCaption = Description(*this, GetSceneUniqueNr(kSceneSaveMask, sceneNr));
    const std::string yes = Description(*this, kYesText), no = Description(*this, kNoText);

    bool groupsHeading = false, devicesHeading = false;
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        if (!IsGroupInScene(sceneNr, n))
            continue;
        bool& written = n <= kGroupCount ? groupsHeading : devicesHeading;
        if (!written) {
            AddPrintLine(list, kPrintParameterLevel,
                         "%s:", GetLabel(n <= kGroupCount ? LabelGroups : LabelDevices).c_str());
            written = true;
        }
        const std::uint32_t value =
            static_cast<std::uint32_t>(GetParameterLong(GetSceneValueUniqueNr(sceneNr, n), 0));
        const bool save = (saveMasks[(n - 1) / 32] >> ((n - 1) % 32)) & 1u;
        AddPrintLine(list, kPrintEntryLevel, "%s: %s, %s = %s", GetGroupDisplayName(n).c_str(),
                     GetLightnessValueText(value).c_str(), saveCaption.c_str(), (save ? yes : no).c_str());
    }
}

void CEtsDbManagement::AddPrintFolderEffects(PrintLineList& list) const
{
    TRACE_ENTRY();
    SectionHeading(list, GetLabel(LabelEffects));
    AddPrintObjects(list, kPrintParameterLevel, param::kEffectObjectDisabled,
                    GetPointerUIParameter(param::kEffectObjectDisabled), true);
}

void CEtsDbManagement::AddPrintEffect(PrintLineList& list, int effectNr) const
{
    if (!EffectExists(effectNr))
        return;
    EntityHeading(list, GetEffectDisplayName(effectNr));
    SectionPrinter(*this, list, [effectNr](UniqueNr base) { return GetEffectUniqueNr(base, effectNr); })
        .Values(
            {param::kEffectPriority, param::kEffectKnxNumber, param::kEffectStepCount, param::kEffectPasses});

    const int steps = GetEffectStepCount(effectNr);
    for (int i = 1; i <= steps; ++i) {
        // The last step always lives in the closing slot.
        const int slot = GetEffectStepSlot(i, steps);
        auto print = SectionPrinter(*this, list, [effectNr, slot](UniqueNr base) {
            return GetEffectStepUniqueNr(base, effectNr, slot);
        });
        print.Blank();
        print.Heading(GetStepDisplayName(slot));
        print.Value(param::kStepSettings);
        if (slot != kStepSlots)
            print.Time(kTenthsHint, param::kStepSettings + 1000, param::kStepSettings + 2000,
                       param::kStepSettings + 3000);
        struct KeyRange
        {
            int first, last;
            ELabel label;
        };
        for (KeyRange range : {KeyRange{1, kGroupCount, LabelGroups},
                               KeyRange{kGroupCount + 1, kGroupCount + kSingleCount, LabelDevices},
                               KeyRange{kKeyScenesFirst, kKeyScenesLast, LabelScenes}}) {
            bool headed = false;
            for (int key = range.first; key <= range.last; ++key) {
                if (!IsGroupInEffectStep(effectNr, slot, key))
                    continue;
                if (!headed) {
                    print.Heading(GetLabel(range.label));
                    headed = true;
                }
                if (range.label == LabelScenes)
                    AddPrintLine(list, kPrintEntryLevel, "%s",
                                 GetSceneDisplayName(key - kKeyScenesFirst + 1).c_str());
                else
                    AddPrintLine(list, kPrintEntryLevel, "%s: %s", GetGroupDisplayName(key).c_str(),
                                 GetLightnessValueText(GetEffectValue(effectNr, slot, key) & 0xFFu).c_str());
            }
        }
    }
}

void CEtsDbManagement::AddPrintFolderCommissioning(PrintLineList& list) const
{
    TRACE_ENTRY();
    SectionHeading(list, Description(*this, kCommissioningText));
    SectionPrinter(*this, list, Unmapped()).Values({746, param::kCompatibilityMode});
    AddPrintLine(list, 0);
    const std::string assigned = GetParameterText(kAssignedText, "assigned");
    const std::string unassigned = GetParameterText(kNotAssignedText, "not assigned");
    const bool typed = IsMemberTypeCheckActive();
    for (int m = 1; m <= kMemberCount; ++m) {
        if (GetMemberRandomNr(m) == 0)
            continue;
        const bool isAssigned = IsMemberAssigned(m);
        const std::string entry = isAssigned ? GetMemberDisplayName(m) + ": " + assigned
                                             : Numbered(m, GetLabel(LabelMember)) + ": " + unassigned;
        if (typed)
            AddPrintLine(list, kPrintParameterLevel, "%s (%s: %s)", entry.c_str(),
                         GetLabel(LabelType).c_str(),
                         GetMemberTypeText(GetMemberFoundType(m), false).c_str());
        else
            AddPrintLine(list, kPrintParameterLevel, "%s", entry.c_str());
        if (!isAssigned)
            continue;
        for (int g = 1; g <= kGroupCount; ++g)
            if (IsGroupMember(g, m))
                AddPrintLine(list, kPrintEntryLevel, "%s: %s", GetLabel(LabelGroup).c_str(),
                             GetGroupDisplayName(g).c_str());
    }
}
