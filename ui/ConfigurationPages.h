// Registers the configuration pages of the tree's node types with the main window.
#pragma once

#include "ui/ParameterDialog.h"

#include <functional>
#include <memory>

class QTreeWidgetItem;

using PageFactory =
    std::function<std::unique_ptr<CParameterDialog>(IMainWindow& main, QTreeWidgetItem* node)>;
using PageRegistrar = std::function<void(int nodeType, PageFactory factory)>;

// Hands every page family of ui/ to the registrar, once per call.
void RegisterConfigurationPages(const PageRegistrar& registrar);
// The pages of the parameter catalogue (a part of the above).
void RegisterCataloguePages(const PageRegistrar& registrar);
