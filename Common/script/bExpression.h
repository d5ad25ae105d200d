// The expression evaluator as the play site hands it out (to the database
// library): ordinary virtual members, not COM slots.
#pragma once

#include <windows.h>
#include <oaidl.h>

struct IExpression {
    // Evaluates an expression of the work's script language into result.
    virtual HRESULT Evaluate(const char* text, VARIANT* result) = 0;
    virtual void DeleteThis() = 0;  // deleting destructor

protected:
    ~IExpression() {}
};
