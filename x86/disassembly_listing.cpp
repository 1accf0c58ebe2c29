#include "x86/disassembly_listing.h"

#include <algorithm>
#include <cstdio>

#include "x86/instruction_decoder.h"

namespace brevant::x86 {
namespace {

// Listing layout. Each line is
//
//   ADDRESS [LINE] M TEXT[ ; COMMENT]
//
// ADDRESS: 8 lower-case hex digits (16 in 64-bit code), then a blank.
// LINE:    only when some instruction has a source line: the line number, right-aligned
//          to the widest one and shown where the line changes, then a blank.
// M:       ">" on the instruction at the crash address, a blank elsewhere; so the
//          marker column is 9 without line numbers and beyond 10 with them.
// TEXT:    Intel syntax as objdump writes it; named targets appear by name.
// COMMENT: after ";": the address a RIP-relative operand points at, or the name of
//          the routine an indirect call or jump goes to through a readable slot.
// A line "[...]" stands for instructions left out: code between separate areas of the
// function, or with a limit, runs of more than 1.2 x limit instructions that are more
// than limit instructions away from both the entry and the crash address.
// The formatted layout aligns the comments in one column and puts a separator comment
// "; " + 28 dashes before each new source line; the plain layout has neither.

constexpr std::size_t kCommentColumn = 40;  // from the start of TEXT, formatted layout
constexpr std::size_t kCrashRunLength = 8;  // instructions shown from a crash outside the function
const char* const kElision = "[...]";

struct Row {
    bool elision = false;
    Instruction instruction;
    int line = 0;

    static Row Elision() {
        Row row;
        row.elision = true;
        return row;
    }
};

void AppendHex(std::string& out, std::uint64_t value, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "%0*llx", digits, static_cast<unsigned long long>(value));
    out += buffer;
}

class ListingBuilder {
public:
    ListingBuilder(const MemoryReader& reader, const DisassemblyOptions& options)
        : reader_(reader), options_(options) {}

    std::string Build(std::uint64_t functionStart, std::uint64_t crashAddress) {
        FunctionAnalysisOptions analysis;
        analysis.mode = options_.mode;
        analysis.noReturnTargets = options_.noReturnTargets;
        analysis.scopeEnd = options_.scopeEnd;
        const TFunctionInfo info = ParseFunction(reader_, functionStart, analysis);
        if (!info.IsValid) return {};

        std::vector<TCodeArea> segments = info.CodeAreas;
        if (!info.Contains(crashAddress)) segments.push_back({crashAddress, crashAddress});
        std::sort(segments.begin(), segments.end(),
                  [](const TCodeArea& a, const TCodeArea& b) { return a.AreaBegin < b.AreaBegin; });
        for (const TCodeArea& segment : segments) {
            const bool crashRun = segment.AreaBegin == crashAddress && segment.AreaEnd == crashAddress;
            DecodeSegment(segment, crashRun ? kCrashRunLength : SIZE_MAX);
        }
        if (options_.limit > 0) Elide(functionStart, crashAddress);
        return Render(crashAddress);
    }

private:
    void DecodeSegment(const TCodeArea& segment, std::size_t maxCount) {
        if (!rows_.empty()) rows_.push_back(Row::Elision());
        std::uint64_t address = segment.AreaBegin;
        for (std::size_t count = 0; count < maxCount && (maxCount != SIZE_MAX || address <= segment.AreaEnd); ++count) {
            Row row;
            if (!DecodeInstruction(reader_, address, options_.mode, row.instruction)) break;
            row.line = options_.lineOf ? options_.lineOf(address) : 0;
            if (row.line > 0) hasLines_ = true;
            address = row.instruction.End();
            rows_.push_back(row);
        }
    }

    static bool Covers(const Row& row, std::uint64_t address) {
        return !row.elision && address >= row.instruction.address && address < row.instruction.End();
    }

