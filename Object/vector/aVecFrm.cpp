#include "aVecFrm.h"

#include <memory>
#include <new>
#include <string>

#include "aCheMeta.h"
#include "aGrphMta.h"
#include "aMthMta.h"
#include "aOptMta.h"
#include "aPhyMeta.h"
#include "aTxtMeta.h"
#include "bByteReader.h"
#include "bFillShd.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

MetaCreator g_metaCreators[6];

CMetaBase* CreateMeta(int type, IMetaEnv* env) {
    if (type >= 0 && type <= METATYPE_OPTIC && g_metaCreators[type])
        return g_metaCreators[type](env);
    switch (type) {
        case METATYPE_TEXT:
            return new (std::nothrow) CTextMeta(env);
        case METATYPE_GRAPH:
            return new (std::nothrow) CGraphMeta(env);
        case METATYPE_MATH:
            return new (std::nothrow) CMathMeta(env);
        case METATYPE_CHEM:
            return new (std::nothrow) CChemMeta(env);
        case METATYPE_PHYS:
            return new (std::nothrow) CPhysMeta(env);
        case METATYPE_OPTIC:
            return new (std::nothrow) COpticMeta(env);
        default:
            return nullptr;
    }
}

}  // namespace

void SetMetaCreator(int type, MetaCreator creator) {
    if (type >= 0 && type <= METATYPE_OPTIC && type != METATYPE_GRAPH && type != METATYPE_TEXT)
        g_metaCreators[type] = creator;
}

CVecFrame::CVecFrame(IVecFrameOwner* owner, WORD flags)
    : m_flags(flags),
      m_owner(owner),
      m_nextId(1),
      m_drawing(false),
      m_sharedClip(false),
      m_trueColour(false) {}

CVecFrame::~CVecFrame() {
    DeleteAll(m_metas);
}

void CVecFrame::DeleteAll(std::vector<CMetaBase*>& metas) {
    for (CMetaBase* m : metas) delete m;
    metas.clear();
}

CMetaBase* CVecFrame::GetMeta(int index) const {
    return index >= 0 && index < GetCount() ? m_metas[(size_t)index] : nullptr;
}

bool CVecFrame::IsGraphMeta(int index) const {
    CMetaBase* m = GetMeta(index);
    return m && m->GetBaseValue() >= METATYPE_GRAPH && m->GetBaseValue() <= METATYPE_OPTIC;
}

bool CVecFrame::IsTextMeta(int index) const {
    CMetaBase* m = GetMeta(index);
    return m && m->GetBaseValue() == METATYPE_TEXT;
}

CGraphMeta* CVecFrame::GetGraphMeta(int index) const {
    return IsGraphMeta(index) ? dynamic_cast<CGraphMeta*>(GetMeta(index)) : nullptr;
}

