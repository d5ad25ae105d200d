#include "aPamAbl.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <new>

#include "aGrphMta.h"
#include "aObjClass.h"
#include "aPixBuf.h"
#include "aScriptAccess.h"
#include "aStorage.h"
#include "aVector.h"
#include "bByteReader.h"
#include "bLinStyl.h"
#include "bGrphLib.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// Fixed part of a path record before its points: kind, corner, value B,
// bounds, flags, value C, the 64-byte motion block, point count.
const size_t kRecordHead = 4 * 3 + 16 + 4 * 2 + 64 + 4;
// Extended attributes: line mode, width, second value, three colours, 16
// reserved bytes, last value.
const size_t kAttributes = 44;
const DWORD kDragMarker = 0xF0F0;
// Ends of a drag path within 6 units (x256, squared) count as closed.
const long long kClosedDistance = 0x240000;
const double kPi = 3.14159265358979323846;

long long Dist2(POINT a, POINT b) {
    const long long dx = (long long)a.x - b.x, dy = (long long)a.y - b.y;
    return dx * dx + dy * dy;
}

POINT Third(POINT a, POINT b, int weightA) {
    // (weightA * a + (3 - weightA) * b) / 3 with integer division.
    return POINT{(LONG)(((long long)a.x * weightA + (long long)b.x * (3 - weightA)) / 3),
                 (LONG)(((long long)a.y * weightA + (long long)b.y * (3 - weightA)) / 3)};
}

RECT BoundsOf(const std::vector<POINT>& points) {
    RECT r = {0, 0, 0, 0};
    if (points.empty())
        return r;
    r = {points[0].x, points[0].y, points[0].x, points[0].y};
    for (const POINT& p : points) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    return r;
}

}  // namespace

// ---- geometry ----

namespace PathGeometry {

int SegmentCount(int m) {
    return m < 2 ? 0 : (m - 1 + 2) / 3;
}

void SegmentPoints(const std::vector<POINT>& points, int i, POINT four[4]) {
    const int m = (int)points.size();
    const int first = 3 * i, last = std::min(3 * i + 3, m - 1);
    const int n = last - first + 1;
    const POINT* p = points.data() + first;
    if (n >= 4) {
        for (int k = 0; k < 4; ++k) four[k] = p[k];
    } else if (n == 3) {
        four[0] = p[0];
        four[1] = p[1];
        four[2] = p[1];
        four[3] = p[2];
    } else {
        four[0] = p[0];
        four[1] = Third(p[0], p[n - 1], 2);
        four[2] = Third(p[0], p[n - 1], 1);
        four[3] = p[n - 1];
    }
}

double SegmentLength(const POINT four[4]) {
    double c[5];
    BezierSpeedCoefficients(four[0], four[1], four[2], four[3], c);
    double length = 0;
    if (!SimponIntergral(c, 5, 0.0, 1.0, &length))
        return 0;
    return length;
}

SegmentCoefficients Coefficients(const POINT four[4], bool reverse) {
    POINT p[4];
    for (int k = 0; k < 4; ++k) p[k] = four[reverse ? 3 - k : k];
    SegmentCoefficients s;
    s.ax = 3.0 * p[1].x - p[0].x - 3.0 * p[2].x + p[3].x;
    s.bx = 3.0 * ((double)p[0].x + p[2].x - 2.0 * p[1].x);
    s.cx = 3.0 * ((double)p[1].x - p[0].x);
    s.dx = p[0].x;
    s.ay = 3.0 * p[1].y - p[0].y - 3.0 * p[2].y + p[3].y;
    s.by = 3.0 * ((double)p[0].y + p[2].y - 2.0 * p[1].y);
    s.cy = 3.0 * ((double)p[1].y - p[0].y);
    s.dy = p[0].y;
    return s;
}

bool ParameterAtDistance(const SegmentCoefficients& k, double s, double* t) {
    double c[5];
    c[0] = 9 * (k.ax * k.ax + k.ay * k.ay);
    c[1] = 12 * (k.ax * k.bx + k.ay * k.by);
    c[2] = 4 * (k.bx * k.bx + k.by * k.by) + 6 * (k.ax * k.cx + k.ay * k.cy);
    c[3] = 4 * (k.bx * k.cx + k.by * k.cy);
    c[4] = k.cx * k.cx + k.cy * k.cy;
    float T[21];
    double L[21];
    T[0] = 0;
    L[0] = 0;
    for (int i = 1; i <= 20; ++i) {
        T[i] = i == 20 ? 1.0f : (float)(0.05 * i);
        // The lengths accumulate interval by interval: the same integral as
        // from 0 each time, at a fraction of the evaluations.
        double part = 0;
        if (!SimponIntergral(c, 5, T[i - 1], T[i], &part)) {
            LOG_MSG("SimponIntergal func failed.");
            return false;
        }
        L[i] = L[i - 1] + part;
    }
    double M[21], W[21];
    for (int i = 1; i <= 20; ++i) M[i] = (L[i] - L[i - 1]) / ((double)T[i] - T[i - 1]);
    W[0] = W[1] = 1;
    for (int j = 2; j <= 20; ++j) W[j] = M[j] != 0 ? (M[j - 1] / M[j]) * W[j - 2] : W[j - 2];
    int i = 19;
    for (int n = 0; n < 20; ++n)
        if (s < L[n + 1]) {
            i = n;
            break;
        }
    const double den = W[i] * (s - L[i]) + W[i + 1] * (L[i + 1] - s);
    if (den == 0) {
        // A segment whose points coincide has no length: it sits at its start.
        if (L[20] == 0) {
            *t = 0;
            return true;
        }
        LOG_MSG("in CalcPos func meet unexpected error!");
        return false;
    }
    *t = (W[i] * T[i + 1] * (s - L[i]) + W[i + 1] * T[i] * (L[i + 1] - s)) / den;
    return true;
}

std::vector<POINT> CompleteChain(const std::vector<POINT>& points) {
    const int m = (int)points.size();
    if (m < 2)
        return points;
    std::vector<POINT> out;
    const int segments = SegmentCount(m);
    out.reserve((size_t)segments * 3 + 1);
    out.push_back(points[0]);
    for (int i = 0; i < segments; ++i) {
        POINT four[4];
        SegmentPoints(points, i, four);
        out.insert(out.end(), four + 1, four + 4);
    }
    return out;
}

int NearestDragPoint(const std::vector<POINT>& pts, int current, POINT p) {
    const int n = (int)pts.size();
    if (n == 0)
        return -1;
    int i = std::max(0, std::min(current, n - 1));
    const bool closed = Dist2(pts[(size_t)n - 1], pts[0]) <= kClosedDistance;
    auto step = [&](int j, int dir) {
        int k = j + dir;
        if (k < 0 || k >= n) {
            if (!closed)
                return -1;
            k = (k + n) % n;
        }
        return k;
    };
    auto d = [&](int j) { return Dist2(pts[(size_t)j], p); };
    const long long here = d(i);
    // Neighbours at exactly the same distance are passed over.
    int back = i, fwd = i;
    for (int guard = 0; guard < n; ++guard) {
        int k = step(back, -1);
        if (k < 0 || k == i || d(k) != here)
            break;
        back = k;
    }
    for (int guard = 0; guard < n; ++guard) {
        int k = step(fwd, 1);
        if (k < 0 || k == i || d(k) != here)
            break;
        fwd = k;
    }
    const int pb = step(back, -1), nf = step(fwd, 1);
    const bool backNearer = pb >= 0 && d(pb) < here;
    const bool fwdNearer = nf >= 0 && d(nf) < here;
    if (!backNearer && !fwdNearer)
        return i;
    int dir = 1, cur = nf;
    if (backNearer && (!fwdNearer || d(pb) < d(nf))) {
        dir = -1;
        cur = pb;
    }
    for (int guard = 0; guard < n; ++guard) {
        int k = step(cur, dir);
        if (k < 0 || k == i || d(k) > d(cur))
            break;
        cur = k;
    }
    return cur;
}

}  // namespace PathGeometry

