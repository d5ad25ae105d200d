// The expression evaluator: turns a script expression (numbers, quoted
// strings, variables, array elements, object members, function calls and
// the operators of the language) into one VARIANT. The text is converted to
// postfix order by a recursive splitter and the postfix sequence is then
// evaluated on a stack; operators are the ExprOp functions, variables come
// from the variable manager, object members and calls from the interfaces
// below. The postfix form of a text is compiled into steps and kept, so a
// text evaluated again is not scanned again.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

#include "aExprCache.h"
#include "bExprScan.h"
#include "bExpression.h"

class VariableManager;

// Run-time failures of an evaluation.
#define E_EXPR_CALL ((HRESULT)0x800403F6L)      // a function call failed
#define E_EXPR_OPERATOR ((HRESULT)0x800403F8L)  // an operator failed
#define E_EXPR_EMPTY ((HRESULT)0x800403FBL)     // nothing to evaluate

// What the evaluator needs of the command sender: reading a property of a
// named object ("this" is the current object). Arguments are in call order
// (last argument first). Non-zero on success.
struct IExprObjectAccess {
    virtual int GetObjectProperty(const char* objectName, const char* member, int argCount,
                                  VARIANT* args, VARIANT* result) = 0;

protected:
    ~IExprObjectAccess() {}
};

// What the evaluator needs of the function manager: calling a built-in or
// user function by name. Arguments are in call order (last argument first)
// and may be converted in place. True on success.
struct IExprFunctionAccess {
    virtual bool Execute(const char* name, VARIANT* args, int count, VARIANT* result) = 0;

protected:
    ~IExprFunctionAccess() {}
};

class CExpression : public IExpression {
public:
    CExpression();
    virtual ~CExpression();
    CExpression(const CExpression&) = delete;
    CExpression& operator=(const CExpression&) = delete;

    // result must hold a valid VARIANT; it is cleared first and holds the
    // value on success, and stays empty on failure.
    HRESULT Evaluate(const char* text, VARIANT* result) override;
    void DeleteThis() override { delete this; }

    void SetVariables(VariableManager* variables) { m_vars = variables; }
    void SetCommandSender(IExprObjectAccess* sender) { m_objects = sender; }
    void SetFunctions(IExprFunctionAccess* functions) { m_functions = functions; }

    // A fresh evaluator for a call made while this one may be evaluating:
    // the same variables, sender and functions, and the kept forms of this
    // one (delete after use; it must not outlive this one).
    CExpression* NewNested() const;

    // Evaluates a comma list in postfix form into a new array (delete[]
    // after clearing each element). With reverse the first item goes into
    // the last element.
    HRESULT EvaluateList(const char* postfix, VARIANT** values, int* count, bool reverse);

    // The work block's capacity: the source copy takes one capacity and the
    // postfix buffer two.
    int GetCapacity() const { return m_capacity; }
    // The postfix form of the last converted text (for tests).
    std::string GetPostfix() const { return std::string(m_post, (size_t)m_postLen); }

    // The kept forms of evaluated texts (for tests and benchmarks).
    const CExprCache* GetCache() const { return m_cache; }
    // Texts scanned and split so far; a text found in the cache is not.
    int GetConversionCount() const { return m_conversions; }
    // Test hooks: false evaluates every text from its postfix form, as
    // converted each time, and keeps nothing; new bounds empty the cache.
    void SetKeepForms(bool keep) { m_keepForms = keep; }
    void SetCacheLimits(size_t maxEntries, size_t maxBytes);

    // Deepest recursion of the splitter: brackets, calls and operator
    // levels together.
    enum { MAX_SPLIT_DEPTH = 2048 };

private:
    struct Split {
        int pos;
        int len;
        int prec;
    };

