#pragma once
// A folder of its own for one test, removed with everything in it afterwards.

#include <windows.h>

#include <string>

#include "base/win32/wide_text.h"

namespace brevant {

class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int counter = 0;
        path_ = FromWide(temp) + u"brevant-test-" + FromWide(std::to_wstring(GetCurrentProcessId())) + u"-" +
                FromWide(std::to_wstring(++counter));
        CreateDirectoryW(ToWide(path_).c_str(), nullptr);
    }
    ~ScratchFolder() {
        for (const std::u16string& file : files_) DeleteFileW(ToWide(file).c_str());
        RemoveDirectoryW(ToWide(path_).c_str());
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::u16string& Path() const { return path_; }

    std::u16string WriteFile(const std::u16string& name, const std::string& content) {
        std::u16string file = path_ + u"\\" + name;
        HANDLE handle = CreateFileW(ToWide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        ::WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
        CloseHandle(handle);
        files_.push_back(file);
        return file;
    }

private:
    std::u16string path_;
    std::vector<std::u16string> files_;
};

}  // namespace brevant
