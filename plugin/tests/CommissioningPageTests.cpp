// The commissioning page over the demo gateway's simulated line: searching, assigning found gear by
// dragging, the download when the page is left, and the commands to the gear.
#include "device/tests/DeviceFixture.h"
#include "plugin/UIParameterDialog.h"
#include "product/ParameterNumbers.h"
#include "simulator/DemoLine.h"
#include "ui/DlgEditName.h"
#include "ui/DlgParameterCommissioning.h"
#include "ui/DlgTestDaliEvgs.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>
#include <QtTest>
#include <map>

namespace {

using namespace devicefixture;
using Page = CDlgParameterCommissioning;

// The main window around the page: its tree, the model and the verified connection.
class TestMain final : public IMainWindow
{
public:
    CEtsDbManagement* model = nullptr;
    CEtsLifeDeviceConnection* connection = nullptr;
    QWidget window;
    CPluginTreeCtrlView* tree = nullptr;
    bool cancelling = false;

    CEtsDbManagement* GetModel() override { return model; }
    CPluginTreeCtrlView* GetTree() override { return tree; }
    QWidget* GetWindow() override { return &window; }
    void ShowParameterDialog() override {}
    void ChangeLabelActiveTreeNode() override {}
    void ChangeNameClientDialog() override {}
    bool IsCancelling() const override { return cancelling; }
    CEtsLifeDeviceConnection* VerifiedConnection() const override { return connection; }
};

// A projected gateway with groups 1 and 2 and singles 1 to 3, the demo line behind a verified
// connection, and the commissioning page open in a main window.
struct Line
{
    TestClock clock;
    std::shared_ptr<GatewaySimulator> gateway = MakeDemoGateway(clock);
    ComPtr<Device> device = MakeComObject<Device>();
    ComPtr<HostWindow> top = MakeComObject<HostWindow>();
    ComPtr<HostWindow> hostWindow = MakeComObject<HostWindow>();
    std::vector<ComPtr<TappedConnection>> connections;
    ScriptedPrompt prompt;
    RecordingBoxes boxes;
    std::unique_ptr<CEtsDbManagement> model;
    std::unique_ptr<CEtsLifeDeviceConnection> connection;
    TestMain main;
    Page* page = nullptr;

