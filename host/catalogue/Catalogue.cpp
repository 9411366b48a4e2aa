#include "host/catalogue/Catalogue.h"

#include "platform/DataFolders.h"
#include "product/Numbering.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <pugixml.hpp>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>

namespace {

constexpr int kFormatVersion = 1;
constexpr const char* kFileName = "VeltronaR3.catalogue.xml";
// A condition range is expanded into single values; anything longer is a mistake in the file.
constexpr std::int64_t kMaxConditionValues = 1024;
constexpr std::int64_t kMaxTemplateBase = 99999;

// Raised anywhere inside the loader and turned into the error text by Catalogue::Load.
struct LoadFailure
{
    std::ptrdiff_t offset; // into the file; -1 when no place is known
    std::string message;
};

[[noreturn]] void Fail(std::ptrdiff_t offset, std::string message)
{
    throw LoadFailure{offset, std::move(message)};
}

[[noreturn]] void Fail(pugi::xml_node node, std::string message)
{
    Fail(node ? node.offset_debug() : -1, std::move(message));
}

std::string Quote(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

std::string ElementName(pugi::xml_node node)
{
    return "<" + std::string(node.name()) + ">";
}

// ---- numbers, placeholders and ranges ----------------------------------------------------------------

std::optional<std::int64_t> ParseInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int radix = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, radix);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

// Template variables: n GroupNr, g group or single number, m member, s scene, e effect, t step slot,
// i index of a counted parameter.
enum Var : int
{
    kVarN,
    kVarG,
    kVarM,
    kVarS,
    kVarE,
    kVarT,
    kVarI,
    kVarCount
};
constexpr std::string_view kVarNames = "ngmseti";
using VarMask = unsigned;
constexpr VarMask Bit(Var v)
{
    return 1u << v;
}

struct Vars
{
    std::array<std::int64_t, kVarCount> value{};
};

// A constant, or a variable plus a constant.
struct Expr
{
    int var = -1;
    std::int64_t offset = 0;

    std::int64_t Eval(const Vars& vars) const { return (var < 0 ? 0 : vars.value[var]) + offset; }
    bool IsConstant() const { return var < 0; }
};

// Parses the inside of "{x}", "{x+k}" or "{x-k}".
Expr ParsePlaceholder(std::string_view inner, VarMask allowed, pugi::xml_node node, std::string_view where)
{
    const auto bad = [&](const std::string& why) {
        Fail(node, "placeholder {" + std::string(inner) + "} in " + std::string(where) + ": " + why);
    };
    if (inner.empty())
        bad("empty");
    const auto pos = kVarNames.find(inner.front());
    if (pos == std::string_view::npos)
        bad("unknown variable");
    if ((allowed & Bit(static_cast<Var>(pos))) == 0)
        bad("variable not available here");
    Expr e{static_cast<int>(pos), 0};
    std::string_view rest = inner.substr(1);
    if (!rest.empty()) {
        if (rest.front() != '+' && rest.front() != '-')
            bad("expected + or - after the variable");
        const auto k = ParseInteger(rest);
        if (!k)
            bad("bad number");
        e.offset = *k;
    }
    return e;
}

Expr ParseExpr(std::string_view token, VarMask allowed, pugi::xml_node node, std::string_view where)
{
    if (token.size() >= 2 && token.front() == '{' && token.back() == '}')
        return ParsePlaceholder(token.substr(1, token.size() - 2), allowed, node, where);
    const auto k = ParseInteger(token);
    if (!k)
        Fail(node, std::string(where) + ": " + Quote(token) + " is not a number");
    return Expr{-1, *k};
}

struct RangeSpec
{
    Expr low, high;
};
using Ranges = std::vector<RangeSpec>;

std::vector<std::string_view> SplitList(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t' || text[i] == '\n'))
            ++i;
        std::size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != ',' && text[j] != '\t' && text[j] != '\n')
            ++j;
        if (j > i)
            tokens.push_back(text.substr(i, j - i));
        i = j;
    }
    return tokens;
}

// "1 2", "2..16", "{t+1}..16": values and inclusive ranges.
Ranges ParseRanges(std::string_view text, VarMask allowed, pugi::xml_node node, std::string_view where)
{
    Ranges ranges;
    for (std::string_view token : SplitList(text)) {
        const auto dots = token.find("..");
        if (dots == std::string_view::npos) {
            const Expr e = ParseExpr(token, allowed, node, where);
            ranges.push_back({e, e});
        } else {
            ranges.push_back({ParseExpr(token.substr(0, dots), allowed, node, where),
                              ParseExpr(token.substr(dots + 2), allowed, node, where)});
        }
    }
    if (ranges.empty())
        Fail(node, std::string(where) + " is empty");
    for (const RangeSpec& r : ranges) {
        if (r.low.IsConstant() && r.high.IsConstant() && r.low.offset > r.high.offset)
            Fail(node, std::string(where) + ": range " + std::to_string(r.low.offset) + ".." +
                           std::to_string(r.high.offset) + " is empty");
    }
    return ranges;
}

using ConstRanges = std::vector<std::pair<std::int64_t, std::int64_t>>;

ConstRanges ParseConstRanges(std::string_view text, pugi::xml_node node, std::string_view where)
{
    ConstRanges result;
    for (const RangeSpec& r : ParseRanges(text, 0, node, where))
        result.emplace_back(r.low.offset, r.high.offset);
    return result;
}

bool InRanges(const ConstRanges& ranges, std::int64_t value)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [&](const auto& r) { return value >= r.first && value <= r.second; });
}

// A text with placeholders, e.g. "Lightness value of group {i}".
class TextTemplate
{
public:
    TextTemplate() = default;
    TextTemplate(std::string_view text, VarMask allowed, pugi::xml_node node, std::string_view where)
    {
        std::string literal;
        std::size_t i = 0;
        while (i < text.size()) {
            if (text[i] != '{') {
                literal += text[i++];
                continue;
            }
            const auto close = text.find('}', i);
            if (close == std::string_view::npos)
                Fail(node, std::string(where) + ": unterminated placeholder");
            Piece piece{std::move(literal),
                        ParsePlaceholder(text.substr(i + 1, close - i - 1), allowed, node, where)};
            m_pieces.push_back(std::move(piece));
            literal.clear();
            i = close + 1;
        }
        m_tail = std::move(literal);
    }

    bool IsConstant() const { return m_pieces.empty(); }
    const std::string& ConstantText() const { return m_tail; }

    std::string Eval(const Vars& vars) const
    {
        if (m_pieces.empty())
            return m_tail;
        std::string out;
        for (const Piece& p : m_pieces) {
            out += p.literal;
            out += std::to_string(p.expr.Eval(vars));
        }
        out += m_tail;
        return out;
    }

private:
    struct Piece
    {
        std::string literal; // before the placeholder
        Expr expr;
    };
    std::vector<Piece> m_pieces;
    std::string m_tail;
};

// ---- parameter types and templates -------------------------------------------------------------------

struct TypeDef
{
    std::int32_t baseType = 1;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::vector<CatalogueEnumValue> values;

    bool IsEnum() const { return baseType == 4 || baseType == 5; }
    bool IsText() const { return baseType == 3; }
    bool HasValue(std::int64_t v) const
    {
        return std::any_of(values.begin(), values.end(),
                           [&](const CatalogueEnumValue& e) { return e.value == v; });
    }
};

