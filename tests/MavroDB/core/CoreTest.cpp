#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DBTestSite.h"
#include "StaffDatabase.h"
#include "TestFiles.h"
#include "aDBModule.h"
#include "bMsgBox.h"
#include "QueuedBoxes.h"

namespace {

struct OpenStaff {
    TempFolder dir;
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db;
    std::string path;
    explicit OpenStaff(int flags = 0) {
        path = StaffFile(dir.File("staff.mvb"));
        db = NewDatabase();
        EXPECT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", flags, &site, window.Handle()));
    }
    std::vector<DataSourceNotice> Notices() { return window.Drain(db); }
};

using BoxLog = QueuedBoxes;

}  // namespace

TEST(DBCore, DataSourceNamesCutWithinTheBuffer) {
    OpenStaff s;
    int count = 0;
    ASSERT_EQ(S_OK, s.db->GetDataSourceCount(&count));
    EXPECT_EQ(5, count);  // Staff, Orders, then Rich, ByName, Totals
    char buffer[64];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(S_OK, s.db->GetDataSourceName(0, buffer, 5));
    EXPECT_STREQ("Staf", buffer);
    EXPECT_EQ(S_OK, s.db->GetDataSourceName(0, buffer, 6));
    EXPECT_STREQ("Staff", buffer);
    EXPECT_EQ(S_OK, s.db->GetDataSourceName(2, buffer, sizeof(buffer)));
    EXPECT_STREQ("Rich", buffer);
    struct {
        int index, length;
    } refused[] = {{-1, 10}, {5, 10}, {0, 0}, {0, -3}};
    for (const auto& r : refused)
        EXPECT_EQ(E_FAIL, s.db->GetDataSourceName(r.index, buffer, r.length))
            << r.index << " " << r.length;
    EXPECT_EQ(E_FAIL, s.db->GetDataSourceName(0, nullptr, 10));
}

TEST(DBCore, SystemTablesAreNotListedAndQueriesAreRecognised) {
    OpenStaff s;
    EXPECT_EQ(S_OK, s.db->IsQueryName("rich"));
    EXPECT_EQ(S_FALSE, s.db->IsQueryName("STAFF"));
    EXPECT_EQ(E_FAIL, s.db->IsQueryName("MavroSysQueries"));
    EXPECT_EQ(E_FAIL, s.db->IsQueryName("Nothing"));
}

TEST(DBCore, MovesGivePositionsNoticesAndCodes) {
    OpenStaff s;
    int count = 0, pos = -5;
    DataSourceDescriptor staff = Desc("Staff", "Name", 0, 0, "Text1");
    // A source never opened: last stays the move code itself.
    staff.position = DB_MOVE_LAST;
    ASSERT_EQ(S_OK, s.db->MoveDataSource(&staff));
    DataSourceDescriptor orders = Desc("Orders");
    ASSERT_EQ(S_OK, s.db->GetDataSourceRecordCount(&orders, &count));
    EXPECT_EQ(3, count);
    struct Step {
        const char* source;
        LONG code;
        HRESULT move;
        int position;  // after the move (read back through slot 20)
        HRESULT read;  // reading Name (or Amount) at the current position
    } steps[] = {
        {"Orders", DB_MOVE_PREVIOUS, S_OK, 0, S_OK},       // before the first: stays 0
        {"Orders", DB_MOVE_LAST, S_OK, 2, S_OK},           // last = count - 1
        {"Orders", DB_MOVE_NEXT, S_OK, 3, DB_E_PAST_END},  // after the last
        {"Orders", DB_MOVE_FIRST, S_OK, 0, S_OK},
        {"Orders", 2, S_OK, 2, S_OK},
        {"Orders", -1, E_FAIL, 2, S_OK},                 // negative codes refused
        {"Nowhere", DB_MOVE_FIRST, E_FAIL, -5, E_FAIL},  // unknown source
    };
    for (const Step& st : steps) {
        DataSourceDescriptor d = Desc(st.source, "Amount", 0, 0, "Grid1");
        d.position = st.code;
        s.Notices();
        EXPECT_EQ(st.move, s.db->MoveDataSource(&d)) << st.source << " " << st.code;
        std::vector<DataSourceNotice> n = s.Notices();
        if (st.move == S_OK) {
            ASSERT_EQ(1u, n.size());
            EXPECT_EQ(6, n[0].kind);
            EXPECT_STREQ("Orders", n[0].sourceName);
            EXPECT_STREQ("Grid1", n[0].objectName);
            EXPECT_EQ(0, n[0].fieldName[0]);
            EXPECT_EQ(0, n[0].isQuery);
        } else {
            EXPECT_TRUE(n.empty());
        }
        pos = -5;
        DataSourceDescriptor q = Desc(st.source);
        HRESULT hr = s.db->GetDataSourcePosition(&q, &pos);
        if (st.position >= 0) {
            EXPECT_EQ(S_OK, hr);
            EXPECT_EQ(st.position, pos) << st.code;
        }
        VARIANT v;
        VariantInit(&v);
        DataSourceDescriptor r = Desc(st.source, "Amount", 0, 1);
        EXPECT_EQ(st.read, s.db->GetDataSourceFieldValue(&r, &v)) << st.code;
        if (FAILED(st.read)) {
            EXPECT_EQ(VT_EMPTY, V_VT(&v));
        }
        VariantClear(&v);
    }
    // The never-opened table opens at its last record.
    DataSourceDescriptor q = Desc("Staff");
    ASSERT_EQ(S_OK, s.db->GetDataSourcePosition(&q, &pos));
    EXPECT_EQ(2, pos);
}

