// The class and message texts of thrown objects: from their type information, through the
// chain of base classes, and from raw pointers that may point anywhere without ever faulting.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "base/exception.h"
#include "crashreport/core/win32/exception_objects.h"
#include "crashreport/core/win32/raise_records.h"

namespace brevant::crashreport {
namespace {

struct ESecondBase {
    virtual ~ESecondBase() = default;
};
class EBoth : public EAbort, public ESecondBase {
public:
    EBoth() : EAbort(u"both") {}
};

TEST(ExceptionObjectsTest, ClassNamesMessagesAndAncestryFromTypeInformation) {
    EAccessViolation violation(u"  Access violation\t at zero \r\n");
    ExceptionObjectInfo info = DescribeObject(&violation, &typeid(violation));
    EXPECT_EQ(info.className, u"EAccessViolation");
    EXPECT_EQ(info.message, u"Access violation at zero");
    EXPECT_TRUE(info.isOrDerives(u"EExternal"));
    EXPECT_TRUE(info.isOrDerives(u"Exception"));
    EXPECT_TRUE(info.isOrDerives(u"exception")) << "std::exception is a base too";
    EXPECT_FALSE(info.isOrDerives(u"EAbort"));

    EBoth both;
    ExceptionObjectInfo multiple = DescribeObject(&both, &typeid(both));
    EXPECT_TRUE(multiple.isOrDerives(u"EAbort"));
    EXPECT_TRUE(multiple.isOrDerives(u"ESecondBase"));
    EXPECT_EQ(multiple.message, u"both");

    std::out_of_range standard("index 7 out of range");
    EXPECT_EQ(DescribeObject(&standard, &typeid(standard)).message, u"index 7 out of range");
    EXPECT_EQ(DescribeObject(&standard, &typeid(standard)).className, u"out_of_range");
    int number = 42;
    EXPECT_EQ(DescribeObject(&number, &typeid(int)).className, u"int");
    EXPECT_EQ(DescribeObject(&number, &typeid(int)).message, u"int");
    EXPECT_EQ(DescribeObject(nullptr, nullptr).className, u"Unknown");
}

TEST(ExceptionObjectsTest, RawPointersAreReadWithoutFaulting) {
    EDivByZero division(u"Division by zero");
    EXPECT_TRUE(ClassIsOrDerives(&division, u"EIntError"));
    EXPECT_EQ(ExceptClassText(&division), u"EDivByZero");
    EXPECT_EQ(ExceptMessageText(&division), u"Division by zero");

    // Freed memory, a decommitted page, misaligned and random addresses.
    auto* freed = new EAbort(u"gone");
    delete freed;
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    *static_cast<void**>(page) = &division;  // a "virtual table" that points at an object
    VirtualFree(page, 4096, MEM_DECOMMIT);
    std::mt19937_64 random(20261209);
    std::vector<const void*> pointers = {nullptr, freed, page, reinterpret_cast<const char*>(&division) + 1,
                                         reinterpret_cast<const void*>(1), reinterpret_cast<const void*>(-1)};
    for (int i = 0; i < 20000; ++i) pointers.push_back(reinterpret_cast<const void*>(random()));
    std::vector<std::uint8_t> noise(4096);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    for (std::size_t at = 0; at + sizeof(void*) <= noise.size(); at += 4) pointers.push_back(noise.data() + at);
    for (const void* pointer : pointers) {
        ClassIsOrDerives(pointer, u"Exception");
        ExceptClassText(pointer);
        ExceptMessageText(pointer);
    }
    EXPECT_EQ(ExceptClassText(page), u"Unknown");
    EXPECT_EQ(ExceptClassText(noise.data()), u"Unknown");
    EXPECT_FALSE(ClassIsOrDerives(nullptr, u""));
    VirtualFree(page, 0, MEM_RELEASE);
}

TEST(ExceptionObjectsTest, OperatingSystemFaultsBecomeObjectsOfTheirKind) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_INT_DIVIDE_BY_ZERO;
    std::unique_ptr<Exception> division(NewOsExceptionObject(record));
    EXPECT_EQ(ClassNameOf(typeid(*division)), u"EDivByZero");
    EXPECT_EQ(division->Message(), u"Division by zero");
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&ExceptClassText);
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 1;
    record.ExceptionInformation[1] = 0x10;
    std::unique_ptr<Exception> violation(NewOsExceptionObject(record));
    EXPECT_TRUE(TypeIsOrDerives(typeid(*violation), u"EExternal"));
    EXPECT_NE(violation->Message().find(u"in module 'win_tests.exe'. Write of address $10"), std::u16string::npos)
        << std::string(violation->Message().begin(), violation->Message().end());
    record.ExceptionCode = 0xC000001D;
    EXPECT_EQ(std::unique_ptr<Exception>(NewOsExceptionObject(record))->Message(), u"External exception C000001D");
}

TEST(RaiseRecordsTest, AnEarlierPendingExceptionBecomesInnerAndRaisingItAgainAddsNone) {
    ClearLastException();
    EInOutError first(105);
    EArgumentException second(u"bad path");
    RecordRaise(&first, &typeid(first), 0x1000, nullptr, nullptr);
    RecordRaise(&first, &typeid(first), 0x1004, nullptr, nullptr);
    EXPECT_TRUE(CurrentExceptState().inner.empty()) << "the same object raised again";
    RecordRaise(&second, &typeid(second), 0x2000, nullptr, nullptr);
    ASSERT_EQ(CurrentExceptState().inner.size(), 1u);
    EXPECT_EQ(CurrentExceptState().inner[0].exceptClass, u"EInOutError");
    EXPECT_EQ(CurrentExceptState().inner[0].exceptMessage, u"I/O error 105");
    EXPECT_EQ(CurrentExceptState().inner[0].exceptAddr, 0x1004u);
    EXPECT_EQ(CurrentExceptState().lastObject, &second);
    ClearLastException();
    EXPECT_TRUE(CurrentExceptState().inner.empty());
    EXPECT_EQ(CurrentExceptState().lastObject, nullptr);
}

struct SeenInThread {
    const void* before = nullptr;
    const void* after = nullptr;
};

DWORD WINAPI RecordARaiseInThisThread(void* parameter) {
    auto* seen = static_cast<SeenInThread*>(parameter);
    seen->before = CurrentExceptState().lastObject;
    static EInOutError theirs(2);
    RecordRaise(&theirs, &typeid(theirs), 0x2000, nullptr, nullptr);
    seen->after = CurrentExceptState().lastObject;
    return 0;
}

// Every throw asks for its thread's record: asking must neither change the thread's last error
// nor reach another thread's record.
TEST(RaiseRecordsTest, EachThreadHasItsOwnRecordAndAskingForItKeepsTheLastError) {
    ClearLastException();
    EInOutError mine(105);
    RecordRaise(&mine, &typeid(mine), 0x1000, nullptr, nullptr);
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CurrentExceptState().lastObject, &mine);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SeenInThread seen;
    HANDLE worker = CreateThread(nullptr, 0, RecordARaiseInThisThread, &seen, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    EXPECT_EQ(seen.before, nullptr) << "a new thread starts with an empty record";
    EXPECT_NE(seen.after, nullptr);
    EXPECT_EQ(CurrentExceptState().lastObject, &mine);
    EXPECT_TRUE(CurrentExceptState().inner.empty());
    ClearLastException();
}

}  // namespace
}  // namespace brevant::crashreport
