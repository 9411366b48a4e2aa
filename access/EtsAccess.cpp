#include "access/EtsAccess.h"

#include "platform/ClassRegistry.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <algorithm>

namespace {

long AsLong(UniqueNr n)
{
    return static_cast<long>(n);
}

bool IsIntegerBaseType(std::int32_t baseType)
{
    return baseType == 1 || baseType == 2;
}

} // namespace

CEtsAccess::CEtsAccess(IEtsDevice* device) : m_pDevice(device)
{
    TRACE_ENTRY();
    // The project's group address notation: the formatter writes address 1 as "0/1" or "0/0/1".
    ComPtr<IEtsValueFormatter> formatter;
    if (SUCCEEDED(CoCreateInstance(CLSID_EtsValueFormatter, formatter))) {
        std::string text;
        if (SUCCEEDED(formatter->Format(Variant::I4(1), "eteC.GroupAddress", 0, &text)))
            m_nGroupAddressLevels = static_cast<std::uint8_t>(1 + std::count(text.begin(), text.end(), '/'));
    }
}

CEtsAccess::~CEtsAccess()
{
    TRACE_ENTRY();
}

HRESULT CEtsAccess::LoadDeviceParameterPointers()
{
    TRACE_ENTRY();
    if (!m_pDevice)
        return E_POINTER;
    m_ParameterMap.clear();
    m_UiParameterMap.clear();
    m_index.clear();
    m_direct.clear();
    m_entries.clear();
    m_childLists.clear();
    m_subtrees.clear();
    m_sortedSubtrees.clear();

    ComPtr<IEtsCollection<IEtsDeviceParameter>> list;
    HRESULT hr = m_pDevice->get_Parameters(list.GetAddressOf());
    if (FAILED(hr) || !list) {
        hr = FAILED(hr) ? hr : E_POINTER;
        TRACE_HR(TRACE_ERROR, hr);
        return hr;
    }
    std::int32_t count = 0;
    if (hr = list->get_Count(&count); FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return hr;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsDeviceParameter> parameter;
        if (hr = list->Item(Variant::I4(i), parameter.GetAddressOf()); FAILED(hr) || !parameter) {
            TRACE_HR_MSG(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER, "Item = %d", static_cast<int>(i));
            break;
        }
        ComPtr<IEtsUIParameter> ui;
        if (hr = parameter->get_UIParameter(ui.GetAddressOf()); FAILED(hr) || !ui) {
            TRACE_HR_MSG(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER, "Item = %d", static_cast<int>(i));
            continue;
        }
        std::int32_t number = 0;
        if (hr = ui->get_UniqueNumber(&number); FAILED(hr)) {
            TRACE_HR_MSG(TRACE_ERROR, hr, "Item = %d", static_cast<int>(i));
            continue;
        }
        if (m_ParameterMap.count(number))
            continue; // the first entry of a number stays
        AddEntry(number, Entry{parameter.Get(), ui.Get()});
        m_ParameterMap.emplace(number, std::move(parameter));
        m_UiParameterMap.emplace(number, std::move(ui));
    }

    // Every load writes a new value, so the host sees that the plug-in ran.
    const auto counter = static_cast<std::uint8_t>(GetParameterLong(param::kLoadCounter, 0) + 1);
    SetParameterLong(param::kLoadCounter, counter);
    m_bModified = false;
    return S_OK;
}

void CEtsAccess::AddEntry(UniqueNr uniqueNr, Entry entry)
{
    if (uniqueNr >= 0 && uniqueNr < kDirectLimit) {
        if (static_cast<std::size_t>(uniqueNr) >= m_direct.size())
            m_direct.resize(static_cast<std::size_t>(uniqueNr) + 1, -1);
        m_direct[static_cast<std::size_t>(uniqueNr)] = static_cast<std::int32_t>(m_entries.size());
        m_entries.push_back(entry);
    } else {
        m_index.emplace(uniqueNr, entry);
    }
}

