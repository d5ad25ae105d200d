// File stream over the C run-time's buffered files.
#include "aFileStm.h"

#include "bTraceLog.h"

#include <errno.h>

CFileStream::CFileStream() : m_file(nullptr), m_lastOp(0) {}

CFileStream::~CFileStream() {
    if (m_file)
        fclose(m_file);
}

HRESULT CFileStream::Open(const char* name, int mode) {
    TRACE_POINT();
    m_mode = 0;
    const char* how = nullptr;
    switch (mode) {
        case TESK_MODE_READ:
            how = "rb";
            break;
        case TESK_MODE_READWRITE:
            how = "r+b";
            break;
        case TESK_MODE_CREATE:
            how = "w+b";
            m_mode = 1;
            break;
        default:
            return S_OK;
    }
    if (!name)
        return E_INVALIDARG;
    SetLastError(0);
    errno = 0;
    m_file = fopen(name, how);
    if (!m_file) {
        if (errno == ENOENT)
            return TESK_E_FILENOTFOUND;
        DWORD err = GetLastError();
        return (HRESULT)((err & 0xFFFF) | 0x80070000);
    }
    return S_OK;
}

STDMETHODIMP CFileStream::Close() {
    if (m_file) {
        fclose(m_file);
        m_file = nullptr;
    }
    return S_OK;
}

void CFileStream::SwitchTo(int op) {
    if (m_lastOp && m_lastOp != op)
        fseeko64(m_file, 0, SEEK_CUR);
    m_lastOp = op;
}

STDMETHODIMP_(ULONGLONG) CFileStream::RawGetPosition() {
    if (!m_file)
        return 0;
    long long pos = ftello64(m_file);
    return pos < 0 ? 0 : (ULONGLONG)pos;
}

STDMETHODIMP_(ULONGLONG) CFileStream::RawGetSize() {
    if (!m_file)
        return 0;
    long long pos = ftello64(m_file);
    fseeko64(m_file, 0, SEEK_END);
    long long size = ftello64(m_file);
    fseeko64(m_file, pos < 0 ? 0 : pos, SEEK_SET);
    m_lastOp = 0;
    return size < 0 ? 0 : (ULONGLONG)size;
}

STDMETHODIMP_(ULONG) CFileStream::RawRead(void* buffer, ULONG n) {
    ULONG got = 0;
    if (m_file && n) {
        SwitchTo(1);
        got = (ULONG)fread(buffer, 1, n, m_file);
    }
    if (got < n)
        ThrowTeskStreamExcept(TESK_EXC_SHORTREAD, "not enough data to read , throw a exception!");
    return got;
}

STDMETHODIMP_(ULONG) CFileStream::RawWrite(const void* buffer, ULONG n) {
    if (!m_file || !n)
        return 0;
    SwitchTo(2);
    return (ULONG)fwrite(buffer, 1, n, m_file);
}

STDMETHODIMP CFileStream::RawSeek(LONGLONG offset, int origin) {
    if (!m_file)
        return S_OK;
    int whence;
    switch (origin) {
        case TESK_SEEK_SET:
            whence = SEEK_SET;
            break;
        case TESK_SEEK_CUR:
            whence = SEEK_CUR;
            break;
        case TESK_SEEK_END:
            whence = SEEK_END;
            break;
        default:
            return S_OK;
    }
    fseeko64(m_file, offset, whence);
    m_lastOp = 0;
    return S_OK;
}
