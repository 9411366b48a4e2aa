#include "host/catalogue/tests/HostTestSupport.h"
#include "host/objects/HostSession.h"
#include "host/program/VeltronaCommands.h"
#include "host/store/ProjectStore.h"
#include "product/Numbering.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using namespace hosttest;
using namespace testsupport;

namespace {

struct Outcome
{
    int status = -1;
    std::string out, err;
};

class VeltronaCommandTest : public ::testing::Test
{
protected:
    Outcome Run(std::vector<std::string> arguments)
    {
        std::ostringstream out, err;
        CommandEnvironment environment{out, err,
                                       [this](const std::string& path, std::string* error) {
                                           askedPath = path;
                                           if (!catalogue && error)
                                               *error = "broken catalogue";
                                           return std::shared_ptr<const Catalogue>(catalogue);
                                       },
                                       nullptr, nullptr};
        Outcome o;
        o.status = RunVeltrona(arguments, environment);
        o.out = out.str();
        o.err = err.str();
        return o;
    }

    ScratchDir dir;
    std::shared_ptr<Catalogue> catalogue = MakeTestCatalogue();
    std::string askedPath;
};

// Runs the built program through the shell; stdout and stderr are both captured.
Outcome RunProgram(const std::string& arguments)
{
    Outcome o;
    std::FILE* pipe = ::popen((std::string(VELTRONA_EXECUTABLE) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe)
        return o;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        o.out.append(buffer, n);
    int status = ::pclose(pipe);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

} // namespace

TEST_F(VeltronaCommandTest, NewCreatesTheGatewayProjectAndNeverOverwrites)
{
    const std::string file = dir.File("office.veltrona");
    Outcome o = Run({"new", file});
    ASSERT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.err, "");
    std::string error;
    auto store = ProjectStore::Open(file, &error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->Name(), "office");
    std::vector<DeviceRecord> devices;
    ASSERT_TRUE(store->Devices(devices));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].individualAddress, 0x1101);
    store.reset();

    const std::string before = ReadAll(file);
    o = Run({"new", file});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_NE(o.err.find("already exists"), std::string::npos) << o.err;
    EXPECT_EQ(ReadAll(file), before);

    EXPECT_EQ(Run({"new"}).status, kExitUsage);
    EXPECT_EQ(Run({"new", file, "extra"}).status, kExitUsage);
}

