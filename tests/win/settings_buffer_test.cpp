#include "crashreport/core/win32/shared_settings_buffer.h"

#include <windows.h>
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "crashreport/core/crash_settings.h"
#include "crashreport/core/win32/settings_lookup.h"
#include "crashreport/core/win32/win32_settings_host.h"
#include "settings_test_modules.h"

namespace brevant::crashreport {
namespace {

std::wstring ProcessIdSuffix() {
    wchar_t suffix[16];
    std::swprintf(suffix, 16, L"$%x", static_cast<unsigned>(GetCurrentProcessId()));
    return suffix;
}

bool MutexExists() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, (L"QuarrexSettingsMtx" + ProcessIdSuffix()).c_str());
    if (mutex != nullptr) CloseHandle(mutex);
    return mutex != nullptr;
}

bool SectionExists() {
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, (L"QuarrexSettingsBuf2" + ProcessIdSuffix()).c_str());
    if (section != nullptr) CloseHandle(section);
    return section != nullptr;
}

std::wstring SidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return L"<unreadable>";
    std::wstring result(text);
    LocalFree(text);
    return result;
}

std::wstring ProcessUserSidText() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"<no token>";
    std::vector<BYTE> user(512);
    DWORD size = 0;
    const bool read = GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &size);
    CloseHandle(token);
    return read ? SidText(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) : L"<no user>";
}

// Every test starts and must end without the shared buffer: nothing else in the tests keeps
// settings alive, so a leftover would be a reference never released.
class SharedSettingsBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(MutexExists());
        ASSERT_FALSE(SectionExists());
    }
    void TearDown() override {
        EXPECT_FALSE(MutexExists()) << "the named mutex outlived the last settings";
        EXPECT_FALSE(SectionExists()) << "the section outlived the last settings";
    }
};

TEST_F(SharedSettingsBufferTest, NamesEndInTheProcessIdInLowerCaseHexadecimal) {
    EXPECT_EQ(ToWide(SettingsMutexName()), L"QuarrexSettingsMtx" + ProcessIdSuffix());
    EXPECT_EQ(ToWide(SettingsSectionName()), L"QuarrexSettingsBuf2" + ProcessIdSuffix());
}

TEST_F(SharedSettingsBufferTest, NamedObjectsLiveExactlyAsLongAsSettingsObjects) {
    RefPtr<CrashSettings> first = SettingsForModule(nullptr);
    ASSERT_TRUE(first->IsValid());
    EXPECT_TRUE(MutexExists());
    EXPECT_TRUE(SectionExists());
    RefPtr<CrashSettings> second = CrashSettings::Create(ProcessSettingsHost(), TestProgramModule());
    first = nullptr;
    EXPECT_TRUE(MutexExists()) << "the second object still holds the buffer";
    EXPECT_TRUE(SectionExists());
    second = nullptr;
}

TEST_F(SharedSettingsBufferTest, AModuleWithoutSettingsNeverCreatesTheBuffer) {
    EXPECT_EQ(AcquireModuleSettings(Kernel32Module()), nullptr);
    RefPtr<CrashSettings> settings = CrashSettings::Create(ProcessSettingsHost(), Kernel32Module());
    EXPECT_FALSE(settings->IsValid());
    EXPECT_FALSE(MutexExists());
    EXPECT_FALSE(SectionExists());
}

TEST_F(SharedSettingsBufferTest, SettingsOfOneModuleShareTheirBlockUntilReload) {
    RefPtr<CrashSettings> first = SettingsForModule(nullptr);
    RefPtr<CrashSettings> second = CrashSettings::Create(ProcessSettingsHost(), TestProgramModule());
    const std::u16string builtMailAddress = second->GetMailAddr();

    first->SetAutoDelay(17);
    second->SetMailAddr(u"someone@example.com");
    EXPECT_TRUE(first->SetPropStr("MadeAtRunTime", u"a new setting"));
    EXPECT_EQ(second->GetAutoDelay(), 17);
    EXPECT_EQ(first->GetMailAddr(), u"someone@example.com");
    EXPECT_EQ(second->GetPropStr("MadeAtRunTime"), u"a new setting");

    second->Reload();
    for (CrashSettings* settings : {first.get(), second.get()}) {
        EXPECT_EQ(settings->GetAutoDelay(), 60);
        EXPECT_EQ(settings->GetMailAddr(), builtMailAddress);
        EXPECT_FALSE(settings->FindProp("MadeAtRunTime", true).has_value());
    }
}

