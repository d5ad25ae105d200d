// The document and its play site. The site here offers only what start-up
// needs (document, view); objects reach the document through it.
#pragma once

#include <windows.h>

class CPlayerDoc;
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

class CPlayerDoc {
public:
    CPlayerDoc();
    virtual ~CPlayerDoc();

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
    char m_path[MAX_PATH];
    bool m_opened;
};
