#include "bFlic.h"

#include <stdlib.h>
#include <string.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bFileUtil.h"
#include "bTraceLog.h"

#define FLIC_ERROR(text, code) LOG_MSG("%s(%d): FLIC-Error: %s(%d)", __FILE__, __LINE__, text, code)

namespace {

const size_t kHeadSize = 128;
const size_t kFrameHeadSize = 16;
const size_t kColourTableBytes = 256 * sizeof(RGBQUAD);

enum {
    CHUNK_COLOUR_256 = 4,
    CHUNK_WORD_DELTA = 7,
    CHUNK_COLOUR_64 = 11,
    CHUNK_BYTE_DELTA = 12,
    CHUNK_BLACK = 13,
    CHUNK_BYTE_RUN = 15,
    CHUNK_COPY = 16,
};

// The frame's pixels as FLIC rows (top first) over a bottom-up DIB.
struct Target {
    BYTE* bits;
    int width;
    int height;
    DWORD stride;
    RECT changed;

    BYTE* Row(int y) const { return bits + (size_t)(height - 1 - y) * stride; }
    void Whole() { SetRect(&changed, 0, 0, width, height); }
    // Columns [x0, x1) of line y; x1 is cut to the width by the caller.
    void Touch(int x0, int x1, int y) {
        if (x1 <= x0)
            return;
        RECT r = {x0, y, x1, y + 1};
        if (IsRectEmpty(&changed))
            changed = r;
        else
            UnionRect(&changed, &changed, &r);
    }
    // Writes n copies of the pattern (1 or 2 bytes) at column x of line y,
    // or n * unit bytes from src when src is given; only what lies inside.
    void Put(int x, int y, const uint8_t* src, const uint8_t* pattern, int unit, long n) {
        if (y < 0 || y >= height || x >= width || n <= 0)
            return;
        long bytes = n * unit;
        long end = x + bytes > width ? width : x + bytes;
        BYTE* row = Row(y);
        for (long i = x; i < end; ++i) row[i] = src ? src[i - x] : pattern[(i - x) % unit];
        Touch(x, (int)end, y);
    }
};

void UniteRect(RECT* into, const RECT& r) {
    if (IsRectEmpty(&r))
        return;
    if (IsRectEmpty(into))
        *into = r;
    else
        UnionRect(into, into, &r);
}

void DecodeByteRun(CByteReader& r, Target& t) {
    for (int y = 0; y < t.height; ++y) {
        r.U8();  // packet count: the row is filled by width instead
        int x = 0;
        while (x < t.width) {
            const int n = (int8_t)r.U8();
            if (r.Failed())
                return;
            if (n < 0) {
                const size_t count = (size_t)-n;
                const size_t have = r.Remaining() < count ? r.Remaining() : count;
                t.Put(x, y, r.Take(have), nullptr, 1, (long)have);
                if (have < count)
                    return;
                x += -n;
            } else if (n > 0) {
                const uint8_t v = r.U8();
                if (r.Failed())
                    return;
                t.Put(x, y, nullptr, &v, 1, n);
                x += n;
            }
        }
    }
}

void DecodeCopy(CByteReader& r, Target& t) {
    for (int y = 0; y < t.height && !r.AtEnd(); ++y) {
        const size_t have = r.Remaining() < (size_t)t.width ? r.Remaining() : (size_t)t.width;
        t.Put(0, y, r.Take(have), nullptr, 1, (long)have);
    }
}

void DecodeByteDelta(CByteReader& r, Target& t) {
    const int first = r.U16LE();
    const int lines = r.U16LE();
    for (int l = 0; l < lines && r.Ok(); ++l) {
        const int y = first + l;
        if (y >= t.height)
            return;
        const int packets = r.U8();
        int x = 0;
        for (int p = 0; p < packets && r.Ok(); ++p) {
            x += r.U8();
            const int n = (int8_t)r.U8();
            if (r.Failed())
                return;
            if (n < 0) {
                const uint8_t v = r.U8();
                if (r.Failed())
                    return;
                t.Put(x, y, nullptr, &v, 1, -n);
                x += -n;
            } else {
                const uint8_t* src = r.Take(n);
                if (!src)
                    return;
                t.Put(x, y, src, nullptr, 1, n);
                x += n;
            }
        }
    }
}

void DecodeWordDelta(CByteReader& r, Target& t) {
    const int lines = r.U16LE();
    int y = 0;
    for (int l = 0; l < lines; ++l) {
        int packets = 0;
        for (;;) {
            const uint16_t w = r.U16LE();
            if (r.Failed() || y >= t.height)
                return;
            if ((w & 0xC000) == 0xC000) {
                y += -(int16_t)w;  // lines skipped
                continue;
            }
            if ((w & 0xC000) == 0x8000) {
                const uint8_t v = (uint8_t)w;
                t.Put(t.width - 1, y, nullptr, &v, 1, 1);
                continue;
            }
            packets = w;
            break;
        }
        int x = 0;
        for (int p = 0; p < packets; ++p) {
            x += r.U8();
            const int n = (int8_t)r.U8();
            if (r.Failed())
                return;
            if (n < 0) {
                const uint8_t* word = r.Take(2);
                if (!word)
                    return;
                t.Put(x, y, nullptr, word, 2, -n);
                x += -2 * n;
            } else {
                const uint8_t* src = r.Take((size_t)2 * n);
                if (!src)
                    return;
                t.Put(x, y, src, nullptr, 2, n);
                x += 2 * n;
            }
        }
        ++y;
    }
}

}  // namespace

