// The Flash container: its site answers, and what happens where the Flash
// control is not installed.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>
#include <urlmon.h>

#include <string.h>

#include <string>
#include <vector>

#include "FakeFlash.h"
#include "PixelFixtures.h"
#include "TestFiles.h"
#include "aPixBuf.h"
#include "bStrConv.h"
#include "bAnimCtrl.h"
#include "bSwfContainer.h"

namespace {

const GUID kBindHostService = {
    0xFC4801A1, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};
const IID kOwnDispatch = {
    0xE5BE5489, 0xE638, 0x11D4, {0x94, 0x20, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};

}  // namespace

TEST(SwfContainer, SiteAnswersWithoutAControl) {
    ISWFContainer* c = nullptr;
    ASSERT_EQ(CreateSWFContainer(&c), S_OK);
    EXPECT_EQ(c->IsStopped(), 1);
    EXPECT_EQ(c->Play(), E_FAIL);
    EXPECT_EQ(c->Stop(), E_FAIL);
    EXPECT_EQ(c->GotoFrame(3), E_FAIL);
    EXPECT_EQ(c->Rewind(), E_FAIL);
    long frames = 5;
    EXPECT_EQ(c->IsMovieLoaded(&frames), E_FAIL);
    EXPECT_EQ(frames, 0);
    EXPECT_FALSE(c->IsActivated());

    IServiceProvider* services = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IServiceProvider, (void**)&services), S_OK);
    IBindHost* host = nullptr;
    EXPECT_EQ(services->QueryService(kBindHostService, IID_IBindHost, (void**)&host), S_OK);
    ASSERT_TRUE(host);
    void* other = &other;
    EXPECT_EQ(services->QueryService(IID_IOleClientSite, IID_IOleClientSite, &other),
              E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    services->Release();

    IMoniker* moniker = nullptr;
    EXPECT_EQ(host->CreateMoniker(nullptr, nullptr, &moniker, 0), E_INVALIDARG);
    EXPECT_EQ(
        host->CreateMoniker(const_cast<LPOLESTR>(L"http://localhost/a.swf"), nullptr, nullptr, 0),
        E_POINTER);
    EXPECT_EQ(host->CreateMoniker(const_cast<LPOLESTR>(L"file:///c:/a.swf"), nullptr, &moniker, 0),
              S_OK);
    if (moniker)
        moniker->Release();
    host->Release();

    ISupportErrorInfo* errors = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_ISupportErrorInfo, (void**)&errors), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(kOwnDispatch), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    errors->Release();
    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IConnectionPointContainer, (void**)&points), S_OK);
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(points);
    EXPECT_EQ(points->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point, nullptr);
    points->Release();
    IOleInPlaceSiteWindowless* site = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IOleInPlaceSiteWindowless, (void**)&site), S_OK);
    HWND window = nullptr;
    EXPECT_EQ(site->GetWindow(&window), E_FAIL);
    EXPECT_EQ(site->CanWindowlessActivate(), S_OK);
    site->Release();
    EXPECT_EQ(c->Release(), 0u);
}

// Where the Flash control is not installed a Flash movie does not open.
TEST(SwfContainer, NoFlashControlNoMovie) {
    CoInitialize(nullptr);
    TempFolder folder;
    const std::string movie = folder.File("movie.SWF");
    ASSERT_TRUE(WriteFileBytes(movie, std::string("FWS\x06\0\0\0\0\x78", 9)));
    LogCapture log;
    ISWFContainer* c = nullptr;
    ASSERT_EQ(CreateSWFContainer(&c), S_OK);
    EXPECT_FALSE(c->QuickActivate(movie.c_str()));
    c->Release();

    CAnimCtrl* control = new CAnimCtrl(nullptr);
    control->AddRef();
    EXPECT_EQ(control->Open(movie.c_str(), 0), E_FAIL);
    EXPECT_EQ(control->IsClosed(), E_FAIL);
    IPixelBuffer* picture = nullptr;
    EXPECT_EQ(control->GrabFrame(&picture), E_FAIL);
    EXPECT_EQ(control->FlashPlay(), E_FAIL);
    control->Release();
    const std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "CreateInstance IID_IShockwaveFlash Failed!"));
    EXPECT_TRUE(Logged(text, "CSWFContainer::QuickActivate FAILED"));
    EXPECT_TRUE(Logged(text, "m_pMvrFlashPlayer->putSWFName(" + movie + ") FAILED"));
    EXPECT_TRUE(Logged(text, "Load Movie failed"));
    CoUninitialize();
}

