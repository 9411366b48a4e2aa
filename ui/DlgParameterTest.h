// The test page: switches all gear, switches, dims and reads one assigned gear and its DALI status,
// and opens the group, scene and effect tests. Shown only after the gateway was verified.
#pragma once

#include "ui/ParameterDialog.h"

#include <memory>

class CEtsLifeDeviceConnection;

class CDlgParameterTest final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgParameterTest(IMainWindow& main, CEtsLifeDeviceConnection& connection);
    // The page of the test node over the main window's verified connection; without one, the page
    // that says so.
    static std::unique_ptr<CParameterDialog> CreatePage(IMainWindow& main);
    int SelectedEvgNr() const { return m_nEvgNr; }

    void OnCbnSelchangeComboboxAvailableEvgs();
    void OnBnClickedBtnReadEvgState();
    void OnBnClickedBtnSetLightnessValue();
    void OnBnClickedBtnReadLightnessValue();
    void OnBnClickedBtnEvgSwitchOn() { SwitchEvg(true); }
    void OnBnClickedBtnEvgSwitchOff() { SwitchEvg(false); }
    void OnBnClickedBtnAllEvgsSwitchOn() { SwitchAllEvgs(true); }
    void OnBnClickedBtnAllEvgsSwitchOff() { SwitchAllEvgs(false); }
    void OnBnClickedBtnTestGroups();
    void OnBnClickedBtnTestScenes();
    void OnBnClickedBtnTestEffects();

    // The lines of a DALI status byte, "label = value" each, in the order the page lists them.
    QStringList StateLines(std::uint8_t state) const;

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int idc) override;

private:
    void SwitchAllEvgs(bool on);
    void SwitchEvg(bool on);
    QString EvgDisplayName() const;
    // Runs a test dialog modally and destroys it.
    template <class Dialog> void RunTest();

    CEtsLifeDeviceConnection& m_connection;
    int m_nEvgNr = 0; // the selected gear, 0 none
    QString m_strReadValue, m_strReadState, m_strDeviceStatus, m_strLampStatus, m_strSwitchingStatus,
        m_strReset, m_strVoltageFailure, m_strOk, m_strError, m_strOn, m_strOff, m_strYes, m_strNo;
};
