// The player's process frame: entry, start-up and shut-down.
#pragma once

#include <windows.h>

// The body of WinMain (kept in the library so tests can drive it).
int PlayerWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR commandLine, int showCommand);
int RunWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR commandLine, int showCommand);

// Registers type libraries 1 and 3 (the Flash container's) of the program
// file; false (and a log line) when library 1 fails.
bool RegisterOwnTypeLib();
