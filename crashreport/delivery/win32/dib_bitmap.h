#pragma once
// The crash reporter's pictures on Windows: a 32-bit DIB section selected into a memory DC of
// its own, so that GDI can draw into it and the encoders can read its pixels in place.

#include <windows.h>

#include "base/reference_counted_object.h"
#include "crashreport/delivery/nv_bitmap.h"
#include "crashreport/delivery/pixel_picture.h"

namespace brevant::crashreport {

inline constexpr InterfaceId kNVBitmapId = {
    0x5B2C7A10, 0x4E3D, 0x4F61, {0x9A, 0x27, 0x3C, 0x1D, 0x88, 0x54, 0x6E, 0x02}};

class TINVBitmap final : public ReferenceCountedObject<INVBitmap, kNVBitmapId> {
public:
    // Null when the DC or the DIB section cannot be made.
    static RefPtr<TINVBitmap> Create(std::int32_t width, std::int32_t height);

    std::int32_t GetWidth() override { return FBIH.biWidth; }
    std::int32_t GetHeight() override { return FBIH.biHeight; }
    bool Draw(void* dc, std::int32_t x, std::int32_t y) override;
    std::string AsBmpStr() override;
    std::string AsPngStr(TPngFormat format) override;
    bool SaveBmp(const std::u16string& bmpFile) override;
    bool SavePng(const std::u16string& pngFile, TPngFormat format) override;
    INVBitmap* Zoom(std::int32_t width, std::int32_t height) override;

    HDC DC() const { return FDC; }
    PixelPicture Picture() { return {FBIH.biWidth, FBIH.biHeight, static_cast<std::uint8_t*>(FBits)}; }

private:
    TINVBitmap() = default;
    ~TINVBitmap() override;

    BITMAPINFOHEADER FBIH{};
    HBITMAP FBmpH = nullptr;
    HGDIOBJ FOldBmpH = nullptr;
    HDC FDC = nullptr;
    void* FBits = nullptr;
};

// Writes the bytes in one go; a file that could not be written completely is deleted.
bool WriteWholeFile(const std::u16string& path, const std::string& bytes);

}  // namespace brevant::crashreport
