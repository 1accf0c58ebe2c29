#include "crashreport/core/win32/win32_settings_host.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "base/win32/own_memory.h"
#include "base/win32/wide_text.h"
#include "crashreport/core/crash_settings.h"
#include "crashreport/core/win32/settings_resource.h"
#include "crashreport/core/win32/shared_settings_buffer.h"
#include "crashreport/report/win32/win32_placeholder_environment.h"

namespace brevant::crashreport {

namespace {

// A version text longer than this is taken for garbage.
constexpr std::size_t kVersionTextLimit = 4096;

// Region by region, so that a text ending just before unreadable memory is still found.
std::optional<std::string> ReadTerminatedText(std::uintptr_t address) {
    std::string text;
    while (text.size() < kVersionTextLimit) {
        const std::size_t chunkSize = std::min(ReadableBytesFrom(address), kVersionTextLimit - text.size());
        char chunk[kVersionTextLimit];
        if (chunkSize == 0 || !ReadOwnMemory(address, chunk, chunkSize)) return std::nullopt;
        const void* end = std::memchr(chunk, '\0', chunkSize);
        if (end != nullptr) return text.append(chunk, static_cast<const char*>(end) - chunk);
        text.append(chunk, chunkSize);
        address += chunkSize;
    }
    return std::nullopt;
}

std::u16string FormResourceName(std::u16string_view formName) {
    std::u16string name = u"TQX";
    for (char16_t unit : formName) name += (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 32) : unit;
    return name;
}

// The version text a module's settings name ("VersionVar"); empty when they name none.
std::u16string SettingsVersionText(ModuleHandle module) {
    return CrashSettings::Create(ProcessSettingsHost(), module)->VersionVar();
}

}  // namespace

ModuleSettingsBlock* Win32SettingsHost::AcquireModuleSettings(ModuleHandle module) {
    return crashreport::AcquireModuleSettings(module);
}

void Win32SettingsHost::ReleaseModuleSettings(ModuleSettingsBlock* block) {
    crashreport::ReleaseModuleSettings(block);
}

void Win32SettingsHost::ReloadModuleSettings(ModuleSettingsBlock& block) {
    crashreport::ReloadModuleSettings(block);
}

std::optional<std::u16string> Win32SettingsHost::ReadVersionText(ModuleHandle module, std::int32_t offset) {
    std::uintptr_t textAddress = 0;
    const std::uintptr_t pointerAddress = reinterpret_cast<std::uintptr_t>(module) + offset;
    if (!ReadOwnMemory(pointerAddress, &textAddress, sizeof textAddress)) return std::nullopt;
    std::optional<std::string> text = ReadTerminatedText(textAddress);
    if (!text) return std::nullopt;
    return DecodeSystemCodePage(*text);
}

std::u16string Win32SettingsHost::ExpandPlaceholders(ModuleHandle module, std::u16string_view text,
                                                     const ExceptionPlaceholderTexts& exception) {
    Win32PlaceholderEnvironment environment(SettingsVersionText);
    std::u16string expanded(text);
    const std::optional<std::u16string_view> message =
        exception.exceptionMessage ? std::optional<std::u16string_view>(*exception.exceptionMessage) : std::nullopt;
    crashreport::ExpandPlaceholders(environment, module, expanded, exception.exceptionClass, exception.errorDetails,
                                    exception.bugReport, message);
    return expanded;
}

std::vector<std::vector<std::uint8_t>> Win32SettingsHost::FormResources(ModuleHandle module,
                                                                        const std::vector<std::u16string>& formNames) {
    ModuleHandle source = module;
    const ModuleHandle resourceModule = RegisteredResourceModule(module);
    if (resourceModule != nullptr && !formNames.empty() &&
        !ModuleDataResource(resourceModule, FormResourceName(formNames.front())).empty()) {
        source = resourceModule;
    }
    std::vector<std::vector<std::uint8_t>> definitions;
    for (const std::u16string& form : formNames) {
        const std::span<const std::uint8_t> bytes = ModuleDataResource(source, FormResourceName(form));
        definitions.emplace_back(bytes.begin(), bytes.end());
    }
    return definitions;
}

Win32SettingsHost& ProcessSettingsHost() {
    static Win32SettingsHost host;
    return host;
}

}  // namespace brevant::crashreport
