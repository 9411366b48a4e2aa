#include "ui/DlgTestDaliEvgs.h"

#include "device/EtsLifeDeviceConnection.h"
#include "product/GatewayProtocol.h"
#include "trace/DebugTrace.h"
#include "ui/WaitCursor.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QTreeWidget>
#include <algorithm>

using namespace protocol;

namespace {

enum : int
{
    IdEvgsLabel = 316,
    IdEvgs = 309,
    IdSwitching = 317,
    IdSwitchOn = 311,
    IdSwitchOff = 310,
    IdBlinking = 318,
    IdBlinkPermanent = 312,
    IdBlinkCount = 314,
    IdBlinkCountSpin = 315,
    IdBlink = 313,
};

} // namespace

CDlgTestDaliEvgs::CDlgTestDaliEvgs(IMainWindow& main, CEtsLifeDeviceConnection& connection, EvgList evgs)
    : CDlgTestDali(238, main, connection, 706), m_evgs(std::move(evgs))
{
    std::sort(m_evgs.begin(), m_evgs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [n, text] : m_evgs)
        if (n >= 1 && n <= kGearCount)
            m_mask[static_cast<std::size_t>((n - 1) / 8)] |= static_cast<std::uint8_t>(1u << ((n - 1) % 8));
    m_timer.setInterval(kWatchdogMs);
    connect(&m_timer, &QTimer::timeout, this, &CDlgTestDaliEvgs::OnTimer);
}

CDlgTestDaliEvgs::~CDlgTestDaliEvgs()
{
    m_timer.stop();
}

bool CDlgTestDaliEvgs::OnInitDialog()
{
    TRACE_ENTRY();
    if (!CDlgTestDali::OnInitDialog())
        return false;
    for (auto [idc, number] : {std::pair{IdEvgsLabel, 862},
                               {IdSwitching, 863},
                               {IdSwitchOn, 808},
                               {IdSwitchOff, 802},
                               {IdBlinking, 861},
                               {IdBlinkPermanent, 804},
                               {IdBlink, 803}})
        SetLabelText(idc, number);
    if (auto* list = Item<QTreeWidget>(IdEvgs)) {
        list->clear();
        list->setColumnCount(1);
        list->setHeaderHidden(true);
        list->header()->resizeSection(0, 300);
        for (const auto& [n, text] : m_evgs) {
            auto* item = new QTreeWidgetItem(list, {text});
            item->setData(0, Qt::UserRole, n);
        }
    }
    if (auto* spin = Item<QSpinBox>(IdBlinkCountSpin)) {
        spin->setRange(kMinBlinkCount, kMaxBlinkCount);
        spin->setValue(kMinBlinkCount);
        connect(spin, &QSpinBox::valueChanged, this,
                [this](int value) { SetDlgItemText(IdBlinkCount, QString::number(value)); });
    }
    SetDlgItemText(IdBlinkCount, QString::number(kMinBlinkCount));
    if (auto* edit = Item<QLineEdit>(IdBlinkCount))
        connect(edit, &QLineEdit::textChanged, this, &CDlgTestDaliEvgs::OnEnChangeEditBlinkCount);
    m_bReady = true;
    return true;
}

void CDlgTestDaliEvgs::OnCommand(int id)
{
    switch (id) {
    case IdSwitchOn:
        return OnBnClickedBtnSwitchOn();
    case IdSwitchOff:
        return OnBnClickedBtnSwitchOff();
    case IdBlinkPermanent:
        return OnBnClickedBtnBlinkPermanent();
    case IdBlink:
        return OnBnClickedBtnBlink();
    default:
        CDlgTestDali::OnCommand(id);
    }
}

int CDlgTestDaliEvgs::BlinkCount() const
{
    bool ok = false;
    const int count = GetDlgItemText(IdBlinkCount).trimmed().toInt(&ok);
    return ok ? std::clamp(count, kMinBlinkCount, kMaxBlinkCount) : kMinBlinkCount;
}

void CDlgTestDaliEvgs::OnEnChangeEditBlinkCount()
{
    if (!m_bReady)
        return;
    const QString text = GetDlgItemText(IdBlinkCount).trimmed();
    bool ok = false;
    const long long typed = text.toLongLong(&ok);
    const int count = BlinkCount();
    // A number outside the range is corrected as it is typed; what is not a number counts as 0.
    if (!ok || typed != count)
        SetDlgItemText(IdBlinkCount, QString::number(count));
    if (auto* spin = Item<QSpinBox>(IdBlinkCountSpin)) {
        const QSignalBlocker quiet(spin);
        spin->setValue(count);
    }
}

void CDlgTestDaliEvgs::OnBnClickedBtnSwitchOn()
{
    TRACE_ENTRY();
    WaitCursor wait;
    Connection().TestSelectedEvgs(m_mask, TestSwitch, 1);
    // Even after a failed write: the gear may have taken it though its confirmation was lost.
    StartWatchdogRetriggering();
}

void CDlgTestDaliEvgs::OnBnClickedBtnSwitchOff()
{
    TRACE_ENTRY();
    WaitCursor wait;
    StopWatchdogRetriggering();
    Connection().TestSelectedEvgs(m_mask, TestSwitch, 0);
}

void CDlgTestDaliEvgs::OnBnClickedBtnBlinkPermanent()
{
    TRACE_ENTRY();
    WaitCursor wait;
    Connection().TestSelectedEvgs(m_mask, TestBlink, 0);
    StartWatchdogRetriggering();
}

void CDlgTestDaliEvgs::OnBnClickedBtnBlink()
{
    TRACE_ENTRY();
    WaitCursor wait;
    Connection().TestSelectedEvgs(m_mask, TestBlink, static_cast<std::uint8_t>(BlinkCount()));
    StartWatchdogRetriggering();
}

void CDlgTestDaliEvgs::StartWatchdogRetriggering()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void CDlgTestDaliEvgs::StopWatchdogRetriggering()
{
    m_timer.stop();
}

void CDlgTestDaliEvgs::OnTimer()
{
    if (m_bTimerBusy)
        return;
    m_bTimerBusy = true;
    if (!Connection().WritePropertyD1(FnWatchdog, 1, 0))
        StopWatchdogRetriggering();
    m_bTimerBusy = false;
}

void CDlgTestDaliEvgs::BeforeClose()
{
    if (m_timer.isActive())
        OnBnClickedBtnSwitchOff();
}
