#pragma once
// Layout of the uncompressed symbol store. All fields are 32-bit little-endian.
//
//   header      kHeaderSize bytes: magic, version, code start, code end, the four table
//               counts, string pool size, offset of the debug information text
//   units       one string offset each
//   symbols     start, name string offset, unit index (kNoUnit when none), by start
//   lines       start, line (0 or less: no line), unit index of the file that holds the
//               line (kNoUnit when none), by start
//   segments    start, unit index, by start
//   strings     NUL-terminated UTF-8 texts; the pool ends with a NUL
//
// Fixed-size records keep every lookup a binary search straight over the bytes.

#include <cstdint>

namespace brevant::symbols::layout {

inline constexpr std::uint32_t kMagic = 0x4D595342;  // "BSYM"
inline constexpr std::uint32_t kVersion = 2;

enum HeaderField : std::uint32_t {
    kMagicField,
    kVersionField,
    kCodeStartField,
    kCodeEndField,
    kUnitCountField,
    kSymbolCountField,
    kLineCountField,
    kSegmentCountField,
    kStringPoolSizeField,
    kDebugInfoField,
    kHeaderFieldCount
};

inline constexpr std::uint32_t kHeaderSize = kHeaderFieldCount * 4;
inline constexpr std::uint32_t kUnitRecordSize = 4;
inline constexpr std::uint32_t kSymbolRecordSize = 12;
inline constexpr std::uint32_t kLineRecordSize = 12;
inline constexpr std::uint32_t kSegmentRecordSize = 8;

}  // namespace brevant::symbols::layout
