// Every node of the tree shows its page over a real project of the shipped catalogue: the demo project
// and configured projects in every addressing mode with emergency lamps on. Each page shows its
// parameters and writes them; the rules that change several parameters together are tried one by one.
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/UserPrompt.h"
#include "plugin/UIParameterDialog.h"
#include "product/ParameterNumbers.h"
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

std::shared_ptr<const CatalogueModel> ShippedCatalogue()
{
    static std::shared_ptr<const CatalogueModel> model = [] {
        std::string error;
        auto catalogue = Catalogue::Load(Catalogue::DefaultPath(), &error);
        if (!catalogue)
            qFatal("%s", error.c_str());
        return CatalogueModel::Build(std::make_shared<const Catalogue>(std::move(*catalogue)), &error);
    }();
    return model;
}

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

// Node types whose pages come from elsewhere and may not be there yet.
bool PageOfAnotherFamily(int type)
{
    return type == NodeCommissioning || type == NodeTest;
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
                if (row.flags & BindBuffered)
                    QVERIFY2(m.GetUseCentralObject() == m.GetParameterLong(param::kUseCentralObject, 0) &&
                                 m.GetDaliDeviceTypeSetting() ==
                                     m.GetParameterLong(param::kDaliDeviceTypeSetting, 0) &&
                                 m.GetEmergencyFeedback() == m.GetParameterLong(param::kEmergencyFeedback, 0),
                             qPrintable(at + ": the model's copy lags"));
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
        CUIParameterDialog window(project.Device(), nullptr);
        QVERIFY(window.Create());
        window.show();
        for (const NodeId& id : AllNodes(window.GetTree())) {
            const QString where =
                QStringLiteral("%1, node type %2 number %3").arg(name).arg(id.type).arg(id.number);
            CParameterDialog* page = Open(window, id.type, id.number);
            if (!page)
                continue; // gone with a rebuild
            s_types.insert(id.type);
            QVERIFY2(!qobject_cast<CDlgPlaceholderPage*>(page) || PageOfAnotherFamily(id.type),
                     qPrintable(where + " shows the placeholder"));
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
    void cleanupTestCase()
    {
        UiServices::SetPrompt(nullptr);
        QString missing;
        for (int t = 1; t <= 34; ++t)
            if (!s_types.count(t))
                missing += QStringLiteral(" %1").arg(t);
        qInfo("%d node types, %d values written, not seen:%s", static_cast<int>(s_types.size()), s_written,
              qPrintable(missing));
        // Every node type of the tree but the member's own node (a tree of members needs found gear).
        QVERIFY(s_types.size() >= 33);
        QVERIFY(s_written > 500);
    }
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
};

QTEST_MAIN(CataloguePagesTests)
#include "CataloguePagesTests.moc"
