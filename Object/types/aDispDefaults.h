// The members a kind's dual interface adds after the common ones, answered
// with E_NOTIMPL until the kind gives its own: a class of the kind that has
// no behaviour of its own (test and placeholder kinds) stays complete.
#pragma once

#include "MavroRT_h.h"
#include "aAxObject.h"

class PictureDispDefaults : public IPictureDispObj {
public:
    STDMETHOD(get_ObjMediaName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMediaName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMediaWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMediaHeight)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMuti)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMuti)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjSameProportion)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjSameProportion)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(MultipleObj)(LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjClipTop)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjClipTop)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjClipLeft)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjClipLeft)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjAutoZoom)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjAutoZoom)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjColorKey)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjColorKey)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjStartColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjStartColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjEndColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjEndColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjColorKeyRange)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjColorKeyRange)(LONG) override { return E_NOTIMPL; }
};

class GraphDispDefaults : public IGraphDispObj {
public:
    STDMETHOD(get_ObjMediaName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMediaName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjSizeRatio)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjSizeRatio)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(ScrollBy)(LONG, LONG) override { return E_NOTIMPL; }
};

class MovieDispDefaults : public IMovieDispObj {
public:
    STDMETHOD(get_ObjMediaName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMediaName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjStartPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjStartPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjEndPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjEndPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCurPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCurPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjLength)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMediaWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMediaHeight)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(PlayMedia)() override { return E_NOTIMPL; }
    STDMETHOD(StopMedia)() override { return E_NOTIMPL; }
    STDMETHOD(PauseMedia)() override { return E_NOTIMPL; }
    STDMETHOD(ContinueMedia)() override { return E_NOTIMPL; }
    STDMETHOD(PlayPauseMedia)() override { return E_NOTIMPL; }
    STDMETHOD(RewindMedia)() override { return E_NOTIMPL; }
    STDMETHOD(ForewardMedia)() override { return E_NOTIMPL; }
    STDMETHOD(BackwardMedia)() override { return E_NOTIMPL; }
    STDMETHOD(SeekMedia)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjExitOnEnd)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjExitOnEnd)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjAutoRepeat)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjAutoRepeat)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjRepeatTimes)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjRepeatTimes)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjNotLimitRepeatTime)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjNotLimitRepeatTime)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMavroMsgEnabled)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMavroMsgEnabled)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjFlashMsgEnabled)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjFlashMsgEnabled)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjFlashFrmCtlEnabled)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjFlashFrmCtlEnabled)(LONG) override { return E_NOTIMPL; }
};

class SoundDispDefaults : public ISoundDispObj {
public:
    STDMETHOD(get_ObjMediaName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMediaName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjStartPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjStartPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjEndPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjEndPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCurPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCurPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjLength)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjVolume)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjVolume)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjBalance)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjBalance)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(PlayMedia)() override { return E_NOTIMPL; }
    STDMETHOD(StopMedia)() override { return E_NOTIMPL; }
    STDMETHOD(PauseMedia)() override { return E_NOTIMPL; }
    STDMETHOD(ContinueMedia)() override { return E_NOTIMPL; }
    STDMETHOD(PlayPauseMedia)() override { return E_NOTIMPL; }
    STDMETHOD(RewindMedia)() override { return E_NOTIMPL; }
    STDMETHOD(ForewardMedia)() override { return E_NOTIMPL; }
    STDMETHOD(SeekMedia)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjExitOnEnd)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjExitOnEnd)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMCI)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMCI)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjAutoRepeat)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjAutoRepeat)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjRunVisible)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjRunVisible)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjNotLimitRepeatTimes)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjNotLimitRepeatTimes)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjRepeatTimes)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjRepeatTimes)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCDAudio)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCDAudio)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCurSelTrack)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCurSelTrack)(LONG) override { return E_NOTIMPL; }
};

