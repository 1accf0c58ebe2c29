// A program that carries the crash reporter and fails in the ways named on its command line,
// one after the other: crash_host.exe LOG SCENARIO... Registered handlers write what they see
// to LOG, one line per call; the scenarios that let the program go on are followed by the
// next one, a fatal one ends the process as the crash reporter decides.
#include <windows.h>

#include <process.h>

#include <atomic>
#undef NDEBUG  // the assertion scenario needs assert
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "crashreport/core/win32/dispatch_exception.h"
#include "crashreport/core/win32/thread_hooks.h"
#include "crashreport/core/win32/thread_registry.h"
#include "crashreport/crash_reporter.h"

using namespace brevant::crashreport;

// Outside the unnamed namespace, so that the compiler cannot know every class that derives
// from Shape and keeps its calls virtual.
namespace shapes {

struct Shape {
    Shape();
    virtual ~Shape() = default;
    virtual void Draw() = 0;
};
void CallDraw(Shape* shape) {
    shape->Draw();
}
void (*volatile drawer)(Shape*) = CallDraw;
Shape::Shape() {
    drawer(this);  // the pure function, called while the object is still a Shape
}
struct Square : Shape {
    void Draw() override {}
};

}  // namespace shapes

namespace {

// Never destroyed: a handler may still log while the process ends.
std::string& logPath = *new std::string;
std::mutex logLock;
DWORD mainThreadId = 0;
std::atomic<int> handling{0};
std::atomic<int> overlaps{0};

// A null pointer the compiler cannot see, so that writing through it stays a real write (a
// write through a known null pointer may be compiled into a trap instruction instead).
int* volatile nowhere = nullptr;
int* Nowhere() {
    return nowhere;
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) out += unit < 128 ? static_cast<char>(unit) : '?';
    return out;
}

