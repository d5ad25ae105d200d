#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aGDIBuf.h"
#include "aGrdObj.h"
#include "aScrObj.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bdrawtxt.h"

namespace {

// An owned BSTR for the calls that take or give one.
struct Bstr {
    Bstr() : b(nullptr) {}
    explicit Bstr(const wchar_t* text) : b(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b; }
    BSTR* operator&() { return &b; }
    BSTR b;
};

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = ReadBufferInfo(buffer);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

template <class Save>
std::vector<uint8_t> Saved(Save save) {
    CComPtr<ITeskStream> s = NewMemStream();
    save(s.p);
    std::vector<uint8_t> bytes((size_t)s->GetPosition());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    s->Read(bytes.data(), (ULONG)bytes.size());
    return bytes;
}

class GridTest : public ObjectFixture {
protected:
    // A grid with its bounds' top-left at (100, 50).
    GridObject* Make(LONG w = 400, LONG h = 300) {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateGridObject(&unknown), S_OK);
        objects.push_back(unknown);
        record.dwTypeId = 0x00020000;
        strcpy(record.szName, "Grid1");
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        GridObject* g = static_cast<GridObject*>(static_cast<IObjectBase*>(base.p));
        g->SetWidth(w);
        g->SetHeight(h);
        g->MoveTo(100 + w / 2, 50 + h / 2);
        return g;
    }
    static std::wstring Cell(GridObject* g, int row, int col) {
        Bstr text;
        if (g->get_ObjCellContent(row, col, &text) != S_OK)
            return L"<none>";
        return std::wstring(text);
    }
    static void SetCell(GridObject* g, int row, int col, const wchar_t* text) {
        Bstr t(text);
        EXPECT_EQ(g->put_ObjCellContent(row, col, t), S_OK);
    }
    static LONG Value(HRESULT (GridObject::*get)(LONG*), GridObject* g) {
        LONG v = -99;
        (g->*get)(&v);
        return v;
    }
};

