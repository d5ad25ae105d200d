// Media types, external files, the media index and ini, and the media
// manager's paths, bytes and temporary files.
#include <gtest/gtest.h>

#include <ctype.h>

#include <random>
#include <set>
#include <string>

#include "PrjTestDoc.h"
#include "ProjectWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aExtFile.h"
#include "aMediaIdx.h"
#include "aMediaMgr.h"
#include "aMemStm.h"

namespace {

const char kErrorCaption[] = "\xb4\xed\xce\xf3";  // GBK text of string 12100

// A pre-loaded work in a temporary folder; the package stays open.
class LoadedWork {
public:
    explicit LoadedWork(const WorkSpec& w, HRESULT expected = S_OK, const std::string& ini = "")
        : m_path(m_tmp.File("work.mrt")), m_doc(m_path) {
        EXPECT_EQ(S_OK, WriteWork(m_path, w));
        if (!ini.empty())
            WriteFileBytes(m_tmp.File("work.ini"), ini);
        CPackage* p = nullptr;
        m_result = OpenAndPreLoad(m_path, &m_doc, &p);
        EXPECT_EQ(expected, m_result);
        m_package.Attach(p);
    }
    CMediaManager* Media() { return m_doc.Project().GetMediaManager(); }
    const std::string& Dir() const { return m_tmp.Path(); }
    std::string File(const char* name) const { return m_tmp.File(name); }
    HRESULT Result() const { return m_result; }

private:
    TempFolder m_tmp;
    std::string m_path;
    TestDoc m_doc;
    CComPtr<IPackage> m_package;
    HRESULT m_result = E_FAIL;
};

WorkSpec MediaWork() {
    WorkSpec w;
    w.folders = {{"r0", "whatever"},
                 {"snd", "$r0\\sounds\\"},
                 {"net", "\\\\server\\share\\"},
                 {"bare", "$r0"},
                 {"noslash", "$r0\\plain"}};
    w.items = {FileItem("click", "$snd\\click.wav", 4, 1020),
               FileItem("far", "$net\\x.avi", 16, 1040),
               FileItem("full", "C:\\abs\\f.bmp", 2, 1010),
               EmbeddedItem("logo.png", 2, 1018),
               EmbeddedItem("a.wav", 4, 1020),
               EmbeddedItem("name", 4, 1020),
               EmbeddedItem("empty.wav", 4, 1020),
               EmbeddedItem("gone.wav", 4, 1020)};
    w.exFiles = {{"manual", "manual.pdf"}, {"notes", "notes.txt"}};
    w.mediaData = {{"logo.png", std::string("\x89PNG fake bytes", 15)},
                   {"a.wav", "RIFF-a"},
                   {"name", "plain name"},
                   {"empty.wav", ""}};
    return w;
}

std::string FolderFull(CMediaManager* m, const char* name) {
    CRtMediaFolder* f = m->GetFolders().FindItem(name);
    char path[MAX_PATH] = "?";
    if (!f || !f->GetFullPath(path, sizeof(path)))
        return "<none>";
    return path;
}

}  // namespace

TEST(MediaTypes, ByExtension) {
    struct Case {
        const char* file;
        HRESULT hr;
        int type, subtype;
    };
    const Case cases[] = {
        {"a.TIFF", S_OK, 2, 1013}, {"a.tif", S_OK, 2, 1013},  {"a.tiffany", S_OK, 2, 1013},
        {"x.midi", S_OK, 4, 1024}, {"x.mid", S_OK, 4, 1024},  {"movie.mpeg", S_OK, 16, 1046},
        {"a.gif", S_OK, 2, 1015},  // the picture list comes first
        {"a.swf", S_OK, 8, 1034},  {"a.ico", S_OK, -1, -1},   {"a.aif", S_OK, -1, -1},
        {"a.pngx", S_OK, -1, -1},  // a list's last entry must match whole
        {"a.mp2", S_OK, 4, 1026},  {"a.mp2x", S_OK, -1, -1},  {"A.JPEG", S_OK, 2, 1016},
        {"a.rtf", S_OK, 1, 1000},  {"a.dat", S_OK, 16, 1047}, {"a.xls", S_OK, 128, 1073},
        {"a.cur", S_OK, 64, 1060}, {"a.fli", S_OK, 8, 1031},  {"dir.x/b.wav", S_OK, 4, 1020},
        {"a.", S_OK, -1, -1},      {"noext", E_FAIL, -1, -1}, {"C:\\a.b\\file", E_FAIL, -1, -1},
    };
    for (const Case& c : cases) {
        int type = 7, subtype = 7;
        EXPECT_EQ(c.hr, CMTools::GetMediaType(c.file, 0, &type, &subtype)) << c.file;
        EXPECT_EQ(c.type, type) << c.file;
        EXPECT_EQ(c.subtype, subtype) << c.file;
    }
    int t, s;
    EXPECT_EQ(E_INVALIDARG, CMTools::GetMediaType(nullptr, 0, &t, &s));
    EXPECT_EQ(1044, CMTools::GetSubType(16, "rmvb"));
    EXPECT_EQ(-1, CMTools::GetSubType(2, "r"));
}

