#include "ui/DlgProgressControl.h"

#include "trace/DebugTrace.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <thread>
#include <utility>

namespace {

enum : int
{
    IdCancel = 2,
    IdBar = 305,
    IdInfo = 306,
    IdInfo2 = 307,
};

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

CDlgProgressControl::CDlgProgressControl(QWidget* parentWindow)
    : CTemplateDialog(236, nullptr), m_parentWindow(parentWindow)
{
    m_timer.setInterval(100);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Advance(); });
}

CDlgProgressControl::~CDlgProgressControl()
{
    Close();
}

bool CDlgProgressControl::OnInitDialog()
{
    if (auto* bar = Item<QProgressBar>(IdBar))
        bar->hide();
    SetDlgItemText(IdInfo, {});
    SetDlgItemText(IdInfo2, {});
    return true;
}

bool CDlgProgressControl::Show(ProgressKind kind, std::optional<std::string> caption,
                               std::optional<std::string> info, std::optional<std::string> info2,
                               std::optional<std::string> button)
{
    if (!m_bCreated) {
        if (!Create())
            return false;
        m_bCreated = true;
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }
    // Opening (not a redisplay of an open box): the parent goes disabled and Cancel starts afresh.
    if (!std::exchange(m_bOpen, true)) {
        DisableForBox(m_parentWindow);
        m_bCancelled = false;
    }
    m_kind = kind;
    auto* bar = Item<QProgressBar>(IdBar);
    if (bar) {
        bar->setVisible(kind != ProgressKind::TextOnly);
        if (kind == ProgressKind::Polling || kind == ProgressKind::Timer)
            m_nRange = 10;
        bar->setRange(0, m_nRange);
        bar->setValue(0);
    }
    if (kind == ProgressKind::Timer)
        m_timer.start();
    if (button)
        m_strButton = Q(*button);
    m_bButtonShown = !m_strButton.isEmpty();
    if (auto* b = Item<QPushButton>(IdCancel)) {
        b->setText(m_strButton);
        b->setVisible(m_bButtonShown);
    }
    if (caption)
        m_strCaption = Q(*caption);
    if (info)
        m_strInfo = Q(*info);
    if (info2)
        m_strInfo2 = Q(*info2);
    ShowTexts();
    m_nPosition = 0;
    m_bFirstPoll = true;
    show();
    raise();
    QApplication::processEvents();
    if (m_bWaitUntilClosed)
        while (isVisible())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return true;
}

void CDlgProgressControl::ShowTexts()
{
    if (!m_bCreated)
        return;
    setWindowTitle(m_strCaption);
    SetDlgItemText(IdInfo, m_strInfo);
    SetDlgItemText(IdInfo2, m_strInfo2);
}

void CDlgProgressControl::SetRange(int range)
{
    m_nRange = range;
    m_nPosition = 0;
    if (auto* bar = Item<QProgressBar>(IdBar)) {
        bar->setRange(0, range);
        bar->setValue(0);
        bar->repaint();
    }
}

void CDlgProgressControl::Advance()
{
    if (++m_nPosition > m_nRange)
        m_nPosition = 0;
    if (auto* bar = Item<QProgressBar>(IdBar))
        bar->setValue(m_nPosition);
}

void CDlgProgressControl::Step()
{
    Advance();
    QApplication::processEvents();
}

bool CDlgProgressControl::CheckCancel()
{
    if (m_kind == ProgressKind::Polling) {
        if (m_bFirstPoll) {
            m_bFirstPoll = false;
            if (auto* bar = Item<QProgressBar>(IdBar))
                bar->setRange(0, m_nRange);
            ShowTexts();
        }
        Advance();
    }
    QApplication::processEvents();
    return m_bCancelled;
}

void CDlgProgressControl::SetCaption(const std::string& text)
{
    m_strCaption = Q(text);
    ShowTexts();
}

void CDlgProgressControl::SetInfoText(const std::string& text)
{
    m_strInfo = Q(text);
    ShowTexts();
    if (m_kind == ProgressKind::Polling && m_bCreated)
        Step();
}

void CDlgProgressControl::SetInfoText2(const std::string& text)
{
    m_strInfo2 = Q(text);
    ShowTexts();
    if (m_kind == ProgressKind::Polling && m_bCreated)
        Step();
}

void CDlgProgressControl::OnCancel()
{
    m_bCancelled = true;
    if (m_bWaitUntilClosed)
        hide();
}

void CDlgProgressControl::Close()
{
    m_timer.stop();
    if (m_bCreated && isVisible())
        hide();
    if (std::exchange(m_bOpen, false))
        ReleaseFromBox(m_parentWindow);
}

