#include "aMnuObj.h"

#include <string.h>

#include <algorithm>

#include "aDXBuf.h"
#include "aFillFiles.h"
#include "aMFrame.h"
#include "aUtil.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bLinStyl.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bdrawtxt.h"

namespace {

// The items Init makes, for every menu of the process.
LONG g_defaultItemCount = 4;
// Longest item text or icon path a record may carry, in bytes.
const DWORD kMaxItemText = 0x10000;
// The smallest item record: flags, id, six rectangles.
const ULONGLONG kItemHead = 8 + 6 * 16;

const RECT kEmpty = {0, 0, 0, 0};

bool Inside(const RECT& r, LONG x, LONG y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void Invert(HDC dc, RECT r) {
    if (r.right > r.left && r.bottom > r.top)
        InvertRect(dc, &r);
}

// An inverted frame: the rectangle shrunk by 2 inverted, then shrunk by 2
// more inverted again.
void InvertFrame(HDC dc, RECT r) {
    InflateRect(&r, -2, -2);
    Invert(dc, r);
    InflateRect(&r, -2, -2);
    Invert(dc, r);
}

// A text of a record: a byte count with the NUL, then the bytes when the
// count is above 1. A text without its NUL ends at the count.
bool ReadText(ITeskStream* stream, std::string* out) {
    DWORD m = 0;
    if (!StreamReadValue(stream, &m) || m > kMaxItemText || (m > 1 && !StreamHas(stream, m))) {
        LOG_MSG("Menu record: text of %lu bytes refused", (unsigned long)m);
        return false;
    }
    out->clear();
    if (m > 1) {
        std::vector<char> text(m);
        stream->Read(text.data(), m);
        out->assign(text.data(), strnlen(text.data(), m));
    }
    return true;
}

void WriteText(ITeskStream* stream, const std::string& text) {
    DWORD m = (DWORD)text.size() + 1;
    StreamWriteValue(stream, m);
    if (m > 1)
        stream->Write(text.c_str(), m);
}

COLORREF SolidColor(FillObject* fill) {
    COLORREF c = 0;
    void* params = nullptr;
    if (fill && SUCCEEDED(fill->GetFillParams(&params)) && params)
        static_cast<ISolidFillParams*>(params)->GetColor(&c);
    return c;
}

// The picture parameters of a fill that is a picture fill (a stored record
// may have made it another kind); null otherwise.
IPictureFillParams* PictureParams(FillObject* fill) {
    int type = -1;
    void* params = nullptr;
    if (!fill || FAILED(fill->GetFillType(&type)) || type != FILL_PICTURE ||
        FAILED(fill->GetFillParams(&params)))
        return nullptr;
    return static_cast<IPictureFillParams*>(params);
}

FillObject* NewIconFill() {
    FillObject* fill = CreateFillObject();
    if (!fill)
        return nullptr;
    fill->SetFillType(FILL_PICTURE);
    void* params = nullptr;
    if (SUCCEEDED(fill->GetFillParams(&params)) && params)
        static_cast<IPictureFillParams*>(params)->SetMode(PICFILL_STRETCH);
    return fill;
}

}  // namespace

// ---- items ----

MenuItem::MenuItem()
    : flags(0),
      id(-1),
      textCell(kEmpty),
      clippedText(kEmpty),
      iconCell(kEmpty),
      clippedIcon(kEmpty),
      insetIcon(kEmpty),
      area(kEmpty),
      iconFill(NewIconFill()) {}

MenuItem::~MenuItem() {
    if (iconFill)
        iconFill->Release();
}

HRESULT MenuItem::Load(ITeskStream* stream) {
    LONG head[2];
    RECT rects[6];
    if (!StreamHas(stream, sizeof(head) + sizeof(rects)))
        return E_FAIL;
    stream->Read(head, sizeof(head));
    stream->Read(rects, sizeof(rects));
    if (!iconFill || FAILED(iconFill->Load(stream)))
        return E_FAIL;
    if (!ReadText(stream, &text) || !ReadText(stream, &iconPath))
        return E_FAIL;
    flags = head[0];
    id = head[1];
    textCell = rects[0], clippedText = rects[1], iconCell = rects[2];
    clippedIcon = rects[3], insetIcon = rects[4], area = rects[5];
    return S_OK;
}

HRESULT MenuItem::Save(ITeskStream* stream) const {
    LONG head[2] = {flags, id};
    RECT rects[6] = {textCell, clippedText, iconCell, clippedIcon, insetIcon, area};
    stream->Write(head, sizeof(head));
    stream->Write(rects, sizeof(rects));
    iconFill->Save(stream);
    WriteText(stream, text);
    WriteText(stream, iconPath);
    return S_OK;
}

// ---- the menu ----

MenuObject::MenuObject()
    : m_vertical(false),
      m_nextId(0),
      m_textWidth(100),
      m_savedTextWidth(100),
      m_iconWidth(30),
      m_itemHeight(30),
      m_textColor(0),
      m_hotText(0xFFFFFF),
      m_hotBack(0x5A0000),
      m_separatorColor(0),
      m_picStyle(MENU_PICSTYLE_LEFT),
      m_textAlign(0),
      m_autoWrap(0),
      m_flags(MENUFLAG_SEPARATOR),
      m_font(nullptr),
      m_background(nullptr),
      m_separatorStyle(nullptr),
      m_borderStyle(nullptr),
      m_frame(nullptr),
      m_active(false),
      m_hot(-1),
      m_lastX(-1),
      m_lastY(-1),
      m_hotUnderPointer(-1),
      m_focus(false),
      m_selectionMode(0),
      m_rename(nullptr),
      m_modified(0) {}

MenuObject::~MenuObject() {
    if (m_rename && IsWindow(m_rename))
        DestroyWindow(m_rename);
    if (m_background)
        m_background->Release();
    if (m_separatorStyle)
        m_separatorStyle->Release();
    if (m_borderStyle)
        m_borderStyle->Release();
    if (m_font)
        m_font->Release();
    ClearItems();
    if (m_frame)
        m_frame->Release();
}

void MenuObject::ClearItems() {
    for (MenuItem* item : m_items) delete item;
    m_items.clear();
    m_selection.clear();
}

MenuItem* MenuObject::NewItem(int index) {
    MenuItem* item = new (std::nothrow) MenuItem();
    if (!item)
        return nullptr;
    if (!item->iconFill) {
        delete item;
        return nullptr;
    }
    char name[32];
    if (index < 0)
        strcpy(name, "Item");
    else
        wsprintfA(name, "Item%d", index);
    item->text = name;
    return item;
}

STDMETHODIMP MenuObject::Init(ObjectCreationRecord* record) {
    HRESULT hr = ClassBase::Init(record);
    if (FAILED(hr))
        return hr;
    if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame)
        return E_FAIL;
    m_frame->SetOwner(static_cast<II_IRender*>(this));
    AttachPart(m_frame);
    m_frame->SetOutline(FALSE);
    m_frame->SetColor(MFPART_OUTER, MFSHADE_FIRST, 0xDCDCDC);
    m_frame->SetColor(MFPART_OUTER, MFSHADE_SECOND, 0x5F5F5F);
    m_frame->SetWidth(MFPART_OUTER, 2);
    for (int i = 0; i < g_defaultItemCount; ++i) {
        MenuItem* item = NewItem(i);
        if (!item)
            return E_OUTOFMEMORY;
        item->id = m_nextId++;
        m_items.push_back(item);
    }
    m_background = CreateFillObject();
    m_separatorStyle = CreateLineStyObj();
    m_borderStyle = CreateLineStyObj();
    if (!m_background || !m_separatorStyle || !m_borderStyle || FAILED(CreateFontObject(&m_font)) ||
        !m_font)
        return E_OUTOFMEMORY;
    m_background->SetFillType(FILL_SOLID);
    m_background->SetMode(FILLMODE_FILL);
    void* params = nullptr;
    if (SUCCEEDED(m_background->GetFillParams(&params)) && params)
        static_cast<ISolidFillParams*>(params)->SetColor(0xD2D2D2);
    m_separatorStyle->SetColor(m_separatorColor);
    m_borderStyle->SetLineType(0);
    m_borderStyle->SetColor(0);
    m_font->SetVertAlign(1);
    m_font->SetWordWrap(0);
    DWORD typeId = record->pRecord ? record->pRecord->dwTypeId : 0;
    m_vertical = typeId == 0x04010002;
    m_textWidth = 100;
    m_iconWidth = 30;
    m_itemHeight = 30;
    return S_OK;
}

