// The object base and its part interfaces: identity and life cycle
// (IObjectBase), drawing and geometry (II_IRender), abilities
// (IAbilityContainer, the common ability interface, IAbility), events
// (IObjectEvent, IEventListener), cursor and tooltip parts, the parent group's
// child calls and the object factory (IObjectCreator). Slot numbers count
// QueryInterface as 0 and are fixed.
//
// Getters that hand out an interface pointer: sites (object site, play site)
// and the parent group are lent, without a reference; the holder outlives
// the object, and a caller that keeps one across a call that may end the
// page adds its own. Every other getter (parts, abilities, the attached
// object, event procedures) adds a reference that the caller releases.
#pragma once

#include "aPlaySite.h"

struct IPixelBuffer;
struct FillObject;
struct FontObject;

// The canvas's record of one object: 24 bytes, then the name.
struct ObjectRecord {
    DWORD dwKept;
    DWORD dwTypeId;     // written by the factory before Init
    LONG nSchedule[4];  // enter time (-1: not by the clock), enter to hold, hold (-1 ever), leave
                        // to exit
    char szName[32];    // multibyte, NUL-terminated
};
static_assert(sizeof(ObjectRecord) == 56, "object record is 24 bytes and the name");

// What the factory hands to Init: both borrowed.
struct ObjectCreationRecord {
    ObjectRecord* pRecord;
    IObjectSite* pSite;
};

// Notice codes of the life cycle and the stock event ids the framework fires.
enum ObjectNotice : DWORD {
    NOTIFY_ENTER = 1,
    NOTIFY_HOLD = 2,
    NOTIFY_LEAVE = 3,
    NOTIFY_EXIT = 4,
    NOTIFY_TICK = 0x10000,
    NOTIFY_SHOWHIDE = 0x10006,
    NOTIFY_TIMER = 0x20000,
};
enum ObjectEventId : DWORD {
    EVT_TIMER = 1000,
    EVT_KEYDOWN = 1008,
    EVT_KEYUP = 1009,
    EVT_GETCHAR = 1010,
    EVT_LBUTTONDOWN = 1100,
    EVT_LBUTTONUP = 1101,
    EVT_DBCLICK = 1102,
    EVT_CLICK = 1103,
    EVT_MOUSEENTER = 1111,
    EVT_MOUSELEAVE = 1112,
    EVT_MOUSEMOVE = 1115,
    EVT_MOUSEHOVER = 1116,
    EVT_BEGINDRAG = 1117,
    EVT_ENDDRAG = 1118,
    EVT_OBJECTENTER = 1200,
    EVT_OBJECTHOLD = 1201,
    EVT_OBJECTLEAVE = 1202,
    EVT_OBJECTEXIT = 1203,
    EVT_CONTROLEVENT = 2001,
};

// Render states.
enum RenderState { RS_IDLE = 0, RS_ENTERED = 1, RS_HOLDING = 2, RS_LEAVING = 3, RS_EXITED = 4 };

// Render flag bits.
enum RenderFlags : DWORD {
    RF_MIRROR_H = 0x01,
    RF_MIRROR_V = 0x02,
    RF_VISIBLE = 0x04,
    RF_FLAG8 = 0x08,
    RF_FLAG16 = 0x10,
};

// Receives the external files an object needs (code 2000 a library
// cursor, 64 a cursor file, else a media type).
// {7B3E2A91-5C44-4D1E-8F0B-6A2D9C1E4B57}
struct IFileCollector : public IUnknown {
    STDMETHOD(AddFile)(int code, const char* path) = 0;  // 3
};
DECLARE_IID(IFileCollector, 0x7B3E2A91, 0x5C44, 0x4D1E, 0x8F, 0x0B, 0x6A, 0x2D, 0x9C, 0x1E, 0x4B,
            0x57);

struct IObjectCreator;

