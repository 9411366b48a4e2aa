#include "exchange/XmlDomExportImport.h"
#include "product/ParameterNumbers.h"
#include "tests/integration/HostProject.h"
#include "testsupport/HostObjects.h"
#include "testsupport/Scratch.h"
#include "trace/TraceCapture.h"

#include <cstring>
#include <fstream>
#include <functional>
#include <random>

namespace {

using testsupport::ReadAll;
using testsupport::WriteAll;
const auto TempFile = testsupport::ScratchFile;
constexpr auto Address = testsupport::GroupAddressNumber;

// Records what the progress box shows.
struct RecordingBox final : CNullProgressBox
{
    bool Show(ProgressKind, std::optional<std::string> caption, std::optional<std::string>,
              std::optional<std::string>, std::optional<std::string>) override
    {
        captions.push_back(caption.value_or(""));
        return true;
    }
    void SetInfoText2(const std::string& text) override { lines.push_back(text); }
    void Close() override { ++closed; }
    std::vector<std::string> captions, lines;
    int closed = 0;
};

// A configuration with everything the file carries: groups below and above 16 with members,
// singles, scenes, an effect table filled to its limit, and associations with own flags.
void Configure(CEtsDbManagement& model)
{
    model.SetParameterLong(65014, 4);
    model.SetAddressingMode(4);
    for (int g : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, 20}) {
        model.CreateGroup(g);
        model.SetGroupName(g, "Group \xC3\xA4 <" + std::to_string(g) + ">");
    }
    model.AddGroupMember(1, 1);
    model.AddGroupMember(2, 2);
    model.AddGroupMember(17, 3);
    model.SetMemberName(1, "Downlight & co");
    model.SetMemberType(1, 6);
    model.SetMemberRandomNr(2, 0x123456);
    model.CreateSingle(5);
    model.CreateSingle(64);
    model.SetMemberName(64, "Exit sign");
    for (int s : {1, 2, 16}) {
        model.CreateScene(s);
        model.SetSceneName(s, "Scene " + std::to_string(s));
        model.AddGroupToScene(s, 1, 0x100 | 114);
        model.AddGroupToScene(s, 17, 0x300 | 148);
    }
    model.AddGroupToScene(2, 32 + 5, 0x100 | 20);
    for (int e = 1; e <= kEffectCount; ++e) {
        model.CreateEffect(e);
        for (int k = 0; k < 4; ++k)
            model.CreateEffectStep(e, k);
    }
    // Up to the table's limit.
    bool room = true;
    for (int e = 1; e <= kEffectCount && room; ++e)
        for (int step = 1; step <= 5 && room; ++step)
            for (int key : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 17, 20, 37})
                if (!model.AddGroupToEffectStep(e, step, key,
                                                static_cast<std::uint16_t>(10 + e + step + key)))
                    room = model.GetEffectValueCount() < kEffectValueCount;
    model.AddGroupToEffectStep(3, 1, 97 + 1, 0);

    ObjectAssociationMap map;
    model.GetDeviceObjectAssociations(map);
    ObjectAssociationMap wanted;
    int n = 0;
    for (auto& [number, record] : map) {
        if (n == 0)
            wanted[number] = {std::to_string(Address(1, 2, 3)) + "," + std::to_string(Address(1, 2, 4)), 0x5F,
                              -1, -1};
        else if (n == 5)
            wanted[number] = {std::to_string(Address(7, 7, 255)), 0x1E, 5, 1};
        else if (n == 9)
            wanted[number] = {"", 0x1D, -1, -1};
        if (++n > 9)
            break;
    }
    std::string failures;
    model.SetDeviceObjectAssociations(wanted, &failures);
    EXPECT_EQ(failures, "");
}

// The store without the counter of loads, which every load of the model moves on.
std::string Stable(const std::string& store)
{
    return hostproject::Project::WithoutLines(store, "P65015=");
}

struct RecordingView final : IExchangeView
{
    void UpdateAll() override { calls += "U"; }
    void EnableWindow(bool enable) override { calls += enable ? "E" : "D"; }
    std::string calls;
};

class ExchangeOverHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model = project.LoadModel();
        Configure(*model);
        before = Stable(project.Store());
        CXmlDomExportImport exporter(*model);
        ASSERT_TRUE(exporter.ExportXmlFile(file)) << exporter.GetErrorText();
        exported = ReadAll(file);
    }
    void TearDown() override { std::filesystem::remove(file); }

    hostproject::Project project;
    std::unique_ptr<CEtsDbManagement> model;
    std::string before, exported;
    const std::string file = TempFile("configuration.xml");
};

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    const std::size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    if (at != std::string::npos)
        text.replace(at, what.size(), with);
    return text;
}

// A file of the previous generation: objects to map, two without counterpart, a parameter this
// gateway lacks.
std::string PreviousGenerationFile()
{
    auto p = [](UniqueNr n, const std::string& v) {
        return "<Parameter UniqueNr=\"" + std::to_string(n) + "\">" + v + "</Parameter>";
    };
    // An object with an address of its own number.
    auto o = [](int n, int flags) {
        return "<Object ObjectNr=\"" + std::to_string(n) + "\" Flags=\"" + std::to_string(flags) + "\">" +
               std::to_string(Address(1, 1, n)) + "</Object>";
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Veltrona xmlns=\"DALI Gateway\"><DeviceInfo>"
           "<Application>49164</Application><Version>16</Version><Manufacturer>461</Manufacturer></"
           "DeviceInfo>"
           "<Common>" +
           p(738, "1") + p(724, "2") + p(65043, "1") +
           "</Common>"
           "<Group2>" +
           p(GetGroupUniqueNr(123, 2), "1") + p(GetGroupUniqueNr(118, 2), "2") +
           "</Group2>"
           "<Group17>" +
           p(GetGroupUniqueNr(123, 17), "1") + p(4000000, "1") +
           "</Group17>"
           "<Objects>" +
           o(7, 92) + o(13, 20) + o(112, 20) + o(208, 20) + o(216, 20) + o(209, 20) + "</Objects></Veltrona>";
}

} // namespace

TEST_F(ExchangeOverHost, ExportResetImportGivesBackTheWholeStore)
{
    EXPECT_GE(model->GetEffectValueCount(), kEffectValueCount - 4);
    EXPECT_EQ(exported.find('\n'), std::string::npos);
    EXPECT_NE(exported.find("<DeviceInfo><Application>49165</Application>"), std::string::npos);
    EXPECT_NE(exported.find("<Group17>"), std::string::npos);
    EXPECT_EQ(exported.find("<Group13>"), std::string::npos);
    EXPECT_NE(exported.find("<Single64>"), std::string::npos);
    EXPECT_NE(exported.find("<Scene16>"), std::string::npos);

    model->ResetAllParameters(false);
    ASSERT_NE(Stable(project.Store()), before);
    ScriptedPrompt prompt;
    RecordingBox box;
    RecordingView view;
    CXmlDomExportImport importer(*model, &prompt, &box, &view);
    ASSERT_TRUE(importer.ImportXmlFile(file, true)) << importer.GetErrorText();
    EXPECT_EQ(importer.GetFileFormat(), 3);
    EXPECT_EQ(importer.GetFailures(), "");
    EXPECT_TRUE(prompt.boxes.empty());
    EXPECT_EQ(box.captions, std::vector<std::string>{"Import"});
    EXPECT_EQ(box.closed, 1);
    EXPECT_EQ(view.calls, "UDUE") << "the tree follows the reset and the import; the window is off meanwhile";
    EXPECT_NE(std::find(box.lines.begin(), box.lines.end(), "[17] " + model->GetLabel(LabelGroup)),
              box.lines.end());
    EXPECT_NE(std::find(box.lines.begin(), box.lines.end(), "[64] " + model->GetLabel(LabelMember)),
              box.lines.end());
    const std::string after = Stable(project.Store());
    EXPECT_TRUE(after == before) << hostproject::Project::Difference(after, before);

    // Into another gateway of the same product: the same store.
    hostproject::Project other;
    auto otherModel = other.LoadModel();
    CXmlDomExportImport second(*otherModel);
    ASSERT_TRUE(second.ImportXmlFile(file, true)) << second.GetErrorText();
    // Its new group addresses take their names from the objects as they were named before the import.
    auto withoutAddresses = [](const std::string& store) {
        return hostproject::Project::WithoutLines(store, "A");
    };
    const std::string copied = withoutAddresses(Stable(other.Store()));
    EXPECT_TRUE(copied == withoutAddresses(before))
        << hostproject::Project::Difference(copied, withoutAddresses(before));
}

