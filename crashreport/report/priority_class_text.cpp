#include "crashreport/report/priority_class_text.h"

#include "base/number_text.h"

namespace brevant::crashreport {

std::u16string PriorityClassText(std::int32_t priorityClass) {
    switch (priorityClass) {
        case 0:
        case -1:
            return {};
        case 0x20:
            return u"normal";
        case 0x40:
            return u"idle";
        case 0x80:
            return u"high";
        case 0x100:
            return u"realtime";
        case 0x4000:
            return u"below normal";
        case 0x8000:
            return u"above normal";
        default:
            return DollarHex(static_cast<std::uint32_t>(priorityClass));
    }
}

}  // namespace brevant::crashreport