// How a template's number turns into a UniqueNr for the entity being expanded.
enum class NumberKind
{
    Absolute,
    GroupBase,   // GetGroupUniqueNr(base, n)
    MemberTable, // GetMemberUniqueNr(base, m)
    MemberBlock, // GetMemberBlockUniqueNr(base, m)
    SceneBase,   // GetSceneUniqueNr(base, s)
    EffectBase,  // GetEffectUniqueNr(base, e)
    StepBase,    // GetEffectStepUniqueNr(base, e, t)
};

std::int64_t Resolve(NumberKind kind, std::int64_t number, const Vars& vars)
{
    const auto base = static_cast<UniqueNr>(number);
    const auto arg = [&](Var v) {
        return static_cast<int>(vars.value[v]);
    };
    switch (kind) {
    case NumberKind::Absolute:
        return number;
    case NumberKind::GroupBase:
        return GetGroupUniqueNr(base, arg(kVarN));
    case NumberKind::MemberTable:
        return GetMemberUniqueNr(base, arg(kVarM));
    case NumberKind::MemberBlock:
        return GetMemberBlockUniqueNr(base, arg(kVarM));
    case NumberKind::SceneBase:
        return GetSceneUniqueNr(base, arg(kVarS));
    case NumberKind::EffectBase:
        return GetEffectUniqueNr(base, arg(kVarE));
    case NumberKind::StepBase:
        return GetEffectStepUniqueNr(base, arg(kVarE), arg(kVarT));
    }
    return number;
}

struct ParentRef
{
    NumberKind kind = NumberKind::Absolute;
    std::int64_t number = 0;
};

// Overrides for the entity numbers (GroupNr, member, scene, effect or slot) named in "for".
struct CaseSpec
{
    ConstRanges forRanges;
    std::optional<ParentRef> parent;
    std::optional<Ranges> when;
    std::optional<TextTemplate> defaultValue;
    std::optional<TextTemplate> text;
    std::optional<TextTemplate> function; // objects only
};

struct ParamTemplate
{
    std::ptrdiff_t offset = -1;
    NumberKind kind = NumberKind::Absolute;
    std::int64_t number = 0;
    std::int64_t count = 1;
    std::shared_ptr<const TypeDef> type;
    std::optional<ParentRef> parent;
    Ranges when;
    TextTemplate defaultValue;
    TextTemplate text;
    bool accessible = true;
    std::vector<CaseSpec> cases;
    std::optional<ConstRanges> only;
};

// What a Section or an enclosing Parameter hands to the parameters inside it.
struct Inherited
{
    std::optional<ParentRef> parent;
    std::optional<Ranges> when;
    std::vector<CaseSpec> cases;
    bool nested = false; // inside a Parameter: parent fixed, no "parent" attribute allowed
};

// The element a template belongs to and what it may use.
struct Scope
{
    const char* name;
    VarMask vars;           // variables its texts and conditions may use
    Var primary;            // the entity number that "for" and "only" refer to
    NumberKind plainParent; // meaning of a plain number in "parent"
    bool memberNumbering;   // table/block instead of base
};

const Scope kDeviceScope{"Device", Bit(kVarI), kVarI, NumberKind::Absolute, false};
const Scope kGroupScope{"Group", Bit(kVarN) | Bit(kVarG) | Bit(kVarI), kVarN, NumberKind::GroupBase, false};
const Scope kMemberScope{"Member", Bit(kVarM) | Bit(kVarI), kVarM, NumberKind::Absolute, true};
const Scope kSceneScope{"Scene", Bit(kVarS) | Bit(kVarI), kVarS, NumberKind::SceneBase, false};
const Scope kEffectScope{"Effect", Bit(kVarE) | Bit(kVarI), kVarE, NumberKind::EffectBase, false};
const Scope kStepScope{"Step", Bit(kVarE) | Bit(kVarT) | Bit(kVarI), kVarT, NumberKind::StepBase, false};

struct ObjectTemplate
{
    std::ptrdiff_t offset = -1;
    std::int64_t number = 0; // absolute number, or the offset inside a group's or single's range
    TextTemplate text;
    TextTemplate function;
    std::int32_t priority = 3;
    std::array<bool, 5> flags{};
    std::int32_t dptMain = -1;
    std::int32_t dptSub = -1;
    std::optional<std::int64_t> parameter; // absolute, or a group base inside GroupObjects
    Ranges when;
    std::optional<std::int64_t> unique;
    std::vector<CaseSpec> cases;
    std::optional<ConstRanges> only;
};

// ---- the loader --------------------------------------------------------------------------------------

class Loader
{
public:
    explicit Loader(Catalogue& catalogue) : m_catalogue(catalogue) {}

    void Run(pugi::xml_node root);

    std::vector<CatalogueParameter>& Parameters() { return m_params; }
    std::vector<std::ptrdiff_t>& Offsets() { return m_offsets; }
    std::vector<CatalogueObject>& Objects() { return m_objects; }
    std::vector<std::ptrdiff_t>& ObjectOffsets() { return m_objectOffsets; }

private:
    static void CheckAttributes(pugi::xml_node node, std::initializer_list<std::string_view> allowed);
    static void CheckChildren(pugi::xml_node node, std::initializer_list<std::string_view> allowed);
    static const char* Required(pugi::xml_node node, const char* attribute);
    static std::int64_t RequiredInteger(pugi::xml_node node, const char* attribute, std::int64_t low,
                                        std::int64_t high);
    static bool OptionalBool(pugi::xml_node node, const char* attribute, bool fallback);

    void ParseApplication(pugi::xml_node node);
    void ParseDatapointTypes(pugi::xml_node node);
    void ParseTypes(pugi::xml_node node);
    std::shared_ptr<const TypeDef> ParseInlineType(pugi::xml_node node);
    std::shared_ptr<const TypeDef> TypeOf(pugi::xml_node node);
    void ParseTexts(pugi::xml_node node);
    ParentRef ParseParentRef(std::string_view text, const Scope& scope, pugi::xml_node node);
    CaseSpec ParseCase(pugi::xml_node node, const Scope& scope, bool forObjects);
    void ParseContainer(pugi::xml_node node, const Scope& scope, const Inherited& inherited,
                        std::vector<ParamTemplate>& out);
    void ParseSection(pugi::xml_node node, const Scope& scope, const Inherited& outer,
                      std::vector<ParamTemplate>& out);
    void ParseParameter(pugi::xml_node node, const Scope& scope, const Inherited& inherited,
                        std::vector<ParamTemplate>& out);
    void ParseObjects(pugi::xml_node node);
    ObjectTemplate ParseObject(pugi::xml_node node, bool inGroups);

    void Expand(const std::vector<ParamTemplate>& templates, const Scope& scope, Vars& vars);
    void ExpandOne(const ParamTemplate& t, const Scope& scope, Vars& vars);
    Variant MakeDefault(const TextTemplate& text, const TypeDef& type, const Vars& vars,
                        std::ptrdiff_t offset, std::int64_t number) const;
    std::vector<std::int32_t> EvalConditions(const Ranges& ranges, const Vars& vars, std::ptrdiff_t offset,
                                             std::int64_t number) const;
    void ExpandObjects();

    Catalogue& m_catalogue;
    std::unordered_map<std::string, std::shared_ptr<const TypeDef>> m_types;
    std::vector<CatalogueParameter> m_params;
    std::vector<std::ptrdiff_t> m_offsets;

    std::vector<ParamTemplate> m_device, m_group, m_member, m_scene, m_effect, m_step;
    std::vector<ObjectTemplate> m_groupObjects;
    std::array<std::int64_t, 4> m_groupObjectLayout{}; // group base, group stride, single base, single stride
    std::vector<ObjectTemplate> m_plainObjects;
    std::int64_t m_uniqueBase = 0;
    std::vector<CatalogueObject> m_objects;
    std::vector<std::ptrdiff_t> m_objectOffsets;
};