using namespace PathGeometry;

// ---- life cycle ----

CPathMotion::CPathMotion()
    : m_motionFlags(PAM_REPEAT | PAM_NO_AUTO),
      m_passCount(1),
      m_startAngle(0),
      m_timeLimit(10000),
      m_dragFlags(0),
      m_dragPath(-1),
      m_dragIndex(-1),
      m_frame(nullptr),
      m_drag(this),
      m_ref(0),
      m_carrier(nullptr),
      m_typeInfo(nullptr),
      m_started(false),
      m_origin{0, 0},
      m_originSet(false) {
    m_startCode = EVT_OBJECTENTER;
    ResetMotion();
}

CPathMotion::~CPathMotion() {
    delete m_frame;
    if (m_typeInfo)
        m_typeInfo->Release();
}

HRESULT CreatePathMotion(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CPathMotion* p = new (std::nothrow) CPathMotion();
    if (!p)
        return E_OUTOFMEMORY;
    p->AddRef();
    HRESULT hr = p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
    p->Release();
    return hr;
}

STDMETHODIMP CPathMotion::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IUnknown* part = nullptr;
    if (IsEqualIID(iid, __uuidof(IDragControl))) {
        part = &m_drag;
    } else {
        const ObjectClassInfo& info = g_objectClasses[OBJCLASS_PATHANIMATE];
        const ClassRow* row =
            IsEqualIID(iid, IID_IUnknown) ? &info.rows[0] : FindClassRow(info, iid);
        if (row)
            switch (row->part) {
                case CPART_DISPATCH:
                    part = static_cast<IPathAnimate*>(this);
                    break;
                case CPART_ERRORINFO:
                    part = static_cast<ISupportErrorInfo*>(this);
                    break;
                case CPART_ABILITYCREATE:
                    part = static_cast<IAbilityCreate*>(this);
                    break;
                case CPART_CLASSINFO:
                    part = static_cast<IProvideClassInfo*>(this);
                    break;
                case CPART_LISTENER:
                    part = static_cast<IEventListener*>(this);
                    break;
                case CPART_ABILITY:
                    part = static_cast<IAbility*>(this);
                    break;
                default:
                    break;
            }
    }
    if (!part)
        return E_NOINTERFACE;
    part->AddRef();
    *ppv = part;
    return S_OK;
}

STDMETHODIMP_(ULONG) CPathMotion::AddRef() {
    return (ULONG)InterlockedIncrement(&m_ref);
}

STDMETHODIMP_(ULONG) CPathMotion::Release() {
    LONG n = InterlockedDecrement(&m_ref);
    if (n == 0) {
        m_ref = 1;  // tear-down may take and drop references
        delete this;
    }
    return (ULONG)n;
}

STDMETHODIMP CPathMotion::DragControl::QueryInterface(REFIID iid, void** ppv) {
    return Outer()->QueryInterface(iid, ppv);
}
STDMETHODIMP_(ULONG) CPathMotion::DragControl::AddRef() {
    return Outer()->AddRef();
}
STDMETHODIMP_(ULONG) CPathMotion::DragControl::Release() {
    return Outer()->Release();
}
STDMETHODIMP CPathMotion::DragControl::Load(ITeskStream* stream) {
    return Outer()->StaticAbility::Load(stream);
}
STDMETHODIMP CPathMotion::DragControl::Save(ITeskStream* stream) {
    return Outer()->StaticAbility::Save(stream);
}
STDMETHODIMP CPathMotion::DragControl::Attach(IUnknown* object) {
    return Outer()->Attach(object);
}
STDMETHODIMP CPathMotion::DragControl::GetTwoValues(LONG* a, LONG* b) {
    return Outer()->GetTwoValues(a, b);
}
STDMETHODIMP_(WORD) CPathMotion::DragControl::GetFlags() {
    return Outer()->m_dragFlags;
}

// ---- dispatch ----

ITypeInfo* CPathMotion::TypeInfo() {
    if (!m_typeInfo)
        GetObjectTypeInfo(__uuidof(IPathAnimateDispAbl), &m_typeInfo);
    return m_typeInfo;
}

STDMETHODIMP CPathMotion::GetTypeInfoCount(UINT* out) {
    if (!out)
        return E_POINTER;
    *out = 1;
    return S_OK;
}

