// The page framework's bindings, the tree's commands and the group page, in the real main window over
// a fake gateway device.
#include "model/tests/GatewayFixture.h"
#include "plugin/UIParameterDialog.h"
#include "ui/DlgEditName.h"
#include "ui/DlgParameterGroupCommon.h"
#include "ui/UiServices.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A page over the group page's template that exposes the framework's helpers.
class BarePage final : public CParameterDialog
{
public:
    explicit BarePage(IMainWindow& main) : CParameterDialog(218, main) {}
    using CParameterDialog::OnInitDialog;
};

// The test template with a time picker.
class TimePage final : public CParameterDialog
{
public:
    explicit TimePage(IMainWindow& main) : CParameterDialog(9001, main) {}
};

void AddEnums(fake::DeviceParameter& p, const std::vector<std::pair<int, std::string>>& values)
{
    p.ui->type->baseType = 4;
    p.ui->type->enums->items.clear();
    for (const auto& [v, t] : values)
        p.ui->type->enums->items.emplace_back(MakeComObject<fake::EnumValue>(v, t).Get());
}

// A few lightness values of the gateway's scale, each with its percent text.
const std::vector<std::pair<int, std::string>> kLightness = {{0, "0 %"},    {1, "0.1 %"},  {50, "3 %"},
                                                             {100, "15 %"}, {129, "30 %"}, {140, "40 %"},
                                                             {150, "50 %"}, {160, "70 %"}, {173, "100 %"}};

// The group page's parameters of group 1 with their choices.
void AddGroupPageParameters(fake::Device& d, int group)
{
    for (UniqueNr base : {102, 103})
        AddEnums(*d.byNumber.at(GetGroupUniqueNr(base, group)), kLightness);
    for (UniqueNr base = 104; base <= 110; ++base)
        AddEnums(d.AddInteger(GetGroupUniqueNr(base, group), 173, 173), kLightness);
    const std::vector<std::pair<int, std::string>> choice = {
        {0, "value"}, {1, "value below"}, {2, "no change"}, {3, "last value"}, {4, "staircase"}};
    for (UniqueNr base : {111, 112, 113, 114, 115, 116, 117, 119, 120, 122})
        AddEnums(d.AddInteger(GetGroupUniqueNr(base, group), 0), choice);
    AddEnums(d.AddInteger(GetGroupUniqueNr(118, group), 0),
             {{0, "none"}, {1, "lock"}, {2, "forced position"}});
    d.AddInteger(GetGroupUniqueNr(408, group), 0);
}

// Answers the next modal dialog: a rename dialog gets the text and OK (or Cancel when text is null).
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
        if (!text) {
            QTest::keyClick(dialog, Qt::Key_Escape);
            return;
        }
        dialog->findChild<QLineEdit*>()->setText(QString::fromUtf8(text));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    timer->start();
}

void Choose(QComboBox* combo, int value)
{
    const int i = combo->findData(value);
    QVERIFY2(i >= 0, qPrintable(QStringLiteral("value %1 not offered").arg(value)));
    combo->setCurrentIndex(i);
    emit combo->activated(i);
}

QList<int> Offered(QComboBox* combo)
{
    QList<int> values;
    for (int i = 0; i < combo->count(); ++i)
        values << combo->itemData(i).toInt();
    return values;
}

// Answers by the question's text, so that each question gets its own answer whatever the order.
class AnswerByText final : public IUserPrompt
{
public:
    std::vector<std::pair<std::string, PromptAnswer>> rules;
    std::vector<std::string> asked;
    PromptAnswer Ask(const std::string&, const std::string& text, PromptButtons, PromptIcon) override
    {
        asked.push_back(text);
        for (const auto& [part, answer] : rules)
            if (text.find(part) != std::string::npos)
                return answer;
        return PromptAnswer::No;
    }
};

} // namespace

class PagesTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ScriptedPrompt m_prompt;

    static std::int32_t Value(fake::Device& d, UniqueNr n) { return d[n].value.IntPart(); }

    // Runs one tree command through its accelerator on the node.
    static void Key(CPluginTreeCtrlView* tree, QTreeWidgetItem* node, Qt::Key key,
                    Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        tree->Select(node);
        tree->setFocus();
        QTest::keyClick(tree, key, mods);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        UiServices::SetPrompt(&m_prompt);
    }
    void init() { m_prompt = ScriptedPrompt{}; }
    void cleanupTestCase() { UiServices::SetPrompt(nullptr); }

    // ---- framework ----------------------------------------------------------------------------

    void comboboxesShowTheirWindowAndWriteOnlyChanges()
    {
        auto device = fixture::MakeGateway();
        AddGroupPageParameters(*device, 1);
        (*device)[1104].value = Variant::I4(100);
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        BarePage page(window);
        QVERIFY(page.Create());
        auto* combo = page.Item<QComboBox>(212);

        struct Case
        {
            int minimum, maximum;
            QList<int> offered;
            int selected;
        } cases[] = {
            {0, -1, {0, 1, 50, 100, 129, 140, 150, 160, 173}, 100},
            {5, 3, {0, 1, 50, 100, 129, 140, 150, 160, 173}, 100},
            {100, 150, {100, 129, 140, 150}, 100},
            {129, 173, {129, 140, 150, 160, 173}, -1}, // the host value lies outside: nothing selected
        };
        for (const Case& c : cases) {
            std::int32_t cache = 0;
            page.InitComboBox(212, 0, 1104, &cache, c.minimum, c.maximum);
            QCOMPARE(Offered(combo), c.offered);
            QCOMPARE(combo->currentIndex() < 0 ? -1 : combo->currentData().toInt(), c.selected);
            QCOMPARE(cache, 100);
        }

        std::int32_t cache = 0;
        page.InitComboBox(212, 0, 1104, &cache);
        const int writes = (*device)[1104].writes;
        QVERIFY(!page.ComboboxChanged(212, 1104, &cache));
        combo->setCurrentIndex(combo->findData(140));
        QVERIFY(page.ComboboxChanged(212, 1104, &cache));
        QCOMPARE(Value(*device, 1104), 140);
        QCOMPARE(cache, 140);
        QCOMPARE((*device)[1104].writes, writes + 1);
        QVERIFY(!page.SelectComboboxEnumValue(212, 77));
        QCOMPARE(combo->currentData().toInt(), 140);
        QCOMPARE(page.GetComboboxEnumValue(999), 0);
    }

    void lightnessChoicesKeepZeroAndApproximate()
    {
        auto device = fixture::MakeGateway();
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        BarePage page(window);
        QVERIFY(page.Create());
        auto* combo = page.Item<QComboBox>(212);
        page.InitLightnessCombobox(212, 20, 100, 150);
        QCOMPARE(combo->itemData(0).toInt(), 0);
        for (int i = 1; i < combo->count(); ++i)
            QVERIFY(combo->itemData(i).toInt() >= 100 && combo->itemData(i).toInt() <= 150);
        // Clamped to 100, shown by its label: 100 reads "14 %", whose choice is 101.
        QCOMPARE(combo->currentText().toStdString(), window.GetModel()->GetLightnessValueText(100));
        page.InitLightnessCombobox(212, 0, 100, 150);
        QCOMPARE(combo->currentData().toInt(), 0);
        page.InitLightnessCombobox(212, -1, 100, 150);
        QCOMPARE(combo->currentIndex(), -1);

        // Without a label of its own a value shows as the nearest item, the earlier of two as near.
        combo->clear();
        combo->addItem(QStringLiteral("a"), 10);
        combo->addItem(QStringLiteral("b"), 30);
        combo->addItem(QStringLiteral("c"), 50);
        page.SelectComboboxLightnessValue(212, 200);
        QCOMPARE(combo->currentData().toInt(), 50);
        page.SelectComboboxLightnessValue(212, 20);
        QCOMPARE(combo->currentData().toInt(), 10);
    }

    void numberBoxesClampStepAndApplyOnlyWhileTheSessionRuns()
    {
        auto device = fixture::MakeGateway();
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        BarePage page(window);
        QVERIFY(page.Create());
        page.setParent(&window, Qt::Widget);
        page.show();
        auto* box = page.Item<QLineEdit>(572);
        std::int32_t cache = 5;
        for (auto [typed, shown] : {std::pair{"0", "1"}, {"abc", "1"}, {"99", "64"}, {" 7 ", "7"}}) {
            box->setText(QString::fromLatin1(typed));
            page.NumberBoxChanged(572, 0, &cache, 1, 64);
            QCOMPARE(box->text(), QString::fromLatin1(shown));
            QCOMPARE(cache, box->text().toInt());
        }
        QVERIFY(!page.NumberBoxChanged(572, 0, &cache, 1, 64)); // unchanged

        box->setFocus();
        box->setText(QStringLiteral("1"));
        for (auto [key, shown] : {std::pair{Qt::Key_Up, "1"},
                                  {Qt::Key_Down, "2"},
                                  {Qt::Key_PageDown, "64"},
                                  {Qt::Key_PageUp, "1"}}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QVERIFY(page.TranslateNumberBoxMessage(press, 572, 1, 64));
            QCOMPARE(box->text(), QString::fromLatin1(shown));
        }
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
        QVERIFY(!page.TranslateNumberBoxMessage(letter, 572, 1, 64));

        window.hide();
        box->setText(QStringLiteral("9"));
        QVERIFY(!page.NumberBoxChanged(572, 0, &cache, 1, 64));
        QCOMPARE(cache, 7);
    }

    void timePickersKeepTheirMinimumAndWriteChangedFields()
    {
        auto device = fixture::MakeGateway();
        device->AddInteger(2001, 0, 0, 0, 23);
        device->AddInteger(2002, 0, 0, 0, 59);
        device->AddInteger(2003, 5, 0, 0, 59).ui->description = "Switch-off delay";
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        TimePage page(window);
        QVERIFY(page.Create());
        auto* picker = page.Item<QDateTimeEdit>(100);
        QVERIFY(picker);
        std::int32_t h = -1, m = -1, s = -1;
        QTime minimum, maximum;
        page.InitTimePicker(100, 101, QStringLiteral("HH':'mm':'ss"), 2001, 2002, 2003, &h, &m, &s, &minimum,
                            &maximum);
        QCOMPARE(page.GetDlgItemText(101), QStringLiteral("Switch-off delay")); // labelled by the seconds
        QCOMPARE(picker->displayFormat(), QStringLiteral("HH:mm:ss"));
        QCOMPARE(picker->time(), QTime(0, 0, 5));
        QCOMPARE(maximum, QTime(23, 59, 59));
        QCOMPARE(s, 5);

        // Set to 00:00:00 by the user, the picker goes back to its minimum second before it is applied.
        picker->setTime(QTime(0, 0, 0));
        page.LimitTimePickerValue(100, minimum, maximum, 1);
        QCOMPARE(picker->time(), QTime(0, 0, 1));
        const int hourWrites = (*device)[2001].writes;
        QVERIFY(page.TimePickerChanged(100, 2001, 2002, 2003, &h, &m, &s));
        QCOMPARE(Value(*device, 2003), 1);
        QCOMPARE((*device)[2001].writes, hourWrites); // unchanged fields are not written
        QVERIFY(!page.TimePickerChanged(100, 2001, 2002, 2003, &h, &m, &s));

        // Minutes and seconds only: the hours stay 0.
        page.InitTimePicker(100, 0, QStringLiteral("mm':'ss"), 0, 2002, 2003, nullptr, &m, &s, &minimum,
                            &maximum);
        QCOMPARE(maximum, QTime(0, 59, 59));
    }

    void hostFormatTextsFillOnlyTheirExpectedConversions()
    {
        const QString fallback = QStringLiteral("Smaller than min value (%s)");
        struct Case
        {
            const char* text;
            const char* shown;
        } cases[] = {
            {"Kleiner als Minimum (%s)", "Kleiner als Minimum (30 %)"},
            {"100%% über (%s)", "100% über (30 %)"},
            {"Kleiner als %d (%s)", "Smaller than min value (30 %)"}, // another conversion
            {"Kleiner %n", "Smaller than min value (30 %)"},
            {"Kleiner als Minimum", "Smaller than min value (30 %)"}, // the value would be lost
            {"Ende %", "Smaller than min value (30 %)"},
        };
        for (const Case& c : cases)
            QCOMPARE(FormatHostText(QString::fromUtf8(c.text), fallback, "s", {QStringLiteral("30 %")}),
                     QString::fromUtf8(c.shown));
        QCOMPARE(FormatHostText(QStringLiteral("Gerät %d mit %d tauschen?"),
                                QStringLiteral("Exchange %d and %d?"), "dd",
                                {QStringLiteral("3"), QStringLiteral("5")}),
                 QStringLiteral("Gerät 3 mit 5 tauschen?"));
    }

    // ---- tree -----------------------------------------------------------------------------------

    // A configuration built through the tree writes what the model's operations alone write.
    void theTreeBuildsWhatTheModelWrites()
    {
        auto viaTree = fixture::MakeGateway();
        auto viaModel = fixture::MakeGateway();
        {
            CUIParameterDialog window(viaTree.Get(), nullptr);
            QVERIFY(window.Create());
            window.show();
            CPluginTreeCtrlView* tree = window.GetTree();
            QTreeWidgetItem* groups = tree->FindNode(NodeGroupsFolder);
            QVERIFY(groups);
            Key(tree, groups, Qt::Key_N, Qt::ControlModifier);
            Key(tree, groups, Qt::Key_N, Qt::ControlModifier);
            QCOMPARE(groups->childCount(), 2);
            QCOMPARE(tree->SelectedNode(), tree->FindNode(NodeGroup, 2));

            AnswerRename("Hall");
            Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_F2);
            QCOMPARE(tree->FindNode(NodeGroup, 1)->text(0), QStringLiteral("[1] Hall"));
            AnswerRename(nullptr);
            Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_F2);
            QCOMPARE(tree->FindNode(NodeGroup, 1)->text(0), QStringLiteral("[1] Hall"));

            Key(tree, tree->FindNode(NodeMembersFolder, 1), Qt::Key_N, Qt::ControlModifier);
            QVERIFY(tree->FindNode(NodeMember, 1));
            Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_C, Qt::ControlModifier);
            Key(tree, groups, Qt::Key_V, Qt::ControlModifier);
            QTreeWidgetItem* pasted = tree->FindNode(NodeGroup, 3);
            QVERIFY(pasted);
            QCOMPARE(pasted->text(0), QStringLiteral("[3] Hall"));
            QCOMPARE(tree->SelectedNode(), pasted);

            // Group 1 has a member: the question comes, Cancel keeps it, OK deletes it.
            m_prompt.answers = {PromptAnswer::Cancel};
            Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_Delete);
            QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
            QVERIFY(tree->FindNode(NodeGroup, 1));
            QVERIFY(window.GetModel()->GroupExists(1));
            m_prompt.answers = {PromptAnswer::Ok};
            Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_Delete);
            QCOMPARE(m_prompt.boxes.size(), std::size_t{2});
            QVERIFY(!tree->FindNode(NodeGroup, 1));

            // Effects 1 and 2 with values; deleting 1 packs the step table.
            QTreeWidgetItem* effects = tree->FindNode(NodeEffectsFolder);
            Key(tree, effects, Qt::Key_N, Qt::ControlModifier);
            Key(tree, effects, Qt::Key_N, Qt::ControlModifier);
            QVERIFY(window.GetModel()->AddGroupToEffectStep(1, 1, 2, 100));
            QVERIFY(window.GetModel()->AddGroupToEffectStep(2, 1, 3, 140));
            Key(tree, tree->FindNode(NodeEffect, 1), Qt::Key_Delete);
            QVERIFY(!tree->FindNode(NodeEffect, 1));
            QCOMPARE(window.GetModel()->GetEffectValueCount(), 1);
            Key(tree, tree->FindNode(NodeScenesFolder), Qt::Key_N, Qt::ControlModifier);
            QVERIFY(tree->FindNode(NodeScene, 1));
            QVERIFY(window.GetModel()->IsConfigChanged());
        }
        {
            CUIParameterDialog window(viaModel.Get(), nullptr);
            QVERIFY(window.Create());
            CEtsDbManagement& m = *window.GetModel();
            m.CreateGroup(1);
            m.CreateGroup(2);
            m.SetGroupName(1, "Hall");
            QVERIFY(m.AddGroupMember(1, 1));
            m.CopyGroup(1);
            m.CreateGroup(3);
            QVERIFY(m.PasteGroup(3));
            m.DeleteGroup(1);
            m.CreateEffect(1);
            m.CreateEffect(2);
            QVERIFY(m.AddGroupToEffectStep(1, 1, 2, 100));
            QVERIFY(m.AddGroupToEffectStep(2, 1, 3, 140));
            m.DeleteEffect(1, true);
            m.CreateScene(1);
        }
        QCOMPARE(fixture::Values(*viaTree), fixture::Values(*viaModel));
        for (int object : {1, 14, 27})
            QCOMPARE(fixture::ObjectText(*viaTree, object), fixture::ObjectText(*viaModel, object));
    }

    void pasteIntoAFolderMarksTheConfigurationChanged()
    {
        auto device = fixture::MakeGateway();
        (*device)[1123].value = Variant::I4(1);
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CPluginTreeCtrlView* tree = window.GetTree();
        Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(!window.GetModel()->IsConfigChanged());
        Key(tree, tree->FindNode(NodeGroupsFolder), Qt::Key_V, Qt::ControlModifier);
        QVERIFY(tree->FindNode(NodeGroup, 2));
        QVERIFY(window.GetModel()->IsConfigChanged());
        QTest::mouseClick(window.GetDlgItem(1), Qt::LeftButton);
        QVERIFY(Value(*device, 723) > 2000); // a new project identity
    }

    void theMenuGraysWhatCannotBeDone()
    {
        auto device = fixture::MakeGateway();
        (*device)[1123].value = Variant::I4(1);
        (*device)[GetGroupUniqueNr(123, 20)].value = Variant::I4(1);
        (*device)[65014].value = Variant::I4(2);
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        CPluginTreeCtrlView* tree = window.GetTree();
        CEtsDbManagement& m = *window.GetModel();
        QVERIFY(m.AddGroupMember(20, 1) && m.AddGroupMember(20, 2));
        tree->UpdateMembers(0, 0);
        auto enabled = [&](QTreeWidgetItem* node) {
            QStringList on;
            std::unique_ptr<QMenu> menu = tree->ContextMenu(node);
            for (QAction* a : menu ? menu->actions() : QList<QAction*>())
                if (!a->isSeparator())
                    on << QString::number(a->data().toInt()) + (a->isEnabled() ? "+" : "-");
            return on.join(' ');
        };
        using T = CPluginTreeCtrlView;
        auto code = [](int command, bool on) {
            return QString::number(command) + (on ? "+" : "-");
        };
        QCOMPARE(enabled(tree->FindNode(NodeMembersFolder, 20)),
                 code(T::CommandNew, false) + ' ' + code(T::CommandPaste, false));
        QCOMPARE(enabled(tree->FindNode(NodeMembersFolder, 1)),
                 code(T::CommandNew, true) + ' ' + code(T::CommandPaste, false));
        QCOMPARE(enabled(tree->FindNode(NodeGroup, 1)),
                 code(T::CommandCopy, true) + ' ' + code(T::CommandPaste, false) + ' ' +
                     code(T::CommandDelete, true) + ' ' + code(T::CommandRename, true));
        QCOMPARE(enabled(tree->FindNode(NodeGeneral)), QString());
        m.CopyGroup(1);
        QCOMPARE(enabled(tree->FindNode(NodeGroupsFolder)),
                 code(T::CommandNew, true) + ' ' + code(T::CommandPaste, true));
    }

    void effectStepsFollowTheModel()
    {
        auto device = fixture::MakeGateway();
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CPluginTreeCtrlView* tree = window.GetTree();
        Key(tree, tree->FindNode(NodeEffectsFolder), Qt::Key_N, Qt::ControlModifier);
        QTreeWidgetItem* effect = tree->FindNode(NodeEffect, 1);
        QVERIFY(effect);
        QCOMPARE(effect->childCount(), 1); // Stop only
        Key(tree, effect, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(effect->childCount(), 16);
        QCOMPARE(window.GetModel()->GetEffectStepCount(1), 16);
        QTreeWidgetItem* stop = effect->child(15);
        Key(tree, stop, Qt::Key_Delete);
        Key(tree, stop, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(effect->childCount(), 16);

        // Deleting step 2 removes the last normal step's node; the selection keeps its position.
        QTreeWidgetItem* second = effect->child(1);
        Key(tree, second, Qt::Key_Delete);
        QCOMPARE(window.GetModel()->GetEffectStepCount(1), 15);
        QCOMPARE(effect->childCount(), 15);
        QCOMPARE(tree->SelectedNode(), second);
        QCOMPARE(CPluginTreeCtrlView::NodeNumber(effect->child(13)), 14);
        QCOMPARE(CPluginTreeCtrlView::NodeNumber(effect->child(14)), 16);
    }

    // ---- group page ----------------------------------------------------------------------------

    void narrowingTheWindowMovesValuesAfterTheQuestion()
    {
        auto device = fixture::MakeGateway();
        AddGroupPageParameters(*device, 1);
        (*device)[1123].value = Variant::I4(1);
        (*device)[1104].value = Variant::I4(50);  // raising value, shown (selection 0)
        (*device)[1112].value = Variant::I4(3);   // after download: value hidden
        (*device)[1105].value = Variant::I4(100); // hidden, still raised
        (*device)[1109].value = Variant::I4(1);   // end of lock, hidden while no additional function
        (*device)[1103].value = Variant::I4(173);
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        m.CreateScene(1);
        m.AddGroupToScene(1, 1, 160);
        m.SetParameterLong(GetSceneValueUniqueNr(1, 1), 160);
        m.CreateEffect(1);
        QVERIFY(m.AddGroupToEffectStep(1, 1, 1, 100));
        m.CreateEffect(2);
        QVERIFY(m.AddGroupToEffectStep(2, 1, 1, 0)); // off is never raised
        window.GetTree()->Select(window.GetTree()->FindNode(NodeGroup, 1));
        auto* page = dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage());
        QVERIFY(page);
        auto* base = page->Item<QComboBox>(208);
        auto* max = page->Item<QComboBox>(210);
        for (int v : Offered(base))
            QVERIFY(v <= 160);
        for (int v : Offered(max))
            QVERIFY(v >= 129);

        m_prompt.answers = {PromptAnswer::No};
        Choose(base, 129);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(m_prompt.boxes[0].text)
                    .startsWith(QStringLiteral("Smaller than min value (30 %)")));
        QCOMPARE(base->currentData().toInt(), 1);
        for (auto [n, v] : {std::pair{1102, 1}, {1104, 50}, {1105, 100}, {1109, 1}})
            QCOMPARE(Value(*device, n), v);
        QCOMPARE(int(m.GetEffectValue(1, 1, 1)), 100);

        m_prompt.answers = {PromptAnswer::Yes};
        Choose(base, 129);
        for (auto [n, v] : {std::pair{1102, 129}, {1104, 129}, {1105, 129}, {1109, 129}})
            QCOMPARE(Value(*device, n), v);
        QCOMPARE(Value(*device, GetSceneValueUniqueNr(1, 1)), 160);
        QCOMPARE(int(m.GetEffectValue(1, 1, 1)), 129);
        QCOMPARE(int(m.GetEffectValue(2, 1, 1)), 0);
        QCOMPARE(page->Item<QComboBox>(212)->currentData().toInt(), 129);
        // The max window now starts above the new base.
        QCOMPARE(Offered(max).first(), 140);

        // Narrowing from above catches the scene value.
        m_prompt.answers = {PromptAnswer::Yes};
        Choose(max, 150);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{3});
        QVERIFY(QString::fromStdString(m_prompt.boxes[2].text)
                    .startsWith(QStringLiteral("Larger than max value (50 %)")));
        QCOMPARE(Value(*device, 1103), 150);
        QCOMPARE(Value(*device, GetSceneValueUniqueNr(1, 1)), 150);
        QCOMPARE(Value(*device, 1104), 129);

        // Widening asks nothing and changes nothing else.
        const auto before = fixture::Values(*device);
        Choose(base, 100);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{3});
        auto after = fixture::Values(*device);
        after[1102] = before.at(1102);
        QCOMPARE(after, before);
    }

    void hiddenValuesMoveWithoutAQuestion()
    {
        auto device = fixture::MakeGateway();
        AddGroupPageParameters(*device, 1);
        (*device)[1123].value = Variant::I4(1);
        (*device)[1111].value = Variant::I4(1); // raising value hidden
        (*device)[1104].value = Variant::I4(50);
        (*device)[1108].value = Variant::I4(1);
        (*device)[1105].value = Variant::I4(100);    // after download, hidden for now
        device->AddText(939, "Kleiner als %d (%s)"); // a translation that does not fit its format
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        CEtsDbManagement& m = *window.GetModel();
        m.CreateScene(1);
        m.SetParameterLong(GetSceneValueUniqueNr(1, 1), 20); // the group is not in scene 1
        window.GetTree()->Select(window.GetTree()->FindNode(NodeGroup, 1));
        auto* page = dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage());
        QVERIFY(page);
        Choose(page->Item<QComboBox>(208), 100);
        QVERIFY(m_prompt.boxes.empty());
        for (auto [n, v] :
             {std::pair{1102, 100}, {1104, 100}, {1108, 100}, {GetSceneValueUniqueNr(1, 1), 100}})
            QCOMPARE(Value(*device, n), v);

        // A visible value now: the question uses the English text in place of the unfit one.
        page->Item<QComboBox>(225)->setCurrentIndex(page->Item<QComboBox>(225)->findData(1));
        emit page->Item<QComboBox>(225)->activated(page->Item<QComboBox>(225)->currentIndex());
        m_prompt.answers = {PromptAnswer::No};
        Choose(page->Item<QComboBox>(208), 129);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(m_prompt.boxes[0].text)
                    .startsWith(QStringLiteral("Smaller than min value (30 %)")));
    }

    // A No to any question of a type change leaves type, assignment and flag as they were.
    void aRefusedTypeChangeKeepsTheAssignment()
    {
        auto device = fixture::MakeGateway();
        for (auto [n, v] : {std::pair{65024, 1}, {65026, 1}, {65047, 1}, {65048, 1}})
            (*device)[n].value = Variant::I4(v);
        const UniqueNr flag = GetMemberBlockUniqueNr(274, 1);
        (*device)[GetGroupUniqueNr(123, 33)].value = Variant::I4(1);
        (*device)[GetMemberBlockUniqueNr(597, 1)].value = Variant::I4(1);
        (*device)[flag].value = Variant::I4(1);
        (*device)[GetMemberUniqueNr(27700, 1)].value = Variant::I4(1); // assigned
        (*device)[GetMemberUniqueNr(26700, 1)].value = Variant::I4(1); // found as an emergency lamp
        auto* object = static_cast<fake::CommObject*>(device->objects->items[0].Get());
        object->standard->parameter = device->byNumber.at(flag)->ui;
        object->standard->condition = Variant::I4(1);
        object->associations->count = 1;

        for (const char* refused : {"GA associations", "EVG assignments"}) {
            AnswerByText prompt;
            prompt.rules = {{refused, PromptAnswer::No}, {"", PromptAnswer::Yes}};
            UiServices::SetPrompt(&prompt);
            CUIParameterDialog window(device.Get(), nullptr);
            QVERIFY(window.Create());
            window.show();
            window.GetTree()->Select(window.GetTree()->FindNode(NodeGroup, 33));
            auto* page = dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage());
            QVERIFY(page);
            auto* type = page->Item<QComboBox>(574);
            QVERIFY(type && type->isVisibleTo(page));
            Choose(type, 6);
            UiServices::SetPrompt(&m_prompt);
            QVERIFY(!prompt.asked.empty());
            QCOMPARE(type->currentData().toInt(), 1);
            QVERIFY(window.GetModel()->IsMemberAssigned(1));
            QCOMPARE(int(window.GetModel()->GetMemberType(1)), 1);
            QCOMPARE(Value(*device, flag), 1);
            QCOMPARE(Value(*device, GetMemberUniqueNr(27700, 1)), 1);
        }
    }

    void aSingleTakesAFreeNumberAtOnceAndAUsedOneAfterTheQuestion()
    {
        auto device = fixture::MakeGateway();
        for (int single : {1, 2})
            (*device)[GetGroupUniqueNr(123, 32 + single)].value = Variant::I4(1);
        (*device)[GetMemberUniqueNr(400, 1)].value = Variant::String("Desk");
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        CPluginTreeCtrlView* tree = window.GetTree();
        auto enter = [&](int single, const char* number) {
            tree->Select(tree->FindNode(NodeGroup, 32 + single));
            auto* page = dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage());
            QVERIFY(page);
            auto* box = page->Item<QLineEdit>(572);
            box->setFocus();
            QCOMPARE(QApplication::focusWidget(), box);
            box->setText(QString::fromLatin1(number));
            tree->setFocus(); // the page applies the number as the box loses the focus
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        enter(1, "2");
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QCOMPARE(m_prompt.boxes[0].text, std::string("Exchange device 1 and 2?"));
        QCOMPARE(window.GetModel()->GetMemberName(1), std::string("Desk"));
        QCOMPARE(dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage())->GetDlgItemText(572),
                 QStringLiteral("1"));

        enter(1, "5");
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QVERIFY(window.GetModel()->SingleExists(5) && !window.GetModel()->SingleExists(1));
        QCOMPARE(window.GetModel()->GetMemberName(5), std::string("Desk"));
        QCOMPARE(tree->SelectedNode(), tree->FindNode(NodeGroup, 37));
        auto* page = dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage());
        QVERIFY(page);
        QCOMPARE(page->GroupNr(), 37);
    }

    void renamingFromTheTreeRefreshesThePage()
    {
        auto device = fixture::MakeGateway();
        AddGroupPageParameters(*device, 1);
        (*device)[1123].value = Variant::I4(1);
        CUIParameterDialog window(device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        CPluginTreeCtrlView* tree = window.GetTree();
        AnswerRename("Living room");
        Key(tree, tree->FindNode(NodeGroup, 1), Qt::Key_F2);
        auto* page = dynamic_cast<CDlgParameterGroupCommon*>(window.ActivePage());
        QVERIFY(page);
        QCOMPARE(page->GetDlgItemText(202), QStringLiteral("Living room"));
        QCOMPARE(window.GetDlgItemText(201), QStringLiteral("[1] Living room"));

        // And the page's name box renames the node.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* name = page->Item<QLineEdit>(202);
        name->setFocus();
        name->setText(QStringLiteral("Hall"));
        tree->setFocus();
        QCOMPARE(tree->FindNode(NodeGroup, 1)->text(0), QStringLiteral("[1] Hall"));
        QCOMPARE(window.GetModel()->GetGroupName(1), std::string("Hall"));
    }
};

QTEST_MAIN(PagesTests)
#include "PagesTests.moc"
