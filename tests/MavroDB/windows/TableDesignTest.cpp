// The table design dialog driven through the dialog seam on real databases:
// the grid as it opens, name checks, deleted and added rows, type changes,
// renames and the notice, and the tree commands that open it.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "DBTestSite.h"
#include "ManagerFixture.h"
#include "MvbWriter.h"
#include "TestFiles.h"
#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "aDBResource.h"
#include "aDBTableDesign.h"
#include "aDBTableDesignResource.h"
#include "bMsgBox.h"
#include "sqlite3.h"
#include "WrittenDatabase.h"

namespace {

std::function<void(HWND)>& Body() {
    static std::function<void(HWND)> body;
    return body;
}

INT_PTR Drive(int id, HWND dlg) {
    EXPECT_EQ(IDD_DB_TABLE_DESIGN, id);
    Body()(dlg);
    return IDCANCEL;  // a dialog the body did not end
}

std::vector<std::string>& Boxes() {
    static std::vector<std::string> texts;
    return texts;
}

int RecordBox(HWND, const char* text, const char*, UINT) {
    Boxes().push_back(text ? text : "");
    return IDOK;
}

// The seam answers the dialog with the body and records the boxes.
struct Driven {
    PFNDIALOGHANDLER oldDialog;
    PFNMESSAGEBOXHANDLER oldBox;
    explicit Driven(std::function<void(HWND)> body) {
        Body() = body;
        Boxes().clear();
        oldDialog = SetDialogHandler(Drive);
        oldBox = SetMessageBoxHandler(RecordBox);
    }
    ~Driven() {
        SetDialogHandler(oldDialog);
        SetMessageBoxHandler(oldBox);
    }
};

// The dialog's grid as the user works it.
struct Grid {
    HWND dlg, grid;
    explicit Grid(HWND d) : dlg(d), grid(GetDlgItem(d, IDC_DB_TD_GRID)) {}
    std::string Text(int col, int row) const {
        char buffer[256] = {};
        GridText t = {col, row, nullptr, buffer, (int)sizeof(buffer)};
        SendMessageA(grid, GM_GETTEXT, 0, (LPARAM)&t);
        return buffer;
    }
    bool Locked(int col, int row) const {
        GridCellRef ref = {col, row};
        return SendMessageA(grid, GM_GETLOCK, 0, (LPARAM)&ref) != 0;
    }
    int Rows() const { return (int)SendMessageA(grid, GM_GETMAXROWS, 0, 0); }
    GridCellRef Active() const {
        GridCellRef ref = {0, 0};
        SendMessageA(grid, GM_GETACTIVECELL, 0, (LPARAM)&ref);
        return ref;
    }
    // Types into a text cell or picks a list item, as an in-place edit does.
    void Enter(int col, int row, const std::string& text) {
        SendMessageA(grid, GM_SETACTIVECELL, col, row);
        SendMessageA(grid, GM_SETEDITMODE, TRUE, 0);
        HWND edit = (HWND)SendMessageA(grid, GM_GETEDITWINDOW, 0, 0);
        ASSERT_TRUE(edit != nullptr) << col << "," << row;
        char cls[32] = {};
        GetClassNameA(edit, cls, sizeof(cls));
        if (lstrcmpiA(cls, "COMBOBOX") == 0) {
            LRESULT at = SendMessageA(edit, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text.c_str());
            ASSERT_NE(CB_ERR, at) << text;
            SendMessageA(edit, CB_SETCURSEL, at, 0);
        } else {
            SetWindowTextA(edit, text.c_str());
        }
        SendMessageA(grid, GM_SETEDITMODE, FALSE, 0);
    }
    void Key(int vk) { SendMessageA(grid, WM_KEYDOWN, vk, 0); }
    void SelectRows(int first, int last) {
        GridRange r = {-1, first, -1, last};
        SendMessageA(grid, GM_SETSELECTION, 0, (LPARAM)&r);
    }
    void Command(int id) { SendMessageA(dlg, WM_COMMAND, id, 0); }
    void SetName(const std::string& name) { SetDlgItemTextA(dlg, IDC_DB_TD_NAME, name.c_str()); }
};

std::string Type(int code) {
    static const char* labels[] = {"整数", "小数", "布尔", "货币", "日期", "文字", "注释",
                                   "图片", "图元", "影像", "声音", "动画", "文本"};
    return DBAnsi(labels[code - 1]);
}

std::string Scalar(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string out = "<none>";
    if (sqlite3_open_v2(Utf8OfAnsi(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            out = sqlite3_column_text(s, 0) ? (const char*)sqlite3_column_text(s, 0) : "";
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

HTREEITEM AddItem(HWND tree, HTREEITEM parent, const char* text, int kind) {
    TVINSERTSTRUCTA ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM;
    ins.item.pszText = const_cast<char*>(text);
    ins.item.lParam = kind;
    return (HTREEITEM)SendMessageA(tree, TVM_INSERTITEMA, 0, (LPARAM)&ins);
}

struct Node {
    std::string text;
    int image;
    int kind;
};

Node NodeOf(HWND tree, HTREEITEM item) {
    char buffer[256] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = sizeof(buffer);
    SendMessageA(tree, TVM_GETITEMA, 0, (LPARAM)&tv);
    return Node{buffer, tv.iImage, (int)tv.lParam};
}

// Pupil(Name, Born, Photo: an embedded picture) with 3 pupils; Class(Room
// as text) with "12", "7" and "x"; Kinds with a field of each kind of cell
// (L a long binary without media type, V a video, A a linked animation); a tree with the internal
// tables' root (kind 1) and Pupil's node (kind 2). The database opens through IDBCore.
struct School : WrittenDatabase<> {
    HWND tree = nullptr;
    HTREEITEM tables = nullptr, pupil = nullptr;

    static void FillSchool(MvbWriter& w) {
        w.Exec("CREATE TABLE Pupil(Name TEXT(30), Born DATETIME, Photo LONGBINARY)");
        w.Exec(
            "INSERT INTO Pupil VALUES ('Ann', 36000, NULL), ('Bob', 36500, NULL),"
            " ('Cid', 37000, NULL)");
        w.Property("Pupil", "Photo", "MediaType", 1024);
        w.Property("Pupil", "Photo", "BLINK", 0);
        w.Exec("CREATE TABLE Class(Room TEXT(10))");
        w.Exec("INSERT INTO Class VALUES ('12'), ('7'), ('x')");
        w.Exec(
            "CREATE TABLE Kinds(B BIT, Y BYTE, D DOUBLE, C CURRENCY, M MEMO, R BINARY(4),"
            " L LONGBINARY, V LONGBINARY, A LONGBINARY)");
        w.Property("Kinds", "V", "MediaType", 1026);
        w.Property("Kinds", "V", "BLINK", 0);
        w.Property("Kinds", "A", "MediaType", 1028);
        w.Property("Kinds", "A", "BLINK", 1);
    }

    School() : WrittenDatabase(FillSchool, "school.mvb") {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_POPUP, 0, 0, 200, 300, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        tables = AddItem(tree, TVI_ROOT, DBAnsi("内部表").c_str(), 1);
        pupil = AddItem(tree, tables, "Pupil", 2);
    }
    ~School() {
        DestroyWindow(tree);
        db->CloseAllRecordsets();
    }
    std::vector<std::string> Fields(const char* table) {
        char** names = nullptr;
        int count = 0;
        std::vector<std::string> out;
        if (!Core()->GetQueryFieldInfo(table, 0, &names, &count))
            return out;
        for (int i = 0; i < count; ++i) out.push_back(names[i]);
        CDBCore::FreeNameArray(names, count);
        return out;
    }
    int FieldType(const char* table, const char* field) {
        DataSourceDescriptor d = Desc(table, field);
        int type = 0;
        EXPECT_EQ(S_OK, db->GetDataSourceFieldType(&d, &type));
        return type;
    }
    // Slot 17 on the first record: a text into a field.
    HRESULT Write(const char* table, const char* field, const wchar_t* name) {
        FieldValuePair pair = {};
        strcpy(pair.fieldName, field);
        V_VT(&pair.value) = VT_BSTR;
        V_BSTR(&pair.value) = SysAllocString(name);
        DataSourceDescriptor d = Desc(table);
        HRESULT hr = db->UpdateDataSourceRecord(&d, &pair, 1);
        VariantClear(&pair.value);
        return hr;
    }
    // Runs the design command on Pupil's node with a body.
    void Design(std::function<void(Grid&)> body) {
        Driven d([&](HWND dlg) {
            Grid g(dlg);
            body(g);
        });
        ASSERT_EQ(Core(), GetDBCore());
        DesignTableCommand(tree, pupil);
    }
};

}  // namespace

TEST(TableDesign, ChangeModeShowsTheFieldsAndHoldsTheTable) {
    School s;
    s.Design([&](Grid& g) {
        char name[80] = {};
        GetDlgItemTextA(g.dlg, IDC_DB_TD_NAME, name, sizeof(name));
        EXPECT_STREQ("Pupil", name);
        EXPECT_EQ(DBLoadString(IDS_DB_FIELD_NAME), g.Text(1, 0));
        EXPECT_EQ(DBLoadString(IDS_DB_TD_FIELD_TYPE), g.Text(2, 0));
        EXPECT_EQ(DBLoadString(IDS_DB_TD_EMBEDDED), g.Text(3, 0));
        ASSERT_EQ(4, g.Rows());
        struct {
            const char* name;
            int type;
            const char* embedded;
            bool locked;
        } rows[] = {{"Name", 6, "", true},
                    {"Born", 5, "", true},
                    {"Photo", 8, "1", false},
                    {"", 6, "", true}};
        for (int r = 0; r < 4; ++r) {
            EXPECT_EQ(rows[r].name, g.Text(1, r + 1));
            EXPECT_EQ(Type(rows[r].type), g.Text(2, r + 1)) << r;
            EXPECT_EQ(rows[r].embedded, g.Text(3, r + 1)) << r;
            EXPECT_EQ(rows[r].locked, g.Locked(3, r + 1)) << r;
        }
        // The design mark refuses record writes (slot 17, code 2).
        EXPECT_EQ(DB_E_FAILED, s.Write("Pupil", "Name", L"Zed"));
        DataSourceDescriptor d = Desc("Pupil");
        FieldValuePair pair = {};
        strcpy(pair.fieldName, "Name");
        EXPECT_EQ(2, s.Core()->UpdateRecord(&d, &pair, 1));
        EXPECT_EQ(S_OK, s.Write("Class", "Room", L"9"));  // another table is free
        g.Command(IDC_DB_TD_CANCEL);
    });
    EXPECT_EQ(S_OK, s.Write("Pupil", "Name", L"Zed"));  // the mark ends with the dialog
}

TEST(TableDesign, StoredTypesShowAsTheirLabelsAndUnknownOnesAreLocked) {
    School s;
    Driven d([&](HWND dlg) {
        Grid g(dlg);
        struct {
            std::string type;
            const char* embedded;
            bool typeLocked, embeddedLocked;
        } rows[] = {{Type(3), "", false, true},
                    {Type(1), "", false, true},
                    {Type(2), "", false, true},
                    {Type(4), "", false, true},
                    {Type(7), "", false, true},
                    {DBLoadString(IDS_DB_TD_UNKNOWN_TYPE), "", true, true},
                    {DBLoadString(IDS_DB_TD_UNKNOWN_TYPE), "", true, true},
                    {Type(10), "1", false, true},  // video keeps its storage
                    {Type(12), "0", false, false}};
        ASSERT_EQ(10, g.Rows());
        for (int r = 0; r < 9; ++r) {
            EXPECT_EQ(rows[r].type, g.Text(2, r + 1)) << r;
            EXPECT_EQ(rows[r].embedded, g.Text(3, r + 1)) << r;
            EXPECT_EQ(rows[r].typeLocked, g.Locked(2, r + 1)) << r;
            EXPECT_EQ(rows[r].embeddedLocked, g.Locked(3, r + 1)) << r;
        }
        g.Command(IDC_DB_TD_CANCEL);
    });
    TableDesignDialog dlg(s.Core(), 0, s.tree, nullptr, "Kinds");
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
}

TEST(TableDesign, DroppedFirstFieldAndAddedMemoPostTheOldName) {
    School s;
    std::string born = Scalar(s.path, "SELECT group_concat(Born) FROM Pupil");
    s.Design([&](Grid& g) {
        g.SelectRows(1, 1);
        g.Key(VK_DELETE);
        ASSERT_EQ(3, g.Rows());
        EXPECT_EQ("Born", g.Text(1, 1));
        g.Enter(1, 3, "Note");
        EXPECT_EQ(4, g.Rows());  // a change in the blank row adds the next
        g.Enter(2, 3, Type(7));
        g.Command(IDC_DB_TD_OK);
    });
    EXPECT_EQ((std::vector<std::string>{"Born", "Photo", "Note"}), s.Fields("Pupil"));
    EXPECT_EQ(12, s.FieldType("Pupil", "Note"));
    EXPECT_EQ(1024, s.FieldType("Pupil", "Photo"));
    EXPECT_EQ(born, Scalar(s.path, "SELECT group_concat(Born) FROM Pupil"));
    std::vector<DataSourceNotice> notices = s.window.Drain(s.db);
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(4, notices[0].kind);
    EXPECT_STREQ("Pupil", notices[0].sourceName);
    EXPECT_EQ(0, notices[0].isQuery);

    // A run that changes nothing posts nothing, nor one whose name was typed
    // back to what it was (no rename onto itself, no engine error).
    s.Design([&](Grid& g) { g.Command(IDC_DB_TD_OK); });
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    s.Design([&](Grid& g) {
        g.Enter(1, 1, "Birth");
        g.Enter(1, 1, "Born");
        g.Command(IDC_DB_TD_OK);
        EXPECT_TRUE(Boxes().empty());
    });
    EXPECT_TRUE(s.window.Drain(s.db).empty());
    EXPECT_EQ((std::vector<std::string>{"Born", "Photo", "Note"}), s.Fields("Pupil"));

    // A rename renames the table and its node; the notice keeps the old name.
    s.Design([&](Grid& g) {
        g.SetName("Pupils");
        g.Command(IDC_DB_TD_OK);
    });
    EXPECT_EQ("Pupils", NodeOf(s.tree, s.pupil).text);
    EXPECT_TRUE(s.Core()->FindTableByName("Pupils") != nullptr);
    EXPECT_TRUE(s.Core()->FindTableByName("Pupil") == nullptr);
    EXPECT_EQ("3", Scalar(s.path, "SELECT count(*) FROM Pupils"));
    notices = s.window.Drain(s.db);
    ASSERT_EQ(1u, notices.size());
    EXPECT_STREQ("Pupil", notices[0].sourceName);
    EXPECT_EQ(S_OK, s.Write("Pupils", "Note", L"Zed"));  // the mark went with the name
}

TEST(TableDesign, TypeChangeWinsOverRenameAndKeepsValuesThatConvert) {
    School s;
    Driven d([&](HWND dlg) {
        Grid g(dlg);
        g.Enter(1, 1, "Rooms");
        g.Enter(2, 1, Type(1));
        g.Command(IDC_DB_TD_OK);
    });
    TableDesignDialog dlg(s.Core(), 0, s.tree, nullptr, "Class");
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ((std::vector<std::string>{"Rooms"}), s.Fields("Class"));
    EXPECT_EQ(4, s.FieldType("Class", "Rooms"));
    EXPECT_EQ("12,7", Scalar(s.path, "SELECT group_concat(Rooms) FROM Class"));
    EXPECT_EQ("3", Scalar(s.path, "SELECT count(*) FROM Class"));
}

TEST(TableDesign, FieldNamesAreCheckedWhenLeavingARowAndAtOk) {
    School s;
    struct {
        std::string name;
        UINT message;  // 0: accepted
    } cases[] = {{"", IDS_DB_TD_NAME_EMPTY},
                 {"a b", IDS_DB_TD_NAME_BAD_CHAR},
                 {"a-b", IDS_DB_TD_NAME_BAD_CHAR},
                 {"NAME", IDS_DB_TD_NAME_TWICE},
                 {"1st_" + DBAnsi("姓名"), 0}};
    for (const auto& c : cases) {
        Driven d([&](HWND dlg) {
            Grid g(dlg);
            g.Enter(1, 1, "Name");
            g.Enter(1, 2, "x");
            SendMessageA(g.grid, GM_SETACTIVECELL, 1, 2);
            GridText t = {1, 2, c.name.c_str(), nullptr, 0};
            SendMessageA(g.grid, GM_SETTEXT, 0, (LPARAM)&t);
            Boxes().clear();
            g.Key(VK_UP);
            if (c.message) {
                ASSERT_EQ(1u, Boxes().size()) << c.name;
                EXPECT_EQ(DBLoadString(c.message), Boxes()[0]);
                EXPECT_EQ(2, g.Active().row);  // the move was refused
            } else {
                EXPECT_TRUE(Boxes().empty()) << c.name;
                EXPECT_EQ(1, g.Active().row);
            }
            g.Command(IDC_DB_TD_CANCEL);
        });
        TableDesignDialog dlg(s.Core(), 1, s.tree);
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
    }
    // The grid's cell stops at 64 bytes; the check itself at 65.
    {
        TableDesignDialog dlg(s.Core(), 1, s.tree);
        Driven d([&](HWND) {
            EXPECT_TRUE(dlg.ValidateFieldName(std::string(64, 'a'), 1));
            EXPECT_FALSE(dlg.ValidateFieldName(std::string(65, 'a'), 1));
            ASSERT_EQ(1u, Boxes().size());
            EXPECT_EQ(DBLoadString(IDS_DB_TD_NAME_TOO_LONG), Boxes()[0]);
        });
        EXPECT_EQ(IDCANCEL, dlg.DoModal());
    }
    // At OK the active row is checked and made active again.
    Driven d([&](HWND dlg) {
        Grid g(dlg);
        g.Enter(1, 1, "Name");
        g.Enter(1, 2, "name");
        SendMessageA(g.grid, GM_SETACTIVECELL, 2, 2);
        g.Command(IDC_DB_TD_OK);
        ASSERT_EQ(1u, Boxes().size());
        EXPECT_EQ(DBLoadString(IDS_DB_TD_NAME_TWICE), Boxes()[0]);
        EXPECT_TRUE(IsWindow(dlg));
        EXPECT_EQ(2, g.Active().row);
        g.Command(IDC_DB_TD_CANCEL);
    });
    TableDesignDialog dlg(s.Core(), 1, s.tree);
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_TRUE(s.Core()->FindTableByName("") == nullptr);
}

TEST(TableDesign, CreateModeMakesTheTableAndItsNode) {
    School s;
    Driven d([&](HWND dlg) {
        Grid g(dlg);
        EXPECT_EQ(1, g.Rows());
        EXPECT_EQ(Type(6), g.Text(2, 1));
        g.SetName("Score");
        g.Command(IDC_DB_TD_OK);  // only the blank row
        ASSERT_EQ(1u, Boxes().size());
        EXPECT_EQ(DBLoadString(IDS_DB_TD_NO_FIELD), Boxes()[0]);
        g.Enter(1, 1, "Mark");
        g.Enter(2, 1, Type(2));
        g.Enter(1, 2, "Pic");
        g.Enter(2, 2, Type(8));
        EXPECT_FALSE(g.Locked(3, 2));
        SendMessageA(g.grid, GM_SETACTIVECELL, 3, 2);
        g.Key(VK_SPACE);  // embedded
        EXPECT_EQ("1", g.Text(3, 2));
        g.Enter(1, 3, "Clip");
        g.Enter(2, 3, Type(8));
        g.Enter(2, 3, Type(1));  // no longer media: cleared and locked
        EXPECT_EQ("0", g.Text(3, 3));
        EXPECT_TRUE(g.Locked(3, 3));
        g.Enter(2, 3, Type(13));  // linked text
        // Only the blank row selected: nothing is deleted.
        g.SelectRows(4, 4);
        g.Command(IDC_DB_TD_DELETE);
        EXPECT_EQ(4, g.Rows());
        g.SetName("a b");
        Boxes().clear();
        g.Command(IDC_DB_TD_OK);
        ASSERT_EQ(1u, Boxes().size());
        EXPECT_EQ(DBLoadString(IDS_DB_NAME_BAD_CHAR), Boxes()[0]);
        // A table the engine refuses keeps the dialog with its design.
        g.SetName("sqlite_score");
        Boxes().clear();
        g.Command(IDC_DB_TD_OK);
        EXPECT_FALSE(Boxes().empty());
        EXPECT_TRUE(IsWindow(dlg));
        EXPECT_EQ("Clip", g.Text(1, 3));
        g.SetName("Score");
        g.Command(IDC_DB_TD_OK);
    });
    NewTableCommand(s.tree);
    EXPECT_TRUE(s.Core()->FindTableByName("sqlite_score") == nullptr);
    EXPECT_EQ((std::vector<std::string>{"Mark", "Pic", "Clip"}), s.Fields("Score"));
    EXPECT_EQ(7, s.FieldType("Score", "Mark"));
    EXPECT_EQ(1024, s.FieldType("Score", "Pic"));
    EXPECT_EQ(1029, s.FieldType("Score", "Clip"));
    int link = -1;
    DataSourceDescriptor pic = Desc("Score", "Pic"), clip = Desc("Score", "Clip");
    EXPECT_EQ(S_OK, s.db->GetDataSourceFieldLinkFlag(&pic, &link));
    EXPECT_EQ(0, link);
    EXPECT_EQ(S_OK, s.db->GetDataSourceFieldLinkFlag(&clip, &link));
    EXPECT_NE(0, link);
    HTREEITEM node = TreeView_GetNextSibling(s.tree, s.pupil);
    ASSERT_TRUE(node != nullptr);
    Node n = NodeOf(s.tree, node);
    EXPECT_EQ("Score", n.text);
    EXPECT_EQ(2, n.image);
    EXPECT_EQ(2, n.kind);
    HTREEITEM fields = TreeView_GetChild(s.tree, node);
    ASSERT_TRUE(fields != nullptr);
    HTREEITEM indexes = TreeView_GetNextSibling(s.tree, fields);
    ASSERT_TRUE(indexes != nullptr);
    Node f = NodeOf(s.tree, fields), i = NodeOf(s.tree, indexes);
    EXPECT_EQ(DBLoadString(IDS_DB_FIELDS), f.text);
    EXPECT_EQ(3, f.image);
    EXPECT_EQ(3, f.kind);
    EXPECT_EQ(DBLoadString(IDS_DB_INDEXES), i.text);
    EXPECT_EQ(5, i.image);
    EXPECT_EQ(5, i.kind);
    EXPECT_TRUE(s.window.Drain(s.db).empty());  // a new table posts nothing
}

TEST(TableDesign, TheManagersCommandsOpenItAndCloseTheTablesBrowser) {
    Manager m(false);
    m.Show();
    std::string local = DBLoadString(IDS_DB_LOCAL_TABLES);
    m.Choose(m.Find({local, "Pupil"}));
    // A browser of the table closes before the design opens.
    HWND browser = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    m.Core()->FindTableByName("Pupil")->browser = browser;
    int rows = 0;
    std::string blob;
    bool blobLocked = false;
    {
        Driven d([&](HWND dlg) {
            Grid g(dlg);
            rows = g.Rows();
            blob = g.Text(2, 4);
            blobLocked = g.Locked(2, 4);
            g.Command(IDC_DB_TD_CANCEL);
        });
        m.Command(ID_DB_DESIGN_TABLE);
    }
    EXPECT_FALSE(IsWindow(browser));
    EXPECT_TRUE(m.Core()->FindTableByName("Pupil")->browser == nullptr);
    EXPECT_EQ(5, rows);  // Name, Born, Photo, Blob and the blank row
    EXPECT_EQ(DBLoadString(IDS_DB_TD_UNKNOWN_TYPE), blob);
    EXPECT_TRUE(blobLocked);
    {
        Driven d([&](HWND dlg) {
            Grid g(dlg);
            g.Enter(1, 1, "Mark");
            g.SetName("Score");
            g.Command(IDC_DB_TD_OK);
        });
        m.Command(ID_DB_NEW_TABLE_BUTTON);
    }
    EXPECT_TRUE(m.Find({local, "Score", DBLoadString(IDS_DB_FIELDS)}) != nullptr);
    EXPECT_TRUE(m.Core()->FindTableByName("Score") != nullptr);
}
