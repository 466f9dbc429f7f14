// Connections and the session finder.
#include "multiplayer/DPlay_Connect.h"

#include <algorithm>
#include <cstdlib>

namespace kelvane {

namespace {

std::optional<uint16_t> parse_port(const std::string& s) {
    if (s.empty() || s.size() > 5) return std::nullopt;
    uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + uint32_t(c - '0');
    }
    if (v == 0 || v > 65535) return std::nullopt;
    return uint16_t(v);
}

// Sessions not heard from for this long are no longer listed.
constexpr auto forget_after = std::chrono::seconds(3);
// The most sessions remembered at once: answers come from anyone on the network, so a
// flood of made-up sessions must not grow the list without end.
constexpr size_t max_heard = 256;

} // namespace

uint16_t default_session_port() {
    const char* env = std::getenv("KELVANE_MPLAY_PORT");
    if (env)
        if (auto p = parse_port(env)) return *p;
    return 25490;
}

RConnection lan_connection() {
    RConnection c;
    c.kind = connection_ipx;
    c.port = default_session_port();
    return c;
}

std::optional<RConnection> tcpip_connection(const std::string& address) {
    RConnection c;
    c.kind = connection_tcpip;
    c.port = default_session_port();
    std::string host = address;
    size_t colon = address.find(':');
    if (colon != std::string::npos) {
        auto port = parse_port(address.substr(colon + 1));
        if (!port) return std::nullopt;
        c.port = *port;
        host = address.substr(0, colon);
    }
    c.host_name = host;
    if (!host.empty()) c.host = resolve_ipv4(host);
    return c;
}

std::vector<RNetAddress> query_targets(const RConnection& c) {
    std::vector<RNetAddress> out;
    if (!c.host_name.empty()) {
        if (c.host) out.push_back({*c.host, c.port});
        return out;
    }
    if (const char* env = std::getenv("KELVANE_MPLAY_BROADCAST")) {
        std::string list = env;
        size_t at = 0;
        while (at <= list.size()) {
            size_t comma = list.find(',', at);
            if (comma == std::string::npos) comma = list.size();
            if (auto ip = resolve_ipv4(list.substr(at, comma - at))) out.push_back({*ip, c.port});
            at = comma + 1;
        }
        return out;
    }
    for (uint32_t b : broadcast_addresses()) out.push_back({b, c.port});
    // Sessions held on this machine: the loopback interface does not broadcast.
    out.push_back({loopback_ipv4, c.port});
    return out;
}

CSessionFinder::CSessionFinder(const GameGuid& game, const RConnection& where)
    : game_(game), where_(where), socket_(DatagramSocket::open()) {}

void CSessionFinder::query() {
    if (!socket_) return;
    if (first_query_ == Clock::time_point()) first_query_ = Clock::now();
    std::vector<uint8_t> q = encode_query(game_);
    for (const RNetAddress& to : query_targets(where_)) socket_->send_to(to, q);
}

void CSessionFinder::poll() {
    if (!socket_) return;
    auto now = Clock::now();
    std::erase_if(heard_, [&](const Heard& h) { return now - h.when >= forget_after; });
    RNetAddress from;
    std::vector<uint8_t> bytes;
    // Bounded, so that a flood of datagrams cannot hold the game.
    for (int i = 0; i < 256 && socket_->receive(from, bytes); ++i) {
        auto a = decode_answer(bytes);
        if (!a || a->game != game_ || a->port == 0) continue;
        RFoundSession s{a->session_key, a->name, {from.ipv4, a->port}};
        auto same = std::find_if(heard_.begin(), heard_.end(),
                                 [&](const Heard& h) { return h.session.key == s.key; });
        if (same == heard_.end()) {
            if (heard_.size() < max_heard) heard_.push_back({s, Clock::now()});
        } else {
            same->session.name = s.name;
            same->when = Clock::now();
        }
    }
}

std::vector<RFoundSession> CSessionFinder::sessions() const {
    std::vector<RFoundSession> out;
    auto now = Clock::now();
    for (const Heard& h : heard_)
        if (now - h.when < forget_after) out.push_back(h.session);
    return out;
}

} // namespace kelvane
