#include "simulator/SimulatorFaults.h"

#include <charconv>

namespace {
constexpr SimulatorFaultInfo kFaults[] = {
    {SimulatorFault::GearSilent, "gear-silent", "the gear with this number does not answer"},
    {SimulatorFault::StaysBusy, "stays-busy", "the gateway stays busy"},
    {SimulatorFault::VerifyFails, "verify-fails", "verified writes fail their verification"},
    {SimulatorFault::ConnectionDrops, "connection-drops", "the connection drops after this many accesses"},
    {SimulatorFault::WrongMaskVersion, "wrong-mask-version", "another mask version"},
    {SimulatorFault::WrongManufacturer, "wrong-manufacturer", "another manufacturer"},
    {SimulatorFault::WrongApplicationNumber, "wrong-application-number", "another application number"},
    {SimulatorFault::WrongApplicationVersion, "wrong-application-version", "another application version"},
    {SimulatorFault::NotRunning, "not-running", "the application is not running"},
    {SimulatorFault::NoApplicationObject, "no-application-object", "no application program object"},
    {SimulatorFault::NoDaliObject, "no-dali-object", "no DALI object"},
    {SimulatorFault::OtherProjectId, "other-project-id", "another project identification"},
    {SimulatorFault::NotPresent, "not-present", "the gateway is switched off"},
    {SimulatorFault::ConnectionBlips, "connection-blips", "one access after this many goes unanswered"},
    {SimulatorFault::BusyPolls, "busy-polls", "the gateway is busy for this many polls"},
    {SimulatorFault::SilentMidSearch, "silent-mid-search", "this gear falls silent during the search"},
    {SimulatorFault::WrongEcho, "wrong-echo", "the download confirmation of this gear names another"},
    {SimulatorFault::LostConfirmation, "lost-confirmation", "the confirmation of this function is lost"},
    {SimulatorFault::NeedsCompatibilityMode, "needs-compatibility",
     "this gear (0 all) is found only in the compatibility mode"},
};
} // namespace

std::span<const SimulatorFaultInfo> SimulatorFaultTable()
{
    return kFaults;
}

const SimulatorFaultInfo* FindSimulatorFault(SimulatorFault fault)
{
    for (const auto& info : kFaults) {
        if (info.fault == fault)
            return &info;
    }
    return nullptr;
}

std::optional<SimulatorFaultSetting> ParseSimulatorFault(std::string_view text)
{
    std::string_view name = text;
    std::uint32_t value = 0;
    if (auto eq = text.find('='); eq != std::string_view::npos) {
        name = text.substr(0, eq);
        std::string_view number = text.substr(eq + 1);
        int base = 10;
        if (number.starts_with("0x") || number.starts_with("0X")) {
            number.remove_prefix(2);
            base = 16;
        }
        auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value, base);
        if (number.empty() || error != std::errc{} || end != number.data() + number.size())
            return std::nullopt;
    }
    for (const auto& info : kFaults) {
        if (name == info.name)
            return SimulatorFaultSetting{info.fault, value};
    }
    return std::nullopt;
}
