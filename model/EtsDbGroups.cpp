// Groups, singles and members of the configuration model.
#include "model/CommObjectWalk.h"
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kObjectsPerGroup = 13;
constexpr int kObjectsPerSingle = 17;
constexpr int kFirstSingleObject = 417;

bool ValidGroupNr(int n)
{
    return n >= 1 && n <= kGroupCount + kSingleCount;
}
bool ValidMemberNr(int m)
{
    return m >= 1 && m <= kMemberCount;
}

std::string DisplayName(int number, const std::string& name)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", number);
    return buf + name;
}

} // namespace

bool CEtsDbManagement::GroupExists(int groupNr) const
{
    if (groupNr <= 0) {
        TRACE_ENTRY();
        for (int g = 1; g <= GetGroupCount(); ++g)
            if (m_Groups[static_cast<std::size_t>(g - 1)].exists)
                return true;
        return false;
    }
    if (groupNr <= kGroupCount)
        return m_Groups[static_cast<std::size_t>(groupNr - 1)].exists;
    return SingleExists(groupNr - kGroupCount);
}

bool CEtsDbManagement::SingleExists(int singleNr) const
{
    if (singleNr <= 0) {
        TRACE_ENTRY();
        for (int s = 1; s <= GetSingleCount(); ++s)
            if (GetMember(s).single)
                return true;
        return false;
    }
    return singleNr <= kSingleCount && GetMember(singleNr).single;
}

int CEtsDbManagement::GetNextFreeGroupNr() const
{
    for (int g = 1; g <= GetGroupCount(); ++g)
        if (!m_Groups[static_cast<std::size_t>(g - 1)].exists)
            return g;
    return 0;
}

int CEtsDbManagement::GetNextFreeSingleNr() const
{
    for (int m = 1; m <= GetSingleCount(); ++m)
        if (!IsMemberUsed(m))
            return m;
    return 0;
}

int CEtsDbManagement::GetNextFreeMemberNr() const
{
    for (int m = 1; m <= kMemberCount; ++m)
        if (!IsMemberUsed(m))
            return m;
    return 0;
}

std::string CEtsDbManagement::GetGroupName(int groupNr) const
{
    if (groupNr >= 1 && groupNr <= kGroupCount)
        return m_Groups[static_cast<std::size_t>(groupNr - 1)].name;
    return GetMemberName(groupNr - kGroupCount);
}

std::string CEtsDbManagement::GetGroupDisplayName(int groupNr) const
{
    if (groupNr <= kGroupCount)
        return DisplayName(groupNr, GetGroupName(groupNr));
    return DisplayName(groupNr - kGroupCount, GetGroupName(groupNr));
}

void CEtsDbManagement::GetGroupMinMaxLightnessValues(int groupNr, std::uint8_t* minimum,
                                                     std::uint8_t* maximum) const
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    if (minimum)
        *minimum = static_cast<std::uint8_t>(
            GetParameterLong(GetGroupUniqueNr(param::kGroupMinLightness, groupNr), 1));
    if (maximum)
        *maximum = static_cast<std::uint8_t>(
            GetParameterLong(GetGroupUniqueNr(param::kGroupMaxLightness, groupNr), 173));
}

void CEtsDbManagement::CreateGroup(int groupNr)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    if (!ValidGroupNr(groupNr))
        return;
    if (groupNr > kGroupCount) {
        CreateSingle(groupNr - kGroupCount);
        return;
    }
    // A group above the addressing mode's count would be hidden from the tree but still exported.
    if (groupNr > GetGroupCount()) {
        TRACE_MSG(TRACE_ERROR, "GroupNr = %d: addressing mode %d has %d groups", groupNr,
                  static_cast<int>(m_nAddressingMode), GetGroupCount());
        return;
    }
    m_Groups[static_cast<std::size_t>(groupNr - 1)].exists = true;
    SetParameterLong(GetGroupUniqueNr(param::kGroupExists, groupNr), 1);
    RefreshGroupObjectNames(groupNr);
    ConfigChanged();
}

