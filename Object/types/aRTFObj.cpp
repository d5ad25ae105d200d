// The RTF object: its document (from the record, a media item or a field),
// layout in twips and drawing.
#include "aRTFObj.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "aUtil.h"
#include "bByteReader.h"
#include "bMediaManager.h"
#include "bStrConv.h"
#include "bTextCut.h"
#include "rtfParse.h"

namespace {

enum { STRING_ROW_SCROLL = 22002 };
enum { MEDIA_NAME_CHARS = 260, SPARE_TEXT_BYTES = 40 };
enum ElementKind { ELEM_CHAR, ELEM_BLANK, ELEM_TAB, ELEM_DBCS, ELEM_PICTURE };

int ScreenDpi(int index) {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, index) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// Twips with y pointing up: 1440 logical units an inch.
void SetTwips(HDC dc, int dpiX, int dpiY) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 1440, -1440, nullptr);
    SetViewportExtEx(dc, dpiX, dpiY, nullptr);
}

bool HasRtfExtension(const char* path) {
    const char* dot = strrchr(path, '.');
    return dot && lstrcmpiA(dot, ".rtf") == 0;
}

}  // namespace

struct RTFObject::Element {
    int offset, bytes, width;
    int height, leading, ascent, descent;
    int kind;
};

RTFObject::RTFObject()
    : m_flags(RTFFLAG_HOTWORDS | RTFFLAG_PARAFORMATS),
      m_extra(0),
      m_reserved(0),
      m_needLayout(true),
      m_layoutRect{0, 0, 0, 0},
      m_scrollPos(0),
      m_maxScroll(0),
      m_prevPos(0),
      m_hOffset(0),
      m_speed(5),
      m_dpiX(ScreenDpi(LOGPIXELSX)),
      m_dpiY(ScreenDpi(LOGPIXELSY)),
      m_hotCursor(nullptr),
      m_frame(nullptr) {
    m_codecSite.owner = this;
    memset(&m_defaultFont, 0, sizeof(m_defaultFont));
    m_defaultFont.lfHeight = -16;
    m_defaultFont.lfWeight = FW_NORMAL;
    m_defaultFont.lfCharSet = DEFAULT_CHARSET;
    strcpy(m_defaultFont.lfFaceName, "Arial");
}

RTFObject::~RTFObject() {
    RestoreCursor();
    ClearFonts();
    if (m_hotCursor)
        m_hotCursor->Release();
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
}

HRESULT RTFObject::SetUp() {
    char name[64];
    LoadResString(STRING_ROW_SCROLL, name, sizeof(name));
    AddRow(name);
    if (FAILED(CreateCursorAbility(nullptr, &m_hotCursor)) || !m_hotCursor)
        return E_FAIL;
    if (SUCCEEDED(CreateMediaFrame(&m_frame)) && m_frame) {
        m_frame->SetOwner(static_cast<II_IRender*>(this));
        AttachPart(m_frame);
    }
    return S_OK;
}

STDMETHODIMP RTFObject::CodecSite::GetCodecManager(PictureCodecManager** manager) {
    if (!manager)
        return E_POINTER;
    *manager = nullptr;
    IPlayerSite* site = owner->ClassSite();
    void* codecs = nullptr;
    if (!site || FAILED(site->GetCodecManager(&codecs)) || !codecs)
        return E_FAIL;
    *manager = static_cast<PictureCodecManager*>(codecs);
    return S_OK;
}

// ---- the document ----

void RTFObject::FreeDocument() {
    m_doc.Clear();
    ClearFonts();
    m_scrollPos = m_prevPos = 0;
    m_maxScroll = 0;
    RequestLayout();
}

void RTFObject::RequestLayout() {
    m_needLayout = true;
}

void RTFObject::ClearFonts() {
    for (RunFontEntry& f : m_fonts) DeleteObject(f.font);
    m_fonts.clear();
}

