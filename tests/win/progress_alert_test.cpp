// The progress window as a real window: where it goes, what it ignores, its bar and its parent.

#include <gtest/gtest.h>

#include "crashreport/ui/win32/progress_alert.h"

#include <commctrl.h>
#include "test_windows.h"

namespace brevant::crashreport {
namespace {

RECT WorkArea() {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

int BarPosition(HWND window) {
    HWND bar = FindWindowExW(window, nullptr, PROGRESS_CLASSW, nullptr);
    return bar ? static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)) : -1;
}

TEST(ProgressAlert, ABackgroundBoxStacksInTheBottomRightCornerWithoutTakingTheFocus) {
    ColouredWindow active(10, 10, 50, 50, RGB(1, 2, 3));
    SetForegroundWindow(active.Handle());
    RefPtr<IProgressAlert> first = CreateProgressAlert(u"Sending bug report...", nullptr, u"");
    RefPtr<IProgressAlert> second = CreateProgressAlert(u"Sending bug report...", nullptr, u"");
    first->AddArea(100, u"Preparing attachments...");
    second->AddArea(100, u"Preparing attachments...");
    first->Show(nullptr, false);
    second->Show(nullptr, false);
    LetWindowsSettle(2);
    ASSERT_TRUE(first->Window());
    ASSERT_TRUE(second->Window());
    wchar_t className[64];
    GetClassNameW(first->Window(), className, 64);
    EXPECT_STREQ(className, L"prgrAlertWndClass");
    RECT a, b;
    GetWindowRect(first->Window(), &a);
    GetWindowRect(second->Window(), &b);
    const RECT work = WorkArea();
    EXPECT_EQ(a.right, work.right - 2);
    EXPECT_EQ(a.bottom, work.bottom - 2);
    EXPECT_EQ(b.bottom, a.top) << "the second box takes the slot above the first";
    EXPECT_NE(GetForegroundWindow(), first->Window());
    EXPECT_TRUE(GetWindowLongW(first->Window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    wchar_t title[64];
    GetWindowTextW(first->Window(), title, 64);
    EXPECT_STREQ(title, L"Sending bug report...");

    // The slot is free again once its box is gone.
    first->Close();
    RefPtr<IProgressAlert> third = CreateProgressAlert(u"third", nullptr, u"");
    third->Show(nullptr, false);
    RECT c;
    GetWindowRect(third->Window(), &c);
    EXPECT_EQ(c.bottom, work.bottom - 2);
}

TEST(ProgressAlert, TheBarFollowsTheWeightedAreasAndTheUserCannotCloseIt) {
    ColouredWindow parent(10, 10, 200, 100, RGB(9, 9, 9));
    RefPtr<IProgressAlert> alert = CreateProgressAlert(u"Information", nullptr, u"");
    alert->AddArea(100, u"first");
    alert->AddArea(300, u"");
    alert->Show(parent.Handle(), true);
    HWND window = alert->Window();
    ASSERT_TRUE(window);
    EXPECT_FALSE(IsWindowEnabled(parent.Handle())) << "the parent is disabled while the box is shown";
    alert->SetPosition(500);
    EXPECT_EQ(BarPosition(window), 125);
    alert->AreaDone();
    alert->SetPosition(500);
    EXPECT_EQ(BarPosition(window), 625);
    HWND label = FindWindowExW(window, nullptr, L"STATIC", nullptr);
    wchar_t text[32];
    GetWindowTextW(label, text, 32);
    EXPECT_STREQ(text, L"first") << "an area without text repeats the one before";
    alert->SetCurrentArea(2);
    EXPECT_EQ(BarPosition(window), 1000);

    SendMessageW(window, WM_CLOSE, 0, 0);
    SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    LetWindowsSettle(1);
    EXPECT_TRUE(IsWindow(window)) << "closing is only for the program";
    alert->Close();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(parent.Handle()));
}

TEST(ProgressAlert, ABoxWithoutAreasSaysPleaseWait) {
    RefPtr<IProgressAlert> alert = CreateProgressAlert(u"Information", nullptr, u"");
    alert->Show(nullptr, true);
    HWND label = FindWindowExW(alert->Window(), nullptr, L"STATIC", nullptr);
    wchar_t text[32];
    GetWindowTextW(label, text, 32);
    EXPECT_STREQ(text, L"Please wait...");
}

}  // namespace
}  // namespace brevant::crashreport
