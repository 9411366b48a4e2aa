#include "ui/DlgParameterGroupTimeFunction.h"

#include "ui/DlgParameterGroupFunctions.h"

namespace {

enum : int
{
    IdSwitchTimeFunction = 248,
    IdSwitchTime = 288,
    IdSwitchRetrigger = 290,
    IdOffTime = 294,
    IdOffRetrigger = 292,
    IdSoftOnTime = 262,
    IdSoftOffTime = 266,
};

constexpr unsigned G = BindGroup;

} // namespace

CDlgParameterGroupTimeFunction::CDlgParameterGroupTimeFunction(IMainWindow& main, int groupNr)
    : CParameterDialog(221, main)
{
    static const BindingTable table{
        {
            Combo(IdSwitchTimeFunction, 247, 421, G),
            Time(IdSwitchTime, 287, kHms, 0, 0, 0, 1, 298, 880, G | BindDeferred),
            Combo(IdSwitchRetrigger, 289, 0, G | BindDeferred),
            Time(IdOffTime, 293, kHms, 0, 0, 0, 1, 299, 880, G | BindDeferred),
            Combo(IdOffRetrigger, 291, 0, G | BindDeferred),
            Combo(260, 259, 332, G),
            Time(IdSoftOnTime, 261, kHms, 307, 308, 309, 1, 296, 880, G),
            Combo(264, 263, 333, G),
            Time(IdSoftOffTime, 265, kHms, 310, 311, 312, 1, 297, 880, G),
        },
        {
            {"ShowHideSwitchTimeFunctionDependentElements",
             {287, 288, 298, 289, 290},
             {OneOf(IdSwitchTimeFunction, 1U << 1 | 1U << 2 | 1U << 3)}},
            {"ShowHideSwitchTimeFunctionDependentElements",
             {293, 294, 299, 291, 292},
             {Is(IdSwitchTimeFunction, 3)}},
            {"ShowHideSoftOnFunctionDependentElements", {262, 261, 296}, {On(260)}},
            {"ShowHideSoftOffFunctionDependentElements", {266, 265, 297}, {On(264)}},
        },
    };
    SetBindingTable(table, groupNr);
}

UniqueNr CDlgParameterGroupTimeFunction::GetUniqueNr(int i, std::int32_t switchTimeFunction)
{
    constexpr UniqueNr bases[8] = {431, 432, 433, 434, 436, 437, 438, 439};
    constexpr UniqueNr staircase[8] = {407, 415, 416, 417, 406, 412, 413, 414};
    if (i < 0 || i > 7)
        return 0;
    return switchTimeFunction == 3 ? staircase[i] : bases[i];
}

bool CDlgParameterGroupTimeFunction::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    ShowHideSwitchTimeFunctionDependentElements();
    return true;
}

void CDlgParameterGroupTimeFunction::ShowHideSwitchTimeFunctionDependentElements()
{
    const std::int32_t v = BoundValue(IdSwitchTimeFunction);
    auto u = [v](int i) {
        return GetUniqueNr(i, v);
    };
    if (v == 1 || v == 3) {
        RebindControl(IdSwitchTime, u(5), u(6), u(7));
        RebindControl(IdSwitchRetrigger, 0, 0, u(4));
    } else if (v == 2) {
        RebindControl(IdSwitchTime, u(1), u(2), u(3));
        RebindControl(IdSwitchRetrigger, 0, 0, u(0));
    }
    if (v == 3) {
        RebindControl(IdOffTime, u(1), u(2), u(3));
        RebindControl(IdOffRetrigger, 0, 0, u(0));
    }
    ApplyRules();
}

void CDlgParameterGroupTimeFunction::OnKillFocus(int idc)
{
    CParameterDialog::OnKillFocus(idc);
    if (idc == IdSoftOnTime || idc == IdSoftOffTime)
        WriteDimStepTime(*this, idc, BindGroupNr(), idc == IdSoftOnTime ? 319 : 322);
}

void CDlgParameterGroupTimeFunction::OnBindingChanged(int idc)
{
    if (idc == IdSwitchTimeFunction)
        ShowHideSwitchTimeFunctionDependentElements();
}
