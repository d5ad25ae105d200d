#include "aMovObj.h"

#include <string.h>

#include <algorithm>

#include "aUtil.h"
#include "bAnimCtrl.h"
#include "bMediaManager.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bSwfContainer.h"
#include "bTraceLog.h"

namespace {

// Longest media name a record may carry, in characters.
enum { MEDIA_NAME_CHARS = 260 };

}  // namespace

// What the Flash container invalidates: the object's rectangle.
struct MovieObject::FlashInvalidate final : public IInvalidateTarget {
    void Invalidate(const RECT*) override { owner->Redraw(); }
    MovieObject* owner = nullptr;
};

MovieObject::MovieObject()
    : m_flags(MOVFLAG_DEFAULT),
      m_repeatTimes(1),
      m_repeatCount(0),
      m_cur(0),
      m_end(0),
      m_start(0),
      m_length(0),
      m_mediaWidth(0),
      m_mediaHeight(0),
      m_control(nullptr),
      m_kind(MOVIE_NONE),
      m_frameChanged(false),
      m_backward(false),
      m_step(1),
      m_accum(0),
      m_cursorReset(false),
      m_buffer(nullptr),
      m_frame(nullptr),
      m_flashTarget(new FlashInvalidate) {
    m_flashTarget->owner = this;
}

MovieObject::~MovieObject() {
    CAbility::Stop();
    ReleaseBuffer();
    if (m_control) {
        m_control->Close();
        m_control->Release();
    }
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
    delete m_flashTarget;
}

HRESULT MovieObject::SetUp() {
    char name[64];
    LoadResString(STRING_MEDIA_POSITION_ROW, name, sizeof(name));
    AddRow(name);
    if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame)
        return E_FAIL;
    m_frame->SetOwner(static_cast<II_IRender*>(this));
    AttachPart(m_frame);
    return S_OK;
}

STDMETHODIMP MovieObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr) || m_control)
        return hr;
    hr = MakeMediaControl(MEDIA_CONTROL_ANIMATION, ClassSite(), &m_control);
    if (FAILED(hr))
        LOG_MSG("MovieObject: no animation control");
    return hr;
}

HRESULT MovieObject::LoadAttachedPart(ITeskStream* stream) {
    return m_frame ? m_frame->Load(stream) : ClassBase::LoadAttachedPart(stream);
}

void MovieObject::ReleaseBuffer() {
    if (m_buffer)
        m_buffer->Release();
    m_buffer = nullptr;
}

LONG MovieObject::FrameWidth() const {
    WORD t = 0;
    if (m_frame && !m_frame->IsHidden())
        m_frame->GetThickness(&t);
    return t;
}

HWND MovieObject::ViewWindow() {
    IPlayerSite* site = ClassSite();
    return site ? site->GetViewWindow() : nullptr;
}

// ---- the animation control's Flash operations ----

HRESULT MovieObject::FlashOpen(const char* path) {
    return m_control->Open(path, 0);
}
HRESULT MovieObject::FlashPlay() {
    return static_cast<CAnimCtrl*>(m_control)->FlashPlay();
}
HRESULT MovieObject::FlashStop() {
    return static_cast<CAnimCtrl*>(m_control)->FlashStop();
}
HRESULT MovieObject::FlashGotoFrame(LONG frame) {
    return static_cast<CAnimCtrl*>(m_control)->FlashGotoFrame(frame);
}
HRESULT MovieObject::FlashFrame(LONGLONG* frame) {
    return static_cast<CAnimCtrl*>(m_control)->GetFlashFrame(frame);
}
HRESULT MovieObject::FlashForward(const MSG* message) {
    return static_cast<CAnimCtrl*>(m_control)->ForwardMessageToFlash(message);
}
HRESULT MovieObject::FlashSize(int width, int height) {
    return static_cast<CAnimCtrl*>(m_control)->SetFlashSize(width, height, m_flashTarget);
}

// ---- flags and positions ----

HRESULT MovieObject::SetFlag(DWORD bit, LONG on) {
    m_flags = on ? (m_flags | bit) : (m_flags & ~bit);
    return S_OK;
}

STDMETHODIMP MovieObject::put_ObjRepeatTimes(LONG v) {
    m_repeatTimes = ClampRepeatTimes(v);
    return S_OK;
}

LONG MovieObject::LastFrame() const {
    // The end counts frames: the last one shown is the one before it.
    return m_end >= m_length ? m_length - 1 : m_end;
}

