// Base of every parameter page: a borderless child dialog in the main window's page area whose
// controls are bound to host parameters by number, each change written at once.
#pragma once

#include "access/EtsAccess.h"
#include "ui/MainWindow.h"
#include "ui/ParameterBinding.h"
#include "ui/TemplateDialog.h"

#include <QTime>
#include <cstdint>
#include <functional>
#include <initializer_list>

class CEtsDbManagement;
class CPluginTreeCtrlView;
class QKeyEvent;
class QTreeWidgetItem;

// Fills a host text that carries printf conversions: only the expected conversions (for example
// "s" or "dd") are substituted; a text with any other conversions is replaced by the fallback,
// which must carry the expected ones. "%%" stays a percent sign.
QString FormatHostText(const QString& text, const QString& fallback, const char* expected,
                       std::initializer_list<QString> args);

class CParameterDialog : public CTemplateDialog
{
    Q_OBJECT

public:
    CParameterDialog(int templateId, IMainWindow& main, QWidget* parent = nullptr);
    IMainWindow& Main() const { return m_main; }
    CEtsDbManagement& Model() const { return *m_pModel; }
    CPluginTreeCtrlView* Tree() const { return m_main.GetTree(); }

    // Binding helpers. A parameter number of 0 (or below 0 for boxes and time fields) binds nothing:
    // values are shown and taken but not written.
    void InitComboBox(int idc, int labelIdc, UniqueNr number, std::int32_t* cache, std::int32_t minimum = 0,
                      std::int32_t maximum = -1);
    std::int32_t GetComboboxEnumValue(int idc, QString* text = nullptr) const;
    bool SelectComboboxEnumValue(int idc, std::int32_t value);
    bool SelectComboboxEnumValue(int idc, UniqueNr number, std::int32_t* cache, std::int32_t value);
    void InitLightnessCombobox(int idc, std::int32_t value, std::int32_t minimum, std::int32_t maximum);
    void SelectComboboxLightnessValue(int idc, std::int32_t value);
    bool ComboboxChanged(int idc, UniqueNr number, std::int32_t* cache, bool checkAssociations = false);
    void InitTimePicker(int idc, int labelIdc, const QString& format, UniqueNr hourNr, UniqueNr minuteNr,
                        UniqueNr secondNr, std::int32_t* hours, std::int32_t* minutes, std::int32_t* seconds,
                        QTime* minimum = nullptr, QTime* maximum = nullptr);
    bool TimePickerChanged(int idc, UniqueNr hourNr, UniqueNr minuteNr, UniqueNr secondNr,
                           std::int32_t* hours, std::int32_t* minutes, std::int32_t* seconds);
    void LimitTimePickerValue(int idc, QTime minimum, QTime maximum, int minimumSeconds);
    void InitNumberBox(int idc, int labelIdc, UniqueNr number, std::int32_t* cache);
    bool NumberBoxChanged(int idc, UniqueNr number, std::int32_t* cache, std::int32_t minimum,
                          std::int32_t maximum);
    bool EditBoxChanged(int idc, UniqueNr number, QString& cache);
    // A KNX scene or effect number typed into the bound box idc: a number that another one holds
    // moves on to nextFree's; without a free one the old number stays. True when there is a
    // number to store.
    bool KnxNumberChanged(int idc, const std::function<int(int)>& nextFree);
    // Shows a new name on the page's tree node, and in the window's caption when it is selected.
    void RelabelNode(QTreeWidgetItem* node, const QString& name);
    // Up/Down/Page Up/Page Down in a focused number box step its number; true when consumed.
    bool TranslateNumberBoxMessage(const QKeyEvent& key, int idc, std::int32_t minimum, std::int32_t maximum);
    // The type combobox of gear device with its label, or both hidden while the type check is off; a
    // type the list does not know shows its number.
    void InitMemberTypeCombobox(int idc, int labelIdc, int device, std::int32_t* cache);
    // A gear number typed into box idc: a number another gear has is taken only after the exchange
    // question, else the box shows the old number again. True when the number is to be changed.
    bool MemberNumberChanged(int idc, std::int32_t* cache);
    // Sets a device's type and keeps the emergency-lamp bookkeeping in step; false when refused.
    bool ChangeMemberType(int device, int oldType, int newType);
    // The change itself, after every question was answered yes.
    void ApplyMemberType(int device, int oldType, int newType);

