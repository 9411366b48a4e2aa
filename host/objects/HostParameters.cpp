#include "host/objects/HostParameters.h"

#include "host/objects/HostCollection.h"
#include "trace/DebugTrace.h"

HRESULT CHostEnumValue::get_Value(std::int32_t* value)
{
    if (!value)
        return E_POINTER;
    *value = m_value;
    return S_OK;
}

HRESULT CHostEnumValue::get_Text(std::string* text)
{
    if (!text)
        return E_POINTER;
    *text = m_text;
    return S_OK;
}

HRESULT CHostParameterType::get_BaseType(std::int32_t* baseType)
{
    if (!baseType)
        return E_POINTER;
    *baseType = m_model->Parameter(m_position).baseType;
    return S_OK;
}

HRESULT CHostParameterType::get_Minimum(Variant* value)
{
    if (!value)
        return E_POINTER;
    const CatalogueParameter& p = m_model->Parameter(m_position);
    *value = CatalogueModel::NumberVariant(p.baseType == 3 ? 0 : p.minimum);
    return S_OK;
}

HRESULT CHostParameterType::get_Maximum(Variant* value)
{
    if (!value)
        return E_POINTER;
    *value = CatalogueModel::NumberVariant(m_model->Parameter(m_position).maximum);
    return S_OK;
}

HRESULT CHostParameterType::get_EnumValues(IEtsCollection<IEtsEnumValue>** values)
{
    if (!values)
        return E_POINTER;
    std::vector<ComPtr<IEtsEnumValue>> items;
    for (const CatalogueEnumValue& e : m_model->Parameter(m_position).enumValues)
        items.push_back(MakeComObject<CHostEnumValue>(e.value, e.text));
    return MakeHostList(std::move(items)).CopyTo(values);
}

namespace ui_parameter {

HRESULT UniqueNumber(const CatalogueModel& model, std::size_t position, std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = model.Parameter(position).uniqueNr;
    return S_OK;
}

HRESULT Description(const CatalogueModel& model, std::size_t position, std::string* text)
{
    if (!text)
        return E_POINTER;
    *text = model.Parameter(position).description;
    return S_OK;
}

HRESULT Accessible(const CatalogueModel& model, std::size_t position, std::int16_t* accessible)
{
    if (!accessible)
        return E_POINTER;
    *accessible = model.Parameter(position).accessible ? kEtsTrue : kEtsFalse;
    return S_OK;
}

HRESULT Type(const std::shared_ptr<const CatalogueModel>& model, std::size_t position,
             IEtsParameterType** type)
{
    if (!type)
        return E_POINTER;
    return HandOut(MakeComObject<CHostParameterType>(model, position), type);
}

HRESULT DefaultValue(const CatalogueModel& model, std::size_t position, Variant* value)
{
    if (!value)
        return E_POINTER;
    *value = model.DefaultValue(position);
    return S_OK;
}

HRESULT Dependents(const std::shared_ptr<const CatalogueModel>& model, std::size_t position,
                   IEtsCollection<IEtsUIParameter>** dependents)
{
    if (!dependents)
        return E_POINTER;
    const std::vector<std::size_t>& children = model->Children(position);
    std::vector<std::int64_t> keys;
    keys.reserve(children.size());
    for (std::size_t c : children)
        keys.push_back(model->Parameter(c).uniqueNr);
    auto factory = [model, children](std::size_t i) -> ComPtr<IEtsUIParameter> {
        return MakeComObject<CHostUIParameter>(model, children[i]);
    };
    return HandOut(MakeComObject<CHostList<IEtsUIParameter>>(children.size(), factory, "UniqueNumber",
                                                             KeyFinder(std::move(keys))),
                   dependents);
}

HRESULT Parent(const std::shared_ptr<const CatalogueModel>& model, std::size_t position,
               IEtsUIParameter** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    std::size_t p = model->ParentOf(position);
    if (p == CatalogueModel::kNone)
        return S_FALSE;
    return HandOut(MakeComObject<CHostUIParameter>(model, p), parent);
}

HRESULT ConditionValue(const CatalogueModel& model, std::size_t position, Variant* value)
{
    if (!value)
        return E_POINTER;
    const auto& conditions = model.Parameter(position).conditionValues;
    *value = conditions.empty() ? Variant() : Variant::I4(conditions.front());
    return S_OK;
}

} // namespace ui_parameter

HRESULT CHostUIParameter::get_UniqueNumber(std::int32_t* number)
{
    return ui_parameter::UniqueNumber(*m_model, m_position, number);
}

