#include "aPicObj.h"

#include <string.h>

#include <algorithm>

#include "bStorage.h"
#include "aUtil.h"
#include "bMediaManager.h"
#include "bStrConv.h"

namespace {

enum { STRING_ROW_WIDTH = 22004, STRING_ROW_HEIGHT = 22005 };
// Longest media name a record may carry, in characters.
enum { MEDIA_NAME_CHARS = 260 };

DWORD ToBufferColor(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

LONG Scaled(LONG value, LONG ratio) {
    return (LONG)(((long long)value * ratio + 50) / 100);
}

}  // namespace

bool PictureKeyRange(LONG mode, COLORREF start, COLORREF end, LONG tolerance, DWORD* low,
                     DWORD* high) {
    DWORD s = ToBufferColor(start), e = ToBufferColor(end);
    switch (mode) {
        case PICKEY_COLOR:
            *low = *high = s;
            return true;
        case PICKEY_RANGE:
            *low = std::min(s, e);
            *high = std::max(s, e);
            return true;
        case PICKEY_TOLERANCE: {
            long long t = (long long)tolerance * 255 / 100;
            DWORD lo = 0, hi = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                long long c = (s >> shift) & 0xFF;
                long long l = std::max(c - t, 0LL), h = std::min(c + t, 255LL);
                lo |= (DWORD)l << shift;
                hi |= (DWORD)h << shift;
            }
            *low = lo;
            *high = hi;
            return true;
        }
    }
    return false;
}

PictureObject::PictureObject()
    : m_flags(PICFLAG_AUTOZOOM),
      m_mediaWidth(0),
      m_mediaHeight(0),
      m_ratio(100),
      m_clipLeft(0),
      m_clipTop(0),
      m_startColor(0),
      m_endColor(0),
      m_tolerance(0),
      m_buffer(nullptr),
      m_frame(nullptr) {
    m_codecSite.owner = this;
}

PictureObject::~PictureObject() {
    ReleaseBuffer();
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
}

HRESULT PictureObject::SetUp() {
    char name[64];
    LoadResString(STRING_ROW_WIDTH, name, sizeof(name));
    AddRow(name);
    LoadResString(STRING_ROW_HEIGHT, name, sizeof(name));
    AddRow(name);
    if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame) {
        LOG_MSG("PicObj CreateMediaFrame FAILED");
        return E_FAIL;
    }
    m_frame->SetOwner(static_cast<II_IRender*>(this));
    AttachPart(m_frame);
    return S_OK;
}

HRESULT PictureObject::LoadAttachedPart(ITeskStream* stream) {
    if (!m_frame)
        return ClassBase::LoadAttachedPart(stream);
    HRESULT hr = m_frame->Load(stream);
    if (FAILED(hr))
        LOG_MSG("Picture record: frame not read");
    return hr;
}

STDMETHODIMP PictureObject::CodecSite::GetCodecManager(PictureCodecManager** manager) {
    if (!manager)
        return E_POINTER;
    *manager = nullptr;
    IPlayerSite* site = owner->ClassSite();
    if (!site)
        return E_FAIL;
    void* codecs = nullptr;
    HRESULT hr = site->GetCodecManager(&codecs);
    *manager = SUCCEEDED(hr) ? static_cast<PictureCodecManager*>(codecs) : nullptr;
    return *manager ? S_OK : E_FAIL;
}

void PictureObject::ReleaseBuffer() {
    if (m_buffer)
        m_buffer->Release();
    m_buffer = nullptr;
}

LONG PictureObject::FrameWidth() const {
    WORD t = 0;
    if (m_frame && !m_frame->IsHidden())
        m_frame->GetThickness(&t);
    return t;
}

void PictureObject::ResizeToPicture() {
    if (!m_buffer)
        return;
    Redraw();
    LONG frame = 2 * FrameWidth();
    this->SetWidth(frame + Scaled(m_mediaWidth, m_ratio));
    this->SetHeight(frame + Scaled(m_mediaHeight, m_ratio));
    Redraw();
}

void PictureObject::FireBoth(LONG argument) {
    CEventSinkTable::FireEvent(PICROW_WIDTH, argument);
    CEventSinkTable::FireEvent(PICROW_HEIGHT, argument);
}

// ---- the media ----

