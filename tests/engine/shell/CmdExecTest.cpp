// Command executor: the order of ranges, page commands with the go-to
// guard, objects through their render part, database records, devices, ini
// state and the shell calls through their seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandArgs.h"
#include "ServiceFakes.h"
#include "TestFiles.h"
#include "aCmdExec.h"
#include "aObjItf.h"
#include "bDBCore.h"
#include "bStrConv.h"
#include "bVarMgr.h"

namespace {

// Records the database calls; text values are kept as their bytes.
struct FakeDB : FakeDBCore {
    struct Call {
        std::string op, source;
        LONG position;
        std::vector<std::string> pairs;  // "field=bytes" or "field=#vt"
    };
    std::vector<Call> calls;
    HRESULT answer = S_OK;
    HRESULT Record(const char* op, DataSourceDescriptor* d, FieldValuePair* p, int n) {
        Call c{op, d->sourceName, d->position, {}};
        for (int i = 0; i < n; ++i) {
            std::string v = V_VT(&p[i].value) == VT_BSTR
                                ? std::string((const char*)V_BSTR(&p[i].value),
                                              SysStringByteLen(V_BSTR(&p[i].value)))
                                : "#" + std::to_string(V_VT(&p[i].value));
            c.pairs.push_back(std::string(p[i].fieldName) + "=" + v);
        }
        calls.push_back(c);
        return answer;
    }
    STDMETHOD(UpdateDataSourceRecord)(DataSourceDescriptor* d, FieldValuePair* p, int n) override {
        return Record("update", d, p, n);
    }
    STDMETHOD(DeleteDataSourceRecord)(DataSourceDescriptor* d) override {
        return Record("delete", d, nullptr, 0);
    }
    STDMETHOD(AddDataSourceRecord)(DataSourceDescriptor* d, FieldValuePair* p, int n) override {
        return Record("add", d, p, n);
    }
    STDMETHOD(MoveDataSource)(DataSourceDescriptor* d) override {
        return Record("move", d, nullptr, 0);
    }
    STDMETHOD(RequeryDataSource)(DataSourceDescriptor* d) override {
        return Record("requery", d, nullptr, 0);
    }
    STDMETHOD(ReexecuteQuery)(DataSourceDescriptor* d) override {
        return Record("reexecute", d, nullptr, 0);
    }
};

struct FakeDevices : ICmdDevices {
    std::vector<std::string> calls;
    LONG volume = 500;
    bool SetMixerVolume(int kind, LONG v) override {
        calls.push_back("mixer " + std::to_string(kind) + " " + std::to_string(v));
        return true;
    }
    bool SysSoundPlay() override { return Note("play"); }
    bool SysSoundStop() override { return Note("stop"); }
    bool SysSoundIsPlaying() override { return false; }
    bool SysSoundGetVolume(LONG* v) override {
        *v = volume;
        return true;
    }
    bool SysSoundSetVolume(LONG v) override { return Note("volume " + std::to_string(v)); }
    bool SysSoundSetBalance(LONG b) override { return Note("balance " + std::to_string(b)); }
    bool SoundObjectShow(IUnknown*, SHORT v) override {
        return Note("sound show " + std::to_string(v));
    }
    bool Recorder(UINT c, const VARIANT*, const VARIANT*) override {
        return Note("recorder " + std::to_string(c));
    }
    bool Capture(UINT c, const VARIANT*, const VARIANT*) override {
        return Note("capture " + std::to_string(c));
    }
    bool Note(const std::string& s) {
        calls.push_back(s);
        return true;
    }
};

// An object with a render part: state and the visible flag (IsVisible
// answers 0 for yes).
struct FakeObject : IUnknown {
    struct Render : II_IRender {
        FakeObject* o;
        STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
            return o->QueryInterface(iid, ppv);
        }
        STDMETHOD_(ULONG, AddRef)() override { return 1; }
        STDMETHOD_(ULONG, Release)() override { return 1; }
        STDMETHOD_(LONG, GetHeight)() override { return 0; }
        STDMETHOD(SetHeight)(LONG) override { return S_OK; }
        STDMETHOD_(LONG, GetWidth)() override { return 0; }
        STDMETHOD(SetWidth)(LONG) override { return S_OK; }
        STDMETHOD_(LONG, GetXCenter)() override { return 0; }
        STDMETHOD(SetXCenter)(LONG) override { return S_OK; }
        STDMETHOD_(LONG, GetYCenter)() override { return 0; }
        STDMETHOD(SetYCenter)(LONG) override { return S_OK; }
        STDMETHOD_(LONG, GetAbsoluteX)() override { return 0; }
        STDMETHOD_(LONG, GetAbsoluteY)() override { return 0; }
        STDMETHOD(GetOffsetX)(LONG*) override { return S_OK; }
        STDMETHOD(GetOffsetY)(LONG*) override { return S_OK; }
        STDMETHOD(MoveTo)(LONG, LONG) override { return S_OK; }
        STDMETHOD(MoveBy)(LONG, LONG) override { return S_OK; }
        STDMETHOD(SetAnchor)(LONG, LONG) override { return S_OK; }
        STDMETHOD(OffsetBounds)(LONG, LONG) override { return S_OK; }
        STDMETHOD_(LONG, GetAngle)() override { return 0; }
        STDMETHOD(SetAngle)(LONG) override { return S_OK; }
        STDMETHOD(AddAngle)(LONG) override { return S_OK; }
        STDMETHOD(RotateBy)(LONG) override { return S_OK; }
        STDMETHOD(Draw)(IPixelBuffer*) override { return S_OK; }
        STDMETHOD(InvalidateBounds)(IPixelBuffer*) override { return S_OK; }
        STDMETHOD_(int, HitTestPoint)(LONG, LONG) override { return 1; }
        STDMETHOD(SetVisible)(BOOL on) override {
            o->visible = on != FALSE;
            return S_OK;
        }
        STDMETHOD_(int, IsVisible)() override { return o->visible ? 0 : 1; }
        STDMETHOD_(int, IsActive)() override { return 0; }
        STDMETHOD(SetState)(int) override { return S_OK; }
        STDMETHOD_(int, GetState)() override { return o->state; }
        STDMETHOD(Deactivate)() override { return S_OK; }
        STDMETHOD_(int, TestRegion)(HRGN) override { return 1; }
        STDMETHOD(GetBoundsRect)(RECT*) override { return S_OK; }
        STDMETHOD(GetTransformedBounds)(RECT*) override { return S_OK; }
        STDMETHOD(GetTransition)(int, IUnknown**) override { return E_FAIL; }
        STDMETHOD(GetEffect)(IUnknown**) override { return E_FAIL; }
        STDMETHOD(GetAttachedPart)(IUnknown**) override { return E_FAIL; }
        STDMETHOD(Reserved38)() override { return S_OK; }
        STDMETHOD(UnionInvalid)() override { return S_OK; }
        STDMETHOD(SetFlag8)(BOOL) override { return S_OK; }
        STDMETHOD_(int, IsFlag8)() override { return 1; }
        STDMETHOD_(int, IsFlag16)() override { return 1; }
        STDMETHOD(Reserved43)() override { return S_OK; }
        STDMETHOD_(void, DeleteThis)(UINT) override {}
        STDMETHOD(GetSite)(IPlayerSite**) override { return E_FAIL; }
        STDMETHOD(CreateParts)(ObjectCreationRecord*) override { return S_OK; }
        STDMETHOD_(LONG, GetStoredWidth)() override { return 0; }
        STDMETHOD_(LONG, GetStoredHeight)() override { return 0; }
        STDMETHOD(ResetLayout)() override { return S_OK; }
        STDMETHOD_(int, GetAlpha)() override { return 255; }
        STDMETHOD(SetAlpha)(int) override { return S_OK; }
        STDMETHOD_(LONG, GetRotation)() override { return 0; }
        STDMETHOD(SetRotation)(LONG) override { return S_OK; }
        STDMETHOD_(int, PrepareDraw)(IPixelBuffer*) override { return 0; }
        STDMETHOD(CollectFiles)(IFileCollector*) override { return S_OK; }
        STDMETHOD(Reserved56)() override { return S_OK; }
        STDMETHOD(OnEnter)() override { return S_OK; }
        STDMETHOD(OnHold)() override { return S_OK; }
        STDMETHOD(OnLeave)() override { return S_OK; }
        STDMETHOD(OnExit)() override { return S_OK; }
        STDMETHOD(OnTick)(int) override { return S_OK; }
        STDMETHOD(OnNotify)(int) override { return S_OK; }
        STDMETHOD(Refresh)() override { return S_OK; }
        STDMETHOD(Invalidate)(const RECT*) override { return S_OK; }
        STDMETHOD(OnGeometryChanged)(const RECT*, const RECT*, int) override { return S_OK; }
        STDMETHOD(OnAngleChanged)(LONG) override { return S_OK; }
        STDMETHOD(OnChange)(int) override { return S_OK; }
        STDMETHOD(BeforeEnter)() override { return S_OK; }
        STDMETHOD(BeforeHold)() override { return S_OK; }
        STDMETHOD(BeforeLeave)() override { return S_OK; }
        STDMETHOD(BeforeExit)() override { return S_OK; }
        STDMETHOD(BeginChange)(RECT*) override { return S_OK; }
        STDMETHOD(EndChange)(const RECT*) override { return S_OK; }
    };
    FakeObject() { render.o = this; }
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (iid == __uuidof(II_IRender)) {
            *ppv = static_cast<II_IRender*>(&render);
            return S_OK;
        }
        if (iid == IID_IUnknown) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    Render render;
    int state = 2;
    bool visible = false;
    DWORD typeId = 0x00010000;
};

