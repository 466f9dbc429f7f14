// A game's multiplayer state: its connection, the session it holds or joined, the players,
// the shared data and the message queue. The host of a session relays: every other player
// is connected to the host only, and the host passes each payload on to its receivers.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "multiplayer/DPlay_Connect.h"
#include "multiplayer/DPlay_Shared.h"

namespace kelvane {

class NetHost;
struct RNetEvent;

enum SessionStatus : int32_t { session_none = 0, session_created = 1, session_joined = 2 };

class CMultiplayer {
  public:
    using Clock = std::chrono::steady_clock;
    CMultiplayer() = default;
    ~CMultiplayer();
    CMultiplayer(const CMultiplayer&) = delete;
    CMultiplayer& operator=(const CMultiplayer&) = delete;

    // The game's identifier: only sessions of the same game are found and joined.
    GameGuid game{};
    // Host migration for sessions created later.
    bool migration_mode = false;
    // Shared-data writes are sent guaranteed.
    bool data_guaranteed = true;
    // The player has been told once that there are no modem or serial connections.
    bool told_no_hardware = false;

    // Connecting; false while a connection exists.
    bool connect(const RConnection& c);
    int32_t connection() const { return conn_.kind; }
    // Ends the session and the connection.
    void end();

    bool session_create(const std::string& name, int32_t max_players, const std::string& player);
    // The sessions that have answered so far; asks again in the background.
    int32_t session_find();
    std::string session_name(int32_t n) const;
    // Joins found session n, waiting a moment for the host's answer.
    bool session_join(int32_t n, const std::string& player);
    int32_t session_status() const { return status_; }
    void session_end();

    // Players: entry 0 is our own.
    int32_t player_find();
    std::string player_name(int32_t n) const;
    int32_t player_id(int32_t n) const;
    // The id of the first player of a fresh list with exactly this name.
    std::optional<int32_t> player_named(const std::string& name);

    bool data_write(int32_t index, const RValue& value);
    RValue data_read(int32_t index);

    // Sends a message to a player id, or to every other player (0).
    bool send(int32_t player, int32_t id, const RValue& value, bool guaranteed);
    bool receive(int32_t player);
    const RMessageRecord& current() const { return current_; }
    // The current message's sender in a fresh player list, or "(unknown)".
    std::string sender_name();
    int32_t count(int32_t player);
    void clear(int32_t player);

    // Network work that never waits: takes what arrived, notices who left, answers queries.
    void poll();
    bool in_session() const { return conn_.kind != connection_none && status_ != session_none; }

    const CMessageQueue& queue() const { return queue_; }

  private:
    struct RPlayer {
        int32_t id = 0;
        std::string name;
        uint32_t ipv4 = 0; // where the host sees it (0: the host itself)
        int32_t peer = -1; // host: its connection; -1 while it has still to come back
    };

    RConnection conn_;
    std::unique_ptr<CSessionFinder> finder_;
    std::vector<RFoundSession> found_;
    int32_t status_ = session_none;

    std::unique_ptr<NetHost> net_;
    bool hosting_ = false;
    std::string session_name_;
    int32_t max_players_ = 0;
    bool migration_ = false;
    uint64_t key_ = 0;
    uint16_t session_port_ = 0;
    int32_t own_id_ = 0;
    std::string own_name_;
    std::vector<RPlayer> players_; // the others
    std::vector<RPlayer> listed_;  // the list the game reads, own player first
    int32_t next_id_ = 1;
    // Joined: the host and our connection to it.
    int32_t host_id_ = 0;
    int32_t host_peer_ = -1;
    RNetAddress host_address_;
    // Moving to a new host after the old one left.
    bool migrating_ = false;
    Clock::time_point migrate_until_{};
    RNetAddress migrate_to_;
    Clock::time_point rejoin_until_{};
    // Session answers given lately.
    Clock::time_point answer_window_{};
    int answers_ = 0;

    CMessageQueue queue_;
    SharedData data_;
    RMessageRecord current_;

    void handle(const RNetEvent& e);
    void host_event(const RNetEvent& e);
    void client_event(const RNetEvent& e);
    void host_join(int32_t peer, const RSystemMessage& m);
    void welcome(const RSystemMessage& m);
    void player_left(int32_t id);
    void send_join();
    void relay(int32_t from, int32_t to, uint8_t channel, std::span<const uint8_t> payload);
    void deliver(int32_t sender, std::span<const uint8_t> payload);
    bool send_payload(int32_t to, std::span<const uint8_t> payload, bool guaranteed);
    void send_system(int32_t peer, const RSystemMessage& m);
    void host_left();
    void become_host();
    void lose_session();
    RPlayer* player(int32_t id);
    bool start_hosting(uint16_t port);
};

} // namespace kelvane
