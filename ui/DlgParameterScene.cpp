#include "ui/DlgParameterScene.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/WaitCursor.h"

#include <QLineEdit>

namespace {

enum : int
{
    IdName = 202,
    IdNameLabel = 206,
    IdNumber = 680,
    IdNumberLabel = 681,
    IdPriority = 286,
    IdPriorityLabel = 505,
    IdOverwrite = 319,
    IdOverwriteLabel = 320,
    IdBehaviourAtCall = 262,
    IdBehaviourAtCallLabel = 261,
    IdTimeDelayAtCall = 264,
    IdTimeDelayAtCallLabel = 263,
    IdTimeDelay = 266,
    IdTimeDelayLabel = 265,
};

constexpr UniqueNr kTextELamp = 994;

BindingTable SceneBindings(int sceneNr)
{
    auto P = [sceneNr](UniqueNr base) {
        return GetSceneUniqueNr(base, sceneNr);
    };
    return {
        {
            NumberBox(IdNumber, IdNumberLabel, P(param::kSceneKnxNumber), 1, 64, BindCustom | BindStepping),
            Combo(IdPriority, IdPriorityLabel, P(param::kScenePriority)),
            Combo(IdOverwrite, IdOverwriteLabel, P(param::kSceneOverwriteAtDownload)),
            Combo(IdBehaviourAtCall, IdBehaviourAtCallLabel, P(param::kSceneBehaviourAtCall)),
            Combo(IdTimeDelayAtCall, IdTimeDelayAtCallLabel, P(param::kSceneTimeDelayAtCall)),
            Time(IdTimeDelay, IdTimeDelayLabel, kHms, P(param::kSceneDelayHours),
                 P(param::kSceneDelayMinutes), P(param::kSceneDelaySeconds), 1, 0, 0),
        },
        {
            {"TimeDelayAtCallScene", {IdTimeDelayLabel, IdTimeDelay}, {On(IdTimeDelayAtCall)}},
        },
    };
}

} // namespace

CDlgParameterScene::CDlgParameterScene(IMainWindow& main, int sceneNr)
    : CDlgParameterParticipants(223, main, false, true), m_nSceneNr(sceneNr), m_table(SceneBindings(sceneNr))
{
    SetBindingTable(m_table);
}

QTreeWidgetItem* CDlgParameterScene::Node() const
{
    return Tree() ? Tree()->FindNode(NodeScene, m_nSceneNr) : nullptr;
}

bool CDlgParameterScene::OnInitDialog()
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", m_nSceneNr);
    CParameterDialog::OnInitDialog();
    CEtsDbManagement& m = Model();
    SetLabelText(IdNameLabel, P(param::kSceneName));
    if (auto* name = Item<QLineEdit>(IdName))
        name->setMaxLength(28);
    RefreshSceneName();
    // The tree renames scenes too.
    if (Tree())
        connect(Tree(), &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
            if (item == Node())
                RefreshSceneName();
        });

    BuildTabs();
    GetDescriptionByNumber(P(param::kSceneSaveMask), m_strSave, "Save");
    GetDescriptionByNumber(kTextELamp, m_strELamp, "E-lamp");
    LoadGroupsAndSingles();
    for (int n = 1; n <= kGroupsAndSingles; ++n) {
        Participant& p = Row(n - 1);
        p.used = m.IsGroupInScene(m_nSceneNr, n);
        p.save = m.IsSaveFunction(m_nSceneNr, n);
        p.value = m.GetParameterLong(GetSceneValueUniqueNr(m_nSceneNr, n), 0);
    }
    ShowSelectedGroups();
    return true;
}

void CDlgParameterScene::RefreshSceneName()
{
    m_strName = QString::fromStdString(Model().GetSceneName(m_nSceneNr));
    SetDlgItemText(IdName, m_strName);
}

void CDlgParameterScene::OnKillFocus(int idc)
{
    if (idc == IdName)
        OnEnKillfocusEditName();
    else if (idc == IdNumber)
        OnEnKillfocusEditNumber();
    else
        CDlgParameterParticipants::OnKillFocus(idc);
}

void CDlgParameterScene::OnEnKillfocusEditName()
{
    if (!EditBoxChanged(IdName, 0, m_strName))
        return;
    Model().SetSceneName(m_nSceneNr, m_strName.toStdString());
    RelabelNode(Node(), m_strName);
}

void CDlgParameterScene::OnEnKillfocusEditNumber()
{
    if (KnxNumberChanged(IdNumber, [this](int number) { return Model().GetNextFreeKnxScene(number); }))
        Model().SetKnxScene(m_nSceneNr, BoundRef(IdNumber));
}

void CDlgParameterScene::ValueComboboxChanged(int row)
{
    const int p = ParticipantOf(row);
    if (p < 0 || p >= kGroupsAndSingles)
        return;
    ComboboxChanged(kValueIds[static_cast<std::size_t>(row)], GetSceneValueUniqueNr(m_nSceneNr, p + 1),
                    &Row(p).value);
}

void CDlgParameterScene::UsedCheckboxChanged(int row)
{
    const int p = ParticipantOf(row);
    if (p < 0 || p >= kGroupsAndSingles)
        return;
    WaitCursor wait;
    Participant& participant = Row(p);
    participant.used = IsChecked(kUsedIds[static_cast<std::size_t>(row)]);
    if (participant.used)
        Model().AddGroupToScene(m_nSceneNr, p + 1, 0);
    else
        Model().RemoveGroupFromScene(m_nSceneNr, p + 1, false);
    EnableControl(kSaveIds[static_cast<std::size_t>(row)], participant.used);
    EnableControl(kValueIds[static_cast<std::size_t>(row)], participant.used);
}

void CDlgParameterScene::SaveCheckboxChanged(int row)
{
    const int p = ParticipantOf(row);
    if (p < 0 || p >= kGroupsAndSingles)
        return;
    Participant& participant = Row(p);
    participant.save = IsChecked(kSaveIds[static_cast<std::size_t>(row)]);
    Model().SetSaveFunction(m_nSceneNr, p + 1, participant.save);
}
