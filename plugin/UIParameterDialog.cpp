#include "plugin/UIParameterDialog.h"

#include "platform/Clock.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/ConfigurationPages.h"
#include "ui/DlgParameterGroupCommon.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

namespace {

enum : int
{
    IdOk = 1,
    IdCancel = 2,
    IdStandard = 291,
    IdHelp = 293,
    IdLabel = 201,
    IdVersion = -1,
};

// Anchor flags: which edges stay and which follow the window's growth.
enum : int
{
    AnchorTop = 1,
    AnchorLeft = 2,
    AnchorWidth = 4,
    AnchorHeight = 8,
};

// The settings store of the plug-in, opened at the window's section.
std::unique_ptr<QSettings> PlacementSettings()
{
    auto settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                QStringLiteral("veltrona"), QStringLiteral("veltrona"));
    settings->beginGroup(QStringLiteral("VeltronaR3"));
    return settings;
}

} // namespace

void CDlgParameterClientArea::resizeEvent(QResizeEvent* event)
{
    CTemplateDialog::resizeEvent(event);
    TRACE_MSG(TRACE_INFO, "cx = %d, cy = %d", width(), height());
    if (m_page)
        m_page->setGeometry(0, 0, width(), height());
}

void CUIParameterDialog::RegisterPage(int nodeType, PageFactory factory)
{
    if (factory)
        m_pageFactories[nodeType] = std::move(factory);
    else
        m_pageFactories.erase(nodeType);
}

CUIParameterDialog::CUIParameterDialog(IUnknown* hostObject, IEtsHostWindow* hostWindow, QWidget* parent)
    : CTemplateDialog(103, parent), m_pHostWindow(hostWindow)
{
    TRACE_ENTRY();
    RegisterConfigurationPages(
        [this](int nodeType, PageFactory factory) { RegisterPage(nodeType, std::move(factory)); });
    if (hostObject)
        hostObject->QueryInterface(IidOf<IEtsDevice>(), OutPtr(m_pDevice));
    if (QWidget* host = HostWidget())
        TRACE_MSG(TRACE_INFO, "Host Window = `%s'", host->windowTitle().toUtf8().constData());
}

CUIParameterDialog::~CUIParameterDialog()
{
    TRACE_ENTRY();
    DeleteActiveParameterDialog();
    delete m_pClientArea;
    delete m_pTree;
    // The connection refers to the model, so it goes first.
    m_pConnection.reset();
    m_pModel.reset();
}

QWidget* CUIParameterDialog::HostWidget() const
{
    std::uintptr_t handle = 0;
    if (m_pHostWindow && SUCCEEDED(m_pHostWindow->get_NativeHandle(&handle)))
        return reinterpret_cast<QWidget*>(handle);
    return nullptr;
}

int CUIParameterDialog::Run()
{
    // A window that cannot be made is no Cancel of the user: the caller reports a failure.
    if (!Create())
        return m_bFailed ? QDialog::Rejected : kNotCreated;
    if (m_bFailed)
        return QDialog::Rejected;
    return exec();
}

