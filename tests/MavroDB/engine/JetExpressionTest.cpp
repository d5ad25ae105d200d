// Values of Jet expressions as the layer's queries give them.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "MvbWriter.h"
#include "TestFiles.h"
#include "aDbEngine.h"

namespace {

// A value as text: "null", "i:<n>" for whole numbers, "d:<x>" for others,
// else the text's ANSI bytes.
std::string Shown(const VARIANT& v) {
    VARIANT c;
    VariantInit(&c);
    switch (V_VT(&v)) {
        case VT_NULL:
            return "null";
        case VT_BSTR:
            return std::string((const char*)V_BSTR(&v), SysStringByteLen(V_BSTR(&v)));
        case VT_R8:
        case VT_R4: {
            VariantChangeType(&c, const_cast<VARIANT*>(&v), 0, VT_R8);
            char text[32];
            snprintf(text, sizeof(text), "d:%g", V_R8(&c));
            return text;
        }
        default:
            if (FAILED(VariantChangeType(&c, const_cast<VARIANT*>(&v), 0, VT_I4)))
                return "type " + std::to_string(V_VT(&v));
            return "i:" + std::to_string(V_I4(&c));
    }
}

}  // namespace

TEST(JetExpression, PlusJoinsTextsAndAmpersandTakesNullForEmpty) {
    TempFolder dir;
    std::string path = dir.File("names.mvb");
    std::string zs = AnsiFromUtf8(u8"张三"), li = AnsiFromUtf8(u8"李"), wang = AnsiFromUtf8(u8"王");
    struct {
        const char* expression;
        std::string rows[3];
    } cases[] = {
        {"[First] + [Last]", {zs, "null", "AnnLee"}},
        {"First & Last", {zs, li, "AnnLee"}},
        {"Last & Last", {AnsiFromUtf8(u8"三三"), "null", "LeeLee"}},
        {"Null & First", {AnsiFromUtf8(u8"张"), li, "Ann"}},
        {"N + M", {"d:3.5", "null", "d:6"}},
        {"N + 1", {"i:2", "null", "i:8"}},
        {"Code + N", {"i:13", "null", "null"}},
        {"Code + First", {AnsiFromUtf8(u8"12张"), AnsiFromUtf8(u8"x李"), "null"}},
        {"\"#\" & N + 2", {"#3", "#", "#9"}},
        {"N + 1 & \"x\"", {"2x", "x", "8x"}},
        {"-N + 2", {"i:1", "null", "i:-5"}},
        {"Len(First & Last)", {"i:2", "i:1", "i:6"}},
        {"People.First + [People]![Last]", {zs, "null", "AnnLee"}},
        {"IIf(First & Last = \"AnnLee\", \"y\", \"n\")", {"n", "n", "y"}},
        {"[P] + Last", {AnsiFromUtf8(u8"王三"), "null", wang + "Lee"}},
    };
    {
        MvbWriter w(path);
        w.Exec(
            "CREATE TABLE People(ID LONG PRIMARY KEY, First TEXT(10), Last TEXT(10), N LONG,"
            " M DOUBLE, Code TEXT(5))");
        w.Exec(u8"INSERT INTO People VALUES(1, '张', '三', 1, 2.5, '12')");
        w.Exec(u8"INSERT INTO People VALUES(2, '李', NULL, NULL, 1, 'x')");
        w.Exec("INSERT INTO People VALUES(3, 'Ann', 'Lee', 7, -1, NULL)");
        int n = 0;
        for (const auto& c : cases)
            w.Query("E" + std::to_string(n++), std::string("PARAMETERS P TEXT(5); SELECT ") +
                                                   c.expression + " AS X FROM People ORDER BY ID");
    }
    auto db = CdbDatabase::Open(path, false, false, "");
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expression);
        std::string name = "E" + std::to_string(n++);
        std::vector<CdbParameter> params = db->QueryParameters(name);
        ASSERT_EQ(1u, params.size());
        V_VT(&params[0].value) = VT_BSTR;
        V_BSTR(&params[0].value) = SysAllocStringByteLen(wang.data(), (UINT)wang.size());
        auto rs = db->OpenQuery(name, params);
        ASSERT_EQ(3, rs->GetRecordCount());
        for (long i = 0; i < 3; ++i) {
            rs->SetAbsolutePosition(i);
            VARIANT v;
            VariantInit(&v);
            rs->GetValue("X", &v);
            EXPECT_EQ(c.rows[i], Shown(v)) << "record " << i;
            VariantClear(&v);
        }
    }
}