TEST(MediaTypes, DefaultExtensions) {
    struct Case {
        int type, subtype;
        const char* ext;  // null: none
    };
    const Case cases[] = {{16, 1046, ".mpg"},
                          {16, 1041, ".mpeg"},
                          {16, -1, ".avi"},
                          {2, -1, ".bmp"},
                          {2, 1032, ".gif"},
                          {8, 1015, ".gif"},
                          {8, -1, ".flc"},
                          {1, 1000, ".rtf"},
                          {1, 5, ".txt"},
                          {4, 1024, ".mid"},
                          {32, 1051, ".emf"},
                          {64, 0, ".cur"},
                          {128, 1070, nullptr},
                          {-1, -1, nullptr},
                          {3, 0, nullptr},
                          // Subtypes named by another row, or by their type's default.
                          {1, 1002, ".txt"},
                          {2, 1011, ".bmp"},
                          {2, 1013, ".tif"},
                          {2, 1016, ".jpg"},
                          {4, 1020, ".wav"},
                          {4, 1026, ".mp2"},
                          {8, 1032, ".gif"},
                          {8, 1034, ".swf"},
                          {16, 1044, ".rm"},
                          {32, 1050, ".wmf"},
                          {32, 1052, ".dxf"},
                          {64, 1099, ".cur"}};
    for (const Case& c : cases) {
        char buffer[16] = "junk";
        EXPECT_EQ(c.ext != nullptr,
                  !!CMTools::GetDefExtName(c.type, c.subtype, buffer, sizeof(buffer)))
            << c.type << "/" << c.subtype;
        if (c.ext) {
            EXPECT_STREQ(c.ext, buffer);
        }
    }
    char small[3];
    EXPECT_TRUE(CMTools::GetDefExtName(16, 1046, small, sizeof(small)));
    EXPECT_STREQ(".m", small);
}

TEST(ExFiles, UniqueNames) {
    CExFileTable t;
    CExFileItem* item = nullptr;
    EXPECT_EQ(nullptr, t.FindByPath("C:\\m\\x.wav"));  // empty table
    EXPECT_EQ(0, t.AddByPath("C:\\m\\x.wav", &item));
    EXPECT_EQ(0, t.AddByPath("C:\\m\\[x].wav", &item));
    EXPECT_EQ("x_1.wav", item->m_name);
    EXPECT_EQ("C:\\m", item->m_folder);
    EXPECT_EQ("[x].wav", item->m_fileName);
    CExFileItem* same = nullptr;
    EXPECT_EQ(1, t.AddByPath("c:\\M\\[X].WAV", &same));  // full paths compare ignoring case
    EXPECT_EQ(item, same);

    ASSERT_EQ(0, t.AddByPath("D:\\a.txt", nullptr));
    ASSERT_EQ(0, t.AddByPath("E:\\a_1.txt", nullptr));
    std::string name;
    t.MakeUniqueName("F:\\a.txt", &name);
    EXPECT_EQ("a_1_2.txt", name);  // each try works on the name the last one left
    t.MakeUniqueName("F:\\x\\readme", &name);
    EXPECT_EQ("readme", name);
    ASSERT_EQ(0, t.AddByPath("F:\\x\\readme", nullptr));
    t.MakeUniqueName("G:\\readme", &name);
    EXPECT_EQ("readme_1", name);
    EXPECT_EQ(-1, t.AddByPath("", nullptr));
    if (GetACP() == 936) {
        // 0x81 0x5D is one GBK character whose second byte is "]".
        t.MakeUniqueName("C:\\\x81\x5D[1].txt", &name);
        EXPECT_EQ(
            "\x81\x5D"
            "1.txt",
            name);
    }
}

TEST(ExFiles, RedirectAndFolder) {
    CExFileTable t;
    ASSERT_EQ(0, t.AddByPath("C:\\w\\doc.txt", nullptr));
    EXPECT_EQ(S_OK, t.AddOrRedirect("DOC.TXT", "D:\\other\\new.txt"));
    CExFileItem* doc = t.Find("doc.txt");
    ASSERT_NE(nullptr, doc);
    EXPECT_EQ("D:\\other\\new.txt", doc->GetFullPath());
    // An unknown key adds the file under the name made from the file name.
    EXPECT_EQ(S_OK, t.AddOrRedirect("key", "D:\\other\\[y].txt"));
    EXPECT_EQ(nullptr, t.Find("key"));
    EXPECT_NE(nullptr, t.Find("y.txt"));
    // A file already listed under another name gives AddByPath's 1.
    EXPECT_EQ(S_FALSE, t.AddOrRedirect("key2", "D:\\OTHER\\[y].txt"));
    EXPECT_EQ(nullptr, t.Find("key2"));
    EXPECT_EQ(2, t.GetCount());
    EXPECT_EQ(E_INVALIDARG, t.AddOrRedirect("", "D:\\a"));
    EXPECT_EQ(E_INVALIDARG, t.AddOrRedirect("k", ""));
    EXPECT_EQ(E_INVALIDARG, t.SetFolder(""));
    EXPECT_EQ(S_OK, t.SetFolder("E:\\ext\\"));
    EXPECT_EQ("E:\\ext\\new.txt", doc->GetFullPath());
}

