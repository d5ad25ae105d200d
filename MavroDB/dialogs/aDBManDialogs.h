// The manager's small dialogs: the source file dialog, the table chooser,
// the text prompt, the connect string and the permissions dialog.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bDialog.h"

class CDBCore;

// An open-file dialog whose filter and title follow the command it serves.
class CSelFileDlg {
public:
    CSelFileDlg(int commandId, BOOL openFlag, HWND parent);
    // IDOK with a chosen file, IDCANCEL otherwise.
    INT_PTR DoModal();
    std::string GetFileName() const;
    std::string GetPathName() const { return m_path; }
    // The texts the dialog was given (the filter in the system's form).
    const std::string& Filter() const { return m_filter; }
    const std::string& Title() const { return m_title; }

private:
    int m_commandId;
    HWND m_parent;
    std::string m_filter;
    std::string m_title;
    std::string m_path;
    WORD m_fileOffset = 0;
};

// Dialog 246: a sorted list of names to choose one from.
class SelectTableDialog : public CDialogImplBase {
public:
    SelectTableDialog();
    std::vector<std::string> m_names;
    std::string m_chosen;

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
    void OnCommand(int id, int code) override;
};

// Dialog 233: one line of text, a table name (mode 1) or a password (2).
class TextPromptDialog : public CDialogImplBase {
public:
    TextPromptDialog();
    std::string m_text;
    int m_mode = 1;

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
};

// Dialog 272: the connect string of an ODBC source.
class ConnectStringDialog : public CDialogImplBase {
public:
    ConnectStringDialog();
    std::string m_connect = "ODBC;DATABASE=;UID=;PWD=;DSN=";

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
};

// Dialog 252: the data rights of a user or group on a table or query.
class PermissionsDialog : public CDialogImplBase {
public:
    explicit PermissionsDialog(CDBCore* core);

    // Rights mask bits of the four boxes.
    enum { kRead = 0x14, kAdd = 0x20, kModify = 0x40, kDelete = 0x80 };

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
    void OnCommand(int id, int code) override;

private:
    void FillAccounts();
    void FillObjects();
    void ShowRights();
    void ShowMask(long mask);
    void OnRightClicked();
    void Apply();
    std::string Selected(int list) const;

    CDBCore* m_core;
    int m_listUsers = 1;   // 1 users, 0 groups
    int m_listTables = 1;  // 1 tables, 0 queries
};
