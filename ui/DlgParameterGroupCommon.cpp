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

} // namespace

CDlgParameterGroupCommon::CDlgParameterGroupCommon(IMainWindow& main, int groupNr)
    : CParameterDialog(218, main), m_nGroupNr(groupNr)
{}

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
        if (m.IsMemberTypeCheckActive()) {
            SetDlgItemText(IdTypeLabel, QString::fromStdString(m.GetLabel(LabelType)));
            for (const auto& [value, text] : m.GetMemberTypes())
                AddComboboxItem(IdType, value, QString::fromStdString(text));
            m_nDeviceType = m.GetMemberType(m_nDeviceNr);
            if (!SelectComboboxEnumValue(IdType, m_nDeviceType)) {
                // A type the list does not know shows its number.
                auto* combo = Item<QComboBox>(IdType);
                if (combo) {
                    combo->setEditable(true);
                    combo->setCurrentIndex(-1);
                    combo->setEditText(QString::number(m_nDeviceType));
                }
            }
        } else {
            ShowControl(IdTypeLabel, false);
            ShowControl(IdType, false);
        }
    } else {
        if (m.GetAddressingMode() == 0)
            EnableControl(IdName, false);
        for (int id : {IdNumberLabel, IdNumber, IdTypeLabel, IdType})
            ShowControl(id, false);
    }
    m.GetParameterValue(P(102), m_nBase);
    m.GetParameterValue(P(103), m_nMax);
    m.GetParameterValue(P(110), m_nForcedValue);
    m.GetParameterValue(P(108), m_nBeginLockValue);
    m.GetParameterValue(P(109), m_nEndLockValue);

    InitParamBaseLightnessValue();
    InitParamMaxLightnessValue();
    InitParamRaisingLightness();
    InitValue(IdRaisingValue, 104, &m_nRaisingValue);
    InitParamLightnessAfterEtsDownload();
    InitValue(IdDownloadValue, 105, &m_nAfterDownloadValue);
    InitParamLightnessAfterBusPowerFailure();
    InitValue(IdFailureValue, 106, &m_nAfterFailureValue);
    InitParamLightnessAfterReturnBusPower();
    InitValue(IdReturnValue, 107, &m_nAfterReturnValue);
    InitParamTypeOfAdditionalFunction();
    InitAdditionalFunctionRoutines();
    return true;
}

void CDlgParameterGroupCommon::InitParamBaseLightnessValue()
{
    InitComboBox(IdBase, IdBaseLabel, P(102), &m_nBase, 0, std::min(m_nMax - 1, 160));
}

void CDlgParameterGroupCommon::InitParamMaxLightnessValue()
{
    InitComboBox(IdMax, IdMaxLabel, P(103), &m_nMax, m_nBase >= 128 ? m_nBase + 1 : 129, kNoLimit);
}

void CDlgParameterGroupCommon::InitValue(int idc, UniqueNr base, std::int32_t* cache)
{
    InitComboBox(idc, 0, P(base), cache, m_nBase, m_nMax);
}

void CDlgParameterGroupCommon::InitParamRaisingLightness()
{
    InitComboBox(IdRaising, IdRaisingLabel, P(111), &m_nRaising);
    ShowHideRaisingLightnessValue();
}

void CDlgParameterGroupCommon::InitParamLightnessAfterEtsDownload()
{
    InitComboBox(IdDownload, IdDownloadLabel, P(112), &m_nAfterDownload);
    ShowHideLightnessValueAfterEtsDownload();
}

void CDlgParameterGroupCommon::InitParamLightnessAfterBusPowerFailure()
{
    InitComboBox(IdFailure, IdFailureLabel, P(113), &m_nAfterFailure);
    ShowHideLightnessValueAfterBusPowerFailure();
}

void CDlgParameterGroupCommon::InitParamLightnessAfterReturnBusPower()
{
    InitComboBox(IdReturn, IdReturnLabel, P(115), &m_nAfterReturn);
    // Without the staircase function its choice is not offered.
    if (Model().GetParameterLong(P(408), 0) == 0)
        if (auto* combo = Item<QComboBox>(IdReturn); combo && combo->count() > 4) {
            const bool wasSelected = combo->currentIndex() == 4;
            combo->removeItem(4);
            if (wasSelected)
                combo->setCurrentIndex(-1);
        }
    ShowHideLightnessValueAfterReturnBusPower();
}

