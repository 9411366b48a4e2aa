// KNXnet/IP, cEMI and transport/application frames against byte strings laid out as the standard
// lays them out: each case encodes to the bytes and decodes back, and malformed input is refused.
#include "knxnet/Apdu.h"
#include "knxnet/Cemi.h"
#include "knxnet/KnxNetIpConnect.h"
#include "knxnet/KnxNetIpDiscovery.h"
#include "knxnet/KnxNetIpTunnelling.h"
#include "knxnet/Tpdu.h"

#include <gtest/gtest.h>

using namespace knx;

namespace {
Bytes Hex(const std::string& text)
{
    auto bytes = ParseHex(text);
    EXPECT_TRUE(bytes) << text;
    return bytes.value_or(Bytes{});
}

const Endpoint kClient{{192, 168, 200, 12}, 50100};
const Endpoint kServer{{192, 168, 200, 20}, 3671};
} // namespace

TEST(KnxNetIpFrames, ServicesEncodeToTheStandardsBytesAndBack)
{
    struct Case
    {
        const char* name;
        Bytes encoded;
        std::string bytes;
        std::function<bool(ByteView)> decodesBack;
    };
    const ConnectRequest connect{kClient, kClient};
    const ConnectResponse accepted{0x15, StatusNoError, kServer, IndividualAddress::Of(1, 1, 255)};
    const ConnectResponse refused{0x00, StatusNoMoreConnections, {}, {}};
    const ChannelRequest state{ServiceType::ConnectionStateRequest, 0x15, kClient};
    const ChannelRequest disconnect{ServiceType::DisconnectRequest, 0x15, kClient};
    const ChannelResponse stateOk{ServiceType::ConnectionStateResponse, 0x15, StatusNoError};
    const ChannelResponse disconnected{ServiceType::DisconnectResponse, 0x15, StatusNoError};
    const TunnellingRequest tunnel{0x15, 0x00, Hex("11 00 B0 60 00 00 11 0A 00 80")};
    const TunnellingAck ack{0x15, 0x07, StatusNoError};
    const SearchRequest search{kDiscoveryGroup};
    const Case cases[] = {
        {"CONNECT_REQUEST", connect.Encode(),
         "06 10 02 05 00 1A 08 01 C0 A8 C8 0C C3 B4 08 01 C0 A8 C8 0C C3 B4 04 04 02 00",
         [&](ByteView b) {
             auto d = ConnectRequest::Decode(b);
             return d && d->control == kClient && d->data == kClient &&
                    d->connectionType == kTunnelConnection && d->layer == kTunnelLinkLayer;
         }},
        {"CONNECT_RESPONSE", accepted.Encode(), "06 10 02 06 00 14 15 00 08 01 C0 A8 C8 14 0E 57 04 04 11 FF",
         [&](ByteView b) {
             auto d = ConnectResponse::Decode(b);
             return d && d->channel == 0x15 && d->status == 0 && d->data == kServer &&
                    d->tunnelAddress == IndividualAddress::Of(1, 1, 255);
         }},
        {"CONNECT_RESPONSE refused", refused.Encode(), "06 10 02 06 00 08 00 24",
         [&](ByteView b) {
             auto d = ConnectResponse::Decode(b);
             return d && d->status == StatusNoMoreConnections;
         }},
        {"CONNECTIONSTATE_REQUEST", state.Encode(), "06 10 02 07 00 10 15 00 08 01 C0 A8 C8 0C C3 B4",
         [&](ByteView b) {
             auto d = ChannelRequest::Decode(b);
             return d && d->service == ServiceType::ConnectionStateRequest && d->channel == 0x15 &&
                    d->control == kClient;
         }},
        {"CONNECTIONSTATE_RESPONSE", stateOk.Encode(), "06 10 02 08 00 08 15 00",
         [&](ByteView b) {
             auto d = ChannelResponse::Decode(b);
             return d && d->service == ServiceType::ConnectionStateResponse && d->channel == 0x15;
         }},
        {"DISCONNECT_REQUEST", disconnect.Encode(), "06 10 02 09 00 10 15 00 08 01 C0 A8 C8 0C C3 B4",
         [&](ByteView b) {
             auto d = ChannelRequest::Decode(b);
             return d && d->service == ServiceType::DisconnectRequest;
         }},
        {"DISCONNECT_RESPONSE", disconnected.Encode(), "06 10 02 0A 00 08 15 00",
         [&](ByteView b) {
             auto d = ChannelResponse::Decode(b);
             return d && d->service == ServiceType::DisconnectResponse;
         }},
        {"TUNNELLING_REQUEST", tunnel.Encode(), "06 10 04 20 00 14 04 15 00 00 11 00 B0 60 00 00 11 0A 00 80",
         [&](ByteView b) {
             auto d = TunnellingRequest::Decode(b);
             return d && d->channel == 0x15 && d->sequence == 0 && d->cemi == tunnel.cemi;
         }},
        {"TUNNELLING_ACK", ack.Encode(), "06 10 04 21 00 0A 04 15 07 00",
         [&](ByteView b) {
             auto d = TunnellingAck::Decode(b);
             return d && d->channel == 0x15 && d->sequence == 7 && d->status == 0;
         }},
        {"SEARCH_REQUEST", search.Encode(), "06 10 02 01 00 0E 08 01 E0 00 17 0C 0E 57",
         [&](ByteView b) {
             auto d = SearchRequest::Decode(b);
             return d && d->discovery == kDiscoveryGroup;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexText(c.encoded), HexText(Hex(c.bytes)));
        EXPECT_TRUE(c.decodesBack(Hex(c.bytes)));
    }
}

TEST(KnxNetIpFrames, SearchResponseListsNameAddressAndTunnelling)
{
    std::string name = "Veltrona IP";
    std::string bytes = "06 10 02 02 00 4E 08 01 C0 A8 00 0A 0E 57 "
                        "36 01 02 00 11 FF 00 00 00 01 02 03 04 05 E0 00 17 0C 00 11 22 33 44 55 ";
    for (std::size_t i = 0; i < 30; ++i)
        bytes += (i < name.size() ? HexText(Bytes{static_cast<std::uint8_t>(name[i])}) : "00") + " ";
    bytes += "0A 02 02 01 03 01 04 01 05 01";
    auto response = SearchResponse::Decode(Hex(bytes));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->control, (Endpoint{{192, 168, 0, 10}, 3671}));
    EXPECT_EQ(response->address.ToString(), "1.1.255");
    EXPECT_EQ(response->name, name);
    EXPECT_TRUE(response->SupportsTunnelling());
    EXPECT_EQ(HexText(response->Encode()), HexText(Hex(bytes)));

    response->families = {{kFamilyCore, 1}};
    EXPECT_FALSE(SearchResponse::Decode(response->Encode())->SupportsTunnelling());
}

