// property_stream_compiler: turns a readable object text (the settings block, a form
// definition) into the binary property stream that is embedded as a resource.
//
//   property_stream_compiler INPUT.txt OUTPUT.bin
//
// Faults in the text are reported as "INPUT.txt:LINE: message". The output is written under
// a temporary name beside the target and renamed only when complete, so a failed run never
// leaves a stream behind that the build would take for a good one.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <system_error>

#include "tools/property_stream_compiler/property_text.h"

namespace {

bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// "line N: message" becomes "FILE:N: message".
std::string LocatedError(const std::string& file, const std::string& error) {
    constexpr std::string_view kLinePrefix = "line ";
    if (error.starts_with(kLinePrefix)) return file + ":" + error.substr(kLinePrefix.size());
    return file + ": " + error;
}

bool WriteThenRename(const std::filesystem::path& target, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::path temporary = target;
    temporary += ".partial";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) std::filesystem::remove(temporary, error);
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: property_stream_compiler INPUT.txt OUTPUT.bin\n";
        return 2;
    }
    const std::string input = argv[1];
    const std::filesystem::path output = argv[2];
    std::string text;
    if (!ReadWholeFile(input, text)) {
        std::cerr << input << ": cannot read the file\n";
        return 1;
    }
    const brevant::tools::PropertyTextResult result = brevant::tools::CompilePropertyText(text);
    if (!result.error.empty()) {
        std::cerr << LocatedError(input, result.error) << '\n';
        return 1;
    }
    if (!WriteThenRename(output, result.stream)) {
        std::cerr << output.string() << ": cannot write the file\n";
        return 1;
    }
    return 0;
}
