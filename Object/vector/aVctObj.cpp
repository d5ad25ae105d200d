#include "aVctObj.h"

#include <string.h>

#include <memory>
#include <new>

#include "aFillFiles.h"
#include "aStorage.h"
#include "aUtil.h"
#include "bByteReader.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// Tween kind, split, pairing, mapping reference, time.
const ULONGLONG kKeyFrameFixed = 20;

std::string Narrow(BSTR text) {
    if (!text || !*text)
        return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string s((size_t)n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &s[0], n, nullptr, nullptr);
    s.resize((size_t)n - 1);
    return s;
}

}  // namespace

// ---- key frames ----

CKeyFrame::~CKeyFrame() {
    delete mapping;
    delete frame;
}

TweenParams CKeyFrame::Params() const {
    TweenParams p;
    p.kind = kind;
    p.split = split;
    p.pairing = pairing;
    p.mapping = HasMapping() ? mapping : nullptr;
    return p;
}

HRESULT CKeyFrame::CopyFrom(const CKeyFrame& other) {
    if (&other == this)
        return S_OK;
    if (!other.frame)
        return E_UNEXPECTED;
    CVecFrame* f = new (std::nothrow) CVecFrame(other.frame->GetOwner(), other.frame->GetFlags());
    if (!f)
        return E_OUTOFMEMORY;
    HRESULT hr = f->DuplicateFrom(*other.frame);
    if (FAILED(hr)) {
        delete f;
        return hr;
    }
    MorphMapping* m = nullptr;
    if (other.HasMapping() && other.mapping) {
        m = new (std::nothrow) MorphMapping(*other.mapping);
        if (!m) {
            delete f;
            return E_OUTOFMEMORY;
        }
    }
    delete frame;
    delete mapping;
    frame = f;
    mapping = m;
    kind = other.kind;
    split = other.split;
    pairing = other.pairing;
    time = other.time;
    return S_OK;
}

// ---- the object ----

VectorObject::VectorObject()
    : m_tween(nullptr),
      m_pairKey(-1),
      m_pairMadeAt(0),
      m_currentKey(0),
      m_time(0),
      m_stale(true),
      m_preparations(0),
      m_pairsMade(0),
      m_drawRect(nullptr) {
    m_owner.object = this;
}

VectorObject::~VectorObject() {
    DropTween();
    DeleteAll(&m_keys);
    DeleteAll(&m_tweens);
}

void VectorObject::DeleteAll(std::vector<CKeyFrame*>* keys) {
    for (size_t i = 0; i < keys->size(); ++i) {
        if (!(*keys)[i])
            LOG_MSG("KeyFrameArray[%d] is NULL.", (int)i);
        delete (*keys)[i];
    }
    keys->clear();
}

void VectorObject::DropTween() {
    if (m_currentKey < 0) {
        delete m_tween;
        m_tween = nullptr;
        m_play.current = nullptr;
    }
}

HRESULT VectorObject::SetUp() {
    return FinalConstruct();
}

CKeyFrame* VectorObject::NewKeyFrame(int time) {
    std::unique_ptr<CKeyFrame> key(new (std::nothrow) CKeyFrame());
    if (!key)
        return nullptr;
    key->frame = new (std::nothrow) CVecFrame(&m_owner, VECFRAME_LENGTHS);
    if (!key->frame)
        return nullptr;
    key->time = time;
    return key.release();
}

HRESULT VectorObject::FinalConstruct() {
    TRACE_POINT();
    DropTween();
    DeleteAll(&m_keys);
    DeleteAll(&m_tweens);
    m_currentKey = 0;
    m_time = 0;
    m_play.Reset();
    m_play.current = nullptr;
    CKeyFrame* key = NewKeyFrame(0);
    if (!key) {
        LOG_MSG("FinalConstruct of CVectorObject func failed.");
        return E_OUTOFMEMORY;
    }
    m_keys.push_back(key);
    m_play.current = key->frame;
    m_stale = true;
    return S_OK;
}

HRESULT VectorObject::AddKeyFrame(CKeyFrame* key) {
    if (!key || !key->frame)
        return E_INVALIDARG;
    size_t at = m_keys.size();
    while (at > 0 && (DWORD)m_keys[at - 1]->time > (DWORD)key->time) --at;
    m_keys.insert(m_keys.begin() + (ptrdiff_t)at, key);
    m_stale = true;
    return S_OK;
}

STDMETHODIMP VectorObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr))
        return hr;
    CAbility::SetSite(ClassSite());
    return S_OK;
}

// ---- playing ----

STDMETHODIMP VectorObject::Start() {
    TRACE_POINT();
    HRESULT hr = CAbility::Start();
    if (FAILED(hr))
        return hr;
    PrepareTweenFrames();
    return S_OK;
}

