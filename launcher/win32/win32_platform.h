#pragma once
// The launcher's platform interfaces implemented with Win32 calls.

#include "launcher/platform.h"

namespace brevant {

class Win32FileSystem : public FileSystem {
public:
    bool FileExists(const std::u16string& path) const override;
    std::string ReadWholeFile(const std::u16string& path) const override;
    std::u16string DecodeAnsi(std::string_view bytes) const override;
};

class Win32Registry : public RegistryReader {
public:
    std::optional<RegistryValue> ReadValue(RegistryRoot root, const std::u16string& keyPath,
                                           const std::u16string& valueName) const override;
    std::optional<std::vector<std::u16string>> SubkeyNames(RegistryRoot root,
                                                           const std::u16string& keyPath) const override;
};

class Win32ProcessStarter : public ProcessStarter {
public:
    bool CreateProcessFromCommandLine(const std::u16string& commandLine, ShowMode show) override;
    void ShellOpen(const std::u16string& file, const std::u16string& parameters) override;
};

class Win32StandardStreams : public StandardStreams {
public:
    void WriteText(std::u16string_view text) override;
    void SkipInputLine() override;
};

}  // namespace brevant
