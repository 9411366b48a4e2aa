// The progress box of long operations, and the box that stays alive while a blocking call runs.
#pragma once

#include "model/Progress.h"
#include "model/ProgressBox.h"
#include "ui/TemplateDialog.h"

#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>

class QProgressBar;

// A modeless box; the thread that shows it keeps it alive by letting it process its events whenever
// the bar advances.
class CDlgProgressControl final : public CTemplateDialog, public IProgressBox
{
    Q_OBJECT

public:
    // The parent window is disabled while the box is shown; it may be none.
    explicit CDlgProgressControl(QWidget* parentWindow = nullptr);
    ~CDlgProgressControl() override;

    bool Show(ProgressKind kind, std::optional<std::string> caption, std::optional<std::string> info,
              std::optional<std::string> info2, std::optional<std::string> button) override;
    void SetRange(int range) override;
    void Step() override;
    bool CheckCancel() override;
    void SetCaption(const std::string& text) override;
    void SetInfoText(const std::string& text) override;
    void SetInfoText2(const std::string& text) override;
    void Close() override;
    void SetWaitUntilClosed(bool wait) { m_bWaitUntilClosed = wait; }

    int Position() const { return m_nPosition; }
    bool Cancelled() const { return m_bCancelled; }
    QString ButtonText() const { return m_strButton; }
    bool ButtonShown() const { return m_bButtonShown; }

protected:
    bool OnInitDialog() override;
    void OnCancel() override;

private:
    void Advance();
    void ShowTexts();

    QPointer<QWidget> m_parentWindow;
    QString m_strCaption, m_strInfo, m_strInfo2, m_strButton;
    bool m_bCreated = false;
    bool m_bCancelled = false;
    bool m_bButtonShown = false;
    bool m_bFirstPoll = true;
    bool m_bWaitUntilClosed = false;
    ProgressKind m_kind = ProgressKind::TextOnly;
    int m_nRange = 10;
    int m_nPosition = 0;
    QTimer m_timer;
};

// Boxes for the gateway procedures, parented on the main window.
class CProgressBoxFactory final : public IProgressBoxFactory
{
public:
    explicit CProgressBoxFactory(QWidget* parentWindow) : m_parent(parentWindow) {}
    std::unique_ptr<IProgressBox> CreateProgressBox() override;

private:
    QPointer<QWidget> m_parent;
};

// The model's long operations (reset, import) shown in a box of kind 3 that steps per stage.
class CModelProgress final : public IProgress
{
public:
    explicit CModelProgress(QWidget* parentWindow) : m_box(parentWindow) {}
    void Open(const std::string& title, const std::string& text) override;
    void Stage(const std::string& text) override;
    void Close() override { m_box.Close(); }

private:
    CDlgProgressControl m_box;
};

// Keeps a box alive while a call that cannot be interrupted blocks: the call runs on a worker thread,
// the box on this (the user interface) thread. Info texts may be set from either thread.
class CProgressThread
{
public:
    explicit CProgressThread(QWidget* windowToDisable = nullptr) : m_window(windowToDisable) {}
    ~CProgressThread() { Stop(); }

    void SetCaption(const std::string& text);
    void SetInfoText(const std::string& text);
    void SetInfoText2(const std::string& text);

    // Shows the box, runs the work on a worker thread and returns when it is done.
    void Run(const std::function<void()>& work);
    // Takes the box away; without a running box it returns at once.
    void Stop();
    bool Running() const { return m_running.load(); }

private:
    struct Text
    {
        std::string value;
        bool beingWritten = false;
        bool changed = false;
    };
    void Store(Text& text, const std::string& value);
    bool Take(Text& text, std::string& value);

    QPointer<QWidget> m_window;
    std::mutex m_mutex;
    std::string m_caption;
    Text m_info, m_info2;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_finished{true};
    CDlgProgressControl* m_box = nullptr;
};
