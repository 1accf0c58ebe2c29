#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/win32/win32_platform.h"

namespace brevant {
namespace {

TEST(Win32ProcessStarterTest, ReportsWhetherTheProcessWasCreated) {
    Win32ProcessStarter starter;
    EXPECT_TRUE(starter.CreateProcessFromCommandLine(u"cmd.exe /c exit 0", ShowMode::Hidden));
    EXPECT_FALSE(starter.CreateProcessFromCommandLine(u"", ShowMode::Shown));
    EXPECT_FALSE(starter.CreateProcessFromCommandLine(u" http://host/page.html", ShowMode::Shown));
    EXPECT_FALSE(starter.CreateProcessFromCommandLine(u"C:\\nowhere\\browser.exe x", ShowMode::Shown));
}

}  // namespace
}  // namespace brevant
