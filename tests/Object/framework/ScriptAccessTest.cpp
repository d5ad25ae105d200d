#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ObjectTestUtil.h"
#include "ServiceFakes.h"
#include "aObjClass.h"

namespace {

struct ScriptText : public TextObjectClass<ScriptText> {};

// An ability reached by scripts: "Speed" is member 5, "Wide" member 0x10000.
class ScriptAbility : public CComObjectRootBase, public IDispatch {
public:
    BEGIN_COM_MAP(ScriptAbility)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()
    STDMETHOD(GetTypeInfoCount)(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        asked.push_back(names[0]);
        counts.push_back(count);
        std::wstring n = names[0];
        if (n == L"Speed")
            ids[0] = 5;
        else if (n == L"Wide")
            ids[0] = 0x10000;
        else
            return DISP_E_MEMBERNOTFOUND;
        return S_OK;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
     UINT*) override {
        invoked.push_back(id);
        lastFlags = flags;
        if (result) {
            result->vt = VT_I4;
            result->lVal = 42;
        }
        return S_OK;
    }
    std::vector<std::wstring> asked;
    std::vector<UINT> counts;
    std::vector<DISPID> invoked;
    WORD lastFlags = 0;
};

class ScriptAccessTest : public ObjectFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CreateObjectOfClass<ScriptText>(&object));
        object->QueryInterface(__uuidof(ITextDispObj), reinterpret_cast<void**>(&text));
        object->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        strcpy(record.szName, "Title");
        ASSERT_EQ(S_OK, base->Init(&creation));
        CComObject<ScriptAbility>::CreateInstance(&ability);
        ability->AddRef();
        IAbilityContainer* c = nullptr;
        object->QueryInterface(__uuidof(IAbilityContainer), reinterpret_cast<void**>(&c));
        abilityIndex = static_cast<ScriptText*>(c)->EntryCount();
        c->AddAbility(L"Mover");
        c->SetAbility(L"Mover", 7, ability->GetUnknown());
        c->Release();
    }
    void TearDown() override {
        base->Release();
        text->Release();
        object->Release();
        ability->Release();
    }
    HRESULT Ids(const wchar_t* name, DISPID* id) {
        LPOLESTR n = const_cast<LPOLESTR>(name);
        return text->GetIDsOfNames(IID_NULL, &n, 1, 0, id);
    }
    HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result, EXCEPINFO* e) {
        DISPPARAMS p = {args.empty() ? nullptr : args.data(), nullptr, (UINT)args.size(), 0};
        DISPID put = DISPID_PROPERTYPUT;
        if (flags == DISPATCH_PROPERTYPUT) {
            p.rgdispidNamedArgs = &put;
            p.cNamedArgs = 1;
        }
        UINT arg = 0;
        return text->Invoke(id, IID_NULL, 0, flags, &p, result, e, &arg);
    }
    static VARIANT Long(LONG v) {
        VARIANT x;
        VariantInit(&x);
        x.vt = VT_I4;
        x.lVal = v;
        return x;
    }

    IUnknown* object = nullptr;
    ITextDispObj* text = nullptr;
    IObjectBase* base = nullptr;
    CComObject<ScriptAbility>* ability = nullptr;
    int abilityIndex = 0;
};

}  // namespace

TEST_F(ScriptAccessTest, OwnMembersComeFromTheTypeInformation) {
    DISPID id = 0;
    EXPECT_EQ(S_OK, Ids(L"ObjName", &id));
    EXPECT_EQ(0x1F5, id);
    EXPECT_EQ(S_OK, Ids(L"objrecordpos", &id));
    EXPECT_EQ(0x323, id);
    EXPECT_TRUE(ability->asked.empty());
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(S_OK, Call(0x1F5, DISPATCH_PROPERTYGET, {}, &r, nullptr));
    EXPECT_EQ(VT_BSTR, r.vt);
    EXPECT_STREQ(L"Title", r.bstrVal);
    VariantClear(&r);
    EXPECT_EQ(S_OK, Call(0x229, DISPATCH_METHOD, {Long(20), Long(10)}, nullptr, nullptr));
    LONG x = 0, y = 0;
    text->get_ObjXCenter(&x);
    text->get_ObjYCenter(&y);
    EXPECT_EQ(10, x);
    EXPECT_EQ(20, y);
}

