// The host window's gateway choice: shown in the status line, remembered for the project, and the
// plug-in's live connection then goes through the KNXnet/IP interface to the project's device.
#include "host/objects/ProjectFactory.h"
#include "host/program/HostMainWindow.h"
#include "platform/Clock.h"
#include "simulator/KnxNetIpServer.h"

#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

class GatewayChoiceWindowTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::shared_ptr<const Catalogue> m_catalogue;
    std::shared_ptr<const CatalogueModel> m_model;
    std::string m_project;

    std::unique_ptr<CHostMainWindow>
    OpenWindow(std::shared_ptr<CSimulatedGatewayProvider>* simulated = nullptr)
    {
        std::string error;
        auto session = HostSession::Open(m_project, m_model, &error);
        if (!session)
            qFatal("%s", error.c_str());
        auto gateway = std::make_shared<CSimulatedGatewayProvider>(DefaultClock(), *m_catalogue, "", &error);
        if (simulated)
            *simulated = gateway;
        return std::make_unique<CHostMainWindow>(
            std::move(session), gateway, std::make_unique<PluginLoader>(), QString::fromStdString(m_project));
    }
    static QString GatewayStatus(CHostMainWindow& window)
    {
        for (auto* label : window.statusBar()->findChildren<QLabel*>()) {
            if (label->text().startsWith("Gateway: "))
                return label->text();
        }
        return {};
    }
    // The connection the plug-in would get, opened.
    static HRESULT OpenLiveConnection(HostSession& session)
    {
        EtsAppProc proc;
        session.Window()->GetAppProc("GetLifeDeviceConnection", &proc);
        if (!proc)
            return E_FAIL;
        ComPtr<IEtsLifeDeviceConnection> connection;
        HRESULT hr = proc(session.Device().Get(), 0, 1, -1, IEtsLifeDeviceConnection::iid,
                          reinterpret_cast<void**>(connection.GetAddressOf()));
        if (FAILED(hr))
            return hr;
        hr = connection->Open();
        connection->Close();
        return hr;
    }

private slots:
    void initTestCase()
    {
        std::string error;
        auto catalogue = Catalogue::Load(Catalogue::DefaultPath(), &error);
        QVERIFY2(catalogue, error.c_str());
        m_catalogue = std::make_shared<const Catalogue>(std::move(*catalogue));
        m_model = CatalogueModel::Build(m_catalogue, &error);
        m_project = (m_dir.path() + "/project.veltrona").toStdString();
        QVERIFY(CreateGatewayProject(m_project, *m_catalogue, NewProjectOptions{}, &error));
    }

    void theChoiceIsShownRememberedAndUsed()
    {
        TestClock clock;
        auto gateway = std::make_shared<GatewaySimulator>(clock);
        KnxNetIpServer server(gateway); // answers as device 1.1.1, the new project's address
        std::string error;
        QVERIFY2(server.Start(&error), error.c_str());
        {
            auto window = OpenWindow();
            QVERIFY(GatewayStatus(*window).startsWith("Gateway: simulated, "));
            window->SetGatewayChoice(GatewayChoice::Interface(server.Endpoint()));
            QCOMPARE(GatewayStatus(*window),
                     QString::fromStdString("Gateway: KNXnet/IP " + server.Endpoint().ToString()));
        }
        // The project remembers it: a new window starts with it, and the plug-in's connection goes
        // through the interface.
        std::string warning;
        QVERIFY(LoadGatewayChoice(m_project, &warning) == GatewayChoice::Interface(server.Endpoint()));
        {
            auto window = OpenWindow();
            QCOMPARE(GatewayStatus(*window),
                     QString::fromStdString("Gateway: KNXnet/IP " + server.Endpoint().ToString()));
            QCOMPARE(OpenLiveConnection(window->Session()), S_OK);
            QCOMPARE(server.OpenTunnels(), std::size_t{0}); // closed again
        }

        // Back to the simulator.
        auto window = OpenWindow();
        window->SetGatewayChoice(GatewayChoice::Simulator());
        QVERIFY(LoadGatewayChoice(m_project, &warning) == GatewayChoice::Simulator());
        QVERIFY(GatewayStatus(*window).startsWith("Gateway: simulated, "));
    }
};

QTEST_MAIN(GatewayChoiceWindowTests)
#include "GatewayChoiceWindowTests.moc"
