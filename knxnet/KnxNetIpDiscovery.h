// KNXnet/IP discovery: SEARCH_REQUEST to the discovery group and the interfaces' SEARCH_RESPONSE.
#pragma once

#include "knxnet/KnxNetIpHeader.h"

#include <string>
#include <vector>

namespace knx {

struct SearchRequest
{
    Endpoint discovery; // where the responses go; 0.0.0.0:0 for the sender

    Bytes Encode() const;
    static std::optional<SearchRequest> Decode(ByteView datagram);
};

// Service families listed in a response.
inline constexpr std::uint8_t kFamilyCore = 0x02;
inline constexpr std::uint8_t kFamilyDeviceManagement = 0x03;
inline constexpr std::uint8_t kFamilyTunnelling = 0x04;

struct SearchResponse
{
    Endpoint control;
    std::uint8_t medium = 0x02; // twisted pair
    std::uint8_t deviceStatus = 0;
    IndividualAddress address;
    std::uint16_t projectInstallation = 0;
    std::array<std::uint8_t, 6> serial{};
    std::array<std::uint8_t, 4> multicast{224, 0, 23, 12};
    std::array<std::uint8_t, 6> mac{};
    std::string name; // at most 30 characters on the wire
    std::vector<std::pair<std::uint8_t, std::uint8_t>> families{{kFamilyCore, 1}, {kFamilyTunnelling, 1}};

    bool SupportsTunnelling() const;
    Bytes Encode() const;
    static std::optional<SearchResponse> Decode(ByteView datagram);
};

} // namespace knx
