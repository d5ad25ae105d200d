#include "aGDIBuf.h"

#include <limits.h>
#include <string.h>

#include "bByteReader.h"
#include "bDib.h"
#include "bHandles.h"
#include "bTraceLog.h"

namespace {

const DWORD kMappingHeader = 56;  // bytes before the DIB section

// COLORREF 0x00BBGGRR as the pixel 0x00RRGGBB.
DWORD ColorRefToPixel(DWORD color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

void FreeSection(HBITMAP dib, HANDLE mapping) {
    if (dib)
        DeleteObject(dib);
    if (mapping && !CloseHandle(mapping))
        LOG_WIN32_ERROR(0, "CGDIBuffer::CloseMapping: %08x", (unsigned)(UINT_PTR)mapping);
}

}  // namespace

bool GDIMappingSize(int width, int height, DWORD* size) {
    if (width <= 0 || height <= 0)
        return false;
    size_t rows, pixels, bytes, total;
    if (!CheckedAdd((size_t)height, 2, &rows) || !CheckedMul((size_t)width, rows, &pixels) ||
        !CheckedMul(pixels, 4, &bytes) || !CheckedAdd(bytes, kMappingHeader, &total))
        return false;
    // The DIB header takes a signed height and GDI a signed image size.
    if (total > (size_t)INT_MAX || rows > (size_t)INT_MAX)
        return false;
    if (size)
        *size = (DWORD)total;
    return true;
}

HBITMAP CreateDIBSectionUseMapping(HDC dc, int width, int height, BYTE** pixels, HANDLE* mapping) {
    TRACE_POINT();
    if (pixels)
        *pixels = nullptr;
    if (mapping)
        *mapping = nullptr;
    if (!pixels || !mapping)
        return nullptr;
    DWORD size = 0;
    // Each failure leaves its own code as the last error, past the logging,
    // for callers that log it again.
    if (!GDIMappingSize(width, height, &size)) {
        LOG_WIN32_ERROR(ERROR_ARITHMETIC_OVERFLOW,
                        "CreateDIBSectionUseMapping: CreateFileMapping : for (%d x %d)", width,
                        height);
        SetLastError(ERROR_ARITHMETIC_OVERFLOW);
        return nullptr;
    }
    CHandle section(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, nullptr));
    if (!section.IsValid()) {
        const DWORD error = GetLastError();
        LOG_WIN32_ERROR(error, "CreateDIBSectionUseMapping: CreateFileMapping : for (%d x %d)",
                        width, height);
        SetLastError(error);
        return nullptr;
    }
    BITMAPINFO bmi;
    memset(&bmi, 0, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -(height + 2);
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmapHandle dib(
        CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, section.Get(), kMappingHeader));
    if (!dib.Get() || !bits) {
        DWORD error = GetLastError();
        dib.Reset();
        section.Close();
        LOG_WIN32_ERROR(error, "CreateDIBSectionUseMapping:CreateDIBSection failed: %d x %d", width,
                        height);
        SetLastError(error);
        return nullptr;
    }
    *pixels = static_cast<BYTE*>(bits);
    *mapping = section.Detach();
    return dib.Detach();
}

// ---------------------------------------------------------------------------
// CGDIBuffer

CGDIBuffer::CGDIBuffer() : m_hSavedBitmap(nullptr), m_hDIB(nullptr), m_hMapping(nullptr) {}

CGDIBuffer::~CGDIBuffer() {
    ClearDirty();
    CloseMapping();
}

void CGDIBuffer::CloseMapping() {
    FreeSection(m_hDIB, m_hMapping);
    m_hDIB = nullptr;
    m_hMapping = nullptr;
    m_pPixels = nullptr;
    // Without pixels the buffer has no geometry to offer either.
    m_nWidth = m_nHeight = m_nPitch = 0;
    m_dwFlags &= ~(DWORD)BIM_GEOMETRY;
}

HRESULT CGDIBuffer::MakePixels(HDC dc, int width, int height) {
    BYTE* bits = nullptr;
    HANDLE mapping = nullptr;
    HBITMAP dib = CreateDIBSectionUseMapping(dc, width, height, &bits, &mapping);
    if (!dib)
        return E_FAIL;
    m_hDIB = dib;
    m_hMapping = mapping;
    m_pPixels = bits;
    m_nWidth = width;
    m_nHeight = height;
    m_nPitch = width * 4;
    m_dwFlags |= BIM_GEOMETRY;
    return S_OK;
}

