// CVecText: a line of text turned into closed polylines, one per glyph
// contour, placed character after character along a baseline, so that text
// can morph like other shapes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "aFlyph.h"

class CVecFrame;
struct IMetaEnv;

class CVecText : public CFlyph {
public:
    explicit CVecText(IMetaEnv* env);
    ~CVecText() override;

    void SetText(const std::string& text) { m_text = text; }
    void SetOrigin(int x, int y) {
        m_x = x;
        m_y = y;
    }
    // An empty face becomes "Arial". E_FAIL (logged) when GDI refuses it.
    HRESULT SetCurrentFont(const LOGFONTA& font);
    // Height 133, "Arial".
    HRESULT SetDefaultFont();
    HFONT GetFontHandle() const { return m_font; }
    // Splits the ANSI text into codes: a lead byte and its trail byte make
    // one (lead in the high byte); a lead byte ending the text is dropped.
    HRESULT AnalyseInputWord(const char* text, int length);
    const std::vector<WORD>& Codes() const { return m_codes; }

    // Appends the outlines of the whole text to the frame.
    HRESULT CreateFromText(HDC dc, CVecFrame* frame);
    // Appends the outlines of one character with its baseline's left end at
    // (x, y); a character that has no outline in the context's font is
    // retried in the default font, E_UNEXPECTED when that fails too.
    HRESULT BuildTextContour(HDC dc, CVecFrame* frame, UINT code, int x, int y);

private:
    IMetaEnv* m_env;
    std::string m_text;
    LOGFONTA m_logFont;
    HFONT m_font;
    int m_x;
    int m_y;
    std::vector<WORD> m_codes;
};
