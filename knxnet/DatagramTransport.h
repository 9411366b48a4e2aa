// The network under the KNXnet/IP client and server: datagrams to and from endpoints, with its own
// time, so that tests run on a fake network in virtual time and the program on a UDP socket.
#pragma once

#include "knxnet/KnxAddress.h"
#include "knxnet/KnxBytes.h"

#include <optional>

namespace knx {

struct Datagram
{
    Endpoint from;
    Bytes bytes;
};

class IDatagramTransport
{
public:
    virtual ~IDatagramTransport() = default;
    // False when the datagram could not be handed to the network.
    virtual bool Send(const Endpoint& to, ByteView datagram) = 0;
    // The next datagram, waiting up to waitMs; nothing once that time has passed without one.
    virtual std::optional<Datagram> Receive(std::uint32_t waitMs) = 0;
    // Milliseconds of the network's time; timeouts are measured in it.
    virtual std::uint64_t NowMs() = 0;
    // The endpoint peers answer to; 0.0.0.0:0 when they are to answer to the sender.
    virtual Endpoint LocalEndpoint() = 0;
};

} // namespace knx
