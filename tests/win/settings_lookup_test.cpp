#include "crashreport/core/win32/settings_lookup.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "scratch_folder.h"
#include "settings_test_modules.h"

namespace brevant::crashreport {
namespace {

std::vector<ModuleHandle> LoadedModulesInWalkOrder() {
    std::vector<ModuleHandle> modules;
    VisitLoadedModules([&modules](ModuleHandle module) {
        modules.push_back(module);
        return true;
    });
    return modules;
}

bool Contains(const std::vector<ModuleHandle>& modules, ModuleHandle module) {
    return std::find(modules.begin(), modules.end(), module) != modules.end();
}

void CodeOfTheTestProgram() {}

// Gives the settings for the code that called it, seen from a frame of the test program.
__attribute__((noinline)) RefPtr<CrashSettings> SettingsAskedByTheTestProgram() {
    return SettingsForCaller();
}

TEST(SettingsLookupTest, TheCrashReportersModuleIsTheOneItIsLinkedInto) {
    EXPECT_EQ(CrashReporterModule(), TestProgramModule());
}

TEST(SettingsLookupTest, TheWalkFindsEveryLoadedModuleOnceInAddressOrder) {
    const std::vector<ModuleHandle> modules = LoadedModulesInWalkOrder();
    for (const wchar_t* name : {L"ntdll.dll", L"kernel32.dll"}) {
        EXPECT_TRUE(Contains(modules, GetModuleHandleW(name))) << name;
    }
    EXPECT_TRUE(Contains(modules, TestProgramModule()));
    EXPECT_TRUE(std::is_sorted(modules.begin(), modules.end()));
    EXPECT_EQ(std::adjacent_find(modules.begin(), modules.end()), modules.end());
}

// The data file is a copy: the program itself may already be loaded as an image by other
// tests, and then the loader hands out that image instead.
TEST(SettingsLookupTest, TheWalkCountsImagesTheLoaderKnowsButNotDataFiles) {
    ScratchFolder folder;
    const std::wstring copy = ToWide(folder.Path()) + L"\\data_file_copy.exe";
    ASSERT_TRUE(CopyFileW(BuiltProgramPath().c_str(), copy.c_str(), FALSE));
    {
        LoadedProgram dataFile(LoadedProgram::Mapping::DataFile, copy);
        LoadedProgram image(LoadedProgram::Mapping::InertImage);
        ASSERT_NE(dataFile.Handle(), nullptr);
        ASSERT_NE(image.Handle(), nullptr);
        const auto dataFileHandle = reinterpret_cast<std::uintptr_t>(dataFile.Handle());
        ASSERT_NE(dataFileHandle & 3, 0u) << "mapped as data, not as an image";
        const std::vector<ModuleHandle> modules = LoadedModulesInWalkOrder();
        EXPECT_TRUE(Contains(modules, image.Handle()));
        EXPECT_FALSE(Contains(modules, reinterpret_cast<ModuleHandle>(dataFileHandle & ~std::uintptr_t{3})));
    }
    DeleteFileW(copy.c_str());
}

TEST(SettingsLookupTest, TheWalkStopsWhenAskedTo) {
    int visited = 0;
    VisitLoadedModules([&visited](ModuleHandle) { return ++visited < 2; });
    EXPECT_EQ(visited, 2);
}

TEST(SettingsLookupTest, ModulesAndAddressesMapToTheSettingsThatApply) {
    struct Case {
        const char* what;
        RefPtr<CrashSettings> settings;
        bool valid;
        ModuleHandle module;
    };
    const Case cases[] = {
        {"the executable", SettingsForModule(nullptr), true, TestProgramModule()},
        {"the test program by handle", SettingsForModule(TestProgramModule()), true, TestProgramModule()},
        {"a module without settings", SettingsForModule(Kernel32Module()), false, nullptr},
        {"code of the test program", SettingsForAddress(reinterpret_cast<const void*>(&CodeOfTheTestProgram)), true,
         TestProgramModule()},
        {"code in kernel32",
         SettingsForAddress(
             reinterpret_cast<const void*>(GetProcAddress(static_cast<HMODULE>(Kernel32Module()), "GetTickCount"))),
         true, TestProgramModule()},
        {"an address in no module", SettingsForAddress(reinterpret_cast<const void*>(0x10)), true, TestProgramModule()},
        {"the caller", SettingsAskedByTheTestProgram(), true, TestProgramModule()},
        {"the linked settings", FindLinkedSettings(), true, TestProgramModule()},
    };
    for (const Case& lookup : cases) {
        ASSERT_TRUE(lookup.settings) << lookup.what;
        EXPECT_EQ(lookup.settings->IsValid(), lookup.valid) << lookup.what;
        EXPECT_EQ(lookup.settings->Module(), lookup.module) << lookup.what;
    }
}

// With the program mapped as an image, its settings are the first in the address space
// that link in once the test program's own settings say they do not.
TEST(SettingsLookupTest, SettingsThatDoNotLinkInBorrowFromAModuleWhoseSettingsDo) {
    LoadedProgram program(LoadedProgram::Mapping::InertImage);
    ASSERT_NE(program.Handle(), nullptr);
    RefPtr<CrashSettings> own = SettingsForModule(nullptr);
    ASSERT_TRUE(own->SetPropBool("NoSettings", true));

    EXPECT_EQ(FindLinkedSettings()->Module(), program.Handle());
    EXPECT_EQ(SettingsForModule(nullptr)->Module(), program.Handle());
    EXPECT_EQ(SettingsForModule(program.Handle())->Module(), program.Handle());
    EXPECT_EQ(SettingsForAddress(reinterpret_cast<const void*>(&CodeOfTheTestProgram))->Module(), program.Handle());

    RefPtr<CrashSettings> programSettings = SettingsForModule(program.Handle());
    ASSERT_TRUE(programSettings->SetPropBool("NoSettings", true));
    // Nobody links in: the settings asked for stay.
    EXPECT_EQ(SettingsForModule(nullptr)->Module(), TestProgramModule());
    EXPECT_EQ(FindLinkedSettings()->Module(), TestProgramModule());
    own->Reload();
}

}  // namespace
}  // namespace brevant::crashreport
