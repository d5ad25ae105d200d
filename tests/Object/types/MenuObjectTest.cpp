#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aGDIBuf.h"
#include "aMnuObj.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bStorage.h"
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

const DWORD kHorizontal = 0x04010001, kVertical = 0x04010002;

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = ReadBufferInfo(buffer);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

// How many pixels of a rectangle have the value.
int Count(IPixelBuffer* buffer, const RECT& r, DWORD value) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) n += PixelOf(buffer, x, y) == value;
    return n;
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

class MenuTest : public ObjectFixture {
protected:
    // A menu with its bounds' top-left at (100, 50).
    MenuObject* Make(DWORD typeId, LONG w = 600, LONG h = 50) {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateMenuObject(&unknown), S_OK);
        objects.push_back(unknown);
        record.dwTypeId = typeId;
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        MenuObject* m = static_cast<MenuObject*>(static_cast<IObjectBase*>(base.p));
        m->SetWidth(w);
        m->SetHeight(h);
        m->MoveTo(100 + w / 2, 50 + h / 2);
        return m;
    }
    static void Mouse(MenuObject* m, DWORD id, LONG x, LONG y) {
        DWORD point = MAKELONG((WORD)(SHORT)x, (WORD)(SHORT)y);
        static_cast<IObjectEvent*>(m)->FireEvent(id, 0, point, 0);
    }
    std::vector<TestEventProc::Call> ItemEvents() {
        std::vector<TestEventProc::Call> out;
        for (auto* p : {procs.last})
            if (p)
                for (const auto& c : p->calls)
                    if (c.id == EVT_MENUITEM)
                        out.push_back(c);
        return out;
    }
};

TEST_F(MenuTest, ANewMenuHasFourDisabledDefaultItems) {
    MenuObject* m = Make(kHorizontal);
    ASSERT_EQ(m->ItemCount(), 4);
    for (int i = 0; i < 4; ++i) {
        Bstr text;
        EXPECT_EQ(m->get_ObjItemTextContent(i, &text), S_OK);
        EXPECT_EQ(std::wstring(text), L"Item" + std::to_wstring(i));
        LONG id = -1, enabled = 1;
        m->GetItemID(i, &id);
        m->get_ObjItemEnable(i, &enabled);
        EXPECT_EQ(id, i);
        EXPECT_EQ(enabled, 0);
    }
    RECT area = m->MenuArea();
    EXPECT_EQ(area.right - area.left, 520);  // 4 x (100 + 30)
    EXPECT_EQ(area.bottom - area.top, 30);
    LONG v = -1;
    m->get_ObjType(&v);
    EXPECT_EQ(v, 0);
    m->get_ObjSeparator(&v);
    EXPECT_EQ(v, -1);
    MenuObject* vertical = Make(kVertical, 200, 400);
    vertical->get_ObjType(&v);
    EXPECT_EQ(v, 1);
    area = vertical->MenuArea();
    EXPECT_EQ(area.right - area.left, 130);
    EXPECT_EQ(area.bottom - area.top, 120);
    // The icon style names come from the string table ("图标区在左").
    Bstr name;
    EXPECT_EQ(m->GetPicStyleName(&name), S_OK);
    EXPECT_EQ(SysStringLen(name), 5u);
    m->put_ObjPicStyle(3);
    Bstr none;
    EXPECT_EQ(m->GetPicStyleName(&none), E_FAIL);
}

TEST_F(MenuTest, BadIndexesAndFlagPuts) {
    MenuObject* m = Make(kHorizontal);
    LONG v = 7;
    EXPECT_EQ(m->get_ObjItemEnable(5, &v), E_INVALIDARG);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(m->put_ObjItemEnable(-1, 1), E_INVALIDARG);
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(m->get_ObjItemTextContent(4, &text), E_INVALIDARG);
    EXPECT_EQ(text, nullptr);
    LONG id = 9;
    EXPECT_EQ(m->GetItemID(4, &id), E_INVALIDARG);
    EXPECT_EQ(id, 0);
    // A flag put takes the value's truth to decide and its low bit to store.
    m->put_ObjSeparator(0);
    size_t painted = site.invalidated.size();
    m->put_ObjSeparator(2);
    EXPECT_GT(site.invalidated.size(), painted);
    m->get_ObjSeparator(&v);
    EXPECT_EQ(v, 0);
    painted = site.invalidated.size();
    m->put_ObjSeparator(0);
    m->put_ObjTextWidth(100);  // unchanged: no repaint
    EXPECT_EQ(site.invalidated.size(), painted);
    m->put_ObjItemEnable(1, 3);
    m->get_ObjItemEnable(1, &v);
    EXPECT_EQ(v, -1);
}