TEST_F(VeltronaCommandTest, ParamsPrintsEveryParameterAscendingWithTextsEscaped)
{
    const std::string file = dir.File("p.veltrona");
    ASSERT_EQ(Run({"new", file}).status, kExitOk);
    Outcome o = Run({"params", file});
    ASSERT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(o.out, "10\t1\n"
                     "11\t50\n"
                     "12\tabc\n"
                     "13\t0\n"
                     "14\t2147483649\n"
                     "15\t-5\n"
                     "16\t0\n"
                     "18\tLine 1\\nTab\\there \\\\ end\n"
                     "700\t\n"
                     "65015\t0\n");
    // Printing is no edit: the file stays as it was.
    const std::string before = ReadAll(file);
    ASSERT_EQ(Run({"params", file}).status, kExitOk);
    EXPECT_EQ(ReadAll(file), before);

    o = Run({"params", dir.File("missing.veltrona")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find("missing.veltrona' does not exist"), std::string::npos) << o.err;
    WriteAll(dir.File("notes.txt"), "not a project");
    o = Run({"params", dir.File("notes.txt")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_NE(o.err.find("is not a Veltrona project"), std::string::npos) << o.err;
}

TEST_F(VeltronaCommandTest, HelpListsTheCommandsAndWrongUseIsReported)
{
    Outcome o = Run({"--help"});
    EXPECT_EQ(o.status, kExitOk);
    for (const VeltronaCommand& c : VeltronaCommands())
        EXPECT_NE(o.out.find(std::string(c.name)), std::string::npos) << c.name;
    EXPECT_NE(o.out.find("new FILE"), std::string::npos);
    EXPECT_NE(o.out.find("params FILE"), std::string::npos);

    o = Run({});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("no command"), std::string::npos);
    o = Run({"frobnicate"});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("unknown command 'frobnicate'"), std::string::npos);
    o = Run({"--colour", "new", "x"});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("unknown option '--colour'"), std::string::npos);
    o = Run({"--catalogue"});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("--catalogue needs a FILE"), std::string::npos);

    // The catalogue named on the command line is the one loaded; a broken one stops the command.
    o = Run({"--catalogue", "/somewhere/else.xml", "new", dir.File("a.veltrona")});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(askedPath, "/somewhere/else.xml");
    catalogue.reset();
    o = Run({"new", dir.File("b.veltrona")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_NE(o.err.find("catalogue cannot be loaded: broken catalogue"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("b.veltrona")));
}

TEST(VeltronaProgram, RunsTheCommandsWithTheShippedCatalogue)
{
    Outcome o = RunProgram("--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("params FILE"), std::string::npos) << o.out;
    o = RunProgram("params /nonexistent/p.veltrona");
    EXPECT_NE(o.status, 0);
    EXPECT_NE(o.out.find("veltrona: "), std::string::npos) << o.out;

    ScratchDir dir;
    const std::string file = dir.File("site.veltrona");
    o = RunProgram("new '" + file + "'");
    ASSERT_EQ(o.status, 0) << o.out;
    o = RunProgram("params '" + file + "'");
    ASSERT_EQ(o.status, 0) << o.out.substr(0, 500);
    // One "number<TAB>value" line per parameter, ascending.
    std::istringstream lines(o.out);
    std::string line;
    long previous = LONG_MIN;
    std::size_t count = 0;
    while (std::getline(lines, line)) {
        std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        long number = std::stol(line.substr(0, tab));
        EXPECT_GT(number, previous) << line;
        previous = number;
        ++count;
    }
    EXPECT_GT(count, 1000u);
    EXPECT_NE(RunProgram("new '" + file + "'").status, 0);
}

TEST_F(VeltronaCommandTest, ExportAndImportTakeAProjectAndAFile)
{
    EXPECT_EQ(Run({"export", dir.File("p.veltrona")}).status, kExitUsage);
    EXPECT_EQ(Run({"import", dir.File("p.veltrona")}).status, kExitUsage);
    EXPECT_EQ(Run({"import", "--without-group-addresses", dir.File("p.veltrona")}).status, kExitUsage);
    Outcome o = Run({"export", dir.File("missing.veltrona"), dir.File("x.xml")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.xml")));
}

TEST(VeltronaProgram, ImportTakesWhatItCanAndListsTheRestStrictRefuses)
{
    ScratchDir dir;
    const std::string source = dir.File("source.veltrona"), target = dir.File("target.veltrona"),
                      xml = dir.File("exchange.xml");
    ASSERT_EQ(RunProgram("new '" + source + "'").status, 0);
    ASSERT_EQ(RunProgram("new '" + target + "'").status, 0);
    Outcome o = RunProgram("export '" + source + "' '" + xml + "'");
    ASSERT_EQ(o.status, 0) << o.out;
    const std::string exported = ReadAll(xml);
    ASSERT_NE(exported.find("<Veltrona xmlns=\"DALI Gateway\">"), std::string::npos);

    // The file with group 3 added.
    const std::string group3 = "<Group3><Parameter UniqueNr=\"" + std::to_string(GetGroupUniqueNr(123, 3)) +
                               "\">1</Parameter></Group3>";
    std::string text = exported;
    text.insert(text.find("<DaliCommissioning"), group3);
    WriteAll(xml, text);
    const std::string line = "\n" + std::to_string(GetGroupUniqueNr(123, 3)) + "\t1\n";
    ASSERT_EQ(RunProgram("params '" + target + "'").out.find(line), std::string::npos);
    o = RunProgram("import '" + target + "' '" + xml + "' --without-group-addresses");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("needs a download"), std::string::npos) << o.out;
    EXPECT_NE(RunProgram("params '" + target + "'").out.find(line), std::string::npos);

    // A value the gateway refuses and a parameter it has not: --strict refuses the file and names
    // both; without it the rest is imported and the same list printed.
    const std::string saved = ReadAll(target);
    text.insert(text.find("</Group3>"), "<Parameter UniqueNr=\"65014\">abc</Parameter>"
                                        "<Parameter UniqueNr=\"4000000\">1</Parameter>");
    WriteAll(xml, text);
    o = RunProgram("import '" + target + "' '" + xml + "' --strict");
    EXPECT_EQ(o.status, 1);
    for (const char* entry : {"parameter 65014: the value 'abc' is refused",
                              "parameters this gateway does not have: 4000000", "unchanged"})
        EXPECT_NE(o.out.find(entry), std::string::npos) << entry << "\n" << o.out;
    EXPECT_EQ(ReadAll(target), saved);
    o = RunProgram("import '" + target + "' '" + xml + "'");
    EXPECT_EQ(o.status, 0) << o.out;
    for (const char* entry : {"parameter 65014: the value 'abc' is refused",
                              "parameters this gateway does not have: 4000000", "needs a download"})
        EXPECT_NE(o.out.find(entry), std::string::npos) << entry << "\n" << o.out;
    EXPECT_NE(ReadAll(target), saved);

    // A project another program edits is left alone, and the user learns why.
    // (Read before the lock is taken: closing any descriptor of the file drops this process's locks.)
    const std::string held = ReadAll(target);
    auto holder = ProjectStore::Open(target, nullptr);
    ASSERT_TRUE(holder && holder->BeginSession());
    o = RunProgram("import '" + target + "' '" + xml + "'");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("another program has it open for editing"), std::string::npos) << o.out;
    EXPECT_EQ(ReadAll(target), held);
}
