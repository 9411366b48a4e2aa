// Effects, their steps and the packed effect value table.
#include "model/EtsDbManagement.h"
#include "plugin/trace/DebugTrace.h"

#include <cstdio>

namespace {

constexpr int kValueKeys = 96; // keys above are scenes and take no table value
constexpr int kKeys = 112;

bool ValidEffectNr(int e)
{
    return e >= 1 && e <= kEffectCount;
}

} // namespace

bool CEtsDbManagement::EffectExists(int effectNr) const
{
    if (effectNr == 0) {
        for (const EffectRecord& e : m_Effects)
            if (!e.steps.empty())
                return true;
        return false;
    }
    return ValidEffectNr(effectNr) && !GetEffect(effectNr).steps.empty();
}

int CEtsDbManagement::GetEffectStepCount(int effectNr) const
{
    return ValidEffectNr(effectNr) ? static_cast<int>(GetEffect(effectNr).steps.size()) : 0;
}

int CEtsDbManagement::GetKnxEffect(int effectNr) const
{
    return ValidEffectNr(effectNr) ? GetEffect(effectNr).knxEffect : 0;
}

std::string CEtsDbManagement::GetEffectName(int effectNr) const
{
    return ValidEffectNr(effectNr) ? GetEffect(effectNr).name : std::string();
}

std::string CEtsDbManagement::GetEffectDisplayName(int effectNr) const
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", effectNr);
    return buf + GetEffectName(effectNr);
}

const EffectStepMap* CEtsDbManagement::StepMap(int effectNr, int stepNr) const
{
    const int n = GetEffectStepCount(effectNr);
    if (n == 0 || stepNr < 1)
        return nullptr;
    return &GetEffect(effectNr).steps[static_cast<std::size_t>(std::min(stepNr, n) - 1)];
}

EffectStepMap* CEtsDbManagement::StepMap(int effectNr, int stepNr)
{
    return const_cast<EffectStepMap*>(std::as_const(*this).StepMap(effectNr, stepNr));
}

int CEtsDbManagement::StepSlot(int effectNr, int stepNr) const
{
    const int n = GetEffectStepCount(effectNr);
    return stepNr < n ? stepNr : kStepSlots;
}

bool CEtsDbManagement::IsGroupInEffectStep(int effectNr, int stepNr, int key) const
{
    const EffectStepMap* map = StepMap(effectNr, stepNr);
    return map && map->count(static_cast<std::uint8_t>(key));
}

bool CEtsDbManagement::AddGroupToEffectStep(int effectNr, int stepNr, int key, std::uint16_t entry)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, EffectNr = %d, StepNr = %d, Value = $%X", key, effectNr, stepNr,
              static_cast<unsigned>(entry));
    EffectStepMap* map = StepMap(effectNr, stepNr);
    if (!map || key < 1 || key > kKeys || map->count(static_cast<std::uint8_t>(key)))
        return false;
    if (key <= kValueKeys && m_nEffectValues > 999) {
        TRACE_MSG(TRACE_ERROR, "EffectValues = %d", static_cast<int>(m_nEffectValues));
        return false;
    }
    (*map)[static_cast<std::uint8_t>(key)] = static_cast<std::uint8_t>(entry & 0xFF);
    SaveEffectStepFlags(effectNr, stepNr);
    if (key <= kValueKeys)
        SaveEffectValues();
    return true;
}

std::uint16_t CEtsDbManagement::RemoveGroupFromEffectStep(int effectNr, int stepNr, int key)
{
    EffectStepMap* map = StepMap(effectNr, stepNr);
    if (!map)
        return 0;
    auto it = map->find(static_cast<std::uint8_t>(key));
    if (it == map->end())
        return 0;
    TRACE_MSG(TRACE_INFO, "GroupNr = %d, EffectNr = %d, StepNr = %d", key, effectNr, stepNr);
    const auto entry = static_cast<std::uint16_t>(kEntryValuePresent | it->second);
    map->erase(it);
    SaveEffectStepFlags(effectNr, stepNr);
    if (key <= kValueKeys)
        SaveEffectValues();
    return entry;
}

void CEtsDbManagement::RemoveGroupFromScenesAndEffects(int groupNr)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    for (int s = 1; s <= kSceneCount; ++s)
        RemoveGroupFromScene(s, groupNr, true);
    bool removed = false;
    for (int e = 1; e <= kEffectCount; ++e) {
        for (int k = 1; k <= GetEffectStepCount(e); ++k) {
            EffectStepMap* map = StepMap(e, k);
            if (map->erase(static_cast<std::uint8_t>(groupNr))) {
                SaveEffectStepFlags(e, k);
                removed = true;
            }
        }
    }
    if (removed && groupNr <= kValueKeys)
        SaveEffectValues();
}

bool CEtsDbManagement::IsGroupUsedInScenesOrEffects(int groupNr) const
{
    for (int s = 1; s <= kSceneCount; ++s)
        if (SceneExists(s) && IsGroupInScene(s, groupNr))
            return true;
    for (int e = 1; e <= kEffectCount; ++e)
        for (int k = 1; k <= GetEffectStepCount(e); ++k)
            if (IsGroupInEffectStep(e, k, groupNr))
                return true;
    return false;
}

std::uint8_t CEtsDbManagement::GetEffectValue(int effectNr, int stepNr, int key) const
{
    const EffectStepMap* map = StepMap(effectNr, stepNr);
    if (!map) {
        TRACE_MSG(TRACE_ERROR, "Steps = %d", GetEffectStepCount(effectNr));
        return 255;
    }
    auto it = map->find(static_cast<std::uint8_t>(key));
    return it == map->end() ? 255 : it->second;
}

