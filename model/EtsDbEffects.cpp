// Effects, their steps and the packed effect value table.
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <algorithm>
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
    const UniqueNr number = GetEffectUniqueNr(param::kEffectTable, i / 4);
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
    SetParameterLong(GetEffectStepUniqueNr(param::kStepTablePosition, effectNr, slot),
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
                    SetParameterPattern(GetEffectUniqueNr(param::kEffectTable, (position - 1) / 4),
                                        accumulator);
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
        SetParameterPattern(GetEffectUniqueNr(param::kEffectTable, (position - 1) / 4), accumulator);
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
        SetParameterPattern(GetEffectStepUniqueNr(param::kStepMaskKeys1 + i * 1000, effectNr, slot),
                            SwapMask32(masks[static_cast<std::size_t>(i)]));
    SetParameterLong(GetEffectStepUniqueNr(param::kStepMaskScenes, effectNr, slot), SwapMask16(scenes));
}

namespace {

// Dimming mode, delay minutes, seconds and tenths of a step.
constexpr UniqueNr kStepSettingBases[4] = {param::kStepSettings, param::kStepSettings + 1000,
                                           param::kStepSettings + 2000, param::kStepSettings + 3000};
constexpr UniqueNr kStepMaskBases[4] = {param::kStepMaskKeys1, param::kStepMaskKeys1 + 1000,
                                        param::kStepMaskKeys1 + 2000, param::kStepMaskScenes};

int ValueKeysOf(const EffectStepMap& map)
{
    int count = 0;
    for (const auto& [key, value] : map)
        count += key <= kValueKeys ? 1 : 0;
    return count;
}

} // namespace

int CEtsDbManagement::GetNextFreeEffectNr() const
{
    TRACE_ENTRY();
    for (int e = 1; e <= kEffectCount; ++e)
        if (!EffectExists(e))
            return e;
    return 0;
}

bool CEtsDbManagement::IsKnxEffectUsed(int knxEffect) const
{
    for (const EffectRecord& e : m_Effects)
        if (e.knxEffect == knxEffect)
            return true;
    return false;
}

int CEtsDbManagement::GetNextFreeKnxEffect(int start) const
{
    return NextFreeKnxNumber(start, [this](int k) { return IsKnxEffectUsed(k); });
}

std::string CEtsDbManagement::GetStepDisplayName(int slot) const
{
    if (slot >= kStepSlots)
        return GetLabel(LabelStop);
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", slot);
    return buf + GetLabel(LabelStep);
}

void CEtsDbManagement::SetKnxEffect(int effectNr, int knxEffect)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, Value = %d", effectNr, knxEffect);
    if (!ValidEffectNr(effectNr))
        return;
    Effect(effectNr).knxEffect = static_cast<std::uint8_t>(knxEffect);
    SetParameterLong(GetEffectUniqueNr(param::kEffectKnxNumber, effectNr), knxEffect);
}

void CEtsDbManagement::SetEffectName(int effectNr, const std::string& name)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, Name = %s", effectNr, name.c_str());
    if (!ValidEffectNr(effectNr))
        return;
    Effect(effectNr).name = name;
    SetParameterString(GetEffectUniqueNr(param::kEffectName, effectNr), name);
}

void CEtsDbManagement::CreateEffect(int effectNr)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", effectNr);
    if (!ValidEffectNr(effectNr) || EffectExists(effectNr))
        return;
    if (!EffectExists(0))
        SetParameterLong(param::kEffectObjectDisabled, 0);
    const int k = GetNextFreeKnxEffect(0);
    EffectRecord& effect = Effect(effectNr);
    effect.knxEffect = static_cast<std::uint8_t>(k);
    effect.steps.assign(1, EffectStepMap{});
    SetParameterLong(GetEffectUniqueNr(param::kEffectExists, effectNr), 1);
    SetParameterLong(GetEffectUniqueNr(param::kEffectKnxNumber, effectNr), k);
    SetParameterLong(GetEffectUniqueNr(param::kEffectStepCount, effectNr), 1);
    for (int t = 1; t < kStepSlots; ++t)
        ClearEffectStep(effectNr, t);
    InitEffectStep(effectNr, kStepSlots);
    ConfigChanged();
}

void CEtsDbManagement::DeleteEffect(int effectNr, bool save)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", effectNr);
    if (!ValidEffectNr(effectNr))
        return;
    EffectRecord& effect = Effect(effectNr);
    effect.name = GetLabel(LabelEffect);
    effect.knxEffect = 0;
    effect.steps.clear();
    // The Stop slot is cleared too, so that a deleted effect leaves nothing behind.
    for (int t = 1; t <= kStepSlots; ++t)
        ClearEffectStep(effectNr, t);
    SetParameterLong(GetEffectUniqueNr(param::kEffectExists, effectNr), 0);
    SetParameterLong(GetEffectUniqueNr(param::kEffectStepCount, effectNr), 0);
    for (UniqueNr base : {10700, 11700, 12700, 13700, 15700})
        ResetParameter(GetEffectUniqueNr(base, effectNr));
    if (save)
        SaveEffectValues();
    if (!EffectExists(0))
        SetParameterLong(param::kEffectObjectDisabled, 1);
    ConfigChanged();
}

