// Where the launcher finds the player, and what it says when the player
// cannot be started.
#pragma once

#include <windows.h>

// The player's path from the launcher ini (section [mavrort]) and the
// runtime record; 1 when found, else 0 with the default name "mavrort.exe"
// (left to WinExec's search). A record path that is taken is made short.
int LocatePlayer(const char* iniPath, char* player, DWORD size);

// The player's command line: the player path, "/r" and the launcher's own
// path in double quotes. A player path with a blank is quoted too:
// unquoted, "C:\Program Files\..." would start C:\Program.exe when such a
// file exists.
void FormatLaunchCommand(const char* player, const char* own, char* out, int size);

// The box of a failed start, with the strings of module: title string
// 57349; text string 57345 followed by string 57348 for WinExec results 0,
// 2, 3 and 11, or by "Error: %d" with the result.
void LaunchErrorText(HMODULE module, UINT result, char* title, int titleSize, char* text,
                     int textSize);