namespace {

// A Flash control stand-in registered for the test, and library 3.
class FlashControlTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        FakeFlash::state = FakeFlash::State();
        ASSERT_EQ(FakeFlash::Register(&m_cookie), S_OK);
        char self[MAX_PATH + 4];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        strcat(self, "\\3");
        ITypeLib* lib = nullptr;
        ASSERT_EQ(LoadTypeLibEx(WideFromMultibyte(self).c_str(), REGKIND_REGISTER, &lib), S_OK);
        lib->Release();
    }
    void TearDown() override {
        FakeFlash::Revoke(m_cookie);
        CoUninitialize();
    }
    static std::vector<std::string>& Calls() { return FakeFlash::state.calls; }
    // The calls from `from` on.
    static std::vector<std::string> CallsFrom(size_t from) {
        return std::vector<std::string>(Calls().begin() + from, Calls().end());
    }

private:
    DWORD m_cookie = 0;
};

class CountingOwner : public IInvalidateTarget {
public:
    void Invalidate(const RECT* rect) override {
        ++count;
        whole = rect == nullptr;
    }
    int count = 0;
    bool whole = false;
};

}  // namespace

TEST_F(FlashControlTest, ActivationDrivesTheControlByName) {
    ISWFContainer* c = nullptr;
    ASSERT_EQ(CreateSWFContainer(&c), S_OK);
    RECT r = {0, 0, 40, 30};
    c->SetControlRect(&r);
    EXPECT_TRUE(c->QuickActivate("a.swf"));
    EXPECT_TRUE(c->IsActivated());
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"QuickActivate", "put_Movie a.swf", "put_WMode Opaque",
                                        "DoVerb -5", "put_Scale ExactFit", "get_BGColor",
                                        "put_BGColor #FFFFFF", "put_Loop false", "Stop"}));
    EXPECT_EQ(FakeFlash::state.rect.right, 40);
    // Again: the same control stops and takes the new movie.
    const size_t before = Calls().size();
    EXPECT_TRUE(c->QuickActivate("b.swf"));
    const std::vector<std::string> again = CallsFrom(before);
    ASSERT_GE(again.size(), 2u);
    EXPECT_EQ(again[0], "StopPlay");
    EXPECT_EQ(again[1], "put_Movie b.swf");
    EXPECT_EQ(FakeFlash::state.created, 1);

    // Its own dispatch interface answers through the registered library.
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(c->QueryInterface(IID_IDispatch, (void**)&dispatch), S_OK);
    UINT count = 0;
    dispatch->GetTypeInfoCount(&count);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    if (info)
        info->Release();
    dispatch->Release();
    c->Close();
    EXPECT_EQ(Calls().back(), "Close");
    c->Release();
}

TEST_F(FlashControlTest, NothingPlaysBeforeTheMovieIsLoaded) {
    FakeFlash::state.loadAfter = 1000;
    ISWFContainer* c = nullptr;
    ASSERT_EQ(CreateSWFContainer(&c), S_OK);
    ASSERT_TRUE(c->QuickActivate("a.swf"));
    LogCapture log;
    EXPECT_EQ(c->IsStopped(), 1);
    EXPECT_EQ(c->Play(), E_FAIL);
    EXPECT_EQ(c->Stop(), E_FAIL);
    EXPECT_EQ(c->GotoFrame(2), E_FAIL);
    long frames = 7;
    EXPECT_EQ(c->IsMovieLoaded(&frames), E_FAIL);
    EXPECT_EQ(frames, 0);
    EXPECT_FALSE(FakeFlash::state.playing);
    EXPECT_LOGGED(log, "CSWFContainer::IsMovieLoaded failed");

    FakeFlash::state.loadAfter = FakeFlash::state.percentCalls;
    EXPECT_EQ(c->Play(), S_OK);
    EXPECT_TRUE(FakeFlash::state.playing);
    EXPECT_EQ(c->IsStopped(), 0);
    EXPECT_EQ(c->GotoFrame(3), S_OK);
    long frame = 0;
    EXPECT_EQ(c->GetCurrentFrame(&frame), S_OK);
    EXPECT_EQ(frame, 3);
    EXPECT_EQ(c->IsMovieLoaded(&frames), S_OK);
    EXPECT_EQ(frames, 12);
    EXPECT_EQ(c->Stop(), S_OK);
    EXPECT_FALSE(FakeFlash::state.playing);
    c->Release();
}

