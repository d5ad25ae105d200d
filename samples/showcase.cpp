// The showcase work. Records of the value objects (fonts, fills, media
// frames, transition plug-ins) are the objects' own stored forms: each is
// made, set up and saved as an editor would; the object records around them
// are laid down field by field by the record writers.
#include "showcase.h"

#include <stdio.h>
#include <math.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "AviWriter.h"
#include "ObjectRecordWriter.h"
#include "RoutineTableWriter.h"
#include "PictureFixtures.h"
#include "RtfWriter.h"
#include "SoundWriter.h"
#include "aGrphMta.h"
#include "aMFrame.h"
#include "aPicObj.h"
#include "aTxtObj.h"
#include "aStorage.h"
#include "aTransition.h"
#include "aVecFrm.h"
#include "aUtil.h"
#include "bFillGrd.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bFillTex.h"
#include "bLinStyl.h"
#include "bdrawtxt.h"

namespace {

// Object kinds as the player's class table numbers them.
const uint32_t kGroup = 0x00F00000, kText = 0x00010000, kRtf = 0x01010000, kPicture = 0x01020000,
               kGraph = 0x01030000, kSound = 0x01040000, kVideo = 0x01050000, kMovie = 0x01060000,
               kPush = 0x02020001, kTwoValue = 0x02020002, kThreeValue = 0x02020003,
               kCheck = 0x02020004, kRadio = 0x02020005, kDrawBoard = 0x00040000,
               kMenu = 0x04010001, kGrid = 0x00020000, kScrollVert = 0x02010002,
               kProgressHorz = 0x02010103, kActiveX = 0x03010000, kVector = 0x00030000;
// The test control (samples/TestAxControl), which the run registers.
const GUID kTestAxControl = {
    0x6A1C3E23, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};
// Plug-in numbers of the built-in transitions.
enum { kMove = 1, kShape = 3, kClock = 4, kSpiral = 8, kSine = 10, kStars = 11, kShadow = 13 };

bool g_failed = false;

void Fail(const char* what) {
    fprintf(stderr, "mkwork: %s\n", what);
    g_failed = true;
}

// What a value object's Save writes.
std::string Saved(const std::function<HRESULT(ITeskStream*)>& save) {
    CComPtr<ITeskStream> s;
    if (FAILED(CreateMemStream(&s, 4096)) || !s) {
        Fail("no memory stream");
        return std::string();
    }
    s->SetMode(1);
    if (FAILED(save(s)))
        Fail("a record could not be saved");
    std::string bytes((size_t)s->GetPosition(), '\0');
    s->Seek(0, TESK_SEEK_SET);
    s->SetMode(0);
    if (!bytes.empty())
        s->Read(&bytes[0], (ULONG)bytes.size());
    return bytes;
}

std::vector<uint8_t> Vec(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Chinese text in the Chinese code page, which the work's texts use.
std::string Gbk(const wchar_t* text) {
    char out[256] = {};
    WideCharToMultiByte(936, 0, text, -1, out, sizeof(out) - 1, nullptr, nullptr);
    return out;
}

// ---- value objects ----

struct Font {
    std::string text;
    int height = 20;
    COLORREF color = 0;
    int weight = FW_BOLD;
    bool chinese = false;
};

std::string FontBytes(const Font& f) {
    CComPtr<FontObject> font;
    if (FAILED(CreateFontObject(&font)) || !font) {
        Fail("no font object");
        return std::string();
    }
    LOGFONTA lf = {};
    lf.lfHeight = -f.height;
    lf.lfWeight = f.weight;
    lf.lfCharSet = f.chinese ? GB2312_CHARSET : DEFAULT_CHARSET;
    lf.lfQuality = ANTIALIASED_QUALITY;
    lstrcpynA(lf.lfFaceName, f.chinese ? "SimSun" : "Tahoma", LF_FACESIZE);
    font->SetLogFont(&lf);
    font->SetColor(f.color);
    font->SetHorzAlign(1);
    font->SetVertAlign(1);
    font->SetText(f.text.c_str());
    return Saved([&](ITeskStream* s) { return font->Save(s); });
}

// A fill set up by `setup` on a new fill object.
std::string FillBytes(const std::function<void(FillObject*)>& setup) {
    CComPtr<FillObject> fill;
    fill.Attach(CreateFillObject());
    if (!fill) {
        Fail("no fill object");
        return std::string();
    }
    setup(fill);
    return Saved([&](ITeskStream* s) { return fill->Save(s); });
}

std::string Gradient(int type, COLORREF a, COLORREF b) {
    return FillBytes([&](FillObject* f) {
        f->SetFillType(FILL_GRADIENT);
        void* p = nullptr;
        if (SUCCEEDED(f->GetFillParams(&p)) && p) {
            IGradientFillParams* g = static_cast<IGradientFillParams*>(p);
            g->SetGradType(type);
            g->SetColor1(a);
            g->SetColor2(b);
        }
    });
}

std::string Texture(int type) {
    return FillBytes([&](FillObject* f) {
        f->SetFillType(FILL_TEXTURE);
        void* p = nullptr;
        if (SUCCEEDED(f->GetFillParams(&p)) && p)
            static_cast<ITextureFillParams*>(p)->SetTextureType(type);
    });
}

std::string PictureFill(const char* media, int mode) {
    return FillBytes([&](FillObject* f) {
        f->SetFillType(FILL_PICTURE);
        void* p = nullptr;
        if (SUCCEEDED(f->GetFillParams(&p)) && p) {
            static_cast<IPictureFillParams*>(p)->SetPictureName(media);
            static_cast<IPictureFillParams*>(p)->SetMode(mode);
        }
    });
}

std::string None() {
    return SolidFillRecord(0, FILLMODE_NONE);
}

// A transition plug-in's class identifier and record, parameters set.
std::string PluginEntry(int number, REFIID role, const std::vector<double>& params) {
    CComPtr<IUnknown> plugin;
    if (FAILED(CreateTransitionPlugin(number, role, reinterpret_cast<void**>(&plugin))) ||
        !plugin) {
        Fail("no transition plug-in");
        return std::string(16, '\0');
    }
    CComPtr<ITransitionParams> set;
    plugin->QueryInterface(__uuidof(ITransitionParams), reinterpret_cast<void**>(&set));
    for (size_t i = 0; set && i < params.size(); ++i)
        if (FAILED(set->SetParam((int)i, params[i])))
            Fail("a transition parameter was refused");
    const CLSID* id = TransitionClassId(number);
    std::string bytes(reinterpret_cast<const char*>(id), sizeof(CLSID));
    if (IsEqualIID(role, __uuidof(ITransitionMove)))
        bytes +=
            Saved([&](ITeskStream* s) { return static_cast<ITransitionMove*>(plugin.p)->Save(s); });
    else if (IsEqualIID(role, __uuidof(ITransitionRegion)))
        bytes += Saved(
            [&](ITeskStream* s) { return static_cast<ITransitionRegion*>(plugin.p)->Save(s); });
    else if (IsEqualIID(role, __uuidof(ITransitionMask)))
        bytes +=
            Saved([&](ITeskStream* s) { return static_cast<ITransitionMask*>(plugin.p)->Save(s); });
    else if (IsEqualIID(role, __uuidof(ITransitionDecor)))
        bytes += Saved(
            [&](ITeskStream* s) { return static_cast<ITransitionDecor*>(plugin.p)->Save(s); });
    else
        bytes += Saved(
            [&](ITeskStream* s) { return static_cast<ITransitionBlend*>(plugin.p)->Save(s); });
    return bytes;
}

// A page or object effect: its move, region and mask entries (empty: none).
std::string Effect(const std::string& move, const std::string& region, const std::string& mask) {
    const std::string none(16, '\0');
    return (move.empty() ? none : move) + (region.empty() ? none : region) +
           (mask.empty() ? none : mask);
}

struct Frame {
    WORD outer = 0, middle = 0, inner = 0;
    COLORREF light = 0xFFFFFF, dark = 0x404040, band = 0x30A0E0;
    bool outline = false;
    COLORREF outlineColor = 0;
    COLORREF inside = 0xFFFFFF;
};

std::string FrameBytes(const Frame& f) {
    CComPtr<IMediaFrame> frame;
    if (FAILED(CreateMediaFrame(&frame)) || !frame) {
        Fail("no media frame");
        return std::string();
    }
    frame->SetWidth(MFPART_OUTER, f.outer);
    frame->SetWidth(MFPART_MIDDLE, f.middle);
    frame->SetWidth(MFPART_INNER, f.inner);
    for (int part : {MFPART_OUTER, MFPART_INNER}) {
        frame->SetColor(part, MFSHADE_FIRST, part == MFPART_OUTER ? f.light : f.dark);
        frame->SetColor(part, MFSHADE_SECOND, part == MFPART_OUTER ? f.dark : f.light);
    }
    frame->SetColor(MFPART_MIDDLE, MFSHADE_BOTH, f.band);
    frame->SetOutline(f.outline);
    frame->SetOutlineColor(f.outlineColor);
    frame->SetShown(TRUE);
    FillObject* inside = nullptr;
    void* p = nullptr;
    if (SUCCEEDED(frame->GetFill(&inside)) && inside &&
        SUCCEEDED(inside->SetFillType(FILL_SOLID)) && SUCCEEDED(inside->GetFillParams(&p)) && p)
        static_cast<ISolidFillParams*>(p)->SetColor(f.inside);
    std::string bytes = Saved([&](ITeskStream* s) { return frame->Save(s); });
    frame->Destroy(1);
    return bytes;
}

// ---- objects ----

// Placed at its centre (x, y), w x h.
ObjectPrefix Placed(int32_t x, int32_t y, int32_t w, int32_t h) {
    ObjectPrefix p;
    p.x = x;
    p.y = y;
    p.width = w;
    p.height = h;
    return p;
}

CanvasObjectSpec Entry(uint32_t type, const std::string& name, const std::vector<uint8_t>& bytes,
                       int32_t group = -1) {
    CanvasObjectSpec o;
    o.typeId = type;
    o.name = name;
    o.group = group;
    o.record.assign(bytes.begin(), bytes.end());
    return o;
}

// An object's event lists: the stock object events in the order the player
// builds them (Timer, KeyDown, KeyUp, KeyPress, LButtonDown, LButtonUp,
// DBClick, Click, ...); only Click carries actions here.
std::vector<uint8_t> ClickLists(const std::vector<ActionSpec>& click) {
    if (click.empty())
        return {0, 0, 0, 0};
    CByteWriter w;
    w.U32(8);
    for (int i = 0; i < 4; ++i) w.U32(0);  // stock entries without sub-entries
    for (int i = 0; i < 3; ++i) w.U32(0);  // empty lists
    w.Bytes(ActionListBytes(click));
    return w.Vector();
}

struct Button {
    uint32_t type = kPush;
    std::string name;
    int32_t x = 0, y = 0, w = 200, h = 60;
    int32_t value = 0, style = 1;
    bool enabled = true, frame = false;
    COLORREF frameColor = 0;
    Font caption;
    // Per value: the fills of the normal, pressed, hot and disabled looks.
    std::vector<std::vector<std::string>> faces;
    std::string shadow;  // an image effect on every face
    std::vector<ActionSpec> click;
    int32_t group = -1;
    uint32_t align = 0;  // check boxes and radio buttons: the caption's side
    uint32_t renderFlags = 0x10;
    uint32_t abilityCount = 1;       // "_EventProc" and the records that follow
    std::vector<uint8_t> abilities;  // the static ability records
};

CanvasObjectSpec ButtonEntry(const Button& b) {
    int32_t maxValue = 0, kind = 0;
    if (b.type == kTwoValue)
        maxValue = 1;
    else if (b.type == kThreeValue)
        maxValue = 2;
    else if (b.type == kCheck)
        maxValue = 1, kind = 1;
    else if (b.type == kRadio)
        maxValue = 1, kind = 2;
    ButtonRecord rec;
    rec.value = b.value;
    rec.maxValue = maxValue;
    rec.flags = (b.enabled ? 1 : 0) | (b.frame ? 2 : 0) | (int32_t)(b.align << 2);
    rec.type = kind;
    rec.style = b.style;
    rec.frameColor = b.frameColor;
    rec.caption = Vec(FontBytes(b.caption));
    for (int v = 0; v <= maxValue; ++v)
        for (int look = 0; look < 4; ++look) {
            const std::vector<std::string>& looks =
                b.faces[std::min((size_t)v, b.faces.size() - 1)];
            CByteWriter f;
            f.Bytes(looks[std::min((size_t)look, looks.size() - 1)]);
            if (b.shadow.empty())
                f.U32(0);
            else
                f.U32(1).Bytes(b.shadow);
            rec.faces.push_back(f.Vector());
            rec.alias.push_back(-1);
        }
    ObjectPrefix p = Placed(b.x, b.y, b.w, b.h);
    p.flags = b.renderFlags;
    p.abilityCount = b.abilityCount;
    p.abilities = b.abilities;
    p.eventProc = ClickLists(b.click);
    std::vector<uint8_t> own = WriteButtonRecord(rec);
    p.eventProc.insert(p.eventProc.end(), own.begin(), own.end());
    return Entry(b.type, b.name, WriteObjectPrefix(p), b.group);
}

// A caption alone: a push button with a transparent face (or a plate) and
// no frame.
CanvasObjectSpec Label(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h,
                       const Font& font, const std::string& face = None()) {
    Button b;
    b.name = name;
    b.x = x, b.y = y, b.w = w, b.h = h;
    b.style = face == None() ? 0 : 1;
    b.caption = font;
    b.faces = {{face}};
    return ButtonEntry(b);
}

// A dark, half transparent plate that keeps captions readable over a busy
// ground.
std::string Plate() {
    return FillBytes([](FillObject* f) {
        void* p = nullptr;
        if (SUCCEEDED(f->GetFillParams(&p)) && p)
            static_cast<ISolidFillParams*>(p)->SetColor(0x402010);
        f->SetAlpha(170);
    });
}

CanvasObjectSpec PageTitle(const char* text, COLORREF color, const std::string& face = None()) {
    Button b;
    b.name = "PageTitle";
    b.x = 400, b.y = 48, b.w = 760, b.h = 56;
    b.style = 1;
    b.caption.text = text;
    b.caption.height = 34;
    b.caption.color = color;
    b.faces = {{face}};
    return ButtonEntry(b);
}

struct Picture {
    std::string name, media;
    int32_t x = 0, y = 0, w = 0, h = 0;
    int32_t mediaWidth = 0, mediaHeight = 0;
    uint32_t flags = 0;
    COLORREF key = 0;
    Frame frame;
    std::string decoration;  // a decoration plug-in's entry, or none
};

CanvasObjectSpec PictureEntry(const Picture& pic) {
    ObjectPrefix p = Placed(pic.x, pic.y, pic.w, pic.h);
    p.parts = 1;
    p.attached = Vec(FrameBytes(pic.frame));
    // A decoration runs as long as the page holds (no time limit).
    p.decoration = Vec(pic.decoration);
    std::vector<uint8_t> prefix = WriteObjectPrefix(p);
    PictureRecord rec;
    rec.flags = pic.flags;
    rec.name = std::wstring(pic.media.begin(), pic.media.end());
    rec.mediaWidth = pic.mediaWidth;
    rec.mediaHeight = pic.mediaHeight;
    rec.startColor = rec.endColor = pic.key;
    std::vector<uint8_t> own = WritePictureRecord(rec);
    prefix.insert(prefix.end(), own.begin(), own.end());
    return Entry(kPicture, pic.name, prefix);
}

// An RTF object showing an embedded .rtf item, hot words enabled.
CanvasObjectSpec RtfEntry(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h,
                          const std::string& media) {
    std::vector<uint8_t> prefix = WriteObjectPrefix(Placed(x, y, w, h));
    RtfRecord rec;
    rec.flags = 0x30 | 1;    // hot words, paragraph formats; the document from a media item
    rec.extraField = false;  // the sample's canvases are of format version 3
    rec.mediaName = std::wstring(media.begin(), media.end());
    std::vector<uint8_t> own = WriteRtfRecord(rec);
    prefix.insert(prefix.end(), own.begin(), own.end());
    return Entry(kRtf, name, prefix);
}

// A text object inside its media frame's outline.
CanvasObjectSpec TextEntry(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h,
                           const TextRecord& rec) {
    ObjectPrefix p = Placed(x, y, w, h);
    Frame panel;
    panel.outline = true;
    panel.outlineColor = 0x404040;
    p.parts = 1;
    p.attached = Vec(FrameBytes(panel));
    std::vector<uint8_t> own = WriteTextRecord(rec);
    p.eventProc.insert(p.eventProc.end(), own.begin(), own.end());
    return Entry(kText, name, WriteObjectPrefix(p));
}

CanvasObjectSpec GroupEntry(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h,
                            uint32_t flags) {
    GroupRecord rec;
    rec.flags = flags;
    ObjectPrefix p = Placed(x, y, w, h);
    std::vector<uint8_t> own = WriteGroupRecord(rec);
    p.eventProc.insert(p.eventProc.end(), own.begin(), own.end());
    return Entry(kGroup, name, WriteObjectPrefix(p));
}

// ---- pictures of the work ----

// A sunrise over the sea on a magenta ground (the colour key of one copy).
picfix::Bytes SunrisePng(int w, int h) {
    picfix::PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colourType = 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 2, dy = y - h * 3 / 5, r = h * 2 / 5;
            uint8_t c[3] = {255, 0, 255};
            if (dx * dx + dy * dy < r * r && y < h * 3 / 5) {
                c[0] = 255, c[1] = (uint8_t)(120 + 100 * (h * 3 / 5 - y) / r), c[2] = 40;
            } else if (y >= h * 3 / 5 && (dx * dx + dy * dy) < (r + 30) * (r + 30)) {
                c[0] = 20, c[1] = (uint8_t)(80 + (y * 5 + x) % 40), c[2] = 160;
            }
            spec.rows.insert(spec.rows.end(), c, c + 3);
        }
    return picfix::WritePng(spec);
}

// A harbour of coloured stripes and a sky, in JPEG.
picfix::Bytes HarbourJpeg(int w, int h) {
    std::vector<uint8_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t r, g, b;
            if (y < h / 2) {
                r = (uint8_t)(90 + y), g = (uint8_t)(150 + y / 2), b = 230;
            } else {
                const int house = x / (w / 8);
                static const uint8_t colours[8][3] = {
                    {200, 60, 50}, {240, 200, 60}, {60, 140, 200}, {240, 240, 230},
                    {80, 170, 90}, {230, 120, 40}, {150, 80, 160}, {250, 220, 200}};
                r = colours[house % 8][0], g = colours[house % 8][1], b = colours[house % 8][2];
                if (y > h * 5 / 6)
                    r = 30, g = (uint8_t)(60 + (x + y) % 30), b = 120;
            }
            px.push_back(r), px.push_back(g), px.push_back(b);
        }
    return picfix::WriteJpeg(w, h, 3, px.data(), 85);
}

