// GroupObject: holds page objects as its children and moves, shows and hides
// them as one; as a select group it shows one child at a time and can step
// through them, as a parallel group it keeps one child of all visible and
// can switch them at a fixed delay; as a radio-button group at most one of
// its radio buttons is on.
#pragma once

#include <vector>

#include "aObjClass.h"

// Flag word of the group.
enum GroupFlags : DWORD {
    GRPFLAG_ENTRYRULE = 0x0000000F,
    GRPFLAG_EXITRULE = 0x000000F0,
    GRPFLAG_PARALLEL = 0x00000100,
    GRPFLAG_AUTO = 0x00000200,
    GRPFLAG_RADIO = 0x00000400,
    GRPFLAG_SEQKIND = 0x0000F000,
    GRPFLAG_SELECT_KIND = 0x00003000,
    GRPFLAG_INITIAL = 0x00010000,
    GRPFLAG_WRAP = 0x00020000,
    GRPFLAG_SEQUENCE = 0x80000000,
};
// Notices the group schedules for itself.
enum { GROUP_NOTIFY_STEP = 0x22000, GROUP_NOTIFY_SWITCH = 0x21000 };
// The group's own record: eight int32 values.
enum { GROUP_RECORD_SIZE = 32 };

class GroupObject : public GroupObjectClass<GroupObject> {
public:
    GroupObject();
    ~GroupObject() override;

    // ---- IGroupDispObj ----
    STDMETHOD(put_ObjXCenter)(LONG x) override;
    STDMETHOD(put_ObjYCenter)(LONG y) override;
    STDMETHOD(get_ObjXCenter)(LONG* out) override;
    STDMETHOD(get_ObjYCenter)(LONG* out) override;
    STDMETHOD(MoveTo)(LONG x, LONG y) override;
    STDMETHOD(Offset)(LONG x, LONG y) override;
    // The render part's moves take the children along.
    STDMETHOD(MoveBy)(LONG dx, LONG dy) override;
    STDMETHOD(SetXCenter)(LONG x) override;
    STDMETHOD(SetYCenter)(LONG y) override;
    STDMETHOD(SetSelectMode)(LONG on) override;
    STDMETHOD(SwitchSelectMode)() override;
    STDMETHOD(SetDelayTime)(LONG ms) override;
    STDMETHOD(SelectSubObject)(INT index) override;
    STDMETHOD(SelectFirstSubObject)() override;
    STDMETHOD(SelectLastSubObject)() override;
    STDMETHOD(SelectPreviousSubObject)() override;
    STDMETHOD(SelectNextSubObject)() override;
    STDMETHOD(PlayAnimation)() override;
    STDMETHOD(StopAndRewind)() override;
    STDMETHOD(Pause)() override;
    STDMETHOD(SwitchAnimationMode)() override;
    STDMETHOD(VisibleFirstSubObject)() override;
    STDMETHOD(VisibleLastSubObject)() override;
    STDMETHOD(VisiblePreviousSubObject)() override;
    STDMETHOD(VisibleNextSubObject)() override;
    STDMETHOD(SetRadioState)(INT index) override;
    STDMETHOD(get_SubObjCount)(LONG* out) override { return Get(out, Count()); }
    STDMETHOD(get_CurrentSubObj)(LONG* out) override { return Get(out, m_current); }
    STDMETHOD(get_CurrentRadioState)(LONG* out) override;
    STDMETHOD(get_SelectMode)(LONG* out) override;
    STDMETHOD(get_AnimationMode)(LONG* out) override;
    STDMETHOD(get_DelayTime)(LONG* out) override;

