// Variable manager: scopes, assignment with conversion, declarations,
// stored variable lists (good and damaged) and the application-state ini.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "ByteWriter.h"
#include "TestFiles.h"
#include "aStorage.h"
#include "bStrConv.h"
#include "bVarMgr.h"

namespace {

// Writer of stored variable lists, little-endian as the player reads them.
class ListWriter : public CByteWriterBase<ListWriter> {
public:
    // u32 length n, then n bytes of name (no terminator).
    ListWriter& Name(const char* name) { return U32((uint32_t)strlen(name)).Text(name); }
    // u16 type, then 4 bytes.
    ListWriter& I4(int32_t v) { return U16(VT_I4).Bytes(&v, 4); }
    // u16 type, then 8 bytes.
    ListWriter& R8(double v) { return U16(VT_R8).Bytes(&v, 8); }
    // u16 type, then 2 bytes.
    ListWriter& Bool(int16_t v) { return U16(VT_BOOL).Bytes(&v, 2); }
    ListWriter& Empty() { return U16(VT_EMPTY); }
    // u16 type, u32 byte length L = 2 * units + 2, the UTF-16 text, a
    // two-byte terminator.
    ListWriter& Text(VARTYPE vt, const wchar_t* s) {
        uint32_t units = (uint32_t)wcslen(s);
        U16(vt).U32(units * 2 + 2).Bytes(s, units * 2);
        return U16(0);
    }
    using CByteWriterBase<ListWriter>::Text;
};

// A list of every kind of stored value:
//   count 6
//   "n"   I4 7          / I4 1
//   "r"   R8 1.5        / R8 0.25
//   "b"   BOOL -1       / BOOL 0
//   "s"   BSTR "abc"    / BSTR "init"
//   "i2"  I2 as text "12" / EMPTY
//   "arr" I4|ARRAY, 2 dims (0..1, 0..2), six I4 elements 0..5 stored with
//         the last index fastest / I4 9
std::vector<uint8_t> GoodList() {
    ListWriter w;
    w.U32(6);
    w.Name("n").I4(7).I4(1);
    w.Name("r").R8(1.5).R8(0.25);
    w.Name("b").Bool(-1).Bool(0);
    w.Name("s").Text(VT_BSTR, L"abc").Text(VT_BSTR, L"init");
    w.Name("i2").Text(VT_I2, L"12").Empty();
    w.Name("arr").U16(VT_ARRAY | VT_I4).U32(2).U32(0).U32(1).U32(0).U32(2);
    for (int i = 0; i < 6; ++i) w.I4(i);
    w.I4(9);
    return w.Vector();
}

LONG ElementI4(const VARIANT* arrayValue, LONG i, LONG j) {
    LONG idx[2] = {i, j};
    VARIANT e;
    VariantInit(&e);
    EXPECT_EQ(SafeArrayGetElement(V_ARRAY(arrayValue), idx, &e), S_OK);
    LONG v = V_VT(&e) == VT_I4 ? V_I4(&e) : -999;
    VariantClear(&e);
    return v;
}

struct Managed {
    CVarList global, canvas, local;
    VariableManager vm;
    Managed() {
        vm.SetGlobalList(&global);
        vm.SetCanvasList(&canvas);
        vm.SetLocalList(&local);
    }
};

VARIANT MakeI4(LONG v) {
    VARIANT x;
    V_VT(&x) = VT_I4;
    V_I4(&x) = v;
    return x;
}

VARIANT MakeText(const wchar_t* s) {
    VARIANT x;
    V_VT(&x) = VT_BSTR;
    V_BSTR(&x) = SysAllocString(s);
    return x;
}

TEST(VarMgr, InnerScopesHideOuterOnes) {
    Managed m;
    VARIANT one = MakeI4(1), two = MakeI4(2), three = MakeI4(3);
    m.global.Insert(-1, "x", one, one);
    m.global.Insert(-1, "g", one, one);
    m.canvas.Insert(-1, "x", two, two);
    m.canvas.Insert(-1, "c", two, two);
    m.local.Insert(-1, "x", three, three);

    EXPECT_EQ(m.vm.Find("x"), MakeVarId(0, VAR_SCOPE_LOCAL));
    EXPECT_EQ(m.vm.Find("c"), MakeVarId(1, VAR_SCOPE_CANVAS));
    EXPECT_EQ(m.vm.Find("g"), MakeVarId(1, VAR_SCOPE_GLOBAL));
    EXPECT_EQ(m.vm.Find("X"), VAR_NOT_FOUND);  // names are case-sensitive
    EXPECT_EQ(m.vm.FindLocal("g"), VAR_NOT_FOUND);

    VARIANT v;
    VariantInit(&v);
    ASSERT_TRUE(m.vm.GetValueByName("x", &v));
    EXPECT_EQ(V_I4(&v), 3);
    m.local.RemoveAt(0);
    ASSERT_TRUE(m.vm.GetValueByName("x", &v));
    EXPECT_EQ(V_I4(&v), 2);
    m.vm.SetCanvasList(nullptr);
    ASSERT_TRUE(m.vm.GetValueByName("x", &v));
    EXPECT_EQ(V_I4(&v), 1);
    EXPECT_FALSE(m.vm.GetValueByName("nothing", &v));
    EXPECT_FALSE(m.vm.GetValue(VAR_NOT_FOUND, &v));
}

TEST(VarMgr, SetValueConvertsToTheVariablesType) {
    Managed m;
    ASSERT_TRUE(m.vm.Declare("n", VT_I4, "5", -1));
    int id = m.vm.Find("n");

    VARIANT text = MakeText(L"12");
    EXPECT_TRUE(m.vm.SetValue(id, text));
    EXPECT_EQ(V_VT(m.vm.PeekValue(id)), VT_I4);
    EXPECT_EQ(V_I4(m.vm.PeekValue(id)), 12);
    VariantClear(&text);

    text = MakeText(L"abc");
    EXPECT_FALSE(m.vm.SetValue(id, text));
    EXPECT_EQ(V_I4(m.vm.PeekValue(id)), 12);  // old value kept
    VariantClear(&text);

    int sizes[1] = {2};
    ASSERT_TRUE(m.vm.DeclareArray("a", VT_I4, sizes, 1, "0"));
    VARIANT arr;
    VariantInit(&arr);
    ASSERT_TRUE(m.vm.GetValue(m.vm.Find("a"), &arr));
    EXPECT_FALSE(m.vm.SetValue(id, arr));  // an array into a scalar
    VARIANT seven = MakeI4(7);
    EXPECT_FALSE(m.vm.SetValue(m.vm.Find("a"), seven));  // a scalar into an array

    // The same type takes a copy: changing the copy leaves the variable.
    LONG idx = 1;
    ASSERT_EQ(SafeArrayPutElement(V_ARRAY(&arr), &idx, &seven), S_OK);
    ASSERT_TRUE(m.vm.SetValue(m.vm.Find("a"), arr));
    VariantClear(&arr);
    VARIANT e;
    VariantInit(&e);
    ASSERT_EQ(SafeArrayGetElement(V_ARRAY(m.vm.PeekValue(m.vm.Find("a"))), &idx, &e), S_OK);
    EXPECT_EQ(V_I4(&e), 7);
}

TEST(VarMgr, DeclareParsesTheInitialText) {
    struct Case {
        VARTYPE type;
        const char* text;
        VARTYPE vt;
        double value;
    } cases[] = {
        {VT_I4, "42", VT_I4, 42},
        {VT_I4, "-17xyz", VT_I4, -17},
        {VT_I4, "99999999999", VT_I4, 2147483647},
        {VT_I4, nullptr, VT_I4, 0},
        {VT_R8, "1.5", VT_R8, 1.5},
        {VT_BOOL, "\xD5\xE6", VT_BOOL, 1},  // 真
        {VT_BOOL, "\xBC\xD9", VT_BOOL, 0},  // 假
        {VT_BOOL, "true", VT_BOOL, 0},
        {VT_DATE, "2000-01-01", VT_DATE, 0},
        {VT_CY, "5", VT_CY, 0},
        {VT_UI1, "5", VT_EMPTY, 0},
    };
    for (const Case& c : cases) {
        Managed m;
        ASSERT_TRUE(m.vm.Declare("v", c.type, c.text, -1));
        const VARIANT* v = m.vm.PeekValue(m.vm.Find("v"));
        ASSERT_EQ(V_VT(v), c.vt) << c.text;
        EXPECT_EQ(V_VT(m.local.GetInitial(0)), c.vt);
        switch (c.vt) {
            case VT_I4:
                EXPECT_EQ(V_I4(v), (LONG)c.value) << c.text;
                break;
            case VT_R8:
                EXPECT_EQ(V_R8(v), c.value);
                break;
            case VT_BOOL:
                EXPECT_EQ(V_BOOL(v), (VARIANT_BOOL)c.value) << c.text;
                break;
            case VT_DATE:
                EXPECT_EQ(V_DATE(v), 0.0);
                break;
            case VT_CY:
                EXPECT_EQ(V_CY(v).int64, 0);
                break;
            default:
                break;
        }
    }
    Managed m;
    ASSERT_TRUE(m.vm.Declare("s", VT_BSTR, "\xD6\xD0\xCE\xC4", -1));  // 中文
    EXPECT_EQ(
        std::wstring(V_BSTR(m.vm.PeekValue(m.vm.Find("s")))),
        GetACP() == 936 ? std::wstring(L"\x4E2D\x6587") : WideFromMultibyte("\xD6\xD0\xCE\xC4"));
    // Position inserts before the existing entries.
    ASSERT_TRUE(m.vm.Declare("first", VT_I4, "1", 0));
    EXPECT_STREQ(m.local.GetName(0), "first");
    EXPECT_STREQ(m.local.GetName(1), "s");
}

TEST(VarMgr, DeclareArrayMakesZeroBasedDimensions) {
    Managed m;
    int sizes[2] = {2, 3};
    ASSERT_TRUE(m.vm.DeclareArray("a", VT_I4, sizes, 2, "4"));
    const VARIANT* v = m.vm.PeekValue(m.vm.Find("a"));
    ASSERT_EQ(V_VT(v), VT_ARRAY | VT_I4);
    SAFEARRAY* psa = V_ARRAY(v);
    ASSERT_EQ(SafeArrayGetDim(psa), 2u);
    LONG lo, hi;
    SafeArrayGetLBound(psa, 1, &lo);
    SafeArrayGetUBound(psa, 1, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 1);
    SafeArrayGetLBound(psa, 2, &lo);
    SafeArrayGetUBound(psa, 2, &hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 2);
    for (LONG i = 0; i < 2; ++i)
        for (LONG j = 0; j < 3; ++j) EXPECT_EQ(ElementI4(v, i, j), 4);
    LONG idx[2] = {2, 0};
    VARIANT e;
    VariantInit(&e);
    EXPECT_NE(SafeArrayGetElement(psa, idx, &e), S_OK);  // index 2 of size 2
    EXPECT_EQ(V_I4(m.local.GetInitial(0)), 4);

    int bad[2] = {2, -1};
    EXPECT_FALSE(m.vm.DeclareArray("b", VT_I4, bad, 2, "0"));
    int huge[2] = {0x10000, 0x10000};
    EXPECT_FALSE(m.vm.DeclareArray("c", VT_I4, huge, 2, "0"));
    EXPECT_EQ(m.local.GetCount(), 1);
}

TEST(VarMgr, LoadListReadsEveryStoredKind) {
    std::vector<uint8_t> bytes = GoodList();
    bytes.push_back(0xAA);  // whatever follows the list stays unread
    for (bool reset : {false, true}) {
        CVarList list;
        VariableManager vm;
        size_t used = 0;
        ASSERT_TRUE(vm.LoadList(&list, bytes.data(), bytes.size(), &used, reset));
        EXPECT_EQ(used, bytes.size() - 1);
        ASSERT_EQ(list.GetCount(), 6);
        EXPECT_STREQ(list.GetName(5), "arr");
        VARIANT* n = list.GetValue(0);
        EXPECT_EQ(V_VT(n), VT_I4);
        EXPECT_EQ(V_I4(n), reset ? 1 : 7);
        EXPECT_EQ(V_R8(list.GetValue(1)), reset ? 0.25 : 1.5);
        EXPECT_EQ(V_BOOL(list.GetValue(2)), reset ? 0 : -1);
        EXPECT_EQ(std::wstring(V_BSTR(list.GetValue(3))), reset ? L"init" : L"abc");
        EXPECT_EQ(std::wstring(V_BSTR(list.GetInitial(3))), L"init");
        if (!reset) {
            EXPECT_EQ(V_VT(list.GetValue(4)), VT_I2);
            EXPECT_EQ(V_I2(list.GetValue(4)), 12);
        } else {
            EXPECT_EQ(V_VT(list.GetValue(4)), VT_EMPTY);
        }
        VARIANT* arr = list.GetValue(5);
        ASSERT_EQ(V_VT(arr), VT_ARRAY | VT_I4);
        for (LONG i = 0; i < 2; ++i)
            for (LONG j = 0; j < 3; ++j)
                EXPECT_EQ(ElementI4(arr, i, j), reset ? 9 : i * 3 + j) << i << "," << j;
    }
}

// Makes s a memory stream holding the bytes, positioned at pos.
void MemoryStream(CComPtr<ITeskStream>& s, const std::vector<uint8_t>& bytes, ULONGLONG pos) {
    s.Release();
    ASSERT_EQ(CreateMemStream(&s, 64), S_OK);
    EXPECT_EQ(s->Write(bytes.data(), (ULONG)bytes.size()), bytes.size());
    s->SetMode(0);
    s->Seek((LONGLONG)pos, 0);
}

TEST(VarMgr, LoadListFromAStreamLeavesItAfterTheList) {
    std::vector<uint8_t> data = {1, 2, 3};  // bytes before the list
    std::vector<uint8_t> list = GoodList();
    data.insert(data.end(), list.begin(), list.end());
    data.push_back(0x55);  // and one after it
    CComPtr<ITeskStream> s;
    MemoryStream(s, data, 3);
    CVarList vars;
    VariableManager vm;
    ASSERT_TRUE(vm.LoadList(&vars, s, false));
    EXPECT_EQ(vars.GetCount(), 6);
    EXPECT_EQ(s->GetPosition(), 3 + list.size());

    // A damaged list puts the stream back where the list began.
    data.resize(3 + list.size() - 3);
    MemoryStream(s, data, 3);
    CVarList none;
    EXPECT_FALSE(vm.LoadList(&none, s, false));
    EXPECT_EQ(none.GetCount(), 0);
    EXPECT_EQ(s->GetPosition(), 3u);

    // Nothing is read while the stream only measures.
    MemoryStream(s, GoodList(), 0);
    ASSERT_EQ(s->BeginMeasure(), S_OK);
    EXPECT_FALSE(vm.LoadList(&none, s, false));
    s->EndMeasure();
    EXPECT_TRUE(vm.LoadList(&none, s, false));
    EXPECT_FALSE(vm.LoadList(&none, nullptr, false));
}

// The records below each replace the single variable of a one-entry list:
//   count 1, name "v", then the current value bytes, then I4 0.
std::vector<uint8_t> OneVariable(const std::vector<uint8_t>& value) {
    ListWriter w;
    w.U32(1).Name("v");
    w.Bytes(value);
    w.I4(0);
    return w.Vector();
}

TEST(VarMgr, LoadListRefusesDamagedRecords) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    std::vector<Case> cases;
    cases.push_back({"count cut short", {1, 0}, "variable count cut short"});
    cases.push_back(
        {"name longer than the data", ListWriter().U32(1).U32(0x7FFFFFFF).Vector(), "name length"});
    cases.push_back(
        {"name length wraps", ListWriter().U32(1).U32(0xFFFFFFFF).U16(0).Vector(), "name length"});
    cases.push_back({"value type cut short", ListWriter().U32(1).Name("v").Vector(), "cut short"});
    cases.push_back(
        {"I4 cut short", ListWriter().U32(1).Name("v").U16(VT_I4).U16(0).Vector(), "cut short"});
    cases.push_back({"string length 0", OneVariable(ListWriter().U16(VT_BSTR).U32(0).Vector()),
                     "bad string length 0"});
    cases.push_back({"string length 1",
                     OneVariable(ListWriter().U16(VT_BSTR).U32(1).U16(0).Vector()),
                     "bad string length 1"});
    cases.push_back({"odd string length",
                     OneVariable(ListWriter().U16(VT_BSTR).U32(3).U16('a').U16(0).Vector()),
                     "bad string length 3"});
    cases.push_back({"huge string length",
                     OneVariable(ListWriter().U16(VT_BSTR).U32(0xFFFFFFFE).U16(0).Vector()),
                     "bad string length 4294967294"});
    cases.push_back({"string past the end",
                     ListWriter().U32(1).Name("v").U16(VT_BSTR).U32(6).U16('a').Vector(),
                     "bad string length 6"});
    cases.push_back({"no dimensions",
                     OneVariable(ListWriter().U16(VT_ARRAY | VT_I4).U32(0).Vector()),
                     "bad dimension count 0"});
    cases.push_back({"too many dimensions",
                     OneVariable(ListWriter().U16(VT_ARRAY | VT_I4).U32(0x40000000).Vector()),
                     "bad dimension count"});
    cases.push_back({"inverted bounds",
                     OneVariable(ListWriter().U16(VT_ARRAY | VT_I4).U32(1).U32(5).U32(2).Vector()),
                     "inverted bounds 5..2"});
    cases.push_back(
        {"bounds span more than 32 bits",
         OneVariable(
             ListWriter().U16(VT_ARRAY | VT_I4).U32(1).U32(0x80000000u).U32(0x7FFFFFFF).Vector()),
         "element count overflows"});
    {
        ListWriter w;
        w.U16(VT_ARRAY | VT_I4).U32(4);
        for (int d = 0; d < 4; ++d) w.U32(0).U32(0xFFFE);  // 65535^4 elements
        cases.push_back({"element count overflows", OneVariable(w.Vector()), "element"});
    }
    cases.push_back(
        {"elements past the end",
         OneVariable(ListWriter().U16(VT_ARRAY | VT_I4).U32(1).U32(0).U32(99).I4(1).Vector()),
         "exceed the data"});
    cases.push_back({"array nested in array",
                     OneVariable(ListWriter()
                                     .U16(VT_ARRAY | VT_I4)
                                     .U32(1)
                                     .U32(0)
                                     .U32(0)
                                     .U16(VT_ARRAY | VT_I4)
                                     .U32(1)
                                     .U32(0)
                                     .U32(0)
                                     .I4(1)
                                     .Vector()),
                     "nested"});

