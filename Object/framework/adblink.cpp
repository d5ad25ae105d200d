#include "adblink.h"

#include <string.h>

#include <vector>

#include "bStorage.h"
#include "bDBCore.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

// Copies a name cut to 63 bytes of whole characters and a NUL.
void CopyName(char* dest, const char* src) {
    memset(dest, 0, 64);
    if (src)
        memcpy(dest, src, MbCutLength(src, 63));
}

void CopyWideName(char* dest, BSTR src) {
    std::string text = src ? MultibyteFromWide(src) : std::string();
    CopyName(dest, text.c_str());
}

// A NUL-terminated multibyte text of at most `limit` bytes inside a record.
bool SameText(const char* a, const char* b, size_t limit) {
    char x[65], y[65];
    size_t n = strnlen(a, limit), m = strnlen(b, limit);
    memcpy(x, a, n);
    x[n] = 0;
    memcpy(y, b, m);
    y[m] = 0;
    return lstrcmpiA(x, y) == 0;
}

}  // namespace

DbLinkAbility::DbLinkAbility() : m_flags(0), m_position(0) {
    memset(m_table, 0, sizeof(m_table));
    memset(m_field, 0, sizeof(m_field));
}

STDMETHODIMP DbLinkAbility::SetLinked(BOOL on) {
    WORD before = m_flags;
    if (on)
        m_flags |= DBLINK_LINKED;
    else
        m_flags &= ~DBLINK_LINKED;
    if (before != m_flags)
        Refresh(DB_REFRESH_BIND);
    return S_OK;
}

STDMETHODIMP DbLinkAbility::IsLinked(BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = Linked() ? TRUE : FALSE;
    return S_OK;
}

STDMETHODIMP DbLinkAbility::SetSource(const char* table, const char* field) {
    if (table)
        CopyName(m_table, table);
    if (field)
        CopyName(m_field, field);
    if (!Linked())
        return S_FALSE;
    Refresh(DB_REFRESH_SOURCE);
    return S_OK;
}

STDMETHODIMP DbLinkAbility::GetSource(char* table, char* field) {
    if (!table || !field)
        return E_POINTER;
    if (!Linked()) {
        table[0] = field[0] = 0;
        return S_FALSE;
    }
    memcpy(table, m_table, sizeof(m_table));
    memcpy(field, m_field, sizeof(m_field));
    return S_OK;
}

STDMETHODIMP DbLinkAbility::SetOption(BOOL on) {
    if (on)
        m_flags |= DBLINK_RELATIVE;
    else
        m_flags &= ~DBLINK_RELATIVE;
    if (!Linked())
        return S_FALSE;
    Refresh(DB_REFRESH_OPTION);
    return S_OK;
}

STDMETHODIMP DbLinkAbility::GetOption(BOOL* out) {
    if (!out)
        return E_POINTER;
    *out = (m_flags & DBLINK_RELATIVE) ? TRUE : FALSE;
    return Linked() ? S_OK : S_FALSE;
}

STDMETHODIMP DbLinkAbility::SetRecordPos(LONG position) {
    m_position = position;
    if (!Linked())
        return S_FALSE;
    Refresh(DB_REFRESH_POSITION);
    return S_OK;
}

STDMETHODIMP DbLinkAbility::GetRecordPos(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = m_position;
    return Linked() ? S_OK : S_FALSE;
}

void DbLinkAbility::FillDescriptor(DataSourceDescriptor* d, bool withName) {
    memset(d, 0, sizeof(*d));
    if (withName) {
        char name[32] = {};
        LinkObjectName(name);
        name[31] = 0;
        memcpy(d->objectName, name, sizeof(name));
    }
    memcpy(d->sourceName, m_table, sizeof(m_table));
    memcpy(d->fieldName, m_field, sizeof(m_field));
    d->position = m_position;
    d->relative = (m_flags & DBLINK_RELATIVE) ? 1 : 0;
}

