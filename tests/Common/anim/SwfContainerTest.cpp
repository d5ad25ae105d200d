// The Flash container: its site answers, and what happens where the Flash
// control is not installed.
#include <gtest/gtest.h>

#include <ocidl.h>
#include <olectl.h>
#include <servprov.h>
#include <urlmon.h>

#include <string>

#include "TestFiles.h"
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
}
