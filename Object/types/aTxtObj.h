// TextObject: a block of plain multibyte text in one font and colour,
// aligned, optionally wrapped, turned, shown as a password or with a
// phonetic line above each text line, bound to a database field through the
// link, and edited in place at run time: while it edits, the view hands it
// the window's messages (aTxtObj.cpp: object, layout, drawing; atxtobj2.cpp:
// editing and the clipboard).
#pragma once

#include <vector>

#include "aMFrame.h"
#include "aObjClass.h"

// Flag bits of the text object.
enum TextFlags : DWORD {
    TXTFLAG_TYPE = 0x000F,  // 0 text, 1 integer, 2 decimal
    TXTFLAG_HALIGN = 0x0030,
    TXTFLAG_HALIGN_SHIFT = 4,
    TXTFLAG_VALIGN = 0x00C0,
    TXTFLAG_VALIGN_SHIFT = 6,
    TXTFLAG_WRAP = 0x0100,
    TXTFLAG_MULTILINE = 0x0200,
    TXTFLAG_PASSWORD = 0x0400,
    TXTFLAG_EDITABLE = 0x0800,
    TXTFLAG_ENTER_ENDS = 0x1000,  // run mode: Enter ends editing
    TXTFLAG_CLICK_ENDS = 0x2000,  // a click outside ends editing
    TXTFLAG_PLAIN_READ = 0x4000,  // the stored text is read with the plain read
    TXTFLAG_PHONETIC = 0x8000,    // a phonetic text and the switch follow the text
    TXTFLAG_INITIAL = 0x6300,
};
enum TextType { TXTTYPE_TEXT = 0, TXTTYPE_INTEGER = 1, TXTTYPE_DECIMAL = 2 };
// Events of ITextEvents.
enum { TXTEVT_ENTEREDIT = 2200, TXTEVT_EXITEDIT = 2201, TXTEVT_CONTENTCHANGED = 2202 };
// The string whose width (+ 5) is the phonetic cell.
enum { IDS_PHONETIC_CELL = 34506 };

// A byte string with its length and capacity; no terminating NUL.
class TextBytes {
public:
    TextBytes() = default;
    ~TextBytes();
    TextBytes(const TextBytes&) = delete;
    TextBytes& operator=(const TextBytes&) = delete;
    TextBytes(TextBytes&& other) noexcept;
    TextBytes& operator=(TextBytes&& other) noexcept;
    // Inserts n bytes at `at`; false (logged, nothing changed) without memory.
    bool Insert(int at, const char* bytes, int n);
    bool Append(const char* bytes, int n) { return Insert(m_length, bytes, n); }
    void Remove(int at, int n);
    // Cuts the bytes from `at` to the end off into `out` (emptied first).
    void SplitInto(int at, TextBytes* out);
    void Clear() { m_length = 0; }
    const char* Data() const { return m_data ? m_data : ""; }
    int Length() const { return m_length; }
    int Capacity() const { return m_capacity; }

private:
    char* m_data = nullptr;
    int m_length = 0;
    int m_capacity = 0;
};

// One display row of a line: its start and byte count in the line's text.
struct TextRow {
    int start;
    int count;
};

// One line: its text, its phonetic text (one entry per phonetic-row
// character, each ended by "*" or "$") and its display rows.
struct TextLineRecord {
    TextBytes text;
    TextBytes phonetic;
    std::vector<TextRow> rows = {{0, 0}};
};

// A place in the text: a line and a byte offset in its text.
struct TextPos {
    int line;
    int offset;
    bool operator==(const TextPos& o) const { return line == o.line && offset == o.offset; }
    bool operator!=(const TextPos& o) const { return !(*this == o); }
    bool operator<(const TextPos& o) const {
        return line < o.line || (line == o.line && offset < o.offset);
    }
};

// Whether the two bytes form a character of the GB2312 rows that carry a
// phonetic spelling.
inline bool IsPhoneticChar(unsigned char lead, unsigned char trail) {
    unsigned code = (unsigned)lead << 8 | trail;
    return code >= 0xB000 && code <= 0xF7FF && trail > 0xA0 && trail != 0xFF;
}
// Where phonetic entry k starts in a phonetic text: 0 for k = 0, just after
// the k-th terminator otherwise, the length when there is none.
int PhoneticEntryStart(const char* phonetic, int length, int k);
// The bytes of entry k's spelling (without its terminator); empty when the
// phonetic text does not hold it.
std::string PhoneticSpelling(const char* phonetic, int length, int k);

class TextObject : public TextObjectClass<TextObject> {
public:
    TextObject();
    ~TextObject() override;
    HRESULT SetUp();

