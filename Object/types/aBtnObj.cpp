#include "aBtnObj.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "aDXBuf.h"
#include "aFillFiles.h"
#include "bStorage.h"
#include "aTransition.h"
#include "aUtil.h"
#include "bFillShd.h"
#include "bStrConv.h"
#include "bdrawtxt.h"

namespace {

bool g_reuseFaces = true;

const COLORREF kLookColors[4] = {0xB19883, 0x7D654F, 0xC8B4A0, 0xA0A0A0};
const DWORD kOutside = 0x00FFFFFF;
const DWORD kPalette[6] = {0, 0, 0xFFFFFFFF, 0xFFDFDFDF, 0xFF808080, 0xFF000000};
// Palette indexes of the glyphs.
enum { G_CLEAR = 0, G_FACE = 1, G_WHITE = 2, G_LIGHT = 3, G_DARK = 4, G_BLACK = 5 };
enum { CHECK_SIZE = 13, RADIO_SIZE = 12, GLYPH_STYLES = 6, GLYPH_GAP = 5 };

// The glyph tables: [style][value][row * size + column] palette indexes.
struct GlyphTables {
    BYTE check[GLYPH_STYLES][2][CHECK_SIZE * CHECK_SIZE];
    BYTE radio[GLYPH_STYLES][2][RADIO_SIZE * RADIO_SIZE];
    GlyphTables() {
        for (int s = 0; s < GLYPH_STYLES; ++s)
            for (int v = 0; v < 2; ++v) {
                DrawCheck(check[s][v], s, v);
                DrawRadio(radio[s][v], s, v);
            }
    }
    static void DrawCheck(BYTE* g, int style, int on) {
        const int n = CHECK_SIZE;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                BYTE c = G_FACE;
                bool edge = x == 0 || y == 0 || x == n - 1 || y == n - 1;
                bool inner = x == 1 || y == 1 || x == n - 2 || y == n - 2;
                if (style == 1) {  // classic: sunken box
                    if (edge)
                        c = (x == n - 1 || y == n - 1) ? G_WHITE : G_DARK;
                    else if (inner)
                        c = (x == n - 2 || y == n - 2) ? G_LIGHT : G_BLACK;
                } else if (style == 2 || style == 4) {
                    if (edge)
                        c = G_BLACK;
                } else if (style == 3) {
                    if (edge)
                        c = G_DARK;
                }
                if (on && style != 0 && style != 5 && x >= 3 && x <= n - 4 && y >= 3 &&
                    y <= n - 4) {
                    bool mark;
                    if (style == 1 || style == 3)  // a cross
                        mark = x == y || x == n - 1 - y || x == y + 1 || x + 1 == n - 1 - y;
                    else  // a tick: down to (5, 8), up to (9, 4)
                        mark = (x <= 5 && (y == x + 3 || y == x + 2)) ||
                               (x > 5 && (y == 13 - x || y == 12 - x));
                    if (mark)
                        c = G_BLACK;
                }
                g[y * n + x] = c;
            }
    }
    static void DrawRadio(BYTE* g, int style, int on) {
        const int n = RADIO_SIZE;
        const double c = (n - 1) / 2.0, r = n / 2.0;
        double dot = (style == 2 || style == 4) ? 3.0 : 2.0;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                double d = sqrt((x - c) * (x - c) + (y - c) * (y - c));
                BYTE v = G_CLEAR;
                if (d < r) {
                    v = G_FACE;
                    if (style != 0 && style != 5 && d >= r - 1.2)
                        v = (style == 3 || style == 4) ? (x + y < n - 1 ? G_DARK : G_WHITE)
                                                       : G_BLACK;
                    if (on && style != 0 && style != 5 && d < dot)
                        v = G_BLACK;
                }
                g[y * n + x] = v;
            }
    }
};

const GlyphTables& Glyphs() {
    static const GlyphTables tables;
    return tables;
}

struct Pixels {
    DWORD* p = nullptr;
    int pitch = 0, w = 0, h = 0;
    DWORD& at(int x, int y) { return p[(ptrdiff_t)y * pitch + x]; }
};

