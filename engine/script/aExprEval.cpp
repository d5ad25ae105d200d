#include "aExprEval.h"

#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "bExprOp.h"
#include "bStrConv.h"
#include "bTraceLog.h"
#include "bVarMgr.h"

namespace {

// What the splitter knows of the last operand of a range.
enum OperandKind {
    OPERAND_NONE,
    OPERAND_GROUP,      // ( ... )
    OPERAND_TOKEN,      // name or number
    OPERAND_STRING,     // "..."
    OPERAND_BRACKETED,  // name followed by ( ... ) or [ ... ]
};

// Operation codes of the postfix sequence.
enum OpCode {
    OP_NONE = 0,
    OP_OR = 60,
    OP_AND = 70,
    OP_GREATER = 80,
    OP_LESS = 81,
    OP_GREATER_EQUAL = 82,
    OP_LESS_EQUAL = 83,
    OP_EQUAL = 84,
    OP_NOT_EQUAL = 85,
    OP_PLUS = 90,
    OP_MINUS = 91,
    OP_MULTIPLY = 100,
    OP_DIVIDE = 101,
    OP_NOT = 200,
    OP_NEGATE = 300,
};

// The negate operator in the postfix sequence; the source has no "~", so it
// cannot be confused with anything there.
const char kNegate = '~';

// Work block capacity never goes below this, so short expressions never
// allocate after the first call.
const int kMinCapacity = 512;

// Most indexes of an array element.
const int kMaxIndexes = 64;
// Longest function name.
const size_t kMaxFunctionName = 255;

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool IsOperatorChar(char c) {
    switch (c) {
        case '*':
        case '/':
        case '+':
        case '-':
        case '>':
        case '<':
        case '=':
        case '!':
        case '&':
        case '|':
            return true;
        default:
            return false;
    }
}

inline bool IsNameChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           c == '.';
}

// Moves pos past a name (double-byte characters whole); answers the offset
// of its first '.' from where it started, or -1.
int ScanName(const char* post, int& pos, int end) {
    const int start = pos;
    int dot = -1;
    while (pos < end) {
        unsigned char b = (unsigned char)post[pos];
        if (IsExprLeadByte(b) && pos + 1 < end) {
            pos += 2;
        } else if (IsNameChar(b)) {
            if (b == '.' && dot < 0)
                dot = pos - start;
            ++pos;
        } else {
            break;
        }
    }
    return dot;
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int SplitPrecedence(const char* op, int len) {
    switch (op[0]) {
        case '*':
        case '/':
            return 100;
        case '+':
        case '-':
            return 90;
        case '&':
            return 70;
        case '|':
            return 60;
        default:
            (void)len;
            return 80;  // > < >= <= == !=
    }
}

int OpCodeOf(const char* op, int len) {
    char a = op[0], b = len > 1 ? op[1] : '\0';
    if (len == 1) {
        switch (a) {
            case '*':
                return OP_MULTIPLY;
            case '/':
                return OP_DIVIDE;
            case '+':
                return OP_PLUS;
            case '-':
                return OP_MINUS;
            case '>':
                return OP_GREATER;
            case '<':
                return OP_LESS;
            case '!':
                return OP_NOT;
            case kNegate:
                return OP_NEGATE;
            default:
                return OP_NONE;
        }
    }
    if (len != 2)
        return OP_NONE;
    if (b == '=') {
        switch (a) {
            case '>':
                return OP_GREATER_EQUAL;
            case '<':
                return OP_LESS_EQUAL;
            case '=':
                return OP_EQUAL;
            case '!':
                return OP_NOT_EQUAL;
            default:
                return OP_NONE;
        }
    }
    if (a == '&' && b == '&')
        return OP_AND;
    if (a == '|' && b == '|')
        return OP_OR;
    return OP_NONE;
}

// Offset after the character at pos (a lead byte takes its trail with it).
inline int NextChar(const char* t, int pos, int end) {
    return (IsExprLeadByte((unsigned char)t[pos]) && pos + 1 < end) ? pos + 2 : pos + 1;
}

// Offset after the string literal at pos, or -1 without its closing quote:
// the scan of ScanStringLiteral without its message.
int LiteralEnd(const char* t, int pos, int end) {
    int p = pos + 1;
    while (p < end) {
        const unsigned char c = (unsigned char)t[p];
        if (IsExprLeadByte(c)) {
            if (p + 1 >= end)
                return -1;
            p += 2;
        } else if (c == '"') {
            return p + 1;
        } else if (c == '\\') {
            if (p + 1 >= end)
                return -1;
            if (IsExprLeadByte((unsigned char)t[p + 1])) {
                if (p + 2 >= end)
                    return -1;
                p += 3;
            } else {
                p += 2;
            }
        } else {
            ++p;
        }
    }
    return -1;
}

// Skips the string literal at pos. The compiler skips quietly: a text it
// cannot compile is evaluated from its postfix form, which reports it.
inline bool SkipLiteral(const char* t, int& pos, int end, bool quiet, bool* broken) {
    if (!quiet)
        return ScanStringLiteral(t, pos, end, nullptr);
    const int after = LiteralEnd(t, pos, end);
    if (after < 0) {
        *broken = true;
        return false;
    }
    pos = after;
    return true;
}

// Offset of the next comma outside brackets and strings in [pos, end), or
// end. The range is known to be well formed.
int NextTopLevelComma(const char* t, int pos, int end, bool quiet = false, bool* broken = nullptr) {
    int depth = 0;
    while (pos < end) {
        char c = t[pos];
        if (c == '"') {
            if (!SkipLiteral(t, pos, end, quiet, broken))
                return end;
            continue;
        }
        if (c == '(' || c == '[')
            ++depth;
        else if (c == ')' || c == ']')
            --depth;
        else if (c == ',' && depth == 0)
            return pos;
        pos = NextChar(t, pos, end);
    }
    return end;
}

// The closer matching the opener at pos in a postfix sequence, or -1.
int MatchingCloser(const char* t, int pos, int end, bool quiet = false, bool* broken = nullptr) {
    int depth = 0;
    while (pos < end) {
        char c = t[pos];
        if (c == '"') {
            if (!SkipLiteral(t, pos, end, quiet, broken))
                return -1;
            continue;
        }
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && --depth == 0)
            return pos;
        pos = NextChar(t, pos, end);
    }
    return -1;
}

