#include "bExprScan.h"

#include <string.h>

#include "bTraceLog.h"

namespace {

struct LeadTable {
    bool lead[256];
    LeadTable() {
        for (int i = 0; i < 256; ++i) lead[i] = i >= 0x80 && IsDBCSLeadByte((BYTE)i);
    }
};

inline bool IsOpener(char c) {
    return c == '(' || c == '[';
}
inline bool IsCloser(char c) {
    return c == ')' || c == ']';
}
inline char CloserOf(char c) {
    return c == '(' ? ')' : ']';
}

// Offset after the character at pos: two for a lead byte with its trail,
// one otherwise (a lead byte at the very end stands alone).
inline int NextChar(const char* text, int pos, int end) {
    return (IsExprLeadByte((unsigned char)text[pos]) && pos + 1 < end) ? pos + 2 : pos + 1;
}

struct Splitter {
    const char* text;  // whole text, for messages
    std::vector<std::string>& items;

    HRESULT Split(int start, int end);
    HRESULT AddItem(int start, int end);
    int GroupEnd(int start, int end) const;
};

// Offset of the closer matching the opener at start (brackets known to be
// balanced), without messages.
int Splitter::GroupEnd(int start, int end) const {
    int depth = 0;
    int pos = start;
    while (pos < end) {
        char c = text[pos];
        if (c == '"') {
            if (!ScanStringLiteral(text, pos, end, nullptr))
                return -1;
            continue;
        }
        if (IsOpener(c))
            ++depth;
        else if (IsCloser(c) && --depth == 0)
            return pos;
        pos = NextChar(text, pos, end);
    }
    return -1;
}

HRESULT Splitter::Split(int start, int end) {
    char open[EXPR_MAX_LIST_DEPTH];
    int depth = 0;
    int itemStart = start;
    int pos = start;
    while (pos < end) {
        char c = text[pos];
        if (c == '"') {
            if (!ScanStringLiteral(text, pos, end, nullptr))
                return E_EXPR_BADSTRING;
            continue;
        }
        if (IsOpener(c)) {
            if (depth == EXPR_MAX_LIST_DEPTH) {
                LOG_MSG("string or escape char is mismatch \"%s\"", text);
                return E_EXPR_BADSTRING;
            }
            open[depth++] = c;
        } else if (IsCloser(c)) {
            if (depth == 0 || CloserOf(open[depth - 1]) != c) {
                LOG_MSG("Mismatched bracket in \"%s\"", text);
                return E_EXPR_BRACKET;
            }
            --depth;
        } else if (c == ',' && depth == 0) {
            HRESULT hr = AddItem(itemStart, pos);
            if (FAILED(hr))
                return hr;
            itemStart = pos + 1;
        }
        pos = NextChar(text, pos, end);
    }
    if (depth != 0) {
        LOG_MSG("Mismatched bracket in \"%s\"", text);
        return E_EXPR_BRACKET;
    }
    return AddItem(itemStart, end);
}

HRESULT Splitter::AddItem(int start, int end) {
    if (start >= end) {
        LOG_MSG("Empty param in \"%s\"", text);
        return E_EXPR_EMPTYPARAM;
    }
    if (IsOpener(text[start])) {
        // The item was checked by the caller, so its brackets and strings
        // are sound; it is one group when the opener's closer is its last
        // byte.
        if (GroupEnd(start, end) == end - 1)
            return Split(start + 1, end - 1);
    }
    items.emplace_back(text + start, (size_t)(end - start));
    return S_OK;
}

}  // namespace

bool IsExprLeadByte(unsigned char c) {
    static const LeadTable table;
    return table.lead[c];
}

bool CheckBrackets(const char* text, int& pos, int end) {
    char open[EXPR_MAX_BRACKET_DEPTH];
    int depth = 0;
    int p = pos;
    while (p < end) {
        char c = text[p];
        if (c == '"') {
            if (!ScanStringLiteral(text, p, end, nullptr))
                return false;
            continue;
        }
        if (IsOpener(c)) {
            if (depth == EXPR_MAX_BRACKET_DEPTH) {
                LOG_MSG("Too deep bracket in \"%s\"", text);
                return false;
            }
            open[depth++] = c;
        } else if (IsCloser(c)) {
            if (depth == 0 || CloserOf(open[depth - 1]) != c)
                break;
            if (--depth == 0) {
                pos = p;
                return true;
            }
        }
        p = NextChar(text, p, end);
    }
    LOG_MSG("Mismatched bracket in \"%s\"", text);
    return false;
}

bool ScanOperator(const char* text, int& pos, int end) {
    char c = text[pos];
    char next = pos + 1 < end ? text[pos + 1] : '\0';
    switch (c) {
        case '!':
        case '<':
        case '>':
            pos += next == '=' ? 2 : 1;
            return true;
        case '&':
        case '=':
        case '|':
            if (next != c) {
                LOG_MSG("incompatible type to compare");
                return false;
            }
            pos += 2;
            return true;
        default:
            pos += 1;
            return true;
    }
}

bool ScanStringLiteral(const char* text, int& pos, int end, std::string* out) {
    if (out)
        out->clear();
    int p = pos + 1;  // past the opening quote
    while (p < end) {
        unsigned char c = (unsigned char)text[p];
        if (IsExprLeadByte(c)) {
            if (p + 1 >= end)
                break;
            if (out)
                out->append(text + p, 2);
            p += 2;
            continue;
        }
        if (c == '"') {
            pos = p + 1;
            return true;
        }
        if (c == '\\') {
            if (p + 1 >= end)
                break;
            unsigned char e = (unsigned char)text[p + 1];
            if (IsExprLeadByte(e)) {
                if (p + 2 >= end)
                    break;
                if (out)
                    out->append(text + p + 1, 2);
                p += 3;
                continue;
            }
            if (out) {
                switch (e) {
                    case 'n':
                        out->push_back('\n');
                        break;
                    case 'r':
                        out->push_back('\r');
                        break;
                    case 't':
                        out->push_back('\t');
                        break;
                    default:
                        out->push_back((char)e);
                        break;
                }
            }
            p += 2;
            continue;
        }
        if (out)
            out->push_back((char)c);
        ++p;
    }
    LOG_MSG("Invalid string in \"%s\"", text);
    return false;
}

HRESULT SplitParamList(const char* text, std::vector<std::string>& items) {
    items.clear();
    if (!text || !*text)
        return S_OK;
    Splitter s{text, items};
    HRESULT hr = s.Split(0, (int)strlen(text));
    if (FAILED(hr))
        items.clear();
    return hr;
}

std::string GetParamListItem(const char* text, int n) {
    std::vector<std::string> items;
    if (FAILED(SplitParamList(text, items)) || n < 0 || n >= (int)items.size())
        return std::string();
    return items[(size_t)n];
}
