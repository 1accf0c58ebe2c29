#pragma once
// The settings object: every setting of a module read and written by its property name, with
// the module's shared block first, then the main settings (for other modules) or the built-in
// defaults. A crash exception derives from it and puts an overlay of its own in front.

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "crashreport/core/assistant_definition.h"
#include "crashreport/core/crash_settings_interfaces.h"
#include "crashreport/core/settings_host.h"
#include "crashreport/report/crash_attachments.h"
#include "crashreport/report/crash_fields.h"

namespace brevant::crashreport {

#define BREVANT_IMPLEMENT_GetBool(op, property) \
    bool op() override {                        \
        return GetPropBool(property);           \
    }
#define BREVANT_IMPLEMENT_SetBool(op, property) \
    void op(bool value) override {              \
        SetPropBool(property, value);           \
    }
#define BREVANT_IMPLEMENT_GetInt(op, property) \
    std::int32_t op() override {               \
        return GetPropInt(property);           \
    }
#define BREVANT_IMPLEMENT_SetInt(op, property) \
    void op(std::int32_t value) override {     \
        SetPropInt(property, value);           \
    }
#define BREVANT_IMPLEMENT_GetText(op, property) \
    std::u16string op() override {              \
        return GetPropStr(property);            \
    }
#define BREVANT_IMPLEMENT_SetText(op, property)   \
    void op(std::u16string_view value) override { \
        SetPropStr(property, value);              \
    }
#define BREVANT_IMPLEMENT_GetAnsi(op, property)  \
    std::string op() override {                  \
        return NarrowText(GetPropStr(property)); \
    }
#define BREVANT_IMPLEMENT_SetAnsi(op, property) \
    void op(std::string_view value) override {  \
        SetPropStr(property, WidenText(value)); \
    }
#define BREVANT_IMPLEMENT_Special(op, property)
#define BREVANT_IMPLEMENT_OPERATION(kind, op, property) BREVANT_IMPLEMENT_##kind(op, property)

// 8-bit texts of the settings (server names): units above 255 cannot be represented and
// become "?".
std::string NarrowText(std::u16string_view text);
std::u16string WidenText(std::string_view text);

class CrashSettings : public ICrashModuleSettings, public ICrashSettingsEx, private SettingsFieldsOwner {
public:
    // A new object with one reference held by the caller.
    static RefPtr<CrashSettings> Create(SettingsHost& host, ModuleHandle module);

    // The settings object of the crash reporter's own module, made at start-up. Reads of other
    // modules fall back to it.
    static void SetMainSettings(RefPtr<CrashSettings> main);
    static RefPtr<CrashSettings> MainSettings();

    std::int32_t QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    CRASH_SETTINGS_OPERATIONS(BREVANT_IMPLEMENT_OPERATION)
    CRASH_MODULE_SETTINGS_OPERATIONS(BREVANT_IMPLEMENT_OPERATION)

    ModuleHandle Module() override { return module_; }
    ICrashFields* GetAdditionalFields() override;
    CrashAttachments* GetAdditionalAttachments() override;
    bool GetPluginEnabled(std::u16string_view plugin) override;
    void SetPluginEnabled(std::u16string_view plugin, bool enabled) override;
    std::u16string VersionVar() override { return versionVar_; }
    AssistantRef GetAssistant(std::u16string_view name) override;
    bool IsValid() override { return valid_; }
    bool LinkInSettings() override { return !GetPropBool("NoSettings"); }
    bool LinkInMapFile() override { return GetPropStr("MinDebugInfo").empty(); }
    bool CrashOnOverrun() override { return GetPropBool("CrashOnBuffer") && !GetPropBool("CrashOnUnderrun"); }
    bool CrashOnUnderrun() override { return GetPropBool("CrashOnBuffer") && GetPropBool("CrashOnUnderrun"); }
    void Reload() override;

    bool GetPropBool(std::string_view name) override;
    std::int32_t GetPropInt(std::string_view name) override;
    std::u16string GetPropStr(std::string_view name) override;
    std::int32_t GetPropDw(std::string_view name) override { return GetPropInt(name); }
    void FillFormCache(const BuiltAssistant* assistant) override;
    void ReadFormCache(const BuiltAssistant* assistant) override;
    CrashSettings* GetSelf() override { return this; }

    // A text setting with the exception placeholders taken from a finished report: its
    // "exception class" and "exception message" lines, its "error details" section and the
    // whole report.
    std::u16string TextForReport(std::string_view name, std::u16string_view report);

    bool SetPropBool(std::string_view name, bool value);
    bool SetPropInt(std::string_view name, std::int32_t value);
    bool SetPropStr(std::string_view name, std::u16string_view value);
    bool SetPropDw(std::string_view name, std::int32_t value) { return SetPropInt(name, value); }

    // The first property of this name: the module's block, then (with useDefaults) the
    // built-in table. A copy, taken under the block's lock.
    virtual std::optional<SettingsProperty> FindProp(std::string_view name, bool useDefaults);

protected:
    CrashSettings(SettingsHost& host, ModuleHandle module);
    virtual ~CrashSettings();

    // Where setters write: the module's shared block; an exception writes into its overlay.
    virtual ModuleSettingsBlock* BlockForWriting() { return valid_ ? block_ : nullptr; }
    // The four exception placeholders: kept as they are for a plain settings object.
    virtual ExceptionPlaceholderTexts PlaceholderTexts();
    // An exception without screenshots drops the screenshot form from its assistants.
    virtual bool ScreenshotsOff() { return false; }

    SettingsHost& host_;

private:
    template <typename Value>
    Value ReadProperty(std::string_view name, Value SettingsProperty::*field,
                       Value (CrashSettings::*mainRead)(std::string_view));
    template <typename Store>
    bool WriteProperty(std::string_view name, TPropertyType type, Store store);
    bool UsesDefaults();
    std::u16string UnexpandedText(std::string_view name);
    void ReadVersionVar();
    void WriteAddFields(std::u16string_view addFieldsText) override;

    std::atomic<std::uint32_t> references_{1};
    ModuleHandle module_ = nullptr;
    ModuleSettingsBlock* block_ = nullptr;
    bool valid_ = false;
    std::u16string versionVar_;
    std::mutex listsLock_;
    RefPtr<CrashFields> addFields_;
    std::unique_ptr<CrashAttachments> addAttachs_;
};

}  // namespace brevant::crashreport