namespace {
constexpr const char* kBoxesOnWindow = "veltronaProgressBoxes";
constexpr const char* kEnabledBeforeBoxes = "veltronaEnabledBeforeBoxes";
} // namespace

void DisableForBox(QWidget* window)
{
    if (!window)
        return;
    const int boxes = window->property(kBoxesOnWindow).toInt();
    if (boxes == 0)
        window->setProperty(kEnabledBeforeBoxes, window->isEnabled());
    window->setProperty(kBoxesOnWindow, boxes + 1);
    window->setEnabled(false);
}

void ReleaseFromBox(QWidget* window)
{
    if (!window)
        return;
    const int boxes = window->property(kBoxesOnWindow).toInt();
    if (boxes <= 0)
        return;
    window->setProperty(kBoxesOnWindow, boxes - 1);
    if (boxes == 1)
        window->setEnabled(window->property(kEnabledBeforeBoxes).toBool());
}

std::unique_ptr<IProgressBox> CProgressBoxFactory::CreateProgressBox()
{
    return std::make_unique<CDlgProgressControl>(m_parent);
}

void CModelProgress::Open(const std::string& title, const std::string& text)
{
    m_box.Show(ProgressKind::Steps, title, text, std::string(), std::string());
    m_box.SetRange(200);
}

void CModelProgress::Stage(const std::string& text)
{
    m_box.SetInfoText2(text);
    m_box.Step();
}

void CProgressThread::Store(Text& text, const std::string& value)
{
    std::lock_guard lock(m_mutex);
    text.beingWritten = true;
    text.value = value;
    text.changed = true;
    text.beingWritten = false;
}

bool CProgressThread::Take(Text& text, std::string& value)
{
    std::lock_guard lock(m_mutex);
    if (!m_running || !text.changed || text.beingWritten)
        return false;
    value = text.value;
    text.changed = false;
    return true;
}

void CProgressThread::SetCaption(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_caption = text;
}

void CProgressThread::SetInfoText(const std::string& text)
{
    Store(m_info, text);
}
void CProgressThread::SetInfoText2(const std::string& text)
{
    Store(m_info2, text);
}

CProgressThread::CProgressThread(QWidget* windowToDisable, ThreadStarter starter)
    : m_window(windowToDisable), m_starter(std::move(starter))
{
    if (!m_starter)
        m_starter = [](std::function<void()> body) {
            return std::thread(std::move(body));
        };
}

bool CProgressThread::Start()
{
    TRACE_ENTRY();
    if (m_running)
        return true;
    m_quit = false;
    try {
        m_worker = m_starter([this] { Work(); });
    } catch (const std::exception& e) {
        // No worker, no box: the calls run here and the window stays usable.
        TRACE_MSG(TRACE_ERROR, "Progress thread not started: %s", e.what());
        return false;
    }
    DisableForBox(m_window);
    m_finished = false;
    m_running = true;
    std::string caption, info, info2;
    {
        std::lock_guard lock(m_mutex);
        caption = m_caption;
        info = m_info.value;
        info2 = m_info2.value;
        m_info.changed = m_info2.changed = false;
    }
    m_box = std::make_unique<CDlgProgressControl>(nullptr);
    m_box->Show(ProgressKind::Polling, caption, info, info2, std::string());
    return true;
}

void CProgressThread::Work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_call; });
        if (m_quit)
            return;
        const std::function<HRESULT()>* call = std::exchange(m_call, nullptr);
        lock.unlock();
        const HRESULT result = (*call)();
        lock.lock();
        m_result = result;
        m_callDone = true;
        m_wake.notify_all();
    }
}

HRESULT CProgressThread::Run(const std::function<HRESULT()>& call)
{
    if (!m_running)
        return call();
    {
        std::lock_guard lock(m_mutex);
        m_call = &call;
        m_callDone = false;
    }
    m_wake.notify_all();
    // Keep the box alive meanwhile: poll every 100 ms, take new texts and step every 600 ms.
    for (int ticks = 1;; ++ticks) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_for(lock, std::chrono::milliseconds(100), [this] { return m_callDone; }))
                break;
        }
        QApplication::processEvents();
        if (ticks % 6 == 0)
            Refresh();
    }
    std::lock_guard lock(m_mutex);
    return m_result;
}

void CProgressThread::Refresh()
{
    if (!m_box)
        return;
    std::string text;
    if (Take(m_info, text))
        m_box->SetInfoText(text);
    if (Take(m_info2, text))
        m_box->SetInfoText2(text);
    m_box->Step();
    m_box->repaint();
}

void CProgressThread::Stop()
{
    if (!m_running)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    Refresh();
    m_box->Close();
    m_box.reset();
    m_running = false;
    m_finished = true;
    ReleaseFromBox(m_window);
}