    // ---- ITextDispObj ----
    STDMETHOD(get_ObjColor)(LONG* out) override { return Get(out, (LONG)m_color); }
    STDMETHOD(put_ObjColor)(LONG v) override;
    STDMETHOD(get_ObjHorzAlign)(LONG* out) override { return Get(out, HorzAlign()); }
    STDMETHOD(put_ObjHorzAlign)(LONG v) override;
    STDMETHOD(get_ObjVertAlign)(LONG* out) override { return Get(out, VertAlign()); }
    STDMETHOD(put_ObjVertAlign)(LONG v) override;
    STDMETHOD(get_ObjAutoWrap)(LONG* out) override { return Get(out, Bit(TXTFLAG_WRAP)); }
    STDMETHOD(put_ObjAutoWrap)(LONG v) override;
    STDMETHOD(get_ObjPasswordMode)(LONG* out) override { return Get(out, Bit(TXTFLAG_PASSWORD)); }
    STDMETHOD(put_ObjPasswordMode)(LONG v) override;
    STDMETHOD(get_ObjMultiLine)(LONG* out) override { return Get(out, Bit(TXTFLAG_MULTILINE)); }
    STDMETHOD(put_ObjMultiLine)(LONG v) override;
    STDMETHOD(get_ObjTextRotate)(LONG* out) override { return Get(out, m_angle); }
    STDMETHOD(put_ObjTextRotate)(LONG v) override;
    STDMETHOD(get_ObjTextType)(LONG* out) override { return Get(out, TextType()); }
    STDMETHOD(put_ObjTextType)(LONG v) override;
    STDMETHOD(get_ObjContent)(BSTR* out) override;
    STDMETHOD(put_ObjContent)(BSTR text) override;
    STDMETHOD(get_ObjPhoneticize)(LONG* out) override { return Get(out, m_phoneticOn & 1); }
    STDMETHOD(put_ObjPhoneticize)(LONG v) override;
    STDMETHOD(EnterEdit)() override;
    STDMETHOD(ExitEdit)() override;
    STDMETHOD(SetFontName)(BSTR name) override;
    STDMETHOD(SetFontSize)(INT size) override;
    STDMETHOD(SetFontProp)(LONG italic, LONG bold, LONG underline) override;

    // ---- private operations ----
    STDMETHOD(PutColor)(LONG v) override { return put_ObjColor(v); }
    STDMETHOD(GetColor)(COLORREF* out) override;
    STDMETHOD(SetLogFont)(const LOGFONTA* font) override;
    STDMETHOD(GetLogFont)(LOGFONTA* out) override;

    // ---- the window-message part (atxtobj2.cpp) ----
    STDMETHOD(BeginHook)(void* hookRecord) override;
    STDMETHOD(FocusLost)() override;
    STDMETHOD(EndHook)() override;
    STDMETHOD(HandleMessage)
    (HWND window, HDC dc, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // ---- render part, link, record ----
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;
    STDMETHOD(BeforeEnter)() override;
    STDMETHOD(BeforeExit)() override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream* stream) override;

    // The whole text, lines joined with CR LF.
    std::string Text() const;
    // Every line's phonetic text followed by one LF.
    std::string PhoneticText() const;
    int LineCount() const { return (int)m_lines.size(); }
    const TextLineRecord& Line(int i) const { return m_lines[i]; }
    DWORD Flags() const { return m_textFlags; }
    const LOGFONTA& Font() const { return m_logFont; }
    bool Editing() const { return m_editing; }
    bool CaretShown() const { return m_caretShown; }
    TextPos Anchor() const { return m_anchor; }
    TextPos Caret() const { return m_caret; }
    int Modified() const { return m_modified; }
    void SetFlags(DWORD flags) { m_textFlags = flags; }
    // Where the caret stands, in page units (its top left).
    POINT CaretPoint();
    // The position under a page point.
    TextPos PositionAt(POINT pt);

protected:
    HRESULT DbRefresh(int code) override;
    HRESULT LoadAttachedPart(ITeskStream* stream) override;

private:
    LONG Bit(DWORD bit) const { return (m_textFlags & bit) ? 1 : 0; }
    LONG TextType() const { return (LONG)(m_textFlags & TXTFLAG_TYPE); }
    LONG HorzAlign() const {
        return (LONG)((m_textFlags & TXTFLAG_HALIGN) >> TXTFLAG_HALIGN_SHIFT);
    }
    LONG VertAlign() const {
        return (LONG)((m_textFlags & TXTFLAG_VALIGN) >> TXTFLAG_VALIGN_SHIFT);
    }
    bool Phonetic() const { return (m_phoneticOn & 1) != 0; }
    bool Password() const { return (m_textFlags & TXTFLAG_PASSWORD) != 0; }
    bool RunMode();
    IViewService* View();
    void Redraw() { this->InvalidateObject(nullptr); }
    void ContentChanged() { FireNoArgs(TXTEVT_CONTENTCHANGED); }

