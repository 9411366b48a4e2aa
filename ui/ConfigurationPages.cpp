#include "ui/ConfigurationPages.h"

#include "ui/DlgParameterCommissioning.h"
#include "ui/DlgParameterEffect.h"
#include "ui/DlgParameterEffectStep.h"
#include "ui/DlgParameterExportImport.h"
#include "ui/DlgParameterGroupCommon.h"
#include "ui/DlgParameterGroupMember.h"
#include "ui/DlgParameterScene.h"
#include "ui/DlgParameterTest.h"
#include "ui/PluginTreeCtrlView.h"

void RegisterConfigurationPages(const PageRegistrar& registrar)
{
    RegisterCataloguePages(registrar);
    registrar(NodeGroup, [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterGroupCommon>(main, CPluginTreeCtrlView::NodeNumber(node));
    });
    // A member node lies in its group's members folder; a step node below its effect.
    registrar(NodeMember, [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterGroupMember>(main, CPluginTreeCtrlView::NodeNumber(node),
                                                          CPluginTreeCtrlView::NodeNumber(node->parent()));
    });
    registrar(NodeScene, [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterScene>(main, CPluginTreeCtrlView::NodeNumber(node));
    });
    registrar(NodeEffect, [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterEffect>(main, CPluginTreeCtrlView::NodeNumber(node));
    });
    registrar(
        NodeEffectStep, [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
            return std::make_unique<CDlgParameterEffectStep>(
                main, CPluginTreeCtrlView::NodeNumber(node->parent()), CPluginTreeCtrlView::NodeNumber(node));
        });
    registrar(NodeCommissioning,
              [](IMainWindow& main, QTreeWidgetItem*) -> std::unique_ptr<CParameterDialog> {
                  return std::make_unique<CDlgParameterCommissioning>(main, main.VerifiedConnection());
              });
    registrar(NodeTest,
              [](IMainWindow& main, QTreeWidgetItem*) { return CDlgParameterTest::CreatePage(main); });
    registrar(NodeExportImport, [](IMainWindow& main, QTreeWidgetItem*) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterExportImport>(main);
    });
}
