// CPathMotion: the ability that moves its object along drawn paths against
// the play clock (delays, durations, directions, speed curves and turning
// per path; repeats, alternation and bounds for the whole run) and holds the
// object to the same paths while the user drags it. It fires its events
// through its own "PathAnimate" event procedure.
#pragma once

#include <ocidl.h>
#include <stdint.h>

#include <vector>

#include "MavroRT_h.h"
#include "aObjItf.h"
#include "aVecFrm.h"
#include "aablbase.h"

// Motion flag bits.
enum PathMotionFlags : DWORD {
    PAM_REPEAT = 0x01,
    PAM_NO_AUTO = 0x02,
    PAM_BOUNDED = 0x04,
    PAM_ALTERNATE = 0x08,
};

// Drag flag bits and modes.
enum PathDragFlags : WORD {
    PAM_DRAG_ENABLED = 0x0001,
    PAM_DRAG_CENTRE = 0x0002,  // mode 8: a closed drag path starts at its centre
    PAM_DRAG_MODE_MASK = 0x001C,
    PAM_DRAG_FREE = 0x0000,
    PAM_DRAG_POINTS = 0x0004,
    PAM_DRAG_PATH = 0x0008,
    PAM_DRAG_START_MASK = 0x00E0,
    PAM_DRAG_START_MIDDLE = 0x0020,
    PAM_DRAG_START_LAST = 0x0040,
    PAM_SHOW_PATHS = 0x0100,
};

enum PathEventId : DWORD {
    PAM_EVT_START = 2300,
    PAM_EVT_END = 2301,
    PAM_EVT_PAUSE = 2302,
    PAM_EVT_RESUME = 2303,
    PAM_EVT_RELOOP = 2304,
    PAM_EVT_CHANGECURVE = 2305,
};

// One path as stored (the graph meta's record).
struct PathRecord {
    int32_t kind = 292;
    int32_t corner = 50;
    int32_t valueB = 0;
    RECT bounds = {0, 0, 0, 0};
    int32_t flags = 0;  // bit 2 closed, bit 4 extended attributes follow
    int32_t valueC = 1;
    // Roll mode, roll angle, delay, duration, direction, eleven speed-curve
    // values.
    int32_t motion[16] = {0,    0,    0,    0,    1,    0,    1000, 2000,
                          3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000};
    std::vector<POINT> points;
    int32_t lineMode = 5;
    int32_t lineWidth = 1;  // 16 bits kept
    int32_t secondValue = 0;
    uint32_t colors[3] = {0x808080, 0x808080, 0xFFFFFF};
    int32_t lastValue = 0;

    int RollMode() const { return motion[0]; }
    int RollAngle() const { return motion[1]; }
    int Delay() const { return motion[2]; }
    int Duration() const { return motion[3]; }
    int Direction() const { return motion[4]; }
    bool Closed() const { return (flags & 4) != 0; }
};

// The motion of one tick.
struct DrawSite {
    POINT pos;    // on the path, relative to its first point
    POINT delta;  // since the position last handed to the object
    LONG angle;   // 1/100 degree
    LONG deltaAngle;
    bool passChanged;
    bool pathChanged;
    int pass;
    int path;
};

// Power-basis coefficients of one cubic segment: B(t) = a t^3 + b t^2 + c t + d.
struct SegmentCoefficients {
    double ax, bx, cx, dx, ay, by, cy, dy;
};

// Geometry of the motion, shared with the benchmark.
namespace PathGeometry {
// Segments of a Bezier chain of m points: ceil((m - 1) / 3).
int SegmentCount(int m);
// The four control points of segment i (short last segments completed).
void SegmentPoints(const std::vector<POINT>& points, int i, POINT four[4]);
double SegmentLength(const POINT four[4]);
SegmentCoefficients Coefficients(const POINT four[4], bool reverse);
// The parameter t at distance s along a segment of those coefficients; false
// when the integration fails.
bool ParameterAtDistance(const SegmentCoefficients& k, double s, double* t);
// A Bezier chain completed to whole cubic segments.
std::vector<POINT> CompleteChain(const std::vector<POINT>& points);
// The nearest drag point to p (in x256 units) walking from `current`.
int NearestDragPoint(const std::vector<POINT>& dragPoints, int current, POINT p256);
}  // namespace PathGeometry