// A tile: a flower of four petals on green.
picfix::Bytes TilePng(int n) {
    picfix::PngSpec spec;
    spec.width = spec.height = n;
    spec.colourType = 2;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int dx = 2 * x - n + 1, dy = 2 * y - n + 1, q = n / 2;
            uint8_t c[3] = {60, 150, 70};
            if (dx * dx + dy * dy < q * q / 4)
                c[0] = 250, c[1] = 210, c[2] = 40;
            else if ((abs(dx) < q / 2 || abs(dy) < q / 2) && dx * dx + dy * dy < q * q * 3)
                c[0] = 240, c[1] = 240, c[2] = 250;
            spec.rows.insert(spec.rows.end(), c, c + 3);
        }
    return picfix::WritePng(spec);
}

// A rich-text note: a bold word, a blue word, a PNG picture and a hot word.
std::string NotesRtf() {
    std::vector<uint8_t> png = SunrisePng(96, 64);
    return "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}"
           "{\\colortbl;\\red0\\green0\\blue255;\\red200\\green0\\blue0;}"
           "\\pard\\f0\\fs36 Rich text with a \\b bold\\b0  word and a \\cf1 blue\\cf0  word.\\par "
           "\\fs28 A picture: " +
           RtfPictureGroup("pngblip", 1440, 960, png) +
           "\\par \\cf2\\ul\\hotword1 A hot word\\hotwordend\\ul0\\cf0  to click.\\par}";
}

