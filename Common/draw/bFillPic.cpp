// The picture fill (see bFillPic.h).
#include "bFillPic.h"

#include <string.h>

#include <algorithm>
#include <vector>

#include "aMediaMgr.h"
#include "aPixBuf.h"
#include "aUtil.h"
#include "bFillInner.h"
#include "bPicBase.h"
#include "bPropertyAccess.h"
#include "bStorage.h"
#include "bTraceLog.h"

namespace {

enum { PICTURE_NAME_SIZE = 32 };

inline int Mod(long long a, int m) {
    long long r = a % m;
    return (int)(r < 0 ? r + m : r);
}

// The media site of a play site; every play site interface begins with
// IUnknown.
CComPtr<IFillMediaSite> MediaSiteOf(IPlayerSite* site) {
    CComPtr<IFillMediaSite> media;
    if (site)
        reinterpret_cast<IUnknown*>(site)->QueryInterface(__uuidof(IFillMediaSite),
                                                          reinterpret_cast<void**>(&media));
    return media;
}

class PictureFill : public FillBase, public IPictureFillParams {
public:
    PictureFill() : m_mode(PICFILL_TILE), m_hasAlpha(0), m_picWidth(0), m_picHeight(0) {
        m_name[0] = 0;
        m_path[0] = 0;
    }

    HRESULT Load(ITeskStream* stream) override;
    HRESULT Save(ITeskStream* stream) override {
        DWORD m = (DWORD)strlen(m_name) + 1;
        stream->Write(&m_mode, 4);
        stream->Write(&m, 4);
        stream->WriteWideString(m_name, m);
        return S_OK;
    }
    HRESULT Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                   IPlayerSite* site) override;
    HRESULT CopyFrom(FillObject* other) override {
        IPictureFillParams* p = nullptr;
        if (FAILED(other->GetFillParams(reinterpret_cast<void**>(&p))) || !p)
            return E_FAIL;
        char name[260] = {};
        p->GetPictureName(name);
        name[PICTURE_NAME_SIZE - 1] = 0;
        SetPictureName(name);
        // A picture given by its path keeps it in the copy.
        char path[MAX_PATH] = {};
        p->GetPicturePath(path);
        if (strcmp(path, m_path) != 0) {
            m_picture.Release();
            lstrcpynA(m_path, path, MAX_PATH);
        }
        return p->GetMode(&m_mode);
    }
    HRESULT Interpolate(FillObject*, FillObject*, int) override { return E_NOTIMPL; }
    void* GetParams() override { return static_cast<IPictureFillParams*>(this); }

    STDMETHOD(SetPictureName)(const char* name) override {
        if (!name)
            name = "";
        if (strlen(name) >= PICTURE_NAME_SIZE)
            return E_INVALIDARG;
        if (strcmp(name, m_name) != 0) {
            m_picture.Release();
            strcpy(m_name, name);
        }
        return S_OK;
    }
    STDMETHOD(GetPictureName)(char* buffer) override {
        if (!buffer)
            return E_POINTER;
        strcpy(buffer, m_name);
        return S_OK;
    }
    STDMETHOD(SetPicturePath)(const char* path) override {
        lstrcpynA(m_path, path ? path : "", MAX_PATH);
        m_name[0] = 0;
        return S_OK;
    }
    STDMETHOD(GetPicturePath)(char* buffer) override {
        if (!m_path[0])
            return S_FALSE;
        if (!buffer)
            return E_POINTER;
        strcpy(buffer, m_path);
        return S_OK;
    }
    STDMETHOD(SetMode)(int mode) override { return SetProperty(m_mode, mode); }
    STDMETHOD(GetMode)(int* mode) override { return GetProperty(m_mode, mode); }
    STDMETHOD(ReportMedia)(IMediaCollector* collector) override {
        char name[260] = {};
        GetPictureName(name);
        if (collector && name[0])
            collector->AddMedia(2, name);
        return S_OK;
    }

private:
    HRESULT LoadPicture(IPlayerSite* site);

    int m_mode;
    CComPtr<IPixelBuffer> m_picture;
    int m_hasAlpha;
    int m_picWidth;
    int m_picHeight;
    char m_name[PICTURE_NAME_SIZE];
    char m_path[MAX_PATH];
};

