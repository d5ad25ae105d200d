// The manager's grid over a 100,000-row table of 20 fields, its rows read
// through the core as the grid asks for them: painting a 1920 x 1080 grid
// (WM_PRINTCLIENT into a DIB) against ExtTextOutA of the same texts at the
// same places; then the jump to the last row, with the values it read.
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "BenchClock.h"
#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "aMavroBase.h"

namespace {

const int kRows = 100000;
const int kFields = 20;

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}

struct Owner {
    CDBCore* core = nullptr;
    HWND grid = nullptr;
    long long valuesRead = 0;
    int types[kFields + 1] = {};
};

Owner g_owner;

// Reads the block of rows asked for through the core, as a browser does.
LRESULT CALLBACK OwnerProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != GN_VIRTUALROWS)
        return DefWindowProcA(w, msg, wp, lp);
    GridVirtualRequest* req = (GridVirtualRequest*)lp;
    for (int r = req->row; r < req->row + req->rowsNeeded; ++r) {
        for (int f = 1; f <= kFields; ++f) {
            DataSourceDescriptor d = {};
            lstrcpyA(d.sourceName, "Big");
            snprintf(d.fieldName, sizeof(d.fieldName), "F%02d", f);
            d.position = r - 1;
            VARIANT v;
            VariantInit(&v);
            if (g_owner.core->GetFieldValue(&d, &v) == 1) {
                std::string text;
                CDBCore::VariantToText(&v, &text, g_owner.types[f]);
                dbgrid::SetText(g_owner.grid, f, r, text);
                ++g_owner.valuesRead;
            }
            VariantClear(&v);
        }
    }
    req->rowsLoaded = req->rowsNeeded;
    return 0;
}

}  // namespace

