// Modal dialogs of the window layer: a dialog class answers its messages in
// ProcessWindowMessage and is shown through the message-box seam.
#pragma once

#include <windows.h>

#include <string>

class CDialogImplBase {
public:
    CDialogImplBase(HINSTANCE module, int templateId)
        : m_module(module), m_templateId(templateId) {}
    virtual ~CDialogImplBase() {}

    // Shows the dialog modally (or hands it to the seam's handler).
    INT_PTR DoModal(HWND parent = nullptr);
    // Ends the dialog with a result.
    void EndDialog(INT_PTR result);

    HWND m_hWnd = nullptr;

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // IDOK and IDCANCEL end the dialog unless these return false.
    virtual bool OnOK() { return true; }
    virtual bool OnCancel() { return true; }
    // A WM_COMMAND other than IDOK and IDCANCEL.
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    // Any other message (controls' notifications, WM_CLOSE); true when
    // answered, with the message's result.
    virtual bool OnMessage(UINT /*msg*/, WPARAM, LPARAM, INT_PTR* /*result*/) { return false; }

    std::string GetItemText(int id) const;
    void SetItemText(int id, const std::string& text);
    void EnableItem(int id, bool enable);

    HINSTANCE m_module;
    int m_templateId;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
