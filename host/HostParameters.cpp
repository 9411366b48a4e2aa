#include "host/HostParameters.h"

#include "host/HostCollection.h"
#include "plugin/trace/DebugTrace.h"

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

HRESULT CHostUIParameter::get_UniqueNumber(std::int32_t* number)
{
    if (!number)
        return E_POINTER;
    *number = m_model->Parameter(m_position).uniqueNr;
    return S_OK;
}

HRESULT CHostUIParameter::get_Description(std::string* text)
{
    if (!text)
        return E_POINTER;
    *text = m_model->Parameter(m_position).description;
    return S_OK;
}

HRESULT CHostUIParameter::get_Accessible(std::int16_t* accessible)
{
    if (!accessible)
        return E_POINTER;
    *accessible = m_model->Parameter(m_position).accessible ? kEtsTrue : kEtsFalse;
    return S_OK;
}

HRESULT CHostUIParameter::get_Type(IEtsParameterType** type)
{
    if (!type)
        return E_POINTER;
    return HandOut(MakeComObject<CHostParameterType>(m_model, m_position), type);
}

HRESULT CHostUIParameter::get_DefaultValue(Variant* value)
{
    if (!value)
        return E_POINTER;
    *value = m_model->DefaultValue(m_position);
    return S_OK;
}

HRESULT CHostUIParameter::get_DependentParameters(IEtsCollection<IEtsUIParameter>** dependents)
{
    if (!dependents)
        return E_POINTER;
    const std::vector<std::size_t>& children = m_model->Children(m_position);
    std::vector<std::int64_t> keys;
    keys.reserve(children.size());
    for (std::size_t c : children)
        keys.push_back(m_model->Parameter(c).uniqueNr);
    auto model = m_model;
    auto factory = [model, children](std::size_t i) -> ComPtr<IEtsUIParameter> {
        return MakeComObject<CHostUIParameter>(model, children[i]);
    };
    return ComPtr<IEtsCollection<IEtsUIParameter>>(
               MakeComObject<CHostList<IEtsUIParameter>>(children.size(), factory, "UniqueNumber",
                                                         KeyFinder(std::move(keys))))
        .CopyTo(dependents);
}

HRESULT CHostUIParameter::get_Parent(IEtsUIParameter** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    std::size_t p = m_model->ParentOf(m_position);
    if (p == CatalogueModel::kNone)
        return S_FALSE;
    return HandOut(MakeComObject<CHostUIParameter>(m_model, p), parent);
}

HRESULT CHostUIParameter::get_ConditionValue(Variant* value)
{
    if (!value)
        return E_POINTER;
    const auto& conditions = m_model->Parameter(m_position).conditionValues;
    *value = conditions.empty() ? Variant() : Variant::I4(conditions.front());
    return S_OK;
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
    if (!m_uiParameter)
        m_uiParameter = MakeComObject<CHostUIParameter>(m_context->ModelPtr(), m_position);
    return m_uiParameter.CopyTo(parameter);
}

ComPtr<IEtsCollection<IEtsDeviceParameter>>
MakeDeviceParameterList(const std::shared_ptr<DeviceContext>& context)
{
    auto factory = [context](std::size_t position) -> ComPtr<IEtsDeviceParameter> {
        return MakeComObject<CHostDeviceParameter>(context, position);
    };
    auto model = context->ModelPtr();
    auto finder = [model](std::int64_t uniqueNr) {
        return model->PositionOf(uniqueNr);
    };
    return MakeComObject<CHostList<IEtsDeviceParameter>>(model->ParameterCount(), factory, "UniqueNumber",
                                                         finder);
}