TEST_F(MenuTest, ItemsUnderThePointerUseTheItemWidth) {
    MenuObject* m = Make(kHorizontal);
    m->put_ObjPicStyle(MENU_PICSTYLE_NONE);
    const struct {
        LONG x, y;
        int item;
    } cases[] = {{100, 50, 0},  {199, 60, 0},  {200, 60, 1}, {499, 79, 3},
                 {500, 60, -1}, {150, 81, -1}, {99, 60, -1}};
    for (const auto& c : cases) EXPECT_EQ(m->ItemAt(c.x, c.y), c.item) << c.x << "," << c.y;
    MenuObject* v = Make(kVertical, 200, 400);
    EXPECT_EQ(v->ItemAt(150, 50 + 65), 2);
    EXPECT_EQ(v->ItemAt(100 + 131, 50 + 65), -1);
}

TEST_F(MenuTest, HighlightGreyTextAndTheItemEvent) {
    MenuObject* m = Make(kHorizontal);
    m->put_ObjPicStyle(MENU_PICSTYLE_NONE);
    m->put_ObjItemEnable(1, 1);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(800, 200));
    RECT bounds;
    m->GetBoundsRect(&bounds);
    // The pointer over item 1: its cell away from the text is the highlight.
    Mouse(m, EVT_MOUSEENTER, 250, 60);
    EXPECT_EQ(m->HotItem(), 1);
    EXPECT_TRUE(m->Active());
    ASSERT_EQ(m->DrawContent(target, &bounds), S_OK);
    EXPECT_EQ(PixelOf(target, 298, 52), 0x00005Au);
    EXPECT_EQ(PixelOf(target, 298, 78), 0x00005Au);
    EXPECT_EQ(PixelOf(target, 150, 52), 0xD2D2D2u);  // item 0 keeps the fill
    // Disabled items' text is the mean of the text and fill colours.
    RECT item0 = {100, 50, 200, 80}, item1 = {200, 50, 300, 80};
    EXPECT_GT(Count(target, item0, 0x696969), 0);
    EXPECT_EQ(Count(target, item0, 0), 0);
    EXPECT_GT(Count(target, item1, 0xFFFFFF), 0);  // the highlight text colour
    // A disabled item is never highlighted, yet it fires its id.
    Mouse(m, EVT_MOUSEMOVE, 450, 60);
    EXPECT_EQ(m->HotItem(), 3);
    Mouse(m, EVT_MOUSEMOVE, 350, 60);
    ASSERT_EQ(m->DrawContent(target, &bounds), S_OK);
    EXPECT_EQ(Count(target, RECT{300, 50, 400, 80}, 0x00005A), 0);
    Mouse(m, EVT_LBUTTONDOWN, 350, 60);
    Mouse(m, EVT_LBUTTONUP, 350, 60);
    std::vector<TestEventProc::Call> events = ItemEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].types, (std::vector<VARTYPE>{VT_INT, VT_INT}));
    EXPECT_EQ(events[0].values, (std::vector<LONG>{2, 2}));
    // Leaving clears the highlight; with inversion the cell is inverted.
    Mouse(m, EVT_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(m->Active());
    m->put_ObjUseDefault(1);
    Mouse(m, EVT_MOUSEMOVE, 250, 60);
    ASSERT_EQ(m->DrawContent(target, &bounds), S_OK);
    EXPECT_EQ(PixelOf(target, 298, 52), 0x2D2D2Du);  // 0xD2D2D2 inverted
}

