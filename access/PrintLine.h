// The lines of the documentation printout as the model collects them, before any layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class PrintLineKind : std::int32_t
{
    Text = 0,
    Blank = 1,     // an empty line
    Separator = 2, // a horizontal rule
};

struct PrintLine
{
    std::string text; // empty for blanks and separators
    PrintLineKind kind = PrintLineKind::Text;
    std::int32_t level = 0; // indent in widths of one blank; -1 for separators
};

// Only appended to; lives for one printout.
using PrintLineList = std::vector<PrintLine>;

// Indent levels of the printout.
inline constexpr int kPrintSectionLevel = 2;
inline constexpr int kPrintParameterLevel = 4;
inline constexpr int kPrintEntryLevel = 6;

// A text line: the format applied to the arguments.
void AddPrintLine(PrintLineList& list, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// Without a text: a blank line at a level of 0 or more, a separator below 0.
void AddPrintLine(PrintLineList& list, int level);
// The run between two sections: blank, separator, blank.
void AddPrintSectionBreak(PrintLineList& list);
// The shorter run of the overview: blank, separator.
void AddPrintShortBreak(PrintLineList& list);

// The texts of the three header lines and of the footer.
struct PrintHeader
{
    std::string projectName, deviceName, description, address;
    std::string deviceLineFormat; // two texts: device name, address
    std::string projectLabel, descriptionLabel, pageLabel;
};