// SafeArrayGetElement of an array of VARIANTs; an element that owns
// nothing is copied here, saving the call's lock and copy.
HRESULT FetchElement(SAFEARRAY* psa, LONG* indexes, VARIANT* out) {
    if (!(psa->fFeatures & FADF_VARIANT))
        return SafeArrayGetElement(psa, indexes, out);
    void* cell = nullptr;
    HRESULT hr = SafeArrayPtrOfIndex(psa, indexes, &cell);
    if (FAILED(hr))
        return hr;
    const VARIANT* element = static_cast<const VARIANT*>(cell);
    if (!ExprOp::OwnsNothing(V_VT(element)))
        return SafeArrayGetElement(psa, indexes, out);
    *out = *element;
    return S_OK;
}

// Clears and frees values moved off the stack.
}  // namespace

CExpression::CExpression() : CExpression(nullptr) {
    // Without memory for it nothing is kept: every text is converted.
    m_ownCache.reset(new (std::nothrow) CExprCache);
    m_cache = m_ownCache.get();
}

CExpression::CExpression(CExprCache* cache)
    : m_capacity(0),
      m_block(nullptr),
      m_source(nullptr),
      m_post(nullptr),
      m_postLen(0),
      m_postCap(0),
      m_vars(nullptr),
      m_objects(nullptr),
      m_functions(nullptr),
      m_busy(0),
      m_conversions(0),
      m_keepForms(true),
      m_postSerial(0),
      m_cache(cache),
      m_busyThread(0) {}

CExprCache* CExpression::SharedCache() const {
    // Called from another thread during an evaluation, a fresh evaluator
    // keeps nothing: the kept forms belong to the evaluating thread.
    return !m_busy || GetCurrentThreadId() == m_busyThread ? m_cache : nullptr;
}

void CExpression::TakeSettings(const CExpression& other) {
    m_keepForms = other.m_keepForms;
    m_vars = other.m_vars;
    m_objects = other.m_objects;
    m_functions = other.m_functions;
}

CExpression* CExpression::NewNested() const {
    CExpression* nested = new CExpression(SharedCache());
    nested->TakeSettings(*this);
    return nested;
}

CExpression::~CExpression() {
    PopTo(0);
    delete[] m_block;
}

void CExpression::SetCacheLimits(size_t maxEntries, size_t maxBytes) {
    if (m_busy || !m_ownCache)
        return;
    m_ownCache.reset(new (std::nothrow) CExprCache(maxEntries, maxBytes));
    m_cache = m_ownCache.get();
    m_postSerial = 0;
}

void CExpression::PopTo(size_t base) {
    while (m_stack.size() > base) {
        if (!m_lent.back())
            ExprOp::ClearValue(m_stack.back());
        m_stack.pop_back();
        m_lent.pop_back();
    }
}

