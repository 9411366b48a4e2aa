#include "ui/DlgParameterCommissioning.h"

#include "device/EtsLifeDeviceConnection.h"
#include "model/EtsDbManagement.h"
#include "product/GatewayProtocol.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"
#include "ui/DlgEditName.h"
#include "ui/DlgTestDaliEvgs.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"
#include "ui/WaitCursor.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabBar>
#include <QTreeWidget>
#include <algorithm>

namespace {

constexpr UniqueNr kHideAssignedEvgs = 746;

constexpr int kListIds[] = {CDlgParameterCommissioning::IdFoundList, CDlgParameterCommissioning::IdMemberList,
                            CDlgParameterCommissioning::IdGroupList};

// Marks the page busy with the gateway while a command runs; the boxes of the procedures let timer
// ticks through, and the watchdog must not write its function in between.
class GatewayBusy
{
public:
    explicit GatewayBusy(bool& busy) : m_busy(busy), m_was(std::exchange(busy, true)) {}
    ~GatewayBusy() { m_busy = m_was; }
    GatewayBusy(const GatewayBusy&) = delete;
    GatewayBusy& operator=(const GatewayBusy&) = delete;

private:
    bool& m_busy;
    bool m_was;
};

int SortIndex(int idc)
{
    return idc == CDlgParameterCommissioning::IdFoundList    ? 0
           : idc == CDlgParameterCommissioning::IdMemberList ? 1
                                                             : 2;
}

int MemberOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

// A column compared as a number: text that does not start with a digit counts as 65.
int NumberOf(const QString& text)
{
    int value = 0, digits = 0;
    for (QChar c : text) {
        if (!c.isDigit())
            break;
        value = value * 10 + c.digitValue();
        ++digits;
    }
    return digits == 0 ? 65 : value;
}

} // namespace

CDlgParameterCommissioning::CDlgParameterCommissioning(IMainWindow& main,
                                                       CEtsLifeDeviceConnection* connection)
    : CParameterDialog(225, main), m_pConnection(connection), m_entries(Model())
{
    m_watchdog.setInterval(kWatchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, &CDlgParameterCommissioning::OnTimer);
}

CDlgParameterCommissioning::~CDlgParameterCommissioning()
{
    // Normally done when the page closes; a page destroyed without closing still stops its gear.
    LeavePage();
}

QTreeWidget* CDlgParameterCommissioning::List(int idc) const
{
    return Item<QTreeWidget>(idc);
}

int CDlgParameterCommissioning::ListId(const QTreeWidget* list) const
{
    for (int idc : kListIds)
        if (list && List(idc) == list)
            return idc;
    return 0;
}

QString CDlgParameterCommissioning::Text(UniqueNr number, const char* englishDefault) const
{
    QString text;
    if (!GetTextByNumber(number, text, englishDefault) || text.isEmpty())
        text = QString::fromUtf8(englishDefault);
    return text;
}

QString CDlgParameterCommissioning::Caption(UniqueNr number, const char* englishDefault) const
{
    QString text;
    GetDescriptionByNumber(number, text, englishDefault);
    return text;
}

QString CDlgParameterCommissioning::MemberLabel() const
{
    return QString::fromStdString(Model().GetLabel(LabelMember));
}

QString CDlgParameterCommissioning::NameWithMark(int memberNr) const
{
    const EvgEntry& e = m_entries[memberNr];
    QString name = QString::fromStdString(e.name);
    if (e.InSeveralGroups())
        name += QStringLiteral(" *");
    return name;
}

bool CDlgParameterCommissioning::DeviceTypesShown() const
{
    return Model().GetDaliDeviceTypeSetting() != 0 || Model().IsDaliEmergencyTypeInUse();
}

// ---- opening ---------------------------------------------------------------------------------------

bool CDlgParameterCommissioning::OnInitDialog()
{
    TRACE_ENTRY();
    CParameterDialog::OnInitDialog();
    m_entries.Load();

    for (auto [idc, number, text] : {std::tuple{656, 897, "Projected"},
                                     {274, 828, "Search devices"},
                                     {273, 879, "Available devices"},
                                     {659, 983, "Selected devices"},
                                     {660, 984, "All devices"},
                                     {282, 861, "Blinking"},
                                     {661, 808, "on"},
                                     {663, 808, "on"},
                                     {740, 808, "on"},
                                     {662, 802, "off"},
                                     {664, 802, "off"},
                                     {741, 802, "off"},
                                     {280, 826, "start"},
                                     {281, 827, "stop"},
                                     {283, 811, "Test devices..."},
                                     {284, 810, "Rename..."},
                                     {665, 833, "Reset"},
                                     {285, 821, "Delete assignments"},
                                     {512, 746, "Hide assigned devices"},
                                     {678, 747, "Compatibility mode"}})
        SetDlgItemText(idc, Caption(number, text));
    SetDlgItemText(554, QString::fromStdString(Model().GetLabel(LabelEmergencyLamps)));

    for (int idc : kListIds) {
        QTreeWidget* list = List(idc);
        if (!list)
            continue;
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setAllColumnsShowFocus(true);
        list->setUniformRowHeights(true);
        list->header()->setSectionsClickable(true);
        list->header()->setStretchLastSection(false);
        list->installEventFilter(this);
        list->viewport()->installEventFilter(this);
        connect(list, &QTreeWidget::itemSelectionChanged, this, [this] {
            if (!m_bBuilding && !IsTestModeActive())
                EnableDisableButtonsDependingOnListCtrls();
        });
        connect(list->header(), &QHeaderView::sectionClicked, this,
                [this, idc](int column) { OnColumnClick(idc, column); });
    }

    bool anyGroup = false, anyAssignment = false;
    for (int g = 1; g <= 32; ++g)
        anyGroup = anyGroup || Model().GroupExists(g);
    for (int m = 1; m <= CCommissioningEntries::kCount; ++m)
        anyAssignment = anyAssignment || m_entries[m].groups != 0;
    m_bGroupsMode = anyGroup && !anyAssignment;

    if (auto* tabs = Item<QTabBar>(IdTab)) {
        m_bBuilding = true;
        tabs->addTab(QString::fromStdString(Model().GetLabel(LabelDevices)));
        tabs->addTab(QString::fromStdString(Model().GetLabel(LabelGroups)));
        tabs->setCurrentIndex(m_bGroupsMode ? 1 : 0);
        m_bBuilding = false;
        connect(tabs, &QTabBar::currentChanged, this, [this](int tab) {
            if (!m_bBuilding)
                OnTcnSelchangeTabCtrlGroups(tab);
        });
    }
    ShowSinglesOrGroups();
    if (auto* box = Item<QCheckBox>(IdCompatibility))
        box->setChecked(Model().GetParameterLong(param::kCompatibilityMode, 0) != 0);
    InitComboboxUsedGroups();
    InitCheckBoxHideAssignedEvgs();
    InitListCtrls(true);

    for (int idc : {static_cast<int>(IdFoundList), static_cast<int>(IdSearch),
                    static_cast<int>(IdHideAssigned), static_cast<int>(IdCompatibility)})
        EnableControl(idc, Connected());
    m_nFocusList = Connected() ? IdFoundList : MemberListId();
    EnableDisableButtonsDependingOnListCtrls();

    // The lists stretch with the page's height; what lies below them moves with its bottom edge.
    m_initialSize = size();
    if (QTreeWidget* found = List(IdFoundList))
        m_nListsBottom = found->geometry().bottom();
    for (const ControlTemplate& c : Template()->controls)
        if (QWidget* w = GetDlgItem(c.id))
            m_layout.emplace_back(w, w->geometry());
    return true;
}

