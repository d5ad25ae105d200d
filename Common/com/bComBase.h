// Small COM layer shared by every class of the player: reference counting,
// QueryInterface through a table of {interface id, offset} rows, smart
// pointers, class creators and class factories, and the helpers a DLL
// server needs. Interfaces declare their identifier with DECLARE_IID so that
// __uuidof works with g++ as it does with the Windows compilers.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <stddef.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

// Attach an interface identifier to a type: DECLARE_IID(IFoo, 0x12345678,
// 0x1234, 0x1234, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0).
#define DECLARE_IID(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    __CRT_UUID_DECL(type, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)

// Offset of interface Itf inside class Cls (never dereferences).
#define offsetofclass(Itf, Cls) \
    (reinterpret_cast<ptrdiff_t>(static_cast<Itf*>(reinterpret_cast<Cls*>(8))) - 8)

struct ComQIEntry {
    const IID* piid;   // null ends the table
    ptrdiff_t offset;  // offset of the interface inside the object
};

// Looks the identifier up in the table; IUnknown answers with the first row.
HRESULT ComInternalQueryInterface(void* pThis, const ComQIEntry* entries, REFIID iid, void** ppv);

// Base of every COM-style class: the count and the hooks around creation.
class CComObjectRootBase {
public:
    CComObjectRootBase() : m_dwRef(0) {}
    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}
    ULONG InternalAddRef() { return (ULONG)InterlockedIncrement(&m_dwRef); }
    ULONG InternalRelease() { return (ULONG)InterlockedDecrement(&m_dwRef); }
    LONG RefCount() const { return m_dwRef; }

protected:
    LONG m_dwRef;
};

#define BEGIN_COM_MAP(cls)                                                                         \
public:                                                                                            \
    typedef cls _ComMapClass;                                                                      \
    HRESULT _InternalQueryInterface(REFIID iid, void** ppv) {                                      \
        return ComInternalQueryInterface(this, _GetEntries(), iid, ppv);                           \
    }                                                                                              \
    IUnknown* GetUnknown() {                                                                       \
        return reinterpret_cast<IUnknown*>(reinterpret_cast<BYTE*>(this) + _GetEntries()->offset); \
    }                                                                                              \
    static const ComQIEntry* _GetEntries() {                                                       \
        static const ComQIEntry _entries[] = {
#define COM_INTERFACE_ENTRY(itf) {&__uuidof(itf), offsetofclass(itf, _ComMapClass)},
#define COM_INTERFACE_ENTRY_IID(iid, itf) {&(iid), offsetofclass(itf, _ComMapClass)},
// Interface reached through an intermediate base (ambiguous inheritance).
// Interface of a member object that shares the owner's count.
#define COM_INTERFACE_ENTRY_MEMBER(itf, member)                                                    \
    {&__uuidof(itf),                                                                               \
     reinterpret_cast<ptrdiff_t>(static_cast<itf*>(&reinterpret_cast<_ComMapClass*>(8)->member)) - \
         8},
#define COM_INTERFACE_ENTRY2(itf, via)                                             \
    {&__uuidof(itf), reinterpret_cast<ptrdiff_t>(static_cast<itf*>(                \
                         static_cast<via*>(reinterpret_cast<_ComMapClass*>(8)))) - \
                         8},
#define END_COM_MAP() \
    { nullptr, 0 }    \
    }                 \
    ;                 \
    return _entries;  \
    }

// IUnknown of an object that its owner deletes (a member, or a part of a
// larger object): the count does nothing and QueryInterface answers from the
// class's COM map.
#define DECLARE_OWNED_IUNKNOWN()                                 \
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override { \
        return _InternalQueryInterface(iid, ppv);                \
    }                                                            \
    STDMETHOD_(ULONG, AddRef)() override {                       \
        return 1;                                                \
    }                                                            \
    STDMETHOD_(ULONG, Release)() override {                      \
        return 1;                                                \
    }

// IUnknown of a part that lives and dies with its owner (a filter's pin):
// QueryInterface answers from the part's own map, the count is the owner's,
// so a reference to the part keeps the whole alive.
#define DECLARE_PART_IUNKNOWN(owner)                             \
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override { \
        return _InternalQueryInterface(iid, ppv);                \
    }                                                            \
    STDMETHOD_(ULONG, AddRef)() override {                       \
        return (owner)->AddRef();                                \
    }                                                            \
    STDMETHOD_(ULONG, Release)() override {                      \
        return (owner)->Release();                               \
    }

void ComModuleLock();
void ComModuleUnlock();

// The concrete, heap-allocated object: IUnknown on top of a class that has a
// COM map. Deleted when its count reaches 0. Holds one module lock while it
// lives, so a DLL server is not unloaded under its objects.
template <class Base>
class CComObject : public Base {
public:
    // The arguments go to the class's own constructor.
    template <class... Args>
    explicit CComObject(Args&&... args) : Base(std::forward<Args>(args)...) {
        ComModuleLock();
    }
    virtual ~CComObject() {
        this->FinalRelease();
        ComModuleUnlock();
    }

