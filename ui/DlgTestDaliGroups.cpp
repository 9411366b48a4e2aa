#include "ui/DlgTestDaliGroups.h"

#include "device/EtsLifeDeviceConnection.h"
#include "product/GatewayProtocol.h"
#include "trace/DebugTrace.h"
#include "ui/WaitCursor.h"

#include <QComboBox>
#include <QTabBar>

using namespace protocol;

namespace {

// Column titles of the two columns: control id and text, "Group" coming from the model's label.
constexpr int kTitleGroup[] = {1700, 1703};
constexpr int kTitleSwitch[] = {1701, 1704};
constexpr int kTitleDimming[] = {1702, 1705};

} // namespace

CDlgTestDaliGroups::CDlgTestDaliGroups(IMainWindow& main, CEtsLifeDeviceConnection& connection)
    : CDlgTestDali(239, main, connection, 805)
{}

bool CDlgTestDaliGroups::OnInitDialog()
{
    TRACE_ENTRY();
    if (!CDlgTestDali::OnInitDialog())
        return false;
    CEtsDbManagement& m = Model();
    const bool central = m.GetAddressingMode() == 0;
    for (int column = 0; column < 2; ++column) {
        SetDlgItemText(kTitleGroup[column], Label(LabelGroup));
        SetLabelText(kTitleSwitch[column], 875);
        SetLabelText(kTitleDimming[column], 852);
    }
    const QString on = Description(808, "on"), off = Description(802, "off"), set = Description(824, "set"),
                  read = Description(820, "read");
    m_strStart = Description(826, "start");
    m_strStop = Description(827, "stop");
    for (int row = 0; row < kRows; ++row) {
        SetDlgItemText(kOnBase + row, on);
        SetDlgItemText(kOffBase + row, off);
        SetDlgItemText(kSetBase + row, set);
        SetDlgItemText(kReadBase + row, read);
    }

    for (int g = 1; g <= kGroupCount; ++g) {
        Channel& c = m_channels[static_cast<std::size_t>(g - 1)];
        if (central)
            c.name = g == 1 ? Label(LabelCentral) : QString();
        else
            c.name = QString::fromStdString(m.GetGroupDisplayName(g));
        c.exists = m.GroupExists(g);
        if (c.exists) {
            std::uint8_t minimum = 1, maximum = 173;
            m.GetGroupMinMaxLightnessValues(g, &minimum, &maximum);
            c.minimum = minimum;
            c.maximum = maximum;
        }
        c.dimming = kDimUpStart;
    }

    m_tabFirstGroups.clear();
    auto* tabs = Item<QTabBar>(kTabId);
    for (int first = 1; first <= kGroupCount && first <= m.GetGroupCount(); first += kRows) {
        m_tabFirstGroups.push_back(first);
        if (tabs)
            tabs->addTab(
                central
                    ? Label(LabelCentral)
                    : QStringLiteral("%1 %2-%3").arg(Label(LabelGroups)).arg(first).arg(first + kRows - 1));
    }
    if (m_tabFirstGroups.empty())
        m_tabFirstGroups.push_back(1);
    if (tabs)
        connect(tabs, &QTabBar::currentChanged, this, &CDlgTestDaliGroups::OnTcnSelchangeTabCtrlGroups);
    m_nTab = 0;
    ShowSelectedGroups();
    return true;
}

int CDlgTestDaliGroups::GroupOfRow(int row) const
{
    if (row < 0 || row >= kRows || m_nTab < 0 || m_nTab >= static_cast<int>(m_tabFirstGroups.size()))
        return 0;
    const int g = m_tabFirstGroups[static_cast<std::size_t>(m_nTab)] + row;
    return g <= kGroupCount ? g : 0;
}

void CDlgTestDaliGroups::ShowStartStop(int row)
{
    const int g = GroupOfRow(row);
    if (g == 0)
        return;
    const int state = GetChannel(g).dimming;
    SetDlgItemText(kStartBase + row, state == kDimUpStop || state == kDimDownStop ? m_strStop : m_strStart);
}

