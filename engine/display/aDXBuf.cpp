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

LONG ClampToLong(long long v) {
    if (v < LONG_MIN)
        return LONG_MIN;
    if (v > LONG_MAX)
        return LONG_MAX;
    return (LONG)v;
}

int TruncToInt(double v) {
    if (!(v > (double)INT_MIN))
        return INT_MIN;
    if (!(v < (double)INT_MAX))
        return INT_MAX;
    return (int)v;
}

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

CDXBuffer::CDXBuffer()
    : m_pOwner(nullptr),
      m_pSurface(nullptr),
      m_pPixels(nullptr),
      m_nHeight(0),
      m_nWidth(0),
      m_nPitch(0),
      m_dwFlags(BIM_NEW),
      m_bConstAlpha(0),
      m_bExtra(0),
      m_dwKeyLow(0),
      m_dwKeyHigh(0),
      m_nOffsetX(0),
      m_nOffsetY(0),
      m_hDirty(nullptr),
      m_nLocks(0),
      m_nDCs(0) {
    memset(&m_desc, 0, sizeof(m_desc));
    m_desc.dwSize = sizeof(m_desc);
    memset(&m_work, 0, sizeof(m_work));
}

CDXBuffer::~CDXBuffer() {
    if (m_hDirty)
        DeleteObject(m_hDirty);
    ReleaseSurface();
}

void CDXBuffer::RestoreIfLost() {
    if (m_pSurface && m_pSurface->IsLost() == DDERR_SURFACELOST)
        m_pSurface->Restore();
}

STDMETHODIMP CDXBuffer::GetBufferInfo(BufferInfo* info) {
    if (!info)
        return E_POINTER;
    const WORD requested = info->wMask;
    const WORD mask = (WORD)(m_dwFlags & BUFFLAG_MASK);
    const WORD known = requested & mask;
    if (known & BIM_HEIGHT)
        info->nHeight = m_nHeight;
    if (known & BIM_WIDTH)
        info->nWidth = m_nWidth;
    if (known & BIM_PITCH)
        info->nPitch = m_nPitch;
    if (known & BIM_CONSTALPHA)
        info->bConstAlpha = m_bConstAlpha;
    if (known & BIM_EXTRA)
        info->bExtra = m_bExtra;
    if (known & BIM_COLORKEY) {
        info->dwKeyLow = m_dwKeyLow;
        info->dwKeyHigh = m_dwKeyHigh;
    }
    if (known & BIM_OFFSET) {
        info->nOffsetX = m_nOffsetX;
        info->nOffsetY = m_nOffsetY;
    }
    if (known & BIM_PIXELS)
        info->pPixels = m_pPixels;
    if (known & BIM_FLAGS) {
        info->wMask = (WORD)(m_dwFlags & 0xFFFF);
        info->wReserved = (WORD)(m_dwFlags >> 16);
    }
    if (requested & ~mask) {
        LOG_MSG("GetBufferInfo failed: Invalid wMask: %04X/%04X", requested, mask);
        return E_INVALIDARG;
    }
    return S_OK;
}

