#include "bExprOp.h"

#include <stdint.h>
#include <string.h>
#include <string>

#include "bStrConv.h"
#include "bTraceLog.h"

namespace ExprOp {
namespace {

// The two operand kinds after normalisation that arithmetic knows.
inline bool IsI4(const VARIANT& v) {
    return V_VT(&v) == VT_I4;
}
inline bool IsR8(const VARIANT& v) {
    return V_VT(&v) == VT_R8;
}
inline bool IsStr(const VARIANT& v) {
    return V_VT(&v) == VT_BSTR;
}

// Normalised copy of an operand: VT_I2/VT_INT/VT_BOOL/VT_R4 are scalars, so
// the copy needs no clearing; everything else is used in place.
bool Normalised(const VARIANT& in, VARIANT& tmp, const VARIANT*& use) {
    VARTYPE vt = V_VT(&in);
    if (vt != VT_I2 && vt != VT_INT && vt != VT_BOOL && vt != VT_R4) {
        use = &in;
        return true;
    }
    tmp = in;
    if (!VarChangeTypeChecked(tmp))
        return false;
    use = &tmp;
    return true;
}

// Puts a finished scalar or string into out, releasing what out held. The
// fields are written in place: a VARIANT built aside and copied whole would
// be read back before its narrow stores reach memory.
inline void StoreBstr(VARIANT& out, BSTR value) {
    ClearValue(out);
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = value;
}

inline void StoreI4(VARIANT& out, LONG value) {
    ClearValue(out);
    V_VT(&out) = VT_I4;
    V_I4(&out) = value;
}

inline void StoreR8(VARIANT& out, double value) {
    ClearValue(out);
    V_VT(&out) = VT_R8;
    V_R8(&out) = value;
}

inline void StoreBool(VARIANT& out, bool value) {
    ClearValue(out);
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// Two's complement arithmetic without signed overflow.
inline LONG WrapAdd(LONG a, LONG b) {
    return (LONG)((uint32_t)a + (uint32_t)b);
}
inline LONG WrapSub(LONG a, LONG b) {
    return (LONG)((uint32_t)a - (uint32_t)b);
}
inline LONG WrapMul(LONG a, LONG b) {
    return (LONG)((uint32_t)a * (uint32_t)b);
}

// Both operands as doubles when one is VT_I4 and the other VT_R8, or both
// VT_R8. False when the pair is not numeric in that way.
inline bool AsDoubles(const VARIANT& l, const VARIANT& r, double& a, double& b) {
    if (IsR8(l))
        a = V_R8(&l);
    else if (IsI4(l))
        a = (double)V_I4(&l);
    else
        return false;
    if (IsR8(r))
        b = V_R8(&r);
    else if (IsI4(r))
        b = (double)V_I4(&r);
    else
        return false;
    return true;
}

// A divisor that is 0, -0 or not comparable with 0.
inline bool IsZeroDivisor(double d) {
    return !(d < 0.0 || d > 0.0);
}

bool IsAscii(BSTR s, UINT len) {
    for (UINT i = 0; i < len; ++i)
        if (s[i] >= 0x80)
            return false;
    return true;
}

int CompareBytes(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    int c = memcmp(a.data(), b.data(), n);  // memcmp compares unsigned bytes
    if (c)
        return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

enum OrderOp { ORDER_GREATER, ORDER_LESS, ORDER_GE, ORDER_LE };

template <class T>
inline bool Ordered(OrderOp op, T a, T b) {
    switch (op) {
        case ORDER_GREATER:
            return a > b;
        case ORDER_LESS:
            return a < b;
        case ORDER_GE:
            return a >= b;
        default:
            return a <= b;
    }
}

bool CompareOrdered(OrderOp op, const VARIANT& left, const VARIANT& right, VARIANT& out) {
    VARIANT tl, tr;
    const VARIANT *l, *r;
    if (!Normalised(left, tl, l) || !Normalised(right, tr, r))
        return false;
    if (IsI4(*l) && IsI4(*r)) {
        StoreBool(out, Ordered(op, V_I4(l), V_I4(r)));
        return true;
    }
    double a, b;
    if (AsDoubles(*l, *r, a, b)) {
        StoreBool(out, Ordered(op, a, b));
        return true;
    }
    if (IsStr(*l) && IsStr(*r)) {
        StoreBool(out, Ordered(op, CompareStrings(V_BSTR(l), V_BSTR(r)), 0));
        return true;
    }
    LOG_MSG("Wrong type!");
    return false;
}

// Equality as a plain answer; false return when the types do not compare.
bool EqualValues(const VARIANT& left, const VARIANT& right, bool& equal) {
    VARIANT tl, tr;
    const VARIANT *l, *r;
    if (!Normalised(left, tl, l) || !Normalised(right, tr, r))
        return false;
    if (IsI4(*l) && IsI4(*r)) {
        equal = V_I4(l) == V_I4(r);
        return true;
    }
    double a, b;
    if (AsDoubles(*l, *r, a, b)) {
        equal = a == b;  // NaN equals nothing
        return true;
    }
    if (IsStr(*l) && IsStr(*r)) {
        equal = CompareStrings(V_BSTR(l), V_BSTR(r)) == 0;
        return true;
    }
    LOG_MSG("Wrong type!");
    return false;
}

// Truth of a logical operand; false when the type is not VT_I4 or VT_BOOL
// (or an event's VT_INT, the same 32 bits).
inline bool LogicalValue(const VARIANT& v, bool& truth) {
    if (V_VT(&v) == VT_I4 || V_VT(&v) == VT_INT)
        truth = V_I4(&v) != 0;
    else if (V_VT(&v) == VT_BOOL)
        truth = V_BOOL(&v) != 0;
    else
        return false;
    return true;
}

}  // namespace

bool VarChangeTypeChecked(VARIANT& value) {
    VARTYPE to;
    switch (V_VT(&value)) {
        case VT_I2:
        case VT_BOOL:
        // Timer, key and character events hand their values over as VT_INT:
        // the same 32 bits, so arithmetic on an event's argument works.
        case VT_INT:
            to = VT_I4;
            break;
        case VT_R4:
            to = VT_R8;
            break;
        default:
            return true;
    }
    HRESULT hr = VariantChangeType(&value, &value, 0, to);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "VariantChangeType failed");
        return false;
    }
    return true;
}

bool VarMultiply(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    VARIANT tl, tr;
    const VARIANT *l, *r;
    if (!Normalised(left, tl, l) || !Normalised(right, tr, r))
        return false;
    if (IsI4(*l) && IsI4(*r)) {
        StoreI4(out, WrapMul(V_I4(l), V_I4(r)));
        return true;
    }
    double a, b;
    if (AsDoubles(*l, *r, a, b)) {
        StoreR8(out, a * b);
        return true;
    }
    LOG_MSG("Incompatible data type to multiply");
    return false;
}

bool VarDivide(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    VARIANT tl, tr;
    const VARIANT *l, *r;
    if (!Normalised(left, tl, l) || !Normalised(right, tr, r))
        return false;
    if (IsI4(*l) && IsI4(*r)) {
        LONG a = V_I4(l), b = V_I4(r);
        if (b == 0) {
            LOG_MSG("Divide by 0");
            return false;
        }
        // The one quotient that does not fit wraps like the other integer
        // operators instead of trapping.
        if (b == -1)
            StoreI4(out, WrapSub(0, a));
        else
            StoreI4(out, a / b);
        return true;
    }
    double a, b;
    if (AsDoubles(*l, *r, a, b)) {
        // Two doubles refuse a divisor not comparable with 0 as well; with
        // an integer on one side only a zero divisor is refused, so a NaN
        // divisor gives NaN.
        bool zero = IsR8(*l) && IsR8(*r) ? IsZeroDivisor(b) : b == 0.0;
        if (zero) {
            LOG_MSG("Divide by 0");
            return false;
        }
        StoreR8(out, a / b);
        return true;
    }
    LOG_MSG("Incompatible data type to divide");
    return false;
}

bool VarPlus(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    VARIANT tl, tr;
    const VARIANT *l, *r;
    if (!Normalised(left, tl, l) || !Normalised(right, tr, r))
        return false;
    if (IsI4(*l) && IsI4(*r)) {
        StoreI4(out, WrapAdd(V_I4(l), V_I4(r)));
        return true;
    }
    double a, b;
    if (AsDoubles(*l, *r, a, b)) {
        StoreR8(out, a + b);
        return true;
    }
    if (IsStr(*l) && IsStr(*r)) {
        BSTR sl = V_BSTR(l), sr = V_BSTR(r);
        unsigned long long length = (unsigned long long)SysStringLen(sl) + SysStringLen(sr);
        if (length > MAX_STRING_LENGTH) {
            LOG_MSG("String of %llu characters refused -- at most %d", length,
                    (int)MAX_STRING_LENGTH);
            return false;
        }
        BSTR joined = ConcatStrings(sl, sr);
        if (!joined && (sl || sr)) {
            LOG_MSG("Out of memory !");
            return false;
        }
        StoreBstr(out, joined);
        return true;
    }
    LOG_MSG("Incompatible data type to plus");
    return false;
}

bool VarMinus(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    VARIANT tl, tr;
    const VARIANT *l, *r;
    if (!Normalised(left, tl, l) || !Normalised(right, tr, r))
        return false;
    if (IsI4(*l) && IsI4(*r)) {
        StoreI4(out, WrapSub(V_I4(l), V_I4(r)));
        return true;
    }
    double a, b;
    if (AsDoubles(*l, *r, a, b)) {
        StoreR8(out, a - b);
        return true;
    }
    LOG_MSG("Incompatible data type to minus");
    return false;
}

bool VarGreater(const VARIANT& l, const VARIANT& r, VARIANT& out) {
    return CompareOrdered(ORDER_GREATER, l, r, out);
}
bool VarLess(const VARIANT& l, const VARIANT& r, VARIANT& out) {
    return CompareOrdered(ORDER_LESS, l, r, out);
}
bool VarGreaterEqual(const VARIANT& l, const VARIANT& r, VARIANT& out) {
    return CompareOrdered(ORDER_GE, l, r, out);
}
bool VarLessEqual(const VARIANT& l, const VARIANT& r, VARIANT& out) {
    return CompareOrdered(ORDER_LE, l, r, out);
}

bool VarEqual(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    bool equal;
    if (!EqualValues(left, right, equal))
        return false;
    StoreBool(out, equal);
    return true;
}

bool VarNotEqual(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    bool equal;
    if (!EqualValues(left, right, equal)) {
        LOG_MSG("incompatible type to compare");
        return false;
    }
    StoreBool(out, !equal);
    return true;
}

bool VarAnd(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    bool a, b;
    if (!LogicalValue(left, a) || !LogicalValue(right, b)) {
        LOG_MSG("incompatible type to compare");
        return false;
    }
    StoreBool(out, a && b);
    return true;
}

bool VarOr(const VARIANT& left, const VARIANT& right, VARIANT& out) {
    bool a, b;
    if (!LogicalValue(left, a) || !LogicalValue(right, b)) {
        LOG_MSG("incompatible type to compare");
        return false;
    }
    StoreBool(out, a || b);
    return true;
}

bool VarNot(const VARIANT& operand, VARIANT& out) {
    bool a;
    if (!LogicalValue(operand, a)) {
        LOG_MSG("incompatible type to compare");
        return false;
    }
    StoreBool(out, !a);
    return true;
}

bool VarNegate(const VARIANT& operand, VARIANT& out) {
    VARIANT t;
    const VARIANT* v;
    if (!Normalised(operand, t, v))
        return false;
    if (IsI4(*v)) {
        StoreI4(out, WrapSub(0, V_I4(v)));
        return true;
    }
    if (IsR8(*v)) {
        StoreR8(out, -V_R8(v));
        return true;
    }
    LOG_MSG("Wrong types");
    return false;
}

BSTR ConcatStringsPlain(BSTR left, BSTR right) {
    if (!left && !right)
        return nullptr;
    if (!left)
        return SysAllocStringLen(right, SysStringLen(right));
    if (!right)
        return SysAllocStringLen(left, SysStringLen(left));
    return BstrFromMultibyte(MultibyteFromBstr(left) + MultibyteFromBstr(right));
}

BSTR ConcatStrings(BSTR left, BSTR right) {
    if (!left || !right)
        return ConcatStringsPlain(left, right);
    UINT ll = SysStringLen(left), lr = SysStringLen(right);
    // ASCII passes through every ANSI code page unchanged.
    if (!IsAscii(left, ll) || !IsAscii(right, lr))
        return ConcatStringsPlain(left, right);
    BSTR out = SysAllocStringLen(nullptr, ll + lr);
    if (!out)
        return nullptr;
    memcpy(out, left, ll * sizeof(WCHAR));
    memcpy(out + ll, right, lr * sizeof(WCHAR));
    return out;
}

int CompareStringsPlain(BSTR left, BSTR right) {
    return CompareBytes(MultibyteFromBstr(left), MultibyteFromBstr(right));
}

int CompareStrings(BSTR left, BSTR right) {
    UINT ll = left ? SysStringLen(left) : 0, lr = right ? SysStringLen(right) : 0;
    if (!IsAscii(left, ll) || !IsAscii(right, lr))
        return CompareStringsPlain(left, right);
    UINT n = ll < lr ? ll : lr;
    for (UINT i = 0; i < n; ++i)
        if (left[i] != right[i])
            return left[i] < right[i] ? -1 : 1;
    return ll < lr ? -1 : (ll > lr ? 1 : 0);
}

}  // namespace ExprOp
