// The page of a group or single device: name, device number and type, the lightness window and the
// values kept inside it, here and in the group's other pages, scenes and effects.
#pragma once

#include "ui/ParameterDialog.h"

#include <map>

class QTreeWidgetItem;

class CDlgParameterGroupCommon final : public CParameterDialog
{
    Q_OBJECT

public:
    // groupNr: 1..32 a group, 33..96 a single device (32 + device number).
    CDlgParameterGroupCommon(IMainWindow& main, int groupNr);
    int GroupNr() const { return m_nGroupNr; }

    void RefreshGroupName();
    void RefreshAllComboboxLightnessValues();
    // Ask when a visible value leaves the window, then move every value to the limit; false after No.
    bool CheckAllLightnessValuesIfSmaller(std::int32_t limit, const QString& limitText);
    bool CheckAllLightnessValuesIfBigger(std::int32_t limit, const QString& limitText);
    bool CheckAllVisibleLightnessValuesIfSmaller(std::int32_t limit);
    bool CheckAllVisibleLightnessValuesIfBigger(std::int32_t limit);

protected:
    bool OnInitDialog() override;
    void OnSelChange(int idc) override;
    void OnKillFocus(int idc) override;
    bool PreTranslateMessage(const QKeyEvent& key) override;

private:
    struct Dependent
    {
        std::int32_t value;
        bool visible;
    };
    UniqueNr P(UniqueNr base) const;
    bool IsSingle() const { return m_nGroupNr > 32; }
    QTreeWidgetItem* Node() const;

    void InitParamBaseLightnessValue();
    void InitParamMaxLightnessValue();
    void InitParamLightnessAfterReturnBusPower();
    void InitAdditionalFunctionRoutines();
    void ChangeValueIfSmaller(std::int32_t limit, UniqueNr number, std::int32_t& value);
    void ChangeValueIfBigger(std::int32_t limit, UniqueNr number, std::int32_t& value);
    void GetGroupDependentLightnessValues();
    bool AskRange(UniqueNr textNr, const char* englishDefault, const QString& limitText);
    // Lowering (smaller) or raising (bigger) every value beyond the limit.
    bool CheckAll(std::int32_t limit, const QString& limitText, bool smaller);
    bool CheckVisible(std::int32_t limit, bool smaller);
    void OnBaseOrMaxChange(bool base);
    void OnDeviceNumberChange();
    void OnDeviceTypeChange();
    void OnBindingChanged(int idc) override;

    int m_nGroupNr;
    std::map<UniqueNr, Dependent> m_mapDependent;
    QString m_strName;
    std::int32_t m_nDeviceNr = 0;
    std::int32_t m_nDeviceType = 0;
    std::int32_t m_nBase = 1;
    std::int32_t m_nMax = 173;
};
