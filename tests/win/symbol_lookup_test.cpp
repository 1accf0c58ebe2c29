// The run-time lookups on a real module: the stripped Brevant.exe beside the tests, loaded
// into this process, names its own functions, units and lines from its embedded store.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/utf16_text.h"
#include "symbols/win32/code_address_lookup.h"
#include "symbols/win32/module_symbols.h"

namespace brevant::symbols {
namespace {

// win_tests.exe lives in <build>/tests, Brevant.exe in <build>.
HMODULE LoadShippedBrevant() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L'\\'));
    file = file.substr(0, file.find_last_of(L'\\')) + L"\\Brevant.exe";
    return LoadLibraryExW(file.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
}

class ShippedBrevantTest : public testing::Test {
protected:
    static void SetUpTestSuite() { module_ = LoadShippedBrevant(); }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "Brevant.exe could not be loaded"; }
    std::uintptr_t Base() const { return reinterpret_cast<std::uintptr_t>(module_); }
    const IMAGE_NT_HEADERS* Headers() const {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module_);
        return reinterpret_cast<const IMAGE_NT_HEADERS*>(Base() + dos->e_lfanew);
    }
    static HMODULE module_;
};
HMODULE ShippedBrevantTest::module_ = nullptr;

TEST_F(ShippedBrevantTest, NamesItsFunctionsUnitsAndLines) {
    struct Case {
        std::u16string unit, name;
    };
    const Case cases[] = {
#ifdef _WIN64
        {u"main", u"wWinMain"},
#else
        {u"main", u"wWinMain@16"},
#endif
        {u"main", u"brevant::(anonymous namespace)::RunProgram()"},
        {u"calibration_anchors", u"BrevantCalibrationMarker"},
        {u"launcher",
         u"brevant::Launcher::Launcher(brevant::CommandLine, brevant::LauncherPlatform, brevant::LauncherTexts)"},
    };
    ASSERT_TRUE(ModuleHasSymbols(module_));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
        const auto start = FindPublicSymbol(module_, c.unit, c.name);
        ASSERT_TRUE(start);
        for (std::uintptr_t address : {*start, *start + 1}) {
            const CodeAddressInfo info = LookupCodeAddress(address);
            EXPECT_TRUE(info.found);
            EXPECT_EQ(info.moduleName, u"Brevant.exe");
            EXPECT_EQ(info.unitName, c.unit);
            EXPECT_EQ(info.functionName, c.name);
            EXPECT_EQ(info.functionStart, *start);
        }
        EXPECT_GT(LookupCodeAddress(*start).line, 0);
        EXPECT_EQ(ProcNameAtAddress(*start), c.unit + u"." + c.name);
        EXPECT_EQ(ProcNameAtAddress(*start + 1), u"");
    }
}

TEST_F(ShippedBrevantTest, NamesInlinedHeaderCodeWithTheHeaderAndItsFunctionWithItsOwnUnit) {
    const SymbolStore* store = ModuleSymbolStore(module_);
    ASSERT_NE(store, nullptr);
    std::size_t inlined = 0;
    bool handlerInIniFile = false;
    for (std::size_t index = 0; index + 1 < store->LineCount(); ++index) {
        const std::uint32_t offset = store->LineRowStart(index);
        const auto symbol = store->PublicSymbolAt(offset);
        const std::int32_t line = store->LineAtAddress(offset).line;
        if (!symbol || symbol->unit.empty() || line <= 0 || store->UnitAt(offset) == symbol->unit) continue;
        handlerInIniFile |= symbol->unit == "ini_file" && symbol->name.starts_with("std::_Function_handler") &&
                            store->UnitAt(offset) == "std_function";
        if (++inlined > 300) continue;  // enough to see the run-time lookups agree
        SCOPED_TRACE(symbol->name);
        const CodeAddressInfo info = LookupCodeAddress(Base() + offset);
        EXPECT_EQ(ToUtf8(info.unitName), store->UnitAt(offset));
        EXPECT_EQ(info.line, line);
        EXPECT_EQ(info.functionStart, Base() + symbol->start);
        const std::u16string procName = ProcNameAtAddress(Base() + symbol->start);
        EXPECT_EQ(procName.rfind(FromUtf8(symbol->unit) + u"." + FromUtf8(symbol->name), 0), 0u) << ToUtf8(procName);
    }
    EXPECT_GT(inlined, 100u);
    // The ini file reader's std::function handlers are emitted in its unit, but their lines
    // are the library header's.
    EXPECT_TRUE(handlerInIniFile);
}

