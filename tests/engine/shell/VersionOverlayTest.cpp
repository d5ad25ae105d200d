// The version overlay: with project flag 0x08 the view paints the player's
// name and version in red on black at the bottom right of the page area.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "PixelFixtures.h"
#include "PlayerFixture.h"
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

class VersionOverlayTest : public PlayerFixture {
protected:
    // Paints the window of a work with the given project flags and counts
    // the red and black pixels of the back buffer's bottom-right 400 x 40
    // corner.
    Counts PaintCorner(uint32_t flags) {
        work = WorkSpec();
        work.prjInfo.flags = flags;
        work.prjInfo.backgroundColor = 0x00402010;
        work.pages = {{"A", "", "Bkg", "", "", ""}};
        PutGreenBackground(work);
        Counts counts;
        if (SUCCEEDED(OpenWork("v.mrt"))) {
            EXPECT_TRUE(ShowView("v"));
            doc->StartPresentation();
            InvalidateRect(view->m_hWnd, nullptr, TRUE);
            UpdateWindow(view->m_hWnd);
            IPixelBuffer* back = doc->GetBackBuffer();
            const BufferInfo info =
                back ? ReadBufferInfo(back, BIM_WIDTH | BIM_HEIGHT) : BufferInfo{};
            if (info.nWidth >= 400 && info.nHeight >= 40) {
                const RECT corner = {info.nWidth - 400, info.nHeight - 40, info.nWidth,
                                     info.nHeight};
                for (DWORD p : pixtest::LockedPixels(back, corner)) {
                    counts.red += p == 0xFF0000;
                    counts.black += p == 0;
                }
            }
        }
        CloseDocument();
        return counts;
    }
};

TEST_F(VersionOverlayTest, DrawnOnlyWithTheFlag) {
    Counts with = PaintCorner(0x08);
    EXPECT_GT(with.red, 20);
    EXPECT_GT(with.black, 200);
    Counts without = PaintCorner(0);
    EXPECT_EQ(without.red, 0);
    EXPECT_EQ(without.black, 0);
}

}  // namespace