TEST_F(ScriptAccessTest, AbilityMembers) {
    DISPID id = 0;
    ASSERT_EQ(S_OK, Ids(L"Mover->Speed", &id));
    EXPECT_EQ((DISPID)(0x80000000u + ((DWORD)abilityIndex << 16) + 5), id);
    ASSERT_EQ(1u, ability->asked.size());
    EXPECT_EQ(L"Speed", ability->asked[0]);
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(S_OK, Call(id, DISPATCH_PROPERTYGET, {}, &r, nullptr));
    EXPECT_EQ(std::vector<DISPID>{5}, ability->invoked);
    EXPECT_EQ(DISPATCH_PROPERTYGET, ability->lastFlags);
    EXPECT_EQ(42, r.lVal);

    // An empty member name goes to the ability as it is.
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Ids(L"Mover->", &id));
    EXPECT_EQ(L"", ability->asked.back());

    struct Case {
        const wchar_t* name;
        HRESULT hr;
    } cases[] = {
        {L"Nobody->Speed", DISP_E_UNKNOWNNAME},  // the type information's answer
        {L"NoArrow", E_FAIL},
        {L"mover->Speed", DISP_E_UNKNOWNNAME},  // ability names are exact
        {L"Mover->Wide", DISP_E_UNKNOWNNAME},   // would run into the index bits
        {L"Mover->Gone", DISP_E_MEMBERNOTFOUND},
        {L"_EventProc->Run", E_NOTIMPL},  // the procedure's own answer
        {L"PathAnimate->Run", E_FAIL},    // an empty slot: no IDispatch
    };
    for (const Case& c : cases) {
        id = 12345;
        EXPECT_EQ(c.hr, Ids(c.name, &id)) << std::string(c.name, c.name + wcslen(c.name));
    }
    // Identifiers that name no ability.
    EXPECT_EQ(E_FAIL, Call((DISPID)(0x80000000u + (0x7FFFu << 16) + 5), DISPATCH_METHOD, {},
                           nullptr, nullptr));
    EXPECT_EQ(E_FAIL, Call((DISPID)0x80010005u, DISPATCH_METHOD, {}, nullptr, nullptr));
    EXPECT_EQ(1u, ability->invoked.size());
}

TEST(ScriptDispId, ComposedIdsKeepTheirBits) {
    DISPID id = 0;
    EXPECT_TRUE(ComposeAbilityDispId(1, 5, &id));
    EXPECT_EQ((DISPID)0x80010005u, id);
    EXPECT_TRUE(ComposeAbilityDispId(0x7FFF, 0xFFFF, &id));
    EXPECT_EQ((DISPID)0xFFFFFFFFu, id);
    EXPECT_FALSE(ComposeAbilityDispId(0x8000, 1, &id));
    EXPECT_FALSE(ComposeAbilityDispId(1, 0x10000, &id));
    EXPECT_FALSE(ComposeAbilityDispId(1, -1, &id));
}

TEST_F(ScriptAccessTest, RecordPositionAndInvokeAnswers) {
    // Unbound: the position is stored and answered with S_FALSE.
    EXPECT_EQ(S_FALSE, text->put_ObjRecordPos(7));
    LONG pos = 0;
    EXPECT_EQ(S_FALSE, text->get_ObjRecordPos(&pos));
    EXPECT_EQ(7, pos);
    EXPECT_EQ(S_OK, text->UnbindToDatabase());

    // Through Invoke S_FALSE arrives as S_OK ...
    EXPECT_EQ(S_OK, Call(0x323, DISPATCH_PROPERTYPUT, {Long(9)}, nullptr, nullptr));
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(S_OK, Call(0x323, DISPATCH_PROPERTYGET, {}, &r, nullptr));
    EXPECT_EQ(9, r.lVal);

    // ... and a failure as an exception carrying the code.
    IUnknown* bare = nullptr;
    ASSERT_EQ(S_OK, CreateObjectOfClass<ScriptText>(&bare));
    ITextDispObj* t = nullptr;
    bare->QueryInterface(__uuidof(ITextDispObj), reinterpret_cast<void**>(&t));
    BSTR name = nullptr;
    EXPECT_EQ(E_FAIL, t->get_ObjName(&name));  // no record yet
    EXCEPINFO e = {};
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    UINT arg = 0;
    VariantInit(&r);
    EXPECT_EQ(DISP_E_EXCEPTION,
              t->Invoke(0x1F5, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &r, &e, &arg));
    EXPECT_EQ(E_FAIL, e.scode);
    SysFreeString(e.bstrSource);
    SysFreeString(e.bstrDescription);
    SysFreeString(e.bstrHelpFile);
    t->Release();
    bare->Release();
}

TEST_F(ScriptAccessTest, BindThroughTheScriptMember) {
    ServiceTestSite dbSite;
    FakeDBCore core;
    dbSite.database = &core;
    core.fields["Scores.Name"].bytes = FakeDBCore::Block(1, "Ann");
    // The link reaches the database through the object's play site.
    base->SetEventSite(&dbSite);
    BSTR table = SysAllocString(L"Scores");
    BSTR field = SysAllocString(L"Name");
    VARIANT args[3];
    VariantInit(&args[0]);
    args[0].vt = VT_I4;
    args[0].lVal = 1;
    args[1].vt = VT_BSTR;
    args[1].bstrVal = field;
    args[2].vt = VT_BSTR;
    args[2].bstrVal = table;
    EXPECT_EQ(S_OK, Call(0x321, DISPATCH_METHOD, {args[0], args[1], args[2]}, nullptr, nullptr));
    ASSERT_EQ(1u, core.asked.size());
    EXPECT_STREQ("Title", core.asked[0].objectName);
    EXPECT_STREQ("Scores", core.asked[0].sourceName);
    EXPECT_STREQ("Name", core.asked[0].fieldName);
    EXPECT_EQ(1, core.asked[0].relative);
    LONG pos = -1;
    EXPECT_EQ(S_OK, text->put_ObjRecordPos(3));
    EXPECT_EQ(S_OK, text->get_ObjRecordPos(&pos));
    EXPECT_EQ(2u, core.asked.size());
    EXPECT_EQ(3, core.asked[1].position);
    SysFreeString(table);
    SysFreeString(field);
    base->SetEventSite(&site);
}
