#include "crashreport/report/short_name_expansion.h"

#include <gtest/gtest.h>

#include <map>

#include "base/utf16_text.h"

namespace brevant::crashreport {
namespace {

TEST(ShortNameExpansionTest, ShortComponentsBelowTheRootAreLookedUp) {
    const std::map<std::u16string, std::u16string> longNames = {
        {u"C:\\PROGRA~1", u"Program Files"},
        {u"C:\\PROGRA~1\\SAMPLE~1", u"Sample App"},
        {u"C:\\PROGRA~1\\SAMPLE~1\\APP~1.DLL", u"app_library.dll"},
        {u"\\\\server\\share\\LONGFO~1", u"Long Folder"},
        {u"\\\\server\\SHARE~1", u"must not be asked"},
        {u"C:\\x\\A*~1", u"must not be asked"},
    };
    std::vector<std::u16string> asked;
    const LongNameLookup lookup = [&](const std::u16string& path) -> std::optional<std::u16string> {
        asked.push_back(path);
        auto found = longNames.find(path);
        if (found == longNames.end()) return std::nullopt;
        return found->second;
    };
    const struct {
        std::u16string name;
        const char* expected;
    } cases[] = {
        {u"C:\\PROGRA~1\\SAMPLE~1\\APP~1.DLL", "C:\\Program Files\\Sample App\\app_library.dll"},
        {u"C:\\PROGRA~1\\Sample\\", "C:\\Program Files\\Sample"},
        {u"C:\\Windows\\MISSIN~1\\a.dll", "C:\\Windows\\MISSIN~1\\a.dll"},
        {u"c:\\x\\A*~1", "c:\\x\\A*~1"},
        {u"\\\\server\\share\\LONGFO~1\\b.dll", "\\\\server\\share\\Long Folder\\b.dll"},
        {u"\\\\server\\SHARE~1\\c.dll", "\\\\server\\SHARE~1\\c.dll"},
        {u"\\\\server\\SHARE~1", "\\\\server\\SHARE~1"},
        {u"PROGRA~1\\x.dll", "PROGRA~1\\x.dll"},
        {u"C:\\", "C:"},
        {u"a.dll", "a.dll"},
        {u"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ToUtf8(ExpandShortNames(c.name, lookup)), c.expected) << ToUtf8(c.name);
    for (const std::u16string& path : asked) {
        EXPECT_EQ(path.find(u"SHARE~1"), std::u16string::npos) << ToUtf8(path);
        EXPECT_EQ(path.find(u'*'), std::u16string::npos) << ToUtf8(path);
    }
    // Only components with "~" are looked up, each with the path up to and including it.
    EXPECT_EQ(std::count(asked.begin(), asked.end(), u"C:\\PROGRA~1\\SAMPLE~1\\APP~1.DLL"), 1);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), u"C:\\Windows"), 0);
}

}  // namespace
}  // namespace brevant::crashreport
