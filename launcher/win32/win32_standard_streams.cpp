#include "base/exception.h"
#include "base/win32/wide_text.h"
#include "launcher/win32/win32_platform.h"

namespace brevant {

namespace {

// The runtime's code for a text file that was never opened for output.
constexpr int kNotOpenForOutput = 105;

bool IsUsable(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    SetLastError(NO_ERROR);
    return GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR;
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
}

}  // namespace

void Win32StandardStreams::WriteText(std::u16string_view text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!IsUsable(output)) throw EInOutError(kNotOpenForOutput);
    UINT codePage = IsConsole(output) ? GetConsoleOutputCP() : CP_ACP;
    std::wstring wide = ToWide(text);
    int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), length, nullptr,
                        nullptr);
    DWORD written = 0;
    if (!bytes.empty() && !WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        throw EInOutError(static_cast<int>(GetLastError()));
}

void Win32StandardStreams::SkipInputLine() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    // A build tool often gives no input at all; that is the end of input, not a failure.
    if (!IsUsable(input)) return;
    // One byte at a time, so that nothing after the line is taken from a shared pipe.
    for (;;) {
        char byte = 0;
        DWORD read = 0;
        if (!ReadFile(input, &byte, 1, &read, nullptr)) {
            DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return;
            throw EInOutError(static_cast<int>(error));
        }
        if (read == 0 || byte == '\n') return;
    }
}

}  // namespace brevant
