// The manual control page: the push buttons on the gateway and how they are locked and reported.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterManualOperation final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterManualOperation(IMainWindow& main);

protected:
    void OnSelChange(int idc) override;
};
