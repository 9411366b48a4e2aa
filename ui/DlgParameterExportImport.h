// The page of the export/import node: writes the configuration to an exchange file, reads one back
// (with or without its group addresses), and offers the printout.
#pragma once

#include "access/PrintLine.h"
#include "ui/ParameterDialog.h"

class CDlgParameterExportImport final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterExportImport(IMainWindow& main);

    void OnBnClickedBtnExport();
    void OnBnClickedBtnImport();
    // The printout: the complete documentation or the group assignments, on the printer chosen.
    void OnBnClickedBtnPrint();
    void AddPrintAll(PrintLineList& list);
    void AddPrintOverview(PrintLineList& list);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;

private:
    // The failure text of a button: the host's text, then why.
    void ShowFailure(UniqueNr textNr, const char* englishDefault, const std::string& why);

    QString m_strPrintCaption;
    QString m_strGroupAssignments;
    QString m_strCompleteDocumentation;
};
