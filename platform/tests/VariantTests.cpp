#include "platform/Variant.h"

#include <gtest/gtest.h>

namespace {

struct Conversion
{
    Variant from;
    VARTYPE to;
    HRESULT hr;
    Variant expected; // ignored on failure
};

class VariantConversion : public ::testing::TestWithParam<Conversion>
{};

} // namespace

TEST_P(VariantConversion, FollowsTheVariantRules)
{
    const Conversion& c = GetParam();
    Variant v = c.from;
    EXPECT_EQ(v.ChangeType(c.to), c.hr) << c.from.Describe();
    if (SUCCEEDED(c.hr))
        EXPECT_EQ(v, c.expected) << v.Describe();
    else
        EXPECT_EQ(v, c.from) << "a failed conversion leaves the value alone";
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariantConversion,
    ::testing::Values(Conversion{Variant::I4(-1), VT_UI4, DISP_E_OVERFLOW, {}},
                      Conversion{Variant::I4(7), VT_UI4, S_OK, Variant::UI4(7)},
                      Conversion{Variant::UI4(0x80000000u), VT_I4, DISP_E_OVERFLOW, {}},
                      Conversion{Variant::I4(65536), VT_UI2, DISP_E_OVERFLOW, {}},
                      Conversion{Variant::UI2(65535), VT_UI4, S_OK, Variant::UI4(65535)},
                      Conversion{Variant::String(" 42 "), VT_UI4, S_OK, Variant::UI4(42)},
                      Conversion{Variant::String("-3"), VT_I4, S_OK, Variant::I4(-3)},
                      Conversion{Variant::String("-3"), VT_UI4, DISP_E_OVERFLOW, {}},
                      Conversion{Variant::String("0x10"), VT_UI4, DISP_E_TYPEMISMATCH, {}},
                      Conversion{Variant::String(""), VT_I4, DISP_E_TYPEMISMATCH, {}},
                      Conversion{Variant::String("2.5"), VT_I4, S_OK, Variant::I4(2)},
                      Conversion{Variant::String("3.5"), VT_I4, S_OK, Variant::I4(4)},
                      Conversion{Variant::String("4294967296"), VT_UI4, DISP_E_OVERFLOW, {}},
                      Conversion{Variant::I4(-12), VT_BSTR, S_OK, Variant::String("-12")},
                      Conversion{Variant::UI4(4294967295u), VT_BSTR, S_OK, Variant::String("4294967295")},
                      Conversion{Variant(), VT_BSTR, S_OK, Variant::String("")},
                      Conversion{Variant(), VT_UI4, S_OK, Variant::UI4(0)},
                      Conversion{Variant::Null(), VT_BSTR, DISP_E_TYPEMISMATCH, {}},
                      Conversion{Variant::Null(), VT_UI4, DISP_E_TYPEMISMATCH, {}}));

TEST(Variant, IntegerPartAndEmptiness)
{
    EXPECT_EQ(Variant::UI4(0xFFFFFFFFu).IntPart(), -1);
    EXPECT_EQ(Variant::I4(-5).IntPart(), -5);
    EXPECT_EQ(Variant::String("7").IntPart(), 0);
    EXPECT_TRUE(Variant().IsEmptyOrNull());
    EXPECT_TRUE(Variant::Null().IsEmptyOrNull());
    EXPECT_FALSE(Variant::String("").IsEmptyOrNull());
}

TEST(Variant, PlainDecimalsAreOnlyTheCommonForm)
{
    // Whatever the quick form refuses still goes to ParseDecimal's rules.
    struct Case
    {
        const char* text;
        bool plain;
        std::int64_t value;
    } cases[] = {
        {"0", true, 0},   {"4711", true, 4711}, {"-12", true, -12}, {"4294967295", true, 4294967295LL},
        {"007", true, 7}, {"", false, 0},       {"-", false, 0},    {" 5", false, 0},
        {"5 ", false, 0}, {"+5", false, 0},     {"2.5", false, 0},  {"1234567890123456789", false, 0}};
    for (const Case& c : cases) {
        std::int64_t value = 0;
        EXPECT_EQ(ParsePlainDecimal(c.text, value), c.plain) << c.text;
        if (c.plain) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}
