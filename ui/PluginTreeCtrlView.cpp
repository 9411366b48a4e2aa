#include "ui/PluginTreeCtrlView.h"

#include "model/EtsDbManagement.h"
#include "plugin/trace/DebugTrace.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <cstdio>

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
    QStyle* style = QApplication::style();
    switch (icon) {
    case IconSettings:
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    case IconStructure:
        return style->standardIcon(QStyle::SP_DirIcon);
    case IconDevice:
        return style->standardIcon(QStyle::SP_DriveNetIcon);
    case IconTools:
        return style->standardIcon(QStyle::SP_FileDialogContentsView);
    case IconBulbOff:
        return style->standardIcon(QStyle::SP_DirClosedIcon);
    case IconBulbOn:
        return style->standardIcon(QStyle::SP_DialogYesButton);
    case IconExport:
        return style->standardIcon(QStyle::SP_DialogSaveButton);
    case IconWrench:
        return style->standardIcon(QStyle::SP_BrowserReload);
    case IconGear:
        return style->standardIcon(QStyle::SP_MediaPlay);
    case IconHand:
        return style->standardIcon(QStyle::SP_ArrowRight);
    case IconExit:
        return style->standardIcon(QStyle::SP_MessageBoxWarning);
    default:
        return {};
    }
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
