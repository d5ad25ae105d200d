// Function manager and the built-in libraries: every function through the
// evaluator with the edge cases of its table, count and type checks, the
// system functions against a fake host and database.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "FuncTestUtil.h"
#include "TestFiles.h"
#include "aExprEval.h"
#include "aFuncMgr.h"
#include "aGrdObj.h"
#include "bDBCore.h"
#include "bStrConv.h"
#include "bVarMgr.h"

namespace {

struct FakeHost : ISystemFuncHost {
    bool hasPage = true;
    IDBCore* db = nullptr;
    bool GetCurrentPageText(bool title, std::string& out) override {
        out = title ? "Title of Home" : "Home";
        return hasPage;
    }
    DWORD GetPageClock() override { return 1234; }
    std::string GetRuntimePath() override { return "C:\\works\\demo\\demo.mvr"; }
    bool IsAutoPlay() override { return true; }
    bool GetObjectState(const char* name, int* state, bool* visible) override {
        if (strcmp(name, "shown") == 0) {
            *state = 2;
            *visible = true;
            return true;
        }
        if (strcmp(name, "idle") == 0) {
            *state = 0;
            *visible = false;
            return true;
        }
        return false;
    }
    // The page's objects by name ("grid" when a test gives one).
    bool QueryPageObject(const char* name, REFIID iid, void** out) override {
        return strcmp(name, "grid") == 0 && grid && SUCCEEDED(grid->QueryInterface(iid, out));
    }
    IUnknown* grid = nullptr;
    bool IsPageVisited(const char* page) override { return strcmp(page, "Home") == 0; }
    HRESULT IsSysSoundEnabled(bool*) override { return E_FAIL; }
    HRESULT GetRecorderState(LONG* s) override {
        *s = 3;
        return S_OK;
    }
    IDBCore* GetDatabase() override { return db; }
    std::string GetProjectText(int which) override {
        static const char* const t[4] = {"creator", "organisation", "keywords", "description"};
        return t[which];
    }
    bool GetMediaFileName(const char* name, bool external, std::string& out) override {
        out = std::string(external ? "ext:" : "media:") + name;
        return true;
    }
    HWND GetPlayerWindow() override { return nullptr; }
};

class FunctionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mgr.LoadLibraries(FuncLibPath().c_str()));
        mgr.SetSystemHost(&host);
        vars.SetGlobalList(&globals);
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = -7;
        globals.Insert(-1, "i", v, v);
        expr.SetVariables(&vars);
        expr.SetFunctions(&mgr);
    }
    // The value as text ("I4:3", "R8:3.5", "S:text", "BOOL:-1"), or "FAIL".
    std::string Eval(const char* text) {
        VARIANT v;
        VariantInit(&v);
        if (FAILED(expr.Evaluate(text, &v)))
            return "FAIL";
        std::string s = VariantText(v);
        VariantClear(&v);
        return s;
    }

    CFunctionManager mgr;
    FakeHost host;
    CVarList globals;
    VariableManager vars;
    CExpression expr;
};

TEST_F(FunctionTest, LibrariesInOrderWithTheirFunctions) {
    ASSERT_EQ(3, mgr.GetLibraryCount());
    // The dual interfaces' information counts IDispatch's seven too.
    EXPECT_EQ(7 + 20, mgr.GetFunctionCount(0));
    EXPECT_EQ(7 + 12, mgr.GetFunctionCount(1));
    EXPECT_EQ(7 + 40, mgr.GetFunctionCount(2));
}

struct Case {
    const char* expr;
    const char* want;
};

