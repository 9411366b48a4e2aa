// The single gear test: switches or blinks a chosen set of gear for identification, and keeps the
// gateway's test watchdog alive while they are on or blinking; closing switches them off.
#pragma once

#include "ui/DlgTestDali.h"

#include <QTimer>
#include <array>
#include <utility>
#include <vector>

class CDlgTestDaliEvgs final : public CDlgTestDali
{
    Q_OBJECT

public:
    static constexpr int kWatchdogMs = 20'000;
    static constexpr int kMinBlinkCount = 1, kMaxBlinkCount = 250;
    // Gateway gear number and the text the list shows for it ("[%d] %s").
    using EvgList = std::vector<std::pair<int, QString>>;

    // Tests the gear of the list (any order; shown by ascending gear number) through a verified
    // connection; main is the session's main window, over which the dialog opens. Create(), then
    // exec() runs it.
    CDlgTestDaliEvgs(IMainWindow& main, CEtsLifeDeviceConnection& connection, EvgList evgs);
    ~CDlgTestDaliEvgs() override;

    const EvgList& Evgs() const { return m_evgs; }
    const std::array<std::uint8_t, 8>& SelectionMask() const { return m_mask; }
    bool IsWatchdogRunning() const { return m_timer.isActive(); }

    void OnBnClickedBtnSwitchOn();
    void OnBnClickedBtnSwitchOff();
    void OnBnClickedBtnBlinkPermanent();
    void OnBnClickedBtnBlink();
    void OnEnChangeEditBlinkCount();
    // One retrigger of the watchdog; the timer calls it every 20 s, tests call it directly.
    void OnTimer();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    // Gear left on or blinking are switched off before the dialog closes.
    void BeforeClose() override;

private:
    void StartWatchdogRetriggering();
    void StopWatchdogRetriggering();
    int BlinkCount() const;

    EvgList m_evgs;
    std::array<std::uint8_t, 8> m_mask{};
    QTimer m_timer;
    bool m_bTimerBusy = false;
    bool m_bReady = false;
};