void Log(const std::string& line) {
    std::lock_guard guard(logLock);
    if (FILE* file = std::fopen(logPath.c_str(), "ab")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

std::string Describe(ICrashException* exc) {
    std::string thread = Utf8(DescribeThread(exc->GetCrashedThreadId(), true).text);
    char line[2048];
    std::snprintf(line, sizeof line,
                  "class=%s|message=%s|source=%d|canContinue=%d|type=%d|thread=%s|mainThread=%d|onCrashedThread=%d",
                  Utf8(exc->GetExceptClass()).c_str(), Utf8(exc->GetExceptMessage()).c_str(),
                  static_cast<int>(exc->GetSource()), exc->GetCanContinue() ? 1 : 0,
                  static_cast<int>(exc->GetExceptType()), thread.c_str(),
                  exc->GetCrashedThreadId() == mainThreadId ? 1 : 0,
                  exc->GetCrashedThreadId() == GetCurrentThreadId() ? 1 : 0);
    return line;
}

// One line per exception, at its first phase; the later phases are counted.
void OnQuickFiltering(ICrashException* exc, bool&) {
    if (handling.fetch_add(1) != 0) ++overlaps;
    Log("exception|" + Describe(exc));
}
void OnMainPhase(ICrashException*, bool&) {
    Log("phase=2");
}
std::atomic<ICrashException*> postProcessed{nullptr};
void OnPostProcessing(ICrashException* exc, bool&) {
    Log("phase=" + std::to_string(static_cast<int>(exc->GetPhase())));
    postProcessed = exc;
    handling.fetch_sub(1);
}
// After post-processing when the report completes later; instead of it when the report was
// complete before. The handling ends with whichever comes first.
void OnCompleteReport(ICrashException* exc, bool&) {
    Log("phase=" + std::to_string(static_cast<int>(exc->GetPhase())));
    if (postProcessed.exchange(nullptr) != exc) handling.fetch_sub(1);
}
void OnAction(TExceptAction action, ICrashException*, bool&) {
    Log("action=" + std::to_string(static_cast<int>(action)));
}
// The call stack of the crashed main thread in the exception's report, one log line each.
void LogMainThreadStack(ICrashException* exc) {
    const std::string report = Utf8(exc->GetBugReport());
    std::size_t at = report.find("\r\n\r\nmain thread (");
    if (at == std::string::npos) return;
    at = report.find("\r\n", at + 4);
    const std::size_t end = report.find("\r\n\r\n", at);
    while (at != std::string::npos && at < end) {
        const std::size_t next = report.find("\r\n", at + 2);
        Log("stack|" + report.substr(at + 2, (next == std::string::npos ? end : std::min(next, end)) - at - 2));
        at = next;
    }
}

void OnHidden(ICrashException* exc, bool&) {
    Log("hidden|" + Describe(exc));
    LogMainThreadStack(exc);
}
void OnMainThreadCall(ICrashException*, bool&) {
    Log(std::string("synchronised|onMainThread=") + (GetCurrentThreadId() == mainThreadId ? "1" : "0"));
}
void OnAlwaysCall(ICrashException*, bool&) {
    Log(std::string("always|onMainThread=") + (GetCurrentThreadId() == mainThreadId ? "1" : "0"));
}
void ThrowingHandler(ICrashException*, bool&) {
    throw std::runtime_error("a handler failed");
}
void FaultingHandler(ICrashException*, bool&) {
    *Nowhere() = 4;
}

struct EAbort : std::exception {
    const char* what() const noexcept override { return "quiet"; }
};
struct EDBEditError : std::runtime_error {
    EDBEditError() : std::runtime_error("edit failed") {}
};
struct EMaskError : EDBEditError {};

#pragma GCC diagnostic ignored "-Winfinite-recursion"
[[gnu::noinline]] int Recurse(int depth) {
    volatile char block[4096];
    block[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + block[0];
}
DWORD WINAPI OverflowingThread(void*) {
    return static_cast<DWORD>(Recurse(0));
}

void LogThreadEnd(HANDLE thread) {
    WaitForSingleObject(thread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    char line[64];
    std::snprintf(line, sizeof line, "thread ended|exitCode=%lx", static_cast<unsigned long>(code));
    Log(line);
}

void RunThread(LPTHREAD_START_ROUTINE procedure, void* parameter = nullptr) {
    LogThreadEnd(CreateThread(nullptr, 0, procedure, parameter, 0, nullptr));
}

// A report section of the program's own that faults while the report is completed.
std::u16string FaultingPlugin() {
    *Nowhere() = 5;
    return u"never";
}

DWORD WINAPI ThrowingThread(void*) {
    throw std::logic_error("worker failed");
}
DWORD WINAPI FaultingThread(void*) {
    *Nowhere() = 1;
    return 0;
}
DWORD WINAPI NamedThread(void*) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    auto setDescription = reinterpret_cast<SetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (setDescription) setDescription(GetCurrentThread(), L"downloader");
    throw std::runtime_error("named worker failed");
}
unsigned __stdcall BeginThreadProc(void*) {
    throw std::out_of_range("beginthreadex worker failed");
}
DWORD WINAPI AbortingThread(void*) {
    throw EAbort();
}
DWORD WINAPI FilteredThread(void*) {
    throw EMaskError();
}

HANDLE workDone = nullptr;
DWORD WINAPI FaultingWorkItem(void*) {
    SetEvent(workDone);
    *Nowhere() = 2;
    return 0;
}

DWORD WINAPI FaultWhenStarted(void* go) {
    WaitForSingleObject(go, INFINITE);
    *Nowhere() = 3;
    return 0;
}

void TenThreadsAtOnce() {
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> threads;
    for (int i = 0; i < 10; ++i) threads.push_back(CreateThread(nullptr, 0, FaultWhenStarted, start, 0, nullptr));
    SetEvent(start);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    Log("ten threads ended|overlaps=" + std::to_string(overlaps.load()));
}

// The main thread keeps pumping messages while a worker fails, as a program with windows does.
void WorkerFailsWhileMainPumps() {
    RegisterExceptionHandler(OnMainThreadCall, TSyncType::stTrySyncCallOnSuccess, TExceptPhase::epMainPhase);
    HANDLE thread = CreateThread(nullptr, 0, ThrowingThread, nullptr, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    CloseHandle(thread);
    UnregisterExceptionHandler(OnMainThreadCall);
}

// The main thread waits without pumping: synchronised handlers fall back to the handling thread.
void WorkerFailsWhileMainBlocks() {
    RegisterExceptionHandler(OnMainThreadCall, TSyncType::stTrySyncCallOnSuccess, TExceptPhase::epMainPhase);
    RegisterExceptionHandler(OnAlwaysCall, TSyncType::stTrySyncCallAlways, TExceptPhase::epMainPhase);
    RunThread(ThrowingThread);
    UnregisterExceptionHandler(OnMainThreadCall);
    UnregisterExceptionHandler(OnAlwaysCall);
}

// Whether the registry names code of this program as the creator of the current thread.
void LogCreatorInHost() {
    const void* creator = DescribeThread(GetCurrentThreadId(), true).creatorAddress;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(creator), &module);
    Log(std::string("creator in host=") + (creator && module == GetModuleHandleW(nullptr) ? "1" : "0"));
}

DWORD WINAPI RunTimeCreatedThread(void*) {
    LogCreatorInHost();
    throw std::runtime_error("run-time thread failed");
}

// CreateThread as a program reaches it through an address taken at run time, past every
// import table: the thread is still run inside the crash reporter's frame.
void ThreadThroughRunTimeAddress() {
    const char* kinds[] = {"none", "call inside CreateThread", "imports of CreateThread"};
    Log(std::string("thread hook=") + kinds[static_cast<int>(InstalledThreadCreationHook())]);
    using Create = decltype(&CreateThread);
    auto create = reinterpret_cast<Create>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateThread")));
    HANDLE thread = create(nullptr, 0, RunTimeCreatedThread, nullptr, 0, nullptr);
    LogThreadEnd(thread);
}

// Pausing: while a worker's exception is handled, a thread of the program that pumps messages
// stands still at its next message call; one that never calls them keeps running. Both go on
// afterwards.
std::atomic<long> pumpingCount{0}, busyCount{0};
// A call of its own, as a message loop makes it: the compiler may keep an imported function's
// address in a register across a loop, which would bypass a redirected import.
[[gnu::noinline]] void PeekOnce() {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
}
std::atomic<bool> stopCounting{false};
void SampleWhilePaused(ICrashException*, bool&) {
    const long pumping = pumpingCount, busy = busyCount;
    Sleep(400);
    Log("while handled|pumping moved=" + std::to_string(pumpingCount != pumping) +
        "|busy moved=" + std::to_string(busyCount != busy));
}
void PauseThreadsWhileHandling() {
    MainSettings()->SetSuspendThreads(true);
    RegisterExceptionHandler(SampleWhilePaused, TSyncType::stDontSync, TExceptPhase::epMainPhase);
    std::thread pumping([] {
        LogCreatorInHost();
        while (!stopCounting) {
            PeekOnce();
            ++pumpingCount;
            Sleep(1);
        }
    });
    std::thread busy([] {
        while (!stopCounting) {
            ++busyCount;
            Sleep(1);
        }
    });
    Sleep(100);
    RunThread(ThrowingThread);
    const long afterHandling = pumpingCount;
    Sleep(300);
    Log("after handling|pumping moved=" + std::to_string(pumpingCount != afterHandling));
    stopCounting = true;
    pumping.join();
    busy.join();
    UnregisterExceptionHandler(SampleWhilePaused);
    MainSettings()->SetSuspendThreads(false);
}

void Restart() {
    std::string marker = logPath + ".restarted";
    if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Log("restarted instance runs");
        return;
    }
    if (FILE* file = std::fopen(marker.c_str(), "wb")) std::fclose(file);
    MainSettings()->SetAutoRestart(1);
    throw std::runtime_error("restart me");
}

extern "C" void BrevantCalibrationMarker();

// The header's code range as the crash reporter corrected it, against the module's calibration
// record (code start = marker - word 0, code size = word 2) and the code sections.
void LogCodeRange() {
    auto* base = reinterpret_cast<std::uint8_t*>(GetModuleHandleW(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD start = nt->OptionalHeader.BaseOfCode, end = start + nt->OptionalHeader.SizeOfCode;
    HRSRC found = FindResourceW(nullptr, L"CALIBRATE", L"QRX");
    const auto* words = static_cast<const std::uint32_t*>(LockResource(LoadResource(nullptr, found)));
    const auto marker = reinterpret_cast<std::uintptr_t>(&BrevantCalibrationMarker) - reinterpret_cast<std::uintptr_t>(base);
    const bool asRecorded = words && start == marker - words[0] && nt->OptionalHeader.SizeOfCode == words[2];
    int codeSections = 0, covered = 0;
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (!(section->Characteristics & IMAGE_SCN_MEM_EXECUTE)) continue;
        ++codeSections;
        if (section->VirtualAddress >= start && section->VirtualAddress + section->Misc.VirtualSize <= end) ++covered;
    }
    Log("code sections=" + std::to_string(codeSections) + "|covered=" + std::to_string(covered) +
        "|as recorded=" + (asRecorded ? "1" : "0"));
}

int Divide(int divisor) {
    volatile int by = divisor;
    return 100 / by;
}

// Stands still (as a hung program would) until the test leaves a stop file, at most a minute.
__attribute__((noinline)) void HangUntilStopped() {
    Log("hanging pid=" + std::to_string(GetCurrentProcessId()));
    const std::string stopFile = logPath + ".stop";
    for (int waited = 0; waited < 60000; waited += 100) {
        if (GetFileAttributesA(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(100);
    }
    Log("hang ended");
}

// Mailing: the settings a scenario switches on before the program fails.
void MailAutomatically() {
    ICrashModuleSettings* settings = MainSettings();
    settings->SetAutoSend(true);
    settings->SetMailAddr(u"Brevant Support <support@brevant.example>; dev@brevant.example");
}

void SendFromHandler(ICrashException* exc, bool&) {
    Log("sending from the handler");
    exc->SendBugReport(nullptr);
}

// Notes the send progress box once it shows, with its title and where it stands.
void WatchForProgressBox() {
    std::thread([] {
        for (int i = 0; i < 6000; ++i) {
            if (HWND box = FindWindowW(L"prgrAlertWndClass", nullptr); box && IsWindowVisible(box)) {
                wchar_t title[128] = {};
                GetWindowTextW(box, title, 128);
                RECT r;
                GetWindowRect(box, &r);
                char line[256];
                std::snprintf(line, sizeof line, "progress box|title=%ls|right=%ld|bottom=%ld", title, r.right,
                              r.bottom);
                Log(line);
                return;
            }
            Sleep(10);
        }
    }).detach();
}

void PrintFromHandler(ICrashException* exc, bool&) {
    Log("printing from the handler");
    exc->PrintBugReport(nullptr);
    Log("printed");
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) || std::wcscmp(className, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Confirms the first dialog of this process that shows (the print dialog), as a user would.
void ConfirmTheDialog() {
    std::thread([] {
        for (int i = 0; i < 6000; ++i) {
            HWND dialog = nullptr;
            EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
            if (dialog) {
                wchar_t title[128] = {};
                GetWindowTextW(dialog, title, 128);
                char line[256];
                std::snprintf(line, sizeof line, "confirming dialog|title=%ls", title);
                Log(line);
                Sleep(300);  // as a person would, once the dialog is ready
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }).detach();
}

// A window of the program's own, for the screenshot to show.
HWND ShowColouredWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(RGB(255, 0, 0));
    windowClass.lpszClassName = L"CrashHostWindow";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"crash host", WS_POPUP | WS_VISIBLE, 200, 150, 320,
                                  240, nullptr, nullptr, windowClass.hInstance, nullptr);
    UpdateWindow(window);
    for (int i = 0; i < 10; ++i) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(50);
    }
    return window;
}

// While a failure of the main thread is handled, keys for its windows are offered to them as
// the key message plus 0xBC00 first; a window that takes them does not get the key itself.
HWND keyWindow = nullptr;
LRESULT CALLBACK KeyWindowProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    if (message == WM_KEYDOWN + 0xBC00 || message == WM_CHAR + 0xBC00) {
        Log("key offered|message=" + std::to_string(message) + "|key=" + std::to_string(first));
        return message == WM_KEYDOWN + 0xBC00;  // takes the key press, not the character
    }
    if (message == WM_KEYDOWN || message == WM_CHAR)
        Log("key delivered|message=" + std::to_string(message) + "|key=" + std::to_string(first));
    return DefWindowProcW(window, message, first, second);
}
void PostKeysWhileHandled(ICrashException*, bool&) {
    PostMessageW(keyWindow, WM_KEYDOWN, 'K', 0);
    PostMessageW(keyWindow, WM_CHAR, 'c', 0);
    Sleep(500);
}
void FailWhileKeysArrive() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = KeyWindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CrashHostKeyWindow";
    RegisterClassW(&windowClass);
    keyWindow = CreateWindowExW(0, windowClass.lpszClassName, L"keys", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    RegisterExceptionHandler(PostKeysWhileHandled, TSyncType::stDontSync, TExceptPhase::epMainPhase);
    throw std::runtime_error("failed while keys arrive");
}

// A worker fails while the heap is exhausted: every allocation the program tries fails. The
// crash reporter hands its reserve back and handles the exception; the program then frees what
// it took and goes on. The address space is reserved first, largest pieces first, so that the
// heap cannot grow; then what is left inside the heap is allocated. Only a 32-bit address space
// can be used up under Wine: it keeps a byte for every reserved page, and where the 64-bit space
// is limited from outside, its own heap code overflows a thread's stack once the limit is reached.
HANDLE heapExhausted = nullptr;
DWORD WINAPI ThrowWhenHeapExhausted(void*) {
    WaitForSingleObject(heapExhausted, INFINITE);
    throw std::length_error("failed on an exhausted heap");
}
// Each size that fails costs a search of the whole address space (slow under emulation), so
// the sizes fall by 16 at a time; the next size fills what the failed one left.
template <typename Take>
void TakeAllOf(std::size_t largest, std::size_t smallest, std::vector<void*>& taken, Take take) {
    for (std::size_t size = largest; size >= smallest; size /= 16) {
        while (taken.size() < taken.capacity()) {
            void* piece = take(size);
            if (!piece) break;
            taken.push_back(piece);
        }
    }
}
void FailOnAnExhaustedHeap() {
    if (sizeof(void*) != 4) return;
    heapExhausted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE worker = CreateThread(nullptr, 0, ThrowWhenHeapExhausted, nullptr, 0, nullptr);
    std::vector<void*> reservations, blocks;
    reservations.reserve(1 << 16);
    blocks.reserve(1 << 20);
    TakeAllOf(std::size_t{256} << 20, 64 << 10, reservations,
              [](std::size_t size) { return VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS); });
    Log("address space taken|reservations=" + std::to_string(reservations.size()));
    TakeAllOf(std::size_t{256} << 20, 16, blocks, [](std::size_t size) { return std::malloc(size); });
    const bool exhausted = std::malloc(16) == nullptr;
    SetEvent(heapExhausted);
    WaitForSingleObject(worker, INFINITE);
    for (void* block : blocks) std::free(block);
    for (void* reservation : reservations) VirtualFree(reservation, 0, MEM_RELEASE);
    Log(std::string("heap given back|was exhausted=") + (exhausted ? "1" : "0"));
    LogThreadEnd(worker);
}

// The main thread handles its messages for a while (no freeze), then stops handling them for
// two seconds: with a time-out of one second the freeze watch reports it.
void PumpFor(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(5);
    }
}
void FreezeForAWhile() {
    PumpFor(2500);
    Log("freezing");
    Sleep(2000);
    Log("thawed");
    PumpFor(500);
}

// Its frame is gone by the end of the handler that catches its exception: the report must
// show it all the same.
[[gnu::noinline]] void ThrowForTheProgramToCatch() {
    throw std::runtime_error("caught by the program");
}

// Kept out of main, so that reports show the scenarios under their own name.
__attribute__((noinline)) void Run(const std::string& scenario) {
    Log("scenario " + scenario);
    if (scenario == "main-throw") throw std::runtime_error("main failed!");
    if (scenario == "main-keys") FailWhileKeysArrive();
    if (scenario == "main-av") *Nowhere() = 0;
    if (scenario == "hang") HangUntilStopped();
    if (scenario == "freeze") FreezeForAWhile();
    if (scenario == "exhausted-heap") FailOnAnExhaustedHeap();
    if (scenario == "divide-by-zero") Log(std::to_string(Divide(0)));
    if (scenario == "illegal-instruction") __builtin_trap();
    if (scenario == "breakpoint") __asm__ volatile("int3");
    if (scenario == "stack-overflow") Log(std::to_string(Recurse(0)));
    if (scenario == "worker-stack-overflow")
        RunThread(OverflowingThread);
    if (scenario == "abort") std::abort();
    if (scenario == "assert") assert(scenario.empty() && "the scenario must be empty");
    if (scenario == "invalid-parameter") {
        // What every checking function of the C runtime calls on a bad argument.
        using InvalidParameter = void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t);
        auto report = reinterpret_cast<InvalidParameter>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"msvcrt.dll"), "_invalid_parameter")));
        if (report) report(nullptr, nullptr, nullptr, 0, 0);
    }
    if (scenario == "pure-virtual") shapes::Square square;
    if (scenario == "terminate") std::terminate();
    if (scenario == "main-eabort") throw EAbort();
    if (scenario == "restart") Restart();
    if (scenario == "worker-throw") RunThread(ThrowingThread);
    if (scenario == "worker-av") RunThread(FaultingThread);
    if (scenario == "named-worker") RunThread(NamedThread);
    if (scenario == "beginthreadex") {
        auto thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, BeginThreadProc, nullptr, 0, nullptr));
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        Log("thread ended");
    }
    if (scenario == "std-thread") {
        std::thread worker([] {
            Log(std::string("creator known=") + (DescribeThread(GetCurrentThreadId(), true).creatorAddress ? "1" : "0"));
            throw std::invalid_argument("std::thread worker failed");
        });
        worker.join();
        Log("thread ended");
    }
    if (scenario == "work-item") {
        workDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        QueueUserWorkItem(FaultingWorkItem, nullptr, WT_EXECUTEDEFAULT);
        WaitForSingleObject(workDone, INFINITE);
        Sleep(500);
        Log("work item ended");
    }
    if (scenario == "ten-threads") TenThreadsAtOnce();
    if (scenario == "run-time-create-thread") ThreadThroughRunTimeAddress();
    if (scenario == "pause-threads") PauseThreadsWhileHandling();
    if (scenario == "worker-eabort") RunThread(AbortingThread);
    if (scenario == "filtered") RunThread(FilteredThread);
    if (scenario == "throwing-handler") {
        RegisterExceptionHandler(ThrowingHandler, TSyncType::stDontSync, TExceptPhase::epQuickFiltering);
        RunThread(ThrowingThread);
        UnregisterExceptionHandler(ThrowingHandler);
    }
    if (scenario == "faulting-plugin") {
        AddReportPlugin(u"host state", u"the host's state", FaultingPlugin, true);
        RunThread(ThrowingThread);
        RemoveReportPlugin(u"host state");
        Log("after the faulting plugin");
    }
    if (scenario == "faulting-handler") {
        RegisterExceptionHandler(FaultingHandler, TSyncType::stDontSync, TExceptPhase::epMainPhase);
        RunThread(ThrowingThread);
        UnregisterExceptionHandler(FaultingHandler);
        handling = 0;  // that handling never reached its post-processing
        Log("after the faulting handler");
        RunThread(FaultingThread);
    }
    if (scenario == "hidden") {
        RegisterHiddenExceptionHandler(OnHidden, TSyncType::stDontSync);
        try {
            ThrowForTheProgramToCatch();
        } catch (const std::exception&) {
            Log("caught");
        }
        UnregisterHiddenExceptionHandler(OnHidden);
    }
    if (scenario == "sync-pumping") WorkerFailsWhileMainPumps();
    if (scenario == "calibration") LogCodeRange();
    if (scenario == "loader-lock") Log(LoadLibraryW(L"failing_dll.dll") ? "library loaded" : "library not loaded");
    if (scenario == "sync-blocked") WorkerFailsWhileMainBlocks();
    if (scenario == "mail-automatically") MailAutomatically();
    if (scenario == "mail-zipped") {
        MainSettings()->SetBugReportZip(u"bugreport.zip");
        MainSettings()->SetScreenShotZip(u"Bugreport.ZIP");  // the same archive: letter case does not count
    }
    if (scenario == "mail-without-mapi") MainSettings()->SetMailViaMapi(false);
    if (scenario == "mail-from-handler") {
        MainSettings()->SetMailAddr(u"dev@brevant.example");
        RegisterExceptionHandler(SendFromHandler, TSyncType::stDontSync, TExceptPhase::epMainPhase);
        WatchForProgressBox();
    }
    if (scenario == "print-from-handler") {
        RegisterExceptionHandler(PrintFromHandler, TSyncType::stDontSync, TExceptPhase::epMainPhase);
        ConfirmTheDialog();
    }
    if (scenario == "app-screenshot") {
        MainSettings()->SetScreenShotAppOnly(true);
        ShowColouredWindow();
    }
    Log("scenario done " + scenario);
}

