// The veltrona program: the windowed host on a project (the demo project when none is given) and the
// project side's command line.
#include "host/objects/ProjectFactory.h"
#include "host/program/DemoConfiguration.h"
#include "host/program/HostMainWindow.h"
#include "host/program/VeltronaCommands.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::shared_ptr<const Catalogue> LoadCatalogue(const std::string& path, std::string* error)
{
    std::optional<Catalogue> catalogue = Catalogue::Load(path, error);
    if (!catalogue)
        return nullptr;
    return std::make_shared<const Catalogue>(std::move(*catalogue));
}

// Without a display a window cannot open: say so, and how to get one.
bool HaveDisplay()
{
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// The plug-in library beside the program, in the build tree's layout or an installation's.
std::string PluginBeside(const char* argv0)
{
    const std::filesystem::path program = std::filesystem::absolute(argv0).parent_path();
    for (const auto& candidate :
         {program / "../plugin/libveltrona-plugin.so", program / "../lib/libveltrona-plugin.so",
          program / "libveltrona-plugin.so"}) {
        std::error_code ec;
        if (std::filesystem::exists(candidate, ec))
            return std::filesystem::weakly_canonical(candidate, ec).string();
    }
    return {};
}

int RunWindowed(CommandContext& context, std::string projectPath, bool editAtOnce, const char* argv0,
                int& argc, char** argv)
{
    if (!HaveDisplay())
        return context.Fail("no display to open the window on. Run it on a desktop, or under a virtual "
                            "display: xvfb-run -a veltrona");
    auto catalogue = context.LoadCatalogue();
    if (!catalogue)
        return kExitFailure;
    std::string error;
    bool freshDemo = false;
    if (projectPath.empty()) {
        const std::string demo = DemoProjectPath(&error);
        freshDemo = !demo.empty() && !std::filesystem::exists(demo);
        projectPath = EnsureDemoProject(*catalogue, &error);
        if (projectPath.empty())
            return context.Fail(error);
    }
    auto model = CatalogueModel::Build(catalogue, &error);
    if (!model)
        return context.Fail(error);
    auto session = HostSession::Open(projectPath, model, &error);
    if (!session)
        return context.Fail(error);
    if (freshDemo && !ConfigureDemo(*session, &error))
        return context.Fail(error);
    const char* faults = std::getenv("VELTRONA_GATEWAY_FAULTS");
    auto gateway =
        std::make_shared<CSimulatedGatewayProvider>(DefaultClock(), *catalogue, faults ? faults : "", &error);
    if (!error.empty())
        return context.Fail("VELTRONA_GATEWAY_FAULTS: " + error);
    // The demo gateway holds what the project held when the program started, as after a download.
    gateway->DownloadProjectIdentity(session->Device().Get());
    auto plugin = std::make_unique<PluginLoader>();
    if (!plugin->Load("Veltrona.UIPluginVeltrona", PluginBeside(argv0), &error))
        return context.Fail(error);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrona"));
    CHostMainWindow window(std::move(session), gateway, std::move(plugin),
                           QString::fromStdString(projectPath));
    window.show();
    if (editAtOnce) {
        const HRESULT hr = window.EditParameters();
        return hr == S_OK || hr == E_ABORT ? kExitOk : kExitFailure;
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandEnvironment environment{std::cout, std::cerr, &LoadCatalogue, nullptr, nullptr};
    // "open [PROJECT] [--edit]": the host window; no command at all: the demo project in it.
    environment.openWindow = [&](CommandContext& context, std::span<const std::string> rest) {
        std::string project;
        bool edit = false;
        for (const std::string& a : rest) {
            if (a == "--edit")
                edit = true;
            else if (project.empty())
                project = a;
            else
                return context.Fail("open takes one PROJECT; see veltrona --help");
        }
        return RunWindowed(context, project, edit, argv[0], argc, argv);
    };
    environment.noCommand = [&](CommandContext& context) {
        return environment.openWindow(context, {});
    };
    return RunVeltrona(arguments, environment);
}
