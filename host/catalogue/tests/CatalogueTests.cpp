#include "host/catalogue/Catalogue.h"
#include "product/Numbering.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

// The shipped catalogue, loaded once for the whole suite.
class ShippedCatalogue : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        s_catalogue = Catalogue::Load(Catalogue::DefaultPath(), &error);
        s_error = error;
    }

    void SetUp() override { ASSERT_TRUE(s_catalogue) << s_error; }

    static const Catalogue& Cat() { return *s_catalogue; }

    static const CatalogueParameter& Param(std::int32_t nr)
    {
        const CatalogueParameter* p = Cat().FindParameter(nr);
        if (!p)
            throw std::runtime_error("no parameter " + std::to_string(nr));
        return *p;
    }

    // Every parameter below root (root included), depth first.
    static std::vector<std::int32_t> Subtree(std::int32_t root)
    {
        std::vector<std::int32_t> out;
        std::function<void(std::int32_t)> walk = [&](std::int32_t nr) {
            out.push_back(nr);
            for (std::int32_t child : Cat().Dependents(nr))
                walk(child);
        };
        walk(root);
        return out;
    }

    // Whether nr is root or hangs somewhere below it.
    static bool IsBelow(std::int32_t nr, std::int32_t root)
    {
        for (const CatalogueParameter* p = Cat().FindParameter(nr); p;
             p = p->parent ? Cat().FindParameter(*p->parent) : nullptr) {
            if (p->uniqueNr == root)
                return true;
        }
        return false;
    }

    static std::string EnumText(std::int32_t nr, std::int32_t value)
    {
        for (const CatalogueEnumValue& e : Param(nr).enumValues) {
            if (e.value == value)
                return e.text;
        }
        return "<none>";
    }

    static inline std::optional<Catalogue> s_catalogue;
    static inline std::string s_error;
};

std::string Join(const std::vector<std::int32_t>& numbers)
{
    std::ostringstream out;
    for (std::size_t i = 0; i < numbers.size() && i < 20; ++i)
        out << (i ? ", " : "") << numbers[i];
    if (numbers.size() > 20)
        out << ", ... (" << numbers.size() << " in all)";
    return out.str();
}

TEST_F(ShippedCatalogue, ApplicationIdentityIsTheR3Program)
{
    const ApplicationIdentity& app = Cat().Application();
    EXPECT_NE(app.applicationNumber, 0xC00C) << "the previous generation's number";
    EXPECT_GT(app.applicationNumber, 0);
    EXPECT_LE(app.applicationNumber, 0xFFFF);
    EXPECT_GT(app.manufacturerNumber, 0);
    EXPECT_LE(app.applicationVersion, 0xFF);
    EXPECT_GT(app.maskVersion, 0);
    EXPECT_FALSE(app.manufacturerName.empty());
    EXPECT_FALSE(app.name.empty());
}

TEST_F(ShippedCatalogue, EveryParameterTheModelUsesResolves)
{
    std::vector<std::int32_t> wanted = {
        // labels, captions and messages by number
        200, 210, 700, 701, 702, 703, 704, 705, 706, 709, 710, 711, 712, 713, 714, 717, 774, 801, 802, 803,
        804, 805, 806, 807, 808, 809, 810, 811, 812, 815, 816, 817, 819, 820, 821, 822, 823, 824, 825, 826,
        827, 828, 829, 830, 831, 832, 833, 834, 835, 836, 837, 838, 851, 852, 853, 854, 855, 856, 857, 858,
        859, 860, 861, 862, 863, 864, 865, 866, 867, 868, 869, 870, 871, 872, 874, 875, 876, 877, 878, 879,
        880, 881, 882, 883, 884, 885, 886, 887, 889, 890, 891, 892, 893, 895, 896, 897, 898, 899, 901, 902,
        903, 904, 905, 906, 907, 908, 909, 910, 911, 912, 913, 914, 915, 916, 917, 920, 921, 922, 923, 924,
        925, 926, 927, 928, 929, 930, 931, 932, 933, 934, 935, 936, 937, 938, 939, 940, 941, 942, 943, 944,
        945, 946, 947, 948, 949, 950, 951, 952, 953, 954, 955, 956, 957, 958, 959, 960, 961, 962, 963, 964,
        965, 966, 967, 968, 969, 970, 971, 972, 973, 974, 975, 976, 977, 978, 979, 980, 981, 982, 983, 984,
        985, 986, 987, 988, 989, 990, 991, 992, 993, 994, 995, 998, 1200, 1300, 1400, 1500,
        // device-wide values
        716, 721, 722, 723, 724, 725, 726, 727, 728, 729, 730, 731, 732, 733, 734, 735, 736, 738, 739, 740,
        741, 742, 746, 747, 760, 761, 762, 763, 764, 766, 767, 768, 769, 770, 772, 773, 775, 776, 777, 778,
        799,
        // device configuration
        65002, 65003, 65004, 65005, 65006, 65007, 65008, 65009, 65010, 65011, 65012, 65013, 65014, 65015,
        65017, 65018, 65019, 65020, 65021, 65022, 65023, 65024, 65026, 65027, 65028, 65029, 65030, 65031,
        65032, 65033, 65034, 65035, 65036, 65037, 65038, 65039, 65040, 65041, 65042, 65043, 65044, 65045,
        65047, 65048, 65049, 65051, 65052, 65053, 65054, 65055, 65056, 65057,
        // first entities read for label defaults and the member type list
        1101, 401, 1601, 15701, 1597};

    // The bases every group and every single owns; a single also owns its gear's 274 and 598.
    std::vector<std::int32_t> groupBases;
    for (int b = 101; b <= 123; ++b) {
        if (b != 121)
            groupBases.push_back(b);
    }
    for (int b : {201, 202, 203, 204, 205})
        groupBases.push_back(b);
    for (int b = 230; b <= 243; ++b)
        groupBases.push_back(b);
    for (int b = 301; b <= 336; ++b)
        groupBases.push_back(b);
    for (int b = 401; b <= 439; ++b) {
        if (b != 409 && b != 410 && b != 423 && b != 424 && b != 430 && b != 435)
            groupBases.push_back(b);
    }
    for (int b = 580; b <= 585; ++b)
        groupBases.push_back(b);
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        for (int b : groupBases)
            wanted.push_back(GetGroupUniqueNr(b, n));
        if (n > kGroupCount) {
            wanted.push_back(GetGroupUniqueNr(274, n));
            wanted.push_back(GetGroupUniqueNr(598, n));
        }
    }
    for (int m = 1; m <= kMemberCount; ++m) {
        for (int b : {400, 500, 600, 26700, 27700})
            wanted.push_back(GetMemberUniqueNr(b, m));
        for (int b : {274, 597, 598})
            wanted.push_back(GetMemberBlockUniqueNr(b, m));
    }
    for (int s = 1; s <= kSceneCount; ++s) {
        for (int b :
             {601, 602, 603, 604, 605, 606, 607, 608, 609, 642, 643, 20600, 20601, 20602, 20667, 20668})
            wanted.push_back(GetSceneUniqueNr(b, s));
        for (int n = 1; n <= kGroupCount + kSingleCount; ++n)
            wanted.push_back(GetSceneValueUniqueNr(s, n));
    }
    for (int e = 1; e <= kEffectCount; ++e) {
        for (int b : {10700, 11700, 12700, 13700, 14700, 15700})
            wanted.push_back(GetEffectUniqueNr(b, e));
        for (int t = 1; t <= kStepSlots; ++t) {
            for (int b : {16700, 17700, 18700, 19700, 20700, 21700, 22700, 23700, 24700})
                wanted.push_back(GetEffectStepUniqueNr(b, e, t));
        }
    }
    for (int i = 0; i < kEffectValueCount; i += 4)
        wanted.push_back(GetEffectUniqueNr(25700, i / 4));

    std::vector<std::int32_t> missing;
    for (std::int32_t nr : wanted) {
        if (!Cat().FindParameter(nr))
            missing.push_back(nr);
    }
    EXPECT_TRUE(missing.empty()) << "missing: " << Join(missing);
    EXPECT_EQ(Param(25949).uniqueNr, 25949);
    EXPECT_FALSE(Cat().FindParameter(25950)) << "the effect value table ends at value 999";
}

