#include "aLineSty.h"

#include "bLinStyl.h"
#include "bStorage.h"
#include "bTraceLog.h"

LineStyle::LineStyle() : m_style(CreateLineStyObj()) {
    if (!m_style)
        LOG_MSG("CreateLineStyObj func Failed.");
}

LineStyle::~LineStyle() {
    if (m_style)
        m_style->Release();
}

HRESULT LineStyle::Duplicate(const LineStyle& other) {
    if (!m_style || !other.m_style)
        return E_FAIL;
    if (&other == this)
        return S_OK;
    HRESULT hr = m_style->CopyFrom(other.m_style);
    if (FAILED(hr))
        LOG_MSG("Duplicate func failed.");
    return hr;
}

HRESULT LineStyle::DuplicateForKind(const LineStyle& other, int kind) {
    HRESULT hr = Duplicate(other);
    if (FAILED(hr) || kind == -1)
        return hr;
    const int type = GetLineType();
    bool keep = true;
    if (type == LINE_DOUBLE)
        keep = kind == 0 || kind == 2 || kind == 3 || kind == 6;
    else if (type == LINE_FANCY)
        keep = kind == 0 || kind == 1 || kind == 2 || kind == 7;
    if (!keep)
        m_style->SetLineType(LINE_SOLID);
    return hr;
}

HRESULT LineStyle::Interpolate(const LineStyle& a, const LineStyle& b, LineStyle* out, float x) {
    if (!out || !out->m_style)
        return E_FAIL;
    return out->m_style->InterpolateLineStyle(a.m_style, b.m_style, (int)(x * 100));
}

int LineStyle::GetLineType() const {
    int type = LINE_NONE;
    if (m_style)
        m_style->GetLineType(&type);
    return type;
}

HRESULT LineStyle::SetLineType(int type) {
    HRESULT hr = m_style ? m_style->SetLineType(type) : E_FAIL;
    if (FAILED(hr))
        LOG_MSG("SetLineType func Failed.");
    return hr;
}

HRESULT LineStyle::SetLineCode(WORD code) {
    HRESULT hr = m_style ? m_style->SetTileCode(code) : E_FAIL;
    if (FAILED(hr))
        LOG_MSG("SetLineCode func failed.");
    return hr;
}

HRESULT LineStyle::SetLineWidth(WORD width) {
    HRESULT hr = m_style ? m_style->SetWidth(width) : E_FAIL;
    if (FAILED(hr))
        LOG_MSG("SetLineWidth func Failed.");
    return hr;
}

HRESULT LineStyle::SetMainColor(COLORREF color) {
    HRESULT hr = m_style ? m_style->SetColor(color) : E_FAIL;
    if (FAILED(hr))
        LOG_MSG("SetMainColor func Failed.");
    return hr;
}

int LineStyle::GetEffectiveWidth() const {
    WORD width = 0;
    if (m_style)
        m_style->GetWidth(&width);
    return GetLineType() == LINE_DOUBLE ? 2 * (int)width : (int)width;
}

HRESULT LineStyle::LoadLineMode(ITeskStream* stream) {
    TRACE_POINT();
    HRESULT hr = E_FAIL;
    if (m_style && stream && StreamHas(stream, LINESTYLE_RECORD_SIZE))
        hr = m_style->Load(stream);
    if (FAILED(hr))
        LOG_MSG("LoadLineMode func Failed.");
    return hr;
}

HRESULT LineStyle::SaveLineMode(ITeskStream* stream) {
    TRACE_POINT();
    HRESULT hr = m_style && stream ? m_style->Save(stream) : E_FAIL;
    if (FAILED(hr))
        LOG_MSG("SaveLineMode func Failed.");
    return hr;
}
