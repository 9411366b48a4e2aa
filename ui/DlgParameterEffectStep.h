// The page of one step of an effect: how it dims, the delay before the next step, and the groups,
// devices and scenes it sets.
#pragma once

#include "ui/DlgParameterParticipants.h"

class CDlgParameterEffectStep final : public CDlgParameterParticipants
{
    Q_OBJECT

public:
    // stepNr: the step's slot, 1..15, or 16 for the closing step.
    CDlgParameterEffectStep(IMainWindow& main, int effectNr, int stepNr);
    int EffectNr() const { return m_nEffectNr; }
    int StepNr() const { return m_nStepNr; }

protected:
    bool OnInitDialog() override;
    void OnKillFocus(int idc) override;
    void OnDateTimeChange(int idc) override;
    void ValueComboboxChanged(int row) override;
    void UsedCheckboxChanged(int row) override;

private:
    bool IsClosingStep() const { return m_nStepNr >= kStepSlots; }
    // The picker's hour field carries the tenths of a second: never above 9.
    void LimitTenths();

    int m_nEffectNr;
    int m_nStepNr;
    // The step settings' rows, numbered for this step.
    BindingTable m_table;
};