TEST_F(ShippedCatalogue, TextsCarryTheEnglishDefaults)
{
    struct Case
    {
        std::int32_t nr;
        const char* text;
    };
    // As descriptions (labels) and as values (messages): a text parameter gives both.
    const Case cases[] = {
        {823, "OK"},
        {801, "Cancel"},
        {816, "Help"},
        {700, "General"},
        {701, "Manual control"},
        {709, "Addressing"},
        {703, "Scenes"},
        {704, "Export/Import"},
        {705, "Commissioning"},
        {706, "Test"},
        {702, "Groups"},
        {710, "Devices"},
        {1200, "Switching"},
        {1300, "Dimming"},
        {1400, "Switch style"},
        {1500, "Staircase function"},
        {210, "Hourmeter"},
        {200, "Emergency lamps"},
        {774, "Emergency feedback"},
        {711, "Effects"},
        {989, "Step"},
        {993, "Stop"},
        {882, "Objects"},
        {991, "Multitype EL"},
        {951, "No connection to DALI device"},
        {712, "DALI communication"},
        {717, "DALI standby shutdown"},
        {933, "GA associations getting lost"},
        {934, "Continue?"},
        {903, "Warning"},
        {979, "EVG assignments getting lost"},
        {998, "Scene assignments getting lost"},
        {966, "DALI groups or devices getting lost"},
        {970, "Effect table overflow"},
        {965, "Exchange device %d and %d?"},
        {939, "Smaller than min value (%s)"},
        {938, "Larger than max value (%s)"},
        {855, "Device: %s Address: %s"},
        {994, "E-lamp"},
        {992, "[mm:ss.s]"},
        {904, "DALI not up to date"},
        {905, "Download necessary"},
        {950, "Unknown file format"},
    };
    for (const Case& c : cases) {
        const CatalogueParameter& p = Param(c.nr);
        EXPECT_EQ(p.description, c.text) << c.nr;
        EXPECT_EQ(p.defaultValue, Variant::String(c.text)) << c.nr;
    }
    // Texts without an English default in the program still read as real sentences.
    for (std::int32_t nr :
         {930, 931, 932, 941, 942, 946, 949, 866, 879, 891, 909, 911, 912, 969, 972, 976, 990})
        EXPECT_GT(Param(nr).description.size(), 5u) << nr;

    // Label sources that are not texts: defaults of names, captions of fields, enumeration texts.
    EXPECT_EQ(Param(1101).defaultValue, Variant::String("Group"));
    EXPECT_EQ(Param(401).defaultValue, Variant::String("Member"));
    EXPECT_EQ(Param(1601).defaultValue, Variant::String("Scene"));
    EXPECT_EQ(Param(15701).defaultValue, Variant::String("Effect"));
    EXPECT_EQ(Param(1597).description, "Type");
    EXPECT_EQ(Param(GetSceneUniqueNr(642, 3)).description, "Save");
    EXPECT_EQ(EnumText(65014, 0), "Central");
    EXPECT_EQ(EnumText(65026, 0), "centrally supplied");
    EXPECT_EQ(EnumText(65026, 1), "individually supplied");
    EXPECT_NE(EnumText(65026, 2), "<none>");
    EXPECT_EQ(EnumText(65027, 0), "EL");
    EXPECT_EQ(EnumText(65027, 1), "EL + KNX");
    EXPECT_EQ(EnumText(65027, 2), "EL + KNX + DALI");
    EXPECT_EQ(EnumText(1597, 255), "Multitype");
    EXPECT_EQ(EnumText(64597, 1), "Emergency lighting");
}

