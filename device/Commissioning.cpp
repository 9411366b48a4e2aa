// The procedures that work on the DALI line behind the gateway: search, downloads of gear numbers and
// group assignments, deleting assignments, resetting gear, writing and reading scene values.
#include "device/EtsLifeDeviceConnection.h"
#include "device/TextFormat.h"
#include "trace/DebugTrace.h"

using namespace protocol;

void CEtsLifeDeviceConnection::AbortFunction()
{
    const bool report = std::exchange(m_bReportErrors, false);
    WritePropertyD1(FnEnd, 0, 0);
    m_bReportErrors = report;
}

CEtsLifeDeviceConnection::Idle CEtsLifeDeviceConnection::AwaitIdle(IProgressBox& box)
{
    for (int trials = 0;; ++trials) {
        if (trials >= kMaxTrials) {
            TRACE_MSG(TRACE_ERROR, "Trials = %d", trials);
            return Idle::Busy;
        }
        if (trials > 0)
            Pause();
        std::uint8_t reply[3];
        if (!ReadPropertyD1(reply))
            return Idle::Failed;
        if (reply[0] == kReplyIdle)
            return Idle::Yes;
        box.Step();
    }
}

// ---- search ---------------------------------------------------------------------------------------

CDaliSearchResult CEtsLifeDeviceConnection::SearchDaliEvgs(const std::string& caption, bool compatibilityMode)
{
    TRACE_ENTRY();
    CDaliSearchResult result;
    std::array<std::int32_t, 64> addresses{};
    std::array<std::uint8_t, 64> types{};
    std::uint64_t start = m_Clock.NowMs();
    std::uint64_t limit = kLongLimitMs;
    const std::string nameA = Description(901), nameB = Description(902);
    auto fail = [&](const char* reason) {
        result.outcome = EProcedureOutcome::Failed;
        result.reason = reason;
        return result;
    };

    CMyProgressBox box(*this);
    box->Show(ProgressKind::Polling, caption, StrFormat("%s = %d", nameA.c_str(), 0),
              StrFormat("%s = %d", nameB.c_str(), 0), CancelText());
    // A search is started like every function: only once the gateway is idle.
    switch (AwaitIdle(*box)) {
    case Idle::Yes:
        break;
    case Idle::Busy:
        ReportTimeoutError(caption, 0);
        return fail("The gateway stays busy");
    case Idle::Failed:
        return fail("No connection");
    }
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
            return fail("Timeout");
        }
        if (box->CheckCancel()) {
            TRACE_MSG(TRACE_INFO, "Aborted");
            AbortFunction();
            result.outcome = EProcedureOutcome::Cancelled;
            return result;
        }
        if (std::exchange(pause, false))
            Pause();
        switch (phase) {
        case Phase::Start:
            if (!WritePropertyD1(FnSearch, compatibilityMode ? 1 : 0, 0))
                return fail("No connection");
            phase = Phase::Watch;
            break;
        case Phase::Watch: {
            std::uint8_t reply[3];
            if (!ReadPropertyD1(reply))
                return fail("No connection");
            if (reply[1] != result.counterA || reply[2] != result.counterB) {
                result.counterA = reply[1];
                result.counterB = reply[2];
                box->SetInfoText(StrFormat("%s = %d", nameA.c_str(), result.counterA));
                box->SetInfoText2(StrFormat("%s = %d", nameB.c_str(), result.counterB));
                box->Show(ProgressKind::Steps, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
                // The slower search of old gear goes on while it still finds some.
                const std::uint64_t elapsed = m_Clock.NowMs() - start;
                if (compatibilityMode && limit - std::min(limit, elapsed) < 60'000) {
                    start = m_Clock.NowMs();
                    limit = 60'000;
                }
            }
            if (reply[0] == kReplyIdle) {
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
            if (!ReadDaliProp(PropD2, static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(count),
                              data))
                return fail("No connection");
            for (int k = 0; k < count; ++k)
                addresses[static_cast<std::size_t>(i + k)] =
                    static_cast<std::int32_t>(DecodeRandomAddress(data + 3 * k));
            i += count;
            box->Step();
            if (i >= kGearCount) {
                phase = Phase::ReadTypes;
                i = 0;
            }
            break;
        }
        case Phase::ReadTypes:
            if (i >= kGearCount) {
                // Only now is the list whole.
                result.outcome = EProcedureOutcome::Success;
                result.addresses = addresses;
                result.types = types;
                return result;
            }
            if (!ReadDaliProp(PropD6, static_cast<std::uint16_t>(i + 1), 8, types.data() + i))
                return fail("No connection");
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
            const bool ended = WritePropertyD1(FnEnd, 0, 0);
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
    download.function = FnApplyRandomAddress;
    download.info = Text(960, "");
    download.assigningInfo = Text(961, "");
    download.fillSteps = static_cast<int>(numbers.size() + types.size());
    for (const auto& [gear, address] : numbers)
        download.gear.emplace_back(gear, true);
    download.fill = [&](IProgressBox& box) {
        for (const auto& [gear, address] : numbers) {
            const auto data = EncodeRandomAddress(static_cast<std::uint32_t>(address));
            if (!WriteDaliProp(PropD2, static_cast<std::uint16_t>(gear), 1, data.data(), false))
                return false;
            box.Step();
        }
        for (const auto& [gear, type] : types) {
            if (!WriteDaliProp(PropD6, static_cast<std::uint16_t>(gear), 1, &type, false))
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
    download.function = FnApplyGroupMask;
    download.info = Text(906, "");
    download.fillSteps = static_cast<int>(groups.size());
    for (const auto& [gear, assignment] : groups)
        download.gear.emplace_back(gear, assignment.second);
    download.fill = [&](IProgressBox& box) {
        for (const auto& [gear, assignment] : groups) {
            const auto data = EncodeGroupMask(assignment.first);
            if (!WriteDaliProp(PropD3, static_cast<std::uint16_t>(gear), 1, data.data(), false))
                return false;
            box.Step();
        }
        return true;
    };
    return RunGearDownload(download);
}

// ---- delete and reset -----------------------------------------------------------------------------

bool CEtsLifeDeviceConnection::RunTableFunction(const std::string& text, int range,
                                                std::span<const TableClear> clears, std::uint8_t function)
{
    const std::uint64_t start = m_Clock.NowMs();
    CMyProgressBox box(*this);
    box->Show(ProgressKind::Steps, CommissioningCaption(), text, std::nullopt, std::string());
    box->SetRange(range);
    auto timedOut = [&] {
        if (!TimedOut(start, kLongLimitMs))
            return false;
        TRACE_MSG(TRACE_ERROR, "Timeout");
        ReportTimeoutError(text, 0);
        return true;
    };

    static const std::uint8_t zeros[kMaxAccessBytes]{};
    for (const TableClear& clear : clears) {
        for (int gear = clear.first; gear <= clear.last; gear += clear.elements) {
            if (timedOut())
                return false;
            if (!WriteDaliProp(clear.id, static_cast<std::uint16_t>(gear), clear.elements, zeros, false))
                return false;
            if (clear.step)
                box->Step();
        }
    }
    // The function starts only once the gateway is idle; a busy one would refuse it.
    switch (AwaitIdle(*box)) {
    case Idle::Yes:
        break;
    case Idle::Busy:
        ReportTimeoutError(text, 0);
        return false;
    case Idle::Failed:
        return false;
    }
    if (!WritePropertyD1(function, 0, 0))
        return false;
    for (;;) {
        if (timedOut())
            return false;
        std::uint8_t reply[3];
        if (!ReadPropertyD1(reply))
            return false;
        if (reply[0] == kReplyIdle)
            return true;
        box->Step();
        Pause();
    }
}

bool CEtsLifeDeviceConnection::DeleteEvgGroupAssignments()
{
    TRACE_ENTRY();
    static constexpr TableClear clears[] = {{PropD3, 1, 63, 2, true}};
    return RunTableFunction(Text(915, ""), 32, clears, FnDeleteGroups);
}

bool CEtsLifeDeviceConnection::ResetAllEvgs()
{
    TRACE_ENTRY();
    static constexpr TableClear clears[] = {
        {PropD2, 1, 61, 3, true},
        {PropD2, 64, 64, 1, false},
        {PropD3, 1, 63, 2, true},
        {PropD6, 1, 57, 8, true},
    };
    return RunTableFunction(Text(962, ""), 62, clears, FnResetAll);
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
            if (!WritePropertyD1(FnWriteScene, scene, 1))
                return false;
            box->Step();
            phase = Phase::Value;
            break;
        case Phase::Value:
            if (auto name = names.find(entry->first); name != names.end())
                box->SetInfoText2(name->second);
            if (!WritePropertyD1(FnWriteSceneValue, static_cast<std::uint8_t>(entry->first), entry->second))
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
            return WritePropertyD1(FnWriteScene, scene, 0);
        }
        trials = 0;
    }
}

bool CEtsLifeDeviceConnection::ReadSceneValues(int /*sceneNr*/, const ChannelNames& names,
                                               ChannelValues& values, const std::string& caption,
                                               const std::string& info, std::set<int>* notReadList)
{
    TRACE_ENTRY();
    std::set<int> notRead;
    if (notReadList)
        notReadList->clear();
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
            if (!WritePropertyD1(FnReadChannelLevel, static_cast<std::uint8_t>(entry->first), 0))
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
            } else {
                // Not read: the channel keeps its value and is named to the user at the end.
                TRACE_MSG(TRACE_ERROR, "Channel %d: no value", entry->first);
                notRead.insert(entry->first);
            }
            if (++entry == values.end()) {
                if (notReadList)
                    *notReadList = notRead;
                if (notRead.empty())
                    return true;
                std::string channels;
                for (int channel : notRead) {
                    const auto name = names.find(channel);
                    channels += "\n" + (name != names.end() ? name->second : StrFormat("%d", channel));
                }
                ReportError(caption, "No value was read for:" + channels, 0);
                return false;
            }
            phase = Phase::Ask;
            break;
        }
        trials = 0;
    }
}
