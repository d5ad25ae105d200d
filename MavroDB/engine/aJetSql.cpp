#include "aJetSql.h"

#include <windows.h>
#include <oleauto.h>
#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

// The layer's connections know this collation (Chinese order, no case).
const char kCollate[] = " COLLATE JET";

// TK_CALL: a function of the layer that the rewriter puts in, written as is.
enum TokKind {
    TK_WORD,
    TK_NAME,
    TK_STRING,
    TK_NUMBER,
    TK_DATE,
    TK_PARAM,
    TK_OP,
    TK_SPACE,
    TK_CALL
};

struct Token {
    TokKind kind;
    std::string text;  // words as written; names and strings unquoted
};

bool SameWord(const std::string& a, const char* b) {
    return _stricmp(a.c_str(), b) == 0;
}

bool IsWordStart(unsigned char c) {
    return isalpha(c) || c == '_' || c >= 0x80;
}
bool IsWordChar(unsigned char c) {
    return isalnum(c) || c == '_' || c == '$' || c >= 0x80;
}

bool Tokenize(const std::string& s, std::vector<Token>* out, std::string* error) {
    size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = s[i];
        if (isspace(c)) {
            while (i < n && isspace((unsigned char)s[i])) ++i;
            out->push_back({TK_SPACE, " "});
        } else if (c == '[') {
            size_t e = s.find(']', i + 1);
            if (e == std::string::npos) {
                *error = "unclosed [";
                return false;
            }
            out->push_back({TK_NAME, s.substr(i + 1, e - i - 1)});
            i = e + 1;
        } else if (c == '"' || c == '\'') {
            std::string text;
            size_t j = i + 1;
            for (;;) {
                if (j >= n) {
                    *error = "unclosed text";
                    return false;
                }
                if (s[j] == (char)c) {
                    if (j + 1 < n && s[j + 1] == (char)c) {
                        text += (char)c;
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += s[j++];
            }
            out->push_back({TK_STRING, text});
            i = j + 1;
        } else if (c == '#') {
            size_t e = s.find('#', i + 1);
            if (e == std::string::npos) {
                *error = "unclosed #";
                return false;
            }
            out->push_back({TK_DATE, s.substr(i + 1, e - i - 1)});
            i = e + 1;
        } else if (isdigit(c) || (c == '.' && i + 1 < n && isdigit((unsigned char)s[i + 1]))) {
            size_t j = i;
            while (j < n && (isdigit((unsigned char)s[j]) || s[j] == '.')) ++j;
            if (j < n && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < n && (s[k] == '+' || s[k] == '-'))
                    ++k;
                if (k < n && isdigit((unsigned char)s[k])) {
                    j = k;
                    while (j < n && isdigit((unsigned char)s[j])) ++j;
                }
            }
            out->push_back({TK_NUMBER, s.substr(i, j - i)});
            i = j;
        } else if (IsWordStart(c)) {
            size_t j = i;
            while (j < n && IsWordChar((unsigned char)s[j])) ++j;
            out->push_back({TK_WORD, s.substr(i, j - i)});
            i = j;
        } else {
            static const char* two[] = {"<>", "<=", ">=", "!=", nullptr};
            std::string op(1, (char)c);
            for (int k = 0; two[k]; ++k)
                if (s.compare(i, 2, two[k]) == 0)
                    op = two[k];
            if (strchr("(),.;*=<>+-/&!\\^:?@{}`|~%$", c) == nullptr) {
                *error = std::string("unexpected character ") + (char)c;
                return false;
            }
            if (c == '?' || c == '@' || c == '{' || c == '}' || c == '`' || c == '|' || c == '~' ||
                c == '%' || c == '$' || c == ':') {
                // SQLite's own placeholder and quoting marks would let a text
                // through unbound; Jet has no use for them.
                *error = std::string("unexpected character ") + (char)c;
                return false;
            }
            out->push_back({TK_OP, op});
            i += op.size();
        }
    }
    return true;
}

std::string QuoteName(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}

std::string QuoteText(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += '\'';
        q += c;
    }
    return q + "'";
}

// A name as _stricmp compares it.
std::string FoldCase(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return name;
}

bool InList(const std::string& name, const std::vector<std::string>& list) {
    for (const std::string& p : list)
        if (_stricmp(p.c_str(), name.c_str()) == 0)
            return true;
    return false;
}

