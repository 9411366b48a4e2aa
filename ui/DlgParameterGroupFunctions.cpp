#include "ui/DlgParameterGroupFunctions.h"

#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"

namespace {

constexpr unsigned G = BindGroup;

} // namespace

void WriteDimStepTime(CParameterDialog& page, int idc, int groupNr, UniqueNr valueBase)
{
    std::uint16_t timePerTick = 0;
    std::uint8_t stepsPerTick = 0, correction = 0;
    CalculateDimStepParameters(page.BoundRef(idc, 0), page.BoundRef(idc, 1), page.BoundRef(idc, 2),
                               &timePerTick, &stepsPerTick, &correction);
    CEtsDbManagement& m = page.Model();
    m.SetParameterLong(GetGroupUniqueNr(valueBase, groupNr), timePerTick);
    m.SetParameterLong(GetGroupUniqueNr(valueBase + 1, groupNr), stepsPerTick);
    m.SetParameterLong(GetGroupUniqueNr(valueBase + 2, groupNr), correction);
}

// ---- switching ------------------------------------------------------------------------------------

namespace {

enum : int
{
    IdAckSwitchState = 214,
    IdSwitchAckDelay = 216,
    IdSwitchAckCyclic = 218,
};

} // namespace

CDlgParameterGroupSwitch::CDlgParameterGroupSwitch(IMainWindow& main, int groupNr)
    : CParameterDialog(219, main)
{
    static const BindingTable table{
        {
            Combo(IdAckSwitchState, 213, 201, G | BindCheck),
            Combo(IdSwitchAckDelay, 215, 202, G),
            Combo(IdSwitchAckCyclic, 217, 203, G),
            Combo(693, 692, 205, G),
            Combo(220, 219, 204, G),
        },
        {
            {"ShowHideAckSwitchStateDependentElements",
             {215, 216, 217, 218, 692, 693},
             {Is(IdAckSwitchState, 1)}},
            // The central function needs the central object.
            {"CentralObject",
             {270, 219, 220},
             {ParamOn(param::kUseCentralObject), ParamIsNot(param::kAddressingMode, 0)}},
        },
    };
    SetBindingTable(table, groupNr);
}

void CDlgParameterGroupSwitch::OnBindingChanged(int idc)
{
    if (idc == IdAckSwitchState && BoundValue(idc) != 1) {
        SetBoundValue(IdSwitchAckDelay, 0);
        SetBoundValue(IdSwitchAckCyclic, 0);
    }
}

// ---- dimming --------------------------------------------------------------------------------------

namespace {

enum : int
{
    IdRelativeTime = 236,
    IdReceiveLightness = 241,
    IdAbsoluteTime = 242,
    IdAutoSwitchOff = 244,
    IdDelaySwitchOff = 247,
    IdAckLightness = 239,
    IdDimAckDelay = 216,
    IdDimAckCyclic = 218,
};

} // namespace

CDlgParameterGroupDimmer::CDlgParameterGroupDimmer(IMainWindow& main, int groupNr)
    : CParameterDialog(220, main)
{
    static const BindingTable table{
        {
            Time(IdRelativeTime, 235, kHms, 301, 302, 303, 1, 295, 880, G),
            Combo(IdReceiveLightness, 240, param::kGroupLightnessReaction, G),
            Time(IdAbsoluteTime, 237, kHms, 304, 305, 306, 1, 296, 880, G),
            Combo(IdAutoSwitchOff, 243, 328, G),
            ComboWindow(246, 245, 335, 0, 255, G | BindLightnessWindow),
            Combo(IdDelaySwitchOff, 249, 329, G),
            Time(248, 226, kMs, 0, 330, 331, 1, 297, 881, G),
            Combo(IdAckLightness, 238, 325, G | BindCheck),
            Combo(IdDimAckDelay, 215, 326, G),
            Combo(IdDimAckCyclic, 217, 327, G),
            Combo(695, 694, 336, G),
        },
        {
            {"ShowHideBehaviourReceiveLightnessValueDependentElements",
             {242, 237, 296},
             {Is(IdReceiveLightness, 1)}},
            {"ShowHideAutoSwitchOffDependentElements", {246, 245, 247, 249}, {On(IdAutoSwitchOff)}},
            {"ShowHideDelaySwitchOffDependentElements",
             {248, 226, 297},
             {On(IdAutoSwitchOff), On(IdDelaySwitchOff)}},
            {"ShowHideAckLightnessValueDependentElements",
             {216, 215, 218, 217, 695, 694},
             {Is(IdAckLightness, 1)}},
        },
    };
    SetBindingTable(table, groupNr);
}

void CDlgParameterGroupDimmer::OnKillFocus(int idc)
{
    CParameterDialog::OnKillFocus(idc);
    // The gateway's step values follow the time each time the picker is left.
    if (idc == IdRelativeTime || idc == IdAbsoluteTime)
        WriteDimStepTime(*this, idc, BindGroupNr(), idc == IdRelativeTime ? 313 : 316);
}

void CDlgParameterGroupDimmer::OnBindingChanged(int idc)
{
    if (idc == IdAutoSwitchOff && BoundValue(idc) == 0)
        SetBoundValue(IdDelaySwitchOff, 0);
    else if (idc == IdAckLightness && BoundValue(idc) != 1) {
        SetBoundValue(IdDimAckDelay, 0);
        SetBoundValue(IdDimAckCyclic, 0);
    }
}

// ---- hour meter -----------------------------------------------------------------------------------

CDlgParameterGroupHourmeter::CDlgParameterGroupHourmeter(IMainWindow& main, int groupNr)
    : CParameterDialog(259, main)
{
    static const BindingTable table{
        {
            Combo(701, 700, 580, G | BindCheck),
            Combo(703, 702, 582, G),
            Combo(705, 704, 581, G | BindCheck),
            NumberBox(707, 706, 584, 1, 65535, G, 65535),
            Combo(709, 708, 583, G),
            NumberBox(711, 710, 585, 1, 65535, G, 1),
        },
        {
            {"ShowHideHourmeterParameters", {702, 703, 704, 705, 708, 709}, {On(701)}},
            {"ShowHideHourmeterLimitingParameters", {706, 707}, {On(701), Is(705, 2)}},
            {"ShowHideHourmeterSendingParameters", {710, 711}, {On(701), Is(709, 1)}},
        },
    };
    SetBindingTable(table, groupNr);
}
