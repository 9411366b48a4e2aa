#include "simulator/DemoLine.h"

std::vector<ControlGear> DemoGear()
{
    struct Entry
    {
        std::uint32_t randomAddress;
        std::uint8_t type;
        bool multipleTypes;
    };
    // Fluorescent ballasts, LED drivers and two emergency units (one of them also an LED driver).
    static constexpr Entry kEntries[] = {
        {0x1A2B3C, kDeviceTypeFluorescent, false}, {0x24F00D, kDeviceTypeLed, false},
        {0x3C4D5E, kDeviceTypeLed, false},         {0x45A1B2, kDeviceTypeFluorescent, false},
        {0x5E6F70, kDeviceTypeEmergency, false},   {0x6B7C8D, kDeviceTypeLed, false},
        {0x7D8E9F, kDeviceTypeFluorescent, false}, {0x8F9A0B, kDeviceTypeLed, false},
        {0x9ABCDE, kDeviceTypeEmergency, true},    {0xA1B2C3, kDeviceTypeLed, false},
        {0xC3D4E5, kDeviceTypeFluorescent, false}, {0xE5F607, kDeviceTypeLed, false},
    };
    std::vector<ControlGear> gear;
    for (const auto& e : kEntries) {
        ControlGear g;
        g.randomAddress = e.randomAddress;
        g.deviceType = e.type;
        g.multipleDeviceTypes = e.multipleTypes;
        g.minLevel = e.type == kDeviceTypeFluorescent ? 85 : 1;
        g.powerFailure = true; // just powered up, no level command yet
        gear.push_back(g);
    }
    return gear;
}

std::shared_ptr<GatewaySimulator> MakeDemoGateway(Clock& clock, const GatewayIdentity& identity,
                                                  const SimulatorTiming& timing)
{
    auto gateway = std::make_shared<GatewaySimulator>(clock, identity, timing);
    for (const auto& g : DemoGear())
        gateway->AddGear(g);
    return gateway;
}

bool InjectFaults(GatewaySimulator& gateway, std::string_view list, std::string* error)
{
    while (!list.empty()) {
        std::size_t comma = list.find(',');
        std::string_view entry = list.substr(0, comma);
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        while (!entry.empty() && entry.front() == ' ')
            entry.remove_prefix(1);
        while (!entry.empty() && entry.back() == ' ')
            entry.remove_suffix(1);
        if (entry.empty())
            continue;
        auto setting = ParseSimulatorFault(entry);
        if (!setting) {
            if (error)
                *error = "unknown simulator fault: " + std::string(entry);
            return false;
        }
        gateway.Inject(*setting);
    }
    return true;
}