bool Lock(IPixelBuffer* b, Pixels* out) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    if (!b || FAILED(b->GetBufferInfo(&info)) || !info.pPixels)
        return false;
    out->p = reinterpret_cast<DWORD*>(info.pPixels);
    out->pitch = info.nPitch / 4;
    out->w = info.nWidth;
    out->h = info.nHeight;
    return true;
}

void FillAll(IPixelBuffer* b, DWORD value) {
    Pixels px;
    if (!Lock(b, &px))
        return;
    for (int y = 0; y < px.h; ++y) std::fill(&px.at(0, y), &px.at(0, y) + px.w, value);
}

DWORD FadeAlpha(DWORD p, double coverage) {
    if (coverage >= 1)
        return p;
    if (coverage <= 0)
        return kOutside;
    DWORD a = (DWORD)((p >> 24) * coverage);
    return (a << 24) | (p & 0xFFFFFF);
}

// Coverage of a corner pixel at distance d from the corner circle's centre.
double CornerCoverage(double d, double r) {
    if (d >= r + 1)
        return 0;
    if (d > r)
        return r + 1 - d;
    return 1;
}

double CornerRadius(int style, int w, int h) {
    int side = std::min(w, h);
    double r = style == 4 ? side / 2.0 : side / 8.11;
    return std::min(r, (side - 1) / 2.0);
}

// Coverage of (x, y) for a style; 1 inside, 0 outside.
double ShapeCoverage(int style, int w, int h, int x, int y) {
    switch (style) {
        case 1:
        case 4: {
            double r = CornerRadius(style, w, h);
            double cx = x < r ? r : (x > w - 1 - r ? w - 1 - r : x);
            double cy = y < r ? r : (y > h - 1 - r ? h - 1 - r : y);
            if (cx == x || cy == y)
                return 1;
            double d = sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
            return CornerCoverage(d, r);
        }
        case 2: {
            double a = (w - 1) / 2.0, b = (h - 1) / 2.0;
            if (a <= 0 || b <= 0)
                return 1;
            double dx = x - a, dy = y - b;
            double k = sqrt(dx * dx / (a * a) + dy * dy / (b * b));
            if (k <= 1)
                return 1;
            // The distance outside, along the ray, in pixels.
            double out = (k - 1) * sqrt(dx * dx + dy * dy) / k;
            return out >= 1 ? 0 : 1 - out;
        }
        case 3: {
            double a = (w - 1) / 2.0, b = (h - 1) / 2.0;
            if (a <= 0 || b <= 0)
                return 1;
            double dx = fabs(x - a), dy = fabs(y - b);
            double f = dx / a + dy / b;  // 1 on the edge
            if (f <= 1)
                return 1;
            double out = (f - 1) * a * b / sqrt(a * a + b * b);
            return out >= 1 ? 0 : 1 - out;
        }
    }
    return 1;
}

}  // namespace

void CutButtonShape(DWORD* pixels, int pitch, int w, int h, int style) {
    if (style <= 0 || style > 4)
        return;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            DWORD& p = pixels[(ptrdiff_t)y * pitch + x];
            p = FadeAlpha(p, ShapeCoverage(style, w, h, x, y));
        }
}

bool ButtonShapeHit(int style, int w, int h, LONG x, LONG y) {
    if (x < 0 || y < 0 || x >= w || y >= h)
        return false;
    switch (style) {
        case 1:
        case 4: {
            double r = CornerRadius(style, w, h);
            double cx = x < r ? r : (x > w - 1 - r ? w - 1 - r : x);
            double cy = y < r ? r : (y > h - 1 - r ? h - 1 - r : y);
            if (cx == x || cy == y)
                return true;
            return sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) < r + 1;
        }
        case 2: {
            if (w <= 1 || h <= 1)
                return true;
            double a = (w - 1) / 2.0, b = (h - 1) / 2.0, dx = x - a, dy = y - b;
            return dx * dx / (a * a) + dy * dy / (b * b) <= 1;
        }
        case 3: {
            if (w <= 1 || h <= 1)
                return true;
            double a = (w - 1) / 2.0, b = (h - 1) / 2.0;
            double dx = fabs(x - a), dy = fabs(y - b);
            return b * a >= dy * a + b * dx;
        }
    }
    return true;
}

