// The RTF object's members: scrolling, auto-scroll, hot words and their
// cursor, the media name, the scroll row of the event-sink table.
#include <string.h>

#include <algorithm>

#include "aRTFObj.h"
#include "aUtil.h"
#include "bStrConv.h"

namespace {

enum { STRING_CAPTION_ERROR = 12100, STRING_MEDIA_FAILED = 12212 };
enum { SINK_VALUE = 16, SINK_VALUE_AND_MAXIMUM = 17 };

}  // namespace

// ---- scrolling ----

void RTFObject::Changed() {
    CEventSinkTable::FireEvent(0, SINK_VALUE);
    this->InvalidateObject(nullptr);
}

void RTFObject::SetScroll(LONG pos, bool remember) {
    Layout();
    if (remember)
        m_prevPos = m_scrollPos;
    m_scrollPos = std::max(0L, std::min(pos, m_maxScroll));
    Changed();
}

STDMETHODIMP RTFObject::put_ObjScrollPos(LONG pos) {
    SetScroll(pos, true);
    return S_OK;
}

STDMETHODIMP RTFObject::PageUp() {
    Layout();
    SetScroll(m_scrollPos - ViewHeight(), true);
    return S_OK;
}

STDMETHODIMP RTFObject::PageDown() {
    Layout();
    SetScroll(m_scrollPos + ViewHeight(), true);
    return S_OK;
}

LONG RTFObject::LineTop(int n) {
    Layout();
    LONG y = 0;
    int index = 0;
    for (const RtfParagraph* p = m_doc.first; p; p = p->next) {
        y += p->format.spaceBefore;
        for (const RtfLine& line : p->lines) {
            if (index++ == n)
                return y;
            y += line.leading + line.height;
        }
        y += p->format.spaceAfter;
    }
    return m_maxScroll;
}

LONG RTFObject::StepLines(LONG from, int lines) {
    // The line at the offset, then `lines` lines on.
    int count = 0, at = 0;
    LONG y = 0;
    for (const RtfParagraph* p = m_doc.first; p; p = p->next) {
        y += p->format.spaceBefore;
        for (const RtfLine& line : p->lines) {
            if (y <= from)
                at = count;
            ++count;
            y += line.leading + line.height;
        }
        y += p->format.spaceAfter;
    }
    int target = at + lines;
    if (target < 0)
        return 0;
    if (target >= count)
        return m_maxScroll;
    return LineTop(target);
}

STDMETHODIMP RTFObject::ScrollUp(INT lines) {
    if (lines <= 0)
        return S_OK;
    Layout();
    SetScroll(StepLines(m_scrollPos, -lines), true);
    return S_OK;
}

STDMETHODIMP RTFObject::ScrollDown(INT lines) {
    if (lines <= 0)
        return S_OK;
    Layout();
    SetScroll(StepLines(m_scrollPos, lines), true);
    return S_OK;
}

STDMETHODIMP RTFObject::GotoLine(INT line) {
    if (line < 0)
        return S_OK;
    SetScroll(LineTop(line), true);
    return S_OK;
}

STDMETHODIMP RTFObject::BackVisit() {
    Layout();
    LONG back = m_prevPos;
    m_prevPos = m_scrollPos;
    m_scrollPos = std::max(0L, std::min(back, m_maxScroll));
    Changed();
    return S_OK;
}

STDMETHODIMP RTFObject::GotoBegin() {
    SetScroll(0, true);
    return S_OK;
}

STDMETHODIMP RTFObject::GotoEnd() {
    Layout();
    // A document shorter than the view stays at its top.
    SetScroll(std::max(0L, m_maxScroll - ViewHeight()), true);
    return S_OK;
}

STDMETHODIMP RTFObject::StartAutoScroll(LONG direction, LONG speed) {
    speed = std::max(1L, std::min(speed, 100L));
    m_speed = direction ? speed : -speed;
    if (!CAbility::m_site)
        CAbility::SetSite(ClassSite());
    return CAbility::Start();
}

STDMETHODIMP RTFObject::StopAutoScroll() {
    return CAbility::Stop();
}

STDMETHODIMP RTFObject::OnClock() {
    CAbility::OnClock();
    long long step = (long long)m_speed * LastStep() * 2 / 100;
    if (step == 0)
        step = m_speed > 0 ? 1 : -1;
    Layout();
    long long pos = std::max(0LL, std::min<long long>(m_scrollPos + step, m_maxScroll));
    m_scrollPos = (LONG)pos;
    Changed();
    return S_OK;
}