// {C0BC2633-...}
struct IObjectBase : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;                 // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;                 // 4
    STDMETHOD(SetEventSite)(IPlayerSite* site) = 0;           // 5
    STDMETHOD(Init)(ObjectCreationRecord* record) = 0;        // 6
    STDMETHOD(Enter)() = 0;                                   // 7
    STDMETHOD(Hold)() = 0;                                    // 8
    STDMETHOD(Leave)() = 0;                                   // 9
    STDMETHOD(Exit)() = 0;                                    // 10
    STDMETHOD(Tick)(int arg) = 0;                             // 11
    STDMETHOD(Notify)(int code, int arg) = 0;                 // 12
    STDMETHOD(Refresh)(int arg) = 0;                          // 13
    STDMETHOD(GetObjectSite)(IObjectSite** out) = 0;          // 14 lent
    STDMETHOD(ObjName)(BSTR* out) = 0;                        // 15
    STDMETHOD(ObjID)(DWORD* out) = 0;                         // 16
    STDMETHOD(GetParent)(IUnknown** out) = 0;                 // 17 lent; null at top level
    STDMETHOD(SetParent)(IUnknown* parent) = 0;               // 18
    STDMETHOD(GetSchedule1)(LONG* out) = 0;                   // 19
    STDMETHOD(GetSchedule2)(LONG* out) = 0;                   // 20
    STDMETHOD(GetSchedule3)(LONG* out) = 0;                   // 21
    STDMETHOD(GetSchedule4)(LONG* out) = 0;                   // 22
    STDMETHOD(CollectFiles)(IFileCollector* collector) = 0;   // 23
    STDMETHOD(Reserved24)() = 0;                              // 24
    STDMETHOD(QueryAbility)(REFIID iid, IUnknown** out) = 0;  // 25
    STDMETHOD(NotifySite)(DWORD_PTR arg) = 0;                 // 26
    STDMETHOD(Reserved27)() = 0;                              // 27
};
TESK_IID(IObjectBase, 0x33);