void CEtsDbManagement::CreateSingle(int singleNr)
{
    TRACE_MSG(TRACE_INFO, "SingleNr = %d", singleNr);
    if (!ValidMemberNr(singleNr))
        return;
    if (singleNr > GetSingleCount()) {
        TRACE_MSG(TRACE_ERROR, "SingleNr = %d: addressing mode %d has %d singles", singleNr,
                  static_cast<int>(m_nAddressingMode), GetSingleCount());
        return;
    }
    Member(singleNr).single = true;
    SetParameterLong(GetGroupUniqueNr(param::kGroupExists, singleNr + kGroupCount), 1);
    SetMemberName(singleNr, GetLabel(LabelMember));
    ConfigChanged();
}

void CEtsDbManagement::InvalidateGateway()
{
    // The group assignments in the gateway no longer match the project.
    SetParameterLong(param::kGatewayAssignmentsCurrent, 0);
    ConfigChanged();
}

void CEtsDbManagement::DeleteGroup(int groupNr)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    if (!ValidGroupNr(groupNr))
        return;
    RemoveGroupFromScenesAndEffects(groupNr);
    if (groupNr <= kGroupCount)
        for (int m = 1; m <= kMemberCount; ++m)
            RemoveGroupMember(groupNr, m);
    ResetGroupParameters(groupNr);
    RefreshGroupObjectNames(groupNr);
    InvalidateGateway();
}

void CEtsDbManagement::ResetGroupParameters(int groupNr)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    if (!ValidGroupNr(groupNr))
        return;
    if (groupNr <= kGroupCount) {
        GroupRecord& group = m_Groups[static_cast<std::size_t>(groupNr - 1)];
        group.name = GetLabel(LabelGroup);
        group.exists = false;
    } else {
        ResetMemberParameters(groupNr - kGroupCount, false);
    }
    if (m_mapGroupDefaults.empty()) {
        GetAllDefaultValues(m_mapGroupDefaults, GetGroupUniqueNr(param::kGroupExists, 1), 1, &GetGroupBaseNr);
        if (auto it = m_mapGroupDefaults.find(123); it != m_mapGroupDefaults.end())
            it->second = Variant::I4(0);
    }
    for (const auto& [base, value] : m_mapGroupDefaults)
        SetParameterValue(GetGroupUniqueNr(base, groupNr), value);
    // A single's name mirrors its member's, which the reset named with the label.
    if (groupNr > kGroupCount)
        SetParameterString(GetGroupUniqueNr(param::kGroupName, groupNr), GetLabel(LabelMember));
}

void CEtsDbManagement::SetGroupName(int groupNr, const std::string& name)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, Name = %s", groupNr, name.c_str());
    if (!ValidGroupNr(groupNr))
        return;
    if (groupNr <= kGroupCount) {
        m_Groups[static_cast<std::size_t>(groupNr - 1)].name = name;
    } else {
        Member(groupNr - kGroupCount).name = name;
        SetParameterString(GetMemberUniqueNr(param::kMemberName, groupNr - kGroupCount), name);
    }
    SetParameterString(GetGroupUniqueNr(param::kGroupName, groupNr), name);
    RefreshGroupObjectNames(groupNr);
}

