#include "model/tests/GatewayFixture.h"
#include "model/tests/ModelTables.h"
#include "trace/TraceCapture.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using modeltest::Tables;

class ModelTest : public ::testing::Test
{
protected:
    ComPtr<fake::Device> device = fixture::MakeGateway();
    ScriptedPrompt prompt;
    std::unique_ptr<CEtsDbManagement> model = fixture::LoadModel(*device, &prompt);

    std::unique_ptr<CEtsDbManagement> Reload() { return fixture::LoadModel(*device); }
    std::int32_t Value(UniqueNr n) { return (*device)[n].value.IntPart(); }
};

} // namespace

TEST_F(ModelTest, AnEmptyDeviceLoadsAsNothingConfigured)
{
    EXPECT_FALSE(model->GroupExists(0));
    EXPECT_FALSE(model->SingleExists(0));
    EXPECT_FALSE(model->SceneExists(0));
    EXPECT_FALSE(model->EffectExists(0));
    EXPECT_EQ(model->GetGroupName(3), "Group");
    EXPECT_EQ(model->GetMemberName(64), "Member");
    EXPECT_EQ(model->GetSceneDisplayName(2), "[2] Scene");
    EXPECT_EQ(model->GetLabel(LabelCentral), "Central");
    EXPECT_EQ(model->GetLabel(LabelMultitype), "Multitype") << "no type 255: the default stays, not \"255\"";
    EXPECT_EQ(model->GetGroupCount(), 16);
    EXPECT_EQ(model->GetSingleCount(), 64);
    EXPECT_FALSE(model->IsConfigChanged());
}

TEST_F(ModelTest, EveryOperationWritesThroughSoThatAReloadSeesTheSameTables)
{
    model->CreateGroup(1);
    model->SetGroupName(1, "Hall");
    model->CreateGroup(3);
    model->CreateGroup(8);
    model->CreateGroup(17);
    model->CreateSingle(5);
    model->SetMemberName(5, "Desk lamp");
    model->SetMemberType(5, 6);
    EXPECT_TRUE(model->AddGroupMember(8, 2)) << "group 8 lands in bit 31 of the stored mask";
    EXPECT_TRUE(model->AddGroupMember(1, 2));
    EXPECT_TRUE(model->AddGroupMember(17, 3));
    EXPECT_TRUE(model->AddGroupMember(17, 4));
    EXPECT_FALSE(model->AddGroupMember(17, 6)) << "a group above 16 takes two gear";
    for (int m = 6; m <= 9; ++m)
        EXPECT_TRUE(model->AddGroupMember(16, m));
    model->SetMemberRandomNr(6, 0x123456);
    model->SetMemberFoundType(6, 0x81);
    model->SetMemberAssigned(6, true);
    model->CreateScene(1);
    model->CreateScene(2);
    model->SetSceneName(2, "Evening");
    model->AddGroupToScene(2, 1, 0x364);
    model->AddGroupToScene(2, 37, 0x150);
    model->CopyGroup(1);
    model->CreateGroup(4);
    EXPECT_TRUE(model->PasteGroup(4));
    model->RemoveGroupMember(16, 7);
    model->DeleteScene(1);
    EXPECT_TRUE(model->IsConfigChanged());

    auto reloaded = Reload();
    EXPECT_EQ(Tables(*reloaded), Tables(*model));
    EXPECT_EQ(reloaded->GetMemberGroupAssignment(2), 0x81u);
    EXPECT_EQ(reloaded->GetGroupName(4), "Hall");
    EXPECT_FALSE(reloaded->IsGroupMember(16, 7));
}

TEST_F(ModelTest, CreatingSingleFiveWritesItsExistsParameterAndRenamesItsObjects)
{
    model->CreateSingle(5);
    EXPECT_EQ(Value(5163), 1);
    EXPECT_EQ((*device)[405].value, Variant::String("Member"));
    for (int o = 485; o <= 501; ++o)
        EXPECT_EQ(fixture::ObjectText(*device, o), "[5] Member") << o;
    EXPECT_EQ(fixture::ObjectText(*device, 484), "");
    EXPECT_EQ(fixture::ObjectText(*device, 502), "");
    EXPECT_TRUE(model->GroupExists(37));
    EXPECT_FALSE(model->SingleExists(65));
}

