// Scenes of the configuration model.
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <cstdio>

namespace {

bool ValidSceneNr(int s)
{
    return s >= 1 && s <= kSceneCount;
}
bool ValidGroupNr(int n)
{
    return n >= 1 && n <= kGroupCount + kSingleCount;
}

UniqueNr SceneMaskBase(int index)
{
    return index == 0 ? 609 : 20600 + index;
}
UniqueNr SaveMaskBase(int index)
{
    return index == 0 ? 642 : 20666 + index;
}

} // namespace

bool CEtsDbManagement::SceneExists(int sceneNr) const
{
    if (sceneNr == 0) {
        for (const SceneRecord& s : m_Scenes)
            if (s.knxScene != 0)
                return true;
        return false;
    }
    return ValidSceneNr(sceneNr) && GetScene(sceneNr).knxScene != 0;
}

int CEtsDbManagement::GetNextFreeSceneNr() const
{
    for (int s = 1; s <= kSceneCount; ++s)
        if (GetScene(s).knxScene == 0)
            return s;
    return 0;
}

bool CEtsDbManagement::IsKnxSceneUsed(int knxScene) const
{
    for (const SceneRecord& s : m_Scenes)
        if (s.knxScene == knxScene)
            return true;
    return false;
}

int CEtsDbManagement::GetNextFreeKnxScene(int start) const
{
    return NextFreeKnxNumber(start, [this](int k) { return IsKnxSceneUsed(k); });
}

int CEtsDbManagement::GetKnxScene(int sceneNr) const
{
    return ValidSceneNr(sceneNr) ? GetScene(sceneNr).knxScene : 0;
}

std::string CEtsDbManagement::GetSceneName(int sceneNr) const
{
    return ValidSceneNr(sceneNr) ? GetScene(sceneNr).name : std::string();
}

std::string CEtsDbManagement::GetSceneDisplayName(int sceneNr) const
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", sceneNr);
    return buf + GetSceneName(sceneNr);
}

void CEtsDbManagement::SetKnxScene(int sceneNr, int knxScene)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d, Value = %d", sceneNr, knxScene);
    if (!ValidSceneNr(sceneNr))
        return;
    Scene(sceneNr).knxScene = static_cast<std::uint8_t>(knxScene);
    SetParameterLong(GetSceneUniqueNr(param::kSceneKnxNumber, sceneNr), knxScene);
}

void CEtsDbManagement::SetSceneName(int sceneNr, const std::string& name)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d, Name = %s", sceneNr, name.c_str());
    if (!ValidSceneNr(sceneNr))
        return;
    Scene(sceneNr).name = name;
    SetParameterString(GetSceneUniqueNr(param::kSceneName, sceneNr), name);
}

void CEtsDbManagement::EnableDisableSceneObject()
{
    TRACE_ENTRY();
    SetParameterLong(param::kSceneObjectDisabled, SceneExists(0) ? 0 : 1);
}

void CEtsDbManagement::CreateScene(int sceneNr)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    if (!ValidSceneNr(sceneNr))
        return;
    if (!SceneExists(0))
        SetParameterLong(param::kSceneObjectDisabled, 0);
    const int k = GetNextFreeKnxScene(0);
    Scene(sceneNr).knxScene = static_cast<std::uint8_t>(k);
    SetParameterLong(GetSceneUniqueNr(param::kSceneExists, sceneNr), 1);
    SetParameterLong(GetSceneUniqueNr(param::kSceneKnxNumber, sceneNr), k);
    ConfigChanged();
}

void CEtsDbManagement::DeleteScene(int sceneNr)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    if (!ValidSceneNr(sceneNr))
        return;
    ResetSceneParameters(sceneNr);
    if (!SceneExists(0))
        SetParameterLong(param::kSceneObjectDisabled, 1);
    // Effect steps that call the deleted scene would keep calling it in the gateway.
    const int key = 96 + sceneNr;
    for (int e = 1; e <= kEffectCount; ++e)
        for (int k = 1; k <= GetEffectStepCount(e); ++k)
            RemoveGroupFromEffectStep(e, k, key);
    ConfigChanged();
}

void CEtsDbManagement::ResetSceneParameters(int sceneNr)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    if (!ValidSceneNr(sceneNr))
        return;
    SceneRecord& scene = Scene(sceneNr);
    scene.name = GetLabel(LabelScene);
    scene.masks = {};
    scene.knxScene = 0;
    if (m_mapSceneDefaults.empty())
        GetAllDefaultValues(m_mapSceneDefaults, GetSceneUniqueNr(param::kSceneExists, 1), 1, &GetSceneBaseNr);
    for (const auto& [base, value] : m_mapSceneDefaults) {
        const UniqueNr number = GetSceneUniqueNr(base, sceneNr);
        // Masks are bit patterns; the default may come as a signed value.
        SetParameterValue(number, value);
    }
}

bool CEtsDbManagement::IsGroupInScene(int sceneNr, int groupNr) const
{
    if (!ValidSceneNr(sceneNr) || !ValidGroupNr(groupNr))
        return false;
    return (GetScene(sceneNr).masks[static_cast<std::size_t>((groupNr - 1) / 32)] >> ((groupNr - 1) % 32)) &
           1u;
}

