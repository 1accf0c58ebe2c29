#pragma once
// What each thread remembers of its most recent raise: the object, where it was raised, the
// CPU context there and the earlier exceptions still pending ("inner" ones). Also the types of
// the C++ objects in flight, so that a thrown object can be described from its address alone.

#include <windows.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "crashreport/core/crash_exception.h"

namespace brevant::crashreport {

struct StackSnapshot;

struct ThreadExceptState {
    void* lastObject = nullptr;
    const std::type_info* lastType = nullptr;
    std::uintptr_t lastAddress = 0;
    CONTEXT context{};
    bool hasContext = false;
    EXCEPTION_RECORD osRecord{};
    std::vector<InnerExceptionInfo> inner;  // newest first
    bool busy = false;
    bool notingThrow = false;  // a throw inside the note of a throw is not noted
    std::shared_ptr<StackSnapshot> lastSnapshot;  // filled again by the next throw once its object is gone
};

// The calling thread's record.
ThreadExceptState& CurrentExceptState();

// Records a raise on the calling thread; an earlier, different object still pending moves to
// the inner list.
void RecordRaise(void* object, const std::type_info* type, std::uintptr_t address, const EXCEPTION_RECORD* record,
                 const CONTEXT* context);
void ClearLastException();
void ClearLastException(ThreadExceptState& state);

// A C++ throw is recorded around the capture of the thrower's context, which the throwing
// frame makes itself: BeginThrowRecord moves a pending exception to the inner list and gives
// the place for the context (null: this throw is not recorded, it happened inside the record
// of another); FinishThrowRecord notes the object, copies the stack and records the raise.
CONTEXT* BeginThrowRecord(ThreadExceptState& state, const void* object);
void FinishThrowRecord(ThreadExceptState& state, void* object, const std::type_info* type, std::uintptr_t address);

// The C++ objects in flight and their types, kept from the throw until the object is freed.
// The first note of an object (its throw) also records the prepared call stack of the
// calling thread as it is at that moment.
// thrower: the context of the throwing code, captured by the caller, when it has one.
void NoteThrownObject(void* object, const std::type_info* type, const CONTEXT* thrower = nullptr);
// Notes only the type: for an object made to describe an exception that brings its own context.
void NoteObjectType(void* object, const std::type_info* type);
void ForgetThrownObject(void* object);
const std::type_info* ThrownObjectType(const void* object);
// The prepared call stack recorded when the object was thrown; empty when none.
std::string PreparedCallStackOf(const void* thrownObject);
// Whether the object was already reported (its end of handler must not report it again).
void MarkReported(const void* object);
bool WasReported(const void* object);

}  // namespace brevant::crashreport