void CDlgParameterCommissioning::resizeEvent(QResizeEvent* event)
{
    CParameterDialog::resizeEvent(event);
    if (m_layout.empty())
        return;
    const int dy = height() - m_initialSize.height();
    for (const auto& [w, r] : m_layout) {
        if (ListId(qobject_cast<QTreeWidget*>(w)))
            w->setGeometry(r.x(), r.y(), r.width(), std::max(40, r.height() + dy));
        else if (r.top() > m_nListsBottom)
            w->setGeometry(r.translated(0, dy));
    }
}

void CDlgParameterCommissioning::ShowSinglesOrGroups()
{
    ShowControl(IdMemberList, !m_bGroupsMode);
    ShowControl(IdGroupCombo, m_bGroupsMode);
    ShowControl(IdGroupList, m_bGroupsMode);
}

void CDlgParameterCommissioning::InitComboboxUsedGroups()
{
    auto* combo = Item<QComboBox>(IdGroupCombo);
    if (!combo)
        return;
    combo->clear();
    for (int g = 1; g <= 32; ++g)
        if (Model().GroupExists(g))
            combo->addItem(QString::fromStdString(Model().GetGroupDisplayName(g)), g);
    m_nSelectedGroup = combo->count() > 0 ? combo->itemData(0).toInt() : 0;
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
    EnableControl(IdGroupCombo, combo->count() > 0);
    EnableControl(IdGroupList, combo->count() > 0);
}

void CDlgParameterCommissioning::InitCheckBoxHideAssignedEvgs()
{
    std::int32_t hide = Model().GetParameterLong(kHideAssignedEvgs, 1);
    // Gear in several groups are marked in the found list only while assigned gear are shown.
    if (CheckIfEvgsAssignedToMultiGroups() && hide != 0) {
        hide = 0;
        Model().SetParameterLong(kHideAssignedEvgs, 0);
    }
    if (auto* box = Item<QCheckBox>(IdHideAssigned))
        box->setChecked(hide != 0);
}

// ---- lists -----------------------------------------------------------------------------------------

