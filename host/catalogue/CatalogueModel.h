// The catalogue indexed for the host objects: positions by number, the dependency tree both ways
// and the objects each parameter governs, built once so that no call searches the catalogue.
#pragma once

#include "host/catalogue/Catalogue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

// What a write checks of a parameter, kept apart from its texts so that the checks of many writes
// stay in the cache.
struct ParameterCheck
{
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::int32_t uniqueNr = 0;
    std::int32_t baseType = 0;
    std::uint32_t enumBegin = 0, enumCount = 0;           // ascending values in EnumValuesOf
    std::uint32_t conditionBegin = 0, conditionCount = 0; // parent values under which it exists
};

class CatalogueModel
{
    struct Key
    {};

public:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Checks the tree (every parent known, no cycles, unique numbers); nothing and a reason otherwise.
    static std::shared_ptr<const CatalogueModel> Build(std::shared_ptr<const Catalogue> catalogue,
                                                       std::string* error);
    // Loads a catalogue file and builds its model; nothing and the reason of either step otherwise.
    static std::shared_ptr<const CatalogueModel> Load(const std::string& path, std::string* error);
    CatalogueModel(Key, std::shared_ptr<const Catalogue> catalogue);

    const Catalogue& Source() const { return *m_catalogue; }
    const ApplicationIdentity& Application() const { return m_catalogue->Application(); }

    // Parameters, by position in the catalogue's order.
    std::size_t ParameterCount() const { return m_catalogue->Parameters().size(); }
    const CatalogueParameter& Parameter(std::size_t position) const
    {
        return m_catalogue->Parameters()[position];
    }
    std::size_t PositionOf(std::int64_t uniqueNr) const;
    std::size_t ParentOf(std::size_t position) const { return m_parent[position]; }
    // The parameters that hang directly below, in the catalogue's order.
    const std::vector<std::size_t>& Children(std::size_t position) const { return m_children[position]; }
    // Objects that depend on this parameter or on any parameter below it.
    const std::vector<std::size_t>& SubtreeObjects(std::size_t position) const
    {
        return m_subtreeObjects[position];
    }
    bool HasCondition(std::size_t position, std::int32_t parentValue) const;
    const ParameterCheck& Check(std::size_t position) const { return m_checks[position]; }
    // An enumeration's values, ascending (empty for other kinds).
    std::span<const std::int32_t> SortedEnumValues(const ParameterCheck& check) const
    {
        return {m_flatValues.data() + check.enumBegin, check.enumCount};
    }
    // The default in the form values travel in: VT_I4 when it fits, VT_UI4 above 0x7FFFFFFF, VT_BSTR
    // for texts, empty for parameters without a value.
    const Variant& DefaultValue(std::size_t position) const { return m_defaults[position]; }

    // Communication objects, by position in the catalogue's order.
    std::size_t ObjectCount() const { return m_catalogue->Objects().size(); }
    const CatalogueObject& Object(std::size_t position) const { return m_catalogue->Objects()[position]; }
    std::size_t ObjectByNumber(std::int64_t number) const;
    std::size_t ObjectByUniqueNumber(std::int64_t uniqueNumber) const;
    // The position of the parameter an object depends on, kNone when it depends on none.
    std::size_t ObjectParameter(std::size_t object) const { return m_objectParameter[object]; }

    const DatapointTypeEntry* FindDatapointType(std::int32_t number) const;

    // A number in the form values travel in: VT_I4 when it fits, VT_UI4 for 0x80000000..0xFFFFFFFF.
    static Variant NumberVariant(std::int64_t value);
    // A 32-bit parameter (range beyond 0x7FFFFFFF) keeps bit 31 of a signed default.
    static bool IsWideUnsigned(const CatalogueParameter& parameter);

private:
    std::shared_ptr<const Catalogue> m_catalogue;
    std::unordered_map<std::int32_t, std::size_t> m_positions;
    std::vector<Variant> m_defaults;
    std::vector<ParameterCheck> m_checks;
    // Enumeration values and condition values of all parameters, in ranges of m_checks.
    std::vector<std::int32_t> m_flatValues;
    std::vector<std::size_t> m_parent;
    std::vector<std::vector<std::size_t>> m_children;
    std::vector<std::vector<std::size_t>> m_subtreeObjects;
    std::unordered_map<std::int32_t, std::size_t> m_objectsByNumber;
    std::unordered_map<std::int32_t, std::size_t> m_objectsByUnique;
    std::vector<std::size_t> m_objectParameter;
};
