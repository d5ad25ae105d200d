#include "adrwObj.h"

#include <limits.h>
#include <math.h>

#include <new>
#include <vector>

#include "aGrphMta.h"
#include "aTxtMeta.h"
#include "aUtil.h"
#include "bByteReader.h"
#include "bExprScan.h"
#include "bExpression.h"
#include "bLinStyl.h"
#include "bFillShd.h"
#include "bScriptCtx.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "bTraceLog.h"
#include "bVarMgr.h"

namespace {

// Room a LOGFONT face name gives a multibyte name, without its NUL.
const size_t kFaceBytes = 31;
// How far beyond the board a line's points may lie.
const LONG kLineReach = 0xFFFF;
// Where a rectangle's corners outside the board are put: this far beyond.
const LONG kRectBeyond = 10;

// The curve's y of an evaluated value.
int CurveValue(const VARIANT& v) {
    switch (v.vt) {
        case VT_I2:
            return v.iVal;
        case VT_I4:
            return v.lVal;
        case VT_R4:
            return v.fltVal >= (float)INT_MIN && v.fltVal < (float)INT_MAX ? (int)v.fltVal : -1;
        case VT_R8: {
            const double y = v.dblVal + 0.5;
            return y >= (double)INT_MIN && y < (double)INT_MAX + 1.0 ? (int)y : -1;
        }
        default:
            return -1;
    }
}

std::string Trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return std::string();
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

LONG Clamped(LONG v, LONG lo, LONG hi) {
    return v < lo ? lo - kRectBeyond : v > hi ? hi + kRectBeyond : v;
}

}  // namespace

DrawBoardObject::DrawBoardObject()
    : m_env(nullptr),
      m_vecFrame(nullptr),
      m_frame(nullptr),
      m_kept(50),
      m_orgX(0),
      m_orgY(0),
      m_updateMode(1),
      m_textColor(0),
      m_drawRect(nullptr) {
    m_owner.board = this;
}

DrawBoardObject::~DrawBoardObject() {
    delete m_vecFrame;
    delete m_env;
    if (m_frame) {
        m_frame->SetOwner(nullptr);
        m_frame->Release();
    }
}

