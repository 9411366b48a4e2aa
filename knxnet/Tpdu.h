// The KNX transport layer's frames: connection control (T_Connect, T_Disconnect, T_ACK, T_NAK) and
// data, connectionless (T_Data_Individual) or in a connection with a sequence number (T_Data_Connected).
#pragma once

#include "knxnet/Apdu.h"

namespace knx {

enum class TpduKind
{
    DataIndividual, // also group and broadcast data: the destination type tells them apart
    DataConnected,
    Connect,
    Disconnect,
    Ack,
    Nak,
};

struct Tpdu
{
    TpduKind kind = TpduKind::DataIndividual;
    std::uint8_t sequence = 0; // 0..15, for connected data, T_ACK and T_NAK
    Apdu apdu;                 // data kinds only

    static Tpdu Connect() { return {TpduKind::Connect, 0, {}}; }
    static Tpdu Disconnect() { return {TpduKind::Disconnect, 0, {}}; }
    static Tpdu Ack(std::uint8_t sequence) { return {TpduKind::Ack, sequence, {}}; }
    static Tpdu Nak(std::uint8_t sequence) { return {TpduKind::Nak, sequence, {}}; }
    static Tpdu Data(std::uint8_t sequence, Apdu apdu)
    {
        return {TpduKind::DataConnected, sequence, std::move(apdu)};
    }

    bool IsData() const { return kind == TpduKind::DataIndividual || kind == TpduKind::DataConnected; }
    Bytes Encode() const;
    // Nothing for a reserved control code or a data frame too short for its APCI.
    static std::optional<Tpdu> Decode(ByteView tpdu);
    bool operator==(const Tpdu&) const = default;
};

} // namespace knx