TEST_F(GridTest, SizesAndCountsAreRefusedOutsideTheirLimits) {
    GridObject* g = Make();
    const struct {
        HRESULT (GridObject::*put)(LONG);
        HRESULT (GridObject::*get)(LONG*);
        LONG value, expected;
        HRESULT hr;
    } cases[] = {
        {&GridObject::put_ObjRows, &GridObject::get_ObjRows, 1001, 4, S_FALSE},
        {&GridObject::put_ObjRows, &GridObject::get_ObjRows, 0, 4, S_FALSE},
        {&GridObject::put_ObjRows, &GridObject::get_ObjRows, 1000, 1000, S_OK},
        {&GridObject::put_ObjColumns, &GridObject::get_ObjColumns, 65, 4, S_FALSE},
        {&GridObject::put_ObjColumns, &GridObject::get_ObjColumns, 64, 64, S_OK},
        {&GridObject::put_ObjCellWidth, &GridObject::get_ObjCellWidth, 2, 4, S_OK},
        {&GridObject::put_ObjCellHeight, &GridObject::get_ObjCellHeight, -7, 4, S_OK},
        {&GridObject::put_ObjRowHeadWidth, &GridObject::get_ObjRowHeadWidth, 70, 70, S_OK},
        {&GridObject::put_ObjColumnHeadHeight, &GridObject::get_ObjColumnHeadHeight, 3, 4, S_OK},
        {&GridObject::put_ObjActiveColumn, &GridObject::get_ObjActiveColumn, 65, 1, E_INVALIDARG},
        {&GridObject::put_ObjActiveRow, &GridObject::get_ObjActiveRow, -1, 1, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        EXPECT_EQ((g->*c.put)(c.value), c.hr) << c.value;
        EXPECT_EQ(Value(c.get, g), c.expected) << c.value;
    }
    // Growing keeps the texts; new cells are empty.
    g->put_ObjRows(4);
    g->put_ObjColumns(4);
    SetCell(g, 2, 3, L"kept");
    g->put_ObjRows(6);
    g->put_ObjColumns(8);
    EXPECT_EQ(Cell(g, 2, 3), L"kept");
    EXPECT_EQ(Cell(g, 6, 8), L"");
    Bstr out;
    EXPECT_EQ(g->get_ObjCellContent(7, 1, &out), E_INVALIDARG);
    EXPECT_EQ(g->get_ObjCellContent(1, 9, &out), E_INVALIDARG);
}

TEST_F(GridTest, CellIndexesSkipHiddenHeads) {
    GridObject* g = Make();
    SetCell(g, 0, 1, L"head 1");
    SetCell(g, 1, 0, L"row 1");
    SetCell(g, 1, 1, L"cell 1 1");
    g->put_ObjShowRowHead(0);
    EXPECT_EQ(Cell(g, 0, 0), L"head 1");  // column 1 of the head row
    EXPECT_EQ(Cell(g, 1, 0), L"cell 1 1");
    g->put_ObjShowColumnHead(0);
    EXPECT_EQ(Cell(g, 0, 0), L"cell 1 1");
    EXPECT_EQ(Cell(g, 3, 3), L"");
    Bstr out;
    EXPECT_EQ(g->get_ObjCellContent(4, 0, &out), E_INVALIDARG);  // row 5 of 4
    g->put_ObjShowRowHead(1);
    EXPECT_EQ(Cell(g, 0, 0), L"row 1");
}

TEST_F(GridTest, ScrollRowsPublishMaximumAndPage) {
    GridObject* g = Make(400, 120);
    g->put_ObjRows(10);  // head 20 high, rows of 20
    LONG max = 0, page = 0, min = 0;
    g->GetRowMaximum(GRIDROW_VERT, &max);
    g->GetRowMinimum(GRIDROW_VERT, &min);
    g->GetRowPageStep(GRIDROW_VERT, &page);
    EXPECT_EQ(max, 6);  // the last five rows fill the 100 below the head exactly
    EXPECT_EQ(min, 1);
    EXPECT_EQ(page, 3);
    g->put_ObjCellHeight(30);  // the default; unbound rows keep their sizes
    g->GetRowMaximum(GRIDROW_VERT, &max);
    EXPECT_EQ(max, 6);
    // Columns: 4 of 50 beside a 50 head fit into 400.
    g->GetRowMaximum(GRIDROW_HORZ, &max);
    EXPECT_EQ(max, 1);
    g->put_ObjColumns(20);
    g->GetRowMaximum(GRIDROW_HORZ, &max);
    EXPECT_EQ(max, 14);  // seven columns fill the 350 beside the head
    // Setting the position through the row scrolls and is clamped.
    g->SetRowValue(GRIDROW_VERT, 4);
    EXPECT_EQ(Value(&GridObject::get_ObjTopRow, g), 4);
    g->SetRowValue(GRIDROW_VERT, 40);
    EXPECT_EQ(Value(&GridObject::get_ObjTopRow, g), 10);
    LONG v = 0;
    g->GetRowValue(GRIDROW_VERT, &v);
    EXPECT_EQ(v, 10);
    // Fewer than two rows: maximum 1.
    g->put_ObjRows(1);
    g->GetRowMaximum(GRIDROW_VERT, &max);
    EXPECT_EQ(max, 1);
}

TEST_F(GridTest, AScrollBarOnTheVerticalRowMovesTheTopRow) {
    GridObject* g = Make(400, 120);
    g->put_ObjRows(10);
    site.finder.objects["Grid1"] = static_cast<IObjectBase*>(g);
    CComPtr<IUnknown> barUnknown;
    ASSERT_EQ(CreateScrollBarObject(&barUnknown), S_OK);
    record.dwTypeId = 0x02010002;
    CComPtr<IObjectBase> base;
    barUnknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    ASSERT_EQ(base->Init(&creation), S_OK);
    ScrollBarObject* bar = static_cast<ScrollBarObject*>(static_cast<IObjectBase*>(base.p));
    char rowName[64] = {};
    g->GetRowName(GRIDROW_VERT, rowName, sizeof(rowName));
    std::wstring wide = WideFromMultibyte(rowName);
    Bstr object(L"Grid1"), row(wide.c_str());
    bar->SetLinkObject(object);
    bar->SetLinkRow(row);
    bar->SetLinked(1);
    ASSERT_NE(bar->LinkedSink(), nullptr);
    LONG v = 0;
    bar->get_ObjMaxValue(&v);
    EXPECT_EQ(v, 6);
    bar->get_ObjMinValue(&v);
    EXPECT_EQ(v, 1);
    bar->put_ObjValue(3);
    EXPECT_EQ(Value(&GridObject::get_ObjTopRow, g), 3);
    g->put_ObjTopRow(5);
    bar->get_ObjValue(&v);
    EXPECT_EQ(v, 5);
    bar->BeforeExit();  // drops the link and the references it held
}

TEST_F(GridTest, RowAndColumnAtAPoint) {
    // The solid one-unit outer borders move the layout one unit right and down.
    GridObject* g = Make(400, 300);
    const struct {
        LONG at, row;
    } cases[] = {{50, -1}, {51, 0}, {70, 0}, {71, 1}, {150, 4}, {151, -1}};
    for (const auto& c : cases) {
        LONG row = -9;
        g->RowAtY(c.at, &row);
        EXPECT_EQ(row, c.row) << c.at;
    }
    const struct { LONG x, col; } cols[] = {{100, -1}, {101, 0}, {151, 1}, {350, 4}, {351, -1}};
    for (const auto& c : cols) {
        LONG col = -9;
        g->ColumnAtX(c.x, &col);
        EXPECT_EQ(col, c.col) << c.x;
    }
    // Scrolled, the rows below the head count from the top row.
    g->put_ObjTopRow(3);
    LONG row = 0;
    g->RowAtY(76, &row);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(g->HitTestPoint(150, 75), 0);
    EXPECT_EQ(g->HitTestPoint(150, 200), 1);  // below the last row
}

TEST_F(GridTest, DrawsBackgroundsTextsLinesAndTheActiveFrame) {
    GridObject* g = Make(400, 300);
    FillObject* cells = nullptr;
    g->GetGridFill(GRID_CELLS, &cells);
    void* params = nullptr;
    cells->GetFillParams(&params);
    static_cast<ISolidFillParams*>(params)->SetColor(0x00FFFF);  // yellow
    SetCell(g, 2, 2, L"WWWW");
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(600, 400));
    RECT all = {0, 0, 600, 400};
    target->FillRect(&all, 0x0000FF);
    RECT bounds;
    g->GetBoundsRect(&bounds);
    ASSERT_EQ(g->DrawContent(target, &bounds), S_OK);
    // Cell (2, 2) spans x 201..251, y 111..131.
    EXPECT_EQ(PixelOf(target, 245, 125), 0xFFFF00u);
    int dark = 0;
    for (int y = 111; y < 129; ++y)
        for (int x = 201; x < 249; ++x) dark += PixelOf(target, x, y) == 0;
    EXPECT_GT(dark, 0);                               // the text
    EXPECT_EQ(PixelOf(target, 225, 91), 0u);          // the line between rows 1 and 2
    EXPECT_EQ(PixelOf(target, 201, 120), 0u);         // the line between columns 1 and 2
    EXPECT_EQ(PixelOf(target, 151, 120), 0u);         // the line right of the row head
    EXPECT_EQ(PixelOf(target, 380, 120), 0xFF0000u);  // right of the last column
    // The active frame inverts a band 4 wide around cell (1, 1).
    g->put_ObjShowActiveCellFrame(1);
    target->FillRect(&all, 0x0000FF);
    ASSERT_EQ(g->DrawContent(target, &bounds), S_OK);
    EXPECT_EQ(PixelOf(target, 175, 80), 0xFFFF00u);  // inside, untouched
    EXPECT_EQ(PixelOf(target, 152, 80), 0x0000FFu);  // just inside the edge: inverted
}

