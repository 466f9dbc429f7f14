// Encoding and decoding of everything a session sends. Readers check every length against
// what is left before reading, so no input can make them read past its end or allocate
// more than it holds.
#include "multiplayer/DPlay_Low.h"

#include <cstring>

namespace kelvane {

namespace {

class Writer {
  public:
    std::vector<uint8_t> out;
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) { u8(uint8_t(v)), u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); }
    void u64(uint64_t v) { u32(uint32_t(v)), u32(uint32_t(v >> 32)); }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u64(bits);
    }
    void bytes(const void* p, size_t n) {
        auto b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void text(const std::string& s) {
        size_t n = std::min(s.size(), max_wire_name);
        u32(uint32_t(n));
        bytes(s.data(), n);
    }
    void player(const RPlayerEntry& p) {
        i32(p.id);
        u32(p.ipv4);
        text(p.name);
    }
};

class Reader {
  public:
    explicit Reader(std::span<const uint8_t> b) : b_(b) {}
    bool ok = true;
    size_t left() const { return b_.size() - at_; }
    bool done() const { return ok && at_ == b_.size(); }
    uint8_t u8() { return need(1) ? b_[at_++] : 0; }
    uint16_t u16() {
        uint16_t lo = u8();
        return uint16_t(lo | (uint16_t(u8()) << 8));
    }
    uint32_t u32() {
        uint32_t lo = u16();
        return lo | (uint32_t(u16()) << 16);
    }
    uint64_t u64() {
        uint64_t lo = u32();
        return lo | (uint64_t(u32()) << 32);
    }
    int32_t i32() { return int32_t(u32()); }
    double f64() {
        uint64_t bits = u64();
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    std::string chars(size_t n) {
        if (!need(n)) return {};
        std::string s(reinterpret_cast<const char*>(b_.data() + at_), n);
        at_ += n;
        return s;
    }
    std::string text() {
        uint32_t n = u32();
        if (n > max_wire_name) ok = false;
        return ok ? chars(n) : std::string();
    }
    RPlayerEntry player() {
        RPlayerEntry p;
        p.id = i32();
        p.ipv4 = u32();
        p.name = text();
        return p;
    }
    template <size_t N> std::array<uint8_t, N> raw() {
        std::array<uint8_t, N> a{};
        if (need(N)) std::memcpy(a.data(), b_.data() + at_, N), at_ += N;
        return a;
    }

  private:
    bool need(size_t n) {
        if (!ok || n > left()) ok = false;
        return ok;
    }
    std::span<const uint8_t> b_;
    size_t at_ = 0;
};

constexpr uint8_t protocol_version = 1;
const char query_magic[4] = {'K', 'V', 'L', 'Q'};
const char answer_magic[4] = {'K', 'V', 'L', 'R'};

bool has_magic(Reader& r, const char (&magic)[4]) {
    std::string m = r.chars(4);
    return r.ok && std::memcmp(m.data(), magic, 4) == 0 && r.u8() == protocol_version && r.ok;
}

} // namespace

std::optional<std::vector<uint8_t>> encode_payload(bool message, int32_t id, const RValue& value) {
    Writer w;
    w.u8(message ? 1 : 0);
    w.i32(id);
    if (value.is_string()) {
        const std::string& s = value.str.str();
        if (s.size() > max_payload - 10) return std::nullopt;
        w.u8(1);
        w.u32(uint32_t(s.size()));
        w.bytes(s.data(), s.size());
    } else {
        w.u8(0);
        w.f64(value.real);
    }
    return std::move(w.out);
}

std::optional<RMessageRecord> decode_payload(std::span<const uint8_t> bytes) {
    if (bytes.size() > max_payload) return std::nullopt;
    Reader r(bytes);
    RMessageRecord m;
    uint8_t kind = r.u8();
    if (kind > 1) return std::nullopt;
    m.message = kind == 1;
    m.id = r.i32();
    uint8_t type = r.u8();
    if (type == 1) {
        uint32_t n = r.u32();
        if (!r.ok || n != r.left()) return std::nullopt;
        m.value = RValue(RString(r.chars(n)));
    } else if (type == 0) {
        m.value = RValue(r.f64());
    } else {
        return std::nullopt;
    }
    if (!r.done()) return std::nullopt;
    return m;
}

