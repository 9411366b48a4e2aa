#include "exchange/XmlDom.h"
#include "exchange/XmlDomExportImport.h"
#include "testsupport/Scratch.h"
#include "trace/TraceCapture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace {

using testsupport::ReadAll;
using testsupport::WriteAll;
const auto TempFile = testsupport::ScratchFile;

} // namespace

TEST(XmlElementAttribute, ListsOfDifferentLengthYieldNothing)
{
    struct Uneven : CXmlElementAttribute
    {
        Uneven() { m_strNames.push_back("orphan"); }
    };
    Uneven uneven;
    std::string name, value;
    EXPECT_EQ(uneven.add("a", 1), -1);
    EXPECT_EQ(uneven.get(0, name, value), -1);

    CXmlElementAttribute list;
    EXPECT_EQ(list.add("UniqueNr", -7), 0);
    EXPECT_EQ(list.add("Name", "x"), 1);
    EXPECT_EQ(list.get(0, name, value), 0);
    EXPECT_EQ(name + "=" + value, "UniqueNr=-7");
    EXPECT_EQ(list.get(2, name, value), -1);
    EXPECT_EQ(list.get(-1, name, value), -1);

    // An element made with the uneven list gets no attributes at all.
    CXmlDom dom;
    ASSERT_EQ(dom.CreateXmlDomDocument(), S_OK);
    XmlNode element;
    ASSERT_EQ(dom.CreateElement("E", uneven, element), S_OK);
    EXPECT_FALSE(element.first_attribute());
}

TEST(XmlDom, SavesOneLineInTheNamespaceAndReadsValuesBackExactly)
{
    const std::string tricky = "Line 1\r\nTab\there & <x> \"q\" 'a' \xC3\xA4 end ";
    CXmlDom dom;
    XmlNode nothing;
    EXPECT_EQ(dom.CreateHeader(), E_POINTER) << "no document yet";
    ASSERT_EQ(dom.CreateXmlDomDocument(), S_OK);
    ASSERT_EQ(dom.CreateHeader(), S_OK);
    XmlNode root, section, stray;
    ASSERT_EQ(dom.CreateElement("Veltrona", root), S_OK);
    ASSERT_EQ(dom.CreateElement("NeverAdded", stray), S_OK);
    ASSERT_EQ(dom.AddElement(nothing, root), S_OK) << "no parent: the root";
    EXPECT_EQ(dom.AddElement2Root(section), E_POINTER);
    ASSERT_EQ(dom.CreateChildElement(root, "Common", section), S_OK);
    CXmlElementAttribute a;
    a.add("UniqueNr", 741);
    EXPECT_EQ(dom.AppendValueElement(section, "Parameter", a, Variant::String(tricky)), S_OK);
    EXPECT_EQ(dom.AppendValueElement(section, "Parameter", Variant::UI4(0x80000001u)), S_OK);
    EXPECT_EQ(dom.AppendValueElement(section, "Parameter", Variant::I4(-5)), S_OK);
    EXPECT_EQ(dom.AppendValueElement(section, "Space", Variant::String(" ")), S_OK);
    EXPECT_EQ(dom.AppendValueElement(nothing, "Parameter", Variant::I4(1)), E_POINTER);

    const std::string file = TempFile("dom.xml");
    ASSERT_EQ(dom.SaveXmlDocument(file), S_OK);
    const std::string text = ReadAll(file);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Veltrona xmlns=\"DALI Gateway\"><Common>"
                         "<Parameter UniqueNr=\"741\">",
                         0),
              0u)
        << text;
    EXPECT_EQ(text.find('\n'), text.find("Line 1&#13;\n") + 11) << "the only line break is the value's";
    EXPECT_EQ(text.find('\n', text.find('\n') + 1), std::string::npos);
    EXPECT_EQ(text.find("NeverAdded"), std::string::npos);
    EXPECT_NE(text.find(">2147483649<"), std::string::npos);

    CXmlDom read;
    ASSERT_TRUE(read.ReadXmlFile(file)) << read.GetLoadError();
    XmlNode readRoot = read.GetDocumentElement();
    ASSERT_EQ(std::string(readRoot.name()), "Veltrona");
    XmlNode p = readRoot.child("Common").child("Parameter");
    std::int32_t number = 99;
    EXPECT_EQ(read.GetNodeValueAttribute(p, "UniqueNr", &number), S_OK);
    EXPECT_EQ(number, 741);
    number = 99;
    EXPECT_EQ(read.GetNodeValueAttribute(p, "uniquenr", &number), S_FALSE) << "names compare exactly";
    EXPECT_EQ(number, 99);
    EXPECT_EQ(read.GetNodeValueAttribute(nothing, "UniqueNr", &number), E_POINTER);
    Variant value;
    ASSERT_EQ(read.GetNodeValue(p, value), S_OK);
    EXPECT_EQ(value.bstrVal(), tricky);
    ASSERT_EQ(read.GetNodeValue(readRoot.child("Common").child("Space"), value), S_OK);
    EXPECT_EQ(value.bstrVal(), " ");
    std::filesystem::remove(file);
}

