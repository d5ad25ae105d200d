#include "aTxtObj.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "aUtil.h"
#include "bGrphLib.h"
#include "bStrConv.h"

static_assert(sizeof(LOGFONTA) == 60, "the stored LOGFONT is 60 bytes");

namespace {

// Longest text a database field gives the object.
enum { DB_TEXT_SIZE = 65536 };

bool IsTerminator(char c) {
    return c == '*' || c == '$';
}

int CharLength(const char* p, int at, int length) {
    return (MbIsLeadByte((unsigned char)p[at]) && at + 1 < length) ? 2 : 1;
}

bool PhoneticAt(const char* p, int at, int length) {
    return at + 1 < length && MbIsLeadByte((unsigned char)p[at]) &&
           IsPhoneticChar((unsigned char)p[at], (unsigned char)p[at + 1]);
}

}  // namespace

// ---- byte strings ----

TextBytes::~TextBytes() {
    free(m_data);
}

TextBytes::TextBytes(TextBytes&& other) noexcept
    : m_data(other.m_data), m_length(other.m_length), m_capacity(other.m_capacity) {
    other.m_data = nullptr;
    other.m_length = other.m_capacity = 0;
}

TextBytes& TextBytes::operator=(TextBytes&& other) noexcept {
    if (this != &other) {
        free(m_data);
        m_data = other.m_data;
        m_length = other.m_length;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_length = other.m_capacity = 0;
    }
    return *this;
}

bool TextBytes::Insert(int at, const char* bytes, int n) {
    if (n <= 0)
        return true;
    at = std::min(std::max(at, 0), m_length);
    long long need = (long long)m_length + n;
    if (need > m_capacity) {
        long long capacity = m_capacity ? m_capacity : 1;
        while (capacity < need) capacity *= 2;
        char* grown =
            capacity <= INT_MAX ? static_cast<char*>(realloc(m_data, (size_t)capacity)) : nullptr;
        if (!grown) {
            LOG_MSG("out of memory: %d", (int)std::min(capacity, (long long)INT_MAX));
            return false;
        }
        m_data = grown;
        m_capacity = (int)capacity;
    }
    memmove(m_data + at + n, m_data + at, (size_t)(m_length - at));
    memcpy(m_data + at, bytes, (size_t)n);
    m_length += n;
    return true;
}

void TextBytes::Remove(int at, int n) {
    if (at < 0 || at >= m_length || n <= 0)
        return;
    if (at + n >= m_length) {
        m_length = at;
        return;
    }
    memmove(m_data + at, m_data + at + n, (size_t)(m_length - at - n));
    m_length -= n;
}

void TextBytes::SplitInto(int at, TextBytes* out) {
    out->Clear();
    if (at < 0 || at >= m_length)
        return;
    int n = m_length - at;
    // The new line's block holds exactly the bytes cut off.
    char* block = static_cast<char*>(malloc((size_t)n));
    if (!block) {
        LOG_MSG("out of memory: %d", n);
        return;
    }
    memcpy(block, m_data + at, (size_t)n);
    free(out->m_data);
    out->m_data = block;
    out->m_length = out->m_capacity = n;
    m_length = at;
}

int PhoneticEntryStart(const char* phonetic, int length, int k) {
    if (k <= 0)
        return 0;
    int seen = 0;
    for (int i = 0; i < length; ++i)
        if (IsTerminator(phonetic[i]) && ++seen == k)
            return i + 1;
    return length;
}

std::string PhoneticSpelling(const char* phonetic, int length, int k) {
    int start = PhoneticEntryStart(phonetic, length, k);
    int end = start;
    while (end < length && !IsTerminator(phonetic[end])) ++end;
    return std::string(phonetic + start, (size_t)(end - start));
}

// ---- the object ----

TextObject::TextObject()
    : m_frame(nullptr),
      m_logFont(),
      m_color(0),
      m_textFlags(TXTFLAG_INITIAL),
      m_angle(0),
      m_phoneticOn(0),
      m_lines(1),
      m_caret{0, 0},
      m_anchor{0, 0},
      m_scrollX(0),
      m_scrollY(0),
      m_font(nullptr),
      m_lineHeight(0),
      m_starWidth(0),
      m_cellWidth(0),
      m_avgWidth(0),
      m_trueType(false),
      m_newFont(true),
      m_newLayout(true),
      m_newCaret(false),
      m_editing(false),
      m_caretShown(false),
      m_halfChar(false),
      m_modified(0),
      m_hookWindow(nullptr),
      m_layoutBounds() {}

