// DXF import, the polyline recorder and metafiles from stored bits.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "DrawTestUtil.h"
#include "TestFiles.h"
#include "bMetaFile.h"
#include "bdxfpars.h"

using namespace drawtest;

namespace {

std::string Entities(const std::string& body) {
    return "  0\nSECTION\n  2\nENTITIES\n" + body + "  0\nENDSEC\n  0\nEOF\n";
}

std::string Line(double x0, double y0, double x1, double y1, int color = 7) {
    char buf[256];
    snprintf(buf, sizeof(buf), "  0\nLINE\n  8\n0\n 62\n%d\n 10\n%g\n 20\n%g\n 11\n%g\n 21\n%g\n",
             color, x0, y0, x1, y1);
    return buf;
}

std::string Vertex(double x, double y) {
    char buf[128];
    snprintf(buf, sizeof(buf), "  0\nVERTEX\n 10\n%g\n 20\n%g\n", x, y);
    return buf;
}

struct Record {
    DWORD type;
    std::vector<BYTE> bytes;
};

int CALLBACK Collect(HDC, HANDLETABLE*, const ENHMETARECORD* r, int, LPARAM p) {
    auto* out = reinterpret_cast<std::vector<Record>*>(p);
    const BYTE* b = reinterpret_cast<const BYTE*>(r);
    out->push_back({r->iType, std::vector<BYTE>(b, b + r->nSize)});
    return 1;
}

std::vector<Record> Records(HENHMETAFILE emf) {
    std::vector<Record> out;
    EnumEnhMetaFile(nullptr, emf, Collect, &out, nullptr);
    return out;
}

int Count(const std::vector<Record>& records, std::initializer_list<DWORD> types) {
    int n = 0;
    for (const Record& r : records)
        for (DWORD t : types) n += r.type == t;
    return n;
}

const std::initializer_list<DWORD> kDrawing = {EMR_LINETO,      EMR_POLYLINE,   EMR_POLYLINE16,
                                               EMR_POLYGON,     EMR_POLYGON16,  EMR_ARC,
                                               EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW};

HENHMETAFILE Parse(const std::string& text) {
    return DXFParse(reinterpret_cast<const BYTE*>(text.data()), (DWORD)text.size());
}

}  // namespace

TEST(DxfImport, ExtentsChooseTheScale) {
    struct Case {
        double extent;
        double scale;
    } cases[] = {{10, 1000}, {50, 100}, {500, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extent);
        std::string text = Entities(Line(3, 4, 3 + c.extent, 4 + c.extent));
        DxfReader reader(reinterpret_cast<const BYTE*>(text.data()), (DWORD)text.size());
        HENHMETAFILE emf = reader.Convert();
        ASSERT_TRUE(emf != nullptr);
        EXPECT_EQ(c.scale, reader.GetScaleX());
        ENHMETAHEADER header;
        GetEnhMetaFileHeader(emf, sizeof(header), &header);
        // The frame: the extent scaled, inflated by a fiftieth on each side.
        double w = c.extent * c.scale;
        EXPECT_NEAR(-w / 50, header.rclFrame.left, 1);
        EXPECT_NEAR(w + w / 50, header.rclFrame.right, 1);
        std::vector<Record> records = Records(emf);
        EXPECT_EQ(1, Count(records, {EMR_LINETO}));
        DeleteEnhMetaFile(emf);
    }
}

TEST(DxfImport, ZeroLengthLineDrawsNothing) {
    HENHMETAFILE emf = Parse(Entities(Line(5, 5, 5, 5) + Line(1, 1, 30, 30)));
    ASSERT_TRUE(emf != nullptr);
    EXPECT_EQ(1, Count(Records(emf), {EMR_LINETO}));
    DeleteEnhMetaFile(emf);
}

TEST(DxfImport, Polylines) {
    // Without SEQEND: drawn when the next one begins.
    std::string body = "  0\nPOLYLINE\n 70\n1\n" + Vertex(0, 0) + Vertex(40, 0) + Vertex(40, 40) +
                       "  0\nPOLYLINE\n" + Vertex(1, 1) + Vertex(2, 9) + "  0\nSEQEND\n";
    HENHMETAFILE emf = Parse(Entities(body));
    ASSERT_TRUE(emf != nullptr);
    std::vector<Record> records = Records(emf);
    EXPECT_EQ(2, Count(records, {EMR_POLYLINE, EMR_POLYLINE16}));
    EXPECT_EQ(1, Count(records, {EMR_LINETO}));  // the first one is closed
    DeleteEnhMetaFile(emf);
    // One still open at the end of the data is not drawn.
    emf = Parse(Entities("  0\nPOLYLINE\n" + Vertex(0, 0) + Vertex(40, 40)));
    ASSERT_TRUE(emf != nullptr);
    EXPECT_EQ(0, Count(Records(emf), kDrawing));
    DeleteEnhMetaFile(emf);
}