void Loader::CheckAttributes(pugi::xml_node node, std::initializer_list<std::string_view> allowed)
{
    for (pugi::xml_attribute a : node.attributes()) {
        if (std::find(allowed.begin(), allowed.end(), std::string_view(a.name())) == allowed.end())
            Fail(node, "unknown attribute " + Quote(a.name()) + " on " + ElementName(node));
    }
}

void Loader::CheckChildren(pugi::xml_node node, std::initializer_list<std::string_view> allowed)
{
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            if (SplitList(child.value()).empty())
                continue;
            Fail(child, "unexpected text inside " + ElementName(node));
        }
        if (child.type() != pugi::node_element)
            continue;
        if (std::find(allowed.begin(), allowed.end(), std::string_view(child.name())) == allowed.end())
            Fail(child, "unexpected element " + ElementName(child) + " inside " + ElementName(node));
    }
}

const char* Loader::Required(pugi::xml_node node, const char* attribute)
{
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a)
        Fail(node, ElementName(node) + " needs the attribute " + Quote(attribute));
    return a.value();
}

std::int64_t Loader::RequiredInteger(pugi::xml_node node, const char* attribute, std::int64_t low,
                                     std::int64_t high)
{
    const char* text = Required(node, attribute);
    const auto value = ParseInteger(text);
    if (!value)
        Fail(node, "attribute " + Quote(attribute) + ": " + Quote(text) + " is not a number");
    if (*value < low || *value > high)
        Fail(node, "attribute " + Quote(attribute) + ": " + std::to_string(*value) + " outside " +
                       std::to_string(low) + ".." + std::to_string(high));
    return *value;
}

bool Loader::OptionalBool(pugi::xml_node node, const char* attribute, bool fallback)
{
    const pugi::xml_attribute a = node.attribute(attribute);
    if (!a)
        return fallback;
    const std::string_view v = a.value();
    if (v == "true")
        return true;
    if (v == "false")
        return false;
    Fail(node, "attribute " + Quote(attribute) + " must be true or false, not " + Quote(v));
}

void Loader::Run(pugi::xml_node root)
{
    if (std::string_view(root.name()) != "VeltronaCatalogue")
        Fail(root, "the root element must be <VeltronaCatalogue>, not " + ElementName(root));
    CheckAttributes(root, {"format"});
    const std::int64_t format = RequiredInteger(root, "format", 0, 1000);
    if (format != kFormatVersion)
        Fail(root, "catalogue format " + std::to_string(format) + " is not supported (expected " +
                       std::to_string(kFormatVersion) + ")");
    static constexpr std::array<std::string_view, 10> kSections = {
        "Application", "DatapointTypes", "Types", "Texts",  "Device",
        "Group",       "Member",         "Scene", "Effect", "Objects"};
    CheckChildren(root, {kSections[0], kSections[1], kSections[2], kSections[3], kSections[4], kSections[5],
                         kSections[6], kSections[7], kSections[8], kSections[9]});
    for (std::string_view section : kSections) {
        int count = 0;
        for (pugi::xml_node n = root.child(section.data()); n; n = n.next_sibling(section.data())) {
            if (++count > 1)
                Fail(n, ElementName(n) + " appears twice");
        }
    }
    const pugi::xml_node application = root.child("Application");
    if (!application)
        Fail(root, "<Application> is missing");

    // Fixed order: types before their users, parameters before the objects that depend on them.
    ParseApplication(application);
    ParseDatapointTypes(root.child("DatapointTypes"));
    ParseTypes(root.child("Types"));
    ParseTexts(root.child("Texts"));
    ParseContainer(root.child("Device"), kDeviceScope, {}, m_device);
    ParseContainer(root.child("Group"), kGroupScope, {}, m_group);
    ParseContainer(root.child("Member"), kMemberScope, {}, m_member);
    ParseContainer(root.child("Scene"), kSceneScope, {}, m_scene);
    if (const pugi::xml_node effect = root.child("Effect")) {
        ParseContainer(effect, kEffectScope, {}, m_effect);
        if (const pugi::xml_node step = effect.child("Step")) {
            if (step.next_sibling("Step"))
                Fail(step.next_sibling("Step"), "<Step> appears twice");
            ParseContainer(step, kStepScope, {}, m_step);
        }
    }
    ParseObjects(root.child("Objects"));

    // Room for every instance up front: the expansion is the bulk of the load time.
    const auto total = [](const std::vector<ParamTemplate>& list) {
        std::size_t n = 0;
        for (const ParamTemplate& t : list)
            n += static_cast<std::size_t>(t.count);
        return n;
    };
    m_params.reserve(m_params.size() + total(m_device) + total(m_group) * (kGroupCount + kSingleCount) +
                     total(m_member) * kMemberCount + total(m_scene) * kSceneCount +
                     (total(m_effect) + total(m_step) * kStepSlots) * kEffectCount);
    m_offsets.reserve(m_params.capacity());

    Vars vars;
    Expand(m_device, kDeviceScope, vars);
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        vars.value[kVarN] = n;
        vars.value[kVarG] = n <= kGroupCount ? n : n - kGroupCount;
        Expand(m_group, kGroupScope, vars);
    }
    for (int m = 1; m <= kMemberCount; ++m) {
        vars.value[kVarM] = m;
        Expand(m_member, kMemberScope, vars);
    }
    for (int s = 1; s <= kSceneCount; ++s) {
        vars.value[kVarS] = s;
        Expand(m_scene, kSceneScope, vars);
    }
    for (int e = 1; e <= kEffectCount; ++e) {
        vars.value[kVarE] = e;
        Expand(m_effect, kEffectScope, vars);
        for (int t = 1; t <= kStepSlots; ++t) {
            vars.value[kVarT] = t;
            Expand(m_step, kStepScope, vars);
        }
    }
    ExpandObjects();
}

void Loader::ParseApplication(pugi::xml_node node)
{
    CheckAttributes(node, {"manufacturerNumber", "manufacturerName", "applicationNumber",
                           "applicationVersion", "maskVersion", "name"});
    CheckChildren(node, {});
    ApplicationIdentity& app = m_catalogue.MutableApplication();
    app.manufacturerNumber =
        static_cast<std::int32_t>(RequiredInteger(node, "manufacturerNumber", 0, 0xFFFF));
    app.manufacturerName = Required(node, "manufacturerName");
    app.applicationNumber = static_cast<std::int32_t>(RequiredInteger(node, "applicationNumber", 0, 0xFFFF));
    app.applicationVersion = static_cast<std::int32_t>(RequiredInteger(node, "applicationVersion", 0, 0xFF));
    app.maskVersion = static_cast<std::int32_t>(RequiredInteger(node, "maskVersion", 0, 0xFFFF));
    app.name = Required(node, "name");
}

void Loader::ParseDatapointTypes(pugi::xml_node node)
{
    if (!node)
        return;
    CheckAttributes(node, {});
    CheckChildren(node, {"Main"});
    for (pugi::xml_node main : node.children("Main")) {
        CheckAttributes(main, {"number", "name"});
        CheckChildren(main, {"Sub"});
        DatapointTypeEntry entry;
        entry.number = static_cast<std::int32_t>(RequiredInteger(main, "number", 0, 0xFFFF));
        entry.name = Required(main, "name");
        for (const DatapointTypeEntry& known : m_catalogue.DatapointTypes()) {
            if (known.number == entry.number)
                Fail(main, "datapoint type " + std::to_string(entry.number) + " defined twice");
        }
        for (pugi::xml_node sub : main.children("Sub")) {
            CheckAttributes(sub, {"number", "name"});
            CheckChildren(sub, {});
            DatapointSubtypeEntry s;
            s.number = static_cast<std::int32_t>(RequiredInteger(sub, "number", 0, 0xFFFF));
            s.name = Required(sub, "name");
            for (const DatapointSubtypeEntry& known : entry.subtypes) {
                if (known.number == s.number)
                    Fail(sub, "datapoint subtype " + std::to_string(entry.number) + "." +
                                  std::to_string(s.number) + " defined twice");
            }
            entry.subtypes.push_back(std::move(s));
        }
        m_catalogue.AddDatapointType(std::move(entry));
    }
}

