#pragma once
// Pictures of the screen, of the program's own windows, and of BMP files.

#include <windows.h>

#include <string>
#include <vector>

#include "crashreport/delivery/win32/dib_bitmap.h"

namespace brevant::crashreport {

// The whole virtual screen, or (appOnly) the program's own windows with whatever covers them
// white; the cursor is drawn in. Null when there is nothing to capture.
RefPtr<INVBitmap> CaptureScreen(bool appOnly);

// Copies the area of the source DC into a new picture; with appOnly only the union of the
// process's visible top-level windows (minus the excluded ones) is taken.
RefPtr<INVBitmap> CaptureFromDC(HDC sourceDC, int x, int y, int width, int height, bool appOnly, bool drawCursor,
                                const std::vector<HWND>& exclude);

// Null for a missing or unreadable file.
RefPtr<INVBitmap> LoadBmpFile(const std::u16string& fileName);

}  // namespace brevant::crashreport
