// The documentation printout's pages: header, footer, line split and page break over a drawing
// surface, so that the rules run the same on a printer, into a PDF file and in a test.
#pragma once

#include "access/PrintLine.h"

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

// Where the layout draws, in device units. A test records; the printer paints.
class IPrintSurface
{
public:
    virtual ~IPrintSurface() = default;
    virtual void StartPage() = 0;
    virtual void EndPage() = 0;
    // y is the top of the line.
    virtual void DrawText(int x, int y, const std::string& text) = 0;
    virtual void DrawLine(int x1, int y, int x2) = 0;
    virtual int TextWidth(std::string_view text) const = 0;
};

struct PrintMetrics
{
    int pageHeight = 0;  // the whole sheet
    int usableWidth = 0; // the sheet's width less four left offsets
    int left = 0;        // x of every line at level 0
    int top = 0;         // y of the first header line
    int lineHeight = 0;  // height of a text line and its spacing
    int indentUnit = 0;  // width of one blank
};

class CDocumentationLayout
{
public:
    // now gives the date and time a footer shows, asked as the footer is drawn.
    CDocumentationLayout(IPrintSurface& surface, PrintMetrics metrics, PrintHeader header,
                         std::function<std::tm()> now);

    // The first page's header.
    void StartPrinting();
    void PrintLines(const PrintLineList& list);
    // The last page's footer.
    void EndPrinting();
    int PageNumber() const { return m_nPageNumber; }

    // The part of a text that fits in the available width, and the rest: cut before the last words
    // that do not fit, or between characters when a word alone is too wide.
    static std::pair<std::string, std::string> SplitText(std::string_view text, int available,
                                                         const std::function<int(std::string_view)>& width);
    // The device line of the header: the host's format with the device's name and address; a format
    // with other conversions than two texts falls back to the English one.
    static std::string FormatDeviceLine(const std::string& format, const std::string& name,
                                        const std::string& address);

private:
    void PrintText(std::string text, int level);
    void PrintSeparator(int level);
    int PrintPageHeader();
    void PrintPageFooter();
    // Moves to the next line, on a new page when this one is full.
    void NextLine();

    IPrintSurface& m_surface;
    PrintMetrics m_metrics;
    PrintHeader m_header;
    std::function<std::tm()> m_now;
    int m_nPageNumber = 1;
    int m_nCurrentY = 0;
    bool m_bPageOpen = false;
};
