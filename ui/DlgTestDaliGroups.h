// The group test: a row per group with on, off, a lightness to set, the present lightness read back
// and dimming started and stopped; two tabs of 16 groups.
#pragma once

#include "ui/DlgTestDali.h"

#include <array>
#include <vector>

class CDlgTestDaliGroups final : public CDlgTestDali
{
    Q_OBJECT

public:
    static constexpr int kRows = 16;
    // The controls of row 0..15: id = base + row.
    static constexpr int kLabelBase = 1000, kOnBase = 1100, kOffBase = 1200, kValueBase = 1300,
                         kSetBase = 1400, kReadBase = 1500, kStartBase = 1600;
    static constexpr int kTabId = 267;
    // Dimming states, sent as the data of the group function: up or down, moving or stopped.
    static constexpr int kDimUpStart = 9, kDimUpStop = 8, kDimDownStart = 1, kDimDownStop = 0;

    struct Channel
    {
        bool exists = false;
        QString name; // no row without a name
        std::int32_t minimum = 0, maximum = 0;
        int dimming = kDimUpStart;
    };

    CDlgTestDaliGroups(IMainWindow& main, CEtsLifeDeviceConnection& connection);

    const Channel& GetChannel(int groupNr) const
    {
        return m_channels.at(static_cast<std::size_t>(groupNr - 1));
    }
    int CurrentTab() const { return m_nTab; }
    // The group shown in a row of the current tab, 0 for none.
    int GroupOfRow(int row) const;

    void SwitchGroup(int row, bool on);
    void SetDimValueGroup(int row);
    void ReadDimValueGroup(int row);
    void StartStopGroup(int row);
    void ShowSelectedGroups();
    void OnTcnSelchangeTabCtrlGroups(int tab);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;

private:
    void ShowStartStop(int row);

    std::array<Channel, kGroupCount> m_channels;
    std::vector<int> m_tabFirstGroups; // first group of each tab
    int m_nTab = 0;
    QString m_strStart, m_strStop;
};