TEST(XmlDom, AttributesThatAreNoIntegerFail)
{
    CXmlDom dom;
    const std::string file = TempFile("attr.xml");
    WriteAll(file, "<r a=\"12x\" b=\"4294967296\" c=\"-2147483648\" d=\"\"/>");
    ASSERT_TRUE(dom.ReadXmlFile(file));
    XmlNode r = dom.GetDocumentElement();
    std::int32_t v = 7;
    EXPECT_TRUE(FAILED(dom.GetNodeValueAttribute(r, "a", &v)));
    EXPECT_TRUE(FAILED(dom.GetNodeValueAttribute(r, "b", &v)));
    EXPECT_TRUE(FAILED(dom.GetNodeValueAttribute(r, "d", &v)));
    EXPECT_EQ(v, 7);
    EXPECT_EQ(dom.GetNodeValueAttribute(r, "c", &v), S_OK);
    EXPECT_EQ(v, INT32_MIN);
    std::filesystem::remove(file);
}

TEST(XmlDom, ParseErrorsTellLinePositionAndReason)
{
    const std::string file = TempFile("broken.xml");
    WriteAll(file, "<?xml version=\"1.0\"?>\n<Veltrona>\n  <Common></Commmon>\n</Veltrona>\n");
    TraceCapture trace;
    CXmlDom dom;
    EXPECT_FALSE(dom.ReadXmlFile(file));
    EXPECT_EQ(trace.Count("Line 3 pos "), 1u);
    EXPECT_NE(dom.GetLoadError().find("Line 3 pos 13"), std::string::npos) << dom.GetLoadError();
    EXPECT_NE(dom.GetLoadError().find("mismatch"), std::string::npos) << dom.GetLoadError();

    EXPECT_FALSE(dom.ReadXmlFile(TempFile("missing.xml")));
    EXPECT_NE(dom.GetLoadError().find("cannot be read"), std::string::npos) << dom.GetLoadError();
    std::filesystem::remove(file);
}

