// The host's live device connection over a KNXnet/IP tunnel: the interface objects of one device
// read and written through an IP interface (or the simulator's tunnelling server).
#pragma once

#include "hostapi/EtsServices.h"
#include "knxnet/DeviceManagement.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace knx {

struct KnxNetIpSettings
{
    Endpoint server;          // the interface's control endpoint
    IndividualAddress device; // the device the properties belong to
    TunnelTiming tunnel;
    TransportTiming transport;
    // Acknowledge what the interface sends and send heartbeats while nobody calls; off for tests
    // that step a fake network by hand.
    bool serviceInBackground = true;
};

class KnxNetIpConnection final : public ComObject<IEtsLifeDeviceConnection>
{
public:
    static constexpr HRESULT kNotOpen = E_UNEXPECTED;

    // network: where the datagrams go; a UDP socket on a free port is opened when there is none.
    explicit KnxNetIpConnection(KnxNetIpSettings settings,
                                std::shared_ptr<IDatagramTransport> network = nullptr);
    ~KnxNetIpConnection() override;

    // Opens the tunnel and the transport connection to the device. ETS_E_DEVICE_NOT_FOUND when the
    // interface does not answer, refuses (no free channel) or the device is not on the bus.
    HRESULT Open() override;
    HRESULT Close() override;
    HRESULT get_DeviceInfo(IEtsDeviceInfo** info) override;
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                         std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                         std::uint8_t* buffer) override;
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                          std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                          const std::uint8_t* buffer, std::int16_t verify) override;

    bool IsOpen();
    // Acknowledges what the interface sent meanwhile and sends a due heartbeat; the background
    // service does this every 100 ms.
    void Service();
    // Why the last call failed, in words, for traces and reports.
    std::string LastError();
    const KnxNetIpSettings& Settings() const { return m_settings; }

private:
    void CloseLocked();
    HRESULT Failed(HRESULT hr, const std::string& what);
    void ServiceLoop(std::stop_token stop);

    KnxNetIpSettings m_settings;
    std::shared_ptr<IDatagramTransport> m_network;
    std::mutex m_mutex;
    std::unique_ptr<TunnelClient> m_tunnel;
    std::unique_ptr<DeviceManagement> m_device;
    bool m_open = false;
    std::string m_lastError;
    std::condition_variable_any m_wake;
    std::jthread m_service; // last: stopped before the members it uses go
};

} // namespace knx
