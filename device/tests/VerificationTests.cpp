// Verifying the live connection: every outcome through the simulator's faults, with its message.
#include "device/tests/DeviceFixture.h"

#include <gtest/gtest.h>
#include <thread>

using namespace devicefixture;

namespace {

const std::string kNoConnection = "No connection to DALI gateway\n\n1. \n2. \n3. \n";
const std::string kProjected = "Hersteller: Veltrona GmbH\nGer\xC3\xA4tetyp: $3A01\nProgrammversion: 1.2\n";

struct StateCase
{
    const char* name;
    std::vector<SimulatorFaultSetting> faults;
    bool checkProjectId;
    EDeviceConnectionState state;
    std::string message;
};

class VerificationStates : public ::testing::TestWithParam<StateCase>
{};

TEST_P(VerificationStates, ReachesTheStateWithItsMessage)
{
    const StateCase& c = GetParam();
    Rig rig;
    for (const auto& f : c.faults)
        rig.gateway->Inject(f);

    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(c.checkProjectId), c.state);
    EXPECT_EQ(rig.connection->GetLastMessage(), c.message);
    // Verification never shows a box, and a failure leaves the host's connection closed.
    EXPECT_TRUE(rig.prompt.boxes.empty());
    EXPECT_TRUE(rig.connection->GetReportErrors());
    ASSERT_EQ(rig.connections.size(), 1u);
    EXPECT_EQ(rig.Host().simulated->IsOpen(), c.state == DeviceConnectionOk);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VerificationStates,
    ::testing::Values(
        StateCase{"Ok", {}, true, DeviceConnectionOk, ""},
        StateCase{
            "OtherProjectIdUnchecked", {{SimulatorFault::OtherProjectId}}, false, DeviceConnectionOk, ""},
        StateCase{"NotPresent", {{SimulatorFault::NotPresent}}, false, NoConnection, kNoConnection},
        StateCase{
            "WrongMaskVersion", {{SimulatorFault::WrongMaskVersion}}, false, NoConnection, kNoConnection},
        StateCase{"NoApplicationObject",
                  {{SimulatorFault::NoApplicationObject}},
                  false,
                  NoConnection,
                  kNoConnection},
        StateCase{"NoDaliObject", {{SimulatorFault::NoDaliObject}}, false, NoConnection, kNoConnection},
        StateCase{
            "DropsDuringScan", {{SimulatorFault::ConnectionDrops, 2}}, false, NoConnection, kNoConnection},
        StateCase{
            "WrongManufacturer",
            {{SimulatorFault::WrongManufacturer, 0x00A8}, {SimulatorFault::WrongApplicationVersion, 0x13}},
            false,
            WrongDevice,
            "Wrong device\n\nProjected device:\n" + kProjected +
                "\n\nFound device:\nHersteller: 168\nGer\xC3\xA4tetyp: $3A01\nProgrammversion: 1.3\n"},
        StateCase{"WrongApplication",
                  {{SimulatorFault::WrongApplicationNumber, 0x3A02}},
                  false,
                  WrongDevice,
                  "Wrong device\n\nProjected device:\n" + kProjected +
                      "\n\nFound device:\nHersteller: Veltrona GmbH\nGer\xC3\xA4tetyp: "
                      "$3A02\nProgrammversion: 1.2\n"},
        StateCase{
            "NotRunning", {{SimulatorFault::NotRunning}}, true, DownloadNecessary, "Download necessary"},
        StateCase{"WrongVersion",
                  {{SimulatorFault::WrongApplicationVersion, 0x21}},
                  false,
                  WrongApplicationVersion,
                  "Wrong device\n\nProjected device:\nProgrammversion: 1.2\n\nFound "
                  "device:\nProgrammversion: 2.1\n\n"
                  "Download necessary"},
        StateCase{"OtherProjectId",
                  {{SimulatorFault::OtherProjectId}},
                  true,
                  DaliNotUpToDate,
                  "DALI not up to date\nDownload necessary"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Verification, MaskVersionMismatchReadsNoProperty)
{
    Rig rig;
    rig.gateway->Inject(SimulatorFault::WrongMaskVersion);
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(true), NoConnection);
    EXPECT_EQ(rig.gateway->Stats().reads, 0u);
}

TEST(Verification, HostTextsReplaceTheDefaultsWithLocalLineBreaks)
{
    Rig rig;
    rig.device->inner->AddText(929, "Keine Verbindung");
    rig.device->inner->AddText(930, "Bus pr\xC3\xBC"
                                    "fen\r\nund Spannung");
    rig.model->LoadDeviceParameterPointers();
    rig.gateway->Inject(SimulatorFault::NotPresent);
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), NoConnection);
    EXPECT_EQ(rig.connection->GetLastMessage(), "Keine Verbindung\n\n1. Bus pr\xC3\xBC"
                                                "fen\nund Spannung\n2. \n3. \n");
}

// A gateway whose project identification cannot be read counts as holding 0, 0, 0.
TEST(Verification, UnreadableProjectIdComparesAsZero)
{
    for (std::int32_t projected : {0, 5}) {
        Rig rig;
        (*rig.device->inner)[721].value = Variant::I4(projected);
        rig.prepare = [](TappedConnection& c) {
            c.readFailure = [](std::uint8_t pid) {
                return pid == 0xD4 ? ETS_E_DEVICE_DENIED : S_OK;
            };
        };
        EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(true),
                  projected == 0 ? DeviceConnectionOk : DaliNotUpToDate);
        EXPECT_TRUE(rig.prompt.boxes.empty());
    }
}

