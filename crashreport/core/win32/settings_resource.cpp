#include "crashreport/core/win32/settings_resource.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <string>

#include "base/win32/wide_text.h"
#include "crashreport/core/settings_password.h"
#include "crashreport/core/win32/reporter_message_box.h"

namespace brevant::crashreport {

namespace {

constexpr std::u16string_view kSettingsResourceName = u"TQUARREX";

std::mutex registrationLock;
std::map<ModuleHandle, ModuleHandle> resourceModules;

std::span<const std::uint8_t> ResourceBytes(ModuleHandle module, const std::wstring& name) {
    if (module == nullptr) return {};
    HMODULE handle = static_cast<HMODULE>(module);
    HRSRC found = FindResourceW(handle, name.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(handle, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return {};
    return {static_cast<const std::uint8_t*>(data), SizeofResource(handle, found)};
}

struct StoredPassword {
    std::string_view password, server, account;
};

constexpr StoredPassword kStoredPasswords[] = {
    {"SmtpPassword", "SmtpServer", "SmtpAccount"},
    {"HttpPassword", "HttpServer", "HttpAccount"},
    {"BugTrPassword", "HttpServer", "BugTrAccount"},
};

std::u16string BlockText(ModuleSettingsBlock& block, std::string_view name) {
    const SettingsProperty* property = FindBlockProperty(block, name);
    return property != nullptr ? property->vStr : std::u16string();
}

void DecipherPasswords(ModuleSettingsBlock& block) {
    std::lock_guard guard(block.valuesLock);
    for (const StoredPassword& stored : kStoredPasswords) {
        SettingsProperty* password = FindBlockProperty(block, stored.password);
        if (password == nullptr || password->typ != TPropertyType::ptString || password->vStr.empty()) continue;
        password->vStr =
            DecipherSettingsPassword(password->vStr, BlockText(block, stored.server), BlockText(block, stored.account));
    }
}

}  // namespace

std::u16string DecodeSystemCodePage(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return FromWide(wide);
}

void RegisterResourceModule(ModuleHandle module, ModuleHandle resourceModule) {
    std::lock_guard guard(registrationLock);
    if (resourceModule == nullptr) {
        resourceModules.erase(module);
    } else {
        resourceModules[module] = resourceModule;
    }
}

ModuleHandle RegisteredResourceModule(ModuleHandle module) {
    std::lock_guard guard(registrationLock);
    auto found = resourceModules.find(module);
    return found != resourceModules.end() ? found->second : nullptr;
}

std::span<const std::uint8_t> ModuleDataResource(ModuleHandle module, std::u16string_view name) {
    return ResourceBytes(module, ToWide(name));
}

std::span<const std::uint8_t> FindDataResource(ModuleHandle module, std::u16string_view name) {
    const std::wstring wideName = ToWide(name);
    std::span<const std::uint8_t> bytes = ResourceBytes(RegisteredResourceModule(module), wideName);
    return !bytes.empty() ? bytes : ResourceBytes(module, wideName);
}

bool HasSettingsResource(ModuleHandle module) {
    return !FindDataResource(module, kSettingsResourceName).empty();
}

void LoadSettingsResource(ModuleHandle module, ModuleSettingsBlock& block) {
    LoadSettingsBytes(FindDataResource(module, kSettingsResourceName), block);
}

void LoadSettingsBytes(std::span<const std::uint8_t> bytes, ModuleSettingsBlock& block) {
    SettingsStreamResult loaded = ReadSettingsStream(bytes, DecodeSystemCodePage);
    const std::optional<std::uint8_t> unknownTag = loaded.unknownTag;
    AddLoadedProperties(block, std::move(loaded));
    if (unknownTag) ShowReporterMessage(InvalidSettingsResourceMessage(*unknownTag));
    DecipherPasswords(block);
}

}  // namespace brevant::crashreport
