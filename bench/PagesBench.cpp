// Selecting every node of a fully configured gateway in turn, against building the bare widgets of
// the same page templates, in the same run. No single switch may take more than 50 ms.
#include "bench/BenchConfiguration.h"
#include "bench/BenchSupport.h"
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/EtsDbManagement.h"
#include "model/UserPrompt.h"
#include "plugin/UIParameterDialog.h"
#include "product/ParameterNumbers.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

namespace {

constexpr const char* kName = "bench_pages";
constexpr double kGoal = 3.0;
constexpr double kLongestMs = 50.0;
constexpr int kRounds = 2;

[[noreturn]] void Fail(const std::string& text)
{
    bench::Fail(kName, text);
}

// 32 groups, 64 singles, 16 scenes with every group, 16 effects of 16 steps, emergency lamps on.
void ConfigureFully(CEtsDbManagement& model)
{
    auto buffered = [&model](UniqueNr number, std::int32_t value) {
        model.SetParameterLong(number, value);
        model.SetDeviceContext(number, value);
    };
    buffered(param::kAddressingMode, 4);
    buffered(param::kEmergencyLamps, 1);
    buffered(param::kEmergencyLampSystem, 2);
    buffered(param::kEmergencyFeedback, 2);
    for (int g = 1; g <= kGroupCount; ++g)
        model.CreateGroup(g);
    for (int s = 1; s <= kSingleCount; ++s)
        model.CreateSingle(s);
    bench::AddEveryScene(model);
    bench::AddEveryEffect(model, 15);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedPrompt prompt;
    UiServices::SetPrompt(&prompt);

    std::string error;
    auto model = CatalogueModel::Load(Catalogue::DefaultPath(), &error);
    if (!model)
        Fail(error);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("bench-pages-" + std::to_string(::getpid()) + ".veltrona");
    NewProjectOptions options;
    options.demoGroupAddresses = true;
    auto store = CreateGatewayProject(path.string(), model->Source(), options, &error);
    if (!store)
        Fail(error);
    auto session = HostSession::Open(store, model, &error);
    if (!session || session->BeginEditing() != S_OK)
        Fail("cannot open the project: " + error);
    {
        CEtsDbManagement setup(session->Device().Get(), &prompt);
        setup.LoadDeviceParameterPointers();
        setup.InitLightnessValueLists();
        setup.LoadBufferedParameters();
        ConfigureFully(setup);
    }

    std::vector<double> switches, bare;
    double longest = 0;
    int longestType = 0;
    {
        CUIParameterDialog window(session->Device().Get(), nullptr);
        if (!window.Create())
            Fail("the main window does not open");
        window.show();
        CPluginTreeCtrlView* tree = window.GetTree();
        std::vector<QTreeWidgetItem*> nodes;
        std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
            // The online pages talk to the gateway first; they are not parameter pages.
            const int type = CPluginTreeCtrlView::NodeType(item);
            if (type != NodeCommissioning && type != NodeTest)
                nodes.push_back(item);
            for (int i = 0; i < item->childCount(); ++i)
                walk(item->child(i));
        };
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            walk(tree->topLevelItem(i));
        QWidget* area = window.ActivePage() ? window.ActivePage()->parentWidget() : &window;
        for (int round = 0; round < kRounds; ++round) {
            for (QTreeWidgetItem* node : nodes) {
                const double ms = bench::TimeMs([&] { tree->Select(node); });
                // The previous page goes here, outside the timing; nothing is painted offscreen.
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                CParameterDialog* page = window.ActivePage();
                if (!page)
                    Fail("node type " + std::to_string(CPluginTreeCtrlView::NodeType(node)) +
                         " shows no page");
                switches.push_back(ms);
                if (ms > longest) {
                    longest = ms;
                    longestType = CPluginTreeCtrlView::NodeType(node);
                }
                const int templateId = page->TemplateId();
                // Built and shown in the page area as a page is; removed outside the timing, as a page is.
                std::unique_ptr<CTemplateDialog> widgets;
                bare.push_back(bench::TimeMs([&] {
                    widgets = std::make_unique<CTemplateDialog>(templateId, area, true);
                    widgets->Create();
                    widgets->show();
                }));
                widgets.reset();
            }
        }
    }
    session.reset();
    store.reset();
    std::filesystem::remove(path);

    const double switchMs = bench::Median(switches), bareMs = bench::Median(bare);
    std::printf(
        "%zu page switches: median %.3f ms, longest %.3f ms (node type %d); bare widgets: median %.3f ms\n",
        switches.size(), switchMs, longest, longestType, bareMs);
    const bool slowSwitch = longest > kLongestMs;
    if (slowSwitch)
        std::fprintf(stderr, "%s: a page switch took %.3f ms (goal <= %.0f ms)\n", kName, longest,
                     kLongestMs);
    const double ratio = switchMs / bareMs;
    std::printf("pages: ratio %.2f (goal <= %.0f)\n", ratio, kGoal);
    return ratio <= kGoal && !slowSwitch ? 0 : 1;
}
