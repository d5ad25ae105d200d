#include "aObjWrap.h"

#include <string.h>

#include <algorithm>

#include "adblink.h"
#include "bStrConv.h"
#include "bTraceLog.h"

// ---- CObjWrapper ----

CObjWrapper::CObjWrapper(DWORD typeId, const char* name)
    : m_parent(nullptr), m_event(nullptr), m_dispatch(nullptr), m_base(nullptr), m_render(nullptr) {
    memset(&m_record, 0, sizeof(m_record));
    m_record.dwTypeId = typeId;
    m_record.nSchedule[2] = -1;
    if (name)
        memcpy(m_record.szName, name, MbCutLength(name, sizeof(m_record.szName) - 1));
}

CObjWrapper::~CObjWrapper() {
    ReleaseObject();
}

void CObjWrapper::ReleaseObject() {
    if (m_event)
        m_event->Release();
    if (m_dispatch)
        m_dispatch->Release();
    if (m_base) {
        m_base->Refresh(0);
        m_base->Release();
    }
    if (m_render)
        m_render->Release();
    m_event = nullptr;
    m_dispatch = nullptr;
    m_base = nullptr;
    m_render = nullptr;
}

HRESULT CObjWrapper::Attach(IUnknown* object) {
    if (!object)
        return E_POINTER;
    ReleaseObject();
    object->QueryInterface(__uuidof(IObjectEvent), reinterpret_cast<void**>(&m_event));
    object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_dispatch));
    object->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&m_base));
    object->QueryInterface(__uuidof(II_IRender), reinterpret_cast<void**>(&m_render));
    return S_OK;
}

HRESULT CObjWrapper::AttachWithSink(IUnknown* object, IObjWrapperList*) {
    return Attach(object);
}

bool CObjWrapper::IsAncestorOf(const CObjWrapper* other) const {
    for (const CObjWrapper* p = other ? other->m_parent : nullptr; p; p = p->m_parent)
        if (p == this)
            return true;
    return false;
}

HRESULT CObjWrapper::AddChild(CObjWrapper* child) {
    IGroupChildren* children = Children();
    if (!child || !children)
        return E_FAIL;
    // Descendant counts and tree removal walk the nesting: it must stay a tree.
    if (child == this || child->IsAncestorOf(this)) {
        LOG_MSG("Group %s cannot hold %s", m_record.szName, child->m_record.szName);
        return E_INVALIDARG;
    }
    child->m_parent = this;
    return children->AddChild(child);
}

int CObjWrapper::DescendantCount() const {
    IGroupChildren* children = IsGroup() ? Children() : nullptr;
    int n = children ? children->GetDescendantCount() : 0;
    return n > 0 ? n : 0;
}

HRESULT CObjWrapper::Draw(IPixelBuffer* target) {
    return m_render ? m_render->Draw(target) : E_FAIL;
}

bool CObjWrapper::TestRegion(HRGN region) {
    return m_render && m_render->TestRegion(region) == 0;
}

IObjectSite* CObjWrapper::Site() const {
    IObjectSite* site = nullptr;
    if (!m_base || FAILED(m_base->GetObjectSite(&site)))
        return nullptr;
    return site;
}

HRESULT CObjWrapper::Schedule(DWORD time, DWORD argument) {
    IObjectSite* site = Site();
    ISequencer* sequencer = nullptr;
    if (!site || FAILED(site->GetSequencer(&sequencer)) || !sequencer)
        return E_FAIL;
    SequencerEntry entry = {m_event, 0, NOTIFY_SHOWHIDE, argument};
    return sequencer->Schedule(time, &entry);
}

HRESULT CObjWrapper::ScheduleAfter(DWORD delay, DWORD argument) {
    IObjectSite* site = Site();
    DWORD now = 0;
    if (!site || FAILED(site->GetPageClock(&now)))
        return E_FAIL;
    return Schedule(now + delay, argument);
}

CObjGroupWrapper::~CObjGroupWrapper() {
    if (m_children)
        m_children->Release();
    m_children = nullptr;
}

HRESULT CObjGroupWrapper::AttachWithSink(IUnknown* object, IObjWrapperList* list) {
    HRESULT hr = Attach(object);
    if (FAILED(hr))
        return hr;
    if (m_children)
        m_children->Release();
    m_children = nullptr;
    object->QueryInterface(__uuidof(IGroupChildren), reinterpret_cast<void**>(&m_children));
    if (m_children && list)
        m_children->SetWrapperList(list, this);
    return S_OK;
}

// ---- CObjWrapperList ----

CObjWrapperList::CObjWrapperList() : m_ref(1), m_uses(0) {
    m_items.reserve(10);
}

