#include "host/objects/DeviceContext.h"

#include "trace/DebugTrace.h"

#include <algorithm>
#include <cstdio>

namespace {

// Code points of a UTF-8 text; npos when it is no valid UTF-8.
std::size_t Utf8Length(const std::string& text)
{
    std::size_t count = 0, i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if ((c & 0xF0) == 0xE0)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else
            return std::string::npos;
        if (n - i <= extra)
            return std::string::npos;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return std::string::npos;
        }
        i += extra + 1;
        ++count;
    }
    return count;
}

} // namespace

ObjectRecord StandardObjectSettings(const CatalogueObject& object)
{
    ObjectRecord r;
    r.number = object.number;
    r.text = object.text;
    r.priority = object.priority;
    for (int f = 0; f < 5; ++f)
        r.flags = static_cast<std::uint8_t>(r.flags | (object.flags[f] ? 1u << f : 0u));
    r.datapointMain = object.datapointMain;
    r.datapointSub = object.datapointMain < 0 ? -1 : object.datapointSub;
    return r;
}

DeviceContext::DeviceContext(Key, std::shared_ptr<ProjectStore> store,
                             std::shared_ptr<const CatalogueModel> model, DeviceRecord device)
    : m_store(std::move(store)), m_model(std::move(model)), m_device(std::move(device))
{}

std::shared_ptr<DeviceContext> DeviceContext::Open(std::shared_ptr<ProjectStore> store,
                                                   std::shared_ptr<const CatalogueModel> model,
                                                   const DeviceRecord& device, std::string* error)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return std::shared_ptr<DeviceContext>();
    };
    const ApplicationIdentity& app = model->Application();
    if (device.manufacturer != app.manufacturerNumber || device.applicationNumber != app.applicationNumber ||
        device.applicationVersion != app.applicationVersion) {
        char text[200];
        std::snprintf(
            text, sizeof text,
            "manufacturer %d, application $%04X version $%02X; the catalogue describes manufacturer %d, "
            "application $%04X version $%02X.",
            device.manufacturer, static_cast<unsigned>(device.applicationNumber),
            static_cast<unsigned>(device.applicationVersion), app.manufacturerNumber,
            static_cast<unsigned>(app.applicationNumber), static_cast<unsigned>(app.applicationVersion));
        return fail("The device '" + device.name +
                    "' has an application program that this host does not know: " + text);
    }
    auto context = std::make_shared<DeviceContext>(Key{}, std::move(store), std::move(model), device);
    if (FAILED(context->Load()))
        return fail("The device '" + device.name + "' cannot be loaded: " + context->m_store->LastError());
    return context;
}

HRESULT DeviceContext::Load()
{
    // Read into fresh tables, so that a failed read leaves the loaded state as it was.
    const std::size_t n = m_model->ParameterCount();
    const std::uint64_t generation = m_store->Generation();
    std::vector<Variant> values(n);
    std::vector<bool> seen(n, false);
    // Rows and catalogue both ascend by number: a moving cursor finds most positions.
    std::size_t cursor = 0;
    bool read = m_store->ForEachParameterValue(m_device.id, [&](std::int32_t uniqueNr, StoredValue&& stored) {
        while (cursor < n && m_model->Parameter(cursor).uniqueNr < uniqueNr)
            ++cursor;
        std::size_t position = cursor < n && m_model->Parameter(cursor).uniqueNr == uniqueNr
                                   ? cursor
                                   : m_model->PositionOf(uniqueNr);
        if (position == CatalogueModel::kNone)
            return;
        values[position] = FromStored(position, stored);
        seen[position] = true;
    });
    std::vector<ObjectRecord> objects;
    std::vector<std::vector<std::int32_t>> associations(m_model->ObjectCount());
    if (!read || !m_store->Objects(m_device.id, objects) ||
        !m_store->ForEachAssociation(m_device.id, [&](std::uint16_t number, std::int32_t address) {
            if (std::size_t o = m_model->ObjectByNumber(number); o != CatalogueModel::kNone)
                associations[o].push_back(address);
        }))
        return E_FAIL;
    // Numbers the catalogue added after the project was made read as their defaults.
    for (std::size_t i = 0; i < n; ++i) {
        if (!seen[i])
            values[i] = m_model->DefaultValue(i);
    }
    m_values = std::move(values);

    m_objects.clear();
    m_objects.reserve(m_model->ObjectCount());
    for (std::size_t o = 0; o < m_model->ObjectCount(); ++o)
        m_objects.push_back(StandardObjectSettings(m_model->Object(o)));
    m_objectStored.assign(m_model->ObjectCount(), false);
    for (ObjectRecord& record : objects) {
        std::size_t o = m_model->ObjectByNumber(record.number);
        if (o != CatalogueModel::kNone) {
            m_objects[o] = std::move(record);
            m_objectStored[o] = true;
        }
    }
    m_associations = std::move(associations);
    m_addresses.clear();
    m_generation = generation;
    ++m_visibilityChanges;
    return S_OK;
}

