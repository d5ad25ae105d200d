// Expression evaluator: precedence, literals, variables, arrays, calls and
// object members through test doubles, GBK names, failures and limits.
#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>
#include <stdint.h>

#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "aExprEval.h"
#include "bExprOp.h"
#include "bStrConv.h"
#include "bVarMgr.h"

namespace {

// GBK characters whose trail byte equals a character the scanner reacts to.
#define GBK_PIPE "\x83\x7C"       // 億, trail "|"
#define GBK_BACKSLASH "\x81\x5C"  // 乗, trail "\"
#define GBK_OPEN "\xB0\x5B"       // 癧, trail "["
#define GBK_CLOSE "\x81\x5D"      // 乚, trail "]"

// Function manager double: sums its integer arguments, records the calls.
struct FakeFunctions : IExprFunctionAccess {
    struct Call {
        std::string name;
        std::vector<LONG> args;  // in the order received (last argument first)
    };
    std::vector<Call> calls;
    VariableManager* vars = nullptr;  // "reassign" sets s to "changed" in it
    bool Execute(const char* name, VARIANT* args, int count, VARIANT* result) override {
        if (vars && strcmp(name, "reassign") == 0) {
            VARIANT text;
            V_VT(&text) = VT_BSTR;
            V_BSTR(&text) = SysAllocString(L"changed");
            vars->SetValue(vars->Find("s"), text);
            VariantClear(&text);
        }
        Call call{name, {}};
        LONG sum = 0;
        for (int i = 0; i < count; ++i) {
            if (V_VT(&args[i]) != VT_I4)
                return false;
            call.args.push_back(V_I4(&args[i]));
            sum += V_I4(&args[i]);
        }
        calls.push_back(call);
        if (strcmp(name, "fail") == 0)
            return false;
        if (strcmp(name, "text") == 0) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(L"t");
            return true;
        }
        V_VT(result) = VT_I4;
        V_I4(result) = sum;
        return true;
    }
};

// Command sender double: every property is "object.member" as text, except
// the member Empty (no value) and Count (the number of arguments).
struct FakeObjects : IExprObjectAccess {
    struct Call {
        std::string object, member;
        std::vector<LONG> args;
    };
    std::vector<Call> calls;
    CExpression* reenter = nullptr;  // evaluates "1+1" from inside the call
    bool reenterOnThread = false;    // ... from another thread
    int GetObjectProperty(const char* object, const char* member, int argCount, VARIANT* args,
                          VARIANT* result) override {
        Call call{object, member, {}};
        for (int i = 0; i < argCount; ++i)
            call.args.push_back(V_VT(&args[i]) == VT_I4 ? V_I4(&args[i]) : -1);
        calls.push_back(call);
        if (reenter) {
            auto evaluate = [this] {
                VARIANT inner;
                VariantInit(&inner);
                EXPECT_EQ(reenter->Evaluate("1+1", &inner), S_OK);
                EXPECT_EQ(V_I4(&inner), 2);
            };
            if (reenterOnThread)
                std::thread(evaluate).join();
            else
                evaluate();
        }
        if (strcmp(member, "Empty") == 0)
            return 1;
        if (strcmp(member, "Count") == 0) {
            V_VT(result) = VT_I4;
            V_I4(result) = argCount;
            return 1;
        }
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = BstrFromMultibyte(std::string(object) + "." + member);
        return 1;
    }
};

// An evaluator over three scopes with a few variables:
//   global: g = 100, s = "button1", arr = 2x3 array of I4 (i*10 + j)
//   canvas: c = 20, g = 200 (hides the global g)
//   local:  l = 3
struct Fixture {
    CVarList global, canvas, local;
    VariableManager vm;
    FakeFunctions functions;
    FakeObjects objects;
    CExpression expr;

    Fixture() {
        vm.SetGlobalList(&global);
        vm.SetCanvasList(&canvas);
        vm.SetLocalList(&global);
        vm.Declare("g", VT_I4, "100", -1);
        vm.Declare("s", VT_BSTR, "button1", -1);
        int sizes[2] = {2, 3};
        vm.DeclareArray("arr", VT_I4, sizes, 2, "0");
        for (LONG i = 0; i < 2; ++i)
            for (LONG j = 0; j < 3; ++j) {
                LONG idx[2] = {i, j};
                VARIANT v;
                V_VT(&v) = VT_I4;
                V_I4(&v) = i * 10 + j;
                SafeArrayPutElement(V_ARRAY(global.GetValue(2)), idx, &v);
            }
        vm.SetLocalList(&canvas);
        vm.Declare("c", VT_I4, "20", -1);
        vm.Declare("g", VT_I4, "200", -1);
        vm.SetLocalList(&local);
        vm.Declare("l", VT_I4, "3", -1);
        expr.SetVariables(&vm);
        expr.SetFunctions(&functions);
        expr.SetCommandSender(&objects);
        functions.vars = &vm;
    }

    // Declares a local variable for one test.
    void Local(const char* name, VARTYPE type, const char* text) {
        vm.Declare(name, type, text, -1);
    }
};

struct Value {
    VARIANT v;
    Value() { VariantInit(&v); }
    ~Value() { VariantClear(&v); }
};

enum Kind { K_I4, K_R8, K_BOOL, K_STR };

struct GoodCase {
    const char* text;
    Kind kind;
    double number;
    const wchar_t* str;
};

