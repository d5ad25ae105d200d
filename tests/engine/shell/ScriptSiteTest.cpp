// The document's script parts as the play site hands them out (slots 10 to
// 16, 22 and 23), the devices that commands reach, and the application's
// event record loaded from a written work and fired by the topic manager.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "CommandArgs.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "RoutineTableWriter.h"
#include "ServiceFakes.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aProject.h"
#include "aScriptHost.h"
#include "aSequencer.h"
#include "bMediaDevices.h"
#include "bSysSound.h"
#include "bSysSoundPlayer.h"
#include "bStrConv.h"
#include "bVarMgr.h"
#include "PlayerBuildFiles.h"

namespace {

using namespace cmdargs;

// Records every call as text.
struct FakeRecorder : ISoundRecorder {
    std::string calls;
    int state = 2;
    void Add(const std::string& s) { calls += (calls.empty() ? "" : ";") + s; }
    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(Init)() override { return S_OK; }
    STDMETHOD(SelectInputFormat)(int row) override {
        Add("SelectInputFormat " + std::to_string(row));
        return S_OK;
    }
    STDMETHOD(SelectDevice)(int index) override {
        Add("SelectDevice " + std::to_string(index));
        return S_OK;
    }
    STDMETHOD(StartRecordInMem)(LONG ms) override {
        Add("StartRecordInMem " + std::to_string(ms));
        return S_OK;
    }
    STDMETHOD(StartRecordInFile)(const char* file, LONG ms) override {
        Add(std::string("StartRecordInFile ") + file + " " + std::to_string(ms));
        return S_OK;
    }
    STDMETHOD(SaveToFile)(const char* file) override {
        Add(std::string("SaveToFile ") + file);
        return S_OK;
    }
    STDMETHOD(Play)(LONG from, LONG to) override {
        Add("Play " + std::to_string(from) + " " + std::to_string(to));
        return S_OK;
    }
    STDMETHOD(Stop)() override {
        Add("Stop");
        return S_OK;
    }
    STDMETHOD(Pause)() override {
        Add("Pause");
        return S_OK;
    }
    STDMETHOD(Continue)() override {
        Add("Continue");
        return S_OK;
    }
    STDMETHOD_(int, GetState)() override { return state; }
    STDMETHOD_(BOOL, IsShowingMessage)() override { return FALSE; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
};

struct FakeCapture : IVideoCapture {
    std::string calls;
    void Add(const std::string& s) { calls += (calls.empty() ? "" : ";") + s; }
    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(Init)() override { return S_OK; }
    STDMETHOD(Reserved4)() override { return S_OK; }
    STDMETHOD(Reserved5)() override { return E_NOTIMPL; }
    STDMETHOD(SetFrameRate)(int type) override {
        Add("SetFrameRate " + std::to_string(type));
        return S_OK;
    }
    STDMETHOD(SetSize)(int type) override {
        Add("SetSize " + std::to_string(type));
        return S_OK;
    }
    STDMETHOD(StartCap)() override {
        Add("StartCap");
        return S_OK;
    }
    STDMETHOD(StopCap)() override {
        Add("StopCap");
        return S_OK;
    }
    STDMETHOD(SetPosition)(POINT pt) override {
        Add("SetPosition " + std::to_string(pt.x) + " " + std::to_string(pt.y));
        return S_OK;
    }
    STDMETHOD(SetWindowStyle)(int type) override {
        Add("SetWindowStyle " + std::to_string(type));
        return S_OK;
    }
    STDMETHOD(Reserved12)() override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
};

struct FakeMixer : IMixerDevice {
    std::string calls;
    void SetMixerVolume(int op, LONG value) override {
        calls += (calls.empty() ? "" : ";") + std::to_string(op) + " " + std::to_string(value);
    }
};

class ScriptSiteTest : public PlayerFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(LoadTypeLib());
        work.pages = {{"A", "First", "Bkg", "", "", "B"}, {"B", "Second", "Bkg", "", "", ""}};
        work.backgrounds = {"Bkg"};
    }
    int Command(UINT command, std::vector<VARIANT> args = {}) {
        return doc->GetScript()->GetExecutor()->ExecuteCommand(nullptr, command, Packet("", args));
    }
    LONG Global(const char* name) {
        VariableManager* vars = doc->GetProject()->GetVariableManager();
        int id = vars->Find(name);
        const VARIANT* v = id >= 0 ? vars->PeekValue(id) : nullptr;
        return v && V_VT(v) == VT_I4 ? V_I4(v) : -12345;
    }
};