class CPathMotion : public IPathAnimate,
                    public ISupportErrorInfo,
                    public CAbility,
                    public IProvideClassInfo,
                    public IEventListener,
                    public StaticAbility,
                    public IVecFrameOwner,
                    public IMetaEnv {
public:
    CPathMotion();
    ~CPathMotion() override;

    // ---- IUnknown ----
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // ---- IDispatch, IPathAnimateDispAbl ----
    STDMETHOD(GetTypeInfoCount)(UINT* out) override;
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo** out) override;
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* ex,
     UINT* argError) override;
    STDMETHOD(get_CurveCount)(long* out) override;
    STDMETHOD(get_TimeCount)(long* out) override;
    STDMETHOD(GetCurPos)(long* x, long* y) override;

    // ---- IPathAnimate ----
    STDMETHOD(RebuildPaths)() override;
    STDMETHOD(DrawPaths)(IPixelBuffer* target) override;
    STDMETHOD(DrawPathsOn)(HDC dc) override;
    STDMETHOD(GetBounds)(RECT* out) override;
    STDMETHOD_(BOOL, GetShowPaths)() override;
    STDMETHOD(SetShowPaths)(BOOL on) override;

    // ---- ISupportErrorInfo, IProvideClassInfo ----
    STDMETHOD(InterfaceSupportsErrorInfo)(REFIID iid) override;
    STDMETHOD(GetClassInfo)(ITypeInfo** out) override;

    // ---- IAbility ----
    STDMETHOD(OnClock)() override;
    STDMETHOD(Start)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(Resume)() override;
    STDMETHOD(Stop)() override;

    // ---- IEventListener ----
    STDMETHOD(OnEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2) override;
    using CAbility::OnEvent;

    // ---- the common ability interface ----
    STDMETHOD(Attach)(IUnknown* object) override;
    STDMETHOD(GetObject)(IUnknown** out) override;
    STDMETHOD(LoadOwn)(ITeskStream* stream) override;
    STDMETHOD(SaveOwn)(ITeskStream* stream) override;

    // ---- IVecFrameOwner, IMetaEnv ----
    void ToOwnerPoints(POINT* points, int n) override;
    void FromOwnerPoints(POINT* points, int n) override;
    HRESULT OwnerHitTest(POINT) override { return S_FALSE; }
    HRESULT GetOwnerRect(RECT* rect) override;
    HRESULT GetOwnerCenter(POINT* centre) override;
    int GetOwnerDegree() override;
    CMetaEnv* GetOwnerEnv() override { return nullptr; }
    IMetaEnv* GetMetaEnv() override { return this; }
    IPlayerSite* GetPlaySite() override { return m_site; }
    BOOL IgnoresUnfilledArea() override { return FALSE; }
    void GetEditState(MetaEditState* state) override;
    BOOL GetMediaFolder(char*, size_t) override { return FALSE; }

    // The position for an ability time (ms).
    HRESULT GetDrawSite(double tau, DrawSite* out);
    // Length of a working path.
    double PathLength(int index) const;

    // The settings and state, for tests and the creator.
    DWORD m_motionFlags;
    WORD m_passCount;
    LONG m_startAngle;
    LONG m_timeLimit;
    WORD m_dragFlags;
    LONG m_dragPath;
    std::vector<PathRecord> m_loaded;
    std::vector<PathRecord> m_working;
    std::vector<POINT> m_dragPoints;  // x256, page units
    int m_dragIndex;
    CVecFrame* m_frame;

private:
    class DragControl : public IDragControl {
    public:
        explicit DragControl(CPathMotion* outer) : m_outer(outer) {}
        CPathMotion* Outer() { return m_outer; }
        STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
        STDMETHOD_(ULONG, AddRef)() override;
        STDMETHOD_(ULONG, Release)() override;
        STDMETHOD(Load)(ITeskStream* stream) override;
        STDMETHOD(Save)(ITeskStream* stream) override;
        STDMETHOD(Attach)(IUnknown* object) override;
        STDMETHOD(GetTwoValues)(LONG* a, LONG* b) override;
        STDMETHOD(BeginDrag)() override { return S_OK; }
        STDMETHOD(EndDrag)() override { return S_OK; }
        STDMETHOD(Reserved9)() override { return S_OK; }
        STDMETHOD(Reserved10)() override { return S_OK; }
        STDMETHOD(Reserved11)() override { return S_OK; }
        STDMETHOD(Reserved12)() override { return S_OK; }
        STDMETHOD_(WORD, GetFlags)() override;

    private:
        CPathMotion* m_outer;
    } m_drag;

    II_IRender* Render();
    ITypeInfo* TypeInfo();
    HRESULT ReadRecords(ITeskStream* stream, std::vector<PathRecord>* out);
    void WriteRecords(ITeskStream* stream, bool forFrame);
    void BuildFrame();
    HRESULT CalcDragPathPoint();
    HRESULT UpdateNearest(POINT p);
    void ResetMotion();
    void Advance();
    void Apply(const DrawSite& site);
    void PlaceAtStart();
    void PlaceAtEnd();
    void PlaceAt(POINT page);
    void Drag(const DragRecord* record);
    bool Displayed();
    POINT Origin();
    void FireInt(DWORD id, int value);

    LONG m_ref;
    IUnknown* m_carrier;  // borrowed: the object holds the ability
    ITypeInfo* m_typeInfo;
    bool m_started;
    POINT m_origin;  // the owner's absolute position when the paths were rebuilt
    bool m_originSet;
    std::vector<std::vector<double>> m_segLengths;
    std::vector<double> m_pathLengths;
    // Motion state.
    int m_pass;
    int m_path;
    float m_fraction;
    double m_distance;
    POINT m_lastPos;
    LONG m_angle;
    bool m_passChanged;
    // What the object has been given so far.
    POINT m_appliedPos;
    LONG m_appliedAngle;
};

// The creator of the built-in module.
HRESULT CreatePathMotion(IUnknown** out);