HRESULT CExpression::Evaluate(const char* text, VARIANT* result) {
    if (!result)
        return E_POINTER;
    ExprOp::ClearValue(*result);
    if (!text)
        return E_INVALIDARG;
    if (m_busy) {
        // Called again from inside an evaluation (through an object or a
        // function): the work block is in use, so a fresh evaluator does it.
        CExpression nested(SharedCache());
        nested.TakeSettings(*this);
        return nested.Evaluate(text, result);
    }
    const bool useCache = m_keepForms && m_cache;
    const ExprProgram* program = useCache ? m_cache->FindLast(text) : nullptr;
    size_t length = program ? program->text.size() : strlen(text);
    if (length >= (size_t)(INT_MAX / 3))
        return E_OUTOFMEMORY;
    if (m_capacity < (int)length + 1) {
        int capacity = std::max((int)length + 1, kMinCapacity);
        char* block = new (std::nothrow) char[(size_t)capacity * 3];
        if (!block)
            return E_OUTOFMEMORY;
        delete[] m_block;
        m_block = block;
        m_capacity = capacity;
        m_source = block;
        m_post = block + capacity;
        m_postCap = capacity * 2;
        m_postSerial = 0;
    }
    std::unique_ptr<ExprProgram> fresh;  // a program the cache did not take
    const bool keep = useCache && length <= (size_t)CExprCache::MAX_TEXT;
    if (!program && keep)
        program = m_cache->Find(text, length);
    // Kept by an evaluator with a larger block, a postfix form could in
    // principle outgrow this one's buffer: then the text is converted here.
    if (program && program->postfix.size() >= (size_t)m_postCap)
        program = nullptr;
    if (program) {
        // The postfix buffer as the conversion would have left it (it may
        // hold it from the last evaluation already).
        if (m_postSerial != program->serial || program->serial == 0) {
            m_postLen = (int)program->postfix.size();
            memcpy(m_post, program->postfix.c_str(), (size_t)m_postLen + 1);
            m_postSerial = program->serial;
        }
    } else {
        m_postSerial = 0;
        memcpy(m_source, text, length + 1);
        m_postLen = 0;
        m_splits.clear();
        ++m_conversions;
        if (!ToPostfix(0, (int)length, 0)) {
            m_postLen = 0;
            LOG_MSG("Invalid expression: %s", text);
            return E_FAIL;
        }
        m_post[m_postLen] = '\0';
        if (keep) {
            fresh.reset(new (std::nothrow) ExprProgram);
            if (fresh) {
                fresh->text.assign(text, length);
                fresh->postfix.assign(m_post, (size_t)m_postLen);
                if (Compile(*fresh)) {
                    program = fresh.get();
                    m_cache->Add(fresh);
                    m_postSerial = program->serial;  // 0 when not taken
                }
            }
        }
    }
    VARIANT value;
    ExprOp::InitValue(value);
    ++m_busy;
    m_busyThread = GetCurrentThreadId();
    // A nested evaluation may drop the program from the cache meanwhile.
    if (m_cache)
        m_cache->Pin();
    HRESULT hr = program ? RunProgram(*program, program->root, value)
                         : EvaluatePostfix(m_post, 0, m_postLen, value);
    if (m_cache)
        m_cache->Unpin();
    --m_busy;
    if (SUCCEEDED(hr))
        *result = value;
    return hr;
}

// ---------------------------------------------------------------------------
// Infix to postfix

bool CExpression::Emit(const char* bytes, int n) {
    // The postfix form never exceeds twice the source; the test guards the
    // buffer all the same.
    if (m_postLen + n >= m_postCap)
        return false;
    memcpy(m_post + m_postLen, bytes, (size_t)n);
    m_postLen += n;
    return true;
}

bool CExpression::ToPostfix(int start, int end, int depth) {
    const char* t = m_source;
    if (depth > MAX_SPLIT_DEPTH) {
        LOG_MSG("Too deep expression in \"%s\"", t);
        return false;
    }
    while (start < end && IsBlank(t[start])) ++start;
    while (end > start && IsBlank(t[end - 1])) --end;
    if (start >= end)
        return false;

    const size_t splitBase = m_splits.size();
    int kind = OPERAND_NONE;
    int runStart = -1;  // first prefix operator before the operand
    int operandStart = start, tokStart = start, tokEnd = start, open = -1, close = -1;
    int minPrec = INT_MAX;
    bool ok = true;
    int pos = start;
    while (ok && pos < end) {
        char c = t[pos];
        if (IsBlank(c)) {
            ++pos;
            continue;
        }
        if (c == '(') {
            int cl = pos;
            if (kind != OPERAND_NONE || !CheckBrackets(t, cl, end) || cl == pos + 1) {
                ok = false;
                break;
            }
            kind = OPERAND_GROUP;
            operandStart = open = pos;
            close = cl;
            pos = cl + 1;
            continue;
        }
        if (IsOperatorChar(c)) {
            int opPos = pos;
            if (!ScanOperator(t, pos, end)) {
                ok = false;
                break;
            }
            int len = pos - opPos;
            bool prefix =
                (c == '!' && len == 1) || ((c == '+' || c == '-') && kind == OPERAND_NONE);
            if (prefix) {
                if (kind != OPERAND_NONE) {  // "!" right after an operand
                    ok = false;
                    break;
                }
                if (runStart < 0)
                    runStart = opPos;
            } else {
                if (kind == OPERAND_NONE) {
                    ok = false;
                    break;
                }
                int prec = SplitPrecedence(t + opPos, len);
                m_splits.push_back(Split{opPos, len, prec});
                if (prec < minPrec)
                    minPrec = prec;
                runStart = -1;
            }
            kind = OPERAND_NONE;
            int q = pos;
            while (q < end && IsBlank(t[q])) ++q;
            if (q >= end)
                ok = false;  // an operator ends the range
            continue;
        }
        if (c == '"') {
            if (kind != OPERAND_NONE || runStart >= 0) {
                ok = false;
                break;
            }
            operandStart = tokStart = pos;
            if (!ScanStringLiteral(t, pos, end, nullptr)) {
                ok = false;
                break;
            }
            tokEnd = pos;
            kind = OPERAND_STRING;
            continue;
        }
        unsigned char u = (unsigned char)c;
        if (kind != OPERAND_NONE || !(IsExprLeadByte(u) || IsNameChar(u))) {
            ok = false;
            break;
        }
        operandStart = tokStart = pos;
        bool number = IsDigit(c) || c == '.';
        while (pos < end) {
            unsigned char b = (unsigned char)t[pos];
            if (IsExprLeadByte(b)) {
                if (pos + 1 >= end)
                    break;
                pos += 2;
            } else if (IsNameChar(b)) {
                ++pos;
            } else {
                break;
            }
        }
        if (pos < end && IsExprLeadByte((unsigned char)t[pos]) && pos + 1 >= end) {
            ok = false;  // a lead byte without its trail byte
            break;
        }
        tokEnd = pos;
        kind = OPERAND_TOKEN;
        if (number) {
            int dots = 0;
            for (int i = tokStart; i < tokEnd && ok; ++i) {
                if (t[i] == '.')
                    ok = ++dots <= 1;
                else
                    ok = IsDigit(t[i]);
            }
            continue;
        }
        int q = pos;
        while (q < end && IsBlank(t[q])) ++q;
        if (q < end && (t[q] == '(' || t[q] == '[')) {
            int cl = q;
            if (!CheckBrackets(t, cl, end)) {
                ok = false;
                break;
            }
            kind = OPERAND_BRACKETED;
            open = q;
            close = cl;
            pos = cl + 1;
        }
    }
    if (ok && kind == OPERAND_NONE && m_splits.size() == splitBase)
        ok = false;

    if (ok && m_splits.size() == splitBase) {
        ok = EmitOperand(kind, tokStart, tokEnd, open, close, depth);
        // Prefix operators, the one next to the operand first.
        for (int p = operandStart - 1; ok && runStart >= 0 && p >= runStart; --p) {
            if (t[p] == '-')
                ok = EmitByte(kNegate) && EmitByte(' ');
            else if (t[p] == '!')
                ok = EmitByte('!') && EmitByte(' ');
        }
    } else if (ok) {
        // Every operator of the lowest level splits the range; the parts go
        // out left to right with each operator after its right part, which
        // makes one level associate to the left.
        int partStart = start;
        Split previous = {0, 0, 0};
        bool havePrevious = false;
        for (size_t i = splitBase; ok && i < m_splits.size(); ++i) {
            Split s = m_splits[i];
            if (s.prec != minPrec)
                continue;
            ok = ToPostfix(partStart, s.pos, depth + 1);
            if (ok && havePrevious)
                ok = Emit(t + previous.pos, previous.len) && EmitByte(' ');
            previous = s;
            havePrevious = true;
            partStart = s.pos + s.len;
        }
        if (ok)
            ok = ToPostfix(partStart, end, depth + 1);
        if (ok)
            ok = Emit(t + previous.pos, previous.len) && EmitByte(' ');
    }
    m_splits.resize(splitBase);
    return ok;
}