STDMETHODIMP CGDIBuffer::Blit(const RECT* dest, IPixelBuffer* source, const RECT* src, DWORD) {
    TRACE_POINT();
    BlitPlan plan;
    HRESULT hr = PlanBlit(dest, source, src, m_nWidth, m_nHeight, m_nOffsetX, m_nOffsetY, &plan);
    if (FAILED(hr) || plan.kernel < 0)
        return hr;
    if (!m_pPixels)
        return E_FAIL;
    if (!plan.source.pPixels) {
        LOG_MSG("Blit: the source buffer has no pixels");
        return E_FAIL;
    }
    MakeBlitWork(plan, &m_work);
    BlitKernelArgs args;
    MakeKernelArgs(plan, m_pPixels, m_nPitch, &args);
    // GDI drawing is flushed when its DC is released, not here.
    RunBlitKernel(plan.kernel, args);
    return S_OK;
}

STDMETHODIMP CGDIBuffer::GetDC(HDC* dc) {
    TRACE_POINT();
    if (!dc)
        return E_POINTER;
    *dc = nullptr;
    if (!m_hDIB)
        return E_FAIL;
    CMemoryDC mem(CreateCompatibleDC(CClientDC().Get()));
    if (!mem.Get())
        return E_FAIL;
    // Fails while another DC of this buffer holds the section.
    HGDIOBJ old = SelectObject(mem.Get(), m_hDIB);
    if (!old)
        return E_FAIL;
    m_hSavedBitmap = (HBITMAP)old;
    SetWindowOrgEx(mem.Get(), -m_nOffsetX, -m_nOffsetY, nullptr);
    *dc = mem.Detach();
    return S_OK;
}

STDMETHODIMP CGDIBuffer::ReleaseDC(HDC dc) {
    if (!dc)
        return E_INVALIDARG;
    GdiFlush();
    if (m_hSavedBitmap)
        SelectObject(dc, m_hSavedBitmap);
    m_hSavedBitmap = nullptr;
    DeleteDC(dc);
    return S_OK;
}

STDMETHODIMP CGDIBuffer::FillRect(const RECT* rect, DWORD color) {
    TRACE_POINT();
    if (!m_pPixels)
        return E_FAIL;
    RECT bounds = {0, 0, m_nWidth, m_nHeight}, area;
    // A given rectangle is in buffer coordinates; only its part inside the
    // buffer is filled.
    if (!rect)
        area = bounds;
    else if (!IntersectRect(&area, rect, &bounds))
        return S_OK;
    const DWORD pixel = ColorRefToPixel(color);
    GdiFlush();
    DWORD* first = reinterpret_cast<DWORD*>(m_pPixels + (ptrdiff_t)area.top * m_nPitch) + area.left;
    const int width = area.right - area.left;
    for (int x = 0; x < width; ++x) first[x] = pixel;
    for (int y = area.top + 1; y < area.bottom; ++y)
        memcpy(reinterpret_cast<DWORD*>(m_pPixels + (ptrdiff_t)y * m_nPitch) + area.left, first,
               (size_t)width * 4);
    return S_OK;
}

STDMETHODIMP CGDIBuffer::Create(int width, int height) {
    TRACE_POINT();
    if (width < 0 || height < 0)
        return E_INVALIDARG;
    CloseMapping();
    if (width == 0 || height == 0)
        return S_OK;
    return MakePixels(CClientDC().Get(), width, height);
}

STDMETHODIMP CGDIBuffer::SetOrigin(int, int) {
    return S_OK;
}
STDMETHODIMP CGDIBuffer::Resize(int, int) {
    return S_FALSE;
}
STDMETHODIMP CGDIBuffer::Scroll(int, int) {
    return S_FALSE;
}
STDMETHODIMP_(int) CGDIBuffer::HasSurface() {
    return 0;
}
STDMETHODIMP_(IDirectDrawSurface4*) CGDIBuffer::GetSurface() {
    return nullptr;
}
STDMETHODIMP CGDIBuffer::SetOwner(DXOwner*) {
    return S_FALSE;
}

STDMETHODIMP CGDIBuffer::GetOwner(DXOwner** owner) {
    if (owner)
        *owner = nullptr;
    return S_FALSE;
}

// GDI pixels are always addressable.
STDMETHODIMP CGDIBuffer::Lock(DWORD) {
    return S_FALSE;
}
STDMETHODIMP CGDIBuffer::Unlock() {
    return S_FALSE;
}

