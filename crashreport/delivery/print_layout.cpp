#include "crashreport/delivery/print_layout.h"

#include <algorithm>

namespace brevant::crashreport {
namespace {

int Centimetre(int resolution, int sizeMm) {
    return (resolution * 10 + sizeMm / 2) / sizeMm;
}

}  // namespace

std::optional<PrintPageLayout> ComputePrintPageLayout(const PrinterMetrics& metrics) {
    if (metrics.horizontalSizeMm <= 0 || metrics.verticalSizeMm <= 0 || metrics.horizontalResolution <= 0 ||
        metrics.verticalResolution <= 0 || metrics.logPixelsY <= 0)
        return std::nullopt;
    // Device values fit into a few ten thousand pixels; larger ones would overflow below.
    if (metrics.horizontalResolution > 1000000 || metrics.verticalResolution > 1000000) return std::nullopt;
    PrintPageLayout layout;
    layout.centimetreX = Centimetre(metrics.horizontalResolution, metrics.horizontalSizeMm);
    layout.centimetreY = Centimetre(metrics.verticalResolution, metrics.verticalSizeMm);
    layout.topMargin = layout.centimetreY - metrics.physicalOffsetY;
    layout.usableBottom = metrics.verticalResolution - 2 * layout.topMargin;
    layout.leftMargin = 2 * layout.centimetreX - metrics.physicalOffsetX;
    layout.textWidth = metrics.horizontalResolution + metrics.physicalOffsetX - layout.leftMargin - layout.centimetreX;
    layout.fontHeight = -(metrics.logPixelsY * 8 / 72);
    if (layout.textWidth <= 0 || layout.usableBottom <= layout.topMargin || layout.fontHeight == 0) return std::nullopt;
    return layout;
}

std::vector<std::u16string> ReportPrintLines(std::u16string_view report) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start < report.size()) {
        std::size_t end = report.find(u"\r\n", start);
        if (end == report.npos) end = report.size();
        const std::u16string_view line = report.substr(start, end - start);
        lines.emplace_back(line.empty() ? std::u16string_view(u" ") : line);
        start = end + 2;
    }
    return lines;
}

std::vector<LinePlacement> PlaceLines(const std::vector<int>& lineHeights, const PrintPageLayout& layout) {
    std::vector<LinePlacement> placements;
    placements.reserve(lineHeights.size());
    LinePlacement next{0, layout.topMargin};
    for (int height : lineHeights) {
        const auto bottom = [&] { return static_cast<long long>(next.top) + (height > 0 ? height : 0); };
        if (bottom() > layout.usableBottom && next.top != layout.topMargin) next = {next.page + 1, layout.topMargin};
        placements.push_back(next);
        // Anything below the usable bottom only means "next page", so a huge height cannot overflow.
        next.top = static_cast<int>(std::min<long long>(bottom(), layout.usableBottom + 1LL));
    }
    return placements;
}

}  // namespace brevant::crashreport
