// The navigation tree: one node per page, mirroring groups, devices, scenes and effects of the model.
#pragma once

#include "ui/MainWindow.h"

#include <QIcon>
#include <QMap>
#include <QTreeWidget>
#include <memory>

class QMenu;

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

    // Commands of the context menu and the accelerators.
    enum Command
    {
        CommandCopy = 32778,
        CommandPaste = 32779,
        CommandRename = 32780,
        CommandDelete = 32781,
        CommandNew = 32783,
        CommandMultiNew = 32784,
        CommandHelp = 57670,
    };
    // The context menu of a node with its items enabled or grayed; null for nodes without one.
    std::unique_ptr<QMenu> ContextMenu(QTreeWidgetItem* node);
    // keyboard: opened by key, at the tree's corner for the selected node; else at a point on an item.
    void OnContextMenu(const QPoint& globalPos, bool keyboard);
    // Runs a command on the selected node; false when the id is none of the tree's commands.
    bool OnCommand(int id);
    void OnCommandCopy();
    void OnCommandPaste();
    void OnCommandDelete();
    void OnCommandRename();
    void OnCommandNew();
    void OnCommandMultiNew();
    void OnCommandHelp();

    // A node's label after its number prefix, and the label with a new name after the prefix.
    static QString LabelName(const QTreeWidgetItem* item);
    static void SetLabelName(QTreeWidgetItem* item, const QString& name);
    void SelectAndFocus(QTreeWidgetItem* item);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The name of a node through the rename dialog; false when cancelled.
    bool AskName(QTreeWidgetItem* node, QString& name);
    QTreeWidgetItem* GroupFolderOf(QTreeWidgetItem* groupNode) const;
    void RefreshNode(QTreeWidgetItem* node, const std::string& label);
    bool NewOnce(QTreeWidgetItem* node, int* stepAfter);

    QString Text(int number, const char* fallback) const;
    QString Numbered(int number, const std::string& name) const;
    QTreeWidgetItem* EnsureChild(QTreeWidgetItem* parent, int type, int number, const QString& text,
                                 int image);

    IMainWindow& m_main;
    CEtsDbManagement& m_model;
    QString m_centralEmergencyLabel, m_individualEmergencyLabel;
    QString m_textNew, m_textPaste, m_textCopy, m_textDelete, m_textRename;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_addressing = nullptr;
    QTreeWidgetItem* m_scenes = nullptr;
    QTreeWidgetItem* m_effects = nullptr;
    bool m_building = false;
};
