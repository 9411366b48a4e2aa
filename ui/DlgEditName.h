// The modal rename dialog of the tree: one name of at most 28 characters.
#pragma once

#include "ui/TemplateDialog.h"

class CDlgEditName final : public CTemplateDialog
{
    Q_OBJECT

public:
    // name: shown at start and, only after OK, replaced by the typed text.
    CDlgEditName(QWidget* parent, QString& name);
    // Builds and runs the dialog; QDialog::Accepted after OK.
    int Run();

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    QString& m_name;
};
