// The documentation printout of a fully configured gateway, read back from the PDF's text: its sections
// in order with their headings and values, from the model, the page's Print button and the command.
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/ProgressBox.h"
#include "model/UserPrompt.h"
#include "plugin/UIParameterDialog.h"
#include "product/ParameterNumbers.h"
#include "tests/integration/ShippedCatalogue.h"
#include "trace/TraceCapture.h"
#include "ui/DlgParameterExportImport.h"
#include "ui/DlgQueryImportPrint.h"
#include "ui/DocumentationPrinter.h"
#include "ui/UiServices.h"

#include <QApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

using hostproject::ShippedCatalogue;

// Groups with and without members, devices, scenes, effects of one and of three steps, emergency lamps,
// an association and commissioned gear.
void ConfigureFully(CEtsDbManagement& model, int addressingMode)
{
    model.SetParameterLong(param::kAddressingMode, addressingMode);
    model.SetAddressingMode(addressingMode);
    model.SetParameterLong(param::kEmergencyLamps, 1);
    model.SetDeviceContext(param::kEmergencyLamps, 1);
    model.SetParameterLong(param::kEmergencyLampSystem, 2);
    model.SetDeviceContext(param::kEmergencyLampSystem, 2);
    model.CreateGroup(1);
    model.SetGroupName(1, "Entrance hall");
    model.AddGroupMember(1, 1);
    model.SetMemberName(1, "Downlight door");
    model.AddGroupMember(1, 2);
    model.SetMemberName(2, "Downlight stairs");
    model.CreateGroup(2);
    model.SetGroupName(2, "Store room");
    model.CreateGroup(3);
    model.SetGroupName(3, "Office");
    model.AddGroupMember(3, 3);
    model.SetMemberName(3, "Panel window row");
    if (model.GetSingleCount() != 0) {
        model.CreateSingle(10);
        model.SetMemberName(10, "Reception desk");
        model.CreateSingle(11);
        model.SetMemberName(11, "Exit sign");
    }
    model.CreateScene(1);
    model.SetSceneName(1, "Presentation");
    model.AddGroupToScene(1, 3, 0x100 | 114);
    model.SetSaveFunction(1, 3, true);
    model.AddGroupToScene(1, 1, 0x100 | 173);
    if (model.GetSingleCount() != 0)
        model.AddGroupToScene(1, 32 + 10, 0x100 | 89);
    model.CreateEffect(1);
    model.SetEffectName(1, "Blink");
    model.AddGroupToEffectStep(1, 1, 1, 173);
    model.CreateEffect(2);
    model.SetEffectName(2, "Welcome");
    model.CreateEffectStep(2, 0);
    model.CreateEffectStep(2, 1);
    model.AddGroupToEffectStep(2, 1, 1, 173);
    model.AddGroupToEffectStep(2, 2, 96 + 1, 0);
    model.AddGroupToEffectStep(2, 3, 3, 0);
    ObjectAssociationMap associations;
    ObjectAssociationRecord record;
    record.addresses = "1";
    associations[1] = record;
    model.SetDeviceObjectAssociations(associations, nullptr);
    model.SetMemberRandomNr(1, 0x123456);
    model.SetMemberAssigned(1, true);
    model.SetMemberRandomNr(5, 0x654321);
}

