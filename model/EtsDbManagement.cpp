#include "model/EtsDbManagement.h"

#include "platform/ClassRegistry.h"
#include "platform/DataFolders.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

enum class LabelSource
{
    Description,
    Default,
    Value,
    Enum,
    MemberType,
};

struct LabelDefinition
{
    const char* text;
    LabelSource source;
    UniqueNr number;
    std::int32_t enumValue = 0;
};

// Default text and the host source that may replace it, by label index.
constexpr LabelDefinition kLabels[LabelCount] = {
    {"OK", LabelSource::Description, 823},
    {"Cancel", LabelSource::Description, 801},
    {"Help", LabelSource::Description, 816},
    {"General", LabelSource::Description, 700},
    {"Manual control", LabelSource::Description, 701},
    {"Addressing", LabelSource::Description, 709},
    {"Scenes", LabelSource::Description, 703},
    {"Export/Import", LabelSource::Description, 704},
    {"Commissioning", LabelSource::Description, 705},
    {"Test", LabelSource::Description, 706},
    {"Group", LabelSource::Default, 1101},
    {"Member", LabelSource::Default, 401},
    {"Scene", LabelSource::Default, 1601},
    {"Groups", LabelSource::Description, 702},
    {"Devices", LabelSource::Description, 710},
    {"Central", LabelSource::Enum, 65014, 0},
    {"Switching", LabelSource::Description, 1200},
    {"Dimming", LabelSource::Description, 1300},
    {"Switch style", LabelSource::Description, 1400},
    {"Staircase function", LabelSource::Description, 1500},
    {"Hourmeter", LabelSource::Description, 210},
    {"Emergency lamps", LabelSource::Description, 200},
    {"centrally supplied", LabelSource::Enum, 65026, 0},
    {"individually supplied", LabelSource::Enum, 65026, 1},
    {"EL", LabelSource::Enum, 65027, 0},
    {"EL + KNX", LabelSource::Enum, 65027, 1},
    {"EL + KNX + DALI", LabelSource::Enum, 65027, 2},
    {"Emergency feedback", LabelSource::Description, 774},
    {"Effects", LabelSource::Description, 711},
    {"Effect", LabelSource::Default, 15701},
    {"Step", LabelSource::Description, 989},
    {"Stop", LabelSource::Description, 993},
    {"Objects", LabelSource::Description, 882},
    {"Type", LabelSource::Description, 1597},
    {"Multitype", LabelSource::MemberType, 1597, 255},
    {"Multitype EL", LabelSource::Description, 991},
    {"No connection", LabelSource::Value, 929},
    {"No connection to DALI device", LabelSource::Value, 951},
};

std::string XdgDataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share";
}

// The desktop's viewer; false when the file is missing or no viewer could be started.
bool OpenWithDesktopViewer(const std::string& path, const std::string& anchor)
{
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return false;
    pid_t pid = 0;
    std::string program = "xdg-open";
    std::string url = "file://" + path + (anchor.empty() ? "" : "#" + anchor);
    char* argv[] = {program.data(), url.data(), nullptr};
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The folders that may hold the manual, each with a folder per manufacturer below it: the data
// folders beside the module that holds this code (the plug-in) and beside the program, then the
// user's own.
std::vector<std::filesystem::path> HelpFolders()
{
    namespace fs = std::filesystem;
    std::vector<fs::path> folders;
    auto besides = [&folders](const fs::path& dir) {
        for (const fs::path& data : DataFoldersBeside(dir))
            folders.push_back(data / "help");
    };
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OpenWithDesktopViewer), &info) && info.dli_fname)
        besides(fs::absolute(info.dli_fname).parent_path());
    if (const fs::path program = ProgramFolder(); !program.empty())
        besides(program);
    folders.push_back(fs::path(XdgDataHome()) / "veltrona/help");
    return folders;
}

} // namespace

CEtsDbManagement::CEtsDbManagement(IEtsDevice* device, IUserPrompt* prompt)
    : CEtsAccess(device), m_pPrompt(prompt), m_helpViewer(&OpenWithDesktopViewer)
{
    TRACE_ENTRY();
    for (int i = 0; i < LabelCount; ++i)
        m_strLabels[static_cast<std::size_t>(i)] = kLabels[i].text;
    for (GroupRecord& g : m_Groups)
        g.name = m_strLabels[LabelGroup];
    for (MemberRecord& m : m_Members)
        m.name = m_strLabels[LabelMember];
    for (SceneRecord& s : m_Scenes)
        s.name = m_strLabels[LabelScene];
    for (EffectRecord& e : m_Effects)
        e.name = m_strLabels[LabelEffect];
}

