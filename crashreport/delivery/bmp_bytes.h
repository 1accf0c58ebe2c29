#pragma once
#include <string>
#include <cstring>
#include "crashreport/delivery/pixel_picture.h"
namespace brevant::crashreport {
inline std::string AsBmpBytes(PixelPicture p) {
    std::string s(54, '\0');
    const std::uint32_t image = p.width * p.height * 4, size = image + 54, offset = 54, header = 40;
    s[0] = 'B'; s[1] = 'M'; std::memcpy(&s[2], &size, 4); std::memcpy(&s[10], &offset, 4); std::memcpy(&s[14], &header, 4);
    std::memcpy(&s[18], &p.width, 4); std::memcpy(&s[22], &p.height, 4); s[26] = 1; s[28] = 32; std::memcpy(&s[34], &image, 4);
    s.append(reinterpret_cast<const char*>(p.bits), image);
    return s;
}
}
