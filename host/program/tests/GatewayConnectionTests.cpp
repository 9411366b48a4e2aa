// The program's choice of gateway: the remembered choice per project, live connections through a
// KNXnet/IP interface to the device's address, and "veltrona simulate" reached over the network.
#include "access/tests/FakeHost.h"
#include "host/program/GatewayConnection.h"
#include "host/program/VeltronaCommands.h"
#include "knxnet/KnxNetIpConnection.h"
#include "simulator/KnxNetIpServer.h"
#include "testsupport/Scratch.h"

#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using testsupport::ScratchDir;

TEST(GatewayChoice, TextsParseAndWriteBack)
{
    struct Case
    {
        const char* text;
        std::optional<GatewayChoice> choice;
        const char* written;
    };
    const Case cases[] = {
        {"simulator", GatewayChoice::Simulator(), "simulator"},
        {"  simulator\n", GatewayChoice::Simulator(), "simulator"},
        {"knxnet-ip 192.168.1.10", GatewayChoice::Interface({{192, 168, 1, 10}, 3671}),
         "knxnet-ip 192.168.1.10:3671"},
        {"knxnet-ip 10.0.0.2:50000", GatewayChoice::Interface({{10, 0, 0, 2}, 50000}),
         "knxnet-ip 10.0.0.2:50000"},
        {"knxnet-ip", std::nullopt, ""},
        {"knxnet-ip 300.1.1.1", std::nullopt, ""},
        {"knxnet-ip 10.0.0.2 extra", std::nullopt, ""},
        {"usb", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto parsed = GatewayChoice::Parse(c.text);
        EXPECT_EQ(parsed, c.choice);
        if (parsed) {
            EXPECT_EQ(parsed->ToText(), c.written);
        }
    }
    EXPECT_EQ(GatewayChoice::Interface({{10, 0, 0, 2}, 3671}).Describe(), "KNXnet/IP 10.0.0.2:3671");
}

TEST(GatewayChoice, IsRememberedPerProject)
{
    ScratchDir dir;
    const std::string first = dir.File("first.veltrona"), second = dir.File("second.veltrona");
    std::string warning;
    EXPECT_EQ(LoadGatewayChoice(first, &warning), GatewayChoice::Simulator());
    EXPECT_TRUE(warning.empty());

    const auto ip = GatewayChoice::Interface({{192, 168, 1, 10}, 3671});
    ASSERT_TRUE(SaveGatewayChoice(first, ip, nullptr));
    EXPECT_EQ(LoadGatewayChoice(first, &warning), ip);
    EXPECT_EQ(LoadGatewayChoice(second, &warning), GatewayChoice::Simulator());

    // A damaged file falls back to the simulator and says so.
    testsupport::WriteAll(GatewayChoicePath(second), "knxnet-ip nowhere\n");
    EXPECT_EQ(LoadGatewayChoice(second, &warning), GatewayChoice::Simulator());
    EXPECT_NE(warning.find("knxnet-ip nowhere"), std::string::npos);
    EXPECT_FALSE(SaveGatewayChoice(dir.File("missing/third.veltrona"), ip, &warning));
}

TEST(KnxNetIpGatewayProvider, ReachesTheDeviceAtItsIndividualAddress)
{
    TestClock clock;
    auto gateway = std::make_shared<GatewaySimulator>(clock);
    KnxNetIpServer::Options options;
    options.tunnelling.device = knx::IndividualAddress::Of(1, 1, 1); // the fake device's address
    KnxNetIpServer server(gateway, options);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;

    auto device = MakeComObject<fake::Device>();
    CKnxNetIpGatewayProvider provider(server.Endpoint());
    ComPtr<IEtsLifeDeviceConnection> connection;
    ASSERT_EQ(provider.GetConnection(device.Get(), connection), S_OK);
    ASSERT_EQ(connection->Open(), S_OK);
    ComPtr<IEtsDeviceInfo> info;
    ASSERT_EQ(connection->get_DeviceInfo(info.GetAddressOf()), S_OK);
    std::uint16_t mask = 0;
    info->get_MaskVersion(&mask);
    EXPECT_EQ(mask, gateway->Identity().maskVersion);
    EXPECT_EQ(connection->Close(), S_OK);

    // Another address on the same interface: nobody there, and it is said so.
    options.tunnelling.device = knx::IndividualAddress::Of(1, 1, 2);
    KnxNetIpServer elsewhere(gateway, options);
    ASSERT_TRUE(elsewhere.Start(&error)) << error;
    CKnxNetIpGatewayProvider wrong(elsewhere.Endpoint());
    ASSERT_EQ(wrong.GetConnection(device.Get(), connection), S_OK);
    EXPECT_EQ(connection->Open(), ETS_E_DEVICE_NOT_FOUND);
    EXPECT_EQ(provider.GetConnection(nullptr, connection), E_POINTER);
}

namespace {
// The program with its output on a pipe, stopped by its process id.
struct Program
{
    pid_t pid = -1;
    std::FILE* out = nullptr;

    explicit Program(std::vector<std::string> arguments)
    {
        int pipeEnds[2];
        if (::pipe(pipeEnds) != 0)
            return;
        arguments.insert(arguments.begin(), VELTRONA_EXECUTABLE);
        std::vector<char*> argv;
        for (auto& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeEnds[1]);
        out = ::fdopen(pipeEnds[0], "r");
    }
    ~Program()
    {
        Stop();
        if (out)
            std::fclose(out);
    }
    std::string Line()
    {
        char buffer[512]{};
        return out && std::fgets(buffer, sizeof buffer, out) ? buffer : "";
    }
    std::string Rest()
    {
        std::string text;
        char buffer[512];
        while (out && std::fgets(buffer, sizeof buffer, out))
            text += buffer;
        return text;
    }
    int Stop()
    {
        if (pid <= 0)
            return -1;
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};
} // namespace

TEST(SimulateCommand, ServesTheDemoGatewayUntilStopped)
{
    Program program(
        {"simulate", "--port", "0", "--address", "1.1.7", "--faults", "not-running", "--for", "60000"});
    const std::string first = program.Line();
    ASSERT_NE(first.find("gateway 1.1.7 simulated"), std::string::npos) << first << program.Rest();
    const auto at = first.find("tunnelling on ");
    ASSERT_NE(at, std::string::npos) << first;
    auto endpoint =
        knx::Endpoint::Parse(first.substr(at + 14, first.find_first_of(" \n", at + 14) - at - 14));
    ASSERT_TRUE(endpoint) << first;
    EXPECT_EQ(endpoint->ip, (std::array<std::uint8_t, 4>{127, 0, 0, 1}));

    knx::KnxNetIpSettings settings;
    settings.server = *endpoint;
    settings.device = knx::IndividualAddress::Of(1, 1, 7);
    auto client = MakeComObject<knx::KnxNetIpConnection>(settings);
    ASSERT_EQ(client->Open(), S_OK) << client->LastError();
    // The fault given on the command line shows: the application is not running.
    std::uint8_t runState = 0xFF;
    EXPECT_EQ(client->ReadProperty(1, 6, 0, 1, 1, 1, &runState), S_OK) << client->LastError();
    EXPECT_EQ(runState, 0);
    client->Close();

    EXPECT_EQ(program.Stop(), 0);
    EXPECT_NE(program.Rest().find("stopped"), std::string::npos);
}

TEST(SimulateCommand, RefusesWrongUse)
{
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"simulate", "--port", "x"},
                                                      {"simulate", "--address", "1.1"},
                                                      {"simulate", "--bind", "localhost"},
                                                      {"simulate", "--port"},
                                                      {"simulate", "--colour", "red"}}) {
        std::ostringstream out, err;
        CommandEnvironment environment{out, err, nullptr, nullptr, nullptr};
        EXPECT_EQ(RunVeltrona(arguments, environment), kExitUsage) << arguments[1];
        EXPECT_NE(err.str().find("simulate"), std::string::npos) << err.str();
    }
}

TEST(DiscoverCommand, RefusesWrongUse)
{
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"discover", "--wait"},
                                                      {"discover", "--wait", "5"},
                                                      {"discover", "--all"},
                                                      {"discover", "--wait", "1000", "more"}}) {
        std::ostringstream out, err;
        CommandEnvironment environment{out, err, nullptr, nullptr, nullptr};
        EXPECT_EQ(RunVeltrona(arguments, environment), kExitUsage) << arguments.back();
        EXPECT_NE(err.str().find("discover takes only --wait"), std::string::npos) << err.str();
    }
}
