// cEMI data link frames: L_Data.req from the client, L_Data.con and L_Data.ind from the interface.
#pragma once

#include "knxnet/KnxAddress.h"
#include "knxnet/KnxBytes.h"

#include <optional>

namespace knx {

enum class CemiCode : std::uint8_t
{
    LDataReq = 0x11,
    LDataCon = 0x2E,
    LDataInd = 0x29,
};

struct CemiLData
{
    // Control field 1: standard frame, no repetition, broadcast, system priority.
    static constexpr std::uint8_t kControl1 = 0xB0;
    static constexpr std::uint8_t kConfirmError = 0x01;
    static constexpr std::uint8_t kStandardFrame = 0x80;
    // Control field 2: hop count 6; bit 7 marks a group destination.
    static constexpr std::uint8_t kControl2 = 0x60;
    static constexpr std::uint8_t kGroupDestination = 0x80;
    // The longest TPDU a standard frame carries.
    static constexpr std::size_t kStandardTpdu = 16;

    CemiCode code = CemiCode::LDataReq;
    std::uint8_t control1 = kControl1;
    std::uint8_t control2 = kControl2;
    IndividualAddress source;
    std::uint16_t destination = 0;
    Bytes tpdu; // TPCI octet first

    bool GroupDestination() const { return (control2 & kGroupDestination) != 0; }
    // An L_Data.con that reports the frame was not acknowledged on the bus.
    bool ConfirmFailed() const { return code == CemiCode::LDataCon && (control1 & kConfirmError) != 0; }

    // An extended frame is chosen when the TPDU does not fit a standard one.
    Bytes Encode() const;
    // Additional information is skipped. Nothing for another message code or a length that does not match.
    static std::optional<CemiLData> Decode(ByteView cemi);
};

} // namespace knx
