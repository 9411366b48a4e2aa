// The page of one scene: its name, KNX scene number and settings, and the groups and devices that take
// part with their lightness values and save flags.
#pragma once

#include "ui/DlgParameterParticipants.h"

class QTreeWidgetItem;

class CDlgParameterScene final : public CDlgParameterParticipants
{
    Q_OBJECT

public:
    CDlgParameterScene(IMainWindow& main, int sceneNr);
    int SceneNr() const { return m_nSceneNr; }

    // The name box from the model, after a rename from the tree.
    void RefreshSceneName();

protected:
    bool OnInitDialog() override;
    void OnKillFocus(int idc) override;
    void ValueComboboxChanged(int row) override;
    void UsedCheckboxChanged(int row) override;
    void SaveCheckboxChanged(int row) override;

private:
    UniqueNr P(UniqueNr base) const { return GetSceneUniqueNr(base, m_nSceneNr); }
    QTreeWidgetItem* Node() const;
    void OnEnKillfocusEditName();
    void OnEnKillfocusEditNumber();

    int m_nSceneNr;
    // The settings' rows, numbered for this scene.
    BindingTable m_table;
    QString m_strName;
};
