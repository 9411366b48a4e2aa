// The General page: the device's central object, blinking, DALI device types and whether emergency
// lamps are in use.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterCommon final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterCommon(IMainWindow& main);

protected:
    void OnSelChange(int idc) override;

private:
    void OnEmergencyLampsChange();
};
