// The search's result: only a search that succeeded reaches the members; a cancelled, timed-out or
// broken one leaves every stored random address and assignment as it was.
#include "device/DaliSearchResult.h"
#include "device/tests/DeviceFixture.h"

#include <gtest/gtest.h>

using namespace devicefixture;

namespace {

constexpr std::uint8_t kEnd = 255;

// Four gear numbered 1..4 by an earlier search, projected as members 1..4 of group 1.
std::vector<ControlGear> NumberedLine()
{
    auto line = MakeLine(4);
    for (std::size_t i = 0; i < line.size(); ++i)
        line[i].shortAddress = static_cast<std::uint8_t>(i);
    return line;
}

void Project(Rig& rig, const std::vector<ControlGear>& line)
{
    CEtsDbManagement& model = *rig.model;
    model.CreateGroup(1);
    for (int m = 1; m <= 4; ++m) {
        const ControlGear& g = line[static_cast<std::size_t>(m - 1)];
        model.AddGroupMember(1, m);
        model.SetMemberRandomNr(m, static_cast<std::int32_t>(g.randomAddress));
        model.SetMemberFoundType(m, g.ReportedType());
        model.SetMemberAssigned(m, true);
    }
}

struct MemberState
{
    std::int32_t randomNr;
    bool assigned;
    std::uint8_t foundType;
    std::uint32_t groups;
    bool operator==(const MemberState&) const = default;
};

std::vector<MemberState> Members(const CEtsDbManagement& model)
{
    std::vector<MemberState> members;
    for (int m = 1; m <= 64; ++m)
        members.push_back({model.GetMemberRandomNr(m), model.IsMemberAssigned(m), model.GetMemberFoundType(m),
                           model.GetMemberGroupAssignment(m)});
    return members;
}

struct EndCase
{
    const char* name;
    std::function<void(Rig&)> arrange;
    EProcedureOutcome outcome;
    std::vector<std::string> reports;
    bool endWritten; // the gateway was told to leave the search
};

class SearchEnds : public ::testing::TestWithParam<EndCase>
{};

TEST_P(SearchEnds, WithoutSuccessNoMemberChanges)
{
    const EndCase& c = GetParam();
    const auto line = NumberedLine();
    Rig rig(line);
    ASSERT_TRUE(rig.Connect());
    Project(rig, line);
    // Members 5 and 6 hold gear from elsewhere; a search that went wrong must not wipe them either.
    rig.model->SetMemberRandomNr(5, 0x222222);
    rig.model->SetMemberAssigned(5, true);
    const auto before = Members(*rig.model);
    c.arrange(rig);

    const CDaliSearchResult result = rig.connection->SearchDaliEvgs("Search", false);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.reason.empty(), c.outcome != EProcedureOutcome::Failed) << result.reason;
    EXPECT_TRUE(
        std::all_of(result.addresses.begin(), result.addresses.end(), [](std::int32_t a) { return a == 0; }));
    EXPECT_EQ(rig.BoxTexts(), c.reports);
    const auto functions = rig.gateway->FunctionsWritten();
    EXPECT_EQ(!functions.empty() && functions.back() == kEnd, c.endWritten);
    EXPECT_EQ(rig.boxes.log.open, 0);

    const CSearchApplication application = ApplySearchResult(*rig.model, result);
    EXPECT_FALSE(application.applied);
    EXPECT_TRUE(application.changedMembers.empty());
    EXPECT_EQ(Members(*rig.model), before);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SearchEnds,
    ::testing::Values(
        // The click is taken in while the box shows the first new counter, after a pause.
        EndCase{"CancelDuringThePause",
                [](Rig& r) { r.boxes.log.cancelAtInfo = "= 1"; },
                EProcedureOutcome::Cancelled,
                {},
                true},
        EndCase{"CancelAtOnce",
                [](Rig& r) { r.boxes.log.cancelAtCheck = 1; },
                EProcedureOutcome::Cancelled,
                {},
                true},
        EndCase{"TimedOut",
                [](Rig& r) {
                    r.Host().afterWrite = [&r](std::uint8_t pid, const std::uint8_t* data) {
                        if (pid == 0xD1 && data[0] == 1)
                            r.gateway->Inject(SimulatorFault::StaysBusy);
                    };
                },
                EProcedureOutcome::Failed,
                {"Search:\nInternal error"},
                false},
        EndCase{"GatewayStaysBusy",
                [](Rig& r) { r.gateway->Inject(SimulatorFault::StaysBusy); },
                EProcedureOutcome::Failed,
                {"Search:\nTimeout\n"},
                false},
        EndCase{"ConnectionDropsWhileWatching",
                [](Rig& r) { r.gateway->Inject(SimulatorFault::ConnectionDrops, 4); },
                EProcedureOutcome::Failed,
                {"No connection"},
                false},
        EndCase{"AnswerLostWhileReadingTheTable",
                [](Rig& r) {
                    int reads = 0;
                    r.Host().readFailure = [reads](std::uint8_t pid) mutable {
                        return pid == 0xD2 && ++reads == 9 ? ETS_E_DEVICE_NOT_FOUND : S_OK;
                    };
                },
                EProcedureOutcome::Failed,
                {"No connection"},
                false}),
    [](const auto& p) { return std::string(p.param.name); });