// {C0BC2634-...} The render part. Getters answer values; "Is" operations
// answer 0 for yes.
struct II_IRender : public IUnknown {
    STDMETHOD_(LONG, GetHeight)() = 0;                                                  // 3
    STDMETHOD(SetHeight)(LONG h) = 0;                                                   // 4
    STDMETHOD_(LONG, GetWidth)() = 0;                                                   // 5
    STDMETHOD(SetWidth)(LONG w) = 0;                                                    // 6
    STDMETHOD_(LONG, GetXCenter)() = 0;                                                 // 7
    STDMETHOD(SetXCenter)(LONG x) = 0;                                                  // 8
    STDMETHOD_(LONG, GetYCenter)() = 0;                                                 // 9
    STDMETHOD(SetYCenter)(LONG y) = 0;                                                  // 10
    STDMETHOD_(LONG, GetAbsoluteX)() = 0;                                               // 11
    STDMETHOD_(LONG, GetAbsoluteY)() = 0;                                               // 12
    STDMETHOD(GetOffsetX)(LONG* out) = 0;                                               // 13
    STDMETHOD(GetOffsetY)(LONG* out) = 0;                                               // 14
    STDMETHOD(MoveTo)(LONG x, LONG y) = 0;                                              // 15
    STDMETHOD(MoveBy)(LONG dx, LONG dy) = 0;                                            // 16
    STDMETHOD(SetAnchor)(LONG x, LONG y) = 0;                                           // 17
    STDMETHOD(OffsetBounds)(LONG dx, LONG dy) = 0;                                      // 18
    STDMETHOD_(LONG, GetAngle)() = 0;                                                   // 19
    STDMETHOD(SetAngle)(LONG a) = 0;                                                    // 20
    STDMETHOD(AddAngle)(LONG d) = 0;                                                    // 21
    STDMETHOD(RotateBy)(LONG d) = 0;                                                    // 22
    STDMETHOD(Draw)(IPixelBuffer* target) = 0;                                          // 23
    STDMETHOD(InvalidateBounds)(IPixelBuffer* target) = 0;                              // 24
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) = 0;                                  // 25
    STDMETHOD(SetVisible)(BOOL on) = 0;                                                 // 26
    STDMETHOD_(int, IsVisible)() = 0;                                                   // 27
    STDMETHOD_(int, IsActive)() = 0;                                                    // 28
    STDMETHOD(SetState)(int state) = 0;                                                 // 29
    STDMETHOD_(int, GetState)() = 0;                                                    // 30
    STDMETHOD(Deactivate)() = 0;                                                        // 31
    STDMETHOD_(int, TestRegion)(HRGN region) = 0;                                       // 32
    STDMETHOD(GetBoundsRect)(RECT* out) = 0;                                            // 33
    STDMETHOD(GetTransformedBounds)(RECT* out) = 0;                                     // 34
    STDMETHOD(GetTransition)(int which, IUnknown** out) = 0;                            // 35
    STDMETHOD(GetEffect)(IUnknown** out) = 0;                                           // 36
    STDMETHOD(GetAttachedPart)(IUnknown** out) = 0;                                     // 37
    STDMETHOD(Reserved38)() = 0;                                                        // 38
    STDMETHOD(UnionInvalid)() = 0;                                                      // 39
    STDMETHOD(SetFlag8)(BOOL on) = 0;                                                   // 40
    STDMETHOD_(int, IsFlag8)() = 0;                                                     // 41
    STDMETHOD_(int, IsFlag16)() = 0;                                                    // 42
    STDMETHOD(Reserved43)() = 0;                                                        // 43
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                                       // 44
    STDMETHOD(GetSite)(IPlayerSite** out) = 0;                                          // 45 lent
    STDMETHOD(CreateParts)(ObjectCreationRecord* record) = 0;                           // 46
    STDMETHOD_(LONG, GetStoredWidth)() = 0;                                             // 47
    STDMETHOD_(LONG, GetStoredHeight)() = 0;                                            // 48
    STDMETHOD(ResetLayout)() = 0;                                                       // 49
    STDMETHOD_(int, GetAlpha)() = 0;                                                    // 50
    STDMETHOD(SetAlpha)(int alpha) = 0;                                                 // 51
    STDMETHOD_(LONG, GetRotation)() = 0;                                                // 52
    STDMETHOD(SetRotation)(LONG degrees) = 0;                                           // 53
    STDMETHOD_(int, PrepareDraw)(IPixelBuffer* target) = 0;                             // 54
    STDMETHOD(CollectFiles)(IFileCollector* collector) = 0;                             // 55
    STDMETHOD(Reserved56)() = 0;                                                        // 56
    STDMETHOD(OnEnter)() = 0;                                                           // 57
    STDMETHOD(OnHold)() = 0;                                                            // 58
    STDMETHOD(OnLeave)() = 0;                                                           // 59
    STDMETHOD(OnExit)() = 0;                                                            // 60
    STDMETHOD(OnTick)(int arg) = 0;                                                     // 61
    STDMETHOD(OnNotify)(int code) = 0;                                                  // 62
    STDMETHOD(Refresh)() = 0;                                                           // 63
    STDMETHOD(Invalidate)(const RECT* rect) = 0;                                        // 64
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) = 0;  // 65
    STDMETHOD(OnAngleChanged)(LONG before) = 0;                                         // 66
    STDMETHOD(OnChange)(int code) = 0;                                                  // 67
    STDMETHOD(BeforeEnter)() = 0;                                                       // 68
    STDMETHOD(BeforeHold)() = 0;                                                        // 69
    STDMETHOD(BeforeLeave)() = 0;                                                       // 70
    STDMETHOD(BeforeExit)() = 0;                                                        // 71
    STDMETHOD(BeginChange)(RECT* save) = 0;                                             // 72
    STDMETHOD(EndChange)(const RECT* saved) = 0;                                        // 73
};
TESK_IID(II_IRender, 0x34);