TEST(XmlDom, ASaveKeepsTheFilesPermissionsAndWritesThroughALink)
{
    const std::string real = TempFile("real.xml"), link = TempFile("link.xml");
    WriteAll(real, "old contents");
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    std::filesystem::remove(link);
    std::filesystem::create_symlink(real, link);
    CXmlDom dom;
    ASSERT_EQ(dom.CreateXmlDomDocument(), S_OK);
    XmlNode root;
    ASSERT_EQ(dom.CreateElement("Veltrona", root), S_OK);
    ASSERT_EQ(dom.AddElement2Root(root), S_OK);
    ASSERT_EQ(dom.SaveXmlDocument(link), S_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link is not replaced by a file";
    EXPECT_NE(ReadAll(real).find("<Veltrona"), std::string::npos);
    EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    std::filesystem::remove(link);
    std::filesystem::remove(real);
}

TEST(XmlDom, AnEmptyDocumentIsStillSaved)
{
    const std::string file = TempFile("empty.xml");
    WriteAll(file, "old contents");
    TraceCapture trace;
    CXmlDom dom;
    EXPECT_EQ(dom.SaveXmlDocument(file), E_POINTER);
    ASSERT_EQ(dom.CreateXmlDomDocument(), S_OK);
    EXPECT_EQ(dom.SaveXmlDocument(file), S_OK);
    EXPECT_TRUE(trace.Contains("80004005"));
    EXPECT_EQ(ReadAll(file), "");
    // A file that cannot be written leaves nothing behind and fails.
    EXPECT_TRUE(FAILED(dom.SaveXmlDocument("/nonexistent-folder/x.xml")));
    std::filesystem::remove(file);
}

TEST(PreviousGenerationObjects, MapToTheCurrentNumbers)
{
    // Parameter 118 of a group chooses its second object; here groups 2 and 17 choose it. Objects
    // 112 and up belong to groups 17 and up.
    auto read = [](UniqueNr n) {
        return n == GetGroupUniqueNr(118, 2) || n == GetGroupUniqueNr(118, 17) ? 2 : 0;
    };
    struct Case
    {
        std::int32_t file;
        int expected; // -1: no counterpart
    };
    const Case cases[] = {{0, 1},      {5, 6},      {6, 12},     {7, 14},     {13, 26},    {20, 38},
                          {111, 207},  {112, 209},  {116, 213},  {117, 221},  {123, 233},  {118, 222},
                          {207, 415},  {208, 1505}, {209, -1},   {210, 1543}, {211, 1525}, {212, 1527},
                          {213, 1528}, {214, 1529}, {215, 1530}, {216, -1},   {-1, -1},    {65535, -1}};
    for (const Case& c : cases) {
        auto mapped = MapPreviousObjectNr(c.file, read);
        EXPECT_EQ(mapped ? int{*mapped} : -1, c.expected) << "ObjectNr " << c.file;
    }
}

// The document is written as pugixml writes it raw, with a carriage return as a reference: checked
// against pugixml itself on every character, in texts and attributes, in value elements kept as text
// and in element nodes, mixed under one parent.
TEST(XmlDom, WritesWhatPugixmlWrites)
{
    std::string every;
    for (int c = 1; c < 256; ++c)
        every += static_cast<char>(c);
    const Variant values[] = {Variant::String(every), Variant::I4(-2147483647 - 1), Variant::UI4(4294967295u),
                              Variant::UI2(65535),    Variant::String(""),          Variant()};

    CXmlDom dom;
    ASSERT_EQ(dom.CreateXmlDomDocument(), S_OK);
    ASSERT_EQ(dom.CreateHeader(), S_OK);
    XmlNode root, section, inner;
    ASSERT_EQ(dom.CreateElement("Veltrona", root), S_OK);
    ASSERT_EQ(dom.AddElement2Root(root), S_OK);
    ASSERT_EQ(dom.CreateChildElement(root, "Common", section), S_OK);
    pugi::xml_document reference;
    reference.append_child(pugi::node_declaration).append_attribute("version") = "1.0";
    reference.first_child().append_attribute("encoding") = "UTF-8";
    pugi::xml_node referenceRoot = reference.append_child("Veltrona");
    referenceRoot.append_attribute("xmlns") = CXmlDom::kNamespace;
    pugi::xml_node referenceSection = referenceRoot.append_child("Common");
    auto text = [](const Variant& v) {
        return v.vt() == VT_EMPTY ? std::string() : CEtsAccess::ChangeVariantToString(v);
    };
    int number = -3;
    for (const Variant& value : values) {
        // In bulk, as parameters are exported.
        ASSERT_EQ(dom.AppendValueElement(section, "Parameter", "UniqueNr", number, value), S_OK);
        pugi::xml_node p = referenceSection.append_child("Parameter");
        p.append_attribute("UniqueNr") = number++;
        if (!text(value).empty())
            p.text() = text(value).c_str();
        // With an attribute list, as objects are.
        CXmlElementAttribute attributes;
        attributes.add("ObjectNr", number);
        attributes.add("Text", every);
        ASSERT_EQ(dom.AppendValueElement(section, "Object", attributes, value), S_OK);
        pugi::xml_node o = referenceSection.append_child("Object");
        o.append_attribute("ObjectNr") = number++;
        o.append_attribute("Text") = every.c_str();
        if (!text(value).empty())
            o.text() = text(value).c_str();
        // An element node between the runs.
        ASSERT_EQ(dom.CreateChildElement(section, "Inner", inner), S_OK);
        referenceSection.append_child("Inner");
    }
    ASSERT_EQ(dom.AppendValueElement(inner, "Last", Variant::I4(1)), S_OK);
    referenceSection.last_child().append_child("Last").text() = 1;

    const std::string file = TempFile("every.xml");
    ASSERT_EQ(dom.SaveXmlDocument(file), S_OK);
    std::ostringstream written;
    reference.save(written, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    std::string expected;
    for (char c : written.str())
        expected += c == '\r' ? std::string("&#13;") : std::string(1, c);
    EXPECT_EQ(ReadAll(file), expected);

    // And it reads back to the same values.
    CXmlDom read;
    ASSERT_TRUE(read.ReadXmlFile(file)) << read.GetLoadError();
    Variant value;
    ASSERT_EQ(read.GetNodeValue(read.GetDocumentElement().child("Common").child("Parameter"), value), S_OK);
    EXPECT_EQ(value.bstrVal(), every);
    std::filesystem::remove(file);
}
