#include "aMetaFil.h"

#include <vector>

#include "aMtaEx.h"
#include "aStorage.h"
#include "aVecFrm.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// The snapshot stream's first block and growth step.
const int kSnapshotBlock = 32000;

}  // namespace

MetaFillHolder::MetaFillHolder() : m_meta(nullptr) {
    if (FAILED(CreateMemStream(&m_stream, kSnapshotBlock)))
        m_stream = nullptr;
}

MetaFillHolder::~MetaFillHolder() {}

HRESULT MetaFillHolder::Attach(CGraphMetaEx* meta) {
    m_meta = meta;
    if (!meta)
        return E_POINTER;
    return TakeSnapshot(meta->GetShadeFillPtr());
}

HRESULT MetaFillHolder::TakeSnapshot(FillObject* fill) {
    m_drawn = nullptr;
    HRESULT hr = E_FAIL;
    if (fill && m_stream) {
        try {
            m_stream->Seek(0, TESK_SEEK_SET);
            m_stream->SetMode(1);
            hr = fill->Save(m_stream);
        } catch (const CTeskStreamExcept&) {
            hr = E_FAIL;
        }
    }
    if (FAILED(hr)) {
        LOG_MSG("m_pGraphMetaEx->GetShadeFillPtr() save failed.\n");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT MetaFillHolder::RestoreSnapshot(FillObject* fill) {
    HRESULT hr = E_FAIL;
    if (fill && m_stream) {
        try {
            m_stream->Seek(0, TESK_SEEK_SET);
            m_stream->SetMode(0);
            hr = fill->Load(m_stream);
        } catch (const CTeskStreamExcept&) {
            hr = E_FAIL;
        }
    }
    if (FAILED(hr))
        LOG_MSG("pShdFill Load func Failed.");
    return hr;
}

HRESULT MetaFillHolder::CopySnapshot(MetaFillHolder& other) {
    m_drawn = nullptr;
    if (!m_stream || !other.m_stream)
        return E_FAIL;
    const ULONGLONG size = other.m_stream->GetSize();
    std::vector<uint8_t> bytes;
    try {
        bytes.resize((size_t)size);
        other.m_stream->Seek(0, TESK_SEEK_SET);
        other.m_stream->SetMode(0);
        if (size)
            other.m_stream->Read(bytes.data(), (ULONG)size);
        m_stream->Seek(0, TESK_SEEK_SET);
        m_stream->SetMode(1);
        if (size)
            m_stream->Write(bytes.data(), (ULONG)size);
    } catch (const CTeskStreamExcept&) {
        return E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT MetaFillHolder::SetParams(int type, COLORREF data, const char* picture, int pattern) {
    FillObject* fill = m_meta ? m_meta->GetShadeFillPtr() : nullptr;
    if (!fill)
        return E_FAIL;
    fill->SetFillType(type);
    void* params = nullptr;
    if (SUCCEEDED(fill->GetFillParams(&params)) && params) {
        if (type == FILL_SOLID)
            static_cast<ISolidFillParams*>(params)->SetColor(data);
        else if (type == FILL_PICTURE && picture)
            static_cast<IPictureFillParams*>(params)->SetPictureName(picture);
    }
    int mode = 0;
    if (SUCCEEDED(fill->GetMode(&mode)) && mode == FILLMODE_PATTERN)
        fill->SetPattern(pattern);
    return TakeSnapshot(fill);
}

HRESULT MetaFillHolder::Save(ITeskStream* stream) {
    FillObject* fill = m_meta ? m_meta->GetShadeFillPtr() : nullptr;
    if (!fill || !stream)
        return E_POINTER;
    RestoreSnapshot(fill);
    const HRESULT hr = fill->Save(stream);
    if (FAILED(hr))
        LOG_MSG("m_pGraphMetaEx->GetShadeFillPtr() save failed");
    return hr;
}

HRESULT MetaFillHolder::Load(ITeskStream* stream) {
    FillObject* fill = m_meta ? m_meta->GetShadeFillPtr() : nullptr;
    if (!fill || !stream)
        return E_POINTER;
    const HRESULT hr = fill->Load(stream);
    if (FAILED(hr)) {
        LOG_MSG("m_pShadeFill Load func Failed.");
        return hr;
    }
    return TakeSnapshot(fill);
}

FillObject* MetaFillHolder::SnapshotFill() {
    if (!m_drawn) {
        CComPtr<FillObject> fill;
        fill.Attach(CreateFillObject());
        if (!fill || FAILED(RestoreSnapshot(fill)))
            return nullptr;
        m_drawn = fill;
        m_solid = SolidOf(fill);
    }
    return m_drawn;
}

COLORREF MetaFillHolder::SolidOf(FillObject* fill) {
    int type = -1, mode = 0;
    BYTE alpha = 0;
    void* params = nullptr;
    COLORREF color = CLR_INVALID;
    if (FAILED(fill->GetFillType(&type)) || type != FILL_SOLID || FAILED(fill->GetMode(&mode)) ||
        mode != FILLMODE_FILL || FAILED(fill->GetAlpha(&alpha)) || alpha != 255 ||
        FAILED(fill->GetFillParams(&params)) || !params ||
        FAILED(static_cast<ISolidFillParams*>(params)->GetColor(&color)))
        return CLR_INVALID;
    return color & 0x00FFFFFF;
}

HRESULT MetaFillHolder::DrawClipped(HDC dc, const MetaSubPath& path, IMetaEnv* env,
                                    bool ownerClipped) {
    if (!m_meta || !dc)
        return E_POINTER;
    FillObject* fill = SnapshotFill();
    void* data = nullptr;
    if (!fill || FAILED(fill->GetFillParams(&data)) || !data)
        return S_OK;
    const int n = path.points.GetCount();
    if (n < 3)
        return S_OK;
    CVecFrame* frame = m_meta->GetFrame();
    bool failed = false;

    std::vector<POINT> pts((size_t)n);
    for (int i = 0; i < n; ++i)
        pts[(size_t)i] = POINT{path.points[i].x / 256, path.points[i].y / 256};
    if (frame)
        frame->ToOwnerPoints(pts.data(), n);
    const bool trueColour = frame ? frame->IsTrueColour(dc) : GetDeviceCaps(dc, BITSPIXEL) >= 24;
    const COLORREF solid = trueColour ? m_solid : CLR_INVALID;
    if (solid != CLR_INVALID && ownerClipped) {
        // An opaque colour needs no regions: the polygon itself, below the
        // level when it has one, within the owner's clip already set.
        const int saved = SaveDC(dc);
        if (path.anchored) {
            RECT bounds;
            m_meta->GetBoundRect(&bounds);
            POINT lc[2] = {{bounds.left, path.anchor.y / 256}, {bounds.right, bounds.bottom}};
            if (frame)
                frame->ToOwnerPoints(lc, 2);
            IntersectClipRect(dc, lc[0].x, lc[0].y, lc[1].x, lc[1].y);
        }
        HBRUSH brush = CreateSolidBrush(solid);
        SelectObject(dc, brush);
        SelectObject(dc, GetStockObject(NULL_PEN));
        SetPolyFillMode(dc, ALTERNATE);
        SetROP2(dc, R2_COPYPEN);
        Polygon(dc, pts.data(), n);
        RestoreDC(dc, saved);
        DeleteObject(brush);
        return S_OK;
    }
    LPtoDP(dc, pts.data(), n);
    HRGN area = CreatePolygonRgn(pts.data(), n, ALTERNATE);
    if (!area) {
        LOG_WIN32_ERROR(0, "CreatePolygonRgn API func Failed.\n");
        failed = true;
    }

    RECT bounds;
    m_meta->GetBoundRect(&bounds);
    POINT bc[2] = {{bounds.left, bounds.top}, {bounds.right, bounds.bottom}};
    if (frame)
        frame->ToOwnerPoints(bc, 2);
    const RECT mapped = {bc[0].x, bc[0].y, bc[1].x, bc[1].y};
    // The level: only below the anchor. The bounds hold the whole path, so
    // without an anchor the level takes nothing away.
    HRGN levelRgn = nullptr;
    if (path.anchored) {
        POINT lc[2] = {{bounds.left, path.anchor.y / 256}, {bounds.right, bounds.bottom}};
        if (frame)
            frame->ToOwnerPoints(lc, 2);
        LPtoDP(dc, lc, 2);
        levelRgn = CreateRectRgn(lc[0].x, lc[0].y, lc[1].x, lc[1].y);
        if (!levelRgn) {
            LOG_WIN32_ERROR(0, "CreateRectRgn API func Failed.\n");
            failed = true;
        }
    }
    HRGN owner = nullptr;
    POINT four[4];
    if (!ownerClipped && frame && SUCCEEDED(frame->GetOwnerCorners(four))) {
        LPtoDP(dc, four, 4);
        owner = CreatePolygonRgn(four, 4, ALTERNATE);
        if (!owner) {
            LOG_WIN32_ERROR(0, "CreateRectRgn API func Failed.\n");
            failed = true;
        }
    }
    if (area && levelRgn && CombineRgn(area, area, levelRgn, RGN_AND) == ERROR) {
        LOG_WIN32_ERROR(0, "CombineRgn API func Failed.\n");
        failed = true;
    }
    if (area && owner && CombineRgn(area, area, owner, RGN_AND) == ERROR) {
        LOG_WIN32_ERROR(0, "CombineRgn API func Failed.\n");
        failed = true;
    }
    if (area && !failed) {
        if (solid != CLR_INVALID) {
            // An opaque colour is its region painted: within the context's
            // own clip, as the fill would paint it.
            HBRUSH brush = CreateSolidBrush(solid);
            const int saved = SaveDC(dc);
            SetMapMode(dc, MM_TEXT);
            SetViewportOrgEx(dc, 0, 0, nullptr);
            SetWindowOrgEx(dc, 0, 0, nullptr);
            FillRgn(dc, area, brush);
            RestoreDC(dc, saved);
            DeleteObject(brush);
        } else {
            const int saved = SaveDC(dc);
            ExtSelectClipRgn(dc, area, RGN_AND);
            RECT box;
            if (GetRgnBox(area, &box) != NULLREGION) {
                POINT b2[2] = {{box.left, box.top}, {box.right, box.bottom}};
                DPtoLP(dc, b2, 2);
                const RECT clip = {b2[0].x, b2[0].y, b2[1].x, b2[1].y};
                RECT inter;
                if (IntersectRect(&inter, &clip, &mapped))
                    fill->RenderToDC(dc, &mapped, &inter, env ? env->GetPlaySite() : nullptr);
            }
            RestoreDC(dc, saved);
        }
    }
    if (area)
        DeleteObject(area);
    if (levelRgn)
        DeleteObject(levelRgn);
    if (owner)
        DeleteObject(owner);
    return failed ? E_FAIL : S_OK;
}
