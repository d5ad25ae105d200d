#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DBTestSite.h"
#include "MvbWriter.h"
#include "TestFiles.h"
#include "aDbEngine.h"
#include "bMsgBox.h"
#include "sqlite3.h"

namespace {

// A host whose text conversion wraps the old text in a fixed RTF frame.
class RtfHost : public FakeSite {
public:
    STDMETHOD(ConvertTextToRtf)(const char* text, int length, char** out, int* outLength) override {
        std::string rtf = "{\\rtf1 " + std::string(text, (size_t)length) + "}";
        *out = (char*)malloc(rtf.size());
        memcpy(*out, rtf.data(), rtf.size());
        *outLength = (int)rtf.size();
        ++converted;
        return S_OK;
    }
    STDMETHOD(FreeConvertedText)(char* buffer, void*) override {
        free(buffer);
        ++freed;
        return S_OK;
    }
    int converted = 0;
    int freed = 0;
};

std::string U32(uint32_t v) {
    return std::string((const char*)&v, 4);
}

// Old long-binary content:
//   0..4   unused
//   5      1 when only the name is stored (a link)
//   6..9   text length (text media)
//   10..13 picture length
//   14..   the name and its NUL, then the picture bytes
//   19..   the text bytes (text media; the name area is then empty)
std::string OldPicture(const std::string& name, const std::string& picture, bool linked,
                       uint32_t claimed) {
    return std::string(5, '\0') + std::string(1, linked ? 1 : 0) + U32(0) + U32(claimed) + name +
           std::string(1, '\0') + picture;
}
std::string OldText(const std::string& text) {
    return std::string(6, '\0') + U32((uint32_t)text.size()) + U32(0) + std::string(5, '\0') + text;
}

void Blob(MvbWriter& w, const char* sql, const std::vector<std::string>& blobs) {
    sqlite3_stmt* s = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(w.Handle(), sql, -1, &s, nullptr)) << sql;
    for (size_t i = 0; i < blobs.size(); ++i)
        sqlite3_bind_blob(s, (int)i + 1, blobs[i].data(), (int)blobs[i].size(), SQLITE_TRANSIENT);
    EXPECT_EQ(SQLITE_DONE, sqlite3_step(s));
    sqlite3_finalize(s);
}

std::string Picture100() {
    std::string p;
    for (int i = 0; i < 100; ++i) p += (char)(i * 7);
    return p;
}

void WriteOld(const std::string& path) {
    MvbWriter w(path);
    w.Exec("CREATE TABLE MavroMediaTypeDef(\"table\" TEXT(64), field TEXT(64), media_type LONG)");
    w.Exec(
        "INSERT INTO MavroMediaTypeDef VALUES ('Pics', 'Pic', 1), ('Pics', 'Lnk', 1),"
        " ('Pics', 'Txt', 5), ('Pics', 'Snd', 2), ('Pics', 'Odd', 9)");
    w.Exec(
        "CREATE TABLE Pics(ID LONG PRIMARY KEY, Name TEXT(10), Pic LONGBINARY, Lnk LONGBINARY,"
        " Txt LONGBINARY, Snd LONGBINARY, Odd LONGBINARY)");
    std::string longName(40, 'n');
    Blob(w, "INSERT INTO Pics VALUES (1, 'one', ?1, ?2, ?3, ?4, ?5)",
         {OldPicture("p1", Picture100(), false, 100), OldPicture("p1", "", true, 0),
          OldText("hello"), OldPicture("beep.wav", "", true, 0), "\x01\x02\x03"});
    // The picture claims more bytes than it holds; the linked name is too long.
    Blob(w, "INSERT INTO Pics VALUES (2, 'two', ?1, ?2, NULL, NULL, NULL)",
         {OldPicture("p2", "short", false, 1000), OldPicture(longName, "", true, 0)});
    w.Exec("CREATE UNIQUE INDEX \"Pics!ByName\" ON Pics(Name)");
    w.Exec(
        "CREATE TABLE MavroSysIndexes(TableName TEXT NOT NULL, Name TEXT NOT NULL, SqlName TEXT"
        " NOT NULL, IsPrimary BIT, IsUnique BIT, Required BIT, IsForeign BIT,"
        " PRIMARY KEY(TableName, Name))");
    w.Exec("INSERT INTO MavroSysIndexes VALUES ('Pics', 'ByName', 'Pics!ByName', 0, 1, 0, 0)");
    // A long-binary field without a row of the old table.
    w.Exec("CREATE TABLE Bad(ID LONG, Blob LONGBINARY)");
    w.Query("Q", "SELECT * FROM Pics WHERE ID > 0");
    w.Link("Ext", "dBASE III;DATABASE=C:\\data", "src#dbf");
    w.Link("Other", ";DATABASE=C:\\data\\other.mvb", "T");
}