TEST_F(MenuTest, AutoExpandWidensToTheLongestTextAndRestores) {
    MenuObject* m = Make(kHorizontal);
    Bstr shortText(L"A"), longText(L"A much longer item text");
    m->put_ObjItemTextContent(0, shortText);
    m->put_ObjItemTextContent(2, longText);
    FontObject* font = nullptr;
    m->GetFont(&font);
    font->SetText("A much longer item text");
    HDC screen = GetDC(nullptr);
    int expected = 0;
    font->GetTextWidth(screen, &expected);
    ReleaseDC(nullptr, screen);
    font->SetText(nullptr);
    ASSERT_GT(expected, 100);
    m->put_ObjTextAutoExpand(1);
    LONG width = 0;
    m->get_ObjTextWidth(&width);
    EXPECT_EQ(width, expected);
    m->put_ObjTextAutoExpand(0);
    m->get_ObjTextWidth(&width);
    EXPECT_EQ(width, 100);
}

TEST_F(MenuTest, DesignTimeSelectionKeysAndRename) {
    MenuObject* m = Make(kHorizontal);
    IWndMsgHandler* h = static_cast<IWndMsgHandler*>(m);
    EXPECT_EQ(h->BeginHook(nullptr), S_OK);
    LRESULT result = 0;
    // Clicks without a device context are in page units.
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(120, 60), &result),
              0);
    EXPECT_EQ(m->HotItem(), 0);
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_LBUTTONDOWN, MK_CONTROL, MAKELPARAM(380, 60),
                               &result),
              0);
    EXPECT_EQ(m->Selection(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(
        h->HandleMessage(nullptr, nullptr, WM_LBUTTONDOWN, MK_SHIFT, MAKELPARAM(250, 60), &result),
        0);
    EXPECT_EQ(m->Selection(), (std::vector<int>{0, 2}));
    // End moves the selection to the last items; nothing moves past them.
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_KEYDOWN, VK_END, 0, &result), 0);
    EXPECT_EQ(m->Selection(), (std::vector<int>{1, 3}));
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_KEYDOWN, VK_RIGHT, 0, &result), 0);
    EXPECT_EQ(m->Selection(), (std::vector<int>{1, 3}));
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_KEYDOWN, 'A', 0, &result), 1);
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_CHAR, 'A', 0, &result), 1);
    // A click outside clears the selection.
    EXPECT_EQ(h->HandleMessage(nullptr, nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20), &result),
              0);
    EXPECT_TRUE(m->Selection().empty());
    EXPECT_EQ(m->HotItem(), -1);
    // A second click on the anchor's text renames it in an "EDIT" window.
    HWND view = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 800, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(view, nullptr);
    site.view = view;
    h->HandleMessage(nullptr, nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(300, 60), &result);
    EXPECT_EQ(m->RenameWindow(), nullptr);
    h->HandleMessage(nullptr, nullptr, WM_LBUTTONDOWN, 0, MAKELPARAM(300, 60), &result);
    HWND edit = m->RenameWindow();
    ASSERT_NE(edit, nullptr);
    char cls[16] = {};
    GetClassNameA(edit, cls, sizeof(cls));
    EXPECT_STRCASEEQ(cls, "EDIT");
    // Made with 0x40801080; the edit control keeps its border apart from the style.
    EXPECT_EQ((DWORD)GetWindowLongA(edit, GWL_STYLE) & 0x40001080u, 0x40001080u);
    SetWindowTextA(edit, "Renamed");
    EXPECT_EQ(h->FocusLost(), S_OK);
    EXPECT_EQ(m->RenameWindow(), nullptr);
    EXPECT_FALSE(IsWindow(edit));
    Bstr text;
    m->get_ObjItemTextContent(1, &text);
    EXPECT_EQ(std::wstring(text), L"Renamed");
    EXPECT_EQ(m->Modified(), 1);
    site.view = nullptr;
    DestroyWindow(view);
}