std::string Str(const picfix::Bytes& b) {
    return std::string(b.begin(), b.end());
}

// ---- pages ----

const COLORREF kWhite = 0xFFFFFF, kInk = 0x402010;
// A shadow's colour carries its opacity in the top byte.
const double kShade = (double)0xA0000000u;

uint32_t g_hold = 0;  // every page's hold time when not 0

PageProps Page(uint32_t hold, uint32_t enterMs, const std::string& effect, uint32_t action) {
    PageProps p;
    // A page turn does not cut the sound that plays.
    p.flags = 0x02;
    p.hold = g_hold ? g_hold : hold;
    p.enter = enterMs;
    p.enterEffect = effect;
    p.action = action;
    return p;
}

void TitlePage(CanvasSpec& page) {
    Font zh;
    zh.text = Gbk(L"多媒体演示播放器");
    zh.height = 64;
    zh.color = kWhite;
    zh.chinese = true;
    page.objects.push_back(Label("Chinese", 400, 230, 760, 90, zh));
    Font en;
    en.text = "Mavro presentation player";
    en.height = 40;
    en.color = 0x80E0FF;
    page.objects.push_back(Label("Latin", 400, 320, 760, 60, en));
    Font sub;
    sub.text = Gbk(L"按钮 · 图片 · 填充 · 过渡 · 脚本");
    sub.height = 26;
    sub.color = 0xF0F0F0;
    sub.weight = FW_NORMAL;
    sub.chinese = true;
    page.objects.push_back(Label("Contents", 400, 420, 760, 40, sub));
    Font en2;
    en2.text = "buttons - pictures - fills - transitions - scripts";
    en2.height = 20;
    en2.color = 0xF0F0F0;
    en2.weight = FW_NORMAL;
    page.objects.push_back(Label("ContentsLatin", 400, 460, 760, 30, en2));
}

void ButtonsPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Buttons: five kinds", kInk));
    const std::string blue = SolidFillRecord(0xC08040), bluePressed = SolidFillRecord(0x804010),
                      blueHot = SolidFillRecord(0xE0A060), grey = SolidFillRecord(0xB0B0B0);
    Font cap;
    cap.height = 20;
    cap.color = kWhite;
    Button push;
    push.name = "Push";
    push.caption = cap;
    push.caption.text = "Push (shadow)";
    push.x = 150, push.y = 150;
    push.faces = {{blue, bluePressed, blueHot, grey}};
    push.shadow = PluginEntry(kShadow, __uuidof(ITransitionBlend), {kShade, 135, 4, 6, 0});
    page.objects.push_back(ButtonEntry(push));

    Button two = push;
    two.type = kTwoValue;
    two.name = "Toggle";
    two.caption.text = "Two values: on";
    two.shadow.clear();
    two.x = 400;
    two.value = 1;
    two.style = 3;
    two.faces = {
        {blue, bluePressed, blueHot, grey},
        {SolidFillRecord(0x309030), SolidFillRecord(0x206020), SolidFillRecord(0x50C050), grey}};
    page.objects.push_back(ButtonEntry(two));

    Button three = two;
    three.type = kThreeValue;
    three.name = "Three";
    three.caption.text = "Three values: 3rd";
    three.x = 650;
    three.value = 2;
    three.style = 4;
    three.faces = {
        {SolidFillRecord(0x3030C0)}, {SolidFillRecord(0x30A0E0)}, {SolidFillRecord(0x309030)}};
    page.objects.push_back(ButtonEntry(three));

    Button ellipse = push;
    ellipse.name = "Ellipse";
    ellipse.caption.text = "Ellipse";
    ellipse.shadow.clear();
    ellipse.style = 2;
    ellipse.x = 150, ellipse.y = 290;
    ellipse.h = 80;
    ellipse.faces = {{Gradient(GRAD_RADIAL, 0xF0D0A0, 0x905020)}};
    page.objects.push_back(ButtonEntry(ellipse));

    Button disabled = push;
    disabled.name = "Disabled";
    disabled.caption.text = "Disabled";
    disabled.shadow.clear();
    disabled.enabled = false;
    disabled.style = 0;
    disabled.frame = true;
    disabled.frameColor = 0x808080;
    disabled.x = 650, disabled.y = 290;
    page.objects.push_back(ButtonEntry(disabled));

    Font dark = cap;
    dark.color = kInk;
    dark.height = 22;
    Button check;
    check.type = kCheck;
    check.name = "Check";
    check.caption = dark;
    check.caption.text = "Check box, checked";
    check.caption.height = 20;
    check.x = 400, check.y = 290, check.w = 250, check.h = 40;
    check.value = 1;
    check.style = 1;
    check.faces = {{SolidFillRecord(0xFFFFFF)}};
    page.objects.push_back(ButtonEntry(check));

    // A radio group of three: the middle one is on.
    const int32_t groupIndex = (int32_t)page.objects.size();
    page.objects.push_back(GroupEntry("Colours", 400, 450, 260, 150, 0x400));
    const char* names[] = {"Red", "Green", "Blue"};
    for (int i = 0; i < 3; ++i) {
        Button radio = check;
        radio.type = kRadio;
        radio.name = names[i];
        radio.caption.text = std::string("Radio: ") + names[i];
        radio.y = 400 + 50 * i;
        radio.value = i == 1 ? 1 : 0;
        radio.style = 4;
        radio.group = groupIndex;
        page.objects.push_back(ButtonEntry(radio));
    }
}

void PicturesPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Pictures in media frames", kWhite));
    Font cap;
    cap.height = 18;
    cap.color = 0xE0E0E0;
    cap.weight = FW_NORMAL;
    Picture png;
    png.name = "SunrisePng";
    png.media = "sunrise.png";
    png.mediaWidth = 240, png.mediaHeight = 160;
    png.frame.outer = 4, png.frame.middle = 6, png.frame.inner = 4;
    png.frame.band = 0x3090D0;
    png.w = 240 + 2 * 14, png.h = 160 + 2 * 14;
    png.x = 190, png.y = 220;
    page.objects.push_back(PictureEntry(png));
    cap.text = "PNG, bevels and a band";
    page.objects.push_back(Label("PngCaption", 190, 335, 300, 26, cap));

    Picture jpeg;
    jpeg.name = "HarbourJpeg";
    jpeg.media = "harbour.jpg";
    jpeg.mediaWidth = 200, jpeg.mediaHeight = 150;
    jpeg.flags = PICFLAG_AUTOZOOM | PICFLAG_NOT_PROPORTIONAL;
    jpeg.frame.middle = 10;
    jpeg.frame.band = 0x40C0F0;
    jpeg.frame.outline = true;
    jpeg.frame.outlineColor = 0x000000;
    jpeg.w = 360 + 22, jpeg.h = 150 + 22;
    jpeg.x = 580, jpeg.y = 220;
    page.objects.push_back(PictureEntry(jpeg));
    cap.text = "JPEG stretched, a gold band";
    page.objects.push_back(Label("JpegCaption", 580, 335, 360, 26, cap));

    Picture keyed = png;
    keyed.name = "SunriseKeyed";
    keyed.flags = PICKEY_COLOR << PICFLAG_KEYSHIFT;
    keyed.key = 0xFF00FF;
    keyed.frame = Frame();
    keyed.frame.inner = 3;
    keyed.frame.light = 0xC0C0C0, keyed.frame.dark = 0x202020;
    keyed.frame.inside = 0x705030;
    keyed.w = 240 + 6, keyed.h = 160 + 6;
    keyed.x = 400, keyed.y = 470;
    // Yellow stars twinkle in a corner.
    keyed.decoration = PluginEntry(kStars, __uuidof(ITransitionDecor), {1, 0x00FFFF});
    page.objects.push_back(PictureEntry(keyed));
    cap.text = "colour key: magenta left out; twinkling stars";
    page.objects.push_back(Label("KeyCaption", 400, 575, 400, 26, cap));
}

void FillsPage(CanvasSpec& page) {
    // Over the texture the captions lie on plates.
    page.objects.push_back(
        PageTitle("Fills: pattern, picture, gradient, texture", kWhite, Plate()));
    struct Swatch {
        const char* name;
        const char* text;
        std::string fill;
    } swatches[] = {
        {"Pattern", "Pattern", SolidFillRecord(0x804000, FILLMODE_PATTERN, 3 << 3, 0x00FFFF)},
        {"PictureTile", "Picture, tiled", PictureFill("tile.png", PICFILL_TILE)},
        {"Radial", "Radial gradient", Gradient(GRAD_RADIAL, 0x00FFFF, 0x800000)},
        {"Angular", "Angular gradient", Gradient(GRAD_ANGULAR, 0x2020E0, 0xE0E020)},
        {"Corners", "Corner gradient", Gradient(GRAD_CORNERS, 0xFFFFFF, 0x008000)},
        {"Texture", "Texture", Texture(2)},
        {"PictureStretch", "Picture, stretched", PictureFill("harbour.jpg", PICFILL_STRETCH)},
        {"PatternClear", "Clear pattern", FillBytes([](FillObject* f) {
             f->SetMode(FILLMODE_PATTERN);
             f->SetPattern(5 << 3);
             f->SetPatternTransparent(1);
             f->SetPatternColor(0xFFFFFF);
         })},
    };
    // The swatches bare, their names below them.
    Font cap;
    cap.height = 18;
    cap.color = kWhite;
    for (int i = 0; i < 8; ++i) {
        Button b;
        b.name = swatches[i].name;
        b.style = 0;
        b.frame = true;
        b.frameColor = 0x000000;
        b.x = 110 + 193 * (i % 4);
        b.y = 200 + 230 * (i / 4);
        b.w = 170, b.h = 170;
        b.faces = {{swatches[i].fill}};
        page.objects.push_back(ButtonEntry(b));
        cap.text = swatches[i].text;
        page.objects.push_back(
            Label(std::string(swatches[i].name) + "Name", b.x, b.y + 104, 186, 28, cap, Plate()));
    }
}

void ScriptPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("A script: click the button", kWhite));
    Font f;
    f.text = "Not clicked yet";
    f.height = 30;
    f.color = 0x80FFFF;
    page.objects.push_back(Label("Counter", 400, 200, 700, 60, f));
    Button b;
    b.name = "ClickMe";
    b.caption.text = "Click me";
    b.caption.height = 26;
    b.caption.color = kWhite;
    b.x = SHOWCASE_CLICK_X, b.y = SHOWCASE_CLICK_Y, b.w = 240, b.h = 80;
    b.style = 2;
    b.faces = {{SolidFillRecord(0x2060C0), SolidFillRecord(0x103080), SolidFillRecord(0x3080F0),
                SolidFillRecord(0x909090)}};
    b.shadow = PluginEntry(kShadow, __uuidof(ITransitionBlend), {kShade, 135, 6, 8, 0});
    // The click counts in a variable, shows the count through an
    // expression and, a moment later, turns to the last page.
    b.click = {{8, "clicks", "clicks + 1"},
               {8, "Counter.ObjTextContent", "\"Clicked \" + itoa(clicks, 10) + \" time(s)\""},
               {6, nullptr, "1500"},
               {1105, nullptr, "\"End\""}};
    page.objects.push_back(ButtonEntry(b));
    Font hint;
    hint.text = "clicks = clicks + 1; Counter shows it; then go to page End";
    hint.height = 18;
    hint.weight = FW_NORMAL;
    hint.color = 0xD0D0D0;
    page.objects.push_back(Label("Hint", 400, 450, 700, 30, hint));
}

