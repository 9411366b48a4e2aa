#include "knxnet/DeviceManagement.h"

#include <algorithm>
#include <cstring>

namespace knx {
namespace {
// Data octets of a property service that still fit a standard frame after its 6 header octets.
constexpr std::size_t kStandardPropertyData = CemiLData::kStandardTpdu - 6;
// The connection is opened again when it was idle this close to the connection timeout, so that
// the device never closes it under a request.
constexpr std::uint32_t kIdleMarginMs = 1'000;
} // namespace

DeviceManagement::DeviceManagement(TunnelClient& tunnel, IndividualAddress device, TransportTiming timing)
    : m_tunnel(tunnel), m_device(device), m_timing(timing)
{}

HRESULT DeviceManagement::Fail(HRESULT hr, const std::string& reason)
{
    m_lastError = reason;
    if (m_connected && m_tunnel.IsConnected())
        SendTpdu(Tpdu::Disconnect());
    m_connected = false;
    m_delivered.clear();
    return hr;
}

std::optional<CemiLData> DeviceManagement::Next(std::uint32_t waitMs)
{
    return m_tunnel.Receive(waitMs);
}

bool DeviceManagement::SendTpdu(const Tpdu& tpdu)
{
    CemiLData frame;
    frame.code = CemiCode::LDataReq;
    frame.source = m_tunnel.Address();
    frame.destination = m_device.raw;
    frame.tpdu = tpdu.Encode();
    m_lastActivityMs = m_tunnel.NowMs();
    return m_tunnel.Send(frame);
}

DeviceManagement::Event DeviceManagement::Take(const CemiLData& frame, Apdu* apdu, std::uint8_t* sequence)
{
    if (frame.GroupDestination())
        return Event::None;
    if (frame.code == CemiCode::LDataCon) {
        // The interface could not deliver our frame: nobody acknowledged it on the bus.
        return frame.destination == m_device.raw && frame.ConfirmFailed() ? Event::NotConfirmed : Event::None;
    }
    if (frame.code != CemiCode::LDataInd || frame.source != m_device ||
        frame.destination != m_tunnel.Address().raw)
        return Event::None;
    auto tpdu = Tpdu::Decode(frame.tpdu);
    if (!tpdu || !m_connected)
        return Event::None;
    const std::uint64_t now = m_tunnel.NowMs();
    switch (tpdu->kind) {
    case TpduKind::Disconnect:
        m_connected = false;
        return Event::Closed;
    case TpduKind::Ack:
    case TpduKind::Nak:
        m_lastFrameMs = m_lastActivityMs = now;
        *sequence = tpdu->sequence;
        return tpdu->kind == TpduKind::Ack ? Event::Ack : Event::Nak;
    case TpduKind::DataConnected:
        m_lastFrameMs = m_lastActivityMs = now;
        if (tpdu->sequence == m_receiveSequence) {
            SendTpdu(Tpdu::Ack(tpdu->sequence));
            m_receiveSequence = (m_receiveSequence + 1) & 0x0F;
            *apdu = std::move(tpdu->apdu);
            return Event::Data;
        }
        // A repetition of data already taken: its acknowledgement was lost.
        if (tpdu->sequence == ((m_receiveSequence + 15) & 0x0F))
            SendTpdu(Tpdu::Ack(tpdu->sequence));
        else
            SendTpdu(Tpdu::Nak(tpdu->sequence));
        return Event::None;
    default:
        return Event::None;
    }
}

HRESULT DeviceManagement::Connect()
{
    m_connected = false;
    m_delivered.clear();
    if (!m_tunnel.IsConnected())
        return Fail(ETS_E_DEVICE_NOT_FOUND, "the tunnel is not connected: " + m_tunnel.LastError());
    // What the device sent before is stale now (a T_Disconnect of the connection that timed out).
    while (m_tunnel.Receive(0)) {
    }
    if (!SendTpdu(Tpdu::Connect()))
        return Fail(ETS_E_DEVICE_NOT_FOUND,
                    "the interface did not take the connect frame: " + m_tunnel.LastError());
    m_connected = true;
    m_sendSequence = m_receiveSequence = 0;
    m_lastFrameMs = m_tunnel.NowMs();
    // The interface's confirmation tells whether the device acknowledged T_Connect on the bus.
    const std::uint64_t deadline = m_tunnel.NowMs() + m_timing.ackTimeoutMs;
    for (;;) {
        const std::uint64_t now = m_tunnel.NowMs();
        if (now >= deadline)
            return S_OK; // an interface that confirms nothing: the first request will tell
        auto frame = Next(static_cast<std::uint32_t>(deadline - now));
        if (!frame)
            return m_tunnel.IsConnected() ? S_OK : Fail(ETS_E_DEVICE_NOT_FOUND, m_tunnel.LastError());
        if (frame->code == CemiCode::LDataCon && frame->destination == m_device.raw &&
            !frame->GroupDestination())
            return frame->ConfirmFailed() ? Fail(ETS_E_DEVICE_NOT_FOUND,
                                                 "device " + m_device.ToString() + " not found on the bus")
                                          : S_OK;
    }
}

void DeviceManagement::Disconnect()
{
    if (m_connected && m_tunnel.IsConnected())
        SendTpdu(Tpdu::Disconnect());
    m_connected = false;
    m_delivered.clear();
}

HRESULT DeviceManagement::SendData(const Apdu& request)
{
    const Tpdu data = Tpdu::Data(m_sendSequence, request);
    for (int sending = 0; sending <= m_timing.maxRepetitions; ++sending) {
        if (!SendTpdu(data))
            return Fail(ETS_E_DEVICE_NOT_FOUND, "connection to the interface lost: " + m_tunnel.LastError());
        const std::uint64_t ackDeadline = m_tunnel.NowMs() + m_timing.ackTimeoutMs;
        bool repeat = false;
        while (!repeat) {
            const std::uint64_t now = m_tunnel.NowMs();
            if (now >= m_lastFrameMs + m_timing.connectionTimeoutMs)
                return Fail(ETS_E_DEVICE_NOT_FOUND, "device " + m_device.ToString() + " does not answer");
            const std::uint64_t until = std::min(ackDeadline, m_lastFrameMs + m_timing.connectionTimeoutMs);
            if (now >= until) {
                repeat = true;
                break;
            }
            auto frame = Next(static_cast<std::uint32_t>(until - now));
            if (!frame) {
                if (!m_tunnel.IsConnected())
                    return Fail(ETS_E_DEVICE_NOT_FOUND,
                                "connection to the interface lost: " + m_tunnel.LastError());
                continue;
            }
            Apdu apdu;
            std::uint8_t sequence = 0;
            switch (Take(*frame, &apdu, &sequence)) {
            case Event::Ack:
                if (sequence != m_sendSequence)
                    return Fail(ETS_E_DEVICE_NOT_FOUND, "device acknowledged out of sequence");
                m_sendSequence = (m_sendSequence + 1) & 0x0F;
                return S_OK;
            case Event::Nak:
                if (sequence != m_sendSequence)
                    return Fail(ETS_E_DEVICE_NOT_FOUND, "device refused out of sequence");
                repeat = true;
                break;
            case Event::Closed:
                return Fail(ETS_E_DEVICE_NOT_FOUND,
                            "device " + m_device.ToString() + " closed the connection");
            case Event::NotConfirmed:
                return Fail(ETS_E_DEVICE_NOT_FOUND,
                            "device " + m_device.ToString() + " not found on the bus");
            case Event::Data:
                m_delivered.push_back(std::move(apdu));
                break;
            case Event::None:
                break;
            }
        }
    }
    return Fail(ETS_E_DEVICE_NOT_FOUND, "device " + m_device.ToString() + " does not acknowledge");
}

HRESULT DeviceManagement::AwaitAnswer(const Matcher& answer, Apdu* reply)
{
    for (;;) {
        while (!m_delivered.empty()) {
            Apdu apdu = std::move(m_delivered.front());
            m_delivered.pop_front();
            if (answer(apdu)) {
                *reply = std::move(apdu);
                return S_OK;
            }
        }
        const std::uint64_t now = m_tunnel.NowMs();
        const std::uint64_t until = m_lastFrameMs + m_timing.connectionTimeoutMs;
        if (now >= until)
            return Fail(ETS_E_DEVICE_NOT_FOUND, "device " + m_device.ToString() + " does not answer");
        auto frame = Next(static_cast<std::uint32_t>(until - now));
        if (!frame) {
            if (!m_tunnel.IsConnected())
                return Fail(ETS_E_DEVICE_NOT_FOUND,
                            "connection to the interface lost: " + m_tunnel.LastError());
            continue;
        }
        Apdu apdu;
        std::uint8_t sequence = 0;
        switch (Take(*frame, &apdu, &sequence)) {
        case Event::Data:
            m_delivered.push_back(std::move(apdu));
            break;
        case Event::Closed:
            return Fail(ETS_E_DEVICE_NOT_FOUND, "device " + m_device.ToString() + " closed the connection");
        default:
            break;
        }
    }
}

HRESULT DeviceManagement::Request(const Apdu& request, const Matcher& answer, Apdu* reply)
{
    m_tunnel.Service();
    if (!m_tunnel.IsConnected())
        return Fail(ETS_E_DEVICE_NOT_FOUND, "the tunnel is not connected: " + m_tunnel.LastError());
    // What came while nobody asked: a T_Disconnect of the device closes the connection before the
    // request instead of failing it.
    while (auto frame = m_tunnel.Receive(0)) {
        Apdu apdu;
        std::uint8_t sequence = 0;
        Take(*frame, &apdu, &sequence);
    }
    if (m_connected && m_tunnel.NowMs() - m_lastActivityMs + kIdleMarginMs >= m_timing.connectionTimeoutMs)
        Disconnect();
    if (!m_connected) {
        HRESULT hr = Connect();
        if (FAILED(hr))
            return hr;
    }
    m_delivered.clear();
    HRESULT hr = SendData(request);
    if (FAILED(hr))
        return hr;
    return AwaitAnswer(answer, reply);
}

HRESULT DeviceManagement::ReadDeviceDescriptor(std::uint16_t* descriptor)
{
    if (!descriptor)
        return E_POINTER;
    Apdu reply;
    HRESULT hr = Request(
        DeviceDescriptorRead(0), [](const Apdu& a) { return a.apci == ApciDeviceDescriptorResponse; },
        &reply);
    if (FAILED(hr))
        return hr;
    if (reply.data.size() != 2)
        return ETS_E_DEVICE_DENIED;
    *descriptor = static_cast<std::uint16_t>(reply.data[0] << 8 | reply.data[1]);
    return S_OK;
}

HRESULT DeviceManagement::PropertyAccess(ApciCode service, std::uint8_t objectIndex, std::uint8_t propertyId,
                                         std::uint16_t startIndex, std::uint8_t count,
                                         std::span<const std::uint8_t> data, Bytes* answer)
{
    PropertyValue request{objectIndex, propertyId, count, startIndex, Bytes(data.begin(), data.end())};
    Apdu reply;
    HRESULT hr = Request(
        request.ToApdu(service),
        [&request](const Apdu& a) {
            auto p = PropertyValue::From(a);
            return a.apci == ApciPropertyValueResponse && p && p->Matches(request);
        },
        &reply);
    if (FAILED(hr))
        return hr;
    auto p = PropertyValue::From(reply);
    // An answer without elements is the device's refusal.
    if (p->count == 0) {
        m_lastError = "device denied the access";
        return ETS_E_DEVICE_DENIED;
    }
    *answer = std::move(p->data);
    return S_OK;
}

HRESULT DeviceManagement::ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                       std::uint16_t startIndex, std::uint16_t count,
                                       std::span<std::uint8_t> out)
{
    if (count == 0 || startIndex + std::uint32_t{count} - 1 > PropertyValue::kMaxStartIndex)
        return E_INVALIDARG;
    // Start index 0 reads the number of elements: one 2-byte value.
    if (startIndex == 0) {
        Bytes answer;
        HRESULT hr = PropertyAccess(ApciPropertyValueRead, objectIndex, propertyId, 0, 1, {}, &answer);
        if (FAILED(hr))
            return hr;
        if (answer.size() != 2)
            return ETS_E_DEVICE_DENIED;
        std::copy_n(answer.begin(), std::min(out.size(), answer.size()), out.begin());
        return S_OK;
    }
    if (out.size() % count != 0 || out.empty())
        return E_INVALIDARG;
    const std::size_t elementSize = out.size() / count;
    const std::size_t perFrame =
        std::clamp<std::size_t>(kStandardPropertyData / elementSize, 1, PropertyValue::kMaxCount);
    for (std::uint16_t done = 0; done < count;) {
        const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(perFrame, count - done));
        Bytes answer;
        HRESULT hr = PropertyAccess(ApciPropertyValueRead, objectIndex, propertyId,
                                    static_cast<std::uint16_t>(startIndex + done), n, {}, &answer);
        if (FAILED(hr))
            return hr;
        if (answer.size() != n * elementSize) {
            m_lastError = "device answered with " + std::to_string(answer.size()) + " bytes";
            return ETS_E_DEVICE_DENIED;
        }
        std::copy(answer.begin(), answer.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(done * elementSize));
        done = static_cast<std::uint16_t>(done + n);
    }
    return S_OK;
}

