// FLC and FLI animations: the whole file held in memory, frames decoded on
// request into one 8-bit packed DIB that always shows the current frame.
// Going back rewinds to the first frame and decodes forward again.
//
// Every chunk is read through the checked reader; runs, skips, line counts
// and palette packets are clipped to the frame, the 256 palette entries and
// the chunk, so a damaged file fails clearly or shows what it holds.
#pragma once

#include <windows.h>

#include <stdint.h>

// Frame sizes the reader takes (either side).
const int kFlicMaxSide = 4096;

// What the last frame did to the palette.
enum { FLIC_PALETTE_NONE = 0, FLIC_PALETTE_ONLY = 1, FLIC_PALETTE_AMONG = 2 };

class FlicReader {
public:
    FlicReader();
    ~FlicReader();
    FlicReader(const FlicReader&) = delete;
    FlicReader& operator=(const FlicReader&) = delete;

    // size 0: pathOrData names a file; else size bytes of the file, copied.
    // S_OK, E_FAIL or E_OUTOFMEMORY.
    HRESULT Load(const void* pathOrData, DWORD size);
    void Close();
    // Nothing when not loaded; either pointer may be null.
    void GetSize(int* width, int* height) const;
    // 0 when not loaded.
    WORD GetFrameCount() const;
    // 1 and the delay in milliseconds, or 0 when not loaded.
    int GetDelay(DWORD* milliseconds) const;
    // Stops at the last frame but one (the ring frame is never shown); 1.
    int GotoFrame(LONGLONG frame);
    // 1, or 0 when the frame could not be read.
    int NextFrame();
    int Rewind();
    // The frame DIB (owned by the reader) after going to the frame, and the
    // rectangle that changed (right and bottom excluded; empty: 0, 0, 0, 0).
    HGLOBAL GetFrame(LONGLONG frame, RECT* changed);

    // The current frame (0 first), and what the last frame did to the palette.
    int CurrentFrame() const;
    int PaletteMark() const;
    HPALETTE Palette() const;

private:
    struct Record;
    bool ReadHead(int* error);
    bool DecodeFrame(bool first, int* error);
    bool DecodeChunk(uint16_t type, const uint8_t* data, size_t size, bool first, BYTE* bits,
                     RECT* changed);
    void WriteColourTable(BYTE* dib) const;
    void RecreatePalette();

    Record* m_record;
    uint8_t* m_file;
    size_t m_size;
    size_t m_pos;
};
