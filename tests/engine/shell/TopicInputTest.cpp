// Input on a real view window over a written work: clicks and their
// tolerance, dragging through a fake drag ability, an editing object that
// hooks the window, the focus filter and the ActiveX pre-translation, the
// accelerators, and the window-handle map.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "CanvasObjects.h"
#include "ObjectRecordWriter.h"
#include "PixelTestUtil.h"
#include "ProjectWriter.h"
#include "SolidObject.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aAxObject.h"
#include "aCanvas.h"
#include "aExtMgr.h"
#include "aObjClass.h"
#include "aPamAbl.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "aProject.h"
#include "aSequencer.h"
#include "bMsgBox.h"
#include "PlayerBuildFiles.h"
#include "PlayerFixture.h"

namespace {

const uint32_t kActiveX = 0x03010000;

// The page is centred in the 1024 x 768 client area: logical (0, 0) is
// device (112, 84).
LPARAM Device(LONG x, LONG y) {
    return MAKELPARAM(x + 112, y + 84);
}

typedef std::vector<std::string> Log;

// Records the events an object receives, by id.
class Recorder : public CComObjectRootBase, public IEventListener {
public:
    BEGIN_COM_MAP(Recorder)
    COM_INTERFACE_ENTRY(IEventListener)
    END_COM_MAP()
    STDMETHOD(OnEvent)(DWORD id, DWORD_PTR, DWORD_PTR) override {
        log->push_back(std::to_string(id));
        return 1;
    }
    Log* log = nullptr;
};

// The drag ability as the path-motion ability will answer: its drag flags,
// begin and end, and the drag-over listener.
class FakeDragAbility : public CComObjectRootBase,
                        public IPathAnimate,
                        public IDragControl,
                        public IEventListener {
public:
    BEGIN_COM_MAP(FakeDragAbility)
    COM_INTERFACE_ENTRY(IPathAnimate)
    COM_INTERFACE_ENTRY(IDragControl)
    COM_INTERFACE_ENTRY(IEventListener)
    END_COM_MAP()
    // The automation and private members: not used here.
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(get_CurveCount)(long*) override { return E_NOTIMPL; }
    STDMETHOD(get_TimeCount)(long*) override { return E_NOTIMPL; }
    STDMETHOD(GetCurPos)(long*, long*) override { return E_NOTIMPL; }
    STDMETHOD(RebuildPaths)() override { return S_OK; }
    STDMETHOD(DrawPaths)(IPixelBuffer*) override { return S_FALSE; }
    STDMETHOD(DrawPathsOn)(HDC) override { return S_FALSE; }
    STDMETHOD(GetBounds)(RECT* out) override {
        SetRectEmpty(out);
        return S_FALSE;
    }
    STDMETHOD_(BOOL, GetShowPaths)() override { return FALSE; }
    STDMETHOD(SetShowPaths)(BOOL) override { return S_OK; }
    STDMETHOD(Load)(ITeskStream*) override { return S_OK; }
    STDMETHOD(Save)(ITeskStream*) override { return S_OK; }
    STDMETHOD(Attach)(IUnknown*) override { return S_OK; }
    STDMETHOD(GetTwoValues)(LONG*, LONG*) override { return S_OK; }
    STDMETHOD(BeginDrag)() override {
        log->push_back("begin");
        return S_OK;
    }
    STDMETHOD(EndDrag)() override {
        log->push_back("end");
        return S_OK;
    }
    STDMETHOD(Reserved9)() override { return S_OK; }
    STDMETHOD(Reserved10)() override { return S_OK; }
    STDMETHOD(Reserved11)() override { return S_OK; }
    STDMETHOD(Reserved12)() override { return S_OK; }
    STDMETHOD_(WORD, GetFlags)() override { return flags; }
    STDMETHOD(OnEvent)(DWORD id, DWORD_PTR wParam, DWORD_PTR arg) override {
        const DragRecord* r = reinterpret_cast<const DragRecord*>(arg);
        char text[96];
        snprintf(text, sizeof(text), "%lu w%u at %ld,%ld from %ld,%ld down %ld,%ld", id,
                 (unsigned)wParam, r->x, r->y, r->startX, r->startY, r->downX, r->downY);
        log->push_back(text);
        return S_OK;
    }
    WORD flags = 1;
    Log* log = nullptr;
};

// An ActiveX control object: a solid object that also answers the control
// interface, with a control window of its own.
class AxProbe : public ObjectBase<AxProbe>, public AxObject {
public:
    BEGIN_COM_MAP(AxProbe)
    COM_INTERFACE_ENTRY(IObjectBase)
    COM_INTERFACE_ENTRY(II_IRender)
    COM_INTERFACE_ENTRY(IAbilityContainer)
    COM_INTERFACE_ENTRY(IObjectEvent)
    COM_INTERFACE_ENTRY(AxObject)
    END_COM_MAP()
    // IDispatch and the shared members: not used here.
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHOD(get_ObjName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjID)(long*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjWidth)(long*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjWidth)(long) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjHeight)(long*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjHeight)(long) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjXCenter)(long*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjXCenter)(long) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjYCenter)(long*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjYCenter)(long) override { return E_NOTIMPL; }
    STDMETHOD(MoveTo)(long, long) override { return E_NOTIMPL; }
    STDMETHOD(Offset)(long, long) override { return E_NOTIMPL; }
    // The control interface.
    STDMETHOD(GetControlWindow)(HWND* out) override {
        *out = window;
        return window ? S_FALSE : S_OK;
    }
    STDMETHOD(GetStockEventFiring)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(SetStockEventFiring)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(MSG* message) override {
        translated.push_back(message->message);
        return answer;
    }
    STDMETHOD(HasOwnWindow)() override { return window ? S_OK : S_FALSE; }
    STDMETHOD(Invalidate)(const RECT*) override { return S_OK; }

    HWND window = nullptr;
    HRESULT answer = S_FALSE;
    std::vector<UINT> translated;
};

