// Host objects of the project: its name, the group address tree (main groups, middle groups,
// addresses), the datapoint types and the manufacturers.
#pragma once

#include "host/catalogue/CatalogueModel.h"
#include "host/store/ProjectStore.h"
#include "hostapi/EtsProject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// "main/middle/sub" in three-level projects, "main/sub" (sub = middle * 256 + sub) in two-level ones.
std::string FormatGroupAddress(std::int32_t address, int levels);
// The 16-bit value of a group address object (VT_I4 or another integer kind, 1..65535); 0 when none.
std::int32_t GroupAddressValue(IEtsGroupAddress* address);

class CHostGroupAddress final : public ComObject<IEtsGroupAddress>
{
public:
    CHostGroupAddress(std::int32_t address, std::string name) : m_address(address), m_name(std::move(name)) {}
    HRESULT get_Address(Variant* value) override;
    HRESULT get_Name(std::string* name) override;

private:
    std::int32_t m_address;
    std::string m_name;
};

// The addresses of one middle group, queried with "$(Address)='sub'".
class CHostGroupAddressList final : public ComObject<IEtsGroupAddressList>
{
public:
    CHostGroupAddressList(std::shared_ptr<ProjectStore> store, std::int32_t main, std::int32_t middle)
        : m_store(std::move(store)), m_main(main), m_middle(middle)
    {}
    HRESULT QueryInterface(const IID& riid, void** object) override;
    HRESULT get_Count(std::int32_t* count) override;
    HRESULT Item(const Variant& index, IEtsGroupAddress** item) override;
    // sub 0..255 (0/0/0 is no group address); E_INVALIDARG when out of range or present already.
    HRESULT Add(std::int32_t sub, const std::string& name, IEtsGroupAddress** address) override;

private:
    HRESULT Rows();
    std::shared_ptr<ProjectStore> m_store;
    std::int32_t m_main, m_middle;
    std::uint64_t m_revision = 0;
    bool m_loaded = false;
    std::vector<GroupAddressRecord> m_rows;
};

class CHostMiddleGroup final : public ComObject<IEtsMiddleGroup>
{
public:
    CHostMiddleGroup(std::shared_ptr<ProjectStore> store, std::int32_t main, GroupNodeRecord middle)
        : m_store(std::move(store)), m_main(main), m_middle(std::move(middle))
    {}
    HRESULT get_Address(std::int32_t* middle) override;
    HRESULT get_Name(std::string* name) override;
    HRESULT get_GroupAddresses(IEtsGroupAddressList** addresses) override;

private:
    std::shared_ptr<ProjectStore> m_store;
    std::int32_t m_main;
    GroupNodeRecord m_middle;
};

// The middle groups of one main group, queried with "$(Address)='middle'".
class CHostMiddleGroupList final : public ComObject<IEtsMiddleGroupList>
{
public:
    CHostMiddleGroupList(std::shared_ptr<ProjectStore> store, std::int32_t main)
        : m_store(std::move(store)), m_main(main)
    {}
    HRESULT QueryInterface(const IID& riid, void** object) override;
    HRESULT get_Count(std::int32_t* count) override;
    HRESULT Item(const Variant& index, IEtsMiddleGroup** item) override;
    // middle 0..7; E_INVALIDARG when out of range or present already.
    HRESULT Add(std::int32_t middle, const std::string& name, IEtsMiddleGroup** group) override;

private:
    HRESULT Rows();
    std::shared_ptr<ProjectStore> m_store;
    std::int32_t m_main;
    std::uint64_t m_revision = 0;
    bool m_loaded = false;
    std::vector<GroupNodeRecord> m_rows;
};

