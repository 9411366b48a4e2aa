// The question before an import or a printout: one of two options, each with a title and a text.
#pragma once

#include "ui/TemplateDialog.h"

class CDlgQueryImportPrint final : public CTemplateDialog
{
    Q_OBJECT

public:
    struct Texts
    {
        QString title, option1, option1Text, option2, option2Text, cancel, ok;
    };
    // choice receives 1 or 2 after OK (0 when neither option is checked); it is left alone otherwise.
    CDlgQueryImportPrint(QWidget* parent, Texts texts, int* choice);

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    Texts m_texts;
    int* m_pChoice;
};