TextObject::~TextObject() {
    DropFont();
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
}

HRESULT TextObject::SetUp() {
    // The screen's default text metrics give the initial style.
    TEXTMETRICA tm = {};
    HDC screen = ::GetDC(nullptr);
    if (screen) {
        GetTextMetricsA(screen, &tm);
        ::ReleaseDC(nullptr, screen);
    }
    m_logFont.lfHeight = -tm.tmHeight;
    m_logFont.lfWeight = tm.tmWeight;
    m_logFont.lfItalic = tm.tmItalic;
    m_logFont.lfUnderline = tm.tmUnderlined;
    m_logFont.lfStrikeOut = tm.tmStruckOut;
    strcpy(m_logFont.lfFaceName, "Arial");
    m_trueType = IsTrueTypeFace(m_logFont.lfFaceName);
    if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame) {
        LOG_MSG("TxtObj CreateMediaFrame FAILED");
        return E_FAIL;
    }
    m_frame->SetOwner(static_cast<II_IRender*>(this));
    AttachPart(m_frame);
    return S_OK;
}

HRESULT TextObject::LoadAttachedPart(ITeskStream* stream) {
    if (!m_frame)
        return ClassBase::LoadAttachedPart(stream);
    HRESULT hr = m_frame->Load(stream);
    if (FAILED(hr))
        LOG_MSG("Text record: frame not read");
    return hr;
}

bool TextObject::RunMode() {
    IPlayerSite* site = ClassSite();
    return site && site->IsPlayer();
}

IViewService* TextObject::View() {
    IPlayerSite* site = ClassSite();
    return site ? site->GetView() : nullptr;
}

std::string TextObject::Text() const {
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i)
            out += "\r\n";
        out.append(m_lines[i].text.Data(), (size_t)m_lines[i].text.Length());
    }
    return out;
}

std::string TextObject::PhoneticText() const {
    std::string out;
    for (const TextLineRecord& line : m_lines) {
        out.append(line.phonetic.Data(), (size_t)line.phonetic.Length());
        out += '\n';
    }
    return out;
}

// ---- content ----

void TextObject::ClearContent() {
    m_lines.clear();
    m_lines.resize(1);
    m_caret = m_anchor = {0, 0};
    m_scrollX = m_scrollY = 0;
    m_halfChar = false;
    m_newLayout = true;
}

int TextObject::EntryIndex(int line, int offset) const {
    const TextBytes& t = m_lines[line].text;
    const char* p = t.Data();
    int n = std::min(offset, t.Length()), k = 0;
    for (int i = 0; i < n;) {
        if (PhoneticAt(p, i, t.Length()))
            ++k;
        i += CharLength(p, i, t.Length());
    }
    return k;
}

void TextObject::InsertRun(TextPos pos, const char* run, int n, bool entries) {
    TextLineRecord& line = m_lines[pos.line];
    int k = entries ? EntryIndex(pos.line, pos.offset) : 0;
    if (!line.text.Insert(pos.offset, run, n))
        return;
    if (!entries)
        return;
    // One empty entry for every phonetic-row character of the run, at its place.
    int at = PhoneticEntryStart(line.phonetic.Data(), line.phonetic.Length(), k);
    for (int i = 0; i < n;) {
        if (PhoneticAt(run, i, n)) {
            line.phonetic.Insert(at, "*", 1);
            ++at;
        }
        i += CharLength(run, i, n);
    }
}

void TextObject::SplitLine(TextPos pos) {
    TextLineRecord& line = m_lines[pos.line];
    int k = EntryIndex(pos.line, pos.offset);
    TextLineRecord next;
    line.text.SplitInto(pos.offset, &next.text);
    line.phonetic.SplitInto(PhoneticEntryStart(line.phonetic.Data(), line.phonetic.Length(), k),
                            &next.phonetic);
    m_lines.insert(m_lines.begin() + pos.line + 1, TextLineRecord());
    TextLineRecord& made = m_lines[pos.line + 1];
    made.text.Append(next.text.Data(), next.text.Length());
    made.phonetic.Append(next.phonetic.Data(), next.phonetic.Length());
}