TEST(ExFiles, LoadFaults) {
    // "mm_exfile": media header (size, count at 12, mode at 20), then the
    // body of stream-string pairs in that mode.
    std::string two = ExFileRecordBytes({"a", "a.txt"}) + ExFileRecordBytes({"b", "b.txt"});
    std::string dup = ExFileRecordBytes({"a", "a.txt"}) + ExFileRecordBytes({"A", "other.txt"});
    struct Case {
        const char* what;
        std::string bytes;
        HRESULT hr;
        int count;
    };
    const Case cases[] = {
        {"good", MakeMediaHeader(2, 2) + MakeBody(two, 2), S_OK, 2},
        {"plain", MakeMediaHeader(2, 0) + two, S_OK, 2},
        {"last record short", MakeMediaHeader(2, 0) + two.substr(0, two.size() - 3), S_FALSE, 1},
        // The records there are load; the first short one is dropped.
        {"count above the body", MakeMediaHeader(1000, 0) + two, S_FALSE, 2},
        {"short header", std::string(31, '\0'), (HRESULT)0x8004500C, 0},
        {"name length past the end",
         MakeMediaHeader(1, 0) + std::string("\xff\xff\x00\x00xx", 6) + "123", S_FALSE, 0},
        {"same name twice", MakeMediaHeader(2, 0) + dup, S_OK, 1},
        {"no records", MakeMediaHeader(0, 2), S_OK, 0},
    };
    for (const Case& c : cases) {
        CExFileTable t;
        CComPtr<ITeskStream> s = MemStreamOf(c.bytes);
        EXPECT_EQ(c.hr, t.Load(s)) << c.what;
        EXPECT_EQ(c.count, t.GetCount()) << c.what;
    }
    // Folder of loaded items: the default external folder, made full.
    SetDefaultExFileFolder("Q:\\ex\\files");
    CExFileTable t;
    CComPtr<ITeskStream> s = MemStreamOf(MakeMediaHeader(1, 0) + ExFileRecordBytes({"a", "a.txt"}));
    EXPECT_EQ(S_OK, t.Load(s));
    EXPECT_EQ("Q:\\ex\\files\\a.txt", t.Find("a")->GetFullPath());
    SetDefaultExFileFolder(".\\Media\\ExFile");
}

TEST(MediaIndex, FoldersResolveFromTheRuntimeFolder) {
    LoadedWork work(MediaWork());
    CMediaManager* m = work.Media();
    std::string dir = work.Dir();
    EXPECT_EQ(dir + "\\", FolderFull(m, "r0"));
    EXPECT_STREQ("sounds", m->GetFolders().FindItem("snd")->Path());
    EXPECT_STREQ("r0", m->GetFolders().FindItem("snd")->Parent());
    EXPECT_EQ(dir + "\\sounds\\", FolderFull(m, "snd"));
    EXPECT_STREQ("\\\\server\\share", m->GetFolders().FindItem("net")->Path());
    // "$r0" alone: no path after the parent, nothing is cut.
    EXPECT_STREQ("", m->GetFolders().FindItem("bare")->Path());
    EXPECT_EQ(dir + "\\", FolderFull(m, "bare"));
    // No trailing backslash: the last letter stays.
    EXPECT_STREQ("plain", m->GetFolders().FindItem("noslash")->Path());

    char path[MAX_PATH];
    BoxRecorder boxes;
    EXPECT_EQ(E_FAIL, m->GetMediaFilePath("click", 0, path, sizeof(path)));
    EXPECT_EQ(dir + "\\sounds\\click.wav", path);
    EXPECT_EQ(E_FAIL, m->GetMediaFilePath("full", 0, path, sizeof(path)));
    EXPECT_STREQ("C:\\abs\\f.bmp", path);
    EXPECT_EQ(S_FALSE, m->GetMediaFilePath("logo.png", 0, path, sizeof(path)));
    EXPECT_STREQ("", path);
}

TEST(MediaIndex, StreamFaults) {
    struct Case {
        const char* what;
        const char* stream;
        std::string bytes;
        HRESULT hr;
        int folders, items;
    };
    std::vector<FolderRecord> folders = {{"r0", ""}, {"m", "$r0\\m\\"}};
    std::string folderBody = FolderRecordBytes(folders[0]) + FolderRecordBytes(folders[1]);
    std::vector<ItemRecord> items = {FileItem("a", "$m\\a.wav"), FileItem("b", "$m\\b.wav"),
                                     EmbeddedItem("c")};
    std::string itemBody =
        ItemRecordBytes(items[0]) + ItemRecordBytes(items[1]) + ItemRecordBytes(items[2]);
    auto u32 = [](uint32_t v) { return std::string((const char*)&v, 4); };
    const Case cases[] = {
        {"good", "MPathIndex", MakeMPathIndex(folders), S_OK, 2, 3},
        // Header count 3, first body value 1: the header decides.
        {"header count wins", "MediaIndex", MakeMediaHeader(3, 0) + u32(1) + itemBody, S_OK, 2, 3},
        {"invalid folder location", "MPathIndex",
         MakeMPathIndex({{"r0", ""}, {"bad", "C:\\media\\"}, {"m", "$r0\\m\\"}}), E_FAIL, 2, 3},
        {"wrong header size", "MPathIndex", MakeMediaHeader(2, 0, 36) + u32(2) + folderBody, E_FAIL,
         0, 3},
        {"folder count above the body", "MPathIndex",
         MakeMediaHeader(9999, 0) + u32(0) + folderBody, E_FAIL, 0, 3},
        {"item count above the body", "MediaIndex", MakeMediaHeader(500, 0) + u32(0) + itemBody,
         E_FAIL, 2, 0},
        {"item cut", "MediaIndex",
         MakeMediaHeader(3, 0) + u32(3) + itemBody.substr(0, itemBody.size() - 2), E_FAIL, 2, 2},
        {"folder cut", "MPathIndex",
         MakeMediaHeader(2, 0) + u32(2) + folderBody.substr(0, folderBody.size() - 1), E_FAIL, 1,
         3},
        {"index header short", "MediaIndex", std::string(10, '\0'), E_FAIL, 2, 0},
        {"damaged zlib", "MediaIndex", MakeMediaHeader(3, 2) + std::string(40, 'z'), E_FAIL, 2, 0},
    };
    for (const Case& c : cases) {
        WorkSpec w;
        w.folders = folders;
        w.items = items;
        w.overrides[c.stream] = c.bytes;
        LoadedWork work(w, c.hr);
        EXPECT_EQ(c.folders, work.Media()->GetFolders().GetCount()) << c.what;
        EXPECT_EQ(c.items, work.Media()->GetItems().GetCount()) << c.what;
        // A failed index leaves "MediaData" closed.
        EXPECT_EQ(SUCCEEDED(c.hr), work.Media()->HasMediaData()) << c.what;
    }
}

