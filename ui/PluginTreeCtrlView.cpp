#include "ui/PluginTreeCtrlView.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/DlgEditName.h"
#include "ui/TreeIcons.h"
#include "ui/WaitCursor.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace {

constexpr int kRole = Qt::UserRole;

} // namespace

CPluginTreeCtrlView::CPluginTreeCtrlView(IMainWindow& main, QWidget* parent)
    : QTreeWidget(parent), m_main(main), m_model(*main.GetModel())
{
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShadow(QFrame::Sunken);
    setStyleSheet(QStringLiteral("QTreeView::item { height: 18px; }"));
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* now, QTreeWidgetItem*) {
        if (!m_building && now) {
            m_main.ShowParameterDialog();
            setFocus();
        }
    });
}

unsigned CPluginTreeCtrlView::ItemData(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kRole).toUInt() : 0;
}

QString CPluginTreeCtrlView::Text(int number, const char* fallback) const
{
    return QString::fromStdString(m_model.GetParameterText(number, fallback));
}

QString CPluginTreeCtrlView::Numbered(int number, const std::string& name) const
{
    return QStringLiteral("[%1] %2").arg(number).arg(QString::fromStdString(name));
}

QIcon CPluginTreeCtrlView::NodeIcon(int icon)
{
    static QMap<int, QIcon> icons;
    auto it = icons.find(icon);
    if (it == icons.end())
        it = icons.insert(icon, QIcon(DrawTreeIcon(icon)));
    return *it;
}

QTreeWidgetItem* CPluginTreeCtrlView::AddNode(QTreeWidgetItem* parent, const QString& text, int image,
                                              int type, int number)
{
    TRACE_MSG(TRACE_INFO, "Type = %d, Nr = %d '%s'", type, number, text.toUtf8().constData());
    const unsigned data = MakeNodeData(type, number);
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kRole, data);
    item->setIcon(0, NodeIcon(image));
    // Siblings stay sorted by type and number, whatever the order of creation.
    const int count = parent ? parent->childCount() : topLevelItemCount();
    int at = 0;
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* sibling = parent ? parent->child(i) : topLevelItem(i);
        if (ItemData(sibling) <= data)
            at = i + 1;
    }
    if (parent)
        parent->insertChild(at, item);
    else
        insertTopLevelItem(at, item);
    return item;
}

void CPluginTreeCtrlView::DeleteAllChildren(QTreeWidgetItem* node)
{
    if (!node)
        return;
    for (QTreeWidgetItem* child : node->takeChildren())
        delete child;
}

QTreeWidgetItem* CPluginTreeCtrlView::FindNode(int type, int number) const
{
    QTreeWidgetItemIterator it(const_cast<CPluginTreeCtrlView*>(this));
    for (; *it; ++it)
        if (NodeType(*it) == type && (number < 0 || NodeNumber(*it) == number))
            return *it;
    return nullptr;
}

void CPluginTreeCtrlView::Select(QTreeWidgetItem* item)
{
    if (!item)
        return;
    if (item->parent())
        item->parent()->setExpanded(true);
    scrollToItem(item);
    setCurrentItem(item);
}

void CPluginTreeCtrlView::InitTreeCtrlView()
{
    TRACE_ENTRY();
    m_building = true;
    clear();
    const QString lamps = QString::fromStdString(m_model.GetLabel(LabelEmergencyLamps));
    m_centralEmergencyLabel = lamps + ' ' + QString::fromStdString(m_model.GetLabel(LabelCentrallySupplied));
    m_individualEmergencyLabel =
        lamps + ' ' + QString::fromStdString(m_model.GetLabel(LabelIndividuallySupplied));
    auto label = [this](ELabel l) {
        return QString::fromStdString(m_model.GetLabel(l));
    };
    const QString modifier = Text(892, "Ctrl"), del = Text(893, "Del");
    m_textNew = Text(883, "New") + '\t' + modifier + QStringLiteral("+N");
    m_textPaste = Text(884, "Paste") + '\t' + modifier + QStringLiteral("+V");
    m_textCopy = Text(885, "Copy") + '\t' + modifier + QStringLiteral("+C");
    m_textDelete = Text(886, "Delete") + '\t' + del;
    m_textRename = Text(887, "Rename") + QStringLiteral("\tF2");

    m_root = AddNode(nullptr, label(LabelGeneral), IconSettings, NodeGeneral, 0);
    AddNode(m_root, Text(712, "DALI communication"), IconSettings, NodeDaliCommunication, 0);
    AddNode(m_root, Text(713, "DALI error messages"), IconSettings, NodeDaliErrors, 0);
    AddNode(m_root, Text(714, "DALI status messages"), IconSettings, NodeDaliStatus, 0);
    AddNode(m_root, Text(717, "DALI standby shutdown"), IconSettings, NodeDaliStandby, 0);
    AddNode(nullptr, label(LabelManualControl), IconHand, NodeManualControl, 0);
    m_addressing = AddNode(nullptr, label(LabelAddressing), IconStructure, NodeAddressing, 0);
    m_scenes = AddNode(nullptr, label(LabelScenes), IconBulbOff, NodeScenesFolder, 0);
    m_effects = AddNode(nullptr, label(LabelEffects), IconBulbOff, NodeEffectsFolder, 0);
    AddNode(nullptr, label(LabelExportImport), IconExport, NodeExportImport, 0);
    if (m_model.GetAddressingMode() != 0)
        AddNode(nullptr, label(LabelCommissioning), IconWrench, NodeCommissioning, 0);
    AddNode(nullptr, label(LabelTest), IconGear, NodeTest, 0);
    UpdateAll();
    m_root->setExpanded(true);
    m_building = false;
    setCurrentItem(m_root);
}

