#include "ui/DlgParameterGroupEmergencySupply.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "ui/WaitCursor.h"

namespace {

enum : int
{
    IdExtent = 589,
    IdLampAssignment = 629,
    IdEmergencyOperation = 633,
    IdBehavior = 637,
};

constexpr unsigned G = BindGroup;
constexpr unsigned kLightness = BindGroup | BindLightnessWindow;

} // namespace

CDlgParameterGroupEmergencySupplyCentral::CDlgParameterGroupEmergencySupplyCentral(IMainWindow& main,
                                                                                   int groupNr)
    : CParameterDialog(257, main)
{
    static const BindingTable table{
        {
            // The extent is chosen on the central supply's page; shown here only.
            Combo(IdExtent, 588, param::kEmergencyFeedback, BindCustom | BindDisabled),
            Combo(IdLampAssignment, 628, 235, G | BindCustom),
            ComboWindow(631, 630, 230, 0, 255, kLightness, 25),
            Combo(IdEmergencyOperation, 632, 234, G | BindCustom),
            Combo(IdBehavior, 636, 236, G),
            ComboWindow(635, 634, 231, 0, 255, kLightness, 25),
        },
        {
            {"ShowHideEmergencyLampParameters", {628, 629}, {IsNot(IdExtent, 2)}},
            {"ShowHideEmergencyLampParameters", {630, 631}, {IsNot(IdExtent, 2), On(IdLampAssignment)}},
            {"ShowHideEmergencyOpParameters", {632, 633}, {Is(IdExtent, 2)}},
            {"ShowHideEmergencyOpParameters", {636, 637}, {Is(IdExtent, 2), On(IdEmergencyOperation)}},
            {"ShowHideEmergencyOpBeginBehaviorParameters",
             {634, 635},
             {Is(IdExtent, 2), On(IdEmergencyOperation), On(IdBehavior)}},
        },
    };
    SetBindingTable(table, groupNr);
}

void CDlgParameterGroupEmergencySupplyCentral::OnSelChange(int idc)
{
    if (idc != IdLampAssignment && idc != IdEmergencyOperation)
        return CParameterDialog::OnSelChange(idc);
    std::int32_t& cache = BoundRef(idc);
    const std::int32_t old = cache;
    if (!ComboboxChanged(idc, 0, &cache))
        return;
    WaitCursor wait;
    CEtsDbManagement& m = Model();
    const int group = BindGroupNr();
    // Only a group that becomes an emergency group has to leave its scenes and effects.
    const bool leaveScenes = cache != 0 && m.GetParameterLong(param::kEmergencyInScenesAllowed, 0) == 0 &&
                             m.IsGroupUsedInScenesOrEffects(group);
    if (leaveScenes && !m.ConfirmDeletingSceneAssignments()) {
        cache = old;
        RestoreBoundValue(idc);
        return;
    }
    m.SetParameterLong(BoundNumber(idc), cache);
    if (leaveScenes)
        m.RemoveGroupFromScenesAndEffects(group);
    ApplyRules();
}

CDlgParameterGroupEmergencySupplyIndividual::CDlgParameterGroupEmergencySupplyIndividual(IMainWindow& main,
                                                                                         int groupNr)
    : CParameterDialog(258, main)
{
    static const BindingTable table{
        {
            Combo(641, 640, 232, G, 25),
            Combo(643, 642, 237, G, 2),
            Combo(645, 644, 239, G, 255),
            Combo(647, 646, 233, G, 255),
            Combo(649, 648, 240, G),
            Combo(651, 650, 241, G),
            Combo(653, 652, 242, G),
            Combo(655, 654, 243, G),
        },
        {},
    };
    SetBindingTable(table, groupNr);
}