bool CUIParameterDialog::OnInitDialog()
{
    TRACE_ENTRY();
    auto fail = [this] {
        TRACE_MSG(TRACE_ERROR, "Initialisation failed");
        UiServices::Prompt().Ask("Veltrona", "Zugriff auf die Ets konnte nicht erzeugt werden!",
                                 PromptButtons::Ok, PromptIcon::Error);
        m_bFailed = true;
        OnCancel();
        return false;
    };
    if (!m_pDevice)
        return fail();
    m_pModel = std::make_unique<CEtsDbManagement>(m_pDevice.Get(), &UiServices::Prompt());
    m_pModel->LoadDeviceParameterPointers();
    m_pModel->InitLightnessValueLists();
    m_pModel->LoadBufferedParameters();
    m_pModel->CollectVisibleNonStandardObjects();
    m_pBoxes = std::make_unique<CProgressBoxFactory>(this);
    m_pConnection =
        std::make_unique<CEtsLifeDeviceConnection>(*m_pModel, m_pDevice.Get(), m_pHostWindow.Get(),
                                                   DefaultClock(), &UiServices::Prompt(), m_pBoxes.get());
    m_pModel->LoadEtsProjectAndDeviceInfos();

    QString title = QString::fromStdString(m_pModel->GetDeviceAddress() + " " + m_pModel->GetDeviceName());
    QString description = QString::fromStdString(m_pModel->GetDeviceDescription());
    if (!description.isEmpty())
        title += ' ' + description.remove('\r').replace('\n', ' ');
    setWindowTitle(title);
    for (auto [id, number] : {std::pair{IdOk, 823}, {IdCancel, 801}, {IdStandard, 825}, {IdHelp, 816}}) {
        std::string text;
        if (SUCCEEDED(m_pModel->GetParameterText(number, &text)) && !text.empty())
            SetDlgItemText(id, QString::fromStdString(text));
    }

    m_initialClient = size();
    const int w = width(), h = height();
    m_pTree = new CPluginTreeCtrlView(*this, this);
    m_pTree->setObjectName(QStringLiteral("tree"));
    m_pTree->setGeometry(QRect(QPoint(8, 8), QPoint(223, h - 50)));
    m_pClientArea = new CDlgParameterClientArea(this);
    if (!m_pClientArea->Create())
        return fail();
    m_pClientArea->setGeometry(QRect(QPoint(231, 36), QPoint(w - 8, h - 50)));
    if (auto* label = Item<QLabel>(IdLabel)) {
        QFont font = label->font();
        font.setPointSize(font.pointSize() + 2);
        font.setBold(true);
        label->setFont(font);
    }
    m_pSizeGrip = new QSizeGrip(this);
    m_pSizeGrip->setGeometry(w - 16, h - 16, 16, 16);

    m_pTree->InitTreeCtrlView();
    RegisterAnchor(m_pTree, AnchorTop | AnchorLeft | AnchorWidth | AnchorHeight);
    RegisterAnchor(m_pClientArea, AnchorTop | AnchorWidth | AnchorHeight);
    RegisterAnchor(GetDlgItem(IdLabel), AnchorTop | AnchorWidth);
    for (int id : {IdOk, IdCancel, IdStandard, IdHelp})
        RegisterAnchor(GetDlgItem(id), AnchorWidth | AnchorHeight);
    RegisterAnchor(m_pSizeGrip, AnchorWidth | AnchorHeight);
    RegisterAnchor(GetDlgItem(IdVersion), AnchorLeft | AnchorHeight);
    setMinimumSize(m_initialClient);

    RestorePlacement();
    ShowParameterDialog();
    m_pTree->setFocus();
    return true;
}

void CUIParameterDialog::RegisterAnchor(QWidget* widget, int flags)
{
    if (widget)
        m_anchors.push_back({widget, widget->geometry(), flags});
}

void CUIParameterDialog::resizeEvent(QResizeEvent* event)
{
    CTemplateDialog::resizeEvent(event);
    if (m_anchors.empty())
        return;
    TRACE_MSG(TRACE_INFO, "cx = %d, cy = %d", width(), height());
    const int dx = width() - m_initialClient.width(), dy = height() - m_initialClient.height();
    for (const Anchor& a : m_anchors) {
        if (!a.widget)
            continue;
        QRect r = a.rect;
        if (a.flags & AnchorWidth) {
            r.setRight(r.right() + dx);
            if (!(a.flags & AnchorLeft))
                r.setLeft(r.left() + dx);
        }
        if (a.flags & AnchorHeight) {
            r.setBottom(r.bottom() + dy);
            if (!(a.flags & AnchorTop))
                r.setTop(r.top() + dy);
        }
        a.widget->setGeometry(r);
    }
}