STDMETHODIMP PictureObject::get_ObjMediaName(BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = BstrFromMultibyte(MediaName());
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PictureObject::put_ObjMediaName(BSTR name) {
    std::string text = MultibyteFromBstr(name);
    if (!StoreName(text.c_str()))
        return S_OK;
    ReleaseBuffer();
    HRESULT hr = S_OK;
    if (MediaName()[0]) {
        hr = LoadMediaData(MediaName());
        if (SUCCEEDED(hr) && m_buffer) {
            // A new name takes the picture's own size.
            Redraw();
            LONG frame = 2 * FrameWidth();
            this->SetWidth(m_mediaWidth + frame);
            this->SetHeight(m_mediaHeight + frame);
        }
    }
    Redraw();
    return hr;
}

STDMETHODIMP PictureObject::TakeData(const void* bytes, DWORD count, const char* name) {
    TRACE_POINT();
    ReleaseBuffer();
    IPlayerSite* site = ClassSite();
    CComPtr<PicBase> picture;
    if (FAILED(CreatePicBaseInterface(&picture, &m_codecSite)) || !picture)
        return E_FAIL;
    IMediaManager* manager = nullptr;
    if (!site || FAILED(site->GetMediaManager(&manager)))
        manager = nullptr;
    if (!manager)
        return E_FAIL;
    if (!name)
        name = "";
    int type = 0, subtype = 0;
    HRESULT hr = manager->GetMediaType(name, &type, &subtype);
    if (FAILED(hr)) {
        LOG_MSG("Get mediaType failed! (%s)", name);
        return hr;
    }
    char extension[MAX_PATH] = {};
    hr = manager->GetDefaultExtension(name, extension, sizeof(extension) - 1);
    if (FAILED(hr))
        return hr;
    int codec = 0;
    hr = picture->FindCodec(extension, &codec);
    if (hr != S_OK)
        return FAILED(hr) ? hr : E_FAIL;
    if (name[0]) {
        char path[MAX_PATH] = {};
        if (SUCCEEDED(manager->GetMediaFilePath(name, 0, path, MAX_PATH))) {
            path[MAX_PATH - 1] = 0;
            strcpy(picture->m_szFileName, path);
        }
    }
    hr = picture->DecodeMemory(static_cast<const BYTE*>(bytes), count, codec);
    if (SUCCEEDED(hr)) {
        m_mediaWidth = picture->GetWidth();
        m_mediaHeight = picture->GetHeight();
        m_buffer = CreateBitmapForTarget(picture->GetDIB(), site);
        if (m_buffer) {
            m_buffer->EnablePixelAlpha(picture->GetAlphaFlag() ? TRUE : FALSE);
            ApplyTransparency();
        }
    }
    return m_buffer ? S_OK : E_FAIL;
}

STDMETHODIMP PictureObject::ApplyData(BOOL mediaFlag, const char* text, const void*, int) {
    // A linked field names the medium; the holder loads it.
    HRESULT hr = SetMedia(mediaFlag ? TRUE : FALSE, text, nullptr, 0);
    Redraw();
    return hr;
}

STDMETHODIMP PictureObject::OnEnter() {
    HRESULT hr = ClassBase::OnEnter();
    if (!m_buffer) {
        if (Linked())
            DbRefresh(DB_REFRESH_BIND);
        else if (MediaName()[0])
            LoadMediaData(MediaName());
    }
    return hr;
}

HRESULT PictureObject::DbRefresh(int code) {
    if (code == DB_REFRESH_BIND && !Linked()) {
        // The field's picture goes; the object's own item comes back.
        ReleaseBuffer();
        HRESULT hr = MediaName()[0] ? LoadMediaData(MediaName()) : S_OK;
        Redraw();
        return hr;
    }
    HRESULT hr = DbLinkAbility::DbRefresh(code);
    if (FAILED(hr) && Linked()) {
        ReleaseBuffer();
        Redraw();
    }
    return hr;
}

// ---- zoom and the visible window ----

STDMETHODIMP PictureObject::put_ObjMuti(LONG ratio) {
    if (ratio <= 0)
        return E_INVALIDARG;
    m_ratio = ratio;
    if (m_flags & PICFLAG_AUTOZOOM)
        ResizeToPicture();
    else
        Redraw();
    FireBoth(SINKARG_VALUE_AND_MAXIMUM);
    return S_OK;
}

STDMETHODIMP PictureObject::put_ObjSameProportion(LONG on) {
    if (on) {
        m_flags &= ~PICFLAG_NOT_PROPORTIONAL;
        ResizeToPicture();
    } else {
        m_flags |= PICFLAG_NOT_PROPORTIONAL;
    }
    return S_OK;
}

STDMETHODIMP PictureObject::MultipleObj(LONG ratio, LONG x, LONG y) {
    if (ratio < 1 || ratio > 100000)
        return E_INVALIDARG;
    if (ratio == m_ratio)
        return S_OK;
    if (m_flags & PICFLAG_AUTOZOOM) {
        LONG old = m_ratio;
        RECT bounds;
        this->GetBoundsRect(&bounds);
        // The page point keeps its place over the picture.
        LONG left = (LONG)(x + (old / 2 + (long long)(bounds.left - x) * ratio) / old);
        LONG top = (LONG)(y + (old / 2 + (long long)(bounds.top - y) * ratio) / old);
        m_ratio = ratio;
        ResizeToPicture();
        this->GetBoundsRect(&bounds);
        this->MoveBy(left - bounds.left, top - bounds.top);
    } else {
        m_ratio = ratio;
        Redraw();
    }
    FireBoth(SINKARG_VALUE_AND_MAXIMUM);
    return S_OK;
}

STDMETHODIMP PictureObject::put_ObjClipTop(LONG v) {
    m_clipTop = v;
    CEventSinkTable::FireEvent(PICROW_HEIGHT, SINKARG_VALUE);
    Redraw();
    return S_OK;
}

STDMETHODIMP PictureObject::put_ObjClipLeft(LONG v) {
    m_clipLeft = v;
    CEventSinkTable::FireEvent(PICROW_WIDTH, SINKARG_VALUE);
    Redraw();
    return S_OK;
}

STDMETHODIMP PictureObject::put_ObjAutoZoom(LONG on) {
    bool want = on != 0, is = (m_flags & PICFLAG_AUTOZOOM) != 0;
    if (want == is)
        return S_OK;
    m_flags = want ? (m_flags | PICFLAG_AUTOZOOM) : (m_flags & ~PICFLAG_AUTOZOOM);
    Redraw();
    if (want) {
        if (!(m_flags & PICFLAG_NOT_PROPORTIONAL))
            ResizeToPicture();
        return S_OK;
    }
    m_clipLeft = m_clipTop = 0;
    FireBoth(SINKARG_VALUE);
    if (m_buffer && m_mediaWidth > 0 && m_mediaHeight > 0) {
        // The mean of the two scales, rounded half up.
        long long sum2 = (long long)this->GetHeight() * 100 * m_mediaWidth +
                         (long long)this->GetWidth() * 100 * m_mediaHeight;
        long long den = 2LL * m_mediaWidth * m_mediaHeight;
        LONG ratio = (LONG)((sum2 + den / 2) / den);
        m_ratio = ratio > 0 ? ratio : 1;
        m_flags &= ~PICFLAG_NOT_PROPORTIONAL;
        this->CRenderBase::Refresh();
    }
    return S_OK;
}

// ---- transparency ----

STDMETHODIMP PictureObject::put_ObjColorKey(LONG mode) {
    if (mode < PICKEY_NONE || mode > PICKEY_TOLERANCE)
        return E_INVALIDARG;
    if (mode == KeyMode())
        return S_OK;
    m_flags = (m_flags & ~PICFLAG_KEYMODE) | ((DWORD)mode << PICFLAG_KEYSHIFT);
    ApplyTransparency();
    Redraw();
    return S_OK;
}

HRESULT PictureObject::SetKeyValue(LONG* field, LONG value) {
    if (*field == value)
        return S_OK;
    *field = value;
    ApplyTransparency();
    Redraw();
    return S_OK;
}

void PictureObject::ApplyTransparency() {
    if (!m_buffer)
        return;
    DWORD low = 0, high = 0;
    if (!PictureKeyRange(KeyMode(), m_startColor, m_endColor, m_tolerance, &low, &high)) {
        m_buffer->EnableColorKey(FALSE);
        return;
    }
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_COLORKEY;
    info.dwKeyLow = low;
    info.dwKeyHigh = high;
    m_buffer->SetBufferInfo(&info);
    m_buffer->EnableColorKey(TRUE);
}

// ---- the event-sink rows: the visible window ----

STDMETHODIMP_(int) PictureObject::IsBadRow(LONG row) {
    if (m_flags & PICFLAG_AUTOZOOM)
        return 1;
    return CEventSinkTable::IsBadRow(row);
}

STDMETHODIMP PictureObject::GetRowMaximum(LONG row, LONG* out) {
    if (!out)
        return E_POINTER;
    *out = 0;
    if (IsBadRow(row))
        return S_OK;
    LONG media = row == PICROW_WIDTH ? m_mediaWidth : m_mediaHeight;
    LONG size = row == PICROW_WIDTH ? this->GetWidth() : this->GetHeight();
    *out = (LONG)(media - (long long)size * 100 / m_ratio);
    return S_OK;
}

STDMETHODIMP PictureObject::GetRowPageStep(LONG row, LONG* out) {
    if (!out)
        return E_POINTER;
    LONG size = row == PICROW_WIDTH ? this->GetWidth() : this->GetHeight();
    *out = (LONG)((long long)size * 100 / m_ratio);
    return S_OK;
}

STDMETHODIMP PictureObject::GetRowValue(LONG row, LONG* out) {
    if (!out)
        return E_POINTER;
    LONG v = row == PICROW_WIDTH ? m_clipLeft : m_clipTop;
    *out = v < 0 ? 0 : v;
    return S_OK;
}

STDMETHODIMP PictureObject::SetRowValue(LONG row, LONG value) {
    if (row != PICROW_WIDTH && row != PICROW_HEIGHT)
        return E_INVALIDARG;
    LONG* field = row == PICROW_WIDTH ? &m_clipLeft : &m_clipTop;
    if (*field != value) {
        *field = value;
        CEventSinkTable::FireEvent(row, SINKARG_VALUE);
    }
    Redraw();
    return S_OK;
}

// ---- drawing ----

bool PictureObject::ZoomWindow(const RECT& inner, RECT* src, RECT* dest) const {
    LONG r = m_ratio > 0 ? m_ratio : 100;
    long long w = ((long long)(inner.right - inner.left) * 100 + r / 2) / r;
    long long h = ((long long)(inner.bottom - inner.top) * 100 + r / 2) / r;
    *dest = inner;
    LONG x = std::max(m_clipLeft, 0L), y = std::max(m_clipTop, 0L);
    if (x >= m_mediaWidth || y >= m_mediaHeight || w <= 0 || h <= 0)
        return false;
    // Where the picture ends first, the window and the destination shrink.
    if (x + w > m_mediaWidth) {
        w = m_mediaWidth - x;
        dest->right = dest->left + (LONG)(w * r / 100);
    }
    if (y + h > m_mediaHeight) {
        h = m_mediaHeight - y;
        dest->bottom = dest->top + (LONG)(h * r / 100);
    }
    *src = {x, y, (LONG)(x + w), (LONG)(y + h)};
    return dest->right > dest->left && dest->bottom > dest->top;
}

HRESULT PictureObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    if (!m_buffer)
        return S_OK;
    RECT inner = *rect;
    if (m_frame)
        m_frame->GetInnerRect(rect, &inner);
    if (inner.right <= inner.left || inner.bottom <= inner.top)
        return S_OK;
    if (m_flags & PICFLAG_AUTOZOOM) {
        RECT src = {0, 0, m_mediaWidth, m_mediaHeight};
        return target->Blit(&inner, m_buffer, &src, 0);
    }
    RECT src, dest;
    if (!ZoomWindow(inner, &src, &dest))
        return S_OK;
    return target->Blit(&dest, m_buffer, &src, 0);
}

