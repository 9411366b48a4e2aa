#include "host/program/VeltronaCommands.h"

#include "exchange/XmlDomExportImport.h"
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/ProgressBox.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

// SimulateCommand.cpp, DiscoverCommand.cpp
int CommandSimulate(CommandContext& context, std::span<const std::string> arguments);
int CommandDiscover(CommandContext& context, std::span<const std::string> arguments);

namespace {

int CommandNew(CommandContext& context, std::span<const std::string> arguments);
int CommandParams(CommandContext& context, std::span<const std::string> arguments);
int CommandDemo(CommandContext& context, std::span<const std::string> arguments);
int CommandExport(CommandContext& context, std::span<const std::string> arguments);
int CommandImport(CommandContext& context, std::span<const std::string> arguments);
int CommandPrint(CommandContext& context, std::span<const std::string> arguments);
int CommandOpen(CommandContext& context, std::span<const std::string> arguments)
{
    return context.OpenWindow(arguments);
}

constexpr VeltronaCommand kCommands[] = {
    {"new", "FILE", "create a project with one DALI gateway at individual address 1.1.1", &CommandNew},
    {"params", "FILE", "print every parameter of the gateway as UniqueNr<TAB>value, ascending",
     &CommandParams},
    {"demo", "", "print the path of the demo project, creating it on first use", &CommandDemo},
    {"open", "[PROJECT] [--edit] [--quit-after MS]",
     "open a project (the demo without one) in the host window; --quit-after cancels it after MS ms",
     &CommandOpen},
    {"export", "PROJECT FILE.xml", "write the gateway's configuration to an exchange file", &CommandExport},
    {"import", "PROJECT FILE.xml [--without-group-addresses] [--strict]",
     "replace the gateway's configuration by an exchange file's and list what was not taken; --strict "
     "refuses a file with such entries and leaves the project unchanged",
     &CommandImport},
    {"print", "PROJECT FILE.pdf [--assignments] [--time YYYY-MM-DDTHH:MM]",
     "print the gateway's documentation (--assignments: its group assignments) into a PDF file; the "
     "footers show --time, else SOURCE_DATE_EPOCH (UTC), else the time of printing",
     &CommandPrint},
    {"simulate",
     "[--port N] [--bind ADDRESS] [--address 1.1.1] [--project PROJECT] [--faults LIST] [--for MS]",
     "serve the demo gateway over KNXnet/IP tunnelling on ADDRESS:N (127.0.0.1:3671) until Ctrl+C or MS ms; "
     "--project gives it that project's identity and address",
     &CommandSimulate},
    {"discover", "[--wait MS]", "list the KNXnet/IP interfaces that answer a search within MS ms (3000)",
     &CommandDiscover},
};

void PrintUsage(std::ostream& stream)
{
    stream << "Usage: veltrona [--catalogue FILE] COMMAND [ARGUMENTS]\n\nCommands:\n";
    // Each command on its line, its summary below it, folded to a terminal's width.
    constexpr std::size_t kWidth = 80, kIndent = 6;
    for (const VeltronaCommand& c : kCommands) {
        stream << "  " << c.name << (c.arguments.empty() ? "" : " ") << c.arguments << "\n";
        std::string line(kIndent, ' ');
        std::string_view rest = c.summary;
        while (!rest.empty()) {
            const std::size_t space = rest.find(' ');
            const std::string_view word = rest.substr(0, space);
            if (line.size() > kIndent && line.size() + 1 + word.size() > kWidth) {
                stream << line << "\n";
                line.assign(kIndent, ' ');
            }
            if (line.size() > kIndent)
                line += ' ';
            line += word;
            rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        }
        stream << line << "\n";
    }
    stream << "\nOptions:\n"
              "  --catalogue FILE   use this product catalogue instead of the shipped one\n"
              "  --help             show this text\n";
}

bool ExpectArguments(CommandContext& context, std::string_view command,
                     std::span<const std::string> arguments, std::size_t count)
{
    if (arguments.size() == count)
        return true;
    context.Err() << "veltrona: '" << command << "' takes " << (count == 0 ? "no" : std::to_string(count))
                  << " argument" << (count == 1 ? "" : "s") << "; see veltrona --help\n";
    return false;
}

int CommandNew(CommandContext& context, std::span<const std::string> arguments)
{
    if (!ExpectArguments(context, "new", arguments, 1))
        return kExitUsage;
    std::shared_ptr<const Catalogue> catalogue = context.LoadCatalogue();
    if (!catalogue)
        return kExitFailure;
    const std::string& path = arguments[0];
    NewProjectOptions options;
    std::string stem = std::filesystem::path(path).stem().string();
    if (!stem.empty())
        options.name = stem;
    std::string error;
    if (!CreateGatewayProject(path, *catalogue, options, &error))
        return context.Fail(error);
    return kExitOk;
}

int CommandParams(CommandContext& context, std::span<const std::string> arguments)
{
    if (!ExpectArguments(context, "params", arguments, 1))
        return kExitUsage;
    std::shared_ptr<const Catalogue> catalogue = context.LoadCatalogue();
    if (!catalogue)
        return kExitFailure;
    std::string error;
    std::shared_ptr<const CatalogueModel> model = CatalogueModel::Build(catalogue, &error);
    if (!model)
        return context.Fail(error);
    std::unique_ptr<HostSession> session = HostSession::Open(arguments[0], model, &error);
    if (!session)
        return context.Fail(error);

    // Through the host objects, as the plug-in sees the device.
    ComPtr<IEtsCollection<IEtsDeviceParameter>> list;
    std::int32_t count = 0;
    if (FAILED(session->Device()->get_Parameters(list.ReleaseAndGetAddressOf())) ||
        FAILED(list->get_Count(&count)))
        return context.Fail("The parameters of the gateway cannot be read.");
    std::vector<std::pair<std::int32_t, std::string>> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsDeviceParameter> parameter;
        ComPtr<IEtsUIParameter> ui;
        std::int32_t number = 0;
        Variant value;
        if (FAILED(list->Item(Variant::I4(i), parameter.ReleaseAndGetAddressOf())) ||
            FAILED(parameter->get_UIParameter(ui.ReleaseAndGetAddressOf())) ||
            FAILED(ui->get_UniqueNumber(&number)) || FAILED(parameter->get_Value(&value)))
            return context.Fail("Parameter " + std::to_string(i) + " of the gateway cannot be read.");
        std::string text;
        switch (value.vt()) {
        case VT_BSTR:
            text = EscapeValueText(value.bstrVal());
            break;
        case VT_I4:
            text = std::to_string(value.lVal());
            break;
        case VT_UI4:
            text = std::to_string(value.ulVal());
            break;
        case VT_UI2:
            text = std::to_string(value.uiVal());
            break;
        default:
            break;
        }
        lines.emplace_back(number, std::move(text));
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string output;
    for (const auto& [number, text] : lines) {
        output += std::to_string(number);
        output += '\t';
        output += text;
        output += '\n';
    }
    context.Out() << output << std::flush;
    return context.Out() ? kExitOk : context.Fail("Writing the parameters failed.");
}

int CommandDemo(CommandContext& context, std::span<const std::string> arguments)
{
    if (!ExpectArguments(context, "demo", arguments, 0))
        return kExitUsage;
    std::shared_ptr<const Catalogue> catalogue = context.LoadCatalogue();
    if (!catalogue)
        return kExitFailure;
    std::string error;
    std::string path = EnsureDemoProject(*catalogue, &error);
    if (path.empty())
        return context.Fail(error);
    context.Out() << path << "\n";
    return kExitOk;
}

// A project opened for the exchange commands: the gateway's model loaded as the main window loads
// it, inside an editing session that only an explicit Commit keeps.
class ExchangeSession
{
public:
    bool Open(CommandContext& context, const std::string& path)
    {
        std::shared_ptr<const Catalogue> catalogue = context.LoadCatalogue();
        if (!catalogue)
            return false;
        std::string error;
        std::shared_ptr<const CatalogueModel> built = CatalogueModel::Build(catalogue, &error);
        if (built)
            m_session = HostSession::Open(path, built, &error);
        if (!m_session) {
            context.Fail(error);
            return false;
        }
        if (FAILED(m_session->BeginEditing())) {
            context.Fail("The project '" + path + "' cannot be edited: " + m_session->Store().LastError());
            return false;
        }
        m_model = std::make_unique<CEtsDbManagement>(m_session->Device().Get());
        if (FAILED(m_model->LoadDeviceParameterPointers())) {
            context.Fail("The parameters of the gateway cannot be read.");
            return false;
        }
        m_model->InitLightnessValueLists();
        m_model->LoadBufferedParameters();
        m_model->CollectVisibleNonStandardObjects();
        return true;
    }
    CEtsDbManagement& Model() { return *m_model; }
    bool Commit()
    {
        m_model.reset();
        return m_session->EndEditing(S_OK) == S_OK;
    }
    // Without a Commit the session drops every change when it ends.
    ~ExchangeSession()
    {
        m_model.reset();
        if (m_session && m_session->Editing())
            m_session->EndEditing(E_ABORT);
    }

private:
    std::unique_ptr<HostSession> m_session;
    std::unique_ptr<CEtsDbManagement> m_model;
};

int CommandExport(CommandContext& context, std::span<const std::string> arguments)
{
    if (!ExpectArguments(context, "export", arguments, 2))
        return kExitUsage;
    ExchangeSession session;
    if (!session.Open(context, arguments[0]))
        return kExitFailure;
    CXmlDomExportImport exporter(session.Model());
    if (!exporter.ExportXmlFile(arguments[1]))
        return context.Fail(exporter.GetErrorText());
    return kExitOk;
}

int CommandImport(CommandContext& context, std::span<const std::string> arguments)
{
    std::vector<std::string> files;
    bool withGroupAddresses = true, strict = false;
    for (const std::string& argument : arguments) {
        if (argument == "--without-group-addresses")
            withGroupAddresses = false;
        else if (argument == "--strict")
            strict = true;
        else
            files.push_back(argument);
    }
    if (!ExpectArguments(context, "import", files, 2))
        return kExitUsage;
    ExchangeSession session;
    if (!session.Open(context, files[0]))
        return kExitFailure;
    CEtsDbManagement& model = session.Model();
    CXmlDomExportImport importer(model);
    if (!importer.ImportXmlFile(files[1], withGroupAddresses))
        return context.Fail(importer.GetErrorText() + " The project is unchanged.");
    // What the file held and the gateway did not take, one entry a line.
    const std::string failures = importer.GetFailures();
    auto list = [&](std::ostream& stream) {
        for (const std::string& entry : importer.GetNotTaken())
            stream << "  " << entry << "\n";
        if (!failures.empty())
            stream << "  group addresses that could not be associated: " << failures << "\n";
    };
    if (strict && (!importer.GetNotTaken().empty() || !failures.empty())) {
        context.Err() << "veltrona: not imported:\n";
        list(context.Err());
        return context.Fail("the file is refused (--strict); the project is unchanged.");
    }
    // What the main window's OK does after a change: the gateway learns that its configuration is
    // out of date by a new project identity, and hidden objects go back to their standard flags.
    const std::tm today = DefaultClock().LocalTime();
    model.SetParameterLong(721, static_cast<std::int32_t>(DefaultClock().Random() % 32768));
    model.SetParameterLong(722, today.tm_mday * 256 + today.tm_mon + 1);
    model.SetParameterLong(723, today.tm_year + 1900);
    model.ResetInvisibleNonStandardObjects();
    if (!session.Commit())
        return context.Fail("The imported configuration cannot be saved; the project is unchanged.");
    if (!importer.GetNotTaken().empty() || !failures.empty()) {
        context.Err() << "veltrona: not imported:\n";
        list(context.Err());
    }
    context.Out() << "The configuration is imported; the gateway needs a download.\n";
    return kExitOk;
}

// The printout's collection on the terminal: each section as it is collected.
class CTerminalProgress final : public CNullProgressBox
{
public:
    CTerminalProgress(std::ostream& stream, std::string caption)
        : m_stream(stream), m_caption(std::move(caption))
    {}
    void SetInfoText2(const std::string& text) override { m_stream << m_caption << ": " << text << "\n"; }

private:
    std::ostream& m_stream;
    std::string m_caption;
};

// "YYYY-MM-DDTHH:MM" (or with a blank for the T) as a broken-down time; nothing when malformed.
std::optional<std::tm> ParsePrintTime(const std::string& text)
{
    std::tm t{};
    char separator = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &t.tm_year, &t.tm_mon, &t.tm_mday, &separator,
                    &t.tm_hour, &t.tm_min, &consumed) != 6 ||
        static_cast<std::size_t>(consumed) != text.size() || (separator != 'T' && separator != ' ') ||
        t.tm_mon < 1 || t.tm_mon > 12 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 || t.tm_min > 59 ||
        t.tm_hour < 0 || t.tm_min < 0)
        return std::nullopt;
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return t;
}

