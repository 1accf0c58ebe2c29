// Compares the decoder with GNU objdump over the code of real PE files.
//
//   x86_oracle [--show N] [--lengths-only] [--raw32 | --raw64] FILE...
//
// FILE is a PE file, or with --raw32/--raw64 bytes of code without any file format
// (random bytes reach the corners of the encoding that compilers never use; their
// text, full of prefixes that mean nothing, is left out with --lengths-only).
//
// objdump walks each executable section linearly from its start; we decode at exactly
// the addresses it decoded, so a disagreement never spreads to the following
// instructions. For every instruction objdump decodes, our length must equal its length.
// Our instruction text must equal objdump's Intel text, after dropping its "<symbol>"
// annotations, for every instruction outside the accepted differences below.
//
// Accepted differences (counted and printed, not failures):
// - objdump prints "(bad)" for encodings it does not know, and ".byte" for an
//   instruction cut off by the end of its section; for those it has no length of its
//   own to compare with: linear decoding runs into data and padding.
// - VEX encodings the decoder knows by length only, which print as "(vex)": the AVX2
//   gathers with their vector-indexed addresses, and the rarer FMA4/XOP-era forms.
// - "(evex)" and "(xop)": AVX-512 and AMD XOP instructions, decoded for their length only.
// - "3dnow" (0F 0F): AMD's retired 3DNow! operations, decoded for length only.
// - Lengths: VEX, EVEX and XOP after 66, F2, F3, LOCK or REX, which the processor
//   rejects and objdump decodes ("processor faults" in the summary).
// Exit status: 0 when there is no length mismatch and no text mismatch outside the
// exemptions, 1 otherwise, 2 on a usage or tool error.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "x86/instruction_decoder.h"
#include "x86/instruction_text.h"
#include "x86/memory_reader.h"
#include "x86/pe_file.h"

