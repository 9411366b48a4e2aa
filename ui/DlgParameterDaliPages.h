// The four DALI pages below General: communication, error messages, status messages and standby.
#pragma once

#include "ui/ParameterDialog.h"

// DALI communication: telegram rate and delays.
class CDlgParameterCommon2 final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterCommon2(IMainWindow& main);
};

// DALI error messages; the ack device state decides the value of its object.
class CDlgParameterCommon3 final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterCommon3(IMainWindow& main);
    // The object value of an ack device state and its data width.
    static std::int32_t AckDeviceObjectValue(std::int32_t state, std::int32_t dataWidth);

protected:
    void OnSelChange(int idc) override;

private:
    void OnAckDeviceStateChange();
    void OnAckDataWidthChange();
};

// DALI status messages; the collective feedback decides the values of its objects.
class CDlgParameterCommon4 final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterCommon4(IMainWindow& main);

protected:
    void OnSelChange(int idc) override;

private:
    bool CanChangeCollectiveFeedbackObjects(std::int32_t feedbackBefore);
    void SetCollectiveFeedbackObjects();
};

// DALI standby shutdown: the global feedback and the delayed power off and on.
class CDlgParameterCommon5 final : public CParameterDialog
{
    Q_OBJECT

public:
    explicit CDlgParameterCommon5(IMainWindow& main);

protected:
    bool OnInitDialog() override;
    void OnBindingChanged(int idc) override;

private:
    void AdjustParameters();
};
