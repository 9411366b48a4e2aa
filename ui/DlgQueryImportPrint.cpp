#include "ui/DlgQueryImportPrint.h"

#include <QPushButton>
#include <QRadioButton>

CDlgQueryImportPrint::CDlgQueryImportPrint(QWidget* parent, Texts texts, int* choice)
    : CTemplateDialog(241, parent), m_texts(std::move(texts)), m_pChoice(choice)
{}

bool CDlgQueryImportPrint::OnInitDialog()
{
    setWindowTitle(m_texts.title);
    SetDlgItemText(506, m_texts.option1);
    SetDlgItemText(508, m_texts.option1Text);
    SetDlgItemText(507, m_texts.option2);
    SetDlgItemText(509, m_texts.option2Text);
    SetDlgItemText(1, m_texts.ok);
    SetDlgItemText(2, m_texts.cancel);
    // The second option is the cautious one.
    if (auto* option2 = Item<QRadioButton>(507))
        option2->setChecked(true);
    return true;
}

void CDlgQueryImportPrint::OnOK()
{
    auto checked = [this](int id) {
        auto* b = Item<QRadioButton>(id);
        return b && b->isChecked();
    };
    if (m_pChoice)
        *m_pChoice = checked(506) ? 1 : checked(507) ? 2 : 0;
    accept();
}
