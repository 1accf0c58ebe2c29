#pragma once
// The thread blocks of a report: which threads it shows and in which order, each block's
// title, its text until the stack is known, and its completed text from the stack walk.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "crashreport/core/report_platform.h"
#include "crashreport/report/crash_fields.h"

namespace brevant::crashreport {

struct TThreadStack {
    std::uint32_t tid = 0;
    std::u16string threadName;  // the block's section title
    std::uintptr_t exceptAddr = 0;
    bool exceptThread = false;
    bool extException = false;
    std::uintptr_t stackBottom = 0;
    std::uintptr_t stackTop = 0;
    std::uintptr_t creatorAddr = 0;
    std::uintptr_t ebp = 0;
    bool BcbTermination = false;
    std::string preparedStack;
    TStackTrace callstack;
    std::uint32_t creatorTid = 0;
    int innerExceptNo = 0;
    std::u16string innerExceptClass;
    std::u16string innerExceptMessage;
};

// What one block of the exception's thread (or an inner exception of it) is made from.
struct ExceptionBlockFacts {
    std::uint32_t threadId = 0;
    bool extException = false;
    bool bcbTermination = false;
    int innerLevel = 0;
    std::u16string innerClass, innerMessage;
    const std::vector<std::uint8_t>* context = nullptr;  // the report's (outer) exception context
    std::uintptr_t stackPointer = 0, framePointer = 0;   // recorded with the exception
    std::string preparedStack;
    std::uintptr_t exceptAddr = 0;
};

struct ThreadBlockSettings {
    bool listThreads = true;
    bool hideUgly = true;
    bool showRelAddrs = true;
    bool showRelLines = true;
};

// A completed block: its text and what the report's crc and disassembly are made of.
struct ThreadReport {
    std::u16string text;
    std::uint32_t firstValue = 0;
    std::uint32_t blockCrc = 0;
    bool hasLine = false;
    std::uintptr_t functionStart = 0;
    std::uintptr_t codeAddress = 0;
    std::uintptr_t innermostAddr = 0;
    std::vector<std::u16string> debugInfoPairs;
};

class ThreadBlocks {
public:
    ThreadBlocks(ReportPlatform& platform, ThreadBlockSettings settings) : platform_(platform), settings_(settings) {}

    // One block of the exception's thread (or an inner level of it); adds its section.
    void AddExceptionBlock(const ExceptionBlockFacts& facts, std::vector<CrashField>& sections);
    // One block of a thread without exception; internal threads get none.
    void AddThreadBlock(std::uint32_t threadId, bool includeInternal, std::vector<CrashField>& sections);

    // Keeps only the leading blocks of the exception's thread (the crashed thread and its inner levels).
    void KeepExceptionThreadOnly();
    std::size_t Count() const { return records_.size(); }
    const TThreadStack& Record(std::size_t index) const { return records_[index]; }

    // Walks the block's stack; a context replaces the thread's live state (block 0 of an
    // exception report).
    ThreadReport GetThreadReport(std::size_t index, const std::vector<std::uint8_t>* context,
                                 const std::atomic<bool>* abort);

    std::u16string InternalFailureText(std::u16string_view step);

private:
    struct BlockStart {
        std::uintptr_t exceptAddr = 0;
        bool exceptThread = false;
        bool extException = false;
        bool bcbTermination = false;
        int innerLevel = 0;
        std::u16string innerClass, innerMessage;
        std::uintptr_t stackPointer = 0, framePointer = 0;
        const std::vector<std::uint8_t>* context = nullptr;
        std::string preparedStack;
    };
    void AddBlock(std::uint32_t threadId, bool includeInternal, const BlockStart& start,
                  std::vector<CrashField>& sections);
    std::u16string FallbackText(const BlockStart& start);
    std::u16string PlaceholderText(std::uintptr_t exceptAddr);
    std::u16string InsertCreatorLine(std::u16string text, const TThreadStack& record);

    ReportPlatform& platform_;
    ThreadBlockSettings settings_;
    std::vector<TThreadStack> records_;
};

inline constexpr char16_t kStackPlaceholder[] = u">> stack will be calculated soon";

}  // namespace brevant::crashreport
