// Path motion and the ActiveX object, each against a reference in the same
// run: one tick's position (GetDrawSite) on a path of four Bezier segments
// against one Simpson integral of a segment's length (goal 25 times or
// less); drawing the window-less test control through the object against
// the control's own IViewObject::Draw on the same device context (goal 1.3);
// getting "Ax.Color" through the object against IDispatch::Invoke on the
// control (goal 2).
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "ObjectDoubles.h"
#include "ObjectRecordWriter.h"
#include "aAxObj.h"
#include "aCreator.h"
#include "aExtMgr.h"
#include "aGDIBuf.h"
#include "aMFrame.h"
#include "bFillShd.h"
#include "aPamAbl.h"
#include "aStorage.h"
#include "bGrphLib.h"

namespace {

const GUID kTestControl = {
    0x6A1C3E23, 0x5B7D, 0x4F0A, {0x9C, 0x21, 0x3D, 0x4E, 0x5F, 0x60, 0x71, 0x81}};

std::wstring HostWinPath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) path.push_back(*p == '/' ? L'\\' : (wchar_t)*p);
    return path;
}

CComPtr<ITeskStream> StreamOf(const std::vector<uint8_t>& bytes) {
    CComPtr<ITeskStream> stream;
    CreateMemStream(&stream, 4096);
    stream->SetMode(1);
    stream->Write(bytes.data(), (ULONG)bytes.size());
    stream->SetMode(0);
    stream->Seek(0, TESK_SEEK_SET);
    return stream;
}

// The window-less test control through the object and on its own. The
// control's class is offered by its own factory for this process only: the
// machine's registry is left alone.
int BenchActiveX() {
    typedef HRESULT(WINAPI * GetClassObject)(REFCLSID, REFIID, void**);
    HMODULE dll = LoadLibraryW(HostWinPath(TESTAXCONTROL_DLL).c_str());
    GetClassObject get = dll ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(
                                   GetProcAddress(dll, "DllGetClassObject")))
                             : nullptr;
    CComPtr<IClassFactory> factory;
    DWORD cookie = 0;
    if (!get || FAILED(get(kTestControl, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(CoRegisterClassObject(kTestControl, factory, CLSCTX_INPROC_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie))) {
        printf("the test control is not there\n");
        return 1;
    }
    CExtensionManager registry;
    ObjectCreator creator;
    creator.Init(&registry, nullptr);
    TestEventProcFactory procs;
    creator.SetEventProcFactory(&procs);
    TestPlayerSite site;
    site.creator = &creator;
    TestObjectSite objectSite(&site);
    ObjectRecord record;
    memset(&record, 0, sizeof(record));
    record.nSchedule[2] = -1;
    strcpy(record.szName, "Control");
    ObjectCreationRecord creation = {&record, &objectSite};
    CComPtr<IUnknown> unknown;
    CComPtr<IObjectBase> base;
    if (FAILED(CreateActiveXObject(&unknown)) ||
        FAILED(unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base))) ||
        FAILED(base->Init(&creation))) {
        printf("the object was not made\n");
        return 1;
    }
    ActiveXObject* ax = static_cast<ActiveXObject*>(static_cast<IObjectBase*>(base.p));
    ax->SetWidth(200);
    ax->SetHeight(150);
    ax->MoveTo(300, 200);
    AxObjectRecord rec;
    rec.clsid = kTestControl;
    rec.saved = TestAxControlState(RGB(40, 90, 200), false);
    CComPtr<IViewObject> view;
    CComPtr<IDispatch> control;
    CComPtr<IUnknown> controlUnknown;
    if (FAILED(ax->LoadKind(StreamOf(WriteAxObjectRecord(rec)))) ||
        FAILED(ax->GetControlUnknown(&controlUnknown)) ||
        FAILED(controlUnknown->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view))) ||
        FAILED(ax->GetControlDispatch(&control))) {
        printf("the control was not made\n");
        return 1;
    }
    // A page buffer as the player makes it: a bitmap buffer with its own DC.
    CComObject<CGDIBitmapBuffer>* page = nullptr;
    if (FAILED(CComObject<CGDIBitmapBuffer>::CreateInstance(&page)) || !page)
        return 1;
    page->AddRef();
    page->Create(640, 480);
    // Its frame neither shown nor filled: only the control is drawn.
    CComPtr<IUnknown> part;
    CComPtr<IMediaFrame> frame;
    CComPtr<FillObject> fill;
    if (SUCCEEDED(ax->GetAttachedPart(&part)) && part &&
        SUCCEEDED(part->QueryInterface(__uuidof(IMediaFrame), reinterpret_cast<void**>(&frame))) &&
        SUCCEEDED(frame->GetFill(&fill)) && fill) {
        frame->SetShown(FALSE);
        fill->SetMode(FILLMODE_NONE);
    }
    RECT r;
    ax->GetBoundsRect(&r);
    ax->DrawContent(page, &r);  // the first draw activates the control
    const int n = 2000;
    const double throughObject = FastestRun(
        [&] {
            for (int i = 0; i < n; ++i) ax->DrawContent(page, &r);
        },
        5);
    HDC dc = nullptr;
    page->GetDC(&dc);
    const RECTL bounds = {r.left, r.top, r.right, r.bottom};
    const double own = FastestRun(
        [&] {
            for (int i = 0; i < n; ++i)
                view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                           nullptr, 0);
        },
        5);
    page->ReleaseDC(dc);
    printf("window-less control: through the object %.2f us, IViewObject::Draw %.2f us\n",
           throughObject / n * 1e6, own / n * 1e6);
    printf("ratio %.2f (goal 1.3 or less)\n", throughObject / own);

    LPOLESTR name = const_cast<LPOLESTR>(L"Ax.Color");
    DISPID id = DISPID_UNKNOWN;
    ax->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    LONG seen = 0;
    const int m = 20000;
    const double throughName = FastestRun(
        [&] {
            for (int i = 0; i < m; ++i) {
                VARIANT v;
                VariantInit(&v);
                ax->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
                seen += v.lVal;
            }
        },
        5);
    const double direct = FastestRun(
        [&] {
            for (int i = 0; i < m; ++i) {
                VARIANT v;
                VariantInit(&v);
                control->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
                seen += v.lVal;
            }
        },
        5);
    printf("\"Ax.Color\": through the object %.3f us, the control's Invoke %.3f us\n",
           throughName / m * 1e6, direct / m * 1e6);
    printf("ratio %.2f (goal 2 or less)%s\n", throughName / direct, seen == 1 ? " " : "");
    page->Release();
    view.Release();
    control.Release();
    controlUnknown.Release();
    base.Release();
    unknown.Release();
    CoRevokeClassObject(cookie);
    return 0;
}

}  // namespace