TEST(DBCore, ValuesComeInTheLayersTypes) {
    OpenStaff s;
    struct {
        const char* field;
        LONG position;
        VARTYPE type;
    } rows[] = {{"ID", 0, VT_I4},
                {"Name", 1, VT_BSTR},
                {"Salary", 0, VT_R8},
                {"Hired", 1, VT_DATE},
                {"Photo", 0, VT_ARRAY | VT_UI1},
                {"Note", 1, VT_NULL},
                {"Active", 0, VT_BOOL},
                {"Pay", 0, VT_CY}};
    for (const auto& r : rows) {
        DataSourceDescriptor d = Desc("Staff", r.field, r.position);
        VARIANT v;
        VariantInit(&v);
        ASSERT_EQ(S_OK, s.db->GetDataSourceFieldValue(&d, &v)) << r.field;
        EXPECT_EQ(r.type, V_VT(&v)) << r.field;
        VariantClear(&v);
    }
    // A text is ANSI bytes in the BSTR.
    DataSourceDescriptor d = Desc("Staff", "Name", 1);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldValue(&d, &v));
    EXPECT_EQ(3u, SysStringByteLen(V_BSTR(&v)));
    EXPECT_EQ(0, memcmp(V_BSTR(&v), "Bob", 3));
    VariantClear(&v);
    // Field types: the photo reports its media type, a missing one 1030.
    int type = 0;
    DataSourceDescriptor photo = Desc("Staff", "Photo");
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldType(&photo, &type));
    EXPECT_EQ(1024, type);
    DataSourceDescriptor star = Desc("Staff", "*");
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldType(&star, &type));
    EXPECT_EQ(-1, type);
    int flag = 7;
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldLinkFlag(&photo, &flag));
    EXPECT_EQ(1, flag);
    DataSourceDescriptor name = Desc("Staff", "Name");
    EXPECT_EQ(E_FAIL, s.db->GetDataSourceFieldLinkFlag(&name, &flag));
    EXPECT_EQ(0, flag);
    int fields = 0;
    DataSourceDescriptor rich = Desc("Rich");
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldCount(&rich, &fields));
    EXPECT_EQ(8, fields);
    EXPECT_EQ(1, rich.isQuery);
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldName(&rich, 1));
    EXPECT_STREQ("Name", rich.fieldName);
    DataSourceDescriptor none = Desc("Nothing");
    EXPECT_EQ(E_FAIL, s.db->GetDataSourceFieldCount(&none, &fields));
}