STDMETHODIMP VectorObject::OnClock() {
    CAbility::OnClock();
    ShowTime(TotalTime());
    return S_OK;
}

STDMETHODIMP VectorObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    HRESULT hr = ClassBase::FireEvent(id, arg1, arg2, prev);
    CAbility::OnEvent((LONG)id);
    if (id == EVT_OBJECTEXIT && CAbility::GetState() != ABILITY_STOPPED)
        CAbility::Stop();
    return hr;
}

STDMETHODIMP VectorObject::BeforeExit() {
    if (CAbility::GetState() != ABILITY_STOPPED)
        CAbility::Stop();
    return ClassBase::BeforeExit();
}

HRESULT VectorObject::PrepareTweenFrames() {
    TRACE_POINT();
    DeleteAll(&m_tweens);
    ++m_preparations;
    for (CKeyFrame* key : m_keys) {
        if (!key)
            continue;
        std::unique_ptr<CKeyFrame> copy(new (std::nothrow) CKeyFrame());
        if (!copy)
            return E_OUTOFMEMORY;
        HRESULT hr = copy->CopyFrom(*key);
        if (FAILED(hr))
            return hr;
        for (int i = 0; i < copy->frame->GetCount(); ++i) {
            CGraphMeta* g = copy->frame->GetGraphMeta(i);
            if (g && !g->IsHidden() && g->GetKind() != GRAPH_POLYLINE &&
                g->GetBaseValue() == METATYPE_GRAPH)
                g->Convert2Polyline();
        }
        m_tweens.push_back(copy.release());
    }
    m_stale = false;
    return S_OK;
}

void VectorObject::ShowTime(DWORD t) {
    DropTween();
    m_time = t;
    const int n = (int)m_keys.size();
    if (n == 0)
        return;
    int show = -1;
    int before = -1;
    for (int i = 0; i < n; ++i) {
        const DWORD at = (DWORD)m_keys[(size_t)i]->time;
        if (at == t) {
            show = i;
            break;
        }
        if (at > t)
            break;
        before = i;
    }
    CVecFrame* frame = nullptr;
    if (show < 0 && (before < 0 || before == n - 1)) {
        show = before < 0 ? 0 : n - 1;
    }
    if (show >= 0) {
        m_currentKey = show;
        frame = m_keys[(size_t)show]->frame;
    } else {
        if (m_stale || m_tweens.size() != m_keys.size())
            PrepareTweenFrames();
        if (m_tweens.size() != m_keys.size())
            return;
        const CKeyFrame& a = *m_tweens[(size_t)before];
        const CKeyFrame& b = *m_tweens[(size_t)before + 1];
        const float x =
            (float)((double)(t - (DWORD)a.time) / (double)((DWORD)b.time - (DWORD)a.time));
        if (m_pairKey != before || m_pairMadeAt != m_preparations) {
            m_pairKey = -1;
            ++m_pairsMade;
            if (FAILED(m_pair.Prepare(*a.frame, *b.frame, a.Params())))
                return;
            m_pairKey = before;
            m_pairMadeAt = m_preparations;
        }
        CVecFrame* tween = new (std::nothrow) CVecFrame(&m_owner, VECFRAME_LENGTHS);
        if (!tween)
            return;
        if (FAILED(m_pair.Fill(tween, x))) {
            delete tween;
            return;
        }
        m_currentKey = -(before + 1);
        m_tween = tween;
        frame = tween;
    }
    if (frame == m_play.current)
        return;
    m_play.current = frame;
    InvalidateObject(nullptr);
}

// ---- drawing and the pointer ----

RECT VectorObject::OwnerRect() {
    RECT r = {0, 0, 0, 0};
    if (m_drawRect)
        r = *m_drawRect;
    else
        GetTransformedBounds(&r);
    return r;
}

void VectorObject::Owner::ToOwnerPoints(POINT* points, int n) {
    POINT c;
    GetOwnerCenter(&c);
    for (int i = 0; i < n; ++i) {
        points[i].x += c.x;
        points[i].y += c.y;
    }
}

void VectorObject::Owner::FromOwnerPoints(POINT* points, int n) {
    POINT c;
    GetOwnerCenter(&c);
    for (int i = 0; i < n; ++i) {
        points[i].x -= c.x;
        points[i].y -= c.y;
    }
}

HRESULT VectorObject::Owner::OwnerHitTest(POINT point) {
    return object->HitTestPoint(point.x, point.y) == 0 ? S_OK : S_FALSE;
}

HRESULT VectorObject::Owner::GetOwnerRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    *rect = object->OwnerRect();
    return S_OK;
}

HRESULT VectorObject::Owner::GetOwnerCenter(POINT* centre) {
    if (!centre)
        return E_POINTER;
    const RECT r = object->OwnerRect();
    *centre = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return S_OK;
}