void CPluginTreeCtrlView::UpdateAll()
{
    const bool building = m_building;
    m_building = true;
    UpdateAddressing();
    DeleteAllChildren(m_scenes);
    for (int s = 1; s <= 16; ++s)
        if (m_model.SceneExists(s))
            AddNodeScene(s);
    DeleteAllChildren(m_effects);
    for (int e = 1; e <= 16; ++e)
        if (m_model.EffectExists(e))
            AddNodeEffect(e);
    UpdateEmergencyLamps(nullptr);
    m_building = building;
}

void CPluginTreeCtrlView::UpdateAddressing()
{
    const bool building = m_building;
    m_building = true;
    for (int type : {NodeGroupsFolder, NodeDevicesFolder})
        delete FindNode(type);
    for (int i = m_addressing->childCount() - 1; i >= 0; --i)
        if (NodeType(m_addressing->child(i)) == NodeGroup)
            delete m_addressing->takeChild(i);
    const int mode = m_model.GetAddressingMode();
    QTreeWidgetItem* commissioning = FindNode(NodeCommissioning);
    if (mode == 0) {
        AddNodeGroup(0);
        delete commissioning;
    } else {
        if (mode >= 1 && mode <= 4) {
            const QString range =
                mode == 1 || mode == 3 ? QStringLiteral(" (1-16)") : QStringLiteral(" (1-32)");
            AddNode(m_addressing, QString::fromStdString(m_model.GetLabel(LabelGroups)) + range,
                    IconStructure, NodeGroupsFolder, 0);
            AddAllGroups(0);
        }
        if (mode >= 3 && mode <= 5) {
            AddNode(m_addressing,
                    QString::fromStdString(m_model.GetLabel(LabelDevices)) + QStringLiteral(" (1-64)"),
                    IconStructure, NodeDevicesFolder, 0);
            AddAllSingles(0);
        }
        if (mode <= 5 && !commissioning)
            AddNode(nullptr, QString::fromStdString(m_model.GetLabel(LabelCommissioning)), IconWrench,
                    NodeCommissioning, 0);
    }
    m_addressing->setExpanded(true);
    m_building = building;
}

QTreeWidgetItem* CPluginTreeCtrlView::AddAllGroups(int number)
{
    QTreeWidgetItem* found = nullptr;
    for (int g = 1; g <= m_model.GetGroupCount(); ++g) {
        if (!m_model.GroupExists(g))
            continue;
        QTreeWidgetItem* node = AddNodeGroup(g);
        if (g == number)
            found = node;
    }
    return found;
}

QTreeWidgetItem* CPluginTreeCtrlView::AddAllSingles(int number)
{
    QTreeWidgetItem* found = nullptr;
    for (int s = 1; s <= 64; ++s) {
        if (!m_model.SingleExists(s))
            continue;
        QTreeWidgetItem* node = AddNodeSingle(s);
        if (s == number)
            found = node;
    }
    return found;
}

