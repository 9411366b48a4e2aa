// The lightness scale, the range rule for scene and effect values, and dim and fade time conversion.
#include "model/EtsDbManagement.h"
#include "model/LightnessTables.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float kSweep = 173.0f; // scale steps of a full sweep

// Rounds half away from zero, in single precision as the gateway's tool computed it.
long RoundHalfAway(float v)
{
    return std::lround(v);
}

} // namespace

void CEtsDbManagement::InitLightnessValueLists()
{
    TRACE_ENTRY();
    m_mapLightnessTexts.clear();
    for (std::size_t i = 0; i < kLightnessTextRangeCount; ++i) {
        const LightnessTextRange& r = kLightnessTexts[i];
        for (int v = r.first; v <= r.last; ++v)
            if (!m_mapLightnessTexts.emplace(static_cast<std::uint8_t>(v), r.text).second)
                TRACE_MSG(TRACE_ERROR, "Duplicate value %d", v);
    }
    m_mapLightnessChoices.clear();
    for (std::size_t i = 0; i < kLightnessChoiceCount; ++i)
        m_mapLightnessChoices.emplace(kLightnessChoices[i].value, kLightnessChoices[i].text);
}

std::string CEtsDbManagement::GetLightnessValueText(std::uint32_t value) const
{
    if (value <= 0xFF)
        if (auto it = m_mapLightnessTexts.find(static_cast<std::uint8_t>(value));
            it != m_mapLightnessTexts.end())
            return it->second;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%lX", static_cast<unsigned long>(value));
    return buf;
}

void CEtsDbManagement::AdjustGroupValuesInScenes(int groupNr, const std::bitset<256>* keysInEffects)
{
    const bool exists = GroupExists(groupNr);
    std::uint8_t minimum = 1, maximum = 173;
    if (exists) {
        minimum = static_cast<std::uint8_t>(
            GetParameterLong(GetGroupUniqueNr(param::kGroupMinLightness, groupNr), 1));
        maximum = static_cast<std::uint8_t>(
            GetParameterLong(GetGroupUniqueNr(param::kGroupMaxLightness, groupNr), 173));
    }
    auto clamp = [&](long v) -> long {
        return v < minimum ? minimum : (v > maximum ? maximum : v);
    };
    for (int s = 1; s <= kSceneCount; ++s) {
        if (!IsGroupInScene(s, groupNr))
            continue;
        if (!exists) {
            TRACE_MSG(TRACE_ERROR, "Removing zombie Group %d from Scene %d", groupNr, s);
            RemoveGroupFromScene(s, groupNr, true);
            continue;
        }
        const UniqueNr number = GetSceneValueUniqueNr(s, groupNr);
        const long v = GetParameterLong(number, 0);
        if (v != 0 && clamp(v) != v) {
            TRACE_MSG(TRACE_ERROR, "UniqueNr = %ld: Fixing value %ld -> %ld", static_cast<long>(number), v,
                      clamp(v));
            SetParameterLong(number, static_cast<std::int32_t>(clamp(v)));
        }
    }
    if (keysInEffects &&
        (groupNr < 0 || groupNr > 255 || !keysInEffects->test(static_cast<std::size_t>(groupNr))))
        return;
    for (int e = 1; e <= kEffectCount; ++e) {
        for (int k = 1; k <= GetEffectStepCount(e); ++k) {
            const int v = GetEffectValue(e, k, groupNr);
            if (v == 255)
                continue;
            if (!exists) {
                TRACE_MSG(TRACE_ERROR, "Removing zombie Group %d from Effect %d Step %d", groupNr, e, k);
                RemoveGroupFromEffectStep(e, k, groupNr);
                continue;
            }
            if (v != 0 && clamp(v) != v) {
                TRACE_MSG(TRACE_ERROR, "EffectNr = %d, StepNr = %d: Fixing value %d -> %d", e, k, v,
                          static_cast<int>(clamp(v)));
                SetEffectValue(e, k, groupNr, static_cast<std::uint8_t>(clamp(v)));
            }
        }
    }
}