IEtsDeviceParameter* CEtsAccess::GetDeviceParameterPointer(UniqueNr uniqueNr) const
{
    const Entry* entry = FindEntry(uniqueNr);
    if (!entry) {
        TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld not found", AsLong(uniqueNr));
        return nullptr;
    }
    return entry->parameter;
}

IEtsUIParameter* CEtsAccess::GetPointerUIParameter(UniqueNr uniqueNr) const
{
    const Entry* entry = FindEntry(uniqueNr);
    if (!entry) {
        TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld not found", AsLong(uniqueNr));
        return nullptr;
    }
    return entry->ui;
}

HRESULT CEtsAccess::GetPointerUIParameter(UniqueNr uniqueNr, ComPtr<IEtsUIParameter>& parameter) const
{
    parameter = GetPointerUIParameter(uniqueNr);
    return parameter ? S_OK : E_FAIL;
}

UniqueNr CEtsAccess::GetUniqueNumber(IEtsUIParameter* parameter) const
{
    if (!parameter) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return 0;
    }
    std::int32_t number = 0;
    if (HRESULT hr = parameter->get_UniqueNumber(&number); FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return 0;
    }
    return number;
}

HRESULT CEtsAccess::GetParameterValue(UniqueNr uniqueNr, Variant& value, std::int16_t* visible) const
{
    const Entry* entry = FindEntry(uniqueNr);
    if (!entry) {
        TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld not found", AsLong(uniqueNr));
        return E_FAIL;
    }
    IEtsDeviceParameter* parameter = entry->parameter;
    if (visible) {
        if (HRESULT hr = parameter->get_Visible(visible); FAILED(hr))
            TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    }
    if (const Variant* held = HeldValue(entry)) {
        value = *held;
        return S_OK;
    }
    HRESULT hr = parameter->get_Value(&value);
    if (FAILED(hr))
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    return hr;
}

HRESULT CEtsAccess::GetParameterValue(UniqueNr uniqueNr, std::int32_t& value) const
{
    Variant v;
    HRESULT hr = GetParameterValue(uniqueNr, v);
    if (FAILED(hr))
        return hr;
    hr = ChangeVariantToLong(v, value);
    if (FAILED(hr))
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    return hr;
}

HRESULT CEtsAccess::GetParameterValue(UniqueNr uniqueNr, std::string& text) const
{
    Variant v;
    HRESULT hr = GetParameterValue(uniqueNr, v);
    if (FAILED(hr))
        return hr;
    hr = ChangeVariantToString(v, text);
    if (FAILED(hr))
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    return hr;
}

HRESULT CEtsAccess::SetParameterValue(UniqueNr uniqueNr, const Variant& value)
{
    if (value.vt() == VT_I4 || value.vt() == VT_UI4)
        TRACE_MSG(TRACE_INFO, "UniqueNr = %ld <- $%lX", AsLong(uniqueNr),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(value.IntPart())));
    else if (value.vt() == VT_BSTR)
        TRACE_MSG(TRACE_INFO, "UniqueNr = %ld <- '%s'", AsLong(uniqueNr), value.bstrVal().c_str());

    const Entry* entry = FindEntry(uniqueNr);
    if (!entry) {
        TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld not found", AsLong(uniqueNr));
        return E_FAIL;
    }
    IEtsDeviceParameter* parameter = entry->parameter;
    const bool heldNumber = m_holdStamp != 0 && entry->held == m_holdStamp;
    if (heldNumber && m_holding) {
        if (entry->heldSlot < 0) {
            entry->heldSlot = static_cast<std::int32_t>(m_held.size());
            m_held.emplace_back(uniqueNr, value);
            ++m_heldLeft;
        } else {
            m_held[static_cast<std::size_t>(entry->heldSlot)].second = value;
        }
        m_bModified = true;
        return S_OK;
    }
    // A value the host takes replaces the held one.
    auto taken = [&](HRESULT hr) {
        if (heldNumber && entry->heldSlot >= 0 && (hr == S_OK || hr == ETS_S_PARAMETER_SET)) {
            entry->heldSlot = -1;
            --m_heldLeft;
        }
        return hr;
    };
    if (m_journalStamp != 0 && entry->journaled != m_journalStamp) {
        Variant previous;
        if (SUCCEEDED(parameter->get_Value(&previous))) {
            // Writing the value a parameter holds changes nothing: nothing to record or to write.
            if (previous == value || SameNumber(previous, value)) {
                m_bModified = true;
                return taken(S_OK);
            }
            m_journal.emplace_back(uniqueNr, std::move(previous));
        }
        entry->journaled = m_journalStamp;
    }
    HRESULT hr = parameter->put_Value(value);
    if (hr != S_OK && hr != ETS_S_PARAMETER_SET) {
        if (hr == ETS_E_OUT_OF_RANGE)
            TRACE_MSG(TRACE_ERROR, "Value = %ld out of range", static_cast<long>(value.IntPart()));
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    }
    m_bModified = true;
    return taken(hr);
}

