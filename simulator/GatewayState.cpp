#include "simulator/GatewayState.h"

#include "simulator/GatewaySimulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace protocol;

double LightnessPercent(int lightness)
{
    if (lightness <= 0)
        return 0.0;
    // DALI's curve: arc power level 1..254 spans 0.1 % to 100 % in three decades.
    const int arc = LightnessToArc(static_cast<std::uint8_t>(std::min(lightness, 173)));
    return std::pow(10.0, (arc - 1) * 3.0 / 253.0 - 1.0);
}

namespace {

std::string Percent(int lightness)
{
    const double p = LightnessPercent(lightness);
    char text[16];
    std::snprintf(text, sizeof text, p < 10.0 ? "%.1f %%" : "%.0f %%", p);
    return text;
}

std::string Numbers(const std::vector<int>& numbers)
{
    std::string out;
    for (int n : numbers)
        out += (out.empty() ? "" : ", ") + std::to_string(n);
    return out;
}

} // namespace

bool GatewayState::IsQuiet() const
{
    return litGear == 0 && dimmingGroups.empty() && blinkingGear.empty() && emergencyLamps.empty() &&
           !effectRunning && !effectStepMode;
}

std::string DescribeGatewayState(const GatewayState& state)
{
    std::string line = state.litGear == 0 ? std::string("All gear off")
                                          : "Gear on: " + std::to_string(state.litGear) + " of " +
                                                std::to_string(state.lineGear);
    std::string groups;
    for (int g = 1; g <= 32; ++g) {
        const int level = state.GroupLevel(g);
        if (level <= 0)
            continue;
        groups += (groups.empty() ? "" : ", ") + std::to_string(g) + " " + Percent(level);
        if (std::find(state.dimmingGroups.begin(), state.dimmingGroups.end(), g) != state.dimmingGroups.end())
            groups += " dimming";
    }
    if (!groups.empty())
        line += " | Groups on: " + groups;
    if (state.lastScene != 0)
        line += " | Scene " + std::to_string(state.lastScene);
    if (state.effect != 0 && (state.effectRunning || state.effectStepMode)) {
        line += " | Effect " + std::to_string(state.effect);
        line += state.effectRunning ? " running, step " : " stepped, step ";
        line += std::to_string(state.effectStep);
        if (state.effectRunning)
            line += ", pass " + std::to_string(state.effectPass);
    }
    if (!state.blinkingGear.empty())
        line += " | Blinking: " + Numbers(state.blinkingGear);
    if (!state.emergencyLamps.empty())
        line += " | Emergency lamps: " + Numbers(state.emergencyLamps);
    return line;
}

GatewayState GatewaySimulator::State()
{
    std::lock_guard lock(m_mutex);
    const std::uint64_t now = m_clock.NowMs();
    Settle(now);
    GatewayState state;
    state.gearLevels.fill(GatewayState::kNoGear);
    state.groupLevels.fill(GatewayState::kNoGear);
    for (const ControlGear* g : m_line.Answering()) {
        ++state.lineGear;
        if (g->LevelAt(now, m_timing) != 0)
            ++state.litGear;
    }
    for (int n = 1; n <= kGearCount; ++n) {
        const auto gear = m_line.AtShortAddress(static_cast<std::uint8_t>(n - 1));
        if (gear.empty())
            continue;
        const ControlGear& g = *gear.front();
        state.gearLevels[static_cast<std::size_t>(n - 1)] = ArcToLightness(g.LevelAt(now, m_timing));
        if (g.motion == ControlGear::Motion::Blink)
            state.blinkingGear.push_back(n);
        if (g.emergencyLampOn)
            state.emergencyLamps.push_back(n);
    }
    for (int group = 1; group <= 32; ++group) {
        auto gear = GroupTargets(group);
        if (gear.empty())
            continue;
        const auto first =
            std::min_element(gear.begin(), gear.end(), [](const ControlGear* a, const ControlGear* b) {
                return a->shortAddress < b->shortAddress;
            });
        state.groupLevels[static_cast<std::size_t>(group - 1)] =
            ArcToLightness((*first)->LevelAt(now, m_timing));
        if (std::any_of(gear.begin(), gear.end(), [](const ControlGear* g) {
                return g->motion == ControlGear::Motion::DimUp || g->motion == ControlGear::Motion::DimDown;
            }))
            state.dimmingGroups.push_back(group);
    }
    for (auto it = m_commands.rbegin(); it != m_commands.rend(); ++it) {
        if (it->propertyId == PropD1 && it->data.size() >= 2 && it->data[0] == FnCallScene) {
            state.lastScene = it->data[1];
            break;
        }
    }
    state.effect = m_effect;
    state.effectRunning = m_effectRunning;
    state.effectStepMode = m_effectStepMode;
    if (m_effect != 0) {
        const auto [step, pass] = EffectPosition(now);
        state.effectStep = step;
        state.effectPass = pass;
        state.effectRunning = m_effectRunning; // the last pass may have just ended
    }
    state.watchdogArmed = m_watchdogDeadline.has_value();
    return state;
}
