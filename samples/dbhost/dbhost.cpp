// A small editing host of the database library: it writes a demo database
// (tables with media fields, three pupils, a linked table, two queries, a
// relation, users and groups), opens it for several users with the login
// typed through the dialog seam, and shows the database page in a 1024 x 768
// property sheet with a toolbar. It selects the node named on its command
// line and prints the tree's and the list's texts, the node's and the list
// header's screen rectangles; with "accounts" it then shows the account
// manager, with "browse" the browser of table Pupil (its preview showing a
// pupil's note), with "query" the design of its first query.
//
//   dbhost FOLDER [NODE/PATH] [accounts|browse|query] [report=FILE] [hold=MS]
//
// The report file gets the printed lines and last "READY" (or "ACCOUNTS",
// "BROWSER" or "QUERY" once that window is up), so that a script can take
// its screenshot while the windows stand.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "aBaseCore.h"
#include "aDBGridCommands.h"
#include "aDBModule.h"
#include "aDBPage.h"
#include "aDBResource.h"
#include "aDBrowser.h"
#include "aMavroBase.h"
#include "PictureFixtures.h"
#include "bMsgBox.h"
#include "bPlayerSite.h"
#include "bTraceLog.h"

namespace {

// The host's site: the process trace log and nothing of a player.
class HostSite : public IPlayerSite {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IPlayerSite))) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(InvalidateRect)(const RECT*) override { return S_OK; }
    STDMETHOD(InvalidateRgn)(HRGN) override { return S_OK; }
    STDMETHOD(GetMediaManager)(IMediaManager** out) override {
        *out = nullptr;
        return E_FAIL;
    }
    STDMETHOD(GetDocument)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetTickThread)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetSequencer)(ISequencer**) override { return E_NOTIMPL; }
    STDMETHOD(GetRootCreator)(IObjectCreator**) override { return E_NOTIMPL; }
    STDMETHOD(GetEventProcessor)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetScriptContext)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetFunctionManager)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetProjectService)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetCodecManager)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetExpression)(IExpression** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHOD(GetExpression2)(IExpression** out) override { return GetExpression(out); }
    STDMETHOD(GetPageClock)(DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(GetCurrentCanvas)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetDatabase)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetProject)(void**) override { return E_FAIL; }
    STDMETHOD(GetMediaService)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetSoundRecorder)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetVideoCapture)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetDirectDraw)(void**) override { return E_NOTIMPL; }
    STDMETHOD(SetDirectDraw)(void*) override { return E_NOTIMPL; }
    STDMETHOD(GetToolTipWindow)(IUnknown**) override { return E_NOTIMPL; }
    STDMETHOD(CreateForwarder)(void*, IUnknown*, IUnknown**) override { return E_NOTIMPL; }
    STDMETHOD(GetTraceLog)(ITraceLog** out) override {
        *out = ::GetTraceLog();
        return *out ? S_OK : E_FAIL;
    }
    STDMETHOD(Stub29)(void*, void*) override { return S_OK; }
    STDMETHOD(SetProjectFlag)(int, void*) override { return S_OK; }
    STDMETHOD(ConvertTextToRtf)(const char*, int, char**, int*) override { return E_NOTIMPL; }
    STDMETHOD(FreeConvertedText)(char*, void*) override { return S_OK; }
    STDMETHOD(FindObject)(const char*, DWORD*) override { return E_FAIL; }
    STDMETHOD_(BOOL, UsesDirectDraw)() override { return FALSE; }
    STDMETHOD_(HWND, GetViewWindow)() override { return nullptr; }
    STDMETHOD_(IViewService*, GetView)() override { return nullptr; }
    STDMETHOD(SetView)(IViewService*) override { return E_NOTIMPL; }
    STDMETHOD_(int, GetProjectMinorVersion)() override { return 0; }
    STDMETHOD_(BOOL, GetProjectFlag7)() override { return FALSE; }
    STDMETHOD(SetProjectFlag7)(BOOL) override { return S_OK; }
    STDMETHOD_(BOOL, IsPlayer)() override { return FALSE; }
    STDMETHOD_(BOOL, IsRunning)() override { return FALSE; }
    STDMETHOD(SetPlayState)(DWORD) override { return S_OK; }
    STDMETHOD_(BOOL, IsPlaying)() override { return FALSE; }
    STDMETHOD_(BOOL, IsPaused)() override { return FALSE; }
    STDMETHOD_(BOOL, IsStateTwo)() override { return FALSE; }
    STDMETHOD_(DWORD, GetSpareValue)() override { return 0; }
    STDMETHOD(SetSpareValue)(DWORD) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
};

