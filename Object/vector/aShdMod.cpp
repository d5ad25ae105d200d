#include "aShdMod.h"

#include "bFillGrd.h"
#include "bFillShd.h"
#include "bStorage.h"
#include "bTraceLog.h"

ShadeFill::ShadeFill() : m_fill(CreateFillObject()) {
    if (!m_fill) {
        LOG_MSG("CreateFillObject func Failed");
        return;
    }
    m_fill->SetMode(FILLMODE_NONE);
}

ShadeFill::~ShadeFill() {
    if (m_fill)
        m_fill->Release();
}

HRESULT ShadeFill::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!m_fill)
        return E_FAIL;
    HRESULT hr = m_fill->Save(stream);
    if (FAILED(hr))
        LOG_MSG("m_pShadeFill save failed.");
    return hr;
}

HRESULT ShadeFill::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!m_fill)
        return E_FAIL;
    HRESULT hr;
    // The fill reads its fixed head without asking; a short one throws.
    try {
        hr = m_fill->Load(stream);
    } catch (const CTeskStreamExcept&) {
        hr = E_FAIL;
    }
    if (FAILED(hr))
        LOG_MSG("m_pShadeFill Load func Failed.");
    return hr;
}

HRESULT ShadeFill::Duplicate(const ShadeFill& source) {
    if (!m_fill || !source.m_fill || &source == this)
        return S_OK;
    HRESULT hr = m_fill->CopyFrom(source.m_fill);
    if (FAILED(hr))
        LOG_MSG("ShadeFill::Duplicate func Failed.");
    return hr;
}

HRESULT ShadeFill::Interpolate(const ShadeFill& a, const ShadeFill& b, ShadeFill* out, float x) {
    if (!out || !out->m_fill)
        return S_OK;
    return out->m_fill->InterpolateFill(a.m_fill, b.m_fill, (int)(x * 100));
}

HRESULT ShadeFill::SetFillType(int type) {
    return m_fill ? m_fill->SetFillType(type) : E_FAIL;
}

int ShadeFill::GetFillType() const {
    int type = 0;
    if (m_fill)
        m_fill->GetFillType(&type);
    return type;
}

HRESULT ShadeFill::SetFillMode(int mode) {
    return m_fill ? m_fill->SetMode(mode) : E_FAIL;
}

int ShadeFill::GetFillMode() const {
    int mode = FILLMODE_NONE;
    if (m_fill)
        m_fill->GetMode(&mode);
    return mode;
}

HRESULT ShadeFill::SetColor(COLORREF color) {
    void* params = nullptr;
    if (!m_fill || FAILED(m_fill->GetFillParams(&params)) || !params)
        return E_FAIL;
    switch (GetFillType()) {
        case FILL_SOLID:
            return static_cast<ISolidFillParams*>(params)->SetColor(color);
        case FILL_GRADIENT:
            return static_cast<IGradientFillParams*>(params)->SetColor1(color);
        default:
            return S_FALSE;
    }
}

HRESULT ShadeFill::SetColor2(COLORREF color) {
    void* params = nullptr;
    if (!m_fill || GetFillType() != FILL_GRADIENT || FAILED(m_fill->GetFillParams(&params)) ||
        !params)
        return S_FALSE;
    return static_cast<IGradientFillParams*>(params)->SetColor2(color);
}
