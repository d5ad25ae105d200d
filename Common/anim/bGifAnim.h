// Animated GIF: every image of the file as an 8-bit picture with its place
// and graphic control data, composed on request into a 32-bit pixel buffer
// of the logical screen's size. The last composed frame is kept, so stepping
// forward costs one frame's drawing.
//
// Composition goes through the buffer's lock: the background is 0x00RRGGBB
// (alpha 0), frame pixels 0xFFRRGGBB. Frames partly off the screen are cut
// to it; disposal 2 clears the frame's own rectangle before the next frame;
// a frame with disposal 3 is seen only when asked for.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "bPtrArray.h"

struct IPlayerSite;
struct IPixelBuffer;

#pragma pack(push, 1)
// The file's header and logical screen descriptor.
struct GifHeader {
    char signature[6];
    WORD width;
    WORD height;
    BYTE packed;
    BYTE background;
    BYTE aspect;
};
// An image descriptor as in the file.
struct GifFrameDesc {
    WORD left;
    WORD top;
    WORD width;
    WORD height;
    BYTE packed;
};
#pragma pack(pop)

struct GifControlRecord {
    BYTE extension[6];  // block size 4, packed, delay (1/100 s), transparent index, terminator
    LONGLONG frame;     // the frame it belongs to
    RGBQUAD transparent;
    int disposal;
    bool Transparent() const { return (extension[1] & 1) != 0; }
    int Delay() const { return extension[2] | (extension[3] << 8); }
};

// Screens and frames the animation takes (either side), and the most frame
// pictures it keeps.
const int kGifMaxSide = 4096;
const size_t kGifMaxFrameBytes = (size_t)256 << 20;

class GifAnimation {
public:
    explicit GifAnimation(IPlayerSite* site);
    ~GifAnimation();
    GifAnimation(const GifAnimation&) = delete;
    GifAnimation& operator=(const GifAnimation&) = delete;

    // Reads every image; the first frame picture (an 8-bit packed DIB owned
    // by the animation), or null. `header` (when given) gets the file's header.
    const BITMAPINFOHEADER* Load(const void* data, DWORD size, GifHeader* header, int loadFrames);
    // The composition cache of the screen size; 1, or 0.
    int CreateCache();
    LONGLONG GetFrameCount() const { return m_frameCount; }
    void GetSize(int* width, int* height) const;
    // 1 and the frame's delay, or 0 and 0 when the frame has no control data.
    int GetFrameDelay(DWORD* milliseconds, LONGLONG frame) const;
    // A new buffer with the frame composed (one reference), or null.
    IPixelBuffer* GetFrame(LONGLONG frame);
    void Clear();

    // The frame's picture, descriptor and control data (null when none).
    const BITMAPINFOHEADER* Picture(LONGLONG frame) const;
    const GifFrameDesc* Descriptor(LONGLONG frame) const;
    const GifControlRecord* Control(LONGLONG frame) const;
    // The frame the cache holds, -1 when none.
    LONGLONG CachedFrame() const { return m_cachedFrame; }

private:
    bool ReadImage(class CByteReader& r, const uint8_t* globalTable, int globalEntries,
                   size_t* storedBytes);
    void DrawFrame(LONGLONG i, BYTE* pixels, LONG pitch) const;
    void FillRect(const RECT& r, BYTE* pixels, LONG pitch) const;

    IPlayerSite* m_site;
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos;
    IPixelBuffer* m_cache;
    LONGLONG m_cachedFrame;
    uint8_t m_globalTable[768];
    DWORD m_background;
    PtrArray m_descriptors;
    PtrArray m_controls;
    PtrArray m_pictures;
    LONGLONG m_frameCount;
    int m_width;
    int m_height;
};
