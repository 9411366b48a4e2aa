#include "ui/DlgParameterEmergencyLamps.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/WaitCursor.h"

#include <vector>

namespace {

constexpr UniqueNr kInternalDetection = 65028;
constexpr UniqueNr kExternalDetection = 65029;
constexpr UniqueNr kMinFailedMembers = 65030;
constexpr UniqueNr kEmergencyDetection = 65031;
constexpr UniqueNr kSendEmergencyMessage = 65032;
constexpr UniqueNr kAcceptEmergencyMessage = 65033;
constexpr UniqueNr kEmergencyLampFeedback = 772;

} // namespace

// ---- emergency lamp system ------------------------------------------------------------------------

namespace {

enum : int
{
    IdLampSystem = 576,
    IdTotalFeedback = 578,
    IdTotalActive = 580,
    IdTotalCyclic = 584,
};

} // namespace

CDlgParameterEmergencyLamps::CDlgParameterEmergencyLamps(IMainWindow& main) : CParameterDialog(249, main)
{
    static const BindingTable table{
        {
            Combo(IdLampSystem, 575, param::kEmergencyLampSystem, BindCustom | BindBuffered),
            Combo(IdTotalFeedback, 577, 65034, BindCheck),
            Combo(IdTotalActive, 579, 65035, BindCheck),
            Combo(582, 581, 65036),
            Combo(IdTotalCyclic, 583, 65037),
            Time(586, 585, kMs, 0, 65038, 65039, -1, 587, 881, 0, 15),
        },
        {
            {"ShowHideEmergencyLampsFeedbackParameters", {579, 580}, {On(IdTotalFeedback)}},
            {"ShowHideEmergencyLampsActiveFeedbackParameters",
             {581, 582, 583, 584},
             {On(IdTotalFeedback), Off(IdTotalActive)}},
            {"ShowHideEmergencyLampTotalFeedbackCycleTime",
             {585, 586, 587},
             {On(IdTotalFeedback), Off(IdTotalActive), On(IdTotalCyclic)}},
        },
    };
    SetBindingTable(table);
}

void CDlgParameterEmergencyLamps::OnSelChange(int idc)
{
    if (idc == IdLampSystem)
        OnEmergencyLampSystemChange();
    else
        CParameterDialog::OnSelChange(idc);
}

void CDlgParameterEmergencyLamps::OnEmergencyLampSystemChange()
{
    std::int32_t& cache = BoundRef(IdLampSystem);
    const std::int32_t old = cache;
    if (!ComboboxChanged(IdLampSystem, 0, &cache))
        return;
    WaitCursor wait;
    const std::int32_t now = cache;
    CEtsDbManagement& m = Model();
    auto refuse = [&] {
        m.SetDeviceContext(param::kEmergencyLampSystem, old);
        cache = old;
        RestoreBoundValue(IdLampSystem);
    };
    // Emergency groups and device flags are judged under the new supply.
    m.SetDeviceContext(param::kEmergencyLampSystem, now);
    std::vector<int> leaveScenes;
    if (m.GetParameterLong(param::kEmergencyInScenesAllowed, 0) == 0)
        for (int g = 1; g <= kGroupCount + kSingleCount; ++g)
            if (m.IsEmergencyGroup(g) && m.IsGroupUsedInScenesOrEffects(g))
                leaveScenes.push_back(g);
    if (!leaveScenes.empty() && !m.ConfirmDeletingSceneAssignments())
        return refuse();
    // Only individual supply clears the central detection objects.
    bool associated = m.UpdateEmergencyLampFlag(0, false);
    if (now == 1)
        for (UniqueNr n :
             {kExternalDetection, kSendEmergencyMessage, kAcceptEmergencyMessage, kEmergencyLampFeedback})
            associated = associated || m.CheckParameterDependentObjectAssociations(n);
    if (associated && !m.ConfirmDeletingAssociations())
        return refuse();
    m.SetParameterLong(param::kEmergencyLampSystem, now);
    if (now != 0)
        m.UseDaliEmergencyDeviceType();
    if (now == 1)
        for (UniqueNr n :
             {kExternalDetection, kSendEmergencyMessage, kAcceptEmergencyMessage, kEmergencyLampFeedback})
            m.SetParameterLong(n, 0);
    m.UpdateEmergencyLampFlag(0, true);
    for (int g : leaveScenes)
        m.RemoveGroupFromScenesAndEffects(g);
    ApplyRules();
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateEmergencyLamps(nullptr);
}