HRESULT CVecFrame::AddMeta(CMetaBase* meta, int type) {
    if (!meta)
        return E_POINTER;
    meta->SetBaseValue(type);
    meta->SetFrame(this);
    try {
        m_metas.push_back(meta);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CVecFrame::RemoveMeta(int index) {
    if (!GetMeta(index))
        return E_INVALIDARG;
    delete m_metas[(size_t)index];
    m_metas.erase(m_metas.begin() + index);
    return S_OK;
}

void CVecFrame::Clear() {
    TRACE_POINT();
    DeleteAll(m_metas);
}

HRESULT CVecFrame::DuplicateFrom(const CVecFrame& source) {
    TRACE_POINT();
    if (&source == this)
        return S_OK;
    Clear();
    for (CMetaBase* m : source.m_metas) {
        CMetaBase* copy = nullptr;
        HRESULT hr = m->Clone(&copy);
        if (FAILED(hr) || !copy) {
            LOG_MSG("DuplicateFrom fucn failed.memory is out.");
            return FAILED(hr) ? hr : E_OUTOFMEMORY;
        }
        hr = AddMeta(copy, m->GetBaseValue());
        if (FAILED(hr)) {
            delete copy;
            return hr;
        }
    }
    return S_OK;
}

void CVecFrame::RemoveEmptyMetas() {
    TRACE_POINT();
    for (int i = GetCount() - 1; i >= 0; --i)
        if (m_metas[(size_t)i]->IsHidden())
            RemoveMeta(i);
}

HRESULT CVecFrame::SetMetaRemoved(int index) {
    CMetaBase* m = GetMeta(index);
    if (!m) {
        LOG_MSG("Invalid Parameter input,nIndex is %d.", index);
        return E_INVALIDARG;
    }
    m->SetHidden(true);
    return S_OK;
}

HRESULT CVecFrame::DrawAll(HDC dc) {
    TRACE_POINT();
    m_trueColour = GetDeviceCaps(dc, BITSPIXEL) >= 24;
    // Upright, each meta that leaves the owner's rectangle clips itself;
    // turned, the owner's clip is made once for all of them.
    HRGN clip = nullptr;
    POINT four[4];
    RECT box;
    if ((WantsClip() || (m_flags & VECFRAME_BOARD)) && !GetUpright(&box) &&
        SUCCEEDED(GetOwnerCorners(four))) {
        LPtoDP(dc, four, 4);
        clip = CreatePolygonRgn(four, 4, ALTERNATE);
    }
    const int saved = clip ? SaveDC(dc) : 0;
    if (clip)
        ExtSelectClipRgn(dc, clip, RGN_AND);
    m_drawing = true;
    m_sharedClip = clip != nullptr;
    for (CMetaBase* m : m_metas) m->Draw(dc, TRUE);
    m_drawing = false;
    m_sharedClip = false;
    if (clip) {
        RestoreDC(dc, saved);
        DeleteObject(clip);
    }
    return S_OK;
}

bool CVecFrame::GetUpright(RECT* box) const {
    return GetOwnerDegree() % 36000 == 0 && SUCCEEDED(GetOwnerRect(box));
}

bool CVecFrame::IsTrueColour(HDC dc) const {
    return m_drawing ? m_trueColour : GetDeviceCaps(dc, BITSPIXEL) >= 24;
}

HRESULT CVecFrame::HitTest(POINT point, HDC dc, int** indexes, int* count) {
    TRACE_POINT();
    if (!indexes || !count)
        return E_POINTER;
    *indexes = nullptr;
    *count = 0;
    FromOwnerPoints(&point, 1);
    std::vector<int> hits;
    for (int i = 0; i < GetCount(); ++i) {
        CMetaBase* m = m_metas[(size_t)i];
        if (m->IsHidden())
            continue;
        const bool hit = IsTextMeta(i) ? m->HitTest(dc, point, 2) != 0
                                       : m->HitTest(dc, point, 2) || m->HitTest(dc, point, 1);
        if (hit)
            hits.push_back(i);
    }
    if (hits.empty())
        return S_OK;
    int* out = new (std::nothrow) int[hits.size()];
    if (!out) {
        LOG_MSG("can not allocate memory of size:%d.", (int)hits.size());
        return E_OUTOFMEMORY;
    }
    memcpy(out, hits.data(), hits.size() * sizeof(int));
    *indexes = out;
    *count = (int)hits.size();
    return S_OK;
}

HRESULT CVecFrame::Rotate(int angle) {
    TRACE_POINT();
    if (m_flags & VECFRAME_PATH)
        return S_OK;
    POINT centre = {0, 0};
    GetOwnerCenter(&centre);
    FromOwnerPoints(&centre, 1);
    for (int i = 0; i < GetCount(); ++i)
        if (CGraphMeta* g = GetGraphMeta(i))
            g->RotateObj(-angle, centre);
    return S_OK;
}

void CVecFrame::ToOwnerPoints(POINT* points, int n) const {
    if (m_owner && points && n > 0)
        m_owner->ToOwnerPoints(points, n);
}

void CVecFrame::FromOwnerPoints(POINT* points, int n) const {
    if (m_owner && points && n > 0)
        m_owner->FromOwnerPoints(points, n);
}

HRESULT CVecFrame::GetOwnerRect(RECT* rect) const {
    return m_owner ? m_owner->GetOwnerRect(rect) : E_FAIL;
}

HRESULT CVecFrame::GetOwnerCenter(POINT* centre) const {
    return m_owner ? m_owner->GetOwnerCenter(centre) : E_FAIL;
}

int CVecFrame::GetOwnerDegree() const {
    return m_owner ? m_owner->GetOwnerDegree() : 0;
}

HRESULT CVecFrame::GetOwnerCorners(POINT* four) const {
    RECT r;
    POINT c;
    if (!four || FAILED(GetOwnerRect(&r)) || FAILED(GetOwnerCenter(&c)))
        return E_FAIL;
    // Turned the way the render part turns its corners.
    RectToPoints(&r, c.x, c.y, GetOwnerDegree(), four);
    return S_OK;
}

CMetaEnv* CVecFrame::GetOwnerEnv() const {
    return m_owner ? m_owner->GetOwnerEnv() : nullptr;
}

IMetaEnv* CVecFrame::GetMetaEnv() const {
    return m_owner ? m_owner->GetMetaEnv() : nullptr;
}

HRESULT CVecFrame::Load(ITeskStream* stream, IMetaEnv* env) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    std::vector<uint8_t> head;
    if (!ReadStreamBytes(stream, 10, &head)) {
        LOG_MSG("CVecFrame::Load: short record");
        return E_FAIL;
    }
    CByteReader r(head.data(), head.size());
    const WORD flags = r.U16LE();
    const int nextId = r.I32LE();
    const int count = r.I32LE();
    const bool lengths = (flags & VECFRAME_LENGTHS) != 0;
    // Every meta takes at least its type id.
    if (count < 0 || !StreamHas(stream, (ULONGLONG)count * 4)) {
        LOG_MSG("CVecFrame::Load: %d metas beyond the stream", count);
        return E_FAIL;
    }
    std::vector<CMetaBase*> read;
    bool ok = true;
    try {
        for (int i = 0; ok && i < count; ++i) {
            std::vector<uint8_t> b;
            if (!ReadStreamBytes(stream, lengths ? 12 : 4, &b)) {
                ok = false;
                break;
            }
            CByteReader br(b.data(), b.size());
            const int type = br.I32LE();
            const long long length = lengths ? (long long)br.U64LE() : -1;
            if (lengths && (length < 0 || !StreamHas(stream, (ULONGLONG)length))) {
                LOG_MSG("CVecFrame::Load: meta %d of %lld bytes beyond the stream", i, length);
                ok = false;
                break;
            }
            const ULONGLONG start = stream->GetPosition();
            CMetaBase* meta = CreateMeta(type, env);
            if (!meta) {
                if (!lengths) {
                    LOG_MSG("CVecFrame::Load: meta type %d cannot be read", type);
                    ok = false;
                    break;
                }
                LOG_MSG("CVecFrame::Load: meta type %d skipped, %lld bytes", type, length);
                stream->Seek((LONGLONG)(start + (ULONGLONG)length), TESK_SEEK_SET);
                continue;
            }
            meta->SetBaseValue(type);
            meta->SetFrame(this);
            read.push_back(meta);
            if (FAILED(meta->LoadRecord(stream))) {
                ok = false;
                break;
            }
            // The frame's type, not the record's copy of it, says what it is.
            meta->SetBaseValue(type);
            if (lengths) {
                // A body read past its stated length is damaged.
                if (stream->GetPosition() > start + (ULONGLONG)length) {
                    LOG_MSG("CVecFrame::Load: meta %d runs past its length", i);
                    ok = false;
                    break;
                }
                stream->Seek((LONGLONG)(start + (ULONGLONG)length), TESK_SEEK_SET);
            }
        }
    } catch (const CTeskStreamExcept&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        LOG_MSG("CVecFrame::Load: damaged record, the frame kept");
        DeleteAll(read);
        return E_FAIL;
    }
    DeleteAll(m_metas);
    m_metas.swap(read);
    m_flags = flags;
    m_nextId = nextId;
    return S_OK;
}

HRESULT CVecFrame::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    m_flags |= VECFRAME_LENGTHS;
    StreamWriteValue(stream, (uint16_t)m_flags);
    StreamWriteValue(stream, (int32_t)m_nextId);
    RemoveEmptyMetas();
    StreamWriteValue(stream, (int32_t)GetCount());
    for (CMetaBase* m : m_metas) {
        StreamWriteValue(stream, (int32_t)m->GetBaseValue());
        const int64_t placeholder = 0;
        stream->Write(&placeholder, 8);
        const ULONGLONG start = stream->GetPosition();
        HRESULT hr = m->SaveRecord(stream);
        if (FAILED(hr))
            return hr;
        const ULONGLONG end = stream->GetPosition();
        const int64_t length = (int64_t)(end - start);
        stream->Seek((LONGLONG)start - 8, TESK_SEEK_SET);
        stream->Write(&length, 8);
        stream->Seek((LONGLONG)end, TESK_SEEK_SET);
    }
    return S_OK;
}

