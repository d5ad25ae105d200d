// Clicks into a running player as a user would: waits for the player's
// top-level window of the given title, then moves the mouse to a point of
// the page and presses and releases the left button there (SendInput).
// The page is centred in the window's client area, as the player shows it.
// Usage: playerclick <title> <page width> <page height> <x> <y>
// Exit code 0, 2 when the window does not appear within 20 s, 3 when the
// input is refused.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: playerclick <title> <page width> <page height> <x> <y>\n");
        return 1;
    }
    HWND w = nullptr;
    for (int i = 0; i < 400 && !w; ++i) {
        w = FindWindowA(nullptr, argv[1]);
        if (!w || !IsWindowVisible(w)) {
            w = nullptr;
            Sleep(50);
        }
    }
    if (!w) {
        printf("playerclick: no window \"%s\"\n", argv[1]);
        return 2;
    }
    RECT client;
    GetClientRect(w, &client);
    POINT at = {(client.right - atoi(argv[2])) / 2 + atoi(argv[4]),
                (client.bottom - atoi(argv[3])) / 2 + atoi(argv[5])};
    ClientToScreen(w, &at);
    SetForegroundWindow(w);
    // Absolute coordinates run from 0 to 65535 over the primary screen.
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = MulDiv(at.x, 65535, sw - 1);
        i.mi.dy = MulDiv(at.y, 65535, sh - 1);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    // The move first, so the button sees the mouse enter before the press.
    if (SendInput(1, &in[0], sizeof(INPUT)) != 1)
        return 3;
    Sleep(200);
    if (SendInput(1, &in[1], sizeof(INPUT)) != 1)
        return 3;
    Sleep(100);
    if (SendInput(1, &in[2], sizeof(INPUT)) != 1)
        return 3;
    printf("playerclick: clicked at %ld,%ld of the screen\n", (long)at.x, (long)at.y);
    return 0;
}