STDMETHODIMP CDXBuffer::SetBufferInfo(const BufferInfo* info) {
    if (!info)
        return E_POINTER;
    const WORD m = info->wMask;
    if (m & BIM_HEIGHT)
        m_nHeight = info->nHeight;
    if (m & BIM_WIDTH)
        m_nWidth = info->nWidth;
    if (m & BIM_PITCH)
        m_nPitch = info->nPitch;
    if (m & BIM_CONSTALPHA)
        m_bConstAlpha = info->bConstAlpha;
    if (m & BIM_COLORKEY) {
        m_dwKeyLow = info->dwKeyLow;
        m_dwKeyHigh = info->dwKeyHigh;
    }
    if (m & BIM_EXTRA)
        m_bExtra = info->bExtra;
    if (m & BIM_PIXELS)
        m_pPixels = info->pPixels;
    if (m & BIM_OFFSET) {
        m_nOffsetX = info->nOffsetX;
        m_nOffsetY = info->nOffsetY;
    }
    m_dwFlags |= m & (BIM_HEIGHT | BIM_WIDTH | BIM_PITCH | BIM_CONSTALPHA | BIM_COLORKEY |
                      BIM_EXTRA | BIM_PIXELS | BIM_OFFSET);
    return S_OK;
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

void CDXBuffer::AddDirtyBufferRect(const RECT& rect) {
    RECT bounds = {0, 0, m_nWidth, m_nHeight}, clipped;
    if (!IntersectRect(&clipped, &rect, &bounds))
        return;
    if (!m_hDirty) {
        m_hDirty = CreateRectRgnIndirect(&clipped);
        return;
    }
    HRGN add = CreateRectRgnIndirect(&clipped);
    if (!add)
        return;
    CombineRgn(m_hDirty, m_hDirty, add, RGN_OR);
    DeleteObject(add);
}

STDMETHODIMP CDXBuffer::AddDirtyRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    AddDirtyBufferRect(*rect);
    return S_OK;
}

STDMETHODIMP CDXBuffer::ClearDirty() {
    if (m_hDirty)
        DeleteObject(m_hDirty);
    m_hDirty = nullptr;
    return S_OK;
}

STDMETHODIMP CDXBuffer::EnableColorKey(BOOL on) {
    m_dwFlags = on ? m_dwFlags | BUFFLAG_COLORKEY : m_dwFlags & ~(DWORD)BUFFLAG_COLORKEY;
    return S_OK;
}

STDMETHODIMP CDXBuffer::EnableConstAlpha(BOOL on) {
    m_dwFlags = on ? m_dwFlags | BUFFLAG_CONSTALPHA : m_dwFlags & ~(DWORD)BUFFLAG_CONSTALPHA;
    return S_OK;
}

STDMETHODIMP CDXBuffer::EnablePixelAlpha(BOOL on) {
    m_dwFlags = on ? m_dwFlags | BUFFLAG_PIXELALPHA : m_dwFlags & ~(DWORD)BUFFLAG_PIXELALPHA;
    return S_OK;
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
    RECT r = {ClampToLong((long long)rect->left + m_nOffsetX),
              ClampToLong((long long)rect->top + m_nOffsetY),
              ClampToLong((long long)rect->right + m_nOffsetX),
              ClampToLong((long long)rect->bottom + m_nOffsetY)};
    AddDirtyBufferRect(r);
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
    if (m_nWidth > oldWidth)
        AddDirtyBufferRect(RECT{oldWidth, 0, m_nWidth, m_nHeight});
    if (m_nHeight > oldHeight)
        AddDirtyBufferRect(RECT{0, oldHeight, m_nWidth, m_nHeight});
    return S_OK;
}

STDMETHODIMP CDXBackBuffer::Scroll(int dx, int dy) {
    TRACE_POINT();
    if (dx == 0 && dy == 0)
        return S_FALSE;
    if (!m_pSurface)
        return E_FAIL;
    const long long adx = dx < 0 ? -(long long)dx : dx, ady = dy < 0 ? -(long long)dy : dy;
    if (adx >= m_nWidth || ady >= m_nHeight) {
        AddDirtyBufferRect(RECT{0, 0, m_nWidth, m_nHeight});
        return S_OK;
    }
    HRESULT hr = Lock(DDLOCK_WAIT);
    if (FAILED(hr))
        return hr;
    // The pixel (x, y) goes to (x + dx, y - dy).
    const size_t bytes = (size_t)(m_nWidth - adx) * 4;
    const int dstX = dx > 0 ? dx : 0, srcX = dx > 0 ? 0 : -dx;
    auto moveRow = [&](int y) {
        memmove(m_pPixels + (ptrdiff_t)y * m_nPitch + 4 * dstX,
                m_pPixels + (ptrdiff_t)(y + dy) * m_nPitch + 4 * srcX, bytes);
    };
    if (dy >= 0) {
        for (int y = 0; y < m_nHeight - dy; ++y) moveRow(y);
    } else {
        for (int y = m_nHeight - 1; y >= -dy; --y) moveRow(y);
    }
    Unlock();
    if (dx > 0)
        AddDirtyBufferRect(RECT{0, 0, dx, m_nHeight});
    if (dx < 0)
        AddDirtyBufferRect(RECT{m_nWidth + dx, 0, m_nWidth, m_nHeight});
    if (dy > 0)
        AddDirtyBufferRect(RECT{0, m_nHeight - dy, m_nWidth, m_nHeight});
    if (dy < 0)
        AddDirtyBufferRect(RECT{0, 0, m_nWidth, -dy});
    return S_OK;
}