struct FakeHost : ICmdHost {
    std::vector<std::string> calls;
    FakeObject pic;
    FakeDB db;
    bool dbOn = true;
    FakeDevices devices;
    VariableManager* vars = nullptr;
    CCmdExecutor* executor = nullptr;
    std::string page = "Home";
    IPlayerSite* GetSite() override { return nullptr; }
    void PlaybackCommand(UINT id) override { calls.push_back("playback " + std::to_string(id)); }
    bool GoHistory(UINT c) override {
        calls.push_back("history " + std::to_string(c));
        // A page command sent while this one runs.
        if (executor && c == 32813)
            calls.push_back("nested " + std::to_string(executor->ExecuteCommand(
                                            nullptr, 1107, new CCmdPacket("", "", nullptr))));
        return true;
    }
    bool ShowPageByName(const char* name) override {
        calls.push_back(std::string("show ") + name);
        if (strcmp(name, "Part2") != 0)
            return false;
        page = name;
        return true;
    }
    std::string GetCurrentPageName() override { return page; }
    void OnPageAction() override { calls.push_back("page action"); }
    bool hold = false;
    bool GetPageHoldFlag() override { return hold; }
    void ArmPageTimer(bool on) override { calls.push_back(on ? "arm 1" : "arm 0"); }
    IUnknown* FindObject(const char* name) override {
        return strcmp(name, "pic") == 0 ? &pic : nullptr;
    }
    DWORD GetObjectTypeId(IUnknown*) override { return pic.typeId; }
    bool ScheduleObject(IUnknown*, UINT c, LONG t) override {
        calls.push_back("schedule " + std::to_string(c) + " " + std::to_string(t));
        return true;
    }
    ULONGLONG GetProjectId() override { return 0x01D0000012345678ULL; }
    VariableManager* GetVariables() override { return vars; }
    IDBCore* GetDatabase() override { return dbOn ? &db : nullptr; }
    ICmdDevices* GetDevices() override { return &devices; }
};

