#include "ui/DlgParameterTest.h"

#include "device/EtsLifeDeviceConnection.h"
#include "model/EtsDbManagement.h"
#include "product/GatewayProtocol.h"
#include "trace/DebugTrace.h"
#include "ui/DlgTestDali.h"
#include "ui/DlgTestDaliEffects.h"
#include "ui/DlgTestDaliGroups.h"
#include "ui/DlgTestDaliScenes.h"
#include "ui/WaitCursor.h"

#include <QComboBox>
#include <QListWidget>

using namespace protocol;

namespace {

enum : int
{
    IdAllLabel = 320,
    IdAllOn = 321,
    IdAllOff = 322,
    IdTestGroups = 323,
    IdTestScenes = 324,
    IdTestEffects = 339,
    IdSingleGroup = 325,
    IdEvgLabel = 326,
    IdEvgs = 327,
    IdSwitchLabel = 330,
    IdEvgOn = 328,
    IdEvgOff = 329,
    IdValueLabel = 336,
    IdValue = 484,
    IdSetValue = 333,
    IdReadValue = 334,
    IdReadState = 331,
    IdStateList = 332,
};

// Labels of the page: control and the text whose description it shows.
constexpr std::pair<int, UniqueNr> kLabels[] = {
    {IdAllLabel, 851},   {IdAllOn, 808},       {IdAllOff, 802},    {IdSingleGroup, 859},
    {IdEvgLabel, 860},   {IdSwitchLabel, 875}, {IdEvgOn, 808},     {IdEvgOff, 802},
    {IdValueLabel, 867}, {IdSetValue, 832},    {IdReadValue, 831}, {IdReadState, 809},
};
// Buttons that open a dialog: their text ends in "...".
constexpr std::pair<int, UniqueNr> kDialogButtons[] = {
    {IdTestGroups, 805}, {IdTestScenes, 806}, {IdTestEffects, 834}};

// Bits of the DALI status byte the page lists.
constexpr std::uint8_t kStatusGearFailure = 0x01, kStatusLampFailure = 0x02, kStatusLampOn = 0x04,
                       kStatusReset = 0x20, kStatusPowerFailure = 0x80;

} // namespace

CDlgParameterTest::CDlgParameterTest(IMainWindow& main, CEtsLifeDeviceConnection& connection)
    : CParameterDialog(226, main), m_connection(connection)
{}

std::unique_ptr<CParameterDialog> CDlgParameterTest::CreatePage(IMainWindow& main)
{
    if (CEtsLifeDeviceConnection* connection = main.VerifiedConnection())
        return std::make_unique<CDlgParameterTest>(main, *connection);
    return std::make_unique<CDlgNoLifeDeviceConnection>(
        main, QString::fromStdString(main.GetModel()->GetLabel(LabelNoConnection)));
}

bool CDlgParameterTest::OnInitDialog()
{
    TRACE_ENTRY();
    CParameterDialog::OnInitDialog();
    CEtsDbManagement& m = Model();
    for (auto [idc, number] : kLabels)
        SetLabelText(idc, number);
    for (auto [idc, number] : kDialogButtons) {
        QString text;
        if (GetDescriptionByNumber(number, text))
            SetDlgItemText(idc, text + "...");
    }
    GetDescriptionByNumber(831, m_strReadValue, "Read value");
    GetDescriptionByNumber(809, m_strReadState, "Read device state");
    GetDescriptionByNumber(876, m_strDeviceStatus, "Device status");
    GetDescriptionByNumber(871, m_strLampStatus, "Lamp status");
    GetDescriptionByNumber(870, m_strSwitchingStatus, "Switching status");
    GetDescriptionByNumber(874, m_strReset, "Reset");
    GetDescriptionByNumber(872, m_strVoltageFailure, "Voltage failure");
    GetDescriptionByNumber(878, m_strOk, "OK");
    GetDescriptionByNumber(877, m_strError, "Error");
    GetDescriptionByNumber(808, m_strOn, "on");
    GetDescriptionByNumber(802, m_strOff, "off");
    GetDescriptionByNumber(819, m_strYes, "yes");
    GetDescriptionByNumber(822, m_strNo, "no");

    if (m.GetAddressingMode() != 0) {
        if (auto* combo = Item<QComboBox>(IdEvgs)) {
            combo->clear();
            for (int n = 1; n <= kSingleCount; ++n)
                if (m.IsMemberUsed(n) && m.IsMemberAssigned(n))
                    AddComboboxItem(IdEvgs, n, QString::fromStdString(m.GetMemberDisplayName(n)));
            combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
            m_nEvgNr = combo->count() > 0 ? combo->itemData(0).toInt() : 0;
        }
        if (m_nEvgNr == 0)
            for (int id : {IdAllOn, IdAllOff, IdEvgs, IdEvgOn, IdEvgOff, IdValue, IdSetValue, IdReadValue,
                           IdReadState})
                EnableControl(id, false);
        InitLightnessCombobox(IdValue, -1, 0, -1);
        EnableControl(IdTestGroups, m.GroupExists(0));
    } else {
        for (int id : std::initializer_list<int>{IdTestGroups, IdSingleGroup, IdEvgLabel, IdEvgs, 736,
                                                 IdSwitchLabel, IdEvgOn, IdEvgOff, 737, IdValueLabel, IdValue,
                                                 IdSetValue, IdReadValue, 738, IdReadState, IdStateList})
            EnableControl(id, false);
    }
    EnableControl(IdTestScenes, m.SceneExists(0));
    EnableControl(IdTestEffects, m.EffectExists(0));
    return true;
}

