#pragma once
// What the launcher needs of the operating system, as small interfaces. The Windows
// build implements them with Win32 calls; the unit tests give them scripted answers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True only for a file (not a directory); a locked file exists too.
    virtual bool FileExists(const std::u16string& path) const = 0;
    // The whole content of an existing file; raises EFOpenError
    // ("Cannot open file "%s". %s") when it cannot be opened or read.
    virtual std::string ReadWholeFile(const std::u16string& path) const = 0;
    // Bytes of a text file without byte-order mark, in the system's ANSI code page.
    virtual std::u16string DecodeAnsi(std::string_view bytes) const = 0;
};

enum class RegistryRoot { ClassesRoot, CurrentUser };

// A registry value as stored, before the launcher's reading rules apply.
struct RegistryValue {
    enum class State { Missing, Present, Unreadable };
    static constexpr std::uint32_t kString = 1;        // REG_SZ
    static constexpr std::uint32_t kExpandString = 2;  // REG_EXPAND_SZ

    State state = State::Missing;
    std::uint32_t type = 0;
    std::size_t dataSize = 0;  // in bytes
    std::u16string data;       // the data of a string type, NULs included
};

class RegistryReader {
public:
    virtual ~RegistryReader() = default;
    // Nothing when the key cannot be opened for reading.
    virtual std::optional<RegistryValue> ReadValue(RegistryRoot root, const std::u16string& keyPath,
                                                   const std::u16string& valueName) const = 0;
    // Subkey names in the registry's enumeration order; nothing when the key cannot be opened.
    virtual std::optional<std::vector<std::u16string>> SubkeyNames(RegistryRoot root,
                                                                   const std::u16string& keyPath) const = 0;
};

enum class ShowMode { Hidden, Shown };

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Creates a process from a command line (none at all when it is empty) in the
    // launcher's own directory; true when it was created. Never waits for it.
    virtual bool CreateProcessFromCommandLine(const std::u16string& commandLine, ShowMode show) = 0;
    // The shell's "open" request; its outcome is not looked at.
    virtual void ShellOpen(const std::u16string& file, const std::u16string& parameters) = 0;
};

// Standard input and output for the help text; failures raise EInOutError.
class StandardStreams {
public:
    virtual ~StandardStreams() = default;
    virtual void WriteText(std::u16string_view text) = 0;
    // Reads and discards one line (up to a line feed or the end of input).
    virtual void SkipInputLine() = 0;
};

struct LauncherPlatform {
    const FileSystem& files;
    const RegistryReader& registry;
    ProcessStarter& processes;
    StandardStreams& streams;
};

}  // namespace brevant
