#include <windows.h>

#include <gtest/gtest.h>

#include "base/exception.h"
#include "base/win32/wide_text.h"
#include "launcher/win32/win32_platform.h"
#include "scratch_folder.h"

namespace brevant {
namespace {

TEST(Win32FileSystemTest, OnlyFilesExistAndALockedFileStillDoes) {
    ScratchFolder folder;
    Win32FileSystem files;
    std::u16string file = folder.WriteFile(u"page.html", "<html>");
    EXPECT_TRUE(files.FileExists(file));
    EXPECT_FALSE(files.FileExists(folder.Path()));
    EXPECT_FALSE(files.FileExists(folder.Path() + u"\\missing.html"));

    HANDLE lock = CreateFileW(ToWide(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(files.FileExists(file));
    CloseHandle(lock);
}

TEST(Win32FileSystemTest, ReadsTheWholeFileWhileOthersMayReadIt) {
    ScratchFolder folder;
    Win32FileSystem files;
    std::string content(200000, 'x');
    content += "end";
    std::u16string file = folder.WriteFile(u"big.ini", content);
    HANDLE reader =
        CreateFileW(ToWide(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(files.ReadWholeFile(file), content);
    CloseHandle(reader);
}

TEST(Win32FileSystemTest, FileLockedAgainstReadingRaisesTheOpenErrorWithTheSystemText) {
    ScratchFolder folder;
    Win32FileSystem files;
    std::u16string file = folder.WriteFile(u"locked.ini", "[Paths]");
    HANDLE lock = CreateFileW(ToWide(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    try {
        files.ReadWholeFile(file);
        ADD_FAILURE() << "a locked file was read";
    } catch (const EFOpenError& error) {
        std::u16string expected = u"Cannot open file \"" + file + u"\". " + SystemErrorText(ERROR_SHARING_VIOLATION);
        EXPECT_EQ(error.Message(), expected);
        EXPECT_NE(error.Message().back(), u'.');  // the system text loses its full stop
    }
    CloseHandle(lock);
}

TEST(Win32FileSystemTest, AnsiTextIsDecodedInTheSystemCodePage) {
    Win32FileSystem files;
    std::string bytes = "caf\xE9";
    wchar_t expected[8] = {};
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), 4, expected, 8);
    EXPECT_EQ(files.DecodeAnsi(bytes), FromWide(expected));
    EXPECT_EQ(files.DecodeAnsi(""), u"");
}

}  // namespace
}  // namespace brevant
