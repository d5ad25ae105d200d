// Process, privilege, registration and message helpers of the setup
// programs. Restarting Windows goes through one replaceable function, so
// that tests never restart the machine they run on.
#pragma once

#include <windows.h>

#include "bFormatCheck.h"

// Platform identifier 1 (Windows 9x) or 2 (Windows NT) of GetVersionEx,
// read once and kept.
bool IsWin9x();
bool IsWinNT();

// The function that ends the Windows session (ExitWindowsEx by default).
typedef BOOL(WINAPI* PFNEXITWINDOWS)(UINT flags, DWORD reason);
// Replaces it; returns the previous one. Null restores ExitWindowsEx.
PFNEXITWINDOWS SetExitWindowsFunction(PFNEXITWINDOWS function);
// Ends the session through that function: every restart or shutdown of the
// system goes through here.
BOOL EndWindowsSession(UINT flags, DWORD reason);
// Restarts Windows, on NT with the shutdown privilege enabled for the call
// (failures of the privilege logged with the Win32 error); false when the
// privilege cannot be had or the restart is refused.
bool RebootWindows();

// Loads the library, calls its DllRegisterServer and frees it; with OLE
// set, inside OleInitialize / OleUninitialize. result receives the
// HRESULT, or the Win32 error of loading or of the missing entry. A null
// path succeeds at once.
bool RegisterServerDll(const char* path, bool withOle, HRESULT* result);

// Starts a process (show state normal, feedback cursor, new console and
// process group) in folder and waits up to wait ms for it to end, the wait
// for its first input-idle state included, pumping this thread's messages.
// wait 0: does not wait for the end (exit code 0); INFINITE: no limit. A
// time-out gives exit code 0 and false; a start failure its Win32 error.
bool ExecuteCommand(const char* application, const char* commandLine, const char* folder,
                    DWORD wait, DWORD* exitCode);

// Takes every waiting message of the thread off its queue, translating and
// dispatching it.
void PumpMessages();

// A message box (through SysMessageBox) of at most 1023 formatted characters.
int MessageBoxFormat(HWND window, const char* title, UINT type, const char* format, ...)
    LOG_FORMAT(4, 5);
// The same with the title (at most 128 characters) and the format (at most
// 256) loaded from the program's string table.
int MessageBoxIds(HWND window, UINT titleId, UINT type, UINT formatId, ...);
