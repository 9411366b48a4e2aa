#include "ui/DlgEditName.h"

#include <QLineEdit>

namespace {
constexpr int kEditName = 1000;
}

CDlgEditName::CDlgEditName(QWidget* parent, QString& name) : CTemplateDialog(228, parent), m_name(name) {}

int CDlgEditName::Run()
{
    if (!Create())
        return QDialog::Rejected;
    return exec();
}

bool CDlgEditName::OnInitDialog()
{
    if (auto* edit = Item<QLineEdit>(kEditName)) {
        edit->setMaxLength(28);
        edit->setText(m_name);
        edit->selectAll();
        edit->setFocus();
    }
    return true;
}

void CDlgEditName::OnOK()
{
    m_name = GetDlgItemText(kEditName);
    accept();
}
