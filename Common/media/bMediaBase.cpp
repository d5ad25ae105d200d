#include "bMediaBase.h"

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

#include <string.h>

#include "bTraceLog.h"

int MsToRefTime(LONGLONG* out, LONGLONG value, BOOL convert) {
    if (out)
        *out = convert ? value * 10000 : value;
    return 1;
}

int RefTimeToMs(LONGLONG value, LONGLONG* out, BOOL convert) {
    if (out)
        *out = convert ? (value + 5000) / 10000 : value;
    return 1;
}

MediaObjectBase::MediaObjectBase(IPlayerSite* site)
    : m_ref(0),
      m_site(site),
      m_notifyCookie(0),
      m_fileChanged(0),
      m_kind(0),
      m_startPos(0),
      m_startChanged(1),
      m_endPos(0),
      m_endChanged(1),
      m_curPos(0),
      m_duration(0),
      m_playState(MEDIA_STOPPED),
      m_videoWidth(0),
      m_videoHeight(0),
      m_rate(1.0),
      m_rateChanged(1),
      m_volume(1000),
      m_volumeChanged(1),
      m_balance(0),
      m_balanceChanged(1),
      m_ownerWindow(nullptr),
      m_ownerChanged(1),
      m_notifyWindow(nullptr),
      m_notifyChanged(1),
      m_useMCI(0),
      m_timeBaseChanged(0),
      m_cdAudio(0),
      m_windowStyle(0),
      m_styleChanged(1),
      m_rectChanged(1),
      m_hidden(0),
      m_soundChanged(1),
      m_neverOpened(1),
      m_trackChanged(0) {
    m_fileName[0] = 0;
    m_alias[0] = 0;
    memset(m_windowRect, 0, sizeof(m_windowRect));
}

MediaObjectBase::~MediaObjectBase() {}

