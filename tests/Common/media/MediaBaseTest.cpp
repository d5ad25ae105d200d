// The media control base: changed flags, position clamping and the switch of
// time unit between opens, names, conversions and the interface it answers.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>

#include "bMediaBase.h"

namespace {

// A control whose openness and duration a test sets, as a subclass's Open would.
class TestControl : public MediaObjectBase {
public:
    TestControl() : MediaObjectBase(nullptr) { AddRef(); }
    STDMETHOD(IsClosed)() override { return open ? S_OK : E_FAIL; }
    STDMETHOD(GetMCIDeviceType)(char* buffer) override {
        if (buffer)
            *buffer = 0;
        return S_OK;
    }
    STDMETHOD(SetKindFromFileName)(const char*, char*) override { return S_OK; }
    // An open of media of the duration: the positions are checked against it.
    void OpenWith(LONGLONG duration) {
        open = true;
        m_duration = duration;
        ApplyPositions(0);
    }
    void CloseIt() {
        open = false;
        ResetProperties();
    }
    bool open = false;
};

struct EdgeCase {
    const char* name;
    std::function<void(TestControl&)> act;
    std::function<void(TestControl&)> check;
};

LONGLONG Start(TestControl& c) {
    LONGLONG v = -1;
    c.get_StartPos(&v);
    return v;
}

}  // namespace

TEST(MediaBase, EdgeCases) {
    const EdgeCase cases[] = {
        {"volume set to its own value clears the flag only",
         [](TestControl& c) { c.put_Volume(1000); },
         [](TestControl& c) {
             long v = 0;
             c.get_Volume(&v);
             EXPECT_EQ(v, 1000);
             EXPECT_FALSE(c.VolumeChanged());
             EXPECT_TRUE(c.BalanceChanged());
         }},
        {"balance 2500 stored and flagged, again clears the flag",
         [](TestControl& c) {
             c.put_Balance(2500);
             long v = 0;
             c.get_Balance(&v);
             EXPECT_EQ(v, 2500);
             EXPECT_TRUE(c.BalanceChanged());
             c.put_Balance(2500);
         },
         [](TestControl& c) {
             long v = 0;
             c.get_Balance(&v);
             EXPECT_EQ(v, 2500);
             EXPECT_FALSE(c.BalanceChanged());
         }},
        {"a start beyond the unknown duration waits for the open",
         [](TestControl& c) {
             c.put_EndPos(400);
             c.put_StartPos(500);
             EXPECT_EQ(Start(c), 500);  // closed: kept as given
             c.OpenWith(300);
         },
         [](TestControl& c) {
             LONGLONG end = -1;
             c.get_EndPos(&end);
             EXPECT_EQ(end, 300);
             EXPECT_EQ(Start(c), 0);
         }},
        {"use MCI after a DirectShow open converts the start to milliseconds",
         [](TestControl& c) {
             c.OpenWith(100000000);
             c.put_EndPos(90000000);
             c.put_StartPos(25000000);
             c.CloseIt();
             c.put_UseMCI(1);
             EXPECT_TRUE(c.TimeBaseChanged());
             c.OpenWith(10000);
         },
         [](TestControl& c) {
             EXPECT_EQ(Start(c), 2500);
             LONGLONG end = -1;
             c.get_EndPos(&end);
             EXPECT_EQ(end, 9000);
             EXPECT_FALSE(c.TimeBaseChanged());
         }},
        {"the same name again, or a first name, is no change of file",
         [](TestControl& c) {
             c.put_FileName("a.wav");
             EXPECT_FALSE(c.FileChanged());
             c.put_FileName("a.wav");
         },
         [](TestControl& c) {
             EXPECT_FALSE(c.FileChanged());
             c.put_FileName("b.wav");
             EXPECT_TRUE(c.FileChanged());
         }},
    };
    for (const EdgeCase& e : cases) {
        SCOPED_TRACE(e.name);
        TestControl c;
        e.act(c);
        e.check(c);
        c.Release();
    }
}

TEST(MediaBase, UseMciBeforeAnyOpenConvertsNothing) {
    TestControl c;
    c.put_EndPos(9000);
    c.put_StartPos(2500);
    c.put_UseMCI(1);
    c.OpenWith(10000);
    EXPECT_EQ(Start(c), 2500);
    c.Release();
}