TEST_F(ShippedBrevantTest, NamesTheEntryPointFromTheImageHeader) {
    const std::uintptr_t entry = Base() + Headers()->OptionalHeader.AddressOfEntryPoint;
    const CodeAddressInfo info = LookupCodeAddress(entry);
    EXPECT_TRUE(info.found);
    EXPECT_EQ(info.functionStart, entry);
    EXPECT_EQ(info.functionName, u"WinMainCRTStartup");
    EXPECT_EQ(info.unitName, u"crtexe");
}

TEST_F(ShippedBrevantTest, LineCacheAnswersWithinItsRangeAndMovesOutsideIt) {
    const auto start = FindPublicSymbol(module_, u"main", u"brevant::(anonymous namespace)::RunProgram()");
    ASSERT_TRUE(start);
    LineCache cache;
    const std::int32_t line = LineAtAddress(*start, cache);
    EXPECT_EQ(line, SourceLineAt(*start));
    ASSERT_GT(cache.end, *start);
    EXPECT_EQ(cache.end, LineRangeEnd(*start));
    EXPECT_EQ(LineAtAddress(cache.end - 1, cache), line);
    EXPECT_EQ(SourceLineAt(cache.end - 1), line);  // the range really holds that line
    const std::uintptr_t beyond = cache.end;
    EXPECT_EQ(LineAtAddress(beyond, cache), SourceLineAt(beyond));
    EXPECT_EQ(cache.start, beyond);
}

TEST_F(ShippedBrevantTest, CarriesItsDebugInformationAndCalibrationRecord) {
    EXPECT_EQ(ModuleDebugInfo(module_).rfind(u"Brevant.exe ", 0), 0u);
    HRSRC resource = FindResourceW(module_, L"CALIBRATE", L"QRX");
    ASSERT_NE(resource, nullptr);
    ASSERT_EQ(SizeofResource(module_, resource), 20u);
    const auto* words = static_cast<const DWORD*>(LockResource(LoadResource(module_, resource)));
    const auto marker = FindPublicSymbol(module_, u"calibration_anchors", u"BrevantCalibrationMarker");
    ASSERT_TRUE(marker);
    // Word 0 is the marker's distance from the start of the code, which the linker's header
    // gives correctly for this module; the top bit is clear for the reporter's own module.
    EXPECT_EQ(*marker - Base() - words[0], Headers()->OptionalHeader.BaseOfCode);
    EXPECT_EQ(words[0] & 0x80000000u, 0u);
    EXPECT_GE(words[2], Headers()->OptionalHeader.SizeOfCode - 0x1FFu);  // header rounds to file alignment
}

TEST(SymbolLookupTest, ModulesWithoutAStoreAreNamedButNotFound) {
    const auto address =
        reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount"));
    const CodeAddressInfo info = LookupCodeAddress(address);
    EXPECT_FALSE(info.found);
    EXPECT_EQ(info.moduleName, u"kernel32.dll");
    EXPECT_EQ(ProcNameAtAddress(address), u"");
    EXPECT_FALSE(ModuleHasSymbols(GetModuleHandleW(L"kernel32.dll")));
    EXPECT_EQ(ModuleDebugInfo(GetModuleHandleW(L"kernel32.dll")), u"");

    // The test program carries no store; asked without an address it still names itself.
    const CodeAddressInfo own = LookupCodeAddress();
    EXPECT_FALSE(own.found);
    EXPECT_EQ(own.moduleName, u"win_tests.exe");

    EXPECT_FALSE(LookupCodeAddress(0x10).found);
    EXPECT_EQ(LookupCodeAddress(0x10).moduleName, u"");
}

}  // namespace
}  // namespace brevant::symbols
