#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <functional>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "ServiceFakes.h"
#include "SoundWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aGDIBuf.h"
#include "aSndObj.h"

namespace {

// "Beep" and "Twice" are embedded waves (subtype 1021, ".wav").
class SoundMediaManager : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        if (!embedded.count(name))
            return E_FAIL;
        *type = 1001;
        *subtype = 1021;
        return S_OK;
    }
    STDMETHOD(GetDefaultExtension)(const char* name, char* buffer, int length) override {
        if (!embedded.count(name) || length < 5)
            return E_FAIL;
        strcpy(buffer, ".wav");
        return S_OK;
    }
};

// A control that opens anything as one minute and keeps what it is told.
class FakeSoundControl : public MediaObjectBase {
public:
    FakeSoundControl() : MediaObjectBase(nullptr) {}
    STDMETHOD(Open)(const void* nameOrData, DWORD size) override {
        opened = size == 0 ? static_cast<const char*>(nameOrData) : "(memory)";
        m_duration = m_useMCI ? 60000 : 600000000;
        return S_OK;
    }
    STDMETHOD(CloseMedia)() override {
        opened.clear();
        return S_OK;
    }
    STDMETHOD(IsClosed)() override { return opened.empty() ? 1 : S_OK; }
    STDMETHOD(GetMCIDeviceType)(char* buffer) override {
        buffer[0] = 0;
        return S_OK;
    }
    STDMETHOD(SetKindFromFileName)(const char*, char*) override { return S_OK; }
    std::string opened;
};

HRESULT MakeFakeSound(int, IPlayerSite*, IMediaObjectBase** out) {
    *out = new FakeSoundControl;
    (*out)->AddRef();
    return S_OK;
}

// The text as the program's code page writes it.
std::string Acp(const wchar_t* text) {
    char buffer[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

bool PumpUntil(const std::function<bool()>& done, DWORD guardMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > guardMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class SoundObjectTest : public ObjectFixture {
protected:
    SoundObjectTest() {
        CoInitialize(nullptr);
        site.media = static_cast<IMediaManager*>(&media);
        media.embedded["Beep"] = WaveFile(100);
    }
    ~SoundObjectTest() override {
        g_mediaControlFactory = CreateMediaControl;
        for (auto& o : objects) o.Release();
        objects.clear();
        CoUninitialize();
    }
    SoundObject* MakeSound() {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateSoundObject(&unknown), S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        return static_cast<SoundObject*>(static_cast<IObjectBase*>(base.p));
    }
    SoundObject* Named(const wchar_t* name) {
        SoundObject* s = MakeSound();
        BSTR b = SysAllocString(name);
        loaded = s->put_ObjMediaName(b);
        SysFreeString(b);
        return s;
    }
    int Fired(DISPID id) const {
        if (!procs.last)
            return 0;
        return (int)std::count_if(procs.last->calls.begin(), procs.last->calls.end(),
                                  [id](const TestEventProc::Call& c) { return c.id == id; });
    }
    SoundMediaManager media;
    HRESULT loaded = E_FAIL;
};

TEST_F(SoundObjectTest, EmbeddedWavePlaysToItsEndWithoutMci) {
    SoundObject* s = MakeSound();
    s->put_ObjMCI(1);
    BSTR b = SysAllocString(L"Beep");
    ASSERT_EQ(s->put_ObjMediaName(b), S_OK);
    SysFreeString(b);
    ASSERT_TRUE(s->Opened());
    LONG v = -1;
    s->get_ObjMCI(&v);
    EXPECT_EQ(v, 0);
    s->get_ObjLength(&v);
    EXPECT_EQ(v, 100);
    s->get_ObjEndPosition(&v);
    EXPECT_EQ(v, 100);
    ASSERT_NE(s->NotifyWindow(), nullptr);
    char cls[64] = {};
    GetClassNameA(s->NotifyWindow(), cls, sizeof(cls));
    EXPECT_STREQ(cls, "szSoundNotifyClass");

    ASSERT_EQ(s->PlayMedia(), S_OK);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTART), 1);
    EXPECT_EQ(static_cast<IAbility*>(s)->GetState(), ABILITY_RUNNING);
    ASSERT_TRUE(PumpUntil([&] { return Fired(MEDIAEVT_PLAYEND) > 0; }, 2000));
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 0);
    EXPECT_EQ(static_cast<IAbility*>(s)->GetState(), ABILITY_STOPPED);
}

TEST_F(SoundObjectTest, TwoRepeatsLoopOnceThenEnd) {
    SoundObject* s = Named(L"Beep");
    ASSERT_TRUE(s->Opened());
    s->put_ObjRepeatTimes(2);
    s->put_ObjAutoRepeat(1);
    ASSERT_EQ(s->PlayMedia(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return Fired(MEDIAEVT_PLAYEND) > 0; }, 4000));
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 1);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTART), 1);
    EXPECT_EQ(s->PlayCount(), 2);
}

