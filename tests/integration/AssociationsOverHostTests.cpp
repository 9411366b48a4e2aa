#include "tests/integration/HostProject.h"
#include "testsupport/HostObjects.h"

namespace {

using testsupport::VisibleObjects;
constexpr auto Address = testsupport::GroupAddressNumber;

} // namespace

TEST(AssociationsOverHost, WrittenAssociationsReadBackInBothNotations)
{
    for (int levels : {3, 2}) {
        hostproject::Project project(levels);
        auto model = project.LoadModel();
        EXPECT_EQ(model->GetGroupAddressLevels(), levels);
        const auto visible = VisibleObjects(project.Device());
        ASSERT_GE(visible.size(), 2u);
        const std::uint16_t first = visible[0], second = visible[1];

        ObjectAssociationMap wanted;
        wanted[first] = {std::to_string(Address(1, 2, 3)) + "," + std::to_string(Address(1, 2, 4)), 0x5F, -1,
                         -1};
        wanted[second] = {std::to_string(Address(7, 7, 255)), 0x1E, -1, -1};
        std::string failures;
        model->SetDeviceObjectAssociations(wanted, &failures);
        EXPECT_EQ(failures, "");

        ObjectAssociationMap read;
        model->GetDeviceObjectAssociations(read);
        ASSERT_TRUE(read.count(first));
        EXPECT_EQ(read[first].addresses, wanted[first].addresses) << "the sending address comes first";
        EXPECT_EQ(read[first].flags, 0x5F) << "priority 3, communication, read, write, transmit";
        EXPECT_EQ(read[second].addresses, wanted[second].addresses);
        EXPECT_EQ(read[second].flags, 0x1E & ~0x20);

        // Created on the way: main group 7, middle group 7 and the address named after the object.
        ComPtr<IEtsProject> projectObject;
        project.Device()->get_Project(projectObject.GetAddressOf());
        ComPtr<IEtsCollection<IEtsGroupAddress>> addresses;
        projectObject->get_GroupAddresses(addresses.GetAddressOf());
        ComPtr<IEtsGroupAddress> made;
        ASSERT_EQ(
            addresses->Item(Variant::String("$(GroupAddress)='" + std::to_string(Address(7, 7, 255)) + "'"),
                            made.GetAddressOf()),
            S_OK);
        std::string name;
        made->get_Name(&name);
        EXPECT_NE(name.find(" - "), std::string::npos) << name;
        EXPECT_LE(name.size(), 50u);

        model->DeleteDeviceObjectAssociations();
        ObjectAssociationMap none;
        model->GetDeviceObjectAssociations(none);
        for (const auto& [n, record] : none)
            EXPECT_EQ(record.addresses, "") << n;
    }
}

TEST(AssociationsOverHost, WhatCannotBeAssociatedIsReportedInTheProjectsNotation)
{
    for (auto [levels, expected] : {std::pair{2, "0/0"}, {3, "0/0/0"}}) {
        hostproject::Project project(levels);
        auto model = project.LoadModel();
        const std::uint16_t object = VisibleObjects(project.Device()).at(0);
        const std::string before = project.Store();
        ObjectAssociationMap wanted;
        // 0 is no group address; the others are not numbers and never reach the host's query.
        wanted[object] = {"0,1/2/3,2563') OR ('1'='1", -1, -1, -1};
        std::string failures;
        model->SetDeviceObjectAssociations(wanted, &failures);
        EXPECT_EQ(failures, std::to_string(object) + ":" + expected + ", " + std::to_string(object) +
                                ":1/2/3, " + std::to_string(object) + ":2563') OR ('1'='1");
        EXPECT_TRUE(project.Store() == before) << "nothing associated, nothing created";
    }
}

TEST(AssociationsOverHost, ANoToAConfirmationChangesNothing)
{
    hostproject::Project project;
    ScriptedPrompt prompt;
    auto model = project.LoadModel(&prompt);
    const std::uint16_t object = VisibleObjects(project.Device()).at(0);
    ObjectAssociationMap wanted;
    wanted[object] = {std::to_string(Address(1, 1, 1)), -1, -1, -1};
    model->SetDeviceObjectAssociations(wanted, nullptr);
    const std::string before = project.Store();

    // Every guarded parameter with associations below it asks; No leaves the store alone.
    prompt.answers = {PromptAnswer::No};
    bool asked = false;
    for (UniqueNr n : {1123, 724, 65006, 65014, 65024}) {
        prompt.answers = {PromptAnswer::No};
        const std::size_t boxes = prompt.boxes.size();
        if (!model->CanChangeValueAfterCheckObjectAssociations(n)) {
            asked = true;
            EXPECT_EQ(prompt.boxes.size(), boxes + 1);
            EXPECT_EQ(prompt.boxes.back().text, "GA associations getting lost\nContinue?");
        }
    }
    EXPECT_TRUE(asked) << "object " << object << " depends on none of the guarded parameters";
    EXPECT_FALSE(model->ConfirmDeletingAssignments());
    EXPECT_FALSE(model->ConfirmDeletingSceneAssignments());
    EXPECT_FALSE(model->ConfirmDeletingGroupsOrDevices());
    EXPECT_TRUE(project.Store() == before);
}
