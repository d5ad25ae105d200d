// The font object (see bdrawtxt.h).
#include "bdrawtxt.h"

#include <string.h>

#include <algorithm>

#include "aPixBuf.h"
#include "bStorage.h"
#include "bTraceLog.h"

static_assert(sizeof(LOGFONTA) == 60, "the stored form holds a 60-byte LOGFONTA");

namespace {

int Extent(HDC dc, const char* text, int n) {
    SIZE size = {0, 0};
    if (n > 0)
        GetTextExtentPoint32A(dc, text, n, &size);
    return size.cx;
}

// Bytes of the character at p: 2 for a lead byte with its trail inside the
// text, else 1.
int CharStep(const char* text, int p, int length) {
    if (p + 1 < length && IsDBCSLeadByte((BYTE)text[p]))
        return 2;
    return 1;
}

// The first index j in [lo, count) whose prefix (start .. ends[j]) is wider
// than width, or count. Widths grow with the prefix, so the search gallops
// from a guess and then halves.
int FirstWider(HDC dc, const char* text, int start, const std::vector<int>& ends, int lo, int guess,
               int width) {
    int count = (int)ends.size();
    auto wider = [&](int j) { return Extent(dc, text + start, ends[j] - start) > width; };
    guess = std::max(lo, std::min(guess, count));
    int below = lo - 1;  // known not wider (or before the range)
    int above = count;   // known wider (or past the range)
    if (guess < count && wider(guess)) {
        above = guess;
        for (int step = 1; above - step > below;) {
            int j = above - step;
            if (!wider(j)) {
                below = j;
                break;
            }
            above = j;
            step *= 2;
        }
    } else {
        below = guess < count ? guess : count - 1;
        for (int step = 1; below + step < above;) {
            int j = below + step;
            if (wider(j)) {
                above = j;
                break;
            }
            below = j;
            step *= 2;
        }
    }
    while (above - below > 1) {
        int mid = below + (above - below) / 2;
        if (wider(mid))
            above = mid;
        else
            below = mid;
    }
    return above;
}

}  // namespace

int LayoutTextLines(HDC dc, const char* text, int length, int width, bool wrap,
                    std::vector<TextLine>* lines) {
    if (lines)
        lines->clear();
    int count = 1;
    int start = 0;
    int p = 0;
    // A line opened by a wrap begins with the character that did not fit:
    // it was measured already and stays on this line whatever its width.
    bool checkFirst = true;
    std::vector<int> ends;
    auto endLine = [&](int end, int next) {
        if (lines)
            lines->push_back({start, end - start});
        ++count;
        start = next;
    };
    while (p < length) {
        if ((BYTE)text[p] == 13) {
            int step = (p + 1 < length && (BYTE)text[p + 1] == 10) ? 2 : 1;
            endLine(p, p + step);
            p += step;
            checkFirst = true;
            continue;
        }
        if (!wrap) {
            p += CharStep(text, p, length);
            continue;
        }
        // The run of characters up to the next CR, measured from the line start.
        ends.clear();
        int q = p;
        while (q < length && (BYTE)text[q] != 13) {
            q += CharStep(text, q, length);
            ends.push_back(q);
        }
        int lo = checkFirst ? 0 : 1;
        int fit = 0;
        SIZE size;
        int guess = lo;
        if (GetTextExtentExPointA(dc, text + start, q - start, width, &fit, nullptr, &size))
            guess = (int)(std::upper_bound(ends.begin(), ends.end(), start + fit) - ends.begin());
        int j = FirstWider(dc, text, start, ends, lo, guess, width);
        if (j >= (int)ends.size()) {
            p = q;
            continue;
        }
        int at = j == 0 ? p : ends[j - 1];
        endLine(at, at);
        p = at;
        checkFirst = false;
    }
    if (lines)
        lines->push_back({start, length - start});
    return count;
}

namespace {

class CFontObject : public CComObjectRootBase, public FontObject {
public:
    BEGIN_COM_MAP(CFontObject)
    COM_INTERFACE_ENTRY(FontObject)
    END_COM_MAP()

    CFontObject();
    virtual ~CFontObject();

