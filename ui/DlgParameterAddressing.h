// The addressing page: how many groups and single devices the gateway addresses. A change deletes
// what the new mode cannot hold, after asking.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterAddressing final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterAddressing(IMainWindow& main);
    // Groups and single devices of an addressing mode 0..5.
    static int GroupCountOf(int mode);
    static int SingleCountOf(int mode);

protected:
    void OnSelChange(int idc) override;

private:
    void OnAddressingModeChange();
    void ApplyAddressingMode(std::int32_t old, std::int32_t mode, const std::vector<UniqueNr>& reset);
};
