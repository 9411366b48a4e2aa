#include "host/objects/HostProject.h"

#include "host/objects/HostCollection.h"
#include "trace/DebugTrace.h"

namespace {

template <class Record> std::function<std::size_t(std::int64_t)> NumberFinder(const std::vector<Record>& rows)
{
    return [&rows](std::int64_t key) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].number == key)
                return i;
        }
        return kNoItem;
    };
}

HRESULT StoreFailure(ProjectStore& store)
{
    TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", store.LastError().c_str());
    return E_FAIL;
}

} // namespace

std::string FormatGroupAddress(std::int32_t address, int levels)
{
    const int main = (address >> 11) & 0x1F, middle = (address >> 8) & 0x07, sub = address & 0xFF;
    if (levels == 2)
        return std::to_string(main) + "/" + std::to_string(middle * 256 + sub);
    return std::to_string(main) + "/" + std::to_string(middle) + "/" + std::to_string(sub);
}

std::int32_t GroupAddressValue(IEtsGroupAddress* address)
{
    Variant value;
    if (!address || FAILED(address->get_Address(&value)) || FAILED(value.ChangeType(VT_I4)))
        return 0;
    return value.lVal() >= 1 && value.lVal() <= 0xFFFF ? value.lVal() : 0;
}

HRESULT CHostGroupAddress::get_Address(Variant* value)
{
    if (!value)
        return E_POINTER;
    *value = Variant::I4(m_address);
    return S_OK;
}

HRESULT CHostGroupAddress::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_name;
    return S_OK;
}

// ---- addresses of a middle group

HRESULT CHostGroupAddressList::QueryInterface(const IID& riid, void** object)
{
    if (object && riid == IEtsCollection<IEtsGroupAddress>::iid)
        return Answer(static_cast<IEtsCollection<IEtsGroupAddress>*>(this), object);
    return ComObject::QueryInterface(riid, object);
}

HRESULT CHostGroupAddressList::Rows()
{
    if (m_loaded && m_revision == m_store->Revision())
        return S_OK;
    if (!m_store->GroupAddresses(m_main, m_middle, m_rows))
        return StoreFailure(*m_store);
    m_loaded = true;
    m_revision = m_store->Revision();
    return S_OK;
}

HRESULT CHostGroupAddressList::get_Count(std::int32_t* count)
{
    if (!count)
        return E_POINTER;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    *count = static_cast<std::int32_t>(m_rows.size());
    return S_OK;
}

HRESULT CHostGroupAddressList::Item(const Variant& index, IEtsGroupAddress** item)
{
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    auto find = [this](std::int64_t sub) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if ((m_rows[i].address & 0xFF) == sub)
                return i;
        }
        return kNoItem;
    };
    std::size_t i = kNoItem;
    if (HRESULT hr = ResolveItemIndex(index, m_rows.size(), "Address", find, &i); FAILED(hr))
        return hr;
    return HandOut(MakeComObject<CHostGroupAddress>(m_rows[i].address, m_rows[i].name), item);
}

HRESULT CHostGroupAddressList::Add(std::int32_t sub, const std::string& name, IEtsGroupAddress** address)
{
    if (address)
        *address = nullptr;
    const std::int32_t value = m_main * 2048 + m_middle * 256 + sub;
    if (sub < 0 || sub > 255 || value == 0 || m_store->FindGroupAddress(value))
        return E_INVALIDARG;
    if (!m_store->AddGroupAddress(value, name))
        return StoreFailure(*m_store);
    if (!address)
        return S_OK;
    return HandOut(MakeComObject<CHostGroupAddress>(value, name), address);
}

// ---- middle groups

HRESULT CHostMiddleGroup::get_Address(std::int32_t* middle)
{
    if (!middle)
        return E_POINTER;
    *middle = m_middle.number;
    return S_OK;
}

HRESULT CHostMiddleGroup::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_middle.name;
    return S_OK;
}

HRESULT CHostMiddleGroup::get_GroupAddresses(IEtsGroupAddressList** addresses)
{
    if (!addresses)
        return E_POINTER;
    return HandOut(MakeComObject<CHostGroupAddressList>(m_store, m_main, m_middle.number), addresses);
}