TEST_F(SharedSettingsBufferTest, BlocksAreCountedPerModuleAndUnlinkedWhenLastReleased) {
    LoadedProgram program(LoadedProgram::Mapping::InertImage);
    ASSERT_NE(program.Handle(), nullptr);
    ModuleSettingsBlock* testBlock = AcquireModuleSettings(TestProgramModule());
    ModuleSettingsBlock* sameBlock = AcquireModuleSettings(TestProgramModule());
    ModuleSettingsBlock* programBlock = AcquireModuleSettings(program.Handle());
    ASSERT_NE(testBlock, nullptr);
    ASSERT_NE(programBlock, nullptr);
    EXPECT_EQ(sameBlock, testBlock);
    EXPECT_EQ(testBlock->refCount, 2);
    EXPECT_EQ(testBlock->module, TestProgramModule());
    EXPECT_EQ(testBlock->propCount, 137);
    EXPECT_EQ(testBlock->next, programBlock);
    EXPECT_EQ(programBlock->refCount, 1);
    EXPECT_EQ(programBlock->next, nullptr);

    ReleaseModuleSettings(sameBlock);
    EXPECT_EQ(testBlock->refCount, 1);
    ReleaseModuleSettings(testBlock);
    // The first block is gone; a new one for the module goes behind the one that is left.
    ModuleSettingsBlock* reloaded = AcquireModuleSettings(TestProgramModule());
    EXPECT_EQ(programBlock->next, reloaded);
    EXPECT_EQ(reloaded->refCount, 1);
    EXPECT_EQ(reloaded->propCount, 137);

    ReleaseModuleSettings(programBlock);
    EXPECT_TRUE(SectionExists());
    ReleaseModuleSettings(reloaded);
}

TEST_F(SharedSettingsBufferTest, ReloadDropsPropertiesAddedAtRunTime) {
    ModuleSettingsBlock* block = AcquireModuleSettings(TestProgramModule());
    ASSERT_NE(block, nullptr);
    {
        std::lock_guard guard(block->valuesLock);
        AppendProperty(*block, "Extra", TPropertyType::ptInteger);
        FindBlockProperty(*block, "AutoSave")->vBool = false;
    }
    EXPECT_EQ(block->propCount, 138);
    ReloadModuleSettings(*block);
    EXPECT_EQ(block->propCount, 137);
    EXPECT_EQ(FindBlockProperty(*block, "Extra"), nullptr);
    EXPECT_TRUE(FindBlockProperty(*block, "AutoSave")->vBool);
    ReleaseModuleSettings(block);
}

// The access list grants full access to everyone, the local system account and the user.
TEST_F(SharedSettingsBufferTest, NamedObjectsGrantFullAccessToEveryoneSystemAndTheUser) {
    RefPtr<CrashSettings> settings = SettingsForModule(nullptr);
    HANDLE mutex = OpenMutexW(READ_CONTROL, FALSE, ToWide(SettingsMutexName()).c_str());
    ASSERT_NE(mutex, nullptr);
    ACL* acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor),
              ERROR_SUCCESS);
    CloseHandle(mutex);
    ASSERT_NE(acl, nullptr);
    std::vector<std::wstring> trustees;
    for (DWORD index = 0; index < acl->AceCount; ++index) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, index, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Mask, 0x1FFFFFu);
        trustees.push_back(SidText(&ace->SidStart));
    }
    LocalFree(descriptor);
    EXPECT_EQ(trustees, (std::vector<std::wstring>{L"S-1-1-0", L"S-1-5-18", ProcessUserSidText()}));
}

}  // namespace
}  // namespace brevant::crashreport