HRESULT CreateAxProbe(IUnknown** out) {
    return ComCreateInstance<AxProbe>(IID_IUnknown, reinterpret_cast<void**>(out));
}

// An editing object's window-message part: records its calls and answers
// each message as told (0 handled, 1 the view too).
class FakeHook : public CComObjectRootBase, public IWndMsgHandler {
public:
    BEGIN_COM_MAP(FakeHook)
    COM_INTERFACE_ENTRY(IWndMsgHandler)
    END_COM_MAP()
    STDMETHOD(BeginHook)(void* record) override {
        const WndHookRecord* r = static_cast<const WndHookRecord*>(record);
        begun = *r;
        log.push_back("begin");
        return beginResult;
    }
    STDMETHOD(FocusLost)() override {
        log.push_back("focus lost");
        return S_OK;
    }
    STDMETHOD(EndHook)() override {
        log.push_back("end");
        return S_OK;
    }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(Reserved7)() override { return S_OK; }
    STDMETHOD(HandleMessage)
    (HWND window, HDC dc, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (only && message != only)
            return 0;  // the system's own (a focus change under load) is not the case's
        char text[64];
        snprintf(text, sizeof(text), "0x%X %d,%d%s", message, (SHORT)LOWORD(lParam),
                 (SHORT)HIWORD(lParam), dc && window ? "" : " no dc");
        if (message == WM_COMMAND)
            snprintf(text, sizeof(text), "command %u", (unsigned)LOWORD(wParam));
        log.push_back(text);
        if (result)
            *result = 77;
        if (endOn == message && view)
            view->ChangeWndProc(FALSE, nullptr);
        auto it = answers.find(message);
        return it == answers.end() ? 0 : it->second;
    }
    WndHookRecord begun = {};
    HRESULT beginResult = S_OK;
    std::map<UINT, HRESULT> answers;
    Log log;
    UINT endOn = 0;  // a message on which the object ends the hook itself
    UINT only = 0;   // when set, other messages are not recorded
    CPlayerView* view = nullptr;
};

