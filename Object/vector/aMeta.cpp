#include "aMeta.h"

#include <string.h>

#include <vector>

#include "aVector.h"
#include "bByteReader.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

// Steps over a stream string (count, then 2n bytes of UTF-16); false when it
// is longer than the format allows or than the stream.
bool SkipStreamString(ITeskStream* stream) {
    std::vector<uint8_t> head;
    if (!ReadStreamBytes(stream, 4, &head))
        return false;
    CByteReader r(head.data(), head.size());
    const int32_t n = r.I32LE();
    std::vector<uint8_t> text;
    return n >= 0 && n <= 0xFFFF && ReadStreamBytes(stream, (ULONGLONG)n * 2, &text);
}

// One int32 of the record; false when the stream is short.
bool ReadI32(ITeskStream* stream, int32_t* value) {
    std::vector<uint8_t> b;
    if (!ReadStreamBytes(stream, 4, &b))
        return false;
    CByteReader r(b.data(), b.size());
    *value = r.I32LE();
    return true;
}

}  // namespace

HRESULT MetaAttrRecord::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    std::vector<uint8_t> head;
    int32_t textFlag1 = 0, textFlag2 = 0, metaId = 0, selection = 0;
    if (!ReadStreamBytes(stream, 28, &head)) {
        LOG_MSG("MetaAttrRecord::Load: short record");
        return E_FAIL;
    }
    CByteReader r(head.data(), head.size());
    const WORD flags = (WORD)r.U32LE();
    const int baseValue = r.I32LE();
    RECT bounds;
    bounds.left = r.I32LE();
    bounds.top = r.I32LE();
    bounds.right = r.I32LE();
    bounds.bottom = r.I32LE();
    textFlag1 = r.I32LE();
    if (((textFlag1 & 1) && !SkipStreamString(stream)) || !ReadI32(stream, &textFlag2) ||
        ((textFlag2 & 1) && !SkipStreamString(stream)) || !ReadI32(stream, &metaId) ||
        !ReadI32(stream, &selection)) {
        LOG_MSG("MetaAttrRecord::Load: short or damaged record");
        return E_FAIL;
    }
    m_flags = flags;
    m_baseValue = baseValue;
    m_bounds = bounds;
    m_textFlag1 = textFlag1;
    m_textFlag2 = textFlag2;
    m_metaId = metaId;
    m_selection = selection;
    return S_OK;
}

HRESULT MetaAttrRecord::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    m_textFlag1 &= ~1;
    m_textFlag2 &= ~1;
    StreamWriteValue(stream, (uint32_t)m_flags);
    StreamWriteValue(stream, (int32_t)m_baseValue);
    StreamWriteValue(stream, (int32_t)m_bounds.left);
    StreamWriteValue(stream, (int32_t)m_bounds.top);
    StreamWriteValue(stream, (int32_t)m_bounds.right);
    StreamWriteValue(stream, (int32_t)m_bounds.bottom);
    StreamWriteValue(stream, (int32_t)m_textFlag1);
    StreamWriteValue(stream, (int32_t)m_textFlag2);
    StreamWriteValue(stream, (int32_t)m_metaId);
    StreamWriteValue(stream, (int32_t)m_selection);
    return S_OK;
}

void CMetaBase::CopyAttributes(CMetaBase& other) {
    const WORD copied = META_CLOSED | META_HIDDEN | META_EDIT3 | META_EDIT0;
    m_flags = (WORD)((m_flags & ~copied) | (other.m_flags & copied));
    m_baseValue = other.m_baseValue;
    m_frame = other.m_frame;
    other.GetBoundRect(&m_bounds);
    m_metaId = other.m_metaId;
    m_selection = other.m_selection;
}

CMetaEnv::CMetaEnv() : value(0) {
    memset(&font, 0, sizeof(font));
    font.lfHeight = 133;
    strcpy(font.lfFaceName, "Arial");
}

HRESULT CMetaEnv::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    // Read into a fresh set, taken over only when all of it was read.
    CMetaEnv read;
    std::vector<uint8_t> fontBytes;
    int32_t v = 0;
    if (!ReadI32(stream, &v) || FAILED(read.ink.Load(stream)) ||
        FAILED(read.line.LoadLineMode(stream)) ||
        !ReadStreamBytes(stream, sizeof(LOGFONTA), &fontBytes) || FAILED(read.fill.Load(stream))) {
        LOG_MSG("CMetaEnv::Load: short or damaged record");
        return E_FAIL;
    }
    static_assert(sizeof(LOGFONTA) == 60, "stored font layout");
    CByteReader r(fontBytes.data(), fontBytes.size());
    r.ReadBytes(&read.font, sizeof(LOGFONTA));
    read.font.lfFaceName[LF_FACESIZE - 1] = 0;
    read.value = v;
    return CopyFrom(read);
}

HRESULT CMetaEnv::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    StreamWriteValue(stream, (int32_t)value);
    HRESULT hr = ink.Save(stream);
    if (SUCCEEDED(hr))
        hr = line.SaveLineMode(stream);
    if (FAILED(hr))
        return hr;
    stream->Write(&font, sizeof(font));
    return fill.Save(stream);
}

HRESULT CMetaEnv::CopyFrom(CMetaEnv& other) {
    if (&other == this)
        return S_OK;
    ink.CopyFrom(other.ink);
    HRESULT hr = line.Duplicate(other.line);
    if (SUCCEEDED(hr))
        hr = fill.Duplicate(other.fill);
    font = other.font;
    value = other.value;
    return hr;
}

void CMetaBase::InterpolateAttributes(const CMetaBase& a, const CMetaBase& b, CMetaBase* out,
                                      float factor) {
    if (!out)
        return;
    out->SetHidden(false);
    if (a.IsClosed() && b.IsClosed())
        out->SetClosed(true);
    else if (a.IsClosed() || b.IsClosed())
        out->SetClosed(factor >= 0.5f ? b.IsClosed() : a.IsClosed());
    else
        out->SetClosed(false);
    out->SetEdit3(false);
    out->SetEdit0(false);
    out->SetSelection(0);
    out->SetBaseValue(1);
    out->CalcBoundRect();
}
