// Binding tables of the parameter pages: one row per bound control, and named rules that show or
// enable controls by the bound values. A page is mostly its table; code stays for what a row cannot say.
#pragma once

#include "product/Numbering.h"

#include <cstdint>
#include <vector>

enum class BindKind : std::uint8_t
{
    Combo,
    Time,
    Number,
    Text,
};

// What a row asks of the generic handling, or-ed.
enum BindFlag : unsigned
{
    // A change asks first when it would drop group-address associations.
    BindCheck = 1U << 0,
    // The numbers are group bases: resolved for the page's group or single device.
    BindGroup = 1U << 1,
    // The model keeps its own copy of the value: a change updates the model's device context at once.
    BindBuffered = 1U << 2,
    // Not bound when the page opens: the page's code binds it when it shows the control.
    BindDeferred = 1U << 3,
    // The page applies changes itself (questions, several parameters together).
    BindCustom = 1U << 4,
    // Display only.
    BindDisabled = 1U << 5,
    // Arrow and page keys step the number box within its window.
    BindStepping = 1U << 6,
    // The combobox offers only values within the group's base and max lightness (group bases 102 and
    // 103); the row's maximum is taken when the group has no max lightness.
    BindLightnessWindow = 1U << 7,
};

struct Binding
{
    int idc = 0;
    int labelIdc = 0;
    BindKind kind = BindKind::Combo;
    // Combobox, number box and text: the parameter. Time picker: the seconds field.
    UniqueNr number = 0;
    // Time picker only: the hours and minutes fields (0 = no such field).
    UniqueNr hours = 0;
    UniqueNr minutes = 0;
    unsigned flags = 0;
    // Combobox: the values offered (all when maximum < minimum). Number box: the clamp window.
    std::int32_t minimum = 0;
    std::int32_t maximum = -1;
    // The cache before the host is read (a time picker's minutes).
    std::int32_t start = 0;
    // Time picker: display format, and the seconds kept while hours and minutes are 0 (-1: none).
    const char* format = nullptr;
    int limit = -1;
    // The hint label beside a time picker and the number of its text.
    int hintIdc = 0;
    UniqueNr hintText = 0;
};

// Rows as the catalogue reads: a combobox, a combobox with a value window, a time picker, a number box.
constexpr Binding Combo(int idc, int labelIdc, UniqueNr number, unsigned flags = 0, std::int32_t start = 0)
{
    Binding b;
    b.idc = idc;
    b.labelIdc = labelIdc;
    b.number = number;
    b.flags = flags;
    b.start = start;
    return b;
}

constexpr Binding ComboWindow(int idc, int labelIdc, UniqueNr number, std::int32_t minimum,
                              std::int32_t maximum, unsigned flags = 0, std::int32_t start = 0)
{
    Binding b = Combo(idc, labelIdc, number, flags, start);
    b.minimum = minimum;
    b.maximum = maximum;
    return b;
}

// Time formats in use.
inline constexpr const char* kHms = "HH':'mm':'ss";
inline constexpr const char* kMs = "mm':'ss";
inline constexpr const char* kS = "ss";

constexpr Binding Time(int idc, int labelIdc, const char* format, UniqueNr hours, UniqueNr minutes,
                       UniqueNr seconds, int limit, int hintIdc, UniqueNr hintText, unsigned flags = 0,
                       std::int32_t startMinutes = 0)
{
    Binding b;
    b.idc = idc;
    b.labelIdc = labelIdc;
    b.kind = BindKind::Time;
    b.format = format;
    b.hours = hours;
    b.minutes = minutes;
    b.number = seconds;
    b.limit = limit;
    b.hintIdc = hintIdc;
    b.hintText = hintText;
    b.flags = flags;
    b.start = startMinutes;
    return b;
}

constexpr Binding NumberBox(int idc, int labelIdc, UniqueNr number, std::int32_t minimum,
                            std::int32_t maximum, unsigned flags = 0, std::int32_t start = 0)
{
    Binding b = ComboWindow(idc, labelIdc, number, minimum, maximum, flags, start);
    b.kind = BindKind::Number;
    return b;
}

// One condition of a rule over the value a bound control holds.
enum class RuleOp : std::uint8_t
{
    NotZero,
    Zero,
    Equal,
    NotEqual,
    // value is a bit mask of the accepted values 0..31
    OneOf,
};

// A term reads the value a bound control holds, or a device-wide parameter (number instead of idc).
struct RuleTerm
{
    int idc = 0;
    RuleOp op = RuleOp::NotZero;
    std::int32_t value = 0;
    bool parameter = false;
};

constexpr RuleTerm On(int idc)
{
    return {idc, RuleOp::NotZero, 0};
}
constexpr RuleTerm Off(int idc)
{
    return {idc, RuleOp::Zero, 0};
}
constexpr RuleTerm Is(int idc, std::int32_t value)
{
    return {idc, RuleOp::Equal, value};
}
constexpr RuleTerm IsNot(int idc, std::int32_t value)
{
    return {idc, RuleOp::NotEqual, value};
}

constexpr RuleTerm OneOf(int idc, std::uint32_t values)
{
    return {idc, RuleOp::OneOf, static_cast<std::int32_t>(values)};
}
constexpr RuleTerm ParamOn(UniqueNr number)
{
    return {number, RuleOp::NotZero, 0, true};
}
constexpr RuleTerm ParamOff(UniqueNr number)
{
    return {number, RuleOp::Zero, 0, true};
}
constexpr RuleTerm ParamIs(UniqueNr number, std::int32_t value)
{
    return {number, RuleOp::Equal, value, true};
}
constexpr RuleTerm ParamIsNot(UniqueNr number, std::int32_t value)
{
    return {number, RuleOp::NotEqual, value, true};
}

// A named rule: its controls are shown (or enabled) while every term holds.
struct ShowRule
{
    enum Action : std::uint8_t
    {
        Show,
        Enable,
    };
    const char* name = nullptr;
    std::vector<int> controls;
    std::vector<RuleTerm> terms;
    Action action = Show;
};

// A page's table: its rows and rules, built once per page class.
struct BindingTable
{
    std::vector<Binding> rows;
    std::vector<ShowRule> rules;
};
