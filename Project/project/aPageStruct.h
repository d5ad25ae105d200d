// The page structure of a work (a tree of pages under an invisible root,
// with the page stubs in stored order) and the canvas lists (background and
// foreground stubs). Both are read at pre-load from the package's index
// streams; stored links that contradict each other are repaired with a log
// line while reading.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "aCnvStub.h"
#include "aPrjUtil.h"
#include "aStorage.h"

// Header of the page index and of both canvas-list indexes.
#pragma pack(push, 1)
struct INDEX_HEADER {
    DWORD size;    // 32
    DWORD length;  // whole stream, header included
    DWORD zero8;
    DWORD count;     // entries
    DWORD nextFree;  // next free number for new names
    DWORD mode;      // body compression mode
    BYTE zero24[8];
};
#pragma pack(pop)
static_assert(sizeof(INDEX_HEADER) == 32, "index header is 32 bytes");

// Bytes of one stored page record and of one canvas-list entry.
enum { PAGE_RECORD_SIZE = 416, LIST_RECORD_SIZE = 32 };

// One node of the page tree. The root node has no page.
class CPageNode {
public:
    explicit CPageNode(CPageStub* page)
        : m_pNext(nullptr),
          m_pPrev(nullptr),
          m_pChild(nullptr),
          m_pParent(nullptr),
          m_pPage(page) {}

    CPageNode* m_pNext;   // next sibling
    CPageNode* m_pPrev;   // previous sibling
    CPageNode* m_pChild;  // first child
    CPageNode* m_pParent;
    CPageStub* m_pPage;

    CPageNode* LastChild() const;
};

class CCanvasLists;
typedef std::vector<CPageStub*> CPageList;

// Lookup of stubs by name (ignoring case, double-byte aware) in a list:
// the first stub of a name wins, as a walk in list order would find it.
// Built on first use; the owner invalidates it when the list changes.
class CStubNameIndex {
public:
    CStubNameIndex() : m_built(false) {}
    void Invalidate() {
        m_built = false;
        m_map.clear();
    }
    // Index of the first stub of the name, or -1.
    template <class T>
    int Find(const std::vector<T*>& list, const char* name) {
        for (int pass = 0; pass < 2; ++pass) {
            if (!m_built || m_size > list.size())
                Build(list, 0);
            else if (m_size < list.size())
                Build(list, m_size);  // stubs appended since
            auto it = m_map.find(Fold(name));
            if (it == m_map.end())
                return -1;
            // A stub renamed since the index was built: build it again.
            if (it->second < list.size() && MbIEqual(list[it->second]->GetName(), name))
                return (int)it->second;
            m_built = false;
        }
        return -1;
    }

private:
    static std::string Fold(const char* name);
    template <class T>
    void Build(const std::vector<T*>& list, size_t from) {
        if (from == 0)
            m_map.clear();
        for (size_t i = from; i < list.size(); ++i) m_map.emplace(Fold(list[i]->GetName()), i);
        m_size = list.size();
        m_built = true;
    }
    std::unordered_map<std::string, size_t> m_map;
    size_t m_size = 0;
    bool m_built;
};