TEST(MediaIndex, RecordReaders) {
    // Folder record: stream string name, stream string location.
    struct FolderCase {
        const char* what;
        std::string bytes;
        int result;  // 1 loaded, 0 invalid, -1 short read
        const char* path;
    };
    const FolderCase folderCases[] = {
        {"parent", FolderRecordBytes({"m", "$r0\\media\\"}), 1, "media"},
        {"root name wins", FolderRecordBytes({"R0x", "C:\\junk\\"}), 1, "C:\\run\\"},
        {"full path invalid", FolderRecordBytes({"m", "C:\\media\\"}), 0, ""},
        {"empty location invalid", FolderRecordBytes({"m", ""}), 0, ""},
        {"long parent cut", FolderRecordBytes({"m", "$" + std::string(40, 'p') + "\\d\\"}), 1, "d"},
        {"name only", StreamString("m"), -1, ""},
        {"cut location", FolderRecordBytes({"m", "$r0\\media\\"}).substr(0, 12), -1, ""},
        {"huge count", std::string("\x00\x00\x01\x00", 4), -1, ""},
    };
    for (const FolderCase& c : folderCases) {
        CRtMediaFolder f;
        CComPtr<ITeskStream> s = MemStreamOf(c.bytes);
        int result;
        try {
            result = f.Load(s, "C:\\run\\work.mrt") ? 1 : 0;
        } catch (const CTeskExcept&) {
            result = -1;
        }
        EXPECT_EQ(c.result, result) << c.what;
        if (result == 1) {
            EXPECT_STREQ(c.path, f.Path()) << c.what;
        }
        EXPECT_LT(strlen(f.Parent()), (size_t)CRtMediaFolder::kNameSize) << c.what;
    }

    // Item record: name, u32, type, subtype, flags, then a u32 (kind 2) or
    // a location.
    ItemRecord big =
        FileItem(std::string(50, 'n'), "$" + std::string(40, 'f') + "\\" + std::string(300, 'x'));
    ItemRecord plain = FileItem("p", "C:\\abs\\p.wav");
    struct ItemCase {
        const char* what;
        std::string bytes;
        bool ok;
    };
    const ItemCase itemCases[] = {
        {"long fields cut", ItemRecordBytes(big), true},
        {"full path location", ItemRecordBytes(plain), true},
        {"embedded", ItemRecordBytes(EmbeddedItem("e")), true},
        {"embedded value missing", ItemRecordBytes(EmbeddedItem("e")).substr(0, 22), false},
        {"flags missing", ItemRecordBytes(plain).substr(0, 14), false},
        {"location cut", ItemRecordBytes(plain).substr(0, 30), false},
    };
    for (const ItemCase& c : itemCases) {
        CRtMediaItem item;
        CComPtr<ITeskStream> s = MemStreamOf(c.bytes);
        EXPECT_EQ(c.ok, item.Load(s)) << c.what;
        EXPECT_LT(strlen(item.Name()), (size_t)CRtMediaItem::kNameSize);
        EXPECT_LT(strlen(item.FileName()), (size_t)CRtMediaItem::kFileSize);
    }
    CRtMediaItem item;
    CComPtr<ITeskStream> s = MemStreamOf(ItemRecordBytes(big));
    ASSERT_TRUE(item.Load(s));
    EXPECT_EQ(std::string(31, 'n'), item.Name());
    EXPECT_EQ(std::string(31, 'f'), item.Folder());
    EXPECT_EQ(std::string(259, 'x'), item.FileName());
    CRtMediaItem p;
    CComPtr<ITeskStream> s2 = MemStreamOf(ItemRecordBytes(plain));
    ASSERT_TRUE(p.Load(s2));
    EXPECT_STREQ("", p.Folder());
    EXPECT_STREQ("C:\\abs\\p.wav", p.FileName());
}