// ---- the record ----

HRESULT PictureObject::LoadKind(ITeskStream* stream) {
    // flags, the name's count; after the name 12 values, then the link.
    DWORD flags = 0, count = 0;
    if (!StreamReadValue(stream, &flags) || !StreamReadValue(stream, &count))
        return E_FAIL;
    if (count > MEDIA_NAME_CHARS || !StreamHas(stream, 2ULL * count)) {
        LOG_MSG("Picture record: name of %lu characters refused", (unsigned long)count);
        return E_FAIL;
    }
    char name[MEDIA_NAME_CHARS * 2 + 1] = {};
    if (count)
        stream->ReadWideString(name, count);
    LONG v[12];
    if (!StreamHas(stream, sizeof(v)))
        return E_FAIL;
    stream->Read(v, sizeof(v));
    m_flags = flags & 0xFFFF;
    StoreName(name);
    m_mediaWidth = v[0];
    m_mediaHeight = v[1];
    m_ratio = v[2];
    if (m_ratio <= 0) {
        LOG_MSG("Picture record: ratio %ld taken as 100", (long)m_ratio);
        m_ratio = 100;
    }
    m_clipLeft = v[5];
    m_clipTop = v[6];
    m_startColor = v[9];
    m_endColor = v[10];
    m_tolerance = v[11];
    if (stream->GetVersion() <= 1) {
        LONG old = KeyMode(), mode = PICKEY_NONE;
        if (old == 1)
            mode = m_tolerance ? PICKEY_TOLERANCE : PICKEY_COLOR;
        else if (old == 3)
            mode = PICKEY_RANGE;
        m_flags = (m_flags & ~(PICFLAG_KEYMODE | 0x0009)) | ((DWORD)mode << PICFLAG_KEYSHIFT);
    }
    return DbLinkAbility::Load(stream);
}

HRESULT CreatePictureObject(IUnknown** out) {
    return CreateObjectOfClass<PictureObject>(out);
}