    for (const Case& c : cases) {
        CVarList list;
        VARIANT keep = MakeI4(3);
        list.Insert(-1, "kept", keep, keep);
        VariableManager vm;
        LogCapture log;
        size_t used = 99;
        EXPECT_FALSE(vm.LoadList(&list, c.bytes.data(), c.bytes.size(), &used, false)) << c.what;
        std::string text = log.Text();
        EXPECT_EQ(list.GetCount(), 1) << c.what;  // the list is as it was
        EXPECT_EQ(used, 0u);
        EXPECT_TRUE(Logged(text, c.message)) << c.what;
    }
}

// Refusals state the figure that was read and the cause.
TEST(VarMgr, LoadListLogsTheRealFigures) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* message;
        const char* notMessage;
    };
    ListWriter cube;  // VT_ARRAY | VT_I4, three dimensions 0..65535: 2^48 elements
    cube.U16(VT_ARRAY | VT_I4).U32(3);
    for (int d = 0; d < 3; ++d) cube.U32(0).U32(0xFFFF);
    std::vector<Case> cases = {
        {"count 0xFFFFFFFF and no data", ListWriter().U32(0xFFFFFFFF).Vector(),
         "4294967295 variables cannot fit in 0 bytes", "name length"},
        {"second name length cut short",
         ListWriter().U32(2).Name("a").Empty().Empty().U16(0).Vector(),
         "variable 1 of 2 has no name length", "name length 0"},
        {"2^48 elements", OneVariable(cube.Vector()),
         "281474976710656 elements of 'v' exceed the data", nullptr},
    };
    for (const Case& c : cases) {
        CVarList list;
        VariableManager vm;
        LogCapture log;
        EXPECT_FALSE(vm.LoadList(&list, c.bytes.data(), c.bytes.size(), nullptr, false)) << c.what;
        std::string text = log.Text();
        EXPECT_TRUE(Logged(text, c.message)) << c.what << text;
        if (c.notMessage) {
            EXPECT_FALSE(Logged(text, c.notMessage)) << c.what;
        }
    }
}