    STDMETHOD(SetLogFont)(const LOGFONTA* lf) override;
    STDMETHOD(GetLogFont)(LOGFONTA* lf) override;
    STDMETHOD(SetColor)(COLORREF color) override;
    STDMETHOD(GetColor)(COLORREF* color) override;
    STDMETHOD(SetHorzAlign)(WORD align) override;
    STDMETHOD(GetHorzAlign)(WORD* align) override;
    STDMETHOD(SetVertAlign)(WORD align) override;
    STDMETHOD(GetVertAlign)(WORD* align) override;
    STDMETHOD_(int, IsWordWrapOff)() override;
    STDMETHOD(SetWordWrap)(int value) override;
    STDMETHOD(SetText)(const char* text) override;
    STDMETHOD(GetTextLength)(int* length) override;
    STDMETHOD(GetText)(char* buffer, int size) override;
    STDMETHOD(GetTextHeight)(HDC dc, int width, int* height) override;
    STDMETHOD(GetTextWidth)(HDC dc, int* width) override;
    STDMETHOD(DrawStringToDC)(const char* text, HDC dc, const RECT* rect) override;
    STDMETHOD(DrawStringToBuffer)
    (const char* text, IPixelBuffer* buffer, const RECT* rect) override;
    STDMETHOD(DrawToDC)(HDC dc, const RECT* rect) override;
    STDMETHOD(DrawToBuffer)(IPixelBuffer* buffer, const RECT* rect) override;
    STDMETHOD_(int, Compare)(FontObject* other, int ignoreText) override;
    STDMETHOD(CopyFrom)(FontObject* other, int withoutText) override;
    STDMETHOD(Load)(ITeskStream* stream) override;
    STDMETHOD(Save)(ITeskStream* stream) override;
    STDMETHOD(Reserved26)(void* reserved) override;
    STDMETHOD_(void, Destroy)(UINT flags) override;

private:
    void PrepareDC(HDC dc);
    void RestoreDC(HDC dc);
    // Makes the buffer hold at least size bytes (old contents dropped).
    bool ReserveText(int size);
    void FreeAll();