TEST(DBCore, RowDeletedByAnotherCoreReadsAsDeletedWithANotice) {
    OpenStaff a;
    FakeSite siteB;
    NoticeWindow windowB;
    CComPtr<IDBCore> b = NewDatabase();
    ASSERT_EQ(S_OK, b->InitDataBase(a.path.c_str(), "", "", 0, &siteB, windowB.Handle()));
    VARIANT v;
    VariantInit(&v);
    DataSourceDescriptor read = Desc("Staff", "Name", 1, 0, "Label1");
    ASSERT_EQ(S_OK, b->GetDataSourceFieldValue(&read, &v));
    VariantClear(&v);
    windowB.Drain(b);
    // Core A deletes Bob.
    DataSourceDescriptor del = Desc("Staff", "", 1);
    int count = 0;
    ASSERT_EQ(S_OK, a.db->GetDataSourceRecordCount(&del, &count));
    ASSERT_EQ(S_OK, a.db->DeleteDataSourceRecord(&del));
    std::vector<DataSourceNotice> na = a.Notices();
    ASSERT_EQ(1u, na.size());
    EXPECT_EQ(1, na[0].kind);
    EXPECT_EQ(DB_E_RECORD_DELETED, b->GetDataSourceFieldValue(&read, &v));
    EXPECT_EQ(VT_EMPTY, V_VT(&v));
    std::vector<DataSourceNotice> nb = windowB.Drain(b);
    ASSERT_EQ(1u, nb.size());
    EXPECT_EQ(1, nb[0].kind);
    EXPECT_STREQ("Staff", nb[0].sourceName);
    EXPECT_STREQ("Name", nb[0].fieldName);
    EXPECT_STREQ("Label1", nb[0].objectName);
    ASSERT_EQ(S_OK, b->GetDataSourceRecordCount(&read, &count));
    EXPECT_EQ(2, count);
    // The same position now holds Cid.
    ASSERT_EQ(S_OK, b->GetDataSourceFieldValue(&read, &v));
    EXPECT_EQ(0, memcmp(V_BSTR(&v), "Cid", 3));
    VariantClear(&v);
}

TEST(DBCore, UpdatesAndAddsPostNoticesAndReportLinkedNames) {
    OpenStaff s;
    FieldValuePair pairs[2];
    memset(pairs, 0, sizeof(pairs));
    strcpy(pairs[0].fieldName, "Name");
    V_VT(&pairs[0].value) = VT_BSTR;
    V_BSTR(&pairs[0].value) = SysAllocStringByteLen("Ada", 3);
    strcpy(pairs[1].fieldName, "Photo");
    pairs[1].linkFlag = 1;
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 8);
    memcpy(a->pvData, "ada.png", 8);
    V_VT(&pairs[1].value) = VT_ARRAY | VT_UI1;
    V_ARRAY(&pairs[1].value) = a;
    DataSourceDescriptor d = Desc("Staff", "", 0, 0, "Obj");
    ASSERT_EQ(S_OK, s.db->UpdateDataSourceRecord(&d, pairs, 2));
    std::vector<DataSourceNotice> n = s.Notices();
    ASSERT_EQ(1u, n.size());
    EXPECT_EQ(3, n[0].kind);
    EXPECT_EQ(std::vector<std::string>{"ann.png"}, s.site.media.removed);
    EXPECT_EQ(std::vector<std::string>{"ada.png"}, s.site.media.stored);
    // Adding needs the open recordset (the update opened it).
    ASSERT_EQ(S_OK, s.db->AddDataSourceRecord(&d, pairs, 1));
    n = s.Notices();
    ASSERT_EQ(1u, n.size());
    EXPECT_EQ(2, n[0].kind);
    int count = 0;
    ASSERT_EQ(S_OK, s.db->GetDataSourceRecordCount(&d, &count));
    EXPECT_EQ(4, count);
    // Past the end: refused without touching the engine.
    DataSourceDescriptor past = Desc("Staff", "", 4);
    EXPECT_EQ(DB_E_FAILED, s.db->UpdateDataSourceRecord(&past, pairs, 1));
    // Refused counts and arrays.
    EXPECT_EQ(DB_E_FAILED, s.db->UpdateDataSourceRecord(&d, pairs, 0));
    EXPECT_EQ(DB_E_FAILED, s.db->UpdateDataSourceRecord(&d, pairs, -2));
    EXPECT_EQ(DB_E_FAILED, s.db->AddDataSourceRecord(&d, nullptr, 1));
    // Adding to a table whose recordset was never opened fails.
    DataSourceDescriptor orders = Desc("Orders");
    FieldValuePair amount;
    memset(&amount, 0, sizeof(amount));
    strcpy(amount.fieldName, "Amount");
    V_VT(&amount.value) = VT_I4;
    V_I4(&amount.value) = 1;
    EXPECT_EQ(DB_E_FAILED, s.db->AddDataSourceRecord(&orders, &amount, 1));
    EXPECT_TRUE(s.Notices().empty());
    VariantClear(&pairs[0].value);
    VariantClear(&pairs[1].value);
}