void CEtsAccess::HoldWrites(const std::vector<UniqueNr>& numbers)
{
    WriteHeldValues();
    m_holdStamp = m_nextHoldStamp++;
    m_holding = true;
    for (UniqueNr n : numbers)
        if (const Entry* entry = FindEntry(n))
            entry->held = m_holdStamp;
}

void CEtsAccess::WriteHeldValues()
{
    m_holding = false;
    // Values whose writes the host took since have no slot any more.
    std::vector<std::pair<UniqueNr, Variant>> left;
    if (m_heldLeft > 0) {
        for (std::size_t i = 0; i < m_held.size(); ++i) {
            const Entry* entry = FindEntry(m_held[i].first);
            if (entry && entry->heldSlot == static_cast<std::int32_t>(i)) {
                entry->heldSlot = -1;
                left.push_back(std::move(m_held[i]));
            }
        }
    }
    m_held.clear();
    m_heldLeft = 0;
    m_holdStamp = 0;
    for (const auto& [number, value] : left)
        SetParameterValue(number, value);
}

bool CEtsAccess::SameNumber(const Variant& number, const Variant& text)
{
    // Only plain decimals: any other form is left to the host's conversion rules.
    if ((number.vt() != VT_I4 && number.vt() != VT_UI4) || text.vt() != VT_BSTR)
        return false;
    std::int64_t parsed = 0;
    return ParsePlainDecimal(text.bstrVal(), parsed) &&
           parsed == (number.vt() == VT_I4 ? std::int64_t{number.lVal()} : std::int64_t{number.ulVal()});
}

void CEtsAccess::BeginJournal()
{
    m_journal.clear();
    m_journal.reserve(m_entries.size() + m_index.size());
    // A new stamp marks every entry as not yet recorded.
    m_journalStamp = m_nextJournalStamp++;
}

std::vector<std::pair<UniqueNr, Variant>> CEtsAccess::EndJournal()
{
    m_journalStamp = 0;
    return std::exchange(m_journal, {});
}

std::int32_t CEtsAccess::GetParameterLong(UniqueNr uniqueNr, std::int32_t defaultValue) const
{
    std::int32_t value = 0;
    return SUCCEEDED(GetParameterValue(uniqueNr, value)) ? value : defaultValue;
}

HRESULT CEtsAccess::SetParameterLong(UniqueNr uniqueNr, std::int32_t value)
{
    return SetParameterValue(uniqueNr, Variant::I4(value));
}

HRESULT CEtsAccess::SetParameterString(UniqueNr uniqueNr, std::string_view text)
{
    return SetParameterValue(uniqueNr, Variant::String(text));
}

std::string CEtsAccess::GetParameterString(UniqueNr uniqueNr, std::string_view defaultText) const
{
    std::string text;
    return SUCCEEDED(GetParameterValue(uniqueNr, text)) ? text : std::string(defaultText);
}