class TopicInputTest : public PlayerFixture {
protected:
    void SetUp() override {
        RegisterSolid(registry);
        // The built-in ActiveX control class is made by the probe here.
        static ModuleCreator axCreator = {MODULE_KIND_BUILTIN, CreateAxProbe, 0, 0};
        const CLSID activeX = {
            0xD5738C6D, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
        ModuleSearch search = {};
        search.clsid = activeX;
        ModuleEntry* entry = registry.FindFirst(MODULE_OBJECT, MODULE_MATCH_CLSID, &search);
        ASSERT_NE(entry, nullptr);
        entry->pCreator = &axCreator;
        ASSERT_TRUE(LoadTypeLib());
        // No context menu, no hold timer.
        work.prjInfo.options = 0;
        work.pages = {{"A", "", "Bkg", "", "", "B"}, {"B", "", "Bkg", "", "", ""}};
        PutGreenBackground(work);
        CanvasSpec a;
        // box covers logical 350..449 x 250..349, ax 70..129 x 70..129.
        a.objects = {PlacedObject(kSolidType, "box", 400, 300, 100, 100),
                     PlacedObject(kActiveX, "ax", 100, 100, 60, 60)};
        PutCanvas(work, "A", a);
        ASSERT_EQ(OpenWork("input.mrt"), S_OK);
        ASSERT_TRUE(ShowView("input"));
        doc->StartPresentation();
        box = Find("box");
        ax = Find("ax");
        ASSERT_NE(box, nullptr);
        ASSERT_NE(ax, nullptr);
        recorder = pixtest::Make<Recorder>();
        recorder->log = &log;
        box->m_event->AddListener(recorder->GetUnknown());
        // The window may get a pointer move where it appeared: not a test's.
        DrainMessages();
        doc->GetTopics()->ForgetObjects();
        log.clear();
    }
    void TearDown() override {
        CloseDocument();
        recorder.Release();
        PlayerFixture::TearDown();
    }
    CObjWrapper* Find(const char* name) {
        return doc->GetCanvasSet()->page->GetList()->FindByName(name, nullptr);
    }
    // Puts the fake drag ability into the object's path-motion slot.
    void GiveDragAbility(CObjWrapper* object, FakeDragAbility* ability) {
        CComPtr<IAbilityContainer> container;
        object->m_base->QueryInterface(__uuidof(IAbilityContainer),
                                       reinterpret_cast<void**>(&container));
        ASSERT_NE(container, nullptr);
        ASSERT_EQ(
            container->SetAbility(L"PathAnimate", -1, ability ? ability->GetUnknown() : nullptr),
            S_OK);
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageA(view->m_hWnd, message, wParam, lParam);
    }
    WNDPROC Proc() const {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(view->m_hWnd, GWLP_WNDPROC));
    }
    AxProbe* Ax() const { return static_cast<AxProbe*>(static_cast<ObjectBaseItf*>(ax->m_base)); }

    CObjWrapper* box = nullptr;
    CObjWrapper* ax = nullptr;
    CComPtr<CComObject<Recorder>> recorder;
    Log log;
};

// A press and release on an object: the up event always, the click only
// when the pointer stayed within 2 pixels in x and in y.
TEST_F(TopicInputTest, ClickTolerance) {
    const struct {
        LONG dx, dy;
        bool click;
    } cases[] = {
        {0, 0, true},  {2, 2, true},   {-2, -2, true}, {2, -2, true}, {3, 0, false},
        {0, 3, false}, {-3, 0, false}, {0, -3, false}, {3, 3, false}, {2, 3, false},
    };
    for (const auto& c : cases) {
        log.clear();
        Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
        Send(WM_LBUTTONUP, 0, Device(400 + c.dx, 300 + c.dy));
        Log expected = {"1100", "1101"};
        if (c.click)
            expected.push_back("1103");
        // The first press also makes the box the pressed object.
        if (!log.empty() && log[0] == "1113")
            log.erase(log.begin());
        EXPECT_EQ(log, expected) << c.dx << "," << c.dy;
    }
}

