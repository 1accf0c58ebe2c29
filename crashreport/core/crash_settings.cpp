#include "crashreport/core/crash_settings.h"

#include <utility>

#include "base/utf16_text.h"
#include "crashreport/core/default_settings.h"
#include "crashreport/report/report_text.h"

namespace brevant::crashreport {

namespace {

// Never destroyed: the crash reporter's stop, after every static destructor, still lets go of
// the main settings.
std::mutex& MainSettingsLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
RefPtr<CrashSettings>& MainSettingsSlot() {
    static auto* slot = new RefPtr<CrashSettings>;
    return *slot;
}

}  // namespace

std::string NarrowText(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t unit : text) narrow += unit < 256 ? static_cast<char>(unit) : '?';
    return narrow;
}

std::u16string WidenText(std::string_view text) {
    return FromLatin1(text);
}

RefPtr<CrashSettings> CrashSettings::Create(SettingsHost& host, ModuleHandle module) {
    return RefPtr<CrashSettings>::Adopt(new CrashSettings(host, module));
}

void CrashSettings::SetMainSettings(RefPtr<CrashSettings> main) {
    std::lock_guard guard(MainSettingsLock());
    MainSettingsSlot() = std::move(main);
}

RefPtr<CrashSettings> CrashSettings::MainSettings() {
    std::lock_guard guard(MainSettingsLock());
    return MainSettingsSlot();
}

CrashSettings::CrashSettings(SettingsHost& host, ModuleHandle module) : host_(host) {
    block_ = host_.AcquireModuleSettings(module);
    valid_ = block_ != nullptr;
    if (valid_) {
        module_ = module;
        ReadVersionVar();
    }
}

CrashSettings::~CrashSettings() {
    if (block_) host_.ReleaseModuleSettings(block_);
}

void CrashSettings::ReadVersionVar() {
    const std::int32_t offset = GetPropInt("VersionVar");
    if (offset == 0) return;
    if (std::optional<std::u16string> text = host_.ReadVersionText(module_, offset)) versionVar_ = std::move(*text);
}

std::int32_t CrashSettings::QueryInterface(const InterfaceId& id, void** object) {
    if (id == kReferenceCountedId || id == kCrashSettingsId || id == kCrashModuleSettingsId) {
        *object = static_cast<ICrashModuleSettings*>(this);
    } else if (id == kCrashSettingsExId) {
        *object = static_cast<ICrashSettingsEx*>(this);
    } else {
        *object = nullptr;
        return kInterfaceMissing;
    }
    AddRef();
    return kInterfaceFound;
}

std::uint32_t CrashSettings::AddRef() {
    return ++references_;
}

