// Connections on ENet, datagrams on a plain UDP socket, addresses from the interfaces.
#include "platform/Network.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane {

namespace {

bool start_enet() {
    static const bool started = [] {
        if (enet_initialize() != 0) return false;
        std::atexit(enet_deinitialize);
        return true;
    }();
    return started;
}

ENetAddress to_enet(const RNetAddress& a) {
    ENetAddress e;
    e.host = htonl(a.ipv4);
    e.port = a.port;
    return e;
}

RNetAddress from_enet(const ENetAddress& e) {
    return {ntohl(e.host), e.port};
}

// A vanished peer is given up after at most three seconds without an answer.
void short_timeouts(ENetPeer* peer) {
    enet_peer_timeout(peer, 8, 1000, 3000);
}

// Whatever a peer sends is bounded: one packet, and what may wait to be put together.
constexpr size_t max_packet = 256 * 1024;
constexpr size_t max_waiting = 4 * 1024 * 1024;

} // namespace

std::string ipv4_text(uint32_t ipv4) {
    return std::to_string(ipv4 >> 24) + "." + std::to_string((ipv4 >> 16) & 255) + "." +
           std::to_string((ipv4 >> 8) & 255) + "." + std::to_string(ipv4 & 255);
}

std::string RNetAddress::text() const {
    return ipv4_text(ipv4) + ":" + std::to_string(port);
}

std::optional<uint32_t> resolve_ipv4(const std::string& name) {
    in_addr a;
    if (inet_pton(AF_INET, name.c_str(), &a) == 1) return ntohl(a.s_addr);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (name.empty() || getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    uint32_t ip = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return ip;
}

namespace {
template <typename F> void each_ipv4_interface(F f) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return;
    for (ifaddrs* i = list; i; i = i->ifa_next)
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_UP)) f(*i);
    freeifaddrs(list);
}
uint32_t ipv4_of(const sockaddr* a) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr);
}
} // namespace

std::vector<uint32_t> broadcast_addresses() {
    std::vector<uint32_t> out;
    each_ipv4_interface([&](const ifaddrs& i) {
        if ((i.ifa_flags & IFF_BROADCAST) && i.ifa_broadaddr &&
            i.ifa_broadaddr->sa_family == AF_INET)
            out.push_back(ipv4_of(i.ifa_broadaddr));
    });
    return out;
}

std::string first_ipv4_address() {
    std::string out;
    each_ipv4_interface([&](const ifaddrs& i) {
        uint32_t ip = ipv4_of(i.ifa_addr);
        if (out.empty() && (ip >> 24) != 127 && !(i.ifa_flags & IFF_LOOPBACK)) out = ipv4_text(ip);
    });
    return out;
}

// ---- connections ----

struct NetHost::Impl {
    ENetHost* host = nullptr;
    ~Impl() {
        if (host) enet_host_destroy(host);
    }
};

namespace {
// The host being serviced: ENet's datagram hook has no room for a pointer of ours, and
// everything runs on one thread.
thread_local NetHost* servicing = nullptr;
thread_local ENetHost* servicing_enet = nullptr;

int intercept(ENetHost* host, ENetEvent*) {
    if (!servicing || host != servicing_enet || !servicing->on_datagram) return 0;
    RNetAddress from = from_enet(host->receivedAddress);
    std::span<const uint8_t> bytes(host->receivedData, host->receivedDataLength);
    return servicing->on_datagram(from, bytes) ? 1 : 0;
}
} // namespace

std::unique_ptr<NetHost> NetHost::create(uint16_t port, size_t peers, size_t channels) {
    if (!start_enet()) return nullptr;
    ENetAddress address;
    address.host = ENET_HOST_ANY;
    address.port = port;
    ENetHost* h = enet_host_create(port ? &address : nullptr, peers, channels, 0, 0);
    if (!h) return nullptr;
    h->maximumPacketSize = max_packet;
    h->maximumWaitingData = max_waiting;
    h->intercept = intercept;
    std::unique_ptr<NetHost> out(new NetHost());
    out->impl_ = std::make_unique<Impl>();
    out->impl_->host = h;
    return out;
}