RTFObject::RunFontEntry* RTFObject::FontEntry(const StrInfo& run, bool halve, bool pixels) {
    // Keyed by what the font depends on, so that drawing builds no LOGFONT.
    const RtfCharFormat& f = run.format;
    int index = -2;
    if ((f.itemKind & RTFITEM_MASK) != RTFITEM_PICTURE && f.charClass != RTFCLASS_PICTURE) {
        index = f.font;
        if (f.charClass == RTFCLASS_LOW && (f.setFlags & RTFSET_LOWFONT))
            index = f.lowFont;
        else if (f.charClass == RTFCLASS_HIGH && (f.setFlags & RTFSET_HIGHFONT))
            index = f.highFont;
        else if (f.charClass == RTFCLASS_DBCS && (f.setFlags & RTFSET_DBCSFONT))
            index = f.dbcsFont;
        if (index < 0 || index >= (int)m_doc.fonts.size())
            index = 0;
    }
    const int key[5] = {index, f.size, f.style & 0x0F, halve ? 1 : 0, pixels ? 1 : 0};
    for (RunFontEntry& e : m_fonts)
        if (memcmp(e.key, key, sizeof(key)) == 0)
            return &e;
    LOGFONTA lf;
    RtfRunLogFont(run, m_doc.fonts, m_defaultFont, &lf);
    if (pixels)
        lf.lfHeight = MulDiv(lf.lfHeight, m_dpiY, 1440);
    if (halve)
        lf.lfHeight /= 2;
    RunFontEntry e = {};
    memcpy(e.key, key, sizeof(key));
    e.font = CreateFontIndirectA(&lf);
    if (!e.font)
        return nullptr;
    try {
        m_fonts.push_back(e);
    } catch (const std::bad_alloc&) {
        DeleteObject(e.font);
        return nullptr;
    }
    return &m_fonts.back();
}

HFONT RTFObject::RunFont(const StrInfo& run, bool halve) {
    RunFontEntry* e = FontEntry(run, halve, false);
    return e ? e->font : nullptr;
}

const INT* RTFObject::Widths(HDC dc, RunFontEntry* e) {
    // The font is selected into dc.
    if (!e->widthsKnown) {
        if (!GetCharWidth32A(dc, 0, 255, e->widths))
            memset(e->widths, 0, sizeof(e->widths));
        e->widthsKnown = true;
    }
    return e->widths;
}

HRESULT RTFObject::LoadDocument(const void* bytes, DWORD count, const char* fileName) {
    FreeDocument();
    const char* text = static_cast<const char*>(bytes);
    if (!text)
        count = 0;
    if (fileName && HasRtfExtension(fileName)) {
        CRtfParser parser;
        parser.SetSite(ClassSite());
        parser.SetText(text, count);
        parser.SetTables(&m_doc.fonts, &m_doc.colors, &m_doc.pictures, &m_doc.hotWords);
        int n = 0;
        if (!parser.Run(&m_doc.first, &n))
            return E_FAIL;
        m_doc.paragraphCount = n;
    } else if (!PlainText(text, count)) {
        return E_OUTOFMEMORY;
    }
    RequestLayout();
    return S_OK;
}