    // Texts by number and layout helpers.
    bool GetTextByNumber(UniqueNr number, QString& text, const char* englishDefault = nullptr) const;
    bool GetDescriptionByNumber(UniqueNr number, QString& text, const char* englishDefault = nullptr) const;
    void SetLabelText(int idc, UniqueNr number, QString* shown = nullptr);
    int AddComboboxItem(int idc, std::int32_t data, const QString& text);
    void ShowControl(int idc, bool show);
    void EnableControl(int idc, bool enable);
    void FocusControl(int idc);
    void EnableAndFocusControl(int idc);
    bool IsFocusInControl(int idc) const;

    // The page's binding table (static, one per page class); numbers of rows flagged BindGroup
    // belong to groupNr. Pages set it in their constructor.
    void SetBindingTable(const BindingTable& table, int groupNr = 0);
    int BindGroupNr() const { return m_nBindGroupNr; }
    const BindingTable* Bindings() const { return m_pTable; }
    // The value a bound control holds (a time picker's field 0..2: hours, minutes, seconds).
    std::int32_t& BoundRef(int idc, int field = 0);
    std::int32_t BoundValue(int idc) const;
    // The host parameter a bound control writes (a time picker's field 0..2).
    UniqueNr BoundNumber(int idc, int field = 0) const;
    // Reads one row from the host into its control again (a deferred row, or after a dependent change).
    void BindControl(int idc);
    // Binds a row to other numbers (a combobox takes the seconds argument) and reads it.
    void RebindControl(int idc, UniqueNr hours, UniqueNr minutes, UniqueNr seconds);
    // Writes, stores and selects a combobox value (the model's copy too when it keeps one).
    void SetBoundValue(int idc, std::int32_t value);
    void SetBoundValueIfDifferent(int idc, std::int32_t value);
    // Selects a combobox's stored value again after a refused change.
    void RestoreBoundValue(int idc);
    // Shows or enables the controls of every rule (or of the rules of that name) by the bound values.
    void ApplyRules();
    void ApplyRule(const char* name);

protected:
    // Connects the control notifications; pages call it first in their own OnInitDialog.
    bool OnInitDialog() override;
    // Enter and Escape never end a page.
    void OnOK() override {}
    void OnCancel() override {}

    // Notifications of the controls, by control id. By default a bound row applies its change, runs
    // OnBindingChanged and the rules; pages handle their special controls and pass the rest on.
    virtual void OnSelChange(int idc);
    virtual void OnKillFocus(int idc);
    virtual void OnDateTimeChange(int idc);
    // A key pressed in a control of the page; true when the page consumed it. By default the number
    // boxes flagged BindStepping step.
    virtual bool PreTranslateMessage(const QKeyEvent& key);
    // A bound row's change was applied; the rules run after it.
    virtual void OnBindingChanged(int idc) { Q_UNUSED(idc); }
    // Binds every row not flagged BindDeferred; OnInitDialog does it, then applies the rules.
    void InitBindings();
    // ComboboxChanged for a bound combobox, with its number, value and associations check.
    bool BoundComboboxChanged(int idc);
    // After a bound change: the model's copy, OnBindingChanged, the rules.
    void AfterBoundChange(int idc);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct BoundControl
    {
        const Binding* row = nullptr;
        // hours, minutes, seconds of a time picker; [0] of the other kinds
        UniqueNr numbers[3] = {0, 0, 0};
        std::int32_t values[3] = {0, 0, 0};
        QString text;
        QTime minimum;
        QTime maximum;
        bool bound = false;
    };
    // Edits apply only while the session's window is up, not while it tears the page down.
    bool CanApply() const;
    int ControlId(QObject* object) const;
    UniqueNr ResolveNumber(const Binding& row, UniqueNr number) const;
    BoundControl* FindBound(int idc);
    const BoundControl* FindBound(int idc) const;
    void InitBound(BoundControl& b);
    bool IsRuleOn(const ShowRule& rule) const;

    IMainWindow& m_main;
    CEtsDbManagement* m_pModel;
    const BindingTable* m_pTable = nullptr;
    int m_nBindGroupNr = 0;
    std::vector<BoundControl> m_bound;
};

// Shown in place of the test page when the gateway cannot be reached.
class CDlgNoLifeDeviceConnection final : public CParameterDialog
{
    Q_OBJECT

public:
    CDlgNoLifeDeviceConnection(IMainWindow& main, QString message)
        : CParameterDialog(231, main), m_message(std::move(message))
    {}

protected:
    bool OnInitDialog() override
    {
        CParameterDialog::OnInitDialog();
        SetDlgItemText(271, m_message);
        return true;
    }

private:
    QString m_message;
};
