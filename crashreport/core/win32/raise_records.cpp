#include "crashreport/core/win32/raise_records.h"

#include <winternl.h>

#include <unordered_map>

#include "base/exception.h"
#include "crashreport/core/win32/exception_objects.h"
#include "crashreport/stack/win32/walk_stack.h"

namespace brevant::crashreport {

namespace {

struct ThrownObject {
    const std::type_info* type;
    bool reported;
    std::shared_ptr<const StackSnapshot> stack;  // the stack as the throw left it
};

using ThrownObjectMap = std::unordered_map<const void*, ThrownObject>;

// Lives for the whole process: exceptions may be thrown from static destructors. A critical
// section and a spare node: an uncontended throw then neither enters the kernel nor allocates.
// (A slim lock would be as cheap to take, but Wine wakes its waiters at every release.)
struct ThrownObjects {
    ThrownObjects() { InitializeCriticalSectionAndSpinCount(&lock, 4000); }
    CRITICAL_SECTION lock;
    ThrownObjectMap objects;
    ThrownObjectMap::node_type spare;
};

ThrownObjects& Thrown() {
    static ThrownObjects* table = new ThrownObjects;
    return *table;
}

class TableLock {
public:
    TableLock() { EnterCriticalSection(&Thrown().lock); }
    ~TableLock() { LeaveCriticalSection(&Thrown().lock); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

std::vector<std::uint8_t> ContextBytes(const ThreadExceptState& state) {
    if (!state.hasContext) return {};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&state.context);
    return {bytes, bytes + sizeof(CONTEXT)};
}

}  // namespace

// Kept in the system's own per-thread storage rather than the compiler's: the threading
// library swaps its per-thread data when its threads start, which the compiler's thread-local
// variables live in. Every throw asks for it, so it is read straight from the thread's own
// block through a thread slot (TlsGetValue would also clear the thread's last error); a fibre
// slot holds it too, for its callback, which frees it when the thread ends.
void WINAPI FreeExceptState(void* state);

namespace {

struct ExceptStateSlots {
    DWORD thread = TlsAlloc();
    DWORD freeing = FlsAlloc(FreeExceptState);
};

const ExceptStateSlots& Slots() {
    static const ExceptStateSlots slots;
    return slots;
}

void* ThreadSlotValue(DWORD slot) {
    if (slot < TLS_MINIMUM_AVAILABLE) return reinterpret_cast<const TEB*>(NtCurrentTeb())->TlsSlots[slot];
    const DWORD lastError = GetLastError();
    void* value = TlsGetValue(slot);
    SetLastError(lastError);
    return value;
}

}  // namespace

void WINAPI FreeExceptState(void* state) {
    TlsSetValue(Slots().thread, nullptr);
    delete static_cast<ThreadExceptState*>(state);
}

ThreadExceptState& CurrentExceptState() {
    const ExceptStateSlots& slots = Slots();
    auto* state = static_cast<ThreadExceptState*>(ThreadSlotValue(slots.thread));
    if (state == nullptr) {
        state = new ThreadExceptState;
        TlsSetValue(slots.thread, state);
        FlsSetValue(slots.freeing, state);
    }
    return *state;
}

namespace {

// An earlier, different object still pending moves to the front of the inner list, with the
// context of its raise.
void MovePendingToInner(ThreadExceptState& state, const void* object) {
    if (state.lastObject == nullptr || state.lastObject == object) return;
    state.busy = true;
    try {
        ExceptionObjectInfo last = DescribeObject(state.lastObject, state.lastType);
        InnerExceptionInfo inner;
        inner.exceptClass = last.className;
        inner.exceptMessage = last.message;
        inner.extException = last.isOrDerives && last.isOrDerives(u"EExternal");
        inner.bcbTermination = last.isOrDerives && last.isOrDerives(u"BcbTermination");
        inner.exceptAddr = state.lastAddress;
        inner.context = ContextBytes(state);
        state.inner.insert(state.inner.begin(), std::move(inner));
    } catch (...) {
        // Without memory the inner list stays as it was; the new raise is still recorded.
    }
    state.busy = false;
}

// The raise itself; the caller has put its context into state.context when it has one.
void SetLastRaise(ThreadExceptState& state, void* object, const std::type_info* type, std::uintptr_t address,
                  const EXCEPTION_RECORD* record, bool hasContext) {
    if (record)
        state.osRecord = *record;
    else
        state.osRecord = EXCEPTION_RECORD{};
    state.lastObject = object;
    state.lastType = type;
    state.lastAddress = address;
    state.hasContext = hasContext;
}

}  // namespace

void RecordRaise(void* object, const std::type_info* type, std::uintptr_t address, const EXCEPTION_RECORD* record,
                 const CONTEXT* context) {
    ThreadExceptState& state = CurrentExceptState();
    if (state.busy) return;
    MovePendingToInner(state, object);
    if (context) state.context = *context;
    SetLastRaise(state, object, type, address, record, context != nullptr);
}

void ClearLastException() {
    ClearLastException(CurrentExceptState());
}

void ClearLastException(ThreadExceptState& state) {
    const bool clear = state.lastObject == nullptr && state.lastAddress == 0 && !state.hasContext &&
                       state.osRecord.ExceptionCode == 0 && state.inner.empty();
    if (clear) return;  // as after most throws: their end of handler and their object's free both clear
    state.lastObject = nullptr;
    state.lastType = nullptr;
    state.lastAddress = 0;
    state.osRecord = EXCEPTION_RECORD{};
    state.hasContext = false;
    state.inner.clear();
}

namespace {

// Copied outside the table's lock; the call stack is prepared from it only for a report.
__attribute__((noinline)) std::shared_ptr<const StackSnapshot> SnapshotAtThrow(ThreadExceptState& state,
                                                                              const CONTEXT* thrower) {
    state.lastSnapshot = SnapshotOwnStack(reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)),
                                          std::move(state.lastSnapshot), thrower);
    return state.lastSnapshot;
}

// Set while a throw is noted: a throw inside the note (memory ran out) is not noted, and never
// waits for the table's lock that its own thread holds.
class NotingThrow {
public:
    explicit NotingThrow(ThreadExceptState& state) : state_(state), outer_(state.notingThrow) {
        state.notingThrow = true;
    }
    ~NotingThrow() { state_.notingThrow = outer_; }
    bool Nested() const { return outer_; }
    NotingThrow(const NotingThrow&) = delete;
    NotingThrow& operator=(const NotingThrow&) = delete;

private:
    ThreadExceptState& state_;
    bool outer_;
};

}  // namespace

