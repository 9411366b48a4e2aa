// The export/import page in the main window over a real project: its questions, the file it writes
// and reads back, and the error an unreadable file gives.
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/UserPrompt.h"
#include "plugin/UIParameterDialog.h"
#include "tests/integration/ShippedCatalogue.h"
#include "ui/DlgParameterExportImport.h"
#include "ui/DlgQueryImportPrint.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

using hostproject::ShippedCatalogue;

// Answers the next import question by choosing an option and pressing OK (0: Cancel).
void AnswerQuery(int option)
{
    QTimer::singleShot(0, [option] {
        auto* query = qobject_cast<CDlgQueryImportPrint*>(QApplication::activeModalWidget());
        if (!query)
            return;
        if (option == 0) {
            if (auto* cancel = query->Item<QPushButton>(2))
                cancel->click();
            return;
        }
        if (auto* b = query->Item<QRadioButton>(option == 1 ? 506 : 507))
            b->setChecked(true);
        if (auto* ok = query->Item<QPushButton>(1))
            ok->click();
    });
}

} // namespace

class ExchangePageTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedPrompt m_prompt;
    QStringList m_fileDialogs;
    QString m_nextFile;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        UiServices::SetPrompt(&m_prompt);
        UiServices::SetFileDialog(
            [this](QWidget*, const QString& caption, const QString&, const QString&, bool) {
                m_fileDialogs << caption;
                return m_nextFile;
            });
    }
    void cleanupTestCase()
    {
        UiServices::SetPrompt(nullptr);
        UiServices::SetFileDialog(nullptr);
    }

    void exportThenImportGivesTheConfigurationBackAfterTheQuestions()
    {
        std::string error;
        NewProjectOptions options;
        options.demoGroupAddresses = true;
        auto store = CreateGatewayProject(m_dir.filePath("p.veltrona").toStdString(),
                                          ShippedCatalogue()->Source(), options, &error);
        QVERIFY2(store, error.c_str());
        auto session = HostSession::Open(store, ShippedCatalogue(), &error);
        QVERIFY2(session, error.c_str());
        QCOMPARE(session->BeginEditing(), S_OK);

        CUIParameterDialog window(session->Device().Get(), nullptr);
        QVERIFY(window.Create());
        CEtsDbManagement& model = *window.GetModel();
        model.CreateGroup(3);
        model.SetGroupName(3, "Hall");
        model.AddGroupMember(3, 5);

        // The tree's node shows this page.
        window.show();
        window.GetTree()->Select(window.GetTree()->FindNode(NodeExportImport));
        QVERIFY(qobject_cast<CDlgParameterExportImport*>(window.ActivePage()));

        CDlgParameterExportImport page(window);
        QVERIFY(page.Create());
        QVERIFY(page.GetDlgItem(210)->isEnabled());
        QVERIFY(page.GetDlgItemText(215).endsWith("..."));
        QVERIFY(page.GetDlgItemText(216).endsWith("..."));

        // Export: a name without an extension gets ".xml".
        m_nextFile = m_dir.filePath("config-export");
        page.OnBnClickedBtnExport();
        QFile file(m_nextFile + ".xml");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("<Group3>") || text.contains(":Group3>"));
        QVERIFY(m_prompt.boxes.empty());

        model.DeleteGroup(3);
        QVERIFY(!model.GroupExists(3));
        m_nextFile = m_dir.filePath("config-export.xml");

        // No to the first question, then Cancel in the second: nothing asked further, nothing changed.
        m_fileDialogs.clear();
        m_prompt.answers = {PromptAnswer::No};
        page.OnBnClickedBtnImport();
        m_prompt.answers = {PromptAnswer::Yes};
        AnswerQuery(0);
        page.OnBnClickedBtnImport();
        QVERIFY(m_fileDialogs.isEmpty());
        QVERIFY(!model.GroupExists(3));

        // Yes, with group addresses: the group and its member come back.
        m_prompt.boxes.clear();
        m_prompt.answers = {PromptAnswer::Yes};
        AnswerQuery(1);
        page.OnBnClickedBtnImport();
        QCOMPARE(m_fileDialogs.size(), 1);
        QVERIFY(model.GroupExists(3));
        QCOMPARE(QString::fromStdString(model.GetGroupName(3)), QString("Hall"));
        QVERIFY(model.IsGroupMember(3, 5));
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QVERIFY(m_prompt.boxes[0].text.find("replaces the whole configuration") != std::string::npos);

        // A file that is no XML: the host's text and the reason, and the configuration stays.
        QFile broken(m_dir.filePath("broken.xml"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("<Veltrona><Common>");
        broken.close();
        m_nextFile = broken.fileName();
        m_prompt.boxes.clear();
        m_prompt.answers = {PromptAnswer::Yes};
        AnswerQuery(2);
        page.OnBnClickedBtnImport();
        QCOMPARE(m_prompt.boxes.size(), std::size_t{2});
        QVERIFY(m_prompt.boxes[1].text.find("Error in import") == 0);
        QVERIFY(m_prompt.boxes[1].text.find("no readable XML") != std::string::npos);
        QVERIFY(model.GroupExists(3));
    }

    void theQueryStartsOnTheSecondOptionAndReportsTheChoice()
    {
        int choice = -1;
        CDlgQueryImportPrint query(nullptr, {"Title", "One", "first", "Two", "second", "Abort", "Go"},
                                   &choice);
        QVERIFY(query.Create());
        QCOMPARE(query.windowTitle(), QString("Title"));
        QCOMPARE(query.GetDlgItemText(1), QString("Go"));
        QCOMPARE(query.GetDlgItemText(2), QString("Abort"));
        QVERIFY(query.Item<QRadioButton>(507)->isChecked());
        query.Item<QPushButton>(1)->click();
        QCOMPARE(choice, 2);
        QCOMPARE(query.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(ExchangePageTests)
#include "ExchangePageTests.moc"
