#include "ui/DlgParameterGroupCommon.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"
#include "ui/WaitCursor.h"

#include <QComboBox>
#include <QLineEdit>
#include <limits>

namespace {

enum : int
{
    IdName = 202,
    IdNameLabel = 206,
    IdNumberLabel = 571,
    IdNumber = 572,
    IdTypeLabel = 573,
    IdType = 574,
    IdBase = 208,
    IdBaseLabel = 209,
    IdMax = 210,
    IdMaxLabel = 211,
    IdRaisingLabel = 213,
    IdRaising = 239,
    IdRaisingValue = 212,
    IdDownloadLabel = 224,
    IdDownload = 225,
    IdDownloadValue = 214,
    IdFailureLabel = 226,
    IdFailure = 227,
    IdFailureValue = 215,
    IdReturnLabel = 228,
    IdReturn = 229,
    IdReturnValue = 216,
    IdAdditionalLabel = 231,
    IdAdditional = 232,
    IdPolarityLabel = 233,
    IdPolarity = 234,
    IdBeginLockLabel = 235,
    IdBeginLock = 236,
    IdBeginLockValue = 217,
    IdEndLockLabel = 237,
    IdEndLock = 238,
    IdEndLockValue = 218,
    IdForcedReturnLabel = 564,
    IdForcedReturn = 565,
    IdForcedLabel = 566,
    IdForced = 567,
    IdForcedValue = 568,
    IdEndForcedLabel = 569,
    IdEndForced = 570,
};

constexpr std::int32_t kNoLimit = std::numeric_limits<std::int32_t>::max();

// The values kept inside the group's lightness window.
constexpr unsigned kValue = BindGroup | BindLightnessWindow;

const BindingTable& Table()
{
    static const BindingTable table{
        {
            Combo(IdRaising, IdRaisingLabel, 111, BindGroup),
            ComboWindow(IdRaisingValue, 0, 104, 0, 173, kValue, 173),
            Combo(IdDownload, IdDownloadLabel, 112, BindGroup, 3),
            ComboWindow(IdDownloadValue, 0, 105, 0, 173, kValue, 173),
            Combo(IdFailure, IdFailureLabel, 113, BindGroup, 3),
            ComboWindow(IdFailureValue, 0, 106, 0, 173, kValue, 173),
            Combo(IdReturn, IdReturnLabel, 115, BindGroup, 2),
            ComboWindow(IdReturnValue, 0, 107, 0, 173, kValue, 173),
            Combo(IdAdditional, IdAdditionalLabel, param::kGroupAdditionalFunction, BindGroup | BindCheck),
            // lock function
            Combo(IdPolarity, IdPolarityLabel, 122, BindGroup | BindDeferred),
            Combo(IdBeginLock, IdBeginLockLabel, 114, BindGroup | BindDeferred),
            ComboWindow(IdBeginLockValue, 0, 108, 0, 173, kValue | BindDeferred, 173),
            Combo(IdEndLock, IdEndLockLabel, 116, BindGroup | BindDeferred),
            ComboWindow(IdEndLockValue, 0, 109, 0, 173, kValue | BindDeferred, 173),
            // forced position
            Combo(IdForcedReturn, IdForcedReturnLabel, 119, BindGroup | BindDeferred),
            Combo(IdForced, IdForcedLabel, 117, BindGroup | BindDeferred, 1),
            ComboWindow(IdForcedValue, 0, 110, 0, 173, kValue | BindDeferred, 173),
            Combo(IdEndForced, IdEndForcedLabel, 120, BindGroup | BindDeferred),
        },
        {
            {"ShowHideRaisingLightnessValue", {IdRaisingValue}, {Is(IdRaising, 0)}},
            {"ShowHideLightnessValueAfterEtsDownload", {IdDownloadValue}, {Is(IdDownload, 1)}},
            {"ShowHideLightnessValueAfterBusPowerFailure", {IdFailureValue}, {Is(IdFailure, 1)}},
            {"ShowHideLightnessValueAfterReturnBusPower", {IdReturnValue}, {Is(IdReturn, 1)}},
            {"ShowHideTypeOfAdditionalFunctionDependentElements",
             {IdPolarityLabel, IdPolarity, IdBeginLockLabel, IdBeginLock, IdEndLockLabel, IdEndLock},
             {Is(IdAdditional, 1)}},
            {"ShowHideTypeOfAdditionalFunctionDependentElements",
             {IdBeginLockValue},
             {Is(IdAdditional, 1), Is(IdBeginLock, 1)}},
            {"ShowHideTypeOfAdditionalFunctionDependentElements",
             {IdEndLockValue},
             {Is(IdAdditional, 1), Is(IdEndLock, 1)}},
            {"ShowHideTypeOfAdditionalFunctionDependentElements",
             {IdForcedReturnLabel, IdForcedReturn, IdForcedLabel, IdForced, IdEndForcedLabel, IdEndForced},
             {Is(IdAdditional, 2)}},
            {"ShowHideTypeOfAdditionalFunctionDependentElements",
             {IdForcedValue},
             {Is(IdAdditional, 2), Is(IdForced, 1)}},
        },
    };
    return table;
}

} // namespace

