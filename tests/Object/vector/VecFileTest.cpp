#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorFixtures.h"
#include "VectorRecords.h"
#include "aGrphMta.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bLinStyl.h"

namespace {

std::vector<uint8_t> SavedBy(std::function<void(ITeskStream*)> save) {
    CComPtr<ITeskStream> s = NewMemStream();
    save(s);
    return ContentBytes(s);
}

// A frame owner whose media folder is a private temporary one.
class FolderOwner : public FakeOwner {
public:
    BOOL GetMediaFolder(char* out, size_t size) override {
        if (folder.Path().size() + 1 > size)
            return FALSE;
        strcpy(out, folder.Path().c_str());
        return TRUE;
    }
    std::string Embedded(const std::string& file) const { return folder.File("TempDir\\" + file); }
    TempFolder folder;
};

// A fill object's record: a picture fill (type 2, filling), or no fill.
std::vector<uint8_t> FillRecord(bool picture) {
    CComPtr<FillObject> fill;
    fill.Attach(CreateFillObject());
    if (picture) {
        fill->SetFillType(FILL_PICTURE);
        fill->SetMode(FILLMODE_FILL);
    } else {
        fill->SetMode(FILLMODE_NONE);
    }
    return SavedBy([&](ITeskStream* s) { fill->Save(s); });
}

std::vector<uint8_t> LineRecord() {
    CComPtr<LineStyleObject> line;
    line.Attach(CreateLineStyObj());
    return SavedBy([&](ITeskStream* s) { line->Save(s); });
}

// A rectangle from (x, x) to (x + 10, x + 10) in the vector-file form.
GraphMetaFields FileRect(int x, bool picture, int index, const std::vector<uint8_t>& media = {}) {
    GraphMetaFields g;
    g.kind = GRAPH_RECT;
    g.points = {{x, x}, {x + 10, x + 10}};
    g.bounds = {x, x, x + 10, x + 10};
    g.fill = FillRecord(picture);
    g.line = LineRecord();
    g.file = true;
    g.mediaIndex = index;
    g.media = media;
    return g;
}

// The file form's head: flags, next meta id, owner rectangle, count.
RecordWriter FileHead(int count, RECT owner = {10, 20, 210, 120}) {
    RecordWriter w;
    w.Bytes({(uint8_t)VECFRAME_LENGTHS, 0});
    w.I32(5).I32(owner.left).I32(owner.top).I32(owner.right).I32(owner.bottom).I32(count);
    return w;
}

std::string PicturePath(const CVecFrame& f, int i) {
    CGraphMeta* g = f.GetGraphMeta(i);
    void* params = nullptr;
    if (!g || g->GetFillType() != FILL_PICTURE || FAILED(g->GetFill()->GetFillParams(&params)))
        return "?";
    char path[MAX_PATH] = "";
    static_cast<IPictureFillParams*>(params)->GetPicturePath(path);
    return path;
}

const std::vector<uint8_t> kPicture = {'P', 'N', 'G', 1, 2, 3};

}  // namespace

TEST(VecFile, EmbeddedPicturesAreWrittenInTheFolderAndNamedByIndexLater) {
    FolderOwner owner;
    RecordWriter w = FileHead(3);
    w.I32(METATYPE_GRAPH)
        .Bytes(
            GraphMetaRecord(FileRect(0, true, -1, EmbeddedPicture("C:\\pics\\sun.png", kPicture))));
    w.I32(METATYPE_GRAPH).Bytes(GraphMetaRecord(FileRect(20, true, 0)));
    w.I32(METATYPE_GRAPH).Bytes(GraphMetaRecord(FileRect(40, false, -2)));
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    CComPtr<ITeskStream> in = MemStreamOf(w.Get());
    ASSERT_EQ(frame.LoadFile(in, "D:\\works\\demo.vec", FALSE, &owner), S_OK);
    EXPECT_EQ(in->GetPosition(), w.Get().size());
    ASSERT_EQ(frame.GetCount(), 3);
    // The title of the file name, the meta's position, the stored name's
    // last component.
    const std::string file = owner.Embedded("_VectorObj_demo0sun.png");
    EXPECT_EQ(ReadFileBytes(file), std::string(kPicture.begin(), kPicture.end()));
    EXPECT_EQ(PicturePath(frame, 0), file);
    EXPECT_EQ(PicturePath(frame, 1), file);  // index 0: the first picture embedded
    EXPECT_EQ(frame.GetGraphMeta(2)->GetFillMode(), FILLMODE_NONE);
    // Fitted from the stored owner rectangle.
    const RECT ref = frame.GetGraphMeta(1)->ReferenceRect();
    EXPECT_EQ(ref.left, 10);
    EXPECT_EQ(ref.bottom, 120);
    EXPECT_EQ(frame.GetGraphMeta(1)->GetPoint(0).x, 20);
}

