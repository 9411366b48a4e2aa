// The procedures that work on the DALI line behind the gateway: search, downloads of gear numbers and
// group assignments, deleting assignments, resetting gear, writing and reading scene values.
#include "device/EtsLifeDeviceConnection.h"
#include "device/TextFormat.h"
#include "trace/DebugTrace.h"

namespace {
constexpr std::uint8_t kFnSearch = 1;
constexpr std::uint8_t kFnDeleteGroups = 2;
constexpr std::uint8_t kFnApplyGroupMask = 3;
constexpr std::uint8_t kFnApplyRandomAddress = 4;
constexpr std::uint8_t kFnResetAll = 5;
constexpr std::uint8_t kFnReadChannel = 23;
constexpr std::uint8_t kFnWriteScene = 31;
constexpr std::uint8_t kFnWriteSceneValue = 32;
constexpr std::uint8_t kFnEnd = 255;
} // namespace

void CEtsLifeDeviceConnection::AbortFunction()
{
    const bool report = std::exchange(m_bReportErrors, false);
    WritePropertyD1(kFnEnd, 0, 0);
    m_bReportErrors = report;
}

// ---- search ---------------------------------------------------------------------------------------

void CEtsLifeDeviceConnection::SearchDaliEvgs(const std::string& caption, bool compatibilityMode,
                                              std::array<std::int32_t, 64>& addresses,
                                              std::array<std::uint8_t, 64>* types, int* counter2)
{
    TRACE_ENTRY();
    addresses.fill(0);
    if (types)
        types->fill(0);
    std::uint64_t start = m_Clock.NowMs();
    std::uint64_t limit = kLongLimitMs;
    int counterA = 0, counterB = 0;
    const std::string nameA = Description(901), nameB = Description(902);

    CMyProgressBox box(*this);
    box->Show(ProgressKind::Polling, caption, StrFormat("%s = %d", nameA.c_str(), 0),
              StrFormat("%s = %d", nameB.c_str(), 0), CancelText());
    enum class Phase
    {
        Start,
        Watch,
        ReadAddresses,
        ReadTypes
    } phase = Phase::Start;
    bool pause = false;
    int i = 0;
    for (;;) {
        if (TimedOut(start, limit)) {
            TRACE_MSG(TRACE_ERROR, "Timeout");
            ReportInternalError(caption, 0);
            return;
        }
        if (box->CheckCancel()) {
            TRACE_MSG(TRACE_INFO, "Aborted");
            WritePropertyD1(kFnEnd, 0, 0);
            return;
        }
        if (std::exchange(pause, false))
            Pause();
        switch (phase) {
        case Phase::Start:
            if (!WritePropertyD1(kFnSearch, compatibilityMode ? 1 : 0, 0))
                return;
            phase = Phase::Watch;
            break;
        case Phase::Watch: {
            std::uint8_t reply[3];
            if (!ReadPropertyD1(reply))
                return;
            if (reply[1] != counterA || reply[2] != counterB) {
                counterA = reply[1];
                counterB = reply[2];
                box->SetInfoText(StrFormat("%s = %d", nameA.c_str(), counterA));
                box->SetInfoText2(StrFormat("%s = %d", nameB.c_str(), counterB));
                if (counter2)
                    *counter2 = counterB;
                box->Show(ProgressKind::Steps, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
                // The slower search of old gear goes on while it still finds some.
                const std::uint64_t elapsed = m_Clock.NowMs() - start;
                if (compatibilityMode && limit - std::min(limit, elapsed) < 60'000) {
                    start = m_Clock.NowMs();
                    limit = 60'000;
                }
            }
            if (reply[0] == 0) {
                box->SetRange(22);
                phase = Phase::ReadAddresses;
                i = 0;
            } else {
                pause = true;
            }
            break;
        }
        case Phase::ReadAddresses: {
            const int count = i <= 61 ? 3 : 1;
            std::uint8_t data[9]{};
            if (!ReadProp(m_nDaliObject, kPropD2, 19, static_cast<std::uint16_t>(i + 1),
                          static_cast<std::uint16_t>(count), static_cast<std::uint32_t>(3 * count), data))
                return;
            for (int k = 0; k < count; ++k)
                addresses[static_cast<std::size_t>(i + k)] =
                    data[3 * k] << 16 | data[3 * k + 1] << 8 | data[3 * k + 2];
            i += count;
            box->Step();
            if (i >= 64) {
                phase = Phase::ReadTypes;
                i = 0;
            }
            break;
        }
        case Phase::ReadTypes:
            if (!types || i >= 64)
                return;
            if (!ReadProp(m_nDaliObject, kPropD6, 17, static_cast<std::uint16_t>(i + 1), 8, 8,
                          types->data() + i))
                return;
            i += 8;
            break;
        }
    }
}

// ---- downloads ------------------------------------------------------------------------------------

namespace {
// The walk of a download: fill the gateway's table, wait for it to be idle, then start the function
// gear by gear and confirm each from its per-gear reply.
enum class DownloadPhase
{
    Fill,
    Wait,
    Assign,
    Confirm,
    Finish
};
} // namespace

bool CEtsLifeDeviceConnection::RunGearDownload(const GearDownload& download)
{
    const std::uint64_t start = m_Clock.NowMs();
    std::string current = download.info;
    CMyProgressBox box(*this);
    box->Show(ProgressKind::Steps, CommissioningCaption(), current, std::string(), CancelText());
    box->SetRange(download.fillSteps);

    const auto& gear = download.gear;
    DownloadPhase phase = DownloadPhase::Fill;
    int trials = 0;
    bool pause = false;
    auto entry = gear.end();
    std::vector<int> errors;
    for (;;) {
        if (trials >= kMaxTrials || TimedOut(start, kLongLimitMs)) {
            if (trials >= kMaxTrials)
                TRACE_MSG(TRACE_ERROR, "Trials = %d", trials);
            else
                TRACE_MSG(TRACE_ERROR, "Timeout");
            const bool atGear =
                (phase == DownloadPhase::Assign || phase == DownloadPhase::Confirm) && entry != gear.end();
            ReportTimeoutError(current, atGear ? entry->first : 0);
            AbortFunction();
            return false;
        }
        if (box->CheckCancel()) {
            TRACE_MSG(TRACE_INFO, "Aborted");
            AbortFunction();
            return false;
        }
        if (std::exchange(pause, false))
            Pause();
        bool busyWhileWaiting = false;
        switch (phase) {
        case DownloadPhase::Fill:
            if (!download.fill(*box)) {
                AbortFunction();
                return false;
            }
            phase = DownloadPhase::Wait;
            break;
        case DownloadPhase::Wait: {
            std::uint8_t reply[3];
            if (!ReadPropertyD1(reply)) {
                AbortFunction();
                return false;
            }
            if (reply[0] != 0) {
                pause = true;
                ++trials;
                busyWhileWaiting = true;
                break;
            }
            if (!download.assigningInfo.empty()) {
                current = download.assigningInfo;
                box->SetInfoText(current);
            }
            box->SetInfoText2(std::string());
            box->SetRange(static_cast<int>(gear.size()));
            entry = gear.begin();
            phase = DownloadPhase::Assign;
            break;
        }
        case DownloadPhase::Assign:
            // Gear without a random address cannot be reached on the line.
            while (entry != gear.end() && !entry->second) {
                box->Step();
                ++entry;
            }
            if (entry == gear.end()) {
                phase = DownloadPhase::Finish;
                break;
            }
            if (!WritePropertyD1(download.function, static_cast<std::uint8_t>(entry->first),
                                 CompatibilityMode())) {
                AbortFunction();
                return false;
            }
            box->SetInfoText2(m_Model.GetMemberDisplayName(entry->first));
            phase = DownloadPhase::Confirm;
            break;
        case DownloadPhase::Confirm: {
            std::uint8_t reply[3];
            if (!ReadPropertyD1(reply)) {
                AbortFunction();
                return false;
            }
            if (reply[0] != download.function || reply[1] != entry->first) {
                if (reply[0] != download.function)
                    TRACE_MSG(TRACE_ERROR, "Function = %d <> %d", reply[0], download.function);
                else
                    TRACE_MSG(TRACE_ERROR, "EvgNr = %d <> %d", reply[1], entry->first);
                ReportAssignmentError(current, reply[0] != download.function ? 0 : entry->first);
                // The gateway must not be left inside the function.
                AbortFunction();
                return false;
            }
            if (reply[2] == 0)
                break; // still working: poll again at once
            if (reply[2] != 1) {
                TRACE_MSG(TRACE_ERROR, "Error %d from EVG %d", reply[2], entry->first);
                errors.push_back(entry->first);
            }
            box->Step();
            ++entry;
            phase = DownloadPhase::Assign;
            break;
        }
        case DownloadPhase::Finish: {
            const bool ended = WritePropertyD1(kFnEnd, 0, 0);
            if (!errors.empty()) {
                ReportEvgError(current, errors);
                return false;
            }
            return ended;
        }
        }
        if (!busyWhileWaiting)
            trials = 0;
    }
}

bool CEtsLifeDeviceConnection::WriteEvgNumbers(bool /*compatibilityMode*/, const NumberList& numbers,
                                               const TypeList& types)
{
    TRACE_ENTRY();
    GearDownload download;
    download.function = kFnApplyRandomAddress;
    download.info = Text(960, "");
    download.assigningInfo = Text(961, "");
    download.fillSteps = static_cast<int>(numbers.size() + types.size());
    for (const auto& [gear, address] : numbers)
        download.gear.emplace_back(gear, true);
    download.fill = [&](IProgressBox& box) {
        for (const auto& [gear, address] : numbers) {
            const std::uint8_t data[3]{static_cast<std::uint8_t>(address >> 16),
                                       static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address)};
            if (!WriteProp(m_nDaliObject, kPropD2, 19, static_cast<std::uint16_t>(gear), 1, 3, data, false))
                return false;
            box.Step();
        }
        for (const auto& [gear, type] : types) {
            if (!WriteProp(m_nDaliObject, kPropD6, 17, static_cast<std::uint16_t>(gear), 1, 1, &type, false))
                return false;
            box.Step();
        }
        return true;
    };
    return RunGearDownload(download);
}

