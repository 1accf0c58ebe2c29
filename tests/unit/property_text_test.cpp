#include "tools/property_stream_compiler/property_text.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "crashreport/core/property_stream.h"
#include "crashreport/core/settings_stream.h"

namespace brevant::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A string literal's bytes, embedded zeros included.
template <std::size_t N>
std::string Raw(const char (&bytes)[N]) {
    return std::string(bytes, N - 1);
}

// Class TB, object A, one property P.
std::string SinglePropertyText(std::string_view value) {
    return "object A: TB\n  P = " + std::string(value) + "\nend\n";
}

TEST(PropertyTextTest, EveryValueFormGetsItsTagAndBytes) {
    const std::string longText(300, 'x');
    const struct {
        std::string value;
        std::string bytes;  // tag and value bytes
    } cases[] = {
        {"0", Raw("\x04\0\0\0\0")},
        {"60000", Raw("\x04\x60\xEA\0\0")},
        {"5", Raw("\x04\x05\0\0\0")},  // small numbers stay 32-bit
        {"-1", Raw("\x04\xFF\xFF\xFF\xFF")},
        {"-2147483648", Raw("\x04\0\0\0\x80")},
        {"2147483647", Raw("\x04\xFF\xFF\xFF\x7F")},
        {"True", Raw("\x09")},
        {"False", Raw("\x08")},
        {"TRUE", Raw("\x09")},
        {"false", Raw("\x08")},
        {"nvoHeader", Raw("\x06\x09nvoHeader")},
        {"ContinueBtn", Raw("\x06\x0B"
                            "ContinueBtn")},
        {"Font.Name", Raw("\x06\x09"
                          "Font.Name")},
        {"''", Raw("\x0C\0\0\0\0")},
        {"'%appname%'", Raw("\x0C\x09\0\0\0%appname%")},
        {"'didn''t'", Raw("\x0C\x06\0\0\0didn't")},
        {"''''", Raw("\x0C\x01\0\0\0'")},
        {"'error details: '#13#10'%errorDetails%'", Raw("\x0C\x1F\0\0\0error details: \r\n%errorDetails%")},
        {"#65#66'c'", Raw("\x0C\x03\0\0\0"
                          "ABc")},
        {"'Gr\xC3\xBC\xC3\x9F"
         "e'",
         Raw("\x14\x07\0\0\0Gr\xC3\xBC\xC3\x9F"
             "e")},
        {"'x'#252", Raw("\x14\x03\0\0\0x\xC3\xBC")},
        {"#8364", Raw("\x14\x03\0\0\0\xE2\x82\xAC")},
        {"#55357#56832", Raw("\x14\x04\0\0\0\xF0\x9F\x98\x80")},  // a pair of UTF-16 halves
        {"#128512", Raw("\x14\x04\0\0\0\xF0\x9F\x98\x80")},
        {"'ab' +\n    'cd'", Raw("\x0C\x04\0\0\0"
                                 "abcd")},
        {"'ab'+'cd' + #33 +\n\n  'e'", Raw("\x0C\x06\0\0\0"
                                           "abcd!e")},
        {"'" + longText + "'", Raw("\x0C\x2C\x01\0\0") + longText},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.value);
        const PropertyTextResult result = CompilePropertyText(SinglePropertyText(test.value));
        ASSERT_EQ(result.error, "");
        EXPECT_EQ(result.stream, ToBytes(Raw("TPF0\x02TB\x01"
                                             "A\x01P") +
                                         test.bytes + Raw("\0\0")));
    }
}

TEST(PropertyTextTest, ObjectsNestWithPropertiesBeforeChildren) {
    const std::string text =
        "\xEF\xBB\xBF"  // an editor's byte order mark
        "object ContactForm: TNVForm\r\n"
        "  Timer = 0\r\n"
        "\r\n"
        "  object NameEdit: INVEdit\n"
        "    Lines = 1\n"
        "    object Inner: TThing\n"
        "    end\n"
        "  end\n"
        "\n"
        "  OBJECT MemCheck :INVCheckBox\n"
        "    Checked=True\n"
        "  End\n"
        "end\n"
        "\n";
    const std::string expected = Raw("TPF0\x07TNVForm\x0B"
                                     "ContactForm\x05Timer\x04\0\0\0\0\0") +
                                 Raw("\x07INVEdit\x08NameEdit\x05Lines\x04\x01\0\0\0\0") +
                                 Raw("\x06TThing\x05Inner\0\0") +  // grandchild
                                 Raw("\0") +                       // NameEdit's children end
                                 Raw("\x0BINVCheckBox\x08MemCheck\x07"
                                     "Checked\x09\0\0") +
                                 Raw("\0");  // the form's children end
    const PropertyTextResult result = CompilePropertyText(text);
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.stream, ToBytes(expected));
}

