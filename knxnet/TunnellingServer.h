// The server end of KNXnet/IP tunnelling in front of one device on its bus: accepts tunnels (one per
// free tunnel address), answers discovery and heartbeats, confirms and acknowledges frames with
// repetition, and plays the device's side of the transport connection and management services.
#pragma once

#include "knxnet/Apdu.h"
#include "knxnet/Cemi.h"
#include "knxnet/DatagramTransport.h"
#include "knxnet/Tpdu.h"
#include "platform/HResult.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace knx {

// The device behind the server. ETS_E_DEVICE_NOT_FOUND from any call: the device does not answer
// on the bus (the interface confirms the frame negatively); any other failure: a negative answer.
class IBusDevice
{
public:
    virtual ~IBusDevice() = default;
    virtual HRESULT Connect() = 0;
    virtual HRESULT ReadDescriptor(std::uint16_t* descriptor) = 0;
    // start index 0: the number of elements as two bytes.
    virtual HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                                 std::uint8_t count, Bytes* data) = 0;
    // *current: the value the device holds afterwards, which the answer carries.
    virtual HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                                  std::uint8_t count, ByteView data, Bytes* current) = 0;
};

struct TunnellingServerOptions
{
    IndividualAddress device = IndividualAddress::Of(1, 1, 1);
    IndividualAddress interfaceAddress = IndividualAddress::Of(1, 1, 250);
    // One tunnel per address; a connection beyond them is refused with "no more connections".
    std::vector<IndividualAddress> tunnelAddresses{IndividualAddress::Of(1, 1, 251)};
    std::string name = "Veltrona gateway simulator";
    std::uint32_t tunnellingAckMs = 1'000;
    std::uint32_t connectionAliveMs = 120'000;
    std::uint32_t transportAckMs = 3'000;
    std::uint32_t transportTimeoutMs = 6'000;
    int maxRepetitions = 3;
};

class TunnellingServer
{
public:
    TunnellingServer(IDatagramTransport& network, IBusDevice& device, TunnellingServerOptions options = {});
    TunnellingServer(const TunnellingServer&) = delete;
    TunnellingServer& operator=(const TunnellingServer&) = delete;

    // One datagram from the network.
    void Handle(const Datagram& datagram);
    // Repetitions and timeouts that are due by the network's time.
    void Tick();
    // Ends every tunnel from this side, as an interface does when it restarts.
    void DisconnectAll();
    std::size_t OpenTunnels() const { return m_channels.size(); }
    bool DeviceConnected() const { return m_link.connected; }

private:
    struct Channel
    {
        Endpoint control, data;
        IndividualAddress address;
        std::uint8_t receiveSequence = 0;
        std::uint8_t sendSequence = 0;
        std::deque<Bytes> outbox; // cEMI frames, the front one sent and awaiting its ack
        bool awaitingAck = false;
        int sendings = 0;
        std::uint64_t sentMs = 0;
        std::uint64_t lastSeenMs = 0;
    };
    // The device's transport connection (it takes one at a time).
    struct Link
    {
        bool connected = false;
        IndividualAddress peer;
        std::uint8_t channel = 0;
        std::uint8_t receiveSequence = 0;
        std::uint8_t sendSequence = 0;
        std::optional<Apdu> pending; // answer sent, awaiting T_ACK
        int repetitions = 0;
        std::uint64_t sentMs = 0;
        std::uint64_t lastFrameMs = 0;
    };

    void OnConnect(const Datagram& datagram);
    void OnTunnelling(const Datagram& datagram);
    void OnAck(const Datagram& datagram);
    void OnChannelRequest(const Datagram& datagram);
    void OnSearch(const Datagram& datagram);
    void OnFrame(std::uint8_t channel, CemiLData frame);
    // The device's part; false when the device does not answer on the bus.
    bool DeviceFrame(std::uint8_t channel, IndividualAddress from, const Tpdu& tpdu);
    std::optional<Apdu> Execute(const Apdu& request, bool* absent);
    void Indicate(std::uint8_t channel, IndividualAddress to, const Tpdu& tpdu);
    void Queue(std::uint8_t channel, const CemiLData& frame);
    void SendNext(std::uint8_t id, Channel& channel);
    void Close(std::uint8_t id, bool tellClient);
    void CloseLink(bool tellPeer);
    Endpoint Reply(const Endpoint& given, const Datagram& datagram) const;
    static bool FromClient(const Channel& channel, const Datagram& datagram);

    IDatagramTransport& m_network;
    IBusDevice& m_device;
    TunnellingServerOptions m_options;
    std::map<std::uint8_t, Channel> m_channels;
    std::uint8_t m_nextChannel = 1;
    Link m_link;
    bool m_holding = false; // frames are queued, not sent
};

} // namespace knx