void CalculateDimStepParameters(int hours, int minutes, int seconds, std::uint16_t* timePerTick,
                                std::uint8_t* stepsPerTick, std::uint8_t* correction)
{
    const long t = static_cast<long>(hours) * 36000 + static_cast<long>(minutes) * 600 + seconds * 10L;
    long p = 0, k = 0, w = 0;
    bool doubled = false;
    if (t >= 173) {
        k = 1;
        p = static_cast<long>(static_cast<float>(t) / kSweep);
        const float rest = static_cast<float>(t % 173) / kSweep * 10.0f;
        if (RoundHalfAway(rest) >= 5) {
            ++p;
            doubled = true;
        }
        const float q = static_cast<float>(t) / static_cast<float>(p);
        w = q == kSweep ? 0 : std::labs(RoundHalfAway(q / (kSweep - q)));
    } else if (t > 0) {
        p = 1;
        k = RoundHalfAway(kSweep / static_cast<float>(t));
        doubled = !(173 / k < t);
        const float swept = static_cast<float>(t * k);
        w = swept == kSweep ? 0 : std::labs(RoundHalfAway(swept / (kSweep - swept)));
    }
    if (timePerTick)
        *timePerTick = SwapMask16(static_cast<std::uint16_t>(p));
    if (stepsPerTick)
        *stepsPerTick = static_cast<std::uint8_t>(k);
    if (correction)
        *correction = w <= 127 ? static_cast<std::uint8_t>(w | (doubled && w != 0 ? 0x80 : 0)) : 0;
}

void CalculateDimStepTime(std::uint16_t timePerTick, std::uint8_t stepsPerTick, std::uint8_t correction,
                          int* hours, int* minutes, int* seconds)
{
    // Without steps per tick the device values describe no time.
    if (stepsPerTick == 0)
        return;
    const auto p = static_cast<float>(SwapMask16(timePerTick));
    float factor = 1.0f;
    if (correction > 128)
        factor = 1.0f - 1.0f / static_cast<float>(correction - 128);
    else if (correction > 0)
        factor = 1.0f + 1.0f / static_cast<float>(correction);
    const float sweep = p * kSweep / (static_cast<float>(stepsPerTick) * 10.0f);
    const long total = RoundHalfAway(sweep * factor);
    const long h = total / 3600, m = total / 60 - h * 60, s = total - h * 3600 - m * 60;
    if (hours)
        *hours = static_cast<int>(h);
    if (minutes)
        *minutes = static_cast<int>(m);
    if (seconds)
        *seconds = static_cast<int>(s);
}

void CEtsDbManagement::RebuildStepTime(int groupNr, UniqueNr hBase, UniqueNr valueBase)
{
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    const auto ticks = static_cast<std::uint16_t>(GetParameterLong(GetGroupUniqueNr(valueBase, groupNr), 0));
    const auto steps =
        static_cast<std::uint8_t>(GetParameterLong(GetGroupUniqueNr(valueBase + 1, groupNr), 0));
    const auto corr =
        static_cast<std::uint8_t>(GetParameterLong(GetGroupUniqueNr(valueBase + 2, groupNr), 0));
    if (steps == 0)
        return; // no defined time: the h, m, s parameters stay as they are
    int h = 0, m = 0, s = 0;
    CalculateDimStepTime(ticks, steps, corr, &h, &m, &s);
    const UniqueNr hNr = GetGroupUniqueNr(hBase, groupNr), mNr = GetGroupUniqueNr(hBase + 1, groupNr),
                   sNr = GetGroupUniqueNr(hBase + 2, groupNr);
    // Without a readable range the picker's own limits apply.
    auto range = [this](UniqueNr n, std::int32_t fallbackMax, std::int32_t& low, std::int32_t& high) {
        std::int32_t a = 0, b = 0;
        if (SUCCEEDED(GetParameterIntegerValueRange(n, a, b))) {
            low = a;
            high = b;
        } else {
            low = 0;
            high = fallbackMax;
        }
    };
    std::int32_t hMin, hMax, mMin, mMax, sMin, sMax;
    range(hNr, 23, hMin, hMax);
    range(mNr, 59, mMin, mMax);
    range(sNr, 59, sMin, sMax);
    if (h > hMax) {
        h = hMax;
        m = mMax;
        s = sMax;
    }
    if (h == 0 && m == 0 && s < sMin) {
        h = hMin;
        m = mMin;
        s = sMin;
    }
    SetParameterLong(hNr, h);
    SetParameterLong(mNr, m);
    SetParameterLong(sNr, s);
}

void CEtsDbManagement::CalculateHourMinSecRelativeDimStepTime(int groupNr)
{
    RebuildStepTime(groupNr, 301, 313);
}
void CEtsDbManagement::CalculateHourMinSecAbsoluteDimStepTime(int groupNr)
{
    RebuildStepTime(groupNr, 304, 316);
}
void CEtsDbManagement::CalculateHourMinSecSoftOnStepTime(int groupNr)
{
    RebuildStepTime(groupNr, 307, 319);
}
void CEtsDbManagement::CalculateHourMinSecSoftOffStepTime(int groupNr)
{
    RebuildStepTime(groupNr, 310, 322);
}
