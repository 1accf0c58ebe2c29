/* A library whose initialisation calls back into the program that loads it, while the
   loader lock is held; the program's callback has an exception handled there. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        FARPROC callback = GetProcAddress(GetModuleHandleW(NULL), "CrashHostLoaderCallback");
        if (callback) ((void (*)(void))(void*)callback)();
    }
    return TRUE;
}
