#include "trace/DebugTrace.h"

#include "platform/ClassRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// The system message table of this platform: texts of the codes the system meets, in the
// wording (and with the line end) of the message tables they come from.
bool LinuxMessageTable(HRESULT hr, std::string& text)
{
    struct Entry
    {
        HRESULT hr;
        const char* text;
    };
    static constexpr Entry entries[] = {
        {S_OK, "The operation completed successfully.\r\n"},
        {E_NOTIMPL, "Not implemented\r\n"},
        {E_NOINTERFACE, "No such interface supported\r\n"},
        {E_POINTER, "Invalid pointer\r\n"},
        {E_ABORT, "Operation aborted\r\n"},
        {E_FAIL, "Unspecified error\r\n"},
        {E_UNEXPECTED, "Catastrophic failure\r\n"},
        {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation.\r\n"},
        {E_INVALIDARG, "The parameter is incorrect.\r\n"},
        {DISP_E_TYPEMISMATCH, "Type mismatch.\r\n"},
        {DISP_E_OVERFLOW, "Out of present range.\r\n"},
        {DISP_E_BADINDEX, "Invalid index.\r\n"},
        {CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)\r\n"},
        {CLASS_E_CLASSNOTAVAILABLE, "ClassFactory cannot supply requested class\r\n"},
        {REGDB_E_CLASSNOTREG, "Class not registered\r\n"},
    };
    for (const Entry& e : entries) {
        if (e.hr == hr) {
            text = e.text;
            return true;
        }
    }
    return false;
}

std::atomic<CDebugTrace::MessageTable> g_messageTable{&LinuxMessageTable};

std::string VFormat(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string text(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

CDebugTrace::Channel ChannelFromEnvironment()
{
    const char* target = std::getenv("VELTRONA_TRACE");
    if (!target || !*target)
        return {};
    std::shared_ptr<std::FILE> file;
    if (std::string_view(target) == "stderr")
        file.reset(stderr, [](std::FILE*) {});
    else if (std::FILE* f = std::fopen(target, "a"))
        file.reset(f, [](std::FILE* p) { std::fclose(p); });
    else
        return {};
    return [file](std::string_view line) {
        std::fprintf(file.get(), "%.*s\n", static_cast<int>(line.size()), line.data());
        std::fflush(file.get());
    };
}

} // namespace

CDebugTrace::CDebugTrace(const char* sourceName) : m_sourceName(sourceName ? sourceName : "VeltronaR3")
{
    SetChannel(ChannelFromEnvironment());
    CreateSink();
}

CDebugTrace::~CDebugTrace()
{
    std::lock_guard lock(m_mutex);
    m_channelOn = false;
    m_sinkOn = false;
    m_channel = nullptr;
    m_sink.Reset();
}

void CDebugTrace::CreateSink()
{
    ComPtr<ITraceSink> sink;
    if (SUCCEEDED(CoCreateInstance(CLSID_VeltronaTraceSink, sink))) {
        ComPtr<ITraceSinkConfig> config;
        if (SUCCEEDED(sink.As(&config)))
            config->SetSourceName(m_sourceName);
    }
    std::lock_guard lock(m_mutex);
    m_sink = sink;
    m_sinkOn = m_sink != nullptr;
}

void CDebugTrace::SetSink(ITraceSink* sink)
{
    std::lock_guard lock(m_mutex);
    m_sink = sink;
    m_sinkOn = m_sink != nullptr;
}

void CDebugTrace::SetChannel(Channel channel)
{
    std::lock_guard lock(m_mutex);
    m_channel = std::move(channel);
    m_channelOn = static_cast<bool>(m_channel);
}

bool CDebugTrace::IsActiveAtLevel(std::int32_t level) const
{
    std::lock_guard lock(m_mutex);
    if (m_channel)
        return true;
    if (!m_sink)
        return false;
    std::int16_t enabled = 0;
    return SUCCEEDED(m_sink->IsLevelEnabled(level, &enabled)) && enabled;
}

void CDebugTrace::SetMessageTable(MessageTable table)
{
    g_messageTable = table ? table : &LinuxMessageTable;
}

std::string CDebugTrace::ErrorText(HRESULT hr)
{
    std::string text;
    if (g_messageTable.load()(hr, text) && text.size() > 1) {
        if (text.back() == '\n') {
            text.pop_back();
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
        }
        return text;
    }
    const auto code = static_cast<std::uint32_t>(hr);
    char buf[32];
    if (code > 0x80040200u && code <= 0x8004FFFFu)
        std::snprintf(buf, sizeof buf, "IDispatch error #%d", static_cast<int>(code - 0x80040200u));
    else
        std::snprintf(buf, sizeof buf, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
    return buf;
}

void CDebugTrace::TraceEntry(std::int32_t level, std::string_view location, unsigned long line)
{
    Output(level, Format("%.*s (Line %lu):", static_cast<int>(location.size()), location.data(), line));
}

void CDebugTrace::TraceMessage(std::int32_t level, std::string_view location, unsigned long line,
                               const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VMessage(level, location, line, nullptr, format, args);
    va_end(args);
}

void CDebugTrace::TraceError(std::int32_t level, std::string_view location, unsigned long line, HRESULT hr)
{
    std::string error =
        Format("Error $%08lX (%s)", static_cast<unsigned long>(static_cast<std::uint32_t>(hr)),
               ErrorText(hr).c_str());
    Output(level, Format("%.*s (Line %lu): %s", static_cast<int>(location.size()), location.data(), line,
                         error.c_str()));
}

void CDebugTrace::TraceErrorMessage(std::int32_t level, std::string_view location, unsigned long line,
                                    HRESULT hr, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VMessage(level, location, line, &hr, format, args);
    va_end(args);
}

void CDebugTrace::VMessage(std::int32_t level, std::string_view location, unsigned long line,
                           const HRESULT* hr, const char* format, va_list args)
{
    std::string message = VFormat(format, args);
    if (hr) {
        std::string error =
            Format("Error $%08lX (%s)", static_cast<unsigned long>(static_cast<std::uint32_t>(*hr)),
                   ErrorText(*hr).c_str());
        Output(level, Format("%.*s (Line %lu): %s: %s", static_cast<int>(location.size()), location.data(),
                             line, error.c_str(), message.c_str()));
    } else {
        Output(level, Format("%.*s (Line %lu): %s", static_cast<int>(location.size()), location.data(), line,
                             message.c_str()));
    }
}

void CDebugTrace::Output(std::int32_t level, const std::string& line)
{
    // One line is one unit, also when several threads trace.
    std::lock_guard lock(m_mutex);
    if (m_channel)
        m_channel(Format("[%d] %s", static_cast<int>(level), line.c_str()));
    if (m_sink) {
        std::int16_t enabled = 0;
        if (SUCCEEDED(m_sink->IsLevelEnabled(level, &enabled)) && enabled) {
            char buffer[256];
            std::snprintf(buffer, sizeof buffer, "%.255s", line.c_str());
            m_sink->Write(level, buffer);
        }
    }
}