void MovieObject::SetCurrent(LONG position) {
    if (m_control)
        m_control->put_CurPos(position);
    m_cur = position;
    m_frameChanged = true;
    CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    Redraw();
}

STDMETHODIMP MovieObject::put_ObjStartPosition(LONG v) {
    if (v < 0 || v > m_length)
        return S_FALSE;
    m_start = v;
    int moved = MEDIAROW_START;
    if (m_end < v) {
        m_end = v;
        moved = MEDIAROW_BOTH;
    }
    ApplyToControl();
    CEventSinkTable::FireEvent(0, moved);
    if (m_cur < m_start)
        SetCurrent(m_start);
    return S_OK;
}

STDMETHODIMP MovieObject::put_ObjEndPosition(LONG v) {
    if (v < 0 || v > m_length)
        return S_FALSE;
    m_end = v;
    int moved = MEDIAROW_END;
    if (m_start > v) {
        m_start = v;
        moved = MEDIAROW_BOTH;
    }
    ApplyToControl();
    CEventSinkTable::FireEvent(0, moved);
    if (m_cur > m_end)
        SetCurrent(m_end);
    return S_OK;
}

STDMETHODIMP MovieObject::put_ObjCurPosition(LONG v) {
    if (v < m_start || v > m_end)
        return S_FALSE;
    if (m_kind == MOVIE_FLASH && Opened()) {
        m_control->Stop();
        FlashGotoFrame(v);
        FlashStop();
        if (CAbility::GetState() == ABILITY_RUNNING)
            FlashPlay();
    }
    if (v != m_cur)
        SetCurrent(v);
    return S_OK;
}

void MovieObject::ApplyToControl() {
    if (!m_control)
        return;
    m_control->put_StartPos(m_start);
    m_control->put_EndPos(m_end);
}

LONG MovieObject::RefreshLength() {
    LONGLONG d = 0;
    if (Opened() && SUCCEEDED(m_control->get_Duration(&d)))
        m_length = (LONG)d;
    return m_length;
}

HRESULT MovieObject::SetKeepSize(LONG on) {
    bool was = (m_flags & MOVFLAG_KEEPSIZE) != 0;
    SetFlag(MOVFLAG_KEEPSIZE, on);
    if (was != (on != 0)) {
        ScaleToFit();
        Redraw();
    }
    return S_OK;
}

// ---- the position row ----

STDMETHODIMP MovieObject::GetRowMaximum(LONG row, LONG* out) {
    if (row != 0)
        return CEventSinkTable::GetRowMaximum(row, out);
    return Get(out, m_end);
}

STDMETHODIMP MovieObject::GetRowMinimum(LONG row, LONG* out) {
    if (row != 0)
        return CEventSinkTable::GetRowMinimum(row, out);
    return Get(out, m_start);
}

STDMETHODIMP MovieObject::GetRowPageStep(LONG row, LONG* out) {
    if (row != 0)
        return CEventSinkTable::GetRowPageStep(row, out);
    return Get(out, std::max<LONG>(RefreshLength() / 50, 1));
}

STDMETHODIMP MovieObject::GetRowValue(LONG row, LONG* out) {
    if (row != 0)
        return CEventSinkTable::GetRowValue(row, out);
    return Get(out, m_cur);
}

STDMETHODIMP MovieObject::SetRowValue(LONG row, LONG value) {
    if (row != 0)
        return CEventSinkTable::SetRowValue(row, value);
    return put_ObjCurPosition(value);
}

// ---- the media ----

STDMETHODIMP MovieObject::get_ObjMediaName(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(MediaName());
    return *out ? S_OK : E_OUTOFMEMORY;
}

void MovieObject::ResizeToMedia(bool loaded) {
    Redraw();
    const LONG frame = 2 * FrameWidth();
    this->SetWidth((loaded ? m_mediaWidth : 100) + frame);
    this->SetHeight((loaded ? m_mediaHeight : 100) + frame);
    Redraw();
}

STDMETHODIMP MovieObject::put_ObjMediaName(BSTR name) {
    std::string text = MultibyteFromBstr(name);
    if (!StoreName(text.c_str()))
        return S_OK;
    HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : E_FAIL;
    ResizeToMedia(SUCCEEDED(hr) && Opened());
    return MediaName()[0] ? hr : S_OK;
}