QTreeWidgetItem* CPluginTreeCtrlView::AddNodeGroup(int number)
{
    const bool central = number == 0;
    const int n = central ? 1 : number;
    QTreeWidgetItem* parent =
        central ? m_addressing : FindNode(n <= 32 ? NodeGroupsFolder : NodeDevicesFolder);
    if (!parent)
        return nullptr;
    const QString text = central ? QString::fromStdString(m_model.GetLabel(LabelCentral))
                                 : QString::fromStdString(m_model.GetGroupDisplayName(n));
    QTreeWidgetItem* node = AddNode(parent, text, IconDevice, NodeGroup, n);
    auto label = [this](ELabel l) {
        return QString::fromStdString(m_model.GetLabel(l));
    };
    AddNode(node, label(LabelSwitching), IconTools, NodeSwitching, n);
    AddNode(node, label(LabelDimming), IconTools, NodeDimming, n);
    AddNode(node, label(LabelSwitchStyle), IconTools, NodeSwitchStyle, n);
    AddNode(node, label(LabelStaircaseFunction), IconTools, NodeStaircase, n);
    AddNode(node, label(LabelHourmeter), IconTools, NodeHourmeter, n);
    if (m_model.IsEmergencyLampsUsed()) {
        const int supply = m_model.GetEmergencyLampSystem();
        if (supply == 0 || supply == 2)
            AddNode(node, m_centralEmergencyLabel, IconTools, NodeEmergencyCentral, n);
        if ((supply == 1 || supply == 2) && n > 32 &&
            (!m_model.IsDaliEmergencyTypeInUse() || m_model.GetMemberType(n - 32) == 1))
            AddNode(node, m_individualEmergencyLabel, IconTools, NodeEmergencyIndividual, n);
    }
    if (!central && n <= 32) {
        QTreeWidgetItem* members = AddNode(node, QString::fromStdString(m_model.GetLabel(LabelDevices)),
                                           IconDevice, NodeMembersFolder, n);
        for (int m = 1; m <= 64; ++m)
            if (m_model.IsGroupMember(n, m))
                AddNodeMember(members, m);
    }
    return node;
}

QTreeWidgetItem* CPluginTreeCtrlView::AddNodeMember(QTreeWidgetItem* folder, int device)
{
    return AddNode(folder, QString::fromStdString(m_model.GetMemberDisplayName(device)), IconDevice,
                   NodeMember, device);
}

QTreeWidgetItem* CPluginTreeCtrlView::AddNodeScene(int scene)
{
    return AddNode(m_scenes, QString::fromStdString(m_model.GetSceneDisplayName(scene)), IconBulbOn,
                   NodeScene, scene);
}

QTreeWidgetItem* CPluginTreeCtrlView::AddNodeEffect(int effect)
{
    QTreeWidgetItem* node = AddNode(m_effects, QString::fromStdString(m_model.GetEffectDisplayName(effect)),
                                    IconBulbOn, NodeEffect, effect);
    AddEffectSteps(node, m_model.GetEffectStepCount(effect));
    return node;
}

QTreeWidgetItem* CPluginTreeCtrlView::AddEffectStep(QTreeWidgetItem* effectNode, int step)
{
    if (step == 0)
        step = effectNode->childCount() > 0 ? effectNode->childCount() : 16;
    return AddNode(effectNode, QString::fromStdString(m_model.GetStepDisplayName(step)), IconTools,
                   NodeEffectStep, step);
}

void CPluginTreeCtrlView::AddEffectSteps(QTreeWidgetItem* effectNode, int count)
{
    count = std::min(count, 16);
    if (count <= 0)
        return;
    for (int k = 1; k < count; ++k)
        AddEffectStep(effectNode, k);
    AddEffectStep(effectNode, 16);
}

void CPluginTreeCtrlView::UpdateMembers(int device, int group)
{
    const bool building = m_building;
    m_building = true;
    QTreeWidgetItem* remembered = nullptr;
    if (QTreeWidgetItem* groups = FindNode(NodeGroupsFolder)) {
        for (int i = 0; i < groups->childCount(); ++i) {
            QTreeWidgetItem* groupNode = groups->child(i);
            const int g = NodeNumber(groupNode);
            for (int j = 0; j < groupNode->childCount(); ++j) {
                QTreeWidgetItem* folder = groupNode->child(j);
                if (NodeType(folder) != NodeMembersFolder)
                    continue;
                DeleteAllChildren(folder);
                for (int m = 1; m <= 64; ++m) {
                    if (!m_model.IsGroupMember(g, m))
                        continue;
                    QTreeWidgetItem* node = AddNodeMember(folder, m);
                    if (m == device && (group == 0 || group == g) && !remembered)
                        remembered = node;
                }
            }
        }
    }
    if (QTreeWidgetItem* devices = FindNode(NodeDevicesFolder)) {
        DeleteAllChildren(devices);
        if (QTreeWidgetItem* single = AddAllSingles(device))
            remembered = single;
    }
    m_building = building;
    Select(remembered);
}

