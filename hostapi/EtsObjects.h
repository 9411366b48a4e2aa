// Host interfaces of the device's communication objects and their group address associations.
#pragma once

#include "hostapi/EtsParameters.h"
#include "hostapi/EtsProject.h"

#include <string>

// The five enable flags of a communication object.
enum EtsObjectFlag : std::int32_t
{
    EtsFlagCommunication = 0,
    EtsFlagRead = 1,
    EtsFlagWrite = 2,
    EtsFlagTransmit = 3,
    EtsFlagUpdate = 4,
};

// The application's definition of an object: its standard flags and the parameter it depends on.
struct IEtsStandardCommObject : IUnknown
{
    static constexpr IID iid{0x9895C37D, 0x9876, 0x4813, {0xB4, 0xAA, 0x1D, 0xBF, 0x6F, 0x86, 0xA5, 0x3D}};
    virtual HRESULT get_Number(std::uint16_t* number) = 0;
    virtual HRESULT get_UniqueNumber(std::int32_t* number) = 0;
    virtual HRESULT get_Priority(std::int32_t* priority) = 0;
    virtual HRESULT get_Flag(EtsObjectFlag flag, std::int16_t* on) = 0;
    // S_FALSE and null when the object depends on no parameter.
    virtual HRESULT get_UIParameter(IEtsUIParameter** parameter) = 0;
    virtual HRESULT get_ConditionValue(Variant* value) = 0;
};

struct IEtsAssociation : IUnknown
{
    static constexpr IID iid{0xE55C2259, 0x1F6F, 0x4362, {0xB0, 0x43, 0x5F, 0x91, 0xD0, 0xE0, 0xC1, 0x9F}};
    virtual HRESULT get_GroupAddress(IEtsGroupAddress** address) = 0;
    // Non-zero for the object's sending address.
    virtual HRESULT get_Sending(std::int16_t* sending) = 0;
};

struct IEtsAssociations : IEtsCollection<IEtsAssociation>
{
    static constexpr IID iid{0x504AAAAA, 0x1BDB, 0x4767, {0x8B, 0x1E, 0x00, 0xA7, 0x20, 0x42, 0xAE, 0xD4}};
    // The first association added to an object becomes its sending one.
    virtual HRESULT Add(IEtsGroupAddress* address, IEtsAssociation** association) = 0;
    virtual HRESULT Delete(const Variant& index) = 0;
};

struct IEtsCommObject : IUnknown
{
    static constexpr IID iid{0x051079E6, 0xC822, 0x43CB, {0xB8, 0x52, 0xF2, 0xC2, 0x82, 0x1F, 0xAB, 0x9E}};
    virtual HRESULT get_Number(std::uint16_t* number) = 0;
    virtual HRESULT get_UniqueNumber(std::int32_t* number) = 0;
    virtual HRESULT get_Text(std::string* text) = 0;
    virtual HRESULT put_Text(const std::string& text) = 0;
    virtual HRESULT get_FunctionText(std::string* text) = 0;
    // The two texts of a printed object line: which = 1 the object's name, 2 its function.
    virtual HRESULT get_DisplayText(std::int32_t which, std::string* text) = 0;
    virtual HRESULT get_Priority(std::int32_t* priority) = 0;
    virtual HRESULT put_Priority(std::int32_t priority) = 0;
    virtual HRESULT get_Flag(EtsObjectFlag flag, std::int16_t* on) = 0;
    virtual HRESULT put_Flag(EtsObjectFlag flag, std::int16_t on) = 0;
    virtual HRESULT get_Visible(std::int16_t* visible) = 0;
    virtual HRESULT get_StandardObject(IEtsStandardCommObject** standard) = 0;
    virtual HRESULT get_Associations(IEtsAssociations** associations) = 0;
    // S_FALSE and null when the object has no datapoint type.
    virtual HRESULT get_DatapointType(IEtsDatapointType** type) = 0;
    virtual HRESULT put_DatapointType(IEtsDatapointType* type) = 0;
    virtual HRESULT get_DatapointSubtype(IEtsDatapointSubtype** subtype) = 0;
    virtual HRESULT put_DatapointSubtype(IEtsDatapointSubtype* subtype) = 0;
};
