// Media objects against the drawing they are made of, in the same run:
// - the graphic object drawing a 1,000-record EMF at ratio 100, against
//   PlayEnhMetaFile of the same metafile into the same box (goal 1.1);
// - a 320 x 240 GIF movie's tick and draw, against the animation control's
//   GrabFrame of the next frame and a bare Blit of it (goal 1.2);
// - a 320 x 240 video in the page, a tick (sample update) and draw, against
//   the same update of a stream of its own and a StretchBlt of its surface
//   (goal 1.2); the updates wait for the stream's clock, so the draw alone
//   against the StretchBlt alone as well.
#include "BenchClock.h"
#include <windows.h>

#include <ddraw.h>
#include <mmstream.h>
#include <amstream.h>
#include <ddstream.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "AviWriter.h"
#include "ObjectDoubles.h"
#include "PictureFixtures.h"
#include "ServiceFakes.h"
#include "TestFiles.h"
#include "aCreator.h"
#include "aExtMgr.h"
#include "aGDIBuf.h"
#include "aGrfObj.h"
#include "aMovObj.h"
#include "aVidObj.h"
#include "bStrConv.h"

namespace {

// "Drawing" is an EMF, "Anim" a GIF animation, "Clip" an AVI file.
class BenchMedia : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        static const struct {
            const char* name;
            int type, subtype;
        } kinds[] = {{"Drawing", 0x20, 1051}, {"Anim", 8, 1032}, {"Clip", 16, 1040}};
        for (const auto& k : kinds)
            if (strcmp(k.name, name) == 0) {
                *type = k.type;
                *subtype = k.subtype;
                return S_OK;
            }
        return E_FAIL;
    }
};

void Report(const char* name, double t, double ref, double goal) {
    printf("%-44s %8.3f ms  reference %8.3f ms  ratio %5.2f  (goal: at most %.1f)\n", name, t * 1e3,
           ref * 1e3, t / ref, goal);
    fflush(stdout);
}

// Seconds of one clock step of `ms` and one draw of the object, as a page
// plays it: the best of five runs of `steps` steps.
template <class Site, class Object>
double TickAndDraw(Site& site, Object* object, IPixelBuffer* target, const RECT& bounds, int steps,
                   int ms) {
    return BestOf(
               [&] {
                   for (int i = 0; i < steps; ++i) {
                       site.clock += ms;
                       site.sequencer.TickClients();
                       object->DrawContent(target, &bounds);
                   }
               },
               5) /
           steps;
}

// An object of the kind bound to the site as a page would bind it.
class Bound {
public:
    Bound(TestPlayerSite* site, HRESULT (*create)(IUnknown**)) : m_site(site) {
        memset(&m_record, 0, sizeof(m_record));
        m_record.nSchedule[1] = 100;
        m_record.nSchedule[2] = -1;
        m_record.nSchedule[3] = 100;
        strcpy(m_record.szName, "Bench");
        ObjectCreationRecord creation = {&m_record, &m_site};
        if (FAILED(create(&m_unknown)) || !m_unknown)
            return;
        m_unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&m_base));
        if (m_base && FAILED(m_base->Init(&creation))) {
            m_base->Release();
            m_base = nullptr;
        }
    }
    ~Bound() {
        if (m_base)
            m_base->Release();
        if (m_unknown)
            m_unknown->Release();
    }
    template <class T>
    T* As() const {
        return static_cast<T*>(m_base);
    }

private:
    TestObjectSite m_site;
    ObjectRecord m_record;
    IUnknown* m_unknown = nullptr;
    IObjectBase* m_base = nullptr;
};

// 998 shapes between the header and the end: 1,000 records.
std::string ThousandRecordEmf() {
    HDC screen = GetDC(nullptr);
    const RECT frame = {0, 0, 10000, 7500};
    HDC dc = CreateEnhMetaFileA(screen, nullptr, &frame, nullptr);
    ReleaseDC(nullptr, screen);
    for (int i = 0; i < 998; ++i) {
        const int x = (i * 37) % 360, y = (i * 53) % 260;
        switch (i % 3) {
            case 0:
                Rectangle(dc, x, y, x + 20, y + 14);
                break;
            case 1:
                Ellipse(dc, x, y, x + 18, y + 18);
                break;
            default:
                LineTo(dc, x, y);
                break;
        }
    }
    HENHMETAFILE meta = CloseEnhMetaFile(dc);
    std::string bits(GetEnhMetaFileBits(meta, 0, nullptr), '\0');
    GetEnhMetaFileBits(meta, (UINT)bits.size(), reinterpret_cast<BYTE*>(&bits[0]));
    DeleteEnhMetaFile(meta);
    return bits;
}