void CPluginTreeCtrlView::UpdateMemberName(int device, const QString& name)
{
    QTreeWidgetItemIterator it(this);
    for (; *it; ++it) {
        const int type = NodeType(*it), number = NodeNumber(*it);
        if ((type == NodeMember && number == device) || (type == NodeGroup && number == device + 32))
            (*it)->setText(0, QStringLiteral("[%1] %2").arg(device).arg(name));
    }
}

QTreeWidgetItem* CPluginTreeCtrlView::EnsureChild(QTreeWidgetItem* parent, int type, int number,
                                                  const QString& text, int image)
{
    for (int i = 0; i < parent->childCount(); ++i)
        if (NodeType(parent->child(i)) == type)
            return parent->child(i);
    return AddNode(parent, text, image, type, number);
}

void CPluginTreeCtrlView::UpdateEmergencyLamps(QTreeWidgetItem* node)
{
    const bool used = m_model.IsEmergencyLampsUsed();
    const int supply = m_model.GetEmergencyLampSystem();
    if (node) {
        const int n = NodeNumber(node);
        TRACE_MSG(TRACE_INFO, "GroupNr = %d", n);
        const bool central = used && supply != 1;
        const bool individual =
            n > 32 && used && supply != 0 &&
            ((m_model.GetDaliDeviceTypeSetting() == 0 && m_model.GetDaliEmergencyDeviceType() == 0) ||
             m_model.GetMemberType(n - 32) == 1);
        for (auto [type, wanted, text] :
             {std::tuple{NodeEmergencyCentral, central, m_centralEmergencyLabel},
              std::tuple{NodeEmergencyIndividual, individual, m_individualEmergencyLabel}}) {
            QTreeWidgetItem* existing = nullptr;
            for (int i = 0; i < node->childCount(); ++i)
                if (NodeType(node->child(i)) == type)
                    existing = node->child(i);
            if (wanted && !existing)
                AddNode(node, text, IconTools, type, n);
            else if (!wanted && existing)
                delete existing;
        }
        return;
    }
    QTreeWidgetItem* folder = FindNode(NodeEmergencyFolder);
    if (!used) {
        delete folder;
    } else {
        auto label = [this](ELabel l) {
            return QString::fromStdString(m_model.GetLabel(l));
        };
        if (!folder)
            folder = AddNode(nullptr, label(LabelEmergencyLamps), IconExit, NodeEmergencyFolder, 0);
        QTreeWidgetItem* central = nullptr;
        for (int i = 0; i < folder->childCount(); ++i)
            if (NodeType(folder->child(i)) == NodeCentrallySupplied)
                central = folder->child(i);
        if (supply == 0 || supply == 2) {
            if (!central)
                central = AddNode(folder, label(LabelCentrallySupplied), IconTools, NodeCentrallySupplied, 0);
            const int extent = std::clamp(m_model.GetEmergencyFeedback(), 0, 2);
            const int type = NodeExtentEL + extent;
            const QString text = label(static_cast<ELabel>(LabelEL + extent));
            QTreeWidgetItem* extentNode = central->childCount() > 0 ? central->child(0) : nullptr;
            if (!extentNode)
                extentNode = AddNode(central, text, IconTools, type, 0);
            extentNode->setData(0, Qt::UserRole, MakeNodeData(type, 0));
            extentNode->setText(0, text);
            if (extent == 2 && extentNode->childCount() == 0)
                AddNode(extentNode, label(LabelEmergencyFeedback), IconTools, NodeEmergencyFeedback, 0);
            else if (extent != 2)
                DeleteAllChildren(extentNode);
        } else {
            delete central;
        }
        QTreeWidgetItem* individual = nullptr;
        for (int i = 0; i < folder->childCount(); ++i)
            if (NodeType(folder->child(i)) == NodeIndividuallySupplied)
                individual = folder->child(i);
        if (supply == 1 || supply == 2) {
            if (!individual)
                AddNode(folder, label(LabelIndividuallySupplied), IconTools, NodeIndividuallySupplied, 0);
        } else {
            delete individual;
        }
    }
    for (int type : {NodeGroupsFolder, NodeDevicesFolder})
        if (QTreeWidgetItem* f = FindNode(type))
            for (int i = 0; i < f->childCount(); ++i)
                UpdateEmergencyLamps(f->child(i));
}