// Pairs that name one linked field twice: the record holds the last one's
// name, and only that is reported as stored, once.
TEST(DBCore, AFieldNamedTwiceReportsTheNameItHolds) {
    OpenStaff s;
    auto linked = [](FieldValuePair* p, const char* field, const char* name, int flag) {
        memset(p, 0, sizeof(*p));
        strcpy(p->fieldName, field);
        p->linkFlag = flag;
        SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, (ULONG)strlen(name) + 1);
        memcpy(a->pvData, name, strlen(name) + 1);
        V_VT(&p->value) = VT_ARRAY | VT_UI1;
        V_ARRAY(&p->value) = a;
    };
    struct {
        const char* names[3];
        int flags[3];
        int count;
        std::vector<std::string> stored;
    } cases[] = {
        {{"one.png", "two.png"}, {1, 1}, 2, {"two.png"}},
        {{"one.png", "one.png"}, {1, 1}, 2, {"one.png"}},
        {{"one.png", "two.png", "three.png"}, {1, 1, 1}, 3, {"three.png"}},
        // The last value is content, not a linked name.
        {{"one.png", "content"}, {1, 0}, 2, {}},
    };
    const char* spellings[] = {"Photo", "PHOTO", "photo"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names[c.count - 1]);
        FieldValuePair pairs[3];
        for (int i = 0; i < c.count; ++i) linked(&pairs[i], spellings[i], c.names[i], c.flags[i]);
        s.site.media.stored.clear();
        s.site.media.removed.clear();
        DataSourceDescriptor d = Desc("Staff", "", 0);
        ASSERT_EQ(S_OK, s.db->UpdateDataSourceRecord(&d, pairs, c.count));
        EXPECT_EQ(c.stored, s.site.media.stored);
        s.site.media.stored.clear();
        ASSERT_EQ(S_OK, s.db->AddDataSourceRecord(&d, pairs, c.count));
        EXPECT_EQ(c.stored, s.site.media.stored);
        for (int i = 0; i < c.count; ++i) VariantClear(&pairs[i].value);
    }
    s.Notices();
}

TEST(DBCore, APasswordWithSemicolonsOpens) {
    TempFolder dir;
    std::string path = dir.File("semi.mvb");
    std::string password = "a;b=c;\xC4\xE3";
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Password(Utf8OfAnsi(password));
    }
    // A refused password would ask 57772: Cancel ends the open.
    BoxLog boxes;
    BoxLog::Answers() = {IDCANCEL};
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    EXPECT_EQ(S_OK,
              db->InitDataBase(path.c_str(), "", password.c_str(), 0, &site, window.Handle()));
    EXPECT_TRUE(BoxLog::Texts().empty());
}

TEST(DBCore, WrongTypesAndOverlongTextsAreResults) {
    BoxLog boxes;
    OpenStaff s;
    FieldValuePair p;
    memset(&p, 0, sizeof(p));
    strcpy(p.fieldName, "Name");
    std::string longText(30, 'z');  // Name is TEXT(20)
    V_VT(&p.value) = VT_BSTR;
    V_BSTR(&p.value) = SysAllocStringByteLen(longText.data(), (UINT)longText.size());
    DataSourceDescriptor d = Desc("Staff");
    EXPECT_EQ(DB_E_FAILED, s.db->UpdateDataSourceRecord(&d, &p, 1));
    VariantClear(&p.value);
    strcpy(p.fieldName, "ID");
    V_VT(&p.value) = VT_BSTR;
    V_BSTR(&p.value) = SysAllocStringByteLen("abc", 3);
    EXPECT_EQ(DB_E_FAILED, s.db->UpdateDataSourceRecord(&d, &p, 1));
    VariantClear(&p.value);
    strcpy(p.fieldName, "NoSuchField");
    V_VT(&p.value) = VT_I4;
    EXPECT_EQ(DB_E_FAILED, s.db->UpdateDataSourceRecord(&d, &p, 1));
    ASSERT_EQ(3u, BoxLog::Texts().size());
    EXPECT_NE(std::string::npos, BoxLog::Texts()[0].find("too small"));
    EXPECT_NE(std::string::npos, BoxLog::Texts()[1].find("conversion"));
    EXPECT_NE(std::string::npos, BoxLog::Texts()[2].find("Item not found"));
    EXPECT_TRUE(s.Notices().empty());
}