TEST_F(ScriptSiteTest, SlotsHandOutTheScriptParts) {
    ASSERT_EQ(OpenWork(), S_OK);
    IPlayerSite* site = doc->GetSite();
    CScriptHost* script = doc->GetScript();
    void* p = nullptr;
    ASSERT_EQ(site->GetEventProcessor(&p), S_OK);
    EXPECT_EQ(p, static_cast<IActionQueue*>(script->GetProcessor()));
    ASSERT_EQ(site->GetFunctionManager(&p), S_OK);
    CFunctionManager* functions = static_cast<CFunctionManager*>(p);
    EXPECT_EQ(functions, script->GetFunctions());
    ASSERT_EQ(site->GetProjectService(&p), S_OK);
    EXPECT_EQ(p, script->GetRoutines());
    IExpression* e15 = nullptr;
    IExpression* e16 = nullptr;
    ASSERT_EQ(site->GetExpression(&e15), S_OK);
    ASSERT_EQ(site->GetExpression2(&e16), S_OK);
    EXPECT_EQ(e15, e16);
    ASSERT_NE(e15, nullptr);

    // The evaluator of slot 15 calls through the manager of slot 12.
    ASSERT_TRUE(functions->LoadLibraries(PlayerBuildFile("FuncLib.tlb").c_str()));
    VARIANT v;
    VariantInit(&v);
    ASSERT_EQ(e15->Evaluate("abs(-3) + 1", &v), S_OK);
    EXPECT_EQ(V_VT(&v), VT_I4);
    EXPECT_EQ(V_I4(&v), 4);
    VariantClear(&v);

    // The context's owner follows the shown page.
    ASSERT_EQ(site->GetScriptContext(&p), S_OK);
    CScriptContext* context = static_cast<CScriptContext*>(p);
    CCanvasSet* set = doc->GetCanvasSet();
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(context->ownerKind, 0);
    EXPECT_EQ(context->owner, static_cast<IObjectEvent*>(set->page));
    // With the variables an object's own expressions see (a board's curve).
    ASSERT_NE(context->variables, nullptr);
    EXPECT_EQ(context->variables, doc->GetProject()->GetVariableManager());
    ASSERT_TRUE(doc->ChangeCanvasTo(doc->GetProject()->GetStructMan()->FindPage("B")));
    EXPECT_EQ(context->owner, static_cast<IObjectEvent*>(doc->GetCanvasSet()->page));
}

TEST_F(ScriptSiteTest, TheFirstDeviceCommandMakesTheRecorderAndTheCapture) {
    ASSERT_EQ(OpenWork(), S_OK);
    CScriptHost* script = doc->GetScript();
    void* recorder = nullptr;
    void* capture = nullptr;
    LONG state = -1;
    // Nothing before a script asks: the empty numbers make nothing either.
    EXPECT_EQ(Command(1900), 1);
    EXPECT_EQ(Command(2000), 1);
    doc->GetSite()->GetSoundRecorder(&recorder);
    doc->GetSite()->GetVideoCapture(&capture);
    EXPECT_EQ(recorder, nullptr);
    EXPECT_EQ(capture, nullptr);
    EXPECT_EQ(script->GetRecorderState(&state), E_FAIL);

    struct {
        UINT command;
        std::vector<VARIANT> args;
    } commands[] = {{1906, {}}, {2001, {Int(2)}}, {1901, {Int(0)}}, {2005, {}}, {2006, {}}};
    for (const auto& c : commands) {
        EXPECT_EQ(Command(c.command, c.args), 1) << c.command;
        void* r = nullptr;
        void* v = nullptr;
        doc->GetSite()->GetSoundRecorder(&r);
        doc->GetSite()->GetVideoCapture(&v);
        ASSERT_NE(r, nullptr);
        ASSERT_NE(v, nullptr);
        if (!recorder) {
            recorder = r;
            capture = v;
        }
        EXPECT_EQ(r, recorder) << c.command;  // made once
        EXPECT_EQ(v, capture) << c.command;
    }
    ISoundRecorder* made = nullptr;
    EXPECT_EQ(static_cast<IUnknown*>(recorder)->QueryInterface(__uuidof(ISoundRecorder),
                                                               reinterpret_cast<void**>(&made)),
              S_OK);
    made->Release();
    IVideoCapture* live = nullptr;
    EXPECT_EQ(static_cast<IUnknown*>(capture)->QueryInterface(__uuidof(IVideoCapture),
                                                              reinterpret_cast<void**>(&live)),
              S_OK);
    live->Release();
    EXPECT_EQ(script->GetRecorderState(&state), S_OK);
    EXPECT_EQ(state, 0);
}

