#include "crashreport/delivery/mailto_command.h"

#include <gtest/gtest.h>

#include <string>

#include "base/utf16_text.h"
#include "crashreport/delivery/mail_recipients.h"

namespace brevant::crashreport {
namespace {

TEST(MailRecipientsTest, NormalisedListAndCount) {
    const struct {
        std::u16string list;
        std::u16string text;
        std::size_t count;
    } cases[] = {
        {u"", u"", 0},
        {u"  \t ", u"", 0},
        {u"support@brevant.example", u"support@brevant.example", 1},
        {u" a@x.org ; b@y.org ,c@z.org ", u"a@x.org,b@y.org,c@z.org", 3},
        {u"a@x.org;b@y.org", u"a@x.org,b@y.org", 2},
        // Empty items would become recipients without an address.
        {u"a@x.org,,b@y.org", u"a@x.org,b@y.org", 2},
        {u";a@x.org; ;", u"a@x.org", 1},
        {u",;,", u"", 0},
        {u"Jane Doe <jane@x.org> , bob@y.org", u"Jane Doe <jane@x.org>,bob@y.org", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.list));
        const RecipientList list = NormalizeRecipientList(c.list);
        EXPECT_EQ(list.text, c.text);
        EXPECT_EQ(list.count, c.count);
    }
}

TEST(MailRecipientsTest, MapiItemsWithAndWithoutAngleBrackets) {
    const std::vector<MapiRecipient> recipients =
        MapiRecipients(u"Jane Doe <jane@x.org>; bob@y.org,,<only@z.org>, Broken <open@w.org ,J\u00F6rg<j@v.org>");
    const struct {
        std::u16string name, address;
    } expected[] = {
        {u"Jane Doe", u"SMTP:jane@x.org"}, {u"bob@y.org", u"SMTP:bob@y.org"}, {u"only@z.org", u"SMTP:only@z.org"},
        {u"Broken", u"SMTP:open@w.org"},   {u"J\u00F6rg", u"SMTP:j@v.org"},
    };
    ASSERT_EQ(recipients.size(), std::size(expected));
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ToUtf8(recipients[i].name), ToUtf8(expected[i].name));
        EXPECT_EQ(ToUtf8(recipients[i].address), ToUtf8(expected[i].address));
    }
    EXPECT_TRUE(MapiRecipients(u" ; ").empty());
}

TEST(MailtoCommandTest, PercentEscapingKeepsOnlyLettersDigitsDotAndAt) {
    const struct {
        std::u16string text;
        std::u16string escaped;
    } cases[] = {
        {u"", u""},
        {u"AZaz09.@", u"AZaz09.@"},
        {u"bug report", u"bug%20report"},
        {u"line\r\nnext", u"line%0D%0Anext"},
        {u"caf\u00E9", u"caf%C3%A9"},
        {u"-_~", u"%2D%5F%7E"},
        {u"a+b=c&d?e%f/g,h;i", u"a%2Bb%3Dc%26d%3Fe%25f%2Fg%2Ch%3Bi"},
        {u"\u20AC", u"%E2%82%AC"},
        {u"\U0001F600", u"%F0%9F%98%80"},
        {std::u16string(1, u'\0') + u"\x7F", u"%00%7F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        EXPECT_EQ(ToUtf8(PercentEscapeForMailto(c.text)), ToUtf8(c.escaped));
    }
}

TEST(MailtoCommandTest, UrlPartsInOrder) {
    EXPECT_EQ(ToUtf8(MailtoUrl(u"support@brevant.example", u"bug report", u"please find\r\nit")),
              "mailto:support@brevant.example?subject=bug%20report&body=please%20find%0D%0Ait");
    EXPECT_EQ(ToUtf8(MailtoUrl(u"", u"", u"")), "mailto:?subject=&body=");
}

TEST(MailtoCommandTest, UrlReplacesEveryPlaceholderOrIsAppended) {
    const std::string url = "mailto:a@x.org?subject=s&body=b";
    const struct {
        std::u16string command;
        std::string line;
    } cases[] = {
        {u"\"C:\\Mail\\mail.exe\" -compose \"%1\"", "\"C:\\Mail\\mail.exe\" -compose \"" + url + "\""},
        {u"mail.exe %1 --again=%1", "mail.exe " + url + " --again=" + url},
        {u"%1%1", url + url},
        {u"C:\\Mail\\mail.exe", "C:\\Mail\\mail.exe " + url},
        {u"C:\\Mail\\mail.exe /m ", "C:\\Mail\\mail.exe /m " + url},
        // Only "%1" is a placeholder; other escapes of the command stay as they are.
        {u"mail.exe %2 %%1", "mail.exe %2 %" + url},
        {u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.command));
        EXPECT_EQ(ToUtf8(MailtoCommandLine(c.command, u"a@x.org", u"s", u"b")), c.line);
    }
}

