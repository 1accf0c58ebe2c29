#pragma once
// Settings streams built record by record, the shipped settings block compiled from its text,
// and a settings host that serves such streams per module, for tests of settings users.

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "crashreport/core/crash_settings.h"
#include "crashreport/core/settings_stream.h"
#include "tools/property_stream_compiler/property_text.h"

namespace brevant::crashreport {

// A settings stream with the fixed header, built record by record.
class StreamBuilder {
public:
    StreamBuilder() { Raw("TPF0\x08TQuarrex\x07Quarrex"); }
    StreamBuilder& Bool(const std::string& name, bool value) { return Name(name).Byte(value ? 9 : 8); }
    StreamBuilder& Int(const std::string& name, std::int32_t value) {
        Name(name).Byte(4);
        for (int i = 0; i < 4; ++i) Byte(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
        return *this;
    }
    StreamBuilder& Text(const std::string& name, const std::string& value) {
        Name(name).Byte(12);
        for (int i = 0; i < 4; ++i) Byte(static_cast<std::uint8_t>(value.size() >> (8 * i)));
        return Raw(value);
    }
    StreamBuilder& Byte(std::uint8_t value) {
        bytes.push_back(value);
        return *this;
    }
    std::vector<std::uint8_t> End() {
        Byte(0).Byte(0);
        return bytes;
    }
    std::vector<std::uint8_t> bytes;

private:
    StreamBuilder& Raw(const std::string& text) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    StreamBuilder& Name(const std::string& name) {
        Byte(static_cast<std::uint8_t>(name.size()));
        return Raw(name);
    }
};

// Blocks per module, loaded from scripted streams; placeholders and form resources recorded.
class ScriptedHost : public SettingsHost {
public:
    ModuleSettingsBlock* AcquireModuleSettings(ModuleHandle module) override {
        auto stream = streams.find(module);
        if (stream == streams.end()) return nullptr;
        ModuleSettingsBlock*& block = blocks[module];
        if (!block) {
            block = new ModuleSettingsBlock;
            block->module = module;
            AddLoadedProperties(*block, ReadSettingsStream(stream->second, DecodeLatin1));
        }
        ++block->refCount;
        return block;
    }
    void ReleaseModuleSettings(ModuleSettingsBlock* block) override {
        if (--block->refCount == 0) {
            blocks.erase(block->module);
            delete block;
        }
    }
    void ReloadModuleSettings(ModuleSettingsBlock& block) override {
        ClearProperties(block);
        AddLoadedProperties(block, ReadSettingsStream(streams[block.module], DecodeLatin1));
    }
    std::optional<std::u16string> ReadVersionText(ModuleHandle, std::int32_t offset) override {
        versionOffsets.push_back(offset);
        return u"7.1.2";
    }
    std::u16string ExpandPlaceholders(ModuleHandle module, std::u16string_view text,
                                      const ExceptionPlaceholderTexts& exception) override {
        lastException = exception;
        ++expansions;
        std::u16string expanded(text);
        Replace(expanded, u"%appname%", u"Brevant.exe");
        Replace(expanded, u"%modname%", module == kProgram ? u"Brevant.exe" : u"plugin.dll");
        return expanded;
    }
    static void Replace(std::u16string& text, std::u16string_view placeholder, std::u16string_view value) {
        for (std::size_t at = 0; (at = text.find(placeholder, at)) != std::u16string::npos; at += value.size())
            text.replace(at, placeholder.size(), value);
    }
    std::vector<std::vector<std::uint8_t>> FormResources(ModuleHandle,
                                                         const std::vector<std::u16string>& formNames) override {
        std::vector<std::vector<std::uint8_t>> definitions;
        for (const std::u16string& name : formNames) definitions.emplace_back(name.begin(), name.end());
        return definitions;
    }

    static inline const ModuleHandle kProgram = reinterpret_cast<ModuleHandle>(0x400000);
    static inline const ModuleHandle kLibrary = reinterpret_cast<ModuleHandle>(0x10000000);
    std::map<ModuleHandle, std::vector<std::uint8_t>> streams;
    std::map<ModuleHandle, ModuleSettingsBlock*> blocks;
    std::vector<std::int32_t> versionOffsets;
    ExceptionPlaceholderTexts lastException;
    int expansions = 0;
};

// The settings block this build embeds, compiled from its readable source.
inline std::vector<std::uint8_t> ShippedSettingsStream() {
    std::filesystem::path root = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    std::ifstream file(root / "resources" / "crash_settings.txt", std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return tools::CompilePropertyText(text.str()).stream;
}

}  // namespace brevant::crashreport
