#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "ObjectDoubles.h"
#include "PictureFixtures.h"
#include "RtfWriter.h"
#include "TestFiles.h"
#include "aPixBuf.h"
#include "rtfParse.h"

namespace {

// What a reading gave: the result, the paragraphs' texts and, per
// paragraph, its non-empty runs as "class/length" with "b" for bold.
struct Reading {
    int result = 0;
    int count = 0;
    std::vector<std::string> texts;
    std::vector<std::string> runs;
};

class RtfReaderTest : public ::testing::Test {
protected:
    ~RtfReaderTest() override { FreeRtfParagraphs(first); }

    Reading Read(const std::string& rtf, IPlayerSite* site = nullptr) {
        FreeRtfParagraphs(first);
        first = nullptr;
        doc.Clear();
        CRtfParser parser;
        parser.SetSite(site);
        parser.SetText(rtf.data(), rtf.size());
        parser.SetTables(&doc.fonts, &doc.colors, &doc.pictures, &doc.hotWords);
        Reading r;
        r.result = parser.Run(&first, &r.count);
        for (RtfParagraph* p = first; p; p = p->next) {
            r.texts.push_back(std::string(p->text.Data(), p->text.Length()));
            std::string runs;
            int sum = 0;
            for (int i = 0; i < p->runs.Count(); ++i) {
                const StrInfo& s = p->runs[i];
                sum += s.length;
                if (!s.length)
                    continue;
                if (!runs.empty())
                    runs += ",";
                runs += std::to_string(s.format.charClass);
                if (s.format.style & RTFSTYLE_BOLD)
                    runs += "b";
                runs += "/" + std::to_string(s.length);
            }
            EXPECT_EQ(sum, p->text.Length()) << "runs do not cover the text of " << rtf;
            r.runs.push_back(runs);
        }
        return r;
    }
    const RtfParagraph* Para(int i) const {
        const RtfParagraph* p = first;
        while (p && i--) p = p->next;
        return p;
    }

