// The RTF reader's keyword tables and actions, and the measuring of runs.
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "aPixBuf.h"
#include "aUtil.h"
#include "bMetaFile.h"
#include "bPlayerSite.h"
#include "bTextCut.h"
#include "bTraceLog.h"
#include "rtfParse.h"

namespace {

enum RtfAction {
    ACT_SKIPGROUP = 0,
    ACT_ESCAPE = 1,
    ACT_ASTERISK = 2,
    ACT_SYMBOL = 3,
    ACT_QUOTE = 4,
    ACT_TABWIDTH = 5,
    ACT_UNICODE = 6,
    ACT_UNICODESKIP = 7,
    ACT_PAR = 8,
    ACT_IGNORE_CBPAT = 9,
    ACT_IGNORE_CFPAT = 10,
    ACT_ALIGN = 11,
    ACT_SPACING = 12,
    ACT_BACKCOLOR = 13,
    ACT_FORECOLOR = 14,
    ACT_IGNORE_SHADING = 15,
    ACT_KERNING = 16,
    ACT_EXPAND = 17,
    ACT_COLORTBL = 18,
    ACT_FONTTBL = 19,
    ACT_IGNORE_DEFF = 20,
    ACT_INDENT = 21,
    ACT_PARD = 22,
    ACT_PLAIN = 23,
    ACT_FONT = 24,
    ACT_FONTSIZE = 25,
    ACT_CLASSFONT = 26,
    ACT_STYLE = 27,
    ACT_HOTWORD = 28,
    ACT_PICT = 29,
    ACT_OBJECT = 30,
};

// Font-table actions.
enum {
    FACT_SKIPGROUP = 0,
    FACT_NUMBER = 1,
    FACT_FAMILY = 2,
    FACT_CHARSET = 3,
    FACT_ESCAPE = 4,
    FACT_PITCH = 5
};
// Picture-table actions.
enum {
    PACT_SKIPGROUP = 0,
    PACT_ESCAPE = 4,
    PACT_GOALW = 32,
    PACT_GOALH = 33,
    PACT_WMF = 34,
    PACT_SRCW = 35,
    PACT_SRCH = 36,
    PACT_PNG = 37,
    PACT_JPEG = 38,
    PACT_SCALEX = 39,
    PACT_SCALEY = 40
};
enum { OACT_PICT = 31 };

int16_t Clamp16(int32_t v) {
    return (int16_t)(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

int32_t ScaledTwips(int32_t scale, int32_t goal) {
    long long v = ((long long)scale * goal + 50) / 100;
    return (int32_t)(v > 0x7FFFFFFFLL ? 0x7FFFFFFFLL : v < -0x7FFFFFFFLL ? -0x7FFFFFFFLL : v);
}

bool IsLetter(BYTE c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

// ---- the keyword tables, in byte order of their words ----

const RtfKeyword CRtfParser::s_mainTable[] = {
    {"'", 0, ACT_ESCAPE},
    {"*", 0, ACT_ASTERISK},
    {"\\", 92, ACT_SYMBOL},
    {"b", 0, ACT_STYLE},
    {"cbpat", 0, ACT_IGNORE_CBPAT},
    {"cf", 0, ACT_FORECOLOR},
    {"cfpat", 0, ACT_IGNORE_CFPAT},
    {"chcbpat", 0, ACT_BACKCOLOR},
    {"chshdng", 0, ACT_IGNORE_SHADING},
    {"colortbl", 0, ACT_COLORTBL},
    {"dbch", 3, ACT_CLASSFONT},
    {"deff", 0, ACT_IGNORE_DEFF},
    {"expnd", 0, ACT_EXPAND},
    {"expndtw", 1, ACT_EXPAND},
    {"f", 0, ACT_FONT},
    {"fi", 0, ACT_INDENT},
    {"fonttbl", 0, ACT_FONTTBL},
    {"footer", 0, ACT_SKIPGROUP},
    {"footerf", 0, ACT_SKIPGROUP},
    {"footerl", 0, ACT_SKIPGROUP},
    {"footerr", 0, ACT_SKIPGROUP},
    {"footnote", 0, ACT_SKIPGROUP},
    {"fs", 24, ACT_FONTSIZE},
    {"header", 0, ACT_SKIPGROUP},
    {"headerf", 0, ACT_SKIPGROUP},
    {"headerl", 0, ACT_SKIPGROUP},
    {"headerr", 0, ACT_SKIPGROUP},
    {"hich", 2, ACT_CLASSFONT},
    {"hotword", 1, ACT_HOTWORD},
    {"hotwordend", 0, ACT_HOTWORD},
    {"i", 1, ACT_STYLE},
    {"info", 0, ACT_SKIPGROUP},
    {"kerning", 0, ACT_KERNING},
    {"ldblquote", 34, ACT_QUOTE},
    {"li", 1, ACT_INDENT},
    {"listtext", 0, ACT_SKIPGROUP},
    {"loch", 1, ACT_CLASSFONT},
    {"nosupersub", 7, ACT_STYLE},
    {"object", 0, ACT_OBJECT},
    {"par", 10, ACT_PAR},
    {"pard", 0, ACT_PARD},
    {"pict", 0, ACT_PICT},
    {"plain", 0, ACT_PLAIN},
    {"pntext", 0, ACT_SKIPGROUP},
    {"qc", 1, ACT_ALIGN},
    {"qd", 4, ACT_ALIGN},
    {"qj", 3, ACT_ALIGN},
    {"ql", 0, ACT_ALIGN},
    {"qr", 2, ACT_ALIGN},
    {"rdblquote", 34, ACT_QUOTE},
    {"ri", 2, ACT_INDENT},
    {"sa", 0, ACT_SPACING},
    {"sb", 1, ACT_SPACING},
    {"sl", 2, ACT_SPACING},
    {"strike", 4, ACT_STYLE},
    {"stylesheet", 0, ACT_SKIPGROUP},
    {"sub", 5, ACT_STYLE},
    {"super", 6, ACT_STYLE},
    {"tab", 9, ACT_SYMBOL},
    {"tx", 0, ACT_TABWIDTH},
    {"u", 0, ACT_UNICODE},
    {"uc", 0, ACT_UNICODESKIP},
    {"ul", 2, ACT_STYLE},
    {"ulnone", 3, ACT_STYLE},
    {"{", 123, ACT_SYMBOL},
    {"}", 125, ACT_SYMBOL},
};
const int CRtfParser::s_mainCount = sizeof(s_mainTable) / sizeof(s_mainTable[0]);

const RtfKeyword CRtfParser::s_fontTable[] = {
    {"'", 0, FACT_ESCAPE},        {"*", 0, FACT_SKIPGROUP},      {"f", 0, FACT_NUMBER},
    {"fbidi", 0, FACT_FAMILY},    {"fcharset", 0, FACT_CHARSET}, {"fdecor", 80, FACT_FAMILY},
    {"fmodern", 48, FACT_FAMILY}, {"fname", 0, FACT_SKIPGROUP},  {"fnil", 0, FACT_FAMILY},
    {"fprq", 0, FACT_PITCH},      {"froman", 16, FACT_FAMILY},   {"fscript", 64, FACT_FAMILY},
    {"fswiss", 32, FACT_FAMILY},  {"ftech", 0, FACT_FAMILY},
};
const int CRtfParser::s_fontCount = sizeof(s_fontTable) / sizeof(s_fontTable[0]);

const RtfKeyword CRtfParser::s_pictTable[] = {
    {"'", 0, PACT_ESCAPE},         {"*", 0, PACT_SKIPGROUP},    {"jpegblip", 0, PACT_JPEG},
    {"pich", 0, PACT_SRCH},        {"pichgoal", 0, PACT_GOALH}, {"picscalex", 0, PACT_SCALEX},
    {"picscaley", 0, PACT_SCALEY}, {"picw", 0, PACT_SRCW},      {"picwgoal", 0, PACT_GOALW},
    {"pngblip", 0, PACT_PNG},      {"wmetafile", 0, PACT_WMF},
};
const int CRtfParser::s_pictCount = sizeof(s_pictTable) / sizeof(s_pictTable[0]);

const RtfKeyword CRtfParser::s_objectTable[] = {
    {"'", 0, 4},
    {"*", 0, 0},
    {"pict", 0, OACT_PICT},
};
const int CRtfParser::s_objectCount = sizeof(s_objectTable) / sizeof(s_objectTable[0]);

namespace {

// Byte order of two words after their equal first bytes.
int CompareRest(const char* a, const char* b) {
    while (*a && *a == *b) ++a, ++b;
    return (unsigned char)*a - (unsigned char)*b;
}

// Binary search of rows lo .. hi, whose words all begin with word[0].
const RtfKeyword* SearchRows(const RtfKeyword* table, int lo, int hi, const char* word) {
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareRest(table[mid].word + 1, word + 1);
        if (c == 0)
            return &table[mid];
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return nullptr;
}

// The rows of the main table by first byte: rows from[b] .. from[b + 1] - 1
// begin with byte b. Every control word is looked up: the search starts
// among the few rows of its first letter.
struct FirstByteIndex {
    uint8_t from[257];
    FirstByteIndex(const RtfKeyword* table, int count) {
        int row = 0;
        for (int b = 0; b < 256; ++b) {
            from[b] = (uint8_t)row;
            while (row < count && (unsigned char)table[row].word[0] == b) ++row;
        }
        from[256] = (uint8_t)row;
    }
};
static_assert(sizeof(CRtfParser::s_mainTable) / sizeof(RtfKeyword) < 256, "index in a byte");
const FirstByteIndex g_mainIndex(CRtfParser::s_mainTable, CRtfParser::s_mainCount);

}  // namespace

const RtfKeyword* FindRtfKeyword(const RtfKeyword* table, int count, const char* word) {
    int lo = 0, hi = count - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        // Most probes differ in the first byte.
        int c = (unsigned char)table[mid].word[0] - (unsigned char)word[0];
        if (c == 0 && word[0])
            c = CompareRest(table[mid].word + 1, word + 1);
        if (c == 0)
            return &table[mid];
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return nullptr;
}

const RtfKeyword* CRtfParser::FindMainKeyword(const char* word) {
    const unsigned char b = (unsigned char)word[0];
    return SearchRows(s_mainTable, g_mainIndex.from[b], g_mainIndex.from[b + 1] - 1, word);
}

// ---- actions ----

bool CRtfParser::DoAction(const RtfKeyword& row, int32_t value, bool hasValue) {
    switch (row.action) {
        case ACT_SKIPGROUP: {
            if (!SkipGroup(false))
                return false;
            if (m_para) {
                // Only the group's own (still empty) run goes: text read
                // before the word keeps the run that counts it.
                StrInfo* last = m_para->runs.Last();
                if (last && last->length == 0)
                    m_para->runs.Remove(m_para->runs.Count() - 1, 1);
                if (--m_depth < 0)
                    return false;
                if (!m_groupStack.empty()) {
                    m_format = m_groupStack.back();
                    m_groupStack.pop_back();
                }
            }
            break;
        }
        case ACT_ESCAPE:
            return EscapedByte();
        case ACT_ASTERISK:
            return Asterisk();
        case ACT_SYMBOL:
            AddText((BYTE)row.parameter);
            // A word (tab) ends at its blank; a symbol has none.
            if (IsLetter((BYTE)row.word[0]))
                SkipDelimiter();
            return true;
        case ACT_QUOTE:
            AddText((BYTE)row.parameter);
            break;
        case ACT_TABWIDTH:
            m_paraFormat.tabWidth = value;
            break;
        case ACT_UNICODE:
            Unicode(value);
            return true;
        case ACT_UNICODESKIP:
            m_unicodeSkip = value;
            break;
        case ACT_PAR:
            NewParagraph();
            break;
        case ACT_ALIGN:
            m_paraFormat.align = row.parameter;
            break;
        case ACT_SPACING: {
            int16_t v = hasValue ? Clamp16(value) : 0;
            if (row.parameter == 0)
                m_paraFormat.spaceAfter = v;
            else if (row.parameter == 1)
                m_paraFormat.spaceBefore = v;
            else
                m_paraFormat.lineSpacing = v;
            break;
        }
        case ACT_BACKCOLOR:
            m_format.backColor = Clamp16(value);
            m_format.colorFlags |= RTFCOLOR_BACK;
            break;
        case ACT_FORECOLOR:
            m_format.foreColor = Clamp16(value);
            m_format.colorFlags |= RTFCOLOR_FORE;
            break;
        case ACT_KERNING: {
            long long k = (long long)value * 10;
            m_format.kerning = (int16_t)(k > 32767 ? 32767 : k < -32768 ? -32768 : k);
            m_format.setFlags |= RTFSET_KERNING;
            break;
        }
        case ACT_EXPAND: {
            long long v = row.parameter ? value : (long long)value * 5;
            m_format.spacing = Clamp16((int32_t)(v > 32767 ? 32767 : v < -32768 ? -32768 : v));
            m_format.setFlags |= RTFSET_SPACING;
            break;
        }
        case ACT_COLORTBL:
            return ColorTable();
        case ACT_FONTTBL:
            return FontTable();
        case ACT_INDENT: {
            int32_t v = hasValue ? value : 0;
            if (row.parameter == 0)
                m_paraFormat.firstIndent = v;
            else if (row.parameter == 1)
                m_paraFormat.leftIndent = v;
            else
                m_paraFormat.rightIndent = v;
            break;
        }
        case ACT_PARD:
            if (m_para)
                m_paraFormat.Reset();
            else
                NewParagraph();
            break;
        case ACT_PLAIN:
            m_format.Reset();
            break;
        case ACT_FONT:
            if (!SetFont(value, hasValue))
                return false;
            break;
        case ACT_FONTSIZE:
            m_format.size = hasValue ? Clamp16(value) : 24;
            m_format.setFlags |= RTFSET_SIZE;
            break;
        case ACT_CLASSFONT:
            if (!ClassFont(row.parameter))
                return false;
            break;
        case ACT_STYLE:
            Style(row.parameter, value, hasValue);
            break;
        case ACT_HOTWORD:
            HotWord(row.parameter, value);
            break;
        case ACT_PICT:
            return PictureRun();
        case ACT_OBJECT:
            return ObjectGroup();
        default:  // the ignored words
            break;
    }
    SkipDelimiter();
    return true;
}

bool CRtfParser::EscapedByte() {
    BYTE b = 0;
    if (ReadHexByte(&b)) {
        AddText(b);
        return true;
    }
    if (AtEnd())
        return false;
    // Not an escape after all: the apostrophe is text, the bytes after it
    // are read as they come.
    AddText('\'');
    return true;
}

bool CRtfParser::Asterisk() {
    const BYTE* at = m_pos;
    SkipLineBreaks();
    if (m_pos < m_end && *m_pos == '\\') {
        ++m_pos;
        char word[40];
        if (ReadWord(word, sizeof(word)) && !FindMainKeyword(word)) {
            // An unknown destination: the whole group goes.
            const RtfKeyword* skip = FindRtfKeyword(s_mainTable, s_mainCount, "info");
            m_pos = at;
            return DoAction(*skip, 0, false);
        }
    }
    // A known word is read normally; without a word the bytes are text.
    m_pos = at;
    return true;
}

void CRtfParser::Unicode(int32_t value) {
    if (m_unicodeSkip <= 1) {
        SkipDelimiter();
        return;  // no substitute to replace: it is read as text
    }
    WCHAR wc = (WCHAR)(value < 0 ? value + 65536 : value);
    char bytes[8];
    int n = WideCharToMultiByte(CP_ACP, 0, &wc, 1, bytes, sizeof(bytes), nullptr, nullptr);
    if (n == 2)
        m_format.charClass = RTFCLASS_DBCS;
    if (n > 0)
        AddBytes(reinterpret_cast<const BYTE*>(bytes), n);
    SkipDelimiter();
    for (int i = 0; i < m_unicodeSkip; ++i) {
        SkipLineBreaks();
        if (m_end - m_pos >= 4 && m_pos[0] == '\\' && m_pos[1] == '\'' && isxdigit(m_pos[2]) &&
            isxdigit(m_pos[3]))
            m_pos += 4;
        else
            break;
    }
}

bool CRtfParser::SetFont(int32_t number, bool hasNumber) {
    if (!hasNumber)
        return false;
    int index = FindRtfFont(*m_fonts, number);
    if (index < 0) {
        LOG_MSG("CRtfParser::SetFont -- not found, so set the first item");
        index = 0;
    }
    m_format.font = (int16_t)index;
    m_format.setFlags |= RTFSET_FONT;
    return true;
}

bool CRtfParser::ClassFont(int which) {
    SkipLineBreaks();
    if (AtEnd() || *m_pos != '\\')
        return true;  // no font named: nothing changes
    const BYTE* at = m_pos;
    ++m_pos;
    char word[40];
    if (!ReadWord(word, sizeof(word)) || (strcmp(word, "af") != 0 && strcmp(word, "f") != 0)) {
        m_pos = at;
        return true;
    }
    int32_t number = -1;
    ReadNumber(&number);
    int index = FindRtfFont(*m_fonts, number);
    if (index < 0)
        return false;
    if (which == RTFCLASS_LOW) {
        m_format.lowFont = (int16_t)index;
        m_format.setFlags |= RTFSET_LOWFONT;
    } else if (which == RTFCLASS_HIGH) {
        m_format.highFont = (int16_t)index;
        m_format.setFlags |= RTFSET_HIGHFONT;
    } else {
        m_format.dbcsFont = (int16_t)index;
        m_format.setFlags |= RTFSET_DBCSFONT;
    }
    if (strcmp(word, "f") == 0)
        m_format.charClass = (int16_t)which;
    return true;
}

void CRtfParser::Style(int32_t parameter, int32_t value, bool hasValue) {
    int16_t& s = m_format.style;
    bool on = !hasValue || value != 0;
    switch (parameter) {
        case 0:
        case 1:
        case 2:
        case 4: {
            int16_t bit = parameter == 0   ? RTFSTYLE_BOLD
                          : parameter == 1 ? RTFSTYLE_ITALIC
                          : parameter == 2 ? RTFSTYLE_UNDERLINE
                                           : RTFSTYLE_STRIKE;
            s = on ? (int16_t)(s | bit) : (int16_t)(s & ~bit);
            break;
        }
        case 3:
            s &= ~RTFSTYLE_UNDERLINE;
            break;
        case 5:
            s |= RTFSTYLE_SUB;
            break;
        case 6:
            s |= RTFSTYLE_SUPER;
            break;
        case 7:
            s &= ~(RTFSTYLE_SUB | RTFSTYLE_SUPER);
            break;
    }
    m_format.setFlags |= RTFSET_STYLE;
}

void CRtfParser::HotWord(int32_t parameter, int32_t value) {
    if (parameter) {
        if (!m_para)
            return;
        rtfHotWord word = {value, m_para->text.Length(), 0, m_para};
        m_hotWords->InsertHotWord(word);
        return;
    }
    rtfHotWord* last = m_hotWords->Last();
    if (!last) {
        LOG_MSG("wrong id: end id without begin id before!");
        return;
    }
    last->length = last->paragraph->text.Length() - last->start;
}

// ---- tables ----

bool CRtfParser::ColorTable() {
    auto skipSpace = [this] {
        while (m_pos < m_end && (*m_pos == ' ' || *m_pos == '\r' || *m_pos == '\n')) ++m_pos;
    };
    skipSpace();
    try {
        if (m_pos < m_end && *m_pos == ';') {
            ++m_pos;
            m_colors->push_back(0);
        }
        for (;;) {
            skipSpace();
            if (AtEnd())
                return false;
            if (*m_pos == '}') {
                ++m_pos;
                break;
            }
            int32_t rgb[3] = {0, 0, 0};
            while (!AtEnd() && *m_pos != ';' && *m_pos != '}') {
                if (*m_pos != '\\') {
                    ++m_pos;
                    continue;
                }
                ++m_pos;
                char word[40];
                if (!ReadWord(word, sizeof(word)))
                    return false;
                int32_t v = 0;
                bool has = ReadNumber(&v);
                int which = strcmp(word, "red") == 0     ? 0
                            : strcmp(word, "green") == 0 ? 1
                            : strcmp(word, "blue") == 0  ? 2
                                                         : -1;
                if (which < 0)
                    continue;
                if (!has)
                    return false;
                rgb[which] = v < 0 ? 0 : v > 255 ? 255 : v;
            }
            if (AtEnd())
                return false;
            if (*m_pos == ';')
                ++m_pos;
            m_colors->push_back((COLORREF)(rgb[0] | (rgb[1] << 8) | (rgb[2] << 16)));
        }
    } catch (const std::bad_alloc&) {
        return SkipGroup(false);
    }
    if (m_para)
        CloseGroup();
    return true;
}

bool CRtfParser::ReadFaceName(RtfFontEntry* entry) {
    char name[256];
    size_t n = 0;
    while (!AtEnd()) {
        BYTE c = *m_pos;
        if (c == '{' || c == ';' || c == '}')
            break;
        if (c == '\r' || c == '\n') {
            ++m_pos;
            continue;
        }
        BYTE b = c;
        if (c == '\\') {
            if (m_end - m_pos >= 2 && m_pos[1] == '\'') {
                m_pos += 2;
                if (!ReadHexByte(&b))
                    b = '\'';
            } else {
                break;  // a control word after the name
            }
        } else {
            ++m_pos;
        }
        if (n + 1 < sizeof(name))
            name[n++] = (char)b;
    }
    name[n] = 0;
    // Cut on a whole character to fit the field with its NUL.
    MbCopyCut(entry->face, sizeof(entry->face), name);
    return !AtEnd();
}

bool CRtfParser::FontTable() {
    try {
        if (m_fonts->empty())
            m_fonts->push_back(RtfFontEntry{});
        size_t index = m_fonts->size() - 1;
        int nesting = 1;
        bool entryStart = true;
        auto entry = [this, &index]() -> RtfFontEntry* {
            if (index == m_fonts->size())
                m_fonts->push_back(RtfFontEntry{});
            return index < m_fonts->size() ? &(*m_fonts)[index] : nullptr;
        };
        for (;;) {
            if (AtEnd())
                return false;
            BYTE c = *m_pos;
            if (entryStart) {
                entryStart = false;
                if (c == ' ') {
                    ++m_pos;
                    continue;
                }
            }
            if (c == '\r' || c == '\n') {
                ++m_pos;
            } else if (c == ';') {
                ++m_pos;
                if (index < m_fonts->size())
                    ++index;
                entryStart = true;
            } else if (c == '{') {
                ++m_pos;
                ++nesting;
            } else if (c == '}') {
                ++m_pos;
                if (nesting == 1)
                    break;
                --nesting;
            } else if (c == '\\') {
                RtfFontEntry* e = entry();
                if (m_end - m_pos >= 2 && m_pos[1] == '\'') {
                    if (!ReadFaceName(e))
                        return false;
                    continue;
                }
                ++m_pos;
                char word[40];
                if (!ReadWord(word, sizeof(word)))
                    return false;
                int32_t v = 0;
                ReadNumber(&v);
                const RtfKeyword* row = FindRtfKeyword(s_fontTable, s_fontCount, word);
                if (row) {
                    switch (row->action) {
                        case FACT_NUMBER:
                            e->number = Clamp16(v);
                            break;
                        case FACT_FAMILY:
                            e->pitchFamily |= (BYTE)row->parameter;
                            break;
                        case FACT_CHARSET:
                            e->charset = (BYTE)v;
                            break;
                        case FACT_PITCH:
                            e->pitchFamily |= (BYTE)v;
                            break;
                        case FACT_SKIPGROUP:
                            if (!SkipGroup(true))
                                return false;
                            break;
                    }
                }
                if (m_pos < m_end && *m_pos == ' ')
                    ++m_pos;
            } else {
                if (!ReadFaceName(entry()))
                    return false;
            }
        }
    } catch (const std::bad_alloc&) {
        return SkipGroup(false);
    }
    if (m_para)
        CloseGroup();
    return true;
}

// ---- pictures and objects ----

STDMETHODIMP CRtfParser::CodecSite::GetCodecManager(PictureCodecManager** manager) {
    if (!manager)
        return E_POINTER;
    *manager = nullptr;
    void* codecs = nullptr;
    if (!site || FAILED(site->GetCodecManager(&codecs)) || !codecs)
        return E_FAIL;
    *manager = static_cast<PictureCodecManager*>(codecs);
    return S_OK;
}

bool CRtfParser::PictureRun() {
    if (!m_para)
        return SkipGroup(false);  // nowhere to show it
    if (m_para->text.Length() == 0)
        m_para->format = m_paraFormat;
    RtfCharFormat format = m_format;
    format.itemKind = (BYTE)((format.itemKind & ~RTFITEM_MASK) | RTFITEM_PICTURE);
    format.charClass = RTFCLASS_PICTURE;
    format.picture = m_pictures->Count();
    bool placed = StartRun(format);
    if (!PictureGroup())
        return false;
    if (placed) {
        StrInfo* run = m_para->runs.Last();
        if (m_para->text.Append(' '))
            run->length = 1;
    }
    return true;
}

bool CRtfParser::PictureGroup() {
    RtfPicture* appended = m_pictures->Append();
    int index = appended ? m_pictures->Count() - 1 : -1;
    int nesting = 1;
    bool dataMayStart = false;
    for (;;) {
        if (AtEnd())
            return false;
        BYTE c = *m_pos;
        RtfPicture* p = m_pictures->At(index);
        if (c == '\\') {
            ++m_pos;
            char word[40];
            if (!ReadWord(word, sizeof(word)))
                return false;
            int32_t v = 0;
            ReadNumber(&v);
            dataMayStart = false;
            const RtfKeyword* row = FindRtfKeyword(s_pictTable, s_pictCount, word);
            if (!row || !p)
                continue;
            switch (row->action) {
                case PACT_GOALW:
                    p->goalWidth = v;
                    p->shownWidth = p->scaleX ? ScaledTwips(p->scaleX, v) : v;
                    break;
                case PACT_GOALH:
                    p->goalHeight = v;
                    p->shownHeight = p->scaleY ? ScaledTwips(p->scaleY, v) : v;
                    break;
                case PACT_WMF:
                    p->kind = RTFPIC_WMF;
                    p->mapMode = v;
                    break;
                case PACT_SRCW:
                    p->sourceWidth = v;
                    break;
                case PACT_SRCH:
                    p->sourceHeight = v;
                    break;
                case PACT_PNG:
                case PACT_JPEG:
                    p->kind = row->action;
                    p->mapMode = -1;
                    break;
                case PACT_SCALEX:
                    p->scaleX = v;
                    break;
                case PACT_SCALEY:
                    p->scaleY = v;
                    break;
                case PACT_SKIPGROUP:
                    if (!SkipGroup(true))
                        return false;
                    break;
            }
        } else if (c == '{') {
            ++m_pos;
            ++nesting;
            dataMayStart = false;
        } else if (c == '}') {
            if (nesting == 1) {
                if (p)
                    MakePicture(p);
                return true;  // the brace is the main loop's
            }
            ++m_pos;
            --nesting;
            dataMayStart = true;
        } else if (c == ' ' || c == '\r' || c == '\n') {
            ++m_pos;
            dataMayStart = true;
        } else if (dataMayStart && isxdigit(c)) {
            // Hex data to the group's end, two digits a byte.
            const BYTE* from = m_pos;
            while (m_pos < m_end && *m_pos != '}') ++m_pos;
            size_t digits = 0;
            for (const BYTE* q = from; q < m_pos; ++q) digits += isxdigit(*q) ? 1 : 0;
            BYTE* data = digits >= 2 ? static_cast<BYTE*>(malloc(digits / 2)) : nullptr;
            DWORD length = 0;
            int high = -1;
            for (const BYTE* q = from; data && q < m_pos; ++q) {
                if (!isxdigit(*q))
                    continue;
                int d = isdigit(*q) ? *q - '0' : (tolower(*q) - 'a' + 10);
                if (high < 0) {
                    high = d;
                } else {
                    data[length++] = (BYTE)(high << 4 | d);
                    high = -1;
                }
            }
            if (p) {
                free(p->data);
                p->data = data;
                p->dataLength = length;
            } else {
                free(data);
            }
            dataMayStart = false;
        } else {
            ++m_pos;
            dataMayStart = false;
        }
    }
}

void CRtfParser::MakePicture(RtfPicture* p) {
    MakeRtfPicture(p, m_site, &m_codecSite);
}

void MakeRtfPicture(RtfPicture* p, IPlayerSite* site, IPictureCodecSite* codecs) {
    if (!p->data || !p->dataLength)
        return;
    if (p->kind == RTFPIC_WMF) {
        // Bare Windows-metafile bits, not one of the stored media kinds.
        if (!p->metafile)
            p->metafile = MetaFileFromBits(p->data, p->dataLength, nullptr, RTFPIC_WMF);
        return;
    }
    if ((p->kind != RTFPIC_PNG && p->kind != RTFPIC_JPEG) || p->bitmap)
        return;
    PicBase* picture = nullptr;
    if (FAILED(CreatePicBaseInterface(&picture, codecs)) || !picture)
        return;
    int codec = 0;
    if (picture->FindCodec(p->kind == RTFPIC_PNG ? "png" : "jpg", &codec) == S_OK &&
        SUCCEEDED(picture->DecodeMemory(p->data, p->dataLength, codec)))
        p->bitmap = CreateBitmapForTarget(picture->GetDIB(), site);
    picture->Release();
}

bool CRtfParser::ObjectGroup() {
    if (!m_para)
        return SkipGroup(false);
    int nesting = 1;
    for (;;) {
        if (AtEnd())
            return false;
        BYTE c = *m_pos;
        if (c == '\\') {
            ++m_pos;
            char word[40];
            if (!ReadWord(word, sizeof(word)))
                return false;
            const RtfKeyword* row = FindRtfKeyword(s_objectTable, s_objectCount, word);
            if (row && row->action == OACT_PICT) {
                if (!PictureRun())
                    return false;
            } else if (row && row->action == 0) {
                if (!SkipGroup(true))
                    return false;
            } else if (strcmp(word, "'") == 0) {
                BYTE b;
                ReadHexByte(&b);
            } else {
                int32_t v;
                ReadNumber(&v);
            }
        } else if (c == '{') {
            ++m_pos;
            ++nesting;
        } else if (c == '}') {
            if (nesting == 1)
                return true;  // the brace is the main loop's
            ++m_pos;
            --nesting;
        } else {
            ++m_pos;
        }
    }
}

// ---- measuring ----

void RtfRunLogFont(const StrInfo& run, const RtfFontTable& fonts, const LOGFONTA& defaultFont,
                   LOGFONTA* out) {
    const RtfCharFormat& f = run.format;
    if ((f.itemKind & RTFITEM_MASK) == RTFITEM_PICTURE || f.charClass == RTFCLASS_PICTURE) {
        *out = defaultFont;
        out->lfHeight = -240;
        return;
    }
    memset(out, 0, sizeof(*out));
    int index = f.font;
    if (f.charClass == RTFCLASS_LOW && (f.setFlags & RTFSET_LOWFONT))
        index = f.lowFont;
    else if (f.charClass == RTFCLASS_HIGH && (f.setFlags & RTFSET_HIGHFONT))
        index = f.highFont;
    else if (f.charClass == RTFCLASS_DBCS && (f.setFlags & RTFSET_DBCSFONT))
        index = f.dbcsFont;
    if (fonts.empty()) {
        out->lfCharSet = defaultFont.lfCharSet;
        out->lfPitchAndFamily = defaultFont.lfPitchAndFamily;
        MbCopyCutN(out->lfFaceName, LF_FACESIZE, defaultFont.lfFaceName,
                   strnlen(defaultFont.lfFaceName, LF_FACESIZE));
    } else {
        if (index < 0 || index >= (int)fonts.size())
            index = 0;
        const RtfFontEntry& e = fonts[index];
        out->lfCharSet = e.charset;
        out->lfPitchAndFamily = e.pitchFamily;
        MbCopyCutN(out->lfFaceName, LF_FACESIZE, e.face, strnlen(e.face, sizeof(e.face)));
    }
    out->lfHeight = -10 * f.size;
    out->lfWeight = (f.style & RTFSTYLE_BOLD) ? FW_BOLD : FW_NORMAL;
    out->lfItalic = (f.style & RTFSTYLE_ITALIC) ? 1 : 0;
    out->lfUnderline = (f.style & RTFSTYLE_UNDERLINE) ? 1 : 0;
    out->lfStrikeOut = (f.style & RTFSTYLE_STRIKE) ? 1 : 0;
}

namespace {

int RunStart(const RtfParagraph& para, int run) {
    int start = 0;
    for (int i = 0; i < run && i < para.runs.Count(); ++i) start += para.runs[i].length;
    return start;
}

}  // namespace

int RtfRunPartWidth(HDC dc, const RtfDocument& doc, const LOGFONTA& defaultFont,
                    const RtfParagraph& para, int runIndex, int from, int count, int extra) {
    if (runIndex < 0 || runIndex >= para.runs.Count() || count <= 0)
        return 0;
    const StrInfo& run = para.runs[runIndex];
    const RtfCharFormat& f = run.format;
    if (f.charClass == RTFCLASS_PICTURE) {
        const RtfPicture* p = doc.pictures.At(f.picture);
        return f.spacing + extra + (p ? p->shownWidth : 0);
    }
    int start = RunStart(para, runIndex) + from;
    if (start < 0 || start + count > para.text.Length())
        return 0;
    const char* text = para.text.Data() + start;
    int n = f.charClass == RTFCLASS_DBCS ? count / 2 : count;
    LOGFONTA lf;
    RtfRunLogFont(run, doc.fonts, defaultFont, &lf);
    if (f.style & (RTFSTYLE_SUB | RTFSTYLE_SUPER))
        lf.lfHeight /= 2;
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    int extent = 0;
    SIZE size;
    if (f.charClass == RTFCLASS_TAB) {
        extent = para.format.tabWidth;
    } else if (f.charClass == RTFCLASS_HIGH) {
        for (int i = 0; i < count; ++i)
            if (GetTextExtentPoint32A(dc, text + i, 1, &size))
                extent += size.cx;
    } else if (GetTextExtentPoint32A(dc, text, count, &size)) {
        extent = size.cx;
    }
    if (old)
        SelectObject(dc, old);
    if (font)
        DeleteObject(font);
    return n * (extra + f.spacing) + extent;
}

void RtfLocateOffset(const RtfParagraph& para, int offset, int* run, int* within) {
    *run = *within = -1;
    int count = para.runs.Count();
    if (count == 0)
        return;
    if (offset <= 0) {
        *run = *within = 0;
        return;
    }
    int start = 0;
    for (int i = 0; i < count; ++i) {
        int length = para.runs[i].length;
        if (offset < start + length) {
            *run = i;
            *within = offset - start;
            return;
        }
        start += length;
    }
    *run = count - 1;
    *within = para.runs[count - 1].length;
}

int RtfRangeWidth(HDC dc, const RtfDocument& doc, const LOGFONTA& defaultFont,
                  const RtfParagraph& para, int from, int to, int extra) {
    if (to <= from)
        return 0;
    int r1, w1, r2, w2;
    RtfLocateOffset(para, from, &r1, &w1);
    RtfLocateOffset(para, to, &r2, &w2);
    if (r1 < 0 || r2 < 0)
        return 0;
    if (r1 == r2)
        return RtfRunPartWidth(dc, doc, defaultFont, para, r1, w1, w2 - w1, extra);
    int width =
        RtfRunPartWidth(dc, doc, defaultFont, para, r1, w1, para.runs[r1].length - w1, extra);
    for (int r = r1 + 1; r < r2; ++r)
        width += RtfRunPartWidth(dc, doc, defaultFont, para, r, 0, para.runs[r].length, extra);
    return width + RtfRunPartWidth(dc, doc, defaultFont, para, r2, 0, w2, extra);
}
