#include "aGroupObj.h"

#include "bStorage.h"

namespace {

// The identity of an object, for comparing.
IUnknown* Identity(IUnknown* object) {
    if (!object)
        return nullptr;
    IUnknown* unknown = nullptr;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (unknown)
        unknown->Release();
    return unknown;
}

LONG AppearanceDelay(CObjWrapper* child) {
    return child->m_record.nSchedule[0];
}

// Reads or writes a long property of an object's dual interface by name.
HRESULT DispatchLong(IDispatch* object, const wchar_t* name, WORD kind, LONG* value) {
    if (!object)
        return E_POINTER;
    DISPID id = 0;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    VARIANT arg, result;
    VariantInit(&arg);
    VariantInit(&result);
    DISPPARAMS params = {};
    DISPID named = DISPID_PROPERTYPUT;
    if (kind == DISPATCH_PROPERTYPUT) {
        arg.vt = VT_I4;
        arg.lVal = *value;
        params.rgvarg = &arg;
        params.cArgs = 1;
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                        kind == DISPATCH_PROPERTYGET ? &result : nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr) && kind == DISPATCH_PROPERTYGET) {
        hr = VariantChangeType(&result, &result, 0, VT_I4);
        if (SUCCEEDED(hr))
            *value = result.lVal;
        VariantClear(&result);
    }
    return hr;
}

// A radio button: ObjType 2.
bool IsRadioButton(IDispatch* object) {
    LONG type = -1;
    return object && SUCCEEDED(DispatchLong(object, L"ObjType", DISPATCH_PROPERTYGET, &type)) &&
           type == 2;
}

}  // namespace

GroupObject::GroupObject()
    : m_shown(nullptr),
      m_flags(0),
      m_entryChild(0),
      m_exitChild(0),
      m_initialChild(0),
      m_current(0),
      m_thirdValue(0),
      m_delay(100),
      m_playing(0) {}

GroupObject::~GroupObject() {
    m_children.clear();
}

DWORD GroupObject::Now() {
    return PageClock();
}

// ---- the child list ----

STDMETHODIMP_(int) GroupObject::GetDescendantCount() {
    int n = Count();
    for (CObjWrapper* child : m_children)
        if (child->IsActive())
            if (IGroupChildren* sub = child->Children())
                n += sub->GetDescendantCount();
    return n;
}

STDMETHODIMP_(CObjWrapper*) GroupObject::GetChild(int index) {
    return index >= 0 && index < Count() ? m_children[index] : nullptr;
}

int GroupObject::IndexOfChild(CObjWrapper* child) const {
    for (int i = 0; i < Count(); ++i)
        if (m_children[i] == child)
            return i;
    return -1;
}

int GroupObject::IndexOfObject(IUnknown* object) const {
    IUnknown* id = Identity(object);
    if (!id)
        return -1;
    for (int i = 0; i < Count(); ++i)
        if (Identity(m_children[i]->m_base) == id)
            return i;
    return -1;
}

STDMETHODIMP GroupObject::AddChild(CObjWrapper* child) {
    if (!child)
        return E_INVALIDARG;
    m_children.push_back(child);
    if (child->m_base)
        child->m_base->SetParent(static_cast<IObjectBase*>(this));
    return S_OK;
}

STDMETHODIMP GroupObject::OnChildMoved(CObjWrapper* child) {
    int i = IndexOfChild(child);
    if (i >= 0 && i + 1 < Count())
        std::swap(m_children[i], m_children[i + 1]);
    return S_OK;
}

// ---- showing and scheduling ----

void GroupObject::ShowChild(CObjWrapper* child) {
    if (child)
        child->ScheduleShow(Now());
}

void GroupObject::HideChild(CObjWrapper* child) {
    if (child)
        child->ScheduleHide(Now());
}

