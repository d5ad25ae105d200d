// Editing of the text object: while it holds the view's messages it keeps a
// caret and a selection, takes typed characters by its text type, moves
// with the keys and the mouse, deletes and exchanges text with the
// clipboard. A double-byte character is never split: its lead and trail
// bytes move, and are deleted, together with its phonetic entry.
#include <string.h>

#include <algorithm>

#include "aTxtObj.h"
#include "bTextCut.h"

namespace {

// Command ids the object takes: the editing commands and the view's
// accelerators.
enum {
    CMD_DELETE = 57632,
    CMD_COPY = 57634,
    CMD_CUT = 57635,
    CMD_PASTE = 57637,
    CMD_SELECT_ALL = 57642,
    CMD_ACCEL_COPY = 32006,
    CMD_ACCEL_PASTE = 32007,
    CMD_ACCEL_CUT = 32008,
};

bool IsEditCommand(UINT id) {
    return (id >= 57632 && id <= 57647) || (id >= 32006 && id <= 32008) ||
           (id >= 33200 && id <= 33220);
}

int CharLength(const char* p, int at, int length) {
    return (MbIsLeadByte((unsigned char)p[at]) && at + 1 < length) ? 2 : 1;
}

}  // namespace

// ---- the caret ----

HWND TextObject::CaretWindow() {
    if (m_hookWindow)
        return m_hookWindow;
    IPlayerSite* site = ClassSite();
    return site ? site->GetViewWindow() : nullptr;
}

void TextObject::CreateCaretNow() {
    HWND window = CaretWindow();
    if (!window)
        return;
    EnsureFont();
    DestroyCaret();
    CreateCaret(window, nullptr, 2, m_lineHeight);
    PlaceCaret();
    ShowCaret(window);
}

void TextObject::PlaceCaret() {
    m_newCaret = false;
    HWND window = CaretWindow();
    if (!window || !m_caretShown)
        return;
    POINT pt = CaretPoint();
    if (IViewService* view = View())
        view->LPtoDPPoint(&pt);
    SetCaretPos(pt.x, pt.y);
}

void TextObject::DropCaret() {
    HWND window = CaretWindow();
    if (!window)
        return;
    HideCaret(window);
    DestroyCaret();
}

// ---- the window-message part ----

STDMETHODIMP TextObject::BeginHook(void* hookRecord) {
    const WndHookRecord* record = static_cast<const WndHookRecord*>(hookRecord);
    m_hookWindow = record ? record->hWnd : nullptr;
    m_editing = true;
    SetCursor(LoadCursor(nullptr, IDC_IBEAM));
    m_caretShown = true;
    m_halfChar = false;
    // The caret shows on straight text: the font is made again unturned.
    m_newFont = true;
    Layout();
    CreateCaretNow();
    Redraw();
    if (RunMode())
        FireNoArgs(TXTEVT_ENTEREDIT);
    return S_OK;
}

STDMETHODIMP TextObject::FocusLost() {
    if (!m_caretShown)
        return S_OK;
    DropCaret();
    m_caretShown = false;
    m_halfChar = false;
    m_anchor = m_caret;
    m_newFont = true;
    Layout();
    Redraw();
    m_editing = false;
    if (RunMode())
        FireNoArgs(TXTEVT_EXITEDIT);
    return S_OK;
}

STDMETHODIMP TextObject::EndHook() {
    m_editing = false;
    m_hookWindow = nullptr;
    return S_OK;
}

STDMETHODIMP TextObject::HandleMessage(HWND, HDC, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT* result) {
    TRACE_POINT();
    if (result)
        *result = 0;
    const POINT pt = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    RECT bounds;
    this->GetBoundsRect(&bounds);
    switch (message) {
        case WM_SETFOCUS:
            CreateCaretNow();
            return S_OK;
        case WM_KILLFOCUS:
            if (HWND window = CaretWindow())
                HideCaret(window);
            return S_OK;
        case WM_CONTEXTMENU:
            return S_OK;
        case WM_KEYDOWN:
            return OnKeyDown((UINT)wParam) ? S_OK : S_FALSE;
        case WM_CHAR:
            OnChar((unsigned char)wParam, std::max(1, (int)LOWORD(lParam)));
            return S_OK;
        case WM_COMMAND:
            if (!IsEditCommand(LOWORD(wParam)))
                return S_FALSE;
            OnCommand(LOWORD(wParam));
            return S_OK;
        case WM_MOUSEMOVE:
            if (!(wParam & MK_LBUTTON) || Phonetic() || !m_caretShown)
                return S_FALSE;
            m_caret = PositionAt(pt);
            PlaceCaret();
            Redraw();
            return S_OK;
        case WM_LBUTTONDOWN:
            return OnLButtonDown(pt);
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return PtInRect(&bounds, pt) ? S_OK : S_FALSE;
        default:
            return S_FALSE;
    }
}