std::uint32_t CrashSettings::Release() {
    const std::uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

std::optional<SettingsProperty> CrashSettings::FindProp(std::string_view name, bool useDefaults) {
    if (block_) {
        std::lock_guard guard(block_->valuesLock);
        if (const SettingsProperty* property = FindBlockProperty(*block_, name)) return *property;
    }
    if (useDefaults) {
        if (const SettingsProperty* builtIn = FindDefaultSetting(name)) return *builtIn;
    }
    return std::nullopt;
}

bool CrashSettings::UsesDefaults() {
    const RefPtr<CrashSettings> main = MainSettings();
    return !main || main->module_ == module_;
}

// A read takes the value of the first property found whatever its type (a boolean read as an
// integer gives 0); a module without the name asks the main settings, which end at the
// built-in defaults.
template <typename Value>
Value CrashSettings::ReadProperty(std::string_view name, Value SettingsProperty::*field,
                                  Value (CrashSettings::*mainRead)(std::string_view)) {
    const bool useDefaults = UsesDefaults();
    if (std::optional<SettingsProperty> property = FindProp(name, useDefaults)) return (*property).*field;
    if (useDefaults) return Value{};
    const RefPtr<CrashSettings> main = MainSettings();
    return main ? ((*main).*mainRead)(name) : Value{};
}

bool CrashSettings::GetPropBool(std::string_view name) {
    return ReadProperty(name, &SettingsProperty::vBool, &CrashSettings::GetPropBool);
}

std::int32_t CrashSettings::GetPropInt(std::string_view name) {
    return ReadProperty(name, &SettingsProperty::vInt, &CrashSettings::GetPropInt);
}

std::u16string CrashSettings::GetPropStr(std::string_view name) {
    std::u16string text = UnexpandedText(name);
    if (name == "FrozenMsg") return text;
    return host_.ExpandPlaceholders(module_, text, PlaceholderTexts());
}

// The main settings lend their stored text, which is then expanded once, for this object's
// module: so "%modname%" names the module that asked, and text that one expansion inserted is
// never searched again.
std::u16string CrashSettings::UnexpandedText(std::string_view name) {
    return ReadProperty(name, &SettingsProperty::vStr, &CrashSettings::UnexpandedText);
}

std::u16string CrashSettings::TextForReport(std::string_view name, std::u16string_view report) {
    ExceptionPlaceholderTexts texts{ReadReportHeaderField(report, u"exception class"),
                                    ReadReportSection(report, u"error details"), std::u16string(report),
                                    ReadReportHeaderField(report, u"exception message")};
    return host_.ExpandPlaceholders(module_, UnexpandedText(name), texts);
}

ExceptionPlaceholderTexts CrashSettings::PlaceholderTexts() {
    return {u"%exceptClass%", u"%errorDetails%", u"%bugReport%", u"%exceptMsg%"};
}

template <typename Store>
bool CrashSettings::WriteProperty(std::string_view name, TPropertyType type, Store store) {
    ModuleSettingsBlock* block = BlockForWriting();
    if (!block) return false;
    std::lock_guard guard(block->valuesLock);
    SettingsProperty* property = FindBlockProperty(*block, name);
    if (!property) property = &AppendProperty(*block, name, type);
    if (property->typ != type) return false;
    store(*property);
    return true;
}

bool CrashSettings::SetPropBool(std::string_view name, bool value) {
    return WriteProperty(name, TPropertyType::ptBoolean, [&](SettingsProperty& p) { p.vBool = value; });
}

bool CrashSettings::SetPropInt(std::string_view name, std::int32_t value) {
    return WriteProperty(name, TPropertyType::ptInteger, [&](SettingsProperty& p) { p.vInt = value; });
}

bool CrashSettings::SetPropStr(std::string_view name, std::u16string_view value) {
    return WriteProperty(name, TPropertyType::ptString, [&](SettingsProperty& p) { p.vStr.assign(value); });
}

bool CrashSettings::GetPluginEnabled(std::u16string_view plugin) {
    return ListContains(GetPropStr("Plugins"), plugin);
}

void CrashSettings::SetPluginEnabled(std::u16string_view plugin, bool enabled) {
    const std::u16string list = GetPropStr("Plugins");
    const std::u16string changed = enabled ? ListWithItem(list, plugin) : ListWithoutItem(list, plugin);
    if (changed != list) SetPropStr("Plugins", changed);
}

AssistantRef CrashSettings::GetAssistant(std::u16string_view name) {
    std::optional<AssistantDefinition> definition =
        FindAssistantDefinition([this](int number) { return GetPropStr("Assistant" + std::to_string(number)); }, name);
    if (!definition) return nullptr;
    if (ScreenshotsOff() || GetScreenShotDepth() == 0) DropScreenshotForm(*definition);

    auto assistant = std::make_shared<BuiltAssistant>();
    assistant->name = definition->name;
    assistant->title = definition->title;
    std::vector<std::vector<std::uint8_t>> definitions = host_.FormResources(module_, definition->formNames);
    for (std::size_t i = 0; i < definition->formNames.size() && i < definitions.size(); ++i) {
        assistant->forms.push_back({definition->formNames[i], std::move(definitions[i])});
    }
    ReadFormCache(assistant.get());
    return assistant;
}

ICrashFields* CrashSettings::GetAdditionalFields() {
    std::lock_guard guard(listsLock_);
    if (!addFields_) addFields_ = CrashFields::FromAddFields(GetPropStr("AddFields"), this);
    return addFields_.get();
}

void CrashSettings::WriteAddFields(std::u16string_view addFieldsText) {
    SetPropStr("AddFields", addFieldsText);
}

CrashAttachments* CrashSettings::GetAdditionalAttachments() {
    std::lock_guard guard(listsLock_);
    if (!addAttachs_) {
        addAttachs_ = std::make_unique<CrashAttachments>();
        FillFromAddAttachs(*addAttachs_, GetPropStr("AddAttachs"));
    }
    return addAttachs_.get();
}

void CrashSettings::FillFormCache(const BuiltAssistant*) {
    // The entered values live in the dialog toolkit's forms; until assistants run as windows
    // there is nothing to remember.
}

void CrashSettings::ReadFormCache(const BuiltAssistant*) {
    // See FillFormCache: the cache is filled only by confirmed forms.
}

void CrashSettings::Reload() {
    if (block_) host_.ReloadModuleSettings(*block_);
}

}  // namespace brevant::crashreport
