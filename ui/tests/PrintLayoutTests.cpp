// The printout's page layout without a printer: line split, page break, header and footer, recorded on
// a surface whose characters are all 10 units wide.
#include "ui/DocumentationLayout.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

struct Drawn
{
    int page;
    bool line; // a rule; else a text
    int x, y, x2;
    std::string text;
};

class RecordingSurface final : public IPrintSurface
{
public:
    void StartPage() override
    {
        ++pages;
        open = true;
    }
    void EndPage() override { open = false; }
    void DrawText(int x, int y, const std::string& text) override
    {
        drawn.push_back({pages, false, x, y, 0, text});
    }
    void DrawLine(int x1, int y, int x2) override { drawn.push_back({pages, true, x1, y, x2, {}}); }
    int TextWidth(std::string_view text) const override { return 10 * Characters(text); }
    static int Characters(std::string_view text)
    {
        int n = 0;
        for (char c : text)
            n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return n;
    }
    // The texts drawn on a page below its header, in order.
    std::vector<Drawn> Body(int page) const
    {
        std::vector<Drawn> body;
        for (const Drawn& d : drawn)
            if (d.page == page && !d.line && d.y > 80 && d.y < 920)
                body.push_back(d);
        return body;
    }
    const Drawn* Find(const std::string& text) const
    {
        for (const Drawn& d : drawn)
            if (!d.line && d.text == text)
                return &d;
        return nullptr;
    }

    std::vector<Drawn> drawn;
    int pages = 0;
    bool open = false;
};

// A page of 1000 units: header lines at 20, 40, 60, its rule at 80; body lines at 100..900 (41 lines);
// the footer's rule at 920 and its text at 926.
constexpr PrintMetrics kMetrics{1000, 400, 10, 20, 20, 10};

PrintHeader Header(std::string deviceLineFormat = "Device: %s Address: %s")
{
    return {"Office",  "DALI Gateway", "Floor 2", "1.1.1", std::move(deviceLineFormat),
            "Project", "Description",  "Page"};
}

std::tm Time(int minute)
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 11;
    t.tm_min = minute;
    return t;
}

PrintLineList Lines(int count, int level = 4)
{
    PrintLineList list;
    for (int i = 1; i <= count; ++i)
        AddPrintLine(list, level, "line %d", i);
    return list;
}

int Width(std::string_view text)
{
    return 10 * RecordingSurface::Characters(text);
}

} // namespace

TEST(PrintLayout, SplitsATooWideTextOnceByWordsOrCharacters)
{
    struct Case
    {
        const char* text;
        int available;
        const char* first;
        const char* rest;
    } cases[] = {
        {"short", 100, "short", ""},
        // Reaching the width exactly does not fit.
        {"aaaa bbbbb", 100, "aaaa", "bbbbb"},
        {"one two three four", 100, "one two", "three four"},
        {"abcdefghijkl", 100, "abcdefghi", "jkl"},
        // A first word wider than the line is split between characters instead of leaving it empty.
        {"abcdefghijklmn op", 100, "abcdefghi", "jklmn op"},
        // Characters, not bytes.
        {"ääääääääääää", 100, "äääääääää", "äää"},
        {"Straße und Weg", 100, "Straße", "und Weg"},
    };
    for (const Case& c : cases) {
        auto [first, rest] = CDocumentationLayout::SplitText(c.text, c.available, Width);
        EXPECT_EQ(first, c.first) << c.text;
        EXPECT_EQ(rest, c.rest) << c.text;
    }
}