bool RTFObject::PlainText(const char* bytes, DWORD count) {
    RtfFontEntry font = {};
    font.charset = m_defaultFont.lfCharSet;
    font.pitchFamily = m_defaultFont.lfPitchAndFamily;
    MbCopyCutN(font.face, sizeof(font.face), m_defaultFont.lfFaceName,
               strnlen(m_defaultFont.lfFaceName, LF_FACESIZE));
    StrInfo base = {};
    base.format.Reset();
    int points = FontHeightToPoints(m_defaultFont.lfHeight);
    base.format.size = (int16_t)(points * 2);
    if (m_defaultFont.lfWeight >= FW_BOLD)
        base.format.style |= RTFSTYLE_BOLD;
    if (m_defaultFont.lfItalic)
        base.format.style |= RTFSTYLE_ITALIC;
    if (m_defaultFont.lfUnderline)
        base.format.style |= RTFSTYLE_UNDERLINE;
    if (m_defaultFont.lfStrikeOut)
        base.format.style |= RTFSTYLE_STRIKE;
    try {
        m_doc.fonts.push_back(font);
        m_doc.colors.push_back(0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    RtfParagraph* last = nullptr;
    auto newParagraph = [&]() -> RtfParagraph* {
        RtfParagraph* p = new (std::nothrow) RtfParagraph();
        if (!p)
            return nullptr;
        if (last)
            last->next = p, p->prev = last;
        else
            m_doc.first = p;
        last = p;
        ++m_doc.paragraphCount;
        return p;
    };
    RtfParagraph* para = newParagraph();
    if (!para)
        return false;
    for (DWORD i = 0; i < count;) {
        BYTE b = (BYTE)bytes[i];
        if (b == '\r' || b == '\n') {
            // CR LF, CR or LF ends the paragraph.
            i += (b == '\r' && i + 1 < count && bytes[i + 1] == '\n') ? 2 : 1;
            if (!(para = newParagraph()))
                return false;
            continue;
        }
        int cls = b == '\t' ? RTFCLASS_TAB : b < 0x80 ? RTFCLASS_LOW : RTFCLASS_DBCS;
        int n = (cls == RTFCLASS_DBCS && i + 1 < count && MbIsLeadByte(b)) ? 2 : 1;
        if (cls == RTFCLASS_DBCS && n == 1)
            cls = RTFCLASS_HIGH;
        StrInfo* run = para->runs.Last();
        if (!run || run->format.charClass != cls || cls == RTFCLASS_TAB) {
            StrInfo fresh = base;
            fresh.format.charClass = (int16_t)cls;
            if (!para->runs.Append(fresh))
                return false;
            run = para->runs.Last();
        }
        if (!para->text.Append(bytes + i, n))
            return false;
        run->length += n;
        i += n;
    }
    return true;
}

// ---- layout ----

void RTFObject::UpdateRect(const RECT& device, int dpiX, int dpiY) {
    if (dpiX != m_dpiX || dpiY != m_dpiY) {
        // Widths are kept in twips of one resolution.
        ClearFonts();
        for (RtfParagraph* p = m_doc.first; p; p = p->next) p->flags &= ~RTFPARA_LAIDOUT;
        RequestLayout();
    }
    m_dpiX = dpiX;
    m_dpiY = dpiY;
    RECT twips = {MulDiv(device.left, 1440, dpiX), -MulDiv(device.top, 1440, dpiY),
                  MulDiv(device.right, 1440, dpiX), -MulDiv(device.bottom, 1440, dpiY)};
    if (EqualRect(&twips, &m_layoutRect))
        return;
    bool resized = twips.right - twips.left != m_layoutRect.right - m_layoutRect.left;
    m_layoutRect = twips;
    if (resized) {
        for (RtfParagraph* p = m_doc.first; p; p = p->next) p->flags &= ~RTFPARA_LAIDOUT;
        RequestLayout();
    }
}

void RTFObject::Measure(HDC dc, const RtfParagraph& para, std::vector<Element>* out) {
    const char* text = para.text.Data();
    int offset = 0;
    for (int r = 0; r < para.runs.Count(); ++r) {
        const StrInfo& run = para.runs[r];
        int length = std::min(run.length, para.text.Length() - offset);
        if (length <= 0)
            continue;
        const RtfCharFormat& f = run.format;
        if (f.charClass == RTFCLASS_PICTURE) {
            const RtfPicture* p = m_doc.pictures.At(f.picture);
            int h = p ? p->shownHeight : 0;
            out->push_back({offset, length, (p ? p->shownWidth : 0) + f.spacing, h, h / 7,
                            h * 6 / 7, h / 7, ELEM_PICTURE});
            offset += length;
            continue;
        }
        RunFontEntry* entry =
            FontEntry(run, (f.style & (RTFSTYLE_SUB | RTFSTYLE_SUPER)) != 0, false);
        HGDIOBJ old = entry ? SelectObject(dc, entry->font) : nullptr;
        TEXTMETRICA tm = {};
        GetTextMetricsA(dc, &tm);
        Element e = {0,
                     1,
                     0,
                     (int)tm.tmHeight,
                     (int)tm.tmExternalLeading,
                     (int)tm.tmAscent,
                     (int)tm.tmDescent,
                     ELEM_CHAR};
        if (f.charClass == RTFCLASS_TAB) {
            for (int i = 0; i < length; ++i) {
                e.offset = offset + i;
                e.width = para.format.tabWidth + f.spacing;
                e.kind = ELEM_TAB;
                out->push_back(e);
            }
        } else if (f.charClass == RTFCLASS_DBCS) {
            for (int i = 0; i < length; i += 2) {
                e.offset = offset + i;
                e.bytes = std::min(2, length - i);
                SIZE size = {};
                GetTextExtentPoint32A(dc, text + offset + i, e.bytes, &size);
                e.width = size.cx + f.spacing;
                e.kind = ELEM_DBCS;
                out->push_back(e);
            }
        } else {
            static const INT none[256] = {};
            const INT* widths = entry ? Widths(dc, entry) : none;
            for (int i = 0; i < length; ++i) {
                BYTE b = (BYTE)text[offset + i];
                e.offset = offset + i;
                e.width = widths[b] + f.spacing;
                e.kind = b == ' ' ? ELEM_BLANK : ELEM_CHAR;
                out->push_back(e);
            }
        }
        if (old)
            SelectObject(dc, old);
        offset += length;
    }
}

void RTFObject::LayoutParagraph(HDC dc, RtfParagraph* para, int width) {
    para->lines.clear();
    std::vector<Element> els;
    Measure(dc, *para, &els);
    const RtfParaFormat& f = para->format;
    auto spacing = [&f](RtfLine* line) {
        if (f.lineSpacing < 0)
            line->height = -f.lineSpacing;
        else if (f.lineSpacing > 0)
            line->height = std::max<int32_t>(line->height, f.lineSpacing);
    };
    size_t n = els.size(), start = 0;
    bool first = true;
    while (start < n || first) {
        RtfLine line = {};
        line.flags = 1;
        line.x = f.leftIndent + (first ? f.firstIndent : 0);
        line.availableWidth = (width - f.rightIndent) - line.x;
        line.firstByte = start < n ? els[start].offset : para->text.Length();
        // Where the line ends: an element past the width moves to the next
        // line, a word with it when the line holds a place to break.
        size_t end = start, lastBreak = start;
        long long used = 0;
        int chars = 0;
        for (size_t j = start; j < n; ++j) {
            const Element& e = els[j];
            if (e.kind != ELEM_BLANK && chars >= 2 && used + e.width > line.availableWidth) {
                end = (e.kind == ELEM_CHAR && lastBreak > start) ? lastBreak : j;
                break;
            }
            used += e.width;
            ++chars;
            if (e.kind != ELEM_CHAR)
                lastBreak = j + 1;
            end = j + 1;
        }
        const Element* tallest = nullptr;
        for (size_t j = start; j < end; ++j) {
            const Element& e = els[j];
            line.usedWidth += e.width;
            line.characters++;
            line.bytes += e.bytes;
            if (!tallest || e.height > tallest->height)
                tallest = &e;
        }
        if (line.usedWidth > line.availableWidth)
            line.usedWidth = line.availableWidth;  // one element wider than the line
        if (tallest) {
            line.height = tallest->height;
            line.leading = tallest->leading;
            line.ascent = tallest->ascent;
            line.descent = tallest->descent;
        } else {
            // An empty paragraph: one line of its font.
            StrInfo run = {};
            if (para->runs.Count())
                run = para->runs[0];
            else
                run.format.Reset();
            HFONT font = RunFont(run, false);
            HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
            TEXTMETRICA tm = {};
            GetTextMetricsA(dc, &tm);
            if (old)
                SelectObject(dc, old);
            line.height = tm.tmHeight + tm.tmExternalLeading;
            line.ascent = tm.tmAscent;
            line.descent = tm.tmDescent;
        }
        spacing(&line);
        try {
            para->lines.push_back(line);
        } catch (const std::bad_alloc&) {
            break;
        }
        first = false;
        start = end;
    }
    if (!para->lines.empty()) {
        RtfLine& last = para->lines.back();
        if (last.usedWidth < last.availableWidth)
            last.flags &= ~1;
    }
    int height = f.spaceBefore + f.spaceAfter;
    for (RtfLine& line : para->lines) {
        int slack = line.availableWidth - line.usedWidth;
        bool spread =
            f.align == RTFALIGN_DISTRIBUTE || (f.align == RTFALIGN_JUSTIFY && (line.flags & 1));
        if (f.align == RTFALIGN_RIGHT)
            line.x += slack;
        else if (f.align == RTFALIGN_CENTER)
            line.x += slack / 2;
        else if (spread && line.characters > 1 && slack > 0) {
            line.extraSpacing = slack / (line.characters - 1);
            line.usedWidth += (line.characters - 1) * line.extraSpacing;
        }
        height += line.leading + line.height;
    }
    para->height = height;
    para->flags |= RTFPARA_LAIDOUT;
}

void RTFObject::Layout() {
    if (!m_needLayout)
        return;
    RECT bounds;
    this->GetBoundsRect(&bounds);
    if (m_frame)
        m_frame->GetInnerRect(&bounds, &bounds);
    if (m_layoutRect.right == m_layoutRect.left)
        UpdateRect(bounds, m_dpiX, m_dpiY);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return;
    SetTwips(dc, m_dpiX, m_dpiY);
    int width = m_layoutRect.right - m_layoutRect.left;
    LONG total = 0;
    for (RtfParagraph* p = m_doc.first; p; p = p->next) {
        if (!(p->flags & RTFPARA_LAIDOUT))
            LayoutParagraph(dc, p, width);
        total += p->height;
    }
    DeleteDC(dc);
    m_needLayout = false;
    m_maxScroll = total;
    m_scrollPos = std::max(0L, std::min(m_scrollPos, m_maxScroll));
    CEventSinkTable::FireEvent(0, 17);
}

// ---- drawing ----

HRESULT RTFObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    RECT inner = *rect;
    if (m_frame)
        m_frame->GetInnerRect(rect, &inner);
    if (inner.right <= inner.left || inner.bottom <= inner.top)
        return S_OK;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    UpdateRect(inner, GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
    if (m_doc.first) {
        Layout();
        int saved = SaveDC(dc);
        IntersectClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
        SetBkMode(dc, TRANSPARENT);
        SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
        // Laid out in twips, drawn in the buffer's own pixels: text in a
        // scaled mapping costs the system a transform per call.
        const LONG view = ViewHeight();
        LONG y = 0;
        bool done = false;
        for (RtfParagraph* p = m_doc.first; p && !done; p = p->next) {
            if (y + p->height <= m_scrollPos) {
                y += p->height;
                continue;
            }
            LONG ly = y + p->format.spaceBefore;
            for (const RtfLine& line : p->lines) {
                LONG lh = line.leading + line.height;
                if (ly + lh > m_scrollPos) {
                    LONG top = ly - m_scrollPos;
                    if (top > view) {
                        done = true;
                        break;
                    }
                    DrawLine(dc, *p, line, inner, top);
                }
                ly += lh;
            }
            y += p->height;
        }
        RestoreDC(dc, saved);
    }
    target->ReleaseDC(dc);
    return S_OK;
}

void RTFObject::DrawLine(HDC dc, const RtfParagraph& para, const RtfLine& line, const RECT& inner,
                         int top) {
    // Twips from the rectangle's left and the view's top, y downwards.
    auto px = [&](int x) { return inner.left + MulDiv(x, m_dpiX, 1440); };
    auto py = [&](int y) { return inner.top + MulDiv(y, m_dpiY, 1440); };
    int baseline = top + line.leading + line.ascent;
    int x = line.x;
    int lineEnd = line.firstByte + line.bytes;
    const char* text = para.text.Data();
    int colors = (int)m_doc.colors.size();
    int start = 0;
    std::vector<INT> dx;
    for (int r = 0; r < para.runs.Count() && start < lineEnd; ++r) {
        const StrInfo& run = para.runs[r];
        int from = std::max(start, line.firstByte), to = std::min(start + run.length, lineEnd);
        start += run.length;
        if (to <= from)
            continue;
        const RtfCharFormat& f = run.format;
        int n = to - from;
        if (f.charClass == RTFCLASS_PICTURE) {
            const RtfPicture* p = m_doc.pictures.At(f.picture);
            DrawPicture(dc, run, px(x), py(baseline));
            x += f.spacing + (p ? p->shownWidth : 0) + line.extraSpacing;
            continue;
        }
        if (f.charClass == RTFCLASS_TAB) {
            x += n * (para.format.tabWidth + f.spacing + line.extraSpacing);
            continue;
        }
        bool small = (f.style & (RTFSTYLE_SUB | RTFSTYLE_SUPER)) != 0;
        RunFontEntry* entry = FontEntry(run, small, true);
        if (entry)
            SelectObject(dc, entry->font);  // the caller's RestoreDC deselects
        // A colour outside the table draws black and no background.
        bool foreOk = f.foreColor >= 0 && f.foreColor < colors;
        SetTextColor(dc, foreOk ? m_doc.colors[f.foreColor] : 0);
        int y = baseline;
        if (f.style & RTFSTYLE_SUPER)
            y -= f.size * 5;
        int extra = MulDiv(f.spacing + line.extraSpacing, m_dpiX, 1440);
        int width = 0;
        bool spaced = extra != 0 || f.charClass == RTFCLASS_HIGH;
        if (spaced)
            dx.assign((size_t)n, 0);
        bool back = (f.colorFlags & RTFCOLOR_BACK) && f.backColor >= 0 && f.backColor < colors;
        int left = px(x);
        if (f.charClass == RTFCLASS_DBCS && !spaced && !back) {
            // The drawing itself says how far it went.
            SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_UPDATECP);
            MoveToEx(dc, left, py(y), nullptr);
            TextOutA(dc, 0, 0, text + from, n);
            POINT end = {left, 0};
            GetCurrentPositionEx(dc, &end);
            SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
            x += MulDiv(end.x - left, 1440, m_dpiX);
            continue;
        }
        if (f.charClass == RTFCLASS_DBCS) {
            if (!spaced) {
                SIZE size = {};
                GetTextExtentPoint32A(dc, text + from, n, &size);
                width = size.cx;
            }
            for (int i = 0; spaced && i < n; i += 2) {
                int k = std::min(2, n - i);
                SIZE size = {};
                GetTextExtentPoint32A(dc, text + from + i, k, &size);
                dx[i] = size.cx + extra;
                width += dx[i];
            }
        } else {
            static const INT none[256] = {};
            const INT* widths = entry ? Widths(dc, entry) : none;
            for (int i = 0; i < n; ++i) {
                int w = widths[(BYTE)text[from + i]] + extra;
                if (spaced)
                    dx[i] = w;
                width += w;
            }
        }
        if (back) {
            HBRUSH brush = CreateSolidBrush(m_doc.colors[f.backColor]);
            RECT box = {left, py(baseline - line.ascent), left + width,
                        py(baseline + line.descent)};
            FillRect(dc, &box, brush);
            DeleteObject(brush);
        }
        if (!spaced)
            TextOutA(dc, left, py(y), text + from, n);
        else
            ExtTextOutA(dc, left, py(y), 0, nullptr, text + from, (UINT)n, dx.data());
        x += MulDiv(width, 1440, m_dpiX);
    }
}

void RTFObject::DrawPicture(HDC dc, const StrInfo& run, int x, int baseline) {
    const RtfPicture* p = m_doc.pictures.At(run.format.picture);
    if (!p) {
        LOG_MSG("RTF PicIndex is Invalidation %d", (int)run.format.picture);
        return;
    }
    // Pixels: the box stands on the baseline.
    RECT box = {x, baseline - MulDiv(p->shownHeight, m_dpiY, 1440),
                x + MulDiv(p->shownWidth, m_dpiX, 1440), baseline};
    if (p->kind == RTFPIC_WMF) {
        if (p->metafile && !PlayEnhMetaFile(dc, p->metafile, &box))
            LOG_MSG("PlayEnhMetaFile FAILED (%lu)", GetLastError());
        return;
    }
    if (!p->bitmap) {
        LOG_MSG("DrawRTFPic pItem is NULL");
        return;
    }
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    p->bitmap->GetBufferInfo(&info);
    HDC source = nullptr;
    if (FAILED(p->bitmap->GetDC(&source)) || !source) {
        LOG_MSG("GetDC FAILED");
        return;
    }
    // The whole picture into its box.
    SetStretchBltMode(dc, COLORONCOLOR);
    if (!StretchBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, source, 0, 0,
                    info.nWidth, info.nHeight, SRCCOPY))
        LOG_MSG("StretchBlt FAILED");
    p->bitmap->ReleaseDC(source);
}