HRESULT PictureFill::Load(ITeskStream* stream) {
    DWORD head[2];
    stream->Read(head, sizeof(head));
    DWORD m = head[1];
    ULONGLONG left = StreamRemaining(stream);
    if (m > PICTURE_NAME_SIZE || 2ULL * m > left) {
        LOG_MSG("PictureFill::Load: name of %u characters refused", (unsigned)m);
        return E_FAIL;
    }
    char name[PICTURE_NAME_SIZE + 1] = {};
    if (m)
        stream->ReadWideString(name, m);
    name[PICTURE_NAME_SIZE - 1] = 0;
    if (strcmp(name, m_name) != 0)
        m_picture.Release();
    strcpy(m_name, name);
    m_mode = (int)head[0];
    return S_OK;
}

HRESULT PictureFill::LoadPicture(IPlayerSite* site) {
    CComPtr<IFillMediaSite> media = MediaSiteOf(site);
    IPictureCodecSite* codecs = nullptr;
    if (media)
        media->GetCodecSite(&codecs);
    CComPtr<PicBase> picture;
    if (FAILED(CreatePicBaseInterface(&picture, codecs)) || !picture) {
        LOG_MSG("CreatePicBaseInterface failed");
        return E_FAIL;
    }
    HRESULT hr;
    if (m_name[0]) {
        IMediaManager* manager = nullptr;
        if (media)
            media->GetMediaManager(&manager);
        if (!manager) {
            LOG_MSG("GetMediaFileName failed: %s", m_name);
            return E_FAIL;
        }
        BYTE isFile = 0;
        manager->IsFileMedia(m_name, &isFile);
        if (isFile) {
            char path[MAX_PATH] = {};
            hr = manager->GetMediaFilePath(m_name, 1, path, MAX_PATH);
            if (FAILED(hr)) {
                LOG_MSG("GetMediaFileName failed: %s", m_name);
                return hr;
            }
            hr = picture->LoadFile(path);
        } else {
            DWORD size = 0;
            hr = manager->ReadMediaData(m_name, 0, 0, nullptr, &size);
            std::vector<BYTE> bytes;
            if (SUCCEEDED(hr) && size > 0) {
                try {
                    bytes.resize(size);
                } catch (const std::bad_alloc&) {
                    return E_OUTOFMEMORY;
                }
                hr = manager->ReadMediaData(m_name, 0, 0, bytes.data(), &size);
            } else if (SUCCEEDED(hr)) {
                hr = E_FAIL;
            }
            if (SUCCEEDED(hr)) {
                char ext[256] = {};
                manager->GetDefaultExtension(m_name, ext, sizeof(ext));
                int codec = 0;
                picture->FindCodec(ext, &codec);
                hr = picture->DecodeMemory(bytes.data(),
                                           (DWORD)std::min<size_t>(size, bytes.size()), codec);
            }
            if (FAILED(hr)) {
                LOG_MSG("LoadImage failed: %s", m_name);
                return hr;
            }
        }
    } else {
        hr = picture->LoadFile(m_path);
    }
    if (FAILED(hr))
        return hr;
    int width = picture->GetWidth(), height = picture->GetHeight();
    int alpha = picture->GetAlphaFlag();
    HGLOBAL dib = nullptr;
    if (FAILED(picture->DetachDIB(&dib)) || !dib) {
        LOG_MSG("get_Handle for picture Failed! ");
        return E_FAIL;
    }
    CComPtr<IPixelBuffer> buffer;
    buffer.Attach(CreateBitmapForTarget(dib, site));
    GlobalFree(dib);
    if (!buffer) {
        LOG_MSG("LoadPicture failed! Buffer=NULL");
        return E_FAIL;
    }
    BufferInfo info = ReadBufferInfo(buffer);
    m_picWidth = std::min(width, (int)info.nWidth);
    m_picHeight = std::min(height, (int)info.nHeight);
    if (m_picWidth <= 0 || m_picHeight <= 0)
        return E_FAIL;
    m_hasAlpha = alpha;
    m_picture = buffer;
    return S_OK;
}