// {C0BC2622-1049-11D4-9EEB-00104B04B807}
struct IStructMan : public IUnknown {
    STDMETHOD(InsertPage)
    (CPageStub* page, CPageStub* parent, CPageStub* after, BOOL asLast) = 0;  // 3
    STDMETHOD(Reserved4)() = 0;                                               // 4 answers 0
    STDMETHOD(RemovePage)(CPageStub* page, BOOL withChildren) = 0;            // 5
    STDMETHOD_(void, Reserved6)() = 0;                                        // 6 does nothing
    STDMETHOD(Link)(CCanvasLists* lists) = 0;                                 // 7
    STDMETHOD_(void, SetModifiedAll)(BOOL flag) = 0;                          // 8
    STDMETHOD_(void, NumberPages)() = 0;                                      // 9
    STDMETHOD_(CPageList*, GetPageList)() = 0;                                // 10
    STDMETHOD_(CPageNode*, GetTree)() = 0;                                    // 11
    STDMETHOD_(CPageStub*, GetStartPage)() = 0;                               // 12
    STDMETHOD_(CPageStub*, GetFirstPage)() = 0;                               // 13
    STDMETHOD_(CPageStub*, GetNextPage)(CPageStub* page) = 0;                 // 14
    STDMETHOD_(CPageStub*, GetPreviousPage)(CPageStub* page) = 0;             // 15
    STDMETHOD_(CPageStub*, FindPage)(const char* name) = 0;                   // 16
    STDMETHOD_(int, IndexOfPage)(const char* name) = 0;                       // 17
    STDMETHOD_(int, GetCount)() = 0;                                          // 18
    STDMETHOD(SaveTo)(ITeskStorage* storage) = 0;                             // 19
    STDMETHOD(LoadFrom)(ITeskStorage* storage) = 0;                           // 20
    STDMETHOD(Write)(ITeskStream* stream) = 0;                                // 21
    STDMETHOD(Read)(ITeskStream* stream) = 0;                                 // 22
    STDMETHOD(MoveAfter)(CPageStub* page, CPageStub* other) = 0;              // 23
    STDMETHOD(MoveBefore)(CPageStub* page, CPageStub* other) = 0;             // 24
    // Moves node into the children of `list` after `after`, or to their head.
    STDMETHOD(MoveToList)(CPageNode* list, CPageNode* after, CPageNode* node) = 0;  // 25
    STDMETHOD_(void*, Reserved26)() = 0;           // 26 answers none
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;  // 27
};
DECLARE_IID(IStructMan, 0xC0BC2622, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

class StructMan : public CComObjectRootBase, public IStructMan {
public:
    BEGIN_COM_MAP(StructMan)
    COM_INTERFACE_ENTRY(IStructMan)
    END_COM_MAP()

    StructMan();
    virtual ~StructMan();
    StructMan(const StructMan&) = delete;
    StructMan& operator=(const StructMan&) = delete;

    // The count only counts; the project deletes the structure.
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return _InternalQueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override { return InternalRelease(); }

    STDMETHOD(InsertPage)
    (CPageStub* page, CPageStub* parent, CPageStub* after, BOOL asLast) override;
    STDMETHOD(Reserved4)() override { return 0; }
    STDMETHOD(RemovePage)(CPageStub* page, BOOL withChildren) override;
    STDMETHOD_(void, Reserved6)() override {}
    STDMETHOD(Link)(CCanvasLists* lists) override;
    STDMETHOD_(void, SetModifiedAll)(BOOL flag) override;
    STDMETHOD_(void, NumberPages)() override;
    STDMETHOD_(CPageList*, GetPageList)() override { return &m_pages; }
    STDMETHOD_(CPageNode*, GetTree)() override { return &m_root; }
    STDMETHOD_(CPageStub*, GetStartPage)() override;
    STDMETHOD_(CPageStub*, GetFirstPage)() override;
    STDMETHOD_(CPageStub*, GetNextPage)(CPageStub* page) override;
    STDMETHOD_(CPageStub*, GetPreviousPage)(CPageStub* page) override;
    STDMETHOD_(CPageStub*, FindPage)(const char* name) override;
    STDMETHOD_(int, IndexOfPage)(const char* name) override;
    STDMETHOD_(int, GetCount)() override { return (int)m_pages.size(); }
    STDMETHOD(SaveTo)(ITeskStorage* storage) override;
    STDMETHOD(LoadFrom)(ITeskStorage* storage) override;
    STDMETHOD(Write)(ITeskStream* stream) override;
    STDMETHOD(Read)(ITeskStream* stream) override;
    STDMETHOD(MoveAfter)(CPageStub* page, CPageStub* other) override;
    STDMETHOD(MoveBefore)(CPageStub* page, CPageStub* other) override;
    STDMETHOD(MoveToList)(CPageNode* list, CPageNode* after, CPageNode* node) override;
    STDMETHOD_(void*, Reserved26)() override { return nullptr; }
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    void SetSite(IUnknown* site) { m_pSite = site; }
    DWORD GetNextFree() const { return m_nextFree; }
    // Drops every page and node.
    void Clear();

private:
    CPageNode* FindNode(CPageNode* from, CPageStub* page);
    static void Unlink(CPageNode* node);
    // Links node after `after` among the children of parent (head when null).
    static void LinkAfter(CPageNode* parent, CPageNode* after, CPageNode* node);
    void CollectPages(CPageNode* node, std::vector<CPageStub*>* out);
    void RemoveFromList(CPageStub* page);
    // Whether `target` lies on the chain of incoming links above `from`.
    bool ReachesUpward(CPageNode* from, CPageNode* target) const;
    // Moves a page after or before a sibling, by default its next or
    // previous one.
    HRESULT MoveBeside(CPageStub* page, CPageStub* other, bool after);

    IUnknown* m_pSite;
    CPageList m_pages;  // owned, stored order
    CPageNode m_root;
    std::vector<CPageNode*> m_nodes;  // owned
    DWORD m_nextFree;
    CPageStub* m_pStartPage;  // none unless set
    CStubNameIndex m_byName;
    // While reading: background and foreground names per page.
    std::vector<char> m_bkgNames;
    std::vector<char> m_frmNames;
};

// {C0BC2625-1049-11D4-9EEB-00104B04B807}
struct ICanvasLists : public IUnknown {
    STDMETHOD_(void, AddForeground)(CForegroundStub* stub) = 0;
    STDMETHOD_(void, AddBackground)(CBackgroundStub* stub) = 0;
    STDMETHOD_(CBackgroundStub*, GetDefaultBackground)() = 0;
    STDMETHOD_(CanvasStub*, FindByName)(const char* name, BOOL isBackground) = 0;
    STDMETHOD_(void, NumberBackgrounds)() = 0;
    STDMETHOD_(void, NumberForegrounds)() = 0;
    STDMETHOD_(void, SetModifiedAll)(BOOL flag) = 0;
    STDMETHOD(LoadFrom)(ITeskStorage* backgrounds, ITeskStorage* foregrounds) = 0;
    STDMETHOD(SaveTo)(ITeskStorage* backgrounds, ITeskStorage* foregrounds) = 0;
    STDMETHOD(WriteList)(ITeskStream* stream, BOOL isBackground) = 0;
    STDMETHOD(ReadList)(ITeskStream* stream, BOOL isBackground) = 0;
};
DECLARE_IID(ICanvasLists, 0xC0BC2625, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

class CCanvasLists : public CComObjectRootBase, public ICanvasLists {
public:
    BEGIN_COM_MAP(CCanvasLists)
    COM_INTERFACE_ENTRY(ICanvasLists)
    END_COM_MAP()

    CCanvasLists();
    virtual ~CCanvasLists();
    CCanvasLists(const CCanvasLists&) = delete;
    CCanvasLists& operator=(const CCanvasLists&) = delete;

    // The count only counts; the project deletes the lists.
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return _InternalQueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override { return InternalRelease(); }

    STDMETHOD_(void, AddForeground)(CForegroundStub* stub) override;
    STDMETHOD_(void, AddBackground)(CBackgroundStub* stub) override;
    STDMETHOD_(CBackgroundStub*, GetDefaultBackground)() override;
    STDMETHOD_(CanvasStub*, FindByName)(const char* name, BOOL isBackground) override;
    STDMETHOD_(void, NumberBackgrounds)() override;
    STDMETHOD_(void, NumberForegrounds)() override;
    STDMETHOD_(void, SetModifiedAll)(BOOL flag) override;
    STDMETHOD(LoadFrom)(ITeskStorage* backgrounds, ITeskStorage* foregrounds) override;
    STDMETHOD(SaveTo)(ITeskStorage* backgrounds, ITeskStorage* foregrounds) override;
    STDMETHOD(WriteList)(ITeskStream* stream, BOOL isBackground) override;
    STDMETHOD(ReadList)(ITeskStream* stream, BOOL isBackground) override;

    void SetSite(IUnknown* site) { m_pSite = site; }
    int GetBackgroundCount() const { return (int)m_backgrounds.size(); }
    int GetForegroundCount() const { return (int)m_foregrounds.size(); }
    CBackgroundStub* GetBackgroundAt(int i) const;
    CForegroundStub* GetForegroundAt(int i) const;
    DWORD GetNextFree(BOOL isBackground) const {
        return isBackground ? m_nextFreeBackground : m_nextFreeForeground;
    }
    void Clear();

private:
    IUnknown* m_pSite;
    std::vector<CBackgroundStub*> m_backgrounds;  // owned
    std::vector<CForegroundStub*> m_foregrounds;  // owned
    DWORD m_nextFreeBackground;
    DWORD m_nextFreeForeground;
    CStubNameIndex m_backgroundNames;
    CStubNameIndex m_foregroundNames;
};

// Writes an index header, the records through a memory stream in mode 2,
// then the header again with the stream's length.
HRESULT WriteIndexStream(ITeskStream* stream, DWORD count, DWORD nextFree, ITeskStream* records);
