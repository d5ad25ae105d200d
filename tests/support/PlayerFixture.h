// A player document over a written work, as the shell tests and benchmarks
// use it: the work on the green 800 x 600 background, the solid test kind,
// the document opened from a temporary folder, its view window shown and
// everything torn down with the window's messages dispatched.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "CanvasObjects.h"
#include "PlayerBuildFiles.h"
#include "ProjectWriter.h"
#include "SolidObject.h"
#include "SolidRegistry.h"
#include "TestFiles.h"
#include "aExtMgr.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"

// A solid object centred at (x, y), w x h.
inline CanvasObjectSpec PlacedSolid(const std::string& name, int32_t x, int32_t y, int32_t w,
                                    int32_t h) {
    return PlacedObject(kSolidType, name, x, y, w, h);
}

// A canvas's table and its objects' data in the work under its stub name.
inline void PutCanvas(WorkSpec& work, const std::string& name, const CanvasSpec& canvas) {
    work.canvasInfo[name] = MakeCanvasInfo(canvas);
    work.objData[name] = MakeObjData(canvas);
}

// The background "Bkg": 800 x 600 filled green (0x00FF00), the only one of
// the work. Its objects, when given, stand on it.
inline void PutGreenBackground(WorkSpec& work, const CanvasSpec& objects = CanvasSpec()) {
    CanvasSpec bg = objects;
    bg.kind = 2;
    bg.properties = BackgroundProperties(800, 600, SolidFillRecord(0x0000FF00));
    work.backgrounds = {"Bkg"};
    if (bg.objects.empty())
        work.canvasInfo["Bkg"] = MakeCanvasInfo(bg);
    else
        PutCanvas(work, "Bkg", bg);
}

// Dispatches what the thread's queue holds, so that a destroyed window's
// posted work ends before the objects behind it go. Timer ticks are left
// out (they would move the page clock), and a queue that keeps refilling
// itself cannot hold the test.
inline void DrainMessages() {
    MSG m;
    for (int n = 0; n < 10000 && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE); ++n)
        if (m.message != WM_TIMER)
            DispatchMessageA(&m);
}

class PlayerFixture : public ::testing::Test {
protected:
    void TearDown() override {
        CloseDocument();
        if (lib)
            lib->Release();
        lib = nullptr;
    }
    // The player's type library, which the documents get from then on;
    // false when it cannot be loaded.
    bool LoadTypeLib() {
        lib = PlayerTypeLib();
        return lib != nullptr;
    }
    // Closes what is open and opens the file in a new document.
    HRESULT OpenPath(const std::string& path) {
        CloseDocument();
        doc = new CPlayerDoc(&registry, lib);
        return doc->Open(path.c_str());
    }
    // Writes `work` into the temporary folder and opens it.
    HRESULT OpenWork(const char* file = "w.mrt") {
        const std::string path = folder.File(file);
        EXPECT_EQ(WriteWork(path, work), S_OK);
        return OpenPath(path);
    }
    // The view window over the open document; false when it was not made.
    bool ShowView(const char* title) {
        view = new CPlayerView(doc);
        if (!view->CreateMainWindow(title))
            return false;
        doc->SetView(view);
        return true;
    }
    // Destroys the view window, dispatches what it left queued, then deletes
    // the document and the view.
    void CloseDocument() {
        if (view && view->m_hWnd)
            view->DestroyWindow();
        DrainMessages();
        delete doc;
        delete view;
        doc = nullptr;
        view = nullptr;
    }

    TempFolder folder;
    CExtensionManager registry;
    ITypeLib* lib = nullptr;
    WorkSpec work;
    CPlayerDoc* doc = nullptr;
    CPlayerView* view = nullptr;
};