    STDMETHOD_(ULONG, AddRef)() override { return this->InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override {
        ULONG n = this->InternalRelease();
        if (n == 0)
            delete this;
        return n;
    }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return this->_InternalQueryInterface(iid, ppv);
    }

    // New object with a count of 0 (as the Windows class libraries do).
    static HRESULT CreateInstance(CComObject<Base>** pp) {
        if (!pp)
            return E_POINTER;
        *pp = nullptr;
        CComObject<Base>* p = new (std::nothrow) CComObject<Base>();
        if (!p)
            return E_OUTOFMEMORY;
        p->InternalAddRef();
        HRESULT hr = p->FinalConstruct();
        p->InternalRelease();
        if (FAILED(hr)) {
            delete p;
            return hr;
        }
        *pp = p;
        return S_OK;
    }
};

// Creates an object and asks it for an interface; the usual class creator.
template <class Base>
HRESULT ComCreateInstance(REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CComObject<Base>* p = nullptr;
    HRESULT hr = CComObject<Base>::CreateInstance(&p);
    if (FAILED(hr))
        return hr;
    p->AddRef();
    hr = p->QueryInterface(iid, ppv);
    p->Release();
    return hr;
}

typedef HRESULT (*PFNCREATEINSTANCE)(REFIID iid, void** ppv);

// Releases a held interface pointer and empties it.
template <class T>
void ReleaseInterface(T*& p) {
    if (p) {
        T* t = p;
        p = nullptr;
        t->Release();
    }
}

// Reference-holding interface pointer.
template <class T>
class CComPtr {
public:
    CComPtr() : p(nullptr) {}
    CComPtr(T* lp) : p(lp) {
        if (p)
            p->AddRef();
    }
    CComPtr(const CComPtr& o) : CComPtr(o.p) {}
    CComPtr(CComPtr&& o) noexcept : p(o.p) { o.p = nullptr; }
    ~CComPtr() { Release(); }
    CComPtr& operator=(T* lp) {
        if (lp)
            lp->AddRef();
        Release();
        p = lp;
        return *this;
    }
    CComPtr& operator=(const CComPtr& o) { return *this = o.p; }
    CComPtr& operator=(CComPtr&& o) noexcept {
        if (this != std::addressof(o)) {
            Release();
            p = o.p;
            o.p = nullptr;
        }
        return *this;
    }
    void Release() {
        T* t = p;
        p = nullptr;
        if (t)
            t->Release();
    }
    void Attach(T* lp) {
        Release();
        p = lp;
    }
    T* Detach() {
        T* t = p;
        p = nullptr;
        return t;
    }
    // The address to fill in; a held pointer would be overwritten and leak,
    // so that is refused.
    T** operator&() {
        if (p)
            throw std::logic_error("CComPtr: address of a pointer that is not empty");
        return &p;
    }
    T* operator->() const { return p; }
    operator T*() const { return p; }
    T* get() const { return p; }
    template <class Q>
    HRESULT QueryInterface(Q** pp) const {
        if (!p)
            return E_POINTER;
        return p->QueryInterface(__uuidof(Q), reinterpret_cast<void**>(pp));
    }
    HRESULT CopyTo(T** pp) const {
        if (!pp)
            return E_POINTER;
        *pp = p;
        if (p)
            p->AddRef();
        return S_OK;
    }

    T* p;
};

// Class factory over a creator function.
class CComClassFactory : public IClassFactory {
public:
    explicit CComClassFactory(PFNCREATEINSTANCE creator) : m_ref(1), m_creator(creator) {}
    virtual ~CComClassFactory() {}
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID iid, void** ppv) override;
    STDMETHOD(LockServer)(BOOL lock) override;

private:
    LONG m_ref;
    PFNCREATEINSTANCE m_creator;
};

// One row of a server's class table.
struct ComClassEntry {
    const CLSID* pclsid;
    PFNCREATEINSTANCE creator;
    const char* progId;       // may be null
    const char* description;  // may be null
};

// Helpers behind a server's exports; the table ends with a null clsid.
HRESULT ComDllGetClassObject(const ComClassEntry* table, REFCLSID clsid, REFIID iid, void** ppv);
// Writes HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32 for every row; the
// module is the DLL's own handle.
HRESULT ComDllRegisterServer(const ComClassEntry* table, HMODULE module, const char* threading);
HRESULT ComDllUnregisterServer(const ComClassEntry* table);
// Count of live objects and locks of the server, for DllCanUnloadNow.
LONG ComModuleLockCount();
// A server's DllCanUnloadNow: S_OK when no object and no lock is left.
inline HRESULT ComDllCanUnloadNow() {
    return ComModuleLockCount() == 0 ? S_OK : S_FALSE;
}

// GUID to and from its registry text "{XXXXXXXX-XXXX-...}".
void GuidToString(REFGUID guid, char* buffer, int size);
