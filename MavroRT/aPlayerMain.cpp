#include "aPlayerMain.h"

#include "aCmdLine.h"
#include "bTraceLog.h"

int PlayerWinMain(HINSTANCE instance, HINSTANCE prevInstance, LPSTR commandLine, int showCommand) {
    InstallSETranslator();
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
    return code;
}

int RunWinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    TRACE_POINT();
    CoInitialize(nullptr);
    char runtimePath[MAX_PATH];
    if (!ParseRuntimeSwitch(commandLine, runtimePath, sizeof(runtimePath))) {
        CoUninitialize();
        return 0;
    }
    CoUninitialize();
    return 0;
}