TEST(KnxNetIpFrames, MalformedDatagramsAreRefused)
{
    const char* cases[] = {
        "06 10 02 08 00 09 15 00",                               // total length is not the datagram's
        "06 11 02 08 00 08 15 00",                               // another protocol version
        "05 10 02 08 00 08 15",                                  // another header size
        "06 10 02 08",                                           // cut in the header
        "06 10 02 05 00 18 08 01 C0 A8 C8 0C C3 B4 08 01 C0 A8", // cut in the second HPAI
        "06 10 02 06 00 10 15 00 08 01 C0 A8 C8 14 0E 57",       // accepted without CRD
        "06 10 04 20 00 0A 04 15 00 00",                         // tunnelling request without cEMI
        "06 10 04 21 00 0A 05 15 07 00",                         // connection header of the wrong size
    };
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        Bytes b = Hex(c);
        EXPECT_FALSE(ConnectRequest::Decode(b));
        EXPECT_FALSE(ConnectResponse::Decode(b));
        EXPECT_FALSE(ChannelResponse::Decode(b));
        EXPECT_FALSE(TunnellingRequest::Decode(b));
        EXPECT_FALSE(TunnellingAck::Decode(b));
    }
}

TEST(CemiFrames, LDataFramesEncodeAndDecode)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        CemiCode code;
        std::string source, destination;
        std::string tpdu;
    };
    const Case cases[] = {
        {"L_Data.req T_Connect", "11 00 B0 60 00 00 11 0A 00 80", CemiCode::LDataReq, "0.0.0", "1.1.10",
         "80"},
        {"L_Data.con", "2E 00 B0 60 11 FF 11 0A 00 80", CemiCode::LDataCon, "1.1.255", "1.1.10", "80"},
        {"L_Data.ind property response", "29 00 B0 60 11 0A 11 FF 07 43 D6 00 01 10 01 00 03",
         CemiCode::LDataInd, "1.1.10", "1.1.255", "43 D6 00 01 10 01 00 03"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto frame = CemiLData::Decode(Hex(c.bytes));
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->code, c.code);
        EXPECT_EQ(frame->source.ToString(), c.source);
        EXPECT_EQ(frame->destination, IndividualAddress::Parse(c.destination)->raw);
        EXPECT_EQ(HexText(frame->tpdu), c.tpdu);
        EXPECT_FALSE(frame->ConfirmFailed());
        EXPECT_EQ(HexText(frame->Encode()), HexText(Hex(c.bytes)));
    }

    // Additional information is skipped; a negative confirmation is seen; a long TPDU goes extended.
    auto withInfo = CemiLData::Decode(Hex("29 04 03 02 01 00 B0 60 11 0A 11 FF 00 C2"));
    ASSERT_TRUE(withInfo);
    EXPECT_EQ(HexText(withInfo->tpdu), "C2");
    EXPECT_TRUE(CemiLData::Decode(Hex("2E 00 B1 60 11 FF 11 0A 00 80"))->ConfirmFailed());
    CemiLData extended;
    extended.tpdu = Bytes(17, 0x40);
    EXPECT_EQ(extended.Encode()[2], 0x30);
    EXPECT_EQ(extended.Encode()[8], 16);

    for (const char* bad : {"11 00 B0 60 00 00 11 0A 01 80", "10 00 B0 60 00 00 11 0A 00 80", "29 05 00"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(CemiLData::Decode(Hex(bad)));
    }
}

