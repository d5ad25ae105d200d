// The player program's entry.
#include <windows.h>

#include "aPlayerMain.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR commandLine, int showCommand) {
    return PlayerWinMain(instance, prevInstance, commandLine, showCommand);
}
