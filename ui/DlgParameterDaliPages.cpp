#include "ui/DlgParameterDaliPages.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "ui/WaitCursor.h"

namespace {

constexpr RuleTerm kNotCentral = ParamIsNot(param::kAddressingMode, 0);

} // namespace

// ---- DALI communication ---------------------------------------------------------------------------

CDlgParameterCommon2::CDlgParameterCommon2(IMainWindow& main) : CParameterDialog(244, main)
{
    static const BindingTable table{
        {
            Combo(542, 541, 65011),
            Combo(546, 545, 65013),
            Time(548, 547, kS, 0, 0, 65005, 0, 549, 896),
        },
        {
            {"ShowHideTelegramRateLimitParameters", {545, 546, 547, 548, 549}, {On(542)}},
        },
    };
    SetBindingTable(table);
}

// ---- DALI error messages --------------------------------------------------------------------------

namespace {

enum : int
{
    IdAckDeviceState = 218,
    IdAckDataWidth = 514,
};

} // namespace

CDlgParameterCommon3::CDlgParameterCommon3(IMainWindow& main) : CParameterDialog(245, main)
{
    static const BindingTable table{
        {
            Combo(551, 550, 65042, BindCheck),
            Combo(683, 682, 65044, BindCheck),
            Combo(553, 552, 65012),
            Combo(IdAckDeviceState, 217, param::kAckDeviceState, BindCustom),
            Combo(IdAckDataWidth, 513, param::kAckDeviceStateDataWidth, BindCustom),
            Combo(518, 517, 65045),
            Combo(212, 211, 733, BindCheck),
            Combo(221, 220, 734, BindCheck),
        },
        {
            {"AddressingMode", {550, 551, 217, 218}, {kNotCentral}, ShowRule::Enable},
            {"ShowHideGeneralErrorStatusParameters", {682, 683}, {On(551)}},
            {"ShowHideGeneralErrorStatusActiveParameters", {552, 553}, {On(551), Off(683)}},
            {"ShowHideAckDeviceStateParameters", {513, 514}, {On(IdAckDeviceState)}},
            {"ShowHideAckDeviceStateParameters", {517, 518}, {Is(IdAckDeviceState, 1)}},
        },
    };
    SetBindingTable(table);
}

std::int32_t CDlgParameterCommon3::AckDeviceObjectValue(std::int32_t state, std::int32_t dataWidth)
{
    if (state == 0)
        return 0;
    const std::int32_t value = dataWidth == 0 ? 3 : dataWidth == 1 ? 1 : 5;
    return state == 2 ? value + 1 : value;
}

void CDlgParameterCommon3::OnSelChange(int idc)
{
    if (idc == IdAckDeviceState)
        OnAckDeviceStateChange();
    else if (idc == IdAckDataWidth)
        OnAckDataWidthChange();
    else
        CParameterDialog::OnSelChange(idc);
}

void CDlgParameterCommon3::OnAckDeviceStateChange()
{
    std::int32_t& state = BoundRef(IdAckDeviceState);
    const std::int32_t old = state;
    if (!ComboboxChanged(IdAckDeviceState, 0, &state))
        return;
    WaitCursor wait;
    CEtsDbManagement& m = Model();
    const std::int32_t value = AckDeviceObjectValue(state, BoundValue(IdAckDataWidth));
    const bool valueChanges = m.GetParameterLong(param::kAckDeviceStateObjectValue, 0) != value;
    const bool associated =
        m.CheckParameterDependentObjectAssociations(param::kAckDeviceState) ||
        (valueChanges && m.CheckParameterDependentObjectAssociations(param::kAckDeviceStateObjectValue));
    if (associated && !m.ConfirmDeletingAssociations()) {
        state = old;
        RestoreBoundValue(IdAckDeviceState);
        return;
    }
    m.SetParameterLong(param::kAckDeviceState, state);
    m.SetParameterLong(param::kAckDeviceStateObjectValue, value);
    ApplyRules();
}

