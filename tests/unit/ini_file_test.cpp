#include "launcher/ini_file.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/exception.h"
#include "fake_platform.h"
#include "launcher/integer_text.h"

namespace brevant {
namespace {

using testing::FakeFileSystem;
using testing::U8;

std::u16string NoAnsi(std::string_view) {
    ADD_FAILURE() << "a text with a byte-order mark went to the ANSI decoder";
    return {};
}

TEST(DecodeTextFileTest, ByteOrderMarkSelectsTheEncoding) {
    EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFK=\xC3\xA9", NoAnsi), u"K=\u00E9");
    EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFEK\0=\0\xAC\x20", 8), NoAnsi), u"K=\u20AC");
    EXPECT_EQ(DecodeTextFile(std::string("\xFE\xFF\0K\0=\x20\xAC", 8), NoAnsi), u"K=\u20AC");

    std::string seen;
    auto ansi = [&](std::string_view bytes) {
        seen = bytes;
        return std::u16string(u"decoded");
    };
    EXPECT_EQ(DecodeTextFile("K=\xE9", ansi), u"decoded");
    EXPECT_EQ(seen, "K=\xE9");                                // the whole text, nothing dropped
    EXPECT_EQ(DecodeTextFile("\xEF\xBB", ansi), u"decoded");  // a partial mark is no mark
}

// One document exercising every reading rule; each row names one rule.
const char16_t kDocument[] =
    u"Orphan=before any section\r\n"
    u"[Paths]\n"
    u"  Browser = 2 \r"  // a lone CR ends the line
    u"Browser=5\r\n"     // the first entry of a key wins
    u"NoEquals\n"
    u"Empty=\n"
    u"Quoted=\"C:\\My Dir\"\n"
    u"Equals=a=b = c\n"
    u"Inline=value ; not a comment\n"
    u"  ; Commented=yes\n"
    u"#Hash=1\n"
    u"\tTabbed\t=\t x\t\n"
    u"=no key\n"
    u"[ Other ]\n"
    u"[broken\n"
    u"AfterBroken=still Other\n"
    u"[PATHS]\n"
    u"Browser=9\n"
    u"Late=second block\n"
    u"[Next]\n"
    u"Key=next";  // no line break at the end

TEST(IniFileTest, ReadStringFollowsTheReadingRules) {
    const IniFile ini = IniFile::Parse(kDocument);
    const struct {
        std::u16string section, key, expected;
    } cases[] = {
        {u"Paths", u"Browser", u"2"},
        {u"pAtHs", u"BROWSER", u"2"},
        {u"Paths", u"NoEquals", u"default"},
        {u"Paths", u"Empty", u""},
        {u"Paths", u"Quoted", u"\"C:\\My Dir\""},
        {u"Paths", u"Equals", u"a=b = c"},
        {u"Paths", u"Inline", u"value ; not a comment"},
        {u"Paths", u"Commented", u"default"},
        {u"Paths", u"; Commented", u"default"},
        {u"Paths", u"#Hash", u"1"},
        {u"Paths", u"Tabbed", u"x"},
        {u"Paths", u"", u"no key"},
        {u"Paths", u"Orphan", u"default"},
        {u"Paths", u"Late", u"default"},  // only the first [Paths] block counts
        {u"Other", u"AfterBroken", u"still Other"},
        {u"Next", u"Key", u"next"},
        {u"Missing", u"Browser", u"default"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.section + u"/" + c.key));
        EXPECT_EQ(ini.ReadString(c.section, c.key, u"default"), c.expected);
    }
}

TEST(IniFileTest, ReadIntegerConversions) {
    const struct {
        std::u16string value;
        std::int32_t expected;  // 77 is the default
    } cases[] = {
        {u"16", 16},
        {u"+16", 16},
        {u"-16", -16},
        {u"0x10", 16},
        {u"0X1f", 31},
        {u"$10", 16},
        {u"x10", 16},
        {u"X10", 16},
        {u"-0x10", -16},
        {u"-$10", -16},
        {u"$FFFFFFFF", -1},
        {u"$80000000", INT_MIN},
        {u"2147483647", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"2147483648", 77},
        {u"-2147483649", 77},
        {u"$100000000", 77},
        {u"0x", 77},
        {u"$", 77},
        {u"abc", 77},
        {u"12abc", 77},
        {u"1 2", 77},
        {u"- 1", 77},
        {u"1.5", 77},
        {u"", 77},
        {u"0x1g", 77},
        {u"007", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.value));
        EXPECT_EQ(IniFile::Parse(u"[Paths]\nBrowser=" + c.value).ReadInteger(u"Paths", u"Browser", 77), c.expected);
    }
    EXPECT_EQ(IniFile::Parse(u"[Paths]\nBrowser\n").ReadInteger(u"Paths", u"Browser", 77), 77);
}

