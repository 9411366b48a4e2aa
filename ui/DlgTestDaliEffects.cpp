#include "ui/DlgTestDaliEffects.h"

#include "device/EtsLifeDeviceConnection.h"
#include "product/GatewayProtocol.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/WaitCursor.h"

#include <QComboBox>
#include <QLineEdit>

using namespace protocol;

namespace {

enum : int
{
    IdEffectLabel = 725,
    IdEffects = 726,
    IdStart = 727,
    IdStop = 728,
    IdStep = 729,
    IdStepLabel = 730,
    IdStepText = 731,
    IdPassLabel = 732,
    IdPassText = 733,
    IdAccelerate = 734,
    IdAcceleration = 735,
};

constexpr int kAccelerations = 10;

} // namespace

CDlgTestDaliEffects::CDlgTestDaliEffects(IMainWindow& main, CEtsLifeDeviceConnection& connection)
    : CDlgTestDali(263, main, connection, 834)
{
    m_timer.setInterval(kPollMs);
    connect(&m_timer, &QTimer::timeout, this, &CDlgTestDaliEffects::OnTimer);
}

CDlgTestDaliEffects::~CDlgTestDaliEffects()
{
    m_timer.stop();
}

bool CDlgTestDaliEffects::OnInitDialog()
{
    TRACE_ENTRY();
    if (!CDlgTestDali::OnInitDialog())
        return false;
    CEtsDbManagement& m = Model();
    SetDlgItemText(IdEffectLabel, Label(LabelEffect));
    for (auto [idc, number] : {std::pair{IdStart, 835},
                               {IdStop, 836},
                               {IdStep, 837},
                               {IdStepLabel, 985},
                               {IdPassLabel, 986},
                               {IdAccelerate, 838}})
        SetLabelText(idc, number);
    if (auto* combo = Item<QComboBox>(IdEffects)) {
        combo->clear();
        for (int e = 1; e <= kEffectCount; ++e)
            if (m.EffectExists(e))
                AddComboboxItem(IdEffects, e, QString::fromStdString(m.GetEffectDisplayName(e)));
        combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
        m_nEffectNr = combo->count() > 0 ? combo->itemData(0).toInt() : 0;
    }
    if (auto* combo = Item<QComboBox>(IdAcceleration)) {
        combo->clear();
        for (int a = 1; a <= kAccelerations; ++a)
            AddComboboxItem(IdAcceleration, a, QStringLiteral("%1x").arg(a));
        // Shows the speed the gateway is assumed to run at, so that every other choice is sent.
        SelectComboboxEnumValue(IdAcceleration, m_nAcceleration);
    }
    for (int id : {IdStart, IdStop, IdStep, IdAccelerate, IdAcceleration})
        EnableControl(id, m_nEffectNr != 0);
    ShowSelectedEffect();
    return true;
}

void CDlgTestDaliEffects::OnCommand(int id)
{
    switch (id) {
    case IdStart:
        return OnBnClickedBtnStart();
    case IdStop:
        return OnBnClickedBtnStop();
    case IdStep:
        return OnBnClickedBtnStep();
    default:
        CDlgTestDali::OnCommand(id);
    }
}

void CDlgTestDaliEffects::OnSelChange(int idc)
{
    if (idc == IdEffects)
        OnCbnSelchangeComboboxEffect();
    else if (idc == IdAcceleration)
        OnCbnSelchangeComboboxAcceleration();
}

void CDlgTestDaliEffects::ShowSelectedEffect()
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", m_nEffectNr);
    if (m_nEffectNr != 0) {
        m_nSteps = Model().GetEffectStepCount(m_nEffectNr);
        m_nPasses = Model().GetParameterLong(GetEffectUniqueNr(param::kEffectPasses, m_nEffectNr), 0);
    } else {
        m_nSteps = 0;
        m_nPasses = 0;
    }
    m_nStep = 0;
    m_nPass = 0;
    ShowStep();
    ShowPass();
}

void CDlgTestDaliEffects::ShowStep(const QString& suffix)
{
    m_nStep = std::min(m_nStep, m_nSteps);
    QString text = QStringLiteral("%1/%2").arg(m_nStep).arg(m_nSteps);
    if (!suffix.isEmpty())
        text += ' ' + suffix;
    TRACE_MSG(TRACE_INFO, "%s", text.toUtf8().constData());
    SetDlgItemText(IdStepText, text);
    if (QWidget* w = GetDlgItem(IdStepText))
        w->repaint();
}

void CDlgTestDaliEffects::ShowPass()
{
    const QString text = QStringLiteral("%1/%2").arg(m_nPass).arg(m_nPasses);
    TRACE_MSG(TRACE_INFO, "%s", text.toUtf8().constData());
    SetDlgItemText(IdPassText, text);
    if (QWidget* w = GetDlgItem(IdPassText))
        w->repaint();
}

