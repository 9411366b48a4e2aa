#include "host/objects/HostObjects.h"

#include "host/objects/HostCollection.h"
#include "host/objects/HostParameters.h"
#include "host/objects/HostProject.h"

namespace {

bool ValidFlag(EtsObjectFlag flag)
{
    return flag >= EtsFlagCommunication && flag <= EtsFlagUpdate;
}

} // namespace

// ---- standard definition

HRESULT CHostStandardCommObject::get_Number(std::uint16_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_model->Object(m_object).number;
    return S_OK;
}

HRESULT CHostStandardCommObject::get_UniqueNumber(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_model->Object(m_object).uniqueNumber;
    return S_OK;
}

HRESULT CHostStandardCommObject::get_Priority(std::int32_t* priority)
{
    if (!priority)
        return E_POINTER;
    *priority = m_model->Object(m_object).priority;
    return S_OK;
}

HRESULT CHostStandardCommObject::get_Flag(EtsObjectFlag flag, std::int16_t* on)
{
    if (!on)
        return E_POINTER;
    if (!ValidFlag(flag))
        return E_INVALIDARG;
    *on = m_model->Object(m_object).flags[flag] ? kEtsTrue : kEtsFalse;
    return S_OK;
}

HRESULT CHostStandardCommObject::get_UIParameter(IEtsUIParameter** parameter)
{
    if (!parameter)
        return E_POINTER;
    *parameter = nullptr;
    std::size_t p = m_model->ObjectParameter(m_object);
    if (p == CatalogueModel::kNone)
        return S_FALSE;
    return HandOut(MakeComObject<CHostUIParameter>(m_model, p), parameter);
}

HRESULT CHostStandardCommObject::get_ConditionValue(Variant* value)
{
    if (!value)
        return E_POINTER;
    const auto& conditions = m_model->Object(m_object).conditionValues;
    *value = conditions.empty() ? Variant() : Variant::I4(conditions.front());
    return S_OK;
}

// ---- associations

HRESULT CHostAssociation::get_GroupAddress(IEtsGroupAddress** address)
{
    if (!address)
        return E_POINTER;
    *address = nullptr;
    std::optional<GroupAddressRecord> record = m_store->FindGroupAddress(m_address);
    if (!record)
        return E_FAIL;
    return HandOut(MakeComObject<CHostGroupAddress>(record->address, record->name), address);
}

HRESULT CHostAssociation::get_Sending(std::int16_t* sending)
{
    if (!sending)
        return E_POINTER;
    *sending = m_sending ? kEtsTrue : kEtsFalse;
    return S_OK;
}

HRESULT CHostAssociations::QueryInterface(const IID& riid, void** object)
{
    if (object && riid == IEtsCollection<IEtsAssociation>::iid)
        return Answer(static_cast<IEtsCollection<IEtsAssociation>*>(this), object);
    return ComObject::QueryInterface(riid, object);
}

HRESULT CHostAssociations::get_Count(std::int32_t* count)
{
    if (!count)
        return E_POINTER;
    std::vector<std::int32_t> addresses;
    if (HRESULT hr = m_context->Associations(m_object, addresses); FAILED(hr))
        return hr;
    *count = static_cast<std::int32_t>(addresses.size());
    return S_OK;
}

HRESULT CHostAssociations::Resolve(const Variant& index, std::vector<std::int32_t>& addresses,
                                   std::size_t* position)
{
    if (HRESULT hr = m_context->Associations(m_object, addresses); FAILED(hr))
        return hr;
    std::vector<std::int64_t> keys(addresses.begin(), addresses.end());
    return ResolveItemIndex(index, addresses.size(), "GroupAddress", KeyFinder(std::move(keys)), position);
}

HRESULT CHostAssociations::Item(const Variant& index, IEtsAssociation** item)
{
    if (!item)
        return E_POINTER;
    *item = nullptr;
    std::vector<std::int32_t> addresses;
    std::size_t i = kNoItem;
    if (HRESULT hr = Resolve(index, addresses, &i); FAILED(hr))
        return hr;
    return HandOut(MakeComObject<CHostAssociation>(m_context->StorePtr(), addresses[i], i == 0), item);
}

HRESULT CHostAssociations::Add(IEtsGroupAddress* address, IEtsAssociation** association)
{
    if (association)
        *association = nullptr;
    if (!address)
        return E_POINTER;
    std::int32_t value = GroupAddressValue(address);
    if (value == 0)
        return E_INVALIDARG;
    HRESULT hr = m_context->AddAssociation(m_object, value);
    if (FAILED(hr) || !association)
        return hr;
    std::vector<std::int32_t> addresses;
    if (FAILED(m_context->Associations(m_object, addresses)))
        return hr;
    bool sending = !addresses.empty() && addresses.front() == value;
    if (HRESULT made =
            HandOut(MakeComObject<CHostAssociation>(m_context->StorePtr(), value, sending), association);
        FAILED(made))
        return made;
    return hr;
}

