// Input that reaches grouped objects: a radio button in a group and a plain
// object two groups deep get pointer, button and key events, which also go
// to their groups; each group keeps exactly the references it had, through
// a page change and through closing the document.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CanvasObjects.h"
#include "ObjectRecordWriter.h"
#include "PlayerFixture.h"
#include "aCanvas.h"
#include "aObjWrap.h"
#include "aPageStruct.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "aProject.h"
#include "aTopicMgr.h"
#include "bStorage.h"
#include "bdrawtxt.h"

namespace {

const uint32_t kRadio = 0x02020005;

// Logical (x, y) on the 800 x 600 page centred in the 1024 x 768 client.
LPARAM Device(LONG x, LONG y) {
    return MAKELPARAM(x + 112, y + 84);
}

CanvasObjectSpec Group(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h) {
    ObjectPrefix prefix;
    prefix.x = x;
    prefix.y = y;
    prefix.width = w;
    prefix.height = h;
    std::vector<uint8_t> own = WriteGroupRecord(GroupRecord());
    prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
    std::vector<uint8_t> bytes = WriteObjectPrefix(prefix);
    CanvasObjectSpec o;
    o.typeId = GROUP_OBJECT_TYPE;
    o.name = name;
    o.record.assign(bytes.begin(), bytes.end());
    return o;
}

// A radio button without faces, its caption an empty font record.
CanvasObjectSpec Radio(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h) {
    CComPtr<FontObject> font;
    CreateFontObject(&font);
    CComPtr<ITeskStream> s;
    CreateMemStream(&s, 256);
    font->Save(s);
    ButtonRecord rec;
    rec.maxValue = 1;
    rec.type = 2;
    rec.caption.resize((size_t)s->GetPosition());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    s->Read(rec.caption.data(), (ULONG)rec.caption.size());
    ObjectPrefix prefix;
    prefix.x = x;
    prefix.y = y;
    prefix.width = w;
    prefix.height = h;
    std::vector<uint8_t> own = WriteButtonRecord(rec);
    prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
    std::vector<uint8_t> bytes = WriteObjectPrefix(prefix);
    CanvasObjectSpec o;
    o.typeId = kRadio;
    o.name = name;
    o.record.assign(bytes.begin(), bytes.end());
    return o;
}

// Watches the reference counts of the groups: a release too many shows at
// the next message as a lower count, and the guard gives the reference back
// at once so that the page goes down without touching a freed group.
class ReleaseGuard {
public:
    void Watch(const char* name, IUnknown* object) {
        watched.push_back({name, object, Count(object)});
    }
    // Failures of this step; the counts are restored.
    std::vector<std::string> Check(const char* step) {
        std::vector<std::string> failures;
        for (Watched& w : watched) {
            ULONG now = Count(w.object);
            if (now == w.count)
                continue;
            failures.push_back(std::string(w.name) + " after " + step + ": " + std::to_string(now) +
                               " references, " + std::to_string(w.count) + " before");
            for (; now < w.count; ++now) w.object->AddRef();
            for (; now > w.count; --now) w.object->Release();
        }
        return failures;
    }
    void Forget() { watched.clear(); }

private:
    struct Watched {
        const char* name;
        IUnknown* object;
        ULONG count;
    };
    static ULONG Count(IUnknown* object) {
        ULONG n = object->AddRef();
        object->Release();
        return n - 1;
    }
    std::vector<Watched> watched;
};

class GroupInputTest : public PlayerFixture {
protected:
    void SetUp() override {
        RegisterSolid(registry);
        ASSERT_TRUE(LoadTypeLib());
        work.prjInfo.options = 0;
        work.pages = {{"A", "", "Bkg", "", "", "B"}, {"B", "", "Bkg", "", "", ""}};
        PutGreenBackground(work);
        CanvasSpec a;
        // "radios" holds the radio button at 200,200; "outer" holds "inner",
        // which holds "leaf" at 500,300.
        a.objects = {Group("radios", 200, 200, 100, 100), Radio("radio", 200, 200, 60, 40),
                     Group("outer", 500, 300, 200, 200), Group("inner", 500, 300, 100, 100),
                     PlacedSolid("leaf", 500, 300, 40, 40)};
        a.objects[1].group = 0;
        a.objects[3].group = 2;
        a.objects[4].group = 3;
        PutCanvas(work, "A", a);
        ASSERT_EQ(OpenWork("groups.mrt"), S_OK);
        ASSERT_TRUE(ShowView("groups"));
        doc->StartPresentation();
        DrainMessages();
        for (const char* name : {"radios", "outer", "inner"}) {
            CObjWrapper* g = doc->GetCanvasSet()->page->GetList()->FindByName(name, nullptr);
            ASSERT_NE(g, nullptr) << name;
            guard.Watch(name, g->m_base);
        }
    }
    void TearDown() override {
        guard.Forget();
        PlayerFixture::TearDown();
    }
    // Pointer over the object, a click, keys to it, the pointer away.
    void Handle(const char* name, LONG x, LONG y) {
        const struct {
            UINT message;
            WPARAM wParam;
            LPARAM lParam;
        } steps[] = {
            {WM_MOUSEMOVE, 0, Device(x, y)},
            {WM_MOUSEMOVE, 0, Device(x + 1, y)},
            {WM_LBUTTONDOWN, MK_LBUTTON, Device(x, y)},
            {WM_LBUTTONUP, 0, Device(x, y)},
            {WM_LBUTTONDBLCLK, MK_LBUTTON, Device(x, y)},
            {WM_RBUTTONDOWN, MK_RBUTTON, Device(x, y)},
            {WM_RBUTTONUP, 0, Device(x, y)},
            {WM_KEYDOWN, 'A', 0},
            {WM_CHAR, 'a', 0},
            {WM_KEYUP, 'A', 0},
            {WM_MOUSEMOVE, 0, Device(x + 1, y + 1)},
        };
        for (const auto& s : steps) {
            SendMessageA(view->m_hWnd, s.message, s.wParam, s.lParam);
            char step[48];
            snprintf(step, sizeof(step), "message 0x%X at %ld,%ld", s.message, x, y);
            for (const std::string& f : guard.Check(step)) ADD_FAILURE() << f;
        }
        // The input went to the grouped object itself.
        CObjWrapper* pressed = doc->GetTopics()->GetPressed();
        ASSERT_NE(pressed, nullptr) << name;
        EXPECT_STREQ(pressed->m_record.szName, name);
    }

    ReleaseGuard guard;
};

// The pointer stays on the grouped object while the page changes.
TEST_F(GroupInputTest, GroupsKeepTheirReferencesThroughAPageChange) {
    Handle("radio", 200, 200);
    Handle("leaf", 500, 300);
    SendMessageA(view->m_hWnd, WM_MOUSEMOVE, 0, Device(500, 300));
    for (const std::string& f : guard.Check("the last move")) ADD_FAILURE() << f;
    guard.Forget();
    doc->OnNavigate(32813);  // the next page
    DrainMessages();
    EXPECT_EQ(doc->GetCanvasSet()->page->GetStub(),
              doc->GetProject()->GetStructMan()->FindPage("B"));
}

// The pointer stays on the grouped object until the document closes.
TEST_F(GroupInputTest, GroupsKeepTheirReferencesUntilClose) {
    Handle("leaf", 500, 300);
    Handle("radio", 200, 200);
    SendMessageA(view->m_hWnd, WM_MOUSEMOVE, 0, Device(200, 200));
    for (const std::string& f : guard.Check("the last move")) ADD_FAILURE() << f;
    guard.Forget();
    CloseDocument();
}

}  // namespace