CEtsDbManagement::~CEtsDbManagement()
{
    TRACE_ENTRY();
}

PromptAnswer CEtsDbManagement::Ask(const std::string& caption, const std::string& text, PromptButtons buttons,
                                   PromptIcon icon) const
{
    IUserPrompt* prompt = m_pPrompt ? m_pPrompt : const_cast<ScriptedPrompt*>(&m_silentPrompt);
    return prompt->Ask(caption, text, buttons, icon);
}

int CEtsDbManagement::GetGroupCount() const
{
    switch (m_nAddressingMode) {
    case 0:
        return 1;
    case 1:
    case 3:
        return 16;
    case 2:
    case 4:
        return 32;
    default:
        return 0;
    }
}

int CEtsDbManagement::GetSingleCount() const
{
    return m_nAddressingMode == 3 || m_nAddressingMode == 4 || m_nAddressingMode == 5 ? 64 : 0;
}

void CEtsDbManagement::SetDeviceContext(UniqueNr uniqueNr, std::int32_t value)
{
    switch (uniqueNr) {
    case param::kUseCentralObject:
        m_nUseCentralObject = value;
        break;
    case param::kAddressingMode:
        m_nAddressingMode = value;
        break;
    case param::kEmergencyLamps:
        m_nEmergencyLamps = value;
        break;
    case param::kEmergencyLampSystem:
        m_nEmergencyLampSystem = value;
        break;
    case param::kEmergencyFeedback:
        m_nEmergencyFeedback = value;
        break;
    case param::kDaliDeviceTypeSetting:
        m_nDaliDeviceTypeSetting = value;
        break;
    case param::kDaliEmergencyDeviceType:
        m_nDaliEmergencyDeviceType = value;
        break;
    default:
        break;
    }
}

void CEtsDbManagement::LoadEtsProjectAndDeviceInfos()
{
    TRACE_ENTRY();
    IEtsDevice* device = GetDevice();
    if (!device)
        return;
    auto read = [](HRESULT hr, std::string& value, std::string& target) {
        target = SUCCEEDED(hr) ? value : std::string();
    };
    std::string text;
    read(device->get_IndividualAddress(&text), text, m_strDeviceAddress);
    text.clear();
    read(device->get_Name(&text), text, m_strDeviceName);
    text.clear();
    read(device->get_Description(&text), text, m_strDeviceDescription);
    ComPtr<IEtsProject> project;
    if (SUCCEEDED(device->get_Project(project.GetAddressOf())) && project) {
        text.clear();
        read(project->get_Name(&text), text, m_strProjectName);
    }
}

bool CEtsDbManagement::GetDeviceInfosFromEtsDb(std::int32_t& manufacturer, std::int32_t& application,
                                               std::int32_t& version)
{
    TRACE_ENTRY();
    ComPtr<IEtsApplicationProgram> program;
    HRESULT hr = GetDevice() ? GetDevice()->get_ApplicationProgram(program.GetAddressOf()) : E_POINTER;
    if (FAILED(hr) || !program) {
        TRACE_HR(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER);
        return false;
    }
    bool ok = true;
    if (hr = program->get_Number(&application); FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        ok = false;
    }
    if (hr = program->get_Version(&version); FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        ok = false;
    }
    ComPtr<IEtsManufacturer> maker;
    hr = program->get_Manufacturer(maker.GetAddressOf());
    if (SUCCEEDED(hr) && maker)
        hr = maker->get_Number(&manufacturer);
    if (FAILED(hr) || !maker) {
        TRACE_HR(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER);
        ok = false;
    }
    return ok;
}

void CEtsDbManagement::LoadLabels()
{
    std::map<UniqueNr, EnumMap> enums;
    for (int i = 0; i < LabelCount; ++i) {
        const LabelDefinition& d = kLabels[i];
        std::string& label = m_strLabels[static_cast<std::size_t>(i)];
        label = d.text;
        std::string text;
        switch (d.source) {
        case LabelSource::Description:
            label = GetParameterText(d.number, label);
            break;
        case LabelSource::Default:
            if (SUCCEEDED(GetParameterDefaultValue(d.number, text)) && !text.empty())
                label = text;
            break;
        case LabelSource::Value:
            if (SUCCEEDED(GetParameterValue(d.number, text)) && !text.empty())
                label = text;
            break;
        case LabelSource::Enum:
        case LabelSource::MemberType: {
            auto [it, fresh] = enums.try_emplace(d.number);
            if (fresh)
                GetParameterEnumValues(d.number, it->second);
            // Without the value the default text stays: that is when it is needed.
            if (auto v = it->second.find(d.enumValue); v != it->second.end() && !v->second.empty())
                label = v->second;
            break;
        }
        }
    }
}