HRESULT CHostAssociations::Delete(const Variant& index)
{
    std::vector<std::int32_t> addresses;
    std::size_t i = kNoItem;
    if (HRESULT hr = Resolve(index, addresses, &i); FAILED(hr))
        return hr;
    return m_context->DeleteAssociation(m_object, addresses[i]);
}

// ---- object

template <class Unchanged, class Change> HRESULT CHostCommObject::Update(Unchanged unchanged, Change change)
{
    // A setting that holds what is asked costs neither a copy of the record nor a write.
    const ObjectRecord* current = nullptr;
    if (HRESULT hr = m_context->PeekObject(m_object, &current); FAILED(hr))
        return hr;
    if (unchanged(*current))
        return S_OK;
    ObjectRecord record = *current;
    if (HRESULT hr = change(record); FAILED(hr))
        return hr;
    return m_context->SetObject(m_object, record);
}

template <class Read> HRESULT CHostCommObject::Peek(Read read) const
{
    const ObjectRecord* record = nullptr;
    HRESULT hr = m_context->PeekObject(m_object, &record);
    if (SUCCEEDED(hr))
        read(*record);
    return hr;
}

HRESULT CHostCommObject::get_Number(std::uint16_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_context->Model().Object(m_object).number;
    return S_OK;
}

HRESULT CHostCommObject::get_UniqueNumber(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_context->Model().Object(m_object).uniqueNumber;
    return S_OK;
}

HRESULT CHostCommObject::get_Text(std::string* text)
{
    if (!text)
        return E_POINTER;
    return Peek([&](const ObjectRecord& r) { *text = r.text; });
}

HRESULT CHostCommObject::put_Text(const std::string& text)
{
    return Update([&](const ObjectRecord& r) { return r.text == text; },
                  [&](ObjectRecord& r) {
                      r.text = text;
                      return S_OK;
                  });
}

HRESULT CHostCommObject::get_FunctionText(std::string* text)
{
    if (!text)
        return E_POINTER;
    *text = m_context->Model().Object(m_object).functionText;
    return S_OK;
}

HRESULT CHostCommObject::get_DisplayText(std::int32_t which, std::string* text)
{
    if (!text)
        return E_POINTER;
    if (which == 1)
        return get_Text(text);
    if (which == 2)
        return get_FunctionText(text);
    return E_INVALIDARG;
}

HRESULT CHostCommObject::get_Priority(std::int32_t* priority)
{
    if (!priority)
        return E_POINTER;
    return Peek([&](const ObjectRecord& r) { *priority = r.priority; });
}

HRESULT CHostCommObject::put_Priority(std::int32_t priority)
{
    if (priority < 0 || priority > 3)
        return E_INVALIDARG;
    return Update([&](const ObjectRecord& r) { return r.priority == priority; },
                  [&](ObjectRecord& r) {
                      r.priority = priority;
                      return S_OK;
                  });
}

HRESULT CHostCommObject::get_Flag(EtsObjectFlag flag, std::int16_t* on)
{
    if (!on)
        return E_POINTER;
    if (!ValidFlag(flag))
        return E_INVALIDARG;
    return Peek([&](const ObjectRecord& r) { *on = (r.flags >> flag) & 1 ? kEtsTrue : kEtsFalse; });
}

HRESULT CHostCommObject::put_Flag(EtsObjectFlag flag, std::int16_t on)
{
    if (!ValidFlag(flag))
        return E_INVALIDARG;
    return Update([&](const ObjectRecord& r) { return (((r.flags >> flag) & 1) != 0) == (on != 0); },
                  [&](ObjectRecord& r) {
                      const auto bit = static_cast<std::uint8_t>(1u << flag);
                      r.flags = static_cast<std::uint8_t>(on ? r.flags | bit : r.flags & ~bit);
                      return S_OK;
                  });
}

HRESULT CHostCommObject::get_Visible(std::int16_t* visible)
{
    if (!visible)
        return E_POINTER;
    bool on = false;
    HRESULT hr = m_context->IsObjectVisible(m_object, &on);
    if (SUCCEEDED(hr))
        *visible = on ? kEtsTrue : kEtsFalse;
    return hr;
}

HRESULT CHostCommObject::get_StandardObject(IEtsStandardCommObject** standard)
{
    if (!standard)
        return E_POINTER;
    if (!m_standard)
        m_standard = MakeComObject<CHostStandardCommObject>(m_context->ModelPtr(), m_object);
    return m_standard.CopyTo(standard);
}

