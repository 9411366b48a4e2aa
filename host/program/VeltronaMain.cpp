// The veltrona program: the windowed host on a project (the demo project when none is given) and the
// project side's command line.
#include "host/objects/ProjectFactory.h"
#include "host/program/DemoConfiguration.h"
#include "host/program/HostMainWindow.h"
#include "host/program/PrintToPdf.h"
#include "host/program/VeltronaCommands.h"
#include "platform/Clock.h"
#include "platform/DataFolders.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
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

// The plug-in library beside the program: lib/veltrona next to its folder, in an installation
// and in the build tree alike.
std::string PluginBeside()
{
    const std::filesystem::path program = ProgramFolder();
    std::error_code ec;
    for (const auto& candidate :
         {program / "../lib/veltrona/libveltrona-plugin.so", program / "libveltrona-plugin.so"}) {
        if (std::filesystem::exists(candidate, ec))
            return std::filesystem::weakly_canonical(candidate, ec).string();
    }
    return {};
}

// quitAfterMs > 0: Cancel every window of the session that many milliseconds after it opens, so
// that a check of an installation can open the plug-in without anybody at the screen.
int RunWindowed(CommandContext& context, std::string projectPath, bool editAtOnce, int quitAfterMs, int& argc,
                char** argv)
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
    if (!plugin->Load("Veltrona.UIPluginVeltrona", PluginBeside(), &error))
        return context.Fail(error);

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrona"));
    CHostMainWindow window(std::move(session), gateway, std::move(plugin),
                           QString::fromStdString(projectPath));
    window.show();
    QTimer quit;
    if (quitAfterMs > 0) {
        QObject::connect(&quit, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
            else if (!QApplication::activeModalWidget())
                QApplication::quit();
        });
        quit.start(quitAfterMs);
    }
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
    environment.printPdf = &PrintToPdf;
    // "open [PROJECT] [--edit]": the host window; no command at all: the demo project in it.
    environment.openWindow = [&](CommandContext& context, std::span<const std::string> rest) {
        std::string project;
        bool edit = false;
        int quitAfterMs = 0;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            const std::string& a = rest[i];
            if (a == "--edit")
                edit = true;
            else if (a == "--quit-after" && i + 1 < rest.size() && std::atoi(rest[i + 1].c_str()) > 0)
                quitAfterMs = std::atoi(rest[++i].c_str());
            else if (project.empty())
                project = a;
            else
                return context.Fail("open takes one PROJECT; see veltrona --help");
        }
        return RunWindowed(context, project, edit, quitAfterMs, argc, argv);
    };
    environment.noCommand = [&](CommandContext& context) {
        return environment.openWindow(context, {});
    };
    return RunVeltrona(arguments, environment);
}
