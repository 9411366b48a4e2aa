// Test aid: collects every trace line while it lives and restores the previous silence after.
#pragma once

#include "trace/DebugTrace.h"

#include <algorithm>
#include <string>
#include <vector>

class TraceCapture
{
public:
    TraceCapture()
    {
        g_Trace.SetChannel([this](std::string_view line) { m_lines.emplace_back(line); });
    }
    ~TraceCapture() { g_Trace.SetChannel({}); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    const std::vector<std::string>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }
    // True when some line contains the text.
    bool Contains(std::string_view text) const
    {
        return std::any_of(m_lines.begin(), m_lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    std::size_t Count(std::string_view text) const
    {
        return static_cast<std::size_t>(
            std::count_if(m_lines.begin(), m_lines.end(),
                          [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }

private:
    std::vector<std::string> m_lines;
};
