// The video capture: the live picture of the first video capture device (a
// camera) in a window of the player, its sound to the default audio
// renderer, through a DirectShow capture graph. Scripts start, stop, place,
// size and style the live window.
#pragma once

#include <windows.h>

#include "bMediaDevices.h"

struct IPlayerSite;
struct ICaptureGraphBuilder;
struct IVideoWindow;
struct IAMStreamConfig;
struct IBaseFilter;
struct IGraphBuilder;

// The first device of a category (CLSID_VideoInputDeviceCategory,
// CLSID_AudioInputDeviceCategory) as a filter with one reference; one
// replaceable function, so that tests hand in their own filter.
typedef HRESULT (*CaptureDeviceFinder)(REFCLSID category, IBaseFilter** out);
// Null restores the system's (the system device enumerator's first moniker).
void SetCaptureDeviceFinder(CaptureDeviceFinder finder);

// Made as a CComObject (CreateVideoCapture).
class CVideoCapture : public CComObjectRootBase, public IVideoCapture {
public:
    BEGIN_COM_MAP(CVideoCapture)
    COM_INTERFACE_ENTRY(IVideoCapture)
    END_COM_MAP()

    CVideoCapture(HWND window, IPlayerSite* site);
    virtual ~CVideoCapture();
    CVideoCapture(const CVideoCapture&) = delete;
    CVideoCapture& operator=(const CVideoCapture&) = delete;

    STDMETHOD(Init)() override;
    STDMETHOD(Reserved4)() override { return S_OK; }
    STDMETHOD(Reserved5)() override { return E_NOTIMPL; }
    STDMETHOD(SetFrameRate)(int type) override;
    STDMETHOD(SetSize)(int type) override;
    STDMETHOD(StartCap)() override;
    STDMETHOD(StopCap)() override;
    STDMETHOD(SetPosition)(POINT point) override;
    STDMETHOD(SetWindowStyle)(int type) override;
    STDMETHOD(Reserved12)() override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT flags) override;

    // For tests (not counted).
    IGraphBuilder* Graph() const { return m_graph; }
    IBaseFilter* VideoFilter() const { return m_videoFilter; }
    IBaseFilter* AudioFilter() const { return m_audioFilter; }
    IVideoWindow* LiveWindow() const { return m_videoWindow; }
    int FrameRate() const { return m_frameRate; }
    LONG Width() const { return m_width; }
    LONG Height() const { return m_height; }
    DWORD Style() const { return m_style; }
    bool Stopped() const { return m_stopped; }

private:
    HRESULT CreateVideoCap();
    HRESULT CreateAudioCap();
    HRESULT BuildPreviewGraph();
    void ApplyFrameRate();
    void MoveLiveWindow();
    void ReleaseAll();
    // Disconnects and removes every filter downstream of the filter.
    void RemoveDownstream(IBaseFilter* filter);
    void ShowMessage(UINT textId);

    IPlayerSite* m_site;
    HWND m_window;
    bool m_stopped;
    ICaptureGraphBuilder* m_builder;
    IVideoWindow* m_videoWindow;
    IAMStreamConfig* m_audioConfig;
    IAMStreamConfig* m_videoConfig;
    IBaseFilter* m_videoFilter;
    IBaseFilter* m_audioFilter;
    IGraphBuilder* m_graph;
    int m_frameRate;
    DWORD m_style;
    LONG m_width;
    LONG m_height;
    LONG m_x;
    LONG m_y;
    bool m_captionAdded;
};

// A new initialised capture over the site (one reference in *out).
HRESULT CreateVideoCapture(HWND window, IPlayerSite* site, IVideoCapture** out);