void CUIParameterDialog::RestorePlacement()
{
    auto stored = PlacementSettings();
    QSettings& settings = *stored;
    const int cx = settings.value(QStringLiteral("cx"), -1).toInt();
    const int cy = settings.value(QStringLiteral("cy"), -1).toInt();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->size() : QSize(1024, 768);
    if (cx >= 0 && cx <= area.width() && cy >= 0 && cy <= area.height()) {
        QPoint at(settings.value(QStringLiteral("x"), -1).toInt(),
                  settings.value(QStringLiteral("y"), -1).toInt());
        if (QWidget* host = HostWidget(); host && at.x() >= 0 && at.y() >= 0)
            at = host->mapToGlobal(at);
        if (at.x() >= 0 && at.x() + cx <= area.width() && at.y() >= 0 && at.y() + cy <= area.height())
            setGeometry(at.x(), at.y(), std::max(cx, minimumWidth()), std::max(cy, minimumHeight()));
    }
    if (settings.value(QStringLiteral("zoomed"), 0).toInt() != 0)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CUIParameterDialog::StorePlacement()
{
    if (m_bPlacementStored || !m_pTree)
        return;
    m_bPlacementStored = true;
    auto stored = PlacementSettings();
    QSettings& settings = *stored;
    const bool zoomed = isMaximized();
    // The restored rectangle, also of a maximised window.
    QRect r = zoomed || isMinimized() ? normalGeometry() : geometry();
    if (!r.isEmpty()) {
        QPoint at = r.topLeft();
        if (QWidget* host = HostWidget())
            at = host->mapFromGlobal(at);
        settings.setValue(QStringLiteral("x"), at.x());
        settings.setValue(QStringLiteral("y"), at.y());
        settings.setValue(QStringLiteral("cx"), r.width());
        settings.setValue(QStringLiteral("cy"), r.height());
    }
    settings.setValue(QStringLiteral("zoomed"), zoomed ? 1 : 0);
}

void CUIParameterDialog::done(int result)
{
    DeleteActiveParameterDialog();
    StorePlacement();
    CTemplateDialog::done(result);
}

void CUIParameterDialog::ShowParameterDialog()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = m_pTree ? m_pTree->SelectedNode() : nullptr;
    if (!node)
        return;
    DeleteActiveParameterDialog();
    const int type = CPluginTreeCtrlView::NodeType(node);
    ChangeLabelActiveTreeNode();
    // Help and F1, of the window and of the tree, open the manual at this page's section.
    m_pModel->SetHelpTopic(type);
    // The online pages verify the gateway first.
    m_pVerified = nullptr;
    std::string message;
    if (type == NodeCommissioning) {
        EDeviceConnectionState state = DeviceConnectionOk;
        const std::string failure = VerifyConnection(node, false, &state);
        if (state == DeviceConnectionOk)
            m_pVerified = m_pConnection.get();
        else
            UiServices::Prompt().Ask(m_pModel->GetLabel(LabelCommissioning), failure, PromptButtons::Ok,
                                     PromptIcon::None);
    } else if (type == NodeTest) {
        if (m_pModel->IsConfigChanged())
            message = m_pModel->GetParameterString(904, "DALI not up to date") + "\n" +
                      m_pModel->GetParameterString(905, "Download necessary");
        else if (message = VerifyConnection(node, true, nullptr); message.empty())
            m_pVerified = m_pConnection.get();
    }
    std::unique_ptr<CParameterDialog> page;
    if (!message.empty())
        page = std::make_unique<CDlgNoLifeDeviceConnection>(*this, QString::fromStdString(message));
    else if (auto it = m_pageFactories.find(type); it != m_pageFactories.end())
        page = it->second(*this, node);
    else
        TRACE_MSG(TRACE_ERROR, "No page for node type %d", type);
    ShowParameterDialog(std::move(page));
}

std::string CUIParameterDialog::VerifyConnection(QTreeWidgetItem* node, bool checkProjectId,
                                                 EDeviceConnectionState* state)
{
    CProgressThread progress(this);
    progress.SetCaption(node->text(0).toStdString());
    progress.SetInfoText(m_pModel->GetParameterString(941, ""));
    // Only the waits for the bus leave this thread; the project and the model are read here.
    progress.Start();
    const EDeviceConnectionState result =
        m_pConnection->CreateLifeDeviceConnection(checkProjectId, &progress);
    if (result == DeviceConnectionOk)
        progress.SetInfoText(m_pModel->GetParameterString(942, ""));
    progress.Stop();
    if (state)
        *state = result;
    return result == DeviceConnectionOk ? std::string() : m_pConnection->GetLastMessage();
}

void CUIParameterDialog::ShowParameterDialog(std::unique_ptr<CParameterDialog> page)
{
    TRACE_ENTRY();
    if (page && m_pClientArea) {
        m_pClientArea->SetPage(page.get());
        TRACE_MSG(TRACE_INFO, "Creating ClientDialog");
        page->setParent(m_pClientArea, Qt::Widget);
        page->Create();
        page->show();
        TRACE_MSG(TRACE_INFO, "Resizing ClientDialog");
        page->setGeometry(0, 0, m_pClientArea->width(), m_pClientArea->height());
    }
    m_pActivePage = std::move(page);
}