STDMETHODIMP CPathMotion::GetTypeInfo(UINT, LCID, ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    *out = TypeInfo();
    if (!*out)
        return TYPE_E_CANTLOADLIBRARY;
    (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP CPathMotion::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ITypeInfo* info = TypeInfo();
    return info ? DispGetIDsOfNames(info, names, count, ids) : TYPE_E_CANTLOADLIBRARY;
}

STDMETHODIMP CPathMotion::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* ex, UINT* argError) {
    ITypeInfo* info = TypeInfo();
    if (!info)
        return TYPE_E_CANTLOADLIBRARY;
    return DispInvoke(static_cast<IPathAnimate*>(this), info, id, flags, params, result, ex,
                      argError);
}

STDMETHODIMP CPathMotion::get_CurveCount(long* out) {
    if (!out)
        return E_POINTER;
    *out = (long)m_loaded.size();
    return S_OK;
}

STDMETHODIMP CPathMotion::get_TimeCount(long* out) {
    if (!out)
        return E_POINTER;
    long long total = 0;
    for (const PathRecord& r : m_working) total += (long long)r.Delay() + r.Duration();
    if (!m_started)
        *out = 0;
    else if (m_motionFlags & PAM_BOUNDED)
        *out = m_timeLimit == 0 ? (long)(total * m_passCount) : (long)m_timeLimit;
    else if (m_motionFlags & PAM_REPEAT)
        *out = -1;
    else
        *out = (long)total;
    return S_OK;
}

STDMETHODIMP CPathMotion::GetCurPos(long* x, long* y) {
    if (!x || !y)
        return E_POINTER;
    *x = m_lastPos.x;
    *y = m_lastPos.y;
    return S_OK;
}

STDMETHODIMP CPathMotion::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualIID(iid, __uuidof(IPathAnimateDispAbl)) ? S_OK : S_FALSE;
}

STDMETHODIMP CPathMotion::GetClassInfo(ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    return GetObjectTypeInfo(*g_objectClasses[OBJCLASS_PATHANIMATE].clsid, out);
}

// ---- the owner ----

STDMETHODIMP CPathMotion::Attach(IUnknown* object) {
    m_carrier = object;
    IPlayerSite* site = nullptr;
    if (II_IRender* render = Render())
        render->GetSite(&site);
    SetSite(site);
    SetOwner(site);
    if (site && !m_pEventProc)
        InitEventProc(1, static_cast<IPathAnimate*>(this));
    return S_OK;
}

STDMETHODIMP CPathMotion::GetObject(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_carrier;
    if (m_carrier)
        m_carrier->AddRef();
    return S_OK;
}

II_IRender* CPathMotion::Render() {
    if (!m_carrier)
        return nullptr;
    II_IRender* render = nullptr;
    if (FAILED(m_carrier->QueryInterface(__uuidof(II_IRender), reinterpret_cast<void**>(&render))))
        return nullptr;
    // Borrowed like the owner itself.
    render->Release();
    return render;
}

bool CPathMotion::Displayed() {
    II_IRender* render = Render();
    if (!render || render->IsVisible() != 0)
        return false;
    const int state = render->GetState();
    return state >= RS_ENTERED && state <= RS_LEAVING;
}

POINT CPathMotion::Origin() {
    if (m_originSet)
        return m_origin;
    POINT p = {0, 0};
    if (II_IRender* render = Render())
        p = {render->GetAbsoluteX(), render->GetAbsoluteY()};
    return p;
}

void CPathMotion::ToOwnerPoints(POINT* points, int n) {
    const POINT o = Origin();
    for (int i = 0; i < n; ++i) {
        points[i].x += o.x;
        points[i].y += o.y;
    }
}

void CPathMotion::FromOwnerPoints(POINT* points, int n) {
    const POINT o = Origin();
    for (int i = 0; i < n; ++i) {
        points[i].x -= o.x;
        points[i].y -= o.y;
    }
}

HRESULT CPathMotion::GetOwnerRect(RECT* rect) {
    II_IRender* render = Render();
    if (!rect || !render)
        return E_FAIL;
    return render->GetBoundsRect(rect);
}

HRESULT CPathMotion::GetOwnerCenter(POINT* centre) {
    II_IRender* render = Render();
    if (!centre || !render)
        return E_FAIL;
    *centre = {render->GetXCenter(), render->GetYCenter()};
    return S_OK;
}

int CPathMotion::GetOwnerDegree() {
    II_IRender* render = Render();
    return render ? render->GetAngle() : 0;
}

void CPathMotion::GetEditState(MetaEditState* state) {
    if (state)
        *state = {FALSE, 0, 0};
}

// ---- records ----

HRESULT CPathMotion::ReadRecords(ITeskStream* stream, std::vector<PathRecord>* out) {
    int32_t count = 0;
    if (!StreamReadValue(stream, &count) || count < 0 ||
        !StreamHas(stream, (ULONGLONG)count * kRecordHead)) {
        LOG_MSG("CPathMotion::Load: path count %d past the stream's end", (int)count);
        return E_FAIL;
    }
    out->clear();
    out->resize((size_t)count);
    for (PathRecord& r : *out) {
        std::vector<uint8_t> head;
        if (!ReadStreamBytes(stream, kRecordHead, &head))
            return E_FAIL;
        CByteReader b(head.data(), head.size());
        r.kind = b.I32LE();
        r.corner = b.I32LE();
        r.valueB = b.I32LE();
        r.bounds.left = b.I32LE();
        r.bounds.top = b.I32LE();
        r.bounds.right = b.I32LE();
        r.bounds.bottom = b.I32LE();
        r.flags = b.I32LE();
        r.valueC = b.I32LE();
        for (int32_t& v : r.motion) v = b.I32LE();
        const int32_t m = b.I32LE();
        std::vector<uint8_t> body;
        if (m < 0 || !ReadStreamBytes(stream, (ULONGLONG)m * 8, &body)) {
            LOG_MSG("CPathMotion::Load: point count %d past the stream's end", (int)m);
            return E_FAIL;
        }
        CByteReader pb(body.data(), body.size());
        r.points.resize((size_t)m);
        for (POINT& p : r.points) {
            p.x = pb.I32LE();
            p.y = pb.I32LE();
        }
        if (r.flags & 0x10) {
            std::vector<uint8_t> attr;
            if (!ReadStreamBytes(stream, kAttributes, &attr))
                return E_FAIL;
            CByteReader ab(attr.data(), attr.size());
            r.lineMode = ab.I32LE();
            r.lineWidth = (int16_t)ab.U32LE();
            r.secondValue = (int16_t)ab.U32LE();
            for (uint32_t& c : r.colors) c = ab.U32LE();
            ab.Skip(16);
            r.lastValue = ab.I32LE();
        }
    }
    return S_OK;
}