HRESULT CEtsAccess::SetParameterPattern(UniqueNr uniqueNr, std::uint32_t bits)
{
    return SetParameterValue(uniqueNr, Variant::UI4(bits));
}

std::uint32_t CEtsAccess::GetParameterPattern(UniqueNr uniqueNr, std::uint32_t defaultBits) const
{
    Variant v;
    if (FAILED(GetParameterValue(uniqueNr, v)))
        return defaultBits;
    // A pattern written as a signed value by an older writer keeps its bits.
    if (v.vt() == VT_I4)
        return static_cast<std::uint32_t>(v.lVal());
    if (HRESULT hr = v.ChangeType(VT_UI4); FAILED(hr)) {
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
        return defaultBits;
    }
    return v.ulVal();
}

HRESULT CEtsAccess::GetParameterDescription(UniqueNr uniqueNr, IEtsUIParameter* parameter,
                                            std::string& text) const
{
    if (!parameter) {
        TRACE_HR_MSG(TRACE_ERROR, E_POINTER, "UniqueNr = %ld", AsLong(uniqueNr));
        return E_POINTER;
    }
    std::string description;
    HRESULT hr = parameter->get_Description(&description);
    if (FAILED(hr) || description.empty()) {
        TRACE_HR_MSG(TRACE_ERROR, FAILED(hr) ? hr : E_FAIL, "UniqueNr = %ld", AsLong(uniqueNr));
        return hr;
    }
    // Descriptions are shown on one line.
    text.clear();
    text.reserve(description.size());
    for (char c : description) {
        if (c == '\r')
            continue;
        text.push_back(c == '\n' ? ' ' : c);
    }
    return hr;
}

HRESULT CEtsAccess::GetParameterText(UniqueNr uniqueNr, std::string* text) const
{
    if (!text)
        return E_POINTER;
    return GetParameterDescription(uniqueNr, GetPointerUIParameter(uniqueNr), *text);
}

std::string CEtsAccess::GetParameterText(UniqueNr uniqueNr, std::string_view defaultText) const
{
    std::string text(defaultText);
    GetParameterText(uniqueNr, &text);
    return text;
}

HRESULT CEtsAccess::GetParameterType(UniqueNr uniqueNr, IEtsUIParameter* parameter,
                                     ComPtr<IEtsParameterType>& type, std::int32_t& baseType) const
{
    HRESULT hr = parameter->get_Type(type.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr) && !type)
        hr = E_POINTER;
    if (SUCCEEDED(hr))
        hr = type->get_BaseType(&baseType);
    if (FAILED(hr))
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    return hr;
}

bool CEtsAccess::ReadDependents(IEtsUIParameter* parameter,
                                std::vector<ComPtr<IEtsUIParameter>>& children) const
{
    ComPtr<IEtsCollection<IEtsUIParameter>> dependents;
    std::int32_t count = 0;
    HRESULT hr = parameter->get_DependentParameters(dependents.GetAddressOf());
    if (SUCCEEDED(hr) && dependents)
        hr = dependents->get_Count(&count);
    if (FAILED(hr) || !dependents) {
        if (FAILED(hr))
            TRACE_HR(TRACE_ERROR, hr);
        return false;
    }
    bool complete = true;
    children.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsUIParameter> child;
        if (hr = dependents->Item(Variant::I4(i), child.GetAddressOf()); FAILED(hr) || !child) {
            TRACE_HR(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER);
            complete = false;
            continue;
        }
        children.push_back(std::move(child));
    }
    return complete;
}

