#include "crashreport/report/win32/file_version_text.h"

#include <windows.h>

#include <vector>

#include "base/number_text.h"
#include "base/utf16_text.h"
#include "base/win32/wide_text.h"
#include "crashreport/report/list_text.h"
#include "crashreport/report/win32/system_library_entry.h"

namespace brevant::crashreport {

namespace {

using GetFileVersionInfoSizeFunction = DWORD(WINAPI*)(const wchar_t*, DWORD*);
using GetFileVersionInfoFunction = BOOL(WINAPI*)(const wchar_t*, DWORD, DWORD, void*);
using VerQueryValueFunction = BOOL(WINAPI*)(const void*, const wchar_t*, void**, UINT*);

std::vector<BYTE> ReadVersionResource(const std::wstring& file) {
    auto sizeOf = SystemLibraryFunction<GetFileVersionInfoSizeFunction>(L"version.dll", "GetFileVersionInfoSizeW");
    auto read = SystemLibraryFunction<GetFileVersionInfoFunction>(L"version.dll", "GetFileVersionInfoW");
    if (sizeOf == nullptr || read == nullptr) return {};
    DWORD ignored = 0;
    std::vector<BYTE> resource(sizeOf(file.c_str(), &ignored));
    if (resource.empty() || !read(file.c_str(), 0, static_cast<DWORD>(resource.size()), resource.data())) return {};
    return resource;
}

struct VersionValue {
    const void* data = nullptr;
    UINT length = 0;  // bytes, or characters for a string value
};

VersionValue QueryVersionValue(const std::vector<BYTE>& resource, const std::wstring& path) {
    auto query = SystemLibraryFunction<VerQueryValueFunction>(L"version.dll", "VerQueryValueW");
    void* data = nullptr;
    UINT length = 0;
    if (query == nullptr || !query(resource.data(), path.c_str(), &data, &length) || data == nullptr) return {};
    return {data, length};
}

std::u16string FixedVersionText(const std::vector<BYTE>& resource) {
    const VersionValue value = QueryVersionValue(resource, L"\\");
    if (value.length < sizeof(VS_FIXEDFILEINFO)) return {};
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value.data);
    if (fixed->dwFileVersionMS == 0 && fixed->dwFileVersionLS == 0) return {};
    return DecimalText(HIWORD(fixed->dwFileVersionMS)) + u"." + DecimalText(LOWORD(fixed->dwFileVersionMS)) + u"." +
           DecimalText(HIWORD(fixed->dwFileVersionLS)) + u"." + DecimalText(LOWORD(fixed->dwFileVersionLS));
}

std::u16string TranslatedVersionText(const std::vector<BYTE>& resource) {
    const VersionValue translation = QueryVersionValue(resource, L"\\VarFileInfo\\Translation");
    if (translation.length < sizeof(DWORD)) return {};
    // The entry holds the language in its low half and the code page in its high half; the
    // string table is named language first.
    const DWORD entry = *static_cast<const DWORD*>(translation.data);
    const DWORD tableName = static_cast<DWORD>(LOWORD(entry)) << 16 | HIWORD(entry);
    const VersionValue version =
        QueryVersionValue(resource, L"\\StringFileInfo\\" + ToWide(AddressHex(tableName, 8)) + L"\\FileVersion");
    if (version.data == nullptr) return {};
    return std::u16string(TrimControlsAndBlanks(
        UpToZero(std::u16string_view(static_cast<const char16_t*>(version.data), version.length))));
}

}  // namespace

std::u16string FileVersionText(const std::u16string& file) {
    const std::vector<BYTE> resource = ReadVersionResource(ToWide(file));
    if (resource.empty()) return {};
    std::u16string text = FixedVersionText(resource);
    return text.empty() ? TranslatedVersionText(resource) : text;
}

}  // namespace brevant::crashreport
