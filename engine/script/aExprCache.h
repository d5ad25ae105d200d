// The scanned and split form of expression texts, kept by the evaluator so
// that a text evaluated again is neither scanned nor split again: its
// postfix form and the steps compiled from it. Values are not kept:
// variables, members and calls are looked up by every evaluation. The cache
// is bounded in entries and bytes; the text used least recently goes first.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One step of a compiled expression, in postfix order.
struct ExprStep {
    enum Kind : unsigned char {
        INTEGER,   // push integer
        REAL,      // push real
        STRING,    // push strings[text], lent
        OPERATOR,  // apply operator code
        // Push integer or real and apply binary operator code: a number
        // right operand, the most common one, in one step.
        OPERATE_INTEGER,
        OPERATE_REAL,
        VARIABLE,  // names[text], with an index list when bracketed
        CALL,      // function names[text] with its arguments
        MEMBER,    // object names[text], member names[member], index list when bracketed
        FAILURE,   // the evaluation ends here with code (a malformed postfix form)
    };
    Kind kind;
    bool bracketed;
    // A string variable read before anything that could change variables
    // in its range: its value is lent, not copied.
    bool lendable;
    int code;
    LONG integer;
    double real;
    int text;
    int member;
    int firstItem;  // argument items: items[firstItem .. firstItem + itemCount)
    int itemCount;
};

// Steps [begin, end) of a program: the whole expression or one list item.
struct ExprRange {
    int begin, end;
};

struct ExprProgram {
    unsigned long long serial = 0;  // set by the cache, never reused
    std::string text;               // the expression text (the cache key)
    std::string postfix;            // its postfix form
    std::vector<ExprStep> steps;
    std::vector<ExprRange> items;
    std::vector<std::string> names;
    std::vector<BSTR> strings;  // string literals, unescaped
    ExprRange root = {0, 0};

    ExprProgram() = default;
    ExprProgram(const ExprProgram&) = delete;
    ExprProgram& operator=(const ExprProgram&) = delete;
    ~ExprProgram();

    // Memory the program holds, roughly, for the cache's budget.
    size_t Bytes() const;
};

class CExprCache {
public:
    // Texts longer than this are not kept.
    enum { MAX_TEXT = 4096 };

    // A document's texts: 1024 of them and 4 MB at most by default.
    explicit CExprCache(size_t maxEntries = 1024, size_t maxBytes = 4u << 20);
    CExprCache(const CExprCache&) = delete;
    CExprCache& operator=(const CExprCache&) = delete;

    // The program of a text, or null; a hit becomes the most recently used.
    const ExprProgram* Find(const char* text, size_t length);
    // The program found or added last when text (NUL-terminated) is its
    // text, else null: a text evaluated over and over needs no hashing.
    const ExprProgram* FindLast(const char* text);
    // Takes a program over, dropping the least recently used ones beyond
    // the bounds. One larger than the whole budget, or whose text is kept
    // already, stays with the caller.
    void Add(std::unique_ptr<ExprProgram>& program);

    // While pinned, dropped programs live on: an evaluation runs one while
    // a nested evaluation may add others.
    void Pin() { ++m_pins; }
    void Unpin() {
        if (m_pins > 0 && --m_pins == 0 && !m_dropped.empty())
            m_dropped.clear();
    }

    size_t Count() const { return m_index.size(); }
    size_t Bytes() const { return m_bytes; }

private:
    typedef std::list<std::unique_ptr<ExprProgram>> Order;

    void DropOldest();

    size_t m_maxEntries, m_maxBytes, m_bytes;
    int m_pins;
    unsigned long long m_serial;
    Order m_order;           // most recently used first
    Order m_dropped;         // dropped while pinned
    Order::iterator m_last;  // for FindLast
    bool m_haveLast;
    std::unordered_map<std::string_view, Order::iterator> m_index;
};
