#include "aTxtMeta.h"

#include <string.h>

#include <memory>
#include <new>
#include <vector>

#include "aStorage.h"
#include "aVecFrm.h"
#include "aVecText.h"
#include "aVector.h"
#include "bByteReader.h"
#include "bStorage.h"
#include "bTraceLog.h"
#include "aTrackerPen.h"

CTextMeta::CTextMeta(IMetaEnv* env) : m_origin{0, 0}, m_spacing(20), m_color(0), m_env(env) {
    memset(&m_font, 0, sizeof(m_font));
    m_font.lfHeight = 133;
    strcpy(m_font.lfFaceName, "Arial");
}

HRESULT CTextMeta::CopyFrom(CTextMeta& source) {
    if (&source == this)
        return S_OK;
    CopyAttributes(source);
    InkMode::CopyFrom(source);
    m_spacing = source.m_spacing;
    m_font = source.m_font;
    m_color = source.m_color;
    m_origin = source.m_origin;
    m_text = source.m_text;
    return CalcBoundRect();
}

void CTextMeta::SetText(const std::string& text) {
    m_text = text;
    CalcBoundRect();
}

void CTextMeta::SetFont(const LOGFONTA& font) {
    m_font = font;
    m_font.lfFaceName[LF_FACESIZE - 1] = 0;
    CalcBoundRect();
}

void CTextMeta::SetOrigin(POINT origin) {
    m_origin = origin;
    CalcBoundRect();
}

HRESULT CTextMeta::CalcBoundRect() {
    SIZE extent = {0, 0};
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontIndirectA(&m_font);
    if (screen && font) {
        HGDIOBJ old = SelectObject(screen, font);
        if (!m_text.empty() &&
            !GetTextExtentPoint32A(screen, m_text.data(), (int)m_text.size(), &extent))
            LOG_WIN32_ERROR(0, "GetTextExtentPoint32 API func Failed.");
        SelectObject(screen, old);
    }
    if (font)
        DeleteObject(font);
    if (screen)
        ReleaseDC(nullptr, screen);
    m_bounds = RECT{m_origin.x, m_origin.y, m_origin.x + extent.cx, m_origin.y + extent.cy};
    return S_OK;
}

HRGN CTextMeta::OwnerClip(HDC dc, bool vectorOnly, int inflate) const {
    CVecFrame* frame = GetFrame();
    if (!frame)
        return nullptr;
    const bool vector = frame->WantsClip();
    const bool board = (frame->GetFlags() & VECFRAME_BOARD) != 0;
    RECT r;
    if (!(vector || (board && !vectorOnly)) || FAILED(frame->GetOwnerRect(&r)))
        return nullptr;
    POINT c[2] = {{r.left, r.top}, {r.right, r.bottom}};
    LPtoDP(dc, c, 2);
    RECT d = {c[0].x - inflate, c[0].y - inflate, c[1].x + inflate, c[1].y + inflate};
    HRGN rgn = CreateRectRgnIndirect(&d);
    if (!rgn)
        LOG_WIN32_ERROR(0, "CreateRectRgnIndirect API func Failed.");
    return rgn;
}

HRESULT CTextMeta::DrawText(HDC dc, POINT at, HRGN clip) {
    const int saved = SaveDC(dc);
    if (clip)
        ExtSelectClipRgn(dc, clip, RGN_AND);
    HFONT font = CreateFontIndirectA(&m_font);
    if (!font) {
        LOG_WIN32_ERROR(0, "CreateFontIndirect API func Failed.");
        RestoreDC(dc, saved);
        return E_FAIL;
    }
    SelectObject(dc, font);
    SetROP2(dc, ToRop2());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, m_color);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    HRESULT hr = S_OK;
    if (!m_text.empty() && !TextOutA(dc, at.x, at.y, m_text.data(), (int)m_text.size())) {
        LOG_WIN32_ERROR(0, "TextOut API func Failed.");
        hr = E_FAIL;
    }
    RestoreDC(dc, saved);
    DeleteObject(font);
    return hr;
}

HRESULT CTextMeta::Draw(HDC dc, BOOL noSelection) {
    TRACE_POINT();
    if (IsHidden())
        return S_OK;
    if (!dc)
        return E_POINTER;
    POINT at = m_origin;
    if (CVecFrame* frame = GetFrame())
        frame->ToOwnerPoints(&at, 1);
    HRGN clip = OwnerClip(dc, false, 0);
    HRESULT hr = DrawText(dc, at, clip);
    if (clip)
        DeleteObject(clip);
    if (!noSelection)
        DrawSelectionState(dc);
    return hr;
}