// {C0BC2639-...} The ability container; ObjectBase adds 12-17.
struct IAbilityContainer : public IUnknown {
    // 0 found (out holds the ability, counted; null for an empty slot), 1 none.
    STDMETHOD(QueryAbility)(REFIID iid, IUnknown** out) = 0;                         // 3
    STDMETHOD(AddAbility)(const wchar_t* name) = 0;                                  // 4
    STDMETHOD(SetAbility)(const wchar_t* name, LONG id, IUnknown* ability) = 0;      // 5
    STDMETHOD(RemoveAbility)(const wchar_t* name) = 0;                               // 6
    STDMETHOD(GetAbility)(const wchar_t* name, REFIID iid, void** out) = 0;          // 7
    STDMETHOD(SetValue)(LONG value) = 0;                                             // 8
    STDMETHOD(CopyAbility)(REFIID iid, IAbilityContainer* source, DWORD flags) = 0;  // 9
    STDMETHOD(GetPlaySite)(IPlayerSite** out) = 0;                                   // 10 lent
    // Per-type answer to QueryAbility; S_FALSE: not handled here.
    STDMETHOD(QueryAbilityHook)(REFIID iid, IUnknown** out) = 0;  // 11
};
TESK_IID(IAbilityContainer, 0x39);

// The container as ObjectBase extends it.
struct IObjectContainer : public IAbilityContainer {
    STDMETHOD(LoadExtension)(ITeskStream* stream) = 0;  // 12
    STDMETHOD(SaveExtension)(ITeskStream* stream) = 0;  // 13
    STDMETHOD(Reserved14)() = 0;                        // 14
    STDMETHOD(GetBounds)(RECT* out) = 0;                // 15
    // A rectangle with its angle (1/100 degree).
    STDMETHOD(SetBounds)(const RECT* rect, LONG angle) = 0;  // 16
    STDMETHOD(InvalidateObject)(const RECT* rect) = 0;       // 17
};

// {C0BC2641-...} The common ability interface.
struct IAbilityCreate : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;                      // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;                      // 4
    STDMETHOD(Attach)(IUnknown* object) = 0;                       // 5
    STDMETHOD(GetTwoValues)(LONG* a, LONG* b) = 0;                 // 6
    STDMETHOD(GetObject)(IUnknown** out) = 0;                      // 7
    STDMETHOD(LoadOwn)(ITeskStream* stream) = 0;                   // 8
    STDMETHOD(Reserved9)() = 0;                                    // 9
    STDMETHOD(SaveOwn)(ITeskStream* stream) = 0;                   // 10
    STDMETHOD(GetEventProc)(IDispatch** out) = 0;                  // 11
    STDMETHOD(CopyFrom)(IAbilityCreate* source, DWORD flags) = 0;  // 12
    STDMETHOD_(WORD, GetFlags)() = 0;                              // 13
    STDMETHOD(SetFlags)(WORD flags) = 0;                           // 14
};
TESK_IID(IAbilityCreate, 0x41);

// {C0BC2609-...} A clock-driven ability.
struct IAbility : public IUnknown {
    STDMETHOD(Reserved3)() = 0;                 // 3
    STDMETHOD(Reserved4)() = 0;                 // 4
    STDMETHOD(OnClock)() = 0;                   // 5
    STDMETHOD(Start)() = 0;                     // 6
    STDMETHOD(Pause)() = 0;                     // 7
    STDMETHOD(Resume)() = 0;                    // 8
    STDMETHOD(Stop)() = 0;                      // 9
    STDMETHOD(OnEvent)(LONG code) = 0;          // 10
    STDMETHOD(SetStartCode)(LONG code) = 0;     // 11
    STDMETHOD_(LONG, GetStartCode)() = 0;       // 12
    STDMETHOD(SetPauseCode)(LONG code) = 0;     // 13
    STDMETHOD_(LONG, GetPauseCode)() = 0;       // 14
    STDMETHOD_(int, GetState)() = 0;            // 15
    STDMETHOD(GetSite)(IPlayerSite** out) = 0;  // 16 lent
    STDMETHOD(SetSite)(IPlayerSite* site) = 0;  // 17
};
TESK_IID(IAbility, 0x09);

