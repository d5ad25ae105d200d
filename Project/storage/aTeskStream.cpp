// Stream base: measuring dry run, wide-string transfer, read accounting.
#include "aTeskStream.h"

#include "bStrConv.h"
#include "bTraceLog.h"

#include <string.h>
#include <vector>

// Texts of a stream string are at most this many ANSI bytes.
static const ULONG kMaxWideChars = 0xFFFF;

CStreamBase::CStreamBase()
    : m_version(3), m_mode(1), m_flag(0), m_measuring(0), m_measuredPos(0), m_measuredSize(0) {}

STDMETHODIMP_(ULONGLONG) CStreamBase::GetSize() {
    if (m_measuring)
        return m_measuredSize;
    return RawGetSize();
}

STDMETHODIMP_(ULONGLONG) CStreamBase::GetPosition() {
    if (m_measuring)
        return m_measuredPos;
    return RawGetPosition();
}

STDMETHODIMP_(ULONG) CStreamBase::Read(void* buffer, ULONG n) {
    if (m_measuring) {
        ULONGLONG left = m_measuredPos < m_measuredSize ? m_measuredSize - m_measuredPos : 0;
        ULONG step = (ULONGLONG)n < left ? n : (ULONG)left;
        m_measuredPos += step;
        return step;
    }
    ULONG got = RawRead(buffer, n);
    if (got < n)
        LOG_MSG("ITeskStream Error: read pass stream end: %d", (int)(n - got));
    return got;
}

STDMETHODIMP_(ULONG) CStreamBase::Write(const void* buffer, ULONG n) {
    if (m_measuring) {
        m_measuredPos += n;
        if (m_measuredPos > m_measuredSize)
            m_measuredSize = m_measuredPos;
        return n;
    }
    return RawWrite(buffer, n);
}

STDMETHODIMP_(ULONG) CStreamBase::ReadWideString(char* buffer, ULONG n) {
    if (m_measuring) {
        ULONGLONG want = 2ULL * n;
        ULONGLONG left = m_measuredPos < m_measuredSize ? m_measuredSize - m_measuredPos : 0;
        ULONGLONG step = want < left ? want : left;
        m_measuredPos += step;
        return (ULONG)step;
    }
    if (n > kMaxWideChars)
        throw CTeskStreamExcept(TESK_EXC_SHORTREAD);
    std::vector<WCHAR> wide(n + 1, 0);
    if (n)
        RawRead(wide.data(), n * 2);
    wide[n] = 0;
    std::string ansi = MultibyteFromWide(wide.data());
    if (!buffer)
        return n;
    // Copy at most n bytes without splitting a double-byte character.
    size_t take = MbCutLength(ansi.c_str(), n);
    memcpy(buffer, ansi.data(), take);
    buffer[take] = 0;
    return n;
}

STDMETHODIMP_(ULONG) CStreamBase::WriteWideString(const char* text, ULONG n) {
    // A longer text could never be read back; refused alike when measuring,
    // so that a measured record takes what it then writes.
    if (n > kMaxWideChars)
        return 0;
    if (m_measuring) {
        m_measuredPos += 2ULL * n;
        if (m_measuredPos > m_measuredSize)
            m_measuredSize = m_measuredPos;
        return 2 * n;
    }
    if (!text)
        text = "";
    std::vector<WCHAR> out(n ? n : 1, 0);
    std::wstring wide = WideFromMultibyte(text);
    size_t units = wide.size() + 1;  // with its NUL
    memcpy(out.data(), wide.c_str(), sizeof(WCHAR) * (units < n ? units : n));
    if (n)
        RawWrite(out.data(), n * 2);
    return n;
}

STDMETHODIMP CStreamBase::Seek(LONGLONG offset, int origin) {
    if (!m_measuring)
        return RawSeek(offset, origin);
    ULONGLONG to;
    // An unknown origin keeps the position, held inside the measured size.
    if (!ClampedSeekTarget(offset, origin, m_measuredPos, m_measuredSize, &to))
        ClampedSeekTarget(0, TESK_SEEK_CUR, m_measuredPos, m_measuredSize, &to);
    m_measuredPos = to;
    return S_OK;
}

STDMETHODIMP CStreamBase::BeginMeasure() {
    if (m_measuring)
        return E_FAIL;
    m_measuring = 1;
    m_measuredSize = RawGetSize();
    m_measuredPos = RawGetPosition();
    return S_OK;
}

STDMETHODIMP CStreamBase::EndMeasure() {
    m_measuring = 0;
    m_measuredPos = 0;
    m_measuredSize = 0;
    return S_OK;
}

STDMETHODIMP_(void) CStreamBase::DeleteThis(UINT flags) {
    if (flags & 1)
        delete this;
    else
        this->~CStreamBase();
}