HRESULT CHostUIParameter::get_Description(std::string* text)
{
    return ui_parameter::Description(*m_model, m_position, text);
}

HRESULT CHostUIParameter::get_Accessible(std::int16_t* accessible)
{
    return ui_parameter::Accessible(*m_model, m_position, accessible);
}

HRESULT CHostUIParameter::get_Type(IEtsParameterType** type)
{
    return ui_parameter::Type(m_model, m_position, type);
}

HRESULT CHostUIParameter::get_DefaultValue(Variant* value)
{
    return ui_parameter::DefaultValue(*m_model, m_position, value);
}

HRESULT CHostUIParameter::get_DependentParameters(IEtsCollection<IEtsUIParameter>** dependents)
{
    return ui_parameter::Dependents(m_model, m_position, dependents);
}

HRESULT CHostUIParameter::get_Parent(IEtsUIParameter** parent)
{
    return ui_parameter::Parent(m_model, m_position, parent);
}

HRESULT CHostUIParameter::get_ConditionValue(Variant* value)
{
    return ui_parameter::ConditionValue(*m_model, m_position, value);
}

HRESULT CHostDeviceParameter::get_Value(Variant* value)
{
    if (!value)
        return E_POINTER;
    return m_context->GetValue(m_position, value);
}

HRESULT CHostDeviceParameter::put_Value(const Variant& value)
{
    HRESULT hr = m_context->PutValue(m_position, value);
    if (FAILED(hr) && g_Trace.IsActive(TRACE_INFO)) {
        std::string text = value.Describe();
        TRACE_HR_MSG(TRACE_INFO, hr, "UniqueNr = %ld, Value = %s",
                     static_cast<long>(m_context->Model().Parameter(m_position).uniqueNr), text.c_str());
    }
    return hr;
}

HRESULT CHostDeviceParameter::get_Visible(std::int16_t* visible)
{
    if (!visible)
        return E_POINTER;
    bool on = false;
    HRESULT hr = m_context->IsVisible(m_position, &on);
    if (SUCCEEDED(hr))
        *visible = on ? kEtsTrue : kEtsFalse;
    return hr;
}

HRESULT CHostDeviceParameter::get_UIParameter(IEtsUIParameter** parameter)
{
    if (!parameter)
        return E_POINTER;
    return Answer(static_cast<IEtsUIParameter*>(this), reinterpret_cast<void**>(parameter));
}

HRESULT CHostDeviceParameter::get_UniqueNumber(std::int32_t* number)
{
    return ui_parameter::UniqueNumber(m_context->Model(), m_position, number);
}

HRESULT CHostDeviceParameter::get_Description(std::string* text)
{
    return ui_parameter::Description(m_context->Model(), m_position, text);
}

HRESULT CHostDeviceParameter::get_Accessible(std::int16_t* accessible)
{
    return ui_parameter::Accessible(m_context->Model(), m_position, accessible);
}

HRESULT CHostDeviceParameter::get_Type(IEtsParameterType** type)
{
    return ui_parameter::Type(m_context->ModelPtr(), m_position, type);
}

HRESULT CHostDeviceParameter::get_DefaultValue(Variant* value)
{
    return ui_parameter::DefaultValue(m_context->Model(), m_position, value);
}

HRESULT CHostDeviceParameter::get_DependentParameters(IEtsCollection<IEtsUIParameter>** dependents)
{
    return ui_parameter::Dependents(m_context->ModelPtr(), m_position, dependents);
}

HRESULT CHostDeviceParameter::get_Parent(IEtsUIParameter** parent)
{
    return ui_parameter::Parent(m_context->ModelPtr(), m_position, parent);
}

HRESULT CHostDeviceParameter::get_ConditionValue(Variant* value)
{
    return ui_parameter::ConditionValue(m_context->Model(), m_position, value);
}

ComPtr<IEtsCollection<IEtsDeviceParameter>>
MakeDeviceParameterList(const std::shared_ptr<DeviceContext>& context)
{
    // Made all at once, in catalogue order: walks over thousands of parameters then read them from
    // neighbouring memory instead of wherever each one happened to be made.
    auto model = context->ModelPtr();
    std::vector<ComPtr<IEtsDeviceParameter>> parameters;
    parameters.reserve(model->ParameterCount());
    for (std::size_t position = 0; position < model->ParameterCount(); ++position)
        parameters.push_back(MakeComObject<CHostDeviceParameter>(context, position));
    auto finder = [model](std::int64_t uniqueNr) {
        return model->PositionOf(uniqueNr);
    };
    return MakeComObject<CHostList<IEtsDeviceParameter>>(std::move(parameters), "UniqueNumber", finder);
}