TEST_F(ExchangeOverHost, ProgressCountsThroughEveryNumber)
{
    RecordingBox box;
    CXmlDomExportImport exporter(*model, nullptr, &box);
    ASSERT_TRUE(exporter.ExportXmlFile(file));
    ASSERT_EQ(box.captions, std::vector<std::string>{"Export"});
    auto count = [&](const std::string& word) {
        return std::count_if(box.lines.begin(), box.lines.end(),
                             [&](const std::string& l) { return l.find("] " + word) != std::string::npos; });
    };
    EXPECT_EQ(count(model->GetLabel(LabelGroup)), 32);
    EXPECT_EQ(count(model->GetLabel(LabelMember)), 64);
    EXPECT_EQ(count(model->GetLabel(LabelScene)), 16);
    EXPECT_EQ(box.lines.back(), model->GetLabel(LabelObjects));
    EXPECT_EQ(box.closed, 1);

    // A file that cannot be written: false, why, the box closed, the old file whole.
    EXPECT_FALSE(exporter.ExportXmlFile(TempFile("no-such-folder/x.xml")));
    EXPECT_NE(exporter.GetErrorText().find("cannot be written"), std::string::npos)
        << exporter.GetErrorText();
    EXPECT_EQ(box.closed, 2);
    EXPECT_EQ(ReadAll(file), exported);
}

TEST_F(ExchangeOverHost, WithoutGroupAddressesFlagsAndTypesComeButNoAssociation)
{
    ObjectAssociationMap original;
    model->GetDeviceObjectAssociations(original);
    model->ResetAllParameters(false);
    CXmlDomExportImport importer(*model);
    ASSERT_TRUE(importer.ImportXmlFile(file, false)) << importer.GetErrorText();
    ObjectAssociationMap now;
    model->GetDeviceObjectAssociations(now);
    ASSERT_EQ(now.size(), original.size());
    for (const auto& [number, record] : original) {
        EXPECT_EQ(now[number].addresses, "") << number;
        EXPECT_EQ(now[number].flags, record.flags) << number;
        EXPECT_EQ(now[number].mainType, record.mainType) << number;
        EXPECT_EQ(now[number].subType, record.subType) << number;
    }
}

TEST_F(ExchangeOverHost, FilesOfNoExchangeChangeNothingAndSayWhy)
{
    struct Case
    {
        const char* name;
        std::string content;
        const char* reason;
        bool unknownFormatBox;
    };
    const Case cases[] = {
        {"not XML", "This is a plain text, no XML at all.", "no readable XML document", false},
        {"truncated", exported.substr(0, exported.size() / 2), "no readable XML document", false},
        {"empty", "", "no readable XML document", false},
        {"wrong root", "<?xml version=\"1.0\"?><html><body>Veltrona</body></html>", "Unknown file format",
         true},
        {"other manufacturer", Replace(exported, "<Manufacturer>461<", "<Manufacturer>462<"),
         "manufacturer 462", true},
        {"other application", Replace(exported, "<Application>49165<", "<Application>49166<"), "$C00E", true},
    };
    // A model that has changed nothing yet: a refused import leaves it so, and OK has nothing to renew.
    auto untouched = project.LoadModel();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bad = TempFile("bad.xml");
        WriteAll(bad, c.content);
        ScriptedPrompt prompt;
        CXmlDomExportImport importer(*untouched, &prompt);
        EXPECT_FALSE(importer.ImportXmlFile(bad, true));
        EXPECT_NE(importer.GetErrorText().find(c.reason), std::string::npos) << importer.GetErrorText();
        EXPECT_EQ(prompt.boxes.size(), c.unknownFormatBox ? 1u : 0u);
        if (c.unknownFormatBox && !prompt.boxes.empty()) {
            EXPECT_EQ(prompt.boxes[0].text, untouched->GetParameterString(950, "Unknown file format"));
        }
        EXPECT_FALSE(untouched->IsConfigChanged());
        EXPECT_FALSE(untouched->IsModified()) << "Cancel has nothing to ask";
        const std::string after = Stable(project.Store());
        EXPECT_TRUE(after == before) << hostproject::Project::Difference(after, before);
        std::filesystem::remove(bad);
    }
}