// An array type with flags beyond VT_ARRAY (0x3003 is by reference), or an
// array of more than 1,048,576 elements, is read past and kept empty; the
// variables after it load.
TEST(VarMgr, RefusedArraysLeaveTheRestOfTheList) {
    struct Case {
        const char* what;
        ListWriter array;
        const char* message;
    };
    std::vector<Case> cases(2);
    cases[0].what = "by-reference array";
    cases[0].array.U16(0x3003).U32(1).U32(0).U32(1).I4(1).I4(2);
    cases[0].message = "array type 0x3003 of 'v' refused";
    cases[1].what = "1,048,577 elements";
    cases[1].array.U16(VT_ARRAY | VT_I4).U32(2).U32(0).U32(1).U32(0).U32(524288);
    for (int i = 0; i < 2 * 524289; ++i) cases[1].array.Empty();
    cases[1].message = "array 'v' of 1048578 elements refused (at most 1048576)";
    for (const Case& c : cases) {
        ListWriter w;
        w.U32(2).Name("v");
        w.Bytes(c.array.Str()).Empty();
        w.Name("after").I4(7).I4(8);
        CVarList list;
        VariableManager vm;
        LogCapture log;
        size_t used = 0;
        ASSERT_TRUE(vm.LoadList(&list, w.Vector().data(), w.Vector().size(), &used, false))
            << c.what;
        EXPECT_EQ(w.Vector().size(), used) << c.what;
        EXPECT_TRUE(Logged(log.Text(), c.message)) << c.what;
        ASSERT_EQ(2, list.GetCount()) << c.what;
        EXPECT_EQ(VT_EMPTY, V_VT(list.GetValue(0))) << c.what;
        EXPECT_EQ(7, V_I4(list.GetValue(1))) << c.what;
    }
    // The bound itself loads.
    ListWriter w;
    w.U32(1).Name("v").U16(VT_ARRAY | VT_I4).U32(1).U32(0).U32(1048575);
    for (int i = 0; i < 1048576; ++i) w.Empty();
    w.Empty();
    CVarList list;
    VariableManager vm;
    ASSERT_TRUE(vm.LoadList(&list, w.Vector().data(), w.Vector().size(), nullptr, false));
    EXPECT_EQ(1048576u, V_ARRAY(list.GetValue(0))->rgsabound[0].cElements);
}

