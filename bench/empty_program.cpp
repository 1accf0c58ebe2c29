// The baseline of the start-up benchmark: a GUI-subsystem program that does nothing.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