void CDlgParameterCommon3::OnAckDataWidthChange()
{
    std::int32_t& width = BoundRef(IdAckDataWidth);
    const std::int32_t old = width;
    if (!ComboboxChanged(IdAckDataWidth, 0, &width))
        return;
    WaitCursor wait;
    CEtsDbManagement& m = Model();
    if (!m.CanChangeValueAfterCheckObjectAssociations(param::kAckDeviceStateObjectValue)) {
        width = old;
        RestoreBoundValue(IdAckDataWidth);
        return;
    }
    m.SetParameterLong(param::kAckDeviceStateDataWidth, width);
    m.SetParameterLong(param::kAckDeviceStateObjectValue,
                       AckDeviceObjectValue(BoundValue(IdAckDeviceState), width));
    ApplyRules();
}

// ---- DALI status messages -------------------------------------------------------------------------

namespace {

enum : int
{
    IdCollectiveFeedback = 669,
    IdCollectiveActive = 671,
};

constexpr UniqueNr kCollectiveFeedback = 65006;
constexpr UniqueNr kCollectiveActive = 65007;
constexpr UniqueNr kGroupFeedbackObjects = 65051;  // two, 16 groups each
constexpr UniqueNr kSingleFeedbackObjects = 65053; // four, 16 singles each

} // namespace

CDlgParameterCommon4::CDlgParameterCommon4(IMainWindow& main) : CParameterDialog(246, main)
{
    static const BindingTable table{
        {
            Time(233, 234, kHms, 760, 761, 762, 10, 294, 880),
            Time(232, 215, kMs, 0, 763, 764, -1, 295, 881),
            Combo(IdCollectiveFeedback, 668, kCollectiveFeedback, BindCustom),
            Combo(IdCollectiveActive, 670, kCollectiveActive, BindCustom),
            Combo(673, 672, 65008),
            Combo(675, 674, 65009),
            Combo(677, 676, 65010),
        },
        {
            {"AddressingMode",
             {668, 669, 670, 671, 672, 673, 674, 675, 676, 677},
             {kNotCentral},
             ShowRule::Enable},
            {"ShowHideCollectiveFeedbackParameters", {670, 671}, {On(IdCollectiveFeedback)}},
            {"ShowHideCollectiveFeedbackParameters",
             {672, 673, 674, 675, 676, 677},
             {On(IdCollectiveFeedback), Off(IdCollectiveActive)}},
        },
    };
    SetBindingTable(table);
}

void CDlgParameterCommon4::OnSelChange(int idc)
{
    if (idc != IdCollectiveFeedback && idc != IdCollectiveActive)
        return CParameterDialog::OnSelChange(idc);
    std::int32_t& cache = BoundRef(idc);
    const std::int32_t old = cache;
    const std::int32_t feedbackBefore = idc == IdCollectiveFeedback ? old : BoundValue(IdCollectiveFeedback);
    if (!ComboboxChanged(idc, 0, &cache))
        return;
    WaitCursor wait;
    if (!CanChangeCollectiveFeedbackObjects(feedbackBefore)) {
        cache = old;
        RestoreBoundValue(idc);
        return;
    }
    Model().SetParameterLong(BoundNumber(idc), cache);
    SetCollectiveFeedbackObjects();
    ApplyRules();
}

bool CDlgParameterCommon4::CanChangeCollectiveFeedbackObjects(std::int32_t feedbackBefore)
{
    if (feedbackBefore == 0)
        return true;
    CEtsDbManagement& m = Model();
    for (UniqueNr n = kGroupFeedbackObjects; n < kGroupFeedbackObjects + 6; ++n)
        if (m.CheckParameterDependentObjectAssociations(n))
            return m.ConfirmDeletingAssociations();
    return true;
}

