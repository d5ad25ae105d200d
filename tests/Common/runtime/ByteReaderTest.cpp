// The checked reader and the little-endian helpers under it.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bByteOrder.h"
#include "bByteReader.h"

namespace {

// Put and Get agree with the byte order written out by hand, at every
// alignment of the field.
TEST(ByteOrder, FieldsAreLittleEndianAtAnyAlignment) {
    for (size_t at = 0; at < 8; ++at) {
        std::vector<uint8_t> b(24, 0xEE);
        PutU16LE(&b[at], 0x1234);
        EXPECT_EQ(b[at], 0x34);
        EXPECT_EQ(b[at + 1], 0x12);
        EXPECT_EQ(b[at + 2], 0xEE);  // nothing past the field
        EXPECT_EQ(GetU16LE(&b[at]), 0x1234);
        PutU32LE(&b[at], 0x89ABCDEFu);
        EXPECT_EQ((std::vector<uint8_t>(b.begin() + at, b.begin() + at + 5)),
                  (std::vector<uint8_t>{0xEF, 0xCD, 0xAB, 0x89, 0xEE}));
        EXPECT_EQ(GetU32LE(&b[at]), 0x89ABCDEFu);
        PutU64LE(&b[at], 0x0102030405060708ull);
        EXPECT_EQ(b[at], 0x08);
        EXPECT_EQ(b[at + 7], 0x01);
        EXPECT_EQ(b[at + 8], 0xEE);
        EXPECT_EQ(GetU64LE(&b[at]), 0x0102030405060708ull);
    }
    std::mt19937_64 rng(7);
    for (int i = 0; i < 1000; ++i) {
        uint8_t b[8];
        const uint64_t v = rng();
        PutU64LE(b, v);
        CByteReader r(b, sizeof(b));
        EXPECT_EQ(r.U64LE(), v);
        EXPECT_EQ(GetU32LE(b), (uint32_t)v);
        EXPECT_EQ(GetU16LE(b + 6), (uint16_t)(v >> 48));
    }
}

// A sub-reader of a sub-reader still knows where it is in the file.
TEST(ByteReader, SubReadersKeepTheirFileOffset) {
    std::vector<uint8_t> file(64, 0);
    CByteReader whole(file.data() + 16, 48, 16);  // a window read from offset 16
    EXPECT_EQ(whole.FileOffset(), 16u);
    whole.Skip(4);
    CByteReader record = whole.Sub(20);
    EXPECT_EQ(record.FileOffset(), 20u);
    EXPECT_EQ(whole.FileOffset(), 40u);
    record.U32LE();
    CByteReader field = record.Sub(8);
    EXPECT_EQ(field.FileOffset(), 24u);
    field.U16LE();
    EXPECT_EQ(field.FileOffset(), 26u);
    EXPECT_EQ(field.Position(), 2u);
    // A sub-reader past the end is failed and empty.
    CByteReader beyond = whole.Sub(100);
    EXPECT_TRUE(beyond.Failed());
    EXPECT_EQ(beyond.Size(), 0u);
    EXPECT_TRUE(whole.Failed());
}

}  // namespace