    explicit Line(bool connected = true)
    {
        UiServices::SetPrompt(&prompt);
        device->project->manufacturers->items.push_back(MakeComObject<Manufacturer>(0x00A7, "Veltrona GmbH"));
        device->inner->AddInteger(param::kCompatibilityMode, 0, 0, 0, 1);
        device->inner->AddInteger(746, 1, 1, 0, 1);
        hostWindow->parent = top;
        top->connect = [this] {
            connections.push_back(MakeComObject<TappedConnection>(gateway));
            return ComPtr<IEtsLifeDeviceConnection>(connections.back().Get());
        };
        model = fixture::LoadModel(*device->inner, &prompt);
        model->LoadDeviceParameterPointers();
        model->CreateGroup(1);
        model->CreateGroup(2);
        for (int s = 1; s <= 3; ++s)
            model->CreateSingle(s);
        connection = std::make_unique<CEtsLifeDeviceConnection>(*model, device.Get(), hostWindow.Get(), clock,
                                                                &prompt, &boxes);
        if (connected && connection->CreateLifeDeviceConnection(false) != DeviceConnectionOk)
            qFatal("the simulated gateway was not verified");
        main.model = model.get();
        main.connection = connected ? connection.get() : nullptr;
        main.window.resize(900, 640);
        main.tree = new CPluginTreeCtrlView(main, &main.window);
        main.tree->InitTreeCtrlView();
        Open();
        main.window.show();
    }
    ~Line()
    {
        Leave();
        UiServices::SetPrompt(nullptr);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    void Open()
    {
        page = new Page(main, main.connection);
        page->setParent(&main.window, Qt::Widget);
        page->setGeometry(220, 0, 680, 640);
        page->Create();
        page->show();
    }
    // As the main window leaves a page: closes it, then deletes it.
    void Leave()
    {
        if (!page)
            return;
        page->close();
        delete page;
        page = nullptr;
    }

    QTreeWidget* List(int idc) const { return page->Item<QTreeWidget>(idc); }
    QPushButton* Button(int idc) const { return page->Item<QPushButton>(idc); }
    void Click(int idc) const { QTest::mouseClick(page->GetDlgItem(idc), Qt::LeftButton); }
    QTreeWidgetItem* Row(int idc, int member) const
    {
        QTreeWidget* list = List(idc);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == member)
                return list->topLevelItem(i);
        return nullptr;
    }
    std::vector<int> Rows(int idc) const
    {
        std::vector<int> members;
        QTreeWidget* list = List(idc);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            members.push_back(list->topLevelItem(i)->data(0, Qt::UserRole).toInt());
        return members;
    }
    void Select(int idc, std::initializer_list<int> members) const { page->SetSelectedEvgNrs(idc, members); }
    // Drags the found gear of entry from onto a row of a member list (0: the group list's placeholder).
    void Drag(int fromIdc, int fromMember, int toIdc, int toMember) const
    {
        QTreeWidget* from = List(fromIdc);
        QTreeWidget* to = List(toIdc);
        QTreeWidgetItem* source = Row(fromIdc, fromMember);
        QTreeWidgetItem* target = Row(toIdc, toMember);
        QVERIFY(source && target);
        const QPoint start = from->visualItemRect(source).center();
        const QPoint end = to->visualItemRect(target).center();
        QTest::mousePress(from->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseRelease(to->viewport(), Qt::LeftButton, {}, end);
    }
    void ChooseGroup(int group) const
    {
        auto* combo = page->Item<QComboBox>(Page::IdGroupCombo);
        combo->setCurrentIndex(combo->findData(group));
        page->OnCbnSelchangeComboboxGroupCommissioning();
    }
    // Random address -> reported type of the gear on the line.
    std::map<std::int32_t, std::uint8_t> GearTypes() const
    {
        std::map<std::int32_t, std::uint8_t> types;
        for (const ControlGear& g : gateway->GearSnapshot())
            types[static_cast<std::int32_t>(g.randomAddress)] = g.ReportedType();
        return types;
    }
    // Every member's random address, found type and assigned flag as the project holds them.
    std::vector<std::tuple<std::int32_t, int, bool, std::uint32_t>> Members() const
    {
        std::vector<std::tuple<std::int32_t, int, bool, std::uint32_t>> members;
        for (int m = 1; m <= 64; ++m)
            members.emplace_back(model->GetMemberRandomNr(m), model->GetMemberFoundType(m),
                                 model->IsMemberAssigned(m), model->GetMemberGroupAssignment(m));
        return members;
    }
    std::vector<GatewaySimulator::Command> TestCommands() const
    {
        std::vector<GatewaySimulator::Command> out;
        for (const auto& c : gateway->Commands())
            if (c.propertyId == 0xD5)
                out.push_back(c);
        return out;
    }
};

bool Enabled(const Line& line, int idc)
{
    return line.page->GetDlgItem(idc)->isEnabled();
}

} // namespace

class CommissioningPageTests : public QObject
{
    Q_OBJECT

private slots:
    void commissioningNodeOpensThePageOverTheVerifiedGateway();
    void commissionsTheDemoLineFromScratch();
    void searchThatDoesNotSucceedLeavesTheProject_data();
    void searchThatDoesNotSucceedLeavesTheProject();
    void failedDownloadLeavesTheAssignmentsAndMarksTheGatewayStale();
    void cancelledMainWindowDownloadsNothing();
    void leavingDuringATestStopsItWithItsOwnCommand_data();
    void leavingDuringATestStopsItWithItsOwnCommand();
    void watchdogRunsFromSelectedOnUntilOff();
    void withoutConnectionDeviceControlsAreOffAndRenamingWorks();
    void testButtonOpensTheSingleGearTestOfTheSelection();
    void typeMismatchKeepsTheArrowOff();
    void deleteKeyAsksTheTreesQuestionsAndKeepsTheLastSingle();
    void groupAboveSixteenTakesTwoGearOnly();
    void resetClearsEveryEntry();
    void deleteAssignmentsUnassignsEveryGear();
    void groupColumnSortsMembersWithoutGroupLast();
};

void CommissioningPageTests::commissioningNodeOpensThePageOverTheVerifiedGateway()
{
    Line line(false);
    line.Leave();
    // The gateway holds every assignment already: leaving downloads nothing in the window's real time.
    line.model->SetParameterLong(param::kGatewayAssignmentsCurrent, 1);
    CUIParameterDialog window(line.device.Get(), line.hostWindow.Get());
    QVERIFY(window.Create());
    window.show();
    window.GetTree()->Select(window.GetTree()->FindNode(NodeCommissioning));
    auto* page = dynamic_cast<Page*>(window.ActivePage());
    QVERIFY(page);
    QVERIFY(page->GetDlgItem(Page::IdSearch)->isEnabled());
    QVERIFY(window.VerifiedConnection());
}

void CommissioningPageTests::commissionsTheDemoLineFromScratch()
{
    Line line;
    // Groups exist and nobody is in one yet: the page opens on the groups tab.
    QVERIFY(line.page->IsGroupsMode());
    QVERIFY(line.Rows(Page::IdFoundList).empty());

    line.Click(Page::IdSearch);
    const auto types = line.GearTypes();
    QCOMPARE(line.Rows(Page::IdFoundList).size(), types.size());
    // The project records what the search found, nothing is assigned yet.
    for (int n = 1; n <= 12; ++n) {
        QVERIFY(types.count(line.model->GetMemberRandomNr(n)));
        QVERIFY(!line.model->IsMemberAssigned(n));
    }

    // Five gear into group 1, four into group 2, each dragged onto the group list's placeholder.
    auto dragFirstFound = [&](int toIdc, int toMember) {
        const std::vector<int> found = line.Rows(Page::IdFoundList);
        QVERIFY(!found.empty());
        line.Drag(Page::IdFoundList, found.front(), toIdc, toMember);
    };
    // Two selected gear dragged at once, then three one by one.
    const std::vector<int> firstTwo = line.Rows(Page::IdFoundList);
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {firstTwo[0], firstTwo[1]});
    line.Drag(Page::IdFoundList, firstTwo[1], Page::IdGroupList, 0);
    QCOMPARE(line.model->GetGroupMemberCount(1), 2);
    for (int i = 0; i < 3; ++i)
        dragFirstFound(Page::IdGroupList, 0);
    line.ChooseGroup(2);
    for (int i = 0; i < 4; ++i)
        dragFirstFound(Page::IdGroupList, 0);
    QCOMPARE(line.Rows(Page::IdGroupList).size(), std::size_t{5}); // the placeholder and four
    // The last three onto the singles, in the devices tab.
    line.page->Item<QTabBar>(Page::IdTab)->setCurrentIndex(0);
    QVERIFY(!line.page->IsGroupsMode());
    for (int s = 1; s <= 3; ++s)
        dragFirstFound(Page::IdMemberList, s);
    QVERIFY(line.Rows(Page::IdFoundList).empty()); // assigned gear are hidden