TEST(MediaIndex, OldFormatBelowVersion8) {
    WorkSpec w = MediaWork();
    w.prjInfo.minor = 7;
    w.exFiles.clear();
    LoadedWork work(w);
    CMediaManager* m = work.Media();
    EXPECT_EQ(5, m->GetFolders().GetCount());
    EXPECT_EQ(8, m->GetItems().GetCount());
    DWORD size = 0;
    ASSERT_EQ(S_OK, m->ReadMediaData("a.wav", 0, 0, nullptr, &size));
    std::string bytes(size, '\0');
    ASSERT_EQ(S_OK, m->ReadMediaData("a.wav", 0, 0, &bytes[0], &size));
    EXPECT_EQ("RIFF-a", bytes);

    // An invalid folder there stops the items from being read.
    WorkSpec bad = w;
    bad.folders.push_back({"x", "C:\\x\\"});
    LoadedWork failed(bad, E_FAIL);
    EXPECT_EQ(0, failed.Media()->GetItems().GetCount());

    // Counts above what the stream holds are refused.
    auto u32 = [](uint32_t v) { return std::string((const char*)&v, 4); };
    const std::string oldFaults[] = {
        u32(0x40000000) + FolderRecordBytes({"r0", ""}),
        u32(0) + u32(0x10000000) + ItemRecordBytes(EmbeddedItem("e")),
        u32(1),
        std::string(2, '\0'),
    };
    for (const std::string& bytes : oldFaults) {
        WorkSpec f = w;
        f.overrides["MediaIndex"] = bytes;
        LoadedWork refused(f, E_FAIL);
        EXPECT_FALSE(refused.Media()->HasMediaData());
    }
}

TEST(MediaIni, AddsAndRedirects) {
    std::string ini =
        "[MediaPath]\r\n"
        "extra=$r0\\ini\\\r\n"
        "abs=C:\\media\\\r\n"
        "loopA=$loopB\\a\\\r\n"
        "loopB=$loopA\\b\\\r\n"
        "self=$self\\s\\\r\n"
        "noslash=$r0\\plain\r\n"
        "empty=\r\n"
        "dollar=$\r\n"
        "[MediaIndex]\r\n"
        "click=$extra\\new.wav\r\n"
        "fresh=C:\\x\\song.mid\r\n"
        "[ExternalFile]\r\n"
        "path=C:\\ext\r\n"
        "[ExFileIndex]\r\n"
        "manual=D:\\docs\\man.pdf\r\n"
        "other=D:\\docs\\[o].txt\r\n";
    LoadedWork work(MediaWork(), S_OK, ini);
    CMediaManager* m = work.Media();
    std::string dir = work.Dir();
    EXPECT_STREQ("C:\\media", m->GetFolders().FindItem("abs")->Path());
    EXPECT_EQ("C:\\media\\", FolderFull(m, "abs"));
    EXPECT_EQ(dir + "\\ini\\", FolderFull(m, "extra"));
    // Parent chains that loop end, with no path.
    EXPECT_EQ("<none>", FolderFull(m, "loopA"));
    EXPECT_EQ("<none>", FolderFull(m, "self"));
    EXPECT_STREQ("plain", m->GetFolders().FindItem("noslash")->Path());
    EXPECT_STREQ("", m->GetFolders().FindItem("empty")->Path());
    EXPECT_STREQ("", m->GetFolders().FindItem("dollar")->Path());

    CRtMediaItem* click = m->GetRtMediaItemByName("click");
    EXPECT_STREQ("extra", click->Folder());
    EXPECT_STREQ("new.wav", click->FileName());
    EXPECT_EQ(4, click->m_mediaType);  // kept from the package
    EXPECT_EQ(1020, click->m_mediaSubType);
    CRtMediaItem* fresh = m->GetRtMediaItemByName("FRESH");
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(MEDIAKIND_FILE, fresh->GetKind());
    EXPECT_EQ(4, fresh->m_mediaType);
    EXPECT_EQ(1024, fresh->m_mediaSubType);
    char path[MAX_PATH];
    BoxRecorder boxes;
    m->GetMediaFilePath("fresh", 0, path, sizeof(path));
    EXPECT_STREQ("C:\\x\\song.mid", path);

    EXPECT_EQ("D:\\docs\\man.pdf", m->GetExFiles().Find("manual")->GetFullPath());
    EXPECT_EQ("C:\\ext\\notes.txt", m->GetExFiles().Find("notes")->GetFullPath());
    EXPECT_EQ(nullptr, m->GetExFiles().Find("other"));
    ASSERT_NE(nullptr, m->GetExFiles().Find("o.txt"));
    EXPECT_EQ("D:\\docs\\[o].txt", m->GetExFiles().Find("o.txt")->GetFullPath());
}

TEST(MediaIni, MissingIniIsOnlyLogged) {
    TempFolder tmp;
    LogCapture log(tmp.File("log.txt"));
    {
        LoadedWork work(MediaWork());
        EXPECT_EQ(5, work.Media()->GetFolders().GetCount());
    }
    std::string text = log.Text();
    ASSERT_TRUE(log.Active()) << "trace log";
    { EXPECT_NE(std::string::npos, text.find("work.ini not exists")); }
}