void CDlgParameterCommon4::SetCollectiveFeedbackObjects()
{
    CEtsDbManagement& m = Model();
    const std::int32_t value = BoundValue(IdCollectiveFeedback) == 0 ? 0
                               : BoundValue(IdCollectiveActive) == 0 ? 1
                                                                     : 2;
    for (int i = 0; i < (m.GetGroupCount() + 15) / 16; ++i)
        m.SetParameterLong(kGroupFeedbackObjects + i, value);
    for (int i = 0; i < (m.GetSingleCount() + 15) / 16; ++i)
        m.SetParameterLong(kSingleFeedbackObjects + i, value);
}

// ---- DALI standby shutdown ------------------------------------------------------------------------

namespace {

enum : int
{
    IdGlobalFeedback = 522,
    IdGlobalActive = 524,
    IdGlobalDelay = 526,
    IdGlobalCyclic = 528,
    IdGlobalSending = 530,
    IdPowerOffDelayed = 532,
    IdPowerOnDelayed = 537,
};

} // namespace

CDlgParameterCommon5::CDlgParameterCommon5(IMainWindow& main) : CParameterDialog(264, main)
{
    static const BindingTable table{
        {
            Combo(IdGlobalFeedback, 521, 65017, BindCheck),
            Combo(IdGlobalActive, 523, 65018, BindCheck),
            Combo(IdGlobalDelay, 525, 65019),
            Combo(IdGlobalCyclic, 527, 65020),
            Combo(IdGlobalSending, 529, 65021),
            Combo(IdPowerOffDelayed, 531, 65022),
            Time(534, 533, kMs, 0, 65003, 65004, -1, 535, 881),
            Combo(IdPowerOnDelayed, 536, 65023),
            Time(539, 538, kS, 0, 0, 65002, -1, 540, 896),
        },
        {
            {"ShowHideGlobalFeedbackParameters", {523, 524, 531, 532, 536, 537}, {On(IdGlobalFeedback)}},
            {"ShowHideGlobalFeedbackActivePassiveParameters",
             {525, 526, 527, 528, 529, 530},
             {On(IdGlobalFeedback), Off(IdGlobalActive)}},
            {"ShowHideGlobalFeedbackPowerOffDelay",
             {533, 534, 535},
             {On(IdGlobalFeedback), On(IdPowerOffDelayed)}},
            {"ShowHideGlobalFeedbackPowerOnDelay",
             {538, 539, 540},
             {On(IdGlobalFeedback), On(IdPowerOnDelayed)}},
            // Emergency lamps keep the gear powered.
            {"EmergencyLamps", {531, 532, 536, 537}, {ParamOff(param::kEmergencyLamps)}, ShowRule::Enable},
            {"AdjustParameters",
             {523, 524, 525, 526, 527, 528},
             {Off(IdPowerOffDelayed), Off(IdPowerOnDelayed)},
             ShowRule::Enable},
        },
    };
    SetBindingTable(table);
}

bool CDlgParameterCommon5::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    // The sending is fixed by the delays.
    EnableControl(529, false);
    EnableControl(IdGlobalSending, false);
    AdjustParameters();
    return true;
}

void CDlgParameterCommon5::AdjustParameters()
{
    // A delayed power off or on needs the global feedback sent passively, at once, once.
    if (BoundValue(IdPowerOffDelayed) != 0 || BoundValue(IdPowerOnDelayed) != 0) {
        SetBoundValueIfDifferent(IdGlobalActive, 0);
        SetBoundValueIfDifferent(IdGlobalDelay, 0);
        SetBoundValueIfDifferent(IdGlobalCyclic, 0);
        SetBoundValueIfDifferent(IdGlobalSending, 1);
    }
    ApplyRules();
}

void CDlgParameterCommon5::OnBindingChanged(int idc)
{
    if (idc == IdGlobalFeedback && Model().IsEmergencyLampsUsed()) {
        SetBoundValueIfDifferent(IdPowerOffDelayed, 0);
        SetBoundValueIfDifferent(IdPowerOnDelayed, 0);
        AdjustParameters();
    } else if (idc == IdPowerOffDelayed || idc == IdPowerOnDelayed) {
        AdjustParameters();
    }
}
