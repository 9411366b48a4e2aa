// A fake gateway device with the parameter set the model works on, for the model's own tests.
#pragma once

#include "access/tests/FakeHost.h"
#include "model/EtsDbManagement.h"

#include <map>
#include <string>

namespace fixture {

inline void AddEnum(fake::DeviceParameter& p, std::initializer_list<std::pair<int, const char*>> values)
{
    p.ui->type->baseType = 4;
    for (auto [v, t] : values)
        p.ui->type->enums->items.emplace_back(MakeComObject<fake::EnumValue>(v, t).Get());
}

// The device with defaults everywhere: nothing configured.
inline ComPtr<fake::Device> MakeGateway()
{
    auto d = MakeComObject<fake::Device>();
    for (UniqueNr n : {738, 742, 65015, 65024, 65047, 65048, 799, 721, 722, 723})
        d->AddInteger(n, 0);
    d->AddInteger(741, 1, 1);
    d->AddInteger(716, 1, 1);
    AddEnum(d->AddInteger(65014, 3, 3), {{0, "Central"},
                                         {1, "16 groups"},
                                         {2, "32 groups"},
                                         {3, "16 groups, 64 singles"},
                                         {4, "32 groups, 64 singles"},
                                         {5, "64 singles"}});
    AddEnum(d->AddInteger(65026, 0), {{0, "centrally supplied"}, {1, "individually supplied"}, {2, "mixed"}});
    AddEnum(d->AddInteger(65027, 0), {{0, "EL"}, {1, "EL + KNX"}, {2, "EL + KNX + DALI"}});
    d->AddText(934, "Continue?");

    for (int n = 1; n <= 96; ++n) {
        const UniqueNr root = GetGroupUniqueNr(123, n);
        d->AddInteger(root, 0);
        d->AddDefaultText(GetGroupUniqueNr(101, n), n <= 32 ? "Group" : "Member");
        d->AddInteger(GetGroupUniqueNr(102, n), 1, 1, 0, 173);
        d->AddInteger(GetGroupUniqueNr(103, n), 173, 173, 0, 173);
        d->AddInteger(GetGroupUniqueNr(235, n), 0);
        d->AddInteger(GetGroupUniqueNr(334, n), 0);
        for (UniqueNr base = 301; base <= 324; ++base)
            d->AddInteger(GetGroupUniqueNr(base, n), 0, 0, 0, base <= 312 ? 59 : 65535);
        for (UniqueNr base : {101, 102, 103, 235, 334})
            d->Link(root, GetGroupUniqueNr(base, n));
        for (UniqueNr base = 301; base <= 324; ++base)
            d->Link(root, GetGroupUniqueNr(base, n));
    }
    for (int m = 1; m <= 64; ++m) {
        d->AddDefaultText(GetMemberUniqueNr(400, m), "Member");
        d->AddInteger(GetMemberUniqueNr(500, m), 0, 0, 0, 0xFFFFFF);
        d->AddInteger(GetMemberUniqueNr(600, m), 0, 0, 0, -1);
        d->AddInteger(GetMemberUniqueNr(26700, m), 0);
        d->AddInteger(GetMemberUniqueNr(27700, m), 0);
        d->AddInteger(GetMemberBlockUniqueNr(274, m), 0);
        AddEnum(d->AddInteger(GetMemberBlockUniqueNr(597, m), 0),
                {{0, "Fluorescent lamp"}, {1, "Emergency lighting"}, {6, "LED module"}});
        d->AddText(GetMemberBlockUniqueNr(598, m), "", "");
        // the single's member parameters hang below its exists parameter
        d->Link(GetGroupUniqueNr(123, m + 32), GetMemberBlockUniqueNr(274, m));
        d->Link(GetGroupUniqueNr(123, m + 32), GetMemberBlockUniqueNr(597, m));
        d->Link(GetGroupUniqueNr(123, m + 32), GetMemberBlockUniqueNr(598, m));
    }
    for (int s = 1; s <= 16; ++s) {
        const UniqueNr root = GetSceneUniqueNr(602, s);
        d->AddInteger(root, 0);
        d->AddDefaultText(GetSceneUniqueNr(601, s), "Scene");
        std::vector<UniqueNr> children{GetSceneUniqueNr(601, s), GetSceneUniqueNr(603, s),
                                       GetSceneUniqueNr(20600, s)};
        d->AddInteger(GetSceneUniqueNr(603, s), 0);
        d->AddInteger(GetSceneUniqueNr(20600, s), 0, 0, 0, 64);
        for (UniqueNr base : {609, 642, 20601, 20602, 20667, 20668}) {
            d->AddInteger(GetSceneUniqueNr(base, s), 0, 0, 0, -1);
            children.push_back(GetSceneUniqueNr(base, s));
        }
        for (int n = 1; n <= 96; ++n) {
            d->AddInteger(GetSceneValueUniqueNr(s, n), 0, 0, 0, 173);
            children.push_back(GetSceneValueUniqueNr(s, n));
        }
        for (UniqueNr child : children)
            d->Link(root, child);
    }
    for (int e = 1; e <= 16; ++e) {
        for (UniqueNr base : {10700, 11700, 12700, 13700, 14700})
            d->AddInteger(GetEffectUniqueNr(base, e), 0, 0, 0, 500);
        d->AddDefaultText(GetEffectUniqueNr(15700, e), "Effect");
        for (int t = 1; t <= 16; ++t) {
            for (UniqueNr base : {16700, 17700, 18700})
                d->AddInteger(GetEffectStepUniqueNr(base, e, t), 0, 0, 0, -1);
            for (UniqueNr base : {19700, 20700, 21700, 22700, 23700, 24700})
                d->AddInteger(GetEffectStepUniqueNr(base, e, t), 0, 0, 0, 65535);
        }
    }
    for (int i = 0; i < 250; ++i)
        d->AddInteger(GetEffectUniqueNr(25700, i), 0, 0, 0, -1);
    for (int o = 1; o <= 1504; ++o) {
        auto object = MakeComObject<fake::CommObject>();
        object->number = static_cast<std::uint16_t>(o);
        d->objects->items.emplace_back(object.Get());
    }
    return d;
}

// Every parameter value of the device, to compare whole stores.
inline std::map<UniqueNr, Variant> Snapshot(fake::Device& d)
{
    std::map<UniqueNr, Variant> values;
    for (const auto& [n, p] : d.byNumber)
        values.emplace(n, p->value);
    return values;
}

// The same, with numbers of any integer kind compared by their bits.
inline std::map<UniqueNr, std::string> Values(fake::Device& d)
{
    std::map<UniqueNr, std::string> values;
    for (const auto& [n, p] : d.byNumber)
        values.emplace(n, p->value.vt() == VT_BSTR
                              ? "'" + p->value.bstrVal() + "'"
                              : std::to_string(static_cast<std::uint32_t>(p->value.IntPart())));
    return values;
}

inline std::string ObjectText(fake::Device& d, int number)
{
    return static_cast<fake::CommObject*>(d.objects->items[static_cast<std::size_t>(number - 1)].Get())->text;
}

// A loaded model as the main window makes it.
inline std::unique_ptr<CEtsDbManagement> LoadModel(fake::Device& d, IUserPrompt* prompt = nullptr)
{
    auto model = std::make_unique<CEtsDbManagement>(&d, prompt);
    model->LoadDeviceParameterPointers();
    model->InitLightnessValueLists();
    model->LoadBufferedParameters();
    return model;
}

} // namespace fixture
