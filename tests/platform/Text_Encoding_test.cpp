// Windows-1252 <-> UTF-8: every byte survives the trip; foreign or broken text is refused.
#include <gtest/gtest.h>

#include "platform/Text_Encoding.h"

using namespace kelvane;

TEST(TextEncoding, EveryByteValueRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        std::string one(1, char(b));
        auto back = utf8_to_cp1252(cp1252_to_utf8(one));
        ASSERT_TRUE(back) << "byte " << b;
        EXPECT_EQ(*back, one) << "byte " << b;
        all += one;
    }
    EXPECT_EQ(utf8_to_cp1252(cp1252_to_utf8(all)), all);
}

TEST(TextEncoding, KnownCharacters) {
    struct Case {
        std::string bytes, utf8;
    } cases[] = {
        {"A", "A"},
        {"\x80", "\xE2\x82\xAC"}, // euro sign
        {"\x96", "\xE2\x80\x93"}, // en dash
        {"\x9F", "\xC5\xB8"},     // Y with diaeresis
        {"\xE9", "\xC3\xA9"},     // e acute
        {"\x81", "\xC2\x81"},     // unassigned: kept as the C1 control
        {"\x9D", "\xC2\x9D"},     // unassigned: kept as the C1 control
        {std::string(1, '\0'), std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp1252_to_utf8(c.bytes), c.utf8);
        EXPECT_EQ(utf8_to_cp1252(c.utf8), c.bytes);
    }
}

TEST(TextEncoding, RefusesWhatHasNoByteOrIsNotUtf8) {
    struct Case {
        std::string utf8, reason;
    } cases[] = {
        {"\xE4\xB8\xAD", "U+4E2D has no Windows-1252 byte"}, // a CJK character
        {"\xC2\x80", "U+0080 has no Windows-1252 byte"},     // 0x80 is the euro sign instead
        {"ab\xC3", "malformed UTF-8 at byte 2"},             // cut short
        {"\xC0\x80", "malformed UTF-8"},                     // overlong
        {"\xED\xA0\x80", "malformed UTF-8"},                 // a surrogate
        {"\xFF", "malformed UTF-8"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(utf8_to_cp1252(c.utf8, &error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}