bool CEtsLifeDeviceConnection::WriteEvgGroupAssignments(bool /*compatibilityMode*/, const GroupList& groups)
{
    TRACE_ENTRY();
    GearDownload download;
    download.function = kFnApplyGroupMask;
    download.info = Text(906, "");
    download.fillSteps = static_cast<int>(groups.size());
    for (const auto& [gear, assignment] : groups)
        download.gear.emplace_back(gear, assignment.second);
    download.fill = [&](IProgressBox& box) {
        for (const auto& [gear, assignment] : groups) {
            const std::uint32_t mask = assignment.first;
            // Least significant byte first.
            const std::uint8_t data[4]{static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8),
                                       static_cast<std::uint8_t>(mask >> 16),
                                       static_cast<std::uint8_t>(mask >> 24)};
            if (!WriteProp(m_nDaliObject, kPropD3, 20, static_cast<std::uint16_t>(gear), 1, 4, data, false))
                return false;
            box.Step();
        }
        return true;
    };
    return RunGearDownload(download);
}

// ---- delete and reset -----------------------------------------------------------------------------

namespace {
struct TableClear
{
    std::uint8_t propertyId;
    std::int32_t type;
    int first, stride, last;
    std::uint16_t elements;
    std::uint32_t bytesPerElement;
    bool step;
};
} // namespace

