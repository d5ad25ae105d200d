// The media control of animations: FLC and FLI through the FLIC reader,
// animated GIF through GifAnimation, Flash movies through the Flash
// container. Positions are frame numbers (the first frame is 0) whatever
// the MCI and CD switches say; the duration is the frame count.
#pragma once

#include "bMediaBase.h"

class FlicReader;
class GifAnimation;
class IInvalidateTarget;
struct ISWFContainer;

// Kinds of animation, by file extension.
enum { ANIM_NONE = 0, ANIM_FLIC = 1, ANIM_GIF = 2, ANIM_FLASH = 3 };

class CAnimCtrl : public MediaObjectBase {
public:
    explicit CAnimCtrl(IPlayerSite* site);
    ~CAnimCtrl() override;

    STDMETHOD(get_VideoWidth)(long* value) override;
    STDMETHOD(get_VideoHeight)(long* value) override;
    STDMETHOD(Open)(const void* nameOrData, DWORD size) override;
    STDMETHOD(OpenFromMemory)(const void*, DWORD, const char*) override { return S_OK; }
    STDMETHOD(Stop)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Play)() override;
    STDMETHOD(HandleEvents)(WPARAM, LPARAM, long* ended) override;
    STDMETHOD(SetWindowPosition)(int, int, int, int) override { return S_OK; }
    STDMETHOD(GrabFrame)(IPixelBuffer** picture) override;
    STDMETHOD(Close)() override;
    STDMETHOD(put_UseTimer)(long value) override;
    STDMETHOD(get_UseTimer)(long* value) override;
    STDMETHOD(IsClosed)() override { return m_opened ? S_OK : E_FAIL; }
    STDMETHOD(GetFrameDelay)(long* milliseconds, LONGLONG frame) override;
    STDMETHOD(put_FrameRect)(const RECT* rect) override;
    STDMETHOD(Reserved66)() override { return S_OK; }
    STDMETHOD(GetMCIDeviceType)(char* buffer) override;
    // Frame numbers keep their unit whatever the MCI switch says.
    STDMETHOD(ApplyPositions)(LONGLONG position) override;
    STDMETHOD(Update)() override;
    STDMETHOD(SetKindFromFileName)(const char* name, char* mciType) override;

    // Called by the movie object on the class. The Flash ones do nothing
    // unless the kind is Flash and a container exists.
    BYTE LoadFlashName(const char* name);
    void CloseFlash();
    HRESULT FlashPlay();
    HRESULT FlashStop();
    HRESULT FlashGotoFrame(long frame);
    HRESULT ForwardMessageToFlash(const MSG* message);
    HRESULT SetFlashSize(int width, int height, IInvalidateTarget* owner);
    HRESULT GetFlashFrame(LONGLONG* frame);
    // (0, 0, width, height) from the byte at offset 8 of the file; the
    // rectangle stays when the file cannot be read.
    static void ReadSwfFrameSize(const char* name, RECT* rect);
    // The same from the file's first bytes.
    static void SwfFrameSizeOf(const BYTE* header, size_t size, RECT* rect);

private:
    void KillPlayTimer();

    char m_movieName[kMediaNameSize];
    int m_opened;
    void* m_view;
    RECT m_frameRect;
    RECT m_flashSize;
    FlicReader* m_flic;
    GifAnimation* m_gif;
    ISWFContainer* m_container;
    IPixelBuffer* m_drawBuffer;
    UINT_PTR m_timer;
    long m_useTimer;
};