using namespace cmdargs;

class CmdExecTest : public ::testing::Test {
protected:
    void SetUp() override { host.executor = &exec; }
    int Run(UINT command, const char* object = "", std::vector<VARIANT> args = {}) {
        return exec.ExecuteCommand(nullptr, command, Packet(object, args));
    }
    FakeHost host;
    CCmdExecutor exec{&host};
};

TEST_F(CmdExecTest, RangesWithoutWork) {
    const struct {
        UINT command;
        int result;
    } cases[] = {{1100, 1}, {1900, 1}, {2000, 1}, {2100, 0}, {2105, 0}, {2109, 0},
                 {2201, 1}, {2204, 1}, {999, 0},  {3000, 0}, {1400, 1}, {1500, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.result, Run(c.command, "pic")) << c.command;
}

TEST_F(CmdExecTest, PlaybackAndPageCommands) {
    EXPECT_EQ(1, Run(1001));
    EXPECT_EQ(1, Run(1003));
    EXPECT_EQ(1, Run(1009));
    EXPECT_EQ(1, Run(1006));
    EXPECT_EQ(1, Run(1101));
    EXPECT_EQ(1, Run(1110));
    EXPECT_EQ(1, Run(1105, "", {Text("Part2")}));
    EXPECT_EQ(0, Run(1105, "", {Text("Nowhere")}));
    // 1108 re-enters with 1107 while it runs: refused.
    EXPECT_EQ(1, Run(1108));
    EXPECT_FALSE(exec.IsGoing());
    EXPECT_EQ((std::vector<std::string>{"playback 32955", "playback 32950", "playback 32951",
                                        "arm 1", "history 32808", "history 32818", "show Part2",
                                        "show Nowhere", "history 32813", "nested 0"}),
              host.calls);
}

TEST_F(CmdExecTest, ObjectCommands) {
    TempFolder dir;
    LogCapture log(dir.File("c.lg0"));
    EXPECT_EQ(1, Run(1401, "pic", {Int(500)}));
    EXPECT_EQ(1, Run(1406, "\"pic\"", {Int(1)}));
    EXPECT_TRUE(host.pic.visible);
    EXPECT_EQ(1, Run(1407, "pic"));
    EXPECT_FALSE(host.pic.visible);
    host.pic.typeId = 0x01040000;
    EXPECT_EQ(1, Run(1406, "pic", {Int(0x10003)}));
    EXPECT_TRUE(host.pic.visible);
    host.pic.state = 0;
    EXPECT_EQ(0, Run(1407, "pic"));
    EXPECT_TRUE(host.pic.visible);
    EXPECT_EQ(0, Run(1401, ""));
    EXPECT_EQ(0, Run(1402, "ghost", {Int(1)}));
    EXPECT_EQ(0, Run(1501, ""));
    EXPECT_EQ(0, Run(1601, "ghost"));
    EXPECT_EQ("schedule 1401 500", host.calls[0]);
    EXPECT_EQ("sound show 3", host.devices.calls[0]);
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("Cannot execute obj-act: 1401 -- empty object name"));
    EXPECT_NE(std::string::npos,
              text.find("Cannot execute obj-act: 1402 -- 'ghost' not found in page 'Home'"));
    EXPECT_NE(std::string::npos, text.find("Cannot execute motion: 1501 -- empty object name"));
    EXPECT_NE(std::string::npos,
              text.find("Cannot execute effect-obj-act: 1601 -- 'ghost' not found in page"));
}

