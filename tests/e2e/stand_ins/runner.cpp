// Starts a program as a build tool would and waits until it and everything it started
// has ended (a job object holds the whole process tree), then prints the program's exit
// code and returns it.
//
//   runner [--stdout FILE | --no-stdout] [--stderr FILE] [--stdin FILE] [--hold FILE] [--timeout MS] -- COMMAND LINE
//
// Standard handles the program gets: the named files, or none at all. --hold keeps a
// file open without sharing while the program runs, as an editor locking it would.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HANDLE OpenInheritable(const std::wstring& path, bool forWriting) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return CreateFileW(path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &security, forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The arguments after "--", joined by blanks: pass the whole command line as one
// argument to have it used exactly as given.
std::wstring CommandAfterMarker(int argc, wchar_t** argv) {
    std::wstring command;
    bool afterMarker = false;
    for (int i = 1; i < argc; ++i) {
        if (afterMarker) command += (command.empty() ? L"" : L" ") + std::wstring(argv[i]);
        afterMarker = afterMarker || std::wstring(argv[i]) == L"--";
    }
    return command;
}

bool WaitUntilJobEmpty(HANDLE job, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 20) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr))
            return false;
        if (info.ActiveProcesses == 0) return true;
        Sleep(20);
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HANDLE output = nullptr, error = nullptr, input = nullptr;
    DWORD timeoutMs = 60000;
    for (int i = 1; i < argc && std::wstring(argv[i]) != L"--"; ++i) {
        std::wstring option = argv[i];
        if (option == L"--no-stdout") continue;
        if (i + 1 >= argc) break;
        if (option == L"--stdout")
            output = OpenInheritable(argv[++i], true);
        else if (option == L"--stderr")
            error = OpenInheritable(argv[++i], true);
        else if (option == L"--stdin")
            input = OpenInheritable(argv[++i], false);
        else if (option == L"--hold")
            CreateFileW(argv[++i], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        else if (option == L"--timeout")
            timeoutMs = static_cast<DWORD>(_wtoi(argv[++i]));
    }
    std::wstring commandLine = CommandAfterMarker(argc, argv);
    if (commandLine.empty()) {
        std::fprintf(stderr, "runner: no command after --\n");
        return 100;
    }

    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "runner: cannot start the program (error %lu)\n", GetLastError());
        return 101;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateJobObject(job, 99);
        std::fprintf(stderr, "runner: the program did not end in time\n");
        return 102;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (!WaitUntilJobEmpty(job, timeoutMs)) {
        TerminateJobObject(job, 99);
        std::fprintf(stderr, "runner: processes started by the program did not end in time\n");
        return 103;
    }
    std::printf("exit code %lu\n", exitCode);
    std::fflush(stdout);
    return static_cast<int>(exitCode);
}