TextPos TextObject::InsertText(TextPos pos, const char* text, int length, bool entries) {
    const bool multi = (m_textFlags & TXTFLAG_MULTILINE) != 0;
    int runStart = 0;
    auto flush = [&](int end) {
        if (end > runStart) {
            InsertRun(pos, text + runStart, end - runStart, entries);
            pos.offset += end - runStart;
        }
    };
    for (int i = 0; i < length;) {
        char c = text[i];
        if (c == '\n' || c == '\r' || c == '\t') {
            flush(i);
            if (c == '\n' && multi) {
                SplitLine(pos);
                pos = {pos.line + 1, 0};
            } else if (c == '\t') {
                InsertRun(pos, "    ", 4, entries);
                pos.offset += 4;
            }
            runStart = ++i;
            continue;
        }
        i += CharLength(text, i, length);
    }
    flush(length);
    m_newLayout = true;
    return pos;
}

void TextObject::SetContent(const char* text, int length) {
    ClearContent();
    InsertText({0, 0}, text, length, true);
}

void TextObject::ApplyTextType() {
    LONG type = TextType();
    if (type != TXTTYPE_INTEGER && type != TXTTYPE_DECIMAL)
        return;
    std::string first(m_lines[0].text.Data(), (size_t)m_lines[0].text.Length());
    char formatted[512];
    if (type == TXTTYPE_INTEGER)
        snprintf(formatted, sizeof(formatted), "%d", atoi(first.c_str()));
    else
        snprintf(formatted, sizeof(formatted), "%f", atof(first.c_str()));
    SetContent(formatted, (int)strlen(formatted));
}

void TextObject::RemoveBytes(int index, int from, int to) {
    TextLineRecord& line = m_lines[index];
    from = std::max(from, 0);
    to = std::min(to, line.text.Length());
    if (to <= from)
        return;
    int k0 = EntryIndex(index, from), k1 = EntryIndex(index, to);
    if (k1 > k0) {
        const char* p = line.phonetic.Data();
        int n = line.phonetic.Length();
        int a = PhoneticEntryStart(p, n, k0), b = PhoneticEntryStart(p, n, k1);
        line.phonetic.Remove(a, b - a);
    }
    line.text.Remove(from, to - from);
    m_newLayout = true;
}

void TextObject::JoinLines(int to, int from) {
    TextLineRecord& a = m_lines[to];
    TextLineRecord& b = m_lines[from];
    // The entries of a line the phonetic text does not hold stay missing:
    // the joined line's entries would shift, so missing ones are filled.
    int have = 0;
    for (int i = 0; i < a.phonetic.Length(); ++i)
        if (IsTerminator(a.phonetic.Data()[i]))
            ++have;
    for (int need = EntryIndex(to, a.text.Length()); have < need; ++have) a.phonetic.Append("*", 1);
    a.text.Append(b.text.Data(), b.text.Length());
    a.phonetic.Append(b.phonetic.Data(), b.phonetic.Length());
    m_lines.erase(m_lines.begin() + from);
    m_newLayout = true;
}

// ---- ITextDispObj ----