void CPathMotion::WriteRecords(ITeskStream* stream, bool forFrame) {
    StreamWriteValue(stream, (int32_t)m_loaded.size());
    const POINT base =
        !m_loaded.empty() && !m_loaded[0].points.empty() ? m_loaded[0].points[0] : POINT{0, 0};
    for (const PathRecord& r : m_loaded) {
        StreamWriteValue(stream, r.kind);
        StreamWriteValue(stream, r.corner);
        StreamWriteValue(stream, r.valueB);
        StreamWriteValue(stream, (int32_t)r.bounds.left);
        StreamWriteValue(stream, (int32_t)r.bounds.top);
        StreamWriteValue(stream, (int32_t)r.bounds.right);
        StreamWriteValue(stream, (int32_t)r.bounds.bottom);
        StreamWriteValue(stream, (int32_t)(r.flags | 0x10));
        StreamWriteValue(stream, r.valueC);
        for (int32_t v : r.motion) StreamWriteValue(stream, v);
        StreamWriteValue(stream, (int32_t)r.points.size());
        for (const POINT& p : r.points) {
            StreamWriteValue(stream, (int32_t)(p.x - base.x));
            StreamWriteValue(stream, (int32_t)(p.y - base.y));
        }
        StreamWriteValue(stream, r.lineMode);
        StreamWriteValue(stream, (uint32_t)(uint16_t)r.lineWidth);
        StreamWriteValue(stream, (uint32_t)(uint16_t)r.secondValue);
        for (uint32_t c : r.colors) StreamWriteValue(stream, c);
        for (int i = 0; i < 4; ++i) StreamWriteValue(stream, (uint32_t)0);
        StreamWriteValue(stream, r.lastValue);
        // The graph meta's line-style reader takes a longer record.
        if (forFrame)
            for (size_t i = kAttributes; i < LINESTYLE_RECORD_SIZE; i += 4)
                StreamWriteValue(stream, (uint32_t)0);
    }
}

void CPathMotion::BuildFrame() {
    delete m_frame;
    m_frame = nullptr;
    CVecFrame* frame =
        new (std::nothrow) CVecFrame(static_cast<IVecFrameOwner*>(this), VECFRAME_PATH);
    if (!frame)
        return;
    CComPtr<ITeskStream> stream;
    if (FAILED(CreateMemStream(&stream, 30000))) {
        delete frame;
        return;
    }
    try {
        stream->SetMode(1);
        WriteRecords(stream, true);
        stream->SetMode(0);
        stream->Seek(0, TESK_SEEK_SET);
        int32_t count = 0;
        StreamReadValue(stream, &count);
        for (int i = 0; i < count; ++i) {
            CGraphMeta* meta = new (std::nothrow) CGraphMeta(GetMetaEnv());
            if (!meta || FAILED(meta->LoadGeometry(stream)) ||
                FAILED(frame->AddMeta(meta, METATYPE_GRAPH))) {
                delete meta;
                LOG_MSG("CPathMotion: path %d cannot be drawn", i);
                break;
            }
        }
    } catch (const CTeskStreamExcept&) {
        LOG_MSG("CPathMotion: the paths do not fit the drawing stream");
    }
    m_frame = frame;
}

STDMETHODIMP CPathMotion::LoadOwn(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    std::vector<uint8_t> head;
    if (!ReadStreamBytes(stream, 8 + 4, &head)) {
        LOG_MSG("CPathMotion::Load: short record");
        return E_FAIL;
    }
    CByteReader b(head.data(), head.size());
    b.Skip(8);
    const DWORD motionFlags = b.U32LE();
    HRESULT hr = LoadCodes(stream);
    if (FAILED(hr))
        return hr;
    std::vector<uint8_t> mid;
    if (!ReadStreamBytes(stream, 12, &mid)) {
        LOG_MSG("CPathMotion::Load: short record");
        return E_FAIL;
    }
    CByteReader m(mid.data(), mid.size());
    const DWORD passWord = m.U32LE();
    m.I32LE();  // the start angle is not kept
    const LONG limit = m.I32LE();
    std::vector<PathRecord> records;
    hr = ReadRecords(stream, &records);
    if (FAILED(hr))
        return hr;
    WORD dragFlags = 0;
    LONG dragPath = -1;
    if ((passWord >> 16) == kDragMarker) {
        std::vector<uint8_t> drag;
        if (!ReadStreamBytes(stream, 8, &drag)) {
            LOG_MSG("CPathMotion::Load: drag settings past the stream's end");
            return E_FAIL;
        }
        CByteReader d(drag.data(), drag.size());
        dragFlags = (WORD)d.U32LE();
        dragPath = d.I32LE();
    }
    m_motionFlags = motionFlags;
    m_passCount = (WORD)passWord;
    m_startAngle = 0;
    m_timeLimit = limit;
    m_dragFlags = dragFlags;
    m_dragPath = dragPath;
    m_loaded.swap(records);
    BuildFrame();
    return S_OK;
}

STDMETHODIMP CPathMotion::SaveOwn(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    StreamWriteValue(stream, (uint32_t)0);
    StreamWriteValue(stream, (uint32_t)0);
    StreamWriteValue(stream, (uint32_t)m_motionFlags);
    HRESULT hr = SaveCodes(stream);
    if (FAILED(hr))
        return hr;
    StreamWriteValue(stream, (uint32_t)m_passCount | (kDragMarker << 16));
    StreamWriteValue(stream, (int32_t)m_startAngle);
    StreamWriteValue(stream, (int32_t)m_timeLimit);
    WriteRecords(stream, false);
    StreamWriteValue(stream, (uint32_t)m_dragFlags);
    StreamWriteValue(stream, (int32_t)m_dragPath);
    return S_OK;
}

