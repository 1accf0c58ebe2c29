#include "crashreport/report/module_list.h"

#include <gtest/gtest.h>

#include <map>

#include "base/utf16_text.h"
#include "crashreport/report/module_walk.h"

namespace brevant::crashreport {
namespace {

TEST(ModuleListTest, ColumnsAreWidestNameAndVersionPlusOneBlank) {
    const std::vector<ModuleEntry> entries = {
        {0x00400000, u"app.exe", u"C:\\Apps\\Sample", u"1.4.0.12"},
        {0x6f8a0000, u"comctl32.dll", u"C:\\Windows\\SYSTEM32", u"6.10.9.1110"},
        {0x77480000, u"ntdll.dll", u"C:\\Windows\\SYSTEM32", u""},
    };
    EXPECT_EQ(ToUtf8(ModuleListText(entries, 8)),
              "00400000 app.exe      1.4.0.12    C:\\Apps\\Sample\r\n"
              "6f8a0000 comctl32.dll 6.10.9.1110 C:\\Windows\\SYSTEM32\r\n"
              "77480000 ntdll.dll                C:\\Windows\\SYSTEM32");
}

TEST(ModuleListTest, VersionColumnIsOneBlankWithoutVersionsAndAddressesWidenTo16Digits) {
    const std::vector<ModuleEntry> entries = {
        {0x140000000, u"a.exe", u"C:\\x", u""},
        {0x7ffb12340000, u"ntdll.dll", u"", u""},
    };
    EXPECT_EQ(ToUtf8(ModuleListText(entries, 16)),
              "0000000140000000 a.exe      C:\\x\r\n"
              "00007ffb12340000 ntdll.dll  ");
    EXPECT_EQ(ToUtf8(ModuleListText({}, 8)), "");
}

// An address space described by its regions, with module names at some allocation bases.
class FakeAddressSpace : public ModuleAddressSpace {
public:
    std::vector<MemoryRegion> regions;
    std::map<std::uint64_t, std::u16string> modules;
    mutable std::vector<std::uint64_t> namesAsked;

    std::optional<MemoryRegion> RegionAt(std::uint64_t address) const override {
        for (const MemoryRegion& region : regions) {
            if (address >= region.baseAddress && address - region.baseAddress < region.size) return region;
        }
        return std::nullopt;
    }
    std::u16string ModuleFileName(std::uint64_t base) const override {
        namesAsked.push_back(base);
        auto found = modules.find(base);
        return found == modules.end() ? std::u16string() : found->second;
    }
    std::u16string LongFileName(const std::u16string& name) const override {
        return name == u"C:\\PROGRA~1\\Tool\\tool.dll" ? u"C:\\Program Files\\Tool\\tool.dll" : name;
    }
    std::u16string FileVersion(const std::u16string& name) const override {
        return name == u"C:\\Program Files\\Tool\\tool.dll" ? u"2.0.0.1" : u"";
    }
};

TEST(ModuleListTest, WalkTakesCommittedFirstRegionOfEachAllocationWithModuleName) {
    FakeAddressSpace space;
    space.regions = {
        {0x00000000, 0x00000000, 0x10000, false},  // free
        {0x00010000, 0x00010000, 0x1000, true},    // committed data, no module
        {0x00011000, 0x00010000, 0x1000, true},    // same allocation again
        {0x00012000, 0x00012000, 0x1000, false},   // reserved head of a module allocation ...
        {0x00013000, 0x00012000, 0x1000, true},    // ... whose committed part is not its base
        {0x00014000, 0x00014000, 0x2000, true},    // module
        {0x00016000, 0x00014000, 0x1000, true},    // rest of that module
        {0x00017000, 0x00017000, 0x1000, true},    // a second module
        {0x00018000, 0x00018000, 0x1000, true},    // a third module
    };
    space.modules = {{0x00012000, u"C:\\skipped.dll"},
                     {0x00014000, u"C:\\PROGRA~1\\Tool\\tool.dll"},
                     {0x00017000, u"plain.dll"},
                     {0x00018000, u"C:\\Windows\\system32\\ntdll.dll"}};
    const std::vector<ModuleEntry> modules = FindLoadedModules(space);
    ASSERT_EQ(modules.size(), 3u);
    EXPECT_EQ(modules[0].baseAddress, 0x14000u);
    EXPECT_EQ(ToUtf8(modules[0].fileName), "tool.dll");
    EXPECT_EQ(ToUtf8(modules[0].folder), "C:\\Program Files\\Tool");
    EXPECT_EQ(ToUtf8(modules[0].version), "2.0.0.1");
    EXPECT_EQ(ToUtf8(modules[1].fileName), "plain.dll");
    EXPECT_EQ(ToUtf8(modules[1].folder), "");
    EXPECT_EQ(ToUtf8(modules[2].folder), "C:\\Windows\\system32");
    // Each allocation is asked about once, at its base.
    EXPECT_EQ(space.namesAsked, (std::vector<std::uint64_t>{0x10000, 0x14000, 0x17000, 0x18000}));
}

TEST(ModuleListTest, WalkEndsAtFirstUndescribedAddressAndAtTheTopOfTheAddressSpace) {
    FakeAddressSpace space;
    space.regions = {{0x0, 0x0, 0x1000, true}, {0x2000, 0x2000, 0x1000, true}};
    space.modules = {{0x0, u"first.exe"}, {0x2000, u"unreached.dll"}};
    ASSERT_EQ(FindLoadedModules(space).size(), 1u);

    const std::uint64_t top = 0xFFFFFFFFFFFFF000;
    space.regions = {{0x0, 0x0, top, false}, {top, top, 0x1000, true}};
    space.modules = {{top, u"last.dll"}, {0x0, u"again.exe"}};
    const std::vector<ModuleEntry> modules = FindLoadedModules(space);  // must not wrap round to 0
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(ToUtf8(modules[0].fileName), "last.dll");
}

}  // namespace
}  // namespace brevant::crashreport
