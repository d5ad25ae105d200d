#include "aCanvas.h"

#include <ocidl.h>
#include <string.h>

#include "aPrjUtil.h"
#include "aProject.h"
#include "aStorage.h"
#include "aPixBuf.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bSysSound.h"
#include "bTraceLog.h"

// ---- CCanvas ----

CCanvas::CCanvas(IPlayerSite* site, int kind, CanvasStub* stub)
    : m_pSite(site),
      m_kind(kind),
      m_pStub(stub),
      m_pObjectSite(nullptr),
      m_pCreator(nullptr),
      m_pList(new CObjWrapperList) {
    SetOwner(site);
    if (!site)
        return;
    site->GetRootCreator(&m_pCreator);
    IUnknown* fwd = nullptr;
    if (SUCCEEDED(site->CreateForwarder(this, site, &fwd)) && fwd) {
        fwd->QueryInterface(__uuidof(IObjectSite), reinterpret_cast<void**>(&m_pObjectSite));
        fwd->Release();
    }
    SetEventSiteObject(m_pObjectSite);
    InitEventProc(2, static_cast<IObjectEvent*>(this));
}

CCanvas::~CCanvas() {
    m_pList->Release();
    ReleaseListeners();
    if (m_pEventProc) {
        m_pEventProc->Release();
        m_pEventProc = nullptr;
    }
    SetEventSiteObject(nullptr);
    if (m_pObjectSite)
        m_pObjectSite->Release();
}

BOOL CCanvas::LoadFromStorage(ITeskStorage* storage) {
    if (!storage)
        return FALSE;
    if (storage->GetMode())
        return TRUE;
    try {
        return ReadCanvas(storage);
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return FALSE;
    }
}

namespace {

#pragma pack(push, 1)
struct CanvasInfoHeader {
    DWORD size;  // 32
    DWORD length;
    DWORD kind;
    DWORD version;
    DWORD tableSize;  // 96 per object
    DWORD count;
    DWORD mode;
    DWORD reserved;
};
#pragma pack(pop)
static_assert(sizeof(CanvasInfoHeader) == 32, "CanvasInfo header is 32 bytes");

// Fills a cache with the rest of the stream in the body mode.
HRESULT FillCache(ITeskStream* source, DWORD mode, ITeskStream** out) {
    if (StreamRemaining(source) == 0) {
        HRESULT hr = CreateMemStream(out, 32000);
        if (SUCCEEDED(hr))
            (*out)->SetMode(0);
        return hr;
    }
    return CacheRestOfStream(source, (int)mode, out);
}

}  // namespace

