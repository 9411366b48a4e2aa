// The commissioning page: matches the gear found on the DALI line with the projected members, adds
// found gear to groups, lets selected gear light up, blink or test their emergency lamps, and
// downloads changed gear numbers and group assignments when it is left.
#pragma once

#include "ui/CommissioningEntries.h"
#include "ui/ParameterDialog.h"

#include <QTimer>
#include <array>
#include <set>
#include <vector>

class CEtsLifeDeviceConnection;
class QTreeWidget;
class QTreeWidgetItem;

class CDlgParameterCommissioning final : public CParameterDialog
{
    Q_OBJECT

public:
    // Control ids of the page's template.
    enum : int
    {
        IdTab = 267,
        IdFoundList = 272,
        IdSearch = 274,
        IdGroupList = 275,
        IdAdd = 276,
        IdRemove = 277,
        IdGroupCombo = 279,
        IdBlinkStart = 280,
        IdBlinkStop = 281,
        IdTest = 283,
        IdRename = 284,
        IdDeleteAssignments = 285,
        IdHideAssigned = 512,
        IdMemberList = 658,
        IdOn = 661,
        IdOff = 662,
        IdAllOn = 663,
        IdAllOff = 664,
        IdReset = 665,
        IdCompatibility = 678,
        IdLampsOn = 740,
        IdLampsOff = 741,
    };
    static constexpr int kWatchdogMs = 20'000;

    // connection: the verified gateway, or null when there is none (the device controls stay off).
    CDlgParameterCommissioning(IMainWindow& main, CEtsLifeDeviceConnection* connection);
    ~CDlgParameterCommissioning() override;

    const CCommissioningEntries& Entries() const { return m_entries; }
    bool IsTestModeActive() const { return m_eTest != TestMode::None; }
    bool IsWatchdogRunning() const { return m_watchdog.isActive(); }
    bool IsGroupsMode() const { return m_bGroupsMode; }
    // The member numbers selected in a list (its placeholder row left out).
    std::vector<int> GetSelectedEvgNrs(int idc) const;
    void SetSelectedEvgNrs(int idc, const std::set<int>& members);

    void OnBnClickedBtnSearchDaliEvgs();
    void OnBnClickedBtnRenameEvg();
    void OnBnClickedBtnAddEvgsToGroup() { AddEvgsToGroup(true); }
    void OnBnClickedBtnRemoveEvgsFromGroup() { RemoveEvgsFromGroup(true, false); }
    void OnBnClickedBtnDeleteAllEvgGroupAssignments();
    void OnBnClickedBtnResetAllEvgs();
    void OnBnClickedBtnAllEvgsOn() { SwitchAll(true); }
    void OnBnClickedBtnAllEvgsOff() { SwitchAll(false); }
    void OnBnClickedBtnEvgsOn();
    void OnBnClickedBtnEvgsOff();
    void OnBnClickedBtnBlinkEvgsStart() { StartTest(TestMode::Blink); }
    void OnBnClickedBtnBlinkEvgsStop() { StopTest(TestMode::Blink); }
    void OnBnClickedBtnEmergencyLampsOn() { StartTest(TestMode::EmergencyLamps); }
    void OnBnClickedBtnEmergencyLampsOff() { StopTest(TestMode::EmergencyLamps); }
    void OnBnClickedBtnTestSelectedEvgs();
    void OnBnClickedCheckHideAssignedEvgs();
    void OnBnClickedCheckCompatibilityMode();
    void OnTcnSelchangeTabCtrlGroups(int tab);
    void OnCbnSelchangeComboboxGroupCommissioning();
    // The Delete key in a list of the page.
    void OnCommandDelete();
    // Drops what is dragged from the source list at a point of the screen; with execute false only
    // tells whether a drop would do something.
    bool DragDrop(QTreeWidget* source, const QPoint& globalPos, bool execute);
    void OnTimer();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnSelChange(int idc) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class TestMode
    {
        None,
        Blink,
        EmergencyLamps,
    };
    struct SortState
    {
        int column = -1;
        bool everSorted = false;
        std::array<bool, 8> descending{};
    };
    struct Row
    {
        int member = 0;
        QStringList texts;
    };

    bool Connected() const { return m_pConnection != nullptr; }
    QTreeWidget* List(int idc) const;
    int MemberListId() const { return m_bGroupsMode ? IdGroupList : IdMemberList; }
    int ListId(const QTreeWidget* list) const;
    QString Text(UniqueNr number, const char* englishDefault) const;
    QString Caption(UniqueNr number, const char* englishDefault) const;
    QString MemberLabel() const;
    QString NameWithMark(int memberNr) const;
    bool DeviceTypesShown() const;

    void ShowSinglesOrGroups();
    void InitComboboxUsedGroups();
    void InitCheckBoxHideAssignedEvgs();
    bool CheckIfEvgsAssignedToMultiGroups() const { return m_entries.AnyFoundInSeveralGroups(); }
    void InitListCtrl(int idc, bool columns);
    void InitListCtrls(bool columns = false);
    std::vector<Row> BuildRows(int idc) const;
    void SortRows(int idc, std::vector<Row>& rows) const;
    void OnColumnClick(int idc, int column);
    void EnableDisableButtonsDependingOnListCtrls();
    void OnNMSetfocusListCtrl(int idc);
    bool AddEvgsToGroup(bool execute);
    bool RemoveEvgsFromGroup(bool execute, bool deleteKey);
    bool ConfirmRemoving(const std::vector<int>& members);
    // The project's view of a member after a structural change.
    void RefreshProjected(int memberNr);
    void UpdateTree();
    int ExistingSingles() const;

    // Gateway commands.
    std::array<std::uint8_t, 8> GetSelectedEvgNrsForTest(bool emergencyOnly, int* count = nullptr) const;
    void SwitchAll(bool on);
    void StartTest(TestMode mode);
    void StopTest(TestMode mode);
    void SetBlinkInfoToSelectedEvgs(bool on);
    void EnableDisableCtrlForTestmode(bool enable, int focusIdc);
    void StartWatchdogRetriggering();
    void StopWatchdogRetriggering();
    bool ConfirmDeleteAssignments();
    void WriteEvgGroupAssignmentsToGateway();
    // What leaving the page does, once: the watchdog and a running test stop, the download runs.
    void LeavePage();

    CEtsLifeDeviceConnection* m_pConnection;
    CCommissioningEntries m_entries;
    std::array<SortState, 3> m_sort{}; // found list, member list, group list
    int m_nFocusList = IdFoundList;
    int m_nSelectedGroup = 0;
    bool m_bGroupsMode = false;
    TestMode m_eTest = TestMode::None;
    std::array<std::uint8_t, 8> m_testMask{}; // the gear the running test was started for
    QTimer m_watchdog;
    bool m_bGatewayBusy = false; // a command or the watchdog talks to the gateway
    bool m_bBuilding = false;
    bool m_bLeft = false;
    QTreeWidget* m_pDragSource = nullptr;
    QTreeWidgetItem* m_pPressedItem = nullptr; // a row pressed among several selected ones
    // Resizing: the client size at start and the controls with their start geometry.
    QSize m_initialSize;
    std::vector<std::pair<QWidget*, QRect>> m_layout;
    int m_nListsBottom = 0;
};