void CDlgParameterGroupCommon::InitParamTypeOfAdditionalFunction()
{
    InitComboBox(IdAdditional, IdAdditionalLabel, P(118), &m_nAdditional);
    ShowHideTypeOfAdditionalFunctionDependentElements();
}

void CDlgParameterGroupCommon::InitAdditionalFunctionRoutines()
{
    if (m_nAdditional == 1) {
        InitComboBox(IdPolarity, IdPolarityLabel, P(122), &m_nPolarity);
        InitComboBox(IdBeginLock, IdBeginLockLabel, P(114), &m_nBeginLock);
        InitValue(IdBeginLockValue, 108, &m_nBeginLockValue);
        InitComboBox(IdEndLock, IdEndLockLabel, P(116), &m_nEndLock);
        InitValue(IdEndLockValue, 109, &m_nEndLockValue);
    } else if (m_nAdditional == 2) {
        InitComboBox(IdForcedReturn, IdForcedReturnLabel, P(119), &m_nForcedReturn);
        InitComboBox(IdForced, IdForcedLabel, P(117), &m_nForced);
        InitValue(IdForcedValue, 110, &m_nForcedValue);
        InitComboBox(IdEndForced, IdEndForcedLabel, P(120), &m_nEndForced);
    }
    ShowHideTypeOfAdditionalFunctionDependentElements();
}

void CDlgParameterGroupCommon::ShowHideRaisingLightnessValue()
{
    ShowControl(IdRaisingValue, m_nRaising == 0);
}

void CDlgParameterGroupCommon::ShowHideLightnessValueAfterEtsDownload()
{
    ShowControl(IdDownloadValue, m_nAfterDownload == 1);
}

void CDlgParameterGroupCommon::ShowHideLightnessValueAfterBusPowerFailure()
{
    ShowControl(IdFailureValue, m_nAfterFailure == 1);
}

void CDlgParameterGroupCommon::ShowHideLightnessValueAfterReturnBusPower()
{
    ShowControl(IdReturnValue, m_nAfterReturn == 1);
}