TEST_F(FunctionTest, BuiltInTable) {
    const Case cases[] = {
        // math
        {"abs(-5)", "I4:5"},
        {"abs(i)", "I4:7"},
        {"abs(2.7)", "I4:3"},  // converted to the declared int (banker's 3)
        {"acos(1)", "R8:0"},
        {"acos(2)", "FAIL"},
        {"asin(-1.5)", "FAIL"},
        {"atan2(1, 1)", "R8:0.785398"},
        {"fmod(7, 3)", "R8:1"},
        {"pow(2, 10)", "R8:1024"},
        {"exp(0)", "R8:1"},
        {"log(0)", "FAIL"},
        {"log10(0)", "FAIL"},
        {"log10(1000)", "R8:3"},
        {"sqrt(0)", "FAIL"},
        {"sqrt(-4)", "FAIL"},
        {"sqrt(16)", "R8:4"},
        {"round(2.5)", "I4:3"},
        {"round(-2.5)", "I4:-3"},
        {"round(2.4)", "I4:2"},
        {"round(-0.4)", "I4:0"},
        {"round(3000000000.0)", "FAIL"},  // outside 32 bits
        {"round(-2147483648.0)", "I4:-2147483648"},
        // general
        {"atoi(\"42abc\")", "I4:42"},
        {"atof(\"2.5\")", "R8:2.5"},
        {"itoa(255, 16)", "S:FF"},
        {"itoa(5, 1)", "S:101"},
        {"itoa(35, 99)", "S:Z"},
        {"itoa(-10, 10)", "S:-10"},
        {"ftoa(3.14159, 2)", "S:3.14"},
        {"ftoa(0, 2)", "S:0"},
        {"ftoa(12345678901.0, 3)", "S:1.235e+10"},
        {"ftoa(2.5, -4)", "S:2"},
        {"ftoa(1.5, 40)", "S:1.50000000000000000000000000000000"},
        {"GetMiddleOfString(\"abcde\", 3, 10)", "S:de"},
        {"GetMiddleOfString(\"abcde\", -2, 2)", "S:ab"},
        {"GetMiddleOfString(\"abcde\", 1, -1)", "S:"},
        {"GetMiddleOfString(\"abcde\", 9, 1)", "S:"},
        {"GetLeftOfString(\"abcde\", 2)", "S:ab"},
        {"GetRightOfString(\"abcde\", 2)", "S:de"},
        {"GetRightOfString(\"abcde\", 9)", "S:abcde"},
        {"FindStringInString(\"abcde\", \"cd\")", "I4:2"},
        {"FindStringInString(\"abcde\", \"x\")", "I4:-1"},
        {"GetStringLength(\"abc\")", "I4:3"},
        {"StringToUpper(\"aBc\")", "S:ABC"},
        {"StringToLower(\"aBc\")", "S:abc"},
        {"GetRGB(1, 2, 3)", "I4:197121"},
        {"GetRGB(256, 0, 0)", "I4:0"},
        // system
        {"GetCurrentTopicName()", "S:Home"},
        {"GetCurrentTopicTitle()", "S:Title of Home"},
        {"GetExeName()", "S:C:\\works\\demo\\demo.mvr"},
        {"GetMediaRootDirectory()", "S:C:\\works\\demo"},
        {"GetTopicTime()", "I4:1234"},
        {"IsAutoPlay()", "I4:1"},
        {"IsObjActive(\"shown\")", "I4:1"},
        {"IsObjActive(\"idle\")", "I4:0"},
        {"IsObjActive(\"none\")", "FAIL"},
        {"IsObjVisible(\"shown\")", "I4:1"},
        {"IsObjVisible(\"none\")", "FAIL"},
        {"IsPageVisited(\"Home\")", "I4:1"},
        {"IsPageVisited(\"Part2\")", "I4:0"},
        {"IsSysSoundEnabled()", "FAIL"},
        {"GetRecorderState()", "I4:3"},
        {"IsDatabaseEnabled()", "I4:0"},
        {"GetDBTableRecordCount(\"t\")", "FAIL"},
        {"GetMavroName()", "S:creator"},
        {"GetMavroCompany()", "S:organisation"},
        {"GetPrjKeyword()", "S:keywords"},
        {"GetPrjDescription()", "S:description"},
        {"GetMediaFileName(\"m\")", "S:media:m"},
        {"GetExternalFileName(\"e\")", "S:ext:e"},
        {"GridObjRowHitTest(\"g\", 5)", "I4:-1"},
        {"GridObjColHitTest(\"g\", 5)", "I4:-1"},
        {"DrawBoardObjHitTest(\"d\", 1, 2)", "I4:-1"},
        {"GetFormatedTime(\"%Y\") > \"1999\"", "BOOL:-1"},
        {"GetTickCount() > 0", "BOOL:-1"},
        {"rand() >= 0 && rand() <= 32767", "BOOL:-1"},
        // conversion to the declared types
        {"abs(\"12\")", "I4:12"},
        {"abs(\"x\")", "FAIL"},
        {"GetStringLength(12345)", "I4:5"},
    };
    // Direct calls and calls through the type information answer alike.
    for (bool direct : {true, false}) {
        mgr.SetDirectCalls(direct);
        for (const Case& c : cases)
            EXPECT_EQ(c.want, Eval(c.expr)) << c.expr << (direct ? " (direct)" : " (Invoke)");
    }
}