TEST(MailtoCommandTest, OutlookGetsSemicolonsBetweenAddresses) {
    const std::u16string addresses = u" a@x.org ; b@y.org,, c@z.org ";
    EXPECT_EQ(ToUtf8(MailtoCommandLine(u"\"C:\\Office\\outlook.EXE\" -c IPM.Note /m \"%1\"", addresses, u"", u"")),
              "\"C:\\Office\\outlook.EXE\" -c IPM.Note /m \"mailto:a@x.org%3Bb@y.org%3Bc@z.org?subject=&body=\"");
    EXPECT_EQ(ToUtf8(MailtoCommandLine(u"thunderbird.exe -compose \"%1\"", addresses, u"", u"")),
              "thunderbird.exe -compose \"mailto:a@x.org%2Cb@y.org%2Cc@z.org?subject=&body=\"");
}

// A body of plain letters followed by spaces, each space becoming "%20": with the letters
// chosen so that the first escape starts at escapeStart of the command line.
std::u16string LineWithEscapeAt(std::size_t escapeStart) {
    const std::size_t prefix = MailtoCommandLine(u"mail.exe", u"a@x.org", u"s", u"").size();
    const std::u16string body = std::u16string(escapeStart - prefix, u'a') + std::u16string(100, u' ');
    return MailtoCommandLine(u"mail.exe", u"a@x.org", u"s", body);
}

TEST(MailtoCommandTest, LongLinesAreCutWithoutSplittingAnEscape) {
    const struct {
        std::size_t escapeStart;
        std::size_t length;
        std::u16string ending;
    } cases[] = {
        {kMaxCommandLineLength - 1, kMaxCommandLineLength - 1, u"aa"},  // "%" would be the last unit
        {kMaxCommandLineLength - 2, kMaxCommandLineLength - 2, u"aa"},  // "%2" would end the line
        {kMaxCommandLineLength - 3, kMaxCommandLineLength, u"a%20"},    // "%20" fits exactly
        {kMaxCommandLineLength, kMaxCommandLineLength, u"aa"},          // the escape lies beyond the cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.escapeStart);
        const std::u16string line = LineWithEscapeAt(c.escapeStart);
        ASSERT_EQ(line.size(), c.length);
        EXPECT_EQ(ToUtf8(line.substr(line.size() - c.ending.size())), ToUtf8(c.ending));
    }

    // A line of exactly the limit is not touched; one more unit is cut.
    const std::size_t prefix = MailtoCommandLine(u"mail.exe", u"a@x.org", u"s", u"").size();
    const std::u16string exact = std::u16string(kMaxCommandLineLength - prefix, u'b');
    EXPECT_EQ(MailtoCommandLine(u"mail.exe", u"a@x.org", u"s", exact).size(), kMaxCommandLineLength);
    const std::u16string longer = MailtoCommandLine(u"mail.exe", u"a@x.org", u"s", exact + u"c");
    EXPECT_EQ(longer.size(), kMaxCommandLineLength);
    EXPECT_EQ(longer.back(), u'b');
}

TEST(MailtoCommandTest, ManyPlaceholdersWithALongUrlStillEndAtTheLimit) {
    const std::u16string command = u"m.exe %1 %1 %1 %1 %1 %1 %1 %1 %1 %1";
    const std::u16string body(20000, u'\u00E9');  // 60000 units once escaped
    const std::u16string line = MailtoCommandLine(command, u"a@x.org", u"s", body);
    ASSERT_EQ(line.size(), kMaxCommandLineLength);
    // Every escape of "é" is three units from the body's start, so the cut must land on one.
    const std::size_t bodyStart = line.find(u"&body=") + 6;
    EXPECT_EQ((line.size() - bodyStart) % 3, 0u);
    EXPECT_EQ(line.substr(line.size() - 6), u"%C3%A9");
}

}  // namespace
}  // namespace brevant::crashreport