// Entries that cannot be taken are skipped; the rest of the file is imported, and one message
// names every entry that was not.
TEST_F(ExchangeOverHost, EntriesThatCannotBeTakenAreSkippedAndNamed)
{
    const std::string objects = "<Objects>";
    const std::string tail = "</DaliCommissioning>";
    struct Case
    {
        const char* name;
        std::string content;
        const char* entry;
    };
    const Case cases[] = {
        {"refused value", Replace(exported, tail, "<Parameter UniqueNr=\"65014\">abc</Parameter>" + tail),
         "parameter 65014: the value 'abc' is refused"},
        {"unknown parameter", Replace(exported, tail, "<Parameter UniqueNr=\"4000000\">1</Parameter>" + tail),
         "parameters this gateway does not have: 4000000"},
        {"parameter without number", Replace(exported, tail, "<Parameter Nr=\"741\">1</Parameter>" + tail),
         "a Parameter without a valid UniqueNr"},
        {"object number out of range", Replace(exported, objects, objects + "<Object ObjectNr=\"70000\"/>"),
         "an Object without a valid ObjectNr"},
        {"flags no number", Replace(exported, objects, objects + "<Object ObjectNr=\"1\" Flags=\"x\"/>"),
         "object 1: flags or a datapoint type that is no number"},
        {"element of 10 MB",
         Replace(exported, tail,
                 "<Parameter UniqueNr=\"741\">" + std::string(10u << 20, 'x') + "</Parameter>" + tail),
         "parameter 741: a value of 10485760 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file2 = TempFile("entries.xml");
        WriteAll(file2, c.content);
        ScriptedPrompt prompt;
        CXmlDomExportImport importer(*model, &prompt);
        ASSERT_TRUE(importer.ImportXmlFile(file2, true)) << importer.GetErrorText();
        ASSERT_EQ(importer.GetNotTaken().size(), 1u);
        EXPECT_NE(importer.GetNotTaken()[0].find(c.entry), std::string::npos) << importer.GetNotTaken()[0];
        ASSERT_EQ(prompt.boxes.size(), 1u);
        EXPECT_NE(prompt.boxes[0].text.find(importer.GetNotTaken()[0]), std::string::npos)
            << prompt.boxes[0].text;
        const std::string after = Stable(project.Store());
        EXPECT_TRUE(after == before) << hostproject::Project::Difference(after, before);
        std::filesystem::remove(file2);
    }
}

TEST_F(ExchangeOverHost, AcceptedVariantsOfTheFile)
{
    TraceCapture trace;
    // Another root name, a newer version, an empty numeric value, an object with a subtype but no
    // main type, and an address that is none: imported, and the address reported.
    std::string variant = Replace(exported, "<Veltrona xmlns=\"DALI Gateway\">", "<Export>");
    variant = Replace(variant, "</Veltrona>", "</Export>");
    std::int32_t m = 0, a = 0, v = 0;
    model->GetDeviceInfosFromEtsDb(m, a, v);
    variant = Replace(variant, "<Version>" + std::to_string(static_cast<std::int16_t>(v)) + "<",
                      "<Version>" + std::to_string(v + 1) + "<");
    variant = Replace(
        variant, "<Groups>",
        "<Groups><Parameter UniqueNr=\"760\"></Parameter><Parameter UniqueNr=\"4000001\">7</Parameter>");
    ObjectAssociationMap map;
    model->GetDeviceObjectAssociations(map);
    const std::uint16_t last = map.rbegin()->first;
    {
        const std::size_t begin = variant.find("<Object ObjectNr=\"" + std::to_string(last) + "\"");
        const std::size_t close = variant.find('>', begin);
        ASSERT_NE(close, std::string::npos);
        const std::size_t end = variant[close - 1] == '/'
                                    ? close + 1
                                    : variant.find("</Object>", begin) + std::strlen("</Object>");
        variant.replace(begin, end - begin,
                        "<Object ObjectNr=\"" + std::to_string(last) + "\" Flags=\"" +
                            std::to_string(map[last].flags) + "\" SubType=\"3\">" + map[last].addresses +
                            "</Object>");
    }
    const std::string lastClose = "</Objects>";
    variant = Replace(variant, lastClose,
                      "<Object ObjectNr=\"" + std::to_string(map.begin()->first) +
                          "\" Flags=\"0\">1/2/3</Object>" + lastClose);
    WriteAll(file, variant);
    ScriptedPrompt prompt;
    CXmlDomExportImport importer(*model, &prompt);
    ASSERT_TRUE(importer.ImportXmlFile(file, true)) << importer.GetErrorText();
    EXPECT_TRUE(trace.Contains("Imported Version = "));
    EXPECT_TRUE(trace.Contains("Parameter 760: empty"));
    EXPECT_EQ(importer.GetNotTaken(),
              std::vector<std::string>{"parameters this gateway does not have: 4000001"})
        << "a newer file's parameter this version does not know is named, the rest imported";
    // The first record of a number stays; the later one with a wrong address is not read.
    EXPECT_EQ(importer.GetFailures(), "");
    ObjectAssociationMap now;
    model->GetDeviceObjectAssociations(now);
    EXPECT_EQ(now[last].subType, map[last].subType) << "a subtype alone is not applied";
    const std::string after = Stable(project.Store());
    EXPECT_TRUE(after == before) << hostproject::Project::Difference(after, before);

    // An address that is none is reported under "Assocs failed".
    variant = Replace(exported, "<Object ObjectNr=\"" + std::to_string(map.begin()->first) + "\"",
                      "<Object ObjectNr=\"" + std::to_string(map.begin()->first) + "\" MainType=\"1\"");
    variant = Replace(variant, ">" + map.begin()->second.addresses + "<",
                      ">1/2/3," + std::to_string(Address(3, 1, 1)) + "<");
    WriteAll(file, variant);
    ScriptedPrompt prompt2;
    CXmlDomExportImport again(*model, &prompt2);
    ASSERT_TRUE(again.ImportXmlFile(file, true)) << again.GetErrorText();
    EXPECT_EQ(again.GetFailures(), std::to_string(map.begin()->first) + ":1/2/3");
    ASSERT_EQ(prompt2.boxes.size(), 1u);
    EXPECT_NE(prompt2.boxes[0].text.find("Assocs failed"), std::string::npos) << prompt2.boxes[0].text;
    EXPECT_NE(prompt2.boxes[0].text.find(again.GetFailures()), std::string::npos);
}

TEST(ExchangePreviousGeneration, ObjectsAreMappedAndTheAddressingModeIsSet)
{
    hostproject::Project project;
    auto model = project.LoadModel();
    const std::string file = TempFile("r2.xml");
    const std::string text = PreviousGenerationFile();
    WriteAll(file, text);
    TraceCapture trace;
    ScriptedPrompt prompt;
    CXmlDomExportImport importer(*model, &prompt);
    ASSERT_TRUE(importer.ImportXmlFile(file, true)) << importer.GetErrorText();
    EXPECT_EQ(importer.GetFileFormat(), 2);
    EXPECT_EQ(
        importer.GetNotTaken(),
        (std::vector<std::string>{"objects of the previous generation without a counterpart: 209, 216",
                                  "parameters of the previous generation without a counterpart: 4000000"}));
    EXPECT_TRUE(trace.Contains("Unknown R2 ObjectNr = 209"));
    EXPECT_TRUE(trace.Contains("Unknown R2 ObjectNr = 216"));
    ASSERT_EQ(prompt.boxes.size(), 1u) << "one message names everything not taken";
    EXPECT_NE(prompt.boxes[0].text.find("209, 216"), std::string::npos) << prompt.boxes[0].text;
    EXPECT_NE(prompt.boxes[0].text.find("4000000"), std::string::npos) << prompt.boxes[0].text;
    EXPECT_EQ(importer.GetFailures(), "");
    EXPECT_EQ(model->GetParameterLong(65014, 0), 2);
    EXPECT_EQ(model->GetParameterLong(65049, -1), 2) << "derived from 724 = 2 and 65043 = 1";
    EXPECT_TRUE(model->GroupExists(2));
    ObjectAssociationMap map;
    model->GetDeviceObjectAssociations(map);
    EXPECT_EQ(map[14].addresses, std::to_string(Address(1, 1, 7)));
    EXPECT_EQ(map[14].flags, 92);
    EXPECT_EQ(map[26].addresses, std::to_string(Address(1, 1, 13)));
    EXPECT_EQ(map[209].addresses, std::to_string(Address(1, 1, 112)));
    EXPECT_EQ(map[1505].addresses, std::to_string(Address(1, 1, 208)));
    std::filesystem::remove(file);
}

// Broken variants of a real file: cut, bytes changed, nested deeply, numbers out of range. The import
// never crashes; when it refuses, the store is as it was.
TEST_F(ExchangeOverHost, BrokenFilesNeverCrashAndRefusalsChangeNothing)
{
    std::vector<std::string> files;
    std::mt19937 random(20261209);
    for (int i = 1; i <= 30; ++i)
        files.push_back(exported.substr(0, exported.size() * static_cast<std::size_t>(i) / 31));
    const char replacements[] = {'<', '>', '&', '"', '\0', '\xFF', ' ', '/', '9', '-'};
    for (int i = 0; i < 40; ++i) {
        std::string text = exported;
        const std::size_t at = random() % text.size();
        text[at] = replacements[random() % sizeof replacements];
        files.push_back(std::move(text));
    }
    std::string deep = "<Veltrona>";
    for (int i = 0; i < 100000; ++i)
        deep += "<Common>";
    files.push_back(deep);
    files.push_back(Replace(exported, "<Common>", "<Common>" + std::string(50000, '<')));
    files.push_back(
        "<?xml version=\"1.0\"?><!DOCTYPE v [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">]>"
        "<Veltrona>&b;&b;&b;</Veltrona>");
    files.push_back(Replace(exported, "<Object ObjectNr=\"", "<Object ObjectNr=\"99999999999999"));
    files.push_back(Replace(exported, "<Parameter UniqueNr=\"", "<Parameter UniqueNr=\"-"));
    files.push_back(Replace(exported, "<DeviceInfo>", "<DeviceInfo><Application>49165</Application>"));
    files.push_back(Replace(exported, "</Veltrona>",
                            "<Objects><Object ObjectNr=\"1\" Flags=\"99999\"/></Objects></Veltrona>"));
    files.push_back(std::string("\xEF\xBB\xBF") + exported);
    files.push_back(std::string(1000, '\0'));

    const std::string bad = TempFile("broken.xml");
    int refused = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        WriteAll(bad, files[i]);
        const std::string was = Stable(project.Store());
        CXmlDomExportImport importer(*model);
        if (importer.ImportXmlFile(bad, true))
            continue;
        ++refused;
        EXPECT_FALSE(importer.GetErrorText().empty());
        const std::string now = Stable(project.Store());
        EXPECT_TRUE(now == was) << importer.GetErrorText() << "\n"
                                << hostproject::Project::Difference(now, was);
    }
    EXPECT_GT(refused, 40);
    std::filesystem::remove(bad);
}

