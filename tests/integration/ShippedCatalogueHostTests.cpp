#include "access/EtsAccess.h"
#include "host/catalogue/tests/HostTestSupport.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/EtsDbManagement.h"
#include "product/Numbering.h"
#include "testsupport/HostObjects.h"

#include <gtest/gtest.h>

using namespace hosttest;
using namespace testsupport;

namespace {

// The shipped catalogue through a project and the real host objects, with the plug-in's access layer
// and model on top.
class ShippedCatalogueHost : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        std::optional<Catalogue> loaded = Catalogue::Load(Catalogue::DefaultPath(), &error);
        ASSERT_TRUE(loaded) << error;
        s_catalogue = std::make_shared<const Catalogue>(std::move(*loaded));
        s_model = CatalogueModel::Build(s_catalogue, &error);
        ASSERT_TRUE(s_model) << error;
    }
    static void TearDownTestSuite()
    {
        s_model.reset();
        s_catalogue.reset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_model);
        std::string error;
        NewProjectOptions options;
        options.demoGroupAddresses = true;
        ASSERT_TRUE(CreateGatewayProject(path, *s_catalogue, options, &error)) << error;
        session = HostSession::Open(path, s_model, &error);
        ASSERT_TRUE(session) << error;
        ASSERT_EQ(session->BeginEditing(), S_OK);
        device = session->Device();
    }

    std::vector<std::uint16_t> VisibleObjects() { return testsupport::VisibleObjects(device.Get()); }

    static inline std::shared_ptr<const Catalogue> s_catalogue;
    static inline std::shared_ptr<const CatalogueModel> s_model;
    ScratchDir dir;
    std::string path = dir.File("site.veltrona");
    std::unique_ptr<HostSession> session;
    ComPtr<IEtsDevice> device;
};

