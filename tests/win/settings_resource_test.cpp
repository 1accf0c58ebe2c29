#include "crashreport/core/win32/settings_resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crashreport/core/crash_settings.h"
#include "crashreport/core/settings_password.h"
#include "crashreport/core/win32/reporter_message_box.h"
#include "settings_test_modules.h"

namespace brevant::crashreport {
namespace {

const std::string kHeader("TPF0\x08TQuarrex\x07Quarrex", 21);

// A settings stream written record by record.
class SettingsStreamBuilder {
public:
    explicit SettingsStreamBuilder(const std::string& header = kHeader) : bytes_(header) {}

    SettingsStreamBuilder& Boolean(const std::string& name, bool value) { return Record(name, value ? 9 : 8, ""); }
    SettingsStreamBuilder& Integer(const std::string& name, std::int32_t value) {
        return Record(name, 4, std::string(reinterpret_cast<const char*>(&value), 4));
    }
    SettingsStreamBuilder& Text(const std::string& name, const std::string& ansi) {
        const auto length = static_cast<std::uint32_t>(ansi.size());
        return Record(name, 12, std::string(reinterpret_cast<const char*>(&length), 4) + ansi);
    }
    SettingsStreamBuilder& Record(const std::string& name, std::uint8_t tag, const std::string& value) {
        bytes_ += static_cast<char>(name.size());
        bytes_ += name;
        bytes_ += static_cast<char>(tag);
        bytes_ += value;
        return *this;
    }
    std::vector<std::uint8_t> Finish() const {
        const std::string complete = bytes_ + std::string(2, '\0');
        return {complete.begin(), complete.end()};
    }

private:
    std::string bytes_;
};

// Collects the crash reporter's messages instead of showing boxes.
class CapturedMessages {
public:
    CapturedMessages() {
        previous_ = SetReporterMessageSink([this](std::u16string_view text) { texts.emplace_back(text); });
    }
    ~CapturedMessages() { SetReporterMessageSink(previous_); }

    std::vector<std::u16string> texts;

private:
    ReporterMessageSink previous_;
};

std::vector<std::string> PropertyNames(ModuleSettingsBlock& block) {
    std::vector<std::string> names;
    for (const SettingsProperty& property : block.props) names.push_back(property.name);
    return names;
}

std::u16string TextOf(ModuleSettingsBlock& block, std::string_view name) {
    const SettingsProperty* property = FindBlockProperty(block, name);
    return property != nullptr ? property->vStr : u"<missing>";
}

std::string Ansi(const std::u16string& asciiText) {
    return NarrowText(asciiText);
}

std::span<const std::uint8_t> SettingsResourceOf(ModuleHandle module) {
    return FindDataResource(module, u"TQUARREX");
}

ModuleHandle AllocationOf(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    return VirtualQuery(address, &region, sizeof region) == sizeof region ? region.AllocationBase : nullptr;
}

TEST(SettingsResourceTest, TheProgramCarriesTheSettingsBlockOfThisBuild) {
    LoadedProgram program(LoadedProgram::Mapping::DataFile);
    ASSERT_NE(program.Handle(), nullptr) << "Brevant.exe is built beside the tests";
    const std::span<const std::uint8_t> bytes = SettingsResourceOf(program.Handle());
    ASSERT_EQ(bytes.size(), 2940u);
    const SettingsStreamResult read = ReadSettingsStream(bytes, DecodeSystemCodePage);
    EXPECT_TRUE(read.headerMatched);
    EXPECT_FALSE(read.unknownTag.has_value());
    EXPECT_EQ(read.properties.size(), 137u);
    // The end of the records and the end of the (empty) child list.
    EXPECT_EQ(bytes[bytes.size() - 2], 0);
    EXPECT_EQ(bytes[bytes.size() - 1], 0);

    const std::span<const std::uint8_t> testCopy = SettingsResourceOf(TestProgramModule());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), testCopy.begin(), testCopy.end()))
        << "the tests read the same settings as the program";
}

TEST(SettingsResourceTest, OnlyModulesWithTheResourceHaveSettings) {
    EXPECT_TRUE(HasSettingsResource(TestProgramModule()));
    EXPECT_FALSE(HasSettingsResource(Kernel32Module()));
    EXPECT_FALSE(HasSettingsResource(nullptr));
}