// Index of the next token that is not a space, or size.
size_t NextSolid(const std::vector<Token>& t, size_t i) {
    while (i < t.size() && t[i].kind == TK_SPACE) ++i;
    return i;
}

bool IsJetKeyword(const std::string& w) {
    static const char* keywords[] = {
        "SELECT", "FROM",  "WHERE",     "ORDER",  "BY",      "GROUP",  "HAVING",   "AS",    "AND",
        "OR",     "NOT",   "LIKE",      "IN",     "BETWEEN", "IS",     "NULL",     "INNER", "LEFT",
        "RIGHT",  "OUTER", "JOIN",      "ON",     "UNION",   "ALL",    "DISTINCT", "ASC",   "DESC",
        "INSERT", "INTO",  "VALUES",    "UPDATE", "SET",     "DELETE", "CREATE",   "TABLE", "DROP",
        "ALTER",  "TOP",   "TRANSFORM", "PIVOT",  "IIF",     "MOD",    "COUNT",    "SUM",   "AVG",
        "MIN",    "MAX",   "FIRST",     "LAST",   "EXISTS",  "ANY",    "SOME",     "CASE",  "WHEN",
        "THEN",   "ELSE",  "END",       "INDEX",  "ADD",     "COLUMN", "UCASE",    "LCASE", "LEN",
        "ABS",    "TRIM",  "INT",       nullptr};
    for (int a = 0; keywords[a]; ++a)
        if (SameWord(w, keywords[a]))
            return true;
    return false;
}

// What a token is to the operands of + and &: part of a value, an operator
// that binds tighter than the one looked at, or an end.
enum OperandPart { OP_VALUE, OP_DOT, OP_TIGHTER, OP_SIGN, OP_OPEN, OP_CLOSE, OP_END };

OperandPart PartOf(const std::vector<Token>& t, size_t i, bool join) {
    const Token& k = t[i];
    switch (k.kind) {
        case TK_NAME:
        case TK_STRING:
        case TK_NUMBER:
        case TK_DATE:
        case TK_CALL:
            return OP_VALUE;
        case TK_WORD: {
            const std::string& w = k.text;
            if (SameWord(w, "MOD"))
                return OP_TIGHTER;
            if (SameWord(w, "NULL") || SameWord(w, "True") || SameWord(w, "False") ||
                !IsJetKeyword(w))
                return OP_VALUE;
            // A name after a dot, and the functions the rewriter knows,
            // called or taken as field names (First, Last).
            size_t pv = i;
            while (pv > 0 && t[pv - 1].kind == TK_SPACE) --pv;
            if (pv > 0 && t[pv - 1].kind == TK_OP &&
                (t[pv - 1].text == "." || t[pv - 1].text == "!"))
                return OP_VALUE;
            static const char* functions[] = {"IIF",  "UCASE", "LCASE", "LEN",  "ABS",
                                              "TRIM", "INT",   "COUNT", "SUM",  "AVG",
                                              "MIN",  "MAX",   "FIRST", "LAST", nullptr};
            for (int a = 0; functions[a]; ++a)
                if (SameWord(w, functions[a]))
                    return OP_VALUE;
            return OP_END;
        }
        case TK_OP: {
            const std::string& o = k.text;
            if (o == "(")
                return OP_OPEN;
            if (o == ")")
                return OP_CLOSE;
            if (o == "." || o == "!")
                return OP_DOT;
            if (o == "*" || o == "/" || o == "\\" || o == "^")
                return OP_TIGHTER;
            if (o == "+" || o == "-")
                return join ? OP_TIGHTER : OP_SIGN;
            return OP_END;
        }
        default:
            return OP_END;
    }
}

// Jet's + joins two texts and adds numbers, which the rewriter cannot tell
// apart from the text alone; & joins texts and takes Null for "" (two Nulls
// stay Null). Both become functions of the layer (jet_add, jet_join) that
// look at the values, around operands taken with Jet's precedence:
// arithmetic, then &, then comparisons and logic. Each token is looked at a
// bounded number of times, so long chains rewrite in linear time.
class JoinRewriter {
public:
    explicit JoinRewriter(std::vector<Token>* tokens)
        : m_t(*tokens), m_match(tokens->size(), npos), m_left(tokens->size(), npos) {
        std::vector<size_t> open;
        for (size_t i = 0; i < m_t.size(); ++i) {
            if (m_t[i].kind != TK_OP)
                continue;
            if (m_t[i].text == "(") {
                open.push_back(i);
            } else if (m_t[i].text == ")" && !open.empty()) {
                m_match[i] = open.back();
                m_match[open.back()] = i;
                open.pop_back();
            }
        }
    }