ButtonFace::ButtonFace() : fill(nullptr) {}

ButtonFace::~ButtonFace() {
    if (fill)
        fill->Release();
    for (ITransitionBlend* e : effects) e->Release();
}

ButtonObject::ButtonObject()
    : m_value(0),
      m_maxValue(0),
      m_flags(BTNFLAG_ENABLED),
      m_type(BTNTYPE_BUTTON),
      m_style(0),
      m_frameColor(0),
      m_caption(nullptr),
      m_hot(0),
      m_released(1),
      m_composed(nullptr),
      m_composedKey(),
      m_stamp(0),
      m_lent(false) {}

ButtonObject::~ButtonObject() {
    DropComposedFace();
    ClearFaces();
    if (m_caption)
        m_caption->Release();
}

HRESULT ButtonObject::SetUp() {
    if (FAILED(CreateFontObject(&m_caption)) || !m_caption)
        return E_OUTOFMEMORY;
    m_caption->SetHorzAlign(1);
    m_caption->SetVertAlign(1);
    return S_OK;
}

int ButtonObject::Look() const {
    if (!(m_flags & BTNFLAG_ENABLED))
        return LOOK_DISABLED;
    if (!m_hot)
        return LOOK_NORMAL;
    return m_released ? LOOK_HOT : LOOK_PRESSED;
}

// ---- faces ----

ButtonFace* ButtonObject::FaceAt(int entry) const {
    if (entry < 0 || entry >= FaceCount())
        return nullptr;
    LONG alias = entry < (int)m_alias.size() ? m_alias[entry] : -1;
    if (alias == -1)
        return m_faces[entry];
    // An alias outside the list names no face.
    if (alias < 0 || alias >= FaceCount())
        return nullptr;
    return m_faces[alias];
}

void ButtonObject::Restyled() {
    ++m_stamp;
    DropComposedFace();
}

void ButtonObject::DropComposedFace() {
    if (m_composed)
        m_composed->Release();
    m_composed = nullptr;
}

void ButtonObject::ClearFaces() {
    Restyled();
    for (ButtonFace* f : m_faces) delete f;
    m_faces.clear();
    m_alias.clear();
}

HRESULT ButtonObject::ResizeFaces(int count) {
    Restyled();
    while (FaceCount() > count) {
        delete m_faces.back();
        m_faces.pop_back();
    }
    m_alias.resize(count, -1);
    for (LONG& a : m_alias)
        if (a >= count)
            a = -1;
    while (FaceCount() < count) {
        ButtonFace* face = new (std::nothrow) ButtonFace();
        if (!face)
            return E_OUTOFMEMORY;
        face->fill = CreateFillObject();
        if (!face->fill) {
            delete face;
            return E_OUTOFMEMORY;
        }
        m_faces.push_back(face);
    }
    return S_OK;
}

HRESULT ButtonObject::NewDefaultFaces() {
    ClearFaces();
    HRESULT hr = ResizeFaces(4 * (m_maxValue + 1));
    if (FAILED(hr))
        return hr;
    for (int i = 0; i < FaceCount(); ++i) {
        FillObject* fill = m_faces[i]->fill;
        fill->SetFillType(FILL_SOLID);
        void* params = nullptr;
        if (SUCCEEDED(fill->GetFillParams(&params)) && params)
            static_cast<ISolidFillParams*>(params)->SetColor(kLookColors[i % 4]);
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr))
        return hr;
    DWORD typeId = record->pRecord ? record->pRecord->dwTypeId : 0;
    switch (typeId) {
        case 0x02020002:
            m_maxValue = 1, m_type = BTNTYPE_BUTTON;
            break;
        case 0x02020003:
            m_maxValue = 2, m_type = BTNTYPE_BUTTON;
            break;
        case 0x02020004:
            m_maxValue = 1, m_type = BTNTYPE_CHECK;
            break;
        case 0x02020005:
            m_maxValue = 1, m_type = BTNTYPE_RADIO;
            break;
        default:
            m_maxValue = 0, m_type = BTNTYPE_BUTTON;
    }
    m_style = 1;
    if (FAILED(NewDefaultFaces()))
        return 1;
    if (record->pRecord) {
        char name[33];
        memcpy(name, record->pRecord->szName, 32);
        name[32] = 0;
        m_caption->SetText(name);
    }
    Restyled();
    return S_OK;
}

