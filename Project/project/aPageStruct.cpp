#include "aPageStruct.h"

#include <string.h>

#include <set>
#include <string>
#include <unordered_set>

#include "aExtFile.h"
#include "aMemStm.h"
#include "aPrjUtil.h"
#include "bTraceLog.h"

static const int kNameBytes = 16;  // a 16-unit name kept as 15 bytes and a NUL

std::string CStubNameIndex::Fold(const char* name) {
    return MbFoldCase(name);
}

CPageNode* CPageNode::LastChild() const {
    CPageNode* c = m_pChild;
    while (c && c->m_pNext) c = c->m_pNext;
    return c;
}

// ---------------------------------------------------------------------------
// Index streams

HRESULT WriteIndexStream(ITeskStream* stream, DWORD count, DWORD nextFree, ITeskStream* records) {
    if (!stream || !records)
        return E_INVALIDARG;
    CMemStream* mem = AsMemStream(records);
    if (!mem)
        return E_INVALIDARG;
    INDEX_HEADER header;
    ZeroMemory(&header, sizeof(header));
    header.size = sizeof(header);
    header.count = count;
    header.nextFree = nextFree;
    header.mode = 2;
    ULONGLONG start = stream->GetPosition();
    if (stream->Write(&header, sizeof(header)) != sizeof(header))
        return TESK_E_HEADERWRITE;
    records->Seek(0, TESK_SEEK_SET);
    HRESULT hr = mem->SaveCompressed(stream, 2);
    if (FAILED(hr))
        return hr;
    header.length = (DWORD)(stream->GetSize() - start);
    stream->Seek((LONGLONG)start, TESK_SEEK_SET);
    if (stream->Write(&header, sizeof(header)) != sizeof(header))
        return TESK_E_HEADERWRITE;
    return S_OK;
}

// Reads the header and caches the body; refuses a count whose records
// cannot fit in the body.
static HRESULT ReadIndex(ITeskStream* stream, INDEX_HEADER* header, ULONGLONG recordSize,
                         const char* what, ITeskStream** body) {
    *body = nullptr;
    if (!ReadExact(stream, header, sizeof(*header))) {
        LOG_MSG("%s: index header is short", what);
        return TESK_E_STREAMHEADER;
    }
    const ULONGLONG need = (ULONGLONG)header->count * recordSize;
    CComPtr<ITeskStream> cache;
    HRESULT hr;
    if (header->mode == BODY_ZLIB) {
        hr = CacheRestOfStream(stream, (int)header->mode, &cache);
    } else {
        // Plain records: check the count against the stream before reading,
        // and read only the records it counts.
        ULONGLONG left = StreamRemaining(stream);
        if (need > left) {
            LOG_MSG("%s: %u entries do not fit in %llu bytes -- refused", what,
                    (unsigned)header->count, (unsigned long long)left);
            return TESK_E_STREAMHEADER;
        }
        hr = CacheStreamBody(stream, need, (int)header->mode, &cache);
    }
    if (FAILED(hr))
        return hr;
    ULONGLONG size = cache->GetSize();
    if (need > size) {
        LOG_MSG("%s: %u entries do not fit in %llu bytes -- refused", what, (unsigned)header->count,
                (unsigned long long)size);
        return TESK_E_STREAMHEADER;
    }
    *body = cache.Detach();
    return S_OK;
}

// ---------------------------------------------------------------------------
// StructMan

StructMan::StructMan() : m_pSite(nullptr), m_root(nullptr), m_nextFree(1), m_pStartPage(nullptr) {}

StructMan::~StructMan() {
    Clear();
}

void StructMan::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
}