STDMETHODIMP DbLinkAbility::GetDescriptor(DataSourceDescriptor* out) {
    if (!out)
        return E_POINTER;
    if (!Linked()) {
        memset(out, 0, sizeof(*out));
        return S_FALSE;
    }
    FillDescriptor(out, false);
    return S_OK;
}

// flags (32-bit, low 16 kept), position, then the table and field names:
// each a count n (bytes + 1) and 2n bytes of UTF-16.
STDMETHODIMP DbLinkAbility::Load(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    DWORD flags = 0;
    LONG position = 0;
    if (!StreamReadValue(stream, &flags) || !StreamReadValue(stream, &position)) {
        LOG_MSG("Database link: record cut short");
        return E_FAIL;
    }
    char names[2][64];
    for (char* name : names) {
        DWORD n = 0;
        if (!StreamReadValue(stream, &n) || !StreamHas(stream, 2ULL * n)) {
            LOG_MSG("Database link: name of %lu characters beyond the stream", (unsigned long)n);
            return E_FAIL;
        }
        std::vector<char> text(n + 1, 0);
        try {
            stream->ReadWideString(text.data(), n);
        } catch (...) {
            LOG_MSG("Database link: name not read");
            return E_FAIL;
        }
        CopyName(name, text.data());
    }
    m_flags = (WORD)flags;
    m_position = position;
    memcpy(m_table, names[0], 64);
    memcpy(m_field, names[1], 64);
    return S_OK;
}

STDMETHODIMP DbLinkAbility::Save(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    StreamWriteValue<DWORD>(stream, m_flags);
    StreamWriteValue<LONG>(stream, m_position);
    for (const char* name : {m_table, m_field}) {
        DWORD n = (DWORD)strnlen(name, 64) + 1;
        StreamWriteValue<DWORD>(stream, n);
        stream->WriteWideString(name, n);
    }
    return S_OK;
}

IDBCore* DbLinkAbility::Core() {
    IPlayerSite* site = GetPlaySiteForLink();
    void* core = nullptr;
    if (!site || FAILED(site->GetDatabase(&core)))
        return nullptr;
    return static_cast<IDBCore*>(core);
}

HRESULT DbLinkAbility::ReadValue(DataSourceDescriptor* d, VARIANT* value, int* mediaFlag) {
    if (!Linked() || !m_table[0] || !m_field[0])
        return E_FAIL;
    FillDescriptor(d, true);
    IDBCore* core = Core();
    if (!core)
        return E_FAIL;
    HRESULT hr = core->GetDataSourceFieldValue(d, value);
    if (FAILED(hr))
        return hr;
    if (value->vt == VT_EMPTY || value->vt == VT_NULL)
        return S_FALSE;
    if (!(value->vt & VT_ARRAY)) {
        LOG_MSG("Data type mismatch (%d)", (int)value->vt);
        VariantClear(value);
        return E_FAIL;
    }
    if (!AcceptsType(value)) {
        LOG_MSG("Obj can't support this data (type : %d)", (int)value->vt);
        VariantClear(value);
        return E_FAIL;
    }
    *mediaFlag = 0;
    core->GetDataSourceFieldLinkFlag(d, mediaFlag);
    if (!value->parray || value->parray->cDims != 1 || value->parray->rgsabound[0].cElements == 0) {
        VariantClear(value);
        return S_FALSE;
    }
    return S_OK;
}

HRESULT ParseFieldBlock(const BYTE* block, ULONG size, bool mediaFlag, const char** text,
                        const void** extra, int* type) {
    *text = nullptr;
    *extra = nullptr;
    *type = 0;
    ULONG start = 0;
    if (!mediaFlag) {
        if (size < 4) {
            LOG_MSG("Database field block of %lu bytes has no type word", (unsigned long)size);
            return E_FAIL;
        }
        memcpy(type, block, 4);
        start = 4;
    }
    const void* nul = memchr(block + start, 0, size - start);
    if (!nul) {
        LOG_MSG("Database field text not ended inside its %lu bytes", (unsigned long)size);
        return E_FAIL;
    }
    ULONG end = (ULONG)(static_cast<const BYTE*>(nul) - block);
    if (!mediaFlag && size > DB_BLOCK_DATA_OFFSET) {
        if (end >= DB_BLOCK_DATA_OFFSET) {
            LOG_MSG("Database field text runs into the data at %d", DB_BLOCK_DATA_OFFSET);
            return E_FAIL;
        }
        *extra = block + DB_BLOCK_DATA_OFFSET;
    }
    *text = reinterpret_cast<const char*>(block + start);
    return S_OK;
}