CDlgParameterGroupCommon::CDlgParameterGroupCommon(IMainWindow& main, int groupNr)
    : CParameterDialog(218, main), m_nGroupNr(groupNr)
{
    SetBindingTable(Table(), groupNr);
}

QTreeWidgetItem* CDlgParameterGroupCommon::Node() const
{
    // Looked up each time: the tree may have been rebuilt since the page opened.
    return Tree() ? Tree()->FindNode(NodeGroup, m_nGroupNr) : nullptr;
}

UniqueNr CDlgParameterGroupCommon::P(UniqueNr base) const
{
    return GetGroupUniqueNr(base, m_nGroupNr);
}

bool CDlgParameterGroupCommon::OnInitDialog()
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", m_nGroupNr);
    CParameterDialog::OnInitDialog();
    CEtsDbManagement& m = Model();
    SetLabelText(IdNameLabel, P(101));
    if (auto* name = Item<QLineEdit>(IdName))
        name->setMaxLength(28);
    RefreshGroupName();
    if (IsSingle()) {
        m_nDeviceNr = m_nGroupNr - 32;
        SetLabelText(IdNumberLabel, GetMemberBlockUniqueNr(param::kMemberNumberCaption, 1));
        SetDlgItemText(IdNumber, QString::number(m_nDeviceNr));
        InitMemberTypeCombobox(IdType, IdTypeLabel, m_nDeviceNr, &m_nDeviceType);
    } else {
        if (m.GetAddressingMode() == 0)
            EnableControl(IdName, false);
        for (int id : {IdNumberLabel, IdNumber, IdTypeLabel, IdType})
            ShowControl(id, false);
    }
    m.GetParameterValue(P(param::kGroupMinLightness), m_nBase);
    m.GetParameterValue(P(param::kGroupMaxLightness), m_nMax);
    // Values of functions not chosen yet are still kept inside the window.
    m.GetParameterValue(P(110), BoundRef(IdForcedValue));
    m.GetParameterValue(P(108), BoundRef(IdBeginLockValue));
    m.GetParameterValue(P(109), BoundRef(IdEndLockValue));
    InitParamBaseLightnessValue();
    InitParamMaxLightnessValue();
    InitParamLightnessAfterReturnBusPower();
    InitAdditionalFunctionRoutines();
    return true;
}

void CDlgParameterGroupCommon::InitParamBaseLightnessValue()
{
    InitComboBox(IdBase, IdBaseLabel, P(param::kGroupMinLightness), &m_nBase, 0, std::min(m_nMax - 1, 160));
}

void CDlgParameterGroupCommon::InitParamMaxLightnessValue()
{
    InitComboBox(IdMax, IdMaxLabel, P(param::kGroupMaxLightness), &m_nMax, m_nBase >= 128 ? m_nBase + 1 : 129,
                 kNoLimit);
}

void CDlgParameterGroupCommon::InitParamLightnessAfterReturnBusPower()
{
    // Without the staircase function its choice is not offered.
    if (Model().GetParameterLong(P(408), 0) == 0)
        if (auto* combo = Item<QComboBox>(IdReturn); combo && combo->count() > 4) {
            const bool wasSelected = combo->currentIndex() == 4;
            combo->removeItem(4);
            if (wasSelected)
                combo->setCurrentIndex(-1);
        }
}

