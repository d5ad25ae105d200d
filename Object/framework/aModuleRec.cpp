#include "aModuleRec.h"

#include <string.h>

#include <new>

#include "bTraceLog.h"

ModuleCreator* NewModuleRecordForPath(const char* path) {
    ModuleCreator* record = new ModuleCreator;
    size_t n = strlen(path) + 1;
    char* copy = new char[n];
    memcpy(copy, path, n);
    record->dwFirst = MODULE_KIND_TO_LOAD;
    record->pfnCreate = nullptr;
    record->dwArgument = reinterpret_cast<DWORD_PTR>(copy);
    record->dwLast = 0;
    return record;
}

void ReleaseModuleRecord(ModuleCreator* record) {
    if (!record)
        return;
    if (record->dwFirst == MODULE_KIND_TO_LOAD && record->dwArgument) {
        delete[] reinterpret_cast<char*>(record->dwArgument);
        record->dwArgument = 0;
    } else if (record->dwFirst == MODULE_KIND_LOADED && record->dwLast == 1 && record->dwArgument) {
        FreeLibrary(reinterpret_cast<HMODULE>(record->dwArgument));
        record->dwArgument = 0;
        record->dwLast = 0;
    }
}

HRESULT CreateFromModule(REFCLSID clsid, ModuleCreator* record, IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!record)
        return E_FAIL;
    switch (record->dwFirst) {
        case MODULE_KIND_BUILTIN:
            return record->pfnCreate ? record->pfnCreate(out) : E_FAIL;
        case MODULE_KIND_TO_LOAD: {
            const char* path = reinterpret_cast<const char*>(record->dwArgument);
            HMODULE module = path ? LoadLibraryA(path) : nullptr;
            if (!module) {
                LOG_WIN32_ERROR(GetLastError(), "CreateFromModule: LoadLibrary(%s) failed",
                                path ? path : "");
                return E_FAIL;
            }
            delete[] path;
            record->dwFirst = MODULE_KIND_LOADED;
            record->dwArgument = reinterpret_cast<DWORD_PTR>(module);
            record->dwLast = 1;
        }
            [[fallthrough]];
        case MODULE_KIND_LOADED: {
            typedef HRESULT(STDAPICALLTYPE * PFNGETCLASSOBJECT)(REFCLSID, REFIID, void**);
            HMODULE module = reinterpret_cast<HMODULE>(record->dwArgument);
            PFNGETCLASSOBJECT get =
                module ? reinterpret_cast<PFNGETCLASSOBJECT>(
                             reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")))
                       : nullptr;
            if (!get) {
                // A module without the export can make nothing.
                LOG_MSG("CreateFromModule: no DllGetClassObject in module");
                return E_FAIL;
            }
            IClassFactory* factory = nullptr;
            HRESULT hr = get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
            if (FAILED(hr))
                return hr;
            if (!factory)
                return E_FAIL;
            hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(out));
            factory->Release();
            return hr;
        }
        default:
            return E_FAIL;
    }
}
