// The system lists gathered from the running process and machine.

#include "crashreport/report/win32/system_lists.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/number_text.h"
#include "base/reporter_case.h"
#include "base/utf16_text.h"
#include "base/win32/wide_text.h"
#include "crashreport/report/win32/long_file_names.h"
#include "crashreport/report/win32/machine_registry.h"
#include "scratch_folder.h"

namespace brevant::crashreport {
namespace {

// The text's lines, checking on the way that they are joined by CR LF only.
std::vector<std::u16string> Lines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    if (text.empty()) return lines;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(u"\r\n", start);
        lines.push_back(text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
        if (end == std::u16string::npos) break;
        start = end + 2;
    }
    for (const std::u16string& line : lines) {
        EXPECT_EQ(line.find_first_of(u"\r\n"), std::u16string::npos) << ToUtf8(line);
        EXPECT_FALSE(line.empty()) << "an empty line, or a line break at an end";
    }
    return lines;
}

std::u16string Folder(const std::u16string& path) {
    return path.substr(0, path.rfind(u'\\'));
}
std::u16string FileName(const std::u16string& path) {
    return path.substr(path.rfind(u'\\') + 1);
}

std::u16string SystemDirectory() {
    wchar_t folder[MAX_PATH];
    return FromWide(std::wstring_view(folder, GetSystemDirectoryW(folder, MAX_PATH)));
}

bool EndsWithIgnoringCase(const std::u16string& text, const std::u16string& end) {
    return text.size() >= end.size() &&
           SameReporterText(std::u16string_view(text).substr(text.size() - end.size()), end);
}

// The line whose address column is the given module's base.
const std::u16string* ModuleLine(const std::vector<std::u16string>& lines, HMODULE module) {
    const std::u16string address = AddressHex(reinterpret_cast<std::uintptr_t>(module), sizeof(void*) * 2) + u" ";
    for (const std::u16string& line : lines) {
        if (line.starts_with(address)) return &line;
    }
    return nullptr;
}

TEST(SystemListsTest, ModulesListNamesThisProgramAndNtdllInAscendingAlignedLines) {
    const std::vector<std::u16string> lines = Lines(ListLoadedModules());
    ASSERT_GE(lines.size(), 3u);
    const std::size_t digits = sizeof(void*) * 2;

    const std::u16string program = ModulePath(nullptr);
    const std::u16string* own = ModuleLine(lines, GetModuleHandleW(nullptr));
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(SameReporterText(own->substr(digits + 1, FileName(program).size()), FileName(program))) << ToUtf8(*own);
    EXPECT_TRUE(EndsWithIgnoringCase(*own, u" " + Folder(program))) << ToUtf8(*own);

    const std::u16string* ntdll = ModuleLine(lines, GetModuleHandleW(L"ntdll.dll"));
    ASSERT_NE(ntdll, nullptr);
    EXPECT_TRUE(ntdll->substr(digits + 1).starts_with(u"ntdll.dll ")) << ToUtf8(*ntdll);
    EXPECT_TRUE(EndsWithIgnoringCase(*ntdll, u" " + SystemDirectory())) << ToUtf8(*ntdll);

    // Addresses strictly ascending; the folder column starts at the same place on every line.
    std::uint64_t previous = 0;
    std::size_t folderColumn = own->size() - Folder(program).size();
    for (const std::u16string& line : lines) {
        SCOPED_TRACE(ToUtf8(line));
        ASSERT_GT(line.size(), digits + 1);
        EXPECT_EQ(line[digits], u' ');
        const std::uint64_t address = std::stoull(ToUtf8(line.substr(0, digits)), nullptr, 16);
        EXPECT_EQ(AddressHex(address, static_cast<int>(digits)), line.substr(0, digits));
        EXPECT_GT(address, previous);
        previous = address;
        const std::size_t drive = line.find(u":\\");
        if (drive != std::u16string::npos) {
            EXPECT_EQ(drive - 1, folderColumn);
        }
        EXPECT_EQ(line[folderColumn - 1], u' ');
    }
}

TEST(SystemListsTest, ProcessesListShowsThisProcessWithFolderAndPriority) {
    // A priority the process would not have by itself shows that it is asked for.
    const DWORD before = GetPriorityClass(GetCurrentProcess());
    ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS));
    const std::vector<std::u16string> lines = Lines(ListRunningProcesses());
    SetPriorityClass(GetCurrentProcess(), before);
    ASSERT_FALSE(lines.empty());

    const std::size_t idDigits = lines.front().find(u' ');
    ASSERT_NE(idDigits, std::u16string::npos);
    const std::u16string ownId = AddressHex(GetCurrentProcessId(), static_cast<int>(idDigits)) + u" ";
    const std::u16string program = ModulePath(nullptr);
    const std::u16string* own = nullptr;
    for (const std::u16string& line : lines) {
        EXPECT_EQ(line.find(u' '), idDigits) << ToUtf8(line);
        if (line.starts_with(ownId)) own = &line;
    }
    ASSERT_NE(own, nullptr) << ToUtf8(ownId);
    EXPECT_TRUE(SameReporterText(own->substr(idDigits + 1, FileName(program).size()), FileName(program)))
        << ToUtf8(*own);
    EXPECT_TRUE(EndsWithIgnoringCase(*own, u"below normal " + Folder(program))) << ToUtf8(*own);
}

