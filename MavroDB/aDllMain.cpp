// The library module: its four exports and the registration of the class
// and type library 3.0. No C++ exception leaves an export.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <stdio.h>
#include <string.h>

#include "aDBModule.h"
#include "aMavroBase.h"
#include "bComBase.h"

namespace {

const char kClassName[] = "MavroBase Class";
const char kClsid[] = "{700F47F0-1C71-4e07-95BA-59F3D8EA366A}";
const char kLibid[] = "{DDDE1FB5-65C5-4999-A817-85FA7FD0FB9A}";

const ComClassEntry kClasses[] = {
    {&CLSID_MavroBase, CreateMavroBase, MAVROBASE_PROGID, kClassName},
    {nullptr, nullptr, nullptr, nullptr},
};

LONG SetValue(const char* path, const char* name, const char* value) {
    HKEY key = nullptr;
    LONG rc =
        RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (value)
        rc = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value, (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return rc;
}

HRESULT WriteKeys(const char* module) {
    char clsidKey[96], key[160];
    snprintf(clsidKey, sizeof(clsidKey), "CLSID\\%s", kClsid);
    // The class key is removed and written anew: registering twice leaves one.
    RegDeleteTreeA(HKEY_CLASSES_ROOT, clsidKey);
    struct {
        const char* path;
        const char* name;
        const char* value;
    } rows[] = {
        {"MavroDB.MavroBase.2", nullptr, kClassName},
        {"MavroDB.MavroBase.2\\CLSID", nullptr, kClsid},
        {"MavroDB.MavroBase", nullptr, kClassName},
        {"MavroDB.MavroBase\\CLSID", nullptr, kClsid},
        {"MavroDB.MavroBase\\CurVer", nullptr, "MavroDB.MavroBase.2"},
        {clsidKey, nullptr, kClassName},
    };
    for (const auto& r : rows)
        if (SetValue(r.path, r.name, r.value) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    const char* sub[][3] = {{"ProgID", nullptr, MAVROBASE_PROGID},
                            {"VersionIndependentProgID", nullptr, "MavroDB.MavroBase"},
                            {"Programmable", nullptr, nullptr},
                            {"InprocServer32", nullptr, module},
                            {"InprocServer32", "ThreadingModel", "Apartment"},
                            {"TypeLib", nullptr, kLibid}};
    for (const auto& s : sub) {
        snprintf(key, sizeof(key), "%s\\%s", clsidKey, s[0]);
        if (SetValue(key, s[1], s[2]) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
    }
    return S_OK;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetDBModule(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
    return ComModuleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    try {
        return ComDllGetClassObject(kClasses, clsid, iid, ppv);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDMETHODCALLTYPE DllRegisterServer() {
    try {
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(GetDBModule(), path, sizeof(path));
        if (n == 0 || n >= sizeof(path))
            return E_FAIL;
        HRESULT hr = WriteKeys(path);
        if (FAILED(hr))
            return hr;
        WCHAR wide[MAX_PATH];
        GetModuleFileNameW(GetDBModule(), wide, MAX_PATH);
        ITypeLib* lib = nullptr;
        hr = LoadTypeLibEx(wide, REGKIND_REGISTER, &lib);
        if (FAILED(hr))
            return SELFREG_E_TYPELIB;
        lib->Release();
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT STDMETHODCALLTYPE DllUnregisterServer() {
    try {
        char key[96];
        snprintf(key, sizeof(key), "CLSID\\%s", kClsid);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "MavroDB.MavroBase.2");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "MavroDB.MavroBase");
#ifdef _WIN64
        UnRegisterTypeLib(LIBID_MAVRODBLib, 3, 0, LOCALE_NEUTRAL, SYS_WIN64);
#else
        UnRegisterTypeLib(LIBID_MAVRODBLib, 3, 0, LOCALE_NEUTRAL, SYS_WIN32);
#endif
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
