#pragma once
// Two fixed points of the module that the calibration record measures from: a marker
// routine in the code and the fixed configuration block in the data. Linked into every
// program that carries a symbol store (they come as an object library, so the linker
// keeps them even though nothing calls them).

extern "C" {
void BrevantCalibrationMarker();
extern const unsigned char BrevantFixedConfiguration[256];
}
