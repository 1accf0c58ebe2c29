#include "crashreport/report/process_records.h"

#include "base/little_endian.h"

namespace brevant::crashreport {

namespace {

std::uint64_t ReadPointer(const std::uint8_t* bytes, std::size_t pointerSize) {
    return pointerSize == 8 ? ReadU64(bytes) : ReadU32(bytes);
}

std::u16string ReadImageName(std::span<const std::uint8_t> buffer, std::uint64_t bufferAddress,
                             std::uint64_t nameAddress, std::size_t lengthInBytes) {
    if (nameAddress < bufferAddress) return {};
    const std::uint64_t offset = nameAddress - bufferAddress;
    if (offset > buffer.size() || lengthInBytes > buffer.size() - offset) return {};
    std::u16string name(lengthInBytes / 2, u'\0');
    for (std::size_t index = 0; index < name.size(); ++index) name[index] = ReadU16(&buffer[offset + 2 * index]);
    return name;
}

}  // namespace

ProcessRecordLayout ProcessRecordLayoutFor(std::size_t pointerSize) {
    // Both start with the same 56 bytes of counters and times; the counted string, the priority
    // and the ids follow at pointer alignment.
    if (pointerSize == 8) return {56, 64, 80, 100, 104, 8};
    return {56, 60, 68, 80, 84, 4};
}

std::vector<ProcessRecord> ReadProcessRecords(std::span<const std::uint8_t> buffer, std::uint64_t bufferAddress,
                                              std::size_t pointerSize) {
    const ProcessRecordLayout layout = ProcessRecordLayoutFor(pointerSize);
    std::vector<ProcessRecord> records;
    records.reserve(64);
    std::size_t offset = 0;
    while (buffer.size() >= layout.minimumSize && offset <= buffer.size() - layout.minimumSize) {
        const std::uint8_t* record = &buffer[offset];
        ProcessRecord entry;
        const std::uint16_t nameLength = ReadU16(record + layout.imageNameLength);
        entry.hasImageName = nameLength != 0;
        if (entry.hasImageName) {
            entry.imageName = ReadImageName(buffer, bufferAddress,
                                            ReadPointer(record + layout.imageNameBuffer, pointerSize), nameLength);
        }
        // Ids are handle-sized; only their low 32 bits are ever used.
        entry.processId = static_cast<std::uint32_t>(ReadPointer(record + layout.processId, pointerSize));
        entry.sessionId = ReadU32(record + layout.sessionId);
        records.push_back(std::move(entry));
        const std::uint32_t next = ReadU32(record);
        if (next == 0 || next > buffer.size() - offset) break;
        offset += next;
    }
    return records;
}

std::vector<std::uint32_t> ProcessBufferSizes(std::uint32_t reportedSize) {
    if (reportedSize > 0x7FFFFFFF) return {};  // no buffer of twice that size can be had
    if (reportedSize != 0) return {reportedSize * 2};
    std::vector<std::uint32_t> sizes;
    for (std::uint32_t size = 128 * 1024; size <= 4 * 1024 * 1024; size *= 2) sizes.push_back(size);
    return sizes;
}

}  // namespace brevant::crashreport
