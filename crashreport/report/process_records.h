#pragma once
// The process records the system hands out for its process-information query, read from the
// returned bytes. The records are chained by their offset to the next one; each holds its image
// name as a counted string whose characters lie elsewhere in the same buffer.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace brevant::crashreport {

struct ProcessRecord {
    bool hasImageName = false;  // the record's image name has a length
    std::u16string imageName;   // empty when its characters lie outside the buffer
    std::uint32_t processId = 0;
    std::uint32_t sessionId = 0;
};

// Record fields as they lie for a process whose pointers are pointerSize (4 or 8) bytes wide.
struct ProcessRecordLayout {
    std::size_t imageNameLength, imageNameBuffer, processId, sessionId, minimumSize;
    std::size_t pointerSize;
};
ProcessRecordLayout ProcessRecordLayoutFor(std::size_t pointerSize);

// The records from the first on, until one's next offset is 0 or leads out of the buffer.
// bufferAddress is where the buffer lies, which the image names' pointers refer to.
std::vector<ProcessRecord> ReadProcessRecords(std::span<const std::uint8_t> buffer, std::uint64_t bufferAddress,
                                              std::size_t pointerSize);

// The buffer sizes to query with, in order: twice the size the system asked for, or, when it
// named none, doubling sizes from 128 KiB up to 4 MiB.
std::vector<std::uint32_t> ProcessBufferSizes(std::uint32_t reportedSize);

}  // namespace brevant::crashreport