// {C0BC2659-...}
struct IEventListener : public IUnknown {
    STDMETHOD(OnEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2) = 0;  // 3
};
TESK_IID(IEventListener, 0x59);

// {C0BC265A-...} The event interface of objects, pages and the application.
// Its GetSite, unlike the other site getters, adds a reference.
struct IObjectEvent : public IUnknown {
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) = 0;  // 3
    STDMETHOD(Notify)(DWORD code, DWORD_PTR arg) = 0;                                    // 4
    STDMETHOD(GetSite)(IUnknown** out) = 0;                                              // 5
    STDMETHOD(AddListener)(IUnknown* listener) = 0;                                      // 6
    STDMETHOD(RemoveListener)(IUnknown* listener) = 0;                                   // 7
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;                                        // 8
};
TESK_IID(IObjectEvent, 0x5A);

// The cursor exchange record of operations 7 and 8: bit 0 of which the kind,
// bit 1 the value of the kind.
struct CursorRecord {
    DWORD dwWhich;
    BYTE bKind;
    LONG nNumber;     // kinds 1 and 2
    char szText[32];  // kind 3
};

// {C0BC2654-...}
struct ICursorAbility : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;                  // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;                  // 4
    STDMETHOD(Reserved5)() = 0;                                // 5
    STDMETHOD(CopyFrom)(ICursorAbility* source) = 0;           // 6
    STDMETHOD(SetFromRecord)(const CursorRecord* record) = 0;  // 7
    STDMETHOD(GetToRecord)(CursorRecord* record) = 0;          // 8
    STDMETHOD(FromText)(const char* text) = 0;                 // 9
    STDMETHOD(ToText)(char* buffer, int size) = 0;             // 10
    STDMETHOD(GetKind)(LONG* out) = 0;                         // 11
    STDMETHOD_(BYTE, GetKindByte)() = 0;                       // 12
    STDMETHOD(SetKindByte)(BYTE kind) = 0;                     // 13
    STDMETHOD(GetNumber)(LONG* out, int source) = 0;           // 14
    STDMETHOD(SetNumber)(LONG number, int source) = 0;         // 15
    STDMETHOD(GetText)(char* buffer, int size) = 0;            // 16
    STDMETHOD(SetFile)(const char* text) = 0;                  // 17
    STDMETHOD(GetHandle)(HCURSOR* out) = 0;                    // 18
    STDMETHOD(Reserved19)(void** out) = 0;                     // 19
    STDMETHOD(LoadCursorHandle)() = 0;                         // 20
    STDMETHOD_(int, IsApplied)() = 0;                          // 21
    STDMETHOD(Apply)() = 0;                                    // 22
    STDMETHOD(Restore)() = 0;                                  // 23
    STDMETHOD(GetSiteOverride)(IPlayerSite** out) = 0;         // 24 lent
};
TESK_IID(ICursorAbility, 0x54);

// {C0BC2657-...}
struct IToolTipProp : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;       // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;       // 4
    STDMETHOD(CopyFrom)(IToolTipProp* source) = 0;  // 5
    STDMETHOD(SetEnabled)(BOOL on) = 0;             // 6
    STDMETHOD_(int, IsEnabled)() = 0;               // 7
    STDMETHOD(SetBorder)(BOOL on) = 0;              // 8
    STDMETHOD_(int, HasBorder)() = 0;               // 9
    STDMETHOD(SetBorderColor)(COLORREF color) = 0;  // 10
    STDMETHOD_(COLORREF, GetBorderColor)() = 0;     // 11
    STDMETHOD_(FillObject*, GetFill)() = 0;         // 12
    STDMETHOD_(FontObject*, GetText)() = 0;         // 13
    STDMETHOD(LayoutAt)(POINT pt) = 0;              // 14
    STDMETHOD(GetOrigin)(POINT* out) = 0;           // 15
    STDMETHOD(AdjustPoint)(POINT* pt) = 0;          // 16
    STDMETHOD(SetRect)(const RECT* rect) = 0;       // 17
    STDMETHOD(GetRect)(RECT* out) = 0;              // 18
    STDMETHOD(SetShowDelay)(LONG ms) = 0;           // 19
    STDMETHOD_(LONG, GetShowDelay)() = 0;           // 20
    STDMETHOD(SetStay)(BOOL on) = 0;                // 21
    STDMETHOD_(int, IsStay)() = 0;                  // 22
    STDMETHOD(SetHideDelay)(LONG ms) = 0;           // 23
    STDMETHOD_(LONG, GetHideDelay)() = 0;           // 24
};
TESK_IID(IToolTipProp, 0x57);