void CDlgTestDaliEffects::StartTimer()
{
    if (!m_timer.isActive())
        m_timer.start();
}

bool CDlgTestDaliEffects::StopTimer(const QString* suffix)
{
    if (!m_timer.isActive())
        return false;
    m_timer.stop();
    if (suffix)
        ShowStep(*suffix);
    return true;
}

void CDlgTestDaliEffects::StopEffect()
{
    // An effect held at a step by this dialog is released as well as one it follows.
    if ((StopTimer() || m_bStepMode) && m_nEffectNr != 0) {
        WritePropertyD1(FnEffect, m_nEffectNr, 0);
        m_bStepMode = false;
    }
}

bool CDlgTestDaliEffects::WritePropertyD1(int function, int data1, int data2)
{
    return Connection().WritePropertyD1(static_cast<std::uint8_t>(function), static_cast<std::uint8_t>(data1),
                                        static_cast<std::uint8_t>(data2));
}

void CDlgTestDaliEffects::OnBnClickedBtnStart()
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", m_nEffectNr);
    if (m_nEffectNr == 0)
        return;
    WaitCursor wait;
    StopTimer();
    m_nStep = 0;
    m_nPass = 1;
    ShowStep();
    ShowPass();
    m_nPollCode = FnEffect;
    m_bStepMode = false;
    if (WritePropertyD1(FnEffect, m_nEffectNr, 1))
        StartTimer();
}

void CDlgTestDaliEffects::OnBnClickedBtnStop()
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", m_nEffectNr);
    if (m_nEffectNr == 0)
        return;
    WaitCursor wait;
    const bool ran = StopTimer();
    WritePropertyD1(FnEffect, m_nEffectNr, 0);
    if (ran) {
        ShowStep();
        ShowPass();
    } else {
        ShowSelectedEffect();
    }
}

void CDlgTestDaliEffects::OnBnClickedBtnStep()
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", m_nEffectNr);
    if (m_nEffectNr == 0)
        return;
    WaitCursor wait;
    StopTimer();
    if (!m_bStepMode) {
        m_nStep = 0;
        m_nPass = 0;
        ShowPass();
    }
    if (++m_nStep > m_nSteps)
        m_nStep = 1;
    ShowStep(QStringLiteral("..."));
    // The model keeps the last step in slot 16, and the gateway takes it by that number.
    const int stepNr = m_nStep == m_nSteps ? kStopStepNr : m_nStep;
    m_nPollCode = FnEffectStep;
    m_bStepMode = true;
    if (WritePropertyD1(FnEffectStep, m_nEffectNr, stepNr))
        StartTimer();
    else
        ShowStep();
}

void CDlgTestDaliEffects::OnCbnSelchangeComboboxAcceleration()
{
    WaitCursor wait;
    const bool ran = StopTimer();
    if (ComboboxChanged(IdAcceleration, 0, &m_nAcceleration)) {
        TRACE_MSG(TRACE_INFO, "Acceleration = %d", m_nAcceleration);
        WritePropertyD1(FnEffectSpeed, m_nEffectNr, m_nAcceleration);
    }
    // A choice that sends nothing leaves a running effect followed as before.
    if (ran)
        StartTimer();
}

void CDlgTestDaliEffects::OnCbnSelchangeComboboxEffect()
{
    StopEffect();
    m_nEffectNr = GetComboboxEnumValue(IdEffects);
    ShowSelectedEffect();
}

void CDlgTestDaliEffects::OnTimer()
{
    if (m_bTimerBusy)
        return;
    m_bTimerBusy = true;
    std::uint8_t reply[3]{};
    const QString none;
    if (!Connection().ReadPropertyD1(reply)) {
        StopTimer(&none);
        m_bTimerBusy = false;
        return;
    }
    switch (reply[0]) {
    case 0: {
        m_nPollCode = m_nPollCode != FnEffectQueryStep ? FnEffectQueryStep : FnEffectQueryPass;
        if (!WritePropertyD1(m_nPollCode, m_nEffectNr, 0))
            StopTimer();
        else if (m_bStepMode && m_nPollCode == FnEffectQueryPass)
            StopTimer(); // after one step the dialog reads the step and the pass once
        break;
    }
    case FnEffectQueryStep:
        m_nStep = reply[1];
        ShowStep();
        if (m_nStep >= m_nSteps && (m_nPass < 1 || m_nPasses < 1 || m_nPass >= m_nPasses))
            StopTimer();
        break;
    case FnEffectQueryPass:
        m_nPass = reply[1] * 256 + reply[2];
        ShowPass();
        if (m_nPasses > 0 && m_nPass >= m_nPasses && m_nStep >= m_nSteps)
            StopTimer();
        break;
    case kReplyNoAnswer:
        StopTimer(&none);
        ReportNoDaliConnection(Model());
        break;
    default:
        break;
    }
    m_bTimerBusy = false;
}
