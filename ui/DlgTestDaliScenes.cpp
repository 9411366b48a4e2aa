#include "ui/DlgTestDaliScenes.h"

#include "product/GatewayProtocol.h"
#include "trace/DebugTrace.h"
#include "ui/WaitCursor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>

using namespace protocol;

namespace {

enum : int
{
    IdScenes = 478,
    IdSceneLabel = 482,
    IdNumberLabel = 681,
    IdNumber = 680,
    IdCallScene = 479,
    IdSaveScene = 480,
    IdReadSceneValues = 481,
};

} // namespace

CDlgTestDaliScenes::CDlgTestDaliScenes(IMainWindow& main, CEtsLifeDeviceConnection& connection)
    : CDlgTestDali(240, main, connection, 806)
{}

bool CDlgTestDaliScenes::OnInitDialog()
{
    TRACE_ENTRY();
    if (!CDlgTestDali::OnInitDialog())
        return false;
    CEtsDbManagement& m = Model();
    SetDlgItemText(IdSceneLabel, Label(LabelScene));
    SetLabelText(IdCallScene, 829);
    SetLabelText(IdSaveScene, 830);
    SetLabelText(IdReadSceneValues, 815);
    const QString lightness = Description(867, "Lightness value");
    for (int row = 0; row < kRows; ++row)
        SetDlgItemText(kCaptionBase + row, lightness);

    if (auto* combo = Item<QComboBox>(IdScenes)) {
        combo->clear();
        for (int s = 1; s <= kSceneCount; ++s)
            if (m.SceneExists(s))
                AddComboboxItem(IdScenes, s, QString::fromStdString(m.GetSceneDisplayName(s)));
        combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
        m_nSceneNr = combo->count() > 0 ? combo->itemData(0).toInt() : 0;
    }

    const bool central = m.GetAddressingMode() == 0;
    auto* tabs = Item<QTabBar>(kTabId);
    m_tabFirstChannels.clear();
    auto addTab = [&](int first, const QString& text) {
        m_tabFirstChannels.push_back(first);
        if (tabs)
            tabs->addTab(text);
    };
    for (int first = 1; first <= kGroupCount && first <= m.GetGroupCount(); first += kRows)
        addTab(first,
               central && first == 1
                   ? Label(LabelCentral)
                   : QStringLiteral("%1 %2-%3").arg(Label(LabelGroups)).arg(first).arg(first + kRows - 1));
    if (m.GetSingleCount() != 0)
        for (int single = 1; single <= kSingleCount; single += kRows)
            addTab(kGroupCount + single,
                   QStringLiteral("%1 %2-%3").arg(Label(LabelDevices)).arg(single).arg(single + kRows - 1));
    if (tabs)
        connect(tabs, &QTabBar::currentChanged, this, &CDlgTestDaliScenes::OnTcnSelchangeTabCtrlGroups);

    for (int n = 1; n <= kChannels; ++n) {
        Channel& c = m_channels[static_cast<std::size_t>(n - 1)];
        if (central && n <= kGroupCount)
            c.name = n == 1 ? Label(LabelCentral) : QString();
        else
            c.name = QString::fromStdString(m.GetGroupDisplayName(n));
        c.used = m.GroupExists(n);
        if (c.used) {
            std::uint8_t minimum = 1, maximum = 173;
            m.GetGroupMinMaxLightnessValues(n, &minimum, &maximum);
            c.minimum = minimum;
            c.maximum = maximum;
        }
    }
    m_nTab = 0;
    ShowSelectedScene();
    return true;
}

int CDlgTestDaliScenes::ChannelOfRow(int row) const
{
    if (row < 0 || row >= kRows || m_nTab < 0 || m_nTab >= static_cast<int>(m_tabFirstChannels.size()))
        return 0;
    const int n = m_tabFirstChannels[static_cast<std::size_t>(m_nTab)] + row;
    return n <= kChannels ? n : 0;
}

void CDlgTestDaliScenes::ShowSelectedScene()
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", m_nSceneNr);
    CEtsDbManagement& m = Model();
    for (Channel& c : m_channels) {
        c.value = 0;
        c.inScene = false;
    }
    if (m_nSceneNr != 0) {
        SetDlgItemText(IdNumber, QString::number(m.GetKnxScene(m_nSceneNr)));
        // A channel takes part when it exists and the scene holds it.
        for (int n = 1; n <= kChannels; ++n) {
            Channel& c = m_channels[static_cast<std::size_t>(n - 1)];
            if (!c.used || !m.IsGroupInScene(m_nSceneNr, n))
                continue;
            c.inScene = true;
            c.value = m.GetParameterLong(GetSceneValueUniqueNr(m_nSceneNr, n), 0);
        }
    } else {
        SetDlgItemText(IdNumber, QString());
    }
    for (int id : {IdCallScene, IdSaveScene, IdReadSceneValues})
        EnableControl(id, m_nSceneNr != 0);
    ShowSelectedGroups();
}