void CEtsDbManagement::LoadBufferedParameters()
{
    TRACE_ENTRY();
    LoadLabels();

    m_nUseCentralObject = GetParameterLong(param::kUseCentralObject, 0);
    m_nAddressingMode = GetParameterLong(param::kAddressingMode, 3);
    m_nEmergencyLamps = GetParameterLong(param::kEmergencyLamps, 0);
    m_nEmergencyLampSystem = GetParameterLong(param::kEmergencyLampSystem, 0);
    m_nEmergencyFeedback = GetParameterLong(param::kEmergencyFeedback, 0);
    m_nDaliDeviceTypeSetting = GetParameterLong(param::kDaliDeviceTypeSetting, 0);
    m_nDaliEmergencyDeviceType = GetParameterLong(param::kDaliEmergencyDeviceType, 0);
    GetParameterEnumValues(GetMemberBlockUniqueNr(param::kMemberType, 1), m_listMemberTypes);

    // A name that is present replaces the label; an empty one does not.
    auto nameOf = [this](UniqueNr n, ELabel label) {
        std::string text;
        return SUCCEEDED(GetParameterValue(n, text)) && !text.empty() ? text : GetLabel(label);
    };
    for (int g = 1; g <= kGroupCount; ++g) {
        GroupRecord& group = m_Groups[static_cast<std::size_t>(g - 1)];
        group.name = nameOf(GetGroupUniqueNr(param::kGroupName, g), LabelGroup);
        group.exists = GetParameterLong(GetGroupUniqueNr(param::kGroupExists, g), 0) != 0;
    }
    for (int m = 1; m <= kMemberCount; ++m) {
        MemberRecord& member = Member(m);
        member.name = nameOf(GetMemberUniqueNr(param::kMemberName, m), LabelMember);
        member.randomNr = GetParameterLong(GetMemberUniqueNr(param::kMemberRandomAddress, m), 0);
        member.assigned = GetParameterLong(GetMemberUniqueNr(param::kMemberAssigned, m), 0) != 0;
        member.type =
            static_cast<std::uint8_t>(GetParameterLong(GetMemberBlockUniqueNr(param::kMemberType, m), 0));
        member.foundType =
            static_cast<std::uint8_t>(GetParameterLong(GetMemberUniqueNr(param::kMemberFoundType, m), 0));
        member.groupMask = SwapMask32(GetParameterPattern(GetMemberUniqueNr(param::kMemberGroupMask, m), 0));
        member.single = GetParameterLong(GetGroupUniqueNr(param::kGroupExists, m + kGroupCount), 0) != 0;
        // An assignment of gear that is used nowhere means nothing.
        if (member.assigned && member.groupMask == 0 && !member.single)
            member.assigned = false;
    }
    for (int s = 1; s <= kSceneCount; ++s) {
        SceneRecord& scene = Scene(s);
        scene.name = nameOf(GetSceneUniqueNr(param::kSceneName, s), LabelScene);
        scene.knxScene =
            GetParameterLong(GetSceneUniqueNr(param::kSceneExists, s), 0) != 0
                ? static_cast<std::uint8_t>(GetParameterLong(GetSceneUniqueNr(param::kSceneKnxNumber, s), 0))
                : 0;
        scene.masks[0] = SwapMask32(GetParameterPattern(GetSceneUniqueNr(param::kSceneGroupMask, s), 0));
        scene.masks[1] = SwapMask32(GetParameterPattern(GetSceneUniqueNr(param::kSceneSingleMaskLow, s), 0));
        scene.masks[2] = SwapMask32(GetParameterPattern(GetSceneUniqueNr(param::kSceneSingleMaskHigh, s), 0));
    }
    LoadEffects();
    TRACE_MSG(TRACE_INFO, "EffectValues = %d", static_cast<int>(m_nEffectValues));
    // Fixing one group's values touches only that group's key.
    std::bitset<256> keysInEffects;
    for (int e = 1; e <= kEffectCount; ++e)
        for (int k = 1; k <= GetEffectStepCount(e); ++k)
            if (const EffectStepMap* map = StepMap(e, k))
                for (const auto& [key, value] : *map)
                    keysInEffects.set(key);
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n)
        AdjustGroupValuesInScenes(n, &keysInEffects);
    CheckReconstruction();
}

