// Host objects of the device's parameters: the device's instance of a parameter (value, visibility)
// and the application's description of it (UI parameter, type, enumeration values).
#pragma once

#include "host/objects/DeviceContext.h"
#include "hostapi/EtsParameters.h"

#include <cstddef>
#include <memory>

// Flags cross the boundary as 16-bit booleans: -1 true, 0 false.
inline constexpr std::int16_t kEtsTrue = -1;
inline constexpr std::int16_t kEtsFalse = 0;

class CHostEnumValue final : public ComObject<IEtsEnumValue>
{
public:
    CHostEnumValue(std::int32_t value, std::string text) : m_value(value), m_text(std::move(text)) {}
    HRESULT get_Value(std::int32_t* value) override;
    HRESULT get_Text(std::string* text) override;

private:
    std::int32_t m_value;
    std::string m_text;
};

class CHostParameterType final : public ComObject<IEtsParameterType>
{
public:
    CHostParameterType(std::shared_ptr<const CatalogueModel> model, std::size_t position)
        : m_model(std::move(model)), m_position(position)
    {}
    HRESULT get_BaseType(std::int32_t* baseType) override;
    // VT_I4, or VT_UI4 for a bound above 0x7FFFFFFF; for texts 0 and the longest length.
    HRESULT get_Minimum(Variant* value) override;
    HRESULT get_Maximum(Variant* value) override;
    HRESULT get_EnumValues(IEtsCollection<IEtsEnumValue>** values) override;

private:
    std::shared_ptr<const CatalogueModel> m_model;
    std::size_t m_position;
};

// The UI parameter's answers, shared by the objects that offer the interface.
namespace ui_parameter {
HRESULT UniqueNumber(const CatalogueModel& model, std::size_t position, std::int32_t* number);
HRESULT Description(const CatalogueModel& model, std::size_t position, std::string* text);
HRESULT Accessible(const CatalogueModel& model, std::size_t position, std::int16_t* accessible);
HRESULT Type(const std::shared_ptr<const CatalogueModel>& model, std::size_t position,
             IEtsParameterType** type);
HRESULT DefaultValue(const CatalogueModel& model, std::size_t position, Variant* value);
HRESULT Dependents(const std::shared_ptr<const CatalogueModel>& model, std::size_t position,
                   IEtsCollection<IEtsUIParameter>** dependents);
HRESULT Parent(const std::shared_ptr<const CatalogueModel>& model, std::size_t position,
               IEtsUIParameter** parent);
HRESULT ConditionValue(const CatalogueModel& model, std::size_t position, Variant* value);
} // namespace ui_parameter

class CHostUIParameter final : public ComObject<IEtsUIParameter>
{
public:
    CHostUIParameter(std::shared_ptr<const CatalogueModel> model, std::size_t position)
        : m_model(std::move(model)), m_position(position)
    {}
    HRESULT get_UniqueNumber(std::int32_t* number) override;
    HRESULT get_Description(std::string* text) override;
    HRESULT get_Accessible(std::int16_t* accessible) override;
    HRESULT get_Type(IEtsParameterType** type) override;
    HRESULT get_DefaultValue(Variant* value) override;
    // In the catalogue's order; queried with "$(UniqueNumber)=n".
    HRESULT get_DependentParameters(IEtsCollection<IEtsUIParameter>** dependents) override;
    HRESULT get_Parent(IEtsUIParameter** parent) override;
    // The first of the parameter's condition values as VT_I4; empty when it has none.
    HRESULT get_ConditionValue(Variant* value) override;

private:
    std::shared_ptr<const CatalogueModel> m_model;
    std::size_t m_position;
};

// The device's instance of a parameter. It answers for its UI parameter itself: loading the registry
// makes one object per parameter instead of two.
class CHostDeviceParameter final : public ComObject<IEtsDeviceParameter, IEtsUIParameter>
{
public:
    CHostDeviceParameter(std::shared_ptr<DeviceContext> context, std::size_t position)
        : m_context(std::move(context)), m_position(position)
    {}
    HRESULT get_Value(Variant* value) override;
    HRESULT put_Value(const Variant& value) override;
    HRESULT get_Visible(std::int16_t* visible) override;
    HRESULT get_UIParameter(IEtsUIParameter** parameter) override;

    HRESULT get_UniqueNumber(std::int32_t* number) override;
    HRESULT get_Description(std::string* text) override;
    HRESULT get_Accessible(std::int16_t* accessible) override;
    HRESULT get_Type(IEtsParameterType** type) override;
    HRESULT get_DefaultValue(Variant* value) override;
    HRESULT get_DependentParameters(IEtsCollection<IEtsUIParameter>** dependents) override;
    HRESULT get_Parent(IEtsUIParameter** parent) override;
    HRESULT get_ConditionValue(Variant* value) override;

private:
    std::shared_ptr<DeviceContext> m_context;
    std::size_t m_position;
};

// The device's parameters in the catalogue's order, queried with "$(UniqueNumber)=n".
ComPtr<IEtsCollection<IEtsDeviceParameter>>
MakeDeviceParameterList(const std::shared_ptr<DeviceContext>& context);
