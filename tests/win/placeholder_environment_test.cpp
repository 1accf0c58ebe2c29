// The machine's values behind the message placeholders, read for real: program and module
// names, versions from version resources, computer name, clock, system description, folders.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/reporter_case.h"
#include "base/utf16_text.h"
#include "base/win32/wide_text.h"
#include "crashreport/report/win32/file_version_text.h"
#include "crashreport/report/win32/operating_system_facts.h"
#include "crashreport/report/win32/win32_placeholder_environment.h"
#include "scratch_folder.h"

namespace brevant::crashreport {
namespace {

// win_tests.exe lives in <build>/tests, Brevant.exe in <build>.
std::u16string ShippedBrevantPath() {
    std::u16string file = brevant::ModulePath(nullptr);
    file = file.substr(0, file.rfind(u'\\'));
    return file.substr(0, file.rfind(u'\\')) + u"\\Brevant.exe";
}

std::u16string Expand(PlaceholderEnvironment& environment, std::u16string text, ModuleHandle module = nullptr) {
    ExpandPlaceholders(environment, module, text, u"EAbort", u"", u"", u"Operation aborted.");
    return text;
}

bool IsFolder(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// First in this file: the folder tests load the shell library for good.
TEST(PlaceholderEnvironmentTest, ShellLibraryLoadsOnlyForAFolder) {
    if (GetModuleHandleW(L"shell32.dll") != nullptr) GTEST_SKIP() << "an earlier test loaded shell32.dll";
    Win32PlaceholderEnvironment environment({});
    Expand(environment, u"%appname% %appversion% %os% %computerName% %datetime%");
    EXPECT_EQ(GetModuleHandleW(L"shell32.dll"), nullptr);
    Expand(environment, u"%localappdata%");
    EXPECT_NE(GetModuleHandleW(L"shell32.dll"), nullptr);
}

TEST(PlaceholderEnvironmentTest, NamesTheProgramAndTheGivenModule) {
    Win32PlaceholderEnvironment environment({});
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const std::u16string names = Expand(environment, u"%appname%|%modname%", kernel);
    EXPECT_TRUE(SameReporterText(names, u"win_tests.exe|kernel32.dll")) << ToUtf8(names);
}

TEST(PlaceholderEnvironmentTest, ComputerNameIsTheSystemsOwn) {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(name, &length));
    ASSERT_GT(length, 0u);
    Win32PlaceholderEnvironment environment({});
    EXPECT_EQ(ToUtf8(Expand(environment, u"%computerName%")), ToUtf8(FromWide(std::wstring_view(name, length))));
}

TEST(PlaceholderEnvironmentTest, DateIsTodaysLocalDate) {
    Win32PlaceholderEnvironment environment({});
    SYSTEMTIME before{}, after{};
    GetLocalTime(&before);
    const std::u16string date = Expand(environment, u"%date%");
    GetLocalTime(&after);
    auto dateOf = [](const SYSTEMTIME& time) {
        return DatePlaceholderText({time.wYear, time.wMonth, time.wDay, 0, 0, 0, 0});
    };
    EXPECT_TRUE(date == dateOf(before) || date == dateOf(after)) << ToUtf8(date);
}

TEST(PlaceholderEnvironmentTest, FoldersExistAndEndWithoutBackslash) {
    Win32PlaceholderEnvironment environment({});
    const std::u16string programFolder =
        brevant::ModulePath(nullptr).substr(0, brevant::ModulePath(nullptr).rfind(u'\\'));
    const struct {
        SpecialFolder folder;
        std::u16string placeholder;
    } cases[] = {
        {SpecialFolder::Desktop, u"%desktop%"},
        {SpecialFolder::RoamingAppData, u"%userappdata%"},
        {SpecialFolder::CommonAppData, u"%commonappdata%"},
        {SpecialFolder::LocalAppData, u"%localappdata%"},
    };
    std::vector<std::u16string> seen;
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.placeholder));
        // The system knows each of them, so none may fall back to the program's folder.
        EXPECT_FALSE(environment.SpecialFolderPath(c.folder).empty());
        const std::u16string path = Expand(environment, c.placeholder);
        ASSERT_FALSE(path.empty());
        EXPECT_NE(path.back(), u'\\');
        EXPECT_NE(ToUtf8(path), ToUtf8(programFolder));
        EXPECT_TRUE(IsFolder(path)) << ToUtf8(path);
        for (const std::u16string& other : seen) EXPECT_NE(ToUtf8(path), ToUtf8(other));
        seen.push_back(path);
    }
}

TEST(PlaceholderEnvironmentTest, DescriptionNamesWindowsWithoutBuildNumber) {
    Win32PlaceholderEnvironment environment({});
    const std::u16string description = Expand(environment, u"%os%");
    SCOPED_TRACE(ToUtf8(description));
    EXPECT_EQ(description.rfind(u"Windows ", 0), 0u);
    EXPECT_EQ(description.find(u"build"), std::u16string::npos);
    EXPECT_EQ(description.find(DecimalText(ReadOperatingSystemFacts().build)), std::u16string::npos);
    // A 32-bit program on 64-bit Windows must still see the machine's architecture.
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const bool onAmd64 = sizeof(void*) == 8 || wow64;
    EXPECT_EQ(description.find(u" x64") != std::u16string::npos, onAmd64);
}