// A list grows by doubling and keeps its order; moving one list into
// another takes every record with its values.
TEST(VarMgr, ListsGrowAndMoveWhole) {
    CVarList a, b;
    for (int i = 0; i < 1000; ++i) {
        VARIANT v = MakeI4(i);
        ASSERT_TRUE(a.Insert(-1, ("v" + std::to_string(i)).c_str(), v, v));
    }
    VARIANT first = MakeI4(-1);
    ASSERT_TRUE(b.Insert(-1, "first", first, first));
    ASSERT_TRUE(b.TakeAll(a));
    EXPECT_EQ(0, a.GetCount());
    ASSERT_EQ(1001, b.GetCount());
    for (int i = 0; i < 1000; ++i) {
        EXPECT_STREQ(("v" + std::to_string(i)).c_str(), b.GetName(i + 1));
        EXPECT_EQ(i, V_I4(b.GetValue(i + 1)));
    }
    EXPECT_EQ(1000, b.Find("v999"));
}

TEST(VarMgr, LoadListSurvivesEveryCutAndRandomDamage) {
    std::vector<uint8_t> good = GoodList();
    VariableManager vm;
    for (size_t n = 0; n < good.size(); ++n) {
        // Each prefix lives in its own block, so a read past it is a read
        // outside the data.
        std::vector<uint8_t> cut(good.begin(), good.begin() + (ptrdiff_t)n);
        CVarList list;
        EXPECT_FALSE(vm.LoadList(&list, cut.data(), cut.size(), nullptr, false)) << n;
        EXPECT_EQ(list.GetCount(), 0);
    }
    std::mt19937 rng(4711);
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> bad = good;
        int flips = 1 + (int)(rng() % 4);
        for (int f = 0; f < flips; ++f) bad[rng() % bad.size()] = (uint8_t)rng();
        CVarList list;
        size_t used = 0;
        if (vm.LoadList(&list, bad.data(), bad.size(), &used, (i & 1) != 0)) {
            EXPECT_LE(used, bad.size());
        } else {
            EXPECT_EQ(list.GetCount(), 0);
        }
    }
}