void CUIParameterDialog::DeleteActiveParameterDialog()
{
    TRACE_ENTRY();
    if (!m_pActivePage)
        return;
    if (m_pClientArea)
        m_pClientArea->SetPage(nullptr);
    // The page stores or discards its edits while its window goes. It is deleted later: this may run
    // inside one of its own handlers (a rebuild of the tree that selects another node).
    CParameterDialog* page = m_pActivePage.release();
    page->close();
    page->deleteLater();
}

void CUIParameterDialog::ChangeLabelActiveTreeNode()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = m_pTree ? m_pTree->SelectedNode() : nullptr;
    if (!node)
        return;
    QString text = node->text(0);
    const int type = CPluginTreeCtrlView::NodeType(node);
    if ((type >= NodeSwitching && type <= NodeMember) || type == NodeEffectStep) {
        QTreeWidgetItem* owner =
            type == NodeMember && node->parent() ? node->parent()->parent() : node->parent();
        if (owner)
            text = owner->text(0) + QStringLiteral(" - ") + text;
    }
    SetDlgItemText(IdLabel, text);
}

void CUIParameterDialog::ChangeNameClientDialog()
{
    TRACE_ENTRY();
    QTreeWidgetItem* node = m_pTree ? m_pTree->SelectedNode() : nullptr;
    if (!node)
        return;
    if (CPluginTreeCtrlView::NodeType(node) == NodeGroup)
        if (auto* page = dynamic_cast<CDlgParameterGroupCommon*>(m_pActivePage.get()))
            page->RefreshGroupName();
}

bool CUIParameterDialog::FocusInPageArea() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && m_pClientArea && (focus == m_pClientArea || m_pClientArea->isAncestorOf(focus));
}

void CUIParameterDialog::OnOK()
{
    // Enter inside a page never closes the window.
    if (FocusInPageArea())
        return;
    TRACE_ENTRY();
    DeleteActiveParameterDialog();
    if (m_pModel && m_pModel->IsConfigChanged()) {
        // A new project identity tells the gateway that its configuration is out of date.
        const auto r = static_cast<std::int32_t>(DefaultClock().Random() % 32768);
        const QDate today = QDate::currentDate();
        m_pModel->SetParameterLong(param::kProjectIdRandom, r);
        m_pModel->SetParameterLong(param::kProjectIdDayMonth, today.day() * 256 + today.month());
        m_pModel->SetParameterLong(param::kProjectIdYear, today.year());
        const std::string message =
            m_pModel->GetParameterString(904, "") + "\n" + m_pModel->GetParameterString(905, "");
        UiServices::Prompt().Ask("Veltrona", message, PromptButtons::Ok, PromptIcon::Exclamation);
    }
    if (m_pModel)
        m_pModel->ResetInvisibleNonStandardObjects();
    accept();
}

void CUIParameterDialog::OnCancel()
{
    TRACE_ENTRY();
    if (m_pModel && m_pModel->IsModified()) {
        const std::string question = m_pModel->GetParameterString(967, "Data getting lost");
        if (UiServices::Prompt().Ask("Veltrona", question, PromptButtons::OkCancel, PromptIcon::Question) !=
            PromptAnswer::Ok)
            return;
    }
    m_bCancelling = true;
    DeleteActiveParameterDialog();
    m_bCancelling = false;
    QDialog::reject();
}

void CUIParameterDialog::OnCommand(int id)
{
    if (id == IdStandard)
        OnBnClickedBtnStandard();
    else if (id == IdHelp)
        OnCommandHelp();
}

void CUIParameterDialog::OnBnClickedBtnStandard()
{
    TRACE_ENTRY();
    const std::string question = m_pModel->GetParameterString(935, "");
    if (UiServices::Prompt().Ask("Veltrona", question, PromptButtons::YesNo, PromptIcon::None) !=
        PromptAnswer::Yes)
        return;
    DeleteActiveParameterDialog();
    CModelProgress progress(this);
    m_pModel->ResetAllParameters(true, &progress);
    m_pTree->UpdateAll();
    m_pTree->Select(m_pTree->topLevelItem(0));
    ShowParameterDialog();
}

void CUIParameterDialog::OnCommandHelp()
{
    TRACE_ENTRY();
    if (m_pModel)
        m_pModel->LoadHelpFile();
}

void CUIParameterDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    OnCancel();
}

void CUIParameterDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1) {
        OnCommandHelp();
        return;
    }
    CTemplateDialog::keyPressEvent(event);
}