HRESULT MenuObject::LoadAttachedPart(ITeskStream* stream) {
    if (!m_frame)
        return ClassBase::LoadAttachedPart(stream);
    return m_frame->Load(stream);
}

// ---- dispatch members ----

// The value's truth decides whether anything changes; its low bit is what
// is stored.
HRESULT MenuObject::PutFlag(LONG bit, LONG v) {
    if ((v != 0) == ((m_flags & bit) != 0))
        return S_OK;
    m_flags = (v & 1) ? (m_flags | bit) : (m_flags & ~bit);
    Repaint();
    return S_OK;
}

HRESULT MenuObject::PutField(LONG* field, LONG v) {
    if (*field == v)
        return S_OK;
    *field = v;
    Repaint();
    return S_OK;
}

STDMETHODIMP MenuObject::get_ObjItemEnable(INT index, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = 0;
    const MenuItem* item = Item(index);
    if (!item)
        return E_INVALIDARG;
    *out = (item->flags & 1) ? -1 : 0;
    return S_OK;
}

STDMETHODIMP MenuObject::put_ObjItemEnable(INT index, LONG v) {
    if (!Item(index))
        return E_INVALIDARG;
    MenuItem* item = m_items[index];
    LONG flags = (item->flags & ~1) | (v & 1);
    if (flags != item->flags) {
        item->flags = flags;
        Repaint();
    }
    return S_OK;
}