HRESULT CHostCommObject::get_Associations(IEtsAssociations** associations)
{
    if (!associations)
        return E_POINTER;
    if (!m_associations)
        m_associations = MakeComObject<CHostAssociations>(m_context, m_object);
    return m_associations.CopyTo(associations);
}

HRESULT CHostCommObject::get_DatapointType(IEtsDatapointType** type)
{
    if (!type)
        return E_POINTER;
    *type = nullptr;
    const ObjectRecord* record = nullptr;
    if (HRESULT hr = m_context->PeekObject(m_object, &record); FAILED(hr))
        return hr;
    if (record->datapointMain < 0)
        return S_FALSE;
    if (const DatapointTypeEntry* entry = m_context->Model().FindDatapointType(record->datapointMain))
        return HandOut(MakeComObject<CHostDatapointType>(m_context->ModelPtr(), *entry), type);
    return HandOut(MakeComObject<CHostDatapointType>(DatapointTypeEntry{record->datapointMain, {}, {}}),
                   type);
}

HRESULT CHostCommObject::put_DatapointType(IEtsDatapointType* type)
{
    std::int32_t number = -1;
    if (type) {
        if (FAILED(type->get_Number(&number)) || !m_context->Model().FindDatapointType(number))
            return E_INVALIDARG;
    }
    return Update([&](const ObjectRecord& r) { return r.datapointMain == number; },
                  [&](ObjectRecord& r) {
                      // A subtype belongs to its main type: changing the main type drops it.
                      if (r.datapointMain != number)
                          r.datapointSub = -1;
                      r.datapointMain = number;
                      return S_OK;
                  });
}

HRESULT CHostCommObject::get_DatapointSubtype(IEtsDatapointSubtype** subtype)
{
    if (!subtype)
        return E_POINTER;
    *subtype = nullptr;
    const ObjectRecord* record = nullptr;
    if (HRESULT hr = m_context->PeekObject(m_object, &record); FAILED(hr))
        return hr;
    if (record->datapointMain < 0 || record->datapointSub < 0)
        return S_FALSE;
    DatapointSubtypeEntry found{record->datapointSub, {}};
    if (const DatapointTypeEntry* entry = m_context->Model().FindDatapointType(record->datapointMain)) {
        for (const DatapointSubtypeEntry& s : entry->subtypes) {
            if (s.number == record->datapointSub)
                found = s;
        }
    }
    return HandOut(MakeComObject<CHostDatapointSubtype>(found), subtype);
}

HRESULT CHostCommObject::put_DatapointSubtype(IEtsDatapointSubtype* subtype)
{
    std::int32_t number = -1;
    if (subtype && FAILED(subtype->get_Number(&number)))
        return E_INVALIDARG;
    return Update([&](const ObjectRecord& r) { return r.datapointSub == number; },
                  [&](ObjectRecord& r) {
                      if (number >= 0) {
                          const DatapointTypeEntry* entry =
                              m_context->Model().FindDatapointType(r.datapointMain);
                          if (!entry)
                              return E_FAIL;
                          bool known = false;
                          for (const DatapointSubtypeEntry& s : entry->subtypes)
                              known = known || s.number == number;
                          if (!known)
                              return E_INVALIDARG;
                      }
                      r.datapointSub = number;
                      return S_OK;
                  });
}

ComPtr<IEtsCommObject> CommObjectItems::Item(std::size_t object)
{
    // All are made at the first use, in catalogue order, as neighbours in memory.
    if (m_items.empty()) {
        m_items.reserve(m_context->Model().ObjectCount());
        for (std::size_t o = 0; o < m_context->Model().ObjectCount(); ++o)
            m_items.push_back(MakeComObject<CHostCommObject>(m_context, o));
    }
    return m_items[object];
}

ComPtr<IEtsCollection<IEtsCommObject>> MakeCommObjectList(const std::shared_ptr<CommObjectItems>& items,
                                                          bool visibleOnly)
{
    DeviceContext& context = items->Context();
    const CatalogueModel& model = context.Model();
    std::vector<std::size_t> positions;
    std::vector<std::int64_t> keys;
    positions.reserve(model.ObjectCount());
    keys.reserve(model.ObjectCount());
    for (std::size_t o = 0; o < model.ObjectCount(); ++o) {
        bool visible = true;
        if (visibleOnly && (FAILED(context.IsObjectVisible(o, &visible)) || !visible))
            continue;
        positions.push_back(o);
        keys.push_back(model.Object(o).uniqueNumber);
    }
    const std::size_t count = positions.size();
    auto factory = [items, positions = std::move(positions)](std::size_t i) {
        return items->Item(positions[i]);
    };
    return MakeComObject<CHostList<IEtsCommObject>>(count, std::move(factory), "UniqueNumber",
                                                    KeyFinder(std::move(keys)));
}
