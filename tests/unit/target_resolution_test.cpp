// The two roads from configuration to start page address, driven through the whole
// launcher. Browser=0 hands the finished address to the shell, which records it as is.

#include <gtest/gtest.h>

#include "base/exception.h"
#include "fake_platform.h"

namespace brevant {
namespace {

using testing::LauncherRig;
using Starts = std::vector<std::string>;

TEST(UrlRoadTest, BuildsTheAddressFromUrlAndHtmlFile) {
    const struct {
        std::string keys;
        std::string address;
    } cases[] = {
        {"URL=host:8000", "http://host:8000/MyApp.html"},
        {"URL=HTTPS://host/app/\nHtmlFile=index.html", "HTTPS://host/app/index.html"},
        {"URL=http://host/\nHtmlFile=", "http://host/MyApp.html"},
        {"URL=http://host/$(ProjectName)", "http://host/MyApp/MyApp.html"},
        {"URL=$(projectname).$(PROJECTNAME)", "http://MyApp.MyApp/MyApp.html"},
        {"URL=$(DefaultURL)", "http://MyApp.html"},
        {"URL=$(DefaultURL)\nDefaultURL=https://dev:3000", "https://dev:3000/MyApp.html"},
        {"URL=http://host\nHtmlFile=sub/", "http://host/sub"},
        {"URL=http://host\nHtmlFile=$(ProjectName).htm", "http://host/$(ProjectName).htm"},
        {"URL=http://host\nURLParams=?a=1", "http://host/MyApp.html?a=1"},
        {"URL=http://host\nURLParams=?p=$(ProjectName)/", "http://host/MyApp.html?p=$(ProjectName)/"},
        {"URL=http://h/$(OutputDir)\nHtmlPath=C:\\My Site", "http://h/\"C:\\My Site\"/MyApp.html"},
        {"URL=http://h/$(OutputDir)\nHtmlPath=C:\\Site", "http://h/C:\\Site/MyApp.html"},
        // An inserted value is not searched again for its own macro ...
        {"URL=$(DefaultURL)\nDefaultURL=http://h/$(ProjectName)", "http://h/$(ProjectName)/MyApp.html"},
        // ... but a later macro is expanded inside an earlier replacement.
        {"URL=$(OutputDir)\nHtmlPath=http://h/$(DefaultURL)\nDefaultURL=d", "http://h/d/MyApp.html"},
        // The URL road combines no paths, so quotes in HtmlPath do no harm.
        {"URL=http://host\nHtmlPath=\"C:\\out\"", "http://host/MyApp.html"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        LauncherRig rig;
        rig.Config("[Paths]\nBrowser=0\n" + c.keys + "\n");
        EXPECT_EQ(rig.Run(), 0);
        EXPECT_EQ(rig.processes.starts, Starts{"shell: " + c.address});
    }
}

TEST(FileRoadTest, FindsTheStartPageFile) {
    const struct {
        std::string keys;
        std::vector<std::u16string> files;
        Starts starts;
        int exitCode;
    } cases[] = {
        {"HtmlPath=C:\\out\nHtmlFile=index.html", {u"C:\\out\\index.html"}, {"shell: C:\\out\\index.html"}, 0},
        {"HtmlPath=C:\\out\\\nHtmlFile=index.html", {u"C:\\out\\index.html"}, {"shell: C:\\out\\index.html"}, 0},
        {"HtmlPath=C:\\out\nHtmlFile=D:\\x.html", {u"D:\\x.html"}, {"shell: D:\\x.html"}, 0},
        {"", {u"MyApp.html", u"C:\\Apps\\MyApp.html"}, {"shell: MyApp.html"}, 0},
        {"", {u"C:\\Apps\\MyApp.html"}, {"shell: C:\\Apps\\MyApp.html"}, 0},
        {"", {}, {}, 1},
        // The fall-back is the executable's own name, not HtmlFile, beside it.
        {"HtmlFile=page.html", {u"C:\\Apps\\page.html"}, {}, 1},
        {"HtmlPath=$(ProjectName)\\www", {u"MyApp\\www\\MyApp.html"}, {"shell: MyApp\\www\\MyApp.html"}, 0},
        // Macros are expanded after the combination: the absolute DefaultURL does not win.
        {"HtmlPath=C:\\out\nHtmlFile=$(DefaultURL)\nDefaultURL=D:\\x.html",
         {u"C:\\out\\D:\\x.html", u"D:\\x.html"},
         {"shell: C:\\out\\D:\\x.html"},
         0},
        {"HtmlPath=C:\\out\nURLParams=?a=1", {u"C:\\out\\MyApp.html"}, {"shell: C:\\out\\MyApp.html?a=1"}, 0},
        {"HtmlPath=C:\\missing\nURLParams=#top", {u"C:\\Apps\\MyApp.html"}, {"shell: C:\\Apps\\MyApp.html#top"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        LauncherRig rig;
        rig.Config("[Paths]\nBrowser=0\n" + c.keys + "\n");
        for (const std::u16string& file : c.files) rig.files.Add(file);
        EXPECT_EQ(rig.Run(), c.exitCode);
        EXPECT_EQ(rig.error, u"");
        EXPECT_EQ(rig.processes.starts, c.starts);
    }
}

TEST(FileRoadTest, InvalidCharactersInHtmlPathEndTheRun) {
    for (const char* keys : {"HtmlPath=\"C:\\out\"\nHtmlFile=index.html", "HtmlPath=\"C:\\out\""}) {
        SCOPED_TRACE(keys);
        LauncherRig rig;
        rig.Config(std::string("[Paths]\nBrowser=0\n") + keys + "\n");
        rig.files.Add(u"C:\\Apps\\MyApp.html");
        EXPECT_EQ(rig.Run(), 1);
        EXPECT_EQ(rig.error, u"Invalid characters in path");
        EXPECT_TRUE(rig.Escaped<EArgumentException>());
        EXPECT_TRUE(rig.processes.starts.empty());
    }
}

}  // namespace
}  // namespace brevant
