#include "host/catalogue/tests/HostTestSupport.h"
#include "host/objects/HostProject.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "testsupport/HostObjects.h"

#include <gtest/gtest.h>

using namespace hosttest;
using namespace testsupport;

namespace {

std::string Query(const char* name, std::int64_t value, bool quoted = false)
{
    std::string v = std::to_string(value);
    return std::string("$(") + name + ")=" + (quoted ? "'" + v + "'" : v);
}

class HostObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        model = CatalogueModel::Build(catalogue, &error);
        ASSERT_TRUE(model) << error;
        ASSERT_TRUE(CreateGatewayProject(path, *catalogue, NewProjectOptions{}, &error)) << error;
        Reopen();
    }

    void Reopen()
    {
        session.reset();
        std::string error;
        session = HostSession::Open(path, model, &error);
        ASSERT_TRUE(session) << error;
        device = session->Device();
        ASSERT_EQ(device->get_Parameters(parameters.ReleaseAndGetAddressOf()), S_OK);
    }

    ComPtr<IEtsDeviceParameter> Parameter(std::int32_t nr)
    {
        ComPtr<IEtsDeviceParameter> p;
        EXPECT_EQ(parameters->Item(Variant::String(Query("UniqueNumber", nr)), p.GetAddressOf()), S_OK) << nr;
        return p;
    }
    ComPtr<IEtsUIParameter> Ui(std::int32_t nr)
    {
        ComPtr<IEtsUIParameter> ui;
        EXPECT_EQ(Parameter(nr)->get_UIParameter(ui.GetAddressOf()), S_OK);
        return ui;
    }
    Variant Value(std::int32_t nr)
    {
        Variant v;
        EXPECT_EQ(Parameter(nr)->get_Value(&v), S_OK);
        return v;
    }
    HRESULT Put(std::int32_t nr, const Variant& v) { return Parameter(nr)->put_Value(v); }
    bool Visible(std::int32_t nr)
    {
        std::int16_t visible = 0;
        EXPECT_EQ(Parameter(nr)->get_Visible(&visible), S_OK);
        return visible != 0;
    }
    std::vector<std::int32_t> Numbers(IEtsCollection<IEtsUIParameter>* list)
    {
        std::vector<std::int32_t> numbers;
        std::int32_t count = 0;
        EXPECT_EQ(list->get_Count(&count), S_OK);
        for (std::int32_t i = 1; i <= count; ++i) {
            ComPtr<IEtsUIParameter> ui;
            std::int32_t nr = 0;
            EXPECT_EQ(list->Item(Variant::I4(i), ui.GetAddressOf()), S_OK);
            ui->get_UniqueNumber(&nr);
            numbers.push_back(nr);
        }
        return numbers;
    }
    std::vector<std::uint16_t> VisibleObjects() { return testsupport::VisibleObjects(device.Get()); }
    ComPtr<IEtsCommObject> Object(std::uint16_t number)
    {
        ComPtr<IEtsCollection<IEtsCommObject>> list;
        EXPECT_EQ(device->get_CommObjects(0, list.GetAddressOf()), S_OK);
        ComPtr<IEtsCommObject> o;
        EXPECT_EQ(list->Item(Variant::String(Query("UniqueNumber", 1000 + number)), o.GetAddressOf()), S_OK);
        return o;
    }
    ComPtr<IEtsProject> Project()
    {
        ComPtr<IEtsProject> project;
        EXPECT_EQ(device->get_Project(project.GetAddressOf()), S_OK);
        return project;
    }
    // Main group 1, middle group 2, addresses 1/2/3 (2563) and 1/2/4 (2564).
    ComPtr<IEtsGroupAddressList> MakeOfficeAddresses()
    {
        ComPtr<IEtsMainGroupList> mains;
        ComPtr<IEtsMainGroup> main;
        ComPtr<IEtsMiddleGroupList> middles;
        ComPtr<IEtsMiddleGroup> middle;
        ComPtr<IEtsGroupAddressList> addresses;
        EXPECT_EQ(Project()->get_MainGroups(mains.GetAddressOf()), S_OK);
        EXPECT_EQ(mains->Add(1, "Lights", main.GetAddressOf()), S_OK);
        EXPECT_EQ(main->get_MiddleGroups(middles.GetAddressOf()), S_OK);
        EXPECT_EQ(middles->Add(2, "Office", middle.GetAddressOf()), S_OK);
        EXPECT_EQ(middle->get_GroupAddresses(addresses.GetAddressOf()), S_OK);
        EXPECT_EQ(addresses->Add(3, "Office on/off", nullptr), S_OK);
        EXPECT_EQ(addresses->Add(4, "Office dim", nullptr), S_OK);
        return addresses;
    }
    ComPtr<IEtsGroupAddress> Address(std::int32_t value)
    {
        ComPtr<IEtsCollection<IEtsGroupAddress>> all;
        EXPECT_EQ(Project()->get_GroupAddresses(all.GetAddressOf()), S_OK);
        ComPtr<IEtsGroupAddress> address;
        EXPECT_EQ(all->Item(Variant::String(Query("GroupAddress", value, true)), address.GetAddressOf()),
                  S_OK);
        return address;
    }
    std::vector<std::pair<std::int32_t, bool>> Associations(std::uint16_t object)
    {
        ComPtr<IEtsAssociations> list;
        EXPECT_EQ(Object(object)->get_Associations(list.GetAddressOf()), S_OK);
        std::int32_t count = 0;
        EXPECT_EQ(list->get_Count(&count), S_OK);
        std::vector<std::pair<std::int32_t, bool>> result;
        for (std::int32_t i = 1; i <= count; ++i) {
            ComPtr<IEtsAssociation> a;
            ComPtr<IEtsGroupAddress> address;
            std::int16_t sending = 0;
            EXPECT_EQ(list->Item(Variant::I4(i), a.GetAddressOf()), S_OK);
            EXPECT_EQ(a->get_GroupAddress(address.GetAddressOf()), S_OK);
            a->get_Sending(&sending);
            result.emplace_back(GroupAddressValue(address.Get()), sending != 0);
        }
        return result;
    }

    ScratchDir dir;
    std::string path = dir.File("p.veltrona");
    std::shared_ptr<Catalogue> catalogue = MakeTestCatalogue();
    std::shared_ptr<const CatalogueModel> model;
    std::unique_ptr<HostSession> session;
    ComPtr<IEtsDevice> device;
    ComPtr<IEtsCollection<IEtsDeviceParameter>> parameters;
};

} // namespace