// ---- commands --------------------------------------------------------------------------------

QString CPluginTreeCtrlView::LabelName(const QTreeWidgetItem* item)
{
    const QString text = item ? item->text(0) : QString();
    const qsizetype at = text.indexOf(QStringLiteral("] "));
    return at < 0 ? text : text.mid(at + 2);
}

void CPluginTreeCtrlView::SetLabelName(QTreeWidgetItem* item, const QString& name)
{
    if (!item)
        return;
    const QString text = item->text(0);
    const qsizetype at = text.indexOf(QStringLiteral("] "));
    item->setText(0, at < 0 ? name : text.left(at + 2) + name);
}

void CPluginTreeCtrlView::SelectAndFocus(QTreeWidgetItem* item)
{
    if (!item)
        return;
    item->setExpanded(true);
    Select(item);
    setFocus();
}

QTreeWidgetItem* CPluginTreeCtrlView::GroupFolderOf(QTreeWidgetItem* groupNode) const
{
    return groupNode ? groupNode->parent() : nullptr;
}

std::unique_ptr<QMenu> CPluginTreeCtrlView::ContextMenu(QTreeWidgetItem* node)
{
    if (!node)
        return nullptr;
    WaitCursor wait;
    const int type = NodeType(node), number = NodeNumber(node);
    CEtsDbManagement& m = m_model;
    auto menu = std::make_unique<QMenu>(this);
    auto item = [&](int command, const QString& text, bool enabled) {
        QAction* a = menu->addAction(text);
        a->setData(command);
        a->setEnabled(enabled);
        connect(a, &QAction::triggered, this, [this, command] { OnCommand(command); });
    };
    auto folder = [&](bool newEnabled, bool pasteEnabled) {
        item(CommandNew, m_textNew, newEnabled);
        item(CommandPaste, m_textPaste, pasteEnabled);
    };
    auto element = [&](bool paste, bool del, bool rename) {
        item(CommandCopy, m_textCopy, true);
        item(CommandPaste, m_textPaste, paste);
        menu->addSeparator();
        item(CommandDelete, m_textDelete, del);
        item(CommandRename, m_textRename, rename);
    };
    switch (type) {
    case NodeGroupsFolder: {
        const bool free = m.GetNextFreeGroupNr() != 0;
        folder(free, free && m.IsGroupClipboardValid());
        break;
    }
    case NodeDevicesFolder: {
        const bool free = m.GetNextFreeSingleNr() != 0;
        folder(free, free && m.IsGroupClipboardValid());
        break;
    }
    case NodeGroup: {
        const bool central = m.GetAddressingMode() == 0;
        element(m.IsGroupClipboardValid(), !central && CountChildren(GroupFolderOf(node)) > 1, !central);
        break;
    }
    case NodeMembersFolder: {
        const bool full = (number > 16 && CountChildren(node) >= 2) || m.GetNextFreeMemberNr() == 0;
        folder(!full, !full && m.IsMemberClipboardValid());
        break;
    }
    case NodeMember:
        element(m.IsMemberClipboardValid(), true, true);
        break;
    case NodeScenesFolder: {
        const bool free = m.GetNextFreeSceneNr() != 0;
        folder(free, free && m.IsSceneClipboardValid());
        break;
    }
    case NodeScene:
        element(m.IsSceneClipboardValid(), true, true);
        break;
    case NodeEffectsFolder: {
        const bool free = m.GetNextFreeEffectNr() != 0;
        folder(free, free && m.IsEffectClipboardValid());
        break;
    }
    case NodeEffect:
        element(m.IsEffectClipboardValid(), true, true);
        menu->addSeparator();
        item(CommandNew, m_textNew, CountChildren(node) <= 15);
        break;
    case NodeEffectStep:
        item(CommandCopy, m_textCopy, true);
        item(CommandPaste, m_textPaste, m.IsStepClipboardValid());
        menu->addSeparator();
        item(CommandDelete, m_textDelete, number != 16);
        menu->addSeparator();
        item(CommandNew, m_textNew, CountChildren(node->parent()) <= 15);
        break;
    default:
        return nullptr;
    }
    return menu;
}

