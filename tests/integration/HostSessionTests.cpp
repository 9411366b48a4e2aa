#include "access/EtsAccess.h"
#include "host/catalogue/tests/HostTestSupport.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "platform/ClassRegistry.h"

#include <gtest/gtest.h>

using namespace hosttest;
using namespace testsupport;

namespace {

// A plug-in dialog that does its work through the access layer and ends with a chosen answer.
class ScriptedDialog final : public ComObject<IDeviceParameterDialog>
{
public:
    std::function<HRESULT(IEtsDevice*, IEtsHostWindow*)> work;
    HRESULT SetHostObjects(std::uint32_t count, IUnknown** objects) override
    {
        if (count < 1 || !objects[0])
            return E_INVALIDARG;
        return objects[0]->QueryInterface(IEtsDevice::iid,
                                          reinterpret_cast<void**>(m_device.ReleaseAndGetAddressOf()));
    }
    HRESULT ShowModal(IEtsHostWindow* parent) override { return work(m_device.Get(), parent); }

private:
    ComPtr<IEtsDevice> m_device;
};

class FakeConnection final : public ComObject<IEtsLifeDeviceConnection>
{
public:
    HRESULT Open() override { return S_OK; }
    HRESULT Close() override { return S_OK; }
    HRESULT get_DeviceInfo(IEtsDeviceInfo**) override { return E_NOTIMPL; }
    HRESULT ReadProperty(std::uint8_t, std::uint8_t, std::int32_t, std::uint16_t, std::uint16_t,
                         std::uint32_t, std::uint8_t*) override
    {
        return E_NOTIMPL;
    }
    HRESULT WriteProperty(std::uint8_t, std::uint8_t, std::int32_t, std::uint16_t, std::uint16_t,
                          std::uint32_t, const std::uint8_t*, std::int16_t) override
    {
        return E_NOTIMPL;
    }
};

class FakeGateway final : public LiveConnectionProvider
{
public:
    HRESULT answer = S_OK;
    ComPtr<IEtsDevice> askedFor;
    HRESULT GetConnection(IEtsDevice* device, ComPtr<IEtsLifeDeviceConnection>& connection) override
    {
        askedFor = device;
        if (SUCCEEDED(answer))
            connection = MakeComObject<FakeConnection>();
        return answer;
    }
};

class HostSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        model = CatalogueModel::Build(catalogue, &error);
        ASSERT_TRUE(model) << error;
        NewProjectOptions options;
        options.demoGroupAddresses = true;
        ASSERT_TRUE(CreateGatewayProject(path, *catalogue, options, &error)) << error;
        session = HostSession::Open(path, model, &error);
        ASSERT_TRUE(session) << error;
    }

    ScratchDir dir;
    std::string path = dir.File("p.veltrona");
    std::shared_ptr<Catalogue> catalogue = MakeTestCatalogue();
    std::shared_ptr<const CatalogueModel> model;
    std::unique_ptr<HostSession> session;
};

// Everything a session edits: a value, an object text, a group address and an association.
HRESULT EditEverything(IEtsDevice* device)
{
    CEtsAccess access(device);
    EXPECT_EQ(access.LoadDeviceParameterPointers(), S_OK);
    EXPECT_EQ(access.SetParameterLong(11, 99), S_OK);
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    ComPtr<IEtsCommObject> object;
    EXPECT_EQ(device->get_CommObjects(1, objects.GetAddressOf()), S_OK);
    EXPECT_EQ(objects->Item(Variant::String("$(UniqueNumber)=1002"), object.GetAddressOf()), S_OK);
    EXPECT_EQ(object->put_Text("Edited"), S_OK);
    ComPtr<IEtsProject> project;
    ComPtr<IEtsMainGroupList> mains;
    EXPECT_EQ(device->get_Project(project.GetAddressOf()), S_OK);
    EXPECT_EQ(project->get_MainGroups(mains.GetAddressOf()), S_OK);
    EXPECT_EQ(mains->Add(7, "Added", nullptr), S_OK);
    ComPtr<IEtsCollection<IEtsGroupAddress>> addresses;
    ComPtr<IEtsGroupAddress> address;
    ComPtr<IEtsAssociations> associations;
    EXPECT_EQ(project->get_GroupAddresses(addresses.GetAddressOf()), S_OK);
    EXPECT_EQ(addresses->Item(Variant::I4(1), address.GetAddressOf()), S_OK);
    EXPECT_EQ(object->get_Associations(associations.GetAddressOf()), S_OK);
    EXPECT_EQ(associations->Add(address.Get(), nullptr), S_OK);
    return S_OK;
}

