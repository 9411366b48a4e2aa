// The emergency supply pages of a group (central supply) and of a single device (individual supply).
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterGroupEmergencySupplyCentral final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupEmergencySupplyCentral(IMainWindow& main, int groupNr);

protected:
    void OnSelChange(int idc) override;
};

class CDlgParameterGroupEmergencySupplyIndividual final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterGroupEmergencySupplyIndividual(IMainWindow& main, int groupNr);
};