bool CExpression::EmitOperand(int kind, int tokStart, int tokEnd, int open, int close, int depth) {
    const char* t = m_source;
    switch (kind) {
        case OPERAND_GROUP:
            return ToPostfix(open + 1, close, depth + 1);
        case OPERAND_TOKEN:
        case OPERAND_STRING:
            return Emit(t + tokStart, tokEnd - tokStart) && EmitByte(' ');
        case OPERAND_BRACKETED: {
            if (!Emit(t + tokStart, tokEnd - tokStart) || !EmitByte(t[open]))
                return false;
            int p = open + 1;
            while (p < close && IsBlank(t[p])) ++p;
            if (p == close) {
                if (t[open] == '[')
                    return false;  // an element needs an index
            } else {
                int itemStart = open + 1;
                for (;;) {
                    int comma = NextTopLevelComma(t, itemStart, close);
                    if (!ToPostfix(itemStart, comma, depth + 1))
                        return false;
                    if (comma >= close)
                        break;
                    if (!EmitByte(','))
                        return false;
                    itemStart = comma + 1;
                }
            }
            return EmitByte(t[close]) && EmitByte(' ');
        }
        default:
            return false;
    }
}

// ---------------------------------------------------------------------------
// Postfix evaluation

HRESULT CExpression::EvaluatePostfix(const char* post, int start, int end, VARIANT& result) {
    const size_t base = m_stack.size();
    int pos = start;
    while (pos < end) {
        char c = post[pos];
        if (c == ' ') {
            ++pos;
            continue;
        }
        if (c == '"') {
            std::string text;
            if (!ScanStringLiteral(post, pos, end, &text)) {
                PopTo(base);
                return E_FAIL;
            }
            VARIANT v;
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = BstrFromMultibyte(text.data(), text.size());
            Push(v);
            continue;
        }
        if (IsOperatorChar(c) || c == kNegate) {
            int opStart = pos;
            while (pos < end && post[pos] != ' ') ++pos;
            HRESULT hr = ApplyOperator(OpCodeOf(post + opStart, pos - opStart), base);
            if (FAILED(hr))
                return hr;
            continue;
        }
        if (IsDigit(c) || c == '.') {
            int numStart = pos;
            bool real = false;
            while (pos < end && post[pos] != ' ') real |= post[pos++] == '.';
            VARIANT v;
            if (real) {
                V_VT(&v) = VT_R8;
                V_R8(&v) = atof(post + numStart);
            } else {
                V_VT(&v) = VT_I4;
                V_I4(&v) = ScriptAtoi(post + numStart);
            }
            Push(v);
            continue;
        }
        HRESULT hr = PushName(post, pos, end);
        if (FAILED(hr)) {
            PopTo(base);
            return hr;
        }
    }
    size_t have = m_stack.size() - base;
    if (have == 0)
        return E_EXPR_EMPTY;
    if (have > 1) {
        PopTo(base);
        return E_FAIL;
    }
    result = m_stack.back();  // moved, not copied
    Forget(m_stack.size() - 1);
    return S_OK;
}

