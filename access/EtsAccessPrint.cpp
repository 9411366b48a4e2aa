// Lines of the documentation printout: the list's helpers and the parameter lines of the access layer.
#include "access/EtsAccess.h"
#include "access/PrintLine.h"
#include "trace/DebugTrace.h"

#include <cstdarg>
#include <cstdio>

namespace {

// The hint of a time in minutes, seconds and tenths.
constexpr UniqueNr kTenthsHintNr = 896;

long AsLong(UniqueNr n)
{
    return static_cast<long>(n);
}

// Reads the value; true when the host shows the parameter (visible) and lets it be set (its
// description accessible). A parameter the host does not know gives no line either.
bool ReadPrintable(const CEtsAccess& access, UniqueNr uniqueNr, IEtsUIParameter* parameter, Variant& value)
{
    std::int16_t visible = 0;
    if (FAILED(access.GetParameterValue(uniqueNr, value, &visible)))
        return false;
    if (!visible) {
        TRACE_MSG(TRACE_INFO, "UniqueNr = %ld: invisible", AsLong(uniqueNr));
        return false;
    }
    std::int16_t accessible = 0;
    if (!parameter || FAILED(parameter->get_Accessible(&accessible)) || !accessible) {
        TRACE_MSG(TRACE_INFO, "UniqueNr = %ld: inaccessible", AsLong(uniqueNr));
        return false;
    }
    return true;
}

} // namespace

void AddPrintLine(PrintLineList& list, int level, const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    }
    va_end(args);
    list.push_back({std::move(text), PrintLineKind::Text, level});
}

void AddPrintLine(PrintLineList& list, int level)
{
    list.push_back({std::string(), level < 0 ? PrintLineKind::Separator : PrintLineKind::Blank, level});
}

void AddPrintSectionBreak(PrintLineList& list)
{
    AddPrintLine(list, 0);
    AddPrintLine(list, -1);
    AddPrintLine(list, 0);
}

void AddPrintShortBreak(PrintLineList& list)
{
    AddPrintLine(list, 0);
    AddPrintLine(list, -1);
}

std::int32_t CEtsAccess::AddPrintParameter(PrintLineList& list, int level, UniqueNr uniqueNr,
                                           IEtsUIParameter* parameter) const
{
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", AsLong(uniqueNr));
    Variant value;
    if (ReadPrintable(*this, uniqueNr, parameter, value)) {
        std::string description, shown;
        GetParameterDescription(uniqueNr, parameter, description);
        GetDisplayedValue(uniqueNr, parameter, value, shown);
        AddPrintLine(list, level, "%s: %s", description.c_str(), shown.c_str());
    }
    // Callers decide on dependent lines by the value, also when this one is not shown.
    if (value.vt() == VT_I4)
        return value.lVal();
    if (value.vt() == VT_UI4)
        return static_cast<std::int32_t>(value.ulVal());
    return -1;
}

void CEtsAccess::AddPrintParameter(PrintLineList& list, int level, UniqueNr hintNr,
                                   std::initializer_list<UniqueNr> uniqueNrs) const
{
    if (uniqueNrs.size() == 0 || uniqueNrs.size() > 3)
        return;
    const UniqueNr first = *uniqueNrs.begin();
    Variant value;
    if (!ReadPrintable(*this, first, GetPointerUIParameter(first), value))
        return;
    long fields[3] = {static_cast<long>(ChangeVariantToLong(value)), 0, 0};
    std::size_t i = 0;
    for (UniqueNr uniqueNr : uniqueNrs) {
        if (i > 0)
            fields[i] = static_cast<long>(GetParameterLong(uniqueNr, 0));
        ++i;
    }
    std::string description, hint;
    GetParameterText(first, &description);
    GetParameterText(hintNr, &hint);
    const char* d = description.c_str();
    const char* h = hint.c_str();
    switch (uniqueNrs.size()) {
    case 1:
        AddPrintLine(list, level, "%s %s: %.2ld", d, h, fields[0]);
        break;
    case 2:
        AddPrintLine(list, level, "%s %s: %.2ld:%.2ld", d, h, fields[0], fields[1]);
        break;
    default:
        // Minutes, seconds and tenths under their own hint.
        if (hintNr == kTenthsHintNr)
            AddPrintLine(list, level, "%s %s: %.2ld:%.2ld.%.1ld", d, h, fields[0], fields[1], fields[2]);
        else
            AddPrintLine(list, level, "%s %s: %.2ld:%.2ld:%.2ld", d, h, fields[0], fields[1], fields[2]);
        break;
    }
}