TEST_F(ShippedCatalogue, DefaultsLieWithinTheirTypes)
{
    std::vector<std::int32_t> bad;
    for (const CatalogueParameter& p : Cat().Parameters()) {
        bool ok = !p.description.empty() && p.baseType >= 1 && p.baseType <= 5 && p.minimum <= p.maximum;
        if (p.baseType == 3) {
            ok = ok && p.defaultValue.vt() == VT_BSTR &&
                 static_cast<std::int64_t>(p.defaultValue.bstrVal().size()) <= p.maximum;
        } else {
            const std::int64_t v =
                p.defaultValue.vt() == VT_UI4 ? p.defaultValue.ulVal() : p.defaultValue.lVal();
            ok = ok && (p.defaultValue.vt() == VT_I4 || p.defaultValue.vt() == VT_UI4) && v >= p.minimum &&
                 v <= p.maximum;
            if (p.baseType == 4 || p.baseType == 5) {
                std::set<std::int32_t> values;
                for (const CatalogueEnumValue& e : p.enumValues)
                    ok = ok && values.insert(e.value).second && !e.text.empty();
                ok = ok && values.count(static_cast<std::int32_t>(v)) == 1;
            } else {
                ok = ok && p.enumValues.empty();
            }
        }
        if (!ok)
            bad.push_back(p.uniqueNr);
    }
    EXPECT_TRUE(bad.empty()) << Join(bad);
    EXPECT_TRUE(std::is_sorted(Cat().Parameters().begin(), Cat().Parameters().end(),
                               [](const auto& a, const auto& b) { return a.uniqueNr < b.uniqueNr; }));
}

TEST_F(ShippedCatalogue, TypesAndRangesFitWhatTheModelWrites)
{
    struct Range
    {
        std::int32_t nr;
        std::int32_t baseType; // 0: integer of either kind
        std::int64_t min, max;
    };
    const Range ranges[] = {
        {GetMemberUniqueNr(600, 7), 0, 0, 4294967295},           // group mask, bit 31 included
        {GetSceneUniqueNr(609, 2), 0, 0, 4294967295},            // scene masks
        {GetSceneUniqueNr(20601, 2), 0, 0, 4294967295},          //
        {GetEffectStepUniqueNr(16700, 3, 16), 0, 0, 4294967295}, // step masks
        {GetEffectStepUniqueNr(19700, 3, 16), 0, 0, 65535},      // scene keys 97..112
        {25700, 0, 0, 4294967295},                               // effect value table words
        {25949, 0, 0, 4294967295},                               //
        {GetEffectStepUniqueNr(20700, 16, 16), 0, 0, 1000},      // table position
        {GetSceneValueUniqueNr(5, 7), 0, 0, 173},                // scene values of groups and singles
        {GetSceneValueUniqueNr(5, 96), 0, 0, 173},               //
        {GetSceneUniqueNr(20600, 16), 0, 0, 64},                 // KNX scene number
        {GetEffectUniqueNr(10700, 16), 0, 0, 64},                // KNX effect number
        {GetEffectUniqueNr(12700, 1), 0, 0, 16},                 // step count
        {GetEffectUniqueNr(13700, 1), 0, 0, 500},                // passes
        {GetEffectStepUniqueNr(24700, 1, 1), 0, 0, 9},           // tenths of the delay
        {GetEffectStepUniqueNr(23700, 1, 1), 0, 0, 59},          //
        {GetGroupUniqueNr(301, 40), 0, 0, 23},                   // hours of a dim time
        {GetGroupUniqueNr(313, 40), 0, 0, 65535},                // time per tick, byte-swapped
        {GetGroupUniqueNr(584, 3), 0, 1, 65535},                 // hour meter limit
        {GetMemberUniqueNr(500, 64), 0, 0, 16777215},            // random address
        {GetMemberUniqueNr(26700, 64), 0, 0, 255},               // found type
        {721, 0, 0, 65535},                                      // project identity
        {722, 0, 0, 65535},
        {723, 0, 0, 65535},
        {65015, 0, 0, 255},                     // load counter
        {65014, 4, 0, 5},                       // addressing mode
        {799, 4, 0, 1},                         // reconstruction request
        {GetGroupUniqueNr(102, 1), 4, 0, 173},  // lightness values are enumerations on the byte scale
        {GetGroupUniqueNr(103, 96), 4, 0, 173}, //
        {GetMemberUniqueNr(400, 1), 3, 0, 40},  // names
        {GetGroupUniqueNr(101, 96), 3, 0, 40},
        {GetSceneUniqueNr(601, 1), 3, 0, 40},
        {GetEffectUniqueNr(15700, 1), 3, 0, 40},
    };
    for (const Range& r : ranges) {
        const CatalogueParameter& p = Param(r.nr);
        if (r.baseType == 0)
            EXPECT_TRUE(p.baseType == 1 || p.baseType == 2) << r.nr << " base type " << p.baseType;
        else
            EXPECT_EQ(p.baseType, r.baseType) << r.nr;
        EXPECT_EQ(p.minimum, r.min) << r.nr;
        EXPECT_EQ(p.maximum, r.max) << r.nr;
    }

    // Lightness enumerations hold the values the pages offer: the choice list, ending at 1 % steps.
    const CatalogueParameter& base = Param(GetGroupUniqueNr(102, 5));
    EXPECT_EQ(base.enumValues.size(), 77u);
    EXPECT_EQ(EnumText(base.uniqueNr, 141), "41 %");
    EXPECT_EQ(EnumText(base.uniqueNr, 173), "100 %");
    EXPECT_EQ(base.defaultValue, Variant::I4(1));
    EXPECT_EQ(Param(GetGroupUniqueNr(103, 5)).defaultValue, Variant::I4(173));

    // The after-return-of-bus-power choice has its staircase entry fifth, as value 7.
    const CatalogueParameter& ret = Param(GetGroupUniqueNr(115, 9));
    ASSERT_EQ(ret.enumValues.size(), 5u);
    EXPECT_EQ(ret.enumValues[4].value, 7);

    // Member types: value 1 is the emergency lighting type, 255 the multi-type entry; reset writes 0.
    EXPECT_EQ(Param(5597).defaultValue, Variant::I4(0));

    // Dim-step device values match their default times (0:00:05 relative, 0:00:03 absolute, 0:00:02 soft).
    struct Device
    {
        int base;
        std::int32_t value;
    };
    for (const Device& d : std::initializer_list<Device>{{313, 256},
                                                         {314, 3},
                                                         {315, 135},
                                                         {316, 256},
                                                         {317, 6},
                                                         {318, 26},
                                                         {319, 256},
                                                         {320, 9},
                                                         {321, 26}})
        EXPECT_EQ(Param(GetGroupUniqueNr(d.base, 50)).defaultValue, Variant::I4(d.value)) << d.base;
}