void CEtsDbManagement::LoadEffects()
{
    m_nEffectValues = 0;
    for (int e = 1; e <= kEffectCount; ++e) {
        EffectRecord& effect = Effect(e);
        std::string name;
        effect.name =
            SUCCEEDED(GetParameterValue(GetEffectUniqueNr(param::kEffectName, e), name)) && !name.empty()
                ? name
                : GetLabel(LabelEffect);
        effect.knxEffect = 0;
        effect.steps.clear();
        const int count = GetParameterLong(GetEffectUniqueNr(param::kEffectStepCount, e), 0) & 0xFF;
        if (GetParameterLong(GetEffectUniqueNr(param::kEffectExists, e), 0) == 0 || count < 1 ||
            count > kStepSlots)
            continue;
        effect.knxEffect =
            static_cast<std::uint8_t>(GetParameterLong(GetEffectUniqueNr(param::kEffectKnxNumber, e), 0));
        effect.steps.resize(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k) {
            const int slot = GetEffectStepSlot(k + 1, count);
            const int expected = m_nEffectValues > 999 ? 0 : m_nEffectValues + 1;
            const UniqueNr start = GetEffectStepUniqueNr(param::kStepTablePosition, e, slot);
            if (GetParameterLong(start, 0) != expected)
                SetParameterLong(start, expected);

            std::array<std::uint32_t, 3> masks{};
            for (int i = 0; i < 3; ++i)
                masks[static_cast<std::size_t>(i)] = SwapMask32(
                    GetParameterPattern(GetEffectStepUniqueNr(param::kStepMaskKeys1 + i * 1000, e, slot), 0));
            const std::uint16_t sceneMask = SwapMask16(static_cast<std::uint16_t>(
                GetParameterLong(GetEffectStepUniqueNr(param::kStepMaskScenes, e, slot), 0)));
            EffectStepMap& map = effect.steps[static_cast<std::size_t>(k)];
            bool dropped = false;
            for (int key = 1; key <= 112; ++key) {
                const bool set =
                    key > 96 ? (sceneMask >> (key - 97)) & 1u
                             : (masks[static_cast<std::size_t>((key - 1) / 32)] >> ((key - 1) % 32)) & 1u;
                if (!set)
                    continue;
                if (key > 96) {
                    map[static_cast<std::uint8_t>(key)] = 0;
                    continue;
                }
                if (m_nEffectValues >= kEffectValueCount) {
                    TRACE_MSG(TRACE_ERROR, "EffectNr = %d, StepNr = %d, GroupNr = %d: Effect table overflow",
                              e, slot, key);
                    masks[static_cast<std::size_t>((key - 1) / 32)] &= ~(1u << ((key - 1) % 32));
                    dropped = true;
                    continue;
                }
                const int i = m_nEffectValues;
                const std::uint32_t word =
                    GetParameterPattern(GetEffectUniqueNr(param::kEffectTable, i / 4), 0);
                map[static_cast<std::uint8_t>(key)] = static_cast<std::uint8_t>(word >> ((3 - i % 4) * 8));
                ++m_nEffectValues;
            }
            if (dropped) {
                for (int i = 0; i < 3; ++i)
                    SetParameterPattern(GetEffectStepUniqueNr(param::kStepMaskKeys1 + i * 1000, e, slot),
                                        SwapMask32(masks[static_cast<std::size_t>(i)]));
            }
        }
    }
}

void CEtsDbManagement::CheckReconstruction()
{
    if (GetParameterLong(param::kReconstruction, 0) == 0)
        return;
    Ask(GetLabel(LabelOk), "Rekonstruktion wurde durchgeführt", PromptButtons::Ok, PromptIcon::Information);
    for (int n = 1; n <= kGroupCount + kSingleCount; ++n) {
        if (!GroupExists(n))
            continue;
        CalculateHourMinSecRelativeDimStepTime(n);
        if (GetParameterLong(GetGroupUniqueNr(param::kGroupLightnessReaction, n), 0) == 1)
            CalculateHourMinSecAbsoluteDimStepTime(n);
        if (GetParameterLong(GetGroupUniqueNr(param::kGroupSoftOn, n), 0) != 0)
            CalculateHourMinSecSoftOnStepTime(n);
        if (GetParameterLong(GetGroupUniqueNr(param::kGroupSoftOff, n), 0) != 0)
            CalculateHourMinSecSoftOffStepTime(n);
    }
    SetParameterLong(param::kReconstruction, 1);
    SetParameterLong(param::kReconstruction, 0);
}

