// The network under multiplayer games: connections with reliable and unreliable channels
// (ENet), plain datagrams for finding sessions, and the machine's IPv4 addresses. The only
// code that includes ENet's headers. Nothing here blocks unless a wait is asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

// An IPv4 address (host byte order, 127.0.0.1 is 0x7F000001) and a UDP port.
struct RNetAddress {
    uint32_t ipv4 = 0;
    uint16_t port = 0;
    std::string text() const; // "a.b.c.d:port"
    bool operator==(const RNetAddress&) const = default;
};

constexpr uint32_t loopback_ipv4 = 0x7F000001;

// The IPv4 address of a name: dotted digits or a host name looked up (which may take a
// moment). Nullopt when there is none.
std::optional<uint32_t> resolve_ipv4(const std::string& name);
// The broadcast address of every interface that is up and can broadcast.
std::vector<uint32_t> broadcast_addresses();
// The first IPv4 address of the machine that is not a loopback one, as dotted digits, or
// the empty string.
std::string first_ipv4_address();
std::string ipv4_text(uint32_t ipv4);

// What servicing a connection host brought.
struct RNetEvent {
    enum Kind { none, connected, disconnected, received };
    Kind kind = none;
    int32_t peer = -1;
    uint32_t data = 0; // with connected: the value the connecting side gave
    uint8_t channel = 0;
    std::vector<uint8_t> bytes;
};

// An endpoint of connections: it connects to others and, when made on a port, accepts
// connections there. Peers are numbered from 0 while they are connected.
class NetHost {
  public:
    // A host on `port` of every interface (0: any free port), for at most `peers`
    // connections with `channels` channels each. Null when the port cannot be had.
    static std::unique_ptr<NetHost> create(uint16_t port, size_t peers, size_t channels);
    ~NetHost();
    NetHost(const NetHost&) = delete;
    NetHost& operator=(const NetHost&) = delete;

    // Starts connecting; the peer, or -1. `data` reaches the other side's connected event.
    int32_t connect(const RNetAddress& to, uint32_t data);
    // Queues bytes for a connected peer; false when the peer is not connected.
    bool send(int32_t peer, uint8_t channel, std::span<const uint8_t> bytes, bool reliable);
    // Drops the connection at once, telling the other side.
    void disconnect(int32_t peer);
    // The next event, waiting at most `wait_ms` for one (0: no waiting).
    bool service(RNetEvent& event, uint32_t wait_ms = 0);
    // Sends what is queued now.
    void flush();
    std::optional<RNetAddress> peer_address(int32_t peer) const;
    uint16_t port() const;

    // Datagrams that are not part of a connection (session queries sharing the port):
    // the handler answers true when it took the datagram.
    std::function<bool(const RNetAddress& from, std::span<const uint8_t> bytes)> on_datagram;
    void send_datagram(const RNetAddress& to, std::span<const uint8_t> bytes);

  private:
    NetHost() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A datagram socket on a free port that may broadcast; receiving never waits.
class DatagramSocket {
  public:
    static std::unique_ptr<DatagramSocket> open();
    ~DatagramSocket();
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;
    bool send_to(const RNetAddress& to, std::span<const uint8_t> bytes);
    // The next datagram waiting, or false.
    bool receive(RNetAddress& from, std::vector<uint8_t>& bytes);

  private:
    explicit DatagramSocket(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace kelvane