void CEtsDbManagement::RefreshGroupObjectNames(int groupNr)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    if ((groupNr != 0 && !ValidGroupNr(groupNr)) || !GetDevice())
        return;
    // The text each group's objects get, by group number; nothing where nothing is renamed. All
    // groups are renamed in one walk over the objects.
    std::vector<std::optional<std::string>> texts(kGroupCount + kSingleCount + 1);
    bool any = false;
    for (int n = groupNr == 0 ? 1 : groupNr; n <= (groupNr == 0 ? kGroupCount + kSingleCount : groupNr);
         ++n) {
        if (groupNr == 0 && !GroupExists(n))
            continue;
        texts[static_cast<std::size_t>(n)] =
            m_nAddressingMode != 0 ? GetGroupDisplayName(n) : GetLabel(LabelCentral);
        any = true;
    }
    if (!any)
        return;
    // The group an object number belongs to; 0 for the gateway's own objects.
    auto groupOf = [](int number) {
        if (number >= 1 && number < kFirstSingleObject)
            return (number - 1) / kObjectsPerGroup + 1;
        if (number >= kFirstSingleObject && number < kFirstSingleObject + kSingleCount * kObjectsPerSingle)
            return kGroupCount + (number - kFirstSingleObject) / kObjectsPerSingle + 1;
        return 0;
    };
    const HRESULT hr =
        ForEachCommObject(GetDevice(), false, ObjectItemFailure::EndsWalk, [&](IEtsCommObject* object) {
            std::uint16_t number = 0;
            if (HRESULT read = object->get_Number(&number); FAILED(read)) {
                TRACE_HR(TRACE_ERROR, read);
                return;
            }
            const int group = groupOf(number);
            const std::optional<std::string>& text = texts[static_cast<std::size_t>(group)];
            if (!text)
                return;
            TRACE_MSG(TRACE_INFO, "Renaming CommObject Nr %u", static_cast<unsigned>(number));
            if (HRESULT set = object->put_Text(*text); FAILED(set))
                TRACE_HR_MSG(TRACE_ERROR, set, "ObjectNr = %d", static_cast<int>(number));
        });
    if (FAILED(hr))
        TRACE_HR(TRACE_ERROR, hr);
}

void CEtsDbManagement::CopyGroup(int groupNr, GroupClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    if (!ValidGroupNr(groupNr))
        return;
    GroupClipboard& c = clipboard ? *clipboard : m_GroupClipboard;
    c.name = GetGroupName(groupNr);
    c.type = groupNr <= kGroupCount ? 0 : GetMemberType(groupNr - kGroupCount);
    c.values.clear();
    GetAllParameterValues(c.values, GetGroupUniqueNr(param::kGroupExists, groupNr), groupNr, &GetGroupBaseNr);
    c.valid = true;
}

bool CEtsDbManagement::PasteGroup(int groupNr, GroupClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    GroupClipboard& c = clipboard ? *clipboard : m_GroupClipboard;
    if (!c.valid || !ValidGroupNr(groupNr))
        return false;
    const bool group = groupNr <= kGroupCount;
    if (group && groupNr > GetGroupCount())
        return false; // pasting creates the group: never above the addressing mode's count
    if (group) {
        GroupRecord& record = m_Groups[static_cast<std::size_t>(groupNr - 1)];
        record.exists = true;
        record.name = c.name;
    } else {
        Member(groupNr - kGroupCount).name = c.name;
        Member(groupNr - kGroupCount).type = c.type;
    }
    for (const auto& [base, value] : c.values) {
        // A group has no member parameters: they belong to the gear of the same number.
        if (group && (base == 274 || base >= 597))
            continue;
        SetParameterValue(GetGroupUniqueNr(base, groupNr), value);
    }
    if (!group) {
        const int s = groupNr - kGroupCount;
        SetParameterString(GetMemberUniqueNr(param::kMemberName, s), c.name);
        SetParameterLong(GetMemberBlockUniqueNr(param::kMemberType, s), c.type);
    }
    RefreshGroupObjectNames(groupNr);
    // A pasted group is a structural change: OK must renew the project identity.
    ConfigChanged();
    return true;
}

std::string CEtsDbManagement::GetMemberName(int memberNr) const
{
    return ValidMemberNr(memberNr) ? GetMember(memberNr).name : std::string();
}

std::string CEtsDbManagement::GetMemberDisplayName(int memberNr) const
{
    return DisplayName(memberNr, GetMemberName(memberNr));
}

int CEtsDbManagement::GetGroupMemberCount(int groupNr) const
{
    if (groupNr < 1 || groupNr > kGroupCount)
        return 0;
    int count = 0;
    for (const MemberRecord& m : m_Members)
        count += (m.groupMask >> (groupNr - 1)) & 1u;
    return count;
}

bool CEtsDbManagement::CanAddGroupMember(int groupNr) const
{
    return groupNr <= 16 || GetGroupMemberCount(groupNr) < 2;
}

