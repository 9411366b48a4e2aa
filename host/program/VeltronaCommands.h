// The veltrona program's commands: a table of named commands that the program's main dispatches to,
// so that later commands (export, import, the windowed session) are one more entry.
#pragma once

#include "access/PrintLine.h"
#include "host/catalogue/Catalogue.h"

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CommandContext;

// A printout collected without a window, for the layout into a PDF file.
struct PrintJob
{
    PrintLineList lines;
    PrintHeader header;
    std::string file;
    // The footers' date and time; none: the time each footer is drawn.
    std::optional<std::tm> time;
};

struct CommandEnvironment
{
    std::ostream& out;
    std::ostream& err;
    // Reads a catalogue file; nothing and why on failure.
    std::function<std::shared_ptr<const Catalogue>(const std::string& path, std::string* error)>
        loadCatalogue;
    // Runs when no command is given (the windowed session on the demo project); null: usage error.
    std::function<int(CommandContext& context)> noCommand;
    // The open command's window (the program's main supplies it); null: the command fails.
    std::function<int(CommandContext& context, std::span<const std::string> arguments)> openWindow;
    // Lays a printout out into its PDF file (the program's main supplies it, as it needs the toolkit);
    // the number of pages, or 0 and why. Null: the print command fails.
    std::function<int(const PrintJob& job, std::string* error)> printPdf = nullptr;
};

class CommandContext
{
public:
    CommandContext(CommandEnvironment& environment, std::string cataloguePath)
        : m_environment(environment), m_cataloguePath(std::move(cataloguePath))
    {}
    std::ostream& Out() { return m_environment.out; }
    std::ostream& Err() { return m_environment.err; }
    // The catalogue given with --catalogue, else the shipped one; loaded once. Reports a failure on
    // the error stream and gives null.
    std::shared_ptr<const Catalogue> LoadCatalogue();
    // Writes "veltrona: text" to the error stream and gives the failure status 1.
    int Fail(const std::string& text);
    int PrintPdf(const PrintJob& job, std::string* error)
    {
        if (m_environment.printPdf)
            return m_environment.printPdf(job, error);
        *error = "this program cannot print";
        return 0;
    }
    int OpenWindow(std::span<const std::string> arguments)
    {
        return m_environment.openWindow ? m_environment.openWindow(*this, arguments)
                                        : Fail("this program has no window");
    }

private:
    CommandEnvironment& m_environment;
    std::string m_cataloguePath;
    std::shared_ptr<const Catalogue> m_catalogue;
};

struct VeltronaCommand
{
    std::string_view name;
    std::string_view arguments;
    std::string_view summary;
    int (*run)(CommandContext& context, std::span<const std::string> arguments);
};

// Exit status: 0 done, 1 failed, 2 wrong use.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

std::span<const VeltronaCommand> VeltronaCommands();
// Parses the program's arguments (without the program name) and runs the command.
int RunVeltrona(std::span<const std::string> arguments, CommandEnvironment& environment);

// A parameter value as the params command prints it: numbers in decimal, texts with backslash,
// tab, line feed and carriage return written as \\, \t, \n and \r.
std::string EscapeValueText(std::string_view text);
