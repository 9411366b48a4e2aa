// What the simulated gateway does to its line right now, read at one moment: the level of every
// gear and group, the scene called last, the effect and its step, blinking gear and lit emergency
// lamps. Tests check it; the demo shows it in one line.
#pragma once

#include <array>
#include <string>
#include <vector>

struct GatewayState
{
    static constexpr int kNoGear = -1;

    // Lightness 0..173 of gear number n at [n - 1]; kNoGear where no gear answers.
    std::array<int, 64> gearLevels{};
    // The gear on the line that answer, numbered or not, and those of them that are lit.
    int lineGear = 0;
    int litGear = 0;
    // Lightness of group g at [g - 1], as its gear with the lowest number has it; kNoGear for a group
    // without gear.
    std::array<int, 32> groupLevels{};
    std::vector<int> dimmingGroups; // groups whose gear are dimming now
    int lastScene = 0;              // the scene called last, 0 none since the start
    int effect = 0;                 // the effect started or stepped last, 0 none
    bool effectRunning = false;
    bool effectStepMode = false;
    int effectStep = 0;
    int effectPass = 0;
    std::vector<int> blinkingGear;   // gear numbers, ascending
    std::vector<int> emergencyLamps; // gear numbers whose emergency lamp test runs
    bool watchdogArmed = false;      // a test command runs and waits for its retrigger

    int GroupLevel(int group) const { return groupLevels.at(static_cast<std::size_t>(group - 1)); }
    int GearLevel(int gear) const { return gearLevels.at(static_cast<std::size_t>(gear - 1)); }
    // Nothing lit, dimming, blinking, playing an effect or testing an emergency lamp.
    bool IsQuiet() const;
};

// The state in one line for a status bar, for example
// "Gear on: 3 of 12 | Groups on: 1 100 %, 3 41 % | Scene 2 | Effect 1 running, step 2, pass 1 |
// Blinking: 4 | Emergency lamps: 7".
std::string DescribeGatewayState(const GatewayState& state);

// Lightness 0..173 as the percent a DALI gear gives at that level (logarithmic curve).
double LightnessPercent(int lightness);