TEST(SettingsResourceTest, ARegisteredResourceModuleComesFirstWhenItHoldsTheResource) {
    LoadedProgram program(LoadedProgram::Mapping::DataFile);
    ASSERT_NE(program.Handle(), nullptr);
    const ModuleHandle module = TestProgramModule();
    struct Case {
        ModuleHandle resourceModule;
        ModuleHandle expectedAllocation;
    };
    const Case cases[] = {
        {program.Handle(), AllocationOf(SettingsResourceOf(program.Handle()).data())},
        {Kernel32Module(), module},  // holds no settings: the module's own
        {nullptr, module},           // registration removed
    };
    for (const Case& registration : cases) {
        RegisterResourceModule(module, registration.resourceModule);
        EXPECT_EQ(AllocationOf(SettingsResourceOf(module).data()), registration.expectedAllocation);
        ModuleSettingsBlock block;
        LoadSettingsResource(module, block);
        EXPECT_EQ(block.propCount, 137);
    }
    EXPECT_EQ(RegisteredResourceModule(module), nullptr);
}

TEST(SettingsResourceTest, AnUnknownTagIsReportedAndKeepsWhatWasRead) {
    CapturedMessages messages;
    ModuleSettingsBlock block;
    LoadSettingsBytes(SettingsStreamBuilder()
                          .Boolean("Enabled", true)
                          .Integer("AutoDelay", 9)
                          .Record("Broken", 10, "")
                          .Boolean("AutoSave", true)
                          .Finish(),
                      block);
    EXPECT_EQ(messages.texts, std::vector<std::u16string>{u"Internal error: Invalid settings resource ($a)."});
    EXPECT_EQ(PropertyNames(block), (std::vector<std::string>{"Enabled", "AutoDelay"}));
    EXPECT_EQ(block.propCap, 147);
}

TEST(SettingsResourceTest, DamagedHeadersGiveNoPropertiesAndNoMessage) {
    const std::string headers[] = {
        "TPF0\x08TQUARREX\x07Quarrex",
        "TPF0\x08TQuarrex\x07quarrex",
        "TPF1\x08TQuarrex\x07Quarrex",
        "TPF0\x07TQuarre\x07Quarrex",
        "TPF0",
    };
    CapturedMessages messages;
    for (const std::string& header : headers) {
        ModuleSettingsBlock block;
        LoadSettingsBytes(SettingsStreamBuilder(header).Boolean("Enabled", true).Record("X", 10, "").Finish(), block);
        EXPECT_EQ(block.propCount, 0) << header;
    }
    EXPECT_TRUE(messages.texts.empty());
}

TEST(SettingsResourceTest, StoredPasswordsAreDecipheredWithTheirServerAndAccount) {
    const std::u16string smtp = EncipherSettingsPassword(u"smtp secret", u"mail.example.com", u"alice");
    const std::u16string http = EncipherSettingsPassword(u"http secret", u"upload.example.com", u"bob");
    const std::u16string tracker = EncipherSettingsPassword(u"tracker secret", u"upload.example.com", u"carol");
    ModuleSettingsBlock block;
    LoadSettingsBytes(SettingsStreamBuilder()
                          .Text("SmtpPassword", Ansi(smtp))
                          .Text("SmtpServer", "mail.example.com")
                          .Text("SmtpAccount", "alice")
                          .Text("HttpServer", "upload.example.com")
                          .Text("HttpAccount", "bob")
                          .Text("HttpPassword", Ansi(http))
                          .Text("BugTrAccount", "carol")
                          .Text("BugTrPassword", Ansi(tracker))
                          .Finish(),
                      block);
    EXPECT_EQ(TextOf(block, "SmtpPassword"), u"smtp secret");
    EXPECT_EQ(TextOf(block, "HttpPassword"), u"http secret");
    EXPECT_EQ(TextOf(block, "BugTrPassword"), u"tracker secret");
    EXPECT_EQ(TextOf(block, "SmtpServer"), u"mail.example.com");
}

TEST(SettingsResourceTest, PasswordsNotInTheStoredFormStayAsTheyAre) {
    ModuleSettingsBlock block;
    LoadSettingsBytes(SettingsStreamBuilder()
                          .Text("SmtpPassword", "plain text")
                          .Text("HttpPassword", "")
                          .Integer("BugTrPassword", 1234)
                          .Finish(),
                      block);
    EXPECT_EQ(TextOf(block, "SmtpPassword"), u"plain text");
    EXPECT_EQ(TextOf(block, "HttpPassword"), u"");
    EXPECT_EQ(FindBlockProperty(block, "BugTrPassword")->vInt, 1234);
}

TEST(SettingsResourceTest, EightBitTextsAreReadInTheSystemCodePage) {
    if (GetACP() != 1252) GTEST_SKIP() << "written for the Western European code page";
    ModuleSettingsBlock block;
    LoadSettingsBytes(SettingsStreamBuilder().Text("MailSubj", "\x80 caf\xe9").Finish(), block);
    EXPECT_EQ(TextOf(block, "MailSubj"), u"\u20ac caf\u00e9");
}

}  // namespace
}  // namespace brevant::crashreport
