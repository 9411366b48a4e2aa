#include "knxnet/UdpTransport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace knx {
namespace {
sockaddr_in ToSockaddr(const Endpoint& e)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(e.port);
    std::memcpy(&a.sin_addr.s_addr, e.ip.data(), 4);
    return a;
}

Endpoint FromSockaddr(const sockaddr_in& a)
{
    Endpoint e;
    std::memcpy(e.ip.data(), &a.sin_addr.s_addr, 4);
    e.port = ntohs(a.sin_port);
    return e;
}

std::string ErrnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}
} // namespace

UdpTransport::~UdpTransport()
{
    Close();
}

bool UdpTransport::Open(const Endpoint& bind, std::string* error)
{
    Close();
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_socket < 0) {
        if (error)
            *error = ErrnoText("socket");
        return false;
    }
    int yes = 1;
    // Several listeners on the discovery port must be able to share it.
    if (bind.port == kKnxNetIpPort)
        ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = ToSockaddr(bind);
    if (::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (error)
            *error = ErrnoText(("bind " + bind.ToString()).c_str());
        Close();
        return false;
    }
    socklen_t size = sizeof address;
    ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
    m_bound = FromSockaddr(address);
    return true;
}

bool UdpTransport::JoinGroup(const Endpoint& group, const std::array<std::uint8_t, 4>& interfaceAddress,
                             std::string* error)
{
    ip_mreq request{};
    std::memcpy(&request.imr_multiaddr.s_addr, group.ip.data(), 4);
    std::memcpy(&request.imr_interface.s_addr, interfaceAddress.data(), 4);
    if (m_socket < 0 ||
        ::setsockopt(m_socket, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request) != 0) {
        if (error)
            *error = ErrnoText("join multicast group");
        return false;
    }
    in_addr outgoing{};
    std::memcpy(&outgoing.s_addr, interfaceAddress.data(), 4);
    ::setsockopt(m_socket, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof outgoing);
    return true;
}

void UdpTransport::Close()
{
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

bool UdpTransport::Send(const Endpoint& to, ByteView datagram)
{
    if (m_socket < 0)
        return false;
    sockaddr_in address = ToSockaddr(to);
    ssize_t sent = ::sendto(m_socket, datagram.data(), datagram.size(), 0,
                            reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return sent == static_cast<ssize_t>(datagram.size());
}

std::optional<Datagram> UdpTransport::Receive(std::uint32_t waitMs)
{
    if (m_socket < 0)
        return std::nullopt;
    const std::uint64_t deadline = NowMs() + waitMs;
    for (;;) {
        std::uint64_t now = NowMs();
        int timeout = now >= deadline ? 0 : static_cast<int>(deadline - now);
        pollfd fd{m_socket, POLLIN, 0};
        int ready = ::poll(&fd, 1, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        std::uint8_t buffer[1024];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t got =
            ::recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == ECONNREFUSED)
                continue; // an ICMP error of an earlier send is no datagram
            return std::nullopt;
        }
        return Datagram{FromSockaddr(from), Bytes(buffer, buffer + got)};
    }
}

std::uint64_t UdpTransport::NowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Endpoint UdpTransport::LocalEndpoint()
{
    if (m_bound.ip == std::array<std::uint8_t, 4>{})
        return {};
    return m_bound;
}

} // namespace knx
