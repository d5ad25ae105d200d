#include "bComBase.h"

#include <olectl.h>
#include <stdio.h>
#include <string.h>

HRESULT ComInternalQueryInterface(void* pThis, const ComQIEntry* entries, REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!pThis || !entries || !entries->piid)
        return E_NOINTERFACE;
    const ComQIEntry* hit = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        hit = entries;
    } else {
        for (const ComQIEntry* e = entries; e->piid; ++e) {
            if (IsEqualIID(iid, *e->piid)) {
                hit = e;
                break;
            }
        }
    }
    if (!hit)
        return E_NOINTERFACE;
    IUnknown* unk = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(pThis) + hit->offset);
    unk->AddRef();
    *ppv = unk;
    return S_OK;
}

static LONG g_moduleLocks = 0;

void ComModuleLock() {
    InterlockedIncrement(&g_moduleLocks);
}
void ComModuleUnlock() {
    InterlockedDecrement(&g_moduleLocks);
}
LONG ComModuleLockCount() {
    return g_moduleLocks;
}

STDMETHODIMP CComClassFactory::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CComClassFactory::AddRef() {
    return (ULONG)InterlockedIncrement(&m_ref);
}

STDMETHODIMP_(ULONG) CComClassFactory::Release() {
    LONG n = InterlockedDecrement(&m_ref);
    if (n == 0)
        delete this;
    return (ULONG)n;
}

STDMETHODIMP CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!m_creator)
        return E_FAIL;
    return m_creator(iid, ppv);
}

STDMETHODIMP CComClassFactory::LockServer(BOOL lock) {
    if (lock)
        ComModuleLock();
    else
        ComModuleUnlock();
    return S_OK;
}

HRESULT ComDllGetClassObject(const ComClassEntry* table, REFCLSID clsid, REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (const ComClassEntry* e = table; e && e->pclsid; ++e) {
        if (!IsEqualCLSID(clsid, *e->pclsid))
            continue;
        CComClassFactory* f = new (std::nothrow) CComClassFactory(e->creator);
        if (!f)
            return E_OUTOFMEMORY;
        HRESULT hr = f->QueryInterface(iid, ppv);
        f->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

void GuidToString(REFGUID g, char* buffer, int size) {
    if (!buffer || size <= 0)
        return;
    snprintf(buffer, (size_t)size, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             (unsigned long)g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
             g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
}

static LONG SetKeyValue(HKEY root, const char* path, const char* name, const char* value) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        (DWORD)strlen(value) + 1);
    RegCloseKey(key);
    return rc;
}

HRESULT ComDllRegisterServer(const ComClassEntry* table, HMODULE module, const char* threading) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(module, path, sizeof(path));
    if (n == 0 || n >= sizeof(path))
        return E_FAIL;
    for (const ComClassEntry* e = table; e && e->pclsid; ++e) {
        char guid[64], key[160];
        GuidToString(*e->pclsid, guid, sizeof(guid));
        snprintf(key, sizeof(key), "CLSID\\%s", guid);
        if (SetKeyValue(HKEY_CLASSES_ROOT, key, nullptr, e->description ? e->description : "") !=
            ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        snprintf(key, sizeof(key), "CLSID\\%s\\InprocServer32", guid);
        if (SetKeyValue(HKEY_CLASSES_ROOT, key, nullptr, path) != ERROR_SUCCESS)
            return SELFREG_E_CLASS;
        SetKeyValue(HKEY_CLASSES_ROOT, key, "ThreadingModel", threading ? threading : "Apartment");
        if (e->progId) {
            snprintf(key, sizeof(key), "CLSID\\%s\\ProgID", guid);
            SetKeyValue(HKEY_CLASSES_ROOT, key, nullptr, e->progId);
            snprintf(key, sizeof(key), "%s\\CLSID", e->progId);
            SetKeyValue(HKEY_CLASSES_ROOT, key, nullptr, guid);
        }
    }
    return S_OK;
}

HRESULT ComDllUnregisterServer(const ComClassEntry* table) {
    for (const ComClassEntry* e = table; e && e->pclsid; ++e) {
        char guid[64], key[160];
        GuidToString(*e->pclsid, guid, sizeof(guid));
        snprintf(key, sizeof(key), "CLSID\\%s\\InprocServer32", guid);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
        snprintf(key, sizeof(key), "CLSID\\%s\\ProgID", guid);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
        snprintf(key, sizeof(key), "CLSID\\%s", guid);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
        if (e->progId) {
            snprintf(key, sizeof(key), "%s\\CLSID", e->progId);
            RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
            RegDeleteKeyA(HKEY_CLASSES_ROOT, e->progId);
        }
    }
    return S_OK;
}