TEST(VarMgr, StoredTextConvertsToItsType) {
    // "d": DATE stored as the text "12" (not its own 8-byte form) / EMPTY;
    // "x": the text "zz" for I2, which cannot convert, so it stays empty.
    ListWriter w;
    w.U32(2);
    w.Name("n").Text(VT_UI1, L"200").Empty();
    w.Name("x").Text(VT_I2, L"zz").Empty();
    CVarList list;
    VariableManager vm;
    ASSERT_TRUE(vm.LoadList(&list, w.Vector().data(), w.Vector().size(), nullptr, false));
    EXPECT_EQ(V_VT(list.GetValue(0)), VT_UI1);
    EXPECT_EQ(V_UI1(list.GetValue(0)), 200);
    EXPECT_EQ(V_VT(list.GetValue(1)), VT_EMPTY);
}

std::string ReadIni(const std::string& path, const char* section, const char* key) {
    char buffer[300];
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof(buffer), path.c_str());
    return buffer;
}

TEST(VarMgr, SaveToIniWritesTypeAndText) {
    TempFolder dir;
    std::string ini = dir.File("mavroappl.ini");
    Managed m;
    m.vm.SetLocalList(&m.global);  // declare straight into the global list
    ASSERT_TRUE(m.vm.Declare("r", VT_R8, "1.5", -1));
    ASSERT_TRUE(m.vm.Declare("s", VT_BSTR, "abc", -1));
    ASSERT_TRUE(m.vm.Declare("n", VT_I4, "-3", -1));
    ASSERT_TRUE(m.vm.Declare("b", VT_BOOL, "\xD5\xE6", -1));
    int sizes[1] = {2};
    ASSERT_TRUE(m.vm.DeclareArray("a", VT_I4, sizes, 1, "1"));
    m.vm.SetLocalList(&m.local);
    ASSERT_TRUE(m.vm.Declare("loc", VT_I4, "1", -1));

    const char* section = "APPL_00000000000000ff_VARS";
    EXPECT_TRUE(m.vm.SaveToIni(ini.c_str(), section, "r,s,n,b,a,loc,missing"));
    EXPECT_EQ(ReadIni(ini, section, "r"), "5,1.5");
    EXPECT_EQ(ReadIni(ini, section, "s"), "8,abc");
    EXPECT_EQ(ReadIni(ini, section, "n"), "3,-3");
    EXPECT_EQ(ReadIni(ini, section, "b").substr(0, 3), "11,");  // the text is the system's
    EXPECT_EQ(ReadIni(ini, section, "a"), "<none>");            // no text form
    EXPECT_EQ(ReadIni(ini, section, "loc"), "<none>");          // not global
}

