#include "model/tests/ModelTables.h"
#include "product/ParameterNumbers.h"
#include "tests/integration/HostProject.h"
#include "testsupport/HostObjects.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

using modeltest::Tables;

std::string ObjectText(IEtsDevice* device, int number)
{
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    device->get_CommObjects(0, objects.GetAddressOf());
    std::int32_t count = 0;
    objects->get_Count(&count);
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsCommObject> object;
        std::uint16_t n = 0;
        objects->Item(Variant::I4(i), object.GetAddressOf());
        object->get_Number(&n);
        if (n == number) {
            std::string text;
            object->get_Text(&text);
            return text;
        }
    }
    return "<none>";
}

} // namespace

TEST(ModelOverHost, EveryParameterTheModelUsesIsThere)
{
    hostproject::Project project;
    auto model = project.LoadModel();
    std::vector<UniqueNr> numbers{738,   741,   742,   716,   799,   721,   722,  723,
                                  65014, 65015, 65024, 65026, 65027, 65047, 65048};
    for (int n = 1; n <= 96; ++n)
        for (UniqueNr base : {101, 102, 103, 123, 234, 235, 301, 313, 324, 332, 333, 334})
            numbers.push_back(GetGroupUniqueNr(base, n));
    for (int m = 1; m <= 64; ++m)
        for (UniqueNr n : {GetMemberUniqueNr(400, m), GetMemberUniqueNr(500, m), GetMemberUniqueNr(600, m),
                           GetMemberUniqueNr(26700, m), GetMemberUniqueNr(27700, m),
                           GetMemberBlockUniqueNr(274, m), GetMemberBlockUniqueNr(597, m)})
            numbers.push_back(n);
    for (int s = 1; s <= 16; ++s)
        for (UniqueNr base : {601, 602, 609, 642, 20600, 20601, 20602, 20667, 20668})
            numbers.push_back(GetSceneUniqueNr(base, s));
    for (int e = 1; e <= 16; ++e)
        for (int t = 1; t <= 16; ++t)
            for (UniqueNr base : {16700, 17700, 18700, 19700, 20700, 21700, 22700, 23700, 24700})
                numbers.push_back(GetEffectStepUniqueNr(base, e, t));
    for (int i = 0; i < 250; ++i)
        numbers.push_back(GetEffectUniqueNr(25700, i));
    for (UniqueNr n : numbers)
        EXPECT_TRUE(model->GetDeviceParameterPointer(n)) << n;
}

TEST(ModelOverHost, OperationsWriteThroughAndAReloadSeesTheSameTables)
{
    hostproject::Project project;
    ScriptedPrompt prompt;
    auto model = project.LoadModel(&prompt);
    model->SetAddressingMode(4);
    project.Device(); // the host computes visibility from 65014 itself
    model->SetParameterLong(65014, 4);
    model->CreateGroup(1);
    model->SetGroupName(1, "Hall");
    model->CreateGroup(8);
    model->CreateGroup(17);
    ASSERT_TRUE(model->AddGroupMember(8, 2)) << "group 8 lands in bit 31 of the stored mask";
    ASSERT_TRUE(model->AddGroupMember(1, 2));
    ASSERT_TRUE(model->AddGroupMember(17, 3));
    ASSERT_TRUE(model->AddGroupMember(17, 4));
    EXPECT_FALSE(model->AddGroupMember(17, 5));
    model->CreateSingle(5);
    model->SetMemberName(5, "Desk lamp");
    model->SetMemberType(5, 6);
    model->SetMemberRandomNr(2, 0x123456);
    model->CreateScene(1);
    model->AddGroupToScene(1, 1, 0x300 | 100);
    model->AddGroupToScene(1, 37, 0x100 | 90);
    model->CreateEffect(1);
    model->CreateEffectStep(1, 0);
    model->AddGroupToEffectStep(1, 1, 1, 150); // a table word with bit 31 set
    model->AddGroupToEffectStep(1, 16, 8, 60);
    model->AddGroupToEffectStep(1, 16, 97, 0);
    model->CopyGroup(1);
    model->CreateGroup(4);
    ASSERT_TRUE(model->PasteGroup(4));

    EXPECT_EQ(model->GetParameterLong(5163, 0), 1);
    for (int o = 485; o <= 501; ++o)
        EXPECT_EQ(ObjectText(project.Device(), o), "[5] Desk lamp") << o;

    auto reloaded = project.LoadModel();
    EXPECT_EQ(Tables(*reloaded), Tables(*model));
    EXPECT_EQ(reloaded->GetMemberGroupAssignment(2), 0x81u);
    EXPECT_EQ(reloaded->GetEffectValue(1, 1, 1), 150);
    EXPECT_TRUE(prompt.boxes.empty()) << prompt.boxes.front().text;
}