HRESULT CHostMiddleGroupList::QueryInterface(const IID& riid, void** object)
{
    if (object && riid == IEtsCollection<IEtsMiddleGroup>::iid)
        return Answer(static_cast<IEtsCollection<IEtsMiddleGroup>*>(this), object);
    return ComObject::QueryInterface(riid, object);
}

HRESULT CHostMiddleGroupList::Rows()
{
    if (m_loaded && m_revision == m_store->Revision())
        return S_OK;
    if (!m_store->MiddleGroups(m_main, m_rows))
        return StoreFailure(*m_store);
    m_loaded = true;
    m_revision = m_store->Revision();
    return S_OK;
}

HRESULT CHostMiddleGroupList::get_Count(std::int32_t* count)
{
    if (!count)
        return E_POINTER;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    *count = static_cast<std::int32_t>(m_rows.size());
    return S_OK;
}

HRESULT CHostMiddleGroupList::Item(const Variant& index, IEtsMiddleGroup** item)
{
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    std::size_t i = kNoItem;
    if (HRESULT hr = ResolveItemIndex(index, m_rows.size(), "Address", NumberFinder(m_rows), &i); FAILED(hr))
        return hr;
    return HandOut(MakeComObject<CHostMiddleGroup>(m_store, m_main, m_rows[i]), item);
}

HRESULT CHostMiddleGroupList::Add(std::int32_t middle, const std::string& name, IEtsMiddleGroup** group)
{
    if (group)
        *group = nullptr;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    if (middle < 0 || middle > 7 || NumberFinder(m_rows)(middle) != kNoItem)
        return E_INVALIDARG;
    if (!m_store->AddMiddleGroup(m_main, middle, name))
        return StoreFailure(*m_store);
    if (!group)
        return S_OK;
    return HandOut(MakeComObject<CHostMiddleGroup>(m_store, m_main, GroupNodeRecord{middle, name}), group);
}

// ---- main groups

HRESULT CHostMainGroup::get_Address(std::int32_t* main)
{
    if (!main)
        return E_POINTER;
    *main = m_main.number;
    return S_OK;
}

HRESULT CHostMainGroup::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_main.name;
    return S_OK;
}

HRESULT CHostMainGroup::get_MiddleGroups(IEtsMiddleGroupList** groups)
{
    if (!groups)
        return E_POINTER;
    return HandOut(MakeComObject<CHostMiddleGroupList>(m_store, m_main.number), groups);
}

HRESULT CHostMainGroupList::QueryInterface(const IID& riid, void** object)
{
    if (object && riid == IEtsCollection<IEtsMainGroup>::iid)
        return Answer(static_cast<IEtsCollection<IEtsMainGroup>*>(this), object);
    return ComObject::QueryInterface(riid, object);
}

HRESULT CHostMainGroupList::Rows()
{
    if (m_loaded && m_revision == m_store->Revision())
        return S_OK;
    if (!m_store->MainGroups(m_rows))
        return StoreFailure(*m_store);
    m_loaded = true;
    m_revision = m_store->Revision();
    return S_OK;
}

HRESULT CHostMainGroupList::get_Count(std::int32_t* count)
{
    if (!count)
        return E_POINTER;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    *count = static_cast<std::int32_t>(m_rows.size());
    return S_OK;
}

HRESULT CHostMainGroupList::Item(const Variant& index, IEtsMainGroup** item)
{
    if (!item)
        return E_POINTER;
    *item = nullptr;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    std::size_t i = kNoItem;
    if (HRESULT hr = ResolveItemIndex(index, m_rows.size(), "Address", NumberFinder(m_rows), &i); FAILED(hr))
        return hr;
    return HandOut(MakeComObject<CHostMainGroup>(m_store, m_rows[i]), item);
}