    LOGFONTA m_lf;
    COLORREF m_color;
    WORD m_flags;
    char* m_pText;
    int m_nCapacity;
    int m_nLength;
    HFONT m_hFont;
    HGDIOBJ m_hOldFont;
    COLORREF m_oldColor;
    int m_oldBkMode;
};

CFontObject::CFontObject()
    : m_color(0),
      m_flags(FONTFLAG_WORDWRAP),
      m_pText(nullptr),
      m_nCapacity(0),
      m_nLength(0),
      m_hFont(nullptr),
      m_hOldFont(nullptr),
      m_oldColor(0),
      m_oldBkMode(0) {
    memset(&m_lf, 0, sizeof(m_lf));
    m_lf.lfHeight = -12;
    m_lf.lfWeight = FW_NORMAL;
    m_lf.lfCharSet = DEFAULT_CHARSET;
}

CFontObject::~CFontObject() {
    FreeAll();
}

void CFontObject::FreeAll() {
    delete[] m_pText;
    m_pText = nullptr;
    m_nCapacity = 0;
    m_nLength = 0;
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
}

bool CFontObject::ReserveText(int size) {
    if (m_nCapacity >= size)
        return true;
    char* text = new (std::nothrow) char[size];
    if (!text)
        return false;
    delete[] m_pText;
    m_pText = text;
    m_nCapacity = size;
    return true;
}

STDMETHODIMP CFontObject::SetLogFont(const LOGFONTA* lf) {
    if (!lf)
        return E_POINTER;
    m_lf = *lf;
    // A face name always ends inside its 32 bytes.
    m_lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return S_OK;
}

STDMETHODIMP CFontObject::GetLogFont(LOGFONTA* lf) {
    if (!lf)
        return E_POINTER;
    *lf = m_lf;
    return S_OK;
}

STDMETHODIMP CFontObject::SetColor(COLORREF color) {
    m_color = color;
    return S_OK;
}

STDMETHODIMP CFontObject::GetColor(COLORREF* color) {
    if (!color)
        return E_POINTER;
    *color = m_color;
    return S_OK;
}

STDMETHODIMP CFontObject::SetHorzAlign(WORD align) {
    m_flags = (WORD)((m_flags & ~FONTFLAG_HALIGN) | (align & 3));
    return S_OK;
}

STDMETHODIMP CFontObject::GetHorzAlign(WORD* align) {
    if (!align)
        return E_POINTER;
    *align = m_flags & FONTFLAG_HALIGN;
    return S_OK;
}

STDMETHODIMP CFontObject::SetVertAlign(WORD align) {
    m_flags = (WORD)((m_flags & ~FONTFLAG_VALIGN) | ((align & 3) << 2));
    return S_OK;
}

STDMETHODIMP CFontObject::GetVertAlign(WORD* align) {
    if (!align)
        return E_POINTER;
    *align = (m_flags & FONTFLAG_VALIGN) >> 2;
    return S_OK;
}

STDMETHODIMP_(int) CFontObject::IsWordWrapOff() {
    return (m_flags & FONTFLAG_WORDWRAP) ? 0 : 1;
}

STDMETHODIMP CFontObject::SetWordWrap(int value) {
    m_flags = (WORD)((m_flags & ~FONTFLAG_WORDWRAP) | ((value & 1) << 4));
    return S_OK;
}

STDMETHODIMP CFontObject::SetText(const char* text) {
    if (!text) {
        m_nLength = 0;
        if (m_pText)
            m_pText[0] = 0;
        return S_OK;
    }
    size_t length = strlen(text);
    if (length >= 0x7FFFFFFF)
        return E_INVALIDARG;
    if (!ReserveText((int)length + 1))
        return E_OUTOFMEMORY;
    memcpy(m_pText, text, length + 1);
    m_nLength = (int)length;
    return S_OK;
}

STDMETHODIMP CFontObject::GetTextLength(int* length) {
    if (!length)
        return E_POINTER;
    *length = m_nLength;
    return S_OK;
}

STDMETHODIMP CFontObject::GetText(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_POINTER;
    if (m_nLength == 0 || !m_pText) {
        buffer[0] = 0;
        return S_OK;
    }
    int n = std::min(size, m_nLength + 1);
    memcpy(buffer, m_pText, n);
    return S_OK;
}

void CFontObject::PrepareDC(HDC dc) {
    m_oldColor = SetTextColor(dc, m_color);
    m_oldBkMode = SetBkMode(dc, TRANSPARENT);
    if (m_hFont)
        DeleteObject(m_hFont);
    m_hFont = CreateFontIndirectA(&m_lf);
    m_hOldFont = SelectObject(dc, m_hFont);
}

void CFontObject::RestoreDC(HDC dc) {
    SetTextColor(dc, m_oldColor);
    SetBkMode(dc, m_oldBkMode);
    SelectObject(dc, m_hOldFont);
    m_hOldFont = nullptr;
}

STDMETHODIMP CFontObject::GetTextHeight(HDC dc, int width, int* height) {
    if (!height)
        return E_POINTER;
    HDC screen = nullptr;
    if (!dc)
        dc = screen = ::GetDC(nullptr);
    PrepareDC(dc);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    int lines = LayoutTextLines(dc, m_pText ? m_pText : "", m_nLength, width,
                                (m_flags & FONTFLAG_WORDWRAP) != 0, nullptr);
    RestoreDC(dc);
    if (screen)
        ::ReleaseDC(nullptr, screen);
    *height = lines * tm.tmHeight;
    return S_OK;
}

STDMETHODIMP CFontObject::GetTextWidth(HDC dc, int* width) {
    if (!width)
        return E_POINTER;
    *width = 0;
    if (m_nLength == 0)
        return S_OK;
    HDC screen = nullptr;
    if (!dc)
        dc = screen = ::GetDC(nullptr);
    PrepareDC(dc);
    *width = Extent(dc, m_pText, m_nLength);
    RestoreDC(dc);
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return S_OK;
}

STDMETHODIMP CFontObject::DrawStringToDC(const char* text, HDC dc, const RECT* rect) {
    char* ownText = m_pText;
    int ownLength = m_nLength;
    m_pText = const_cast<char*>(text ? text : "");
    m_nLength = (int)strlen(m_pText);
    HRESULT hr = DrawToDC(dc, rect);
    m_pText = ownText;
    m_nLength = ownLength;
    return hr;
}

STDMETHODIMP CFontObject::DrawStringToBuffer(const char* text, IPixelBuffer* buffer,
                                             const RECT* rect) {
    char* ownText = m_pText;
    int ownLength = m_nLength;
    m_pText = const_cast<char*>(text ? text : "");
    m_nLength = (int)strlen(m_pText);
    HRESULT hr = DrawToBuffer(buffer, rect);
    m_pText = ownText;
    m_nLength = ownLength;
    return hr;
}

STDMETHODIMP CFontObject::DrawToDC(HDC dc, const RECT* rect) {
    if (!dc || !rect)
        return E_POINTER;
    int saved = SaveDC(dc);
    POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    LPtoDP(dc, corners, 2);
    HRGN region = CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    ExtSelectClipRgn(dc, region, RGN_AND);
    DeleteObject(region);

    PrepareDC(dc);
    TEXTMETRICA tm = {};
    GetTextMetricsA(dc, &tm);
    const char* text = m_pText ? m_pText : "";
    std::vector<TextLine> lines;
    LayoutTextLines(dc, text, m_nLength, rect->right - rect->left,
                    (m_flags & FONTFLAG_WORDWRAP) != 0, &lines);
    int height = (int)lines.size() * tm.tmHeight;
    int y = rect->top;
    switch ((m_flags & FONTFLAG_VALIGN) >> 2) {
        case 1:
            y = (rect->top + rect->bottom - height) / 2;
            break;
        case 2:
            y = rect->bottom - height;
            break;
    }
    int halign = m_flags & FONTFLAG_HALIGN;
    for (const TextLine& line : lines) {
        if (line.length != 0) {
            int x = rect->left;
            if (halign == 1 || halign == 2) {
                int width = Extent(dc, text + line.start, line.length);
                x = halign == 1 ? (rect->left + rect->right - width) / 2 : rect->right - width;
            }
            TextOutA(dc, x, y, text + line.start, line.length);
        }
        y += tm.tmHeight;
    }
    RestoreDC(dc);
    ::RestoreDC(dc, saved);
    return S_OK;
}

STDMETHODIMP CFontObject::DrawToBuffer(IPixelBuffer* buffer, const RECT* rect) {
    if (!buffer)
        return E_POINTER;
    HDC dc = nullptr;
    HRESULT hr = buffer->GetDC(&dc);
    if (FAILED(hr) || !dc)
        return FAILED(hr) ? hr : E_FAIL;
    hr = DrawToDC(dc, rect);
    GdiFlush();
    buffer->ReleaseDC(dc);
    return hr;
}

STDMETHODIMP_(int) CFontObject::Compare(FontObject* other, int ignoreText) {
    if (!other)
        return 1;
    COLORREF color = 0;
    WORD h = 0, v = 0;
    LOGFONTA lf;
    other->GetColor(&color);
    other->GetHorzAlign(&h);
    other->GetVertAlign(&v);
    other->GetLogFont(&lf);
    if (color != m_color || (WORD)(h | (v << 2)) != (m_flags & 0x0F))
        return 1;
    if (memcmp(&lf, &m_lf, offsetof(LOGFONTA, lfFaceName)) != 0)
        return 1;
    if (strncmp(lf.lfFaceName, m_lf.lfFaceName, LF_FACESIZE) != 0)
        return 1;
    if (!ignoreText) {
        int length = 0;
        other->GetTextLength(&length);
        if (length != m_nLength)
            return 1;
        if (length > 0) {
            std::vector<char> text(length + 1);
            other->GetText(text.data(), length + 1);
            if (memcmp(text.data(), m_pText, length) != 0)
                return 1;
        }
    }
    return 0;
}

STDMETHODIMP CFontObject::CopyFrom(FontObject* other, int withoutText) {
    if (!other)
        return E_POINTER;
    LOGFONTA lf;
    COLORREF color = 0;
    WORD h = 0, v = 0;
    other->GetLogFont(&lf);
    other->GetColor(&color);
    other->GetHorzAlign(&h);
    other->GetVertAlign(&v);
    SetLogFont(&lf);
    SetColor(color);
    SetHorzAlign(h);
    SetVertAlign(v);
    if (!withoutText) {
        int length = 0;
        other->GetTextLength(&length);
        if (length < 0 || length == 0x7FFFFFFF)
            return E_FAIL;
        if (other == static_cast<FontObject*>(this))
            return S_OK;
        if (!ReserveText(length + 1))
            return E_OUTOFMEMORY;
        other->GetText(m_pText, m_nCapacity);
        m_pText[length] = 0;
        m_nLength = length;
    }
    return S_OK;
}

STDMETHODIMP CFontObject::Load(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    // The whole fixed part first, so that a short read leaves the object as
    // it was.
    BYTE head[FONT_RECORD_SIZE];
    stream->Read(head, sizeof(head));
    DWORD n;
    memcpy(&n, head + 68, 4);
    ULONGLONG left = StreamRemaining(stream);
    if ((ULONGLONG)n > left || n >= 0x7FFFFFFF) {
        LOG_MSG("FontObject::Load: text length %u beyond the stream", (unsigned)n);
        return E_FAIL;
    }
    char* text = nullptr;
    if (n > 0) {
        text = new (std::nothrow) char[(size_t)n + 1];
        if (!text)
            return E_OUTOFMEMORY;
        try {
            stream->Read(text, n);
        } catch (...) {
            delete[] text;
            throw;
        }
        text[n] = 0;
    }
    memcpy(&m_flags, head, 2);
    memcpy(&m_color, head + 4, 4);
    memcpy(&m_lf, head + 8, sizeof(m_lf));
    m_lf.lfFaceName[LF_FACESIZE - 1] = 0;
    // A stored record is held to the ranges the font calls take: a font of
    // extreme size or weight costs the system hundreds of megabytes.
    m_lf.lfHeight = std::max(-16384L, std::min(16384L, (long)m_lf.lfHeight));
    m_lf.lfWidth = std::max(-16384L, std::min(16384L, (long)m_lf.lfWidth));
    m_lf.lfWeight = std::max(0L, std::min(1000L, (long)m_lf.lfWeight));
    m_lf.lfEscapement %= 3600;
    m_lf.lfOrientation %= 3600;
    if (text) {
        if (m_nCapacity >= (int)n + 1) {
            memcpy(m_pText, text, (size_t)n + 1);
            delete[] text;
        } else {
            delete[] m_pText;
            m_pText = text;
            m_nCapacity = (int)n + 1;
        }
    } else if (m_pText) {
        m_pText[0] = 0;
    }
    m_nLength = (int)n;
    return S_OK;
}

STDMETHODIMP CFontObject::Save(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    BYTE head[FONT_RECORD_SIZE] = {};
    memcpy(head, &m_flags, 2);
    memcpy(head + 4, &m_color, 4);
    memcpy(head + 8, &m_lf, sizeof(m_lf));
    DWORD n = (DWORD)m_nLength;
    memcpy(head + 68, &n, 4);
    stream->Write(head, sizeof(head));
    if (n > 0)
        stream->Write(m_pText, n);
    return S_OK;
}

STDMETHODIMP CFontObject::Reserved26(void*) {
    LOG_MSG("Not implement");
    return E_NOTIMPL;
}

STDMETHODIMP_(void) CFontObject::Destroy(UINT flags) {
    if (flags & 1) {
        delete this;
        return;
    }
    FreeAll();
}

}  // namespace

