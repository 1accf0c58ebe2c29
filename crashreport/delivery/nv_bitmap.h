#pragma once
// A picture as the crash reporter holds it: the screenshot, and the images of forms. On
// Windows it is a 32-bit DIB section; the encodings are portable.

#include <cstdint>
#include <string>

#include "base/reference_counted.h"
#include "crashreport/delivery/png_format.h"

namespace brevant::crashreport {

class INVBitmap : public IReferenceCounted {
public:
    virtual std::int32_t GetWidth() = 0;
    virtual std::int32_t GetHeight() = 0;
    // Copies the whole picture to (x, y) of the device context.
    virtual bool Draw(void* dc, std::int32_t x, std::int32_t y) = 0;
    // The bytes of a BMP file.
    virtual std::string AsBmpStr() = 0;
    // The bytes of a palette PNG; empty when none could be made. A gray format grays the
    // picture itself.
    virtual std::string AsPngStr(TPngFormat format) = 0;
    virtual bool SaveBmp(const std::u16string& bmpFile) = 0;
    virtual bool SavePng(const std::u16string& pngFile, TPngFormat format) = 0;
    // A new picture that fits into width × height with the aspect ratio kept, with one
    // reference for the caller; null when it cannot be made.
    virtual INVBitmap* Zoom(std::int32_t width, std::int32_t height) = 0;

protected:
    ~INVBitmap() = default;
};

}  // namespace brevant::crashreport