TEST(VarMgr, LoadFromIniTakesTheStoredType) {
    TempFolder dir;
    std::string ini = dir.File("state.ini");
    const char* section = "S";
    WritePrivateProfileStringA(section, "a", "8,abc", ini.c_str());
    WritePrivateProfileStringA(section, "b", "5,2.25", ini.c_str());
    WritePrivateProfileStringA(section, "c", "3", ini.c_str());        // no comma
    WritePrivateProfileStringA(section, "d", "3,", ini.c_str());       // nothing after it
    WritePrivateProfileStringA(section, "e", "3,x", ini.c_str());      // does not convert
    WritePrivateProfileStringA(section, "f", "65539,7", ini.c_str());  // low 16 bits: VT_I4

    Managed m;
    m.vm.SetLocalList(&m.global);
    for (const char* name : {"a", "b", "c", "d", "e", "f"})
        ASSERT_TRUE(m.vm.Declare(name, VT_I4, "1", -1));

    EXPECT_TRUE(m.vm.LoadFromIni(ini.c_str(), section, "a,b,c,d,e,f,missing"));
    const VARIANT* a = m.global.GetValue(0);
    ASSERT_EQ(V_VT(a), VT_BSTR);
    EXPECT_EQ(std::wstring(V_BSTR(a)), L"abc");
    EXPECT_EQ(V_VT(m.global.GetValue(1)), VT_R8);
    EXPECT_EQ(V_R8(m.global.GetValue(1)), 2.25);
    for (int i = 2; i <= 4; ++i) {
        EXPECT_EQ(V_VT(m.global.GetValue(i)), VT_I4);
        EXPECT_EQ(V_I4(m.global.GetValue(i)), 1);
    }
    EXPECT_EQ(V_I4(m.global.GetValue(5)), 7);

    EXPECT_FALSE(m.vm.LoadFromIni(ini.c_str(), section, "c,d,e"));  // nothing loaded
    EXPECT_FALSE(m.vm.LoadFromIni(ini.c_str(), section, "a,,b"));   // the list does not split
}