HRESULT CHostMainGroupList::Add(std::int32_t main, const std::string& name, IEtsMainGroup** group)
{
    if (group)
        *group = nullptr;
    if (HRESULT hr = Rows(); FAILED(hr))
        return hr;
    if (main < 0 || main > 31 || NumberFinder(m_rows)(main) != kNoItem)
        return E_INVALIDARG;
    if (!m_store->AddMainGroup(main, name))
        return StoreFailure(*m_store);
    if (!group)
        return S_OK;
    return HandOut(MakeComObject<CHostMainGroup>(m_store, GroupNodeRecord{main, name}), group);
}

// ---- datapoint types and manufacturers

HRESULT CHostDatapointSubtype::get_Number(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_entry.number;
    return S_OK;
}

HRESULT CHostDatapointSubtype::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_entry.name;
    return S_OK;
}

HRESULT CHostDatapointType::get_Number(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_entry->number;
    return S_OK;
}

HRESULT CHostDatapointType::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_entry->name;
    return S_OK;
}

HRESULT CHostDatapointType::get_Subtypes(IEtsCollection<IEtsDatapointSubtype>** subtypes)
{
    if (!subtypes)
        return E_POINTER;
    // A type's subtypes never change: the list is made once.
    if (!m_subtypes) {
        std::vector<ComPtr<IEtsDatapointSubtype>> items;
        std::vector<std::int64_t> keys;
        for (const DatapointSubtypeEntry& s : m_entry->subtypes) {
            items.push_back(MakeComObject<CHostDatapointSubtype>(s));
            keys.push_back(s.number);
        }
        m_subtypes = MakeHostList(std::move(items), "ID", std::move(keys));
    }
    return m_subtypes.CopyTo(subtypes);
}

HRESULT CHostManufacturer::get_Number(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_number;
    return S_OK;
}

HRESULT CHostManufacturer::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    *name = m_name;
    return S_OK;
}

// ---- project

HRESULT CHostProject::get_Name(std::string* name)
{
    if (!name)
        return E_POINTER;
    std::optional<std::string> stored = m_store->Name();
    if (!stored)
        return StoreFailure(*m_store);
    *name = *stored;
    return S_OK;
}

HRESULT CHostProject::get_GroupAddresses(IEtsCollection<IEtsGroupAddress>** addresses)
{
    if (!addresses)
        return E_POINTER;
    std::vector<GroupAddressRecord> rows;
    if (!m_store->GroupAddresses(rows))
        return StoreFailure(*m_store);
    std::vector<ComPtr<IEtsGroupAddress>> items;
    std::vector<std::int64_t> keys;
    for (GroupAddressRecord& r : rows) {
        keys.push_back(r.address);
        items.push_back(MakeComObject<CHostGroupAddress>(r.address, std::move(r.name)));
    }
    return MakeHostList(std::move(items), "GroupAddress", std::move(keys)).CopyTo(addresses);
}

HRESULT CHostProject::get_MainGroups(IEtsMainGroupList** groups)
{
    if (!groups)
        return E_POINTER;
    return HandOut(MakeComObject<CHostMainGroupList>(m_store), groups);
}

HRESULT CHostProject::get_DatapointTypes(IEtsCollection<IEtsDatapointType>** types)
{
    if (!types)
        return E_POINTER;
    *types = nullptr;
    const auto& entries = m_model->Source().DatapointTypes();
    if (entries.empty())
        return S_FALSE;
    if (!m_types) {
        std::vector<ComPtr<IEtsDatapointType>> items;
        std::vector<std::int64_t> keys;
        for (const DatapointTypeEntry& t : entries) {
            items.push_back(MakeComObject<CHostDatapointType>(m_model, t));
            keys.push_back(t.number);
        }
        m_types = MakeHostList(std::move(items), "ID", std::move(keys));
    }
    return m_types.CopyTo(types);
}

HRESULT CHostProject::get_Manufacturers(IEtsCollection<IEtsManufacturer>** manufacturers)
{
    if (!manufacturers)
        return E_POINTER;
    const ApplicationIdentity& app = m_model->Application();
    std::vector<ComPtr<IEtsManufacturer>> items{
        MakeComObject<CHostManufacturer>(app.manufacturerNumber, app.manufacturerName)};
    return MakeHostList(std::move(items), "Number", {app.manufacturerNumber}).CopyTo(manufacturers);
}
