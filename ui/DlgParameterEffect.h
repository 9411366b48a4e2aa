// The page of one effect: its name, priority, KNX effect number, step count and passes.
#pragma once

#include "ui/ParameterDialog.h"

class QTreeWidgetItem;

class CDlgParameterEffect final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterEffect(IMainWindow& main, int effectNr);
    int EffectNr() const { return m_nEffectNr; }

    // The name box from the model, after a rename from the tree.
    void RefreshEffectName();

protected:
    bool OnInitDialog() override;
    void OnKillFocus(int idc) override;
    void OnBindingChanged(int idc) override;

private:
    UniqueNr P(UniqueNr base) const { return GetEffectUniqueNr(base, m_nEffectNr); }
    QTreeWidgetItem* Node() const;
    void OnEnKillfocusEditName();
    void OnEnKillfocusEditNumber();

    int m_nEffectNr;
    // The settings' rows, numbered for this effect.
    BindingTable m_table;
    QString m_strName;
};