void StructMan::Clear() {
    // The pages leave the user lists of their backgrounds and foregrounds
    // in one pass per list, not one search of the list per page.
    std::unordered_set<CPageStub*> pages(m_pages.begin(), m_pages.end());
    std::unordered_set<CUsedStub*> used;
    for (CPageStub* page : m_pages) {
        if (page->GetBackground())
            used.insert(page->GetBackground());
        if (page->GetForeground())
            used.insert(page->GetForeground());
    }
    for (CUsedStub* stub : used) stub->RemoveUsers(pages);
    for (CPageStub* page : m_pages) delete page;
    m_pages.clear();
    m_byName.Invalidate();
    for (CPageNode* node : m_nodes) delete node;
    m_nodes.clear();
    m_root = CPageNode(nullptr);
    m_pStartPage = nullptr;
    m_bkgNames.clear();
    m_frmNames.clear();
}

CPageStub* StructMan::FindPage(const char* name) {
    int i = IndexOfPage(name);
    return i < 0 ? nullptr : m_pages[(size_t)i];
}

int StructMan::IndexOfPage(const char* name) {
    if (!name)
        return -1;
    return m_byName.Find(m_pages, name);
}

void StructMan::SetModifiedAll(BOOL flag) {
    for (CPageStub* page : m_pages) page->SetModified(flag);
}

void StructMan::NumberPages() {
    for (size_t i = 0; i < m_pages.size(); ++i) m_pages[i]->SetNumber((int)i);
}

bool StructMan::ReachesUpward(CPageNode* from, CPageNode* target) const {
    // Every node has at most one incoming link, so this is a path; the
    // bound only guards against a damaged tree.
    size_t steps = m_nodes.size() + 2;
    for (CPageNode* n = from; n && steps--; n = n->m_pPrev ? n->m_pPrev : n->m_pParent) {
        if (n == target)
            return true;
    }
    return false;
}

