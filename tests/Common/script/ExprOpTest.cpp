// Operators on VARIANT values: the type table, integer wrap-around, the
// comparisons of multibyte strings and the failure texts.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>

#include <random>
#include <string>

#include "TestFiles.h"
#include "bExprOp.h"

namespace {

// A VARIANT described in a table row.
struct Val {
    VARTYPE vt;
    double num;          // integer kinds take it as an integer
    const wchar_t* str;  // VT_BSTR: null means a null BSTR
};

Val I(LONG v) {
    return {VT_I4, (double)v, nullptr};
}
Val R(double v) {
    return {VT_R8, v, nullptr};
}
Val S(const wchar_t* s) {
    return {VT_BSTR, 0, s};
}
Val B(bool v) {
    return {VT_BOOL, v ? -1.0 : 0.0, nullptr};
}
Val I2(SHORT v) {
    return {VT_I2, (double)v, nullptr};
}
Val Int(INT v) {
    return {VT_INT, (double)v, nullptr};
}
Val R4(float v) {
    return {VT_R4, (double)v, nullptr};
}
Val Empty() {
    return {VT_EMPTY, 0, nullptr};
}
const Val kNone = {VT_ILLEGAL, 0, nullptr};  // "fails" in the result column

// Owns the VARIANT built from a row.
struct Var {
    VARIANT v;
    explicit Var(const Val& d) {
        VariantInit(&v);
        V_VT(&v) = d.vt;
        switch (d.vt) {
            case VT_I4:
                V_I4(&v) = (LONG)d.num;
                break;
            case VT_R8:
                V_R8(&v) = d.num;
                break;
            case VT_I2:
                V_I2(&v) = (SHORT)d.num;
                break;
            case VT_INT:
                V_INT(&v) = (INT)d.num;
                break;
            case VT_R4:
                V_R4(&v) = (float)d.num;
                break;
            case VT_BOOL:
                V_BOOL(&v) = (VARIANT_BOOL)d.num;
                break;
            case VT_BSTR:
                V_BSTR(&v) = d.str ? SysAllocString(d.str) : nullptr;
                break;
            default:
                break;
        }
    }
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
};

::testing::AssertionResult Matches(const VARIANT& got, const Val& want) {
    if (V_VT(&got) != want.vt)
        return ::testing::AssertionFailure() << "type " << V_VT(&got) << " instead of " << want.vt;
    switch (want.vt) {
        case VT_I4:
            if (V_I4(&got) == (LONG)want.num)
                return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "value " << V_I4(&got);
        case VT_R8:
            if (V_R8(&got) == want.num || (isnan(want.num) && isnan(V_R8(&got))))
                return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "value " << V_R8(&got);
        case VT_BOOL:
            if (V_BOOL(&got) == (VARIANT_BOOL)want.num)
                return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "value " << V_BOOL(&got);
        case VT_BSTR:
            if (!want.str) {
                if (!V_BSTR(&got))
                    return ::testing::AssertionSuccess();
                return ::testing::AssertionFailure() << "non-null string";
            }
            if (V_BSTR(&got) && std::wstring(V_BSTR(&got), SysStringLen(V_BSTR(&got))) == want.str)
                return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "other string";
        default:
            return ::testing::AssertionSuccess();
    }
}

typedef bool (*BinaryOp)(const VARIANT&, const VARIANT&, VARIANT&);

struct BinaryCase {
    const char* name;
    BinaryOp op;
    Val left, right, result;  // result kNone: the operator fails
    const char* message;      // logged on failure
};

const double kNaN = NAN;

const BinaryCase kBinaryCases[] = {
    // multiply
    {"I*I", ExprOp::VarMultiply, I(6), I(7), I(42), nullptr},
    {"I*I wraps to 0", ExprOp::VarMultiply, I(65536), I(65536), I(0), nullptr},
    {"I*I wraps negative", ExprOp::VarMultiply, I(INT_MAX), I(2), I(-2), nullptr},
    {"INT_MIN*-1", ExprOp::VarMultiply, I(INT_MIN), I(-1), I(INT_MIN), nullptr},
    {"R*R", ExprOp::VarMultiply, R(1.5), R(2.0), R(3.0), nullptr},
    {"I*R", ExprOp::VarMultiply, I(2), R(1.25), R(2.5), nullptr},
    {"R*I", ExprOp::VarMultiply, R(2.5), I(-2), R(-5.0), nullptr},
    {"empty*I", ExprOp::VarMultiply, Empty(), I(1), kNone, "Incompatible data type to multiply"},
    {"bool*I", ExprOp::VarMultiply, B(true), I(3), I(-3), nullptr},
    {"I2*R4", ExprOp::VarMultiply, I2(3), R4(0.5f), R(1.5), nullptr},
    {"S*S", ExprOp::VarMultiply, S(L"a"), S(L"b"), kNone, "Incompatible data type to multiply"},
    {"I*S", ExprOp::VarMultiply, I(1), S(L"b"), kNone, "Incompatible data type to multiply"},
    // divide
    {"7/2", ExprOp::VarDivide, I(7), I(2), I(3), nullptr},
    {"-7/2 toward zero", ExprOp::VarDivide, I(-7), I(2), I(-3), nullptr},
    {"7/-2 toward zero", ExprOp::VarDivide, I(7), I(-2), I(-3), nullptr},
    {"INT_MIN/-1 wraps", ExprOp::VarDivide, I(INT_MIN), I(-1), I(INT_MIN), nullptr},
    {"5/-1", ExprOp::VarDivide, I(5), I(-1), I(-5), nullptr},
    {"1/0", ExprOp::VarDivide, I(1), I(0), kNone, "Divide by 0"},
    {"INT_MIN/0", ExprOp::VarDivide, I(INT_MIN), I(0), kNone, "Divide by 0"},
    {"7.0/2", ExprOp::VarDivide, R(7.0), I(2), R(3.5), nullptr},
    {"7/2.0", ExprOp::VarDivide, I(7), R(2.0), R(3.5), nullptr},
    {"7.0/2.0", ExprOp::VarDivide, R(7.0), R(2.0), R(3.5), nullptr},
    // An integer on one side: only a zero divisor is refused.
    {"1/NaN", ExprOp::VarDivide, I(1), R(kNaN), R(kNaN), nullptr},
    {"NaN/2", ExprOp::VarDivide, R(kNaN), I(2), R(kNaN), nullptr},
    {"1.0/0", ExprOp::VarDivide, R(1.0), I(0), kNone, "Divide by 0"},
    {"1.0/0.0", ExprOp::VarDivide, R(1.0), R(0.0), kNone, "Divide by 0"},
    {"1/-0.0", ExprOp::VarDivide, I(1), R(-0.0), kNone, "Divide by 0"},
    {"1.0/NaN", ExprOp::VarDivide, R(1.0), R(kNaN), kNone, "Divide by 0"},
    {"S/S", ExprOp::VarDivide, S(L"a"), S(L"b"), kNone, "Incompatible data type to divide"},
    {"empty/1", ExprOp::VarDivide, Empty(), I(1), kNone, "Incompatible data type to divide"},
    {"I/S", ExprOp::VarDivide, I(1), S(L"2"), kNone, "Incompatible data type to divide"},
    // plus
    {"INT_MAX+1", ExprOp::VarPlus, I(INT_MAX), I(1), I(INT_MIN), nullptr},
    {"INT_MIN+-1", ExprOp::VarPlus, I(INT_MIN), I(-1), I(INT_MAX), nullptr},
    {"R+I", ExprOp::VarPlus, R(1.5), I(1), R(2.5), nullptr},
    {"I+R", ExprOp::VarPlus, I(1), R(0.25), R(1.25), nullptr},
    {"R+R", ExprOp::VarPlus, R(0.25), R(0.5), R(0.75), nullptr},
    {"bool+I", ExprOp::VarPlus, B(true), I(1), I(0), nullptr},
    {"S+S", ExprOp::VarPlus, S(L"ab"), S(L"cd"), S(L"abcd"), nullptr},
    {"GBK S+S", ExprOp::VarPlus, S(L"\x4E2D"), S(L"\x6587x"), S(L"\x4E2D\x6587x"), nullptr},
    {"null+null", ExprOp::VarPlus, S(nullptr), S(nullptr), S(nullptr), nullptr},
    {"null+S", ExprOp::VarPlus, S(nullptr), S(L"x"), S(L"x"), nullptr},
    {"S+null", ExprOp::VarPlus, S(L"y"), S(nullptr), S(L"y"), nullptr},
    {"S+I", ExprOp::VarPlus, S(L"x"), I(1), kNone, "Incompatible data type to plus"},
    {"I+S", ExprOp::VarPlus, I(1), S(L"x"), kNone, "Incompatible data type to plus"},
    {"empty+empty", ExprOp::VarPlus, Empty(), Empty(), kNone, "Incompatible data type to plus"},
    // minus
    {"INT_MIN-1", ExprOp::VarMinus, I(INT_MIN), I(1), I(INT_MAX), nullptr},
    {"I-I", ExprOp::VarMinus, I(5), I(7), I(-2), nullptr},
    {"R-I", ExprOp::VarMinus, R(1.5), I(2), R(-0.5), nullptr},
    {"I-R", ExprOp::VarMinus, I(1), R(0.25), R(0.75), nullptr},
    {"R-R", ExprOp::VarMinus, R(0.5), R(0.25), R(0.25), nullptr},
    {"I-S", ExprOp::VarMinus, I(1), S(L"b"), kNone, "Incompatible data type to minus"},
    {"S-S", ExprOp::VarMinus, S(L"a"), S(L"b"), kNone, "Incompatible data type to minus"},
    // ordered comparisons
    {"3>2", ExprOp::VarGreater, I(3), I(2), B(true), nullptr},
    {"2>3", ExprOp::VarGreater, I(2), I(3), B(false), nullptr},
    {"2.5>2", ExprOp::VarGreater, R(2.5), I(2), B(true), nullptr},
    {"2<2.5", ExprOp::VarLess, I(2), R(2.5), B(true), nullptr},
    {"2>=2", ExprOp::VarGreaterEqual, I(2), I(2), B(true), nullptr},
    {"2<=1", ExprOp::VarLessEqual, I(2), I(1), B(false), nullptr},
    {"1.5>1.25", ExprOp::VarGreater, R(1.5), R(1.25), B(true), nullptr},
    {"2>=2.0", ExprOp::VarGreaterEqual, I(2), R(2.0), B(true), nullptr},
    {"true<0", ExprOp::VarLess, B(true), I(0), B(true), nullptr},  // true is -1
    {"a>=a", ExprOp::VarGreaterEqual, S(L"a"), S(L"a"), B(true), nullptr},
    {"b<=a", ExprOp::VarLessEqual, S(L"b"), S(L"a"), B(false), nullptr},
    {"NaN<1", ExprOp::VarLess, R(kNaN), I(1), B(false), nullptr},
    {"NaN>=1", ExprOp::VarGreaterEqual, R(kNaN), I(1), B(false), nullptr},
    {"b>a", ExprOp::VarGreater, S(L"b"), S(L"a"), B(true), nullptr},
    {"ab<b", ExprOp::VarLess, S(L"ab"), S(L"b"), B(true), nullptr},
    {"a<ab", ExprOp::VarLess, S(L"a"), S(L"ab"), B(true), nullptr},
    {"case-sensitive", ExprOp::VarLess, S(L"B"), S(L"a"), B(true), nullptr},
    // 0xB0 0xA1 against 'z' (0x7A): bytes compare unsigned
    {"DBCS>ASCII", ExprOp::VarGreater, S(L"\x554A"), S(L"z"), B(true), nullptr},
    {"null<=empty", ExprOp::VarLessEqual, S(nullptr), S(L""), B(true), nullptr},
    {"S>I", ExprOp::VarGreater, S(L"a"), I(1), kNone, "Wrong type!"},
    {"empty<I", ExprOp::VarLess, Empty(), I(1), kNone, "Wrong type!"},
    // equality
    {"2==2.0", ExprOp::VarEqual, I(2), R(2.0), B(true), nullptr},
    {"3==4", ExprOp::VarEqual, I(3), I(4), B(false), nullptr},
    {"0.5==0.5", ExprOp::VarEqual, R(0.5), R(0.5), B(true), nullptr},
    {"2.5==2", ExprOp::VarEqual, R(2.5), I(2), B(false), nullptr},
    {"empty==empty", ExprOp::VarEqual, Empty(), Empty(), kNone, "Wrong type!"},
    {"NaN==NaN", ExprOp::VarEqual, R(kNaN), R(kNaN), B(false), nullptr},
    {"bool==-1", ExprOp::VarEqual, B(true), I(-1), B(true), nullptr},
    {"a==a", ExprOp::VarEqual, S(L"a"), S(L"a"), B(true), nullptr},
    {"null==empty", ExprOp::VarEqual, S(nullptr), S(L""), B(true), nullptr},
    {"a==A", ExprOp::VarEqual, S(L"a"), S(L"A"), B(false), nullptr},
    {"S==I", ExprOp::VarEqual, S(L"1"), I(1), kNone, "Wrong type!"},
    {"1!=2", ExprOp::VarNotEqual, I(1), I(2), B(true), nullptr},
    {"NaN!=NaN", ExprOp::VarNotEqual, R(kNaN), R(kNaN), B(true), nullptr},
    {"a!=a", ExprOp::VarNotEqual, S(L"a"), S(L"a"), B(false), nullptr},
    {"2.0!=2", ExprOp::VarNotEqual, R(2.0), I(2), B(false), nullptr},
    {"S!=I", ExprOp::VarNotEqual, S(L"1"), I(1), kNone, "incompatible type to compare"},
    // logical
    {"5&&true", ExprOp::VarAnd, I(5), B(true), B(true), nullptr},
    {"0&&1", ExprOp::VarAnd, I(0), I(1), B(false), nullptr},
    {"0||false", ExprOp::VarOr, I(0), B(false), B(false), nullptr},
    {"0||7", ExprOp::VarOr, I(0), I(7), B(true), nullptr},
    {"true&&false", ExprOp::VarAnd, B(true), B(false), B(false), nullptr},
    {"-1&&2", ExprOp::VarAnd, I(-1), I(2), B(true), nullptr},
    {"empty&&1", ExprOp::VarAnd, Empty(), I(1), kNone, "incompatible type to compare"},
    {"R&&I", ExprOp::VarAnd, R(1.0), I(1), kNone, "incompatible type to compare"},
    {"I2||I (no normalising)", ExprOp::VarOr, I2(1), I(1), kNone, "incompatible type to compare"},
    {"S||I", ExprOp::VarOr, S(L"x"), I(1), kNone, "incompatible type to compare"},
};

void PrintTo(const BinaryCase& c, std::ostream* os) {
    *os << c.name;
}

class ExprOpBinary : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(ExprOpBinary, FollowsTheTypeTable) {
    const BinaryCase& c = GetParam();
    Var left(c.left), right(c.right), out;
    LogCapture log;
    bool ok = c.op(left.v, right.v, out.v);
    std::string text = log.Text();
    if (c.result.vt == VT_ILLEGAL) {
        EXPECT_FALSE(ok);
        EXPECT_TRUE(Logged(text, c.message)) << c.name;
    } else {
        ASSERT_TRUE(ok) << c.name;
        EXPECT_TRUE(Matches(out.v, c.result)) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ExprOpBinary, ::testing::ValuesIn(kBinaryCases),
                         [](const ::testing::TestParamInfo<BinaryCase>& info) {
                             return "row" + std::to_string(info.index);
                         });

typedef bool (*UnaryOp)(const VARIANT&, VARIANT&);

struct UnaryCase {
    UnaryOp op;
    Val operand, result;
    const char* message;
};

const UnaryCase kUnaryCases[] = {
    {ExprOp::VarNot, I(5), B(false), nullptr},
    {ExprOp::VarNot, I(0), B(true), nullptr},
    {ExprOp::VarNot, B(false), B(true), nullptr},
    {ExprOp::VarNot, B(true), B(false), nullptr},
    {ExprOp::VarNot, S(L"0"), kNone, "incompatible type to compare"},
    {ExprOp::VarNot, R(0.0), kNone, "incompatible type to compare"},
    {ExprOp::VarNegate, I(5), I(-5), nullptr},
    {ExprOp::VarNegate, I(INT_MIN), I(INT_MIN), nullptr},
    {ExprOp::VarNegate, R(1.5), R(-1.5), nullptr},
    {ExprOp::VarNegate, I2(-3), I(3), nullptr},
    {ExprOp::VarNegate, B(true), I(1), nullptr},
    {ExprOp::VarNegate, S(L"x"), kNone, "Wrong types"},
    {ExprOp::VarNegate, Empty(), kNone, "Wrong types"},
};

void PrintTo(const UnaryCase& c, std::ostream* os) {
    *os << "operand type " << c.operand.vt;
}

class ExprOpUnary : public ::testing::TestWithParam<UnaryCase> {};

TEST_P(ExprOpUnary, FollowsTheTypeTable) {
    const UnaryCase& c = GetParam();
    Var operand(c.operand), out;
    LogCapture log;
    bool ok = c.op(operand.v, out.v);
    std::string text = log.Text();
    if (c.result.vt == VT_ILLEGAL) {
        EXPECT_FALSE(ok);
        EXPECT_TRUE(Logged(text, c.message));
    } else {
        ASSERT_TRUE(ok);
        EXPECT_TRUE(Matches(out.v, c.result));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ExprOpUnary, ::testing::ValuesIn(kUnaryCases),
                         [](const ::testing::TestParamInfo<UnaryCase>& info) {
                             return "row" + std::to_string(info.index);
                         });

TEST(ExprOp, OutputMayBeAnOperand) {
    Var a(S(L"left")), b(S(L"right"));
    ASSERT_TRUE(ExprOp::VarPlus(a.v, b.v, a.v));
    EXPECT_TRUE(Matches(a.v, S(L"leftright")));
    Var n(I(4));
    ASSERT_TRUE(ExprOp::VarEqual(n.v, n.v, n.v));
    EXPECT_TRUE(Matches(n.v, B(true)));
}

TEST(ExprOp, NormalisationChangesOnlyShortKinds) {
    Var a(I2(7)), b(B(true)), c(R4(0.5f)), d(S(L"s"));
    ASSERT_TRUE(ExprOp::VarChangeTypeChecked(a.v));
    ASSERT_TRUE(ExprOp::VarChangeTypeChecked(b.v));
    ASSERT_TRUE(ExprOp::VarChangeTypeChecked(c.v));
    ASSERT_TRUE(ExprOp::VarChangeTypeChecked(d.v));
    EXPECT_TRUE(Matches(a.v, I(7)));
    EXPECT_TRUE(Matches(b.v, I(-1)));
    EXPECT_TRUE(Matches(c.v, R(0.5)));
    EXPECT_TRUE(Matches(d.v, S(L"s")));
}

// Timer and key events hand their values over as VT_INT: a list adding to
// its argument must get a 32-bit integer, not a failed expression.
TEST(ExprOp, EventIntegersTakePartInArithmetic) {
    Var big(Int(70000)), one(I(1)), out;
    ASSERT_TRUE(ExprOp::VarPlus(big.v, one.v, out.v));
    EXPECT_TRUE(Matches(out.v, I(70001)));
    Var half(R(0.5));
    ASSERT_TRUE(ExprOp::VarMultiply(half.v, big.v, out.v));
    EXPECT_TRUE(Matches(out.v, R(35000.0)));
    ASSERT_TRUE(ExprOp::VarGreater(big.v, one.v, out.v));
    EXPECT_TRUE(Matches(out.v, B(true)));
    ASSERT_TRUE(ExprOp::VarNegate(big.v, out.v));
    EXPECT_TRUE(Matches(out.v, I(-70000)));
    Var none(Int(0));
    ASSERT_TRUE(ExprOp::VarAnd(big.v, one.v, out.v));
    EXPECT_TRUE(Matches(out.v, B(true)));
    ASSERT_TRUE(ExprOp::VarOr(none.v, none.v, out.v));
    EXPECT_TRUE(Matches(out.v, B(false)));
}

// Random strings of ASCII, GBK characters and characters that code page
// 936 cannot hold, so the shortcut and the code-page path both run.
std::wstring RandomText(std::mt19937& rng) {
    static const wchar_t pool[] = L"azAZ09 _\"\\|\x4E2D\x6587\x554A\x5104\x4E57\x0E01\x00E9\x20AC";
    std::uniform_int_distribution<int> len(0, 6),
        pick(0, (int)(sizeof(pool) / sizeof(pool[0])) - 2);
    std::uniform_int_distribution<int> asciiOnly(0, 1);
    bool ascii = asciiOnly(rng) != 0;
    std::wstring s;
    for (int n = len(rng); n > 0; --n) {
        wchar_t c = pool[pick(rng)];
        if (ascii && c >= 0x80)
            c = L'q';
        s += c;
    }
    return s;
}

TEST(ExprOp, StringShortcutsAgreeWithTheCodePagePath) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        std::wstring a = RandomText(rng), b = RandomText(rng);
        BSTR sa = (i % 17 == 0) ? nullptr : SysAllocStringLen(a.data(), (UINT)a.size());
        BSTR sb = (i % 13 == 0) ? nullptr : SysAllocStringLen(b.data(), (UINT)b.size());
        BSTR fast = ExprOp::ConcatStrings(sa, sb), plain = ExprOp::ConcatStringsPlain(sa, sb);
        ASSERT_EQ(fast == nullptr, plain == nullptr);
        if (fast) {
            ASSERT_EQ(std::wstring(fast, SysStringLen(fast)),
                      std::wstring(plain, SysStringLen(plain)));
        }
        int f = ExprOp::CompareStrings(sa, sb), p = ExprOp::CompareStringsPlain(sa, sb);
        ASSERT_EQ((f > 0) - (f < 0), (p > 0) - (p < 0)) << i;
        SysFreeString(fast);
        SysFreeString(plain);
        SysFreeString(sa);
        SysFreeString(sb);
    }
}

TEST(ExprOp, JoinedStringsStopAtTheBound) {
    // Doubling a string: the join that would pass the bound fails at once,
    // with a log line, and leaves the result untouched.
    LogCapture log;
    VARIANT s;
    V_VT(&s) = VT_BSTR;
    V_BSTR(&s) = SysAllocString(L"x");
    int doublings = 0;
    for (int i = 0; i < 40; ++i) {
        VARIANT joined;
        V_VT(&joined) = VT_I4;
        V_I4(&joined) = 7;
        if (!ExprOp::VarPlus(s, s, joined)) {
            EXPECT_EQ(VT_I4, V_VT(&joined));
            break;
        }
        VariantClear(&s);
        s = joined;
        ++doublings;
    }
    EXPECT_EQ(24, doublings);
    EXPECT_EQ((UINT)ExprOp::MAX_STRING_LENGTH, SysStringLen(V_BSTR(&s)));
    EXPECT_LOGGED(log, "String of 33554432 characters refused -- at most 16777216");
    // At the bound itself a join still succeeds.
    VARIANT empty, same;
    V_VT(&empty) = VT_BSTR;
    V_BSTR(&empty) = SysAllocString(L"");
    VariantInit(&same);
    EXPECT_TRUE(ExprOp::VarPlus(s, empty, same));
    EXPECT_EQ((UINT)ExprOp::MAX_STRING_LENGTH, SysStringLen(V_BSTR(&same)));
    VariantClear(&same);
    VariantClear(&empty);
    VariantClear(&s);
}

}  // namespace