const GoodCase kGood[] = {
    {"2+3*4", K_I4, 14, nullptr},
    {"2*3+4", K_I4, 10, nullptr},
    {"8-3-2", K_I4, 3, nullptr},
    {"8/4/2", K_I4, 1, nullptr},
    {"7/2", K_I4, 3, nullptr},
    {"7.0/2", K_R8, 3.5, nullptr},
    {"7/2.0", K_R8, 3.5, nullptr},
    {"--3", K_I4, 3, nullptr},
    {"-+-3", K_I4, 3, nullptr},
    {"- - 3", K_I4, 3, nullptr},
    {"3--3", K_I4, 6, nullptr},
    {"!0", K_BOOL, -1, nullptr},
    {"!5", K_BOOL, 0, nullptr},
    {"!!5", K_BOOL, -1, nullptr},
    {"-2*3", K_I4, -6, nullptr},
    {"-(2+3)*2", K_I4, -10, nullptr},
    {"2147483647+1", K_I4, INT_MIN, nullptr},
    {"(0-2147483647-1)/-1", K_I4, INT_MIN, nullptr},
    {"99999999999", K_I4, INT_MAX, nullptr},
    {"1+1==2", K_BOOL, -1, nullptr},
    {"!1==0", K_BOOL, -1, nullptr},  // (!1)==0
    {"1<2&&2<3", K_BOOL, -1, nullptr},
    {"1>2||2>=3", K_BOOL, 0, nullptr},
    {"0||1&&0", K_BOOL, 0, nullptr},   // && binds tighter than ||
    {"1!=1==0", K_BOOL, -1, nullptr},  // one level, left to right
    {"2<=2", K_BOOL, -1, nullptr},
    {".5+.5", K_R8, 1.0, nullptr},
    {".", K_R8, 0.0, nullptr},
    {"  ( ( 1 ) )  ", K_I4, 1, nullptr},
    {"\"ab\"+\"cd\"", K_STR, 0, L"abcd"},
    {"\"a\\\"b\"", K_STR, 0, L"a\"b"},
    {"\"x\\ny\"", K_STR, 0, L"x\ny"},
    {"\"a,b(\"+\")\"", K_STR, 0, L"a,b()"},
    {"\"b\">\"a\"", K_BOOL, -1, nullptr},
    {"g", K_I4, 200, nullptr},  // canvas hides global
    {"c+l", K_I4, 23, nullptr},
    {"-l*2", K_I4, -6, nullptr},
    {"arr[1,2]", K_I4, 12, nullptr},
    {"arr[l-2, l-1]+1", K_I4, 13, nullptr},
    {"arr [0,(1)]", K_I4, 1, nullptr},
    {"f(1,2,3)", K_I4, 6, nullptr},
    {"f()", K_I4, 0, nullptr},
    {"f( )+1", K_I4, 1, nullptr},
    {"f(f(1,2),f(3))*2", K_I4, 12, nullptr},
    {"text()+\"x\"", K_STR, 0, L"tx"},
    {"obj.Caption", K_STR, 0, L"obj.Caption"},
    {"s.Caption", K_STR, 0, L"button1.Caption"},  // string variable names the object
    {"this.Left+\"!\"", K_STR, 0, L"this.Left!"},
    {"obj.Count[1,2,3]", K_I4, 3, nullptr},
    {"obj.Count", K_I4, 0, nullptr},
};

void ExpectValue(const VARIANT& v, const GoodCase& c) {
    switch (c.kind) {
        case K_I4:
            ASSERT_EQ(V_VT(&v), VT_I4) << c.text;
            EXPECT_EQ(V_I4(&v), (LONG)c.number) << c.text;
            break;
        case K_R8:
            ASSERT_EQ(V_VT(&v), VT_R8) << c.text;
            EXPECT_EQ(V_R8(&v), c.number) << c.text;
            break;
        case K_BOOL:
            ASSERT_EQ(V_VT(&v), VT_BOOL) << c.text;
            EXPECT_EQ(V_BOOL(&v), (VARIANT_BOOL)c.number) << c.text;
            break;
        case K_STR:
            ASSERT_EQ(V_VT(&v), VT_BSTR) << c.text;
            EXPECT_EQ(std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))), c.str) << c.text;
            break;
    }
}

TEST(ExprEval, GoodExpressions) {
    Fixture f;
    for (const GoodCase& c : kGood) {
        Value r;
        HRESULT hr = f.expr.Evaluate(c.text, &r.v);
        ASSERT_EQ(hr, S_OK) << c.text;
        ExpectValue(r.v, c);
    }
}

struct BadCase {
    const char* text;
    HRESULT hr;
    const char* message;
};

const BadCase kBad[] = {
    {"\"a\"+1", E_EXPR_OPERATOR, "Incompatible data type to plus"},
    {"1+\"a\"", E_EXPR_OPERATOR, "Incompatible data type to plus"},
    {"\"a\">1", E_EXPR_OPERATOR, "Wrong type!"},
    {"1/0", E_EXPR_OPERATOR, "Divide by 0"},
    {"1.0/0", E_EXPR_OPERATOR, "Divide by 0"},
    {"!1.5", E_EXPR_OPERATOR, "incompatible type to compare"},
    {"-\"a\"+\"b\"", E_FAIL, "Invalid expression: -\"a\"+\"b\""},  // string after a prefix run
    {"1.5.2", E_FAIL, "Invalid expression: 1.5.2"},
    {"12ab", E_FAIL, "Invalid expression: 12ab"},
    {"1" GBK_PIPE, E_FAIL, "Invalid expression"},
    {"=", E_FAIL, "incompatible type to compare"},
    {"&", E_FAIL, "incompatible type to compare"},
    {"1&2", E_FAIL, "incompatible type to compare"},
    {"1|2", E_FAIL, "incompatible type to compare"},
    {"1=2", E_FAIL, "incompatible type to compare"},
    {"", E_FAIL, "Invalid expression: "},
    {"   ", E_FAIL, "Invalid expression"},
    {"()", E_FAIL, "Invalid expression"},
    {"(1", E_FAIL, "Mismatched bracket in \"(1\""},
    {"1)", E_FAIL, "Invalid expression"},
    {"(1]", E_FAIL, "Mismatched bracket"},
    {"\"abc", E_FAIL, "Invalid string in"},
    {"\"abc\\\"", E_FAIL, "Invalid string in"},
    {"1+", E_FAIL, "Invalid expression"},
    {"*1", E_FAIL, "Invalid expression"},
    {"1 2", E_FAIL, "Invalid expression"},
    {"l!1", E_FAIL, "Invalid expression"},
    {"1<>2", E_FAIL, "Invalid expression"},
    {"\"a\"\"b\"", E_FAIL, "Invalid expression"},
    {"f(1)(2)", E_FAIL, "Invalid expression"},
    {"f(1,)", E_FAIL, "Invalid expression"},
    {"f(,1)", E_FAIL, "Invalid expression"},
    {"arr[]", E_FAIL, "Invalid expression"},
    {"arr[1", E_FAIL, "Mismatched bracket"},
    {"1 % 2", E_FAIL, "Invalid expression"},
    {"a,b", E_FAIL, "Invalid expression"},
    {"[1]", E_FAIL, "Invalid expression"},
    {"x", E_FAIL, "Variable 'x' does not exist"},
    {"l+nothing", E_FAIL, "Variable 'nothing' does not exist"},
    {"arr[\"a\",1]", E_FAIL, "Array dimention fault"},
    {"arr[nothing,1]", E_FAIL, "Array dimention fault"},
    {"arr[2,0]", E_FAIL, "Array operation fault"},
    {"arr[0,-1]", E_FAIL, "Array operation fault"},
    {"arr[0]", E_FAIL, "Array operation fault"},
    {"arr[0,0,0]", E_FAIL, "Array operation fault"},
    {"l[0]", E_FAIL, "Array operation fault"},
    {"fail(1)", E_EXPR_CALL, nullptr},
    {"f(\"a\")", E_EXPR_CALL, nullptr},
    {"f(1/0)", E_EXPR_OPERATOR, "Divide by 0"},
    {"obj.Empty", E_FAIL, nullptr},
};

