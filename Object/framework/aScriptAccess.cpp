#include "aScriptAccess.h"

#include <string.h>

#include <string>

#include "aablcont.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

// {D5738C00-104E-11D4-9EEB-00104B04B807}
const GUID kLibMavro = {
    0xD5738C00, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};

ITypeLib* LoadObjectTypeLib() {
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(kLibMavro, 1, 0, LOCALE_NEUTRAL, &lib)) && lib)
        return lib;
    WCHAR path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        LOG_MSG("Type library: no program path");
        return nullptr;
    }
    wcscat(path, L"\\1");
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "LoadTypeLib of the object classes failed");
        return nullptr;
    }
    return lib;
}

}  // namespace

ITypeLib* GetObjectTypeLib() {
    // The player runs its objects on one thread.
    static ITypeLib* lib = LoadObjectTypeLib();
    return lib;
}

HRESULT GetObjectTypeInfo(REFGUID guid, ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    ITypeLib* lib = GetObjectTypeLib();
    if (!lib)
        return TYPE_E_CANTLOADLIBRARY;
    return lib->GetTypeInfoOfGuid(guid, out);
}

bool ComposeAbilityDispId(int index, DISPID member, DISPID* out) {
    if (index < 0 || (DWORD)index >= ABILITY_INDEX_LIMIT || member < 0 ||
        (DWORD)member >= ABILITY_MEMBER_LIMIT)
        return false;
    *out = (DISPID)(((DWORD)index << ABILITY_DISPID_SHIFT) + ((DWORD)member | ABILITY_DISPID_FLAG));
    return true;
}

HRESULT ObjectGetIDsOfNames(ITypeInfo* info, AbilityContainer* abilities, REFIID iid,
                            LPOLESTR* names, UINT count, LCID locale, DISPID* ids) {
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    HRESULT typeResult = info ? info->GetIDsOfNames(names, count, ids) : TYPE_E_CANTLOADLIBRARY;
    if (SUCCEEDED(typeResult))
        return typeResult;
    std::string name = names[0] ? MultibyteFromWide(names[0]) : std::string();
    size_t arrow = name.find("->");
    if (arrow == std::string::npos)
        return E_FAIL;
    std::wstring ability = WideFromMultibyte(name.substr(0, arrow).c_str());
    std::wstring member = WideFromMultibyte(name.substr(arrow + 2).c_str());
    int index = -1;
    for (int i = 0; abilities && i < abilities->EntryCount(); ++i) {
        if (abilities->Entry(i).name == ability) {
            index = i;
            break;
        }
    }
    if (index < 0)
        return typeResult;
    IUnknown* held = abilities->Entry(index).Get();
    IDispatch* dispatch = nullptr;
    if (!held || FAILED(held->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
        !dispatch)
        return E_FAIL;
    LPOLESTR memberName = const_cast<LPOLESTR>(member.c_str());
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch->GetIDsOfNames(iid, &memberName, 1, locale, &id);
    dispatch->Release();
    if (FAILED(hr))
        return hr;
    // An id that does not fit would name another ability's member.
    DISPID composed = 0;
    if (!ComposeAbilityDispId(index, id, &composed)) {
        LOG_MSG("Ability member %s: id %ld of ability %d does not fit", name.c_str(), (long)id,
                index);
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = composed;
    return hr;
}

HRESULT ObjectInvoke(ITypeInfo* info, void* self, AbilityContainer* abilities, DISPID id,
                     REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argError) {
    if ((DWORD)id & ABILITY_DISPID_FLAG) {
        int index = (int)(((DWORD)id & 0x7FFFFFFF) >> ABILITY_DISPID_SHIFT);
        DISPID member = (DISPID)((DWORD)id & 0xFFFF);
        if (!abilities || index >= abilities->EntryCount())
            return E_FAIL;
        IUnknown* held = abilities->Entry(index).Get();
        IDispatch* dispatch = nullptr;
        if (!held ||
            FAILED(held->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
            !dispatch)
            return E_FAIL;
        HRESULT hr =
            dispatch->Invoke(member, iid, locale, flags, params, result, exception, argError);
        dispatch->Release();
        return hr;
    }
    if (!info)
        return TYPE_E_CANTLOADLIBRARY;
    return info->Invoke(self, id, flags, params, result, exception, argError);
}