HRESULT StructMan::Read(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_INVALIDARG;
    Clear();
    INDEX_HEADER header;
    CComPtr<ITeskStream> body;
    HRESULT hr = ReadIndex(stream, &header, PAGE_RECORD_SIZE, "StructMan", &body);
    if (FAILED(hr))
        return hr;
    m_nextFree = header.nextFree;
    const size_t count = header.count;
    m_bkgNames.assign(count * kNameBytes, 0);
    m_frmNames.assign(count * kNameBytes, 0);
    std::vector<char> childNames(count * kNameBytes, 0);
    std::vector<char> nextNames(count * kNameBytes, 0);
    std::set<std::string, MbsILess> namedChildren, namedNext;

    try {
        for (size_t i = 0; i < count; ++i) {
            CPageStub* page = new CPageStub;
            page->SetSite(m_pSite);
            page->SetModified(FALSE);
            char text[128];
            ReadFixedWide(body, 16, text, kNameBytes);
            page->SetName(text);
            ReadFixedWide(body, 128, text, sizeof(text));
            page->SetTitle(text);
            CPageNode* node = new CPageNode(page);
            m_nodes.push_back(node);
            page->SetNode(node);
            m_pages.push_back(page);
            ReadFixedWide(body, 16, &m_bkgNames[i * kNameBytes], kNameBytes);
            ReadFixedWide(body, 16, &m_frmNames[i * kNameBytes], kNameBytes);

            char* child = &childNames[i * kNameBytes];
            ReadFixedWide(body, 16, child, kNameBytes);
            if (*child && !namedChildren.insert(child).second) {
                LOG_MSG("StructMan: read(%s): invalid child: %s -- corrected", page->GetName(),
                        child);
                *child = 0;
            }
            char* next = &nextNames[i * kNameBytes];
            ReadFixedWide(body, 16, next, kNameBytes);
            if (*next && !namedNext.insert(next).second) {
                LOG_MSG("StructMan: read(%s): invalid nextPage: %s -- corrected", page->GetName(),
                        next);
                *next = 0;
            }
        }
    } catch (const CTeskExcept&) {
        LOG_MSG("StructMan: page records end early");
        Clear();
        return TESK_E_STREAMHEADER;
    }

    // Links in list order. A link into a page that already has an incoming
    // link, or one that would close a loop, is refused like a repeated name.
    // Every page has at most one incoming link, so the pages form trees
    // along the links; `top` finds the page at the head of a page's tree (a
    // page without incoming link), and a link closes a loop exactly when
    // its target heads the tree of the page that links to it.
    std::vector<size_t> top(count);
    for (size_t i = 0; i < count; ++i) top[i] = i;
    auto headOf = [&top](size_t i) {
        size_t h = i;
        while (top[h] != h) h = top[h];
        while (top[i] != h) {
            size_t up = top[i];
            top[i] = h;
            i = up;
        }
        return h;
    };
    for (size_t i = 0; i < count; ++i) {
        CPageStub* page = m_pages[i];
        CPageNode* node = page->GetNode();
        const char* child = &childNames[i * kNameBytes];
        if (*child) {
            int target = IndexOfPage(child);
            if (target < 0) {
                LOG_MSG("Child of %s does not exist: %s ", page->GetName(), child);
            } else {
                CPageNode* c = m_pages[(size_t)target]->GetNode();
                if (c->m_pParent || c->m_pPrev || headOf(i) == (size_t)target) {
                    LOG_MSG("StructMan: read(%s): invalid child: %s -- corrected", page->GetName(),
                            child);
                } else {
                    node->m_pChild = c;
                    c->m_pParent = node;
                    top[(size_t)target] = headOf(i);
                }
            }
        }
        const char* next = &nextNames[i * kNameBytes];
        if (*next) {
            int target = IndexOfPage(next);
            if (target < 0) {
                LOG_MSG("nextPage of %s does not exist: %s ", page->GetName(), next);
            } else {
                CPageNode* n = m_pages[(size_t)target]->GetNode();
                if (n->m_pParent || n->m_pPrev || headOf(i) == (size_t)target) {
                    LOG_MSG("StructMan: read(%s): invalid nextPage: %s -- corrected",
                            page->GetName(), next);
                } else {
                    node->m_pNext = n;
                    n->m_pPrev = node;
                    top[(size_t)target] = headOf(i);
                }
            }
        }
    }

    // Parents: a sibling chain whose first page has no parent hangs under
    // the root; every later sibling takes the first one's parent. Each chain
    // is walked once: its later pages then have their parent.
    CPageNode* lastOfRoot = m_root.LastChild();
    for (size_t i = 0; i < count; ++i) {
        CPageNode* node = m_pages[i]->GetNode();
        if (node->m_pParent)
            continue;
        CPageNode* first = node;
        while (first->m_pPrev) first = first->m_pPrev;
        if (!first->m_pParent) {
            if (lastOfRoot) {
                lastOfRoot->m_pNext = first;
                first->m_pPrev = lastOfRoot;
            } else {
                m_root.m_pChild = first;
            }
            first->m_pParent = &m_root;
            lastOfRoot = first;
            while (lastOfRoot->m_pNext) lastOfRoot = lastOfRoot->m_pNext;
        }
        for (CPageNode* s = first->m_pNext; s; s = s->m_pNext) s->m_pParent = first->m_pParent;
    }
    return S_OK;
}

HRESULT StructMan::Link(CCanvasLists* lists) {
    if (!lists)
        return E_INVALIDARG;
    size_t named = m_bkgNames.size() / kNameBytes;
    for (size_t i = 0; i < m_pages.size(); ++i) {
        CPageStub* page = m_pages[i];
        const char* bkgName = i < named ? &m_bkgNames[i * kNameBytes] : "";
        const char* frmName = i < named ? &m_frmNames[i * kNameBytes] : "";
        CanvasStub* bkg = lists->FindByName(bkgName, TRUE);
        page->SetBackground(bkg ? static_cast<CBackgroundStub*>(bkg)
                                : lists->GetDefaultBackground());
        if (*frmName) {
            if (CanvasStub* frm = lists->FindByName(frmName, FALSE))
                page->SetForeground(static_cast<CForegroundStub*>(frm));
        }
    }
    std::vector<char>().swap(m_bkgNames);
    std::vector<char>().swap(m_frmNames);
    return S_OK;
}

