#pragma once
// The page arithmetic of printing a bug report: margins and text width from the printer's
// device values, the report's lines, and the page and position each line is printed at.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

// The printer's device capabilities, in device pixels unless named otherwise.
struct PrinterMetrics {
    int horizontalResolution = 0;  // HORZRES
    int verticalResolution = 0;    // VERTRES
    int horizontalSizeMm = 0;      // HORZSIZE
    int verticalSizeMm = 0;        // VERTSIZE
    int physicalOffsetX = 0;       // PHYSICALOFFSETX
    int physicalOffsetY = 0;       // PHYSICALOFFSETY
    int logPixelsY = 0;            // LOGPIXELSY
};

struct PrintPageLayout {
    int centimetreX = 0;
    int centimetreY = 0;
    int topMargin = 0;     // 1 cm from the paper's top edge
    int usableBottom = 0;  // lines end above this
    int leftMargin = 0;    // 2 cm from the paper's left edge
    int textWidth = 0;     // up to 1 cm before the printable area's right end
    int fontHeight = 0;    // negative: the character height of 8 points
};

// Empty when the device values leave no room to print in (a driver reporting zero sizes or
// margins beyond the page), so that nothing divides by zero or prints off the paper.
std::optional<PrintPageLayout> ComputePrintPageLayout(const PrinterMetrics& metrics);

// The report's lines as they are printed: split at CR LF, with no extra line after a final
// CR LF, and an empty line as " " so that it keeps the height of one line of text.
std::vector<std::u16string> ReportPrintLines(std::u16string_view report);

struct LinePlacement {
    int page = 0;  // from 0
    int top = 0;
};

// Lines follow each other down the page; a line whose bottom would pass the usable bottom
// starts the next page at the top margin, unless the page is still empty: a line taller than
// a page gets a page of its own (cut off by the printer) instead of blank pages without end.
std::vector<LinePlacement> PlaceLines(const std::vector<int>& lineHeights, const PrintPageLayout& layout);

}  // namespace brevant::crashreport
