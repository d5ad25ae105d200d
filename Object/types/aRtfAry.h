// The paragraph model of a rich-text document: formats, runs of equal
// character format, paragraphs with their laid-out lines, and the font,
// colour, picture and hot-word tables. The fixed records keep the sizes the
// stored documents use; records holding handles or pointers are read and
// written field by field.
#pragma once

#include <windows.h>
#include <stdint.h>

#include <utility>
#include <vector>

class CByteReader;
struct IPixelBuffer;

// Character format; runs end where two formats differ in any byte.
struct RtfCharFormat {
    BYTE setFlags;    // RTFSET_*
    BYTE colorFlags;  // RTFCOLOR_*
    BYTE itemKind;    // bits 0-2: 0 text, 1 picture
    BYTE reserved3;
    int16_t size;       // half-points
    int16_t kerning;    // twips
    int16_t spacing;    // twips
    int16_t font;       // index into the font table
    int16_t charClass;  // RTFCLASS_*
    int16_t lowFont, highFont, dbcsFont;
    int16_t style;  // RTFSTYLE_*
    int16_t foreColor, backColor;
    int16_t reserved26;
    int32_t picture;  // index into the picture array, -1 for none
    int32_t reserved32;

    void Reset();
};
static_assert(sizeof(RtfCharFormat) == 36, "character format");

enum RtfSetFlags : BYTE {
    RTFSET_SIZE = 0x01,
    RTFSET_KERNING = 0x02,
    RTFSET_SPACING = 0x04,
    RTFSET_FONT = 0x08,
    RTFSET_LOWFONT = 0x10,
    RTFSET_HIGHFONT = 0x20,
    RTFSET_DBCSFONT = 0x40,
    RTFSET_STYLE = 0x80,
};
enum RtfColorFlags : BYTE { RTFCOLOR_FORE = 0x01, RTFCOLOR_BACK = 0x02 };
enum RtfCharClass {
    RTFCLASS_NONE = 0,
    RTFCLASS_LOW = 1,   // single byte below 0x80
    RTFCLASS_HIGH = 2,  // single byte from 0x80
    RTFCLASS_DBCS = 3,
    RTFCLASS_TAB = 4,
    RTFCLASS_PICTURE = 5,
};
enum RtfStyle {
    RTFSTYLE_BOLD = 0x01,
    RTFSTYLE_ITALIC = 0x02,
    RTFSTYLE_UNDERLINE = 0x04,
    RTFSTYLE_STRIKE = 0x08,
    RTFSTYLE_SUB = 0x10,
    RTFSTYLE_SUPER = 0x20,
};
enum { RTFITEM_TEXT = 0, RTFITEM_PICTURE = 1, RTFITEM_MASK = 0x07 };

// A run: its format, the group depth it began at, its length in text bytes.
struct StrInfo {
    RtfCharFormat format;
    int32_t depth;
    int32_t length;
};
static_assert(sizeof(StrInfo) == 44, "run record");

struct RtfParaFormat {
    int32_t reserved;
    int32_t align;  // RTFALIGN_*
    int32_t tabWidth;
    int32_t firstIndent, leftIndent, rightIndent;
    int16_t spaceAfter, spaceBefore, lineSpacing;
    int16_t reserved30;

    void Reset();
};
static_assert(sizeof(RtfParaFormat) == 32, "paragraph format");

enum RtfAlign {
    RTFALIGN_LEFT = 0,
    RTFALIGN_CENTER = 1,
    RTFALIGN_RIGHT = 2,
    RTFALIGN_JUSTIFY = 3,
    RTFALIGN_DISTRIBUTE = 4,
};

struct RtfFontEntry {
    int16_t number;
    BYTE charset;
    BYTE pitchFamily;
    char face[32];
};
static_assert(sizeof(RtfFontEntry) == 36, "font entry");