// ---- rebuilding ----

STDMETHODIMP CPathMotion::RebuildPaths() {
    m_working.clear();
    m_segLengths.clear();
    m_pathLengths.clear();
    const POINT base =
        !m_loaded.empty() && !m_loaded[0].points.empty() ? m_loaded[0].points[0] : POINT{0, 0};
    try {
        m_working = m_loaded;
        for (PathRecord& r : m_working) {
            for (POINT& p : r.points) {
                p.x -= base.x;
                p.y -= base.y;
            }
            r.bounds = BoundsOf(r.points);
            std::vector<POINT> out;
            const std::vector<POINT>& pts = r.points;
            const bool closed = r.Closed();
            switch (r.kind) {
                case GRAPH_LINE:
                    if (pts.size() >= 2)
                        out = {pts[0], Third(pts[0], pts[1], 2), Third(pts[0], pts[1], 1), pts[1]};
                    else
                        out = pts;
                    r.flags &= ~4;
                    break;
                case GRAPH_POLYLINE:
                case GRAPH_RECT: {
                    std::vector<POINT> poly = pts;
                    bool polyClosed = closed;
                    if (r.kind == GRAPH_RECT) {
                        const RECT& b = r.bounds;
                        poly = {{b.left, b.top},
                                {b.right, b.top},
                                {b.right, b.bottom},
                                {b.left, b.bottom}};
                        polyClosed = true;
                        r.flags |= 4;
                    }
                    POINT* ctrl = nullptr;
                    int n = 0;
                    if (!poly.empty() && SUCCEEDED(PointsToBezier(poly.data(), (int)poly.size(),
                                                                  &ctrl, &n, polyClosed))) {
                        out.assign(ctrl, ctrl + n);
                        free(ctrl);
                        if (polyClosed)
                            out.push_back(poly[0]);
                    }
                    break;
                }
                case GRAPH_BEZIER:
                    out = pts;
                    if (closed && !out.empty())
                        out.push_back(out[0]);
                    break;
                case GRAPH_ELLIPSE: {
                    const RECT& b = r.bounds;
                    for (int a = 0; a <= 36000; a += 1500) {
                        const long long c = CosCent(a), s = SinCent(a);
                        out.push_back(POINT{
                            (LONG)(((long long)b.right + b.left + (b.right - b.left) * c / 10000) /
                                   2),
                            (LONG)(((long long)b.top + b.bottom - (b.bottom - b.top) * s / 10000) /
                                   2)});
                    }
                    r.flags |= 4;
                    break;
                }
                case GRAPH_ROUNDRECT: {
                    const RECT& b = r.bounds;
                    int w = 0, h = 0;
                    RoundRectEllipseSize(&b, r.corner, &w, &h);
                    const int rx = w / 2, ry = h / 2;
                    // Corner centres and start angles, clockwise on screen
                    // from the top-left corner's end of the top edge.
                    struct Corner {
                        int cx, cy, start;
                    } corners[4] = {{b.right - rx, b.top + ry, 9000},
                                    {b.right - rx, b.bottom - ry, 0},
                                    {b.left + rx, b.bottom - ry, 27000},
                                    {b.left + rx, b.top + ry, 18000}};
                    std::vector<POINT> arcs;
                    for (const Corner& c : corners)
                        for (int k = 0; k < 4; ++k) {
                            const int a = c.start - 3000 * k;
                            arcs.push_back(
                                POINT{(LONG)(c.cx + (long long)rx * CosCent(a) / 10000),
                                      (LONG)(c.cy - (long long)ry * SinCent(a) / 10000)});
                        }
                    // Start at the top edge's left end, then each edge and corner.
                    const POINT start = arcs[15];
                    out.push_back(start);
                    for (int c = 0; c < 4; ++c) {
                        const POINT a = out.back(), e = arcs[(size_t)c * 4];
                        out.push_back(Third(a, e, 2));
                        out.push_back(Third(a, e, 1));
                        out.push_back(e);
                        for (int k = 1; k < 4; ++k) out.push_back(arcs[(size_t)c * 4 + k]);
                    }
                    // The last corner ends at the start: 25 points.
                    out.back() = start;
                    r.flags |= 4;
                    break;
                }
                default:
                    out = pts;
                    break;
            }
            r.points.swap(out);
            r.kind = GRAPH_BEZIER;
        }
    } catch (const std::bad_alloc&) {
        LOG_MSG("memory is out.can not run path motion ability.");
        m_working.clear();
        return E_OUTOFMEMORY;
    }
    // Segment lengths, once per rebuild.
    for (const PathRecord& r : m_working) {
        std::vector<double> lengths;
        double total = 0;
        const int segs = SegmentCount((int)r.points.size());
        for (int i = 0; i < segs; ++i) {
            POINT four[4];
            SegmentPoints(r.points, i, four);
            lengths.push_back(SegmentLength(four));
            total += lengths.back();
        }
        m_segLengths.push_back(lengths);
        m_pathLengths.push_back(total);
    }
    if (II_IRender* render = Render()) {
        m_origin = {render->GetAbsoluteX(), render->GetAbsoluteY()};
        m_originSet = true;
    }
    HRESULT hr = CalcDragPathPoint();
    if (FAILED(hr)) {
        LOG_MSG("can not CalcDragPathPoint.");
        return hr;
    }
    ResetMotion();
    return S_OK;
}

double CPathMotion::PathLength(int index) const {
    if (index < 0 || index >= (int)m_pathLengths.size())
        return 0;
    return m_pathLengths[(size_t)index];
}

void CPathMotion::ResetMotion() {
    m_pass = 0;
    m_path = 0;
    m_fraction = 0;
    m_distance = 0;
    m_lastPos = {0, 0};
    m_angle = m_startAngle;
    m_passChanged = false;
    m_appliedPos = {0, 0};
    m_appliedAngle = m_startAngle;
}