TEST(DBCore, QueryParametersComeFromTheEvaluator) {
    OpenStaff s;
    s.site.evaluator.SetText("Who", L"Cid");
    DataSourceDescriptor d = Desc("ByName", "Salary", 0);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, s.db->GetDataSourceFieldValue(&d, &v));
    EXPECT_EQ(VT_R8, V_VT(&v));
    EXPECT_EQ(1500.0, V_R8(&v));
    EXPECT_EQ(std::vector<std::string>{"Who"}, s.site.evaluator.asked);
    int count = 0;
    ASSERT_EQ(S_OK, s.db->GetDataSourceRecordCount(&d, &count));
    EXPECT_EQ(1, count);
    // A join is read-only; its rows are there.
    DataSourceDescriptor t = Desc("Totals", "Total", 0);
    ASSERT_EQ(S_OK, s.db->GetDataSourceRecordCount(&t, &count));
    EXPECT_EQ(2, count);
}

TEST(DBCore, OldQueryParametersReadTheNamedObjectsMember) {
    TempFolder dir;
    std::string path = dir.File("old.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Query("Pick", "SELECT Name FROM Staff WHERE Name = [Edit1] OR Name = [Memo1]");
        w.Property("Pick", "", "OLD_QRY", 1);
    }
    struct {
        DWORD kind;
        const char* expression;
    } kinds[] = {{0x2020004, "Edit1.ObjValue"},
                 {0x2020005, "Edit1.ObjValue"},
                 {0x10000, "Edit1.ObjContent"}};
    for (const auto& k : kinds) {
        FakeSite site;
        NoticeWindow window;
        site.kinds["Edit1"] = k.kind;
        site.kinds["Memo1"] = 0x10000;
        site.evaluator.SetText(k.expression, L"Bob");
        CComPtr<IDBCore> db = NewDatabase();
        ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
        DataSourceDescriptor d = Desc("Pick", "Name");
        VARIANT v;
        VariantInit(&v);
        ASSERT_EQ(S_OK, db->GetDataSourceFieldValue(&d, &v)) << k.kind;
        EXPECT_EQ(0, memcmp(V_BSTR(&v), "Bob", 3));
        VariantClear(&v);
        ASSERT_EQ(2u, site.evaluator.asked.size());
        EXPECT_EQ(k.expression, site.evaluator.asked[0]);
        EXPECT_EQ("Memo1.ObjContent", site.evaluator.asked[1]);
    }
    // An object of another kind makes the query unavailable.
    FakeSite site;
    NoticeWindow window;
    site.kinds["Edit1"] = 0x30000;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    DataSourceDescriptor d = Desc("Pick", "Name");
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(E_FAIL, db->GetDataSourceFieldValue(&d, &v));
    // A throwing evaluator fails the query and is logged.
    LogCapture log;
    site.kinds["Edit1"] = 0x2020004;
    site.evaluator.throws = true;
    CComPtr<IDBCore> db2 = NewDatabase();
    ASSERT_EQ(S_OK, db2->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    EXPECT_EQ(E_FAIL, db2->GetDataSourceFieldValue(&d, &v));
    EXPECT_LOGGED(log, "In CDBCore::PrepareQryParam call pICal->Evaluate failed: 'Edit1.ObjValue'");
}

TEST(DBCore, TextConversions) {
    CComPtr<IDBCore> db = NewDatabase();
    // The library's strings come from its own resources.
    EXPECT_EQ("BLINK", DBLoadString(57658));
    EXPECT_EQ(DBAnsi("假"), DBLoadString(57781));
    EXPECT_EQ(DBAnsi("数据库错误的密码,是否重新输入?"), DBLoadString(57772));
    struct {
        VARTYPE vt;
        double number;
        int fieldType;
        const char* utf8;  // expected text (UTF-8), null: no text
        int flag;
    } rows[] = {{VT_CY, 3.25, 5, "3.250", 0},
                {VT_CY, 12, 5, "12.000", 0},
                {VT_DATE, 36525, 8, "1999/12/31", 0},
                {VT_DATE, 38051, 8, "2004/03/05", 0},
                {VT_BOOL, 0, 1, "假", 0},
                {VT_BOOL, -1, 1, "真", 0},
                {VT_I2, -7, 3, "-7", 0},
                {VT_R8, 1.5, 7, "1.500000", 0},
                {VT_UI1, 200, 2, "200", 0},
                {VT_I1, 1, 2, "VT_I1", 1},
                {VT_EMPTY, 0, 10, nullptr, 0},
                {VT_EMPTY, 0, 1024, "图片", 1},
                {VT_EMPTY, 0, 1030, "二进制数据流", 1}};
    for (const auto& r : rows) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = r.vt;
        if (r.vt == VT_CY)
            VarCyFromR8(r.number, &V_CY(&v));
        else if (r.vt == VT_DATE)
            V_DATE(&v) = r.number;
        else if (r.vt == VT_BOOL)
            V_BOOL(&v) = r.number ? VARIANT_TRUE : VARIANT_FALSE;
        else if (r.vt == VT_I2)
            V_I2(&v) = (SHORT)r.number;
        else if (r.vt == VT_R8)
            V_R8(&v) = r.number;
        else if (r.vt == VT_UI1 || r.vt == VT_I1)
            V_UI1(&v) = (BYTE)r.number;
        char* text = (char*)1;
        int flag = -1;
        HRESULT hr = db->VariantToTextBuffer(&v, &text, r.fieldType, &flag);
        if (r.utf8) {
            ASSERT_EQ(S_OK, hr) << r.utf8;
            EXPECT_EQ(DBAnsi(r.utf8), std::string(text));
            db->FreeDBBlock(text);
        } else {
            EXPECT_EQ(E_FAIL, hr);
        }
        EXPECT_EQ(r.flag, flag);
    }
    // A memo's null value: success, and the caller's pointer is left alone.
    VARIANT memo;
    V_VT(&memo) = VT_NULL;
    char* untouched = (char*)&memo;
    int flag = 0;
    EXPECT_EQ(S_OK, db->VariantToTextBuffer(&memo, &untouched, 12, &flag));
    EXPECT_EQ((char*)&memo, untouched);
    EXPECT_EQ(1, flag);
    // No database is open to change the password of.
    EXPECT_EQ(E_FAIL, db->ChangeDatabasePassword("a", "b"));
    // No old file to convert.
    EXPECT_EQ(E_FAIL, db->CreateMediaTypeDef("a", "b", nullptr));
    // The editing clients' slots: no sheet gives E_FAIL; the view slot keeps
    // nothing, and no toolbar is nothing to load.
    EXPECT_EQ(E_FAIL, db->AddDatabasePage(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, db->AttachDatabaseView(nullptr));
    EXPECT_EQ(S_OK, db->LoadDatabaseToolBar(nullptr));
    EXPECT_EQ(S_OK, db->Reserved5());
    // Without InitDataBase every data-source slot fails instead of crashing.
    DataSourceDescriptor none = Desc("Staff");
    int n = 0;
    EXPECT_EQ(E_FAIL, db->GetDataSourceRecordCount(&none, &n));
    EXPECT_EQ(E_FAIL, db->MoveDataSource(&none));
    EXPECT_EQ(E_FAIL, db->GetDataSourceCount(&n));
    // Text to VARIANT.
    VARIANT v;
    ASSERT_EQ(S_OK, db->TextToVariant(&v, "7x", 4));
    EXPECT_EQ(VT_I4, V_VT(&v));
    EXPECT_EQ(7, V_I4(&v));
    ASSERT_EQ(S_OK, db->TextToVariant(&v, "abc", 4));
    EXPECT_EQ(0, V_I4(&v));
    ASSERT_EQ(S_OK, db->TextToVariant(&v, DBAnsi("否").c_str(), 1));
    EXPECT_EQ(VARIANT_FALSE, V_BOOL(&v));
    ASSERT_EQ(S_OK, db->TextToVariant(&v, "No", 1));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&v));
    ASSERT_EQ(S_OK, db->TextToVariant(&v, "2004/3/5", 8));
    EXPECT_EQ(VT_DATE, V_VT(&v));
    EXPECT_EQ(38051.0, V_DATE(&v));
    // Impossible dates give nothing (not 1899-12-30).
    for (const char* bad : {"2004/13/5", "2004/2/30", "abc", "2004/0/0"})
        EXPECT_EQ(E_FAIL, db->TextToVariant(&v, bad, 8)) << bad;
    EXPECT_EQ(E_FAIL, db->TextToVariant(&v, "x", 11));
    EXPECT_EQ(E_FAIL, db->TextToVariant(&v, nullptr, 4));
}

