#include "launcher/command_line.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace brevant {
namespace {

using testing::U8;
using Words = std::vector<std::u16string>;

TEST(SplitCommandLineTest, SeparatesAndUnquotesWords) {
    const struct {
        std::u16string line;
        Words words;
    } cases[] = {
        {u"", {}},
        {u"   \t ", {}},
        {u"a b", {u"a", u"b"}},
        {u"  a\t\tb\x01"
         u"c\r\nd  ",
         {u"a", u"b", u"c", u"d"}},    // every unit up to U+0020 separates
        {u"a\u00A0b", {u"a\u00A0b"}},  // a no-break space does not
        {u"\"C:\\Program Files\\x.exe\" y", {u"C:\\Program Files\\x.exe", u"y"}},
        {u"a\"b c\"d", {u"ab cd"}},
        {u"\"tab\tinside\"", {u"tab\tinside"}},
        {u"a \"\" b", {u"a", u"b"}},  // an empty pair between words is no word
        {u"\"\"", {}},
        {u"a \"\"\"\" b", {u"a", u"b"}},
        {u"x\"\"y", {u"xy"}},
        {u"\"a\"\"b\"", {u"ab"}},  // a doubled quote is no escape
        {u"a \"unclosed  rest", {u"a", u"unclosed  rest"}},
        {u"\"\" x", {u"x"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.line));
        EXPECT_EQ(SplitCommandLine(c.line), c.words);
    }
}

TEST(CommandLineTest, ArgumentZeroIsTheModulePathAndTheProgramWordIsSkipped) {
    CommandLine line(u"C:\\Real\\Brevant.exe", u"\"C:\\Other Dir\\b.exe\" one \"two three\"");
    EXPECT_EQ(line.Count(), 2u);
    EXPECT_EQ(line.Argument(0), u"C:\\Real\\Brevant.exe");
    EXPECT_EQ(line.Argument(1), u"one");
    EXPECT_EQ(line.Argument(2), u"two three");
    EXPECT_EQ(line.Argument(3), u"");

    CommandLine empty(u"C:\\b.exe", u"");
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_EQ(empty.Argument(0), u"C:\\b.exe");
    EXPECT_EQ(empty.Argument(1), u"");
}

TEST(CommandLineTest, HasSwitchNeedsTheWholeNameAfterDashOrSlash) {
    const struct {
        std::u16string arguments;
        bool expected;
    } cases[] = {
        {u"/help", true},    {u"x.ini -HELP", true}, {u"-Help /configfile:a.ini", true},
        {u"/help:x", false}, {u"/helpme", false},    {u"--help", false},
        {u"help", false},    {u"/hel", false},       {u"\\help", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.arguments));
        EXPECT_EQ(CommandLine(u"C:\\b.exe", u"b " + c.arguments).HasSwitch(u"help"), c.expected);
    }
    // The program word itself is never a switch.
    EXPECT_FALSE(CommandLine(u"C:\\b.exe", u"/help").HasSwitch(u"help"));
}

TEST(CommandLineTest, FindSwitchValueForms) {
    const struct {
        std::u16string arguments;
        bool found;
        std::u16string value;
    } cases[] = {
        {u"/configfile:C:\\x.ini", true, u"C:\\x.ini"},
        {u"/configfileC:\\x.ini", true, u"C:\\x.ini"},
        {u"/configfile=x.ini", true, u"=x.ini"},
        {u"/configfile::x.ini", true, u":x.ini"},  // only one colon is skipped
        {u"/configfile:", true, u""},
        {u"/configfile x.ini", true, u"x.ini"},
        {u"-configfile \"C:\\My Dir\\x.ini\"", true, u"C:\\My Dir\\x.ini"},
        {u"/configfile -x", true, u""},
        {u"/configfile /x", true, u""},
        {u"a.ini /configfile", true, u""},  // last argument: no value
        {u"/CONFIGFILE:a.ini", true, u"a.ini"},
        {u"/configfiles", true, u"s"},
        {u"/configfile:a.ini /configfile:b.ini", true, u"a.ini"},
        {u"/other /configfile:b.ini", true, u"b.ini"},
        {u"/configfil", false, u""},  // shorter argument cannot match
        {u"configfile:a.ini", false, u""},
        {u"x.ini", false, u""},
        {u"", false, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.arguments));
        std::u16string value = u"stale";
        EXPECT_EQ(CommandLine(u"C:\\b.exe", u"b " + c.arguments).FindSwitch(u"configfile", value), c.found);
        EXPECT_EQ(value, c.value);
    }
}

}  // namespace
}  // namespace brevant
