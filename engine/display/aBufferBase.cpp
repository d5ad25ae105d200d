#include "aBufferBase.h"

#include <limits.h>
#include <string.h>

#include "aKernels.h"
#include "bTraceLog.h"

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

RECT OffsetClamped(const RECT& r, long long dx, long long dy) {
    RECT out;
    out.left = ClampToLong(r.left + dx);
    out.right = ClampToLong(r.right + dx);
    out.top = ClampToLong(r.top + dy);
    out.bottom = ClampToLong(r.bottom + dy);
    return out;
}

}  // namespace

void CopyPixelRows(BYTE* dst, int dstPitch, const BYTE* src, int srcPitch, const RECT& area) {
    const size_t bytes = (size_t)(area.right - area.left) * 4;
    for (int y = area.top; y < area.bottom; ++y)
        memcpy(dst + (ptrdiff_t)y * dstPitch + 4 * (ptrdiff_t)area.left,
               src + (ptrdiff_t)y * srcPitch + 4 * (ptrdiff_t)area.left, bytes);
}

void CopyDibRows(BYTE* dst, int dstPitch, const BYTE* rows, int width, int height, bool topDown) {
    const int rowBytes = width * 4;
    const BYTE* top = topDown ? rows : rows + (ptrdiff_t)(height - 1) * rowBytes;
    CopyPixelRows(dst, dstPitch, top, topDown ? rowBytes : -rowBytes, RECT{0, 0, width, height});
}

// ---------------------------------------------------------------------------
// CPixelBufferBase

CPixelBufferBase::CPixelBufferBase()
    : m_pPixels(nullptr),
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
      m_hDirty(nullptr) {
    memset(&m_work, 0, sizeof(m_work));
}

CPixelBufferBase::~CPixelBufferBase() {
    if (m_hDirty)
        DeleteObject(m_hDirty);
}

STDMETHODIMP CPixelBufferBase::GetBufferInfo(BufferInfo* info) {
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

STDMETHODIMP CPixelBufferBase::SetBufferInfo(const BufferInfo* info) {
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

void CPixelBufferBase::AddDirtyBufferRect(const RECT& rect) {
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

void CPixelBufferBase::AddDirtyDrawRect(const RECT& rect) {
    AddDirtyBufferRect(OffsetClamped(rect, m_nOffsetX, m_nOffsetY));
}

void CPixelBufferBase::AddGrownDirty(int oldWidth, int oldHeight) {
    if (m_nWidth > oldWidth)
        AddDirtyBufferRect(RECT{oldWidth, 0, m_nWidth, m_nHeight});
    if (m_nHeight > oldHeight)
        AddDirtyBufferRect(RECT{0, oldHeight, m_nWidth, m_nHeight});
}

bool CPixelBufferBase::ScrollsOutWholly(int dx, int dy) {
    const long long adx = dx < 0 ? -(long long)dx : dx, ady = dy < 0 ? -(long long)dy : dy;
    if (adx < m_nWidth && ady < m_nHeight)
        return false;
    AddDirtyBufferRect(RECT{0, 0, m_nWidth, m_nHeight});
    return true;
}

void CPixelBufferBase::MoveRows(int dx, int dy) {
    const long long adx = dx < 0 ? -(long long)dx : dx;
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
}

void CPixelBufferBase::AddScrolledDirty(int dx, int dy) {
    if (dx > 0)
        AddDirtyBufferRect(RECT{0, 0, dx, m_nHeight});
    if (dx < 0)
        AddDirtyBufferRect(RECT{m_nWidth + dx, 0, m_nWidth, m_nHeight});
    if (dy > 0)
        AddDirtyBufferRect(RECT{0, m_nHeight - dy, m_nWidth, m_nHeight});
    if (dy < 0)
        AddDirtyBufferRect(RECT{0, 0, m_nWidth, -dy});
}

STDMETHODIMP CPixelBufferBase::AddDirtyRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    AddDirtyBufferRect(*rect);
    return S_OK;
}

STDMETHODIMP CPixelBufferBase::ClearDirty() {
    if (m_hDirty)
        DeleteObject(m_hDirty);
    m_hDirty = nullptr;
    return S_OK;
}

HRESULT CPixelBufferBase::SetFlag(DWORD flag, BOOL on) {
    if (on)
        m_dwFlags |= flag;
    else
        m_dwFlags &= ~flag;
    return S_OK;
}

STDMETHODIMP CPixelBufferBase::EnableColorKey(BOOL on) {
    return SetFlag(BUFFLAG_COLORKEY, on);
}

STDMETHODIMP CPixelBufferBase::EnableConstAlpha(BOOL on) {
    return SetFlag(BUFFLAG_CONSTALPHA, on);
}

STDMETHODIMP CPixelBufferBase::EnablePixelAlpha(BOOL on) {
    return SetFlag(BUFFLAG_PIXELALPHA, on);
}

// ---------------------------------------------------------------------------
// CBufferViewBase

CBufferViewBase::CBufferViewBase() : m_bClipToView(1) {
    SetRect(&m_rcLogical, 0, 0, 1, 1);
    SetRect(&m_rcDevice, 0, 0, 1, 1);
}

STDMETHODIMP CBufferViewBase::SetLogicalRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    m_rcLogical = *rect;
    return S_OK;
}

STDMETHODIMP CBufferViewBase::GetLogicalRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    *rect = m_rcLogical;
    return S_OK;
}