std::vector<CDlgParameterCommissioning::Row> CDlgParameterCommissioning::BuildRows(int idc) const
{
    std::vector<Row> rows;
    const bool types = DeviceTypesShown();
    const auto* hideBox = Item<QCheckBox>(IdHideAssigned);
    const bool hide = hideBox && hideBox->isChecked();
    const QString assigned = Text(987, "assigned"), notAssigned = Text(988, "not assigned");
    if (idc == IdGroupList)
        rows.push_back({0, {QString(), Text(990, "")}});
    for (int n = 1; n <= CCommissioningEntries::kCount; ++n) {
        const EvgEntry& e = m_entries[n];
        Row row{n, {}};
        if (idc == IdFoundList) {
            if (e.randomAddress == 0 || (hide && e.assigned))
                continue;
            row.texts << (e.displayNr ? QString::number(e.displayNr) : QString())
                      << (e.assigned ? QString::number(n) : QStringLiteral("-"))
                      << (e.assigned ? NameWithMark(n) : MemberLabel())
                      << QString::fromStdString(Model().GetMemberTypeText(e.foundType, true));
            if (!hide)
                row.texts << (e.assigned ? assigned : notAssigned);
        } else {
            if (!e.IsProjected())
                continue;
            if (idc == IdGroupList && (m_nSelectedGroup == 0 || !((e.groups >> (m_nSelectedGroup - 1)) & 1u)))
                continue;
            row.texts << QString::number(n) << NameWithMark(n);
            if (types)
                row.texts << QString::fromStdString(Model().GetMemberTypeText(e.projectedType, true));
            row.texts << (e.assigned ? assigned : notAssigned);
            if (idc == IdMemberList)
                row.texts << (e.groups ? QString::number(std::countr_zero(e.groups) + 1)
                                       : QStringLiteral("-"));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void CDlgParameterCommissioning::SortRows(int idc, std::vector<Row>& rows) const
{
    const SortState& sort = m_sort[static_cast<std::size_t>(SortIndex(idc))];
    if (sort.column < 0)
        return;
    const int column = sort.column;
    const int groupColumn = DeviceTypesShown() ? 4 : 3;
    const bool numeric =
        column == 0 || (idc == IdFoundList && column == 1) || (idc == IdMemberList && column == groupColumn);
    const bool descending = sort.descending[static_cast<std::size_t>(column)];
    // The placeholder row stays first.
    auto first = rows.begin();
    if (first != rows.end() && first->member == 0)
        ++first;
    std::stable_sort(first, rows.end(), [&](const Row& a, const Row& b) {
        const QString x = a.texts.value(column), y = b.texts.value(column);
        const int order = numeric ? NumberOf(x) - NumberOf(y) : x.localeAwareCompare(y);
        return descending ? order > 0 : order < 0;
    });
}

void CDlgParameterCommissioning::InitListCtrl(int idc, bool columns)
{
    QTreeWidget* list = List(idc);
    if (!list)
        return;
    // Only the found list and the member list of the current mode are filled.
    if ((idc == IdMemberList && m_bGroupsMode) || (idc == IdGroupList && !m_bGroupsMode)) {
        m_bBuilding = true;
        list->clear();
        m_bBuilding = false;
        return;
    }
    const std::vector<int> selected = GetSelectedEvgNrs(idc);
    m_bBuilding = true;
    list->setUpdatesEnabled(false);
    if (columns) {
        const bool types = DeviceTypesShown();
        const auto* hideBox = Item<QCheckBox>(IdHideAssigned);
        const bool hide = hideBox && hideBox->isChecked();
        std::vector<std::pair<QString, int>> headers;
        if (idc == IdFoundList) {
            headers = {{Text(898, "No."), 32},
                       {Text(995, "Addr."), 40},
                       {Text(899, "Name"), 64},
                       {Text(980, "Type"), hide ? 128 : 64}};
            if (!hide)
                headers.emplace_back(Text(981, "Status"), 104);
        } else {
            headers = {{Text(995, "Addr."), 40}, {Text(899, "Name"), types ? 96 : 160}};
            if (types)
                headers.emplace_back(Text(980, "Type"), 64);
            headers.emplace_back(Text(981, "Status"), idc == IdMemberList ? 64 : 104);
            if (idc == IdMemberList)
                headers.emplace_back(Text(982, "Group"), 40);
        }
        QStringList labels;
        for (const auto& h : headers)
            labels << h.first;
        list->clear();
        list->setColumnCount(static_cast<int>(headers.size()));
        list->setHeaderLabels(labels);
        for (int i = 0; i < static_cast<int>(headers.size()); ++i)
            list->setColumnWidth(i, headers[static_cast<std::size_t>(i)].second);
    }
    std::vector<Row> rows = BuildRows(idc);
    SortRows(idc, rows);
    list->clear();
    for (const Row& row : rows) {
        auto* item = new QTreeWidgetItem(list, row.texts);
        item->setData(0, Qt::UserRole, row.member);
        if (row.member == 0)
            for (int c = 0; c < list->columnCount(); ++c)
                item->setBackground(c, QColor(0xC0, 0xC0, 0xC0));
        if (std::find(selected.begin(), selected.end(), row.member) != selected.end() && row.member != 0)
            item->setSelected(true);
    }
    list->setUpdatesEnabled(true);
    m_bBuilding = false;
}

void CDlgParameterCommissioning::InitListCtrls(bool columns)
{
    for (int idc : kListIds)
        InitListCtrl(idc, columns);
}

void CDlgParameterCommissioning::OnColumnClick(int idc, int column)
{
    if (column < 0 || column >= 8)
        return;
    SortState& sort = m_sort[static_cast<std::size_t>(SortIndex(idc))];
    auto& descending = sort.descending[static_cast<std::size_t>(column)];
    if (sort.column == column)
        descending = !descending;
    else
        descending = column == 0 && !sort.everSorted; // the rows come in ascending order already
    sort.column = column;
    sort.everSorted = true;
    InitListCtrl(idc, false);
}

std::vector<int> CDlgParameterCommissioning::GetSelectedEvgNrs(int idc) const
{
    std::vector<int> members;
    if (QTreeWidget* list = List(idc))
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (QTreeWidgetItem* item = list->topLevelItem(i); item->isSelected() && MemberOf(item) != 0)
                members.push_back(MemberOf(item));
    return members;
}

void CDlgParameterCommissioning::SetSelectedEvgNrs(int idc, const std::set<int>& members)
{
    QTreeWidget* list = List(idc);
    if (!list)
        return;
    m_bBuilding = true;
    list->clearSelection();
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (members.count(MemberOf(item)) && MemberOf(item) != 0) {
            item->setSelected(true);
            if (!first)
                first = item;
        }
    }
    if (first)
        list->scrollToItem(first);
    m_bBuilding = false;
    if (!IsTestModeActive())
        EnableDisableButtonsDependingOnListCtrls();
}

void CDlgParameterCommissioning::EnableDisableButtonsDependingOnListCtrls()
{
    const bool connected = Connected();
    const bool inFound = m_nFocusList == IdFoundList;
    const std::vector<int> selected = GetSelectedEvgNrs(m_nFocusList);
    bool anyGear = false, anyEmergency = false;
    for (int m : selected) {
        const EvgEntry& e = m_entries[m];
        if (!inFound && !e.assigned)
            continue;
        anyGear = true;
        anyEmergency = anyEmergency || (e.foundType & 0x7F) == 1;
    }
    EnableControl(IdRename, selected.size() == 1 && !inFound);
    for (int idc : {IdOn, IdOff, IdBlinkStart, IdTest})
        EnableControl(idc, connected && anyGear);
    EnableControl(IdLampsOn, connected && anyEmergency);
    EnableControl(IdBlinkStop, false);
    EnableControl(IdLampsOff, false);
    EnableControl(IdRemove, connected && RemoveEvgsFromGroup(false, false));
    EnableControl(IdAdd, connected && AddEvgsToGroup(false));
    for (int idc : {IdAllOn, IdAllOff, IdReset, IdDeleteAssignments})
        EnableControl(idc, connected);
}

void CDlgParameterCommissioning::OnNMSetfocusListCtrl(int idc)
{
    if (IsTestModeActive() || idc == m_nFocusList)
        return;
    QTreeWidget* list = List(idc);
    if (list && list->selectedItems().isEmpty() && list->topLevelItemCount() > 0) {
        m_bBuilding = true;
        list->topLevelItem(0)->setSelected(true);
        list->setCurrentItem(list->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
        m_bBuilding = false;
    }
    m_nFocusList = idc;
    EnableDisableButtonsDependingOnListCtrls();
}

int CDlgParameterCommissioning::ExistingSingles() const
{
    int count = 0;
    for (int m = 1; m <= CCommissioningEntries::kCount; ++m)
        count += m_entries[m].single ? 1 : 0;
    return count;
}

void CDlgParameterCommissioning::UpdateTree()
{
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateMembers(0, 0);
}

void CDlgParameterCommissioning::RefreshProjected(int memberNr)
{
    EvgEntry& e = m_entries[memberNr];
    e.name = Model().GetMemberName(memberNr);
    e.groups = Model().GetMemberGroupAssignment(memberNr);
    e.single = Model().SingleExists(memberNr);
    e.projectedType = Model().GetMemberType(memberNr);
    e.assigned = Model().IsMemberAssigned(memberNr);
}

// ---- assignments -----------------------------------------------------------------------------------

bool CDlgParameterCommissioning::AddEvgsToGroup(bool execute)
{
    const int memberIdc = MemberListId();
    const std::vector<int> members = GetSelectedEvgNrs(memberIdc);
    const std::vector<int> found = GetSelectedEvgNrs(IdFoundList);

    // One found gear onto one projected member.
    if (members.size() == 1 && !m_entries[members[0]].assigned) {
        if (found.size() != 1 || m_entries[found[0]].assigned)
            return false;
        const int m = members[0], t = found[0];
        if (!Model().IsMemberTypeCompatible(m_entries[m].projectedType, m_entries[t].foundType))
            return false;
        if (!execute)
            return true;
        TRACE_MSG(TRACE_INFO, "Found = %d, MemberNr = %d", t, m);
        m_entries.Assign(t, m);
        UpdateTree();
        InitListCtrls();
        SetSelectedEvgNrs(IdFoundList, {});
        if (QTreeWidget* list = List(IdFoundList))
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (MemberOf(list->topLevelItem(i)) == m)
                    list->scrollToItem(list->topLevelItem(i));
        m_nFocusList = memberIdc;
        FocusControl(memberIdc);
        EnableDisableButtonsDependingOnListCtrls();
        return true;
    }

    // Found gear into the selected group.
    const int group = m_nSelectedGroup;
    if (!m_bGroupsMode || group == 0 || !members.empty() || found.empty())
        return false;
    // Entries swap while gear are assigned: each gear is followed by its gateway number.
    std::vector<int> gatewayNrs;
    for (int t : found)
        gatewayNrs.push_back(m_entries[t].gatewayNr);
    bool warning = false, done = false;
    std::set<int> moved;
    for (int gatewayNr : gatewayNrs) {
        const int t = m_entries.EntryOfGatewayNr(gatewayNr);
        if (t == 0)
            continue;
        const EvgEntry& gear = m_entries[t];
        int type = gear.foundType;
        if (!Model().GetMemberTypes().count(type))
            type = type == 0x81 ? 1 : 255;
        int m = t;
        if (gear.assigned) {
            if (gear.single || ((gear.groups >> (group - 1)) & 1u))
                continue;
            warning = warning || gear.groups != 0;
        } else {
            m = Model().GetNextFreeMemberNr();
            if (m == 0)
                break;
        }
        if (!Model().CanAddGroupMember(group))
            break;
        if (!execute)
            return true;
        const bool newMember = !gear.assigned;
        Model().AddGroupMember(group, m);
        if (newMember) {
            // A member taken for found gear is named and typed after it; an assigned one keeps its own.
            m_entries[m].name = MemberLabel().toStdString();
            m_entries[m].projectedType = static_cast<std::uint8_t>(type);
            Model().SetMemberName(m, m_entries[m].name);
            Model().SetMemberType(m, type);
        }
        m_entries.Assign(t, m);
        moved.insert(m);
        done = true;
    }
    if (!execute || !done)
        return false;
    if (warning)
        UiServices::Prompt().Ask(Text(705, "Commissioning").toStdString(),
                                 (Text(913, "Devices assigned to different groups") + "\n" +
                                  Text(914, "Status feedback inconclusive"))
                                     .toStdString(),
                                 PromptButtons::Ok, PromptIcon::Exclamation);
    UpdateTree();
    InitListCtrls();
    SetSelectedEvgNrs(IdGroupList, {});
    SetSelectedEvgNrs(IdFoundList, moved);
    m_nFocusList = IdGroupList;
    FocusControl(IdGroupList);
    EnableDisableButtonsDependingOnListCtrls();
    return true;
}

bool CDlgParameterCommissioning::ConfirmRemoving(const std::vector<int>& members)
{
    CEtsDbManagement& model = Model();
    bool assigned = false, scenes = false, groupsLost = false;
    std::vector<UniqueNr> singles;
    int remaining = ExistingSingles();
    for (int m : members) {
        const EvgEntry& e = m_entries[m];
        assigned = assigned || e.assigned;
        if (m_bGroupsMode)
            continue;
        if (e.single) {
            if (remaining > 1) {
                --remaining;
                singles.push_back(GetGroupUniqueNr(param::kGroupExists, m + 32));
                scenes = scenes || model.IsGroupUsedInScenesOrEffects(m + 32);
            }
        } else if (e.groups != 0) {
            groupsLost = true;
        }
    }
    // The questions the tree asks before it deletes these, each once for the whole selection.
    if (scenes && !model.ConfirmDeletingSceneAssignments())
        return false;
    if (groupsLost && !model.ConfirmDeletingGroupsOrDevices())
        return false;
    if (assigned && !model.ConfirmDeletingAssignments())
        return false;
    return singles.empty() || model.CanChangeValueAfterCheckObjectAssociations(singles);
}

bool CDlgParameterCommissioning::RemoveEvgsFromGroup(bool execute, bool deleteKey)
{
    const std::vector<int> selected = GetSelectedEvgNrs(MemberListId());
    std::set<int> holders;
    if (!deleteKey) {
        std::vector<int> assigned;
        for (int m : selected)
            if (m_entries[m].assigned)
                assigned.push_back(m);
        if (assigned.empty() || !execute)
            return !assigned.empty();
        for (int m : assigned)
            holders.insert(m_entries.Unassign(m));
    } else {
        if (selected.empty() || (m_bGroupsMode && m_nSelectedGroup == 0))
            return false;
        if (!execute)
            return true;
        if (!ConfirmRemoving(selected))
            return false;
        int singles = ExistingSingles();
        for (int m : selected) {
            EvgEntry& e = m_entries[m];
            if (m_bGroupsMode) {
                const std::uint32_t before = e.groups;
                if (e.assigned && std::popcount(e.groups) <= 1)
                    holders.insert(m_entries.Unassign(m));
                Model().RemoveGroupMember(m_nSelectedGroup, m);
                RefreshProjected(m);
                // Gear that stays assigned in other groups gets its new mask downloaded.
                if (e.assigned && e.groups != before)
                    e.groupsChanged = true;
            } else {
                if (e.assigned)
                    holders.insert(m_entries.Unassign(m));
                if (e.single) {
                    if (singles > 1) {
                        Model().DeleteGroup(m + 32);
                        --singles;
                    }
                } else if (e.groups != 0) {
                    Model().ResetMemberParameters(m, false);
                }
                RefreshProjected(m);
            }
        }
        UpdateTree();
    }
    InitListCtrls();
    SetSelectedEvgNrs(MemberListId(), {});
    SetSelectedEvgNrs(IdFoundList, holders);
    m_nFocusList = IdFoundList;
    FocusControl(IdFoundList);
    EnableDisableButtonsDependingOnListCtrls();
    return true;
}

void CDlgParameterCommissioning::OnCommandDelete()
{
    TRACE_ENTRY();
    if (IsTestModeActive())
        return;
    if (m_nFocusList == IdFoundList) {
        if (Connected())
            AddEvgsToGroup(true);
    } else {
        RemoveEvgsFromGroup(true, true);
    }
}

bool CDlgParameterCommissioning::DragDrop(QTreeWidget* source, const QPoint& globalPos, bool execute)
{
    const int from = ListId(source);
    const int to = from == IdFoundList ? MemberListId() : IdFoundList;
    QTreeWidget* target = List(to);
    if (!from || !target || !target->isVisible() || !target->isEnabled())
        return false;
    const QPoint at = target->viewport()->mapFromGlobal(globalPos);
    if (!target->viewport()->rect().contains(at))
        return false;
    TRACE_MSG(TRACE_INFO, "Dest = $%lX, Parent = $%lX, Exec = %d", static_cast<unsigned long>(to),
              static_cast<unsigned long>(from), execute ? 1 : 0);
    if (from != IdFoundList)
        return Connected() && RemoveEvgsFromGroup(execute, false);
    // The row under the mouse becomes the only selected one of the member list.
    m_bBuilding = true;
    target->clearSelection();
    if (QTreeWidgetItem* item = target->itemAt(at))
        item->setSelected(true);
    m_bBuilding = false;
    return Connected() && AddEvgsToGroup(execute);
}

bool CDlgParameterCommissioning::eventFilter(QObject* watched, QEvent* event)
{
    for (int idc : kListIds) {
        QTreeWidget* list = List(idc);
        if (!list)
            continue;
        if (watched == list) {
            if (event->type() == QEvent::FocusIn) {
                OnNMSetfocusListCtrl(idc);
            } else if (event->type() == QEvent::KeyPress) {
                const auto* key = static_cast<QKeyEvent*>(event);
                if (key->key() == Qt::Key_Delete) {
                    m_nFocusList = idc;
                    OnCommandDelete();
                    return true;
                }
                if (key->key() == Qt::Key_F2) {
                    m_nFocusList = idc;
                    OnBnClickedBtnRenameEvg();
                    return true;
                }
            }
        } else if (watched == list->viewport()) {
            const auto type = event->type();
            if (type == QEvent::MouseButtonPress) {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                QTreeWidgetItem* item = list->itemAt(mouse->position().toPoint());
                if (mouse->button() == Qt::LeftButton && MemberOf(item)) {
                    m_pDragSource = list;
                    // A press on one of several selected rows keeps them all for the drag; the
                    // release selects that row alone if nothing was dropped.
                    if (item->isSelected() && mouse->modifiers() == Qt::NoModifier &&
                        list->selectedItems().size() > 1) {
                        m_pPressedItem = item;
                        list->setFocus(Qt::MouseFocusReason);
                        return true;
                    }
                }
            } else if (type == QEvent::MouseMove && m_pDragSource) {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->buttons() & Qt::LeftButton)
                    m_pDragSource->viewport()->setCursor(
                        DragDrop(m_pDragSource, mouse->globalPosition().toPoint(), false)
                            ? Qt::BusyCursor
                            : Qt::ForbiddenCursor);
            } else if (type == QEvent::MouseButtonRelease && m_pDragSource) {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                QTreeWidget* source = std::exchange(m_pDragSource, nullptr);
                QTreeWidgetItem* pressed = std::exchange(m_pPressedItem, nullptr);
                source->viewport()->unsetCursor();
                if (!DragDrop(source, mouse->globalPosition().toPoint(), true) && pressed &&
                    watched == source->viewport()) {
                    source->clearSelection();
                    pressed->setSelected(true);
                    source->setCurrentItem(pressed, 0, QItemSelectionModel::NoUpdate);
                }
                // The release belongs to the drag, not to the list it ends over.
                if (watched != source->viewport())
                    return true;
            }
        }
    }
    return CParameterDialog::eventFilter(watched, event);
}

void CDlgParameterCommissioning::OnBnClickedBtnRenameEvg()
{
    TRACE_ENTRY();
    if (m_nFocusList == IdFoundList || IsTestModeActive())
        return;
    QTreeWidget* list = List(m_nFocusList);
    std::vector<int> selected = GetSelectedEvgNrs(m_nFocusList);
    if (selected.empty() && list && MemberOf(list->currentItem()))
        selected.push_back(MemberOf(list->currentItem()));
    if (selected.size() != 1)
        return;
    const int m = selected[0];
    QString name = QString::fromStdString(m_entries[m].name);
    CDlgEditName dialog(Main().GetWindow(), name);
    if (dialog.Run() != QDialog::Accepted)
        return;
    m_entries[m].name = name.toStdString();
    Model().SetMemberName(m, m_entries[m].name);
    if (CPluginTreeCtrlView* tree = Tree())
        tree->UpdateMemberName(m, name);
    InitListCtrls();
    EnableDisableButtonsDependingOnListCtrls();
}

void CDlgParameterCommissioning::OnTcnSelchangeTabCtrlGroups(int tab)
{
    TRACE_ENTRY();
    const std::vector<int> before = GetSelectedEvgNrs(MemberListId());
    const bool foundFocused = m_nFocusList == IdFoundList;
    m_bGroupsMode = tab == 1;
    ShowSinglesOrGroups();
    InitListCtrl(IdMemberList, true);
    InitListCtrl(IdGroupList, true);
    SetSelectedEvgNrs(MemberListId(), std::set<int>(before.begin(), before.end()));
    if (!foundFocused)
        m_nFocusList = MemberListId();
    EnableDisableButtonsDependingOnListCtrls();
}

void CDlgParameterCommissioning::OnCbnSelchangeComboboxGroupCommissioning()
{
    if (auto* combo = Item<QComboBox>(IdGroupCombo))
        m_nSelectedGroup = combo->currentIndex() >= 0 ? combo->currentData().toInt() : 0;
    InitListCtrl(IdGroupList, false);
    EnableDisableButtonsDependingOnListCtrls();
}

void CDlgParameterCommissioning::OnSelChange(int idc)
{
    if (idc == IdGroupCombo)
        OnCbnSelchangeComboboxGroupCommissioning();
    else
        CParameterDialog::OnSelChange(idc);
}

void CDlgParameterCommissioning::OnBnClickedCheckHideAssignedEvgs()
{
    const auto* box = Item<QCheckBox>(IdHideAssigned);
    Model().SetParameterLong(kHideAssignedEvgs, box && box->isChecked() ? 1 : 0);
    if (box && !box->isChecked())
        m_entries.NumberAssignedGear();
    InitListCtrl(IdFoundList, true);
    EnableDisableButtonsDependingOnListCtrls();
}

void CDlgParameterCommissioning::OnBnClickedCheckCompatibilityMode()
{
    const auto* box = Item<QCheckBox>(IdCompatibility);
    Model().SetParameterLong(param::kCompatibilityMode, box && box->isChecked() ? 1 : 0);
}

void CDlgParameterCommissioning::OnCommand(int id)
{
    switch (id) {
    case IdSearch:
        OnBnClickedBtnSearchDaliEvgs();
        break;
    case IdRename:
        OnBnClickedBtnRenameEvg();
        break;
    case IdAdd:
        OnBnClickedBtnAddEvgsToGroup();
        break;
    case IdRemove:
        OnBnClickedBtnRemoveEvgsFromGroup();
        break;
    case IdDeleteAssignments:
        OnBnClickedBtnDeleteAllEvgGroupAssignments();
        break;
    case IdReset:
        OnBnClickedBtnResetAllEvgs();
        break;
    case IdAllOn:
        OnBnClickedBtnAllEvgsOn();
        break;
    case IdAllOff:
        OnBnClickedBtnAllEvgsOff();
        break;
    case IdOn:
        OnBnClickedBtnEvgsOn();
        break;
    case IdOff:
        OnBnClickedBtnEvgsOff();
        break;
    case IdBlinkStart:
        OnBnClickedBtnBlinkEvgsStart();
        break;
    case IdBlinkStop:
        OnBnClickedBtnBlinkEvgsStop();
        break;
    case IdLampsOn:
        OnBnClickedBtnEmergencyLampsOn();
        break;
    case IdLampsOff:
        OnBnClickedBtnEmergencyLampsOff();
        break;
    case IdTest:
        OnBnClickedBtnTestSelectedEvgs();
        break;
    case IdHideAssigned:
        OnBnClickedCheckHideAssignedEvgs();
        break;
    case IdCompatibility:
        OnBnClickedCheckCompatibilityMode();
        break;
    default:
        break;
    }
}

// ---- search ----------------------------------------------------------------------------------------

void CDlgParameterCommissioning::OnBnClickedBtnSearchDaliEvgs()
{
    TRACE_ENTRY();
    if (!Connected() || IsTestModeActive())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    const auto* compatibility = Item<QCheckBox>(IdCompatibility);
    const CDaliSearchResult result = m_pConnection->SearchDaliEvgs(
        Caption(828, "Search devices").toStdString(), compatibility && compatibility->isChecked());
    // A cancelled or failed search has reported itself; the members keep what they had.
    if (!result.Succeeded()) {
        TRACE_MSG(TRACE_INFO, "Search not applied: %s", result.reason.c_str());
        return;
    }
    const auto* hide = Item<QCheckBox>(IdHideAssigned);
    m_entries.ApplySearch(result.addresses, result.types, hide && hide->isChecked());
    InitListCtrls();
    EnableDisableButtonsDependingOnListCtrls();
}

// ---- gateway commands ------------------------------------------------------------------------------

std::array<std::uint8_t, 8> CDlgParameterCommissioning::GetSelectedEvgNrsForTest(bool emergencyOnly,
                                                                                 int* count) const
{
    std::array<std::uint8_t, 8> mask{};
    int n = 0;
    for (int m : GetSelectedEvgNrs(m_nFocusList)) {
        const EvgEntry& e = m_entries[m];
        if (m_nFocusList != IdFoundList && !e.assigned)
            continue;
        if (emergencyOnly && (e.foundType & 0x7F) != 1)
            continue;
        if (e.gatewayNr < 1 || e.gatewayNr > CCommissioningEntries::kCount)
            continue;
        mask[static_cast<std::size_t>((e.gatewayNr - 1) / 8)] |=
            static_cast<std::uint8_t>(1u << ((e.gatewayNr - 1) % 8));
        ++n;
    }
    if (count)
        *count = n;
    return mask;
}

void CDlgParameterCommissioning::SwitchAll(bool on)
{
    TRACE_MSG(TRACE_INFO, "On = %d", on ? 1 : 0);
    if (!Connected())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    if (m_pConnection->WritePropertyD1(protocol::FnSwitch, protocol::kAllGear, on ? 1 : 0))
        FocusControl(on ? IdAllOff : IdAllOn);
}

void CDlgParameterCommissioning::OnBnClickedBtnEvgsOn()
{
    TRACE_ENTRY();
    if (!Connected())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    if (m_pConnection->TestSelectedEvgs(GetSelectedEvgNrsForTest(false), protocol::TestSwitch, 1)) {
        StartWatchdogRetriggering();
        FocusControl(IdOff);
    }
}

void CDlgParameterCommissioning::OnBnClickedBtnEvgsOff()
{
    TRACE_ENTRY();
    if (!Connected())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    StopWatchdogRetriggering();
    if (m_pConnection->TestSelectedEvgs(GetSelectedEvgNrsForTest(false), protocol::TestSwitch, 0))
        FocusControl(IdOn);
}

void CDlgParameterCommissioning::StartTest(TestMode mode)
{
    TRACE_MSG(TRACE_INFO, "Mode = %d", static_cast<int>(mode));
    if (!Connected() || IsTestModeActive())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    const bool blink = mode == TestMode::Blink;
    const auto mask = GetSelectedEvgNrsForTest(!blink);
    if (!m_pConnection->TestSelectedEvgs(mask, blink ? protocol::TestBlink : protocol::TestEmergencyLamps,
                                         blink ? 0 : 1))
        return;
    StartWatchdogRetriggering();
    SetBlinkInfoToSelectedEvgs(true);
    EnableDisableCtrlForTestmode(false, blink ? IdBlinkStop : IdLampsOff);
    m_eTest = mode;
    m_testMask = mask;
}

void CDlgParameterCommissioning::StopTest(TestMode mode)
{
    TRACE_MSG(TRACE_INFO, "Mode = %d", static_cast<int>(mode));
    if (m_eTest != mode)
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    StopWatchdogRetriggering();
    // Each test ends with its own command (switching off ends blinking, not emergency lamps), sent
    // to the gear it was started for.
    const bool blink = mode == TestMode::Blink;
    if (Connected())
        m_pConnection->TestSelectedEvgs(m_testMask,
                                        blink ? protocol::TestSwitch : protocol::TestEmergencyLamps, 0);
    m_eTest = TestMode::None;
    EnableDisableCtrlForTestmode(true, blink ? IdBlinkStart : IdLampsOn);
    SetBlinkInfoToSelectedEvgs(false);
}

void CDlgParameterCommissioning::SetBlinkInfoToSelectedEvgs(bool on)
{
    QTreeWidget* list = List(m_nFocusList);
    if (!list)
        return;
    const bool inFound = m_nFocusList == IdFoundList;
    const QString suffix = QStringLiteral(" --> %1").arg(Text(895, "blinking"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const int m = MemberOf(item);
        if (!item->isSelected() || m == 0 || (!inFound && !m_entries[m].assigned))
            continue;
        const EvgEntry& e = m_entries[m];
        const QString name = inFound && !e.assigned ? MemberLabel() : QString::fromStdString(e.name);
        item->setText(inFound ? 2 : 1, on ? name + suffix : name + (e.InSeveralGroups() ? " *" : ""));
    }
}

void CDlgParameterCommissioning::EnableDisableCtrlForTestmode(bool enable, int focusIdc)
{
    for (int idc : {static_cast<int>(IdTab), static_cast<int>(IdFoundList), static_cast<int>(IdSearch),
                    static_cast<int>(IdAllOn), static_cast<int>(IdAllOff), static_cast<int>(IdReset),
                    static_cast<int>(IdDeleteAssignments), static_cast<int>(IdHideAssigned),
                    static_cast<int>(IdCompatibility)})
        EnableControl(idc, enable);
    const auto* combo = Item<QComboBox>(IdGroupCombo);
    const bool groups = combo && combo->count() > 0;
    if (m_bGroupsMode) {
        EnableControl(IdGroupCombo, enable && groups);
        EnableControl(IdGroupList, enable && groups);
    } else {
        EnableControl(IdMemberList, enable);
    }
    if (enable) {
        EnableDisableButtonsDependingOnListCtrls();
    } else {
        for (int idc : {IdRename, IdAdd, IdRemove, IdTest, IdOn, IdOff, IdBlinkStart, IdBlinkStop, IdLampsOn,
                        IdLampsOff})
            EnableControl(idc, false);
    }
    EnableAndFocusControl(focusIdc);
}

void CDlgParameterCommissioning::StartWatchdogRetriggering()
{
    if (!m_watchdog.isActive())
        m_watchdog.start();
}

void CDlgParameterCommissioning::StopWatchdogRetriggering()
{
    m_watchdog.stop();
}

void CDlgParameterCommissioning::OnTimer()
{
    // The gateway takes one function at a time: a tick during another command waits for the next.
    if (m_bGatewayBusy || !Connected())
        return;
    const GatewayBusy busy(m_bGatewayBusy);
    if (!m_pConnection->WritePropertyD1(protocol::FnWatchdog, 1, 0))
        StopWatchdogRetriggering();
}

void CDlgParameterCommissioning::OnBnClickedBtnTestSelectedEvgs()
{
    TRACE_ENTRY();
    if (!Connected() || IsTestModeActive())
        return;
    const bool inFound = m_nFocusList == IdFoundList;
    CDlgTestDaliEvgs::EvgList evgs;
    for (int m : GetSelectedEvgNrs(m_nFocusList)) {
        const EvgEntry& e = m_entries[m];
        if (!inFound && !e.assigned)
            continue;
        evgs.emplace_back(e.gatewayNr,
                          e.assigned ? QStringLiteral("[%1] %2").arg(m).arg(QString::fromStdString(e.name))
                                     : MemberLabel());
    }
    if (evgs.empty())
        return;
    const GatewayBusy busy(m_bGatewayBusy);
    CDlgTestDaliEvgs dialog(Main(), *m_pConnection, std::move(evgs));
    if (dialog.Create())
        dialog.exec();
}

bool CDlgParameterCommissioning::ConfirmDeleteAssignments()
{
    const QString text = Text(915, "Deleting group assignments") + "\n" + Text(916, "") + "\n\n" +
                         Caption(821, "Delete assignments") + "?";
    return UiServices::Prompt().Ask(Text(705, "Commissioning").toStdString(), text.toStdString(),
                                    PromptButtons::YesNo, PromptIcon::Question) == PromptAnswer::Yes;
}

void CDlgParameterCommissioning::OnBnClickedBtnDeleteAllEvgGroupAssignments()
{
    TRACE_ENTRY();
    if (!Connected() || !ConfirmDeleteAssignments())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    const bool ok = m_pConnection->DeleteEvgGroupAssignments();
    Model().SetParameterLong(param::kGatewayAssignmentsCurrent, ok ? 1 : 0);
    if (m_entries.UnassignAll()) {
        Model().SetConfigChanged();
        InitListCtrls();
    }
    EnableDisableButtonsDependingOnListCtrls();
}

void CDlgParameterCommissioning::OnBnClickedBtnResetAllEvgs()
{
    TRACE_ENTRY();
    if (!Connected() || !ConfirmDeleteAssignments())
        return;
    WaitCursor wait;
    const GatewayBusy busy(m_bGatewayBusy);
    const bool ok = m_pConnection->ResetAllEvgs();
    Model().SetParameterLong(param::kGatewayAssignmentsCurrent, ok ? 1 : 0);
    if (m_entries.ResetAll()) {
        Model().SetConfigChanged();
        InitListCtrls();
    }
    EnableDisableButtonsDependingOnListCtrls();
}

// ---- leaving ---------------------------------------------------------------------------------------

void CDlgParameterCommissioning::WriteEvgGroupAssignmentsToGateway()
{
    TRACE_ENTRY();
    const bool all = Model().GetParameterLong(param::kGatewayAssignmentsCurrent, 1) == 0;
    const auto* box = Item<QCheckBox>(IdCompatibility);
    const bool compatibility = box && box->isChecked();
    bool written = false, failed = false;
    CEtsLifeDeviceConnection::NumberList numbers;
    CEtsLifeDeviceConnection::TypeList types;
    m_entries.NumberDownload(numbers, types);
    if (!numbers.empty()) {
        written = true;
        failed = !m_pConnection->WriteEvgNumbers(compatibility, numbers, types);
    }
    const CEtsLifeDeviceConnection::GroupList groups = m_entries.GroupDownload(all);
    if (!groups.empty() && !failed) {
        written = true;
        failed = !m_pConnection->WriteEvgGroupAssignments(compatibility, groups);
    }
    if (failed) {
        TRACE_MSG(TRACE_ERROR, "Download incomplete");
        UiServices::Prompt().Ask(Text(705, "Commissioning").toStdString(),
                                 Text(907, "Download incomplete").toStdString(), PromptButtons::Ok,
                                 PromptIcon::Exclamation);
    }
    if (written) {
        // A failed download sends every gear's groups the next time.
        Model().SetParameterLong(param::kGatewayAssignmentsCurrent, failed ? 0 : 1);
        Model().SetConfigChanged();
    }
}

void CDlgParameterCommissioning::LeavePage()
{
    if (std::exchange(m_bLeft, true))
        return;
    TRACE_ENTRY();
    StopWatchdogRetriggering();
    if (IsTestModeActive())
        StopTest(m_eTest);
    if (Connected() && !Main().IsCancelling())
        WriteEvgGroupAssignmentsToGateway();
}

void CDlgParameterCommissioning::closeEvent(QCloseEvent* event)
{
    LeavePage();
    CParameterDialog::closeEvent(event);
}