    const auto projected = line.Members();
    line.Leave();

    // The line holds exactly the projected gear numbers and group memberships.
    int assigned = 0;
    for (int m = 1; m <= 64; ++m) {
        const auto [address, type, isAssigned, groups] = projected[static_cast<std::size_t>(m - 1)];
        const auto gear = line.gateway->GearAt(m);
        if (!isAssigned) {
            QVERIFY2(!gear, qPrintable(QStringLiteral("gear number %1 is not projected").arg(m)));
            continue;
        }
        ++assigned;
        QVERIFY(gear);
        QCOMPARE(static_cast<std::int32_t>(gear->randomAddress), address);
        QCOMPARE(static_cast<std::uint32_t>(gear->groups), groups);
        QCOMPARE(type, static_cast<int>(types.at(address)));
    }
    QCOMPARE(assigned, 12);
    QCOMPARE(
        std::count_if(projected.begin(), projected.end(), [](const auto& p) { return std::get<3>(p) == 1u; }),
        5);
    QCOMPARE(
        std::count_if(projected.begin(), projected.end(), [](const auto& p) { return std::get<3>(p) == 2u; }),
        4);
    for (int s = 1; s <= 3; ++s)
        QVERIFY(line.model->IsMemberAssigned(s));
    // The project still says what it said before the page was left, and the gateway is current.
    QVERIFY(line.Members() == projected);
    QCOMPARE(line.model->GetParameterLong(param::kGatewayAssignmentsCurrent, -1), 1);
    QVERIFY(line.model->IsConfigChanged());

