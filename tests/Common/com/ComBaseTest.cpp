#include <gtest/gtest.h>

#include "bComBase.h"

namespace {

struct IAlpha : public IUnknown {
    STDMETHOD_(int, Alpha)() = 0;
};
struct IBeta : public IUnknown {
    STDMETHOD_(int, Beta)() = 0;
};
struct INever : public IUnknown {};

}  // namespace

DECLARE_IID(IAlpha, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x01);
DECLARE_IID(IBeta, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02);
DECLARE_IID(INever, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x03);

namespace {

int g_live = 0;

class CTwoFaces : public CComObjectRootBase, public IAlpha, public IBeta {
public:
    CTwoFaces() { ++g_live; }
    ~CTwoFaces() { --g_live; }
    BEGIN_COM_MAP(CTwoFaces)
    COM_INTERFACE_ENTRY(IAlpha)
    COM_INTERFACE_ENTRY(IBeta)
    END_COM_MAP()
    STDMETHOD_(int, Alpha)() override { return 1; }
    STDMETHOD_(int, Beta)() override { return 2; }
};

const CLSID CLSID_TwoFaces = {0x9abcdef0, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

const ComClassEntry kClassTable[] = {
    {&CLSID_TwoFaces, ComCreateInstance<CTwoFaces>, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

TEST(ComBase, QueryInterfaceFollowsTheTable) {
    CComPtr<IAlpha> alpha;
    ASSERT_EQ(S_OK,
              ComCreateInstance<CTwoFaces>(__uuidof(IAlpha), reinterpret_cast<void**>(&alpha)));
    EXPECT_EQ(1, alpha->Alpha());

    CComPtr<IBeta> beta;
    ASSERT_EQ(S_OK, alpha.QueryInterface(&beta));
    EXPECT_EQ(2, beta->Beta());
    // Both faces share one identity: IUnknown is the first row's pointer.
    CComPtr<IUnknown> u1, u2;
    ASSERT_EQ(S_OK, alpha.QueryInterface(&u1));
    ASSERT_EQ(S_OK, beta.QueryInterface(&u2));
    EXPECT_EQ(u1.get(), u2.get());
    EXPECT_EQ(static_cast<void*>(alpha.get()), static_cast<void*>(u1.get()));

    INever* never = reinterpret_cast<INever*>(0x1);
    EXPECT_EQ(E_NOINTERFACE,
              alpha->QueryInterface(__uuidof(INever), reinterpret_cast<void**>(&never)));
    EXPECT_EQ(nullptr, never);
    EXPECT_EQ(E_POINTER, alpha->QueryInterface(__uuidof(IBeta), nullptr));
}

TEST(ComBase, LastReleaseDeletes) {
    g_live = 0;
    {
        CComPtr<IAlpha> a;
        ASSERT_EQ(S_OK,
                  ComCreateInstance<CTwoFaces>(__uuidof(IAlpha), reinterpret_cast<void**>(&a)));
        CComPtr<IBeta> b;
        a.QueryInterface(&b);
        a.Release();
        EXPECT_EQ(1, g_live);
    }
    EXPECT_EQ(0, g_live);
    // A failed query on creation frees the new object too.
    void* p = nullptr;
    EXPECT_EQ(E_NOINTERFACE, ComCreateInstance<CTwoFaces>(__uuidof(INever), &p));
    EXPECT_EQ(0, g_live);
}

TEST(ComBase, ClassFactoryCreatesFromTable) {
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, ComDllGetClassObject(kClassTable, CLSID_TwoFaces, IID_IClassFactory,
                                         reinterpret_cast<void**>(&factory)));
    CComPtr<IBeta> beta;
    ASSERT_EQ(S_OK,
              factory->CreateInstance(nullptr, __uuidof(IBeta), reinterpret_cast<void**>(&beta)));
    EXPECT_EQ(2, beta->Beta());
    IUnknown* outer = reinterpret_cast<IUnknown*>(beta.get());
    void* p = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer, IID_IUnknown, &p));

    void* none = nullptr;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE,
              ComDllGetClassObject(kClassTable, __uuidof(IAlpha), IID_IClassFactory, &none));
}

TEST(ComBase, GuidText) {
    char text[64];
    GuidToString(CLSID_TwoFaces, text, sizeof(text));
    EXPECT_STREQ("{9ABCDEF0-1234-5678-0102-030405060708}", text);
}

namespace {

// Fails its construction, so creation must give the object back.
class CFailsToConstruct : public CComObjectRootBase, public IAlpha {
public:
    BEGIN_COM_MAP(CFailsToConstruct)
    COM_INTERFACE_ENTRY(IAlpha)
    END_COM_MAP()
    HRESULT FinalConstruct() { return E_OUTOFMEMORY; }
    STDMETHOD_(int, Alpha)() override { return 3; }
};

}  // namespace

TEST(ComBase, LiveObjectsAndServerLocksKeepTheServerLoaded) {
    const LONG base = ComModuleLockCount();
    {
        CComPtr<IClassFactory> factory;
        ASSERT_EQ(S_OK, ComDllGetClassObject(kClassTable, CLSID_TwoFaces, IID_IClassFactory,
                                             reinterpret_cast<void**>(&factory)));
        CComPtr<IAlpha> a;
        CComPtr<IBeta> b;
        ASSERT_EQ(S_OK,
                  ComCreateInstance<CTwoFaces>(__uuidof(IAlpha), reinterpret_cast<void**>(&a)));
        ASSERT_EQ(S_OK,
                  ComCreateInstance<CTwoFaces>(__uuidof(IBeta), reinterpret_cast<void**>(&b)));
        EXPECT_EQ(base + 2, ComModuleLockCount());
        EXPECT_EQ(S_FALSE, ComDllCanUnloadNow());

        factory->LockServer(TRUE);
        a.Release();
        b.Release();
        EXPECT_EQ(base + 1, ComModuleLockCount());
        EXPECT_EQ(S_FALSE, ComDllCanUnloadNow());
        factory->LockServer(FALSE);
    }
    EXPECT_EQ(base, ComModuleLockCount());
    if (base == 0) {
        EXPECT_EQ(S_OK, ComDllCanUnloadNow());
    }

    // Neither a failed construction nor a refused interface leaves a lock.
    void* p = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, ComCreateInstance<CFailsToConstruct>(__uuidof(IAlpha), &p));
    EXPECT_EQ(E_NOINTERFACE, ComCreateInstance<CTwoFaces>(__uuidof(INever), &p));
    EXPECT_EQ(base, ComModuleLockCount());
}

TEST(ComBase, AddressOfAHeldPointerIsRefused) {
    g_live = 0;
    CComPtr<IAlpha> a;
    ASSERT_EQ(S_OK, ComCreateInstance<CTwoFaces>(__uuidof(IAlpha), reinterpret_cast<void**>(&a)));
    IAlpha* held = a.get();
    // Filling it again would lose the reference it holds.
    EXPECT_THROW(ComCreateInstance<CTwoFaces>(__uuidof(IAlpha), reinterpret_cast<void**>(&a)),
                 std::logic_error);
    EXPECT_EQ(held, a.get());
    EXPECT_EQ(1, g_live);
    a.Release();
    EXPECT_EQ(0, g_live);
    EXPECT_EQ(S_OK, ComCreateInstance<CTwoFaces>(__uuidof(IAlpha), reinterpret_cast<void**>(&a)));
    EXPECT_EQ(1, a->Alpha());
}