TEST_F(ShippedCatalogue, DependencyTreeIsSound)
{
    std::size_t withParent = 0;
    std::vector<std::int32_t> bad;
    for (const CatalogueParameter& p : Cat().Parameters()) {
        // The walk up ends at a root within a few steps: no cycles.
        int depth = 0;
        for (const CatalogueParameter* q = &p; q->parent && depth < 50; ++depth) {
            q = Cat().FindParameter(*q->parent);
            if (!q) {
                bad.push_back(p.uniqueNr);
                break;
            }
        }
        if (depth >= 50)
            bad.push_back(p.uniqueNr);
        if (!p.parent) {
            if (!p.conditionValues.empty())
                bad.push_back(p.uniqueNr);
            continue;
        }
        ++withParent;
        const CatalogueParameter* parent = Cat().FindParameter(*p.parent);
        if (!parent)
            continue;
        const auto& siblings = Cat().Dependents(parent->uniqueNr);
        if (std::find(siblings.begin(), siblings.end(), p.uniqueNr) == siblings.end())
            bad.push_back(p.uniqueNr);
        for (std::int32_t v : p.conditionValues) {
            const bool fits = (parent->baseType == 4 || parent->baseType == 5)
                                  ? std::any_of(parent->enumValues.begin(), parent->enumValues.end(),
                                                [&](const CatalogueEnumValue& e) { return e.value == v; })
                                  : parent->baseType != 3 && v >= parent->minimum && v <= parent->maximum;
            if (!fits)
                bad.push_back(p.uniqueNr);
        }
    }
    EXPECT_TRUE(bad.empty()) << Join(bad);
    std::size_t listed = 0;
    for (const CatalogueParameter& p : Cat().Parameters())
        listed += Cat().Dependents(p.uniqueNr).size();
    EXPECT_EQ(listed, withParent);
    EXPECT_TRUE(Cat().Dependents(999999).empty());
}

// A group's copy and reset walk the tree below its exists parameter and key it by base number: the
// walk must give the same bases for every group, and group 1's defaults must land on every single.
TEST_F(ShippedCatalogue, EveryGroupAndSingleOwnsTheSameParameterSet)
{
    std::set<std::int32_t> groupSet;
    for (std::int32_t nr : Subtree(GetGroupUniqueNr(123, 1)))
        groupSet.insert(GetGroupBaseNr(nr, 1));
    std::set<std::int32_t> singleSet = groupSet;
    singleSet.insert({274, 598});

    std::set<std::int32_t> owned; // every number some group or single owns
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        std::set<std::int32_t> bases;
        for (std::int32_t nr : Subtree(GetGroupUniqueNr(123, n))) {
            EXPECT_EQ(nr / 1000, n <= kGroupCount ? n : n - kGroupCount)
                << nr << " outside the block of " << n;
            bases.insert(GetGroupBaseNr(nr, n));
            owned.insert(nr);
        }
        EXPECT_EQ(bases, n <= kGroupCount ? groupSet : singleSet) << "GroupNr " << n;
        for (std::int32_t b : groupSet)
            EXPECT_TRUE(Cat().FindParameter(GetGroupUniqueNr(b, n))) << "base " << b << " GroupNr " << n;
    }
    // Nothing in the group range of a block is left outside the trees, except the member type and the
    // page headings read from group 1's block.
    std::vector<std::int32_t> stray;
    for (const CatalogueParameter& p : Cat().Parameters()) {
        const int block = p.uniqueNr / 1000, offset = p.uniqueNr % 1000;
        const bool heading = block == 1 && offset % 100 == 0;
        if (block >= 1 && block <= kSingleCount && offset >= 100 && offset < 600 && offset != 597 &&
            !heading && owned.count(p.uniqueNr) == 0)
            stray.push_back(p.uniqueNr);
    }
    EXPECT_TRUE(stray.empty()) << Join(stray);

    // Group 1 exists from the start; the reset replaces that default by 0 itself.
    EXPECT_EQ(Param(1123).defaultValue, Variant::I4(1));
    EXPECT_EQ(Param(2123).defaultValue, Variant::I4(0));
    EXPECT_EQ(Param(1163).defaultValue, Variant::I4(0));
    // A single's individual emergency settings follow its emergency lamp flag.
    EXPECT_EQ(Param(GetGroupUniqueNr(232, 40)).parent, GetGroupUniqueNr(274, 40));
    EXPECT_EQ(Param(GetGroupUniqueNr(232, 8)).parent, GetGroupUniqueNr(123, 8));
}

