// "veltrona simulate": the demo gateway on the network behind a KNXnet/IP tunnelling server, for the
// configurator in another process (or knxd) to reach over the real transport.
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/program/SimulatedGateway.h"
#include "host/program/VeltronaCommands.h"
#include "simulator/KnxNetIpServer.h"

#include <charconv>
#include <csignal>
#include <ctime>
#include <pthread.h>

namespace {

std::optional<long> Number(const std::string& text, long low, long high)
{
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

} // namespace

int CommandSimulate(CommandContext& context, std::span<const std::string> arguments)
{
    std::uint16_t port = knx::kKnxNetIpPort;
    knx::Endpoint bind = knx::Endpoint::Loopback(0);
    std::optional<knx::IndividualAddress> address;
    std::string faults, project;
    long forMs = 0;
    auto usage = [&context](const std::string& text) {
        context.Err() << "veltrona: simulate: " << text << "\n";
        return kExitUsage;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (!hasValue) {
            return usage(a + " is not an option or lacks its value");
        }
        const std::string& value = arguments[++i];
        if (a == "--port") {
            auto n = Number(value, 0, 65535);
            if (!n)
                return usage("--port takes a number 0 to 65535, not '" + value + "'");
            port = static_cast<std::uint16_t>(*n);
        } else if (a == "--bind") {
            auto e = knx::Endpoint::Parse(value + ":1");
            if (!e)
                return usage("--bind takes an IPv4 address, not '" + value + "'");
            bind.ip = e->ip;
        } else if (a == "--address") {
            address = knx::IndividualAddress::Parse(value);
            if (!address)
                return usage("--address takes an individual address such as 1.1.1, not '" + value + "'");
        } else if (a == "--faults") {
            faults = value;
        } else if (a == "--project") {
            project = value;
        } else if (a == "--for") {
            auto n = Number(value, 1, 86'400'000);
            if (!n)
                return usage("--for takes milliseconds, not '" + value + "'");
            forMs = *n;
        } else {
            return usage("unknown option '" + a + "'");
        }
    }
    bind.port = port;

    auto catalogue = context.LoadCatalogue();
    if (!catalogue)
        return kExitFailure;
    std::string error;
    auto gateway = std::make_shared<CSimulatedGatewayProvider>(DefaultClock(), *catalogue, faults, &error);
    if (!error.empty())
        return context.Fail("simulate: --faults: " + error);
    if (!project.empty()) {
        // The gateway holds the project's identity, as after a download, and answers at its address.
        auto model = CatalogueModel::Build(catalogue, &error);
        auto session = model ? HostSession::Open(project, model, &error) : nullptr;
        if (!session)
            return context.Fail(error);
        gateway->DownloadProjectIdentity(session->Device().Get());
        std::string text;
        if (!address && SUCCEEDED(session->Device()->get_IndividualAddress(&text)))
            address = knx::IndividualAddress::Parse(text);
    }

    // Signals are taken by this thread alone: block them before the server's thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    KnxNetIpServer::Options options;
    options.bind = bind;
    if (address)
        options.tunnelling.device = *address;
    KnxNetIpServer server(gateway->SharedGateway(), options);
    if (!server.Start(&error)) {
        pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
        return context.Fail("simulate: " + error);
    }
    context.Out() << "gateway " << server.DeviceAddress().ToString() << " simulated with "
                  << gateway->Gateway().GearSnapshot().size() << " DALI devices, KNXnet/IP tunnelling on "
                  << server.Endpoint().ToString() << std::endl;
    context.Out() << "stop with Ctrl+C" << std::endl;
    if (forMs > 0) {
        timespec wait{forMs / 1000, (forMs % 1000) * 1'000'000};
        sigtimedwait(&stopSignals, nullptr, &wait);
    } else {
        int signal = 0;
        sigwait(&stopSignals, &signal);
    }
    server.Stop();
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    context.Out() << "stopped" << std::endl;
    return kExitOk;
}
