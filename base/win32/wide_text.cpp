#include "base/win32/wide_text.h"

#include <vector>

namespace brevant {

std::u16string SystemErrorText(DWORD errorCode) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text = buffer != nullptr ? FromWide(std::wstring_view(buffer, length)) : std::u16string();
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() <= u' ' || text.back() == u'.')) text.pop_back();
    return text;
}

std::u16string ModulePath(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return FromWide(std::wstring_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string LoadResourceString(UINT id) {
    const wchar_t* text = nullptr;
    // A zero buffer size asks for a read-only pointer into the resource itself.
    int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? FromWide(std::wstring_view(text, length)) : std::u16string();
}

}  // namespace brevant
