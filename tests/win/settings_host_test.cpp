#include "crashreport/core/win32/win32_settings_host.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/utf16_text.h"
#include "crashreport/core/crash_settings.h"
#include "crashreport/core/win32/settings_lookup.h"
#include "crashreport/core/win32/settings_resource.h"
#include "settings_test_modules.h"

namespace brevant::crashreport {
namespace {

std::vector<std::uint8_t> FormDefinition(ModuleHandle module, const std::u16string& form) {
    return ProcessSettingsHost().FormResources(module, {form}).at(0);
}

// Pointer variables in the test program's data, found from its start address as a VersionVar
// offset would find them.
const char kVersionText[] = "7.1.2 beta";
const char* versionTextPointer = kVersionText;
const char* unreadableTextPointer = reinterpret_cast<const char*>(0x10);
const char* preparedTextPointer = nullptr;

std::int32_t OffsetInTestProgram(const void* variable) {
    return static_cast<std::int32_t>(static_cast<const char*>(variable) -
                                     static_cast<const char*>(TestProgramModule()));
}

// Two readable pages of different protection (two regions), followed by one that may not be
// touched.
class PagesBeforeNoAccess {
public:
    PagesBeforeNoAccess() {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        pageSize_ = system.dwPageSize;
        readableSize_ = 2 * pageSize_;
        pages_ = static_cast<char*>(
            VirtualAlloc(nullptr, readableSize_ + pageSize_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD previous = 0;
        VirtualProtect(pages_, pageSize_, PAGE_EXECUTE_READWRITE, &previous);
        VirtualProtect(pages_ + readableSize_, pageSize_, PAGE_NOACCESS, &previous);
    }
    ~PagesBeforeNoAccess() { VirtualFree(pages_, 0, MEM_RELEASE); }

    // The bytes placed so that they end exactly where the readable pages end.
    const char* PlaceAtEnd(const std::string& bytes) {
        char* start = pages_ + readableSize_ - bytes.size();
        std::memcpy(start, bytes.data(), bytes.size());
        return start;
    }

private:
    std::size_t pageSize_ = 0;
    std::size_t readableSize_ = 0;
    char* pages_ = nullptr;
};

std::optional<std::u16string> VersionTextThrough(const char*& pointer) {
    return ProcessSettingsHost().ReadVersionText(TestProgramModule(), OffsetInTestProgram(&pointer));
}

TEST(SettingsHostTest, VersionTextIsFollowedFromThePointerAtTheOffset) {
    EXPECT_EQ(VersionTextThrough(versionTextPointer), u"7.1.2 beta");
}

TEST(SettingsHostTest, VersionTextsThatCannotBeReadGiveNothing) {
    EXPECT_EQ(VersionTextThrough(unreadableTextPointer), std::nullopt);
    EXPECT_EQ(ProcessSettingsHost().ReadVersionText(TestProgramModule(), 0x7FFFFFF0), std::nullopt);
    EXPECT_EQ(ProcessSettingsHost().ReadVersionText(nullptr, 0x10), std::nullopt);
}

TEST(SettingsHostTest, VersionTextsEndAtTheirNulOrAreNotTexts) {
    PagesBeforeNoAccess pages;
    struct Case {
        std::string bytes;
        std::optional<std::u16string> expected;
    };
    const Case cases[] = {
        {std::string("edge", 5), u"edge"},                            // NUL in the last readable byte
        {"no end", std::nullopt},                                     // runs into the protected page
        {std::string(4000, 'v') + '\0', std::u16string(4000, u'v')},  // long, but a text
        {std::string("ab", 3) + std::string(4094, 'x'), u"ab"},       // across the two regions
        {std::string(4200, 'v') + '\0', std::nullopt},                // too long to be a version
    };
    for (const Case& text : cases) {
        preparedTextPointer = pages.PlaceAtEnd(text.bytes);
        EXPECT_EQ(VersionTextThrough(preparedTextPointer), text.expected) << text.bytes.size();
    }
    preparedTextPointer = nullptr;
}

TEST(SettingsHostTest, VersionVarIsReadWhenASettingsObjectIsCreated) {
    RefPtr<CrashSettings> before = SettingsForModule(nullptr);
    ASSERT_TRUE(before->SetPropInt("VersionVar", OffsetInTestProgram(&versionTextPointer)));
    RefPtr<CrashSettings> after = SettingsForModule(nullptr);
    EXPECT_EQ(after->VersionVar(), u"7.1.2 beta");
    EXPECT_EQ(before->VersionVar(), u"");
    ASSERT_TRUE(before->SetPropStr("MailSubj", u"%modversion% / %appversion%"));
    EXPECT_EQ(before->GetMailSubject(), u"7.1.2 beta / 7.1.2 beta");

    ASSERT_TRUE(before->SetPropInt("VersionVar", OffsetInTestProgram(&unreadableTextPointer)));
    EXPECT_EQ(SettingsForModule(nullptr)->VersionVar(), u"");
    before->Reload();
}

TEST(SettingsHostTest, PlaceholdersOfTheExceptionAreFilledFromItsTexts) {
    const ExceptionPlaceholderTexts exception{u"EAccessViolation", u"details", u"the report", u"Access violation"};
    EXPECT_EQ(ProcessSettingsHost().ExpandPlaceholders(
                  TestProgramModule(), u"%appname%: %exceptClass%, %exceptMsg% (%errorDetails%) %modname%", exception),
              u"win_tests.exe: EAccessViolation, Access violation (details) win_tests.exe");
    const ExceptionPlaceholderTexts noMessage{u"", u"", u"", std::nullopt};
    EXPECT_EQ(ProcessSettingsHost().ExpandPlaceholders(TestProgramModule(), u"%exceptMsg%", noMessage), u"Unknown");
}

TEST(SettingsHostTest, FormsAreFoundByTheirNameInCapitals) {
    struct Case {
        std::u16string form;
        std::string start;  // signature, root class, form name
    };
    const Case cases[] = {
        {u"ContactForm",
         "TPF0\x07TNVForm\x0b"
         "ContactForm"},
        {u"detailsform",
         "TPF0\x07TNVForm\x0b"
         "DetailsForm"},
        {u"SCRSHOTFORM",
         "TPF0\x07TNVForm\x0b"
         "ScrShotForm"},
    };
    for (const Case& form : cases) {
        const std::vector<std::uint8_t> bytes = FormDefinition(TestProgramModule(), form.form);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::min(bytes.size(), form.start.size())), form.start);
    }
    EXPECT_TRUE(FormDefinition(TestProgramModule(), u"NoSuchForm").empty());
    EXPECT_TRUE(FormDefinition(Kernel32Module(), u"ContactForm").empty());
}

TEST(SettingsHostTest, AssistantsCarryTheirFormDefinitions) {
    RefPtr<CrashSettings> settings = SettingsForModule(nullptr);
    AssistantRef assistant = settings->GetAssistant(u"sendassistant");
    ASSERT_TRUE(assistant);
    EXPECT_EQ(assistant->title, u"Send Assistant");
    ASSERT_EQ(assistant->forms.size(), 3u);
    for (const AssistantForm& form : assistant->forms) {
        EXPECT_EQ(form.definition, FormDefinition(TestProgramModule(), form.name)) << ToUtf8(form.name);
        EXPECT_FALSE(form.definition.empty());
    }
}


// A registered resource module serves every form of an assistant when it holds the first one;
// otherwise every form comes from the module itself, even one the resource module holds.
TEST(SettingsHostTest, TheFirstFormDecidesWhereAllFormsComeFrom) {
    RegisterResourceModule(Kernel32Module(), TestProgramModule());
    const auto fromResourceModule =
        ProcessSettingsHost().FormResources(Kernel32Module(), {u"ContactForm", u"DetailsForm"});
    const auto fromModule = ProcessSettingsHost().FormResources(Kernel32Module(), {u"NoSuchForm", u"ContactForm"});
    RegisterResourceModule(Kernel32Module(), nullptr);

    ASSERT_EQ(fromResourceModule.size(), 2u);
    EXPECT_FALSE(fromResourceModule[0].empty());
    EXPECT_FALSE(fromResourceModule[1].empty());
    ASSERT_EQ(fromModule.size(), 2u);
    EXPECT_TRUE(fromModule[1].empty()) << "kernel32 itself has no form definitions";
}

}  // namespace
}  // namespace brevant::crashreport
