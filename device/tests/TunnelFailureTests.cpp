// Failures of the KNXnet/IP tunnel itself under the procedures (built into the loopback run only):
// a refused tunnel and a tunnel the interface ends midway give "No connection", never success.
#include "DeviceFixture.h"
#include "knxnet/KnxNetIpConnection.h"

#include <gtest/gtest.h>

using namespace devicefixture;

TEST(TunnelFailures, NoFreeChannelIsNoConnection)
{
    Rig rig(MakeLine(4));
    // Another client holds the interface's only tunnel when the plug-in asks for one.
    ComPtr<knx::KnxNetIpConnection> other;
    rig.prepare = [&other](TappedConnection& host) {
        knx::KnxNetIpSettings settings;
        settings.server = host.simulated->Server().Endpoint();
        settings.device = host.simulated->Server().DeviceAddress();
        other = MakeComObject<knx::KnxNetIpConnection>(settings);
        EXPECT_EQ(other->Open(), S_OK);
    };
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), NoConnection);
    EXPECT_EQ(rig.connection->GetLastMessage().rfind("No connection to DALI gateway", 0), 0u)
        << rig.connection->GetLastMessage();
    EXPECT_TRUE(rig.gateway->FunctionsWritten().empty());

    // Once the other client lets go, the same interface serves the plug-in.
    other->Close();
    rig.prepare = nullptr;
    EXPECT_EQ(rig.connection->CreateLifeDeviceConnection(false), DeviceConnectionOk);
}

TEST(TunnelFailures, TunnelEndedMidwayFailsTheProcedureWithNoConnection)
{
    struct Case
    {
        const char* name;
        std::uint8_t endAfterReadOf; // the interface ends the tunnel after the first read of this property
        std::function<bool(Rig&)> run;
    };
    const Case cases[] = {
        {"search", 0xD2,
         [](Rig& r) {
             return r.connection->SearchDaliEvgs("Search", false).Succeeded();
         }},
        {"group download", 0xD1,
         [](Rig& r) {
             return r.connection->WriteEvgGroupAssignments(false, {{1, {0x1u, true}}, {2, {0x2u, true}}});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(MakeLine(4));
        ASSERT_TRUE(rig.Connect());
        TappedConnection& host = rig.Host();
        bool ended = false;
        host.onRead = [&](std::uint8_t propertyId, std::uint8_t*) {
            if (ended || propertyId != c.endAfterReadOf)
                return;
            ended = true;
            host.simulated->Server().WithServer([](knx::TunnellingServer& s) { s.DisconnectAll(); });
        };
        const auto functionsBefore = rig.gateway->FunctionsWritten().size();
        EXPECT_FALSE(c.run(rig));
        EXPECT_TRUE(ended);
        EXPECT_EQ(rig.BoxTexts(), std::vector<std::string>{"No connection"});
        // Nothing reached the gateway once the tunnel was gone.
        const auto functions = rig.gateway->FunctionsWritten();
        EXPECT_LE(functions.size() - functionsBefore, 1u);
        // Nor does anything later: the tunnel stays down until the connection is opened again.
        std::uint8_t type[2]{};
        EXPECT_TRUE(FAILED(host.simulated->ReadProperty(0, 1, 4, 1, 1, 2, type)));
    }
}
