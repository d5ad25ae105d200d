// RTFObject: a rich-text document inside a rectangle of the page, laid out
// in twips, scrolled by script or by itself, with hot words that fire an
// event when clicked. The document comes from the object's own record, a
// media item (".rtf" read by the RTF reader, anything else as plain text)
// or a database field.
#pragma once

#include <vector>

#include "aMFrame.h"
#include "aObjClass.h"
#include "aRtfAry.h"
#include "bPicBase.h"

// Source flags.
enum RtfObjectFlags : DWORD {
    RTFFLAG_SOURCE = 0x07,  // 0 record, 1 media item, 2 database field
    RTFFLAG_SPARETEXT = 0x08,
    RTFFLAG_HOTWORDS = 0x10,
    RTFFLAG_PARAFORMATS = 0x20,
    RTFFLAG_PICTURES9 = 0x40,
};
enum { RTFSOURCE_RECORD = 0, RTFSOURCE_MEDIA = 1, RTFSOURCE_DATABASE = 2 };
enum { RTFEXTRA_PICTURES = 0x01 };
// The event of a clicked hot word.
enum { DISPID_ONHOTWORD = 2000 };

class RTFObject : public RTFObjectClass<RTFObject> {
public:
    RTFObject();
    ~RTFObject() override;
    HRESULT SetUp();

    // ---- IRTFDispObj ----
    STDMETHOD(get_ObjMediaName)(BSTR* out) override;
    STDMETHOD(put_ObjMediaName)(BSTR name) override;
    STDMETHOD(get_ObjEnableHotword)(LONG* out) override;
    STDMETHOD(put_ObjEnableHotword)(LONG on) override;
    STDMETHOD(get_ObjScrollPos)(LONG* out) override { return Get(out, m_scrollPos); }
    STDMETHOD(put_ObjScrollPos)(LONG pos) override;
    STDMETHOD(get_ObjMaxScrollPos)(LONG* out) override { return Get(out, m_maxScroll); }
    STDMETHOD(PageUp)() override;
    STDMETHOD(PageDown)() override;
    STDMETHOD(ScrollUp)(INT lines) override;
    STDMETHOD(ScrollDown)(INT lines) override;
    STDMETHOD(GotoLine)(INT line) override;
    STDMETHOD(BackVisit)() override;
    STDMETHOD(GotoBegin)() override;
    STDMETHOD(GotoEnd)() override;
    STDMETHOD(StartAutoScroll)(LONG direction, LONG speed) override;
    STDMETHOD(StopAutoScroll)() override;
    // The editing side's operations behind the members.
    STDMETHOD(SetDefaultFont)(const LOGFONTA* font) override;
    STDMETHOD(GetDefaultFont)(LOGFONTA* font) override;
    STDMETHOD(SetReservedValue)(LONG value) override;
    STDMETHOD(GetReservedValue)(LONG* out) override;
    STDMETHOD(SetSourceKind)(LONG kind) override;
    STDMETHOD(GetSourceKind)(LONG* out) override;

    // ---- media data, database link, event-sink row ----
    STDMETHOD(SetName)(const char* name) override;
    STDMETHOD(GetMediaName)(char* buffer, int size) override;
    STDMETHOD(TakeData)(const void* bytes, DWORD count, const char* name) override;
    STDMETHOD_(int, AcceptsType)(const VARIANT* value) override;
    STDMETHOD(ApplyData)(BOOL mediaFlag, const char* text, const void* extra, int type) override;
    STDMETHOD(GetRowMaximum)(LONG row, LONG* out) override;
    STDMETHOD(GetRowPageStep)(LONG row, LONG* out) override;
    STDMETHOD(GetRowValue)(LONG row, LONG* out) override;
    STDMETHOD(SetRowValue)(LONG row, LONG value) override;

    // ---- clock, render and event parts ----
    STDMETHOD(OnClock)() override;
    STDMETHOD(OnEnter)() override;
    STDMETHOD(OnExit)() override;
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;

    // The object's own record after the shared one.
    HRESULT LoadKind(ITeskStream* stream);

    // Loads a document from bytes: ".rtf" names go through the RTF reader,
    // anything else is plain text.
    HRESULT LoadDocument(const void* bytes, DWORD count, const char* fileName);
    // The id of the hot word under a page point, or -1.
    int HotWordAt(LONG x, LONG y);
    // Lays out pending paragraphs for the object's current rectangle.
    void Layout();

    const RtfDocument& Document() const { return m_doc; }
    DWORD Flags() const { return m_flags; }
    WORD ExtraFlags() const { return m_extra; }
    LONG Speed() const { return m_speed; }
    LONG ViewHeight() const { return m_layoutRect.top - m_layoutRect.bottom; }
    ICursorAbility* HotCursor() const { return m_hotCursor; }
    bool HotCursorApplied() const { return m_hotCursor && m_hotCursor->IsApplied() == 0; }
    IMediaFrame* Frame() const { return m_frame; }

protected:
    HRESULT DbRefresh(int code) override;

private:
    struct Element;
    void FreeDocument();
    void RequestLayout();
    bool PlainText(const char* bytes, DWORD count);
    void LayoutParagraph(HDC dc, RtfParagraph* para, int width);
    void Measure(HDC dc, const RtfParagraph& para, std::vector<Element>* elements);
    void UpdateRect(const RECT& device, int dpiX, int dpiY);
    void SetScroll(LONG pos, bool remember);
    void Changed();
    // top: twips from the view's top down to the line.
    void DrawLine(HDC dc, const RtfParagraph& para, const RtfLine& line, const RECT& inner,
                  int top);
    void DrawPicture(HDC dc, const StrInfo& run, int x, int baseline);
    // Fonts made for layout and drawing, kept while the document stays,
    // with their single-byte widths once asked.
    struct RunFontEntry {
        int key[5];
        HFONT font;
        bool widthsKnown;
        INT widths[256];
    };
    // Twips fonts for layout, pixel fonts for drawing.
    RunFontEntry* FontEntry(const StrInfo& run, bool halve, bool pixels);
    HFONT RunFont(const StrInfo& run, bool halve);
    const INT* Widths(HDC dc, RunFontEntry* entry);
    void ClearFonts();
    // Line stepping: the document offset of the top of line n (from the
    // first), or of the line n lines away from an offset.
    LONG LineTop(int line);
    LONG StepLines(LONG from, int lines);
    void RestoreCursor();
    HRESULT LoadDocumentRecord(ITeskStream* stream, DWORD flags, WORD extra, RtfDocument* doc);

    struct CodecSite : IPictureCodecSite {
        STDMETHOD(GetCodecManager)(PictureCodecManager** manager) override;
        RTFObject* owner = nullptr;
    } m_codecSite;

    DWORD m_flags;
    WORD m_extra;
    LONG m_reserved;
    LOGFONTA m_defaultFont;
    RtfDocument m_doc;
    bool m_needLayout;
    RECT m_layoutRect;  // twips, y up
    LONG m_scrollPos, m_maxScroll, m_prevPos;
    LONG m_hOffset;
    LONG m_speed;
    int m_dpiX, m_dpiY;
    ICursorAbility* m_hotCursor;
    IMediaFrame* m_frame;
    std::vector<RunFontEntry> m_fonts;
};

HRESULT CreateRTFObject(IUnknown** out);