bool CEtsLifeDeviceConnection::DeleteEvgGroupAssignments()
{
    TRACE_ENTRY();
    const std::uint64_t start = m_Clock.NowMs();
    const std::string text = Text(915, "");
    CMyProgressBox box(*this);
    box->Show(ProgressKind::Steps, CommissioningCaption(), text, std::nullopt, std::string());
    box->SetRange(32);

    static const std::uint8_t zeros[8]{};
    for (int gear = 1; gear <= 63; gear += 2) {
        if (TimedOut(start, kLongLimitMs)) {
            TRACE_MSG(TRACE_ERROR, "Timeout");
            ReportTimeoutError(text, 0);
            return false;
        }
        if (!WriteProp(m_nDaliObject, kPropD3, 20, static_cast<std::uint16_t>(gear), 2, 8, zeros, false))
            return false;
        box->Step();
    }
    if (!WritePropertyD1(kFnDeleteGroups, 0, 0))
        return false;
    for (;;) {
        if (TimedOut(start, kLongLimitMs)) {
            TRACE_MSG(TRACE_ERROR, "Timeout");
            ReportTimeoutError(text, 0);
            return false;
        }
        std::uint8_t reply[3];
        if (!ReadPropertyD1(reply))
            return false;
        if (reply[0] == 0)
            return true;
        box->Step();
        Pause();
    }
}

