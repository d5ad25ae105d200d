// Modal dialogs and property pages of the window layer: a dialog class
// answers its messages in its virtuals and is shown through the message-box
// seam.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <string>

// What dialogs and property pages share: their template and their items.
class CDialogItems {
public:
    CDialogItems(HINSTANCE module, int templateId) : m_module(module), m_templateId(templateId) {}

    HWND m_hWnd = nullptr;

protected:
    std::string GetItemText(int id) const;
    void SetItemText(int id, const std::string& text);
    void EnableItem(int id, bool enable);

    HINSTANCE m_module;
    int m_templateId;
};

class CDialogImplBase : public CDialogItems {
public:
    CDialogImplBase(HINSTANCE module, int templateId) : CDialogItems(module, templateId) {}
    virtual ~CDialogImplBase() {}

    // Shows the dialog modally (or hands it to the seam's handler).
    INT_PTR DoModal(HWND parent = nullptr);
    // Ends the dialog with a result.
    void EndDialog(INT_PTR result);

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

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// A property page of the window layer: a page class answers its messages
// in the virtuals below; the sheet shows it through Fill's structure.
class CPropertyPageImpl : public CDialogItems {
public:
    CPropertyPageImpl(HINSTANCE module, int templateId) : CDialogItems(module, templateId) {}
    virtual ~CPropertyPageImpl() {}

    // The page's structure for CreatePropertySheetPage or a sheet's header.
    void Fill(PROPSHEETPAGEA* page);
    // The sheet the page stands in (null before it is created).
    HWND GetSheet() const { return m_hWnd ? GetParent(m_hWnd) : nullptr; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    // PSN_SETACTIVE; false refuses the activation.
    virtual bool OnSetActive() { return true; }
    // Other notifications (WM_NOTIFY); the dialog's message result.
    virtual LRESULT OnNotify(NMHDR* /*header*/) { return 0; }
    // Any other message; true when answered (with *result).
    virtual bool OnMessage(UINT /*msg*/, WPARAM, LPARAM, INT_PTR* /*result*/) { return false; }
    // The sheet releases the page (PSPCB_RELEASE): its last call.
    virtual void OnRelease() {}

private:
    static INT_PTR CALLBACK PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static UINT CALLBACK PageCallback(HWND hwnd, UINT msg, PROPSHEETPAGEA* page);
};
