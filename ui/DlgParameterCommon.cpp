#include "ui/DlgParameterCommon.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/WaitCursor.h"

#include <vector>

namespace {

enum : int
{
    IdEmergencyLamps = 555,
    IdEmergencyDeviceType = 561,
};

constexpr UniqueNr kGlobalFeedback = 65017;
constexpr UniqueNr kGlobalPowerOffDelayed = 65022;
constexpr UniqueNr kGlobalPowerOnDelayed = 65023;
constexpr UniqueNr kEmergencyLampFeedback = 772;
constexpr UniqueNr kEmergencyTotalFeedback = 65034;

const BindingTable& Table()
{
    static const BindingTable table{
        {
            Combo(227, 226, 736),
            Combo(231, 230, 732),
            Combo(223, 222, param::kUseCentralObject, BindCheck | BindBuffered),
            Combo(225, 224, 726),
            Combo(IdEmergencyLamps, 554, param::kEmergencyLamps, BindCustom | BindBuffered),
            Combo(559, 558, param::kDaliDeviceTypeSetting, BindBuffered),
            Combo(IdEmergencyDeviceType, 560, param::kDaliEmergencyDeviceType, BindBuffered | BindDisabled),
        },
        {
            // One central group offers neither a central object nor emergency lamps.
            {"ShowHidePolarityCentralObject", {222, 223}, {ParamIsNot(param::kAddressingMode, 0)}},
            {"ShowHidePolarityCentralObject", {224, 225}, {ParamIsNot(param::kAddressingMode, 0), On(223)}},
            {"AddressingMode",
             {226, 227, 554, 555, 558, 559},
             {ParamIsNot(param::kAddressingMode, 0)},
             ShowRule::Enable},
            {"ShowHideEmergencyDeviceType",
             {560, 561},
             {Off(559), ParamOn(param::kEmergencyLamps), ParamIsNot(param::kEmergencyLampSystem, 0)}},
        },
    };
    return table;
}

} // namespace

CDlgParameterCommon::CDlgParameterCommon(IMainWindow& main) : CParameterDialog(216, main)
{
    SetBindingTable(Table());
}

void CDlgParameterCommon::OnSelChange(int idc)
{
    if (idc == IdEmergencyLamps)
        OnEmergencyLampsChange();
    else
        CParameterDialog::OnSelChange(idc);
}

void CDlgParameterCommon::OnEmergencyLampsChange()
{
    std::int32_t& cache = BoundRef(IdEmergencyLamps);
    const std::int32_t old = cache;
    if (!ComboboxChanged(IdEmergencyLamps, 0, &cache))
        return;
    WaitCursor wait;
    const std::int32_t now = cache;
    CEtsDbManagement& m = Model();
    auto refuse = [&] {
        m.SetDeviceContext(param::kEmergencyLamps, old);
        cache = old;
        RestoreBoundValue(IdEmergencyLamps);
    };
    // Which groups hold emergency lamps is judged as if they were in use already.
    m.SetDeviceContext(param::kEmergencyLamps, now);
    std::vector<int> leaveScenes;
    if (now != 0) {
        if (m.GetParameterLong(param::kEmergencyInScenesAllowed, 0) == 0) {
            std::vector<int> used;
            for (int g = 1; g <= kGroupCount + kSingleCount; ++g)
                if (m.IsEmergencyGroup(g) && m.IsGroupUsedInScenesOrEffects(g))
                    used.push_back(g);
            if (!used.empty()) {
                if (!m.ConfirmDeletingSceneAssignments())
                    return refuse();
                leaveScenes = std::move(used);
            }
        }
    } else if ((m.CheckParameterDependentObjectAssociations(param::kEmergencyLamps) ||
                m.CheckParameterDependentObjectAssociations(kEmergencyTotalFeedback)) &&
               !m.ConfirmDeletingAssociations()) {
        return refuse();
    }
    m.SetParameterLong(param::kEmergencyLamps, now);
    if (now != 0) {
        m.UseDaliEmergencyDeviceType();
        if (m.GetParameterLong(kGlobalFeedback, 0) != 0) {
            m.SetParameterLong(kGlobalPowerOffDelayed, 0);
            m.SetParameterLong(kGlobalPowerOnDelayed, 0);
        }
        for (int g : leaveScenes)
            m.RemoveGroupFromScenesAndEffects(g);
    } else {
        m.SetParameterLong(kEmergencyLampFeedback, 0);
        m.SetParameterLong(kEmergencyTotalFeedback, 0);
    }
    m.UpdateEmergencyLampFlag(0, true);
    BindControl(IdEmergencyDeviceType);
    ApplyRules();
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateEmergencyLamps(nullptr);
}