// The page's script draws on the board as it enters: a rectangle, an
// ellipse, the curve of an expression and a Chinese text.
void BoardPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("A draw board: the page's script draws", kInk));
    page.objects.push_back(DrawBoardEntry("Board", 400, 330, 700, 440));
    static const std::string text = "60, 370, \"" + Gbk(L"画板：矩形、椭圆、曲线和文字") + "\"";
    page.eventRecord = PageEnterRecord({
        {6, nullptr, "100"},  // until the board is active
        {403, "Board.SetLineWidth", "3"},
        {403, "Board.SetLineColor", "8405024"},  // 0x804020
        {403, "Board.SetFillType", "1"},
        {403, "Board.SetFillColor", "16763024"},  // 0xFFC890
        {403, "Board.DrawRect", "40, 40, 300, 200"},
        {403, "Board.SetLineColor", "2113696"},  // 0x2040A0
        {403, "Board.SetFillType", "2"},
        {403, "Board.SetFillColor", "8454143"},   // 0x80FFFF
        {403, "Board.SetFillColor2", "4210943"},  // 0x4040FF
        {403, "Board.DrawEllipse", "380, 40, 660, 200"},
        {403, "Board.SetLineColor", "12607520"},  // 0xC06020
        {403, "Board.SetLineWidth", "2"},
        {403, "Board.DrawLineCurve", "\"230 + (x - 350) * (x - 350) / 400, x\", 50, 650, 10"},
        {403, "Board.SetFontName", "\"SimSun\""},
        {403, "Board.SetFontSize", "24"},
        {403, "Board.SetTextColor", "4202512"},  // 0x402010
        {403, "Board.DrawText", text.c_str()},
    });
}

// A subject figure for the figures page: kind, type, origin and shape
// parameters in units (stored in 1/256), fills (one holder each), option,
// second value list, scale.
DrawBoardRecord::Meta Figure(int type, int kind, std::vector<double> units,
                             std::vector<uint32_t> fills, int option = 0,
                             std::vector<int32_t> list2 = {}, int scale = 100) {
    FigureFields f;
    f.kind = kind;
    f.base = type;
    for (double u : units) f.list1.push_back((int32_t)(u * 256));
    for (uint32_t c : fills) f.holders.push_back(Vec(SolidFillRecord(c, 1, 0, 0xFFFFFF)));
    LineModeFields line;
    line.color = 0x302010;
    line.width = 2;
    f.line = WriteLineModeRecord(line);
    if (option)
        f.list3 = {option};
    f.list2 = list2;
    f.scale = scale;
    return DrawBoardRecord::Meta{type, FigureRecord(f)};
}

// Figures of the four subjects on a draw board: mathematics and optics
// above, physics in the middle, chemistry apparatus below, each filled
// through its own holders.
void FiguresPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Subject figures", kInk));
    const uint32_t blue = 0xF0C890, green = 0x90E0A0, gold = 0x60C0F0, rose = 0xB0A0F0;
    DrawBoardRecord rec;
    rec.line.color = 0x808080;
    rec.fill = Vec(SolidFillRecord(0, FILLMODE_NONE));
    rec.metas = {
        // Mathematics: a triangle, a circle, a sector, an ellipse.
        Figure(METATYPE_MATH, 28, {-310, -190, 40, 60}, {blue}),
        Figure(METATYPE_MATH, 39, {-210, -160, 32}, {green}),
        Figure(METATYPE_MATH, 37, {-120, -140, 0, 40, 40, 0, 0, -40}, {gold}, 1),
        Figure(METATYPE_MATH, 40, {-10, -160, 45, 28}, {rose}),
        // Optics: a double block arrow, a lens, a star, a callout.
        Figure(METATYPE_OPTIC, 278, {100, -160, 40, 8, 20, 18}, {gold}, 1),
        Figure(METATYPE_OPTIC, 290, {200, -160, 22, 34, 8}, {blue}, 0, {20 * 256}),
        Figure(METATYPE_OPTIC, 291, {290, -160, 36}, {gold}),
        // Physics: a block, a cart, balls, a ruler, a meter scale.
        Figure(METATYPE_PHYS, 83, {-340, -40, 60, 40}, {gold}),
        Figure(METATYPE_PHYS, 82, {-250, -40, 80, 30, 14, 8}, {green}),
        Figure(METATYPE_PHYS, 78, {-90, -10, 22, 14, 45}, {rose, blue}),
        Figure(METATYPE_PHYS, 105, {0, 30, 160, 12}, {}),
        Figure(METATYPE_PHYS, 106, {290, 20}, {}, 0, {}, 300),
        // Chemistry: a round flask, a beaker, a test tube, a conical flask,
        // a funnel, a burner.
        Figure(METATYPE_CHEM, 178, {-300, 200, 70, 120, 30, 18}, {blue}),
        Figure(METATYPE_CHEM, 180, {-190, 200, 60, 80, 35}, {green}),
        Figure(METATYPE_CHEM, 181, {-100, 200, 24, 90, 40}, {rose}),
        Figure(METATYPE_CHEM, 182, {-10, 200, 70, 90, 30, 16}, {gold}),
        Figure(METATYPE_CHEM, 188, {100, 200, 60, 90}, {blue}),
        Figure(METATYPE_CHEM, 194, {210, 200, 60, 60}, {rose}),
    };
    rec.nextId = (int32_t)rec.metas.size() + 1;
    std::vector<uint8_t> bytes = WriteObjectPrefix(Placed(400, 330, 760, 500));
    std::vector<uint8_t> own = WriteDrawBoardRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());
    CanvasObjectSpec o;
    o.typeId = kDrawBoard;
    o.name = "Figures";
    o.record.assign(bytes.begin(), bytes.end());
    page.objects.push_back(o);
}

// A shape of a vector frame as an editor saves it: points relative to the
// object's centre, filled, with a 3-pixel outline.
std::string ShapeBytes(int kind, const std::vector<POINT>& points, bool closed, COLORREF fill,
                       COLORREF line) {
    CGraphMeta shape(nullptr);
    shape.SetKind(kind);
    for (const POINT& p : points) shape.AddPoint(p.x, p.y);
    shape.SetClosed(closed);
    shape.SetFillType(FILL_SOLID);
    shape.SetFillMode(FILLMODE_FILL);
    shape.SetColor(fill);
    shape.SetMainColor(line);
    shape.SetLineWidth(3);
    shape.SetMetaId(1);
    shape.CalcBoundRect();
    return Saved([&](ITeskStream* s) { return shape.Save(s); });
}

// A vector object whose red square becomes a blue circle over the first
// 2 s of the page (it starts as the page enters). Shapes morph point by
// point: the square is drawn as the circle's outline runs, from the right
// down and round, a corner or a side's middle every eighth of a turn.
void VectorPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("A vector object: a square morphs into a circle", kInk));
    VectorObjectRecord morph;
    morph.keys.resize(2);
    morph.keys[0].nextId = 2;
    morph.keys[0].metas = {{METATYPE_GRAPH, Vec(ShapeBytes(GRAPH_POLYLINE,
                                                           {{90, 0},
                                                            {90, 90},
                                                            {0, 90},
                                                            {-90, 90},
                                                            {-90, 0},
                                                            {-90, -90},
                                                            {0, -90},
                                                            {90, -90},
                                                            {90, 0}},
                                                           true, 0x2020E0, 0x101070))}};
    morph.keys[1].time = 2000;
    morph.keys[1].nextId = 2;
    morph.keys[1].metas = {
        {METATYPE_GRAPH,
         Vec(ShapeBytes(GRAPH_ELLIPSE, {{-110, -110}, {110, 110}}, true, 0xE06020, 0x703010))}};
    std::vector<uint8_t> bytes = WriteObjectPrefix(Placed(400, 320, 300, 300));
    const std::vector<uint8_t> own = WriteVectorObjectRecord(morph);
    bytes.insert(bytes.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kVector, "Morph", bytes));
    Font cap;
    cap.text = "2 key frames: 0 s and 2 s";
    cap.height = 20;
    cap.weight = FW_NORMAL;
    cap.color = kInk;
    page.objects.push_back(Label("MorphCaption", 400, 500, 400, 30, cap));
}

void TextsPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Texts", kInk));
    // A text object: 24 points, red, centred in its panel; a Chinese face
    // for both scripts.
    TextRecord text;
    text.height = -PointsToFontHeight(24);
    text.weight = FW_NORMAL;
    text.charSet = GB2312_CHARSET;
    text.face = "SimSun";
    text.color = 0x0000FF;
    text.flags = TXTFLAG_INITIAL | (1 << TXTFLAG_HALIGN_SHIFT) | (1 << TXTFLAG_VALIGN_SHIFT);
    text.text = Gbk(L"文字 Text");
    page.objects.push_back(TextEntry("Text", 400, 112, 360, 56, text));
    page.objects.push_back(RtfEntry("Notes", 400, 330, 640, 360, "notes.rtf"));
}

// The records of a new line style and of a font of the given height.
std::vector<uint8_t> LineBytes(COLORREF color) {
    CComPtr<LineStyleObject> line;
    line.Attach(CreateLineStyObj());
    if (!line) {
        Fail("no line style");
        return {};
    }
    line->SetColor(color);
    return Vec(Saved([&](ITeskStream* s) { return line->Save(s); }));
}

std::vector<uint8_t> PlainFontBytes(int height) {
    Font f;
    f.height = height;
    f.color = 0;
    return Vec(FontBytes(f));
}

// A menu of four items, the second and third enabled; a 6 x 4 grid of texts;
// a vertical scroll bar on the grid's vertical scroll row; a progress bar
// at 60.
void ControlsPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Controls: menu, grid, scroll bars", kInk));
    MenuRecord menu;
    menu.picStyle = 0;
    menu.textAlign = 1;
    menu.textWidth = 120;
    menu.savedTextWidth = 120;
    menu.background = Vec(SolidFillRecord(0xD2D2D2));
    menu.border = menu.separator = LineBytes(0);
    menu.font = PlainFontBytes(16);
    const char* items[] = {"Open", "Save", "Print", "Close"};
    for (int i = 0; i < 4; ++i) {
        MenuItemRecord item;
        item.id = i;
        item.flags = (i == 1 || i == 2) ? 1 : 0;
        item.text = items[i];
        item.iconFill = Vec(FillBytes([](FillObject* f) { f->SetFillType(FILL_PICTURE); }));
        menu.items.push_back(item);
    }
    ObjectPrefix mp = Placed(400, 105, 480, 30);
    std::vector<uint8_t> own = WriteMenuRecord(menu);
    mp.eventProc.insert(mp.eventProc.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kMenu, "Menu", WriteObjectPrefix(mp)));

    GridRecord grid;
    grid.rows = 6;
    grid.columns = 4;
    grid.rowHeadWidth = 60;
    grid.cellWidth = 90;
    grid.columnHeadHeight = 28;
    grid.cellHeight = 26;
    grid.font = PlainFontBytes(15);
    grid.fill = Vec(SolidFillRecord(0xFFFFFF));
    grid.line = LineBytes(0x808080);
    grid.flags = 7;  // both heads and the active cell's frame
    const wchar_t* heads[] = {L"", L"Name", L"City", L"Score", L"Rank"};
    const wchar_t* names[] = {L"Ann", L"Bob", L"Cid", L"Dee", L"Eve", L"Fay"};
    const wchar_t* cities[] = {L"Oslo", L"Rome", L"Lima", L"Kyiv", L"Oslo", L"Rome"};
    for (int r = 0; r <= 6; ++r) {
        std::vector<GridCellRecord> row;
        for (int c = 0; c <= 4; ++c) {
            GridCellRecord cell;
            if (r == 0)
                cell.text = heads[c];
            else if (c == 0)
                cell.text = std::to_wstring(r);
            else if (c == 1)
                cell.text = names[r - 1];
            else if (c == 2)
                cell.text = cities[r - 1];
            else if (c == 3)
                cell.text = std::to_wstring(100 - 7 * r);
            else
                cell.text = std::to_wstring(r);
            row.push_back(cell);
        }
        grid.cells.push_back(row);
    }
    ObjectPrefix gp = Placed(380, 290, 480, 130);
    own = WriteGridRecord(grid);
    gp.eventProc.insert(gp.eventProc.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kGrid, "Grid", WriteObjectPrefix(gp)));

    // The bar takes the grid's rows as its range when the page enters.
    ScrollBarRecord bar;
    bar.kind = 1;
    bar.vertical = 1;
    bar.linked = 1;
    bar.linkObject = L"Grid";
    bar.linkRow = L"\u5782\u76f4\u5377\u6eda";  // the grid's vertical scroll row
    for (auto& part : bar.parts) {
        part.fill = Vec(SolidFillRecord(0xC0C0C0));
        part.pressedFill = Vec(SolidFillRecord(0xDFDFDF));
    }
    ObjectPrefix bp = Placed(635, 290, 18, 130);
    own = WriteScrollBarRecord(bar);
    bp.eventProc.insert(bp.eventProc.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kScrollVert, "GridBar", WriteObjectPrefix(bp)));

    ScrollBarRecord progress;
    progress.kind = 2;
    progress.vertical = 0;
    progress.value = 60;
    for (auto& part : progress.parts) {
        part.fill = Vec(SolidFillRecord(0xE0E0E0));
        part.pressedFill = Vec(SolidFillRecord(0xDFDFDF));
    }
    progress.parts[3].fill = Vec(SolidFillRecord(0x30A030));
    ObjectPrefix pp = Placed(400, 440, 480, 24);
    own = WriteScrollBarRecord(progress);
    pp.eventProc.insert(pp.eventProc.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kProgressHorz, "Progress", WriteObjectPrefix(pp)));
}

// ---- the media page ----

// An enhanced metafile of 120 x 80 mm: a sky, a sun, hills and a caption,
// drawn as an editor would store it.
std::string LandscapeEmf() {
    HDC screen = GetDC(nullptr);
    const RECT frame = {0, 0, 12000, 8000};
    HDC dc = CreateEnhMetaFileA(screen, nullptr, &frame, nullptr);
    const int w = MulDiv(120, GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, HORZSIZE));
    const int h = MulDiv(80, GetDeviceCaps(screen, VERTRES), GetDeviceCaps(screen, VERTSIZE));
    ReleaseDC(nullptr, screen);
    if (!dc) {
        Fail("no metafile");
        return std::string();
    }
    HBRUSH sky = CreateSolidBrush(RGB(120, 180, 240));
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, sky);
    DeleteObject(sky);
    HBRUSH sun = CreateSolidBrush(RGB(250, 210, 40));
    HGDIOBJ old = SelectObject(dc, sun);
    Ellipse(dc, w * 6 / 10, h / 10, w * 8 / 10, h * 4 / 10);
    SelectObject(dc, old);
    DeleteObject(sun);
    HBRUSH hill = CreateSolidBrush(RGB(60, 150, 60));
    old = SelectObject(dc, hill);
    POINT hills[] = {{0, h},
                     {0, h * 6 / 10},
                     {w / 4, h / 2},
                     {w / 2, h * 7 / 10},
                     {w * 3 / 4, h * 11 / 20},
                     {w, h * 13 / 20},
                     {w, h}};
    Polygon(dc, hills, 7);
    SelectObject(dc, old);
    DeleteObject(hill);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, w / 20, h / 20, "EMF", 3);
    HENHMETAFILE meta = CloseEnhMetaFile(dc);
    std::string bits(GetEnhMetaFileBits(meta, 0, nullptr), '\0');
    GetEnhMetaFileBits(meta, (UINT)bits.size(), reinterpret_cast<BYTE*>(&bits[0]));
    DeleteEnhMetaFile(meta);
    return bits;
}

