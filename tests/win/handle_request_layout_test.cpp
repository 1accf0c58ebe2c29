// The handling request carries the platform's own exception record; its field offsets are
// checked where the struct is declared.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "crashreport/core/handle_request.h"

namespace brevant::crashreport {
namespace {

TEST(HandleRequestLayoutTest, HoldsThePlatformsExceptionRecordAndTheRequestSize) {
    EXPECT_EQ(kOsRecordBytes, sizeof(EXCEPTION_RECORD));
    EXPECT_EQ(sizeof(HandleRequest), sizeof(void*) == 4 ? 144u : 272u);

    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.NumberParameters = 2;
    record.ExceptionInformation[1] = 0x1234;
    HandleRequest request{};
    std::memcpy(request.osRecord, &record, sizeof(record));
    EXCEPTION_RECORD back{};
    std::memcpy(&back, request.osRecord, sizeof(back));
    EXPECT_EQ(back.ExceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_EQ(back.ExceptionInformation[1], 0x1234u);
}

}  // namespace
}  // namespace brevant::crashreport