void MovieObject::TakePositions() {
    long w = 0, h = 0;
    m_control->get_VideoWidth(&w);
    m_control->get_VideoHeight(&h);
    m_mediaWidth = w;
    m_mediaHeight = h;
    LONGLONG start = 0, end = 0, length = 0;
    m_control->get_StartPos(&start);
    m_control->get_EndPos(&end);
    m_control->get_Duration(&length);
    m_start = (LONG)start;
    m_end = (LONG)end;
    m_length = (LONG)length;
    m_cur = m_start;
}

STDMETHODIMP MovieObject::TakeData(const void* bytes, DWORD count, const char* name) {
    TRACE_POINT();
    Stop();
    if (!name)
        name = "";
    IPlayerSite* site = ClassSite();
    IMediaManager* manager = nullptr;
    if (!m_control || !site || FAILED(site->GetMediaManager(&manager)) || !manager)
        return E_FAIL;
    int type = 0, subtype = 0;
    if (FAILED(manager->GetMediaType(name, &type, &subtype))) {
        LOG_MSG("Unknown movie type for (%s)", name);
        return E_FAIL;
    }
    int kind = MOVIE_NONE;
    switch (subtype) {
        case 1015:
        case 1032:
            kind = MOVIE_GIF;
            break;
        case 1030:
        case 1031:
            kind = MOVIE_FLIC;
            break;
        case 1034:
            kind = MOVIE_FLASH;
            break;
        default:
            LOG_MSG("Unknown movie type(%d) for (%s)", subtype, name);
            return E_FAIL;
    }
    m_kind = kind;
    ReleaseBuffer();
    m_control->put_Kind(kind);
    if (kind == MOVIE_FLASH) {
        RECT r = {0, 0, this->GetWidth(), this->GetHeight()};
        m_control->put_FrameRect(&r);
        char path[MAX_PATH] = {};
        HRESULT hr = manager->GetMediaFilePath(name, 0, path, MAX_PATH);
        path[MAX_PATH - 1] = 0;
        if (SUCCEEDED(hr))
            hr = FlashOpen(path);
        if (FAILED(hr))
            return hr;
    } else {
        m_flags |= MOVFLAG_MOUSEEVENTS | MOVFLAG_FLASHINPUT;
        if (FAILED(m_control->Open(bytes, count))) {
            m_frameChanged = false;
            return E_FAIL;
        }
    }
    m_frameChanged = true;
    TakePositions();
    return S_OK;
}

STDMETHODIMP MovieObject::ApplyData(BOOL mediaFlag, const char* text, const void*, int) {
    HRESULT hr = SetMedia(mediaFlag ? TRUE : FALSE, text, nullptr, 0);
    if (Opened())
        put_ObjEndPosition(m_length);
    Redraw();
    return hr;
}

void MovieObject::CloseControl() {
    CAbility::Stop();
    if (m_control)
        m_control->Close();
    ReleaseBuffer();
}

HRESULT MovieObject::DbRefresh(int code) {
    if (code == DB_REFRESH_BIND && !Linked()) {
        HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : S_OK;
        if (Opened())
            put_ObjEndPosition(m_length);
        Redraw();
        return hr;
    }
    HRESULT hr = DbLinkAbility::DbRefresh(code);
    if (FAILED(hr) && Linked() && Opened()) {
        CloseControl();
        Redraw();
    }
    return hr;
}

// ---- play ----

STDMETHODIMP MovieObject::Start() {
    if (!Opened() || !MayStartAgain(m_repeatCount, m_repeatTimes, !(m_flags & MOVFLAG_NOLIMIT)))
        return S_OK;
    if (!CAbility::m_site)
        CAbility::SetSite(ClassSite());
    HRESULT hr = CAbility::Start();
    if (FAILED(hr))
        return hr;
    m_accum = CAbility::TotalTime();
    Fire(MEDIAEVT_PLAYSTART);
    if (m_kind == MOVIE_FLASH) {
        FlashGotoFrame(m_start);
        FlashPlay();
    }
    m_control->put_PlayState(MEDIA_PLAYING);
    return S_OK;
}

STDMETHODIMP MovieObject::Pause() {
    HRESULT hr = CAbility::Pause();
    if (Opened()) {
        if (m_kind == MOVIE_FLASH)
            FlashStop();
        m_control->put_PlayState(MEDIA_PAUSED);
    }
    return hr;
}

