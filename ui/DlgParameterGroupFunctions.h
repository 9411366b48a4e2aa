// The function pages below a group or single device: switching, dimming and the hour meter.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterGroupSwitch final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupSwitch(IMainWindow& main, int groupNr);

protected:
    void OnBindingChanged(int idc) override;
};

class CDlgParameterGroupDimmer final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupDimmer(IMainWindow& main, int groupNr);

protected:
    void OnKillFocus(int idc) override;
    void OnBindingChanged(int idc) override;
};

class CDlgParameterGroupHourmeter final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupHourmeter(IMainWindow& main, int groupNr);
};

// Writes a time picker's time as the gateway's dim step: time per tick, steps per tick and correction
// in the three group parameters from valueBase on.
void WriteDimStepTime(CParameterDialog& page, int idc, int groupNr, UniqueNr valueBase);
