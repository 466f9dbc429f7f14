// The multiplayer functions unpack their arguments and call the session of the runtime. A
// player argument may be an id (0: everybody) or, where a name is allowed, a player's name.
#include "multiplayer/Function_DPlay.h"

#include <cstdio>

#include "platform/Network.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance*, CInstance*, int32_t, RValue& result, const RValue* a)

int32_t n(const RValue& v) {
    return to_int32(v.real);
}
RValue flag(bool b) {
    return RValue(b ? 1.0 : 0.0);
}
CMultiplayer& mp(Runtime& rt) {
    rt.multiplayer.game = rt.game.header.identifier;
    return rt.multiplayer;
}

H(fn_init_ipx) {
    (void)a;
    result = flag(mp(rt).connect(lan_connection()));
}

H(fn_init_tcpip) {
    auto c = tcpip_connection(a[0].str.str());
    result = flag(c && mp(rt).connect(*c));
}

// No modems or serial cables here: the game hears 0, the player hears why, once.
void no_hardware(Runtime& rt, const char* function) {
    if (rt.multiplayer.told_no_hardware) return;
    rt.multiplayer.told_no_hardware = true;
    std::fprintf(stderr,
                 "kelvane: %s: modem and serial connections are not available; games can "
                 "connect over the network (mplay_init_tcpip, mplay_init_ipx)\n",
                 function);
}
H(fn_init_modem) {
    (void)a, (void)result;
    no_hardware(rt, "mplay_init_modem");
}
H(fn_init_serial) {
    (void)a, (void)result;
    no_hardware(rt, "mplay_init_serial");
}

H(fn_connect_status) {
    (void)a;
    result = RValue(double(rt.multiplayer.connection()));
}
H(fn_end) {
    (void)a, (void)result;
    rt.multiplayer.end();
}
H(fn_session_mode) {
    (void)result;
    rt.multiplayer.migration_mode = n(a[0]) != 0;
}
H(fn_session_create) {
    result = flag(rt.multiplayer.session_create(a[0].str.str(), n(a[1]), a[2].str.str()));
}
H(fn_session_find) {
    (void)a;
    result = RValue(double(rt.multiplayer.session_find()));
}
H(fn_session_name) {
    result = RValue(RString(rt.multiplayer.session_name(n(a[0]))));
}
H(fn_session_join) {
    result = flag(rt.multiplayer.session_join(n(a[0]), a[1].str.str()));
}
H(fn_session_status) {
    (void)a;
    rt.multiplayer.poll();
    result = RValue(double(rt.multiplayer.session_status()));
}
H(fn_session_end) {
    (void)a, (void)result;
    if (rt.multiplayer.in_session()) rt.multiplayer.session_end();
}
H(fn_player_find) {
    (void)a;
    result = RValue(double(rt.multiplayer.player_find()));
}
H(fn_player_name) {
    result = RValue(RString(rt.multiplayer.player_name(n(a[0]))));
}
H(fn_player_id) {
    result = RValue(double(rt.multiplayer.player_id(n(a[0]))));
}
H(fn_data_write) {
    result = flag(rt.multiplayer.data_write(n(a[0]), a[1]));
}
H(fn_data_read) {
    result = rt.multiplayer.data_read(n(a[0]));
}
H(fn_data_mode) {
    (void)result;
    rt.multiplayer.data_guaranteed = n(a[0]) != 0;
}

// The player a message goes to or comes from: an id, or the first player with that name.
std::optional<int32_t> player_argument(Runtime& rt, const RValue& v) {
    if (v.is_string()) return rt.multiplayer.player_named(v.str.str());
    return n(v);
}

void send(Runtime& rt, const RValue* a, RValue& result, bool guaranteed) {
    if (!rt.multiplayer.in_session()) return;
    auto to = player_argument(rt, a[0]);
    result = flag(to && rt.multiplayer.send(*to, n(a[1]), a[2], guaranteed));
}
H(fn_message_send) {
    send(rt, a, result, false);
}
H(fn_message_send_guaranteed) {
    send(rt, a, result, true);
}
H(fn_message_receive) {
    if (!rt.multiplayer.in_session()) return;
    auto from = player_argument(rt, a[0]);
    result = flag(from && rt.multiplayer.receive(*from));
}
H(fn_message_id) {
    (void)a;
    result = RValue(double(rt.multiplayer.current().id));
}
H(fn_message_value) {
    (void)a;
    result = rt.multiplayer.current().value;
}
H(fn_message_player) {
    (void)a;
    result = RValue(double(rt.multiplayer.current().sender));
}
H(fn_message_name) {
    (void)a;
    result = RValue(RString(rt.multiplayer.sender_name()));
}
H(fn_message_count) {
    result = RValue(double(rt.multiplayer.count(n(a[0]))));
}
H(fn_message_clear) {
    (void)result;
    rt.multiplayer.clear(n(a[0]));
}
H(fn_ipaddress) {
    (void)a, (void)rt;
    result = RValue(RString(first_ipv4_address()));
}

#undef H

const RFunction functions[] = {
    {"mplay_init_ipx", fn_init_ipx, 0},
    {"mplay_init_tcpip", fn_init_tcpip, 1},
    {"mplay_init_modem", fn_init_modem, 2},
    {"mplay_init_serial", fn_init_serial, 5},
    {"mplay_connect_status", fn_connect_status, 0},
    {"mplay_end", fn_end, 0},
    {"mplay_session_mode", fn_session_mode, 1},
    {"mplay_session_create", fn_session_create, 3},
    {"mplay_session_find", fn_session_find, 0},
    {"mplay_session_name", fn_session_name, 1},
    {"mplay_session_join", fn_session_join, 2},
    {"mplay_session_status", fn_session_status, 0},
    {"mplay_session_end", fn_session_end, 0},
    {"mplay_player_find", fn_player_find, 0},
    {"mplay_player_name", fn_player_name, 1},
    {"mplay_player_id", fn_player_id, 1},
    {"mplay_data_write", fn_data_write, 2},
    {"mplay_data_read", fn_data_read, 1},
    {"mplay_data_mode", fn_data_mode, 1},
    {"mplay_message_send", fn_message_send, 3},
    {"mplay_message_send_guaranteed", fn_message_send_guaranteed, 3},
    {"mplay_message_receive", fn_message_receive, 1},
    {"mplay_message_id", fn_message_id, 0},
    {"mplay_message_value", fn_message_value, 0},
    {"mplay_message_player", fn_message_player, 0},
    {"mplay_message_name", fn_message_name, 0},
    {"mplay_message_count", fn_message_count, 1},
    {"mplay_message_clear", fn_message_clear, 1},
    {"mplay_ipaddress", fn_ipaddress, 0},
};

} // namespace

std::span<const RFunction> multiplayer_functions() {
    return functions;
}

} // namespace kelvane
