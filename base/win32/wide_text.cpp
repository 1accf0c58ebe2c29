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

// String resources are stored in blocks of 16, each string as its length and its
// characters. Reading them with the kernel's resource functions keeps user32 (and the
// time it takes to load) out of a program that shows no window.
std::u16string LoadResourceString(UINT id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), MAKEINTRESOURCEW(6));  // RT_STRING
    HGLOBAL loaded = block != nullptr ? LoadResource(module, block) : nullptr;
    const auto* data = static_cast<const WORD*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (data == nullptr) return {};
    const WORD* end = data + SizeofResource(module, block) / sizeof(WORD);
    for (UINT index = 0; data < end; ++index) {
        WORD length = *data++;
        if (length > end - data) return {};
        if (index == id % 16) return std::u16string(reinterpret_cast<const char16_t*>(data), length);
        data += length;
    }
    return {};
}

}  // namespace brevant