TEST_F(ShippedCatalogue, ScenesAndEffectsHaveTheirTrees)
{
    std::set<std::int32_t> first;
    for (std::int32_t nr : Subtree(GetSceneUniqueNr(602, 1)))
        first.insert(GetSceneBaseNr(nr, 1));
    EXPECT_EQ(first.count(20600), 1u);
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n)
        EXPECT_EQ(first.count(GetSceneBaseNr(GetSceneValueUniqueNr(1, n), 1)), 1u)
            << "value of GroupNr " << n;
    for (int s = 2; s <= kSceneCount; ++s) {
        std::set<std::int32_t> bases;
        for (std::int32_t nr : Subtree(GetSceneUniqueNr(602, s)))
            bases.insert(GetSceneBaseNr(nr, s));
        EXPECT_EQ(bases, first) << "scene " << s;
    }
    EXPECT_EQ(Param(1602).parent, 741);
    EXPECT_EQ(Param(1602).conditionValues, std::vector<std::int32_t>{0});

    for (int e = 1; e <= kEffectCount; ++e) {
        const std::vector<std::int32_t> tree = Subtree(GetEffectUniqueNr(14700, e));
        const std::set<std::int32_t> members(tree.begin(), tree.end());
        for (int b : {10700, 11700, 12700, 13700, 15700})
            EXPECT_EQ(members.count(GetEffectUniqueNr(b, e)), 1u) << b << " of effect " << e;
        for (int t = 1; t <= kStepSlots; ++t) {
            for (int b : {16700, 17700, 18700, 19700, 20700, 21700, 22700, 23700, 24700}) {
                const CatalogueParameter& step = Param(GetEffectStepUniqueNr(b, e, t));
                EXPECT_EQ(members.count(step.uniqueNr), 1u);
                // A slot exists while the effect has more steps than the slot number; slot 16 always.
                EXPECT_EQ(step.parent, GetEffectUniqueNr(12700, e));
                ASSERT_FALSE(step.conditionValues.empty());
                EXPECT_EQ(step.conditionValues.front(), t == kStepSlots ? 1 : t + 1) << step.uniqueNr;
                EXPECT_EQ(step.conditionValues.back(), 16);
            }
        }
    }
    EXPECT_EQ(Param(14701).parent, 716);
    EXPECT_EQ(Param(741).defaultValue, Variant::I4(1)) << "no scene at first: the scene object is disabled";
    EXPECT_EQ(Param(716).defaultValue, Variant::I4(1));
}

// The exchange file writes sections as parameter trees: they must not overlap.
TEST_F(ShippedCatalogue, SectionsOfTheExchangeFileStaySeparate)
{
    const std::vector<std::int32_t> general = Subtree(700);
    const std::vector<std::int32_t> manual = Subtree(701);
    const std::vector<std::int32_t> commissioning = Subtree(705);
    const std::set<std::int32_t> generalSet(general.begin(), general.end());
    for (std::int32_t nr : {736, 732, 738, 726, 65047, 65024, 65014, 65026, 65027, 65011, 65042, 724, 65006,
                            65017, 65057, 65034, 772, 65049, 65051})
        EXPECT_EQ(generalSet.count(nr), 1u) << nr << " is a general setting";
    for (std::int32_t nr : general) {
        EXPECT_FALSE(nr >= 1000 && nr < 65000) << nr << ": entity parameters do not belong to General";
        EXPECT_FALSE(IsBelow(nr, 701) || IsBelow(nr, 705)) << nr;
    }
    for (std::int32_t nr : {728, 727, 739, 725, 740, 729, 730, 731})
        EXPECT_TRUE(IsBelow(nr, 701)) << nr;
    EXPECT_EQ(manual.size(), 9u);
    const std::set<std::int32_t> commissioningSet(commissioning.begin(), commissioning.end());
    for (int m = 1; m <= kMemberCount; ++m) {
        for (int b : {400, 500, 600, 26700, 27700})
            EXPECT_EQ(commissioningSet.count(GetMemberUniqueNr(b, m)), 1u) << b << " of member " << m;
        EXPECT_EQ(commissioningSet.count(GetMemberBlockUniqueNr(597, m)), 1u);
    }
    for (std::int32_t nr : {742, 746, 747})
        EXPECT_EQ(commissioningSet.count(nr), 1u);
    // Written or reset one by one.
    for (std::int32_t nr : {741, 716, 735, 760, 761, 762, 763, 764, 721, 722, 723, 799, 65015, 25700})
        EXPECT_FALSE(Param(nr).parent) << nr;
}

