#include "ui/DlgParameterEffectStep.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/WaitCursor.h"

#include <QDateTimeEdit>

namespace {

enum : int
{
    IdDimmingLabel = 719,
    IdDimming = 720,
    IdDelayLabel = 721,
    IdDelay = 722,
    IdDelayHint = 723,
};

constexpr UniqueNr kTextDelayHint = 992;
constexpr UniqueNr kTextELamp = 994;
constexpr int kMaxTenths = 9;

// The delay picker's hour field carries the tenths of a second.
BindingTable StepBindings(int effectNr, int stepNr)
{
    auto S = [effectNr, stepNr](UniqueNr base) {
        return GetEffectStepUniqueNr(base, effectNr, stepNr);
    };
    return {
        {
            Combo(IdDimming, IdDimmingLabel, S(param::kStepDimming)),
            Time(IdDelay, IdDelayLabel, "mm':'ss'.'H", S(param::kStepDelayTenths),
                 S(param::kStepDelayMinutes), S(param::kStepDelaySeconds), -1, IdDelayHint, kTextDelayHint,
                 BindDeferred),
        },
        {},
    };
}

} // namespace

CDlgParameterEffectStep::CDlgParameterEffectStep(IMainWindow& main, int effectNr, int stepNr)
    : CDlgParameterParticipants(262, main, true, false), m_nEffectNr(effectNr), m_nStepNr(stepNr),
      m_table(StepBindings(effectNr, stepNr))
{
    SetBindingTable(m_table);
}

bool CDlgParameterEffectStep::OnInitDialog()
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", m_nEffectNr, m_nStepNr);
    CParameterDialog::OnInitDialog();
    CEtsDbManagement& m = Model();
    // The last step ends the effect: nothing follows it to wait for.
    if (IsClosingStep())
        for (int id : {IdDelayLabel, IdDelay, IdDelayHint})
            ShowControl(id, false);
    else
        BindControl(IdDelay);

    BuildTabs();
    GetDescriptionByNumber(kTextELamp, m_strELamp, "E-lamp");
    LoadGroupsAndSingles();
    for (int key = 1; key <= kGroupsAndSingles; ++key) {
        Participant& p = Row(key - 1);
        p.used = m.IsGroupInEffectStep(m_nEffectNr, m_nStepNr, key);
        p.value = p.used ? m.GetEffectValue(m_nEffectNr, m_nStepNr, key) : p.max;
    }
    for (int s = 1; s <= kSceneCount; ++s) {
        Participant& p = Row(kGroupsAndSingles + s - 1);
        p.name = QString::fromStdString(m.GetSceneDisplayName(s));
        p.exists = m.SceneExists(s);
        p.used = m.IsGroupInEffectStep(m_nEffectNr, m_nStepNr, kGroupsAndSingles + s);
        p.base = p.max = p.value = 0;
    }
    ShowSelectedGroups();
    return true;
}

void CDlgParameterEffectStep::LimitTenths()
{
    auto* picker = Item<QDateTimeEdit>(IdDelay);
    if (!picker)
        return;
    const QTime t = picker->time();
    if (t.hour() > kMaxTenths)
        picker->setTime(QTime(kMaxTenths, t.minute(), t.second()));
}

void CDlgParameterEffectStep::OnDateTimeChange(int idc)
{
    if (idc == IdDelay)
        LimitTenths();
}

void CDlgParameterEffectStep::OnKillFocus(int idc)
{
    if (idc == IdDelay)
        LimitTenths();
    CDlgParameterParticipants::OnKillFocus(idc);
}

void CDlgParameterEffectStep::ValueComboboxChanged(int row)
{
    const int p = ParticipantOf(row);
    if (p < 0 || p >= kGroupsAndSingles)
        return;
    Participant& participant = Row(p);
    if (ComboboxChanged(kValueIds[static_cast<std::size_t>(row)], 0, &participant.value))
        Model().SetEffectValue(m_nEffectNr, m_nStepNr, p + 1, static_cast<std::uint8_t>(participant.value));
}

void CDlgParameterEffectStep::UsedCheckboxChanged(int row)
{
    const int p = ParticipantOf(row);
    if (p < 0)
        return;
    WaitCursor wait;
    CEtsDbManagement& m = Model();
    Participant& participant = Row(p);
    const int used = kUsedIds[static_cast<std::size_t>(row)];
    if (IsChecked(used)) {
        participant.used = m.AddGroupToEffectStep(m_nEffectNr, m_nStepNr, p + 1,
                                                  static_cast<std::uint16_t>(participant.value & 0xFF));
        if (!participant.used) {
            SetChecked(used, false);
            if (m.GetEffectValueCount() >= kEffectValueCount)
                m.ReportEffectTableOverflow();
        }
    } else {
        m.RemoveGroupFromEffectStep(m_nEffectNr, m_nStepNr, p + 1);
        participant.used = false;
    }
    EnableControl(kValueIds[static_cast<std::size_t>(row)], participant.used);
}
