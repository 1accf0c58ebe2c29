#pragma once
// Modules the settings tests read: the test program, which carries the same settings and
// forms as the program, and the built program beside the tests' folder.

#include <windows.h>

#include <string>

#include "base/win32/wide_text.h"
#include "crashreport/core/module_handle.h"

namespace brevant::crashreport {

inline ModuleHandle TestProgramModule() {
    return GetModuleHandleW(nullptr);
}

inline ModuleHandle Kernel32Module() {
    return GetModuleHandleW(L"kernel32.dll");
}

// <build>/tests/win_tests.exe runs beside <build>/Brevant.exe.
inline std::wstring BuiltProgramPath() {
    std::u16string path = ModulePath(nullptr);
    path.resize(path.rfind(u'\\'));
    path.resize(path.rfind(u'\\'));
    return ToWide(path) + L"\\Brevant.exe";
}

// The built program mapped for the duration of a test: as a data file (resources only, the
// loader does not list it) or as an image the loader lists but whose code never runs.
class LoadedProgram {
public:
    enum class Mapping { DataFile, InertImage };

    explicit LoadedProgram(Mapping mapping, const std::wstring& path = BuiltProgramPath())
        : module_(
              LoadLibraryExW(path.c_str(), nullptr,
                             mapping == Mapping::DataFile ? LOAD_LIBRARY_AS_DATAFILE : DONT_RESOLVE_DLL_REFERENCES)) {}
    ~LoadedProgram() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    LoadedProgram(const LoadedProgram&) = delete;
    LoadedProgram& operator=(const LoadedProgram&) = delete;

    ModuleHandle Handle() const { return module_; }

private:
    HMODULE module_;
};

}  // namespace brevant::crashreport
