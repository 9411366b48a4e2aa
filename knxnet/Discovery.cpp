#include "knxnet/Discovery.h"

#include "knxnet/KnxNetIpDiscovery.h"
#include "knxnet/UdpTransport.h"

#include <algorithm>

namespace knx {

std::string DiscoveredInterface::Describe() const
{
    return (name.empty() ? std::string("KNXnet/IP interface") : name) + " (" + address.ToString() + ") at " +
           control.ToString() + (tunnelling ? "" : ", no tunnelling");
}

std::vector<DiscoveredInterface> DiscoverInterfaces(IDatagramTransport& network, std::uint32_t waitMs,
                                                    const Endpoint& target)
{
    std::vector<DiscoveredInterface> found;
    if (!network.Send(target, SearchRequest{network.LocalEndpoint()}.Encode()))
        return found;
    const std::uint64_t deadline = network.NowMs() + waitMs;
    for (;;) {
        const std::uint64_t now = network.NowMs();
        if (now >= deadline)
            break;
        auto datagram = network.Receive(static_cast<std::uint32_t>(deadline - now));
        if (!datagram)
            break;
        auto response = SearchResponse::Decode(datagram->bytes);
        if (!response)
            continue;
        DiscoveredInterface i;
        // An interface that names no address of its own is reached where it answered from.
        i.control =
            response->control.IsAny() || response->control.port == 0 ? datagram->from : response->control;
        i.address = response->address;
        i.name = response->name;
        i.tunnelling = response->SupportsTunnelling();
        if (std::none_of(found.begin(), found.end(), [&](const auto& f) { return f.control == i.control; }))
            found.push_back(i);
    }
    return found;
}

std::vector<DiscoveredInterface> DiscoverInterfaces(std::uint32_t waitMs, std::string* error)
{
    UdpTransport network;
    if (!network.Open(Endpoint{}, error))
        return {};
    return DiscoverInterfaces(network, waitMs);
}

} // namespace knx