// During a page transition input is not routed: the view answers with the
// default procedure and no object hears of it.
TEST_F(TopicInputTest, NoInputDuringTransition) {
    doc->GetSequencer()->SetTransitionMode(true);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    Send(WM_LBUTTONUP, 0, Device(400, 300));
    Send(WM_KEYDOWN, 'A', 1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(doc->GetTopics()->GetPressed(), nullptr);
    doc->GetSequencer()->SetTransitionMode(false);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    EXPECT_EQ(log, (Log{"1113", "1100"}));
}

// A right click only where the button went down, and only without a pointer
// move (without the left button) in between.
TEST_F(TopicInputTest, RightClick) {
    const struct {
        bool moveBetween;
        LONG upDx;
        Log expected;
    } cases[] = {
        {false, 0, {"1104", "1105", "1107"}},
        {false, 1, {"1104", "1105"}},
        {true, 0, {"1104", "1111", "1115", "1105"}},
    };
    for (const auto& c : cases) {
        doc->GetTopics()->ForgetObjects();
        // The right button presses no new object: the left one chooses it.
        Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
        Send(WM_LBUTTONUP, 0, Device(400, 300));
        log.clear();
        Send(WM_RBUTTONDOWN, MK_RBUTTON, Device(400, 300));
        if (c.moveBetween)
            Send(WM_MOUSEMOVE, MK_RBUTTON, Device(400, 300));
        Send(WM_RBUTTONUP, 0, Device(400 + c.upDx, 300));
        EXPECT_EQ(log, c.expected) << c.moveBetween << " " << c.upDx;
    }
}

// Press, moves with the button held and release on an object whose drag
// ability allows dragging (or not): the events and the ability's calls in
// their order; no click after a drag; the size-all cursor while dragging.
TEST_F(TopicInputTest, DragSequences) {
    enum Ability { NONE, ALLOWED, REFUSED };
    const struct {
        const char* name;
        Ability ability;
        LONG firstDx;  // the first move, from the press at (410, 305)
        Log expected;
    } cases[] = {
        {"drag",
         ALLOWED,
         4,
         {"1113", "1100", "begin", "1117", "1119 w1 at 414,305 from 400,300 down 410,305", "1116",
          "1119 w1 at 430,315 from 400,300 down 410,305", "1116", "1118", "end", "1101"}},
        // 3 pixels are not yet a drag; the next move is.
        {"three pixels",
         ALLOWED,
         3,
         {"1113", "1100", "1116", "begin", "1117", "1119 w1 at 430,315 from 400,300 down 410,305",
          "1116", "1118", "end", "1101"}},
        {"drag not allowed", REFUSED, 4, {"1113", "1100", "1116", "1116", "1101"}},
        {"no drag ability", NONE, 4, {"1113", "1100", "1116", "1116", "1101"}},
    };
    HCURSOR sizeAll = LoadCursor(nullptr, IDC_SIZEALL);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh pressed object each time.
        doc->GetTopics()->ForgetObjects();
        CComPtr<CComObject<FakeDragAbility>> ability = pixtest::Make<FakeDragAbility>();
        ability->log = &log;
        ability->flags = c.ability == REFUSED ? 0xFFFE : 1;
        if (c.ability != NONE)
            GiveDragAbility(box, ability);
        log.clear();
        // Off the centre (400, 300), which the drag start reports.
        Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(410, 305));
        Send(WM_MOUSEMOVE, MK_LBUTTON, Device(410 + c.firstDx, 305));
        Send(WM_MOUSEMOVE, MK_LBUTTON, Device(430, 315));
        bool dragging = c.ability == ALLOWED;
        EXPECT_EQ(dragging, GetClassLongPtrA(view->m_hWnd, GCLP_HCURSOR) == (ULONG_PTR)sizeAll);
        Send(WM_LBUTTONUP, 0, Device(430, 315));
        EXPECT_NE(GetClassLongPtrA(view->m_hWnd, GCLP_HCURSOR), (ULONG_PTR)sizeAll);
        EXPECT_EQ(log, c.expected);
        if (c.ability != NONE)
            GiveDragAbility(box, nullptr);
        ability.Release();
    }
}

// Dragging an object whose path motion holds it to the drag points: it
// lands on the point of its path nearest to where the pointer took it.
TEST_F(TopicInputTest, DragAlongTheDragPoints) {
    CComPtr<IUnknown> unknown;
    ASSERT_EQ(CreatePathMotion(&unknown), S_OK);
    CComPtr<IAbilityCreate> ability;
    unknown->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&ability));
    ASSERT_EQ(ability->Attach(box->m_base), S_OK);
    PathMotionRecord record;
    record.motionFlags = 3;  // no automatic motion
    record.dragFlags = 1 | 4;
    record.dragPath = 0;
    MotionPathRecord line;
    line.points = {{0, 0}, {200, 0}};
    record.paths = {line};
    ASSERT_EQ(ability->LoadOwn(MemStreamOf(WritePathMotionRecord(record))), S_OK);
    CComPtr<IAbility> clock;
    unknown->QueryInterface(__uuidof(IAbility), reinterpret_cast<void**>(&clock));
    ASSERT_EQ(clock->Start(), S_OK);
    CComPtr<IAbilityContainer> container;
    box->m_base->QueryInterface(__uuidof(IAbilityContainer), reinterpret_cast<void**>(&container));
    ASSERT_EQ(container->SetAbility(L"PathAnimate", -1, unknown), S_OK);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    Send(WM_MOUSEMOVE, MK_LBUTTON, Device(440, 320));
    Send(WM_MOUSEMOVE, MK_LBUTTON, Device(470, 340));
    Send(WM_LBUTTONUP, 0, Device(470, 340));
    // The line runs from the box's centre 200 units to the right.
    EXPECT_NEAR(box->m_render->GetXCenter(), 470, 3);
    EXPECT_EQ(box->m_render->GetYCenter(), 300);
    clock->Stop();
    ASSERT_EQ(container->SetAbility(L"PathAnimate", -1, nullptr), S_OK);
}

