#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "host/program/PluginLoader.h"
#include "host/program/SimulatedGateway.h"
#include "platform/Clock.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Presses a button of the modal window as soon as it shows, after an optional change.
void WhenShown(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(30, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            WhenShown(act);
            return;
        }
        act(modal);
    });
}

void Press(QWidget* window, const QString& text)
{
    for (auto* button : window->findChildren<QPushButton*>())
        if (button->text() == text) {
            button->click();
            return;
        }
}

} // namespace

class WindowedSessionTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::shared_ptr<const Catalogue> m_catalogue;
    std::shared_ptr<const CatalogueModel> m_model;
    std::string m_project;

    std::int64_t StoredLoadCounter()
    {
        std::string error;
        auto session = HostSession::Open(m_project, m_model, &error);
        std::vector<DeviceRecord> devices;
        session->Store().Devices(devices);
        std::vector<StoredParameter> values;
        session->Store().ParameterValues(devices.at(0).id, values);
        for (const StoredParameter& p : values)
            if (p.uniqueNr == 65015)
                return std::get<std::int64_t>(p.value);
        return -1;
    }

    HRESULT RunSession(std::function<void(QWidget*)> act)
    {
        std::string error;
        auto session = HostSession::Open(m_project, m_model, &error);
        if (!session)
            return E_UNEXPECTED;
        PluginLoader plugin;
        if (!plugin.Load("Veltrona.UIPluginVeltrona", VELTRONA_PLUGIN_PATH, &error))
            return E_UNEXPECTED;
        ComPtr<IDeviceParameterDialog> dialog;
        plugin.CreateDialog(dialog);
        WhenShown(std::move(act));
        return session->RunDialog(dialog.Get());
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        qputenv("VELTRONA_REGISTRY", (m_dir.path() + "/registry").toUtf8());
        std::string error;
        auto catalogue = Catalogue::Load(Catalogue::DefaultPath(), &error);
        QVERIFY2(catalogue, error.c_str());
        m_catalogue = std::make_shared<const Catalogue>(std::move(*catalogue));
        m_model = CatalogueModel::Build(m_catalogue, &error);
        m_project = (m_dir.path() + "/project.veltrona").toStdString();
        QVERIFY(CreateGatewayProject(m_project, *m_catalogue, NewProjectOptions{}, &error));
    }

    void theHostKeepsWhatOkConfirmsAndNothingElse()
    {
        // Every session writes the plug-in's load counter: the file shows whether it was kept.
        const std::int64_t before = StoredLoadCounter();
        QVERIFY(before >= 0);
        QCOMPARE(RunSession([](QWidget* w) { Press(w, QStringLiteral("Cancel")); }), E_ABORT);
        QCOMPARE(StoredLoadCounter(), before);
        QCOMPARE(RunSession([](QWidget* w) { Press(w, QStringLiteral("OK")); }), S_OK);
        QCOMPARE(StoredLoadCounter(), (before + 1) % 256);
    }

    void theDemoGatewayAnswersAsTheProjectedDevice()
    {
        std::string error;
        CSimulatedGatewayProvider gateway(DefaultClock(), *m_catalogue, "", &error);
        QVERIFY(error.empty());
        auto session = HostSession::Open(m_project, m_model, &error);
        ComPtr<IEtsLifeDeviceConnection> connection;
        QCOMPARE(gateway.GetConnection(session->Device().Get(), connection), S_OK);
        QCOMPARE(connection->Open(), S_OK);
        ComPtr<IEtsDeviceInfo> info;
        QCOMPARE(connection->get_DeviceInfo(info.GetAddressOf()), S_OK);
        std::uint16_t mask = 0;
        info->get_MaskVersion(&mask);
        QCOMPARE(int(mask), m_catalogue->Application().maskVersion);
        CSimulatedGatewayProvider broken(DefaultClock(), *m_catalogue, "no-such-fault", &error);
        QVERIFY(!error.empty());
    }
};

QTEST_MAIN(WindowedSessionTests)
#include "WindowedSessionTests.moc"
