#include "ui/DlgParameterFolders.h"

#include "product/ParameterNumbers.h"

namespace {

enum : int
{
    IdInfo = 510,
};

} // namespace

CDlgParameterFolder::CDlgParameterFolder(int templateId, IMainWindow& main, UniqueNr firstText,
                                         UniqueNr secondText)
    : CParameterDialog(templateId, main), m_nFirstText(firstText), m_nSecondText(secondText)
{}

bool CDlgParameterFolder::OnInitDialog()
{
    CParameterDialog::OnInitDialog();
    QString first, second;
    GetTextByNumber(m_nFirstText, first, "Note: Add new element via");
    GetTextByNumber(m_nSecondText, second, "right-click on tree node");
    SetDlgItemText(IdInfo, first + QLatin1Char(' ') + second);
    return true;
}

CDlgParameterFolderScenes::CDlgParameterFolderScenes(IMainWindow& main)
    : CDlgParameterFolder(222, main, 954, 955)
{
    static const BindingTable table{{Combo(258, 257, param::kSceneSettings, BindCheck)}, {}};
    SetBindingTable(table);
}