// What the exchange reader's fuzzer found stays fixed: every kept crash, and every seed, is read and
// imported without a crash; a refused one leaves the project as it was.
TEST(ExchangeFuzzFindings, KeptInputsImportOrAreRefusedCleanly)
{
    const std::filesystem::path fuzz = VELTRONA_FUZZ_DIR;
    std::vector<std::filesystem::path> inputs;
    for (const char* folder : {"crashes/exchange_reader", "corpus/exchange_reader"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(fuzz / folder, ec))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                inputs.push_back(entry.path());
    }
    ASSERT_FALSE(inputs.empty()) << "no seeds below " << fuzz;
    hostproject::Project project;
    auto model = project.LoadModel();
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.string());
        const std::string was = Stable(project.Store());
        ScriptedPrompt prompt;
        CXmlDomExportImport importer(*model, &prompt);
        if (!importer.ImportXmlFile(input.string(), true)) {
            EXPECT_TRUE(Stable(project.Store()) == was) << importer.GetErrorText();
        }
    }
}

namespace {

// Another configuration than Configure's: fewer groups in another addressing mode, other scenes and
// effects, other flags, types and addresses on other objects.
void ConfigureOther(CEtsDbManagement& model)
{
    model.SetParameterLong(65014, 2);
    model.SetAddressingMode(2);
    for (int g : {3, 9}) {
        model.CreateGroup(g);
        model.SetGroupName(g, "Other " + std::to_string(g));
    }
    model.AddGroupMember(3, 4);
    model.CreateSingle(7);
    model.CreateScene(5);
    model.AddGroupToScene(5, 3, 0x100 | 50);
    model.CreateEffect(2);
    model.CreateEffectStep(2, 0);
    model.AddGroupToEffectStep(2, 1, 3, 77);
    ObjectAssociationMap map, wanted;
    model.GetDeviceObjectAssociations(map);
    int n = 0;
    for (const auto& [number, record] : map) {
        if (n == 0 || n == 2)
            wanted[number] = {std::to_string(Address(2, 0, 1 + n)), 0x1C, 1, 1};
        else if (n == 4)
            wanted[number] = {std::to_string(Address(1, 2, 4)) + "," + std::to_string(Address(1, 2, 3)), 0x5F,
                              -1, -1};
        if (++n > 4)
            break;
    }
    model.SetDeviceObjectAssociations(wanted, nullptr);
}

} // namespace

