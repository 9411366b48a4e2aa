// "veltrona discover": the KNXnet/IP interfaces that answer a search on the local network.
#include "host/program/VeltronaCommands.h"
#include "knxnet/Discovery.h"

#include <charconv>

int CommandDiscover(CommandContext& context, std::span<const std::string> arguments)
{
    long waitMs = 3000;
    if (!arguments.empty()) {
        const std::string value = arguments.size() == 2 ? arguments[1] : "";
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), waitMs);
        if (arguments[0] != "--wait" || value.empty() || ec != std::errc{} ||
            end != value.data() + value.size() || waitMs < 100 || waitMs > 60'000) {
            context.Err() << "veltrona: discover takes only --wait MS (100 to 60000)\n";
            return kExitUsage;
        }
    }
    std::string error;
    const auto found = knx::DiscoverInterfaces(static_cast<std::uint32_t>(waitMs), &error);
    if (!error.empty())
        return context.Fail("discover: " + error);
    for (const auto& i : found)
        context.Out() << i.Describe() << "\n";
    if (found.empty())
        return context.Fail("no KNXnet/IP interface answered within " + std::to_string(waitMs) + " ms");
    return kExitOk;
}