TEST_F(ModelTest, AddressingModeZeroNamesTheCentralGroupsObjects)
{
    model->SetAddressingMode(0);
    model->CreateGroup(1);
    for (int o = 1; o <= 13; ++o)
        EXPECT_EQ(fixture::ObjectText(*device, o), "Central");
    EXPECT_EQ(fixture::ObjectText(*device, 14), "");
}

TEST_F(ModelTest, GroupCountOfTheAddressingModeLimitsTheAnyQuestions)
{
    // Mode 3 has groups 1..16: a higher group is never created, neither new nor by a paste.
    const auto before = fixture::Snapshot(*device);
    model->CreateGroup(20);
    model->CopyGroup(1);
    EXPECT_FALSE(model->PasteGroup(20));
    EXPECT_FALSE(model->GroupExists(20));
    EXPECT_FALSE(model->GroupExists(0));
    EXPECT_EQ(fixture::Snapshot(*device), before);
    model->SetAddressingMode(1);
    model->CreateSingle(1);
    EXPECT_FALSE(model->SingleExists(1)) << "mode 1 has no singles";
    model->SetAddressingMode(4);
    model->CreateGroup(20);
    EXPECT_TRUE(model->GroupExists(20));
    EXPECT_TRUE(model->GroupExists(0));
}

TEST_F(ModelTest, BadNumbersAreRefusedWithoutTouchingTheHost)
{
    const auto before = fixture::Snapshot(*device);
    model->CreateGroup(0);
    model->CreateGroup(97);
    model->CreateSingle(65);
    model->SetMemberName(65, "x");
    model->SetMemberName(0, "x");
    model->SetMemberGroupAssignment(65, 1);
    EXPECT_FALSE(model->AddGroupMember(33, 1)) << "members belong to groups 1..32 only";
    EXPECT_FALSE(model->AddGroupMember(0, 1));
    EXPECT_FALSE(model->AddGroupMember(1, 65));
    model->SetSceneName(17, "x");
    model->CreateScene(0);
    model->AddGroupToScene(1, 97, 0x100);
    model->DeleteGroup(0);
    model->ChangeMemberNr(3, 3);
    model->ChangeMemberNr(3, 65);
    EXPECT_FALSE(model->PasteGroup(1)) << "empty clipboard";
    EXPECT_FALSE(model->PasteScene(1));
    EXPECT_EQ(fixture::Snapshot(*device), before);
}

TEST_F(ModelTest, LosingTheLastGroupKeepsTheFoundGearOnlyWhenItWasFound)
{
    model->CreateGroup(2);
    for (auto [member, random] : {std::pair{1, 1234}, {2, 0}}) {
        model->AddGroupMember(2, member);
        model->SetMemberName(member, "Lamp");
        model->SetMemberRandomNr(member, random);
        model->SetMemberFoundType(member, 6);
        model->SetMemberType(member, 6);
    }
    model->RemoveGroupMember(2, 1);
    model->RemoveGroupMember(2, 2);
    EXPECT_EQ(model->GetMemberRandomNr(1), 1234);
    EXPECT_EQ(model->GetMemberFoundType(1), 6);
    EXPECT_EQ(model->GetMemberType(1), 0);
    EXPECT_EQ(model->GetMemberName(1), "Member");
    EXPECT_EQ(Value(501), 1234);
    EXPECT_EQ(model->GetMemberRandomNr(2), 0);
    EXPECT_EQ(model->GetMemberFoundType(2), 0);
    EXPECT_EQ(Value(742), 0);
    EXPECT_FALSE(model->IsMemberUsed(0));
}

TEST_F(ModelTest, DeletingAGroupResetsItsParametersMembersAndSceneEntries)
{
    model->CreateGroup(5);
    model->SetGroupName(5, "Stairs");
    (*device)[5102].value = Variant::I4(40);
    model->AddGroupMember(5, 9);
    model->CreateScene(1);
    model->AddGroupToScene(1, 5, 0x300 | 80);
    model->DeleteGroup(5);
    EXPECT_FALSE(model->GroupExists(5));
    EXPECT_EQ(Value(5123), 0);
    EXPECT_EQ(Value(5102), 1) << "back to its default";
    EXPECT_EQ((*device)[5101].value, Variant::String("Group"));
    EXPECT_FALSE(model->IsGroupInScene(1, 5));
    EXPECT_EQ(Value(GetSceneValueUniqueNr(1, 5)), 0);
    EXPECT_FALSE(model->IsSaveFunction(1, 5));
    EXPECT_FALSE(model->IsMemberUsed(9));
    EXPECT_EQ(fixture::ObjectText(*device, 53), "[5] Group");
}

