#include "base/win32/wide_text.h"
#include "launcher/win32/win32_platform.h"

namespace brevant {

namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
}

// Opens a key for reading; where full read access is refused, narrower rights are tried.
HKEY OpenKeyForReading(RegistryRoot root, const std::u16string& keyPath) {
    static const REGSAM kRights[] = {KEY_READ, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, KEY_QUERY_VALUE};
    std::wstring path = ToWide(keyPath);
    for (REGSAM rights : kRights) {
        HKEY key = nullptr;
        LONG status = RegOpenKeyExW(RootKey(root), path.c_str(), 0, rights, &key);
        if (status == ERROR_SUCCESS) return key;
        if (status != ERROR_ACCESS_DENIED) return nullptr;
    }
    return nullptr;
}

class KeyCloser {
public:
    explicit KeyCloser(HKEY key) : key_(key) {}
    ~KeyCloser() { RegCloseKey(key_); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    HKEY key_;
};

RegistryValue QueryValue(HKEY key, const std::wstring& name) {
    RegistryValue value;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.state = RegistryValue::State::Present;
    value.type = type;
    value.dataSize = size;
    if (size == 0) return value;
    std::wstring data((size + 1) / 2, L'\0');
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS) {
        value.state = RegistryValue::State::Unreadable;
        return value;
    }
    value.type = type;
    data.resize(size / 2);
    value.data = FromWide(data);
    return value;
}

}  // namespace

std::optional<RegistryValue> Win32Registry::ReadValue(RegistryRoot root, const std::u16string& keyPath,
                                                      const std::u16string& valueName) const {
    HKEY key = OpenKeyForReading(root, keyPath);
    if (key == nullptr) return std::nullopt;
    KeyCloser closer(key);
    return QueryValue(key, ToWide(valueName));
}

std::optional<std::vector<std::u16string>> Win32Registry::SubkeyNames(RegistryRoot root,
                                                                      const std::u16string& keyPath) const {
    HKEY key = OpenKeyForReading(root, keyPath);
    if (key == nullptr) return std::nullopt;
    KeyCloser closer(key);
    std::vector<std::u16string> names;
    wchar_t name[256];  // the longest key name the registry allows is 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0];
        LONG status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status == ERROR_SUCCESS) names.push_back(FromWide(std::wstring_view(name, length)));
    }
    return names;
}

}  // namespace brevant
