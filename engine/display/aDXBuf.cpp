#include "aDXBuf.h"

#include <limits.h>
#include <string.h>

#include "aGDIBuf.h"
#include "bDib.h"
#include "bTraceLog.h"

#if defined(__i386__)
static_assert(sizeof(DDBLTFX) == 100, "the effects record of the 32-bit program is 100 bytes");
#endif

namespace {

// Capability bits the hardware tests read.
enum : DWORD {
    CAPS_ALIGNSIZEDEST = 0x4,
    CKEY_SRCBLT = 0x200,
    CKEY_SRCBLTCLRSPACE = 0x400,
    FX_ROTATE = 0x100,
    FX_MIRRORLEFTRIGHT = 0x40,
    FX_MIRRORUPDOWN = 0x80,
    FX_SHRINKX = 0x400,
    FX_STRETCHX = 0x4000,
    FX_SHRINKY = 0x1000,
    FX_STRETCHY = 0x10000,
};

bool ScaleOk(DWORD fx, int src, int dst, DWORD stretch, DWORD shrink) {
    if (dst == src)
        return true;
    return dst > src ? (fx & stretch) != 0 : (fx & shrink) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// CDXBuffer

CDXBuffer::CDXBuffer() : m_pOwner(nullptr), m_pSurface(nullptr), m_nLocks(0), m_nDCs(0) {
    memset(&m_desc, 0, sizeof(m_desc));
    m_desc.dwSize = sizeof(m_desc);
}

CDXBuffer::~CDXBuffer() {
    ClearDirty();
    ReleaseSurface();
}

void CDXBuffer::RestoreIfLost() {
    if (m_pSurface && m_pSurface->IsLost() == DDERR_SURFACELOST)
        m_pSurface->Restore();
}

bool CDXBuffer::TryHardwareBlit(const BlitPlan& plan, IPixelBuffer* source) {
    const int family = plan.kernel / 10, variant = plan.kernel % 10;
    if (family > 1 || !m_pSurface)
        return false;
    // A source without owner or surface (a GDI buffer) passes no test.
    DXOwner* owner = nullptr;
    if (source->GetOwner(&owner) != S_OK || !owner)
        return false;
    IDirectDrawSurface4* from = source->GetSurface();
    if (!from)
        return false;
    const DDCAPS& caps = owner->caps;
    // An owner without blitting hardware (capabilities of zero) draws
    // everything in software, plain copies included.
    if (!(caps.dwCaps & DDCAPS_BLT))
        return false;
    const int sw = plan.src.right - plan.src.left, sh = plan.src.bottom - plan.src.top;
    const int dw = plan.dst.right - plan.dst.left, dh = plan.dst.bottom - plan.dst.top;
    const bool sx = ScaleOk(caps.dwFXCaps, sw, dw, FX_STRETCHX, FX_SHRINKX);
    const bool sy = ScaleOk(caps.dwFXCaps, sh, dh, FX_STRETCHY, FX_SHRINKY);
    bool ok = true;
    DWORD flags = 0, fx = 0;
    switch (variant) {
        case 0:
            break;
        case 1:
            ok = (caps.dwFXCaps & FX_MIRRORUPDOWN) != 0;
            fx = DDBLTFX_MIRRORUPDOWN;
            break;
        case 2:
            ok = (caps.dwFXCaps & FX_MIRRORLEFTRIGHT) != 0;
            fx = DDBLTFX_MIRRORLEFTRIGHT;
            break;
        case 3:
            ok = (caps.dwFXCaps & FX_ROTATE) != 0;
            fx = DDBLTFX_ROTATE180;
            break;
        case 4:
            ok = sx;
            break;
        case 5:
            ok = sy;
            break;
        case 6:
            ok = sx && sy;
            break;
        case 7:
            ok = sx && sy && (caps.dwFXCaps & FX_MIRRORUPDOWN);
            fx = DDBLTFX_MIRRORUPDOWN;
            break;
        case 8:
            ok = sx && sy && (caps.dwFXCaps & FX_MIRRORLEFTRIGHT);
            fx = DDBLTFX_MIRRORLEFTRIGHT;
            break;
        default:
            ok = sx && sy && (caps.dwFXCaps & FX_ROTATE);
            fx = DDBLTFX_ROTATE180;
            break;
    }
    if (fx)
        flags |= DDBLT_DDFX;
    if (ok && family == 1) {
        const DWORD need = plan.keyLow == plan.keyHigh ? CKEY_SRCBLT : CKEY_SRCBLTCLRSPACE;
        ok = (caps.dwCKeyCaps & need) != 0;
        flags |= DDBLT_KEYSRCOVERRIDE | DDBLT_WAIT;
    }
    if (!ok)
        return false;
    DDBLTFX effects;
    memset(&effects, 0, sizeof(effects));
    effects.dwSize = sizeof(effects);
    effects.dwDDFX = fx;
    effects.ddckSrcColorkey.dwColorSpaceLowValue = plan.keyLow;
    effects.ddckSrcColorkey.dwColorSpaceHighValue = plan.keyHigh;
    RECT d = plan.dst, s = plan.src;
    // A refused hardware blit falls back to the software kernels.
    return SUCCEEDED(m_pSurface->Blt(
        &d, from, &s, flags, (flags & (DDBLT_DDFX | DDBLT_KEYSRCOVERRIDE)) ? &effects : nullptr));
}

HRESULT CDXBuffer::BlitMapped(const RECT* dest, IPixelBuffer* source, const RECT* src) {
    BlitPlan plan;
    HRESULT hr = PlanBlit(dest, source, src, m_nWidth, m_nHeight, m_nOffsetX, m_nOffsetY, &plan);
    if (FAILED(hr) || plan.kernel < 0)
        return hr;
    if (!m_pSurface)
        return E_FAIL;
    MakeBlitWork(plan, &m_work);
    if (TryHardwareBlit(plan, source))
        return S_OK;
    hr = ScopedUseBegin(this, 1);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "Blit: the destination surface cannot be locked");
        return hr;
    }
    hr = ScopedUseBegin(source, 1);
    if (FAILED(hr)) {
        ScopedUseEnd(this);
        LOG_HRESULT(hr, "Blit: the source cannot be locked");
        return hr;
    }
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_PIXELS | BIM_PITCH;
    hr = source->GetBufferInfo(&info);
    if (SUCCEEDED(hr) && info.pPixels && m_pPixels) {
        plan.source.pPixels = info.pPixels;
        plan.source.nPitch = info.nPitch;
        BlitKernelArgs args;
        MakeKernelArgs(plan, m_pPixels, m_nPitch, &args);
        RunBlitKernel(plan.kernel, args);
    } else if (SUCCEEDED(hr)) {
        hr = E_FAIL;
    }
    ScopedUseEnd(source);
    ScopedUseEnd(this);
    return hr;
}

