// Memory stream blocks, seeks and stored bodies (modes 0, 1, 2, unknown),
// with zlib bodies checked against their raw bytes and damaged bodies.
#include <gtest/gtest.h>

#include "PackageWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aMemStm.h"
#include "aPrjUtil.h"
#include "bByteReader.h"
#include "bDtCmprs.h"

#include <random>
#include <string>

namespace {

CComPtr<ITeskStream> NewMem(int block = 32000) {
    CComPtr<ITeskStream> s;
    EXPECT_EQ(S_OK, CreateMemStream(&s, block));
    return s;
}

CComPtr<ITeskStream> MemWith(const std::string& bytes, int block = 32000) {
    CComPtr<ITeskStream> s = NewMem(block);
    if (!bytes.empty())
        s->Write(bytes.data(), (ULONG)bytes.size());
    s->Seek(0, TESK_SEEK_SET);
    return s;
}

std::string RandomBytes(std::mt19937& rng, size_t n, bool compressible) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = compressible ? "abcdefgh"[(rng() % 3 == 0) ? rng() % 8 : i % 8] : (char)rng();
    return s;
}

// Loads a body in a mode into a fresh memory stream; S_OK or the code.
HRESULT Load(const std::string& stored, int mode, std::string* out, ULONGLONG length = 0) {
    CComPtr<ITeskStream> src = MemWith(stored);
    CComPtr<ITeskStream> dst = NewMem();
    HRESULT hr = AsMemStream(dst)->LoadCompressed(src, length, mode);
    if (out)
        *out = Contents(dst);
    return hr;
}

}  // namespace

