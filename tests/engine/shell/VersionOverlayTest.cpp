// The version overlay: with project flag 0x08 the view paints the player's
// name and version in red on black at the bottom right of the page area.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "ProjectWriter.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "aProject.h"

namespace {

struct Counts {
    int red = 0, black = 0;
};

// Paints the window of a work with the given project flags and counts the
// red and black pixels of the back buffer's bottom-right 400 x 40 corner.
Counts PaintCorner(uint32_t flags) {
    TempFolder folder;
    WorkSpec work;
    work.prjInfo.flags = flags;
    work.prjInfo.backgroundColor = 0x00402010;
    work.pages = {{"A", "", "Bkg", "", "", ""}};
    work.backgrounds = {"Bkg"};
    CanvasSpec bg;
    bg.kind = 2;
    bg.properties = BackgroundProperties(800, 600, SolidFillRecord(0x0000FF00));
    work.canvasInfo["Bkg"] = MakeCanvasInfo(bg);
    std::string path = folder.File("v.mrt");
    Counts counts;
    EXPECT_EQ(WriteWork(path, work), S_OK);
    CExtensionManager registry;
    CPlayerDoc* doc = new CPlayerDoc(&registry, nullptr);
    CPlayerView* view = nullptr;
    if (SUCCEEDED(doc->Open(path.c_str()))) {
        view = new CPlayerView(doc);
        EXPECT_NE(view->CreateMainWindow("v"), nullptr);
        doc->SetView(view);
        doc->StartPresentation();
        InvalidateRect(view->m_hWnd, nullptr, TRUE);
        UpdateWindow(view->m_hWnd);
        IPixelBuffer* back = doc->GetBackBuffer();
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_WIDTH | BIM_HEIGHT | BIM_PITCH | BIM_PIXELS;
        if (back && SUCCEEDED(back->Lock(PIXLOCK_READ))) {
            back->GetBufferInfo(&info);
            for (int y = info.nHeight - 40; y < info.nHeight; ++y)
                for (int x = info.nWidth - 400; x < info.nWidth; ++x) {
                    DWORD p = *reinterpret_cast<DWORD*>(info.pPixels + (size_t)y * info.nPitch +
                                                        (size_t)x * 4) &
                              0xFFFFFF;
                    counts.red += p == 0xFF0000;
                    counts.black += p == 0;
                }
            back->Unlock();
        }
    }
    if (view && view->m_hWnd)
        view->DestroyWindow();
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    delete doc;
    delete view;
    return counts;
}

TEST(VersionOverlay, DrawnOnlyWithTheFlag) {
    Counts with = PaintCorner(0x08);
    EXPECT_GT(with.red, 20);
    EXPECT_GT(with.black, 200);
    Counts without = PaintCorner(0);
    EXPECT_EQ(without.red, 0);
    EXPECT_EQ(without.black, 0);
}

}  // namespace
