// The live connection over a KNXnet/IP tunnel against the tunnelling server on a fake network:
// property access end to end, and every way the network or the interface can fail, in virtual time.
#include "FakeNetwork.h"
#include "knxnet/Discovery.h"
#include "knxnet/KnxNetIpConnect.h"
#include "knxnet/KnxNetIpDiscovery.h"

#include <gtest/gtest.h>

using namespace fakenet;

namespace {
bool IsTunnellingFrom(const Sent& s, const Endpoint& from)
{
    return s.from == from && s.Service() == ServiceType::TunnellingRequest;
}
} // namespace

TEST(KnxNetIpConnection, ReadsAndWritesPropertiesThroughTheTunnel)
{
    Rig rig;
    ASSERT_EQ(rig.connection->Open(), S_OK);
    EXPECT_EQ(rig.server->OpenTunnels(), 1u);

    ComPtr<IEtsDeviceInfo> info;
    ASSERT_EQ(rig.connection->get_DeviceInfo(info.GetAddressOf()), S_OK);
    std::uint16_t mask = 0;
    info->get_MaskVersion(&mask);
    EXPECT_EQ(mask, 0x0705);

    Bytes type(2);
    ASSERT_EQ(rig.Read(1, 1, 1, 1, type), S_OK);
    EXPECT_EQ(HexText(type), "C3 51");
    Bytes count(2);
    ASSERT_EQ(rig.Read(1, 0xD2, 0, 1, count), S_OK);
    EXPECT_EQ(HexText(count), "00 40");

    // 64 random addresses do not fit one frame: three per request, reassembled in order.
    const std::size_t before = rig.device.reads;
    Bytes all(64 * 3);
    ASSERT_EQ(rig.Read(1, 0xD2, 1, 64, all), S_OK);
    EXPECT_EQ(rig.device.reads - before, 22u);
    EXPECT_EQ(HexText(ByteView(all).subspan(63 * 3)), "12 34 3F");

    EXPECT_EQ(rig.Write(1, 0xD1, 1, 1, {5, 0, 0}, false), S_OK);
    EXPECT_EQ(HexText(rig.device.properties[{1, 0xD1}].elements[0]), "05 00 00");

    // Refusals of the device come back as such, not as a lost connection.
    Bytes nothing(2);
    EXPECT_EQ(rig.Read(9, 1, 1, 1, nothing), ETS_E_DEVICE_DENIED);
    EXPECT_EQ(rig.Write(1, 0xD5, 1, 1, Bytes(10, 1), true), ETS_E_VERIFY_FAILED);
    EXPECT_EQ(rig.Write(1, 0xD5, 1, 1, Bytes(10, 1), false), S_OK);

    EXPECT_EQ(rig.connection->Close(), S_OK);
    EXPECT_EQ(rig.server->OpenTunnels(), 0u);
    EXPECT_FALSE(rig.server->DeviceConnected());
    EXPECT_EQ(rig.Read(1, 1, 1, 1, type), KnxNetIpConnection::kNotOpen);
}

TEST(KnxNetIpConnection, TransportFramesFollowTheConnectionProtocol)
{
    Rig rig;
    ASSERT_EQ(rig.connection->Open(), S_OK);
    Bytes d1(3);
    // Past 16 requests the transport sequence wraps; past 256 frames the tunnel's does.
    for (int i = 0; i < 140; ++i)
        ASSERT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK) << i;
    rig.connection->Close();

    auto tpdus = rig.network.ClientTpdus();
    ASSERT_GE(tpdus.size(), 3u);
    EXPECT_EQ(tpdus.front().kind, TpduKind::Connect);
    EXPECT_EQ(tpdus.back().kind, TpduKind::Disconnect);
    int data = 0, acks = 0;
    for (const auto& t : tpdus) {
        if (t.kind == TpduKind::DataConnected) {
            EXPECT_EQ(t.sequence, data++ % 16);
        }
        if (t.kind == TpduKind::Ack) {
            EXPECT_EQ(t.sequence, acks++ % 16);
        }
    }
    EXPECT_EQ(data, 140);
    EXPECT_EQ(acks, 140); // every answer acknowledged
    EXPECT_GT(rig.network.Count(ServiceType::TunnellingRequest, rig.network.client->LocalEndpoint()), 256u);
    EXPECT_EQ(rig.network.Count(ServiceType::DisconnectRequest, rig.network.client->LocalEndpoint()), 1u);
}

