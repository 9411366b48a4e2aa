#include "ui/DlgProgressControl.h"

#include "trace/DebugTrace.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QPushButton>
#include <thread>

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
    if (m_parentWindow)
        m_parentWindow->setEnabled(false);
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
    m_bCancelled = false;
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
    if (m_parentWindow)
        m_parentWindow->setEnabled(true);
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

void CProgressThread::Run(const std::function<void()>& work)
{
    TRACE_ENTRY();
    if (m_window)
        m_window->setEnabled(false);
    m_finished = false;
    m_running = true;
    CDlgProgressControl box(nullptr);
    m_box = &box;
    std::string caption, info, info2;
    {
        std::lock_guard lock(m_mutex);
        caption = m_caption;
        info = m_info.value;
        info2 = m_info2.value;
        m_info.changed = m_info2.changed = false;
    }
    box.Show(ProgressKind::Polling, caption, info, info2, std::string());

    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    // Poll every 100 ms and refresh the box every 600 ms, costing almost nothing meanwhile.
    QEventLoop loop;
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done) {
            loop.quit();
            return;
        }
        if (++ticks % 6 != 0)
            return;
        std::string text;
        if (Take(m_info, text))
            box.SetInfoText(text);
        if (Take(m_info2, text))
            box.SetInfoText2(text);
        box.Step();
        box.repaint();
    });
    poll.start(100);
    if (!done)
        loop.exec();
    worker.join();
    std::string text;
    if (Take(m_info, text))
        box.SetInfoText(text);
    box.Close();
    m_box = nullptr;
    m_running = false;
    m_finished = true;
    if (m_window)
        m_window->setEnabled(true);
}

void CProgressThread::Stop()
{
    m_running = false;
    if (m_box)
        m_box->Close();
}