STDMETHODIMP CDXBuffer::Blit(const RECT* dest, IPixelBuffer* source, const RECT* src, DWORD) {
    TRACE_POINT();
    return BlitMapped(dest, source, src);
}

STDMETHODIMP CDXBuffer::GetDC(HDC* dc) {
    if (!dc)
        return E_POINTER;
    *dc = nullptr;
    ++m_nDCs;
    if (!m_pSurface)
        return E_FAIL;
    RestoreIfLost();
    return m_pSurface->GetDC(dc);
}

STDMETHODIMP CDXBuffer::ReleaseDC(HDC dc) {
    --m_nDCs;
    if (!m_pSurface)
        return E_FAIL;
    return m_pSurface->ReleaseDC(dc);
}

STDMETHODIMP CDXBuffer::FillRect(const RECT* rect, DWORD color) {
    if (!m_pSurface)
        return E_FAIL;
    DDBLTFX fx;
    memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = color;
    RECT r;
    if (rect)
        r = *rect;
    return m_pSurface->Blt(rect ? &r : nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT,
                           &fx);
}

HRESULT CDXBuffer::MakeSurface(int width, int height, IDirectDrawSurface4** out) {
    *out = nullptr;
    DDSURFACEDESC2 desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;  // 0x1007
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;     // 0x840
    desc.dwWidth = (DWORD)width;
    desc.dwHeight = (DWORD)height;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = 32;
    desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
    desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
    desc.ddpfPixelFormat.dwBBitMask = 0xFF;
    return m_pOwner->pDirectDraw->CreateSurface(&desc, out, nullptr);
}

STDMETHODIMP CDXBuffer::Create(int width, int height) {
    TRACE_POINT();
    if (!m_pOwner || !m_pOwner->pDirectDraw)
        return E_UNEXPECTED;
    ReleaseSurface();
    if (width <= 0 || height <= 0)
        return E_INVALIDARG;
    // Pixels per row rounded up to the owner's alignment; the surface is
    // requested at that width so that every recorded pixel exists.
    long long w = width;
    const DWORD align = m_pOwner->caps.dwAlignSizeDest;
    if ((m_pOwner->caps.dwCaps & CAPS_ALIGNSIZEDEST) && align > 1 && w % align)
        w += align - w % align;
    if (w > INT_MAX)
        return E_INVALIDARG;
    IDirectDrawSurface4* surface = nullptr;
    HRESULT hr = MakeSurface((int)w, height, &surface);
    if (FAILED(hr))
        return hr;
    m_pSurface = surface;
    m_nWidth = (LONG)w;
    m_nHeight = height;
    memset(&m_desc, 0, sizeof(m_desc));
    m_desc.dwSize = sizeof(m_desc);
    m_pSurface->GetSurfaceDesc(&m_desc);
    m_nPitch = m_desc.lPitch;
    m_dwFlags |= BIM_GEOMETRY;
    return S_OK;
}

