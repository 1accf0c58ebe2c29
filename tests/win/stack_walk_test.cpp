// The stack walker on live threads: the stack walk host (a program with its own symbol store)
// walks its own stack and a waiting thread's; this program checks the prepared call stack of
// a throw and the line of an address without symbols.

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "base/win32/wide_text.h"
#include "crashreport/core/win32/raise_records.h"
#include "crashreport/stack/prepared_call_stack.h"
#include "crashreport/stack/win32/walk_stack.h"

namespace brevant::crashreport {
namespace {

struct HostRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// win_tests.exe and the host both live in <build>/tests.
HostRun RunHost(const std::wstring& mode) {
    wchar_t path[MAX_PATH];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    folder = folder.substr(0, folder.find_last_of(L'\\'));
    std::wstring command = L"\"" + folder + L"\\stack_walk_host.exe\" " + mode;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    HostRun run;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    const bool started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) run.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return run;
}

struct Line {
    std::string function, unit;
    int line = 0, relLine = 0;
    std::string module;
};

std::vector<Line> ShownLines(const std::string& output) {
    std::vector<Line> lines;
    std::istringstream in(output);
    for (std::string text; std::getline(in, text) && text.rfind("--", 0) != 0;) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        std::istringstream fields(text);
        Line line;
        std::string number, relative;
        std::getline(fields, line.function, '\t');
        std::getline(fields, line.unit, '\t');
        std::getline(fields, number, '\t');
        std::getline(fields, relative, '\t');
        std::getline(fields, line.module, '\t');
        line.line = std::atoi(number.c_str());
        line.relLine = std::atoi(relative.c_str());
        lines.push_back(line);
    }
    return lines;
}

void ExpectHostFunctions(const std::vector<Line>& lines, const std::vector<std::string>& functions) {
    ASSERT_GE(lines.size(), functions.size());
    for (std::size_t i = 0; i < functions.size(); ++i) {
        SCOPED_TRACE(functions[i]);
        const bool named = lines[i].function == functions[i] || lines[i].function.rfind(functions[i] + "(", 0) == 0;
        EXPECT_TRUE(named) << lines[i].function;
        EXPECT_EQ(lines[i].unit, "stack_walk_host");
        EXPECT_EQ(lines[i].module, "stack_walk_host.exe");
        EXPECT_GT(lines[i].line, 0);  // the absolute line, the relative one beside it
        EXPECT_LT(lines[i].relLine, lines[i].line);
    }
}

TEST(StackWalkTest, WalksTheOwnStackThroughNestedFunctions) {
    const HostRun run = RunHost(L"own");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    const std::vector<Line> lines = ShownLines(run.output);
    ExpectHostFunctions(lines, {"StackHostInner", "StackHostMiddle", "StackHostOuter", "main"});
}

TEST(StackWalkTest, WalksAThreadBlockedInAWait) {
    const HostRun run = RunHost(L"waiting");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    // The system's wait functions have no source lines and are hidden.
    ExpectHostFunctions(ShownLines(run.output), {"StackHostWaitInner", "StackHostWaitOuter"});
}

TEST(StackWalkTest, FormatsAnAddressByItsSymbolOrAsUnknown) {
    const HostRun run = RunHost(L"address");
    ASSERT_EQ(run.exitCode, 0u) << run.output;
    const std::string& line = run.output;
    const std::size_t digits = sizeof(void*) * 2;
    ASSERT_GT(line.size(), digits);
    EXPECT_EQ(line.find_first_not_of("0123456789abcdef"), digits) << line;
    const std::string located = " +1 stack_walk_host.exe stack_walk_host ";
    EXPECT_EQ(line.substr(digits, located.size()), located) << line;
    EXPECT_NE(line.find(" +0 StackHostOuter(int)"), std::string::npos) << line;

    const auto unknown =
        reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount"));
    ASSERT_NE(unknown, 0u);
    EXPECT_EQ(FormatCodeAddress(unknown, true, true), AddressHex(unknown, digits) + u" +0 ???");
    EXPECT_EQ(FormatCodeAddress(unknown, false, true), AddressHex(unknown, digits) + u" ???");
}

std::uintptr_t expectedReturn = 0;

// As the throw does: with the thrower's context captured just before, or without one.
__attribute__((noinline)) void NoteThrowHere(void* object, bool withContext) {
    expectedReturn = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    CONTEXT context{};
    RtlCaptureContext(&context);
    NoteThrownObject(object, &typeid(int), withContext ? &context : nullptr);
}

__attribute__((noinline)) int ThrowingFunction(void* object, bool withContext) {
    NoteThrowHere(object, withContext);
    return static_cast<int>(expectedReturn & 1);
}

bool Holds(const std::vector<PreparedEntry>& entries, std::uintptr_t address, bool chainSlot) {
    for (const PreparedEntry& entry : entries)
        if (entry.address == address && entry.chainSlot == chainSlot) return true;
    return false;
}

TEST(StackWalkTest, AThrowRecordsThePreparedCallStack) {
    for (bool withContext : {false, true}) {
        SCOPED_TRACE(withContext ? "with the thrower's context" : "without a context");
        int object = 0;
        ThrowingFunction(&object, withContext);
        const std::uintptr_t returnOfTheThrow = expectedReturn;
        // Later throws reuse the copy's memory only once the object is gone.
        int other = 0;
        ThrowingFunction(&other, withContext);
        const auto entries = DecodePreparedCallStack(PreparedCallStackOf(&object), sizeof(void*));
        ASSERT_TRUE(entries);
        // The return address into the throwing function sits in a slot the chain (or the unwind
        // information, read from the copy) names.
        EXPECT_TRUE(Holds(*entries, returnOfTheThrow, true));
        ForgetThrownObject(&object);
        ForgetThrownObject(&other);
        EXPECT_EQ(PreparedCallStackOf(&object), "");
    }
}

__attribute__((noinline)) std::string PrepareHere(bool stopAtReturn) {
    expectedReturn = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    return PrepareCallStack(0, 0, reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)), expectedReturn,
                            stopAtReturn);
}

TEST(StackWalkTest, APreparedCallStackEndsBeforeTheStopValue) {
    std::optional<std::vector<PreparedEntry>> prepared[2];
    for (bool stop : {false, true})  // one call site: the same return address both times
        prepared[stop] = DecodePreparedCallStack(PrepareHere(stop), sizeof(void*));
    ASSERT_TRUE(prepared[0] && prepared[1]);
    EXPECT_TRUE(Holds(*prepared[0], expectedReturn, true));
    EXPECT_FALSE(Holds(*prepared[1], expectedReturn, true));
    EXPECT_FALSE(Holds(*prepared[1], expectedReturn, false));
    EXPECT_LT(prepared[1]->size(), prepared[0]->size());
}

}  // namespace
}  // namespace brevant::crashreport