std::string CEtsDbManagement::GetHelpAnchor(int nodeType)
{
    // By tree node type 1..34.
    static constexpr const char* kAnchors[] = {"general",
                                               "dali-communication",
                                               "dali-error-messages",
                                               "dali-status-messages",
                                               "dali-standby-shutdown",
                                               "manual-control",
                                               "addressing",
                                               "groups",
                                               "devices",
                                               "group",
                                               "switching",
                                               "dimming",
                                               "switch-style",
                                               "staircase-function",
                                               "hourmeter",
                                               "group-emergency-central",
                                               "single-emergency-individual",
                                               "members",
                                               "member",
                                               "scenes",
                                               "scene",
                                               "effects",
                                               "effect",
                                               "effect-step",
                                               "export-import",
                                               "commissioning",
                                               "test",
                                               "emergency-lamps",
                                               "emergency-central",
                                               "emergency-individual",
                                               "operation-extent-el",
                                               "operation-extent-el-knx",
                                               "operation-extent-el-knx-dali",
                                               "emergency-feedback"};
    if (nodeType < 1 || nodeType > static_cast<int>(std::size(kAnchors)))
        return {};
    return kAnchors[nodeType - 1];
}

void CEtsDbManagement::LoadHelpFile()
{
    TRACE_ENTRY();
    std::string file, defaultFile;
    ComPtr<IEtsLanguageService> language;
    std::int32_t languageId = 0;
    const bool haveLanguage = SUCCEEDED(CoCreateInstance(CLSID_EtsLanguageService, language)) &&
                              SUCCEEDED(language->get_CurrentLanguageId(&languageId));
    if (haveLanguage) {
        char name[64];
        std::snprintf(name, sizeof name, "%s_%.04X.html", "VeltronaR3", static_cast<unsigned>(languageId));
        file = name;
        std::snprintf(name, sizeof name, "%s_%.04X.html", "VeltronaR3", 0x409u);
        defaultFile = name;
    }
    ComPtr<IEtsApplicationProgram> program;
    ComPtr<IEtsManufacturer> maker;
    std::int32_t manufacturer = 0;
    const bool haveManufacturer = haveLanguage && GetDevice() &&
                                  SUCCEEDED(GetDevice()->get_ApplicationProgram(program.GetAddressOf())) &&
                                  program && SUCCEEDED(program->get_Manufacturer(maker.GetAddressOf())) &&
                                  maker && SUCCEEDED(maker->get_Number(&manufacturer));
    // The file of the user's language in the first folder that has it, else the default language's.
    std::vector<std::string> tried;
    std::string path, defaultPath;
    if (haveManufacturer) {
        for (const std::filesystem::path& folder : HelpFolders()) {
            const std::filesystem::path dir = folder / std::to_string(manufacturer);
            std::error_code ec;
            if (path.empty() && std::filesystem::is_regular_file(dir / file, ec))
                path = (dir / file).string();
            if (defaultPath.empty() && std::filesystem::is_regular_file(dir / defaultFile, ec))
                defaultPath = (dir / defaultFile).string();
            tried.push_back((dir / file).string());
        }
    }
    TRACE_MSG(TRACE_INFO, "Loading HelpFile: %s", path.c_str());
    TRACE_MSG(TRACE_INFO, "Default HelpFile: %s", defaultPath.c_str());
    const std::string anchor = GetHelpAnchor(m_nHelpTopic);
    if (!path.empty() && m_helpViewer(path, anchor))
        return;
    if ((!haveLanguage || languageId != 0x409) && !defaultPath.empty() && m_helpViewer(defaultPath, anchor))
        return;
    std::string message = GetParameterString(946, "");
    if (message.empty())
        message = "The help file could not be opened.";
    if (!path.empty() || !tried.empty()) {
        message += "\n";
        if (!path.empty())
            message += "\n" + path;
        else
            for (const std::string& t : tried)
                message += "\n" + t;
    }
    Ask(GetLabel(LabelHelp), message, PromptButtons::Ok, PromptIcon::Information);
}