namespace {

// The stack is copied before the table is locked; an object noted again keeps its first copy.
void NoteObject(ThreadExceptState& state, void* object, const std::type_info* type, const CONTEXT* thrower,
                bool copyStack) {
    const NotingThrow noting(state);
    if (noting.Nested()) return;
    try {
        std::shared_ptr<const StackSnapshot> stack = copyStack ? SnapshotAtThrow(state, thrower) : nullptr;
        TableLock guard;
        ThrownObjects& table = Thrown();
        auto known = table.objects.find(object);
        if (known != table.objects.end()) {
            known->second.type = type;
            return;
        }
        if (table.spare.empty()) {
            table.objects.emplace(object, ThrownObject{type, false, std::move(stack)});
            return;
        }
        table.spare.key() = object;
        table.spare.mapped() = {type, false, std::move(stack)};
        table.objects.insert(std::move(table.spare));
    } catch (...) {
        // Out of memory: the object is then described through its virtual table.
    }
}

}  // namespace

void NoteThrownObject(void* object, const std::type_info* type, const CONTEXT* thrower) {
    NoteObject(CurrentExceptState(), object, type, thrower, true);
}

void NoteObjectType(void* object, const std::type_info* type) {
    NoteObject(CurrentExceptState(), object, type, nullptr, false);
}

CONTEXT* BeginThrowRecord(ThreadExceptState& state, const void* object) {
    if (state.busy || state.notingThrow) return nullptr;
    MovePendingToInner(state, object);
    return &state.context;
}

void FinishThrowRecord(ThreadExceptState& state, void* object, const std::type_info* type, std::uintptr_t address) {
    NoteObject(state, object, type, &state.context, true);
    SetLastRaise(state, object, type, address, nullptr, true);
}

// The node is kept for the next throw; its stack is let go, so that the thread can fill it again.
void ForgetThrownObject(void* object) {
    std::shared_ptr<const StackSnapshot> stack;
    TableLock guard;
    ThrownObjects& table = Thrown();
    ThrownObjectMap::node_type node = table.objects.extract(object);
    if (node.empty()) return;
    stack = std::move(node.mapped().stack);
    if (table.spare.empty()) table.spare = std::move(node);
}

const std::type_info* ThrownObjectType(const void* object) {
    TableLock guard;
    auto found = Thrown().objects.find(object);
    return found == Thrown().objects.end() ? nullptr : found->second.type;
}

std::string PreparedCallStackOf(const void* thrownObject) {
    try {
        std::shared_ptr<const StackSnapshot> stack;
        {
            TableLock guard;
            auto found = Thrown().objects.find(thrownObject);
            if (found != Thrown().objects.end()) stack = found->second.stack;
        }
        return stack ? PrepareCallStack(*stack) : std::string();
    } catch (...) {
        return {};
    }
}

void MarkReported(const void* object) {
    TableLock guard;
    auto found = Thrown().objects.find(object);
    if (found != Thrown().objects.end()) found->second.reported = true;
}

bool WasReported(const void* object) {
    TableLock guard;
    auto found = Thrown().objects.find(object);
    return found != Thrown().objects.end() && found->second.reported;
}

}  // namespace brevant::crashreport
