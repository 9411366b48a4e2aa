// The pages of the device-wide nodes, the folders, a group's functions and the emergency lamps.
#include "ui/ConfigurationPages.h"
#include "ui/DlgParameterAddressing.h"
#include "ui/DlgParameterCommon.h"
#include "ui/DlgParameterDaliPages.h"
#include "ui/DlgParameterEmergencyLamps.h"
#include "ui/DlgParameterFolders.h"
#include "ui/DlgParameterGroupEmergencySupply.h"
#include "ui/DlgParameterGroupFunctions.h"
#include "ui/DlgParameterGroupTimeFunction.h"
#include "ui/DlgParameterGroupTimeswitchFunction.h"
#include "ui/DlgParameterManualOperation.h"
#include "ui/PluginTreeCtrlView.h"

namespace {

// A page made from the main window alone, or with the node's number (its group or single device).
template <class Page> PageFactory Plain()
{
    return [](IMainWindow& main, QTreeWidgetItem*) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<Page>(main);
    };
}

template <class Page> PageFactory OfNode()
{
    return [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<Page>(main, CPluginTreeCtrlView::NodeNumber(node));
    };
}

} // namespace

void RegisterCataloguePages(const PageRegistrar& registrar)
{
    registrar(NodeGeneral, Plain<CDlgParameterCommon>());
    registrar(NodeDaliCommunication, Plain<CDlgParameterCommon2>());
    registrar(NodeDaliErrors, Plain<CDlgParameterCommon3>());
    registrar(NodeDaliStatus, Plain<CDlgParameterCommon4>());
    registrar(NodeDaliStandby, Plain<CDlgParameterCommon5>());
    registrar(NodeManualControl, Plain<CDlgParameterManualOperation>());
    registrar(NodeAddressing, Plain<CDlgParameterAddressing>());
    registrar(NodeGroupsFolder, Plain<CDlgParameterFolderGroups>());
    registrar(NodeDevicesFolder, Plain<CDlgParameterFolderSingles>());
    registrar(NodeScenesFolder, Plain<CDlgParameterFolderScenes>());
    registrar(NodeEffectsFolder, Plain<CDlgParameterFolderEffects>());
    registrar(NodeSwitching, OfNode<CDlgParameterGroupSwitch>());
    registrar(NodeDimming, OfNode<CDlgParameterGroupDimmer>());
    registrar(NodeSwitchStyle, OfNode<CDlgParameterGroupTimeFunction>());
    registrar(NodeStaircase, OfNode<CDlgParameterGroupTimeswitchFunction>());
    registrar(NodeHourmeter, OfNode<CDlgParameterGroupHourmeter>());
    registrar(NodeEmergencyCentral, OfNode<CDlgParameterGroupEmergencySupplyCentral>());
    registrar(NodeEmergencyIndividual, OfNode<CDlgParameterGroupEmergencySupplyIndividual>());
    registrar(NodeMembersFolder, OfNode<CDlgParameterGroupMembers>());
    registrar(NodeEmergencyFolder, Plain<CDlgParameterEmergencyLamps>());
    registrar(NodeCentrallySupplied, Plain<CDlgParameterEmergencySupplyCentral>());
    registrar(NodeIndividuallySupplied, Plain<CDlgParameterEmergencySupplyIndividual>());
    registrar(NodeExtentEL, Plain<CDlgParameterEmergencyOpExtentElamps>());
    registrar(NodeExtentELKnx, Plain<CDlgParameterEmergencyOpExtentElampsAndKnx>());
    registrar(NodeExtentELKnxDali, Plain<CDlgParameterEmergencyOpExtentElampsAndKnxAndDali>());
    registrar(NodeEmergencyFeedback, Plain<CDlgParameterEmergencyLampFeedback>());
}