// ---------------------------------------------------------------------------
// CDXSurfaceBuffer

CDXSurfaceBuffer::CDXSurfaceBuffer() : m_bClipToView(1) {
    SetRect(&m_rcLogical, 0, 0, 1, 1);
    SetRect(&m_rcDevice, 0, 0, 1, 1);
}

STDMETHODIMP CDXSurfaceBuffer::Blit(const RECT* dest, IPixelBuffer* source, const RECT* src,
                                    DWORD) {
    TRACE_POINT();
    if (!dest || !source || !src)
        return E_POINTER;
    const long long lw = (long long)m_rcLogical.right - m_rcLogical.left;
    const long long lh = (long long)m_rcLogical.bottom - m_rcLogical.top;
    const long long dw = (long long)m_rcDevice.right - m_rcDevice.left;
    const long long dh = (long long)m_rcDevice.bottom - m_rcDevice.top;
    if (lw == 0 || lh == 0)
        return E_FAIL;
    auto mapX = [&](long long x) {
        return ClampToLong((dw * (x - m_rcLogical.left) + lw * m_rcDevice.left) / lw);
    };
    auto mapY = [&](long long y) {
        return ClampToLong((dh * (y - m_rcLogical.top) + lh * m_rcDevice.top) / lh);
    };
    RECT mapped = {mapX(dest->left), mapY(dest->top), mapX(dest->right), mapY(dest->bottom)};
    if (!m_bClipToView) {
        if (mapped.right <= mapped.left || mapped.bottom <= mapped.top)
            return S_OK;
        if (src->right == src->left || src->bottom == src->top)
            return S_OK;
        return BlitMapped(&mapped, source, src);
    }
    RECT view, clipped;
    if (!IntersectRect(&view, &m_rcLogical, &m_rcDevice))
        return S_OK;
    if (!IntersectRect(&clipped, &mapped, &view))
        return S_OK;
    CDoublePrecision precision;
    const double kx = (double)((long long)src->right - src->left) /
                      (double)((long long)mapped.right - mapped.left);
    const double ky = (double)((long long)src->bottom - src->top) /
                      (double)((long long)mapped.bottom - mapped.top);
    RECT shrunk;
    shrunk.left = TruncToInt(src->left + kx * (clipped.left - mapped.left) + 0.5);
    shrunk.right = TruncToInt(src->left + kx * (clipped.right - mapped.left) + 0.5);
    shrunk.top = TruncToInt(src->top + ky * (clipped.top - mapped.top) + 0.5);
    shrunk.bottom = TruncToInt(src->top + ky * (clipped.bottom - mapped.top) + 0.5);
    if (shrunk.right <= shrunk.left || shrunk.bottom <= shrunk.top)
        return S_OK;
    return BlitMapped(&clipped, source, &shrunk);
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
    SetMapMode(m_hDC, MM_ANISOTROPIC);
    SetWindowOrgEx(m_hDC, -m_nOffsetX, -m_nOffsetY, nullptr);
    SetWindowExtEx(m_hDC, m_rcLogical.right - m_rcLogical.left,
                   m_rcLogical.bottom - m_rcLogical.top, nullptr);
    SetViewportExtEx(m_hDC, m_rcDevice.right - m_rcDevice.left, m_rcDevice.bottom - m_rcDevice.top,
                     nullptr);
    SetViewportOrgEx(m_hDC, origin.x, origin.y, nullptr);
    if (m_bClipToView) {
        RECT bounds;
        IntersectRect(&bounds, &m_rcLogical, &m_rcDevice);
        SetBoundsRect(m_hDC, &bounds, DCB_RESET | DCB_ACCUMULATE);
    }
    *dc = m_hDC;
    return S_OK;
}