TEST_F(ShippedCatalogue, ObjectsCoverTheGroupAndSingleRanges)
{
    const auto& objects = Cat().Objects();
    EXPECT_TRUE(std::is_sorted(objects.begin(), objects.end(),
                               [](const auto& a, const auto& b) { return a.number < b.number; }));
    // Group n owns (n - 1) * 13 + 1 .. + 13, single s 417 + (s - 1) * 17 .. + 16; each object of a group
    // follows a parameter of that group.
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        const bool single = n > kGroupCount;
        const int first = single ? 417 + (n - kGroupCount - 1) * 17 : (n - 1) * 13 + 1;
        const int count = single ? 17 : 13;
        for (int k = 0; k < count; ++k) {
            const CatalogueObject* o = Cat().FindObject(static_cast<std::uint16_t>(first + k));
            ASSERT_TRUE(o) << "object " << first + k << " of GroupNr " << n;
            ASSERT_TRUE(o->parameter) << o->number;
            EXPECT_TRUE(IsBelow(*o->parameter, GetGroupUniqueNr(123, n))) << "object " << o->number;
            EXPECT_FALSE(o->conditionValues.empty()) << o->number;
        }
    }
    EXPECT_EQ(Cat().FindObject(485)->parameter, 5163) << "single 5's first object follows its exists flag";
    EXPECT_EQ(Cat().FindObject(1504)->number, 1504);
    // Device objects from 1505 on, including those an old file's numbers map to.
    for (std::uint16_t nr : {1505, 1525, 1527, 1528, 1529, 1530, 1543})
        EXPECT_TRUE(Cat().FindObject(nr)) << nr;

    std::set<std::int32_t> uniques;
    for (const CatalogueObject& o : objects) {
        EXPECT_TRUE(uniques.insert(o.uniqueNumber).second) << o.number;
        EXPECT_GE(o.uniqueNumber, 0);
        EXPECT_FALSE(o.text.empty());
        EXPECT_FALSE(o.functionText.empty());
        EXPECT_GE(o.priority, 0);
        EXPECT_LE(o.priority, 3);
        const auto type =
            std::find_if(Cat().DatapointTypes().begin(), Cat().DatapointTypes().end(),
                         [&](const DatapointTypeEntry& d) { return d.number == o.datapointMain; });
        ASSERT_NE(type, Cat().DatapointTypes().end()) << o.number;
        EXPECT_TRUE(std::any_of(type->subtypes.begin(), type->subtypes.end(),
                                [&](const DatapointSubtypeEntry& s) { return s.number == o.datapointSub; }))
            << o.number;
        if (!o.parameter)
            continue;
        const CatalogueParameter& p = Param(*o.parameter);
        for (std::int32_t v : o.conditionValues) {
            const bool fits = (p.baseType == 4 || p.baseType == 5)
                                  ? std::any_of(p.enumValues.begin(), p.enumValues.end(),
                                                [&](const CatalogueEnumValue& e) { return e.value == v; })
                                  : v >= p.minimum && v <= p.maximum;
            EXPECT_TRUE(fits) << "object " << o.number << " condition " << v;
        }
    }
}

// The associations check climbs from the parameter an object depends on to the one asked about and
// counts the object only when the condition on that path is not empty: the object's own condition
// when it depends on the parameter directly, else the condition of the parameter just below it.
TEST_F(ShippedCatalogue, ParametersTheModelChecksGovernObjects)
{
    const auto governs = [&](std::int32_t nr) {
        for (const CatalogueObject& o : Cat().Objects()) {
            if (!o.parameter)
                continue;
            if (*o.parameter == nr)
                return !o.conditionValues.empty();
            for (const CatalogueParameter* c = &Param(*o.parameter); c->parent; c = &Param(*c->parent)) {
                if (*c->parent == nr)
                    return !c->conditionValues.empty();
            }
        }
        return false;
    };
    for (std::int32_t nr : {741,
                            735,
                            716,
                            738,
                            739,
                            740,
                            65024,
                            65034,
                            772,
                            65029,
                            65032,
                            65033,
                            65028,
                            724,
                            65049,
                            65006,
                            65051,
                            65052,
                            65053,
                            65054,
                            65055,
                            65056,
                            733,
                            734,
                            65042,
                            65017,
                            GetGroupUniqueNr(123, 1),
                            GetGroupUniqueNr(123, 32),
                            GetGroupUniqueNr(123, 96),
                            GetGroupUniqueNr(201, 3),
                            GetGroupUniqueNr(325, 3),
                            GetGroupUniqueNr(580, 3),
                            GetGroupUniqueNr(581, 3),
                            GetGroupUniqueNr(118, 3),
                            GetGroupUniqueNr(408, 3),
                            GetGroupUniqueNr(428, 3),
                            GetGroupUniqueNr(274, 40)})
        EXPECT_TRUE(governs(nr)) << nr;

    // The printout's object sections climb the tree without looking at conditions.
    for (std::int32_t root : {700, 701, 741, 735, 716}) {
        EXPECT_TRUE(
            std::any_of(Cat().Objects().begin(), Cat().Objects().end(),
                        [&](const CatalogueObject& o) { return o.parameter && IsBelow(*o.parameter, root); }))
            << root;
    }
    for (const CatalogueObject& o : Cat().Objects()) {
        if (o.number <= 1504) {
            EXPECT_FALSE(o.parameter && IsBelow(*o.parameter, 700)) << o.number << " in the General section";
        }
    }
}

// ---- the loader on files of its own -----------------------------------------------------------------

