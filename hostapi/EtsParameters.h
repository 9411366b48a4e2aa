// Host interfaces of the device's parameters: instance values and the application's descriptions.
#pragma once

#include "hostapi/EtsCollection.h"

#include <string>

struct IEtsEnumValue : IUnknown
{
    static constexpr IID iid{0x6290818E, 0x656C, 0x4554, {0x82, 0x4F, 0x7A, 0x43, 0xCE, 0xF8, 0x04, 0xB1}};
    virtual HRESULT get_Value(std::int32_t* value) = 0;
    virtual HRESULT get_Text(std::string* text) = 0;
};

// Base types: 0 none, 1 and 2 integer with a range, 3 text, 4 and 5 enumeration.
struct IEtsParameterType : IUnknown
{
    static constexpr IID iid{0x50080A6C, 0x6313, 0x4003, {0xB5, 0xDD, 0x38, 0xB8, 0xAF, 0x54, 0xC1, 0x1F}};
    virtual HRESULT get_BaseType(std::int32_t* baseType) = 0;
    virtual HRESULT get_Minimum(Variant* value) = 0;
    virtual HRESULT get_Maximum(Variant* value) = 0;
    virtual HRESULT get_EnumValues(IEtsCollection<IEtsEnumValue>** values) = 0;
};

// The application's description of one parameter.
struct IEtsUIParameter : IUnknown
{
    static constexpr IID iid{0xB3594FBF, 0x2B44, 0x4395, {0xA5, 0x16, 0x40, 0x09, 0x0A, 0x7D, 0x19, 0x22}};
    virtual HRESULT get_UniqueNumber(std::int32_t* number) = 0;
    // S_OK with an empty text when the parameter has no description.
    virtual HRESULT get_Description(std::string* text) = 0;
    virtual HRESULT get_Accessible(std::int16_t* accessible) = 0;
    virtual HRESULT get_Type(IEtsParameterType** type) = 0;
    virtual HRESULT get_DefaultValue(Variant* value) = 0;
    // The parameters that hang below this one in the dependency tree, in the application's order.
    virtual HRESULT get_DependentParameters(IEtsCollection<IEtsUIParameter>** dependents) = 0;
    // S_FALSE and null at a root of the tree.
    virtual HRESULT get_Parent(IEtsUIParameter** parent) = 0;
    // The parent's value under which this parameter exists; empty when it hangs under no condition.
    virtual HRESULT get_ConditionValue(Variant* value) = 0;
};

// The device's instance of one parameter.
struct IEtsDeviceParameter : IUnknown
{
    static constexpr IID iid{0x0A78CE31, 0x482B, 0x4D9E, {0xB8, 0x18, 0x98, 0xD7, 0x0E, 0xF7, 0xB6, 0x8A}};
    virtual HRESULT get_Value(Variant* value) = 0;
    // S_OK or ETS_S_PARAMETER_SET when taken; ETS_E_OUT_OF_RANGE when the type refuses it.
    virtual HRESULT put_Value(const Variant& value) = 0;
    virtual HRESULT get_Visible(std::int16_t* visible) = 0;
    virtual HRESULT get_UIParameter(IEtsUIParameter** parameter) = 0;
};
