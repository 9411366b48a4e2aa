// The staircase function page of a group: switch-on time, advance warning and the additional
// function.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterGroupTimeswitchFunction final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupTimeswitchFunction(IMainWindow& main, int groupNr);

protected:
    void OnBindingChanged(int idc) override;
};