struct SessionState
{
    std::int32_t level = 0;
    std::int32_t loads = 0;
    std::string text;
    std::int32_t mains = 0;
    std::int32_t associations = 0;
    bool operator==(const SessionState&) const = default;
};

SessionState ReadState(IEtsDevice* device)
{
    // Read without the access layer, whose loading counts itself in 65015.
    SessionState s;
    ComPtr<IEtsCollection<IEtsDeviceParameter>> parameters;
    ComPtr<IEtsDeviceParameter> parameter;
    Variant value;
    device->get_Parameters(parameters.GetAddressOf());
    parameters->Item(Variant::String("$(UniqueNumber)=11"), parameter.GetAddressOf());
    parameter->get_Value(&value);
    s.level = value.lVal();
    parameters->Item(Variant::String("$(UniqueNumber)=65015"), parameter.ReleaseAndGetAddressOf());
    parameter->get_Value(&value);
    s.loads = value.lVal();
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    ComPtr<IEtsCommObject> object;
    ComPtr<IEtsAssociations> associations;
    device->get_CommObjects(0, objects.GetAddressOf());
    objects->Item(Variant::String("$(UniqueNumber)=1002"), object.GetAddressOf());
    object->get_Text(&s.text);
    object->get_Associations(associations.GetAddressOf());
    associations->get_Count(&s.associations);
    ComPtr<IEtsProject> project;
    ComPtr<IEtsMainGroupList> mains;
    device->get_Project(project.GetAddressOf());
    project->get_MainGroups(mains.GetAddressOf());
    mains->get_Count(&s.mains);
    return s;
}

} // namespace

TEST_F(HostSessionTest, OkKeepsTheSessionsChangesCancelAndFailureDropThem)
{
    const SessionState before = ReadState(session->Device().Get());
    EXPECT_EQ(before.level, 50);
    EXPECT_EQ(before.loads, 0);
    EXPECT_EQ(before.mains, 1);
    for (HRESULT answer : {E_ABORT, E_FAIL, S_FALSE}) {
        SCOPED_TRACE(answer);
        auto dialog = MakeComObject<ScriptedDialog>();
        SessionState during;
        dialog->work = [&](IEtsDevice* device, IEtsHostWindow*) {
            EditEverything(device);
            during = ReadState(device);
            return answer;
        };
        EXPECT_EQ(session->RunDialog(dialog.Get()), answer);
        EXPECT_EQ(during, (SessionState{99, 1, "Edited", 2, 1}));
        // The same host objects show the project as it was.
        EXPECT_EQ(ReadState(session->Device().Get()), before);
        EXPECT_FALSE(session->Editing());
    }

    auto dialog = MakeComObject<ScriptedDialog>();
    dialog->work = [&](IEtsDevice* device, IEtsHostWindow*) {
        return EditEverything(device);
    };
    EXPECT_EQ(session->RunDialog(dialog.Get()), S_OK);
    session.reset();
    std::string error;
    session = HostSession::Open(path, model, &error);
    ASSERT_TRUE(session) << error;
    // The load counter too counts only the session that was kept.
    EXPECT_EQ(ReadState(session->Device().Get()), (SessionState{99, 1, "Edited", 2, 1}));
}