HRESULT CreateFontObject(FontObject** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<CFontObject>* p = nullptr;
    HRESULT hr = CComObject<CFontObject>::CreateInstance(&p);
    if (FAILED(hr))
        return hr;
    p->AddRef();
    hr = p->QueryInterface(__uuidof(FontObject), reinterpret_cast<void**>(out));
    p->Release();
    return hr;
}

// ---- many texts into one context ----

namespace {
// Fonts a painter keeps made at once (a grid may give every cell its own).
const size_t kPainterFonts = 16;
}  // namespace

FontTextPainter::FontTextPainter(HDC dc)
    : m_dc(dc),
      m_direct(dc && GetMapMode(dc) == MM_TEXT && GetGraphicsMode(dc) != GM_ADVANCED),
      m_prepared(false),
      m_oldFont(nullptr),
      m_oldColor(0),
      m_oldBkMode(0),
      m_color(0),
      m_current(-1) {}

FontTextPainter::~FontTextPainter() {
    if (m_prepared) {
        SelectObject(m_dc, m_oldFont);
        SetTextColor(m_dc, m_oldColor);
        SetBkMode(m_dc, m_oldBkMode);
    }
    for (const Style& s : m_styles) DeleteObject(s.handle);
}

FontTextPainter::Style* FontTextPainter::Select(FontObject* font) {
    if (m_current >= 0 && m_styles[m_current].font == font)
        return &m_styles[m_current];
    int found = -1;
    for (size_t i = 0; i < m_styles.size() && found < 0; ++i)
        if (m_styles[i].font == font)
            found = (int)i;
    if (found < 0) {
        Style s = {font, nullptr, 0, 0, 0, false};
        LOGFONTA lf;
        WORD h = 0, v = 0;
        font->GetLogFont(&lf);
        font->GetColor(&s.color);
        font->GetHorzAlign(&h);
        font->GetVertAlign(&v);
        s.flags =
            (WORD)((h & 3) | ((v & 3) << 2) | (font->IsWordWrapOff() ? 0 : FONTFLAG_WORDWRAP));
        s.handle = CreateFontIndirectA(&lf);
        if (!s.handle)
            return nullptr;
        if (m_styles.size() == kPainterFonts) {
            // One not selected goes.
            const int victim = m_current == 0 ? 1 : 0;
            DeleteObject(m_styles[victim].handle);
            m_styles.erase(m_styles.begin() + victim);
            if (m_current > victim)
                --m_current;
        }
        m_styles.push_back(s);
        found = (int)m_styles.size() - 1;
    }
    Style* s = &m_styles[found];
    HGDIOBJ old = SelectObject(m_dc, s->handle);
    if (!m_prepared) {
        m_prepared = true;
        m_oldFont = old;
        m_oldColor = SetTextColor(m_dc, s->color);
        m_color = s->color;
        m_oldBkMode = SetBkMode(m_dc, TRANSPARENT);
    } else if (s->color != m_color) {
        SetTextColor(m_dc, s->color);
        m_color = s->color;
    }
    if (!s->measured) {
        TEXTMETRICA tm = {};
        GetTextMetricsA(m_dc, &tm);
        s->lineHeight = tm.tmHeight;
        s->measured = true;
    }
    m_current = found;
    return s;
}

