#include "symbols/calibration_anchors.h"

extern "C" {

__attribute__((noinline, used)) void BrevantCalibrationMarker() {
    __asm__ volatile("");
}

// Contents are reserved for the crash reporter's fixed settings; only the address matters here.
__attribute__((used)) const unsigned char BrevantFixedConfiguration[256] = {'B', 'R', 'V', 'C'};
}
