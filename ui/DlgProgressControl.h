// The progress box of long operations, and the box that stays alive while a blocking call runs.
#pragma once

#include "model/Progress.h"
#include "model/ProgressBox.h"
#include "ui/TemplateDialog.h"

#include <QPointer>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QProgressBar;

// A window disabled by boxes: each box disables it once while it is open, and it is enabled again
// (if it was enabled before the first) when the last one lets go.
void DisableForBox(QWidget* window);
void ReleaseFromBox(QWidget* window);

// A modeless box; the thread that shows it keeps it alive by letting it process its events whenever
// the bar advances.
// Boxes may nest (a box opened while another is shown on the same window): the window stays
// disabled until the last of them is closed.
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
    // A Cancel stays seen until the box is closed; Show on an open box does not forget it.
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
    bool m_bOpen = false; // shown and not closed since: the parent is disabled, a Cancel stays
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

// Keeps a box alive while the user interface thread waits for calls it cannot interrupt (the
// verification's waits for the bus): each call runs on a worker thread while this thread shows the
// box and processes its events. Everything else stays on this thread. Info texts may be set from
// either thread.
class CProgressThread final : public IBusWait
{
public:
    // Starts the worker; tests hand in one that fails.
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    explicit CProgressThread(QWidget* windowToDisable = nullptr, ThreadStarter starter = {});
    ~CProgressThread() override { Stop(); }
    CProgressThread(const CProgressThread&) = delete;
    CProgressThread& operator=(const CProgressThread&) = delete;

    void SetCaption(const std::string& text);
    void SetInfoText(const std::string& text);
    void SetInfoText2(const std::string& text);

    // Disables the window, shows the box and starts the worker. A worker that cannot start leaves
    // the window enabled and no box: calls then run here, and false is returned.
    bool Start();
    // Takes the box away and ends the worker; without a running box it returns at once.
    void Stop();
    bool Running() const { return m_running.load(); }

    // Runs the call on the worker and returns its result; here when the worker is not running.
    HRESULT Run(const std::function<HRESULT()>& call) override;

private:
    struct Text
    {
        std::string value;
        bool beingWritten = false;
        bool changed = false;
    };
    void Store(Text& text, const std::string& value);
    bool Take(Text& text, std::string& value);
    void Refresh();
    void Work();

    QPointer<QWidget> m_window;
    ThreadStarter m_starter;
    std::mutex m_mutex; // guards the texts and the hand-over of calls
    std::condition_variable m_wake;
    std::string m_caption;
    Text m_info, m_info2;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_finished{true};
    std::unique_ptr<CDlgProgressControl> m_box;
    std::thread m_worker;
    const std::function<HRESULT()>* m_call = nullptr; // handed to the worker
    HRESULT m_result = S_OK;
    bool m_callDone = false;
    bool m_quit = false;
};
