// Sessions between players in one process on the loopback interface: the player list and
// matching by id and name, shared data stored only when sent, what a stranger's connection
// can and cannot put into a host's queue, the channels each kind of traffic takes, and a
// player that vanishes without a word. The side that is not being called is served on a
// second thread while the other waits (joining waits for the host's answer).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

#include "multiplayer/DPlay_Main.h"
#include "multiplayer/Free_Port.h"
#include "platform/Network.h"

using namespace kelvane;

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

class LoopbackSession : public ::testing::Test {
  protected:
    uint16_t port = free_udp_port();
    GameGuid game{7, 7, 7, 1};
    CMultiplayer host, guest;

    RConnection where() const { return *tcpip_connection("127.0.0.1:" + std::to_string(port)); }

    void SetUp() override {
        ASSERT_NE(port, 0);
        host.game = guest.game = game;
        ASSERT_TRUE(host.connect(where()));
        ASSERT_TRUE(guest.connect(where()));
        ASSERT_TRUE(host.session_create("duel", 0, "Ann"));
    }

    // Runs `f` here while `other` is served on a second thread.
    template <typename F> auto serving(CMultiplayer& other, F f) {
        std::atomic<bool> done{false};
        std::thread t([&] {
            while (!done) {
                other.poll();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        auto r = f();
        done = true;
        t.join();
        return r;
    }

    // Serves `all` until `done` holds; false when it does not within a generous time.
    static bool until(std::initializer_list<CMultiplayer*> all, const std::function<bool()>& done) {
        auto limit = Clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (Clock::now() > limit) return false;
            for (CMultiplayer* m : all) m->poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    bool join(CMultiplayer& who, const std::string& name) {
        return serving(host, [&] {
            auto limit = Clock::now() + std::chrono::seconds(20);
            while (who.session_find() == 0 && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            return who.session_join(0, name);
        });
    }
};

// A client that speaks the wire format by hand: it joins as `name` and then sends
// whatever a test wants, on whatever channel.
struct RawPlayer {
    std::unique_ptr<NetHost> net = NetHost::create(0, 1, channel_count);
    int32_t peer = -1;
    int32_t id = 0;
    std::vector<RNetEvent> received;

    // Waits for one event while the host is served; false after a generous time.
    bool next(CMultiplayer& host, RNetEvent& e) {
        auto limit = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < limit) {
            host.poll();
            if (net->service(e, 2)) return true;
        }
        return false;
    }
    bool join(CMultiplayer& host, const GameGuid& game, uint16_t port, const std::string& name) {
        CSessionFinder finder(game, *tcpip_connection("127.0.0.1:" + std::to_string(port)));
        finder.query();
        auto limit = Clock::now() + std::chrono::seconds(20);
        while (finder.sessions().empty() && Clock::now() < limit) {
            host.poll();
            finder.poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (finder.sessions().empty()) return false;
        peer = net->connect({loopback_ipv4, port}, connect_magic);
        RNetEvent e;
        while (next(host, e)) {
            if (e.kind == RNetEvent::connected) {
                RSystemMessage j;
                j.kind = RSystemMessage::join;
                j.game = game;
                j.session_key = finder.sessions()[0].key;
                j.name = name;
                net->send(peer, system_channel, encode_system(j), true);
                net->flush();
            } else if (e.kind == RNetEvent::received && e.channel == system_channel) {
                auto m = decode_system(e.bytes);
                if (m && m->kind == RSystemMessage::welcome) return id = m->player, true;
            } else if (e.kind == RNetEvent::disconnected) {
                return false;
            }
        }
        return false;
    }
    void send(uint8_t channel, const Bytes& bytes) {
        net->send(peer, channel, bytes, channel != unguaranteed_channel);
        net->flush();
    }
    // Takes what the host sent until `n` game payloads arrived.
    bool payloads(CMultiplayer& host, size_t n) {
        RNetEvent e;
        while (received.size() < n && next(host, e))
            if (e.kind == RNetEvent::received && e.channel != system_channel)
                received.push_back(std::move(e));
        return received.size() >= n;
    }
};

Bytes payload(bool message, int32_t id, const RValue& v) {
    return *encode_payload(message, id, v);
}

} // namespace

TEST_F(LoopbackSession, PlayersAreListedOwnFirstAndMatchedByIdAndName) {
    // Only the host listens on the session port: a second session on it cannot be had.
    CMultiplayer second;
    second.game = game;
    ASSERT_TRUE(second.connect(where()));
    EXPECT_FALSE(second.session_create("other", 0, "Eve"));
    EXPECT_EQ(second.session_status(), session_none);

    ASSERT_TRUE(join(guest, "Bob"));
    EXPECT_EQ(guest.session_status(), session_joined);
    EXPECT_EQ(host.session_status(), session_created);
    ASSERT_TRUE(until({&host, &guest}, [&] { return host.player_find() == 2; }));
    ASSERT_EQ(guest.player_find(), 2);
    const int32_t bob = guest.player_id(0), ann = host.player_id(0);
    EXPECT_NE(bob, ann);
    EXPECT_EQ(guest.player_name(0), "Bob");
    EXPECT_EQ(guest.player_name(1), "Ann");
    EXPECT_EQ(guest.player_id(1), ann);
    EXPECT_EQ(host.player_name(0), "Ann");
    EXPECT_EQ(host.player_name(1), "Bob");
    EXPECT_EQ(host.player_id(1), bob);
    for (int32_t out : {-1, 2, 1000}) {
        EXPECT_EQ(host.player_name(out), "") << out;
        EXPECT_EQ(host.player_id(out), 0) << out;
    }
    EXPECT_EQ(host.player_named("Bob"), bob);
    EXPECT_EQ(guest.player_named("Ann"), ann);
    EXPECT_EQ(guest.player_named("ann"), std::nullopt); // names match exactly
    EXPECT_EQ(guest.player_named("Nobody"), std::nullopt);

    // To the host by id, to everybody, and to nobody that exists.
    EXPECT_TRUE(guest.send(ann, 5, RValue("to Ann"), true));
    EXPECT_TRUE(guest.send(0, 6, RValue(6.0), true));
    EXPECT_FALSE(guest.send(ann + bob + 10, 7, RValue(7.0), true));
    ASSERT_TRUE(until({&host, &guest}, [&] { return host.count(0) == 2; }));
    EXPECT_EQ(host.count(bob), 2);
    EXPECT_EQ(host.count(ann), 0);
    EXPECT_EQ(guest.count(0), 0); // a message to everybody does not come back to its sender
    EXPECT_FALSE(host.receive(ann));
    ASSERT_TRUE(host.receive(bob));
    EXPECT_EQ(host.current().id, 5);
    EXPECT_EQ(host.current().value.str.str(), "to Ann");
    EXPECT_EQ(host.current().sender, bob);
    EXPECT_EQ(host.sender_name(), "Bob");

    // Once the sender has left, its name is no longer known.
    guest.session_end();
    EXPECT_EQ(guest.session_status(), session_none);
    ASSERT_TRUE(until({&host}, [&] { return host.player_find() == 1; }));
    EXPECT_EQ(host.sender_name(), "(unknown)");
    ASSERT_TRUE(host.receive(0));
    EXPECT_EQ(host.current().id, 6);
}

TEST_F(LoopbackSession, SharedDataIsStoredOnlyWhenItWasSent) {
    ASSERT_TRUE(join(guest, "Bob"));
    EXPECT_TRUE(host.data_write(3, RValue("first")));
    ASSERT_TRUE(until({&host, &guest}, [&] { return guest.data_read(3).is_string(); }));
    EXPECT_EQ(guest.data_read(3).str.str(), "first");
    // Last write wins, on both sides.
    EXPECT_TRUE(guest.data_write(3, RValue(2.5)));
    EXPECT_EQ(guest.data_read(3).real, 2.5);
    ASSERT_TRUE(until({&host, &guest}, [&] { return host.data_read(3).is_real(); }));
    EXPECT_EQ(host.data_read(3).real, 2.5);
    // A value too long for a payload is not sent, so it is not stored either.
    RValue too_long(RString(std::string(max_payload, 'x')));
    EXPECT_FALSE(host.data_write(4, too_long));
    EXPECT_FALSE(host.data_read(4).is_string());
    EXPECT_FALSE(host.data_write(10001, RValue(5.0)));
    EXPECT_FALSE(host.data_write(-1, RValue(5.0)));
    EXPECT_EQ(host.data_read(-1).real, 0.0);
    EXPECT_EQ(host.data_read(10001).real, 0.0);
    // Without a session nothing is sent and nothing stored.
    guest.session_end();
    EXPECT_FALSE(guest.data_write(5, RValue(1.0)));
    EXPECT_EQ(guest.data_read(3).real, 0.0);
}

TEST_F(LoopbackSession, AStrangersMalformedOrMisdirectedTrafficNeverReachesTheQueue) {
    RawPlayer raw;
    ASSERT_TRUE(raw.join(host, game, port, "Raw"));
    ASSERT_EQ(host.player_find(), 2);
    // A payload on the system channel, a system message on a payload channel, and
    // payloads that are malformed or too long: all dropped.
    raw.send(system_channel, wrap_payload(0, payload(true, 100, RValue(1.0))));
    RSystemMessage fake;
    fake.kind = RSystemMessage::player_in;
    fake.players = {{99, 0, "Ghost"}};
    raw.send(system_channel, encode_system(fake));
    raw.send(guaranteed_channel, encode_system(fake));
    Bytes bad_kind = payload(true, 101, RValue(1.0));
    bad_kind[0] = 2;
    raw.send(guaranteed_channel, wrap_payload(0, bad_kind));
    Bytes lying = payload(true, 102, RValue("abc"));
    lying[6] = 4;
    raw.send(guaranteed_channel, wrap_payload(0, lying));
    Bytes huge(max_payload + 1, 0);
    huge[0] = 1, huge[5] = 1;
    uint32_t n = uint32_t(max_payload + 1 - 10);
    std::memcpy(&huge[6], &n, 4);
    raw.send(guaranteed_channel, wrap_payload(0, huge));
    raw.send(guaranteed_channel, Bytes{1, 2});
    raw.send(unguaranteed_channel, wrap_payload(0, payload(false, 10001, RValue(9.0))));
    // What is well-formed arrives, stamped with the stranger's id, not the one it claims.
    raw.send(guaranteed_channel, wrap_payload(0, payload(true, 7, RValue("fine"))));
    raw.send(unguaranteed_channel, wrap_payload(0, payload(false, 9, RValue("u"))));
    ASSERT_TRUE(
        until({&host}, [&] { return host.count(0) >= 1 && host.data_read(9).is_string(); }));
    for (int i = 0; i < 50; ++i)
        host.poll(), std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(host.count(0), 1);
    ASSERT_TRUE(host.receive(0));
    EXPECT_EQ(host.current().id, 7);
    EXPECT_EQ(host.current().sender, raw.id);
    EXPECT_EQ(host.sender_name(), "Raw");
    EXPECT_EQ(host.player_find(), 2); // no ghost
    EXPECT_EQ(host.player_named("Ghost"), std::nullopt);

    // Each kind of the host's traffic takes its own channel.
    host.data_guaranteed = false;
    EXPECT_TRUE(host.send(0, 1, RValue(1.0), true));
    EXPECT_TRUE(host.send(raw.id, 2, RValue(2.0), false));
    EXPECT_TRUE(host.data_write(3, RValue(3.0)));
    host.data_guaranteed = true;
    EXPECT_TRUE(host.data_write(4, RValue(4.0)));
    ASSERT_TRUE(raw.payloads(host, 4));
    // The channels are separate streams: the payloads are told apart by their ids.
    std::map<int32_t, uint8_t> channel_of;
    for (const RNetEvent& e : raw.received) {
        int32_t sender = 0;
        std::span<const uint8_t> inner;
        ASSERT_TRUE(unwrap_payload(e.bytes, sender, inner));
        auto r = decode_payload(inner);
        ASSERT_TRUE(r);
        EXPECT_EQ(sender, host.player_id(0));
        EXPECT_EQ(r->message, r->id <= 2) << r->id;
        channel_of[r->id] = e.channel;
    }
    EXPECT_EQ(channel_of, (std::map<int32_t, uint8_t>{{1, guaranteed_channel},
                                                      {2, unguaranteed_channel},
                                                      {3, unguaranteed_channel},
                                                      {4, guaranteed_channel}}));
}

TEST_F(LoopbackSession, APlayerThatVanishesIsNoticedWithinSeconds) {
    RawPlayer raw;
    ASSERT_TRUE(raw.join(host, game, port, "Raw"));
    ASSERT_TRUE(join(guest, "Bob"));
    ASSERT_TRUE(until({&host, &guest}, [&] { return guest.player_find() == 3; }));
    raw.net.reset(); // gone without a goodbye
    auto gone = Clock::now();
    ASSERT_TRUE(until({&host, &guest}, [&] { return guest.player_find() == 2; }));
    auto seconds = std::chrono::duration<double>(Clock::now() - gone).count();
    EXPECT_LT(seconds, 8.0);
    EXPECT_EQ(host.player_find(), 2);
    EXPECT_EQ(guest.player_named("Raw"), std::nullopt);
    EXPECT_EQ(guest.session_status(), session_joined);
}

// Answers to a search come from anyone: a flood of made-up sessions fills the list only up
// to its bound, and answers for another game are not listed at all.
TEST(SessionFinder, AFloodOfMadeUpSessionsIsBounded) {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    socklen_t len = sizeof at;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &len), 0);
    timeval wait{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    GameGuid game{4, 2};
    CSessionFinder finder(game,
                          *tcpip_connection("127.0.0.1:" + std::to_string(ntohs(at.sin_port))));
    finder.query();
    uint8_t query[64];
    sockaddr_in asker{};
    len = sizeof asker;
    ASSERT_GT(::recvfrom(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&asker), &len), 0);
    ASSERT_EQ(decode_query(std::span<const uint8_t>(query, 21)), game);

    auto answer = [&](const GameGuid& g, uint64_t key) {
        Bytes a = encode_answer({g, key, 2300, 1, 0, "made up " + std::to_string(key)});
        ::sendto(fd, a.data(), a.size(), 0, reinterpret_cast<sockaddr*>(&asker), sizeof asker);
    };
    GameGuid other{4, 3};
    answer(other, 5000);
    for (uint64_t key = 1; key <= 1000; ++key) {
        answer(game, key);
        if (key % 50 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            finder.poll();
        }
    }
    for (int i = 0; i < 20; ++i)
        finder.poll(), std::this_thread::sleep_for(std::chrono::milliseconds(2));
    auto found = finder.sessions();
    EXPECT_EQ(found.size(), 256u);
    EXPECT_EQ(found.front().name, "made up 1");
    for (const RFoundSession& s : found) EXPECT_NE(s.key, 5000u);
    ::close(fd);
}

TEST_F(LoopbackSession, ASessionTakesNoMorePlayersThanItsLimit) {
    host.session_end();
    ASSERT_TRUE(host.session_create("pair", 2, "Ann"));
    ASSERT_TRUE(join(guest, "Bob"));
    CMultiplayer third;
    third.game = game;
    ASSERT_TRUE(third.connect(where()));
    EXPECT_FALSE(join(third, "Cyd"));
    EXPECT_EQ(third.session_status(), session_none);
    EXPECT_EQ(host.player_find(), 2);
    // Once a place is free, it can be taken.
    guest.session_end();
    ASSERT_TRUE(until({&host}, [&] { return host.player_find() == 1; }));
    EXPECT_TRUE(join(third, "Cyd"));
    EXPECT_EQ(third.player_find(), 2);
    EXPECT_EQ(third.player_name(1), "Ann");
}