void GraphicRun(TestPlayerSite& site, BenchMedia& media) {
    const std::string emf = ThousandRecordEmf();
    media.embedded["Drawing"] = emf;
    Bound bound(&site, CreateGraphObject);
    GraphObject* g = bound.As<GraphObject>();
    if (!g || FAILED(g->TakeData(emf.data(), (DWORD)emf.size(), "Drawing"))) {
        printf("graphic object not loaded\n");
        return;
    }
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(g->MetaFile(), sizeof(header), &header);
    g->SetWidth(400);
    g->SetHeight(300);
    g->MoveTo(200, 150);
    LONG ratio = 0;
    g->get_ObjSizeRatio(&ratio);
    IPixelBuffer* target = CreateGDIBuffer(400, 300);
    RECT bounds;
    g->GetBoundsRect(&bounds);
    const double draw = BestOf([&] { g->DrawContent(target, &bounds); }, 20);
    HDC dc = nullptr;
    target->GetDC(&dc);
    const RECT box = g->PlayBox(bounds);
    const double play = BestOf([&] { PlayEnhMetaFile(dc, g->MetaFile(), &box); }, 20);
    target->ReleaseDC(dc);
    char name[80];
    snprintf(name, sizeof(name), "graphic, %u-record EMF at ratio %ld", (unsigned)header.nRecords,
             (long)ratio);
    Report(name, draw, play, 1.1);
    target->Release();
}

// Frames of 320 x 240 whose pixels all differ from the last frame's.
std::string BigGif(int frames) {
    picfix::GifAnimSpec s;
    s.width = 320;
    s.height = 240;
    s.palette.resize(768);
    for (int i = 0; i < 768; ++i) s.palette[i] = (uint8_t)(i * 7);
    for (int k = 0; k < frames; ++k) {
        picfix::GifFrameSpec f;
        f.width = 320;
        f.height = 240;
        f.control = true;
        f.delay = 10;
        f.indexes.resize(320 * 240);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) f.indexes[y * 320 + x] = (uint8_t)((x / 4 + y / 3 + k));
        s.frames.push_back(f);
    }
    picfix::Bytes b = picfix::WriteGifAnimation(s);
    return std::string(b.begin(), b.end());
}

void MovieRun(TestPlayerSite& site, BenchMedia& media) {
    const int frames = 20, steps = 100;
    const std::string gif = BigGif(frames);
    media.embedded["Anim"] = gif;
    Bound bound(&site, CreateMovieObject);
    MovieObject* m = bound.As<MovieObject>();
    if (!m || FAILED(m->TakeData(gif.data(), (DWORD)gif.size(), "Anim"))) {
        printf("movie not loaded\n");
        return;
    }
    m->SetWidth(322);
    m->SetHeight(242);
    m->MoveTo(200, 150);
    m->put_ObjAutoRepeat(1);
    m->put_ObjNotLimitRepeatTime(1);
    m->PlayMedia();
    IPixelBuffer* target = CreateGDIBuffer(400, 300);
    RECT bounds;
    m->GetBoundsRect(&bounds);
    const double movie = TickAndDraw(site, m, target, bounds, steps, 100);
    IMediaObjectBase* control = nullptr;
    if (FAILED(CreateMediaControl(MEDIA_CONTROL_ANIMATION, &site, &control)) || !control) {
        printf("no animation control\n");
        target->Release();
        return;
    }
    control->put_Kind(MOVIE_GIF);
    control->Open(gif.data(), (DWORD)gif.size());
    RECT inner = bounds;
    InflateRect(&inner, -1, -1);
    const RECT src = {0, 0, 320, 240};
    LONGLONG position = 0;
    const double bare = BestOf(
                            [&] {
                                for (int i = 0; i < steps; ++i) {
                                    position = (position + 1) % frames;
                                    control->put_CurPos(position);
                                    IPixelBuffer* frame = nullptr;
                                    if (SUCCEEDED(control->GrabFrame(&frame)) && frame) {
                                        target->Blit(&inner, frame, &src, 0);
                                        frame->Release();
                                    }
                                }
                            },
                            5) /
                        steps;
    Report("GIF movie 320 x 240, a tick and a draw", movie, bare, 1.2);
    m->StopMedia();
    control->Close();
    control->Release();
    target->Release();
}

// A stream of its own on the file, rendering into an off-screen surface as
// the video object's does.
struct OwnStream {
    IDirectDraw* ddraw = nullptr;
    IAMMultiMediaStream* stream = nullptr;
    IDirectDrawSurface* surface = nullptr;
    IDirectDrawStreamSample* sample = nullptr;

