// A UDP socket as the KNXnet/IP network, in wall-clock time.
#pragma once

#include "knxnet/DatagramTransport.h"

#include <string>

namespace knx {

class UdpTransport final : public IDatagramTransport
{
public:
    UdpTransport() = default;
    ~UdpTransport() override;
    UdpTransport(const UdpTransport&) = delete;
    UdpTransport& operator=(const UdpTransport&) = delete;

    // Binds to the address (0.0.0.0 for any) and port (0 for a free one). False with a text in
    // error when the socket cannot be opened or bound.
    bool Open(const Endpoint& bind, std::string* error);
    // Joins a multicast group on the interface of the given address (0.0.0.0: the default one).
    bool JoinGroup(const Endpoint& group, const std::array<std::uint8_t, 4>& interfaceAddress,
                   std::string* error);
    void Close();
    bool IsOpen() const { return m_socket >= 0; }

    bool Send(const Endpoint& to, ByteView datagram) override;
    std::optional<Datagram> Receive(std::uint32_t waitMs) override;
    std::uint64_t NowMs() override;
    // The bound endpoint when bound to one address; 0.0.0.0:0 (answer to the sender) when bound to any.
    Endpoint LocalEndpoint() override;
    // The bound endpoint as it is, port included.
    Endpoint BoundEndpoint() const { return m_bound; }

private:
    int m_socket = -1;
    Endpoint m_bound;
};

} // namespace knx