TEST_F(CmdExecTest, SystemSoundBalanceAndVolume) {
    const struct {
        LONG arg;
        const char* want;
    } cases[] = {{7, "balance 2000"},
                 {12, "balance 5000"},
                 {-1, "balance -5000"},
                 {9, "balance 4000"},
                 {10, "balance 5000"}};
    for (const auto& c : cases) {
        host.devices.calls.clear();
        EXPECT_EQ(1, Run(1306, "", {Int(c.arg)}));
        EXPECT_EQ(c.want, host.devices.calls.at(0));
    }
    host.devices.calls.clear();
    host.devices.volume = 950;
    Run(1304, "", {Int(1)});
    Run(1305, "", {Int(14)});
    Run(1203, "", {Int(0x12345)});
    EXPECT_EQ((std::vector<std::string>{"volume 1000", "volume 1000", "mixer 3 9029"}),
              host.devices.calls);
}

TEST_F(CmdExecTest, DatabaseRecords) {
    TempFolder dir;
    LogCapture log(dir.File("c.lg0"));
    std::string longName(80, 's');
    EXPECT_EQ(1, Run(1702, "", {Text(longName.c_str())}));
    EXPECT_EQ(1, Run(1705, "", {Text("t"), Text("7")}));
    EXPECT_EQ(0, Run(1705, "", {Text("t")}));
    EXPECT_EQ(
        1, Run(1708, "", {Text("t"), Int(2), Text("name"), Text("\xC4\xE3"), Text("n"), Int(5)}));
    EXPECT_EQ(0, Run(1708, "", {Text("t"), Int(2), Text("name")}));
    EXPECT_EQ(0, Run(1708, "", {Text("t"), Int(2), Text("name"), Int(1), Text("x")}));
    EXPECT_EQ(1, Run(1709, "", {Text("t"), Text("f"), Int(1)}));
    EXPECT_EQ(0, Run(1709, "", {Text("t"), Text(""), Int(1)}));
    EXPECT_EQ(0, Run(1710, "", {Text("t")}));
    EXPECT_EQ(0, Run(1701, "", {Int(3)}));
    EXPECT_EQ(0, Run(1701, "", {Text("")}));
    host.db.answer = E_FAIL;
    EXPECT_EQ(0, Run(1706, "", {Text("q")}));
    host.dbOn = false;
    EXPECT_EQ(0, Run(1707, "", {Text("q")}));
    const auto& c = host.db.calls;
    ASSERT_EQ(5u, c.size());
    EXPECT_EQ(std::string(63, 's'), c[0].source);
    EXPECT_EQ(999999998, c[0].position);
    EXPECT_EQ(7, c[1].position);
    EXPECT_EQ("update", c[2].op);
    EXPECT_EQ(2, c[2].position);
    // Text values go over as their multibyte bytes.
    EXPECT_EQ((std::vector<std::string>{"name=\xC4\xE3", "n=#3"}), c[2].pairs);
    EXPECT_EQ("add", c[3].op);
    std::string text = log.Text();
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd failed -- insuffienct params"));
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd(UPDATE) failed -- invalid params"));
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd(ADDNEW) failed -- invalid params"));
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd(DEL) failed -- invalid params"));
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd failed -- invalid param"));
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd failed -- empty datasrcname"));
    EXPECT_NE(std::string::npos, text.find("ExecuteDBActCmd failed -- database disabled"));
}

