// The multiplayer wire format, the message queue, player matching, the shared-data bounds
// and the connection texts.
#include <gtest/gtest.h>

#include <cstring>

#include "multiplayer/DPlay_Connect.h"
#include "multiplayer/DPlay_Low.h"
#include "multiplayer/DPlay_Main.h"
#include "multiplayer/DPlay_Shared.h"

using namespace kelvane;

namespace {
using Bytes = std::vector<uint8_t>;
RMessageRecord record(int32_t sender, int32_t id) {
    RMessageRecord r;
    r.sender = sender;
    r.id = id;
    r.value = RValue(double(id));
    return r;
}
} // namespace

TEST(WireFormat, AStringOfThreeIsThirteenBytesAndARealFourteen) {
    auto s = encode_payload(true, 0x01020304, RValue("abc"));
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, (Bytes{1, 4, 3, 2, 1, 1, 3, 0, 0, 0, 'a', 'b', 'c'}));
    auto r = encode_payload(false, -2, RValue(1.5));
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (Bytes{0, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));

    auto back = decode_payload(*s);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->message);
    EXPECT_EQ(back->id, 0x01020304);
    EXPECT_EQ(back->value.str.str(), "abc");
    back = decode_payload(*r);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->message);
    EXPECT_EQ(back->id, -2);
    EXPECT_TRUE(back->value.is_real());
    EXPECT_EQ(back->value.real, 1.5);
}

TEST(WireFormat, PayloadsAreBoundedAndMalformedOnesRefused) {
    EXPECT_EQ(encode_payload(true, 1, RValue(RString(std::string(9990, 'x'))))->size(), 10000u);
    EXPECT_FALSE(encode_payload(true, 1, RValue(RString(std::string(9991, 'x')))));
    Bytes longest(10000, 'x');
    longest[0] = 1, longest[5] = 1;
    uint32_t n = 9990;
    std::memcpy(&longest[6], &n, 4);
    EXPECT_TRUE(decode_payload(longest));
    const Bytes bad[] = {
        {},
        {1, 0, 0, 0},
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8},          // real cut short
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0}, // a byte too many
        {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F},    // no such kind
        {1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F},    // no such value type
        {1, 0, 0, 0, 0, 1, 4, 0, 0, 0, 'a', 'b', 'c'},       // length beyond the end
        {1, 0, 0, 0, 0, 1, 2, 0, 0, 0, 'a', 'b', 'c'},       // bytes beyond the string
        {1, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 'a'},     // a huge length
    };
    for (const Bytes& b : bad) EXPECT_FALSE(decode_payload(b)) << b.size();
    Bytes too_long = longest;
    too_long.push_back('x');
    n = 9991;
    std::memcpy(&too_long[6], &n, 4);
    EXPECT_FALSE(decode_payload(too_long));
}

TEST(WireFormat, SystemMessagesAndSessionAnswersComeBackAsSent) {
    RSystemMessage w;
    w.kind = RSystemMessage::welcome;
    w.player = 3, w.host = 1, w.migration = true, w.max_players = 4, w.session_key = 77;
    w.name = "duel";
    w.players = {{1, 0, "Ann"}, {2, 0x7F000001, "Bob"}};
    EXPECT_EQ(decode_system(encode_system(w)), w);
    RSystemMessage j;
    j.kind = RSystemMessage::join;
    j.game[3] = 9, j.session_key = 5, j.player = 2, j.name = "Bob";
    EXPECT_EQ(decode_system(encode_system(j)), j);
    RSessionAnswer a{j.game, 99, 2300, 2, 0, "duel"};
    EXPECT_EQ(decode_answer(encode_answer(a)), a);
    EXPECT_EQ(decode_query(encode_query(j.game)), j.game);
    EXPECT_FALSE(decode_query(encode_answer(a)));

    // A welcome that claims more players than its bytes can hold is refused before any is
    // read; so is one cut anywhere.
    Bytes lying = encode_system(w);
    size_t count_at = lying.size() - (4 + 4 + 4 + 3) * 2 - 4;
    lying[count_at] = 0xFF, lying[count_at + 1] = 0xFF;
    EXPECT_FALSE(decode_system(lying));
    Bytes whole = encode_system(w);
    for (size_t cut = 0; cut < whole.size(); ++cut)
        EXPECT_FALSE(decode_system(std::span<const uint8_t>(whole.data(), cut))) << cut;
}

