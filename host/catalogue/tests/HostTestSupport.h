// Test aids of the host: a small catalogue made in code with a dependency tree, objects and
// datapoint types; scratch folders from the shared test support.
#pragma once

#include "host/catalogue/Catalogue.h"
#include "testsupport/Scratch.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>

namespace hosttest {

inline constexpr std::int32_t kManufacturer = 123;
inline constexpr std::int32_t kApplication = 0x1234;
inline constexpr std::int32_t kVersion = 0x11;
inline constexpr std::int32_t kMask = 0x0705;

// Parameters:
//   10 enum Off/On (default On), root
//     11 integer 0..100 (default 50) when 10 = 1
//       12 text of up to 8 characters (default "abc"), whenever 11 is visible
//       16 enum A/B/C (default A) when 11 is 60 or 70
//     13 enum 0..2 (default 0) when 10 = 0
//   14 mask 0..0xFFFFFFFF (default 0x80000001), 15 integer -10..10 (default -5), 18 long text,
//   700 a UI text without value, 65015 load counter 0..255.
// Objects: 1 always visible; 2 when 10 = 1; 3 whenever 11 is visible; 4 when 13 = 2.
inline std::shared_ptr<Catalogue> MakeTestCatalogue()
{
    auto c = std::make_shared<Catalogue>();
    ApplicationIdentity& app = c->MutableApplication();
    app.manufacturerNumber = kManufacturer;
    app.manufacturerName = "Test Lighting";
    app.applicationNumber = kApplication;
    app.applicationVersion = kVersion;
    app.maskVersion = kMask;
    app.name = "Test gateway";

    auto integer = [](std::int32_t nr, std::int64_t min, std::int64_t max, std::int32_t def) {
        CatalogueParameter p;
        p.uniqueNr = nr;
        p.baseType = 1;
        p.minimum = min;
        p.maximum = max;
        p.defaultValue = Variant::I4(def);
        p.description = "Parameter " + std::to_string(nr);
        return p;
    };
    CatalogueParameter function = integer(10, 0, 1, 1);
    function.baseType = 4;
    function.enumValues = {{0, "Off"}, {1, "On"}};
    function.description = "Function";
    c->AddParameter(function);

    CatalogueParameter level = integer(11, 0, 100, 50);
    level.parent = 10;
    level.conditionValues = {1};
    c->AddParameter(level);

    CatalogueParameter name;
    name.uniqueNr = 12;
    name.baseType = 3;
    name.maximum = 8;
    name.defaultValue = Variant::String("abc");
    name.parent = 11;
    c->AddParameter(name);

    CatalogueParameter mode = integer(13, 0, 2, 0);
    mode.baseType = 5;
    mode.enumValues = {{0, "Zero"}, {1, "One"}, {2, "Two"}};
    mode.parent = 10;
    mode.conditionValues = {0};
    c->AddParameter(mode);

    c->AddParameter(integer(14, 0, 0xFFFFFFFFll, static_cast<std::int32_t>(0x80000001u)));
    c->AddParameter(integer(15, -10, 10, -5));

    CatalogueParameter choice = integer(16, 0, 2, 0);
    choice.baseType = 4;
    choice.enumValues = {{0, "A"}, {1, "B"}, {2, "C"}};
    choice.parent = 11;
    choice.conditionValues = {60, 70};
    c->AddParameter(choice);

    CatalogueParameter note;
    note.uniqueNr = 18;
    note.baseType = 3;
    note.maximum = 60;
    note.defaultValue = Variant::String("Line 1\nTab\there \\ end");
    c->AddParameter(note);

    CatalogueParameter label;
    label.uniqueNr = 700;
    label.baseType = 0;
    label.description = "Groups";
    c->AddParameter(label);

    c->AddParameter(integer(65015, 0, 255, 0));

    auto object = [](std::uint16_t number, std::optional<std::int32_t> parameter,
                     std::vector<std::int32_t> conditions) {
        CatalogueObject o;
        o.number = number;
        o.uniqueNumber = 1000 + number;
        o.text = "Object " + std::to_string(number);
        o.functionText = "Function " + std::to_string(number);
        o.priority = 3;
        o.parameter = parameter;
        o.conditionValues = std::move(conditions);
        o.datapointMain = 1;
        o.datapointSub = 1;
        return o;
    };
    c->AddObject(object(1, std::nullopt, {}));
    c->AddObject(object(2, 10, {1}));
    c->AddObject(object(3, 11, {}));
    c->AddObject(object(4, 13, {2}));

    c->AddDatapointType({1, "1-bit", {{1, "switch"}, {2, "bool"}}});
    c->AddDatapointType({5, "8-bit unsigned value", {{1, "scaling"}}});
    return c;
}

// A folder of its own below the test's temporary folder.
} // namespace hosttest