HRESULT TextObject::OnLButtonDown(POINT pt) {
    RECT bounds;
    this->GetBoundsRect(&bounds);
    if (!PtInRect(&bounds, pt)) {
        // The click still reaches what lies under it.
        if (m_textFlags & TXTFLAG_CLICK_ENDS)
            ExitEdit();
        return S_FALSE;
    }
    const bool hadSelection = m_anchor != m_caret;
    m_anchor = m_caret = PositionAt(pt);
    m_halfChar = false;
    if (hadSelection)
        Redraw();
    PlaceCaret();
    return S_OK;
}

// ---- typed characters ----

bool TextObject::Accepts(unsigned char c) const {
    if (c == '\r')
        return (m_textFlags & TXTFLAG_MULTILINE) != 0;
    LONG type = TextType();
    if (type == TXTTYPE_TEXT)
        return true;
    const TextBytes& first = m_lines[0].text;
    const bool atStart = m_caret.line == 0 && m_caret.offset == 0;
    if (first.Length() > 0 && first.Data()[0] == '-' && (c == '-' || atStart))
        return false;
    if (c == '-')
        return atStart;
    if (type == TXTTYPE_DECIMAL && c == '.')
        return Text().find('.') == std::string::npos;
    return c >= '0' && c <= '9';
}

void TextObject::OnChar(unsigned char c, int repeat) {
    if (c == '\r' && RunMode() && (m_textFlags & TXTFLAG_ENTER_ENDS)) {
        ExitEdit();
        return;
    }
    // Backspace acts through its key; checked before the type so that a
    // number's field does not beep at every deletion.
    if (c == '\b' || c == '\n') {
        m_halfChar = false;
        return;
    }
    if (!m_halfChar && !Accepts(c)) {
        MessageBeep((UINT)-1);
        m_halfChar = false;
        return;
    }
    if (c == '\t') {
        DeleteSelection();
        for (int i = 0; i < 4 * repeat; ++i) InsertTyped(' ');
    } else if (c < 32 && c != '\r' && !m_halfChar) {
        MessageBeep((UINT)-1);
        m_halfChar = false;
        return;
    } else {
        DeleteSelection();
        for (int i = 0; i < repeat; ++i) InsertTyped(c);
    }
    ScrollToCaret();
    PlaceCaret();
    Redraw();
}

void TextObject::InsertTyped(unsigned char c) {
    if (c == '\r' && !m_halfChar) {
        SplitLine(m_caret);
        m_caret = {m_caret.line + 1, 0};
    } else {
        TextLineRecord& line = m_lines[m_caret.line];
        const char byte = (char)c;
        if (!line.text.Insert(m_caret.offset, &byte, 1))
            return;
        if (m_halfChar) {
            // The trail byte completes the character before it.
            const int lead = m_caret.offset - 1;
            const char* p = line.text.Data();
            if (lead >= 0 && IsPhoneticChar((unsigned char)p[lead], c)) {
                int k = EntryIndex(m_caret.line, lead);
                line.phonetic.Insert(
                    PhoneticEntryStart(line.phonetic.Data(), line.phonetic.Length(), k), "*", 1);
            }
            m_halfChar = false;
        } else if (MbIsLeadByte(c)) {
            m_halfChar = true;
        }
        ++m_caret.offset;
    }
    m_anchor = m_caret;
    m_modified = 1;
    m_newLayout = true;
    if (!m_halfChar)
        ContentChanged();
}

// ---- positions and keys ----

