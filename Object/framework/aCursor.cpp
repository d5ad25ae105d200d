#include "aCursor.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "aMediaMgr.h"
#include "bStorage.h"
#include "aStorage.h"
#include "bTraceLog.h"

namespace {

HMODULE g_cursorLibrary = nullptr;

enum { KIND_NONE = 0, KIND_LIBRARY = 1, KIND_SECOND = 2, KIND_FILE = 3 };

class CursorAbility : public CComObjectRootBase, public ICursorAbility {
public:
    CursorAbility()
        : m_kind(KIND_NONE),
          m_applied(0),
          m_changed(1),
          m_number(0),
          m_second(0),
          m_cursor(nullptr),
          m_previous(nullptr),
          m_site(nullptr) {
        m_text[0] = 0;
        m_path[0] = 0;
    }
    virtual ~CursorAbility() {}

    BEGIN_COM_MAP(CursorAbility)
    COM_INTERFACE_ENTRY(ICursorAbility)
    END_COM_MAP()

    STDMETHOD(Load)(ITeskStream* stream) override {
        if (!stream)
            return E_FAIL;
        LONG kind = 0;
        if (!StreamReadValue(stream, &kind)) {
            LOG_MSG("Cursor record past the stream's end");
            return E_FAIL;
        }
        switch (kind) {
            case KIND_LIBRARY: {
                LONG number = 0;
                if (!StreamReadValue(stream, &number)) {
                    LOG_MSG("Cursor record past the stream's end");
                    return E_FAIL;
                }
                return SetNumber(number, 0);
            }
            case KIND_FILE: {
                DWORD n = 0;
                if (!StreamReadValue(stream, &n) || !StreamHas(stream, (ULONGLONG)n * 2)) {
                    LOG_MSG("Cursor file text past the stream's end");
                    return E_FAIL;
                }
                std::string text(n + 1, '\0');
                if (n)
                    stream->ReadWideString(&text[0], n);
                return SetFile(text.c_str());
            }
            case KIND_NONE:
            case KIND_SECOND:
                SetKindByte((BYTE)kind);
                return kind == KIND_SECOND ? E_NOTIMPL : S_OK;
            default:
                LOG_MSG("Cursor record: kind %d", (int)kind);
                return E_FAIL;
        }
    }
    STDMETHOD(Save)(ITeskStream* stream) override {
        if (!stream)
            return E_FAIL;
        StreamWriteValue(stream, (LONG)m_kind);
        if (m_kind == KIND_LIBRARY)
            StreamWriteValue(stream, m_number);
        else if (m_kind == KIND_FILE) {
            DWORD n = (DWORD)strlen(m_text) + 1;
            StreamWriteValue(stream, n);
            stream->WriteWideString(m_text, n);
        }
        return m_kind == KIND_SECOND ? E_NOTIMPL : S_OK;
    }
    STDMETHOD(Reserved5)() override { return E_NOTIMPL; }
    STDMETHOD(CopyFrom)(ICursorAbility* source) override {
        if (!source)
            return E_POINTER;
        CursorRecord record = {};
        record.dwWhich = 3;
        HRESULT hr = source->GetToRecord(&record);
        if (FAILED(hr))
            return hr;
        return SetFromRecord(&record);
    }
    STDMETHOD(SetFromRecord)(const CursorRecord* record) override {
        if (!record)
            return E_POINTER;
        if (record->dwWhich & 1)
            SetKindByte(record->bKind);
        if (record->dwWhich & 2) {
            switch (m_kind) {
                case KIND_NONE:
                    break;
                case KIND_LIBRARY:
                    return SetNumber(record->nNumber, 0);
                case KIND_SECOND:
                    return SetNumber(record->nNumber, 1);
                case KIND_FILE: {
                    char text[33];
                    memcpy(text, record->szText, 32);
                    text[32] = 0;
                    return SetFile(text);
                }
                default:
                    return E_INVALIDARG;
            }
        }
        return S_OK;
    }
    STDMETHOD(GetToRecord)(CursorRecord* record) override {
        if (!record)
            return E_POINTER;
        if (record->dwWhich & 1)
            record->bKind = (BYTE)m_kind;
        if (record->dwWhich & 2) {
            switch (m_kind) {
                case KIND_NONE:
                    break;
                case KIND_LIBRARY:
                    record->nNumber = m_number;
                    break;
                case KIND_SECOND:
                    record->nNumber = m_second;
                    break;
                case KIND_FILE:
                    memcpy(record->szText, m_text, sizeof(record->szText));
                    break;
                default:
                    return E_INVALIDARG;
            }
        }
        return S_OK;
    }
    STDMETHOD(FromText)(const char* text) override {
        if (!text)
            return E_POINTER;
        const char* comma = strchr(text, ',');
        if (!comma)
            return SetKindByte(KIND_NONE);
        int kind = atoi(text);
        const char* value = comma + 1;
        switch (kind) {
            case KIND_LIBRARY:
                return SetNumber(atoi(value), 0);
            case KIND_SECOND:
                return SetNumber(atoi(value), 1);
            case KIND_FILE:
                return SetFile(value);
            default:
                return SetKindByte(KIND_NONE);
        }
    }
    STDMETHOD(ToText)(char* buffer, int size) override {
        if (!buffer || size <= 0)
            return E_POINTER;
        if (m_kind == KIND_LIBRARY)
            snprintf(buffer, size, "%d,%d", 1, (int)m_number);
        else if (m_kind == KIND_SECOND)
            snprintf(buffer, size, "%d,%d", 2, (int)m_second);
        else if (m_kind == KIND_FILE)
            snprintf(buffer, size, "%d,%s", 3, m_text);
        else
            snprintf(buffer, size, "%d", (int)m_kind);
        return S_OK;
    }
    STDMETHOD(GetKind)(LONG* out) override {
        if (!out)
            return E_POINTER;
        *out = m_kind;
        return S_OK;
    }
    STDMETHOD_(BYTE, GetKindByte)() override { return (BYTE)m_kind; }
    STDMETHOD(SetKindByte)(BYTE kind) override {
        if (kind != m_kind)
            m_changed = 1;
        m_kind = kind;
        return S_OK;
    }
    STDMETHOD(GetNumber)(LONG* out, int source) override {
        if (!out)
            return E_POINTER;
        if (source == 0 && m_kind == KIND_LIBRARY)
            *out = m_number;
        else if (source == 1 && m_kind == KIND_SECOND)
            *out = m_second;
        else
            return E_INVALIDARG;
        return S_OK;
    }
    STDMETHOD(SetNumber)(LONG number, int source) override {
        if (source == 0) {
            if (number != m_number || m_kind != KIND_LIBRARY)
                m_changed = 1;
            m_number = number;
            m_kind = KIND_LIBRARY;
        } else if (source == 1) {
            if (number != m_second || m_kind != KIND_SECOND)
                m_changed = 1;
            m_second = number;
            m_kind = KIND_SECOND;
        } else {
            return E_INVALIDARG;
        }
        return S_OK;
    }
    STDMETHOD(GetText)(char* buffer, int size) override {
        if (!buffer || size <= 0)
            return E_POINTER;
        buffer[0] = 0;
        if (m_kind == KIND_FILE) {
            snprintf(buffer, size, "%s", m_text);
            return S_OK;
        }
        if (m_kind == KIND_LIBRARY) {
            snprintf(buffer, size, "%d", (int)m_number);
            return S_OK;
        }
        return E_FAIL;
    }
    STDMETHOD(SetFile)(const char* text) override {
        if (!text)
            return E_POINTER;
        char cut[32];
        CutMultibyteText(text, 31, cut);
        if (m_kind != KIND_FILE || strcmp(cut, m_text) != 0)
            m_changed = 1;
        memcpy(m_text, cut, sizeof(m_text));
        m_kind = KIND_FILE;
        ResolvePath();
        return S_OK;
    }
    STDMETHOD(GetHandle)(HCURSOR* out) override {
        if (!out)
            return E_POINTER;
        *out = m_cursor;
        return S_OK;
    }
    STDMETHOD(Reserved19)(void** out) override {
        if (out)
            *out = nullptr;
        return S_OK;
    }
    STDMETHOD(LoadCursorHandle)() override {
        HRESULT hr = S_OK;
        switch (m_kind) {
            case KIND_LIBRARY:
                m_cursor = g_cursorLibrary
                               ? LoadCursorA(g_cursorLibrary, MAKEINTRESOURCEA(m_number + 1))
                               : nullptr;
                break;
            case KIND_SECOND:
                hr = E_NOTIMPL;
                break;
            case KIND_FILE:
                m_cursor = m_path[0] ? LoadCursorFromFileA(m_path) : nullptr;
                break;
            default:
                m_cursor = nullptr;
                break;
        }
        m_changed = 0;
        return hr;
    }
    STDMETHOD_(int, IsApplied)() override { return m_applied ? 0 : 1; }
    STDMETHOD(Apply)() override {
        if (m_kind == KIND_NONE)
            return S_OK;
        if (m_changed) {
            HRESULT hr = LoadCursorHandle();
            if (FAILED(hr))
                return hr;
        }
        if (!m_cursor || m_cursor == m_previous)
            return S_OK;
        SetViewCursor(m_cursor);
        m_previous = SetCursor(m_cursor);
        m_applied = 1;
        return S_OK;
    }
    STDMETHOD(Restore)() override {
        if (!m_applied && !m_previous)
            return S_OK;
        m_applied = 0;
        if (m_kind == KIND_NONE || m_kind == KIND_SECOND)
            return S_OK;
        HCURSOR cursor = m_previous ? m_previous : LoadCursorA(nullptr, IDC_ARROW);
        SetViewCursor(cursor);
        SetCursor(cursor);
        return S_OK;
    }
    STDMETHOD(GetSiteOverride)(IPlayerSite** out) override {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }

