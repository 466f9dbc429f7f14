// The substitution tables and the value primitives.
#include <gtest/gtest.h>

#include <memory>

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

// A stream over bytes it does not own reads them in place, reports how far it has read
// every few megabytes, and copies them before the first write.
TEST(Stream, AViewReadsInPlaceReportsItsProgressAndCopiesOnWrite) {
    std::vector<uint8_t> bytes(size_t(9) << 20);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    auto owner = std::make_shared<int>(1);
    CStream s = CStream::view(bytes.data(), bytes.size(), 100, owner);
    EXPECT_EQ(owner.use_count(), 2);
    EXPECT_EQ(s.data(), bytes.data());
    std::vector<size_t> reported;
    s.set_release([&](size_t at) { reported.push_back(at); });
    std::vector<uint8_t> chunk(size_t(1) << 20);
    for (int i = 0; i < 9; ++i) s.read_raw(chunk.data(), chunk.size());
    EXPECT_EQ(chunk[5], uint8_t(((size_t(8) << 20) + 5) * 7));
    EXPECT_EQ(reported, (std::vector<size_t>{size_t(4) << 20, size_t(8) << 20}));
    EXPECT_EQ(s.file_offset(), 100 + bytes.size());
    EXPECT_THROW(s.read_raw(chunk.data(), 1), StreamError);

    s.seek(0);
    WriteInt(s, -1);
    EXPECT_NE(s.data(), bytes.data());
    EXPECT_EQ(bytes[0], 0); // the viewed bytes are untouched
    EXPECT_EQ(owner.use_count(), 1);
    auto taken = s.take_bytes();
    ASSERT_EQ(taken.size(), bytes.size());
    EXPECT_EQ(taken[0], 0xff);
    EXPECT_EQ(taken[4], bytes[4]);
}