// A drag ends on the ability it began on even when a page change took the
// pressed object away in between.
TEST_F(TopicInputTest, DragEndsAfterThePageChanged) {
    CComPtr<CComObject<FakeDragAbility>> ability = pixtest::Make<FakeDragAbility>();
    ability->log = &log;
    GiveDragAbility(box, ability);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    Send(WM_MOUSEMOVE, MK_LBUTTON, Device(410, 300));
    doc->OnNavigate(32813);
    ASSERT_EQ(doc->GetCanvasSet()->page->GetStub()->GetName(), std::string("B"));
    EXPECT_EQ(doc->GetTopics()->GetPressed(), nullptr);
    log.clear();
    Send(WM_LBUTTONUP, 0, Device(410, 300));
    EXPECT_EQ(log, (Log{"end"}));
    ability.Release();
}

// The editing object's hook: its start record, the hooked procedure, and
// the end calls when it is removed; an object without the interface changes
// nothing, one whose start fails is let go.
TEST_F(TopicInputTest, HookOnAndOff) {
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    EXPECT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    EXPECT_TRUE(view->IsHooked());
    EXPECT_EQ(Proc(), &CPlayerView::HookedWindowProc);
    EXPECT_EQ(hook->begun.cbSize, (DWORD)sizeof(WndHookRecord));
    EXPECT_EQ(hook->begun.hWnd, view->m_hWnd);
    EXPECT_NE(hook->begun.hDC, nullptr);
    EXPECT_EQ(hook->RefCount(), 2);
    EXPECT_TRUE(view->ChangeWndProc(FALSE, nullptr));
    EXPECT_EQ(hook->log, (Log{"begin", "focus lost", "end"}));
    EXPECT_FALSE(view->IsHooked());
    EXPECT_EQ(Proc(), &CPlayerView::ViewWindowProc);
    EXPECT_EQ(hook->RefCount(), 1);
    // Off without a hook is nothing.
    EXPECT_TRUE(view->ChangeWndProc(FALSE, nullptr));

    // A recorder has no window-message part.
    EXPECT_TRUE(view->ChangeWndProc(TRUE, recorder->GetUnknown()));
    EXPECT_FALSE(view->IsHooked());
    EXPECT_EQ(Proc(), &CPlayerView::ViewWindowProc);

    hook->log.clear();
    hook->beginResult = E_FAIL;
    EXPECT_FALSE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    EXPECT_FALSE(view->IsHooked());
    EXPECT_EQ(Proc(), &CPlayerView::ViewWindowProc);
    EXPECT_EQ(hook->RefCount(), 1);
    EXPECT_EQ(hook->log, (Log{"begin"}));
    hook.Release();
}

// A second hook replaces the first, which ends; a page change (Refresh)
// removes the hook.
TEST_F(TopicInputTest, HookReplacedAndRemovedByPageChange) {
    CComPtr<CComObject<FakeHook>> first = pixtest::Make<FakeHook>();
    CComPtr<CComObject<FakeHook>> second = pixtest::Make<FakeHook>();
    view->ChangeWndProc(TRUE, first->GetUnknown());
    view->ChangeWndProc(TRUE, second->GetUnknown());
    EXPECT_EQ(first->log, (Log{"begin", "focus lost", "end"}));
    EXPECT_EQ(first->RefCount(), 1);
    doc->OnNavigate(32813);
    EXPECT_EQ(second->log, (Log{"begin", "focus lost", "end"}));
    EXPECT_FALSE(view->IsHooked());
    EXPECT_EQ(Proc(), &CPlayerView::ViewWindowProc);
    first.Release();
    second.Release();
}