std::string BytesOf(CdbRecordset* rs, const char* field) {
    VARIANT v;
    VariantInit(&v);
    rs->GetValue(field, &v);
    std::string out;
    if (V_VT(&v) == (VT_ARRAY | VT_UI1)) {
        void* data = nullptr;
        SafeArrayAccessData(V_ARRAY(&v), &data);
        out.assign((const char*)data, V_ARRAY(&v)->rgsabound[0].cElements);
        SafeArrayUnaccessData(V_ARRAY(&v));
    } else if (V_VT(&v) == VT_NULL) {
        out = "<null>";
    }
    VariantClear(&v);
    return out;
}

long PropertyOf(CdbDatabase* db, const char* object, const char* field, const char* name) {
    VARIANT v;
    VariantInit(&v);
    try {
        db->GetProperty(object, field, name, &v);
    } catch (const CdbException& e) {
        return -e.Number();
    }
    VariantChangeType(&v, &v, 0, VT_I4);
    return V_I4(&v);
}

}  // namespace

TEST(DBConversion, OldMediaTakeTheNewLayouts) {
    TempFolder dir;
    std::string oldPath = dir.File("old.mvb"), newPath = dir.File("new.mvb");
    WriteOld(oldPath);
    RtfHost host;
    LogCapture log;
    CComPtr<IDBCore> db = NewDatabase();
    PFNMESSAGEBOXHANDLER old =
        SetMessageBoxHandler([](HWND, const char*, const char*, UINT) { return IDOK; });
    ASSERT_EQ(S_OK, db->CreateMediaTypeDef(oldPath.c_str(), newPath.c_str(), &host));
    SetMessageBoxHandler(old);
    EXPECT_EQ(1, host.converted);
    EXPECT_EQ(1, host.freed);

    std::unique_ptr<CdbDatabase> conv = CdbDatabase::Open(newPath, false, true, "");
    std::vector<std::string> tables;
    for (const CdbTableDefInfo& t : conv->TableDefs())
        if (!(t.attributes & dbSystemObject))
            tables.push_back(t.name);
    // Bad is left out; the dBASE link stays under its source table's name.
    EXPECT_EQ((std::vector<std::string>{"Pics", "Ext"}), tables);
    std::string connect, source;
    conv->GetLink("Ext", &connect, &source);
    EXPECT_EQ("src#dbf", source);

    std::unique_ptr<CdbRecordset> rs = conv->OpenTable("Pics");
    ASSERT_FALSE(rs->GetEOF());
    // Embedded: length, "p1" and its NUL in the 260-byte area, the bytes at 264.
    std::string pic = BytesOf(rs.get(), "Pic");
    ASSERT_EQ(364u, pic.size());
    EXPECT_EQ(U32(100), pic.substr(0, 4));
    EXPECT_EQ(std::string("p1") + std::string(258, '\0'), pic.substr(4, 260));
    EXPECT_EQ(Picture100(), pic.substr(264));
    // Linked: the 32-byte name block.
    EXPECT_EQ(std::string("p1") + std::string(30, '\0'), BytesOf(rs.get(), "Lnk"));
    EXPECT_EQ(std::string("beep.wav") + std::string(24, '\0'), BytesOf(rs.get(), "Snd"));
    // Text: the host's RTF at 264 behind ".RTF".
    std::string rtf = "{\\rtf1 hello}";
    std::string txt = BytesOf(rs.get(), "Txt");
    ASSERT_EQ(264u + rtf.size(), txt.size());
    EXPECT_EQ(U32((uint32_t)rtf.size()), txt.substr(0, 4));
    EXPECT_EQ(std::string(".RTF\0", 5), txt.substr(4, 5));
    EXPECT_EQ(rtf, txt.substr(264));
    // An unknown old code: the bytes as they were.
    EXPECT_EQ("\x01\x02\x03", BytesOf(rs.get(), "Odd"));
    rs->MoveNext();
    // Layouts running past the value, and a name too long for the block.
    EXPECT_EQ("<null>", BytesOf(rs.get(), "Pic"));
    EXPECT_EQ("<null>", BytesOf(rs.get(), "Lnk"));
    EXPECT_LOGGED(log, "Old media of Pics.Pic not converted: picture runs past the value");
    EXPECT_LOGGED(log, "Old media of Pics.Lnk not converted: name too long");

    struct Prop {
        const char* field;
        const char* name;
        long value;  // negative: that error
    } props[] = {
        {"Pic", "MediaType", 1024},  {"Txt", "MediaType", 1029}, {"Snd", "MediaType", 1027},
        {"Odd", "MediaType", -3270}, {"Odd", "BLINK", -3270},
    };
    for (const Prop& p : props)
        EXPECT_EQ(p.value, PropertyOf(conv.get(), "Pics", p.field, p.name)) << p.field << p.name;
    // Link flags: a picture field with embedded content is not linked.
    EXPECT_EQ(0, PropertyOf(conv.get(), "Pics", "Pic", "BLINK"));
    EXPECT_NE(0, PropertyOf(conv.get(), "Pics", "Lnk", "BLINK"));
    EXPECT_EQ(1, PropertyOf(conv.get(), "Q", "", "QueryType"));
    EXPECT_EQ(3, PropertyOf(conv.get(), "Q", "", "OLD_QRY"));
    std::vector<CdbIndexInfo> indexes = conv->Indexes("Pics");
    ASSERT_FALSE(indexes.empty());
    bool unique = false;
    for (const CdbIndexInfo& i : indexes) unique = unique || (i.name == "ByName" && i.unique);
    EXPECT_TRUE(unique);
}