// SOURCE_DATE_EPOCH: seconds since 1970 in UTC, the reproducible builds' convention.
std::optional<std::tm> ParseSourceDateEpoch(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || seconds < 0)
        return std::nullopt;
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm t{};
    if (!::gmtime_r(&time, &t))
        return std::nullopt;
    return t;
}

int CommandPrint(CommandContext& context, std::span<const std::string> arguments)
{
    std::vector<std::string> files;
    bool assignments = false;
    std::optional<std::tm> time;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--assignments") {
            assignments = true;
        } else if (argument == "--time" || argument.starts_with("--time=")) {
            const std::string value = argument == "--time"
                                          ? (i + 1 < arguments.size() ? arguments[++i] : "")
                                          : argument.substr(std::string_view("--time=").size());
            time = ParsePrintTime(value);
            if (!time) {
                context.Err() << "veltrona: --time wants YYYY-MM-DDTHH:MM, not '" << value << "'\n";
                return kExitUsage;
            }
        } else {
            files.push_back(argument);
        }
    }
    if (!ExpectArguments(context, "print", files, 2))
        return kExitUsage;
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); !time && epoch && *epoch) {
        time = ParseSourceDateEpoch(epoch);
        if (!time)
            return context.Fail(std::string("SOURCE_DATE_EPOCH is no number of seconds: '") + epoch + "'");
    }
    ExchangeSession session;
    if (!session.Open(context, files[0]))
        return kExitFailure;
    CEtsDbManagement& model = session.Model();
    // The header's project and device, as the main window reads them.
    model.LoadEtsProjectAndDeviceInfos();

    // The same texts and sections as the printout of the export/import page.
    const std::string caption = model.GetParameterText(807, "Print");
    PrintJob job;
    job.file = files[1];
    job.time = time;
    job.header = model.GetPrintHeader();
    if (assignments) {
        const std::string heading = model.GetParameterString(908, "Group assignments");
        CTerminalProgress progress(context.Err(), caption + ": " + heading);
        model.AddPrintOverview(job.lines, heading, &progress);
    } else {
        CTerminalProgress progress(context.Err(),
                                   caption + ": " + model.GetParameterString(910, "Complete documentation"));
        model.AddPrintAll(job.lines, &progress);
    }
    std::string error;
    const int pages = context.PrintPdf(job, &error);
    if (pages <= 0)
        return context.Fail(error.empty() ? "The printout cannot be written to '" + job.file + "'." : error);
    context.Out() << job.file << ": " << pages << (pages == 1 ? " page" : " pages") << "\n";
    return kExitOk;
}

} // namespace