std::shared_ptr<const TypeDef> Loader::ParseInlineType(pugi::xml_node node)
{
    auto type = std::make_shared<TypeDef>();
    type->baseType = static_cast<std::int32_t>(RequiredInteger(node, "basetype", 1, 5));
    const bool hasMin = node.attribute("min");
    const bool hasMax = node.attribute("max");
    constexpr std::int64_t kLow = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kHigh = std::numeric_limits<std::uint32_t>::max();
    if (type->IsEnum()) {
        if (hasMin || hasMax)
            Fail(node, "an enumeration takes no min or max: its values give them");
        for (pugi::xml_node v : node.children("Value")) {
            CheckAttributes(v, {"v", "text"});
            CheckChildren(v, {});
            CatalogueEnumValue e;
            e.value = static_cast<std::int32_t>(
                RequiredInteger(v, "v", kLow, std::numeric_limits<std::int32_t>::max()));
            e.text = Required(v, "text");
            if (type->HasValue(e.value))
                Fail(v, "enumeration value " + std::to_string(e.value) + " listed twice");
            type->values.push_back(std::move(e));
        }
        if (type->values.empty())
            Fail(node, "an enumeration needs at least one <Value>");
        const auto [lo, hi] =
            std::minmax_element(type->values.begin(), type->values.end(),
                                [](const auto& a, const auto& b) { return a.value < b.value; });
        type->minimum = lo->value;
        type->maximum = hi->value;
    } else {
        if (node.child("Value"))
            Fail(node.child("Value"), "<Value> belongs to enumerations (basetype 4 or 5) only");
        if (type->IsText()) {
            if (hasMin)
                Fail(node, "a text takes no min: max is its longest length");
            type->minimum = 0;
            type->maximum = hasMax ? RequiredInteger(node, "max", 0, 65535) : 255;
        } else {
            if (!hasMin || !hasMax)
                Fail(node, "an integer type needs min and max");
            type->minimum = RequiredInteger(node, "min", kLow, kHigh);
            type->maximum = RequiredInteger(node, "max", kLow, kHigh);
            if (type->minimum > type->maximum)
                Fail(node, "min " + std::to_string(type->minimum) + " is above max " +
                               std::to_string(type->maximum));
        }
    }
    return type;
}

void Loader::ParseTypes(pugi::xml_node node)
{
    if (!node)
        return;
    CheckAttributes(node, {});
    CheckChildren(node, {"Type"});
    for (pugi::xml_node t : node.children("Type")) {
        CheckAttributes(t, {"id", "basetype", "min", "max"});
        CheckChildren(t, {"Value"});
        const std::string id = Required(t, "id");
        if (m_types.count(id) != 0)
            Fail(t, "type " + Quote(id) + " defined twice");
        m_types.emplace(id, ParseInlineType(t));
    }
}

std::shared_ptr<const TypeDef> Loader::TypeOf(pugi::xml_node node)
{
    const pugi::xml_attribute ref = node.attribute("type");
    if (ref && node.attribute("basetype"))
        Fail(node, "give either type or basetype, not both");
    if (ref) {
        if (node.attribute("min") || node.attribute("max") || node.child("Value"))
            Fail(node, "a parameter with type=" + Quote(ref.value()) + " takes no min, max or <Value>");
        const auto it = m_types.find(ref.value());
        if (it == m_types.end())
            Fail(node, "unknown type " + Quote(ref.value()));
        return it->second;
    }
    if (!node.attribute("basetype"))
        Fail(node, ElementName(node) + " needs a type or a basetype");
    return ParseInlineType(node);
}

void Loader::ParseTexts(pugi::xml_node node)
{
    if (!node)
        return;
    CheckAttributes(node, {});
    CheckChildren(node, {"Text"});
    for (pugi::xml_node t : node.children("Text")) {
        CheckAttributes(t, {"nr", "text", "accessible"});
        CheckChildren(t, {});
        CatalogueParameter p;
        p.uniqueNr =
            static_cast<std::int32_t>(RequiredInteger(t, "nr", 0, std::numeric_limits<std::int32_t>::max()));
        p.description = Required(t, "text");
        p.baseType = 3;
        p.minimum = 0;
        p.maximum = std::max<std::int64_t>(255, static_cast<std::int64_t>(p.description.size()));
        p.defaultValue = Variant::String(p.description);
        p.accessible = OptionalBool(t, "accessible", false);
        m_params.push_back(std::move(p));
        m_offsets.push_back(t.offset_debug());
    }
}

ParentRef Loader::ParseParentRef(std::string_view text, const Scope& scope, pugi::xml_node node)
{
    ParentRef ref;
    std::string_view number = text;
    if (!text.empty() && text.front() == '@') {
        ref.kind = NumberKind::Absolute;
        number.remove_prefix(1);
    } else if (text.substr(0, 7) == "effect:") {
        if (&scope != &kStepScope)
            Fail(node, "parent " + Quote(text) + ": effect: is known inside <Step> only");
        ref.kind = NumberKind::EffectBase;
        number.remove_prefix(7);
    } else {
        ref.kind = scope.plainParent;
    }
    const auto value = ParseInteger(number);
    if (!value || *value < 0 || *value > std::numeric_limits<std::int32_t>::max())
        Fail(node, "parent " + Quote(text) + " is not a parameter number");
    if (ref.kind != NumberKind::Absolute && *value > kMaxTemplateBase)
        Fail(node, "parent " + Quote(text) + ": a base number must lie below " +
                       std::to_string(kMaxTemplateBase + 1));
    ref.number = *value;
    return ref;
}

CaseSpec Loader::ParseCase(pugi::xml_node node, const Scope& scope, bool forObjects)
{
    if (forObjects)
        CheckAttributes(node, {"for", "text", "function"});
    else
        CheckAttributes(node, {"for", "parent", "when", "default", "text"});
    CheckChildren(node, {});
    CaseSpec c;
    c.forRanges = ParseConstRanges(Required(node, "for"), node, "for");
    if (const auto a = node.attribute("parent"))
        c.parent = ParseParentRef(a.value(), scope, node);
    if (const auto a = node.attribute("when"))
        c.when = ParseRanges(a.value(), scope.vars, node, "when");
    if (const auto a = node.attribute("default"))
        c.defaultValue = TextTemplate(a.value(), scope.vars, node, "default");
    if (const auto a = node.attribute("text"))
        c.text = TextTemplate(a.value(), scope.vars, node, "text");
    if (const auto a = node.attribute("function"))
        c.function = TextTemplate(a.value(), scope.vars, node, "function");
    if (!c.parent && !c.when && !c.defaultValue && !c.text && !c.function)
        Fail(node, "<Case> changes nothing");
    return c;
}

