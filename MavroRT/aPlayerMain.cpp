#include "aPlayerMain.h"

#include <new>
#include <stdio.h>
#include <string.h>

#include "aCmdLine.h"
#include "aPlayerDoc.h"
#include "aPlayerModule.h"
#include "aPlayerView.h"
#include "bStrConv.h"
#include "bTraceLog.h"

// The ini beside the program: its path with the extension replaced by "ini".
static void IniPathOfProgram(char* ini, int size) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (n == 0 || n >= sizeof(path)) {
        ini[0] = 0;
        return;
    }
    char* name = strrchr(path, '\\');
    char* dot = strrchr(name ? name : path, '.');
    if (dot)
        *dot = 0;
    snprintf(ini, (size_t)size, "%s.ini", path);
}

int PlayerWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR commandLine, int showCommand) {
    InstallSETranslator();

    char ini[MAX_PATH + 8];
    IniPathOfProgram(ini, sizeof(ini));
    bool logging = false;
    if (ini[0] && GetPrivateProfileIntA("MavroRT", "SysLog", 0, ini) != 0) {
        char temp[MAX_PATH + 1];
        DWORD n = GetTempPathA(MAX_PATH, temp);
        if (n > 0 && n < MAX_PATH - 12) {
            char logPath[MAX_PATH + 16];
            snprintf(logPath, sizeof(logPath), "%s~mvrt40.lg0", temp);
            CreateTraceLog(logPath);
            logging = true;
        }
    }

    int code = 0;
    try {
        code = RunWinMain(instance, prevInstance, commandLine, showCommand);
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        code = 0;
    } catch (...) {
        LOG_MSG("Unknown Exception !!!");
        code = 0;
    }

    if (logging)
        ReleaseTraceLog();
    return code;
}

namespace {

// Registers type library `index` of the program file.
bool RegisterTypeLibResource(int index) {
    char path[520];
    DWORD n = GetModuleFileNameA(nullptr, path, 512);
    if (n == 0 || n >= 512)
        path[0] = 0;
    char suffix[16];
    wsprintfA(suffix, "\\%d", index);
    strcat(path, suffix);
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(WideFromMultibyte(path).c_str(), REGKIND_REGISTER, &lib);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "LoadTypeLib: %s failed", path);
        return false;
    }
    lib->Release();
    return true;
}

}  // namespace

bool RegisterOwnTypeLib() {
    if (!RegisterTypeLibResource(1))
        return false;
    // The Flash container's library: without it only Flash movies fail.
    RegisterTypeLibResource(3);
    return true;
}

int RunWinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    TRACE_POINT();
    CoInitialize(nullptr);

    char runtimePath[MAX_PATH];
    if (!ParseRuntimeSwitch(commandLine, runtimePath, sizeof(runtimePath))) {
        CoUninitialize();
        return 0;
    }
    if (!RegisterOwnTypeLib()) {
        CoUninitialize();
        return 0;
    }

    _Module.Init(instance);

    CPlayerDoc* doc = new (std::nothrow) CPlayerDoc();
    if (!doc) {
        _Module.Term();
        CoUninitialize();
        return (int)E_OUTOFMEMORY;
    }

    int code = 0;
    CPlayerView* view = new (std::nothrow) CPlayerView(doc);
    char title[MAX_PATH];
    RuntimeTitle(runtimePath, title, sizeof(title));
    HWND window = view ? view->CreateMainWindow(title) : nullptr;
    if (!window) {
        LOG_WIN32_ERROR(0, "%s", "");
    } else {
        doc->SetView(view);
        WndMapAdd(window, view);
        if (SUCCEEDED(doc->Open(runtimePath))) {
            doc->StartRun();
            code = RunMessageLoop(doc->GetSite());
            doc->StopRun();
        }
        WndMapRemove(window);
    }

    delete doc;
    _Module.Term();
    delete view;
    CoUninitialize();
    return code;
}