TEST(DBConversion, RefusedFilesMakeNoNewFile) {
    TempFolder dir;
    std::string plain = dir.File("plain.mvb");
    {
        MvbWriter w(plain);
        w.Exec("CREATE TABLE T(ID LONG)");
    }
    std::string oldPath = dir.File("old.mvb");
    WriteOld(oldPath);
    std::string existing = dir.File("existing.mvb");
    { MvbWriter w(existing); }
    std::string before = ReadFileBytes(existing);
    RtfHost host;
    CComPtr<IDBCore> db = NewDatabase();
    PFNMESSAGEBOXHANDLER old =
        SetMessageBoxHandler([](HWND, const char*, const char*, UINT) { return IDOK; });
    struct Case {
        std::string from, to;
        bool made;  // whether the target exists afterwards
    } cases[] = {
        {plain, dir.File("a.mvb"), false},  // no old media-type table
        {dir.File("missing.mvb"), dir.File("b.mvb"), false},
        {oldPath, existing, true},  // the new file may not exist yet
    };
    for (const Case& c : cases) {
        EXPECT_EQ(E_FAIL, db->CreateMediaTypeDef(c.from.c_str(), c.to.c_str(), &host)) << c.from;
        EXPECT_EQ(c.made, GetFileAttributesA(c.to.c_str()) != INVALID_FILE_ATTRIBUTES) << c.to;
    }
    SetMessageBoxHandler(old);
    EXPECT_EQ(before, ReadFileBytes(existing));
}

namespace {

// A media manager that records slots 15, 29 and 9 and stores media under
// the names it is given, in turn.
class StoringMedia : public FakeMedia {
public:
    STDMETHOD(MediaTypeFromFileName)(const char* name, int* type, int* subtype) override {
        calls.push_back(std::string("type ") + name);
        *type = 1;
        *subtype = 7;
        return S_OK;
    }
    STDMETHOD(StoreMediaData)
    (int kind, int subtype, const void* data, int length, int flags, char* name,
     int size) override {
        calls.push_back("store " + std::to_string(kind) + " " + std::to_string(subtype) + " " +
                        std::string((const char*)data, (size_t)length) + " " +
                        std::to_string(flags) + " " + std::to_string(size));
        std::string given = names.empty() ? std::string() : names.front();
        if (!names.empty())
            names.erase(names.begin());
        memset(name, 0, (size_t)size);
        memcpy(name, given.data(), std::min(given.size(), (size_t)size));
        return S_OK;
    }
    STDMETHOD(MediaNameStored)(const char* name) override {
        calls.push_back(std::string("stored ") + name);
        return S_OK;
    }
    std::vector<std::string> calls;
    std::vector<std::string> names;
};

class StoringHost : public RtfHost {
public:
    STDMETHOD(GetMediaManager)(IMediaManager** out) override {
        *out = &manager;
        return S_OK;
    }
    StoringMedia manager;
};

}  // namespace

