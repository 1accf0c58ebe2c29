#include "crashreport/core/win32/module_calibration.h"

#include <cstdint>
#include <cstring>

#include "symbols/calibration_anchors.h"
#include "symbols/calibration_record.h"

namespace brevant::crashreport {

namespace {

constexpr std::uint32_t kOtherModuleBit = 0x80000000u;

IMAGE_NT_HEADERS* HeadersOf(HMODULE module) {
    auto* base = reinterpret_cast<std::uint8_t*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE ? nt : nullptr;
}

}  // namespace

bool CalibrateModuleHeader(HMODULE module, bool ownModule) {
    HRSRC found = FindResourceW(module, L"CALIBRATE", L"QRX");
    if (!found || SizeofResource(module, found) != symbols::kCalibrationRecordSize) return false;
    const void* bytes = LockResource(LoadResource(module, found));
    IMAGE_NT_HEADERS* nt = HeadersOf(module);
    if (!bytes || !nt) return false;
    std::uint32_t words[5];
    std::memcpy(words, bytes, sizeof(words));
    if (((words[0] & kOtherModuleBit) != 0) == ownModule) return false;

    const auto base = reinterpret_cast<std::uintptr_t>(module);
    IMAGE_OPTIONAL_HEADER& header = nt->OptionalHeader;
    DWORD protection = 0;
    if (!VirtualProtect(&header, sizeof(header), PAGE_READWRITE, &protection)) return false;
    if (ownModule) {
        header.BaseOfCode =
            static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(&BrevantCalibrationMarker) - words[0] - base);
    } else {
        header.BaseOfCode = words[0] & ~kOtherModuleBit;
    }
#if !defined(__x86_64__)
    if (ownModule) {
        header.BaseOfData = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(BrevantFixedConfiguration) - base -
                                               words[1] + 128);
    } else {
        header.BaseOfData = words[1] & ~kOtherModuleBit;
    }
#endif
    header.SizeOfCode = words[2];
    header.SizeOfInitializedData = words[3];
    header.SizeOfUninitializedData = words[4];
    VirtualProtect(&header, sizeof(header), protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), &header, sizeof(header));
    return true;
}

}  // namespace brevant::crashreport
