// The core's design operations as the manager windows call them: table
// design, indexes, relations, queries, names, SQL text, external tables,
// linked-table connections and copies of another database; boxes recorded
// through the seam.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "DBTestSite.h"
#include "DbfWriter.h"
#include "MvbWriter.h"
#include "TestFiles.h"
#include "aBaseCore.h"
#include "aDBModule.h"
#include "bMsgBox.h"
#include "sqlite3.h"
#include "WrittenDatabase.h"

namespace {

struct Boxes {
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> t;
        return t;
    }
    static int Handler(HWND, const char* text, const char*, UINT) {
        Texts().push_back(text ? text : "");
        return IDOK;
    }
    PFNMESSAGEBOXHANDLER old;
    Boxes() {
        Texts().clear();
        old = SetMessageBoxHandler(Handler);
    }
    ~Boxes() { SetMessageBoxHandler(old); }
    // Whether a box held the engine's text for a number.
    static bool Shown(long number) {
        std::string text;
        try {
            ThrowDbError(number);
        } catch (const CdbException& e) {
            text = e.Description();
        }
        for (const std::string& t : Texts())
            if (t.find(text) != std::string::npos)
                return true;
        return false;
    }
};

// A media manager that knows one path for every linked table.
class PathMedia : public FakeMedia {
public:
    STDMETHOD(GetMediaFilePath)(const char* name, int, char* path, int length) override {
        asked.push_back(name);
        std::string given = only.empty() || only == name ? answer : std::string();
        lstrcpynA(path, given.c_str(), length);
        return given.empty() ? E_FAIL : S_OK;
    }
    STDMETHOD(IsMediaName)(const char* name) override { return taken == name ? 0 : 1; }
    std::string answer;
    std::string only;   // the one table it knows, when set
    std::string taken;  // a media item's name
    std::vector<std::string> asked;
};

class PathSite : public FakeSite {
public:
    STDMETHOD(GetMediaManager)(IMediaManager** out) override {
        *out = &paths;
        return S_OK;
    }
    PathMedia paths;
};

std::string Scalar(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(SQLITE_OK,
              sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr)) << sql;
    std::string out;
    if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0))
        out = (const char*)sqlite3_column_text(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

std::vector<std::string> Names(char** names, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(names[i]);
    CDBCore::FreeNameArray(names, count);
    return out;
}

TableFieldSpec Spec(const char* name, int type, int link = 0) {
    TableFieldSpec s;
    s.name = name;
    s.type = type;
    s.linkFlag = link;
    return s;
}

// An open database through IDBCore with its core; the file starts with the
// catalogue only, unless a writer fills it.
struct Open : WrittenDatabase<PathSite> {
    explicit Open(void (*fill)(MvbWriter&) = nullptr, const std::string& name = "d.mvb")
        : WrittenDatabase(fill, name) {}
    int Records(const char* table) {
        DataSourceDescriptor d = Desc(table);
        int n = -1;
        EXPECT_EQ(S_OK, db->GetDataSourceRecordCount(&d, &n));
        return n;
    }
    void Exec(const std::string& sql) { Core()->GetDatabase()->Connection()->Exec(sql); }
};

// Class(ID, Name) keyed on ID, classes 1-3; Pupil(PID, Name, ClassID) with
// pupils 1-3 in class 2 and 4 in class 1; made through the core.
void BuildSchool(Open& o, long attributes) {
    CDBCore* c = o.Core();
    TableFieldSpec id = Spec("ID", 1), name = Spec("Name", 6), pid = Spec("PID", 1),
                   cls = Spec("ClassID", 1);
    ASSERT_EQ(1, c->CreateTable({&id, &name}, "Class"));
    ASSERT_EQ(1, c->CreateTable({&pid, &name, &cls}, "Pupil"));
    IndexFieldSpec key;
    key.name = "ID";
    ASSERT_EQ(1, c->CreateIndex("Class", "PrimaryKey", 1, {&key}));
    o.Exec("INSERT INTO Class VALUES (1, 'a'), (2, 'b'), (3, 'c')");
    o.Exec("INSERT INTO Pupil VALUES (1, 'p', 2), (2, 'q', 2), (3, 'r', 2), (4, 's', 1)");
    RelationFieldSpec pair;
    pair.name = "ID";
    pair.foreignName = "ClassID";
    ASSERT_EQ(1, c->CreateRelation("ClassPupil", "Class", "Pupil", {&pair}, attributes));
}

}  // namespace

TEST(DBDesign, CreateTableReportsARefusedFieldAndKeepsTheOthers) {
    Open o;
    Boxes boxes;
    TableFieldSpec a = Spec("Name", 6), b = Spec("Room", 1), c = Spec("Photo", 8, 1),
                   d = Spec("Name", 6);
    ASSERT_EQ(1, o.Core()->CreateTable({&a, &b, &c, &d}, "Class"));
    ASSERT_EQ(2u, Boxes::Texts().size());
    EXPECT_TRUE(Boxes::Shown(3367));
    EXPECT_EQ(DBAnsi("创建Name失败"), Boxes::Texts()[1]);
    DataSourceDescriptor desc = Desc("Class");
    int count = 0;
    ASSERT_EQ(S_OK, o.db->GetDataSourceFieldCount(&desc, &count));
    EXPECT_EQ(3, count);
    DataSourceDescriptor photo = Desc("Class", "Photo");
    int type = 0, link = 0;
    EXPECT_EQ(S_OK, o.db->GetDataSourceFieldType(&photo, &type));
    EXPECT_EQ(1024, type);
    EXPECT_EQ(S_OK, o.db->GetDataSourceFieldLinkFlag(&photo, &link));
    EXPECT_EQ(1, link);
    EXPECT_EQ(0, o.Core()->IndexOfEntry("Class", 0));
    EXPECT_EQ(-1, o.Core()->IndexOfEntry("class", 0));  // byte for byte
    // A type code outside 1 to 13 is the engine's refusal, then the box.
    Boxes again;
    TableFieldSpec bad = Spec("X", 14), good = Spec("Y", 2);
    EXPECT_EQ(1, o.Core()->CreateTable({&bad, &good}, "Other"));
    EXPECT_TRUE(Boxes::Shown(3259));
}

