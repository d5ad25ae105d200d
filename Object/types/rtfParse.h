// The RTF reader: turns the bytes of a rich-text document into paragraphs
// of runs, filling the font, colour, picture and hot-word tables its caller
// owns. Text stays in the ANSI code page; pictures are made for the play
// site's display.
#pragma once

#include <vector>

#include "aRtfAry.h"
#include "bPicBase.h"

struct IPlayerSite;

// One row of a keyword table: the control word, a per-row constant and
// the action that reads it.
struct RtfKeyword {
    const char* word;
    int32_t parameter;
    int32_t action;
};
// Rows in byte order of their words; binary search.
const RtfKeyword* FindRtfKeyword(const RtfKeyword* table, int count, const char* word);

// Makes a picture's metafile or bitmap from its data (nothing without data
// or when the data does not decode).
void MakeRtfPicture(RtfPicture* picture, IPlayerSite* site, IPictureCodecSite* codecs);

class CRtfParser {
public:
    CRtfParser();
    ~CRtfParser();
    CRtfParser(const CRtfParser&) = delete;
    CRtfParser& operator=(const CRtfParser&) = delete;

    // The site that decodes pictures and makes their bitmaps (may be null).
    void SetSite(IPlayerSite* site) { m_site = site; }
    void SetText(const char* data, size_t size);
    void SetTables(RtfFontTable* fonts, RtfColorTable* colors, RtfPictureArray* pictures,
                   rtfHotWordTbl* hotWords);
    // 1 with the first paragraph (the caller owns the list) and the count;
    // 0 when the text was refused or held no paragraph.
    int Run(RtfParagraph** first, int* count);

    // The keyword tables.
    static const RtfKeyword s_mainTable[];
    static const int s_mainCount;
    static const RtfKeyword s_fontTable[];
    static const int s_fontCount;
    static const RtfKeyword s_pictTable[];
    static const int s_pictCount;
    static const RtfKeyword s_objectTable[];
    static const int s_objectCount;

private:
    // A row of the main table, or null.
    static const RtfKeyword* FindMainKeyword(const char* word);
    bool Parse();
    bool ControlWord();
    bool DoAction(const RtfKeyword& row, int32_t value, bool hasValue);

    // Tokens.
    bool AtEnd() const { return m_pos >= m_end; }
    void SkipLineBreaks();
    void SkipDelimiter();
    // Letters after a backslash, or the one symbol byte; false at the end.
    bool ReadWord(char* word, size_t size);
    bool ReadNumber(int32_t* value);
    bool ReadHexByte(BYTE* out);

    // Model.
    void AddText(BYTE b);
    void AddBytes(const BYTE* bytes, int count);
    // Text bytes from p up to the next control byte or line break; the
    // position after them.
    const BYTE* AddPlain(const BYTE* p);
    bool StartRun(const RtfCharFormat& format);
    void NewParagraph();
    void OpenGroup();
    void CloseGroup();
    bool SkipGroup(bool leaveBrace);
    void SetClass(BYTE b);

    // Actions.
    bool EscapedByte();
    bool Asterisk();
    void Unicode(int32_t value);
    bool SetFont(int32_t number, bool hasNumber);
    bool ClassFont(int which);
    void Style(int32_t parameter, int32_t value, bool hasValue);
    void HotWord(int32_t parameter, int32_t value);
    bool ColorTable();
    bool FontTable();
    bool ReadFaceName(RtfFontEntry* entry);
    bool PictureRun();
    bool PictureGroup();
    void MakePicture(RtfPicture* picture);
    bool ObjectGroup();

    IPlayerSite* m_site;
    int m_paragraphCount;
    const BYTE* m_start;
    const BYTE* m_pos;
    const BYTE* m_end;
    RtfFontTable* m_fonts;
    RtfColorTable* m_colors;
    RtfPictureArray* m_pictures;
    rtfHotWordTbl* m_hotWords;
    RtfParagraph* m_first;
    RtfParagraph* m_para;
    RtfCharFormat m_format;
    RtfParaFormat m_paraFormat;
    int m_depth;
    int m_unicodeSkip;
    // The current format equals the last run's (cleared by every change).
    bool m_runMatches;
    bool m_lead[256];  // lead bytes of the ANSI code page
    std::vector<RtfCharFormat> m_groupStack;

    // The play site's codec list for the picture decoder.
    struct CodecSite : IPictureCodecSite {
        STDMETHOD(GetCodecManager)(PictureCodecManager** manager) override;
        IPlayerSite* site = nullptr;
    } m_codecSite;
};
