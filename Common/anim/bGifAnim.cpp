#include "bGifAnim.h"

#include <stdlib.h>
#include <string.h>

#include <new>

#include "aPixBuf.h"
#include "aUtil.h"
#include "bByteReader.h"
#include "bDib.h"
#include "bGifLzw.h"
#include "bTraceLog.h"

namespace {

const size_t kPaletteBytes = 1024;

inline DWORD Rgb(const uint8_t* entry) {
    return ((DWORD)entry[0] << 16) | ((DWORD)entry[1] << 8) | entry[2];
}

// The frame's 8-bit picture: header, 256-entry palette, rows bottom-up.
BYTE* PictureBits(const BITMAPINFOHEADER* h) {
    return (BYTE*)h + sizeof(BITMAPINFOHEADER) + kPaletteBytes;
}

}  // namespace

GifAnimation::GifAnimation(IPlayerSite* site)
    : m_site(site),
      m_data(nullptr),
      m_size(0),
      m_pos(0),
      m_cache(nullptr),
      m_cachedFrame(-1),
      m_background(0),
      m_frameCount(0),
      m_width(0),
      m_height(0) {
    memset(m_globalTable, 0, sizeof(m_globalTable));
}

GifAnimation::~GifAnimation() {
    Clear();
}

void GifAnimation::Clear() {
    for (int i = 0; i < m_descriptors.GetSize(); ++i)
        delete static_cast<GifFrameDesc*>(m_descriptors.GetAt(i));
    for (int i = 0; i < m_controls.GetSize(); ++i)
        delete static_cast<GifControlRecord*>(m_controls.GetAt(i));
    for (int i = 0; i < m_pictures.GetSize(); ++i) free(m_pictures.GetAt(i));
    m_descriptors.RemoveAll();
    m_controls.RemoveAll();
    m_pictures.RemoveAll();
    if (m_cache)
        m_cache->Release();
    m_cache = nullptr;
    m_cachedFrame = -1;
    m_frameCount = 0;
    m_width = m_height = 0;
    m_background = 0;
    m_data = nullptr;
    m_size = m_pos = 0;
}

const BITMAPINFOHEADER* GifAnimation::Load(const void* data, DWORD size, GifHeader* header,
                                           int loadFrames) {
    Clear();
    CByteReader r(data, data ? size : 0);
    GifHeader head;
    if (!r.ReadPod(head) || !GifSameLetters((const uint8_t*)head.signature, "GIF", 3)) {
        LOG_MSG("Not GIF File");
        return nullptr;
    }
    if (!GifSameLetters((const uint8_t*)head.signature + 3, "87A", 3) &&
        !GifSameLetters((const uint8_t*)head.signature + 3, "89A", 3)) {
        LOG_MSG("GIF File format not supported");
        return nullptr;
    }
    if (header)
        *header = head;
    if (head.width > kGifMaxSide || head.height > kGifMaxSide) {
        LOG_MSG("GIF screen %d x %d too large", head.width, head.height);
        return nullptr;
    }
    m_data = static_cast<const uint8_t*>(data);
    m_size = size;
    m_width = head.width;
    m_height = head.height;
    int globalEntries = 0;
    if (head.packed & 0x80) {
        globalEntries = 1 << ((head.packed & 7) + 1);
        if (!r.ReadBytes(m_globalTable, 3 * (size_t)globalEntries)) {
            Clear();
            return nullptr;
        }
        m_background =
            Rgb(m_globalTable + 3 * (head.background < globalEntries ? head.background : 0));
    }
    if (!loadFrames) {
        m_pos = r.Position();
        return nullptr;
    }

    size_t storedBytes = 0;
    for (;;) {
        const uint8_t block = r.U8();
        if (r.Failed() || block == 0x3B)
            break;
        if (block == 0x2C) {
            if (!ReadImage(r, m_globalTable, globalEntries, &storedBytes))
                break;
            continue;
        }
        if (block != 0x21)
            continue;
        const uint8_t label = r.U8();
        if (r.Failed())
            break;
        switch (label) {
            case 0xF9: {
                const uint8_t* ext = r.Peek(6);
                if (ext && ext[0] == 4) {
                    GifControlRecord* rec = new (std::nothrow) GifControlRecord;
                    if (rec) {
                        memset(rec, 0, sizeof(*rec));
                        memcpy(rec->extension, ext, 6);
                        rec->frame = m_frameCount;
                        if (m_controls.Add(rec) < 0)
                            delete rec;
                    }
                    r.Skip(6);
                } else if (!GifSkipSubBlocks(r)) {
                    r.Fail();
                }
                break;
            }
            case 0x01:
            case 0xFE:
            case 0xFF:
                GifSkipSubBlocks(r);
                break;
            case 0x00:
                break;
            default:
                LOG_MSG("Unknown GIF extension Label: %d", label);
                break;
        }
    }
    m_pos = r.Position();
    // A control extension after the last image belongs to no frame.
    while (m_controls.GetSize() > 0) {
        GifControlRecord* last =
            static_cast<GifControlRecord*>(m_controls.GetAt(m_controls.GetSize() - 1));
        if (last->frame < m_frameCount)
            break;
        delete last;
        m_controls.SetSize(m_controls.GetSize() - 1);
    }
    return Picture(0);
}

