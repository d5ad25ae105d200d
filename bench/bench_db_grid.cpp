// The database browser on a 100,000-row table of 20 fields, sized to
// 1920 x 1080, its rows read through the core as its grid asks for them:
// painting the grid (WM_PRINTCLIENT into a DIB) against ExtTextOutA of the
// same texts at the same places; then the jump to the last row, with the
// values the browser read for it.
#include <windows.h>

#include <commctrl.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "BenchFiles.h"
#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "aDBrowser.h"
#include "aMavroBase.h"

namespace {

const int kRows = 100000;
const int kFields = 20;

// The browser window's own procedure; the bench's one before it counts the
// values each block of rows cost (one read per field of a record's row) and
// lets the window be as large as asked.
WNDPROC g_browserProc = nullptr;
long long g_valuesRead = 0;

LRESULT CALLBACK CountingProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = CallWindowProcA(g_browserProc, w, msg, wp, lp);
    if (msg == WM_GETMINMAXINFO && lp) {
        // Larger than the virtual screen the bench runs on.
        MINMAXINFO* info = (MINMAXINFO*)lp;
        info->ptMaxTrackSize.x = std::max<LONG>(info->ptMaxTrackSize.x, 4096);
        info->ptMaxTrackSize.y = std::max<LONG>(info->ptMaxTrackSize.y, 4096);
    }
    if (msg == GN_VIRTUALROWS && lp) {
        const GridVirtualRequest* req = (const GridVirtualRequest*)lp;
        int last = std::min(req->row + req->rowsLoaded - 1, kRows);
        if (last >= req->row)
            g_valuesRead += (long long)(last - req->row + 1) * kFields;
    }
    return result;
}

}  // namespace

int main() {
    SetDBModule(GetModuleHandleA(nullptr));
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
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

    auto* browser = new DatabaseBrowserDialog(core);
    browser->m_name = "Big";
    HWND w = browser->Create(nullptr);
    if (!w) {
        delete browser;
        printf("no browser\n");
        return 1;
    }
    core->FindTableByName("Big")->browser = w;
    g_browserProc = (WNDPROC)SetWindowLongPtrA(w, GWLP_WNDPROC, (LONG_PTR)CountingProc);
    const int width = 1920, height = 1080;
    SetWindowPos(w, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    HWND grid = BrowserGrid(w);
    HFONT font = (HFONT)SendMessageA(grid, WM_GETFONT, 0, 0);
    const int rows = (int)SendMessageA(grid, GM_GETMAXROWS, 0, 0);

    RECT client;
    GetClientRect(grid, &client);
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

    // What is shown, once painted: the cells inside the client.
    SendMessageA(grid, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
    struct Shown {
        RECT rect;
        std::string text;
    };
    std::vector<Shown> shown;
    int rowsShown = 0, colsShown = 0;
    for (int r = 1; r <= rows; ++r) {
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
    printf(
        "browser grid of %ld x %ld pixels; ExtTextOutA of the %zu texts shown (%d rows x %d "
        "columns): %.5f s\n",
        client.right, client.bottom, shown.size(), rowsShown, colsShown, texts);
    printf("grid painted through WM_PRINTCLIENT: %.5f s  ratio %.2f (goal 3)\n", painted,
           painted / texts);

    // The jump, and the rows it shows painted: what the browser read for it.
    g_valuesRead = 0;
    double t0 = Now();
    SendMessageA(grid, GM_SETTOPROW, rows, 0);
    double jump = Now() - t0;
    SendMessageA(grid, WM_PRINTCLIENT, (WPARAM)dc, PRF_CLIENT);
    int top = (int)SendMessageA(grid, GM_GETTOPROW, 0, 0);
    long long limit = 2 * (long long)shown.size();
    printf("jump to the last row: %.5f s, %lld values read showing rows %d-%d (limit %lld) %s\n",
           jump, g_valuesRead, top, rows, limit, g_valuesRead <= limit ? "ok" : "OVER");

    DeleteDC(dc);
    DeleteObject(bmp);
    DestroyWindow(w);
    db->Release();
    DestroyWindow(notices);
    DeleteFileA(path.c_str());
    return 0;
}
