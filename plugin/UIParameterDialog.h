// The modal main window of an editing session: navigation tree, page area and the session's buttons.
#pragma once

#include "device/EtsLifeDeviceConnection.h"
#include "hostapi/EtsHost.h"
#include "model/EtsDbManagement.h"
#include "ui/DlgProgressControl.h"
#include "ui/ParameterDialog.h"
#include "ui/PluginTreeCtrlView.h"

#include <QPointer>
#include <QSizeGrip>
#include <functional>
#include <map>
#include <memory>

// Borderless child that keeps the current page filling it.
class CDlgParameterClientArea final : public CTemplateDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterClientArea(QWidget* parent) : CTemplateDialog(201, parent, true) {}
    void SetPage(QWidget* page) { m_page = page; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QPointer<QWidget> m_page;
};

class CUIParameterDialog final : public CTemplateDialog, public IMainWindow
{
    Q_OBJECT

public:
    // The page of a node type; the page families register theirs when the window is made. A later
    // registration replaces the earlier; null removes it.
    using PageFactory =
        std::function<std::unique_ptr<CParameterDialog>(IMainWindow& main, QTreeWidgetItem* node)>;
    void RegisterPage(int nodeType, PageFactory factory);

    CUIParameterDialog(IUnknown* hostObject, IEtsHostWindow* hostWindow, QWidget* parent = nullptr);
    ~CUIParameterDialog() override;

    // Runs the session modally: QDialog::Accepted after OK, Rejected after Cancel or a failed start,
    // kNotCreated when no window could be made.
    static constexpr int kNotCreated = -1;
    int Run();

    CEtsDbManagement* GetModel() override { return m_pModel.get(); }
    CPluginTreeCtrlView* GetTree() override { return m_pTree; }
    QWidget* GetWindow() override { return this; }
    void ShowParameterDialog() override;
    void ChangeLabelActiveTreeNode() override;
    void ChangeNameClientDialog() override;
    bool IsCancelling() const override { return m_bCancelling; }

    void ShowParameterDialog(std::unique_ptr<CParameterDialog> page);
    void DeleteActiveParameterDialog();
    CParameterDialog* ActivePage() const { return m_pActivePage.get(); }
    CEtsLifeDeviceConnection* GetConnection() const { return m_pConnection.get(); }
    // The connection a page of node types 26 and 27 got, null when its verification failed.
    CEtsLifeDeviceConnection* VerifiedConnection() const { return m_pVerified; }
    IEtsDevice* GetDevice() const { return m_pDevice.Get(); }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnCommand(int id) override;
    void done(int result) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Anchor
    {
        QPointer<QWidget> widget;
        QRect rect;
        int flags;
    };
    void OnBnClickedBtnStandard();
    // Verifies the live connection under a progress box; the message when it failed, else empty.
    std::string VerifyConnection(QTreeWidgetItem* node, bool checkProjectId, EDeviceConnectionState* state);
    void OnCommandHelp();
    void RegisterAnchor(QWidget* widget, int flags);
    void RestorePlacement();
    void StorePlacement();
    QWidget* HostWidget() const;
    bool FocusInPageArea() const;

    ComPtr<IEtsDevice> m_pDevice;
    ComPtr<IEtsHostWindow> m_pHostWindow;
    std::unique_ptr<CEtsDbManagement> m_pModel;
    std::unique_ptr<CProgressBoxFactory> m_pBoxes;
    std::unique_ptr<CEtsLifeDeviceConnection> m_pConnection;
    CEtsLifeDeviceConnection* m_pVerified = nullptr;
    CPluginTreeCtrlView* m_pTree = nullptr;
    CDlgParameterClientArea* m_pClientArea = nullptr;
    std::unique_ptr<CParameterDialog> m_pActivePage;
    QSizeGrip* m_pSizeGrip = nullptr;
    bool m_bCancelling = false;
    bool m_bFailed = false;
    bool m_bPlacementStored = false;
    QSize m_initialClient;
    std::vector<Anchor> m_anchors;
    std::map<int, PageFactory> m_pageFactories;
};