    RtfDocument doc;
    RtfParagraph* first = nullptr;
};

// A font table with a GBK font 0 and a Latin font 1.
const std::string kFonts =
    "{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}{\\f1\\fswiss\\fprq2 Arial;}}";

TEST_F(RtfReaderTest, EdgeCasesOfTheText) {
    struct Case {
        const char* name;
        std::string rtf;
        int result;
        std::vector<std::string> texts;
        std::string firstRuns;
    };
    const Case cases[] = {
        {"pard-abc-par", "{\\rtf1" + kFonts + "\\pard abc\\par}", 1, {"abc", ""}, "1/3"},
        {"text before pard dropped", "{\\rtf1 xyz\\pard abc}", 1, {"abc"}, "1/3"},
        {"bold then not", "{\\rtf1\\pard\\b x\\b0 y}", 1, {"xy"}, "1b/1,1/1"},
        {"b1 is bold", "{\\rtf1\\pard\\b1 x}", 1, {"x"}, "1b/1"},
        {"groups restore", "{\\rtf1\\pard a{\\b b}c}", 1, {"abc"}, "1/1,1b/1,1/1"},
        {"GBK bytes one run", "{\\rtf1" + kFonts + "\\pard\\f0 \xb0\xa1}", 1, {"\xb0\xa1"}, "3/2"},
        {"escaped GBK", "{\\rtf1" + kFonts + "\\pard\\f0 \\'b0\\'a1}", 1, {"\xb0\xa1"}, "3/2"},
        {"uc2 replaces substitute",
         "{\\rtf1\\pard\\uc2\\u21834\\'3f\\'3fz}",
         1,
         {"\xb0\xa1z"},
         "3/2,1/1"},
        {"uc1 keeps substitute", "{\\rtf1\\pard\\uc1\\u21834\\'3f\\'3fz}", 1, {"??z"}, "1/3"},
        {"no uc adds nothing", "{\\rtf1\\pard\\u21834 z}", 1, {"z"}, "1/1"},
        {"unknown destination skipped", "{\\rtf1\\pard a{\\*\\foo b{c}}d}", 1, {"ad"}, "1/2"},
        {"known word after asterisk",
         "{\\rtf1\\pard a{\\*\\pict\\picwgoal20 }b}",
         1,
         {"a b"},
         "1/1,5/1,1/1"},
        {"asterisk without word is text", "{\\rtf1\\pard a\\*b}", 1, {"ab"}, "1/2"},
        {"tab run", "{\\rtf1\\pard a\\tab b}", 1, {"a\tb"}, "1/1,4/1,1/1"},
        {"symbols", "{\\rtf1\\pard \\{\\}\\\\\\ldblquote}", 1, {"{}\\\""}, "1/4"},
        {"bad escape is an apostrophe", "{\\rtf1\\pard \\'zq}", 1, {"'zq"}, "1/3"},
        {"escape cut by the end fails", "{\\rtf1\\pard x\\'", 0, {}, ""},
        {"skipped header", "{\\rtf1\\pard a{\\header h}b}", 1, {"ab"}, "1/2"},
        {"two paragraphs", "{\\rtf1\\pard a\\par b\\par}", 1, {"a", "b", ""}, "1/1"},
        {"no paragraph word fails", "{\\rtf1 abc}", 0, {}, ""},
        {"not rtf", "{\\rtx1\\pard abc}", 0, {}, ""},
        {"only the header", "{\\rtf", 0, {}, ""},
        {"f without number fails", "{\\rtf1\\pard\\f a}", 0, {}, ""},
        {"class font absent fails", "{\\rtf1" + kFonts + "\\pard\\loch\\af9 a}", 0, {}, ""},
        {"class font present", "{\\rtf1" + kFonts + "\\pard\\loch\\f1 a}", 1, {"a"}, "1/1"},
        {"text after the last brace ignored", "{\\rtf1\\pard a}b", 1, {"a"}, "1/1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reading r = Read(c.rtf);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.texts, c.texts);
        if (c.result) {
            ASSERT_FALSE(r.runs.empty());
            EXPECT_EQ(r.runs[0], c.firstRuns);
            EXPECT_EQ(r.count, (int)c.texts.size());
        } else {
            EXPECT_EQ(first, nullptr);
        }
    }
}

TEST_F(RtfReaderTest, ParagraphFormatsAndNumbers) {
    Reading r = Read(
        "{\\rtf1\\pard\\qc\\li-99999999999\\ri99999999999\\fi20\\sa30\\sb40\\sl-50\\tx700 "
        "a\\par\\pard b\\par}");
    ASSERT_EQ(r.result, 1);
    const RtfParaFormat& f = Para(0)->format;
    EXPECT_EQ(f.align, RTFALIGN_CENTER);
    EXPECT_EQ(f.leftIndent, INT32_MIN);  // clamped, not wrapped
    EXPECT_EQ(f.rightIndent, INT32_MAX);
    EXPECT_EQ(f.firstIndent, 20);
    EXPECT_EQ(f.spaceAfter, 30);
    EXPECT_EQ(f.spaceBefore, 40);
    EXPECT_EQ(f.lineSpacing, -50);
    EXPECT_EQ(f.tabWidth, 700);
    // \pard resets the format the next paragraph takes at its first byte.
    EXPECT_EQ(Para(1)->format.align, RTFALIGN_LEFT);
    EXPECT_EQ(Para(1)->format.tabWidth, 640);
}

TEST_F(RtfReaderTest, FontAndColourTables) {
    std::string longName(40, 'N');
    longName.replace(30, 2, "\xb0\xa1");  // a double-byte character across byte 31
    Reading r =
        Read("{\\rtf1" + kFonts.substr(0, kFonts.size() - 1) + "{\\f2\\froman " + longName + ";}}" +
             "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
             "\\pard\\f1\\cf2\\fs40 a\\f7 b}");
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(doc.fonts.size(), 3u);
    EXPECT_EQ(doc.fonts[0].number, 0);
    EXPECT_EQ(doc.fonts[0].charset, 134);
    EXPECT_STREQ(doc.fonts[0].face, "\xcb\xce\xcc\xe5");
    EXPECT_EQ(doc.fonts[1].pitchFamily, 32 | 2);
    EXPECT_STREQ(doc.fonts[1].face, "Arial");
    // Cut before the character that would not fit, NUL inside the field.
    EXPECT_EQ(std::string(doc.fonts[2].face), std::string(30, 'N'));
    EXPECT_EQ(doc.colors, (RtfColorTable{0, 0x0000FF, 0xFF0000}));
    const StrInfo* a = nullptr;
    for (int i = 0; i < Para(0)->runs.Count(); ++i)
        if (Para(0)->runs[i].length && !a)
            a = &Para(0)->runs[i];
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->format.font, 1);
    EXPECT_EQ(a->format.foreColor, 2);
    EXPECT_EQ(a->format.size, 40);
    EXPECT_EQ(Para(0)->runs.Last()->format.font, 0);  // \f7 is absent: the first entry

    struct Colours {
        const char* rtf;
        RtfColorTable expected;
    } colours[] = {
        {"{\\rtf1{\\colortbl;}\\pard a}", {0}},
        {"{\\rtf1{\\colortbl}\\pard a}", {0}},
        {"{\\rtf1\\pard a}", {0}},
        {"{\\rtf1{\\colortbl\\red1\\green2\\blue3;}\\pard a}", {0x030201}},
    };
    for (const Colours& c : colours) {
        SCOPED_TRACE(c.rtf);
        EXPECT_EQ(Read(c.rtf).result, 1);
        EXPECT_EQ(doc.colors, c.expected);
    }
    EXPECT_EQ(Read("{\\rtf1{\\colortbl;\\red\\green0\\blue0;}\\pard a}").result, 0);
    EXPECT_EQ(Read("{\\rtf1{\\colortbl;\\red1").result, 0);
    EXPECT_EQ(Read("{\\rtf1{\\fonttbl{\\f0 Arial;}").result, 0);
}

TEST_F(RtfReaderTest, HotWords) {
    Reading r = Read("{\\rtf1\\pard x\\hotword7 word\\hotwordend y\\par z\\hotword8 q}");
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(doc.hotWords.Count(), 2);
    EXPECT_EQ(doc.hotWords[0].id, 7);
    EXPECT_EQ(doc.hotWords[0].start, 1);
    EXPECT_EQ(doc.hotWords[0].length, 4);
    EXPECT_EQ(doc.hotWords[0].paragraph, Para(0));
    EXPECT_EQ(doc.hotWords[1].paragraph, Para(1));
    EXPECT_EQ(doc.hotWords[1].length, 0);

    LogCapture log;
    r = Read("{\\rtf1\\pard a\\hotwordend b}");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(doc.hotWords.Count(), 0);
    EXPECT_LOGGED(log, "wrong id: end id without begin id before!");
}

TEST_F(RtfReaderTest, PictureSizesAndData) {
    struct Case {
        const char* rtf;
        int shownWidth, shownHeight, kind, dataLength;
    } cases[] = {
        {"{\\rtf1\\pard{\\pict\\picscalex50\\picwgoal2000\\pichgoal300 }}", 1000, 300, 0, 0},
        {"{\\rtf1\\pard{\\pict\\picwgoal2000\\picscalex50 }}", 2000, 0, 0, 0},
        // 64-bit arithmetic: 1e6 % of 1e5 twips.
        {"{\\rtf1\\pard{\\pict\\picscalex1000000\\picwgoal100000 }}", 1000000000, 0, 0, 0},
        // JPEG data begins with a letter digit.
        {"{\\rtf1\\pard{\\pict\\jpegblip\\picwgoal10 ffd8\r\nff e0}}", 10, 0, RTFPIC_JPEG, 4},
        {"{\\rtf1\\pard{\\pict\\pngblip{\\*\\blipuid 00}89504e}}", 0, 0, RTFPIC_PNG, 3},
        {"{\\rtf1\\pard{\\object\\objemb{\\*\\objdata 0102}{\\result{\\pict\\wmetafile8"
         "\\picwgoal30 0a0b}}}}",
         30, 0, RTFPIC_WMF, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rtf);
        Reading r = Read(c.rtf);
        ASSERT_EQ(r.result, 1);
        ASSERT_EQ(doc.pictures.Count(), 1);
        const RtfPicture* p = doc.pictures.At(0);
        EXPECT_EQ(p->shownWidth, c.shownWidth);
        EXPECT_EQ(p->shownHeight, c.shownHeight);
        EXPECT_EQ(p->kind, c.kind);
        EXPECT_EQ((int)p->dataLength, c.dataLength);
        EXPECT_EQ(r.texts[0], " ");
        EXPECT_EQ(r.runs[0], "5/1");
        EXPECT_EQ(Para(0)->runs.Last()->format.picture, 0);
    }
    ASSERT_EQ(Read(cases[3].rtf).result, 1);
    EXPECT_EQ(doc.pictures.At(0)->data[0], 0xFF);
    EXPECT_EQ(doc.pictures.At(0)->data[3], 0xE0);
}

TEST_F(RtfReaderTest, PicturesAreMadeForTheSite) {
    PictureCodecManager codecs;
    codecs.Init(nullptr);
    TestPlayerSite site;
    site.codecs = &codecs;
    picfix::PngSpec spec;
    spec.width = 5;
    spec.height = 3;
    spec.rows.assign(5 * 3 * 3, 0x80);
    std::string png = RtfPictureGroup("pngblip", 100, 60, picfix::WritePng(spec));

    // A small Windows metafile: one rectangle.
    HDC mdc = CreateMetaFileA(nullptr);
    Rectangle(mdc, 0, 0, 10, 10);
    HMETAFILE wmf = CloseMetaFile(mdc);
    std::vector<uint8_t> bits(GetMetaFileBitsEx(wmf, 0, nullptr));
    GetMetaFileBitsEx(wmf, (UINT)bits.size(), bits.data());
    DeleteMetaFile(wmf);
    std::string meta = RtfPictureGroup("wmetafile8", 100, 100, bits);

    Reading r = Read("{\\rtf1\\pard " + png + meta + "}", &site);
    ASSERT_EQ(r.result, 1);
    ASSERT_EQ(doc.pictures.Count(), 2);
    ASSERT_NE(doc.pictures.At(0)->bitmap, nullptr);
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    doc.pictures.At(0)->bitmap->GetBufferInfo(&info);
    EXPECT_EQ(info.nWidth, 5);
    EXPECT_EQ(info.nHeight, 3);
    EXPECT_NE(doc.pictures.At(1)->metafile, nullptr);
    EXPECT_EQ(r.texts[0], "  ");

    // Without the codec list the picture stays, without a bitmap.
    r = Read("{\\rtf1\\pard " + png + "}");
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(doc.pictures.At(0)->bitmap, nullptr);
}

TEST_F(RtfReaderTest, MeasuringCountsADoubleByteCharacterOnce) {
    Reading r = Read("{\\rtf1" + kFonts + "\\pard\\f0 \xb0\xa1\\f1 ab\\tab}");
    ASSERT_EQ(r.result, 1);
    const RtfParagraph* p = Para(0);
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA def = {};
    def.lfHeight = -240;
    strcpy(def.lfFaceName, "Arial");
    int plain = RtfRangeWidth(dc, doc, def, *p, 0, 2, 0);
    EXPECT_GT(plain, 0);
    EXPECT_EQ(RtfRangeWidth(dc, doc, def, *p, 0, 2, 100), plain + 100);
    int ab = RtfRangeWidth(dc, doc, def, *p, 2, 4, 0);
    EXPECT_EQ(RtfRangeWidth(dc, doc, def, *p, 2, 4, 10), ab + 20);
    EXPECT_EQ(RtfRangeWidth(dc, doc, def, *p, 0, 4, 0), plain + ab);
    EXPECT_EQ(RtfRangeWidth(dc, doc, def, *p, 4, 5, 0), 640);  // the tab: the tab width
    int run = -2, within = -2;
    RtfLocateOffset(*p, 0, &run, &within);
    EXPECT_EQ(run, 0);
    EXPECT_EQ(within, 0);
    RtfLocateOffset(*p, 99, &run, &within);
    EXPECT_EQ(run, p->runs.Count() - 1);
    EXPECT_EQ(within, p->runs[run].length);
    RtfParagraph empty;
    RtfLocateOffset(empty, 0, &run, &within);
    EXPECT_EQ(run, -1);
    DeleteDC(dc);
}

TEST_F(RtfReaderTest, DamagedDocumentsNeverReadPastTheirEnd) {
    const std::string whole =
        "{\\rtf1\\ansi" + kFonts +
        "{\\colortbl;\\red255\\green0\\blue0;}{\\*\\generator x;}\\pard\\qc\\f0 \\'b0\\'a1\\f1 "
        "{\\b bold}\\cf1 blue\\tab\\uc2\\u21834\\'3f\\'3f\\hotword3 hot\\hotwordend"
        "{\\pict\\pngblip\\picscalex50\\picwgoal100 89504e47}\\par\\pard x}";
    ASSERT_EQ(Read(whole).result, 1);
    std::vector<std::string> damaged;
    for (size_t n = 0; n < whole.size(); ++n) damaged.push_back(whole.substr(0, n));
    picfix::Rng rng(31);
    const char swaps[] = {'{', '}', '\\', '\'', ';', ' ', '-', '9', '\0', '\xb0'};
    for (int i = 0; i < 400; ++i) {
        std::string s = whole;
        s[rng.Below((uint32_t)s.size())] = swaps[rng.Below(sizeof(swaps))];
        damaged.push_back(s);
    }
    for (const std::string& s : damaged) {
        Reading r = Read(s);
        if (!r.result)
            continue;
        for (int i = 0; i < doc.hotWords.Count(); ++i) {
            const rtfHotWord& h = doc.hotWords[i];
            ASSERT_GE(h.start, 0);
            ASSERT_LE(h.start + h.length, h.paragraph->text.Length());
        }
        for (const RtfFontEntry& f : doc.fonts) ASSERT_LT(strnlen(f.face, 32), 32u);
    }
}

// Every paragraph of a reading as bytes: its format, its text and its runs
// whole.
std::string Dump(const RtfParagraph* p) {
    std::string out;
    for (; p; p = p->next) {
        out.append(reinterpret_cast<const char*>(&p->format), sizeof(p->format));
        out += std::to_string(p->text.Length()) + ":";
        out.append(p->text.Data(), p->text.Length());
        for (int i = 0; i < p->runs.Count(); ++i)
            out.append(reinterpret_cast<const char*>(&p->runs[i]), sizeof(StrInfo));
        out += "|";
    }
    return out;
}

TEST_F(RtfReaderTest, LongTextReadsAsByteByByte) {
    // Plain single-byte text is taken in steps of many bytes: a byte that
    // ends it at any offset of such a stretch must end it as it does when
    // every byte comes alone (after an ignored word, one at a time).
    const char* stops[] = {"\t", "{x}", "}", "\r\n", "\n", "\xc4\xe3", "\x80", "\\\\", "\\par "};
    for (const char* stop : stops) {
        for (int at = 0; at <= 40; ++at) {
            std::string fast = "{\\rtf1\\ansi{\\pard ", slow = fast;
            for (int i = 0; i < 46; ++i) {
                const char c = i < at ? 'a' + i % 26 : 'A' + i % 26;
                if (i == at) {
                    fast += stop;
                    slow += std::string("\\zz ") + stop;
                }
                fast += c;
                slow += std::string("\\zz ") + c;
            }
            fast += "\\par}}";
            slow += "\\par}}";
            ASSERT_EQ(Read(slow).result, 1);
            const std::string expected = Dump(first);
            ASSERT_EQ(Read(fast).result, 1);
            EXPECT_EQ(Dump(first), expected) << fast;
        }
    }
}

TEST_F(RtfReaderTest, KeywordTablesAreSorted) {
    struct Table {
        const RtfKeyword* rows;
        int count, expected;
    } tables[] = {
        {CRtfParser::s_mainTable, CRtfParser::s_mainCount, 66},
        {CRtfParser::s_fontTable, CRtfParser::s_fontCount, 14},
        {CRtfParser::s_pictTable, CRtfParser::s_pictCount, 11},
        {CRtfParser::s_objectTable, CRtfParser::s_objectCount, 3},
    };
    for (const Table& t : tables) {
        EXPECT_EQ(t.count, t.expected);
        for (int i = 0; i < t.count; ++i) {
            if (i) {
                EXPECT_LT(strcmp(t.rows[i - 1].word, t.rows[i].word), 0) << t.rows[i].word;
            }
            EXPECT_EQ(FindRtfKeyword(t.rows, t.count, t.rows[i].word), &t.rows[i]);
        }
        EXPECT_EQ(FindRtfKeyword(t.rows, t.count, "zzz"), nullptr);
    }
}

}  // namespace