TEST(VecFile, StoredNamesKeepTheirLastComponentOnly) {
    const struct {
        std::string stored;
        const char* file;  // null: no file, the shape loads without its picture
    } cases[] = {
        {"..\\..\\evil.png", "_VectorObj_w0evil.png"},
        {"C:evil.png", "_VectorObj_w0evil.png"},
        {"a/b/../c.png", "_VectorObj_w0c.png"},
        {"..", nullptr},
        {"dir\\", nullptr},
        {"", nullptr},
        {std::string(255, 'n'), nullptr},  // too long for a path, not for the record
    };
    for (const auto& c : cases) {
        FolderOwner owner;
        RecordWriter w = FileHead(1);
        w.I32(METATYPE_GRAPH)
            .Bytes(GraphMetaRecord(FileRect(0, true, -1, EmbeddedPicture(c.stored, kPicture))));
        CVecFrame frame(&owner, VECFRAME_LENGTHS);
        ASSERT_EQ(frame.LoadFile(MemStreamOf(w.Get()), "w.vec", FALSE, &owner), S_OK) << c.stored;
        ASSERT_EQ(frame.GetCount(), 1);
        if (c.file) {
            EXPECT_EQ(PicturePath(frame, 0), owner.Embedded(c.file)) << c.stored;
            EXPECT_FALSE(ReadFileBytes(owner.Embedded(c.file)).empty());
        } else {
            EXPECT_EQ(PicturePath(frame, 0), "") << c.stored;
        }
        // Nothing lands beside the folder.
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((owner.folder.Path() + "\\*.png").c_str(), &found);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << c.stored;
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
    }
}

TEST(VecFile, DamagedMediaPartsAndUnknownTypesLeaveTheFrameAlone) {
    RecordWriter longName;
    longName.I32(256).Bytes(std::vector<uint8_t>(256, 'a')).I32(1).Bytes({1});
    RecordWriter negative;
    negative.I32(-1);
    RecordWriter beyond;
    beyond.I32(5).Bytes({'a', '.', 'p', 'n', 'g'}).I32(1000).Bytes({1, 2, 3});
    RecordWriter negativeSize;
    negativeSize.I32(5).Bytes({'a', '.', 'p', 'n', 'g'}).I32(-4);
    for (const RecordWriter* media : {&longName, &negative, &beyond, &negativeSize}) {
        FolderOwner owner;
        RecordWriter w = FileHead(1);
        w.I32(METATYPE_GRAPH).Bytes(GraphMetaRecord(FileRect(0, true, -1, media->Get())));
        CVecFrame frame(&owner, VECFRAME_LENGTHS);
        frame.AddMeta(new CGraphMeta(&owner), METATYPE_GRAPH);
        EXPECT_EQ(frame.LoadFile(MemStreamOf(w.Get()), "w.vec", FALSE, &owner), E_FAIL);
        EXPECT_EQ(frame.GetCount(), 1);
        EXPECT_FALSE(CreateDirectoryA(owner.folder.File("TempDir").c_str(), nullptr) == FALSE &&
                     GetLastError() == ERROR_ALREADY_EXISTS);  // nothing was written
    }
    // Types 2 and 5 read like 1, through their creators; without one, or
    // for an unknown type, the read ends.
    FolderOwner owner;
    for (int type : {2, 5, 9, 6, -1}) {
        const bool known = type == 2 || type == 5;
        if (known)
            SetMetaCreator(type, [](IMetaEnv* env) -> CMetaBase* { return new CGraphMeta(env); });
        RecordWriter w = FileHead(2);
        w.I32(type).Bytes(GraphMetaRecord(FileRect(3, false, -2)));
        w.I32(METATYPE_GRAPH).Bytes(GraphMetaRecord(FileRect(4, false, -2)));
        CVecFrame frame(&owner, VECFRAME_LENGTHS);
        HRESULT hr = frame.LoadFile(MemStreamOf(w.Get()), "w.vec", FALSE, &owner);
        if (known) {
            EXPECT_EQ(hr, S_OK) << type;
            ASSERT_EQ(frame.GetCount(), 2);
            EXPECT_TRUE(frame.IsGraphMeta(0));
            EXPECT_EQ(frame.GetMeta(0)->GetBaseValue(), type);
            EXPECT_EQ(frame.GetGraphMeta(1)->GetPoint(0).x, 4);
            SetMetaCreator(type, nullptr);
            hr = frame.LoadFile(MemStreamOf(w.Get()), "w.vec", FALSE, &owner);
            EXPECT_EQ(hr, E_FAIL) << type;
            EXPECT_EQ(frame.GetCount(), 2);  // kept
        } else {
            EXPECT_EQ(hr, E_FAIL) << type;
            EXPECT_EQ(frame.GetCount(), 0);
        }
    }
}