HRESULT FontTextPainter::Draw(FontObject* font, const char* text, const RECT* rect) {
    if (!font)
        return E_POINTER;
    if (!m_direct)
        return font->DrawStringToDC(text, m_dc, rect);
    if (!rect)
        return E_POINTER;
    Style* s = Select(font);
    if (!s)
        return font->DrawStringToDC(text, m_dc, rect);
    if (!text)
        text = "";
    LayoutTextLines(m_dc, text, (int)strlen(text), rect->right - rect->left,
                    (s->flags & FONTFLAG_WORDWRAP) != 0, &m_lines);
    const int lineHeight = s->lineHeight;
    const int height = (int)m_lines.size() * lineHeight;
    int y = rect->top;
    switch ((s->flags & FONTFLAG_VALIGN) >> 2) {
        case 1:
            y = (rect->top + rect->bottom - height) / 2;
            break;
        case 2:
            y = rect->bottom - height;
            break;
    }
    // A clip region is made of the rectangle in order.
    RECT clip = {std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                 std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
    const int halign = s->flags & FONTFLAG_HALIGN;
    for (const TextLine& line : m_lines) {
        if (line.length != 0) {
            int x = rect->left;
            if (halign == 1 || halign == 2) {
                int width = Extent(m_dc, text + line.start, line.length);
                x = halign == 1 ? (rect->left + rect->right - width) / 2 : rect->right - width;
            }
            ExtTextOutA(m_dc, x, y, ETO_CLIPPED, &clip, text + line.start, line.length, nullptr);
        }
        y += lineHeight;
    }
    return S_OK;
}