STDMETHODIMP CDXBuffer::SetOrigin(int, int) {
    return S_OK;
}
STDMETHODIMP CDXBuffer::Resize(int, int) {
    return S_FALSE;
}
STDMETHODIMP CDXBuffer::Scroll(int, int) {
    return S_FALSE;
}
STDMETHODIMP_(int) CDXBuffer::HasSurface() {
    return m_pSurface ? 1 : 0;
}
STDMETHODIMP_(IDirectDrawSurface4*) CDXBuffer::GetSurface() {
    return m_pSurface;
}
STDMETHODIMP CDXBuffer::SetOwner(DXOwner* owner) {
    m_pOwner = owner;
    return S_OK;
}
STDMETHODIMP CDXBuffer::GetOwner(DXOwner** owner) {
    if (!owner)
        return E_POINTER;
    *owner = m_pOwner;
    return S_OK;
}

STDMETHODIMP CDXBuffer::Lock(DWORD flags) {
    if (!m_pSurface)
        return E_FAIL;
    if (m_nLocks > 0) {
        ++m_nLocks;
        return S_OK;
    }
    RestoreIfLost();
    DDSURFACEDESC2 desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    HRESULT hr = m_pSurface->Lock(nullptr, &desc, flags, nullptr);
    if (FAILED(hr))
        return hr;
    m_desc = desc;
    m_pPixels = (BYTE*)desc.lpSurface;
    m_nPitch = desc.lPitch;
    ++m_nLocks;
    return S_OK;
}

STDMETHODIMP CDXBuffer::Unlock() {
    if (!m_pSurface)
        return E_FAIL;
    if (m_nLocks <= 0)
        return S_FALSE;
    if (--m_nLocks > 0)
        return S_OK;
    m_pPixels = nullptr;
    return m_pSurface->Unlock(nullptr);
}

STDMETHODIMP_(void) CDXBuffer::Destroy(UINT flags) {
    if (flags & 1) {
        delete this;
        return;
    }
    ClearDirty();
    ReleaseSurface();
}

STDMETHODIMP CDXBuffer::ReleaseSurface() {
    if (m_pSurface) {
        if (m_nLocks > 0)
            m_pSurface->Unlock(nullptr);
        m_pSurface->Release();
    }
    m_pSurface = nullptr;
    m_pPixels = nullptr;
    m_nLocks = 0;
    return S_OK;
}

// ---------------------------------------------------------------------------
// CDXBackBuffer

CDXBackBuffer::CDXBackBuffer() : m_hDC(nullptr) {}

STDMETHODIMP CDXBackBuffer::GetDC(HDC* dc) {
    if (!dc)
        return E_POINTER;
    *dc = nullptr;
    HRESULT hr = CDXBuffer::GetDC(&m_hDC);
    if (FAILED(hr))
        return hr;
    SetWindowOrgEx(m_hDC, -m_nOffsetX, -m_nOffsetY, nullptr);
    *dc = m_hDC;
    return S_OK;
}

STDMETHODIMP CDXBackBuffer::ReleaseDC(HDC) {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    return CDXBuffer::ReleaseDC(dc);
}

STDMETHODIMP CDXBackBuffer::AddDirtyRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    AddDirtyDrawRect(*rect);
    return S_OK;
}

STDMETHODIMP CDXBackBuffer::Create(int width, int height) {
    return CDXBuffer::Create(width < 1 ? 1 : width, height < 1 ? 1 : height);
}

STDMETHODIMP CDXBackBuffer::SetOrigin(int x, int y) {
    m_nOffsetX = -x;
    m_nOffsetY = -y;
    return S_OK;
}

