// Page controls: an unbound 50 x 10 grid redrawn into 1024 x 768, against
// FillRect, TextOutA and line drawing of the same visible cells (goal within
// 2 x); a grid bound to 10,000 records scrolled by ObjTopRow in steps of 48,
// against one prepared SQLite statement reading the same fields as text
// (goal within 4 x); the paints of a menu and a scroll bar reported against
// a plain fill of their area.
#include "BenchClock.h"
#include "BenchFiles.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "MvbWriter.h"
#include "ObjectDoubles.h"
#include "ServiceFakes.h"
#include "aCreator.h"
#include "aExtMgr.h"
#include "aGDIBuf.h"
#include "aGrdObj.h"
#include "aMavroBase.h"
#include "aMnuObj.h"
#include "aScrObj.h"
#include "sqlite3.h"

namespace {

const int kRecords = 10000;

// What objects need to be made: a creator, the sites and a record.
struct Sites {
    Sites() : objectSite(&site) {
        creator.Init(&registry, nullptr);
        creator.SetEventProcFactory(&procs);
        site.creator = &creator;
        memset(&record, 0, sizeof(record));
        record.nSchedule[1] = 100;
        record.nSchedule[2] = -1;
        record.nSchedule[3] = 100;
        creation = {&record, &objectSite};
    }
    // A new object of a kind, initialised; its IObjectBase (counted).
    template <class Make>
    IObjectBase* New(Make make, DWORD typeId, const char* name) {
        IUnknown* unknown = nullptr;
        if (FAILED(make(&unknown)) || !unknown)
            return nullptr;
        IObjectBase* base = nullptr;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        unknown->Release();
        record.dwTypeId = typeId;
        strcpy(record.szName, name);
        if (!base || FAILED(base->Init(&creation)))
            return nullptr;
        return base;
    }
    CExtensionManager registry;
    ObjectCreator creator;
    TestEventProcFactory procs;
    ServiceTestSite site;
    TestObjectSite objectSite;
    ObjectRecord record;
    ObjectCreationRecord creation;
};

void RedrawRun(Sites& sites) {
    IObjectBase* base = sites.New(CreateGridObject, 0x00020000, "Grid");
    if (!base) {
        printf("grid not made\n");
        return;
    }
    GridObject* g = static_cast<GridObject*>(base);
    g->SetWidth(1024);
    g->SetHeight(768);
    g->MoveTo(512, 384);
    g->put_ObjRows(50);
    g->put_ObjColumns(10);
    for (int r = 0; r <= 50; ++r)
        for (int c = 0; c <= 10; ++c) {
            wchar_t text[32];
            wsprintfW(text, L"R%dC%d", r, c);
            BSTR b = SysAllocString(text);
            g->put_ObjCellContent(r, c, b);
            SysFreeString(b);
        }
    IPixelBuffer* target = CreateGDIBuffer(1024 + 8, 768 + 8);
    RECT bounds;
    g->GetBoundsRect(&bounds);
    double grid = BestOf([&] { g->DrawContent(target, &bounds); }, 20);

    // The same visible cells drawn plainly: the backgrounds, the texts and
    // the lines, with one font made once.
    RECT layout = g->LayoutRect();
    std::vector<RECT> cells;
    std::vector<std::string> texts;
    for (LONG r = 0; r <= 50; ++r)
        for (LONG c = 0; c <= 10; ++c) {
            RECT cell = g->CellRect(r, c);
            if (IsRectEmpty(&cell) || cell.top >= layout.bottom)
                continue;
            cells.push_back(cell);
            texts.push_back(g->CellAt(r, c)->text);
        }
    HFONT font =
        CreateFontA(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HBRUSH brush = CreateSolidBrush(0xFFFFFF);
    HDC dc = nullptr;
    target->GetDC(&dc);
    SetBkMode(dc, TRANSPARENT);
    double plain = BestOf(
        [&] {
            FillRect(dc, &layout, brush);
            HGDIOBJ old = SelectObject(dc, font);
            for (size_t i = 0; i < cells.size(); ++i)
                TextOutA(dc, cells[i].left + 1, cells[i].top + 1, texts[i].data(),
                         (int)texts[i].size());
            SelectObject(dc, old);
            for (size_t i = 0; i < cells.size(); ++i) {
                MoveToEx(dc, cells[i].left, cells[i].top, nullptr);
                LineTo(dc, cells[i].right, cells[i].top);
                MoveToEx(dc, cells[i].left, cells[i].top, nullptr);
                LineTo(dc, cells[i].left, cells[i].bottom);
            }
            GdiFlush();
        },
        20);
    target->ReleaseDC(dc);
    printf(
        "unbound 50 x 10 grid redrawn into 1024 x 768 (%zu visible cells), against FillRect, "
        "TextOutA and lines of the same cells: grid %.3f ms, plain %.3f ms: now %.2f x, goal 2 x\n",
        cells.size(), grid * 1000, plain * 1000, grid / plain);
    DeleteObject(font);
    DeleteObject(brush);
    target->Release();
    base->Release();
}

void BoundRun(Sites& sites) {
    const std::string path = TempPath("bench_controls.mvb");
    {
        MvbWriter w(path);
        w.Exec("CREATE TABLE Items(ID LONG PRIMARY KEY, Name TEXT(20), Score DOUBLE)");
        w.Exec("BEGIN");
        for (int i = 1; i <= kRecords; ++i)
            w.Exec("INSERT INTO Items VALUES(" + std::to_string(i) + ", 'Name " +
                   std::to_string(i) + "', " + std::to_string(i * 0.5) + ")");
        w.Exec("COMMIT");
    }
    CComPtr<IDBCore> core;
    CreateMavroBase(__uuidof(IDBCore), (void**)&core);
    if (!core || FAILED(core->InitDataBase(path.c_str(), "", "", 0, nullptr, nullptr))) {
        printf("database not opened\n");
        return;
    }
    sites.site.database = core;
    IObjectBase* base = sites.New(CreateGridObject, 0x00020000, "Grid");
    GridObject* g = static_cast<GridObject*>(base);
    g->SetWidth(1024);
    g->SetHeight(768);
    g->MoveTo(512, 384);
    BSTR source = SysAllocString(L"Items");
    if (FAILED(g->SetDataSource(source))) {
        printf("grid not bound\n");
        SysFreeString(source);
        return;
    }
    SysFreeString(source);
    size_t check = 0;
    double grid = FastestRun(
        [&] {
            for (LONG top = 1; top <= kRecords; top += 48) {
                g->put_ObjTopRow(top);
                check += g->CellAt(top, 2)->text.size();
            }
            g->put_ObjTopRow(1);
        },
        3);
    double plain = FastestRun(
        [&] {
            sqlite3* db = nullptr;
            sqlite3_open(Utf8OfAnsi(path).c_str(), &db);
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db, "SELECT ID, Name, Score FROM Items", -1, &s, nullptr);
            while (sqlite3_step(s) == SQLITE_ROW)
                for (int f = 0; f < 3; ++f) {
                    const unsigned char* t = sqlite3_column_text(s, f);
                    check += t ? strlen(reinterpret_cast<const char*>(t)) : 0;
                }
            sqlite3_finalize(s);
            sqlite3_close(db);
        },
        3);
    printf(
        "bound grid scrolled by ObjTopRow through %d records in steps of 48, against one "
        "prepared statement reading the same fields as text: grid %.2f ms, SQLite %.2f ms: now "
        "%.2f x, goal 4 x (%zu)\n",
        kRecords, grid * 1000, plain * 1000, grid / plain, check % 10);
    base->Release();
    sites.site.database = nullptr;
    core->CloseAllRecordsets();
    core.Release();
    DeleteFileA(path.c_str());
}

// A paint of an object against a plain fill of the same area.
void PaintRun(Sites& sites, const char* what, IObjectBase* base, RECT area) {
    II_IRender* render = nullptr;
    base->QueryInterface(__uuidof(II_IRender), reinterpret_cast<void**>(&render));
    IPixelBuffer* target = CreateGDIBuffer(800, 600);
    double paint = BestOf([&] { render->InvalidateBounds(target); }, 50);
    double fill = BestOf([&] { target->FillRect(&area, 0xC0C0C0); }, 50);
    printf("%s paint %.4f ms, plain fill of its area %.4f ms: %.2f x\n", what, paint * 1000,
           fill * 1000, paint / fill);
    target->Release();
    render->Release();
    (void)sites;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    Sites sites;
    RedrawRun(sites);
    BoundRun(sites);
    if (IObjectBase* menu = sites.New(CreateMenuObject, 0x04010001, "Menu")) {
        MenuObject* m = static_cast<MenuObject*>(menu);
        m->SetWidth(520);
        m->SetHeight(30);
        m->MoveTo(300, 100);
        m->put_ObjItemEnable(1, 1);
        PaintRun(sites, "menu of four items", menu, m->MenuArea());
        menu->Release();
    }
    if (IObjectBase* bar = sites.New(CreateScrollBarObject, 0x02010002, "Bar")) {
        ScrollBarObject* b = static_cast<ScrollBarObject*>(bar);
        b->SetWidth(18);
        b->SetHeight(400);
        b->MoveTo(300, 300);
        b->put_ObjValue(40);
        RECT area;
        b->GetBoundsRect(&area);
        PaintRun(sites, "vertical scroll bar", bar, area);
        bar->Release();
    }
    CoUninitialize();
    return 0;
}