// A connection that drops once fails that search; the next one finds the line again.
TEST(Search, AConnectionThatComesBackFindsTheLineOnTheNextSearch)
{
    const auto line = NumberedLine();
    Rig rig(line);
    ASSERT_TRUE(rig.Connect());
    Project(rig, line);
    const auto before = Members(*rig.model);
    rig.gateway->Inject(SimulatorFault::ConnectionBlips, 5);
    EXPECT_EQ(rig.connection->SearchDaliEvgs("Search", false).outcome, EProcedureOutcome::Failed);
    EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"No connection"});

    const CDaliSearchResult again = rig.connection->SearchDaliEvgs("Search", false);
    ASSERT_TRUE(again.Succeeded());
    const CSearchApplication application = ApplySearchResult(*rig.model, again);
    EXPECT_TRUE(application.applied);
    EXPECT_TRUE(application.changedMembers.empty()); // every gear where it was: still assigned
    EXPECT_EQ(Members(*rig.model), before);
}

// A successful search is applied: gear found elsewhere or not at all are no longer assigned, and the
// member in a group that changed marks the group assignments as changed.
TEST(Search, SuccessIsAppliedToEveryMember)
{
    auto line = NumberedLine();
    Rig rig(line);
    ASSERT_TRUE(rig.Connect());
    Project(rig, line);
    rig.model->SetMemberRandomNr(3, 0x333333); // projected with another gear
    rig.model->SetMemberRandomNr(7, 0x777777); // a gear no longer on the line
    rig.model->SetMemberAssigned(7, true);
    rig.gateway->Inject(SimulatorFault::GearSilent, 4);

    const CDaliSearchResult result = rig.connection->SearchDaliEvgs("Search", false);
    ASSERT_TRUE(result.Succeeded());
    EXPECT_EQ(result.counterA, 3);
    const CSearchApplication application = ApplySearchResult(*rig.model, result);
    EXPECT_EQ(application.changedMembers, (std::vector<int>{3, 4, 7}));
    EXPECT_TRUE(application.groupsChanged);
    EXPECT_EQ(rig.model->GetMemberRandomNr(3), static_cast<std::int32_t>(line[2].randomAddress));
    EXPECT_FALSE(rig.model->IsMemberAssigned(3));
    EXPECT_EQ(rig.model->GetMemberRandomNr(4), 0);
    EXPECT_FALSE(rig.model->IsMemberAssigned(4));
    EXPECT_TRUE(rig.model->IsMemberAssigned(1));
    EXPECT_EQ(rig.model->GetMemberFoundType(1), line[0].ReportedType());
    EXPECT_EQ(rig.model->GetMemberRandomNr(7), 0);
    EXPECT_FALSE(rig.model->IsMemberAssigned(7));
}

// Old gear answer a COMPARE only when it comes twice: the compatibility mode finds them, the normal
// search does not. A gear that falls silent mid-search is simply not found.
TEST(Search, TheCompatibilityModeFindsGearTheNormalSearchMisses)
{
    const auto line = MakeLine(5);
    auto found = [](const CDaliSearchResult& r, const ControlGear& g) {
        return std::find(r.addresses.begin(), r.addresses.end(),
                         static_cast<std::int32_t>(g.randomAddress)) != r.addresses.end();
    };
    Rig rig(line);
    ASSERT_TRUE(rig.Connect());
    rig.gateway->Inject(SimulatorFault::NeedsCompatibilityMode, 3);
    rig.gateway->Inject(SimulatorFault::SilentMidSearch, 5);

    const CDaliSearchResult normal = rig.connection->SearchDaliEvgs("Search", false);
    ASSERT_TRUE(normal.Succeeded());
    EXPECT_FALSE(found(normal, line[2]));
    EXPECT_FALSE(found(normal, line[4]));
    EXPECT_TRUE(found(normal, line[0]) && found(normal, line[1]) && found(normal, line[3]));

    const CDaliSearchResult slow = rig.connection->SearchDaliEvgs("Search", true);
    ASSERT_TRUE(slow.Succeeded());
    EXPECT_TRUE(found(slow, line[2]));
    EXPECT_FALSE(found(slow, line[4])); // silent for good
    EXPECT_TRUE(rig.prompt.boxes.empty());
}

} // namespace
