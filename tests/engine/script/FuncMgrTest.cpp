// Function manager and the built-in libraries: every function through the
// evaluator with the edge cases of its table, count and type checks, the
// system functions against a fake host and database.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>

#include <string>

#include "FuncTestUtil.h"
#include "TestFiles.h"
#include "aExprEval.h"
#include "aFuncMgr.h"
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
    for (const Case& c : cases) EXPECT_EQ(c.want, Eval(c.expr)) << c.expr;
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