void CPluginTreeCtrlView::OnContextMenu(const QPoint& globalPos, bool keyboard)
{
    QTreeWidgetItem* node = nullptr;
    QPoint at = globalPos;
    if (keyboard) {
        node = SelectedNode();
        at = viewport()->mapToGlobal(QPoint(0, 0));
    } else {
        const QPoint local = viewport()->mapFromGlobal(globalPos);
        QTreeWidgetItem* hit = itemAt(local);
        if (!hit)
            return;
        // Only the icon and the label count, not the empty rest of the row.
        const QRect row = visualItemRect(hit);
        const int right = row.left() + iconSize().width() + 8 + fontMetrics().horizontalAdvance(hit->text(0));
        if (local.x() < row.left() || local.x() > right)
            return;
        Select(hit);
        node = hit;
    }
    if (std::unique_ptr<QMenu> menu = ContextMenu(node))
        menu->exec(at);
}

void CPluginTreeCtrlView::contextMenuEvent(QContextMenuEvent* event)
{
    OnContextMenu(event->globalPos(), event->reason() == QContextMenuEvent::Keyboard);
}

void CPluginTreeCtrlView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    int command = 0;
    switch (event->key()) {
    case Qt::Key_C:
        command = mods == Qt::ControlModifier ? CommandCopy : 0;
        break;
    case Qt::Key_V:
        command = mods == Qt::ControlModifier ? CommandPaste : 0;
        break;
    case Qt::Key_Delete:
        command = mods == Qt::NoModifier ? CommandDelete : 0;
        break;
    case Qt::Key_F2:
        command = mods == Qt::NoModifier ? CommandRename : 0;
        break;
    case Qt::Key_F1:
        command = mods == Qt::NoModifier ? CommandHelp : 0;
        break;
    case Qt::Key_N:
        command = mods == Qt::ControlModifier                         ? CommandNew
                  : mods == (Qt::ControlModifier | Qt::ShiftModifier) ? CommandMultiNew
                                                                      : 0;
        break;
    default:
        break;
    }
    if (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier) {
        OnContextMenu(QPoint(), true);
        event->accept();
        return;
    }
    if (command) {
        OnCommand(command);
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

bool CPluginTreeCtrlView::OnCommand(int id)
{
    switch (id) {
    case CommandCopy:
        OnCommandCopy();
        return true;
    case CommandPaste:
        OnCommandPaste();
        return true;
    case CommandRename:
        OnCommandRename();
        return true;
    case CommandDelete:
        OnCommandDelete();
        return true;
    case CommandNew:
        OnCommandNew();
        return true;
    case CommandMultiNew:
        OnCommandMultiNew();
        return true;
    case CommandHelp:
        OnCommandHelp();
        return true;
    default:
        return false;
    }
}

void CPluginTreeCtrlView::OnCommandCopy()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    WaitCursor wait;
    const int number = NodeNumber(node);
    switch (NodeType(node)) {
    case NodeGroup:
        m_model.CopyGroup(number);
        break;
    case NodeMember:
        m_model.CopyMember(number);
        break;
    case NodeScene:
        m_model.CopyScene(number);
        break;
    case NodeEffect:
        m_model.CopyEffect(number);
        break;
    case NodeEffectStep:
        m_model.CopyEffectStep(NodeNumber(node->parent()), number);
        break;
    default:
        break;
    }
}

void CPluginTreeCtrlView::RefreshNode(QTreeWidgetItem* node, const std::string& label)
{
    m_main.ShowParameterDialog();
    node->setText(0, QString::fromStdString(label));
    m_main.ChangeLabelActiveTreeNode();
}