struct FlicReader::Record {
    WORD width;
    WORD height;
    WORD frames;
    DWORD delay;
    WORD current;
    DWORD frame1;
    DWORD frame2;
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[256];
    } palette;
    int changedEntries;
    int lowestEntry;
    WORD indices[256];
    RECT changed;
    int mark;
    HGLOBAL dib;
    HGLOBAL first;
    HPALETTE hpalette;
    BITMAPINFOHEADER header;
};

FlicReader::FlicReader() : m_record(nullptr), m_file(nullptr), m_size(0), m_pos(0) {}

FlicReader::~FlicReader() {
    Close();
}

void FlicReader::Close() {
    if (m_record) {
        if (m_record->dib)
            GlobalFree(m_record->dib);
        if (m_record->first)
            GlobalFree(m_record->first);
        if (m_record->hpalette)
            DeleteObject(m_record->hpalette);
        delete m_record;
        m_record = nullptr;
    }
    free(m_file);
    m_file = nullptr;
    m_size = 0;
    m_pos = 0;
}

HRESULT FlicReader::Load(const void* pathOrData, DWORD size) {
    Close();
    if (!pathOrData)
        return E_FAIL;
    if (size) {
        m_file = static_cast<uint8_t*>(malloc(size));
        if (!m_file)
            return E_OUTOFMEMORY;
        memcpy(m_file, pathOrData, size);
        m_size = size;
    } else {
        const char* path = static_cast<const char*>(pathOrData);
        DWORD mapped = 0;
        void* view = MapFileView(path, &mapped);
        if (!view) {
            const DWORD attributes = GetFileAttributesA(path);
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                mapped == 0)
                FLIC_ERROR("Zero size file", -8);
            else
                FLIC_ERROR("LoadFlc", -8);
            return E_FAIL;
        }
        if (mapped == 0) {
            UnmapViewOfFile(view);
            FLIC_ERROR("Zero size file", -8);
            return E_FAIL;
        }
        m_file = static_cast<uint8_t*>(malloc(mapped));
        if (m_file)
            memcpy(m_file, view, mapped);
        UnmapViewOfFile(view);
        if (!m_file)
            return E_OUTOFMEMORY;
        m_size = mapped;
    }

    m_record = new (std::nothrow) Record;
    if (!m_record) {
        Close();
        return E_OUTOFMEMORY;
    }
    memset(m_record, 0, sizeof(*m_record));
    m_record->palette.version = 0x300;
    m_record->palette.count = 256;
    for (int i = 0; i < 256; ++i) m_record->indices[i] = (WORD)i;

    int error = 0;
    if (!ReadHead(&error)) {
        FLIC_ERROR("ReadFlicHead failed", -1);
        Close();
        return E_FAIL;
    }
    const uint32_t headFrame2 = GetU32LE(m_file + 84);
    if (!DecodeFrame(true, &error)) {
        FLIC_ERROR("ReadFirstFrame", -4);
        Close();
        return E_FAIL;
    }
    if (m_pos != headFrame2) {
        if (headFrame2 != 0)
            LOG_MSG("Error for flcHead::oframe2:  %d --> correct to %d", (int)headFrame2,
                    (int)m_pos);
    }
    m_record->frame2 = (DWORD)m_pos;
    m_record->first = DibDuplicate(m_record->dib);
    if (!m_record->first) {
        Close();
        return E_OUTOFMEMORY;
    }
    SetRect(&m_record->changed, 0, 0, m_record->width, m_record->height);
    m_record->current = 0;
    return S_OK;
}

