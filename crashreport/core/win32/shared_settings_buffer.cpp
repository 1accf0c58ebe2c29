#include "crashreport/core/win32/shared_settings_buffer.h"

#include <windows.h>

#include <vector>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/reporter_message_box.h"
#include "crashreport/core/win32/settings_resource.h"

namespace brevant::crashreport {

namespace {

// Lives in process memory; the section holds only its address.
struct SettingsBufferRecord {
    std::int32_t refCount;
    HANDLE section;
    CRITICAL_SECTION lock;
    ModuleSettingsBlock* firstBlock;
};

// This copy's view of the section, and a handle that keeps the mutex's name alive as long as
// the view is mapped. Changed only under the named mutex.
struct MappedBuffer {
    SettingsBufferRecord** view = nullptr;
    HANDLE mutex = nullptr;
};
MappedBuffer mapped;

std::u16string ProcessIdSuffix() {
    static const char16_t kDigits[] = u"0123456789abcdef";
    DWORD id = GetCurrentProcessId();
    std::u16string hex;
    do {
        hex.insert(hex.begin(), kDigits[id & 0xF]);
        id >>= 4;
    } while (id != 0);
    return u"$" + hex;
}

// Full access (0x1FFFFF) for everyone, the local system account and the process's user. When
// that list cannot be built the descriptor gets a null access list, which allows all access
// as well.
class FullAccessSecurity {
public:
    FullAccessSecurity() {
        InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION);
        const bool built = BuildAccessList();
        SetSecurityDescriptorDacl(&descriptor_, TRUE, built ? reinterpret_cast<ACL*>(acl_.data()) : nullptr, FALSE);
        attributes_ = {sizeof attributes_, &descriptor_, FALSE};
    }
    ~FullAccessSecurity() {
        if (everyone_ != nullptr) FreeSid(everyone_);
        if (localSystem_ != nullptr) FreeSid(localSystem_);
    }
    FullAccessSecurity(const FullAccessSecurity&) = delete;
    FullAccessSecurity& operator=(const FullAccessSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

private:
    static constexpr DWORD kFullAccess = 0x1FFFFF;

    bool BuildAccessList() {
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        SID_IDENTIFIER_AUTHORITY system = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_)) return false;
        if (!AllocateAndInitializeSid(&system, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &localSystem_))
            return false;
        PSID user = ProcessUserSid();
        if (user == nullptr) return false;
        const PSID sids[] = {everyone_, localSystem_, user};
        DWORD size = sizeof(ACL);
        for (PSID sid : sids) size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
        acl_.assign(size, 0);
        ACL* acl = reinterpret_cast<ACL*>(acl_.data());
        if (!InitializeAcl(acl, size, ACL_REVISION)) return false;
        for (PSID sid : sids) {
            if (!AddAccessAllowedAce(acl, ACL_REVISION, kFullAccess, sid)) return false;
        }
        return true;
    }

    PSID ProcessUserSid() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        tokenUser_.assign(size, 0);
        const bool read = size != 0 && GetTokenInformation(token, TokenUser, tokenUser_.data(), size, &size);
        CloseHandle(token);
        return read ? reinterpret_cast<TOKEN_USER*>(tokenUser_.data())->User.Sid : nullptr;
    }

    PSID everyone_ = nullptr;
    PSID localSystem_ = nullptr;
    std::vector<BYTE> tokenUser_;
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

HANDLE OpenSettingsMutex(FullAccessSecurity& security) {
    return CreateMutexW(security.Attributes(), FALSE, ToWide(SettingsMutexName()).c_str());
}

// Holds the named mutex for one scope, waiting as long as it takes.
class NamedMutexHold {
public:
    NamedMutexHold() : handle_(OpenSettingsMutex(security_)) {
        if (handle_ != nullptr) WaitForSingleObject(handle_, INFINITE);
    }
    ~NamedMutexHold() {
        if (handle_ == nullptr) return;
        ReleaseMutex(handle_);
        CloseHandle(handle_);
    }
    NamedMutexHold(const NamedMutexHold&) = delete;
    NamedMutexHold& operator=(const NamedMutexHold&) = delete;

    FullAccessSecurity& Security() { return security_; }

private:
    FullAccessSecurity security_;
    HANDLE handle_;
};