TEST(SystemListsTest, HardwareListIsEmptyOrClassAndDeviceLines) {
    const std::vector<std::u16string> lines = Lines(ListInstalledHardware());
    if (lines.empty()) return;
    EXPECT_TRUE(lines.front().starts_with(u"+ ")) << ToUtf8(lines.front());
    for (const std::u16string& line : lines) {
        EXPECT_TRUE(line.starts_with(u"+ ") || line.starts_with(u"  - ")) << ToUtf8(line);
    }
}

TEST(SystemListsTest, ShortNamesExpandToTheLongNamesTheFileSystemKeeps) {
    ScratchFolder folder;
    const std::u16string file = folder.WriteFile(u"a long module name.dll", "");
    wchar_t buffer[MAX_PATH];
    const DWORD shortLength = GetShortPathNameW(ToWide(file).c_str(), buffer, MAX_PATH);
    ASSERT_GT(shortLength, 0u);
    const std::u16string shortName = FromWide(std::wstring_view(buffer, shortLength));
    if (shortName.find(u'~') == std::u16string::npos) GTEST_SKIP() << "no short names here: " << ToUtf8(shortName);
    const DWORD longLength = GetLongPathNameW(buffer, buffer, MAX_PATH);
    ASSERT_GT(longLength, 0u);
    const std::u16string longName = FromWide(std::wstring_view(buffer, longLength));

    EXPECT_EQ(ToUtf8(ExpandShortNames(shortName)), ToUtf8(longName));
    EXPECT_EQ(ToUtf8(ExpandShortNames(shortName + u"\\")), ToUtf8(longName));  // without the trailing "\"
    // A component that does not exist stays short.
    const std::u16string missing = Folder(shortName) + u"\\MISSIN~1.DLL";
    EXPECT_EQ(ToUtf8(ExpandShortNames(missing)), ToUtf8(Folder(longName) + u"\\MISSIN~1.DLL"));
}

// A key of its own below HKEY_LOCAL_MACHINE, removed afterwards.
class ScratchMachineKey {
public:
    static constexpr const wchar_t* kPath = L"Software\\BrevantSystemListsTest";
    ScratchMachineKey() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    }
    ~ScratchMachineKey() {
        if (key_ != nullptr) RegCloseKey(key_);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPath);
    }
    ScratchMachineKey(const ScratchMachineKey&) = delete;
    ScratchMachineKey& operator=(const ScratchMachineKey&) = delete;

    bool Set(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        return key_ != nullptr &&
               RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }

private:
    HKEY key_ = nullptr;
};

TEST(SystemListsTest, MachineRegistryReadsTextUpToFirstZeroAndRawBytes) {
    ScratchMachineKey scratch;
    const wchar_t provider[] = L"Sample Corp";
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    const wchar_t twoStrings[] = L"first\0second";
    const unsigned char flags[] = {0x08, 0, 0, 0};
    ASSERT_TRUE(scratch.Set(L"ProviderName", REG_SZ, provider, sizeof provider));
    ASSERT_TRUE(scratch.Set(nullptr, REG_SZ, L"Default text", sizeof L"Default text"));
    ASSERT_TRUE(scratch.Set(L"Unterminated", REG_BINARY, unterminated, sizeof unterminated));
    ASSERT_TRUE(scratch.Set(L"Multi", REG_MULTI_SZ, twoStrings, sizeof twoStrings));
    ASSERT_TRUE(scratch.Set(L"Empty", REG_SZ, L"", 0));
    ASSERT_TRUE(scratch.Set(L"Characteristics", REG_DWORD, flags, sizeof flags));

    const Win32MachineRegistry registry;
    const std::u16string key = u"Software\\BrevantSystemListsTest";
    EXPECT_EQ(ToUtf8(registry.ValueText(key, u"ProviderName")), "Sample Corp");
    EXPECT_EQ(ToUtf8(registry.ValueText(key, u"")), "Default text");
    EXPECT_EQ(ToUtf8(registry.ValueText(key, u"Unterminated")), "abc");
    EXPECT_EQ(ToUtf8(registry.ValueText(key, u"Multi")), "first");
    EXPECT_EQ(ToUtf8(registry.ValueText(key, u"Empty")), "");
    EXPECT_EQ(ToUtf8(registry.ValueText(key, u"Missing")), "");
    EXPECT_EQ(ToUtf8(registry.ValueText(u"Software\\BrevantNoSuchKey", u"ProviderName")), "");
    EXPECT_EQ(registry.ValueBytes(key, u"Characteristics"), std::string("\x08\0\0\0", 4));
    EXPECT_EQ(registry.ValueBytes(key, u"Missing"), "");
}

}  // namespace
}  // namespace brevant::crashreport