void CPluginTreeCtrlView::OnCommandPaste()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    WaitCursor wait;
    CEtsDbManagement& m = m_model;
    const int number = NodeNumber(node);
    switch (NodeType(node)) {
    case NodeGroupsFolder:
        if (const int g = m.GetNextFreeGroupNr(); g && m.IsGroupClipboardValid()) {
            // Creating first marks the configuration changed, so that OK renews the project identity.
            m.CreateGroup(g);
            m.PasteGroup(g);
            SelectAndFocus(AddNodeGroup(g));
        }
        break;
    case NodeDevicesFolder:
        if (const int s = m.GetNextFreeSingleNr(); s && m.IsGroupClipboardValid()) {
            m.CreateSingle(s);
            m.PasteGroup(32 + s);
            SelectAndFocus(AddNodeSingle(s));
        }
        break;
    case NodeGroup:
        if (m.PasteGroup(number)) {
            if (number > 32)
                UpdateEmergencyLamps(node);
            RefreshNode(node, m.GetAddressingMode() == 0 ? m.GetLabel(LabelCentral)
                                                         : m.GetGroupDisplayName(number));
        }
        break;
    case NodeMembersFolder:
        if (const int d = m.GetNextFreeMemberNr();
            d && m.IsMemberClipboardValid() && m.AddGroupMember(number, d)) {
            m.PasteMember(d);
            SelectAndFocus(AddNodeMember(node, d));
        }
        break;
    case NodeMember:
        if (m.IsMemberClipboardValid() && m.PasteMember(number)) {
            m_main.ShowParameterDialog();
            UpdateMemberName(number, QString::fromStdString(m.GetMemberName(number)));
            m_main.ChangeLabelActiveTreeNode();
        }
        break;
    case NodeScenesFolder:
        if (const int s = m.GetNextFreeSceneNr(); s && m.IsSceneClipboardValid()) {
            m.CreateScene(s);
            m.PasteScene(s);
            SelectAndFocus(AddNodeScene(s));
        }
        break;
    case NodeScene:
        if (m.PasteScene(number))
            RefreshNode(node, m.GetSceneDisplayName(number));
        break;
    case NodeEffectsFolder:
        if (const int e = m.GetNextFreeEffectNr(); e && m.IsEffectClipboardValid()) {
            m.CreateEffect(e);
            m.PasteEffect(e);
            SelectAndFocus(AddNodeEffect(e));
        }
        break;
    case NodeEffect:
        if (m.PasteEffect(number)) {
            const bool building = m_building;
            m_building = true;
            DeleteAllChildren(node);
            AddEffectSteps(node, m.GetEffectStepCount(number));
            m_building = building;
            RefreshNode(node, m.GetEffectDisplayName(number));
        }
        break;
    case NodeEffectStep:
        if (m.PasteEffectStep(NodeNumber(node->parent()), number))
            m_main.ShowParameterDialog();
        break;
    default:
        break;
    }
}

void CPluginTreeCtrlView::OnCommandDelete()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    WaitCursor wait;
    CEtsDbManagement& m = m_model;
    const int number = NodeNumber(node);
    switch (NodeType(node)) {
    case NodeGroup: {
        // The last group or single of its folder, and the central group, stay.
        if (m.GetAddressingMode() == 0 || CountChildren(GroupFolderOf(node)) < 2)
            return;
        if (m.IsGroupUsedInScenesOrEffects(number) && !m.ConfirmDeletingSceneAssignments())
            return;
        if (number <= 32 && m.GetGroupMemberCount(number) > 0 && !m.ConfirmDeletingGroupsOrDevices())
            return;
        if (number > 32 && m.IsMemberAssigned(number - 32) && !m.ConfirmDeletingAssignments())
            return;
        if (!m.CanChangeValueAfterCheckObjectAssociations(GetGroupUniqueNr(param::kGroupExists, number)))
            return;
        m.DeleteGroup(number);
        delete node;
        break;
    }
    case NodeMember: {
        if (m.IsMemberAssigned(number) && !m.ConfirmDeletingAssignments())
            return;
        QTreeWidgetItem* group = node->parent() ? node->parent()->parent() : nullptr;
        m.RemoveGroupMember(NodeNumber(group), number);
        delete node;
        break;
    }
    case NodeScene: {
        int existing = 0;
        for (int s = 1; s <= 16; ++s)
            existing += m.SceneExists(s) ? 1 : 0;
        if (m.SceneExists(number) && existing == 1 &&
            !m.CanChangeValueAfterCheckObjectAssociations(param::kSceneObjectDisabled))
            return;
        m.DeleteScene(number);
        delete node;
        break;
    }
    case NodeEffect: {
        if (m.EffectExists(number)) {
            int existing = 0;
            for (int e = 1; e <= 16; ++e)
                existing += m.EffectExists(e) ? 1 : 0;
            const bool associations = m.CheckParameterDependentObjectAssociations(
                                          GetEffectUniqueNr(param::kEffectExists, number)) ||
                                      (existing == 1 && m.CheckParameterDependentObjectAssociations(716));
            if (associations && !m.ConfirmDeletingAssociations())
                return;
        }
        // With save, so that the step table is packed again and its value count stays right.
        m.DeleteEffect(number, true);
        delete node;
        break;
    }
    case NodeEffectStep: {
        if (number == 16)
            return;
        QTreeWidgetItem* effect = node->parent();
        m.DeleteEffectStep(NodeNumber(effect), number);
        // The model closes the gap: the last normal step's node goes, the positions stay.
        const int count = CountChildren(effect);
        if (count < 2)
            return;
        QTreeWidgetItem* last = effect->child(count - 2);
        if (last == node) {
            Select(effect->child(count - 1));
            delete last;
        } else {
            const bool building = m_building;
            m_building = true;
            delete last;
            m_building = building;
            m_main.ShowParameterDialog();
        }
        break;
    }
    default:
        break;
    }
}