void CDlgParameterTest::OnCommand(int id)
{
    switch (id) {
    case IdAllOn:
        return OnBnClickedBtnAllEvgsSwitchOn();
    case IdAllOff:
        return OnBnClickedBtnAllEvgsSwitchOff();
    case IdEvgOn:
        return OnBnClickedBtnEvgSwitchOn();
    case IdEvgOff:
        return OnBnClickedBtnEvgSwitchOff();
    case IdSetValue:
        return OnBnClickedBtnSetLightnessValue();
    case IdReadValue:
        return OnBnClickedBtnReadLightnessValue();
    case IdReadState:
        return OnBnClickedBtnReadEvgState();
    case IdTestGroups:
        return OnBnClickedBtnTestGroups();
    case IdTestScenes:
        return OnBnClickedBtnTestScenes();
    case IdTestEffects:
        return OnBnClickedBtnTestEffects();
    default:
        break;
    }
}

void CDlgParameterTest::OnSelChange(int idc)
{
    if (idc == IdEvgs)
        OnCbnSelchangeComboboxAvailableEvgs();
}

QString CDlgParameterTest::EvgDisplayName() const
{
    return QString::fromStdString(Model().GetMemberDisplayName(m_nEvgNr));
}

void CDlgParameterTest::SwitchAllEvgs(bool on)
{
    TRACE_MSG(TRACE_INFO, "On = %d", on);
    WaitCursor wait;
    if (m_connection.WritePropertyD1(FnSwitch, kAllGear, on ? 1 : 0))
        FocusControl(on ? IdAllOff : IdAllOn);
}

void CDlgParameterTest::SwitchEvg(bool on)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d, On = %d", m_nEvgNr, on);
    if (m_nEvgNr == 0)
        return;
    WaitCursor wait;
    if (m_connection.WritePropertyD1(FnSwitch, static_cast<std::uint8_t>(m_nEvgNr), on ? 1 : 0))
        FocusControl(on ? IdEvgOff : IdEvgOn);
}

void CDlgParameterTest::OnBnClickedBtnSetLightnessValue()
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", m_nEvgNr);
    auto* combo = Item<QComboBox>(IdValue);
    // Nothing chosen yet: sending 0 would switch the gear off, which nobody asked for.
    if (m_nEvgNr == 0 || !combo || combo->currentIndex() < 0)
        return;
    WaitCursor wait;
    m_connection.WritePropertyD1(FnSetLevel, static_cast<std::uint8_t>(m_nEvgNr),
                                 static_cast<std::uint8_t>(GetComboboxEnumValue(IdValue)));
}

void CDlgParameterTest::OnBnClickedBtnReadLightnessValue()
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", m_nEvgNr);
    if (m_nEvgNr == 0)
        return;
    WaitCursor wait;
    QString lightness;
    GetDescriptionByNumber(867, lightness, "Lightness value");
    std::uint8_t value = 0;
    const int result = m_connection.CallPropertyD1(FnReadLevel, static_cast<std::uint8_t>(m_nEvgNr), value,
                                                   m_strReadValue.toStdString(),
                                                   EvgDisplayName().toStdString(), lightness.toStdString());
    if (result == 0) {
        SelectComboboxLightnessValue(IdValue, value);
        return;
    }
    if (result == 2)
        ReportNoDaliConnection(Model());
    SelectComboboxLightnessValue(IdValue, -1);
}

QStringList CDlgParameterTest::StateLines(std::uint8_t state) const
{
    auto line = [](const QString& label, const QString& value) {
        return label + " = " + value;
    };
    return {line(m_strDeviceStatus, state & kStatusGearFailure ? m_strError : m_strOk),
            line(m_strLampStatus, state & kStatusLampFailure ? m_strError : m_strOk),
            line(m_strSwitchingStatus, state & kStatusLampOn ? m_strOn : m_strOff),
            line(m_strReset, state & kStatusReset ? m_strYes : m_strNo),
            line(m_strVoltageFailure, state & kStatusPowerFailure ? m_strYes : m_strNo)};
}

void CDlgParameterTest::OnBnClickedBtnReadEvgState()
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", m_nEvgNr);
    auto* list = Item<QListWidget>(IdStateList);
    if (list)
        list->clear();
    if (m_nEvgNr == 0)
        return;
    WaitCursor wait;
    std::uint8_t state = 0;
    const int result =
        m_connection.CallPropertyD1(FnReadStatus, static_cast<std::uint8_t>(m_nEvgNr), state,
                                    m_strReadState.toStdString(), EvgDisplayName().toStdString(), "");
    if (result == 0) {
        if (list)
            list->addItems(StateLines(state));
    } else if (result == 2) {
        ReportNoDaliConnection(Model());
        if (list)
            list->addItem(QString::fromStdString(Model().GetLabel(LabelNoDaliConnection)));
    }
}

void CDlgParameterTest::OnCbnSelchangeComboboxAvailableEvgs()
{
    m_nEvgNr = GetComboboxEnumValue(IdEvgs);
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", m_nEvgNr);
    if (auto* list = Item<QListWidget>(IdStateList))
        list->clear();
    if (auto* combo = Item<QComboBox>(IdValue))
        combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

template <class Dialog> void CDlgParameterTest::RunTest()
{
    Dialog dialog(Main(), m_connection);
    if (dialog.Create())
        dialog.exec();
}

void CDlgParameterTest::OnBnClickedBtnTestGroups()
{
    TRACE_ENTRY();
    RunTest<CDlgTestDaliGroups>();
}

void CDlgParameterTest::OnBnClickedBtnTestScenes()
{
    TRACE_ENTRY();
    RunTest<CDlgTestDaliScenes>();
}

void CDlgParameterTest::OnBnClickedBtnTestEffects()
{
    TRACE_ENTRY();
    RunTest<CDlgTestDaliEffects>();
}