std::vector<std::string> g_report;
std::string g_reportPath;

void Say(const std::string& line) {
    printf("%s\n", line.c_str());
    fflush(stdout);
    g_report.push_back(line);
}

// The report so far, then a last line for the waiting script.
void WriteReport(const char* last) {
    if (g_reportPath.empty())
        return;
    std::string text;
    for (const std::string& l : g_report) text += l + "\r\n";
    text += std::string(last) + "\r\n";
    HANDLE f = CreateFileA(g_reportPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(f, text.data(), (DWORD)text.size(), &written, nullptr);
    CloseHandle(f);
}

std::string Rect(const char* what, const RECT& r) {
    char line[128];
    snprintf(line, sizeof(line), "%s %ld %ld %ld %ld", what, r.left, r.top, r.right, r.bottom);
    return line;
}

INT_PTR TypeLogin(int id, HWND dlg) {
    if (id != IDD_DB_USERINFO)
        return IDCANCEL;
    SetDlgItemTextA(dlg, IDC_DB_USER_NAME, "admin");
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    return IDOK;
}

TableFieldSpec Field(const char* name, int type) {
    TableFieldSpec s;
    s.name = name;
    s.type = type;
    return s;
}

// Three pupils added through the core, Ann with a photo embedded from a
// small picture file.
void AddPupils(CDBCore* c, const std::string& folder) {
    std::string photo = folder + "\\ann.bmp";
    std::string bmp = picfix::Bmp24(
        16, 16, [](int x, int y) { return (x / 4 + y / 4) % 2 ? 0xE0A040u : 0x3060C0u; });
    if (FILE* f = fopen(photo.c_str(), "wb")) {
        fwrite(bmp.data(), 1, bmp.size(), f);
        fclose(f);
    }
    struct Pupil {
        const char* name;
        DATE born;  // 36526: 2000-01-01
        const char* inClass;
        bool active;
        bool photo;
        const char* note;
    };
    const Pupil pupils[] = {
        {"Ann", 36526, "One", true, true, "Likes drawing.\r\nSits by the window."},
        {"Bob", 36650, "One", false, false, nullptr},
        {"Cid", 36800, "Two", true, false, "Plays the flute."},
    };
    DataSourceDescriptor d = {};
    lstrcpyA(d.sourceName, "Pupil");
    int count = 0;
    if (!c->GetRecordCount(&d, &count))
        return;
    for (const Pupil& p : pupils) {
        std::vector<FieldValuePair> pairs;
        auto put = [&](const char* field, const VARIANT& value, int linkFlag) {
            FieldValuePair pair = {};
            lstrcpynA(pair.fieldName, field, sizeof(pair.fieldName));
            pair.linkFlag = linkFlag;
            pair.value = value;
            pairs.push_back(pair);
        };
        VARIANT v;
        VariantInit(&v);
        CDBCore::TextToVariant(&v, p.name, dbText);
        put("Name", v, 0);
        V_VT(&v) = VT_DATE;
        V_DATE(&v) = p.born;
        put("Born", v, 0);
        CDBCore::TextToVariant(&v, p.inClass, dbText);
        put("Class", v, 0);
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = p.active ? VARIANT_TRUE : VARIANT_FALSE;
        put("Active", v, 0);
        if (p.photo && BuildMediaValue(false, 0, photo, &v))
            put("Photo", v, 0);
        if (p.note && CDBCore::TextToVariant(&v, p.note, dbMemo))
            put("Note", v, 0);
        if (c->AddNewRecord(&d, pairs.data(), (int)pairs.size()) != 1)
            Say(std::string("pupil not added: ") + p.name);
        for (FieldValuePair& pair : pairs) VariantClear(&pair.value);
    }
    c->CloseDataSource(&d);
}

// The demo's content, written through the core.
bool WriteDemo(CDBCore* c, const std::string& folder) {
    TableFieldSpec id = Field("ID", 1), name = Field("Name", 6), born = Field("Born", 5),
                   photo = Field("Photo", 8), voice = Field("Voice", 11), room = Field("Room", 6),
                   inClass = Field("Class", 6), active = Field("Active", 3),
                   note = Field("Note", 7);
    if (!c->CreateTable({&id, &name, &room}, "Class") ||
        !c->CreateTable({&name, &born, &photo, &inClass, &active, &note}, "Pupil") ||
        !c->CreateTable({&name, &voice}, "Song"))
        return false;
    // A long-binary field that names no media type.
    CdbFieldSpec blob;
    blob.name = "Blob";
    blob.type = dbLongBinary;
    c->GetDatabase()->AddField("Pupil", blob, 3);
    IndexFieldSpec key;
    key.name = "Name";
    c->CreateIndex("Class", "PrimaryKey", 1, {&key});
    RelationFieldSpec pair;
    pair.name = "Name";
    pair.foreignName = "Class";
    c->CreateRelation("ClassPupil", "Class", "Pupil", {&pair}, 0x1000);
    // Made in the visual design, as its builder writes it.
    c->CreateQuery("SELECT [Pupil].[Name],[Pupil].[Born] FROM [Pupil] ORDER BY [Pupil].[Born] DESC",
                   "AllPupils", 1);
    c->CreateQuery("SELECT Name, Room FROM Class", "ClassRooms", 0);
    c->GetDatabase()->Connection()->Exec(
        "INSERT INTO Class(ID, Name, Room) VALUES (1, 'One', 'A1'), (2, 'Two', 'B2')");
    AddPupils(c, folder);
    // A library of books in a file of its own, linked.
    std::string library = folder + "\\library.mvb";
    DeleteFileA(library.c_str());
    try {
        CdbDatabase::Create(library, ";LANGID=0x0804;CP=936;COUNTRY=0");
        std::unique_ptr<CdbDatabase> lib = CdbDatabase::Open(library, false, false, "");
        CdbFieldSpec title;
        title.name = "Title";
        title.type = dbText;
        lib->CreateTable("Books", {title});
    } catch (const CdbException& e) {
        Say("library not written: " + e.Description());
    }
    c->LinkExternalTable("Books", "library.mvb", library.c_str(), "Books", ID_DB_LINK_ACCESS);
    c->CreateGroup("Teachers", "t1");
    c->CreateUserInGroup("wang", "w1");
    c->AddUserToGroup("wang", "Teachers");
    c->CreateUserInGroup("li", "l1");
    return true;
}

void PrintTree(HWND tree, HTREEITEM item, int depth) {
    for (; item; item = TreeView_GetNextSibling(tree, item)) {
        Say(std::string(depth * 2, ' ') + CDBTreeView::TextOf(tree, item));
        PrintTree(tree, TreeView_GetChild(tree, item), depth + 1);
    }
}

void PrintList(HWND list) {
    HWND header = ListView_GetHeader(list);
    int columns = header ? Header_GetItemCount(header) : 0;
    std::string line = "list:";
    for (int c = 0; c < columns; ++c) {
        char text[128] = {};
        LVCOLUMNA col = {};
        col.mask = LVCF_TEXT;
        col.pszText = text;
        col.cchTextMax = sizeof(text);
        SendMessageA(list, LVM_GETCOLUMNA, c, (LPARAM)&col);
        line += std::string(c ? " | " : " ") + text;
    }
    Say(line);
    int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; ++r) {
        line = " ";
        for (int c = 0; c < columns; ++c) {
            char text[128] = {};
            ListView_GetItemText(list, r, c, text, sizeof(text));
            line += std::string(c ? " | " : " ") + text;
        }
        Say(line);
    }
}