TEST(PlaceholderEnvironmentTest, VersionTextPrefersTheSettingsThenTheFileThenAQuestionMark) {
    const HMODULE brevant = LoadLibraryExW(ToWide(ShippedBrevantPath()).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(brevant, nullptr);
    std::vector<ModuleHandle> asked;
    std::u16string settingsVersion;
    Win32PlaceholderEnvironment environment([&](ModuleHandle module) {
        asked.push_back(module);
        return settingsVersion;
    });
    // win_tests.exe carries no version resource; Brevant.exe has 1.0.0.0.
    EXPECT_EQ(ToUtf8(Expand(environment, u"%appversion%|%modversion%", brevant)), "?|1.0.0.0");
    EXPECT_EQ(asked, (std::vector<ModuleHandle>{GetModuleHandleW(nullptr), brevant}));
    settingsVersion = u"2.7 beta";
    EXPECT_EQ(ToUtf8(Expand(environment, u"%appversion%|%modversion%", brevant)), "2.7 beta|2.7 beta");
    FreeLibrary(brevant);
}

// A version resource written by hand: each block is its length, value length, type, key, the
// value and its children, every part starting on a 4-byte boundary.
class VersionBlock {
public:
    VersionBlock(std::u16string_view key, std::string value, WORD valueLength, WORD type) {
        bytes_.assign(6, '\0');
        for (char16_t unit : key) AppendUnit(unit);
        AppendUnit(0);
        Align();
        bytes_ += value;
        SetWord(2, valueLength);
        SetWord(4, type);
        SetWord(0, static_cast<WORD>(bytes_.size()));
    }
    static VersionBlock Text(std::u16string_view key, std::u16string_view text) {
        std::string value;
        for (char16_t unit : text) value += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        value += std::string(2, '\0');
        return VersionBlock(key, value, static_cast<WORD>(text.size() + 1), 1);
    }
    VersionBlock& Add(const VersionBlock& child) {
        Align();
        bytes_ += child.bytes_;
        SetWord(0, static_cast<WORD>(bytes_.size()));
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }

private:
    void AppendUnit(char16_t unit) {
        bytes_ += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    }
    void Align() { bytes_.resize((bytes_.size() + 3) & ~std::size_t{3}, '\0'); }
    void SetWord(std::size_t at, WORD value) {
        bytes_[at] = static_cast<char>(value & 0xFF);
        bytes_[at + 1] = static_cast<char>(value >> 8);
    }
    std::string bytes_;
};

std::string VersionResource(DWORD fileVersionHigh, DWORD fileVersionLow, WORD language, WORD codePage,
                            std::u16string_view tableName, std::u16string_view fileVersion) {
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = fileVersionHigh;
    fixed.dwFileVersionLS = fileVersionLow;
    VersionBlock strings(u"StringFileInfo", "", 0, 1);
    strings.Add(VersionBlock(tableName, "", 0, 1).Add(VersionBlock::Text(u"FileVersion", fileVersion)));
    const DWORD translation = static_cast<DWORD>(codePage) << 16 | language;
    VersionBlock variables(u"VarFileInfo", "", 0, 1);
    variables.Add(VersionBlock(u"Translation", std::string(reinterpret_cast<const char*>(&translation), 4), 4, 0));
    VersionBlock root(u"VS_VERSION_INFO", std::string(reinterpret_cast<const char*>(&fixed), sizeof fixed),
                      sizeof fixed, 0);
    return root.Add(strings).Add(variables).Bytes();
}

// A copy of Brevant.exe whose only resource (type 16: version) is the given version resource.
std::u16string FileWithVersionResource(ScratchFolder& folder, const std::u16string& name, const std::string& resource) {
    const std::u16string copy = folder.WriteFile(name, "");
    if (!CopyFileW(ToWide(ShippedBrevantPath()).c_str(), ToWide(copy).c_str(), FALSE)) return {};
    HANDLE update = BeginUpdateResourceW(ToWide(copy).c_str(), TRUE);
    if (update == nullptr) return {};
    std::string data = resource;
    const bool written =
        UpdateResourceW(update, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                        data.data(), static_cast<DWORD>(data.size()));
    return EndUpdateResourceW(update, !written) && written ? copy : std::u16string();
}

TEST(PlaceholderEnvironmentTest, FileVersionTextReadsFixedVersionElseFileVersionString) {
    EXPECT_EQ(ToUtf8(FileVersionText(ShippedBrevantPath())), "1.0.0.0");
    EXPECT_EQ(ToUtf8(FileVersionText(brevant::ModulePath(nullptr))), "");
    EXPECT_EQ(ToUtf8(FileVersionText(u"C:\\no such folder\\missing.dll")), "");

    ScratchFolder folder;
    const struct {
        std::u16string name;
        DWORD high, low;
        WORD language, codePage;
        std::u16string tableName, fileVersion, expected;
    } cases[] = {
        {u"fixed.exe", 0x00020003, 0x0004000A, 0x0409, 1200, u"040904B0", u"9.9", u"2.3.4.10"},
        {u"low_half_only.exe", 0, 0x00000001, 0x0409, 1200, u"040904B0", u"9.9", u"0.0.0.1"},
        {u"string.exe", 0, 0, 0x0409, 1200, u"040904B0", u" \t2.5 beta  ", u"2.5 beta"},
        {u"german.exe", 0, 0, 0x0407, 1252, u"040704e4", u"3.1", u"3.1"},
        {u"other_table.exe", 0, 0, 0x0407, 1252, u"040904B0", u"3.1", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name));
        const std::u16string file = FileWithVersionResource(
            folder, c.name, VersionResource(c.high, c.low, c.language, c.codePage, c.tableName, c.fileVersion));
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(ToUtf8(FileVersionText(file)), ToUtf8(c.expected));
    }
}

}  // namespace
}  // namespace brevant::crashreport