class CriticalSectionHold {
public:
    explicit CriticalSectionHold(CRITICAL_SECTION& lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~CriticalSectionHold() { LeaveCriticalSection(&lock_); }
    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

private:
    CRITICAL_SECTION& lock_;
};

SettingsBufferRecord* NewRecord(HANDLE section) {
    auto* record = new SettingsBufferRecord{0, section, {}, nullptr};
    InitializeCriticalSection(&record->lock);
    return record;
}

// Opens the section another copy created, or creates it with a new record; maps it either
// way. The handle of an opened section is not needed once mapped: the creator's keeps it.
bool MapBuffer(FullAccessSecurity& security) {
    const std::wstring name = ToWide(SettingsSectionName());
    bool created = false;
    HANDLE section = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (section == nullptr) {
        // Room for the record's address: 4 bytes in the 32-bit program, 8 in the 64-bit one.
        section = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                     sizeof(SettingsBufferRecord*), name.c_str());
        created = section != nullptr;
    }
    if (section == nullptr) return false;
    auto** view = static_cast<SettingsBufferRecord**>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (view == nullptr || (!created && *view == nullptr)) {
        if (view != nullptr) UnmapViewOfFile(view);
        CloseHandle(section);
        return false;
    }
    if (created) {
        *view = NewRecord(section);
    } else {
        CloseHandle(section);
    }
    mapped.view = view;
    mapped.mutex = OpenSettingsMutex(security);
    return true;
}

SettingsBufferRecord* ReferenceBuffer() {
    NamedMutexHold hold;
    if (mapped.view == nullptr && !MapBuffer(hold.Security())) return nullptr;
    SettingsBufferRecord* record = *mapped.view;
    ++record->refCount;
    return record;
}

void DereferenceBuffer() {
    NamedMutexHold hold;
    SettingsBufferRecord* record = *mapped.view;
    if (record->refCount-- > 1) return;
    const HANDLE section = record->section;
    DeleteCriticalSection(&record->lock);
    delete record;
    *mapped.view = nullptr;
    UnmapViewOfFile(mapped.view);
    CloseHandle(section);
    CloseHandle(mapped.mutex);
    mapped = {};
}

// The record of a buffer this copy references; valid while any of its blocks is alive.
SettingsBufferRecord& ReferencedRecord() {
    return **mapped.view;
}

ModuleSettingsBlock& FindOrAppendBlock(SettingsBufferRecord& record, ModuleHandle module) {
    ModuleSettingsBlock** link = &record.firstBlock;
    for (; *link != nullptr; link = &(*link)->next) {
        if ((*link)->module == module) return **link;
    }
    auto* block = new ModuleSettingsBlock();
    block->module = module;
    *link = block;
    LoadSettingsResource(module, *block);
    return *block;
}

void Unlink(SettingsBufferRecord& record, ModuleSettingsBlock* block) {
    for (ModuleSettingsBlock** link = &record.firstBlock; *link != nullptr; link = &(*link)->next) {
        if (*link == block) {
            *link = block->next;
            return;
        }
    }
}

}  // namespace

std::u16string SettingsMutexName() {
    return u"QuarrexSettingsMtx" + ProcessIdSuffix();
}

std::u16string SettingsSectionName() {
    return u"QuarrexSettingsBuf2" + ProcessIdSuffix();
}

ModuleSettingsBlock* AcquireModuleSettings(ModuleHandle module) {
    if (!HasSettingsResource(module)) return nullptr;
    SettingsBufferRecord* record = ReferenceBuffer();
    if (record == nullptr) {
        ShowReporterMessage(u"internal error (opening settings buffer)");
        return nullptr;
    }
    CriticalSectionHold lock(record->lock);
    ModuleSettingsBlock& block = FindOrAppendBlock(*record, module);
    ++block.refCount;
    return &block;
}

void ReleaseModuleSettings(ModuleSettingsBlock* block) {
    if (block == nullptr) return;
    SettingsBufferRecord& record = ReferencedRecord();
    {
        CriticalSectionHold lock(record.lock);
        if (block->refCount == 1) {
            Unlink(record, block);
            delete block;
        } else {
            --block->refCount;
        }
    }
    DereferenceBuffer();
}

void ReloadModuleSettings(ModuleSettingsBlock& block) {
    CriticalSectionHold lock(ReferencedRecord().lock);
    ClearProperties(block);
    LoadSettingsResource(block.module, block);
}

}  // namespace brevant::crashreport
