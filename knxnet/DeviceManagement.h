// Management of one device over a tunnel: the KNX transport connection (T_Connect, numbered data
// with T_ACK/T_NAK, repetitions, the 6 s connection timeout, T_Disconnect) and the device
// descriptor and property services in it.
#pragma once

#include "knxnet/Apdu.h"
#include "knxnet/Tpdu.h"
#include "knxnet/TunnelClient.h"
#include "platform/HResult.h"

#include <deque>
#include <functional>
#include <span>
#include <string>

namespace knx {

struct TransportTiming
{
    std::uint32_t connectionTimeoutMs = 6'000;
    std::uint32_t ackTimeoutMs = 3'000;
    int maxRepetitions = 3;
};

class DeviceManagement
{
public:
    DeviceManagement(TunnelClient& tunnel, IndividualAddress device, TransportTiming timing = {});
    DeviceManagement(const DeviceManagement&) = delete;
    DeviceManagement& operator=(const DeviceManagement&) = delete;

    // Opens the transport connection. ETS_E_DEVICE_NOT_FOUND when the tunnel is down or the
    // interface reports the frame was not acknowledged on the bus.
    HRESULT Connect();
    // Closes it with T_Disconnect; nothing when it is closed.
    void Disconnect();
    bool IsConnected() const { return m_connected; }

    // Every service opens the connection again first when it was closed (by the device, by a
    // timeout or after a failure). Failures: ETS_E_DEVICE_NOT_FOUND when the device does not
    // answer or the connection breaks, ETS_E_DEVICE_DENIED when it answers with no data.
    HRESULT ReadDeviceDescriptor(std::uint16_t* descriptor);
    // Elements of elementSize bytes each; split into as many requests as standard frames need.
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                         std::uint16_t count, std::span<std::uint8_t> out);
    // The device answers a write with the value it holds; verify compares it with what was written
    // (ETS_E_VERIFY_FAILED).
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::uint16_t startIndex,
                          std::uint16_t count, std::span<const std::uint8_t> data, bool verify);

    const std::string& LastError() const { return m_lastError; }

private:
    using Matcher = std::function<bool(const Apdu&)>;
    // Sends the APDU as numbered data and waits for its T_ACK, then for the answer the matcher takes.
    HRESULT Request(const Apdu& request, const Matcher& answer, Apdu* reply);
    HRESULT SendData(const Apdu& request);
    HRESULT AwaitAnswer(const Matcher& answer, Apdu* reply);
    bool SendTpdu(const Tpdu& tpdu);
    // What a frame from the interface means for the connection; numbered data is acknowledged and
    // handed out in *apdu.
    enum class Event
    {
        None,
        Data,
        Ack,
        Nak,
        Closed,
        NotConfirmed
    };
    Event Take(const CemiLData& frame, Apdu* apdu, std::uint8_t* sequence);
    std::optional<CemiLData> Next(std::uint32_t waitMs);
    HRESULT Fail(HRESULT hr, const std::string& reason);
    HRESULT PropertyAccess(ApciCode service, std::uint8_t objectIndex, std::uint8_t propertyId,
                           std::uint16_t startIndex, std::uint8_t count, std::span<const std::uint8_t> data,
                           Bytes* answer);

    TunnelClient& m_tunnel;
    IndividualAddress m_device;
    TransportTiming m_timing;
    bool m_connected = false;
    std::uint8_t m_sendSequence = 0;
    std::uint8_t m_receiveSequence = 0;
    std::uint64_t m_lastFrameMs = 0;    // last frame received in the connection
    std::uint64_t m_lastActivityMs = 0; // last frame sent or received
    std::deque<Apdu> m_delivered;       // numbered data that came before it was awaited
    std::string m_lastError;
};

} // namespace knx
