// The switch style page of a group: delayed switching or a staircase-like switch time, soft on and
// soft off. The switch time binds other parameters for each switch time function.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterGroupTimeFunction final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupTimeFunction(IMainWindow& main, int groupNr);
    // The base of switch-style parameter i (0..7) for a switch time function.
    static UniqueNr GetUniqueNr(int i, std::int32_t switchTimeFunction);

protected:
    bool OnInitDialog() override;
    void OnKillFocus(int idc) override;
    void OnBindingChanged(int idc) override;

private:
    void ShowHideSwitchTimeFunctionDependentElements();
};
