#include "ui/DlgParameterEffect.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/PluginTreeCtrlView.h"

#include <QLineEdit>

namespace {

enum : int
{
    IdName = 202,
    IdNameLabel = 206,
    IdPriority = 286,
    IdPriorityLabel = 505,
    IdNumber = 680,
    IdNumberLabel = 681,
    IdStepsLabel = 712,
    IdSteps = 713,
    IdPassesLabel = 714,
    IdPasses = 715,
};

constexpr std::int32_t kMaxPasses = 500;

BindingTable EffectBindings(int effectNr)
{
    auto P = [effectNr](UniqueNr base) {
        return GetEffectUniqueNr(base, effectNr);
    };
    return {
        {
            Combo(IdPriority, IdPriorityLabel, P(param::kEffectPriority)),
            NumberBox(IdNumber, IdNumberLabel, P(param::kEffectKnxNumber), 1, 64, BindCustom | BindStepping),
            NumberBox(IdPasses, IdPassesLabel, P(param::kEffectPasses), 0, kMaxPasses, BindStepping, 1),
        },
        {},
    };
}

} // namespace

CDlgParameterEffect::CDlgParameterEffect(IMainWindow& main, int effectNr)
    : CParameterDialog(261, main), m_nEffectNr(effectNr), m_table(EffectBindings(effectNr))
{
    SetBindingTable(m_table);
}

QTreeWidgetItem* CDlgParameterEffect::Node() const
{
    return Tree() ? Tree()->FindNode(NodeEffect, m_nEffectNr) : nullptr;
}

bool CDlgParameterEffect::OnInitDialog()
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", m_nEffectNr);
    CParameterDialog::OnInitDialog();
    SetLabelText(IdNameLabel, P(param::kEffectName));
    if (auto* name = Item<QLineEdit>(IdName))
        name->setMaxLength(28);
    RefreshEffectName();
    // The tree renames effects too.
    if (Tree())
        connect(Tree(), &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
            if (item == Node())
                RefreshEffectName();
        });
    SetLabelText(IdStepsLabel, P(param::kEffectStepCount));
    SetDlgItemText(IdSteps, QString::number(Model().GetEffectStepCount(m_nEffectNr)));
    return true;
}

void CDlgParameterEffect::RefreshEffectName()
{
    m_strName = QString::fromStdString(Model().GetEffectName(m_nEffectNr));
    SetDlgItemText(IdName, m_strName);
}

void CDlgParameterEffect::OnKillFocus(int idc)
{
    if (idc == IdName)
        OnEnKillfocusEditName();
    else if (idc == IdNumber)
        OnEnKillfocusEditNumber();
    else
        CParameterDialog::OnKillFocus(idc);
}

void CDlgParameterEffect::OnBindingChanged(int idc)
{
    // The passes are the gateway's: a change needs a download.
    if (idc == IdPasses)
        Model().SetConfigChanged();
}

void CDlgParameterEffect::OnEnKillfocusEditName()
{
    if (!EditBoxChanged(IdName, 0, m_strName))
        return;
    Model().SetEffectName(m_nEffectNr, m_strName.toStdString());
    RelabelNode(Node(), m_strName);
}

void CDlgParameterEffect::OnEnKillfocusEditNumber()
{
    if (KnxNumberChanged(IdNumber, [this](int number) { return Model().GetNextFreeKnxEffect(number); }))
        Model().SetKnxEffect(m_nEffectNr, BoundRef(IdNumber));
}