int CEtsDbManagement::CreateEffectStep(int effectNr, int after)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, after);
    const int old = GetEffectStepCount(effectNr);
    if (old == 0 || old >= kStepSlots || after < 0 || after >= old)
        return 0;
    EffectRecord& effect = Effect(effectNr);
    const int n = old + 1;
    SetParameterLong(GetEffectUniqueNr(param::kEffectStepCount, effectNr), n);
    effect.steps.emplace_back();
    int fresh = after + 1;
    // The Stop step keeps slot 16; intermediate steps behind the new one move up a slot.
    effect.steps[static_cast<std::size_t>(n - 1)] = effect.steps[static_cast<std::size_t>(n - 2)];
    for (int k = old - 1; k >= fresh; --k) {
        StepClipboard moving;
        CopyEffectStep(effectNr, k, &moving);
        PasteEffectStep(effectNr, k + 1, &moving);
    }
    if (fresh >= n)
        fresh = kStepSlots;
    InitEffectStep(effectNr, fresh);
    // Moved steps start at other table positions now.
    SaveEffectValues();
    ConfigChanged();
    TRACE_MSG(TRACE_INFO, "-> StepNr = %d", fresh);
    return fresh;
}

void CEtsDbManagement::DeleteEffectStep(int effectNr, int stepNr)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, stepNr);
    const int n = GetEffectStepCount(effectNr);
    if (n < 2 || stepNr < 1) {
        TRACE_MSG(TRACE_ERROR, "Steps = %d", n);
        return;
    }
    EffectRecord& effect = Effect(effectNr);
    if (stepNr < n) {
        for (int k = stepNr + 1; k <= n - 1; ++k) {
            StepClipboard moving;
            CopyEffectStep(effectNr, k, &moving);
            PasteEffectStep(effectNr, k - 1, &moving);
        }
        ClearEffectStep(effectNr, n - 1);
        effect.steps.erase(effect.steps.begin() + (n - 2));
    } else {
        // The last intermediate step becomes the Stop step.
        StepClipboard moving;
        CopyEffectStep(effectNr, n - 1, &moving);
        PasteEffectStep(effectNr, n, &moving);
        ClearEffectStep(effectNr, n - 1);
        effect.steps.erase(effect.steps.begin() + (n - 2));
    }
    SetParameterLong(GetEffectUniqueNr(param::kEffectStepCount, effectNr), n - 1);
    SaveEffectValues();
    ConfigChanged();
}

void CEtsDbManagement::CopyEffectStep(int effectNr, int stepNr, StepClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, stepNr);
    if (!clipboard) {
        m_EffectClipboard.valid = false;
        clipboard = &m_StepClipboard;
    }
    const int n = GetEffectStepCount(effectNr);
    if (n == 0) {
        TRACE_MSG(TRACE_ERROR, "Steps = %d", n);
        return;
    }
    if (stepNr <= 0 || stepNr >= n)
        stepNr = n;
    const int slot = StepSlot(effectNr, stepNr);
    clipboard->map = *StepMap(effectNr, stepNr);
    for (int i = 0; i < 4; ++i)
        clipboard->settings[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(
            GetParameterLong(GetEffectStepUniqueNr(kStepSettingBases[i], effectNr, slot), 0));
    clipboard->valid = true;
}

bool CEtsDbManagement::PasteEffectStep(int effectNr, int stepNr, StepClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, stepNr);
    const bool user = clipboard == nullptr;
    if (user) {
        const int old = CountEffectValues(effectNr, stepNr, 0);
        const int fresh = ValueKeysOf(m_StepClipboard.map);
        TRACE_MSG(TRACE_INFO, "OldValues = %d, NewValues = %d", old, fresh);
        // The table holds 1000 values, no more.
        if (old < fresh && fresh + m_nEffectValues - old > kEffectValueCount) {
            TRACE_MSG(TRACE_ERROR, "Impending effect table overflow: Values = %d - %d + %d",
                      static_cast<int>(m_nEffectValues), old, fresh);
            ReportEffectTableOverflow();
            return false;
        }
        clipboard = &m_StepClipboard;
    }
    if (!clipboard->valid)
        return false;
    const int n = GetEffectStepCount(effectNr);
    if (n == 0) {
        TRACE_MSG(TRACE_ERROR, "Steps = %d", n);
        return false;
    }
    stepNr = std::clamp(stepNr, 1, n);
    *StepMap(effectNr, stepNr) = clipboard->map;
    const int slot = StepSlot(effectNr, stepNr);
    SaveEffectStepFlags(effectNr, slot);
    for (int i = 0; i < 4; ++i)
        SetParameterLong(GetEffectStepUniqueNr(kStepSettingBases[i], effectNr, slot),
                         clipboard->settings[static_cast<std::size_t>(i)]);
    if (user)
        SaveEffectValues();
    return true;
}

