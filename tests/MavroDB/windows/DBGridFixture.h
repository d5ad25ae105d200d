// A window that owns a grid and records what the grid tells it, with the
// user's clicks and keys sent as messages, and the grid's pixels read back.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aDBGrid.h"

namespace gridtest {

// A notification as (code, four numbers): the cell, then the new cell of a
// move, the key of a key-down or the answer preset of an edit query.
struct Note {
    UINT code;
    int a, b, c, d;
    Note(UINT code_, int a_, int b_, int c_ = 0, int d_ = 0)
        : code(code_), a(a_), b(b_), c(c_), d(d_) {}
    bool operator==(const Note& o) const {
        return code == o.code && a == o.a && b == o.b && c == o.c && d == o.d;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Note& n) {
    return os << std::hex << "0x" << n.code << std::dec << "(" << n.a << "," << n.b << "," << n.c
              << "," << n.d << ")";
}

struct Image {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;  // top-down
    DWORD At(int x, int y) const { return pixels[(size_t)y * width + x] & 0xFFFFFF; }
};

// The client area drawn into a 32-bit DIB by draw(dc).
template <class F>
Image Capture(HWND window, F draw) {
    RECT rc;
    GetClientRect(window, &rc);
    Image image;
    image.width = rc.right;
    image.height = rc.bottom;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = rc.right;
    bi.bmiHeader.biHeight = -rc.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        DeleteDC(mem);
        ADD_FAILURE() << "no DIB";
        return image;
    }
    HGDIOBJ old = SelectObject(mem, bmp);
    memset(bits, 0x5A, (size_t)rc.right * rc.bottom * 4);
    draw(mem);
    GdiFlush();
    const DWORD* p = static_cast<const DWORD*>(bits);
    image.pixels.assign(p, p + (size_t)rc.right * rc.bottom);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    return image;
}

inline Image Print(HWND grid) {
    return Capture(grid,
                   [&](HDC dc) { SendMessageA(grid, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT); });
}

// What WM_PAINT left on the screen.
inline Image Painted(HWND grid) {
    RedrawWindow(grid, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    return Capture(grid, [&](HDC dc) {
        HDC screen = GetDC(grid);
        RECT rc;
        GetClientRect(grid, &rc);
        BitBlt(dc, 0, 0, rc.right, rc.bottom, screen, 0, 0, SRCCOPY);
        ReleaseDC(grid, screen);
    });
}

struct GridHost {
    HWND host = nullptr;
    HWND grid = nullptr;
    std::vector<Note> notes;
    std::vector<GridVirtualRequest> requests;
    // The owner's answers.
    bool refuseEdit = false;
    bool cancelLeave = false;
    GridCellRef redirectLeave = {0, 0};
    bool handleKeys = false;
    bool handleActivate = false;
    bool fillRows = false;
    int fillLimit = -1;  // rows filled per request, -1 all
    int cellsFilled = 0;

    GridHost(int cols, int rows, int width = 500, int height = 300) {
        CDBGrid::Register();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "DBGridTestHost";
        RegisterClassA(&wc);
        host = CreateWindowExA(0, "DBGridTestHost", "grid", WS_POPUP | WS_VISIBLE, 0, 0, width,
                               height, nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(host, GWLP_USERDATA, (LONG_PTR)this);
        grid = CreateWindowExA(0, DBGRID_CLASS, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, width,
                               height, host, (HMENU)100, GetModuleHandleA(nullptr), nullptr);
        EXPECT_TRUE(grid != nullptr);
        SendMessageA(grid, GM_SETMAXCOLS, cols, 0);
        SendMessageA(grid, GM_SETMAXROWS, rows, 0);
        SetForegroundWindow(host);
        SetFocus(grid);
    }
    ~GridHost() { DestroyWindow(host); }

    static LRESULT CALLBACK HostProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        GridHost* self = (GridHost*)GetWindowLongPtrA(w, GWLP_USERDATA);
        if (self && msg >= GN_CELLACTIVATED && msg <= GN_VIRTUALROWS && wp == 100)
            return self->OnNote(msg, lp);
        return DefWindowProcA(w, msg, wp, lp);
    }

    LRESULT OnNote(UINT msg, LPARAM lp) {
        switch (msg) {
            case GN_CELLACTIVATED:
            case GN_CELLCHANGED: {
                auto* r = (GridCellRef*)lp;
                notes.emplace_back(msg, r->col, r->row);
                return msg == GN_CELLACTIVATED && handleActivate;
            }
            case GN_LEAVECELL: {
                auto* l = (GridLeaveCell*)lp;
                notes.emplace_back(msg, l->col, l->row, l->newCol, l->newRow);
                l->cancel = cancelLeave;
                if (redirectLeave.col > 0)
                    SendMessageA(grid, GM_SETACTIVECELL, redirectLeave.col, redirectLeave.row);
                return 0;
            }
            case GN_EDITQUERY: {
                auto* q = (GridEditQuery*)lp;
                notes.emplace_back(msg, q->col, q->row, q->allow ? 1 : 0);
                if (refuseEdit)
                    q->allow = FALSE;
                return 0;
            }
            case GN_KEYDOWN: {
                auto* k = (GridKeyDown*)lp;
                notes.emplace_back(msg, k->col, k->row, k->key);
                return handleKeys;
            }
            case GN_VIRTUALROWS: {
                auto* v = (GridVirtualRequest*)lp;
                requests.push_back(*v);
                if (!fillRows)
                    return 0;
                int n = fillLimit < 0 ? v->rowsNeeded : std::min(fillLimit, v->rowsNeeded);
                for (int r = v->row; r < v->row + n; ++r)
                    for (int c = 1; c <= (int)SendMessageA(grid, GM_GETMAXCOLS, 0, 0); ++c) {
                        SetText(c, r, "row " + std::to_string(r) + " col " + std::to_string(c));
                        ++cellsFilled;
                    }
                v->rowsLoaded = n;
                return 0;
            }
        }
        return 0;
    }

    bool SetText(int col, int row, const std::string& text) {
        GridText t = {col, row, text.c_str(), nullptr, 0};
        return SendMessageA(grid, GM_SETTEXT, 0, (LPARAM)&t) != 0;
    }
    std::string Text(int col, int row) {
        GridText t = {col, row, nullptr, nullptr, 0};
        int n = (int)SendMessageA(grid, GM_GETTEXT, 0, (LPARAM)&t);
        std::string out(n + 1, '\0');
        t.buffer = &out[0];
        t.size = n + 1;
        SendMessageA(grid, GM_GETTEXT, 0, (LPARAM)&t);
        out.resize(n);
        return out;
    }
    int Type(int col, int row) {
        GridCellRef ref = {col, row};
        GridCellType type;
        return (int)SendMessageA(grid, GM_GETTYPE, (WPARAM)&ref, (LPARAM)&type);
    }
    GridCellRef Active() {
        GridCellRef ref = {0, 0};
        SendMessageA(grid, GM_GETACTIVECELL, 0, (LPARAM)&ref);
        return ref;
    }
    int Count(UINT code) const {
        int n = 0;
        for (const Note& note : notes) n += note.code == code;
        return n;
    }
    Note Find(UINT code) const {
        for (const Note& note : notes)
            if (note.code == code)
                return note;
        return Note(0, 0, 0);
    }

    // Input: keys and characters go where the focus would be (the in-place
    // edit while there is one), clicks to the grid at a cell's point.
    HWND Target() {
        HWND edit = (HWND)SendMessageA(grid, GM_GETEDITWINDOW, 0, 0);
        return edit ? edit : grid;
    }
    void Key(int vk) { SendMessageA(Target(), WM_KEYDOWN, vk, 0); }
    void Type(const std::string& text) {
        for (char c : text) SendMessageA(Target(), WM_CHAR, (unsigned char)c, 0);
    }
    LPARAM CellPoint(int col, int row, int dx = -1) {
        GridCellRect cr = {col, row, {}};
        EXPECT_TRUE(SendMessageA(grid, GM_GETCELLRECT, 0, (LPARAM)&cr)) << col << "," << row;
        int x = dx < 0 ? (cr.rect.left + cr.rect.right) / 2 : cr.rect.left + dx;
        return MAKELPARAM(x, (cr.rect.top + cr.rect.bottom) / 2);
    }
    void ClickAt(int col, int row, int dx) {
        LPARAM p = CellPoint(col, row, dx);
        SendMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, p);
        SendMessageA(grid, WM_LBUTTONUP, 0, p);
    }
    void Click(int col, int row) { ClickAt(col, row, -1); }
    void ShiftClick(int col, int row) {
        BYTE keys[256];
        GetKeyboardState(keys);
        BYTE old = keys[VK_SHIFT];
        keys[VK_SHIFT] = 0x80;
        SetKeyboardState(keys);
        Click(col, row);
        keys[VK_SHIFT] = old;
        SetKeyboardState(keys);
    }
    void DoubleClick(int col, int row) {
        LPARAM p = CellPoint(col, row);
        SendMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, p);
        SendMessageA(grid, WM_LBUTTONUP, 0, p);
        SendMessageA(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, p);
        SendMessageA(grid, WM_LBUTTONUP, 0, p);
    }
};

}  // namespace gridtest