TEST(DxfImport, NoEntitiesGivesAnEmptyMetafile) {
    std::string text = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n" +
                       Line(0, 0, 9, 9) + "  0\nENDSEC\n  0\nEOF\n";
    HENHMETAFILE emf = Parse(text);
    ASSERT_TRUE(emf != nullptr);
    std::vector<Record> records = Records(emf);
    EXPECT_EQ(0, Count(records, kDrawing));
    EXPECT_EQ((DWORD)EMR_HEADER, records.front().type);
    EXPECT_EQ((DWORD)EMR_EOF, records.back().type);
    DeleteEnhMetaFile(emf);
    // Blocks are read too.
    emf = Parse("  0\nSECTION\n  2\nBLOCKS\n" + Line(0, 0, 9, 9) + "  0\nENDSEC\n  0\nEOF\n");
    EXPECT_EQ(1, Count(Records(emf), {EMR_LINETO}));
    DeleteEnhMetaFile(emf);
}

TEST(DxfImport, EntitiesAndColours) {
    std::string body =
        Line(0, 0, 10, 0, 1) +
        "  0\nCIRCLE\n 10\n5\n 20\n5\n 40\n2\n"
        "  0\nARC\n 10\n5\n 20\n5\n 40\n3\n 50\n0\n 51\n90\n"
        "  0\nSOLID\n 10\n0\n 20\n0\n 11\n4\n 21\n0\n 12\n0\n 22\n4\n 13\n4\n 23\n4\n"
        "  0\nTEXT\n 10\n1\n 20\n1\n 40\n1\n 50\n90\n  1\nHello\n"
        "  0\nPOINT\n 10\n1\n 20\n1\n"
        "  0\n3DFACE\n 10\n1\n 20\n1\n" +
        Line(0, 0, 3, 3, 300);
    HENHMETAFILE emf = Parse(Entities(body));
    ASSERT_TRUE(emf != nullptr);
    std::vector<Record> records = Records(emf);
    EXPECT_EQ(2, Count(records, {EMR_ARC}));
    EXPECT_EQ(1, Count(records, {EMR_POLYGON, EMR_POLYGON16}));
    EXPECT_EQ(1, Count(records, {EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW}));
    EXPECT_EQ(2, Count(records, {EMR_LINETO}));
    // Pen colours: red for 1, black for a number outside the table.
    std::vector<COLORREF> pens;
    for (const Record& r : records)
        if (r.type == EMR_CREATEPEN)
            pens.push_back(reinterpret_cast<const EMRCREATEPEN*>(r.bytes.data())->lopn.lopnColor);
    ASSERT_FALSE(pens.empty());
    EXPECT_EQ(RGB(255, 0, 0), pens.front());
    EXPECT_EQ(RGB(0, 0, 0), pens.back());
    DeleteEnhMetaFile(emf);

    EXPECT_EQ(RGB(255, 0, 0), DxfColor(10));
    EXPECT_EQ(RGB(255, 255, 0), DxfColor(50));
    EXPECT_EQ(RGB(0, 255, 0), DxfColor(90));
    EXPECT_EQ(RGB(0, 255, 255), DxfColor(130));
    EXPECT_EQ(RGB(0, 0, 255), DxfColor(170));
    EXPECT_EQ(RGB(255, 0, 255), DxfColor(210));
    EXPECT_EQ(RGB(255, 127, 127), DxfColor(11));
    EXPECT_EQ(RGB(127, 127, 127), DxfColor(8));
    EXPECT_EQ(RGB(190, 190, 190), DxfColor(9));
    EXPECT_EQ(RGB(255, 255, 255), DxfColor(255));
    EXPECT_EQ(RGB(0, 0, 0), DxfColor(7));
    EXPECT_EQ(RGB(0, 0, 0), DxfColor(-5));
    EXPECT_EQ(RGB(0, 0, 0), DxfColor(256));
}

