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

// Stub kinds (GetKind), the same numbers as the canvas kinds.
enum { STUB_PAGE = 1, STUB_BACKGROUND = 2, STUB_FOREGROUND = 3 };

class CanvasStub : public IUnknown {
public:
    CanvasStub();
    virtual ~CanvasStub();
    CanvasStub(const CanvasStub&) = delete;
    CanvasStub& operator=(const CanvasStub&) = delete;

    // IUnknown only; the count never deletes (the lists own the stubs).
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
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
    // Position in its list, given by the numbering operations.
    int GetNumber() const { return m_number; }
    void SetNumber(int n) { m_number = n; }

protected:
    IUnknown* m_pSite;  // not owned
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
