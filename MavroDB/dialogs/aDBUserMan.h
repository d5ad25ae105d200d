// The account manager of a workgroup-secured database: a modal sheet with
// the users page, the groups page and the current user's password page.
// Every change goes through the core; the lists follow what it accepted.
#pragma once

#include <windows.h>

#include <string>

#include "bDialog.h"

class CDBCore;

class CUserPage : public CPropertyPageImpl {
public:
    CUserPage();
    CDBCore* m_core = nullptr;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    bool OnSetActive() override;

private:
    void FillMemberOf();
};

class CGrpPage : public CPropertyPageImpl {
public:
    CGrpPage();
    CDBCore* m_core = nullptr;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    bool OnSetActive() override;
};

class CPasswordPage : public CPropertyPageImpl {
public:
    CPasswordPage();
    CDBCore* m_core = nullptr;
    std::string m_oldPassword;
    std::string m_newPassword;
    std::string m_confirm;

protected:
    BOOL OnInitDialog() override;
    void OnCommand(int id, int code) override;
    bool OnSetActive() override;

private:
    // Takes the edits' texts and tells the sheet whether they agree.
    void Exchange();
};

class CUserManSheet {
public:
    explicit CUserManSheet(CDBCore* core);
    // Shows the sheet (through the dialog seam) modal to the owner; its
    // result.
    INT_PTR DoModal(HWND owner = nullptr);

    CUserPage m_userPage;
    CGrpPage m_groupPage;
    CPasswordPage m_passwordPage;

private:
    static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void OnInitialized(HWND sheet);
    void Apply();

    CDBCore* m_core;
    HWND m_hWnd = nullptr;
};

// A list box's entries of a core name array (freed here), the selected
// entry's text, and an entry's place by exact text (-1 when absent).
void FillListFromNames(HWND list, char** names, int count);
std::string ListSelection(HWND list);
int FindListEntry(HWND list, const std::string& text);
