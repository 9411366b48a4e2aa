#include "ui/DlgParameterManualOperation.h"

#include "model/EtsDbManagement.h"
#include "ui/WaitCursor.h"

namespace {

enum : int
{
    IdManualOperation = 220,
    IdLock = 226,
    IdSendState = 230,
};

const BindingTable& Table()
{
    static const BindingTable table{
        {
            Combo(224, 223, 728),
            Combo(IdManualOperation, 219, 727, BindCustom),
            Combo(IdLock, 225, 739, BindCheck),
            Combo(228, 227, 725),
            Combo(IdSendState, 229, 740, BindCheck),
            Combo(232, 231, 729),
            Combo(234, 233, 730),
            Combo(222, 221, 731),
        },
        {
            {"ShowHideManualOperationDependentParams",
             {225, 226, 229, 230, 233, 234, 221, 222},
             {On(IdManualOperation)}},
            {"ShowHidePolarityLockObjectManualOperation", {227, 228}, {On(IdManualOperation), On(IdLock)}},
            {"ShowHideFunctionAndPolarityStateObject", {231, 232}, {On(IdManualOperation), On(IdSendState)}},
        },
    };
    return table;
}

} // namespace

CDlgParameterManualOperation::CDlgParameterManualOperation(IMainWindow& main) : CParameterDialog(229, main)
{
    SetBindingTable(Table());
}

void CDlgParameterManualOperation::OnSelChange(int idc)
{
    if (idc != IdManualOperation)
        return CParameterDialog::OnSelChange(idc);
    std::int32_t& cache = BoundRef(IdManualOperation);
    const std::int32_t now = GetComboboxEnumValue(IdManualOperation);
    if (now == cache)
        return;
    WaitCursor wait;
    CEtsDbManagement& m = Model();
    if (now == 0) {
        // Without manual operation its lock and state objects go, with their associations.
        if ((m.CheckParameterDependentObjectAssociations(BoundNumber(IdLock)) ||
             m.CheckParameterDependentObjectAssociations(BoundNumber(IdSendState))) &&
            !m.ConfirmDeletingAssociations()) {
            RestoreBoundValue(IdManualOperation);
            return;
        }
        SetBoundValue(IdLock, 0);
        SetBoundValue(IdSendState, 0);
    }
    cache = now;
    m.SetParameterLong(BoundNumber(IdManualOperation), now);
    ApplyRules();
}
