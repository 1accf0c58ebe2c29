// symbol_store_packer: after the first link of a program, gathers its symbols and line
// tables from binutils (nm for the symbols, objdump for where line rows and compilation
// units begin and end, addr2line for the source location at each of those places), packs
// them into a symbol store and writes a resource script that carries the store ("QRX"/"EXCEPT") and the calibration
// record ("QRX"/"CALIBRATE") into the second link.
//
//   symbol_store_packer --image FILE --nm TOOL --objdump TOOL --addr2line TOOL --marker NAME
//       --configuration NAME --toolchain TEXT [--resources FILE.rc] --output-dir DIR
//
// --resources names the program's own resource script, which the written script includes.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>

#include <zlib.h>

#include "symbols/calibration_record.h"
#include "symbols/pe_image.h"
#include "symbols/store_packing.h"
#include "symbols/store_writer.h"
#include "tools/symbol_store_packer/binutils_listings.h"
#include "tools/symbol_store_packer/symbol_table_builder.h"

namespace brevant::symbols {

namespace {

using Options = std::map<std::string, std::string>;

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        if (!name.starts_with("--")) throw std::runtime_error("unexpected argument " + name);
        options[name.substr(2)] = argv[index + 1];
    }
    for (const char* required :
         {"image", "nm", "objdump", "addr2line", "marker", "configuration", "toolchain", "output-dir"}) {
        if (!options.contains(required)) throw std::runtime_error(std::string("missing --") + required);
    }
    return options;
}

std::string QuoteForShell(const std::string& text) {
    std::string quoted = "'";
    for (char letter : text) quoted += letter == '\'' ? std::string("'\\''") : std::string(1, letter);
    return quoted + "'";
}

std::string RunTool(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
    if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
    return output;
}

std::uint32_t SymbolOffset(const std::vector<NmSymbol>& symbols, const std::string& name, std::uint64_t imageBase) {
    for (const NmSymbol& symbol : symbols) {
        if (symbol.name == name) return static_cast<std::uint32_t>(symbol.address - imageBase);
    }
    throw std::runtime_error("the program has no symbol " + name);
}

// addr2line's answer for each breakpoint, asked in one run.
std::vector<SourceLocation> AskLocations(const std::string& addr2line, const std::filesystem::path& image,
                                         const std::vector<std::uint32_t>& breakpoints, std::uint64_t imageBase,
                                         const std::filesystem::path& workDir) {
    const std::filesystem::path request = workDir / "addresses.txt";
    {
        std::ofstream addresses(request);
        for (std::uint32_t offset : breakpoints) addresses << std::hex << imageBase + offset << '\n';
        if (!addresses) throw std::runtime_error("cannot write " + request.string());
    }
    auto locations = ParseAddr2lineListing(
        RunTool(QuoteForShell(addr2line) + " -a -e " + QuoteForShell(image) + " < " + QuoteForShell(request)));
    std::filesystem::remove(request);
    if (locations.size() != breakpoints.size()) throw std::runtime_error("addr2line answered too few addresses");
    return locations;
}

// The module's minimal debug information: enough to tell which build a report came from.
std::string DescribeBuild(const std::filesystem::path& image, const PeImage& pe, std::span<const std::uint8_t> file,
                          const std::string& toolchain) {
    uLong codeChecksum = crc32(0, nullptr, 0);
    for (const PeSection& section : pe.Sections()) {
        if (!section.IsCode() || std::uint64_t{section.fileOffset} + section.fileSize > file.size()) continue;
        codeChecksum = crc32(codeChecksum, file.data() + section.fileOffset, section.fileSize);
    }
    char checksum[16];
    std::snprintf(checksum, sizeof checksum, "%08lx", static_cast<unsigned long>(codeChecksum));
    return image.filename().string() + " " + (pe.Is64Bit() ? "x86_64" : "i686") + ", " + toolchain + ", code crc32 " +
           checksum;
}

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream stream(path, std::ios::binary);
    stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!stream) throw std::runtime_error("cannot write " + path.string());
}