TEST(PrintLayout, DeviceLineTakesOnlyTwoTextsFromTheHostsFormat)
{
    struct Case
    {
        const char* format;
        const char* line;
    } cases[] = {
        {"Device: %s Address: %s", "Device: GW Address: 1.1.1"},
        {"Gerät %s (%s), 100%%", "Gerät GW (1.1.1), 100%"},
        {"Device: %s", "Device: GW"},
        // Any other conversion would read arguments that are not there.
        {"Device %d: %s", "Device: GW Address: 1.1.1"},
        {"%s %s %s", "Device: GW Address: 1.1.1"},
        {"%n%s", "Device: GW Address: 1.1.1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDocumentationLayout::FormatDeviceLine(c.format, "GW", "1.1.1"), c.line) << c.format;
}

TEST(PrintLayout, EveryPageHasTheHeaderAndAFooterWithNumberAndTimeOfDrawing)
{
    RecordingSurface surface;
    int minute = 30;
    CDocumentationLayout layout(surface, kMetrics, Header(), [&] { return Time(minute++); });
    layout.StartPrinting();
    layout.PrintLines(Lines(45));
    layout.EndPrinting();

    ASSERT_EQ(surface.pages, 2);
    EXPECT_FALSE(surface.open);
    for (int page = 1; page <= 2; ++page) {
        std::vector<std::string> header;
        std::vector<int> headerY;
        for (const Drawn& d : surface.drawn)
            if (d.page == page && !d.line && d.y < 80) {
                header.push_back(d.text);
                headerY.push_back(d.y);
                EXPECT_EQ(d.x, 10);
            }
        EXPECT_EQ(header, (std::vector<std::string>{"Project: Office", "Device: DALI Gateway Address: 1.1.1",
                                                    "Description: Floor 2"}));
        EXPECT_EQ(headerY, (std::vector<int>{20, 40, 60}));
    }
    // 41 lines fit on the first page, from y 100 to 900; the rest starts the second page at 100.
    const auto first = surface.Body(1), second = surface.Body(2);
    ASSERT_EQ(first.size(), 41u);
    EXPECT_EQ(first.front().y, 100);
    EXPECT_EQ(first.back().y, 900);
    EXPECT_EQ(first.front().x, 10 + 4 * 10);
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second.front().text, "line 42");
    EXPECT_EQ(second.front().y, 100);

    // Footers: the rule 4 lines above the page's end, then label, number, five blanks, date and time,
    // the time asked when that footer is drawn.
    const Drawn* footer1 = surface.Find("Page 1     10.12.26 11:30");
    const Drawn* footer2 = surface.Find("Page 2     10.12.26 11:31");
    ASSERT_TRUE(footer1 && footer2);
    EXPECT_EQ(footer1->page, 1);
    EXPECT_EQ(footer1->y, 926);
    EXPECT_EQ(footer2->page, 2);
    int rules = 0;
    for (const Drawn& d : surface.drawn)
        if (d.line && d.y == 920 && d.x == 10 && d.x2 == 400)
            ++rules;
    EXPECT_EQ(rules, 2);
    EXPECT_EQ(layout.PageNumber(), 3);
}

TEST(PrintLayout, LongTextsGoOnAtTheSameIndentAcrossPagesAndNeverPastTheEdge)
{
    RecordingSurface surface;
    CDocumentationLayout layout(surface, kMetrics, Header(), [] { return Time(0); });
    layout.StartPrinting();
    PrintLineList list = Lines(40);
    // The 41st line needs two: its continuation goes to the next page.
    AddPrintLine(list, 4, "%s", "Switch-on behaviour after bus voltage recovery: last value before failure");
    // Far wider than two lines, without any blank.
    AddPrintLine(list, 6, "%s", std::string(100, 'x').c_str());
    layout.PrintLines(list);
    layout.EndPrinting();

    const auto first = surface.Body(1), second = surface.Body(2);
    ASSERT_EQ(first.size(), 41u);
    EXPECT_EQ(first.back().y, 900);
    EXPECT_EQ(first.back().text, "Switch-on behaviour after bus");
    ASSERT_GE(second.size(), 3u);
    EXPECT_EQ(second[0].text, "voltage recovery: last value before");
    EXPECT_EQ(second[0].y, 100);
    EXPECT_EQ(second[0].x, 50);
    EXPECT_EQ(second[1].text, "failure");

    std::string joined;
    for (std::size_t i = 2; i < second.size(); ++i) {
        EXPECT_EQ(second[i].x, 10 + 6 * 10);
        EXPECT_EQ(second[i].y, 100 + 20 * static_cast<int>(i));
        // Text at level 6 starts 60 units in and must stay inside the usable width.
        EXPECT_LT(60 + Width(second[i].text), 400);
        joined += second[i].text;
    }
    EXPECT_EQ(joined, std::string(100, 'x'));
}

TEST(PrintLayout, BlanksAndSeparatorsTakeALineEach)
{
    RecordingSurface surface;
    CDocumentationLayout layout(surface, kMetrics, Header(), [] { return Time(0); });
    layout.StartPrinting();
    PrintLineList list;
    AddPrintLine(list, 2, "%s:", "General");
    AddPrintSectionBreak(list);
    AddPrintLine(list, 2, "%s:", "Manual control");
    layout.PrintLines(list);
    layout.EndPrinting();

    const Drawn* general = surface.Find("General:");
    const Drawn* manual = surface.Find("Manual control:");
    ASSERT_TRUE(general && manual);
    EXPECT_EQ(general->y, 100);
    EXPECT_EQ(manual->y, 180);
    // The separator of level -1 starts one blank left of the left offset.
    bool found = false;
    for (const Drawn& d : surface.drawn)
        found |= d.line && d.y == 140 && d.x == 0 && d.x2 == 400;
    EXPECT_TRUE(found);
}
