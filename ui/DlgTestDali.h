// Base of the modal test dialogs: a top-level dialog over the main window that drives the gateway
// through the verified connection; Close and Escape end it after the dialog has undone its tests.
#pragma once

#include "model/EtsDbManagement.h"
#include "ui/ParameterDialog.h"

#include <string>

class CEtsLifeDeviceConnection;

// Tells the user that the addressed DALI gear did not answer.
void ReportNoDaliConnection(const CEtsDbManagement& model);

class CDlgTestDali : public CParameterDialog
{
    Q_OBJECT

public:
    CEtsLifeDeviceConnection& Connection() const { return m_connection; }

    // The ids every test dialog has.
    static constexpr int kIdClose = 1;
    static constexpr int kIdHelp = 9;

protected:
    // captionNr: the text whose description titles the dialog (the template's caption without one).
    CDlgTestDali(int templateId, IMainWindow& main, CEtsLifeDeviceConnection& connection, UniqueNr captionNr);

    // Title, Close and Help texts, fixed size; dialogs call it first in their own OnInitDialog.
    bool OnInitDialog() override;
    // Undoes what the dialog left running on the gateway; called once before it closes.
    virtual void BeforeClose() {}
    void OnCommand(int id) override;
    void OnOK() override { CloseDialog(); }
    void OnCancel() override { CloseDialog(); }
    void closeEvent(QCloseEvent* event) override;
    void OnCommandHelp();

    // A text by its description, with the English default when the host has none.
    QString Description(UniqueNr number, const char* englishDefault) const;
    QString Label(ELabel label) const { return QString::fromStdString(Model().GetLabel(label)); }

private:
    void CloseDialog();

    CEtsLifeDeviceConnection& m_connection;
    UniqueNr m_nCaptionNr;
    bool m_bClosing = false;
};
