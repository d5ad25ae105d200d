#include "rtfParse.h"

#include <ctype.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <string.h>

#include <algorithm>
#include <new>

#include "bTextCut.h"
#include "bTraceLog.h"

namespace {

bool IsLetter(BYTE c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(BYTE c) {
    return c >= '0' && c <= '9';
}

}  // namespace

CRtfParser::CRtfParser()
    : m_site(nullptr),
      m_paragraphCount(0),
      m_start(nullptr),
      m_pos(nullptr),
      m_end(nullptr),
      m_fonts(nullptr),
      m_colors(nullptr),
      m_pictures(nullptr),
      m_hotWords(nullptr),
      m_first(nullptr),
      m_para(nullptr),
      m_depth(0),
      m_unicodeSkip(0),
      m_runMatches(false) {
    m_format.Reset();
    m_paraFormat.Reset();
    for (int b = 0; b < 256; ++b) m_lead[b] = MbIsLeadByte((unsigned char)b);
}

CRtfParser::~CRtfParser() {
    // Paragraphs not handed to a caller.
    FreeRtfParagraphs(m_first);
}

void CRtfParser::SetText(const char* data, size_t size) {
    m_start = m_pos = reinterpret_cast<const BYTE*>(data);
    m_end = m_start ? m_start + size : nullptr;
}

void CRtfParser::SetTables(RtfFontTable* fonts, RtfColorTable* colors, RtfPictureArray* pictures,
                           rtfHotWordTbl* hotWords) {
    m_fonts = fonts;
    m_colors = colors;
    m_pictures = pictures;
    m_hotWords = hotWords;
}

int CRtfParser::Run(RtfParagraph** first, int* count) {
    if (first)
        *first = nullptr;
    if (count)
        *count = 0;
    if (!m_fonts || !m_colors || !m_pictures || !m_hotWords)
        return 0;
    m_codecSite.site = m_site;
    bool ok = Parse();
    if (m_colors->empty()) {
        try {
            m_colors->push_back(0);
        } catch (const std::bad_alloc&) {
        }
    }
    if (!ok) {
        // Hot words must not point into freed paragraphs.
        m_hotWords->Clear();
        FreeRtfParagraphs(m_first);
        m_first = m_para = nullptr;
        return 0;
    }
    if (!m_first)
        return 0;
    if (first)
        *first = m_first;
    if (count)
        *count = m_paragraphCount;
    m_first = m_para = nullptr;
    return 1;
}

// ---- tokens ----

void CRtfParser::SkipLineBreaks() {
    while (m_pos < m_end && (*m_pos == '\r' || *m_pos == '\n')) ++m_pos;
}

void CRtfParser::SkipDelimiter() {
    SkipLineBreaks();
    if (m_pos < m_end && *m_pos == ' ')
        ++m_pos;
}

bool CRtfParser::ReadWord(char* word, size_t size) {
    if (AtEnd())
        return false;
    size_t n = 0;
    if (!IsLetter(*m_pos)) {
        word[n++] = (char)*m_pos++;
    } else {
        while (m_pos < m_end && IsLetter(*m_pos)) {
            if (n + 1 < size)
                word[n] = (char)*m_pos;
            else
                n = size;  // too long for any table: stays unknown
            ++n;
            ++m_pos;
        }
        if (n >= size) {
            word[0] = '?';
            n = 1;
        }
    }
    word[n] = 0;
    return true;
}

bool CRtfParser::ReadNumber(int32_t* value) {
    const BYTE* p = m_pos;
    bool negative = false;
    if (p < m_end && *p == '-') {
        negative = true;
        ++p;
    }
    if (p >= m_end || !IsDigit(*p))
        return false;
    // Numbers beyond 32 bits are clamped.
    long long v = 0;
    while (p < m_end && IsDigit(*p)) {
        if (v <= 0x80000000LL)
            v = v * 10 + (*p - '0');
        ++p;
    }
    if (negative)
        v = -v;
    if (v > 0x7FFFFFFFLL)
        v = 0x7FFFFFFFLL;
    if (v < -0x80000000LL)
        v = -0x80000000LL;
    *value = (int32_t)v;
    m_pos = p;
    return true;
}

bool CRtfParser::ReadHexByte(BYTE* out) {
    if (m_end - m_pos < 2 || !isxdigit(m_pos[0]) || !isxdigit(m_pos[1]))
        return false;
    char hex[3] = {(char)m_pos[0], (char)m_pos[1], 0};
    *out = (BYTE)strtoul(hex, nullptr, 16);
    m_pos += 2;
    return true;
}

// ---- the main loop ----

bool CRtfParser::Parse() {
    static const char head[] = "{\\rtf";
    if (!m_start || m_end - m_start <= 5 || memcmp(m_start, head, 5) != 0) {
        LOG_MSG("Bad rtf file!");
        return false;
    }
    m_pos = m_start + 5;
    while (m_pos < m_end && IsDigit(*m_pos)) ++m_pos;
    while (m_pos < m_end && *m_pos == ' ') ++m_pos;
    while (m_pos < m_end && m_depth >= 0) {
        BYTE c = *m_pos++;
        switch (c) {
            case '\r':
            case '\n':
                break;
            case '\\':
                if (!ControlWord())
                    return false;
                break;
            case '{':
                if (m_para)
                    OpenGroup();
                break;
            case '}':
                if (m_para)
                    CloseGroup();
                break;
            default:
                m_pos = AddPlain(m_pos - 1);
                break;
        }
    }
    return true;
}

bool CRtfParser::ControlWord() {
    m_runMatches = false;
    char word[40];
    if (!ReadWord(word, sizeof(word)))
        return true;  // a backslash at the very end
    SkipLineBreaks();
    const RtfKeyword* row = FindMainKeyword(word);
    int32_t value = 0;
    bool hasValue = false;
    if (!(word[0] == '\'' && word[1] == 0) && !(row && row->action == 3))
        hasValue = ReadNumber(&value);
    if (!row) {
        if (IsLetter((BYTE)word[0]))
            SkipDelimiter();
        return true;
    }
    return DoAction(*row, value, hasValue);
}

// ---- the model ----

bool CRtfParser::StartRun(const RtfCharFormat& format) {
    StrInfo* last = m_para->runs.Last();
    if (last && last->length == 0) {
        // An empty run takes the new format instead of standing empty.
        last->format = format;
        last->depth = m_depth;
        return true;
    }
    StrInfo run;
    run.format = format;
    run.depth = m_depth;
    run.length = 0;
    return m_para->runs.Append(run);
}

void CRtfParser::SetClass(BYTE b) {
    int16_t& cls = m_format.charClass;
    bool high = b >= 0x80;
    bool lead = m_lead[b];
    switch (cls) {
        case RTFCLASS_NONE: {
            if (!high) {
                cls = RTFCLASS_LOW;
            } else {
                int font = m_format.font;
                bool gb =
                    font >= 0 && font < (int)m_fonts->size() && (*m_fonts)[font].charset == 134;
                cls = gb ? RTFCLASS_DBCS : RTFCLASS_HIGH;
            }
            break;
        }
        case RTFCLASS_LOW:
            if (high)
                cls = lead ? RTFCLASS_DBCS : RTFCLASS_HIGH;
            break;
        case RTFCLASS_DBCS: {
            StrInfo* last = m_para->runs.Last();
            int held = last ? last->length : 0;
            if (held % 2 == 0) {
                if (!high)
                    cls = RTFCLASS_LOW;
                else if (!lead)
                    cls = RTFCLASS_HIGH;
            }
            break;
        }
        case RTFCLASS_TAB:
        case RTFCLASS_PICTURE:
            if (high)
                cls = lead ? RTFCLASS_DBCS : RTFCLASS_HIGH;
            else
                cls = RTFCLASS_LOW;
            break;
        default:
            break;
    }
}

void CRtfParser::AddText(BYTE b) {
    if (!m_para)
        return;
    if (m_para->text.Length() == 0)
        m_para->format = m_paraFormat;
    if (b == '\t') {
        m_format.charClass = RTFCLASS_TAB;
        StrInfo* last = m_para->runs.Last();
        if (last && last->length == 0) {
            last->format = m_format;
            last->depth = m_depth;
        } else {
            StrInfo run = {m_format, m_depth, 0};
            if (!m_para->runs.Append(run))
                return;
        }
    } else {
        int16_t before = m_format.charClass;
        SetClass(b);
        StrInfo* last = m_para->runs.Last();
        if (!m_runMatches || m_format.charClass != before || !last) {
            if (!last || memcmp(&last->format, &m_format, sizeof(m_format)) != 0) {
                if (!StartRun(m_format))
                    return;
            }
            m_runMatches = true;
        }
    }
    StrInfo* last = m_para->runs.Last();
    if (last && m_para->text.Append(b))
        ++last->length;
}

namespace {

// Bytes that end a stretch of text: the control bytes and line breaks;
// a stretch of single-byte text also ends at a tab or a byte from 0x80.
struct StopTable {
    bool special[256];
    bool endsLow[256];
    StopTable() {
        for (int b = 0; b < 256; ++b) {
            special[b] = b == '\\' || b == '{' || b == '}' || b == '\r' || b == '\n';
            endsLow[b] = special[b] || b == '\t' || b >= 0x80;
        }
    }
};
const StopTable g_stops;

// The end of the single-byte text from p: sixteen bytes a step where the
// processor has the instructions for it.
const BYTE* LowTextEnd(const BYTE* p, const BYTE* end) {
#if defined(__SSE2__)
    const __m128i tab = _mm_set1_epi8('\t'), backslash = _mm_set1_epi8('\\');
    const __m128i open = _mm_set1_epi8('{'), close = _mm_set1_epi8('}');
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i stop = _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, backslash));
        stop = _mm_or_si128(stop, _mm_or_si128(_mm_cmpeq_epi8(v, open), _mm_cmpeq_epi8(v, close)));
        stop = _mm_or_si128(stop, _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        // The sign bit marks the bytes from 0x80.
        int mask = _mm_movemask_epi8(_mm_or_si128(stop, v));
        if (mask)
            return p + __builtin_ctz((unsigned)mask);
        p += 16;
    }
#endif
    while (p < end && !g_stops.endsLow[*p]) ++p;
    return p;
}

}  // namespace