    // A new search finds every gear at its member's number again: all stay assigned.
    line.Open();
    line.Click(Page::IdSearch);
    QVERIFY(line.Members() == projected);
    QVERIFY(line.Rows(Page::IdFoundList).empty());

    // Gear number 4 is replaced by a new one: member 4 is no longer assigned, the new gear is free.
    line.Leave();
    const auto snapshot = line.gateway->GearSnapshot();
    for (std::size_t i = 0; i < snapshot.size(); ++i) {
        if (snapshot[i].shortAddress == 3)
            line.gateway->ModifyGear(i, [](ControlGear& g) {
                g.randomAddress = 0x0F0F0F;
                g.shortAddress = kNoShortAddress;
                g.groups = 0;
            });
    }
    line.Open();
    line.Click(Page::IdSearch);
    for (int m = 1; m <= 12; ++m)
        QCOMPARE(line.model->IsMemberAssigned(m), m != 4);
    const std::vector<int> free = line.Rows(Page::IdFoundList);
    QCOMPARE(free.size(), std::size_t{1});
    QCOMPARE(line.page->Entries()[free.front()].randomAddress, 0x0F0F0F);
}

void CommissioningPageTests::searchThatDoesNotSucceedLeavesTheProject_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("cancelled") << 0;
    QTest::newRow("connection lost midway") << 1;
}

void CommissioningPageTests::searchThatDoesNotSucceedLeavesTheProject()
{
    QFETCH(int, how);
    Line line;
    // A first search assigns two gear, so that there is something to lose.
    line.Click(Page::IdSearch);
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    const auto before = line.Members();
    const auto shown = line.Rows(Page::IdFoundList);

    const int cancelAt = line.boxes.log.checks + 2;
    if (how == 0) {
        line.boxes.log.cancelAtCheck = cancelAt;
    } else {
        // The addresses are read, then the gateway stops answering before the device types.
        line.connections.back()->readFailure = [](std::uint8_t propertyId) {
            return propertyId == 0xD6 ? E_FAIL : S_OK;
        };
    }
    line.Click(Page::IdSearch);
    if (how == 0)
        QVERIFY(line.boxes.log.checks >= cancelAt);

    QVERIFY(line.Members() == before);
    QVERIFY(line.Rows(Page::IdFoundList) == shown);
    for (int m = 1; m <= 64; ++m)
        QCOMPARE(line.page->Entries()[m].assigned, std::get<2>(before[static_cast<std::size_t>(m - 1)]));
}

void CommissioningPageTests::failedDownloadLeavesTheAssignmentsAndMarksTheGatewayStale()
{
    Line line;
    line.Click(Page::IdSearch);
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    const auto projected = line.Members();
    line.model->SetParameterLong(param::kGatewayAssignmentsCurrent, 1);

    line.gateway->Inject(SimulatorFault::ConnectionDrops, 3);
    line.prompt.boxes.clear();
    line.Leave();

    QVERIFY(line.Members() == projected);
    QCOMPARE(line.model->GetParameterLong(param::kGatewayAssignmentsCurrent, -1), 0);
    bool reported = false;
    for (const auto& box : line.prompt.boxes)
        reported = reported || box.text == "Download incomplete";
    QVERIFY(reported);
}

void CommissioningPageTests::cancelledMainWindowDownloadsNothing()
{
    Line line;
    line.Click(Page::IdSearch);
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    line.gateway->ResetStats();
    const std::size_t functions = line.gateway->FunctionsWritten().size();
    line.main.cancelling = true;
    line.Leave();
    QCOMPARE(line.gateway->FunctionsWritten().size(), functions);
    QCOMPARE(line.gateway->Stats().writes, 0u);
}

void CommissioningPageTests::leavingDuringATestStopsItWithItsOwnCommand_data()
{
    QTest::addColumn<bool>("emergency");
    QTest::newRow("blink") << false;
    QTest::newRow("emergency lamps") << true;
}