template <class Visit> bool CEtsAccess::ForEachDependent(IEtsUIParameter* parameter, Visit visit) const
{
    // The dependency tree of an application program does not change: a list read in full, whose
    // items are all parameters of the device, is kept as those parameters' entries.
    std::int32_t number = 0;
    const Entry* entry = SUCCEEDED(parameter->get_UniqueNumber(&number)) ? FindEntry(number) : nullptr;
    if (entry && entry->children >= 0) {
        for (IEtsUIParameter* child : m_childLists[static_cast<std::size_t>(entry->children)])
            visit(child);
        return true;
    }
    std::vector<ComPtr<IEtsUIParameter>> children;
    const bool complete = ReadDependents(parameter, children);
    if (entry && complete && entry->children == Entry::kUnknown) {
        std::vector<IEtsUIParameter*> list;
        list.reserve(children.size());
        for (const ComPtr<IEtsUIParameter>& child : children) {
            std::int32_t childNumber = 0;
            const Entry* known =
                SUCCEEDED(child->get_UniqueNumber(&childNumber)) ? FindEntry(childNumber) : nullptr;
            if (!known)
                break;
            list.push_back(known->ui);
        }
        if (list.size() == children.size()) {
            entry->children = static_cast<std::int32_t>(m_childLists.size());
            m_childLists.push_back(std::move(list));
        } else {
            entry->children = Entry::kUncached;
        }
    }
    for (const ComPtr<IEtsUIParameter>& child : children)
        visit(child.Get());
    return entry && entry->children >= 0;
}

HRESULT CEtsAccess::GetParameterEnumValues(UniqueNr uniqueNr, EnumMap& values) const
{
    values.clear();
    IEtsUIParameter* ui = GetPointerUIParameter(uniqueNr);
    if (!ui)
        return E_FAIL;
    ComPtr<IEtsParameterType> type;
    std::int32_t baseType = 0;
    HRESULT hr = GetParameterType(uniqueNr, ui, type, baseType);
    if (FAILED(hr))
        return hr;
    ComPtr<IEtsCollection<IEtsEnumValue>> list;
    std::int32_t count = 0;
    if (hr = type->get_EnumValues(list.GetAddressOf()); SUCCEEDED(hr) && list)
        hr = list->get_Count(&count);
    if (FAILED(hr) || !list) {
        hr = FAILED(hr) ? hr : E_POINTER;
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
        return hr;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsEnumValue> item;
        std::int32_t value = 0;
        std::string text;
        if (hr = list->Item(Variant::I4(i), item.GetAddressOf()); SUCCEEDED(hr) && item)
            hr = item->get_Value(&value);
        if (SUCCEEDED(hr) && item)
            hr = item->get_Text(&text);
        if (FAILED(hr) || !item) {
            TRACE_HR_MSG(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER, "UniqueNr = %ld", AsLong(uniqueNr));
            continue;
        }
        values.emplace(value, std::move(text));
    }
    return S_OK;
}

HRESULT CEtsAccess::GetParameterIntegerValueRange(UniqueNr uniqueNr, std::int32_t& minimum,
                                                  std::int32_t& maximum) const
{
    IEtsUIParameter* ui = GetPointerUIParameter(uniqueNr);
    if (!ui)
        return E_FAIL;
    ComPtr<IEtsParameterType> type;
    std::int32_t baseType = 0;
    HRESULT hr = GetParameterType(uniqueNr, ui, type, baseType);
    if (FAILED(hr))
        return hr;
    if (!IsIntegerBaseType(baseType)) {
        TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld: Wrong BaseType = %d", AsLong(uniqueNr),
                  static_cast<int>(baseType));
        return E_FAIL;
    }
    Variant low, high;
    if (hr = type->get_Minimum(&low); FAILED(hr)) {
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
        return hr;
    }
    if (hr = type->get_Maximum(&high); FAILED(hr)) {
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
        return hr;
    }
    if (hr = ChangeVariantToLong(low, minimum); FAILED(hr))
        return hr;
    return ChangeVariantToLong(high, maximum);
}

