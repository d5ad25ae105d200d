// The document's database connection: what the component is handed, the
// question when it cannot be opened, the site's database slot after each
// answer, and the notices it posts. The database class is served by a class
// object registered in this process only, so no registry is touched.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "CanvasObjects.h"
#include "ObjectRecordWriter.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "ServiceFakes.h"
#include "SolidObject.h"
#include "TestFiles.h"
#include "aCanvas.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aPlayerSite.h"
#include "aProject.h"
#include "adblink.h"
#include "bMsgBox.h"
#include "PlayerBuildFiles.h"

namespace {

// A counted fake core that records InitDataBase and the notices it frees.
class RecordingDB : public FakeDBCore {
public:
    HRESULT initResult = S_OK;
    int initCalls = 0;
    std::string path, workgroup, password;
    int flags = -1;
    IPlayerSite* site = nullptr;
    std::vector<DataSourceNotice*> freed;
    LONG refs = 0;

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == __uuidof(IDBCore)) {
            *ppv = static_cast<IDBCore*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
    STDMETHOD_(ULONG, Release)() override { return --refs; }
    STDMETHOD(InitDataBase)
    (const char* p, const char* w, const char* pw, int f, IPlayerSite* s, HWND) override {
        ++initCalls;
        path = p ? p : "(null)";
        workgroup = w ? w : "(null)";
        password = pw ? pw : "(null)";
        flags = f;
        site = s;
        return initResult;
    }
    STDMETHOD(FreeDBNotice)(DataSourceNotice* notice) override {
        freed.push_back(notice);
        return S_OK;
    }
};

// The class object behind the database class while a test runs.
struct DBClassObject : public IClassFactory {
    RecordingDB* db = nullptr;
    HRESULT createResult = S_OK;
    int creations = 0;

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(CreateInstance)(IUnknown*, REFIID iid, void** ppv) override {
        ++creations;
        *ppv = nullptr;
        if (FAILED(createResult))
            return createResult;
        return db->QueryInterface(iid, ppv);
    }
    STDMETHOD(LockServer)(BOOL) override { return S_OK; }
};

// A solid object that also answers the database link and notes every
// notice it is handed.
struct SeenNotice {
    IDbLink* link;
    const DataSourceNotice* notice;
};
std::vector<SeenNotice> g_seen;

// The link part lives inside its object, which it leaves counting.
class NoticeLink : public IDbLink {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == IID_IUnknown || iid == __uuidof(IDbLink)) {
            *ppv = static_cast<IDbLink*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(OnDataSourceNotice)(const DataSourceNotice* notice) override {
        g_seen.push_back({static_cast<IDbLink*>(this), notice});
        return S_OK;
    }
    STDMETHOD(SetLinked)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(IsLinked)(BOOL*) override { return E_NOTIMPL; }
    STDMETHOD(SetSource)(const char*, const char*) override { return E_NOTIMPL; }
    STDMETHOD(GetSource)(char*, char*) override { return E_NOTIMPL; }
    STDMETHOD(SetOption)(BOOL) override { return E_NOTIMPL; }
    STDMETHOD(GetOption)(BOOL*) override { return E_NOTIMPL; }
    STDMETHOD(SetRecordPos)(LONG) override { return E_NOTIMPL; }
    STDMETHOD(GetRecordPos)(LONG*) override { return E_NOTIMPL; }
    STDMETHOD(GetDescriptor)(DataSourceDescriptor*) override { return E_NOTIMPL; }
    STDMETHOD(Load)(ITeskStream*) override { return E_NOTIMPL; }
    STDMETHOD(Reserved13)() override { return E_NOTIMPL; }
    STDMETHOD(Save)(ITeskStream*) override { return E_NOTIMPL; }
    STDMETHOD(Refresh)(int) override { return E_NOTIMPL; }
    STDMETHOD(GetDataText)(char*, int) override { return E_NOTIMPL; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
    STDMETHOD_(IPlayerSite*, GetPlaySiteForLink)() override { return nullptr; }
    STDMETHOD_(int, AcceptsType)(const VARIANT*) override { return 0; }
    STDMETHOD(ApplyData)(BOOL, const char*, const void*, int) override { return E_NOTIMPL; }
    STDMETHOD(BindToDatabase)(BSTR, BSTR, LONG) override { return E_NOTIMPL; }
};

class NoticeObject : public SolidObject {
public:
    HRESULT _InternalQueryInterface(REFIID iid, void** ppv) {
        if (iid == __uuidof(IDbLink))
            return m_link.QueryInterface(iid, ppv);
        return SolidObject::_InternalQueryInterface(iid, ppv);
    }

private:
    NoticeLink m_link;
};

const uint32_t kNoticeKind = 0x7F000002;
// {2E4A1C55-8B7D-4F31-A0C2-6D19E3B84F27}
const CLSID CLSID_NoticeObject = {
    0x2E4A1C55, 0x8B7D, 0x4F31, {0xA0, 0xC2, 0x6D, 0x19, 0xE3, 0xB8, 0x4F, 0x27}};

HRESULT CreateNoticeObject(IUnknown** out) {
    return ComCreateInstance<NoticeObject>(IID_IUnknown, reinterpret_cast<void**>(out));
}

CanvasObjectSpec NoticeObjectSpec(const std::string& name) {
    return PlacedObject(kNoticeKind, name, 50, 50, 20, 20);
}

IDbLink* LinkOf(CCanvas* canvas) {
    IDbLink* link = nullptr;
    if (canvas && canvas->GetObjectCount() == 1)
        canvas->GetObjectAt(0)->m_base->QueryInterface(__uuidof(IDbLink),
                                                       reinterpret_cast<void**>(&link));
    if (link)
        link->Release();
    return link;
}

struct Question {
    int count = 0;
    UINT type = 0;
    int answer = IDNO;
};
Question* g_question = nullptr;

int AnswerQuestion(HWND, const char*, const char*, UINT type) {
    ++g_question->count;
    g_question->type = type;
    return g_question->answer;
}

class PlayerDatabaseTest : public PlayerFixture {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_TRUE(LoadTypeLib());
        factory.db = &db;
        ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_MavroBase, &factory, CLSCTX_INPROC_SERVER,
                                              REGCLS_MULTIPLEUSE, &cookie));
        g_question = &question;
        previous = SetMessageBoxHandler(AnswerQuestion);
        registry.DefModule(MODULE_OBJECT, CLSID_NoticeObject, IID_IUnknown, 0, 0, 0, 0,
                           CreateNoticeObject, 0, kNoticeKind);
        g_seen.clear();
    }
    void TearDown() override {
        CloseDocument();
        SetMessageBoxHandler(previous);
        g_question = nullptr;
        CoRevokeClassObject(cookie);
        PlayerFixture::TearDown();
        CoUninitialize();
    }
    // A one-page work with the project flags and database texts given.
    std::string Work(uint32_t flags, const char* name = "show.mrt") {
        work = WorkSpec();
        work.pages = {{"A", "", "Bkg", "", "", ""}};
        work.backgrounds = {"Bkg"};
        work.prjInfo.flags = flags;
        work.prjInfo.texts[0] = "C:\\stored\\other.mvb";
        work.prjInfo.texts[1] = "secret";
        work.prjInfo.texts[2] = "C:\\stored\\system.mdw";
        // One linked object on the page and one on its background.
        CanvasSpec page, bg;
        bg.kind = 2;
        page.objects = {NoticeObjectSpec("onpage")};
        bg.objects = {NoticeObjectSpec("onbackground")};
        PutCanvas(work, "A", page);
        PutCanvas(work, "Bkg", bg);
        std::string path = folder.File(name);
        EXPECT_EQ(WriteWork(path, work), S_OK);
        return path;
    }
    HRESULT SiteDatabase(void** out) { return doc->GetSite()->GetDatabase(out); }

    RecordingDB db;
    DBClassObject factory;
    DWORD cookie = 0;
    Question question;
    PFNMESSAGEBOXHANDLER previous = nullptr;
};

}  // namespace