bool CPluginTreeCtrlView::AskName(QTreeWidgetItem* node, QString& name)
{
    name = LabelName(node);
    CDlgEditName dialog(this, name);
    return dialog.Run() == QDialog::Accepted;
}

void CPluginTreeCtrlView::OnCommandRename()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    WaitCursor wait;
    CEtsDbManagement& m = m_model;
    const int type = NodeType(node), number = NodeNumber(node);
    if (type != NodeGroup && type != NodeMember && type != NodeScene && type != NodeEffect)
        return;
    if (type == NodeGroup && m.GetAddressingMode() == 0)
        return;
    QString name;
    if (!AskName(node, name))
        return;
    const std::string text = name.toStdString();
    if (type == NodeGroup)
        m.SetGroupName(number, text);
    else if (type == NodeMember)
        m.SetMemberName(number, text);
    else if (type == NodeScene)
        m.SetSceneName(number, text);
    else
        m.SetEffectName(number, text);
    if (type == NodeMember || (type == NodeGroup && number > 32))
        UpdateMemberName(type == NodeMember ? number : number - 32, name);
    else
        SetLabelName(node, name);
    m_main.ChangeLabelActiveTreeNode();
    m_main.ChangeNameClientDialog();
}

bool CPluginTreeCtrlView::NewOnce(QTreeWidgetItem* node, int* stepAfter)
{
    CEtsDbManagement& m = m_model;
    const int number = NodeNumber(node);
    switch (NodeType(node)) {
    case NodeGroupsFolder:
        if (const int g = m.GetNextFreeGroupNr()) {
            m.CreateGroup(g);
            SelectAndFocus(AddNodeGroup(g));
            return true;
        }
        return false;
    case NodeDevicesFolder:
        if (const int s = m.GetNextFreeSingleNr()) {
            m.CreateSingle(s);
            SelectAndFocus(AddNodeSingle(s));
            return true;
        }
        return false;
    case NodeMembersFolder:
        if (const int d = m.GetNextFreeMemberNr(); d && m.AddGroupMember(number, d)) {
            SelectAndFocus(AddNodeMember(node, d));
            return true;
        }
        return false;
    case NodeScenesFolder:
        if (const int s = m.GetNextFreeSceneNr()) {
            m.CreateScene(s);
            SelectAndFocus(AddNodeScene(s));
            return true;
        }
        return false;
    case NodeEffectsFolder:
        if (const int e = m.GetNextFreeEffectNr()) {
            m.CreateEffect(e);
            SelectAndFocus(AddNodeEffect(e));
            return true;
        }
        return false;
    case NodeEffect:
    case NodeEffectStep: {
        const bool onEffect = NodeType(node) == NodeEffect;
        QTreeWidgetItem* effect = onEffect ? node : node->parent();
        const int after = stepAfter ? *stepAfter : onEffect ? 0 : number;
        if (after == 16)
            return false;
        const int fresh = m.CreateEffectStep(NodeNumber(effect), after);
        if (!fresh)
            return false;
        if (stepAfter)
            *stepAfter = fresh;
        const bool building = m_building;
        m_building = true;
        AddEffectStep(effect, CountChildren(effect));
        m_building = building;
        if (!stepAfter) {
            if (onEffect) {
                SelectAndFocus(effect->child(0));
            } else {
                const int at = effect->indexOfChild(node);
                SelectAndFocus(effect->child(std::min(at + 1, CountChildren(effect) - 1)));
            }
        }
        return true;
    }
    default:
        return false;
    }
}

void CPluginTreeCtrlView::OnCommandNew()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    WaitCursor wait;
    NewOnce(node, nullptr);
}

void CPluginTreeCtrlView::OnCommandMultiNew()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return;
    WaitCursor wait;
    const int type = NodeType(node);
    if (type == NodeEffect || type == NodeEffectStep) {
        int after = type == NodeEffect ? 0 : NodeNumber(node);
        while (NewOnce(node, &after)) {
        }
        node->setExpanded(true);
        return;
    }
    // The folder stays the node that new items go into, whatever each New selects.
    while (NewOnce(node, nullptr)) {
    }
    node->setExpanded(true);
}

void CPluginTreeCtrlView::OnCommandHelp()
{
    TRACE_ENTRY();
    m_model.LoadHelpFile();
}
