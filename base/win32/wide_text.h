#pragma once
// Conversions between the portable UTF-16 texts and the Win32 wide-character API.

#include <windows.h>

#include <string>
#include <string_view>

namespace brevant {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline std::wstring ToWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
// The text as the wide-character API takes it, valid as long as the text is.
inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

// The system's text for an error code, without the trailing line end and full stop.
std::u16string SystemErrorText(DWORD errorCode);
// The full path of a loaded module (nullptr: the program itself).
std::u16string ModulePath(HMODULE module);
// A string resource of the program; empty when it does not exist.
std::u16string LoadResourceString(UINT id);

}  // namespace brevant
