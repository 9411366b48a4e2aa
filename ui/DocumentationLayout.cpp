#include "ui/DocumentationLayout.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kDefaultDeviceLine = "Device: %s Address: %s";
constexpr int kFooterTextOffset = 6;

// Length of the last UTF-8 character of a non-empty text.
std::size_t LastCharacterLength(std::string_view text)
{
    std::size_t i = text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        --i;
    return text.size() - i;
}

// Moves characters from the end of the text to the continuation until the text fits.
std::pair<std::string, std::string> SplitCharacters(std::string first, std::string_view rest, int available,
                                                    const std::function<int(std::string_view)>& width)
{
    std::size_t cut = first.size();
    while (cut > 0 && width(std::string_view(first).substr(0, cut)) >= available)
        cut -= LastCharacterLength(std::string_view(first).substr(0, cut));
    std::string continuation = first.substr(cut);
    continuation += rest;
    first.resize(cut);
    return {std::move(first), std::move(continuation)};
}

} // namespace

CDocumentationLayout::CDocumentationLayout(IPrintSurface& surface, PrintMetrics metrics, PrintHeader header,
                                           std::function<std::tm()> now)
    : m_surface(surface), m_metrics(metrics), m_header(std::move(header)), m_now(std::move(now))
{}

std::pair<std::string, std::string>
CDocumentationLayout::SplitText(std::string_view text, int available,
                                const std::function<int(std::string_view)>& width)
{
    std::string first(text);
    if (width(first) < available)
        return {std::move(first), std::string()};
    if (first.find(' ') == std::string::npos)
        return SplitCharacters(std::move(first), {}, available, width);
    // Word by word from the end.
    std::string continuation;
    while (!first.empty() && width(first) >= available) {
        const std::size_t blank = first.rfind(' ');
        std::string piece = blank == std::string::npos ? first : first.substr(blank);
        first.erase(blank == std::string::npos ? 0 : blank);
        std::erase(piece, ' ');
        if (!piece.empty())
            continuation = continuation.empty() ? piece : piece + " " + continuation;
    }
    if (!first.empty())
        return {std::move(first), std::move(continuation)};
    // The first word alone is too wide: it is split between characters rather than leaving the line
    // empty.
    const std::size_t end = std::min(continuation.find(' '), continuation.size());
    return SplitCharacters(continuation.substr(0, end), std::string_view(continuation).substr(end), available,
                           width);
}

std::string CDocumentationLayout::FormatDeviceLine(const std::string& format, const std::string& name,
                                                   const std::string& address)
{
    // The format is the host's text: only "%s" (at most twice) and "%%" are taken.
    const std::string* arguments[] = {&name, &address};
    std::string line;
    std::size_t used = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            line += format[i];
            continue;
        }
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (next == '%') {
            line += '%';
        } else if (next == 's' && used < 2) {
            line += *arguments[used++];
        } else {
            return format == kDefaultDeviceLine ? line : FormatDeviceLine(kDefaultDeviceLine, name, address);
        }
        ++i;
    }
    return line;
}

void CDocumentationLayout::StartPrinting()
{
    m_nCurrentY = PrintPageHeader();
}

void CDocumentationLayout::EndPrinting()
{
    if (m_bPageOpen)
        PrintPageFooter();
}

void CDocumentationLayout::PrintLines(const PrintLineList& list)
{
    for (const PrintLine& line : list) {
        switch (line.kind) {
        case PrintLineKind::Text:
            PrintText(line.text, line.level);
            break;
        case PrintLineKind::Blank:
            PrintText(std::string(), 0);
            break;
        case PrintLineKind::Separator:
            PrintSeparator(line.level);
            break;
        }
    }
}

int CDocumentationLayout::PrintPageHeader()
{
    m_surface.StartPage();
    m_bPageOpen = true;
    const int left = m_metrics.left, top = m_metrics.top, height = m_metrics.lineHeight;
    m_surface.DrawText(left, top, m_header.projectLabel + ": " + m_header.projectName);
    m_surface.DrawText(left, top + height,
                       FormatDeviceLine(m_header.deviceLineFormat, m_header.deviceName, m_header.address));
    m_surface.DrawText(left, top + 2 * height, m_header.descriptionLabel + ": " + m_header.description);
    const int y = top + 3 * height;
    m_surface.DrawLine(left, y, m_metrics.usableWidth);
    return y;
}

void CDocumentationLayout::PrintPageFooter()
{
    const int y = m_metrics.pageHeight - 4 * m_metrics.lineHeight;
    m_surface.DrawLine(m_metrics.left, y, m_metrics.usableWidth);
    const std::tm now = m_now ? m_now() : std::tm{};
    // Day.month.two-digit year hours:minutes.
    char time[32] = {};
    std::snprintf(time, sizeof time, "%02d.%02d.%02d %02d:%02d", now.tm_mday, now.tm_mon + 1,
                  (now.tm_year + 1900) % 100, now.tm_hour, now.tm_min);
    m_surface.DrawText(m_metrics.left, y + kFooterTextOffset,
                       m_header.pageLabel + " " + std::to_string(m_nPageNumber) + "     " + time);
    m_surface.EndPage();
    m_bPageOpen = false;
    ++m_nPageNumber;
}

void CDocumentationLayout::NextLine()
{
    m_nCurrentY += m_metrics.lineHeight;
    if (m_metrics.pageHeight - 5 * m_metrics.lineHeight < m_nCurrentY) {
        PrintPageFooter();
        m_nCurrentY = PrintPageHeader() + m_metrics.lineHeight;
    }
}

void CDocumentationLayout::PrintSeparator(int level)
{
    NextLine();
    m_surface.DrawLine(m_metrics.left + level * m_metrics.indentUnit, m_nCurrentY, m_metrics.usableWidth);
}

void CDocumentationLayout::PrintText(std::string text, int level)
{
    const int indent = level * m_metrics.indentUnit;
    const int x = m_metrics.left + indent;
    auto width = [this](std::string_view part) {
        return m_surface.TextWidth(part);
    };
    // A text too long for one line goes on over as many lines as it needs, each at the same indent,
    // so that nothing runs off the sheet.
    for (;;) {
        NextLine();
        auto [first, rest] = SplitText(text, m_metrics.usableWidth - indent, width);
        if (first.empty() && !rest.empty()) {
            // Not even one character fits: one per line, rather than no progress.
            std::size_t length = 1;
            while (length < rest.size() && (static_cast<unsigned char>(rest[length]) & 0xC0) == 0x80)
                ++length;
            first = rest.substr(0, length);
            rest.erase(0, length);
        }
        if (!first.empty())
            m_surface.DrawText(x, m_nCurrentY, first);
        if (rest.empty())
            return;
        text = std::move(rest);
    }
}