STDMETHODIMP_(void) CGDIBuffer::Destroy(UINT flags) {
    if (flags & 1) {
        delete this;
        return;
    }
    ClearDirty();
    CloseMapping();
}

STDMETHODIMP CGDIBuffer::ReleaseSurface() {
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// CGDIBitmapBuffer

CGDIBitmapBuffer::CGDIBitmapBuffer() : m_hDC(nullptr) {}

HRESULT CGDIBitmapBuffer::FinalConstruct() {
    m_hDC = CreateCompatibleDC(CClientDC().Get());
    if (!m_hDC) {
        LOG_WIN32_ERROR(0, "CGDIBitmapBuffer: CreateCompatibleDC failed");
        return E_FAIL;
    }
    SetMapMode(m_hDC, MM_TEXT);
    return S_OK;
}

CGDIBitmapBuffer::~CGDIBitmapBuffer() {
    if (m_hDC) {
        if (m_hSavedBitmap)
            SelectObject(m_hDC, m_hSavedBitmap);
        DeleteDC(m_hDC);
    }
    m_hSavedBitmap = nullptr;
    m_hDC = nullptr;
}

STDMETHODIMP CGDIBitmapBuffer::GetDC(HDC* dc) {
    if (!dc)
        return E_POINTER;
    *dc = m_hDC;
    if (!m_hDC)
        return E_FAIL;
    SetWindowOrgEx(m_hDC, -m_nOffsetX, -m_nOffsetY, nullptr);
    return S_OK;
}

STDMETHODIMP CGDIBitmapBuffer::ReleaseDC(HDC) {
    GdiFlush();
    return S_OK;
}

STDMETHODIMP CGDIBitmapBuffer::AddDirtyRect(const RECT* rect) {
    if (!rect)
        return E_POINTER;
    AddDirtyDrawRect(*rect);
    return S_OK;
}

STDMETHODIMP CGDIBitmapBuffer::Create(int width, int height) {
    TRACE_POINT();
    if (width < 1)
        width = 1;
    if (height < 1)
        height = 1;
    if (!m_hDC)
        return E_FAIL;
    // The section cannot be deleted while the DC holds it.
    if (m_hSavedBitmap)
        SelectObject(m_hDC, m_hSavedBitmap);
    m_hSavedBitmap = nullptr;
    CloseMapping();
    HRESULT hr = MakePixels(m_hDC, width, height);
    if (SUCCEEDED(hr))
        m_hSavedBitmap = (HBITMAP)SelectObject(m_hDC, m_hDIB);
    return hr;
}

STDMETHODIMP CGDIBitmapBuffer::SetOrigin(int x, int y) {
    m_nOffsetX = -x;
    m_nOffsetY = -y;
    if (m_hDC)
        SetWindowOrgEx(m_hDC, x, y, nullptr);
    return S_OK;
}

STDMETHODIMP CGDIBitmapBuffer::Resize(int width, int height) {
    TRACE_POINT();
    if (width < 1 || height < 1)
        return E_INVALIDARG;
    if (width == m_nWidth && height == m_nHeight && m_pPixels)
        return S_OK;
    if (!m_pPixels) {
        HRESULT hr = Create(width, height);
        if (SUCCEEDED(hr))
            AddDirtyBufferRect(RECT{0, 0, width, height});
        return hr;
    }
    BYTE* bits = nullptr;
    HANDLE mapping = nullptr;
    HBITMAP dib = nullptr;
    DWORD error = 0;
    {
        CMemoryDC temp(CreateCompatibleDC(CClientDC().Get()));
        dib = temp.Get() ? CreateDIBSectionUseMapping(temp.Get(), width, height, &bits, &mapping)
                         : nullptr;
        error = dib ? 0 : GetLastError();
    }
    if (!dib) {
        LOG_WIN32_ERROR(error, "CreateDIBSection");
        return E_FAIL;
    }
    GdiFlush();
    const RECT overlap = {0, 0, width < m_nWidth ? width : m_nWidth,
                          height < m_nHeight ? height : m_nHeight};
    const size_t bytes = (size_t)overlap.right * 4;
    for (int y = 0; y < overlap.bottom; ++y)
        memcpy(bits + (ptrdiff_t)y * width * 4, m_pPixels + (ptrdiff_t)y * m_nPitch, bytes);

    SelectObject(m_hDC, dib);
    const int oldWidth = m_nWidth, oldHeight = m_nHeight;
    FreeSection(m_hDIB, m_hMapping);
    m_hDIB = dib;
    m_hMapping = mapping;
    m_pPixels = bits;
    m_nWidth = width;
    m_nHeight = height;
    m_nPitch = width * 4;
    AddGrownDirty(oldWidth, oldHeight);
    return S_OK;
}

STDMETHODIMP CGDIBitmapBuffer::Scroll(int dx, int dy) {
    TRACE_POINT();
    if (dx == 0 && dy == 0)
        return S_FALSE;
    if (!m_pPixels)
        return E_FAIL;
    if (ScrollsOutWholly(dx, dy))
        return S_OK;
    GdiFlush();
    MoveRows(dx, dy);
    AddScrolledDirty(dx, dy);
    return S_OK;
}

STDMETHODIMP_(void) CGDIBitmapBuffer::Destroy(UINT flags) {
    if (!(flags & 1) && m_hDC && m_hSavedBitmap) {
        SelectObject(m_hDC, m_hSavedBitmap);
        m_hSavedBitmap = nullptr;
    }
    CGDIBuffer::Destroy(flags);
}

// ---------------------------------------------------------------------------
// CGDIViewBuffer

CGDIViewBuffer::CGDIViewBuffer() {}

STDMETHODIMP CGDIViewBuffer::Blit(const RECT* dest, IPixelBuffer* source, const RECT* src,
                                  DWORD reserved) {
    TRACE_POINT();
    if (!dest || !source || !src)
        return E_POINTER;
    RECT mappedDest, mappedSrc;
    const HRESULT hr = MapViewBlit(*dest, *src, &mappedDest, &mappedSrc);
    if (hr == E_FAIL)
        LOG_MSG("CGDIViewBuffer::Blit: empty logical rectangle");
    if (hr != S_OK)
        return FAILED(hr) ? hr : S_OK;
    return CGDIBuffer::Blit(&mappedDest, source, &mappedSrc, reserved);
}

STDMETHODIMP CGDIViewBuffer::GetDC(HDC* dc) {
    if (!dc)
        return E_POINTER;
    *dc = nullptr;
    if (!m_hDC)
        return E_FAIL;
    POINT origin;
    HRESULT hr = GetViewportOrigin(&origin);
    if (FAILED(hr))
        return hr;
    PrepareViewDC(m_hDC, m_nOffsetX, m_nOffsetY, origin);
    *dc = m_hDC;
    return S_OK;
}

STDMETHODIMP CGDIViewBuffer::CreateLike(IPixelBuffer* other) {
    TRACE_POINT();
    if (!other)
        return E_POINTER;
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    HRESULT hr = other->GetBufferInfo(&info);
    if (FAILED(hr))
        return hr;
    m_nOffsetX = info.nOffsetX;
    m_nOffsetY = info.nOffsetY;
    return Create(info.nWidth, info.nHeight);
}

STDMETHODIMP CGDIViewBuffer::CopyViewRect(IPixelBuffer* other, BOOL fromOther) {
    TRACE_POINT();
    if (!other)
        return E_POINTER;
    BufferInfo info;
    memset(&info, 0, sizeof(info));
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    HRESULT hr = other->GetBufferInfo(&info);
    if (FAILED(hr))
        return hr;
    if (!info.pPixels || !m_pPixels || info.nPitch < 4LL * info.nWidth)
        return E_FAIL;
    RECT area;
    if (!ViewCopyArea(m_nOffsetX, m_nOffsetY, RECT{0, 0, m_nWidth, m_nHeight},
                      RECT{0, 0, info.nWidth, info.nHeight}, &area))
        return S_OK;
    GdiFlush();
    if (fromOther)
        CopyPixelRows(m_pPixels, m_nPitch, info.pPixels, info.nPitch, area);
    else
        CopyPixelRows(info.pPixels, info.nPitch, m_pPixels, m_nPitch, area);
    return S_OK;
}

STDMETHODIMP CGDIViewBuffer::GetViewportOrigin(POINT* origin) {
    return ViewportOrigin(m_nOffsetX, m_nOffsetY, origin);
}

// ---------------------------------------------------------------------------
// Free functions

IPixelBuffer* CreateGDIBuffer(int width, int height) {
    TRACE_POINT();
    if (width <= 0 || height <= 0)
        return nullptr;
    CComObject<CGDIBuffer>* object = nullptr;
    if (FAILED(CComObject<CGDIBuffer>::CreateInstance(&object)))
        return nullptr;
    object->AddRef();
    if (FAILED(object->Create(width, height))) {
        object->Release();
        return nullptr;
    }
    return object;
}

namespace {

// The parts of a packed DIB that a buffer needs, checked against the block.
struct PackedDib {
    const BITMAPINFO* info;
    const BYTE* bits;
    int width, height;  // height < 0: top-down
    int bitCount;
    DWORD compression;
};

bool ParsePackedDib(const BYTE* block, size_t size, PackedDib* out) {
    DibLayout layout;
    if (!DibCheckLayout(block, size, &layout, nullptr))
        return false;
    // GDI takes one plane only, and reads exactly biSizeImage bytes of RLE.
    if (layout.planes != 1)
        return false;
    if ((layout.compression == BI_RLE8 || layout.compression == BI_RLE4) &&
        (layout.sizeImage == 0 || layout.sizeImage > layout.bitsSize))
        return false;
    out->info = reinterpret_cast<const BITMAPINFO*>(block);
    out->bits = block + layout.bitsOffset;
    out->width = (int)layout.width;
    out->height = (int)layout.height;
    out->bitCount = layout.bitCount;
    out->compression = layout.compression;
    return true;
}

IPixelBuffer* BufferFromPackedDib(const BYTE* block, size_t size) {
    PackedDib dib;
    if (!ParsePackedDib(block, size, &dib)) {
        LOG_MSG("CreateGDIBufferFromDIB: not a usable packed DIB (%u bytes)", (unsigned)size);
        return nullptr;
    }
    const int height = dib.height < 0 ? -dib.height : dib.height;
    IPixelBuffer* buffer = CreateGDIBuffer(dib.width, height);
    if (!buffer)
        return nullptr;
    BufferInfo info = ReadBufferInfo(buffer, BIM_GEOMETRY);

    if (dib.bitCount == 32 && dib.compression == BI_RGB) {
        CopyDibRows(info.pPixels, info.nPitch, dib.bits, dib.width, height, dib.height < 0);
        return buffer;
    }
    // 8-bit pictures (animation frames) through their palette: what GDI
    // gives on a true-colour screen, without its round trip.
    if (dib.bitCount == 8 && dib.compression == BI_RGB) {
        DWORD colours[256] = {};
        const UINT count = DibColorCount(&dib.info->bmiHeader);
        for (UINT i = 0; i < count && i < 256; ++i) {
            const RGBQUAD& q = dib.info->bmiColors[i];
            colours[i] = ((DWORD)q.rgbRed << 16) | ((DWORD)q.rgbGreen << 8) | q.rgbBlue;
        }
        const size_t stride = ((size_t)dib.width + 3) & ~(size_t)3;
        for (int y = 0; y < height; ++y) {
            const BYTE* src = dib.bits + (size_t)(dib.height < 0 ? y : height - 1 - y) * stride;
            DWORD* dst = reinterpret_cast<DWORD*>(info.pPixels + (size_t)y * info.nPitch);
            for (int x = 0; x < dib.width; ++x) dst[x] = colours[src[x]];
        }
        return buffer;
    }

    CClientDC screen;
    CBitmapHandle ddb(CreateDIBitmap(screen.Get(), &dib.info->bmiHeader, CBM_INIT, dib.bits,
                                     dib.info, DIB_RGB_COLORS));
    if (!ddb.Get()) {
        LOG_WIN32_ERROR(0, "CreateGDIBufferFromDIB: CreateDIBitmap failed");
        buffer->Release();
        return nullptr;
    }
    BITMAPINFO out;
    memset(&out, 0, sizeof(out));
    out.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    out.bmiHeader.biWidth = dib.width;
    out.bmiHeader.biHeight = -height;
    out.bmiHeader.biPlanes = 1;
    out.bmiHeader.biBitCount = 32;
    out.bmiHeader.biCompression = BI_RGB;
    out.bmiHeader.biSizeImage = (DWORD)height * dib.width * 4;
    GetDIBits(screen.Get(), ddb.Get(), 0, height, info.pPixels, &out, DIB_RGB_COLORS);
    return buffer;
}

}  // namespace

IPixelBuffer* CreateGDIBufferFromDIB(HGLOBAL dib) {
    TRACE_POINT();
    if (!dib)
        return nullptr;
    CGlobalLock<const BYTE> block(dib);
    if (!block.Get())
        return nullptr;
    return BufferFromPackedDib(block.Get(), GlobalSize(dib));
}
