// The package: the root storage of a work's runtime file, its pre-load (the
// project header, the page index, the canvas lists and the media index in a
// fixed order) and the loading of one canvas's data on demand.
#pragma once

#include <windows.h>

#include "aPrjDoc.h"
#include "aStorage.h"

// The part of a canvas that the package loads.
class ICanvasData {
public:
    virtual int GetCanvasKind() = 0;        // 1 page, 2 background, 3 foreground
    virtual const char* GetStubName() = 0;  // at most 15 bytes
    virtual BOOL LoadFromStorage(ITeskStorage* storage) = 0;

protected:
    ~ICanvasData() {}
};

// {C0BC2629-1049-11D4-9EEB-00104B04B807}
struct IPackage : public IUnknown {
    STDMETHOD(Close)() = 0;                                   // 3
    STDMETHOD(Create)(const char* name, int kind) = 0;        // 4
    STDMETHOD_(ITeskStorage*, GetStorage)() = 0;              // 5
    STDMETHOD_(void, SetStorage)(ITeskStorage* storage) = 0;  // 6 takes no reference
    STDMETHOD(Open)(const char* path, int kind) = 0;          // 7
    STDMETHOD(PreLoad)(IProjectDocument* document) = 0;       // 8
    STDMETHOD(LoadCanvasData)(ICanvasData* canvas) = 0;       // 9
    STDMETHOD(Reserved10)() = 0;                              // 10 answers 0
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;             // 11
};
DECLARE_IID(IPackage, 0xC0BC2629, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

class CPackage : public CComObjectRootBase, public IPackage {
public:
    BEGIN_COM_MAP(CPackage)
    COM_INTERFACE_ENTRY(IPackage)
    END_COM_MAP()

    CPackage();
    virtual ~CPackage();

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return _InternalQueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(Close)() override;
    STDMETHOD(Create)(const char* name, int kind) override;
    STDMETHOD_(ITeskStorage*, GetStorage)() override { return m_pRoot; }
    STDMETHOD_(void, SetStorage)(ITeskStorage* storage) override { m_pRoot = storage; }
    STDMETHOD(Open)(const char* path, int kind) override;
    STDMETHOD(PreLoad)(IProjectDocument* document) override;
    STDMETHOD(LoadCanvasData)(ICanvasData* canvas) override;
    STDMETHOD(Reserved10)() override { return 0; }
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // The play site, kept for the package's creator (not owned).
    void SetSite(IUnknown* site) { m_pSite = site; }
    IUnknown* GetSite() const { return m_pSite; }

    // A new package with one reference.
    static HRESULT CreateInstance(CPackage** out);

private:
    HRESULT ReadIndexes(CProject* project);

    IUnknown* m_pSite;              // not owned
    ITeskStorage* m_pRoot;          // owned
    IProjectDocument* m_pDocument;  // not owned
};
