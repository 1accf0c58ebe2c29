#pragma once
// Entry points of system libraries that the program does not import, so that they are loaded
// only when a report actually needs them and never slow down the program's start.

#include <windows.h>

#include <string>

namespace brevant::crashreport {

// Loaded from the system folder (never from beside the program) and kept loaded.
inline FARPROC SystemLibraryEntry(const wchar_t* library, const char* entry) {
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) {
        wchar_t folder[MAX_PATH];
        UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return nullptr;
        module = LoadLibraryW((std::wstring(folder, length) + L"\\" + library).c_str());
    }
    return module != nullptr ? GetProcAddress(module, entry) : nullptr;
}

template <typename Function>
Function SystemLibraryFunction(const wchar_t* library, const char* entry) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemLibraryEntry(library, entry)));
}

}  // namespace brevant::crashreport
