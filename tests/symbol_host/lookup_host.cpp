// The symbol lookup host: a program that carries a symbol store and describes addresses of
// its own code through the run-time lookups, as the crash reporter does.
//
//   lookup_host ADDRESS_FILE OUTPUT_FILE
//
// ADDRESS_FILE holds offsets from the image base in hex, one a line. For each, OUTPUT_FILE
// gets the offset, the function start (as an offset), unit, line and function name,
// separated by tabs. Four threads look up every address at once and must agree; a
// disagreement ends the program with exit code 3.

#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/utf16_text.h"
#include "host_units.h"
#include "symbols/win32/code_address_lookup.h"

namespace {

std::string Describe(std::uintptr_t base, std::uint32_t offset) {
    const brevant::symbols::CodeAddressInfo info = brevant::symbols::LookupCodeAddress(base + offset);
    char start[20] = "";
    if (info.found) std::snprintf(start, sizeof start, "%" PRIxPTR, info.functionStart - base);
    char address[20];
    std::snprintf(address, sizeof address, "%" PRIx32, offset);
    return std::string(address) + '\t' + start + '\t' + brevant::ToUtf8(info.unitName) + '\t' +
           std::to_string(info.line) + '\t' + brevant::ToUtf8(info.functionName) + '\n';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        // Without arguments the host just runs its own code.
        int total = 0;
        for (auto entry : host::kUnitEntries) total += entry(total);
        std::printf("%d\n", total);
        return 0;
    }
    std::vector<std::uint32_t> offsets;
    std::ifstream addresses(argv[1]);
    for (std::string line; std::getline(addresses, line);) {
        if (!line.empty()) offsets.push_back(static_cast<std::uint32_t>(std::stoul(line, nullptr, 16)));
    }
    const auto base = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));

    std::vector<std::string> answers[4];
    std::vector<std::thread> threads;
    for (auto& answer : answers) {
        threads.emplace_back([&answer, &offsets, base] {
            for (std::uint32_t offset : offsets) answer.push_back(Describe(base, offset));
        });
    }
    for (auto& thread : threads) thread.join();
    for (const auto& answer : answers) {
        if (answer != answers[0]) return 3;
    }
    std::ofstream output(argv[2], std::ios::binary);
    for (const std::string& line : answers[0]) output << line;
    return output ? 0 : 1;
}
