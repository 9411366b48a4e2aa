// The navigation tree: one node per page, mirroring groups, devices, scenes and effects of the model.
#pragma once

#include "ui/MainWindow.h"

#include <QIcon>
#include <QMap>
#include <QTreeWidget>

class CEtsDbManagement;

class CPluginTreeCtrlView : public QTreeWidget
{
    Q_OBJECT

public:
    CPluginTreeCtrlView(IMainWindow& main, QWidget* parent);

    void InitTreeCtrlView();
    void UpdateAll();
    void UpdateAddressing();
    QTreeWidgetItem* AddAllGroups(int number);
    QTreeWidgetItem* AddAllSingles(int number);
    void UpdateMembers(int device, int group);
    void UpdateMemberName(int device, const QString& name);
    void UpdateEmergencyLamps(QTreeWidgetItem* node);
    QTreeWidgetItem* AddNodeGroup(int number);
    QTreeWidgetItem* AddNodeSingle(int device) { return AddNodeGroup(32 + device); }
    QTreeWidgetItem* AddNodeMember(QTreeWidgetItem* folder, int device);
    QTreeWidgetItem* AddNodeScene(int scene);
    QTreeWidgetItem* AddNodeEffect(int effect);
    QTreeWidgetItem* AddEffectStep(QTreeWidgetItem* effectNode, int step);
    void AddEffectSteps(QTreeWidgetItem* effectNode, int count);
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, int image, int type, int number);
    void DeleteAllChildren(QTreeWidgetItem* node);
    static int CountChildren(QTreeWidgetItem* node) { return node ? node->childCount() : 0; }

    static unsigned ItemData(const QTreeWidgetItem* item);
    static int NodeType(const QTreeWidgetItem* item) { return NodeTypeOf(ItemData(item)); }
    static int NodeNumber(const QTreeWidgetItem* item) { return NodeNumberOf(ItemData(item)); }
    // The first node of a type (and number) anywhere in the tree.
    QTreeWidgetItem* FindNode(int type, int number = -1) const;
    void Select(QTreeWidgetItem* item);
    QTreeWidgetItem* SelectedNode() const { return currentItem(); }

    // Icon resource ids of the nodes.
    enum Icon
    {
        IconSettings = 206,
        IconStructure = 207,
        IconDevice = 208,
        IconTools = 209,
        IconBulbOff = 210,
        IconBulbOn = 211,
        IconExport = 212,
        IconWrench = 213,
        IconGear = 214,
        IconHand = 230,
        IconExit = 252,
    };
    static QIcon NodeIcon(int icon);

private:
    QString Text(int number, const char* fallback) const;
    QString Numbered(int number, const std::string& name) const;
    QTreeWidgetItem* EnsureChild(QTreeWidgetItem* parent, int type, int number, const QString& text,
                                 int image);

    IMainWindow& m_main;
    CEtsDbManagement& m_model;
    QString m_centralEmergencyLabel, m_individualEmergencyLabel;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_addressing = nullptr;
    QTreeWidgetItem* m_scenes = nullptr;
    QTreeWidgetItem* m_effects = nullptr;
    bool m_building = false;
};
