// The video capture: frame rates, sizes and styles of the live window; the
// test camera's live picture in a child of the owner; and Wine's system,
// which has no camera: the set-up logs it and a start says so in a box.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "GraphNotice.h"
#include "TestCamera.h"
#include "TestFiles.h"
#include "aUtil.h"
#include "bMsgBox.h"
#include "bVideoCap.h"

namespace {

std::string Text(UINT id) {
    char loaded[512] = "";
    LoadResString(id, loaded, sizeof(loaded));
    return loaded;
}

// The texts of the boxes shown while alive.
class CaptureBoxes {
public:
    CaptureBoxes() {
        s_texts.clear();
        m_old = SetMessageBoxHandler(Answer);
    }
    ~CaptureBoxes() { SetMessageBoxHandler(m_old); }
    const std::vector<std::string>& Shown() const { return s_texts; }

private:
    static int Answer(HWND, const char* text, const char* caption, UINT type) {
        EXPECT_EQ(std::string(caption ? caption : ""), Text(130));
        EXPECT_EQ(type, (UINT)MB_ICONINFORMATION);
        s_texts.push_back(text ? text : "");
        return IDOK;
    }
    PFNMESSAGEBOXHANDLER m_old;
    inline static std::vector<std::string> s_texts;
};

CVideoCapture* NewCapture(HWND window) {
    IVideoCapture* c = nullptr;
    EXPECT_EQ(CreateVideoCapture(window, nullptr, &c), S_OK);
    return static_cast<CVideoCapture*>(c);
}

TEST(VideoCapTest, RatesSizesAndStylesOfTheLiveWindow) {
    ComScope com;
    CVideoCapture* c = NewCapture(nullptr);
    EXPECT_EQ(c->FrameRate(), 15);
    EXPECT_EQ(c->Width(), 480);
    EXPECT_EQ(c->Height(), 320);
    EXPECT_EQ(c->Style(), (DWORD)WS_CHILD);
    struct {
        int type, rate;
    } rates[] = {{0, 5}, {1, 10}, {2, 15}, {3, 20}, {4, 25}, {5, 30}, {6, 15}, {-1, 15}};
    for (const auto& r : rates) {
        EXPECT_EQ(c->SetFrameRate(r.type), S_OK);
        EXPECT_EQ(c->FrameRate(), r.rate) << r.type;
    }
    struct {
        int type;
        LONG width, height;
    } sizes[] = {{0, 80, 60},   {1, 160, 120}, {2, 320, 240}, {3, 480, 360},
                 {4, 640, 480}, {5, 800, 600}, {9, 320, 240}, {-3, 320, 240}};
    for (const auto& s : sizes) {
        EXPECT_EQ(c->SetSize(s.type), S_OK);
        EXPECT_EQ(c->Width(), s.width) << s.type;
        EXPECT_EQ(c->Height(), s.height) << s.type;
    }
    const LONG caption = GetSystemMetrics(SM_CYCAPTION);
    struct {
        int type;
        DWORD style;
    } styles[] = {{1, 0x40C00000}, {2, 0x40040000}, {0, WS_CHILD}, {7, WS_CHILD}};
    for (const auto& s : styles) {
        EXPECT_EQ(c->SetWindowStyle(s.type), S_OK);
        EXPECT_EQ(c->Style(), s.style) << s.type;
    }
    // The caption's height is added once, when the caption style comes first,
    // and again by every size chosen under it.
    c->SetSize(1);
    c->SetWindowStyle(1);
    EXPECT_EQ(c->Height(), 120 + caption);
    c->SetWindowStyle(1);
    EXPECT_EQ(c->Height(), 120 + caption);
    c->SetSize(1);
    EXPECT_EQ(c->Width(), 160);
    EXPECT_EQ(c->Height(), 120 + caption);
    EXPECT_EQ(c->Reserved5(), E_NOTIMPL);
    c->Release();
}

TEST(VideoCapTest, WithoutACameraAStartSaysSo) {
    ComScope com;
    CaptureBoxes boxes;
    LogCapture log;
    CVideoCapture* c = NewCapture(nullptr);
    EXPECT_NE(c->Graph(), nullptr);
    EXPECT_EQ(c->VideoFilter(), nullptr);
    EXPECT_EQ(c->StartCap(), E_FAIL);
    EXPECT_EQ(boxes.Shown(), std::vector<std::string>{Text(12167)});
    EXPECT_TRUE(c->Stopped());
    EXPECT_EQ(c->StopCap(), S_OK);
    c->Release();
    EXPECT_TRUE(Logged(log.Text(), "IEnumMoniker can't find video device"));
}

// Hands the test camera out for the video category while alive; no
// microphone.
class CameraFinder {
public:
    explicit CameraFinder(IBaseFilter* camera) {
        s_camera = camera;
        SetCaptureDeviceFinder(Find);
    }
    ~CameraFinder() {
        SetCaptureDeviceFinder(nullptr);
        s_camera = nullptr;
    }

private:
    static HRESULT Find(REFCLSID category, IBaseFilter** out) {
        *out = nullptr;
        if (category != CLSID_VideoInputDeviceCategory)
            return E_FAIL;
        *out = s_camera;
        s_camera->AddRef();
        return S_OK;
    }
    inline static IBaseFilter* s_camera = nullptr;
};

// The filters of a graph, by name.
std::vector<std::wstring> FilterNames(IGraphBuilder* graph) {
    std::vector<std::wstring> names;
    IEnumFilters* filters = nullptr;
    if (FAILED(graph->EnumFilters(&filters)))
        return names;
    IBaseFilter* f = nullptr;
    while (filters->Next(1, &f, nullptr) == S_OK) {
        FILTER_INFO info = {};
        f->QueryFilterInfo(&info);
        names.push_back(info.achName);
        if (info.pGraph)
            info.pGraph->Release();
        f->Release();
    }
    filters->Release();
    return names;
}

TEST(VideoCapTest, TheCameraShowsLiveInAChildOfTheOwner) {
    ComScope com;
    CaptureBoxes boxes;
    LogCapture log;
    OwnerWindow owner;
    IBaseFilter* camera = CreateTestCamera(64, 48, 0x00336699);
    CameraFinder finder(camera);
    RECT before = {}, after = {};
    GetWindowRect(owner.Get(), &before);
    CVideoCapture* c = NewCapture(owner.Get());
    ASSERT_EQ(c->VideoFilter(), camera);
    EXPECT_EQ(c->AudioFilter(), nullptr);
    // The owner keeps its size whatever the camera's picture.
    GetWindowRect(owner.Get(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));

    c->SetFrameRate(4);
    c->SetWindowStyle(1);
    c->SetSize(1);
    c->SetPosition({12, 8});
    ASSERT_EQ(c->StartCap(), S_OK);
    EXPECT_TRUE(boxes.Shown().empty());
    EXPECT_FALSE(c->Stopped());
    VIDEOINFOHEADER format = {};
    ASSERT_TRUE(TestCameraFormat(camera, &format));
    EXPECT_EQ(format.AvgTimePerFrame, 400000);

    const HWND live = owner.Child();
    ASSERT_NE(live, nullptr);
    EXPECT_EQ(GetParent(live), owner.Get());
    EXPECT_TRUE(IsWindowVisible(live));
    EXPECT_EQ((DWORD)GetWindowLongA(live, GWL_STYLE) & 0x40C00000u, 0x40C00000u);
    RECT placed = {};
    GetWindowRect(live, &placed);
    MapWindowPoints(nullptr, owner.Get(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 12);
    EXPECT_EQ(placed.top, 8);
    EXPECT_EQ(placed.right - placed.left, 160);
    EXPECT_EQ(placed.bottom - placed.top, 120 + GetSystemMetrics(SM_CYCAPTION));
    const DWORD start = GetTickCount();
    while (TestCameraFrames(camera) < 2 && GetTickCount() - start < 10000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    EXPECT_GE(TestCameraFrames(camera), 2);

    EXPECT_EQ(c->StartCap(), S_OK);  // only logged
    EXPECT_EQ(c->StopCap(), S_OK);
    EXPECT_TRUE(c->Stopped());
    EXPECT_EQ(FilterNames(c->Graph()), std::vector<std::wstring>{L"Test camera"});
    EXPECT_FALSE(IsWindow(live) && IsWindowVisible(live));
    // A second start builds the live part again.
    ASSERT_EQ(c->StartCap(), S_OK);
    EXPECT_NE(owner.Child(), nullptr);
    EXPECT_EQ(c->StopCap(), S_OK);
    EXPECT_EQ(FilterNames(c->Graph()).size(), 1u);
    c->Release();
    camera->Release();
    EXPECT_TRUE(boxes.Shown().empty());
    const std::string text = log.Text();
    EXPECT_TRUE(Logged(text, "VideoCapture is capturing"));
    EXPECT_TRUE(Logged(text, "CVideoCapture::BuildPreviewGraph:m_pACap is NULL!"));
}

}  // namespace