STDMETHODIMP CDXBackBuffer::Resize(int width, int height) {
    TRACE_POINT();
    if (width == m_nWidth && height == m_nHeight && m_pSurface)
        return S_OK;
    if (!m_pSurface) {
        HRESULT hr = Create(width, height);
        if (SUCCEEDED(hr))
            AddDirtyBufferRect(RECT{0, 0, m_nWidth, m_nHeight});
        return hr;
    }
    // The new surface is made beside the old one; the old goes only once
    // the overlap has been copied.
    CComObject<CDXBackBuffer>* fresh = nullptr;
    HRESULT hr = CComObject<CDXBackBuffer>::CreateInstance(&fresh);
    if (FAILED(hr))
        return hr;
    fresh->AddRef();
    fresh->SetOwner(m_pOwner);
    hr = fresh->Create(width, height);
    if (FAILED(hr)) {
        fresh->Release();
        return hr;
    }
    const int oldWidth = m_nWidth, oldHeight = m_nHeight;
    const LONG ox = m_nOffsetX, oy = m_nOffsetY;
    m_nOffsetX = m_nOffsetY = 0;
    const RECT overlap = {0, 0, fresh->m_nWidth < m_nWidth ? fresh->m_nWidth : m_nWidth,
                          fresh->m_nHeight < m_nHeight ? fresh->m_nHeight : m_nHeight};
    hr = fresh->Blit(&overlap, this, &overlap, 0);
    m_nOffsetX = ox;
    m_nOffsetY = oy;
    if (FAILED(hr)) {
        fresh->Release();
        return hr;
    }
    ReleaseSurface();
    m_pSurface = fresh->m_pSurface;
    fresh->m_pSurface = nullptr;
    m_desc = fresh->m_desc;
    m_nWidth = fresh->m_nWidth;
    m_nHeight = fresh->m_nHeight;
    m_nPitch = fresh->m_nPitch;
    fresh->Release();
    AddGrownDirty(oldWidth, oldHeight);
    return S_OK;
}

STDMETHODIMP CDXBackBuffer::Scroll(int dx, int dy) {
    TRACE_POINT();
    if (dx == 0 && dy == 0)
        return S_FALSE;
    if (!m_pSurface)
        return E_FAIL;
    if (ScrollsOutWholly(dx, dy))
        return S_OK;
    HRESULT hr = Lock(DDLOCK_WAIT);
    if (FAILED(hr))
        return hr;
    MoveRows(dx, dy);
    Unlock();
    AddScrolledDirty(dx, dy);
    return S_OK;
}

// ---------------------------------------------------------------------------
// CDXSurfaceBuffer

CDXSurfaceBuffer::CDXSurfaceBuffer() {}

STDMETHODIMP CDXSurfaceBuffer::Blit(const RECT* dest, IPixelBuffer* source, const RECT* src,
                                    DWORD) {
    TRACE_POINT();
    if (!dest || !source || !src)
        return E_POINTER;
    RECT mappedDest, mappedSrc;
    const HRESULT hr = MapViewBlit(*dest, *src, &mappedDest, &mappedSrc);
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_OK;
    return BlitMapped(&mappedDest, source, &mappedSrc);
}

STDMETHODIMP CDXSurfaceBuffer::GetDC(HDC* dc) {
    if (!dc)
        return E_POINTER;
    *dc = nullptr;
    if (!m_pSurface)
        return E_FAIL;
    POINT origin;
    HRESULT hr = GetViewportOrigin(&origin);
    if (FAILED(hr))
        return hr;
    hr = m_pSurface->GetDC(&m_hDC);
    if (FAILED(hr))
        return hr;
    PrepareViewDC(m_hDC, m_nOffsetX, m_nOffsetY, origin);
    *dc = m_hDC;
    return S_OK;
}

STDMETHODIMP CDXSurfaceBuffer::ReleaseDC(HDC dc) {
    if (!m_pSurface)
        return E_FAIL;
    m_hDC = nullptr;
    return m_pSurface->ReleaseDC(dc);
}

STDMETHODIMP CDXSurfaceBuffer::CreateLike(IPixelBuffer* other) {
    TRACE_POINT();
    if (!other)
        return E_POINTER;
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_HEIGHT | BIM_WIDTH | BIM_OFFSET;
    HRESULT hr = other->GetBufferInfo(&info);
    if (FAILED(hr))
        return hr;
    m_nOffsetX = info.nOffsetX;
    m_nOffsetY = info.nOffsetY;
    DXOwner* owner = nullptr;
    other->GetOwner(&owner);
    m_pOwner = owner;
    return Create(info.nWidth, info.nHeight);
}

