// What the scene and the effect step pages share: a tab per block of 16 participants (groups, single
// devices and, on the step page, scenes) and a row per participant with its check box, lightness value
// and, on the scene page, its save box; emergency lamps show "E-lamp" and cannot be included.
#pragma once

#include "ui/ParameterDialog.h"

#include <array>
#include <vector>

class QTabBar;

class CDlgParameterParticipants : public CParameterDialog
{
    Q_OBJECT

public:
    static constexpr int kRows = 16;
    static constexpr int kGroupsAndSingles = kGroupCount + kSingleCount; // 96
    // The controls of row 0..15, the same ids on both pages.
    static constexpr std::array<int, kRows> kUsedIds = {268, 271, 274, 277, 280, 283, 289, 292,
                                                        295, 298, 301, 304, 307, 310, 313, 316};
    static constexpr std::array<int, kRows> kValueIds = {269, 272, 275, 278, 281, 284, 290, 293,
                                                         296, 299, 302, 305, 308, 311, 314, 317};
    static constexpr std::array<int, kRows> kSaveIds = {270, 273, 276, 279, 282, 285, 291, 294,
                                                        297, 300, 303, 306, 309, 312, 315, 318};
    static constexpr int kELampId = 743; // + row
    static constexpr int kIconId = 759;  // + row
    static constexpr int kTabId = 267;

    struct Participant
    {
        bool exists = false;
        bool emergency = false; // an emergency lamp that may not take part
        QString name;           // no row without a name
        std::int32_t base = 1, max = 173;
        std::int32_t value = 0;
        bool used = false;
        bool save = false;
    };

    // The block (0..5 groups and devices, 6 scenes) shown, -1 before the tabs are built.
    int CurrentBlock() const { return m_nBlock; }
    const Participant& GetParticipant(int index) const
    {
        return m_participants.at(static_cast<std::size_t>(index));
    }

protected:
    // withScenes: a seventh block of scenes (step page); withSave: the rows have save boxes (scene page).
    CDlgParameterParticipants(int templateId, IMainWindow& main, bool withScenes, bool withSave);

    // The tabs the addressing mode gives; the first one's block becomes current.
    void BuildTabs();
    // Name, existence, emergency state and lightness window of groups and singles (index 0..95).
    void LoadGroupsAndSingles();
    void ShowSelectedGroups();
    void OnTcnSelchangeTabCtrlGroups(int tab);
    // Index of the participant in a row of the current block, -1 when there is none.
    int ParticipantOf(int row) const;
    Participant& Row(int index) { return m_participants.at(static_cast<std::size_t>(index)); }
    bool IsChecked(int idc) const;
    void SetChecked(int idc, bool checked);

    virtual void ValueComboboxChanged(int row) = 0;
    virtual void UsedCheckboxChanged(int row) = 0;
    virtual void SaveCheckboxChanged(int row) { Q_UNUSED(row); }

    // Row controls go to the handlers above, the others to the page's bindings.
    void OnSelChange(int idc) override;
    void OnCommand(int id) override;

    std::vector<Participant> m_participants;
    QString m_strELamp;
    QString m_strSave;

private:
    QTabBar* Tabs() const;

    bool m_bWithScenes;
    bool m_bWithSave;
    std::vector<int> m_blocks; // block of each tab
    int m_nBlock = -1;
};
