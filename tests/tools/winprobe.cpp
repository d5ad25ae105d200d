// Drives a running player from outside, under the same Wine server: waits
// for the top-level window of the given title, prints its style and
// rectangle, then carries out the steps in order.
// Usage: winprobe <title> [wait] [cmd:<id>] [down:<x>,<y>] [up:<x>,<y>]
//                 [sleep:<ms>] [close]
// "wait" waits for a line on standard input first (the caller's go-ahead).
// Exit code 0, or 2 when the window does not appear within 20 s.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: winprobe <title> [steps...]\n");
        return 2;
    }
    HWND w = nullptr;
    for (int i = 0; i < 400 && !w; ++i) {
        w = FindWindowA(nullptr, argv[1]);
        if (!w || !IsWindowVisible(w) || (GetWindowLongA(w, GWL_STYLE) & WS_CAPTION)) {
            w = nullptr;
            Sleep(50);
        }
    }
    if (!w) {
        printf("window not found\n");
        return 2;
    }
    RECT r;
    GetWindowRect(w, &r);
    printf("style %08lX rect %ld,%ld,%ld,%ld\n", (unsigned long)GetWindowLongA(w, GWL_STYLE),
           (long)r.left, (long)r.top, (long)r.right, (long)r.bottom);
    fflush(stdout);
    for (int i = 2; i < argc; ++i) {
        const char* s = argv[i];
        int x = 0, y = 0;
        if (strcmp(s, "wait") == 0) {
            char line[64];
            if (!fgets(line, sizeof(line), stdin))
                break;
        } else if (strncmp(s, "cmd:", 4) == 0) {
            PostMessageA(w, WM_COMMAND, (WPARAM)atoi(s + 4), 0);
        } else if (sscanf(s, "down:%d,%d", &x, &y) == 2) {
            PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        } else if (sscanf(s, "up:%d,%d", &x, &y) == 2) {
            PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        } else if (strncmp(s, "sleep:", 6) == 0) {
            Sleep((DWORD)atoi(s + 6));
        } else if (strcmp(s, "close") == 0) {
            PostMessageA(w, WM_CLOSE, 0, 0);
        }
        printf("done %s\n", s);
        fflush(stdout);
    }
    return 0;
}
