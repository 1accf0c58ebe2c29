#include "crashreport/delivery/win32/dib_bitmap.h"

#include "crashreport/delivery/bmp_bytes.h"
#include "crashreport/delivery/png_encoder.h"
#include "crashreport/delivery/zoom.h"
#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

RefPtr<TINVBitmap> TINVBitmap::Create(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return nullptr;
    RefPtr<TINVBitmap> bitmap(new TINVBitmap);
    TINVBitmap& b = *bitmap;
    b.FBIH.biSize = sizeof(BITMAPINFOHEADER);
    b.FBIH.biWidth = width;
    b.FBIH.biHeight = height;
    b.FBIH.biPlanes = 1;
    b.FBIH.biBitCount = 32;
    b.FBIH.biCompression = BI_RGB;
    b.FBIH.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    b.FDC = Gui().CreateCompatibleDC(nullptr);
    if (!b.FDC) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader = b.FBIH;
    b.FBmpH = Gui().CreateDIBSection(b.FDC, &info, DIB_RGB_COLORS, &b.FBits, nullptr, 0);
    if (!b.FBmpH || !b.FBits) return nullptr;
    b.FOldBmpH = Gui().SelectObject(b.FDC, b.FBmpH);
    return bitmap;
}

TINVBitmap::~TINVBitmap() {
    if (FDC && FOldBmpH) Gui().SelectObject(FDC, FOldBmpH);
    if (FDC) Gui().DeleteDC(FDC);
    if (FBmpH) Gui().DeleteObject(FBmpH);
}

bool TINVBitmap::Draw(void* dc, std::int32_t x, std::int32_t y) {
    return Gui().BitBlt(static_cast<HDC>(dc), x, y, GetWidth(), GetHeight(), FDC, 0, 0, SRCCOPY) != FALSE;
}

std::string TINVBitmap::AsBmpStr() {
    Gui().GdiFlush();  // GDI may still be drawing into the pixels
    return AsBmpBytes(Picture());
}

std::string TINVBitmap::AsPngStr(TPngFormat format) {
    Gui().GdiFlush();
    return AsPngBytes(Picture(), format);
}

bool TINVBitmap::SaveBmp(const std::u16string& bmpFile) {
    return WriteWholeFile(bmpFile, AsBmpStr());
}

bool TINVBitmap::SavePng(const std::u16string& pngFile, TPngFormat format) {
    const std::string png = AsPngStr(format);
    return !png.empty() && WriteWholeFile(pngFile, png);
}

INVBitmap* TINVBitmap::Zoom(std::int32_t width, std::int32_t height) {
    const PictureSize size = ZoomTargetSize(GetWidth(), GetHeight(), width, height);
    RefPtr<TINVBitmap> zoomed = Create(size.width, size.height);
    if (!zoomed) return nullptr;
    Gui().GdiFlush();
    ZoomMitchell(Picture(), zoomed->Picture());
    return zoomed.Detach();
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes) {
    const auto* name = reinterpret_cast<const wchar_t*>(path.c_str());
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                          written == bytes.size();
    CloseHandle(file);
    if (!complete) DeleteFileW(name);
    return complete;
}

}  // namespace brevant::crashreport