HRESULT CEtsAccess::GetDisplayedValue(UniqueNr uniqueNr, IEtsUIParameter* parameter, const Variant& value,
                                      std::string& text) const
{
    if (!parameter) {
        TRACE_HR_MSG(TRACE_ERROR, E_POINTER, "UniqueNr = %ld", AsLong(uniqueNr));
        return E_POINTER;
    }
    ComPtr<IEtsParameterType> type;
    std::int32_t baseType = 0;
    HRESULT hr = GetParameterType(uniqueNr, parameter, type, baseType);
    if (FAILED(hr))
        return hr;
    if (baseType > 5) {
        TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld: Wrong BaseType = %d", AsLong(uniqueNr),
                  static_cast<int>(baseType));
        return E_FAIL;
    }
    switch (baseType) {
    case 0:
        text.clear();
        return S_OK;
    case 3:
        return ChangeVariantToString(value, text);
    case 1:
    case 2:
        text = std::to_string(static_cast<long>(ChangeVariantToLong(value)));
        return S_OK;
    default:
        break;
    }
    ComPtr<IEtsCollection<IEtsEnumValue>> list;
    std::int32_t count = 0;
    if (hr = type->get_EnumValues(list.GetAddressOf()); SUCCEEDED(hr) && list)
        hr = list->get_Count(&count);
    if (FAILED(hr) || !list) {
        hr = FAILED(hr) ? hr : E_POINTER;
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
        return hr;
    }
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsEnumValue> item;
        std::int32_t itemValue = 0;
        if (hr = list->Item(Variant::I4(i), item.GetAddressOf()); SUCCEEDED(hr) && item)
            hr = item->get_Value(&itemValue);
        if (FAILED(hr) || !item) {
            TRACE_HR_MSG(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER, "UniqueNr = %ld", AsLong(uniqueNr));
            continue;
        }
        if (itemValue != value.IntPart())
            continue;
        std::string itemText;
        if (hr = item->get_Text(&itemText); FAILED(hr)) {
            TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
            break;
        }
        text = std::move(itemText);
        break;
    }
    return S_OK;
}

HRESULT CEtsAccess::GetParameterDefaultValue(UniqueNr uniqueNr, Variant& value) const
{
    IEtsUIParameter* ui = GetPointerUIParameter(uniqueNr);
    if (!ui) {
        TRACE_HR_MSG(TRACE_ERROR, E_POINTER, "UniqueNr = %ld", AsLong(uniqueNr));
        return E_POINTER;
    }
    HRESULT hr = ui->get_DefaultValue(&value);
    if (FAILED(hr))
        TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(uniqueNr));
    return hr;
}

HRESULT CEtsAccess::GetParameterDefaultValue(UniqueNr uniqueNr, std::string& text) const
{
    Variant v;
    HRESULT hr = GetParameterDefaultValue(uniqueNr, v);
    return FAILED(hr) ? hr : ChangeVariantToString(v, text);
}

HRESULT CEtsAccess::ResetParameter(UniqueNr uniqueNr)
{
    TRACE_ENTRY();
    Variant value;
    HRESULT hr = GetParameterDefaultValue(uniqueNr, value);
    return FAILED(hr) ? hr : SetParameterValue(uniqueNr, value);
}

HRESULT CEtsAccess::ResetDependentParameters(UniqueNr uniqueNr, bool parent)
{
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld, Parent = %d", AsLong(uniqueNr), parent ? 1 : 0);
    const Entry* entry = FindEntry(uniqueNr);
    if (!entry)
        return S_OK;
    ResetDependentsOf(entry->ui, parent);
    return S_OK;
}

void CEtsAccess::ResetDependentsOf(IEtsUIParameter* parameter, bool resetSelf)
{
    if (resetSelf) {
        Variant value;
        std::int32_t number = 0;
        HRESULT hr = parameter->get_DefaultValue(&value);
        if (SUCCEEDED(hr))
            hr = parameter->get_UniqueNumber(&number);
        if (SUCCEEDED(hr))
            SetParameterValue(number, value);
        else
            TRACE_HR(TRACE_ERROR, hr);
    }
    ForEachDependent(parameter, [this](IEtsUIParameter* child) { ResetDependentsOf(child, true); });
}