TEST(VarMgr, SavedVariablesLoadBack) {
    TempFolder dir;
    std::string ini = dir.File("round.ini");
    Managed m;
    m.vm.SetLocalList(&m.global);
    ASSERT_TRUE(m.vm.Declare("r", VT_R8, "-0.125", -1));
    ASSERT_TRUE(m.vm.Declare("s", VT_BSTR, "x,y \xD6\xD0", -1));
    EXPECT_TRUE(m.vm.SaveToIni(ini.c_str(), "V", "r,s"));
    Managed back;
    back.vm.SetLocalList(&back.global);
    ASSERT_TRUE(back.vm.Declare("r", VT_I4, "0", -1));
    ASSERT_TRUE(back.vm.Declare("s", VT_I4, "0", -1));
    EXPECT_TRUE(back.vm.LoadFromIni(ini.c_str(), "V", "r,s"));
    EXPECT_EQ(V_R8(back.global.GetValue(0)), -0.125);
    EXPECT_EQ(std::wstring(V_BSTR(back.global.GetValue(1))),
              std::wstring(V_BSTR(m.global.GetValue(1))));
}

TEST(VarMgr, AppStateIniAndSections) {
    char path[MAX_PATH];
    ASSERT_TRUE(GetAppStateIniPath(path, sizeof(path)));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    EXPECT_EQ(std::string(path), std::string(windows) + "\\mavroappl.ini");
    SetAppStateIniPath("C:\\tmp\\x.ini");
    ASSERT_TRUE(GetAppStateIniPath(path, sizeof(path)));
    EXPECT_STREQ(path, "C:\\tmp\\x.ini");
    EXPECT_FALSE(GetAppStateIniPath(path, 5));
    SetAppStateIniPath(nullptr);
    ASSERT_TRUE(GetAppStateIniPath(path, sizeof(path)));
    EXPECT_EQ(std::string(path), std::string(windows) + "\\mavroappl.ini");

    char section[64];
    FormatAppStateSection(section, sizeof(section), 0x0123456789ABCDEFull, false);
    EXPECT_STREQ(section, "APPL_0123456789abcdef_VARS");
    FormatAppStateSection(section, sizeof(section), 0xFF, true);
    EXPECT_STREQ(section, "APPL_00000000000000ff_PROGRESS");
}

TEST(VarMgr, SpareRecordStandsInForOutOfRangeIndexes) {
    CVarList list;
    VARIANT v = MakeI4(1);
    list.Insert(-1, "a", v, v);
    EXPECT_EQ(V_VT(list.GetValue(5)), VT_EMPTY);
    EXPECT_EQ(list.GetValue(5), list.GetValue(-2));
    EXPECT_STREQ(list.GetName(5), "");
    for (int i = 0; i < 20; ++i) list.Insert(-1, ("v" + std::to_string(i)).c_str(), v, v);
    EXPECT_EQ(list.GetCount(), 21);
    EXPECT_EQ(list.Find("v19"), 20);
    list.Clear();
    EXPECT_EQ(list.GetCount(), 0);
}

}  // namespace
