#include "crashreport/core/win32/thread_registry.h"

#include <tlhelp32.h>

#include <cstring>

#include "base/win32/wide_text.h"
#include "crashreport/core/thread_texts.h"
#include "crashreport/core/win32/reporter_message_box.h"
#include "crashreport/core/win32/shared_object_security.h"

namespace brevant::crashreport {

namespace {

// The layouts other modules of the process read: 28-byte nodes and a 20-byte block on i686.
struct ThreadInfoNode {
    DWORD threadId;
    char* name;
    ThreadInfoNode* next;
    char* className;
    const void* creatorAddress;
    DWORD creatorThreadId;
    HANDLE threadHandle;
};
struct RegistryBlock {
    HANDLE ownerMutex;
    HANDLE listMutex;
    ThreadInfoNode* head;
    LONG refCount;
    HANDLE mappingHandle;
};
static_assert(sizeof(void*) != 4 || (sizeof(ThreadInfoNode) == 28 && sizeof(RegistryBlock) == 20));

RegistryBlock* registry = nullptr;
bool startingUp = true;

const CodePage& SystemCodePage() {
    static const CodePage codePage{
        [](std::u16string_view text) -> std::optional<std::string> {
            if (text.empty()) return std::string();
            std::wstring wide = ToWide(text);
            BOOL lossy = FALSE;
            int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                           &lossy);
            std::string narrow(size, '\0');
            WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), size, nullptr,
                                &lossy);
            if (lossy) return std::nullopt;
            return narrow;
        },
        [](std::string_view bytes) {
            if (bytes.empty()) return std::u16string();
            int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
            std::wstring wide(size, L'\0');
            MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
            return FromWide(wide);
        },
    };
    return codePage;
}

// Strings and nodes live on the process heap, so that any module may free them.
char* NewPackedString(const std::u16string& text) {
    std::vector<std::uint8_t> packed = PackString(text, SystemCodePage());
    auto* block = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, packed.size()));
    if (block) std::memcpy(block, packed.data(), packed.size());
    return block;
}

std::u16string ReadPackedString(const char* block) {
    if (block == nullptr) return {};
    SIZE_T size = HeapSize(GetProcessHeap(), 0, block);
    if (size == static_cast<SIZE_T>(-1)) return {};
    return UnpackString(reinterpret_cast<const std::uint8_t*>(block), size, SystemCodePage());
}

void FreeNode(ThreadInfoNode* node, bool closeHandle) {
    if (node->name) HeapFree(GetProcessHeap(), 0, node->name);
    if (node->className) HeapFree(GetProcessHeap(), 0, node->className);
    if (closeHandle && node->threadHandle) CloseHandle(node->threadHandle);
    HeapFree(GetProcessHeap(), 0, node);
}

// Older modules write 12-byte nodes: fields beyond them are used only when the block has them.
bool HasCreatorFields(const ThreadInfoNode* node) {
    return HeapSize(GetProcessHeap(), 0, node) > 12;
}
bool HasHandleField(const ThreadInfoNode* node) {
    return HeapSize(GetProcessHeap(), 0, node) > 24;
}

ThreadInfoNode* Unlink(DWORD threadId) {
    for (ThreadInfoNode** link = &registry->head; *link; link = &(*link)->next) {
        if ((*link)->threadId == threadId) {
            ThreadInfoNode* node = *link;
            *link = node->next;
            return node;
        }
    }
    return nullptr;
}

void RemoveFirstEndedThread() {
    for (ThreadInfoNode* node = registry->head; node; node = node->next) {
        if (HasHandleField(node) && node->threadHandle && WaitForSingleObject(node->threadHandle, 0) == WAIT_OBJECT_0) {
            FreeNode(Unlink(node->threadId), true);
            return;
        }
    }
}

class ListLock {
public:
    explicit ListLock(DWORD timeout) {
        held_ = registry && WaitForSingleObject(registry->listMutex, timeout) != WAIT_TIMEOUT;
    }
    ~ListLock() {
        if (held_) ReleaseMutex(registry->listMutex);
    }
    explicit operator bool() const { return held_; }

private:
    bool held_;
};

std::u16string RegistryName() {
    return u"QuarrexThreadNameBuf" + ProcessIdSuffix();
}

}  // namespace

bool AttachThreadRegistry() {
    if (registry) return true;
    SharedObjectSecurity security(4);
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                        sizeof(RegistryBlock), ToWide(RegistryName()).c_str());
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mapping == nullptr) {
        ShowReporterMessage(u"internal error (opening global buffer)");
        return false;
    }
    auto* block = static_cast<RegistryBlock*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RegistryBlock)));
    if (block == nullptr) {
        CloseHandle(mapping);
        ShowReporterMessage(u"internal error. please notify brevant-support@brevant.dev");
        return false;
    }
    registry = block;
    if (existed) {
        CloseHandle(mapping);
        InterlockedIncrement(&registry->refCount);
        return true;
    }
    registry->refCount = 1;
    registry->ownerMutex = CreateMutexW(nullptr, FALSE, nullptr);
    registry->listMutex = CreateMutexW(nullptr, FALSE, nullptr);
    registry->head = nullptr;
    registry->mappingHandle = mapping;
    const std::u16string mainName = u"main thread";
    DWORD mainId = MainThreadId();
    HANDLE mainHandle = OpenThreadById(mainId, SYNCHRONIZE | THREAD_QUERY_INFORMATION);
    PutThreadInfo(mainId, mainHandle, &mainName, 0, nullptr, nullptr);
    if (mainHandle) CloseHandle(mainHandle);
    startingUp = false;
    return true;
}

