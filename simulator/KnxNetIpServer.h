// The simulated gateway on the network: a KNXnet/IP tunnelling server on a UDP port (loopback by
// default) in front of it, so that the plug-in reaches it over the real transport end to end.
#pragma once

#include "knxnet/TunnellingServer.h"
#include "knxnet/UdpTransport.h"
#include "simulator/GatewaySimulator.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class KnxNetIpServer
{
public:
    struct Options
    {
        knx::Endpoint bind = knx::Endpoint::Loopback(0); // port 0: a free one
        knx::TunnellingServerOptions tunnelling;
    };

    KnxNetIpServer(std::shared_ptr<GatewaySimulator> gateway, Options options);
    explicit KnxNetIpServer(std::shared_ptr<GatewaySimulator> gateway)
        : KnxNetIpServer(std::move(gateway), {})
    {}
    ~KnxNetIpServer();
    KnxNetIpServer(const KnxNetIpServer&) = delete;
    KnxNetIpServer& operator=(const KnxNetIpServer&) = delete;

    // Binds the port and serves on a thread of its own; false and why when the port cannot be had.
    bool Start(std::string* error);
    void Stop();
    // Where clients connect: the bound address and port.
    knx::Endpoint Endpoint() const { return m_endpoint; }
    knx::IndividualAddress DeviceAddress() const { return m_options.tunnelling.device; }
    std::size_t OpenTunnels();
    // Runs change with the server held still (for tests: end every tunnel, look at its state).
    void WithServer(const std::function<void(knx::TunnellingServer&)>& change);

private:
    class GatewayDevice;
    void Serve(std::stop_token stop);

    std::shared_ptr<GatewaySimulator> m_gateway;
    Options m_options;
    std::unique_ptr<GatewayDevice> m_device;
    knx::UdpTransport m_network;
    knx::Endpoint m_endpoint;
    std::mutex m_mutex;
    std::unique_ptr<knx::TunnellingServer> m_server;
    std::jthread m_thread; // last: stops before the rest goes
};