TEST(DBCore, SafeArrayToTextReadsWithinTheArray) {
    struct {
        const char* bytes;
        int size;
        int linkFlag;
        const char* text;
    } rows[] = {
        {"abc", 3, 1, "abc"},  // no NUL: stops at the array's end
        {"ab\0cd", 5, 1, "ab"},
        {"\x03\0\0\0xyz", 7, 0, "xyz"},  // embedded: the name behind the length
        {"\x03\0", 2, 0, ""},            // shorter than the length word
        {"", 0, 1, ""},
    };
    for (const auto& r : rows) {
        VARIANT v;
        V_VT(&v) = VT_ARRAY | VT_UI1;
        V_ARRAY(&v) = SafeArrayCreateVector(VT_UI1, 0, (ULONG)r.size);
        if (r.size)
            memcpy(V_ARRAY(&v)->pvData, r.bytes, (size_t)r.size);
        std::string text = "unchanged";
        EXPECT_EQ(1, CDBCore::SafeArrayToText(&v, r.linkFlag, &text));
        EXPECT_EQ(std::string(r.text), text);
        VariantClear(&v);
    }
    VARIANT v;
    V_VT(&v) = VT_ARRAY | VT_UI1;
    V_ARRAY(&v) = nullptr;
    std::string text;
    EXPECT_EQ(0, CDBCore::SafeArrayToText(&v, 1, &text));
}

