#pragma once
// One code address as a line of text, as exception locations and failure texts show it, and
// the failure text of a step that could not complete.

#include <cstdint>
#include <optional>
#include <string>

namespace brevant::crashreport {

struct CodeAddressFacts {
    bool found = false;  // a public symbol covers the address
    std::u16string moduleName;
    std::u16string unitName;
    std::int32_t line = 0;
    std::uint64_t functionStart = 0;
    std::int32_t functionStartLine = 0;  // 0 unknown
    std::u16string functionName;
};

std::u16string FormatCodeAddress(std::uint64_t address, const CodeAddressFacts& facts, bool relAddrs, bool relLines,
                                 int addressDigits);

// ">> internal error in " and the step; with the location line of an exception in flight,
// ":" and that line on a line of its own.
std::u16string InternalFailureText(std::u16string_view step, const std::optional<std::u16string>& inFlightLocation);

}  // namespace brevant::crashreport
