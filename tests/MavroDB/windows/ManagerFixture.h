// The database manager as an editing host shows it: a multi-user (or
// single-user) school database, a modeless property sheet with a page of the
// host's and the database page, and a toolbar; message boxes, dialogs and
// file dialogs answered through the seams.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "DBTestSite.h"
#include "TestFiles.h"
#include "aBaseCore.h"
#include "aDBModule.h"
#include "aDBPage.h"
#include "aDBResource.h"
#include "bDBEditHost.h"
#include "bMsgBox.h"
#include "QueuedBoxes.h"

// A media manager that records the linked files it is told of, in order.
class LinkMedia : public FakeMedia {
public:
    STDMETHOD(RegisterLinkedFile)(const char* path, int, char* buffer, int) override {
        calls.push_back("21:" + std::string(path) + "|" + buffer);
        return S_OK;
    }
    STDMETHOD(MediaNameStored)(const char* name) override {
        calls.push_back(std::string("9:") + name);
        return S_OK;
    }
    std::vector<std::string> calls;
};

// An editing host's site: it answers IDBEditHost and records slot 30.
class EditSite : public FakeSite, public IDBEditHost {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (editHost && IsEqualIID(iid, __uuidof(IDBEditHost))) {
            *ppv = static_cast<IDBEditHost*>(this);
            return S_OK;
        }
        return FakeSite::QueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return FakeSite::AddRef(); }
    STDMETHOD_(ULONG, Release)() override { return FakeSite::Release(); }
    STDMETHOD(GetMediaManager)(IMediaManager** out) override {
        *out = &links;
        return S_OK;
    }
    STDMETHOD(SetProjectFlag)(int value, void*) override {
        calls.push_back("30:" + std::to_string(value));
        return S_OK;
    }
    STDMETHOD(StoreDatabasePassword)(const char* text) override {
        calls.push_back(std::string("store:") + text);
        return S_OK;
    }
    STDMETHOD(CreateMediaPreview)(IMediaPreviewObject** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    bool editHost = true;
    LinkMedia links;
    std::vector<std::string> calls;
};

// Boxes recorded and answered in turn; none left, No to a question.
struct ManagerBoxes : QueuedBoxes {
    explicit ManagerBoxes(std::vector<int> answers = {}) : QueuedBoxes(answers, true) {}
};

// Dialogs (and sheets) driven by a test body per template id.
struct Dialogs {
    static std::function<INT_PTR(int, HWND)>& Body() {
        static std::function<INT_PTR(int, HWND)> b;
        return b;
    }
    static std::vector<int>& Shown() {
        static std::vector<int> s;
        return s;
    }
    PFNDIALOGHANDLER old;
    explicit Dialogs(std::function<INT_PTR(int, HWND)> body) {
        Body() = body;
        Shown().clear();
        old = SetDialogHandler([](int id, HWND dlg) -> INT_PTR {
            Shown().push_back(id);
            return Body()(id, dlg);
        });
    }
    ~Dialogs() { SetDialogHandler(old); }
};

// The file dialog answers one path (null: Cancel).
struct Files {
    static std::string& Path() {
        static std::string p;
        return p;
    }
    static bool& Cancel() {
        static bool c;
        return c;
    }
    PFNOPENFILEHANDLER old;
    explicit Files(const char* path) {
        Cancel() = path == nullptr;
        Path() = path ? path : "";
        old = SetOpenFileHandler([](const OPENFILENAMEA*) -> const char* {
            return Cancel() ? nullptr : Path().c_str();
        });
    }
    ~Files() { SetOpenFileHandler(old); }
};

// Types into a dialog's edit and presses a button.
inline void Type(HWND dlg, int id, const std::string& text) {
    SetDlgItemTextA(dlg, id, text.c_str());
}
inline void Press(HWND dlg, int id) {
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id));
}
inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The host's own page: empty.
inline INT_PTR CALLBACK HostPageProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

class Manager {
public:
    // The school: Class(ID, Name) keyed on Name, Pupil(Name, Born, Photo,
    // Blob) where Blob is long binary without a media type, Room(ID), the
    // relation
    // ClassPupil (cascading deletes), two queries; for several users the
    // user "wang" in the group "Teachers".
    explicit Manager(bool multiUser, const char* login = "admin") {
        path = dir.File("school.mvb");
        workgroup = dir.File("school.mdw");
        db = NewDatabase();
        int flags = DB_INIT_CREATE | (multiUser ? DB_INIT_MULTIUSER : 0);
        {
            Dialogs typing(LoginBody("admin"));
            EXPECT_EQ(S_OK, db->InitDataBase(path.c_str(), workgroup.c_str(), "", flags, &site,
                                             window.Handle()));
        }
        Build(multiUser);
        if (multiUser && std::string(login) != "admin") {
            // Again, as another user.
            db.Release();
            db = NewDatabase();
            Dialogs typing(LoginBody(login));
            EXPECT_EQ(S_OK, db->InitDataBase(path.c_str(), workgroup.c_str(), "", DB_INIT_MULTIUSER,
                                             &site, window.Handle()));
        }
    }
    ~Manager() {
        if (sheet)
            DestroyWindow(sheet);
        if (host)
            DestroyWindow(host);
    }

    CDBCore* Core() { return GetDBCore(); }
    std::vector<DataSourceNotice> Notices() { return window.Drain(db); }
    CDBPage* Page() { return Core() ? Core()->GetPage() : nullptr; }
    HWND Tree() { return Page()->m_tree.m_hWnd; }
    HWND List() { return Page()->m_list.m_hWnd; }