// ---- the media, the link and the record ----

STDMETHODIMP RTFObject::SetName(const char* name) {
    FreeDocument();
    m_flags = (m_flags & ~RTFFLAG_SOURCE) | RTFSOURCE_MEDIA;
    StoreName(name ? name : "");
    return MediaName()[0] ? LoadMediaData(MediaName()) : S_OK;
}

STDMETHODIMP RTFObject::GetMediaName(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_POINTER;
    if ((m_flags & RTFFLAG_SOURCE) != RTFSOURCE_MEDIA) {
        buffer[0] = 0;
        return S_FALSE;
    }
    return MediaDataHolder::GetMediaName(buffer, size);
}

STDMETHODIMP RTFObject::TakeData(const void* bytes, DWORD count, const char* name) {
    TRACE_POINT();
    FreeDocument();
    IPlayerSite* site = ClassSite();
    IMediaManager* manager = nullptr;
    if (!site || FAILED(site->GetMediaManager(&manager)) || !manager)
        return E_FAIL;
    if (!name)
        name = "";
    int type = 0, subtype = 0;
    HRESULT hr = manager->GetMediaType(name, &type, &subtype);
    if (FAILED(hr)) {
        LOG_MSG("Get mediaType failed! (%s)", name);
        return hr;
    }
    char path[MAX_PATH] = {};
    if (FAILED(manager->GetMediaFilePath(name, 0, path, MAX_PATH)) || !path[0])
        MbCopyCut(path, sizeof(path), name);
    path[MAX_PATH - 1] = 0;
    hr = LoadDocument(bytes, count, path);
    this->InvalidateObject(nullptr);
    return hr;
}

