// A database file a test writes, opened through IDBCore with a test site;
// the core behind it for the tests that drive it directly.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DBTestSite.h"
#include "MvbWriter.h"
#include "TestFiles.h"

template <class Site = FakeSite>
struct WrittenDatabase {
    TempFolder dir;
    Site site;
    NoticeWindow window;
    CComPtr<IDBCore> db;
    CComPtr<IMDBase> m;
    std::string path;
    // The file holds the catalogue only, unless fill writes more.
    explicit WrittenDatabase(const std::function<void(MvbWriter&)>& fill = nullptr,
                             const std::string& name = "d.mvb") {
        path = dir.File(name);
        {
            MvbWriter w(path);
            if (fill)
                fill(w);
        }
        db = NewDatabase();
        EXPECT_EQ(S_OK, db->InitDataBase(path.c_str(), "", "", 0, &site, window.Handle()));
        db->QueryInterface(__uuidof(IMDBase), (void**)&m);
    }
    CDBCore* Core() { return static_cast<CMavroBase*>(m.p)->Core(); }
    std::vector<DataSourceNotice> Notices() { return window.Drain(db); }
};
