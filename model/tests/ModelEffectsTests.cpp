#include "model/tests/GatewayFixture.h"

#include <gtest/gtest.h>

namespace {

class EffectsTest : public ::testing::Test
{
protected:
    ComPtr<fake::Device> device = fixture::MakeGateway();
    ScriptedPrompt prompt;
    std::unique_ptr<CEtsDbManagement> model = fixture::LoadModel(*device, &prompt);

    std::uint32_t Word(int i) { return static_cast<std::uint32_t>((*device)[25700 + i].value.IntPart()); }
    std::int32_t Value(UniqueNr n) { return (*device)[n].value.IntPart(); }
    std::int32_t Start(int e, int slot) { return Value(GetEffectStepUniqueNr(20700, e, slot)); }

    void CreateGroups(int count)
    {
        for (int g = 1; g <= count; ++g)
            model->CreateGroup(g);
    }

    // Effect 1: [1 = 100, 2 = 50], [scene 1], [3 = 0]; effect 2: [1 = 173].
    void BuildExample()
    {
        CreateGroups(3);
        model->CreateScene(1);
        model->CreateEffect(1);
        ASSERT_EQ(model->CreateEffectStep(1, 0), 1);
        ASSERT_EQ(model->CreateEffectStep(1, 1), 2);
        model->AddGroupToEffectStep(1, 1, 1, 100);
        model->AddGroupToEffectStep(1, 1, 2, 50);
        model->AddGroupToEffectStep(1, 2, 97, 0);
        model->AddGroupToEffectStep(1, 3, 3, 0);
        model->CreateEffect(2);
        model->AddGroupToEffectStep(2, 1, 1, 173);
    }

    // Fills the table with value keys of singles until it holds count values (effects 3.., one step each).
    void FillTable(int count)
    {
        model->SetAddressingMode(4);
        for (int g = 1; g <= 96; ++g)
            model->CreateGroup(g);
        int e = 3;
        while (model->GetEffectValueCount() < count) {
            if (!model->EffectExists(e))
                model->CreateEffect(e);
            const int step = model->GetEffectStepCount(e);
            int key = 1;
            while (key <= 96 && model->IsGroupInEffectStep(e, step, key))
                ++key;
            if (key > 96) {
                if (step < 16) {
                    model->CreateEffectStep(e, step - 1);
                } else {
                    ++e;
                }
                continue;
            }
            ASSERT_TRUE(model->AddGroupToEffectStep(e, model->GetEffectStepCount(e), key, 7));
        }
    }
};

} // namespace

TEST_F(EffectsTest, TheTableIsPackedFromTheMostSignificantByteWithStartPositions)
{
    BuildExample();
    EXPECT_EQ(Word(0), 0x643200ADu);
    EXPECT_EQ(Start(1, 1), 1);
    EXPECT_EQ(Start(1, 2), 3);
    EXPECT_EQ(Start(1, 16), 3);
    EXPECT_EQ(Start(2, 16), 4);
    EXPECT_EQ(model->GetEffectValueCount(), 4);

    model->AddGroupToEffectStep(2, 1, 2, 9);
    EXPECT_EQ(Word(1), 0x09000000u) << "the fifth value opens the next word";

    model->SetEffectValue(1, 3, 3, 20);
    EXPECT_EQ(Word(0), 0x643214ADu);
    model->SetEffectValue(1, 2, 3, 20);
    EXPECT_EQ(Word(0), 0x643214ADu) << "key 3 is not in step 2";

    auto reloaded = fixture::LoadModel(*device);
    for (int e = 1; e <= 2; ++e)
        EXPECT_EQ(reloaded->GetEffect(e).steps, model->GetEffect(e).steps) << e;
    EXPECT_EQ(reloaded->GetEffectValueCount(), 5);

    model->SetEffectValue(1, 1, 1, 150); // a word with bit 31 set survives a reload
    EXPECT_EQ(fixture::LoadModel(*device)->GetEffectValue(1, 1, 1), 150);
}

TEST_F(EffectsTest, InsertingAStepKeepsStartPositionsInStepWithTheTable)
{
    BuildExample();
    ASSERT_EQ(model->CreateEffectStep(1, 1), 2) << "a new step behind step 1";
    ASSERT_EQ(model->GetEffectStepCount(1), 4);
    EXPECT_EQ(model->GetEffect(1).steps[1], EffectStepMap{});
    EXPECT_EQ(model->GetEffect(1).steps[2], (EffectStepMap{{97, 0}}));
    // Slot 3 now holds the former step 2: its start position follows.
    EXPECT_EQ(Start(1, 2), 3);
    EXPECT_EQ(Start(1, 3), 3);
    EXPECT_EQ(Start(1, 16), 3);
    EXPECT_EQ(Start(2, 16), 4);
    auto reloaded = fixture::LoadModel(*device);
    EXPECT_EQ(reloaded->GetEffect(1).steps, model->GetEffect(1).steps);
}