// An embedded picture. Stored as 64 bytes: 0 zero, 4-40 the ten values in
// this order, 44 the handle (written 0), 48 the data length, 52 the data
// pointer (written 0), 56-63 zero.
struct RtfPicture {
    int32_t scaleX, scaleY;  // percent
    int32_t sourceWidth, sourceHeight;
    int32_t kind;                     // RTFPIC_*
    int32_t mapMode;                  // metafile mapping mode, -1 for PNG and JPEG
    int32_t shownWidth, shownHeight;  // twips
    int32_t goalWidth, goalHeight;    // twips
    HENHMETAFILE metafile;            // kind 34
    IPixelBuffer* bitmap;             // kinds 37, 38
    DWORD dataLength;
    BYTE* data;
};
enum RtfPictureKind { RTFPIC_WMF = 34, RTFPIC_PNG = 37, RTFPIC_JPEG = 38 };
enum { RTF_PICTURE_RECORD = 64 };

// Frees handles and data; the record stays zeroed.
void FreeRtfPicture(RtfPicture* picture);
// The stored form: the ten values and the length, handle and data left
// empty. False when the reader is short.
bool ReadRtfPictureRecord(CByteReader& reader, RtfPicture* picture);
void WriteRtfPictureRecord(const RtfPicture& picture, BYTE out[RTF_PICTURE_RECORD]);

// The runs of a paragraph.
class CRTFStrInfoAry {
public:
    CRTFStrInfoAry() : m_items(nullptr), m_capacity(0), m_count(0) {}
    ~CRTFStrInfoAry();
    CRTFStrInfoAry(const CRTFStrInfoAry&) = delete;
    CRTFStrInfoAry& operator=(const CRTFStrInfoAry&) = delete;

    int Count() const { return m_count; }
    StrInfo& operator[](int i) { return m_items[i]; }
    const StrInfo& operator[](int i) const { return m_items[i]; }
    StrInfo* Last() { return m_count ? &m_items[m_count - 1] : nullptr; }
    const StrInfo* Last() const { return m_count ? &m_items[m_count - 1] : nullptr; }
    // False when the array cannot grow (the record is left out).
    bool Append(const StrInfo& run);
    // Room for count records (false when it cannot grow).
    bool Reserve(int count);
    // Removes count records from index (fewer when fewer remain).
    void Remove(int index, int count);
    void Clear();

private:
    StrInfo* m_items;
    int m_capacity;
    int m_count;
};

// A paragraph's text: NUL-terminated, in multiples of 32 bytes with room
// for 33 more, at least doubling.
class RtfText {
public:
    RtfText() : m_data(nullptr), m_capacity(0), m_length(0) {}
    ~RtfText();
    RtfText(const RtfText&) = delete;
    RtfText& operator=(const RtfText&) = delete;

    int Length() const { return m_length; }
    const char* Data() const { return m_data ? m_data : ""; }
    bool Append(const void* bytes, int count);
    // Room for count bytes, as appending them would make it.
    bool Reserve(int count);
    bool Append(BYTE b) {
        if (m_length + 1 < m_capacity) {
            m_data[m_length++] = (char)b;
            m_data[m_length] = 0;
            return true;
        }
        return Append(&b, 1);
    }

private:
    char* m_data;
    int m_capacity;
    int m_length;
};

// One laid-out line.
struct RtfLine {
    int32_t x;  // twips from the rectangle's left
    int32_t usedWidth, availableWidth;
    int32_t extraSpacing;
    int32_t height, leading, ascent, descent;
    int32_t bytes, characters;
    int32_t firstByte;  // offset of the line's first byte in its paragraph
    BYTE flags;         // bit 0: ends short of its width (not justified)
};

struct RtfParagraph {
    RtfParaFormat format;
    CRTFStrInfoAry runs;
    RtfText text;
    BYTE flags;  // bit 0 laid out
    std::vector<RtfLine> lines;
    int32_t height;
    RtfParagraph* next;
    RtfParagraph* prev;

