#pragma once
// Scripted stand-ins for the platform interfaces: files and registry values are set up
// by the test, started processes and shell requests are recorded in order.

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/exception.h"
#include "base/letter_case.h"
#include "base/utf16_text.h"
#include "launcher/launcher.h"
#include "launcher/platform.h"

namespace brevant::testing {

inline std::string U8(std::u16string_view text) {
    return ToUtf8(text);
}

class FakeFileSystem : public FileSystem {
public:
    // A file with the given bytes; an INI text is usually given as UTF-8 without BOM,
    // which the ANSI decoder below reads as Latin-1.
    void Add(const std::u16string& path, std::string bytes = {}) { files_[path] = std::move(bytes); }
    void AddLocked(const std::u16string& path) { locked_.insert(path); }

    bool FileExists(const std::u16string& path) const override {
        return files_.count(path) != 0 || locked_.count(path) != 0;
    }
    std::string ReadWholeFile(const std::u16string& path) const override {
        if (locked_.count(path) != 0)
            throw EFOpenError(u"Cannot open file \"" + path + u"\". The process cannot access the file.");
        return files_.at(path);
    }
    std::u16string DecodeAnsi(std::string_view bytes) const override { return FromLatin1(bytes); }

private:
    std::map<std::u16string, std::string> files_;
    std::set<std::u16string> locked_;
};

class FakeRegistry : public RegistryReader {
public:
    void Set(RegistryRoot root, const std::u16string& key, const std::u16string& name, RegistryValue value) {
        keys_[{root, UpperCase(key)}][UpperCase(name)] = std::move(value);
    }
    void SetText(RegistryRoot root, const std::u16string& key, const std::u16string& name, const std::u16string& text) {
        Set(root, key, name, StringValue(text));
    }
    // The default value of HKCR\<key>\shell\open\command.
    void SetOpenCommand(const std::u16string& key, const std::u16string& command) {
        SetText(RegistryRoot::ClassesRoot, key + u"\\shell\\open\\command", u"", command);
    }
    void SetUserChoice(const std::u16string& progId, const std::u16string& keyName = u"UserChoice") {
        SetText(RegistryRoot::CurrentUser,
                u"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\" + keyName, u"ProgId",
                progId);
    }
    void SetClassesRootSubkeys(std::vector<std::u16string> names) { rootSubkeys_ = std::move(names); }

    static RegistryValue StringValue(const std::u16string& text, std::uint32_t type = RegistryValue::kString) {
        RegistryValue value;
        value.state = RegistryValue::State::Present;
        value.type = type;
        value.data = text + u'\0';
        value.dataSize = value.data.size() * 2;
        return value;
    }

    std::optional<RegistryValue> ReadValue(RegistryRoot root, const std::u16string& keyPath,
                                           const std::u16string& valueName) const override {
        auto key = keys_.find({root, UpperCase(keyPath)});
        if (key == keys_.end()) return std::nullopt;
        auto value = key->second.find(UpperCase(valueName));
        return value == key->second.end() ? RegistryValue{} : value->second;
    }
    std::optional<std::vector<std::u16string>> SubkeyNames(RegistryRoot root,
                                                           const std::u16string& keyPath) const override {
        if (root != RegistryRoot::ClassesRoot || !keyPath.empty() || !rootSubkeys_) return std::nullopt;
        return rootSubkeys_;
    }

private:
    std::map<std::pair<RegistryRoot, std::u16string>, std::map<std::u16string, RegistryValue>> keys_;
    std::optional<std::vector<std::u16string>> rootSubkeys_;
};

// Every start as one line: "shown: <command line>", "hidden: <command line>" or
// "shell: <file>" (followed by " | <parameters>" when there are any).
class FakeProcessStarter : public ProcessStarter {
public:
    bool CreateProcessFromCommandLine(const std::u16string& commandLine, ShowMode show) override {
        starts.push_back((show == ShowMode::Shown ? "shown: " : "hidden: ") + U8(commandLine));
        return true;
    }
    void ShellOpen(const std::u16string& file, const std::u16string& parameters) override {
        starts.push_back("shell: " + U8(file) + (parameters.empty() ? "" : " | " + U8(parameters)));
    }

    std::vector<std::string> starts;
};

class FakeStandardStreams : public StandardStreams {
public:
    void WriteText(std::u16string_view text) override {
        if (failWrite) throw EInOutError(105);
        written += text;
    }
    void SkipInputLine() override { ++linesSkipped; }

    bool failWrite = false;
    std::u16string written;
    int linesSkipped = 0;
};

inline LauncherTexts StandardTexts() {
    return {{u"Switches: ", u"Configuration file, example /configfile:C:\\Temp\\Brevant.ini", u"help, example /help"},
            u"The Ovix DBG manager [%s] doesn't exist!"};
}

inline constexpr char16_t kModulePath[] = u"C:\\Apps\\MyApp.exe";
inline constexpr char16_t kDefaultIni[] = u"C:\\Apps\\Brevant.ini";

// One whole launcher over the fakes. Run() gives the exit code and records the
// message of an error that left RunLauncher.
struct LauncherRig {
    FakeFileSystem files;
    FakeRegistry registry;
    FakeProcessStarter processes;
    FakeStandardStreams streams;
    std::u16string modulePath = kModulePath;
    std::u16string error;        // message of the escaped error, empty when none
    std::exception_ptr escaped;  // the escaped error itself

    std::unique_ptr<Launcher> Make(std::u16string_view arguments = u"") {
        return std::make_unique<Launcher>(CommandLine(modulePath, u"MyApp " + std::u16string(arguments)),
                                          LauncherPlatform{files, registry, processes, streams}, StandardTexts());
    }
    // Writes the default configuration file beside the executable.
    void Config(const std::string& iniText) { files.Add(kDefaultIni, iniText); }
    int Run(std::u16string_view arguments = u"") {
        auto launcher = Make(arguments);
        error.clear();
        escaped = nullptr;
        try {
            launcher->RunLauncher();
        } catch (const Exception& failure) {
            error = failure.Message();
            escaped = std::current_exception();
        }
        return launcher->ExitCode();
    }
    // Whether the last Run() let an error of this type escape.
    template <typename Error>
    bool Escaped() const {
        if (!escaped) return false;
        try {
            std::rethrow_exception(escaped);
        } catch (const Error&) {
            return true;
        } catch (...) {
            return false;
        }
    }
};

}  // namespace brevant::testing