// ---- supply ---------------------------------------------------------------------------------------

CDlgParameterEmergencySupplyCentral::CDlgParameterEmergencySupplyCentral(IMainWindow& main)
    : CParameterDialog(250, main)
{
    static const BindingTable table{{Combo(589, 588, param::kEmergencyFeedback, BindBuffered)}, {}};
    SetBindingTable(table);
}

void CDlgParameterEmergencySupplyCentral::OnBindingChanged(int idc)
{
    Q_UNUSED(idc);
    // The extent's node changes its type.
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateEmergencyLamps(nullptr);
}

CDlgParameterEmergencySupplyIndividual::CDlgParameterEmergencySupplyIndividual(IMainWindow& main)
    : CParameterDialog(251, main)
{
    static const BindingTable table{{Combo(591, 590, 775), Combo(593, 592, 776), Combo(595, 594, 777)}, {}};
    SetBindingTable(table);
}

// ---- operation extents ----------------------------------------------------------------------------

bool CDlgParameterEmergencyOpExtentElamps::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    QString text;
    if (GetTextByNumber(956, text))
        SetDlgItemText(596, text);
    return true;
}

bool CDlgParameterEmergencyOpExtentElampsAndKnx::OnInitDialog()
{
    CDlgParameterEmergencyOpExtentElamps::OnInitDialog();
    QString text;
    if (GetTextByNumber(957, text))
        SetDlgItemText(598, text);
    return true;
}

namespace {

enum : int
{
    IdDetection = 607,
    IdInternal = 601,
    IdMinFailed = 603,
    IdExternal = 605,
};

} // namespace

CDlgParameterEmergencyOpExtentElampsAndKnxAndDali::CDlgParameterEmergencyOpExtentElampsAndKnxAndDali(
    IMainWindow& main)
    : CParameterDialog(255, main)
{
    static const BindingTable table{
        {
            Combo(IdDetection, 606, kEmergencyDetection, BindCustom),
            Combo(IdInternal, 600, kInternalDetection, BindCustom | BindDisabled),
            NumberBox(IdMinFailed, 602, kMinFailedMembers, 1, 64, BindStepping | BindDeferred, 64),
            Combo(IdExternal, 604, kExternalDetection, BindCustom | BindDisabled),
            Combo(609, 608, kSendEmergencyMessage, BindCheck),
            Combo(611, 610, kAcceptEmergencyMessage),
            Combo(613, 612, 773),
            Combo(696, 0, 778),
            Time(615, 614, kMs, 0, 766, 767, -1, 616, 881),
        },
        {
            {"ShowHideEmergencyDetectionParameters", {600, 601, 602, 603}, {IsNot(IdDetection, 1)}},
            {"ShowHideEmergencyDetectionParameters", {604, 605}, {On(IdDetection)}},
            {"ShowHideEmergencyEndValue", {696}, {Is(613, 1)}},
        },
    };
    SetBindingTable(table);
}

bool CDlgParameterEmergencyOpExtentElampsAndKnxAndDali::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    ShowHideEmergencyDetectionParameters();
    return true;
}

