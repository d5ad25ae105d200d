// The sound control: one sound played from a file through a DirectShow
// filter graph (the default) or an MCI device, from memory through a graph
// fed by the in-memory source, or an audio CD track through MCI "cdaudio".
#pragma once

#include "bMciDevice.h"
#include "bMediaBase.h"

// The graph's interfaces; their header stays out of the controls' callers.
struct IGraphBuilder;
struct IMediaControl;
struct IVideoWindow;
struct IMediaEventEx;
struct IBasicAudio;
struct IMediaSeeking;
struct IBaseFilter;

// Sound kinds.
enum {
    SOUND_KIND_WAVE = 1,
    SOUND_KIND_MIDI = 2,
    SOUND_KIND_MPEG = 3,
    SOUND_KIND_MP2 = 4,
    SOUND_KIND_CD = 5,
    SOUND_KIND_OTHER = 6
};

class SoundControl : public MediaObjectBase {
public:
    explicit SoundControl(IPlayerSite* site);
    ~SoundControl() override;

    STDMETHOD(put_StartPos)(LONGLONG value) override;
    STDMETHOD(put_EndPos)(LONGLONG value) override;
    STDMETHOD(put_CurPos)(LONGLONG value) override;
    STDMETHOD(get_CurPos)(LONGLONG* value) override;
    STDMETHOD(get_Rate)(double* value) override;
    STDMETHOD(put_Rate)(double value) override;
    STDMETHOD(put_Volume)(long value) override;
    STDMETHOD(get_Balance)(long* value) override;
    STDMETHOD(put_Balance)(long value) override;
    STDMETHOD(get_Track)(long* track) override;
    STDMETHOD(put_Track)(long track) override;
    STDMETHOD(GetTrackLength)(long track, LONGLONG* length) override;
    STDMETHOD(Open)(const void* nameOrData, DWORD size) override;
    STDMETHOD(OpenFromMemory)(const void* data, DWORD size, const char* name) override;
    STDMETHOD(Stop)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Play)() override;
    STDMETHOD(HandleEvents)(WPARAM unused1, LPARAM unused2, long* ended) override;
    STDMETHOD(Close)() override;
    STDMETHOD(GetMediaPresent)(long* present) override;
    STDMETHOD(GetTrackCount)(long* count) override;
    STDMETHOD(GetTrackLengthMs)(long* length, long track) override;
    STDMETHOD(GetTrackPosition)(long* position, long track) override;
    STDMETHOD(IsClosed)() override;
    STDMETHOD(GetMCIDeviceType)(char* buffer) override;
    STDMETHOD(Update)() override;
    STDMETHOD(SetKindFromFileName)(const char* name, char* mciType) override;

    // For tests: the graph's audio and event interfaces (not counted), the
    // memory reader filter, the MCI device.
    IBasicAudio* Audio() const { return m_audio; }
    IMediaEventEx* Events() const { return m_event; }
    IBaseFilter* Reader() const { return m_reader; }
    MciDevice* Device() const { return m_mci; }

private:
    bool UsesDevice() const { return m_useMCI && m_mci; }
    bool CdOpen() { return m_cdAudio && UsesDevice() && IsClosed() == S_OK; }
    HRESULT CreateGraph();
    void QueryGraph();
    void FinishGraphOpen();
    void ReleaseGraph();
    void ReadDuration();
    HRESULT SeekGraph(LONGLONG position);

    IGraphBuilder* m_graph;
    IMediaControl* m_control;
    IVideoWindow* m_videoWindow;
    IMediaEventEx* m_event;
    IBasicAudio* m_audio;
    IMediaSeeking* m_seeking;
    MciSoundDevice* m_mci;
    IBaseFilter* m_reader;
    WORD m_track;
    long m_trackCount;
    int m_trackSelected;
};
