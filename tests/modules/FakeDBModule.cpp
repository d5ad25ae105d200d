// A database server that stands in for the database library beside the
// player: the fake core behind the real class identifier, with the four
// exports of an in-process server. It writes what the player hands it, one
// line each, to the file that MAVRO_FAKEDB_RECORD names, writes a line into
// the host's trace log and posts one data source notice to the player's
// window from InitDataBase.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "ServiceFakes.h"
#include "bPlayerSite.h"
#include "bTraceLog.h"

namespace {

HMODULE g_module = nullptr;

void Record(const char* format, ...) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("MAVRO_FAKEDB_RECORD", path, sizeof(path));
    if (n == 0 || n >= sizeof(path))
        return;
    FILE* f = fopen(path, "a");
    if (!f)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(f, format, args);
    va_end(args);
    fputc('\n', f);
    fclose(f);
}

class FakeDBServer : public CComObjectRootBase, public FakeDBCore {
public:
    BEGIN_COM_MAP(FakeDBServer)
    COM_INTERFACE_ENTRY(IDBCore)
    END_COM_MAP()

    STDMETHOD(InitDataBase)
    (const char* path, const char* workgroupPath, const char* password, int flags,
     IPlayerSite* site, HWND window) override {
        Record("InitDataBase path=%s workgroup=%s password=%s flags=%d site=%d window=%d",
               path ? path : "(null)", workgroupPath ? workgroupPath : "(null)",
               password ? password : "(null)", flags, site ? 1 : 0, IsWindow(window) ? 1 : 0);
        // The host's services as the real library reaches them: its trace log
        // (slot 28) and, already during this call, this object (slot 19).
        ITraceLog* log = nullptr;
        if (site && SUCCEEDED(site->GetTraceLog(&log)) && log)
            log->WriteEntry("Fake database: opened through the play site", TRACE_ENTRY_LOG);
        void* self = nullptr;
        HRESULT hr = site ? site->GetDatabase(&self) : E_POINTER;
        Record("GetDatabase %s", SUCCEEDED(hr) && self == static_cast<IDBCore*>(this)
                                     ? "answers this object"
                                     : "fails");
        DataSourceNotice* notice = new DataSourceNotice(Notice("Staff", "Name", ""));
        notice->kind = 1;
        if (PostMessageA(window, WM_DB_NOTICE, 1, reinterpret_cast<LPARAM>(notice)))
            Record("posted %p", static_cast<void*>(notice));
        else
            delete notice;
        return S_OK;
    }
    STDMETHOD(FreeDBNotice)(DataSourceNotice* notice) override {
        Record("freed %p %s", static_cast<void*>(notice), notice ? notice->sourceName : "");
        delete notice;
        return S_OK;
    }
};

HRESULT CreateFakeDB(REFIID iid, void** ppv) {
    return ComCreateInstance<FakeDBServer>(iid, ppv);
}

const ComClassEntry kClasses[] = {
    {&CLSID_MavroBase, CreateFakeDB, nullptr, "Fake database"},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_module = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    return ComDllGetClassObject(kClasses, clsid, iid, ppv);
}

STDAPI DllCanUnloadNow() {
    return ComDllCanUnloadNow();
}

STDAPI DllRegisterServer() {
    Record("DllRegisterServer");
    return ComDllRegisterServer(kClasses, g_module, "Apartment");
}

STDAPI DllUnregisterServer() {
    return ComDllUnregisterServer(kClasses);
}
