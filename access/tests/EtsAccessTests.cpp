#include "access/EtsAccess.h"
#include "access/tests/FakeHost.h"
#include "platform/ClassRegistry.h"
#include "trace/TraceCapture.h"

#include <gtest/gtest.h>

namespace {

class EtsAccessTest : public ::testing::Test
{
protected:
    ComPtr<fake::Device> device = MakeComObject<fake::Device>();

    std::unique_ptr<CEtsAccess> Load()
    {
        auto access = std::make_unique<CEtsAccess>(device.Get());
        EXPECT_EQ(access->LoadDeviceParameterPointers(), S_OK);
        return access;
    }
};

} // namespace

TEST_F(EtsAccessTest, LoadStopsAtAFailingItemAndStillSucceeds)
{
    for (int n = 1; n <= 10; ++n)
        device->AddInteger(n * 100, n);
    device->AddInteger(65015, 255);
    device->parameters->failAt = 5;
    auto access = Load();
    std::vector<UniqueNr> numbers;
    for (const auto& [n, p] : access->GetParameterMap())
        numbers.push_back(n);
    EXPECT_EQ(numbers, (std::vector<UniqueNr>{100, 200, 300, 400}));
    EXPECT_EQ(access->GetDeviceParameterPointer(500), nullptr);
}

TEST_F(EtsAccessTest, LoadCounterWrapsAndLoadingIsNoUserChange)
{
    device->AddInteger(65015, 255);
    auto access = Load();
    EXPECT_EQ((*device)[65015].value, Variant::I4(0));
    EXPECT_FALSE(access->IsModified());
    access->LoadDeviceParameterPointers();
    EXPECT_EQ((*device)[65015].value, Variant::I4(1));
}

TEST_F(EtsAccessTest, WritesReportTheHostsAnswerAndMarkTheSession)
{
    device->AddInteger(102, 0);
    device->AddInteger(65015, 0);
    auto access = Load();
    TraceCapture trace;

    EXPECT_EQ(access->SetParameterLong(4711, 1), E_FAIL);
    EXPECT_FALSE(access->IsModified()) << "an unknown number is no write";
    EXPECT_TRUE(trace.Contains("UniqueNr = 4711 not found"));

    (*device)[102].putResult = ETS_E_OUT_OF_RANGE;
    trace.Clear();
    EXPECT_EQ(access->SetParameterLong(102, 300), ETS_E_OUT_OF_RANGE);
    EXPECT_TRUE(access->IsModified());
    ASSERT_EQ(trace.Lines().size(), 3u);
    EXPECT_NE(trace.Lines()[0].find("): UniqueNr = 102 <- $12C"), std::string::npos) << trace.Lines()[0];
    EXPECT_NE(trace.Lines()[1].find("[2] CEtsAccess::SetParameterValue (Line "), std::string::npos);
    EXPECT_NE(trace.Lines()[1].find("): Value = 300 out of range"), std::string::npos) << trace.Lines()[1];
    EXPECT_NE(trace.Lines()[2].find("): Error $C004050B (Unknown error 0xC004050B): UniqueNr = 102"),
              std::string::npos)
        << trace.Lines()[2];

    (*device)[102].putResult = ETS_S_PARAMETER_SET;
    trace.Clear();
    EXPECT_EQ(access->SetParameterString(102, "x"), ETS_S_PARAMETER_SET);
    EXPECT_EQ(trace.Lines().size(), 1u) << "the host's success code is no failure";
    EXPECT_NE(trace.Lines()[0].find("UniqueNr = 102 <- 'x'"), std::string::npos);
}

TEST_F(EtsAccessTest, IntegerReadsGoThroughTheUnsignedConversion)
{
    device->AddInteger(600, -1);
    device->AddText(401, "42");
    device->AddText(402, "Kitchen");
    device->AddInteger(65015, 0);
    auto access = Load();
    EXPECT_EQ(access->GetParameterLong(600, 77), 77) << "a negative value fails the unsigned conversion";
    EXPECT_EQ(access->GetParameterLong(401, 0), 42);
    EXPECT_EQ(access->GetParameterLong(402, 5), 5);
    EXPECT_EQ(access->GetParameterString(600, "d"), "-1");
    EXPECT_EQ(access->GetParameterString(999, "d"), "d");
    std::int32_t untouched = 9;
    EXPECT_LT(access->GetParameterValue(402, untouched), 0);
    EXPECT_EQ(untouched, 9) << "a failed read leaves the target alone";
}