void Loader::ParseContainer(pugi::xml_node node, const Scope& scope, const Inherited& inherited,
                            std::vector<ParamTemplate>& out)
{
    if (!node)
        return;
    CheckAttributes(node, {});
    if (&scope == &kEffectScope)
        CheckChildren(node, {"Parameter", "Section", "Step"});
    else
        CheckChildren(node, {"Parameter", "Section"});
    for (pugi::xml_node child : node.children()) {
        const std::string_view name = child.name();
        if (name == "Parameter")
            ParseParameter(child, scope, inherited, out);
        else if (name == "Section")
            ParseSection(child, scope, inherited, out);
    }
}

void Loader::ParseSection(pugi::xml_node node, const Scope& scope, const Inherited& outer,
                          std::vector<ParamTemplate>& out)
{
    CheckAttributes(node, {"parent", "when"});
    CheckChildren(node, {"Parameter", "Case"});
    Inherited inner = outer;
    inner.parent = ParseParentRef(Required(node, "parent"), scope, node);
    inner.when.reset();
    if (const auto a = node.attribute("when"))
        inner.when = ParseRanges(a.value(), scope.vars, node, "when");
    for (pugi::xml_node c : node.children("Case"))
        inner.cases.push_back(ParseCase(c, scope, false));
    for (pugi::xml_node p : node.children("Parameter"))
        ParseParameter(p, scope, inner, out);
}

void Loader::ParseParameter(pugi::xml_node node, const Scope& scope, const Inherited& inherited,
                            std::vector<ParamTemplate>& out)
{
    CheckAttributes(node, {"nr", "base", "table", "block", "count", "type", "basetype", "min", "max",
                           "default", "text", "when", "parent", "accessible", "only"});
    CheckChildren(node, {"Value", "Case", "Parameter"});
    ParamTemplate t;
    t.offset = node.offset_debug();

    // The number, in the form the scope expands.
    if (&scope == &kDeviceScope) {
        if (node.attribute("base") || node.attribute("table") || node.attribute("block"))
            Fail(node, "a device parameter is numbered with nr");
        t.kind = NumberKind::Absolute;
        t.number = RequiredInteger(node, "nr", 0, std::numeric_limits<std::int32_t>::max());
    } else if (scope.memberNumbering) {
        if (node.attribute("nr") || node.attribute("base") ||
            (node.attribute("table") && node.attribute("block")) ||
            (!node.attribute("table") && !node.attribute("block")))
            Fail(node,
                 "a member parameter is numbered with either table (base + m) or block (base + m * 1000)");
        t.kind = node.attribute("table") ? NumberKind::MemberTable : NumberKind::MemberBlock;
        t.number = RequiredInteger(node, node.attribute("table") ? "table" : "block", 0, kMaxTemplateBase);
    } else {
        if (node.attribute("nr") || node.attribute("table") || node.attribute("block"))
            Fail(node, std::string("a parameter of <") + scope.name + "> is numbered with base");
        t.kind = scope.plainParent;
        t.number = RequiredInteger(node, "base", 0, kMaxTemplateBase);
    }
    if (node.attribute("count")) {
        t.count = RequiredInteger(node, "count", 1, 1000);
        if (node.child("Parameter"))
            Fail(node.child("Parameter"), "a counted parameter cannot have dependents");
    }

    t.type = TypeOf(node);
    if (!node.attribute("default"))
        Fail(node, ElementName(node) + " needs a default");
    t.defaultValue = TextTemplate(node.attribute("default").value(), scope.vars, node, "default");
    t.text = TextTemplate(Required(node, "text"), scope.vars, node, "text");
    t.accessible = OptionalBool(node, "accessible", true);
    if (const auto a = node.attribute("only"))
        t.only = ParseConstRanges(a.value(), node, "only");

    t.parent = inherited.parent;
    t.cases = inherited.cases;
    std::optional<Ranges> when = inherited.when;
    if (const auto a = node.attribute("parent")) {
        if (inherited.nested)
            Fail(node, "a nested parameter hangs under the enclosing one; it takes no parent");
        t.parent = ParseParentRef(a.value(), scope, node);
        when.reset();
    }
    if (const auto a = node.attribute("when"))
        when = ParseRanges(a.value(), scope.vars, node, "when");
    if (when) {
        if (!t.parent)
            Fail(node, "when without a parent");
        t.when = std::move(*when);
    }
    for (pugi::xml_node c : node.children("Case"))
        t.cases.push_back(ParseCase(c, scope, false));

    Inherited inner;
    inner.nested = true;
    inner.parent = ParentRef{t.kind, t.number};
    out.push_back(std::move(t));
    for (pugi::xml_node child : node.children("Parameter"))
        ParseParameter(child, scope, inner, out);
}

// ---- objects -----------------------------------------------------------------------------------------

ObjectTemplate Loader::ParseObject(pugi::xml_node node, bool inGroups)
{
    if (inGroups)
        CheckAttributes(
            node, {"offset", "text", "function", "dpt", "flags", "priority", "parameter", "when", "only"});
    else
        CheckAttributes(
            node, {"number", "text", "function", "dpt", "flags", "priority", "parameter", "when", "unique"});
    CheckChildren(node, inGroups ? std::initializer_list<std::string_view>{"Case"}
                                 : std::initializer_list<std::string_view>{});
    const VarMask vars = inGroups ? (Bit(kVarN) | Bit(kVarG)) : 0;
    ObjectTemplate o;
    o.offset = node.offset_debug();
    o.number =
        inGroups ? RequiredInteger(node, "offset", 1, 0xFFFF) : RequiredInteger(node, "number", 0, 0xFFFF);
    o.text = TextTemplate(Required(node, "text"), vars, node, "text");
    o.function = TextTemplate(Required(node, "function"), vars, node, "function");

    const std::string_view flags = Required(node, "flags");
    static constexpr std::string_view kFlagLetters = "CRWTU";
    for (char c : flags) {
        const auto pos = kFlagLetters.find(c);
        if (pos == std::string_view::npos)
            Fail(node,
                 "flags " + Quote(flags) + ": unknown flag " + Quote(std::string(1, c)) + " (C, R, W, T, U)");
        if (o.flags[pos])
            Fail(node, "flags " + Quote(flags) + ": " + Quote(std::string(1, c)) + " twice");
        o.flags[pos] = true;
    }

    const std::string_view priority = node.attribute("priority") ? node.attribute("priority").value() : "low";
    if (priority == "system")
        o.priority = 0;
    else if (priority == "high")
        o.priority = 1;
    else if (priority == "alarm")
        o.priority = 2;
    else if (priority == "low")
        o.priority = 3;
    else
        Fail(node, "priority " + Quote(priority) + " is none of low, high, alarm, system");

    const std::string_view dpt = Required(node, "dpt");
    const auto dot = dpt.find('.');
    const auto mainType = ParseInteger(dpt.substr(0, dot));
    const auto subType =
        dot == std::string_view::npos ? std::optional<std::int64_t>(-1) : ParseInteger(dpt.substr(dot + 1));
    if (!mainType || !subType || *mainType < 0 || *mainType > 0xFFFF || *subType > 0xFFFF ||
        (dot != std::string_view::npos && *subType < 0))
        Fail(node, "dpt " + Quote(dpt) + " is not of the form main.sub");
    const auto type = std::find_if(m_catalogue.DatapointTypes().begin(), m_catalogue.DatapointTypes().end(),
                                   [&](const DatapointTypeEntry& d) { return d.number == *mainType; });
    if (type == m_catalogue.DatapointTypes().end())
        Fail(node, "dpt " + Quote(dpt) + ": main type " + std::to_string(*mainType) +
                       " is not in <DatapointTypes>");
    if (*subType >= 0 && std::none_of(type->subtypes.begin(), type->subtypes.end(),
                                      [&](const DatapointSubtypeEntry& s) { return s.number == *subType; }))
        Fail(node,
             "dpt " + Quote(dpt) + ": subtype " + std::to_string(*subType) + " is not in <DatapointTypes>");
    o.dptMain = static_cast<std::int32_t>(*mainType);
    o.dptSub = static_cast<std::int32_t>(*subType);

    if (node.attribute("parameter"))
        o.parameter = RequiredInteger(node, "parameter", 0,
                                      inGroups ? kMaxTemplateBase : std::numeric_limits<std::int32_t>::max());
    if (const auto a = node.attribute("when")) {
        if (!o.parameter)
            Fail(node, "when without a parameter");
        o.when = ParseRanges(a.value(), vars, node, "when");
    }
    if (const auto a = node.attribute("unique"))
        o.unique = RequiredInteger(node, "unique", 0, std::numeric_limits<std::int32_t>::max());
    if (const auto a = node.attribute("only"))
        o.only = ParseConstRanges(a.value(), node, "only");
    for (pugi::xml_node c : node.children("Case"))
        o.cases.push_back(ParseCase(c, kGroupScope, true));
    return o;
}

