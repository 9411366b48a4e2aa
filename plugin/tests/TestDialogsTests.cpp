// The test page and the test dialogs against the simulated gateway: what each command does to the
// gateway's line, the polls and timers (driven by calling their tick, never by waiting), and a
// gateway that stops answering in the middle of a test.
#include "device/tests/DeviceFixture.h"
#include "plugin/UIParameterDialog.h"
#include "product/GatewayProtocol.h"
#include "simulator/GatewayState.h"
#include "ui/DlgParameterTest.h"
#include "ui/DlgTestDaliEffects.h"
#include "ui/DlgTestDaliEvgs.h"
#include "ui/DlgTestDaliGroups.h"
#include "ui/DlgTestDaliScenes.h"
#include "ui/UiServices.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace protocol;

namespace {

// Gear 1 and 2 in DALI group 1, gear 3 in group 2, gear 4 in none; numbered as commissioned.
std::vector<ControlGear> Line()
{
    std::vector<ControlGear> line;
    for (int n = 1; n <= 4; ++n) {
        ControlGear g;
        g.randomAddress = 0x200000u + static_cast<std::uint32_t>(n);
        g.shortAddress = static_cast<std::uint8_t>(n - 1);
        g.groups = n <= 2 ? 0x1 : n == 3 ? 0x2 : 0;
        line.push_back(g);
    }
    return line;
}

// The installation under test: groups 1 and 2 with their gear assigned; scene 1 holds both groups,
// scene 2 nothing; effect 1 has three steps and runs endlessly. The main window is the session's.
struct Installation
{
    devicefixture::Rig rig{Line()};
    std::unique_ptr<CUIParameterDialog> window;

    explicit Installation(int addressingMode = 4)
    {
        UiServices::SetPrompt(&rig.prompt);
        CEtsDbManagement& m = *rig.model;
        m.SetParameterLong(65014, addressingMode);
        m.SetAddressingMode(addressingMode);
        m.CreateGroup(1);
        m.CreateGroup(2);
        for (auto [group, member] : {std::pair{1, 1}, {1, 2}, {2, 3}}) {
            m.AddGroupMember(group, member);
            m.SetMemberAssigned(member, true);
        }
        m.CreateScene(1);
        m.AddGroupToScene(1, 1, 0x100 | 150);
        m.AddGroupToScene(1, 2, 0x100 | 55);
        m.CreateScene(2);
        m.CreateEffect(1);
        m.CreateEffectStep(1, 0);
        m.CreateEffectStep(1, 1);
        rig.gateway->SetEffect(1, {3, 0, 1000});
        window = std::make_unique<CUIParameterDialog>(rig.device.Get(), rig.window.Get());
        window->Create();
        rig.Connect();
    }
    ~Installation() { UiServices::SetPrompt(nullptr); }

    CEtsLifeDeviceConnection& Connection() { return *rig.connection; }
    GatewayState State() { return rig.gateway->State(); }
    // The data bytes of every write of one function, in order.
    std::vector<std::pair<int, int>> Written(std::uint8_t function)
    {
        std::vector<std::pair<int, int>> out;
        for (const auto& c : rig.gateway->Commands())
            if (c.propertyId == PropD1 && c.data.size() == 3 && c.data[0] == function)
                out.emplace_back(c.data[1], c.data[2]);
        return out;
    }
    std::vector<std::string> Boxes() const { return rig.BoxTexts(); }
};

void Click(CTemplateDialog& dialog, int id)
{
    auto* button = dialog.Item<QPushButton>(id);
    QVERIFY2(button, qPrintable(QStringLiteral("no button %1").arg(id)));
    QVERIFY2(button->isEnabled(), qPrintable(QStringLiteral("button %1 disabled").arg(id)));
    button->click();
}

void Choose(CTemplateDialog& dialog, int id, int value)
{
    auto* combo = dialog.Item<QComboBox>(id);
    QVERIFY(combo);
    const int i = combo->findData(value);
    QVERIFY2(i >= 0, qPrintable(QStringLiteral("value %1 not offered").arg(value)));
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

int Selected(CTemplateDialog& dialog, int id)
{
    auto* combo = dialog.Item<QComboBox>(id);
    return combo && combo->currentIndex() >= 0 ? combo->currentData().toInt() : -1;
}

// Closes the next modal dialog once it shows; its class name lands in shown.
void CloseNextModal(QString* shown)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, shown] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        *shown = QString::fromLatin1(modal->metaObject()->className());
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    timer->start();
}

} // namespace

class TestDialogsTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8()); }

    // ---- test page --------------------------------------------------------------------------------

    void thePageSwitchesSetsAndReadsTheAssignedGear()
    {
        Installation site;
        CDlgParameterTest page(*site.window, site.Connection());
        QVERIFY(page.Create());
        auto* gear = page.Item<QComboBox>(327);
        QCOMPARE(gear->count(), 3);
        QCOMPARE(gear->itemText(0), QStringLiteral("[1] Member"));
        QCOMPARE(page.SelectedEvgNr(), 1);
        QCOMPARE(Selected(page, 484), -1);

        Click(page, 321);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(site.State().GearLevel(n), 173);
        QCOMPARE(site.State().litGear, 4);
        Click(page, 322);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(site.State().GearLevel(n), 0);

        Choose(page, 327, 3);
        QCOMPARE(page.SelectedEvgNr(), 3);
        Click(page, 328);
        QCOMPARE(site.State().GearLevel(3), 173);
        QCOMPARE(site.State().GearLevel(1), 0);
        Choose(page, 484, 101);
        Click(page, 333);
        QCOMPARE(site.State().GearLevel(3), 101);
        page.Item<QComboBox>(484)->setCurrentIndex(-1);
        Click(page, 334);
        QCOMPARE(Selected(page, 484), 101);
        Click(page, 329);
        QCOMPARE(site.State().GearLevel(3), 0);
        QVERIFY(site.Boxes().empty());
    }

    void thePageListsTheDaliStatus()
    {
        Installation site;
        site.rig.gateway->ModifyGear(1, [](ControlGear& g) {
            g.lampFailure = true;
            g.powerFailure = true;
        });
        CDlgParameterTest page(*site.window, site.Connection());
        QVERIFY(page.Create());
        Choose(page, 327, 2);
        Click(page, 331);
        auto* list = page.Item<QListWidget>(332);
        QStringList lines;
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        QCOMPARE(lines, QStringList({"Device status = OK", "Lamp status = Error", "Switching status = off",
                                     "Reset = no", "Voltage failure = yes"}));
        // A gear failure with a voltage failure, the one bit the line does not report by itself.
        QCOMPARE(page.StateLines(0x81),
                 QStringList({"Device status = Error", "Lamp status = OK", "Switching status = off",
                              "Reset = no", "Voltage failure = yes"}));

        // A gear that does not answer: the box, one line, and no value.
        site.rig.gateway->Inject(SimulatorFault::GearSilent, 2);
        Click(page, 331);
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("No connection to DALI device"));
        Choose(page, 484, 55);
        Click(page, 334);
        QCOMPARE(Selected(page, 484), -1);
        QCOMPARE(site.Boxes(),
                 std::vector<std::string>({"No connection to DALI device", "No connection to DALI device"}));
    }

    void thePageDisablesWhatCannotBeTried()
    {
        struct Case
        {
            int addressingMode;
            bool assigned;
            bool allSwitch, singleGear, groups;
        } cases[] = {
            {3, true, true, true, true},
            {3, false, false, false, true}, // no assigned gear: neither all nor one can be switched
            {0, true, true, false, false},  // central addressing: no single gear area at all
        };
        for (const Case& c : cases) {
            Installation site(c.addressingMode);
            if (!c.assigned)
                for (int member = 1; member <= 3; ++member)
                    site.window->GetModel()->SetMemberAssigned(member, false);
            CDlgParameterTest page(*site.window, site.Connection());
            QVERIFY(page.Create());
            QCOMPARE(page.GetDlgItem(321)->isEnabled(), c.allSwitch);
            QCOMPARE(page.GetDlgItem(322)->isEnabled(), c.allSwitch);
            for (int id : {327, 328, 329, 484, 333, 334, 331})
                QCOMPARE(page.GetDlgItem(id)->isEnabled(), c.singleGear);
            QCOMPARE(page.GetDlgItem(323)->isEnabled(), c.groups);
            QVERIFY(page.GetDlgItem(324)->isEnabled());
            QVERIFY(page.GetDlgItem(339)->isEnabled());
        }
    }

    void theTestNodeVerifiesTheGatewayAndOpensTheTests()
    {
        Installation site;
        site.window->show();
        CPluginTreeCtrlView* tree = site.window->GetTree();
        tree->Select(tree->FindNode(NodeTest));
        auto* page = dynamic_cast<CDlgParameterTest*>(site.window->ActivePage());
        QVERIFY2(page, site.window->ActivePage()->metaObject()->className());
        struct Case
        {
            int button;
            const char* dialog;
        } cases[] = {{323, "CDlgTestDaliGroups"}, {324, "CDlgTestDaliScenes"}, {339, "CDlgTestDaliEffects"}};
        for (const Case& c : cases) {
            QString shown;
            CloseNextModal(&shown);
            Click(*page, c.button);
            QCOMPARE(shown, QString::fromLatin1(c.dialog));
        }
    }

    // ---- group test -------------------------------------------------------------------------------

    void groupsAreSwitchedDimmedAndRead()
    {
        Installation site;
        CDlgTestDaliGroups dialog(*site.window, site.Connection());
        QVERIFY(dialog.Create());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Test DALI groups"));
        QCOMPARE(dialog.Item<QTabBar>(267)->count(), 2);
        QCOMPARE(dialog.GetDlgItemText(1000), QStringLiteral("[1] Group"));
        QVERIFY(dialog.GetDlgItem(1100)->isEnabled());
        QVERIFY(!dialog.GetDlgItem(1102)->isEnabled()); // group 3 does not exist

        Click(dialog, 1100);
        QCOMPARE(site.State().GroupLevel(1), 173);
        QCOMPARE(site.State().GroupLevel(2), 0);
        Choose(dialog, 1301, 101);
        Click(dialog, 1401);
        QCOMPARE(site.State().GroupLevel(2), 101);
        dialog.Item<QComboBox>(1301)->setCurrentIndex(-1);
        Click(dialog, 1501);
        QCOMPARE(Selected(dialog, 1301), 101);
        Click(dialog, 1200);
        QCOMPARE(site.State().GroupLevel(1), 0);

        // Dimming: up, stop, down, stop, each press sending the state it leaves.
        struct Step
        {
            int sent, next;
            const char* button;
            bool dimming;
        } steps[] = {
            {9, 8, "stop", true}, {8, 1, "start", false}, {1, 0, "stop", true}, {0, 9, "start", false}};
        for (const Step& s : steps) {
            Click(dialog, 1601);
            QCOMPARE(site.Written(FnDimGroup).back(), std::make_pair(2, s.sent));
            QCOMPARE(dialog.GetChannel(2).dimming, s.next);
            QCOMPARE(dialog.GetDlgItemText(1601), QString::fromLatin1(s.button));
            const auto dimming = site.State().dimmingGroups;
            QCOMPARE(std::find(dimming.begin(), dimming.end(), 2) != dimming.end(), s.dimming);
        }
        // Switching on makes the next dimming go down.
        Click(dialog, 1101);
        QCOMPARE(dialog.GetChannel(2).dimming, 1);
        Click(dialog, 1601);
        QCOMPARE(site.Written(FnDimGroup).back(), std::make_pair(2, 1));

        dialog.Item<QTabBar>(267)->setCurrentIndex(1);
        QCOMPARE(dialog.GroupOfRow(0), 17);
        QCOMPARE(dialog.GetDlgItemText(1000), QStringLiteral("[17] Group"));
        QVERIFY(site.Boxes().empty());
    }

    void centralAddressingTestsOneCentralRow()
    {
        Installation site(0);
        CDlgTestDaliGroups dialog(*site.window, site.Connection());
        QVERIFY(dialog.Create());
        QCOMPARE(dialog.Item<QTabBar>(267)->count(), 1);
        QCOMPARE(dialog.Item<QTabBar>(267)->tabText(0), QStringLiteral("Central"));
        QVERIFY(dialog.GetDlgItem(1000)->isVisibleTo(&dialog));
        QCOMPARE(dialog.GetDlgItemText(1000), QStringLiteral("Central"));
        for (int row = 1; row < 16; ++row)
            QVERIFY(!dialog.GetDlgItem(1000 + row)->isVisibleTo(&dialog));
    }

    // ---- scene test -------------------------------------------------------------------------------

    void aSceneIsCalledSavedAndReadBack()
    {
        Installation site;
        CDlgTestDaliScenes dialog(*site.window, site.Connection());
        QVERIFY(dialog.Create());
        QCOMPARE(dialog.SceneNr(), 1);
        QCOMPARE(dialog.GetDlgItemText(680), QString::number(site.window->GetModel()->GetKnxScene(1)));
        QVERIFY(dialog.GetChannel(1).inScene && dialog.GetChannel(2).inScene);
        QCOMPARE(Selected(dialog, 1200), 150);
        QVERIFY(dialog.GetDlgItem(1200)->isEnabled());
        QVERIFY(!dialog.GetDlgItem(1202)->isEnabled()); // group 3 is not in the scene

        Choose(dialog, 1200, 129);
        QVERIFY(dialog.OnBnClickedBtnSaveScene());
        QCOMPARE(site.window->GetModel()->GetParameterLong(GetSceneValueUniqueNr(1, 1), 0), 129);
        QCOMPARE(site.window->GetModel()->GetParameterLong(GetSceneValueUniqueNr(1, 2), 0), 55);

        Click(dialog, 479);
        QCOMPARE(site.State().lastScene, 1);
        QCOMPARE(site.State().GroupLevel(1), 129);
        QCOMPARE(site.State().GroupLevel(2), 55);

        // Values changed here and not saved give way to what the gateway holds.
        Choose(dialog, 1200, 173);
        Choose(dialog, 1201, 173);
        QVERIFY(dialog.OnBnClickedBtnReadSceneValues());
        QCOMPARE(dialog.GetChannel(1).value, 129);
        QCOMPARE(dialog.GetChannel(2).value, 55);
        QCOMPARE(Selected(dialog, 1200), 129);
        QCOMPARE(site.window->GetModel()->GetParameterLong(GetSceneValueUniqueNr(1, 1), 0), 129);
        QVERIFY(site.Boxes().empty());
    }

    void savingASceneWithoutChannelsWritesNothing()
    {
        Installation site;
        CDlgTestDaliScenes dialog(*site.window, site.Connection());
        QVERIFY(dialog.Create());
        Choose(dialog, 478, 2);
        QVERIFY(!dialog.GetDlgItem(1200)->isEnabled());
        const auto commands = site.rig.gateway->Commands().size();
        QVERIFY(dialog.OnBnClickedBtnSaveScene());
        QCOMPARE(site.rig.gateway->Commands().size(), commands);
    }

    // ---- effect test ------------------------------------------------------------------------------

    void anEffectIsStartedFollowedAndStopped()
    {
        Installation site;
        CDlgTestDaliEffects dialog(*site.window, site.Connection());
        QVERIFY(dialog.Create());
        QCOMPARE(dialog.EffectNr(), 1);
        QCOMPARE(dialog.Steps(), 3);
        QCOMPARE(dialog.GetDlgItemText(731), QStringLiteral("0/3"));

        Click(dialog, 727);
        QVERIFY(site.State().effectRunning);
        QCOMPARE(site.State().effect, 1);
        QVERIFY(dialog.IsTimerRunning());
        QCOMPARE(dialog.GetDlgItemText(733), QStringLiteral("1/0"));
        dialog.OnTimer(); // idle: asks for the step
        dialog.OnTimer(); // the step
        QCOMPARE(dialog.Step(), site.State().effectStep);
        QVERIFY(dialog.IsTimerRunning());

        // Endless: followed until the last step is reported.
        site.rig.clock.Advance(1500);
        for (int tick = 0; tick < 8 && dialog.IsTimerRunning(); ++tick)
            dialog.OnTimer();
        QVERIFY(!dialog.IsTimerRunning());
        QCOMPARE(dialog.GetDlgItemText(731), QStringLiteral("3/3"));
        QVERIFY(site.State().effectRunning);

        Click(dialog, 728);
        QVERIFY(!site.State().effectRunning);
        QCOMPARE(site.Written(FnEffect).back(), std::make_pair(1, 0));

        // A faster effect while it is followed, and closing while it runs stops it.
        Click(dialog, 727);
        Choose(dialog, 735, 3);
        QCOMPARE(site.Written(FnEffectSpeed).back(), std::make_pair(1, 3));
        QVERIFY(dialog.IsTimerRunning());
        Click(dialog, 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.IsTimerRunning());
        QVERIFY(!site.State().effectRunning);
        QVERIFY(site.Boxes().empty());
    }

    void anEffectIsSteppedToItsStopStepAndRoundAgain()
    {
        Installation site;
        CDlgTestDaliEffects dialog(*site.window, site.Connection());
        QVERIFY(dialog.Create());
        struct Press
        {
            int sent, gatewayStep;
        } presses[] = {{1, 1}, {2, 2}, {16, 3}, {1, 1}};
        for (const Press& p : presses) {
            Click(dialog, 729);
            QVERIFY(dialog.IsStepMode());
            QCOMPARE(site.Written(FnEffectStep).back(), std::make_pair(1, p.sent));
            QVERIFY(site.State().effectStepMode);
            QCOMPARE(site.State().effectStep, p.gatewayStep);
            QVERIFY(dialog.GetDlgItemText(731).endsWith(QStringLiteral("...")));
            // One step is read once: the step, then the pass query ends the polling.
            for (int tick = 0; tick < 4 && dialog.IsTimerRunning(); ++tick)
                dialog.OnTimer();
            QVERIFY(!dialog.IsTimerRunning());
            QCOMPARE(dialog.GetDlgItemText(731), QStringLiteral("%1/3").arg(p.gatewayStep));
        }
        // The dialog put the gateway into step mode; leaving takes it out again.
        Click(dialog, 1);
        QVERIFY(!site.State().effectStepMode);
    }

    // ---- single gear test -------------------------------------------------------------------------

    void gearAreBlinkedAndSwitchedOffOnClose()
    {
        Installation site;
        CDlgTestDaliEvgs dialog(*site.window, site.Connection(), {{4, "[4] Member"}, {2, "[2] Member"}});
        QVERIFY(dialog.Create());
        QCOMPARE(dialog.Evgs().front().first, 2);
        QCOMPARE(dialog.SelectionMask(), (std::array<std::uint8_t, 8>{0x0A, 0, 0, 0, 0, 0, 0, 0}));

        auto* count = dialog.Item<QLineEdit>(314);
        QCOMPARE(count->text(), QStringLiteral("1"));
        for (auto [typed, shown] : {std::pair{"300", "250"}, {"0", "1"}, {"-4", "1"}, {"17", "17"}}) {
            count->setText(QString::fromLatin1(typed));
            QCOMPARE(count->text(), QString::fromLatin1(shown));
        }
        count->setText(QStringLiteral("5"));
        Click(dialog, 313);
        QCOMPARE(site.State().blinkingGear, std::vector<int>({2, 4}));
        QVERIFY(dialog.IsWatchdogRunning());
        const auto gearCommand = site.rig.gateway->Commands().back().data;
        QCOMPARE(gearCommand.front(), std::uint8_t{TestBlink});
        QCOMPARE(gearCommand.back(), std::uint8_t{5});

        // Endless blinking outlasts the gateway's own watchdog as long as the dialog retriggers it.
        Click(dialog, 312);
        for (int tick = 0; tick < 4; ++tick) {
            site.rig.clock.Advance(CDlgTestDaliEvgs::kWatchdogMs);
            dialog.OnTimer();
        }
        QCOMPARE(site.Written(FnWatchdog).size(), std::size_t{4});
        QCOMPARE(site.Written(FnWatchdog).front(), std::make_pair(1, 0));
        QVERIFY(site.State().watchdogArmed);
        QCOMPARE(site.State().blinkingGear, std::vector<int>({2, 4}));

        Click(dialog, 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.IsWatchdogRunning());
        QVERIFY(site.State().blinkingGear.empty());
        QCOMPARE(site.State().GearLevel(2), 0);
        QCOMPARE(site.State().GearLevel(4), 0);
        QVERIFY(!site.State().watchdogArmed);
    }

    void gearSwitchedOnAreSwitchedOffOnClose()
    {
        Installation site;
        CDlgTestDaliEvgs dialog(*site.window, site.Connection(), {{3, "[3] Member"}});
        QVERIFY(dialog.Create());
        Click(dialog, 311);
        QCOMPARE(site.State().GearLevel(3), 173);
        Click(dialog, 310);
        QVERIFY(!dialog.IsWatchdogRunning());
        QCOMPARE(site.State().GearLevel(3), 0);
        Click(dialog, 311);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.IsWatchdogRunning());
        QCOMPARE(site.State().GearLevel(3), 0);
    }

    // ---- a gateway that stops answering -----------------------------------------------------------

    void aGatewayThatStopsAnsweringEndsEveryTimer()
    {
        Installation site;
        {
            CDlgTestDaliEffects effects(*site.window, site.Connection());
            QVERIFY(effects.Create());
            Click(effects, 727);
            site.rig.gateway->Inject(SimulatorFault::ConnectionDrops, 0);
            effects.OnTimer();
            QVERIFY(!effects.IsTimerRunning());
            QCOMPARE(site.Boxes(), std::vector<std::string>({"No connection"}));
            Click(effects, 1); // nothing left to stop: no second report
            QCOMPARE(site.Boxes().size(), std::size_t{1});
        }
        site.rig.gateway->ClearFaults();
        CDlgTestDaliEvgs gear(*site.window, site.Connection(), {{1, "[1] Member"}});
        QVERIFY(gear.Create());
        Click(gear, 312);
        QVERIFY(gear.IsWatchdogRunning());
        site.rig.gateway->Inject(SimulatorFault::ConnectionDrops, 0);
        gear.OnTimer();
        QVERIFY(!gear.IsWatchdogRunning());
        QCOMPARE(site.Boxes(), std::vector<std::string>({"No connection", "No connection"}));
        Click(gear, 1);
        QCOMPARE(site.Boxes().size(), std::size_t{2});
    }

    // ---- the gateway's state ----------------------------------------------------------------------

    void theGatewayStateReadsAsOneLine()
    {
        GatewayState state;
        state.gearLevels.fill(GatewayState::kNoGear);
        state.groupLevels.fill(GatewayState::kNoGear);
        state.lineGear = 6;
        QCOMPARE(DescribeGatewayState(state), std::string("All gear off"));
        QVERIFY(state.IsQuiet());
        state.litGear = 3;
        state.groupLevels[0] = 173;
        state.groupLevels[2] = 100;
        state.dimmingGroups = {3};
        state.lastScene = 2;
        state.effect = 1;
        state.effectRunning = true;
        state.effectStep = 2;
        state.effectPass = 1;
        state.blinkingGear = {4, 5};
        state.emergencyLamps = {6};
        QVERIFY(!state.IsQuiet());
        QCOMPARE(
            DescribeGatewayState(state),
            std::string("Gear on: 3 of 6 | Groups on: 1 100 %, 3 14 % dimming | Scene 2 | Effect 1 running, "
                        "step 2, pass 1 | Blinking: 4, 5 | Emergency lamps: 6"));
    }
};

QTEST_MAIN(TestDialogsTests)
#include "TestDialogsTests.moc"
