#include "knxnet/TunnellingServer.h"

#include "knxnet/KnxNetIpConnect.h"
#include "knxnet/KnxNetIpDiscovery.h"
#include "knxnet/KnxNetIpTunnelling.h"

#include <algorithm>

namespace knx {
namespace {
// Descriptor type answered for a type the device does not have.
constexpr std::uint8_t kUnsupportedDescriptor = 0x3F;
} // namespace

TunnellingServer::TunnellingServer(IDatagramTransport& network, IBusDevice& device,
                                   TunnellingServerOptions options)
    : m_network(network), m_device(device), m_options(std::move(options))
{}

bool TunnellingServer::FromClient(const Channel& channel, const Datagram& datagram)
{
    // A channel is the client's alone: another host can neither use nor end it.
    return datagram.from.ip == channel.data.ip || datagram.from.ip == channel.control.ip;
}

Endpoint TunnellingServer::Reply(const Endpoint& given, const Datagram& datagram) const
{
    // 0.0.0.0:0 (a client behind address translation): answer where the request came from.
    return given.IsAny() || given.port == 0 ? datagram.from : given;
}

void TunnellingServer::Handle(const Datagram& datagram)
{
    auto frame = DecodeFrame(datagram.bytes);
    if (!frame)
        return;
    switch (frame->service) {
    case ServiceType::SearchRequest:
        OnSearch(datagram);
        break;
    case ServiceType::ConnectRequest:
        OnConnect(datagram);
        break;
    case ServiceType::ConnectionStateRequest:
    case ServiceType::DisconnectRequest:
        OnChannelRequest(datagram);
        break;
    case ServiceType::TunnellingRequest:
        OnTunnelling(datagram);
        break;
    case ServiceType::TunnellingAck:
        OnAck(datagram);
        break;
    default:
        break;
    }
}

void TunnellingServer::OnSearch(const Datagram& datagram)
{
    auto request = SearchRequest::Decode(datagram.bytes);
    if (!request)
        return;
    SearchResponse response;
    response.control = m_network.LocalEndpoint();
    response.address = m_options.interfaceAddress;
    response.name = m_options.name;
    m_network.Send(Reply(request->discovery, datagram), response.Encode());
}

void TunnellingServer::OnConnect(const Datagram& datagram)
{
    auto request = ConnectRequest::Decode(datagram.bytes);
    if (!request)
        return;
    const Endpoint control = Reply(request->control, datagram);
    ConnectResponse response;
    if (request->connectionType != kTunnelConnection) {
        response.status = StatusConnectionType;
    } else if (request->layer != kTunnelLinkLayer) {
        response.status = StatusConnectionOption;
    } else {
        auto free =
            std::find_if(m_options.tunnelAddresses.begin(), m_options.tunnelAddresses.end(), [&](auto a) {
                return std::none_of(m_channels.begin(), m_channels.end(),
                                    [a](auto& c) { return c.second.address == a; });
            });
        if (free == m_options.tunnelAddresses.end()) {
            response.status = StatusNoMoreConnections;
        } else {
            while (m_nextChannel == 0 || m_channels.count(m_nextChannel))
                ++m_nextChannel;
            Channel channel;
            channel.control = control;
            channel.data = Reply(request->data, datagram);
            channel.address = *free;
            channel.lastSeenMs = m_network.NowMs();
            response.channel = m_nextChannel;
            response.data = m_network.LocalEndpoint();
            response.tunnelAddress = *free;
            m_channels.emplace(m_nextChannel++, channel);
        }
    }
    m_network.Send(control, response.Encode());
}

void TunnellingServer::OnChannelRequest(const Datagram& datagram)
{
    auto request = ChannelRequest::Decode(datagram.bytes);
    if (!request)
        return;
    auto it = m_channels.find(request->channel);
    const bool known = it != m_channels.end() && FromClient(it->second, datagram);
    const bool state = request->service == ServiceType::ConnectionStateRequest;
    ChannelResponse response{state ? ServiceType::ConnectionStateResponse : ServiceType::DisconnectResponse,
                             request->channel, known ? StatusNoError : StatusConnectionId};
    m_network.Send(Reply(request->control, datagram), response.Encode());
    if (!known)
        return;
    if (state)
        it->second.lastSeenMs = m_network.NowMs();
    else
        Close(request->channel, false);
}

void TunnellingServer::OnTunnelling(const Datagram& datagram)
{
    auto request = TunnellingRequest::Decode(datagram.bytes);
    if (!request)
        return;
    auto it = m_channels.find(request->channel);
    if (it == m_channels.end() || !FromClient(it->second, datagram))
        return;
    Channel& channel = it->second;
    channel.lastSeenMs = m_network.NowMs();
    const bool expected = request->sequence == channel.receiveSequence;
    const bool repeated = request->sequence == static_cast<std::uint8_t>(channel.receiveSequence - 1);
    if (!expected && !repeated)
        return;
    m_network.Send(channel.data, TunnellingAck{request->channel, request->sequence, StatusNoError}.Encode());
    if (!expected)
        return; // our acknowledgement was lost; the frame was taken already
    channel.receiveSequence = static_cast<std::uint8_t>(channel.receiveSequence + 1);
    if (auto frame = CemiLData::Decode(request->cemi); frame && frame->code == CemiCode::LDataReq)
        OnFrame(request->channel, std::move(*frame));
}

void TunnellingServer::OnAck(const Datagram& datagram)
{
    auto ack = TunnellingAck::Decode(datagram.bytes);
    if (!ack)
        return;
    auto it = m_channels.find(ack->channel);
    if (it == m_channels.end() || !FromClient(it->second, datagram))
        return;
    Channel& channel = it->second;
    channel.lastSeenMs = m_network.NowMs();
    if (!channel.awaitingAck || ack->sequence != channel.sendSequence)
        return;
    channel.awaitingAck = false;
    channel.outbox.pop_front();
    channel.sendSequence = static_cast<std::uint8_t>(channel.sendSequence + 1);
    SendNext(ack->channel, channel);
}

void TunnellingServer::OnFrame(std::uint8_t channel, CemiLData frame)
{
    if (frame.source.raw == 0)
        frame.source = m_channels.at(channel).address;
    // Group telegrams need nobody's acknowledgement; an individual address other than the device's
    // has nobody on this bus to acknowledge it.
    bool delivered = frame.GroupDestination();
    const std::size_t before = m_channels.at(channel).outbox.size();
    if (!frame.GroupDestination() && frame.destination == m_options.device.raw) {
        // The device's frames are held back so that the confirmation goes first, as on the bus.
        m_holding = true;
        std::optional<Tpdu> tpdu = Tpdu::Decode(frame.tpdu);
        delivered = !tpdu || DeviceFrame(channel, frame.source, *tpdu);
        m_holding = false;
    }
    auto it = m_channels.find(channel);
    if (it == m_channels.end())
        return;
    CemiLData confirmation = frame;
    confirmation.code = CemiCode::LDataCon;
    confirmation.control1 = static_cast<std::uint8_t>(delivered ? frame.control1 & ~CemiLData::kConfirmError
                                                                : frame.control1 | CemiLData::kConfirmError);
    auto& outbox = it->second.outbox;
    outbox.insert(outbox.begin() + static_cast<std::ptrdiff_t>(std::min(before, outbox.size())),
                  confirmation.Encode());
    SendNext(channel, it->second);
}

bool TunnellingServer::DeviceFrame(std::uint8_t channel, IndividualAddress from, const Tpdu& tpdu)
{
    const std::uint64_t now = m_network.NowMs();
    const bool ours = m_link.connected && m_link.peer == from;
    switch (tpdu.kind) {
    case TpduKind::Connect:
        if (FAILED(m_device.Connect()))
            return false;
        if (m_link.connected && !ours) {
            Indicate(channel, from, Tpdu::Disconnect()); // busy with another client
            return true;
        }
        m_link = Link{};
        m_link.connected = true;
        m_link.peer = from;
        m_link.channel = channel;
        m_link.lastFrameMs = now;
        return true;
    case TpduKind::Disconnect:
        if (ours)
            CloseLink(false);
        return true;
    case TpduKind::Ack:
        if (!ours)
            return true;
        m_link.lastFrameMs = now;
        if (m_link.pending && tpdu.sequence == m_link.sendSequence) {
            m_link.pending.reset();
            m_link.sendSequence = (m_link.sendSequence + 1) & 0x0F;
        } else if (m_link.pending) {
            CloseLink(true);
        }
        return true;
    case TpduKind::Nak:
        if (!ours)
            return true;
        m_link.lastFrameMs = now;
        if (m_link.pending && tpdu.sequence == m_link.sendSequence &&
            m_link.repetitions < m_options.maxRepetitions) {
            ++m_link.repetitions;
            m_link.sentMs = now;
            Indicate(channel, from, Tpdu::Data(m_link.sendSequence, *m_link.pending));
        } else if (m_link.pending) {
            CloseLink(true);
        }
        return true;
    case TpduKind::DataConnected: {
        if (!ours) {
            Indicate(channel, from, Tpdu::Disconnect());
            return true;
        }
        if (tpdu.sequence == ((m_link.receiveSequence + 15) & 0x0F)) {
            m_link.lastFrameMs = now;
            Indicate(channel, from, Tpdu::Ack(tpdu.sequence)); // a repetition: taken already
            return true;
        }
        if (tpdu.sequence != m_link.receiveSequence) {
            Indicate(channel, from, Tpdu::Nak(tpdu.sequence));
            return true;
        }
        bool absent = false;
        std::optional<Apdu> answer = Execute(tpdu.apdu, &absent);
        if (absent)
            return false;
        m_link.lastFrameMs = now;
        m_link.receiveSequence = (m_link.receiveSequence + 1) & 0x0F;
        Indicate(channel, from, Tpdu::Ack(tpdu.sequence));
        if (answer) {
            m_link.pending = *answer;
            m_link.repetitions = 0;
            m_link.sentMs = now;
            Indicate(channel, from, Tpdu::Data(m_link.sendSequence, *answer));
        }
        return true;
    }
    case TpduKind::DataIndividual: {
        bool absent = false;
        std::optional<Apdu> answer = Execute(tpdu.apdu, &absent);
        if (absent)
            return false;
        if (answer)
            Indicate(channel, from, Tpdu{TpduKind::DataIndividual, 0, *answer});
        return true;
    }
    }
    return true;
}

std::optional<Apdu> TunnellingServer::Execute(const Apdu& request, bool* absent)
{
    if (request.Service() == ApciDeviceDescriptorRead) {
        if ((request.apci & 0x3F) != 0)
            return Apdu{static_cast<std::uint16_t>(ApciDeviceDescriptorResponse | kUnsupportedDescriptor),
                        {}};
        std::uint16_t descriptor = 0;
        HRESULT hr = m_device.ReadDescriptor(&descriptor);
        *absent = hr == ETS_E_DEVICE_NOT_FOUND;
        if (FAILED(hr))
            return std::nullopt;
        return DeviceDescriptorResponse(descriptor);
    }
    auto property = PropertyValue::From(request);
    if (!property || request.apci == ApciPropertyValueResponse)
        return std::nullopt;
    PropertyValue answer = *property;
    answer.data.clear();
    HRESULT hr =
        request.apci == ApciPropertyValueRead
            ? m_device.ReadProperty(property->objectIndex, property->propertyId, property->startIndex,
                                    property->count, &answer.data)
            : m_device.WriteProperty(property->objectIndex, property->propertyId, property->startIndex,
                                     property->count, property->data, &answer.data);
    *absent = hr == ETS_E_DEVICE_NOT_FOUND;
    if (*absent)
        return std::nullopt;
    if (FAILED(hr)) {
        answer.count = 0; // the negative answer: no elements, no data
        answer.data.clear();
    }
    return answer.ToApdu(ApciPropertyValueResponse);
}

void TunnellingServer::Indicate(std::uint8_t channel, IndividualAddress to, const Tpdu& tpdu)
{
    CemiLData frame;
    frame.code = CemiCode::LDataInd;
    frame.source = m_options.device;
    frame.destination = to.raw;
    frame.tpdu = tpdu.Encode();
    Queue(channel, frame);
}

void TunnellingServer::Queue(std::uint8_t id, const CemiLData& frame)
{
    auto it = m_channels.find(id);
    if (it == m_channels.end())
        return;
    it->second.outbox.push_back(frame.Encode());
    if (!m_holding)
        SendNext(id, it->second);
}

void TunnellingServer::SendNext(std::uint8_t id, Channel& channel)
{
    if (channel.awaitingAck || channel.outbox.empty())
        return;
    channel.awaitingAck = true;
    channel.sendings = 1;
    channel.sentMs = m_network.NowMs();
    m_network.Send(channel.data,
                   TunnellingRequest{id, channel.sendSequence, channel.outbox.front()}.Encode());
}

void TunnellingServer::Tick()
{
    const std::uint64_t now = m_network.NowMs();
    std::vector<std::uint8_t> lost;
    for (auto& [id, channel] : m_channels) {
        if (now - channel.lastSeenMs >= m_options.connectionAliveMs) {
            lost.push_back(id);
        } else if (channel.awaitingAck && now - channel.sentMs >= m_options.tunnellingAckMs) {
            // Once repeated; a frame acknowledged by neither sending ends the tunnel.
            if (channel.sendings >= 2) {
                lost.push_back(id);
                continue;
            }
            ++channel.sendings;
            channel.sentMs = now;
            m_network.Send(channel.data,
                           TunnellingRequest{id, channel.sendSequence, channel.outbox.front()}.Encode());
        }
    }
    for (std::uint8_t id : lost)
        Close(id, true);
    for (auto& [id, channel] : m_channels)
        SendNext(id, channel);

    if (!m_link.connected)
        return;
    if (m_link.pending && now - m_link.sentMs >= m_options.transportAckMs) {
        if (m_link.repetitions >= m_options.maxRepetitions) {
            CloseLink(true);
            return;
        }
        ++m_link.repetitions;
        m_link.sentMs = now;
        Indicate(m_link.channel, m_link.peer, Tpdu::Data(m_link.sendSequence, *m_link.pending));
    }
    if (now - m_link.lastFrameMs >= m_options.transportTimeoutMs)
        CloseLink(true);
}

void TunnellingServer::CloseLink(bool tellPeer)
{
    if (tellPeer && m_link.connected)
        Indicate(m_link.channel, m_link.peer, Tpdu::Disconnect());
    m_link = Link{};
}

void TunnellingServer::Close(std::uint8_t id, bool tellClient)
{
    auto it = m_channels.find(id);
    if (it == m_channels.end())
        return;
    if (tellClient)
        m_network.Send(
            it->second.control,
            ChannelRequest{ServiceType::DisconnectRequest, id, m_network.LocalEndpoint()}.Encode());
    m_channels.erase(it);
    if (m_link.connected && m_link.channel == id)
        m_link = Link{};
}

void TunnellingServer::DisconnectAll()
{
    while (!m_channels.empty())
        Close(m_channels.begin()->first, true);
}

} // namespace knx