class MenuRecordTest : public MenuTest {
protected:
    MenuRecord Record() {
        MenuRecord r;
        FillObject* fill = CreateFillObject();
        r.background = Saved([&](ITeskStream* s) { fill->Save(s); });
        LineStyleObject* line = CreateLineStyObj();
        r.border = r.separator = Saved([&](ITeskStream* s) { line->Save(s); });
        FontObject* font = nullptr;
        CreateFontObject(&font);
        r.font = Saved([&](ITeskStream* s) { font->Save(s); });
        font->Release();
        line->Release();
        r.textWidth = 80;
        r.textColor = 0x0000FF;
        FillObject* icon = CreateFillObject();
        icon->SetFillType(FILL_PICTURE);
        for (int i = 0; i < 3; ++i) {
            MenuItemRecord item;
            item.flags = 1;
            item.id = 10 + i;
            item.iconFill = Saved([&](ITeskStream* s) { (i == 0 ? fill : icon)->Save(s); });
            item.text = "Entry " + std::to_string(i);
            item.iconPath = i == 1 ? "C:\\pics\\icon.png" : "";
            r.items.push_back(item);
        }
        fill->Release();
        icon->Release();
        return r;
    }
    std::vector<uint8_t> Stream(const MenuRecord& rec) {
        ObjectPrefix prefix;
        std::vector<uint8_t> own = WriteMenuRecord(rec);
        prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
        return WriteObjectPrefix(prefix);
    }
};

TEST_F(MenuRecordTest, LoadsItemsAndKeepsTheDefaultsForNone) {
    MenuObject* m = Make(kHorizontal);
    CComPtr<ITeskStream> s = MemStreamOf(Stream(Record()));
    ASSERT_EQ(static_cast<IObjectBase*>(m)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    ASSERT_EQ(m->ItemCount(), 3);
    EXPECT_EQ(m->Item(1)->text, "Entry 1");
    EXPECT_EQ(m->Item(1)->iconPath, "C:\\pics\\icon.png");
    EXPECT_EQ(m->Item(2)->id, 12);
    LONG v = 0;
    m->get_ObjTextWidth(&v);
    EXPECT_EQ(v, 80);
    // Saved, the same bytes as written.
    std::vector<uint8_t> saved = Saved([&](ITeskStream* out) { m->SaveExtension(out); });
    EXPECT_EQ(saved, WriteMenuRecord(Record()));
    // No items in the record: the four made by Init stay.
    MenuRecord empty = Record();
    empty.items.clear();
    MenuObject* d = Make(kHorizontal);
    ASSERT_EQ(static_cast<IObjectBase*>(d)->Load(MemStreamOf(Stream(empty))), S_OK);
    EXPECT_EQ(d->ItemCount(), 4);
    empty.count = -3;
    MenuObject* e = Make(kHorizontal);
    ASSERT_EQ(static_cast<IObjectBase*>(e)->Load(MemStreamOf(Stream(empty))), S_OK);
    EXPECT_EQ(e->ItemCount(), 4);
    // A text whose bytes lack the NUL ends at its count.
    MenuRecord open = Record();
    open.items[0].terminate = false;
    MenuObject* o = Make(kHorizontal);
    ASSERT_EQ(static_cast<IObjectBase*>(o)->Load(MemStreamOf(Stream(open))), S_OK);
    EXPECT_EQ(o->Item(0)->text, "Entry 0!");
}

TEST_F(MenuRecordTest, TruncatedAndCorruptedRecords) {
    std::vector<uint8_t> bytes = Stream(Record());
    size_t start = WriteObjectPrefix(ObjectPrefix()).size() - 8;
    for (size_t n = start; n < bytes.size() - 8; ++n) {
        MenuObject* m = Make(kHorizontal);
        CComPtr<ITeskStream> s =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(m)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
        EXPECT_EQ(m->ItemCount(), 4) << n;  // the menu stays as it was
    }
    // Counts that run past the stream.
    MenuRecord many = Record();
    many.count = 0x7FFFFFFF;
    MenuObject* m = Make(kHorizontal);
    EXPECT_EQ(static_cast<IObjectBase*>(m)->Load(MemStreamOf(Stream(many))), E_FAIL);
    std::vector<uint8_t> own = WriteMenuRecord(Record());
    std::mt19937 random(2702);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(800, 200));
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k)
            bad[start + random() % (bad.size() - start - 8)] = (uint8_t)random();
        MenuObject* b = Make(kHorizontal);
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        static_cast<IObjectBase*>(b)->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        RECT r;
        b->GetBoundsRect(&r);
        b->DrawContent(target, &r);
        Mouse(b, EVT_MOUSEMOVE, 150, 60);
        Mouse(b, EVT_LBUTTONUP, 150, 60);
    }
}

}  // namespace