    // ---- editing members and the children's calls ----
    STDMETHOD(GetSequenceFlag)(LONG* out) override;
    STDMETHOD(SetSequenceFlag)(LONG on) override;
    STDMETHOD(GetEntryRule)(LONG* out) override { return Get(out, m_flags & GRPFLAG_ENTRYRULE); }
    STDMETHOD_(int, ChildEnter)(IUnknown* child) override;
    STDMETHOD(ChildHold)(IUnknown*) override { return S_OK; }
    STDMETHOD(ChildLeave)(IUnknown* child) override;
    STDMETHOD(ChildExit)(IUnknown* child) override;
    STDMETHOD(RadioSelect)(IDispatch* button) override;
    STDMETHOD(SetEntryRule)(LONG rule) override;
    STDMETHOD(GetExitRule)(LONG* out) override {
        return Get(out, (m_flags & GRPFLAG_EXITRULE) >> 4);
    }
    STDMETHOD(SetExitRule)(LONG rule) override;
    STDMETHOD(GetEntryChild)(LONG* out) override { return Get(out, m_entryChild); }
    STDMETHOD(SetEntryChild)(LONG v) override { return Set(&m_entryChild, v); }
    STDMETHOD(GetExitChild)(LONG* out) override { return Get(out, m_exitChild); }
    STDMETHOD(SetExitChild)(LONG v) override { return Set(&m_exitChild, v); }
    STDMETHOD(GetInitialChild)(LONG* out) override { return Get(out, m_initialChild); }
    STDMETHOD(SetInitialChild)(LONG v) override { return Set(&m_initialChild, v); }
    STDMETHOD(GetThirdValue)(LONG* out) override { return Get(out, m_thirdValue); }
    STDMETHOD(SetThirdValue)(LONG v) override { return Set(&m_thirdValue, v); }

    // ---- IGroupChildren ----
    STDMETHOD_(int, GetChildCount)() override { return Count(); }
    STDMETHOD_(int, GetDescendantCount)() override;
    STDMETHOD_(CObjWrapper*, GetChild)(int index) override;
    STDMETHOD(OnDelete)(CObjWrapper*) override { return S_OK; }
    STDMETHOD(AddChild)(CObjWrapper* child) override;
    STDMETHOD(OnChildMoved)(CObjWrapper* child) override;
    // Found flag and index of a child (-1 when absent).
    bool FindChild(CObjWrapper* child) const { return IndexOfChild(child) >= 0; }
    int IndexOfChild(CObjWrapper* child) const;

    // ---- render and event parts ----
    STDMETHOD(OnEnter)() override;
    STDMETHOD(Notify)(DWORD code, DWORD_PTR arg) override;

    // The group's own record, read by the container extension's load.
    STDMETHOD(LoadExtension)(ITeskStream* stream) override;
    STDMETHOD(SaveExtension)(ITeskStream*) override { return S_OK; }

    DWORD Flags() const { return m_flags; }
    void SetFlags(DWORD flags) { m_flags = flags; }
    CObjWrapper* ShownChild() const { return m_shown; }
    bool IsSelectGroup() const {
        return (LONG)m_flags < 0 && (m_flags & GRPFLAG_SEQKIND) == GRPFLAG_SELECT_KIND;
    }
    bool IsParallelGroup() const { return (LONG)m_flags >= 0 && (m_flags & GRPFLAG_PARALLEL); }
    LONG Playing() const { return m_playing; }

private:
    int Count() const { return (int)m_children.size(); }
    static HRESULT Set(LONG* field, LONG v) {
        *field = v;
        return S_OK;
    }
    bool GroupActive() { return GetState() >= RS_ENTERED && GetState() <= RS_LEAVING; }
    int IndexOfObject(IUnknown* object) const;
    DWORD Now();
    void ShowChild(CObjWrapper* child);
    void HideChild(CObjWrapper* child);
    void ScheduleAppearance(CObjWrapper* child);
    void ScheduleSelf(DWORD code);
    void ShowCurrent();
    void Switch();
    void MoveChildren(LONG dx, LONG dy);
    void SetRadioValues(IDispatch* except, int onIndex);

    std::vector<CObjWrapper*> m_children;  // not counted: the canvas's list owns them
    CObjWrapper* m_shown;
    DWORD m_flags;
    LONG m_entryChild, m_exitChild, m_initialChild, m_current, m_thirdValue;
    LONG m_delay;
    LONG m_playing;
};

HRESULT CreateGroupObject(IUnknown** out);
