/* The yardstick of the multiplayer benchmark: the same round trips and the same stream as
 * the runners of bench/multiplayer, between two bare ENet programs on 127.0.0.1 (one
 * reliable channel, 14-byte messages, both sides polling without waiting). What the
 * runners add on top of ENet is the difference.
 *   enet_yardstick echo PORT ROUNDS MESSAGES
 *   enet_yardstick ping PORT ROUNDS MESSAGES    writes "rtt_us R stream N MS" to stdout */
#define _POSIX_C_SOURCE 199309L
#include <enet/enet.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static ENetHost* host;

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

/* kind 1 (message), id, real value: the runners' 14-byte payload. */
static void send_message(ENetPeer* to, int32_t id, double value) {
    uint8_t b[14];
    b[0] = 1;
    memcpy(b + 1, &id, 4);
    b[5] = 0;
    memcpy(b + 6, &value, 8);
    enet_peer_send(to, 0, enet_packet_create(b, sizeof b, ENET_PACKET_FLAG_RELIABLE));
    enet_host_flush(host);
}

/* The next message, polling without waiting; 0 when the time is up. */
static int next_message(ENetEvent* e, int32_t* id, double* value, double until) {
    while (now_ms() < until) {
        if (enet_host_service(host, e, 0) <= 0) continue;
        if (e->type == ENET_EVENT_TYPE_DISCONNECT) return 0;
        if (e->type != ENET_EVENT_TYPE_RECEIVE) continue;
        if (e->packet->dataLength == 14) {
            memcpy(id, e->packet->data + 1, 4);
            memcpy(value, e->packet->data + 6, 8);
        }
        enet_packet_destroy(e->packet);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 5 || enet_initialize() != 0) return 2;
    int echo = strcmp(argv[1], "echo") == 0;
    ENetAddress a;
    enet_address_set_host(&a, "127.0.0.1");
    a.port = (enet_uint16)atoi(argv[2]);
    int rounds = atoi(argv[3]), total = atoi(argv[4]);
    host = enet_host_create(echo ? &a : NULL, 1, 1, 0, 0);
    if (!host) return 1;
    double until = now_ms() + 120000;
    ENetEvent e;
    int32_t id = 0;
    double value = 0;
    if (echo) {
        int count = 0;
        double first = 0;
        while (next_message(&e, &id, &value, until)) {
            if (id == 1) send_message(e.peer, 1, value);
            if (id != 2) continue;
            if (++count == 1) first = now_ms();
            if (count % 1000 == 0) send_message(e.peer, 4, count);
            if ((int)value == total) {
                /* The count and the time, as the runners' echo reports them. */
                send_message(e.peer, 3, count);
                send_message(e.peer, 5, now_ms() - first);
            }
        }
        enet_host_destroy(host);
        return 0;
    }
    ENetPeer* peer = enet_host_connect(host, &a, 1, 0);
    while (now_ms() < until && enet_host_service(host, &e, 0) >= 0)
        if (e.type == ENET_EVENT_TYPE_CONNECT) break;
    double t = now_ms();
    for (int i = 0; i < rounds; ++i) {
        send_message(peer, 1, i);
        if (!next_message(&e, &id, &value, until)) return 1;
    }
    double rtt_us = 1000 * (now_ms() - t) / rounds;
    int sent = 0, acked = 0, received = -1;
    while (now_ms() < until) {
        while (sent < total && sent < acked + 2000) send_message(peer, 2, ++sent);
        if (enet_host_service(host, &e, 0) <= 0 || e.type != ENET_EVENT_TYPE_RECEIVE) continue;
        memcpy(&id, e.packet->data + 1, 4);
        memcpy(&value, e.packet->data + 6, 8);
        enet_packet_destroy(e.packet);
        if (id == 4) acked = (int)value;
        if (id == 3) received = (int)value;
        if (id == 5) {
            printf("rtt_us %.0f stream %d %.0f\n", rtt_us, received, value);
            break;
        }
    }
    enet_peer_disconnect_now(peer, 0);
    enet_host_destroy(host);
    return 0;
}