void CEtsDbManagement::WriteSceneMask(int sceneNr, int index)
{
    SetParameterPattern(GetSceneUniqueNr(SceneMaskBase(index), sceneNr),
                        SwapMask32(GetScene(sceneNr).masks[static_cast<std::size_t>(index)]));
}

void CEtsDbManagement::AddGroupToScene(int sceneNr, int groupNr, std::uint16_t entry)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d, GroupNr = %d, Value = $%X", sceneNr, groupNr,
              static_cast<unsigned>(entry));
    if (!ValidSceneNr(sceneNr) || !ValidGroupNr(groupNr))
        return;
    const int index = (groupNr - 1) / 32;
    const std::uint32_t bit = 1u << ((groupNr - 1) % 32);
    Scene(sceneNr).masks[static_cast<std::size_t>(index)] |= bit;
    WriteSceneMask(sceneNr, index);
    if (entry & kEntryValuePresent)
        SetParameterLong(GetSceneValueUniqueNr(sceneNr, groupNr), entry & 0xFF);
    if (entry & kEntrySaveFunction) {
        const UniqueNr saveMask = GetSceneUniqueNr(SaveMaskBase(index), sceneNr);
        SetParameterPattern(saveMask, SwapMask32(SwapMask32(GetParameterPattern(saveMask, 0)) | bit));
    }
    ConfigChanged();
}

std::uint16_t CEtsDbManagement::RemoveGroupFromScene(int sceneNr, int groupNr, bool all)
{
    if (!SceneExists(sceneNr) || !ValidGroupNr(groupNr))
        return 0;
    TRACE_MSG(TRACE_INFO, "SceneNr = %d, GroupNr = %d, All = %d", sceneNr, groupNr, all ? 1 : 0);
    const int index = (groupNr - 1) / 32;
    const std::uint32_t bit = 1u << ((groupNr - 1) % 32);
    const UniqueNr valueNr = GetSceneValueUniqueNr(sceneNr, groupNr);
    std::uint16_t entry = 0;
    std::uint32_t& mask = Scene(sceneNr).masks[static_cast<std::size_t>(index)];
    if (mask & bit) {
        mask &= ~bit;
        WriteSceneMask(sceneNr, index);
        entry = static_cast<std::uint16_t>(kEntryValuePresent | (GetParameterLong(valueNr, 0) & 0xFF));
    }
    if (all)
        ResetParameter(valueNr);
    const UniqueNr saveMaskNr = GetSceneUniqueNr(SaveMaskBase(index), sceneNr);
    const std::uint32_t saveMask = SwapMask32(GetParameterPattern(saveMaskNr, 0));
    if (saveMask & bit) {
        if (entry != 0)
            entry |= kEntrySaveFunction;
        if (all)
            SetParameterPattern(saveMaskNr, SwapMask32(saveMask & ~bit));
    }
    ConfigChanged();
    return entry;
}

bool CEtsDbManagement::IsSaveFunction(int sceneNr, int groupNr) const
{
    if (!ValidSceneNr(sceneNr) || !ValidGroupNr(groupNr))
        return false;
    const int index = (groupNr - 1) / 32;
    const std::uint32_t mask =
        SwapMask32(GetParameterPattern(GetSceneUniqueNr(SaveMaskBase(index), sceneNr), 0));
    return (mask >> ((groupNr - 1) % 32)) & 1u;
}

void CEtsDbManagement::SetSaveFunction(int sceneNr, int groupNr, bool on)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d, GroupNr = %d, Value = %d", sceneNr, groupNr, on ? 1 : 0);
    if (!ValidSceneNr(sceneNr) || !ValidGroupNr(groupNr))
        return;
    const int index = (groupNr - 1) / 32;
    const std::uint32_t bit = 1u << ((groupNr - 1) % 32);
    const UniqueNr number = GetSceneUniqueNr(SaveMaskBase(index), sceneNr);
    std::uint32_t mask = SwapMask32(GetParameterPattern(number, 0));
    mask = on ? mask | bit : mask & ~bit;
    SetParameterPattern(number, SwapMask32(mask));
    ConfigChanged();
}

void CEtsDbManagement::CopyScene(int sceneNr, SceneClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    if (!ValidSceneNr(sceneNr))
        return;
    SceneClipboard& c = clipboard ? *clipboard : m_SceneClipboard;
    c.name = GetScene(sceneNr).name;
    c.masks = GetScene(sceneNr).masks;
    c.values.clear();
    GetAllParameterValues(c.values, GetSceneUniqueNr(param::kSceneExists, sceneNr), sceneNr, &GetSceneBaseNr);
    c.valid = true;
}

bool CEtsDbManagement::PasteScene(int sceneNr, SceneClipboard* clipboard)
{
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    SceneClipboard& c = clipboard ? *clipboard : m_SceneClipboard;
    if (!c.valid || !ValidSceneNr(sceneNr))
        return false;
    Scene(sceneNr).name = c.name;
    Scene(sceneNr).masks = c.masks;
    for (const auto& [base, value] : c.values) {
        if (base == 20600)
            continue; // the target keeps its KNX scene number
        SetParameterValue(GetSceneUniqueNr(base, sceneNr), value);
    }
    // Like every other paste a structural change: OK must renew the project identity.
    ConfigChanged();
    return true;
}
