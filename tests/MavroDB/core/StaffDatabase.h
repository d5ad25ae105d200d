// The test database "Staff": one table of eight DAO types, stored queries
// and media-field properties, written by the independent writer.
#pragma once

#include <string>

#include "MvbWriter.h"

// Staff rows (ID, Name, Salary, Hired, Photo, Note, Active, Pay):
//   1 Ann   1000.5  2000-01-01  linked "ann.png"  "memo a"  Yes  3.25
//   2 Bob   2000    1999-12-31  linked "bob.png"  NULL      No   12
//   3 Cid   1500    2004-03-05  NULL              "memo c"  Yes  0.5
inline void WriteStaff(MvbWriter& w) {
    w.Exec(
        "CREATE TABLE Staff(ID LONG PRIMARY KEY, Name TEXT(20), Salary DOUBLE,"
        " Hired DATETIME, Photo LONGBINARY, Note MEMO, Active BIT, Pay CURRENCY)");
    // OLE dates: 36526 = 2000-01-01, 36525 = 1999-12-31, 38051 = 2004-03-05.
    w.Exec(
        "INSERT INTO Staff VALUES(1, 'Ann', 1000.5, 36526, CAST('ann.png' AS BLOB),"
        " 'memo a', -1, 3.25)");
    w.Exec("INSERT INTO Staff VALUES(2, 'Bob', 2000, 36525, CAST('bob.png' AS BLOB), NULL, 0, 12)");
    w.Exec("INSERT INTO Staff VALUES(3, 'Cid', 1500, 38051, NULL, 'memo c', -1, 0.5)");
    w.Exec("CREATE TABLE Orders(OrderID LONG PRIMARY KEY, StaffID LONG, Amount DOUBLE)");
    w.Exec("INSERT INTO Orders VALUES(10, 1, 5), (11, 2, 7), (12, 1, 9)");
    w.Property("Staff", "Photo", "MediaType", 1024);
    w.Property("Staff", "Photo", "BLINK", 1);
    w.Query("Rich", "SELECT * FROM Staff WHERE Salary > 1200 ORDER BY [Staff].[ID]");
    w.Query("ByName",
            "PARAMETERS [Who] TEXT(20); SELECT Name, Salary FROM Staff WHERE Name = [Who]");
    w.Query("Totals",
            "SELECT s.Name, Sum(o.Amount) AS Total FROM Staff AS s INNER JOIN Orders AS o"
            " ON s.ID = o.StaffID GROUP BY s.Name");
}

inline std::string StaffFile(const std::string& path) {
    MvbWriter w(path);
    WriteStaff(w);
    return path;
}