CObjWrapperList::~CObjWrapperList() {
    // The list owns its wrappers; children go before their groups.
    for (size_t i = m_items.size(); i-- > 0;) delete m_items[i];
}

STDMETHODIMP CObjWrapperList::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == __uuidof(IObjWrapperList)) {
        *ppv = static_cast<IObjWrapperList*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CObjWrapperList::AddRef() {
    return (ULONG)InterlockedIncrement(&m_ref);
}

STDMETHODIMP_(ULONG) CObjWrapperList::Release() {
    LONG n = InterlockedDecrement(&m_ref);
    if (n == 0)
        delete this;
    return (ULONG)n;
}

STDMETHODIMP CObjWrapperList::Append(CObjWrapper* wrapper) {
    if (!wrapper)
        return E_POINTER;
    if (m_items.size() >= OBJWRAPPER_LIMIT)
        return OBJLIST_E_FULL;
    m_items.push_back(wrapper);
    return S_OK;
}

STDMETHODIMP CObjWrapperList::AppendGroup(CObjWrapper* group) {
    if (!group)
        return E_POINTER;
    if (m_items.size() >= OBJWRAPPER_LIMIT)
        return OBJLIST_E_FULL;
    IGroupChildren* children = group->Children();
    CObjWrapper* first =
        children && children->GetChildCount() > 0 ? children->GetChild(0) : nullptr;
    int at = first ? IndexOf(first) : -1;
    if (at < 0)
        m_items.push_back(group);
    else
        m_items.insert(m_items.begin() + at, group);
    return S_OK;
}

HRESULT CObjWrapperList::RemoveAt(int index) {
    m_items.erase(m_items.begin() + index);
    return S_OK;
}

STDMETHODIMP CObjWrapperList::Remove(CObjWrapper* wrapper) {
    int i = IndexOf(wrapper);
    if (i < 0)
        return S_FALSE;
    return RemoveAt(i);
}

STDMETHODIMP CObjWrapperList::RemoveTree(CObjWrapper* wrapper) {
    if (IndexOf(wrapper) < 0)
        return S_FALSE;
    IGroupChildren* children = wrapper->IsGroup() ? wrapper->Children() : nullptr;
    if (children) {
        // Each removal may shrink the group's list: take the children first.
        std::vector<CObjWrapper*> kids;
        int n = children->GetChildCount();
        for (int i = 0; i < n; ++i) kids.push_back(children->GetChild(i));
        for (CObjWrapper* kid : kids)
            if (kid && kid != wrapper)
                RemoveTree(kid);
    }
    int i = IndexOf(wrapper);
    if (i >= 0)
        RemoveAt(i);
    delete wrapper;
    return S_OK;
}

STDMETHODIMP CObjWrapperList::Delete(CObjWrapper* wrapper) {
    int i = IndexOf(wrapper);
    if (i < 0)
        return S_FALSE;
    CObjWrapper* parent = wrapper->GetOwner();
    if (parent && parent->Children())
        parent->Children()->OnDelete(wrapper);
    i = IndexOf(wrapper);
    if (i >= 0)
        RemoveAt(i);
    delete wrapper;
    return S_OK;
}

bool CObjWrapperList::SwapWithNext(int index, CObjWrapper* next) {
    int blockEnd = index + 1 + m_items[index]->DescendantCount();
    int nextIndex = IndexOf(next);
    if (nextIndex != blockEnd)
        return false;
    int nextEnd = nextIndex + 1 + next->DescendantCount();
    if (nextEnd > (int)m_items.size())
        nextEnd = (int)m_items.size();
    std::rotate(m_items.begin() + index, m_items.begin() + nextIndex, m_items.begin() + nextEnd);
    return true;
}

STDMETHODIMP CObjWrapperList::MoveForward(CObjWrapper* wrapper) {
    int i = IndexOf(wrapper);
    if (i < 0 || i + 1 >= (int)m_items.size())
        return S_FALSE;
    CObjWrapper* next = NextSibling(wrapper);
    if (!next || !SwapWithNext(i, next))
        return S_FALSE;
    CObjWrapper* parent = wrapper->GetOwner();
    if (parent && parent->Children())
        parent->Children()->OnChildMoved(wrapper);
    return S_OK;
}

STDMETHODIMP CObjWrapperList::MoveBackward(CObjWrapper* wrapper) {
    int i = IndexOf(wrapper);
    if (i <= 0)
        return S_FALSE;
    CObjWrapper* previous = PreviousSibling(wrapper);
    if (!previous)
        return S_FALSE;
    return MoveForward(previous);
}

STDMETHODIMP_(CObjWrapper*) CObjWrapperList::GetAt(int index) {
    if (index < 0 || index >= (int)m_items.size())
        return nullptr;
    return m_items[index];
}

STDMETHODIMP_(CObjWrapper*) CObjWrapperList::HitTest(POINT pt, BOOL includeChildren) {
    for (size_t i = m_items.size(); i-- > 0;) {
        CObjWrapper* w = m_items[i];
        if (w->m_parent && !includeChildren)
            continue;
        II_IRender* render = w->m_render;
        // The point test first: most entries miss, and both are plain queries.
        if (render && render->HitTestPoint(pt.x, pt.y) == 0 && render->IsActive() == 0)
            return w;
    }
    return nullptr;
}

STDMETHODIMP_(CObjWrapper*) CObjWrapperList::FindByName(const char* name, CObjWrapper* except) {
    if (!name)
        return nullptr;
    for (CObjWrapper* w : m_items) {
        if (w == except)
            continue;
        if (strncmp(w->m_record.szName, name, sizeof(w->m_record.szName)) == 0 &&
            strlen(name) < sizeof(w->m_record.szName))
            return w;
    }
    return nullptr;
}

STDMETHODIMP_(int) CObjWrapperList::IndexOf(CObjWrapper* wrapper) {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == wrapper)
            return (int)i;
    return -1;
}