TEST_F(HostObjectTest, ParametersDescribeThemselvesFromTheCatalogue)
{
    std::int32_t count = 0;
    ASSERT_EQ(parameters->get_Count(&count), S_OK);
    EXPECT_EQ(count, 10);
    ComPtr<IEtsDeviceParameter> p;
    EXPECT_EQ(parameters->Item(Variant::I4(0), p.GetAddressOf()), DISP_E_BADINDEX);
    EXPECT_EQ(parameters->Item(Variant::I4(count + 1), p.GetAddressOf()), DISP_E_BADINDEX);
    EXPECT_EQ(parameters->Item(Variant::String("$(UniqueNumber)=999"), p.GetAddressOf()), DISP_E_BADINDEX);
    EXPECT_EQ(parameters->Item(Variant::String("$(Number)=10"), p.GetAddressOf()), E_INVALIDARG);
    EXPECT_EQ(parameters->Item(Variant(), p.GetAddressOf()), E_INVALIDARG);
    EXPECT_FALSE(p);

    ComPtr<IEtsUIParameter> level = Ui(11);
    std::string text;
    std::int16_t accessible = 0;
    Variant v;
    EXPECT_EQ(level->get_Description(&text), S_OK);
    EXPECT_EQ(text, "Parameter 11");
    EXPECT_EQ(level->get_Accessible(&accessible), S_OK);
    EXPECT_NE(accessible, 0);
    EXPECT_EQ(level->get_DefaultValue(&v), S_OK);
    EXPECT_EQ(v, Variant::I4(50));
    EXPECT_EQ(level->get_ConditionValue(&v), S_OK);
    EXPECT_EQ(v, Variant::I4(1));
    ComPtr<IEtsParameterType> type;
    std::int32_t baseType = 0;
    ASSERT_EQ(level->get_Type(type.GetAddressOf()), S_OK);
    type->get_BaseType(&baseType);
    EXPECT_EQ(baseType, 1);
    type->get_Minimum(&v);
    EXPECT_EQ(v, Variant::I4(0));
    type->get_Maximum(&v);
    EXPECT_EQ(v, Variant::I4(100));

    // A 32-bit mask: bounds and default above 0x7FFFFFFF travel unsigned.
    ASSERT_EQ(Ui(14)->get_Type(type.ReleaseAndGetAddressOf()), S_OK);
    type->get_Maximum(&v);
    EXPECT_EQ(v, Variant::UI4(0xFFFFFFFF));
    Ui(14)->get_DefaultValue(&v);
    EXPECT_EQ(v, Variant::UI4(0x80000001));
    EXPECT_EQ(Value(14), Variant::UI4(0x80000001));

    ASSERT_EQ(Ui(10)->get_Type(type.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IEtsCollection<IEtsEnumValue>> enums;
    ASSERT_EQ(type->get_EnumValues(enums.GetAddressOf()), S_OK);
    ComPtr<IEtsEnumValue> second;
    std::int32_t enumValue = -1;
    ASSERT_EQ(enums->Item(Variant::I4(2), second.GetAddressOf()), S_OK);
    second->get_Value(&enumValue);
    second->get_Text(&text);
    EXPECT_EQ(enumValue, 1);
    EXPECT_EQ(text, "On");

    // The tree both ways, dependents in the catalogue's order.
    ComPtr<IEtsCollection<IEtsUIParameter>> dependents;
    ASSERT_EQ(Ui(10)->get_DependentParameters(dependents.GetAddressOf()), S_OK);
    EXPECT_EQ(Numbers(dependents.Get()), (std::vector<std::int32_t>{11, 13}));
    ASSERT_EQ(Ui(11)->get_DependentParameters(dependents.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(Numbers(dependents.Get()), (std::vector<std::int32_t>{12, 16}));
    ComPtr<IEtsUIParameter> parent;
    std::int32_t parentNr = 0;
    ASSERT_EQ(Ui(12)->get_Parent(parent.GetAddressOf()), S_OK);
    parent->get_UniqueNumber(&parentNr);
    EXPECT_EQ(parentNr, 11);
    EXPECT_EQ(Ui(12)->get_ConditionValue(&v), S_OK);
    EXPECT_EQ(v.vt(), VT_EMPTY);
    EXPECT_EQ(Ui(10)->get_Parent(parent.ReleaseAndGetAddressOf()), S_FALSE);
    EXPECT_FALSE(parent);

    // A UI text: a description and no value.
    Ui(700)->get_Description(&text);
    EXPECT_EQ(text, "Groups");
    EXPECT_EQ(Value(700).vt(), VT_EMPTY);
}

TEST_F(HostObjectTest, WritesAreCheckedAgainstTheTypeAndRefusedWritesChangeNothing)
{
    struct Case
    {
        std::int32_t nr;
        Variant value;
        HRESULT result;
        Variant after; // empty: unchanged
    };
    const Case cases[] = {
        {11, Variant::I4(100), S_OK, Variant::I4(100)},
        {11, Variant::I4(101), ETS_E_OUT_OF_RANGE, {}},
        {11, Variant::I4(-1), ETS_E_OUT_OF_RANGE, {}},
        {11, Variant::UI2(7), S_OK, Variant::I4(7)},
        {11, Variant::UI4(8), S_OK, Variant::I4(8)},
        {11, Variant::String(" 42 "), S_OK, Variant::I4(42)},
        {11, Variant::String("4x"), DISP_E_TYPEMISMATCH, {}},
        {11, Variant(), DISP_E_TYPEMISMATCH, {}},
        {11, Variant::Null(), DISP_E_TYPEMISMATCH, {}},
        // Bit 31 of a mask survives; a negative signed value is outside 0..0xFFFFFFFF.
        {14, Variant::UI4(0xFFFFFFFF), S_OK, Variant::UI4(0xFFFFFFFF)},
        {14, Variant::UI4(5), S_OK, Variant::I4(5)},
        {14, Variant::String("4294967295"), S_OK, Variant::UI4(0xFFFFFFFF)},
        {14, Variant::String("4294967296"), ETS_E_OUT_OF_RANGE, {}},
        {14, Variant::I4(-1), ETS_E_OUT_OF_RANGE, {}},
        {15, Variant::I4(-10), S_OK, Variant::I4(-10)},
        {15, Variant::I4(-11), ETS_E_OUT_OF_RANGE, {}},
        {15, Variant::UI4(0xFFFFFFF6), ETS_E_OUT_OF_RANGE, {}},
        {13, Variant::I4(2), S_OK, Variant::I4(2)},
        {13, Variant::I4(3), ETS_E_OUT_OF_RANGE, {}},
        {12, Variant::String("12345678"), S_OK, Variant::String("12345678")},
        {12, Variant::String("123456789"), ETS_E_OUT_OF_RANGE, {}},
        {12, Variant::String("Grüße äö"), S_OK, Variant::String("Grüße äö")},
        {12, Variant::I4(5), S_OK, Variant::String("5")},
        {12, Variant::String("\xFF\xFE"), DISP_E_TYPEMISMATCH, {}},
        {700, Variant::I4(1), DISP_E_TYPEMISMATCH, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.nr) + " <- " + c.value.Describe());
        const Variant before = Value(c.nr);
        EXPECT_EQ(Put(c.nr, c.value), c.result);
        EXPECT_EQ(Value(c.nr), c.after.vt() == VT_EMPTY ? before : c.after);
    }

    // What was taken is in the file; what was refused never got there.
    Reopen();
    EXPECT_EQ(Value(11), Variant::I4(42));
    EXPECT_EQ(Value(14), Variant::UI4(0xFFFFFFFF));
    EXPECT_EQ(Value(12), Variant::String("5"));
}

TEST_F(HostObjectTest, VisibilityFollowsTheTreeAndWritesThatChangeItSaySo)
{
    EXPECT_TRUE(Visible(10));
    EXPECT_TRUE(Visible(11));
    EXPECT_TRUE(Visible(12));
    EXPECT_FALSE(Visible(13));
    EXPECT_FALSE(Visible(16));
    EXPECT_TRUE(Visible(14));

    EXPECT_EQ(Put(11, Variant::I4(51)), S_OK);
    EXPECT_EQ(Put(11, Variant::I4(70)), ETS_S_PARAMETER_SET);
    EXPECT_TRUE(Visible(16));
    EXPECT_EQ(Put(11, Variant::I4(70)), S_OK);
    EXPECT_EQ(Put(11, Variant::I4(60)), S_OK); // 16 stays visible
    EXPECT_EQ(Put(15, Variant::I4(3)), S_OK);

    // Hiding a parent hides its whole subtree, whatever the values below say.
    EXPECT_EQ(Put(10, Variant::I4(0)), ETS_S_PARAMETER_SET);
    EXPECT_FALSE(Visible(11));
    EXPECT_FALSE(Visible(12));
    EXPECT_FALSE(Visible(16));
    EXPECT_TRUE(Visible(13));
    // Invisible parameters keep and take values.
    EXPECT_EQ(Value(11), Variant::I4(60));
    EXPECT_EQ(Put(11, Variant::I4(70)), S_OK);
}

TEST_F(HostObjectTest, ObjectVisibilityFollowsTheParameters)
{
    EXPECT_EQ(VisibleObjects(), (std::vector<std::uint16_t>{1, 2, 3}));
    ComPtr<IEtsCollection<IEtsCommObject>> visible;
    ComPtr<IEtsCommObject> o;
    ASSERT_EQ(device->get_CommObjects(-1, visible.GetAddressOf()), S_OK);
    EXPECT_EQ(visible->Item(Variant::String("$(UniqueNumber)=1004"), o.GetAddressOf()), DISP_E_BADINDEX);

    EXPECT_EQ(Put(10, Variant::I4(0)), ETS_S_PARAMETER_SET);
    EXPECT_EQ(VisibleObjects(), (std::vector<std::uint16_t>{1}));
    EXPECT_EQ(Put(13, Variant::I4(2)), ETS_S_PARAMETER_SET);
    EXPECT_EQ(VisibleObjects(), (std::vector<std::uint16_t>{1, 4}));
    std::int16_t on = 0;
    EXPECT_EQ(Object(4)->get_Visible(&on), S_OK);
    EXPECT_NE(on, 0);
    EXPECT_EQ(Object(2)->get_Visible(&on), S_OK);
    EXPECT_EQ(on, 0);

    // The standard definition names the governing parameter and its condition.
    ComPtr<IEtsStandardCommObject> standard;
    ComPtr<IEtsUIParameter> ui;
    std::int32_t nr = 0;
    Variant condition;
    ASSERT_EQ(Object(2)->get_StandardObject(standard.GetAddressOf()), S_OK);
    ASSERT_EQ(standard->get_UIParameter(ui.GetAddressOf()), S_OK);
    ui->get_UniqueNumber(&nr);
    EXPECT_EQ(nr, 10);
    standard->get_ConditionValue(&condition);
    EXPECT_EQ(condition, Variant::I4(1));
    standard->get_UniqueNumber(&nr);
    EXPECT_EQ(nr, 1002);
    ASSERT_EQ(Object(1)->get_StandardObject(standard.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(standard->get_UIParameter(ui.ReleaseAndGetAddressOf()), S_FALSE);
    EXPECT_FALSE(ui);
}

TEST_F(HostObjectTest, ObjectSettingsArePersistedAndChecked)
{
    ComPtr<IEtsCommObject> o = Object(3);
    std::string text;
    EXPECT_EQ(o->put_Text("[1] Office"), S_OK);
    EXPECT_EQ(o->get_DisplayText(2, &text), S_OK);
    EXPECT_EQ(text, "Function 3");
    EXPECT_EQ(o->get_DisplayText(3, &text), E_INVALIDARG);
    EXPECT_EQ(o->put_Priority(1), S_OK);
    EXPECT_EQ(o->put_Priority(4), E_INVALIDARG);
    EXPECT_EQ(o->put_Flag(EtsFlagTransmit, 1), S_OK);
    EXPECT_EQ(o->put_Flag(EtsFlagWrite, 0), S_OK);
    EXPECT_EQ(o->put_Flag(static_cast<EtsObjectFlag>(5), 1), E_INVALIDARG);

    // Datapoint types: only known ones, a subtype only of its main type.
    ComPtr<IEtsCollection<IEtsDatapointType>> types;
    ComPtr<IEtsDatapointType> scaling, unknown;
    ComPtr<IEtsCollection<IEtsDatapointSubtype>> subtypes;
    ComPtr<IEtsDatapointSubtype> sub;
    ASSERT_EQ(Project()->get_DatapointTypes(types.GetAddressOf()), S_OK);
    ASSERT_EQ(types->Item(Variant::String("$(ID)=5"), scaling.GetAddressOf()), S_OK);
    ASSERT_EQ(scaling->get_Subtypes(subtypes.GetAddressOf()), S_OK);
    ASSERT_EQ(subtypes->Item(Variant::String("$(ID)=1"), sub.GetAddressOf()), S_OK);
    EXPECT_EQ(o->put_DatapointType(scaling.Get()), S_OK);
    EXPECT_EQ(o->get_DatapointSubtype(sub.ReleaseAndGetAddressOf()), S_FALSE); // dropped with the main type
    ASSERT_EQ(subtypes->Item(Variant::I4(1), sub.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(o->put_DatapointSubtype(sub.Get()), S_OK);
    unknown = MakeComObject<CHostDatapointType>(DatapointTypeEntry{9, "float", {}});
    EXPECT_EQ(o->put_DatapointType(unknown.Get()), E_INVALIDARG);
    auto foreign = MakeComObject<CHostDatapointSubtype>(DatapointSubtypeEntry{2, "bool"});
    EXPECT_EQ(o->put_DatapointSubtype(foreign.Get()), E_INVALIDARG);

    Reopen();
    o = Object(3);
    std::int32_t priority = 0, number = 0;
    std::int16_t on = 0;
    o->get_Text(&text);
    EXPECT_EQ(text, "[1] Office");
    o->get_Priority(&priority);
    EXPECT_EQ(priority, 1);
    o->get_Flag(EtsFlagTransmit, &on);
    EXPECT_NE(on, 0);
    o->get_Flag(EtsFlagWrite, &on);
    EXPECT_EQ(on, 0);
    o->get_Flag(EtsFlagCommunication, &on);
    EXPECT_NE(on, 0);
    ComPtr<IEtsDatapointType> type;
    ASSERT_EQ(o->get_DatapointType(type.GetAddressOf()), S_OK);
    type->get_Number(&number);
    EXPECT_EQ(number, 5);
    ASSERT_EQ(o->get_DatapointSubtype(sub.ReleaseAndGetAddressOf()), S_OK);
    sub->get_Name(&text);
    EXPECT_EQ(text, "scaling");
    EXPECT_EQ(o->put_DatapointType(nullptr), S_OK);
    EXPECT_EQ(o->get_DatapointType(type.ReleaseAndGetAddressOf()), S_FALSE);

    // The standard definition keeps the catalogue's settings.
    ComPtr<IEtsStandardCommObject> standard;
    ASSERT_EQ(o->get_StandardObject(standard.GetAddressOf()), S_OK);
    standard->get_Priority(&priority);
    EXPECT_EQ(priority, 3);
    standard->get_Flag(EtsFlagWrite, &on);
    EXPECT_NE(on, 0);
}

TEST_F(HostObjectTest, AssociationsRoundTripAndLeaveWithTheirObject)
{
    MakeOfficeAddresses();
    ComPtr<IEtsAssociations> list;
    ComPtr<IEtsAssociation> added;
    ASSERT_EQ(Object(2)->get_Associations(list.GetAddressOf()), S_OK);
    EXPECT_EQ(list->Add(Address(2564).Get(), added.GetAddressOf()), S_OK);
    std::int16_t sending = 0;
    added->get_Sending(&sending);
    EXPECT_NE(sending, 0);
    EXPECT_EQ(list->Add(Address(2563).Get(), nullptr), S_OK);
    EXPECT_EQ(list->Add(Address(2563).Get(), nullptr), S_FALSE);
    EXPECT_EQ(Associations(2), (std::vector<std::pair<std::int32_t, bool>>{{2564, true}, {2563, false}}));
    ComPtr<IEtsAssociation> found;
    EXPECT_EQ(list->Item(Variant::String("$(GroupAddress)='2563'"), found.GetAddressOf()), S_OK);
    EXPECT_EQ(list->Item(Variant::I4(3), found.ReleaseAndGetAddressOf()), DISP_E_BADINDEX);

    // Addresses the project lacks, and hidden objects, take no association.
    auto stranger = MakeComObject<CHostGroupAddress>(999, "nowhere");
    EXPECT_EQ(list->Add(stranger.Get(), nullptr), E_INVALIDARG);
    ComPtr<IEtsAssociations> hidden;
    ASSERT_EQ(Object(4)->get_Associations(hidden.GetAddressOf()), S_OK);
    EXPECT_EQ(hidden->Add(Address(2563).Get(), nullptr), E_FAIL);

    Reopen();
    EXPECT_EQ(Associations(2), (std::vector<std::pair<std::int32_t, bool>>{{2564, true}, {2563, false}}));
    ASSERT_EQ(Object(2)->get_Associations(list.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(list->Delete(Variant::I4(1)), S_OK);
    EXPECT_EQ(list->Delete(Variant::I4(5)), DISP_E_BADINDEX);
    EXPECT_EQ(Associations(2), (std::vector<std::pair<std::int32_t, bool>>{{2563, true}}));
    EXPECT_EQ(list->Add(Address(2564).Get(), nullptr), S_OK);
    ASSERT_EQ(Object(3)->get_Associations(list.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(list->Add(Address(2564).Get(), nullptr), S_OK);

    // A write that hides objects drops their associations; showing them again brings none back.
    EXPECT_EQ(Put(10, Variant::I4(0)), ETS_S_PARAMETER_SET);
    EXPECT_TRUE(Associations(2).empty());
    EXPECT_TRUE(Associations(3).empty());
    EXPECT_EQ(Put(10, Variant::I4(1)), ETS_S_PARAMETER_SET);
    EXPECT_TRUE(Associations(2).empty());
    Reopen();
    EXPECT_TRUE(Associations(3).empty());
}

TEST_F(HostObjectTest, GroupAddressTreeIsQueriedAndExtended)
{
    MakeOfficeAddresses();
    ComPtr<IEtsProject> project = Project();
    std::string text;
    EXPECT_EQ(project->get_Name(&text), S_OK);
    EXPECT_EQ(text, "Veltrona project");

    ComPtr<IEtsMainGroupList> mains;
    ComPtr<IEtsMainGroup> main;
    ComPtr<IEtsMiddleGroupList> middles;
    ComPtr<IEtsMiddleGroup> middle;
    ComPtr<IEtsGroupAddressList> addresses;
    ComPtr<IEtsGroupAddress> address;
    ASSERT_EQ(project->get_MainGroups(mains.GetAddressOf()), S_OK);
    EXPECT_EQ(mains->Item(Variant::String(Query("Address", 2, true)), main.GetAddressOf()), DISP_E_BADINDEX);
    ASSERT_EQ(mains->Item(Variant::String(Query("Address", 1, true)), main.GetAddressOf()), S_OK);
    main->get_Name(&text);
    EXPECT_EQ(text, "Lights");
    ASSERT_EQ(main->get_MiddleGroups(middles.GetAddressOf()), S_OK);
    ASSERT_EQ(middles->Item(Variant::String(Query("Address", 2, true)), middle.GetAddressOf()), S_OK);
    ASSERT_EQ(middle->get_GroupAddresses(addresses.GetAddressOf()), S_OK);
    ASSERT_EQ(addresses->Item(Variant::String(Query("Address", 4, true)), address.GetAddressOf()), S_OK);
    address->get_Name(&text);
    EXPECT_EQ(text, "Office dim");
    EXPECT_EQ(GroupAddressValue(address.Get()), 2564);
    std::int32_t count = 0;
    EXPECT_EQ(addresses->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);

    // Out of range and present already are refused; the list serves as a plain collection too.
    EXPECT_EQ(mains->Add(32, "x", nullptr), E_INVALIDARG);
    EXPECT_EQ(mains->Add(1, "again", nullptr), E_INVALIDARG);
    EXPECT_EQ(middles->Add(8, "x", nullptr), E_INVALIDARG);
    EXPECT_EQ(middles->Add(2, "again", nullptr), E_INVALIDARG);
    EXPECT_EQ(addresses->Add(256, "x", nullptr), E_INVALIDARG);
    EXPECT_EQ(addresses->Add(3, "again", nullptr), E_INVALIDARG);
    ASSERT_EQ(mains->Add(0, "Zero", main.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(main->get_MiddleGroups(middles.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(middles->Add(0, "Zero", middle.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(middle->get_GroupAddresses(addresses.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(addresses->Add(0, "0/0/0", nullptr), E_INVALIDARG);
    EXPECT_EQ(addresses->Add(1, "0/0/1", nullptr), S_OK);
    ComPtr<IEtsCollection<IEtsGroupAddress>> asCollection;
    EXPECT_EQ(addresses.As(&asCollection), S_OK);
    EXPECT_EQ(mains->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);

    ComPtr<IEtsCollection<IEtsGroupAddress>> all;
    ASSERT_EQ(project->get_GroupAddresses(all.GetAddressOf()), S_OK);
    EXPECT_EQ(all->get_Count(&count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(all->Item(Variant::String("$(GroupAddress)='2565'"), address.ReleaseAndGetAddressOf()),
              DISP_E_BADINDEX);

    ComPtr<IEtsCollection<IEtsManufacturer>> manufacturers;
    ComPtr<IEtsManufacturer> manufacturer;
    ASSERT_EQ(project->get_Manufacturers(manufacturers.GetAddressOf()), S_OK);
    ASSERT_EQ(
        manufacturers->Item(Variant::String(Query("Number", kManufacturer)), manufacturer.GetAddressOf()),
        S_OK);
    manufacturer->get_Name(&text);
    EXPECT_EQ(text, "Test Lighting");
}

TEST_F(HostObjectTest, DeviceAndApplicationProgramIdentity)
{
    std::string text;
    EXPECT_EQ(device->get_IndividualAddress(&text), S_OK);
    EXPECT_EQ(text, "1.1.1");
    device->get_Name(&text);
    EXPECT_EQ(text, "DALI Gateway R3");
    ComPtr<IEtsApplicationProgram> program;
    ComPtr<IEtsManufacturer> manufacturer;
    std::int32_t number = 0, version = 0, mask = 0, manufacturerNr = 0;
    ASSERT_EQ(device->get_ApplicationProgram(program.GetAddressOf()), S_OK);
    program->get_Number(&number);
    program->get_Version(&version);
    program->get_MaskVersion(&mask);
    ASSERT_EQ(program->get_Manufacturer(manufacturer.GetAddressOf()), S_OK);
    manufacturer->get_Number(&manufacturerNr);
    manufacturer->get_Name(&text);
    EXPECT_EQ(number, kApplication);
    EXPECT_EQ(version, kVersion);
    EXPECT_EQ(mask, kMask);
    EXPECT_EQ(manufacturerNr, kManufacturer);
    EXPECT_EQ(text, "Test Lighting");

    // A project whose device runs an application the catalogue does not describe is not opened.
    auto other = MakeTestCatalogue();
    other->MutableApplication().applicationVersion = 0x12;
    std::string error;
    auto otherModel = CatalogueModel::Build(other, &error);
    session.reset();
    EXPECT_FALSE(
        HostSession::Open(ProjectStore::Open(path, &error), otherModel, &error, std::uint16_t{0x1101}));
    EXPECT_NE(error.find("application program that this host does not know"), std::string::npos) << error;
}
