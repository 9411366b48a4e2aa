#include "ui/DlgParameterExportImport.h"

#include "exchange/XmlDomExportImport.h"
#include "trace/DebugTrace.h"
#include "ui/DlgProgressControl.h"
#include "ui/DlgQueryImportPrint.h"
#include "ui/DocumentationPrinter.h"
#include "ui/PluginTreeCtrlView.h"
#include "ui/UiServices.h"

#include <QPushButton>

namespace {

constexpr int kBtnExport = 215, kBtnImport = 216, kBtnPrint = 210;

// What an exchange does to the window around it.
class CWindowExchangeView final : public IExchangeView
{
public:
    explicit CWindowExchangeView(IMainWindow& main) : m_main(main) {}
    void UpdateAll() override
    {
        if (CPluginTreeCtrlView* tree = m_main.GetTree())
            tree->UpdateAll();
    }
    void EnableWindow(bool enable) override
    {
        if (QWidget* window = m_main.GetWindow())
            window->setEnabled(enable);
    }

private:
    IMainWindow& m_main;
};

} // namespace

CDlgParameterExportImport::CDlgParameterExportImport(IMainWindow& main) : CParameterDialog(224, main) {}

bool CDlgParameterExportImport::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    // Button texts are the descriptions followed by "..."; without a description the template's stay.
    for (auto [idc, number] : {std::pair{kBtnExport, 812}, {kBtnImport, 817}, {kBtnPrint, 807}}) {
        QString text;
        if (GetDescriptionByNumber(number, text))
            SetDlgItemText(idc, text + "...");
        if (idc == kBtnPrint)
            m_strPrintCaption = text.isEmpty() ? QStringLiteral("Print") : text;
    }
    SetLabelText(501, 864);
    SetLabelText(502, 868);
    SetLabelText(503, 853);
    for (auto [idc, number] : {std::pair{504, 865}, {505, 869}, {506, 856}}) {
        QString text;
        if (GetTextByNumber(number, text))
            SetDlgItemText(idc, text);
    }
    GetTextByNumber(908, m_strGroupAssignments, "Group assignments");
    GetTextByNumber(910, m_strCompleteDocumentation, "Complete documentation");
    return true;
}

void CDlgParameterExportImport::OnCommand(int id)
{
    if (id == kBtnExport)
        OnBnClickedBtnExport();
    else if (id == kBtnImport)
        OnBnClickedBtnImport();
    else if (id == kBtnPrint)
        OnBnClickedBtnPrint();
}

void CDlgParameterExportImport::ShowFailure(UniqueNr textNr, const char* englishDefault,
                                            const std::string& why)
{
    QString text;
    GetTextByNumber(textNr, text, englishDefault);
    if (text.isEmpty())
        text = QString::fromUtf8(englishDefault);
    std::string message = text.toStdString();
    if (!why.empty())
        message += "\n\n" + why;
    UiServices::Prompt().Ask("Veltrona", message, PromptButtons::Ok, PromptIcon::Error);
}

void CDlgParameterExportImport::OnBnClickedBtnExport()
{
    TRACE_ENTRY();
    QString caption;
    GetDescriptionByNumber(812, caption, "Export");
    const QString file =
        UiServices::AskFile(Main().GetWindow(), caption, "XML files (*.xml)", QString(), true, "xml");
    if (file.isEmpty())
        return;
    if (QWidget* window = Main().GetWindow())
        window->repaint();
    CDlgProgressControl progress(Main().GetWindow());
    CXmlDomExportImport exchange(Model(), &UiServices::Prompt(), &progress);
    if (!exchange.ExportXmlFile(file.toStdString()))
        ShowFailure(947, "Error in export", exchange.GetErrorText());
}

