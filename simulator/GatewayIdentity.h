// What the simulated gateway says it is; the host fills it from its catalogue.
#pragma once

#include <cstdint>

struct GatewayIdentity
{
    std::uint16_t maskVersion = 0x0705;
    std::uint16_t manufacturer = 0x00A7;
    std::uint16_t applicationNumber = 0x3A01;
    std::uint8_t applicationVersion = 0x12;
};