TEST(ModelOverHost, AFullResetAndReloadEqualsAFreshDevice)
{
    hostproject::Project fresh;
    fresh.LoadModel();
    hostproject::Project project;
    auto model = project.LoadModel();
    model->SetParameterLong(65014, 4);
    model->SetAddressingMode(4);
    model->CreateGroup(3);
    model->AddGroupMember(3, 7);
    model->CreateSingle(9);
    model->CreateScene(2);
    model->AddGroupToScene(2, 3, 0x380);
    model->CreateEffect(4);
    model->AddGroupToEffectStep(4, 1, 3, 140);
    // Emergency lamps, individually supplied: singles of type 1 are emergency lamps.
    for (auto [number, value] : {std::pair{param::kEmergencyLamps, 1}, {param::kEmergencyLampSystem, 1}}) {
        model->SetParameterLong(number, value);
        model->SetDeviceContext(number, value);
    }
    for (int s : {2, 9, 40}) {
        model->CreateSingle(s);
        model->SetMemberType(s, s == 40 ? 6 : 1);
    }
    model->SetMemberType(7, 6);
    ASSERT_TRUE(model->UpdateEmergencyLampFlag(0, true));
    ASSERT_EQ(model->GetParameterLong(GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, 2), 0), 1);
    model->SetParameterLong(65014, 3);
    model->ResetAllParameters(true);
    auto reloaded = project.LoadModel();
    auto before = fresh.LoadModel();
    EXPECT_EQ(Tables(*reloaded), Tables(*before));
    // Both stores hold the same values, except the load counter.
    auto strip = [](const std::string& s) {
        return hostproject::Project::WithoutLines(s, "P65015=");
    };
    const std::string got = strip(project.Store()), want = strip(fresh.Store());
    EXPECT_TRUE(got == want) << hostproject::Project::Difference(got, want);
}

// A single that was an emergency lamp and is deleted comes back as a plain single with its three
// objects, as on a fresh device.
TEST(ModelOverHost, ADeletedEmergencySingleComesBackPlain)
{
    hostproject::Project project;
    auto model = project.LoadModel();
    auto visibleObjects = [&](int single) {
        const auto numbers = testsupport::VisibleObjects(project.Device());
        return std::count_if(numbers.begin(), numbers.end(), [&](std::uint16_t n) {
            return n >= 417 + (single - 1) * 17 && n <= 433 + (single - 1) * 17;
        });
    };
    model->CreateSingle(2);
    const int plain = visibleObjects(2);
    for (auto [number, value] : {std::pair{param::kEmergencyLamps, 1}, {param::kEmergencyLampSystem, 1}}) {
        model->SetParameterLong(number, value);
        model->SetDeviceContext(number, value);
    }
    model->SetMemberType(2, 1);
    model->UpdateEmergencyLampFlag(2, true);
    const UniqueNr flag = GetMemberBlockUniqueNr(param::kMemberEmergencyLamp, 2);
    ASSERT_EQ(model->GetParameterLong(flag, 0), 1);
    ASSERT_GT(visibleObjects(2), plain) << "an emergency lamp shows its emergency object";

    model->DeleteGroup(34);
    model->CreateSingle(2);
    EXPECT_EQ(model->GetParameterLong(flag, -1), 0);
    EXPECT_EQ(visibleObjects(2), plain);

    model->SetMemberType(2, 1);
    model->UpdateEmergencyLampFlag(2, true);
    model->ResetAllParameters(false);
    model->CreateSingle(2);
    EXPECT_EQ(model->GetParameterLong(flag, -1), 0);
    EXPECT_EQ(visibleObjects(2), plain);
}

// Help opens the shipped manual at the section of the page shown, for every node type of the tree.
TEST(ModelOverHost, HelpOpensTheManualAtTheSectionOfEveryNodeType)
{
    hostproject::Project project;
    ScriptedPrompt prompt;
    auto model = project.LoadModel(&prompt);
    std::string openedPath, openedAnchor;
    model->SetHelpViewer([&](const std::string& path, const std::string& anchor) {
        openedPath = path;
        openedAnchor = anchor;
        return true;
    });
    model->LoadHelpFile();
    ASSERT_FALSE(openedPath.empty()) << (prompt.boxes.empty() ? "" : prompt.boxes[0].text);
    EXPECT_EQ(openedAnchor, "") << "no page: the manual's start";
    std::ifstream in(openedPath);
    const std::string manual((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(manual.find("<html"), std::string::npos) << openedPath;
    for (int type = 1; type <= 34; ++type) {
        SCOPED_TRACE(type);
        model->SetHelpTopic(type);
        model->LoadHelpFile();
        ASSERT_FALSE(openedAnchor.empty());
        EXPECT_NE(manual.find("id=\"" + openedAnchor + "\""), std::string::npos) << openedAnchor;
    }
    EXPECT_TRUE(prompt.boxes.empty());

    // A viewer that cannot open the file: the message names the file tried.
    model->SetHelpViewer([](const std::string&, const std::string&) { return false; });
    model->LoadHelpFile();
    ASSERT_EQ(prompt.boxes.size(), 1u);
    EXPECT_NE(prompt.boxes[0].text.find(openedPath), std::string::npos) << prompt.boxes[0].text;
}