HRESULT DrawBoardObject::SetUp() {
    m_env = new (std::nothrow) CMetaEnv();
    if (!m_env) {
        LOG_MSG("can not allocate memory of CMetaEnv");
        LOG_MSG("FinalConstruct of CVectorObject func failed.");
        return E_OUTOFMEMORY;
    }
    m_env->line.SetMainColor(0x808080);
    m_env->line.SetLineWidth(1);
    m_vecFrame = new (std::nothrow) CVecFrame(&m_owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    if (!m_vecFrame) {
        LOG_MSG("FinalConstruct of CVectorObject func failed.");
        return E_OUTOFMEMORY;
    }
    if (FAILED(CreateMediaFrame(&m_frame)) || !m_frame) {
        LOG_MSG("DrawBoard CreateMediaFrame FAILED");
        return E_FAIL;
    }
    m_frame->SetOwner(static_cast<II_IRender*>(this));
    AttachPart(m_frame);
    return S_OK;
}

HRESULT DrawBoardObject::LoadAttachedPart(ITeskStream* stream) {
    if (!m_frame)
        return ClassBase::LoadAttachedPart(stream);
    HRESULT hr = m_frame->Load(stream);
    if (FAILED(hr))
        LOG_MSG("DrawBoard record: frame not read");
    return hr;
}

// ---- coordinates ----

RECT DrawBoardObject::OwnerRect() {
    RECT r = {0, 0, 0, 0};
    if (m_drawRect)
        r = *m_drawRect;
    else
        GetTransformedBounds(&r);
    return r;
}

POINT DrawBoardObject::ToMeta(LONG x, LONG y) {
    RECT b = {0, 0, 0, 0};
    GetTransformedBounds(&b);
    return POINT{(LONG)(x + m_orgX - (b.right - b.left) / 2),
                 (LONG)(y + m_orgY - (b.bottom - b.top) / 2)};
}

POINT DrawBoardObject::FromMeta(POINT p) {
    RECT b = {0, 0, 0, 0};
    GetTransformedBounds(&b);
    return POINT{(LONG)(p.x - m_orgX + (b.right - b.left) / 2),
                 (LONG)(p.y - m_orgY + (b.bottom - b.top) / 2)};
}

void DrawBoardObject::BoardArea(RECT* area) {
    RECT b = {0, 0, 0, 0};
    GetTransformedBounds(&b);
    *area = RECT{-m_orgX, -m_orgY, (b.right - b.left) - m_orgX, (b.bottom - b.top) - m_orgY};
}

void DrawBoardObject::Owner::ToOwnerPoints(POINT* points, int n) {
    POINT c;
    GetOwnerCenter(&c);
    for (int i = 0; i < n; ++i) {
        points[i].x += c.x;
        points[i].y += c.y;
    }
}

void DrawBoardObject::Owner::FromOwnerPoints(POINT* points, int n) {
    POINT c;
    GetOwnerCenter(&c);
    for (int i = 0; i < n; ++i) {
        points[i].x -= c.x;
        points[i].y -= c.y;
    }
}

HRESULT DrawBoardObject::Owner::OwnerHitTest(POINT point) {
    return board->HitTestPoint(point.x, point.y) ? S_OK : S_FALSE;
}

HRESULT DrawBoardObject::Owner::GetOwnerRect(RECT* rect) {
    if (!rect)
        return E_POINTER;
    *rect = board->OwnerRect();
    return S_OK;
}

HRESULT DrawBoardObject::Owner::GetOwnerCenter(POINT* centre) {
    if (!centre)
        return E_POINTER;
    const RECT r = board->OwnerRect();
    *centre = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    return S_OK;
}

int DrawBoardObject::Owner::GetOwnerDegree() {
    return board->GetAngle();
}

void DrawBoardObject::Owner::GetEditState(MetaEditState* state) {
    if (state)
        *state = MetaEditState{FALSE, 0, board->GetAngle()};
}

BOOL DrawBoardObject::Owner::GetMediaFolder(char* folder, size_t size) {
    // The player keeps no media folder of its own: files it writes go to
    // the temporary folder.
    char temp[MAX_PATH] = "";
    DWORD n = GetTempPathA(MAX_PATH, temp);
    if (!folder || n == 0 || n >= MAX_PATH)
        return FALSE;
    if (n > 0 && temp[n - 1] == '\\')
        temp[--n] = 0;
    if (n + 1 > size)
        return FALSE;
    memcpy(folder, temp, n + 1);
    return TRUE;
}

// ---- settings ----

void DrawBoardObject::Changed() {
    if (m_updateMode)
        InvalidateObject(nullptr);
}

STDMETHODIMP DrawBoardObject::SetUpdateMode(LONG directly) {
    m_updateMode = directly;
    return S_OK;
}

STDMETHODIMP DrawBoardObject::SetLineStyle(LONG style) {
    static const int kTypes[6] = {LINE_NONE, LINE_SOLID,   LINE_DOT,
                                  LINE_DASH, LINE_DASHDOT, LINE_DASHDOTDOT};
    if (style < 0)
        return E_INVALIDARG;
    if (style < 6)
        return m_env->line.SetLineType(kTypes[style]);
    HRESULT hr = m_env->line.SetLineType(LINE_FANCY);
    if (SUCCEEDED(hr))
        hr = m_env->line.SetLineCode((WORD)(style - 6 > 0xFFFF ? 0xFFFF : style - 6));
    return hr;
}

STDMETHODIMP DrawBoardObject::SetLineColor(LONG color) {
    return m_env->line.SetMainColor((COLORREF)color);
}

STDMETHODIMP DrawBoardObject::SetLineBkColor(LONG color) {
    LineStyleObject* line = m_env->line.Get();
    return line ? line->SetBackColor((COLORREF)color) : E_FAIL;
}

STDMETHODIMP DrawBoardObject::SetLineWidth(LONG width) {
    if (width < 0 || width > 0xFFFF)
        return E_INVALIDARG;
    return m_env->line.SetLineWidth((WORD)width);
}

STDMETHODIMP DrawBoardObject::SetFillMode(LONG mode) {
    if (mode < 0)
        return E_INVALIDARG;
    if (mode < 2)
        return m_env->fill.SetFillMode(mode);
    HRESULT hr = m_env->fill.SetFillMode(FILLMODE_PATTERN);
    FillObject* fill = m_env->fill.GetFill();
    if (SUCCEEDED(hr) && fill)
        hr = fill->SetPattern(mode - 2);
    return hr;
}

STDMETHODIMP DrawBoardObject::SetFillType(LONG type) {
    if (type < 0 || type - 1 > FILL_TEXTURE)
        return E_INVALIDARG;
    if (type == 0)
        return m_env->fill.SetFillMode(FILLMODE_NONE);
    HRESULT hr = m_env->fill.SetFillType(type - 1);
    if (SUCCEEDED(hr) && m_env->fill.IsNoFill())
        hr = m_env->fill.SetFillMode(FILLMODE_FILL);
    return hr;
}

STDMETHODIMP DrawBoardObject::SetFillColor(LONG color) {
    return m_env->fill.SetColor((COLORREF)color);
}

STDMETHODIMP DrawBoardObject::SetFillColor2(LONG color) {
    return m_env->fill.SetColor2((COLORREF)color);
}

STDMETHODIMP DrawBoardObject::SetFontName(BSTR face) {
    const std::string ansi = MultibyteFromBstr(face);
    LOGFONTA& font = m_env->font;
    MbCopyCut(font.lfFaceName, kFaceBytes + 1, ansi.c_str());
    LOGFONTA found;
    memset(&found, 0, sizeof(found));
    MatchFontFace(font.lfFaceName, &found);
    if (found.lfFaceName[0]) {
        font.lfCharSet = found.lfCharSet;
        font.lfQuality = found.lfQuality;
        font.lfPitchAndFamily = found.lfPitchAndFamily;
    }
    return S_OK;
}

STDMETHODIMP DrawBoardObject::SetFontProp(LONG italic, LONG bold, LONG underline) {
    LOGFONTA& font = m_env->font;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = (BYTE)italic;
    font.lfUnderline = (BYTE)underline;
    return S_OK;
}

STDMETHODIMP DrawBoardObject::SetFontSize(LONG points) {
    m_env->font.lfHeight = -PointsToFontHeight(points);
    return S_OK;
}

STDMETHODIMP DrawBoardObject::SetTextColor(LONG color) {
    m_textColor = (COLORREF)color;
    return S_OK;
}

// ---- drawing calls ----

HRESULT DrawBoardObject::AddShape(int kind, const POINT* points, int n) {
    CGraphMeta* meta = new (std::nothrow) CGraphMeta(&m_owner);
    if (!meta) {
        LOG_MSG("can not allocate enough memory.");
        return E_OUTOFMEMORY;
    }
    meta->SetKind(kind);
    meta->SetHidden(false);
    meta->SetFrame(m_vecFrame);
    meta->SetMetaId(m_vecFrame->TakeMetaId());
    meta->LineStyle::Duplicate(m_env->line);
    meta->ShadeFill::Duplicate(m_env->fill);
    meta->InkMode::CopyFrom(m_env->ink);
    for (int i = 0; i < n; ++i) {
        const POINT p = ToMeta(points[i].x, points[i].y);
        if (FAILED(meta->AddPoint(p.x, p.y))) {
            delete meta;
            return E_OUTOFMEMORY;
        }
    }
    meta->FinishShape();
    HRESULT hr = m_vecFrame->AddMeta(meta, METATYPE_GRAPH);
    if (FAILED(hr)) {
        delete meta;
        return hr;
    }
    Changed();
    return S_OK;
}

STDMETHODIMP DrawBoardObject::DrawPixel(LONG x, LONG y) {
    RECT area;
    BoardArea(&area);
    if (x < area.left || x >= area.right || y < area.top || y >= area.bottom)
        return S_FALSE;
    const POINT p[2] = {{x, y}, {x, y}};
    return AddShape(GRAPH_LINE, p, 2);
}

STDMETHODIMP DrawBoardObject::DrawLine(LONG x1, LONG y1, LONG x2, LONG y2) {
    RECT area;
    BoardArea(&area);
    const long long l = (long long)area.left - kLineReach, r = (long long)area.right + kLineReach;
    const long long t = (long long)area.top - kLineReach, b = (long long)area.bottom + kLineReach;
    auto inside = [&](LONG x, LONG y) { return x >= l && x < r && y >= t && y < b; };
    if (!inside(x1, y1) || !inside(x2, y2))
        return S_FALSE;
    const POINT p[2] = {{x1, y1}, {x2, y2}};
    return AddShape(GRAPH_LINE, p, 2);
}

STDMETHODIMP DrawBoardObject::DrawRect(LONG x1, LONG y1, LONG x2, LONG y2) {
    RECT area;
    BoardArea(&area);
    const POINT p[2] = {{Clamped(x1, area.left, area.right), Clamped(y1, area.top, area.bottom)},
                        {Clamped(x2, area.left, area.right), Clamped(y2, area.top, area.bottom)}};
    return AddShape(GRAPH_RECT, p, 2);
}

STDMETHODIMP DrawBoardObject::DrawEllipse(LONG x1, LONG y1, LONG x2, LONG y2) {
    const POINT p[2] = {{x1, y1}, {x2, y2}};
    return AddShape(GRAPH_ELLIPSE, p, 2);
}

STDMETHODIMP DrawBoardObject::DrawText(LONG x, LONG y, BSTR text) {
    CTextMeta* meta = new (std::nothrow) CTextMeta(&m_owner);
    if (!meta) {
        LOG_MSG("can not allocate enough memory.");
        return E_OUTOFMEMORY;
    }
    meta->SetFrame(m_vecFrame);
    meta->SetFont(m_env->font);
    meta->SetColor(m_textColor);
    meta->SetOrigin(ToMeta(x, y));
    meta->SetText(MultibyteFromBstr(text));
    meta->FinishShape();
    meta->SetMetaId(m_vecFrame->TakeMetaId());
    meta->InkMode::CopyFrom(m_env->ink);
    HRESULT hr = m_vecFrame->AddMeta(meta, METATYPE_TEXT);
    if (FAILED(hr)) {
        delete meta;
        return hr;
    }
    Changed();
    return S_OK;
}

STDMETHODIMP DrawBoardObject::DrawLineCurve(BSTR function, LONG x1, LONG x2, LONG dx) {
    return DrawCurve(function, x1, x2, dx, true);
}

STDMETHODIMP DrawBoardObject::DrawPixelCurve(BSTR function, LONG x1, LONG x2, LONG dx) {
    return DrawCurve(function, x1, x2, dx, false);
}

HRESULT DrawBoardObject::DrawCurve(BSTR function, LONG x1, LONG x2, LONG dx, bool lines) {
    TRACE_POINT();
    if (dx == 0 || x1 == x2) {
        LOG_MSG("Error: dx == 0  or x1 == x2");
        return E_FAIL;
    }
    if (x1 < x2 && dx < 0) {
        LOG_MSG("Error: dx must be bigger than 0");
        return E_FAIL;
    }
    if (x1 > x2 && dx > 0) {
        LOG_MSG("Error: dx must be lower than 0");
        return E_FAIL;
    }
    IPlayerSite* site = ClassSite();
    IExpression* expr = nullptr;
    void* context = nullptr;
    if (!site || FAILED(site->GetExpression(&expr)) || !expr) {
        LOG_MSG("DrawCurve: no expression evaluator");
        return E_FAIL;
    }
    VariableManager* vars = nullptr;
    if (SUCCEEDED(site->GetScriptContext(&context)) && context)
        vars = static_cast<CScriptContext*>(context)->variables;
    const std::string text = MultibyteFromBstr(function);
    std::vector<std::string> items;
    SplitParamList(text.c_str(), items);
    const std::string expression = items.empty() ? std::string() : items[0];
    const std::string name = items.size() > 1 ? Trimmed(items[1]) : std::string();
    const int id = vars && !name.empty() ? vars->Find(name.c_str()) : VAR_NOT_FOUND;
    const bool up = x1 < x2;
    POINT last = {0, 0};
    int pieces = 0;
    // In 64 bits: a step past x2 near the ends of the range must not wrap.
    for (long long x = x1; up ? x <= x2 : x >= x2; x += dx) {
        if (pieces == DRAWBOARD_MAX_CURVE_PIECES) {
            LOG_MSG("DrawCurve: stopped after %d pieces at x = %lld", pieces, x);
            return S_FALSE;
        }
        if (id != VAR_NOT_FOUND) {
            VARIANT v;
            v.vt = VT_I4;
            v.lVal = (LONG)x;
            vars->SetValue(id, v);
        }
        VARIANT result;
        VariantInit(&result);
        HRESULT hr = expr->Evaluate(expression.c_str(), &result);
        if (FAILED(hr)) {
            VariantClear(&result);
            LOG_MSG("Express evaluate failed. (%s)", text.c_str());
            return hr;
        }
        const POINT at = {(LONG)x, (LONG)CurveValue(result)};
        VariantClear(&result);
        if (lines)
            DrawLine(pieces ? last.x : at.x, pieces ? last.y : at.y, at.x, at.y);
        else
            DrawPixel(at.x, at.y);
        last = at;
        ++pieces;
    }
    return S_OK;
}

STDMETHODIMP DrawBoardObject::Erase(INT index) {
    if (index < 0 || index >= m_vecFrame->GetCount())
        return E_INVALIDARG;
    m_vecFrame->SetMetaRemoved(index);
    m_vecFrame->RemoveEmptyMetas();
    Changed();
    return S_OK;
}

STDMETHODIMP DrawBoardObject::EraseLast() {
    const int n = m_vecFrame->GetCount();
    return n ? Erase(n - 1) : S_OK;
}

STDMETHODIMP DrawBoardObject::EraseAll() {
    m_vecFrame->Clear();
    m_vecFrame->RemoveEmptyMetas();
    Changed();
    return S_OK;
}

STDMETHODIMP DrawBoardObject::OffsetMeta(INT index, INT dx, INT dy) {
    CMetaBase* meta = m_vecFrame->GetMeta(index);
    if (!meta)
        return E_INVALIDARG;
    HRESULT hr = meta->Offset(POINT{dx, dy});
    Changed();
    return hr;
}

STDMETHODIMP DrawBoardObject::Update() {
    return InvalidateObject(nullptr);
}

STDMETHODIMP DrawBoardObject::put_ObjOrgX(LONG v) {
    m_orgX = v;
    return S_OK;
}

STDMETHODIMP DrawBoardObject::put_ObjOrgY(LONG v) {
    m_orgY = v;
    return S_OK;
}

STDMETHODIMP DrawBoardObject::get_ObjMetaPosX(INT index, LONG* out) {
    if (!out)
        return E_POINTER;
    CMetaBase* meta = m_vecFrame->GetMeta(index);
    if (!meta)
        return E_INVALIDARG;
    POINT p = {0, 0};
    meta->GetPos(&p);
    *out = FromMeta(p).x;
    return S_OK;
}

STDMETHODIMP DrawBoardObject::put_ObjMetaPosX(INT index, LONG v) {
    CMetaBase* meta = m_vecFrame->GetMeta(index);
    if (!meta)
        return E_INVALIDARG;
    HRESULT hr = meta->SetPosX(ToMeta(v, 0).x);
    Changed();
    return hr;
}

STDMETHODIMP DrawBoardObject::get_ObjMetaPosY(INT index, LONG* out) {
    if (!out)
        return E_POINTER;
    CMetaBase* meta = m_vecFrame->GetMeta(index);
    if (!meta)
        return E_INVALIDARG;
    POINT p = {0, 0};
    meta->GetPos(&p);
    *out = FromMeta(p).y;
    return S_OK;
}

STDMETHODIMP DrawBoardObject::put_ObjMetaPosY(INT index, LONG v) {
    CMetaBase* meta = m_vecFrame->GetMeta(index);
    if (!meta)
        return E_INVALIDARG;
    HRESULT hr = meta->SetPosY(ToMeta(0, v).y);
    Changed();
    return hr;
}

STDMETHODIMP DrawBoardObject::get_ObjCount(LONG* out) {
    return Get(out, m_vecFrame->GetCount());
}

STDMETHODIMP DrawBoardObject::HitTestMeta(LONG x, LONG y, LONG* index) {
    if (!index)
        return E_POINTER;
    *index = -1;
    HDC dc = CreateCompatibleDC(nullptr);
    int* hits = nullptr;
    int count = 0;
    HRESULT hr = m_vecFrame->HitTest(POINT{x, y}, dc, &hits, &count);
    if (dc)
        DeleteDC(dc);
    if (FAILED(hr))
        return hr;
    if (count > 0)
        *index = hits[count - 1];
    delete[] hits;
    return count > 0 ? S_OK : S_FALSE;
}

// ---- render part ----

HRESULT DrawBoardObject::DrawContent(IPixelBuffer* target, const RECT* rect) {
    if (!target || !rect)
        return S_OK;
    if (m_frame)
        m_frame->Draw(target, rect, rect, ClassSite());
    if (!m_vecFrame->GetCount())
        return S_OK;
    HDC dc = nullptr;
    if (FAILED(target->GetDC(&dc)) || !dc)
        return S_OK;
    m_drawRect = rect;
    m_vecFrame->DrawAll(dc);
    m_drawRect = nullptr;
    target->ReleaseDC(dc);
    return S_OK;
}

STDMETHODIMP DrawBoardObject::OnGeometryChanged(const RECT* before, const RECT* after, int code) {
    if (before && after && m_vecFrame &&
        (before->right - before->left != after->right - after->left ||
         before->bottom - before->top != after->bottom - after->top)) {
        // The metas keep their place on the page, not beside the new centre.
        const POINT d = {(before->left + before->right) / 2 - (after->left + after->right) / 2,
                         (before->top + before->bottom) / 2 - (after->top + after->bottom) / 2};
        if (d.x || d.y)
            for (int i = 0; i < m_vecFrame->GetCount(); ++i) m_vecFrame->GetMeta(i)->Offset(d);
    }
    return ClassBase::OnGeometryChanged(before, after, code);
}

// ---- the record ----

HRESULT DrawBoardObject::LoadKind(ITeskStream* stream) {
    TRACE_POINT();
    CMetaEnv env;
    HRESULT hr = env.Load(stream);
    if (FAILED(hr))
        return hr;
    int32_t kept = 0;
    if (!StreamReadValue(stream, &kept)) {
        LOG_MSG("DrawBoard record: short");
        return E_FAIL;
    }
    CVecFrame* frame = new (std::nothrow) CVecFrame(&m_owner, VECFRAME_LENGTHS | VECFRAME_BOARD);
    if (!frame)
        return E_OUTOFMEMORY;
    hr = frame->Load(stream, &m_owner);
    if (FAILED(hr)) {
        delete frame;
        return hr;
    }
    m_env->CopyFrom(env);
    m_kept = kept;
    delete m_vecFrame;
    m_vecFrame = frame;
    return S_OK;
}

HRESULT DrawBoardObject::SaveKind(ITeskStream* stream) {
    TRACE_POINT();
    if (!stream)
        return E_POINTER;
    HRESULT hr = m_env->Save(stream);
    if (FAILED(hr))
        return hr;
    StreamWriteValue(stream, (int32_t)m_kept);
    return m_vecFrame->Save(stream);
}

HRESULT CreateDrawBoardObject(IUnknown** out) {
    return CreateObjectOfClass<DrawBoardObject>(out);
}
