#pragma once
#include "crashreport/delivery/pixel_picture.h"
namespace brevant::crashreport {
struct ZoomSize { int width, height; };
inline ZoomSize ZoomTargetSize(int W, int H, int w, int h) {
    int w2 = h * W / H, h2 = w * H / W;
    if (h < h2 || w < w2) { if (H * 65536LL / h < W * 65536LL / w) h = h2; else w = w2; }
    return {w, h};
}
inline void ZoomMitchell(PixelPicture s, PixelPicture t) {
    for (int y = 0; y < t.height; ++y) for (int x = 0; x < t.width; ++x)
        for (int c = 0; c < 4; ++c) t.bits[(y * t.width + x) * 4 + c] = s.bits[((y * s.height / t.height) * s.width + x * s.width / t.width) * 4 + c];
}
}
