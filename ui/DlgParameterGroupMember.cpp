#include "ui/DlgParameterGroupMember.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

enum : int
{
    IdName = 202,
    IdNameLabel = 206,
    IdNumberLabel = 571,
    IdNumber = 572,
    IdTypeLabel = 573,
    IdType = 574,
};

} // namespace

CDlgParameterGroupMember::CDlgParameterGroupMember(IMainWindow& main, int deviceNr, int groupNr)
    : CParameterDialog(248, main), m_nDeviceNr(deviceNr), m_nGroupNr(groupNr), m_nNumber(deviceNr)
{}

bool CDlgParameterGroupMember::OnInitDialog()
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", m_nDeviceNr);
    CParameterDialog::OnInitDialog();
    SetLabelText(IdNameLabel, GetMemberUniqueNr(param::kMemberName, m_nDeviceNr));
    if (auto* name = Item<QLineEdit>(IdName))
        name->setMaxLength(28);
    RefreshMemberName();
    // The tree renames members too.
    if (Tree())
        connect(Tree(), &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
            if (CPluginTreeCtrlView::NodeType(item) == NodeMember &&
                CPluginTreeCtrlView::NodeNumber(item) == m_nDeviceNr)
                RefreshMemberName();
        });
    SetLabelText(IdNumberLabel, GetMemberBlockUniqueNr(param::kMemberNumberCaption, m_nDeviceNr));
    SetDlgItemText(IdNumber, QString::number(m_nNumber));
    InitMemberTypeCombobox(IdType, IdTypeLabel, m_nDeviceNr, &m_nType);
    return true;
}

void CDlgParameterGroupMember::RefreshMemberName()
{
    m_strName = QString::fromStdString(Model().GetMemberName(m_nDeviceNr));
    SetDlgItemText(IdName, m_strName);
}

void CDlgParameterGroupMember::OnSelChange(int idc)
{
    if (idc == IdType)
        OnCbnSelchangeComboboxType();
}

void CDlgParameterGroupMember::OnKillFocus(int idc)
{
    if (idc == IdName)
        OnEnKillfocusEditName();
    else if (idc == IdNumber)
        OnEnKillfocusEditNumber();
}

bool CDlgParameterGroupMember::PreTranslateMessage(const QKeyEvent& key)
{
    return TranslateNumberBoxMessage(key, IdNumber, 1, kMemberCount);
}

void CDlgParameterGroupMember::OnEnKillfocusEditName()
{
    if (!EditBoxChanged(IdName, 0, m_strName))
        return;
    Model().SetMemberName(m_nDeviceNr, m_strName.toStdString());
    if (Tree())
        Tree()->UpdateMemberName(m_nDeviceNr, m_strName);
    Main().ChangeLabelActiveTreeNode();
}

void CDlgParameterGroupMember::OnEnKillfocusEditNumber()
{
    const std::int32_t old = m_nNumber;
    if (!MemberNumberChanged(IdNumber, &m_nNumber))
        return;
    Model().ChangeMemberNr(old, m_nNumber);
    m_nDeviceNr = m_nNumber;
    // Rebuilding selects the device's node, which replaces this page: nothing of it is used after.
    IMainWindow& main = Main();
    const int device = m_nNumber, group = m_nGroupNr;
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateMembers(device, group);
    main.ChangeLabelActiveTreeNode();
}

void CDlgParameterGroupMember::OnCbnSelchangeComboboxType()
{
    const std::int32_t old = m_nType;
    if (!ComboboxChanged(IdType, 0, &m_nType))
        return;
    CEtsDbManagement& m = Model();
    // The found gear must fit the new type, or its assignment goes after the question.
    if (!m.ConfirmMemberTypeChange(m_nDeviceNr, m_nType)) {
        m_nType = old;
        SelectComboboxEnumValue(IdType, old);
        return;
    }
    m.SetMemberType(m_nDeviceNr, m_nType);
}
