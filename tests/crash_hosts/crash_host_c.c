/* A C program that carries the crash reporter without a single call to it, and fails. */
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
    volatile int* nowhere = 0;
    if (argc > 1 && strcmp(argv[1], "fault") == 0) *nowhere = 1;
    puts("no fault");
    return 0;
}