bool GifAnimation::ReadImage(CByteReader& r, const uint8_t* globalTable, int globalEntries,
                             size_t* storedBytes) {
    GifFrameDesc desc;
    if (!r.ReadPod(desc))
        return false;
    uint8_t table[768];
    memset(table, 0, sizeof(table));
    int entries = globalEntries;
    if (desc.packed & 0x80) {
        entries = 1 << ((desc.packed & 7) + 1);
        if (!r.ReadBytes(table, 3 * (size_t)entries))
            return false;
    } else {
        // Each image without a table of its own takes the global one.
        memcpy(table, globalTable, 3 * (size_t)globalEntries);
    }
    GifControlRecord* rec = nullptr;
    if (m_controls.GetSize() > 0) {
        rec = static_cast<GifControlRecord*>(m_controls.GetAt(m_controls.GetSize() - 1));
        if (rec->frame != m_frameCount)
            rec = nullptr;  // a frame without its own control data has none
    }
    const bool fits =
        desc.width > 0 && desc.height > 0 && desc.width <= m_width && desc.height <= m_height;
    DWORD stride = 0;
    DibRowStride(desc.width, 8, &stride);
    const size_t bytes = sizeof(BITMAPINFOHEADER) + kPaletteBytes + (size_t)stride * desc.height;
    if (fits && *storedBytes + bytes > kGifMaxFrameBytes) {
        LOG_MSG("GIF frames past %u MB are not kept: %d frames",
                (unsigned)(kGifMaxFrameBytes >> 20), (int)m_frameCount);
        return false;
    }
    BITMAPINFOHEADER* picture = fits ? static_cast<BITMAPINFOHEADER*>(calloc(1, bytes)) : nullptr;
    uint8_t* indexes =
        picture ? static_cast<uint8_t*>(calloc((size_t)desc.width * desc.height, 1)) : nullptr;
    bool terminated = false;
    ptrdiff_t decoded = -1;
    if (indexes) {
        decoded = GifLzwDecode(r, indexes, (size_t)desc.width * desc.height, &terminated);
    } else {
        r.U8();  // minimum code size
    }
    if (!terminated && r.Ok())
        GifSkipSubBlocks(r);
    if (decoded <= 0) {
        // Not a frame: its control data (if any) goes with it.
        free(indexes);
        free(picture);
        if (rec) {
            delete rec;
            m_controls.SetSize(m_controls.GetSize() - 1);
        }
        return r.Ok();
    }

    DibInitHeader(picture, desc.width, desc.height, 8);
    picture->biClrUsed = 256;
    RGBQUAD* palette = reinterpret_cast<RGBQUAD*>(picture + 1);
    for (int i = 0; i < entries && i < 256; ++i) {
        palette[i].rgbRed = table[3 * i];
        palette[i].rgbGreen = table[3 * i + 1];
        palette[i].rgbBlue = table[3 * i + 2];
    }
    if (rec) {
        rec->disposal = (rec->extension[1] / 4) & 7;
        if (rec->Transparent())
            rec->transparent = palette[rec->extension[4]];
    }
    // Rows arrive in the order of the four interlace passes, or top down.
    BYTE* bits = PictureBits(picture);
    const bool interlaced = (desc.packed & 0x40) != 0;
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    int k = 0;
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
        for (int y = interlaced ? kStart[pass] : 0; y < desc.height;
             y += interlaced ? kStep[pass] : 1, ++k)
            memcpy(bits + (size_t)(desc.height - 1 - y) * stride, indexes + (size_t)k * desc.width,
                   desc.width);
    }
    free(indexes);

    GifFrameDesc* stored = new (std::nothrow) GifFrameDesc(desc);
    if (!stored || m_descriptors.Add(stored) < 0 || m_pictures.Add(picture) < 0) {
        if (m_descriptors.GetSize() > m_pictures.GetSize()) {
            m_descriptors.SetSize(m_pictures.GetSize());
            delete stored;
        }
        free(picture);
        return false;
    }
    *storedBytes += bytes;
    ++m_frameCount;
    return true;
}

