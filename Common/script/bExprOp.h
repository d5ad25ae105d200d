// Operators of the script language on VARIANT values. Each takes its
// operands and an output, returns true with the result in the output, or
// logs why and returns false. The language knows 32-bit integers, doubles,
// strings and booleans and never converts between strings and numbers.
//
// The functions live in their own namespace because oleaut32 exports
// VarAnd, VarOr and VarNot with other meanings. The output must hold a valid
// VARIANT (empty or not); it may be one of the operands.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace ExprOp {

// True for the types whose values own nothing (no string, array, object or
// reference): copying the VARIANT copies the value, clearing frees nothing.
inline bool OwnsNothing(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_ERROR:
        case VT_BOOL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

// VariantInit without the call.
inline void InitValue(VARIANT& value) {
    V_VT(&value) = VT_EMPTY;
}

// VariantClear, without the call where there is nothing to free.
inline void ClearValue(VARIANT& value) {
    if (OwnsNothing(V_VT(&value)))
        V_VT(&value) = VT_EMPTY;
    else
        VariantClear(&value);
}

// VT_I2 and VT_BOOL become VT_I4, VT_R4 becomes VT_R8, anything else stays.
// False (logged) when the conversion fails.
bool VarChangeTypeChecked(VARIANT& value);

bool VarMultiply(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarDivide(const VARIANT& left, const VARIANT& right, VARIANT& out);
// Joining two strings into one longer than MAX_STRING_LENGTH characters
// fails (logged) before anything is allocated.
enum { MAX_STRING_LENGTH = 16 * 1024 * 1024 };
bool VarPlus(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarMinus(const VARIANT& left, const VARIANT& right, VARIANT& out);

// Ordered comparisons; VT_BOOL results (-1 true, 0 false).
bool VarGreater(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarLess(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarGreaterEqual(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarLessEqual(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarEqual(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarNotEqual(const VARIANT& left, const VARIANT& right, VARIANT& out);

// Logical operators take VT_I4 and VT_BOOL only; both operands are always
// given (no short circuit).
bool VarAnd(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarOr(const VARIANT& left, const VARIANT& right, VARIANT& out);
bool VarNot(const VARIANT& operand, VARIANT& out);
bool VarNegate(const VARIANT& operand, VARIANT& out);

// String helpers behind "+" and the comparisons. Texts are compared and
// joined as multibyte text of the ANSI code page; a null BSTR is the empty
// text. The plain forms always go through the code page; the others take a
// shortcut for ASCII-only strings and must agree with them.
BSTR ConcatStrings(BSTR left, BSTR right);
BSTR ConcatStringsPlain(BSTR left, BSTR right);
int CompareStrings(BSTR left, BSTR right);  // <0, 0, >0 by unsigned bytes
int CompareStringsPlain(BSTR left, BSTR right);

}  // namespace ExprOp