STDMETHODIMP_(int) RTFObject::AcceptsType(const VARIANT* value) {
    return value && (value->vt & VT_ARRAY) ? 1 : 0;
}

HRESULT RTFObject::DbRefresh(int code) {
    if (code != DB_REFRESH_BIND || Linked()) {
        m_flags = (m_flags & ~RTFFLAG_SOURCE) | RTFSOURCE_DATABASE;
        HRESULT hr = DbLinkAbility::DbRefresh(code);
        if (FAILED(hr) && Linked()) {
            FreeDocument();
            this->InvalidateObject(nullptr);
        }
        return hr;
    }
    m_flags = (m_flags & ~RTFFLAG_SOURCE) | RTFSOURCE_RECORD;
    return DbLinkAbility::DbRefresh(code);
}

STDMETHODIMP RTFObject::ApplyData(BOOL mediaFlag, const char* text, const void* extra, int type) {
    FreeDocument();
    HRESULT hr = SetMedia(mediaFlag, text, extra, type > 0 ? (DWORD)type : 0);
    this->InvalidateObject(nullptr);
    return hr;
}

HRESULT RTFObject::LoadDocumentRecord(ITeskStream* stream, DWORD flags, WORD extra,
                                      RtfDocument* doc) {
    // Every count is checked against the bytes left before anything is made.
    auto count = [stream](DWORD* n, ULONGLONG each) {
        return StreamReadValue(stream, n) && StreamHas(stream, (ULONGLONG)*n * each);
    };
    DWORD n = 0;
    if (!count(&n, sizeof(RtfFontEntry)))
        return E_FAIL;
    doc->fonts.resize(n);
    for (RtfFontEntry& f : doc->fonts) {
        stream->Read(&f, sizeof(f));
        f.face[sizeof(f.face) - 1] = 0;
    }
    if (!count(&n, sizeof(COLORREF)))
        return E_FAIL;
    doc->colors.resize(n);
    if (n)
        stream->Read(doc->colors.data(), n * sizeof(COLORREF));
    if (extra & RTFEXTRA_PICTURES) {
        if (!count(&n, RTF_PICTURE_RECORD))
            return E_FAIL;
        for (DWORD i = 0; i < n; ++i) {
            BYTE record[RTF_PICTURE_RECORD];
            if (!StreamHas(stream, sizeof(record)))
                return E_FAIL;
            stream->Read(record, sizeof(record));
            CByteReader reader(record, sizeof(record));
            RtfPicture* p = doc->pictures.Append();
            if (!p || !ReadRtfPictureRecord(reader, p))
                return E_OUTOFMEMORY;
            if (!StreamHas(stream, p->dataLength)) {
                LOG_MSG("RTF record: picture %lu data beyond the stream", (unsigned long)i);
                return E_FAIL;
            }
            if (p->dataLength) {
                p->data = static_cast<BYTE*>(malloc(p->dataLength));
                if (!p->data) {
                    LOG_MSG("CRTFObject::ReadFromStream -- outofmemory");
                    return E_OUTOFMEMORY;
                }
                stream->Read(p->data, p->dataLength);
            }
            MakeRtfPicture(p, ClassSite(), &m_codecSite);
        }
    }
    DWORD paragraphs = 0;
    if (!count(&paragraphs, 8))
        return E_FAIL;
    std::vector<RtfParagraph*> list;
    RtfParagraph* last = nullptr;
    for (DWORD i = 0; i < paragraphs; ++i) {
        RtfParagraph* p = new (std::nothrow) RtfParagraph();
        if (!p) {
            LOG_MSG("CRTFObject::ReadFromStream -- outofmemory");
            return E_OUTOFMEMORY;
        }
        if (last)
            last->next = p, p->prev = last;
        else
            doc->first = p;
        last = p;
        list.push_back(p);
        ++doc->paragraphCount;
        DWORD t = 0;
        if (!count(&t, 1) || t > 0x7FFFFFF0)
            return E_FAIL;
        std::vector<char> text(t);
        if (t)
            stream->Read(text.data(), t);
        if (!p->text.Append(text.data(), (int)t)) {
            LOG_MSG("CRTFObject::ReadFromStream -- alloc char_buffer failed!");
            return E_OUTOFMEMORY;
        }
        DWORD r = 0;
        if (!count(&r, sizeof(StrInfo)))
            return E_FAIL;
        long long sum = 0;
        for (DWORD k = 0; k < r; ++k) {
            StrInfo run;
            stream->Read(&run, sizeof(run));
            if (run.length < 0) {
                LOG_MSG("RTF record: paragraph %lu has a run of negative length", (unsigned long)i);
                return E_FAIL;
            }
            sum += run.length;
            if (!p->runs.Append(run)) {
                LOG_MSG("CRTFObject::ReadFromStream -- alloc strInfo_buffer failed!");
                return E_OUTOFMEMORY;
            }
        }
        if (sum != (long long)t) {
            LOG_MSG("RTF record: runs of paragraph %lu do not cover its text", (unsigned long)i);
            return E_FAIL;
        }
        if (flags & RTFFLAG_PARAFORMATS) {
            if (!StreamHas(stream, sizeof(RtfParaFormat)))
                return E_FAIL;
            stream->Read(&p->format, sizeof(p->format));
        }
    }
    DWORD h = 0;
    if (!count(&h, 16))
        return E_FAIL;
    for (DWORD i = 0; i < h; ++i) {
        LONG v[4];
        stream->Read(v, sizeof(v));
        // paragraph number, id, length, start
        if (v[0] < 0 || (DWORD)v[0] >= paragraphs || v[2] < 0 || v[3] < 0 ||
            (long long)v[3] + v[2] > list[v[0]]->text.Length()) {
            LOG_MSG("RTF record: hot word %ld dropped", (long)v[1]);
            continue;
        }
        rtfHotWord word = {v[1], v[3], v[2], list[v[0]]};
        doc->hotWords.InsertHotWord(word);
    }
    return S_OK;
}

