// What the tree and the pages need of the main window that holds them.
#pragma once

class CEtsDbManagement;
class CEtsLifeDeviceConnection;
class CPluginTreeCtrlView;
class QWidget;

class IMainWindow
{
public:
    virtual ~IMainWindow() = default;
    virtual CEtsDbManagement* GetModel() = 0;
    virtual CPluginTreeCtrlView* GetTree() = 0;
    virtual QWidget* GetWindow() = 0;
    // Shows the page of the tree's selected node.
    virtual void ShowParameterDialog() = 0;
    virtual void ChangeLabelActiveTreeNode() = 0;
    virtual void ChangeNameClientDialog() = 0;
    virtual bool IsCancelling() const = 0;
    // The gateway connection verified for the online page being shown; null without one.
    virtual CEtsLifeDeviceConnection* VerifiedConnection() const { return nullptr; }
};

// Node types of the navigation tree (upper 16 bits of a node's item data).
enum ENodeType : int
{
    NodeGeneral = 1,
    NodeDaliCommunication = 2,
    NodeDaliErrors = 3,
    NodeDaliStatus = 4,
    NodeDaliStandby = 5,
    NodeManualControl = 6,
    NodeAddressing = 7,
    NodeGroupsFolder = 8,
    NodeDevicesFolder = 9,
    NodeGroup = 10,
    NodeSwitching = 11,
    NodeDimming = 12,
    NodeSwitchStyle = 13,
    NodeStaircase = 14,
    NodeHourmeter = 15,
    NodeEmergencyCentral = 16,
    NodeEmergencyIndividual = 17,
    NodeMembersFolder = 18,
    NodeMember = 19,
    NodeScenesFolder = 20,
    NodeScene = 21,
    NodeEffectsFolder = 22,
    NodeEffect = 23,
    NodeEffectStep = 24,
    NodeExportImport = 25,
    NodeCommissioning = 26,
    NodeTest = 27,
    NodeEmergencyFolder = 28,
    NodeCentrallySupplied = 29,
    NodeIndividuallySupplied = 30,
    NodeExtentEL = 31,
    NodeExtentELKnx = 32,
    NodeExtentELKnxDali = 33,
    NodeEmergencyFeedback = 34,
};

constexpr unsigned MakeNodeData(int type, int number)
{
    return static_cast<unsigned>(type) << 16 | static_cast<unsigned>(number & 0xFFFF);
}
constexpr int NodeTypeOf(unsigned data)
{
    return static_cast<int>(data >> 16);
}
constexpr int NodeNumberOf(unsigned data)
{
    return static_cast<int>(data & 0xFFFF);
}
