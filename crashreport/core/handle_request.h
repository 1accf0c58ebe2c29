#pragma once
// The request a faulting thread writes into the handling thread's pipe in one write: every
// fact about the exception that the handling needs, as plain values. On i686 it is exactly
// 144 bytes; on x86_64 handles and pointers widen and the operating-system record is the
// 64-bit one.

#include <cstddef>
#include <cstdint>

#include "crashreport/core/exception_kinds.h"

namespace brevant::crashreport {

// EXCEPTION_RECORD of the build's architecture, kept as bytes so that this stays portable.
constexpr std::size_t kOsRecordBytes = sizeof(void*) == 4 ? 80 : 152;

struct HandleRequest {
    std::uintptr_t doneEvent;  // zero in the stop request
    std::uint32_t threadId;
    TExceptType exceptType;
    std::uint8_t reserved1[3];
    std::uintptr_t exceptObject;
    std::uintptr_t exceptAddress;
    bool canContinue;
    std::uint8_t reserved2[3];
    std::uintptr_t stackPointer;  // where the crashed thread's stack walk starts
    std::uintptr_t framePointer;
    std::uintptr_t context;  // the platform's CONTEXT, or zero
    alignas(sizeof(void*)) std::uint8_t osRecord[kOsRecordBytes];
    std::uintptr_t reportText;  // web-server hooks only; always zero here
    TExceptSource source;
    std::uint8_t reserved3[3];
    std::uintptr_t relatedObject;
    std::uintptr_t package;
    std::uintptr_t preparedStack;  // 8-bit text prepared at the raise, or zero
    std::uint32_t preparedStackLength;
    std::uintptr_t innerChain;  // the thread's inner exceptions when this is its last object
};

#define BREVANT_REQUEST_FIELD_AT(field, i686, x86_64) \
    static_assert(offsetof(HandleRequest, field) == (sizeof(void*) == 4 ? (i686) : (x86_64)))
BREVANT_REQUEST_FIELD_AT(threadId, 4, 8);
BREVANT_REQUEST_FIELD_AT(exceptType, 8, 12);
BREVANT_REQUEST_FIELD_AT(exceptObject, 12, 16);
BREVANT_REQUEST_FIELD_AT(exceptAddress, 16, 24);
BREVANT_REQUEST_FIELD_AT(canContinue, 20, 32);
BREVANT_REQUEST_FIELD_AT(stackPointer, 24, 40);
BREVANT_REQUEST_FIELD_AT(framePointer, 28, 48);
BREVANT_REQUEST_FIELD_AT(context, 32, 56);
BREVANT_REQUEST_FIELD_AT(osRecord, 36, 64);
BREVANT_REQUEST_FIELD_AT(reportText, 116, 216);
BREVANT_REQUEST_FIELD_AT(source, 120, 224);
BREVANT_REQUEST_FIELD_AT(relatedObject, 124, 232);
BREVANT_REQUEST_FIELD_AT(package, 128, 240);
BREVANT_REQUEST_FIELD_AT(preparedStack, 132, 248);
BREVANT_REQUEST_FIELD_AT(preparedStackLength, 136, 256);
BREVANT_REQUEST_FIELD_AT(innerChain, 140, 264);
#undef BREVANT_REQUEST_FIELD_AT
static_assert(sizeof(HandleRequest) == (sizeof(void*) == 4 ? 144 : 272));

}  // namespace brevant::crashreport
