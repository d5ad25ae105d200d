#include "aInflStm.h"

#include "bTraceLog.h"

CInflateStream::CInflateStream() : m_bodyAt(0), m_position(0), m_size(0) {}

HRESULT CInflateStream::Open(ITeskStream* source) {
    if (!source)
        return E_INVALIDARG;
    m_source = source;
    m_bodyAt = source->GetPosition();
    m_position = m_size = 0;
    // The first pass keeps nothing: it counts the raw bytes and finds a
    // damaged body before anything is read from it.
    CBodyInflater body;
    HRESULT hr = body.Begin(source, false);
    while (hr == S_OK) {
        ULONG got = 0;
        hr = body.Read(nullptr, 0x40000000u, &got);
        m_size += got;
    }
    if (FAILED(hr)) {
        m_size = 0;
        m_source.Release();
        return hr;
    }
    if (m_size == 0)
        m_source.Release();
    return S_OK;
}

STDMETHODIMP CInflateStream::Close() {
    m_body.reset();
    m_source.Release();
    m_position = m_size = 0;
    return S_OK;
}

void CInflateStream::Rewind() {
    m_body.reset();
    m_position = 0;
    if (!m_source)
        return;
    std::unique_ptr<CBodyInflater> body(new CBodyInflater);
    m_source->Seek((LONGLONG)m_bodyAt, TESK_SEEK_SET);
    if (body->Begin(m_source, true) == S_OK)
        m_body = std::move(body);
}

void CInflateStream::Pass(ULONGLONG n) {
    while (n) {
        ULONG step = n < 0x40000000ull ? (ULONG)n : 0x40000000u;
        RawRead(nullptr, step);
        n -= step;
    }
}

STDMETHODIMP_(ULONG) CInflateStream::RawRead(void* buffer, ULONG n) {
    if (n == 0)
        return 0;
    if (m_position + n > m_size)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    if (!m_body && m_position == 0)
        Rewind();
    ULONG got = 0;
    if (m_body)
        m_body->Read(buffer, n, &got);
    m_position += got;
    // The source changed under the body since it was measured.
    if (got < n)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    return n;
}

STDMETHODIMP CInflateStream::RawSeek(LONGLONG offset, int origin) {
    ULONGLONG to;
    if (!ClampedSeekTarget(offset, origin, m_position, m_size, &to))
        return S_OK;
    if (to < m_position)
        Rewind();
    if (to > m_position) {
        if (!m_body && m_position == 0)
            Rewind();
        Pass(to - m_position);
    }
    return S_OK;
}