HRESULT CVecFrame::LoadFile(ITeskStream* stream, const char* fileName, BOOL share, IMetaEnv* env) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    std::vector<uint8_t> head;
    if (!ReadStreamBytes(stream, 26, &head)) {
        LOG_MSG("CVecFrame::LoadFile: short record");
        return E_FAIL;
    }
    CByteReader r(head.data(), head.size());
    const WORD flags = r.U16LE();
    const int nextId = r.I32LE();
    VecFileContext context;
    context.reference.left = r.I32LE();
    context.reference.top = r.I32LE();
    context.reference.right = r.I32LE();
    context.reference.bottom = r.I32LE();
    const int count = r.I32LE();
    if (count < 0 || !StreamHas(stream, (ULONGLONG)count * 4)) {
        LOG_MSG("CVecFrame::LoadFile: %d metas beyond the stream", count);
        return E_FAIL;
    }
    std::vector<CMetaBase*> read;
    bool ok = true;
    try {
        for (int i = 0; ok && i < count; ++i) {
            std::vector<uint8_t> b;
            if (!ReadStreamBytes(stream, 4, &b)) {
                ok = false;
                break;
            }
            CByteReader br(b.data(), b.size());
            const int type = br.I32LE();
            CMetaBase* meta = CreateMeta(type, env);
            if (!meta) {
                // Without a length nothing after it can be found.
                LOG_MSG("CVecFrame::LoadFile: meta type %d cannot be read", type);
                ok = false;
                break;
            }
            meta->SetBaseValue(type);
            meta->SetFrame(this);
            read.push_back(meta);
            if (type == METATYPE_TEXT) {
                ok = SUCCEEDED(meta->LoadRecord(stream));
            } else {
                CGraphMeta* graph = dynamic_cast<CGraphMeta*>(meta);
                context.position = i;
                ok = graph && SUCCEEDED(graph->LoadWithMedia(stream, fileName, &context, share));
            }
            meta->SetBaseValue(type);
        }
    } catch (const CTeskStreamExcept&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) {
        LOG_MSG("CVecFrame::LoadFile: damaged record, the frame kept");
        DeleteAll(read);
        return E_FAIL;
    }
    DeleteAll(m_metas);
    m_metas.swap(read);
    m_flags = flags;
    m_nextId = nextId;
    return S_OK;
}