TEST(WireFormat, TheEnvelopeNamesAPlayer) {
    Bytes payload = *encode_payload(true, 5, RValue(2.0));
    Bytes wrapped = wrap_payload(7, payload);
    int32_t player = 0;
    std::span<const uint8_t> inner;
    ASSERT_TRUE(unwrap_payload(wrapped, player, inner));
    EXPECT_EQ(player, 7);
    EXPECT_EQ(Bytes(inner.begin(), inner.end()), payload);
    EXPECT_FALSE(unwrap_payload(Bytes{1, 2, 3}, player, inner));
}

TEST(MessageQueue, TakesInArrivalOrderMatchingTheSender) {
    CMessageQueue q;
    for (int32_t i = 1; i <= 6; ++i) q.append(record(i % 2 ? 10 : 20, i));
    RMessageRecord r;
    EXPECT_EQ(q.count(0), 6);
    EXPECT_EQ(q.count(20), 3);
    EXPECT_EQ(q.count(30), 0);
    ASSERT_TRUE(q.take(20, r));
    EXPECT_EQ(r.id, 2);
    EXPECT_EQ(q.read_position(), 0u); // the first record is still unread
    ASSERT_TRUE(q.take(0, r));
    EXPECT_EQ(r.id, 1);
    EXPECT_EQ(q.read_position(), 2u); // past both consumed records
    EXPECT_FALSE(q.take(-20, r));
    EXPECT_EQ(q.count(0), 4);
    q.clear(10);
    EXPECT_EQ(q.size(), 2u); // cleared and consumed records are gone
    ASSERT_TRUE(q.take(0, r));
    EXPECT_EQ(r.id, 4);
    ASSERT_TRUE(q.take(0, r));
    EXPECT_EQ(r.id, 6);
    EXPECT_FALSE(q.take(0, r));
}

TEST(MessageQueue, AFullQueueIsCompactedAndThenDrops) {
    CMessageQueue q;
    for (int32_t i = 0; i < 4000; ++i) ASSERT_TRUE(q.append(record(1, i)));
    EXPECT_FALSE(q.append(record(1, 4000)));
    RMessageRecord r;
    ASSERT_TRUE(q.take(1, r));
    ASSERT_TRUE(q.take(1, r));
    EXPECT_EQ(q.size(), 4000u);
    // Room made by removing the two consumed records, order kept.
    EXPECT_TRUE(q.append(record(1, 4001)));
    EXPECT_TRUE(q.append(record(1, 4002)));
    EXPECT_FALSE(q.append(record(1, 4003)));
    EXPECT_EQ(q.size(), 4000u);
    ASSERT_TRUE(q.take(0, r));
    EXPECT_EQ(r.id, 2);
    q.clear(0);
    EXPECT_EQ(q.size(), 0u);
    EXPECT_EQ(q.count(0), 0);
}

TEST(SharedData, IndicesOutsideTheSlotsReadZeroAndAreNotStored) {
    SharedData d;
    d.set(10000, RValue("last"));
    d.set(10001, RValue(5.0));
    d.set(-1, RValue(5.0));
    EXPECT_EQ(d.get(10000).str.str(), "last");
    for (int32_t i : {-1, 10001, INT32_MAX}) {
        EXPECT_TRUE(d.get(i).is_real());
        EXPECT_EQ(d.get(i).real, 0.0);
    }
}

TEST(Multiplayer, WithoutASessionNothingIsSentOrRead) {
    CMultiplayer mp;
    EXPECT_FALSE(mp.data_write(0, RValue(1.0)));
    EXPECT_FALSE(mp.send(0, 1, RValue(1.0), true));
    EXPECT_FALSE(mp.receive(0));
    EXPECT_EQ(mp.player_find(), 0);
    EXPECT_EQ(mp.sender_name(), "");
    EXPECT_EQ(mp.session_find(), 0);
    EXPECT_EQ(mp.session_name(0), "");
    EXPECT_FALSE(mp.session_create("s", 0, "p")); // no connection
    EXPECT_FALSE(mp.session_join(0, "p"));
}

TEST(Connection, AddressTextsGiveTheHostAndThePort) {
    auto c = tcpip_connection("10.0.0.2:2300");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->kind, connection_tcpip);
    EXPECT_EQ(c->port, 2300);
    ASSERT_TRUE(c->host);
    EXPECT_EQ(*c->host, 0x0A000002u);
    EXPECT_EQ(query_targets(*c), (std::vector<RNetAddress>{{0x0A000002u, 2300}}));
    c = tcpip_connection("127.0.0.1");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->port, default_session_port());
    c = tcpip_connection("");
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->host_name.empty()); // the local network
    for (const char* bad : {"host:", "host:0", "host:65536", "host:12a", "host:-1"})
        EXPECT_FALSE(tcpip_connection(bad)) << bad;
}