// ---- the scroll row ----

STDMETHODIMP RTFObject::GetRowMaximum(LONG, LONG* out) {
    if (!out)
        return E_POINTER;
    LONG v = m_needLayout ? 0 : (m_maxScroll - ViewHeight()) / 20;
    *out = std::max(0L, v);
    return S_OK;
}

STDMETHODIMP RTFObject::GetRowPageStep(LONG, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = std::max(1L, ViewHeight() / 20 - 1);
    return S_OK;
}

STDMETHODIMP RTFObject::GetRowValue(LONG, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = m_scrollPos / 20;
    return S_OK;
}

STDMETHODIMP RTFObject::SetRowValue(LONG, LONG value) {
    LONG pos = (LONG)std::max<long long>(LONG_MIN, std::min<long long>(20LL * value, LONG_MAX));
    if (pos != m_scrollPos) {
        m_scrollPos = pos;
        Changed();
    }
    return S_OK;
}

// ---- media name, hot words, editing values ----

STDMETHODIMP RTFObject::get_ObjMediaName(BSTR* out) {
    if (!out)
        return E_POINTER;
    bool media = (m_flags & RTFFLAG_SOURCE) == RTFSOURCE_MEDIA;
    *out = BstrFromMultibyte(media ? MediaName() : "");
    if (!*out)
        return E_OUTOFMEMORY;
    return media ? S_OK : S_FALSE;
}

STDMETHODIMP RTFObject::put_ObjMediaName(BSTR name) {
    if ((m_flags & RTFFLAG_SOURCE) != RTFSOURCE_MEDIA)
        return E_FAIL;
    std::string text = MultibyteFromBstr(name);
    HRESULT hr = LoadMediaData(text.c_str());
    if (FAILED(hr)) {
        ShowResourceMessage(nullptr, STRING_CAPTION_ERROR, STRING_MEDIA_FAILED, MB_ICONEXCLAMATION);
        return E_FAIL;
    }
    StoreName(text.c_str());
    this->InvalidateObject(nullptr);
    return S_OK;
}

STDMETHODIMP RTFObject::get_ObjEnableHotword(LONG* out) {
    return Get(out, (m_flags & RTFFLAG_HOTWORDS) ? 1 : 0);
}

STDMETHODIMP RTFObject::put_ObjEnableHotword(LONG on) {
    m_flags = on ? (m_flags | RTFFLAG_HOTWORDS) : (m_flags & ~RTFFLAG_HOTWORDS);
    if (!on)
        RestoreCursor();
    return S_OK;
}

STDMETHODIMP RTFObject::SetDefaultFont(const LOGFONTA* font) {
    if (!font)
        return E_POINTER;
    m_defaultFont = *font;
    m_defaultFont.lfFaceName[LF_FACESIZE - 1] = 0;
    ClearFonts();
    return S_OK;
}

STDMETHODIMP RTFObject::GetDefaultFont(LOGFONTA* font) {
    if (!font)
        return E_POINTER;
    *font = m_defaultFont;
    return S_OK;
}

STDMETHODIMP RTFObject::SetReservedValue(LONG value) {
    m_reserved = value;
    return S_OK;
}

STDMETHODIMP RTFObject::GetReservedValue(LONG* out) {
    return Get(out, m_reserved);
}

STDMETHODIMP RTFObject::SetSourceKind(LONG kind) {
    m_flags = (m_flags & ~RTFFLAG_SOURCE) | ((DWORD)kind & RTFFLAG_SOURCE);
    return S_OK;
}

STDMETHODIMP RTFObject::GetSourceKind(LONG* out) {
    return Get(out, (LONG)(m_flags & RTFFLAG_SOURCE));
}