STDMETHODIMP_(IObjWrapperList*) CObjWrapperList::AddUse() {
    ++m_uses;
    return this;
}

STDMETHODIMP_(CObjWrapper*) CObjWrapperList::NextSibling(CObjWrapper* wrapper) {
    int i = IndexOf(wrapper);
    if (i < 0)
        return nullptr;
    CObjWrapper* parent = wrapper->GetOwner();
    if (parent) {
        int p = IndexOf(parent);
        if (p < 0)
            return nullptr;
        int k = i + 1 + wrapper->DescendantCount();
        if (k > p + parent->DescendantCount() || k >= (int)m_items.size())
            return nullptr;
        return m_items[k]->GetOwner() == parent ? m_items[k] : nullptr;
    }
    for (size_t k = i + 1; k < m_items.size(); ++k)
        if (!m_items[k]->HasParent())
            return m_items[k];
    return nullptr;
}

STDMETHODIMP_(CObjWrapper*) CObjWrapperList::PreviousSibling(CObjWrapper* wrapper) {
    int i = IndexOf(wrapper);
    if (i < 0)
        return nullptr;
    CObjWrapper* parent = wrapper->GetOwner();
    if (parent) {
        int p = IndexOf(parent);
        if (i < 2 || p < 0 || p + 1 >= (int)m_items.size())
            return nullptr;
        CObjWrapper* c = m_items[p + 1];
        if (c == wrapper)
            return nullptr;
        // Sibling steps move strictly forward: at most one per entry.
        for (size_t steps = 0; c && steps < m_items.size(); ++steps) {
            CObjWrapper* next = NextSibling(c);
            if (next == wrapper)
                return c;
            c = next;
        }
        return nullptr;
    }
    for (int k = i - 1; k >= 0; --k)
        if (!m_items[k]->HasParent())
            return m_items[k];
    return nullptr;
}

STDMETHODIMP CObjWrapperList::Arrange(CObjWrapper** sequence, int count) {
    if (!sequence || count < 0)
        return E_POINTER;
    for (int i = 1; i < count; ++i) {
        CObjWrapper* before = sequence[i - 1];
        CObjWrapper* w = sequence[i];
        // Each step moves w one sibling nearer; siblings are bounded by the list.
        for (size_t steps = 0; steps <= m_items.size(); ++steps) {
            if (NextSibling(before) == w)
                break;
            int a = IndexOf(before), b = IndexOf(w);
            if (a < 0 || b < 0 || before->GetOwner() != w->GetOwner())
                break;
            HRESULT hr = b < a ? MoveForward(w) : MoveBackward(w);
            if (hr != S_OK)
                break;
        }
    }
    return S_OK;
}

STDMETHODIMP CObjWrapperList::ForEachDbLink(const DataSourceNotice* notice) {
    if (!notice)
        return E_POINTER;
    // A refresh may not change the list, but walk a copy all the same.
    std::vector<CObjWrapper*> items = m_items;
    for (CObjWrapper* w : items) {
        IDbLink* link = nullptr;
        if (w->m_base &&
            SUCCEEDED(
                w->m_base->QueryInterface(__uuidof(IDbLink), reinterpret_cast<void**>(&link))) &&
            link) {
            link->OnDataSourceNotice(notice);
            link->Release();
        }
    }
    return S_OK;
}