TEST(DBConversion, LinkedPictureFieldsHandEmbeddedBytesToTheMediaManager) {
    TempFolder dir;
    std::string oldPath = dir.File("old.mvb"), newPath = dir.File("new.mvb");
    {
        MvbWriter w(oldPath);
        w.Exec(
            "CREATE TABLE MavroMediaTypeDef(\"table\" TEXT(64), field TEXT(64), media_type LONG)");
        w.Exec("INSERT INTO MavroMediaTypeDef VALUES ('Mix', 'Pic', 1)");
        // Small and Tag are of types the conversion does not carry over.
        w.Exec("CREATE TABLE Mix(ID LONG PRIMARY KEY, Pic LONGBINARY, Small BYTE, Tag BINARY(4))");
        // The first picture is a link, so the field is linked; the later
        // embedded ones go to the media manager.
        Blob(w, "INSERT INTO Mix VALUES (1, ?1, 12, ?2)",
             {OldPicture("a.png", "", true, 0), std::string("\x01\x02", 2)});
        Blob(w, "INSERT INTO Mix VALUES (2, ?1, NULL, NULL)",
             {OldPicture("p3.png", "xyz", false, 3)});
        Blob(w, "INSERT INTO Mix VALUES (3, ?1, NULL, NULL)",
             {OldPicture("p4.png", "uv", false, 2)});
    }
    StoringHost host;
    // The manager's name for the second one fills the whole block: no NUL.
    host.manager.names = {"p3_1.png", std::string(32, 'w')};
    LogCapture log;
    CComPtr<IDBCore> db = NewDatabase();
    PFNMESSAGEBOXHANDLER old =
        SetMessageBoxHandler([](HWND, const char*, const char*, UINT) { return IDOK; });
    ASSERT_EQ(S_OK, db->CreateMediaTypeDef(oldPath.c_str(), newPath.c_str(), &host));
    SetMessageBoxHandler(old);
    // Slot 15 for the old name, slot 29 with the bytes, slot 9 once the
    // record is stored; nothing is reported for a name refused.
    EXPECT_EQ((std::vector<std::string>{"type p3.png", "store 2 7 xyz 0 32", "stored p3_1.png",
                                        "type p4.png", "store 2 7 uv 0 32"}),
              host.manager.calls);
    EXPECT_LOGGED(log, "Old media of Mix.Pic not converted: stored name does not fit");

    std::unique_ptr<CdbDatabase> conv = CdbDatabase::Open(newPath, false, true, "");
    EXPECT_NE(0, PropertyOf(conv.get(), "Mix", "Pic", "BLINK"));
    std::unique_ptr<CdbRecordset> rs = conv->OpenTable("Mix");
    ASSERT_FALSE(rs->GetEOF());
    EXPECT_EQ(std::string("a.png") + std::string(27, '\0'), BytesOf(rs.get(), "Pic"));
    // Types not carried over take the default type of a new field, text;
    // values that do not convert to it stay Null, logged.
    std::vector<CdbFieldInfo> fields = conv->TableFields("Mix");
    ASSERT_EQ(4u, fields.size());
    EXPECT_EQ(dbText, fields[2].type);
    EXPECT_EQ(255, fields[2].size);
    EXPECT_EQ(dbText, fields[3].type);
    VARIANT v;
    VariantInit(&v);
    rs->GetValue("Small", &v);
    ASSERT_EQ(VT_BSTR, V_VT(&v));
    EXPECT_STREQ("12", (const char*)V_BSTR(&v));
    VariantClear(&v);
    rs->GetValue("Tag", &v);
    EXPECT_EQ(VT_NULL, V_VT(&v));
    EXPECT_LOGGED(log, "Old value of Mix.Tag not converted: 3421");
    rs->MoveNext();
    EXPECT_EQ(std::string("p3_1.png") + std::string(24, '\0'), BytesOf(rs.get(), "Pic"));
    rs->MoveNext();
    EXPECT_EQ("<null>", BytesOf(rs.get(), "Pic"));
}