// The grid hit tests ask the named grid for its row at a y and column at an
// x; other names and points outside answer -1.
TEST_F(FunctionTest, GridHitTestsAnswerTheNamedGridsRowAndColumn) {
    IUnknown* unknown = nullptr;
    ASSERT_EQ(CreateGridObject(&unknown), S_OK);
    GridObject* grid = static_cast<GridObject*>(static_cast<GridDispDefaults*>(
        static_cast<IGridDispObj*>(static_cast<IDispatch*>(unknown))));
    grid->SetWidth(400);
    grid->SetHeight(300);
    grid->MoveTo(300, 200);  // from (100, 50); a head of 20 and rows of 20 below it
    host.grid = unknown;
    const Case cases[] = {
        {"GridObjRowHitTest(\"grid\", 55)", "I4:0"},
        {"GridObjRowHitTest(\"grid\", 95)", "I4:2"},
        {"GridObjRowHitTest(\"grid\", 200)", "I4:-1"},
        {"GridObjRowHitTest(\"other\", 95)", "I4:-1"},
        {"GridObjColHitTest(\"grid\", 175)", "I4:1"},
        {"GridObjColHitTest(\"grid\", 90)", "I4:-1"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, Eval(c.expr)) << c.expr;
    host.grid = nullptr;
    unknown->Release();
}

// The built-ins of the type library, with their parameter types.
struct BuiltIn {
    std::string name;
    std::vector<VARTYPE> params;
};

std::vector<BuiltIn> ListBuiltIns(CFunctionManager& mgr) {
    std::vector<BuiltIn> out;
    for (int l = 0; l < mgr.GetLibraryCount(); ++l) {
        ITypeInfo* info = nullptr;
        if (FAILED(mgr.GetLibrary(l)->GetTypeInfo(0, 0, &info)))
            continue;
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            FUNCDESC* fd = nullptr;
            info->GetFuncDesc(i, &fd);
            BSTR name = nullptr;
            UINT got = 0;
            if (fd->memid <= 1000 && SUCCEEDED(info->GetNames(fd->memid, &name, 1, &got))) {
                BuiltIn b;
                b.name = MultibyteFromBstr(name);
                for (SHORT p = 0; p + 1 < fd->cParams; ++p)  // the last is the result
                    b.params.push_back(fd->lprgelemdescParam[p].tdesc.vt);
                out.push_back(b);
            }
            SysFreeString(name);
            info->ReleaseFuncDesc(fd);
        }
        info->ReleaseTypeAttr(attr);
        info->Release();
    }
    return out;
}

TEST_F(FunctionTest, EveryBuiltInIsCalledDirectly) {
    std::vector<BuiltIn> all = ListBuiltIns(mgr);
    ASSERT_EQ(20u + 12u + 40u, all.size());
    for (const BuiltIn& b : all) EXPECT_TRUE(mgr.HasDirectCall(b.name.c_str())) << b.name;
    EXPECT_FALSE(mgr.HasDirectCall("nosuchfunction"));
}