STDMETHODIMP MovieObject::Resume() {
    const bool paused = CAbility::GetState() == ABILITY_PAUSED;
    HRESULT hr = CAbility::Resume();
    if (Opened()) {
        if (m_kind == MOVIE_FLASH && paused)
            FlashPlay();
        m_control->put_PlayState(MEDIA_PLAYING);
    }
    return hr;
}

STDMETHODIMP MovieObject::Stop() {
    HRESULT hr = CAbility::Stop();
    if (Opened()) {
        m_control->put_PlayState(MEDIA_STOPPED);
        if (m_kind == MOVIE_FLASH)
            m_control->Stop();
    }
    return hr;
}

STDMETHODIMP MovieObject::PlayMedia() {
    if (CAbility::GetState() != ABILITY_STOPPED)
        Stop();
    m_repeatCount = 0;
    m_step = 1;
    m_backward = false;
    SetCurrent(m_start);
    return Start();
}

STDMETHODIMP MovieObject::StopMedia() {
    Stop();
    Fire(MEDIAEVT_PLAYSTOP);
    return S_OK;
}

STDMETHODIMP MovieObject::PauseMedia() {
    return Pause();
}

STDMETHODIMP MovieObject::ContinueMedia() {
    return Resume();
}

STDMETHODIMP MovieObject::PlayPauseMedia() {
    if (!Opened())
        return E_FAIL;
    switch (CAbility::GetState()) {
        case ABILITY_STOPPED:
            return Start();
        case ABILITY_RUNNING:
            return Pause();
        default:
            return Resume();
    }
}

STDMETHODIMP MovieObject::RewindMedia() {
    SetCurrent(m_start);
    if (m_kind == MOVIE_FLASH && Opened()) {
        m_control->Stop();
        FlashGotoFrame(m_start);
        if (CAbility::GetState() == ABILITY_RUNNING)
            FlashPlay();
    }
    return S_OK;
}

STDMETHODIMP MovieObject::ForewardMedia() {
    if (!Opened())
        return S_OK;
    m_backward = false;
    m_step = 2;
    return CAbility::GetState() == ABILITY_PAUSED ? Resume() : Start();
}

STDMETHODIMP MovieObject::BackwardMedia() {
    if (!Opened())
        return S_OK;
    m_backward = true;
    m_step = 2;
    return CAbility::GetState() == ABILITY_PAUSED ? Resume() : Start();
}

STDMETHODIMP MovieObject::SeekMedia(LONG position) {
    SetCurrent(position);
    if (m_kind == MOVIE_FLASH && Opened()) {
        FlashGotoFrame(position);
        if (CAbility::GetState() == ABILITY_RUNNING)
            FlashPlay();
    }
    return S_OK;
}

// ---- the tick ----

void MovieObject::EndOfPass(bool flash, LONG* position, bool* stopTicking) {
    const bool limited = !(m_flags & MOVFLAG_NOLIMIT);
    switch (
        CountRepeat(&m_repeatCount, m_repeatTimes, limited, (m_flags & MOVFLAG_AUTOREPEAT) != 0)) {
        case REPEAT_LOOP:
            if (flash) {
                FlashGotoFrame(m_start);
                FlashPlay();
            } else {
                *position = m_backward ? LastFrame() : m_start;
            }
            Fire(MEDIAEVT_PLAYLOOP);
            *stopTicking = flash;
            return;
        case REPEAT_ENDED:
            Stop();
            Fire(MEDIAEVT_PLAYEND);
            if (m_flags & MOVFLAG_EXITONEND) {
                if (flash)
                    FlashStop();
                this->OnExit();
            }
            break;
        case REPEAT_STOPPED:
            Stop();
            Fire(MEDIAEVT_PLAYSTOP);
            break;
    }
    *stopTicking = true;
}

void MovieObject::TickFlash() {
    LONGLONG frame = 0;
    FlashFrame(&frame);
    if (frame < m_start) {
        FlashGotoFrame(m_start);
        FlashPlay();
    }
    if ((LONG)frame != m_cur) {
        m_cur = (LONG)frame;
        m_frameChanged = true;
        CEventSinkTable::FireEvent(0, MEDIAROW_CURRENT);
    }
    Redraw();
    if (frame >= m_end - 1 && (m_flags & MOVFLAG_FLASHFRAMES)) {
        LONG unused = m_cur;
        bool stop = false;
        EndOfPass(true, &unused, &stop);
    }
}

