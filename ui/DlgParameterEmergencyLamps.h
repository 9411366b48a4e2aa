// The emergency-lamp pages: the lamp system and its total feedback, the central and the individual
// supply, the three operation extents and the emergency feedback.
#pragma once

#include "ui/ParameterDialog.h"

class CDlgParameterEmergencyLamps final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencyLamps(IMainWindow& main);

protected:
    void OnSelChange(int idc) override;

private:
    void OnEmergencyLampSystemChange();
};

class CDlgParameterEmergencySupplyCentral final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencySupplyCentral(IMainWindow& main);

protected:
    void OnBindingChanged(int idc) override;
};

class CDlgParameterEmergencySupplyIndividual final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencySupplyIndividual(IMainWindow& main);
};

// The information pages of the first two extents.
class CDlgParameterEmergencyOpExtentElamps : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencyOpExtentElamps(IMainWindow& main, int templateId = 253)
        : CParameterDialog(templateId, main)
    {}

protected:
    bool OnInitDialog() override;
};

class CDlgParameterEmergencyOpExtentElampsAndKnx final : public CDlgParameterEmergencyOpExtentElamps
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencyOpExtentElampsAndKnx(IMainWindow& main)
        : CDlgParameterEmergencyOpExtentElamps(main, 254)
    {}

protected:
    bool OnInitDialog() override;
};

class CDlgParameterEmergencyOpExtentElampsAndKnxAndDali final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencyOpExtentElampsAndKnxAndDali(IMainWindow& main);

protected:
    bool OnInitDialog() override;
    void OnSelChange(int idc) override;

private:
    void ShowHideEmergencyDetectionParameters();
};

class CDlgParameterEmergencyLampFeedback final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterEmergencyLampFeedback(IMainWindow& main);

protected:
    bool OnInitDialog() override;
    void OnBindingChanged(int idc) override;

private:
    void ShowHideEmergencyLampsActiveFeedbackParameters();
};