class CatalogueFile : public ::testing::Test
{
protected:
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove(m_path, ec);
    }

    std::optional<Catalogue> LoadText(const std::string& text, std::string* error)
    {
        std::ofstream(m_path, std::ios::binary) << text;
        return Catalogue::Load(m_path, error);
    }

    // A small valid file; "@" in the body is replaced by the snippet under test, on line 9.
    static std::string File(const std::string& snippet)
    {
        std::string text =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" // 1
            "<VeltronaCatalogue format=\"1\">\n"           // 2
            "  <Application manufacturerNumber=\"1\" manufacturerName=\"M\" "
            "applicationNumber=\"2\" applicationVersion=\"3\" maskVersion=\"4\" name=\"A\"/>\n" // 3
            "  <DatapointTypes><Main number=\"1\" name=\"1-bit\"><Sub number=\"1\" "
            "name=\"switch\"/></Main></DatapointTypes>\n" // 4
            "  <Types><Type id=\"NoYes\" basetype=\"4\"><Value v=\"0\" text=\"No\"/>"
            "<Value v=\"1\" text=\"Yes\"/></Type></Types>\n"                         // 5
            "  <Device>\n"                                                           // 6
            "    <Parameter nr=\"10\" type=\"NoYes\" default=\"0\" text=\"Root\">\n" // 7
            "      <Parameter nr=\"11\" when=\"1\" basetype=\"1\" min=\"0\" max=\"9\" "
            "default=\"5\" text=\"Child\"/></Parameter>\n" // 8
            "@\n"                                          // 9
            "  </Device>\n"
            "  <Objects><Object number=\"1\" text=\"O\" function=\"F\" dpt=\"1.001\" "
            "flags=\"CW\" parameter=\"10\" when=\"1\"/></Objects>\n"
            "</VeltronaCatalogue>\n";
        text.replace(text.find('@'), 1, snippet);
        return text;
    }

    std::string m_path =
        (std::filesystem::temp_directory_path() / ("catalogue_test_" + std::to_string(::getpid()) + ".xml"))
            .string();
};

TEST_F(CatalogueFile, SmallFileExpandsAsWritten)
{
    std::string error;
    const auto c =
        LoadText(File("    <Parameter nr=\"20\" count=\"3\" basetype=\"3\" max=\"8\" default=\"x{i}\" "
                      "text=\"T {i-1}\"/>"),
                 &error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->Application().applicationNumber, 2);
    ASSERT_EQ(c->Parameters().size(), 5u);
    EXPECT_EQ(c->FindParameter(11)->parent, 10);
    EXPECT_EQ(c->FindParameter(11)->conditionValues, std::vector<std::int32_t>{1});
    EXPECT_EQ(c->FindParameter(22)->description, "T 2");
    EXPECT_EQ(c->FindParameter(22)->defaultValue, Variant::String("x3"));
    EXPECT_EQ(c->Dependents(10), std::vector<std::int32_t>{11});
    ASSERT_TRUE(c->FindObject(1));
    EXPECT_EQ(c->FindObject(1)->priority, 3);
    EXPECT_TRUE(c->FindObject(1)->flags[0] && c->FindObject(1)->flags[2] && !c->FindObject(1)->flags[1]);
}