// Arguments of the declared types from a seeded generator, biased to the
// edges (zero, signs, range limits, empty and odd strings).
void RandomArgs(std::mt19937& rng, const std::vector<VARTYPE>& params, std::vector<VARIANT>& out) {
    static const LONG ints[] = {
        0, 1, -1, 2, 5, 16, 36, 37, 255, 256, -256, 2147483647, -2147483647 - 1};
    static const double reals[] = {0, 0.5, -0.5, 1, -1, 2.5, -2.5, 1e-8, 1e11, -1e11, 3e9, 1e308};
    static const char* const texts[] = {"",     "a",     "abcde",   "ABC",   "42abc",
                                        "-7",   "2.5e3", "%Y-%m",   "shown", "idle",
                                        "Home", "x y",   "\xd6\xd0"};
    out.assign(params.size(), VARIANT());
    // Call order: the last parameter first.
    for (size_t k = 0; k < params.size(); ++k) {
        VARIANT& v = out[params.size() - 1 - k];
        VariantInit(&v);
        V_VT(&v) = params[k];
        switch (params[k]) {
            case VT_I4:
                V_I4(&v) = rng() % 2 ? ints[rng() % (sizeof(ints) / sizeof(ints[0]))]
                                     : (LONG)(rng() % 2001) - 1000;
                break;
            case VT_R8:
                V_R8(&v) = rng() % 2 ? reals[rng() % (sizeof(reals) / sizeof(reals[0]))]
                                     : ((double)(rng() % 200001) - 100000) / 997.0;
                break;
            default:
                V_VT(&v) = VT_BSTR;
                V_BSTR(&v) = BstrFromMultibyte(texts[rng() % (sizeof(texts) / sizeof(texts[0]))]);
                break;
        }
    }
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
    if (V_VT(&a) != V_VT(&b))
        return false;
    switch (V_VT(&a)) {
        case VT_I4:
            return V_I4(&a) == V_I4(&b);
        case VT_R8:
            return memcmp(&V_R8(&a), &V_R8(&b), sizeof(double)) == 0;
        case VT_BSTR:
            return SysStringLen(V_BSTR(&a)) == SysStringLen(V_BSTR(&b)) &&
                   memcmp(V_BSTR(&a), V_BSTR(&b), SysStringLen(V_BSTR(&a)) * sizeof(WCHAR)) == 0;
        default:
            return V_VT(&a) == VT_EMPTY;
    }
}

TEST_F(FunctionTest, DirectCallsMatchInvokeOnRandomArguments) {
    // Values that change between two calls are left out.
    const std::set<std::string> moving = {"rand", "GetTickCount", "GetFormatedTime"};
    std::mt19937 rng(20261210);
    for (const BuiltIn& b : ListBuiltIns(mgr)) {
        if (moving.count(b.name))
            continue;
        for (int round = 0; round < 40; ++round) {
            std::vector<VARIANT> args[2];
            VARIANT result[2];
            bool ok[2];
            std::mt19937 same = rng;
            RandomArgs(rng, b.params, args[0]);
            RandomArgs(same, b.params, args[1]);
            for (int path = 0; path < 2; ++path) {
                mgr.SetDirectCalls(path == 0);
                VariantInit(&result[path]);
                ok[path] = mgr.Execute(b.name.c_str(), args[path].data(), (int)args[path].size(),
                                       &result[path]);
            }
            EXPECT_EQ(ok[1], ok[0]) << b.name << " round " << round;
            if (ok[0] && ok[1]) {
                EXPECT_TRUE(SameValue(result[0], result[1]))
                    << b.name << " round " << round << ": " << VariantText(result[0]) << " vs "
                    << VariantText(result[1]);
            }
            for (int path = 0; path < 2; ++path) {
                VariantClear(&result[path]);
                for (VARIANT& v : args[path]) VariantClear(&v);
            }
        }
    }
}

TEST_F(FunctionTest, CountAndTypeFailuresAreLogged) {
    TempFolder dir;
    LogCapture log(dir.File("f.lg0"));
    EXPECT_EQ("FAIL", Eval("abs(1, 2)"));
    EXPECT_EQ("FAIL", Eval("abs(\"x\")"));
    EXPECT_EQ("FAIL", Eval("sqrt(0)"));
    EXPECT_EQ("FAIL", Eval("nosuchfunction(1)"));
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("parameter number fault! ")) << text;
    EXPECT_NE(std::string::npos, text.find("Function: 'abs' -- invalid parameter type: 0"));
    EXPECT_NE(std::string::npos, text.find("Exec function failed: 'sqrt'"));
}

TEST_F(FunctionTest, WithoutPageTheTopicNameFails) {
    host.hasPage = false;
    EXPECT_EQ("FAIL", Eval("GetCurrentTopicName()"));
}

TEST(FunctionManager, MissingTypeLibraryIsLogged) {
    TempFolder dir;
    LogCapture log(dir.File("f.lg0"));
    CFunctionManager mgr;
    EXPECT_FALSE(mgr.LoadLibraries(dir.File("none.tlb").c_str()));
    EXPECT_EQ(0, mgr.GetLibraryCount());
    EXPECT_NE(std::string::npos, log.Text().find("LoadTypeLib: " + dir.File("none.tlb")));
}

}  // namespace