TEST(DBDesign, FieldsAddedInPlaceAndReplacedWithTheirValues) {
    Open o;
    CDBCore* c = o.Core();
    TableFieldSpec name = Spec("Name", 6), room = Spec("Room", 1);
    ASSERT_EQ(1, c->CreateTable({&name, &room}, "Class"));
    o.Exec("INSERT INTO Class VALUES ('a', 12), ('b', 7)");
    TableFieldSpec code = Spec("Code", 1);
    ASSERT_EQ(1, c->AddTableField("Class", &code, 0));
    DataSourceDescriptor d = Desc("Class");
    ASSERT_EQ(S_OK, o.db->GetDataSourceFieldName(&d, 0));
    EXPECT_STREQ("Code", d.fieldName);
    TableFieldSpec text = Spec("Room", 6);
    ASSERT_EQ(1, c->ReplaceTableField("Class", "Room", &text));
    ASSERT_EQ(S_OK, o.db->GetDataSourceFieldName(&d, 2));
    EXPECT_STREQ("Room", d.fieldName);
    EXPECT_EQ("12,7", Scalar(o.path, "SELECT group_concat(Room) FROM Class"));
    EXPECT_EQ("TEXT(255)", Scalar(o.path,
                                  "SELECT type FROM pragma_table_info('Class') WHERE "
                                  "name = 'Room'"));
    // Media kinds get their properties when added or replaced.
    TableFieldSpec movie = Spec("Movie", 10, 1);
    ASSERT_EQ(1, c->ReplaceTableField("Class", "Name", &movie));
    DataSourceDescriptor m = Desc("Class", "Movie");
    int type = 0;
    EXPECT_EQ(S_OK, o.db->GetDataSourceFieldType(&m, &type));
    EXPECT_EQ(1026, type);
    Boxes boxes;
    EXPECT_EQ(0, c->AddTableField("Class", &code, -1));
    EXPECT_TRUE(Boxes::Shown(3367));
    ASSERT_EQ(1, c->RenameTableField("Class", "Code", "Number"));
    ASSERT_EQ(1, c->DropTableField("Class", "Number"));
    char** names = nullptr;
    int count = 0;
    ASSERT_EQ(1, c->GetQueryFieldInfo("Class", 0, &names, &count));
    EXPECT_EQ((std::vector<std::string>{"Movie", "Room"}), Names(names, count));
}