CPageStub* StructMan::GetStartPage() {
    return m_pStartPage ? m_pStartPage : GetFirstPage();
}

CPageStub* StructMan::GetFirstPage() {
    return m_root.m_pChild ? m_root.m_pChild->m_pPage : nullptr;
}

CPageStub* StructMan::GetNextPage(CPageStub* page) {
    CPageNode* node = page ? page->GetNode() : nullptr;
    if (!node)
        return nullptr;
    if (node->m_pChild)
        return node->m_pChild->m_pPage;
    size_t steps = m_nodes.size() + 2;
    for (CPageNode* n = node; n && n != &m_root && steps--; n = n->m_pParent) {
        if (n->m_pNext)
            return n->m_pNext->m_pPage;
    }
    return nullptr;
}

CPageStub* StructMan::GetPreviousPage(CPageStub* page) {
    CPageNode* node = page ? page->GetNode() : nullptr;
    if (!node)
        return nullptr;
    if (CPageNode* prev = node->m_pPrev) {
        size_t steps = m_nodes.size() + 2;
        while (prev->m_pChild && steps--) prev = prev->LastChild();
        return prev->m_pPage;
    }
    if (node->m_pParent && node->m_pParent != &m_root)
        return node->m_pParent->m_pPage;
    return nullptr;
}

CPageNode* StructMan::FindNode(CPageNode* from, CPageStub* page) {
    // Depth first: the node itself, then its children in order.
    std::vector<CPageNode*> stack;
    stack.push_back(from);
    size_t steps = m_nodes.size() + 2;
    while (!stack.empty() && steps--) {
        CPageNode* n = stack.back();
        stack.pop_back();
        if (n->m_pPage == page && n != &m_root)
            return n;
        std::vector<CPageNode*> children;
        for (CPageNode* c = n->m_pChild; c; c = c->m_pNext) children.push_back(c);
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(*it);
    }
    return nullptr;
}

void StructMan::CollectPages(CPageNode* node, std::vector<CPageStub*>* out) {
    std::vector<CPageNode*> stack;
    stack.push_back(node);
    while (!stack.empty()) {
        CPageNode* n = stack.back();
        stack.pop_back();
        if (n->m_pPage)
            out->push_back(n->m_pPage);
        for (CPageNode* c = n->m_pChild; c; c = c->m_pNext) stack.push_back(c);
    }
}

void StructMan::Unlink(CPageNode* node) {
    if (node->m_pPrev)
        node->m_pPrev->m_pNext = node->m_pNext;
    else if (node->m_pParent && node->m_pParent->m_pChild == node)
        node->m_pParent->m_pChild = node->m_pNext;
    if (node->m_pNext)
        node->m_pNext->m_pPrev = node->m_pPrev;
    node->m_pNext = node->m_pPrev = node->m_pParent = nullptr;
}

void StructMan::LinkAfter(CPageNode* parent, CPageNode* after, CPageNode* node) {
    node->m_pParent = parent;
    if (after) {
        node->m_pPrev = after;
        node->m_pNext = after->m_pNext;
        if (after->m_pNext)
            after->m_pNext->m_pPrev = node;
        after->m_pNext = node;
    } else {
        node->m_pPrev = nullptr;
        node->m_pNext = parent->m_pChild;
        if (parent->m_pChild)
            parent->m_pChild->m_pPrev = node;
        parent->m_pChild = node;
    }
}

void StructMan::RemoveFromList(CPageStub* page) {
    for (auto it = m_pages.begin(); it != m_pages.end(); ++it) {
        if (*it == page) {
            m_pages.erase(it);
            m_byName.Invalidate();
            return;
        }
    }
}