// While hooked, focus, context menu, keys, characters and 0x200 to 0x205
// go to the hook (mouse points in page units); an answer of 1 passes the
// message to the view too; the clipboard commands go to the hook only while
// playing; anything else goes to the view alone.
TEST_F(TopicInputTest, HookedRouting) {
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    // The box is the pressed object, so keys reach it through the view.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    Send(WM_LBUTTONUP, 0, Device(400, 300));
    ASSERT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    DrainMessages();
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        HRESULT answer;
        const char* hookSees;  // null: the hook is not asked
        Log boxGets;
    } cases[] = {
        {WM_KEYDOWN, 'A', 0x001E0001, 0, "0x100 1,30", {}},
        {WM_KEYDOWN, 'A', 0x001E0001, 1, "0x100 1,30", {"1008"}},
        {WM_KEYUP, 'A', 0xC01E0001, 1, "0x101 1,-16354", {"1009"}},
        {WM_CHAR, 'a', 0x001E0001, 0, "0x102 1,30", {}},
        {WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300), 0, "0x201 400,300", {}},
        {WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300), 1, "0x201 400,300", {"1100"}},
        {WM_LBUTTONUP, 0, Device(401, 301), 1, "0x202 401,301", {"1101", "1103"}},
        {WM_MOUSEMOVE, MK_LBUTTON, Device(405, 300), 1, "0x200 405,300", {"1116"}},
        {WM_RBUTTONUP, 0, Device(405, 300), 0, "0x205 405,300", {}},
        {WM_RBUTTONDBLCLK, 0, Device(405, 300), 0, nullptr, {"1106"}},
        {WM_SETFOCUS, 0, 0, 0, "0x7 0,0", {}},
        {WM_CONTEXTMENU, 0, MAKELPARAM(600, 400), 1, "0x7B 600,400", {}},
        {WM_COMMAND, 32007, 0, 0, "command 32007", {}},
        {WM_COMMAND, 32009, 0, 0, nullptr, {}},
    };
    for (const auto& c : cases) {
        hook->log.clear();
        hook->answers[c.message] = c.answer;
        hook->only = c.message;
        log.clear();
        LRESULT r = Send(c.message, c.wParam, c.lParam);
        Log hookSees;
        if (c.hookSees)
            hookSees.push_back(c.hookSees);
        EXPECT_EQ(hook->log, hookSees) << std::hex << c.message << " answer " << c.answer;
        EXPECT_EQ(log, c.boxGets) << std::hex << c.message << " answer " << c.answer;
        // Handled by the hook alone: the hook's result.
        if (c.hookSees && c.answer == 0) {
            EXPECT_EQ(r, 77) << std::hex << c.message;
        }
    }
    hook->only = 0;
    // Paused: the clipboard commands stay with the view.
    doc->GetPlaySite()->SetPlayState(1);
    hook->log.clear();
    Send(WM_COMMAND, 32006, 0);
    EXPECT_TRUE(hook->log.empty());
    doc->GetPlaySite()->SetPlayState(0);
    // Paint: the view paints, then the hook is told, once whatever it answers.
    hook->answers[WM_PAINT] = 1;
    hook->only = WM_PAINT;
    hook->log.clear();
    InvalidateRect(view->m_hWnd, nullptr, FALSE);
    UpdateWindow(view->m_hWnd);
    ASSERT_EQ(hook->log.size(), 1u);
    EXPECT_EQ(hook->log[0].substr(0, 4), "0xF ");
    RECT dirty;
    EXPECT_FALSE(GetUpdateRect(view->m_hWnd, &dirty, FALSE));
    view->ChangeWndProc(FALSE, nullptr);
    hook.Release();
}

struct MenuSeen {
    int shown = 0;
    POINT at = {0, 0};
    HWND owner = nullptr;
    std::vector<UINT> ids;
};
MenuSeen g_menu;

BOOL RecordMenu(HMENU menu, UINT, int x, int y, HWND owner) {
    ++g_menu.shown;
    g_menu.at = {x, y};
    g_menu.owner = owner;
    g_menu.ids.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) g_menu.ids.push_back(GetMenuItemID(menu, i));
    return 0;
}

