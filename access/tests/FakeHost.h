// A small in-memory host for the access layer's tests: parameters with types, defaults, a
// dependency tree, communication objects with associations, and switches for failing calls.
#pragma once

#include "hostapi/EtsHost.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fake {

template <class T> class List final : public ComObject<IEtsCollection<T>>
{
public:
    std::vector<ComPtr<T>> items;
    int failAt = 0; // 1-based position whose Item call fails, 0 = none

    HRESULT get_Count(std::int32_t* count) override
    {
        *count = static_cast<std::int32_t>(items.size());
        return S_OK;
    }
    HRESULT Item(const Variant& index, T** item) override
    {
        const int i = index.lVal();
        if (i == failAt)
            return E_FAIL;
        if (index.vt() != VT_I4 || i < 1 || i > static_cast<int>(items.size()))
            return DISP_E_BADINDEX;
        return items[static_cast<std::size_t>(i - 1)].CopyTo(item);
    }
};

class EnumValue final : public ComObject<IEtsEnumValue>
{
public:
    EnumValue(std::int32_t v, std::string t) : value(v), text(std::move(t)) {}
    HRESULT get_Value(std::int32_t* v) override
    {
        *v = value;
        return S_OK;
    }
    HRESULT get_Text(std::string* t) override
    {
        *t = text;
        return S_OK;
    }
    std::int32_t value;
    std::string text;
};

class Type final : public ComObject<IEtsParameterType>
{
public:
    std::int32_t baseType = 1;
    Variant minimum = Variant::I4(0), maximum = Variant::I4(255);
    ComPtr<List<IEtsEnumValue>> enums = MakeComObject<List<IEtsEnumValue>>();

    HRESULT get_BaseType(std::int32_t* b) override
    {
        *b = baseType;
        return S_OK;
    }
    HRESULT get_Minimum(Variant* v) override
    {
        *v = minimum;
        return S_OK;
    }
    HRESULT get_Maximum(Variant* v) override
    {
        *v = maximum;
        return S_OK;
    }
    HRESULT get_EnumValues(IEtsCollection<IEtsEnumValue>** values) override
    {
        *values = enums.Get();
        enums->AddRef();
        return S_OK;
    }
};

class UiParameter final : public ComObject<IEtsUIParameter>
{
public:
    std::int32_t number = 0;
    std::string description;
    HRESULT descriptionResult = S_OK;
    ComPtr<Type> type = MakeComObject<Type>();
    Variant defaultValue;
    UiParameter* parent = nullptr; // the parent's dependents list holds the reference
    Variant condition;
    ComPtr<List<IEtsUIParameter>> dependents = MakeComObject<List<IEtsUIParameter>>();

    HRESULT get_UniqueNumber(std::int32_t* n) override
    {
        *n = number;
        return S_OK;
    }
    HRESULT get_Description(std::string* t) override
    {
        if (FAILED(descriptionResult))
            return descriptionResult;
        *t = description;
        return S_OK;
    }
    HRESULT get_Accessible(std::int16_t* a) override
    {
        *a = 1;
        return S_OK;
    }
    HRESULT get_Type(IEtsParameterType** t) override
    {
        return ComPtr<IEtsParameterType>(type.Get()).CopyTo(t);
    }
    HRESULT get_DefaultValue(Variant* v) override
    {
        *v = defaultValue;
        return S_OK;
    }
    HRESULT get_DependentParameters(IEtsCollection<IEtsUIParameter>** d) override
    {
        return ComPtr<IEtsCollection<IEtsUIParameter>>(dependents.Get()).CopyTo(d);
    }
    HRESULT get_Parent(IEtsUIParameter** p) override
    {
        *p = parent;
        if (!parent)
            return S_FALSE;
        parent->AddRef();
        return S_OK;
    }
    HRESULT get_ConditionValue(Variant* v) override
    {
        *v = condition;
        return S_OK;
    }
};

class DeviceParameter final : public ComObject<IEtsDeviceParameter>
{
public:
    ComPtr<UiParameter> ui = MakeComObject<UiParameter>();
    Variant value;
    std::int16_t visible = 1;
    HRESULT putResult = S_OK; // forced answer of put_Value when not S_OK
    HRESULT getResult = S_OK;
    int writes = 0;