TEST(ExprEval, BadExpressions) {
    Fixture f;
    for (const BadCase& c : kBad) {
        LogCapture log;
        Value r;
        V_VT(&r.v) = VT_I4;  // a value in the result is cleared
        HRESULT hr = f.expr.Evaluate(c.text, &r.v);
        std::string text = log.Text();
        EXPECT_EQ(hr, c.hr) << c.text;
        EXPECT_EQ(V_VT(&r.v), VT_EMPTY) << c.text;
        EXPECT_TRUE(Logged(text, c.message)) << c.text;
    }
    // The evaluator works on after every failure.
    Value r;
    ASSERT_EQ(f.expr.Evaluate("1+1", &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 2);
}

TEST(ExprEval, CallsPassArgumentsLastFirst) {
    Fixture f;
    Value r;
    ASSERT_EQ(f.expr.Evaluate("f(1,2,l)+g(7)", &r.v), S_OK);
    ASSERT_EQ(f.functions.calls.size(), 2u);
    EXPECT_EQ(f.functions.calls[0].name, "f");
    EXPECT_EQ(f.functions.calls[0].args, (std::vector<LONG>{3, 2, 1}));
    EXPECT_EQ(f.functions.calls[1].name, "g");

    ASSERT_EQ(f.expr.Evaluate("obj.Item[4,5]", &r.v), S_OK);
    ASSERT_EQ(f.objects.calls.size(), 1u);
    EXPECT_EQ(f.objects.calls[0].object, "obj");
    EXPECT_EQ(f.objects.calls[0].member, "Item");
    EXPECT_EQ(f.objects.calls[0].args, (std::vector<LONG>{5, 4}));

    // Names may hold more dots; the object name ends at the first.
    ASSERT_EQ(f.expr.Evaluate("a.b.c", &r.v), S_OK);
    EXPECT_EQ(f.objects.calls.back().object, "a");
    EXPECT_EQ(f.objects.calls.back().member, "b.c");

    // Without a function manager or command sender, calls and members fail.
    CExpression bare;
    bare.SetVariables(&f.vm);
    EXPECT_EQ(bare.Evaluate("f(1)", &r.v), E_EXPR_CALL);
    EXPECT_EQ(bare.Evaluate("obj.Caption", &r.v), E_FAIL);

    // Function names are limited to 255 bytes.
    std::string name(256, 'f');
    EXPECT_EQ(f.expr.Evaluate((name + "(1)").c_str(), &r.v), E_EXPR_CALL);
    name.resize(255);
    EXPECT_EQ(f.expr.Evaluate((name + "(1)").c_str(), &r.v), S_OK);
}

TEST(ExprEval, ReentryFromAMemberUsesAFreshEvaluator) {
    Fixture f;
    f.objects.reenter = &f.expr;
    Value r;
    ASSERT_EQ(f.expr.Evaluate("\"<\"+obj.Caption+\">\"", &r.v), S_OK);
    EXPECT_EQ(std::wstring(V_BSTR(&r.v)), L"<obj.Caption>");
}

TEST(ExprEval, GbkNamesAndStrings) {
    if (GetACP() != 936)
        GTEST_SKIP() << "needs code page 936";
    Fixture f;
    f.Local(GBK_PIPE, VT_I4, "1");
    f.Local(GBK_BACKSLASH, VT_I4, "2");
    f.Local("a" GBK_OPEN, VT_I4, "4");
    f.Local(GBK_CLOSE "x", VT_BSTR, GBK_CLOSE);
    int sizes[1] = {3};
    f.vm.DeclareArray(GBK_CLOSE, VT_I4, sizes, 1, "5");
    struct Case {
        const char* text;
        Kind kind;
        double number;
        const wchar_t* str;
    } cases[] = {
        {GBK_PIPE "+" GBK_BACKSLASH, K_I4, 3, nullptr},
        {GBK_PIPE "||" GBK_BACKSLASH, K_BOOL, -1, nullptr},
        {GBK_PIPE " || 0", K_BOOL, -1, nullptr},
        {"a" GBK_OPEN "*" GBK_BACKSLASH, K_I4, 8, nullptr},
        {GBK_CLOSE "[1]+" GBK_PIPE, K_I4, 6, nullptr},
        {GBK_CLOSE "[" GBK_PIPE "]", K_I4, 5, nullptr},
        {"(" GBK_CLOSE "[(" GBK_PIPE ")])", K_I4, 5, nullptr},
        {"f(" GBK_PIPE "," GBK_BACKSLASH ")", K_I4, 3, nullptr},
        {"\"" GBK_BACKSLASH "\"", K_STR, 0, L"\x4E57"},
        {"\"" GBK_BACKSLASH "\"+\"" GBK_PIPE "\"", K_STR, 0, L"\x4E57\x5104"},
        {"\"\\" GBK_BACKSLASH "\"", K_STR, 0, L"\x4E57"},
        {GBK_CLOSE "x+\"" GBK_OPEN "\"", K_STR, 0, L"\x4E5A\x7667"},
        {GBK_CLOSE "x.Caption", K_STR, 0, L"\x4E5A.Caption"},
        {"\"" GBK_PIPE "\"==\"" GBK_PIPE "\"", K_BOOL, -1, nullptr},
    };
    for (const Case& c : cases) {
        Value r;
        ASSERT_EQ(f.expr.Evaluate(c.text, &r.v), S_OK) << c.text;
        ExpectValue(r.v, GoodCase{c.text, c.kind, c.number, c.str});
    }
}

TEST(ExprEval, PostfixForm) {
    Fixture f;
    struct Case {
        const char* text;
        const char* postfix;
    } cases[] = {
        {"2+3*4", "2 3 4 * + "},
        {"8-3-2", "8 3 - 2 - "},
        {"-a*!b", "a ~ b ! * "},
        {"-+-a", "a ~ ~ "},
        {"f(1, x[2] ,\"s\")", "f(1 ,x[2 ] ,\"s\" ) "},
        {"a||b&&c==d+e*f", "a b c d e f * + == && || "},
    };
    // Converted, then found kept: the postfix form is the same.
    for (int round = 0; round < 2; ++round)
        for (const Case& c : cases) {
            Value r;
            f.expr.Evaluate(c.text, &r.v);
            EXPECT_EQ(f.expr.GetPostfix(), c.postfix) << c.text << " round " << round;
        }
    EXPECT_EQ(f.expr.GetConversionCount(), (int)(sizeof(cases) / sizeof(cases[0])));
}

TEST(ExprEval, EvaluateList) {
    Fixture f;
    VARIANT* values = nullptr;
    int count = 0;
    ASSERT_EQ(f.expr.EvaluateList("1 ,l 2 * ,\"a\" ", &values, &count, false), S_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(V_I4(&values[0]), 1);
    EXPECT_EQ(V_I4(&values[1]), 6);
    EXPECT_EQ(V_VT(&values[2]), VT_BSTR);
    for (int i = 0; i < count; ++i) VariantClear(&values[i]);
    delete[] values;

    ASSERT_EQ(f.expr.EvaluateList("1 ,2 ,3 ", &values, &count, true), S_OK);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(V_I4(&values[0]), 3);
    EXPECT_EQ(V_I4(&values[2]), 1);
    delete[] values;

    ASSERT_EQ(f.expr.EvaluateList("", &values, &count, true), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(values, nullptr);
    EXPECT_EQ(f.expr.EvaluateList("1 , ", &values, &count, true), E_EXPR_EMPTY);
    EXPECT_EQ(f.expr.EvaluateList("1 2 ", &values, &count, true), E_FAIL);
    EXPECT_EQ(f.expr.EvaluateList("+ ", &values, &count, true), E_FAIL);
    EXPECT_EQ(count, 0);
}

TEST(ExprEval, WorkBlockGrowsOnly) {
    Fixture f;
    Value r;
    EXPECT_EQ(f.expr.GetCapacity(), 0);
    ASSERT_EQ(f.expr.Evaluate("1", &r.v), S_OK);
    EXPECT_EQ(f.expr.GetCapacity(), 512);
    std::string text = "1";
    while (text.size() < 600) text += "+1";
    text.resize(599);  // ends in "1" or "+": keep it an expression
    if (text.back() == '+')
        text += "1";
    else
        text += " ";
    ASSERT_EQ(text.size(), 600u);
    ASSERT_EQ(f.expr.Evaluate(text.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 300);
    EXPECT_EQ(f.expr.GetCapacity(), 601);
    ASSERT_EQ(f.expr.Evaluate("2", &r.v), S_OK);
    EXPECT_EQ(f.expr.GetCapacity(), 601);
}

TEST(ExprEval, DeepAndLongExpressionsFailOrSucceedCleanly) {
    Fixture f;
    Value r;
    // 255 nested groups are allowed, 256 are not.
    std::string ok = std::string(255, '(') + "7" + std::string(255, ')');
    ASSERT_EQ(f.expr.Evaluate(ok.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 7);
    std::string deep = std::string(256, '(') + "7" + std::string(256, ')');
    {
        LogCapture log;
        EXPECT_EQ(f.expr.Evaluate(deep.c_str(), &r.v), E_FAIL);
        std::string text = log.Text();
        EXPECT_TRUE(Logged(text, "Too deep bracket in"));
    }
    std::string huge = std::string(200000, '(') + "7" + std::string(200000, ')');
    EXPECT_EQ(f.expr.Evaluate(huge.c_str(), &r.v), E_FAIL);
    std::string open(200000, '(');
    EXPECT_EQ(f.expr.Evaluate(open.c_str(), &r.v), E_FAIL);
    std::string strings(100000, '"');
    EXPECT_EQ(f.expr.Evaluate(strings.c_str(), &r.v), E_FAIL);

    // The deepest the splitter can go: 255 groups, each holding every
    // operator level; and 254 nested calls, each a level of the evaluation.
    std::string levels = "7";
    for (int i = 0; i < 255; ++i) levels = "1||1&&1==1+1*(" + levels + ")";
    ASSERT_EQ(f.expr.Evaluate(levels.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_BOOL(&r.v), -1);
    std::string callLevels = "7";
    for (int i = 0; i < 254; ++i) callLevels = "f(1+1*" + callLevels + ")";
    ASSERT_EQ(f.expr.Evaluate(callLevels.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 7 + 254);

    // Nested calls, each a level of the splitter and of the evaluation.
    std::string calls;
    for (int i = 0; i < 200; ++i) calls += "f(";
    calls += "1";
    for (int i = 0; i < 200; ++i) calls += ",1)";
    ASSERT_EQ(f.expr.Evaluate(calls.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 201);

    // Long chains stay flat: one level of the splitter however long.
    std::string sum = "1";
    for (int i = 0; i < 100000; ++i) sum += "+1";
    ASSERT_EQ(f.expr.Evaluate(sum.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 100001);
    std::string mixed = "1";
    for (int i = 0; i < 50000; ++i) mixed += (i % 2) ? "*1" : "-1+2";
    ASSERT_EQ(f.expr.Evaluate(mixed.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 25001);
    std::string negations = std::string(100001, '-') + "5";
    ASSERT_EQ(f.expr.Evaluate(negations.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), -5);
    std::string nots = std::string(100000, '!') + "5";
    ASSERT_EQ(f.expr.Evaluate(nots.c_str(), &r.v), S_OK);
    EXPECT_EQ(V_BOOL(&r.v), -1);
    std::string text = "\"" + std::string(300000, 'x') + "\"+\"y\"";
    ASSERT_EQ(f.expr.Evaluate(text.c_str(), &r.v), S_OK);
    EXPECT_EQ(SysStringLen(V_BSTR(&r.v)), 300001u);
}

// Random expressions over integers with the fewest brackets precedence
// allows, checked against a plain tree evaluator with the same rules.
struct Node {
    int op;  // 0 literal, 1 negate, 2 not, else the binary operator index + 3
    LONG value;
    int left = -1, right = -1;
};

const char* const kBinary[] = {"*", "/", "+", "-", ">", "<", ">=", "<=", "==", "!=", "&&", "||"};
const int kPrec[] = {100, 100, 90, 90, 80, 80, 80, 80, 80, 80, 70, 60};

struct RandomExpr {
    std::vector<Node> nodes;
    std::mt19937& rng;
    explicit RandomExpr(std::mt19937& r) : rng(r) {}

    int Make(int depth) {
        Node n;
        int pick = depth <= 0 ? 0 : (int)(rng() % 8);
        if (pick == 0 || pick == 1) {
            n.op = 0;
            n.value = (LONG)(rng() % 3 == 0 ? rng() : rng() % 10);
            if (n.value < 0)
                n.value = -(n.value + 1);
        } else if (pick == 2) {
            n.op = 1 + (int)(rng() % 2);
            n.left = Make(depth - 1);
        } else {
            n.op = 3 + (int)(rng() % 12);
            n.left = Make(depth - 1);
            n.right = Make(depth - 1);
        }
        nodes.push_back(n);
        return (int)nodes.size() - 1;
    }

    int Prec(int i) const { return nodes[i].op >= 3 ? kPrec[nodes[i].op - 3] : 1000; }

    std::string Print(int i) const {
        const Node& n = nodes[i];
        if (n.op == 0)
            return std::to_string(n.value);
        if (n.op <= 2) {
            std::string inner = Print(n.left);
            if (Prec(n.left) < 1000)
                inner = "(" + inner + ")";
            return (n.op == 1 ? "-" : "!") + inner;
        }
        int p = Prec(i);
        std::string l = Print(n.left), r = Print(n.right);
        if (Prec(n.left) < p)
            l = "(" + l + ")";
        if (Prec(n.right) <= p)
            r = "(" + r + ")";
        return l + kBinary[n.op - 3] + r;
    }

    // Value as a 32-bit integer and whether it is a boolean; false when
    // the expression fails (division by zero).
    bool Eval(int i, LONG& v, bool& isBool) const {
        const Node& n = nodes[i];
        if (n.op == 0) {
            v = n.value;
            isBool = false;
            return true;
        }
        LONG a, b = 0;
        bool ba, bb;
        if (!Eval(n.left, a, ba))
            return false;
        if (n.op >= 3 && !Eval(n.right, b, bb))
            return false;
        uint32_t ua = (uint32_t)a, ub = (uint32_t)b;
        isBool = n.op >= 3 + 4 || n.op == 2;
        switch (n.op) {
            case 1:
                v = (LONG)(0u - ua);
                isBool = false;
                return true;
            case 2:
                v = a == 0 ? -1 : 0;
                return true;
            case 3:
                v = (LONG)(ua * ub);
                return true;
            case 4:
                if (b == 0)
                    return false;
                v = b == -1 ? (LONG)(0u - ua) : a / b;
                return true;
            case 5:
                v = (LONG)(ua + ub);
                return true;
            case 6:
                v = (LONG)(ua - ub);
                return true;
            case 7:
                v = a > b ? -1 : 0;
                return true;
            case 8:
                v = a < b ? -1 : 0;
                return true;
            case 9:
                v = a >= b ? -1 : 0;
                return true;
            case 10:
                v = a <= b ? -1 : 0;
                return true;
            case 11:
                v = a == b ? -1 : 0;
                return true;
            case 12:
                v = a != b ? -1 : 0;
                return true;
            case 13:
                v = (a && b) ? -1 : 0;
                return true;
            default:
                v = (a || b) ? -1 : 0;
                return true;
        }
    }
};

// Evaluates 3,000 random expressions, each the given number of times, and
// checks every result against the tree evaluator.
void CheckRandomExpressions(int times) {
    Fixture f;
    std::mt19937 rng(1234567);
    int failures = 0;
    for (int i = 0; i < 3000; ++i) {
        RandomExpr e(rng);
        int root = e.Make(1 + (int)(rng() % 5));
        std::string text = e.Print(root);
        LONG want;
        bool isBool;
        bool ok = e.Eval(root, want, isBool);
        int conversions = 0;
        for (int n = 0; n < times; ++n) {
            Value r;
            HRESULT hr = f.expr.Evaluate(text.c_str(), &r.v);
            // Scanned and split the first time at most, however often evaluated.
            if (n == 0)
                conversions = f.expr.GetConversionCount();
            EXPECT_EQ(f.expr.GetConversionCount(), conversions) << text;
            if (!ok) {
                EXPECT_EQ(hr, E_EXPR_OPERATOR) << text;
                ++failures;
                continue;
            }
            ASSERT_EQ(hr, S_OK) << text << " evaluation " << n;
            if (isBool) {
                ASSERT_EQ(V_VT(&r.v), VT_BOOL) << text;
                EXPECT_EQ(V_BOOL(&r.v), (VARIANT_BOOL)want) << text;
            } else {
                ASSERT_EQ(V_VT(&r.v), VT_I4) << text;
                EXPECT_EQ(V_I4(&r.v), want) << text;
            }
        }
    }
    EXPECT_GT(failures, 0);  // division by zero came up
}

TEST(ExprEval, RandomExpressionsMatchATreeEvaluator) {
    CheckRandomExpressions(1);
}

TEST(ExprEval, RandomExpressionsEvaluatedTwiceMatchATreeEvaluator) {
    CheckRandomExpressions(2);
}

}  // namespace

namespace {

// Random texts from the bytes the scanner cares about, GBK lead and trail
// bytes among them: every one must end in a result or a clean failure.
TEST(ExprEval, RandomTextsNeverBreakTheEvaluator) {
    Fixture f;
    static const char alphabet[] =
        "0123456789.l_fgarr()[],\"\\ +-*/<>=!&|%\x81\x83\xB0\x5B\x5D\x7C\xFE";
    std::mt19937 rng(99);
    int succeeded = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = (int)(rng() % 24); n > 0; --n)
            text += alphabet[rng() % (sizeof(alphabet) - 1)];
        Value r;
        HRESULT hr = f.expr.Evaluate(text.c_str(), &r.v);
        if (SUCCEEDED(hr)) {
            ++succeeded;
            EXPECT_NE(V_VT(&r.v), VT_EMPTY) << text;
        } else {
            EXPECT_EQ(V_VT(&r.v), VT_EMPTY) << text;
        }
    }
    EXPECT_GT(succeeded, 100);
}

}  // namespace

namespace {

// One evaluation as the caller sees it.
struct Outcome {
    HRESULT hr;
    VARTYPE vt;
    std::string value;  // the bytes of the value (a string's characters)
    std::string postfix;
    bool operator==(const Outcome& o) const {
        return hr == o.hr && vt == o.vt && value == o.value && postfix == o.postfix;
    }
};

std::string ValueBytes(const VARIANT& v) {
    switch (V_VT(&v)) {
        case VT_BSTR:
            return V_BSTR(&v) ? std::string(reinterpret_cast<const char*>(V_BSTR(&v)),
                                            SysStringByteLen(V_BSTR(&v)))
                              : std::string("(null)");
        case VT_I4:
            return std::string(reinterpret_cast<const char*>(&V_I4(&v)), sizeof(LONG));
        case VT_R8:
            return std::string(reinterpret_cast<const char*>(&V_R8(&v)), sizeof(double));
        case VT_BOOL:
            return std::string(reinterpret_cast<const char*>(&V_BOOL(&v)), sizeof(VARIANT_BOOL));
        case VT_EMPTY:
            return std::string();
        default:
            return "(other)";
    }
}

Outcome EvaluateOnce(Fixture& f, const std::string& text) {
    Value r;
    V_VT(&r.v) = VT_I4;  // a value in the result is cleared
    Outcome o;
    o.hr = f.expr.Evaluate(text.c_str(), &r.v);
    o.vt = V_VT(&r.v);
    o.value = ValueBytes(r.v);
    o.postfix = f.expr.GetPostfix();
    return o;
}

// Operands of every kind the evaluator knows, failing ones among them.
const char* const kOperands[] = {
    "1",
    "07",
    "2.5",
    ".5",
    "0",
    "l",
    "g",
    "c",
    "s",
    "\"ab\"",
    "\"\"",
    "\"a\\\"b\"",
    "arr[1,2]",
    "arr[l-3,(0)]",
    "arr[0]",
    "arr[\"a\",1]",
    "f(1,2)",
    "f()",
    "f(l,f(2))",
    "text()",
    "fail(1)",
    "obj.Caption",
    "s.Count[1,l]",
    "obj.Empty",
    "this.Left",
    "nothing",
    "reassign()",
    "(1+l)",
    "99999999999",
    "text(reassign())",
};
const char* const kOperators[] = {"+", "-", "*", "/", "==", "!=", "<", ">", "<=", ">=", "&&", "||"};

std::string RandomText(std::mt19937& rng) {
    std::string text;
    const int n = 1 + (int)(rng() % 4);
    for (int i = 0; i < n; ++i) {
        if (i)
            text += kOperators[rng() % (sizeof(kOperators) / sizeof(kOperators[0]))];
        if (rng() % 5 == 0)
            text += rng() % 2 ? "-" : "!";
        text += kOperands[rng() % (sizeof(kOperands) / sizeof(kOperands[0]))];
    }
    if (rng() % 6 == 0)
        text = "(" + text + ")*2";
    if (rng() % 15 == 0)
        text += ")";  // a syntax error now and then
    return text;
}

// The same texts through an evaluator that keeps their forms and one that
// converts every time: codes, values, postfix forms, log texts and the calls
// made of the function manager and the command sender agree.
TEST(ExprEval, KeptFormsAgreeWithThePlainPathByteForByte) {
    Fixture plain, kept;
    plain.expr.SetKeepForms(false);
    kept.expr.SetCacheLimits(4096, 16 << 20);  // room for every text
    std::vector<std::string> texts;
    for (const GoodCase& c : kGood) texts.push_back(c.text);
    for (const BadCase& c : kBad) texts.push_back(c.text);
    std::mt19937 rng(2024);
    for (int i = 0; i < 1500; ++i) texts.push_back(RandomText(rng));

    // Each text twice in a row, then all once more: found by the last-text
    // check, then through the index.
    auto runAll = [&](Fixture& f, std::vector<Outcome>& outcomes) {
        LogCapture log;
        for (const std::string& t : texts) {
            outcomes.push_back(EvaluateOnce(f, t));
            outcomes.push_back(EvaluateOnce(f, t));
        }
        for (const std::string& t : texts) outcomes.push_back(EvaluateOnce(f, t));
        // Without the header, which names the file and the time.
        const std::string text = log.Text();
        const size_t body = text.find("start at:");
        return body == std::string::npos ? text : text.substr(text.find('\n', body));
    };
    std::vector<Outcome> expected, actual;
    const std::string plainLog = runAll(plain, expected);
    const std::string keptLog = runAll(kept, actual);

    ASSERT_EQ(expected.size(), actual.size());
    int succeeded = 0;
    // A text is converted once; one that does not convert, every time.
    std::set<std::string> converted;
    int failedConversions = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string& text = texts[i < 2 * texts.size() ? i / 2 : i - 2 * texts.size()];
        EXPECT_TRUE(expected[i] == actual[i])
            << text << ": 0x" << std::hex << expected[i].hr << " / 0x" << actual[i].hr;
        succeeded += SUCCEEDED(expected[i].hr);
        if (expected[i].postfix.empty())
            ++failedConversions;
        else
            converted.insert(text);
    }
    EXPECT_GT(succeeded, 1000);
    EXPECT_EQ(plainLog, keptLog);
    ASSERT_EQ(plain.functions.calls.size(), kept.functions.calls.size());
    for (size_t i = 0; i < plain.functions.calls.size(); ++i) {
        EXPECT_EQ(plain.functions.calls[i].name, kept.functions.calls[i].name);
        EXPECT_EQ(plain.functions.calls[i].args, kept.functions.calls[i].args);
    }
    ASSERT_EQ(plain.objects.calls.size(), kept.objects.calls.size());
    for (size_t i = 0; i < plain.objects.calls.size(); ++i) {
        EXPECT_EQ(plain.objects.calls[i].object, kept.objects.calls[i].object);
        EXPECT_EQ(plain.objects.calls[i].member, kept.objects.calls[i].member);
        EXPECT_EQ(plain.objects.calls[i].args, kept.objects.calls[i].args);
    }
    EXPECT_EQ(plain.expr.GetConversionCount(), (int)expected.size());
    EXPECT_EQ(kept.expr.GetConversionCount(), (int)converted.size() + failedConversions);
    EXPECT_GT(failedConversions, 100);
}

TEST(ExprEval, KeptFormsReadVariablesOnEveryEvaluation) {
    Fixture f;
    auto number = [&](const char* text) {
        Value r;
        EXPECT_EQ(f.expr.Evaluate(text, &r.v), S_OK) << text;
        return V_VT(&r.v) == VT_I4 ? (long)V_I4(&r.v) : -999L;
    };
    auto text = [&](const char* expression) {
        Value r;
        EXPECT_EQ(f.expr.Evaluate(expression, &r.v), S_OK) << expression;
        return V_VT(&r.v) == VT_BSTR ? std::wstring(V_BSTR(&r.v)) : std::wstring(L"?");
    };
    auto set = [&](const char* name, VARIANT value) {
        ASSERT_TRUE(f.vm.SetValue(f.vm.Find(name), value));
        VariantClear(&value);
    };
    VARIANT v;

    EXPECT_EQ(number("g*2"), 400);
    V_VT(&v) = VT_I4;
    V_I4(&v) = 7;
    set("g", v);
    EXPECT_EQ(number("g*2"), 14);
    f.Local("g", VT_I4, "1");  // a local now hides the canvas variable
    EXPECT_EQ(number("g*2"), 2);

    EXPECT_EQ(text("s+\"!\""), L"button1!");
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"x");
    set("s", v);
    EXPECT_EQ(text("s+\"!\""), L"x!");
    EXPECT_EQ(text("s"), L"x");
    EXPECT_EQ(text("s"), L"x");  // the result was the caller's own copy

    {
        LogCapture log;
        Value r;
        EXPECT_EQ(f.expr.Evaluate("zz+1", &r.v), E_FAIL);
        EXPECT_EQ(f.expr.Evaluate("zz+1", &r.v), E_FAIL);
        EXPECT_EQ(f.expr.Evaluate("1/0", &r.v), E_EXPR_OPERATOR);
        std::string logged = log.Text();
        EXPECT_TRUE(Logged(logged, "Variable 'zz' does not exist"));
        // Logged again by the second evaluation.
        EXPECT_TRUE(Logged(logged, "Last message repeated by 1 time(s)"));
    }
    f.Local("zz", VT_I4, "5");
    EXPECT_EQ(number("zz+1"), 6);

    EXPECT_EQ(number("arr[1,2]"), 12);
    LONG index[2] = {1, 2};
    V_VT(&v) = VT_I4;
    V_I4(&v) = 40;
    ASSERT_EQ(SafeArrayPutElement(V_ARRAY(f.global.GetValue(2)), index, &v), S_OK);
    EXPECT_EQ(number("arr[1,2]"), 40);

    EXPECT_EQ(f.expr.GetConversionCount(), 6);  // g*2, s+"!", s, zz+1, 1/0, arr[1,2]
}

// A string variable read before a call that assigns it keeps the value it
// had when it was read, as when every value was copied at once.
TEST(ExprEval, AStringReadBeforeACallThatAssignsItKeepsItsValue) {
    Fixture f;
    Value r;
    ASSERT_EQ(f.expr.Evaluate("s+text(reassign())", &r.v), S_OK);
    EXPECT_EQ(std::wstring(V_BSTR(&r.v)), L"button1t");
    ASSERT_EQ(f.expr.Evaluate("s+text(reassign())", &r.v), S_OK);
    EXPECT_EQ(std::wstring(V_BSTR(&r.v)), L"changedt");
}

TEST(ExprEval, KeptFormsAreBounded) {
    Fixture f;
    f.expr.SetCacheLimits(16, 1 << 20);
    ASSERT_NE(f.expr.GetCache(), nullptr);
    for (int i = 0; i < 100; ++i) {
        Value r;
        ASSERT_EQ(f.expr.Evaluate((std::to_string(i) + "+l").c_str(), &r.v), S_OK);
        EXPECT_EQ(V_I4(&r.v), i + 3);
        EXPECT_LE(f.expr.GetCache()->Count(), 16u);
    }
    EXPECT_EQ(f.expr.GetConversionCount(), 100);
    // The oldest went first: the last sixteen are kept, the first is not.
    Value r;
    ASSERT_EQ(f.expr.Evaluate("99+l", &r.v), S_OK);
    EXPECT_EQ(f.expr.GetConversionCount(), 100);
    ASSERT_EQ(f.expr.Evaluate("84+l", &r.v), S_OK);
    EXPECT_EQ(f.expr.GetConversionCount(), 100);
    ASSERT_EQ(f.expr.Evaluate("0+l", &r.v), S_OK);
    EXPECT_EQ(V_I4(&r.v), 3);
    EXPECT_EQ(f.expr.GetConversionCount(), 101);

    // The byte budget holds too.
    f.expr.SetCacheLimits(1000, 8192);
    for (int i = 0; i < 200; ++i) {
        std::string text = "\"" + std::string(200, 'a') + std::to_string(i) + "\"";
        ASSERT_EQ(f.expr.Evaluate(text.c_str(), &r.v), S_OK);
        EXPECT_LE(f.expr.GetCache()->Bytes(), 8192u);
    }
    EXPECT_GT(f.expr.GetCache()->Count(), 0u);
    EXPECT_LT(f.expr.GetCache()->Count(), 200u);

    // A text longer than any kept one is converted every time.
    std::string longText = "1";
    while (longText.size() <= (size_t)CExprCache::MAX_TEXT) longText += "+1";
    const size_t count = f.expr.GetCache()->Count();
    const int conversions = f.expr.GetConversionCount();
    for (int n = 0; n < 2; ++n) {
        ASSERT_EQ(f.expr.Evaluate(longText.c_str(), &r.v), S_OK);
        EXPECT_EQ(V_I4(&r.v), (LONG)(longText.size() + 1) / 2);
    }
    EXPECT_EQ(f.expr.GetCache()->Count(), count);
    EXPECT_EQ(f.expr.GetConversionCount(), conversions + 2);
}

// An evaluation called from another thread while one runs keeps nothing:
// the kept forms are not shared across threads.
TEST(ExprEval, AnEvaluationFromAnotherThreadMeanwhileKeepsNothing) {
    Fixture f;
    f.objects.reenter = &f.expr;
    f.objects.reenterOnThread = true;
    for (int n = 0; n < 2; ++n) {
        Value r;
        ASSERT_EQ(f.expr.Evaluate("obj.Caption+\"!\"", &r.v), S_OK);
        EXPECT_EQ(std::wstring(V_BSTR(&r.v)), L"obj.Caption!");
        EXPECT_EQ(f.expr.GetCache()->Count(), 1u);  // the outer text only
    }
    // On the evaluator's own thread the nested text is kept.
    f.objects.reenterOnThread = false;
    Value r;
    ASSERT_EQ(f.expr.Evaluate("obj.Caption+\"!\"", &r.v), S_OK);
    EXPECT_EQ(f.expr.GetCache()->Count(), 2u);
}

// A nested evaluation shares the kept forms and may drop the one that is
// running; the running one lives on until its evaluation ends.
TEST(ExprEval, ANestedEvaluationMayDropTheRunningForm) {
    Fixture f;
    f.expr.SetCacheLimits(1, 1 << 20);
    f.objects.reenter = &f.expr;
    for (int n = 0; n < 3; ++n) {
        Value r;
        ASSERT_EQ(f.expr.Evaluate("\"<\"+obj.Caption+\">\"+text()", &r.v), S_OK);
        EXPECT_EQ(std::wstring(V_BSTR(&r.v)), L"<obj.Caption>t");
        EXPECT_EQ(f.expr.GetCache()->Count(), 1u);
    }
}

}  // namespace

namespace {

// The evaluator computes two numbers or truth values itself: every
// operator on seeded random pairs of integers, doubles and booleans, with
// extremes, infinities, NaN and -0 among them, gives what the operator
// function gives.
TEST(ExprEval, ScalarPairsMatchTheOperatorFunctions) {
    Fixture f;
    const char* const names[2][3] = {{"xi", "xr", "xb"}, {"yi", "yr", "yb"}};
    const VARTYPE types[3] = {VT_I4, VT_R8, VT_BOOL};
    for (int side = 0; side < 2; ++side)
        for (int t = 0; t < 3; ++t) f.Local(names[side][t], types[t], "0");
    typedef bool (*Binary)(const VARIANT&, const VARIANT&, VARIANT&);
    const struct {
        const char* symbol;
        Binary op;
    } ops[] = {
        {"*", ExprOp::VarMultiply},      {"/", ExprOp::VarDivide},     {"+", ExprOp::VarPlus},
        {"-", ExprOp::VarMinus},         {">", ExprOp::VarGreater},    {"<", ExprOp::VarLess},
        {">=", ExprOp::VarGreaterEqual}, {"<=", ExprOp::VarLessEqual}, {"==", ExprOp::VarEqual},
        {"!=", ExprOp::VarNotEqual},     {"&&", ExprOp::VarAnd},       {"||", ExprOp::VarOr},
    };
    const LONG integers[] = {0, 1, -1, 2, INT_MAX, INT_MIN, INT_MIN + 1, 65536, -65536};
    const double reals[] = {0.0, -0.0, 1.0, -1.5, 2.0, 1e300, -1e300, HUGE_VAL, -HUGE_VAL, NAN};
    std::mt19937 rng(31);
    auto randomValue = [&](int t, int n) {
        VARIANT v;
        V_VT(&v) = types[t];
        if (t == 0)
            V_I4(&v) = n < 40 ? integers[rng() % 9] : (LONG)rng();
        else if (t == 1)
            V_R8(&v) = n < 40 ? reals[rng() % 10] : ((double)(LONG)rng()) / (1 + rng() % 1000);
        else
            V_BOOL(&v) = rng() % 2 ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    };
    int compared = 0;
    for (int n = 0; n < 200; ++n) {
        for (int lt = 0; lt < 3; ++lt)
            for (int rt = 0; rt < 3; ++rt) {
                const VARIANT a = randomValue(lt, n), b = randomValue(rt, n);
                ASSERT_TRUE(f.vm.SetValue(f.vm.Find(names[0][lt]), a));
                ASSERT_TRUE(f.vm.SetValue(f.vm.Find(names[1][rt]), b));
                for (const auto& op : ops) {
                    const std::string text = std::string(names[0][lt]) + op.symbol + names[1][rt];
                    Value want;
                    VARIANT ca = a, cb = b;
                    const bool ok = op.op(ca, cb, want.v);
                    Value got;
                    const HRESULT hr = f.expr.Evaluate(text.c_str(), &got.v);
                    ASSERT_EQ(hr, ok ? S_OK : E_EXPR_OPERATOR) << text << " round " << n;
                    if (!ok)
                        continue;
                    ASSERT_EQ(V_VT(&got.v), V_VT(&want.v)) << text << " round " << n;
                    EXPECT_EQ(ValueBytes(got.v), ValueBytes(want.v)) << text << " round " << n;
                    ++compared;
                }
            }
    }
    EXPECT_GT(compared, 15000);
}

}  // namespace
