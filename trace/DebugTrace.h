// The diagnostic trace: every operation writes an entry line, host failures an error line; lines go
// to the diagnostic channel (all of them) and to a pluggable sink component (by its level filter).
#pragma once

#include "platform/Unknown.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

enum TraceLevel : std::int32_t
{
    TRACE_ERROR = 2,
    TRACE_WARNING = 3,
    TRACE_INFO = 4,
};

// The external sink component: asked per line whether a level is enabled, then given the line.
struct ITraceSink : IUnknown
{
    static constexpr IID iid{0x5C1E7A10, 0x3B2D, 0x4F61, {0x9A, 0x41, 0x2E, 0x70, 0x11, 0xC3, 0x8D, 0x01}};
    virtual HRESULT IsLevelEnabled(std::int32_t level, std::int16_t* enabled) = 0;
    virtual HRESULT Write(std::int32_t level, const char* text) = 0;
};

// Second interface of the same component: takes the source name of the traced module.
struct ITraceSinkConfig : IUnknown
{
    static constexpr IID iid{0x5C1E7A10, 0x3B2D, 0x4F61, {0x9A, 0x41, 0x2E, 0x70, 0x11, 0xC3, 0x8D, 0x02}};
    virtual HRESULT SetSourceName(const std::string& name) = 0;
};

// Class identifier under which a host registers its sink component.
inline constexpr CLSID CLSID_VeltronaTraceSink{
    0x5C1E7A10, 0x3B2D, 0x4F61, {0x9A, 0x41, 0x2E, 0x70, 0x11, 0xC3, 0x8D, 0x00}};

class CDebugTrace
{
public:
    // Receives every line without its line end, formatted "[level] text".
    using Channel = std::function<void(std::string_view line)>;

    // Creates the sink by its class identifier and hands it the source name; opens the channel
    // named by VELTRONA_TRACE ("stderr" or a file path), none when it is unset.
    explicit CDebugTrace(const char* sourceName = nullptr);
    ~CDebugTrace();
    CDebugTrace(const CDebugTrace&) = delete;
    CDebugTrace& operator=(const CDebugTrace&) = delete;

    // Cheap test whether a line of this level would reach anybody; the macros skip all work when not.
    bool IsActive(std::int32_t level) const
    {
        // Without a channel or sink nothing is written: decided here, without a call, on hot paths.
        if (!m_channelOn.load(std::memory_order_relaxed) && !m_sinkOn.load(std::memory_order_relaxed))
            return false;
        return IsActiveAtLevel(level);
    }

    void TraceEntry(std::int32_t level, std::string_view location, unsigned long line);
    void TraceMessage(std::int32_t level, std::string_view location, unsigned long line, const char* format,
                      ...) __attribute__((format(printf, 5, 6)));
    void TraceError(std::int32_t level, std::string_view location, unsigned long line, HRESULT hr);
    void TraceErrorMessage(std::int32_t level, std::string_view location, unsigned long line, HRESULT hr,
                           const char* format, ...) __attribute__((format(printf, 6, 7)));

    // Replaces the diagnostic channel; an empty function means nobody listens.
    void SetChannel(Channel channel);
    // Replaces the sink (null: no sink); tries to create it anew by class identifier when asked.
    void SetSink(ITraceSink* sink);
    void CreateSink();

    // Error text of a code: the message table's text, else the "IDispatch error #%d" or
    // "Unknown error 0x%0lX" fall-back.
    static std::string ErrorText(HRESULT hr);
    // The message table lookup; replaceable so that tests can offer texts of their own.
    using MessageTable = bool (*)(HRESULT hr, std::string& text);
    static void SetMessageTable(MessageTable table);

    const std::string& SourceName() const { return m_sourceName; }

private:
    void Output(std::int32_t level, const std::string& line);
    void VMessage(std::int32_t level, std::string_view location, unsigned long line, const HRESULT* hr,
                  const char* format, va_list args);

    // The level asked of whoever listens, under the lock.
    bool IsActiveAtLevel(std::int32_t level) const;

    std::string m_sourceName;
    mutable std::mutex m_mutex;
    // Lock-free fast path: nobody listens when both are false.
    std::atomic<bool> m_channelOn{false};
    std::atomic<bool> m_sinkOn{false};
    Channel m_channel;
    ComPtr<ITraceSink> m_sink;
};

// Created before anything that includes this header and destroyed after it.
inline CDebugTrace g_Trace{"VeltronaR3"};

// "Class::Operation" out of the compiler's full function signature, at compile time.
constexpr std::string_view TraceLocationOf(std::string_view pretty)
{
    std::size_t paren = pretty.find('(');
    if (paren == std::string_view::npos)
        return pretty;
    std::size_t begin = 0;
    int depth = 0;
    for (std::size_t i = paren; i-- > 0;) {
        char c = pretty[i];
        if (c == '>')
            ++depth;
        else if (c == '<')
            --depth;
        else if (c == ' ' && depth == 0) {
            begin = i + 1;
            break;
        }
    }
    return pretty.substr(begin, paren - begin);
}

// Entry line of the current operation at level 4.
#define TRACE_ENTRY()                                                                                        \
    do {                                                                                                     \
        if (g_Trace.IsActive(TRACE_INFO)) {                                                                  \
            static constexpr std::string_view traceLocation_ = ::TraceLocationOf(__PRETTY_FUNCTION__);       \
            g_Trace.TraceEntry(TRACE_INFO, traceLocation_, __LINE__);                                        \
        }                                                                                                    \
    } while (0)

#define TRACE_MSG(level, ...)                                                                                \
    do {                                                                                                     \
        if (g_Trace.IsActive(level)) {                                                                       \
            static constexpr std::string_view traceLocation_ = ::TraceLocationOf(__PRETTY_FUNCTION__);       \
            g_Trace.TraceMessage(level, traceLocation_, __LINE__, __VA_ARGS__);                              \
        }                                                                                                    \
    } while (0)

#define TRACE_HR(level, hr)                                                                                  \
    do {                                                                                                     \
        if (g_Trace.IsActive(level)) {                                                                       \
            static constexpr std::string_view traceLocation_ = ::TraceLocationOf(__PRETTY_FUNCTION__);       \
            g_Trace.TraceError(level, traceLocation_, __LINE__, hr);                                         \
        }                                                                                                    \
    } while (0)

#define TRACE_HR_MSG(level, hr, ...)                                                                         \
    do {                                                                                                     \
        if (g_Trace.IsActive(level)) {                                                                       \
            static constexpr std::string_view traceLocation_ = ::TraceLocationOf(__PRETTY_FUNCTION__);       \
            g_Trace.TraceErrorMessage(level, traceLocation_, __LINE__, hr, __VA_ARGS__);                     \
        }                                                                                                    \
    } while (0)