HRESULT DeviceContext::EnsureCurrent()
{
    // A rollback dropped changes this cache still holds.
    if (m_generation == m_store->Generation())
        return S_OK;
    HRESULT hr = Load();
    if (FAILED(hr))
        TRACE_HR_MSG(TRACE_ERROR, hr, "%s", m_store->LastError().c_str());
    return hr;
}

Variant DeviceContext::FromStored(std::size_t position, const StoredValue& stored) const
{
    const CatalogueParameter& p = m_model->Parameter(position);
    if (p.baseType == 0)
        return Variant();
    if (p.baseType == 3) {
        if (const auto* text = std::get_if<std::string>(&stored))
            return Variant::String(*text);
    } else if (const auto* number = std::get_if<std::int64_t>(&stored)) {
        if (*number >= INT32_MIN && *number <= UINT32_MAX)
            return CatalogueModel::NumberVariant(*number);
    }
    TRACE_MSG(TRACE_WARNING, "UniqueNr = %ld: stored value of the wrong kind, default used",
              static_cast<long>(p.uniqueNr));
    return m_model->DefaultValue(position);
}

StoredValue DeviceContext::ToStored(const Variant& value)
{
    switch (value.vt()) {
    case VT_BSTR:
        return value.bstrVal();
    case VT_UI4:
        return std::int64_t{value.ulVal()};
    case VT_UI2:
        return std::int64_t{value.uiVal()};
    default:
        return std::int64_t{value.lVal()};
    }
}

HRESULT DeviceContext::Accept(const ParameterCheck& p, std::span<const std::int32_t> sortedEnumValues,
                              const Variant& value, Variant* accepted)
{
    if (value.IsEmptyOrNull())
        return DISP_E_TYPEMISMATCH;
    switch (p.baseType) {
    case 3: {
        Variant text = value;
        if (FAILED(text.ChangeType(VT_BSTR)))
            return DISP_E_TYPEMISMATCH;
        std::size_t length = Utf8Length(text.bstrVal());
        if (length == std::string::npos)
            return DISP_E_TYPEMISMATCH;
        if (p.maximum > 0 && static_cast<std::int64_t>(length) > p.maximum)
            return ETS_E_OUT_OF_RANGE;
        *accepted = std::move(text);
        return S_OK;
    }
    case 1:
    case 2:
    case 4:
    case 5: {
        std::int64_t number = 0;
        switch (value.vt()) {
        case VT_I4:
            number = value.lVal();
            break;
        case VT_UI4:
            number = value.ulVal();
            break;
        case VT_UI2:
            number = value.uiVal();
            break;
        case VT_BSTR:
            if (FAILED(ParseDecimal(value.bstrVal(), number)))
                return DISP_E_TYPEMISMATCH;
            break;
        default:
            return DISP_E_TYPEMISMATCH;
        }
        if (p.baseType <= 2) {
            if (number < p.minimum || number > p.maximum)
                return ETS_E_OUT_OF_RANGE;
        } else if (number < INT32_MIN || number > INT32_MAX ||
                   !std::binary_search(sortedEnumValues.begin(), sortedEnumValues.end(),
                                       static_cast<std::int32_t>(number))) {
            return ETS_E_OUT_OF_RANGE;
        }
        if (number < INT32_MIN || number > UINT32_MAX)
            return ETS_E_OUT_OF_RANGE;
        *accepted = CatalogueModel::NumberVariant(number);
        return S_OK;
    }
    default:
        // A parameter without a value (or of a kind this host does not know) takes none.
        return DISP_E_TYPEMISMATCH;
    }
}

HRESULT DeviceContext::GetValue(std::size_t position, Variant* value)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    *value = m_values[position];
    return S_OK;
}

bool DeviceContext::VisibleNow(std::size_t position) const
{
    for (std::size_t p = position, parent; (parent = m_model->ParentOf(p)) != CatalogueModel::kNone;
         p = parent) {
        if (!m_model->HasCondition(p, m_values[parent].IntPart()))
            return false;
    }
    return true;
}

bool DeviceContext::ObjectVisibleNow(std::size_t object) const
{
    std::size_t p = m_model->ObjectParameter(object);
    if (p == CatalogueModel::kNone)
        return true;
    const auto& conditions = m_model->Object(object).conditionValues;
    return VisibleNow(p) && (conditions.empty() || std::find(conditions.begin(), conditions.end(),
                                                             m_values[p].IntPart()) != conditions.end());
}

HRESULT DeviceContext::IsVisible(std::size_t position, bool* visible)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    *visible = VisibleNow(position);
    return S_OK;
}