    void Run() {
        struct Call {
            size_t left, right;
            const char* name;
        };
        std::vector<Call> calls;
        std::vector<bool> made(m_t.size(), false);
        for (int pass = 0; pass < 2; ++pass) {
            bool join = pass == 1;
            for (size_t i = 0; i < m_t.size(); ++i) {
                if (m_t[i].kind != TK_OP || m_t[i].text != (join ? "&" : "+"))
                    continue;
                size_t left = Left(i, join);
                size_t right = Right(i, join);
                if (left == i || right == i + 1)
                    continue;  // a sign, or an operand missing
                m_left[i] = left;
                made[i] = true;
                calls.push_back({left, right, join ? "jet_join" : "jet_add"});
            }
        }
        if (calls.empty())
            return;
        // Calls that start together open the outer (longer) one first.
        std::sort(calls.begin(), calls.end(), [](const Call& a, const Call& b) {
            return a.left != b.left ? a.left < b.left : a.right > b.right;
        });
        std::vector<int> closes(m_t.size() + 1, 0);
        for (const Call& c : calls) ++closes[c.right];
        std::vector<Token> out;
        out.reserve(m_t.size() + 4 * calls.size());
        size_t next = 0;
        for (size_t k = 0; k <= m_t.size(); ++k) {
            for (int c = 0; c < closes[k]; ++c) out.push_back({TK_OP, ")"});
            for (; next < calls.size() && calls[next].left == k; ++next) {
                out.push_back({TK_CALL, calls[next].name});
                out.push_back({TK_OP, "("});
            }
            if (k == m_t.size())
                break;
            if (made[k]) {
                while (!out.empty() && out.back().kind == TK_SPACE) out.pop_back();
                out.push_back({TK_OP, ","});
                out.push_back({TK_SPACE, " "});
                while (k + 1 < m_t.size() && m_t[k + 1].kind == TK_SPACE) ++k;
                continue;
            }
            out.push_back(m_t[k]);
        }
        m_t.swap(out);
    }

private:
    static const size_t npos = std::string::npos;

    bool IsSign(size_t j) const {
        return m_t[j].kind == TK_OP && (m_t[j].text == "-" || m_t[j].text == "+");
    }

    // The first token of the left operand of the operator at i (i when there
    // is none). + and - group from the left, and so does &.
    size_t Left(size_t i, bool join) const {
        size_t start = i;
        bool needValue = true;
        bool sign = false;  // the last token taken is a + or -
        for (size_t j = i; j-- > 0;) {
            if (m_t[j].kind == TK_SPACE)
                continue;
            if (m_left[j] != npos && !needValue) {
                // An operator made a call before: its left operand is part
                // of this one (a + b + c; a + b & c; a & b & c).
                j = start = m_left[j];
                sign = false;
                continue;
            }
            OperandPart part = PartOf(m_t, j, join);
            if (part == OP_CLOSE && needValue) {
                j = m_match[j];
                if (j == npos)
                    return i;
                needValue = false;
                start = j;
                // A function's name before its arguments.
                size_t pv = j;
                while (pv > 0 && m_t[pv - 1].kind == TK_SPACE) --pv;
                if (pv > 0 && (m_t[pv - 1].kind == TK_WORD || m_t[pv - 1].kind == TK_CALL) &&
                    PartOf(m_t, pv - 1, join) == OP_VALUE)
                    start = j = pv - 1;
            } else if (part == OP_VALUE && needValue) {
                needValue = false;
                start = j;
            } else if ((part == OP_DOT || part == OP_TIGHTER || part == OP_SIGN) && !needValue) {
                needValue = true;
                start = j;
            } else if ((part == OP_TIGHTER || part == OP_SIGN) && needValue && sign) {
                // The + or - after this operator was a sign (A * -1).
                start = j;
            } else {
                break;
            }
            sign = IsSign(j);
        }
        // A leading sign belongs to the operand; any other operator means
        // the operand is cut short.
        if (needValue && start < i && !IsSign(start))
            return i;
        return start;
    }