bool CEtsDbManagement::IsGroupMember(int groupNr, int memberNr) const
{
    if (groupNr < 1 || groupNr > kGroupCount)
        return false;
    if (memberNr == 0)
        return GetGroupMemberCount(groupNr) > 0;
    return ValidMemberNr(memberNr) && ((GetMember(memberNr).groupMask >> (groupNr - 1)) & 1u);
}

bool CEtsDbManagement::MemberHasGroups(int memberNr) const
{
    if (ValidMemberNr(memberNr))
        return GetMember(memberNr).groupMask != 0;
    for (const MemberRecord& m : m_Members)
        if (m.groupMask != 0)
            return true;
    return false;
}

bool CEtsDbManagement::IsMemberUsed(int memberNr) const
{
    if (memberNr == 0) {
        for (const MemberRecord& m : m_Members)
            if (m.single || m.groupMask != 0)
                return true;
        return false;
    }
    return ValidMemberNr(memberNr) && (GetMember(memberNr).single || GetMember(memberNr).groupMask != 0);
}

bool CEtsDbManagement::IsMemberAssigned(int memberNr) const
{
    return ValidMemberNr(memberNr) && GetMember(memberNr).assigned;
}
std::uint8_t CEtsDbManagement::GetMemberType(int memberNr) const
{
    return ValidMemberNr(memberNr) ? GetMember(memberNr).type : 0;
}
std::uint8_t CEtsDbManagement::GetMemberFoundType(int memberNr) const
{
    return ValidMemberNr(memberNr) ? GetMember(memberNr).foundType : 0;
}
std::int32_t CEtsDbManagement::GetMemberRandomNr(int memberNr) const
{
    return ValidMemberNr(memberNr) ? GetMember(memberNr).randomNr : 0;
}
std::uint32_t CEtsDbManagement::GetMemberGroupAssignment(int memberNr) const
{
    return ValidMemberNr(memberNr) ? GetMember(memberNr).groupMask : 0;
}

std::string CEtsDbManagement::GetMemberTypeText(int type, bool withMultitype) const
{
    if (auto it = m_listMemberTypes.find(type); it != m_listMemberTypes.end())
        return it->second;
    if (withMultitype && (type & 0x80))
        return GetLabel(type == 0x81 ? LabelMultitypeEL : LabelMultitype);
    return std::to_string(type);
}

bool CEtsDbManagement::IsMemberTypeCompatible(int projected, int found) const
{
    if (m_nDaliDeviceTypeSetting != 0) {
        if (!(found & 0x80))
            return projected == found;
        return !(projected == 1 && found != 0x81);
    }
    if (IsDaliEmergencyTypeInUse() && projected == 1)
        return (found & 0x7F) == 1;
    return true;
}

bool CEtsDbManagement::CheckAssignedMemberType(int memberNr, int projected) const
{
    return !IsMemberAssigned(memberNr) || IsMemberTypeCompatible(projected, GetMemberFoundType(memberNr));
}

void CEtsDbManagement::SetMemberName(int memberNr, const std::string& name)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, Name = %s", memberNr, name.c_str());
    if (!ValidMemberNr(memberNr))
        return;
    Member(memberNr).name = name;
    SetParameterString(GetMemberUniqueNr(param::kMemberName, memberNr), name);
    if (Member(memberNr).single) {
        SetParameterString(GetGroupUniqueNr(param::kGroupName, memberNr + kGroupCount), name);
        RefreshGroupObjectNames(memberNr + kGroupCount);
    }
}

void CEtsDbManagement::SetMemberAssigned(int memberNr, bool assigned)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, Assigned = %d", memberNr, assigned ? 1 : 0);
    if (!ValidMemberNr(memberNr))
        return;
    Member(memberNr).assigned = assigned;
    SetParameterLong(GetMemberUniqueNr(param::kMemberAssigned, memberNr), assigned ? 1 : 0);
}

void CEtsDbManagement::SetMemberType(int memberNr, int type)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, Type = %d", memberNr, type);
    if (!ValidMemberNr(memberNr))
        return;
    Member(memberNr).type = static_cast<std::uint8_t>(type);
    SetParameterLong(GetMemberBlockUniqueNr(param::kMemberType, memberNr), type & 0xFF);
}