// ---- dispatch members ----

STDMETHODIMP ButtonObject::put_ObjValue(LONG v) {
    if (v < 0 || v > m_maxValue)
        return S_FALSE;
    if (v != m_value) {
        Changed();
        m_value = v;
        Changed();
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::put_ObjEnable(LONG v) {
    if ((v != 0) == ((m_flags & BTNFLAG_ENABLED) != 0))
        return S_OK;
    Changed();
    m_flags = (m_flags & ~BTNFLAG_ENABLED) | (v & 1);
    m_hot = 0;
    m_released = 1;
    Changed();
    return S_OK;
}

STDMETHODIMP ButtonObject::put_ObjDrawFrame(LONG v) {
    LONG flags = (m_flags & ~BTNFLAG_FRAME) | ((v & 1) << 1);
    if (flags != m_flags) {
        m_flags = flags;
        Changed();
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::put_ObjStyle(LONG v) {
    if (v < 0 || v > BUTTON_STYLE_COUNT - 1)
        return S_FALSE;
    if (v != m_style) {
        Changed();
        m_style = v;
        Changed();
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::put_ObjFrameColor(LONG v) {
    if ((COLORREF)v != m_frameColor) {
        m_frameColor = (COLORREF)v;
        Changed();
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::put_ObjTextAlign(LONG v) {
    if (v < 0 || v > 3)
        return S_FALSE;
    m_flags = (m_flags & ~BTNFLAG_ALIGN) | (v << 2);
    Changed();
    return S_OK;
}

STDMETHODIMP ButtonObject::get_ObjTextContent(BSTR* out) {
    if (!out)
        return E_POINTER;
    int n = 0;
    m_caption->GetTextLength(&n);
    std::string text(n + 1, '\0');
    m_caption->GetText(&text[0], n + 1);
    text.resize(strlen(text.c_str()));
    *out = BstrFromMultibyte(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ButtonObject::put_ObjTextContent(BSTR text) {
    if (!text) {
        m_caption->SetText(nullptr);
    } else {
        std::string ansi = MultibyteFromBstr(text);
        m_caption->SetText(ansi.c_str());
    }
    Restyled();
    Changed();
    return S_OK;
}

STDMETHODIMP ButtonObject::get_ObjTextColor(LONG* out) {
    COLORREF c = 0;
    m_caption->GetColor(&c);
    return Get(out, (LONG)c);
}

STDMETHODIMP ButtonObject::put_ObjTextColor(LONG v) {
    m_caption->SetColor((COLORREF)v);
    Restyled();
    Changed();
    return S_OK;
}

// ---- private operations ----

STDMETHODIMP ButtonObject::SetMaxValue(LONG n) {
    if (n < 0)
        return S_FALSE;
    m_maxValue = m_type == BTNTYPE_BUTTON ? std::min(n, 2L) : 1;
    m_value = std::min(std::max(m_value, 0L), m_maxValue);
    HRESULT hr = ResizeFaces(4 * (m_maxValue + 1));
    Changed();
    return hr;
}

STDMETHODIMP ButtonObject::GetFace(LONG value, LONG look, ButtonFace** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (look < 0 || look > 3 || value < 0 || value > m_maxValue)
        return S_FALSE;
    // The caller may change the face behind the fields' back.
    m_lent = true;
    DropComposedFace();
    *out = FaceAt(value * 4 + look);
    return S_OK;
}

STDMETHODIMP ButtonObject::GetStyleName(LONG style, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (style < 0 || style > BUTTON_STYLE_COUNT - 1)
        return S_FALSE;
    char text[128] = {};
    LoadResString(BUTTON_STYLE_NAMES + BUTTON_STYLE_COUNT * m_type + style, text, sizeof(text));
    *out = BstrFromMultibyte(std::string(text));
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP ButtonObject::RenderFacePreview(LONG width, LONG height, ButtonFace* face,
                                             IPixelBuffer** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (width <= 0 || height <= 0)
        return S_FALSE;
    IPixelBuffer* model = CreateSiteBuffer(1, 1, ClassSite());
    IPixelBuffer* buffer = DrawFace(face, width, height, model);
    if (model)
        model->Release();
    if (!buffer)
        return E_FAIL;
    RECT r = {0, 0, width, height};
    buffer = ApplyEffects(face, buffer, &r);
    Pixels px;
    if (buffer && Lock(buffer, &px)) {
        for (int y = 0; y < px.h; ++y)
            for (int x = 0; x < px.w; ++x) {
                DWORD p = px.at(x, y), a = p >> 24, c = 0;
                for (int shift = 0; shift < 24; shift += 8) {
                    DWORD ch = (p >> shift) & 0xFF;
                    c |= ((ch * a + 255 * (255 - a)) / 255) << shift;
                }
                px.at(x, y) = c;
            }
    }
    *out = buffer;
    return buffer ? S_OK : E_FAIL;
}

// ---- drawing ----

IPixelBuffer* ButtonObject::DrawCaption(int w, int h, IPixelBuffer* model) {
    if (m_type != BTNTYPE_BUTTON) {
        static const WORD horz[4] = {0, 2, 1, 1}, vert[4] = {1, 1, 0, 2};
        int align = (m_flags >> 2) & 3;
        m_caption->SetHorzAlign(horz[align]);
        m_caption->SetVertAlign(vert[align]);
    }
    IPixelBuffer* b = CreateBufferLike(w, h, model);
    if (!b)
        return nullptr;
    COLORREF color = 0;
    m_caption->GetColor(&color);
    DWORD key = (color & 0xFFFFFF) ? 0 : kOutside;
    FillAll(b, key);
    RECT r = {0, 0, w, h};
    m_caption->DrawToBuffer(b, &r);
    Pixels px;
    if (Lock(b, &px))
        for (int y = 0; y < px.h; ++y)
            for (int x = 0; x < px.w; ++x) {
                DWORD& p = px.at(x, y);
                p = (p & 0xFFFFFF) == key ? (p & 0xFFFFFF) : (p | 0xFF000000);
            }
    return b;
}

IPixelBuffer* ButtonObject::DrawFace(ButtonFace* face, int w, int h, IPixelBuffer* model) {
    if (!face || !face->fill || m_style < 0 || m_style > 4 || m_type < 0 || m_type > 2)
        return nullptr;
    IPixelBuffer* b = CreateBufferLike(w, h, model);
    if (!b)
        return nullptr;
    Pixels px;
    if (!Lock(b, &px)) {
        b->Release();
        return nullptr;
    }
    RECT whole = {0, 0, w, h};
    if (m_type == BTNTYPE_BUTTON) {
        FillAll(b, 0);
        face->fill->Render(&whole, b, &whole, ClassSite());
        if (IPixelBuffer* cap = DrawCaption(w, h, b)) {
            Pixels cp;
            if (Lock(cap, &cp))
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        if (cp.at(x, y) >> 24)
                            px.at(x, y) = cp.at(x, y);
            cap->Release();
        }
        CutButtonShape(px.p, px.pitch, w, h, m_style);
        int mode = FILLMODE_NONE;
        face->fill->GetMode(&mode);
        if (mode != FILLMODE_NONE && (m_flags & BTNFLAG_FRAME)) {
            DWORD frame = ((m_frameColor & 0xFF) << 16) | (m_frameColor & 0xFF00) |
                          ((m_frameColor >> 16) & 0xFF);
            std::vector<BYTE> edge((size_t)w * h, 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (!(px.at(x, y) >> 24))
                        continue;
                    bool on = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                    for (int dy = -1; dy <= 1 && !on; ++dy)
                        for (int dx = -1; dx <= 1 && !on; ++dx) on = !(px.at(x + dx, y + dy) >> 24);
                    edge[(size_t)y * w + x] = on;
                }
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (edge[(size_t)y * w + x])
                        px.at(x, y) = (px.at(x, y) & 0xFF000000) | frame;
        }
        return b;
    }
    // Check boxes and radio buttons: the glyph and the caption beside it.
    FillAll(b, kOutside);
    const int gs = m_type == BTNTYPE_CHECK ? CHECK_SIZE : RADIO_SIZE;
    const BYTE* glyph = m_type == BTNTYPE_CHECK ? Glyphs().check[m_style][m_value ? 1 : 0]
                                                : Glyphs().radio[m_style][m_value ? 1 : 0];
    IPixelBuffer* face32 = CreateBufferLike(gs, gs, b);
    Pixels gp;
    if (face32 && Lock(face32, &gp)) {
        RECT gr = {0, 0, gs, gs};
        face->fill->Render(&gr, face32, &gr, ClassSite());
        int align = (m_flags >> 2) & 3;
        int gx = 0, gy = (h - gs) / 2;
        RECT cap = {gs + GLYPH_GAP, 0, w, h};
        if (align == 1) {
            gx = w - gs;
            cap = {0, 0, w - gs - GLYPH_GAP, h};
        } else if (align == 2) {
            gx = (w - gs) / 2, gy = 0;
            cap = {0, gs + GLYPH_GAP, w, h};
        } else if (align == 3) {
            gx = (w - gs) / 2, gy = h - gs;
            cap = {0, 0, w, h - gs - GLYPH_GAP};
        }
        for (int y = 0; y < gs; ++y)
            for (int x = 0; x < gs; ++x) {
                int tx = gx + x, ty = gy + y;
                if (tx < 0 || ty < 0 || tx >= w || ty >= h)
                    continue;
                BYTE index = glyph[y * gs + x];
                if (index == G_CLEAR)
                    continue;
                px.at(tx, ty) = index == G_FACE ? gp.at(x, y) : kPalette[index];
            }
        int cw = cap.right - cap.left, ch = cap.bottom - cap.top;
        if (cw > 0 && ch > 0)
            if (IPixelBuffer* text = DrawCaption(cw, ch, b)) {
                Pixels tp;
                if (Lock(text, &tp))
                    for (int y = 0; y < ch; ++y)
                        for (int x = 0; x < cw; ++x)
                            if (tp.at(x, y) >> 24)
                                px.at(cap.left + x, cap.top + y) = tp.at(x, y);
                text->Release();
            }
    }
    if (face32)
        face32->Release();
    return b;
}

IPixelBuffer* ButtonObject::ApplyEffects(ButtonFace* face, IPixelBuffer* buffer, RECT* rect) {
    if (!face)
        return buffer;
    for (ITransitionBlend* effect : face->effects) {
        if (!buffer)
            return nullptr;
        RECT out = *rect;
        effect->GetOutputRect(rect, &out);
        IPixelBuffer* next = CreateBufferLike(out.right - out.left, out.bottom - out.top, buffer);
        if (!next) {
            buffer->Release();
            return nullptr;
        }
        effect->Render(buffer, next);
        buffer->Release();
        buffer = next;
        *rect = out;
    }
    return buffer;
}

HRESULT ButtonObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return 1;
    ButtonFace* face = FaceAt(m_value * 4 + Look());
    if (!face)
        return 1;
    // `rect` is where the render part puts the bounds, which the face's
    // effects widen: the face itself covers the plain bounds inside it.
    RECT plain, widened;
    ClassBase::GetBoundsRect(&plain);
    GetBoundsRect(&widened);
    RECT r = plain;
    OffsetRect(&r, rect->left - widened.left, rect->top - widened.top);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return 1;
    // A face composed for a GDI target is kept for the next draw; surfaces
    // can lose their content, so faces for those are drawn every time.
    const FaceKey key = {face,         w,           h,      m_type, m_style, m_flags, m_value,
                         m_frameColor, ClassSite(), m_stamp};
    DXOwner* owner = nullptr;
    const bool reuse = g_reuseFaces && !m_lent && !(target->GetOwner(&owner) == S_OK && owner);
    IPixelBuffer* b = nullptr;
    if (reuse && m_composed && m_composedKey == key) {
        b = m_composed;
        b->AddRef();
        for (ITransitionBlend* effect : face->effects) {
            RECT out = r;
            effect->GetOutputRect(&r, &out);
            r = out;
        }
    } else {
        if (reuse)
            DropComposedFace();
        b = DrawFace(face, w, h, target);
        if (!b)
            return 1;
        b = ApplyEffects(face, b, &r);
        if (!b)
            return 1;
        b->EnablePixelAlpha(TRUE);
        if (reuse) {
            m_composed = b;
            m_composed->AddRef();
            m_composedKey = key;
        }
    }
    RECT src = {0, 0, r.right - r.left, r.bottom - r.top};
    target->Blit(&r, b, &src, 0);
    b->Release();
    return S_OK;
}

STDMETHODIMP ButtonObject::InvalidateBounds(IPixelBuffer* target) {
    if (!target)
        return E_POINTER;
    RECT bounds;
    GetBoundsRect(&bounds);
    return DrawContent(target, &bounds);
}

STDMETHODIMP ButtonObject::GetBoundsRect(RECT* out) {
    HRESULT hr = ClassBase::GetBoundsRect(out);
    if (FAILED(hr) || !out)
        return hr;
    ButtonFace* face = FaceAt(m_value * 4 + Look());
    if (!face || face->effects.empty())
        return hr;
    RECT r = *out;
    for (ITransitionBlend* effect : face->effects) {
        RECT next = r;
        effect->GetOutputRect(&r, &next);
        r = next;
    }
    UnionRect(out, out, &r);
    return hr;
}

STDMETHODIMP_(int) ButtonObject::HitTestPoint(LONG x, LONG y) {
    RECT b;
    ClassBase::GetBoundsRect(&b);
    if (x < b.left || y < b.top || x >= b.right || y >= b.bottom)
        return 1;
    if (m_type != BTNTYPE_BUTTON)
        return 0;
    return ButtonShapeHit(m_style, b.right - b.left, b.bottom - b.top, x - b.left, y - b.top) ? 0
                                                                                              : 1;
}

STDMETHODIMP ButtonObject::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    // A collector may rename what the fills show.
    Restyled();
    for (ButtonFace* face : m_faces)
        if (face)
            CollectFillFiles(face->fill, collector);
    return ClassBase::CollectFiles(collector);
}

// ---- events ----

void ButtonObject::Advance() {
    if (m_type != BTNTYPE_RADIO) {
        m_value = m_value < m_maxValue ? m_value + 1 : 0;
        return;
    }
    if (m_value != 0)
        return;
    IUnknown* parent = nullptr;
    GetParent(&parent);
    if (parent) {
        CComPtr<IUnknown> group;
        if (SUCCEEDED(
                parent->QueryInterface(__uuidof(IGroupObject), reinterpret_cast<void**>(&group))) &&
            group) {
            GroupDispDefaults* calls =
                static_cast<GroupDispDefaults*>(static_cast<IUnknown*>(group.p));
            calls->RadioSelect(static_cast<IDispatch*>(static_cast<ButtonDispDefaults*>(this)));
        }
    }
    m_value = 1;
}

STDMETHODIMP ButtonObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    bool enabled = (m_flags & BTNFLAG_ENABLED) != 0;
    bool input = true;
    switch (id) {
        case EVT_LBUTTONDOWN:
            m_released = 0, m_hot = 1;
            break;
        case EVT_LBUTTONUP:
            m_hot = 1, m_released = 1;
            if (enabled)
                Advance();
            break;
        case EVT_MOUSEENTER:
            m_hot = 1;
            break;
        case EVT_MOUSELEAVE:
            m_hot = 0, m_released = 1;
            break;
        case EVT_MOUSEMOVE:
        case EVT_MOUSEHOVER:
            m_hot = HitTestPoint((SHORT)LOWORD((DWORD)arg2), (SHORT)HIWORD((DWORD)arg2)) == 0;
            break;
        case EVT_KEYDOWN:
        case EVT_KEYUP:
        case EVT_DBCLICK:
        case EVT_CLICK:
            input = true;
            break;
        default:
            input = false;
    }
    if (input && id != EVT_KEYDOWN && id != EVT_KEYUP && id != EVT_DBCLICK && id != EVT_CLICK)
        Changed();
    if (input && !enabled)
        return S_OK;
    return ClassBase::FireEvent(id, arg1, arg2, prev);
}

// ---- the record ----

HRESULT ButtonObject::LoadFace(ITeskStream* stream, ButtonFace* face) {
    if (FAILED(face->fill->Load(stream)))
        return E_FAIL;
    DWORD m = 0;
    if (!StreamReadValue(stream, &m) || !StreamHas(stream, 16ULL * m)) {
        LOG_MSG("Button face: %lu effects beyond the stream", (unsigned long)m);
        return E_FAIL;
    }
    IObjectCreator* creator = ContainerCreator();
    for (DWORD i = 0; i < m; ++i) {
        CLSID clsid;
        if (!StreamHas(stream, sizeof(clsid)))
            return E_FAIL;
        stream->Read(&clsid, sizeof(clsid));
        ITransitionBlend* effect = nullptr;
        if (!creator ||
            FAILED(creator->CreatePlugin(clsid, __uuidof(ITransitionBlend),
                                         reinterpret_cast<void**>(&effect))) ||
            !effect) {
            LOG_MSG("Button face: effect not created");
            return E_FAIL;
        }
        face->effects.push_back(effect);
        if (FAILED(effect->Load(stream)))
            return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::LoadExtension(ITeskStream* stream) {
    Restyled();
    LONG v[6];
    if (!stream || !StreamHas(stream, sizeof(v))) {
        LOG_MSG("Button record: cut short");
        return E_FAIL;
    }
    stream->Read(v, sizeof(v));
    if (FAILED(m_caption->Load(stream)))
        return E_FAIL;
    DWORD n = 0;
    if (!StreamReadValue(stream, &n) || !StreamHas(stream, 4ULL * n)) {
        LOG_MSG("Button record: %lu faces beyond the stream", (unsigned long)n);
        return E_FAIL;
    }
    m_value = v[0];
    m_maxValue = std::min(std::max(v[1], 0L), 2L);
    m_value = std::min(std::max(m_value, 0L), m_maxValue);
    m_flags = v[2];
    m_type = (v[3] >= 0 && v[3] <= 2) ? v[3] : (LONG)BTNTYPE_BUTTON;
    m_style = v[4];
    m_frameColor = (COLORREF)v[5];
    ClearFaces();
    if (n == 0)
        return S_OK;
    m_alias.resize(n);
    stream->Read(m_alias.data(), 4 * n);
    for (DWORD i = 0; i < n; ++i) {
        ButtonFace* face = new (std::nothrow) ButtonFace();
        if (!face)
            return E_OUTOFMEMORY;
        face->fill = CreateFillObject();
        m_faces.push_back(face);
        if (!face->fill || FAILED(LoadFace(stream, face)))
            return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP ButtonObject::SaveExtension(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    LONG v[6] = {m_value, m_maxValue, m_flags, m_type, m_style, (LONG)m_frameColor};
    stream->Write(v, sizeof(v));
    m_caption->Save(stream);
    DWORD n = (DWORD)m_faces.size();
    StreamWriteValue(stream, n);
    if (n)
        stream->Write(m_alias.data(), 4 * n);
    for (ButtonFace* face : m_faces) {
        face->fill->Save(stream);
        StreamWriteValue(stream, (DWORD)face->effects.size());
        for (ITransitionBlend* effect : face->effects) {
            CLSID clsid = {};
            effect->GetClassID(&clsid);
            stream->Write(&clsid, sizeof(clsid));
            effect->Save(stream);
        }
    }
    return S_OK;
}

bool SetButtonFaceReuse(bool enable) {
    const bool old = g_reuseFaces;
    g_reuseFaces = enable;
    return old;
}

HRESULT CreateButtonObject(IUnknown** out) {
    return CreateObjectOfClass<ButtonObject>(out);
}