TEST(ParseIntegerTest, LeadingBlanksSignsAndLimits) {
    const struct {
        std::u16string text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {u"   42", 42},
        {u" -42", -42},
        {u"42 ", std::nullopt},
        {u"0x0000000F", 15},
        {u"$000000001", std::nullopt},
        {u"99999999999999999999", std::nullopt},
        {u"+", std::nullopt},
        {u"-", std::nullopt},
        {u"x", std::nullopt},
        {u"", std::nullopt},
        {u"-$80000000", INT_MIN},
        {u"$7fffffff", INT_MAX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.text));
        EXPECT_EQ(ParseInteger(c.text), c.expected);
    }
}

TEST(IniFileTest, ReadBoolIsANumberNotAWord) {
    const struct {
        std::u16string line;
        bool whenDefaultFalse, whenDefaultTrue;
    } cases[] = {
        {u"Debug=true", false, true}, {u"Debug=yes", false, true}, {u"Debug=2", true, true},
        {u"Debug=-1", true, true},    {u"Debug=0x1", true, true},  {u"Debug = 1", true, true},
        {u"Debug=0", false, false},   {u"Debug=", false, true},    {u"Other=1", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.line));
        const IniFile ini = IniFile::Parse(u"[Paths]\n" + c.line);
        EXPECT_EQ(ini.ReadBool(u"Paths", u"Debug", false), c.whenDefaultFalse);
        EXPECT_EQ(ini.ReadBool(u"Paths", u"Debug", true), c.whenDefaultTrue);
    }
}

TEST(IniFileTest, LoadReadsFilesInEveryEncodingAlike) {
    FakeFileSystem files;
    const std::string ansi = "; comment\r\n[paths]\r\nHtmlPath=C:\\Caf\xE9\r\nBrowser=0x10\r\n";
    std::string utf16le = "\xFF\xFE", utf16be = "\xFE\xFF";
    for (char byte : ansi) {
        utf16le += {byte, '\0'};
        utf16be += {'\0', byte};
    }
    files.Add(u"ansi.ini", ansi);
    files.Add(u"le.ini", utf16le);
    files.Add(u"be.ini", utf16be);
    files.Add(u"utf8.ini", "\xEF\xBB\xBF; comment\r\n[paths]\r\nHtmlPath=C:\\Caf\xC3\xA9\r\nBrowser=0x10\r\n");
    for (const char16_t* path : {u"ansi.ini", u"le.ini", u"be.ini", u"utf8.ini"}) {
        SCOPED_TRACE(U8(path));
        const IniFile ini = IniFile::Load(path, files);
        EXPECT_EQ(ini.ReadString(u"Paths", u"HtmlPath", u""), u"C:\\Caf\u00E9");
        EXPECT_EQ(ini.ReadInteger(u"Paths", u"Browser", 1), 16);
    }
}

TEST(IniFileTest, LoadOfNothingIsEmptyButALockedFileFails) {
    FakeFileSystem files;
    files.Add(u"only-comments.ini", "; nothing\r\n;[Paths]\r\n");
    for (const char16_t* path : {u"", u"missing.ini", u"only-comments.ini"}) {
        SCOPED_TRACE(U8(path));
        EXPECT_EQ(IniFile::Load(path, files).ReadInteger(u"Paths", u"Browser", 1), 1);
    }
    files.AddLocked(u"locked.ini");
    EXPECT_THROW(IniFile::Load(u"locked.ini", files), EFOpenError);
}

}  // namespace
}  // namespace brevant