std::vector<uint8_t> wrap_payload(int32_t player, std::span<const uint8_t> payload) {
    Writer w;
    w.i32(player);
    w.bytes(payload.data(), payload.size());
    return std::move(w.out);
}

bool unwrap_payload(std::span<const uint8_t> bytes, int32_t& player,
                    std::span<const uint8_t>& payload) {
    if (bytes.size() < 4) return false;
    Reader r(bytes);
    player = r.i32();
    payload = bytes.subspan(4);
    return true;
}

std::vector<uint8_t> encode_system(const RSystemMessage& m) {
    Writer w;
    w.u8(protocol_version);
    w.u8(m.kind);
    switch (m.kind) {
    case RSystemMessage::join:
        w.bytes(m.game.data(), m.game.size());
        w.u64(m.session_key);
        w.i32(m.player);
        w.text(m.name);
        break;
    case RSystemMessage::welcome:
        w.i32(m.player);
        w.i32(m.host);
        w.u8(m.migration ? 1 : 0);
        w.i32(m.max_players);
        w.u64(m.session_key);
        w.text(m.name);
        w.u32(uint32_t(std::min(m.players.size(), max_wire_players)));
        for (size_t i = 0; i < m.players.size() && i < max_wire_players; ++i)
            w.player(m.players[i]);
        break;
    case RSystemMessage::refused:
        w.u8(m.reason);
        break;
    case RSystemMessage::player_in:
        w.player(m.players.empty() ? RPlayerEntry() : m.players[0]);
        break;
    case RSystemMessage::player_out:
        w.i32(m.player);
        break;
    }
    return std::move(w.out);
}

std::optional<RSystemMessage> decode_system(std::span<const uint8_t> bytes) {
    Reader r(bytes);
    if (r.u8() != protocol_version) return std::nullopt;
    RSystemMessage m;
    uint8_t kind = r.u8();
    switch (kind) {
    case RSystemMessage::join:
        m.game = r.raw<16>();
        m.session_key = r.u64();
        m.player = r.i32();
        m.name = r.text();
        break;
    case RSystemMessage::welcome: {
        m.player = r.i32();
        m.host = r.i32();
        uint8_t migration = r.u8();
        if (migration > 1) return std::nullopt;
        m.migration = migration == 1;
        m.max_players = r.i32();
        m.session_key = r.u64();
        m.name = r.text();
        uint32_t n = r.u32();
        // Each entry takes at least 12 bytes: a count beyond what is left is a lie.
        if (!r.ok || n > max_wire_players || n > r.left() / 12) return std::nullopt;
        for (uint32_t i = 0; i < n && r.ok; ++i) m.players.push_back(r.player());
        break;
    }
    case RSystemMessage::refused:
        m.reason = r.u8();
        break;
    case RSystemMessage::player_in:
        m.players.push_back(r.player());
        break;
    case RSystemMessage::player_out:
        m.player = r.i32();
        break;
    default:
        return std::nullopt;
    }
    if (!r.done()) return std::nullopt;
    m.kind = RSystemMessage::Kind(kind);
    return m;
}

std::vector<uint8_t> encode_query(const GameGuid& game) {
    Writer w;
    w.bytes(query_magic, 4);
    w.u8(protocol_version);
    w.bytes(game.data(), game.size());
    return std::move(w.out);
}

std::optional<GameGuid> decode_query(std::span<const uint8_t> bytes) {
    Reader r(bytes);
    if (!has_magic(r, query_magic)) return std::nullopt;
    GameGuid g = r.raw<16>();
    if (!r.done()) return std::nullopt;
    return g;
}

std::vector<uint8_t> encode_answer(const RSessionAnswer& a) {
    Writer w;
    w.bytes(answer_magic, 4);
    w.u8(protocol_version);
    w.bytes(a.game.data(), a.game.size());
    w.u64(a.session_key);
    w.u16(a.port);
    w.i32(a.players);
    w.i32(a.max_players);
    w.text(a.name);
    return std::move(w.out);
}

std::optional<RSessionAnswer> decode_answer(std::span<const uint8_t> bytes) {
    Reader r(bytes);
    if (!has_magic(r, answer_magic)) return std::nullopt;
    RSessionAnswer a;
    a.game = r.raw<16>();
    a.session_key = r.u64();
    a.port = r.u16();
    a.players = r.i32();
    a.max_players = r.i32();
    a.name = r.text();
    if (!r.done()) return std::nullopt;
    return a;
}

} // namespace kelvane