void CommissioningPageTests::leavingDuringATestStopsItWithItsOwnCommand()
{
    QFETCH(bool, emergency);
    Line line;
    line.Click(Page::IdSearch);
    // The demo line's fifth gear is an emergency unit; the found list shows it at entry 5.
    std::vector<int> chosen;
    for (int m : line.Rows(Page::IdFoundList))
        if ((line.page->Entries()[m].foundType & 0x7F) == 1)
            chosen.push_back(m);
    QVERIFY(!chosen.empty());
    line.List(Page::IdFoundList)->setFocus();
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {chosen.front()});
    line.page->OnBnClickedBtnBlinkEvgsStart(); // keeps the focused list's buttons in step
    if (emergency) {
        line.page->OnBnClickedBtnBlinkEvgsStop();
        line.page->OnBnClickedBtnEmergencyLampsOn();
    }
    QVERIFY(line.page->IsTestModeActive());
    QVERIFY(line.page->IsWatchdogRunning());
    QVERIFY(!Enabled(line, Page::IdSearch));
    const int gatewayNr = line.page->Entries()[chosen.front()].gatewayNr;
    const auto gear = line.gateway->GearAt(gatewayNr);
    QVERIFY(gear);
    QVERIFY(emergency ? gear->emergencyLampOn : gear->motion == ControlGear::Motion::Blink);

    line.Leave();
    const auto commands = line.TestCommands();
    QVERIFY(!commands.empty());
    const auto& last = commands.back().data;
    QCOMPARE(static_cast<int>(last[0]), emergency ? 3 : 1);
    QCOMPARE(static_cast<int>(last[9]), 0);
    const auto after = line.gateway->GearAt(gatewayNr);
    QVERIFY(!after->emergencyLampOn);
    QVERIFY(after->motion != ControlGear::Motion::Blink);
}

void CommissioningPageTests::watchdogRunsFromSelectedOnUntilOff()
{
    Line line;
    line.Click(Page::IdSearch);
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {1});
    QVERIFY(Enabled(line, Page::IdOn));
    line.page->OnBnClickedBtnAllEvgsOn();
    QVERIFY(!line.page->IsWatchdogRunning()); // all on does not start it
    line.page->OnBnClickedBtnEvgsOn();
    QVERIFY(line.page->IsWatchdogRunning());
    line.gateway->ResetStats();
    line.page->OnTimer();
    const auto functions = line.gateway->FunctionsWritten();
    QVERIFY(std::find(functions.begin(), functions.end(), 60) != functions.end());
    line.page->OnBnClickedBtnEvgsOff();
    QVERIFY(!line.page->IsWatchdogRunning());
    // A tick while a search runs (its box lets timers through) waits: one function at a time.
    auto watchdogs = [&line] {
        const auto written = line.gateway->FunctionsWritten();
        return std::count(written.begin(), written.end(), std::uint8_t{60});
    };
    const auto before = watchdogs();
    line.connections.back()->onWrite = [&line](std::uint8_t propertyId, const std::uint8_t* data) {
        if (propertyId == 0xD1 && data[0] == 1)
            line.page->OnTimer();
    };
    line.page->OnBnClickedBtnEvgsOn();
    line.Click(Page::IdSearch);
    line.connections.back()->onWrite = nullptr;
    QCOMPARE(watchdogs(), before);
    QVERIFY(line.page->IsWatchdogRunning());
    line.page->OnBnClickedBtnEvgsOff();
    // A retrigger the gateway does not take stops the timer.
    line.page->OnBnClickedBtnEvgsOn();
    line.gateway->Inject(SimulatorFault::ConnectionDrops, 0);
    line.page->OnTimer();
    QVERIFY(!line.page->IsWatchdogRunning());
}

void CommissioningPageTests::withoutConnectionDeviceControlsAreOffAndRenamingWorks()
{
    Line line(false);
    for (int idc : {Page::IdFoundList, Page::IdSearch, Page::IdHideAssigned, Page::IdCompatibility,
                    Page::IdAdd, Page::IdRemove, Page::IdOn, Page::IdOff, Page::IdBlinkStart, Page::IdLampsOn,
                    Page::IdAllOn, Page::IdAllOff, Page::IdReset, Page::IdDeleteAssignments, Page::IdTest})
        QVERIFY2(!Enabled(line, idc), qPrintable(QString::number(idc)));
    // Singles 1..3 in the devices tab; rename the second through F2.
    line.page->Item<QTabBar>(Page::IdTab)->setCurrentIndex(0);
    QVERIFY(line.Rows(Page::IdMemberList) == (std::vector<int>{1, 2, 3}));
    line.List(Page::IdMemberList)->setFocus();
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {2});
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CDlgEditName*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("Corridor"));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keyClick(line.List(Page::IdMemberList), Qt::Key_F2);
    QCOMPARE(line.model->GetMemberName(2), std::string("Corridor"));
    QCOMPARE(line.Row(Page::IdMemberList, 2)->text(1), QStringLiteral("Corridor"));
    // The Delete key removes a single without the gateway, too.
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {3});
    QTest::keyClick(line.List(Page::IdMemberList), Qt::Key_Delete);
    QVERIFY(!line.model->SingleExists(3));
    QVERIFY(line.Rows(Page::IdMemberList) == (std::vector<int>{1, 2}));
    line.Leave();
    QVERIFY(line.connections.empty() || line.gateway->FunctionsWritten().empty());
}