TEST_F(ScriptSiteTest, RecorderAndCaptureCommandsReachTheSiteDevices) {
    ASSERT_EQ(OpenWork(), S_OK);
    FakeRecorder recorder;
    FakeCapture capture;
    doc->GetSite()->SetMediaServices(nullptr, &recorder, &capture);
    void* p = nullptr;
    EXPECT_EQ(doc->GetSite()->GetSoundRecorder(&p), S_OK);
    EXPECT_EQ(p, &recorder);
    EXPECT_EQ(doc->GetSite()->GetVideoCapture(&p), S_OK);
    EXPECT_EQ(p, &capture);

    const struct {
        UINT command;
        std::vector<VARIANT> args;
        const char* call;  // "" for a skipped operation
    } cases[] = {
        {1901, {Int(2)}, "SelectInputFormat 2"},
        {1901, {Text("2")}, ""},  // a text where a number belongs
        {1902, {Int(1)}, "SelectDevice 1"},
        {1903, {Int(3000)}, "StartRecordInMem 3000"},
        {1904, {Text("a.wav"), Int(500)}, "StartRecordInFile a.wav 500"},
        {1904, {Int(1), Int(500)}, ""},
        {1905, {Text("100"), Int(-1)}, "Play 100 -1"},  // the first is any value
        {1905, {Int(100)}, ""},
        {1906, {}, "Stop"},
        {1907, {}, "Pause"},
        {1908, {}, "Continue"},
        {1909, {Text("s.wav")}, "SaveToFile s.wav"},
        {2001, {Int(3)}, "SetFrameRate 3"},
        {2002, {Int(10), Int(20)}, "SetPosition 10 20"},
        {2002, {Int(10)}, ""},
        {2003, {Int(4)}, "SetSize 4"},
        {2004, {Int(1)}, "SetWindowStyle 1"},
        {2005, {}, "StartCap"},
        {2006, {}, "StopCap"},
    };
    for (const auto& c : cases) {
        recorder.calls.clear();
        capture.calls.clear();
        EXPECT_EQ(Command(c.command, c.args), 1) << c.command;
        EXPECT_EQ(recorder.calls + capture.calls, c.call) << c.command;
    }

    // The system library reads the recorder's state through the site.
    void* f = nullptr;
    doc->GetSite()->GetFunctionManager(&f);
    ASSERT_TRUE(
        static_cast<CFunctionManager*>(f)->LoadLibraries(PlayerBuildFile("FuncLib.tlb").c_str()));
    VARIANT v;
    VariantInit(&v);
    recorder.state = 4;
    ASSERT_EQ(doc->GetScript()->GetExpression()->Evaluate("GetRecorderState()", &v), S_OK);
    EXPECT_EQ(V_I4(&v), 4);
    doc->GetSite()->SetMediaServices(nullptr, nullptr, nullptr);
    EXPECT_NE(doc->GetScript()->GetExpression()->Evaluate("GetRecorderState()", &v), S_OK);
}