bool CEtsLifeDeviceConnection::ResetAllEvgs()
{
    TRACE_ENTRY();
    const std::uint64_t start = m_Clock.NowMs();
    const std::string text = Text(962, "");
    CMyProgressBox box(*this);
    box->Show(ProgressKind::Steps, CommissioningCaption(), text, std::nullopt, std::string());
    box->SetRange(62);

    static const std::uint8_t zeros[9]{};
    const TableClear clears[] = {
        {kPropD2, 19, 1, 3, 61, 3, 3, true},
        {kPropD2, 19, 64, 1, 64, 1, 3, false},
        {kPropD3, 20, 1, 2, 63, 2, 4, true},
        {kPropD6, 17, 1, 8, 57, 8, 1, true},
    };
    for (const TableClear& clear : clears) {
        for (int gear = clear.first; gear <= clear.last; gear += clear.stride) {
            if (TimedOut(start, kLongLimitMs)) {
                TRACE_MSG(TRACE_ERROR, "Timeout");
                ReportTimeoutError(text, 0);
                return false;
            }
            if (!WriteProp(m_nDaliObject, clear.propertyId, clear.type, static_cast<std::uint16_t>(gear),
                           clear.elements, clear.elements * clear.bytesPerElement, zeros, false))
                return false;
            if (clear.step)
                box->Step();
        }
    }
    if (!WritePropertyD1(kFnResetAll, 0, 0))
        return false;
    for (;;) {
        if (TimedOut(start, kLongLimitMs)) {
            TRACE_MSG(TRACE_ERROR, "Timeout");
            ReportTimeoutError(text, 0);
            return false;
        }
        std::uint8_t reply[3];
        if (!ReadPropertyD1(reply))
            return false;
        if (reply[0] == 0)
            return true;
        box->Step();
        Pause();
    }
}

// ---- scenes ---------------------------------------------------------------------------------------