    // The sheet with the host's page and the database page, shown.
    void Show(int width = 1000, int height = 700) {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        host = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, width, 40, nullptr, nullptr,
                               nullptr, nullptr);
        toolbar =
            CreateWindowExA(0, TOOLBARCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, 0,
                            0, width, 30, host, nullptr, nullptr, nullptr);
        static const WORD words[] = {
            LOWORD(WS_CHILD), HIWORD(WS_CHILD), 0, 0, 0, 0, 0, 200, 100, 0, 0, 0, 0};
        static DWORD aligned[8];
        memcpy(aligned, words, sizeof(words));
        PROPSHEETPAGEA own = {};
        own.dwSize = sizeof(own);
        own.dwFlags = PSP_DLGINDIRECT;
        own.pResource = (const DLGTEMPLATE*)aligned;
        own.pfnDlgProc = HostPageProc;
        HPROPSHEETPAGE pages[] = {CreatePropertySheetPageA(&own)};
        PROPSHEETHEADERA header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
        header.pszCaption = "host";
        header.nPages = 1;
        header.phpage = pages;
        sheet = (HWND)PropertySheetA(&header);
        EXPECT_EQ(S_OK, db->AddDatabasePage(sheet, nullptr, toolbar));
        SetWindowPos(sheet, nullptr, 0, 0, width, height, SWP_NOZORDER);
        PropSheet_SetCurSel(sheet, nullptr, 1);
        Pump();
    }

    // A node by its path of texts from the roots.
    HTREEITEM Find(const std::vector<std::string>& texts) {
        HTREEITEM item = TreeView_GetRoot(Tree());
        HTREEITEM found = nullptr;
        for (size_t i = 0; i < texts.size(); ++i) {
            found = nullptr;
            for (; item; item = TreeView_GetNextSibling(Tree(), item))
                if (CDBTreeView::TextOf(Tree(), item) == texts[i]) {
                    found = item;
                    break;
                }
            if (!found)
                return nullptr;
            item = TreeView_GetChild(Tree(), found);
        }
        return found;
    }
    // A click of the button at the middle of the node's label.
    void Click(HTREEITEM item, UINT message) {
        TreeView_EnsureVisible(Tree(), item);
        RECT rc = {};
        TreeView_GetItemRect(Tree(), item, &rc, TRUE);
        LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        SendMessageA(Tree(), message, message == WM_RBUTTONUP ? 0 : MK_LBUTTON, at);
    }
    // Chooses the node with the left button (the commands' object).
    void Choose(HTREEITEM item) { Click(item, WM_LBUTTONDOWN); }
    void Command(int id) { SendMessageA(Page()->m_hWnd, WM_COMMAND, id, 0); }

    std::string ListCell(int row, int column) {
        char text[260] = {};
        LVITEMA item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof(text);
        SendMessageA(List(), LVM_GETITEMTEXTA, row, (LPARAM)&item);
        return text;
    }
    int ListRows() { return (int)SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0); }
    std::string Heading(int column, int* width = nullptr) {
        char text[260] = {};
        LVCOLUMNA c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = text;
        c.cchTextMax = sizeof(text);
        if (!SendMessageA(List(), LVM_GETCOLUMNA, column, (LPARAM)&c))
            return "<none>";
        if (width)
            *width = c.cx;
        return text;
    }

    TempFolder dir;
    EditSite site;
    NoticeWindow window;
    CComPtr<IDBCore> db;
    std::string path, workgroup;
    HWND sheet = nullptr, host = nullptr, toolbar = nullptr;

private:
    static std::function<INT_PTR(int, HWND)> LoginBody(const std::string& name) {
        return [name](int id, HWND dlg) -> INT_PTR {
            if (id != IDD_DB_USERINFO)
                return IDCANCEL;
            Type(dlg, IDC_DB_USER_NAME, name);
            Press(dlg, IDOK);
            return IDOK;
        };
    }
    static TableFieldSpec Spec(const char* name, int type) {
        TableFieldSpec s;
        s.name = name;
        s.type = type;
        return s;
    }
    void Build(bool multiUser) {
        CDBCore* c = GetDBCore();
        ASSERT_NE(nullptr, c);
        TableFieldSpec id = Spec("ID", 1), name = Spec("Name", 6), born = Spec("Born", 5),
                       photo = Spec("Photo", 8);
        ASSERT_EQ(1, c->CreateTable({&id, &name}, "Class"));
        ASSERT_EQ(1, c->CreateTable({&name, &born, &photo}, "Pupil"));
        ASSERT_EQ(1, c->CreateTable({&id}, "Room"));
        CdbFieldSpec blob;
        blob.name = "Blob";
        blob.type = dbLongBinary;
        c->GetDatabase()->AddField("Pupil", blob, 3);
        IndexFieldSpec key;
        key.name = "Name";
        ASSERT_EQ(1, c->CreateIndex("Class", "PrimaryKey", 1, {&key}));
        RelationFieldSpec pair;
        pair.name = "Name";
        pair.foreignName = "Name";
        ASSERT_EQ(1, c->CreateRelation("ClassPupil", "Class", "Pupil", {&pair}, 0x1000));
        ASSERT_EQ(1, c->CreateQuery("SELECT * FROM Pupil", "AllPupils", 0));
        ASSERT_EQ(1, c->CreateQuery("SELECT Name FROM Class", "ClassNames", 0));
        if (multiUser) {
            ASSERT_EQ(1, c->CreateGroup("Teachers", "t1"));
            ASSERT_EQ(1, c->CreateUserInGroup("wang", "w1"));
            ASSERT_EQ(1, c->AddUserToGroup("wang", "Teachers"));
        }
    }
};