class CHostMainGroup final : public ComObject<IEtsMainGroup>
{
public:
    CHostMainGroup(std::shared_ptr<ProjectStore> store, GroupNodeRecord main)
        : m_store(std::move(store)), m_main(std::move(main))
    {}
    HRESULT get_Address(std::int32_t* main) override;
    HRESULT get_Name(std::string* name) override;
    HRESULT get_MiddleGroups(IEtsMiddleGroupList** groups) override;

private:
    std::shared_ptr<ProjectStore> m_store;
    GroupNodeRecord m_main;
};

// The project's main groups, queried with "$(Address)='main'".
class CHostMainGroupList final : public ComObject<IEtsMainGroupList>
{
public:
    explicit CHostMainGroupList(std::shared_ptr<ProjectStore> store) : m_store(std::move(store)) {}
    HRESULT QueryInterface(const IID& riid, void** object) override;
    HRESULT get_Count(std::int32_t* count) override;
    HRESULT Item(const Variant& index, IEtsMainGroup** item) override;
    // main 0..31; E_INVALIDARG when out of range or present already.
    HRESULT Add(std::int32_t main, const std::string& name, IEtsMainGroup** group) override;

private:
    HRESULT Rows();
    std::shared_ptr<ProjectStore> m_store;
    std::uint64_t m_revision = 0;
    bool m_loaded = false;
    std::vector<GroupNodeRecord> m_rows;
};

class CHostDatapointSubtype final : public ComObject<IEtsDatapointSubtype>
{
public:
    explicit CHostDatapointSubtype(DatapointSubtypeEntry entry) : m_entry(std::move(entry)) {}
    HRESULT get_Number(std::int32_t* number) override;
    HRESULT get_Name(std::string* name) override;

private:
    DatapointSubtypeEntry m_entry;
};

class CHostDatapointType final : public ComObject<IEtsDatapointType>
{
public:
    // A catalogue's type, read where the model keeps it.
    CHostDatapointType(std::shared_ptr<const CatalogueModel> model, const DatapointTypeEntry& entry)
        : m_model(std::move(model)), m_entry(&entry)
    {}
    // A type the catalogue does not know.
    explicit CHostDatapointType(DatapointTypeEntry entry) : m_own(std::move(entry)), m_entry(&m_own) {}
    HRESULT get_Number(std::int32_t* number) override;
    HRESULT get_Name(std::string* name) override;
    // Queried with "$(ID)=n".
    HRESULT get_Subtypes(IEtsCollection<IEtsDatapointSubtype>** subtypes) override;

private:
    std::shared_ptr<const CatalogueModel> m_model;
    DatapointTypeEntry m_own;
    const DatapointTypeEntry* m_entry;
    ComPtr<IEtsCollection<IEtsDatapointSubtype>> m_subtypes;
};

class CHostManufacturer final : public ComObject<IEtsManufacturer>
{
public:
    CHostManufacturer(std::int32_t number, std::string name) : m_number(number), m_name(std::move(name)) {}
    HRESULT get_Number(std::int32_t* number) override;
    HRESULT get_Name(std::string* name) override;

private:
    std::int32_t m_number;
    std::string m_name;
};

class CHostProject final : public ComObject<IEtsProject>
{
public:
    CHostProject(std::shared_ptr<ProjectStore> store, std::shared_ptr<const CatalogueModel> model)
        : m_store(std::move(store)), m_model(std::move(model))
    {}
    HRESULT get_Name(std::string* name) override;
    HRESULT get_GroupAddresses(IEtsCollection<IEtsGroupAddress>** addresses) override;
    HRESULT get_MainGroups(IEtsMainGroupList** groups) override;
    HRESULT get_DatapointTypes(IEtsCollection<IEtsDatapointType>** types) override;
    HRESULT get_Manufacturers(IEtsCollection<IEtsManufacturer>** manufacturers) override;

private:
    std::shared_ptr<ProjectStore> m_store;
    std::shared_ptr<const CatalogueModel> m_model;
    // The catalogue's types never change: one list for the session.
    ComPtr<IEtsCollection<IEtsDatapointType>> m_types;
};
