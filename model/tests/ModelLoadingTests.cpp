#include "model/tests/GatewayFixture.h"
#include "trace/TraceCapture.h"

#include <gtest/gtest.h>

namespace {

class LoadingTest : public ::testing::Test
{
protected:
    ComPtr<fake::Device> device = fixture::MakeGateway();
    ScriptedPrompt prompt;

    void Set(UniqueNr n, std::int32_t v) { (*device)[n].value = Variant::I4(v); }
    void SetMask(UniqueNr n, std::uint32_t mask) { (*device)[n].value = Variant::UI4(SwapMask32(mask)); }
    std::int32_t Value(UniqueNr n) { return (*device)[n].value.IntPart(); }
    // An effect as the host holds it: exists, step count, masks of keys 1..32 per slot.
    void StoreEffect(int e, std::initializer_list<std::pair<int, std::uint32_t>> slotMasks)
    {
        Set(GetEffectUniqueNr(14700, e), 1);
        Set(GetEffectUniqueNr(12700, e), static_cast<std::int32_t>(slotMasks.size()));
        Set(GetEffectUniqueNr(10700, e), e);
        for (auto [slot, mask] : slotMasks)
            SetMask(GetEffectStepUniqueNr(16700, e, slot), mask);
    }
};

} // namespace

TEST_F(LoadingTest, LabelsComeFromTheHostWhereItHasThem)
{
    (*device)[1101].ui->defaultValue = Variant::String("Gruppe");
    (*device)[2101].value = Variant::String(""); // no name of its own: the label
    device->AddText(929, "Keine Verbindung");
    device->AddInteger(705, 0).ui->description = "Inbetriebnahme";
    auto& types = (*device)[1597];
    types.ui->type->enums->items.emplace_back(MakeComObject<fake::EnumValue>(255, "Mehrfachtyp").Get());
    auto model = fixture::LoadModel(*device);
    EXPECT_EQ(model->GetLabel(LabelGroup), "Gruppe");
    EXPECT_EQ(model->GetLabel(LabelNoConnection), "Keine Verbindung");
    EXPECT_EQ(model->GetLabel(LabelCommissioning), "Inbetriebnahme");
    EXPECT_EQ(model->GetLabel(LabelMultitype), "Mehrfachtyp");
    EXPECT_EQ(model->GetLabel(LabelTest), "Test");
    EXPECT_EQ(model->GetGroupName(2), "Gruppe");
}

TEST_F(LoadingTest, ScenesNeedBothTheirFlagAndANumber)
{
    Set(1602, 1);
    Set(2602, 1);
    Set(22600, 12);
    Set(3602, 0);
    Set(23600, 5);
    auto model = fixture::LoadModel(*device);
    EXPECT_FALSE(model->SceneExists(1));
    EXPECT_EQ(model->GetKnxScene(2), 12);
    EXPECT_FALSE(model->SceneExists(3));
}

TEST_F(LoadingTest, AssignedGearThatIsUsedNowhereLoadsAsUnassigned)
{
    Set(27701, 1);
    Set(27702, 1);
    SetMask(602, 1);
    auto model = fixture::LoadModel(*device);
    EXPECT_FALSE(model->IsMemberAssigned(1));
    EXPECT_TRUE(model->IsMemberAssigned(2));
    EXPECT_EQ(Value(27701), 1) << "only the buffer is corrected";
}