TextPos TextObject::PrevPos(TextPos pos) const {
    const TextBytes& t = m_lines[pos.line].text;
    int at = 0;
    for (int i = 0; i < pos.offset && i < t.Length();) {
        at = i;
        i += CharLength(t.Data(), i, t.Length());
    }
    return {pos.line, at};
}

TextPos TextObject::NextPos(TextPos pos) const {
    const TextBytes& t = m_lines[pos.line].text;
    return {pos.line,
            std::min(t.Length(), pos.offset + CharLength(t.Data(), pos.offset, t.Length()))};
}

TextPos TextObject::MovedPos(UINT key, bool ctrl) {
    const int last = (int)m_lines.size() - 1;
    const TextPos pos = m_caret;
    const int length = m_lines[pos.line].text.Length();
    if (key == VK_LEFT) {
        if (pos.offset > 0)
            return PrevPos(pos);
        return pos.line > 0 ? TextPos{pos.line - 1, m_lines[pos.line - 1].text.Length()} : pos;
    }
    if (key == VK_RIGHT) {
        if (pos.offset < length)
            return NextPos(pos);
        return pos.line < last ? TextPos{pos.line + 1, 0} : pos;
    }
    if (m_newFont || m_newLayout)
        Layout();
    if (key == VK_HOME || key == VK_END) {
        if (ctrl)
            return key == VK_HOME ? TextPos{0, 0} : TextPos{last, m_lines[last].text.Length()};
        int r = 0;
        RowOf(pos, &r);
        const TextRow& row = m_lines[pos.line].rows[r];
        return {pos.line, key == VK_HOME ? row.start : row.start + row.count};
    }
    // Up and down by a line, a page by the object's height, from the
    // middle of the caret's line.
    POINT c = CaretPoint();
    POINT at = {c.x, c.y - (Phonetic() ? m_lineHeight : 0) + Pitch() / 2};
    switch (key) {
        case VK_PRIOR:
            at.y -= this->GetHeight();
            break;
        case VK_NEXT:
            at.y += this->GetHeight();
            break;
        case VK_UP:
            at.y -= Pitch();
            break;
        default:
            at.y += Pitch();
            break;
    }
    return PositionAt(at);
}

bool TextObject::OnKeyDown(UINT key) {
    const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
    if (Phonetic() && shift && m_caretShown)
        return true;
    m_halfChar = false;
    switch (key) {
        case VK_BACK: {
            bool changed = false;
            if (m_anchor != m_caret)
                changed = DeleteSelection();
            else if (m_caret.offset > 0)
                changed = DeleteCharAt(PrevPos(m_caret));
            else if (m_caret.line > 0)
                changed = DeleteCharAt({m_caret.line - 1, m_lines[m_caret.line - 1].text.Length()});
            if (changed)
                AfterDelete();
            return true;
        }
        case VK_DELETE:
            if (m_anchor != m_caret ? DeleteSelection() : DeleteCharAt(m_caret))
                AfterDelete();
            return true;
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN: {
            const TextPos anchor = m_anchor, caret = m_caret;
            m_caret = MovedPos(key, ctrl);
            if (!shift)
                m_anchor = m_caret;
            if ((anchor != caret || m_anchor != m_caret) &&
                (anchor != m_anchor || caret != m_caret))
                Redraw();
            ScrollToCaret();
            PlaceCaret();
            return true;
        }
        default:
            return false;
    }
}

// ---- deleting ----

bool TextObject::DeleteCharAt(TextPos pos) {
    TextLineRecord& line = m_lines[pos.line];
    if (pos.offset >= line.text.Length()) {
        if (pos.line + 1 >= (int)m_lines.size())
            return false;
        JoinLines(pos.line, pos.line + 1);
    } else {
        RemoveBytes(pos.line, pos.offset,
                    pos.offset + CharLength(line.text.Data(), pos.offset, line.text.Length()));
    }
    m_anchor = m_caret = pos;
    PlaceCaret();
    return true;
}

