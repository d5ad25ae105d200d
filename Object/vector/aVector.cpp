#include "aVector.h"

#include <vector>

#include "bByteReader.h"
#include "bStorage.h"
#include "bTraceLog.h"

bool ReadStreamBytes(ITeskStream* stream, ULONGLONG n, std::vector<uint8_t>* out) {
    if (!stream || !out || !StreamHas(stream, n) || n > 0x7FFFFFFF)
        return false;
    out->resize((size_t)n);
    if (n)
        stream->Read(out->data(), (ULONG)n);
    return true;
}

CVecPath::CVecPath() : m_cornerPercent(0), m_editValue(0), m_kind(GRAPH_NONE) {}

CVecPath::~CVecPath() {}

int CVecPath::GetCount() const {
    return m_points.GetCount();
}

HRESULT CVecPath::SetPoint(int index, POINT point) {
    if (index < 0 || index >= m_points.GetCount())
        return E_INVALIDARG;
    m_points[index] = point;
    return S_OK;
}

HRESULT CVecPath::Rotate(int angle, POINT centre) {
    TRACE_POINT();
    RotatePoints(m_points.GetCount(), m_points.GetData(), centre.x, centre.y, -angle);
    return S_OK;
}

POINT CVecPath::GetPoint(int index) const {
    if (index < 0 || index >= m_points.GetCount()) {
        LOG_MSG("Parameter invalid,index is %d.", index);
        return POINT{0, 0};
    }
    return m_points[index];
}

int CVecPath::GetPoints(POINT* out, int n) const {
    int count = m_points.GetCount();
    if (n < count)
        count = n;
    if (!out || count <= 0)
        return 0;
    memcpy(out, m_points.GetData(), sizeof(POINT) * (size_t)count);
    return count;
}

HRESULT CVecPath::RemovePoint(int index) {
    if (!m_points.RemoveAt(index)) {
        LOG_MSG("Parameter invalid,index is %d.", index);
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CVecPath::AddPoint(int x, int y) {
    return m_points.Push(x, y) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CVecPath::CopyFrom(const CVecPath& source) {
    if (&source == this)
        return S_OK;
    m_points.RemoveAll();
    if (source.m_points.GetCount() &&
        !m_points.Append(source.GetData(), source.m_points.GetCount()))
        return E_OUTOFMEMORY;
    m_kind = source.m_kind;
    m_cornerPercent = source.m_cornerPercent;
    m_editValue = source.m_editValue;
    return S_OK;
}

HRESULT CVecPath::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    std::vector<uint8_t> head;
    if (!ReadStreamBytes(stream, 16, &head)) {
        LOG_MSG("CVecPath::Load: short record");
        return E_FAIL;
    }
    CByteReader r(head.data(), head.size());
    const int kind = r.I32LE();
    const int corner = r.I32LE();
    const int edit = r.I32LE();
    const int count = r.I32LE();
    std::vector<uint8_t> body;
    if (count < 0 || !ReadStreamBytes(stream, (ULONGLONG)count * 8, &body)) {
        LOG_MSG("CVecPath::Load: %d points beyond the stream", count);
        return E_FAIL;
    }
    CByteReader pr(body.data(), body.size());
    PointArray points;
    if (count && !points.SetSize(count))
        return E_OUTOFMEMORY;
    for (int i = 0; i < count; ++i) {
        points[i].x = pr.I32LE();
        points[i].y = pr.I32LE();
    }
    m_points.RemoveAll();
    if (count && !m_points.Append(points.GetData(), count))
        return E_OUTOFMEMORY;
    m_kind = kind;
    m_cornerPercent = corner;
    m_editValue = edit;
    return S_OK;
}

HRESULT CVecPath::Save(ITeskStream* stream) const {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    StreamWriteValue(stream, (int32_t)m_kind);
    StreamWriteValue(stream, (int32_t)m_cornerPercent);
    StreamWriteValue(stream, (int32_t)m_editValue);
    StreamWriteValue(stream, (int32_t)m_points.GetCount());
    if (m_points.GetCount())
        stream->Write(m_points.GetData(), (ULONG)(sizeof(POINT) * (size_t)m_points.GetCount()));
    return S_OK;
}

HRESULT CVecPath::Interpolate(const CVecPath& a, const CVecPath& b, CVecPath* out, float x) {
    TRACE_POINT();
    if (!out)
        return E_POINTER;
    const int k = (int)(x * 256);
    // Computed aside, so that out may be a or b itself.
    PointArray points;
    for (int i = 0; i < a.GetCount(); ++i) {
        const POINT p = a.GetPoint(i), q = b.GetPoint(i);
        // 32-bit arithmetic as stored shapes were made with: it wraps.
        const int px = (int)((unsigned)k * (unsigned)q.x + (unsigned)(256 - k) * (unsigned)p.x);
        const int py = (int)((unsigned)k * (unsigned)q.y + (unsigned)(256 - k) * (unsigned)p.y);
        if (!points.Push(px / 256, py / 256))
            return E_OUTOFMEMORY;
    }
    out->m_kind = a.m_kind;
    out->m_cornerPercent = a.m_cornerPercent;
    out->m_editValue = a.m_editValue;
    out->m_points.RemoveAll();
    if (points.GetCount() && !out->m_points.Append(points.GetData(), points.GetCount()))
        return E_OUTOFMEMORY;
    return S_OK;
}