TEST(MemStream, GrowsByTheLargerOfTheRestAndTheGrowth) {
    CComPtr<ITeskStream> s = NewMem(32000);
    std::string data(70000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = (char)(i * 7);
    EXPECT_EQ(70000u, s->Write(data.data(), 70000));
    CMemStream* m = AsMemStream(s);
    ASSERT_EQ(2, m->BlockCount());
    EXPECT_EQ(32000, m->BlockCapacity(0));
    EXPECT_EQ(38000, m->BlockCapacity(1));
    EXPECT_EQ(70000u, s->GetSize());
    s->Seek(0, TESK_SEEK_SET);
    std::string back(70001, '\0');
    EXPECT_EQ(12000, StreamExceptCode([&] { s->Read(&back[0], 70001); }));
    EXPECT_EQ(data, Contents(s));
    // A small write past the end links a block of the growth size.
    s->Seek(0, TESK_SEEK_END);
    s->Write("x", 1);
    ASSERT_EQ(3, m->BlockCount());
    EXPECT_EQ(32000, m->BlockCapacity(2));
}

TEST(MemStream, SeeksStayWithinTheContent) {
    struct Case {
        LONGLONG offset;
        int origin;
        ULONGLONG expect;
    } cases[] = {
        {100, TESK_SEEK_SET, 50}, {60, TESK_SEEK_END, 0},
        {10, TESK_SEEK_END, 40},  {-5, TESK_SEEK_CUR, 15},
        {40, TESK_SEEK_CUR, 50},  {-30, TESK_SEEK_CUR, 0},
        {-4, TESK_SEEK_SET, 0},   {7, 5, 20},  // unknown origin: unchanged
    };
    for (const Case& c : cases) {
        CComPtr<ITeskStream> s = MemWith(std::string(50, 'q'), 8);
        s->Seek(20, TESK_SEEK_SET);
        EXPECT_EQ(S_OK, s->Seek(c.offset, c.origin));
        EXPECT_EQ(c.expect, s->GetPosition()) << c.offset << " from " << c.origin;
    }
}

// Writes, reads and seeks at random against a plain string.
TEST(MemStream, MatchesAPlainBufferOnRandomOperations) {
    std::mt19937 rng(1234);
    for (int block : {1, 7, 64, 32000}) {
        CComPtr<ITeskStream> s = NewMem(block);
        std::string model;
        size_t pos = 0;
        for (int op = 0; op < 3000; ++op) {
            switch (rng() % 3) {
                case 0: {
                    std::string chunk = RandomBytes(rng, rng() % 200, false);
                    s->Write(chunk.data(), (ULONG)chunk.size());
                    if (model.size() < pos + chunk.size())
                        model.resize(pos + chunk.size());
                    model.replace(pos, chunk.size(), chunk);
                    pos += chunk.size();
                    break;
                }
                case 1: {
                    size_t n = rng() % 150;
                    std::string got(n, '\0');
                    if (pos + n > model.size()) {
                        EXPECT_THROW(s->Read(&got[0], (ULONG)n), CTeskStreamExcept);
                    } else {
                        EXPECT_EQ(n, s->Read(n ? &got[0] : nullptr, (ULONG)n));
                        ASSERT_EQ(model.substr(pos, n), got) << "block " << block << " op " << op;
                        pos += n;
                    }
                    break;
                }
                default: {
                    LONGLONG to = (LONGLONG)(rng() % (model.size() + 20));
                    s->Seek(to, TESK_SEEK_SET);
                    pos = std::min((size_t)to, model.size());
                    break;
                }
            }
            ASSERT_EQ(pos, s->GetPosition());
            ASSERT_EQ(model.size(), s->GetSize());
        }
        EXPECT_EQ(model, Contents(s));
    }
}

// The mode byte is only kept: neither value moves the position or drops
// the content.
TEST(MemStream, ModeByteLeavesContentAndPosition) {
    CComPtr<ITeskStream> s = MemWith("abcdef");
    s->Seek(4, TESK_SEEK_SET);
    s->SetMode(0);
    EXPECT_EQ(0, s->GetMode());
    EXPECT_EQ(4u, s->GetPosition());
    EXPECT_EQ(6u, s->GetSize());
    s->SetMode(1);
    EXPECT_EQ(1, s->GetMode());
    EXPECT_EQ(4u, s->GetPosition());
    s->Write("xyz", 3);
    EXPECT_EQ("abcdxyz", Contents(s));
}

TEST(MemStream, AWriteBeyondTwoGigabytesThrows14) {
    CComPtr<ITeskStream> s = MemWith("abc");
    s->Seek(0, TESK_SEEK_END);
    char byte = 0;
    EXPECT_EQ(14, StreamExceptCode([&] { s->Write(&byte, 0x7FFFFFFF); }));
    EXPECT_EQ(3u, s->GetSize());
}

TEST(Body, UnsupportedModesAreTakenAsPlainWithALogLine) {
    struct Case {
        int mode;
        const char* log;  // null: nothing logged
    } cases[] = {
        {0, nullptr},
        {1,
         "Compress-CAB_1 is supported in 6.0.0.5, and is not supported currently-- ignored and "
         "cache data only"},
        {7, "unknown stream compress mode:7 -- ignored and cache data only"},
        {-1, "unknown stream compress mode:-1 -- ignored and cache data only"},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        LogCapture log(dir.File("log"));
        std::string got;
        EXPECT_EQ(S_OK, Load("plain bytes", c.mode, &got));
        EXPECT_EQ("plain bytes", got);
        std::string text = log.Text();
        if (c.log) {
            EXPECT_NE(std::string::npos, text.find(c.log)) << text;
        }
        if (!c.log) {
            EXPECT_EQ(std::string::npos, text.find("compress mode")) << text;
        }
    }
}

TEST(Body, SaveInUnsupportedModesWritesPlainBytesWithALogLine) {
    struct Case {
        int mode;
        const char* log;
    } cases[] = {
        {0, nullptr},
        {1,
         "Compress-CAB_1 is supported in 6.0.0.5, and is not supported currently-- ignored and "
         "copy data only"},
        {5, "unknown stream compress mode: 5-- ignored and copy data only"},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        LogCapture log(dir.File("log"));
        EXPECT_EQ("raw", MakeBody("raw", c.mode));
        std::string text = log.Text();
        if (c.log) {
            EXPECT_NE(std::string::npos, text.find(c.log)) << text;
        }
    }
}

TEST(Body, LoadTakesTheGivenLengthFromThePosition) {
    CComPtr<ITeskStream> src = MemWith("0123456789");
    src->Seek(3, TESK_SEEK_SET);
    CComPtr<ITeskStream> dst = MemWith("old content");
    ASSERT_EQ(S_OK, AsMemStream(dst)->LoadCompressed(src, 4, 0));
    EXPECT_EQ("3456", Contents(dst));
    EXPECT_EQ(7u, src->GetPosition());
    // 0 takes all that is left.
    ASSERT_EQ(S_OK, AsMemStream(dst)->LoadCompressed(src, 0, 0));
    EXPECT_EQ(0u, dst->GetPosition());
    EXPECT_EQ("789", Contents(dst));
    // Nothing left: the content stays.
    ASSERT_EQ(S_OK, AsMemStream(dst)->LoadCompressed(src, 0, 0));
    EXPECT_EQ("789", Contents(dst));
    // A length beyond the source's size is cut to the size.
    src->Seek(0, TESK_SEEK_SET);
    ASSERT_EQ(S_OK, AsMemStream(dst)->LoadCompressed(src, 100, 0));
    EXPECT_EQ("0123456789", Contents(dst));
}

// A length that passes the source's end is a short read: 12000, with the
// source not moved and the content kept (a packed stream would otherwise
// read on into the next element).
TEST(Body, LoadPastTheSourceEndThrows12000) {
    struct Case {
        ULONGLONG at, length;
    } cases[] = {{8, 3}, {8, 100}, {1, 10}};
    for (const Case& c : cases) {
        CComPtr<ITeskStream> src = MemWith("0123456789");
        src->Seek((LONGLONG)c.at, TESK_SEEK_SET);
        CComPtr<ITeskStream> dst = MemWith("old");
        EXPECT_EQ(12000, StreamExceptCode(
                             [&] { AsMemStream(dst)->LoadCompressed(src, c.length, BODY_PLAIN); }))
            << "at " << c.at << " for " << c.length;
        EXPECT_EQ(c.at, src->GetPosition());
        EXPECT_EQ("old", Contents(dst));
    }
}

TEST(Body, ZlibBodyOfAbc) {
    std::string body = MakeBody("abc", BODY_ZLIB);
    ASSERT_GE(body.size(), 16u + 2);
    // header: size 16, level -1, raw length 3, packed length
    EXPECT_EQ(std::string("\x10\0\0\0\xFF\xFF\xFF\xFF\x03\0\0\0", 12), body.substr(0, 12));
    CByteReader r(body.data() + 12, 4);
    EXPECT_EQ(body.size() - 16, r.U32LE());
    EXPECT_EQ('\x78', body[16]);  // zlib stream, deflate
    std::string raw;
    EXPECT_EQ(S_OK, Load(body, BODY_ZLIB, &raw));
    EXPECT_EQ("abc", raw);
}

TEST(Body, EmptyBodies) {
    EXPECT_EQ("", MakeBody("", BODY_ZLIB));  // not even the header
    std::string raw = "x";
    // raw length 0: nothing written, success
    EXPECT_EQ(S_OK,
              Load(CByteWriter().U32(16).U32(0xFFFFFFFF).U32(0).U32(0).Str(), BODY_ZLIB, &raw));
    EXPECT_EQ("", raw);
}

// Sizes around the 32000-byte buffers, compressible or not.
TEST(Body, ZlibRoundTripsOnRandomInput) {
    std::mt19937 rng(99);
    for (size_t n : {1u, 100u, 31999u, 32000u, 32001u, 64000u, 200000u}) {
        for (bool compressible : {true, false}) {
            std::string raw = RandomBytes(rng, n, compressible);
            std::string body = MakeBody(raw, BODY_ZLIB);
            ASSERT_GE(body.size(), 16u);
            CByteReader r(body.data(), body.size());
            r.Skip(8);
            EXPECT_EQ(n, r.U32LE());
            EXPECT_EQ(body.size() - 16, r.U32LE());
            std::string back;
            ASSERT_EQ(S_OK, Load(body, BODY_ZLIB, &back)) << n;
            EXPECT_TRUE(back == raw) << n << (compressible ? " compressible" : " random");
        }
    }
}

// Compression runs from the source's position; a body followed by other
// bytes leaves the source just after the body.
TEST(Body, CompressFromThePositionAndReadExactlyOneBody) {
    CComPtr<ITeskStream> src = MemWith("skipthis-payload");
    src->Seek(9, TESK_SEEK_SET);
    CComPtr<ITeskStream> out = MemWith("lead");
    out->Seek(0, TESK_SEEK_END);
    ASSERT_EQ(S_OK, CompressBuffer(src, out));
    out->Write("tail", 4);
    out->Seek(4, TESK_SEEK_SET);
    CComPtr<ITeskStream> raw = NewMem();
    ASSERT_EQ(S_OK, UncompressBuffer(out, raw));
    EXPECT_EQ("payload", Contents(raw));
    char tail[4];
    out->Read(tail, 4);
    EXPECT_EQ(std::string("tail"), std::string(tail, 4));
}

TEST(Body, DamagedZlibBodies) {
    std::string raw(5000, '\0');
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = "zlib body "[i % 10] + (char)(i / 700);
    std::string good = MakeBody(raw, BODY_ZLIB);
    ASSERT_GT(good.size(), 40u);
    auto withU32 = [&](size_t at, uint32_t v) {
        std::string s = good;
        for (int i = 0; i < 4; ++i) s[at + i] = (char)(v >> (8 * i));
        return s;
    };
    uint32_t packed = (uint32_t)(good.size() - 16);
    struct Case {
        const char* what;
        std::string stored;
        HRESULT expect;
        const char* log;
        size_t consumed;  // bytes of the source read on success
    } cases[] = {
        {"header size 20", withU32(0, 20), E_FAIL, nullptr, 0},
        {"not zlib at all", good.substr(0, 16) + std::string(packed, '\x55'), E_FAIL,
         "inflate with Z_NO_FLUSH failed(-3)", 0},
        {"raw length too small", withU32(8, 100), E_FAIL, "longer than its raw length", 0},
        {"zlib stream cut short", withU32(12, packed / 2), S_OK, "inflate with FINISH failed",
         16 + packed / 2},
        {"no zlib bytes", withU32(12, 0), S_OK, "inflate with FINISH failed", 16},
        {"bytes after the zlib stream", withU32(12, packed + 3) + "xyz", S_OK, nullptr,
         good.size() + 3},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        LogCapture log(dir.File("log"));
        CComPtr<ITeskStream> src = MemWith(c.stored);
        CComPtr<ITeskStream> dst = NewMem();
        EXPECT_EQ(c.expect, AsMemStream(dst)->LoadCompressed(src, 0, BODY_ZLIB)) << c.what;
        EXPECT_LE(dst->GetSize(), raw.size()) << c.what;
        if (c.expect == S_OK) {
            EXPECT_EQ(c.consumed, src->GetPosition()) << c.what;  // exactly the body
            std::string got = Contents(dst);
            EXPECT_EQ(raw.substr(0, got.size()), got) << c.what;
        }
        std::string text = log.Text();
        if (c.log) {
            EXPECT_NE(std::string::npos, text.find(c.log)) << c.what << text;
        }
        if (c.expect == E_FAIL) {
            EXPECT_NE(std::string::npos, text.find("decompress/cache data failed")) << c.what;
        }
    }

    // The packed length passes what is left: the source's short read throws.
    CComPtr<ITeskStream> src = MemWith(withU32(12, packed + 100));
    CComPtr<ITeskStream> dst = NewMem();
    EXPECT_EQ(12000,
              StreamExceptCode([&] { AsMemStream(dst)->LoadCompressed(src, 0, BODY_ZLIB); }));
}

// Every byte of a body flipped in turn: an error code, or the decoded part
// of the raw bytes; never more than the raw length and never a hang.
TEST(Body, EveryFlippedByteIsHandled) {
    std::string raw(3000, '\0');
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = (char)("abcabd"[i % 6] ^ (i / 500));
    std::string good = MakeBody(raw, BODY_ZLIB);
    for (size_t at = 0; at < good.size(); ++at) {
        for (int mask : {0xFF, 0x01}) {
            std::string bad = good;
            bad[at] = (char)(bad[at] ^ mask);
            CComPtr<ITeskStream> src = MemWith(bad);
            CComPtr<ITeskStream> dst = NewMem();
            HRESULT hr = E_FAIL;
            try {
                hr = AsMemStream(dst)->LoadCompressed(src, 0, BODY_ZLIB);
            } catch (const CTeskStreamExcept& e) {
                EXPECT_EQ(12000, e.GetCode());
                continue;
            }
            EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << at;
            EXPECT_LE(dst->GetSize(), 0xFFFFFFFFull);
            if (at >= 8 && at < 12)
                continue;  // raw length itself changed
            EXPECT_LE(dst->GetSize(), raw.size()) << at;
        }
    }
}

// A zlib body read as it inflates (never held) gives what the memory stream
// would hold, fails where it fails, leaves the source after the body, and
// reads right however its reader seeks and whatever else moves the source.
TEST(Body, ReadAsItInflatesMatchesTheHeldBody) {
    std::mt19937 rng(99);
    std::string raw = RandomBytes(rng, 200000, true);
    std::string good = MakeBody(raw, BODY_ZLIB);
    uint32_t packed = (uint32_t)(good.size() - 16);
    auto withU32 = [&](size_t at, uint32_t v) {
        std::string b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = (char)(v >> (8 * i));
        return b;
    };
    struct Case {
        const char* what;
        std::string stored;
    } cases[] = {
        {"whole", good + "tail"},
        {"zlib stream cut short", withU32(12, packed / 2)},
        {"bytes after the zlib stream", withU32(12, packed + 3) + "xyz"},
        {"raw length too small", withU32(8, 100)},
        {"not zlib at all", good.substr(0, 16) + std::string(packed, '\x55')},
        {"header size 20", withU32(0, 20)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string held;
        CComPtr<ITeskStream> src = MemWith(c.stored);
        CComPtr<ITeskStream> dst = NewMem();
        HRESULT expected = AsMemStream(dst)->LoadCompressed(src, 0, BODY_ZLIB);
        ULONGLONG after = src->GetPosition();
        held = Contents(dst);

        src = MemWith(c.stored);
        CComPtr<ITeskStream> body;
        HRESULT hr = CacheStreamBody(src, StreamRemaining(src), BODY_ZLIB, &body);
        ASSERT_EQ(expected, hr);
        if (FAILED(hr))
            continue;
        EXPECT_EQ(after, src->GetPosition());
        ASSERT_EQ(held.size(), body->GetSize());
        size_t pos = 0;
        for (int op = 0; op < 400; ++op) {
            src->Seek((LONGLONG)(rng() % (c.stored.size() + 1)), TESK_SEEK_SET);
            if (rng() % 3) {
                size_t n = rng() % 5000;
                std::string got(n, '\0');
                if (pos + n > held.size()) {
                    EXPECT_EQ(12000, StreamExceptCode([&] { body->Read(&got[0], (ULONG)n); }));
                } else {
                    body->Read(n ? &got[0] : nullptr, (ULONG)n);
                    ASSERT_EQ(held.substr(pos, n), got) << "op " << op;
                    pos += n;
                }
            } else {
                int origin = (int)(rng() % 3);
                LONGLONG offset = (LONGLONG)(rng() % (held.size() + 10));
                body->Seek(offset, origin);
                LONGLONG to = origin == TESK_SEEK_SET   ? offset
                              : origin == TESK_SEEK_CUR ? (LONGLONG)pos + offset
                                                        : (LONGLONG)held.size() - offset;
                pos = (size_t)std::max<LONGLONG>(0, std::min<LONGLONG>(to, held.size()));
            }
            ASSERT_EQ(pos, body->GetPosition());
        }
    }
}
