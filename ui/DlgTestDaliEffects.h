// The effect test: starts an effect of the configuration in the gateway, stops it, advances it step
// by step and changes its speed, and follows its step and pass by polling the gateway every second.
#pragma once

#include "ui/DlgTestDali.h"

#include <QTimer>

class CDlgTestDaliEffects final : public CDlgTestDali
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 1000;
    // The last step of an effect is sent as this step number.
    static constexpr int kStopStepNr = 16;

    CDlgTestDaliEffects(IMainWindow& main, CEtsLifeDeviceConnection& connection);
    ~CDlgTestDaliEffects() override;

    int EffectNr() const { return m_nEffectNr; }
    int Step() const { return m_nStep; }
    int Steps() const { return m_nSteps; }
    int Pass() const { return m_nPass; }
    int Passes() const { return m_nPasses; }
    bool IsStepMode() const { return m_bStepMode; }
    bool IsTimerRunning() const { return m_timer.isActive(); }

    void OnBnClickedBtnStart();
    void OnBnClickedBtnStop();
    void OnBnClickedBtnStep();
    void OnCbnSelchangeComboboxEffect();
    void OnCbnSelchangeComboboxAcceleration();
    // One poll of the gateway; the timer calls it every second, tests call it directly.
    void OnTimer();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int idc) override;
    // Leaving stops the effect the dialog follows.
    void BeforeClose() override { StopEffect(); }

private:
    void ShowSelectedEffect();
    // The step as "step/steps", with a blank and the suffix when one is given.
    void ShowStep(const QString& suffix = {});
    void ShowPass();
    void StartTimer();
    // Stops the timer and, when a text is given, shows the step with it; whether the timer ran.
    bool StopTimer(const QString* suffix = nullptr);
    void StopEffect();
    bool WritePropertyD1(int function, int data1, int data2);

    QTimer m_timer;
    int m_nEffectNr = 0;
    int m_nStep = 0;
    int m_nSteps = 0;
    int m_nPass = 0;
    int m_nPasses = 0;
    std::int32_t m_nAcceleration = 1;
    int m_nPollCode = 0; // function of the last query: 40, 41, 43 or 44
    bool m_bStepMode = false;
    bool m_bTimerBusy = false;
};
