#include "aTransPlugin.h"

#include <emmintrin.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "bTraceLog.h"

// Class identifiers

const CLSID CLSID_TransMove = {
    0xF28EB081, 0x90CE, 0x11D3, {0xB4, 0x6D, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};
const CLSID CLSID_TransWipe = {
    0x8F8B5E11, 0x885B, 0x11D3, {0xB4, 0x67, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};
const CLSID CLSID_TransShape = {
    0xA991C8A2, 0x8B6D, 0x11D3, {0xB4, 0x6C, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};
const CLSID CLSID_TransClock = {
    0xC6D23F82, 0x8C46, 0x11D3, {0xB4, 0x6C, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};
const CLSID CLSID_TransDissolve = {
    0xBD3B11C2, 0x8D9C, 0x11D3, {0xB4, 0x6C, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};
const CLSID CLSID_TransRamp = {
    0xE96C8B80, 0x8AF2, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID CLSID_TransShapeRamp = {
    0xA9F0E500, 0x8D3B, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID CLSID_TransSpiral = {
    0x3C5F2920, 0x8DDB, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID CLSID_TransFade = {
    0xAA005240, 0x9044, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID CLSID_TransSine = {
    0x235BF460, 0x9062, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID CLSID_TransStars = {
    0x77C5CEB1, 0x9671, 0x11D3, {0xB4, 0x6F, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};
const CLSID CLSID_TransEdge = {
    0x691679A0, 0x9B3C, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}};
const CLSID CLSID_TransShadow = {
    0x0C08151E, 0x7091, 0x11D3, {0xB4, 0x59, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}};

namespace {

struct PluginClass {
    const CLSID* clsid;
    HRESULT (*create)(REFIID iid, void** out);
};
const PluginClass kClasses[TRANSITION_CLASS_COUNT] = {
    {&CLSID_TransMove, CreateTransMove},           {&CLSID_TransWipe, CreateTransWipe},
    {&CLSID_TransShape, CreateTransShape},         {&CLSID_TransClock, CreateTransClock},
    {&CLSID_TransDissolve, CreateTransDissolve},   {&CLSID_TransRamp, CreateTransRamp},
    {&CLSID_TransShapeRamp, CreateTransShapeRamp}, {&CLSID_TransSpiral, CreateTransSpiral},
    {&CLSID_TransFade, CreateTransFade},           {&CLSID_TransSine, CreateTransSine},
    {&CLSID_TransStars, CreateTransStars},         {&CLSID_TransEdge, CreateTransEdge},
    {&CLSID_TransShadow, CreateTransShadow},
};

}  // namespace

const CLSID* TransitionClassId(int number) {
    if (number < 1 || number > TRANSITION_CLASS_COUNT)
        return nullptr;
    return kClasses[number - 1].clsid;
}

HRESULT CreateTransitionPlugin(int number, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (number < 1 || number > TRANSITION_CLASS_COUNT)
        return CLASS_E_CLASSNOTAVAILABLE;
    return kClasses[number - 1].create(iid, out);
}

HRESULT CreateTransitionPluginByClsid(REFCLSID clsid, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    for (int i = 0; i < TRANSITION_CLASS_COUNT; ++i) {
        if (IsEqualCLSID(clsid, *kClasses[i].clsid))
            return kClasses[i].create(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Masks

namespace {

// The last freed mask block is kept for the next frame: a fresh block of a
// full frame's size costs more in page faults than building the mask.
struct MaskBlock {
    BYTE* data;
    size_t size;
};
MaskBlock* volatile g_spareMask = nullptr;

}  // namespace

BYTE* AllocTransitionMask(size_t bytes) {
    if (!bytes)
        bytes = 1;
    MaskBlock* spare =
        (MaskBlock*)InterlockedExchangePointer((void* volatile*)&g_spareMask, nullptr);
    if (spare && spare->size >= bytes && spare->size <= bytes * 2)
        return spare->data;
    if (spare)
        free(spare);
    // The header sits before the bytes the caller sees.
    const size_t head = (sizeof(MaskBlock) + 15) & ~(size_t)15;
    if (bytes > ((size_t)-1) - head)
        return nullptr;
    MaskBlock* block = (MaskBlock*)malloc(head + bytes);
    if (!block)
        return nullptr;
    block->data = (BYTE*)block + head;
    block->size = bytes;
    return block->data;
}

void FreeTransitionMask(BYTE* mask) {
    if (!mask)
        return;
    const size_t head = (sizeof(MaskBlock) + 15) & ~(size_t)15;
    MaskBlock* block = (MaskBlock*)(mask - head);
    MaskBlock* old = (MaskBlock*)InterlockedExchangePointer((void* volatile*)&g_spareMask, block);
    if (old)
        free(old);
}

// Record fields

DWORD ReadU32(ITeskStream* stream) {
    DWORD v = 0;
    stream->Read(&v, sizeof(v));
    return v;
}

double ReadDouble(ITeskStream* stream) {
    double v = 0;
    stream->Read(&v, sizeof(v));
    return v;
}

void WriteU32(ITeskStream* stream, DWORD value) {
    stream->Write(&value, sizeof(value));
}

void WriteDouble(ITeskStream* stream, double value) {
    stream->Write(&value, sizeof(value));
}

double ClampProgress(double x) {
    if (!(x > 0.0))
        return 0.0;
    return x > 1.0 ? 1.0 : x;
}

bool IntersectRects(RECT* out, const RECT& a, const RECT& b) {
    out->left = a.left > b.left ? a.left : b.left;
    out->top = a.top > b.top ? a.top : b.top;
    out->right = a.right < b.right ? a.right : b.right;
    out->bottom = a.bottom < b.bottom ? a.bottom : b.bottom;
    if (out->left >= out->right || out->top >= out->bottom) {
        *out = RECT{0, 0, 0, 0};
        return false;
    }
    return true;
}

// CParamSet

CParamSet::CParamSet(const ParamDef* defs, int count) : m_defs(defs), m_count(count), m_version(0) {
    for (int i = 0; i < 8; ++i) m_values[i] = i < count ? defs[i].def : 0.0;
}

HRESULT CParamSet::Set(int index, double value) {
    if (index < 0 || index >= m_count)
        return E_INVALIDARG;
    const ParamDef& def = m_defs[index];
    switch (def.check) {
        case PCHK_NONE:
            break;
        case PCHK_FAIL:
            if (!(value >= def.lo && value <= def.hi))
                return E_FAIL;
            break;
        case PCHK_CLAMP:
            if (!(value >= def.lo))
                value = def.lo;
            if (value > def.hi)
                value = def.hi;
            break;
        case PCHK_MOD360:
            if (!(fabs(value) < 1e15))
                return E_INVALIDARG;
            value = (double)((long long)value % 360);
            break;
        case PCHK_FAILNEG:
            if (!(value >= 0))
                return E_FAIL;
            break;
        case PCHK_SFALSENEG:
            if (!(value >= 0))
                return S_FALSE;
            break;
    }
    if (def.field != PF_DBL)
        value = (double)(long long)value;
    m_values[index] = value;
    ++m_version;
    return S_OK;
}

HRESULT CParamSet::Get(int index, double* value) const {
    if (!value)
        return E_POINTER;
    if (index < 0 || index >= m_count)
        return E_INVALIDARG;
    *value = m_values[index];
    return S_OK;
}

HRESULT CParamSet::LoadFields(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    for (int i = 0; i < m_count; ++i) {
        switch (m_defs[i].field) {
            case PF_I32:
                m_values[i] = (double)(int)ReadU32(stream);
                break;
            case PF_U32:
                m_values[i] = (double)ReadU32(stream);
                break;
            case PF_U16: {
                WORD w = 0;
                stream->Read(&w, sizeof(w));
                m_values[i] = (double)w;
                break;
            }
            case PF_DBL:
                m_values[i] = ReadDouble(stream);
                break;
        }
    }
    ++m_version;
    return S_OK;
}

HRESULT CParamSet::SaveFields(ITeskStream* stream) const {
    if (!stream)
        return E_POINTER;
    for (int i = 0; i < m_count; ++i) {
        switch (m_defs[i].field) {
            case PF_I32:
            case PF_U32:
                WriteU32(stream, (DWORD)(long long)m_values[i]);
                break;
            case PF_U16: {
                WORD w = (WORD)(long long)m_values[i];
                stream->Write(&w, sizeof(w));
                break;
            }
            case PF_DBL:
                WriteDouble(stream, m_values[i]);
                break;
        }
    }
    return S_OK;
}

int CParamSet::Int(int index) const {
    double v = m_values[index];
    if (!(v > -2147483648.0))
        return (int)0x80000000;
    if (v > 2147483647.0)
        return v <= 4294967295.0 ? (int)(DWORD)(long long)v : 0x7FFFFFFF;
    return (int)v;
}

DWORD CParamSet::U32(int index) const {
    double v = m_values[index];
    if (!(v >= -2147483648.0 && v <= 4294967295.0))
        return 0;
    return (DWORD)(long long)v;
}

// CTiling

CTiling::CTiling() : m_tiling{1, 1, 1.0, 0, 0}, m_randomCount(0), m_randomStale(true) {}

HRESULT CTiling::Load(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    TransitionTiling t;
    t.columns = ReadU32(stream);
    t.rows = ReadU32(stream);
    t.overlap = ReadDouble(stream);
    t.order = ReadU32(stream);
    t.reverse = ReadU32(stream);
    return Set(t);
}

HRESULT CTiling::Save(ITeskStream* stream) const {
    if (!stream)
        return E_POINTER;
    WriteU32(stream, m_tiling.columns);
    WriteU32(stream, m_tiling.rows);
    WriteDouble(stream, m_tiling.overlap);
    WriteU32(stream, m_tiling.order);
    WriteU32(stream, m_tiling.reverse);
    return S_OK;
}

HRESULT CTiling::Set(const TransitionTiling& tiling) {
    if (tiling.order != m_tiling.order)
        m_randomStale = true;
    m_tiling = tiling;
    return S_OK;
}

void CTiling::Count(const RECT& rect, int* columns, int* rows) const {
    long long w = (long long)rect.right - rect.left, h = (long long)rect.bottom - rect.top;
    long long c = (int)m_tiling.columns, r = (int)m_tiling.rows;
    // Stored counts come from files: at least one tile, never more than pixels.
    if (c < 1)
        c = 1;
    if (r < 1)
        r = 1;
    if (w > 0 && c > w)
        c = w;
    if (h > 0 && r > h)
        r = h;
    *columns = (int)c;
    *rows = (int)r;
}

bool CTiling::IsSingle(const RECT& rect) const {
    int c, r;
    Count(rect, &c, &r);
    return c == 1 && r == 1;
}

RECT CTiling::TileRect(const RECT& rect, int columns, int rows, int i, int j) {
    long long w = (long long)rect.right - rect.left, h = (long long)rect.bottom - rect.top;
    RECT t;
    t.left = (LONG)(rect.left + i * w / columns);
    t.right = (LONG)(rect.left + (i + 1) * w / columns);
    t.top = (LONG)(rect.top + j * h / rows);
    t.bottom = (LONG)(rect.top + (j + 1) * h / rows);
    return t;
}

namespace {

// Position of tile (a, b) on a clockwise spiral inwards from the top left
// of a w x h grid, first along the top row.
long long SpiralIndex(long long a, long long b, long long w, long long h) {
    long long layer = a;
    if (b < layer)
        layer = b;
    if (w - 1 - a < layer)
        layer = w - 1 - a;
    if (h - 1 - b < layer)
        layer = h - 1 - b;
    long long iw = w - 2 * layer, ih = h - 2 * layer;
    long long base = w * h - iw * ih;
    long long x = a - layer, y = b - layer;
    if (y == 0)
        return base + x;
    if (x == iw - 1)
        return base + (iw - 1) + y;
    if (y == ih - 1)
        return base + (iw - 1) + (ih - 1) + (iw - 1 - x);
    return base + 2 * (iw - 1) + (ih - 1) + (ih - 1 - y);
}

}  // namespace

double CTiling::Progress(int columns, int rows, int i, int j, double x) {
    const long long n = (long long)columns * rows;
    long long h = 0;
    double overlap = m_tiling.overlap;
    switch (m_tiling.order) {
        case 0:
            h = 0;
            overlap = 1.0;
            break;
        case 1:
            h = i + (long long)columns * j;
            break;
        case 2:
            h = (long long)columns * (j + 1) - i - 1;
            break;
        case 3:
            h = j + (long long)rows * i;
            break;
        case 4:
            h = (long long)rows * (i + 1) - j - 1;
            break;
        case 5:
            h = (long long)columns * j + ((j & 1) ? columns - 1 - i : i);
            break;
        case 6:
            h = (long long)rows * i + ((i & 1) ? rows - 1 - j : j);
            break;
        case 7:
            h = SpiralIndex(i, j, columns, rows);
            break;
        case 8:
            h = SpiralIndex(columns - 1 - i, j, columns, rows);
            break;
        case 9: {
            if (m_randomStale || m_randomCount != n) {
                m_random.assign((size_t)n, 0);
                for (long long k = 0; k < n; ++k) m_random[(size_t)k] = (int)k;
                srand(GetTickCount());
                for (long long k = 0; k < n; ++k) {
                    long long o = rand() % n;
                    int t = m_random[(size_t)k];
                    m_random[(size_t)k] = m_random[(size_t)o];
                    m_random[(size_t)o] = t;
                }
                m_randomCount = (int)n;
                m_randomStale = false;
            }
            h = m_random[(size_t)(i + (long long)columns * j)];
            break;
        }
        default:
            h = 0;
            break;
    }
    if (m_tiling.order != 9)
        m_randomStale = true;
    if (m_tiling.reverse)
        h = n - h - 1;
    const double s = (double)h / (double)n;
    if (overlap >= 0.0001) {
        return ClampProgress((x - s * (1.0 - overlap)) / overlap);
    }
    return x > s ? 1.0 : 0.0;
}

double TileProgress(const TransitionTiling& tiling, int column, int row, double x,
                    const int* randomOrder) {
    (void)randomOrder;
    CTiling t;
    t.Set(tiling);
    int c = (int)tiling.columns < 1 ? 1 : (int)tiling.columns;
    int r = (int)tiling.rows < 1 ? 1 : (int)tiling.rows;
    return t.Progress(c, r, column, row, x);
}

// CRegionPlugin

HRESULT CRegionPlugin::Build(HRGN* out, double x, const RECT* rect, const RECT* clip) {
    if (!out || !rect)
        return E_POINTER;
    *out = nullptr;
    RECT c;
    if (!IntersectRects(&c, *rect, clip ? *clip : *rect))
        return S_OK;
    return Region(out, ClampProgress(x), *rect, c);
}

HRESULT CRegionPlugin::BuildTiled(HRGN* out, double x, const RECT* rect, const RECT* clip) {
    if (!out || !rect)
        return E_POINTER;
    *out = nullptr;
    RECT c;
    if (!IntersectRects(&c, *rect, clip ? *clip : *rect))
        return S_OK;
    x = ClampProgress(x);
    int columns, rows;
    m_tiling.Count(*rect, &columns, &rows);
    if (columns == 1 && rows == 1 && m_tiling.Get().order == 0)
        return Region(out, x, *rect, c);
    HRGN all = CreateRectRgn(0, 0, 0, 0);
    if (!all)
        return E_OUTOFMEMORY;
    // Only the tiles that meet the clip.
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            RECT tile = CTiling::TileRect(*rect, columns, rows, i, j);
            RECT tc;
            if (!IntersectRects(&tc, tile, c))
                continue;
            double local = m_tiling.Progress(columns, rows, i, j, x);
            HRGN part = nullptr;
            if (local == 1.0) {
                part = CreateRectRgnIndirect(&tc);
            } else {
                HRESULT hr = Region(&part, local, tile, tc);
                if (FAILED(hr)) {
                    DeleteObject(all);
                    return hr;
                }
            }
            if (part) {
                CombineRgn(all, all, part, RGN_OR);
                DeleteObject(part);
            }
        }
    }
    *out = all;
    return S_OK;
}

// CMaskPlugin

namespace {

// Bytes of a w x h mask, or 0 when the size does not fit the address space.
size_t MaskBytes(long long w, long long h) {
    if (w <= 0 || h <= 0)
        return 0;
    unsigned long long n = (unsigned long long)w * (unsigned long long)h;
    if (n > (unsigned long long)(((size_t)-1) >> 1))
        return 0;
    return (size_t)n;
}

}  // namespace

HRESULT CMaskPlugin::Build(BYTE** out, double x, const RECT* rect) {
    if (!out || !rect)
        return E_POINTER;
    *out = nullptr;
    long long w = (long long)rect->right - rect->left, h = (long long)rect->bottom - rect->top;
    if (w <= 0 || h <= 0)
        return E_INVALIDARG;
    size_t bytes = MaskBytes(w, h);
    BYTE* mask = bytes ? AllocTransitionMask(bytes) : nullptr;
    if (!mask)
        return E_OUTOFMEMORY;
    HRESULT hr = Fill(mask, ClampProgress(x), (int)w, (int)h);
    if (FAILED(hr)) {
        FreeTransitionMask(mask);
        return hr;
    }
    *out = mask;
    return hr;
}

HRESULT CMaskPlugin::BuildTiled(BYTE** out, double x, const RECT* rect, const RECT* clip) {
    if (!out || !rect)
        return E_POINTER;
    *out = nullptr;
    long long w = (long long)rect->right - rect->left, h = (long long)rect->bottom - rect->top;
    if (w <= 0 || h <= 0)
        return E_INVALIDARG;
    x = ClampProgress(x);
    RECT c;
    bool any = IntersectRects(&c, *rect, clip ? *clip : *rect);
    int columns, rows;
    m_tiling.Count(*rect, &columns, &rows);
    // One tile over a clip that covers it: the role's mask is the whole mask.
    if (any && columns == 1 && rows == 1 && m_tiling.Get().order == 0 && EqualRect(&c, rect))
        return Build(out, x, rect);
    size_t bytes = MaskBytes(w, h);
    BYTE* mask = bytes ? AllocTransitionMask(bytes) : nullptr;
    if (!mask)
        return E_OUTOFMEMORY;
    memset(mask, 0, bytes);
    for (int j = 0; any && j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            RECT tile = CTiling::TileRect(*rect, columns, rows, i, j);
            RECT tc;
            if (!IntersectRects(&tc, tile, c))
                continue;
            double local = m_tiling.Progress(columns, rows, i, j, x);
            const int cw = tc.right - tc.left;
            if (local == 1.0) {
                for (LONG y = tc.top; y < tc.bottom; ++y)
                    memset(mask + (size_t)(y - rect->top) * (size_t)w + (tc.left - rect->left), 255,
                           (size_t)cw);
                continue;
            }
            BYTE* part = nullptr;
            HRESULT hr = Build(&part, local, &tile);
            if (FAILED(hr)) {
                FreeTransitionMask(mask);
                return hr;
            }
            const int tw = tile.right - tile.left;
            for (LONG y = tc.top; y < tc.bottom; ++y)
                memcpy(mask + (size_t)(y - rect->top) * (size_t)w + (tc.left - rect->left),
                       part + (size_t)(y - tile.top) * (size_t)tw + (tc.left - tile.left),
                       (size_t)cw);
            FreeTransitionMask(part);
        }
    }
    *out = mask;
    return S_OK;
}

HRESULT CMaskPlugin::Apply(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double,
                           const RECT* rect, const RECT* clip) {
    return ApplyMaskStandard(target, source, mask, rect, clip);
}

HRESULT CMaskPlugin::ApplyTiled(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                                double progress, const RECT* rect, const RECT* clip) {
    if (!rect || !mask)
        return E_POINTER;
    int columns, rows;
    m_tiling.Count(*rect, &columns, &rows);
    if (!ApplyUsesProgress() || (columns == 1 && rows == 1 && m_tiling.Get().order == 0))
        return Apply(target, source, mask, progress, rect, clip);
    RECT c;
    if (!IntersectRects(&c, *rect, clip ? *clip : *rect))
        return S_OK;
    const long long w = (long long)rect->right - rect->left;
    double x = ClampProgress(progress);
    std::vector<BYTE> part;
    for (int j = 0; j < rows; ++j) {
        for (int i = 0; i < columns; ++i) {
            RECT tile = CTiling::TileRect(*rect, columns, rows, i, j);
            RECT tc;
            if (!IntersectRects(&tc, tile, c))
                continue;
            const int tw = tile.right - tile.left, th = tile.bottom - tile.top;
            part.assign((size_t)tw * (size_t)th, 0);
            for (int y = 0; y < th; ++y)
                memcpy(&part[(size_t)y * tw],
                       mask + (size_t)(tile.top - rect->top + y) * (size_t)w +
                           (tile.left - rect->left),
                       (size_t)tw);
            HRESULT hr = Apply(target, source, part.data(),
                               m_tiling.Progress(columns, rows, i, j, x), &tile, &tc);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

// Mask arithmetic

namespace {

bool HaveSse2() {
#if defined(__x86_64__)
    return true;
#else
    static const bool sse2 = __builtin_cpu_supports("sse2");
    return sse2;
#endif
}

__attribute__((target("sse2"))) void AddClampSse2(const short* base, BYTE* out, size_t count,
                                                  int t) {
    const __m128i add = _mm_set1_epi16((short)t);
    size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i a = _mm_loadu_si128((const __m128i*)(base + i));
        __m128i b = _mm_loadu_si128((const __m128i*)(base + i + 8));
        a = _mm_adds_epi16(a, add);
        b = _mm_adds_epi16(b, add);
        _mm_storeu_si128((__m128i*)(out + i), _mm_packus_epi16(a, b));
    }
    for (; i < count; ++i) {
        int v = base[i] + t;
        out[i] = (BYTE)(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

// One row: dst = (t * m + s * (256 - m)) >> 8 on the colour bytes, t from
// `first` (which may be dst itself), with first's alpha byte.
void BlendRowPlain(DWORD* dst, const DWORD* first, const DWORD* src, const BYTE* m, int n) {
    for (int i = 0; i < n; ++i) {
        DWORD t = first[i], s = src[i];
        unsigned mv = m[i];
        DWORD r = t & 0xFF000000u;
        for (int sh = 0; sh < 24; sh += 8) {
            unsigned tc = (t >> sh) & 0xFF, sc = (s >> sh) & 0xFF;
            r |= ((tc * mv + sc * (256 - mv)) >> 8) << sh;
        }
        dst[i] = r;
    }
}

// The same computed as s + floor((t - s) * m / 256): the high half of
// 2 (t - s) * 128 m gives that floor exactly with one multiply.
__attribute__((target("sse2"))) void BlendRowSse2(DWORD* dst, const DWORD* first, const DWORD* src,
                                                  const BYTE* m, int n) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i d = _mm_loadu_si128((const __m128i*)(first + i));
        __m128i s = _mm_loadu_si128((const __m128i*)(src + i));
        DWORD m4;
        memcpy(&m4, m + i, 4);
        __m128i mm = _mm_cvtsi32_si128((int)m4);
        mm = _mm_unpacklo_epi8(mm, mm);   // m0 m0 m1 m1 ...
        mm = _mm_unpacklo_epi16(mm, mm);  // each mask byte over its pixel's channels
        __m128i mlo = _mm_slli_epi16(_mm_unpacklo_epi8(mm, zero), 7);
        __m128i mhi = _mm_slli_epi16(_mm_unpackhi_epi8(mm, zero), 7);
        __m128i dlo = _mm_unpacklo_epi8(d, zero), dhi = _mm_unpackhi_epi8(d, zero);
        __m128i slo = _mm_unpacklo_epi8(s, zero), shi = _mm_unpackhi_epi8(s, zero);
        __m128i xlo = _mm_sub_epi16(dlo, slo), xhi = _mm_sub_epi16(dhi, shi);
        xlo = _mm_add_epi16(xlo, xlo);
        xhi = _mm_add_epi16(xhi, xhi);
        __m128i rlo = _mm_add_epi16(slo, _mm_mulhi_epi16(xlo, mlo));
        __m128i rhi = _mm_add_epi16(shi, _mm_mulhi_epi16(xhi, mhi));
        __m128i r = _mm_packus_epi16(rlo, rhi);
        r = _mm_or_si128(_mm_and_si128(r, colour), _mm_andnot_si128(colour, d));
        _mm_storeu_si128((__m128i*)(dst + i), r);
    }
    BlendRowPlain(dst + i, first + i, src + i, m + i, n - i);
}

// target = blend(first, source) through the mask over clip ∩ rect and every
// buffer; first null: the target itself.
HRESULT ApplyMaskRows(IPixelBuffer* target, IPixelBuffer* first, IPixelBuffer* source,
                      const BYTE* mask, const RECT* rect, const RECT* clip, bool fast) {
    if (!target || !source || !mask || !rect)
        return E_POINTER;
    RECT area;
    if (!IntersectRects(&area, *rect, clip ? *clip : *rect))
        return S_OK;
    IPixelBuffer* bufs[3] = {target, source, first};
    const DWORD flags[3] = {PIXLOCK_WRITE, PIXLOCK_READ, PIXLOCK_READ};
    const int count = first ? 3 : 2;
    BufferInfo info[3] = {};
    HRESULT hr = S_OK;
    int locked = 0;
    for (; locked < count; ++locked) {
        hr = ScopedUseBegin(bufs[locked], flags[locked]);
        if (FAILED(hr))
            break;
    }
    for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
        info[i].dwSize = sizeof(BufferInfo);
        info[i].wMask = BIM_GEOMETRY | BIM_OFFSET;
        hr = bufs[i]->GetBufferInfo(&info[i]);
        if (SUCCEEDED(hr) && !info[i].pPixels)
            hr = E_FAIL;
        // Inside every buffer, each stepped with its own pitch.
        const RECT ext = {-info[i].nOffsetX, -info[i].nOffsetY, info[i].nWidth - info[i].nOffsetX,
                          info[i].nHeight - info[i].nOffsetY};
        if (SUCCEEDED(hr) && !IntersectRects(&area, area, ext))
            area = RECT{0, 0, 0, 0};
    }
    if (SUCCEEDED(hr) && area.right > area.left) {
        const long long mw = (long long)rect->right - rect->left;
        const int n = area.right - area.left;
        const bool sse = fast && HaveSse2();
        auto row = [&](int i, LONG y) {
            return (DWORD*)(info[i].pPixels + (size_t)(y + info[i].nOffsetY) * info[i].nPitch) +
                   (area.left + info[i].nOffsetX);
        };
        for (LONG y = area.top; y < area.bottom; ++y) {
            DWORD* d = row(0, y);
            const DWORD* s = row(1, y);
            const DWORD* f = first ? row(2, y) : d;
            const BYTE* m = mask + (size_t)((y - rect->top) * mw) + (area.left - rect->left);
            if (sse)
                BlendRowSse2(d, f, s, m, n);
            else
                BlendRowPlain(d, f, s, m, n);
        }
    }
    while (locked-- > 0) ScopedUseEnd(bufs[locked]);
    return hr;
}

}  // namespace

void AddClampBytes(const short* base, BYTE* out, size_t count, int t) {
    if (t > 1024)
        t = 1024;
    if (t < -1024)
        t = -1024;
    if (HaveSse2()) {
        AddClampSse2(base, out, count, t);
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        int v = base[i] + t;
        out[i] = (BYTE)(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

HRESULT ApplyMaskStandard(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                          const RECT* rect, const RECT* clip) {
    return ApplyMaskRows(target, nullptr, source, mask, rect, clip, true);
}

HRESULT ApplyMaskReference(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                           const RECT* rect, const RECT* clip) {
    return ApplyMaskRows(target, nullptr, source, mask, rect, clip, false);
}

HRESULT ApplyMaskFrom(IPixelBuffer* target, IPixelBuffer* first, IPixelBuffer* source,
                      const BYTE* mask, const RECT* rect, const RECT* clip) {
    return ApplyMaskRows(target, first, source, mask, rect, clip, true);
}

HRESULT CMaskPlugin::ComposeFrom(IPixelBuffer* target, IPixelBuffer* first, IPixelBuffer* source,
                                 const BYTE* mask, double, const RECT* rect, const RECT* clip) {
    if (!IsStandardCompose())
        return E_NOTIMPL;
    return ApplyMaskFrom(target, first, source, mask, rect, clip);
}
