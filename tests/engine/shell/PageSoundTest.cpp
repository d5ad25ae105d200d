// A page's own sound on page enter: kept, stopped or started through the
// project's system-sound player, as the page flags and the sound record say.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ObjectDoubles.h"
#include "PlayerFixture.h"
#include "ProjectWriter.h"
#include "ServiceFakes.h"
#include "SoundWriter.h"
#include "StreamFixtures.h"
#include "aCanvas.h"
#include "aPageStruct.h"
#include "aProject.h"
#include "aStorage.h"
#include "bSysSound.h"
#include "bSysSoundPlayer.h"

namespace {

// A site whose media-side service is the system-sound player.
class SoundSite : public TestPlayerSite {
public:
    STDMETHOD(GetMediaService)(void** out) override {
        *out = static_cast<ISysSoundPlayer*>(&player);
        return S_OK;
    }
    FakeSysSound player;
};

// Loads the page's stored properties and enters the page.
std::vector<std::string> EnterPage(SoundSite& site, const PageProps& props) {
    CPageCanvas page(&site, nullptr);
    EXPECT_TRUE(page.LoadProperty(MemStreamOf(PageProperties(props))));
    page.OnPageEvent(1220, 0, 0, 0);
    return site.player.calls;
}

typedef std::vector<std::string> Calls;

TEST(PageSound, FlagCasesOnEnter) {
    const Calls start = {"copy", "open", "play"}, stop = {"stop"}, none = {};
    struct {
        const char* what;
        uint32_t flags;
        const char* path;
        uint32_t sixth;
        Calls expected;
    } rows[] = {
        {"bit 1 keeps the playing sound", 0x02 | 0x04, "a.wav", 0, none},
        {"bit 1 without a sound of its own", 0x03, "", 0, none},
        {"no sound of its own stops", 0x01, "a.wav", 0, stop},
        {"own sound with a path starts", 0x04, "a.wav", 0, start},
        {"own sound with a path and sixth value set", 0x04, "a.wav", 7, start},
        {"own sound, no path, sixth value 0 stops", 0x04, "", 0, stop},
        {"own sound, no path, sixth value set: the CD starts", 0x04, "", 7, start},
    };
    for (auto& row : rows) {
        SoundSite site;
        site.view = reinterpret_cast<HWND>(0x1234);
        PageProps p;
        p.flags = row.flags;
        p.soundPath = row.path;
        p.soundFirst = 5;
        p.soundValues[5] = row.sixth;
        EXPECT_EQ(EnterPage(site, p), row.expected) << row.what;
        if (row.expected == start) {
            // The record's properties, on the view window.
            EXPECT_EQ(site.player.path, row.path) << row.what;
            EXPECT_EQ(site.player.first, 5u) << row.what;
            EXPECT_EQ(site.player.storedVolume, 1000u) << row.what;
            EXPECT_EQ(site.player.openedOn, site.view) << row.what;
        }
    }
}

// The document's own system sound on page enter: the page's embedded WAV
// opens from memory under the view window and plays; a page without a sound
// of its own stops it.
class DocumentPageSound : public PlayerFixture {};

TEST_F(DocumentPageSound, EnteringPagesStartsAndStopsTheWorkSound) {
    CoInitialize(nullptr);
    ASSERT_TRUE(LoadTypeLib());
    work.pages = {{"A", "", "Bkg", "", "", "B"}, {"B", "", "Bkg", "", "", ""}};
    PutGreenBackground(work);
    PageProps a, b;
    a.flags = 0x04;
    a.soundPath = "beep.wav";
    b.flags = 0;
    CanvasSpec pageA, pageB;
    pageA.properties = PageProperties(a);
    pageB.properties = PageProperties(b);
    work.canvasInfo["A"] = MakeCanvasInfo(pageA);
    work.canvasInfo["B"] = MakeCanvasInfo(pageB);
    const std::string wave = WaveFile(2000, 8000, true);
    work.items = {EmbeddedItem("beep.wav", 4, 1020)};
    work.mediaData = {{"beep.wav", wave}};
    {
        LogCapture log;
        ASSERT_EQ(OpenWork(), S_OK);
        ASSERT_TRUE(ShowView("sound"));
        doc->StartPresentation();
        CSysSound* sound = static_cast<CSysSound*>(doc->GetProject()->GetSysSound());
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->GetPlayState(), 1);
        EXPECT_EQ(GetParent(sound->NotifyWindow()), view->m_hWnd);
        char name[40] = "";
        sound->get_MediaName(name, sizeof(name));
        EXPECT_STREQ(name, "beep.wav");

        ASSERT_TRUE(doc->ChangeCanvasTo(doc->GetProject()->GetStructMan()->FindPage("B")));
        doc->GetTopics()->FireEvent(1220, 0, 0, 0);
        EXPECT_EQ(sound->GetPlayState(), 0);
        CloseDocument();
        EXPECT_TRUE(Logged(log.Text(), "SysSound: beep.wav from memory (" +
                                           std::to_string(wave.size()) + " bytes)"));
    }
    CoUninitialize();
}

}  // namespace