HRESULT CExpression::ApplyOperator(int code, size_t base) {
    size_t have = m_stack.size() - base;
    bool unary = code == OP_NOT || code == OP_NEGATE;
    if (code == OP_NONE || have < (unary ? 1u : 2u)) {
        PopTo(base);
        return E_FAIL;
    }
    // Two numbers or truth values, the most common case, are computed here
    // by the rules of the operators (division keeps its checks there).
    if (!unary && ScalarOperator(code, m_stack[m_stack.size() - 2], m_stack.back())) {
        m_stack.pop_back();
        m_lent.pop_back();
        return S_OK;
    }
    // A lent operand is only read: the result goes to a fresh value.
    const size_t first = m_stack.size() - (unary ? 1 : 2);
    const bool fresh = m_lent[first] != 0;
    VARIANT made;
    ExprOp::InitValue(made);
    VARIANT& out = fresh ? made : m_stack[first];
    bool done;
    if (unary) {
        VARIANT& top = m_stack.back();
        done = code == OP_NOT ? ExprOp::VarNot(top, out) : ExprOp::VarNegate(top, out);
    } else {
        VARIANT& right = m_stack[m_stack.size() - 1];
        VARIANT& left = m_stack[m_stack.size() - 2];
        switch (code) {
            case OP_MULTIPLY:
                done = ExprOp::VarMultiply(left, right, out);
                break;
            case OP_DIVIDE:
                done = ExprOp::VarDivide(left, right, out);
                break;
            case OP_PLUS:
                done = ExprOp::VarPlus(left, right, out);
                break;
            case OP_MINUS:
                done = ExprOp::VarMinus(left, right, out);
                break;
            case OP_GREATER:
                done = ExprOp::VarGreater(left, right, out);
                break;
            case OP_LESS:
                done = ExprOp::VarLess(left, right, out);
                break;
            case OP_GREATER_EQUAL:
                done = ExprOp::VarGreaterEqual(left, right, out);
                break;
            case OP_LESS_EQUAL:
                done = ExprOp::VarLessEqual(left, right, out);
                break;
            case OP_EQUAL:
                done = ExprOp::VarEqual(left, right, out);
                break;
            case OP_NOT_EQUAL:
                done = ExprOp::VarNotEqual(left, right, out);
                break;
            case OP_AND:
                done = ExprOp::VarAnd(left, right, out);
                break;
            default:
                done = ExprOp::VarOr(left, right, out);
                break;
        }
        PopTo(m_stack.size() - 1);
    }
    if (!done) {
        PopTo(base);
        return E_EXPR_OPERATOR;
    }
    if (fresh) {
        m_stack[first] = made;
        m_lent[first] = 0;
    }
    return S_OK;
}

namespace {

// Truth of an ordered or equality comparison; false when code is not one.
template <class T>
bool CompareNumbers(int code, T a, T b, bool& truth) {
    switch (code) {
        case OP_GREATER:
            truth = a > b;
            return true;
        case OP_LESS:
            truth = a < b;
            return true;
        case OP_GREATER_EQUAL:
            truth = a >= b;
            return true;
        case OP_LESS_EQUAL:
            truth = a <= b;
            return true;
        case OP_EQUAL:
            truth = a == b;  // a NaN equals nothing
            return true;
        case OP_NOT_EQUAL:
            truth = !(a == b);
            return true;
        default:
            return false;
    }
}

}  // namespace

// left = left op right, as the operator functions compute it, for two
// VT_I4 values, a VT_R8 with a VT_R8 or VT_I4 (both as doubles), and the
// VT_I4 or VT_BOOL operands of the logical operators. False, with nothing
// done, for anything else and for division.
bool CExpression::ScalarOperator(int code, VARIANT& left, const VARIANT& right) {
    const VARTYPE lt = V_VT(&left), rt = V_VT(&right);
    bool truth;
    if (code == OP_AND || code == OP_OR) {
        if ((lt != VT_I4 && lt != VT_BOOL) || (rt != VT_I4 && rt != VT_BOOL))
            return false;
        const bool a = lt == VT_I4 ? V_I4(&left) != 0 : V_BOOL(&left) != 0;
        const bool b = rt == VT_I4 ? V_I4(&right) != 0 : V_BOOL(&right) != 0;
        truth = code == OP_AND ? a && b : a || b;
    } else if (lt == VT_I4 && rt == VT_I4) {
        const LONG a = V_I4(&left), b = V_I4(&right);
        const uint32_t ua = (uint32_t)a, ub = (uint32_t)b;
        if (code == OP_MULTIPLY || code == OP_PLUS || code == OP_MINUS) {
            V_I4(&left) = (LONG)(code == OP_MULTIPLY ? ua * ub
                                 : code == OP_PLUS   ? ua + ub
                                                     : ua - ub);
            return true;
        }
        if (!CompareNumbers(code, a, b, truth))
            return false;
    } else if ((lt == VT_R8 || lt == VT_I4) && (rt == VT_R8 || rt == VT_I4)) {
        const double a = lt == VT_R8 ? V_R8(&left) : (double)V_I4(&left);
        const double b = rt == VT_R8 ? V_R8(&right) : (double)V_I4(&right);
        if (code == OP_MULTIPLY || code == OP_PLUS || code == OP_MINUS) {
            V_VT(&left) = VT_R8;
            V_R8(&left) = code == OP_MULTIPLY ? a * b : code == OP_PLUS ? a + b : a - b;
            return true;
        }
        if (!CompareNumbers(code, a, b, truth))
            return false;
    } else {
        return false;
    }
    V_VT(&left) = VT_BOOL;
    V_BOOL(&left) = truth ? VARIANT_TRUE : VARIANT_FALSE;
    return true;
}

