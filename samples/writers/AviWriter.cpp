#include "AviWriter.h"

#include <vector>

#include "ByteWriter.h"

uint32_t AviFrameColour(int frame) {
    const uint32_t red = (uint32_t)(40 + frame * 20) & 0xFF;
    const uint32_t green = (uint32_t)(200 - frame * 15) & 0xFF;
    return red << 16 | green << 8 | 0x30;
}

namespace {

const uint32_t kPcmRate = 8000;

// A chunk: four-character id, u32 size, the bytes, a pad byte to an even size.
std::string Chunk(const char* id, const std::string& body) {
    CByteWriter w;
    w.Bytes(id, 4).U32((uint32_t)body.size()).Bytes(body);
    if (body.size() % 2)
        w.U8(0);
    return w.Str();
}

std::string List(const char* type, const std::string& body) {
    return Chunk("LIST", std::string(type, 4) + body);
}

// Bottom-up rows (a positive height): the top row is the last one stored.
// Rows padded to 4 bytes.
uint32_t Stride(const AviSpec& s) {
    return (uint32_t)((s.width * s.bits / 8 + 3) & ~3);
}

std::string FrameBytes(const AviSpec& s, int frame) {
    CByteWriter w;
    for (int y = s.height - 1; y >= 0; --y) {
        const uint32_t colour = y == 0 ? kAviMarkColour : AviFrameColour(frame);
        for (int x = 0; x < s.width; ++x) {
            if (s.bits == 32)
                w.U32(colour);
            else
                w.U16((uint16_t)colour).U8((uint8_t)(colour >> 16));
        }
        w.Zeros(Stride(s) - (uint32_t)(s.width * s.bits / 8));
    }
    return w.Str();
}

std::string StreamHeader(const char* type, const char* handler, uint32_t rate, uint32_t length,
                         uint32_t buffer, uint32_t sampleSize, const AviSpec& s) {
    CByteWriter w;
    w.Bytes(type, 4).Bytes(handler, 4);
    w.U32(0).U16(0).U16(0).U32(0);          // flags, priority, language, initial frames
    w.U32(1).U32(rate).U32(0).U32(length);  // scale, rate, start, length
    w.U32(buffer).U32(0xFFFFFFFF).U32(sampleSize);
    w.U16(0).U16(0).U16((uint16_t)s.width).U16((uint16_t)s.height);  // frame rectangle
    return w.Str();
}

}  // namespace

std::string AviFile(const AviSpec& s) {
    const uint32_t frameSize = Stride(s) * (uint32_t)s.height;
    const uint32_t soundPerFrame = kPcmRate / (uint32_t)s.fps;

    CByteWriter avih;
    avih.U32(1000000 / s.fps).U32(frameSize * s.fps + (s.sound ? kPcmRate : 0)).U32(0);
    avih.U32(0x10);  // AVIF_HASINDEX
    avih.U32(s.frames).U32(0).U32(s.sound ? 2 : 1).U32(frameSize);
    avih.U32(s.width).U32(s.height).Zeros(16);

    CByteWriter bih;  // BITMAPINFOHEADER: BI_RGB, bottom-up
    bih.U32(40).U32(s.width).U32(s.height).U16(1).U16((uint16_t)s.bits).U32(0).U32(frameSize);
    bih.U32(0).U32(0).U32(0).U32(0);
    std::string headers =
        Chunk("avih", avih.Str()) +
        List("strl", Chunk("strh", StreamHeader("vids", "DIB ", s.fps, s.frames, frameSize, 0, s)) +
                         Chunk("strf", bih.Str()));
    if (s.sound) {
        CByteWriter wf;  // WAVEFORMATEX: PCM, mono, 8 bits
        wf.U16(1).U16(1).U32(kPcmRate).U32(kPcmRate).U16(1).U16(8).U16(0);
        headers += List("strl",
                        Chunk("strh", StreamHeader("auds", "\0\0\0\0", kPcmRate,
                                                   soundPerFrame * s.frames, soundPerFrame, 1, s)) +
                            Chunk("strf", wf.Str()));
    }

    std::string movi;
    CByteWriter index;
    for (int k = 0; k < s.frames; ++k) {
        // Offsets count from the "movi" type.
        index.Bytes("00db", 4).U32(0x10).U32((uint32_t)movi.size() + 4).U32(frameSize);
        movi += Chunk("00db", FrameBytes(s, k));
        if (s.sound) {
            index.Bytes("01wb", 4).U32(0x10).U32((uint32_t)movi.size() + 4).U32(soundPerFrame);
            movi += Chunk("01wb", std::string(soundPerFrame, '\x80'));
        }
    }
    const std::string body =
        List("hdrl", headers) + List("movi", movi) + Chunk("idx1", index.Str());
    return Chunk("RIFF", "AVI " + body);
}