struct ShellLog {
    static std::vector<std::string> calls;
    static HINSTANCE WINAPI Execute(HWND, const char* verb, const char* file, const char* params,
                                    const char* dir, INT show) {
        calls.push_back(std::string(verb) + "|" + file + "|" + (params ? params : "<none>") + "|" +
                        (dir ? dir : "<none>") + "|" + std::to_string(show));
        return (HINSTANCE)(INT_PTR)42;
    }
    static BOOL WINAPI Exit(UINT flags, DWORD) {
        calls.push_back("exit " + std::to_string(flags));
        return TRUE;
    }
};
std::vector<std::string> ShellLog::calls;

TEST_F(CmdExecTest, ShellCallsGoThroughTheSeam) {
    ShellCalls calls = {ShellLog::Execute, ShellLog::Exit};
    SetShellCalls(&calls);
    ShellLog::calls.clear();
    TempFolder dir;
    std::string program = dir.File("tool.exe");
    EXPECT_EQ(1, Run(1801, "", {Text(program.c_str()), Text("a b")}));
    EXPECT_EQ(1, Run(1801, "", {Text("notepad.exe")}));
    EXPECT_EQ(1, Run(1801, "", {Text("x.exe"), Text("one"), Text("two"), Int(3), Text("no")}));
    EXPECT_EQ(1, Run(1802, "", {Text("doc.txt")}));
    EXPECT_EQ(1, Run(1803, "", {Int(1)}));
    EXPECT_EQ(1, Run(1803, "", {Int(7)}));
    SetShellCalls(nullptr);
    std::string folder = program.substr(0, program.find_last_of('\\'));
    EXPECT_EQ((std::vector<std::string>{
                  "Open|" + program + "|\"a b\"|" + folder + "|1",
                  "Open|notepad.exe|<none>|<none>|1",
                  "Open|x.exe|\"one\" \"two\"|<none>|1",
                  "Open|doc.txt|<none>|<none>|1",
                  "exit " + std::to_string(EWX_REBOOT),
                  "exit " + std::to_string(EWX_LOGOFF),
              }),
              ShellLog::calls);
}

