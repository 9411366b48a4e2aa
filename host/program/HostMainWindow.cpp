#include "host/program/HostMainWindow.h"

#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

CHostMainWindow::CHostMainWindow(std::unique_ptr<HostSession> session,
                                 std::shared_ptr<CSimulatedGatewayProvider> gateway,
                                 std::unique_ptr<PluginLoader> plugin, QString projectPath)
    : m_session(std::move(session)), m_gateway(std::move(gateway)), m_plugin(std::move(plugin)),
      m_projectPath(std::move(projectPath))
{
    setWindowTitle(
        QStringLiteral("%1 - Veltrona").arg(QString::fromStdString(m_session->Store().Name().value_or(""))));
    m_session->Window()->SetNativeHandle(reinterpret_cast<std::uintptr_t>(this));
    m_session->SetLiveConnectionProvider(m_gateway);

    m_devices = new QTreeWidget(this);
    m_devices->setHeaderLabels({tr("Address"), tr("Device"), tr("Application"), tr("Description")});
    m_devices->setRootIsDecorated(false);
    m_devices->header()->setStretchLastSection(true);
    setCentralWidget(m_devices);

    QMenu* project = menuBar()->addMenu(tr("&Project"));
    QAction* edit = project->addAction(tr("&Edit parameters..."), this, [this] { EditParameters(); });
    edit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* download = project->addAction(tr("&Download to gateway"), this, [this] { DownloadToGateway(); });
    project->addSeparator();
    project->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QToolBar* tools = addToolBar(tr("Project"));
    tools->addAction(edit);
    tools->addAction(download);
    connect(m_devices, &QTreeWidget::itemActivated, this, [this] { EditParameters(); });

    FillDevices();
    statusBar()->showMessage(tr("%1 - gateway simulated with %2 DALI devices")
                                 .arg(m_projectPath)
                                 .arg(m_gateway->Gateway().GearSnapshot().size()));
    resize(720, 320);
}

void CHostMainWindow::FillDevices()
{
    m_devices->clear();
    std::vector<DeviceRecord> devices;
    m_session->Store().Devices(devices);
    for (const DeviceRecord& d : devices) {
        const QString address = QStringLiteral("%1.%2.%3")
                                    .arg(d.individualAddress >> 12)
                                    .arg((d.individualAddress >> 8) & 0xF)
                                    .arg(d.individualAddress & 0xFF);
        auto* item = new QTreeWidgetItem(
            {address, QString::fromStdString(d.name),
             QStringLiteral("$%1 v%2.%3")
                 .arg(QString::number(d.applicationNumber, 16).toUpper().rightJustified(4, '0'))
                 .arg(d.applicationVersion >> 4)
                 .arg(d.applicationVersion & 0xF),
             QString::fromStdString(d.description)});
        m_devices->addTopLevelItem(item);
    }
    if (m_devices->topLevelItemCount() > 0)
        m_devices->setCurrentItem(m_devices->topLevelItem(0));
    for (int c = 0; c < 3; ++c)
        m_devices->resizeColumnToContents(c);
}

HRESULT CHostMainWindow::EditParameters()
{
    ComPtr<IDeviceParameterDialog> dialog;
    HRESULT hr = m_plugin->CreateDialog(dialog);
    if (FAILED(hr)) {
        QMessageBox::critical(this, windowTitle(), tr("The plug-in could not be started."));
        return hr;
    }
    hr = m_session->RunDialog(dialog.Get());
    statusBar()->showMessage(hr == S_OK      ? tr("Parameters saved in the project")
                             : hr == E_ABORT ? tr("Changes discarded")
                                             : tr("The editing session failed; nothing was saved"));
    FillDevices();
    return hr;
}

void CHostMainWindow::DownloadToGateway()
{
    m_gateway->DownloadProjectIdentity(m_session->Device().Get());
    statusBar()->showMessage(tr("The gateway holds the project's configuration"));
}