// Lost datagrams within what the protocols repeat: the call succeeds, and nothing runs twice.
TEST(KnxNetIpConnection, RecoversFromSingleLosses)
{
    struct Case
    {
        const char* name;
        // Picks the datagrams to lose among those sent after the connection was opened.
        std::function<bool(const Sent&, Rig&)> pick;
        std::uint64_t atLeastMs;
    };
    const Case cases[] = {
        {"client's tunnelling request",
         [](const Sent& s, Rig& r) { return IsTunnellingFrom(s, r.network.client->LocalEndpoint()); }, 1000},
        {"server's tunnelling ack",
         [](const Sent& s, Rig& r) {
             return s.from == r.network.serverPort.LocalEndpoint() &&
                    s.Service() == ServiceType::TunnellingAck;
         },
         1000},
        {"server's answer",
         [](const Sent& s, Rig& r) {
             auto cemi = s.Cemi();
             return IsTunnellingFrom(s, r.network.serverPort.LocalEndpoint()) && cemi &&
                    cemi->code == CemiCode::LDataInd && cemi->tpdu.size() > 1;
         },
         1000},
        {"client's ack of the answer",
         [](const Sent& s, Rig& r) {
             return s.from == r.network.client->LocalEndpoint() && s.Service() == ServiceType::TunnellingAck;
         },
         1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_EQ(rig.connection->Open(), S_OK);
        bool lost = false;
        rig.network.lose = [&](const Sent& s) {
            if (lost || !c.pick(s, rig))
                return false;
            lost = true;
            return true;
        };
        const std::uint64_t start = rig.network.clock.NowMs();
        const int writesBefore = rig.device.writes;
        EXPECT_EQ(rig.Write(1, 0xD1, 1, 1, {1, 0, 0}, false), S_OK);
        EXPECT_TRUE(lost);
        EXPECT_EQ(rig.device.writes - writesBefore, 1);
        Bytes d1(3);
        EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK);
        EXPECT_GE(rig.network.clock.NowMs() - start, c.atLeastMs);
    }
}

