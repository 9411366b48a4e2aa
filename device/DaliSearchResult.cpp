#include "device/DaliSearchResult.h"

#include "trace/DebugTrace.h"

CSearchApplication ApplySearchResult(CEtsDbManagement& model, const CDaliSearchResult& result)
{
    TRACE_ENTRY();
    CSearchApplication application;
    if (!result.Succeeded()) {
        TRACE_MSG(TRACE_INFO, "Search not applied: %s",
                  result.outcome == EProcedureOutcome::Cancelled ? "cancelled" : result.reason.c_str());
        return application;
    }
    application.applied = true;
    for (int memberNr = 1; memberNr <= protocol::kGearCount; ++memberNr) {
        const auto n = static_cast<std::size_t>(memberNr - 1);
        const std::int32_t address = result.addresses[n];
        const bool hasGroups = model.MemberHasGroups(memberNr) || model.SingleExists(memberNr);
        const bool wasAssigned = model.IsMemberAssigned(memberNr);
        const std::int32_t before = model.GetMemberRandomNr(memberNr);
        const bool stillAssigned = address != 0 && hasGroups && wasAssigned && before == address;
        if (stillAssigned != wasAssigned || address != before) {
            application.changedMembers.push_back(memberNr);
            application.groupsChanged = application.groupsChanged || hasGroups;
        }
        model.SetMemberRandomNr(memberNr, address);
        model.SetMemberFoundType(memberNr, result.types[n]);
        model.SetMemberAssigned(memberNr, stillAssigned);
    }
    return application;
}
