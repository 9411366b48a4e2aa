// Host interfaces of the project: group address tree, datapoint types, manufacturers.
#pragma once

#include "hostapi/EtsCollection.h"

#include <string>

// One group address; its value is the 16-bit address main * 2048 + middle * 256 + sub as VT_I4.
struct IEtsGroupAddress : IUnknown
{
    static constexpr IID iid{0xD1E1D268, 0x8DE3, 0x49C6, {0xA5, 0x5F, 0xA4, 0x33, 0x0C, 0x6F, 0xBC, 0x14}};
    virtual HRESULT get_Address(Variant* value) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
};

// Addresses of one middle group; queried with "$(Address)='sub'".
struct IEtsGroupAddressList : IEtsCollection<IEtsGroupAddress>
{
    static constexpr IID iid{0x6B60C4C8, 0x791D, 0x4D23, {0x9E, 0x3A, 0x72, 0x3E, 0xC6, 0x1B, 0x3D, 0x1E}};
    virtual HRESULT Add(std::int32_t sub, const std::string& name, IEtsGroupAddress** address) = 0;
};

struct IEtsMiddleGroup : IUnknown
{
    static constexpr IID iid{0x0CE15903, 0xCA83, 0x4262, {0x90, 0xBD, 0x7E, 0xEC, 0x12, 0x53, 0xAE, 0xBA}};
    virtual HRESULT get_Address(std::int32_t* middle) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
    virtual HRESULT get_GroupAddresses(IEtsGroupAddressList** addresses) = 0;
};

struct IEtsMiddleGroupList : IEtsCollection<IEtsMiddleGroup>
{
    static constexpr IID iid{0x7327013D, 0x46BF, 0x4994, {0xAD, 0xFB, 0xF9, 0xCA, 0x2F, 0xDC, 0x9E, 0x8A}};
    virtual HRESULT Add(std::int32_t middle, const std::string& name, IEtsMiddleGroup** group) = 0;
};

struct IEtsMainGroup : IUnknown
{
    static constexpr IID iid{0x7EFBED5D, 0x38AB, 0x4AAE, {0xAD, 0x74, 0xE1, 0xA9, 0x8E, 0x68, 0x76, 0x45}};
    virtual HRESULT get_Address(std::int32_t* main) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
    virtual HRESULT get_MiddleGroups(IEtsMiddleGroupList** groups) = 0;
};

struct IEtsMainGroupList : IEtsCollection<IEtsMainGroup>
{
    static constexpr IID iid{0xD3739C15, 0x610F, 0x49A0, {0x96, 0x3B, 0x1F, 0x09, 0x97, 0x17, 0x41, 0x91}};
    virtual HRESULT Add(std::int32_t main, const std::string& name, IEtsMainGroup** group) = 0;
};

struct IEtsDatapointSubtype : IUnknown
{
    static constexpr IID iid{0xA9F53502, 0x9375, 0x4A00, {0xA9, 0xA6, 0x9D, 0x2C, 0x53, 0x8E, 0xEF, 0x6B}};
    virtual HRESULT get_Number(std::int32_t* number) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
};

// A datapoint main type; its subtypes are queried with "$(ID)=n".
struct IEtsDatapointType : IUnknown
{
    static constexpr IID iid{0x20ACCFED, 0xA74E, 0x45C6, {0xAC, 0x67, 0xB4, 0x70, 0x08, 0x8C, 0x7D, 0xF3}};
    virtual HRESULT get_Number(std::int32_t* number) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
    virtual HRESULT get_Subtypes(IEtsCollection<IEtsDatapointSubtype>** subtypes) = 0;
};

struct IEtsManufacturer : IUnknown
{
    static constexpr IID iid{0x51711469, 0x04EC, 0x4F80, {0x97, 0x3A, 0xB7, 0x2C, 0x3D, 0xC3, 0x32, 0x41}};
    virtual HRESULT get_Number(std::int32_t* number) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
};

struct IEtsProject : IUnknown
{
    static constexpr IID iid{0x74DE2CC7, 0x4FEB, 0x4A56, {0xBD, 0xA9, 0x14, 0x57, 0xCA, 0x36, 0xA9, 0xBD}};
    virtual HRESULT get_Name(std::string* name) = 0;
    // Every group address of the project; queried with "$(GroupAddress)='value'" (decimal 16-bit value).
    virtual HRESULT get_GroupAddresses(IEtsCollection<IEtsGroupAddress>** addresses) = 0;
    // Main groups, queried with "$(Address)='main'".
    virtual HRESULT get_MainGroups(IEtsMainGroupList** groups) = 0;
    // Datapoint main types, queried with "$(ID)=n"; S_FALSE and null when the host has no catalogue.
    virtual HRESULT get_DatapointTypes(IEtsCollection<IEtsDatapointType>** types) = 0;
    // Manufacturers, queried with "$(Number)=n".
    virtual HRESULT get_Manufacturers(IEtsCollection<IEtsManufacturer>** manufacturers) = 0;
};