void CEtsDbManagement::CopyEffect(int effectNr, EffectClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", effectNr);
    if (!ValidEffectNr(effectNr))
        return;
    if (!clipboard) {
        m_StepClipboard.valid = false;
        clipboard = &m_EffectClipboard;
    }
    const int n = GetEffectStepCount(effectNr);
    clipboard->steps.assign(static_cast<std::size_t>(n), StepClipboard{});
    for (int k = 1; k <= n; ++k)
        CopyEffectStep(effectNr, k, &clipboard->steps[static_cast<std::size_t>(k - 1)]);
    clipboard->name = GetEffectName(effectNr);
    clipboard->passes =
        static_cast<std::uint16_t>(GetParameterLong(GetEffectUniqueNr(param::kEffectPasses, effectNr), 0));
    clipboard->priority =
        static_cast<std::uint8_t>(GetParameterLong(GetEffectUniqueNr(param::kEffectPriority, effectNr), 0));
    clipboard->knxEffect =
        static_cast<std::uint8_t>(GetParameterLong(GetEffectUniqueNr(param::kEffectKnxNumber, effectNr), 0));
    clipboard->valid = true;
}

bool CEtsDbManagement::PasteEffect(int effectNr, EffectClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", effectNr);
    EffectClipboard& c = clipboard ? *clipboard : m_EffectClipboard;
    if (!c.valid || !ValidEffectNr(effectNr) || c.steps.empty() || c.steps.size() > kStepSlots)
        return false;
    const int old = CountEffectValues(effectNr, 0, 0);
    int fresh = 0;
    for (const StepClipboard& step : c.steps)
        fresh += ValueKeysOf(step.map);
    TRACE_MSG(TRACE_INFO, "OldValues = %d, NewValues = %d", old, fresh);
    if (old < fresh && fresh + m_nEffectValues - old > kEffectValueCount) {
        TRACE_MSG(TRACE_ERROR, "Impending effect table overflow: Values = %d - %d + %d",
                  static_cast<int>(m_nEffectValues), old, fresh);
        ReportEffectTableOverflow();
        return false;
    }
    const int count = static_cast<int>(c.steps.size());
    EffectRecord& effect = Effect(effectNr);
    const int previous = GetEffectStepCount(effectNr);
    effect.steps.resize(static_cast<std::size_t>(count));
    // Slots the shorter sequence no longer uses hold nothing.
    for (int t = count; t < std::max(previous, count + 1) && t < kStepSlots; ++t)
        ClearEffectStep(effectNr, t);
    for (int k = 1; k <= count; ++k)
        PasteEffectStep(effectNr, k, &c.steps[static_cast<std::size_t>(k - 1)]);
    SetParameterLong(GetEffectUniqueNr(param::kEffectStepCount, effectNr), count);
    effect.name = c.name;
    SetParameterString(GetEffectUniqueNr(param::kEffectName, effectNr), c.name);
    SetParameterLong(GetEffectUniqueNr(param::kEffectPasses, effectNr), c.passes);
    SetParameterLong(GetEffectUniqueNr(param::kEffectPriority, effectNr), c.priority);
    SaveEffectValues();
    return true;
}

void CEtsDbManagement::ReportEffectTableOverflow()
{
    TRACE_ENTRY();
    Ask("Veltrona", GetParameterString(970, "Effect table overflow"), PromptButtons::Ok, PromptIcon::Error);
}

void CEtsDbManagement::InitEffectStep(int effectNr, int slot)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, slot);
    if (!ValidEffectNr(effectNr) || slot < 1 || slot > kStepSlots)
        return;
    if (EffectStepMap* map = StepMap(effectNr, slot))
        map->clear();
    for (UniqueNr base : kStepMaskBases)
        SetParameterLong(GetEffectStepUniqueNr(base, effectNr, slot), 0);
    for (UniqueNr base : kStepSettingBases)
        ResetParameter(GetEffectStepUniqueNr(base, effectNr, slot));
    SetStepTablePosition(effectNr, slot, CountEffectValues(-effectNr, -slot, 1) + 1);
}

void CEtsDbManagement::ClearEffectStep(int effectNr, int slot)
{
    TRACE_MSG(TRACE_INFO, "EffectNr = %d, StepNr = %d", effectNr, slot);
    if (!ValidEffectNr(effectNr) || slot < 1 || slot > kStepSlots)
        return;
    for (UniqueNr base : kStepMaskBases)
        SetParameterLong(GetEffectStepUniqueNr(base, effectNr, slot), 0);
    SetParameterLong(GetEffectStepUniqueNr(param::kStepTablePosition, effectNr, slot), 0);
    // An unused slot holds the defaults, as on a fresh device.
    for (UniqueNr base : kStepSettingBases)
        ResetParameter(GetEffectStepUniqueNr(base, effectNr, slot));
}