TEST_F(ScriptSiteTest, SystemSoundAndMixerCommands) {
    ASSERT_EQ(OpenWork(), S_OK);
    EXPECT_EQ(Command(1301), 0);
    // The system mixer: a level of 5 on Wine's uniform speaker volume.
    ASSERT_EQ(Command(1202, {Int(5)}), 1);
    HMIXER m = nullptr;
    ASSERT_EQ(mixerOpen(&m, 0, 0, 0, MIXER_OBJECTF_MIXER), 0u);
    MIXERLINEA line = {};
    line.cbStruct = sizeof(line);
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    ASSERT_EQ(mixerGetLineInfoA((HMIXEROBJ)m, &line,
                                MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE),
              0u);
    MIXERCONTROLA control = {};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA controls = {};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    ASSERT_EQ(mixerGetLineControlsA((HMIXEROBJ)m, &controls,
                                    MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE),
              0u);
    MIXERCONTROLDETAILS_UNSIGNED level = {0};
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = 1;
    details.cbDetails = sizeof(level);
    details.paDetails = &level;
    EXPECT_EQ(mixerGetControlDetailsA((HMIXEROBJ)m, &details, MIXER_OBJECTF_HMIXER), 0u);
    EXPECT_EQ(level.dwValue, 32765u);
    EXPECT_EQ(Command(1201, {Int(0)}), 1);
    EXPECT_EQ(mixerGetControlDetailsA((HMIXEROBJ)m, &details, MIXER_OBJECTF_HMIXER), 0u);
    EXPECT_EQ(level.dwValue, 32765u - 6553);
    mixerClose(m);
    void* f = nullptr;
    doc->GetSite()->GetFunctionManager(&f);
    ASSERT_TRUE(
        static_cast<CFunctionManager*>(f)->LoadLibraries(PlayerBuildFile("FuncLib.tlb").c_str()));
    IExpression* expr = doc->GetScript()->GetExpression();
    VARIANT v;
    VariantInit(&v);
    // The document's own system sound is on.
    ASSERT_EQ(expr->Evaluate("IsSysSoundEnabled()", &v), S_OK);
    EXPECT_EQ(V_I4(&v), 1);
    FakeSysSound sound;
    FakeMixer mixer;
    doc->GetSite()->SetMediaServices(&sound, nullptr, nullptr);
    ASSERT_EQ(expr->Evaluate("IsSysSoundEnabled()", &v), S_OK);
    EXPECT_EQ(V_I4(&v), 1);
    doc->GetScript()->GetDeviceParts()->SetMixer(&mixer);
    EXPECT_EQ(Command(1301), 1);
    EXPECT_EQ(Command(1303), 1);  // playing: stops
    EXPECT_EQ(Command(1303), 1);  // stopped: plays
    EXPECT_EQ(Command(1304, {Int(1)}), 1);
    EXPECT_EQ(Command(1305, {Int(12)}), 1);
    EXPECT_EQ(Command(1306, {Int(7)}), 1);
    EXPECT_EQ(sound.calls, (std::vector<std::string>{"play", "stop", "play", "volume 600",
                                                     "volume 1000", "balance 2000"}));
    EXPECT_EQ(Command(1201, {Int(1)}), 1);
    EXPECT_EQ(Command(1202, {Int(0)}), 1);
    EXPECT_EQ(Command(1203, {Int(0x10001)}), 1);
    EXPECT_EQ(Command(1204), 1);
    EXPECT_EQ(mixer.calls, "1 1;2 0;3 1;4 0");
}