TEST(DBDesign, RelationsCascadeOrRefuseThroughTheCoresWrites) {
    struct {
        long attributes;
        HRESULT deleted;
        int pupilsLeft;
        bool refusal;
    } cases[] = {{0x1000, S_OK, 1, false}, {0, E_FAIL, 4, true}};
    for (const auto& c : cases) {
        Open o;
        BuildSchool(o, c.attributes);
        SCOPED_TRACE(c.attributes);
        ASSERT_EQ(3, o.Records("Class"));
        Boxes boxes;
        DataSourceDescriptor second = Desc("Class", "", 1);
        EXPECT_EQ(c.deleted, o.db->DeleteDataSourceRecord(&second));
        EXPECT_EQ(c.refusal, Boxes::Shown(3200));
        EXPECT_EQ(c.pupilsLeft, o.Records("Pupil"));
        EXPECT_EQ(c.refusal ? 3 : 2, o.Records("Class"));
    }
    Open o;
    BuildSchool(o, 0);
    o.Records("Pupil");
    Boxes boxes;
    FieldValuePair pair[2] = {};
    strcpy(pair[0].fieldName, "PID");
    V_VT(&pair[0].value) = VT_I4;
    V_I4(&pair[0].value) = 9;
    strcpy(pair[1].fieldName, "ClassID");
    V_VT(&pair[1].value) = VT_I4;
    V_I4(&pair[1].value) = 99;
    DataSourceDescriptor pupil = Desc("Pupil");
    EXPECT_NE(S_OK, o.db->AddDataSourceRecord(&pupil, pair, 2));
    EXPECT_TRUE(Boxes::Shown(3201));
    V_VT(&pair[1].value) = VT_NULL;
    EXPECT_EQ(S_OK, o.db->AddDataSourceRecord(&pupil, pair, 2));
    EXPECT_EQ(5, o.Records("Pupil"));
    char** names = nullptr;
    int count = -1;
    ASSERT_EQ(1, o.Core()->GetIndexNames("Pupil", &names, &count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(nullptr, names);
    ASSERT_EQ(1, o.Core()->GetRelationFields("ClassPupil", &names, &count, 1));
    EXPECT_EQ(std::vector<std::string>{"ID"}, Names(names, count));
    ASSERT_EQ(1, o.Core()->GetRelationFields("ClassPupil", &names, &count, 0));
    EXPECT_EQ(std::vector<std::string>{"ClassID"}, Names(names, count));
    ASSERT_EQ(1, o.Core()->GetRelationNames(&names, &count));
    EXPECT_EQ(std::vector<std::string>{"ClassPupil"}, Names(names, count));
    EXPECT_EQ(1, o.Core()->DropRelation("ClassPupil"));
    ASSERT_EQ(1, o.Core()->GetRelationNames(&names, &count));
    EXPECT_EQ(0, count);
}

TEST(DBDesign, IndexFlagsReadBackAndTheRequiredBitRefusesNull) {
    Open o;
    BuildSchool(o, 0);
    CDBCore* c = o.Core();
    IndexFieldSpec name;
    name.name = "Name";
    name.descending = 1;
    ASSERT_EQ(1, c->CreateIndex("Pupil", "ByName", 6, {&name}));
    int flag = -1;
    EXPECT_EQ(1, c->IsIndexFieldDescending("Pupil", "ByName", "Name", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(1, c->IsIndexUnique("Pupil", "ByName", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(1, c->IsIndexIgnoreNulls("Pupil", "ByName", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(1, c->IsIndexPrimary("Pupil", "ByName", &flag));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(1, c->IsIndexPrimary("Class", "PrimaryKey", &flag));
    EXPECT_EQ(1, flag);
    char** names = nullptr;
    int count = 0;
    ASSERT_EQ(1, c->GetIndexNames("Pupil", &names, &count));
    EXPECT_EQ(std::vector<std::string>{"ByName"}, Names(names, count));
    ASSERT_EQ(1, c->GetIndexFieldNames("Pupil", "ByName", &names, &count));
    EXPECT_EQ(std::vector<std::string>{"Name"}, Names(names, count));
    Boxes boxes;
    o.Records("Pupil");
    FieldValuePair pair = {};
    strcpy(pair.fieldName, "PID");
    V_VT(&pair.value) = VT_I4;
    V_I4(&pair.value) = 9;
    DataSourceDescriptor pupil = Desc("Pupil");
    EXPECT_NE(S_OK, o.db->AddDataSourceRecord(&pupil, &pair, 1));
    EXPECT_TRUE(Boxes::Shown(3058));
    // An empty field list creates nothing and says nothing.
    Boxes quiet;
    EXPECT_EQ(0, c->CreateIndex("Pupil", "Empty", 0, {}));
    EXPECT_TRUE(Boxes::Texts().empty());
    EXPECT_EQ(0, c->CreateIndex("Pupil", "byname", 0, {&name}));
    EXPECT_TRUE(Boxes::Shown(3284));
    EXPECT_EQ(1, c->DropIndex("Pupil", "ByName"));
}

TEST(DBDesign, DropTableRefusedWhileBrowsedAndCompletedAfterAClosedRecordset) {
    Open o;
    BuildSchool(o, 0);
    CDBCore* c = o.Core();
    TableFieldSpec x = Spec("X", 1);
    ASSERT_EQ(1, c->CreateTable({&x}, "Loose"));
    o.Records("Loose");
    DataSourceEntry* entry = c->FindTableByName("Loose");
    entry->browser = o.window.Handle();
    Boxes boxes;
    DataSourceDescriptor d = Desc("Loose");
    EXPECT_EQ(0, c->DropTable(&d));
    ASSERT_EQ(1u, Boxes::Texts().size());
    EXPECT_EQ(DBLoadString(57677), Boxes::Texts()[0]);
    EXPECT_NE(-1, c->IndexOfEntry("Loose", 0));
    o.Notices();
    entry->browser = nullptr;
    entry->recordset->Close();  // its close now answers 3420
    EXPECT_EQ(1, c->DropTable(&d));
    EXPECT_EQ(-1, c->IndexOfEntry("Loose", 0));
    EXPECT_EQ("", Scalar(o.path, "SELECT name FROM sqlite_master WHERE name = 'Loose'"));
    std::vector<DataSourceNotice> notices = o.Notices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(5, notices[0].kind);
    EXPECT_STREQ("Loose", notices[0].sourceName);
    // A table in a relation is not dropped: the engine's text, entry kept.
    DataSourceDescriptor pupil = Desc("Pupil");
    EXPECT_EQ(0, c->DropTable(&pupil));
    EXPECT_TRUE(Boxes::Shown(3303));
    EXPECT_NE(-1, c->IndexOfEntry("Pupil", 0));
}

TEST(DBDesign, QueriesCreatedRenamedChangedAndDropped) {
    Open o;
    BuildSchool(o, 0);
    CDBCore* c = o.Core();
    ASSERT_EQ(1, c->CreateQuery("SELECT * FROM Pupil", "Visual", 1));
    ASSERT_EQ(1, c->CreateQuery("SELECT * FROM Class", "Typed", 0));
    short flag = -1;
    EXPECT_EQ(1, c->GetQueryTypeFlag("Visual", &flag));
    EXPECT_NE(0, flag);
    EXPECT_EQ(1, c->GetQueryTypeFlag("Typed", &flag));
    EXPECT_EQ(0, flag);
    Boxes boxes;
    EXPECT_EQ(0, c->ChangeQuerySQL("DELETE FROM Pupil", "Typed"));
    ASSERT_EQ(1u, Boxes::Texts().size());
    EXPECT_EQ(DBLoadString(57712), Boxes::Texts()[0]);
    std::string sql;
    EXPECT_EQ(1, c->GetQuerySQL("Typed", &sql));
    EXPECT_EQ("SELECT * FROM Class", sql);
    EXPECT_EQ(0, c->CreateQuery("SELECT 1", "pupil", 0));
    EXPECT_TRUE(Boxes::Shown(3012));
    ASSERT_EQ(1, c->RenameQuery("Typed", "Classes"));
    EXPECT_NE(-1, c->IndexOfEntry("Classes", 1));
    DataSourceDescriptor open = Desc("Classes");
    int rows = 0;
    EXPECT_EQ(S_OK, o.db->GetDataSourceRecordCount(&open, &rows));
    EXPECT_EQ(3, rows);
    c->FindQueryByName("Classes")->recordset->Close();  // its close now answers 3420
    o.Notices();
    DataSourceDescriptor d = Desc("Classes");
    d.isQuery = 1;
    EXPECT_EQ(1, c->DropQuery(&d));
    EXPECT_EQ(-1, c->IndexOfEntry("Classes", 1));
    std::vector<DataSourceNotice> notices = o.Notices();
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(5, notices[0].kind);
    EXPECT_EQ(1, notices[0].isQuery);
}

TEST(DBDesign, ObjectNamesCheckedWithTheirMessages) {
    Open o;
    BuildSchool(o, 0);
    CDBCore* c = o.Core();
    std::string chinese32;
    for (int i = 0; i < 32; ++i) chinese32 += DBAnsi("汉");
    struct {
        std::string name;
        int ok;
        int message;
    } cases[] = {
        {std::string(64, 'a'), 1, 0},
        {std::string(65, 'a'), 0, 57685},
        {chinese32, 1, 0},
        {"1234" + DBAnsi("表"), 1, 0},
        {"a b", 0, 57654},
        {"a-b", 0, 57654},
        {"a.b", 0, 57654},
        {"", 0, 57653},
        {"PUPIL", 0, 57655},
        {"NewOne", 1, 0},
    };
    for (const auto& k : cases) {
        Boxes boxes;
        EXPECT_EQ(k.ok, c->ValidateObjectName(k.name.c_str(), 1, 0)) << k.name;
        if (k.message) {
            ASSERT_EQ(1u, Boxes::Texts().size()) << k.name;
            EXPECT_EQ(DBLoadString(k.message), Boxes::Texts()[0]);
        } else {
            EXPECT_TRUE(Boxes::Texts().empty());
        }
    }
    ASSERT_EQ(1, c->CreateQuery("SELECT 1", "Q", 0));
    Boxes boxes;
    EXPECT_EQ(0, c->ValidateObjectName("q", 1, 0));
    EXPECT_EQ(DBLoadString(57656), Boxes::Texts()[0]);
    EXPECT_EQ(0, c->ValidateObjectName("q", 0, 0));
    EXPECT_EQ(1u, Boxes::Texts().size());
    char** names = nullptr;
    int count = 0;
    ASSERT_EQ(1, c->GetLocalTableNames(&names, &count));
    EXPECT_EQ((std::vector<std::string>{"Class", "Pupil"}), Names(names, count));
}

TEST(DBDesign, ImportNamesAreFreeBoundedAndCutOnWholeCharacters) {
    Open o;
    BuildSchool(o, 0);
    CDBCore* c = o.Core();
    std::string name;
    ASSERT_EQ(1, c->MakeImportName("Class", &name));
    EXPECT_EQ("Class_IMP1", name);
    TableFieldSpec x = Spec("X", 1);
    ASSERT_EQ(1, c->CreateTable({&x}, "Class_IMP1"));
    ASSERT_EQ(1, c->MakeImportName("Class", &name));
    EXPECT_EQ("Class_IMP2", name);
    std::string long62(62, 'n');
    ASSERT_EQ(1, c->MakeImportName(long62.c_str(), &name));
    EXPECT_EQ(std::string(59, 'n') + "_IMP1", name);
    // 31 double-byte characters: cut to 29 of them, never half of one.
    std::string wide;
    for (int i = 0; i < 31; ++i) wide += DBAnsi("汉");
    ASSERT_EQ(1, c->MakeImportName(wide.c_str(), &name));
    EXPECT_EQ(wide.substr(0, 58) + "_IMP1", name);
    // Not well formed: no suffix helps, and the search ends.
    EXPECT_EQ(0, c->MakeImportName("a.b", &name));
    EXPECT_EQ(0, c->MakeImportName("", &name));
    ASSERT_EQ(1, c->MakeImportRelationName("ClassPupil", &name));
    EXPECT_EQ("ClassPupil_IMP1", name);
    EXPECT_EQ(0, c->IsRelationNameFree("ClassPupil"));
    EXPECT_EQ(1, c->IsRelationNameFree("classpupil"));  // exact comparison
    EXPECT_EQ(1, c->AddTreeNode(2, "Class"));
}

TEST(DBDesign, SqlTextOperations) {
    EXPECT_EQ(6, CDBCore::SqlSkipGroup("(a(b)c)", 0));
    EXPECT_EQ(0, CDBCore::SqlSkipGroup("(a(b)c)", 6));
    EXPECT_EQ(-1, CDBCore::SqlSkipGroup("[abc", 0));
    EXPECT_EQ(-1, CDBCore::SqlSkipGroup("abc", 1));
    EXPECT_EQ(3, CDBCore::SqlSkipGroup("\"ab\"", 0));
    struct {
        const char* text;
        char c;
        int at;
    } outside[] = {
        {"[a,b],c", ',', 5}, {"\"x,y\",z", ',', 5},
        {"abc", ',', 3},     {"[a,b", ',', 4},  // unmatched bracket: the end
        {"\"a,b", ',', 4},                      // unmatched quote: the end
        {"(a,b)", ',', 2},                      // parentheses are not skipped
    };
    for (const auto& k : outside) EXPECT_EQ(k.at, CDBCore::SqlFindOutside(k.text, k.c)) << k.text;
    EXPECT_EQ(-1, CDBCore::SqlFindWord("SELECT \" WHERE \" FROM T", " WHERE "));
    EXPECT_EQ(-1, CDBCore::SqlFindWord("SELECT (a WHERE b) FROM T", " WHERE "));
    EXPECT_EQ(15, CDBCore::SqlFindWord("SELECT * FROM T WHERE a", " WHERE "));
    Boxes boxes;
    struct {
        const char* text;
        int type;
        const char* literal;
        bool refused;
    } literals[] = {
        {" 1/2/2000 ", 8, "#1/2/2000#", false},
        {"#2000-01-02#", 8, "#2000-01-02#", false},
        {"#1/2/2000", 8, "Unknown", true},
        {"1/2/2000#) OR (1=1", 8, "Unknown", true},
        {"1/2/2000", 10, "\"1/2/2000\"", false},
        {"\"it\"", 10, "\"it\"", false},
        {"a\"b", 10, "Unknown", true},
        {"12.5", 4, "12.5", false},
        {"-3e2", 7, "-3e2", false},
        {"1 OR 1=1", 4, "Unknown", true},
        {"0x10", 4, "Unknown", true},
        {"True", 1, "True", false},
        {"[Other]", 4, "[Other]", false},
        {"", 4, "", false},
        {"x", 9, "Unknown", true},
        {"x", 1026, "Unknown", false},
    };
    for (const auto& k : literals) {
        Boxes::Texts().clear();
        std::string text = k.text;
        EXPECT_EQ(k.literal, CDBCore::FormatSqlLiteral(&text, k.type)) << k.text;
        EXPECT_EQ(k.refused ? 1u : 0u, Boxes::Texts().size()) << k.text;
    }
    std::string spaces = "   ";
    EXPECT_EQ("", CDBCore::SqlTrimCopy(&spaces));
    std::string tabbed = "\ta ";
    EXPECT_EQ("\ta", CDBCore::SqlTrimCopy(&tabbed));
    struct {
        int type;
        const char* word;
    } words[] = {{1, "BIT"},           {7, "Double"},        {8, "DATETIME"},
                 {10, "TEXT"},         {12, "TEXT"},         {11, "Unknown"},
                 {1024, "LONGBINARY"}, {1030, "LONGBINARY"}, {15, "GUID"}};
    for (const auto& w : words) EXPECT_EQ(w.word, CDBCore::FieldTypeName(w.type));
}

TEST(DBDesign, FolderOfAFileEndsAtTheLastSeparatorBeforeIt) {
    struct {
        const char* path;
        const char* file;
        int ok;
        const char* folder;
    } cases[] = {
        {"C:\\data\\ORDERS.DBF", "ORDERS.DBF", 1, "C:\\data"},
        {"C:\\ORDERS.DBF\\ORDERS.DBF", "ORDERS.DBF", 1, "C:\\ORDERS.DBF"},
        {"ORDERS.DBF", "ORDERS.DBF", 0, ""},
        {"C:\\data\\X.DBF", "ORDERS.DBF", 0, ""},
        {"C:\\dataORDERS.DBF", "ORDERS.DBF", 0, ""},
    };
    for (const auto& c : cases) {
        std::string folder = "junk";
        EXPECT_EQ(c.ok, CDBCore::GetFolderOfFile(c.path, c.file, &folder)) << c.path;
        EXPECT_EQ(c.folder, folder);
    }
}

namespace {

void WriteSource(const std::string& path, const char* table, const char* password) {
    MvbWriter w(path);
    std::string quoted = "\"";
    for (const char* p = table; *p; ++p)
        quoted += *p == '"' ? std::string("\"\"") : std::string(1, *p);
    quoted += "\"";
    w.Exec("CREATE TABLE " + quoted + "(A LONG, Pic LONGBINARY)");
    w.Exec("INSERT INTO " + quoted + " VALUES (1, NULL), (2, NULL)");
    w.Property(table, "Pic", "MediaType", 1025);
    w.Property(table, "Pic", "BLINK", 1);
    if (password)
        w.Password(password);
}

}  // namespace

TEST(DBDesign, ImportOfAnotherMvbBindsHostileNamesAndPaths) {
    Open o;
    BuildSchool(o, 0);
    std::string folder = o.dir.File("a];pwd=x'");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string source = folder + "\\s.mvb";
    const char* hostile = "t\"; DROP TABLE Pupil;--";
    WriteSource(source, hostile, "p'w;");
    std::string before = Scalar(o.path, "SELECT group_concat(name) FROM sqlite_master");
    ASSERT_EQ(
        1, o.Core()->ImportExternalTable(hostile, "s.mvb", source.c_str(), "Imp", 42845, "p'w;"));
    EXPECT_EQ(2, o.Records("Imp"));
    EXPECT_EQ(4, o.Records("Pupil"));
    EXPECT_EQ(3, o.Records("Class"));
    EXPECT_EQ(before + ",Imp", Scalar(o.path, "SELECT group_concat(name) FROM sqlite_master"));
    DataSourceDescriptor pic = Desc("Imp", "Pic");
    int type = 0;
    EXPECT_EQ(S_OK, o.db->GetDataSourceFieldType(&pic, &type));
    EXPECT_EQ(1025, type);
    // A wrong password: the engine's text, no table.
    Boxes boxes;
    EXPECT_EQ(
        0, o.Core()->ImportExternalTable(hostile, "s.mvb", source.c_str(), "Imp2", 42818, "wrong"));
    EXPECT_TRUE(Boxes::Shown(3031));
    EXPECT_EQ(-1, o.Core()->IndexOfEntry("Imp2", 0));
    // Excel has no driver: its text names the connect string.
    Boxes::Texts().clear();
    EXPECT_EQ(0, o.Core()->LinkExternalTable("Sheet1", "b.xls", "C:\\b.xls", "Xl", 42813));
    ASSERT_EQ(1u, Boxes::Texts().size());
    EXPECT_NE(std::string::npos, Boxes::Texts()[0].find("Excel 8.0;DATABASE=C:\\b.xls"));
}

TEST(DBDesign, DbaseTablesLinkedAndImported) {
    Open o;
    std::string folder = o.dir.File("dbf");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    DbfWriter w(0x03,
                {{"ID", 'N', 5, 0},
                 {"AMOUNT", 'N', 8, 2},
                 {"NAME", 'C', 10, 0},
                 {"BORN", 'D', 8, 0},
                 {"OK", 'L', 1, 0}},
                3);
    w.Record(false, {"1", "12.50", "Ann", "20000101", "T"});
    w.Record(true, {"2", "3.00", "Gone", "19991231", "F"});
    w.Record(false, {"3", "-4.25", "Cid", "20010101", "F"});
    std::string file = folder + "\\PUPILS.DBF";
    ASSERT_TRUE(WriteFileBytes(file, w.End().Vector()));
    CDBCore* c = o.Core();
    ASSERT_EQ(1, c->LinkExternalTable("PUPILS#DBF", "PUPILS.DBF", file.c_str(), "Linked", 42808));
    EXPECT_EQ(2, o.Records("Linked"));
    DataSourceDescriptor linked = Desc("Linked");
    EXPECT_EQ(0, c->IsUpdatable(&linked));
    EXPECT_EQ(1, c->FindTableByName("Linked")->kind);
    ASSERT_EQ(1,
              c->ImportExternalTable("PUPILS", "PUPILS.DBF", file.c_str(), "Imported", 42827, ""));
    EXPECT_EQ("LONG,DOUBLE,TEXT(10),DATETIME,BIT",
              Scalar(o.path, "SELECT group_concat(type) FROM pragma_table_info('Imported')"));
    EXPECT_EQ(2, o.Records("Imported"));
    // Without a folder: failure, no box.
    Boxes boxes;
    EXPECT_EQ(0, c->LinkExternalTable("PUPILS", "PUPILS.DBF", "PUPILS.DBF", "None", 42807));
    EXPECT_TRUE(Boxes::Texts().empty());
}

namespace {

void WriteLinks(MvbWriter& w) {
    w.Link("Jet", ";DATABASE=C:\\old\\place.mvb;PWD=pw", "T");
    w.Link("Gone", ";DATABASE=C:\\old\\gone.mvb", "T");
}

}  // namespace

TEST(DBDesign, LinksRepointedAtOpenKeepTheirPasswordPart) {
    TempFolder files;
    std::string moved = files.File("place.mvb");
    {
        MvbWriter w(moved);
        w.Exec("CREATE TABLE T(A LONG)");
        w.Exec("INSERT INTO T VALUES (1), (2)");
        w.Password("pw");
    }
    // Open asks the media manager: "Jet" is found elsewhere, "Gone" is not.
    std::string path = files.File("links.mvb");
    {
        MvbWriter w(path);
        WriteLinks(w);
    }
    PathSite site;
    site.paths.answer = moved;
    site.paths.only = "Jet";
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    Boxes boxes;
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    EXPECT_TRUE(Boxes::Texts().empty());
    EXPECT_EQ((std::vector<std::string>{"Jet", "Gone"}), site.paths.asked);
    EXPECT_EQ(";DATABASE=" + moved + ";PWD=pw",
              Scalar(path, "SELECT Connect FROM MavroSysLinks WHERE Name = 'Jet'"));
    DataSourceDescriptor d = Desc("Jet");
    int n = 0;
    EXPECT_EQ(S_OK, db->GetDataSourceRecordCount(&d, &n));
    EXPECT_EQ(2, n);
    db.Release();
    // An empty answer leaves a link as it is, with no box.
    site.paths.answer.clear();
    Boxes::Texts().clear();
    CComPtr<IDBCore> again = NewDatabase();
    ASSERT_EQ(S_OK, again->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    EXPECT_EQ(";DATABASE=C:\\old\\gone.mvb",
              Scalar(path, "SELECT Connect FROM MavroSysLinks WHERE Name = 'Gone'"));
    EXPECT_TRUE(Boxes::Texts().empty());
}

TEST(DBDesign, SetLinkTableConnectionAnswersZeroAfterItsLoggedFailure) {
    LogCapture log;
    TempFolder files;
    std::string target = files.File("t.mvb");
    {
        MvbWriter w(target);
        w.Exec("CREATE TABLE T(A LONG)");
    }
    std::string path = files.File("links.mvb");
    {
        MvbWriter w(path);
        w.Link("L", ";DATABASE=" + target, "T");
    }
    FakeSite site;
    site.hasMedia = false;
    NoticeWindow window;
    CComPtr<IDBCore> db = NewDatabase();
    ASSERT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
    CComPtr<IMDBase> m;
    db->QueryInterface(__uuidof(IMDBase), (void**)&m);
    CDBCore* c = static_cast<CMavroBase*>(m.p)->Core();
    Boxes boxes;
    DataSourceDescriptor d = Desc("L");
    EXPECT_EQ(0, c->SetLinkTableConnection(&d, ";DATABASE=C:\\nowhere\\x.mvb"));
    EXPECT_TRUE(Boxes::Texts().empty());
    EXPECT_EQ(";DATABASE=" + target, Scalar(path, "SELECT Connect FROM MavroSysLinks"));
    EXPECT_EQ(1, c->SetLinkTableConnection(&d, (";DATABASE=" + target).c_str()));
    c->FindTableByName("L")->browser = window.Handle();
    EXPECT_EQ(0, c->SetLinkTableConnection(&d, (";DATABASE=" + target).c_str()));
    EXPECT_EQ(DBLoadString(57677), Boxes::Texts().back());
    c->FindTableByName("L")->browser = nullptr;
    EXPECT_TRUE(Logged(log.Text(), "SetLinkTableConnection failed: "));
}

namespace {

// Class (keyed), Pupil with the relation ClassPupil, a query, and a table
// of a name no suffix can mend.
void WriteSchoolSource(const std::string& path) {
    MvbWriter w(path);
    w.Exec("CREATE TABLE Class(ID LONG, Name TEXT(20))");
    w.Exec("CREATE UNIQUE INDEX MavroIndex1 ON Class(ID)");
    w.Exec(
        "CREATE TABLE MavroSysIndexes(TableName TEXT NOT NULL, Name TEXT NOT NULL, SqlName "
        "TEXT NOT NULL, IsPrimary BIT, IsUnique BIT, Required BIT, IsForeign BIT, PRIMARY "
        "KEY(TableName, Name))");
    w.Exec("INSERT INTO MavroSysIndexes VALUES ('Class', 'PrimaryKey', 'MavroIndex1', 1, 1, 1, 0)");
    w.Exec(
        "CREATE TABLE MavroSysRelations(Name TEXT NOT NULL, TableName TEXT NOT NULL, "
        "ForeignTable TEXT NOT NULL, Attributes LONG NOT NULL, Ordinal LONG NOT NULL, "
        "FieldName TEXT NOT NULL, ForeignName TEXT NOT NULL, PRIMARY KEY(Name, Ordinal))");
    w.Exec(
        "INSERT INTO MavroSysRelations VALUES ('ClassPupil', 'Class', 'Pupil', 4096, 0, 'ID', "
        "'ClassID')");
    w.Exec(
        "INSERT INTO MavroSysRelations VALUES ('Loose', 'Class', 'Bad.Name', 4096, 0, 'ID', "
        "'ClassID')");
    w.Exec("INSERT INTO Class VALUES (1, 'a'), (2, 'b')");
    w.Exec("CREATE TABLE Pupil(PID LONG, ClassID LONG)");
    w.Exec("INSERT INTO Pupil VALUES (1, 2), (2, 2), (3, 1)");
    w.Exec("CREATE TABLE \"Bad.Name\"(ClassID LONG)");
    w.Query("Big", "SELECT * FROM Class WHERE ID > 1");
    // Links copy as they are, whether or not their files are here.
    w.Link("Far", ";DATABASE=C:\\elsewhere\\far.mvb;PWD=x", "T");
    w.Link("Sheet", "Excel 8.0;DATABASE=C:\\book.xls", "Sheet1$");
    w.Property("Big", "", "QueryType", 1);
}

}  // namespace

TEST(DBDesign, CopyDatabaseRenamesTablesAndTheirRelationsFollow) {
    LogCapture log;
    Open o;
    TableFieldSpec x = Spec("X", 1);
    ASSERT_EQ(1, o.Core()->CreateTable({&x}, "Class"));
    std::string source = o.dir.File("source.mvb");
    WriteSchoolSource(source);
    Boxes boxes;
    ASSERT_EQ(1, o.Core()->CopyDatabase(source.c_str(), ""));
    EXPECT_EQ(2, o.Records("Class_IMP1"));
    EXPECT_EQ(3, o.Records("Pupil"));
    EXPECT_EQ(-1, o.Core()->IndexOfEntry("Bad.Name", 0));
    EXPECT_TRUE(Logged(log.Text(), "Table 'Bad.Name' not copied: no free name"));
    std::vector<CdbRelationInfo> relations = o.Core()->GetDatabase()->Relations();
    ASSERT_EQ(1u, relations.size());  // "Loose" followed a table not copied
    EXPECT_EQ("Class_IMP1", relations[0].table);
    EXPECT_EQ("Pupil", relations[0].foreignTable);
    // Copied with the primary index it needs, and enforced: deleting class 2
    // takes its pupils along.
    int flag = 0;
    EXPECT_EQ(1, o.Core()->IsIndexPrimary("Class_IMP1", "PrimaryKey", &flag));
    EXPECT_EQ(1, flag);
    o.Exec("DELETE FROM Class_IMP1 WHERE ID = 2");
    EXPECT_EQ("1", Scalar(o.path, "SELECT count(*) FROM Pupil"));
    std::string connect, table;
    o.Core()->GetDatabase()->GetLink("Far", &connect, &table);
    EXPECT_EQ(";DATABASE=C:\\elsewhere\\far.mvb;PWD=x", connect);
    EXPECT_EQ("T", table);
    EXPECT_EQ(1, o.Core()->FindTableByName("Sheet")->kind);
    short visual = 0;
    EXPECT_EQ(1, o.Core()->GetQueryTypeFlag("Big", &visual));
    EXPECT_NE(0, visual);
    EXPECT_TRUE(Boxes::Texts().empty()) << Boxes::Texts()[0];
}

namespace {

std::string ItemText(HWND tree, HTREEITEM item, int* kind = nullptr, int* image = nullptr) {
    char text[128] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof(text);
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
    if (kind)
        *kind = (int)tv.lParam;
    if (image)
        *image = tv.iImage;
    return text;
}

HTREEITEM Child(HWND tree, HTREEITEM item) {
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item);
}

HTREEITEM Next(HWND tree, HTREEITEM item) {
    return (HTREEITEM)SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)item);
}

}  // namespace

TEST(DBDesign, TreeItemsOfRenamedTablesAndOfRelations) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(nullptr, tree);
    Open o;
    BuildSchool(o, 0);
    CDBCore* c = o.Core();
    TVINSERTSTRUCTA ins = {};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<char*>("Pupil");
    HTREEITEM pupil = (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
    ins.item.pszText = const_cast<char*>("Relations");
    HTREEITEM folder = (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
    ASSERT_EQ(1, c->RenameTable("Pupil", "Kids", tree, pupil));
    EXPECT_EQ("Kids", ItemText(tree, pupil));
    EXPECT_NE(-1, c->IndexOfEntry("Kids", 0));
    // A refused name leaves the item and the entry.
    Boxes boxes;
    EXPECT_EQ(0, c->RenameTable("Kids", "Class", tree, pupil));
    EXPECT_EQ("Kids", ItemText(tree, pupil));
    ASSERT_EQ(1, c->AddRelationNodes(tree, folder));
    int kind = 0, image = 0;
    HTREEITEM relation = Child(tree, folder);
    EXPECT_EQ("ClassPupil", ItemText(tree, relation, &kind, &image));
    EXPECT_EQ(14, kind);
    EXPECT_EQ(16, image);
    HTREEITEM main = Child(tree, relation);
    EXPECT_EQ(DBLoadString(57731), ItemText(tree, main, &kind, &image));
    EXPECT_EQ(15, kind);
    EXPECT_EQ(17, image);
    EXPECT_EQ(DBLoadString(57732), ItemText(tree, Next(tree, main), &kind, &image));
    EXPECT_EQ(16, kind);
    EXPECT_EQ(18, image);
    DestroyWindow(tree);
}

TEST(DBDesign, ALinkNameMustNotBeAMediaName) {
    Open o;
    o.site.paths.taken = "Movie";
    Boxes boxes;
    EXPECT_EQ(1, o.Core()->ValidateObjectName("Movie", 1, 0));
    EXPECT_EQ(0, o.Core()->ValidateObjectName("Movie", 1, 1));
    ASSERT_EQ(1u, Boxes::Texts().size());
    EXPECT_EQ(DBLoadString(57793), Boxes::Texts()[0]);
    EXPECT_EQ(1, o.Core()->ValidateObjectName("Other", 1, 1));
}

TEST(DBDesign, CopyDatabaseAsksForTheSourcesPasswordUntilItOpens) {
    Open o;
    std::string source = o.dir.File("locked.mvb");
    WriteSource(source, "Things", "secret");
    Boxes boxes;
    static std::vector<std::string> typed;
    typed = {"wrong", "secret"};
    PFNDIALOGHANDLER old = SetDialogHandler([](int id, HWND dlg) -> INT_PTR {
        EXPECT_EQ(271, id);
        SetDlgItemTextA(dlg, 284, typed.front().c_str());
        typed.erase(typed.begin());
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        return IDOK;
    });
    EXPECT_EQ(1, o.Core()->CopyDatabase(source.c_str(), ""));
    SetDialogHandler(old);
    ASSERT_EQ(2u, Boxes::Texts().size());
    EXPECT_EQ(DBLoadString(57772), Boxes::Texts()[0]);
    EXPECT_EQ(DBLoadString(57772), Boxes::Texts()[1]);
    EXPECT_EQ(2, o.Records("Things"));
    DataSourceDescriptor pic = Desc("Things", "Pic");
    int type = 0;
    EXPECT_EQ(S_OK, o.db->GetDataSourceFieldType(&pic, &type));
    EXPECT_EQ(1025, type);
}
