#pragma once
// The loaded settings of one module, shared by every settings object of that module in the
// process. Blocks form a list owned by the process-wide shared settings buffer.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string_view>

#include "crashreport/core/module_handle.h"
#include "crashreport/core/settings_stream.h"

namespace brevant::crashreport {

inline constexpr std::int32_t kInitialPropertyCapacity = 147;
inline constexpr std::int32_t kPropertyCapacityGrowth = 20;

struct ModuleSettingsBlock {
    std::int32_t refCount = 0;
    ModuleHandle module = nullptr;
    std::int32_t propCap = 0;
    std::int32_t propCount = 0;
    // A deque keeps every property in place while the array grows, so a reader holding one
    // is never left with a dangling reference.
    std::deque<SettingsProperty> props;
    ModuleSettingsBlock* next = nullptr;
    // Guards property values against a reader seeing a text while a setter replaces it.
    std::mutex valuesLock;
};

// Appends the properties of a read settings stream, in order, growing the array by the
// block's rule: room for 147 at first, then 20 more whenever it is full.
void AddLoadedProperties(ModuleSettingsBlock& block, SettingsStreamResult&& loaded);

// The two below expect the caller to hold the block's valuesLock.
// A new property with zero values at the end of the array.
SettingsProperty& AppendProperty(ModuleSettingsBlock& block, std::string_view name, TPropertyType type);

// The first property of exactly this name, or nullptr.
SettingsProperty* FindBlockProperty(ModuleSettingsBlock& block, std::string_view name);

// Frees every property; the next load starts with a fresh array.
void ClearProperties(ModuleSettingsBlock& block);

}  // namespace brevant::crashreport
