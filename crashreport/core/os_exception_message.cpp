#include "crashreport/core/os_exception_message.h"

#include "base/number_text.h"

namespace brevant::crashreport {

namespace {

const char16_t* FixedText(std::uint32_t code) {
    switch (code) {
        case 0xC000008C: return u"Range check error";
        case 0xC000008D:
        case 0xC0000093: return u"Floating point underflow";
        case 0xC000008E: return u"Floating point division by zero";
        case 0xC000008F:
        case 0xC0000090:
        case 0xC0000092: return u"Invalid floating point operation";
        case 0xC0000091: return u"Floating point overflow";
        case 0xC0000094: return u"Division by zero";
        case 0xC0000095: return u"Integer overflow";
        case 0xC0000096: return u"Privileged instruction";
        case 0xC00000FD: return u"Stack overflow";
        case 0xC000013A: return u"Control-C hit";
        default: return nullptr;
    }
}

std::u16string AccessViolationText(const OsExceptionFacts& record, const ModuleNameAt& moduleNameAt) {
    std::optional<std::u16string> module = moduleNameAt ? moduleNameAt(record.address) : std::nullopt;
    if (!module) return u"Access Violation";
    return u"Access violation at address " + DollarHex(record.address) + u" in module '" + *module + u"'. " +
           (record.accessIsWrite != 0 ? u"Write" : u"Read") + u" of address " + DollarHex(record.accessedAddress);
}

}  // namespace

std::u16string OsExceptionMessage(const OsExceptionFacts& record, const ModuleNameAt& moduleNameAt) {
    if (record.code == 0xC0000005) return AccessViolationText(record, moduleNameAt);
    if (const char16_t* text = FixedText(record.code)) return text;
    return u"External exception " + UpperHex(record.code);
}

}  // namespace brevant::crashreport