void Loader::ParseObjects(pugi::xml_node node)
{
    if (!node)
        return;
    CheckAttributes(node, {"uniqueBase"});
    CheckChildren(node, {"GroupObjects", "Object"});
    if (node.attribute("uniqueBase"))
        m_uniqueBase =
            RequiredInteger(node, "uniqueBase", 0, std::numeric_limits<std::int32_t>::max() - 0xFFFF);
    int groupLists = 0;
    for (pugi::xml_node child : node.children()) {
        const std::string_view name = child.name();
        if (name == "Object") {
            m_plainObjects.push_back(ParseObject(child, false));
        } else if (name == "GroupObjects") {
            if (++groupLists > 1)
                Fail(child, "<GroupObjects> appears twice");
            CheckAttributes(child, {"groupBase", "groupStride", "singleBase", "singleStride"});
            CheckChildren(child, {"Object"});
            m_groupObjectLayout = {RequiredInteger(child, "groupBase", 0, 0xFFFF),
                                   RequiredInteger(child, "groupStride", 1, 0xFFFF),
                                   RequiredInteger(child, "singleBase", 0, 0xFFFF),
                                   RequiredInteger(child, "singleStride", 1, 0xFFFF)};
            for (pugi::xml_node o : child.children("Object")) {
                ObjectTemplate t = ParseObject(o, true);
                // An offset beyond the stride would run into the next group's objects.
                const auto applies = [&](std::int64_t first, std::int64_t last) {
                    return !t.only || std::any_of(t.only->begin(), t.only->end(), [&](const auto& r) {
                        return r.first <= last && r.second >= first;
                    });
                };
                if ((applies(1, kGroupCount) && t.number > m_groupObjectLayout[1]) ||
                    (applies(kGroupCount + 1, kGroupCount + kSingleCount) &&
                     t.number > m_groupObjectLayout[3]))
                    Fail(o, "offset " + std::to_string(t.number) + " does not fit the stride of the objects");
                m_groupObjects.push_back(std::move(t));
            }
        }
    }
}

// ---- expansion ---------------------------------------------------------------------------------------

Variant Loader::MakeDefault(const TextTemplate& text, const TypeDef& type, const Vars& vars,
                            std::ptrdiff_t offset, std::int64_t number) const
{
    const std::string value = text.Eval(vars);
    const auto who = [&] {
        return "parameter " + std::to_string(number) + ": default " + Quote(value);
    };
    if (type.IsText()) {
        if (static_cast<std::int64_t>(value.size()) > type.maximum)
            Fail(offset, who() + " is longer than " + std::to_string(type.maximum) + " characters");
        return Variant::String(value);
    }
    const auto n = ParseInteger(value);
    if (!n)
        Fail(offset, who() + " is not a number");
    if (type.IsEnum()) {
        if (!type.HasValue(*n))
            Fail(offset, who() + " is not one of the enumeration values");
    } else if (*n < type.minimum || *n > type.maximum) {
        Fail(offset,
             who() + " lies outside " + std::to_string(type.minimum) + ".." + std::to_string(type.maximum));
    }
    if (*n > std::numeric_limits<std::int32_t>::max())
        return Variant::UI4(static_cast<std::uint32_t>(*n));
    return Variant::I4(static_cast<std::int32_t>(*n));
}

std::vector<std::int32_t> Loader::EvalConditions(const Ranges& ranges, const Vars& vars,
                                                 std::ptrdiff_t offset, std::int64_t number) const
{
    std::vector<std::int32_t> values;
    if (ranges.empty())
        return values;
    values.reserve(ranges.size());
    for (const RangeSpec& r : ranges) {
        const std::int64_t low = r.low.Eval(vars);
        const std::int64_t high = r.high.Eval(vars);
        if (low > high)
            Fail(offset, "parameter " + std::to_string(number) + ": condition range " + std::to_string(low) +
                             ".." + std::to_string(high) + " is empty");
        if (high - low >= kMaxConditionValues || low < std::numeric_limits<std::int32_t>::min() ||
            high > std::numeric_limits<std::int32_t>::max())
            Fail(offset, "parameter " + std::to_string(number) + ": condition range " + std::to_string(low) +
                             ".." + std::to_string(high) + " is too large");
        for (std::int64_t v = low; v <= high; ++v)
            values.push_back(static_cast<std::int32_t>(v));
    }
    if (ranges.size() > 1) {
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
    }
    return values;
}

void Loader::Expand(const std::vector<ParamTemplate>& templates, const Scope& scope, Vars& vars)
{
    for (const ParamTemplate& t : templates)
        ExpandOne(t, scope, vars);
}

void Loader::ExpandOne(const ParamTemplate& t, const Scope& scope, Vars& vars)
{
    const std::int64_t primary = vars.value[scope.primary];
    if (t.only && !InRanges(*t.only, primary))
        return;
    const std::optional<ParentRef>* parent = &t.parent;
    const Ranges* when = &t.when;
    const TextTemplate* defaultValue = &t.defaultValue;
    const TextTemplate* text = &t.text;
    std::optional<ParentRef> parentOverride;
    for (const CaseSpec& c : t.cases) {
        if (!InRanges(c.forRanges, primary))
            continue;
        if (c.parent) {
            parentOverride = c.parent;
            parent = &parentOverride;
        }
        if (c.when) {
            if (!*parent)
                Fail(t.offset, "a <Case> gives a condition to a parameter without a parent");
            when = &*c.when;
        }
        if (c.defaultValue)
            defaultValue = &*c.defaultValue;
        if (c.text)
            text = &*c.text;
    }

    // A constant numeric default is the same for every instance: check it once.
    std::optional<Variant> constantDefault;
    if (defaultValue->IsConstant())
        constantDefault =
            MakeDefault(*defaultValue, *t.type, vars, t.offset, Resolve(t.kind, t.number, vars));

    for (std::int64_t i = 0; i < t.count; ++i) {
        vars.value[kVarI] = i + 1;
        const std::int64_t number = Resolve(t.kind, t.number + i, vars);
        if (number < 0 || number > std::numeric_limits<std::int32_t>::max())
            Fail(t.offset, "parameter number " + std::to_string(number) + " is out of range");
        CatalogueParameter p;
        p.uniqueNr = static_cast<std::int32_t>(number);
        p.baseType = t.type->baseType;
        p.minimum = t.type->minimum;
        p.maximum = t.type->maximum;
        p.enumValues = t.type->values;
        p.defaultValue =
            constantDefault ? *constantDefault : MakeDefault(*defaultValue, *t.type, vars, t.offset, number);
        p.description = text->Eval(vars);
        p.accessible = t.accessible;
        if (*parent) {
            const std::int64_t parentNr = Resolve((*parent)->kind, (*parent)->number, vars);
            p.parent = static_cast<std::int32_t>(parentNr);
            p.conditionValues = EvalConditions(*when, vars, t.offset, number);
        }
        m_params.push_back(std::move(p));
        m_offsets.push_back(t.offset);
    }
}