TEST(Verification, NoHostWindowOrNoHostFunctionIsNoConnection)
{
    Rig withoutWindow;
    CEtsLifeDeviceConnection orphan(*withoutWindow.model, withoutWindow.device.Get(), nullptr,
                                    withoutWindow.clock, &withoutWindow.prompt);
    EXPECT_EQ(orphan.CreateLifeDeviceConnection(false), NoConnection);
    EXPECT_EQ(orphan.GetLastMessage(), kNoConnection);
    EXPECT_FALSE(orphan.IsConnected());

    Rig withoutFunction;
    withoutFunction.top->connect = nullptr;
    EXPECT_EQ(withoutFunction.connection->CreateLifeDeviceConnection(false), NoConnection);
    EXPECT_EQ(withoutFunction.connection->GetLastMessage(), kNoConnection);
}

// A project that cannot be read ends like every other failure: message, closed connection,
// failed accesses reported again.
TEST(Verification, ProjectLookupFailureComposesTheMessageAndCloses)
{
    Rig rig;
    rig.device->program->failure = E_FAIL;
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), NoConnection);
    EXPECT_EQ(rig.connection->GetLastMessage(), kNoConnection);
    EXPECT_FALSE(rig.Host().simulated->IsOpen());
    EXPECT_TRUE(rig.connection->GetReportErrors());
}

// Every verification starts afresh; the connection held from before is closed, not leaked.
TEST(Verification, ReverificationClosesTheHeldConnection)
{
    Rig rig;
    ASSERT_EQ(rig.connection->CreateLifeDeviceConnection(false), DeviceConnectionOk);
    rig.gateway->Inject(SimulatorFault::WrongApplicationVersion);
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), WrongApplicationVersion);
    rig.gateway->ClearFaults();
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), DeviceConnectionOk);
    ASSERT_EQ(rig.connections.size(), 3u);
    EXPECT_FALSE(rig.connections[0]->simulated->IsOpen());
    EXPECT_FALSE(rig.connections[1]->simulated->IsOpen());
    EXPECT_TRUE(rig.connections[2]->simulated->IsOpen());
    EXPECT_EQ(rig.connection->GetLastMessage(),
              "Wrong device\n\nProjected device:\nProgrammversion: 1.2\n\nFound "
              "device:\nProgrammversion: 1.3\n\nDownload necessary");
    rig.connection.reset();
    EXPECT_FALSE(rig.connections[2]->simulated->IsOpen());
}

// A failed verification closes the host's connection once and lets it go: neither the next
// verification nor the end of the session closes it again.
TEST(Verification, AFailedVerificationClosesTheConnectionOnce)
{
    Rig rig;
    rig.gateway->Inject(SimulatorFault::WrongManufacturer);
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), WrongDevice);
    EXPECT_FALSE(rig.connection->IsConnected());
    rig.gateway->ClearFaults();
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), DeviceConnectionOk);
    rig.connection.reset();
    ASSERT_EQ(rig.connections.size(), 2u);
    EXPECT_EQ(rig.connections[0]->closes, 1);
    EXPECT_EQ(rig.connections[1]->closes, 1);

    // A connection that never opened is not closed at all.
    Rig absent;
    absent.gateway->Inject(SimulatorFault::NotPresent);
    EXPECT_EQ(absent.connection->CreateLifeDeviceConnection(false), NoConnection);
    absent.connection.reset();
    EXPECT_EQ(absent.connections[0]->closes, 0);
}

// Waits for the bus on a thread of their own, as the main window's progress box runs them.
struct WorkerBusWait final : IBusWait
{
    int calls = 0;
    HRESULT Run(const std::function<HRESULT()>& call) override
    {
        ++calls;
        HRESULT hr = E_FAIL;
        std::thread([&] { hr = call(); }).join();
        return hr;
    }
};

// The host is single-threaded: the project, the device's parameters and the model are reached only
// from the calling thread; only the live connection's waits for the bus run elsewhere.
TEST(Verification, OnlyTheBusWaitsLeaveTheCallingThread)
{
    for (bool wrongDevice : {false, true}) {
        Rig rig;
        if (wrongDevice)
            rig.gateway->Inject(SimulatorFault::WrongManufacturer); // the message reads the project
        HostThread host;
        g_hostThread = &host;
        WorkerBusWait wait;
        const auto state = rig.connection->CreateLifeDeviceConnection(true, &wait);
        g_hostThread = nullptr;
        EXPECT_EQ(state, wrongDevice ? WrongDevice : DeviceConnectionOk);
        EXPECT_EQ(host.strays, 0) << host.firstStray;
        EXPECT_GT(host.calls, 5);
        EXPECT_GT(wait.calls, 5);
        ASSERT_EQ(rig.connections.size(), 1u);
        EXPECT_EQ(rig.Host().busThreads.count(std::this_thread::get_id()), 0u);
        // Afterwards the procedures call the connection directly again.
        if (!wrongDevice) {
            std::uint8_t reply[3];
            EXPECT_TRUE(rig.connection->ReadPropertyD1(reply));
            EXPECT_EQ(rig.Host().busThreads.count(std::this_thread::get_id()), 1u);
        }
    }

    // The check sees it when the whole verification runs elsewhere, as it once did.
    Rig rig;
    HostThread host;
    g_hostThread = &host;
    std::thread([&] { rig.connection->CreateLifeDeviceConnection(true); }).join();
    g_hostThread = nullptr;
    EXPECT_GT(host.strays, 0);
}

} // namespace