TEST_F(GridTest, EditsACellInPlaceThroughTheView) {
    GridObject* g = Make(400, 300);
    RecordingView view;
    site.viewService = &view;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    site.view = window;
    // EnterEdit asks the view only when modifying is allowed.
    g->EnterEdit();
    EXPECT_TRUE(view.calls.empty());
    g->put_ObjCanModify(1);
    g->EnterEdit();
    ASSERT_EQ(view.calls, (std::vector<std::string>{"ChangeWndProc 1"}));
    IWndMsgHandler* h = static_cast<IWndMsgHandler*>(g);
    h->BeginHook(nullptr);
    LRESULT result = 0;
    // A double click on cell (2, 3) opens its editor over the cell.
    SetCell(g, 2, 3, L"old");
    EXPECT_EQ(h->HandleMessage(window, nullptr, WM_LBUTTONDBLCLK, 0, MAKELPARAM(275, 100), &result),
              0);
    HWND edit = g->EditWindow();
    ASSERT_NE(edit, nullptr);
    char text[16] = {};
    GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ(text, "old");
    RECT r;
    GetWindowRect(edit, &r);
    EXPECT_EQ(r.right - r.left, 50);
    EXPECT_EQ((DWORD)GetWindowLongA(edit, GWL_STYLE) & 0x40001044u, 0x40001044u);
    // Committing an unchanged text does not redraw.
    size_t painted = site.invalidated.size();
    h->FocusLost();
    EXPECT_EQ(site.invalidated.size(), painted + 1);  // the focus change only
    EXPECT_FALSE(IsWindow(edit));
    // A changed text is taken.
    h->BeginHook(nullptr);
    h->HandleMessage(window, nullptr, WM_LBUTTONDBLCLK, 0, MAKELPARAM(275, 100), &result);
    SetWindowTextA(g->EditWindow(), "new");
    h->HandleMessage(window, nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(175, 80), &result);
    EXPECT_EQ(g->EditWindow(), nullptr);
    EXPECT_EQ(Cell(g, 2, 3), L"new");
    EXPECT_EQ(Value(&GridObject::get_ObjActiveRow, g), 1);
    // Keys move the active cell; a click outside gives the keyboard back.
    h->HandleMessage(window, nullptr, WM_KEYDOWN, VK_DOWN, 0, &result);
    h->HandleMessage(window, nullptr, WM_KEYDOWN, VK_RIGHT, 0, &result);
    EXPECT_EQ(Value(&GridObject::get_ObjActiveRow, g), 2);
    EXPECT_EQ(Value(&GridObject::get_ObjActiveColumn, g), 2);
    EXPECT_EQ(h->HandleMessage(window, nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(500, 380), &result),
              1);
    EXPECT_EQ(view.calls.back(), "ChangeWndProc 0");
    site.viewService = nullptr;
    site.view = nullptr;
    DestroyWindow(window);
}

