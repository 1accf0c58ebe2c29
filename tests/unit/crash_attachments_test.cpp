#include "crashreport/report/crash_attachments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/utf16_text.h"

namespace brevant::crashreport {
namespace {

// "file>sendAs>zip>field" per attachment, one per line, so that a shifted field shows.
std::string Listing(const CrashAttachments& attachments) {
    std::string text;
    for (const CrashAttachment& a : attachments.Items()) {
        text += ToUtf8(a.file + u">" + a.sendAs + u">" + a.zipName + u">" + a.fieldName) + "\n";
    }
    return text;
}

TEST(CrashAttachmentsTest, AddAttachsEntriesFillFieldsInOrder) {
    const struct {
        std::u16string text;
        std::string expected;
    } cases[] = {
        {u"", ""},
        {u"C:\\logs\\app.log>app.log>logs.zip>LogFile", "C:\\logs\\app.log>app.log>logs.zip>LogFile\n"},
        {u"C:\\logs\\app.log", "C:\\logs\\app.log>>>\n"},
        {u"C:\\logs\\app.log>app.txt", "C:\\logs\\app.log>app.txt>>\n"},
        {u"C:\\logs\\app.log>>logs.zip", "C:\\logs\\app.log>>logs.zip>\n"},
        {u"settings.ini>>>Settings", "settings.ini>>>Settings\n"},
        {u"a.log>a>z.zip>f>surplus", "a.log>a>z.zip>f\n"},
        {u"C:\\a.log>a.log|D:\\b.dmp>crash.dmp>dumps.zip>Dump",
         "C:\\a.log>a.log>>\nD:\\b.dmp>crash.dmp>dumps.zip>Dump\n"},
        {u"|a.log||>orphan>x.zip|b.log|", "a.log>>>\nb.log>>>\n"},
        {u"C:\\Users\\J\u00F6rg\\trace.log>trace \u00E4.log",
         "C:\\Users\\J\xC3\xB6rg\\trace.log>trace \xC3\xA4.log>>\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        CrashAttachments attachments;
        FillFromAddAttachs(attachments, c.text);
        EXPECT_EQ(Listing(attachments), c.expected);
    }
}

}  // namespace
}  // namespace brevant::crashreport