class VideoDispDefaults : public IVideoDispObj {
public:
    STDMETHOD(get_ObjMediaName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMediaName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjStartPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjStartPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjEndPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjEndPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCurPosition)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCurPosition)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjLength)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjVolume)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjVolume)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjBalance)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjBalance)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMediaWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMediaHeight)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(PlayMedia)() override { return E_NOTIMPL; }
    STDMETHOD(StopMedia)() override { return E_NOTIMPL; }
    STDMETHOD(PauseMedia)() override { return E_NOTIMPL; }
    STDMETHOD(ContinueMedia)() override { return E_NOTIMPL; }
    STDMETHOD(PlayPauseMedia)() override { return E_NOTIMPL; }
    STDMETHOD(RewindMedia)() override { return E_NOTIMPL; }
    STDMETHOD(ForewardMedia)() override { return E_NOTIMPL; }
    STDMETHOD(SeekMedia)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjExitOnEnd)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjExitOnEnd)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjNotInWindow)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjNotInWindow)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMCI)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMCI)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjAutoRepeat)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjAutoRepeat)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjAudioOn)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjAudioOn)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjRepeatTimes)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjRepeatTimes)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjDisplayFlag)(SHORT*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjDisplayFlag)(SHORT) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjNotLimitRepeatTimes)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjNotLimitRepeatTimes)(LONG) override { return E_NOTIMPL; }
};

// The RTF object's dual interface with the editing side's six operations
// right behind its members.
class RTFDispDefaults : public IRTFDispObj {
public:
    STDMETHOD(get_ObjMediaName)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMediaName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjEnableHotword)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjEnableHotword)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjScrollPos)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjScrollPos)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMaxScrollPos)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(PageUp)() override { return E_NOTIMPL; }
    STDMETHOD(PageDown)() override { return E_NOTIMPL; }
    STDMETHOD(ScrollUp)(INT) override { return E_NOTIMPL; }
    STDMETHOD(ScrollDown)(INT) override { return E_NOTIMPL; }
    STDMETHOD(GotoLine)(INT) override { return E_NOTIMPL; }
    STDMETHOD(BackVisit)() override { return E_NOTIMPL; }
    STDMETHOD(GotoBegin)() override { return E_NOTIMPL; }
    STDMETHOD(GotoEnd)() override { return E_NOTIMPL; }
    STDMETHOD(StartAutoScroll)(LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(StopAutoScroll)() override { return E_NOTIMPL; }
    STDMETHOD(SetDefaultFont)(const LOGFONTA*) { return E_NOTIMPL; }
    STDMETHOD(GetDefaultFont)(LOGFONTA*) { return E_NOTIMPL; }
    STDMETHOD(SetReservedValue)(LONG) { return E_NOTIMPL; }
    STDMETHOD(GetReservedValue)(LONG*) { return E_NOTIMPL; }
    STDMETHOD(SetSourceKind)(LONG) { return E_NOTIMPL; }
    STDMETHOD(GetSourceKind)(LONG*) { return E_NOTIMPL; }
};