const BYTE* CRtfParser::AddPlain(const BYTE* p) {
    const bool* special = g_stops.special;
    while (p < m_end && !special[*p]) {
        StrInfo* last = m_para ? m_para->runs.Last() : nullptr;
        if (m_runMatches && last && m_para->text.Length() > 0) {
            // Stretches that keep the last run's class go in whole.
            const BYTE* q = p;
            if (m_format.charClass == RTFCLASS_LOW) {
                q = LowTextEnd(q, m_end);
            } else if (m_format.charClass == RTFCLASS_DBCS && last->length % 2 == 0) {
                while (m_end - q >= 2 && m_lead[q[0]] && q[1] != '\t' && !special[q[1]]) q += 2;
            }
            if (q > p) {
                if (!m_para->text.Append(p, (int)(q - p)))
                    return q;
                last->length += (int)(q - p);
                p = q;
                continue;
            }
        }
        AddText(*p++);
    }
    return p;
}

void CRtfParser::AddBytes(const BYTE* bytes, int count) {
    for (int i = 0; i < count; ++i) AddText(bytes[i]);
}

void CRtfParser::NewParagraph() {
    RtfParagraph* p = new (std::nothrow) RtfParagraph();
    if (!p)
        return;
    ++m_paragraphCount;
    if (m_para) {
        p->next = m_para->next;
        p->prev = m_para;
        m_para->next = p;
    } else {
        m_first = p;
    }
    // Paragraphs of a document tend to be alike: room for as much as the
    // last one held saves growing each one step by step.
    if (m_para && m_para->text.Length() > 0) {
        p->text.Reserve(std::min(m_para->text.Length(), 4096));
        p->runs.Reserve(std::min(m_para->runs.Count(), 256));
    }
    m_para = p;
    p->format = m_paraFormat;
    StrInfo run = {m_format, m_depth, 0};
    p->runs.Append(run);
}

void CRtfParser::OpenGroup() {
    m_runMatches = false;
    ++m_depth;
    StrInfo* last = m_para->runs.Last();
    if (last && last->length == 0)
        last->format = m_format;
    try {
        m_groupStack.push_back(m_format);
    } catch (const std::bad_alloc&) {
    }
    StrInfo run = {m_format, m_depth, 0};
    run.format.itemKind &= ~RTFITEM_MASK;
    m_para->runs.Append(run);
}

void CRtfParser::CloseGroup() {
    m_runMatches = false;
    --m_depth;
    if (m_depth >= 0 && !m_groupStack.empty()) {
        m_format = m_groupStack.back();
        m_groupStack.pop_back();
    }
}

bool CRtfParser::SkipGroup(bool leaveBrace) {
    int nesting = 1;
    while (m_pos < m_end) {
        BYTE c = *m_pos;
        if (c == '\\') {
            // An escaped brace does not count.
            m_pos += (m_end - m_pos >= 2) ? 2 : 1;
            continue;
        }
        if (c == '{') {
            ++nesting;
        } else if (c == '}' && --nesting == 0) {
            if (!leaveBrace)
                ++m_pos;
            return true;
        }
        ++m_pos;
    }
    return false;
}
