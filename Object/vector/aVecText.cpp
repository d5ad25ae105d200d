#include "aVecText.h"

#include <string.h>

#include <memory>
#include <new>

#include "aGrphMta.h"
#include "aVecFrm.h"
#include "bTraceLog.h"

CVecText::CVecText(IMetaEnv* env) : m_env(env), m_font(nullptr), m_x(50), m_y(50) {
    memset(&m_logFont, 0, sizeof(m_logFont));
}

CVecText::~CVecText() {
    if (m_font)
        DeleteObject(m_font);
}

HRESULT CVecText::SetCurrentFont(const LOGFONTA& font) {
    m_logFont = font;
    m_logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    if (!m_logFont.lfFaceName[0])
        strcpy(m_logFont.lfFaceName, "Arial");
    if (m_font)
        DeleteObject(m_font);
    m_font = CreateFontIndirectA(&m_logFont);
    if (!m_font) {
        LOG_WIN32_ERROR(0, "CreateFontIndirect API func Failed.");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CVecText::SetDefaultFont() {
    LOGFONTA f = {};
    f.lfHeight = 133;
    strcpy(f.lfFaceName, "Arial");
    return SetCurrentFont(f);
}

HRESULT CVecText::AnalyseInputWord(const char* text, int length) {
    m_codes.clear();
    if (!text || length <= 0)
        return S_OK;
    try {
        m_codes.reserve((size_t)length);
    } catch (const std::bad_alloc&) {
        LOG_MSG("can not allocate memory of size:%d.", length * 2);
        return E_OUTOFMEMORY;
    }
    for (int i = 0; i < length; ++i) {
        const BYTE b = (BYTE)text[i];
        if (IsDBCSLeadByte(b)) {
            if (i + 1 >= length)
                break;
            m_codes.push_back((WORD)((b << 8) | (BYTE)text[i + 1]));
            ++i;
        } else {
            m_codes.push_back(b);
        }
    }
    return S_OK;
}

HRESULT CVecText::CreateFromText(HDC dc, CVecFrame* frame) {
    if (m_text.empty()) {
        LOG_MSG("m_strText is empty,so Need not to GetContour Data.");
        return S_OK;
    }
    if (!dc || !frame)
        return E_INVALIDARG;
    if (m_logFont.lfFaceName[0]) {
        if (FAILED(SetCurrentFont(m_logFont)))
            LOG_MSG("SetCurrentFont func Failed.");
    } else if (FAILED(SetDefaultFont())) {
        LOG_MSG("SetDefaultFont func Failed.");
    }
    HGDIOBJ old = m_font ? SelectObject(dc, m_font) : nullptr;
    HRESULT hr = AnalyseInputWord(m_text.data(), (int)m_text.size());
    if (FAILED(hr)) {
        LOG_MSG("AnalyseInputWord func Failed.");
        if (old)
            SelectObject(dc, old);
        return hr;
    }
    int x = m_x;
    for (WORD code : m_codes) {
        hr = BuildTextContour(dc, frame, code, x, m_y);
        if (FAILED(hr)) {
            LOG_MSG("BuildTextContour func Failed.");
            if (old)
                SelectObject(dc, old);
            return hr;
        }
        char bytes[2];
        int n = 0;
        if (code > 0xFF)
            bytes[n++] = (char)(code >> 8);
        bytes[n++] = (char)(code & 0xFF);
        SIZE extent = {0, 0};
        if (!GetTextExtentPoint32A(dc, bytes, n, &extent)) {
            LOG_WIN32_ERROR(0, "GetTextExtendPoint32 API func Failed.");
            extent.cx = 0;
        }
        x += extent.cx;
    }
    if (old)
        SelectObject(dc, old);
    return S_OK;
}

HRESULT CVecText::BuildTextContour(HDC dc, CVecFrame* frame, UINT code, int x, int y) {
    if (!dc || !frame)
        return E_INVALIDARG;
    std::vector<BYTE> outline;
    if (FAILED(GetGlyph(dc, code, &outline))) {
        LOGFONTA f = {};
        f.lfHeight = 133;
        strcpy(f.lfFaceName, "Arial");
        HFONT fallback = CreateFontIndirectA(&f);
        HRESULT again = E_FAIL;
        if (fallback) {
            HGDIOBJ old = SelectObject(dc, fallback);
            again = GetGlyph(dc, code, &outline);
            SelectObject(dc, old);
            DeleteObject(fallback);
        }
        if (FAILED(again)) {
            LOG_MSG("GetFontGlyph func Failed.code is %d", (int)code);
            return E_UNEXPECTED;
        }
    }
    // A blank has no outline: nothing to add, the caller's pen advances.
    if (outline.empty())
        return S_OK;

    HGLOBAL block = nullptr;
    std::vector<int> counts;
    if (!DrawT2Outline(outline.data(), (DWORD)outline.size(), &block, &counts)) {
        LOG_MSG("RoughAnalyseGlyph func Failed.");
        return E_UNEXPECTED;
    }
    const POINT* points = static_cast<const POINT*>(GlobalLock(block));
    if (!points) {
        LOG_MSG("GlobalLock failed.");
        GlobalFree(block);
        return E_UNEXPECTED;
    }
    HRESULT hr = S_OK;
    int at = 0;
    for (int count : counts) {
        const POINT* p = points + at;
        at += count;
        std::unique_ptr<CGraphMeta> meta(new (std::nothrow) CGraphMeta(m_env));
        if (!meta) {
            LOG_MSG("can not allocate memory for CGraphMeta.");
            hr = E_OUTOFMEMORY;
            continue;
        }
        meta->SetKind(GRAPH_POLYLINE);
        meta->SetHidden(false);
        meta->SetFrame(frame);
        meta->SetMetaId(frame->TakeMetaId());
        hr = S_OK;
        for (int i = 0; i < count && SUCCEEDED(hr); ++i)
            hr = meta->AddPoint(x + p[i].x, y + p[i].y);
        if (SUCCEEDED(hr) && count > 0)
            hr = meta->AddPoint(x + p[0].x, y + p[0].y);
        if (FAILED(hr)) {
            LOG_MSG("AddAPoint Failed.");
            continue;
        }
        hr = meta->FinishShape();
        if (FAILED(hr)) {
            LOG_MSG("FinishCreator func Failed.");
            continue;
        }
        meta->RemoveDuplicates();
        // Finishing takes the closing point off; the outline keeps it, so
        // it ends where it starts.
        const int n = meta->GetCount();
        if (n >= 2 && (meta->GetData()[0].x != meta->GetData()[n - 1].x ||
                       meta->GetData()[0].y != meta->GetData()[n - 1].y)) {
            const POINT first = meta->GetData()[0];
            hr = meta->AddPoint(first.x, first.y);
            if (FAILED(hr)) {
                LOG_MSG("AddAPoint Failed.");
                continue;
            }
        }
        hr = frame->AddMeta(meta.get(), METATYPE_GRAPH);
        if (FAILED(hr)) {
            LOG_MSG("AddMetaWithoutFuse func Failed.");
            continue;
        }
        meta.release();
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return hr;
}