int VectorObject::Owner::GetOwnerDegree() {
    return object->GetAngle();
}

void VectorObject::Owner::GetEditState(MetaEditState* state) {
    if (state)
        *state = MetaEditState{FALSE, 0, object->GetAngle()};
}

BOOL VectorObject::Owner::GetMediaFolder(char* folder, size_t size) {
    // As the draw board: files the player writes go to the temporary folder.
    char temp[MAX_PATH] = "";
    DWORD n = GetTempPathA(MAX_PATH, temp);
    if (!folder || n == 0 || n >= MAX_PATH)
        return FALSE;
    if (temp[n - 1] == '\\')
        temp[--n] = 0;
    if (n + 1 > size)
        return FALSE;
    memcpy(folder, temp, n + 1);
    return TRUE;
}

HRESULT VectorObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect || !m_play.current || !m_play.current->GetCount())
        return S_OK;
    // The stored frames are never turned: a copy is.
    std::unique_ptr<CVecFrame> copy;
    if (GetAngle()) {
        copy.reset(new (std::nothrow) CVecFrame(&m_owner, VECFRAME_LENGTHS));
        if (!copy || FAILED(copy->DuplicateFrom(*m_play.current)))
            return S_OK;
        copy->Rotate(GetAngle());
    }
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    m_drawRect = rect;
    (copy ? copy.get() : m_play.current)->DrawAll(dc);
    m_drawRect = nullptr;
    target->ReleaseDC(dc);
    return S_OK;
}

STDMETHODIMP_(int) VectorObject::HitTestPoint(LONG x, LONG y) {
    if (!m_play.current)
        return 1;
    HDC dc = GetDC(nullptr);
    int* hits = nullptr;
    int count = 0;
    CVecFrame copy(&m_owner, VECFRAME_LENGTHS);
    HRESULT hr = copy.DuplicateFrom(*m_play.current);
    if (SUCCEEDED(hr) && GetAngle())
        copy.Rotate(GetAngle());
    if (SUCCEEDED(hr))
        hr = copy.HitTest(POINT{x, y}, dc, &hits, &count);
    if (dc)
        ReleaseDC(nullptr, dc);
    delete[] hits;
    return SUCCEEDED(hr) && count > 0 ? 0 : 1;
}

STDMETHODIMP VectorObject::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    for (CKeyFrame* key : m_keys)
        for (int i = 0; key && key->frame && i < key->frame->GetCount(); ++i)
            if (CGraphMeta* g = key->frame->GetGraphMeta(i))
                CollectFillFiles(g->GetFill(), collector);
    return ClassBase::CollectFiles(collector);
}

STDMETHODIMP VectorObject::OnGeometryChanged(const RECT* before, const RECT* after, int code) {
    if (before && after &&
        (before->right - before->left != after->right - after->left ||
         before->bottom - before->top != after->bottom - after->top)) {
        // Shapes keep their place on the page, in every key frame.
        const POINT d = {(before->left + before->right) / 2 - (after->left + after->right) / 2,
                         (before->top + before->bottom) / 2 - (after->top + after->bottom) / 2};
        if (d.x || d.y) {
            for (CKeyFrame* key : m_keys)
                for (int i = 0; key && i < key->frame->GetCount(); ++i)
                    key->frame->GetMeta(i)->Offset(d);
            m_stale = true;
        }
    }
    return ClassBase::OnGeometryChanged(before, after, code);
}

// ---- the record ----

HRESULT VectorObject::LoadKind(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    int32_t codes[2] = {0, 0}, setting = 0, n = 0;
    if (!StreamReadValue(stream, &codes[0]) || !StreamReadValue(stream, &codes[1]) ||
        !StreamReadValue(stream, &setting) || !StreamReadValue(stream, &n) || n < 0 ||
        !StreamHas(stream, (ULONGLONG)n * kKeyFrameFixed)) {
        LOG_MSG("VectorObject record: short or damaged");
        return E_FAIL;
    }
    std::vector<CKeyFrame*> keys;
    auto fail = [&]() {
        DeleteAll(&keys);
        LOG_MSG("VectorObject record: short or damaged");
        return E_FAIL;
    };
    for (int32_t k = 0; k < n; ++k) {
        CKeyFrame* key = NewKeyFrame(0);
        if (!key) {
            DeleteAll(&keys);
            return E_OUTOFMEMORY;
        }
        keys.push_back(key);
        int32_t reference = 0;
        if (!StreamReadValue(stream, &key->kind) || !StreamReadValue(stream, &key->split) ||
            !StreamReadValue(stream, &key->pairing) || !StreamReadValue(stream, &reference))
            return fail();
        if (key->HasMapping()) {
            key->mapping = new (std::nothrow) MorphMapping();
            if (!key->mapping)
                return fail();
            for (float& v : key->mapping->values)
                if (!StreamReadValue(stream, &v))
                    return fail();
        }
        if (!StreamReadValue(stream, &key->time) || FAILED(key->frame->Load(stream, &m_owner)))
            return fail();
    }
    CAbility::SetStartCode(codes[0]);
    CAbility::SetPauseCode(codes[1]);
    DropTween();
    DeleteAll(&m_keys);
    DeleteAll(&m_tweens);
    m_keys.swap(keys);
    m_play.Reset();
    m_play.setting = setting;
    m_currentKey = m_keys.empty() ? -1 : 0;
    m_play.current = m_keys.empty() ? nullptr : m_keys[0]->frame;
    m_tween = nullptr;
    m_stale = true;
    return S_OK;
}