TEST(DBCore, ProcessCoreIsClearedWithItsCore) {
    OpenStaff s;
    EXPECT_NE(nullptr, GetDBCore());
    s.db.Release();
    EXPECT_EQ(nullptr, GetDBCore());
}

TEST(DBCore, WrongPasswordAsksAgainThenOpensWithThePromptsText) {
    TempFolder dir;
    std::string path = dir.File("locked.mvb");
    {
        MvbWriter w(path);
        WriteStaff(w);
        w.Password("secret");
    }
    BoxLog boxes;
    static std::vector<std::string> typed;
    typed = {"wrong", "secret"};
    PFNDIALOGHANDLER old = SetDialogHandler([](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(271, id);
        SetDlgItemTextA(dlg, 284, typed.front().c_str());
        typed.erase(typed.begin());
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        return IDCANCEL;  // the dialog's own result wins
    });
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    EXPECT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "bad", 0, &site, window.Handle()));
    SetDialogHandler(old);
    // Two wrong passwords, each asked about with 57772, no engine text.
    ASSERT_EQ(2u, BoxLog::Texts().size());
    EXPECT_EQ(DBLoadString(57772), BoxLog::Texts()[0]);
    EXPECT_EQ(DBLoadString(57772), BoxLog::Texts()[1]);
    EXPECT_TRUE(typed.empty());
    int count = 0;
    DataSourceDescriptor d = Desc("Staff");
    EXPECT_EQ(S_OK, db->GetDataSourceRecordCount(&d, &count));
    EXPECT_EQ(3, count);
    // Cancel ends the open.
    BoxLog cancel;
    BoxLog::Answers() = {IDCANCEL};
    CComPtr<IDBCore> db2 = NewDatabase();
    EXPECT_EQ(DB_E_FAILED, db2->InitDataBase(path.c_str(), "", "bad", 0, &site, window.Handle()));
    EXPECT_EQ(1u, BoxLog::Texts().size());
}