    // The bracketed argument list of a call, element or member: a range of
    // a postfix text, or items of a compiled program.
    struct ArgList {
        const char* post;
        int open, close;  // the brackets in post, or open < 0 for none
        const ExprProgram* program;
        int firstItem, itemCount;
    };
    static ArgList PostfixArgs(const char* post, int open, int close) {
        return ArgList{post, open, close, nullptr, 0, 0};
    }
    static ArgList ProgramArgs(const ExprProgram& program, const ExprStep& step) {
        return ArgList{nullptr,  step.bracketed ? 0 : -1, 0,
                       &program, step.firstItem,          step.itemCount};
    }

    // Shares the kept forms of an evaluator that is busy (for a nested one).
    explicit CExpression(CExprCache* cache);
    // The kept forms a nested evaluator may share (none from another thread).
    CExprCache* SharedCache() const;
    // Variables, sender, functions and the keep-forms switch of other.
    void TakeSettings(const CExpression& other);

    bool ToPostfix(int start, int end, int depth);
    bool EmitOperand(int kind, int tokStart, int tokEnd, int open, int close, int depth);
    bool Emit(const char* bytes, int n);
    bool EmitByte(char c) { return Emit(&c, 1); }

    HRESULT EvaluatePostfix(const char* post, int start, int end, VARIANT& result);
    // The same evaluation over compiled steps.
    HRESULT RunProgram(const ExprProgram& program, ExprRange range, VARIANT& result);
    // Compiles the postfix form in program; false when it is not one the
    // splitter makes (then it is evaluated from its text).
    static bool Compile(ExprProgram& program);
    // Applies an operator to the top of the stack; values pushed since base
    // are dropped on failure.
    HRESULT ApplyOperator(int code, size_t base);
    bool ScalarOperator(int code, VARIANT& left, const VARIANT& right);
    // Evaluates the comma list [start, end) of post onto the stack; count
    // receives the number of values pushed.
    HRESULT PushList(const char* post, int start, int end, bool reverse, int& count);
    // The same for an argument list in either form.
    HRESULT PushArgs(const ArgList& list, bool reverse, int& count);
    HRESULT PushName(const char* post, int& pos, int end);
    HRESULT PushVariable(const char* name, const ArgList& list, bool lend = false);
    HRESULT PushMember(std::string object, const char* member, const ArgList& list);
    HRESULT PushCall(const std::string& name, const ArgList& list);
    void Push(const VARIANT& v) {
        m_stack.push_back(v);
        m_lent.push_back(0);
    }
    // A new empty entry on the stack, to be filled in place.
    VARIANT& PushEmpty() {
        m_stack.emplace_back();
        m_lent.push_back(0);
        return m_stack.back();
    }
    // Pushes a string that the program or a variable keeps: it is neither
    // copied nor freed, and copied only when it becomes the result.
    void Lend(const VARIANT& v) {
        m_stack.push_back(v);
        m_lent.push_back(1);
    }
    // Takes the values from base on off the stack as they are.
    void Forget(size_t base) {
        m_stack.resize(base);
        m_lent.resize(base);
    }
    // Takes the values pushed since base off the stack (the call may evaluate
    // other expressions), calls call(args, result) and pushes its result;
    // failure when the call fails.
    template <class Call>
    HRESULT CallWithArgs(size_t base, HRESULT failure, Call call);
    void PopTo(size_t base);

    int m_capacity;
    char* m_block;  // source copy, then postfix buffer
    char* m_source;
    char* m_post;
    int m_postLen;
    int m_postCap;

    VariableManager* m_vars;
    IExprObjectAccess* m_objects;
    IExprFunctionAccess* m_functions;
    int m_busy;  // evaluations running on this object
    int m_conversions;
    bool m_keepForms;
    unsigned long long m_postSerial;  // the kept program whose postfix m_post holds
    std::unique_ptr<CExprCache> m_ownCache;
    CExprCache* m_cache;  // own, or that of the evaluator this one is nested in
    DWORD m_busyThread;   // the thread of the running evaluation

    std::vector<VARIANT> m_stack;       // evaluation stack shared by nested lists
    std::vector<unsigned char> m_lent;  // per stack entry: lent, not owned
    std::vector<Split> m_splits;        // split operators of the open splitter frames
};
