#include "base/exception.h"
#include "base/utf16_text.h"
#include "base/win32/wide_text.h"
#include "launcher/win32/win32_platform.h"

namespace brevant {

namespace {

[[noreturn]] void ThrowCannotOpen(const std::u16string& path, DWORD errorCode) {
    throw EFOpenError(FormatText(u"Cannot open file \"%s\". %s", {path, SystemErrorText(errorCode)}));
}

}  // namespace

bool Win32FileSystem::FileExists(const std::u16string& path) const {
    DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string Win32FileSystem::ReadWholeFile(const std::u16string& path) const {
    HANDLE file = CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ThrowCannotOpen(path, GetLastError());
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
            DWORD error = GetLastError();
            CloseHandle(file);
            ThrowCannotOpen(path, error);
        }
        if (read == 0) break;
        content.append(buffer, read);
    }
    CloseHandle(file);
    return content;
}

std::u16string Win32FileSystem::DecodeAnsi(std::string_view bytes) const {
    if (bytes.empty()) return {};
    int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return FromWide(text);
}

}  // namespace brevant
