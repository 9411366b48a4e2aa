// The scene, effect, effect step and member pages in the real main window over a fake gateway: edits
// made through the pages alone, read back by a second model and compared with what the model's own
// operations write for the same edits.
#include "model/tests/GatewayFixture.h"
#include "plugin/UIParameterDialog.h"
#include "product/ParameterNumbers.h"
#include "ui/DlgEditName.h"
#include "ui/DlgParameterEffect.h"
#include "ui/DlgParameterEffectStep.h"
#include "ui/DlgParameterGroupMember.h"
#include "ui/DlgParameterScene.h"
#include "ui/UiServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Rows = CDlgParameterParticipants;

void Enum(fake::Device& d, UniqueNr n, std::initializer_list<std::pair<int, const char*>> values)
{
    fixture::AddEnum(*d.byNumber.at(n), values);
}

// The gateway with the settings of scenes, effects and steps, groups 1 and 2 and device 1.
ComPtr<fake::Device> MakeDevice()
{
    auto d = fixture::MakeGateway();
    for (int s = 1; s <= kSceneCount; ++s) {
        auto P = [s](UniqueNr base) {
            return GetSceneUniqueNr(base, s);
        };
        Enum(*d, P(param::kSceneTimeDelayAtCall), {{0, "No"}, {1, "Yes"}});
        fixture::AddEnum(d->AddInteger(P(param::kScenePriority), 0), {{0, "normal"}, {1, "high"}});
        fixture::AddEnum(d->AddInteger(P(param::kSceneOverwriteAtDownload), 1, 1), {{0, "No"}, {1, "Yes"}});
        fixture::AddEnum(d->AddInteger(P(param::kSceneBehaviourAtCall), 0),
                         {{0, "jump"}, {1, "soft on"}, {2, "dim"}});
        d->AddInteger(P(param::kSceneDelayHours), 0, 0, 0, 23);
        d->AddInteger(P(param::kSceneDelayMinutes), 0, 0, 0, 59);
        d->AddInteger(P(param::kSceneDelaySeconds), 5, 5, 0, 59);
    }
    for (int e = 1; e <= kEffectCount; ++e) {
        Enum(*d, GetEffectUniqueNr(param::kEffectPriority, e), {{0, "normal"}, {1, "high"}});
        for (int t = 1; t <= kStepSlots; ++t)
            Enum(*d, GetEffectStepUniqueNr(param::kStepDimming, e, t),
                 {{0, "jump"}, {1, "soft on"}, {2, "dim"}});
    }
    d->AddText(970, "Effect table overflow");
    d->AddText(992, "[mm:ss.s]");
    d->AddText(994, "E-lamp").ui->description = "E-lamp";
    for (int n : {1, 2, 33})
        (*d)[GetGroupUniqueNr(param::kGroupExists, n)].value = Variant::I4(1);
    return d;
}

void AddScene(fake::Device& d, int scene, int knx)
{
    d[param::kSceneObjectDisabled].value = Variant::I4(0);
    d[GetSceneUniqueNr(param::kSceneExists, scene)].value = Variant::I4(1);
    d[GetSceneUniqueNr(param::kSceneKnxNumber, scene)].value = Variant::I4(knx);
}

// An effect of the given steps; the masks of its closing step hold the keys given.
void AddEffect(fake::Device& d, int effect, int steps, std::uint32_t groups = 0, std::uint32_t singlesLow = 0,
               std::uint32_t singlesHigh = 0)
{
    d[param::kEffectObjectDisabled].value = Variant::I4(0);
    d[GetEffectUniqueNr(param::kEffectExists, effect)].value = Variant::I4(1);
    d[GetEffectUniqueNr(param::kEffectStepCount, effect)].value = Variant::I4(steps);
    d[GetEffectUniqueNr(param::kEffectKnxNumber, effect)].value = Variant::I4(effect);
    const std::uint32_t masks[3] = {groups, singlesLow, singlesHigh};
    for (int i = 0; i < 3; ++i)
        d[GetEffectStepUniqueNr(param::kStepMaskKeys1 + i * 1000, effect, kStepSlots)].value =
            Variant::UI4(SwapMask32(masks[i]));
}