// ---------------------------------------------------------------------------
// Compiled form: the walk of EvaluatePostfix done once, its tokens turned
// into steps. Where that walk would fail, a failure step stands.

namespace {

struct Compiler {
    ExprProgram& p;
    const char* post;
    bool broken = false;  // a string literal without its end: not compiled

    void Add(std::vector<ExprStep>& steps, ExprStep::Kind kind, int code = 0) {
        ExprStep step = {};
        step.kind = kind;
        step.code = code;
        steps.push_back(step);
    }
    int Name(const std::string& name) {
        p.names.push_back(name);
        return (int)p.names.size() - 1;
    }

    bool Block(int start, int end, ExprRange& out);
    bool List(int start, int end, ExprStep& step);
};

bool Compiler::Block(int start, int end, ExprRange& out) {
    std::vector<ExprStep> steps;
    int pos = start;
    while (pos < end) {
        char c = post[pos];
        if (c == ' ') {
            ++pos;
            continue;
        }
        if (c == '"') {
            std::string text;
            if (LiteralEnd(post, pos, end) < 0 || !ScanStringLiteral(post, pos, end, &text))
                return false;
            Add(steps, ExprStep::STRING);
            p.strings.push_back(BstrFromMultibyte(text.data(), text.size()));
            steps.back().text = (int)p.strings.size() - 1;
            continue;
        }
        if (IsOperatorChar(c) || c == kNegate) {
            int opStart = pos;
            while (pos < end && post[pos] != ' ') ++pos;
            const int code = OpCodeOf(post + opStart, pos - opStart);
            if (code == OP_NONE) {
                Add(steps, ExprStep::FAILURE, E_FAIL);
                break;
            }
            const bool unary = code == OP_NOT || code == OP_NEGATE;
            ExprStep::Kind last = steps.empty() ? ExprStep::FAILURE : steps.back().kind;
            if (!unary && last == ExprStep::INTEGER) {
                steps.back().kind = ExprStep::OPERATE_INTEGER;
                steps.back().code = code;
            } else if (!unary && last == ExprStep::REAL) {
                steps.back().kind = ExprStep::OPERATE_REAL;
                steps.back().code = code;
            } else {
                Add(steps, ExprStep::OPERATOR, code);
            }
            continue;
        }
        if (IsDigit(c) || c == '.') {
            int numStart = pos;
            bool real = false;
            while (pos < end && post[pos] != ' ') real |= post[pos++] == '.';
            if (real) {
                Add(steps, ExprStep::REAL);
                steps.back().real = atof(post + numStart);
            } else {
                Add(steps, ExprStep::INTEGER);
                steps.back().integer = ScriptAtoi(post + numStart);
            }
            continue;
        }
        int nameStart = pos;
        int dot = ScanName(post, pos, end);
        if (pos == nameStart) {
            Add(steps, ExprStep::FAILURE, E_FAIL);
            break;
        }
        std::string name(post + nameStart, (size_t)(pos - nameStart));
        int open = -1, close = -1;
        if (pos < end && (post[pos] == '(' || post[pos] == '[')) {
            open = pos;
            close = MatchingCloser(post, pos, end, true, &broken);
            if (broken)
                return false;
            if (close < 0) {
                Add(steps, ExprStep::FAILURE, E_FAIL);
                break;
            }
            pos = close + 1;
        }
        ExprStep step = {};
        step.bracketed = open >= 0;
        if (open >= 0 && post[open] == '(') {
            step.kind = ExprStep::CALL;
            step.text = Name(name);
        } else if (dot >= 0) {
            const size_t split = name.find('.');
            step.kind = ExprStep::MEMBER;
            step.text = Name(name.substr(0, split));
            step.member = Name(name.substr(split + 1));
        } else {
            step.kind = ExprStep::VARIABLE;
            step.text = Name(name);
        }
        if (open >= 0 && !List(open + 1, close, step))
            return false;
        steps.push_back(step);
    }
    // Calls, members and elements run code that may assign variables.
    bool changes = false;
    for (size_t k = steps.size(); k-- > 0;) {
        ExprStep& step = steps[k];
        if (step.kind == ExprStep::CALL || step.kind == ExprStep::MEMBER || step.bracketed)
            changes = true;
        else if (step.kind == ExprStep::VARIABLE)
            step.lendable = !changes;
    }
    out.begin = (int)p.steps.size();
    p.steps.insert(p.steps.end(), steps.begin(), steps.end());
    out.end = (int)p.steps.size();
    return true;
}

// The items of the comma list [start, end) as PushList takes them.
bool Compiler::List(int start, int end, ExprStep& step) {
    std::vector<ExprRange> items;
    int q = start;
    while (q < end && IsBlank(post[q])) ++q;
    if (q < end) {
        int itemStart = start;
        for (;;) {
            const int comma = NextTopLevelComma(post, itemStart, end, true, &broken);
            ExprRange item;
            if (broken || !Block(itemStart, comma, item))
                return false;
            items.push_back(item);
            if (comma >= end)
                break;
            itemStart = comma + 1;
        }
    }
    step.firstItem = (int)p.items.size();
    step.itemCount = (int)items.size();
    p.items.insert(p.items.end(), items.begin(), items.end());
    return true;
}

}  // namespace

bool CExpression::Compile(ExprProgram& program) {
    Compiler compiler{program, program.postfix.c_str()};
    return compiler.Block(0, (int)program.postfix.size(), program.root);
}