void GroupObject::ScheduleAppearance(CObjWrapper* child) {
    if (!child || !child->m_event)
        return;
    LONG delay = AppearanceDelay(child);
    if (delay == -1)
        return;
    IObjectSite* site = RenderObjectSite();
    ISequencer* sequencer = nullptr;
    if (!site || FAILED(site->GetSequencer(&sequencer)) || !sequencer)
        return;
    DWORD time = Now() + (DWORD)delay;
    site->AdjustTime(&time);
    SequencerEntry entry = {child->m_event, 0, NOTIFY_ENTER, 0};
    sequencer->Schedule(time, &entry);
}

void GroupObject::ScheduleSelf(DWORD code) {
    ScheduleStep(code, (long long)Now() + m_delay);
}

void GroupObject::ShowCurrent() {
    if (m_current < 0 || Count() == 0) {
        HideChild(m_shown);
        m_shown = nullptr;
        return;
    }
    CObjWrapper* child = GetChild(m_current);
    if (m_shown != child)
        HideChild(m_shown);
    ShowChild(child);
    m_shown = child;
    if (child && AppearanceDelay(child) != -1)
        ScheduleSelf(GROUP_NOTIFY_STEP);
}

void GroupObject::Switch() {
    for (int i = Count() - 1; i >= 0; --i)
        if (II_IRender* render = m_children[i]->m_render)
            render->SetVisible(i == m_current);
    ScheduleSelf(GROUP_NOTIFY_SWITCH);
}

// ---- the dispatch members ----

void GroupObject::MoveChildren(LONG dx, LONG dy) {
    for (CObjWrapper* child : m_children)
        if (child->m_render)
            child->m_render->MoveBy(dx, dy);
}

STDMETHODIMP GroupObject::get_ObjXCenter(LONG* out) {
    RECT r;
    GetBoundsRect(&r);
    return Get(out, (r.left + r.right) / 2);
}

STDMETHODIMP GroupObject::get_ObjYCenter(LONG* out) {
    RECT r;
    GetBoundsRect(&r);
    return Get(out, (r.top + r.bottom) / 2);
}

STDMETHODIMP GroupObject::put_ObjXCenter(LONG x) {
    LONG now = 0;
    get_ObjXCenter(&now);
    return Offset(x - now, 0);
}

STDMETHODIMP GroupObject::put_ObjYCenter(LONG y) {
    LONG now = 0;
    get_ObjYCenter(&now);
    return Offset(0, y - now);
}

STDMETHODIMP GroupObject::MoveTo(LONG x, LONG y) {
    LONG cx = 0, cy = 0;
    get_ObjXCenter(&cx);
    get_ObjYCenter(&cy);
    return Offset(x - cx, y - cy);
}

STDMETHODIMP GroupObject::Offset(LONG x, LONG y) {
    return MoveBy(x, y);
}

STDMETHODIMP GroupObject::MoveBy(LONG dx, LONG dy) {
    MoveChildren(dx, dy);
    // The base's move goes through MoveTo, which is the group's own here.
    return CRenderBase::MoveTo(GetXCenter() + dx, GetYCenter() + dy);
}

STDMETHODIMP GroupObject::SetXCenter(LONG x) {
    MoveChildren(x - GetXCenter(), 0);
    return ClassBase::SetXCenter(x);
}

STDMETHODIMP GroupObject::SetYCenter(LONG y) {
    MoveChildren(0, y - GetYCenter());
    return ClassBase::SetYCenter(y);
}

STDMETHODIMP GroupObject::SetSelectMode(LONG on) {
    if (!IsSelectGroup())
        return S_OK;
    bool was = (m_flags & GRPFLAG_AUTO) != 0;
    m_flags = (on & 1) ? (m_flags | GRPFLAG_AUTO) : (m_flags & ~GRPFLAG_AUTO);
    if (!was && (on & 1) && GroupActive())
        ShowCurrent();
    return S_OK;
}