STDMETHODIMP MenuObject::put_ObjTextAutoExpand(LONG v) {
    if ((v != 0) == ((m_flags & MENUFLAG_AUTOEXPAND) != 0))
        return S_OK;
    m_flags = (v & 1) ? (m_flags | MENUFLAG_AUTOEXPAND) : (m_flags & ~MENUFLAG_AUTOEXPAND);
    RecomputeTextWidth();
    Repaint();
    return S_OK;
}

void MenuObject::RecomputeTextWidth() {
    LONG widest = 0;
    HDC screen = ::GetDC(nullptr);
    if (screen) {
        int oldMode = SetMapMode(screen, MM_TEXT);
        for (MenuItem* item : m_items) {
            m_font->SetText(item->text.c_str());
            int w = 0;
            m_font->GetTextWidth(screen, &w);
            widest = std::max(widest, (LONG)w);
        }
        m_font->SetText(nullptr);
        SetMapMode(screen, oldMode);
        ::ReleaseDC(nullptr, screen);
    }
    if (m_flags & MENUFLAG_AUTOEXPAND) {
        if (widest != m_textWidth) {
            m_savedTextWidth = m_textWidth;
            m_textWidth = widest;
        }
    } else {
        m_textWidth = m_savedTextWidth;
    }
}

STDMETHODIMP MenuObject::put_ObjSeparatorColor(LONG v) {
    if ((COLORREF)v == m_separatorColor)
        return S_OK;
    m_separatorColor = (COLORREF)v;
    if (m_separatorStyle)
        m_separatorStyle->SetColor(m_separatorColor);
    Repaint();
    return S_OK;
}

STDMETHODIMP MenuObject::put_ObjTextAlign(LONG v) {
    if (v == m_textAlign)
        return S_OK;
    m_textAlign = v;
    if (m_font)
        m_font->SetHorzAlign((WORD)v);
    Repaint();
    return S_OK;
}

