// The substitution tables and the value primitives.
#include <gtest/gtest.h>

#include "stream/Support_Stream.h"

using namespace kelvane;

TEST(SubstitutionTable, SeedsZeroAndNegativeAreIdentity) {
    for (int32_t seed : {0, -1, -12345}) {
        SubstitutionTable t;
        t.set_seed(seed);
        for (int b = 0; b < 256; ++b) {
            EXPECT_EQ(t.encode(uint8_t(b)), b);
            EXPECT_EQ(t.decode(uint8_t(b)), b);
        }
    }
}

TEST(SubstitutionTable, DecodeInvertsEncodeAndKeepsZero) {
    for (int32_t seed : {1, 2, 77, 253, 254, 255, 1000, 214748}) {
        SubstitutionTable t;
        t.set_seed(seed);
        EXPECT_EQ(t.encode(0), 0);
        for (int b = 0; b < 256; ++b) EXPECT_EQ(t.decode(t.encode(uint8_t(b))), b) << seed;
    }
}

TEST(SubstitutionTable, SeedOneFollowsTheExchangeOrder) {
    uint8_t expect[256];
    for (int i = 0; i < 256; ++i) expect[i] = uint8_t(i);
    for (int i = 1; i <= 10000; ++i) {
        int j = i % 254 + 1;
        std::swap(expect[j], expect[j + 1]);
    }
    SubstitutionTable t;
    t.set_seed(1);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(t.encode(uint8_t(b)), expect[b]);
}

TEST(Stream, ValuesRoundTripThroughASeededTable) {
    SubstitutionTable t;
    t.set_seed(4321);
    CStream out;
    out.set_table(&t);
    WriteInt(out, -123456789);
    WriteReal(out, 3.25);
    WriteString(out, "h\xe9llo");
    WriteBool(out, true);
    WriteBlock(out, {1, 2, 3});
    CStream in(out.take_bytes());
    in.set_table(&t);
    EXPECT_EQ(ReadInt(in), -123456789);
    EXPECT_EQ(ReadReal(in), 3.25);
    EXPECT_EQ(ReadString(in), "h\xe9llo");
    EXPECT_TRUE(ReadBool(in));
    CStream block = ReadBlock(in);
    EXPECT_EQ(block.bytes(), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(block.position(), 0u);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(Stream, StoredLengthsAndBooleans) {
    CStream s;
    WriteInt(s, -5); // a negative string length: empty text, only the length consumed
    WriteInt(s, 0);
    WriteInt(s, -7); // bool false
    WriteInt(s, 2);  // bool true
    WriteInt(s, 0);  // empty block
    CStream in(s.take_bytes());
    EXPECT_EQ(ReadString(in), "");
    EXPECT_EQ(in.position(), 4u);
    EXPECT_EQ(ReadString(in), "");
    EXPECT_FALSE(ReadBool(in));
    EXPECT_TRUE(ReadBool(in));
    EXPECT_EQ(ReadBlock(in).size(), 0u);
}

TEST(Stream, MalformedLengthsThrowWithTheOffset) {
    CStream s;
    WriteInt(s, 7);
    WriteInt(s, -1);  // negative block length
    WriteInt(s, 100); // string longer than what is left
    CStream in(s.take_bytes(), 1000);
    ReadInt(in);
    try {
        ReadBlock(in);
        FAIL() << "negative block accepted";
    } catch (const StreamError& e) {
        EXPECT_EQ(e.offset(), 1004u);
    }
    EXPECT_THROW(ReadString(in), StreamError);
    CStream empty;
    EXPECT_THROW(ReadInt(empty), StreamError);
    EXPECT_THROW(ReadReal(empty), StreamError);
}