TEST_F(CatalogueFile, MalformedFilesGiveTheLineAndTheReason)
{
    struct Case
    {
        const char* snippet;
        int line;
        const char* reason;
    };
    const Case cases[] = {
        {"    <Parameter nr=\"20\" type=\"NoYes\" default=\"0\" text=\"X\">", 10, "not well-formed XML"},
        {"    <Parameter nr=\"20\" type=\"NoYes\" default=\"0\" txt=\"X\"/>", 9, "unknown attribute 'txt'"},
        {"    <Parameter nr=\"20\" type=\"Nope\" default=\"0\" text=\"X\"/>", 9, "unknown type 'Nope'"},
        {"    <Parameter nr=\"20\" basetype=\"1\" min=\"0\" max=\"9\" default=\"12\" text=\"X\"/>", 9,
         "default '12' lies outside 0..9"},
        {"    <Parameter nr=\"20\" type=\"NoYes\" default=\"2\" text=\"X\"/>", 9,
         "not one of the enumeration values"},
        {"    <Parameter nr=\"20\" basetype=\"3\" max=\"3\" default=\"long\" text=\"X\"/>", 9,
         "longer than 3"},
        {"    <Parameter nr=\"20\" basetype=\"1\" min=\"0\" max=\"9\" default=\"x\" text=\"X\"/>", 9,
         "is not a number"},
        {"    <Parameter nr=\"20\" type=\"NoYes\" text=\"X\"/>", 9, "needs a default"},
        {"    <Parameter nr=\"11\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9,
         "11 is defined twice (first at line 8)"},
        {"    <Parameter nr=\"20\" parent=\"@99\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9,
         "its parent 99 does not exist"},
        {"    <Parameter nr=\"20\" parent=\"10\" when=\"2\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9,
         "condition value 2 is not a value of parameter 10"},
        {"    <Parameter nr=\"20\" parent=\"11\" when=\"10\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9,
         "lies outside the range of parameter 11"},
        {"    <Parameter nr=\"20\" parent=\"21\" type=\"NoYes\" default=\"0\" text=\"X\"/>"
         "<Parameter nr=\"21\" parent=\"20\" type=\"NoYes\" default=\"0\" text=\"Y\"/>",
         9, "depends on itself"},
        {"    <Parameter nr=\"20\" when=\"1\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9,
         "when without a parent"},
        {"    <Parameter nr=\"20\" basetype=\"4\" min=\"0\" default=\"0\" text=\"X\"><Value v=\"0\" "
         "text=\"a\"/>"
         "</Parameter>",
         9, "takes no min or max"},
        {"    <Parameter nr=\"20\" basetype=\"4\" default=\"0\" text=\"X\"/>", 9, "at least one <Value>"},
        {"    <Parameter nr=\"20\" basetype=\"4\" default=\"0\" text=\"X\"><Value v=\"0\" text=\"a\"/>"
         "<Value v=\"0\" text=\"b\"/></Parameter>",
         9, "value 0 listed twice"},
        {"    <Parameter nr=\"20\" basetype=\"1\" min=\"0\" default=\"0\" text=\"X\"/>", 9,
         "needs min and max"},
        {"    <Parameter nr=\"20\" type=\"NoYes\" default=\"0\" text=\"Group {q}\"/>", 9, "unknown variable"},
        {"    <Parameter nr=\"20\" type=\"NoYes\" default=\"0\" text=\"Group {n}\"/>", 9,
         "not available here"},
        {"    <Parameter base=\"20\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9, "numbered with nr"},
        {"    <Bogus/>", 9, "unexpected element <Bogus>"},
        {"    <Parameter nr=\"20\" accessible=\"maybe\" type=\"NoYes\" default=\"0\" text=\"X\"/>", 9,
         "must be true or false"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto catalogue = LoadText(File(c.snippet), &error);
        EXPECT_FALSE(catalogue) << c.snippet;
        EXPECT_NE(error.find(c.reason), std::string::npos) << "got: " << error;
        EXPECT_EQ(error.rfind(m_path + ":" + std::to_string(c.line) + ":", 0), 0u) << "got: " << error;
    }
}

TEST_F(CatalogueFile, BrokenObjectsAndWholeFilesAreRefused)
{
    struct Case
    {
        std::string text;
        const char* reason;
    };
    const std::string good = File("");
    const auto replace = [](std::string text, const std::string& from, const std::string& to) {
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const Case cases[] = {
        {replace(good, "dpt=\"1.001\"", "dpt=\"9.001\""), "main type 9 is not in <DatapointTypes>"},
        {replace(good, "dpt=\"1.001\"", "dpt=\"1.7\""), "subtype 7 is not in <DatapointTypes>"},
        {replace(good, "parameter=\"10\"", "parameter=\"77\""), "its parameter 77 does not exist"},
        {replace(good, "when=\"1\"/></Objects>", "when=\"4\"/></Objects>"),
         "condition value 4 is not a value"},
        {replace(good, "flags=\"CW\"", "flags=\"CX\""), "unknown flag 'X'"},
        {replace(good, "</Objects>",
                 "<Object number=\"1\" text=\"O\" function=\"F\" dpt=\"1\" flags=\"C\"/></Objects>"),
         "object 1 is defined twice"},
        {replace(replace(good, "<VeltronaCatalogue format", "<Catalogue format"), "</VeltronaCatalogue>",
                 "</Catalogue>"),
         "root element must be <VeltronaCatalogue>"},
        {replace(good, "format=\"1\"", "format=\"2\""), "format 2 is not supported"},
        {replace(good, "applicationNumber=\"2\"", "applicationNumber=\"0x10000\""), "outside 0..65535"},
        {replace(good, "  <Types>", "  <Types></Types><Types>"), "<Types> appears twice"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(LoadText(c.text, &error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << "got: " << error;
        EXPECT_EQ(error.rfind(m_path + ":", 0), 0u) << "got: " << error;
    }

    std::string error;
    EXPECT_FALSE(Catalogue::Load(m_path + ".missing", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    EXPECT_EQ(error.rfind(m_path + ".missing", 0), 0u) << error;
}

TEST(CatalogueInCode, AddedParametersStaySortedAndLinked)
{
    Catalogue c;
    CatalogueParameter child;
    child.uniqueNr = 30;
    child.parent = 10;
    c.AddParameter(child); // before its parent
    CatalogueParameter root;
    root.uniqueNr = 10;
    c.AddParameter(root);
    CatalogueParameter other;
    other.uniqueNr = 20;
    other.parent = 10;
    c.AddParameter(other);
    ASSERT_EQ(c.Parameters().size(), 3u);
    EXPECT_EQ(c.Parameters()[0].uniqueNr, 10);
    EXPECT_EQ(c.Parameters()[2].uniqueNr, 30);
    EXPECT_EQ(c.Dependents(10), (std::vector<std::int32_t>{20, 30}));
    EXPECT_EQ(c.FindParameter(20)->parent, 10);

    child.parent = 20; // replacing moves it under its new parent
    c.AddParameter(child);
    EXPECT_EQ(c.Parameters().size(), 3u);
    EXPECT_EQ(c.Dependents(10), std::vector<std::int32_t>{20});
    EXPECT_EQ(c.Dependents(20), std::vector<std::int32_t>{30});
    EXPECT_FALSE(c.FindParameter(15));

    CatalogueObject b;
    b.number = 9;
    CatalogueObject a;
    a.number = 4;
    c.AddObject(b);
    c.AddObject(a);
    EXPECT_EQ(c.Objects().front().number, 4);
    EXPECT_TRUE(c.FindObject(9));
    EXPECT_FALSE(c.FindObject(5));
}

TEST(CatalogueDefaultPath, FindsTheShippedFileAndHonoursTheOverride)
{
    const std::string shipped = Catalogue::DefaultPath();
    EXPECT_TRUE(std::filesystem::is_regular_file(shipped)) << shipped;
    EXPECT_EQ(std::filesystem::path(shipped).filename(), "VeltronaR3.catalogue.xml");

    const char* before = std::getenv("VELTRONA_CATALOGUE");
    const std::string saved = before ? before : "";
    ::setenv("VELTRONA_CATALOGUE", "/somewhere/else.xml", 1);
    EXPECT_EQ(Catalogue::DefaultPath(), "/somewhere/else.xml");
    if (before)
        ::setenv("VELTRONA_CATALOGUE", saved.c_str(), 1);
    else
        ::unsetenv("VELTRONA_CATALOGUE");
}

} // namespace