    // Keeps `limit` instructions around the entry and the crash; longer runs beyond go.
    void Elide(std::uint64_t functionStart, std::uint64_t crashAddress) {
        const auto limit = static_cast<std::size_t>(options_.limit);
        std::vector<std::size_t> points;
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (Covers(rows_[i], functionStart) || Covers(rows_[i], crashAddress)) points.push_back(i);
        std::vector<bool> keep(rows_.size(), false);
        for (std::size_t point : points)
            for (std::size_t i = point > limit ? point - limit : 0; i < rows_.size() && i <= point + limit; ++i)
                keep[i] = true;
        std::vector<Row> result;
        for (std::size_t i = 0; i < rows_.size();) {
            std::size_t end = i;
            while (end < rows_.size() && !keep[end]) ++end;
            const std::size_t run = end - i;
            if (run * 5 > limit * 6) {  // more than 1.2 x limit
                result.push_back(Row::Elision());
            } else {
                result.insert(result.end(), rows_.begin() + static_cast<std::ptrdiff_t>(i),
                              rows_.begin() + static_cast<std::ptrdiff_t>(end));
            }
            if (end < rows_.size()) result.push_back(rows_[end]);
            i = end + 1;
        }
        rows_.clear();
        for (Row& row : result)  // adjacent elisions say the same once
            if (!(row.elision && !rows_.empty() && rows_.back().elision)) rows_.push_back(row);
    }

    std::string Comment(const Instruction& instruction, std::string& text) const {
        const std::size_t hash = text.find("        # ");
        if (hash != std::string::npos) {
            std::string comment = text.substr(hash + 10);
            text.erase(hash);
            return comment;
        }
        if (instruction.indirect && instruction.hasMemoryAddress && options_.nameOf) {
            std::uint8_t bytes[8] = {};
            const std::size_t size = options_.mode == Mode::Bits64 ? 8 : 4;
            if (reader_.Read(instruction.memoryAddress, bytes, size)) {
                std::uint64_t slot = 0;
                for (std::size_t i = 0; i < size; ++i) slot |= std::uint64_t{bytes[i]} << (8 * i);
                return options_.nameOf(slot);
            }
        }
        return {};
    }

    std::string Render(std::uint64_t crashAddress) const {
        const int addressDigits = options_.mode == Mode::Bits64 ? 16 : 8;
        int lineWidth = 0;
        for (const Row& row : rows_)
            if (!row.elision && row.line > 0)
                lineWidth = std::max(lineWidth, static_cast<int>(std::to_string(row.line).size()));
        const std::size_t textColumn =
            static_cast<std::size_t>(addressDigits) + 1 + (hasLines_ ? lineWidth + 1 : 0) + 2;
        const AddressNamer* namer = options_.nameOf ? &options_.nameOf : nullptr;

        std::string out;
        int previousLine = 0;
        for (const Row& row : rows_) {
            if (!out.empty()) out += "\r\n";
            if (row.elision) {
                out += kElision;
                continue;
            }
            const bool newLine = row.line > 0 && row.line != previousLine;
            if (options_.formatted && newLine && previousLine > 0) {
                out.append(textColumn, ' ');
                out += "; ";
                out.append(28, '-');
                out += "\r\n";
            }
            AppendHex(out, row.instruction.address, addressDigits);
            out += ' ';
            if (hasLines_) {
                const std::string line = newLine ? std::to_string(row.line) : std::string();
                out.append(static_cast<std::size_t>(lineWidth) - line.size(), ' ');
                out += line;
                out += ' ';
            }
            if (row.line > 0) previousLine = row.line;
            out += Covers(row, crashAddress) ? '>' : ' ';
            out += ' ';
            std::string text = FormatInstruction(row.instruction, namer);
            const std::string comment = Comment(row.instruction, text);
            out += text;
            if (!comment.empty()) {
                if (options_.formatted && text.size() < kCommentColumn)
                    out.append(kCommentColumn - text.size(), ' ');
                else
                    out += ' ';
                out += "; ";
                out += comment;
            }
        }
        return out;
    }

    const MemoryReader& reader_;
    const DisassemblyOptions& options_;
    std::vector<Row> rows_;
    bool hasLines_ = false;
};

}  // namespace

std::string GetCleartextDisAsm(const MemoryReader& reader, std::uint64_t functionStart, std::uint64_t crashAddress,
                               const DisassemblyOptions& options) {
    if (functionStart == 0) return {};
    return ListingBuilder(reader, options).Build(functionStart, crashAddress);
}

}  // namespace brevant::x86