// The context menu reaches the view through the hook only when the hook
// answers 1; it is shown through the pop-up menu seam at the message's
// screen point.
TEST_F(TopicInputTest, ContextMenuThroughTheHook) {
    PFNPOPUPMENUHANDLER previous = SetPopupMenuHandler(RecordMenu);
    g_menu = MenuSeen();
    doc->GetProject()->SetOptions(1 | 2);  // the menu, with exit
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    ASSERT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    hook->answers[WM_CONTEXTMENU] = 0;
    Send(WM_CONTEXTMENU, (WPARAM)view->m_hWnd, MAKELPARAM(600, 400));
    EXPECT_EQ(g_menu.shown, 0);
    hook->answers[WM_CONTEXTMENU] = 1;
    Send(WM_CONTEXTMENU, (WPARAM)view->m_hWnd, MAKELPARAM(600, 400));
    EXPECT_EQ(g_menu.shown, 1);
    EXPECT_EQ(g_menu.at.x, 600);
    EXPECT_EQ(g_menu.at.y, 400);
    EXPECT_EQ(g_menu.owner, view->m_hWnd);
    EXPECT_EQ(g_menu.ids, std::vector<UINT>{32950});
    view->ChangeWndProc(FALSE, nullptr);
    Send(WM_CONTEXTMENU, (WPARAM)view->m_hWnd, MAKELPARAM(10, 20));
    EXPECT_EQ(g_menu.shown, 2);
    SetPopupMenuHandler(previous);
    hook.Release();
}

// An object may end its hook while it handles a message.
TEST_F(TopicInputTest, HookEndsItselfWhileHandling) {
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    hook->view = view;
    hook->endOn = WM_CHAR;
    hook->answers[WM_CHAR] = 1;
    ASSERT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    Send(WM_CHAR, 'x', 1);
    EXPECT_EQ(hook->log, (Log{"begin", "0x102 1,0", "focus lost", "end"}));
    EXPECT_FALSE(view->IsHooked());
    EXPECT_EQ(Proc(), &CPlayerView::ViewWindowProc);
    EXPECT_EQ(hook->RefCount(), 1);
    hook.Release();
}

// Ctrl+C, V and X become the clipboard commands only while a hook is set.
TEST_F(TopicInputTest, AcceleratorsOnlyWhileHooked) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE saved[256];
    memcpy(saved, keys, sizeof(keys));
    keys[VK_CONTROL] = 0x80;
    keys[VK_LCONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG msg = {};
    msg.hwnd = view->m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = 'C';
    msg.lParam = 0x002E0001;
    EXPECT_FALSE(view->PreTranslateMessage(&msg));
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    ASSERT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    hook->log.clear();
    EXPECT_TRUE(view->PreTranslateMessage(&msg));
    EXPECT_EQ(hook->log, (Log{"command 32006"}));
    msg.wParam = 'Q';
    hook->log.clear();
    EXPECT_FALSE(view->PreTranslateMessage(&msg));
    EXPECT_TRUE(hook->log.empty());
    SetKeyboardState(saved);
    view->ChangeWndProc(FALSE, nullptr);
    hook.Release();
}

// Focus filter: no message clears the pressed object; a left press over an
// ActiveX control object makes it pressed and gives its window the focus;
// over any other object nothing changes.
TEST_F(TopicInputTest, FocusFilter) {
    HWND control = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                   view->m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_NE(control, nullptr);
    Ax()->window = control;
    CTopicManager* t = doc->GetTopics();
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    ASSERT_EQ(t->GetPressed(), box);
    t->FocusFilter(nullptr);
    EXPECT_EQ(t->GetPressed(), nullptr);

    MSG msg = {};
    msg.message = WM_LBUTTONDOWN;
    msg.hwnd = view->m_hWnd;
    POINT screen = {400 + 112, 300 + 84};
    ClientToScreen(view->m_hWnd, &screen);
    msg.pt = screen;
    t->FocusFilter(&msg);
    EXPECT_EQ(t->GetPressed(), nullptr);
    SetFocus(view->m_hWnd);
    POINT overAx = {100 + 112, 100 + 84};
    ClientToScreen(view->m_hWnd, &overAx);
    msg.pt = overAx;
    msg.message = WM_MOUSEMOVE;
    t->FocusFilter(&msg);
    EXPECT_EQ(t->GetPressed(), nullptr);
    msg.message = WM_LBUTTONDOWN;
    t->FocusFilter(&msg);
    EXPECT_EQ(t->GetPressed(), ax);
    EXPECT_EQ(GetFocus(), control);
    // The router's own press on the control object leaves the focus there.
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(100, 100));
    EXPECT_EQ(GetFocus(), control);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
    EXPECT_EQ(GetFocus(), view->m_hWnd);
    // A press beside every object takes the focus back as well.
    SetFocus(control);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(700, 500));
    EXPECT_EQ(t->GetPressed(), nullptr);
    EXPECT_EQ(GetFocus(), view->m_hWnd);
    DestroyWindow(control);
}