std::shared_ptr<const Catalogue> CommandContext::LoadCatalogue()
{
    if (m_catalogue)
        return m_catalogue;
    std::string path = m_cataloguePath.empty() ? Catalogue::DefaultPath() : m_cataloguePath;
    std::string error;
    if (m_environment.loadCatalogue)
        m_catalogue = m_environment.loadCatalogue(path, &error);
    else
        error = "no catalogue loader";
    if (!m_catalogue)
        Fail("The product catalogue cannot be loaded: " + error);
    return m_catalogue;
}

int CommandContext::Fail(const std::string& text)
{
    Err() << "veltrona: " << text << "\n";
    return kExitFailure;
}

std::span<const VeltronaCommand> VeltronaCommands()
{
    return kCommands;
}

int RunVeltrona(std::span<const std::string> arguments, CommandEnvironment& environment)
{
    std::string cataloguePath;
    std::size_t next = 0;
    while (next < arguments.size() && arguments[next].starts_with("-")) {
        const std::string& option = arguments[next];
        if (option == "--help" || option == "-h") {
            PrintUsage(environment.out);
            return kExitOk;
        }
        if (option == "--catalogue" && next + 1 == arguments.size()) {
            environment.err << "veltrona: --catalogue needs a FILE; see veltrona --help\n";
            return kExitUsage;
        }
        if (option == "--catalogue") {
            cataloguePath = arguments[next + 1];
            next += 2;
        } else if (option.starts_with("--catalogue=")) {
            cataloguePath = option.substr(std::string_view("--catalogue=").size());
            ++next;
        } else {
            environment.err << "veltrona: unknown option '" << option << "'; see veltrona --help\n";
            return kExitUsage;
        }
    }
    CommandContext context(environment, cataloguePath);
    if (next == arguments.size()) {
        if (environment.noCommand)
            return environment.noCommand(context);
        environment.err << "veltrona: no command given\n";
        PrintUsage(environment.err);
        return kExitUsage;
    }
    const std::string& name = arguments[next];
    if (name == "help") {
        PrintUsage(environment.out);
        return kExitOk;
    }
    for (const VeltronaCommand& command : kCommands) {
        if (command.name == name)
            return command.run(context, arguments.subspan(next + 1));
    }
    environment.err << "veltrona: unknown command '" << name << "'; see veltrona --help\n";
    return kExitUsage;
}

std::string EscapeValueText(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}