// The group's dual interface with the slots after it: three editing members,
// then the calls its children make (entering 41, holding 42, leaving 43,
// exiting 44) and the radio button's radio-select (45), as the group's
// private interface reaches them on the same pointer.
class GroupDispDefaults : public IGroupDispObj {
public:
    STDMETHOD(SetSelectMode)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SwitchSelectMode)() override { return E_NOTIMPL; }
    STDMETHOD(SetDelayTime)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SelectSubObject)(INT) override { return E_NOTIMPL; }
    STDMETHOD(SelectFirstSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(SelectLastSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(SelectPreviousSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(SelectNextSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(PlayAnimation)() override { return E_NOTIMPL; }
    STDMETHOD(StopAndRewind)() override { return E_NOTIMPL; }
    STDMETHOD(Pause)() override { return E_NOTIMPL; }
    STDMETHOD(SwitchAnimationMode)() override { return E_NOTIMPL; }
    STDMETHOD(VisibleFirstSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(VisibleLastSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(VisiblePreviousSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(VisibleNextSubObject)() override { return E_NOTIMPL; }
    STDMETHOD(SetRadioState)(INT) override { return E_NOTIMPL; }
    STDMETHOD(get_SubObjCount)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_CurrentSubObj)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_CurrentRadioState)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_SelectMode)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_AnimationMode)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_DelayTime)(LONG*) override { return E_NOTIMPL; }

    // New slots, in this order.
    STDMETHOD(GetSequenceFlag)(LONG* out) { return Nothing(out); }  // 38
    STDMETHOD(SetSequenceFlag)(LONG) { return E_NOTIMPL; }          // 39
    STDMETHOD(GetEntryRule)(LONG* out) { return Nothing(out); }     // 40
    STDMETHOD_(int, ChildEnter)(IUnknown*) { return 0; }            // 41
    STDMETHOD(ChildHold)(IUnknown*) { return S_OK; }                // 42
    STDMETHOD(ChildLeave)(IUnknown*) { return S_OK; }               // 43
    STDMETHOD(ChildExit)(IUnknown*) { return S_OK; }                // 44
    STDMETHOD(RadioSelect)(IDispatch*) { return S_OK; }             // 45
    STDMETHOD(SetEntryRule)(LONG) { return E_NOTIMPL; }             // 46
    STDMETHOD(GetExitRule)(LONG* out) { return Nothing(out); }      // 47
    STDMETHOD(SetExitRule)(LONG) { return E_NOTIMPL; }              // 48
    STDMETHOD(GetEntryChild)(LONG* out) { return Nothing(out); }    // 49
    STDMETHOD(SetEntryChild)(LONG) { return E_NOTIMPL; }            // 50
    STDMETHOD(GetExitChild)(LONG* out) { return Nothing(out); }     // 51
    STDMETHOD(SetExitChild)(LONG) { return E_NOTIMPL; }             // 52
    STDMETHOD(GetInitialChild)(LONG* out) { return Nothing(out); }  // 53
    STDMETHOD(SetInitialChild)(LONG) { return E_NOTIMPL; }          // 54
    STDMETHOD(GetThirdValue)(LONG* out) { return Nothing(out); }    // 55
    STDMETHOD(SetThirdValue)(LONG) { return E_NOTIMPL; }            // 56

protected:
    static HRESULT Nothing(LONG* out) {
        if (out)
            *out = 0;
        return E_NOTIMPL;
    }
};

struct IPixelBuffer;
struct ButtonFace;

// The button's dual interface, then its private operations in slot order.
class ButtonDispDefaults : public IButtonDispObj {
public:
    STDMETHOD(get_ObjMaxValue)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjValue)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjValue)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjEnable)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjEnable)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjDrawFrame)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjDrawFrame)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjType)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMaxType)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjStyle)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjStyle)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMaxStyle)(INT, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjFrameColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjFrameColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextAlign)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextAlign)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextContent)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextContent)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextColor)(LONG) override { return E_NOTIMPL; }

    // New slots, in this order.
    STDMETHOD(GetLook)(LONG*) { return E_NOTIMPL; }
    STDMETHOD(SetMaxValue)(LONG) { return E_NOTIMPL; }
    STDMETHOD(GetFace)(LONG, LONG, ButtonFace**) { return E_NOTIMPL; }
    STDMETHOD(GetStyleName)(LONG, BSTR*) { return E_NOTIMPL; }
    STDMETHOD(RenderFacePreview)(LONG, LONG, ButtonFace*, IPixelBuffer**) { return E_NOTIMPL; }
};

// The draw board's private interface: its dual interface, then the meta hit
// test (page point; the topmost meta's index, -1 and S_FALSE for none).
struct IDrawBoardPrivate : public IDrawBoardDispObj {
    STDMETHOD(HitTestMeta)(LONG x, LONG y, LONG* index) = 0;
};

class DrawBoardDispDefaults : public IDrawBoardPrivate {
public:
    STDMETHOD(SetUpdateMode)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetLineStyle)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetLineColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetLineBkColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetLineWidth)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFillMode)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFillType)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFillColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFillColor2)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFontName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(SetFontProp)(LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetFontSize)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(SetTextColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawPixel)(LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawLine)(LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawRect)(LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawEllipse)(LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawLineCurve)(BSTR, LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawPixelCurve)(BSTR, LONG, LONG, LONG) override { return E_NOTIMPL; }
    STDMETHOD(DrawText)(LONG, LONG, BSTR) override { return E_NOTIMPL; }
    STDMETHOD(Erase)(INT) override { return E_NOTIMPL; }
    STDMETHOD(EraseLast)() override { return E_NOTIMPL; }
    STDMETHOD(EraseAll)() override { return E_NOTIMPL; }
    STDMETHOD(OffsetMeta)(INT, INT, INT) override { return E_NOTIMPL; }
    STDMETHOD(Update)() override { return E_NOTIMPL; }
    STDMETHOD(get_ObjOrgX)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjOrgX)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjOrgY)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjOrgY)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMetaPosX)(INT, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMetaPosX)(INT, LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMetaPosY)(INT, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMetaPosY)(INT, LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCount)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(HitTestMeta)(LONG, LONG, LONG* index) override {
        if (index)
            *index = -1;
        return S_FALSE;
    }
};

