#include "crashreport/core/settings_block.h"

#include <string>

namespace brevant::crashreport {

namespace {

void MakeRoomForOne(ModuleSettingsBlock& block) {
    if (block.propCap == 0) {
        block.propCap = kInitialPropertyCapacity;
    } else if (block.propCount == block.propCap) {
        block.propCap += kPropertyCapacityGrowth;
    }
}

SettingsProperty& Append(ModuleSettingsBlock& block, SettingsProperty&& property) {
    MakeRoomForOne(block);
    block.props.push_back(std::move(property));
    ++block.propCount;
    return block.props.back();
}

}  // namespace

void AddLoadedProperties(ModuleSettingsBlock& block, SettingsStreamResult&& loaded) {
    if (!loaded.headerMatched) return;
    std::lock_guard guard(block.valuesLock);
    if (block.propCap == 0) block.propCap = kInitialPropertyCapacity;
    for (SettingsProperty& property : loaded.properties) Append(block, std::move(property));
}

SettingsProperty& AppendProperty(ModuleSettingsBlock& block, std::string_view name, TPropertyType type) {
    SettingsProperty property;
    property.name = std::string(name);
    property.typ = type;
    return Append(block, std::move(property));
}

SettingsProperty* FindBlockProperty(ModuleSettingsBlock& block, std::string_view name) {
    for (SettingsProperty& property : block.props) {
        if (property.name == name) return &property;
    }
    return nullptr;
}

void ClearProperties(ModuleSettingsBlock& block) {
    std::lock_guard guard(block.valuesLock);
    block.props.clear();
    block.propCap = 0;
    block.propCount = 0;
}

}  // namespace brevant::crashreport
