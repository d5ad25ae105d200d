#include "aSetupUtility.h"

#include <ole2.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "bMsgBox.h"
#include "bTraceLog.h"

namespace {

DWORD PlatformId() {
    static DWORD platform = 0;
    if (!platform) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        platform = GetVersionExA(&version) ? version.dwPlatformId : VER_PLATFORM_WIN32_NT;
    }
    return platform;
}

BOOL WINAPI DefaultExitWindows(UINT flags, DWORD reason) {
    return ExitWindowsEx(flags, reason);
}

PFNEXITWINDOWS g_exitWindows = DefaultExitWindows;

}  // namespace

namespace {

// Enables or disables a privilege of the process (Windows NT only; true at
// once elsewhere); failures are logged with the Win32 error. Kept inside the
// library: the player's own EnablePrivilege logs and answers differently.
bool EnablePrivilege(const char* name, bool enable) {
    if (!IsWinNT())
        return true;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        LOG_WIN32_ERROR(0, "OpenProcessToken failed");
        return false;
    }
    TOKEN_PRIVILEGES privileges = {};
    bool ok = false;
    if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) {
        LOG_WIN32_ERROR(0, "LookupPrivilegeValue (%s) failed", name);
    } else {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        // Success can still mean "not all assigned": the last error tells.
        if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) ||
            GetLastError() != ERROR_SUCCESS)
            LOG_WIN32_ERROR(0, "AdjustTokenPrivileges (%s) failed", name);
        else
            ok = true;
    }
    CloseHandle(token);
    return ok;
}

}  // namespace

bool IsWin9x() {
    return PlatformId() == VER_PLATFORM_WIN32_WINDOWS;
}

bool IsWinNT() {
    return PlatformId() == VER_PLATFORM_WIN32_NT;
}

PFNEXITWINDOWS SetExitWindowsFunction(PFNEXITWINDOWS function) {
    PFNEXITWINDOWS old = g_exitWindows;
    g_exitWindows = function ? function : DefaultExitWindows;
    return old;
}

BOOL EndWindowsSession(UINT flags, DWORD reason) {
    return g_exitWindows(flags, reason);
}

bool RebootWindows() {
    if (IsWin9x())
        return EndWindowsSession(EWX_REBOOT, 0) != 0;
    if (!EnablePrivilege(SE_SHUTDOWN_NAME, true))
        return false;
    bool ok = EndWindowsSession(EWX_REBOOT, 0) != 0;
    EnablePrivilege(SE_SHUTDOWN_NAME, false);
    return ok;
}

bool RegisterServerDll(const char* path, bool withOle, HRESULT* result) {
    HRESULT ignored = S_OK;
    if (!result)
        result = &ignored;
    *result = S_OK;
    if (!path)
        return true;
    if (withOle) {
        HRESULT hr = OleInitialize(nullptr);
        if (FAILED(hr)) {
            OleUninitialize();
            *result = hr;
            return false;
        }
    }
    bool ok = false;
    HMODULE module = LoadLibraryA(path);
    if (!module) {
        *result = (HRESULT)GetLastError();
    } else {
        typedef HRESULT(STDAPICALLTYPE * PFNREGISTER)();
        PFNREGISTER registerServer = reinterpret_cast<PFNREGISTER>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "DllRegisterServer")));
        if (!registerServer) {
            *result = (HRESULT)GetLastError();
        } else {
            *result = registerServer();
            ok = SUCCEEDED(*result);
        }
        FreeLibrary(module);
    }
    if (withOle)
        OleUninitialize();
    return ok;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool ExecuteCommand(const char* application, const char* commandLine, const char* folder,
                    DWORD wait, DWORD* exitCode) {
    DWORD ignored = 0;
    if (!exitCode)
        exitCode = &ignored;
    // CreateProcess may write into its command line.
    char line[2048];
    line[0] = 0;
    if (commandLine) {
        size_t n = strlen(commandLine);
        if (n >= sizeof(line)) {
            *exitCode = ERROR_FILENAME_EXCED_RANGE;
            return false;
        }
        memcpy(line, commandLine, n + 1);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    DWORD start = GetTickCount();
    if (!CreateProcessA(application, commandLine ? line : nullptr, nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | CREATE_NEW_PROCESS_GROUP | CREATE_NEW_CONSOLE,
                        nullptr, folder, &startup, &process)) {
        *exitCode = GetLastError();
        return false;
    }
    CloseHandle(process.hThread);
    // The input-idle wait is part of the caller's limit.
    WaitForInputIdle(process.hProcess, wait);
    PumpMessages();
    if (wait == 0) {
        *exitCode = 0;
        CloseHandle(process.hProcess);
        return true;
    }
    DWORD r = WAIT_TIMEOUT;
    if (wait == INFINITE) {
        r = WaitForSingleObject(process.hProcess, INFINITE);
    } else {
        for (;;) {
            DWORD used = GetTickCount() - start;
            if (used >= wait) {
                r = WaitForSingleObject(process.hProcess, 0);
                break;
            }
            DWORD left = wait - used;
            r = WaitForSingleObject(process.hProcess, left < 100 ? left : 100);
            PumpMessages();
            if (r != WAIT_TIMEOUT)
                break;
        }
    }
    PumpMessages();
    bool ok = false;
    if (r != WAIT_OBJECT_0) {
        *exitCode = r == WAIT_TIMEOUT ? 0 : GetLastError();
    } else if (!GetExitCodeProcess(process.hProcess, exitCode)) {
        *exitCode = GetLastError();
    } else {
        ok = true;
    }
    CloseHandle(process.hProcess);
    return ok;
}

namespace {

LOG_FORMAT(4, 0)
int ShowFormatted(HWND window, const char* title, UINT type, const char* format, va_list args) {
    char text[1024];
    vsnprintf(text, sizeof(text), format ? format : "", args);
    text[sizeof(text) - 1] = 0;
    return SysMessageBox(window, text, title, type);
}

}  // namespace

int MessageBoxFormat(HWND window, const char* title, UINT type, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int r = ShowFormatted(window, title, type, format, args);
    va_end(args);
    return r;
}

int MessageBoxIds(HWND window, UINT titleId, UINT type, UINT formatId, ...) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char title[129] = "";
    char format[257] = "";
    LoadStringA(instance, titleId, title, sizeof(title));
    LoadStringA(instance, formatId, format, sizeof(format));
    va_list args;
    va_start(args, formatId);
    int r = ShowFormatted(window, title, type, format, args);
    va_end(args);
    return r;
}
