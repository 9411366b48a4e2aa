// The scene test: calls a scene, saves the values chosen here into the scene (gateway and project)
// and reads the values the gateway holds; a tab per 16 groups or devices with a row each.
#pragma once

#include "device/EtsLifeDeviceConnection.h"
#include "ui/DlgTestDali.h"

#include <array>
#include <vector>

class CDlgTestDaliScenes final : public CDlgTestDali
{
    Q_OBJECT

public:
    static constexpr int kRows = 16;
    static constexpr int kChannels = kGroupCount + kSingleCount; // 1..32 groups, 33..96 singles
    // The controls of row 0..15: id = base + row.
    static constexpr int kLabelBase = 1000, kCaptionBase = 1100, kValueBase = 1200;
    static constexpr int kTabId = 267;

    struct Channel
    {
        QString name; // no row without a name
        std::int32_t minimum = 0, maximum = 0;
        std::int32_t value = 0;
        bool inScene = false;
        bool used = false; // the group or single exists
    };

    CDlgTestDaliScenes(IMainWindow& main, CEtsLifeDeviceConnection& connection);

    const Channel& GetChannel(int channel) const
    {
        return m_channels.at(static_cast<std::size_t>(channel - 1));
    }
    int SceneNr() const { return m_nSceneNr; }
    // The channel shown in a row of the current tab, 0 for none.
    int ChannelOfRow(int row) const;

    void OnCbnSelchangeComboboxScenes();
    void OnBnClickedBtnCallScene();
    bool OnBnClickedBtnSaveScene();
    bool OnBnClickedBtnReadSceneValues();
    void OnTcnSelchangeTabCtrlGroups(int tab);
    void ShowSelectedScene();
    void ShowSelectedGroups();
    void ComboboxSceneValueChanged(int row);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int idc) override;

private:
    // The channels in the scene, by name and by value, in channel order.
    void CollectChannels(CEtsLifeDeviceConnection::ChannelNames& names,
                         CEtsLifeDeviceConnection::ChannelValues& values) const;
    std::string InfoText(int buttonId) const;

    std::array<Channel, kChannels> m_channels;
    std::vector<int> m_tabFirstChannels;
    int m_nTab = 0;
    int m_nSceneNr = 0;
};
