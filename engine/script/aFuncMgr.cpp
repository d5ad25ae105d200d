#include "aFuncMgr.h"

#include <stdlib.h>

#include "aRoutineTable.h"
#include "bStrConv.h"
#include "bTextCut.h"
#include "bTraceLog.h"

CFunctionManager::CFunctionManager()
    : m_system(nullptr), m_host(nullptr), m_routines(nullptr), m_direct(true), m_last(nullptr) {}

CFunctionManager::~CFunctionManager() {
    for (auto& l : m_libs) {
        l.info->Release();
        l.disp->Release();
    }
}

void CFunctionManager::SetSystemHost(ISystemFuncHost* host) {
    m_host = host;
    if (m_system)
        m_system->SetHost(host);
}

int CFunctionManager::GetFunctionCount(int library) const {
    if (library < 0 || library >= (int)m_libs.size())
        return 0;
    TYPEATTR* attr = nullptr;
    ITypeInfo* info = m_libs[(size_t)library].info;
    if (FAILED(info->GetTypeAttr(&attr)))
        return 0;
    int n = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    return n;
}

bool CFunctionManager::AddLibrary(ITypeLib* lib, REFIID iid, IDispatch* disp) {
    ITypeInfo* info = nullptr;
    if (FAILED(lib->GetTypeInfoOfGuid(iid, &info)))
        return false;
    void* itf = nullptr;
    if (FAILED(disp->QueryInterface(iid, &itf))) {
        info->Release();
        return false;
    }
    static_cast<IUnknown*>(itf)->Release();  // lives as long as disp
    int index = (int)m_libs.size();
    m_libs.push_back({disp, itf, info});
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return true;
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(info->GetFuncDesc(i, &fd)))
            continue;
        BSTR name = nullptr;
        UINT got = 0;
        if (fd->memid <= 1000 && SUCCEEDED(info->GetNames(fd->memid, &name, 1, &got)) && got) {
            Function f;
            f.library = index;
            f.id = fd->memid;
            f.direct = nullptr;
            for (SHORT p = 0; p < fd->cParams; ++p)
                f.params.push_back(fd->lprgelemdescParam[p].tdesc.vt);
            // The retval parameter is the result, not an argument.
            VARTYPE result = VT_EMPTY;
            if (!f.params.empty() && (fd->lprgelemdescParam[fd->cParams - 1].paramdesc.wParamFlags &
                                      PARAMFLAG_FRETVAL)) {
                const TYPEDESC& t = fd->lprgelemdescParam[fd->cParams - 1].tdesc;
                if (t.vt == VT_PTR && t.lptdesc)
                    result = t.lptdesc->vt;
                f.params.pop_back();
            } else if (fd->elemdescFunc.tdesc.vt != VT_HRESULT) {
                // The dispatch view of a dual interface returns the value.
                result = fd->elemdescFunc.tdesc.vt;
            }
            const FuncDirectEntry* direct = FindFuncDirectEntry(iid, fd->memid);
            if (direct && fd->invkind == INVOKE_FUNC &&
                FuncDirectFits(*direct, f.params.data(), (int)f.params.size(), result))
                f.direct = direct;
            m_functions.emplace(MultibyteFromBstr(name), std::move(f));
        }
        SysFreeString(name);
        info->ReleaseFuncDesc(fd);
    }
    info->ReleaseTypeAttr(attr);
    return true;
}

template <class T>
static IDispatch* MakeLibrary(ITypeLib* lib, REFIID iid, T** object) {
    CComObject<T>* p = nullptr;
    if (FAILED(CComObject<T>::CreateInstance(&p)))
        return nullptr;
    ITypeInfo* info = nullptr;
    if (SUCCEEDED(lib->GetTypeInfoOfGuid(iid, &info))) {
        p->SetTypeInfo(info);
        info->Release();
    }
    p->AddRef();
    if (object)
        *object = p;
    return static_cast<IDispatch*>(p);
}

bool CFunctionManager::LoadLibraries(const char* typeLibPath) {
    std::string path;
    if (typeLibPath) {
        path = typeLibPath;
    } else {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, sizeof(self));
        path = std::string(self) + "\\2";
    }
    ITypeLib* lib = nullptr;
    std::wstring wide = WideFromMultibyte(path.c_str());
    if (FAILED(LoadTypeLibEx(wide.c_str(), REGKIND_REGISTER, &lib)) || !lib) {
        LOG_MSG("LoadTypeLib: %s failed", path.c_str());
        return false;
    }
    IDispatch* math = MakeLibrary<CMathFuncs>(lib, __uuidof(IMathFuncs), nullptr);
    IDispatch* general = MakeLibrary<CGeneralFuncs>(lib, __uuidof(IGeneralFuncs), nullptr);
    CSystemFuncs* system = nullptr;
    IDispatch* sys = MakeLibrary<CSystemFuncs>(lib, __uuidof(ISystemFuncs), &system);
    const IID* iids[3] = {&__uuidof(IMathFuncs), &__uuidof(IGeneralFuncs), &__uuidof(ISystemFuncs)};
    IDispatch* objs[3] = {math, general, sys};
    for (int i = 0; i < 3; ++i) {
        if (objs[i] && AddLibrary(lib, *iids[i], objs[i]))
            continue;
        if (objs[i])
            objs[i]->Release();
        if (i == 2)
            system = nullptr;
    }
    m_system = system;
    if (m_system)
        m_system->SetHost(m_host);
    lib->Release();
    srand(GetTickCount());
    return true;
}

bool CFunctionManager::HasDirectCall(const char* name) const {
    auto it = name ? m_functions.find(name) : m_functions.end();
    return it != m_functions.end() && it->second.direct;
}

bool CFunctionManager::Execute(const char* name, VARIANT* args, int count, VARIANT* result) {
    if (!name)
        return false;
    // A call repeated in a loop finds its function without hashing.
    if (!m_last || !SameText(m_lastName.c_str(), name)) {
        auto it = m_functions.find(name);
        if (it == m_functions.end()) {
            if (m_routines)
                return m_routines->CallFunction(name, args, count, result);
            return false;
        }
        m_last = &it->second;
        m_lastName = name;
    }
    const Function& f = *m_last;
    int n = (int)f.params.size();
    if (n != count) {
        LOG_MSG("parameter number fault! \n");
        return false;
    }
    for (int i = 0; i < count; ++i) {
        VARTYPE want = f.params[(size_t)(n - 1 - i)];
        if (want == VT_VARIANT || args[i].vt == want)
            continue;
        if (FAILED(VariantChangeType(&args[i], &args[i], 0, want))) {
            LOG_MSG("Function: '%s' -- invalid parameter type: %d", name, i);
            return false;
        }
    }
    const Library& lib = m_libs[(size_t)f.library];
    if (f.direct && m_direct) {
        if (FAILED(CallFuncDirect(*f.direct, lib.itf, args, count, result))) {
            LOG_MSG("Exec function failed: '%s'", name);
            return false;
        }
        return true;
    }
    DISPPARAMS dp = {args, nullptr, (UINT)count, 0};
    EXCEPINFO ex;
    ZeroMemory(&ex, sizeof(ex));
    UINT argErr = 0;
    HRESULT hr = lib.info->Invoke(lib.itf, f.id, DISPATCH_METHOD, &dp, result, &ex, &argErr);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrHelpFile);
    if (FAILED(hr)) {
        LOG_MSG("Exec function failed: '%s'", name);
        return false;
    }
    return true;
}