// An import writes in place what a reset followed by the file's values leaves: the same store, the
// same reports, whatever the project held and whatever the file brings.
TEST(ExchangeInPlace, EndsAsAResetFollowedByTheFile)
{
    const std::string file = TempFile("in-place.xml");
    std::string exported;
    {
        hostproject::Project source;
        auto model = source.LoadModel();
        Configure(*model);
        CXmlDomExportImport exporter(*model);
        ASSERT_TRUE(exporter.ExportXmlFile(file)) << exporter.GetErrorText();
        exported = ReadAll(file);
    }
    const std::string tail = "</DaliCommissioning>";
    const std::string name3 = "<Parameter UniqueNr=\"" +
                              std::to_string(GetGroupUniqueNr(param::kGroupName, 3)) +
                              "\">Group \xC3\xA4 &lt;3&gt;</Parameter>";
    const std::size_t objectsBegin = exported.find("<Objects>"),
                      objectsEnd = exported.find("</Objects>") + std::strlen("</Objects>");
    struct File
    {
        const char* name;
        std::string content;
        bool withGroupAddresses;
    };
    const File files[] = {
        {"an export", exported, true},
        {"an export without addresses", exported, false},
        // A value refused after one taken, and the only value of a name refused: the reset's stays.
        {"refused values",
         Replace(Replace(exported, tail, "<Parameter UniqueNr=\"65014\">abc</Parameter>" + tail), name3,
                 std::string(name3).replace(name3.find("Group"), std::strlen("Group \xC3\xA4 &lt;3&gt;"),
                                            "\xFF")),
         true},
        {"no objects", exported.substr(0, objectsBegin) + exported.substr(objectsEnd), true},
        {"the previous generation", PreviousGenerationFile(), true},
    };
    struct Start
    {
        const char* name;
        std::function<void(hostproject::Project&, CEtsDbManagement&)> make;
        bool inPlace;
    };
    const Start starts[] = {
        {"fresh", [](hostproject::Project&, CEtsDbManagement&) {}, true},
        {"the same configuration", [](hostproject::Project&, CEtsDbManagement& m) { Configure(m); }, true},
        {"another configuration", [](hostproject::Project&, CEtsDbManagement& m) { ConfigureOther(m); },
         true},
        // Flags set by the host since the plug-in last looked: only a full reset knows what they become.
        {"flags the plug-in has not seen",
         [](hostproject::Project& p, CEtsDbManagement& m) {
             ConfigureOther(m);
             ComPtr<IEtsCollection<IEtsCommObject>> all;
             ComPtr<IEtsCommObject> object;
             ASSERT_EQ(p.Device()->get_CommObjects(0, all.GetAddressOf()), S_OK);
             ASSERT_EQ(all->Item(Variant::I4(40), object.GetAddressOf()), S_OK);
             std::int16_t on = 0;
             object->get_Flag(EtsFlagRead, &on);
             object->put_Flag(EtsFlagRead, on ? 0 : 1);
         },
         false},
    };
    // Each start with the files that tell something about it.
    const std::pair<int, std::vector<int>> cases[] = {
        {0, {0, 4}}, {1, {0, 1, 2, 3}}, {2, {0, 2, 4}}, {3, {0}}};
    for (const auto& [startIndex, fileIndices] : cases) {
        const Start& start = starts[startIndex];
        for (int fileIndex : fileIndices) {
            const File& f = files[fileIndex];
            SCOPED_TRACE(std::string(start.name) + ", " + f.name);
            WriteAll(file, f.content);
            hostproject::Project inPlace, reference;
            auto a = inPlace.LoadModel(), b = reference.LoadModel();
            start.make(inPlace, *a);
            start.make(reference, *b);
            if (start.inPlace) {
                // As after the plug-in opened it again.
                a->CollectVisibleNonStandardObjects();
                b->CollectVisibleNonStandardObjects();
            }
            ASSERT_EQ(Stable(inPlace.Store()), Stable(reference.Store()));
            ScriptedPrompt promptA, promptB;
            CXmlDomExportImport x(*a, &promptA), y(*b, &promptB);
            y.SetInPlace(false);
            TraceCapture trace;
            a->BeginJournal();
            b->BeginJournal();
            ASSERT_TRUE(x.ImportXmlFile(file, f.withGroupAddresses)) << x.GetErrorText();
            EXPECT_EQ(trace.Contains("ReplaceDeviceObjectAssociations"), start.inPlace);
            ASSERT_TRUE(y.ImportXmlFile(file, f.withGroupAddresses)) << y.GetErrorText();
            // A file of what the project holds changes no value in place; the full reset changes
            // hundreds and back.
            const std::size_t changedInPlace = a->EndJournal().size(),
                              changedByReset = b->EndJournal().size();
            if (startIndex == 1 && fileIndex == 0) {
                EXPECT_EQ(changedInPlace, 0u);
                EXPECT_GT(changedByReset, 100u);
            }
            const std::string left = Stable(inPlace.Store()), right = Stable(reference.Store());
            EXPECT_TRUE(left == right) << hostproject::Project::Difference(left, right);
            EXPECT_EQ(x.GetFailures(), y.GetFailures());
            EXPECT_EQ(x.GetNotTaken(), y.GetNotTaken());
            ASSERT_EQ(promptA.boxes.size(), promptB.boxes.size());
            for (std::size_t i = 0; i < promptA.boxes.size(); ++i)
                EXPECT_EQ(promptA.boxes[i].text, promptB.boxes[i].text);
            EXPECT_EQ(a->GetNonStandardObjects(), b->GetNonStandardObjects());
            EXPECT_EQ(a->GetEffectValueCount(), b->GetEffectValueCount());
            for (int g = 1; g <= kGroupCount + kSingleCount; ++g)
                EXPECT_EQ(a->GroupExists(g), b->GroupExists(g)) << g;
        }
    }
    std::filesystem::remove(file);
}