HTREEITEM FindPath(HWND tree, const std::string& path) {
    HTREEITEM item = TreeView_GetRoot(tree), found = nullptr;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        std::string part =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        found = nullptr;
        for (; item; item = TreeView_GetNextSibling(tree, item))
            if (CDBTreeView::TextOf(tree, item) == part) {
                found = item;
                break;
            }
        if (!found || end == std::string::npos)
            return found;
        item = TreeView_GetChild(tree, found);
        start = end + 1;
    }
    return found;
}

// The account manager's sheet, once it stands.
BOOL CALLBACK FindSheet(HWND hwnd, LPARAM out) {
    char text[128] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    if (IsWindowVisible(hwnd) && DBLoadString(IDS_DB_USERMAN_CAPTION) == text) {
        *(HWND*)out = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND AccountSheet() {
    HWND sheet = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSheet, (LPARAM)&sheet);
    return sheet;
}

void CALLBACK AccountsShown(HWND, UINT, UINT_PTR id, DWORD) {
    if (!AccountSheet())
        return;
    KillTimer(nullptr, id);
    WriteReport("ACCOUNTS");
}

void CALLBACK CloseAccounts(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND sheet = AccountSheet())
        PostMessageA(sheet, WM_CLOSE, 0, 0);
}

// The query design (modal): reported once up, cancelled after the hold.
BOOL CALLBACK FindQueryDesign(HWND hwnd, LPARAM out) {
    char text[128] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    if (IsWindowVisible(hwnd) && GetDlgItem(hwnd, IDC_DB_QD_GRID) &&
        GetDlgItem(hwnd, IDC_DB_QD_SQL)) {
        *(HWND*)out = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND QueryDesign() {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindQueryDesign, (LPARAM)&dialog);
    return dialog;
}

void CALLBACK QueryShown(HWND, UINT, UINT_PTR id, DWORD) {
    if (!QueryDesign())
        return;
    KillTimer(nullptr, id);
    WriteReport("QUERY");
}

void CALLBACK CloseQuery(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND dialog = QueryDesign())
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The host's own page: empty.
INT_PTR CALLBACK HostPageProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

void Hold(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    MSG msg;
    while ((int)(end - GetTickCount()) > 0) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: dbhost FOLDER [NODE/PATH] [accounts] [report=FILE] [hold=MS]\n");
        return 2;
    }
    std::string folder = argv[1], node;
    bool accounts = false, browse = false, query = false;
    DWORD hold = 3000;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "accounts") == 0)
            accounts = true;
        else if (strcmp(argv[i], "browse") == 0)
            browse = true;
        else if (strcmp(argv[i], "query") == 0)
            query = true;
        else if (strncmp(argv[i], "report=", 7) == 0)
            g_reportPath = argv[i] + 7;
        else if (strncmp(argv[i], "hold=", 5) == 0)
            hold = (DWORD)atoi(argv[i] + 5);
        else
            node = argv[i];
    }
    SetDBModule(GetModuleHandleA(nullptr));
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    OleInitialize(nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string path = folder + "\\demo.mvb", workgroup = folder + "\\demo.mdw";
    DeleteFileA(path.c_str());
    DeleteFileA(workgroup.c_str());
    HostSite site;
    HWND notices =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    // Written as the administrator of a new workgroup.
    {
        IDBCore* db = nullptr;
        CreateMavroBase(__uuidof(IDBCore), (void**)&db);
        PFNDIALOGHANDLER old = SetDialogHandler(TypeLogin);
        HRESULT hr = db->InitDataBase(path.c_str(), workgroup.c_str(), "",
                                      DB_INIT_CREATE | DB_INIT_MULTIUSER, &site, notices);
        SetDialogHandler(old);
        if (FAILED(hr) || !WriteDemo(GetDBCore(), folder)) {
            fprintf(stderr, "demo database not written (0x%08lX)\n", (unsigned long)hr);
            return 1;
        }
        db->Release();
    }
    // Opened for several users, the login typed through the seam.
    IDBCore* db = nullptr;
    CreateMavroBase(__uuidof(IDBCore), (void**)&db);
    PFNDIALOGHANDLER old = SetDialogHandler(TypeLogin);
    HRESULT hr =
        db->InitDataBase(path.c_str(), workgroup.c_str(), "", DB_INIT_MULTIUSER, &site, notices);
    SetDialogHandler(old);
    if (FAILED(hr)) {
        fprintf(stderr, "demo database not opened (0x%08lX)\n", (unsigned long)hr);
        return 1;
    }
    // The sheet: a page of the host's, then the database page.
    static const WORD words[] = {
        LOWORD(WS_CHILD), HIWORD(WS_CHILD), 0, 0, 0, 0, 0, 200, 100, 0, 0, 0, 0};
    static DWORD aligned[8];
    memcpy(aligned, words, sizeof(words));
    PROPSHEETPAGEA own = {};
    own.dwSize = sizeof(own);
    own.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    own.pResource = (const DLGTEMPLATE*)aligned;
    own.pszTitle = "Host";
    own.pfnDlgProc = HostPageProc;
    HPROPSHEETPAGE pages[] = {CreatePropertySheetPageA(&own)};
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
    header.pszCaption = "dbhost";
    header.nPages = 1;
    header.phpage = pages;
    HWND sheet = (HWND)PropertySheetA(&header);
    HWND toolbar = CreateWindowExA(
        0, TOOLBARCLASSNAMEA, "",
        WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NODIVIDER, 0,
        0, 1024, 28, sheet, nullptr, nullptr, nullptr);
    db->AddDatabasePage(sheet, nullptr, toolbar);
    PropSheet_SetCurSel(sheet, nullptr, 1);
    // 1024 x 768: the toolbar on top, the tabs below it, no buttons.
    SetWindowPos(sheet, HWND_TOP, 0, 0, 1024, 768, SWP_SHOWWINDOW);
    for (int button : {IDOK, IDCANCEL, IDHELP, IDC_DB_APPLY})
        if (HWND b = GetDlgItem(sheet, button))
            ShowWindow(b, SW_HIDE);
    RECT client;
    GetClientRect(sheet, &client);
    MoveWindow(toolbar, 0, 0, client.right, 28, TRUE);
    HWND tabs = PropSheet_GetTabControl(sheet);
    MoveWindow(tabs, 4, 32, client.right - 8, client.bottom - 36, TRUE);
    RECT display = {4, 32, client.right - 4, client.bottom - 4};
    TabCtrl_AdjustRect(tabs, FALSE, &display);
    CDBPage* page = GetDBCore()->GetPage();
    if (!page || !page->m_hWnd) {
        fprintf(stderr, "no database page\n");
        return 1;
    }
    MoveWindow(page->m_hWnd, display.left, display.top, display.right - display.left,
               display.bottom - display.top, TRUE);
    // The page activated again at its new size, as the sheet does.
    NMHDR active = {sheet, 0, (UINT)PSN_SETACTIVE};
    SendMessageA(page->m_hWnd, WM_NOTIFY, 0, (LPARAM)&active);
    HWND tree = page->m_tree.m_hWnd, list = page->m_list.m_hWnd;
    if (!node.empty()) {
        HTREEITEM item = FindPath(tree, node);
        if (!item) {
            fprintf(stderr, "no node %s\n", node.c_str());
        } else {
            TreeView_EnsureVisible(tree, item);
            TreeView_SelectItem(tree, item);
        }
    }
    // The list keeps the focus: the tree shows its selection unblended.
    SetFocus(list);
    Hold(300);
    Say("tree:");
    PrintTree(tree, TreeView_GetRoot(tree), 1);
    PrintList(list);
    RECT r;
    GetClientRect(page->m_hWnd, &r);
    MapWindowPoints(page->m_hWnd, nullptr, (POINT*)&r, 2);
    Say(Rect("PAGE", r));
    if (HTREEITEM item = TreeView_GetSelection(tree)) {
        TreeView_GetItemRect(tree, item, &r, TRUE);
        MapWindowPoints(tree, nullptr, (POINT*)&r, 2);
        Say(Rect("NODE", r));
    }
    GetWindowRect(ListView_GetHeader(list), &r);
    Say(Rect("HEADER", r));
    WriteReport("READY");
    if (accounts) {
        SetTimer(nullptr, 0, 200, AccountsShown);
        SetTimer(nullptr, 0, hold, CloseAccounts);
        SendMessageA(page->m_hWnd, WM_COMMAND, ID_DB_ACCOUNTS, 0);
    } else if (browse) {
        BrowseCommand(tree, "Pupil", 0);
        DataSourceEntry* entry = GetDBCore()->FindTableByName("Pupil");
        HWND browser = entry ? entry->browser : nullptr;
        if (browser) {
            SetWindowPos(browser, HWND_TOP, display.left + 60, display.top + 120, 900, 300,
                         SWP_SHOWWINDOW);
            // The preview shown, then the user walks to Ann's note.
            SendMessageA(browser, WM_COMMAND, ID_DB_MEDIA_PREVIEW, 0);
            HWND grid = BrowserGrid(browser);
            for (int col = 1; col < dbgrid::Cols(grid) && dbgrid::Text(grid, col, 0) != "Note";
                 ++col)
                SendMessageA(grid, WM_KEYDOWN, VK_RIGHT, 0);
            Hold(300);
            WriteReport("BROWSER");
        }
        Hold(hold);
        if (browser && IsWindow(browser))
            DestroyWindow(browser);
    } else if (query) {
        HTREEITEM item = FindPath(tree, DBLoadString(IDS_DB_QUERIES) + "/AllPupils");
        SetTimer(nullptr, 0, 200, QueryShown);
        SetTimer(nullptr, 0, hold, CloseQuery);
        if (item)
            QueryDesignCommand(tree, item, ID_DB_DESIGN_QUERY);
    } else {
        Hold(hold);
    }
    DestroyWindow(sheet);
    db->Release();
    OleUninitialize();
    return 0;
}
