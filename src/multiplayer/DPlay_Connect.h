// Connections and finding sessions. A connection names where sessions are looked for (the
// local network, or one host) and the port sessions are held on; the finder keeps asking
// in the background and remembers who answered.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "multiplayer/DPlay_Low.h"
#include "platform/Network.h"

namespace kelvane {

enum ConnectionKind : int32_t {
    connection_none = 0,
    connection_ipx = 1, // the local network
    connection_tcpip = 2,
    connection_modem = 3,
    connection_serial = 4,
};

// The port sessions are held on when the game names none: KELVANE_MPLAY_PORT when set to a
// port number, else 25490.
uint16_t default_session_port();

struct RConnection {
    int32_t kind = connection_none;
    uint16_t port = 0;
    // One host to ask; empty: the local network.
    std::string host_name;
    std::optional<uint32_t> host;
};

// The local network on the default port.
RConnection lan_connection();
// A TCP/IP address text: "" the local network, "name" or "name:port" one host; the port
// after the first ":" (decimal). Nullopt when the port is not a port number.
std::optional<RConnection> tcpip_connection(const std::string& address);

// Where queries go: the named host, or every interface's broadcast address and this
// machine itself. KELVANE_MPLAY_BROADCAST (addresses separated by commas) replaces the
// local network's list, so that tests never reach a real network.
std::vector<RNetAddress> query_targets(const RConnection& c);

struct RFoundSession {
    uint64_t key = 0;
    std::string name;
    RNetAddress address;
};

class CSessionFinder {
  public:
    using Clock = std::chrono::steady_clock;
    CSessionFinder(const GameGuid& game, const RConnection& where);
    // Asks again.
    void query();
    // Takes the answers that have arrived.
    void poll();
    // The sessions that answered lately, in the order first heard (at most 256).
    std::vector<RFoundSession> sessions() const;
    // When the first query went out, and whether any answer has come since.
    Clock::time_point first_query() const { return first_query_; }
    bool heard() const { return !heard_.empty(); }

  private:
    struct Heard {
        RFoundSession session;
        Clock::time_point when;
    };
    GameGuid game_;
    RConnection where_;
    std::unique_ptr<DatagramSocket> socket_;
    std::vector<Heard> heard_;
    Clock::time_point first_query_{};
};

} // namespace kelvane