TEST_F(ModelTest, APasteIsAStructuralChange)
{
    model->CreateGroup(1);
    auto fresh = Reload();
    fresh->CopyGroup(1);
    ASSERT_FALSE(fresh->IsConfigChanged());
    ASSERT_TRUE(fresh->PasteGroup(2));
    EXPECT_TRUE(fresh->IsConfigChanged()) << "OK must renew the project identity after a paste";

    model->CreateScene(1);
    model->CreateScene(2);
    auto again = Reload();
    again->CopyScene(1);
    ASSERT_FALSE(again->IsConfigChanged());
    ASSERT_TRUE(again->PasteScene(2));
    EXPECT_TRUE(again->IsConfigChanged()) << "a pasted scene too";
}

TEST_F(ModelTest, PastingASingleIntoAGroupLeavesTheGearOfTheGroupsNumberAlone)
{
    model->SetAddressingMode(4);
    model->CreateSingle(3);
    model->SetMemberType(3, 1);
    (*device)[GetMemberBlockUniqueNr(274, 3)].value = Variant::I4(1);
    (*device)[GetGroupUniqueNr(102, 35)].value = Variant::I4(77);
    model->CopyGroup(35);
    (*device)[GetMemberBlockUniqueNr(598, 32)].value = Variant::String("caption");
    const auto before = fixture::Snapshot(*device);
    ASSERT_TRUE(model->PasteGroup(32));
    const auto after = fixture::Snapshot(*device);
    for (UniqueNr base : {274, 597, 598})
        EXPECT_EQ(after.at(GetMemberBlockUniqueNr(base, 32)), before.at(GetMemberBlockUniqueNr(base, 32)))
            << base;
    EXPECT_EQ(Value(32102), 77);
    EXPECT_TRUE(model->GroupExists(32));
}

TEST_F(ModelTest, ChangingAMemberNumberMovesTheSingleWithItsScenes)
{
    model->CreateSingle(3);
    model->SetMemberName(3, "Spot");
    model->CreateScene(1);
    model->CreateScene(2);
    model->AddGroupToScene(2, 35, 0x100 | 100);
    model->ChangeMemberNr(3, 7);
    EXPECT_TRUE(model->SingleExists(7));
    EXPECT_FALSE(model->SingleExists(3));
    EXPECT_EQ(model->GetMemberName(7), "Spot");
    EXPECT_TRUE(model->IsGroupInScene(2, 39));
    EXPECT_FALSE(model->IsGroupInScene(2, 35));
    EXPECT_EQ(Value(GetSceneValueUniqueNr(2, 39)), 100);
    EXPECT_EQ(Value(GetGroupUniqueNr(123, 39)), 1);
    EXPECT_EQ(Value(GetGroupUniqueNr(123, 35)), 0);
    EXPECT_EQ(Tables(*Reload()), Tables(*model));
}

TEST_F(ModelTest, KnxSceneNumbersAndSceneEntries)
{
    for (int s = 1; s <= 3; ++s)
        model->CreateScene(s);
    model->SetKnxScene(3, 5);
    EXPECT_EQ(model->GetNextFreeKnxScene(0), 3);
    EXPECT_EQ(model->GetNextFreeKnxScene(5), 6);
    EXPECT_EQ(model->GetNextFreeKnxScene(64), 64);

    model->AddGroupToScene(3, 40, 0x364);
    EXPECT_EQ(SwapMask32(static_cast<std::uint32_t>(Value(23601))), 1u << 7);
    EXPECT_EQ(Value(23610), 100);
    EXPECT_EQ(SwapMask32(static_cast<std::uint32_t>(Value(23667))), 1u << 7);
    EXPECT_EQ(model->RemoveGroupFromScene(3, 40, false), 0x364);
    EXPECT_EQ(Value(23610), 100) << "without all the value stays for a later add";
    model->AddGroupToScene(3, 40, 0);
    EXPECT_EQ(model->RemoveGroupFromScene(3, 40, true), 0x364);
    EXPECT_EQ(Value(23610), 0);
    EXPECT_FALSE(model->IsSaveFunction(3, 40));
    EXPECT_EQ(model->RemoveGroupFromScene(9, 40, true), 0) << "absent scene";
}