STDMETHODIMP GroupObject::SwitchSelectMode() {
    if (!IsSelectGroup())
        return S_OK;
    return SetSelectMode((m_flags & GRPFLAG_AUTO) ? 0 : 1);
}

STDMETHODIMP GroupObject::SetDelayTime(LONG ms) {
    m_delay = ms;
    if (!(m_flags & GRPFLAG_AUTO) || !GroupActive())
        return S_OK;
    if (IsSelectGroup())
        ShowCurrent();
    else if (IsParallelGroup())
        Switch();
    return S_OK;
}

STDMETHODIMP GroupObject::SelectSubObject(INT index) {
    if (index > Count() - 1)
        index = Count() - 1;
    if (IsSelectGroup()) {
        m_current = index;
        ShowCurrent();
    } else if (IsParallelGroup()) {
        m_current = index;
        for (int i = Count() - 1; i >= 0; --i)
            if (II_IRender* render = m_children[i]->m_render)
                render->SetVisible(i == m_current);
    }
    return S_OK;
}

STDMETHODIMP GroupObject::SelectFirstSubObject() {
    if (IsSelectGroup() && Count()) {
        m_current = 0;
        ShowCurrent();
    }
    return S_OK;
}

STDMETHODIMP GroupObject::SelectLastSubObject() {
    if (IsSelectGroup() && Count()) {
        m_current = Count() - 1;
        ShowCurrent();
    }
    return S_OK;
}

STDMETHODIMP GroupObject::SelectPreviousSubObject() {
    // No children: nothing to step to.
    if (IsSelectGroup() && Count()) {
        m_current = m_current <= 0 ? Count() - 1 : m_current - 1;
        ShowCurrent();
    }
    return S_OK;
}

STDMETHODIMP GroupObject::SelectNextSubObject() {
    if (IsSelectGroup() && Count()) {
        m_current = (m_current + 1) % Count();
        ShowCurrent();
    }
    return S_OK;
}

STDMETHODIMP GroupObject::PlayAnimation() {
    if (IsParallelGroup()) {
        m_playing = 1;
        Switch();
    }
    return S_OK;
}

STDMETHODIMP GroupObject::StopAndRewind() {
    if (IsParallelGroup()) {
        m_playing = 0;
        SelectSubObject(m_initialChild);
    }
    return S_OK;
}

STDMETHODIMP GroupObject::Pause() {
    if (IsParallelGroup())
        m_playing = 0;
    return S_OK;
}

STDMETHODIMP GroupObject::SwitchAnimationMode() {
    if (IsParallelGroup()) {
        m_playing = !m_playing;
        Switch();
    }
    return S_OK;
}

STDMETHODIMP GroupObject::VisibleFirstSubObject() {
    return IsParallelGroup() && Count() ? SelectSubObject(0) : S_OK;
}

STDMETHODIMP GroupObject::VisibleLastSubObject() {
    return IsParallelGroup() && Count() ? SelectSubObject(Count() - 1) : S_OK;
}

STDMETHODIMP GroupObject::VisiblePreviousSubObject() {
    if (!IsParallelGroup() || !Count())
        return S_OK;
    return SelectSubObject(m_current <= 0 ? Count() - 1 : m_current - 1);
}

STDMETHODIMP GroupObject::VisibleNextSubObject() {
    if (!IsParallelGroup() || !Count())
        return S_OK;
    return SelectSubObject((m_current + 1) % Count());
}

void GroupObject::SetRadioValues(IDispatch* except, int onIndex) {
    IUnknown* keep = Identity(except);
    for (int i = 0; i < Count(); ++i) {
        IDispatch* d = m_children[i]->m_dispatch;
        if (!IsRadioButton(d) || (keep && Identity(d) == keep))
            continue;
        LONG value = i == onIndex ? 1 : 0;
        DispatchLong(d, L"ObjValue", DISPATCH_PROPERTYPUT, &value);
    }
}