// Whatever breaks, the call fails with "device not found" (the plug-in's "No connection"), and no
// later call succeeds on a broken tunnel until it is opened again.
TEST(KnxNetIpConnection, FailuresEndInNoConnection)
{
    struct Case
    {
        const char* name;
        std::function<void(Rig&)> breakIt;
        bool reachesDevice; // the write arrives although its answer does not come back
    };
    const Case cases[] = {
        {"server stops answering",
         [](Rig& r) {
             r.network.lose = [](const Sent&) {
                 return true;
             };
         },
         false},
        {"all of the client's frames lost",
         [](Rig& r) {
             r.network.lose = [&r](const Sent& s) {
                 return IsTunnellingFrom(s, r.network.client->LocalEndpoint());
             };
         },
         false},
        {"answers from the bus lost",
         [](Rig& r) {
             r.network.lose = [&r](const Sent& s) {
                 return IsTunnellingFrom(s, r.network.serverPort.LocalEndpoint());
             };
         },
         true},
        {"interface ends the tunnel", [](Rig& r) { r.server->DisconnectAll(); }, false},
        {"interface restarted unnoticed",
         [](Rig& r) {
             r.network.lose = [](const Sent& s) {
                 return s.Service() == ServiceType::DisconnectRequest;
             };
             r.server->DisconnectAll();
             r.network.clock.Advance(61'000); // the heartbeat finds the channel unknown
         },
         false},
        {"device leaves the bus", [](Rig& r) { r.device.absent = true; }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_EQ(rig.connection->Open(), S_OK);
        const int writesBefore = rig.device.writes;
        c.breakIt(rig);
        const std::uint64_t start = rig.network.clock.NowMs();
        EXPECT_EQ(rig.Write(1, 0xD1, 1, 1, {2, 0, 0}, false), ETS_E_DEVICE_NOT_FOUND);
        EXPECT_LE(rig.network.clock.NowMs() - start, 75'000u);
        Bytes d1(3);
        EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), ETS_E_DEVICE_NOT_FOUND);
        EXPECT_FALSE(rig.connection->LastError().empty());
        EXPECT_EQ(rig.device.writes - writesBefore, c.reachesDevice ? 1 : 0);
        // Once the cause is gone and the server has dropped a tunnel it no longer hears from, the
        // connection opens again.
        rig.network.lose = nullptr;
        rig.device.absent = false;
        rig.network.clock.Advance(121'000);
        rig.server->Tick();
        EXPECT_EQ(rig.connection->Open(), S_OK);
        EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK);
    }
}

TEST(KnxNetIpConnection, OpenFailsClearlyWhenRefusedSilentOrAbsent)
{
    {
        SCOPED_TRACE("no free channel");
        Rig rig;
        ASSERT_EQ(rig.connection->Open(), S_OK);
        auto other = rig.Connect(rig.network.second);
        EXPECT_EQ(other->Open(), ETS_E_DEVICE_NOT_FOUND);
        EXPECT_NE(other->LastError().find("no free tunnelling channel"), std::string::npos)
            << other->LastError();
        rig.connection->Close();
        EXPECT_EQ(other->Open(), S_OK); // the channel was given back
    }
    {
        SCOPED_TRACE("nobody at the address");
        Rig rig;
        rig.network.server = nullptr;
        const std::uint64_t start = rig.network.clock.NowMs();
        EXPECT_EQ(rig.connection->Open(), ETS_E_DEVICE_NOT_FOUND);
        EXPECT_EQ(rig.network.clock.NowMs() - start, 10'000u);
        EXPECT_NE(rig.connection->LastError().find("no answer"), std::string::npos);
    }
    {
        SCOPED_TRACE("device not on the bus");
        Rig rig;
        rig.device.absent = true;
        EXPECT_EQ(rig.connection->Open(), ETS_E_DEVICE_NOT_FOUND);
        EXPECT_FALSE(rig.connection->IsOpen());
        EXPECT_EQ(rig.server->OpenTunnels(), 0u); // the tunnel is not left behind
    }
}

TEST(KnxNetIpConnection, KeepsTheTunnelAndTheTransportConnectionAlive)
{
    Rig rig;
    ASSERT_EQ(rig.connection->Open(), S_OK);
    const Endpoint client = rig.network.client->LocalEndpoint();
    Bytes d1(3);

    // A pause of 10 s: the device closed the idle transport connection; the next call opens it again.
    rig.network.clock.Advance(10'000);
    rig.server->Tick();
    EXPECT_FALSE(rig.server->DeviceConnected());
    EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK);
    EXPECT_EQ(rig.device.connects, 2);

    // Heartbeats every 60 s keep the tunnel beyond the server's 120 s.
    EXPECT_EQ(rig.network.Count(ServiceType::ConnectionStateRequest, client), 0u);
    for (int minute = 0; minute < 3; ++minute) {
        rig.network.clock.Advance(60'000);
        rig.connection->ReadProperty(1, 0xD1, 0, 1, 1, 3, d1.data());
    }
    EXPECT_EQ(rig.network.Count(ServiceType::ConnectionStateRequest, client), 3u);
    EXPECT_EQ(rig.server->OpenTunnels(), 1u);
    EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK);
}

TEST(TunnellingServer, AnswersDiscoveryAndRefusesWhatItDoesNotOffer)
{
    Rig rig([](TunnellingServerOptions& o) { o.name = "Simulated gateway"; });
    Port& client = *rig.network.client;
    client.Send(rig.network.serverPort.LocalEndpoint(), SearchRequest{client.LocalEndpoint()}.Encode());
    auto found = SearchResponse::Decode(client.Receive(0)->bytes);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "Simulated gateway");
    EXPECT_EQ(found->control, rig.network.serverPort.LocalEndpoint());
    EXPECT_TRUE(found->SupportsTunnelling());

    struct Case
    {
        ConnectRequest request;
        std::uint8_t status;
    };
    const Case cases[] = {
        {{client.LocalEndpoint(), client.LocalEndpoint(), 0x03, 0x00}, StatusConnectionType},
        {{client.LocalEndpoint(), client.LocalEndpoint(), kTunnelConnection, 0x04}, StatusConnectionOption},
    };
    for (const auto& c : cases) {
        client.Send(rig.network.serverPort.LocalEndpoint(), c.request.Encode());
        auto response = ConnectResponse::Decode(client.Receive(0)->bytes);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, c.status);
    }
    client.Send(rig.network.serverPort.LocalEndpoint(),
                ChannelRequest{ServiceType::ConnectionStateRequest, 77, client.LocalEndpoint()}.Encode());
    EXPECT_EQ(ChannelResponse::Decode(client.Receive(0)->bytes)->status, StatusConnectionId);
    EXPECT_EQ(rig.server->OpenTunnels(), 0u);
}