TEST(MediaManager, MissingFilesAreReportedOnce) {
    LoadedWork work(MediaWork());
    CMediaManager* m = work.Media();
    BoxRecorder boxes;
    char path[MAX_PATH];
    EXPECT_EQ(E_FAIL, m->GetMediaFilePath("click", 0, path, sizeof(path)));
    EXPECT_EQ(E_FAIL, m->GetMediaFilePath("CLICK", 0, path, sizeof(path)));
    ASSERT_EQ(1u, boxes.Boxes().size());
    std::string expected = std::string("\xd5\xd2\xb2\xbb\xb5\xbd\xc3\xbd\xcc\xe5\xa3\xba") +
                           "click\n" + work.Dir() + "\\sounds\\click.wav";
    EXPECT_EQ(expected, boxes.Boxes()[0].text);
    EXPECT_EQ(kErrorCaption, boxes.Boxes()[0].caption);
    EXPECT_EQ((UINT)MB_ICONWARNING, boxes.Boxes()[0].type);

    // Once the file is there the path is good.
    CreateDirectoryA((work.Dir() + "\\sounds").c_str(), nullptr);
    WriteFileBytes(work.Dir() + "\\sounds\\click.wav", "RIFF");
    EXPECT_EQ(S_OK, m->GetMediaFilePath("click", 0, path, sizeof(path)));
    char cut[10];
    EXPECT_EQ(S_OK, m->GetMediaFilePath("click", 0, cut, sizeof(cut)));  // the file is tested whole
    EXPECT_EQ(std::string(path, 9), cut);

    EXPECT_EQ(E_FAIL, m->GetExternalFilePath("manual", path, sizeof(path)));
    EXPECT_EQ(E_FAIL, m->GetExternalFilePath("Manual", path, sizeof(path)));
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(std::string("\xce\xc4\xbc\xfe\xb2\xbb\xb4\xe6\xd4\xda! :\n") + path,
              boxes.Boxes()[1].text);

    EXPECT_EQ(E_FAIL, m->GetMediaFilePath("nobody", 0, path, sizeof(path)));
    EXPECT_EQ(E_FAIL, m->GetExternalFilePath("nobody", path, sizeof(path)));
    EXPECT_EQ(E_INVALIDARG, m->GetMediaFilePath("", 0, path, sizeof(path)));
    EXPECT_EQ(E_INVALIDARG, m->GetMediaFilePath("click", 0, nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, m->GetExternalFilePath("", path, sizeof(path)));
    // A short buffer gets the path cut, never more.
    char small[8];
    memset(small, 'Z', sizeof(small));
    m->GetMediaFilePath("click", 0, small, 5);
    EXPECT_EQ(4u, strlen(small));
    EXPECT_EQ('Z', small[5]);
}

TEST(MediaManager, TypesAndKinds) {
    LoadedWork work(MediaWork());
    CMediaManager* m = work.Media();
    BYTE flag = 9;
    EXPECT_EQ(S_OK, m->IsFileMedia("click", &flag));
    EXPECT_EQ(1, flag);
    EXPECT_EQ(S_OK, m->IsFileMedia("logo.png", &flag));
    EXPECT_EQ(0, flag);
    EXPECT_EQ(E_FAIL, m->IsFileMedia("nobody", &flag));
    EXPECT_EQ(E_INVALIDARG, m->IsFileMedia("", &flag));
    int type, subtype;
    EXPECT_EQ(S_OK, m->GetMediaType("click", &type, &subtype));
    EXPECT_EQ(S_FALSE, m->GetMediaType("other.avi", &type, &subtype));
    EXPECT_EQ(16, type);
    EXPECT_EQ(1040, subtype);
    {
        // An empty name goes through the item lookup, which logs it, then
        // has no extension.
        TempFolder tmp;
        LogCapture log(tmp.File("log.txt"));
        EXPECT_EQ(E_FAIL, m->GetMediaType("", &type, &subtype));
        EXPECT_EQ(-1, type);
        EXPECT_EQ(-1, subtype);
        std::string text = log.Text();
        ASSERT_TRUE(log.Active()) << "trace log";
        EXPECT_NE(std::string::npos, text.find("invalidated parameter.")) << text;
    }
    char ext[16];
    EXPECT_EQ(S_OK, m->GetDefaultExtension("logo.png", ext, sizeof(ext)));
    EXPECT_STREQ(".png", ext);
    EXPECT_EQ(E_FAIL, m->GetDefaultExtension("data.mvb", ext, sizeof(ext)));
    EXPECT_EQ(E_FAIL, m->GetDefaultExtension("noext", ext, sizeof(ext)));
    EXPECT_EQ(E_INVALIDARG, m->GetDefaultExtension(nullptr, ext, sizeof(ext)));
    EXPECT_EQ(S_OK, m->MediaTypeFromFileName("a.wav", &type, &subtype));
    EXPECT_EQ(E_NOTIMPL, m->IsMediaName("click"));
    void* out = &flag;
    EXPECT_EQ(S_OK, m->EditOp13(&out));
    EXPECT_EQ(nullptr, out);
}

TEST(MediaManager, ReadMediaDataStaysInTheCallersBuffer) {
    LoadedWork work(MediaWork());
    CMediaManager* m = work.Media();
    DWORD size = 0;
    ASSERT_EQ(S_OK, m->ReadMediaData("logo.png", 0, 0, nullptr, &size));
    ASSERT_EQ(15u, size);
    char buffer[32];
    memset(buffer, 'Z', sizeof(buffer));
    size = 4;  // the caller's buffer holds 4 bytes
    EXPECT_EQ(E_FAIL, m->ReadMediaData("logo.png", 0, 0, buffer, &size));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(std::string("\x89PNG"), std::string(buffer, 4));
    EXPECT_EQ('Z', buffer[4]);
    size = 0;
    EXPECT_EQ(E_FAIL, m->ReadMediaData("logo.png", 0, 0, buffer, &size));
    EXPECT_EQ('\x89', buffer[0]);
    // A stream holding only its header is empty.
    size = 77;
    EXPECT_EQ(S_OK, m->ReadMediaData("empty.wav", 0, 0, nullptr, &size));
    EXPECT_EQ(0u, size);
    EXPECT_EQ((HRESULT)0x8004500E, m->ReadMediaData("gone.wav", 0, 0, nullptr, &size));
    EXPECT_EQ(E_INVALIDARG, m->ReadMediaData("", 0, 0, nullptr, &size));
    EXPECT_EQ(E_INVALIDARG, m->ReadMediaData("a.wav", 0, 0, nullptr, nullptr));

    // A damaged embedded body fails. The media header is 32 bytes, the zlib
    // body header 16; the change lands inside the zlib stream.
    std::string damaged = MakeMediaStream(std::string(100, 'd'));
    damaged[32 + 16 + 3] ^= 0x40;
    {
        TempFolder tmp;
        std::string path = tmp.File("broken.mrt");
        CPackageWriter pw;
        ASSERT_EQ(S_OK, pw.Create(path));
        ASSERT_EQ(S_OK, pw.AddStream("PrjInfo", MakePrjInfo(PrjInfoSpec())));
        ASSERT_EQ(S_OK, pw.AddStream("bkgindex", MakeCanvasList({})));
        ASSERT_EQ(S_OK, pw.AddStream("frmindex", MakeCanvasList({})));
        ASSERT_EQ(S_OK, pw.AddStream("frgindex", MakePageIndex({})));
        ASSERT_EQ(S_OK, pw.AddStream("MediaIndex", MakeMediaIndex({EmbeddedItem("bad.wav")})));
        ASSERT_EQ(S_OK, pw.AddStream("MPathIndex", MakeMPathIndex({})));
        ASSERT_EQ(S_OK, pw.AddStream("mm_exfile", MakeExFileIndex({})));
        ASSERT_EQ(S_OK, pw.BeginStorage("MediaData"));
        ASSERT_EQ(S_OK, pw.AddStream("bad.wav", damaged));
        ASSERT_EQ(S_OK, pw.EndStorage());
        ASSERT_EQ(S_OK, pw.Finish());
        TestDoc doc(path);
        CPackage* package = nullptr;
        ASSERT_EQ(S_OK, OpenAndPreLoad(path, &doc, &package));
        DWORD n = 0;
        EXPECT_TRUE(
            FAILED(doc.Project().GetMediaManager()->ReadMediaData("bad.wav", 0, 0, nullptr, &n)));
        EXPECT_EQ(0u, n);
        package->Release();
    }

    CMediaManager* bare = new CMediaManager(nullptr);
    bare->AddRef();
    EXPECT_EQ(E_UNEXPECTED, bare->ReadMediaData("a.wav", 0, 0, nullptr, &size));
    EXPECT_EQ(0u, bare->Release());
}

TEST(MediaManager, ExtractToTemporaryFiles) {
    TempFolder temp;
    std::string first, nameOnly;
    {
        LoadedWork work(MediaWork());
        ScopedTempPath scoped(temp.Path());
        CMediaManager* m = work.Media();
        CreateDirectoryA(temp.File("mvrmedia").c_str(), nullptr);
        WriteFileBytes(temp.File("mvrmedia\\a_0.wav"), "left by an earlier run");
        char path[MAX_PATH];
        ASSERT_EQ(S_OK, m->ExtractMediaToTempFile("a.wav", path, sizeof(path)));
        first = path;
        EXPECT_EQ(temp.File("mvrmedia\\a_1.wav"), first);
        EXPECT_EQ("RIFF-a", ReadFileBytes(first));
        ASSERT_EQ(S_OK, m->ExtractMediaToTempFile("A.WAV", path, sizeof(path)));
        EXPECT_EQ(first, path);  // extracted once per run
        EXPECT_EQ(1, m->GetTempFileCount());
        ASSERT_EQ(S_OK, m->ExtractMediaToTempFile("name", path, sizeof(path)));
        nameOnly = path;
        EXPECT_EQ(temp.File("mvrmedia\\name_0."), nameOnly);
        EXPECT_EQ("plain name", ReadFileBytes(nameOnly));
        ASSERT_EQ(S_OK, m->ExtractMediaToTempFile("empty.wav", path, sizeof(path)));
        EXPECT_EQ("", ReadFileBytes(path));
        // A media that cannot be read leaves no file behind.
        EXPECT_EQ((HRESULT)0x8004500E, m->ExtractMediaToTempFile("gone.wav", path, sizeof(path)));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
                  GetFileAttributesA(temp.File("mvrmedia\\gone_0.wav").c_str()));
        // A tiny buffer gets a cut path and the call ends.
        char tiny[6];
        EXPECT_EQ(S_OK, m->ExtractMediaToTempFile("logo.png", tiny, sizeof(tiny)));
        EXPECT_EQ(5u, strlen(tiny));
        EXPECT_EQ(4, m->GetTempFileCount());
    }
    // The media manager went with its project: its files are gone; the old
    // file stays.
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(first.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(nameOnly.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(temp.File("mvrmedia\\a_0.wav").c_str()));
}

// The unique names of many files of few names, against a plain search that
// starts every time from the first try: the same names, none longer than
// MAX_PATH - 1 bytes, the long ones numbered on the plain name.
TEST(ExFiles, UniqueNamesMatchAPlainSearch) {
    auto lower = [](std::string s) {
        for (char& c : s) c = (char)tolower((unsigned char)c);
        return s;
    };
    std::set<std::string> taken;
    auto plain = [&](const std::string& base) {
        std::string name = base, cumulative = base;
        bool numbered = false;
        for (int n = 1; taken.count(lower(name)); ++n) {
            std::string suffix = "_" + std::to_string(n);
            if (cumulative.size() + suffix.size() > MAX_PATH - 1)
                numbered = true;
            name = numbered ? base : cumulative;
            size_t dot = name.rfind('.');
            name.insert(dot == std::string::npos ? name.size() : dot, suffix);
            if (!numbered)
                cumulative = name;
        }
        return name;
    };
    const char* bases[] = {"a.txt", "A.TXT", "b", "c.d.e", "a_1.txt"};
    std::mt19937 rng(77);
    CExFileTable t;
    for (int i = 0; i < 400; ++i) {
        std::string base = bases[rng() % 5];
        std::string path = "C:\\d" + std::to_string(i) + "\\" + base;
        std::string expected = plain(base);
        CExFileItem* item = nullptr;
        ASSERT_EQ(0, t.AddByPath(path.c_str(), &item)) << i;
        ASSERT_EQ(expected, item->m_name) << i;
        EXPECT_LE(item->m_name.size(), (size_t)MAX_PATH - 1);
        taken.insert(lower(expected));
    }
    EXPECT_EQ(400, t.GetCount());
}

// Loading a batch of records in one merge puts them where inserting them
// one by one puts them: a later equal name before an earlier one.
TEST(MediaIndex, BatchInsertMatchesOneByOne) {
    std::mt19937 rng(31);
    const char* names[] = {"a", "A", "b", "\xB2\xE2", "c1", "C1", "zz", "Zz", "m"};
    for (int round = 0; round < 50; ++round) {
        CRtMediaFolderArray oneByOne, merged;
        std::vector<CRtMediaFolder*> batch;
        int before = (int)(rng() % 20), added = (int)(rng() % 40);
        for (int i = 0; i < before + added; ++i) {
            const char* name = names[rng() % 9];
            CRtMediaFolder* x = new CRtMediaFolder;
            CRtMediaFolder* y = new CRtMediaFolder;
            x->Set(name, std::to_string(i).c_str(), "");
            y->Set(name, std::to_string(i).c_str(), "");
            oneByOne.Insert(x);
            if (i < before)
                merged.Insert(y);
            else
                batch.push_back(y);
        }
        merged.InsertMany(batch);
        EXPECT_TRUE(batch.empty());
        ASSERT_EQ(oneByOne.GetCount(), merged.GetCount());
        for (int i = 0; i < oneByOne.GetCount(); ++i)
            ASSERT_STREQ(oneByOne.GetAt(i)->Path(), merged.GetAt(i)->Path()) << round << " " << i;
    }
}

// Several names for one file: a lookup by path finds the first name in the
// table's order, and follows redirections and folder changes.
TEST(ExFiles, LookupByPathFollowsChanges) {
    SetDefaultExFileFolder("Q:\\ex");
    CExFileTable t;
    // media header counting 3, plain body: three records naming one file
    CComPtr<ITeskStream> s =
        MemStreamOf(MakeMediaHeader(3, 0) + ExFileRecordBytes({"c", "x.txt"}) +
                    ExFileRecordBytes({"B", "x.txt"}) + ExFileRecordBytes({"d", "y.txt"}));
    ASSERT_EQ(S_OK, t.Load(s));
    SetDefaultExFileFolder(".\\Media\\ExFile");
    ASSERT_NE(nullptr, t.FindByPath("q:\\EX\\X.TXT"));
    EXPECT_EQ("B", t.FindByPath("q:\\EX\\X.TXT")->m_name);
    EXPECT_EQ(S_OK, t.AddOrRedirect("b", "R:\\moved\\x.txt"));
    EXPECT_EQ("c", t.FindByPath("Q:\\ex\\x.txt")->m_name);
    EXPECT_EQ("B", t.FindByPath("R:\\moved\\x.txt")->m_name);
    EXPECT_EQ(1, t.AddByPath("R:\\MOVED\\x.txt", nullptr));  // known already
    EXPECT_EQ(S_OK, t.SetFolder("S:\\all"));
    EXPECT_EQ("B", t.FindByPath("S:\\all\\x.txt")->m_name);
    EXPECT_EQ("d", t.FindByPath("S:\\all\\y.txt")->m_name);
    EXPECT_EQ(nullptr, t.FindByPath("Q:\\ex\\x.txt"));
    t.Clear();
    EXPECT_EQ(nullptr, t.FindByPath("S:\\all\\x.txt"));
}