TEST_F(FlashControlTest, MessagesReachTheControlOnlyAfterTheFirstDraw) {
    ISWFContainer* c = nullptr;
    ASSERT_EQ(CreateSWFContainer(&c), S_OK);
    ASSERT_TRUE(c->QuickActivate("a.swf"));
    MSG msg = {};
    msg.message = WM_LBUTTONDOWN;
    EXPECT_EQ(c->ForwardMessage(&msg), S_OK);
    EXPECT_TRUE(FakeFlash::state.messages.empty());
    HDC dc = CreateCompatibleDC(nullptr);
    c->Draw(dc);
    DeleteDC(dc);
    c->ForwardMessage(&msg);
    EXPECT_EQ(FakeFlash::state.messages, (std::vector<UINT>{WM_LBUTTONDOWN}));
    c->Release();
}

// The animation control over the stand-in: the movie keeps its name, frames
// are drawn into the drawing buffer, the owner hears of a new size.
TEST_F(FlashControlTest, AnimationControlPlaysAFlashMovie) {
    TempFolder folder;
    const std::string movie = folder.File("movie.SWF");
    ASSERT_TRUE(WriteFileBytes(movie, std::string("FWS\x06\0\0\0\0\x78", 9)));
    CAnimCtrl* control = new CAnimCtrl(nullptr);
    control->AddRef();
    ASSERT_EQ(control->Open(movie.c_str(), 0), S_OK);
    EXPECT_EQ(FakeFlash::state.movie, WideFromMultibyte(movie.c_str()));
    LONGLONG duration = 0;
    control->get_Duration(&duration);
    EXPECT_EQ(duration, 12);
    long w = 0, h = 0;
    control->get_VideoWidth(&w);
    control->get_VideoHeight(&h);
    EXPECT_EQ(w, 550);
    EXPECT_EQ(h, 400);

    EXPECT_EQ(control->FlashGotoFrame(4), S_OK);
    LONGLONG frame = 0;
    EXPECT_EQ(control->GetFlashFrame(&frame), S_OK);
    EXPECT_EQ(frame, 4);
    IPixelBuffer* first = nullptr;
    ASSERT_EQ(control->GrabFrame(&first), S_OK);
    const COLORREF c = FakeFlash::FrameColour(4);
    const DWORD want = ((DWORD)GetRValue(c) << 16) | ((DWORD)GetGValue(c) << 8) | GetBValue(c);
    EXPECT_EQ(ReadBufferInfo(first, BIM_GEOMETRY).nWidth, 300);
    EXPECT_EQ(pixtest::LockedPixel(first, 5, 5), want);
    IPixelBuffer* second = nullptr;
    ASSERT_EQ(control->GrabFrame(&second), S_OK);
    EXPECT_EQ(first, second);  // the drawing buffer itself
    first->Release();
    second->Release();
    MSG msg = {};
    msg.message = WM_KEYDOWN;
    control->ForwardMessageToFlash(&msg);
    EXPECT_EQ(FakeFlash::state.messages, (std::vector<UINT>{WM_KEYDOWN}));

    CountingOwner owner;
    EXPECT_EQ(control->SetFlashSize(40, 30, &owner), S_OK);
    EXPECT_EQ(FakeFlash::state.rect.right, 40);
    IOleInPlaceSiteWindowless* site = nullptr;
    ASSERT_EQ(FakeFlash::state.site->QueryInterface(IID_IOleInPlaceSiteWindowless, (void**)&site),
              S_OK);
    site->InvalidateRect(nullptr, FALSE);
    site->InvalidateRect(nullptr, FALSE);
    EXPECT_EQ(owner.count, 1);  // only after the move
    EXPECT_TRUE(owner.whole);
    site->Release();
    EXPECT_EQ(control->FlashPlay(), S_OK);
    EXPECT_TRUE(FakeFlash::state.playing);
    control->Close();
    EXPECT_EQ(Calls().back(), "Close");
    control->Release();
}
