// Every node of the tree shows its page over a real project of the shipped catalogue: the demo project
// and configured projects in every addressing mode with emergency lamps on. Each page shows its
// parameters and writes them; the rules that change several parameters together are tried one by one.
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/UserPrompt.h"
#include "plugin/UIParameterDialog.h"
#include "product/ParameterNumbers.h"
#include "tests/integration/ShippedCatalogue.h"
#include "ui/DlgParameterAddressing.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QFocusEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <set>

namespace {

using hostproject::ShippedCatalogue;

// Answers every question with the answer that goes ahead, and remembers them.
class YesPrompt final : public IUserPrompt
{
public:
    std::vector<std::string> asked;
    PromptAnswer answer = PromptAnswer::Yes;
    PromptAnswer Ask(const std::string&, const std::string& text, PromptButtons buttons, PromptIcon) override
    {
        asked.push_back(text);
        if (buttons == PromptButtons::Ok)
            return PromptAnswer::Ok;
        if (buttons == PromptButtons::OkCancel)
            return answer == PromptAnswer::Yes ? PromptAnswer::Ok : PromptAnswer::Cancel;
        return answer;
    }
};

// A project in a scratch folder, opened for editing.
struct Project
{
    std::shared_ptr<HostSession> session;

    explicit Project(const QString& path)
    {
        std::string error;
        NewProjectOptions options;
        options.demoGroupAddresses = true;
        auto store = CreateGatewayProject(path.toStdString(), ShippedCatalogue()->Source(), options, &error);
        if (!store)
            qFatal("%s", error.c_str());
        session = HostSession::Open(store, ShippedCatalogue(), &error);
        if (!session || session->BeginEditing() != S_OK)
            qFatal("%s", error.c_str());
    }
    IEtsDevice* Device() const { return session->Device().Get(); }

