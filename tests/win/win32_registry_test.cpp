#include <windows.h>

#include <gtest/gtest.h>

#include "base/exception.h"
#include "base/win32/wide_text.h"
#include "launcher/browser_discovery.h"
#include "launcher/win32/win32_platform.h"

namespace brevant {
namespace {

const std::u16string kTestKey = u"Software\\BrevantWinTests";

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, ToWide(kTestKey).c_str());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ToWide(kTestKey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, ToWide(kTestKey).c_str());
    }
    void SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    std::u16string TextOf(const std::u16string& name) {
        std::optional<RegistryValue> value = registry_.ReadValue(RegistryRoot::CurrentUser, kTestKey, name);
        EXPECT_TRUE(value.has_value());
        return value ? RegistryValueText(*value, name) : u"<key missing>";
    }

    HKEY key_ = nullptr;
    Win32Registry registry_;
};

TEST_F(Win32RegistryTest, StringValuesReadUpToTheirFirstNul) {
    const wchar_t withNul[] = L"C:\\a.exe\0rest";
    SetValue(L"", REG_SZ, withNul, sizeof withNul);
    SetValue(L"Expand", REG_EXPAND_SZ, L"%ProgramFiles%\\x.exe", sizeof L"%ProgramFiles%\\x.exe");
    SetValue(L"Empty", REG_SZ, L"", sizeof L"");
    SetValue(L"EmptyBinary", REG_BINARY, nullptr, 0);
    EXPECT_EQ(TextOf(u""), u"C:\\a.exe");
    EXPECT_EQ(TextOf(u"Expand"), u"%ProgramFiles%\\x.exe");  // not expanded
    EXPECT_EQ(TextOf(u"Empty"), u"");
    EXPECT_EQ(TextOf(u"EmptyBinary"), u"");
    EXPECT_EQ(TextOf(u"Missing"), u"");
}

TEST_F(Win32RegistryTest, OtherTypesAreAnErrorNamingTheValue) {
    DWORD number = 1;
    SetValue(L"", REG_DWORD, &number, sizeof number);
    SetValue(L"ProgId", REG_BINARY, "ab", 2);
    try {
        TextOf(u"");
        ADD_FAILURE() << "a DWORD read as text";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.Message(), u"Invalid data type for ''");
    }
    try {
        TextOf(u"ProgId");
        ADD_FAILURE() << "binary data read as text";
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.Message(), u"Invalid data type for 'ProgId'");
    }
}

TEST_F(Win32RegistryTest, MissingKeysAreNothingAndSubkeysAreListed) {
    EXPECT_FALSE(registry_.ReadValue(RegistryRoot::CurrentUser, kTestKey + u"\\Nope", u"").has_value());
    EXPECT_FALSE(registry_.SubkeyNames(RegistryRoot::CurrentUser, kTestKey + u"\\Nope").has_value());
    for (const wchar_t* name : {L"FirefoxHTML", L"FirefoxHTML-1234", L"Other"}) {
        HKEY sub = nullptr;
        RegCreateKeyExW(key_, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
        RegCloseKey(sub);
    }
    std::optional<std::vector<std::u16string>> names = registry_.SubkeyNames(RegistryRoot::CurrentUser, kTestKey);
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, (std::vector<std::u16string>{u"FirefoxHTML", u"FirefoxHTML-1234", u"Other"}));
}

TEST(Win32RegistryRootTest, ClassesRootListsItsSubkeys) {
    Win32Registry registry;
    std::optional<std::vector<std::u16string>> names = registry.SubkeyNames(RegistryRoot::ClassesRoot, u"");
    ASSERT_TRUE(names.has_value());
    EXPECT_GT(names->size(), 10u);  // every system registers dozens of file types
}

}  // namespace
}  // namespace brevant
