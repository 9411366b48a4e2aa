#include "ui/DlgParameterAddressing.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/WaitCursor.h"

namespace {

enum : int
{
    IdAddressing = 563,
};

constexpr UniqueNr kAutoChangeDefect = 736;
constexpr UniqueNr kGeneralErrorStatus = 65042;
constexpr UniqueNr kEmergencyLampFeedback = 772;
constexpr UniqueNr kEmergencyTotalFeedback = 65034;
constexpr UniqueNr kCollectiveFeedback = 65006;
constexpr UniqueNr kCollectiveActive = 65007;
constexpr UniqueNr kGroupFeedbackObjects = 65051;  // two, 16 groups each
constexpr UniqueNr kSingleFeedbackObjects = 65053; // four, 16 singles each

} // namespace

CDlgParameterAddressing::CDlgParameterAddressing(IMainWindow& main) : CParameterDialog(247, main)
{
    static const BindingTable table{
        {Combo(IdAddressing, 562, param::kAddressingMode, BindCustom | BindBuffered)},
        {},
    };
    SetBindingTable(table);
}

int CDlgParameterAddressing::GroupCountOf(int mode)
{
    constexpr int counts[] = {1, 16, 32, 16, 32, 0};
    return mode >= 0 && mode <= 5 ? counts[mode] : 0;
}

int CDlgParameterAddressing::SingleCountOf(int mode)
{
    return mode >= 3 && mode <= 5 ? kSingleCount : 0;
}

void CDlgParameterAddressing::OnSelChange(int idc)
{
    if (idc == IdAddressing)
        OnAddressingModeChange();
    else
        CParameterDialog::OnSelChange(idc);
}

void CDlgParameterAddressing::OnAddressingModeChange()
{
    std::int32_t& cache = BoundRef(IdAddressing);
    const std::int32_t old = cache;
    if (!ComboboxChanged(IdAddressing, param::kAddressingMode, &cache))
        return;
    WaitCursor wait;
    const std::int32_t mode = cache;
    TRACE_MSG(TRACE_INFO, "Addressing mode %ld -> %ld", static_cast<long>(old), static_cast<long>(mode));
    CEtsDbManagement& m = Model();
    const int groups = GroupCountOf(mode), singles = SingleCountOf(mode);
    bool deletion = mode == 0 && m.GetGroupMemberCount(1) > 0;
    for (int g = groups + 1; g <= kGroupCount && !deletion; ++g)
        deletion = m.GroupExists(g);
    for (int s = singles + 1; s <= kSingleCount && !deletion; ++s)
        deletion = m.SingleExists(s);
    bool refused = deletion && !m.ConfirmDeletingGroupsOrDevices();

    std::vector<UniqueNr> reset;
    if (mode == 0) {
        reset = {param::kAckDeviceState, param::kAckDeviceStateObjectValue, kGeneralErrorStatus,
                 param::kUseCentralObject};
        if (m.IsEmergencyLampsUsed())
            reset.insert(reset.end(),
                         {param::kEmergencyLamps, kEmergencyLampFeedback, kEmergencyTotalFeedback});
    }
    if (m.GetParameterLong(kCollectiveFeedback, 0) != 0) {
        for (int k = mode == 0 ? 0 : (groups + 15) / 16; k <= 1; ++k)
            reset.push_back(kGroupFeedbackObjects + k);
        for (int k = mode == 0 ? 0 : (singles + 15) / 16; k <= 3; ++k)
            reset.push_back(kSingleFeedbackObjects + k);
    }
    if (!refused && !reset.empty())
        refused = !m.CanChangeValueAfterCheckObjectAssociations(reset);
    if (refused) {
        cache = old;
        m.SetParameterLong(param::kAddressingMode, old);
        RestoreBoundValue(IdAddressing);
        return;
    }
    ApplyAddressingMode(old, mode, reset);
}

void CDlgParameterAddressing::ApplyAddressingMode(std::int32_t old, std::int32_t mode,
                                                  const std::vector<UniqueNr>& reset)
{
    CEtsDbManagement& m = Model();
    const int groups = GroupCountOf(mode), singles = SingleCountOf(mode);
    for (UniqueNr n : reset) {
        m.SetParameterLong(n, 0);
        if (n == param::kEmergencyLamps || n == param::kUseCentralObject)
            m.SetDeviceContext(n, 0);
    }
    // Deleted while the old mode still counts them.
    for (int g = groups + 1; g <= kGroupCount; ++g)
        if (m.GroupExists(g))
            m.DeleteGroup(g);
    for (int s = singles + 1; s <= kSingleCount; ++s)
        if (m.SingleExists(s))
            m.DeleteGroup(kGroupCount + s);
    m.SetDeviceContext(param::kAddressingMode, mode);
    const bool collective = m.GetParameterLong(kCollectiveFeedback, 0) != 0;
    if (mode == 0) {
        for (UniqueNr n : {kAutoChangeDefect, param::kAckDeviceState, param::kAckDeviceStateObjectValue,
                           kGeneralErrorStatus})
            m.SetParameterLong(n, 0);
        if (collective)
            m.SetParameterLong(kCollectiveFeedback, 0);
        if (m.GetDaliDeviceTypeSetting() != 0) {
            m.SetParameterLong(param::kDaliDeviceTypeSetting, 0);
            m.SetDeviceContext(param::kDaliDeviceTypeSetting, 0);
        }
        for (int d = 1; d <= kMemberCount; ++d)
            if (m.IsMemberAssigned(d))
                m.SetMemberAssigned(d, false);
        if (m.GroupExists(1)) {
            for (int d = 1; d <= kMemberCount; ++d)
                if (m.IsGroupMember(1, d))
                    m.RemoveGroupMember(1, d);
            m.RefreshGroupObjectNames(1);
        } else {
            m.CreateGroup(1);
        }
    } else {
        if (old == 0)
            m.RefreshGroupObjectNames(1);
        if (groups > 0 && !m.GroupExists(0))
            m.CreateGroup(1);
        if (singles > 0 && !m.SingleExists(0))
            m.CreateSingle(m.GetNextFreeSingleNr());
        if (collective) {
            // Feedback objects that were off take the collective feedback's kind.
            const std::int32_t value = m.GetParameterLong(kCollectiveActive, 0) + 1;
            for (int k = 0; k < (groups + 15) / 16; ++k)
                if (m.GetParameterLong(kGroupFeedbackObjects + k, 0) == 0)
                    m.SetParameterLong(kGroupFeedbackObjects + k, value);
            for (int k = 0; k < (singles + 15) / 16; ++k)
                if (m.GetParameterLong(kSingleFeedbackObjects + k, 0) == 0)
                    m.SetParameterLong(kSingleFeedbackObjects + k, value);
        }
    }
    // The rebuild may select another node, which replaces this page: nothing of it is used after.
    if (CPluginTreeCtrlView* tree = Tree()) {
        tree->UpdateAddressing();
        if (old == 0 || mode == 0)
            tree->UpdateEmergencyLamps(nullptr);
    }
}