TEST(DBCore, ReadOnlyFileOpensAfterTheFallbackAndRefusesWrites) {
    OpenStaff first;
    std::string path = first.dir.File("ro.mvb");
    ASSERT_TRUE(CopyFileA(first.path.c_str(), path.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    BoxLog boxes;
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    EXPECT_TRUE(BoxLog::Texts().empty());
    DataSourceDescriptor d = Desc("Staff", "Name", 0);
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(S_OK, db->GetDataSourceFieldValue(&d, &v));
    VariantClear(&v);
    FieldValuePair p;
    memset(&p, 0, sizeof(p));
    strcpy(p.fieldName, "Salary");
    V_VT(&p.value) = VT_I4;
    V_I4(&p.value) = 5;
    EXPECT_EQ(DB_E_FAILED, db->UpdateDataSourceRecord(&d, &p, 1));
    EXPECT_EQ(E_FAIL, db->DeleteDataSourceRecord(&d));
    db.Release();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(DBCore, BadFilesGiveResults) {
    TempFolder dir;
    struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"empty.mvb", std::string()},
        {"text.mvb", std::string("not a database at all, just words")},
        // A valid SQLite header with its page size field (bytes 16-17) zero.
        {"header.mvb", std::string("SQLite format 3\0", 16) + std::string(84, '\0')},
    };
    for (const auto& f : files) {
        std::string path = dir.File(f.name);
        ASSERT_TRUE(WriteFileBytes(path, f.bytes));
        BoxLog boxes;
        FakeSite site;
        NoticeWindow window;
        CComPtr<IDBCore> db = NewDatabase();
        HRESULT hr = db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle());
        EXPECT_EQ(DB_E_FAILED, hr) << f.name;
        ASSERT_EQ(1u, BoxLog::Texts().size()) << f.name;
        EXPECT_NE(std::string::npos, BoxLog::Texts()[0].find("Unrecognized database format"));
    }
    BoxLog boxes;
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    EXPECT_EQ(DB_E_FAILED,
              db->InitDataBase(dir.File("missing.mvb").c_str(), "", "", 0, &site, window.Handle()));
    // A file that cannot be created.
    LogCapture log;
    EXPECT_EQ(DB_E_FAILED, db->InitDataBase(dir.File("missing\\new.mvb").c_str(), "wg", "", 1,
                                            &site, window.Handle()));
    EXPECT_LOGGED(log, "Initial DB (create db single) fail: ");
}

TEST(DBCore, NonAsciiPathsOpen) {
    TempFolder dir;
    // GBK bytes of a Chinese name; any code page maps them to some name.
    std::string path = dir.File("\xC4\xE3\xBA\xC3.mvb");
    StaffFile(path);
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    int count = 0;
    DataSourceDescriptor d = Desc("Staff");
    EXPECT_EQ(S_OK, db->GetDataSourceRecordCount(&d, &count));
    EXPECT_EQ(3, count);
}

TEST(DBCore, ExclusiveOpenRefusesASecond) {
    OpenStaff s(DB_INIT_EXCLUSIVE);
    BoxLog boxes;
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    // The fallback (exclusive, read-only) is refused too.
    EXPECT_EQ(DB_E_FAILED, db->InitDataBase(s.path.c_str(), "", "", 0, &site, window.Handle()));
    EXPECT_EQ(1u, BoxLog::Texts().size());
}

TEST(DBCore, MultiUserLoginIsCheckedAgainstTheWorkgroup) {
    TempFolder dir;
    std::string path = StaffFile(dir.File("multi.mvb"));
    std::string wg = dir.File("system.mdw");
    WriteWorkgroup(wg, {{"teacher", "chalk"}});
    BoxLog boxes;
    static int logins;
    logins = 0;
    PFNDIALOGHANDLER old = SetDialogHandler([](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(259, id);
        // The login opens with OK disabled; a name enables it.
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        SetDlgItemTextA(dlg, 233, "teacher");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        SetDlgItemTextA(dlg, 234, ++logins == 1 ? "wrong" : "chalk");
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        return IDOK;
    });
    FakeSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    EXPECT_EQ(S_OK, db->InitDataBase(path.c_str(), wg.c_str(), "", DB_INIT_MULTIUSER, &site,
                                     window.Handle()));
    SetDialogHandler(old);
    EXPECT_EQ(2, logins);
    // The engine's text, then 57772.
    ASSERT_EQ(2u, BoxLog::Texts().size());
    EXPECT_NE(std::string::npos, BoxLog::Texts()[0].find("account"));
    EXPECT_EQ(DBLoadString(57772), BoxLog::Texts()[1]);
}
