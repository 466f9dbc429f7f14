// What travels between the players of a session, byte for byte: the game's payloads
// (messages and shared-data writes), the envelope that names their sender or receiver, our
// own system messages (joining, players coming and going) and the datagrams that find
// sessions. Every decoder takes untrusted bytes and answers nullopt for anything malformed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "code/Variable_Class.h"

namespace kelvane {

using GameGuid = std::array<uint8_t, 16>;

// The largest payload a game may send or receive.
constexpr size_t max_payload = 10000;
// Names (sessions, players) travel cut to this length.
constexpr size_t max_wire_name = 1000;
// The most players a session's lists may hold on the wire.
constexpr size_t max_wire_players = 4096;

// The channels of a connection: our own system messages, guaranteed payloads and
// unguaranteed ones.
constexpr uint8_t system_channel = 0;
constexpr uint8_t guaranteed_channel = 1;
constexpr uint8_t unguaranteed_channel = 2;
constexpr size_t channel_count = 3;
// What a connecting runner gives, so that a host can tell its own kind from strangers.
constexpr uint32_t connect_magic = 0x4B564C31;

// A payload as received: a message (kind 1) or a shared-data write (kind 0), with the id or
// index and the value; `sender` is filled in from the connection it came by.
struct RMessageRecord {
    int32_t sender = 0;
    bool message = true;
    int32_t id = 0;
    RValue value;
};

// The payload: kind byte, id (int32), value type byte (1 string, 0 real), then the string's
// length and characters or the real's 8 bytes; little-endian. Nullopt when it would be
// longer than max_payload.
std::optional<std::vector<uint8_t>> encode_payload(bool message, int32_t id, const RValue& value);
// Exactly one well-formed payload of at most max_payload bytes, or nullopt.
std::optional<RMessageRecord> decode_payload(std::span<const uint8_t> bytes);

// The envelope of a payload: a player id (the receiver on the way to the host, the sender
// on the way from it) before the payload's bytes.
std::vector<uint8_t> wrap_payload(int32_t player, std::span<const uint8_t> payload);
bool unwrap_payload(std::span<const uint8_t> bytes, int32_t& player,
                    std::span<const uint8_t>& payload);

// One player as the host announces it: id, the address the host sees it at, name.
struct RPlayerEntry {
    int32_t id = 0;
    uint32_t ipv4 = 0;
    std::string name;
    bool operator==(const RPlayerEntry&) const = default;
};

// Our own traffic on the system channel.
struct RSystemMessage {
    enum Kind : uint8_t {
        join = 1,      // to the host: game, session key, player id wanted (0: new), name
        welcome = 2,   // from the host: player id given, host id, migration, limit, name, players
        refused = 3,   // from the host: reason
        player_in = 4, // a player (players[0]) joined
        player_out = 5 // player `player` left
    };
    enum Reason : uint8_t { other_game = 1, session_full = 2 };
    Kind kind = join;
    GameGuid game{};
    uint64_t session_key = 0;
    int32_t player = 0;
    int32_t host = 0;
    bool migration = false;
    int32_t max_players = 0;
    uint8_t reason = 0;
    std::string name;
    std::vector<RPlayerEntry> players;
    bool operator==(const RSystemMessage&) const = default;
};
std::vector<uint8_t> encode_system(const RSystemMessage& m);
std::optional<RSystemMessage> decode_system(std::span<const uint8_t> bytes);

// Finding sessions: a query names the game; each host of a session of that game answers
// with the session.
struct RSessionAnswer {
    GameGuid game{};
    uint64_t session_key = 0;
    uint16_t port = 0;
    int32_t players = 0;
    int32_t max_players = 0;
    std::string name;
    bool operator==(const RSessionAnswer&) const = default;
};
std::vector<uint8_t> encode_query(const GameGuid& game);
std::optional<GameGuid> decode_query(std::span<const uint8_t> bytes);
std::vector<uint8_t> encode_answer(const RSessionAnswer& a);
std::optional<RSessionAnswer> decode_answer(std::span<const uint8_t> bytes);

} // namespace kelvane