HRESULT CPathMotion::CalcDragPathPoint() {
    m_dragPoints.clear();
    m_dragIndex = -1;
    const int mode = m_dragFlags & PAM_DRAG_MODE_MASK;
    if (!(m_dragFlags & PAM_DRAG_ENABLED) || mode == PAM_DRAG_FREE || m_dragPath < 0 ||
        m_dragPath >= (LONG)m_working.size())
        return S_OK;
    for (size_t i = 0; i < m_working.size(); ++i) {
        std::vector<POINT> chain = CompleteChain(m_working[i].points);
        if (chain.size() < 4)
            continue;
        ScalePointsUp(chain.data(), (int)chain.size());
        POINT* flat = nullptr;
        int n = 0;
        if (FAILED(FlattenBezier(chain.data(), (int)chain.size(), &flat, &n))) {
            LOG_MSG("can not CreateBezierPoint.");
            return E_FAIL;
        }
        const size_t first = m_dragPoints.size();
        for (int k = 0; k < n; ++k)
            if (k == 0 || flat[k].x != flat[k - 1].x || flat[k].y != flat[k - 1].y)
                m_dragPoints.push_back(flat[k]);
        free(flat);
        if ((LONG)i == m_dragPath && m_dragPoints.size() > first) {
            const int count = (int)(m_dragPoints.size() - first);
            switch (m_dragFlags & PAM_DRAG_START_MASK) {
                case 0:
                    m_dragIndex = (int)first;
                    break;
                case PAM_DRAG_START_MIDDLE:
                    m_dragIndex = (int)m_dragPoints.size() - count / 2;
                    break;
                case PAM_DRAG_START_LAST:
                    m_dragIndex = (int)m_dragPoints.size() - 1;
                    break;
                default:
                    break;
            }
        }
    }
    II_IRender* render = Render();
    if (!render) {
        LOG_MSG("can not query II_IRender Interface.");
        m_dragPoints.clear();
        return E_NOINTERFACE;
    }
    const POINT o = Origin();
    for (POINT& p : m_dragPoints) {
        p.x += o.x * 256;
        p.y += o.y * 256;
    }
    return S_OK;
}

// ---- the motion ----

HRESULT CPathMotion::GetDrawSite(double tau, DrawSite* out) {
    *out = DrawSite{m_lastPos, {0, 0}, m_angle, 0, false, false, m_pass, m_path};
    const int n = (int)m_working.size();
    std::vector<double> start((size_t)n + 1), motionStart((size_t)n);
    double T = 0;
    for (int i = 0; i < n; ++i) {
        start[(size_t)i] = T;
        motionStart[(size_t)i] = T + m_working[(size_t)i].Delay();
        T += (double)m_working[(size_t)i].Delay() + m_working[(size_t)i].Duration();
    }
    start[(size_t)n] = T;
    if (T == 0)
        return S_OK;
    double L = m_timeLimit;
    if ((m_motionFlags & PAM_BOUNDED) && L == 0)
        L = (double)m_passCount * T;
    const double bound = (m_motionFlags & PAM_REPEAT) ? L : std::min(L, T);
    if (bound != 0 && (m_motionFlags & PAM_BOUNDED) && tau > bound)
        return S_OK;
    int passes = 0;
    if (m_motionFlags & PAM_REPEAT)
        while (tau > T) {
            tau -= T;
            ++passes;
        }
    if ((m_motionFlags & PAM_ALTERNATE) && (passes & 1))
        tau = T - tau;
    for (int i = 0; i < n; ++i)
        if (start[(size_t)i] <= tau && tau < motionStart[(size_t)i])
            tau = motionStart[(size_t)i];
    int k = -1;
    for (int i = 0; i < n; ++i)
        if (motionStart[(size_t)i] <= tau && tau <= start[(size_t)i + 1]) {
            k = i;
            break;
        }
    if (k < 0) {
        LOG_MSG("GetDrawSite meet some unexpected Error!.");
        return E_UNEXPECTED;
    }
    const PathRecord& path = m_working[(size_t)k];
    const double span = start[(size_t)k + 1] - motionStart[(size_t)k];
    // A path of no duration is run through at once.
    const float f = span > 0 ? (float)((tau - motionStart[(size_t)k]) / span) : 1.0f;
    // CalcRelaDist
    if (!(f >= 0 && f <= 1)) {
        LOG_MSG("CalcRelaDist Input parameters Error.");
        LOG_MSG("CalcRelaDist func failed.");
        return E_UNEXPECTED;
    }
    int j = std::min(9, (int)(f * 10));
    while (j > 0 && f < j * 0.1f) --j;
    while (j < 9 && f >= (j + 1) * 0.1f) ++j;
    const double vj = path.motion[5 + j] * 0.0001, vj1 = path.motion[6 + j] * 0.0001;
    // CalcActuDist
    const double tj = j * 0.1, tj1 = (j + 1) * 0.1;
    const double fraction = ((f - tj) * vj1 + (tj1 - f) * vj) / (tj1 - tj);
    const double s = fraction * PathLength(k);
    // CalcPos
    if (!(s >= -1e-9)) {
        LOG_MSG("CalcPos func parameter error.");
        LOG_MSG("CalcPos func Failed.");
        return E_UNEXPECTED;
    }
    const std::vector<double>& lengths = m_segLengths[(size_t)k];
    const int segs = (int)lengths.size();
    if (segs == 0) {
        LOG_MSG("CalcWhichSeg func meet unexpected error!.");
        return E_UNEXPECTED;
    }
    const bool forward = path.Direction() != 0;
    double rest = std::max(0.0, s);
    int seg = -1;
    for (int w = 0; w < segs; ++w) {
        const int i = forward ? w : segs - 1 - w;
        if (rest < lengths[(size_t)i] || w == segs - 1) {
            seg = i;
            break;
        }
        rest -= lengths[(size_t)i];
    }
    if (rest > lengths[(size_t)seg] + 0.00001) {
        LOG_MSG("CalcWhichSeg func meet unexpected error!.");
        LOG_MSG("CalcWhichSeg func Failed.");
        return E_UNEXPECTED;
    }
    rest = std::min(rest, lengths[(size_t)seg]);
    POINT four[4];
    SegmentPoints(path.points, seg, four);
    const SegmentCoefficients c = Coefficients(four, !forward);
    double t = 0;
    if (!ParameterAtDistance(c, rest, &t)) {
        LOG_MSG("CalcPos func Failed.");
        return E_UNEXPECTED;
    }
    const POINT pos = {(LONG)(((c.ax * t + c.bx) * t + c.cx) * t + c.dx),
                       (LONG)(((c.ay * t + c.by) * t + c.cy) * t + c.dy)};
    // The pass changed: the motion starts over from its first path.
    const bool passChanged = passes != m_pass;
    int prevPath = m_path;
    float prevF = m_fraction;
    LONG angle = m_angle;
    if (passChanged) {
        m_pass = passes;
        m_path = 0;
        m_fraction = 0;
        m_distance = 0;
        m_lastPos = {0, 0};
        m_angle = m_startAngle;
        angle = m_startAngle;
        prevPath = -1;
        prevF = 0;
    }
    const bool entered = k != prevPath;
    // Carry of the turns left behind.
    if (k > prevPath) {
        if (prevPath >= 0 && m_working[(size_t)prevPath].RollMode() == 2)
            angle += (LONG)((1 - prevF) * m_working[(size_t)prevPath].RollAngle() * 100);
        for (int i = prevPath + 1; i < k; ++i)
            if (m_working[(size_t)i].RollMode() == 2)
                angle += m_working[(size_t)i].RollAngle() * 100;
    }
    switch (path.RollMode()) {
        case 2:
            angle += entered ? (LONG)(f * path.RollAngle() * 100)
                             : (LONG)((f - prevF) * path.RollAngle() * 100);
            break;
        case 1: {
            const double dx = (3 * c.ax * t + 2 * c.bx) * t + c.cx;
            const double dy = (3 * c.ay * t + 2 * c.by) * t + c.cy;
            double theta;
            if (dx == 0)
                theta = dy >= 0 ? kPi / 2 : 3 * kPi / 2;
            else {
                theta = atan(dy / dx);
                if (dx < 0)
                    theta += kPi;
                else if (dy < 0)
                    theta += 2 * kPi;
            }
            angle = -((LONG)floor(theta * 5729.577951289617 + 0.5) + 18000);
            break;
        }
        default:
            break;
    }
    while (angle > 35999) angle -= 36000;
    out->pos = pos;
    out->delta = {pos.x - m_appliedPos.x, pos.y - m_appliedPos.y};
    out->angle = angle;
    out->deltaAngle = angle - m_appliedAngle;
    out->passChanged = passChanged;
    out->pathChanged = entered;
    out->pass = passes;
    out->path = k;
    m_passChanged = passChanged;
    m_path = k;
    m_fraction = f;
    m_distance = s;
    m_lastPos = pos;
    m_angle = angle;
    return S_OK;
}