    // Changes the project as the plug-in would, before a window opens on it.
    void Configure(const std::function<void(CEtsDbManagement&)>& change)
    {
        CEtsDbManagement model(Device(), nullptr);
        model.LoadDeviceParameterPointers();
        model.InitLightnessValueLists();
        model.LoadBufferedParameters();
        change(model);
    }
};

void SetBuffered(CEtsDbManagement& m, UniqueNr number, std::int32_t value)
{
    m.SetParameterLong(number, value);
    m.SetDeviceContext(number, value);
}

// Mode, groups and singles as the mode allows, emergency lamps on in both supplies, every feedback on.
void ConfigureFully(CEtsDbManagement& m, int mode)
{
    SetBuffered(m, param::kAddressingMode, mode);
    const int groups = CDlgParameterAddressing::GroupCountOf(mode);
    const int singles = CDlgParameterAddressing::SingleCountOf(mode);
    for (int g : {1, 2, 17})
        if (g <= groups)
            m.CreateGroup(g);
    for (int s : {1, 5})
        if (s <= singles)
            m.CreateSingle(s);
    if (groups > 0)
        m.AddGroupMember(1, 3);
    m.CreateScene(1);
    m.CreateEffect(1);
    if (mode != 0) {
        SetBuffered(m, param::kUseCentralObject, 1);
        SetBuffered(m, param::kEmergencyLamps, 1);
        SetBuffered(m, param::kEmergencyLampSystem, 2);
        // Each operation extent has its own page.
        SetBuffered(m, param::kEmergencyFeedback, mode == 1 ? 0 : mode == 2 ? 1 : 2);
        m.SetParameterLong(65006, 1);
        m.SetParameterLong(65017, 1);
        m.SetParameterLong(772, 1);
    }
    for (int g = 1; g <= 96; ++g) {
        if (!m.GroupExists(g))
            continue;
        for (UniqueNr base : {201, 325, 328, 329, 408, 580, 235})
            m.SetParameterLong(GetGroupUniqueNr(base, g), 1);
    }
}

void Choose(QComboBox* combo, int value)
{
    const int i = combo->findData(value);
    QVERIFY2(i >= 0, qPrintable(QStringLiteral("value %1 not offered").arg(value)));
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

void LeaveControl(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

struct NodeId
{
    int type;
    int number;
};

std::vector<NodeId> AllNodes(CPluginTreeCtrlView* tree)
{
    std::vector<NodeId> nodes;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        nodes.push_back({CPluginTreeCtrlView::NodeType(item), CPluginTreeCtrlView::NodeNumber(item)});
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return nodes;
}

} // namespace

class CataloguePagesTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    YesPrompt m_prompt;
    int m_projects = 0;
    // Rows written and node types seen by the walks, so that a walk that checks nothing fails.
    static inline int s_written = 0;
    static inline int s_walks = 0;
    static inline std::set<int> s_types;

    QString NextPath() { return m_dir.filePath(QStringLiteral("p%1.veltrona").arg(++m_projects)); }

    // Selects the node and answers the page the main window shows for it.
    static CParameterDialog* Open(CUIParameterDialog& window, int type, int number = -1)
    {
        CPluginTreeCtrlView* tree = window.GetTree();
        QTreeWidgetItem* node = tree->FindNode(type, number);
        if (!node)
            return nullptr;
        tree->Select(node);
        return window.ActivePage();
    }

    // Each bound row of the page shows the host's value and writes a new one; the value goes back after.
    static void CheckBoundRows(CUIParameterDialog& window, CParameterDialog& page, const QString& where)
    {
        CEtsDbManagement& m = *window.GetModel();
        const BindingTable* table = page.Bindings();
        QVERIFY2(table, qPrintable(where + ": no binding table"));
        for (const Binding& row : table->rows) {
            QWidget* w = page.GetDlgItem(row.idc);
            QVERIFY2(w, qPrintable(QStringLiteral("%1: control %2 missing").arg(where).arg(row.idc)));
            const UniqueNr number = page.BoundNumber(row.idc, row.kind == BindKind::Time ? 2 : 0);
            if (!w->isVisibleTo(&page) || !w->isEnabled() || (row.flags & (BindCustom | BindDeferred)) ||
                number <= 0)
                continue;
            const QString at =
                QStringLiteral("%1: control %2, parameter %3").arg(where).arg(row.idc).arg(number);
            if (row.labelIdc) {
                std::string description;
                if (SUCCEEDED(m.GetParameterText(row.kind == BindKind::Time && row.format[0] == 'm'
                                                     ? page.BoundNumber(row.idc, 1)
                                                     : number,
                                                 &description)) &&
                    !description.empty())
                    QVERIFY2(page.GetDlgItemText(row.labelIdc) == QString::fromStdString(description),
                             qPrintable(at));
            }
            if (row.kind == BindKind::Combo) {
                auto* combo = page.Item<QComboBox>(row.idc);
                const std::int32_t host = m.GetParameterLong(number, -1);
                if (combo->currentIndex() >= 0)
                    QVERIFY2(combo->currentData().toInt() == host, qPrintable(at + " shows another value"));
                if (combo->count() < 2)
                    continue;
                const int other = combo->itemData(combo->currentIndex() == 0 ? 1 : 0).toInt();
                Choose(combo, other);
                QVERIFY2(m.GetParameterLong(number, -1) == other, qPrintable(at + " not written"));
                ++s_written;
                if (row.flags & BindBuffered) {
                    const std::pair<std::int32_t, UniqueNr> copies[] = {
                        {m.GetUseCentralObject(), param::kUseCentralObject},
                        {m.GetDaliDeviceTypeSetting(), param::kDaliDeviceTypeSetting},
                        {m.GetEmergencyFeedback(), param::kEmergencyFeedback},
                        {m.GetEmergencyLampSystem(), param::kEmergencyLampSystem},
                    };
                    for (auto [copy, n] : copies)
                        QVERIFY2(copy == m.GetParameterLong(n, 0),
                                 qPrintable(at + QStringLiteral(": the model's copy of %1 is %2, not %3")
                                                     .arg(n)
                                                     .arg(copy)
                                                     .arg(m.GetParameterLong(n, 0))));
                }
                // The page may have been replaced by a tree rebuild.
                if (window.ActivePage() != &page)
                    return;
                if (host >= 0 && combo->findData(host) >= 0)
                    Choose(combo, host);
            } else if (row.kind == BindKind::Time) {
                auto* picker = page.Item<QDateTimeEdit>(row.idc);
                const QTime before = picker->time();
                picker->setTime(before == picker->maximumTime() ? picker->minimumTime() : before.addSecs(1));
                const QTime after = picker->time();
                LeaveControl(picker);
                ++s_written;
                const int fields[3] = {after.hour(), after.minute(), after.second()};
                for (int f = 0; f < 3; ++f)
                    if (page.BoundNumber(row.idc, f) > 0)
                        QVERIFY2(m.GetParameterLong(page.BoundNumber(row.idc, f), -1) == fields[f],
                                 qPrintable(at + QStringLiteral(" field %1 not written").arg(f)));
            } else if (row.kind == BindKind::Number) {
                auto* edit = page.Item<QLineEdit>(row.idc);
                const std::int32_t host = m.GetParameterLong(number, -1);
                QCOMPARE(edit->text(), QString::number(host));
                const std::int32_t other = host == row.minimum ? row.minimum + 1 : row.minimum;
                edit->setText(QString::number(other));
                LeaveControl(edit);
                QVERIFY2(m.GetParameterLong(number, -1) == other, qPrintable(at + " not written"));
                ++s_written;
            }
        }
    }

    void WalkEveryNode(Project& project, const QString& name)
    {
        ++s_walks;
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        for (const NodeId& id : AllNodes(window.GetTree())) {
            const QString where =
                QStringLiteral("%1, node type %2 number %3").arg(name).arg(id.type).arg(id.number);
            CParameterDialog* page = Open(window, id.type, id.number);
            // A node may have gone with a rebuild of the tree.
            if (!window.GetTree()->FindNode(id.type, id.number))
                continue;
            s_types.insert(id.type);
            QVERIFY2(page, qPrintable(where + " shows no page"));
            if (page->Bindings())
                CheckBoundRows(window, *page, where);
            if (QTest::currentTestFailed())
                return;
        }
    }

    static std::int32_t Group(CEtsDbManagement& m, UniqueNr base, int g)
    {
        return m.GetParameterLong(GetGroupUniqueNr(base, g), -1);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        UiServices::SetPrompt(&m_prompt);
    }
    void cleanupTestCase() { UiServices::SetPrompt(nullptr); }
    void init() { m_prompt = YesPrompt{}; }

    void everyNodeOfTheDemoProjectShowsAndWritesItsPage()
    {
        Project project(NextPath());
        WalkEveryNode(project, QStringLiteral("demo"));
    }

    void everyNodeOfAConfiguredProjectShowsAndWritesItsPage_data()
    {
        QTest::addColumn<int>("mode");
        for (int mode = 0; mode <= 5; ++mode)
            QTest::addRow("mode %d", mode) << mode;
    }
    void everyNodeOfAConfiguredProjectShowsAndWritesItsPage()
    {
        QFETCH(int, mode);
        Project project(NextPath());
        project.Configure([mode](CEtsDbManagement& m) { ConfigureFully(m, mode); });
        WalkEveryNode(project, QStringLiteral("mode %1").arg(mode));
    }

    void theWalksSawEveryNodeType()
    {
        if (s_walks < 7)
            QSKIP("needs every walk above");
        QString missing;
        for (int t = 1; t <= 34; ++t)
            if (!s_types.count(t))
                missing += QStringLiteral(" %1").arg(t);
        QVERIFY2(missing.isEmpty(), qPrintable("not seen:" + missing));
        QVERIFY2(s_written > 500, qPrintable(QStringLiteral("%1 values written").arg(s_written)));
    }

    // ---- rules that change several parameters together ----------------------------------------

    void addressingModeFourToOneDeletesGroupsAndDevicesAfterTheQuestion()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            SetBuffered(m, param::kAddressingMode, 4);
            for (int g : {1, 20})
                m.CreateGroup(g);
            m.CreateSingle(5);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        CPluginTreeCtrlView* tree = window.GetTree();

        // No: the mode, the group and the device stay.
        CParameterDialog* page = Open(window, NodeAddressing);
        m_prompt.answer = PromptAnswer::No;
        Choose(page->Item<QComboBox>(563), 1);
        QCOMPARE(m_prompt.asked.size(), std::size_t{1});
        QCOMPARE(m.GetParameterLong(param::kAddressingMode, -1), 4);
        QCOMPARE(m.GetAddressingMode(), 4);
        QCOMPARE(page->Item<QComboBox>(563)->currentData().toInt(), 4);
        QVERIFY(m.GroupExists(20) && m.SingleExists(5));
        QVERIFY(tree->FindNode(NodeDevicesFolder));

        // Yes: both go, and with them the devices folder and the groups 17 to 32 of the tree.
        m_prompt.answer = PromptAnswer::Yes;
        Choose(page->Item<QComboBox>(563), 1);
        QCOMPARE(m.GetParameterLong(param::kAddressingMode, -1), 1);
        QCOMPARE(m.GetAddressingMode(), 1);
        QVERIFY(!m.GroupExists(20));
        QVERIFY(!m.SingleExists(5));
        QVERIFY(m.GroupExists(1));
        QVERIFY(!tree->FindNode(NodeDevicesFolder));
        QVERIFY(!tree->FindNode(NodeGroup, 20));
        QVERIFY(tree->FindNode(NodeGroup, 1));
    }

