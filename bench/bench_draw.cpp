// Fill and text speed against references measured in the same run: every
// gradient profile and a texture over 1920 x 1080 against a solid FillRect
// of the same buffer; 4,000 bytes of mixed CJK and Latin text wrapped and
// drawn by the font object against the same lines drawn by plain TextOutA.
// Each line gives milliseconds per call and the ratio to the reference.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "aGDIBuf.h"
#include "bFillGrd.h"
#include "bFillShd.h"
#include "bFillTex.h"
#include "bdrawtxt.h"

namespace {

// Fastest time of several runs, each long enough to measure; the runs of a
// pair alternate so that a busy machine slows both alike.
std::vector<double> Best(std::vector<std::function<void()>> ops) {
    std::vector<int> calls;
    for (auto& op : ops) {
        op();
        int n = 1;
        for (;;) {
            double t0 = Now();
            for (int i = 0; i < n; ++i) op();
            double t = Now() - t0;
            if (t > 0.05 || n > (1 << 20))
                break;
            n *= 2;
        }
        calls.push_back(n);
    }
    std::vector<double> best(ops.size(), 1e30);
    for (int round = 0; round < 7; ++round)
        for (size_t i = 0; i < ops.size(); ++i) {
            double t0 = Now();
            for (int k = 0; k < calls[i]; ++k) ops[i]();
            best[i] = std::min(best[i], (Now() - t0) / calls[i]);
        }
    return best;
}

// limit: of the ratio; goal: of the time itself (one frame at 60 Hz).
void Report(const char* name, double t, double ref, const char* limit, const char* goal = nullptr) {
    printf("%-26s %8.2f ms  ratio %6.2f  (reference %.2f ms)%s%s%s%s\n", name, t * 1000, t / ref,
           ref * 1000, limit ? "  limit " : "", limit ? limit : "", goal ? "  goal <= " : "",
           goal ? goal : "");
}

void Fills() {
    const int W = 1920, H = 1080;
    IPixelBuffer* buffer = CreateGDIBuffer(W, H);
    RECT all = {0, 0, W, H};
    const char* names[] = {"horizontal", "vertical", "box",    "four corners",
                           "corner",     "radial",   "angular"};
    const char* limits[] = {"1.5", "1.5", "12", "12", "12", "12", nullptr};
    for (int type = 0; type < 7; ++type) {
        FillObject* fill = CreateFillObject();
        fill->SetFillType(1);
        void* p = nullptr;
        fill->GetFillParams(&p);
        auto* g = static_cast<IGradientFillParams*>(p);
        g->SetGradType(type);
        g->SetRepeat(2);
        g->SetColor1(RGB(250, 20, 90));
        g->SetColor2(RGB(10, 80, 200));
        std::vector<double> t = Best({[&] { buffer->FillRect(&all, RGB(1, 2, 3)); },
                                      [&] { fill->Render(&all, buffer, nullptr, nullptr); }});
        Report(names[type], t[1], t[0], limits[type], type == 6 ? "16 ms" : nullptr);
        fill->Release();
    }
    // The texture: its first drawing builds the field and palette, later ones
    // paint from them.
    FillObject* texture = CreateFillObject();
    texture->SetFillType(3);
    double built = 1e30;
    for (int i = 0; i < 3; ++i) {
        void* p = nullptr;
        texture->GetFillParams(&p);
        static_cast<ITextureFillParams*>(p)->SetTextureType(i % 2);
        double t0 = Now();
        texture->Render(&all, buffer, nullptr, nullptr);
        built = std::min(built, Now() - t0);
    }
    std::vector<double> t = Best({[&] { buffer->FillRect(&all, RGB(1, 2, 3)); },
                                  [&] { texture->Render(&all, buffer, nullptr, nullptr); }});
    Report("texture (built)", built, t[0], nullptr, "16 ms");
    Report("texture (repainted)", t[1], t[0], nullptr);
    texture->Release();
    buffer->Release();
}

void Text() {
    // 4,000 bytes: runs of Chinese and Latin words, a few line ends.
    std::string text;
    const char* cjk[] = {"\xD6\xD0\xCE\xC4", "\xB2\xE2\xCA\xD4", "\xCE\xC4\xD7\xD6",
                         "\xB2\xA5\xB7\xC5\xC6\xF7"};
    const char* latin[] = {"player ", "presentation ", "text ", "wrap ", "Mavro "};
    unsigned seed = 7;
    while (text.size() < 4000) {
        seed = seed * 1103515245u + 12345u;
        int k = (seed >> 16) % 12;
        if (k < 6)
            text += cjk[k % 4];
        else if (k < 11)
            text += latin[k - 6];
        else
            text += "\r\n";
    }
    text.resize(4000);
    if (IsDBCSLeadByte((BYTE)text[3999]))
        text[3999] = 'x';

    IPixelBuffer* buffer = CreateGDIBuffer(1920, 1080);
    LOGFONTA lf = {};
    lf.lfHeight = -12;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    strcpy(lf.lfFaceName, "\xCB\xCE\xCC\xE5");
    FontObject* font = nullptr;
    CreateFontObject(&font);
    font->SetLogFont(&lf);
    font->SetText(text.c_str());
    RECT rect = {0, 0, 600, 1080};

    // The reference: the same lines, laid out once, drawn by TextOutA.
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    HFONT hfont = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, hfont);
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    std::vector<TextLine> lines;
    LayoutTextLines(dc, text.data(), (int)text.size(), 600, true, &lines);
    // The breaks are the plain rule's: measured character by character.
    std::vector<TextLine> plain;
    {
        int start = 0, p = 0, len = (int)text.size();
        while (p < len) {
            if (text[p] == 13) {
                int step = p + 1 < len && text[p + 1] == 10 ? 2 : 1;
                plain.push_back({start, p - start});
                start = p += step;
                continue;
            }
            int step = p + 1 < len && IsDBCSLeadByte((BYTE)text[p]) ? 2 : 1;
            SIZE size;
            GetTextExtentPoint32A(dc, text.data() + start, p + step - start, &size);
            if (size.cx > 600) {
                plain.push_back({start, p - start});
                start = p;
            }
            p += step;
        }
        plain.push_back({start, len - start});
    }
    bool same = plain.size() == lines.size();
    for (size_t i = 0; same && i < lines.size(); ++i)
        same = plain[i].start == lines[i].start && plain[i].length == lines[i].length;
    std::vector<double> t = Best({[&] {
                                      int y = 0;
                                      for (const TextLine& l : lines) {
                                          if (l.length)
                                              TextOutA(dc, 0, y, text.data() + l.start, l.length);
                                          y += tm.tmHeight;
                                      }
                                      GdiFlush();
                                  },
                                  [&] {
                                      SelectObject(dc, old);
                                      font->DrawToDC(dc, &rect);
                                      SelectObject(dc, hfont);
                                      GdiFlush();
                                  }});
    SelectObject(dc, old);
    DeleteObject(hfont);
    buffer->ReleaseDC(dc);
    printf("text: %zu lines, line breaks %s the character-by-character rule\n", lines.size(),
           same ? "equal" : "DIFFER FROM");
    Report("text wrapped and drawn", t[1], t[0], "2");
    font->Release();
    buffer->Release();
}

}  // namespace

int main() {
    Fills();
    Text();
    return 0;
}