TEST(PropertyTextTest, MistakesAreRejectedNamingTheLine) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"object A: TB\n  X = 1\n  Title = 'oops\nend\n",
         "line 3: unterminated string: the closing quote is missing on this line"},
        {"object A: TB\n  Enabled True\nend\n", "line 2: '=' expected after property name 'Enabled', found 'True'"},
        {"object A: TB\n  X = 1\n  object C: TD\n  end\n",
         "line 5: the text ends inside object 'A' (opened on line 1): 'end' missing"},
        {"object A: TB\n  object C: TD\n  end\n  X = 1\nend\n",
         "line 4: property 'X' after a child object; properties come before child objects"},
        {"object A: TB\n\n  Timeout = 4294967296\nend\n", "line 3: integer 4294967296 is outside the 32-bit range"},
        {"object A: TB\n  X = -2147483649\nend\n", "line 2: integer -2147483649 is outside the 32-bit range"},
        {"object A: TB\n  X = 1.5\nend\n", "line 2: malformed number: only decimal integers are allowed"},
        {"object A: TB\n  X = $10\nend\n", "line 2: unexpected '$'"},
        {"// settings\nobject A: TB\nend\n", "line 1: unexpected '/'"},
        {"object A: TB\n  X =\nend\n", "line 3: value expected for property 'X', found 'end'"},
        {"object A: TB\n  X = 'a' +\nend\n", "line 3: a string must follow '+', found 'end'"},
        {"object A: TB\nend\nend\n", "line 3: text after the 'end' of the root object"},
        {"object A TB\nend\n", "line 1: ':' expected after object name 'A', found 'TB'"},
        {"object A:\nend\n", "line 2: class name of object 'A' expected, found 'end'"},
        {"A: TB\nend\n", "line 1: the text must start with 'object <Name>: <Class>'"},
        {"", "line 1: the text must start with 'object <Name>: <Class>'"},
        {"object A: TB\n  X = 'caf\xE9'\nend\n", "line 2: string holds bytes that are not UTF-8"},
        {"object A: TB\n  X = 'a'#\nend\n", "line 2: '#' must be followed by a decimal character code"},
        {"object A: TB\n  X = #56832\nend\n", "line 2: a low surrogate code without a high one before it"},
        {"object A: TB\n  X = #55357'a'\nend\n", "line 2: a high surrogate code must be followed by a low one"},
        {"object A: TB\n  X = #1114112\nend\n", "line 2: character code beyond U+10FFFF"},
        {"object A: TB\n  X = 1\n  \xC3\xA9 = 2\nend\n", "line 3: unexpected byte 0xC3"},
        {"object A: TB\n  " + std::string(256, 'N') + " = 1\nend\n",
         "line 2: property name longer than 255 characters"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.text);
        const PropertyTextResult result = CompilePropertyText(test.text);
        EXPECT_EQ(result.error, test.error);
        EXPECT_TRUE(result.stream.empty());
    }
}

std::filesystem::path SourceRoot() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The value tags of a settings stream's records, in order.
std::vector<std::uint8_t> RecordTags(const Bytes& stream) {
    crashreport::PropertyStreamReader reader(
        std::span<const std::uint8_t>(stream).subspan(crashreport::kSettingsHeaderSize), crashreport::DecodeLatin1);
    std::vector<std::uint8_t> tags;
    std::string name;
    std::uint8_t tag = 0;
    crashreport::StreamValue value;
    while (reader.ReadShortString(name) && !name.empty() && reader.ReadByte(tag) &&
           reader.ReadValue(tag, value) == crashreport::ValueReadResult::Ok) {
        tags.push_back(tag);
    }
    return tags;
}