// Called by failing_dll.dll from its initialisation, while the loader lock is held.
// The loader catches what escapes a library's initialisation, so the exception is handed over
// as an interception point would.
extern "C" __declspec(dllexport) void CrashHostLoaderCallback() {
    std::runtime_error error("failed while the loader lock is held");
    DispatchArguments arguments;
    arguments.object = &error;
    arguments.objectType = &typeid(error);
    arguments.source = TExceptSource::esManual;
    arguments.canContinue = true;
    DispatchException(arguments);
}

// Set before main: the crash reporter must already be active when the program's own static
// objects are made.
struct EarlyCheck {
    EarlyCheck() { activeBeforeMain = MainSettings() != nullptr; }
    bool activeBeforeMain = false;
} earlyCheck;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    logPath = argv[1];
    mainThreadId = GetCurrentThreadId();
    // A window class of the process: the program has user32, as programs with windows do.
    GetSystemMetrics(SM_CXSCREEN);
    Log(std::string("started|activeBeforeMain=") + (earlyCheck.activeBeforeMain ? "1" : "0"));
    RegisterExceptionHandler(OnQuickFiltering, TSyncType::stDontSync, TExceptPhase::epQuickFiltering);
    RegisterExceptionHandler(OnMainPhase, TSyncType::stDontSync, TExceptPhase::epMainPhase);
    RegisterExceptionHandler(OnPostProcessing, TSyncType::stDontSync, TExceptPhase::epPostProcessing);
    // Post-processing that starts with a complete report runs as the complete-report phase.
    RegisterExceptionHandler(OnCompleteReport, TSyncType::stDontSync, TExceptPhase::epCompleteReport);
    RegisterExceptActionHandler(OnAction, TSyncType::stDontSync);
    for (int i = 2; i < argc; ++i) Run(argv[i]);
    Log("end of main");
    return 0;
}