    // ---- content ----
    void ClearContent();
    // Inserts text at pos by the rules of content insertion; `entries`
    // inserts the empty phonetic entry for every phonetic-row character.
    // The position after the text.
    TextPos InsertText(TextPos pos, const char* text, int length, bool entries);
    void InsertRun(TextPos pos, const char* run, int n, bool entries);
    void SplitLine(TextPos pos);
    void SetContent(const char* text, int length);
    // Reformats by the text type (integer "%d", decimal "%f").
    void ApplyTextType();
    int EntryIndex(int line, int offset) const;
    // Removes the bytes [from, to) of a line with their phonetic entries.
    void RemoveBytes(int line, int from, int to);
    // Appends line `from`'s text and phonetic text to line `to` and drops it.
    void JoinLines(int to, int from);

    // ---- layout and drawing ----
    // A font and a screen device context measuring with it.
    struct Measure {
        explicit Measure(TextObject* o);
        // Measures on a context that has the display font selected already.
        Measure(TextObject* o, HDC borrowed) : dc(borrowed), old(nullptr), owner(o) {}
        ~Measure();
        Measure(const Measure&) = delete;
        Measure& operator=(const Measure&) = delete;
        int Width(const char* text, int n) const;
        int CharWidth(const char* text, int n) const;  // phonetic cells counted
        HDC dc;
        HGDIOBJ old;
        TextObject* owner;
        bool own = false;
    };
    void EnsureFont();
    void DropFont();
    // Breaks every line into rows for the text bounds' width.
    void Layout();
    void BreakRows(TextLineRecord& line, const Measure& m, int width);
    void TextBounds(RECT* out);
    int Pitch() const { return Phonetic() ? 2 * m_lineHeight : m_lineHeight; }
    int RowCount() const;
    int RowWidth(const TextLineRecord& line, const TextRow& row, const Measure& m) const;
    LONG PlaceX(const RECT& bounds, int width) const;
    LONG PlaceY(const RECT& bounds, int height) const;
    // The global row index and the row of a position.
    int RowOf(TextPos pos, int* rowInLine) const;
    void DrawText(HDC dc, const RECT& bounds);
    void DrawRow(HDC dc, const TextLineRecord& line, const TextRow& row, int x, int y,
                 const Measure& m) const;
    void DrawSelection(HDC dc, const RECT& bounds, const Measure& m);
    // Moves the text so the caret lies inside the bounds; true when it moved.
    bool ScrollToCaret();

    // ---- editing (atxtobj2.cpp) ----
    // Destroys the caret, makes it again for the font and shows it.
    void CreateCaretNow();
    void PlaceCaret();
    void DropCaret();
    HWND CaretWindow();
    bool Accepts(unsigned char c) const;
    void OnChar(unsigned char c, int repeat);
    void InsertTyped(unsigned char c);
    // True when the key is one the object handles.
    bool OnKeyDown(UINT key);
    void OnCommand(UINT id);
    HRESULT OnLButtonDown(POINT pt);
    TextPos PrevPos(TextPos pos) const;
    TextPos NextPos(TextPos pos) const;
    TextPos MovedPos(UINT key, bool ctrl);
    // The deletions answer whether the text changed.
    bool DeleteCharAt(TextPos pos);
    bool DeleteSelection();
    void AfterDelete();
    std::string SelectedText() const;
    void Copy();
    void Paste();

    IMediaFrame* m_frame;
    LOGFONTA m_logFont;
    COLORREF m_color;
    DWORD m_textFlags;
    LONG m_angle;
    DWORD m_phoneticOn;
    std::vector<TextLineRecord> m_lines;
    TextPos m_caret, m_anchor;
    LONG m_scrollX, m_scrollY;
    HFONT m_font;
    int m_lineHeight, m_starWidth, m_cellWidth, m_avgWidth;
    bool m_trueType;
    bool m_newFont, m_newLayout, m_newCaret;
    bool m_editing, m_caretShown, m_halfChar;
    int m_modified;
    HWND m_hookWindow;
    RECT m_layoutBounds;
};

HRESULT CreateTextObject(IUnknown** out);