// A DXF drawing: a house of lines with a round window, in colours.
std::string HouseDxf() {
    std::string body;
    auto line = [&](double x0, double y0, double x1, double y1, int colour) {
        char buf[160];
        snprintf(buf, sizeof(buf),
                 "  0\nLINE\n  8\n0\n 62\n%d\n 10\n%g\n 20\n%g\n 11\n%g\n 21\n%g\n", colour, x0, y0,
                 x1, y1);
        body += buf;
    };
    line(0, 0, 100, 0, 5);
    line(100, 0, 100, 70, 5);
    line(100, 70, 0, 70, 5);
    line(0, 70, 0, 0, 5);
    line(-10, 70, 50, 110, 1);
    line(50, 110, 110, 70, 1);
    line(40, 0, 40, 35, 3);
    line(40, 35, 60, 35, 3);
    line(60, 35, 60, 0, 3);
    body += "  0\nCIRCLE\n  8\n0\n 62\n6\n 10\n78\n 20\n48\n 40\n10\n";
    return "  0\nSECTION\n  2\nENTITIES\n" + body + "  0\nENDSEC\n  0\nEOF\n";
}

// Twelve frames of a ball going round, 100 ms each.
picfix::Bytes RollingGif() {
    picfix::GifAnimSpec s;
    s.width = s.height = 64;
    s.palette.assign(768, 0);
    const uint8_t colours[][3] = {{250, 245, 230}, {200, 40, 40}, {40, 40, 160}};
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) s.palette[3 * i + c] = colours[i][c];
    for (int k = 0; k < 12; ++k) {
        picfix::GifFrameSpec f;
        f.width = f.height = 64;
        f.control = true;
        f.delay = 10;
        f.indexes.assign(64 * 64, 0);
        const double a = k * 3.14159265358979 / 6;
        const int cx = 32 + (int)(20 * cos(a)), cy = 32 + (int)(20 * sin(a));
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                if ((x - 32) * (x - 32) + (y - 32) * (y - 32) <= 2)
                    f.indexes[y * 64 + x] = 2;
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= 64)
                    f.indexes[y * 64 + x] = 1;
            }
        s.frames.push_back(f);
    }
    return picfix::WriteGifAnimation(s);
}

CanvasObjectSpec GraphEntry(const std::string& name, int32_t x, int32_t y, int32_t w, int32_t h,
                            const std::string& media, uint32_t flags) {
    std::vector<uint8_t> prefix = WriteObjectPrefix(Placed(x, y, w, h));
    GraphRecord rec;
    rec.flags = flags;
    rec.name = std::wstring(media.begin(), media.end());
    std::vector<uint8_t> own = WriteGraphRecord(rec);
    prefix.insert(prefix.end(), own.begin(), own.end());
    return Entry(kGraph, name, prefix);
}

void MediaPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Media: drawings, a GIF, a sound, a video", kInk));
    Font cap;
    cap.height = 18;
    cap.color = 0x303030;
    cap.weight = FW_NORMAL;
    // The drawings zoom on a click and go back on a double click.
    page.objects.push_back(GraphEntry("Landscape", 170, 230, 240, 160, "landscape.emf", 0x30));
    cap.text = "EMF drawing";
    page.objects.push_back(Label("EmfCaption", 170, 330, 240, 26, cap));
    page.objects.push_back(GraphEntry("House", 420, 230, 200, 160, "house.dxf", 0x30));
    cap.text = "DXF drawing";
    page.objects.push_back(Label("DxfCaption", 420, 330, 200, 26, cap));

    ObjectPrefix movie = Placed(640, 230, 66, 66);
    movie.parts = 1;
    Frame outline;
    outline.outline = true;
    outline.outlineColor = 0x000000;
    movie.attached = Vec(FrameBytes(outline));
    std::vector<uint8_t> bytes = WriteObjectPrefix(movie);
    MovieRecord anim;
    anim.name = L"rolling.gif";
    anim.mediaWidth = anim.mediaHeight = 64;
    anim.length = 12;
    anim.end = 12;
    std::vector<uint8_t> own = WriteMovieRecord(anim);
    bytes.insert(bytes.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kMovie, "Rolling", bytes));
    cap.text = "12-frame GIF";
    page.objects.push_back(Label("GifCaption", 640, 330, 200, 26, cap));

    // The sound plays as the page enters; its status box shows where it is.
    bytes = WriteObjectPrefix(Placed(400, 460, 160, 80));
    SoundRecord sound;
    sound.flags = 0x04 | 0x08 | 0x10;  // status box, auto repeat, no limit
    sound.name = "chime.wav";
    sound.length = sound.end = 1500;
    own = WriteSoundRecord(sound);
    bytes.insert(bytes.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kSound, "Chime", bytes));
    cap.text = "a sound and its status box";
    page.objects.push_back(Label("SoundCaption", 400, 520, 300, 26, cap));

    // The video plays in the page from the media folder, round and round.
    ObjectPrefix screen = Placed(660, 450, 66, 50);
    screen.parts = 1;
    screen.attached = Vec(FrameBytes(outline));
    bytes = WriteObjectPrefix(screen);
    VideoRecord video;
    video.flags = 0x01 | 0x04 | 0x10 | 0x20;  // sound on, auto repeat, in the page, no limit
    video.name = "clip.avi";
    video.mediaWidth = 64;
    video.mediaHeight = 48;
    video.length = video.end = 1000;
    own = WriteVideoRecord(video);
    bytes.insert(bytes.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kVideo, "Clip", bytes));
    cap.text = "AVI video in the page";
    page.objects.push_back(Label("VideoCaption", 660, 510, 240, 26, cap));
}

// Ten frames of 64 x 48 pixels, each its own colour, 10 a second.
std::string ClipAvi() {
    AviSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.frames = 10;
    spec.fps = 10;
    return AviFile(spec);
}

// A push button going round a closed rounded rectangle every 2 s, turned
// along the path, beside the test ActiveX control drawn into the page.
void MotionPage(CanvasSpec& page) {
    page.objects.push_back(PageTitle("Motion: a path and an ActiveX control", kInk));
    Font cap;
    cap.height = 20;
    cap.color = kWhite;
    Button mover;
    mover.name = "Mover";
    mover.caption = cap;
    mover.caption.text = "Moving";
    mover.x = 120, mover.y = 180, mover.w = 120, mover.h = 44;
    mover.faces = {{SolidFillRecord(0x3060D0)}};
    // Render flag 8 without 16 asks for the path motion.
    mover.renderFlags = 0x08;
    PathMotionRecord motion;
    motion.motionFlags = 1;  // repeat; moves by itself
    MotionPathRecord path;
    path.kind = 5;  // rounded rectangle over the points' bounds
    path.corner = 50;
    path.flags = 0x10 | 4;  // closed
    path.rollMode = 1;      // follow the path's tangent
    path.duration = 2000;
    path.points = {{0, 0}, {360, 0}, {360, 240}, {0, 240}};
    motion.paths = {path};
    std::vector<uint8_t> data = {0, 0, 0, 0};  // the ability's empty event procedure
    std::vector<uint8_t> own = WritePathMotionRecord(motion);
    data.insert(data.end(), own.begin(), own.end());
    mover.abilityCount = 2;
    mover.abilities = StaticAbilityRecord(-1, L"PathAnimate", data);
    page.objects.push_back(ButtonEntry(mover));

    AxObjectRecord ax;
    ax.clsid = kTestAxControl;
    ax.saved = TestAxControlState(0xC08040, false, L"sample");
    std::vector<uint8_t> bytes = WriteObjectPrefix(Placed(640, 300, 200, 150));
    own = WriteAxObjectRecord(ax);
    bytes.insert(bytes.end(), own.begin(), own.end());
    page.objects.push_back(Entry(kActiveX, "TestControl", bytes));
    Font dark = cap;
    dark.color = 0x303030;
    dark.height = 18;
    dark.weight = FW_NORMAL;
    dark.text = "the test ActiveX control";
    page.objects.push_back(Label("ControlCaption", 640, 400, 260, 26, dark));
}

void EndPage(CanvasSpec& page) {
    Font zh;
    zh.text = Gbk(L"谢谢观看");
    zh.height = 60;
    zh.color = kWhite;
    zh.chinese = true;
    page.objects.push_back(Label("Thanks", 400, 250, 700, 90, zh));
    Font en;
    en.text = "The end";
    en.height = 36;
    en.color = 0xA0F0FF;
    page.objects.push_back(Label("TheEnd", 400, 340, 700, 60, en));
}

}  // namespace

