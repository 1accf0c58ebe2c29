#include "crashreport/delivery/attachment_plan.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/utf16_text.h"

namespace brevant::crashreport {
namespace {

// "file>sendAs>field" per item, members indented below their archive.
std::string Listing(const std::vector<PlannedAttachment>& plan) {
    std::string text;
    for (const PlannedAttachment& item : plan) {
        text += ToUtf8(item.file + u">" + item.sendAs + u">" + item.fieldName) + "\n";
        for (const ArchiveMember& member : item.members)
            text += "  " + ToUtf8(member.file + u">" + member.sendAs) + "\n";
    }
    return text;
}

class AttachmentPlanTest : public ::testing::Test {
protected:
    std::vector<PlannedAttachment> Plan(const CrashAttachments& attachments) {
        const AbsolutePathOf absolute = [](std::u16string_view name) {
            return name.substr(0, 2) == u"C:" ? std::u16string(name) : u"C:\\App\\" + std::u16string(name);
        };
        const FileExists exists = [this](std::u16string_view file) { return existing.count(std::u16string(file)) > 0; };
        return PlanAttachments(attachments, absolute, exists, u"C:\\Temp\\Brevant.Quarrex\\");
    }

    std::set<std::u16string> existing = {u"C:\\App\\bugreport.txt", u"C:\\Temp\\screenShot.png", u"C:\\Logs\\a.log",
                                         u"C:\\Logs\\b.log", u"C:\\Logs\\c.log"};
};

TEST_F(AttachmentPlanTest, MissingFilesAreLeftOutAndArchivesGroupCaseInsensitively) {
    CrashAttachments attachments;
    attachments.Add(u"bugreport.txt", u"bugreport.txt", u"", u"BugReport");
    attachments.Add(u"C:\\Temp\\screenShot.png", u"screenshot.png", u"Report.zip", u"ScreenShot");
    attachments.Add(u"missing.log", u"missing.log", u"", u"Missing");
    attachments.Add(u"C:\\Logs\\a.log", u"a.log", u"REPORT.ZIP", u"A");
    attachments.Add(u"C:\\Logs\\gone.log", u"gone.log", u"report.zip", u"Gone");
    attachments.Add(u"C:\\Logs\\b.log", u"b.log", u"other.zip", u"B");
    attachments.Add(u"C:\\Logs\\c.log", u"c.log", u"", u"C");
    EXPECT_EQ(Listing(Plan(attachments)),
              "C:\\App\\bugreport.txt>bugreport.txt>BugReport\n"
              "C:\\Temp\\Brevant.Quarrex\\Report.zip>Report.zip>Report.zip\n"
              "  C:\\Temp\\screenShot.png>screenshot.png\n"
              "  C:\\Logs\\a.log>a.log\n"
              "C:\\Temp\\Brevant.Quarrex\\other.zip>other.zip>other.zip\n"
              "  C:\\Logs\\b.log>b.log\n"
              "C:\\Logs\\c.log>c.log>C\n");
}

TEST_F(AttachmentPlanTest, AnArchiveStandsWhereItsFirstExistingMemberStands) {
    CrashAttachments attachments;
    attachments.Add(u"C:\\Logs\\gone.log", u"gone.log", u"logs.zip", u"Gone");
    attachments.Add(u"C:\\Logs\\c.log", u"c.log", u"", u"C");
    attachments.Add(u"C:\\Logs\\a.log", u"a.log", u"logs.zip", u"A");
    attachments.Add(u"C:\\Logs\\b.log", u"b.log", u"Logs.Zip", u"B");
    EXPECT_EQ(Listing(Plan(attachments)),
              "C:\\Logs\\c.log>c.log>C\n"
              "C:\\Temp\\Brevant.Quarrex\\logs.zip>logs.zip>logs.zip\n"
              "  C:\\Logs\\a.log>a.log\n"
              "  C:\\Logs\\b.log>b.log\n");

    CrashAttachments nothingThere;
    nothingThere.Add(u"C:\\Logs\\gone.log", u"gone.log", u"logs.zip", u"Gone");
    nothingThere.Add(u"absent.txt", u"absent.txt", u"", u"Absent");
    EXPECT_TRUE(Plan(nothingThere).empty());
}

}  // namespace
}  // namespace brevant::crashreport