// The grid's record with the test's value records.
std::vector<uint8_t> GridBytes(const std::vector<std::vector<GridCellRecord>>& rows,
                               const std::vector<uint8_t>& fontRecord,
                               const std::vector<uint8_t>& fillRecord,
                               const std::vector<uint8_t>& lineRecord, int32_t nRows, int32_t nCols,
                               const char* source = "") {
    GridRecord g;
    g.cells = rows;
    g.rows = nRows;
    g.columns = nCols;
    g.font = fontRecord;
    g.fill = fillRecord;
    g.line = lineRecord;
    g.source = source;
    return WriteGridRecord(g);
}

class GridRecordTest : public GridTest {
protected:
    GridRecordTest() {
        FontObject* font = nullptr;
        CreateFontObject(&font);
        fontRecord = Saved([&](ITeskStream* s) { font->Save(s); });
        font->Release();
        FillObject* fill = CreateFillObject();
        fillRecord = Saved([&](ITeskStream* s) { fill->Save(s); });
        fill->Release();
        LineStyleObject* line = CreateLineStyObj();
        lineRecord = Saved([&](ITeskStream* s) { line->Save(s); });
        line->Release();
    }
    std::vector<uint8_t> Own() {
        return GridBytes(
            {{{L""}, {L"A"}, {L"B"}}, {{L"1"}, {L"a1", 1}, {L"b1"}}, {{L"2"}, {L"a2"}, {L"b2", 2}}},
            fontRecord, fillRecord, lineRecord, 2, 2);
    }
    std::vector<uint8_t> Stream(const std::vector<uint8_t>& own) {
        ObjectPrefix prefix;
        prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
        return WriteObjectPrefix(prefix);
    }
    std::vector<uint8_t> fontRecord, fillRecord, lineRecord;
};