// The text object's dual interface, then its private operations in slot
// order: a second colour put, the colour, and the LOGFONT in and out.
class TextDispDefaults : public ITextDispObj {
public:
    STDMETHOD(get_ObjColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjHorzAlign)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjHorzAlign)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjVertAlign)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjVertAlign)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjAutoWrap)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjAutoWrap)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjPasswordMode)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjPasswordMode)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMultiLine)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMultiLine)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextRotate)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextRotate)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextType)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextType)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjContent)(BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjContent)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjPhoneticize)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjPhoneticize)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(EnterEdit)() override { return E_NOTIMPL; }
    STDMETHOD(ExitEdit)() override { return E_NOTIMPL; }
    STDMETHOD(SetFontName)(BSTR) override { return E_NOTIMPL; }
    STDMETHOD(SetFontSize)(INT) override { return E_NOTIMPL; }
    STDMETHOD(SetFontProp)(LONG, LONG, LONG) override { return E_NOTIMPL; }

    // New slots, in this order.
    STDMETHOD(PutColor)(LONG) { return E_NOTIMPL; }
    STDMETHOD(GetColor)(COLORREF*) { return E_NOTIMPL; }
    STDMETHOD(SetLogFont)(const LOGFONTA*) { return E_NOTIMPL; }
    STDMETHOD(GetLogFont)(LOGFONTA*) { return E_NOTIMPL; }
};

struct IEventSinkTable;

// The scroll bar's dual interface, then its private operations in slot
// order; the linked sink table calls OnSinkNotify in slot 49.
class ScrollBarDispDefaults : public IScrollBarDispObj {
public:
    STDMETHOD(get_ObjMaxValue)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMaxValue)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjMinValue)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjMinValue)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjValue)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjValue)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjPageValue)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjPageValue)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(Step)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(Page)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjOwnerDraw)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjOwnerDraw)(LONG) override { return E_NOTIMPL; }

    // New slots, in this order (33 to 49).
    STDMETHOD(GetVertical)(LONG*) { return E_NOTIMPL; }
    STDMETHOD(SetVertical)(LONG) { return E_NOTIMPL; }
    STDMETHOD(GetKind)(LONG*) { return E_NOTIMPL; }
    STDMETHOD(SetKind)(LONG) { return E_NOTIMPL; }
    STDMETHOD(GetTrackFill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetThumbFill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetArrow2PressedFill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetArrow2Fill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetArrow1PressedFill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetArrow1Fill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetLinkRow)(BSTR*) { return E_NOTIMPL; }
    STDMETHOD(SetLinkRow)(BSTR) { return E_NOTIMPL; }
    STDMETHOD(GetLinkObject)(BSTR*) { return E_NOTIMPL; }
    STDMETHOD(SetLinkObject)(BSTR) { return E_NOTIMPL; }
    STDMETHOD(GetLinked)(LONG*) { return E_NOTIMPL; }
    STDMETHOD(SetLinked)(LONG) { return E_NOTIMPL; }
    STDMETHOD(OnSinkNotify)(IEventSinkTable*, LONG) { return E_NOTIMPL; }
};

struct FontObject;

// The menu's dual interface, then its private operations in slot order.
class MenuDispDefaults : public IMenuDispObj {
public:
    STDMETHOD(get_ObjType)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjPicStyle)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjPicStyle)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjItemEnable)(INT, LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjItemEnable)(INT, LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjPicFillStyle)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjPicFillStyle)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextAutoExpand)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextAutoExpand)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjHilightTxtColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjHilightTxtColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjHilightBkgColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjHilightBkgColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjSeparator)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjSeparator)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjSeparatorColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjSeparatorColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextAlign)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextAlign)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjItemTextContent)(INT, BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjItemTextContent)(INT, BSTR) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjItemTextColor)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjItemTextColor)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextWidth)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjPicWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjPicWidth)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjItemHeight)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjItemHeight)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTextAutoWrap)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTextAutoWrap)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjUseDefault)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjUseDefault)(LONG) override { return E_NOTIMPL; }

    // New slots, in this order.
    STDMETHOD(GetItemID)(INT, LONG*) { return E_NOTIMPL; }
    STDMETHOD(GetPicStyleName)(BSTR*) { return E_NOTIMPL; }
    STDMETHOD(GetBackgroundFill)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetSeparatorLineStyle)(IUnknown**) { return E_NOTIMPL; }
    STDMETHOD(GetFont)(FontObject**) { return E_NOTIMPL; }
    STDMETHOD(GetDefaultItemCount)(LONG*) { return E_NOTIMPL; }
    STDMETHOD(SetDefaultItemCount)(LONG) { return E_NOTIMPL; }
    STDMETHOD(CreateSwatch)(LONG, LONG, IPixelBuffer**) { return E_NOTIMPL; }
};

