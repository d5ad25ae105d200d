// The database page an editing host puts into its own property sheet: a
// splitter with the tree on the left and the list on the right, and the
// host's toolbar filled with the database buttons while the page is active.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "aDBListView.h"
#include "aDBSplitter.h"
#include "aDBTreeView.h"
#include "bDialog.h"

class CDBPage : public CPropertyPageImpl {
public:
    // The toolbar may be null.
    explicit CDBPage(HWND toolbar);
    ~CDBPage() override;

    // Whether the tree or the list has the keyboard focus.
    bool IsPaneFocused() const;

    CDBSplitter m_splitter;
    CDBTreeView m_tree;
    CDBListView m_list;
    HWND m_toolbar;

protected:
    BOOL OnInitDialog() override;
    bool OnSetActive() override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    // The sheet is done with the page: the page goes.
    void OnRelease() override { delete this; }
};

// Loads a toolbar resource (the page's 244) with the pictures of its bitmap
// (276) into a toolbar control (its buttons replaced); false when the
// resources are missing.
bool LoadDBToolBar(HWND toolbar, int toolbarId = 244, int bitmapId = 276);