bool FlicReader::ReadHead(int* error) {
    *error = -1;
    if (m_size < kHeadSize)
        return false;
    CByteReader r(m_file, m_size);
    r.Skip(4);
    const uint16_t magic = r.U16LE();
    const uint16_t frames = r.U16LE();
    const uint16_t width = r.U16LE();
    const uint16_t height = r.U16LE();
    r.Seek(16);
    const uint32_t speed = r.U32LE();
    r.Seek(80);
    const uint32_t frame1 = r.U32LE();
    if (r.Failed() || (magic != 0xAF11 && magic != 0xAF12))
        return false;
    // A frame the reader cannot hold, or a file without frames, is no animation.
    if (width == 0 || height == 0 || width > kFlicMaxSide || height > kFlicMaxSide || frames == 0)
        return false;
    Record& rec = *m_record;
    rec.width = width;
    rec.height = height;
    rec.frames = frames;
    uint64_t delay = magic == 0xAF11 ? (uint64_t)speed * 1000 / 70 : speed;
    if (delay == 0)
        delay = 50;
    rec.delay = delay > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)delay;
    // The first frame's offset counts from the file start; FLI files leave it 0.
    rec.frame1 = frame1 ? frame1 : (DWORD)kHeadSize;
    m_pos = rec.frame1;
    return true;
}

void FlicReader::WriteColourTable(BYTE* dib) const {
    BITMAPINFOHEADER* h = reinterpret_cast<BITMAPINFOHEADER*>(dib);
    *h = m_record->header;
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(dib + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = m_record->palette.entries[i];
        table[i].rgbRed = e.peRed;
        table[i].rgbGreen = e.peGreen;
        table[i].rgbBlue = e.peBlue;
        table[i].rgbReserved = 0;
    }
}

void FlicReader::RecreatePalette() {
    if (m_record->hpalette)
        DeleteObject(m_record->hpalette);
    m_record->hpalette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(&m_record->palette));
}