void CPathMotion::FireInt(DWORD id, int value) {
    ResetArgs(1);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_INT;
    v.intVal = value;
    PushArg(v);
    EventProcHolder::Invoke(id);
}

void CPathMotion::Apply(const DrawSite& site) {
    II_IRender* render = Render();
    if (!render) {
        LOG_MSG("can not query II_IRender Interface.");
        return;
    }
    if (site.delta.x || site.delta.y)
        render->OffsetBounds(site.delta.x, site.delta.y);
    if (site.deltaAngle)
        render->RotateBy(site.deltaAngle);
    m_appliedPos = site.pos;
    m_appliedAngle = site.angle;
}

void CPathMotion::Advance() {
    if (m_motionFlags & PAM_NO_AUTO)
        return;
    double T = 0;
    for (const PathRecord& r : m_working) T += (double)r.Delay() + r.Duration();
    if (T == 0)
        return;
    const double tau = TotalTime();
    if (m_motionFlags & PAM_BOUNDED) {
        const double bound = m_timeLimit == 0 ? (double)m_passCount * T : (double)m_timeLimit;
        // A bound of 0 ends the run at once.
        if (tau > bound || bound == 0) {
            FireNoArgs(PAM_EVT_END);
            Stop();
            if (m_timeLimit == 0)
                PlaceAtEnd();
            return;
        }
    }
    DrawSite site;
    HRESULT hr = GetDrawSite(tau, &site);
    if (FAILED(hr)) {
        LOG_MSG("GetDrawSite func failed.dwCurrTime is %f.", tau);
        return;
    }
    if (site.passChanged) {
        FireInt(PAM_EVT_RELOOP, site.pass + 1);
        FireInt(PAM_EVT_CHANGECURVE, site.path + 1);
    } else if (site.pathChanged) {
        FireInt(PAM_EVT_CHANGECURVE, site.path + 1);
    }
    // The event's actions may have stopped the motion or taken the object.
    if (GetState() != ABILITY_RUNNING)
        return;
    Apply(site);
    const int mode = m_dragFlags & PAM_DRAG_MODE_MASK;
    if (mode == PAM_DRAG_POINTS || mode == PAM_DRAG_PATH)
        if (II_IRender* render = Render())
            UpdateNearest(POINT{render->GetXCenter(), render->GetYCenter()});
}

STDMETHODIMP CPathMotion::OnClock() {
    CAbility::OnClock();
    Advance();
    return S_OK;
}

void CPathMotion::PlaceAt(POINT page) {
    if (II_IRender* render = Render())
        render->OffsetBounds(page.x - render->GetAbsoluteX(), page.y - render->GetAbsoluteY());
}

void CPathMotion::PlaceAtStart() {
    RebuildPaths();
    DrawSite site;
    GetDrawSite(TotalTime(), &site);
    const POINT o = Origin();
    const POINT first =
        !m_working.empty() && !m_working[0].points.empty() ? m_working[0].points[0] : POINT{0, 0};
    PlaceAt(POINT{o.x + first.x, o.y + first.y});
    m_appliedPos = first;
    m_appliedAngle = m_angle;
    const int mode = m_dragFlags & PAM_DRAG_MODE_MASK;
    const bool validPath = m_dragPath >= 0 && m_dragPath < (LONG)m_working.size();
    if (mode == PAM_DRAG_POINTS && validPath && m_dragIndex >= 0 &&
        m_dragIndex < (int)m_dragPoints.size()) {
        const POINT p = m_dragPoints[(size_t)m_dragIndex];
        PlaceAt(POINT{p.x / 256, p.y / 256});
    } else if (mode == PAM_DRAG_PATH && (m_dragFlags & PAM_DRAG_CENTRE) && validPath &&
               m_working[(size_t)m_dragPath].Closed()) {
        const RECT b = BoundsOf(m_working[(size_t)m_dragPath].points);
        PlaceAt(POINT{o.x + (b.left + b.right) / 2, o.y + (b.top + b.bottom) / 2});
    }
}