// The PDF's text, a line each without empty lines, its blanks simplified: pdftotext only estimates
// the width of a run of blanks.
QStringList PdfText(const QString& pdf)
{
    QProcess process;
    process.start("pdftotext", {"-layout", pdf, "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    QStringList lines;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        const QString trimmed = line.simplified();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

// The lines of the printout's body: without the page headers and footers.
QStringList Body(const QStringList& lines)
{
    QStringList body;
    for (const QString& line : lines)
        if (!line.startsWith("Project:") && !line.startsWith("Device:") && !line.startsWith("Description:") &&
            !line.startsWith("Page "))
            body << line;
    return body;
}

// Each text found as a line after the one before it; the failure names the first one missing.
QString MissingInOrder(const QStringList& lines, const QStringList& texts)
{
    qsizetype at = 0;
    for (const QString& text : texts) {
        while (at < lines.size() && lines[at] != text)
            ++at;
        if (at == lines.size())
            return text;
        ++at;
    }
    return {};
}

std::tm FixedTime()
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 11;
    t.tm_min = 30;
    return t;
}

} // namespace

class PrintoutTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ScriptedPrompt m_prompt;
    int m_counter = 0;

    std::unique_ptr<HostSession> OpenProject(QString* path = nullptr)
    {
        std::string error;
        NewProjectOptions options;
        options.demoGroupAddresses = true;
        const QString file = m_dir.filePath(QString("p%1.veltrona").arg(++m_counter));
        if (path)
            *path = file;
        auto store = CreateGatewayProject(file.toStdString(), ShippedCatalogue()->Source(), options, &error);
        if (!store)
            qFatal("%s", error.c_str());
        auto session = HostSession::Open(store, ShippedCatalogue(), &error);
        if (!session || session->BeginEditing() != S_OK)
            qFatal("the project cannot be edited: %s", error.c_str());
        return session;
    }

    QStringList Print(const CEtsDbManagement& model, bool assignments, int* pages = nullptr)
    {
        PrintLineList list;
        if (assignments)
            model.AddPrintOverview(list, "Group assignments", nullptr);
        else
            model.AddPrintAll(list, nullptr);
        const QString file = m_dir.filePath(QString("printout%1.pdf").arg(++m_counter));
        CDocumentationPrinter printer(model.GetPrintHeader());
        printer.SetTime(FixedTime);
        if (!printer.StartPrinting(file))
            return {};
        printer.PrintLines(list);
        printer.EndPrinting();
        if (pages)
            *pages = printer.PageCount();
        return PdfText(file);
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
        CDocumentationPrinter::SetPrintDialog(nullptr);
    }

    void completeDocumentationHasEverySectionInOrder()
    {
        auto session = OpenProject();
        CUIParameterDialog window(session->Device().Get(), nullptr);
        QVERIFY(window.Create());
        CEtsDbManagement& model = *window.GetModel();
        ConfigureFully(model, 4);
        const std::string before = model.GetParameterString(param::kAddressingMode, "");

        int pages = 0;
        const QStringList text = Print(model, false, &pages);
        QVERIFY2(!text.isEmpty(), "pdftotext gave nothing");
        QVERIFY(pages > 1);
        // Every page: the three header lines and the footer with its number and the fixed time.
        QCOMPARE(text.count(QString("Project: %1").arg(QString::fromStdString(model.GetProjectName()))),
                 pages);
        QVERIFY(text.contains("Page 1 10.12.26 11:30"));
        QVERIFY(text.contains(QString("Page %1 10.12.26 11:30").arg(pages)));

        const QStringList body = Body(text);
        const QString missing = MissingInOrder(body, {"General:",
                                                      "Objects:",
                                                      "Manual control:",
                                                      "Addressing:",
                                                      "Addressing: Groups 1-32 and devices 1-64",
                                                      "Groups:",
                                                      "[1] Entrance hall:",
                                                      "Switching:",
                                                      "Dimming:",
                                                      "Switch style:",
                                                      "Staircase function:",
                                                      "Hourmeter:",
                                                      "Emergency lamps centrally supplied:",
                                                      "Objects:",
                                                      "Devices of the group:",
                                                      "[1] Downlight door",
                                                      "[2] Downlight stairs",
                                                      "[2] Store room:",
                                                      "Devices of the group:",
                                                      "[3] Office:",
                                                      "Devices of the group:",
                                                      "[3] Panel window row",
                                                      "Devices:",
                                                      "[10] Reception desk:",
                                                      "Emergency lamps individually supplied:",
                                                      "[11] Exit sign:",
                                                      "Scenes:",
                                                      "[1] Presentation:",
                                                      "Groups:",
                                                      "[1] Entrance hall: 100 %, Save = no",
                                                      "[3] Office: 20 %, Save = yes",
                                                      "Devices:",
                                                      "Effects:",
                                                      "[1] Blink:",
                                                      "Stop:",
                                                      "Groups:",
                                                      "[2] Welcome:",
                                                      "[1] Step:",
                                                      "[2] Step:",
                                                      "Scenes:",
                                                      "[1] Presentation",
                                                      "Stop:",
                                                      "Available devices:",
                                                      "[1] Downlight door: assigned",
                                                      "Group: [1] Entrance hall",
                                                      "[5] Member: not assigned"});
        QVERIFY2(missing.isEmpty(),
                 qPrintable("missing or out of order: " + missing + "\n" + body.join('\n')));

        // The group without members: its member heading, and no member before the next group.
        const qsizetype store = body.indexOf("[2] Store room:");
        const qsizetype members = body.indexOf("Devices of the group:", store);
        QCOMPARE(body.value(members + 1), QString("[3] Office:"));
        // The one-step effect prints that step as the closing step, without a delay.
        const qsizetype blink = body.indexOf("[1] Blink:");
        const qsizetype welcome = body.indexOf("[2] Welcome:");
        for (qsizetype i = blink; i < welcome; ++i)
            QVERIFY2(!body[i].startsWith("[1] Step") && !body[i].contains("Delay time"), qPrintable(body[i]));
        // The three-step effect: delays for its two steps, none for the closing one.
        const qsizetype stop = body.indexOf("Stop:", welcome);
        QCOMPARE(body.mid(welcome, stop - welcome).filter(QRegularExpression("^Delay time")).size(), 2);
        QVERIFY(!body.mid(stop, body.indexOf("Available devices:") - stop).join('\n').contains("Delay time"));

        // Printing only reads.
        QCOMPARE(model.GetParameterString(param::kAddressingMode, ""), before);
    }

    void platformPrintDialogOffersAPdfFileAndItsCancelPrintsNothing()
    {
        CDocumentationPrinter::SetPrintDialog(nullptr);
        bool offered = false, shown = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            shown = true;
            offered = dialog->testOption(QAbstractPrintDialog::PrintToFile) &&
                      !dialog->testOption(QAbstractPrintDialog::PrintSelection) &&
                      !dialog->testOption(QAbstractPrintDialog::PrintPageRange);
            dialog->reject();
        });
        CDocumentationPrinter printer(PrintHeader{});
        QVERIFY(!printer.StartPrinting(static_cast<QWidget*>(nullptr)));
        QVERIFY(shown);
        QVERIFY(offered);
        QCOMPARE(printer.PageCount(), 0);
    }

    void progressNamesEachSectionAsItIsCollected()
    {
        struct Recorder final : CNullProgressBox
        {
            void SetInfoText2(const std::string& text) override { texts << QString::fromStdString(text); }
            QStringList texts;
        };
        auto session = OpenProject();
        CEtsDbManagement model(session->Device().Get());
        model.LoadDeviceParameterPointers();
        model.InitLightnessValueLists();
        model.LoadBufferedParameters();
        ConfigureFully(model, 4);
        PrintLineList list;
        Recorder all;
        model.AddPrintAll(list, &all);
        QCOMPARE(all.texts.size(), 2 + 32 + 64 + 1 + 16 + 1 + 16 + 1);
        QCOMPARE(all.texts.mid(0, 3), (QStringList{"General", "Manual control", "[1] Group"}));
        QCOMPARE(all.texts.mid(33, 2), (QStringList{"[32] Group", "[1] Member"}));
        QCOMPARE(all.texts.mid(97, 3), (QStringList{"[64] Member", "Scenes", "[1] Scene"}));
        QCOMPARE(all.texts.mid(115, 2), (QStringList{"Effects", "[1] Effect"}));
        QCOMPARE(all.texts.last(), QString("Commissioning"));
        Recorder overview;
        model.AddPrintOverview(list, "Group assignments", &overview);
        QCOMPARE(overview.texts.size(), 32 + 64);
        QCOMPARE(overview.texts.first(), QString("[1] Group"));
        QCOMPARE(overview.texts.last(), QString("[64] Member"));
    }

    void staircaseLinesFollowTheEndBehaviour()
    {
        auto session = OpenProject();
        CEtsDbManagement model(session->Device().Get());
        model.LoadDeviceParameterPointers();
        model.InitLightnessValueLists();
        model.LoadBufferedParameters();
        model.CreateGroup(1);
        model.SetParameterLong(GetGroupUniqueNr(408, 1), 1);
        model.SetParameterLong(GetGroupUniqueNr(411, 1), 1);
        struct Case
        {
            int endBehaviour;
            bool reduced, warningTime;
        } cases[] = {{0, false, false}, {1, true, true}, {2, true, false}};
        for (const Case& c : cases) {
            model.SetParameterLong(GetGroupUniqueNr(426, 1), c.endBehaviour);
            TraceCapture trace;
            PrintLineList list;
            model.AddPrintGroup(list, 1);
            bool reduced = false, warningTime = false;
            for (const PrintLine& line : list) {
                reduced |= line.text.starts_with("Reduced lightness during advance warning: ");
                warningTime |= line.text == "Advance warning time [hh:mm:ss]: 00:00:30";
            }
            QCOMPARE(reduced, c.reduced);
            QCOMPARE(warningTime, c.warningTime);
            // What the host hides is left out, and the trace says why.
            QVERIFY(trace.Contains(": invisible"));
        }
    }

    void withoutSinglesNeitherContentHasADevicesSection()
    {
        auto session = OpenProject();
        CUIParameterDialog window(session->Device().Get(), nullptr);
        QVERIFY(window.Create());
        CEtsDbManagement& model = *window.GetModel();
        ConfigureFully(model, 2);
        QCOMPARE(model.GetSingleCount(), 0);
        for (bool assignments : {false, true}) {
            const QStringList body = Body(Print(model, assignments));
            QVERIFY(body.contains("Groups:"));
            QVERIFY2(!body.contains("Devices:"), qPrintable(body.join('\n')));
        }
    }

    void printButtonPrintsTheChosenContentIntoAPdfFile()
    {
        auto session = OpenProject();
        CUIParameterDialog window(session->Device().Get(), nullptr);
        QVERIFY(window.Create());
        ConfigureFully(*window.GetModel(), 4);
        CDlgParameterExportImport page(window);
        QVERIFY(page.Create());
        QVERIFY(page.GetDlgItem(210)->isEnabled());

        int dialogs = 0;
        QString file;
        CDocumentationPrinter::SetPrintDialog([&](QPrinter& printer, QWidget*) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
            return !file.isEmpty();
        });
        // Answers the query with an option (0: Cancel), checking its texts.
        auto answer = [](int option) {
            QTimer::singleShot(0, [option] {
                auto* query = qobject_cast<CDlgQueryImportPrint*>(QApplication::activeModalWidget());
                if (!query)
                    return;
                QCOMPARE(query->windowTitle(), QString("Print"));
                QCOMPARE(query->GetDlgItemText(506), QString("Group assignments"));
                QCOMPARE(query->GetDlgItemText(507), QString("Complete documentation"));
                if (auto* button = query->Item<QRadioButton>(option == 1 ? 506 : 507))
                    button->setChecked(true);
                if (auto* button = query->Item<QPushButton>(option == 0 ? 2 : 1))
                    button->click();
            });
        };

        // Cancel in the query: no print dialog; Cancel in the print dialog: no file.
        answer(0);
        page.OnBnClickedBtnPrint();
        QCOMPARE(dialogs, 0);
        answer(2);
        page.OnBnClickedBtnPrint();
        QCOMPARE(dialogs, 1);

        // A file that cannot be written is said, not passed over.
        file = m_dir.filePath("missing/folder/x.pdf");
        answer(2);
        page.OnBnClickedBtnPrint();
        QCOMPARE(m_prompt.boxes.size(), std::size_t{1});
        QVERIFY(m_prompt.boxes[0].text.find("cannot be written") != std::string::npos);
        m_prompt.boxes.clear();

        file = m_dir.filePath("assignments.pdf");
        answer(1);
        page.OnBnClickedBtnPrint();
        const QStringList assignments = Body(PdfText(file));
        QCOMPARE(assignments.value(0), QString("Group assignments"));
        const QString missing = MissingInOrder(
            assignments, {"Groups:", "[1] Entrance hall:", "Devices of the group:", "[1] Downlight door",
                          "[2] Store room:", "Devices of the group:", "[3] Office:", "Devices:",
                          "[10] Reception desk:", "[11] Exit sign:"});
        QVERIFY2(missing.isEmpty(), qPrintable(missing + "\n" + assignments.join('\n')));
        QVERIFY(!assignments.contains("General:"));

        file = m_dir.filePath("complete.pdf");
        answer(2);
        page.OnBnClickedBtnPrint();
        const QStringList complete = Body(PdfText(file));
        QCOMPARE(complete.value(0), QString("General:"));
        QVERIFY(complete.contains("Available devices:"));
        QVERIFY(m_prompt.boxes.empty());
        CDocumentationPrinter::SetPrintDialog(nullptr);
    }

    void printCommandWritesTheProjectsPrintoutWithAFixedTime()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        auto run = [&](const QStringList& arguments, QString* output = nullptr, QString* errors = nullptr) {
            QProcess process;
            process.setProcessEnvironment(environment);
            process.start(VELTRONA_EXECUTABLE, arguments);
            if (!process.waitForFinished(60000))
                return -1;
            if (output)
                *output = QString::fromUtf8(process.readAllStandardOutput());
            if (errors)
                *errors = QString::fromUtf8(process.readAllStandardError());
            return process.exitCode();
        };
        // A fully configured project, saved.
        QString project;
        {
            auto session = OpenProject(&project);
            CEtsDbManagement model(session->Device().Get());
            model.LoadDeviceParameterPointers();
            model.InitLightnessValueLists();
            model.LoadBufferedParameters();
            ConfigureFully(model, 4);
            QCOMPARE(session->EndEditing(S_OK), S_OK);
        }

        // SOURCE_DATE_EPOCH 1796902200 is 10.12.2026 11:30 UTC.
        environment.insert("SOURCE_DATE_EPOCH", "1796902200");
        const QString complete = m_dir.filePath("project.pdf");
        QString output, errors;
        QCOMPARE(run({"print", project, complete}, &output, &errors), 0);
        QVERIFY2(output.contains(" page"), qPrintable(output));
        // The same sections as in the window, named on the terminal as they are collected.
        QVERIFY2(errors.contains("Complete documentation: [3] Group") && errors.contains("Commissioning"),
                 qPrintable(errors));
        const QStringList text = PdfText(complete);
        QVERIFY(text.contains("Page 1 10.12.26 11:30"));
        // The header names the project and the device as the window does.
        QVERIFY2(text.value(0).startsWith("Project: ") && text.value(1).contains("Address: 1.1.1"),
                 qPrintable(text.mid(0, 3).join('\n')));
        QVERIFY(Body(text).contains("[1] Entrance hall:"));

        // An option wins over the environment; the group assignments alone.
        const QString assignments = m_dir.filePath("assignments.pdf");
        QCOMPARE(run({"print", project, assignments, "--assignments", "--time", "2027-01-02T08:05"}), 0);
        const QStringList overview = PdfText(assignments);
        QVERIFY(overview.contains("Page 1 02.01.27 08:05"));
        QCOMPARE(Body(overview).value(0), QString("Group assignments"));
        QVERIFY(!Body(overview).contains("General:"));

        // Wrong use and a file that cannot be written.
        QCOMPARE(run({"print", project}), 2);
        QCOMPARE(run({"print", project, assignments, "--time", "tomorrow"}), 2);
        QCOMPARE(run({"print", project, m_dir.filePath("missing/folder/x.pdf")}, nullptr, &errors), 1);
        QVERIFY2(errors.contains("cannot be written"), qPrintable(errors));
        environment.insert("SOURCE_DATE_EPOCH", "yesterday");
        QCOMPARE(run({"print", project, complete}, nullptr, &errors), 1);
        QVERIFY2(errors.contains("SOURCE_DATE_EPOCH"), qPrintable(errors));
    }
};

QTEST_MAIN(PrintoutTests)
#include "PrintoutTests.moc"