TEST_F(EtsAccessTest, BitPatternsKeepBit31WhateverKindTheHostHolds)
{
    device->AddInteger(608, 0, 0, 0, -1);
    device->AddInteger(609, static_cast<std::int32_t>(0x80000001u));
    device->AddInteger(65015, 0);
    auto access = Load();
    // Key 8 of a byte-swapped mask lands in bit 31.
    EXPECT_EQ(access->SetParameterPattern(608, 0x80000000u), S_OK);
    EXPECT_EQ((*device)[608].value, Variant::UI4(0x80000000u));
    EXPECT_EQ(access->GetParameterPattern(608, 0), 0x80000000u);
    EXPECT_EQ(access->GetParameterPattern(609, 0), 0x80000001u) << "a negative signed value is a pattern too";
    EXPECT_EQ(access->GetParameterPattern(4711, 5), 5u);
}

TEST_F(EtsAccessTest, DescriptionsAreOneLineAndKeepTheDefaultWhenMissing)
{
    device->AddInteger(700, 0).ui->description = "A\r\nB";
    device->AddInteger(701, 0);
    device->AddInteger(702, 0).ui->descriptionResult = E_FAIL;
    device->AddInteger(65015, 0);
    auto access = Load();
    EXPECT_EQ(access->GetParameterText(700, "x"), "A B");
    EXPECT_EQ(access->GetParameterText(701, "General"), "General");
    EXPECT_EQ(access->GetParameterText(702, "General"), "General");
    EXPECT_EQ(access->GetParameterText(4711, "General"), "General");
    std::string text = "kept";
    EXPECT_EQ(access->GetParameterDescription(700, nullptr, text), E_POINTER);
    EXPECT_EQ(text, "kept");
}

TEST_F(EtsAccessTest, TypeInformationAndDisplayedValues)
{
    auto& mode = device->AddInteger(65014, 3);
    mode.ui->type->baseType = 4;
    for (auto [v, t] : {std::pair{0, "Central"}, {3, "Groups and singles"}, {0, "Duplicate"}})
        mode.ui->type->enums->items.emplace_back(MakeComObject<fake::EnumValue>(v, t).Get());
    device->AddInteger(102, 0, 0, 1, 173);
    device->AddText(101, "Hall");
    device->AddInteger(103, 0).ui->type->baseType = 6;
    device->AddInteger(65015, 0);
    auto access = Load();

    CEtsAccess::EnumMap values{{99, "stale"}};
    ASSERT_EQ(access->GetParameterEnumValues(65014, values), S_OK);
    EXPECT_EQ(values, (CEtsAccess::EnumMap{{0, "Central"}, {3, "Groups and singles"}})) << "first entry wins";

    std::int32_t low = 0, high = 0;
    EXPECT_EQ(access->GetParameterIntegerValueRange(102, low, high), S_OK);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 173);
    TraceCapture trace;
    EXPECT_EQ(access->GetParameterIntegerValueRange(65014, low, high), E_FAIL);
    EXPECT_TRUE(trace.Contains("UniqueNr = 65014: Wrong BaseType = 4"));

    struct Case
    {
        UniqueNr n;
        Variant value;
        HRESULT hr;
        std::string text;
    };
    const Case cases[] = {
        {65014, Variant::I4(3), S_OK, "Groups and singles"},
        {65014, Variant::I4(7), S_OK, "unchanged"},
        {102, Variant::String("12"), S_OK, "12"},
        {101, Variant::String("Hall"), S_OK, "Hall"},
        {103, Variant::I4(1), E_FAIL, "unchanged"},
    };
    for (const Case& c : cases) {
        std::string text = "unchanged";
        EXPECT_EQ(access->GetDisplayedValue(c.n, access->GetPointerUIParameter(c.n), c.value, text), c.hr)
            << c.n;
        EXPECT_EQ(text, c.text) << c.n;
    }
}

TEST_F(EtsAccessTest, DependentResetsWalkTheWholeSubtree)
{
    device->AddInteger(1123, 1, 0);
    device->AddInteger(1102, 50, 1);
    device->AddInteger(1330, 7, 0);
    device->AddInteger(1331, 8, 2);
    device->AddInteger(65015, 0);
    device->Link(1123, 1102);
    device->Link(1123, 1330);
    device->Link(1330, 1331);
    auto access = Load();

    EXPECT_EQ(access->ResetDependentParameters(1123, false), S_OK);
    EXPECT_EQ((*device)[1123].value, Variant::I4(1)) << "the parent stays without the flag";
    EXPECT_EQ((*device)[1102].value, Variant::I4(1));
    EXPECT_EQ((*device)[1330].value, Variant::I4(0));
    EXPECT_EQ((*device)[1331].value, Variant::I4(2));
    EXPECT_EQ(access->ResetDependentParameters(1123, true), S_OK);
    EXPECT_EQ((*device)[1123].value, Variant::I4(0));
    EXPECT_EQ(access->ResetDependentParameters(4711, true), S_OK) << "an unknown root does nothing";
    EXPECT_EQ(access->ResetParameter(4711), E_POINTER);
}