STDMETHODIMP MenuObject::get_ObjItemTextContent(INT index, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const MenuItem* item = Item(index);
    if (!item)
        return E_INVALIDARG;
    *out = BstrFromMultibyte(item->text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MenuObject::put_ObjItemTextContent(INT index, BSTR text) {
    if (!Item(index))
        return E_INVALIDARG;
    std::string ansi = MultibyteFromBstr(text);
    if (ansi == m_items[index]->text)
        return S_OK;
    m_items[index]->text = ansi;
    Repaint();
    return S_OK;
}

STDMETHODIMP MenuObject::put_ObjTextAutoWrap(LONG v) {
    if (v == m_autoWrap)
        return S_OK;
    m_autoWrap = v;
    if (m_font)
        m_font->SetWordWrap(v);
    Repaint();
    return S_OK;
}

// ---- private operations ----

STDMETHODIMP MenuObject::GetItemID(INT index, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = 0;
    const MenuItem* item = Item(index);
    if (!item)
        return E_INVALIDARG;
    *out = item->id;
    return S_OK;
}

STDMETHODIMP MenuObject::GetPicStyleName(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (m_picStyle < 0 || m_picStyle > MENU_PICSTYLE_RIGHT)
        return E_FAIL;
    char text[128] = {};
    LoadResString(MENU_PICSTYLE_NAMES + m_picStyle, text, sizeof(text));
    *out = BstrFromMultibyte(std::string(text));
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP MenuObject::GetBackgroundFill(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_background;
    if (m_background)
        m_background->AddRef();
    return m_background ? S_OK : E_FAIL;
}

STDMETHODIMP MenuObject::GetSeparatorLineStyle(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_separatorStyle;
    if (m_separatorStyle)
        m_separatorStyle->AddRef();
    return m_separatorStyle ? S_OK : E_FAIL;
}

STDMETHODIMP MenuObject::GetFont(FontObject** out) {
    if (!out)
        return E_POINTER;
    *out = m_font;
    return m_font ? S_OK : E_FAIL;
}

STDMETHODIMP MenuObject::GetDefaultItemCount(LONG* out) {
    return Get(out, g_defaultItemCount);
}

STDMETHODIMP MenuObject::SetDefaultItemCount(LONG n) {
    g_defaultItemCount = n;
    return S_OK;
}

STDMETHODIMP MenuObject::CreateSwatch(LONG width, LONG height, IPixelBuffer** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (width <= 0 || height <= 0)
        return 1;
    IPixelBuffer* b = CreateSiteBuffer(width, height, ClassSite());
    if (!b)
        return 1;
    RECT r = {0, 0, width, height};
    b->FillRect(&r, m_textColor);
    *out = b;
    return S_OK;
}

// ---- layout ----

LONG MenuObject::ItemWidth() const {
    return m_textWidth + (m_picStyle != MENU_PICSTYLE_NONE ? m_iconWidth : 0);
}

RECT MenuObject::MenuArea() {
    RECT r = {};
    GetTransformedBounds(&r);
    const LONG n = ItemCount();
    const LONG columns = m_vertical ? 1 : n, rows = m_vertical ? n : 1;
    const long long w = (long long)columns * ItemWidth(), h = (long long)rows * m_itemHeight;
    if (w < r.right - r.left)
        r.right = r.left + (LONG)std::max(w, 0LL);
    if (h < r.bottom - r.top)
        r.bottom = r.top + (LONG)std::max(h, 0LL);
    return r;
}

void MenuObject::LayOutItems(const RECT& area) {
    const LONG T = m_textWidth, P = m_picStyle != MENU_PICSTYLE_NONE ? m_iconWidth : 0;
    const LONG W = T + P, H = m_itemHeight;
    const RECT whole = {0, 0, area.right - area.left, area.bottom - area.top};
    for (int i = 0; i < ItemCount(); ++i) {
        MenuItem* item = m_items[i];
        item->iconCell = kEmpty;
        if (m_vertical) {
            const LONG top = i * H, bottom = top + H;
            item->textCell = {0, top, T, bottom};
            if (m_picStyle == MENU_PICSTYLE_LEFT && P > 0) {
                item->iconCell = {0, top, P, bottom};
                item->textCell = {P, top, W, bottom};
            } else if (m_picStyle == MENU_PICSTYLE_RIGHT && P > 0) {
                item->iconCell = {T, top, W, bottom};
            }
        } else {
            const LONG left = i * W;
            item->textCell = {left, 0, left + W, H};
            if (m_picStyle == MENU_PICSTYLE_LEFT && P > 0) {
                item->iconCell = {left, 0, left + P, H};
                item->textCell = {left + P, 0, left + P + T, H};
            } else if (m_picStyle == MENU_PICSTYLE_RIGHT) {
                item->textCell = {left, 0, left + T, H};
                if (P > 0)
                    item->iconCell = {left + T, 0, left + T + P, H};
            }
        }
        if (!IntersectRect(&item->clippedText, &item->textCell, &whole))
            item->clippedText = kEmpty;
        if (!IntersectRect(&item->clippedIcon, &item->iconCell, &whole))
            item->clippedIcon = kEmpty;
        item->insetIcon = kEmpty;
        if (!IsRectEmpty(&item->clippedIcon)) {
            RECT r = item->clippedIcon;
            InflateRect(&r, -(r.right - r.left) / 10, -(r.bottom - r.top) / 10);
            item->insetIcon = r;
        }
        item->area = area;
    }
}

RECT MenuObject::LaidOutArea() {
    RECT area = MenuArea();
    LayOutItems(area);
    return area;
}

int MenuObject::ItemAt(LONG x, LONG y) {
    RECT b = {};
    GetTransformedBounds(&b);
    if (!Inside(b, x, y))
        return -1;
    x -= b.left;
    y -= b.top;
    const LONG W = ItemWidth(), H = m_itemHeight;
    long long index = -1;
    if (m_vertical) {
        if (x < 0 || x > W || H <= 0)
            return -1;
        index = y / H;
    } else {
        if (y < 0 || y > H || W <= 0)
            return -1;
        index = x / W;
    }
    return index >= 0 && index < ItemCount() ? (int)index : -1;
}

// ---- drawing ----

void MenuObject::DrawItem(HDC dc, IPixelBuffer* target, const RECT& area, const MenuItem& item,
                          COLORREF textColor) {
    if (!IsRectEmpty(&item.clippedIcon) && !item.iconPath.empty() && item.iconFill) {
        if (IPictureFillParams* params = PictureParams(item.iconFill))
            params->SetPicturePath(item.iconPath.c_str());
        RECT r = (m_flags & MENUFLAG_PICFILL) ? item.clippedIcon : item.insetIcon;
        OffsetRect(&r, area.left, area.top);
        if (!IsRectEmpty(&r))
            item.iconFill->Render(&r, target, &r, ClassSite());
    }
    if (dc && !IsRectEmpty(&item.clippedText) && m_font) {
        RECT r = item.clippedText;
        OffsetRect(&r, area.left, area.top);
        m_font->SetColor(textColor);
        m_font->DrawStringToDC(item.text.c_str(), dc, &r);
    }
}

HRESULT MenuObject::DrawContent(IPixelBuffer* target, const RECT*) {
    if (!target)
        return 1;
    RECT area = MenuArea();
    LayOutItems(area);
    if (m_background && !IsRectEmpty(&area))
        m_background->Render(&area, target, &area, ClassSite());
    if (m_frame && !m_frame->IsHidden()) {
        WORD t = 0;
        m_frame->GetThickness(&t);
        RECT outer = area;
        InflateRect(&outer, t, t);
        m_frame->Draw(target, &outer, &outer, ClassSite());
    }
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)))
        dc = nullptr;
    IPlayerSite* site = ClassSite();
    const bool run = site && site->IsPlayer();
    COLORREF grey = 0xACACAC;
    int fillType = FILL_SOLID;
    if (m_background)
        m_background->GetFillType(&fillType);
    if (fillType == FILL_SOLID) {
        COLORREF b = SolidColor(m_background), t = m_textColor;
        grey = RGB((GetRValue(t) + GetRValue(b)) >> 1, (GetGValue(t) + GetGValue(b)) >> 1,
                   (GetBValue(t) + GetBValue(b)) >> 1);
    }
    COLORREF fontColor = 0;
    if (m_font)
        m_font->GetColor(&fontColor);
    if (dc) {
        HRGN clip = CreateRectRgn(0, 0, 0, 0);
        int had = GetClipRgn(dc, clip);
        IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
        for (MenuItem* item : m_items) {
            bool disabled = !(item->flags & 1) && run;
            DrawItem(dc, target, area, *item, disabled ? grey : m_textColor);
        }
        // Separators after every item but the last.
        if ((m_flags & MENUFLAG_SEPARATOR) && ItemCount() >= 2 && m_separatorStyle) {
            for (int i = 0; i + 1 < ItemCount(); ++i) {
                const MenuItem* item = m_items[i];
                POINT p[2];
                if (m_vertical) {
                    RECT cell = item->textCell;
                    UnionRect(&cell, &cell, &item->iconCell);
                    p[0] = {area.left + cell.left + 1, area.top + cell.bottom};
                    p[1] = {area.left + cell.right - 1, area.top + cell.bottom};
                } else {
                    const RECT& last =
                        m_picStyle == MENU_PICSTYLE_RIGHT && !IsRectEmpty(&item->iconCell)
                            ? item->iconCell
                            : item->textCell;
                    p[0] = {area.left + last.right, area.top + last.top + 1};
                    p[1] = {area.left + last.right, area.top + last.bottom - 1};
                }
                m_separatorStyle->Draw(dc, SHAPE_LINE, p, 2, 0, 0);
            }
        }
        const MenuItem* hot = Item(m_hot);
        if (m_focus && ItemCount() > 0) {
            if (hot) {
                RECT r = hot->textCell;
                UnionRect(&r, &r, &hot->iconCell);
                OffsetRect(&r, area.left, area.top);
                InvertFrame(dc, r);
            }
            if (!run)
                for (int i : m_selection)
                    if (i != m_hot && Item(i)) {
                        RECT r = m_items[i]->textCell;
                        UnionRect(&r, &r, &m_items[i]->iconCell);
                        OffsetRect(&r, area.left, area.top);
                        InflateRect(&r, -2, -2);
                        Invert(dc, r);
                    }
        } else if (m_active && hot && (hot->flags & 1)) {
            RECT r = hot->textCell;
            UnionRect(&r, &r, &hot->iconCell);
            OffsetRect(&r, area.left, area.top);
            if (m_flags & MENUFLAG_INVERT) {
                Invert(dc, r);
            } else {
                SetBkColor(dc, m_hotBack);
                ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
                DrawItem(dc, target, area, *hot, m_hotText);
            }
        }
        SelectClipRgn(dc, had == 1 ? clip : nullptr);
        DeleteObject(clip);
        target->ReleaseDC(dc);
    }
    if (m_font)
        m_font->SetColor(fontColor);
    return S_OK;
}