STDMETHODIMP GroupObject::SetRadioState(INT index) {
    if (m_flags & GRPFLAG_RADIO)
        SetRadioValues(nullptr, index);
    return S_OK;
}

STDMETHODIMP GroupObject::RadioSelect(IDispatch* button) {
    if (m_flags & GRPFLAG_RADIO)
        SetRadioValues(button, -1);
    return S_OK;
}

STDMETHODIMP GroupObject::get_CurrentRadioState(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = -1;
    if (!(m_flags & GRPFLAG_RADIO))
        return S_OK;
    for (int i = 0; i < Count(); ++i) {
        IDispatch* d = m_children[i]->m_dispatch;
        LONG value = 0;
        if (IsRadioButton(d) &&
            SUCCEEDED(DispatchLong(d, L"ObjValue", DISPATCH_PROPERTYGET, &value)) && value == 1) {
            *out = i;
            break;
        }
    }
    return S_OK;
}

STDMETHODIMP GroupObject::get_SelectMode(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = (m_flags & GRPFLAG_AUTO) ? 1 : 0;
    return IsSelectGroup() ? S_OK : S_FALSE;
}

STDMETHODIMP GroupObject::get_AnimationMode(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = m_playing;
    return IsParallelGroup() ? S_OK : S_FALSE;
}

STDMETHODIMP GroupObject::get_DelayTime(LONG* out) {
    if (!out)
        return E_POINTER;
    *out = m_delay;
    return IsSelectGroup() || IsParallelGroup() ? S_OK : S_FALSE;
}

STDMETHODIMP GroupObject::GetSequenceFlag(LONG* out) {
    return Get(out, (m_flags & GRPFLAG_SEQUENCE) ? 1 : 0);
}

STDMETHODIMP GroupObject::SetSequenceFlag(LONG on) {
    m_flags = on ? (m_flags | GRPFLAG_SEQUENCE) : (m_flags & ~GRPFLAG_SEQUENCE);
    m_current = 0;
    m_shown = nullptr;
    return S_OK;
}

STDMETHODIMP GroupObject::SetEntryRule(LONG rule) {
    m_flags = (m_flags & ~GRPFLAG_ENTRYRULE) | ((DWORD)rule & GRPFLAG_ENTRYRULE);
    return S_OK;
}

STDMETHODIMP GroupObject::SetExitRule(LONG rule) {
    m_flags = (m_flags & ~GRPFLAG_EXITRULE) | (((DWORD)rule << 4) & GRPFLAG_EXITRULE);
    return S_OK;
}

// ---- life cycle ----

STDMETHODIMP GroupObject::OnEnter() {
    // A group waiting for a child does not enter by itself.
    if ((m_flags & GRPFLAG_ENTRYRULE) && !m_shown)
        return S_FALSE;
    HRESULT hr = ClassBase::OnEnter();
    if (IsSelectGroup()) {
        m_shown = nullptr;
        m_current = (m_flags & GRPFLAG_INITIAL) ? m_initialChild : 0;
        if (!(m_flags & (GRPFLAG_INITIAL | GRPFLAG_AUTO)))
            return hr;
        CObjWrapper* child = GetChild(m_current);
        m_shown = child;
        if (m_flags & GRPFLAG_AUTO) {
            ShowChild(child);
            ScheduleSelf(GROUP_NOTIFY_STEP);
        } else {
            ScheduleAppearance(child);
        }
        return hr;
    }
    for (CObjWrapper* child : m_children) {
        if (child == m_shown || AppearanceDelay(child) == -1 || !child->m_render)
            continue;
        if (child->IsActive())
            HideChild(child);
        child->m_render->SetState(RS_IDLE);
        child->m_render->SetVisible(TRUE);
        ScheduleAppearance(child);
    }
    if (IsParallelGroup()) {
        m_current = m_initialChild;
        if (m_flags & GRPFLAG_AUTO) {
            m_playing = 1;
            Switch();
        } else {
            for (int i = Count() - 1; i >= 0; --i)
                if (II_IRender* render = m_children[i]->m_render)
                    render->SetVisible(i == m_current);
        }
    }
    return hr;
}

