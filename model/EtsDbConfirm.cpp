// Confirmations before destructive changes, and the emergency lighting predicates.
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

bool CEtsDbManagement::ConfirmLosing(UniqueNr messageNr, const char* defaultMessage)
{
    const std::string message = GetParameterString(messageNr, defaultMessage);
    const std::string question = GetParameterString(934, "Continue?");
    const std::string caption = GetParameterText(903, "Warning");
    return Ask(caption, message + "\n" + question, PromptButtons::YesNo, PromptIcon::Exclamation) ==
           PromptAnswer::Yes;
}

bool CEtsDbManagement::ConfirmDeletingAssociations()
{
    TRACE_ENTRY();
    return ConfirmLosing(933, "GA associations getting lost");
}

bool CEtsDbManagement::ConfirmDeletingAssignments()
{
    TRACE_ENTRY();
    return ConfirmLosing(979, "EVG assignments getting lost");
}

bool CEtsDbManagement::ConfirmDeletingSceneAssignments()
{
    TRACE_ENTRY();
    return ConfirmLosing(998, "Scene assignments getting lost");
}

bool CEtsDbManagement::ConfirmDeletingGroupsOrDevices()
{
    TRACE_ENTRY();
    const std::string message = GetParameterString(966, "DALI groups or devices getting lost");
    return Ask("Veltrona", message, PromptButtons::OkCancel, PromptIcon::Question) == PromptAnswer::Ok;
}

bool CEtsDbManagement::IsDaliEmergencyTypeInUse() const
{
    return m_nEmergencyLamps != 0 && m_nDaliEmergencyDeviceType != 0 &&
           (m_nEmergencyLampSystem == 1 || m_nEmergencyLampSystem == 2);
}

bool CEtsDbManagement::IsEmergencyGroup(int groupNr) const
{
    if (!IsEmergencyLampsUsed() || !GroupExists(groupNr))
        return false;
    if (m_nEmergencyLampSystem != 0 && groupNr > kGroupCount && GetMemberType(groupNr - kGroupCount) == 1)
        return true;
    if (m_nEmergencyLampSystem != 1) {
        const UniqueNr base = m_nEmergencyFeedback == 2 ? 234 : 235;
        return GetParameterLong(GetGroupUniqueNr(base, groupNr), 0) != 0;
    }
    return false;
}

std::string CEtsDbManagement::GetEmergencyFeedbackText(int kind) const
{
    if (kind < 0)
        kind = m_nEmergencyFeedback;
    switch (kind) {
    case 0:
        return GetLabel(LabelEL);
    case 1:
        return GetLabel(LabelELKnx);
    case 2:
        return GetLabel(LabelELKnxDali);
    default:
        return {};
    }
}

void CEtsDbManagement::UseDaliEmergencyDeviceType()
{
    if (m_nEmergencyLampSystem != 1 && m_nEmergencyLampSystem != 2)
        return;
    TRACE_ENTRY();
    m_nDaliEmergencyDeviceType = 1;
    SetParameterLong(param::kDaliEmergencyDeviceType, 1);
}