void CDlgParameterGroupCommon::InitAdditionalFunctionRoutines()
{
    const std::int32_t additional = BoundValue(IdAdditional);
    if (additional == 1)
        for (int idc : {IdPolarity, IdBeginLock, IdBeginLockValue, IdEndLock, IdEndLockValue})
            BindControl(idc);
    else if (additional == 2)
        for (int idc : {IdForcedReturn, IdForced, IdForcedValue, IdEndForced})
            BindControl(idc);
    ApplyRules();
}

void CDlgParameterGroupCommon::RefreshGroupName()
{
    CEtsDbManagement& m = Model();
    m_strName = QString::fromStdString(m.GetAddressingMode() != 0 ? m.GetGroupName(m_nGroupNr)
                                                                  : m.GetLabel(LabelCentral));
    SetDlgItemText(IdName, m_strName);
}

void CDlgParameterGroupCommon::RefreshAllComboboxLightnessValues()
{
    for (int idc : {IdRaisingValue, IdDownloadValue, IdFailureValue, IdReturnValue})
        BindControl(idc);
    const std::int32_t additional = BoundValue(IdAdditional);
    if (additional == 1) {
        BindControl(IdBeginLockValue);
        BindControl(IdEndLockValue);
    } else if (additional == 2) {
        BindControl(IdForcedValue);
    }
    ApplyRules();
}

// ---- lightness window checks -------------------------------------------------------------------

void CDlgParameterGroupCommon::ChangeValueIfSmaller(std::int32_t limit, UniqueNr number, std::int32_t& value)
{
    if (value >= limit)
        return;
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld, Value = %ld < %ld", static_cast<long>(number),
              static_cast<long>(value), static_cast<long>(limit));
    value = limit;
    Model().SetParameterLong(number, limit);
}

void CDlgParameterGroupCommon::ChangeValueIfBigger(std::int32_t limit, UniqueNr number, std::int32_t& value)
{
    if (value <= limit)
        return;
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld, Value = %ld > %ld", static_cast<long>(number),
              static_cast<long>(value), static_cast<long>(limit));
    value = limit;
    Model().SetParameterLong(number, limit);
}

void CDlgParameterGroupCommon::GetGroupDependentLightnessValues()
{
    CEtsDbManagement& m = Model();
    auto add = [&](UniqueNr number, bool visible) {
        // A parameter the device does not have is neither checked nor written.
        std::int32_t value = 0;
        if (SUCCEEDED(m.GetParameterValue(number, value)))
            m_mapDependent.emplace(number, Dependent{value, visible});
    };
    auto on = [&](UniqueNr base) {
        return m.GetParameterLong(P(base), 0) != 0;
    };
    add(P(335), on(328));
    add(P(420), on(408) && on(411));
    const bool central = m.IsCentralEmergencySupply();
    const int extent = m.GetEmergencyFeedback();
    add(P(230), central && extent != 2 && on(235));
    add(P(231), central && extent == 2 && on(234) && on(236));
    for (int s = 1; s <= 16; ++s) {
        const UniqueNr number = GetSceneValueUniqueNr(s, m_nGroupNr);
        const std::int32_t value = m.GetParameterLong(number, 0);
        if (value != 0)
            m_mapDependent.emplace(number, Dependent{value, m.IsGroupInScene(s, m_nGroupNr)});
    }
}

bool CDlgParameterGroupCommon::CheckVisible(std::int32_t limit, bool smaller)
{
    auto beyond = [&](std::int32_t v) {
        return smaller ? v < limit : v > limit;
    };
    auto shownBeyond = [&](int choice, std::int32_t shownWhen, int valueIdc) {
        return BoundValue(choice) == shownWhen && beyond(BoundValue(valueIdc));
    };
    if (shownBeyond(IdRaising, 0, IdRaisingValue) || shownBeyond(IdDownload, 1, IdDownloadValue) ||
        shownBeyond(IdFailure, 1, IdFailureValue) || shownBeyond(IdReturn, 1, IdReturnValue))
        return true;
    const std::int32_t additional = BoundValue(IdAdditional);
    if (additional == 1 &&
        (shownBeyond(IdBeginLock, 1, IdBeginLockValue) || shownBeyond(IdEndLock, 1, IdEndLockValue)))
        return true;
    if (additional == 2 && shownBeyond(IdForced, 1, IdForcedValue))
        return true;
    if (m_mapDependent.empty())
        GetGroupDependentLightnessValues();
    for (const auto& [number, entry] : m_mapDependent) {
        if (entry.visible && beyond(entry.value)) {
            TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", static_cast<long>(number));
            return true;
        }
    }
    CEtsDbManagement& m = Model();
    for (int e = 1; e <= 16; ++e) {
        for (int k = 1; k <= m.GetEffectStepCount(e); ++k) {
            const int v = m.GetEffectValue(e, k, m_nGroupNr);
            if (v == 255 || (smaller && v == 0) || !beyond(v))
                continue;
            TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d: %d %c %d", e, k, v, smaller ? '<' : '>',
                      static_cast<int>(limit));
            return true;
        }
    }
    return false;
}

