#include "crashreport/core/thread_blocks.h"

#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

std::u16string InnerLine(const std::u16string& exceptClass, const std::u16string& message) {
    return u">> " + exceptClass + u", " + message + u"\r\n";
}

}  // namespace

void ThreadBlocks::AddExceptionBlock(const ExceptionBlockFacts& facts, std::vector<CrashField>& sections) {
    BlockStart start;
    start.exceptThread = true;
    start.exceptAddr = facts.exceptAddr;
    start.extException = facts.extException;
    start.bcbTermination = facts.bcbTermination;
    start.innerLevel = facts.innerLevel;
    start.innerClass = facts.innerClass;
    start.innerMessage = facts.innerMessage;
    start.stackPointer = facts.stackPointer;
    start.framePointer = facts.framePointer;
    start.context = facts.context;
    start.preparedStack = facts.preparedStack;
    AddBlock(facts.threadId, true, start, sections);
}

void ThreadBlocks::AddThreadBlock(std::uint32_t threadId, bool includeInternal, std::vector<CrashField>& sections) {
    AddBlock(threadId, includeInternal, BlockStart{}, sections);
}

std::u16string ThreadBlocks::FallbackText(const BlockStart& start) {
    std::u16string text;
    if (start.innerLevel > 0) text = InnerLine(start.innerClass, start.innerMessage);
    text += u">> stack not accessible";
    if (start.exceptThread) {
        text += u", exception location: \r\n" +
                platform_.FormatCodeAddress(start.exceptAddr, settings_.showRelAddrs, settings_.showRelLines);
    }
    return text;
}

std::u16string ThreadBlocks::PlaceholderText(std::uintptr_t exceptAddr) {
    if (exceptAddr == 0) return kStackPlaceholder;
    return platform_.FormatCodeAddress(exceptAddr, settings_.showRelAddrs, settings_.showRelLines) + u"\r\n" +
           kStackPlaceholder;
}

void ThreadBlocks::AddBlock(std::uint32_t threadId, bool includeInternal, const BlockStart& start,
                            std::vector<CrashField>& sections) {
    ThreadIdentity identity;
    try {
        identity = platform_.DescribeThread(threadId, includeInternal);
    } catch (...) {
        identity = {};
    }
    std::u16string title = identity.text;
    if (title.empty()) return;
    if (start.innerLevel > 0) title += u", inner exception level " + DecimalText(start.innerLevel);
    title += u":";
    try {
        std::optional<ContextPointers> pointers;
        if (start.exceptThread && start.context && !start.context->empty())
            pointers = platform_.PointersOf(*start.context);
        const std::uintptr_t knownStackPointer = pointers ? pointers->stackPointer : start.stackPointer;
        const std::optional<ThreadState> state = platform_.ReadThreadState(threadId, knownStackPointer);
        if (!state) {
            sections.push_back({title, FallbackText(start)});
            return;
        }
        if (state->suspended) title += u" <suspended>";
        if (state->priority != 0) title += u" <priority:" + DecimalText(state->priority) + u">";

        TThreadStack record;
        record.tid = threadId;
        record.threadName = title;
        record.exceptThread = start.exceptThread;
        record.exceptAddr = start.exceptThread ? start.exceptAddr : 0;
        record.extException = start.extException;
        record.BcbTermination = start.bcbTermination;
        record.stackBottom = state->stackBottom;
        record.stackTop = state->stackTop;
        record.ebp = state->framePointer;
        if (start.exceptThread) {
            if (pointers) {
                record.stackBottom = pointers->stackPointer;
                record.ebp = pointers->framePointer;
            } else {
                if (start.stackPointer != 0) record.stackBottom = start.stackPointer;
                if (start.framePointer != 0) record.ebp = start.framePointer;
            }
        }
        record.creatorAddr = identity.creatorAddress;
        record.creatorTid = identity.creatorThreadId;
        record.preparedStack = start.preparedStack;
        record.innerExceptNo = start.innerLevel;
        record.innerExceptClass = start.innerClass;
        record.innerExceptMessage = start.innerMessage;
        records_.push_back(record);
        sections.push_back({title, PlaceholderText(record.exceptAddr)});
    } catch (...) {
        sections.push_back({title, InternalFailureText(u"GetThreadStack")});
    }
}