HRESULT StructMan::InsertPage(CPageStub* page, CPageStub* parentPage, CPageStub* afterPage,
                              BOOL asLast) {
    if (!page)
        return E_INVALIDARG;
    CPageNode* node = page->GetNode();
    if (!node) {
        node = new CPageNode(page);
        m_nodes.push_back(node);
        page->SetNode(node);
    }
    CPageNode* parent = parentPage ? FindNode(&m_root, parentPage) : &m_root;
    if (!parent)
        return E_INVALIDARG;
    // A page cannot go below itself.
    if (parent == node || (node->m_pParent && ReachesUpward(parent, node)))
        return E_INVALIDARG;
    CPageNode* after = nullptr;
    if (afterPage) {
        after = FindNode(parent, afterPage);
        if (after && after->m_pParent != parent)
            after = nullptr;
    }
    if (after == node)
        return E_INVALIDARG;
    if (node->m_pParent)
        Unlink(node);
    // With asLast, and without a sibling to follow, the page goes last.
    (void)asLast;
    if (!after)
        after = parent->LastChild();
    LinkAfter(parent, after, node);
    std::vector<CPageStub*> pages;
    CollectPages(node, &pages);
    for (CPageStub* p : pages) {
        bool listed = false;
        for (CPageStub* q : m_pages) listed = listed || q == p;
        if (!listed)
            m_pages.push_back(p);
    }
    return S_OK;
}

HRESULT StructMan::RemovePage(CPageStub* page, BOOL withChildren) {
    CPageNode* node = page ? page->GetNode() : nullptr;
    if (!node || !node->m_pParent)
        return E_INVALIDARG;
    CPageNode* parent = node->m_pParent;
    CPageNode* before = node->m_pPrev;
    if (withChildren) {
        std::vector<CPageStub*> pages;
        CollectPages(node, &pages);
        Unlink(node);
        for (CPageStub* p : pages) RemoveFromList(p);
        return S_OK;
    }
    // The children take the page's place under its parent.
    std::vector<CPageNode*> children;
    for (CPageNode* c = node->m_pChild; c; c = c->m_pNext) children.push_back(c);
    node->m_pChild = nullptr;
    Unlink(node);
    for (CPageNode* c : children) {
        c->m_pNext = c->m_pPrev = nullptr;
        LinkAfter(parent, before, c);
        before = c;
    }
    RemoveFromList(page);
    return S_OK;
}

HRESULT StructMan::MoveBeside(CPageStub* page, CPageStub* other, bool after) {
    CPageNode* node = page ? page->GetNode() : nullptr;
    if (!node || !node->m_pParent)
        return E_INVALIDARG;
    CPageNode* target = other ? other->GetNode() : after ? node->m_pNext : node->m_pPrev;
    if (!target || target == node || target->m_pParent != node->m_pParent)
        return E_INVALIDARG;
    CPageNode* parent = node->m_pParent;
    Unlink(node);
    LinkAfter(parent, after ? target : target->m_pPrev, node);
    return S_OK;
}

HRESULT StructMan::MoveAfter(CPageStub* page, CPageStub* other) {
    return MoveBeside(page, other, true);
}

HRESULT StructMan::MoveBefore(CPageStub* page, CPageStub* other) {
    return MoveBeside(page, other, false);
}

HRESULT StructMan::MoveToList(CPageNode* list, CPageNode* after, CPageNode* node) {
    if (!list || !node)
        return E_INVALIDARG;
    if (node == after || node == list)
        return S_OK;
    if (after && after->m_pParent != list)
        return E_INVALIDARG;
    // Moving a node below its own subtree would cut it off the tree.
    if (ReachesUpward(list, node))
        return E_INVALIDARG;
    Unlink(node);
    LinkAfter(list, after, node);
    return S_OK;
}

