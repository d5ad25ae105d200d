// The preview pane alone, on a host whose media preview objects record
// what they are asked.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "PreviewFixture.h"
#include "aPreView.h"

namespace {

// A byte-array value.
struct ArrayValue {
    VARIANT v;
    explicit ArrayValue(const std::vector<unsigned char>& bytes) {
        VariantInit(&v);
        SAFEARRAYBOUND bound = {(ULONG)bytes.size(), 0};
        V_VT(&v) = VT_ARRAY | VT_UI1;
        V_ARRAY(&v) = SafeArrayCreate(VT_UI1, 1, &bound);
        if (!bytes.empty())
            memcpy(V_ARRAY(&v)->pvData, bytes.data(), bytes.size());
    }
    ~ArrayValue() { VariantClear(&v); }
};

// Embedded content: the 32-bit length field (as given), the 260-byte path
// field, then `data` bytes.
std::vector<unsigned char> Embedded(uint32_t lengthField, const std::string& path, size_t data,
                                    bool endPath = true) {
    std::vector<unsigned char> bytes(264 + data, 'D');
    PutU32LE(&bytes[0], lengthField);
    memset(&bytes[4], endPath ? 0 : 'p', 260);
    memcpy(&bytes[4], path.data(), path.size());
    return bytes;
}

struct Pane {
    HWND parent;
    PreviewSite<> site;
    CPreView view;
    Pane() {
        parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
        EXPECT_TRUE(view.Create(parent, 0xE901, &site) != nullptr);
        MoveWindow(view, 0, 0, 300, 200, TRUE);
    }
    ~Pane() { DestroyWindow(parent); }
    int Media(const VARIANT* value, int mask = 2, int link = 0) {
        PreviewRequest r;
        r.mode = PreviewRequest::kMedia;
        r.value = value;
        r.kindMask = mask;
        r.linkFlag = link;
        return view.ShowContent(r);
    }
    int Text(const std::string& text) {
        PreviewRequest r;
        r.mode = PreviewRequest::kText;
        r.text = text;
        return view.ShowContent(r);
    }
    std::vector<std::string> Log() {
        std::vector<std::string> l = site.log;
        site.log.clear();
        return l;
    }
};

using Log = std::vector<std::string>;

}  // namespace

TEST(PreviewPane, TextThenMediaKeepsTheHiddenTextPaneUntilReset) {
    Pane p;
    ASSERT_EQ(1, p.Text("first line"));
    PreviewTextEdit* text = p.view.TextPane();
    ASSERT_TRUE(text && IsWindow(text->m_hWnd));
    EXPECT_TRUE(IsWindowVisible(text->m_hWnd));
    EXPECT_EQ(1, p.view.m_textMode);
    // Text the pane is given is no change; what the user types is.
    EXPECT_EQ("first line", text->GetText());
    EXPECT_EQ(0, text->m_changed);
    SendMessageA(text->m_hWnd, EM_SETSEL, 10, 10);
    SendMessageA(text->m_hWnd, WM_CHAR, '!', 0);
    EXPECT_EQ("first line!", text->GetText());
    EXPECT_EQ(1, text->m_changed);

    ArrayValue picture(Embedded(3, "c:\\a.bmp", 3));
    ASSERT_EQ(1, p.Media(&picture.v));
    EXPECT_EQ((Log{"new", "attach", "kind:2", "data:c:\\a.bmp:3"}), p.Log());
    EXPECT_EQ(0, p.view.m_textMode);
    ASSERT_EQ(text, p.view.TextPane());
    EXPECT_FALSE(IsWindowVisible(text->m_hWnd));
    EXPECT_EQ("first line!", text->GetText());
    EXPECT_EQ(1, text->m_changed);

    // A text request ends the media; the reset ends the text pane.
    ASSERT_EQ(1, p.Text("second"));
    EXPECT_EQ((Log{"close", "free"}), p.Log());
    HWND edit = text->m_hWnd;
    EXPECT_EQ(1, p.view.ResetPreview());
    EXPECT_EQ(nullptr, p.view.TextPane());
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(0, p.view.SetText("x"));
}

