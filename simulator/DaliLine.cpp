#include "simulator/DaliLine.h"

#include <array>

bool DaliLine::Add(const ControlGear& gear)
{
    if (m_gear.size() >= kMaxGear)
        return false;
    m_gear.push_back(gear);
    return true;
}

std::vector<ControlGear*> DaliLine::AtShortAddress(std::uint8_t shortAddress)
{
    std::vector<ControlGear*> out;
    for (auto& g : m_gear) {
        if (g.answers && shortAddress != kNoShortAddress && g.shortAddress == shortAddress)
            out.push_back(&g);
    }
    return out;
}

std::vector<ControlGear*> DaliLine::InGroup(int daliGroup)
{
    std::vector<ControlGear*> out;
    for (auto& g : m_gear) {
        if (g.answers && daliGroup >= 0 && daliGroup < 16 && (g.groups >> daliGroup) & 1)
            out.push_back(&g);
    }
    return out;
}

std::vector<ControlGear*> DaliLine::Answering()
{
    std::vector<ControlGear*> out;
    for (auto& g : m_gear) {
        if (g.answers)
            out.push_back(&g);
    }
    return out;
}

std::ptrdiff_t DaliLine::IndexOfShortAddress(std::uint8_t shortAddress) const
{
    for (std::size_t i = 0; i < m_gear.size(); ++i) {
        if (shortAddress != kNoShortAddress && m_gear[i].shortAddress == shortAddress)
            return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

DaliSearchPlan PlanDaliSearch(const DaliLine& line, bool compatibilityMode, const SimulatorTiming& timing,
                              Clock& random)
{
    DaliSearchPlan plan;
    std::vector<ControlGear> gear = line.Gear();
    std::vector<bool> withdrawn(gear.size(), false);
    std::uint32_t t = 0;
    std::array<int, 3> searchBytes{-1, -1, -1};

    auto setSearchAddress = [&](std::uint32_t address) {
        for (int k = 0; k < 3; ++k) {
            int byte = static_cast<int>((address >> (16 - 8 * k)) & 0xFF);
            if (searchBytes[k] != byte) {
                t += timing.frameMs;
                searchBytes[k] = byte;
            }
        }
    };
    auto compare = [&](std::uint32_t address) {
        setSearchAddress(address);
        t += timing.frameWithAnswerMs * (compatibilityMode ? 2 : 1);
        ++plan.compareSteps;
        bool answered = false;
        for (std::size_t i = 0; i < gear.size(); ++i) {
            ControlGear& g = gear[i];
            if (!g.answers || withdrawn[i] || (g.needsCompatibilityMode && !compatibilityMode))
                continue;
            if (g.comparesBeforeSilence == 0) {
                g.answers = false;
                plan.fallenSilent.push_back(i);
                continue;
            }
            if (g.comparesBeforeSilence > 0)
                --g.comparesBeforeSilence;
            answered = answered || g.randomAddress <= address;
        }
        return answered;
    };
    auto newRandomAddress = [&] {
        for (;;) {
            std::uint32_t r = random.Random() & 0xFFFFFF;
            if (r == 0 || r == kUnsetRandomAddress)
                continue;
            bool used = false;
            for (const auto& g : gear)
                used = used || g.randomAddress == r;
            if (!used)
                return r;
        }
    };

    t += 2 * timing.frameMs; // INITIALISE, sent twice
    // Random addresses that tell nothing apart: the gear are told to RANDOMISE first.
    bool randomised = false;
    for (auto& g : gear) {
        if (g.answers && (g.randomAddress == 0 || g.randomAddress >= kUnsetRandomAddress)) {
            g.randomAddress = newRandomAddress();
            randomised = true;
        }
    }
    if (randomised)
        t += 2 * timing.frameMs + 100;

    std::vector<std::size_t> found;
    int misses = 0;
    while (compare(0xFFFFFF)) {
        std::uint32_t address = 0;
        for (int bit = 23; bit >= 0; --bit) {
            std::uint32_t probe = address | ((1u << bit) - 1);
            if (!compare(probe))
                address |= 1u << bit;
        }
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < gear.size(); ++i) {
            if (gear[i].answers && !withdrawn[i] && gear[i].randomAddress == address &&
                (!gear[i].needsCompatibilityMode || compatibilityMode))
                at.push_back(i);
        }
        t += timing.frameWithAnswerMs; // QUERY SHORT ADDRESS
        if (at.empty()) {
            // The gear that led the search there fell silent: search again without it.
            if (++misses > 3)
                break;
            continue;
        }
        if (at.size() > 1) {
            // The answers collide: those gear draw new random addresses and are searched again.
            t += 2 * timing.frameMs + 100;
            for (std::size_t i : at)
                gear[i].randomAddress = newRandomAddress();
            continue;
        }
        std::size_t i = at.front();
        t += timing.frameWithAnswerMs; // QUERY DEVICE TYPE
        if (gear[i].multipleDeviceTypes)
            t += 2 * timing.frameWithAnswerMs; // QUERY NEXT DEVICE TYPE until the list ends
        plan.events.push_back({t, i, false, gear[i].randomAddress, gear[i].shortAddress});
        t += timing.frameMs; // WITHDRAW
        withdrawn[i] = true;
        found.push_back(i);
    }

    std::array<bool, DaliLine::kMaxGear> taken{};
    std::vector<std::size_t> toAddress;
    for (std::size_t i : found) {
        std::uint8_t s = gear[i].shortAddress;
        if (s < DaliLine::kMaxGear && !taken[s])
            taken[s] = true;
        else
            toAddress.push_back(i);
    }
    for (std::size_t i : toAddress) {
        std::uint8_t s = 0;
        while (s < DaliLine::kMaxGear && taken[s])
            ++s;
        if (s == DaliLine::kMaxGear)
            break;
        taken[s] = true;
        setSearchAddress(gear[i].randomAddress);
        t += timing.frameMs + timing.frameWithAnswerMs; // PROGRAM SHORT ADDRESS, VERIFY SHORT ADDRESS
        plan.events.push_back({t, i, true, gear[i].randomAddress, s});
    }
    t += timing.frameMs; // TERMINATE
    plan.durationMs = t;
    return plan;
}
