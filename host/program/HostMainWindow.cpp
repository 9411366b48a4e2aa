#include "host/program/HostMainWindow.h"

#include "knxnet/Discovery.h"

#include <QApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
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

    m_devices = new QTreeWidget(this);
    m_devices->setHeaderLabels({tr("Address"), tr("Device"), tr("Application"), tr("Description")});
    m_devices->setRootIsDecorated(false);
    m_devices->header()->setStretchLastSection(true);
    setCentralWidget(m_devices);

    QMenu* project = menuBar()->addMenu(tr("&Project"));
    QAction* edit = project->addAction(tr("&Edit parameters..."), this, [this] { EditParameters(); });
    edit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* download = project->addAction(tr("&Download to gateway"), this, [this] { DownloadToGateway(); });
    m_download = download;
    project->addAction(tr("&Gateway connection..."), this, [this] { ChooseGatewayConnection(); });
    project->addSeparator();
    project->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QToolBar* tools = addToolBar(tr("Project"));
    tools->addAction(edit);
    tools->addAction(download);
    connect(m_devices, &QTreeWidget::itemActivated, this, [this] { EditParameters(); });

    FillDevices();
    // The simulated line as it is now, so that each test command shows what it did.
    m_lineState = new QLabel(this);
    m_lineState->setMinimumWidth(1); // a long line is cut rather than the window widened
    statusBar()->addPermanentWidget(m_lineState);
    // The plug-in's window covers this one during a session: while the line does something, its state
    // floats at the foot of the screen as well.
    m_lineView = new QLabel(this, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                      Qt::WindowDoesNotAcceptFocus);
    m_lineView->setAttribute(Qt::WA_ShowWithoutActivating);
    m_lineView->setFrameStyle(QFrame::Box);
    m_lineView->setMargin(6);
    auto* lineRefresh = new QTimer(this);
    connect(lineRefresh, &QTimer::timeout, this, [this] {
        const bool simulated = m_choice.kind == GatewayChoice::Kind::Simulator;
        m_lineState->setVisible(simulated);
        const GatewayState state = simulated ? m_gateway->Gateway().State() : GatewayState{};
        if (simulated) {
            m_lineState->setText(QString::fromStdString(DescribeGatewayState(state)));
            m_lineState->setToolTip(m_lineState->text());
        }
        const bool floating = simulated && QApplication::activeModalWidget() && !state.IsQuiet();
        if (floating) {
            m_lineView->setText(tr("Simulated line: %1").arg(m_lineState->text()));
            m_lineView->adjustSize();
            const QRect screen = this->screen()->availableGeometry();
            m_lineView->move(screen.left() + 8, screen.bottom() - m_lineView->height() - 8);
        }
        m_lineView->setVisible(floating);
    });
    lineRefresh->start(500);
    m_gatewayStatus = new QLabel(this);
    statusBar()->addPermanentWidget(m_gatewayStatus);
    std::string warning;
    m_choice = LoadGatewayChoice(m_projectPath.toStdString(), &warning);
    ApplyGatewayChoice();
    statusBar()->showMessage(warning.empty() ? m_projectPath : QString::fromStdString(warning));
    resize(720, 320);
}

void CHostMainWindow::ApplyGatewayChoice()
{
    if (m_choice.kind == GatewayChoice::Kind::Simulator) {
        m_session->SetLiveConnectionProvider(m_gateway);
        m_gatewayStatus->setText(
            tr("Gateway: simulated, %1 DALI devices").arg(m_gateway->Gateway().GearSnapshot().size()));
    } else {
        m_session->SetLiveConnectionProvider(
            std::make_shared<CKnxNetIpGatewayProvider>(m_choice.interfaceEndpoint));
        m_gatewayStatus->setText(tr("Gateway: %1").arg(QString::fromStdString(m_choice.Describe())));
    }
    // The host's download reaches only the simulated gateway.
    m_download->setEnabled(m_choice.kind == GatewayChoice::Kind::Simulator);
}

void CHostMainWindow::SetGatewayChoice(const GatewayChoice& choice)
{
    m_choice = choice;
    ApplyGatewayChoice();
    std::string error;
    if (!SaveGatewayChoice(m_projectPath.toStdString(), m_choice, &error))
        statusBar()->showMessage(
            tr("The choice holds until the program ends: %1").arg(QString::fromStdString(error)));
}

void CHostMainWindow::ChooseGatewayConnection()
{
    std::vector<knx::DiscoveredInterface> found;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        statusBar()->showMessage(tr("Searching for KNXnet/IP interfaces..."));
        std::string error;
        found = knx::DiscoverInterfaces(2000, &error);
        QApplication::restoreOverrideCursor();
        statusBar()->showMessage(error.empty()
                                     ? tr("%n interface(s) found", "", static_cast<int>(found.size()))
                                     : QString::fromStdString(error));
    }
    QStringList items{tr("Simulated gateway")};
    for (const auto& i : found)
        items << tr("KNXnet/IP: %1").arg(QString::fromStdString(i.Describe()));
    const QString byAddress = tr("KNXnet/IP interface by address...");
    items << byAddress;
    int current = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (m_choice == GatewayChoice::Interface(found[i].control))
            current = static_cast<int>(i) + 1;
    }
    if (m_choice.kind == GatewayChoice::Kind::KnxNetIp && current == 0)
        current = static_cast<int>(items.size()) - 1;
    bool ok = false;
    const QString picked = QInputDialog::getItem(
        this, tr("Gateway connection"), tr("Reach the gateway through:"), items, current, false, &ok);
    if (!ok)
        return;
    const auto index = items.indexOf(picked);
    if (index == 0) {
        SetGatewayChoice(GatewayChoice::Simulator());
    } else if (picked == byAddress) {
        const QString preset = m_choice.kind == GatewayChoice::Kind::KnxNetIp
                                   ? QString::fromStdString(m_choice.interfaceEndpoint.ToString())
                                   : QStringLiteral("192.168.1.10:3671");
        const QString text =
            QInputDialog::getText(this, tr("Gateway connection"),
                                  tr("Address of the KNXnet/IP interface (ADDRESS or ADDRESS:PORT):"),
                                  QLineEdit::Normal, preset, &ok);
        if (!ok)
            return;
        auto endpoint = knx::Endpoint::Parse(text.trimmed().toStdString());
        if (!endpoint) {
            QMessageBox::warning(
                this, windowTitle(),
                tr("'%1' is no IPv4 address with an optional port, such as 192.168.1.10:3671.").arg(text));
            return;
        }
        SetGatewayChoice(GatewayChoice::Interface(*endpoint));
    } else {
        SetGatewayChoice(GatewayChoice::Interface(found[static_cast<std::size_t>(index) - 1].control));
    }
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