TEST(DxfImport, CorruptedInputs) {
    std::string good = Entities(Line(0, 0, 10, 10) + "  0\nPOLYLINE\n" + Vertex(0, 0) +
                                Vertex(5, 5) + "  0\nSEQEND\n  0\nTEXT\n 40\n1\n  1\nx\n");
    std::vector<std::string> inputs;
    for (size_t n = 0; n <= good.size(); n += 3) inputs.push_back(good.substr(0, n));
    inputs.push_back(Entities("  0\nLINE\n" + std::string(100000, 'A') + "\n 10\n1\n 11\n5\n"));
    inputs.push_back(Entities("abc\nLINE\nxyz\n1\n 10\nnotanumber\n"));
    inputs.push_back(Entities("-1\nLINE\n4294967295\n7\n 62\n-1\n 62\n4294967295\n"));
    inputs.push_back(Entities(Line(0, 0, 1e300, 1e300)));
    inputs.push_back(Entities("  0\nLINE\n 10\n1e999\n 20\nnan\n 11\n5\n 21\n5\n"));
    inputs.push_back(
        Entities("  0\nPOLYLINE\n" + Vertex(1e300, 0) + Vertex(0, -1e300) +
                 "  0\nSEQEND\n  0\nCIRCLE\n 40\n1e300\n  0\nTEXT\n 40\n1e300\n  1\nt\n"));
    inputs.push_back(std::string(5000, '\n'));
    inputs.push_back("");
    for (const std::string& text : inputs) {
        HENHMETAFILE emf = Parse(text);
        ASSERT_TRUE(emf != nullptr) << text.substr(0, 60);
        Records(emf);
        DeleteEnhMetaFile(emf);
    }
    // Coordinates beyond 32 bits skip their entity; the rest is drawn.
    HENHMETAFILE emf = Parse(Entities(Line(0, 0, 1e300, 1) + Line(0, 0, 1, 1)));
    EXPECT_EQ(1, Count(Records(emf), {EMR_LINETO}));
    DeleteEnhMetaFile(emf);
    // No data at all: an empty drawing.
    emf = DXFParse(nullptr, 0);
    ASSERT_TRUE(emf != nullptr);
    EXPECT_EQ(0, Count(Records(emf), kDrawing));
    DeleteEnhMetaFile(emf);
}

TEST(PolylineRecorder, EdgeCases) {
    PolylineRecorder empty(nullptr, 0, 0, 1, 1, nullptr);
    short minX, maxX, minY, maxY;
    empty.GetBounds(&minX, &maxX, &minY, &maxY);
    EXPECT_EQ(0x7FFF, minX);
    EXPECT_EQ((short)0x8000, maxX);
    EXPECT_EQ(0x7FFF, minY);
    EXPECT_EQ((short)0x8000, maxY);

    // A closed triangle draws its closing edge; width 0 makes a 1-unit pen.
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    {
        PolylineRecorder r(dc, 1, 2, 10, 10, nullptr);
        r.SetOption(70, 1);
        r.SetOption(71, 0);
        r.SetColor(RGB(1, 2, 3));
        r.AddPoint(0, 0);
        r.AddPoint(5.99, 0);
        r.AddPoint(5, -4);
        r.GetBounds(&minX, &maxX, &minY, &maxY);
        EXPECT_EQ(10, minX);
        EXPECT_EQ(69, maxX);  // (5.99 + 1) * 10 truncated
        EXPECT_EQ(-20, minY);
        EXPECT_EQ(20, maxY);
        EXPECT_TRUE(r.IsClosed());
        r.Flush();
    }
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    std::vector<Record> records = Records(emf);
    EXPECT_EQ(1, Count(records, {EMR_LINETO}));
    for (const Record& rec : records) {
        if (rec.type == EMR_MOVETOEX) {
            const EMRMOVETOEX* m = reinterpret_cast<const EMRMOVETOEX*>(rec.bytes.data());
            EXPECT_EQ(60, m->ptl.x);  // from the third point
            EXPECT_EQ(-20, m->ptl.y);
        }
        if (rec.type == EMR_LINETO) {
            const EMRLINETO* l = reinterpret_cast<const EMRLINETO*>(rec.bytes.data());
            EXPECT_EQ(10, l->ptl.x);  // back to the first
            EXPECT_EQ(20, l->ptl.y);
        }
        if (rec.type == EMR_CREATEPEN) {
            const EMRCREATEPEN* p = reinterpret_cast<const EMRCREATEPEN*>(rec.bytes.data());
            EXPECT_EQ(1, p->lopn.lopnWidth.x);
            EXPECT_EQ(RGB(1, 2, 3), p->lopn.lopnColor);
        }
    }
    DeleteEnhMetaFile(emf);

    // 1025 points: the buffer grows once, every point is drawn.
    dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    {
        PolylineRecorder r(dc, 0, 0, 1, 1, nullptr);
        for (int i = 0; i < 1024; ++i) EXPECT_TRUE(r.AddPoint(i, i % 7));
        EXPECT_EQ(1024, r.GetCapacity());
        EXPECT_TRUE(r.AddPoint(1024, 0));
        EXPECT_EQ(2048, r.GetCapacity());  // grown once
        EXPECT_TRUE(r.AddPoint(1, 1));
        EXPECT_EQ(1026, r.GetCount());
        EXPECT_FALSE(r.AddPoint(1e300, 0));
        EXPECT_FALSE(r.AddPoint(0, -3e9));
        r.Flush();
    }
    emf = CloseEnhMetaFile(dc);
    records = Records(emf);
    for (const Record& rec : records) {
        if (rec.type == EMR_POLYLINE16) {
            EXPECT_EQ(1026u, reinterpret_cast<const EMRPOLYLINE16*>(rec.bytes.data())->cpts);
        } else if (rec.type == EMR_POLYLINE) {
            EXPECT_EQ(1026u, reinterpret_cast<const EMRPOLYLINE*>(rec.bytes.data())->cptl);
        }
    }
    EXPECT_EQ(1, Count(records, {EMR_POLYLINE, EMR_POLYLINE16}));
    DeleteEnhMetaFile(emf);
}