// {C0BC2658-...} The player's one tooltip window.
struct IToolTipWnd : public IUnknown {
    STDMETHOD(Draw)(IPixelBuffer* target) = 0;   // 3
    STDMETHOD(Begin)(IUnknown* object) = 0;      // 4
    STDMETHOD(Update)(IToolTipProp* props) = 0;  // 5
    STDMETHOD(Hide)() = 0;                       // 6
    STDMETHOD(Drop)(IUnknown* object) = 0;       // 7
};
TESK_IID(IToolTipWnd, 0x58);

// {C0BC2649-...} The group object as its children reach it (slots 41-44;
// the group's other members come with the group).
struct IGroupObject : public IUnknown {
    STDMETHOD(GroupSlot3)() = 0;
    STDMETHOD(GroupSlot4)() = 0;
    STDMETHOD(GroupSlot5)() = 0;
    STDMETHOD(GroupSlot6)() = 0;
    STDMETHOD(GroupSlot7)() = 0;
    STDMETHOD(GroupSlot8)() = 0;
    STDMETHOD(GroupSlot9)() = 0;
    STDMETHOD(GroupSlot10)() = 0;
    STDMETHOD(GroupSlot11)() = 0;
    STDMETHOD(GroupSlot12)() = 0;
    STDMETHOD(GroupSlot13)() = 0;
    STDMETHOD(GroupSlot14)() = 0;
    STDMETHOD(GroupSlot15)() = 0;
    STDMETHOD(GroupSlot16)() = 0;
    STDMETHOD(GroupSlot17)() = 0;
    STDMETHOD(GroupSlot18)() = 0;
    STDMETHOD(GroupSlot19)() = 0;
    STDMETHOD(GroupSlot20)() = 0;
    STDMETHOD(GroupSlot21)() = 0;
    STDMETHOD(GroupSlot22)() = 0;
    STDMETHOD(GroupSlot23)() = 0;
    STDMETHOD(GroupSlot24)() = 0;
    STDMETHOD(GroupSlot25)() = 0;
    STDMETHOD(GroupSlot26)() = 0;
    STDMETHOD(GroupSlot27)() = 0;
    STDMETHOD(GroupSlot28)() = 0;
    STDMETHOD(GroupSlot29)() = 0;
    STDMETHOD(GroupSlot30)() = 0;
    STDMETHOD(GroupSlot31)() = 0;
    STDMETHOD(GroupSlot32)() = 0;
    STDMETHOD(GroupSlot33)() = 0;
    STDMETHOD(GroupSlot34)() = 0;
    STDMETHOD(GroupSlot35)() = 0;
    STDMETHOD(GroupSlot36)() = 0;
    STDMETHOD(GroupSlot37)() = 0;
    STDMETHOD(GroupSlot38)() = 0;
    STDMETHOD(GroupSlot39)() = 0;
    STDMETHOD(GroupSlot40)() = 0;
    // A child enters: 1 when the group keeps it from entering.
    STDMETHOD_(int, ChildEnter)(IUnknown* child) = 0;  // 41
    STDMETHOD(ChildHold)(IUnknown* child) = 0;         // 42
    STDMETHOD(ChildLeave)(IUnknown* child) = 0;        // 43
    STDMETHOD(ChildExit)(IUnknown* child) = 0;         // 44
};
TESK_IID(IGroupObject, 0x49);