TEST_F(CmdExecTest, ShellNamesLongerThanAPathAreRefusedBeforeTheCall) {
    ShellCalls calls = {ShellLog::Execute, ShellLog::Exit};
    SetShellCalls(&calls);
    ShellLog::calls.clear();
    LogCapture log;
    const std::string longest(MAX_PATH - 1, 'a'), over(MAX_PATH, 'a'), huge(5000, 'a');
    // The parameter line is each text in quotes, blank-separated.
    const std::string param(MAX_PATH - 3, 'p');
    EXPECT_EQ(0, Run(1801, "", {Text(huge.c_str())}));
    EXPECT_EQ(0, Run(1801, "", {Text(over.c_str())}));
    EXPECT_EQ(0, Run(1801, "", {Text("x.exe"), Text((param + "p").c_str())}));
    EXPECT_EQ(0, Run(1801, "", {Text("x.exe"), Text(param.c_str()), Text("")}));
    EXPECT_EQ(0, Run(1802, "", {Text(huge.c_str())}));
    EXPECT_EQ(0, Run(1802, "", {Text(over.c_str())}));
    EXPECT_TRUE(ShellLog::calls.empty());
    EXPECT_EQ(1, Run(1801, "", {Text(longest.c_str()), Text(param.c_str())}));
    EXPECT_EQ(1, Run(1802, "", {Text(longest.c_str())}));
    SetShellCalls(nullptr);
    EXPECT_EQ(2u, ShellLog::calls.size());
    EXPECT_LOGGED(log, "Run-appl: name of 5000 and parameters of 0 bytes refused -- at most 259");
    EXPECT_LOGGED(log, "Run-appl: name of 5 and parameters of 260 bytes refused -- at most 259");
    EXPECT_LOGGED(log, "Open document: name of 5000 bytes refused -- at most 259");
    EXPECT_LOGGED(log, "Open document: name of 260 bytes refused -- at most 259");
}

TEST_F(CmdExecTest, SavingProgressUnderAnEmptyKeyIsRefused) {
    TempFolder dir;
    std::string ini = dir.File("mavroappl.ini");
    SetAppStateIniPath(ini.c_str());
    LogCapture log;
    EXPECT_EQ(0, Run(1807, ""));
    EXPECT_LOGGED(log, "SaveProgress: empty key refused");
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ini.c_str()));
    EXPECT_EQ(1, Run(1807, "k"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(ini.c_str()));
    SetAppStateIniPath(nullptr);
}

TEST_F(CmdExecTest, VariablesAndProgressInTheIni) {
    TempFolder dir;
    std::string ini = dir.File("mavroappl.ini");
    SetAppStateIniPath(ini.c_str());
    CVarList globals;
    VariableManager vars;
    vars.SetGlobalList(&globals);
    VARIANT v = Int(3);
    globals.Insert(-1, "visits", v, v);
    host.vars = &vars;
    EXPECT_EQ(1, Run(1805, "", {Text("visits")}));
    globals.GetValue(0)->lVal = 0;
    EXPECT_EQ(1, Run(1804, "", {Text("visits")}));
    EXPECT_EQ(3, globals.GetValue(0)->lVal);
    EXPECT_EQ(1, Run(1807, "chapter"));
    char text[64];
    GetPrivateProfileStringA("APPL_01d0000012345678_PROGRESS", "chapter", "", text, 64,
                             ini.c_str());
    EXPECT_STREQ("Home", text);
    GetPrivateProfileStringA("APPL_01d0000012345678_VARS", "visits", "", text, 64, ini.c_str());
    EXPECT_STREQ("3,3", text);
    // Home is no page the fake knows.
    EXPECT_EQ(0, Run(1806, "chapter"));
    EXPECT_EQ(0, Run(1806, "nokey"));
    SetAppStateIniPath(nullptr);
}

}  // namespace
