#include "aEventSinkTable.h"

#include <string.h>

#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"

CEventSinkTable::CEventSinkTable() {}

CEventSinkTable::~CEventSinkTable() {
    ClearRows();
}

void CEventSinkTable::ClearRows() {
    for (Row& row : m_rows)
        for (IUnknown* sink : row.sinks) sink->Release();
    m_rows.clear();
}

int CEventSinkTable::AddRow(const char* name) {
    Row row;
    memset(row.name, 0, sizeof(row.name));
    if (name)
        memcpy(row.name, name, MbCutLength(name, sizeof(row.name) - 1));
    m_rows.push_back(row);
    return (int)m_rows.size() - 1;
}

// The stored table is read past and never used: each count and length is
// measured against what the stream still holds.
STDMETHODIMP CEventSinkTable::Load(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    auto skip = [stream](ULONGLONG n) {
        if (!StreamHas(stream, n))
            return false;
        return SUCCEEDED(stream->Seek((LONGLONG)n, TESK_SEEK_CUR));
    };
    DWORD rows = 0;
    if (!StreamReadValue(stream, &rows)) {
        LOG_MSG("Event sink table: no row count");
        return E_FAIL;
    }
    for (DWORD r = 0; r < rows; ++r) {
        DWORD nameLength = 0, sinks = 0;
        if (!StreamReadValue(stream, &nameLength) || !skip(2ULL * nameLength) ||
            !StreamReadValue(stream, &sinks)) {
            LOG_MSG("Event sink table: row %lu beyond the stream", (unsigned long)r);
            return E_FAIL;
        }
        for (DWORD s = 0; s < sinks; ++s) {
            DWORD length = 0;
            if (!StreamReadValue(stream, &length) || !skip(2ULL * length)) {
                LOG_MSG("Event sink table: sink %lu of row %lu beyond the stream", (unsigned long)s,
                        (unsigned long)r);
                return E_FAIL;
            }
        }
    }
    return S_OK;
}

STDMETHODIMP CEventSinkTable::Save(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    StreamWriteValue<DWORD>(stream, 0);
    return S_OK;
}

STDMETHODIMP CEventSinkTable::GetRowCount(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = (LONG)m_rows.size();
    return S_OK;
}

STDMETHODIMP_(int) CEventSinkTable::IsBadRow(LONG row) {
    return (row < 0 || row >= (LONG)m_rows.size()) ? 1 : 0;
}

STDMETHODIMP CEventSinkTable::GetRowName(LONG row, char* buffer, int size) {
    if (IsBadRow(row))
        return S_FALSE;
    if (!buffer || size <= 0)
        return E_POINTER;
    size_t n = strnlen(m_rows[row].name, sizeof(m_rows[row].name));
    if (n > (size_t)size)
        n = size;
    memcpy(buffer, m_rows[row].name, n);
    if (n < (size_t)size)
        buffer[n] = 0;
    return S_OK;
}

STDMETHODIMP CEventSinkTable::FindRow(const char* name, LONG* index) {
    if (!name || !index)
        return E_POINTER;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (lstrcmpiA(m_rows[i].name, name) == 0) {
            *index = (LONG)i;
            return S_OK;
        }
    }
    return S_FALSE;
}

STDMETHODIMP CEventSinkTable::AddSink(LONG row, IUnknown* sink) {
    if (IsBadRow(row) || !sink || IsSinkInRow(row, sink) == S_OK)
        return E_FAIL;
    sink->AddRef();
    m_rows[row].sinks.push_back(sink);
    return S_OK;
}

STDMETHODIMP CEventSinkTable::RemoveSink(LONG row, IUnknown* sink) {
    if (IsBadRow(row))
        return E_FAIL;
    std::vector<IUnknown*>& sinks = m_rows[row].sinks;
    for (size_t i = 0; i < sinks.size(); ++i) {
        if (sinks[i] == sink) {
            sinks.erase(sinks.begin() + i);
            sink->Release();
            return S_OK;
        }
    }
    return E_FAIL;
}

STDMETHODIMP CEventSinkTable::IsSinkInRow(LONG row, IUnknown* sink) {
    if (IsBadRow(row))
        return E_FAIL;
    for (IUnknown* s : m_rows[row].sinks)
        if (s == sink)
            return S_OK;
    return S_FALSE;
}

HRESULT CEventSinkTable::FireEvent(LONG row, LONG argument) {
    if (IsBadRow(row))
        return E_FAIL;
    // A sink may unbind itself while called: walk a counted copy.
    std::vector<IUnknown*> sinks = m_rows[row].sinks;
    for (IUnknown* s : sinks) s->AddRef();
    for (IUnknown* s : sinks) {
        PFNSINKEVENT fn = (*reinterpret_cast<PFNSINKEVENT**>(s))[SINK_EVENT_SLOT];
        fn(s, this, argument);
    }
    for (IUnknown* s : sinks) s->Release();
    return S_OK;
}
