// Canvas stubs: one per page, background and foreground of a work, known
// from pre-load on. A stub carries its canvas's name and title, a count of
// the canvas's users and the links between pages and the backgrounds and
// foregrounds they use. The lists of the page structure own the stubs.
#pragma once

#include <windows.h>

#include <unordered_set>
#include <vector>

#include "bComBase.h"

class CPageNode;
class CPageStub;
class CanvasStub;
class CBackgroundStub;
class CForegroundStub;
class ICanvasData;

// A loaded canvas as its stub owns it; made above the project layer.
class IStubCanvas {
public:
    virtual ICanvasData* GetCanvasData() = 0;
    // Page canvases: the stubs of their background and foreground.
    virtual void SetLayerStubs(CBackgroundStub* background, CForegroundStub* foreground) = 0;
    virtual void DeleteCanvas() = 0;

protected:
    ~IStubCanvas() {}
};

// The document as the stubs see it: makes the canvas of a stub and loads its
// data from the package. One per process.
class ICanvasHost {
public:
    virtual IStubCanvas* MakeCanvas(CanvasStub* stub) = 0;
    virtual HRESULT LoadCanvasData(ICanvasData* canvas) = 0;

protected:
    ~ICanvasHost() {}
};

// Stub kinds (GetKind), the same numbers as the canvas kinds.
enum { STUB_PAGE = 1, STUB_BACKGROUND = 2, STUB_FOREGROUND = 3 };

class CanvasStub : public IUnknown {
public:
    CanvasStub();
    virtual ~CanvasStub();
    CanvasStub(const CanvasStub&) = delete;
    CanvasStub& operator=(const CanvasStub&) = delete;

    // IUnknown only; the count never deletes (the lists own the stubs).
    BEGIN_COM_MAP(CanvasStub)
    COM_INTERFACE_ENTRY_IID(IID_IUnknown, IUnknown)
    END_COM_MAP()
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return _InternalQueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return (ULONG)++m_refCount; }
    STDMETHOD_(ULONG, Release)() override { return (ULONG)--m_refCount; }

    // Cut to 15 bytes.
    virtual void SetName(const char* name);
    const char* GetName() const { return m_name; }
    // Pages only; the others have no title.
    virtual const char* GetTitle() const { return nullptr; }
    virtual void SetTitle(const char*) {}
    virtual int GetKind() const = 0;

    void SetSite(IUnknown* site) { m_pSite = site; }
    IUnknown* GetSite() const { return m_pSite; }
    // Setting the temporary byte sets the modified byte; clearing the
    // modified byte clears the temporary byte.
    void SetModified(BOOL on);
    BOOL IsModified() const { return m_modified; }
    void SetTemporary(BOOL on);
    BOOL IsTemporary() const { return m_temporary; }
    int GetRefCount() const { return m_refCount; }

    // Makes and loads the canvas; see the kinds.
    virtual HRESULT LoadCanvas();
    void UnloadCanvas();
    // AddRef and load on demand; null when a page or foreground failed.
    virtual IStubCanvas* GetCanvas();
    // Release; at 0 the canvas is unloaded.
    void ReleaseCanvas();
    IStubCanvas* GetLoadedCanvas() const { return m_pCanvas; }
    static void SetCanvasHost(ICanvasHost* host);
    static ICanvasHost* GetCanvasHost();

    // Position in its list, given by the numbering operations.
    int GetNumber() const { return m_number; }
    void SetNumber(int n) { m_number = n; }

protected:
    // Has the host make the canvas when there is none yet.
    HRESULT EnsureCanvas();
    // The common part of loading, once the canvas exists.
    HRESULT LoadCommon();

    IUnknown* m_pSite;       // not owned
    IStubCanvas* m_pCanvas;  // owned while loaded
    char m_name[16];
    BYTE m_temporary;
    BYTE m_modified;
    int m_refCount;
    int m_number;
};

// Background and foreground stubs: the pages that use them.
class CUsedStub : public CanvasStub {
public:
    // Pages still using this stub forget it.
    ~CUsedStub() override;
    // Appends the page (nothing for none).
    void AddUser(CPageStub* page);
    // Removes every entry of the page; the count drops by one.
    void RemoveUser(CPageStub* page);
    // RemoveUser for each of many pages, in one pass over the list; the
    // pages forget this stub.
    void RemoveUsers(const std::unordered_set<CPageStub*>& pages);
    const std::vector<CPageStub*>& GetUsers() const { return m_users; }
    int GetUserCount() const { return m_userCount; }

protected:
    CUsedStub() : m_userCount(0) {}
    std::vector<CPageStub*> m_users;
    int m_userCount;
};

class CBackgroundStub : public CUsedStub {
public:
    int GetKind() const override { return STUB_BACKGROUND; }
    // The load's result is ignored: the canvas shows what was read.
    IStubCanvas* GetCanvas() override;
};

class CForegroundStub : public CUsedStub {
public:
    int GetKind() const override { return STUB_FOREGROUND; }
};

class CPageStub : public CanvasStub {
public:
    CPageStub();
    ~CPageStub() override;

    const char* GetTitle() const override { return m_title; }
    // Cut to 127 bytes.
    void SetTitle(const char* title) override;
    int GetKind() const override { return STUB_PAGE; }
    // A page that cannot load opens empty and temporary.
    HRESULT LoadCanvas() override;

    // The page leaves the old stub's users and enters the new one's.
    void SetBackground(CBackgroundStub* stub);
    void SetForeground(CForegroundStub* stub);  // none allowed
    CBackgroundStub* GetBackground() const { return m_pBackground; }
    CForegroundStub* GetForeground() const { return m_pForeground; }

    // The page's node in the page tree (its entry listener).
    void SetNode(CPageNode* node) { m_pNode = node; }
    CPageNode* GetNode() const { return m_pNode; }
    // Forgets a background or foreground stub that goes away first.
    void DetachStub(const CanvasStub* stub);

private:
    char m_title[128];
    CBackgroundStub* m_pBackground;
    CForegroundStub* m_pForeground;
    CPageNode* m_pNode;
    BYTE m_flag;  // 1 at construction
};