HRESULT PictureFill::Render(const RECT* bounds, IPixelBuffer* buffer, BYTE alpha, const RECT* clip,
                            IPlayerSite* site) {
    if (!bounds || !buffer || !clip)
        return E_POINTER;
    if (!m_name[0] && !m_path[0])
        return S_OK;
    m_alpha = alpha;
    if (alpha == 0) {
        buffer->EnablePixelAlpha(TRUE);
        return S_OK;
    }
    if (!m_picture) {
        HRESULT hr = LoadPicture(site);
        if (FAILED(hr))
            return hr;
    }
    BufferInfo di = ReadBufferInfo(buffer);
    RECT c = *clip, whole = {0, 0, di.nWidth, di.nHeight};
    // Tiles continue past the bounds over the whole clip, in the bounds'
    // phase.
    if (!IntersectRect(&c, &c, &whole) ||
        (m_mode != PICFILL_TILE && !IntersectRect(&c, &c, bounds)))
        return S_OK;
    const long long bw = (long long)bounds->right - bounds->left,
                    bh = (long long)bounds->bottom - bounds->top;
    // The drawn area, for the alpha pass.
    RECT drawn = c;
    if (m_mode == PICFILL_TILE || m_mode == PICFILL_CENTRE) {
        HRESULT hr = ScopedUseBegin(buffer, PIXLOCK_WRITE);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = ScopedUseBegin(m_picture, PIXLOCK_READ))) {
            ScopedUseEnd(buffer);
            return hr;
        }
        di = ReadBufferInfo(buffer);
        BufferInfo si = ReadBufferInfo(m_picture);
        if (di.pPixels && si.pPixels) {
            if (m_mode == PICFILL_TILE) {
                for (int y = c.top; y < c.bottom; ++y) {
                    const DWORD* src = reinterpret_cast<const DWORD*>(
                        si.pPixels +
                        (ptrdiff_t)Mod((long long)y - bounds->top, m_picHeight) * si.nPitch);
                    DWORD* d = reinterpret_cast<DWORD*>(di.pPixels + (ptrdiff_t)y * di.nPitch);
                    int x = c.left, sx = Mod((long long)c.left - bounds->left, m_picWidth);
                    while (x < c.right) {
                        int run = std::min((int)(c.right - x), m_picWidth - sx);
                        memcpy(d + x, src + sx, run * sizeof(DWORD));
                        x += run;
                        sx = 0;
                    }
                }
            } else {
                RECT place;
                int sx = 0, sy = 0;
                if (m_picWidth < bw) {
                    place.left = bounds->left + (bw - m_picWidth) / 2;
                    place.right = place.left + m_picWidth;
                } else {
                    place.left = bounds->left;
                    place.right = bounds->right;
                    sx = (m_picWidth - bw) / 2;
                }
                if (m_picHeight < bh) {
                    place.top = bounds->top + (bh - m_picHeight) / 2;
                    place.bottom = place.top + m_picHeight;
                } else {
                    place.top = bounds->top;
                    place.bottom = bounds->bottom;
                    sy = (m_picHeight - bh) / 2;
                }
                if (!IntersectRect(&drawn, &place, &c))
                    SetRectEmpty(&drawn);
                for (int y = drawn.top; y < drawn.bottom; ++y) {
                    const DWORD* src = reinterpret_cast<const DWORD*>(
                        si.pPixels + (ptrdiff_t)(y - place.top + sy) * si.nPitch);
                    DWORD* d = reinterpret_cast<DWORD*>(di.pPixels + (ptrdiff_t)y * di.nPitch);
                    memcpy(d + drawn.left, src + (drawn.left - place.left + sx),
                           (drawn.right - drawn.left) * sizeof(DWORD));
                }
            }
        }
        ScopedUseEnd(m_picture);
        ScopedUseEnd(buffer);
    } else {
        RECT src = {0, 0, m_picWidth, m_picHeight};
        buffer->Blit(bounds, m_picture, &src, 0);
    }
    // Alpha pass: the drawing's alpha, scaling the picture's own when it has
    // one.
    if (!IsRectEmpty(&drawn) && SUCCEEDED(ScopedUseBegin(buffer, PIXLOCK_WRITE))) {
        di = ReadBufferInfo(buffer);
        if (di.pPixels)
            for (int y = drawn.top; y < drawn.bottom; ++y) {
                BYTE* p = di.pPixels + (ptrdiff_t)y * di.nPitch + drawn.left * 4 + 3;
                for (int x = drawn.left; x < drawn.right; ++x, p += 4) {
                    if (!m_hasAlpha)
                        *p = alpha;
                    else if (alpha != 255)
                        *p = (BYTE)((alpha * *p) >> 8);
                }
            }
        ScopedUseEnd(buffer);
    }
    if (m_hasAlpha || alpha != 255)
        buffer->EnablePixelAlpha(TRUE);
    return S_OK;
}

}  // namespace

FillBase* CreatePictureFill() {
    return new (std::nothrow) PictureFill();
}

void ReportPictureName(FillBase* fill, char* name) {
    name[0] = 0;
    if (PictureFill* picture = dynamic_cast<PictureFill*>(fill))
        picture->GetPictureName(name);
}