    // One past the last token of the right operand of the operator at i
    // (i + 1 when there is none).
    size_t Right(size_t i, bool join) const {
        size_t end = i + 1;
        bool needValue = true;
        for (size_t j = i + 1; j < m_t.size(); ++j) {
            if (m_t[j].kind == TK_SPACE)
                continue;
            OperandPart part = PartOf(m_t, j, join);
            if (part == OP_OPEN) {
                // A group, or the arguments of the function just read.
                j = m_match[j];
                if (j == npos)
                    return i + 1;
                needValue = false;
                end = j + 1;
            } else if (part == OP_VALUE && needValue) {
                needValue = false;
                end = j + 1;
            } else if ((part == OP_DOT || part == OP_TIGHTER) && !needValue) {
                needValue = true;
            } else if (IsSign(j) && needValue) {
                // A sign of the value that follows.
            } else {
                // A binary + or - after a + operand groups from the left.
                break;
            }
        }
        return end;
    }

    std::vector<Token>& m_t;
    std::vector<size_t> m_match;  // the other parenthesis of each
    std::vector<size_t> m_left;   // left operand of each operator made a call
};

}  // namespace

const char kJetRowKeyName[] = "!RowKey";

bool IsJetRowKeyName(const std::string& name) {
    return _stricmp(name.c_str(), kJetRowKeyName) == 0;
}

int JetTypeFromWord(const std::string& w) {
    static const struct {
        const char* word;
        int type;
    } words[] = {{"BIT", 1},           {"BOOLEAN", 1},       {"YESNO", 1},      {"LOGICAL", 1},
                 {"BYTE", 2},          {"SHORT", 3},         {"SMALLINT", 3},   {"INTEGER2", 3},
                 {"LONG", 4},          {"INT", 4},           {"INTEGER", 4},    {"INTEGER4", 4},
                 {"COUNTER", 4},       {"AUTOINCREMENT", 4}, {"CURRENCY", 5},   {"MONEY", 5},
                 {"SINGLE", 6},        {"REAL", 6},          {"FLOAT4", 6},     {"DOUBLE", 7},
                 {"FLOAT", 7},         {"FLOAT8", 7},        {"NUMBER", 7},     {"IEEEDOUBLE", 7},
                 {"DATETIME", 8},      {"DATE", 8},          {"TIME", 8},       {"BINARY", 9},
                 {"TEXT", 10},         {"CHAR", 10},         {"VARCHAR", 10},   {"STRING", 10},
                 {"ALPHANUMERIC", 10}, {"LONGBINARY", 11},   {"OLEOBJECT", 11}, {"GENERAL", 11},
                 {"MEMO", 12},         {"LONGTEXT", 12},     {"NOTE", 12},      {"GUID", 15}};
    for (const auto& e : words)
        if (_stricmp(e.word, w.c_str()) == 0)
            return e.type;
    return 0;
}

bool JetDateLiteral(const std::string& text, double* date) {
    int a = 0, b = 0, c = 0, h = 0, mi = 0, se = 0;
    char s1 = 0, s2 = 0;
    int consumed = 0;
    if (sscanf(text.c_str(), " %d%c%d%c%d%n", &a, &s1, &b, &s2, &c, &consumed) < 5)
        return false;
    if (s1 != s2 || (s1 != '/' && s1 != '-'))
        return false;
    int y, m, d;
    if (a > 31) {
        y = a, m = b, d = c;
    } else {
        m = a, d = b, y = c;
    }
    std::string rest = text.substr(consumed);
    size_t k = rest.find_first_not_of(' ');
    if (k != std::string::npos) {
        int got = 0;
        if (sscanf(rest.c_str() + k, "%d:%d%n", &h, &mi, &got) < 2)
            return false;
        const char* r = rest.c_str() + k + got;
        if (*r == ':') {
            int got2 = 0;
            if (sscanf(r + 1, "%d%n", &se, &got2) < 1)
                return false;
            r += 1 + got2;
        }
        while (*r == ' ') ++r;
        if (*r)
            return false;
    }
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 59)
        return false;
    SYSTEMTIME st = {};
    st.wYear = (WORD)y;
    st.wMonth = (WORD)m;
    st.wDay = (WORD)d;
    st.wHour = (WORD)h;
    st.wMinute = (WORD)mi;
    st.wSecond = (WORD)se;
    // SystemTimeToVariantTime rolls 31 February over: check the day exists.
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (d > days[m - 1] || (m == 2 && d == 29 && !leap))
        return false;
    return SystemTimeToVariantTime(&st, date) != 0;
}