HRESULT RTFObject::LoadKind(ITeskStream* stream) {
    DWORD flags = 0;
    if (!StreamReadValue(stream, &flags))
        return E_FAIL;
    WORD extra = 0;
    int version = stream->GetVersion();
    if (version >= 10) {
        DWORD e = 0;
        if (!StreamReadValue(stream, &e))
            return E_FAIL;
        extra = (WORD)e;
    } else if (version == 9) {
        extra = (flags & RTFFLAG_PICTURES9) ? RTFEXTRA_PICTURES : 0;
    } else {
        flags &= 0x3F;
    }
    LONG reserved = 0;
    LOGFONTA font;
    static_assert(sizeof(LOGFONTA) == 60, "stored font");
    if (!StreamReadValue(stream, &reserved) || !StreamHas(stream, sizeof(font)))
        return E_FAIL;
    stream->Read(&font, sizeof(font));
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    HRESULT hr = m_hotCursor ? m_hotCursor->Load(stream) : E_FAIL;
    if (FAILED(hr) && hr != E_NOTIMPL)
        return E_FAIL;
    RtfDocument doc;
    char name[MEDIA_NAME_CHARS * 2 + 1] = {};
    switch (flags & RTFFLAG_SOURCE) {
        case RTFSOURCE_RECORD:
            hr = LoadDocumentRecord(stream, flags, extra, &doc);
            if (FAILED(hr))
                return hr;
            flags |= RTFFLAG_PARAFORMATS;
            break;
        case RTFSOURCE_MEDIA: {
            DWORD chars = 0;
            if (!StreamReadValue(stream, &chars) || chars > MEDIA_NAME_CHARS ||
                !StreamHas(stream, 2ULL * chars)) {
                LOG_MSG("RTF record: media name refused");
                return E_FAIL;
            }
            if (chars)
                stream->ReadWideString(name, chars);
            break;
        }
        case RTFSOURCE_DATABASE:
            if (FAILED(DbLinkAbility::Load(stream)))
                return E_FAIL;
            break;
        default:
            LOG_MSG("RTF record: source kind %lu", (unsigned long)(flags & RTFFLAG_SOURCE));
            return E_FAIL;
    }
    if (FAILED(CEventSinkTable::Load(stream)))
        return E_FAIL;
    if (flags & RTFFLAG_SPARETEXT) {
        DWORD chars = 0;
        if (!StreamReadValue(stream, &chars) || !StreamHas(stream, 2ULL * chars))
            return E_FAIL;
        if (2ULL * chars > SPARE_TEXT_BYTES) {
            LOG_MSG("RTF record: spare text of %lu characters skipped", (unsigned long)chars);
            stream->Seek(2LL * chars, TESK_SEEK_CUR);
        } else if (chars) {
            char spare[SPARE_TEXT_BYTES + 1];
            stream->ReadWideString(spare, chars);
        }
    }
    // Everything read: the object takes it.
    FreeDocument();
    m_flags = flags;
    m_extra = extra;
    m_reserved = reserved;
    m_defaultFont = font;
    std::swap(m_doc.fonts, doc.fonts);
    std::swap(m_doc.colors, doc.colors);
    m_doc.pictures.Swap(doc.pictures);
    m_doc.hotWords.Swap(doc.hotWords);
    std::swap(m_doc.first, doc.first);
    std::swap(m_doc.paragraphCount, doc.paragraphCount);
    if ((flags & RTFFLAG_SOURCE) == RTFSOURCE_MEDIA)
        StoreName(name);
    RequestLayout();
    return S_OK;
}

HRESULT CreateRTFObject(IUnknown** out) {
    return CreateObjectOfClass<RTFObject>(out);
}