BOOL CCanvas::ReadCanvas(ITeskStorage* storage) {
    const char* name = GetStubName();
    CComPtr<ITeskStream> info, data;
    CanvasInfoHeader h = {};
    {
        CComPtr<ITeskStream> s;
        HRESULT hr = storage->OpenStream("CanvasInfo", TESK_MODE_READ, &s);
        if (FAILED(hr) || !s) {
            LOG_MSG("OpenStream for canvasInfo %s failed: %08X", name, (unsigned)hr);
            return FALSE;
        }
        s->SetMode(0);
        if (s->Read(&h, sizeof(h)) < sizeof(h))
            return FALSE;
        if (FAILED(FillCache(s, h.mode, &info)))
            return FALSE;
    }
    {
        CComPtr<ITeskStream> s;
        HRESULT hr = storage->OpenStream("ObjData", TESK_MODE_READ, &s);
        if (FAILED(hr) || !s) {
            LOG_MSG("OpenStream for objData %s failed: %08X", name, (unsigned)hr);
            return FALSE;
        }
        s->SetMode(0);
        if (FAILED(FillCache(s, h.mode, &data)))
            return FALSE;
    }
    info->SetVersion((int)h.version);
    data->SetVersion((int)h.version);

    // Each entry takes 96 bytes of the table: a count beyond the cache ends
    // early rather than reserving for it.
    ULONGLONG fits = StreamRemaining(info) / 96;
    DWORD count = h.count;
    bool complete = true;
    if (count > fits) {
        LOG_MSG("Canvas %s: %lu objects, the table holds %lu", name, (unsigned long)count,
                (unsigned long)fits);
        count = (DWORD)fits;
        complete = false;
    }
    ULONGLONG dataSize = data->GetSize();
    // Group indexes name entries of the table; entries skipped or refused
    // leave no object, so the list's positions cannot stand for them.
    std::vector<CObjWrapper*> byEntry(count, nullptr);
    bool full = false;
    DWORD i = 0;
    for (; i < count; ++i) {
        ObjectRecord rec;
        memset(&rec, 0, sizeof(rec));
        if (info->Read(&rec, 24) < 24)
            break;
        info->ReadWideString(rec.szName, 32);
        rec.szName[31] = 0;
        LONG group = -1;
        info->Read(&group, 4);
        DWORD offset = 0;
        try {
            info->Read(&offset, 4);
        } catch (CTeskExcept&) {
            break;
        }
        if ((ULONGLONG)offset + 4 > dataSize) {
            LOG_MSG("Error data in %s while reading %s", name, rec.szName);
            continue;
        }
        DWORD marker = 0;
        data->Read(&marker, 4);
        if (data->GetPosition() != (ULONGLONG)offset + 4) {
            if (marker != OBJDATA_MARKER) {
                LOG_MSG("Error data in %s while reading %s", name, rec.szName);
                data->Seek((LONGLONG)offset + 4, TESK_SEEK_SET);
            } else {
                LOG_MSG("Error objIndex in %s while reading %s", name, rec.szName);
            }
        }
        // A group index must name an earlier entry of this table.
        if (group >= (LONG)h.count || group >= (LONG)i) {
            LOG_MSG("Canvas %s: group index %ld of %s out of range", name, (long)group, rec.szName);
            group = -1;
        }
        // A full list takes no more objects: said once per page, and the
        // rest are not even made.
        if (m_pList->GetCount() >= OBJWRAPPER_LIMIT) {
            if (!full)
                LOG_MSG("Canvas %s: more than %d objects -- %s and those after it dropped", name,
                        (int)OBJWRAPPER_LIMIT, rec.szName);
            full = true;
            continue;
        }
        byEntry[i] = LoadObject(rec, group >= 0 ? byEntry[(size_t)group] : nullptr, data);
    }
    if (i < count || !complete) {
        LOG_MSG("Load-obj in canvas failed");
        return FALSE;
    }
    LoadEventProcRecord(info);
    CProject* project = nullptr;
    if (m_pSite)
        m_pSite->GetProject(reinterpret_cast<void**>(&project));
    if (project)
        project->GetVariableManager()->LoadList(&m_variables, info, true);
    else {
        VariableManager vm;
        vm.LoadList(&m_variables, info, true);
    }
    return LoadProperty(info) ? TRUE : FALSE;
}

CObjWrapper* CCanvas::LoadObject(const ObjectRecord& record, CObjWrapper* parent,
                                 ITeskStream* stream) {
    CObjWrapper* w = record.dwTypeId == GROUP_OBJECT_TYPE
                         ? new CObjGroupWrapper(record.dwTypeId, record.szName)
                         : new CObjWrapper(record.dwTypeId, record.szName);
    w->m_record = record;
    ObjectCreationRecord creation = {&w->m_record, m_pObjectSite};
    IUnknown* unknown = nullptr;
    HRESULT hr = m_pCreator ? m_pCreator->CreateObject(record.dwTypeId, &creation, IID_IUnknown,
                                                       reinterpret_cast<void**>(&unknown))
                            : E_FAIL;
    if (SUCCEEDED(hr) && unknown)
        hr = w->IsGroup() ? w->AttachWithSink(unknown, m_pList) : w->Attach(unknown);
    if (unknown)
        unknown->Release();
    if (FAILED(hr) || !unknown || !w->m_base) {
        LOG_MSG("CreateObject(ObjType: %08X) failed", (unsigned)record.dwTypeId);
        delete w;
        return nullptr;
    }
    try {
        hr = w->m_base->Load(stream);
    } catch (CTeskExcept&) {
        if (ITraceLog* log = GetTraceLog())
            log->FormatOnly(0, 0, "Warning: Loading Object Error! Press OK to continue.");
        // Kept out of the list; nothing else holds it.
        delete w;
        return nullptr;
    }
    if (FAILED(hr) || FAILED(m_pList->Append(w))) {
        delete w;
        return nullptr;
    }
    if (parent && parent->IsGroup())
        parent->AddChild(w);
    return w;
}

CObjWrapper* CCanvas::HitTest(LONG x, LONG y) const {
    POINT pt = {x, y};
    return m_pList->HitTest(pt, TRUE);
}

CObjWrapper* CCanvas::FindByName(const char* name) const {
    return m_pList->FindByName(name, nullptr);
}

