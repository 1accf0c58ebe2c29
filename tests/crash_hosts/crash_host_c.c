/* A C program that carries the crash reporter without a single call to it, and fails. */
#include <stdio.h>
#include <string.h>

/* Unknown to the compiler, so that the write stays a real write rather than a trap. */
int* volatile nowhere = 0;

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "fault") == 0) *nowhere = 1;
    puts("no fault");
    return 0;
}