int RTFObject::HotWordAt(LONG x, LONG y) {
    if (m_doc.hotWords.Count() == 0)
        return -1;
    Layout();
    RECT bounds;
    this->GetBoundsRect(&bounds);
    if (m_frame)
        m_frame->GetInnerRect(&bounds, &bounds);
    LONG tx = MulDiv(x - bounds.left, 1440, m_dpiX) + m_hOffset;
    LONG ty = MulDiv(y - bounds.top, 1440, m_dpiY) + m_scrollPos;
    LONG top = 0;
    for (const RtfParagraph* p = m_doc.first; p; p = p->next) {
        if (ty >= top + p->height) {
            top += p->height;
            continue;
        }
        LONG ly = top + p->format.spaceBefore;
        for (const RtfLine& line : p->lines) {
            LONG lh = line.leading + line.height;
            if (ty < ly || ty >= ly + lh) {
                ly += lh;
                continue;
            }
            if (tx < line.x || tx >= line.x + line.usedWidth)
                return -1;
            HDC dc = CreateCompatibleDC(nullptr);
            if (!dc)
                return -1;
            SetMapMode(dc, MM_ANISOTROPIC);
            SetWindowExtEx(dc, 1440, -1440, nullptr);
            SetViewportExtEx(dc, m_dpiX, m_dpiY, nullptr);
            // The character under the point, measured from the line's start.
            int end = line.firstByte + line.bytes, offset = end;
            for (int at = line.firstByte; at < end;) {
                int run = 0, within = 0;
                RtfLocateOffset(*p, at, &run, &within);
                int step = (run >= 0 && p->runs[run].format.charClass == RTFCLASS_DBCS &&
                            within % 2 == 0 && at + 1 < end)
                               ? 2
                               : 1;
                int width = RtfRangeWidth(dc, m_doc, m_defaultFont, *p, line.firstByte, at + step,
                                          line.extraSpacing);
                if (tx < line.x + width) {
                    offset = at;
                    break;
                }
                at += step;
            }
            DeleteDC(dc);
            if (offset >= end)
                return -1;
            for (int i = 0; i < m_doc.hotWords.Count(); ++i) {
                const rtfHotWord& h = m_doc.hotWords[i];
                if (h.paragraph == p && offset >= h.start && offset <= h.start + h.length - 1)
                    return h.id;
            }
            return -1;
        }
        return -1;
    }
    return -1;
}

void RTFObject::RestoreCursor() {
    if (HotCursorApplied())
        m_hotCursor->Restore();
}

STDMETHODIMP RTFObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    LONG x = (SHORT)LOWORD((DWORD)arg2), y = (SHORT)HIWORD((DWORD)arg2);
    bool enabled = (m_flags & RTFFLAG_HOTWORDS) != 0;
    switch (id) {
        case EVT_CLICK:
            if (enabled && this->HitTestPoint(x, y) == 0) {
                int hot = HotWordAt(x, y);
                if (hot >= 0) {
                    // The event set picks the entry by the first value.
                    VARIANT v;
                    VariantInit(&v);
                    v.vt = VT_INT;
                    v.intVal = hot;
                    ResetArgs(2);
                    PushArg(v);
                    PushArg(v);
                    EventProcHolder::Invoke(DISPID_ONHOTWORD);
                }
            }
            break;
        case EVT_MOUSEMOVE:
        case EVT_MOUSEHOVER:
            if (enabled && this->HitTestPoint(x, y) == 0) {
                if (HotWordAt(x, y) >= 0) {
                    if (!HotCursorApplied()) {
                        m_hotCursor->Apply();
                    } else {
                        HCURSOR cursor = nullptr;
                        if (SUCCEEDED(m_hotCursor->GetHandle(&cursor)) && cursor)
                            SetCursor(cursor);
                    }
                } else {
                    RestoreCursor();
                }
            } else {
                RestoreCursor();
            }
            break;
        case EVT_MOUSELEAVE:
            RestoreCursor();
            break;
        default:
            break;
    }
    return CObjectEventA::FireEvent(id, arg1, arg2, prev);
}

STDMETHODIMP RTFObject::OnEnter() {
    HRESULT hr = ClassBase::OnEnter();
    CAbility::SetSite(ClassSite());
    if (!m_doc.first) {
        DWORD kind = m_flags & RTFFLAG_SOURCE;
        if (kind == RTFSOURCE_MEDIA && MediaName()[0])
            LoadMediaData(MediaName());
        else if (kind == RTFSOURCE_DATABASE)
            DbRefresh(DB_REFRESH_SOURCE);
    }
    Layout();
    return hr;
}

STDMETHODIMP RTFObject::OnExit() {
    CAbility::Stop();
    RestoreCursor();
    return ClassBase::OnExit();
}

STDMETHODIMP RTFObject::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    if (m_hotCursor && m_doc.hotWords.Count() > 0) {
        LONG kind = 0;
        m_hotCursor->GetKind(&kind);
        char text[40] = "";
        if (kind == 1 || kind == 3) {
            m_hotCursor->GetText(text, sizeof(text));
            if (text[0])
                collector->AddFile(kind == 1 ? 2000 : 64, text);
        }
    }
    return ClassBase::CollectFiles(collector);
}