bool CDlgParameterGroupCommon::CheckAllVisibleLightnessValuesIfSmaller(std::int32_t limit)
{
    return CheckVisible(limit, true);
}

bool CDlgParameterGroupCommon::CheckAllVisibleLightnessValuesIfBigger(std::int32_t limit)
{
    return CheckVisible(limit, false);
}

bool CDlgParameterGroupCommon::AskRange(UniqueNr textNr, const char* englishDefault, const QString& limitText)
{
    QString first, accept, yes, no;
    GetTextByNumber(textNr, first, englishDefault);
    GetTextByNumber(940, accept, "New value will be accepted");
    GetTextByNumber(937, yes, "[Yes] Accept new value");
    GetTextByNumber(936, no, "[No] Restore old value");
    // The host's text is a format: only its one text conversion is filled.
    first = FormatHostText(first, QString::fromUtf8(englishDefault), "s", {limitText});
    const QString text = first + '\n' + accept + QStringLiteral("\n\n") + yes + '\n' + no;
    return UiServices::Prompt().Ask("Veltrona", text.toStdString(), PromptButtons::YesNo,
                                    PromptIcon::Question) == PromptAnswer::Yes;
}

bool CDlgParameterGroupCommon::CheckAll(std::int32_t limit, const QString& limitText, bool smaller)
{
    if (CheckVisible(limit, smaller)) {
        const bool yes = smaller ? AskRange(939, "Smaller than min value (%s)", limitText)
                                 : AskRange(938, "Larger than max value (%s)", limitText);
        if (!yes)
            return false;
    }
    auto change = [&](UniqueNr number, std::int32_t& value) {
        if (smaller)
            ChangeValueIfSmaller(limit, number, value);
        else
            ChangeValueIfBigger(limit, number, value);
    };
    for (int idc : {IdRaisingValue, IdDownloadValue, IdFailureValue, IdReturnValue, IdForcedValue,
                    IdBeginLockValue, IdEndLockValue})
        change(BoundNumber(idc), BoundRef(idc));
    if (m_mapDependent.empty())
        GetGroupDependentLightnessValues();
    for (auto& [number, entry] : m_mapDependent)
        change(number, entry.value);
    CEtsDbManagement& m = Model();
    for (int e = 1; e <= 16; ++e) {
        for (int k = 1; k <= m.GetEffectStepCount(e); ++k) {
            const int v = m.GetEffectValue(e, k, m_nGroupNr);
            // 255: the group is not in the step; 0 switches off and is never raised.
            if (v == 255 || (smaller ? v == 0 || v >= limit : v <= limit))
                continue;
            TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d: Fixing value %d -> %d", e, k, v,
                      static_cast<int>(limit));
            m.SetEffectValue(e, k, m_nGroupNr, static_cast<std::uint8_t>(limit));
        }
    }
    return true;
}

bool CDlgParameterGroupCommon::CheckAllLightnessValuesIfSmaller(std::int32_t limit, const QString& limitText)
{
    return CheckAll(limit, limitText, true);
}

bool CDlgParameterGroupCommon::CheckAllLightnessValuesIfBigger(std::int32_t limit, const QString& limitText)
{
    return CheckAll(limit, limitText, false);
}

// ---- handlers ----------------------------------------------------------------------------------