STDMETHODIMP CDXSurfaceBuffer::ReleaseDC(HDC dc) {
    if (!m_pSurface)
        return E_FAIL;
    m_hDC = nullptr;
    return m_pSurface->ReleaseDC(dc);
}

STDMETHODIMP CDXSurfaceBuffer::SetLogicalRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    m_rcLogical = *rect;
    return S_OK;
}
STDMETHODIMP CDXSurfaceBuffer::GetLogicalRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    *rect = m_rcLogical;
    return S_OK;
}
STDMETHODIMP CDXSurfaceBuffer::SetDeviceRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    m_rcDevice = *rect;
    return S_OK;
}
STDMETHODIMP CDXSurfaceBuffer::GetDeviceRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    *rect = m_rcDevice;
    return S_OK;
}
STDMETHODIMP CDXSurfaceBuffer::SetClipToView(BOOL on) {
    m_bClipToView = on;
    return S_OK;
}
STDMETHODIMP_(BOOL) CDXSurfaceBuffer::GetClipToView() {
    return m_bClipToView;
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
    RECT area = m_rcDevice;
    bool any = SUCCEEDED(hr) && (!m_bClipToView || IntersectRect(&area, &m_rcDevice, &m_rcLogical));
    if (any) {
        area = RECT{ClampToLong((long long)area.left + m_nOffsetX),
                    ClampToLong((long long)area.top + m_nOffsetY),
                    ClampToLong((long long)area.right + m_nOffsetX),
                    ClampToLong((long long)area.bottom + m_nOffsetY)};
        const RECT otherBounds = {0, 0, info.nWidth, info.nHeight};
        const RECT ownBounds = {0, 0, m_nWidth, m_nHeight};
        any = IntersectRect(&area, &area, &otherBounds) && IntersectRect(&area, &area, &ownBounds);
    }
    if (any) {
        const size_t bytes = (size_t)(area.right - area.left) * 4;
        for (int y = area.top; y < area.bottom; ++y) {
            BYTE* own = m_pPixels + (ptrdiff_t)y * m_nPitch + 4 * (ptrdiff_t)area.left;
            BYTE* theirs = info.pPixels + (ptrdiff_t)y * info.nPitch + 4 * (ptrdiff_t)area.left;
            if (fromOther)
                memcpy(own, theirs, bytes);
            else
                memcpy(theirs, own, bytes);
        }
    }
    ScopedUseEnd(this);
    ScopedUseEnd(other);
    return hr;
}

STDMETHODIMP CDXSurfaceBuffer::GetViewportOrigin(POINT* origin) {
    if (!origin)
        return E_POINTER;
    const long long lw = (long long)m_rcLogical.right - m_rcLogical.left;
    const long long lh = (long long)m_rcLogical.bottom - m_rcLogical.top;
    if (lw == 0 || lh == 0)
        return E_FAIL;
    const long long dw = (long long)m_rcDevice.right - m_rcDevice.left;
    const long long dh = (long long)m_rcDevice.bottom - m_rcDevice.top;
    origin->x = ClampToLong(m_nOffsetX + (long long)m_rcDevice.left -
                            dw * (m_nOffsetX + (long long)m_rcLogical.left) / lw);
    origin->y = ClampToLong(m_nOffsetY + (long long)m_rcDevice.top -
                            dh * (m_nOffsetY + (long long)m_rcLogical.top) / lh);
    return S_OK;
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
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_GEOMETRY;
    buffer->GetBufferInfo(&info);
    const size_t rowBytes = (size_t)width * 4;
    for (int y = 0; y < height; ++y) {
        const int from = topDown ? y : height - 1 - y;
        memcpy(info.pPixels + (ptrdiff_t)y * info.nPitch, rows + (size_t)from * rowBytes, rowBytes);
    }
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