TEST(TransportFrames, ControlAndDataTpdus)
{
    PropertyValue readD1{3, 0xD1, 1, 1, {}};
    PropertyValue writeD5{3, 0xD5, 1, 1, Hex("01 01 00 00 00 00 00 00 80 01")};
    PropertyValue answer{0, 1, 1, 1, Hex("00 03")};
    struct Case
    {
        const char* name;
        Tpdu tpdu;
        std::string bytes;
    };
    const Case cases[] = {
        {"T_Connect", Tpdu::Connect(), "80"},
        {"T_Disconnect", Tpdu::Disconnect(), "81"},
        {"T_ACK 0", Tpdu::Ack(0), "C2"},
        {"T_ACK 5", Tpdu::Ack(5), "D6"},
        {"T_NAK 3", Tpdu::Nak(3), "CF"},
        {"T_ACK 15", Tpdu::Ack(15), "FE"},
        {"A_DeviceDescriptor_Read", Tpdu::Data(1, DeviceDescriptorRead(0)), "47 00"},
        {"A_DeviceDescriptor_Response", Tpdu::Data(0, DeviceDescriptorResponse(0x0705)), "43 40 07 05"},
        {"A_PropertyValue_Read", Tpdu::Data(2, readD1.ToApdu(ApciPropertyValueRead)), "4B D5 03 D1 10 01"},
        {"A_PropertyValue_Response", Tpdu::Data(0, answer.ToApdu(ApciPropertyValueResponse)),
         "43 D6 00 01 10 01 00 03"},
        {"A_PropertyValue_Write", Tpdu::Data(3, writeD5.ToApdu(ApciPropertyValueWrite)),
         "4F D7 03 D5 10 01 01 01 00 00 00 00 00 00 80 01"},
        {"T_Data_Individual", Tpdu{TpduKind::DataIndividual, 0, DeviceDescriptorRead(0)}, "03 00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexText(c.tpdu.Encode()), c.bytes);
        auto decoded = Tpdu::Decode(Hex(c.bytes));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(*decoded, c.tpdu);
    }
    for (const char* bad : {"", "82", "80 00", "43"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Tpdu::Decode(Hex(bad)));
    }
}

TEST(TransportFrames, PropertyServicesCarryCountAndTwelveBitStartIndex)
{
    PropertyValue p{7, 0xD2, 15, 0x0ABC, Hex("12 34 56")};
    auto back = PropertyValue::From(p.ToApdu(ApciPropertyValueWrite));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->count, 15);
    EXPECT_EQ(back->startIndex, 0x0ABC);
    EXPECT_EQ(back->data, p.data);
    EXPECT_EQ(HexText(p.ToApdu(ApciPropertyValueRead).data), "07 D2 FA BC 12 34 56");
    // A refusal answers with no elements.
    EXPECT_EQ(PropertyValue::From(Apdu{ApciPropertyValueResponse, Hex("03 D4 01 00")})->count, 0);
    EXPECT_FALSE(PropertyValue::From(Apdu{ApciPropertyValueResponse, Hex("03 D4 10")}));
    EXPECT_FALSE(PropertyValue::From(DeviceDescriptorResponse(0x0705)));
    EXPECT_EQ(DeviceDescriptorResponse(0x0705, 0).Service(), ApciDeviceDescriptorResponse);
}

TEST(Addresses, ParseAndFormat)
{
    EXPECT_EQ(IndividualAddress::Parse("1.1.10")->raw, 0x110A);
    EXPECT_EQ(IndividualAddress::Parse("15.15.255")->ToString(), "15.15.255");
    EXPECT_EQ(Endpoint::Parse("192.168.1.5")->ToString(), "192.168.1.5:3671");
    EXPECT_EQ(Endpoint::Parse("127.0.0.1:50000")->port, 50000);
    for (const char* bad : {"", "1.1", "16.1.1", "1.1.256", "1.1.1.", "a.b.c", "1..1"})
        EXPECT_FALSE(IndividualAddress::Parse(bad)) << bad;
    for (const char* bad :
         {"", "1.2.3", "1.2.3.256", "1.2.3.4:", "1.2.3.4:0", "1.2.3.4:70000", "1.2.3.4:5:6"})
        EXPECT_FALSE(Endpoint::Parse(bad)) << bad;
}