JetSqlResult RewriteJetSql(const std::string& sql, const std::vector<std::string>& parameters) {
    JetSqlResult r;
    std::vector<Token> t;
    if (!Tokenize(sql, &t, &r.error))
        return r;
    JoinRewriter(&t).Run();

    // Declared parameters come first: PARAMETERS name type[, ...];
    std::vector<JetSqlParameter> declared;
    size_t i = NextSolid(t, 0);
    if (i < t.size() && t[i].kind == TK_WORD && SameWord(t[i].text, "PARAMETERS")) {
        i = NextSolid(t, i + 1);
        for (;;) {
            if (i >= t.size() || (t[i].kind != TK_WORD && t[i].kind != TK_NAME)) {
                r.error = "bad PARAMETERS clause";
                return r;
            }
            JetSqlParameter p{t[i].text, 0};
            i = NextSolid(t, i + 1);
            if (i >= t.size() || t[i].kind != TK_WORD || !(p.type = JetTypeFromWord(t[i].text))) {
                r.error = "bad parameter type";
                return r;
            }
            i = NextSolid(t, i + 1);
            if (i < t.size() && t[i].kind == TK_OP && t[i].text == "(") {
                // TEXT(n): the size plays no part in a value.
                i = NextSolid(t, i + 1);
                if (i < t.size() && t[i].kind == TK_NUMBER)
                    i = NextSolid(t, i + 1);
                if (i >= t.size() || t[i].text != ")") {
                    r.error = "bad parameter size";
                    return r;
                }
                i = NextSolid(t, i + 1);
            }
            declared.push_back(p);
            if (i < t.size() && t[i].kind == TK_OP && t[i].text == ",") {
                i = NextSolid(t, i + 1);
                continue;
            }
            if (i < t.size() && t[i].kind == TK_OP && t[i].text == ";") {
                i = i + 1;
                break;
            }
            r.error = "PARAMETERS clause without ;";
            return r;
        }
    } else {
        i = 0;
    }

    // Parameters by name without case, so that thousands of them stay cheap.
    std::unordered_map<std::string, int> placeOf, typeOf;
    for (const JetSqlParameter& p : declared) typeOf.emplace(FoldCase(p.name), p.type);
    auto paramIndex = [&](const std::string& name, int type) {
        auto it = placeOf.emplace(FoldCase(name), (int)r.params.size() + 1);
        if (it.second)
            r.params.push_back({name, type});
        return it.first->second;
    };
    auto declaredType = [&](const std::string& name) {
        auto it = typeOf.find(FoldCase(name));
        return it == typeOf.end() ? 0 : it->second;
    };

    std::string out;
    int depth = 0, fromTables = 0;
    bool sawSelect = false, inFrom = false, joined = false, grouped = false;
    bool setOp = false, transform = false, action = false, into = false;
    int actionType = 0;
    std::string firstWord;
    // ORDER BY terms sort texts as Jet sorts them: each term gets the
    // collation before its ASC/DESC, its comma or the end.
    bool inOrder = false, termOpen = false;
    auto closeTerm = [&]() {
        if (!termOpen)
            return;
        bool space = !out.empty() && out.back() == ' ';
        if (space)
            out.pop_back();
        out += kCollate;
        if (space)
            out += ' ';
        termOpen = false;
    };
    for (; i < t.size(); ++i) {
        const Token& k = t[i];
        if (inOrder && depth == 0 && k.kind != TK_SPACE) {
            if ((k.kind == TK_OP && (k.text == "," || k.text == ";")) ||
                (k.kind == TK_WORD && (SameWord(k.text, "ASC") || SameWord(k.text, "DESC"))))
                closeTerm();
            else
                termOpen = true;
        }
        if (k.kind == TK_WORD && depth == 0 && SameWord(k.text, "BY")) {
            size_t pv = i;
            while (pv > 0 && t[pv - 1].kind == TK_SPACE) --pv;
            inOrder = pv > 0 && t[pv - 1].kind == TK_WORD && SameWord(t[pv - 1].text, "ORDER");
            termOpen = false;
        }
        switch (k.kind) {
            case TK_SPACE:
                out += ' ';
                break;
            case TK_STRING:
                // Texts compare as Jet compares them: without case.
                out += QuoteText(k.text) + kCollate;
                break;
            case TK_NUMBER:
                out += k.text;
                break;
            case TK_DATE: {
                double d;
                if (!JetDateLiteral(k.text, &d)) {
                    r.error = "bad date #" + k.text + "#";
                    return r;
                }
                char buf[64];
                snprintf(buf, sizeof(buf), "%.17g", d);
                out += buf;
                break;
            }
            case TK_NAME: {
                if (IsJetRowKeyName(k.text)) {
                    r.error = k.text;
                    r.errorNumber = 3125;
                    return r;
                }
                int type = declaredType(k.text);
                bool dotted = !out.empty() && out.back() == '.';
                if (!dotted && (type || InList(k.text, parameters))) {
                    out += "?" + std::to_string(paramIndex(k.text, type ? type : 10)) + kCollate;
                } else {
                    out += QuoteName(k.text);
                    if (inFrom && depth == 0 && !dotted && fromTables == 0) {
                        r.baseTable = k.text;
                        fromTables = 1;
                    }
                }
                break;
            }
            case TK_WORD: {
                const std::string& w = k.text;
                if (firstWord.empty())
                    firstWord = w;
                bool dotted = !out.empty() && out.back() == '.';
                if (dotted) {
                    out += QuoteName(w);
                } else if (SameWord(w, "True")) {
                    out += "-1";
                } else if (SameWord(w, "False")) {
                    out += "0";
                } else if (declaredType(w) || InList(w, parameters)) {
                    int type = declaredType(w);
                    out += "?" + std::to_string(paramIndex(w, type ? type : 10)) + kCollate;
                } else {
                    if (SameWord(w, "SELECT"))
                        sawSelect = true;
                    if (SameWord(w, "FROM") && depth == 0)
                        inFrom = true;
                    else if (depth == 0 && (SameWord(w, "WHERE") || SameWord(w, "ORDER") ||
                                            SameWord(w, "HAVING")))
                        inFrom = false;
                    if (SameWord(w, "GROUP")) {
                        grouped = true;
                        inFrom = false;
                    }
                    if (SameWord(w, "JOIN"))
                        joined = true;
                    if (SameWord(w, "UNION"))
                        setOp = true;
                    if (SameWord(w, "DISTINCT") || SameWord(w, "DISTINCTROW"))
                        grouped = true;
                    if (SameWord(w, "TRANSFORM") || SameWord(w, "PIVOT"))
                        transform = true;
                    if (SameWord(w, "INTO") && sawSelect)
                        into = true;
                    if (SameWord(w, "DISTINCTROW")) {
                        out += "DISTINCT";
                        break;
                    }
                    // Aggregates make a grouped, read-only result.
                    static const char* aggregates[] = {"Count", "Sum",   "Avg",  "Min",
                                                       "Max",   "First", "Last", nullptr};
                    for (int a = 0; aggregates[a]; ++a)
                        if (SameWord(w, aggregates[a])) {
                            size_t nx = NextSolid(t, i + 1);
                            if (nx < t.size() && t[nx].text == "(")
                                grouped = true;
                        }
                    bool isKeyword = IsJetKeyword(w);
                    if (!isKeyword) {
                        out += QuoteName(w);
                        if (inFrom && depth == 0 && fromTables == 0) {
                            r.baseTable = w;
                            fromTables = 1;
                        }
                        break;
                    }
                    if (SameWord(w, "MOD"))
                        out += "%";
                    else if (SameWord(w, "UCASE"))
                        out += "upper";
                    else if (SameWord(w, "LCASE"))
                        out += "lower";
                    else if (SameWord(w, "LEN"))
                        out += "length";
                    else if (SameWord(w, "INT"))
                        out += "jet_int";
                    else
                        out += w;
                }
                break;
            }
            case TK_OP: {
                const std::string& o = k.text;
                if (o == "(")
                    ++depth;
                else if (o == ")") {
                    if (--depth < 0) {
                        r.error = "unbalanced )";
                        return r;
                    }
                } else if (o == "," && inFrom && depth == 0) {
                    joined = true;
                } else if (o == ";") {
                    // A trailing ; ends the statement; anything but space after it is refused.
                    if (NextSolid(t, i + 1) != t.size()) {
                        r.error = "text after ;";
                        return r;
                    }
                    i = t.size();
                    continue;
                }
                if (o == "&") {
                    // Only an & without its operands is left.
                    out += "||";
                } else if (o == "!") {
                    // Jet's [Table]![Field].
                    out += ".";
                } else if (o == "\\") {
                    out += "/";
                } else if (o == "^") {
                    r.error = "unsupported operator ^";
                    return r;
                } else {
                    out += o;
                }
                break;
            }
            case TK_CALL:
                out += k.text;
                break;
            case TK_PARAM:
                break;
        }
    }
    if (depth != 0) {
        r.error = "unbalanced (";
        return r;
    }
    closeTerm();
    if (SameWord(firstWord, "INSERT"))
        action = true, actionType = 64;
    else if (SameWord(firstWord, "UPDATE"))
        action = true, actionType = 48;
    else if (SameWord(firstWord, "DELETE"))
        action = true, actionType = 32;
    else if (SameWord(firstWord, "CREATE") || SameWord(firstWord, "DROP") ||
             SameWord(firstWord, "ALTER"))
        action = true, actionType = 96;
    else if (!SameWord(firstWord, "SELECT") && !SameWord(firstWord, "TRANSFORM") &&
             !firstWord.empty()) {
        r.error = "not a query: " + firstWord;
        return r;
    }
    if (transform)
        r.queryType = 16;
    else if (action)
        r.queryType = actionType;
    else if (into)
        r.queryType = 80;
    else if (setOp)
        r.queryType = 128;
    else
        r.queryType = 0;
    // Declared parameters that the text never uses still take a value.
    for (const JetSqlParameter& p : declared) paramIndex(p.name, p.type);
    r.singleTable = r.queryType == 0 && fromTables == 1 && !joined && !grouped && !setOp;
    if (!r.singleTable)
        r.baseTable.clear();
    r.sql = out;
    return r;
}

