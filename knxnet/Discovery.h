// Finding KNXnet/IP interfaces: a SEARCH_REQUEST to the discovery group and the answers collected.
#pragma once

#include "knxnet/DatagramTransport.h"

#include <string>
#include <vector>

namespace knx {

struct DiscoveredInterface
{
    Endpoint control;
    IndividualAddress address;
    std::string name;
    bool tunnelling = false;

    // "Name (1.1.250) at 192.168.1.10:3671", for lists.
    std::string Describe() const;
};

// Searches through the network and collects the answers that come within waitMs, each interface once.
std::vector<DiscoveredInterface> DiscoverInterfaces(IDatagramTransport& network, std::uint32_t waitMs,
                                                    const Endpoint& target = kDiscoveryGroup);
// The same over a UDP socket of its own; empty with a text in error when the socket cannot be had.
std::vector<DiscoveredInterface> DiscoverInterfaces(std::uint32_t waitMs, std::string* error);

} // namespace knx
