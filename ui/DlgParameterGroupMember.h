// The page of a DALI gear in a group's members folder: its name, its number and its type.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterGroupMember final : public CParameterDialog
{
    Q_OBJECT

public:
    // groupNr: the group whose members folder holds the node.
    CDlgParameterGroupMember(IMainWindow& main, int deviceNr, int groupNr);
    int DeviceNr() const { return m_nDeviceNr; }

    // The name box from the model, after a rename from the tree.
    void RefreshMemberName();

protected:
    bool OnInitDialog() override;
    void OnSelChange(int idc) override;
    void OnKillFocus(int idc) override;
    bool PreTranslateMessage(const QKeyEvent& key) override;

private:
    void OnEnKillfocusEditName();
    void OnEnKillfocusEditNumber();
    void OnCbnSelchangeComboboxType();

    int m_nDeviceNr;
    int m_nGroupNr;
    QString m_strName;
    std::int32_t m_nNumber;
    std::int32_t m_nType = 0;
};