HRESULT CExpression::RunProgram(const ExprProgram& program, ExprRange range, VARIANT& result) {
    const size_t base = m_stack.size();
    const ExprStep* const steps = program.steps.data();
    for (int k = range.begin; k < range.end; ++k) {
        const ExprStep& step = steps[k];
        HRESULT hr = S_OK;
        switch (step.kind) {
            case ExprStep::INTEGER: {
                VARIANT& v = PushEmpty();
                V_VT(&v) = VT_I4;
                V_I4(&v) = step.integer;
                break;
            }
            case ExprStep::REAL: {
                VARIANT& v = PushEmpty();
                V_VT(&v) = VT_R8;
                V_R8(&v) = step.real;
                break;
            }
            case ExprStep::STRING: {
                VARIANT& v = PushEmpty();
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = program.strings[(size_t)step.text];
                m_lent.back() = 1;
                break;
            }
            case ExprStep::OPERATOR:
                hr = ApplyOperator(step.code, base);
                if (FAILED(hr))
                    return hr;
                break;
            case ExprStep::OPERATE_INTEGER:
            case ExprStep::OPERATE_REAL: {
                VARIANT number;
                if (step.kind == ExprStep::OPERATE_INTEGER) {
                    V_VT(&number) = VT_I4;
                    V_I4(&number) = step.integer;
                } else {
                    V_VT(&number) = VT_R8;
                    V_R8(&number) = step.real;
                }
                // Computed in place when it can be; else as the two steps.
                if (m_stack.size() > base && !m_lent.back() &&
                    ScalarOperator(step.code, m_stack.back(), number))
                    break;
                Push(number);
                hr = ApplyOperator(step.code, base);
                if (FAILED(hr))
                    return hr;
                break;
            }
            case ExprStep::VARIABLE:
                hr = PushVariable(program.names[(size_t)step.text].c_str(),
                                  ProgramArgs(program, step), step.lendable);
                break;
            case ExprStep::CALL:
                hr = PushCall(program.names[(size_t)step.text], ProgramArgs(program, step));
                break;
            case ExprStep::MEMBER:
                hr = PushMember(program.names[(size_t)step.text],
                                program.names[(size_t)step.member].c_str(),
                                ProgramArgs(program, step));
                break;
            default:
                hr = step.code;
                break;
        }
        if (FAILED(hr)) {
            PopTo(base);
            return hr;
        }
    }
    size_t have = m_stack.size() - base;
    if (have == 0)
        return E_EXPR_EMPTY;
    if (have > 1) {
        PopTo(base);
        return E_FAIL;
    }
    if (m_lent.back()) {
        // A lent string becomes the caller's own copy.
        VARIANT copy;
        ExprOp::InitValue(copy);
        if (FAILED(VariantCopy(&copy, &m_stack.back()))) {
            PopTo(base);
            return E_FAIL;
        }
        m_stack.back() = copy;
        m_lent.back() = 0;
    }
    result = m_stack.back();  // moved, not copied
    Forget(m_stack.size() - 1);
    return S_OK;
}

HRESULT CExpression::PushArgs(const ArgList& list, bool reverse, int& count) {
    if (!list.program)
        return PushList(list.post, list.open + 1, list.close, reverse, count);
    count = 0;
    const size_t base = m_stack.size();
    for (int i = 0; i < list.itemCount; ++i) {
        VARIANT v;
        ExprOp::InitValue(v);
        HRESULT hr =
            RunProgram(*list.program, list.program->items[(size_t)(list.firstItem + i)], v);
        if (FAILED(hr)) {
            PopTo(base);
            return hr;
        }
        Push(v);
        ++count;
    }
    if (reverse)
        std::reverse(m_stack.begin() + (ptrdiff_t)base, m_stack.end());
    return S_OK;
}

HRESULT CExpression::PushList(const char* post, int start, int end, bool reverse, int& count) {
    count = 0;
    const size_t base = m_stack.size();
    int p = start;
    while (p < end && IsBlank(post[p])) ++p;
    if (p >= end)
        return S_OK;
    int itemStart = start;
    for (;;) {
        int comma = NextTopLevelComma(post, itemStart, end);
        VARIANT v;
        ExprOp::InitValue(v);
        HRESULT hr = EvaluatePostfix(post, itemStart, comma, v);
        if (FAILED(hr)) {
            PopTo(base);
            return hr;
        }
        Push(v);
        ++count;
        if (comma >= end)
            break;
        itemStart = comma + 1;
    }
    if (reverse)
        std::reverse(m_stack.begin() + (ptrdiff_t)base, m_stack.end());
    return S_OK;
}

HRESULT CExpression::EvaluateList(const char* postfix, VARIANT** values, int* count, bool reverse) {
    if (!postfix || !values || !count)
        return E_POINTER;
    *values = nullptr;
    *count = 0;
    const size_t base = m_stack.size();
    int n = 0;
    HRESULT hr = PushList(postfix, 0, (int)strlen(postfix), reverse, n);
    if (FAILED(hr))
        return hr;
    VARIANT* out = n ? new (std::nothrow) VARIANT[(size_t)n] : nullptr;
    if (n && !out) {
        PopTo(base);
        return E_OUTOFMEMORY;
    }
    for (int i = 0; i < n; ++i) out[i] = m_stack[base + (size_t)i];
    Forget(base);  // the values moved into out
    *values = out;
    *count = n;
    return S_OK;
}

