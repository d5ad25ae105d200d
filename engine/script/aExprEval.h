// The expression evaluator: turns a script expression (numbers, quoted
// strings, variables, array elements, object members, function calls and
// the operators of the language) into one VARIANT. The text is converted to
// postfix order by a recursive splitter and the postfix sequence is then
// evaluated on a stack; operators are the ExprOp functions, variables come
// from the variable manager, object members and calls from the interfaces
// below.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

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

    // Evaluates a comma list in postfix form into a new array (delete[]
    // after clearing each element). With reverse the first item goes into
    // the last element.
    HRESULT EvaluateList(const char* postfix, VARIANT** values, int* count, bool reverse);

    // The work block's capacity: the source copy takes one capacity and the
    // postfix buffer two.
    int GetCapacity() const { return m_capacity; }
    // The postfix form of the last converted text (for tests).
    std::string GetPostfix() const { return std::string(m_post, (size_t)m_postLen); }

    // Deepest recursion of the splitter: brackets, calls and operator
    // levels together.
    enum { MAX_SPLIT_DEPTH = 2048 };

private:
    struct Split {
        int pos;
        int len;
        int prec;
    };

    bool ToPostfix(int start, int end, int depth);
    bool EmitOperand(int kind, int tokStart, int tokEnd, int open, int close, int depth);
    bool Emit(const char* bytes, int n);
    bool EmitByte(char c) { return Emit(&c, 1); }

    HRESULT EvaluatePostfix(const char* post, int start, int end, VARIANT& result);
    // Evaluates the comma list [start, end) of post onto the stack; count
    // receives the number of values pushed.
    HRESULT PushList(const char* post, int start, int end, bool reverse, int& count);
    HRESULT PushName(const char* post, int& pos, int end);
    HRESULT PushVariable(const std::string& name, const char* post, int open, int close);
    HRESULT PushMember(const std::string& name, const char* post, int open, int close);
    HRESULT PushCall(const std::string& name, const char* post, int open, int close);
    void Push(const VARIANT& v) { m_stack.push_back(v); }
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

    std::vector<VARIANT> m_stack;  // evaluation stack shared by nested lists
    std::vector<Split> m_splits;   // split operators of the open splitter frames
};
