#include "launcher/path_text.h"

#include <gtest/gtest.h>

#include "base/exception.h"
#include "fake_platform.h"

namespace brevant {
namespace {

using testing::U8;

struct Pair {
    std::u16string input, expected;
};

void ExpectEach(std::u16string (*operation)(std::u16string_view), std::initializer_list<Pair> cases) {
    for (const Pair& c : cases) {
        SCOPED_TRACE(U8(c.input));
        EXPECT_EQ(operation(c.input), c.expected);
    }
}

TEST(CombinePathTest, JoinsOrLetsAnAbsoluteSecondPathWin) {
    const struct {
        std::u16string first, second, expected;
    } cases[] = {
        {u"", u"x.ini", u"x.ini"},
        {u"C:\\out", u"", u"C:\\out"},
        {u"", u"a|b", u"a|b"},  // an empty side skips validation
        {u"a<b", u"", u"a<b"},
        {u"C:\\out", u"index.html", u"C:\\out\\index.html"},
        {u"C:\\out\\", u"index.html", u"C:\\out\\index.html"},
        {u"C:/out/", u"index.html", u"C:/out/index.html"},
        {u"C:", u"index.html", u"C:index.html"},
        {u"C:\\out", u"D:\\x.html", u"D:\\x.html"},
        {u"C:\\out", u"\\x.html", u"\\x.html"},
        {u"C:\\out", u"/x.html", u"/x.html"},
        {u"C:\\out", u"sub\\x.html", u"C:\\out\\sub\\x.html"},
        {u"C:\\out", u"?*.html", u"C:\\out\\?*.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.first + u" + " + c.second));
        EXPECT_EQ(CombinePath(c.first, c.second), c.expected);
    }
}

TEST(CombinePathTest, RejectsInvalidCharactersOnEitherSide) {
    const struct {
        std::u16string first, second;
    } cases[] = {
        {u"\"C:\\out\"", u"index.html"},
        {u"C:\\out", u"a<b"},
        {u"C:\\out", u"a>b"},
        {u"a|b", u"x"},
        {u"a\tb", u"x"},
        {u"a", u"\x1F"},
        {u"a|b", u"C:\\absolute.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.first + u" + " + c.second));
        try {
            CombinePath(c.first, c.second);
            ADD_FAILURE() << "no error";
        } catch (const EArgumentException& error) {
            EXPECT_EQ(error.Message(), u"Invalid characters in path");
        }
    }
}

TEST(PathTextTest, QuoteIfSpaced) {
    ExpectEach(QuoteIfSpaced, {
                                  {u"", u""},
                                  {u"C:\\out", u"C:\\out"},
                                  {u"C:\\my out", u"\"C:\\my out\""},
                                  {u"a\"b c", u"\"a\"\"b c\""},
                                  {u"a\tb", u"a\tb"},
                                  {u"a\"b", u"a\"b"},
                                  {u" ", u"\" \""},
                              });
}

TEST(PathTextTest, RemoveSurroundingQuotes) {
    ExpectEach(RemoveSurroundingQuotes, {
                                            {u"\"C:\\a b\\x.exe\"", u"C:\\a b\\x.exe"},
                                            {u"\"a\"\"b\"", u"a\"b"},
                                            {u"\"a\" rest", u"a"},
                                            {u"\"unclosed", u"\"unclosed"},
                                            {u"plain\"", u"plain\""},
                                            {u"\"\"", u""},
                                            {u"", u""},
                                        });
}

TEST(PathTextTest, TrailingSlashAndHttpPrefix) {
    ExpectEach(EnsureTrailingSlash, {{u"", u""}, {u"a", u"a/"}, {u"a/", u"a/"}, {u"a\\", u"a\\/"}});
    ExpectEach(StripTrailingSlash, {{u"", u""}, {u"a/", u"a"}, {u"a//", u"a/"}, {u"a\\", u"a\\"}, {u"/", u""}});
    ExpectEach(AddHttpPrefix, {
                                  {u"host", u"http://host"},
                                  {u"HTTP://host", u"HTTP://host"},
                                  {u"Https://host", u"Https://host"},
                                  {u"http:/host", u"http://http:/host"},
                                  {u"ftp://host", u"http://ftp://host"},
                                  {u"httpsx://host", u"http://httpsx://host"},
                                  {u"", u"http://"},
                              });
}

TEST(PathTextTest, PartsOfAPath) {
    ExpectEach(FileNamePart, {
                                 {u"C:\\Apps\\MyApp.exe", u"MyApp.exe"},
                                 {u"a/b.exe", u"b.exe"},
                                 {u"C:MyApp.exe", u"MyApp.exe"},
                                 {u"MyApp.exe", u"MyApp.exe"},
                                 {u"C:\\dir\\", u""},
                             });
    ExpectEach(DirectoryPart, {
                                  {u"C:\\Apps\\MyApp.exe", u"C:\\Apps"},
                                  {u"C:\\MyApp.exe", u"C:\\"},
                                  {u"C:MyApp.exe", u"C:"},
                                  {u"\\\\server\\share\\MyApp.exe", u"\\\\server\\share"},
                                  {u"/x/MyApp.exe", u"/x"},
                                  {u"MyApp.exe", u""},
                              });
    ExpectEach(NameWithoutExtension, {
                                         {u"C:\\Apps\\MyApp.exe", u"MyApp"},
                                         {u"C:\\my.dir\\MyApp", u"MyApp"},
                                         {u"a.b.exe", u"a.b"},
                                     });
    ExpectEach(TextBeforeLastSlash, {
                                        {u"C:\\ff\\firefox.exe", u"C:\\ff"},
                                        {u"C:/ff/firefox.exe", u"C:/ff"},
                                        {u"C:firefox.exe", u""},
                                    });
}

TEST(PathTextTest, ReplaceExtension) {
    const struct {
        std::u16string path, expected;
    } cases[] = {
        {u"C:\\Apps\\MyApp.exe", u"C:\\Apps\\MyApp.html"},
        {u"C:\\my.dir\\MyApp", u"C:\\my.dir\\MyApp.html"},  // a dot in the directory is no extension
        {u"archive.tar.gz", u"archive.tar.html"},
        {u"MyApp", u"MyApp.html"},
        {u"C:\\x.y\\", u"C:\\x.y\\.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U8(c.path));
        EXPECT_EQ(ReplaceExtension(c.path, u".html"), c.expected);
    }
}

}  // namespace
}  // namespace brevant