// The message filter: with an ActiveX control object pressed while playing,
// the control's pre-translation decides whether the message goes on; not
// while paused, nor for other objects.
TEST_F(TopicInputTest, ActiveXPreTranslation) {
    const struct {
        const char* press;
        DWORD playState;
        HRESULT answer;
        bool consumed;
        bool asked;
    } cases[] = {
        {"ax", 0, S_OK, true, true},
        {"ax", 0, S_FALSE, false, true},
        {"ax", 1, S_OK, false, false},
        {"box", 0, S_OK, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        doc->GetPlaySite()->SetPlayState(0);
        if (std::string(c.press) == "ax")
            Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(100, 100));
        else
            Send(WM_LBUTTONDOWN, MK_LBUTTON, Device(400, 300));
        doc->GetPlaySite()->SetPlayState(c.playState);
        Ax()->answer = c.answer;
        Ax()->translated.clear();
        MSG msg = {};
        msg.hwnd = view->m_hWnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_TAB;
        EXPECT_EQ(view->PreTranslateMessage(&msg), c.consumed ? TRUE : FALSE);
        EXPECT_EQ(Ax()->translated, c.asked ? std::vector<UINT>{WM_KEYDOWN} : std::vector<UINT>{});
    }
    doc->GetPlaySite()->SetPlayState(0);
}

// The filter routes mouse messages of other windows (a control's window
// over the page) as if the view had them, at the same screen point.
TEST_F(TopicInputTest, MouseOfOtherWindowsRouted) {
    // Device (500, 370) is logical (388, 286).
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 500, 370, 40, 40,
                                 view->m_hWnd, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    MSG msg = {};
    msg.hwnd = child;
    msg.message = WM_LBUTTONDOWN;
    msg.wParam = MK_LBUTTON;
    msg.lParam = MAKELPARAM(12, 14);
    log.clear();
    view->PreTranslateMessage(&msg);
    EXPECT_EQ(log, (Log{"1113", "1100"}));
    EXPECT_EQ(doc->GetTopics()->GetPressed(), box);
    DestroyWindow(child);
}

// The window-handle map finds a view for its window and the window's
// descendants; a window without a view gets 0 from both procedures.
TEST_F(TopicInputTest, WindowMapLookup) {
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, view->m_hWnd, nullptr,
                                 nullptr, nullptr);
    HWND grandChild =
        CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 2, 2, child, nullptr, nullptr, nullptr);
    HWND other =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(WndMapLookup(view->m_hWnd), view);
    EXPECT_EQ(WndMapLookup(child), view);
    EXPECT_EQ(WndMapLookup(grandChild), view);
    EXPECT_EQ(WndMapLookup(other), nullptr);
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    ASSERT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    hook->log.clear();
    EXPECT_EQ(CPlayerView::HookedWindowProc(other, WM_KEYDOWN, 'A', 0), 0);
    EXPECT_EQ(CPlayerView::ViewWindowProc(other, WM_HELP, 0, 0), 0);
    EXPECT_EQ(CPlayerView::HookedWindowProc(view->m_hWnd, WM_HELP, 0, 0), 1);
    EXPECT_TRUE(hook->log.empty());
    view->ChangeWndProc(FALSE, nullptr);
    hook.Release();
    DestroyWindow(other);
    DestroyWindow(child);
}

// A window destroyed while hooked still ends the message loop with 1 and
// leaves the map; the view lets the hook go when it is deleted.
TEST_F(TopicInputTest, DestroyedWhileHooked) {
    CComPtr<CComObject<FakeHook>> hook = pixtest::Make<FakeHook>();
    ASSERT_TRUE(view->ChangeWndProc(TRUE, hook->GetUnknown()));
    HWND window = view->m_hWnd;
    view->DestroyWindow();
    EXPECT_EQ(view->m_hWnd, nullptr);
    EXPECT_EQ(WndMapLookup(window), nullptr);
    bool quit = false;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
        if (m.message == WM_QUIT)
            quit = m.wParam == 1;
    EXPECT_TRUE(quit);
    delete view;
    view = nullptr;
    doc->SetView(nullptr);
    EXPECT_EQ(hook->RefCount(), 1);
    hook.Release();
}

}  // namespace