TEST(MediaBase, ConversionsRoundAndPassThrough) {
    LONGLONG v = 0;
    EXPECT_EQ(RefTimeToMs(25004999, &v, TRUE), 1);
    EXPECT_EQ(v, 2500);
    RefTimeToMs(25005000, &v, TRUE);
    EXPECT_EQ(v, 2501);
    RefTimeToMs(7, &v, FALSE);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(MsToRefTime(&v, 2500, TRUE), 1);
    EXPECT_EQ(v, 25000000);
    MsToRefTime(&v, 9, FALSE);
    EXPECT_EQ(v, 9);
}

TEST(MediaBase, OpenControlClampsPositions) {
    TestControl c;
    c.OpenWith(1000);
    c.put_StartPos(-5);
    EXPECT_EQ(Start(c), 0);
    c.put_EndPos(5000);
    LONGLONG end = 0;
    c.get_EndPos(&end);
    EXPECT_EQ(end, 1000);
    c.put_CurPos(2000);
    LONGLONG cur = 0;
    c.get_CurPos(&cur);
    EXPECT_EQ(cur, 1000);
    c.Release();
}

TEST(MediaBase, ClosingAfterRenameForgetsPositionsAndFlagsEverything) {
    TestControl c;
    c.put_FileName("a.wav");
    c.OpenWith(1000);
    c.put_Volume(300);
    c.put_Volume(300);
    c.put_FileName("b.wav");
    c.put_PlayState(MEDIA_PLAYING);
    c.CloseIt();
    long volume = 0, state = -1;
    LONGLONG duration = -1;
    c.get_Volume(&volume);
    c.get_PlayState(&state);
    c.get_Duration(&duration);
    EXPECT_EQ(volume, 1000);
    EXPECT_EQ(state, MEDIA_STOPPED);
    EXPECT_EQ(duration, 0);
    EXPECT_TRUE(c.VolumeChanged());
    EXPECT_TRUE(c.StartChanged());
    EXPECT_TRUE(c.RateChanged());
    c.Release();
}

// Names past the buffer are refused whole; a getter without room writes nothing.
TEST(MediaBase, NamesAndAliasesKeepTheirBuffers) {
    TestControl c;
    const std::string longest(259, 'n'), tooLong(260, 'n');
    EXPECT_EQ(c.put_FileName(longest.c_str()), S_OK);
    EXPECT_EQ(c.put_FileName(tooLong.c_str()), E_INVALIDARG);
    char buffer[300];
    memset(buffer, 'x', sizeof(buffer));
    c.get_FileName(buffer, 300);
    EXPECT_EQ(std::string(buffer), longest);
    EXPECT_EQ(c.put_Alias(longest.c_str()), S_OK);
    EXPECT_EQ(c.put_Alias(tooLong.c_str()), E_INVALIDARG);

    c.put_FileName("abc.wav");
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(c.get_FileName(buffer, 0), S_OK);
    EXPECT_EQ(c.get_FileName(buffer, -1), S_OK);
    EXPECT_EQ(buffer[0], 'x');
    c.get_FileName(buffer, 4);
    EXPECT_STREQ(buffer, "abc");
    c.Release();
}

TEST(MediaBase, AnswersItsInterfaceOnlyAndDiesThroughTheCount) {
    TestControl* c = new TestControl;
    IUnknown* unknown = nullptr;
    EXPECT_EQ(c->QueryInterface(IID_IUnknown, (void**)&unknown), S_OK);
    IMediaObjectBase* media = nullptr;
    EXPECT_EQ(unknown->QueryInterface(__uuidof(IMediaObjectBase), (void**)&media), S_OK);
    void* other = &other;
    EXPECT_EQ(c->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    unknown->Release();
    media->Release();
    EXPECT_EQ(c->Release(), 0u);
}

TEST(MediaBase, BaseSlotsAnswerAsDocumented) {
    TestControl c;
    IPixelBuffer* picture = reinterpret_cast<IPixelBuffer*>(&c);
    EXPECT_EQ(c.GrabFrame(&picture), E_NOTIMPL);
    EXPECT_EQ(picture, nullptr);
    EXPECT_EQ(c.MediaObjectBase::IsClosed(), 1);
    EXPECT_EQ(c.put_FrameRect(nullptr), E_NOTIMPL);
    c.put_Hidden(0x1201);
    c.put_CDAudio(1);  // use MCI clear, CD set: the time base differs
    EXPECT_TRUE(c.TimeBaseChanged());
    c.put_WindowRect(1, 2, 3, 4);
    RECT r;
    c.get_WindowRect(&r);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.bottom, 4);
    short kind = 0;
    c.put_Kind(0x10002);
    c.get_Kind(&kind);
    EXPECT_EQ(kind, 2);
    c.Release();
}