int main() {
    SetDBModule(GetModuleHandleA(nullptr));
    std::string path = TempPath("bench_db_grid.mvb");
    DeleteFileA(path.c_str());
    HWND notices =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    IDBCore* db = nullptr;
    CreateMavroBase(__uuidof(IDBCore), (void**)&db);
    db->InitDataBase(path.c_str(), "", "", DB_INIT_CREATE, nullptr, notices);
    CDBCore* core = GetDBCore();
    std::string create = "CREATE TABLE Big(", select;
    for (int f = 1; f <= kFields; ++f) {
        char field[64];
        snprintf(field, sizeof(field), "%sF%02d %s", f > 1 ? ", " : "", f,
                 f % 2 ? "INTEGER" : "TEXT");
        create += field;
        snprintf(field, sizeof(field), "%s%s", f > 1 ? ", " : "",
                 f % 2 ? "i * 7 + 1" : "'text ' || i");
        select += field;
    }
    char count[32];
    snprintf(count, sizeof(count), "%d", kRows);
    core->GetDatabase()->Connection()->Exec(
        "BEGIN;" + create + ");INSERT INTO Big WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT " +
        "i + 1 FROM n WHERE i < " + count + ") SELECT " + select + " FROM n;COMMIT;");
    db->Release();
    db = nullptr;
    CreateMavroBase(__uuidof(IDBCore), (void**)&db);
    db->InitDataBase(path.c_str(), "", "", 0, nullptr, notices);
    core = GetDBCore();
    g_owner.core = core;
    for (int f = 1; f <= kFields; ++f) {
        DataSourceDescriptor d = {};
        lstrcpyA(d.sourceName, "Big");
        snprintf(d.fieldName, sizeof(d.fieldName), "F%02d", f);
        core->GetFieldType(&d, &g_owner.types[f]);
    }

    CDBGrid::Register();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BenchGridOwner";
    RegisterClassA(&wc);
    const int width = 1920, height = 1080;
    HWND owner = CreateWindowExA(0, "BenchGridOwner", "", WS_POPUP, 0, 0, width, height, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    HWND grid = CreateWindowExA(0, DBGRID_CLASS, "", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                                owner, (HMENU)1, wc.hInstance, nullptr);
    g_owner.grid = grid;
    HFONT font = CreateFontA(-17, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    SendMessageA(grid, WM_SETFONT, (WPARAM)font, 0);
    SendMessageA(grid, GM_SETREDRAW, 0, 0);
    SendMessageA(grid, GM_SETVIRTUAL, 1, 0);
    SendMessageA(grid, GM_SETMAXCOLS, kFields, 0);
    // Twenty columns across the width.
    HDC screen = GetDC(nullptr);
    HGDIOBJ oldScreenFont = SelectObject(screen, font);
    TEXTMETRICA tm;
    GetTextMetricsA(screen, &tm);
    SelectObject(screen, oldScreenFont);
    ReleaseDC(nullptr, screen);
    int chars = ((width - 5 * tm.tmAveCharWidth - 6) / kFields - 6) / tm.tmAveCharWidth;
    for (int f = 1; f <= kFields; ++f) SendMessageA(grid, GM_SETCOLWIDTH, f, chars);
    SendMessageA(grid, GM_SETMAXROWS, kRows, 0);
    SendMessageA(grid, GM_SETREDRAW, 1, 0);

    // What is shown: the cells of the rows and columns inside the client.
    RECT client;
    GetClientRect(grid, &client);
    struct Shown {
        RECT rect;
        std::string text;
    };
    std::vector<Shown> shown;
    int rowsShown = 0, colsShown = 0;
    for (int r = 1; r <= kRows; ++r) {
        GridCellRect cr = {1, r, {}};
        if (!SendMessageA(grid, GM_GETCELLRECT, 0, (LPARAM)&cr) || cr.rect.bottom > client.bottom)
            break;
        ++rowsShown;
        colsShown = 0;
        for (int f = 1; f <= kFields; ++f) {
            GridCellRect c = {f, r, {}};
            if (!SendMessageA(grid, GM_GETCELLRECT, 0, (LPARAM)&c) || c.rect.right > client.right)
                break;
            ++colsShown;
            shown.push_back({c.rect, dbgrid::Text(grid, f, r)});
        }
    }

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = client.right;
    bi.bmiHeader.biHeight = -client.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(dc, bmp);

    double painted = BestOf(
        [&] {
            SendMessageA(grid, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
            GdiFlush();
        },
        5);
    double texts = BestOf(
        [&] {
            HGDIOBJ old = SelectObject(dc, font);
            for (const Shown& s : shown)
                ExtTextOutA(dc, s.rect.left + 3, s.rect.top + 2, ETO_OPAQUE | ETO_CLIPPED, &s.rect,
                            s.text.c_str(), (UINT)s.text.size(), nullptr);
            SelectObject(dc, old);
            GdiFlush();
        },
        5);
    printf("ExtTextOutA of the %zu texts shown (%d rows x %d columns): %.5f s\n", shown.size(),
           rowsShown, colsShown, texts);
    printf("grid painted through WM_PRINTCLIENT: %.5f s  ratio %.2f (goal 3)\n", painted,
           painted / texts);

    g_owner.valuesRead = 0;
    double t0 = Now();
    SendMessageA(grid, GM_SETTOPROW, kRows, 0);
    double jump = Now() - t0;
    int top = (int)SendMessageA(grid, GM_GETTOPROW, 0, 0);
    long long cells = (long long)(kRows - top + 1) * kFields;
    printf(
        "jump to the last row: %.5f s, %lld values read for %lld cells of rows %d-%d (limit %lld)"
        " %s\n",
        jump, g_owner.valuesRead, cells, top, kRows, 2 * (long long)shown.size(),
        g_owner.valuesRead <= 2 * (long long)shown.size() ? "ok" : "OVER");

    DeleteDC(dc);
    DeleteObject(bmp);
    DestroyWindow(owner);
    DeleteObject(font);
    db->Release();
    DestroyWindow(notices);
    DeleteFileA(path.c_str());
    return 0;
}