void CDlgTestDaliScenes::ShowSelectedGroups()
{
    TRACE_MSG(TRACE_INFO, "Tab = %d", m_nTab);
    setUpdatesEnabled(false);
    for (int row = 0; row < kRows; ++row) {
        const int n = ChannelOfRow(row);
        const Channel* c = n ? &GetChannel(n) : nullptr;
        const bool shown = c && !c->name.isEmpty();
        for (int base : {kLabelBase, kCaptionBase, kValueBase}) {
            ShowControl(base + row, shown);
            if (shown)
                EnableControl(base + row, c->inScene);
        }
        if (!shown)
            continue;
        SetDlgItemText(kLabelBase + row, c->name);
        InitLightnessCombobox(kValueBase + row, c->value, c->minimum, c->maximum);
    }
    setUpdatesEnabled(true);
    update();
}

void CDlgTestDaliScenes::OnTcnSelchangeTabCtrlGroups(int tab)
{
    if (tab < 0 || tab >= static_cast<int>(m_tabFirstChannels.size()))
        return;
    m_nTab = tab;
    ShowSelectedGroups();
}

void CDlgTestDaliScenes::OnSelChange(int idc)
{
    if (idc == IdScenes)
        return OnCbnSelchangeComboboxScenes();
    if (idc >= kValueBase && idc < kValueBase + kRows)
        return ComboboxSceneValueChanged(idc - kValueBase);
}

void CDlgTestDaliScenes::OnCommand(int id)
{
    switch (id) {
    case IdCallScene:
        return OnBnClickedBtnCallScene();
    case IdSaveScene:
        OnBnClickedBtnSaveScene();
        return;
    case IdReadSceneValues:
        OnBnClickedBtnReadSceneValues();
        return;
    default:
        CDlgTestDali::OnCommand(id);
    }
}

void CDlgTestDaliScenes::OnCbnSelchangeComboboxScenes()
{
    m_nSceneNr = GetComboboxEnumValue(IdScenes);
    ShowSelectedScene();
}

void CDlgTestDaliScenes::ComboboxSceneValueChanged(int row)
{
    const int n = ChannelOfRow(row);
    if (n == 0)
        return;
    // Kept in the dialog only; saving the scene takes it into the project.
    m_channels[static_cast<std::size_t>(n - 1)].value = GetComboboxEnumValue(kValueBase + row);
}

void CDlgTestDaliScenes::OnBnClickedBtnCallScene()
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", m_nSceneNr);
    if (m_nSceneNr == 0)
        return;
    WaitCursor wait;
    Connection().WritePropertyD1(FnCallScene, static_cast<std::uint8_t>(m_nSceneNr), 0);
}

void CDlgTestDaliScenes::CollectChannels(CEtsLifeDeviceConnection::ChannelNames& names,
                                         CEtsLifeDeviceConnection::ChannelValues& values) const
{
    for (int n = 1; n <= kChannels; ++n) {
        const Channel& c = GetChannel(n);
        if (!c.inScene)
            continue;
        names[n] = c.name.toStdString();
        values[n] = static_cast<std::uint8_t>(c.value);
    }
}

std::string CDlgTestDaliScenes::InfoText(int buttonId) const
{
    return Model().GetSceneName(m_nSceneNr) + ": " + GetDlgItemText(buttonId).toStdString();
}

bool CDlgTestDaliScenes::OnBnClickedBtnSaveScene()
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", m_nSceneNr);
    if (m_nSceneNr == 0)
        return false;
    WaitCursor wait;
    CEtsLifeDeviceConnection::ChannelNames names;
    CEtsLifeDeviceConnection::ChannelValues values;
    CollectChannels(names, values);
    for (const auto& [n, value] : values)
        Model().SetParameterLong(GetSceneValueUniqueNr(m_nSceneNr, n), value);
    return Connection().WriteSceneValues(
        m_nSceneNr, names, values, Description(806, "Test DALI scenes").toStdString(), InfoText(IdSaveScene));
}

bool CDlgTestDaliScenes::OnBnClickedBtnReadSceneValues()
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", m_nSceneNr);
    if (m_nSceneNr == 0)
        return false;
    WaitCursor wait;
    CEtsLifeDeviceConnection::ChannelNames names;
    CEtsLifeDeviceConnection::ChannelValues values;
    CollectChannels(names, values);
    const bool read = Connection().ReadSceneValues(m_nSceneNr, names, values,
                                                   Description(806, "Test DALI scenes").toStdString(),
                                                   InfoText(IdReadSceneValues));
    // Channels the gateway gave no value for were taken out and keep what they showed.
    for (const auto& [n, value] : values)
        m_channels[static_cast<std::size_t>(n - 1)].value = value;
    ShowSelectedGroups();
    return read;
}