bool FlicReader::DecodeChunk(uint16_t type, const uint8_t* data, size_t size, bool first,
                             BYTE* bits, RECT* changed) {
    Record& rec = *m_record;
    Target t = {bits, rec.width, rec.height, rec.header.biSizeImage / rec.height, {0, 0, 0, 0}};
    CByteReader r(data, size);
    switch (type) {
        case CHUNK_COLOUR_256:
        case CHUNK_COLOUR_64: {
            const int packets = r.U16LE();
            int index = 0, sum = 0, lowest = 256;
            for (int p = 0; p < packets && r.Ok(); ++p) {
                index += r.U8();
                int count = r.U8();
                if (r.Failed())
                    break;
                if (count == 0)
                    count = 256;
                for (int k = 0; k < count; ++k, ++index) {
                    const uint8_t* rgb = r.Take(3);
                    if (!rgb)
                        break;
                    if (index >= 256)
                        continue;
                    PALETTEENTRY& e = rec.palette.entries[index];
                    const int scale = type == CHUNK_COLOUR_64 ? 4 : 1;
                    e.peRed = (BYTE)(rgb[0] * scale > 255 ? 255 : rgb[0] * scale);
                    e.peGreen = (BYTE)(rgb[1] * scale > 255 ? 255 : rgb[1] * scale);
                    e.peBlue = (BYTE)(rgb[2] * scale > 255 ? 255 : rgb[2] * scale);
                    e.peFlags = 0;
                    if (index < lowest)
                        lowest = index;
                    ++sum;
                }
            }
            rec.changedEntries = sum;
            rec.lowestEntry = lowest == 256 ? 0 : lowest;
            if (!first) {
                RecreatePalette();
                // Palette animation reaches the picture too.
                WriteColourTable(bits - sizeof(BITMAPINFOHEADER) - kColourTableBytes);
            }
            return true;
        }
        case CHUNK_BYTE_RUN:
            DecodeByteRun(r, t);
            t.Whole();
            break;
        case CHUNK_COPY:
            DecodeCopy(r, t);
            t.Whole();
            break;
        case CHUNK_BLACK:
            for (int y = 0; y < t.height; ++y) memset(t.Row(y), 0, t.width);
            t.Whole();
            break;
        case CHUNK_BYTE_DELTA:
            DecodeByteDelta(r, t);
            break;
        case CHUNK_WORD_DELTA:
            DecodeWordDelta(r, t);
            break;
        default:
            LOG_MSG("Unknown chunck type for FLIC: %d", type);
            return false;
    }
    UniteRect(changed, t.changed);
    return false;
}

bool FlicReader::DecodeFrame(bool first, int* error) {
    Record& rec = *m_record;
    const size_t start = m_pos;
    CByteReader file(m_file, m_size);
    file.Seek(start);
    const uint32_t frameSize = file.U32LE();
    const uint16_t magic = file.U16LE();
    const uint16_t chunks = file.U16LE();
    // A frame must hold its own header and end inside the file.
    if (file.Failed() || magic != 0xF1FA || frameSize < kFrameHeadSize ||
        frameSize > m_size - start) {
        *error = -5;
        FLIC_ERROR("ReadFrameImage", -5);
        return false;
    }
    CByteReader frame(m_file + start + kFrameHeadSize, frameSize - kFrameHeadSize,
                      start + kFrameHeadSize);

    if (first) {
        DWORD stride = 0;
        DibRowStride(rec.width, 8, &stride);
        DibInitHeader(&rec.header, rec.width, rec.height, 8);
        // The block holds all 256 colours, whatever the palette chunks set.
        rec.header.biClrUsed = 256;
        const size_t bytes =
            sizeof(BITMAPINFOHEADER) + kColourTableBytes + (size_t)stride * rec.height;
        rec.dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        if (!rec.dib) {
            *error = -3;
            FLIC_ERROR("AllocFrame", -3);
            return false;
        }
    }
    BYTE* dib = static_cast<BYTE*>(GlobalLock(rec.dib));
    if (!dib) {
        *error = -3;
        return false;
    }
    if (first)
        WriteColourTable(dib);
    BYTE* bits = dib + sizeof(BITMAPINFOHEADER) + kColourTableBytes;

    RECT changed = {0, 0, 0, 0};
    int paletteChunks = 0;
    bool ok = true;
    for (int i = 0; i < chunks; ++i) {
        const uint32_t chunkSize = frame.U32LE();
        const uint16_t type = frame.U16LE();
        if (frame.Failed() || chunkSize < 6) {
            *error = -6;
            ok = false;
            break;
        }
        size_t payload = chunkSize - 6;
        // Copy chunks are taken two bytes longer, where the frame has them.
        if (type == CHUNK_COPY && payload <= frame.Remaining())
            payload += frame.Remaining() - payload < 2 ? frame.Remaining() - payload : 2;
        const uint8_t* data = frame.Take(payload);
        if (!data) {
            *error = -6;
            ok = false;
            break;
        }
        if (DecodeChunk(type, data, payload, first, bits, &changed))
            ++paletteChunks;
    }
    if (!ok) {
        FLIC_ERROR("ReadChunk", *error);
        GlobalUnlock(rec.dib);
        if (first) {
            GlobalFree(rec.dib);
            rec.dib = nullptr;
        }
        return false;
    }

    rec.mark = FLIC_PALETTE_NONE;
    if (first) {
        RecreatePalette();
        WriteColourTable(dib);
    } else if (paletteChunks) {
        rec.mark = chunks == 1 ? FLIC_PALETTE_ONLY : FLIC_PALETTE_AMONG;
    }
    rec.changed = changed;
    GlobalUnlock(rec.dib);
    m_pos = start + frameSize;
    return true;
}