void CEtsDbManagement::SetMemberFoundType(int memberNr, int type)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, Type = %d", memberNr, type);
    if (!ValidMemberNr(memberNr))
        return;
    Member(memberNr).foundType = static_cast<std::uint8_t>(type);
    SetParameterLong(GetMemberUniqueNr(param::kMemberFoundType, memberNr), type & 0xFF);
}

void CEtsDbManagement::SetMemberRandomNr(int memberNr, std::int32_t randomNr)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, RandomNr = %d", memberNr, static_cast<int>(randomNr));
    if (!ValidMemberNr(memberNr))
        return;
    Member(memberNr).randomNr = randomNr;
    SetParameterLong(GetMemberUniqueNr(param::kMemberRandomAddress, memberNr), randomNr);
}

void CEtsDbManagement::SetMemberGroupAssignment(int memberNr, std::uint32_t mask)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, Groups = $%lX", memberNr, static_cast<unsigned long>(mask));
    if (!ValidMemberNr(memberNr))
        return;
    Member(memberNr).groupMask = mask;
    SetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, memberNr), SwapMask32(mask));
    ConfigChanged();
}

bool CEtsDbManagement::AddGroupMember(int groupNr, int memberNr)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, MemberNr = %d", groupNr, memberNr);
    if (groupNr < 1 || groupNr > kGroupCount || !ValidMemberNr(memberNr) || !CanAddGroupMember(groupNr))
        return false;
    MemberRecord& member = Member(memberNr);
    member.groupMask |= 1u << (groupNr - 1);
    SetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, memberNr), SwapMask32(member.groupMask));
    ConfigChanged();
    return true;
}

void CEtsDbManagement::RemoveGroupMember(int groupNr, int memberNr)
{
    if (groupNr < 1 || groupNr > kGroupCount || !ValidMemberNr(memberNr))
        return;
    MemberRecord& member = Member(memberNr);
    const std::uint32_t bit = 1u << (groupNr - 1);
    if (!(member.groupMask & bit))
        return;
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, MemberNr = %d", groupNr, memberNr);
    member.groupMask &= ~bit;
    if (member.groupMask != 0)
        SetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, memberNr),
                            SwapMask32(member.groupMask));
    else
        ResetMemberParameters(memberNr, false);
    InvalidateGateway();
}

void CEtsDbManagement::CopyMember(int memberNr, MemberClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", memberNr);
    if (!ValidMemberNr(memberNr))
        return;
    MemberClipboard& c = clipboard ? *clipboard : m_MemberClipboard;
    c.name = GetMember(memberNr).name;
    c.type = GetMember(memberNr).type;
    c.valid = true;
}

bool CEtsDbManagement::PasteMember(int memberNr, MemberClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", memberNr);
    MemberClipboard& c = clipboard ? *clipboard : m_MemberClipboard;
    if (!c.valid || !ValidMemberNr(memberNr))
        return false;
    Member(memberNr).name = c.name;
    Member(memberNr).type = c.type;
    SetParameterString(GetMemberUniqueNr(param::kMemberName, memberNr), c.name);
    SetParameterLong(GetMemberBlockUniqueNr(param::kMemberType, memberNr), c.type);
    ConfigChanged();
    return true;
}