TEST_F(GridRecordTest, LoadsCellsFontsAndTheOlderCellForm) {
    GridObject* g = Make();
    CComPtr<ITeskStream> s = MemStreamOf(Stream(Own()));
    ASSERT_EQ(static_cast<IObjectBase*>(g)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(Value(&GridObject::get_ObjRows, g), 2);
    EXPECT_EQ(Value(&GridObject::get_ObjColumns, g), 2);
    EXPECT_EQ(Cell(g, 0, 2), L"B");
    EXPECT_EQ(Cell(g, 2, 2), L"b2");
    EXPECT_NE(g->CellAt(1, 1)->font, nullptr);
    EXPECT_NE(g->CellAt(2, 2)->font, nullptr);  // the older form
    EXPECT_EQ(g->CellAt(1, 2)->font, nullptr);
    // Saved and read again: the same grid.
    std::vector<uint8_t> saved = Saved([&](ITeskStream* out) { g->SaveExtension(out); });
    GridObject* h = Make();
    ASSERT_EQ(h->LoadExtension(MemStreamOf(saved)), S_OK);
    EXPECT_EQ(Cell(h, 2, 1), L"a2");
    EXPECT_NE(h->CellAt(2, 2)->font, nullptr);
    EXPECT_EQ(Saved([&](ITeskStream* out) { h->SaveExtension(out); }), saved);
}

TEST_F(GridRecordTest, CountsBeyondTheLimitsOrTheStreamAreRefused) {
    // 1002 row entries, 66 cells in a row: refused before anything is made.
    std::vector<std::vector<GridCellRecord>> wide(1, std::vector<GridCellRecord>(66));
    RecordBytes many;
    many.U32(1002);
    std::vector<std::vector<uint8_t>> records = {
        many.bytes,
        GridBytes(wide, fontRecord, fillRecord, lineRecord, 2, 2),
    };
    // A size list longer than the columns allow.
    std::vector<uint8_t> list = GridBytes({}, fontRecord, fillRecord, lineRecord, 2, 2);
    list[4 + 16] = 0x7F;  // the column widths' count
    records.push_back(list);
    for (const auto& own : records) {
        GridObject* g = Make();
        SetCell(g, 1, 1, L"before");
        EXPECT_EQ(static_cast<IObjectBase*>(g)->Load(MemStreamOf(Stream(own))), E_FAIL);
        EXPECT_EQ(Cell(g, 1, 1), L"before");  // the grid stays as it was
    }
    // A source name without its NUL ends at byte 63.
    std::string longName(64, 'N');
    std::vector<uint8_t> named =
        GridBytes({}, fontRecord, fillRecord, lineRecord, 2, 2, longName.c_str());
    GridObject* g = Make();
    ASSERT_EQ(static_cast<IObjectBase*>(g)->Load(MemStreamOf(Stream(named))), S_OK);
    LONG bound = 0;
    Bstr name;
    g->GetDataSource(&bound, &name);
    EXPECT_EQ(SysStringLen(name), 63u);
}

TEST_F(GridRecordTest, TruncatedAndCorruptedRecords) {
    std::vector<uint8_t> bytes = Stream(Own());
    size_t start = WriteObjectPrefix(ObjectPrefix()).size() - 8;
    for (size_t n = start; n < bytes.size() - 8; ++n) {
        GridObject* g = Make();
        CComPtr<ITeskStream> s =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(g)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
        EXPECT_EQ(Value(&GridObject::get_ObjRows, g), 4) << n;
    }
    std::mt19937 random(2104);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(600, 400));
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k)
            bad[start + random() % (bad.size() - start - 8)] = (uint8_t)random();
        GridObject* g = Make();
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        static_cast<IObjectBase*>(g)->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        RECT r;
        g->GetBoundsRect(&r);
        g->DrawContent(target, &r);
        LONG row = 0;
        g->RowAtY(80, &row);
    }
}

}  // namespace