HRESULT StructMan::Write(ITeskStream* stream) {
    if (!stream)
        return E_INVALIDARG;
    CComPtr<ITeskStream> records;
    HRESULT hr = CreateMemStream(&records, 32000);
    if (FAILED(hr))
        return hr;
    try {
        for (CPageStub* page : m_pages) {
            CPageNode* node = page->GetNode();
            WriteFixedWide(records, 16, page->GetName());
            WriteFixedWide(records, 128, page->GetTitle());
            WriteFixedWide(records, 16,
                           page->GetBackground() ? page->GetBackground()->GetName() : "");
            WriteFixedWide(records, 16,
                           page->GetForeground() ? page->GetForeground()->GetName() : "");
            WriteFixedWide(records, 16,
                           node && node->m_pChild ? node->m_pChild->m_pPage->GetName() : "");
            WriteFixedWide(records, 16,
                           node && node->m_pNext ? node->m_pNext->m_pPage->GetName() : "");
        }
        return WriteIndexStream(stream, (DWORD)m_pages.size(), m_nextFree, records);
    } catch (const CTeskExcept& e) {
        LOG_MSG("StructMan: write failed (%d)", e.GetCode());
        return E_FAIL;
    }
}

HRESULT StructMan::SaveTo(ITeskStorage* storage) {
    if (!storage)
        return E_INVALIDARG;
    CComPtr<ITeskStream> stream;
    HRESULT hr = storage->CreateStream("listInfo", 10, &stream);
    if (FAILED(hr))
        return hr;
    return Write(stream);
}