void CEtsDbManagement::ChangeMemberNr(int memberNr, int newMemberNr)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, NewValue = %d", memberNr, newMemberNr);
    const int m = memberNr, n = newMemberNr;
    if (m == n || !ValidMemberNr(m) || !ValidMemberNr(n))
        return;
    if (IsMemberAssigned(m))
        SetMemberAssigned(m, false);
    if (IsMemberAssigned(n))
        SetMemberAssigned(n, false);
    const std::uint32_t maskM = Member(m).groupMask, maskN = Member(n).groupMask;
    const bool singleM = Member(m).single, singleN = Member(n).single;

    if (singleM || singleN) {
        GroupClipboard copyM, copyN;
        CopyGroup(m + kGroupCount, &copyM);
        CopyGroup(n + kGroupCount, &copyN);
        PasteGroup(m + kGroupCount, &copyN);
        PasteGroup(n + kGroupCount, &copyM);
        Member(m).single = singleN;
        Member(n).single = singleM;
        for (int s = 1; s <= kSceneCount; ++s) {
            if (!SceneExists(s))
                continue;
            const std::uint16_t entryM = RemoveGroupFromScene(s, m + kGroupCount, true);
            const std::uint16_t entryN = RemoveGroupFromScene(s, n + kGroupCount, true);
            if (singleN && entryN != 0)
                AddGroupToScene(s, m + kGroupCount, entryN);
            if (singleM && entryM != 0)
                AddGroupToScene(s, n + kGroupCount, entryM);
        }
        for (int e = 1; e <= kEffectCount; ++e) {
            for (int k = 1; k <= GetEffectStepCount(e); ++k) {
                const std::uint16_t entryM = RemoveGroupFromEffectStep(e, k, m + kGroupCount);
                const std::uint16_t entryN = RemoveGroupFromEffectStep(e, k, n + kGroupCount);
                if (entryN != 0)
                    AddGroupToEffectStep(e, k, m + kGroupCount, entryN);
                if (entryM != 0)
                    AddGroupToEffectStep(e, k, n + kGroupCount, entryM);
            }
        }
    } else {
        MemberClipboard copyM, copyN;
        CopyMember(m, &copyM);
        CopyMember(n, &copyN);
        PasteMember(m, &copyN);
        PasteMember(n, &copyM);
    }
    Member(m).groupMask = maskN;
    Member(n).groupMask = maskM;
    SetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, m), SwapMask32(maskN));
    SetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, n), SwapMask32(maskM));
}

void CEtsDbManagement::ResetMemberParameters(int memberNr, bool all)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, All = %d", memberNr, all ? 1 : 0);
    if (!ValidMemberNr(memberNr))
        return;
    MemberRecord& member = Member(memberNr);
    if (all || member.randomNr == 0) {
        member = MemberRecord{};
        member.name = GetLabel(LabelMember);
        SetParameterLong(GetMemberUniqueNr(param::kMemberRandomAddress, memberNr), 0);
        SetParameterLong(GetMemberUniqueNr(param::kMemberFoundType, memberNr), 0);
    } else {
        // The gear found on the line stays known.
        member.name = GetLabel(LabelMember);
        member.single = false;
        member.groupMask = 0;
        member.type = 0;
        member.assigned = false;
    }
    SetParameterString(GetMemberUniqueNr(param::kMemberName, memberNr), GetLabel(LabelMember));
    SetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, memberNr), 0);
    SetParameterLong(GetMemberBlockUniqueNr(param::kMemberType, memberNr), 0);
    SetParameterLong(GetMemberUniqueNr(param::kMemberAssigned, memberNr), 0);
    // The single's emergency-lamp flag lies in the member's block, outside the group defaults that
    // reset a single: without this a new single on the same gear would start as an emergency lamp.
    ResetParameter(GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, memberNr));
}

bool CEtsDbManagement::ConfirmMemberTypeChange(int memberNr, int projected)
{
    if (CheckAssignedMemberType(memberNr, projected))
        return true;
    if (!ConfirmDeletingAssignments())
        return false;
    SetMemberAssigned(memberNr, false);
    InvalidateGateway();
    return true;
}

bool CEtsDbManagement::UpdateEmergencyLampFlag(int singleNr, bool write)
{
    if (singleNr <= 0) {
        bool any = false;
        for (int s = 1; s <= kSingleCount; ++s)
            any = UpdateEmergencyLampFlag(s, write) || any;
        return any;
    }
    if (write)
        TRACE_MSG(TRACE_INFO, "SingleNr = %d", singleNr);
    if (!SingleExists(singleNr))
        return false;
    const bool flag = m_nEmergencyLamps != 0 && m_nEmergencyLampSystem != 0 && GetMemberType(singleNr) == 1;
    const UniqueNr number = GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, singleNr);
    if (write) {
        SetParameterLong(number, flag ? 1 : 0);
        return true;
    }
    if ((GetParameterLong(number, 0) != 0) == flag)
        return false;
    return CheckParameterDependentObjectAssociations(number);
}
