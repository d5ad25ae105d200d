// CTextMeta: a single line of text in a vector frame, with its font, colour
// and origin, drawn with the frame's clipping and its ink mode and hit
// through its bounds.
#pragma once

#include <windows.h>

#include <string>

#include "aInkMode.h"
#include "aMeta.h"

class CTextMeta : public InkMode, public CMetaBase {
public:
    explicit CTextMeta(IMetaEnv* env);
    ~CTextMeta() override {}

    HRESULT DrawInRect(HDC dc, const RECT* rect) override;
    HRESULT Clone(CMetaBase** out) override;
    HRESULT DrawSelection(HDC dc, BOOL handles) override;
    HRESULT DrawBoundHandles(HDC) override { return S_OK; }
    HRESULT DrawPointHandles(HDC dc) override;
    HRESULT GetBoundsWithPen(RECT* out) override;
    HRESULT Draw(HDC dc, BOOL noSelection) override;
    HRESULT FinishShape() override { return CalcBoundRect(); }
    HRESULT CalcBoundRect() override;
    BOOL HitTestOutline(HDC, POINT point) override { return HitTestBounds(point); }
    int HitTestHandle(POINT, int*) override { return 0; }
    // Mode 1 (handles) never hits a text.
    int HitTest(HDC dc, POINT point, int mode) override;
    HRESULT Offset(POINT delta) override;
    HRESULT GetPos(POINT*) override { return S_OK; }
    HRESULT SetPosX(int) override { return S_OK; }
    HRESULT SetPosY(int) override { return S_OK; }
    BOOL IsInsideRect(const RECT* rect) override;
    HRESULT GetBoundRect(RECT* out) override;
    int HitTestBounds(POINT point) override;
    HRESULT DrawSelectionState(HDC dc) override;
    HRESULT CloseIfEndsMeet() override { return S_OK; }
    // Ink mode, attributes, text, origin, font, spacing, colour. A short or
    // damaged record is refused: E_FAIL, the text unchanged.
    HRESULT LoadRecord(ITeskStream* stream) override;
    HRESULT SaveRecord(ITeskStream* stream) override;

    HRESULT CopyFrom(CTextMeta& source);
    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    void SetFont(const LOGFONTA& font);
    const LOGFONTA& GetFont() const { return m_font; }
    void SetColor(COLORREF color) { m_color = color; }
    COLORREF GetColor() const { return m_color; }
    void SetOrigin(POINT origin);
    POINT GetOrigin() const { return m_origin; }
    IMetaEnv* GetEnv() const { return m_env; }
    // Appends the text's glyph contours to the frame as closed polylines on
    // the bounds' baseline and hides the text in the frame it belongs to
    // (RemoveEmptyMetas then drops it). Nothing for a hidden text.
    HRESULT GetContourData(HDC dc, CVecFrame* frame);

private:
    HRGN OwnerClip(HDC dc, bool vectorOnly, int inflate) const;
    HRESULT DrawText(HDC dc, POINT at, HRGN clip);

    LOGFONTA m_font;
    std::string m_text;
    POINT m_origin;
    int m_spacing;
    COLORREF m_color;
    IMetaEnv* m_env;
};