NetHost::~NetHost() = default;

namespace {
ENetPeer* peer_at(ENetHost* h, int32_t peer) {
    if (peer < 0 || size_t(peer) >= h->peerCount) return nullptr;
    return &h->peers[peer];
}
} // namespace

int32_t NetHost::connect(const RNetAddress& to, uint32_t data) {
    ENetAddress a = to_enet(to);
    ENetPeer* p = enet_host_connect(impl_->host, &a, impl_->host->channelLimit, data);
    if (!p) return -1;
    short_timeouts(p);
    return int32_t(p - impl_->host->peers);
}

bool NetHost::send(int32_t peer, uint8_t channel, std::span<const uint8_t> bytes, bool reliable) {
    ENetPeer* p = peer_at(impl_->host, peer);
    if (!p || p->state != ENET_PEER_STATE_CONNECTED) return false;
    ENetPacket* packet =
        enet_packet_create(bytes.data(), bytes.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!packet) return false;
    if (enet_peer_send(p, channel, packet) != 0) {
        enet_packet_destroy(packet);
        return false;
    }
    return true;
}

void NetHost::disconnect(int32_t peer) {
    ENetPeer* p = peer_at(impl_->host, peer);
    if (p && p->state != ENET_PEER_STATE_DISCONNECTED) enet_peer_disconnect_now(p, 0);
}

bool NetHost::service(RNetEvent& event, uint32_t wait_ms) {
    ENetEvent e;
    servicing = this;
    servicing_enet = impl_->host;
    int r = enet_host_service(impl_->host, &e, wait_ms);
    servicing = nullptr;
    servicing_enet = nullptr;
    if (r <= 0) return false;
    event = RNetEvent();
    event.peer = int32_t(e.peer - impl_->host->peers);
    switch (e.type) {
    case ENET_EVENT_TYPE_CONNECT:
        short_timeouts(e.peer);
        event.kind = RNetEvent::connected;
        event.data = e.data;
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        event.kind = RNetEvent::disconnected;
        break;
    case ENET_EVENT_TYPE_RECEIVE:
        event.kind = RNetEvent::received;
        event.channel = e.channelID;
        event.bytes.assign(e.packet->data, e.packet->data + e.packet->dataLength);
        enet_packet_destroy(e.packet);
        break;
    default:
        return false;
    }
    return true;
}

void NetHost::flush() {
    enet_host_flush(impl_->host);
}

std::optional<RNetAddress> NetHost::peer_address(int32_t peer) const {
    ENetPeer* p = peer_at(impl_->host, peer);
    if (!p) return std::nullopt;
    return from_enet(p->address);
}

uint16_t NetHost::port() const {
    ENetAddress a;
    if (enet_socket_get_address(impl_->host->socket, &a) != 0) return 0;
    return a.port;
}

void NetHost::send_datagram(const RNetAddress& to, std::span<const uint8_t> bytes) {
    ENetAddress a = to_enet(to);
    ENetBuffer b;
    b.data = const_cast<uint8_t*>(bytes.data());
    b.dataLength = bytes.size();
    enet_socket_send(impl_->host->socket, &a, &b, 1);
}

// ---- datagrams ----

std::unique_ptr<DatagramSocket> DatagramSocket::open() {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<DatagramSocket>(new DatagramSocket(fd));
}

DatagramSocket::~DatagramSocket() {
    ::close(fd_);
}

bool DatagramSocket::send_to(const RNetAddress& to, std::span<const uint8_t> bytes) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(to.ipv4);
    a.sin_port = htons(to.port);
    return ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a),
                    sizeof a) == ssize_t(bytes.size());
}

bool DatagramSocket::receive(RNetAddress& from, std::vector<uint8_t>& bytes) {
    uint8_t buffer[2048];
    for (;;) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&a), &len);
        if (n < 0) return false;
        if (size_t(n) > sizeof buffer) continue; // longer than any answer: not one of ours
        from = {ntohl(a.sin_addr.s_addr), ntohs(a.sin_port)};
        bytes.assign(buffer, buffer + n);
        return true;
    }
}

} // namespace kelvane