HRESULT CEtsAccess::GetAllParameterValues(ValueMap& values, UniqueNr uniqueNr, int argument,
                                          KeyFunction key) const
{
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", AsLong(uniqueNr));
    return CollectValues(values, uniqueNr, argument, key, false);
}

HRESULT CEtsAccess::GetAllDefaultValues(ValueMap& values, UniqueNr uniqueNr, int argument,
                                        KeyFunction key) const
{
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", AsLong(uniqueNr));
    return CollectValues(values, uniqueNr, argument, key, true);
}

template <class Visit> void CEtsAccess::ReadKept(const Subtree& subtree, bool defaults, Visit visit) const
{
    for (const auto& [number, node] : subtree) {
        Variant value;
        const Variant* held = defaults ? nullptr : HeldValue(node);
        HRESULT hr = held       ? (value = *held, S_OK)
                     : defaults ? node->ui->get_DefaultValue(&value)
                                : node->parameter->get_Value(&value);
        if (SUCCEEDED(hr))
            visit(number, std::move(value));
        else
            TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(number));
    }
}

HRESULT CEtsAccess::CollectValues(ValueMap& values, UniqueNr uniqueNr, int argument, KeyFunction key,
                                  bool defaults) const
{
    const Entry* entry = FindEntry(uniqueNr);
    if (!entry) {
        TRACE_HR_MSG(TRACE_ERROR, E_POINTER, "UniqueNr = %ld", AsLong(uniqueNr));
        return E_POINTER;
    }
    // A subtree walked once in full is kept as its list of parameters, in the order of the walk.
    if (entry->subtree >= 0) {
        ReadKept(m_subtrees[static_cast<std::size_t>(entry->subtree)], defaults,
                 [&](UniqueNr number, Variant&& value) {
                     values.emplace(key ? key(number, argument) : number, std::move(value));
                 });
        return S_OK;
    }
    Subtree walked;
    bool complete = true;
    CollectValuesOf(entry->ui, values, argument, key, defaults, walked, complete);
    if (complete && entry->subtree == Entry::kUnknown) {
        entry->subtree = static_cast<std::int32_t>(m_subtrees.size());
        m_subtrees.push_back(std::move(walked));
    }
    return S_OK;
}

HRESULT CEtsAccess::VisitAllParameterValues(UniqueNr uniqueNr,
                                            const std::function<void(UniqueNr, const Variant&)>& visit) const
{
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", AsLong(uniqueNr));
    const Entry* entry = FindEntry(uniqueNr);
    if (!entry || entry->subtree < 0) {
        ValueMap values;
        HRESULT hr = CollectValues(values, uniqueNr, 0, nullptr, false);
        for (const auto& [number, value] : values)
            visit(number, value);
        return hr;
    }
    const auto place = static_cast<std::size_t>(entry->subtree);
    if (m_sortedSubtrees.size() <= place)
        m_sortedSubtrees.resize(m_subtrees.size());
    Subtree& sorted = m_sortedSubtrees[place];
    if (sorted.empty()) {
        sorted = m_subtrees[place];
        // A number met twice in the walk is one parameter: the first stays, as in a map.
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        sorted.erase(std::unique(sorted.begin(), sorted.end(),
                                 [](const auto& a, const auto& b) { return a.first == b.first; }),
                     sorted.end());
    }
    ReadKept(sorted, false, [&](UniqueNr number, Variant&& value) { visit(number, value); });
    return S_OK;
}

void CEtsAccess::CollectValuesOf(IEtsUIParameter* parameter, ValueMap& values, int argument, KeyFunction key,
                                 bool defaults, Subtree& walked, bool& complete) const
{
    std::int32_t number = 0;
    HRESULT hr = parameter->get_UniqueNumber(&number);
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        complete = false;
    } else {
        if (const Entry* entry = FindEntry(number))
            walked.emplace_back(number, entry);
        else
            complete = false;
        Variant value;
        hr = defaults ? parameter->get_DefaultValue(&value) : GetParameterValue(number, value);
        if (SUCCEEDED(hr))
            values.emplace(key ? key(number, argument) : number, std::move(value));
        else if (defaults)
            TRACE_HR_MSG(TRACE_ERROR, hr, "UniqueNr = %ld", AsLong(number));
    }
    complete = ForEachDependent(parameter,
                                [&](IEtsUIParameter* child) {
                                    CollectValuesOf(child, values, argument, key, defaults, walked, complete);
                                }) &&
               complete;
}

