// Sessions on the network seam. The host listens on the session port and relays; the others
// hold one connection to it. Channel 0 carries our own system messages, channel 1 the
// guaranteed payloads and channel 2 the unguaranteed ones; a payload travels in an envelope
// that names its receiver (to the host) or its sender (from the host), so no player can
// send in another's name.
#include "multiplayer/DPlay_Main.h"

#include <algorithm>
#include <random>
#include <thread>

#include "platform/Network.h"

namespace kelvane {

namespace {

// How long joining waits for the host, and how long players have to find a new host.
constexpr auto join_wait = std::chrono::seconds(3);
constexpr auto migrate_wait = std::chrono::seconds(6);
// The most connections a host keeps: the session's limit, or this many.
constexpr size_t unlimited_peers = 250;
// Session answers a host gives in 100 ms at the most.
constexpr int max_answers_per_window = 20;
// Events taken in one poll at the most, so that a flood cannot hold the game.
constexpr int max_events_per_poll = 20000;

uint64_t random_key() {
    std::random_device rd;
    uint64_t k = (uint64_t(rd()) << 32) ^ rd();
    return k ? k : 1;
}

} // namespace

CMultiplayer::~CMultiplayer() {
    session_end();
}

bool CMultiplayer::connect(const RConnection& c) {
    if (conn_.kind != connection_none) return false;
    conn_ = c;
    if (c.kind == connection_ipx || c.kind == connection_tcpip) {
        finder_ = std::make_unique<CSessionFinder>(game, c);
        finder_->query(); // answers come in while the game goes on
    }
    return true;
}

void CMultiplayer::end() {
    session_end();
    finder_.reset();
    found_.clear();
    conn_ = RConnection();
}

// ---- hosting ----

bool CMultiplayer::start_hosting(uint16_t port) {
    size_t peers = max_players_ > 0 ? size_t(max_players_) : unlimited_peers;
    // A few more than the limit, so that a player too many hears why.
    net_ = NetHost::create(port, std::min<size_t>(peers + 4, 4000), channel_count);
    if (!net_) return false;
    hosting_ = true;
    net_->on_datagram = [this](const RNetAddress& from, std::span<const uint8_t> bytes) {
        auto g = decode_query(bytes);
        if (!g) return false;
        // Answers are rationed, so that forged queries cannot turn the host into a
        // source of floods at someone else's address.
        auto now = Clock::now();
        if (now - answer_window_ > std::chrono::milliseconds(100))
            answer_window_ = now, answers_ = 0;
        if (*g == game && status_ != session_none && answers_++ < max_answers_per_window) {
            RSessionAnswer a;
            a.game = game;
            a.session_key = key_;
            a.port = session_port_;
            a.players = int32_t(players_.size()) + 1;
            a.max_players = max_players_;
            a.name = session_name_;
            net_->send_datagram(from, encode_answer(a));
        }
        return true;
    };
    return true;
}

bool CMultiplayer::session_create(const std::string& name, int32_t max_players,
                                  const std::string& player) {
    if (conn_.kind != connection_ipx && conn_.kind != connection_tcpip) return false;
    if (status_ != session_none) return false;
    max_players_ = std::max(max_players, 0);
    session_port_ = conn_.port;
    if (!start_hosting(session_port_)) return false;
    session_name_ = name;
    migration_ = migration_mode;
    key_ = random_key();
    own_id_ = 1;
    next_id_ = 2;
    own_name_ = player;
    players_.clear();
    status_ = session_created;
    return true;
}

void CMultiplayer::host_join(int32_t peer, const RSystemMessage& m) {
    RSystemMessage reply;
    reply.kind = RSystemMessage::refused;
    if (m.game != game || m.session_key != key_) {
        reply.reason = RSystemMessage::other_game;
        send_system(peer, reply);
        return;
    }
    RPlayer* back = m.player > 0 ? player(m.player) : nullptr;
    bool returning = back && back->peer < 0;
    if (!returning && max_players_ > 0 && int32_t(players_.size()) + 1 >= max_players_) {
        reply.reason = RSystemMessage::session_full;
        send_system(peer, reply);
        return;
    }
    auto address = net_->peer_address(peer);
    RPlayer p;
    if (returning) {
        back->peer = peer;
        back->name = m.name;
        back->ipv4 = address ? address->ipv4 : 0;
        p = *back;
    } else {
        // A player that asks for an id no one has keeps it (it joined before the host
        // changed); everyone else gets the next one.
        bool free = m.player > 0 && m.player != own_id_ && !player(m.player);
        p.id = free ? m.player : next_id_;
        p.name = m.name;
        p.ipv4 = address ? address->ipv4 : 0;
        p.peer = peer;
        next_id_ = std::max(next_id_, p.id + 1);
        players_.push_back(p);
    }
    RSystemMessage w;
    w.kind = RSystemMessage::welcome;
    w.player = p.id;
    w.host = own_id_;
    w.migration = migration_;
    w.max_players = max_players_;
    w.session_key = key_;
    w.name = session_name_;
    w.players.push_back({own_id_, 0, own_name_});
    for (const RPlayer& q : players_) w.players.push_back({q.id, q.ipv4, q.name});
    send_system(peer, w);
    RSystemMessage in;
    in.kind = RSystemMessage::player_in;
    in.players.push_back({p.id, p.ipv4, p.name});
    for (const RPlayer& q : players_)
        if (q.peer >= 0 && q.id != p.id) send_system(q.peer, in);
    net_->flush();
}

void CMultiplayer::host_event(const RNetEvent& e) {
    auto by_peer = std::find_if(players_.begin(), players_.end(),
                                [&](const RPlayer& p) { return p.peer == e.peer; });
    switch (e.kind) {
    case RNetEvent::connected:
        if (e.data != connect_magic) net_->disconnect(e.peer);
        break;
    case RNetEvent::disconnected:
        if (by_peer != players_.end()) player_left(by_peer->id);
        break;
    case RNetEvent::received:
        if (e.channel == system_channel) {
            auto m = decode_system(e.bytes);
            if (m && m->kind == RSystemMessage::join && by_peer == players_.end())
                host_join(e.peer, *m);
        } else if (by_peer != players_.end()) {
            int32_t to;
            std::span<const uint8_t> payload;
            if (unwrap_payload(e.bytes, to, payload) && decode_payload(payload))
                relay(by_peer->id, to, e.channel, payload);
        }
        break;
    default:
        break;
    }
}

void CMultiplayer::player_left(int32_t id) {
    std::erase_if(players_, [&](const RPlayer& p) { return p.id == id; });
    RSystemMessage out;
    out.kind = RSystemMessage::player_out;
    out.player = id;
    for (const RPlayer& q : players_)
        if (q.peer >= 0) send_system(q.peer, out);
    net_->flush();
}

void CMultiplayer::relay(int32_t from, int32_t to, uint8_t channel,
                         std::span<const uint8_t> payload) {
    bool reliable = channel == guaranteed_channel;
    std::vector<uint8_t> wrapped = wrap_payload(from, payload);
    // A message to everybody reaches every player but its sender.
    if ((to == 0 && from != own_id_) || to == own_id_) deliver(from, payload);
    for (const RPlayer& q : players_)
        if (q.peer >= 0 && q.id != from && (to == 0 || to == q.id))
            net_->send(q.peer, channel, wrapped, reliable);
    net_->flush();
}

// ---- joining ----

int32_t CMultiplayer::session_find() {
    if (!finder_) return 0;
    finder_->poll();
    // The first search of a connection gives the answers to the query sent on connecting
    // a moment to arrive; later searches take what has come.
    auto first = finder_->first_query();
    while (!finder_->heard() && Clock::now() - first < std::chrono::milliseconds(60)) {
        finder_->poll();
        if (!finder_->heard()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    found_ = finder_->sessions();
    finder_->query();
    return int32_t(found_.size());
}

std::string CMultiplayer::session_name(int32_t n) const {
    if (conn_.kind == connection_none || n < 0 || n >= int32_t(found_.size())) return {};
    return found_[size_t(n)].name;
}

bool CMultiplayer::session_join(int32_t n, const std::string& player) {
    if (conn_.kind != connection_ipx && conn_.kind != connection_tcpip) return false;
    if (status_ != session_none || n < 0 || n >= int32_t(found_.size())) return false;
    const RFoundSession& s = found_[size_t(n)];
    net_ = NetHost::create(0, 1, channel_count);
    if (!net_) return false;
    hosting_ = false;
    host_peer_ = net_->connect(s.address, connect_magic);
    if (host_peer_ < 0) return lose_session(), false;
    host_address_ = s.address;
    session_port_ = s.address.port;
    key_ = s.key;
    own_name_ = player;
    // Payloads may overtake the welcome on their own channels: they wait for it.
    std::vector<RNetEvent> early;
    auto until = Clock::now() + join_wait;
    RNetEvent e;
    while (Clock::now() < until) {
        if (!net_->service(e, 10)) continue;
        if (e.kind == RNetEvent::connected) {
            send_join();
            net_->flush();
        } else if (e.kind == RNetEvent::disconnected) {
            break;
        } else if (e.channel != system_channel) {
            early.push_back(std::move(e));
        } else if (auto m = decode_system(e.bytes)) {
            if (m->kind == RSystemMessage::refused) break;
            if (m->kind != RSystemMessage::welcome) continue;
            welcome(*m);
            status_ = session_joined;
            for (const RNetEvent& x : early) handle(x);
            return true;
        }
    }
    lose_session();
    return false;
}

// Asks the host to take us in: as a new player, or, after the host changed, again under our
// own id.
void CMultiplayer::send_join() {
    RSystemMessage join;
    join.kind = RSystemMessage::join;
    join.game = game;
    join.session_key = key_;
    join.player = migrating_ ? own_id_ : 0;
    join.name = own_name_;
    send_system(host_peer_, join);
    net_->flush();
}

void CMultiplayer::welcome(const RSystemMessage& m) {
    own_id_ = m.player;
    host_id_ = m.host;
    migration_ = m.migration;
    max_players_ = m.max_players;
    key_ = m.session_key;
    session_name_ = m.name;
    players_.clear();
    for (const RPlayerEntry& p : m.players)
        if (p.id != own_id_) players_.push_back({p.id, p.name, p.ipv4, -1});
    migrating_ = false;
}

void CMultiplayer::client_event(const RNetEvent& e) {
    if (e.peer != host_peer_) return;
    switch (e.kind) {
    case RNetEvent::connected:
        if (migrating_) send_join();
        break;
    case RNetEvent::disconnected:
        if (migrating_) {
            // The new host may not listen yet: keep knocking until the time is up.
            host_peer_ = net_->connect(migrate_to_, connect_magic);
        } else {
            host_left();
        }
        break;
    case RNetEvent::received:
        if (e.channel == system_channel) {
            auto m = decode_system(e.bytes);
            if (!m) break;
            if (m->kind == RSystemMessage::welcome && migrating_) {
                welcome(*m);
            } else if (m->kind == RSystemMessage::player_in && !m->players.empty()) {
                const RPlayerEntry& p = m->players[0];
                if (p.id == own_id_) break;
                if (RPlayer* known = player(p.id))
                    known->name = p.name, known->ipv4 = p.ipv4;
                else
                    players_.push_back({p.id, p.name, p.ipv4, -1});
            } else if (m->kind == RSystemMessage::player_out) {
                std::erase_if(players_, [&](const RPlayer& p) { return p.id == m->player; });
            }
        } else {
            int32_t from;
            std::span<const uint8_t> payload;
            if (unwrap_payload(e.bytes, from, payload)) deliver(from, payload);
        }
        break;
    default:
        break;
    }
}

// ---- host migration ----

void CMultiplayer::host_left() {
    std::erase_if(players_, [&](const RPlayer& p) { return p.id == host_id_; });
    if (!migration_) return lose_session();
    // Every remaining player makes the same choice: the lowest id left.
    int32_t next = own_id_;
    for (const RPlayer& p : players_) next = std::min(next, p.id);
    if (next == own_id_) return become_host();
    const RPlayer* chosen = player(next);
    // The old host saw players on its own machine at a loopback address: for us they are
    // where the old host was.
    uint32_t ip = chosen->ipv4;
    if (ip == 0 || (ip >> 24) == 127) ip = host_address_.ipv4;
    migrate_to_ = {ip, session_port_};
    net_ = NetHost::create(0, 1, channel_count);
    if (!net_) return lose_session();
    host_id_ = next;
    host_address_ = migrate_to_;
    migrating_ = true;
    migrate_until_ = Clock::now() + migrate_wait;
    host_peer_ = net_->connect(migrate_to_, connect_magic);
    if (host_peer_ < 0) lose_session();
}

void CMultiplayer::become_host() {
    net_.reset();
    if (!start_hosting(session_port_)) return lose_session();
    host_id_ = own_id_;
    host_peer_ = -1;
    for (RPlayer& p : players_) {
        p.peer = -1; // until it comes back
        next_id_ = std::max(next_id_, p.id + 1);
    }
    next_id_ = std::max(next_id_, own_id_ + 1);
    rejoin_until_ = Clock::now() + migrate_wait;
}

void CMultiplayer::lose_session() {
    net_.reset();
    hosting_ = false;
    migrating_ = false;
    players_.clear();
    host_peer_ = -1;
    status_ = session_none;
}

void CMultiplayer::session_end() {
    if (net_) {
        if (hosting_) {
            for (const RPlayer& p : players_)
                if (p.peer >= 0) net_->disconnect(p.peer);
        } else if (host_peer_ >= 0) {
            net_->disconnect(host_peer_);
        }
        net_->flush();
    }
    lose_session();
}

// ---- traffic ----

void CMultiplayer::send_system(int32_t peer, const RSystemMessage& m) {
    net_->send(peer, system_channel, encode_system(m), true);
}

void CMultiplayer::deliver(int32_t sender, std::span<const uint8_t> payload) {
    auto record = decode_payload(payload);
    if (!record) return; // malformed or too long: dropped
    record->sender = sender;
    if (record->message)
        queue_.append(std::move(*record));
    else
        data_.set(record->id, record->value);
}

bool CMultiplayer::send_payload(int32_t to, std::span<const uint8_t> payload, bool guaranteed) {
    if (!in_session() || !net_ || migrating_) return false;
    uint8_t channel = guaranteed ? guaranteed_channel : unguaranteed_channel;
    if (to == own_id_) {
        deliver(own_id_, payload);
        return true;
    }
    if (to != 0 && !player(to)) return false;
    if (hosting_) {
        relay(own_id_, to, channel, payload);
        return true;
    }
    bool sent = net_->send(host_peer_, channel, wrap_payload(to, payload), guaranteed);
    net_->flush();
    return sent;
}

void CMultiplayer::handle(const RNetEvent& e) {
    if (hosting_)
        host_event(e);
    else
        client_event(e);
}

void CMultiplayer::poll() {
    if (finder_) finder_->poll();
    if (!net_) return;
    RNetEvent e;
    for (int i = 0; i < max_events_per_poll && net_ && net_->service(e, 0); ++i) handle(e);
    auto now = Clock::now();
    if (migrating_ && now > migrate_until_) lose_session();
    if (hosting_ && rejoin_until_ != Clock::time_point() && now > rejoin_until_) {
        // Players that did not come back to the new host have left.
        rejoin_until_ = {};
        std::vector<int32_t> gone;
        for (const RPlayer& p : players_)
            if (p.peer < 0) gone.push_back(p.id);
        for (int32_t id : gone) player_left(id);
    }
}

CMultiplayer::RPlayer* CMultiplayer::player(int32_t id) {
    auto it = std::find_if(players_.begin(), players_.end(),
                           [&](const RPlayer& p) { return p.id == id; });
    return it == players_.end() ? nullptr : &*it;
}

// ---- the game's view ----

int32_t CMultiplayer::player_find() {
    if (!in_session()) return 0;
    poll();
    listed_.clear();
    listed_.push_back({own_id_, own_name_, 0, -1});
    std::vector<RPlayer> others = players_;
    std::sort(others.begin(), others.end(),
              [](const RPlayer& a, const RPlayer& b) { return a.id < b.id; });
    listed_.insert(listed_.end(), others.begin(), others.end());
    return int32_t(listed_.size());
}

std::string CMultiplayer::player_name(int32_t n) const {
    return n >= 0 && n < int32_t(listed_.size()) ? listed_[size_t(n)].name : std::string();
}

int32_t CMultiplayer::player_id(int32_t n) const {
    return n >= 0 && n < int32_t(listed_.size()) ? listed_[size_t(n)].id : 0;
}

std::optional<int32_t> CMultiplayer::player_named(const std::string& name) {
    player_find();
    for (const RPlayer& p : listed_)
        if (p.name == name) return p.id;
    return std::nullopt;
}

bool CMultiplayer::data_write(int32_t index, const RValue& value) {
    if (!in_session() || !SharedData::valid(index)) return false;
    poll();
    auto payload = encode_payload(false, index, value);
    if (!payload || !send_payload(0, *payload, data_guaranteed)) return false;
    data_.set(index, value);
    return true;
}

RValue CMultiplayer::data_read(int32_t index) {
    if (!in_session()) return RValue();
    poll();
    return data_.get(index);
}

bool CMultiplayer::send(int32_t player, int32_t id, const RValue& value, bool guaranteed) {
    if (!in_session()) return false;
    poll();
    auto payload = encode_payload(true, id, value);
    return payload && send_payload(player, *payload, guaranteed);
}

bool CMultiplayer::receive(int32_t player) {
    if (!in_session()) return false;
    poll();
    return queue_.take(player, current_);
}

std::string CMultiplayer::sender_name() {
    if (!in_session()) return {};
    poll();
    player_find();
    for (const RPlayer& p : listed_)
        if (p.id == current_.sender) return p.name;
    return "(unknown)";
}

int32_t CMultiplayer::count(int32_t player) {
    if (!in_session()) return 0;
    poll();
    return queue_.count(player);
}

void CMultiplayer::clear(int32_t player) {
    if (!in_session()) return;
    poll();
    queue_.clear(player);
}

} // namespace kelvane
