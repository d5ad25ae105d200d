// What the play site gives the layers below it: picture fills find the
// work's media and the codec list through it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ByteWriter.h"
#include "PictureFixtures.h"
#include "PixelFixtures.h"
#include "ProjectWriter.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aProject.h"

namespace {

// A picture fill record: the shared header, then the inner form (placement
// mode, the name's length in UTF-16 units with its NUL, the name).
std::string PictureFillRecord(const std::string& name) {
    const uint32_t units = (uint32_t)name.size() + 1;
    CByteWriter w;
    w.U8(255)
        .U8(0)
        .U16(0)                  // alpha, flags
        .U32(2)                  // 4: type picture
        .U32(1)                  // 8: mode fill
        .U32(0)                  // 12: pattern
        .U32(0)                  // 16: pattern colour
        .U32(4 + 4 + 2 * units)  // 20: inner size
        .U32(2)                  // stretched
        .U32(units)
        .WideFixed(name.c_str(), units);
    return w.Str();
}

// A background whose fill is an embedded picture draws it into the
// snapshot: the site answers the fill's media and codec requests.
TEST(SiteServices, PictureFillOfABackgroundDraws) {
    TempFolder folder;
    WorkSpec work;
    work.prjInfo.backgroundColor = 0x00402010;
    work.pages = {{"A", "", "Bkg", "", "", ""}};
    work.backgrounds = {"Bkg"};
    // An embedded picture of type 2, subtype 1010 (BMP).
    work.items = {EmbeddedItem("pic.bmp", 2, 1010)};
    work.mediaData = {{"pic.bmp", picfix::Bmp24(2, 2, [](int, int) { return 0x112233u; })}};
    CanvasSpec bg;
    bg.kind = 2;
    bg.properties = BackgroundProperties(800, 600, PictureFillRecord("pic.bmp"));
    work.canvasInfo["Bkg"] = MakeCanvasInfo(bg);
    std::string path = folder.File("p.mrt");
    ASSERT_EQ(WriteWork(path, work), S_OK);
    CExtensionManager registry;
    CPlayerDoc doc(&registry, nullptr);
    ASSERT_EQ(doc.Open(path.c_str()), S_OK);
    RECT logical = {-112, -84, 912, 684};
    doc.CreateBackBuffer(&logical);
    doc.RedrawRegion(&logical);
    IPixelBuffer* back = doc.GetBackBuffer();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(pixtest::LockedPixel(back, 112, 84), 0x112233u);
    EXPECT_EQ(pixtest::LockedPixel(back, 911, 683), 0x112233u);
    EXPECT_EQ(pixtest::LockedPixel(back, 111, 83), 0x102040u);
}

}  // namespace