TEST_F(SoundObjectTest, VolumeBalanceAndRepeatRanges) {
    SoundObject* s = MakeSound();
    {
        LogCapture log;
        EXPECT_EQ(s->put_ObjVolume(1001), S_FALSE);
        EXPECT_LOGGED(log, Acp(L"ObjVolume : 参数(1001)不在合法的范围内。"));
    }
    LONG v = 0;
    s->get_ObjVolume(&v);
    EXPECT_EQ(v, 1000);
    EXPECT_EQ(s->put_ObjVolume(-1), S_FALSE);
    EXPECT_EQ(s->put_ObjVolume(250), S_OK);
    s->get_ObjVolume(&v);
    EXPECT_EQ(v, 250);
    EXPECT_EQ(s->put_ObjBalance(10001), S_FALSE);
    EXPECT_EQ(s->put_ObjBalance(-10000), S_OK);
    const LONG repeats[][2] = {{0, 1}, {-3, 1}, {7, 7}, {100000, 32767}};
    for (const auto& r : repeats) {
        s->put_ObjRepeatTimes(r[0]);
        s->get_ObjRepeatTimes(&v);
        EXPECT_EQ(v, r[1]) << r[0];
    }
}

TEST_F(SoundObjectTest, CdAudioImpliesMciAndAllowsTheSlackBeyondTheLength) {
    g_mediaControlFactory = MakeFakeSound;
    SoundObject* s = MakeSound();
    s->put_ObjRunVisible(1);
    ASSERT_EQ(s->put_ObjCDAudio(1), S_OK);
    LONG v = 0;
    s->get_ObjMCI(&v);
    EXPECT_EQ(v, 1);
    ASSERT_TRUE(s->Opened());
    EXPECT_EQ(static_cast<FakeSoundControl*>(s->Control())->opened, "cdaudio");
    s->get_ObjLength(&v);
    EXPECT_EQ(v, 60000);
    std::string text = s->StatusText();
    ASSERT_NE(text.find('\n'), std::string::npos);
    EXPECT_EQ(text.substr(text.find('\n') + 1, 8), "CDAudio\n");
    EXPECT_EQ(s->put_ObjEndPosition(60000 + 2001), S_OK);
    EXPECT_EQ(s->put_ObjEndPosition(60000 + 2002), E_INVALIDARG);
    s->get_ObjEndPosition(&v);
    EXPECT_EQ(v, 62001);
    // A start beyond the end moves the end with it; the current follows.
    EXPECT_EQ(s->put_ObjEndPosition(1000), S_OK);
    EXPECT_EQ(s->put_ObjStartPosition(5000), S_OK);
    s->get_ObjEndPosition(&v);
    EXPECT_EQ(v, 5000);
    EXPECT_EQ(s->put_ObjStartPosition(-1), E_INVALIDARG);

    // The status box: light grey with three lines.
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(300, 200));
    RECT r = {10, 10, 130, 90};
    ASSERT_EQ(s->DrawContent(target, &r), S_OK);
    HDC dc = nullptr;
    target->GetDC(&dc);
    EXPECT_EQ(GetPixel(dc, 12, 88), RGB(192, 192, 192));
    EXPECT_NE(GetPixel(dc, 140, 50), RGB(192, 192, 192));
    target->ReleaseDC(dc);
}

TEST_F(SoundObjectTest, RecordNameFieldAndClampedLevels) {
    g_mediaControlFactory = MakeFakeSound;
    struct Case {
        const char* what;
        std::string name;
        int32_t count;
        bool ok;
        const char* expect;
    } cases[] = {
        {"a name", "Beep", -1, true, "Beep"},
        {"no name", "", 0, true, ""},
        {"no NUL within the count", "Beep", 4, true, "Beep"},
        {"33 bytes", std::string(32, 'n'), 33, true, nullptr},
        {"34 bytes", std::string(33, 'n'), 34, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundRecord rec;
        rec.name = c.name;
        rec.nameCount = c.count;
        rec.volume = 5000;
        rec.balance = -20000;
        rec.repeatTimes = 0;
        rec.end = 900;
        std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
        std::vector<uint8_t> own = WriteSoundRecord(rec);
        bytes.insert(bytes.end(), own.begin(), own.end());
        SoundObject* s = MakeSound();
        CComPtr<ITeskStream> st = MemStreamOf(bytes);
        HRESULT hr = static_cast<IObjectBase*>(s)->Load(st);
        if (!c.ok) {
            EXPECT_NE(hr, S_OK);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(st->GetPosition(), st->GetSize());
        if (c.expect) {
            EXPECT_STREQ(s->MediaName(), c.expect);
        }
        LONG v = 0;
        s->get_ObjVolume(&v);
        EXPECT_EQ(v, 1000);
        s->get_ObjBalance(&v);
        EXPECT_EQ(v, -10000);
        s->get_ObjRepeatTimes(&v);
        EXPECT_EQ(v, 1);
        s->get_ObjEndPosition(&v);
        EXPECT_EQ(v, 900);
    }
    // Cut anywhere in the sound's part: refused, nothing read past the end.
    SoundRecord rec;
    rec.name = "Beep";
    std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
    const size_t own = bytes.size();
    std::vector<uint8_t> tail = WriteSoundRecord(rec);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    for (size_t n = own; n < bytes.size(); ++n) {
        SoundObject* cut = MakeSound();
        CComPtr<ITeskStream> t =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(cut)->Load(t), S_OK) << n;
        EXPECT_LE(t->GetPosition(), n);
    }
}

}  // namespace