void MovieObject::TickFrames() {
    const LONG shown = m_cur, last = LastFrame();
    LONG position = m_cur;
    const DWORD now = CAbility::TotalTime();
    for (;;) {
        long delay = 0;
        m_control->GetFrameDelay(&delay, position);
        if (delay < MOVIE_MIN_DELAY)
            delay = MOVIE_MIN_DELAY;
        if (now < m_accum + (DWORD)delay)
            break;
        m_accum += (DWORD)delay;
        LONG next = m_backward ? position - m_step : position + m_step;
        if (next < m_start || next > last) {
            bool stop = false;
            EndOfPass(false, &next, &stop);
            if (stop)
                break;
        }
        position = next;
    }
    if (position != shown)
        SetCurrent(position);
}

STDMETHODIMP MovieObject::OnClock() {
    CAbility::OnClock();
    if (!Opened() || CAbility::GetState() != ABILITY_RUNNING)
        return S_OK;
    if (m_kind == MOVIE_FLASH)
        TickFlash();
    else
        TickFrames();
    return S_OK;
}

// ---- page changes and input ----

STDMETHODIMP MovieObject::OnEnter() {
    HRESULT hr = ClassBase::OnEnter();
    if (!Opened()) {
        if (Linked())
            DbRefresh(DB_REFRESH_BIND);
        else if (MediaName()[0])
            LoadMediaData(MediaName());
    }
    m_repeatCount = 0;
    m_backward = false;
    m_accum = 0;
    m_step = 1;
    if (Opened())
        SetCurrent(m_start);
    return hr;
}

STDMETHODIMP MovieObject::OnLeave() {
    if (CAbility::GetState() != ABILITY_STOPPED)
        Stop();
    return ClassBase::OnLeave();
}

STDMETHODIMP MovieObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    if (m_kind == MOVIE_FLASH && (m_flags & MOVFLAG_FLASHINPUT) && Opened()) {
        MSG message = {};
        message.hwnd = ViewWindow();
        message.wParam = arg1;
        message.lParam = (LPARAM)arg2;
        RECT r;
        this->GetBoundsRect(&r);
        const LONG x = (SHORT)LOWORD((DWORD)arg2) - r.left;
        const LONG y = (SHORT)HIWORD((DWORD)arg2) - r.top;
        const LPARAM point = (LPARAM)(((DWORD)(WORD)y << 16) | (WORD)x);
        switch (id) {
            case EVT_KEYDOWN:
                message.message = WM_KEYDOWN;
                break;
            case EVT_KEYUP:
                message.message = WM_KEYUP;
                break;
            case EVT_GETCHAR:
                message.message = WM_CHAR;
                break;
            case EVT_LBUTTONDOWN:
                message.message = WM_LBUTTONDOWN;
                break;
            case EVT_LBUTTONUP:
                message.message = WM_LBUTTONUP;
                m_cursorReset = true;
                break;
            case EVT_DBCLICK:
                message.message = WM_LBUTTONDBLCLK;
                break;
            case EVT_MOUSEMOVE:
                message.message = WM_MOUSEMOVE;
                if (m_cursorReset) {
                    HCURSOR cursor = nullptr;
                    ICursorAbility* part = this->Cursor();
                    if (!part || part->IsApplied() != S_OK || FAILED(part->GetHandle(&cursor)) ||
                        !cursor)
                        cursor = LoadCursor(nullptr, IDC_ARROW);
                    SetCursor(cursor);
                    m_cursorReset = false;
                }
                break;
        }
        if (message.message) {
            if (message.message >= WM_MOUSEFIRST) {
                message.wParam = 0;
                message.lParam = point;
            }
            FlashForward(&message);
            if (message.hwnd)
                SetFocus(message.hwnd);
        }
    }
    if (id >= EVT_LBUTTONDOWN && id <= EVT_LBUTTONDOWN + 7 && !(m_flags & MOVFLAG_MOUSEEVENTS))
        return S_OK;
    return ObjectBase<MovieObject>::FireEvent(id, arg1, arg2, prev);
}

// ---- size ----