void CDlgParameterExportImport::OnBnClickedBtnImport()
{
    TRACE_ENTRY();
    QString caption, first, second, third;
    GetDescriptionByNumber(817, caption, "Import");
    GetTextByNumber(926, first);
    GetTextByNumber(927, second);
    GetTextByNumber(928, third);
    const QString question = first + "\n" + second + "\n\n" + third;
    if (UiServices::Prompt().Ask(caption.toStdString(), question.toStdString(), PromptButtons::YesNo,
                                 PromptIcon::Question) != PromptAnswer::Yes)
        return;

    CDlgQueryImportPrint::Texts texts;
    texts.title = caption;
    GetTextByNumber(920, texts.option1, "Import with group addresses");
    QString a, b, c;
    GetTextByNumber(921, a);
    GetTextByNumber(922, b);
    GetTextByNumber(923, c);
    texts.option1Text = a + " " + b + " " + c;
    GetTextByNumber(924, texts.option2, "Import without group addresses");
    GetTextByNumber(925, texts.option2Text);
    texts.ok = caption;
    texts.cancel = QString::fromStdString(Model().GetLabel(LabelCancel));
    int choice = 0;
    CDlgQueryImportPrint query(Main().GetWindow(), texts, &choice);
    if (!query.Create() || query.exec() != QDialog::Accepted)
        return;
    const bool withGroupAddresses = choice == 1;

    const QString file = UiServices::AskFile(Main().GetWindow(), caption, "XML files (*.xml);;All files (*)",
                                             QString(), false, "xml");
    if (file.isEmpty())
        return;
    if (QWidget* window = Main().GetWindow())
        window->repaint();
    CDlgProgressControl progress(Main().GetWindow());
    CWindowExchangeView view(Main());
    CXmlDomExportImport exchange(Model(), &UiServices::Prompt(), &progress, &view);
    // What the file held and the import could not take, the import shows itself.
    if (!exchange.ImportXmlFile(file.toStdString(), withGroupAddresses))
        ShowFailure(948, "Error in import", exchange.GetErrorText());
}

void CDlgParameterExportImport::OnBnClickedBtnPrint()
{
    TRACE_ENTRY();
    CDlgQueryImportPrint::Texts texts;
    texts.title = m_strPrintCaption;
    texts.option1 = m_strGroupAssignments;
    GetTextByNumber(909, texts.option1Text);
    texts.option2 = m_strCompleteDocumentation;
    QString first, second;
    GetTextByNumber(911, first);
    GetTextByNumber(912, second);
    texts.option2Text = first + " " + second;
    texts.cancel = QString::fromStdString(Model().GetLabel(LabelCancel));
    texts.ok = m_strPrintCaption;
    int choice = 0;
    CDlgQueryImportPrint query(Main().GetWindow(), texts, &choice);
    if (!query.Create() || query.exec() != QDialog::Accepted)
        return;

    CDocumentationPrinter printer(Model().GetPrintHeader());
    if (!printer.StartPrinting(Main().GetWindow())) {
        // A cancel ends quietly; a printer or file that cannot be used is said.
        if (!printer.GetErrorText().isEmpty())
            UiServices::Prompt().Ask(m_strPrintCaption.toStdString(), printer.GetErrorText().toStdString(),
                                     PromptButtons::Ok, PromptIcon::Error);
        return;
    }
    PrintLineList list;
    if (choice == 1)
        AddPrintOverview(list);
    else
        AddPrintAll(list);
    printer.PrintLines(list);
    printer.EndPrinting();
}

void CDlgParameterExportImport::AddPrintAll(PrintLineList& list)
{
    TRACE_ENTRY();
    CDlgProgressControl progress;
    progress.Show(ProgressKind::Polling, m_strPrintCaption.toStdString(),
                  m_strCompleteDocumentation.toStdString(), Model().GetLabel(LabelGeneral), std::string());
    Model().AddPrintAll(list, &progress);
    progress.Close();
}

void CDlgParameterExportImport::AddPrintOverview(PrintLineList& list)
{
    TRACE_ENTRY();
    CDlgProgressControl progress;
    progress.Show(ProgressKind::Polling, m_strPrintCaption.toStdString(), m_strGroupAssignments.toStdString(),
                  std::string(), std::string());
    Model().AddPrintOverview(list, m_strGroupAssignments.toStdString(), &progress);
    progress.Close();
}