bool CEtsLifeDeviceConnection::WriteSceneValues(int sceneNr, const ChannelNames& names,
                                                const ChannelValues& values, const std::string& caption,
                                                const std::string& info)
{
    TRACE_ENTRY();
    if (values.empty())
        return true;
    const std::uint64_t start = m_Clock.NowMs();
    CMyProgressBox box(*this);
    box->Show(ProgressKind::Polling, caption, info, std::nullopt, std::string());
    enum class Phase
    {
        Wait,
        Begin,
        Value,
        Stored,
        End
    } phase = Phase::Wait;
    int trials = 0;
    bool pause = false;
    auto entry = values.begin();
    const auto scene = static_cast<std::uint8_t>(sceneNr);
    for (;;) {
        if (trials >= kMaxTrials || TimedOut(start, kSceneLimitMs)) {
            if (trials >= kMaxTrials)
                TRACE_MSG(TRACE_ERROR, "Trials = %d", trials);
            else
                TRACE_MSG(TRACE_ERROR, "Timeout");
            ReportTimeoutError(caption, 0);
            return false;
        }
        if (std::exchange(pause, false))
            Pause();
        std::uint8_t reply[3];
        switch (phase) {
        case Phase::Wait:
            if (!ReadPropertyD1(reply))
                return false;
            if (reply[0] != 0) {
                pause = true;
                ++trials;
                continue;
            }
            box->Step();
            phase = Phase::Begin;
            break;
        case Phase::Begin:
            if (!WritePropertyD1(kFnWriteScene, scene, 1))
                return false;
            box->Step();
            phase = Phase::Value;
            break;
        case Phase::Value:
            if (auto name = names.find(entry->first); name != names.end())
                box->SetInfoText2(name->second);
            if (!WritePropertyD1(kFnWriteSceneValue, static_cast<std::uint8_t>(entry->first), entry->second))
                return false;
            box->Step();
            phase = Phase::Stored;
            break;
        case Phase::Stored:
            if (!ReadPropertyD1(reply))
                return false;
            if (reply[0] == 0) {
                ++entry;
                phase = entry != values.end() ? Phase::Value : Phase::End;
            } else {
                box->Step();
                pause = true;
            }
            break;
        case Phase::End:
            return WritePropertyD1(kFnWriteScene, scene, 0);
        }
        trials = 0;
    }
}

bool CEtsLifeDeviceConnection::ReadSceneValues(int /*sceneNr*/, const ChannelNames& names,
                                               ChannelValues& values, const std::string& caption,
                                               const std::string& info, std::set<int>* notRead)
{
    TRACE_ENTRY();
    if (notRead)
        notRead->clear();
    if (values.empty())
        return true;
    const std::uint64_t start = m_Clock.NowMs();
    CMyProgressBox box(*this);
    box->Show(ProgressKind::Polling, caption, info, std::nullopt, std::string());
    enum class Phase
    {
        Wait,
        Ask,
        Answer
    } phase = Phase::Wait;
    int trials = 0;
    bool pause = false;
    auto entry = values.begin();
    // Each channel has only what the gateway reported for it; nothing carries over from the one before.
    bool reported = false;
    std::uint8_t value = 0;
    bool noAnswer = false;
    for (;;) {
        if (trials >= kMaxTrials || TimedOut(start, kSceneLimitMs)) {
            if (trials >= kMaxTrials)
                TRACE_MSG(TRACE_ERROR, "Trials = %d", trials);
            else
                TRACE_MSG(TRACE_ERROR, "Timeout");
            ReportTimeoutError(caption, 0);
            return false;
        }
        if (std::exchange(pause, false))
            Pause();
        std::uint8_t reply[3];
        switch (phase) {
        case Phase::Wait:
            if (!ReadPropertyD1(reply))
                return false;
            if (reply[0] != 0) {
                pause = true;
                ++trials;
                continue;
            }
            phase = Phase::Ask;
            break;
        case Phase::Ask:
            if (auto name = names.find(entry->first); name != names.end())
                box->SetInfoText2(name->second);
            if (!WritePropertyD1(kFnReadChannel, static_cast<std::uint8_t>(entry->first), 0))
                return false;
            box->Step();
            reported = false;
            noAnswer = false;
            phase = Phase::Answer;
            break;
        case Phase::Answer:
            if (!ReadPropertyD1(reply))
                return false;
            if (reply[0] != 0) {
                if (reply[0] == kReplyNoAnswer)
                    noAnswer = true;
                else {
                    reported = true;
                    value = reply[2];
                }
                box->Step();
                pause = true;
                break;
            }
            if (reported && !noAnswer) {
                entry->second = value;
                ++entry;
            } else {
                TRACE_MSG(TRACE_ERROR, "Channel %d: no value", entry->first);
                if (notRead)
                    notRead->insert(entry->first);
                entry = values.erase(entry);
            }
            if (entry == values.end())
                return true;
            phase = Phase::Ask;
            break;
        }
        trials = 0;
    }
}