TEST(VecFile, SaveFileWritesEachPictureOnceAndReadsBack) {
    FolderOwner owner;
    const std::string source = owner.folder.File("photo.png");
    ASSERT_TRUE(WriteFileBytes(source, kPicture));
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    for (int i = 0; i < 3; ++i) {
        CGraphMeta* g = new CGraphMeta(&owner);
        g->SetKind(GRAPH_RECT);
        g->AddPoint(i * 20, 0);
        g->AddPoint(i * 20 + 10, 10);
        g->FinishShape();
        if (i < 2) {
            g->SetFillType(FILL_PICTURE);
            g->SetFillMode(FILLMODE_FILL);
            void* params = nullptr;
            g->GetFill()->GetFillParams(&params);
            static_cast<IPictureFillParams*>(params)->SetPicturePath(source.c_str());
        }
        frame.AddMeta(g, METATYPE_GRAPH);
    }
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(frame.SaveFile(s), S_OK);
    const std::vector<uint8_t> bytes = ContentBytes(s);
    // Head: flags, next id, the owner rectangle, count.
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[2], 1);     // next meta id
    EXPECT_EQ(bytes[14], 200);  // owner right
    EXPECT_EQ(bytes[22], 3);    // count
    FolderOwner reader;
    CVecFrame back(&reader, VECFRAME_LENGTHS);
    ASSERT_EQ(back.LoadFile(MemStreamOf(bytes), "C:\\x\\saved.vec", FALSE, &reader), S_OK);
    ASSERT_EQ(back.GetCount(), 3);
    const std::string file = reader.Embedded("_VectorObj_saved0photo.png");
    EXPECT_EQ(ReadFileBytes(file), std::string(kPicture.begin(), kPicture.end()));
    EXPECT_EQ(PicturePath(back, 0), file);
    EXPECT_EQ(PicturePath(back, 1), file);
    EXPECT_EQ(back.GetGraphMeta(2)->GetFillMode(), FILLMODE_NONE);
    // Written once: the second meta names it by index 0.
    int copies = 0;
    for (auto at = bytes.begin();
         (at = std::search(at, bytes.end(), kPicture.begin(), kPicture.end())) != bytes.end(); ++at)
        ++copies;
    EXPECT_EQ(copies, 1);

    for (size_t n = 0; n < bytes.size(); n += (n < 120 ? 1 : 11)) {
        FolderOwner cutOwner;
        CVecFrame cut(&cutOwner, VECFRAME_LENGTHS);
        CComPtr<ITeskStream> in = MemStreamOf(Cut(bytes, n));
        EXPECT_EQ(cut.LoadFile(in, "c.vec", FALSE, &cutOwner), E_FAIL) << n;
        EXPECT_EQ(cut.GetCount(), 0);
        EXPECT_LE(in->GetPosition(), n);
    }
    std::mt19937 random(6202);
    for (int round = 0; round < 100; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k) bad[random() % bad.size()] = (uint8_t)random();
        FolderOwner badOwner;
        CVecFrame f(&badOwner, VECFRAME_LENGTHS);
        CComPtr<ITeskStream> in = MemStreamOf(bad);
        f.LoadFile(in, "b.vec", FALSE, &badOwner);
        EXPECT_LE(in->GetPosition(), bad.size());
    }
}

TEST(VecFile, MediaIndexWithoutAPictureFillWritesOnlyTheIndex) {
    FolderOwner owner;
    CGraphMeta m(&owner);
    m.SetKind(GRAPH_RECT);
    m.AddPoint(0, 0);
    m.AddPoint(10, 10);
    m.FinishShape();
    m.SetFillMode(FILLMODE_FILL);
    const std::vector<uint8_t> plain = SavedBy([&](ITeskStream* s) { m.Save(s); });
    for (int index : {-1, -2, 3}) {
        const std::vector<uint8_t> file =
            SavedBy([&](ITeskStream* s) { m.SaveWithMedia(s, index); });
        EXPECT_EQ(file.size(), plain.size() + 4) << index;
        CGraphMeta back(&owner);
        VecFileContext context;
        CComPtr<ITeskStream> in = MemStreamOf(file);
        ASSERT_EQ(back.LoadWithMedia(in, "a.vec", &context, FALSE), S_OK);
        EXPECT_EQ(in->GetPosition(), file.size());
        EXPECT_TRUE(context.pictures.empty());
        EXPECT_EQ(SavedBy([&](ITeskStream* s) { back.Save(s); }), plain);
    }
}