void CDlgParameterEmergencyOpExtentElampsAndKnxAndDali::ShowHideEmergencyDetectionParameters()
{
    CEtsDbManagement& m = Model();
    const std::int32_t detection = BoundValue(IdDetection);
    // Each detection follows the choice; written only when it changes.
    auto follow = [&](UniqueNr number, int idc, std::int32_t value) {
        if (m.GetParameterLong(number, -1) != value)
            m.SetParameterLong(number, value);
        BoundRef(idc) = value;
        // The display shows the detection as used wherever it is shown.
        SelectComboboxEnumValue(idc, 1);
    };
    follow(kInternalDetection, IdInternal, detection != 1 ? 1 : 0);
    if (detection == 1) {
        if (m.GetParameterLong(kMinFailedMembers, -1) != 64)
            m.SetParameterLong(kMinFailedMembers, 64);
        BoundRef(IdMinFailed) = 64;
    } else {
        BindControl(IdMinFailed);
    }
    follow(kExternalDetection, IdExternal, detection != 0 ? 1 : 0);
    ApplyRules();
}

void CDlgParameterEmergencyOpExtentElampsAndKnxAndDali::OnSelChange(int idc)
{
    if (idc != IdDetection)
        return CParameterDialog::OnSelChange(idc);
    std::int32_t& cache = BoundRef(IdDetection);
    const std::int32_t old = cache;
    if (!ComboboxChanged(IdDetection, 0, &cache))
        return;
    WaitCursor wait;
    CEtsDbManagement& m = Model();
    // CanChangeEmergencyDetection: a detection that goes takes its associations along.
    auto loses = [&](UniqueNr number, std::int32_t value) {
        return m.GetParameterLong(number, 0) != value && m.CheckParameterDependentObjectAssociations(number);
    };
    const bool associated =
        loses(kInternalDetection, cache != 1 ? 1 : 0) || loses(kExternalDetection, cache != 0 ? 1 : 0);
    if (associated && !m.ConfirmDeletingAssociations()) {
        cache = old;
        RestoreBoundValue(IdDetection);
        return;
    }
    m.SetParameterLong(kEmergencyDetection, cache);
    ShowHideEmergencyDetectionParameters();
}

// ---- emergency feedback ---------------------------------------------------------------------------

namespace {

enum : int
{
    IdFeedback = 618,
    IdActive = 620,
    IdDelay = 622,
    IdCyclic = 624,
    IdCycle = 626,
};

} // namespace

CDlgParameterEmergencyLampFeedback::CDlgParameterEmergencyLampFeedback(IMainWindow& main)
    : CParameterDialog(256, main)
{
    static const BindingTable table{
        {
            Combo(IdFeedback, 617, kEmergencyLampFeedback, BindCheck),
            Combo(IdActive, 619, 768, BindCheck),
            Combo(IdDelay, 621, 769, BindDeferred),
            Combo(IdCyclic, 623, 770, BindDeferred),
            Time(IdCycle, 625, kMs, 0, 65040, 65041, -1, 627, 881, BindDeferred, 15),
        },
        {
            {"ShowHideEmergencyLampsFeedbackParameters", {619, 620}, {On(IdFeedback)}},
            {"ShowHideEmergencyLampsActiveFeedbackParameters",
             {621, 622, 623, 624},
             {On(IdFeedback), Off(IdActive)}},
            {"ShowHideEmergencyLampFeedbackCycleTime",
             {625, 626, 627},
             {On(IdFeedback), Off(IdActive), On(IdCyclic)}},
        },
    };
    SetBindingTable(table);
}

bool CDlgParameterEmergencyLampFeedback::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    ShowHideEmergencyLampsActiveFeedbackParameters();
    return true;
}

void CDlgParameterEmergencyLampFeedback::ShowHideEmergencyLampsActiveFeedbackParameters()
{
    if (BoundValue(IdFeedback) != 0 && BoundValue(IdActive) == 0)
        for (int idc : {IdDelay, IdCyclic, IdCycle})
            BindControl(idc);
    ApplyRules();
}

void CDlgParameterEmergencyLampFeedback::OnBindingChanged(int idc)
{
    if (idc == IdFeedback || idc == IdActive)
        ShowHideEmergencyLampsActiveFeedbackParameters();
}