STDMETHODIMP CCanvas::Notify(DWORD code, DWORD_PTR param) {
    if (code == 1) {
        if (CObjWrapper* o = GetObjectAt((int)param))
            o->m_base->Notify(1, 0);
    } else if (code == 0x10000) {
        for (int i = 0; i < GetObjectCount(); ++i) GetObjectAt(i)->m_base->Notify((int)0x10000, 0);
    }
    return CObjectEventB::Notify(code, param);
}

void CCanvas::StopObjects() {
    for (int i = 0; i < GetObjectCount(); ++i)
        if (CObjWrapper* o = GetObjectAt(i); o->IsActive()) {
            o->m_base->Exit();
            if (o->m_render)
                o->m_render->SetState(RS_IDLE);
        }
}

HRESULT CCanvas::OnPageEvent(DWORD event, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c) {
    // The canvas's own lists for the page's enter, hold, leave and exit.
    if (event >= 1220 && event <= 1223)
        FireNoArgs(event);
    switch (event) {
        case 1220:
            StartTimers(static_cast<IObjectEvent*>(this));
            {
                HRESULT hr = FireEvent(event, a, b, c);
                for (int i = 0; i < GetObjectCount(); ++i) GetObjectAt(i)->m_base->Enter();
                return hr;
            }
        case 1223:
            StopObjects();
            return FireEvent(event, a, b, c);
        default:
            return FireEvent(event, a, b, c);
    }
}

void CCanvas::Draw(IPixelBuffer* target, const RECT*) {
    for (int i = 0; i < GetObjectCount(); ++i)
        if (CObjWrapper* o = GetObjectAt(i); o->IsVisible())
            o->Draw(target);
}

// ---- CBackground ----

CBackground::CBackground(IPlayerSite* site, CanvasStub* stub)
    : CCanvas(site, CANVAS_BACKGROUND, stub), m_width(640), m_height(480), m_pFill(nullptr) {
    m_pFill = CreateFillObject();
}

CBackground::~CBackground() {
    if (m_pFill)
        m_pFill->Release();
}

bool CBackground::LoadProperty(ITeskStream* stream) {
    LONG wh[2] = {0, 0};
    if (stream->Read(wh, 8) < 8)
        return false;
    // A negative size counts as none.
    m_width = wh[0] < 0 ? 0 : wh[0];
    m_height = wh[1] < 0 ? 0 : wh[1];
    if (m_pFill && FAILED(m_pFill->Load(stream))) {
        LOG_MSG("Background %s: fill not read", GetStubName());
        return false;
    }
    return true;
}

void CBackground::Draw(IPixelBuffer* target, const RECT* clip) {
    if (m_pFill && m_width > 0 && m_height > 0) {
        RECT r = {0, 0, m_width, m_height};
        m_pFill->Render(&r, target, clip, m_pSite);
    }
    CCanvas::Draw(target, clip);
}

// ---- CPageCanvas ----

CPageCanvas::CPageCanvas(IPlayerSite* site, CanvasStub* stub)
    : CCanvas(site, CANVAS_PAGE, stub),
      m_pBackgroundStub(nullptr),
      m_pForegroundStub(nullptr),
      m_flags(3),
      m_holdTime(10000),
      m_enterTime(0),
      m_leaveTime(0),
      m_autoAction(1108),
      m_pEnter(nullptr),
      m_pLeave(nullptr) {
    if (SUCCEEDED(CreateEffectRender(&m_pEnter, nullptr)) && m_pEnter)
        m_pEnter->SetEntering(TRUE);
    CreateEffectRender(&m_pLeave, nullptr);
}

CPageCanvas::~CPageCanvas() {
    if (m_pEnter)
        m_pEnter->Release();
    if (m_pLeave)
        m_pLeave->Release();
}