// The document makes the system sound with the project: the project's slot
// 3 and the site's slot 21 answer the one object, the sound commands act on
// it and the project's release lets it go.
TEST_F(ScriptSiteTest, TheDocumentSystemSoundAnswersTheCommands) {
    ASSERT_EQ(OpenWork(), S_OK);
    IProject* project = doc->GetProject();
    IUnknown* unknown = project->GetSysSound();
    ASSERT_NE(unknown, nullptr);
    CSysSound* sound = static_cast<CSysSound*>(unknown);
    void* service = nullptr;
    ASSERT_EQ(doc->GetSite()->GetMediaService(&service), S_OK);
    EXPECT_EQ(service, static_cast<ISysSoundPlayer*>(sound));
    IUnknown* asked = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&asked)), S_OK);
    EXPECT_EQ(asked, unknown);
    asked->Release();

    // Nothing open: play, stop and toggle are not done.
    for (UINT command : {1301u, 1302u, 1303u}) EXPECT_EQ(Command(command), 0) << command;
    const struct {
        UINT command;
        LONG argument;
        int volumeBefore;
        long volume, balance;
    } cases[] = {
        {1304, 1, 500, 600, 0},    {1304, 0, 500, 400, 0},      {1304, 1, 950, 1000, 0},
        {1305, 12, 0, 1000, 0},    {1305, -3, 700, 0, 0},       {1305, 4, 0, 400, 0},
        {1306, 7, 500, 500, 2000}, {1306, -1, 500, 500, -5000}, {1306, 12, 500, 500, 5000},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(sound->SetVolume(c.volumeBefore), S_OK);
        ASSERT_EQ(sound->SetBalance(0), S_OK);
        EXPECT_EQ(Command(c.command, {Int(c.argument)}), 1) << c.command << " " << c.argument;
        long volume = -1, balance = -1;
        sound->get_Volume(&volume);
        sound->get_Balance(&balance);
        EXPECT_EQ(volume, c.volume) << c.command << " " << c.argument;
        EXPECT_EQ(balance, c.balance) << c.command << " " << c.argument;
    }
    // CD audio refuses levels: the commands are not done.
    sound->put_CDAudio(1);
    EXPECT_EQ(Command(1304, {Int(1)}), 0);
    EXPECT_EQ(Command(1306, {Int(7)}), 0);
    sound->put_CDAudio(0);

    // The project holds one reference; closing the document releases it.
    unknown->AddRef();
    CloseDocument();
    EXPECT_EQ(unknown->Release(), 0u);
}

// The project body's event record holds a KeyPress list for 'x'; the
// variables follow it and still load.
TEST_F(ScriptSiteTest, ApplicationKeyPressRunsItsList) {
    work.prjInfo.tail = AppKeyPressRecord('x', {{8, "hits", "hits + 1"}, {8, "last", "charCode"}}) +
                        IntVariableListBytes({{"hits", 0}, {"last", 0}});
    ASSERT_EQ(OpenWork(), S_OK);
    EXPECT_EQ(Global("hits"), 0);
    CTopicManager* topics = doc->GetTopics();
    topics->FireEvent(1010, 'x', 0, 1);
    EXPECT_EQ(Global("hits"), 1);
    EXPECT_EQ(Global("last"), 'x');
    topics->FireEvent(1010, 'y', 0, 1);  // no list for 'y'
    topics->FireEvent(1010, 'x', 0, 0);  // the page levels first, then the application
    EXPECT_EQ(Global("hits"), 2);
}

// The application's timers start when a page enters and fire on the page
// clock.
TEST_F(ScriptSiteTest, ApplicationTimerStartsAtPageEnter) {
    work.prjInfo.tail =
        AppTimerRecord(50, {{8, "hits", "hits + 50"}}) + IntVariableListBytes({{"hits", 0}});
    ASSERT_EQ(OpenWork(), S_OK);
    CSequencer* seq = doc->GetSequencer();
    seq->SetClock(0);
    doc->GetTopics()->FireEvent(1220, 0, 0, 1);
    seq->SetClock(40);
    EXPECT_EQ(Global("hits"), 0);
    seq->SetClock(60);
    EXPECT_EQ(Global("hits"), 50);
}

// More stored lists than the application has entries: refused with a log
// line; the work still opens.
TEST_F(ScriptSiteTest, ApplicationRecordWithTooManyListsIsRefused) {
    std::string record(4, '\0');
    record[0] = 9;  // u32 count 9, for 4 entries
    work.prjInfo.tail = record + IntVariableListBytes({{"hits", 0}});
    LogCapture log;
    ASSERT_EQ(OpenWork(), S_OK);
    std::string text = log.Text();
    EXPECT_NE(text.find("EventSet: 9 stored lists for 4 entries"), std::string::npos) << text;
    EXPECT_NE(text.find("PrjInfo: project event record not read"), std::string::npos) << text;
}

}  // namespace
