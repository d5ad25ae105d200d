// Crashes on purpose: its test passes only when the crash fails the run.
#include <stdint.h>

volatile uintptr_t g_badAddress = 16;

int main() {
    *reinterpret_cast<volatile int*>(g_badAddress) = 1;
    return 0;
}