bool TextObject::DeleteSelection() {
    if (m_anchor == m_caret)
        return false;
    const TextPos s = std::min(m_anchor, m_caret), e = std::max(m_anchor, m_caret);
    if (s.line == e.line) {
        RemoveBytes(s.line, s.offset, e.offset);
    } else {
        TextLineRecord& first = m_lines[s.line];
        const int cut = PhoneticEntryStart(first.phonetic.Data(), first.phonetic.Length(),
                                           EntryIndex(s.line, s.offset));
        first.phonetic.Remove(cut, first.phonetic.Length() - cut);
        first.text.Remove(s.offset, first.text.Length() - s.offset);
        const TextLineRecord& end = m_lines[e.line];
        const int from = PhoneticEntryStart(end.phonetic.Data(), end.phonetic.Length(),
                                            EntryIndex(e.line, e.offset));
        first.text.Append(end.text.Data() + e.offset, end.text.Length() - e.offset);
        first.phonetic.Append(end.phonetic.Data() + from, end.phonetic.Length() - from);
        m_lines.erase(m_lines.begin() + s.line + 1, m_lines.begin() + e.line + 1);
        m_newLayout = true;
    }
    m_anchor = m_caret = s;
    PlaceCaret();
    return true;
}

void TextObject::AfterDelete() {
    m_modified = 1;
    ContentChanged();
    ScrollToCaret();
    PlaceCaret();
    Redraw();
}

// ---- commands and the clipboard ----

std::string TextObject::SelectedText() const {
    const TextPos s = std::min(m_anchor, m_caret), e = std::max(m_anchor, m_caret);
    std::string out;
    for (int i = s.line; i <= e.line; ++i) {
        const TextBytes& t = m_lines[i].text;
        int from = i == s.line ? s.offset : 0, to = i == e.line ? e.offset : t.Length();
        if (i != s.line)
            out += "\r\n";
        if (to > from)
            out.append(t.Data() + from, (size_t)(to - from));
    }
    return out;
}

void TextObject::Copy() {
    if (m_anchor == m_caret)
        return;
    std::string text = SelectedText();
    if (Password())
        text.assign(text.size(), '*');
    if (!OpenClipboard(CaretWindow())) {
        LOG_WIN32_ERROR(0, "Cannot open Clipboard");
        return;
    }
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, text.size() + 1);
    char* bytes = block ? static_cast<char*>(GlobalLock(block)) : nullptr;
    if (!bytes) {
        LOG_WIN32_ERROR(0, "Out of memory: need %d", (int)text.size());
        if (block)
            GlobalFree(block);
        CloseClipboard();
        return;
    }
    memcpy(bytes, text.data(), text.size());
    GlobalUnlock(block);
    if (!SetClipboardData(CF_TEXT, block)) {
        LOG_WIN32_ERROR(0, "SetClipboardData failed");
        GlobalFree(block);
    }
    CloseClipboard();
}

void TextObject::Paste() {
    if (!OpenClipboard(CaretWindow())) {
        LOG_WIN32_ERROR(0, "Cannot open Clipboard");
        return;
    }
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* bytes = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (bytes) {
        // Read within the block: a text without its NUL ends there.
        std::string text(bytes, strnlen(bytes, GlobalSize(data)));
        GlobalUnlock(data);
        DeleteSelection();
        m_caret = m_anchor = InsertText(m_caret, text.data(), (int)text.size(), true);
        m_modified = 1;
        ContentChanged();
        PlaceCaret();
        Redraw();
    }
    CloseClipboard();
}

void TextObject::OnCommand(UINT id) {
    switch (id) {
        case CMD_COPY:
        case CMD_ACCEL_COPY:
            Copy();
            break;
        case CMD_PASTE:
        case CMD_ACCEL_PASTE:
            Paste();
            break;
        case CMD_CUT:
        case CMD_ACCEL_CUT:
            if (m_anchor != m_caret) {
                Copy();
                OnKeyDown(VK_DELETE);
            }
            break;
        case CMD_DELETE:
            OnKeyDown(VK_DELETE);
            break;
        case CMD_SELECT_ALL: {
            const int last = (int)m_lines.size() - 1;
            m_anchor = {0, 0};
            m_caret = {last, m_lines[last].text.Length()};
            if (last > 0 || m_lines[0].text.Length() > 0)
                Redraw();
            PlaceCaret();
            break;
        }
        default:
            break;
    }
    ScrollToCaret();
}