TEST(PropertyTextTest, ShippedSettingsCompileToTheBlockTheProgramEmbeds) {
    const PropertyTextResult result = CompilePropertyText(ReadFile(SourceRoot() / "resources" / "crash_settings.txt"));
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.stream.size(), 2940u);

    const crashreport::SettingsStreamResult settings =
        crashreport::ReadSettingsStream(result.stream, crashreport::DecodeLatin1);
    EXPECT_TRUE(settings.headerMatched);
    EXPECT_FALSE(settings.unknownTag.has_value());
    ASSERT_EQ(settings.properties.size(), 137u);

    const std::vector<std::uint8_t> tags = RecordTags(result.stream);
    EXPECT_EQ(tags.size(), 137u);
    EXPECT_EQ(std::set<std::uint8_t>(tags.begin(), tags.end()), (std::set<std::uint8_t>{4, 8, 9, 12}));

    std::map<std::string, int> occurrences;
    for (const auto& property : settings.properties) ++occurrences[property.name];
    for (const auto& [name, count] : occurrences) EXPECT_EQ(count, name == "SmtpPort" ? 2 : 1) << name;

    EXPECT_EQ(settings.properties.front().name, "Enabled");
    EXPECT_TRUE(settings.properties.front().vBool);
    const auto smtpPort = std::find_if(settings.properties.begin(), settings.properties.end(),
                                       [](const auto& property) { return property.name == "SmtpPort"; });
    ASSERT_NE(smtpPort, settings.properties.end());
    EXPECT_EQ(smtpPort[0].vInt, 25);
    EXPECT_EQ(smtpPort[1].name, "SmtpPort");
    EXPECT_EQ(smtpPort[1].vInt, 0);
    for (const auto& property : settings.properties) {
        if (property.name == "BugTrDescr") EXPECT_EQ(property.vStr, u"error details: \r\n%errorDetails%");
        if (property.name == "SendFailMsg") EXPECT_EQ(property.vStr, u"Sorry, sending the bug report didn't work.");
    }
}

// The tool beside this test program, run through the shell.
class CompilerToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool_ = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "property_stream_compiler";
        ASSERT_TRUE(std::filesystem::exists(tool_)) << tool_;
        std::string pattern = (std::filesystem::temp_directory_path() / "property_text_test.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }

    int Run(const std::filesystem::path& input, const std::filesystem::path& output) {
        const std::string command = "'" + tool_.string() + "' '" + input.string() + "' '" + output.string() + "' 2>'" +
                                    (folder_ / "stderr.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Write(const std::filesystem::path& path, std::string_view text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::set<std::string> FolderEntries() {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) names.insert(entry.path().filename());
        return names;
    }

    std::filesystem::path tool_;
    std::filesystem::path folder_;
};

TEST_F(CompilerToolTest, WritesTheStreamOnlyWhenTheTextIsGood) {
    const std::string good = "object A: TB\n  X = 1\nend\n";
    Write(folder_ / "good.txt", good);
    EXPECT_EQ(Run(folder_ / "good.txt", folder_ / "out.bin"), 0);
    EXPECT_EQ(ToBytes(ReadFile(folder_ / "out.bin")), CompilePropertyText(good).stream);

    // A failed run leaves the previous stream as it was and no partial file beside it.
    Write(folder_ / "bad.txt", "object A: TB\n  X = 1\n  Y = 'open\nend\n");
    EXPECT_EQ(Run(folder_ / "bad.txt", folder_ / "out.bin"), 1);
    EXPECT_EQ(ReadFile(folder_ / "stderr.txt"),
              (folder_ / "bad.txt").string() + ":3: unterminated string: the closing quote is missing on this line\n");
    EXPECT_EQ(ToBytes(ReadFile(folder_ / "out.bin")), CompilePropertyText(good).stream);

    EXPECT_EQ(Run(folder_ / "bad.txt", folder_ / "new.bin"), 1);
    EXPECT_EQ(FolderEntries(), (std::set<std::string>{"good.txt", "bad.txt", "out.bin", "stderr.txt"}));
}

}  // namespace
}  // namespace brevant::tools