namespace {

std::string EmfBits() {
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 50, 50);
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    UINT n = GetEnhMetaFileBits(emf, 0, nullptr);
    std::string bits(n, '\0');
    GetEnhMetaFileBits(emf, n, reinterpret_cast<BYTE*>(&bits[0]));
    DeleteEnhMetaFile(emf);
    return bits;
}

std::string PlaceableWmf() {
    HDC dc = CreateMetaFileA(nullptr);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 100, 60);
    HMETAFILE wmf = CloseMetaFile(dc);
    UINT n = GetMetaFileBitsEx(wmf, 0, nullptr);
    std::string bits(n, '\0');
    GetMetaFileBitsEx(wmf, n, &bits[0]);
    DeleteMetaFile(wmf);
    PlaceableMetaHeader h = {};
    h.key = PLACEABLE_KEY;
    h.right = 100;
    h.bottom = 60;
    h.inch = 1440;
    return std::string(reinterpret_cast<const char*>(&h), sizeof(h)) + bits;
}

HENHMETAFILE FromBits(const std::string& s, int kind) {
    return MetaFileFromBits(reinterpret_cast<const BYTE*>(s.data()), (DWORD)s.size(), nullptr,
                            kind);
}

}  // namespace

TEST(MetaFileFromBits, KindsAndBrokenData) {
    std::string emf = EmfBits();
    HENHMETAFILE h = FromBits(emf, METAKIND_EMF);
    ASSERT_TRUE(h != nullptr);
    EXPECT_EQ(1, Count(Records(h), {EMR_LINETO}));
    // Drawn into a buffer.
    CComPtr<IPixelBuffer> buffer = MakeBuffer(60, 60, 0x00FFFFFF);
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    RECT r = {0, 0, 60, 60};
    EXPECT_TRUE(DrawEnhMetaFile(dc, h, &r));
    GdiFlush();
    buffer->ReleaseDC(dc);
    int ink = 0;
    for (DWORD p : Pixels(buffer)) ink += (p & 0xFFFFFF) != 0xFFFFFF;
    EXPECT_GT(ink, 20);
    DeleteEnhMetaFile(h);

    std::string wmf = PlaceableWmf();
    h = FromBits(wmf, METAKIND_WMF);
    ASSERT_TRUE(h != nullptr);
    EXPECT_EQ(1, Count(Records(h), {EMR_LINETO}));
    ENHMETAHEADER header;
    GetEnhMetaFileHeader(h, sizeof(header), &header);
    EXPECT_NEAR(100 * 2540 / 1440, header.rclFrame.right - header.rclFrame.left, 30);
    DeleteEnhMetaFile(h);

    h = FromBits(Entities(Line(0, 0, 5, 5)), METAKIND_DXF);
    ASSERT_TRUE(h != nullptr);
    EXPECT_EQ(1, Count(Records(h), {EMR_LINETO}));
    DeleteEnhMetaFile(h);

    // Broken data: short enhanced bits, a word count beyond the data.
    std::vector<std::string> broken = {emf.substr(0, 40), emf.substr(0, 43), wmf.substr(0, 22),
                                       wmf.substr(0, 30), wmf.substr(0, wmf.size() - 2)};
    std::string big = wmf;
    PutU32(big, 22 + 6, 0x7FFFFFFF);
    broken.push_back(big);
    PutU32(big, 22 + 6, 0xFFFFFFFF);
    broken.push_back(big);
    for (const std::string& b : broken) {
        HENHMETAFILE bad =
            FromBits(b, b.size() > 0 && (BYTE)b[0] == 0xD7 ? METAKIND_WMF : METAKIND_EMF);
        EXPECT_EQ(nullptr, bad) << b.size();
        if (bad)
            DeleteEnhMetaFile(bad);
    }
    EXPECT_EQ(nullptr, MetaFileFromBits(nullptr, 10, nullptr, METAKIND_EMF));
}