HRESULT CTextMeta::DrawInRect(HDC dc, const RECT* rect) {
    if (IsHidden())
        return S_OK;
    if (!dc || !rect)
        return E_POINTER;
    POINT c[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    LPtoDP(dc, c, 2);
    HRGN clip = CreateRectRgn(c[0].x, c[0].y, c[1].x, c[1].y);
    HRESULT hr = DrawText(dc, m_origin, clip);
    if (clip)
        DeleteObject(clip);
    return hr;
}

HRESULT CTextMeta::Clone(CMetaBase** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CTextMeta* copy = new (std::nothrow) CTextMeta(m_env);
    if (!copy) {
        LOG_MSG("can not allocate enough memory.");
        return E_OUTOFMEMORY;
    }
    copy->CopyFrom(*this);
    *out = copy;
    return S_OK;
}

HRESULT CTextMeta::DrawSelection(HDC dc, BOOL handles) {
    if (IsHidden())
        return S_OK;
    if (!handles)
        return S_OK;
    HRGN clip = OwnerClip(dc, true, 4);
    const int saved = SaveDC(dc);
    if (clip)
        ExtSelectClipRgn(dc, clip, RGN_AND);
    HRESULT hr = DrawPointHandles(dc);
    RestoreDC(dc, saved);
    if (clip)
        DeleteObject(clip);
    return hr;
}

HRESULT CTextMeta::DrawPointHandles(HDC dc) {
    POINT c[2] = {{m_bounds.left, m_bounds.top}, {m_bounds.right, m_bounds.bottom}};
    if (CVecFrame* frame = GetFrame())
        frame->ToOwnerPoints(c, 2);
    CTrackerPen pen(dc, 0);
    if (!pen.IsReady()) {
        LOG_WIN32_ERROR(0, "CreatePen API func Failed.");
        return E_FAIL;
    }
    const BOOL ok = Rectangle(dc, c[0].x, c[0].y, c[1].x, c[1].y);
    pen.Finish();
    if (!ok) {
        LOG_WIN32_ERROR(0, "Rectangle API func Failed.");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CTextMeta::DrawSelectionState(HDC dc) {
    if (IsHidden())
        return S_OK;
    if (GetSelection() == 1)
        return DrawSelection(dc, TRUE);
    if (GetSelection() == 2)
        return DrawSelection(dc, FALSE);
    return S_OK;
}

HRESULT CTextMeta::GetBoundsWithPen(RECT* out) {
    if (!out)
        return E_POINTER;
    *out = m_bounds;
    InflateRect(out, 2, 2);
    return S_OK;
}

int CTextMeta::HitTest(HDC dc, POINT point, int mode) {
    return mode == 1 ? 0 : HitTestOutline(dc, point);
}

HRESULT CTextMeta::Offset(POINT delta) {
    m_origin.x += delta.x;
    m_origin.y += delta.y;
    return CalcBoundRect();
}

BOOL CTextMeta::IsInsideRect(const RECT* rect) {
    return rect && rect->left <= m_bounds.left && m_bounds.right <= rect->right &&
           rect->top <= m_bounds.top && m_bounds.bottom <= rect->bottom;
}

HRESULT CTextMeta::GetBoundRect(RECT* out) {
    if (!out)
        return E_POINTER;
    *out = m_bounds;
    return S_OK;
}

int CTextMeta::HitTestBounds(POINT point) {
    return PtInRect(&m_bounds, point) ? 1 : 0;
}

HRESULT CTextMeta::LoadRecord(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    CTextMeta read(m_env);
    std::vector<uint8_t> count, tail;
    std::string text;
    bool ok = SUCCEEDED(read.InkMode::Load(stream)) &&
              SUCCEEDED(read.MetaAttrRecord::Load(stream)) && ReadStreamBytes(stream, 4, &count);
    if (ok) {
        // The text's length is measured before the stream is asked for it.
        CByteReader r(count.data(), count.size());
        const int32_t n = r.I32LE();
        stream->Seek(-4, TESK_SEEK_CUR);
        ok = n >= 0 && n <= 0xFFFF && StreamHas(stream, 4 + (ULONGLONG)n * 2);
        try {
            ok = ok && ReadStringFromStream(text, stream);
        } catch (const CTeskStreamExcept&) {
            ok = false;
        }
        if (ok && (int)text.size() > n)
            text.resize((size_t)n);
    }
    ok = ok && ReadStreamBytes(stream, 8 + sizeof(LOGFONTA) + 8, &tail);
    if (!ok) {
        LOG_MSG("CTextMeta::Load: short or damaged record");
        return E_FAIL;
    }
    CByteReader r(tail.data(), tail.size());
    POINT origin;
    origin.x = r.I32LE();
    origin.y = r.I32LE();
    LOGFONTA font;
    r.ReadBytes(&font, sizeof(font));
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    const int spacing = r.I32LE();
    const COLORREF color = r.U32LE();
    InkMode::CopyFrom(read);
    static_cast<MetaAttrRecord&>(*this) = read;
    m_text = text;
    m_origin = origin;
    m_font = font;
    m_spacing = spacing;
    m_color = color;
    return S_OK;
}

HRESULT CTextMeta::SaveRecord(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    HRESULT hr = InkMode::Save(stream);
    if (SUCCEEDED(hr))
        hr = MetaAttrRecord::Save(stream);
    if (FAILED(hr))
        return hr;
    WriteStringToStream(m_text, stream);
    StreamWriteValue(stream, (int32_t)m_origin.x);
    StreamWriteValue(stream, (int32_t)m_origin.y);
    stream->Write(&m_font, sizeof(m_font));
    StreamWriteValue(stream, (int32_t)m_spacing);
    StreamWriteValue(stream, (uint32_t)m_color);
    return S_OK;
}

HRESULT CTextMeta::GetContourData(HDC dc, CVecFrame* frame) {
    if (IsHidden())
        return S_OK;
    std::unique_ptr<CVecText> text(new (std::nothrow) CVecText(m_env));
    if (!text) {
        LOG_MSG("can not allocate memory of CVecText.");
        return E_OUTOFMEMORY;
    }
    text->SetText(m_text);
    text->SetOrigin(m_bounds.left, m_bounds.bottom - (m_bounds.bottom - m_bounds.top) / 5);
    text->SetCurrentFont(m_font);
    const HRESULT hr = text->CreateFromText(dc, frame);
    if (FAILED(hr))
        LOG_MSG("GetContourData func Failed.");
    if (frame && GetFrame() == frame) {
        for (int i = 0; i < frame->GetCount(); ++i)
            if (frame->GetMeta(i) == this) {
                SetHidden(true);
                break;
            }
    }
    return S_OK;
}
