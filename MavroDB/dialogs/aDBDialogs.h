// The password prompt, the user information (login) dialog and the
// change-password dialog, from MavroDB's own resources.
#pragma once

#include <string>

#include "bDialog.h"

class CDBPasswordPromptDlg : public CDialogImplBase {
public:
    CDBPasswordPromptDlg();
    std::string m_password;

protected:
    bool OnOK() override;
};

class CUserInfoDlg : public CDialogImplBase {
public:
    CUserInfoDlg();
    // 1 login, 2 new group, 3 new user.
    int m_mode = 1;
    std::string m_name;
    std::string m_second;

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
    void OnCommand(int id, int code) override;
};

class CDBPasswordChangeDlg : public CDialogImplBase {
public:
    CDBPasswordChangeDlg();
    std::string m_newPassword;
    std::string m_oldPassword;
    std::string m_confirm;

protected:
    BOOL OnInitDialog() override;
    bool OnOK() override;
    void OnCommand(int id, int code) override;

private:
    void Exchange();
};