    HRESULT get_Value(Variant* v) override
    {
        if (FAILED(getResult))
            return getResult;
        *v = value;
        return S_OK;
    }
    HRESULT put_Value(const Variant& v) override
    {
        ++writes;
        if (putResult != S_OK)
            return putResult;
        value = v;
        return S_OK;
    }
    HRESULT get_Visible(std::int16_t* v) override
    {
        *v = visible;
        return S_OK;
    }
    HRESULT get_UIParameter(IEtsUIParameter** p) override
    {
        return ComPtr<IEtsUIParameter>(ui.Get()).CopyTo(p);
    }
};

class StandardObject final : public ComObject<IEtsStandardCommObject>
{
public:
    ComPtr<UiParameter> parameter;
    Variant condition;
    HRESULT get_Number(std::uint16_t* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT get_UniqueNumber(std::int32_t* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT get_Priority(std::int32_t* p) override
    {
        *p = 2;
        return S_OK;
    }
    HRESULT get_Flag(EtsObjectFlag, std::int16_t* on) override
    {
        *on = 0;
        return S_OK;
    }
    HRESULT get_UIParameter(IEtsUIParameter** p) override
    {
        return ComPtr<IEtsUIParameter>(parameter.Get()).CopyTo(p);
    }
    HRESULT get_ConditionValue(Variant* v) override
    {
        *v = condition;
        return S_OK;
    }
};

class Associations final : public ComObject<IEtsAssociations>
{
public:
    int count = 0;
    HRESULT get_Count(std::int32_t* c) override
    {
        *c = count;
        return S_OK;
    }
    HRESULT Item(const Variant&, IEtsAssociation**) override { return E_NOTIMPL; }
    HRESULT Add(IEtsGroupAddress*, IEtsAssociation**) override { return E_NOTIMPL; }
    HRESULT Delete(const Variant&) override { return E_NOTIMPL; }
};

class CommObject final : public ComObject<IEtsCommObject>
{
public:
    ComPtr<StandardObject> standard = MakeComObject<StandardObject>();
    ComPtr<Associations> associations = MakeComObject<Associations>();
    std::uint16_t number = 1;
    std::string text;

    HRESULT get_Number(std::uint16_t* n) override
    {
        *n = number;
        return S_OK;
    }
    HRESULT get_UniqueNumber(std::int32_t* n) override
    {
        *n = 1;
        return S_OK;
    }
    HRESULT get_Text(std::string* t) override
    {
        *t = text;
        return S_OK;
    }
    HRESULT put_Text(const std::string& t) override
    {
        text = t;
        return S_OK;
    }
    HRESULT get_FunctionText(std::string* t) override
    {
        t->clear();
        return S_OK;
    }
    HRESULT get_DisplayText(std::int32_t, std::string* t) override
    {
        t->clear();
        return S_OK;
    }
    HRESULT get_Priority(std::int32_t* p) override
    {
        *p = 2;
        return S_OK;
    }
    HRESULT put_Priority(std::int32_t) override { return S_OK; }
    HRESULT get_Flag(EtsObjectFlag, std::int16_t* on) override
    {
        *on = 0;
        return S_OK;
    }
    HRESULT put_Flag(EtsObjectFlag, std::int16_t) override { return S_OK; }
    HRESULT get_Visible(std::int16_t* v) override
    {
        *v = 1;
        return S_OK;
    }
    HRESULT get_StandardObject(IEtsStandardCommObject** s) override
    {
        return ComPtr<IEtsStandardCommObject>(standard.Get()).CopyTo(s);
    }
    HRESULT get_Associations(IEtsAssociations** a) override
    {
        return ComPtr<IEtsAssociations>(associations.Get()).CopyTo(a);
    }
    HRESULT get_DatapointType(IEtsDatapointType** t) override
    {
        *t = nullptr;
        return S_FALSE;
    }
    HRESULT put_DatapointType(IEtsDatapointType*) override { return S_OK; }
    HRESULT get_DatapointSubtype(IEtsDatapointSubtype** t) override
    {
        *t = nullptr;
        return S_FALSE;
    }
    HRESULT put_DatapointSubtype(IEtsDatapointSubtype*) override { return S_OK; }
};

class Device final : public ComObject<IEtsDevice>
{
public:
    ComPtr<List<IEtsDeviceParameter>> parameters = MakeComObject<List<IEtsDeviceParameter>>();
    ComPtr<List<IEtsCommObject>> objects = MakeComObject<List<IEtsCommObject>>();
    std::map<std::int32_t, ComPtr<DeviceParameter>> byNumber;

    // Adds an integer parameter with a range and a default; returns it for further setup.
    DeviceParameter& AddInteger(std::int32_t number, std::int32_t value, std::int32_t defaultValue = 0,
                                std::int32_t minimum = 0, std::int32_t maximum = 255)
    {
        auto p = MakeComObject<DeviceParameter>();
        p->ui->number = number;
        p->ui->type->minimum = Variant::I4(minimum);
        p->ui->type->maximum = Variant::I4(maximum);
        p->ui->defaultValue = Variant::I4(defaultValue);
        p->value = Variant::I4(value);
        parameters->items.emplace_back(p.Get());
        byNumber[number] = p;
        return *p;
    }
    DeviceParameter& AddText(std::int32_t number, std::string value, std::string defaultValue = {})
    {
        DeviceParameter& p = AddInteger(number, 0);
        p.ui->type->baseType = 3;
        p.ui->defaultValue = Variant::String(defaultValue);
        p.value = Variant::String(value);
        return p;
    }
    // A text parameter that holds its default, as a fresh device does.
    DeviceParameter& AddDefaultText(std::int32_t number, std::string defaultValue)
    {
        return AddText(number, defaultValue, defaultValue);
    }
    // Hangs child below parent in the dependency tree.
    void Link(std::int32_t parent, std::int32_t child, Variant condition = Variant::I4(1))
    {
        UiParameter& p = *byNumber.at(parent)->ui;
        UiParameter& c = *byNumber.at(child)->ui;
        c.parent = &p;
        c.condition = condition;
        p.dependents->items.emplace_back(&c);
    }
    DeviceParameter& operator[](std::int32_t number) { return *byNumber.at(number); }

    HRESULT get_Parameters(IEtsCollection<IEtsDeviceParameter>** p) override
    {
        return ComPtr<IEtsCollection<IEtsDeviceParameter>>(parameters.Get()).CopyTo(p);
    }
    HRESULT get_CommObjects(std::int16_t, IEtsCollection<IEtsCommObject>** o) override
    {
        return ComPtr<IEtsCollection<IEtsCommObject>>(objects.Get()).CopyTo(o);
    }
    HRESULT get_IndividualAddress(std::string* a) override
    {
        *a = "1.1.1";
        return S_OK;
    }
    HRESULT get_Name(std::string* n) override
    {
        *n = "Gateway";
        return S_OK;
    }
    HRESULT get_Description(std::string* d) override
    {
        d->clear();
        return S_OK;
    }
    HRESULT get_Project(IEtsProject** p) override
    {
        *p = nullptr;
        return S_FALSE;
    }
    HRESULT get_ApplicationProgram(IEtsApplicationProgram** p) override
    {
        *p = nullptr;
        return E_NOTIMPL;
    }
};

// Formats group addresses in the notation it is given, for the level probe.
class Formatter final : public ComObject<IEtsValueFormatter>
{
public:
    explicit Formatter(std::string text) : m_text(std::move(text)) {}
    HRESULT Format(const Variant&, const std::string& typeName, std::int32_t, std::string* text) override
    {
        if (typeName != "eteC.GroupAddress")
            return E_INVALIDARG;
        *text = m_text;
        return S_OK;
    }

private:
    std::string m_text;
};

class FormatterFactory final : public ComObject<IClassFactory>
{
public:
    explicit FormatterFactory(std::string text) : m_text(std::move(text)) {}
    HRESULT CreateInstance(IUnknown*, const IID& riid, void** object) override
    {
        return MakeComObject<Formatter>(m_text)->QueryInterface(riid, object);
    }
    HRESULT LockServer(bool) override { return S_OK; }

private:
    std::string m_text;
};

} // namespace fake
