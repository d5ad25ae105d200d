// Rich text: the RTF reader on a 1 MB document of GBK and Latin text with a
// format change every 40 bytes, against a plain loop that splits the same
// bytes into control words and text (goal within 3 x); redrawing a laid-out
// 4,000-byte document of three fonts into 800 x 600, against TextOutA of the
// same line parts with the document's fonts made once (goal within 1.5 x); and the time
// of the first layout.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "aGDIBuf.h"
#include "aRTFObj.h"
#include "rtfParse.h"

namespace {

const char kHeader[] =
    "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}"
    "{\\f1\\fswiss Arial;}{\\f2\\froman Times New Roman;}}"
    "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue200;}\\pard ";

// Text pieces of 40 bytes, GBK and Latin, each after a format change.
std::string Document(size_t bytes) {
    static const char* changes[] = {"\\b ",      "\\b0 ", "\\cf1 ",  "\\cf2\\i ",
                                    "\\i0\\f0 ", "\\f1 ", "\\fs28 ", "\\fs20\\f2 "};
    static const std::string gbk =
        "\xc4\xe3\xba\xc3\xca\xc0\xbd\xe7\xce\xc4\xd7\xd6\xb2\xe2\xca\xd4\xb6\xc1\xc8\xa1";
    std::string latin = "The quick brown fox jumps over a dog";
    std::string doc = kHeader;
    for (int i = 0; doc.size() < bytes; ++i) {
        doc += changes[i % 8];
        std::string piece = (i & 1) ? gbk + gbk : latin + " ab ";
        doc.append(piece, 0, 40);
        if (i % 12 == 11)
            doc += "\\par\r\n";
    }
    return doc + "\\par}";
}

// The reference: control words (with their numbers) and runs of text.
size_t SplitPlain(const std::string& s) {
    size_t words = 0, text = 0;
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        char c = *p++;
        if (c == '\\') {
            while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))) ++p;
            while (p < end && ((*p >= '0' && *p <= '9') || *p == '-')) ++p;
            if (p < end && *p == ' ')
                ++p;
            ++words;
        } else if (c != '{' && c != '}' && c != '\r' && c != '\n') {
            ++text;
        }
    }
    return words + text;
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    // ---- the reader ----
    const std::string big = Document(1 << 20);
    int paragraphs = 0;
    double reader = BestOf(
        [&] {
            RtfDocument doc;
            CRtfParser parser;
            parser.SetText(big.data(), big.size());
            parser.SetTables(&doc.fonts, &doc.colors, &doc.pictures, &doc.hotWords);
            parser.Run(&doc.first, &paragraphs);
        },
        5);
    volatile size_t sink = 0;
    double plain = BestOf([&] { sink = sink + SplitPlain(big); }, 5);
    printf(
        "RTF reader on %zu bytes (%d paragraphs), against a plain split into words and text: "
        "reader %.2f ms, plain %.2f ms: now %.2f x, goal 3 x\n",
        big.size(), paragraphs, reader * 1000, plain * 1000, reader / plain);

    // ---- layout and redraw ----
    std::string small = Document(4000);
    IUnknown* unknown = nullptr;
    if (FAILED(CreateRTFObject(&unknown)) || !unknown)
        return 1;
    IObjectBase* base = nullptr;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    RTFObject* rtf = static_cast<RTFObject*>(base);
    rtf->MoveTo(400, 300);
    rtf->SetWidth(800);
    rtf->SetHeight(600);
    rtf->Frame()->SetShown(FALSE);
    double layout = FastestRun(
        [&] {
            rtf->LoadDocument(small.data(), (DWORD)small.size(), "bench.rtf");
            rtf->Layout();
        },
        5);
    IPixelBuffer* target = CreateGDIBuffer(800, 600);
    RECT bounds;
    rtf->GetBoundsRect(&bounds);
    double redraw = BestOf([&] { rtf->DrawContent(target, &bounds); }, 20);

    // The reference: every line part with TextOutA, the fonts made once.
    struct Part {
        int font, x, y;
        std::string text;
    };
    std::vector<Part> parts;
    // One font per distinct run font of the document, in pixels.
    std::vector<HFONT> fonts;
    std::vector<LOGFONTA> made;
    const RtfDocument& doc = rtf->Document();
    LOGFONTA none = {};
    auto fontOf = [&](const StrInfo& run) {
        LOGFONTA lf;
        RtfRunLogFont(run, doc.fonts, none, &lf);
        lf.lfHeight = lf.lfHeight / 15;  // twips to pixels at 96 dots an inch
        for (size_t i = 0; i < made.size(); ++i)
            if (memcmp(&made[i], &lf, sizeof(lf)) == 0)
                return (int)i;
        made.push_back(lf);
        fonts.push_back(CreateFontIndirectA(&lf));
        return (int)fonts.size() - 1;
    };
    int y = 0;
    for (const RtfParagraph* p = doc.first; p; p = p->next)
        for (const RtfLine& line : p->lines) {
            y += (line.leading + line.height) / 15;
            if (y > 600)
                break;
            int start = 0, x = line.x / 15;
            for (int r = 0; r < p->runs.Count(); ++r) {
                int from = std::max(start, line.firstByte);
                int to = std::min(start + p->runs[r].length, line.firstByte + line.bytes);
                start += p->runs[r].length;
                if (to > from) {
                    parts.push_back(
                        {fontOf(p->runs[r]), x, y, std::string(p->text.Data() + from, to - from)});
                    x += (to - from) * 7;
                }
            }
        }
    HDC dc = nullptr;
    target->GetDC(&dc);
    SetBkMode(dc, TRANSPARENT);
    double text = BestOf(
        [&] {
            for (const Part& part : parts) {
                SelectObject(dc, fonts[part.font]);
                TextOutA(dc, part.x, part.y, part.text.data(), (int)part.text.size());
            }
            GdiFlush();
        },
        20);
    target->ReleaseDC(dc);
    printf(
        "redraw of a laid-out %zu-byte document of three fonts into 800 x 600, against TextOutA "
        "of its %zu line parts with its %zu fonts made once: redraw %.3f ms, TextOutA %.3f ms: now "
        "%.2f x, goal 1.5 x\n",
        small.size(), parts.size(), fonts.size(), redraw * 1000, text * 1000, redraw / text);
    printf("first layout of the document (reading included): %.3f ms\n", layout * 1000);
    for (HFONT f : fonts) DeleteObject(f);
    target->Release();
    base->Release();
    unknown->Release();
    CoUninitialize();
    return 0;
}