void Loader::ExpandObjects()
{
    const auto make = [&](const ObjectTemplate& t, std::int64_t number, std::optional<std::int64_t> parameter,
                          const Vars& vars, const TextTemplate& text, const TextTemplate& function) {
        if (number > 0xFFFF)
            Fail(t.offset, "object number " + std::to_string(number) + " is out of range");
        CatalogueObject o;
        o.number = static_cast<std::uint16_t>(number);
        o.uniqueNumber = static_cast<std::int32_t>(t.unique ? *t.unique : m_uniqueBase + number);
        o.text = text.Eval(vars);
        o.functionText = function.Eval(vars);
        o.priority = t.priority;
        std::copy(t.flags.begin(), t.flags.end(), std::begin(o.flags));
        o.datapointMain = t.dptMain;
        o.datapointSub = t.dptSub;
        if (parameter) {
            o.parameter = static_cast<std::int32_t>(*parameter);
            o.conditionValues = EvalConditions(t.when, vars, t.offset, *parameter);
        }
        m_objects.push_back(std::move(o));
        m_objectOffsets.push_back(t.offset);
    };

    Vars vars;
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        const bool single = n > kGroupCount;
        const int k = single ? n - kGroupCount : n;
        vars.value[kVarN] = n;
        vars.value[kVarG] = k;
        const std::int64_t base = m_groupObjectLayout[single ? 2 : 0];
        const std::int64_t stride = m_groupObjectLayout[single ? 3 : 1];
        for (const ObjectTemplate& t : m_groupObjects) {
            if (t.only && !InRanges(*t.only, n))
                continue;
            const TextTemplate* text = &t.text;
            const TextTemplate* function = &t.function;
            for (const CaseSpec& c : t.cases) {
                if (!InRanges(c.forRanges, n))
                    continue;
                if (c.text)
                    text = &*c.text;
                if (c.function)
                    function = &*c.function;
            }
            std::optional<std::int64_t> parameter;
            if (t.parameter)
                parameter = GetGroupUniqueNr(static_cast<UniqueNr>(*t.parameter), n);
            make(t, base + (k - 1) * stride + t.number, parameter, vars, *text, *function);
        }
    }
    for (const ObjectTemplate& t : m_plainObjects)
        make(t, t.number, t.parameter, vars, t.text, t.function);
}

// ---- checks over the expanded catalogue --------------------------------------------------------------

std::string ConditionProblem(const CatalogueParameter& parent, const std::vector<std::int32_t>& values)
{
    if (values.empty())
        return {};
    if (parent.baseType == 3)
        return "conditions on the text parameter " + std::to_string(parent.uniqueNr);
    for (std::int32_t v : values) {
        if (parent.baseType == 4 || parent.baseType == 5) {
            if (std::none_of(parent.enumValues.begin(), parent.enumValues.end(),
                             [&](const CatalogueEnumValue& e) { return e.value == v; }))
                return "condition value " + std::to_string(v) + " is not a value of parameter " +
                       std::to_string(parent.uniqueNr);
        } else if (v < parent.minimum || v > parent.maximum) {
            return "condition value " + std::to_string(v) + " lies outside the range of parameter " +
                   std::to_string(parent.uniqueNr);
        }
    }
    return {};
}

std::size_t LineOf(std::string_view text, std::ptrdiff_t offset)
{
    const auto end = static_cast<std::size_t>(
        std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size())));
    return 1 + static_cast<std::size_t>(
                   std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

} // namespace

// ---- Catalogue ---------------------------------------------------------------------------------------

std::optional<Catalogue> Catalogue::Load(const std::string& path, std::string* error)
{
    const auto report = [&](std::string message) -> std::optional<Catalogue> {
        if (error)
            *error = std::move(message);
        return std::nullopt;
    };

    std::ifstream file(path, std::ios::binary);
    if (!file)
        return report(path + ": cannot open the catalogue file");
    const std::string content{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        return report(path + ": cannot read the catalogue file");

    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(content.data(), content.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0));
        const std::size_t lineStart = offset == 0 ? std::string::npos : content.rfind('\n', offset - 1);
        const std::size_t column = lineStart == std::string::npos ? offset + 1 : offset - lineStart;
        const std::size_t line = LineOf(content, parsed.offset);
        return report(path + ":" + std::to_string(line) + ":" + std::to_string(column) +
                      ": not well-formed XML: " + parsed.description());
    }

    const auto located = [&](std::ptrdiff_t offset, const std::string& message) {
        return offset < 0 ? path + ": " + message
                          : path + ":" + std::to_string(LineOf(content, offset)) + ": " + message;
    };

    Catalogue catalogue;
    try {
        Loader loader(catalogue);
        loader.Run(doc.document_element());

        // Parameters, ascending by UniqueNr; a number may be defined once.
        std::vector<CatalogueParameter>& params = loader.Parameters();
        const std::vector<std::ptrdiff_t>& offsets = loader.Offsets();
        // (UniqueNr, position in the file's expansion order): equal numbers keep the file's order.
        std::vector<std::pair<std::int32_t, std::uint32_t>> order(params.size());
        for (std::uint32_t i = 0; i < order.size(); ++i)
            order[i] = {params[i].uniqueNr, i};
        // Expansion runs are already ascending, which a merge sort exploits.
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::ptrdiff_t> sortedOffsets;
        sortedOffsets.reserve(order.size());
        catalogue.m_parameters.reserve(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (i > 0 && order[i].first == order[i - 1].first)
                Fail(offsets[order[i].second],
                     "parameter " + std::to_string(order[i].first) + " is defined twice (first at line " +
                         std::to_string(LineOf(content, offsets[order[i - 1].second])) + ")");
            catalogue.m_parameters.push_back(std::move(params[order[i].second]));
            sortedOffsets.push_back(offsets[order[i].second]);
        }
        catalogue.m_dependents.resize(catalogue.m_parameters.size());

        // The dependency tree: parents exist, conditions fit the parent, no cycles.
        std::vector<std::int32_t> parentIndex(catalogue.m_parameters.size(), -1);
        for (std::size_t i = 0; i < catalogue.m_parameters.size(); ++i) {
            const CatalogueParameter& p = catalogue.m_parameters[i];
            if (!p.parent)
                continue;
            const std::size_t at = catalogue.PositionOf(*p.parent);
            if (at == catalogue.m_parameters.size())
                Fail(sortedOffsets[i], "parameter " + std::to_string(p.uniqueNr) + ": its parent " +
                                           std::to_string(*p.parent) + " does not exist");
            if (const std::string problem = ConditionProblem(catalogue.m_parameters[at], p.conditionValues);
                !problem.empty())
                Fail(sortedOffsets[i], "parameter " + std::to_string(p.uniqueNr) + ": " + problem);
            parentIndex[i] = static_cast<std::int32_t>(at);
            catalogue.m_dependents[at].push_back(p.uniqueNr);
        }
        std::vector<std::uint8_t> state(parentIndex.size(), 0); // 0 unvisited, 1 on the current path, 2 done
        std::vector<std::int32_t> chain;
        for (std::size_t start = 0; start < parentIndex.size(); ++start) {
            chain.clear();
            for (std::int32_t i = static_cast<std::int32_t>(start);
                 i >= 0 && state[static_cast<std::size_t>(i)] != 2;
                 i = parentIndex[static_cast<std::size_t>(i)]) {
                if (state[static_cast<std::size_t>(i)] == 1)
                    Fail(sortedOffsets[static_cast<std::size_t>(i)],
                         "parameter " +
                             std::to_string(catalogue.m_parameters[static_cast<std::size_t>(i)].uniqueNr) +
                             " depends on itself through its parents");
                state[static_cast<std::size_t>(i)] = 1;
                chain.push_back(i);
            }
            for (std::int32_t i : chain)
                state[static_cast<std::size_t>(i)] = 2;
        }

        // Objects, ascending by number; each depends on an existing parameter with fitting conditions.
        std::vector<CatalogueObject>& objects = loader.Objects();
        const std::vector<std::ptrdiff_t>& objectOffsets = loader.ObjectOffsets();
        std::vector<std::uint32_t> objectOrder(objects.size());
        for (std::uint32_t i = 0; i < objectOrder.size(); ++i)
            objectOrder[i] = i;
        std::stable_sort(objectOrder.begin(), objectOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
            return objects[a].number < objects[b].number;
        });
        for (std::size_t i = 0; i < objectOrder.size(); ++i) {
            const CatalogueObject& o = objects[objectOrder[i]];
            const std::ptrdiff_t offset = objectOffsets[objectOrder[i]];
            if (i > 0 && o.number == objects[objectOrder[i - 1]].number)
                Fail(offset, "object " + std::to_string(o.number) + " is defined twice (first at line " +
                                 std::to_string(LineOf(content, objectOffsets[objectOrder[i - 1]])) + ")");
            if (o.parameter) {
                const CatalogueParameter* p = catalogue.FindParameter(*o.parameter);
                if (!p)
                    Fail(offset, "object " + std::to_string(o.number) + ": its parameter " +
                                     std::to_string(*o.parameter) + " does not exist");
                if (const std::string problem = ConditionProblem(*p, o.conditionValues); !problem.empty())
                    Fail(offset, "object " + std::to_string(o.number) + ": " + problem);
            }
        }
        catalogue.m_objects.reserve(objects.size());
        for (std::uint32_t i : objectOrder)
            catalogue.m_objects.push_back(std::move(objects[i]));
        std::vector<std::pair<std::int32_t, std::size_t>> uniques;
        for (std::size_t i = 0; i < catalogue.m_objects.size(); ++i)
            uniques.emplace_back(catalogue.m_objects[i].uniqueNumber, i);
        std::sort(uniques.begin(), uniques.end());
        for (std::size_t i = 1; i < uniques.size(); ++i) {
            if (uniques[i].first == uniques[i - 1].first)
                Fail(-1, "objects " + std::to_string(catalogue.m_objects[uniques[i - 1].second].number) +
                             " and " + std::to_string(catalogue.m_objects[uniques[i].second].number) +
                             " share the unique number " + std::to_string(uniques[i].first));
        }
    } catch (const LoadFailure& failure) {
        return report(located(failure.offset, failure.message));
    }
    if (error)
        error->clear();
    return catalogue;
}