void CDlgTestDaliGroups::ShowSelectedGroups()
{
    TRACE_MSG(TRACE_INFO, "Tab = %d", m_nTab);
    setUpdatesEnabled(false);
    for (int row = 0; row < kRows; ++row) {
        const int g = GroupOfRow(row);
        const Channel* c = g ? &GetChannel(g) : nullptr;
        const bool shown = c && !c->name.isEmpty();
        for (int base : {kLabelBase, kOnBase, kOffBase, kValueBase, kSetBase, kReadBase, kStartBase}) {
            ShowControl(base + row, shown);
            if (shown)
                EnableControl(base + row, c->exists);
        }
        if (!shown)
            continue;
        SetDlgItemText(kLabelBase + row, c->name);
        ShowStartStop(row);
        if (auto* combo = Item<QComboBox>(kValueBase + row))
            combo->clear();
        if (c->exists)
            InitLightnessCombobox(kValueBase + row, -1, c->minimum, c->maximum);
    }
    setUpdatesEnabled(true);
    update();
}

void CDlgTestDaliGroups::OnTcnSelchangeTabCtrlGroups(int tab)
{
    if (tab < 0 || tab >= static_cast<int>(m_tabFirstGroups.size()))
        return;
    m_nTab = tab;
    ShowSelectedGroups();
}

void CDlgTestDaliGroups::OnCommand(int id)
{
    const int row = id % 100;
    if (id >= kOnBase && id < kStartBase + kRows && row < kRows) {
        switch (id - row) {
        case kOnBase:
            return SwitchGroup(row, true);
        case kOffBase:
            return SwitchGroup(row, false);
        case kSetBase:
            return SetDimValueGroup(row);
        case kReadBase:
            return ReadDimValueGroup(row);
        case kStartBase:
            return StartStopGroup(row);
        default:
            break;
        }
    }
    CDlgTestDali::OnCommand(id);
}

void CDlgTestDaliGroups::SwitchGroup(int row, bool on)
{
    const int g = GroupOfRow(row);
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, On = %d", g, on);
    if (g == 0)
        return;
    WaitCursor wait;
    Connection().WritePropertyD1(FnSwitchGroup, static_cast<std::uint8_t>(g), on ? 1 : 0);
    // The next dimming goes the other way, whether the gateway took the switch or not.
    m_channels[static_cast<std::size_t>(g - 1)].dimming = on ? kDimDownStart : kDimUpStart;
    ShowStartStop(row);
}

void CDlgTestDaliGroups::SetDimValueGroup(int row)
{
    const int g = GroupOfRow(row);
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", g);
    auto* combo = Item<QComboBox>(kValueBase + row);
    // Nothing chosen yet: sending 0 would switch the group off, which nobody asked for.
    if (g == 0 || !combo || combo->currentIndex() < 0)
        return;
    WaitCursor wait;
    Connection().WritePropertyD1(FnSetGroupLevel, static_cast<std::uint8_t>(g),
                                 static_cast<std::uint8_t>(GetComboboxEnumValue(kValueBase + row)));
}

void CDlgTestDaliGroups::ReadDimValueGroup(int row)
{
    const int g = GroupOfRow(row);
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", g);
    if (g == 0)
        return;
    WaitCursor wait;
    std::uint8_t value = 0;
    const int result = Connection().CallPropertyD1(FnReadChannelLevel, static_cast<std::uint8_t>(g), value,
                                                   Description(805, "Test DALI groups").toStdString(),
                                                   GetChannel(g).name.toStdString(),
                                                   Description(831, "Read value").toStdString());
    if (result == 0)
        SelectComboboxLightnessValue(kValueBase + row, value);
    else if (result == 2)
        ReportNoDaliConnection(Model());
}

void CDlgTestDaliGroups::StartStopGroup(int row)
{
    const int g = GroupOfRow(row);
    if (g == 0)
        return;
    Channel& c = m_channels[static_cast<std::size_t>(g - 1)];
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, State = %d", g, c.dimming);
    WaitCursor wait;
    if (!Connection().WritePropertyD1(FnDimGroup, static_cast<std::uint8_t>(g),
                                      static_cast<std::uint8_t>(c.dimming)))
        return;
    switch (c.dimming) {
    case kDimUpStart:
        c.dimming = kDimUpStop;
        break;
    case kDimUpStop:
        c.dimming = kDimDownStart;
        break;
    case kDimDownStart:
        c.dimming = kDimDownStop;
        break;
    default:
        c.dimming = kDimUpStart;
        break;
    }
    ShowStartStop(row);
}