STDMETHODIMP MenuObject::InvalidateBounds(IPixelBuffer* target) {
    if (!target)
        return E_POINTER;
    RECT bounds;
    GetBoundsRect(&bounds);
    return DrawContent(target, &bounds);
}

STDMETHODIMP_(int) MenuObject::HitTestPoint(LONG x, LONG y) {
    RECT area = MenuArea();
    return Inside(area, x, y) ? 0 : 1;
}

STDMETHODIMP_(int) MenuObject::TestRegion(HRGN region) {
    if (IsVisible() != 0)
        return 1;
    if (region) {
        RECT area = MenuArea();
        WORD t = 0;
        if (m_frame)
            m_frame->GetThickness(&t);
        InflateRect(&area, t, t);
        HRGN add = CreateRectRgnIndirect(&area);
        CombineRgn(region, region, add, RGN_OR);
        DeleteObject(add);
    }
    return IsVisible();
}

STDMETHODIMP MenuObject::CollectFiles(IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    CollectFillFiles(m_background, collector);
    for (MenuItem* item : m_items) {
        if (!item->iconPath.empty())
            if (IPictureFillParams* params = PictureParams(item->iconFill))
                params->SetPicturePath(item->iconPath.c_str());
        CollectFillFiles(item->iconFill, collector);
    }
    return ClassBase::CollectFiles(collector);
}