int GifAnimation::CreateCache() {
    if (m_cache) {
        m_cache->Release();
        m_cache = nullptr;
    }
    m_cachedFrame = -1;
    if (m_width <= 0 || m_height <= 0)
        return 0;
    m_cache = CreateSiteBuffer(m_width, m_height, m_site);
    return m_cache ? 1 : 0;
}

void GifAnimation::GetSize(int* width, int* height) const {
    if (width)
        *width = m_width;
    if (height)
        *height = m_height;
}

const BITMAPINFOHEADER* GifAnimation::Picture(LONGLONG frame) const {
    if (frame < 0 || frame >= m_frameCount)
        return nullptr;
    return static_cast<const BITMAPINFOHEADER*>(m_pictures.GetAt((int)frame));
}

const GifFrameDesc* GifAnimation::Descriptor(LONGLONG frame) const {
    if (frame < 0 || frame >= m_frameCount)
        return nullptr;
    return static_cast<const GifFrameDesc*>(m_descriptors.GetAt((int)frame));
}

const GifControlRecord* GifAnimation::Control(LONGLONG frame) const {
    for (int i = 0; i < m_controls.GetSize(); ++i) {
        const GifControlRecord* rec = static_cast<const GifControlRecord*>(m_controls.GetAt(i));
        if (rec->frame == frame)
            return rec;
        if (rec->frame > frame)
            break;
    }
    return nullptr;
}

int GifAnimation::GetFrameDelay(DWORD* milliseconds, LONGLONG frame) const {
    const GifControlRecord* rec = Control(frame);
    if (milliseconds)
        *milliseconds = rec ? (DWORD)rec->Delay() * 10 : 0;
    return rec ? 1 : 0;
}

void GifAnimation::FillRect(const RECT& r, BYTE* pixels, LONG pitch) const {
    for (LONG y = r.top; y < r.bottom; ++y) {
        DWORD* row = reinterpret_cast<DWORD*>(pixels + (size_t)y * pitch);
        for (LONG x = r.left; x < r.right; ++x) row[x] = m_background;
    }
}

// The frame's rectangle cut to the screen.
static RECT OnScreen(const GifFrameDesc& d, int width, int height) {
    RECT r = {d.left, d.top, d.left + d.width, d.top + d.height};
    RECT screen = {0, 0, width, height};
    IntersectRect(&r, &r, &screen);
    return r;
}

void GifAnimation::DrawFrame(LONGLONG i, BYTE* pixels, LONG pitch) const {
    const GifFrameDesc* d = Descriptor(i);
    const BITMAPINFOHEADER* picture = Picture(i);
    if (!d || !picture)
        return;
    const GifControlRecord* rec = Control(i);
    const int transparent = rec && rec->Transparent() ? rec->extension[4] : -1;
    const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(picture + 1);
    DWORD colours[256];
    for (int c = 0; c < 256; ++c)
        colours[c] = 0xFF000000u | ((DWORD)palette[c].rgbRed << 16) |
                     ((DWORD)palette[c].rgbGreen << 8) | palette[c].rgbBlue;
    const RECT r = OnScreen(*d, m_width, m_height);
    const DWORD stride = picture->biSizeImage / picture->biHeight;
    const BYTE* bits = PictureBits(picture);
    for (LONG y = r.top; y < r.bottom; ++y) {
        const BYTE* src = bits + (size_t)(d->height - 1 - (y - d->top)) * stride - d->left;
        DWORD* row = reinterpret_cast<DWORD*>(pixels + (size_t)y * pitch);
        if (transparent < 0) {
            for (LONG x = r.left; x < r.right; ++x) row[x] = colours[src[x]];
        } else {
            for (LONG x = r.left; x < r.right; ++x)
                if (src[x] != transparent)
                    row[x] = colours[src[x]];
        }
    }
}

