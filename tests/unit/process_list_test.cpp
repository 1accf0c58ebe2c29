#include "crashreport/report/process_list.h"

#include <gtest/gtest.h>

#include <map>

#include "base/little_endian.h"
#include "base/utf16_text.h"
#include "crashreport/report/priority_class_text.h"
#include "crashreport/report/process_entries.h"
#include "crashreport/report/process_records.h"

namespace brevant::crashreport {
namespace {

TEST(ProcessListTest, PriorityClassTexts) {
    const struct {
        std::int32_t priorityClass;
        const char* text;
    } cases[] = {
        {0, ""},
        {-1, ""},
        {0x20, "normal"},
        {0x40, "idle"},
        {0x80, "high"},
        {0x100, "realtime"},
        {0x4000, "below normal"},
        {0x8000, "above normal"},
        {0x10000, "$10000"},
        {0x21, "$21"},
        {-2, "$fffffffe"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToUtf8(PriorityClassText(c.priorityClass)), c.text) << c.priorityClass;
}

TEST(ProcessListTest, SessionColumnShownWhenAnySessionIsNotZero) {
    std::vector<ProcessEntry> entries = {
        {u"Idle", u"", 0x0, 0, -1, 0, 0},
        {u"System", u"", 0x4, 0, -1, 0, 0},
        {u"svchost.exe", u"C:\\Windows\\System32", 0x2f0, 0, 0, 0, 0},
        {u"explorer.exe", u"C:\\Windows", 0x1a4c, 1, 0x20, 512, 300},
        {u"app.exe", u"C:\\Apps\\Sample", 0x2230, 1, 0x20, 61, 38},
    };
    EXPECT_EQ(ToUtf8(ProcessListText(entries)),
              "0000 Idle         0 0   0          \r\n"
              "0004 System       0 0   0          \r\n"
              "02f0 svchost.exe  0 0   0          C:\\Windows\\System32\r\n"
              "1a4c explorer.exe 1 512 300 normal C:\\Windows\r\n"
              "2230 app.exe      1 61  38  normal C:\\Apps\\Sample");

    for (ProcessEntry& entry : entries) entry.sessionId = 0;
    entries[4].priorityClass = 0x10000;
    EXPECT_EQ(ToUtf8(ProcessListText(entries)),
              "0000 Idle         0   0          \r\n"
              "0004 System       0   0          \r\n"
              "02f0 svchost.exe  0   0          C:\\Windows\\System32\r\n"
              "1a4c explorer.exe 512 300 normal C:\\Windows\r\n"
              "2230 app.exe      61  38  $10000 C:\\Apps\\Sample");
}

TEST(ProcessListTest, WidthsFollowLargestIdAndSessionAndEmptyListIsEmpty) {
    const std::vector<ProcessEntry> entries = {
        {u"a", u"", 0x0, 0, -1, 0, 0},
        {u"b", u"", 0xfffffffe, 4294967295u, 0x40, 7, 12345},
    };
    EXPECT_EQ(ToUtf8(ProcessListText(entries)),
              "00000000 a 0          0 0          \r\n"
              "fffffffe b 4294967295 7 12345 idle ");
    EXPECT_EQ(ToUtf8(ProcessListText({{u"Idle", u"", 0, 0, -1, 0, 0}})), "0 Idle 0 0  ");
    EXPECT_EQ(ToUtf8(ProcessListText({})), "");
}

TEST(ProcessListTest, ImagePathsOfTheKernelBecomeUsablePaths) {
    const std::u16string system = u"C:\\windows\\system32";
    const struct {
        std::u16string path;
        const char* expected;
    } cases[] = {
        {u"\\SystemRoot\\System32\\smss.exe", "C:\\windows\\system32\\smss.exe"},
        {u"\\systemroot\\SYSTEM32\\drivers\\x.sys", "C:\\windows\\system32\\drivers\\x.sys"},
        {u"\\SystemRoot\\System32", "\\SystemRoot\\System32"},  // no "\" after the folder: not the prefix
        {u"\\SystemRoot\\explorer.exe", "\\SystemRoot\\explorer.exe"},
        {u"\\??\\C:\\x\\y.exe", "C:\\x\\y.exe"},
        {u"\\??\\\\??\\C:\\y.exe", "\\??\\C:\\y.exe"},  // removed once
        {u"x\\??\\C:\\y.exe", "x\\??\\C:\\y.exe"},
        {u"C:\\x\\y.exe", "C:\\x\\y.exe"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToUtf8(UsableImagePath(c.path, system)), c.expected) << ToUtf8(c.path);
}

// A running system whose processes answer from tables; records which ids were opened.
class FakeProcesses : public ProcessFacts {
public:
    std::map<std::uint32_t, std::u16string> moduleNames;
    std::map<std::uint32_t, ProcessDetails> details;
    mutable std::vector<std::uint32_t> opened;

    std::optional<std::u16string> MainModuleFileName(std::uint32_t id) const override {
        opened.push_back(id);
        auto found = moduleNames.find(id);
        if (found == moduleNames.end()) return std::nullopt;
        return found->second;
    }
    std::optional<ProcessDetails> Details(std::uint32_t id) const override {
        opened.push_back(id);
        auto found = details.find(id);
        if (found == details.end()) return std::nullopt;
        return found->second;
    }
    std::u16string SystemDirectory() const override { return u"C:\\WINDOWS\\system32"; }
};

TEST(ProcessListTest, EntriesFromRecords) {
    FakeProcesses system;
    system.moduleNames = {
        {0x1a4c, u"C:\\Windows\\explorer.exe"}, {0x1b0, u"\\SystemRoot\\System32\\smss.exe"}, {0x2f0, u""}};
    system.details = {{0x1a4c, {0x20, 512, 300}}, {0x1b0, {0x80, 0, 0}}, {0x2f0, {0x10000, 1, 2}}};
    const std::vector<ProcessRecord> records = {
        {false, u"", 0, 0},
        {true, u"System", 4, 0},
        {true, u"smss.exe", 0x1b0, 0},
        {true, u"svchost.exe", 0x2f0, 0},
        {true, u"explorer.exe", 0x1a4c, 1},
    };
    const std::vector<ProcessEntry> entries = MakeProcessEntries(records, system);
    ASSERT_EQ(entries.size(), 5u);
    // The idle record is named "Idle", and process id 0 is never opened.
    EXPECT_EQ(ToUtf8(entries[0].fileName), "Idle");
    EXPECT_EQ(ToUtf8(entries[0].folder), "");
    EXPECT_EQ(entries[0].priorityClass, -1);
    EXPECT_EQ(std::count(system.opened.begin(), system.opened.end(), 0u), 0);
    // A process that cannot be opened keeps the record's name, no priority and no counts.
    EXPECT_EQ(ToUtf8(entries[1].fileName), "System");
    EXPECT_EQ(entries[1].processId, 4u);
    EXPECT_EQ(entries[1].priorityClass, -1);
    EXPECT_EQ(entries[1].gdiObjects, 0u);
    EXPECT_EQ(ToUtf8(entries[2].fileName), "smss.exe");
    EXPECT_EQ(ToUtf8(entries[2].folder), "C:\\WINDOWS\\system32");
    EXPECT_EQ(entries[2].priorityClass, 0x80);
    // An empty module name keeps the record's name, but the details still come.
    EXPECT_EQ(ToUtf8(entries[3].fileName), "svchost.exe");
    EXPECT_EQ(ToUtf8(entries[3].folder), "");
    EXPECT_EQ(entries[3].priorityClass, 0x10000);
    EXPECT_EQ(entries[3].userObjects, 2u);
    EXPECT_EQ(ToUtf8(entries[4].folder), "C:\\Windows");
    EXPECT_EQ(entries[4].sessionId, 1u);
    EXPECT_EQ(entries[4].gdiObjects, 512u);
    EXPECT_EQ(entries[4].userObjects, 300u);
}

// Process records laid out as the system lays them, in a buffer that lies at address base.
class RecordBuffer {
public:
    RecordBuffer(std::size_t pointerSize, std::uint64_t base)
        : layout_(ProcessRecordLayoutFor(pointerSize)), base_(base) {}

    // Appends a record and returns its offset; the name goes to the end of the buffer.
    std::size_t Add(const std::u16string& name, std::uint64_t processId, std::uint32_t sessionId,
                    std::uint32_t recordSize = 0) {
        const std::size_t at = bytes.size();
        bytes.resize(at + std::max<std::size_t>(recordSize, layout_.minimumSize + 2 * name.size()), 0);
        const std::size_t nameAt = at + layout_.minimumSize;
        for (std::size_t i = 0; i < name.size(); ++i) {
            bytes[nameAt + 2 * i] = static_cast<std::uint8_t>(name[i]);
            bytes[nameAt + 2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
        }
        bytes[at + layout_.imageNameLength] = static_cast<std::uint8_t>(2 * name.size());
        WritePointer(at + layout_.imageNameBuffer, name.empty() ? 0 : base_ + nameAt);
        WritePointer(at + layout_.processId, processId);
        WriteU32(&bytes[at + layout_.sessionId], sessionId);
        if (last_) WriteU32(&bytes[*last_], static_cast<std::uint32_t>(at - *last_));
        last_ = at;
        return at;
    }

    void WritePointer(std::size_t at, std::uint64_t value) {
        if (layout_.pointerSize == 8) {
            WriteU64(&bytes[at], value);
        } else {
            WriteU32(&bytes[at], static_cast<std::uint32_t>(value));
        }
    }

    std::vector<std::uint8_t> bytes;

private:
    ProcessRecordLayout layout_;
    std::uint64_t base_;
    std::optional<std::size_t> last_;
};

TEST(ProcessListTest, RecordsAreReadAlongTheirChainInBothPointerWidths) {
    for (const std::size_t pointerSize : {std::size_t{4}, std::size_t{8}}) {
        SCOPED_TRACE(pointerSize);
        const std::uint64_t base = pointerSize == 8 ? 0x1F0000000ull : 0x00A30000ull;
        RecordBuffer buffer(pointerSize, base);
        buffer.Add(u"", 0, 0);
        buffer.Add(u"System", 4, 0, 300);
        buffer.Add(u"app.exe", 0x2230, 3);
        const std::vector<ProcessRecord> records = ReadProcessRecords(buffer.bytes, base, pointerSize);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_FALSE(records[0].hasImageName);
        EXPECT_TRUE(records[1].hasImageName);
        EXPECT_EQ(ToUtf8(records[1].imageName), "System");
        EXPECT_EQ(records[1].processId, 4u);
        EXPECT_EQ(ToUtf8(records[2].imageName), "app.exe");
        EXPECT_EQ(records[2].processId, 0x2230u);
        EXPECT_EQ(records[2].sessionId, 3u);
    }
}

TEST(ProcessListTest, RecordsThatLeadOutOfTheBufferEndTheWalk) {
    RecordBuffer buffer(8, 0x10000);
    buffer.Add(u"a.exe", 8, 0);
    const std::size_t second = buffer.Add(u"b.exe", 12, 0);
    // The second record's name points before the buffer, and its next offset beyond its end.
    buffer.WritePointer(second + ProcessRecordLayoutFor(8).imageNameBuffer, 0x100);
    WriteU32(&buffer.bytes[second], 0x7FFFFFF0);
    const std::vector<ProcessRecord> records = ReadProcessRecords(buffer.bytes, 0x10000, 8);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[1].hasImageName);
    EXPECT_EQ(ToUtf8(records[1].imageName), "");

    // A buffer too short for one record holds none.
    buffer.bytes.resize(50);
    EXPECT_TRUE(ReadProcessRecords(buffer.bytes, 0x10000, 8).empty());
}

TEST(ProcessListTest, BufferSizesAreTwiceTheReportedSizeElseDoublingTo4MiB) {
    EXPECT_EQ(ProcessBufferSizes(70000), (std::vector<std::uint32_t>{140000}));
    EXPECT_EQ(ProcessBufferSizes(0),
              (std::vector<std::uint32_t>{0x20000, 0x40000, 0x80000, 0x100000, 0x200000, 0x400000}));
}

}  // namespace
}  // namespace brevant::crashreport