void ThreadBlocks::KeepExceptionThreadOnly() {
    if (records_.empty()) return;
    std::size_t keep = 1;
    while (keep < records_.size() && records_[keep].tid == records_[0].tid) ++keep;
    records_.resize(keep);
}

std::u16string ThreadBlocks::InsertCreatorLine(std::u16string text, const TThreadStack& record) {
    if (record.creatorAddr == 0 || text.empty() || text[0] == u'>') return text;
    const std::size_t lastBreak = text.rfind(u"\r\n");
    if (lastBreak == std::u16string::npos) return text;
    ThreadIdentity creator;
    try {
        creator = platform_.DescribeThread(record.creatorTid, true);
    } catch (...) {
        creator = {};
    }
    text.insert(lastBreak, u"\r\n>> created by " + creator.text + u" at:");
    return text;
}

ThreadReport ThreadBlocks::GetThreadReport(std::size_t index, const std::vector<std::uint8_t>* context,
                                           const std::atomic<bool>* abort) {
    ThreadReport report;
    TThreadStack& record = records_[index];
    try {
        if (!record.exceptThread) {
            if (const std::optional<ThreadState> state = platform_.ReadThreadState(record.tid, 0)) {
                record.stackBottom = state->stackBottom;
                record.ebp = state->framePointer;
                record.stackTop = state->stackTop;
            }
        }
        std::optional<ContextPointers> pointers;
        if (context && !context->empty()) pointers = platform_.PointersOf(*context);
        if (pointers) {
            record.stackBottom = pointers->stackPointer;
            record.ebp = pointers->framePointer;
            record.stackTop = platform_.RegionEnd(pointers->stackPointer);
        }

        WalkRequest request;
        request.hideUgly = settings_.hideUgly;
        request.showRelAddrs = settings_.showRelAddrs;
        request.showRelLines = settings_.showRelLines;
        request.stackBottom = record.stackBottom;
        request.stackTop = record.stackTop;
        request.framePointer = record.ebp;
        request.context = context && !context->empty() ? context->data() : nullptr;
        request.creatorAddr = record.creatorAddr;
        request.exceptAddr = record.exceptAddr;
        request.exceptThread = record.exceptThread;
        request.extException = record.extException;
        request.bcbTermination = record.BcbTermination;
        request.preparedStack = record.preparedStack;
        request.abort = abort;
        WalkResult walk = platform_.WalkStack(request);
        record.callstack = walk.callstack;
        if (index == 0 && walk.innermostAddr != 0) record.exceptAddr = walk.innermostAddr;

        std::u16string text = std::move(walk.text);
        if (record.innerExceptNo > 0) text = InnerLine(record.innerExceptClass, record.innerExceptMessage) + text;
        report.text = InsertCreatorLine(std::move(text), record);
        report.firstValue = walk.firstValue;
        report.blockCrc = walk.blockCrc;
        report.hasLine = walk.hasLine;
        report.functionStart = walk.functionStart;
        report.codeAddress = walk.codeAddress;
        report.innermostAddr = walk.innermostAddr;
        report.debugInfoPairs = std::move(walk.debugInfoPairs);
    } catch (...) {
        report = {};
        report.text = InternalFailureText(u"GetThreadReport");
    }
    return report;
}

std::u16string ThreadBlocks::InternalFailureText(std::u16string_view step) {
    std::u16string text = u">> internal error in " + std::u16string(step);
    std::uintptr_t address = 0;
    try {
        address = platform_.CurrentExceptionAddress();
        if (address != 0) {
            text += u":\r\n" + platform_.FormatCodeAddress(address, settings_.showRelAddrs, settings_.showRelLines);
        }
    } catch (...) {
        // The failure text itself must not fail.
    }
    return text;
}

}  // namespace brevant::crashreport