TEST_F(ModelTest, TheSceneObjectFollowsTheFirstAndLastScene)
{
    EXPECT_EQ(Value(741), 1);
    model->CreateScene(4);
    EXPECT_EQ(Value(741), 0);
    EXPECT_EQ(Value(4602), 1);
    EXPECT_EQ(Value(24600), 1);
    model->DeleteScene(4);
    EXPECT_EQ(Value(741), 1);
    EXPECT_FALSE(model->SceneExists(4));
    EXPECT_EQ(Value(24600), 0);
}

TEST_F(ModelTest, PastedScenesKeepTheirKnxNumber)
{
    model->CreateGroup(3);
    model->CreateScene(2);
    model->SetKnxScene(2, 7);
    model->SetSceneName(2, "Dinner");
    model->AddGroupToScene(2, 3, 0x100 | 90);
    (*device)[2603].value = Variant::I4(1);
    model->CreateScene(4);
    model->SetKnxScene(4, 9);
    model->CopyScene(2);
    ASSERT_TRUE(model->PasteScene(4));
    EXPECT_EQ(model->GetKnxScene(4), 9);
    EXPECT_EQ(Value(24600), 9);
    EXPECT_EQ(model->GetSceneName(4), "Dinner");
    EXPECT_TRUE(model->IsGroupInScene(4, 3));
    EXPECT_EQ(Value(GetSceneValueUniqueNr(4, 3)), 90);
    EXPECT_EQ(Value(4603), 1);
    EXPECT_EQ(Tables(*Reload()), Tables(*model));
}

TEST_F(ModelTest, MemberTypesTextsAndCompatibility)
{
    EXPECT_EQ(model->GetMemberTypeText(6, true), "LED module");
    EXPECT_EQ(model->GetMemberTypeText(0x81, true), "Multitype EL");
    EXPECT_EQ(model->GetMemberTypeText(0x82, true), "Multitype");
    EXPECT_EQ(model->GetMemberTypeText(0x90, false), "144");
    model->SetDeviceContext(65047, 1);
    EXPECT_TRUE(model->IsMemberTypeCompatible(6, 6));
    EXPECT_FALSE(model->IsMemberTypeCompatible(6, 0));
    EXPECT_FALSE(model->IsMemberTypeCompatible(1, 0x86));
    EXPECT_TRUE(model->IsMemberTypeCompatible(1, 0x81));

    model->AddGroupMember(1, 4);
    model->SetMemberFoundType(4, 6);
    model->SetMemberAssigned(4, true);
    prompt.answers = {PromptAnswer::No};
    EXPECT_FALSE(model->ConfirmMemberTypeChange(4, 1));
    EXPECT_TRUE(model->IsMemberAssigned(4));
    ASSERT_EQ(prompt.boxes.size(), 1u);
    EXPECT_EQ(prompt.boxes[0].text, "EVG assignments getting lost\nContinue?");
    EXPECT_EQ(prompt.boxes[0].caption, "Warning");
    prompt.answers = {PromptAnswer::Yes};
    EXPECT_TRUE(model->ConfirmMemberTypeChange(4, 1));
    EXPECT_FALSE(model->IsMemberAssigned(4));
    EXPECT_EQ(Value(27704), 0);
}

TEST_F(ModelTest, EmergencyLampFlagOfSinglesFollowsTheContext)
{
    model->CreateSingle(8);
    model->SetMemberType(8, 1);
    model->SetDeviceContext(65024, 1);
    model->SetDeviceContext(65026, 1);
    EXPECT_TRUE(model->IsEmergencyGroup(40));
    EXPECT_TRUE(model->UpdateEmergencyLampFlag(0, true));
    EXPECT_EQ(Value(8274), 1);
    EXPECT_FALSE(model->UpdateEmergencyLampFlag(8, false)) << "already holds the flag";
    model->SetDeviceContext(65026, 0);
    EXPECT_FALSE(model->IsEmergencyGroup(40)) << "central supply: base 235 decides";
    (*device)[GetGroupUniqueNr(235, 40)].value = Variant::I4(1);
    EXPECT_TRUE(model->IsEmergencyGroup(40));
    EXPECT_EQ(model->GetEmergencyFeedbackText(3), "");
}