void CommissioningPageTests::testButtonOpensTheSingleGearTestOfTheSelection()
{
    Line line;
    line.Click(Page::IdSearch);
    const std::vector<int> found = line.Rows(Page::IdFoundList);
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {found[1], found[2]});
    QVERIFY(Enabled(line, Page::IdTest));
    CDlgTestDaliEvgs::EvgList shown;
    QTimer::singleShot(0, [&shown] {
        auto* dialog = qobject_cast<CDlgTestDaliEvgs*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        shown = dialog->Evgs();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    line.Click(Page::IdTest);
    const CDlgTestDaliEvgs::EvgList expected = {
        {line.page->Entries()[found[1]].gatewayNr, QStringLiteral("Member")},
        {line.page->Entries()[found[2]].gatewayNr, QStringLiteral("Member")}};
    QCOMPARE(shown, expected);
}

void CommissioningPageTests::typeMismatchKeepsTheArrowOff()
{
    Line line;
    line.model->SetParameterLong(param::kDaliDeviceTypeSetting, 1);
    line.model->LoadBufferedParameters();
    line.Leave();
    line.Open();
    line.Click(Page::IdSearch);
    line.page->Item<QTabBar>(Page::IdTab)->setCurrentIndex(0);
    // Single 1 is projected as a fluorescent lamp (type 0); find a gear of another type and one of type 0.
    int led = 0, fluorescent = 0;
    for (int m : line.Rows(Page::IdFoundList)) {
        const int type = line.page->Entries()[m].foundType;
        if (type == 6 && !led)
            led = m;
        if (type == 0 && !fluorescent)
            fluorescent = m;
    }
    QVERIFY(led && fluorescent);
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {1});
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {led});
    line.page->OnBnClickedBtnAddEvgsToGroup();
    QVERIFY(!line.page->Entries()[1].assigned);
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {fluorescent});
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {1});
    line.page->OnBnClickedBtnAddEvgsToGroup();
    QVERIFY(line.page->Entries()[1].assigned);
}

void CommissioningPageTests::deleteKeyAsksTheTreesQuestionsAndKeepsTheLastSingle()
{
    Line line;
    line.Click(Page::IdSearch);
    line.page->Item<QTabBar>(Page::IdTab)->setCurrentIndex(0);
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdMemberList, 1);
    QVERIFY(line.page->Entries()[1].assigned);
    line.model->CreateScene(1);
    line.model->AddGroupToScene(1, 33, 100);
    QVERIFY(line.model->IsGroupUsedInScenesOrEffects(33));

    // No to the first question: nothing changes.
    line.prompt.boxes.clear();
    line.List(Page::IdMemberList)->setFocus();
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {1});
    QTest::keyClick(line.List(Page::IdMemberList), Qt::Key_Delete);
    QVERIFY(!line.prompt.boxes.empty());
    QVERIFY(line.model->SingleExists(1));
    QVERIFY(line.page->Entries()[1].assigned);

    // Yes to everything: the scene assignment and the gear assignment go with the single.
    line.prompt.boxes.clear();
    line.prompt.answers = {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes};
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {1});
    QTest::keyClick(line.List(Page::IdMemberList), Qt::Key_Delete);
    QCOMPARE(line.prompt.boxes.size(), std::size_t{2}); // scene assignments, gear assignments
    QVERIFY(!line.model->SingleExists(1));
    QVERIFY(!line.model->IsGroupInScene(1, 33));
    QCOMPARE(line.Rows(Page::IdFoundList).size(), std::size_t{12}); // the gear is free again

    // The last single stays.
    line.prompt.answers = {PromptAnswer::Yes, PromptAnswer::Yes, PromptAnswer::Yes};
    line.page->SetSelectedEvgNrs(Page::IdMemberList, {2, 3});
    QTest::keyClick(line.List(Page::IdMemberList), Qt::Key_Delete);
    int singles = 0;
    for (int s = 1; s <= 64; ++s)
        singles += line.model->SingleExists(s) ? 1 : 0;
    QCOMPARE(singles, 1);
}

