#include "crashreport/stack/code_address_text.h"

#include "base/number_text.h"
#include "base/utf16_text.h"

namespace brevant::crashreport {

std::u16string FormatCodeAddress(std::uint64_t address, const CodeAddressFacts& facts, bool relAddrs, bool relLines,
                                 int addressDigits) {
    std::u16string text = AddressHex(address, addressDigits);
    if (!facts.found) return text + (relAddrs ? u" +0" : u"") + u" ???";
    if (relAddrs) text += u" +" + AddressHex(address - facts.functionStart, 1);
    text += u" " + facts.moduleName + u" " + facts.unitName + u" ";
    if (facts.line > 0) text += DecimalText(facts.line) + u" ";
    if (relLines) {
        const std::int32_t relative =
            facts.line > 0 && facts.functionStartLine > 0 ? facts.line - facts.functionStartLine : 0;
        text += u"+" + DecimalText(relative) + u" ";
    }
    return text + facts.functionName;
}

std::u16string InternalFailureText(std::u16string_view step, const std::optional<std::u16string>& inFlightLocation) {
    std::u16string text = u">> internal error in " + std::u16string(step);
    if (inFlightLocation) text += u":\r\n" + *inFlightLocation;
    return text;
}

}  // namespace brevant::crashreport