HRESULT DeviceContext::PutValue(std::size_t position, const Variant& value)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    const ParameterCheck& check = m_model->Check(position);
    Variant accepted;
    if (HRESULT hr = Accept(check, m_model->SortedEnumValues(check), value, &accepted); FAILED(hr))
        return hr;
    if (accepted == m_values[position])
        return S_OK;

    // Only this value changes: a child's visibility follows its own condition on it, and nothing
    // below a hidden parameter is visible before or after.
    const bool visible = VisibleNow(position);
    const auto& children = m_model->Children(position);
    const auto& objects = m_model->SubtreeObjects(position);
    std::vector<bool> objectsBefore;
    if (visible) {
        objectsBefore.reserve(objects.size());
        for (std::size_t o : objects)
            objectsBefore.push_back(ObjectVisibleNow(o));
    }

    const std::int32_t before = m_values[position].IntPart(), after = accepted.IntPart();
    Variant previous = std::exchange(m_values[position], accepted);
    if (!objects.empty())
        ++m_visibilityChanges;
    bool changed = false;
    std::vector<std::size_t> hidden;
    if (visible) {
        for (std::size_t c : children)
            changed = changed || m_model->HasCondition(c, before) != m_model->HasCondition(c, after);
        for (std::size_t i = 0; i < objects.size(); ++i) {
            bool now = ObjectVisibleNow(objects[i]);
            changed = changed || now != objectsBefore[i];
            if (objectsBefore[i] && !now)
                hidden.push_back(objects[i]);
        }
    }

    // An object that disappears takes its associations with it, in the same change as the value.
    auto write = [&] {
        if (!m_store->SetParameterValue(m_device.id, check.uniqueNr, ToStored(accepted)))
            return false;
        for (std::size_t o : hidden) {
            if (!m_associations[o].empty() &&
                !m_store->DeleteAssociations(m_device.id, m_model->Object(o).number))
                return false;
        }
        return true;
    };
    bool ok = hidden.empty() ? write() : m_store->Atomically(write);
    if (!ok) {
        m_values[position] = std::move(previous);
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "UniqueNr = %ld: %s", static_cast<long>(check.uniqueNr),
                     m_store->LastError().c_str());
        return E_FAIL;
    }
    for (std::size_t o : hidden)
        m_associations[o].clear();
    return changed ? ETS_S_PARAMETER_SET : S_OK;
}

HRESULT DeviceContext::GetObject(std::size_t object, ObjectRecord* record)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    *record = m_objects[object];
    return S_OK;
}

HRESULT DeviceContext::PeekObject(std::size_t object, const ObjectRecord** record)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    *record = &m_objects[object];
    return S_OK;
}

HRESULT DeviceContext::SetObject(std::size_t object, const ObjectRecord& record)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    ObjectRecord r = record;
    r.number = m_objects[object].number;
    if (r == m_objects[object])
        return S_OK;
    if (!m_store->SetObject(m_device.id, r)) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "ObjectNr = %d: %s", r.number, m_store->LastError().c_str());
        return E_FAIL;
    }
    m_objectStored[object] = true;
    m_objects[object] = std::move(r);
    return S_OK;
}

HRESULT DeviceContext::IsObjectVisible(std::size_t object, bool* visible)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    // Lists of the visible objects ask for every object, between writes that seldom change one.
    if (m_objectVisibleAt != m_visibilityChanges) {
        m_objectVisible.resize(m_objects.size());
        for (std::size_t o = 0; o < m_objects.size(); ++o)
            m_objectVisible[o] = ObjectVisibleNow(o);
        m_objectVisibleAt = m_visibilityChanges;
    }
    *visible = m_objectVisible[object] != 0;
    return S_OK;
}

HRESULT DeviceContext::Associations(std::size_t object, std::vector<std::int32_t>& addresses)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    addresses = m_associations[object];
    return S_OK;
}

HRESULT DeviceContext::AddAssociation(std::size_t object, std::int32_t address)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    // Hidden objects carry no associations: a parameter change that hides one drops them.
    if (!ObjectVisibleNow(object))
        return E_FAIL;
    const std::vector<std::int32_t>& present = m_associations[object];
    if (std::find(present.begin(), present.end(), address) != present.end())
        return S_FALSE;
    if (!AddressExists(address))
        return E_INVALIDARG;
    // The object's row must exist before an association can refer to it.
    bool ok = m_objectStored[object]
                  ? m_store->AddAssociation(m_device.id, m_objects[object].number, address)
                  : m_store->Atomically([&] {
                        return m_store->SetObject(m_device.id, m_objects[object]) &&
                               m_store->AddAssociation(m_device.id, m_objects[object].number, address);
                    });
    if (!ok)
        return E_FAIL;
    m_objectStored[object] = true;
    m_associations[object].push_back(address);
    return S_OK;
}

bool DeviceContext::AddressExists(std::int32_t address)
{
    // Addresses are never removed inside a session (a rollback reloads the context), so an address
    // found once stays known.
    if (m_addresses.count(address))
        return true;
    if (!m_store->FindGroupAddress(address))
        return false;
    m_addresses.insert(address);
    return true;
}

HRESULT DeviceContext::DeleteAssociation(std::size_t object, std::int32_t address)
{
    if (HRESULT hr = EnsureCurrent(); FAILED(hr))
        return hr;
    if (!m_store->DeleteAssociation(m_device.id, m_model->Object(object).number, address))
        return E_FAIL;
    std::erase(m_associations[object], address);
    return S_OK;
}