    void SetSite(IPlayerSite* site) { m_site = site; }

private:
    IPlayerSite* Site() {
        IPlayerSite* site = nullptr;
        if (SUCCEEDED(GetSiteOverride(&site)) && site)
            return site;
        return m_site;
    }
    void SetViewCursor(HCURSOR cursor) {
        IPlayerSite* site = Site();
        HWND view = site ? site->GetViewWindow() : nullptr;
        if (view)
            SetClassLongPtrA(view, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
    }
    void ResolvePath() {
        snprintf(m_path, sizeof(m_path), "%s", m_text);
        IPlayerSite* site = Site();
        IMediaManager* media = nullptr;
        if (!site || FAILED(site->GetMediaManager(&media)) || !media)
            return;
        char path[260] = "";
        if (SUCCEEDED(media->GetMediaFilePath(m_text, 1, path, sizeof(path))) && path[0])
            snprintf(m_path, sizeof(m_path), "%s", path);
    }

    LONG m_kind;
    BYTE m_applied;
    BYTE m_changed;
    LONG m_number;
    LONG m_second;
    char m_text[32];
    HCURSOR m_cursor;
    HCURSOR m_previous;
    char m_path[260];
    IPlayerSite* m_site;
};

}  // namespace

void SetCursorLibrary(HMODULE module) {
    g_cursorLibrary = module;
}

HMODULE GetCursorLibrary() {
    return g_cursorLibrary;
}

size_t CutMultibyteText(const char* text, size_t limit, char* out) {
    size_t i = 0;
    while (text[i] && i < limit) {
        if (IsDBCSLeadByte((BYTE)text[i])) {
            if (!text[i + 1] || i + 2 > limit)
                break;
            i += 2;
        } else {
            ++i;
        }
    }
    memcpy(out, text, i);
    out[i] = 0;
    return i;
}

HRESULT CreateCursorAbility(IPlayerSite* site, ICursorAbility** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CursorAbility>* cursor = nullptr;
    HRESULT hr = CComObject<CursorAbility>::CreateInstance(&cursor);
    if (FAILED(hr))
        return hr;
    cursor->AddRef();
    cursor->SetSite(site);
    *out = cursor;
    return S_OK;
}

void SetCursorSite(ICursorAbility* cursor, IPlayerSite* site) {
    if (cursor)
        static_cast<CursorAbility*>(cursor)->SetSite(site);
}
