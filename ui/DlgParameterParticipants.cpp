#include "ui/DlgParameterParticipants.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QTabBar>

namespace {

constexpr int kBlockCount = 6; // two blocks of groups, four of devices
constexpr int kSceneBlock = 6; // the step page's scenes
constexpr int kParticipants = 112;

// The no-entry sign beside an emergency lamp's row.
QPixmap NoEntryIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 0, 0), 1));
    p.setBrush(QColor(214, 30, 30));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 6.5, 9, 3));
    return pixmap;
}

} // namespace

CDlgParameterParticipants::CDlgParameterParticipants(int templateId, IMainWindow& main, bool withScenes,
                                                     bool withSave)
    : CParameterDialog(templateId, main), m_bWithScenes(withScenes), m_bWithSave(withSave)
{}

QTabBar* CDlgParameterParticipants::Tabs() const
{
    return Item<QTabBar>(kTabId);
}

void CDlgParameterParticipants::BuildTabs()
{
    TRACE_ENTRY();
    CEtsDbManagement& m = Model();
    const int groups = m.GetGroupCount(), singles = m.GetSingleCount();
    auto label = [&](ELabel text, int from, int to) {
        return QStringLiteral("%1 %2-%3").arg(QString::fromStdString(m.GetLabel(text))).arg(from).arg(to);
    };
    std::vector<std::pair<int, QString>> tabs;
    if (groups >= 1)
        tabs.emplace_back(0, m.GetAddressingMode() == 0 ? QString::fromStdString(m.GetLabel(LabelCentral))
                                                        : label(LabelGroups, 1, 16));
    if (groups == kGroupCount)
        tabs.emplace_back(1, label(LabelGroups, 17, 32));
    if (singles != 0)
        for (int b = 2; b < kBlockCount; ++b)
            tabs.emplace_back(b, label(LabelDevices, (b - 2) * kRows + 1, (b - 1) * kRows));
    if (m_bWithScenes)
        tabs.emplace_back(kSceneBlock, label(LabelScenes, 1, kSceneCount));

    m_blocks.clear();
    m_nBlock = tabs.empty() ? -1 : tabs.front().first;
    QTabBar* bar = Tabs();
    if (!bar) {
        for (const auto& tab : tabs)
            m_blocks.push_back(tab.first);
        return;
    }
    const QSignalBlocker quiet(bar);
    while (bar->count() > 0)
        bar->removeTab(0);
    for (const auto& [block, text] : tabs) {
        m_blocks.push_back(block);
        bar->addTab(text);
    }
    bar->setCurrentIndex(tabs.empty() ? -1 : 0);
    connect(bar, &QTabBar::currentChanged, this, &CDlgParameterParticipants::OnTcnSelchangeTabCtrlGroups,
            Qt::UniqueConnection);
}

void CDlgParameterParticipants::LoadGroupsAndSingles()
{
    CEtsDbManagement& m = Model();
    const bool central = m.GetAddressingMode() == 0;
    const bool lampsMayJoin = m.GetParameterLong(param::kEmergencyInScenesAllowed, 0) != 0;
    m_participants.assign(m_bWithScenes ? kParticipants : kGroupsAndSingles, Participant{});
    for (int n = 1; n <= kGroupsAndSingles; ++n) {
        Participant& p = Row(n - 1);
        p.exists = m.GroupExists(n);
        p.emergency = !lampsMayJoin && m.IsEmergencyGroup(n);
        if (central)
            p.name = n == 1 ? QString::fromStdString(m.GetLabel(LabelCentral)) : QString();
        else
            p.name = QString::fromStdString(m.GetGroupDisplayName(n));
        if (p.exists) {
            std::uint8_t base = 1, max = 173;
            m.GetGroupMinMaxLightnessValues(n, &base, &max);
            p.base = base;
            p.max = max;
        }
    }
}

int CDlgParameterParticipants::ParticipantOf(int row) const
{
    if (m_nBlock < 0 || row < 0 || row >= kRows)
        return -1;
    const int index = m_nBlock * kRows + row;
    return index < static_cast<int>(m_participants.size()) ? index : -1;
}

bool CDlgParameterParticipants::IsChecked(int idc) const
{
    auto* box = Item<QCheckBox>(idc);
    return box && box->isChecked();
}

void CDlgParameterParticipants::SetChecked(int idc, bool checked)
{
    if (auto* box = Item<QCheckBox>(idc))
        box->setChecked(checked);
}

void CDlgParameterParticipants::ShowSelectedGroups()
{
    TRACE_MSG(TRACE_INFO, "Block = %d", m_nBlock);
    if (m_nBlock < 0)
        return;
    setUpdatesEnabled(false);
    for (int row = 0; row < kRows; ++row) {
        const int index = ParticipantOf(row);
        const Participant* p = index >= 0 ? &m_participants[static_cast<std::size_t>(index)] : nullptr;
        // A participant that is not there has no row, unless it still takes part and can be taken out.
        const bool named = p && !p->name.isEmpty() && (p->exists || p->used);
        const bool member = named && index < kGroupsAndSingles;
        const bool emergency = member && p->emergency;
        const int used = kUsedIds[static_cast<std::size_t>(row)];
        const int value = kValueIds[static_cast<std::size_t>(row)];
        const int save = kSaveIds[static_cast<std::size_t>(row)];
        ShowControl(used, named);
        ShowControl(value, member && !emergency);
        ShowControl(save, m_bWithSave && member && !emergency);
        ShowControl(kELampId + row, emergency);
        ShowControl(kIconId + row, emergency);
        if (!named)
            continue;
        EnableControl(used, p->used || (p->exists && !p->emergency));
        SetDlgItemText(used, p->name);
        SetChecked(used, p->used);
        if (emergency) {
            SetDlgItemText(kELampId + row, m_strELamp);
            if (auto* icon = Item<QLabel>(kIconId + row))
                icon->setPixmap(NoEntryIcon());
            continue;
        }
        if (!member)
            continue;
        if (m_bWithSave) {
            EnableControl(save, p->exists && p->used);
            SetDlgItemText(save, m_strSave);
            SetChecked(save, p->save);
        }
        EnableControl(value, m_bWithSave ? p->exists && p->used : p->used);
        if (auto* combo = Item<QComboBox>(value))
            combo->clear();
        if (p->exists || p->used)
            InitLightnessCombobox(value, p->value, p->base, p->max);
    }
    setUpdatesEnabled(true);
    update();
}

void CDlgParameterParticipants::OnTcnSelchangeTabCtrlGroups(int tab)
{
    if (tab < 0 || tab >= static_cast<int>(m_blocks.size()))
        return;
    m_nBlock = m_blocks[static_cast<std::size_t>(tab)];
    ShowSelectedGroups();
}

void CDlgParameterParticipants::OnSelChange(int idc)
{
    for (int row = 0; row < kRows; ++row)
        if (kValueIds[static_cast<std::size_t>(row)] == idc)
            return ValueComboboxChanged(row);
    CParameterDialog::OnSelChange(idc);
}

void CDlgParameterParticipants::OnCommand(int id)
{
    for (int row = 0; row < kRows; ++row) {
        if (kUsedIds[static_cast<std::size_t>(row)] == id)
            return UsedCheckboxChanged(row);
        if (m_bWithSave && kSaveIds[static_cast<std::size_t>(row)] == id)
            return SaveCheckboxChanged(row);
    }
}