STDMETHODIMP MenuObject::BeforeExit() {
    m_active = false;
    m_focus = false;
    m_selectionMode = 0;
    m_rename = nullptr;
    m_lastX = m_lastY = -1;
    m_hotUnderPointer = -1;
    m_hot = -1;
    return S_OK;
}

// ---- pointer at run time ----

void MenuObject::FireItem(LONG id) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_INT;
    V_INT(&v) = id;
    EventProcHolder::ResetArgs(2);
    EventProcHolder::PushArg(v);
    EventProcHolder::PushArg(v);
    EventProcHolder::Invoke(EVT_MENUITEM);
}

void MenuObject::Pointer(DWORD id, LONG x, LONG y) {
    switch (id) {
        case EVT_MOUSEENTER:
        case EVT_MOUSEMOVE:
        case EVT_MOUSEHOVER: {
            RECT area = MenuArea();
            int i = Inside(area, x, y) ? ItemAt(x, y) : -1;
            if (i >= 0) {
                m_hot = i;
                m_selection.assign(1, i);
                m_active = true;
            }
            Repaint();
            break;
        }
        case EVT_MOUSELEAVE:
            m_active = false;
            Repaint();
            break;
        case EVT_LBUTTONDOWN:
            m_active = true;
            break;
        case EVT_LBUTTONUP:
            m_active = true;
            if (const MenuItem* hot = Item(m_hot))
                FireItem(hot->id);
            break;
    }
}

STDMETHODIMP MenuObject::FireEvent(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) {
    switch (id) {
        case EVT_LBUTTONDOWN:
        case EVT_LBUTTONUP:
        case EVT_MOUSEENTER:
        case EVT_MOUSELEAVE:
        case EVT_MOUSEMOVE:
        case EVT_MOUSEHOVER:
            Pointer(id, (SHORT)LOWORD((DWORD)arg2), (SHORT)HIWORD((DWORD)arg2));
            break;
    }
    return ClassBase::FireEvent(id, arg1, arg2, prev);
}

// ---- design time ----

STDMETHODIMP MenuObject::BeginHook(void*) {
    m_focus = true;
    m_selectionMode = 0;
    Repaint();
    return S_OK;
}

STDMETHODIMP MenuObject::FocusLost() {
    EndRename();
    m_focus = false;
    Repaint();
    return S_OK;
}