HRESULT StructMan::LoadFrom(ITeskStorage* storage) {
    if (!storage)
        return E_INVALIDARG;
    CComPtr<ITeskStream> stream;
    HRESULT hr = storage->OpenStream("listInfo", TESK_MODE_READ, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    return Read(stream);
}

// ---------------------------------------------------------------------------
// Canvas lists

CCanvasLists::CCanvasLists() : m_pSite(nullptr), m_nextFreeBackground(1), m_nextFreeForeground(1) {}

CCanvasLists::~CCanvasLists() {
    Clear();
}

void CCanvasLists::Clear() {
    for (CBackgroundStub* s : m_backgrounds) delete s;
    for (CForegroundStub* s : m_foregrounds) delete s;
    m_backgrounds.clear();
    m_foregrounds.clear();
    m_backgroundNames.Invalidate();
    m_foregroundNames.Invalidate();
}

void CCanvasLists::AddForeground(CForegroundStub* stub) {
    if (stub)
        m_foregrounds.push_back(stub);
}

void CCanvasLists::AddBackground(CBackgroundStub* stub) {
    if (stub)
        m_backgrounds.push_back(stub);
}

CBackgroundStub* CCanvasLists::GetBackgroundAt(int i) const {
    return (i >= 0 && i < (int)m_backgrounds.size()) ? m_backgrounds[(size_t)i] : nullptr;
}

CForegroundStub* CCanvasLists::GetForegroundAt(int i) const {
    return (i >= 0 && i < (int)m_foregrounds.size()) ? m_foregrounds[(size_t)i] : nullptr;
}

CBackgroundStub* CCanvasLists::GetDefaultBackground() {
    if (m_backgrounds.empty()) {
        if (ITraceLog* log = GetTraceLog())
            log->FormatOnly(0, 0, "error: create the only one empty background!");
        return nullptr;
    }
    return m_backgrounds.front();
}

CanvasStub* CCanvasLists::FindByName(const char* name, BOOL isBackground) {
    if (!name)
        return nullptr;
    if (isBackground) {
        int i = m_backgroundNames.Find(m_backgrounds, name);
        return i < 0 ? nullptr : m_backgrounds[(size_t)i];
    }
    int i = m_foregroundNames.Find(m_foregrounds, name);
    return i < 0 ? nullptr : m_foregrounds[(size_t)i];
}

void CCanvasLists::NumberBackgrounds() {
    for (size_t i = 0; i < m_backgrounds.size(); ++i) m_backgrounds[i]->SetNumber((int)i);
}

void CCanvasLists::NumberForegrounds() {
    for (size_t i = 0; i < m_foregrounds.size(); ++i) m_foregrounds[i]->SetNumber((int)i);
}

void CCanvasLists::SetModifiedAll(BOOL flag) {
    for (CBackgroundStub* s : m_backgrounds) s->SetModified(flag);
    for (CForegroundStub* s : m_foregrounds) s->SetModified(flag);
}

HRESULT CCanvasLists::ReadList(ITeskStream* stream, BOOL isBackground) {
    TRACE_POINT();
    if (!stream)
        return E_INVALIDARG;
    INDEX_HEADER header;
    CComPtr<ITeskStream> body;
    HRESULT hr = ReadIndex(stream, &header, LIST_RECORD_SIZE,
                           isBackground ? "background list" : "foreground list", &body);
    if (FAILED(hr))
        return hr;
    (isBackground ? m_nextFreeBackground : m_nextFreeForeground) = header.nextFree;
    try {
        for (DWORD i = 0; i < header.count; ++i) {
            CanvasStub* stub;
            if (isBackground) {
                CBackgroundStub* b = new CBackgroundStub;
                m_backgrounds.push_back(b);
                stub = b;
            } else {
                CForegroundStub* f = new CForegroundStub;
                m_foregrounds.push_back(f);
                stub = f;
            }
            stub->SetModified(FALSE);
            stub->SetSite(m_pSite);
            char name[kNameBytes];
            ReadFixedWide(body, 16, name, sizeof(name));
            stub->SetName(name);
        }
    } catch (const CTeskExcept&) {
        return TESK_E_STREAMHEADER;
    }
    return S_OK;
}

HRESULT CCanvasLists::WriteList(ITeskStream* stream, BOOL isBackground) {
    if (!stream)
        return E_INVALIDARG;
    CComPtr<ITeskStream> records;
    HRESULT hr = CreateMemStream(&records, 32000);
    if (FAILED(hr))
        return hr;
    try {
        DWORD count = 0;
        if (isBackground) {
            for (CBackgroundStub* s : m_backgrounds) WriteFixedWide(records, 16, s->GetName());
            count = (DWORD)m_backgrounds.size();
        } else {
            for (CForegroundStub* s : m_foregrounds) WriteFixedWide(records, 16, s->GetName());
            count = (DWORD)m_foregrounds.size();
        }
        return WriteIndexStream(
            stream, count, isBackground ? m_nextFreeBackground : m_nextFreeForeground, records);
    } catch (const CTeskExcept& e) {
        LOG_MSG("canvas list: write failed (%d)", e.GetCode());
        return E_FAIL;
    }
}

HRESULT CCanvasLists::LoadFrom(ITeskStorage* backgrounds, ITeskStorage* foregrounds) {
    if (!backgrounds || !foregrounds)
        return E_INVALIDARG;
    CComPtr<ITeskStream> stream;
    HRESULT hr = backgrounds->OpenStream("listInfo", TESK_MODE_READ, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    hr = ReadList(stream, TRUE);
    if (FAILED(hr))
        return hr;
    stream.Release();
    hr = foregrounds->OpenStream("listInfo", TESK_MODE_READ, &stream);
    if (FAILED(hr))
        return hr;
    stream->SetMode(0);
    return ReadList(stream, FALSE);
}

HRESULT CCanvasLists::SaveTo(ITeskStorage* backgrounds, ITeskStorage* foregrounds) {
    if (!backgrounds || !foregrounds)
        return E_INVALIDARG;
    CComPtr<ITeskStream> stream;
    HRESULT hr = backgrounds->CreateStream("listInfo", 10, &stream);
    if (FAILED(hr))
        return hr;
    hr = WriteList(stream, TRUE);
    if (FAILED(hr))
        return hr;
    stream.Release();
    hr = foregrounds->CreateStream("listInfo", 10, &stream);
    if (FAILED(hr))
        return hr;
    return WriteList(stream, FALSE);
}
