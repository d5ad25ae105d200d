#include "aInkMode.h"

#include "bStorage.h"
#include "bTraceLog.h"

void InkMode::Assign(const InkMode& other) {
    TRACE_POINT();
    m_mode = other.m_mode;
}

void InkMode::CopyFrom(const InkMode& other) {
    TRACE_POINT();
    m_mode = other.m_mode;
}

void InkMode::Interpolate(const InkMode& first, const InkMode& second, InkMode* target,
                          float factor) {
    TRACE_POINT();
    if (target)
        target->m_mode = factor <= 0.5f ? first.m_mode : second.m_mode;
}

HRESULT InkMode::Load(ITeskStream* stream) {
    TRACE_POINT();
    LONG mode = 0;
    if (!stream || !StreamReadValue(stream, &mode)) {
        LOG_MSG("InkMode Load: short record");
        return E_FAIL;
    }
    m_mode = mode;
    return S_OK;
}

HRESULT InkMode::Save(ITeskStream* stream) const {
    TRACE_POINT();
    if (!stream)
        return E_FAIL;
    StreamWriteValue(stream, m_mode);
    return S_OK;
}

int InkMode::ToRop2() const {
    TRACE_POINT();
    static const int kRops[20] = {R2_COPYPEN,    R2_MERGEPEN,    R2_MASKPEN,     R2_XORPEN,
                                  R2_COPYPEN,    R2_MERGEPENNOT, R2_MASKPENNOT,  R2_NOTXORPEN,
                                  R2_NOTCOPYPEN, R2_MERGENOTPEN, R2_MASKNOTPEN,  R2_NOTXORPEN,
                                  R2_NOTCOPYPEN, R2_NOTMASKPEN,  R2_NOTMERGEPEN, R2_XORPEN,
                                  R2_NOP,        R2_WHITE,       R2_BLACK,       R2_NOT};
    if (m_mode < 0 || m_mode >= 20)
        return R2_NOP;
    return kRops[m_mode];
}