HRESULT DeviceManagement::WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                        std::uint16_t startIndex, std::uint16_t count,
                                        std::span<const std::uint8_t> data, bool verify)
{
    if (count == 0 || startIndex == 0 || data.empty() || data.size() % count != 0 ||
        startIndex + std::uint32_t{count} - 1 > PropertyValue::kMaxStartIndex)
        return E_INVALIDARG;
    const std::size_t elementSize = data.size() / count;
    const std::size_t perFrame =
        std::clamp<std::size_t>(kStandardPropertyData / elementSize, 1, PropertyValue::kMaxCount);
    for (std::uint16_t done = 0; done < count;) {
        const auto n = static_cast<std::uint8_t>(std::min<std::size_t>(perFrame, count - done));
        auto chunk = data.subspan(done * elementSize, n * elementSize);
        Bytes answer;
        HRESULT hr = PropertyAccess(ApciPropertyValueWrite, objectIndex, propertyId,
                                    static_cast<std::uint16_t>(startIndex + done), n, chunk, &answer);
        if (FAILED(hr))
            return hr;
        if (verify && !std::equal(chunk.begin(), chunk.end(), answer.begin(), answer.end())) {
            m_lastError = "the value read back differs";
            return ETS_E_VERIFY_FAILED;
        }
        done = static_cast<std::uint16_t>(done + n);
    }
    return S_OK;
}

} // namespace knx