    bool Open(const std::string& path) {
        if (FAILED(DirectDrawCreate(nullptr, &ddraw, nullptr)) ||
            FAILED(ddraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL)) ||
            FAILED(CoCreateInstance(CLSID_AMMultiMediaStream, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IAMMultiMediaStream, reinterpret_cast<void**>(&stream))) ||
            FAILED(stream->Initialize(STREAMTYPE_READ, AMMSF_NOGRAPHTHREAD, nullptr)) ||
            FAILED(stream->AddMediaStream(ddraw, &MSPID_PrimaryVideo, 0, nullptr)) ||
            FAILED(stream->OpenFile(WideFromMultibyte(path.c_str()).c_str(), 0)))
            return false;
        IMediaStream* primary = nullptr;
        IDirectDrawMediaStream* video = nullptr;
        if (FAILED(stream->GetMediaStream(MSPID_PrimaryVideo, &primary)))
            return false;
        HRESULT hr =
            primary->QueryInterface(IID_IDirectDrawMediaStream, reinterpret_cast<void**>(&video));
        primary->Release();
        if (FAILED(hr))
            return false;
        DDSURFACEDESC desc = {};
        desc.dwSize = sizeof(desc);
        hr = video->GetFormat(&desc, nullptr, nullptr, nullptr);
        desc.dwFlags |= DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        if (SUCCEEDED(hr))
            hr = ddraw->CreateSurface(&desc, &surface, nullptr);
        if (SUCCEEDED(hr))
            hr = video->CreateSample(surface, nullptr, 0, &sample);
        video->Release();
        return SUCCEEDED(hr) && SUCCEEDED(stream->SetState(STREAMSTATE_RUN));
    }
    // Back to the start when the stream has ended.
    HRESULT Update() {
        HRESULT hr = sample->Update(0, nullptr, nullptr, 0);
        if (hr == MS_S_ENDOFSTREAM) {
            stream->Seek(0);
            hr = sample->Update(0, nullptr, nullptr, 0);
        }
        return hr;
    }
    ~OwnStream() {
        if (stream)
            stream->SetState(STREAMSTATE_STOP);
        if (sample)
            sample->Release();
        if (surface)
            surface->Release();
        if (stream)
            stream->Release();
        if (ddraw)
            ddraw->Release();
    }
};

void VideoRun(TestPlayerSite& site, BenchMedia& media, const std::string& path) {
    const int ticks = 40;
    media.files["Clip"] = path;
    Bound bound(&site, CreateVideoObject);
    VideoObject* v = bound.As<VideoObject>();
    if (!v) {
        printf("video object not made\n");
        return;
    }
    v->MoveTo(200, 150);
    v->put_ObjNotInWindow(1);
    v->put_ObjAutoRepeat(1);
    v->put_ObjNotLimitRepeatTimes(1);
    BSTR name = SysAllocString(L"Clip");
    v->put_ObjMediaName(name);
    SysFreeString(name);
    if (!v->Opened()) {
        printf("video in the page (not measured: it does not open here)\n");
        return;
    }
    v->PlayMedia();
    IPixelBuffer* target = CreateGDIBuffer(400, 300);
    RECT bounds;
    v->GetBoundsRect(&bounds);
    const double object = TickAndDraw(site, v, target, bounds, ticks, 50);
    OwnStream own;
    if (!own.Open(path)) {
        printf("video stream of its own does not open here\n");
        target->Release();
        return;
    }
    const RECT dest = v->VideoRect();
    HDC to = nullptr;
    target->GetDC(&to);
    SetStretchBltMode(to, HALFTONE);
    const double direct =
        BestOf(
            [&] {
                for (int i = 0; i < ticks; ++i) {
                    // As a tick: once more after a frame
                    // that came at once.
                    if (own.Update() == S_OK)
                        own.Update();
                    HDC from = nullptr;
                    if (SUCCEEDED(own.surface->GetDC(&from))) {
                        StretchBlt(to, dest.left, dest.top, dest.right - dest.left,
                                   dest.bottom - dest.top, from, 0, 0, 320, 240, SRCCOPY);
                        own.surface->ReleaseDC(from);
                    }
                }
            },
            5) /
        ticks;
    // The updates wait for the stream's clock: the draw alone, too.
    const int draws = 200;
    const double drawOnly = BestOf(
                                [&] {
                                    for (int i = 0; i < draws; ++i) v->DrawContent(target, &bounds);
                                },
                                5) /
                            draws;
    const double blitOnly =
        BestOf(
            [&] {
                for (int i = 0; i < draws; ++i) {
                    HDC from = nullptr;
                    if (SUCCEEDED(own.surface->GetDC(&from))) {
                        StretchBlt(to, dest.left, dest.top, dest.right - dest.left,
                                   dest.bottom - dest.top, from, 0, 0, 320, 240, SRCCOPY);
                        own.surface->ReleaseDC(from);
                    }
                }
            },
            5) /
        draws;
    target->ReleaseDC(to);
    Report("video 320 x 240 in the page, a tick and a draw", object, direct, 1.2);
    Report("video 320 x 240 in the page, the draw alone", drawOnly, blitOnly, 1.2);
    v->StopMedia();
    target->Release();
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    // Objects are made with their event procedures, as a page makes them.
    CExtensionManager registry;
    ObjectCreator creator;
    TestEventProcFactory procs;
    creator.Init(&registry, nullptr);
    creator.SetEventProcFactory(&procs);
    TestPlayerSite site;
    site.creator = &creator;
    BenchMedia media;
    site.media = static_cast<IMediaManager*>(&media);
    TempFolder folder;
    AviSpec spec;
    spec.width = 320;
    spec.height = 240;
    spec.frames = 50;
    spec.fps = 25;
    const std::string avi = folder.File("clip.avi");
    WriteFileBytes(avi, AviFile(spec));
    GraphicRun(site, media);
    MovieRun(site, media);
    VideoRun(site, media, avi);
    CoUninitialize();
    return 0;
}