// {C0BC265D-...} The path-motion ability's automation interface
// (IPathAnimateDispAbl's slots) with its private operations after the three
// members.
struct IPathAnimate : public IDispatch {
    STDMETHOD(get_CurveCount)(long* out) = 0;    // 7
    STDMETHOD(get_TimeCount)(long* out) = 0;     // 8
    STDMETHOD(GetCurPos)(long* x, long* y) = 0;  // 9
    // Rebuilds the working paths and drag points and resets the motion.
    STDMETHOD(RebuildPaths)() = 0;  // 10
    // Only while the paths are shown and the owner is displayed.
    STDMETHOD(DrawPaths)(IPixelBuffer* target) = 0;  // 11
    STDMETHOD(DrawPathsOn)(HDC dc) = 0;              // 12
    // Empty unless the paths are shown and the owner is displayed.
    STDMETHOD(GetBounds)(RECT* out) = 0;   // 13
    STDMETHOD_(BOOL, GetShowPaths)() = 0;  // 14
    STDMETHOD(SetShowPaths)(BOOL on) = 0;  // 15
};
TESK_IID(IPathAnimate, 0x5D);

// The drag record handed to the drag ability's listener with event 1119.
struct DragRecord {
    LPARAM lParam;
    LONG x, y;
    LONG startX, startY;
    LONG downX, downY;
};

// {CCAD623C-52E4-4DBB-9BBE-9CEE9E40A014} The drag part of the path-motion
// ability as input routing uses it: begin (operation 7) and end (operation 8)
// of a drag. Its own identifier: the ability's common interface has other
// members in those slots.
struct IDragControl : public IUnknown {
    STDMETHOD(Load)(ITeskStream* stream) = 0;       // 3
    STDMETHOD(Save)(ITeskStream* stream) = 0;       // 4
    STDMETHOD(Attach)(IUnknown* object) = 0;        // 5
    STDMETHOD(GetTwoValues)(LONG* a, LONG* b) = 0;  // 6
    STDMETHOD(BeginDrag)() = 0;                     // 7
    STDMETHOD(EndDrag)() = 0;                       // 8
    STDMETHOD(Reserved9)() = 0;                     // 9
    STDMETHOD(Reserved10)() = 0;                    // 10
    STDMETHOD(Reserved11)() = 0;                    // 11
    STDMETHOD(Reserved12)() = 0;                    // 12
    STDMETHOD_(WORD, GetFlags)() = 0;               // 13 bit 0: dragging allowed
};
DECLARE_IID(IDragControl, 0xCCAD623C, 0x52E4, 0x4DBB, 0x9B, 0xBE, 0x9C, 0xEE, 0x9E, 0x40, 0xA0,
            0x14);

// The object factory (ObjectCreator).
struct IObjectCreator : public IUnknown {
    STDMETHOD(CreateObject)
    (DWORD typeId, ObjectCreationRecord* record, REFIID iid, void** out) = 0;             // 3
    STDMETHOD(CreateAbilityById)(LONG id, IUnknown* object, REFIID iid, void** out) = 0;  // 4
    STDMETHOD(CreatePlugin)(REFCLSID clsid, REFIID iid, void** out) = 0;                  // 5
    STDMETHOD(CoCreate)(REFCLSID clsid, REFIID iid, void** out) = 0;                      // 6
    STDMETHOD(CreateEventProc)(int type, IUnknown* object, IDispatch** out) = 0;          // 7
    // S_OK and the module id when an ability module serves iid; S_FALSE and
    // -1 when none does (an id of -1 is a valid module id too).
    STDMETHOD(FindAbilityModule)(REFIID iid, LONG* id) = 0;  // 8
    STDMETHOD_(void, DeleteThis)(UINT flags) = 0;            // 9
};
