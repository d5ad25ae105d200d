#include "aDBModule.h"

#include "bMsgBox.h"

static HINSTANCE g_dbModule = nullptr;
static ITraceLog* g_dbTraceLog = nullptr;
static CDBCore* g_dbCore = nullptr;

HINSTANCE GetDBModule() {
    return g_dbModule ? g_dbModule : GetModuleHandleA(nullptr);
}

void SetDBModule(HINSTANCE module) {
    g_dbModule = module;
}

std::string DBLoadString(UINT id) {
    const WCHAR* text = nullptr;
    // Length 0 gives a read-only pointer into the resource itself.
    int n = LoadStringW(GetDBModule(), id, (LPWSTR)&text, 0);
    if (n <= 0 || !text)
        return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_ACP, 0, text, n, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::string DBAnsi(const char* utf8) {
    int w = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (w <= 1)
        return std::string();
    std::wstring wide(w, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], w);
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), w - 1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), w - 1, &out[0], n, nullptr, nullptr);
    return out;
}

int DBMessageBox(const std::string& text, UINT type) {
    return SysMessageBox(nullptr, text.c_str(), "", type);
}

int DBMessageBox(UINT stringId, UINT type) {
    return DBMessageBox(DBLoadString(stringId), type);
}

ITraceLog* GetDBTraceLog() {
    return g_dbTraceLog;
}

ITraceLog** GetDBTraceLogSlot() {
    return &g_dbTraceLog;
}

CDBCore* GetDBCore() {
    return g_dbCore;
}

void SetDBCore(CDBCore* core) {
    g_dbCore = core;
}