void CDlgParameterGroupCommon::ShowHideTypeOfAdditionalFunctionDependentElements()
{
    const bool lock = m_nAdditional == 1, forced = m_nAdditional == 2;
    for (int id : {IdPolarityLabel, IdPolarity, IdBeginLockLabel, IdBeginLock, IdEndLockLabel, IdEndLock})
        ShowControl(id, lock);
    ShowControl(IdBeginLockValue, lock && m_nBeginLock == 1);
    ShowControl(IdEndLockValue, lock && m_nEndLock == 1);
    for (int id :
         {IdForcedReturnLabel, IdForcedReturn, IdForcedLabel, IdForced, IdEndForcedLabel, IdEndForced})
        ShowControl(id, forced);
    ShowControl(IdForcedValue, forced && m_nForced == 1);
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
    InitValue(IdRaisingValue, 104, &m_nRaisingValue);
    ShowHideRaisingLightnessValue();
    InitValue(IdDownloadValue, 105, &m_nAfterDownloadValue);
    ShowHideLightnessValueAfterEtsDownload();
    InitValue(IdFailureValue, 106, &m_nAfterFailureValue);
    ShowHideLightnessValueAfterBusPowerFailure();
    InitValue(IdReturnValue, 107, &m_nAfterReturnValue);
    ShowHideLightnessValueAfterReturnBusPower();
    if (m_nAdditional == 1) {
        InitValue(IdBeginLockValue, 108, &m_nBeginLockValue);
        InitValue(IdEndLockValue, 109, &m_nEndLockValue);
    } else if (m_nAdditional == 2) {
        InitValue(IdForcedValue, 110, &m_nForcedValue);
    }
    ShowHideTypeOfAdditionalFunctionDependentElements();
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
    if (m_nRaising == 0 && beyond(m_nRaisingValue))
        return true;
    if ((m_nAfterDownload == 1 && beyond(m_nAfterDownloadValue)) ||
        (m_nAfterFailure == 1 && beyond(m_nAfterFailureValue)) ||
        (m_nAfterReturn == 1 && beyond(m_nAfterReturnValue)))
        return true;
    if (m_nAdditional == 1 &&
        ((m_nBeginLock == 1 && beyond(m_nBeginLockValue)) || (m_nEndLock == 1 && beyond(m_nEndLockValue))))
        return true;
    if (m_nAdditional == 2 && m_nForced == 1 && beyond(m_nForcedValue))
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
    change(P(104), m_nRaisingValue);
    change(P(105), m_nAfterDownloadValue);
    change(P(106), m_nAfterFailureValue);
    change(P(107), m_nAfterReturnValue);
    change(P(110), m_nForcedValue);
    change(P(108), m_nBeginLockValue);
    change(P(109), m_nEndLockValue);
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
    case IdRaising:
        ComboboxChanged(idc, P(111), &m_nRaising);
        ShowHideRaisingLightnessValue();
        break;
    case IdRaisingValue:
        ComboboxChanged(idc, P(104), &m_nRaisingValue);
        break;
    case IdDownload:
        if (ComboboxChanged(idc, P(112), &m_nAfterDownload))
            ShowHideLightnessValueAfterEtsDownload();
        break;
    case IdDownloadValue:
        ComboboxChanged(idc, P(105), &m_nAfterDownloadValue);
        break;
    case IdFailure:
        if (ComboboxChanged(idc, P(113), &m_nAfterFailure))
            ShowHideLightnessValueAfterBusPowerFailure();
        break;
    case IdFailureValue:
        ComboboxChanged(idc, P(106), &m_nAfterFailureValue);
        break;
    case IdReturn:
        if (ComboboxChanged(idc, P(115), &m_nAfterReturn))
            ShowHideLightnessValueAfterReturnBusPower();
        break;
    case IdReturnValue:
        ComboboxChanged(idc, P(107), &m_nAfterReturnValue);
        break;
    case IdAdditional:
        if (ComboboxChanged(idc, P(118), &m_nAdditional, true))
            InitAdditionalFunctionRoutines();
        break;
    case IdPolarity:
        ComboboxChanged(idc, P(122), &m_nPolarity);
        break;
    case IdForcedReturn:
        ComboboxChanged(idc, P(119), &m_nForcedReturn);
        break;
    case IdBeginLock:
    case IdEndLock:
    case IdForced:
        if (ComboboxChanged(idc,
                            P(idc == IdBeginLock ? 114
                              : idc == IdEndLock ? 116
                                                 : 117),
                            idc == IdBeginLock ? &m_nBeginLock
                            : idc == IdEndLock ? &m_nEndLock
                                               : &m_nForced))
            ShowHideTypeOfAdditionalFunctionDependentElements();
        break;
    case IdEndForced:
        ComboboxChanged(idc, P(120), &m_nEndForced);
        break;
    case IdBeginLockValue:
        ComboboxChanged(idc, P(108), &m_nBeginLockValue);
        break;
    case IdForcedValue:
        ComboboxChanged(idc, P(110), &m_nForcedValue);
        break;
    case IdEndLockValue:
        ComboboxChanged(idc, P(109), &m_nEndLockValue);
        break;
    default:
        break;
    }
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
    if (!NumberBoxChanged(IdNumber, 0, &m_nDeviceNr, 1, 64))
        return;
    CEtsDbManagement& m = Model();
    if (m.IsMemberUsed(m_nDeviceNr)) {
        QString question;
        GetTextByNumber(965, question, "Exchange device %d and %d?");
        question = FormatHostText(question, QStringLiteral("Exchange device %d and %d?"), "dd",
                                  {QString::number(old), QString::number(m_nDeviceNr)});
        if (UiServices::Prompt().Ask("Veltrona", question.toStdString(), PromptButtons::YesNo,
                                     PromptIcon::Question) != PromptAnswer::Yes) {
            m_nDeviceNr = old;
            SetDlgItemText(IdNumber, QString::number(old));
            return;
        }
    }
    m_nGroupNr = 32 + m_nDeviceNr;
    m.ChangeMemberNr(old, m_nDeviceNr);
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