IPixelBuffer* GifAnimation::GetFrame(LONGLONG n) {
    if (m_frameCount <= 0)
        return nullptr;
    if (n >= m_frameCount)
        n = m_frameCount - 1;
    if (n < 0)
        n = 0;
    IPixelBuffer* out = CreateSiteBuffer(m_width, m_height, m_site);
    if (!out)
        return nullptr;
    if (FAILED(out->Lock(PIXLOCK_WRITE))) {
        out->Release();
        return nullptr;
    }
    BufferInfo info = ReadBufferInfo(out, BIM_GEOMETRY);
    const size_t rowBytes = (size_t)m_width * 4;

    LONGLONG start = 0;
    bool fromCache = false;
    if (m_cache && m_cachedFrame >= 0 && m_cachedFrame <= n &&
        SUCCEEDED(m_cache->Lock(PIXLOCK_READ))) {
        BufferInfo c = ReadBufferInfo(m_cache, BIM_GEOMETRY);
        for (LONG y = 0; y < m_height; ++y)
            memcpy(info.pPixels + (size_t)y * info.nPitch, c.pPixels + (size_t)y * c.nPitch,
                   rowBytes);
        m_cache->Unlock();
        start = m_cachedFrame + 1;
        fromCache = true;
    }
    if (!fromCache) {
        RECT all = {0, 0, m_width, m_height};
        FillRect(all, info.pPixels, info.nPitch);
    }

    bool cacheFilled = false;
    for (LONGLONG i = start; i <= n; ++i) {
        const GifControlRecord* rec = Control(i);
        const int disposal = rec ? rec->disposal : 0;
        if (i == n && disposal == 3 && i > 0 && m_cache && i - 1 != m_cachedFrame) {
            // The canvas before a frame that restores the previous one.
            if (SUCCEEDED(m_cache->Lock(PIXLOCK_WRITE))) {
                BufferInfo c = ReadBufferInfo(m_cache, BIM_GEOMETRY);
                for (LONG y = 0; y < m_height; ++y)
                    memcpy(c.pPixels + (size_t)y * c.nPitch, info.pPixels + (size_t)y * info.nPitch,
                           rowBytes);
                m_cache->Unlock();
                m_cachedFrame = i - 1;
            }
            cacheFilled = true;
        } else if (i == n && disposal == 3) {
            cacheFilled = true;  // the cache keeps what it holds
        }
        if (i > 0) {
            const GifControlRecord* before = Control(i - 1);
            const GifFrameDesc* d = Descriptor(i - 1);
            if (before && before->disposal == 2 && d) {
                const RECT r = OnScreen(*d, m_width, m_height);
                FillRect(r, info.pPixels, info.nPitch);
            }
        }
        if (disposal == 3 && i != n)
            continue;
        DrawFrame(i, info.pPixels, info.nPitch);
    }

    const GifControlRecord* rec = Control(n);
    out->EnablePixelAlpha(rec && rec->Transparent());
    if (m_cache && !cacheFilled && SUCCEEDED(m_cache->Lock(PIXLOCK_WRITE))) {
        BufferInfo c = ReadBufferInfo(m_cache, BIM_GEOMETRY);
        for (LONG y = 0; y < m_height; ++y)
            memcpy(c.pPixels + (size_t)y * c.nPitch, info.pPixels + (size_t)y * info.nPitch,
                   rowBytes);
        m_cache->Unlock();
        m_cachedFrame = n;
    }
    out->Unlock();
    return out;
}