void Choose(QComboBox* combo, int value)
{
    QVERIFY(combo);
    const int i = combo->findData(value);
    QVERIFY2(i >= 0, qPrintable(QStringLiteral("value %1 not offered").arg(value)));
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

QStringList TabTexts(QTabBar* bar)
{
    QStringList texts;
    for (int i = 0; bar && i < bar->count(); ++i)
        texts << bar->tabText(i);
    return texts;
}

// Answers the next rename dialog with the text.
void AnswerRename(const char* text)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, text] {
        auto* dialog = qobject_cast<CDlgEditName*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        dialog->findChild<QLineEdit*>()->setText(QString::fromUtf8(text));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    timer->start();
}

} // namespace

class SceneEffectPagesTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ScriptedPrompt m_prompt;

    static std::int32_t Value(fake::Device& d, UniqueNr n) { return d[n].value.IntPart(); }

    static void Open(CUIParameterDialog& window)
    {
        QVERIFY(window.Create());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    template <class Page> static Page* Show(CUIParameterDialog& window, QTreeWidgetItem* node)
    {
        if (!node)
            return nullptr;
        window.GetTree()->Select(node);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return dynamic_cast<Page*>(window.ActivePage());
    }

    // Types into a box and leaves it, as the installer does.
    static void Type(CUIParameterDialog& window, CParameterDialog* page, int idc, const char* text)
    {
        auto* box = page->Item<QLineEdit>(idc);
        QVERIFY(box);
        box->setFocus();
        box->setText(QString::fromUtf8(text));
        window.GetTree()->setFocus();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static void SetTime(CUIParameterDialog& window, CParameterDialog* page, int idc, QTime time, bool leave)
    {
        auto* picker = page->Item<QDateTimeEdit>(idc);
        QVERIFY(picker);
        picker->setFocus();
        picker->setTime(time);
        if (leave)
            window.GetTree()->setFocus();
    }

    static void Click(CParameterDialog* page, int idc)
    {
        auto* box = page->Item<QCheckBox>(idc);
        QVERIFY(box);
        box->click();
    }

    static bool Shown(CParameterDialog* page, int idc)
    {
        QWidget* w = page->GetDlgItem(idc);
        return w && w->isVisibleTo(page);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        UiServices::SetPrompt(&m_prompt);
    }
    void init() { m_prompt = ScriptedPrompt{}; }
    void cleanupTestCase() { UiServices::SetPrompt(nullptr); }

    void aSceneEditedOnItsPageIsWhatTheModelWrites()
    {
        auto viaPage = MakeDevice(), viaModel = MakeDevice();
        for (auto* d : {viaPage.Get(), viaModel.Get()}) {
            AddScene(*d, 1, 1);
            AddScene(*d, 2, 2);
            (*d)[GetSceneValueUniqueNr(1, 2)].value = Variant::I4(129);
        }
        {
            CUIParameterDialog window(viaPage.Get(), nullptr);
            Open(window);
            CPluginTreeCtrlView* tree = window.GetTree();
            auto* page = Show<CDlgParameterScene>(window, tree->FindNode(NodeScene, 1));
            QVERIFY(page);

            Type(window, page, 202, "Evening");
            QCOMPARE(tree->FindNode(NodeScene, 1)->text(0), QStringLiteral("[1] Evening"));
            Type(window, page, 680, "2"); // scene 2's number: on to the next free one
            QCOMPARE(page->GetDlgItemText(680), QStringLiteral("3"));
            Choose(page->Item<QComboBox>(286), 1);
            Choose(page->Item<QComboBox>(319), 0);
            Choose(page->Item<QComboBox>(262), 2);
            QVERIFY(!Shown(page, 266));
            Choose(page->Item<QComboBox>(264), 1);
            QVERIFY(Shown(page, 266));
            SetTime(window, page, 266, QTime(0, 0, 0), false);
            QCOMPARE(page->Item<QDateTimeEdit>(266)->time(), QTime(0, 0, 1)); // never 00:00:00
            SetTime(window, page, 266, QTime(0, 1, 30), true);

            // Groups 1 and 2 have rows; group 2 is out but shows its value, disabled until ticked.
            const auto used = Rows::kUsedIds, value = Rows::kValueIds, save = Rows::kSaveIds;
            QCOMPARE(page->GetDlgItemText(used[0]), QStringLiteral("[1] Group"));
            QVERIFY(Shown(page, used[1]) && !Shown(page, used[2]));
            auto* groupTwo = page->Item<QComboBox>(value[1]);
            QVERIFY(!groupTwo->isEnabled());
            QCOMPARE(groupTwo->currentData().toInt(), 129);
            Click(page, used[1]);
            QVERIFY(groupTwo->isEnabled() && page->GetDlgItem(save[1])->isEnabled());
            Click(page, used[1]);
            QVERIFY(!groupTwo->isEnabled());

            Click(page, used[0]);
            Choose(page->Item<QComboBox>(value[0]), 140);
            Click(page, save[0]);

            // Device 1 on the next tab.
            page->Item<QTabBar>(Rows::kTabId)->setCurrentIndex(1);
            QCOMPARE(page->CurrentBlock(), 2);
            QCOMPARE(page->GetDlgItemText(used[0]), QStringLiteral("[1] Member"));
            Click(page, used[0]);
            Choose(page->Item<QComboBox>(value[0]), 55);
            page->Item<QTabBar>(Rows::kTabId)->setCurrentIndex(0);
            QVERIFY(page->Item<QCheckBox>(used[0])->isChecked());
            QCOMPARE(page->Item<QComboBox>(value[0])->currentData().toInt(), 140);

            // A rename in the tree reaches the page.
            AnswerRename("Night");
            tree->setFocus();
            QTest::keyClick(tree, Qt::Key_F2);
            QCOMPARE(page->GetDlgItemText(202), QStringLiteral("Night"));
        }
        {
            CUIParameterDialog window(viaModel.Get(), nullptr);
            QVERIFY(window.Create());
            CEtsDbManagement& m = *window.GetModel();
            auto P = [](UniqueNr base) {
                return GetSceneUniqueNr(base, 1);
            };
            m.SetSceneName(1, "Evening");
            m.SetKnxScene(1, 3);
            for (auto [base, v] : {std::pair{param::kScenePriority, 1},
                                   {param::kSceneOverwriteAtDownload, 0},
                                   {param::kSceneBehaviourAtCall, 2},
                                   {param::kSceneTimeDelayAtCall, 1},
                                   {param::kSceneDelayHours, 0},
                                   {param::kSceneDelayMinutes, 1},
                                   {param::kSceneDelaySeconds, 30}})
                m.SetParameterLong(P(base), v);
            m.AddGroupToScene(1, 2, 0);
            m.RemoveGroupFromScene(1, 2, false);
            m.AddGroupToScene(1, 1, 0);
            m.SetParameterLong(GetSceneValueUniqueNr(1, 1), 140);
            m.SetSaveFunction(1, 1, true);
            m.AddGroupToScene(1, 33, 0);
            m.SetParameterLong(GetSceneValueUniqueNr(1, 33), 55);
            m.SetSceneName(1, "Night");
        }
        QCOMPARE(fixture::Values(*viaPage), fixture::Values(*viaModel));

        auto again = fixture::LoadModel(*viaPage);
        QCOMPARE(again->GetSceneName(1), std::string("Night"));
        QCOMPARE(again->GetKnxScene(1), 3);
        QVERIFY(again->IsGroupInScene(1, 1) && again->IsSaveFunction(1, 1));
        QVERIFY(!again->IsGroupInScene(1, 2) && again->IsGroupInScene(1, 33) &&
                !again->IsSaveFunction(1, 33));
        QCOMPARE(Value(*viaPage, GetSceneValueUniqueNr(1, 1)), 140);
        QCOMPARE(Value(*viaPage, GetSceneValueUniqueNr(1, 33)), 55);
        QCOMPARE(Value(*viaPage, GetSceneUniqueNr(param::kSceneDelayMinutes, 1)), 1);
    }

    void aThreeStepEffectEditedOnItsPagesIsWhatTheModelWrites()
    {
        auto viaPage = MakeDevice(), viaModel = MakeDevice();
        for (auto* d : {viaPage.Get(), viaModel.Get()}) {
            AddScene(*d, 1, 1);
            AddEffect(*d, 1, 3);
        }
        {
            CUIParameterDialog window(viaPage.Get(), nullptr);
            Open(window);
            CPluginTreeCtrlView* tree = window.GetTree();
            QTreeWidgetItem* effect = tree->FindNode(NodeEffect, 1);
            QVERIFY(effect && effect->childCount() == 3);
            auto* page = Show<CDlgParameterEffect>(window, effect);
            QVERIFY(page);
            QCOMPARE(page->GetDlgItemText(713), QStringLiteral("3"));
            Type(window, page, 202, "Chase");
            QCOMPARE(effect->text(0), QStringLiteral("[1] Chase"));
            Choose(page->Item<QComboBox>(286), 1);
            Type(window, page, 680, "5");
            Type(window, page, 715, "0");
            QCOMPARE(Value(*viaPage, GetEffectUniqueNr(param::kEffectPasses, 1)), 0);
            Type(window, page, 715, "600");
            QCOMPARE(page->GetDlgItemText(715), QStringLiteral("500"));
            QVERIFY(window.GetModel()->IsConfigChanged());

            const auto used = Rows::kUsedIds, value = Rows::kValueIds;
            auto* step = Show<CDlgParameterEffectStep>(window, effect->child(0));
            QVERIFY(step);
            QVERIFY(Shown(step, 722));
            Choose(step->Item<QComboBox>(720), 1);
            SetTime(window, step, 722, QTime(7, 0, 2), false);
            QCOMPARE(step->Item<QDateTimeEdit>(722)->time().hour(), 7);
            SetTime(window, step, 722, QTime(12, 0, 2), false); // the tenths digit stops at 9
            QCOMPARE(step->Item<QDateTimeEdit>(722)->time(), QTime(9, 0, 2));
            SetTime(window, step, 722, QTime(5, 0, 2), true);
            Click(step, used[0]);
            QCOMPARE(step->Item<QComboBox>(value[0])->currentData().toInt(), 173); // joins at its max
            Choose(step->Item<QComboBox>(value[0]), 101);
            Click(step, used[1]);

            step = Show<CDlgParameterEffectStep>(window, effect->child(1));
            QVERIFY(step);
            auto* tabs = step->Item<QTabBar>(Rows::kTabId);
            QCOMPARE(TabTexts(tabs).last(), QStringLiteral("Scenes 1-16"));
            tabs->setCurrentIndex(tabs->count() - 1);
            QCOMPARE(step->GetDlgItemText(used[0]), QStringLiteral("[1] Scene"));
            QVERIFY(!Shown(step, value[0]) && !Shown(step, used[1]));
            Click(step, used[0]);

            step = Show<CDlgParameterEffectStep>(window, effect->child(2));
            QVERIFY(step && step->StepNr() == kStepSlots);
            for (int id : {721, 722, 723})
                QVERIFY(!Shown(step, id)); // the closing step waits for nothing
            step->Item<QTabBar>(Rows::kTabId)->setCurrentIndex(1);
            Click(step, used[0]);
            Choose(step->Item<QComboBox>(value[0]), 55);
        }
        {
            CUIParameterDialog window(viaModel.Get(), nullptr);
            QVERIFY(window.Create());
            CEtsDbManagement& m = *window.GetModel();
            m.SetEffectName(1, "Chase");
            m.SetParameterLong(GetEffectUniqueNr(param::kEffectPriority, 1), 1);
            m.SetKnxEffect(1, 5);
            m.SetParameterLong(GetEffectUniqueNr(param::kEffectPasses, 1), 500);
            auto S = [](UniqueNr base) {
                return GetEffectStepUniqueNr(base, 1, 1);
            };
            m.SetParameterLong(S(param::kStepDimming), 1);
            m.SetParameterLong(S(param::kStepDelayTenths), 5);
            m.SetParameterLong(S(param::kStepDelaySeconds), 2);
            QVERIFY(m.AddGroupToEffectStep(1, 1, 1, 173));
            m.SetEffectValue(1, 1, 1, 101);
            QVERIFY(m.AddGroupToEffectStep(1, 1, 2, 173));
            QVERIFY(m.AddGroupToEffectStep(1, 2, 97, 0));
            QVERIFY(m.AddGroupToEffectStep(1, kStepSlots, 33, 173));
            m.SetEffectValue(1, kStepSlots, 33, 55);
        }
        QCOMPARE(fixture::Values(*viaPage), fixture::Values(*viaModel));

        auto again = fixture::LoadModel(*viaPage);
        QCOMPARE(again->GetEffectName(1), std::string("Chase"));
        QCOMPARE(again->GetKnxEffect(1), 5);
        QCOMPARE(again->GetEffectStepCount(1), 3);
        QCOMPARE(int(again->GetEffectValue(1, 1, 1)), 101);
        QCOMPARE(int(again->GetEffectValue(1, 1, 2)), 173);
        QVERIFY(again->IsGroupInEffectStep(1, 2, 97));
        QCOMPARE(int(again->GetEffectValue(1, 3, 33)), 55);
        QCOMPARE(Value(*viaPage, GetEffectStepUniqueNr(param::kStepDelayTenths, 1, 1)), 5);
        QCOMPARE(Value(*viaPage, GetEffectUniqueNr(param::kEffectPasses, 1)), 500);
    }

    void theAddressingModeGivesTheTabs()
    {
        const QString g1 = "Groups 1-16", g2 = "Groups 17-32", scenes = "Scenes 1-16";
        const QStringList devices = {"Devices 1-16", "Devices 17-32", "Devices 33-48", "Devices 49-64"};
        struct Case
        {
            int mode;
            QStringList tabs; // of the scene page; the step page adds the scenes
        } cases[] = {
            {0, {"Central"}},
            {1, {g1}},
            {4, QStringList{g1, g2} + devices},
            {5, devices},
        };
        for (const Case& c : cases) {
            auto device = MakeDevice();
            (*device)[param::kAddressingMode].value = Variant::I4(c.mode);
            AddScene(*device, 1, 1);
            AddEffect(*device, 1, 1);
            CUIParameterDialog window(device.Get(), nullptr);
            Open(window);
            auto* scene = Show<CDlgParameterScene>(window, window.GetTree()->FindNode(NodeScene, 1));
            QVERIFY(scene);
            QCOMPARE(TabTexts(scene->Item<QTabBar>(Rows::kTabId)), c.tabs);
            if (c.mode == 0) {
                // One row, the central group.
                QCOMPARE(scene->GetDlgItemText(Rows::kUsedIds[0]), QStringLiteral("Central"));
                for (int row = 1; row < Rows::kRows; ++row)
                    QVERIFY(!Shown(scene, Rows::kUsedIds[static_cast<std::size_t>(row)]));
            }
            auto* step = Show<CDlgParameterEffectStep>(window, window.GetTree()->FindNode(NodeEffectStep));
            QVERIFY(step);
            QCOMPARE(TabTexts(step->Item<QTabBar>(Rows::kTabId)), c.tabs + QStringList{scenes});
        }
    }

    void anEmergencyLampCannotJoinUnlessTheDeviceAllowsIt()
    {
        for (int allowed : {0, 1}) {
            auto device = MakeDevice();
            (*device)[param::kEmergencyLamps].value = Variant::I4(1);
            (*device)[GetGroupUniqueNr(235, 2)].value = Variant::I4(1); // group 2 holds emergency lamps
            device->AddInteger(param::kEmergencyInScenesAllowed, allowed);
            AddScene(*device, 1, 1);
            AddEffect(*device, 1, 1);
            CUIParameterDialog window(device.Get(), nullptr);
            Open(window);
            CEtsDbManagement& m = *window.GetModel();
            const int row = 1;
            const int used = Rows::kUsedIds[row], value = Rows::kValueIds[row];
            for (const bool onScene : {true, false}) {
                CDlgParameterParticipants* page =
                    onScene
                        ? static_cast<CDlgParameterParticipants*>(
                              Show<CDlgParameterScene>(window, window.GetTree()->FindNode(NodeScene, 1)))
                        : Show<CDlgParameterEffectStep>(window, window.GetTree()->FindNode(NodeEffectStep));
                QVERIFY(page);
                const bool lamp = allowed == 0;
                QCOMPARE(Shown(page, Rows::kELampId + row), lamp);
                QCOMPARE(Shown(page, Rows::kIconId + row), lamp);
                QCOMPARE(Shown(page, value), !lamp);
                QCOMPARE(Shown(page, Rows::kSaveIds[row]), !lamp && onScene);
                if (lamp) {
                    QCOMPARE(page->GetDlgItemText(Rows::kELampId + row), QStringLiteral("E-lamp"));
                    QVERIFY(!page->Item<QLabel>(Rows::kIconId + row)->pixmap().isNull());
                }
                QCOMPARE(page->GetDlgItem(used)->isEnabled(), !lamp);
                Click(page, used);
                QCOMPARE(onScene ? m.IsGroupInScene(1, 2) : m.IsGroupInEffectStep(1, 1, 2), !lamp);
                QCOMPARE(page->Item<QCheckBox>(used)->isChecked(), !lamp);
            }
        }
    }

    // An emergency group that joined before the rule forbade it, and a deleted scene a step still
    // calls, keep a row whose box takes them out.
    void aParticipantThatMayNotJoinCanStillBeTakenOut()
    {
        auto device = MakeDevice();
        (*device)[param::kEmergencyLamps].value = Variant::I4(1);
        (*device)[GetGroupUniqueNr(235, 2)].value = Variant::I4(1);
        AddScene(*device, 1, 1);
        (*device)[GetSceneUniqueNr(param::kSceneGroupMask, 1)].value = Variant::UI4(SwapMask32(0b10));
        AddEffect(*device, 1, 1);
        (*device)[GetEffectStepUniqueNr(param::kStepMaskScenes, 1, kStepSlots)].value =
            Variant::I4(SwapMask16(0b10)); // scene 2, which does not exist
        CUIParameterDialog window(device.Get(), nullptr);
        Open(window);
        CEtsDbManagement& m = *window.GetModel();
        const int used = Rows::kUsedIds[1];

        auto* scene = Show<CDlgParameterScene>(window, window.GetTree()->FindNode(NodeScene, 1));
        QVERIFY(scene && Shown(scene, Rows::kELampId + 1));
        QVERIFY(scene->Item<QCheckBox>(used)->isChecked() && scene->GetDlgItem(used)->isEnabled());
        Click(scene, used);
        QVERIFY(!m.IsGroupInScene(1, 2));

        auto* step = Show<CDlgParameterEffectStep>(window, window.GetTree()->FindNode(NodeEffectStep));
        QVERIFY(step);
        auto* tabs = step->Item<QTabBar>(Rows::kTabId);
        tabs->setCurrentIndex(tabs->count() - 1);
        QVERIFY(Shown(step, used) && step->Item<QCheckBox>(used)->isChecked());
        QVERIFY(!Shown(step, Rows::kUsedIds[2]));
        Click(step, used);
        QVERIFY(!m.IsGroupInEffectStep(1, 1, 98));
    }

    void aFullEffectTableRefusesTheNextParticipant()
    {
        auto device = MakeDevice();
        (*device)[param::kAddressingMode].value = Variant::I4(4);
        for (int n = 1; n <= kGroupCount + kSingleCount; ++n)
            (*device)[GetGroupUniqueNr(param::kGroupExists, n)].value = Variant::I4(1);
        // Ten effects of all 96 groups and devices and one of 40: the table's 1000 values.
        for (int e = 1; e <= 10; ++e)
            AddEffect(*device, e, 1, ~0U, ~0U, ~0U);
        AddEffect(*device, 11, 1, ~0U, 0xFF);
        AddEffect(*device, 12, 1);
        AddScene(*device, 1, 1);
        CUIParameterDialog window(device.Get(), nullptr);
        Open(window);
        CEtsDbManagement& m = *window.GetModel();
        QCOMPARE(m.GetEffectValueCount(), kEffectValueCount);
        auto* step =
            Show<CDlgParameterEffectStep>(window, window.GetTree()->FindNode(NodeEffect, 12)->child(0));
        QVERIFY(step);
        const int used = Rows::kUsedIds[0];
        Click(step, used);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QCOMPARE(m_prompt.boxes[0].text, std::string("Effect table overflow"));
        QCOMPARE(m_prompt.boxes[0].icon, PromptIcon::Error);
        QVERIFY(!step->Item<QCheckBox>(used)->isChecked());
        QVERIFY(!step->GetDlgItem(Rows::kValueIds[0])->isEnabled());
        QVERIFY(!m.IsGroupInEffectStep(12, 1, 1));
        QCOMPARE(m.GetEffectValueCount(), kEffectValueCount);

        // A scene takes no room in the table.
        auto* tabs = step->Item<QTabBar>(Rows::kTabId);
        tabs->setCurrentIndex(tabs->count() - 1);
        Click(step, used);
        QVERIFY(m.IsGroupInEffectStep(12, 1, 97));
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
    }

    void aMemberEditedOnItsPageIsWhatTheModelWrites()
    {
        auto viaPage = MakeDevice(), viaModel = MakeDevice();
        for (auto* d : {viaPage.Get(), viaModel.Get()}) {
            (*d)[param::kDaliDeviceTypeSetting].value = Variant::I4(1);
            (*d)[GetGroupUniqueNr(param::kGroupExists, 33)].value = Variant::I4(0); // gear in groups only
        }
        {
            CUIParameterDialog window(viaPage.Get(), nullptr);
            Open(window);
            CEtsDbManagement& m = *window.GetModel();
            QVERIFY(m.AddGroupMember(1, 1) && m.AddGroupMember(1, 2));
            CPluginTreeCtrlView* tree = window.GetTree();
            tree->UpdateMembers(0, 0);
            auto* page = Show<CDlgParameterGroupMember>(window, tree->FindNode(NodeMember, 1));
            QVERIFY(page);
            QVERIFY(Shown(page, 574));
            QCOMPARE(page->GetDlgItemText(572), QStringLiteral("1"));

            Type(window, page, 202, "Desk");
            QCOMPARE(tree->FindNode(NodeMember, 1)->text(0), QStringLiteral("[1] Desk"));
            Type(window, page, 572, "2"); // taken: asked, and No keeps the number
            QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
            QCOMPARE(m_prompt.boxes[0].text, std::string("Exchange device 1 and 2?"));
            QCOMPARE(page->GetDlgItemText(572), QStringLiteral("1"));
            QVERIFY(m.IsGroupMember(1, 1));

            Type(window, page, 572, "5"); // free: taken at once, and the tree selects the device
            QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
            QTreeWidgetItem* moved = tree->SelectedNode();
            QCOMPARE(CPluginTreeCtrlView::NodeType(moved), int(NodeMember));
            QCOMPARE(CPluginTreeCtrlView::NodeNumber(moved), 5);
            QCOMPARE(CPluginTreeCtrlView::NodeNumber(moved->parent()), 1);
            page = dynamic_cast<CDlgParameterGroupMember*>(window.ActivePage());
            QVERIFY(page && page->DeviceNr() == 5);
            QCOMPARE(page->GetDlgItemText(202), QStringLiteral("Desk"));
            Choose(page->Item<QComboBox>(574), 6);
        }
        {
            CUIParameterDialog window(viaModel.Get(), nullptr);
            QVERIFY(window.Create());
            CEtsDbManagement& m = *window.GetModel();
            QVERIFY(m.AddGroupMember(1, 1) && m.AddGroupMember(1, 2));
            m.SetMemberName(1, "Desk");
            m.ChangeMemberNr(1, 5);
            m.SetMemberType(5, 6);
        }
        QCOMPARE(fixture::Values(*viaPage), fixture::Values(*viaModel));

        auto again = fixture::LoadModel(*viaPage);
        QCOMPARE(again->GetMemberName(5), std::string("Desk"));
        QVERIFY(again->IsGroupMember(1, 5) && !again->IsMemberUsed(1));
        QCOMPARE(int(again->GetMemberType(5)), 6);
    }

    // The found gear is an LED module: another type asks before its assignment goes.
    void aTypeTheFoundGearDoesNotFitAsksFirst()
    {
        auto device = MakeDevice();
        (*device)[param::kDaliDeviceTypeSetting].value = Variant::I4(1);
        (*device)[GetGroupUniqueNr(param::kGroupExists, 33)].value = Variant::I4(0);
        (*device)[GetMemberBlockUniqueNr(param::kMemberType, 1)].value = Variant::I4(6);
        (*device)[GetMemberUniqueNr(param::kMemberFoundType, 1)].value = Variant::I4(6);
        (*device)[GetMemberUniqueNr(param::kMemberAssigned, 1)].value = Variant::I4(1);
        (*device)[GetMemberUniqueNr(param::kMemberGroupMask, 1)].value = Variant::UI4(SwapMask32(1));
        CUIParameterDialog window(device.Get(), nullptr);
        Open(window);
        CEtsDbManagement& m = *window.GetModel();
        QVERIFY(m.IsGroupMember(1, 1) && m.IsMemberAssigned(1));
        auto* page = Show<CDlgParameterGroupMember>(window, window.GetTree()->FindNode(NodeMember, 1));
        QVERIFY(page);
        auto* type = page->Item<QComboBox>(574);
        QCOMPARE(type->currentData().toInt(), 6);

        m_prompt.answers = {PromptAnswer::No};
        Choose(type, 0);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QCOMPARE(type->currentData().toInt(), 6);
        QCOMPARE(int(m.GetMemberType(1)), 6);
        QVERIFY(m.IsMemberAssigned(1));

        m_prompt.answers = {PromptAnswer::Yes};
        Choose(type, 0);
        QCOMPARE(int(m.GetMemberType(1)), 0);
        QVERIFY(!m.IsMemberAssigned(1));
    }
};

QTEST_MAIN(SceneEffectPagesTests)
#include "SceneEffectPagesTests.moc"