TEST_F(EffectsTest, DeletingStepsMovesTheRestDownAndTheStopStepStays)
{
    BuildExample();
    model->DeleteEffectStep(1, 1);
    ASSERT_EQ(model->GetEffectStepCount(1), 2);
    EXPECT_EQ(model->GetEffect(1).steps[0], (EffectStepMap{{97, 0}}));
    EXPECT_EQ(model->GetEffect(1).steps[1], (EffectStepMap{{3, 0}}));
    EXPECT_EQ(Word(0), 0x00AD0000u);
    model->DeleteEffectStep(1, 16);
    ASSERT_EQ(model->GetEffectStepCount(1), 1);
    EXPECT_EQ(model->GetEffect(1).steps[0], (EffectStepMap{{97, 0}})) << "the last intermediate became Stop";
    model->DeleteEffectStep(1, 16);
    EXPECT_EQ(model->GetEffectStepCount(1), 1) << "an effect keeps one step";
    auto reloaded = fixture::LoadModel(*device);
    EXPECT_EQ(reloaded->GetEffect(1).steps, model->GetEffect(1).steps);
    EXPECT_EQ(reloaded->GetEffect(2).steps, model->GetEffect(2).steps);
}

TEST_F(EffectsTest, DeletingASceneRemovesItsCallFromEffectSteps)
{
    BuildExample();
    model->DeleteScene(1);
    EXPECT_FALSE(model->IsGroupInEffectStep(1, 2, 97));
    EXPECT_EQ(Value(GetEffectStepUniqueNr(19700, 1, 2)), 0);
}

TEST_F(EffectsTest, CopyAndPasteKeepPassesAboveTwoHundredFiftyFive)
{
    BuildExample();
    (*device)[13701].value = Variant::I4(300);
    model->CopyEffect(1);
    model->CreateEffect(5);
    ASSERT_TRUE(model->PasteEffect(5));
    EXPECT_EQ(Value(13705), 300);
    EXPECT_EQ(model->GetEffect(5).steps, model->GetEffect(1).steps);
    EXPECT_NE(model->GetKnxEffect(5), model->GetKnxEffect(1)) << "the KNX number stays";
    EXPECT_EQ(model->GetEffectValueCount(), 7);
    EXPECT_EQ(fixture::LoadModel(*device)->GetEffect(5).steps, model->GetEffect(1).steps);
}

TEST_F(EffectsTest, TheTableHoldsExactlyOneThousandValues)
{
    BuildExample();
    FillTable(999);
    ASSERT_EQ(model->GetEffectValueCount(), 999);
    ASSERT_TRUE(model->AddGroupToEffectStep(2, 1, 50, 1)) << "the thousandth value fits";
    EXPECT_EQ(model->GetEffectValueCount(), 1000);
    EXPECT_FALSE(model->AddGroupToEffectStep(2, 1, 51, 1));
    EXPECT_TRUE(model->AddGroupToEffectStep(2, 1, 98, 0)) << "scene keys take no table value";

    // A paste that ends at 1000 is taken, one that ends above is refused with the message.
    model->RemoveGroupFromEffectStep(2, 1, 50);
    model->RemoveGroupFromEffectStep(2, 1, 1);
    ASSERT_EQ(model->GetEffectValueCount(), 998);
    model->CopyEffectStep(1, 1); // two values, into effect 2's step with none
    EXPECT_TRUE(model->PasteEffectStep(2, 1));
    EXPECT_EQ(model->GetEffectValueCount(), 1000);
    model->RemoveGroupFromEffectStep(2, 1, 2);
    model->CopyEffectStep(1, 1);
    model->AddGroupToEffectStep(1, 1, 5, 1);
    model->CopyEffectStep(1, 1); // three values now, over one
    ASSERT_EQ(model->GetEffectValueCount(), 1000);
    EXPECT_FALSE(model->PasteEffectStep(2, 1));
    ASSERT_FALSE(prompt.boxes.empty());
    EXPECT_EQ(prompt.boxes.back().text, "Effect table overflow");

    auto reloaded = fixture::LoadModel(*device);
    EXPECT_EQ(reloaded->GetEffectValueCount(), 1000);
    for (int e = 1; e <= 16; ++e)
        EXPECT_EQ(reloaded->GetEffect(e).steps, model->GetEffect(e).steps) << e;
}

TEST_F(EffectsTest, CreatingAndDeletingEffectsSwitchesTheEffectObject)
{
    EXPECT_EQ(Value(716), 1);
    model->CreateEffect(3);
    EXPECT_EQ(Value(716), 0);
    EXPECT_EQ(model->GetKnxEffect(3), 1);
    EXPECT_EQ(model->GetStepDisplayName(16), "Stop");
    EXPECT_EQ(model->GetStepDisplayName(2), "[2] Step");
    model->DeleteEffect(3, true);
    EXPECT_EQ(Value(716), 1);
    EXPECT_FALSE(model->EffectExists(0));
    EXPECT_EQ(Value(14703), 0);
}