namespace {

// One UTF-8 character at *p (advanced); lower-cased when it is ASCII.
unsigned NextChar(const char*& p) {
    unsigned char c = (unsigned char)*p++;
    if (c < 0x80)
        return (unsigned)tolower(c);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned v = c & (0x3F >> extra);
    while (extra-- > 0 && (*p & 0xC0) == 0x80) v = (v << 6) | ((unsigned char)*p++ & 0x3F);
    return v;
}

}  // namespace

bool JetLikeMatch(const char* pattern, const char* text) {
    // Iterative matcher with one backtrack point for the last *.
    const char* starP = nullptr;
    const char* starT = nullptr;
    const char* p = pattern;
    const char* s = text;
    for (;;) {
        if (*p == '*') {
            while (*p == '*') ++p;
            if (!*p)
                return true;
            starP = p;
            starT = s;
            continue;
        }
        if (!*s) {
            return !*p;
        }
        bool ok = false;
        const char* pn = p;
        const char* sn = s;
        if (*p) {
            unsigned tc = NextChar(sn);
            if (*p == '?') {
                ok = true;
                pn = p + 1;
            } else if (*p == '#') {
                ok = tc < 128 && isdigit((int)tc);
                pn = p + 1;
            } else if (*p == '[') {
                const char* q = p + 1;
                bool negate = *q == '!';
                if (negate)
                    ++q;
                bool hit = false;
                while (*q && *q != ']') {
                    unsigned lo = NextChar(q);
                    unsigned hi = lo;
                    if (*q == '-' && q[1] && q[1] != ']') {
                        ++q;
                        hi = NextChar(q);
                    }
                    if (tc >= lo && tc <= hi)
                        hit = true;
                }
                if (*q == ']') {
                    ok = hit != negate;
                    pn = q + 1;
                } else {
                    // An unclosed [ matches itself.
                    ok = tc == '[';
                    pn = p + 1;
                }
            } else {
                ok = NextChar(pn) == tc;
            }
        }
        if (ok) {
            p = pn;
            s = sn;
            continue;
        }
        if (!starP)
            return false;
        p = starP;
        NextChar(starT);
        s = starT;
    }
}
