#pragma once
// The three faces of the settings object. They are reference-counted interfaces in the
// component style: no virtual destructor, the three reference-counting operations first, then
// the operations in a fixed slot order (settings_operations.h), so that another module built
// from the same declarations can call through the table by slot.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/reference_counted.h"
#include "crashreport/core/module_handle.h"
#include "crashreport/core/settings_operations.h"

namespace brevant::crashreport {

// {8C612485-CD17-4C66-8C62-D6D94D54EA50}
inline constexpr InterfaceId kCrashSettingsExId = {
    0x8C612485, 0xCD17, 0x4C66, {0x8C, 0x62, 0xD6, 0xD9, 0x4D, 0x54, 0xEA, 0x50}};
// Our own identifiers for the two other faces.
inline constexpr InterfaceId kCrashSettingsId = {
    0x5B0E2A71, 0x3C4D, 0x4E8F, {0x9A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x71}};
inline constexpr InterfaceId kCrashModuleSettingsId = {
    0x5B0E2A72, 0x3C4D, 0x4E8F, {0x9A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x72}};

class CrashSettings;
class ICrashFields;
class CrashAttachments;
struct BuiltAssistant;
using AssistantRef = std::shared_ptr<const BuiltAssistant>;

#define BREVANT_DECLARE_GetBool(op, property) virtual bool op() = 0;
#define BREVANT_DECLARE_SetBool(op, property) virtual void op(bool value) = 0;
#define BREVANT_DECLARE_GetInt(op, property) virtual std::int32_t op() = 0;
#define BREVANT_DECLARE_SetInt(op, property) virtual void op(std::int32_t value) = 0;
#define BREVANT_DECLARE_GetText(op, property) virtual std::u16string op() = 0;
#define BREVANT_DECLARE_SetText(op, property) virtual void op(std::u16string_view value) = 0;
#define BREVANT_DECLARE_GetAnsi(op, property) virtual std::string op() = 0;
#define BREVANT_DECLARE_SetAnsi(op, property) virtual void op(std::string_view value) = 0;
#define BREVANT_DECLARE_Special(op, property) BREVANT_DECLARE_SPECIAL_##op
#define BREVANT_DECLARE_SPECIAL_Module virtual ModuleHandle Module() = 0;
#define BREVANT_DECLARE_SPECIAL_GetAdditionalFields virtual ICrashFields* GetAdditionalFields() = 0;
#define BREVANT_DECLARE_SPECIAL_GetAdditionalAttachments virtual CrashAttachments* GetAdditionalAttachments() = 0;
#define BREVANT_DECLARE_SPECIAL_GetPluginEnabled virtual bool GetPluginEnabled(std::u16string_view plugin) = 0;
#define BREVANT_DECLARE_SPECIAL_SetPluginEnabled \
    virtual void SetPluginEnabled(std::u16string_view plugin, bool enabled) = 0;
#define BREVANT_DECLARE_SPECIAL_VersionVar virtual std::u16string VersionVar() = 0;
#define BREVANT_DECLARE_SPECIAL_GetAssistant virtual AssistantRef GetAssistant(std::u16string_view name) = 0;
#define BREVANT_DECLARE_SPECIAL_IsValid virtual bool IsValid() = 0;
#define BREVANT_DECLARE_SPECIAL_LinkInSettings virtual bool LinkInSettings() = 0;
#define BREVANT_DECLARE_SPECIAL_LinkInMapFile virtual bool LinkInMapFile() = 0;
#define BREVANT_DECLARE_SPECIAL_CrashOnOverrun virtual bool CrashOnOverrun() = 0;
#define BREVANT_DECLARE_SPECIAL_CrashOnUnderrun virtual bool CrashOnUnderrun() = 0;
#define BREVANT_DECLARE_SPECIAL_Reload virtual void Reload() = 0;
#define BREVANT_DECLARE_OPERATION(kind, op, property) BREVANT_DECLARE_##kind(op, property)

class ICrashSettings : public IReferenceCounted {
public:
    CRASH_SETTINGS_OPERATIONS(BREVANT_DECLARE_OPERATION)

protected:
    ~ICrashSettings() = default;
};

class ICrashModuleSettings : public ICrashSettings {
public:
    CRASH_MODULE_SETTINGS_OPERATIONS(BREVANT_DECLARE_OPERATION)

protected:
    ~ICrashModuleSettings() = default;
};

class ICrashSettingsEx : public IReferenceCounted {
public:
    virtual bool GetPropBool(std::string_view name) = 0;
    virtual std::int32_t GetPropInt(std::string_view name) = 0;
    virtual std::u16string GetPropStr(std::string_view name) = 0;
    virtual std::int32_t GetPropDw(std::string_view name) = 0;
    // The form cache of the assistants; it needs the dialog toolkit's assistants.
    virtual void FillFormCache(const BuiltAssistant* assistant) = 0;
    virtual void ReadFormCache(const BuiltAssistant* assistant) = 0;
    virtual CrashSettings* GetSelf() = 0;

protected:
    ~ICrashSettingsEx() = default;
};

}  // namespace brevant::crashreport
