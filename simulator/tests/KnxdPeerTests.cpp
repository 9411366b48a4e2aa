// knxd as an independent peer: the configurator's tunnel client talks to knxd, knxd tunnels to the
// simulator's server, and knxd's bus monitor decodes the traffic. It checks tunnelling, cEMI and the
// frames; the transport layer and the answers are the simulator's. Runs in a private network
// namespace of its own (knxd needs a multicast route), and is skipped where knxd or namespaces are
// missing.
#include "knxnet/KnxNetIpConnection.h"
#include "simulator/KnxNetIpServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kInNamespace = "VELTRONA_KNXD_NAMESPACE";
constexpr std::uint16_t kKnxdPort = 3671;

bool OnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// A child process with its output in a file; stopped by its process id.
class Child
{
public:
    Child(const std::vector<std::string>& arguments, const std::filesystem::path& output)
    {
        std::vector<char*> argv;
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Running() const { return m_pid > 0 && ::kill(m_pid, 0) == 0; }
    void Stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <class F> bool WaitFor(F condition, int ms = 5000)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

// The body, inside the namespace: simulator first, then knxd, then the monitor and the client.
void RunThroughKnxd()
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("veltrona-knxd-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    TestClock clock;
    auto gateway = std::make_shared<GatewaySimulator>(clock, GatewayIdentity{}, SimulatorTiming::Instant());
    KnxNetIpServer simulator(gateway);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;

    const std::string socket = (dir / "eib").string();
    Child knxd({"knxd", "-e", "0.0.1", "-E", "0.0.2:8", "-T", "-I", "lo",
                "-S224.0.23.12:" + std::to_string(kKnxdPort), "-b",
                "ipt:127.0.0.1:" + std::to_string(simulator.Endpoint().port), "-u", socket},
               dir / "knxd.log");
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(socket) && simulator.OpenTunnels() == 1; }))
        << "knxd did not come up:\n"
        << ReadFile(dir / "knxd.log");
    Child monitor({"knxtool", "vbusmonitor1", "local:" + socket}, dir / "monitor.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    knx::KnxNetIpSettings settings;
    settings.server = knx::Endpoint::Loopback(kKnxdPort);
    settings.device = simulator.DeviceAddress();
    auto client = MakeComObject<knx::KnxNetIpConnection>(settings);
    ASSERT_EQ(client->Open(), S_OK) << client->LastError() << "\n" << ReadFile(dir / "knxd.log");

    ComPtr<IEtsDeviceInfo> info;
    ASSERT_EQ(client->get_DeviceInfo(info.GetAddressOf()), S_OK) << client->LastError();
    std::uint16_t mask = 0;
    info->get_MaskVersion(&mask);
    EXPECT_EQ(mask, gateway->Identity().maskVersion);
    std::uint8_t type[2]{};
    EXPECT_EQ(client->ReadProperty(2, 1, 4, 1, 1, 2, type), S_OK) << client->LastError();
    EXPECT_EQ(type[0] << 8 | type[1], 50001);
    gateway->SetProjectId(0x1234, 0x5678, 0x9ABC);
    std::uint8_t id[6]{};
    EXPECT_EQ(client->ReadProperty(2, 0xD4, 22, 1, 1, 6, id), S_OK) << client->LastError();
    EXPECT_EQ(id[0], 0x12);
    EXPECT_EQ(id[5], 0xBC);
    const std::uint8_t watchdog[3]{60, 1, 0};
    EXPECT_EQ(client->WriteProperty(2, 0xD1, 19, 1, 1, 3, watchdog, 0), S_OK) << client->LastError();
    EXPECT_EQ(gateway->FunctionsWritten(), std::vector<std::uint8_t>{60});
    // A property the gateway does not have: knxd carries the refusal through unchanged.
    EXPECT_EQ(client->ReadProperty(2, 0xEE, 0, 1, 1, 1, type), ETS_E_DEVICE_DENIED);
    EXPECT_EQ(client->Close(), S_OK);

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    monitor.Stop();
    const std::string seen = ReadFile(dir / "monitor.log");
    knxd.Stop();
    std::filesystem::remove_all(dir);
    if (std::getenv("VELTRONA_KNXD_SHOW"))
        std::cout << seen;
    // knxd's own decoding of the frames it carried.
    for (const char* expected :
         {"T_Connect", "A_DeviceDescriptor_Read", "A_PropertyValue_Read", "A_PropertyValue_Response",
          "A_PropertyValue_Write", "T_ACK", "T_Disconnect"})
        EXPECT_NE(seen.find(expected), std::string::npos) << expected << " not seen by knxd:\n" << seen;
}

} // namespace

TEST(KnxdPeer, CarriesTheConfiguratorsFramesToTheSimulator)
{
    if (std::getenv(kInNamespace)) {
        RunThroughKnxd();
        return;
    }
    for (const char* tool : {"knxd", "knxtool", "unshare", "ip"}) {
        if (!OnPath(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs knxd and knxd-tools)";
    }
    if (std::system("unshare -rn true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no private network namespaces here (unshare -rn failed)";
    // The same test again, inside a namespace of its own with a multicast route on loopback.
    char self[4096]{};
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    const std::string command =
        std::string("unshare -rn sh -c 'ip link set lo up && ip route add 224.0.0.0/4 dev lo "
                    "src 127.0.0.1 && exec \"$0\" --gtest_filter=KnxdPeer.*' ") +
        self;
    ::setenv(kInNamespace, "1", 1);
    const int status = std::system(command.c_str());
    ::unsetenv(kInNamespace);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the run inside the namespace failed";
}
