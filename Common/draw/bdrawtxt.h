// The font object: a text style (LOGFONTA, colour, alignment, word wrap)
// with an optional text of its own, drawn into a rectangle of a device
// context or a pixel buffer. Text is multibyte in the ANSI code page; line
// breaks never split a double-byte character.
#pragma once

#include <windows.h>

#include <vector>

#include "bComBase.h"

struct IPixelBuffer;
struct ITeskStream;

// Flag word bits of a font object.
enum FontFlags : WORD {
    FONTFLAG_HALIGN = 0x0003,    // 0 left, 1 centre, 2 right (3 acts as left)
    FONTFLAG_VALIGN = 0x000C,    // 0 top, 1 centre, 2 bottom (3 acts as top)
    FONTFLAG_WORDWRAP = 0x0010,  // lines broken at the rectangle's width
};

// {C0BC262B-1049-11D4-9EEB-00104B04B807}
struct FontObject : public IUnknown {
    STDMETHOD(SetLogFont)(const LOGFONTA* lf) = 0;                              // 3
    STDMETHOD(GetLogFont)(LOGFONTA* lf) = 0;                                    // 4
    STDMETHOD(SetColor)(COLORREF color) = 0;                                    // 5
    STDMETHOD(GetColor)(COLORREF* color) = 0;                                   // 6
    STDMETHOD(SetHorzAlign)(WORD align) = 0;                                    // 7
    STDMETHOD(GetHorzAlign)(WORD* align) = 0;                                   // 8
    STDMETHOD(SetVertAlign)(WORD align) = 0;                                    // 9
    STDMETHOD(GetVertAlign)(WORD* align) = 0;                                   // 10
    STDMETHOD_(int, IsWordWrapOff)() = 0;                                       // 11
    STDMETHOD(SetWordWrap)(int value) = 0;                                      // 12
    STDMETHOD(SetText)(const char* text) = 0;                                   // 13
    STDMETHOD(GetTextLength)(int* length) = 0;                                  // 14
    STDMETHOD(GetText)(char* buffer, int size) = 0;                             // 15
    STDMETHOD(GetTextHeight)(HDC dc, int width, int* height) = 0;               // 16
    STDMETHOD(GetTextWidth)(HDC dc, int* width) = 0;                            // 17
    STDMETHOD(DrawStringToDC)(const char* text, HDC dc, const RECT* rect) = 0;  // 18
    STDMETHOD(DrawStringToBuffer)
    (const char* text, IPixelBuffer* buffer,                              //
     const RECT* rect) = 0;                                               // 19
    STDMETHOD(DrawToDC)(HDC dc, const RECT* rect) = 0;                    // 20
    STDMETHOD(DrawToBuffer)(IPixelBuffer* buffer, const RECT* rect) = 0;  // 21
    STDMETHOD_(int, Compare)(FontObject* other, int ignoreText) = 0;      // 22
    STDMETHOD(CopyFrom)(FontObject* other, int withoutText) = 0;          // 23
    STDMETHOD(Load)(ITeskStream* stream) = 0;                             // 24
    STDMETHOD(Save)(ITeskStream* stream) = 0;                             // 25
    STDMETHOD(Reserved26)(void* reserved) = 0;                            // 26
    // The deleting destructor: bit 0 of flags frees the object as well.
    STDMETHOD_(void, Destroy)(UINT flags) = 0;  // 27
};
DECLARE_IID(FontObject, 0xC0BC262B, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

// A new font object with the default style into *out (one reference).
HRESULT CreateFontObject(FontObject** out);

// Size of the stored form without the text.
enum { FONT_RECORD_SIZE = 72 };

// One laid-out line: byte offset and length inside the text.
struct TextLine {
    int start;
    int length;
};

// Breaks text into lines for a width, measuring with the font selected in
// dc: CR or CR LF ends a line; with wrap on a line ends before the first
// character that would make it wider than width (a double-byte character
// moves whole). Returns the number of lines; fills lines when given.
int LayoutTextLines(HDC dc, const char* text, int length, int width, bool wrap,
                    std::vector<TextLine>* lines);

// Draws many texts in the styles of font objects into one device context,
// each as the object's DrawStringToDC draws it, but with the context set up
// once: a style's font is made once, colour and background mode are set
// when they change, and each text is clipped by its own call instead of a
// saved context and a clip region. The objects' styles must not change
// while it draws. The context is as it was when the painter ends.
class FontTextPainter {
public:
    explicit FontTextPainter(HDC dc);
    ~FontTextPainter();
    FontTextPainter(const FontTextPainter&) = delete;
    FontTextPainter& operator=(const FontTextPainter&) = delete;

    HRESULT Draw(FontObject* font, const char* text, const RECT* rect);

private:
    struct Style {
        FontObject* font;
        HFONT handle;
        COLORREF color;
        WORD flags;
        int lineHeight;
        bool measured;
    };
    Style* Select(FontObject* font);

    HDC m_dc;
    // Clipping by the text call equals a clip region only in a plain
    // mapping; other contexts go through the object's own drawing.
    bool m_direct;
    bool m_prepared;
    HGDIOBJ m_oldFont;
    COLORREF m_oldColor;
    int m_oldBkMode;
    COLORREF m_color;
    std::vector<Style> m_styles;
    int m_current;
    std::vector<TextLine> m_lines;
};
