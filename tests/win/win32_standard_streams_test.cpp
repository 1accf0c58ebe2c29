#include <windows.h>

#include <gtest/gtest.h>

#include "base/exception.h"
#include "base/win32/wide_text.h"
#include "launcher/win32/win32_platform.h"
#include "scratch_folder.h"

namespace brevant {
namespace {

// Swaps a standard handle for the duration of a test.
class StandardHandleSwap {
public:
    StandardHandleSwap(DWORD which, HANDLE replacement) : which_(which), saved_(GetStdHandle(which)) {
        SetStdHandle(which, replacement);
    }
    ~StandardHandleSwap() { SetStdHandle(which_, saved_); }

private:
    DWORD which_;
    HANDLE saved_;
};

HANDLE OpenFile(const std::u16string& path, DWORD access, DWORD disposition) {
    return CreateFileW(ToWide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, 0,
                       nullptr);
}

TEST(Win32StandardStreamsTest, MissingStandardOutputIsIoError105) {
    Win32StandardStreams streams;
    for (HANDLE missing : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        StandardHandleSwap swap(STD_OUTPUT_HANDLE, missing);
        try {
            streams.WriteText(u"x");
            ADD_FAILURE() << "wrote to a missing standard output";
        } catch (const EInOutError& error) {
            EXPECT_EQ(error.ErrorCode(), 105);
            EXPECT_EQ(error.Message(), u"I/O error 105");
        }
    }
}

TEST(Win32StandardStreamsTest, TextGoesToAFileInTheAnsiCodePage) {
    ScratchFolder folder;
    std::u16string path = folder.WriteFile(u"out.txt", "");
    HANDLE file = OpenFile(path, GENERIC_WRITE, OPEN_EXISTING);
    {
        StandardHandleSwap swap(STD_OUTPUT_HANDLE, file);
        Win32StandardStreams().WriteText(u"Switches: \r\ncaf\u00e9\r\n");
    }
    CloseHandle(file);
    char expected[32] = {};
    int length =
        WideCharToMultiByte(CP_ACP, 0, L"Switches: \r\ncaf\u00e9\r\n", -1, expected, sizeof expected, nullptr, nullptr);
    EXPECT_EQ(Win32FileSystem().ReadWholeFile(path), std::string(expected, length - 1));
}

TEST(Win32StandardStreamsTest, ReadsExactlyOneLineOfInput) {
    ScratchFolder folder;
    std::u16string path = folder.WriteFile(u"in.txt", "first line\nsecond\n");
    HANDLE file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    {
        StandardHandleSwap swap(STD_INPUT_HANDLE, file);
        Win32StandardStreams().SkipInputLine();
    }
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 11u);  // just past the first line feed
    CloseHandle(file);
}

TEST(Win32StandardStreamsTest, EndOfInputOrNoInputEndsTheWait) {
    ScratchFolder folder;
    std::u16string path = folder.WriteFile(u"empty.txt", "no line feed");
    HANDLE file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    {
        StandardHandleSwap swap(STD_INPUT_HANDLE, file);
        EXPECT_NO_THROW(Win32StandardStreams().SkipInputLine());
    }
    CloseHandle(file);
    StandardHandleSwap none(STD_INPUT_HANDLE, nullptr);
    EXPECT_NO_THROW(Win32StandardStreams().SkipInputLine());
}

}  // namespace
}  // namespace brevant