HRESULT CEtsAccess::CheckParameterDependentObjectAssociations(UniqueNr uniqueNr, bool& found) const
{
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", AsLong(uniqueNr));
    found = false;
    if (uniqueNr < 0 || !m_pDevice)
        return E_FAIL;
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    std::int32_t count = 0;
    HRESULT hr = m_pDevice->get_CommObjects(1, objects.GetAddressOf());
    if (SUCCEEDED(hr) && objects)
        hr = objects->get_Count(&count);
    if (FAILED(hr) || !objects)
        return E_FAIL;

    auto hasCondition = [](auto* holder) {
        Variant condition;
        return SUCCEEDED(holder->get_ConditionValue(&condition)) && !condition.IsEmptyOrNull();
    };
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsCommObject> object;
        if (FAILED(objects->Item(Variant::I4(i), object.GetAddressOf())) || !object)
            continue;
        ComPtr<IEtsAssociations> associations;
        std::int32_t associationCount = 0;
        if (FAILED(object->get_Associations(associations.GetAddressOf())) || !associations ||
            FAILED(associations->get_Count(&associationCount)) || associationCount < 1)
            continue;
        ComPtr<IEtsStandardCommObject> standard;
        ComPtr<IEtsUIParameter> current;
        if (FAILED(object->get_StandardObject(standard.GetAddressOf())) || !standard ||
            FAILED(standard->get_UIParameter(current.GetAddressOf())) || !current)
            continue;
        if (GetUniqueNumber(current.Get()) == uniqueNr) {
            found = hasCondition(standard.Get());
            return S_OK;
        }
        for (;;) {
            ComPtr<IEtsUIParameter> parent;
            if (FAILED(current->get_Parent(parent.GetAddressOf())) || !parent)
                break;
            if (GetUniqueNumber(parent.Get()) == uniqueNr) {
                found = hasCondition(current.Get());
                return S_OK;
            }
            current = parent;
        }
    }
    return E_FAIL;
}

bool CEtsAccess::CheckParameterDependentObjectAssociations(UniqueNr uniqueNr) const
{
    bool found = false;
    CheckParameterDependentObjectAssociations(uniqueNr, found);
    return found;
}

HRESULT CEtsAccess::ChangeVariantToString(Variant value, std::string& text)
{
    HRESULT hr = value.ChangeType(VT_BSTR);
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return hr;
    }
    text = value.bstrVal();
    return hr;
}

std::string CEtsAccess::ChangeVariantToString(Variant value)
{
    std::string text;
    ChangeVariantToString(std::move(value), text);
    return text;
}

HRESULT CEtsAccess::ChangeVariantToLong(Variant value, std::int32_t& integer)
{
    HRESULT hr = value.ChangeType(VT_UI4);
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return hr;
    }
    integer = static_cast<std::int32_t>(value.ulVal());
    return hr;
}

std::int32_t CEtsAccess::ChangeVariantToLong(Variant value)
{
    std::int32_t integer = 0;
    ChangeVariantToLong(std::move(value), integer);
    return integer;
}

HRESULT CEtsAccess::ChangeVariantToShort(Variant value, std::uint16_t& integer)
{
    HRESULT hr = value.ChangeType(VT_UI2);
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return hr;
    }
    integer = value.uiVal();
    return hr;
}

std::uint16_t CEtsAccess::ChangeVariantToShort(Variant value)
{
    std::uint16_t integer = 0;
    ChangeVariantToShort(std::move(value), integer);
    return integer;
}
