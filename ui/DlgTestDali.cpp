#include "ui/DlgTestDali.h"

#include "device/EtsLifeDeviceConnection.h"
#include "trace/DebugTrace.h"
#include "ui/UiServices.h"

#include <QCloseEvent>

CDlgTestDali::CDlgTestDali(int templateId, IMainWindow& main, CEtsLifeDeviceConnection& connection,
                           UniqueNr captionNr)
    : CParameterDialog(templateId, main, main.GetWindow()), m_connection(connection), m_nCaptionNr(captionNr)
{
    // A page is a child; a test dialog is a window of its own over the main window.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

bool CDlgTestDali::OnInitDialog()
{
    if (!CParameterDialog::OnInitDialog())
        return false;
    setWindowTitle(QString::fromStdString(Template()->caption));
    SetLabelText(0, m_nCaptionNr);
    SetLabelText(kIdClose, 823);
    SetLabelText(kIdHelp, 816);
    setFixedSize(size());
    return true;
}

void CDlgTestDali::OnCommand(int id)
{
    if (id == kIdHelp)
        OnCommandHelp();
}

void CDlgTestDali::OnCommandHelp()
{
    TRACE_ENTRY();
    Model().LoadHelpFile();
}

QString CDlgTestDali::Description(UniqueNr number, const char* englishDefault) const
{
    QString text;
    GetDescriptionByNumber(number, text, englishDefault);
    return text;
}

void ReportNoDaliConnection(const CEtsDbManagement& model)
{
    UiServices::Prompt().Ask("Veltrona", model.GetLabel(LabelNoDaliConnection), PromptButtons::Ok,
                             PromptIcon::Error);
}

void CDlgTestDali::closeEvent(QCloseEvent* event)
{
    // The title bar's close button ends the dialog as Close does.
    event->ignore();
    CloseDialog();
}

void CDlgTestDali::CloseDialog()
{
    if (m_bClosing)
        return;
    m_bClosing = true;
    BeforeClose();
    done(QDialog::Accepted);
}