void FlicReader::GetSize(int* width, int* height) const {
    if (!m_record)
        return;
    if (width)
        *width = m_record->width;
    if (height)
        *height = m_record->height;
}

WORD FlicReader::GetFrameCount() const {
    return m_record ? m_record->frames : 0;
}

int FlicReader::GetDelay(DWORD* milliseconds) const {
    if (!m_record)
        return 0;
    if (milliseconds)
        *milliseconds = m_record->delay;
    return 1;
}

int FlicReader::Rewind() {
    if (!m_record || !m_record->dib || !m_record->first)
        return 1;
    Record& rec = *m_record;
    rec.current = 0;
    BYTE* to = static_cast<BYTE*>(GlobalLock(rec.dib));
    const BYTE* from = static_cast<const BYTE*>(GlobalLock(rec.first));
    if (to && from) {
        const size_t n = GlobalSize(rec.first) < GlobalSize(rec.dib) ? GlobalSize(rec.first)
                                                                     : GlobalSize(rec.dib);
        memcpy(to, from, n);
        // The first frame's colours come back with its pixels.
        const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(from + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < 256; ++i) {
            rec.palette.entries[i].peRed = table[i].rgbRed;
            rec.palette.entries[i].peGreen = table[i].rgbGreen;
            rec.palette.entries[i].peBlue = table[i].rgbBlue;
        }
        RecreatePalette();
    }
    if (from)
        GlobalUnlock(rec.first);
    if (to)
        GlobalUnlock(rec.dib);
    m_pos = rec.frame2;
    SetRect(&rec.changed, 0, 0, rec.width, rec.height);
    rec.mark = FLIC_PALETTE_NONE;
    return 1;
}

int FlicReader::NextFrame() {
    if (!m_record || !m_record->dib)
        return 0;
    int error = 0;
    if (!DecodeFrame(false, &error))
        return 0;
    ++m_record->current;
    return 1;
}

int FlicReader::GotoFrame(LONGLONG frame) {
    if (!m_record)
        return 1;
    Record& rec = *m_record;
    const LONGLONG last = (LONGLONG)rec.frames - 1;
    if (frame >= last)
        frame = last;
    if (frame < 0)
        frame = 0;
    if (frame == rec.current && rec.dib)
        return 1;
    if (frame == 0)
        return Rewind();
    if (frame <= rec.current)
        Rewind();
    RECT united = {0, 0, 0, 0};
    while (rec.current < frame) {
        if (!NextFrame())
            break;
        UniteRect(&united, rec.changed);
    }
    rec.changed = united;
    return 1;
}

HGLOBAL FlicReader::GetFrame(LONGLONG frame, RECT* changed) {
    if (!m_record)
        return nullptr;
    GotoFrame(frame);
    if (changed)
        *changed = m_record->changed;
    return m_record->dib;
}

int FlicReader::CurrentFrame() const {
    return m_record ? m_record->current : 0;
}

int FlicReader::PaletteMark() const {
    return m_record ? m_record->mark : 0;
}

HPALETTE FlicReader::Palette() const {
    return m_record ? m_record->hpalette : nullptr;
}
