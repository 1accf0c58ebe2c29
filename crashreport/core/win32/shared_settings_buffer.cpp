#include "crashreport/core/win32/shared_settings_buffer.h"

#include <windows.h>

#include <vector>

#include "base/win32/wide_text.h"
#include "crashreport/core/win32/reporter_message_box.h"
#include "crashreport/core/win32/shared_object_security.h"
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

HANDLE OpenSettingsMutex(SharedObjectSecurity& security) {
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

    SharedObjectSecurity& Security() { return security_; }

private:
    SharedObjectSecurity security_{SharedObjectSecurity::kFullAccess};
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
bool MapBuffer(SharedObjectSecurity& security) {
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