TEST_F(EtsAccessTest, CollectingValuesKeepsTheFirstOfEqualKeys)
{
    device->AddInteger(1123, 1, 0);
    device->AddInteger(1102, 50, 1);
    device->AddInteger(1103, 60, 2);
    device->AddInteger(65015, 0);
    device->Link(1123, 1102);
    device->Link(1102, 1103);
    auto access = Load();

    CEtsAccess::ValueMap values;
    ASSERT_EQ(access->GetAllParameterValues(values, 1123, 1, [](UniqueNr n, int g) { return n - g * 1000; }),
              S_OK);
    EXPECT_EQ(values,
              (CEtsAccess::ValueMap{{123, Variant::I4(1)}, {102, Variant::I4(50)}, {103, Variant::I4(60)}}));

    CEtsAccess::ValueMap same;
    access->GetAllDefaultValues(same, 1123, 0, [](UniqueNr, int) { return 0; });
    EXPECT_EQ(same, (CEtsAccess::ValueMap{{0, Variant::I4(0)}})) << "the parameter itself comes first";
    EXPECT_EQ(access->GetAllParameterValues(values, 4711), E_POINTER);
}

TEST_F(EtsAccessTest, AKeptSubtreeGivesWhatTheWalkGaveAndAnIncompleteOneIsWalkedAgain)
{
    device->AddInteger(1123, 1, 0);
    device->AddInteger(1330, 7, 0);
    device->AddInteger(1102, 50, 1);
    device->AddInteger(1331, 8, 2);
    device->AddInteger(2000, 3, 0);
    device->AddInteger(2001, 4, 0);
    device->AddInteger(65015, 0);
    device->Link(1123, 1330);
    device->Link(1123, 1102);
    device->Link(1330, 1331);
    device->Link(2000, 2001);
    auto access = Load();

    auto visited = [&](UniqueNr root) {
        std::vector<std::pair<UniqueNr, std::int32_t>> seen;
        access->VisitAllParameterValues(
            root, [&](UniqueNr n, const Variant& v) { seen.emplace_back(n, v.IntPart()); });
        return seen;
    };
    const std::vector<std::pair<UniqueNr, std::int32_t>> expected = {
        {1102, 50}, {1123, 1}, {1330, 7}, {1331, 8}};
    EXPECT_EQ(visited(1123), expected) << "first walk";
    (*device)[1331].value = Variant::I4(9);
    EXPECT_EQ(visited(1123),
              (std::vector<std::pair<UniqueNr, std::int32_t>>{{1102, 50}, {1123, 1}, {1330, 7}, {1331, 9}}))
        << "the kept subtree reads the values anew";
    CEtsAccess::ValueMap values;
    access->GetAllParameterValues(values, 1123);
    EXPECT_EQ(values.size(), 4u);

    // A list with a failing item is not kept: the next walk asks the host again.
    device->byNumber.at(2000)->ui->dependents->failAt = 1;
    TraceCapture trace;
    EXPECT_EQ(visited(2000), (std::vector<std::pair<UniqueNr, std::int32_t>>{{2000, 3}}));
    device->byNumber.at(2000)->ui->dependents->failAt = 0;
    EXPECT_EQ(visited(2000), (std::vector<std::pair<UniqueNr, std::int32_t>>{{2000, 3}, {2001, 4}}));
}

TEST_F(EtsAccessTest, TheJournalRecordsFirstChangesOnlyAndSkipsWritesOfTheHeldValue)
{
    device->AddInteger(10, 5);
    device->AddInteger(11, 6);
    device->AddText(12, "Hall");
    device->AddInteger(65015, 0);
    auto access = Load();
    const int writes10 = (*device)[10].writes, writes11 = (*device)[11].writes;

    access->BeginJournal();
    EXPECT_EQ(access->SetParameterValue(10, Variant::I4(5)), S_OK);
    EXPECT_EQ(access->SetParameterValue(10, Variant::String("5")), S_OK);
    EXPECT_EQ((*device)[10].writes, writes10) << "the value it holds, as a number and as plain decimals";
    EXPECT_EQ(access->SetParameterValue(11, Variant::String(" 7")), S_OK);
    EXPECT_EQ(access->SetParameterValue(11, Variant::I4(8)), S_OK);
    EXPECT_EQ(access->SetParameterValue(12, Variant::String("Stairs")), S_OK);
    EXPECT_EQ(access->SetParameterValue(10, Variant::I4(1)), S_OK);
    EXPECT_TRUE(access->IsModified());
    const auto journal = access->EndJournal();
    EXPECT_EQ(journal, (std::vector<std::pair<UniqueNr, Variant>>{
                           {11, Variant::I4(6)}, {12, Variant::String("Hall")}, {10, Variant::I4(5)}}));
    EXPECT_EQ((*device)[11].writes, writes11 + 2);

    // Without a journal every write reaches the host.
    EXPECT_EQ(access->SetParameterValue(10, Variant::I4(1)), S_OK);
    EXPECT_EQ((*device)[10].writes, writes10 + 2);
    EXPECT_TRUE(access->EndJournal().empty());
}

