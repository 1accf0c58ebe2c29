// Pictures of real windows under Wine's X11 driver: the whole screen, the program's own
// windows with another program's window over them, BMP files and zooming.

#include <gtest/gtest.h>

#include "crashreport/delivery/win32/screen_capture.h"
#include "scratch_folder.h"
#include "test_windows.h"

namespace brevant::crashreport {
namespace {

// The colour at (x, y) of a picture, counted from its top left corner.
COLORREF PixelAt(INVBitmap& picture, int x, int y) {
    auto& bitmap = static_cast<TINVBitmap&>(picture);
    GdiFlush();
    const PixelPicture pixels = bitmap.Picture();
    const std::uint8_t* p = pixels.bits + (static_cast<std::size_t>(pixels.height - 1 - y) * pixels.width + x) * 4;
    return RGB(p[2], p[1], p[0]);
}

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(ScreenCapture, TheWholeScreenShowsEveryWindowWhereItIs) {
    ColouredWindow red(100, 100, 200, 150, kRed);
    LetWindowsSettle();
    RefPtr<INVBitmap> screen = CaptureScreen(false);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->GetWidth(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_EQ(screen->GetHeight(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    EXPECT_EQ(PixelAt(*screen, 150, 150), kRed);
    EXPECT_EQ(PixelAt(*screen, 101, 101), kRed);
    EXPECT_NE(PixelAt(*screen, 99, 99), kRed);
}

TEST(ScreenCapture, AppOnlyTakesTheUnionOfOwnWindowsAndWhitensWhatIsNotThem) {
    ColouredWindow red(100, 100, 200, 150, kRed);
    ColouredWindow green(400, 300, 100, 100, kGreen);
    LetWindowsSettle();
    RefPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->GetWidth(), 400);
    EXPECT_EQ(own->GetHeight(), 300);
    EXPECT_EQ(PixelAt(*own, 0, 0), kRed);
    EXPECT_EQ(PixelAt(*own, 399, 299), kGreen);
    // Between the two windows lies the desktop, which is not the program's.
    EXPECT_EQ(PixelAt(*own, 250, 50), kWhite);
}

TEST(ScreenCapture, AnotherProgramsWindowOverOursComesOutWhite) {
    ColouredWindow red(100, 100, 200, 150, kRed);
    CoverWindow cover(150, 120, 60, 60, L"0000ff");
    ASSERT_TRUE(cover.Running());
    RefPtr<INVBitmap> whole = CaptureScreen(false);
    ASSERT_TRUE(whole);
    EXPECT_EQ(PixelAt(*whole, 170, 140), RGB(0, 0, 255)) << "the cover window is not on the screen";
    RefPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->GetWidth(), 200);
    EXPECT_EQ(PixelAt(*own, 70, 40), kWhite);
    EXPECT_EQ(PixelAt(*own, 10, 10), kRed);
    EXPECT_EQ(PixelAt(*own, 190, 140), kRed);
}

TEST(ScreenCapture, AppOnlyWithoutAVisibleOwnWindowGivesNoPicture) {
    ColouredWindow hidden(100, 100, 50, 50, kRed);
    ShowWindow(hidden.Handle(), SW_HIDE);
    LetWindowsSettle(2);
    EXPECT_FALSE(CaptureScreen(true));
}

TEST(ScreenCapture, ABmpWrittenAndReadBackKeepsSizeAndColours) {
    ColouredWindow red(100, 100, 30, 20, kRed);
    ColouredWindow green(130, 100, 10, 20, kGreen);
    LetWindowsSettle();
    RefPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    ScratchFolder folder;
    const std::u16string file = folder.WriteFile(u"picture.bmp", "");
    ASSERT_TRUE(own->SaveBmp(file));
    RefPtr<INVBitmap> loaded = LoadBmpFile(file);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetWidth(), 40);
    EXPECT_EQ(loaded->GetHeight(), 20);
    EXPECT_EQ(PixelAt(*loaded, 5, 5), kRed);
    EXPECT_EQ(PixelAt(*loaded, 35, 19), kGreen);
    EXPECT_FALSE(LoadBmpFile(folder.Path() + u"\\missing.bmp"));
}

TEST(ScreenCapture, ZoomKeepsTheAspectRatioAndThePng) {
    ColouredWindow red(100, 100, 100, 50, kRed);
    LetWindowsSettle();
    RefPtr<INVBitmap> own = CaptureScreen(true);
    ASSERT_TRUE(own);
    RefPtr<INVBitmap> bigger = RefPtr<INVBitmap>::Adopt(own->Zoom(200, 200));
    ASSERT_TRUE(bigger);
    EXPECT_EQ(bigger->GetWidth(), 200);
    EXPECT_EQ(bigger->GetHeight(), 100);
    EXPECT_EQ(PixelAt(*bigger, 100, 50), kRed);
    const std::string png = bigger->AsPngStr(TPngFormat::pf256Colors);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

}  // namespace
}  // namespace brevant::crashreport