bool CPageCanvas::LoadProperty(ITeskStream* stream) {
    DWORD v[5];
    if (stream->Read(v, sizeof(v)) < sizeof(v))
        return false;
    m_flags = v[0];
    m_holdTime = v[1];
    m_enterTime = v[2];
    m_leaveTime = v[3];
    m_autoAction = v[4];
    char label[17];
    ReadFixedWide(stream, 16, label, sizeof(label));
    m_label = label;
    if ((m_pEnter && FAILED(m_pEnter->Load(stream))) ||
        (m_pLeave && FAILED(m_pLeave->Load(stream)))) {
        LOG_MSG("Page %s: effect record not read", GetStubName());
        return false;
    }
    DWORD n = 0;
    if (stream->Read(&m_sound.first, 4) < 4 || stream->Read(&n, 4) < 4)
        return false;
    if ((ULONGLONG)n * 2 > StreamRemaining(stream)) {
        LOG_MSG("Page %s: sound path of %lu units past the end", GetStubName(), (unsigned long)n);
        return false;
    }
    std::string path(n + 1, '\0');
    if (n)
        stream->ReadWideString(&path[0], n);
    path.resize(strlen(path.c_str()));
    // Paths longer than the record's 259 bytes are cut.
    if (path.size() > 259)
        path.resize(MbCutLength(path.c_str(), 259));
    m_sound.path = path;
    if (stream->Read(m_sound.values, sizeof(m_sound.values)) < sizeof(m_sound.values))
        return false;
    if (m_flags & PAGE_HAS_TEXT) {
        LONG len = 0;
        if (stream->Read(&len, 4) < 4)
            return false;
        if (len > 0) {
            if ((ULONGLONG)len * 2 > StreamRemaining(stream)) {
                LOG_MSG("Page %s: text of %ld units past the end", GetStubName(), (long)len);
                return false;
            }
            std::string text((size_t)len + 1, '\0');
            stream->ReadWideString(&text[0], (ULONG)len);
            text.resize(strlen(text.c_str()));
            m_text = text;
        }
    }
    return true;
}

HRESULT CPageCanvas::OnPageEvent(DWORD event, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c) {
    if (event == 1220)
        HandlePageSound();
    return CCanvas::OnPageEvent(event, a, b, c);
}

void CPageCanvas::HandlePageSound() {
    if (m_flags & PAGE_KEEP_SOUND)
        return;
    ISysSoundPlayer* player = nullptr;
    if (m_pSite)
        m_pSite->GetMediaService(reinterpret_cast<void**>(&player));
    if (!player)
        return;
    if ((m_flags & PAGE_HAS_SOUND) && (!m_sound.path.empty() || m_sound.values[5] != 0)) {
        SysSoundProperties props;
        props.first = m_sound.first;
        props.path = m_sound.path.c_str();
        memcpy(props.values, m_sound.values, sizeof(props.values));
        player->CopyProperties(&props);
        if (SUCCEEDED(player->Open(m_pSite->GetViewWindow())))
            player->Play();
        return;
    }
    player->Stop();
}

// ---- CCanvasSet ----

CCanvasSet::CCanvasSet(CPageCanvas* p) : page(p), background(nullptr), foreground(nullptr) {
    if (!p)
        return;
    if (CBackgroundStub* b = p->GetBackgroundStub())
        background = static_cast<CBackground*>(CanvasOf(b->GetCanvas()));
    if (CForegroundStub* f = p->GetForegroundStub())
        foreground = static_cast<CForeground*>(CanvasOf(f->GetCanvas()));
}

void CCanvasSet::ForEach(void (*fn)(CCanvas*, void*), void* arg) {
    CCanvas* order[3] = {background, page, foreground};
    for (CCanvas* c : order)
        if (c)
            fn(c, arg);
}

HRESULT CCanvasSet::OnPageEvent(DWORD event) {
    HRESULT last = S_OK;
    CCanvas* order[3] = {background, page, foreground};
    for (CCanvas* c : order)
        if (c)
            last = c->OnPageEvent(event, 0, 0, 0);
    return last;
}

void CCanvasSet::StopObjects() {
    ForEach([](CCanvas* c, void*) { c->StopObjects(); }, nullptr);
}

void CCanvasSet::Notify(DWORD code, DWORD_PTR param) {
    CCanvas* order[3] = {background, page, foreground};
    for (CCanvas* c : order)
        if (c)
            c->Notify(code, param);
}

CObjWrapper* CCanvasSet::HitTestCanvasSet(POINT pt, CCanvas** canvas) const {
    CCanvas* order[3] = {foreground, page, background};
    for (CCanvas* c : order)
        if (c)
            if (CObjWrapper* o = c->HitTest(pt.x, pt.y)) {
                if (canvas)
                    *canvas = c;
                return o;
            }
    if (canvas)
        *canvas = nullptr;
    return nullptr;
}

CObjWrapper* CCanvasSet::FindObjectByName(const char* name, CCanvas** canvas) const {
    if (canvas)
        *canvas = nullptr;
    if (!name)
        return nullptr;
    // Runs for every object named in an expression: no allocation.
    CCanvas* order[2] = {nullptr, nullptr};
    if (name[0] == '_') {
        order[0] = foreground;
        order[1] = background;
    } else {
        order[0] = page;
    }
    for (CCanvas* c : order) {
        if (!c)
            continue;
        if (CObjWrapper* o = c->FindByName(name)) {
            if (canvas)
                *canvas = c;
            return o;
        }
    }
    return nullptr;
}