    RtfParagraph() : flags(0), height(0), next(nullptr), prev(nullptr) { format.Reset(); }
};
enum { RTFPARA_LAIDOUT = 0x01 };

// Frees a paragraph list from its first paragraph.
void FreeRtfParagraphs(RtfParagraph* first);

struct rtfHotWord {
    int32_t id;
    int32_t start;   // byte offset in the paragraph's text
    int32_t length;  // bytes
    RtfParagraph* paragraph;
};

// The hot words; grows to the next multiple of 8 records.
class rtfHotWordTbl {
public:
    rtfHotWordTbl() : m_items(nullptr), m_capacity(0), m_count(0) {}
    ~rtfHotWordTbl();
    rtfHotWordTbl(const rtfHotWordTbl&) = delete;
    rtfHotWordTbl& operator=(const rtfHotWordTbl&) = delete;

    int Count() const { return m_count; }
    rtfHotWord& operator[](int i) { return m_items[i]; }
    const rtfHotWord& operator[](int i) const { return m_items[i]; }
    rtfHotWord* Last() { return m_count ? &m_items[m_count - 1] : nullptr; }
    bool InsertHotWord(const rtfHotWord& word);
    void Clear();
    void Swap(rtfHotWordTbl& other) {
        std::swap(m_items, other.m_items);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_count, other.m_count);
    }

private:
    rtfHotWord* m_items;
    int m_capacity;
    int m_count;
};

typedef std::vector<RtfFontEntry> RtfFontTable;
typedef std::vector<COLORREF> RtfColorTable;

// The pictures of a document; frees their handles and data.
class RtfPictureArray {
public:
    RtfPictureArray() {}
    ~RtfPictureArray() { Clear(); }
    RtfPictureArray(const RtfPictureArray&) = delete;
    RtfPictureArray& operator=(const RtfPictureArray&) = delete;

    int Count() const { return (int)m_items.size(); }
    RtfPicture* At(int i) { return i >= 0 && i < Count() ? &m_items[i] : nullptr; }
    const RtfPicture* At(int i) const { return i >= 0 && i < Count() ? &m_items[i] : nullptr; }
    // A zeroed picture appended; null when the array cannot grow.
    RtfPicture* Append();
    void Clear();
    void Swap(RtfPictureArray& other) { m_items.swap(other.m_items); }

private:
    std::vector<RtfPicture> m_items;
};

// A whole document with the tables its paragraphs refer to.
struct RtfDocument {
    RtfFontTable fonts;
    RtfColorTable colors;
    RtfPictureArray pictures;
    rtfHotWordTbl hotWords;
    RtfParagraph* first = nullptr;
    int paragraphCount = 0;

    RtfDocument() {}
    ~RtfDocument() { Clear(); }
    RtfDocument(const RtfDocument&) = delete;
    RtfDocument& operator=(const RtfDocument&) = delete;
    void Clear();
};

// Index of a font number in the table (which is in ascending number
// order), or -1.
int FindRtfFont(const RtfFontTable& fonts, int number);

// ---- measuring (on a device context in the twips mapping) ----

// The font of a run: picture runs take the default font at 12 points.
void RtfRunLogFont(const StrInfo& run, const RtfFontTable& fonts, const LOGFONTA& defaultFont,
                   LOGFONTA* out);
// Width of `count` bytes of a run from `from`, with extra spacing after each
// character.
int RtfRunPartWidth(HDC dc, const RtfDocument& doc, const LOGFONTA& defaultFont,
                    const RtfParagraph& para, int run, int from, int count, int extra);
// The run holding a byte offset and the offset within it; -1, -1 without
// runs; past the end, the end of the last run.
void RtfLocateOffset(const RtfParagraph& para, int offset, int* run, int* within);
// Width of the bytes from .. to (exclusive) of a paragraph.
int RtfRangeWidth(HDC dc, const RtfDocument& doc, const LOGFONTA& defaultFont,
                  const RtfParagraph& para, int from, int to, int extra);
