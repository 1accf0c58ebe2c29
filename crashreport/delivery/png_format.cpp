#include "crashreport/delivery/png_format.h"

namespace brevant::crashreport {

TPngFormat PngFormatForDepth(std::int32_t screenShotDepth) {
    switch (screenShotDepth) {
        case 4: return TPngFormat::pf16Grays;
        case 51200: return TPngFormat::pf50kb;
        case 102400: return TPngFormat::pf100kb;
        case 204800: return TPngFormat::pf200kb;
        case 307200: return TPngFormat::pf300kb;
        default: return TPngFormat::pf256Colors;
    }
}

std::uint32_t PngSizeLimit(TPngFormat format) {
    switch (format) {
        case TPngFormat::pf50kb: return 51200;
        case TPngFormat::pf100kb: return 102400;
        case TPngFormat::pf200kb: return 204800;
        case TPngFormat::pf300kb: return 307200;
        default: return 0;
    }
}

}  // namespace brevant::crashreport