// The vector object's private interface: its dual interface, then the
// vector file import and export (name, flag; S_FALSE for no name or a flag).
struct IVectorPrivate : public IVectorDispObj {
    STDMETHOD(LoadFromFile)(BSTR name, LONG flag) = 0;
    STDMETHOD(SaveToFile)(BSTR name, LONG flag) = 0;
};

class VectorDispDefaults : public IVectorPrivate {
public:
    STDMETHOD(ObjStart)() override { return E_NOTIMPL; }
    STDMETHOD(ObjStop)() override { return E_NOTIMPL; }
    STDMETHOD(ObjPause)() override { return E_NOTIMPL; }
    STDMETHOD(ObjContinue)() override { return E_NOTIMPL; }
    STDMETHOD(LoadFromFile)(BSTR, LONG) override { return E_NOTIMPL; }
    STDMETHOD(SaveToFile)(BSTR, LONG) override { return E_NOTIMPL; }
};

struct LineStyleObject;
struct FillObject;

// The grid's dual interface, then its private operations in slot order.
class GridDispDefaults : public IGridDispObj {
public:
    STDMETHOD(get_ObjRows)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjRows)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjColumns)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjColumns)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjShowRowHead)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjShowRowHead)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjShowColumnHead)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjShowColumnHead)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjTopRow)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjTopRow)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjLeftColumn)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjLeftColumn)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjRowHeadWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjRowHeadWidth)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjColumnHeadHeight)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjColumnHeadHeight)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCellWidth)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCellWidth)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCellHeight)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCellHeight)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(AddNewRecord)() override { return E_NOTIMPL; }
    STDMETHOD(UpdateAddNewRecord)() override { return E_NOTIMPL; }
    STDMETHOD(get_ObjActiveColumn)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjActiveColumn)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjActiveRow)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjActiveRow)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjShowActiveCellFrame)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjShowActiveCellFrame)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCanModify)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCanModify)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(get_ObjCellContent)(INT, INT, BSTR*) override { return E_NOTIMPL; }
    STDMETHOD(put_ObjCellContent)(INT, INT, BSTR) override { return E_NOTIMPL; }
    STDMETHOD(EnterEdit)() override { return E_NOTIMPL; }
    STDMETHOD(ExitEdit)() override { return E_NOTIMPL; }

    // New slots, in this order: the data source (bound flag 0 or -1 and the
    // name; a null or empty name unbinds), the fonts, line styles and fills
    // (not counted), the row at a page y and the column at a page x (-1
    // where none).
    STDMETHOD(GetDataSource)(LONG*, BSTR*) { return E_NOTIMPL; }
    STDMETHOD(SetDataSource)(BSTR) { return E_NOTIMPL; }
    STDMETHOD(GetGridFont)(LONG, FontObject**) { return E_NOTIMPL; }
    STDMETHOD(GetGridLineStyle)(LONG, LineStyleObject**) { return E_NOTIMPL; }
    STDMETHOD(GetGridFill)(LONG, FillObject**) { return E_NOTIMPL; }
    STDMETHOD(RowAtY)(LONG, LONG* out) { return Nothing(out); }
    STDMETHOD(ColumnAtX)(LONG, LONG* out) { return Nothing(out); }

protected:
    static HRESULT Nothing(LONG* out) {
        if (out)
            *out = -1;
        return E_NOTIMPL;
    }
};

// The ActiveX object's private operations (its dispatch part is AxObject).
class AxObjectDefaults : public AxObject {
public:
    STDMETHOD(GetControlWindow)(HWND*) override { return E_NOTIMPL; }
    STDMETHOD(GetStockEventFiring)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(SetStockEventFiring)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(MSG*) override { return S_FALSE; }
    STDMETHOD(HasOwnWindow)() override { return E_NOTIMPL; }
    STDMETHOD(Invalidate)(const RECT*) override { return E_NOTIMPL; }
};