namespace {

using namespace brevant::x86;

struct ObjdumpInstruction {
    std::uint64_t address = 0;
    std::size_t length = 0;
    std::string text;
};

struct Counts {
    std::size_t instructions = 0, objdumpBad = 0, lengthMismatches = 0, textMismatches = 0, textExempt = 0,
                processorFaults = 0;
};

// VEX, EVEX and XOP after 66, F2, F3, LOCK or REX fault on the processor, and the decoder
// says so; objdump decodes them anyway.
bool VectorEscapeAfterPrefix(const std::uint8_t* bytes, std::size_t size, Mode mode) {
    std::size_t i = 0;
    bool conflicting = false;
    for (; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        const bool rex = mode == Mode::Bits64 && (b & 0xF0) == 0x40;
        if (!rex && !IsLegacyPrefix(b)) break;
        conflicting |= rex || b == 0x66 || b == 0xF2 || b == 0xF3 || b == 0xF0;
    }
    return conflicting && i < size && (bytes[i] == 0xC4 || bytes[i] == 0xC5 || bytes[i] == 0x62 || bytes[i] == 0x8F);
}

// Mnemonic stems whose text we do not hold to objdump's spelling.
constexpr std::string_view kTextExemptMnemonics[] = {"(vex)", "(evex)", "(xop)", "3dnow"};

bool TextExempt(std::string_view ourText) {
    for (std::string_view stem : kTextExemptMnemonics)
        if (ourText.substr(0, stem.size()) == stem) return true;
    return false;
}

std::string Normalise(std::string_view text) {
    std::string out;
    bool blank = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') {  // a symbol annotation; the bare number before it gains its "0x"
            const std::size_t close = text.find('>', i);
            if (close != std::string_view::npos) {
                std::size_t tokenStart = out.find_last_of(" ,") == std::string::npos ? 0 : out.find_last_of(" ,") + 1;
                if (out.compare(tokenStart, 2, "0x") != 0) out.insert(tokenStart, "0x");
                i = close;
                continue;
            }
        }
        if (c == ' ' || c == '\t') {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Parses "  addr:\tbytes\ttext" and its continuation lines "  addr:\tbytes".
std::vector<ObjdumpInstruction> RunObjdump(const std::string& arguments, const std::string& path,
                                           const std::string& section) {
    const std::string command = arguments + " -z -w -M intel -j " + section + " '" + path + "' 2>/dev/null";
    std::vector<ObjdumpInstruction> result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::string line;
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        line.assign(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        std::size_t i = 0;
        while (i < line.size() && line[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < line.size() && IsHex(line[i])) ++i;
        if (i == start || i + 1 >= line.size() || line[i] != ':' || line[i + 1] != '\t') continue;
        const std::uint64_t address = std::strtoull(line.substr(start, i - start).c_str(), nullptr, 16);
        i += 2;
        std::size_t bytes = 0;
        while (i + 1 < line.size() && IsHex(line[i]) && IsHex(line[i + 1])) {
            ++bytes;
            i += 2;
            if (i < line.size() && line[i] == ' ') ++i;
        }
        while (i < line.size() && line[i] == ' ') ++i;
        const bool hasText = i < line.size() && line[i] == '\t';
        if (!hasText && !result.empty() && result.back().address + result.back().length == address) {
            result.back().length += bytes;
            continue;
        }
        result.push_back({address, bytes, hasText ? line.substr(i + 1) : std::string()});
    }
    pclose(pipe);
    return result;
}

void Report(const char* kind, const ObjdumpInstruction& theirs, const Instruction& ours, const std::string& ourText,
            const PeSection& section, std::uint64_t sectionBase) {
    std::string bytes;
    const std::uint64_t offset = theirs.address - sectionBase;
    for (std::size_t k = 0; k < std::max<std::size_t>(theirs.length, ours.length) && offset + k < section.bytes.size();
         ++k) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x ", section.bytes[offset + k]);
        bytes += hex;
    }
    std::printf("  %s at %llx [%s]: objdump %zu \"%s\", ours %u \"%s\"\n", kind,
                static_cast<unsigned long long>(theirs.address), bytes.c_str(), theirs.length,
                Normalise(theirs.text).c_str(), ours.length, ourText.c_str());
}

// Raw code (no file format) appears as one executable section ".data" at address 0,
// as objdump -b binary shows it.
std::optional<PeFile> ReadRawCode(const std::string& path, Mode mode) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return std::nullopt;
    PeFile file;
    file.mode = mode;
    PeSection section;
    section.name = ".data";
    section.characteristics = 0x20000000;
    section.bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    section.virtualSize = static_cast<std::uint32_t>(section.bytes.size());
    file.sections.push_back(std::move(section));
    return file;
}

Counts CompareFile(const std::string& path, std::size_t show, std::optional<Mode> raw, bool lengthsOnly) {
    Counts counts;
    const auto file = raw ? ReadRawCode(path, *raw) : ReadPeFile(path);
    if (!file) {
        std::printf("%s: not a PE file\n", path.c_str());
        counts.lengthMismatches = 1;
        return counts;
    }
    std::string tool = file->mode == Mode::Bits64 ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump";
    if (raw)
        tool += file->mode == Mode::Bits64 ? " -D -b binary -m i386:x86-64" : " -D -b binary -m i386";
    else
        tool += " -d";
    std::size_t lengthShown = 0, textShown = 0;
    std::map<std::string, std::size_t> textMismatchByMnemonic;
    for (const PeSection& section : file->sections) {
        if (!section.Executable()) continue;
        const std::uint64_t base = file->imageBase + section.virtualAddress;
        const BufferMemoryReader reader(base, section.bytes.data(), section.bytes.size());
        for (const ObjdumpInstruction& theirs : RunObjdump(tool, path, section.name)) {
            ++counts.instructions;
            Instruction ours;
            DecodeInstruction(reader, theirs.address, file->mode, ours);
            const std::string ourText = ours.valid ? FormatInstruction(ours) : "(bad)";
            const std::string theirText = Normalise(theirs.text);
            if (theirText.find("(bad)") != std::string::npos || theirText.rfind(".byte", 0) == 0) {
                ++counts.objdumpBad;
                continue;
            }
            const std::size_t offset = theirs.address - base;
            if (!ours.valid &&
                VectorEscapeAfterPrefix(section.bytes.data() + offset, section.bytes.size() - offset, file->mode)) {
                ++counts.processorFaults;
                continue;
            }
            if (!ours.valid || ours.length != theirs.length) {
                ++counts.lengthMismatches;
                if (lengthShown++ < show) Report("length", theirs, ours, ourText, section, base);
                continue;
            }
            if (lengthsOnly || Normalise(ourText) == theirText) continue;
            if (TextExempt(ourText)) {
                if (counts.textExempt++ < show) Report("exempt text", theirs, ours, ourText, section, base);
                continue;
            }
            ++counts.textMismatches;
            ++textMismatchByMnemonic[theirText.substr(0, theirText.find(' '))];
            if (textShown++ < show) Report("text", theirs, ours, ourText, section, base);
        }
    }
    std::printf(
        "%s: %zu instructions, %zu length mismatches, %zu text mismatches, %zu text exempt, %zu (bad) in objdump, "
        "%zu processor faults\n",
        path.c_str(), counts.instructions, counts.lengthMismatches, counts.textMismatches, counts.textExempt,
        counts.objdumpBad, counts.processorFaults);
    if (show != 0 && !textMismatchByMnemonic.empty()) {
        std::printf("  text mismatches by objdump mnemonic:");
        for (const auto& [mnemonic, count] : textMismatchByMnemonic) std::printf(" %s:%zu", mnemonic.c_str(), count);
        std::printf("\n");
    }
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t show = 0;
    std::optional<Mode> raw;
    bool lengthsOnly = false;
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--show") == 0 && i + 1 < argc)
            show = std::strtoul(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--lengths-only") == 0)
            lengthsOnly = true;
        else if (std::strcmp(argv[i], "--raw32") == 0)
            raw = Mode::Bits32;
        else if (std::strcmp(argv[i], "--raw64") == 0)
            raw = Mode::Bits64;
        else
            paths.emplace_back(argv[i]);
    }
    if (paths.empty()) {
        std::fprintf(stderr, "usage: x86_oracle [--show N] [--lengths-only] [--raw32 | --raw64] FILE...\n");
        return 2;
    }
    bool failed = false;
    for (const std::string& path : paths) {
        const Counts counts = CompareFile(path, show, raw, lengthsOnly);
        if (counts.instructions == 0 || counts.lengthMismatches != 0 || counts.textMismatches != 0) failed = true;
    }
    return failed ? 1 : 0;
}