TEST_F(HostSessionTest, AccessLayerRunsOverTheHostObjects)
{
    ASSERT_EQ(session->BeginEditing(), S_OK);
    CEtsAccess access(session->Device().Get());
    ASSERT_EQ(access.LoadDeviceParameterPointers(), S_OK);
    EXPECT_EQ(access.GetParameterMap().size(), 10u);
    EXPECT_EQ(access.GetGroupAddressLevels(), 3);
    EXPECT_EQ(access.GetParameterLong(65015, -1), 1);
    EXPECT_FALSE(access.IsModified());

    EXPECT_EQ(access.SetParameterLong(11, 101), ETS_E_OUT_OF_RANGE);
    EXPECT_EQ(access.GetParameterLong(11, -1), 50);
    EXPECT_EQ(access.SetParameterPattern(14, 0xFF000080u), S_OK);
    EXPECT_EQ(access.GetParameterPattern(14, 0), 0xFF000080u);
    EXPECT_EQ(access.GetParameterText(700, std::string_view("?")), "Groups");
    CEtsAccess::EnumMap enums;
    EXPECT_EQ(access.GetParameterEnumValues(10, enums), S_OK);
    EXPECT_EQ(enums, (CEtsAccess::EnumMap{{0, "Off"}, {1, "On"}}));
    std::int32_t minimum = 0, maximum = 0;
    EXPECT_EQ(access.GetParameterIntegerValueRange(11, minimum, maximum), S_OK);
    EXPECT_EQ(maximum, 100);

    // Dependent resets follow the tree below 10: 11, its dependents 12 and 16, and 13.
    EXPECT_EQ(access.SetParameterLong(11, 70), ETS_S_PARAMETER_SET);
    EXPECT_EQ(access.SetParameterString(12, "Hall"), S_OK);
    EXPECT_EQ(access.SetParameterLong(16, 2), S_OK);
    EXPECT_EQ(access.SetParameterLong(13, 1), S_OK);
    EXPECT_EQ(access.SetParameterLong(15, 7), S_OK);
    EXPECT_EQ(access.ResetDependentParameters(10, false), S_OK);
    EXPECT_EQ(access.GetParameterLong(11, -1), 50);
    EXPECT_EQ(access.GetParameterString(12, "?"), "abc");
    EXPECT_EQ(access.GetParameterLong(16, -1), 0);
    EXPECT_EQ(access.GetParameterLong(13, -1), 0);
    EXPECT_EQ(access.GetParameterLong(15, -1), 7);

    // Object 2 hangs on 10 with condition 1: once associated, a change of 10 would lose it.
    EXPECT_FALSE(access.CheckParameterDependentObjectAssociations(10));
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    ComPtr<IEtsCommObject> object;
    ComPtr<IEtsAssociations> associations;
    ComPtr<IEtsProject> project;
    ComPtr<IEtsCollection<IEtsGroupAddress>> addresses;
    ComPtr<IEtsGroupAddress> address;
    ASSERT_EQ(session->Device()->get_CommObjects(1, objects.GetAddressOf()), S_OK);
    ASSERT_EQ(objects->Item(Variant::String("$(UniqueNumber)=1002"), object.GetAddressOf()), S_OK);
    ASSERT_EQ(object->get_Associations(associations.GetAddressOf()), S_OK);
    ASSERT_EQ(session->Device()->get_Project(project.GetAddressOf()), S_OK);
    ASSERT_EQ(project->get_GroupAddresses(addresses.GetAddressOf()), S_OK);
    ASSERT_EQ(addresses->Item(Variant::I4(1), address.GetAddressOf()), S_OK);
    ASSERT_EQ(associations->Add(address.Get(), nullptr), S_OK);
    EXPECT_TRUE(access.CheckParameterDependentObjectAssociations(10));
    EXPECT_FALSE(access.CheckParameterDependentObjectAssociations(15));
    EXPECT_EQ(session->EndEditing(E_ABORT), S_OK);
}