void MovieObject::Zoom(double factor) {
    if (factor <= 0.001)
        return;
    RECT before;
    this->GetBoundsRect(&before);
    const LONG frame = 2 * FrameWidth();
    const LONG w = (LONG)(factor * m_mediaWidth + 0.5) + frame;
    const LONG h = (LONG)(factor * m_mediaHeight + 0.5) + frame;
    Redraw();
    this->SetWidth(w);
    this->SetHeight(h);
    // The left and top stay where they were.
    this->MoveTo(before.left + w / 2, before.top + h / 2);
    Redraw();
    if (m_kind == MOVIE_FLASH && factor == 1.0 && Opened())
        FlashSize(m_mediaWidth, m_mediaHeight);
}

void MovieObject::ScaleToFit() {
    if ((m_flags & MOVFLAG_KEEPSIZE) || !Opened() || m_mediaWidth <= 0 || m_mediaHeight <= 0)
        return;
    const LONG w = this->GetWidth(), h = this->GetHeight();
    if (w <= 0 || h <= 0 || (long long)h * m_mediaWidth == (long long)w * m_mediaHeight)
        return;
    Zoom(h > w ? (double)h / m_mediaHeight : (double)w / m_mediaWidth);
}

STDMETHODIMP MovieObject::OnGeometryChanged(const RECT* before, const RECT* after, int code) {
    if (m_kind == MOVIE_FLASH && Opened() && before && after &&
        (before->right - before->left != after->right - after->left ||
         before->bottom - before->top != after->bottom - after->top)) {
        RECT r = {0, 0, after->right - after->left, after->bottom - after->top};
        m_control->put_FrameRect(&r);
    }
    return ClassBase::OnGeometryChanged(before, after, code);
}

// ---- drawing ----

HRESULT MovieObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    RECT inner = *rect;
    if (m_frame)
        m_frame->GetInnerRect(rect, &inner);
    if (m_kind == MOVIE_FLASH || m_frameChanged) {
        if (!Opened())
            return E_FAIL;
        IPixelBuffer* frame = nullptr;
        if (SUCCEEDED(m_control->GrabFrame(&frame)) && frame) {
            if (frame != m_buffer) {
                ReleaseBuffer();
                m_buffer = frame;
            } else {
                frame->Release();
            }
            m_frameChanged = false;
        }
    }
    if (!m_buffer)
        return S_OK;
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    m_buffer->GetBufferInfo(&info);
    RECT src = {0, 0, (LONG)info.nWidth, (LONG)info.nHeight};
    return target->Blit(&inner, m_buffer, &src, (DWORD)this->GetAngle());
}

// ---- the record ----

HRESULT MovieObject::LoadKind(ITeskStream* stream) {
    DWORD flags = 0, count = 0;
    if (!StreamReadValue(stream, &flags) || !StreamReadValue(stream, &count))
        return E_FAIL;
    if (count > MEDIA_NAME_CHARS || !StreamHas(stream, 2ULL * count)) {
        LOG_MSG("Movie record: name of %lu characters refused", (unsigned long)count);
        return E_FAIL;
    }
    char name[MEDIA_NAME_CHARS * 2 + 1] = {};
    if (count)
        stream->ReadWideString(name, count);
    LONG v[8];
    if (!StreamHas(stream, sizeof(v)))
        return E_FAIL;
    stream->Read(v, sizeof(v));
    m_flags = flags & 0xFFFF;
    StoreName(name);
    m_repeatTimes = ClampRepeatTimes(v[0]);
    m_mediaWidth = v[1];
    m_mediaHeight = v[2];
    m_length = v[4];
    m_start = v[5];
    m_end = v[6];
    m_cur = v[7];
    if (stream->GetVersion() <= 1) {
        // Old records count from 1 and keep only the first three flags.
        m_flags &= MOVFLAG_AUTOREPEAT | MOVFLAG_NOLIMIT | MOVFLAG_KEEPSIZE;
        m_start = std::max<LONG>(m_start - 1, 0);
        m_end = std::max<LONG>(m_end - 1, 0);
        m_cur = std::max<LONG>(m_cur - 1, 0);
    }
    HRESULT hr = DbLinkAbility::Load(stream);
    if (FAILED(hr))
        return hr;
    hr = CAbility::LoadCodes(stream);
    if (FAILED(hr))
        return hr;
    if (m_control) {
        m_control->put_StartPos(m_start);
        m_control->put_EndPos(m_end);
        m_control->put_CurPos(m_cur);
    }
    return S_OK;
}

HRESULT CreateMovieObject(IUnknown** out) {
    return CreateObjectOfClass<MovieObject>(out);
}