TEST(Discovery, ListsEachInterfaceThatAnswersOnce)
{
    Rig rig([](TunnellingServerOptions& o) { o.name = "Line 1 interface"; });
    const Endpoint server = rig.network.serverPort.LocalEndpoint();
    auto found = DiscoverInterfaces(*rig.network.client, 3000, server);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].control, server);
    EXPECT_TRUE(found[0].tunnelling);
    EXPECT_EQ(found[0].Describe(), "Line 1 interface (1.1.250) at 127.0.0.1:3671");

    // The same answer twice (two network paths) is one interface; nobody answering is an empty list.
    rig.network.lose = [&](const Sent& s) {
        if (s.Service() == ServiceType::SearchResponse)
            rig.network.client->inbox.push_back({s.from, s.bytes});
        return false;
    };
    EXPECT_EQ(DiscoverInterfaces(*rig.network.client, 3000, server).size(), 1u);
    rig.network.server = nullptr;
    const std::uint64_t start = rig.network.clock.NowMs();
    EXPECT_TRUE(DiscoverInterfaces(*rig.network.client, 3000, server).empty());
    EXPECT_EQ(rig.network.clock.NowMs() - start, 3000u);
}

TEST(KnxNetIpConnection, ConnectionClosedByTheDeviceIsOpenedAgainForTheNextRequest)
{
    // A device that gives up an idle connection sooner than the client expects.
    Rig rig([](TunnellingServerOptions& o) { o.transportTimeoutMs = 3'000; });
    ASSERT_EQ(rig.connection->Open(), S_OK);
    Bytes d1(3);
    ASSERT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK);
    rig.Idle(3'500);
    EXPECT_FALSE(rig.server->DeviceConnected());
    EXPECT_EQ(rig.server->OpenTunnels(), 1u); // the service kept acknowledging
    EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK) << rig.connection->LastError();
    EXPECT_EQ(rig.device.connects, 2);

    // Idle for minutes: heartbeats keep the tunnel, the connection is opened again when needed.
    rig.Idle(200'000);
    EXPECT_EQ(rig.server->OpenTunnels(), 1u);
    EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK) << rig.connection->LastError();
}

TEST(KnxNetIpConnection, AnotherHostCanNeitherUseNorEndTheTunnel)
{
    Rig rig;
    ASSERT_EQ(rig.connection->Open(), S_OK);
    Port& stranger = *rig.network.stranger;
    const Endpoint server = rig.network.serverPort.LocalEndpoint();
    const std::uint8_t channel = 1;

    // A write to the device in the client's channel, and a disconnect of it, from elsewhere.
    CemiLData frame;
    frame.destination = rig.options.device.raw;
    frame.tpdu =
        Tpdu::Data(0, PropertyValue{1, 0xD1, 1, 1, {9, 9, 9}}.ToApdu(ApciPropertyValueWrite)).Encode();
    // Sequence 1 is the one the server expects next: only T_Connect went before.
    stranger.Send(server, TunnellingRequest{channel, 1, frame.Encode()}.Encode());
    stranger.Send(server,
                  ChannelRequest{ServiceType::DisconnectRequest, channel, stranger.LocalEndpoint()}.Encode());
    // And a disconnect that claims to come from the interface.
    stranger.Send(rig.network.client->LocalEndpoint(),
                  ChannelRequest{ServiceType::DisconnectRequest, channel, stranger.LocalEndpoint()}.Encode());

    EXPECT_EQ(rig.device.writes, 0);
    EXPECT_EQ(rig.server->OpenTunnels(), 1u);
    Bytes d1(3);
    EXPECT_EQ(rig.Read(1, 0xD1, 1, 1, d1), S_OK) << rig.connection->LastError();
    EXPECT_EQ(HexText(d1), "00 00 00");
}
