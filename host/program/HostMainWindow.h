// The host's window: the project's devices, and the editing session of a device's parameters through
// its plug-in.
#pragma once

#include "host/objects/HostSession.h"
#include "host/program/GatewayConnection.h"
#include "host/program/PluginLoader.h"
#include "host/program/SimulatedGateway.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QTreeWidget;

class CHostMainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    CHostMainWindow(std::unique_ptr<HostSession> session, std::shared_ptr<CSimulatedGatewayProvider> gateway,
                    std::unique_ptr<PluginLoader> plugin, QString projectPath);

    // Runs one editing session of the gateway device; the plug-in's answer.
    HRESULT EditParameters();
    // Routes the live connections to the chosen gateway, remembers the choice for the project and
    // shows it in the status line.
    void SetGatewayChoice(const GatewayChoice& choice);
    const GatewayChoice& CurrentGatewayChoice() const { return m_choice; }
    HostSession& Session() { return *m_session; }

private:
    void FillDevices();
    void DownloadToGateway();
    void ChooseGatewayConnection();
    void ApplyGatewayChoice();

    std::unique_ptr<HostSession> m_session;
    std::shared_ptr<CSimulatedGatewayProvider> m_gateway;
    std::unique_ptr<PluginLoader> m_plugin;
    QString m_projectPath;
    QTreeWidget* m_devices = nullptr;
    GatewayChoice m_choice;
    QAction* m_download = nullptr;
    QLabel* m_gatewayStatus = nullptr;
    QLabel* m_lineState = nullptr; // what the simulated gateway does to its line now
    QLabel* m_lineView = nullptr;  // the same above the plug-in's window while the line is not at rest
};