TEST_F(LoadingTest, EffectStepsComeFromTheirSlotsAndStartPositionsAreRepaired)
{
    Set(1123, 1);
    Set(2123, 1);
    Set(3123, 1);
    StoreEffect(1, {{1, 0b011}, {2, 0b100}, {3, 0b111}, {16, 0b001}});
    Set(GetEffectUniqueNr(12700, 1), 3); // slot 3 is not part of a three-step effect
    Set(25700, static_cast<std::int32_t>(0x6432AD00u));
    auto model = fixture::LoadModel(*device);
    ASSERT_EQ(model->GetEffectStepCount(1), 3);
    EXPECT_EQ(model->GetEffect(1).steps[0], (EffectStepMap{{1, 0x64}, {2, 0x32}}));
    EXPECT_EQ(model->GetEffect(1).steps[1], (EffectStepMap{{3, 0xAD}}));
    EXPECT_EQ(model->GetEffect(1).steps[2], (EffectStepMap{{1, 0x00}}));
    EXPECT_EQ(model->GetEffectValueCount(), 4);
    EXPECT_EQ(Value(GetEffectStepUniqueNr(20700, 1, 1)), 1);
    EXPECT_EQ(Value(GetEffectStepUniqueNr(20700, 1, 2)), 3);
    EXPECT_EQ(Value(GetEffectStepUniqueNr(20700, 1, 16)), 4);

    int writes = 0;
    for (auto& [n, p] : device->byNumber)
        p->writes = 0;
    fixture::LoadModel(*device);
    for (auto& [n, p] : device->byNumber)
        writes += n == 65015 ? 0 : p->writes;
    EXPECT_EQ(writes, 0) << "a second load of the same data writes nothing";
}

TEST_F(LoadingTest, TheThousandAndFirstTableValueIsDroppedWithItsBit)
{
    // 16 effects x 2 steps x 32 keys = 1024 value keys: the last 24 do not fit.
    for (int g = 1; g <= 32; ++g)
        Set(GetGroupUniqueNr(123, g), 1);
    for (int e = 1; e <= 16; ++e)
        StoreEffect(e, {{1, 0xFFFFFFFFu}, {16, 0xFFFFFFFFu}});
    TraceCapture trace;
    auto model = fixture::LoadModel(*device);
    EXPECT_EQ(model->GetEffectValueCount(), 1000);
    EXPECT_TRUE(trace.Contains("EffectNr = 16, StepNr = 16, GroupNr = 9: Effect table overflow"));
    EXPECT_FALSE(trace.Contains("GroupNr = 8: Effect table overflow"));
    EXPECT_EQ(SwapMask32(static_cast<std::uint32_t>(Value(GetEffectStepUniqueNr(16700, 16, 16)))), 0xFFu);
    EXPECT_EQ(model->GetEffect(16).steps[1].size(), 8u);
}

TEST_F(LoadingTest, ValuesOutsideAGroupsRangeAndZombieEntriesAreFixed)
{
    Set(2123, 1);
    Set(2102, 100);
    Set(2103, 150);
    Set(1602, 1);
    Set(21600, 1);
    SetMask(1609, 0b10010); // groups 2 and 5; group 5 does not exist
    Set(GetSceneValueUniqueNr(1, 2), 20);
    Set(GetSceneValueUniqueNr(1, 5), 44);
    StoreEffect(1, {{16, 0b10}});
    Set(25700, static_cast<std::int32_t>(0xA0000000u)); // 160
    auto model = fixture::LoadModel(*device);
    EXPECT_EQ(Value(GetSceneValueUniqueNr(1, 2)), 100);
    EXPECT_FALSE(model->IsGroupInScene(1, 5));
    EXPECT_EQ(Value(GetSceneValueUniqueNr(1, 5)), 0);
    EXPECT_EQ(model->GetEffectValue(1, 1, 2), 150);
    EXPECT_EQ(static_cast<std::uint32_t>(Value(25700)) >> 24, 150u);
}

TEST_F(LoadingTest, AReconstructionRequestRebuildsTheStepTimesOnce)
{
    Set(1123, 1);
    Set(1313, 0x0400); // 4 tenths per tick, stored byte-swapped
    Set(1314, 1);
    Set(1315, 135);
    Set(799, 1);
    auto model = fixture::LoadModel(*device, &prompt);
    ASSERT_EQ(prompt.boxes.size(), 1u);
    EXPECT_EQ(prompt.boxes[0].text, "Rekonstruktion wurde durchgeführt");
    EXPECT_EQ(Value(1301), 0);
    EXPECT_EQ(Value(1302), 0);
    EXPECT_EQ(Value(1303), 59);
    EXPECT_EQ(Value(799), 0);
}