CanvasObjectSpec DrawBoardEntry(const std::string& name, int32_t x, int32_t y, int32_t w,
                                int32_t h) {
    DrawBoardRecord rec;
    rec.line.color = 0x808080;
    rec.fill = Vec(SolidFillRecord(0, FILLMODE_NONE));
    std::vector<uint8_t> bytes = WriteObjectPrefix(Placed(x, y, w, h));
    std::vector<uint8_t> own = WriteDrawBoardRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());
    CanvasObjectSpec o;
    o.typeId = kDrawBoard;
    o.name = name;
    o.record.assign(bytes.begin(), bytes.end());
    return o;
}

bool MakeShowcase(WorkSpec* out, uint32_t hold) {
    g_failed = false;
    g_hold = hold;
    WorkSpec& w = *out;
    w.prjInfo.minor = 16;
    w.prjInfo.holdTime = 10000;
    w.prjInfo.backgroundColor = 0x00302010;
    // Pages go on alone after their hold time (option bit 6).
    w.prjInfo.options = 171 | 0x40;
    // No project events; one counter variable.
    w.prjInfo.tail = std::string(4, '\0') + IntVariableListBytes({{"clicks", 0}});
    w.pages = {{"Title", "Mavro sample", "Dawn", "", "", "Buttons"},
               {"Buttons", "Buttons", "Paper", "", "", "Pictures"},
               {"Pictures", "Pictures", "Slate", "", "", "Fills"},
               {"Fills", "Fills", "Weave", "", "", "Board"},
               {"Board", "Draw board", "Paper", "", "", "Figures"},
               {"Figures", "Figures", "Paper", "", "", "Vector"},
               {"Vector", "Vector animation", "Paper", "", "", "Texts"},
               {"Texts", "Texts", "Paper", "", "", "Controls"},
               {"Controls", "Controls", "Paper", "", "", "Media"},
               {"Media", "Media", "Paper", "", "", "Motion"},
               {"Motion", "Motion", "Paper", "", "", "Script"},
               {"Script", "Script", "Forest", "", "", "End"},
               {"End", "The end", "Dusk", "", "", ""}};
    w.backgrounds = {"Dawn", "Paper", "Slate", "Weave", "Forest", "Dusk"};
    const int W = SHOWCASE_PAGE_WIDTH, H = SHOWCASE_PAGE_HEIGHT;
    struct {
        const char* name;
        std::string fill;
    } grounds[] = {
        {"Dawn", Gradient(GRAD_VERTICAL, 0x602010, 0x3080F0)},
        {"Paper", SolidFillRecord(0xF0E8E0, FILLMODE_PATTERN, 1 << 3, 0xE0D0C0)},
        {"Slate", Gradient(GRAD_BOX, 0x504030, 0x201810)},
        {"Weave", Texture(0)},
        {"Forest", Gradient(GRAD_HORIZONTAL, 0x104010, 0x40A040)},
        {"Dusk", Gradient(GRAD_RADIAL, 0x4060C0, 0x301020)},
    };
    for (const auto& g : grounds) {
        CanvasSpec c;
        c.kind = 2;
        c.properties = BackgroundProperties(W, H, g.fill);
        w.canvasInfo[g.name] = MakeCanvasInfo(c);
    }
    CanvasSpec title, buttons, pictures, fills, board, figures, vector, texts, controls, media,
        motion, script, end;
    TitlePage(title);
    ButtonsPage(buttons);
    PicturesPage(pictures);
    FillsPage(fills);
    BoardPage(board);
    FiguresPage(figures);
    VectorPage(vector);
    TextsPage(texts);
    ControlsPage(controls);
    MediaPage(media);
    MotionPage(motion);
    ScriptPage(script);
    EndPage(end);
    // The transitions: a slide, a region (boxes), a mask (a spiral), a region
    // (a clock) and a mask (sine waves).
    // The title page has a sound of its own: a short beep from the package.
    PageProps titleProps = Page(3000, 0, "", 1108);
    titleProps.flags = 0x04;
    titleProps.soundPath = "beep.wav";
    title.properties = PageProperties(titleProps);
    buttons.properties = PageProperties(
        Page(3000, 1000, Effect(PluginEntry(kMove, __uuidof(ITransitionMove), {1}), "", ""), 1108));
    pictures.properties = PageProperties(Page(
        3000, 1500, Effect("", PluginEntry(kShape, __uuidof(ITransitionRegion), {2}), ""), 1108));
    fills.properties = PageProperties(Page(
        3000, 1200, Effect("", "", PluginEntry(kSpiral, __uuidof(ITransitionMask), {0})), 1108));
    board.properties = PageProperties(Page(3000, 0, "", 1108));
    figures.properties = PageProperties(Page(3000, 0, "", 1108));
    vector.properties = PageProperties(Page(3000, 0, "", 1108));
    texts.properties = PageProperties(Page(3000, 0, "", 1108));
    controls.properties = PageProperties(Page(3000, 0, "", 1108));
    media.properties = PageProperties(Page(3000, 0, "", 1108));
    motion.properties = PageProperties(Page(3000, 0, "", 1108));
    // The scripted page waits for its click.
    script.properties = PageProperties(Page(
        120000, 1000, Effect("", PluginEntry(kClock, __uuidof(ITransitionRegion), {}), ""), 1108));
    end.properties = PageProperties(
        Page(2500, 1000, Effect("", "", PluginEntry(kSine, __uuidof(ITransitionMask), {0})), 1003));
    const struct {
        const char* name;
        CanvasSpec* canvas;
    } pages[] = {{"Title", &title},   {"Buttons", &buttons}, {"Pictures", &pictures},
                 {"Fills", &fills},   {"Board", &board},     {"Figures", &figures},
                 {"Vector", &vector}, {"Texts", &texts},     {"Controls", &controls},
                 {"Media", &media},   {"Motion", &motion},   {"Script", &script},
                 {"End", &end}};
    for (const auto& p : pages) {
        w.canvasInfo[p.name] = MakeCanvasInfo(*p.canvas);
        w.objData[p.name] = MakeObjData(*p.canvas);
    }
    w.folders = {{"r0", ""}, {"media", "$r0\\media\\"}};
    w.items = {
        EmbeddedItem("sunrise.png", 2, 1018),  EmbeddedItem("harbour.jpg", 2, 1016),
        EmbeddedItem("tile.png", 2, 1018),     EmbeddedItem("beep.wav", 4, 1020),
        EmbeddedItem("notes.rtf", 1, 1000),    EmbeddedItem("landscape.emf", 0x20, 1051),
        EmbeddedItem("house.dxf", 0x20, 1052), EmbeddedItem("rolling.gif", 8, 1032),
        EmbeddedItem("chime.wav", 4, 1020),    FileItem("clip.avi", "$media\\clip.avi", 16, 1040)};
    w.mediaData = {{"sunrise.png", Str(SunrisePng(240, 160))},
                   {"harbour.jpg", Str(HarbourJpeg(200, 150))},
                   {"tile.png", Str(TilePng(34))},
                   {"beep.wav", WaveFile(200, 8000, true)},
                   {"notes.rtf", NotesRtf()},
                   {"landscape.emf", LandscapeEmf()},
                   {"house.dxf", HouseDxf()},
                   {"rolling.gif", Str(RollingGif())},
                   {"chime.wav", WaveFile(1500, 8000, true)}};
    return !g_failed;
}

bool WriteShowcaseMedia(const std::string& packagePath) {
    const size_t cut = packagePath.find_last_of("\\/");
    const std::string folder =
        (cut == std::string::npos ? std::string(".") : packagePath.substr(0, cut)) + "\\media";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\clip.avi";
    const std::string avi = ClipAvi();
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f != nullptr;
    if (f) {
        ok = fwrite(avi.data(), 1, avi.size(), f) == avi.size();
        ok = fclose(f) == 0 && ok;
    }
    if (!ok)
        fprintf(stderr, "showcase: cannot write %s\n", path.c_str());
    return ok;
}