HRESULT DbLinkAbility::DbRefresh(int) {
    TRACE_POINT();
    DataSourceDescriptor d;
    VARIANT value;
    VariantInit(&value);
    int mediaFlag = 0;
    HRESULT hr = ReadValue(&d, &value, &mediaFlag);
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_FALSE;
    SAFEARRAY* array = value.parray;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        VariantClear(&value);
        return S_FALSE;
    }
    ULONG size = array->rgsabound[0].cElements * array->cbElements;
    const char* text = nullptr;
    const void* extra = nullptr;
    int type = 0;
    hr =
        ParseFieldBlock(static_cast<const BYTE*>(data), size, mediaFlag != 0, &text, &extra, &type);
    if (SUCCEEDED(hr)) {
        ApplyData(mediaFlag ? TRUE : FALSE, text, extra, type);
        hr = S_OK;
    }
    SafeArrayUnaccessData(array);
    VariantClear(&value);
    return hr;
}

STDMETHODIMP DbLinkAbility::GetDataText(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_POINTER;
    buffer[0] = 0;
    DataSourceDescriptor d;
    VARIANT value;
    VariantInit(&value);
    int mediaFlag = 0;
    HRESULT hr = ReadValue(&d, &value, &mediaFlag);
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_FALSE;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(value.parray, &data))) {
        VariantClear(&value);
        return S_FALSE;
    }
    ULONG bytes = value.parray->rgsabound[0].cElements * value.parray->cbElements;
    const char* text = nullptr;
    const void* extra = nullptr;
    int type = 0;
    hr = ParseFieldBlock(static_cast<const BYTE*>(data), bytes, mediaFlag != 0, &text, &extra,
                         &type);
    if (SUCCEEDED(hr)) {
        size_t n = MbCutLength(text, (size_t)size - 1);
        memcpy(buffer, text, n);
        buffer[n] = 0;
        hr = S_OK;
    }
    SafeArrayUnaccessData(value.parray);
    VariantClear(&value);
    return hr;
}

STDMETHODIMP DbLinkAbility::OnDataSourceNotice(const DataSourceNotice* notice) {
    if (!notice || !Linked())
        return S_FALSE;
    if (!SameText(notice->sourceName, m_table, 64))
        return S_FALSE;
    if (notice->fieldName[0] && !SameText(notice->fieldName, m_field, 64))
        return S_FALSE;
    char name[32] = {};
    LinkObjectName(name);
    name[31] = 0;
    if (notice->objectName[0] && SameText(notice->objectName, name, 32))
        return S_FALSE;
    return Refresh(DB_REFRESH_NOTICE);
}

STDMETHODIMP DbLinkAbility::BindToDatabase(BSTR table, BSTR field, LONG option) {
    m_flags |= DBLINK_LINKED;
    if (option)
        m_flags |= DBLINK_RELATIVE;
    else
        m_flags &= ~DBLINK_RELATIVE;
    CopyWideName(m_table, table);
    CopyWideName(m_field, field);
    Refresh(DB_REFRESH_BIND);
    return S_OK;
}

HRESULT DbLinkAbility::UnbindToDatabase() {
    if (Linked()) {
        m_flags &= ~DBLINK_LINKED;
        Refresh(DB_REFRESH_BIND);
    }
    return S_OK;
}

HRESULT DbLinkAbility::GetObjRecordPos(LONG* out) {
    return GetRecordPos(out);
}

HRESULT DbLinkAbility::PutObjRecordPos(LONG position) {
    return SetRecordPos(position);
}