STDMETHODIMP CDXSurfaceBuffer::CopyViewRect(IPixelBuffer* other, BOOL fromOther) {
    TRACE_POINT();
    if (!other)
        return E_POINTER;
    HRESULT hr = ScopedUseBegin(other, PIXLOCK_READ);
    if (FAILED(hr))
        return hr;
    hr = ScopedUseBegin(this, PIXLOCK_WRITE);
    if (FAILED(hr)) {
        ScopedUseEnd(other);
        return hr;
    }
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_GEOMETRY;
    hr = other->GetBufferInfo(&info);
    if (SUCCEEDED(hr) && (!info.pPixels || !m_pPixels || info.nPitch < 4LL * info.nWidth))
        hr = E_FAIL;
    RECT area;
    if (SUCCEEDED(hr) && ViewCopyArea(m_nOffsetX, m_nOffsetY, RECT{0, 0, m_nWidth, m_nHeight},
                                      RECT{0, 0, info.nWidth, info.nHeight}, &area)) {
        if (fromOther)
            CopyPixelRows(m_pPixels, m_nPitch, info.pPixels, info.nPitch, area);
        else
            CopyPixelRows(info.pPixels, info.nPitch, m_pPixels, m_nPitch, area);
    }
    ScopedUseEnd(this);
    ScopedUseEnd(other);
    return hr;
}

STDMETHODIMP CDXSurfaceBuffer::GetViewportOrigin(POINT* origin) {
    return ViewportOrigin(m_nOffsetX, m_nOffsetY, origin);
}

// ---------------------------------------------------------------------------
// Free functions

IPixelBuffer* CreateDXBuffer(DXOwner* owner, int width, int height) {
    TRACE_POINT();
    if (!owner || width == 0 || height == 0)
        return nullptr;
    CComObject<CDXBuffer>* object = nullptr;
    if (FAILED(CComObject<CDXBuffer>::CreateInstance(&object)))
        return nullptr;
    object->AddRef();
    object->SetOwner(owner);
    if (FAILED(object->Create(width, height))) {
        object->Release();
        return nullptr;
    }
    return object;
}

namespace {

// Copies rows of 32-bit pixels into a new buffer (top-down when topDown).
IPixelBuffer* BufferFromRows(DXOwner* owner, int width, int height, const BYTE* rows,
                             bool topDown) {
    IPixelBuffer* buffer = CreateDXBuffer(owner, width, height);
    if (!buffer)
        return nullptr;
    if (FAILED(buffer->Lock(DDLOCK_WAIT | DDLOCK_WRITEONLY))) {
        buffer->Release();
        return nullptr;
    }
    BufferInfo info = ReadBufferInfo(buffer, BIM_GEOMETRY);
    CopyDibRows(info.pPixels, info.nPitch, rows, width, height, topDown);
    buffer->Unlock();
    return buffer;
}

}  // namespace

IPixelBuffer* CreateDXBufferFromDIB(DXOwner* owner, HGLOBAL dib) {
    TRACE_POINT();
    if (!dib)
        return nullptr;
    const BYTE* block = (const BYTE*)GlobalLock(dib);
    if (!block)
        return nullptr;
    const size_t size = GlobalSize(dib);
    IPixelBuffer* buffer = nullptr;
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof(h));
    if (size >= sizeof(h))
        memcpy(&h, block, sizeof(h));
    const long long rows = h.biHeight < 0 ? -(long long)h.biHeight : h.biHeight;
    if (h.biSize == sizeof(h) && h.biBitCount == 32 && h.biCompression == BI_RGB &&
        h.biClrUsed == 0 && h.biWidth > 0 && rows > 0 &&
        (unsigned long long)h.biWidth * 4 * rows <= size - sizeof(h)) {
        // 32-bit rows are taken as they are, alpha included.
        buffer = BufferFromRows(owner, h.biWidth, (int)rows, block + sizeof(h), h.biHeight < 0);
        GlobalUnlock(dib);
        return buffer;
    }
    // Any other picture through the checked conversion, which reads nothing
    // past the block: a damaged header gives no picture.
    HGLOBAL converted = ConvertPackedDib32Checked(block, size);
    GlobalUnlock(dib);
    if (!converted) {
        LOG_MSG("CreateDXBufferFromDIB: not a usable packed DIB");
        return nullptr;
    }
    const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)GlobalLock(converted);
    if (header) {
        const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
        buffer = BufferFromRows(owner, header->biWidth, height, DibBitsPointer(header),
                                header->biHeight < 0);
        GlobalUnlock(converted);
    }
    GlobalFree(converted);
    return buffer;
}

IPixelBuffer* CreateBufferLike(int width, int height, IPixelBuffer* model) {
    DXOwner* owner = nullptr;
    if (model && model->GetOwner(&owner) == S_OK && owner)
        return CreateDXBuffer(owner, width, height);
    return CreateGDIBuffer(width, height);
}