HRESULT CExpression::PushName(const char* post, int& pos, int end) {
    int nameStart = pos;
    int dot = ScanName(post, pos, end);
    if (pos == nameStart)
        return E_FAIL;  // not a name: a stray byte
    std::string name(post + nameStart, (size_t)(pos - nameStart));
    int open = -1, close = -1;
    if (pos < end && (post[pos] == '(' || post[pos] == '[')) {
        open = pos;
        close = MatchingCloser(post, pos, end);
        if (close < 0)
            return E_FAIL;
        pos = close + 1;
    }
    const ArgList list = PostfixArgs(post, open, close);
    if (open >= 0 && post[open] == '(')
        return PushCall(name, list);
    if (dot >= 0) {
        const size_t split = name.find('.');
        return PushMember(name.substr(0, split), name.c_str() + split + 1, list);
    }
    return PushVariable(name.c_str(), list);
}

HRESULT CExpression::PushVariable(const char* name, const ArgList& list, bool lend) {
    int id = m_vars ? m_vars->Find(name) : VAR_NOT_FOUND;
    if (id == VAR_NOT_FOUND) {
        LOG_MSG("Variable '%s' does not exist", name);
        return E_FAIL;
    }
    VARIANT v;
    ExprOp::InitValue(v);
    if (list.open < 0) {
        // A value that owns nothing is copied here, saving the call.
        const VARIANT* held = m_vars->PeekValue(id);
        if (lend && held && V_VT(held) == VT_BSTR) {
            Lend(*held);
            return S_OK;
        }
        if (held && ExprOp::OwnsNothing(V_VT(held))) {
            Push(*held);
            return S_OK;
        }
        if (!m_vars->GetValue(id, &v))
            return E_FAIL;
        Push(v);
        return S_OK;
    }
    const size_t base = m_stack.size();
    int count = 0;
    LONG indexes[kMaxIndexes];
    HRESULT hr = PushArgs(list, false, count);
    bool ok = SUCCEEDED(hr) && count > 0 && count <= kMaxIndexes;
    for (int i = 0; ok && i < count; ++i) {
        VARIANT& item = m_stack[base + (size_t)i];
        ok = V_VT(&item) == VT_I4 || SUCCEEDED(VariantChangeType(&item, &item, 0, VT_I4));
        if (ok)
            indexes[i] = V_I4(&item);
    }
    PopTo(base);
    if (!ok) {
        LOG_MSG("Array dimention fault\n");
        return E_FAIL;
    }
    // Only arrays of VARIANTs with as many dimensions as indexes are read:
    // anything else would make the fetch read or write out of bounds.
    const VARIANT* value = m_vars->PeekValue(id);
    SAFEARRAY* psa =
        (value && (V_VT(value) & VT_ARRAY) && !(V_VT(value) & VT_BYREF)) ? V_ARRAY(value) : nullptr;
    VARTYPE elementType = VT_EMPTY;
    if (!psa || psa->cDims != (USHORT)count || FAILED(SafeArrayGetVartype(psa, &elementType)) ||
        elementType != VT_VARIANT || FAILED(FetchElement(psa, indexes, &v))) {
        LOG_MSG("Array operation fault\n");
        return E_FAIL;
    }
    Push(v);
    return S_OK;
}

template <class Call>
HRESULT CExpression::CallWithArgs(size_t base, HRESULT failure, Call call) {
    // Calls of a few arguments, the common ones, take no heap block.
    const size_t count = m_stack.size() - base;
    VARIANT local[8];
    std::vector<VARIANT> more;
    VARIANT* args = local;
    if (count > 8) {
        more.resize(count);
        args = more.data();
    }
    // Element by element: a library call would cost more than the copy.
    const VARIANT* from = m_stack.data() + base;
    for (size_t i = 0; i < count; ++i) args[i] = from[i];
    Forget(base);
    VARIANT result;
    ExprOp::InitValue(result);
    bool ok = call(count ? args : nullptr, &result);
    for (size_t i = 0; i < count; ++i) ExprOp::ClearValue(args[i]);
    if (!ok) {
        VariantClear(&result);
        return failure;
    }
    Push(result);
    return S_OK;
}

HRESULT CExpression::PushMember(std::string object, const char* member, const ArgList& list) {
    if (m_vars)
        m_vars->GetStringValue(object.c_str(), &object);
    const size_t base = m_stack.size();
    int count = 0;
    if (list.open >= 0) {
        HRESULT hr = PushArgs(list, true, count);
        if (FAILED(hr))
            return hr;
    }
    return CallWithArgs(base, E_FAIL, [&](VARIANT* args, VARIANT* result) {
        return m_objects &&
               m_objects->GetObjectProperty(object.c_str(), member, count, args, result) &&
               V_VT(result) != VT_EMPTY;
    });
}

HRESULT CExpression::PushCall(const std::string& name, const ArgList& list) {
    if (name.size() > kMaxFunctionName) {
        LOG_MSG("Function name too long: %.255s", name.c_str());
        return E_EXPR_CALL;
    }
    const size_t base = m_stack.size();
    int count = 0;
    HRESULT hr = PushArgs(list, true, count);
    if (FAILED(hr))
        return hr;
    return CallWithArgs(base, E_EXPR_CALL, [&](VARIANT* args, VARIANT* result) {
        return m_functions && m_functions->Execute(name.c_str(), args, count, result);
    });
}