STDMETHODIMP CBufferViewBase::SetDeviceRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    m_rcDevice = *rect;
    return S_OK;
}

STDMETHODIMP CBufferViewBase::GetDeviceRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    *rect = m_rcDevice;
    return S_OK;
}

STDMETHODIMP CBufferViewBase::SetClipToView(BOOL on) {
    m_bClipToView = on;
    return S_OK;
}

STDMETHODIMP_(BOOL) CBufferViewBase::GetClipToView() {
    return m_bClipToView;
}

HRESULT CBufferViewBase::MapViewBlit(const RECT& dest, const RECT& src, RECT* mappedDest,
                                     RECT* mappedSrc) const {
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
    RECT mapped = {mapX(dest.left), mapY(dest.top), mapX(dest.right), mapY(dest.bottom)};
    if (!m_bClipToView) {
        if (mapped.right <= mapped.left || mapped.bottom <= mapped.top)
            return S_FALSE;
        if (src.right == src.left || src.bottom == src.top)
            return S_FALSE;
        *mappedDest = mapped;
        *mappedSrc = src;
        return S_OK;
    }
    RECT view, clipped;
    if (!IntersectRect(&view, &m_rcLogical, &m_rcDevice))
        return S_FALSE;
    if (!IntersectRect(&clipped, &mapped, &view))
        return S_FALSE;
    // The source shrinks in proportion to the cut destination.
    CDoublePrecision precision;
    const double kx =
        (double)((long long)src.right - src.left) / (double)((long long)mapped.right - mapped.left);
    const double ky =
        (double)((long long)src.bottom - src.top) / (double)((long long)mapped.bottom - mapped.top);
    RECT shrunk;
    shrunk.left = TruncToInt(src.left + kx * (clipped.left - mapped.left) + 0.5);
    shrunk.right = TruncToInt(src.left + kx * (clipped.right - mapped.left) + 0.5);
    shrunk.top = TruncToInt(src.top + ky * (clipped.top - mapped.top) + 0.5);
    shrunk.bottom = TruncToInt(src.top + ky * (clipped.bottom - mapped.top) + 0.5);
    if (shrunk.right <= shrunk.left || shrunk.bottom <= shrunk.top)
        return S_FALSE;
    *mappedDest = clipped;
    *mappedSrc = shrunk;
    return S_OK;
}

HRESULT CBufferViewBase::ViewportOrigin(LONG offsetX, LONG offsetY, POINT* origin) const {
    if (!origin)
        return E_POINTER;
    const long long lw = (long long)m_rcLogical.right - m_rcLogical.left;
    const long long lh = (long long)m_rcLogical.bottom - m_rcLogical.top;
    if (lw == 0 || lh == 0)
        return E_FAIL;
    const long long dw = (long long)m_rcDevice.right - m_rcDevice.left;
    const long long dh = (long long)m_rcDevice.bottom - m_rcDevice.top;
    origin->x = ClampToLong(offsetX + (long long)m_rcDevice.left -
                            dw * (offsetX + (long long)m_rcLogical.left) / lw);
    origin->y = ClampToLong(offsetY + (long long)m_rcDevice.top -
                            dh * (offsetY + (long long)m_rcLogical.top) / lh);
    return S_OK;
}

void CBufferViewBase::PrepareViewDC(HDC dc, LONG offsetX, LONG offsetY, const POINT& origin) const {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, -offsetX, -offsetY, nullptr);
    SetWindowExtEx(dc, m_rcLogical.right - m_rcLogical.left, m_rcLogical.bottom - m_rcLogical.top,
                   nullptr);
    SetViewportExtEx(dc, m_rcDevice.right - m_rcDevice.left, m_rcDevice.bottom - m_rcDevice.top,
                     nullptr);
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    if (m_bClipToView) {
        RECT bounds;
        IntersectRect(&bounds, &m_rcLogical, &m_rcDevice);
        SetBoundsRect(dc, &bounds, DCB_RESET | DCB_ACCUMULATE);
    }
}

bool CBufferViewBase::ViewCopyArea(LONG offsetX, LONG offsetY, const RECT& ownBounds,
                                   const RECT& otherBounds, RECT* area) const {
    *area = m_rcDevice;
    if (m_bClipToView && !IntersectRect(area, &m_rcDevice, &m_rcLogical))
        return false;
    *area = OffsetClamped(*area, offsetX, offsetY);
    // Both buffers take the same area: it must lie inside each of them.
    return IntersectRect(area, area, &otherBounds) && IntersectRect(area, area, &ownBounds);
}
