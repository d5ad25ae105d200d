// The document and its play site. The site here offers only what start-up
// needs (document, view); objects reach the document through it.
#pragma once

#include <windows.h>

#include "aPrjDoc.h"

class CPlayerDoc;
class CProject;
struct IPackage;
class CPlayerView;

class CPlayerSite {
public:
    explicit CPlayerSite(CPlayerDoc* doc) : m_pDoc(doc), m_pView(nullptr) {}
    CPlayerDoc* GetDocument() const { return m_pDoc; }
    CPlayerView* GetView() const { return m_pView; }
    void SetView(CPlayerView* view) { m_pView = view; }

private:
    CPlayerDoc* m_pDoc;
    CPlayerView* m_pView;
};

class CPlayerDoc : public IProjectDocument {
public:
    CPlayerDoc();
    virtual ~CPlayerDoc();
    CPlayerDoc(const CPlayerDoc&) = delete;
    CPlayerDoc& operator=(const CPlayerDoc&) = delete;

    // What the project model asks of its document.
    CProject* GetProject() override { return m_pProject; }
    const char* GetRuntimePath() override { return m_path; }
    HWND GetViewWindow() override;
    BOOL IsRuntime() override { return TRUE; }

    // Opens the runtime package and prepares the entry page.
    HRESULT Open(const char* path);
    BOOL StartPresentation();
    void StartRun();
    void StopRun();

    CPlayerSite* GetSite() { return &m_site; }
    CPlayerView* GetView() const { return m_site.GetView(); }
    const char* GetPath() const { return m_path; }
    bool IsOpened() const { return m_opened; }

private:
    CPlayerSite m_site;
    CProject* m_pProject;
    IPackage* m_pPackage;  // open for the document's whole life
    char m_path[MAX_PATH];
    bool m_opened;
};
