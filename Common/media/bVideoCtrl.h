// The video control: one video played in a child window of the player
// through a DirectShow filter graph (the default) or an MCI digital-video
// device, or from memory through a graph fed by the in-memory source. It
// switches the sound, shows, hides and places the window and grabs the
// current frame as a pixel buffer.
#pragma once

#include "bMciDevice.h"
#include "bMediaBase.h"

struct IGraphBuilder;
struct IMediaControl;
struct IVideoWindow;
struct IMediaEventEx;
struct IBasicVideo;
struct IBasicAudio;
struct IMediaSeeking;
struct IBaseFilter;

// Video kinds.
enum { VIDEO_KIND_NONE = 0, VIDEO_KIND_AVI = 1, VIDEO_KIND_MPEG = 2, VIDEO_KIND_MOV = 3 };

class VideoControl : public MediaObjectBase {
public:
    explicit VideoControl(IPlayerSite* site);
    ~VideoControl() override;

    STDMETHOD(put_CurPos)(LONGLONG value) override;
    STDMETHOD(get_CurPos)(LONGLONG* value) override;
    STDMETHOD(put_Rate)(double value) override;
    STDMETHOD(put_Volume)(long value) override;
    STDMETHOD(get_Balance)(long* value) override;
    STDMETHOD(put_Balance)(long value) override;
    STDMETHOD(Open)(const void* nameOrData, DWORD size) override;
    STDMETHOD(OpenFromMemory)(const void* data, DWORD size, const char* name) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Play)() override;
    STDMETHOD(HandleEvents)(WPARAM unused1, LPARAM unused2, long* ended) override;
    STDMETHOD(SetWindowPosition)(int x, int y, int width, int height) override;
    STDMETHOD(GrabFrame)(IPixelBuffer** picture) override;
    STDMETHOD(Close)() override;
    STDMETHOD(put_SoundOn)(long value) override;
    STDMETHOD(get_SoundOn)(long* value) override;
    STDMETHOD(put_Visible)(long value) override;
    STDMETHOD(get_Visible)(long* value) override;
    STDMETHOD(HasAudio)(long* value) override;
    STDMETHOD(IsClosed)() override;
    STDMETHOD(GetMCIDeviceType)(char* buffer) override;
    STDMETHOD(Update)() override;
    STDMETHOD(SetKindFromFileName)(const char* name, char* mciType) override;

    // For tests (not counted): the graph's video window and audio, the
    // memory reader, the MCI device.
    IVideoWindow* Window() const { return m_videoWindow; }
    IBasicAudio* Audio() const { return m_audio; }
    IBaseFilter* Reader() const { return m_reader; }
    MciDevice* Device() const { return m_mci; }

private:
    HRESULT OpenMci(const char* name, const char* type);
    HRESULT CreateGraph();
    void QueryGraph();
    // Style, owner, size, notices and duration of a rendered graph.
    void PrepareWindow();
    void ReleaseGraph();
    HRESULT ReadDuration();
    HRESULT GrabMci(IPixelBuffer** picture);
    HRESULT GrabGraph(IPixelBuffer** picture);

    IGraphBuilder* m_graph;
    IMediaControl* m_control;
    IVideoWindow* m_videoWindow;
    IMediaEventEx* m_event;
    IBasicVideo* m_basicVideo;
    IBasicAudio* m_audio;
    IMediaSeeking* m_seeking;
    MciVideoDevice* m_mci;
    IBaseFilter* m_reader;
    LONG m_visible;
    LONG m_soundOn;
    // The block DirectShow grabs go through, kept for the next grab.
    HGLOBAL m_grabBlock;
    long m_grabSize;
};