int main() {
    OleInitialize(nullptr);
    MotionPathRecord path;
    path.kind = 2;
    path.duration = 4000;
    path.points = {{0, 0},     {80, -60},  {160, 60},  {240, 0},   {320, -60}, {400, 90}, {480, 0},
                   {420, 120}, {300, 200}, {240, 160}, {120, 260}, {40, 140},  {0, 0}};
    PathMotionRecord record;
    record.paths = {path};
    const std::vector<uint8_t> bytes = WritePathMotionRecord(record);
    CComPtr<ITeskStream> stream;
    CreateMemStream(&stream, 4096);
    stream->SetMode(1);
    stream->Write(bytes.data(), (ULONG)bytes.size());
    stream->SetMode(0);
    stream->Seek(0, TESK_SEEK_SET);
    CComPtr<IUnknown> unknown;
    CreatePathMotion(&unknown);
    CComPtr<IAbilityCreate> create;
    unknown->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&create));
    CPathMotion* motion = static_cast<CPathMotion*>(static_cast<IAbilityCreate*>(create));
    if (FAILED(create->LoadOwn(stream)) || FAILED(motion->RebuildPaths())) {
        printf("the path did not load\n");
        return 1;
    }
    const int n = 2000;
    double sink = 0;
    const double tick = BestOf(
        [&] {
            for (int i = 0; i < n; ++i) {
                DrawSite site;
                motion->GetDrawSite((i * 7919) % 4000, &site);
                sink += site.pos.x;
            }
        },
        5);
    double c[5];
    const std::vector<POINT>& p = path.points;
    BezierSpeedCoefficients(p[0], p[1], p[2], p[3], c);
    const double integral = BestOf(
        [&] {
            for (int i = 0; i < n; ++i) {
                double v = 0;
                SimponIntergral(c, 5, 0.0, 1.0, &v);
                sink += v;
            }
        },
        5);
    printf("GetDrawSite, four segments: %.2f us per tick\n", tick / n * 1e6);
    printf("SimponIntergral, one segment: %.2f us\n", integral / n * 1e6);
    printf("ratio %.1f (goal 25 or less)%s\n", tick / integral, sink == 0.5 ? " " : "");
    return BenchActiveX();
}