HRESULT CVecFrame::SaveFile(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    StreamWriteValue(stream, (uint16_t)m_flags);
    StreamWriteValue(stream, (int32_t)m_nextId);
    RECT owner = {0, 0, 0, 0};
    GetOwnerRect(&owner);
    StreamWriteValue(stream, (int32_t)owner.left);
    StreamWriteValue(stream, (int32_t)owner.top);
    StreamWriteValue(stream, (int32_t)owner.right);
    StreamWriteValue(stream, (int32_t)owner.bottom);
    RemoveEmptyMetas();
    StreamWriteValue(stream, (int32_t)GetCount());
    std::vector<std::string> written;
    for (int i = 0; i < GetCount(); ++i) {
        CMetaBase* m = m_metas[(size_t)i];
        CGraphMeta* graph = IsGraphMeta(i) ? dynamic_cast<CGraphMeta*>(m) : nullptr;
        StreamWriteValue(stream, (int32_t)(graph ? m->GetBaseValue() : METATYPE_TEXT));
        if (!graph) {
            HRESULT hr = m->SaveRecord(stream);
            if (FAILED(hr))
                return hr;
            continue;
        }
        int index = -2;
        if (graph->GetFillType() == FILL_PICTURE) {
            // Names are compared as the file keeps them: at most 63 bytes.
            const std::string key = graph->PictureKey().substr(0, 63);
            index = -1;
            for (size_t k = 0; k < written.size() && index == -1; ++k)
                if (written[k] == key)
                    index = (int)k;
            if (index == -1)
                written.push_back(key);
        }
        HRESULT hr = graph->SaveWithMedia(stream, index);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

namespace {

CGraphMeta* CopyGraph(CGraphMeta* source, IMetaEnv* env) {
    CGraphMeta* copy = new (std::nothrow) CGraphMeta(env);
    if (copy && FAILED(copy->CopyFrom(*source))) {
        delete copy;
        return nullptr;
    }
    return copy;
}

// Appends m metas made of the source to the frame: its m parts when split
// (and m >= 2), else m copies.
HRESULT YieldMetas(CGraphMeta* source, int m, int split, CVecFrame* out) {
    for (int j = 0; j < m; ++j) {
        CGraphMeta* meta =
            split && m >= 2 ? source->GetPart(m, j) : CopyGraph(source, out->GetMetaEnv());
        if (!meta) {
            LOG_MSG("memory is out, so exec failed.");
            return E_OUTOFMEMORY;
        }
        if (split && m >= 2)
            meta->SetClosed(false);
        const HRESULT hr = out->AddMeta(meta, METATYPE_GRAPH);
        if (FAILED(hr)) {
            delete meta;
            return hr;
        }
    }
    return S_OK;
}

HRESULT AppendCopies(const CVecFrame& from, CVecFrame* to) {
    for (int i = 0; i < from.GetCount(); ++i)
        if (CGraphMeta* g = from.GetGraphMeta(i)) {
            const HRESULT hr = YieldMetas(g, 1, 0, to);
            if (FAILED(hr))
                return hr;
        }
    return S_OK;
}

}  // namespace

HRESULT CopyFrameForTween(const CVecFrame& frame, CVecFrame** copy) {
    if (!copy)
        return E_POINTER;
    delete *copy;
    *copy = new (std::nothrow) CVecFrame(frame.GetOwner(), frame.GetFlags());
    if (!*copy)
        return E_OUTOFMEMORY;
    return (*copy)->DuplicateFrom(frame);
}

HRESULT ConvertFrameForTween(CVecFrame* frame) {
    if (!frame)
        return E_POINTER;
    HDC screen = GetDC(nullptr);
    // Texts append their outlines: those are converted in the same pass.
    for (int i = 0; i < frame->GetCount(); ++i) {
        CMetaBase* m = frame->GetMeta(i);
        if (frame->IsTextMeta(i)) {
            if (CTextMeta* t = dynamic_cast<CTextMeta*>(m))
                t->GetContourData(screen, frame);
        } else if (CGraphMeta* g = frame->GetGraphMeta(i)) {
            if (!g->IsHidden() && g->GetKind() != GRAPH_POLYLINE &&
                m->GetBaseValue() == METATYPE_GRAPH)
                g->Convert2Polyline();
        }
    }
    frame->RemoveEmptyMetas();
    if (screen)
        ReleaseDC(nullptr, screen);
    return S_OK;
}

HRESULT MakeSameNumMetasAuto(const CVecFrame& a, const CVecFrame& b, CVecFrame* outA,
                             CVecFrame* outB, int split) {
    if (!outA || !outB)
        return E_POINTER;
    if (a.GetCount() == b.GetCount()) {
        HRESULT hr = outA->DuplicateFrom(a);
        return SUCCEEDED(hr) ? outB->DuplicateFrom(b) : hr;
    }
    outA->Clear();
    outB->Clear();
    const bool aLarger = a.GetCount() > b.GetCount();
    const CVecFrame& large = aLarger ? a : b;
    const CVecFrame& small = aLarger ? b : a;
    CVecFrame* largeOut = aLarger ? outA : outB;
    CVecFrame* smallOut = aLarger ? outB : outA;
    HRESULT hr = largeOut->DuplicateFrom(large);
    if (FAILED(hr)) {
        LOG_MSG("MakeSameNumMetasAuto func Failed.");
        return hr;
    }
    if (small.GetCount() == 0)
        return S_OK;
    const int q = large.GetCount() / small.GetCount(), r = large.GetCount() % small.GetCount();
    for (int i = 0; i < small.GetCount(); ++i) {
        CGraphMeta* g = small.GetGraphMeta(i);
        if (!g)
            continue;
        hr = YieldMetas(g, i < r ? q + 1 : q, split, smallOut);
        if (FAILED(hr))
            return hr;
    }
    // A closed outline paired with an open one: both morph open.
    const int n = outA->GetCount() < outB->GetCount() ? outA->GetCount() : outB->GetCount();
    for (int i = 0; i < n; ++i) {
        CGraphMeta *x = outA->GetGraphMeta(i), *y = outB->GetGraphMeta(i);
        if (!x || !y || x->IsClosed() == y->IsClosed())
            continue;
        CGraphMeta* closed = x->IsClosed() ? x : y;
        if (closed->GetCount() > 0) {
            const POINT first = closed->GetData()[0];
            closed->AddPoint(first.x, first.y);
        }
        closed->SetClosed(false);
    }
    return S_OK;
}

HRESULT MakeSameNumMetasById(const CVecFrame& a, const CVecFrame& b, CVecFrame* outA,
                             CVecFrame* outB, int split) {
    if (!outA || !outB)
        return E_POINTER;
    outA->Clear();
    outB->Clear();
    CVecFrame loneA(a.GetOwner(), a.GetFlags()), loneB(b.GetOwner(), b.GetFlags());
    std::vector<bool> matchedA((size_t)a.GetCount(), false), matchedB((size_t)b.GetCount(), false);
    HRESULT hr = S_OK;
    for (int i = 0; i < a.GetCount() && SUCCEEDED(hr); ++i) {
        CGraphMeta* g = a.GetGraphMeta(i);
        // An A meta already paired through the id of its B meta is not
        // paired again.
        if (!g || matchedA[(size_t)i])
            continue;
        std::vector<CGraphMeta*> found;
        for (int j = 0; j < b.GetCount(); ++j) {
            CGraphMeta* h = b.GetGraphMeta(j);
            if (h && !matchedB[(size_t)j] && h->GetMetaId() == g->GetMetaId()) {
                found.push_back(h);
                matchedB[(size_t)j] = true;
            }
        }
        const int m = (int)found.size();
        if (m >= 2) {
            hr = YieldMetas(g, m, split, outA);
            for (CGraphMeta* h : found)
                if (SUCCEEDED(hr))
                    hr = YieldMetas(h, 1, 0, outB);
            matchedA[(size_t)i] = true;
        } else if (m == 1) {
            std::vector<int> same;
            for (int k = 0; k < a.GetCount(); ++k) {
                CGraphMeta* o = a.GetGraphMeta(k);
                if (o && !matchedA[(size_t)k] && o->GetMetaId() == found[0]->GetMetaId())
                    same.push_back(k);
            }
            hr = YieldMetas(found[0], (int)same.size(), split, outB);
            for (int k : same) {
                if (SUCCEEDED(hr))
                    hr = YieldMetas(a.GetGraphMeta(k), 1, 0, outA);
                matchedA[(size_t)k] = true;
            }
        } else {
            hr = YieldMetas(g, 1, 0, &loneA);
        }
    }
    for (int j = 0; j < b.GetCount() && SUCCEEDED(hr); ++j)
        if (CGraphMeta* h = b.GetGraphMeta(j))
            if (!matchedB[(size_t)j])
                hr = YieldMetas(h, 1, 0, &loneB);
    if (FAILED(hr))
        return hr;
    if (loneA.GetCount() && loneB.GetCount()) {
        CVecFrame pairedA(a.GetOwner(), a.GetFlags()), pairedB(b.GetOwner(), b.GetFlags());
        hr = MakeSameNumMetasAuto(loneA, loneB, &pairedA, &pairedB, split);
        if (SUCCEEDED(hr))
            hr = AppendCopies(pairedA, outA);
        if (SUCCEEDED(hr))
            hr = AppendCopies(pairedB, outB);
    }
    return hr;
}

void CTweenPair::Clear() {
    m_figures.reset();
    m_a.reset();
    m_b.reset();
    m_matches.clear();
}

HRESULT CTweenPair::Prepare(const CVecFrame& a, const CVecFrame& b, const TweenParams& params) {
    TRACE_POINT();
    Clear();
    CVecFrame *copyA = nullptr, *copyB = nullptr;
    HRESULT hr = CopyFrameForTween(a, &copyA);
    if (SUCCEEDED(hr))
        hr = CopyFrameForTween(b, &copyB);
    std::unique_ptr<CVecFrame> holdA(copyA), holdB(copyB);
    if (FAILED(hr))
        return hr;
    ConvertFrameForTween(copyA);
    ConvertFrameForTween(copyB);
    for (const CVecFrame* f : {copyA, copyB})
        for (int i = 0; i < f->GetCount(); ++i) {
            const int type = f->GetMeta(i)->GetBaseValue();
            if (type >= METATYPE_MATH && type <= METATYPE_OPTIC) {
                m_figures = std::move(holdA);
                return S_OK;
            }
        }
    std::unique_ptr<CVecFrame> pa(new (std::nothrow)
                                      CVecFrame(copyA->GetOwner(), copyA->GetFlags())),
        pb(new (std::nothrow) CVecFrame(copyA->GetOwner(), copyA->GetFlags()));
    if (!pa || !pb)
        return E_OUTOFMEMORY;
    hr = params.pairing ? MakeSameNumMetasById(*copyA, *copyB, pa.get(), pb.get(), params.split)
                        : MakeSameNumMetasAuto(*copyA, *copyB, pa.get(), pb.get(), params.split);
    if (FAILED(hr) || pa->GetCount() == 0 || pb->GetCount() == 0)
        return S_OK;
    const bool mapped = (params.kind == 1 || params.kind == 3) && params.mapping;
    const int n = pa->GetCount() < pb->GetCount() ? pa->GetCount() : pb->GetCount();
    std::vector<std::vector<std::pair<int, int>>> matches((size_t)n);
    for (int k = 0; k < n; ++k) {
        CGraphMeta *u = pa->GetGraphMeta(k), *v = pb->GetGraphMeta(k);
        if (!u || !v)
            continue;
        if (mapped &&
            FAILED(CGraphMeta::CalcMapping(u->GetData(), u->GetCount(), v->GetData(), v->GetCount(),
                                           *params.mapping, &matches[(size_t)k], nullptr))) {
            LOG_MSG("CalcMapping func faield.");
            matches[(size_t)k].clear();
        }
        // By points; also where the matching refused the pair.
        if (matches[(size_t)k].empty())
            CGraphMeta::EqualizePointCount(u, v);
    }
    m_a = std::move(pa);
    m_b = std::move(pb);
    m_matches.swap(matches);
    return S_OK;
}

HRESULT CTweenPair::Fill(CVecFrame* out, float x) const {
    if (!out)
        return E_POINTER;
    if (m_figures)
        return out->DuplicateFrom(*m_figures);
    for (size_t k = 0; k < m_matches.size(); ++k) {
        CGraphMeta *u = m_a->GetGraphMeta((int)k), *v = m_b->GetGraphMeta((int)k);
        if (!u || !v)
            continue;
        CGraphMeta* meta = nullptr;
        if (!m_matches[k].empty()) {
            meta = CGraphMeta::MakeMatchedMeta(u, v, m_matches[k], x);
            if (!meta)
                return E_OUTOFMEMORY;
        } else {
            meta = new (std::nothrow) CGraphMeta(out->GetMetaEnv());
            if (!meta) {
                LOG_MSG(" can not allocated memory.");
                return E_OUTOFMEMORY;
            }
            CGraphMeta::InterpolateMeta(u, v, meta, x, true);
        }
        meta->SetFrame(out);
        meta->SetMetaId(out->TakeMetaId());
        meta->CalcBoundRect();
        const HRESULT hr = out->AddMeta(meta, METATYPE_GRAPH);
        if (FAILED(hr)) {
            delete meta;
            return hr;
        }
    }
    return S_OK;
}

HRESULT TweenFrames(const CVecFrame& a, const CVecFrame& b, CVecFrame* out, float x,
                    const TweenParams& params) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    CTweenPair pair;
    const HRESULT hr = pair.Prepare(a, b, params);
    return FAILED(hr) ? hr : pair.Fill(out, x);
}