void CEtsDbManagement::SetEffectValue(int effectNr, int stepNr, int key, std::uint8_t value)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d, GroupNr = %d: Value = %d", effectNr, stepNr, key,
              value);
    EffectStepMap* map = StepMap(effectNr, stepNr);
    if (!map || key < 1 || key > kValueKeys) {
        TRACE_MSG(TRACE_ERROR, "Steps = %d", GetEffectStepCount(effectNr));
        return;
    }
    auto it = map->find(static_cast<std::uint8_t>(key));
    if (it == map->end())
        return;
    it->second = value;
    const int i = CountEffectValues(-effectNr, -stepNr, -key);
    if (i >= kEffectValueCount) {
        TRACE_MSG(TRACE_ERROR, "EffectIndex = %d", i);
        return;
    }
    TRACE_MSG(TRACE_INFO, "EffectIndex = %d", i);
    const UniqueNr number = GetEffectUniqueNr(25700, i / 4);
    const int shift = (3 - i % 4) * 8;
    std::uint32_t word = GetParameterPattern(number, 0);
    word = (word & ~(0xFFu << shift)) | (std::uint32_t{value} << shift);
    SetParameterPattern(number, word);
}

int CEtsDbManagement::CountEffectValues(int effectNr, int stepNr, int key) const
{
    if (effectNr == 0) {
        int sum = 0;
        for (int e = 1; e <= kEffectCount; ++e)
            sum += CountEffectValues(e, 0, 0);
        return sum;
    }
    if (effectNr < 0) {
        int sum = 0;
        for (int e = 1; e < -effectNr; ++e)
            sum += CountEffectValues(e, 0, 0);
        return sum + CountEffectValues(-effectNr, stepNr, key);
    }
    const int n = GetEffectStepCount(effectNr);
    if (stepNr == 0) {
        int sum = 0;
        for (int k = 1; k <= n; ++k)
            sum += CountEffectValues(effectNr, k, 0);
        return sum;
    }
    if (stepNr < 0) {
        const int last = std::min(-stepNr, n);
        int sum = 0;
        for (int k = 1; k < last; ++k)
            sum += CountEffectValues(effectNr, k, 0);
        return last >= 1 ? sum + CountEffectValues(effectNr, last, key) : sum;
    }
    const EffectStepMap* map = StepMap(effectNr, stepNr);
    if (!map)
        return 0;
    int count = 0;
    for (const auto& [k, v] : *map) {
        if (k > kValueKeys)
            continue;
        if (key == 0 || (key < 0 && k < -key) || (key > 0 && k == key))
            ++count;
    }
    return count;
}

void CEtsDbManagement::SetStepTablePosition(int effectNr, int slot, int position)
{
    SetParameterLong(GetEffectStepUniqueNr(20700, effectNr, slot),
                     position <= kEffectValueCount ? position : 0);
}

void CEtsDbManagement::SaveEffectValues()
{
    TRACE_ENTRY();
    int position = 0;
    std::uint32_t accumulator = 0;
    for (int e = 1; e <= kEffectCount; ++e) {
        const int n = GetEffectStepCount(e);
        for (int k = 1; k <= n; ++k) {
            const int slot = GetEffectStepSlot(k, n);
            SetStepTablePosition(e, slot, position + 1);
            for (const auto& [key, value] : GetEffect(e).steps[static_cast<std::size_t>(k - 1)]) {
                if (key > kValueKeys)
                    continue;
                if (position >= kEffectValueCount) {
                    TRACE_MSG(TRACE_ERROR, "EffectNr = %d, StepNr = %d, nGroupNr = %d: EffectValues = %ld", e,
                              slot, key, static_cast<long>(position));
                    continue;
                }
                if (position % 4 != 0) {
                    accumulator <<= 8;
                } else if (position > 0) {
                    SetParameterPattern(GetEffectUniqueNr(25700, (position - 1) / 4), accumulator);
                    accumulator = 0;
                }
                accumulator |= value;
                ++position;
            }
        }
    }
    m_nEffectValues = static_cast<std::uint16_t>(position);
    if (position > 0) {
        int fill = position;
        while (fill % 4 != 0) {
            accumulator <<= 8;
            ++fill;
        }
        SetParameterPattern(GetEffectUniqueNr(25700, (position - 1) / 4), accumulator);
    }
    TRACE_MSG(TRACE_INFO, "EffectValues = %ld", static_cast<long>(position));
    ConfigChanged();
}

void CEtsDbManagement::SaveEffectStepFlags(int effectNr, int stepNr)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, stepNr);
    if (effectNr == 0) {
        for (int e = 1; e <= kEffectCount; ++e)
            SaveEffectStepFlags(e, 0);
        return;
    }
    const int n = GetEffectStepCount(effectNr);
    if (n == 0)
        return;
    if (stepNr == 0) {
        for (int k = 1; k <= n; ++k)
            SaveEffectStepFlags(effectNr, k);
        return;
    }
    const EffectStepMap* map = StepMap(effectNr, stepNr);
    const int slot = StepSlot(effectNr, stepNr);
    std::array<std::uint32_t, 3> masks{};
    std::uint16_t scenes = 0;
    for (const auto& [key, value] : *map) {
        if (key >= 1 && key <= kValueKeys)
            masks[static_cast<std::size_t>((key - 1) / 32)] |= 1u << ((key - 1) % 32);
        else if (key > kValueKeys && key <= kKeys)
            scenes = static_cast<std::uint16_t>(scenes | (1u << (key - 97)));
    }
    for (int i = 0; i < 3; ++i)
        SetParameterPattern(GetEffectStepUniqueNr(16700 + i * 1000, effectNr, slot),
                            SwapMask32(masks[static_cast<std::size_t>(i)]));
    SetParameterLong(GetEffectStepUniqueNr(19700, effectNr, slot), SwapMask16(scenes));
}