void MenuObject::StartRename(int index) {
    const MenuItem* item = Item(index);
    IPlayerSite* site = ClassSite();
    HWND parent = site ? site->GetViewWindow() : nullptr;
    if (!item || !parent)
        return;
    RECT area = LaidOutArea();
    RECT r = item->textCell;
    OffsetRect(&r, area.left, area.top);
    HDC dc = ::GetDC(parent);
    if (dc) {
        LPtoDP(dc, reinterpret_cast<POINT*>(&r), 2);
        ::ReleaseDC(parent, dc);
    }
    m_rename = CreateWindowExA(0, "EDIT", item->text.c_str(),
                               WS_CHILD | WS_BORDER | ES_WANTRETURN | ES_AUTOHSCROLL, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, parent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    if (!m_rename)
        return;
    SetWindowPos(m_rename, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(m_rename, SW_SHOW);
    SetFocus(m_rename);
    m_hot = index;
}

void MenuObject::EndRename() {
    if (!m_rename)
        return;
    HWND w = m_rename;
    m_rename = nullptr;
    int n = GetWindowTextLengthA(w);
    std::string text(n + 1, '\0');
    GetWindowTextA(w, &text[0], n + 1);
    text.resize(strlen(text.c_str()));
    DestroyWindow(w);
    MenuItem* item = m_hot >= 0 && m_hot < ItemCount() ? m_items[m_hot] : nullptr;
    if (!item || item->text == text)
        return;
    item->text = text;
    m_modified = 1;
    if (m_flags & MENUFLAG_AUTOEXPAND)
        RecomputeTextWidth();
    Repaint();
}

void MenuObject::MoveSelection(UINT key, bool withItems) {
    if (m_selection.empty())
        return;
    std::sort(m_selection.begin(), m_selection.end());
    const int n = ItemCount(), first = m_selection.front(), last = m_selection.back();
    int delta = 0;
    switch (key) {
        case VK_PRIOR:
        case VK_HOME:
            delta = -first;
            break;
        case VK_NEXT:
        case VK_END:
            delta = n - 1 - last;
            break;
        case VK_LEFT:
            delta = m_vertical ? 0 : -1;
            break;
        case VK_UP:
            delta = m_vertical ? -1 : 0;
            break;
        case VK_RIGHT:
            delta = m_vertical ? 0 : 1;
            break;
        case VK_DOWN:
            delta = m_vertical ? 1 : 0;
            break;
    }
    if (first + delta < 0 || last + delta > n - 1 || delta == 0)
        return;
    if (withItems) {
        // The selected items move together, keeping their order; the others
        // close up around them.
        std::vector<MenuItem*> chosen, rest;
        for (int i = 0; i < n; ++i)
            (std::binary_search(m_selection.begin(), m_selection.end(), i) ? chosen : rest)
                .push_back(m_items[i]);
        const int at = first + delta;
        std::vector<MenuItem*> order(rest.begin(),
                                     rest.begin() + std::min<size_t>(at, rest.size()));
        order.insert(order.end(), chosen.begin(), chosen.end());
        order.insert(order.end(), rest.begin() + std::min<size_t>(at, rest.size()), rest.end());
        m_items = order;
        for (size_t k = 0; k < m_selection.size(); ++k) m_selection[k] = at + (int)k;
    } else {
        for (int& i : m_selection) i += delta;
    }
    if (m_hot >= 0)
        m_hot = std::min(std::max(m_hot + delta, 0L), (LONG)n - 1);
    Repaint();
}

STDMETHODIMP MenuObject::HandleMessage(HWND, HDC dc, UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT*) {
    TRACE_POINT();
    POINT pt = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    switch (message) {
        case WM_MOUSEMOVE:
            if (!(wParam & MK_LBUTTON) && m_selectionMode) {
                m_selectionMode = 0;
                Repaint();
            }
            return 0;
        case WM_LBUTTONDOWN: {
            EndRename();
            if (dc)
                DPtoLP(dc, &pt, 1);
            m_lastX = pt.x;
            m_lastY = pt.y;
            RECT b = {};
            GetTransformedBounds(&b);
            if (!Inside(b, pt.x, pt.y)) {
                m_hotUnderPointer = -1;
                m_hot = -1;
                m_selection.clear();
                Repaint();
                return 0;
            }
            int i = ItemAt(pt.x, pt.y);
            m_hotUnderPointer = i;
            if (i < 0) {
                Repaint();
                return 0;
            }
            if ((wParam & MK_CONTROL) && m_hot >= 0) {
                m_selection.clear();
                for (int k = std::min<int>(m_hot, i); k <= std::max<int>(m_hot, i); ++k)
                    m_selection.push_back(k);
            } else if (wParam & MK_SHIFT) {
                auto it = std::find(m_selection.begin(), m_selection.end(), i);
                if (it == m_selection.end())
                    m_selection.push_back(i);
                else
                    m_selection.erase(it);
            } else if (i == m_hot) {
                m_selection.assign(1, i);
                RECT area = LaidOutArea();
                RECT text = m_items[i]->clippedText;
                OffsetRect(&text, area.left, area.top);
                if (Inside(text, pt.x, pt.y))
                    StartRename(i);
            } else {
                m_hot = i;
                m_selection.assign(1, i);
                m_selectionMode = 4;
            }
            Repaint();
            return 0;
        }
        case WM_LBUTTONDBLCLK: {
            EndRename();
            if (dc)
                DPtoLP(dc, &pt, 1);
            int i = ItemAt(pt.x, pt.y);
            if (i >= 0) {
                m_hot = i;
                m_selection.assign(1, i);
                RECT area = LaidOutArea();
                RECT text = m_items[i]->clippedText;
                OffsetRect(&text, area.left, area.top);
                if (Inside(text, pt.x, pt.y))
                    StartRename(i);
            }
            Repaint();
            return 0;
        }
        case WM_KEYDOWN:
            if (m_selection.empty() || wParam < VK_PRIOR || wParam > VK_DOWN)
                return 1;
            MoveSelection((UINT)wParam, GetKeyState(VK_CONTROL) < 0);
            return 0;
    }
    return 1;
}

// ---- the record ----

STDMETHODIMP MenuObject::LoadExtension(ITeskStream* stream) {
    LONG v[12];
    if (!stream || !StreamHas(stream, sizeof(v))) {
        LOG_MSG("Menu record: cut short");
        return E_FAIL;
    }
    stream->Read(v, sizeof(v));
    FillObject* background = CreateFillObject();
    LineStyleObject* border = CreateLineStyObj();
    LineStyleObject* separator = CreateLineStyObj();
    FontObject* font = nullptr;
    CreateFontObject(&font);
    std::vector<MenuItem*> items;
    auto drop = [&](HRESULT hr) {
        if (background)
            background->Release();
        if (border)
            border->Release();
        if (separator)
            separator->Release();
        if (font)
            font->Release();
        for (MenuItem* item : items) delete item;
        return hr;
    };
    if (!background || !border || !separator || !font)
        return drop(E_OUTOFMEMORY);
    if (FAILED(background->Load(stream)) || FAILED(border->Load(stream)) ||
        FAILED(separator->Load(stream)) || FAILED(font->Load(stream)))
        return drop(E_FAIL);
    LONG n = 0;
    if (!StreamReadValue(stream, &n) || (n > 0 && !StreamHas(stream, kItemHead * (ULONGLONG)n))) {
        LOG_MSG("Menu record: %ld items beyond the stream", (long)n);
        return drop(E_FAIL);
    }
    for (LONG i = 0; i < n; ++i) {
        MenuItem* item = NewItem(-1);
        if (!item)
            return drop(E_OUTOFMEMORY);
        items.push_back(item);
        if (FAILED(item->Load(stream))) {
            LOG_MSG("Menu record: item %ld cut short", (long)i);
            return drop(E_FAIL);
        }
    }
    m_flags = v[1];
    m_hotBack = (COLORREF)v[2];
    m_hotText = (COLORREF)v[3];
    m_separatorColor = (COLORREF)v[4];
    m_textColor = (COLORREF)v[5];
    m_picStyle = v[6];
    m_textAlign = v[7];
    m_itemHeight = v[8];
    m_iconWidth = v[9];
    m_textWidth = v[10];
    m_savedTextWidth = v[11];
    std::swap(background, m_background);
    std::swap(border, m_borderStyle);
    std::swap(separator, m_separatorStyle);
    std::swap(font, m_font);
    if (n > 0) {
        ClearItems();
        m_items.swap(items);
        m_hot = -1;
    }
    return drop(S_OK);
}

STDMETHODIMP MenuObject::SaveExtension(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    LONG v[12] = {0,
                  m_flags,
                  (LONG)m_hotBack,
                  (LONG)m_hotText,
                  (LONG)m_separatorColor,
                  (LONG)m_textColor,
                  m_picStyle,
                  m_textAlign,
                  m_itemHeight,
                  m_iconWidth,
                  m_textWidth,
                  m_savedTextWidth};
    stream->Write(v, sizeof(v));
    m_background->Save(stream);
    m_borderStyle->Save(stream);
    m_separatorStyle->Save(stream);
    m_font->Save(stream);
    StreamWriteValue<LONG>(stream, ItemCount());
    for (const MenuItem* item : m_items) item->Save(stream);
    return S_OK;
}

HRESULT CreateMenuObject(IUnknown** out) {
    return CreateObjectOfClass<MenuObject>(out);
}