// Single-user: the runtime file's path with ".mvb", whatever the project
// stored; multi-user: the stored path and flag 2. The create bit (1) is never
// sent. The workgroup path goes before the password.
TEST_F(PlayerDatabaseTest, InitDataBaseArguments) {
    struct Case {
        uint32_t projectFlags;
        bool runtimePath;
        int flags;
    } cases[] = {
        {0x01, true, 0},
        {0x03, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.projectFlags);
        db = RecordingDB();
        factory.creations = 0;
        std::string path = Work(c.projectFlags);
        CloseDocument();
        ASSERT_EQ(S_OK, OpenPath(path));
        ASSERT_EQ(1, db.initCalls);
        std::string expected = c.runtimePath ? folder.File("show.mvb") : "C:\\stored\\other.mvb";
        EXPECT_EQ(0, lstrcmpiA(expected.c_str(), db.path.c_str())) << db.path;
        EXPECT_EQ("C:\\stored\\system.mdw", db.workgroup);
        EXPECT_EQ("secret", db.password);
        EXPECT_EQ(c.flags, db.flags);
        EXPECT_EQ(static_cast<IPlayerSite*>(doc->GetSite()), db.site);
        EXPECT_EQ(0, question.count);
        void* out = nullptr;
        EXPECT_EQ(S_OK, SiteDatabase(&out));
        EXPECT_EQ(static_cast<IDBCore*>(&db), out);
        CloseDocument();
        EXPECT_EQ(0, db.refs);  // the document's one reference is gone
    }
}

