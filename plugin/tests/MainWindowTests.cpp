#include "model/tests/GatewayFixture.h"
#include "plugin/UIParameterDialog.h"
#include "ui/UiServices.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A page with an edit box, to press Enter in.
class EditPage final : public CParameterDialog
{
public:
    explicit EditPage(IMainWindow& main) : CParameterDialog(200, main) {}

protected:
    bool OnInitDialog() override
    {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("edit"));
        edit->setGeometry(10, 10, 100, 20);
        return true;
    }
};

std::unique_ptr<QSettings> Placement()
{
    auto s = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                         QStringLiteral("veltrona"), QStringLiteral("veltrona"));
    s->beginGroup(QStringLiteral("VeltronaR3"));
    return s;
}

} // namespace

class MainWindowTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ScriptedPrompt m_prompt;
    ComPtr<fake::Device> m_device;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        UiServices::SetPrompt(&m_prompt);
    }
    void init()
    {
        m_prompt = ScriptedPrompt{};
        m_device = fixture::MakeGateway();
        m_device->AddText(904, "DALI not up to date");
        m_device->AddText(905, "Download necessary");
        Placement()->remove(QString());
    }
    void cleanupTestCase() { UiServices::SetPrompt(nullptr); }

    void okAfterAStructuralChangeWritesANewProjectIdentity()
    {
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        window.GetModel()->CreateGroup(2);
        QTest::mouseClick(window.Item<QPushButton>(1), Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        const QDate today = QDate::currentDate();
        QCOMPARE((*m_device)[722].value.IntPart(), today.day() * 256 + today.month());
        QCOMPARE((*m_device)[723].value.IntPart(), today.year());
        QVERIFY((*m_device)[721].value.IntPart() < 32768);
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QCOMPARE(m_prompt.boxes[0].text, std::string("DALI not up to date\nDownload necessary"));
    }

    void okWithoutAStructuralChangeWritesNoIdentity()
    {
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        QTest::mouseClick(window.Item<QPushButton>(1), Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE((*m_device)[723].writes, 0);
        QVERIFY(m_prompt.boxes.empty());
    }

    void cancelAsksOnlyAfterAWrite()
    {
        {
            CUIParameterDialog window(m_device.Get(), nullptr);
            QVERIFY(window.Create());
            window.show();
            QTest::mouseClick(window.Item<QPushButton>(2), Qt::LeftButton);
            QVERIFY(m_prompt.boxes.empty());
            QCOMPARE(window.result(), int(QDialog::Rejected));
        }
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        window.GetModel()->SetGroupName(1, "Hall");
        m_prompt.answers = {PromptAnswer::Cancel};
        QTest::mouseClick(window.Item<QPushButton>(2), Qt::LeftButton);
        QCOMPARE(m_prompt.boxes.back().text, std::string("Data getting lost"));
        QVERIFY(window.isVisible());
        m_prompt.answers = {PromptAnswer::Ok};
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Rejected));
    }

    void enterInsideAPageDoesNotClose()
    {
        CUIParameterDialog window(m_device.Get(), nullptr);
        window.RegisterPage(NodeGeneral, [](IMainWindow& main, QTreeWidgetItem*) {
            return std::make_unique<EditPage>(main);
        });
        QVERIFY(window.Create());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* edit = window.findChild<QLineEdit*>(QStringLiteral("edit"));
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(window.isVisible());
    }

    void theWindowGrowsByItsAnchors()
    {
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        QWidget* area = window.GetTree()->parentWidget()->findChild<CDlgParameterClientArea*>();
        QVERIFY(area);
        const QSize start = window.size();
        const QRect tree = window.GetTree()->geometry(), page = area->geometry();
        const QRect ok = window.GetDlgItem(1)->geometry(), label = window.GetDlgItem(201)->geometry();
        window.resize(window.width() + 100, window.height() + 40);
        QCOMPARE(window.GetTree()->geometry(), tree.adjusted(0, 0, 100, 40));
        QCOMPARE(area->geometry(), page.adjusted(100, 0, 100, 40));
        QCOMPARE(window.GetDlgItem(1)->geometry(), ok.translated(100, 40));
        QCOMPARE(window.GetDlgItem(201)->geometry(), label.translated(100, 0));
        // It cannot shrink below its start size: a resize to less stops there.
        QVERIFY(window.minimumWidth() > 100 && window.minimumHeight() > 100);
        QVERIFY(window.minimumWidth() <= start.width() && window.minimumHeight() <= start.height());
        window.resize(100, 100);
        QCOMPARE(window.size(), window.minimumSize());
    }

    void placementSurvivesASessionAndAnOversizedOneIsIgnored()
    {
        {
            CUIParameterDialog window(m_device.Get(), nullptr);
            QVERIFY(window.Create());
            window.show();
            window.setGeometry(40, 50, window.width() + 30, window.height() + 20);
            QTest::mouseClick(window.Item<QPushButton>(1), Qt::LeftButton);
        }
        auto stored = Placement();
        QCOMPARE(stored->value("x").toInt(), 40);
        QCOMPARE(stored->value("zoomed").toInt(), 0);
        const int cx = stored->value("cx").toInt();
        stored.reset();
        {
            CUIParameterDialog window(m_device.Get(), nullptr);
            QVERIFY(window.Create());
            QCOMPARE(window.geometry().topLeft(), QPoint(40, 50));
            QCOMPARE(window.width(), cx);
        }
        Placement()->setValue("cx", 100000);
        Placement()->setValue("zoomed", 1);
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        QVERIFY(window.width() < 100000);
        QVERIFY(window.windowState() & Qt::WindowMaximized);
    }

    void theLabelNamesTheNodeWithItsOwner()
    {
        m_device = fixture::MakeGateway();
        (*m_device)[1123].value = Variant::I4(1);
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        CPluginTreeCtrlView* tree = window.GetTree();
        QTreeWidgetItem* switching = tree->FindNode(NodeSwitching, 1);
        QVERIFY(switching);
        tree->Select(switching);
        QCOMPARE(window.GetDlgItemText(201), QStringLiteral("[1] Group - Switching"));
        QVERIFY(window.ActivePage());
    }

    void theTestNodeWithoutAGatewayShowsWhy()
    {
        CUIParameterDialog window(m_device.Get(), nullptr);
        QVERIFY(window.Create());
        window.show();
        window.GetTree()->Select(window.GetTree()->FindNode(NodeTest));
        auto* page = dynamic_cast<CDlgNoLifeDeviceConnection*>(window.ActivePage());
        QVERIFY2(page, window.ActivePage() ? window.ActivePage()->metaObject()->className() : "none");
        QVERIFY(page->GetDlgItemText(271).startsWith(QStringLiteral("No connection to DALI gateway")));
        QVERIFY(!window.VerifiedConnection());
        QVERIFY(window.isEnabled());

        window.GetModel()->CreateGroup(3); // a changed configuration is not tested before its download
        window.GetTree()->Select(window.GetTree()->FindNode(NodeGeneral));
        window.GetTree()->Select(window.GetTree()->FindNode(NodeTest));
        page = dynamic_cast<CDlgNoLifeDeviceConnection*>(window.ActivePage());
        QVERIFY(page);
        QCOMPARE(page->GetDlgItemText(271), QStringLiteral("DALI not up to date\nDownload necessary"));
    }

    void withoutADeviceTheSessionEndsWithCancel()
    {
        CUIParameterDialog window(nullptr, nullptr);
        QCOMPARE(window.Run(), int(QDialog::Rejected));
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QCOMPARE(m_prompt.boxes[0].text, std::string("Zugriff auf die Ets konnte nicht erzeugt werden!"));
    }
};

QTEST_MAIN(MainWindowTests)
#include "MainWindowTests.moc"