TEST(PreviewPane, MediaRequestsReuseOneObjectUntilCleared) {
    Pane p;
    ArrayValue picture(Embedded(5, "c:\\b.bmp", 5));
    std::vector<unsigned char> name = {'c', 'l', 'i', 'p', '.', 'a', 'v', 'i', 0, 'x'};
    ArrayValue linked(name);
    ASSERT_EQ(1, p.Media(&picture.v));
    ASSERT_EQ(1, p.Media(&linked.v, 4, 1));
    EXPECT_EQ((Log{"new", "attach", "kind:2", "data:c:\\b.bmp:5", "kind:4", "name:clip.avi"}),
              p.Log());
    // The view's size reaches the object.
    MoveWindow(p.view, 0, 0, 120, 80, TRUE);
    EXPECT_EQ((Log{"resize:120,80"}), p.Log());
    // Text-only media (mask 1) is not previewed.
    ASSERT_EQ(1, p.Media(&linked.v, 1, 1));
    EXPECT_EQ((Log{"close", "free"}), p.Log());
    EXPECT_EQ(nullptr, p.view.MediaObject());
    // Clear, and a mode the view does not know, succeed and do nothing more.
    PreviewRequest other;
    other.mode = 7;
    EXPECT_EQ(1, p.view.ShowContent(other));
    EXPECT_EQ(1, p.view.ShowContent(PreviewRequest()));
    EXPECT_TRUE(p.Log().empty());
}

TEST(PreviewPane, MediaThatCannotBeShownShowsNothing) {
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;  // unused for the typed values
        VARTYPE type;                      // VT_ARRAY for bytes
        int link;
    };
    const Case cases[] = {
        {"empty", {}, VT_EMPTY, 0},
        {"null", {}, VT_NULL, 0},
        {"not an array", {}, VT_I4, 0},
        {"length past the array", Embedded(11, "c:\\a.bmp", 10), VT_ARRAY, 0},
        {"length of 4 GB", Embedded(0xFFFFFFFFu, "c:\\a.bmp", 10), VT_ARRAY, 0},
        {"shorter than the header", std::vector<unsigned char>(263, 0), VT_ARRAY, 0},
        {"path without its end", Embedded(1, "", 1, false), VT_ARRAY, 0},
        {"object fails to load", {'b', 'r', 'o', 'k', 'e', 'n', 0}, VT_ARRAY, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Pane p;
        ArrayValue array(c.bytes);
        VARIANT typed;
        VariantInit(&typed);
        V_VT(&typed) = c.type;
        EXPECT_EQ(0, p.Media(c.type == VT_ARRAY ? &array.v : &typed, 2, c.link));
        EXPECT_EQ(nullptr, p.view.MediaObject());
        // Whatever was made was closed and freed.
        Log log = p.Log();
        if (!log.empty()) {
            ASSERT_LE(2u, log.size());
            EXPECT_EQ("close", log[log.size() - 2]);
            EXPECT_EQ("free", log.back());
        }
        // The next good request makes a fresh object.
        ArrayValue good(Embedded(1, "c:\\g.bmp", 1));
        EXPECT_EQ(1, p.Media(&good.v));
        EXPECT_EQ("new", p.Log().front());
    }
}

TEST(PreviewPane, WithoutAnEditingHostNoMediaIsShown) {
    ArrayValue picture(Embedded(1, "c:\\a.bmp", 1));
    {
        // The player's stub: success without an object.
        Pane p;
        p.site.offer = false;
        EXPECT_EQ(0, p.Media(&picture.v));
        EXPECT_TRUE(p.Log().empty());
    }
    {
        // A site that is no editing host at all, and none.
        HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                      nullptr, nullptr);
        FakeSite plain;
        for (IPlayerSite* host : {(IPlayerSite*)&plain, (IPlayerSite*)nullptr}) {
            CPreView view;
            ASSERT_TRUE(view.Create(parent, 1, host));
            PreviewRequest r;
            r.mode = PreviewRequest::kMedia;
            r.value = &picture.v;
            r.kindMask = 2;
            EXPECT_EQ(0, view.ShowContent(r));
            // Text still shows.
            r.mode = PreviewRequest::kText;
            EXPECT_EQ(1, view.ShowContent(r));
        }
        DestroyWindow(parent);
    }
}