void CommissioningPageTests::groupAboveSixteenTakesTwoGearOnly()
{
    Line line;
    line.model->SetParameterLong(param::kAddressingMode, 4);
    line.model->SetAddressingMode(4);
    line.model->CreateGroup(17);
    line.Leave();
    line.Open();
    line.Click(Page::IdSearch);
    line.ChooseGroup(17);
    for (int i = 0; i < 2; ++i)
        line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    QCOMPARE(line.model->GetGroupMemberCount(17), 2);
    line.page->SetSelectedEvgNrs(Page::IdFoundList, {line.Rows(Page::IdFoundList).front()});
    QVERIFY(!Enabled(line, Page::IdAdd));
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    QCOMPARE(line.model->GetGroupMemberCount(17), 2);
}

void CommissioningPageTests::resetClearsEveryEntry()
{
    Line line;
    line.Click(Page::IdSearch);
    line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    line.prompt.answers = {PromptAnswer::No};
    line.Click(Page::IdReset);
    QVERIFY(line.page->Entries()[4].assigned);
    line.prompt.answers = {PromptAnswer::Yes};
    line.Click(Page::IdReset);
    for (int m = 1; m <= 64; ++m) {
        const EvgEntry& e = line.page->Entries()[m];
        QVERIFY(!e.assigned && e.randomAddress == 0 && e.foundType == 0 && e.gatewayNr == m);
        QCOMPARE(line.model->GetMemberRandomNr(m), 0);
    }
    QVERIFY(line.Rows(Page::IdFoundList).empty());
    QCOMPARE(line.model->GetParameterLong(param::kGatewayAssignmentsCurrent, -1), 1);
}

void CommissioningPageTests::deleteAssignmentsUnassignsEveryGear()
{
    Line line;
    line.Click(Page::IdSearch);
    for (int i = 0; i < 2; ++i)
        line.Drag(Page::IdFoundList, line.Rows(Page::IdFoundList).front(), Page::IdGroupList, 0);
    line.Leave();
    line.Open();
    QCOMPARE(line.gateway->GearAt(4)->groups, std::uint16_t{1});

    line.prompt.answers = {PromptAnswer::Yes};
    line.Click(Page::IdDeleteAssignments);
    for (int m = 1; m <= 64; ++m)
        QVERIFY(!line.page->Entries()[m].assigned && !line.model->IsMemberAssigned(m));
    QCOMPARE(line.model->GetGroupMemberCount(1), 2); // the projection stays
    QCOMPARE(line.model->GetParameterLong(param::kGatewayAssignmentsCurrent, -1), 1);
    QCOMPARE(line.Rows(Page::IdFoundList).size(), std::size_t{12});
    for (const ControlGear& g : line.gateway->GearSnapshot())
        QCOMPARE(g.groups, std::uint16_t{0});
}

void CommissioningPageTests::groupColumnSortsMembersWithoutGroupLast()
{
    Line line;
    line.model->AddGroupMember(2, 10);
    line.model->AddGroupMember(1, 11);
    line.Leave();
    line.Open();
    line.page->Item<QTabBar>(Page::IdTab)->setCurrentIndex(0);
    QHeaderView* header = line.List(Page::IdMemberList)->header();
    // The rows come in ascending order, so the first click on column 0 sorts descending.
    emit header->sectionClicked(0);
    QCOMPARE(line.Rows(Page::IdMemberList), (std::vector<int>{11, 10, 3, 2, 1}));
    emit header->sectionClicked(3); // "Group", without the type column
    QCOMPARE(line.Rows(Page::IdMemberList), (std::vector<int>{11, 10, 1, 2, 3}));
    emit header->sectionClicked(3);
    QCOMPARE(line.Rows(Page::IdMemberList), (std::vector<int>{1, 2, 3, 10, 11}));
}

QTEST_MAIN(CommissioningPageTests)
#include "CommissioningPageTests.moc"