// Held writes stay away from the host while reads see them; afterwards a value the host takes
// replaces the held one, and the held one is written where the host refuses or nothing came.
TEST_F(EtsAccessTest, HeldWritesReachTheHostOnlyWhereNothingReplacedThem)
{
    for (UniqueNr n : {20, 21, 22, 23})
        device->AddInteger(n, 1);
    device->AddInteger(65015, 0);
    auto access = Load();
    access->HoldWrites({20, 21, 22, 4711});
    EXPECT_EQ(access->SetParameterLong(20, 7), S_OK);
    EXPECT_EQ(access->SetParameterLong(21, 7), S_OK);
    EXPECT_EQ(access->SetParameterLong(21, 8), S_OK);
    EXPECT_EQ(access->SetParameterLong(23, 7), S_OK);
    EXPECT_EQ((*device)[20].writes, 0);
    EXPECT_EQ((*device)[23].value, Variant::I4(7)) << "a number not held is written at once";
    EXPECT_EQ(access->GetParameterLong(21, 0), 8) << "reads see the held value";
    EXPECT_EQ(access->GetParameterLong(22, 0), 1) << "nothing held: the host's value";
    access->StopHolding();

    EXPECT_EQ(access->SetParameterLong(20, 9), S_OK);
    (*device)[21].putResult = ETS_E_OUT_OF_RANGE;
    EXPECT_EQ(access->SetParameterLong(21, 300), ETS_E_OUT_OF_RANGE);
    EXPECT_EQ(access->GetParameterLong(21, 0), 8);
    (*device)[21].putResult = S_OK;
    access->WriteHeldValues();
    EXPECT_EQ((*device)[20].value, Variant::I4(9)) << "the taken value stays";
    EXPECT_EQ((*device)[21].value, Variant::I4(8)) << "the held value where the host refused";
    EXPECT_EQ((*device)[22].writes, 0);
    // The hold is over: every write reaches the host again.
    EXPECT_EQ(access->SetParameterLong(22, 5), S_OK);
    EXPECT_EQ((*device)[22].value, Variant::I4(5));
}

TEST_F(EtsAccessTest, ObjectAssociationsAreFoundThroughTheParentChain)
{
    device->AddInteger(1123, 1);
    device->AddInteger(1118, 1);
    device->AddInteger(65015, 0);
    device->Link(1123, 1118, Variant::I4(1));
    auto object = MakeComObject<fake::CommObject>();
    object->standard->parameter = device->byNumber.at(1118)->ui;
    object->standard->condition = Variant::I4(2);
    device->objects->items.emplace_back(object.Get());
    auto access = Load();

    bool found = true;
    EXPECT_EQ(access->CheckParameterDependentObjectAssociations(1118, found), E_FAIL)
        << "no associations yet";
    EXPECT_FALSE(found);
    object->associations->count = 1;
    EXPECT_EQ(access->CheckParameterDependentObjectAssociations(1118, found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_TRUE(access->CheckParameterDependentObjectAssociations(1123)) << "found through the parent";
    object->standard->parameter->condition = Variant();
    EXPECT_EQ(access->CheckParameterDependentObjectAssociations(1123, found), S_OK);
    EXPECT_FALSE(found) << "the search ends at the first chain, also without a condition";
    EXPECT_EQ(access->CheckParameterDependentObjectAssociations(-1, found), E_FAIL);
}

TEST(EtsAccessProbe, GroupAddressLevelsFollowTheFormattersNotation)
{
    auto device = MakeComObject<fake::Device>();
    EXPECT_EQ(CEtsAccess(device.Get()).GetGroupAddressLevels(), 3) << "no formatter: three levels";
    for (auto [text, levels] : {std::pair{"0/1", 2}, {"0/0/1", 3}}) {
        RegisterClassObject(CLSID_EtsValueFormatter, MakeComObject<fake::FormatterFactory>(text).Get());
        EXPECT_EQ(CEtsAccess(device.Get()).GetGroupAddressLevels(), levels) << text;
    }
    RevokeClassObject(CLSID_EtsValueFormatter);
}