void WriteResourceScript(const std::filesystem::path& path, const std::string& programResources,
                         const std::filesystem::path& store, const std::filesystem::path& calibration) {
    std::ofstream script(path);
    script << "// Written by symbol_store_packer: the program's resources plus its symbol store and\n"
           << "// calibration record.\n";
    if (!programResources.empty()) script << "#include \"" << programResources << "\"\n";
    script << "EXCEPT QRX \"" << store.string() << "\"\n"
           << "CALIBRATE QRX \"" << calibration.string() << "\"\n";
    if (!script) throw std::runtime_error("cannot write " + path.string());
}

// What the packer knows about the linked program it reads.
struct LinkedProgram {
    std::filesystem::path image;
    std::vector<std::uint8_t> file;
    PeImage pe;
    ModuleRanges ranges;
    std::vector<NmSymbol> symbols;
};

LinkedProgram ReadLinkedProgram(const Options& options) {
    const std::filesystem::path image = options.at("image");
    auto file = ReadWholeFile(image.string());
    const auto pe = file ? PeImage::Parse(*file) : std::nullopt;
    if (!pe) throw std::runtime_error("not a Windows executable: " + image.string());
    const auto ranges = MeasureModuleRanges(pe->Sections());
    if (!ranges) throw std::runtime_error("no code or data sections in " + image.string());
    auto symbols =
        ParseNmListing(RunTool(QuoteForShell(options.at("nm")) + " -n --defined-only -C " + QuoteForShell(image)));
    return LinkedProgram{image, std::move(*file), *pe, *ranges, std::move(symbols)};
}

SymbolTable GatherSymbolTable(const Options& options, const LinkedProgram& program,
                              const std::filesystem::path& workDir) {
    const std::string objdump = QuoteForShell(options.at("objdump")) + " ";
    const std::string image = " " + QuoteForShell(program.image);
    auto lineRows = ParseLineTableRows(RunTool(objdump + "-w --dwarf=decodedline" + image));
    std::vector<std::uint64_t> rowAddresses;
    for (const LineTableRow& row : lineRows) rowAddresses.push_back(row.address);
    const auto unitRanges = ParseArangesListing(RunTool(objdump + "--dwarf=aranges" + image));
    const CodeRange code{program.pe.ImageBase(), program.ranges.codeStart,
                         program.ranges.codeStart + program.ranges.codeSize};
    const auto breakpoints = LocationBreakpoints(rowAddresses, unitRanges, program.symbols, code);
    auto locations = AskLocations(options.at("addr2line"), program.image, breakpoints, code.imageBase, workDir);
    TakeLineFilesFromTable(locations, breakpoints, std::move(lineRows), code);
    return BuildSymbolTable(program.symbols, breakpoints, locations, code,
                            DescribeBuild(program.image, program.pe, program.file, options.at("toolchain")));
}

int Pack(const Options& options) {
    const LinkedProgram program = ReadLinkedProgram(options);
    const std::filesystem::path outputDir = options.at("output-dir");
    std::filesystem::create_directories(outputDir);
    const SymbolTable table = GatherSymbolTable(options, program, outputDir);

    const std::string stem = program.image.stem().string();
    const std::filesystem::path storePath = std::filesystem::absolute(outputDir / (stem + ".qrx"));
    const std::filesystem::path calibrationPath = std::filesystem::absolute(outputDir / (stem + ".calibrate"));
    WriteFile(storePath, PackStore(WriteStore(table)));
    const std::uint64_t base = program.pe.ImageBase();
    WriteFile(calibrationPath,
              MakeCalibrationRecord(program.ranges, SymbolOffset(program.symbols, options.at("marker"), base),
                                    SymbolOffset(program.symbols, options.at("configuration"), base)));
    const auto resources = options.find("resources");
    WriteResourceScript(outputDir / (stem + "_symbols.rc"),
                        resources == options.end() ? std::string() : resources->second, storePath, calibrationPath);
    std::cout << program.image.filename().string() << ": " << table.symbols.size() << " symbols, " << table.lines.size()
              << " line rows\n";
    return 0;
}

}  // namespace

}  // namespace brevant::symbols

int main(int argc, char** argv) {
    try {
        return brevant::symbols::Pack(brevant::symbols::ParseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "symbol_store_packer: " << error.what() << "\n";
        return 1;
    }
}