void CDlgParameterGroupCommon::OnBaseOrMaxChange(bool base)
{
    WaitCursor wait;
    const int idc = base ? IdBase : IdMax;
    std::int32_t& cache = base ? m_nBase : m_nMax;
    QString text;
    const std::int32_t now = GetComboboxEnumValue(idc, &text);
    if (!Item<QComboBox>(idc) || Item<QComboBox>(idc)->currentIndex() < 0 || now == cache)
        return;
    // Only a narrower window can push values out of it.
    const bool narrows = base ? now >= cache : now <= cache;
    if (narrows &&
        !(base ? CheckAllLightnessValuesIfSmaller(now, text) : CheckAllLightnessValuesIfBigger(now, text))) {
        SelectComboboxEnumValue(idc, cache);
        return;
    }
    cache = now;
    Model().SetParameterLong(P(base ? 102 : 103), now);
    if (base)
        InitParamMaxLightnessValue();
    else
        InitParamBaseLightnessValue();
    RefreshAllComboboxLightnessValues();
}

void CDlgParameterGroupCommon::OnSelChange(int idc)
{
    switch (idc) {
    case IdBase:
    case IdMax:
        OnBaseOrMaxChange(idc == IdBase);
        break;
    case IdType:
        OnDeviceTypeChange();
        break;
    default:
        CParameterDialog::OnSelChange(idc);
        break;
    }
}

void CDlgParameterGroupCommon::OnBindingChanged(int idc)
{
    if (idc == IdAdditional)
        InitAdditionalFunctionRoutines();
}

void CDlgParameterGroupCommon::OnKillFocus(int idc)
{
    if (idc == IdName) {
        if (!EditBoxChanged(IdName, 0, m_strName))
            return;
        Model().SetGroupName(m_nGroupNr, m_strName.toStdString());
        if (IsSingle() && Tree())
            Tree()->UpdateMemberName(m_nGroupNr - 32, m_strName);
        else
            CPluginTreeCtrlView::SetLabelName(Node(), m_strName);
        Main().ChangeLabelActiveTreeNode();
    } else if (idc == IdNumber && IsSingle()) {
        OnDeviceNumberChange();
    }
}

bool CDlgParameterGroupCommon::PreTranslateMessage(const QKeyEvent& key)
{
    return IsSingle() && TranslateNumberBoxMessage(key, IdNumber, 1, 64);
}

void CDlgParameterGroupCommon::OnDeviceNumberChange()
{
    const std::int32_t old = m_nDeviceNr;
    if (!MemberNumberChanged(IdNumber, &m_nDeviceNr))
        return;
    m_nGroupNr = 32 + m_nDeviceNr;
    Model().ChangeMemberNr(old, m_nDeviceNr);
    // Rebuilding selects the device's node, which replaces this page: nothing of it is used after.
    IMainWindow& main = Main();
    const int device = m_nDeviceNr;
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateMembers(device, 0);
    main.ChangeLabelActiveTreeNode();
}

void CDlgParameterGroupCommon::OnDeviceTypeChange()
{
    const std::int32_t old = m_nDeviceType;
    if (!ComboboxChanged(IdType, 0, &m_nDeviceType))
        return;
    const std::int32_t now = m_nDeviceType;
    CEtsDbManagement& m = Model();
    const int device = m_nDeviceNr;
    auto refuse = [&] {
        m_nDeviceType = old;
        SelectComboboxEnumValue(IdType, old);
    };
    // Every question first, so that a No leaves the type, the assignment and the scenes as they were.
    bool removeFromScenes = false;
    if (now == 1 && m.IsIndividualEmergencySupply() &&
        m.GetParameterLong(param::kEmergencyInScenesAllowed, 0) == 0 &&
        m.IsGroupUsedInScenesOrEffects(m_nGroupNr)) {
        if (!m.ConfirmDeletingSceneAssignments())
            return refuse();
        removeFromScenes = true;
    }
    const bool bookkeeping =
        m.IsEmergencyLampsUsed() && m.IsIndividualEmergencySupply() && m.IsDaliEmergencyTypeInUse();
    if (bookkeeping && old == 1 &&
        !m.CanChangeValueAfterCheckObjectAssociations(
            GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, device)))
        return refuse();
    // The last question: a yes clears the gear's assignment when the found type does not fit.
    if (!m.ConfirmMemberTypeChange(device, now))
        return refuse();
    if (removeFromScenes)
        m.RemoveGroupFromScenesAndEffects(m_nGroupNr);
    ApplyMemberType(device, old, now);
}