HRESULT VectorObject::SaveKind(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    StreamWriteValue(stream, (int32_t)GetStartCode());
    StreamWriteValue(stream, (int32_t)GetPauseCode());
    StreamWriteValue(stream, (int32_t)m_play.setting);
    StreamWriteValue(stream, (int32_t)m_keys.size());
    for (CKeyFrame* key : m_keys) {
        StreamWriteValue(stream, (int32_t)key->kind);
        StreamWriteValue(stream, (int32_t)key->split);
        StreamWriteValue(stream, (int32_t)key->pairing);
        // No memory address goes to the file.
        StreamWriteValue(stream, (int32_t)0);
        if (key->HasMapping()) {
            MorphMapping m = {};
            if (key->mapping)
                m = *key->mapping;
            for (float v : m.values) StreamWriteValue(stream, v);
        }
        StreamWriteValue(stream, (int32_t)key->time);
        HRESULT hr = key->frame->Save(stream);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// ---- vector files ----

STDMETHODIMP VectorObject::LoadFromFile(BSTR name, LONG flag) {
    TRACE_POINT();
    const std::string path = Narrow(name);
    if (path.empty() || flag)
        return S_FALSE;
    HRESULT hr = FinalConstruct();
    if (FAILED(hr)) {
        LOG_MSG("FinalConstruct of CVectorObject func failed.");
        return hr;
    }
    CComPtr<ITeskStream> stream;
    if (FAILED(OpenFileStream(path.c_str(), TESK_MODE_READ, &stream)) || !stream) {
        LOG_MSG("BindingFileStream func Failed.");
        return E_UNEXPECTED;
    }
    // Size, magic, 2, 1, gap; the rest of the header is not read.
    std::vector<uint8_t> head;
    int32_t size = 0;
    bool ok = StreamReadValue(stream.p, &size) && size >= VECFILE_HEADER_MIN &&
              size <= VECFILE_HEADER_MAX;
    if (ok) {
        stream->Seek(0, TESK_SEEK_SET);
        ok = ReadStreamBytes(stream, (ULONGLONG)size, &head);
    }
    if (ok) {
        CByteReader r(head.data(), head.size());
        r.Skip(4);
        const uint32_t magic = r.U32LE(), two = r.U32LE(), one = r.U32LE(), gap = r.U32LE();
        ok = r.Ok() && magic == VECFILE_MAGIC && two == 2 && one == 1 && StreamHas(stream, gap) &&
             (!gap || SUCCEEDED(stream->Seek(gap, TESK_SEEK_CUR)));
    }
    if (!ok) {
        LOG_MSG("error file header to read.");
        return S_FALSE;
    }
    CVecFrame* frame = m_keys[0]->frame;
    hr = frame->LoadFile(stream, path.c_str(), FALSE, &m_owner);
    m_stale = true;
    return FAILED(hr) ? hr : S_OK;
}

STDMETHODIMP VectorObject::SaveToFile(BSTR name, LONG flag) {
    TRACE_POINT();
    const std::string path = Narrow(name);
    if (path.empty() || flag || !m_play.current)
        return S_FALSE;
    CComPtr<ITeskStream> stream;
    if (FAILED(OpenFileStream(path.c_str(), TESK_MODE_CREATE, &stream)) || !stream) {
        LOG_MSG("BindingFileStream func Failed.");
        return E_UNEXPECTED;
    }
    // The header the reader needs.
    StreamWriteValue(stream.p, (int32_t)VECFILE_HEADER_MIN);
    StreamWriteValue(stream.p, (int32_t)VECFILE_MAGIC);
    StreamWriteValue(stream.p, (int32_t)2);
    StreamWriteValue(stream.p, (int32_t)1);
    StreamWriteValue(stream.p, (int32_t)0);
    return m_play.current->SaveFile(stream);
}

HRESULT CreateVectorObject(IUnknown** out) {
    return CreateObjectOfClass<VectorObject>(out);
}