TEST_F(HostSessionTest, ServicesAreRegisteredWhileASessionLives)
{
    ComPtr<IEtsValueFormatter> formatter;
    ASSERT_EQ(CoCreateInstance(CLSID_EtsValueFormatter, formatter), S_OK);
    std::string text;
    EXPECT_EQ(formatter->Format(Variant::I4(2563), "eteC.GroupAddress", 0, &text), S_OK);
    EXPECT_EQ(text, "1/2/3");
    EXPECT_EQ(formatter->Format(Variant::I4(70000), "eteC.GroupAddress", 0, &text), E_INVALIDARG);
    EXPECT_EQ(formatter->Format(Variant::I4(1), "eteC.Percent", 0, &text), E_INVALIDARG);
    ASSERT_TRUE(session->Store().SetAddressLevels(2));
    EXPECT_EQ(formatter->Format(Variant::I4(2563), "eteC.GroupAddress", 0, &text), S_OK);
    EXPECT_EQ(text, "1/515");
    {
        CEtsAccess access(session->Device().Get());
        EXPECT_EQ(access.GetGroupAddressLevels(), 2);
    }

    ComPtr<IEtsLanguageService> language;
    std::int32_t id = 0;
    ASSERT_EQ(CoCreateInstance(CLSID_EtsLanguageService, language), S_OK);
    language->get_CurrentLanguageId(&id);
    EXPECT_EQ(id, 1033);
    session->SetLanguageId(1031);
    ASSERT_EQ(CoCreateInstance(CLSID_EtsLanguageService, language), S_OK);
    language->get_CurrentLanguageId(&id);
    EXPECT_EQ(id, 1031);

    // A second session takes the services over and hands them back when it ends.
    {
        std::string error;
        NewProjectOptions options;
        ASSERT_TRUE(CreateGatewayProject(dir.File("q.veltrona"), *catalogue, options, &error)) << error;
        auto second = HostSession::Open(dir.File("q.veltrona"), model, &error);
        ASSERT_TRUE(second) << error;
        ASSERT_EQ(CoCreateInstance(CLSID_EtsValueFormatter, formatter), S_OK);
        formatter->Format(Variant::I4(2563), "eteC.GroupAddress", 0, &text);
        EXPECT_EQ(text, "1/2/3");
    }
    ASSERT_EQ(CoCreateInstance(CLSID_EtsValueFormatter, formatter), S_OK);
    formatter->Format(Variant::I4(2563), "eteC.GroupAddress", 0, &text);
    EXPECT_EQ(text, "1/515");

    session.reset();
    EXPECT_EQ(CoCreateInstance(CLSID_EtsValueFormatter, formatter), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_EtsLanguageService, language), REGDB_E_CLASSNOTREG);
}

TEST_F(HostSessionTest, HostWindowHandsOutThePluggedInConnection)
{
    ComPtr<CHostWindow> window = session->Window();
    ComPtr<IEtsHostWindow> parent;
    EXPECT_EQ(window->get_Parent(parent.GetAddressOf()), S_FALSE);
    EtsAppProc proc;
    EXPECT_EQ(window->GetAppProc("GetSomethingElse", &proc), S_FALSE);
    EXPECT_FALSE(proc);
    ASSERT_EQ(window->GetAppProc("GetLifeDeviceConnection", &proc), S_OK);
    ASSERT_TRUE(proc);

    IEtsDevice* device = session->Device().Get();
    ComPtr<IEtsLifeDeviceConnection> connection;
    EXPECT_EQ(proc(device, 0, 1, -1, IEtsLifeDeviceConnection::iid, OutPtr(connection)), E_FAIL);
    EXPECT_FALSE(connection);

    auto gateway = std::make_shared<FakeGateway>();
    session->SetLiveConnectionProvider(gateway);
    EXPECT_EQ(proc(device, 0, 1, -1, IEtsLifeDeviceConnection::iid, OutPtr(connection)), S_OK);
    EXPECT_TRUE(connection);
    EXPECT_EQ(gateway->askedFor.Get(), device);
    EXPECT_EQ(proc(device, 0, 1, -1, IEtsDevice::iid, OutPtr(connection)), E_NOINTERFACE);
    gateway->answer = ETS_E_DEVICE_NOT_FOUND;
    EXPECT_EQ(proc(device, 0, 1, -1, IEtsLifeDeviceConnection::iid, OutPtr(connection)),
              ETS_E_DEVICE_NOT_FOUND);
    EXPECT_FALSE(connection);

    // A child window climbs to the same host.
    auto child =
        MakeComObject<CHostWindow>(std::make_shared<LiveConnectionSlot>(), ComPtr<IEtsHostWindow>(window));
    ASSERT_EQ(child->get_Parent(parent.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(parent.Get(), static_cast<IEtsHostWindow*>(window.Get()));
}