HANDLE RegistryOwnerMutex() {
    return registry ? registry->ownerMutex : nullptr;
}

void DetachThreadRegistry() {
    if (!registry) return;
    if (InterlockedDecrement(&registry->refCount) == 0) {
        PutThreadInfo(GetCurrentThreadId(), nullptr, nullptr, 0, nullptr, nullptr);
        CloseHandle(registry->listMutex);
        CloseHandle(registry->ownerMutex);
        CloseHandle(registry->mappingHandle);
    }
    UnmapViewOfFile(registry);
    registry = nullptr;
}

void PutThreadInfo(DWORD threadId, HANDLE threadHandle, const std::u16string* name, DWORD creatorThreadId,
                   const void* creatorAddress, const std::u16string* className) {
    ListLock lock(INFINITE);
    if (!lock) return;
    ThreadInfoNode* old = Unlink(threadId);
    const bool storing = name != nullptr || creatorAddress != nullptr;
    std::u16string keptName, keptClass;
    HANDLE handle = nullptr;
    if (old) {
        if (storing) {
            if (!name) keptName = ReadPackedString(old->name);
            if (HasCreatorFields(old)) {
                if (!className) keptClass = ReadPackedString(old->className);
                if (!creatorAddress) {
                    creatorAddress = old->creatorAddress;
                    creatorThreadId = old->creatorThreadId;
                }
            }
            if (HasHandleField(old)) handle = old->threadHandle;
        }
        FreeNode(old, !storing);
    }
    if (storing) {
        if (!handle) {
            if (threadHandle) {
                DuplicateHandle(GetCurrentProcess(), threadHandle, GetCurrentProcess(), &handle,
                                SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
            } else {
                handle = OpenThreadById(threadId, SYNCHRONIZE | THREAD_QUERY_INFORMATION);
            }
        }
        if (handle) {
            auto* node = static_cast<ThreadInfoNode*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThreadInfoNode)));
            if (node) {
                const std::u16string& nodeName = name ? *name : keptName;
                const std::u16string& nodeClass = className ? *className : keptClass;
                node->threadId = threadId;
                node->name = nodeName.empty() ? nullptr : NewPackedString(nodeName);
                node->className = nodeClass.empty() ? nullptr : NewPackedString(nodeClass);
                node->creatorAddress = creatorAddress;
                node->creatorThreadId = creatorThreadId;
                node->threadHandle = handle;
                node->next = registry->head;
                registry->head = node;
            } else {
                CloseHandle(handle);
            }
        }
    }
    if (!startingUp) RemoveFirstEndedThread();
}

void AssignThreadName(std::uint32_t threadId, const std::u16string& name) {
    if (threadId == 0 || threadId == 0xFFFFFFFF) threadId = GetCurrentThreadId();
    PutThreadInfo(threadId, nullptr, &name, 0, nullptr, nullptr);
}

ThreadDescription DescribeThread(DWORD threadId, bool includeInternal) {
    ThreadDescription description;
    ListLock lock(50);
    if (!lock) {
        description.text = ThreadDisplayText(threadId, u"", u"", true);
        return description;
    }
    std::u16string name, className;
    for (ThreadInfoNode* node = registry->head; node; node = node->next) {
        if (node->threadId != threadId) continue;
        name = ReadPackedString(node->name);
        if (HasCreatorFields(node)) {
            className = ReadPackedString(node->className);
            description.creatorAddress = node->creatorAddress;
            description.creatorThreadId = node->creatorThreadId;
        }
        break;
    }
    description.text = ThreadDisplayText(threadId, name, className, includeInternal);
    return description;
}

DWORD MainThreadId() {
    static DWORD mainThreadId = [] {
        std::wstring name = ToWide(u"ProcessMainThreadId" + ProcessIdSuffix());
        HANDLE record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, name.c_str());
        if (record == nullptr) return GetCurrentThreadId();
        auto* view = static_cast<DWORD*>(MapViewOfFile(record, FILE_MAP_ALL_ACCESS, 0, 0, 8));
        if (view == nullptr) return GetCurrentThreadId();
        if (view[0] != GetCurrentProcessId() || view[1] == 0) {
            std::vector<DWORD> threads = ListProcessThreads();
            view[1] = threads.empty() ? GetCurrentThreadId() : threads.front();
            view[0] = GetCurrentProcessId();
        }
        DWORD id = view[1];
        UnmapViewOfFile(view);
        // The handle stays open for the life of the process, so the record stays.
        return id;
    }();
    return mainThreadId;
}

std::vector<DWORD> ListProcessThreads() {
    std::vector<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) threads.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return threads;
}

HANDLE OpenThreadById(DWORD threadId, DWORD access) {
    return OpenThread(access, FALSE, threadId);
}

}  // namespace brevant::crashreport