STDMETHODIMP TextObject::put_ObjColor(LONG v) {
    m_color = (COLORREF)v;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjHorzAlign(LONG v) {
    DWORD bits = ((DWORD)v & 3) << TXTFLAG_HALIGN_SHIFT;
    if ((m_textFlags & TXTFLAG_HALIGN) == bits)
        return S_OK;
    m_textFlags = (m_textFlags & ~TXTFLAG_HALIGN) | bits;
    m_newLayout = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjVertAlign(LONG v) {
    DWORD bits = ((DWORD)v & 3) << TXTFLAG_VALIGN_SHIFT;
    if ((m_textFlags & TXTFLAG_VALIGN) == bits)
        return S_OK;
    m_textFlags = (m_textFlags & ~TXTFLAG_VALIGN) | bits;
    m_newLayout = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjAutoWrap(LONG v) {
    if ((v != 0) == ((m_textFlags & TXTFLAG_WRAP) != 0))
        return S_OK;
    if (v) {
        m_textFlags |= TXTFLAG_WRAP;
        m_scrollX = 0;
    } else {
        m_textFlags &= ~TXTFLAG_WRAP;
    }
    m_newLayout = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjPasswordMode(LONG v) {
    if (v && Phonetic())
        return E_FAIL;
    if ((v != 0) == Password())
        return S_OK;
    m_textFlags = v ? (m_textFlags | TXTFLAG_PASSWORD) : (m_textFlags & ~TXTFLAG_PASSWORD);
    m_newLayout = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjMultiLine(LONG v) {
    if ((v != 0) == ((m_textFlags & TXTFLAG_MULTILINE) != 0))
        return S_OK;
    if (v) {
        m_textFlags |= TXTFLAG_MULTILINE;
    } else {
        m_textFlags &= ~TXTFLAG_MULTILINE;
        while (m_lines.size() > 1) JoinLines(0, 1);
        m_caret = m_anchor = {0, 0};
    }
    m_newLayout = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjTextRotate(LONG v) {
    if (v == m_angle)
        return S_OK;
    m_angle = v;
    if (m_editing)
        return S_OK;
    m_newFont = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjTextType(LONG v) {
    DWORD type = (DWORD)v & TXTFLAG_TYPE;
    if ((m_textFlags & TXTFLAG_TYPE) == type)
        return S_OK;
    m_textFlags = (m_textFlags & ~TXTFLAG_TYPE) | type;
    if (Linked()) {
        DbLinkAbility::Refresh(DB_REFRESH_NOTICE);
        return S_OK;
    }
    ApplyTextType();
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::get_ObjContent(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(Text());
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP TextObject::put_ObjContent(BSTR text) {
    std::string mb = MultibyteFromBstr(text);
    if (m_caretShown)
        DropCaret();
    SetContent(mb.data(), (int)mb.size());
    if (m_editing) {
        CreateCaretNow();
        PlaceCaret();
    }
    ContentChanged();
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::put_ObjPhoneticize(LONG v) {
    if (v && Password())
        return E_FAIL;
    DWORD bit = v ? 1 : 0;
    if ((m_phoneticOn & 1) == bit)
        return S_OK;
    m_phoneticOn = (m_phoneticOn & ~1u) | bit;
    m_newLayout = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::EnterEdit() {
    if (!(m_textFlags & TXTFLAG_EDITABLE) || m_editing)
        return S_OK;
    if (IViewService* view = View())
        view->ChangeWndProc(TRUE, GetUnknown());
    return S_OK;
}

STDMETHODIMP TextObject::ExitEdit() {
    if (!m_editing)
        return S_OK;
    if (IViewService* view = View())
        view->ChangeWndProc(FALSE, GetUnknown());
    return S_OK;
}

STDMETHODIMP TextObject::SetFontName(BSTR name) {
    std::string mb = MultibyteFromBstr(name);
    // Cut on a whole character inside the 32-byte field.
    MbCopyCut(m_logFont.lfFaceName, LF_FACESIZE, mb.c_str());
    LOGFONTA found = {};
    MatchFontFace(m_logFont.lfFaceName, &found);
    if (found.lfFaceName[0]) {
        m_logFont.lfCharSet = found.lfCharSet;
        m_logFont.lfQuality = found.lfQuality;
        m_logFont.lfPitchAndFamily = found.lfPitchAndFamily;
    }
    m_trueType = IsTrueTypeFace(m_logFont.lfFaceName);
    m_newFont = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::SetFontSize(INT size) {
    m_logFont.lfHeight = -PointsToFontHeight(size);
    m_newFont = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::SetFontProp(LONG italic, LONG bold, LONG underline) {
    m_logFont.lfItalic = (BYTE)italic;
    m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    m_logFont.lfUnderline = (BYTE)underline;
    m_newFont = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::GetColor(COLORREF* out) {
    if (!out)
        return E_POINTER;
    *out = m_color;
    return S_OK;
}

STDMETHODIMP TextObject::SetLogFont(const LOGFONTA* font) {
    if (!font)
        return E_POINTER;
    m_logFont = *font;
    m_logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    m_trueType = IsTrueTypeFace(m_logFont.lfFaceName);
    m_newFont = true;
    Redraw();
    return S_OK;
}

STDMETHODIMP TextObject::GetLogFont(LOGFONTA* out) {
    if (!out)
        return E_POINTER;
    *out = m_logFont;
    return S_OK;
}

// ---- render part and the link ----

STDMETHODIMP TextObject::OnGeometryChanged(const RECT* before, const RECT* after, int code) {
    if (before && after && !EqualRect(before, after)) {
        m_newLayout = true;
        Redraw();
    }
    return ClassBase::OnGeometryChanged(before, after, code);
}

STDMETHODIMP TextObject::BeforeEnter() {
    if (Linked())
        DbLinkAbility::Refresh(DB_REFRESH_NOTICE);
    Layout();
    return S_OK;
}

STDMETHODIMP TextObject::BeforeExit() {
    if (m_editing && RunMode())
        ExitEdit();
    return S_OK;
}

HRESULT TextObject::DbRefresh(int) {
    TRACE_POINT();
    std::string text;
    bool read = false;
    if (TableName()[0] && FieldName()[0]) {
        std::vector<char> buffer(DB_TEXT_SIZE);
        read = GetDataText(buffer.data(), (int)buffer.size()) == S_OK;
        if (read)
            text = buffer.data();
    }
    if (m_caretShown)
        DropCaret();
    SetContent(text.data(), (int)text.size());
    if (read)
        ApplyTextType();
    if (m_editing) {
        CreateCaretNow();
        PlaceCaret();
    }
    ContentChanged();
    Redraw();
    return S_OK;
}

// ---- measuring and layout ----

TextObject::Measure::Measure(TextObject* o) : dc(nullptr), old(nullptr), owner(o), own(true) {
    HDC screen = ::GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    if (screen)
        ::ReleaseDC(nullptr, screen);
    if (dc && owner->m_font)
        old = SelectObject(dc, owner->m_font);
}

TextObject::Measure::~Measure() {
    if (!dc || !own)
        return;
    if (old)
        SelectObject(dc, old);
    DeleteDC(dc);
}

int TextObject::Measure::Width(const char* text, int n) const {
    SIZE size = {0, 0};
    if (dc && n > 0)
        GetTextExtentPoint32A(dc, text, n, &size);
    return size.cx;
}

int TextObject::Measure::CharWidth(const char* text, int n) const {
    if (owner->Phonetic() && n == 2 &&
        IsPhoneticChar((unsigned char)text[0], (unsigned char)text[1]))
        return owner->m_cellWidth;
    return Width(text, n);
}

void TextObject::DropFont() {
    if (m_font)
        DeleteObject(m_font);
    m_font = nullptr;
}

void TextObject::EnsureFont() {
    if (m_font && !m_newFont)
        return;
    DropFont();
    LOGFONTA lf = m_logFont;
    lf.lfFaceName[LF_FACESIZE - 1] = 0;
    const bool turned = m_angle != 0 && m_trueType && !m_caretShown;
    lf.lfEscapement = lf.lfOrientation = turned ? m_angle * 10 : 0;
    m_font = CreateFontIndirectA(&lf);
    if (!m_font)
        LOG_WIN32_ERROR(0, "CreateFontIndirect failed");
    Measure m(this);
    TEXTMETRICA tm = {};
    if (m.dc)
        GetTextMetricsA(m.dc, &tm);
    m_lineHeight = tm.tmHeight > 0 ? tm.tmHeight : abs(m_logFont.lfHeight);
    m_avgWidth = tm.tmAveCharWidth;
    m_starWidth = m.Width("*", 1);
    char cell[64] = "";
    int n = LoadResString(IDS_PHONETIC_CELL, cell, sizeof(cell));
    m_cellWidth = m.Width(cell, n) + 5;
    m_newFont = false;
    m_newLayout = true;
}

void TextObject::TextBounds(RECT* out) {
    RECT b;
    this->GetTransformedBounds(&b);
    *out = b;
    if (m_frame)
        m_frame->GetInnerRect(&b, out);
}

void TextObject::BreakRows(TextLineRecord& line, const Measure& m, int width) {
    line.rows.clear();
    const char* p = line.text.Data();
    const int length = line.text.Length();
    if (width < 0) {
        line.rows.push_back({0, length});
        return;
    }
    const bool turned = m_angle != 0 && m_trueType && !m_caretShown;
    const int cosv = turned ? CosCent(m_angle * 100) : 10000;
    const int sinv = turned ? SinCent(m_angle * 100) : 0;
    int start = 0, running = 0;
    for (int i = 0; i < length;) {
        int n = CharLength(p, i, length);
        int w;
        if (Password())
            w = (i + n - start) * m_starWidth;
        else if (Phonetic())
            w = running + m.CharWidth(p + i, n);
        else
            w = m.Width(p + start, i + n - start);
        long long fit = w;
        if (turned) {
            fit = llabs((long long)w * cosv / 10000);
            if (sinv > 0)
                fit += (long long)sinv * m_lineHeight / 10000;
        }
        if (fit > width) {
            if (i == start) {
                line.rows.push_back({start, n});
                start = i + n;
                running = 0;
            } else {
                line.rows.push_back({start, i - start});
                start = i;
                running = Phonetic() ? m.CharWidth(p + i, n) : 0;
            }
        } else {
            running = w;
        }
        i += n;
    }
    if (start < length || line.rows.empty())
        line.rows.push_back({start, length - start});
}

void TextObject::Layout() {
    EnsureFont();
    Measure m(this);
    RECT b;
    TextBounds(&b);
    int width = (m_textFlags & TXTFLAG_WRAP) ? std::max(0L, b.right - b.left) : -1;
    for (TextLineRecord& line : m_lines) BreakRows(line, m, width);
    m_layoutBounds = b;
    m_newLayout = false;
}

int TextObject::RowCount() const {
    int n = 0;
    for (const TextLineRecord& line : m_lines) n += (int)line.rows.size();
    return n;
}

int TextObject::RowWidth(const TextLineRecord& line, const TextRow& row, const Measure& m) const {
    if (Password())
        return row.count * m_starWidth;
    const char* p = line.text.Data() + row.start;
    if (!Phonetic())
        return m.Width(p, row.count);
    int w = 0;
    for (int i = 0; i < row.count;) {
        int n = CharLength(p, i, row.count);
        w += m.CharWidth(p + i, n);
        i += n;
    }
    return w;
}

LONG TextObject::PlaceX(const RECT& b, int w) const {
    LONG x;
    switch (HorzAlign()) {
        case 1:
            x = (b.left + b.right - w) / 2;
            break;
        case 2:
            x = w >= 0 ? b.right - w : b.right;
            break;
        default:
            x = w >= 0 ? b.left : b.left - w;
            break;
    }
    return x + m_scrollX;
}

LONG TextObject::PlaceY(const RECT& b, int h) const {
    LONG y;
    switch (VertAlign()) {
        case 1:
            y = (b.top + b.bottom - h) / 2;
            break;
        case 2:
            y = b.bottom - h;
            break;
        default:
            y = b.top;
            break;
    }
    return y + m_scrollY;
}

int TextObject::RowOf(TextPos pos, int* rowInLine) const {
    int g = 0;
    for (int i = 0; i < pos.line; ++i) g += (int)m_lines[i].rows.size();
    const std::vector<TextRow>& rows = m_lines[pos.line].rows;
    int r = 0;
    for (int i = 0; i < (int)rows.size(); ++i)
        if (rows[i].start <= pos.offset)
            r = i;
    if (rowInLine)
        *rowInLine = r;
    return g + r;
}

void TextObject::DrawRow(HDC dc, const TextLineRecord& line, const TextRow& row, int x, int y,
                         const Measure& m) const {
    if (row.count <= 0)
        return;
    const char* p = line.text.Data() + row.start;
    if (Password()) {
        std::string stars((size_t)row.count, '*');
        TextOutA(dc, x, y, stars.data(), row.count);
        return;
    }
    if (!Phonetic()) {
        TextOutA(dc, x, y, p, row.count);
        return;
    }
    // The spelling line at y, the text line at y + h, cell by cell.
    int k = 0;
    for (int i = 0; i < row.start;) {
        if (PhoneticAt(line.text.Data(), i, line.text.Length()))
            ++k;
        i += CharLength(line.text.Data(), i, line.text.Length());
    }
    for (int i = 0; i < row.count;) {
        int n = CharLength(p, i, row.count);
        if (n == 2 && IsPhoneticChar((unsigned char)p[i], (unsigned char)p[i + 1])) {
            std::string spelling =
                PhoneticSpelling(line.phonetic.Data(), line.phonetic.Length(), k++);
            if (!spelling.empty()) {
                int sw = m.Width(spelling.data(), (int)spelling.size());
                TextOutA(dc, x + (m_cellWidth - sw) / 2, y, spelling.data(), (int)spelling.size());
            }
            int cw = m.Width(p + i, n);
            TextOutA(dc, x + (m_cellWidth - cw) / 2, y + m_lineHeight, p + i, n);
            x += m_cellWidth;
        } else {
            TextOutA(dc, x, y + m_lineHeight, p + i, n);
            x += m.Width(p + i, n);
        }
        i += n;
    }
}

void TextObject::DrawText(HDC dc, const RECT& b) {
    HGDIOBJ oldFont = SelectObject(dc, m_font);
    Measure m(this, dc);
    SetTextColor(dc, m_color);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    const bool turned = m_angle != 0 && m_trueType && !m_caretShown;
    const int pitch = Pitch();
    const LONG top = PlaceY(b, RowCount() * pitch);
    const LONG cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
    const int cosv = CosCent(m_angle * 100), sinv = SinCent(m_angle * 100);
    int g = 0;
    for (const TextLineRecord& line : m_lines)
        for (const TextRow& row : line.rows) {
            LONG y = top + g++ * pitch;
            if (!turned && (y >= b.bottom || y + pitch <= b.top))
                continue;
            LONG x = PlaceX(b, RowWidth(line, row, m));
            if (turned) {
                // Escapement turns counter-clockwise: along (cos, -sin), down (sin, cos).
                long long dx = x - cx, dy = y - cy;
                x = (LONG)(cx + (dx * cosv + dy * sinv) / 10000);
                y = (LONG)(cy + (dy * cosv - dx * sinv) / 10000);
            }
            DrawRow(dc, line, row, x, y, m);
        }
    if (m_caretShown)
        DrawSelection(dc, b, m);
    SelectObject(dc, oldFont);
}

void TextObject::DrawSelection(HDC dc, const RECT& b, const Measure& m) {
    if (m_anchor == m_caret)
        return;
    TextPos s = std::min(m_anchor, m_caret), e = std::max(m_anchor, m_caret);
    const int pitch = Pitch();
    const LONG top = PlaceY(b, RowCount() * pitch);
    int g = 0;
    for (int li = 0; li < (int)m_lines.size(); ++li) {
        const TextLineRecord& line = m_lines[li];
        for (const TextRow& row : line.rows) {
            LONG y = top + g++ * pitch + (Phonetic() ? m_lineHeight : 0);
            if (li < s.line || li > e.line)
                continue;
            int from = li == s.line ? std::max(s.offset, row.start) : row.start;
            int to =
                li == e.line ? std::min(e.offset, row.start + row.count) : row.start + row.count;
            if (to <= from)
                continue;
            LONG x = PlaceX(b, RowWidth(line, row, m));
            TextRow head = {row.start, from - row.start}, part = {row.start, to - row.start};
            LONG x0 = x + RowWidth(line, head, m), x1 = x + RowWidth(line, part, m);
            PatBlt(dc, x0, y, x1 - x0, m_lineHeight, DSTINVERT);
        }
    }
}

HRESULT TextObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    RECT b = *rect;
    if (m_frame)
        m_frame->GetInnerRect(rect, &b);
    if (b.right <= b.left || b.bottom <= b.top)
        return S_OK;
    if (m_newFont) {
        bool shown = m_caretShown;
        if (shown)
            DropCaret();
        Layout();
        if (shown && m_editing) {
            CreateCaretNow();
            PlaceCaret();
        }
    }
    if (m_newLayout)
        Layout();
    if (m_newCaret)
        PlaceCaret();
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, b.left, b.top, b.right, b.bottom);
    DrawText(dc, b);
    RestoreDC(dc, saved);
    target->ReleaseDC(dc);
    return S_OK;
}

// The caret's top left: on its row's text line, after the text before it.
POINT TextObject::CaretPoint() {
    if (m_newFont || m_newLayout)
        Layout();
    Measure m(this);
    RECT b;
    TextBounds(&b);
    int r = 0;
    int g = RowOf(m_caret, &r);
    const TextLineRecord& line = m_lines[m_caret.line];
    const TextRow& row = line.rows[r];
    LONG top = PlaceY(b, RowCount() * Pitch());
    POINT pt;
    pt.y = top + g * Pitch() + (Phonetic() ? m_lineHeight : 0);
    TextRow head = {row.start, std::max(0, m_caret.offset - row.start)};
    pt.x = PlaceX(b, RowWidth(line, row, m)) + RowWidth(line, head, m);
    if (Phonetic() && PhoneticAt(line.text.Data(), m_caret.offset, line.text.Length()))
        pt.x += (m_cellWidth - 2 * m_avgWidth) / 2;
    return pt;
}

TextPos TextObject::PositionAt(POINT pt) {
    if (m_newFont || m_newLayout)
        Layout();
    Measure m(this);
    RECT b;
    TextBounds(&b);
    const int pitch = std::max(1, Pitch());
    LONG top = PlaceY(b, RowCount() * pitch);
    int g = pt.y < top ? 0 : (int)((pt.y - top) / pitch);
    g = std::min(g, RowCount() - 1);
    for (int li = 0; li < (int)m_lines.size(); ++li) {
        const TextLineRecord& line = m_lines[li];
        if (g >= (int)line.rows.size()) {
            g -= (int)line.rows.size();
            continue;
        }
        const TextRow& row = line.rows[g];
        LONG x = pt.x - PlaceX(b, RowWidth(line, row, m));
        const char* p = line.text.Data();
        int previous = 0;
        for (int i = row.start; i < row.start + row.count;) {
            int n = CharLength(p, i, line.text.Length());
            TextRow through = {row.start, i + n - row.start};
            int w = RowWidth(line, through, m);
            if (2 * x < previous + w)
                return {li, i};
            previous = w;
            i += n;
        }
        return {li, row.start + row.count};
    }
    return {0, 0};
}

bool TextObject::ScrollToCaret() {
    if (!m_caretShown)
        return false;
    RECT b;
    TextBounds(&b);
    POINT c = CaretPoint();
    LONG dx = 0, dy = 0;
    if (c.x < b.left)
        dx = b.left - c.x;
    else if (c.x + 2 > b.right)
        dx = b.right - (c.x + 2);
    LONG rowTop = c.y - (Phonetic() ? m_lineHeight : 0);
    if (rowTop < b.top)
        dy = b.top - rowTop;
    else if (rowTop + Pitch() > b.bottom)
        dy = std::max(b.top - rowTop, b.bottom - (rowTop + Pitch()));
    if (!dx && !dy)
        return false;
    m_scrollX += dx;
    m_scrollY += dy;
    Redraw();
    return true;
}

// ---- the record ----

STDMETHODIMP TextObject::LoadExtension(ITeskStream* stream) {
    // LOGFONT, colour, flags, angle, the text's length.
    struct {
        LOGFONTA font;
        COLORREF color;
        DWORD flags;
        LONG angle;
        DWORD length;
    } head;
    static_assert(sizeof(head) == 76, "the text record's head is 76 bytes");
    if (!stream || !StreamHas(stream, sizeof(head))) {
        LOG_MSG("Text record: cut short");
        return E_FAIL;
    }
    stream->Read(&head, sizeof(head));
    if (!StreamHas(stream, head.length)) {
        LOG_MSG("Text record: text of %lu bytes beyond the stream", (unsigned long)head.length);
        return E_FAIL;
    }
    std::string text(head.length, '\0');
    if (head.length) {
        if (head.flags & TXTFLAG_PLAIN_READ)
            stream->Read(&text[0], head.length);
        else
            stream->RawRead(&text[0], head.length);
    }
    std::string phonetic;
    DWORD phoneticOn = 0;
    if (head.flags & TXTFLAG_PHONETIC) {
        DWORD m = 0;
        if (!StreamReadValue(stream, &m) || !StreamHas(stream, (ULONGLONG)m + 4)) {
            LOG_MSG("Text record: phonetic text of %lu bytes beyond the stream", (unsigned long)m);
            return E_FAIL;
        }
        phonetic.resize(m);
        if (m)
            stream->Read(&phonetic[0], m);
        stream->Read(&phoneticOn, 4);
    }
    HRESULT hr = DbLinkAbility::Load(stream);
    if (FAILED(hr))
        return hr;
    // A face without its NUL ends at byte 31.
    head.font.lfFaceName[LF_FACESIZE - 1] = 0;
    if (m_caretShown)
        DropCaret();
    m_logFont = head.font;
    m_color = head.color;
    m_textFlags = head.flags;
    m_angle = head.angle;
    m_phoneticOn = phoneticOn;
    m_trueType = IsTrueTypeFace(m_logFont.lfFaceName);
    m_newFont = true;
    const bool stored = (head.flags & TXTFLAG_PHONETIC) != 0;
    ClearContent();
    InsertText({0, 0}, text.data(), (int)text.size(), !stored);
    if (stored) {
        // Every line's phonetic text ends with a line feed.
        size_t at = 0;
        for (TextLineRecord& line : m_lines) {
            if (at >= phonetic.size())
                break;
            size_t end = phonetic.find('\n', at);
            if (end == std::string::npos)
                end = phonetic.size();
            line.phonetic.Append(phonetic.data() + at, (int)(end - at));
            at = end + 1;
        }
    }
    return S_OK;
}

STDMETHODIMP TextObject::SaveExtension(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    m_textFlags |= TXTFLAG_PLAIN_READ | TXTFLAG_PHONETIC;
    stream->Write(&m_logFont, sizeof(m_logFont));
    StreamWriteValue<DWORD>(stream, m_color);
    StreamWriteValue<DWORD>(stream, m_textFlags);
    StreamWriteValue<LONG>(stream, m_angle);
    std::string text = Text(), phonetic = PhoneticText();
    StreamWriteValue<DWORD>(stream, (DWORD)text.size());
    if (!text.empty())
        stream->Write(text.data(), (ULONG)text.size());
    StreamWriteValue<DWORD>(stream, (DWORD)phonetic.size());
    stream->Write(phonetic.data(), (ULONG)phonetic.size());
    StreamWriteValue<DWORD>(stream, m_phoneticOn);
    return DbLinkAbility::Save(stream);
}

HRESULT CreateTextObject(IUnknown** out) {
    return CreateObjectOfClass<TextObject>(out);
}