std::string Catalogue::DefaultPath()
{
    namespace fs = std::filesystem;
    if (const char* env = std::getenv("VELTRONA_CATALOGUE"); env && *env)
        return env;
    // Beside the program, then in its data folders; nothing else is searched.
    std::vector<fs::path> candidates;
    if (const fs::path dir = ProgramFolder(); !dir.empty()) {
        candidates.push_back(dir / kFileName);
        for (const fs::path& data : DataFoldersBeside(dir))
            candidates.push_back(data / kFileName);
    }
    std::error_code ec;
    for (const fs::path& candidate : candidates) {
        if (fs::is_regular_file(candidate, ec))
            return candidate.string();
    }
    return candidates.size() > 1 ? candidates[1].string() : std::string(kFileName);
}

std::size_t Catalogue::PositionOf(std::int32_t uniqueNr) const
{
    const auto it =
        std::lower_bound(m_parameters.begin(), m_parameters.end(), uniqueNr,
                         [](const CatalogueParameter& p, std::int32_t n) { return p.uniqueNr < n; });
    return it != m_parameters.end() && it->uniqueNr == uniqueNr
               ? static_cast<std::size_t>(it - m_parameters.begin())
               : m_parameters.size();
}

const CatalogueParameter* Catalogue::FindParameter(std::int32_t uniqueNr) const
{
    const std::size_t at = PositionOf(uniqueNr);
    return at == m_parameters.size() ? nullptr : &m_parameters[at];
}

const std::vector<std::int32_t>& Catalogue::Dependents(std::int32_t uniqueNr) const
{
    static const std::vector<std::int32_t> kNone;
    const std::size_t at = PositionOf(uniqueNr);
    return at == m_parameters.size() ? kNone : m_dependents[at];
}

const CatalogueObject* Catalogue::FindObject(std::uint16_t number) const
{
    const auto it = std::lower_bound(m_objects.begin(), m_objects.end(), number,
                                     [](const CatalogueObject& o, std::uint16_t n) { return o.number < n; });
    return it != m_objects.end() && it->number == number ? &*it : nullptr;
}

void Catalogue::AddParameter(CatalogueParameter parameter)
{
    const auto link = [this](std::int32_t uniqueNr, std::int32_t parent) {
        const std::size_t at = PositionOf(parent);
        if (at == m_parameters.size())
            return; // linked when the parent arrives
        std::vector<std::int32_t>& list = m_dependents[at];
        list.insert(std::lower_bound(list.begin(), list.end(), uniqueNr), uniqueNr);
    };

    const std::int32_t nr = parameter.uniqueNr;
    const std::optional<std::int32_t> parent = parameter.parent;
    const auto pos =
        std::lower_bound(m_parameters.begin(), m_parameters.end(), nr,
                         [](const CatalogueParameter& p, std::int32_t n) { return p.uniqueNr < n; });
    const auto at = static_cast<std::size_t>(pos - m_parameters.begin());
    if (pos != m_parameters.end() && pos->uniqueNr == nr) {
        if (pos->parent) {
            if (const std::size_t old = PositionOf(*pos->parent); old != m_parameters.size())
                std::erase(m_dependents[old], nr);
        }
        *pos = std::move(parameter);
    } else {
        m_parameters.insert(pos, std::move(parameter));
        m_dependents.insert(m_dependents.begin() + static_cast<std::ptrdiff_t>(at),
                            std::vector<std::int32_t>{});
        // Children added before their parent hang under it now.
        for (const CatalogueParameter& p : m_parameters) {
            if (p.parent == nr)
                m_dependents[at].push_back(p.uniqueNr);
        }
    }
    if (parent)
        link(nr, *parent);
}

void Catalogue::AddObject(CatalogueObject object)
{
    const auto pos = std::lower_bound(m_objects.begin(), m_objects.end(), object.number,
                                      [](const CatalogueObject& o, std::uint16_t n) { return o.number < n; });
    if (pos != m_objects.end() && pos->number == object.number)
        *pos = std::move(object);
    else
        m_objects.insert(pos, std::move(object));
}

void Catalogue::AddDatapointType(DatapointTypeEntry type)
{
    const auto pos =
        std::lower_bound(m_datapointTypes.begin(), m_datapointTypes.end(), type.number,
                         [](const DatapointTypeEntry& t, std::int32_t n) { return t.number < n; });
    if (pos != m_datapointTypes.end() && pos->number == type.number)
        *pos = std::move(type);
    else
        m_datapointTypes.insert(pos, std::move(type));
}
