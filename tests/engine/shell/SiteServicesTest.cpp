// What the play site gives the layers below it: picture fills find the
// work's media and the codec list through it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ByteWriter.h"
#include "ProjectWriter.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aProject.h"

namespace {

// A 2 x 2 24-bit bottom-up BMP of one colour (0x00RRGGBB).
std::string OneColourBmp(uint32_t rgb) {
    CByteWriter w;
    w.Bytes("BM", 2)
        .U32(54 + 16)  // file size
        .U32(0)        // reserved
        .U32(54)       // pixel offset
        .U32(40)       // header size
        .U32(2)        // width
        .U32(2)        // height (bottom-up)
        .U16(1)        // planes
        .U16(24)       // bits per pixel
        .U32(0)        // BI_RGB
        .U32(16)       // image size
        .U32(2835)
        .U32(2835)
        .U32(0)
        .U32(0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) w.U8(rgb & 0xFF).U8((rgb >> 8) & 0xFF).U8((rgb >> 16) & 0xFF);
        w.U16(0);  // row padding to 8 bytes
    }
    return w.Str();
}

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
    work.mediaData = {{"pic.bmp", OneColourBmp(0x112233)}};
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
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_WIDTH | BIM_HEIGHT | BIM_PITCH | BIM_PIXELS;
    ASSERT_TRUE(SUCCEEDED(back->Lock(PIXLOCK_READ)));
    back->GetBufferInfo(&info);
    auto at = [&](int x, int y) {
        return *reinterpret_cast<DWORD*>(info.pPixels + (size_t)y * info.nPitch + x * 4) & 0xFFFFFF;
    };
    EXPECT_EQ(at(112, 84), 0x112233u);
    EXPECT_EQ(at(911, 683), 0x112233u);
    EXPECT_EQ(at(111, 83), 0x102040u);
    back->Unlock();
}

}  // namespace