TEST(Lightness, TextsAndChoices)
{
    auto device = fixture::MakeGateway();
    auto model = fixture::LoadModel(*device);
    EXPECT_EQ(model->GetLightnessValueText(141), "41 %");
    EXPECT_EQ(model->GetLightnessValueText(173), "100 %");
    EXPECT_EQ(model->GetLightnessValueText(174), "$AE");
    EXPECT_EQ(model->GetLightnessValueText(255), "$FF");
    EXPECT_EQ(model->GetLightnessTexts().size(), 174u);
    EXPECT_EQ(model->GetLightnessChoices().size(), 104u);
    auto range = model->GetLightnessChoices().equal_range(141);
    ASSERT_EQ(std::distance(range.first, range.second), 2);
    EXPECT_EQ(range.first->second, "41 %");
    EXPECT_EQ(std::next(range.first)->second, "42 %");
}

TEST(Lightness, DimTimesConvertBothWays)
{
    struct Case
    {
        int h, m, s;
        std::uint16_t ticks;
        std::uint8_t steps, correction;
    };
    const Case cases[] = {
        {0, 0, 10, 256, 2, 7},
        {0, 1, 0, 1024, 1, 135},
        {0, 2, 53, 10 << 8, 1, 0},
        {0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::uint16_t ticks = 1;
        std::uint8_t steps = 1, correction = 1;
        CalculateDimStepParameters(c.h, c.m, c.s, &ticks, &steps, &correction);
        EXPECT_EQ(ticks, c.ticks) << c.h << ":" << c.m << ":" << c.s;
        EXPECT_EQ(steps, c.steps) << c.h << ":" << c.m << ":" << c.s;
        EXPECT_EQ(correction, c.correction) << c.h << ":" << c.m << ":" << c.s;
    }
    int h = -1, m = -1, s = -1;
    CalculateDimStepTime(1024, 1, 135, &h, &m, &s);
    EXPECT_EQ(h * 3600 + m * 60 + s, 59);
    CalculateDimStepTime(2 << 8, 0, 0, &h, &m, &s);
    EXPECT_EQ(s, 59) << "zero steps per tick delivers nothing";
    CalculateDimStepTime(10 << 8, 1, 0, &h, &m, &s);
    EXPECT_EQ(h * 3600 + m * 60 + s, 173);
}

namespace {
struct RecordedProgress final : IProgress
{
    void Open(const std::string& title, const std::string&) override { stages.push_back("open " + title); }
    void Stage(const std::string& text) override { stages.push_back(text); }
    void Close() override { stages.push_back("close"); }
    std::vector<std::string> stages;
};
} // namespace

TEST(Reset, AFullResetLeavesAFreshDevice)
{
    auto fresh = fixture::MakeGateway();
    fixture::LoadModel(*fresh);
    auto device = fixture::MakeGateway();
    auto model = fixture::LoadModel(*device);
    model->CreateGroup(1);
    model->SetGroupName(1, "Hall");
    model->CreateGroup(3);
    model->AddGroupMember(3, 4);
    model->SetMemberRandomNr(4, 77);
    model->CreateSingle(2);
    model->CreateScene(1);
    model->AddGroupToScene(1, 3, 0x380);
    model->CreateEffect(2);
    model->AddGroupToEffectStep(2, 1, 3, 150);
    model->CreateEffectStep(2, 0);

    RecordedProgress progress;
    model->ResetAllParameters(false, &progress);
    auto expected = fixture::Values(*fresh), actual = fixture::Values(*device);
    for (auto& [n, v] : actual)
        if (v != expected.at(n))
            ADD_FAILURE() << "UniqueNr " << n << ": " << v << " instead of " << expected.at(n);
    EXPECT_FALSE(model->GroupExists(0));
    EXPECT_FALSE(model->IsMemberUsed(0));
    EXPECT_EQ(progress.stages.front(), "open Reset");
    EXPECT_EQ(progress.stages.back(), "close");
    EXPECT_NE(std::find(progress.stages.begin(), progress.stages.end(), "[3] Group"), progress.stages.end());

    model->ResetAllParameters(true);
    EXPECT_TRUE(model->GroupExists(1));
    EXPECT_EQ(model->GetGroupName(1), "Group");
    EXPECT_FALSE(model->GroupExists(3));
}