    void addressingModeZeroLeavesOneCentralGroupWithoutMembers()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            SetBuffered(m, param::kAddressingMode, 4);
            m.CreateGroup(1);
            m.CreateGroup(2);
            m.AddGroupMember(1, 3);
            m.SetParameterLong(param::kAckDeviceState, 1);
            m.SetParameterLong(param::kAckDeviceStateObjectValue, 3);
            m.SetParameterLong(65042, 1);
            SetBuffered(m, param::kUseCentralObject, 1);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        Choose(Open(window, NodeAddressing)->Item<QComboBox>(563), 0);
        QCOMPARE(m.GetAddressingMode(), 0);
        for (UniqueNr n :
             {param::kAckDeviceState, param::kAckDeviceStateObjectValue, 65042, param::kUseCentralObject})
            QCOMPARE(m.GetParameterLong(n, -1), 0);
        QCOMPARE(m.GetUseCentralObject(), 0);
        QVERIFY(m.GroupExists(1));
        QVERIFY(!m.GroupExists(2));
        QCOMPARE(m.GetGroupMemberCount(1), 0);
        // The General page offers no central object then.
        CParameterDialog* general = Open(window, NodeGeneral);
        QVERIFY(!general->GetDlgItem(223)->isVisibleTo(general));
        QVERIFY(!general->GetDlgItem(555)->isEnabled());
    }

    void collectiveFeedbackObjectsTakeTheirKindOnlyWhereOff()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            SetBuffered(m, param::kAddressingMode, 1);
            m.CreateGroup(1);
            m.SetParameterLong(65006, 1);
            m.SetParameterLong(65007, 1);
            m.SetParameterLong(65051, 1);
            m.SetParameterLong(65054, 1);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        Choose(Open(window, NodeAddressing)->Item<QComboBox>(563), 4);
        QCOMPARE(m.GetAddressingMode(), 4);
        // 65007 + 1 where the object was off; the others keep their values.
        const std::pair<UniqueNr, std::int32_t> expected[] = {{65051, 1}, {65052, 2}, {65053, 2},
                                                              {65054, 1}, {65055, 2}, {65056, 2}};
        for (auto [n, v] : expected)
            QCOMPARE(m.GetParameterLong(n, -1), v);
        QVERIFY(m.SingleExists(0));

        // Switching the feedback to active writes every object of the mode.
        CParameterDialog* status = Open(window, NodeDaliStatus);
        Choose(status->Item<QComboBox>(671), 0);
        for (UniqueNr n = 65051; n <= 65056; ++n)
            QCOMPARE(m.GetParameterLong(n, -1), 1);
        QVERIFY(status->GetDlgItem(673)->isVisibleTo(status));
    }

    void staircaseOptionAndEndBehaviourChangeTheirDependents()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            m.CreateGroup(1);
            m.SetParameterLong(GetGroupUniqueNr(408, 1), 1);
            m.SetParameterLong(GetGroupUniqueNr(115, 1), 7);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        CParameterDialog* page = Open(window, NodeStaircase, 1);
        QVERIFY(page->GetDlgItem(260)->isVisibleTo(page));
        QVERIFY(!page->GetDlgItem(258)->isVisibleTo(page));

        Choose(page->Item<QComboBox>(260), 2);
        QCOMPARE(Group(m, 427, 1), 1);
        QCOMPARE(Group(m, 411, 1), 1);
        QVERIFY(page->GetDlgItem(256)->isVisibleTo(page));
        QVERIFY(!page->GetDlgItem(258)->isVisibleTo(page));
        Choose(page->Item<QComboBox>(260), 1);
        QCOMPARE(Group(m, 427, 1), 0);
        QCOMPARE(Group(m, 411, 1), 1);
        QVERIFY(page->GetDlgItem(258)->isVisibleTo(page));
        Choose(page->Item<QComboBox>(260), 0);
        QCOMPARE(Group(m, 427, 1), 0);
        QCOMPARE(Group(m, 411, 1), 0);
        QVERIFY(!page->GetDlgItem(256)->isVisibleTo(page));

        // A prolonged staircase is not retriggered.
        Choose(page->Item<QComboBox>(252), 1);
        Choose(page->Item<QComboBox>(685), 2);
        QCOMPARE(Group(m, 405, 1), 0);
        QVERIFY(!page->GetDlgItem(252)->isEnabled());

        // Off: the staircase start after the return of bus power becomes "no change".
        Choose(page->Item<QComboBox>(262), 0);
        QCOMPARE(Group(m, 408, 1), 0);
        QCOMPARE(Group(m, 115, 1), 3);
        QVERIFY(!page->GetDlgItem(260)->isVisibleTo(page));
    }

    void hourmeterLimitIsKeptWithinItsWindow()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            m.CreateGroup(1);
            m.SetParameterLong(GetGroupUniqueNr(580, 1), 1);
            m.SetParameterLong(GetGroupUniqueNr(581, 1), 2);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        CParameterDialog* page = Open(window, NodeHourmeter, 1);
        auto* limit = page->Item<QLineEdit>(707);
        QVERIFY(limit->isVisibleTo(page));
        QCOMPARE(limit->text(), QStringLiteral("65535"));
        for (auto [typed, stored] : {std::pair{"0", 1}, {"70000", 65535}, {"abc", 1}, {"1234", 1234}}) {
            limit->setText(QString::fromLatin1(typed));
            LeaveControl(limit);
            QCOMPARE(Group(m, 584, 1), stored);
            QCOMPARE(limit->text(), QString::number(stored));
        }
        Choose(page->Item<QComboBox>(705), 0);
        QVERIFY(!limit->isVisibleTo(page));
    }

    void emergencyDetectionSetsItsDetectionsAndTheMinimumOfFailedMembers()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            m.CreateGroup(1);
            SetBuffered(m, param::kEmergencyLamps, 1);
            SetBuffered(m, param::kEmergencyLampSystem, 0);
            SetBuffered(m, param::kEmergencyFeedback, 2);
            m.SetParameterLong(65030, 10);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        CParameterDialog* page = Open(window, NodeExtentELKnxDali);
        QVERIFY(page);
        QCOMPARE(page->Item<QLineEdit>(603)->text(), QStringLiteral("10"));

        Choose(page->Item<QComboBox>(607), 1);
        QCOMPARE(m.GetParameterLong(65031, -1), 1);
        QCOMPARE(m.GetParameterLong(65028, -1), 0);
        QCOMPARE(m.GetParameterLong(65029, -1), 1);
        QCOMPARE(m.GetParameterLong(65030, -1), 64);
        for (int idc : {600, 601, 602, 603})
            QVERIFY(!page->GetDlgItem(idc)->isVisibleTo(page));
        QVERIFY(page->GetDlgItem(605)->isVisibleTo(page));

        Choose(page->Item<QComboBox>(607), 0);
        QCOMPARE(m.GetParameterLong(65028, -1), 1);
        QCOMPARE(m.GetParameterLong(65029, -1), 0);
        QVERIFY(page->GetDlgItem(603)->isVisibleTo(page));
        QCOMPARE(page->Item<QLineEdit>(603)->text(), QStringLiteral("64"));
        QVERIFY(!page->GetDlgItem(605)->isVisibleTo(page));
        // Displayed as used, never chosen here.
        QVERIFY(!page->GetDlgItem(601)->isEnabled());
        QCOMPARE(page->Item<QComboBox>(601)->currentData().toInt(), 1);
    }

    void switchStyleBindsTheTimesOfItsFunctionAndConvertsSoftTimes()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) { m.CreateGroup(1); });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        CParameterDialog* page = Open(window, NodeSwitchStyle, 1);
        auto setTime = [page](int idc, QTime t) {
            auto* picker = page->Item<QDateTimeEdit>(idc);
            picker->setTime(t);
            LeaveControl(picker);
        };
        QVERIFY(!page->GetDlgItem(288)->isVisibleTo(page));

        // Switch-off delay: the first set of numbers.
        Choose(page->Item<QComboBox>(248), 2);
        QVERIFY(page->GetDlgItem(288)->isVisibleTo(page));
        QVERIFY(!page->GetDlgItem(294)->isVisibleTo(page));
        setTime(288, QTime(0, 1, 30));
        QCOMPARE(Group(m, 433, 1), 1);
        QCOMPARE(Group(m, 434, 1), 30);
        Choose(page->Item<QComboBox>(290), 1);
        QCOMPARE(Group(m, 431, 1), 1);

        // Both delays: the staircase's numbers, the on delay first.
        Choose(page->Item<QComboBox>(248), 3);
        QVERIFY(page->GetDlgItem(294)->isVisibleTo(page));
        setTime(288, QTime(0, 0, 10));
        QCOMPARE(Group(m, 414, 1), 10);
        setTime(294, QTime(0, 2, 0));
        QCOMPARE(Group(m, 416, 1), 2);
        QCOMPARE(Group(m, 434, 1), 30);

        // Soft on: the gateway's step values follow the time.
        Choose(page->Item<QComboBox>(260), 1);
        setTime(262, QTime(0, 0, 5));
        std::uint16_t ticks = 0;
        std::uint8_t steps = 0, correction = 0;
        CalculateDimStepParameters(0, 0, 5, &ticks, &steps, &correction);
        QCOMPARE(Group(m, 309, 1), 5);
        QCOMPARE(Group(m, 319, 1), std::int32_t{ticks});
        QCOMPARE(Group(m, 320, 1), std::int32_t{steps});
        QCOMPARE(Group(m, 321, 1), std::int32_t{correction});
    }

    void emergencyLampsOnAndOffKeepTheModelAndTheTreeInStep()
    {
        Project project(NextPath());
        project.Configure([](CEtsDbManagement& m) {
            m.CreateGroup(1);
            SetBuffered(m, param::kEmergencyLampSystem, 2);
            m.SetParameterLong(65017, 1);
            m.SetParameterLong(65022, 1);
        });
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        CParameterDialog* page = Open(window, NodeGeneral);
        QVERIFY(!page->GetDlgItem(561)->isVisibleTo(page));
        Choose(page->Item<QComboBox>(555), 1);
        QVERIFY(m.IsEmergencyLampsUsed());
        QCOMPARE(m.GetParameterLong(param::kEmergencyLamps, -1), 1);
        QCOMPARE(m.GetParameterLong(65022, -1), 0);
        QCOMPARE(m.GetDaliEmergencyDeviceType(), 1);
        QVERIFY(window.GetTree()->FindNode(NodeEmergencyFolder));
        QVERIFY(page->GetDlgItem(561)->isVisibleTo(page));
        QCOMPARE(page->Item<QComboBox>(561)->currentData().toInt(), 1);

        Choose(page->Item<QComboBox>(555), 0);
        QVERIFY(!m.IsEmergencyLampsUsed());
        QVERIFY(!window.GetTree()->FindNode(NodeEmergencyFolder));
    }
};

QTEST_MAIN(CataloguePagesTests)
#include "CataloguePagesTests.moc"