void CPathMotion::PlaceAtEnd() {
    if (m_working.empty())
        return;
    const bool alternate = (m_motionFlags & PAM_ALTERNATE) != 0;
    const PathRecord& path = alternate ? m_working.front() : m_working.back();
    if (path.points.empty())
        return;
    const POINT p = path.Closed() || alternate ? path.points.front() : path.points.back();
    const POINT o = Origin();
    PlaceAt(POINT{o.x + p.x, o.y + p.y});
    m_appliedPos = p;
}

STDMETHODIMP CPathMotion::Start() {
    CAbility::Stop();
    HRESULT hr = CAbility::Start();
    if (FAILED(hr))
        return hr;
    m_started = true;
    PlaceAtStart();
    FireNoArgs(PAM_EVT_START);
    return S_OK;
}

STDMETHODIMP CPathMotion::Pause() {
    const bool running = GetState() == ABILITY_RUNNING;
    HRESULT hr = CAbility::Pause();
    if (running && SUCCEEDED(hr))
        FireNoArgs(PAM_EVT_PAUSE);
    return hr;
}

STDMETHODIMP CPathMotion::Resume() {
    const bool paused = GetState() == ABILITY_PAUSED;
    HRESULT hr = CAbility::Resume();
    if (paused && SUCCEEDED(hr))
        FireNoArgs(PAM_EVT_RESUME);
    return hr;
}

STDMETHODIMP CPathMotion::Stop() {
    return CAbility::Stop();
}

// ---- events and dragging ----

STDMETHODIMP CPathMotion::OnEvent(DWORD id, DWORD_PTR, DWORD_PTR arg2) {
    CAbility::OnEvent((LONG)id);
    if (id == EVT_OBJECTEXIT && GetState() != ABILITY_STOPPED) {
        FireNoArgs(PAM_EVT_END);
        Stop();
    } else if (id == 1119 && arg2) {
        Drag(reinterpret_cast<const DragRecord*>(arg2));
    }
    return S_OK;
}

HRESULT CPathMotion::UpdateNearest(POINT p) {
    if (m_dragPoints.empty())
        return E_FAIL;
    m_dragIndex = NearestDragPoint(m_dragPoints, m_dragIndex, POINT{p.x * 256, p.y * 256});
    return S_OK;
}

void CPathMotion::Drag(const DragRecord* record) {
    II_IRender* render = Render();
    if (!render) {
        LOG_MSG("can not query II_IRender Interface.");
        return;
    }
    const POINT wanted = {record->startX + (record->x - record->downX),
                          record->startY + (record->y - record->downY)};
    const int mode = m_dragFlags & PAM_DRAG_MODE_MASK;
    auto toDragPoint = [&]() {
        if (SUCCEEDED(UpdateNearest(wanted)) && m_dragIndex >= 0) {
            const POINT p = m_dragPoints[(size_t)m_dragIndex];
            render->OffsetBounds(p.x / 256 - render->GetXCenter(),
                                 p.y / 256 - render->GetYCenter());
        }
    };
    if (mode == PAM_DRAG_POINTS) {
        toDragPoint();
    } else if (mode == PAM_DRAG_PATH) {
        bool inside = false;
        const POINT o = Origin();
        for (const PathRecord& r : m_working) {
            if (!r.Closed() || r.points.size() < 2)
                continue;
            std::vector<POINT> pts = r.points;
            for (POINT& p : pts) {
                p.x += o.x;
                p.y += o.y;
            }
            HDC dc = CreateCompatibleDC(nullptr);
            HRGN region = dc ? BezierRegion(dc, pts.data(), (int)pts.size()) : nullptr;
            if (!region) {
                LOG_MSG("CreateBezierRgn API func Failed.");
            } else {
                inside = PtInRegion(region, record->x, record->y) != 0;
                DeleteObject(region);
            }
            if (dc)
                DeleteDC(dc);
            if (inside)
                break;
        }
        if (inside)
            render->MoveTo(wanted.x, wanted.y);
        else
            toDragPoint();
    } else {
        render->MoveTo(wanted.x, wanted.y);
    }
}

// ---- drawing and bounds ----

STDMETHODIMP CPathMotion::DrawPaths(IPixelBuffer* target) {
    if (!target)
        return E_POINTER;
    if (!(m_dragFlags & PAM_SHOW_PATHS) || !Displayed())
        return S_FALSE;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return E_FAIL;
    HRESULT hr = DrawPathsOn(dc);
    target->ReleaseDC(dc);
    return hr;
}

STDMETHODIMP CPathMotion::DrawPathsOn(HDC dc) {
    if (!dc)
        return E_INVALIDARG;
    return m_frame ? m_frame->DrawAll(dc) : S_FALSE;
}

STDMETHODIMP CPathMotion::GetBounds(RECT* out) {
    if (!out)
        return E_POINTER;
    SetRectEmpty(out);
    if (!(m_dragFlags & PAM_SHOW_PATHS) || !Displayed())
        return S_FALSE;
    const POINT o = Origin();
    for (const PathRecord& r : m_working) {
        RECT b = BoundsOf(r.points);
        const int grow = (uint16_t)r.lineWidth / 2 + 10;
        InflateRect(&b, grow, grow);
        OffsetRect(&b, o.x, o.y);
        if (IsRectEmpty(out))
            *out = b;
        else
            UnionRect(out, out, &b);
    }
    return S_OK;
}

STDMETHODIMP_(BOOL) CPathMotion::GetShowPaths() {
    return (m_dragFlags & PAM_SHOW_PATHS) ? TRUE : FALSE;
}

STDMETHODIMP CPathMotion::SetShowPaths(BOOL on) {
    if (on)
        m_dragFlags |= PAM_SHOW_PATHS;
    else
        m_dragFlags &= (WORD)~PAM_SHOW_PATHS;
    return S_OK;
}
