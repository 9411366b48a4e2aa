#include "ui/ConfigurationPages.h"

#include "ui/DlgParameterExportImport.h"
#include "ui/DlgParameterGroupCommon.h"
#include "ui/PluginTreeCtrlView.h"

void RegisterConfigurationPages(const PageRegistrar& registrar)
{
    registrar(NodeGroup, [](IMainWindow& main, QTreeWidgetItem* node) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterGroupCommon>(main, CPluginTreeCtrlView::NodeNumber(node));
    });
    registrar(NodeExportImport, [](IMainWindow& main, QTreeWidgetItem*) -> std::unique_ptr<CParameterDialog> {
        return std::make_unique<CDlgParameterExportImport>(main);
    });
}
