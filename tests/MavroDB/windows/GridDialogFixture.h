// The grid dialogs on a real core over a written school database, driven
// through the dialog seam: the test types into the grid as the user would
// and sends the grid's change notification; message boxes are recorded.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DBTestSite.h"
#include "MvbWriter.h"
#include "TestFiles.h"
#include "aBaseCore.h"
#include "aDBGrid.h"
#include "aDBModule.h"
#include "bMsgBox.h"
#include "WrittenDatabase.h"

namespace griddlg {

// Pupil(Name text, Born date, Photo embedded picture, Active Boolean) with
// three pupils; Class(ID long key, Title text, Size byte, Note memo);
// Member(ClassID long, Who text).
inline void WriteSchool(MvbWriter& w) {
    w.Exec("CREATE TABLE Pupil(Name TEXT(50), Born DATETIME, Photo LONGBINARY, Active BIT)");
    // OLE dates: 36526 = 2000-01-01.
    w.Exec(
        "INSERT INTO Pupil VALUES('Ann', 36526, NULL, -1), ('Bob', 36527, NULL, 0),"
        " ('Cid', 36528, NULL, -1)");
    w.Property("Pupil", "Photo", "MediaType", 1024);
    w.Property("Pupil", "Photo", "BLINK", 0);
    w.Exec("CREATE TABLE Class(ID LONG PRIMARY KEY, Title TEXT(20), Size BYTE, Note MEMO)");
    w.Exec("CREATE TABLE Member(ClassID LONG, Who TEXT(20))");
}

struct School : WrittenDatabase<> {
    School() : WrittenDatabase(WriteSchool, "school.mvb") {}
};

inline std::vector<std::string>& Boxes() {
    static std::vector<std::string> texts;
    return texts;
}

inline int& BoxAnswer() {
    static int answer = IDOK;
    return answer;
}

inline int RecordBox(HWND, const char* text, const char*, UINT) {
    Boxes().push_back(text ? text : "");
    return BoxAnswer();
}

inline std::function<void(int, HWND)>& Body() {
    static std::function<void(int, HWND)> body;
    return body;
}

inline INT_PTR Drive(int id, HWND dlg) {
    Body()(id, dlg);
    return -7;  // a dialog that was not ended answers this
}

// Installs the dialog body and the box recorder for one run.
struct Driven {
    PFNDIALOGHANDLER oldDialog;
    PFNMESSAGEBOXHANDLER oldBox;
    explicit Driven(std::function<void(int, HWND)> body) {
        Body() = body;
        Boxes().clear();
        BoxAnswer() = IDOK;
        oldDialog = SetDialogHandler(Drive);
        oldBox = SetMessageBoxHandler(RecordBox);
    }
    ~Driven() {
        SetDialogHandler(oldDialog);
        SetMessageBoxHandler(oldBox);
    }
};

// The user's edit of a cell: its text, then the grid's notification.
inline bool Edit(HWND dlg, int gridId, int col, int row, const std::string& text) {
    HWND grid = GetDlgItem(dlg, gridId);
    bool taken = dbgrid::SetText(grid, col, row, text);
    GridCellRef ref = {col, row};
    SendMessageA(dlg, GN_CELLCHANGED, gridId, (LPARAM)&ref);
    return taken;
}

inline std::string Cell(HWND dlg, int gridId, int col, int row) {
    return dbgrid::Text(GetDlgItem(dlg, gridId), col, row);
}

}  // namespace griddlg