bool Contains(const std::vector<std::uint16_t>& list, std::uint16_t value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

TEST_F(ShippedCatalogueHost, RegistryCoversTheCatalogueAndEveryDefaultPassesTheHostsChecks)
{
    CEtsAccess access(device.Get());
    ASSERT_EQ(access.LoadDeviceParameterPointers(), S_OK);
    EXPECT_EQ(access.GetParameterMap().size(), s_catalogue->Parameters().size());
    EXPECT_EQ(access.GetParameterLong(65015, -1), 1);
    EXPECT_EQ(access.GetGroupAddressLevels(), 3);

    // Writing each default back goes through the host's own type and range checks.
    std::size_t refused = 0;
    for (const CatalogueParameter& p : s_catalogue->Parameters()) {
        if (p.baseType == 0)
            continue;
        HRESULT hr = access.ResetParameter(p.uniqueNr);
        if (hr != S_OK && ++refused <= 5)
            ADD_FAILURE() << "default of " << p.uniqueNr << " refused: " << std::hex << hr;
    }
    EXPECT_EQ(refused, 0u);

    // Entities of every kind are reached by their numbers.
    for (UniqueNr nr :
         {GetGroupUniqueNr(123, 1), GetGroupUniqueNr(123, 32), GetGroupUniqueNr(123, 33),
          GetGroupUniqueNr(123, 96), GetGroupUniqueNr(101, 96), GetMemberUniqueNr(400, 64),
          GetMemberUniqueNr(600, 64), GetMemberBlockUniqueNr(597, 64), GetSceneValueUniqueNr(16, 96),
          GetSceneValueUniqueNr(1, 1), UniqueNr{65014}, UniqueNr{721}, UniqueNr{929}})
        EXPECT_NE(access.GetDeviceParameterPointer(nr), nullptr) << nr;
}

TEST_F(ShippedCatalogueHost, GroupSwitchGovernsItsParametersObjectsAndResets)
{
    CEtsAccess access(device.Get());
    ASSERT_EQ(access.LoadDeviceParameterPointers(), S_OK);
    const UniqueNr exists = GetGroupUniqueNr(123, 2);
    ASSERT_EQ(access.GetParameterLong(exists, -1), 0);
    // Group 2 owns objects 14..26; its switching object (offset 1) follows the exists switch.
    EXPECT_FALSE(Contains(VisibleObjects(), 14));

    ComPtr<IEtsCollection<IEtsUIParameter>> dependents;
    ASSERT_EQ(access.GetPointerUIParameter(exists)->get_DependentParameters(dependents.GetAddressOf()), S_OK);
    std::int32_t count = 0;
    ASSERT_EQ(dependents->get_Count(&count), S_OK);
    ASSERT_GT(count, 0);
    // An integer dependent with room for a value other than its default.
    UniqueNr dependent = -1;
    std::int32_t other = 0;
    for (std::int32_t i = 1; i <= count && dependent < 0; ++i) {
        ComPtr<IEtsUIParameter> ui;
        ASSERT_EQ(dependents->Item(Variant::I4(i), ui.GetAddressOf()), S_OK);
        UniqueNr nr = access.GetUniqueNumber(ui.Get());
        std::int32_t minimum = 0, maximum = 0;
        if (SUCCEEDED(access.GetParameterIntegerValueRange(nr, minimum, maximum)) && maximum > minimum) {
            dependent = nr;
            other = access.GetParameterLong(nr, minimum) == minimum ? minimum + 1 : minimum;
        }
    }
    ASSERT_GE(dependent, 0);
    Variant visible;
    std::int16_t on = 0;
    ASSERT_EQ(access.GetParameterValue(dependent, visible, &on), S_OK);
    EXPECT_EQ(on, 0);

    EXPECT_EQ(access.SetParameterLong(exists, 1), ETS_S_PARAMETER_SET);
    ASSERT_EQ(access.GetParameterValue(dependent, visible, &on), S_OK);
    EXPECT_NE(on, 0);
    EXPECT_TRUE(Contains(VisibleObjects(), 14));

    const std::int32_t before = access.GetParameterLong(dependent, -1);
    EXPECT_TRUE(SUCCEEDED(access.SetParameterLong(dependent, other)));
    EXPECT_EQ(access.GetParameterLong(dependent, -1), other);
    EXPECT_EQ(access.ResetDependentParameters(exists, false), S_OK);
    EXPECT_EQ(access.GetParameterLong(dependent, -1), before);
    EXPECT_EQ(access.GetParameterLong(exists, -1), 1);

    EXPECT_EQ(access.SetParameterLong(exists, 0), ETS_S_PARAMETER_SET);
    EXPECT_FALSE(Contains(VisibleObjects(), 14));
}

TEST_F(ShippedCatalogueHost, ModelImportsAssociationsIntoTheProjectsAddressTree)
{
    CEtsDbManagement model(device.Get());
    ASSERT_EQ(model.LoadDeviceParameterPointers(), S_OK);
    model.LoadBufferedParameters();
    model.CreateGroup(1);

    // 1/2/3 does not exist yet: the model creates main group 1, middle group 2 and the address.
    ObjectAssociationMap imported;
    imported[1].addresses = "2563,2049";
    std::string failures;
    model.SetDeviceObjectAssociations(imported, &failures);
    EXPECT_EQ(failures, "");

    ObjectAssociationMap exported;
    model.GetDeviceObjectAssociations(exported);
    ASSERT_TRUE(exported.count(1));
    EXPECT_EQ(exported[1].addresses, "2563,2049");

    ComPtr<IEtsProject> project;
    ComPtr<IEtsCollection<IEtsGroupAddress>> addresses;
    ComPtr<IEtsGroupAddress> address;
    ASSERT_EQ(device->get_Project(project.GetAddressOf()), S_OK);
    ASSERT_EQ(project->get_GroupAddresses(addresses.GetAddressOf()), S_OK);
    ASSERT_EQ(addresses->Item(Variant::String("$(GroupAddress)='2563'"), address.GetAddressOf()), S_OK);
    std::string name;
    address->get_Name(&name);
    EXPECT_NE(name.find(" - Switching"), std::string::npos) << name;
    // 2049 is the demo's 1/0/1, which kept its name.
    ASSERT_EQ(addresses->Item(Variant::String("$(GroupAddress)='2049'"), address.ReleaseAndGetAddressOf()),
              S_OK);
    address->get_Name(&name);
    EXPECT_EQ(name, "Central on/off");

    // Cancel leaves the project without the new addresses.
    EXPECT_EQ(session->EndEditing(E_ABORT), S_OK);
    ASSERT_EQ(project->get_GroupAddresses(addresses.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(addresses->Item(Variant::String("$(GroupAddress)='2563'"), address.ReleaseAndGetAddressOf()),
              DISP_E_BADINDEX);
}