STDMETHODIMP MediaObjectBase::QueryInterface(REFIID iid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == __uuidof(IMediaObjectBase)) {
        *ppv = static_cast<IMediaObjectBase*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaObjectBase::AddRef() {
    return (ULONG)InterlockedIncrement(&m_ref);
}

STDMETHODIMP_(ULONG) MediaObjectBase::Release() {
    LONG n = InterlockedDecrement(&m_ref);
    if (n == 0)
        DeleteThis(1);
    return (ULONG)n;
}

STDMETHODIMP_(void) MediaObjectBase::DeleteThis(UINT) {
    delete this;
}

STDMETHODIMP MediaObjectBase::put_UseMCI(long value) {
    if ((value != 0) != (m_useMCI != 0))
        m_timeBaseChanged = 1;
    m_useMCI = value;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_UseMCI(long* value) {
    if (value)
        *value = m_useMCI;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_CDAudio(long value) {
    m_cdAudio = value;
    m_timeBaseChanged = (m_useMCI != 0) != (value != 0);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_CDAudio(long* value) {
    if (value)
        *value = m_cdAudio;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_FileName(const char* name) {
    if (!name)
        name = "";
    // The buffer keeps its terminator: a longer name is refused, not cut.
    if (strlen(name) >= (size_t)kMediaNameSize)
        return E_INVALIDARG;
    if (strcmp(name, m_fileName) != 0 && m_fileName[0])
        m_fileChanged = 1;
    strcpy(m_fileName, name);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_FileName(char* buffer, int length) {
    if (!buffer || length <= 0)
        return S_OK;
    lstrcpynA(buffer, m_fileName, length);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_Kind(long kind) {
    m_kind = kind;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_Kind(short* kind) {
    if (kind)
        *kind = (short)m_kind;
    return S_OK;
}

// The start and end: an equal value only clears the flag; an open control
// holds a new one inside 0..duration.
void MediaObjectBase::SetBoundPosition(LONGLONG value, LONGLONG* pos, int* changed) {
    if (value == *pos) {
        *changed = 0;
        return;
    }
    if (IsClosed() == S_OK) {
        if (value < 0)
            value = 0;
        else if (m_duration > 0 && value > m_duration)
            value = m_duration;
    }
    *pos = value;
    *changed = 1;
}

STDMETHODIMP MediaObjectBase::put_StartPos(LONGLONG value) {
    SetBoundPosition(value, &m_startPos, &m_startChanged);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_StartPos(LONGLONG* value) {
    if (value)
        *value = m_startPos;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_EndPos(LONGLONG value) {
    SetBoundPosition(value, &m_endPos, &m_endChanged);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_EndPos(LONGLONG* value) {
    if (value)
        *value = m_endPos;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_CurPos(LONGLONG value) {
    if (value == m_curPos)
        return S_OK;
    if (m_duration > 0) {
        if (value < 0)
            value = 0;
        else if (value > m_duration)
            value = m_duration;
    }
    m_curPos = value;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_CurPos(LONGLONG* value) {
    if (value)
        *value = m_curPos;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_PlayState(long state) {
    m_playState = state;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_PlayState(long* state) {
    if (state)
        *state = m_playState;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_VideoWidth(long* value) {
    if (value)
        *value = m_videoWidth;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_VideoHeight(long* value) {
    if (value)
        *value = m_videoHeight;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_Rate(double* value) {
    if (value)
        *value = m_rate;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_Rate(double value) {
    double current = 0;
    get_Rate(&current);
    if (value != current) {
        m_rate = value;
        m_rateChanged = 1;
    }
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_Volume(long* value) {
    if (value)
        *value = m_volume;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_Volume(long value) {
    long current = 0;
    get_Volume(&current);
    if (value == current) {
        m_volumeChanged = 0;
    } else {
        m_volume = value;
        m_volumeChanged = 1;
    }
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_Balance(long* value) {
    if (value)
        *value = m_balance;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_Balance(long value) {
    long current = 0;
    get_Balance(&current);
    if (value == current) {
        m_balanceChanged = 0;
    } else {
        m_balance = value;
        m_balanceChanged = 1;
    }
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_OwnerWindow(HWND* window) {
    if (window)
        *window = m_ownerWindow;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_OwnerWindow(HWND window) {
    if (window != m_ownerWindow) {
        m_ownerWindow = window;
        m_ownerChanged = 1;
    }
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_NotifyWindow(HWND* window) {
    if (window)
        *window = m_notifyWindow;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_NotifyWindow(HWND window) {
    if (window != m_notifyWindow) {
        m_notifyWindow = window;
        m_notifyChanged = 1;
    }
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_WindowStyle(long style) {
    m_windowStyle = style;
    m_styleChanged = 1;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_WindowStyle(long* style) {
    if (style)
        *style = m_windowStyle;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_WindowRect(long a, long b, long c, long d) {
    if (m_windowRect[0] == a && m_windowRect[1] == b && m_windowRect[2] == c &&
        m_windowRect[3] == d) {
        m_rectChanged = 0;
        return S_OK;
    }
    m_windowRect[0] = a;
    m_windowRect[1] = b;
    m_windowRect[2] = c;
    m_windowRect[3] = d;
    m_rectChanged = 1;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_WindowRect(RECT* rect) {
    if (rect)
        SetRect(rect, m_windowRect[0], m_windowRect[1], m_windowRect[2], m_windowRect[3]);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::get_Duration(LONGLONG* value) {
    if (value)
        *value = m_duration;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::CloseMedia() {
    Close();
    return S_OK;
}

STDMETHODIMP MediaObjectBase::GrabFrame(IPixelBuffer** picture) {
    if (picture)
        *picture = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP MediaObjectBase::put_NotifyCookie(LONG_PTR cookie) {
    m_notifyCookie = cookie;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_Alias(const char* alias) {
    if (!alias)
        alias = "";
    if (strlen(alias) >= (size_t)kMediaNameSize)
        return E_INVALIDARG;
    strcpy(m_alias, alias);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::put_Hidden(long value) {
    m_hidden = (BYTE)(value & 0xFF);
    return S_OK;
}

STDMETHODIMP MediaObjectBase::ApplyPositions(LONGLONG position) {
    if (m_timeBaseChanged && !m_neverOpened) {
        const BOOL toMs = m_useMCI != 0;
        if (toMs) {
            RefTimeToMs(m_startPos, &m_startPos, TRUE);
            RefTimeToMs(m_endPos, &m_endPos, TRUE);
        } else {
            MsToRefTime(&m_startPos, m_startPos, TRUE);
            MsToRefTime(&m_endPos, m_endPos, TRUE);
        }
    }
    m_timeBaseChanged = 0;
    if (m_endPos > m_duration || m_endPos <= position)
        m_endPos = m_duration;
    if (m_startPos < position || m_startPos > m_endPos)
        m_startPos = position;
    m_neverOpened = 0;
    return S_OK;
}

STDMETHODIMP MediaObjectBase::ResetPositions() {
    m_endPos = m_duration;
    m_startPos = 0;
    m_curPos = 0;
    m_timeBaseChanged = 0;
    m_fileChanged = 0;
    m_neverOpened = 0;
    return S_OK;
}

void MediaObjectBase::ResetProperties() {
    if (!m_cdAudio && m_fileChanged) {
        m_startPos = 0;
        m_endPos = 0;
        m_curPos = 0;
        m_duration = 0;
        m_volume = 1000;
        m_balance = 0;
    }
    m_trackChanged = 0;
    m_playState = MEDIA_STOPPED;
    m_rate = 1.0;
    m_volumeChanged = 1;
    m_balanceChanged = 1;
    m_rateChanged = 1;
    m_startChanged = 1;
    m_endChanged = 1;
    m_soundChanged = 1;
}

long KindByExtension(const char* name, const ExtensionKind* table, size_t count,
                     ExtensionMatch match, long otherwise) {
    if (!name)
        return otherwise;
    const char* tail = nullptr;
    if (match == MATCH_LAST_FOUR) {
        const size_t n = strlen(name);
        tail = n >= 4 ? name + n - 4 : nullptr;
    } else {
        tail = strrchr(name, '.');
    }
    if (!tail)
        return otherwise;
    for (size_t i = 0; i < count; ++i) {
        const char* ext = table[i].extension;
        if (match == MATCH_LAST_FOUR ? _stricmp(tail, ext) == 0
                                     : _strnicmp(tail, ext, strlen(ext)) == 0)
            return table[i].kind;
    }
    return otherwise;
}

HRESULT CreateFilterGraph(IGraphBuilder** graph, const char* what) {
    *graph = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, reinterpret_cast<void**>(graph));
    if (FAILED(hr)) {
        *graph = nullptr;
        LOG_HRESULT(hr, "%s", what);
    }
    return hr;
}

bool DrainGraphEvents(IMediaEventEx* events, IMediaControl* control, IVideoWindow* window) {
    bool ended = false;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 0))) {
        events->FreeEventParams(code, p1, p2);
        const bool abort = code == EC_USERABORT || code == EC_ERRORABORT;
        if (abort) {
            events->SetNotifyWindow(0, WM_GRAPHNOTIFY, 0);
            control->Stop();
            if (window)
                window->put_Visible(OAFALSE);
        }
        if (abort || code == EC_COMPLETE || code == EC_END_OF_SEGMENT)
            ended = true;
    }
    return ended;
}
