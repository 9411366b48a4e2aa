#include "ui/DlgParameterGroupTimeswitchFunction.h"

#include "model/EtsDbManagement.h"

namespace {

enum : int
{
    IdOptionTimeFunction = 262,
    IdRetrigger = 252,
    IdEndBehavior = 260,
    IdAdditionalFunction = 685,
};

constexpr unsigned G = BindGroup;
constexpr UniqueNr kAfterReturnOfBusPower = 115;
constexpr std::int32_t kAfterReturnStaircase = 7;
constexpr std::int32_t kAfterReturnLastValue = 3;

} // namespace

CDlgParameterGroupTimeswitchFunction::CDlgParameterGroupTimeswitchFunction(IMainWindow& main, int groupNr)
    : CParameterDialog(232, main)
{
    static const BindingTable table{
        {
            Combo(IdOptionTimeFunction, 261, 408, G | BindCheck),
            Time(250, 249, kHms, 401, 402, 403, 1, 298, 880, G),
            Combo(IdRetrigger, 251, 405, G),
            Combo(254, 253, 404, G),
            Combo(IdEndBehavior, 259, 426, G),
            Time(258, 257, kHms, 422, 418, 419, 1, 299, 880, G),
            ComboWindow(256, 255, 420, 0, -1, G | BindLightnessWindow),
            Combo(IdAdditionalFunction, 684, 428, G | BindCheck),
            Combo(687, 686, 429, G | BindCheck),
            Combo(691, 690, 425, G),
        },
        {
            {"ShowHideOptionTimeFunctionDependentElements",
             {249, 250, 298, 253, 254, 251, 252, 259, 260, 684, 685},
             {On(IdOptionTimeFunction)}},
            {"ShowHideAdvanceWarningDependentElements",
             {255, 256},
             {On(IdOptionTimeFunction), On(IdEndBehavior)}},
            {"ShowHideAdvanceWarningDependentElements",
             {257, 258, 299},
             {On(IdOptionTimeFunction), Is(IdEndBehavior, 1)}},
            {"ShowHideAdditionalStaircaseFunctionDependentElements",
             {686, 687},
             {On(IdOptionTimeFunction), Is(IdAdditionalFunction, 1)}},
            {"ShowHideAdditionalStaircaseFunctionDependentElements",
             {690, 691},
             {On(IdOptionTimeFunction), Is(IdAdditionalFunction, 2)}},
            // A prolonged staircase is not retriggered (shown only with the option on).
            {"ShowHideAdditionalStaircaseFunctionDependentElements",
             {IdRetrigger},
             {IsNot(IdAdditionalFunction, 2)},
             ShowRule::Enable},
        },
    };
    SetBindingTable(table, groupNr);
}

void CDlgParameterGroupTimeswitchFunction::OnBindingChanged(int idc)
{
    CEtsDbManagement& m = Model();
    const int group = BindGroupNr();
    switch (idc) {
    case IdOptionTimeFunction: {
        // Without the staircase its start after the return of bus power is not offered.
        const UniqueNr afterReturn = GetGroupUniqueNr(kAfterReturnOfBusPower, group);
        if (BoundValue(idc) == 0 && m.GetParameterLong(afterReturn, 0) == kAfterReturnStaircase)
            m.SetParameterLong(afterReturn, kAfterReturnLastValue);
        break;
    }
    case IdEndBehavior: {
        const std::int32_t end = BoundValue(idc);
        m.SetParameterLong(GetGroupUniqueNr(411, group), end != 0 ? 1 : 0);
        m.SetParameterLong(GetGroupUniqueNr(427, group), end == 2 ? 1 : 0);
        break;
    }
    case IdAdditionalFunction:
        if (BoundValue(idc) == 2 && BoundValue(IdRetrigger) != 0)
            SetBoundValue(IdRetrigger, 0);
        break;
    default:
        break;
    }
}
