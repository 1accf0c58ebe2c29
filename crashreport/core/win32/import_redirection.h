#pragma once
// Import redirection: the import slots of loaded modules that lead to a routine are made to
// lead to a replacement instead. Code that calls the routine through its imports then reaches
// the replacement; code that took the address by itself does not.

#include <windows.h>

#include <vector>

namespace brevant::crashreport {

std::vector<HMODULE> LoadedModules();

// Every import slot of every loaded module that holds target gets replacement.
void RedirectImportsEverywhere(const void* target, const void* replacement);

// Leads the imports of original to hook (on), or back to original (off); nothing for a
// missing original.
template <typename Function>
void SetImportRedirection(Function original, Function hook, bool on) {
    if (!original) return;
    const auto* from = reinterpret_cast<const void*>(original);
    const auto* to = reinterpret_cast<const void*>(hook);
    if (on) RedirectImportsEverywhere(from, to);
    else RedirectImportsEverywhere(to, from);
}

// The entry of a module already loaded, or null.
template <typename Function>
Function LoadedEntry(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace brevant::crashreport