// A project without a database never creates the object.
TEST_F(PlayerDatabaseTest, NoDatabaseNoObject) {
    ASSERT_EQ(S_OK, OpenPath(Work(0)));
    EXPECT_EQ(0, factory.creations);
    EXPECT_EQ(0, question.count);
    void* out = nullptr;
    EXPECT_EQ(E_FAIL, SiteDatabase(&out));
}

// The creation or the open fails: the object is released and the user is
// asked. Yes goes on without the database, No ends the open, any other answer
// goes on with the options unchanged.
TEST_F(PlayerDatabaseTest, FailureAsksTheUser) {
    struct Case {
        HRESULT create, init;
        int answer;
        HRESULT open;
        DWORD flagsAfter;
    } cases[] = {
        {E_FAIL, S_OK, IDYES, S_OK, 0},
        {E_FAIL, S_OK, IDNO, E_FAIL, 0x01},
        {S_OK, DB_E_FAILED, IDYES, S_OK, 0},
        {S_OK, DB_E_FAILED, IDNO, E_FAIL, 0x01},
        {S_OK, DB_E_FAILED, IDCANCEL, S_OK, 0x01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << std::hex << c.create << " " << c.init << " " << c.answer);
        db = RecordingDB();
        db.initResult = c.init;
        factory.createResult = c.create;
        question = Question();
        question.answer = c.answer;
        CloseDocument();
        EXPECT_EQ(c.open, OpenPath(Work(0x01)));
        EXPECT_EQ(1, question.count);
        EXPECT_EQ((UINT)(MB_YESNO | MB_ICONEXCLAMATION), question.type);
        EXPECT_EQ(0, db.refs);
        EXPECT_EQ(c.flagsAfter, doc->GetProject()->GetFlags() & 0x03);
        void* out = &db;
        EXPECT_EQ(E_FAIL, SiteDatabase(&out));
    }
}

// A notice of message 1127 reaches the objects of the page, then of the
// background; with wParam 1 it goes back to the component once, other values
// are not the component's to free.
TEST_F(PlayerDatabaseTest, NoticeReachesObjectsAndReturns) {
    ASSERT_EQ(S_OK, OpenPath(Work(0x01)));
    CCanvasSet* set = doc->GetCanvasSet();
    ASSERT_NE(nullptr, set);
    IDbLink* onPage = LinkOf(set->page);
    IDbLink* onBackground = LinkOf(set->background);
    ASSERT_NE(nullptr, onPage);
    ASSERT_NE(nullptr, onBackground);
    DataSourceNotice notice = FakeDBCore::Notice("Staff", "Name", "");
    doc->OnDatabaseNotice(1, reinterpret_cast<LPARAM>(&notice));
    ASSERT_EQ(2u, g_seen.size());
    EXPECT_EQ(onPage, g_seen[0].link);
    EXPECT_EQ(onBackground, g_seen[1].link);
    EXPECT_EQ(&notice, g_seen[0].notice);
    EXPECT_EQ(&notice, g_seen[1].notice);
    ASSERT_EQ(1u, db.freed.size());
    EXPECT_EQ(&notice, db.freed[0]);
    doc->OnDatabaseNotice(0, reinterpret_cast<LPARAM>(&notice));
    doc->OnDatabaseNotice(1, 0);
    EXPECT_EQ(1u, db.freed.size());
}

// A caller that allows disabling gets success and a project without the
// database when the open fails; the component still never sees bit 0, which
// would make it create a new database file.
TEST_F(PlayerDatabaseTest, AllowDisableStaysInside) {
    struct Case {
        uint32_t projectFlags;
        int flags;
    } cases[] = {
        {0x01, 0},
        {0x03, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.projectFlags);
        db = RecordingDB();
        db.initResult = DB_E_FAILED;
        question = Question();
        question.answer = IDCANCEL;  // go on with the options unchanged
        CloseDocument();
        ASSERT_EQ(S_OK, OpenPath(Work(c.projectFlags)));
        ASSERT_EQ(c.projectFlags, doc->GetProject()->GetFlags() & 0x03);
        EXPECT_EQ(S_OK, doc->InitDatabase(true));
        EXPECT_EQ(2, db.initCalls);
        EXPECT_EQ(c.flags, db.flags);
        EXPECT_EQ(0u, doc->GetProject()->GetFlags() & 0x01);
        EXPECT_EQ(1, question.count);
        EXPECT_EQ(0, db.refs);
        // Nothing is used any more: no third call.
        EXPECT_EQ(S_OK, doc->InitDatabase(true));
        EXPECT_EQ(2, db.initCalls);
    }
}
