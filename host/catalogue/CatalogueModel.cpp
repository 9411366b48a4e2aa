#include "host/catalogue/CatalogueModel.h"

#include <algorithm>

CatalogueModel::CatalogueModel(Key, std::shared_ptr<const Catalogue> catalogue)
    : m_catalogue(std::move(catalogue))
{}

std::shared_ptr<const CatalogueModel> CatalogueModel::Load(const std::string& path, std::string* error)
{
    std::optional<Catalogue> catalogue = Catalogue::Load(path, error);
    if (!catalogue)
        return nullptr;
    return Build(std::make_shared<const Catalogue>(std::move(*catalogue)), error);
}

std::shared_ptr<const CatalogueModel> CatalogueModel::Build(std::shared_ptr<const Catalogue> catalogue,
                                                            std::string* error)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = "The product catalogue is not usable: " + text;
        return std::shared_ptr<const CatalogueModel>();
    };
    if (!catalogue)
        return fail("there is none.");
    auto model = std::make_shared<CatalogueModel>(Key{}, std::move(catalogue));
    const auto& parameters = model->m_catalogue->Parameters();
    const auto& objects = model->m_catalogue->Objects();
    const std::size_t n = parameters.size();

    model->m_positions.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (!model->m_positions.emplace(parameters[i].uniqueNr, i).second)
            return fail("parameter " + std::to_string(parameters[i].uniqueNr) + " is defined twice.");
    }
    model->m_defaults.reserve(n);
    for (const CatalogueParameter& p : parameters) {
        Variant value = p.defaultValue;
        if (p.baseType == 0)
            value = Variant();
        else if (p.baseType == 3)
            value.ChangeType(VT_BSTR);
        else if (value.vt() == VT_I4 && value.lVal() < 0 && IsWideUnsigned(p))
            value = Variant::UI4(static_cast<std::uint32_t>(value.lVal()));
        else if (value.vt() == VT_UI4 || value.vt() == VT_UI2)
            value = NumberVariant(value.vt() == VT_UI4 ? value.ulVal() : value.uiVal());
        model->m_defaults.push_back(std::move(value));
        ParameterCheck check;
        check.minimum = p.minimum;
        check.maximum = p.maximum;
        check.uniqueNr = p.uniqueNr;
        check.baseType = p.baseType;
        std::vector<std::int32_t>& flat = model->m_flatValues;
        check.enumBegin = static_cast<std::uint32_t>(flat.size());
        for (const CatalogueEnumValue& e : p.enumValues)
            flat.push_back(e.value);
        std::sort(flat.begin() + check.enumBegin, flat.end());
        check.enumCount = static_cast<std::uint32_t>(flat.size() - check.enumBegin);
        check.conditionBegin = static_cast<std::uint32_t>(flat.size());
        flat.insert(flat.end(), p.conditionValues.begin(), p.conditionValues.end());
        check.conditionCount = static_cast<std::uint32_t>(p.conditionValues.size());
        model->m_checks.push_back(check);
    }
    model->m_parent.assign(n, kNone);
    model->m_children.assign(n, {});
    for (std::size_t i = 0; i < n; ++i) {
        if (!parameters[i].parent)
            continue;
        std::size_t parent = model->PositionOf(*parameters[i].parent);
        if (parent == kNone)
            return fail("parameter " + std::to_string(parameters[i].uniqueNr) +
                        " hangs below the unknown parameter " + std::to_string(*parameters[i].parent) + ".");
        model->m_parent[i] = parent;
        model->m_children[parent].push_back(i);
    }
    // A chain longer than the catalogue is a loop.
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t steps = 0;
        for (std::size_t p = model->m_parent[i]; p != kNone; p = model->m_parent[p]) {
            if (++steps > n)
                return fail("the dependency tree loops at parameter " +
                            std::to_string(parameters[i].uniqueNr) + ".");
        }
    }

    model->m_subtreeObjects.assign(n, {});
    model->m_objectParameter.assign(objects.size(), kNone);
    for (std::size_t o = 0; o < objects.size(); ++o) {
        if (!model->m_objectsByNumber.emplace(objects[o].number, o).second)
            return fail("object " + std::to_string(objects[o].number) + " is defined twice.");
        model->m_objectsByUnique.emplace(objects[o].uniqueNumber, o);
        if (!objects[o].parameter)
            continue;
        std::size_t p = model->PositionOf(*objects[o].parameter);
        if (p == kNone)
            return fail("object " + std::to_string(objects[o].number) + " depends on the unknown parameter " +
                        std::to_string(*objects[o].parameter) + ".");
        model->m_objectParameter[o] = p;
        for (; p != kNone; p = model->m_parent[p])
            model->m_subtreeObjects[p].push_back(o);
    }
    return model;
}

Variant CatalogueModel::NumberVariant(std::int64_t value)
{
    if (value >= INT32_MIN && value <= INT32_MAX)
        return Variant::I4(static_cast<std::int32_t>(value));
    return Variant::UI4(static_cast<std::uint32_t>(value));
}

bool CatalogueModel::IsWideUnsigned(const CatalogueParameter& parameter)
{
    return parameter.minimum >= 0 && parameter.maximum > INT32_MAX;
}

std::size_t CatalogueModel::PositionOf(std::int64_t uniqueNr) const
{
    if (uniqueNr < INT32_MIN || uniqueNr > INT32_MAX)
        return kNone;
    auto it = m_positions.find(static_cast<std::int32_t>(uniqueNr));
    return it == m_positions.end() ? kNone : it->second;
}

bool CatalogueModel::HasCondition(std::size_t position, std::int32_t parentValue) const
{
    const ParameterCheck& check = m_checks[position];
    const std::int32_t* first = m_flatValues.data() + check.conditionBegin;
    return check.conditionCount == 0 ||
           std::find(first, first + check.conditionCount, parentValue) != first + check.conditionCount;
}

std::size_t CatalogueModel::ObjectByNumber(std::int64_t number) const
{
    if (number < 0 || number > 0xFFFF)
        return kNone;
    auto it = m_objectsByNumber.find(static_cast<std::int32_t>(number));
    return it == m_objectsByNumber.end() ? kNone : it->second;
}

std::size_t CatalogueModel::ObjectByUniqueNumber(std::int64_t uniqueNumber) const
{
    if (uniqueNumber < INT32_MIN || uniqueNumber > INT32_MAX)
        return kNone;
    auto it = m_objectsByUnique.find(static_cast<std::int32_t>(uniqueNumber));
    return it == m_objectsByUnique.end() ? kNone : it->second;
}

const DatapointTypeEntry* CatalogueModel::FindDatapointType(std::int32_t number) const
{
    for (const DatapointTypeEntry& type : m_catalogue->DatapointTypes()) {
        if (type.number == number)
            return &type;
    }
    return nullptr;
}
