#pragma once
// ZIP archives for mail attachments: every entry deflated, names in UTF-8. Without ZIP64,
// so archives stay readable by every unzip tool; what does not fit is refused.

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::crashreport {

struct ZipEntry {
    std::string utf8Name;
    std::string data;
    std::uint16_t dosTime = 0, dosDate = 0;
};

// The whole archive: local headers with the deflated data, the central directory and the end
// record. Empty when it cannot be written without ZIP64 (more than 65535 entries, a name
// longer than 65535 bytes, or a size or offset that does not fit into 32 bits).
std::string ZipArchiveBytes(const std::vector<ZipEntry>& entries);

struct DosStamp {
    std::uint16_t time = 0;  // hour << 11 | minute << 5 | second / 2
    std::uint16_t date = 0;  // (year - 1980) << 9 | month << 5 | day
};

// A local date and time in the form ZIP headers store it; dates before 1980 become 1980-01-01
// 00:00:00 and dates after 2107 the last moment of 2107, which is all the form can hold.
DosStamp DosDateTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace brevant::crashreport