STDMETHODIMP_(int) GroupObject::ChildEnter(IUnknown* child) {
    int index = IndexOfObject(child);
    CObjWrapper* wrapper = GetChild(index);
    if (IsSelectGroup())
        return wrapper && wrapper == m_shown ? 0 : 1;
    if (GroupActive())
        return 0;
    DWORD rule = m_flags & GRPFLAG_ENTRYRULE;
    if (rule == 0)
        return 1;
    if (rule == 2 && index != m_entryChild)
        return 1;
    m_shown = wrapper;
    return OnEnter() == S_OK ? 0 : 1;
}

STDMETHODIMP GroupObject::ChildLeave(IUnknown*) {
    if ((LONG)m_flags < 0 && (m_flags & GRPFLAG_SEQKIND) == 0x2000 && Count()) {
        ++m_current;
        if (m_current < Count())
            ShowChild(GetChild(m_current));
    }
    return S_OK;
}

STDMETHODIMP GroupObject::ChildExit(IUnknown* child) {
    if (!m_shown)
        return S_OK;
    int index = IndexOfObject(child);
    if ((LONG)m_flags < 0) {
        DWORD kind = (m_flags & GRPFLAG_SEQKIND) >> 12;
        bool done = false;
        if (kind == 0 || kind == 1) {
            ++m_current;
            if (m_current < Count()) {
                if (kind == 0)
                    ScheduleAppearance(GetChild(m_current));
                else
                    ShowChild(GetChild(m_current));
            } else {
                done = true;
            }
        } else if (kind == 2) {
            done = index == Count() - 1;
        }
        if (done)
            OnExit();
        return S_OK;
    }
    DWORD rule = (m_flags & GRPFLAG_EXITRULE) >> 4;
    if (rule == 0)
        return S_OK;
    if (rule == 2 && index != m_exitChild)
        return S_OK;
    if (rule == 3) {
        for (int i = 0; i < Count(); ++i)
            if (i != index && m_children[i]->m_render &&
                m_children[i]->m_render->GetState() != RS_EXITED)
                return S_OK;
    }
    m_shown = GetChild(index);
    OnExit();
    return S_OK;
}

STDMETHODIMP GroupObject::Notify(DWORD code, DWORD_PTR arg) {
    if (code == GROUP_NOTIFY_STEP) {
        if (!(m_flags & GRPFLAG_AUTO) || !Count())
            return S_OK;
        ++m_current;
        if (m_current >= Count()) {
            if (!(m_flags & GRPFLAG_WRAP)) {
                m_current = Count() - 1;
                return S_OK;
            }
            m_current = 0;
        }
        ShowCurrent();
        return S_OK;
    }
    if (code == GROUP_NOTIFY_SWITCH) {
        if (m_playing && Count()) {
            m_current = (m_current + 1) % Count();
            Switch();
        }
        return S_OK;
    }
    return ClassBase::Notify(code, arg);
}

// ---- the record ----

STDMETHODIMP GroupObject::LoadExtension(ITeskStream* stream) {
    if (!stream || !StreamHas(stream, GROUP_RECORD_SIZE)) {
        LOG_MSG("Group record: cut short");
        return E_FAIL;
    }
    LONG v[8];
    stream->Read(v, sizeof(v));
    m_flags = (DWORD)v[1];
    m_entryChild = v[2];
    m_exitChild = v[3];
    m_initialChild = v[4];
    m_current = v[5];
    m_thirdValue = v[6];
    m_delay = v[7];
    return S_OK;
}

HRESULT CreateGroupObject(IUnknown** out) {
    return CreateObjectOfClass<GroupObject>(out);
}
