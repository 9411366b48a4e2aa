#include "simulator/GatewaySimulator.h"

#include <algorithm>
#include <cstring>

using namespace protocol;

namespace {
constexpr std::uint32_t kNoSuchGear = 0xFFFFFFFF;

std::uint16_t Differ16(std::optional<std::uint32_t> fault, std::uint16_t real)
{
    if (!fault)
        return real;
    return static_cast<std::uint16_t>(*fault != 0 ? *fault : real + 1u);
}
} // namespace

GatewaySimulator::GatewaySimulator(Clock& clock, GatewayIdentity identity, SimulatorTiming timing)
    : m_clock(clock), m_identity(identity), m_timing(timing)
{}

// ---- line, faults, identity -------------------------------------------------------------------

bool GatewaySimulator::AddGear(const ControlGear& gear)
{
    std::lock_guard lock(m_mutex);
    return m_line.Add(gear);
}

std::vector<ControlGear> GatewaySimulator::GearSnapshot()
{
    std::lock_guard lock(m_mutex);
    std::uint64_t now = m_clock.NowMs();
    Settle(now);
    std::vector<ControlGear> out = m_line.Gear();
    for (auto& g : out)
        g.level = g.LevelAt(now, m_timing);
    return out;
}

void GatewaySimulator::ModifyGear(std::size_t index, const std::function<void(ControlGear&)>& change)
{
    std::lock_guard lock(m_mutex);
    Settle(m_clock.NowMs());
    if (index < m_line.Size())
        change(m_line[index]);
}

std::optional<ControlGear> GatewaySimulator::GearAt(int gearNumber)
{
    if (gearNumber < 1 || gearNumber > 64)
        return std::nullopt;
    auto all = GearSnapshot();
    for (const auto& g : all) {
        if (g.shortAddress == gearNumber - 1)
            return g;
    }
    return std::nullopt;
}

void GatewaySimulator::Inject(SimulatorFault fault, std::uint32_t value)
{
    std::lock_guard lock(m_mutex);
    Settle(m_clock.NowMs());
    switch (fault) {
    case SimulatorFault::GearSilent:
        if (ControlGear* gear = GearByNumber(value))
            gear->answers = false;
        break;
    case SimulatorFault::StaysBusy:
        m_faults.staysBusy = true;
        break;
    case SimulatorFault::VerifyFails:
        m_faults.verifyFails = true;
        break;
    case SimulatorFault::ConnectionDrops:
        m_faults.accessesBeforeDrop = value;
        break;
    case SimulatorFault::WrongMaskVersion:
        m_faults.maskVersion = value;
        break;
    case SimulatorFault::WrongManufacturer:
        m_faults.manufacturer = value;
        break;
    case SimulatorFault::WrongApplicationNumber:
        m_faults.applicationNumber = value;
        break;
    case SimulatorFault::WrongApplicationVersion:
        m_faults.applicationVersion = value;
        break;
    case SimulatorFault::NotRunning:
        m_faults.notRunning = true;
        break;
    case SimulatorFault::NoApplicationObject:
        m_faults.noApplicationObject = true;
        break;
    case SimulatorFault::NoDaliObject:
        m_faults.noDaliObject = true;
        break;
    case SimulatorFault::OtherProjectId:
        m_faults.otherProjectId = value;
        break;
    case SimulatorFault::NotPresent:
        m_faults.notPresent = true;
        break;
    case SimulatorFault::ConnectionBlips:
        m_faults.accessesBeforeBlip = value;
        break;
    case SimulatorFault::BusyPolls:
        if (value != 0)
            m_faults.busyPolls = value;
        break;
    case SimulatorFault::SilentMidSearch:
        if (ControlGear* gear = GearByNumber(value))
            gear->comparesBeforeSilence = 1;
        break;
    case SimulatorFault::WrongEcho:
        m_faults.wrongEchoGear = value;
        break;
    case SimulatorFault::LostConfirmation:
        m_faults.lostConfirmation = value;
        break;
    case SimulatorFault::NeedsCompatibilityMode:
        for (std::size_t i = 0; i < m_line.Size(); ++i) {
            if (value == 0 || GearByNumber(value) == &m_line[i])
                m_line[i].needsCompatibilityMode = true;
        }
        break;
    }
}

// The gear that holds gear number n now; on a line not yet addressed, the n-th gear added.
ControlGear* GatewaySimulator::GearByNumber(std::uint32_t gearNumber)
{
    if (gearNumber < 1 || gearNumber > kGearCount)
        return nullptr;
    std::ptrdiff_t i = m_line.IndexOfShortAddress(static_cast<std::uint8_t>(gearNumber - 1));
    if (i < 0 && gearNumber <= m_line.Size())
        i = static_cast<std::ptrdiff_t>(gearNumber - 1);
    return i >= 0 ? &m_line[static_cast<std::size_t>(i)] : nullptr;
}

void GatewaySimulator::ClearFault(SimulatorFault fault)
{
    std::lock_guard lock(m_mutex);
    switch (fault) {
    case SimulatorFault::GearSilent:
        for (auto& g : m_line.Gear())
            g.answers = true;
        break;
    case SimulatorFault::StaysBusy: {
        m_faults.staysBusy = false;
        // Functions that arrived while it hung are lost.
        std::erase_if(m_jobs, [](const Job& j) { return j.stuck; });
        if (!m_jobs.empty() && !m_jobs.front().started)
            Start(m_jobs.front(), m_clock.NowMs());
        break;
    }
    case SimulatorFault::VerifyFails:
        m_faults.verifyFails = false;
        break;
    case SimulatorFault::ConnectionDrops:
        m_faults.accessesBeforeDrop.reset();
        break;
    case SimulatorFault::WrongMaskVersion:
        m_faults.maskVersion.reset();
        break;
    case SimulatorFault::WrongManufacturer:
        m_faults.manufacturer.reset();
        break;
    case SimulatorFault::WrongApplicationNumber:
        m_faults.applicationNumber.reset();
        break;
    case SimulatorFault::WrongApplicationVersion:
        m_faults.applicationVersion.reset();
        break;
    case SimulatorFault::NotRunning:
        m_faults.notRunning = false;
        break;
    case SimulatorFault::NoApplicationObject:
        m_faults.noApplicationObject = false;
        break;
    case SimulatorFault::NoDaliObject:
        m_faults.noDaliObject = false;
        break;
    case SimulatorFault::OtherProjectId:
        m_faults.otherProjectId.reset();
        break;
    case SimulatorFault::NotPresent:
        m_faults.notPresent = false;
        break;
    case SimulatorFault::ConnectionBlips:
        m_faults.accessesBeforeBlip.reset();
        break;
    case SimulatorFault::BusyPolls:
        m_faults.busyPolls.reset();
        break;
    case SimulatorFault::SilentMidSearch:
        for (auto& g : m_line.Gear())
            g.comparesBeforeSilence = -1;
        break;
    case SimulatorFault::WrongEcho:
        m_faults.wrongEchoGear.reset();
        break;
    case SimulatorFault::LostConfirmation:
        m_faults.lostConfirmation.reset();
        break;
    case SimulatorFault::NeedsCompatibilityMode:
        for (auto& g : m_line.Gear())
            g.needsCompatibilityMode = false;
        break;
    }
}

void GatewaySimulator::ClearFaults()
{
    for (const auto& info : SimulatorFaultTable())
        ClearFault(info.fault);
}

SimulatorFaults GatewaySimulator::Faults()
{
    std::lock_guard lock(m_mutex);
    return m_faults;
}

GatewayIdentity GatewaySimulator::Identity()
{
    std::lock_guard lock(m_mutex);
    return m_identity;
}

void GatewaySimulator::SetIdentity(const GatewayIdentity& identity)
{
    std::lock_guard lock(m_mutex);
    m_identity = identity;
}

void GatewaySimulator::SetProjectId(std::uint16_t id1, std::uint16_t id2, std::uint16_t id3)
{
    std::lock_guard lock(m_mutex);
    m_projectId = {id1, id2, id3};
}

std::array<std::uint16_t, 3> GatewaySimulator::ProjectId()
{
    std::lock_guard lock(m_mutex);
    return m_projectId;
}

void GatewaySimulator::SetEffect(std::uint8_t effect, const EffectDefinition& definition)
{
    std::lock_guard lock(m_mutex);
    m_effects[effect] = definition;
}

GatewaySimulator::Statistics GatewaySimulator::Stats()
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}

void GatewaySimulator::ResetStats()
{
    std::lock_guard lock(m_mutex);
    m_stats = {};
}

std::vector<GatewaySimulator::Command> GatewaySimulator::Commands()
{
    std::lock_guard lock(m_mutex);
    return m_commands;
}

std::vector<std::uint8_t> GatewaySimulator::FunctionsWritten()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::uint8_t> out;
    for (const auto& c : m_commands) {
        if (c.propertyId == PropD1 && !c.data.empty())
            out.push_back(c.data[0]);
    }
    return out;
}

bool GatewaySimulator::WatchdogArmed()
{
    std::lock_guard lock(m_mutex);
    Settle(m_clock.NowMs());
    return m_watchdogDeadline.has_value();
}

// ---- property access --------------------------------------------------------------------------

std::vector<std::uint16_t> GatewaySimulator::ObjectTypes() const
{
    std::vector<std::uint16_t> types{OT_DEVICE};
    if (!m_faults.noApplicationObject)
        types.push_back(OT_APPLICATION_PROGRAM);
    if (!m_faults.noDaliObject)
        types.push_back(OT_DALI);
    return types;
}

std::optional<PropertyShape> GatewaySimulator::Shape(std::uint8_t objectIndex, std::uint8_t propertyId)
{
    std::lock_guard lock(m_mutex);
    const auto types = ObjectTypes();
    if (objectIndex >= types.size())
        return std::nullopt;
    return FindProperty(types[objectIndex], propertyId);
}

// Whether the gateway can be reached at all; counts the access towards a pending drop or blip.
HRESULT GatewaySimulator::Reach()
{
    if (m_faults.notPresent || m_faults.Dropped()) {
        ++m_stats.failedAccesses;
        return ETS_E_DEVICE_NOT_FOUND;
    }
    if (m_faults.accessesBeforeDrop)
        --*m_faults.accessesBeforeDrop;
    if (m_faults.accessesBeforeBlip) {
        if (*m_faults.accessesBeforeBlip == 0) {
            // This one access goes unanswered; the next one reaches the gateway again.
            m_faults.accessesBeforeBlip.reset();
            return NoAnswer();
        }
        --*m_faults.accessesBeforeBlip;
    }
    return S_OK;
}

// The host waits for an answer that never comes.
HRESULT GatewaySimulator::NoAnswer()
{
    ++m_stats.failedAccesses;
    m_pendingUs += std::uint64_t{m_timing.noAnswerMs} * 1000;
    return ETS_E_DEVICE_NOT_FOUND;
}

void GatewaySimulator::ChargeAccess(std::uint32_t bytes, bool write)
{
    std::uint64_t us =
        m_timing.accessBaseUs + std::uint64_t{m_timing.accessPerByteUs} * bytes * (write ? 2 : 1);
    m_pendingUs += us;
}

std::uint64_t GatewaySimulator::TakeChargedMs()
{
    std::uint64_t ms = m_pendingUs / 1000;
    m_pendingUs %= 1000;
    m_stats.busTimeMs += ms;
    return ms;
}

// The caller of the connection waits while the telegrams travel; under a TestClock that moves
// virtual time without counting as a pause of the caller. Called without the lock.
void GatewaySimulator::PassTime(std::uint64_t ms)
{
    if (ms == 0)
        return;
    if (auto* test = dynamic_cast<TestClock*>(&m_clock))
        test->Advance(ms);
    else
        m_clock.Sleep(static_cast<std::uint32_t>(ms));
}

// Checks an access against the gateway's table as the device and the host's connection do: an
// object, property, type, index range or length the gateway does not have is answered negatively
// (ETS_E_DEVICE_DENIED); a write too long for one telegram never arrives (no answer).
HRESULT GatewaySimulator::Resolve(const Access& access, std::uint16_t* objectType, PropertyShape* shape)
{
    const auto types = ObjectTypes();
    if (access.objectIndex >= types.size())
        return ETS_E_DEVICE_DENIED;
    const auto found = FindProperty(types[access.objectIndex], access.propertyId);
    if (!found || access.count == 0)
        return ETS_E_DEVICE_DENIED;
    if (access.startIndex == 0) {
        // The current number of elements: read only, one element of 2 bytes, of any type.
        if (access.write || access.count != 1)
            return ETS_E_DEVICE_DENIED;
        if (access.typed ? access.size != 2 : access.size < 2)
            return access.typed ? ETS_E_DEVICE_DENIED : E_INVALIDARG;
    } else {
        if (access.typed && access.type != found->type)
            return ETS_E_DEVICE_DENIED;
        if (access.write && !found->writable)
            return ETS_E_DEVICE_DENIED;
        if (std::uint32_t{access.startIndex} + access.count - 1 > found->elements)
            return ETS_E_DEVICE_DENIED;
        const std::uint32_t bytes = std::uint32_t{found->elementSize} * access.count;
        if (bytes > kMaxAccessBytes)
            return access.write ? NoAnswer() : ETS_E_DEVICE_DENIED;
        if (access.write || access.typed) {
            if (access.size != bytes)
                return ETS_E_DEVICE_DENIED;
        } else if (access.size < bytes) {
            return E_INVALIDARG;
        }
    }
    *objectType = types[access.objectIndex];
    *shape = *found;
    return S_OK;
}

HRESULT GatewaySimulator::ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                       std::int32_t propertyType, std::uint16_t startIndex,
                                       std::uint16_t count, std::uint32_t size, std::uint8_t* buffer)
{
    return Read({objectIndex, propertyId, true, propertyType, startIndex, count, size, false}, buffer);
}

HRESULT GatewaySimulator::ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                       std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                                       std::uint8_t* buffer)
{
    return Read({objectIndex, propertyId, false, 0, startIndex, count, size, false}, buffer);
}

HRESULT GatewaySimulator::WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                        std::int32_t propertyType, std::uint16_t startIndex,
                                        std::uint16_t count, std::uint32_t size, const std::uint8_t* data,
                                        bool verify)
{
    return Write({objectIndex, propertyId, true, propertyType, startIndex, count, size, true}, data, verify);
}

HRESULT GatewaySimulator::WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                        std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                                        const std::uint8_t* data, bool verify)
{
    return Write({objectIndex, propertyId, false, 0, startIndex, count, size, true}, data, verify);
}

HRESULT GatewaySimulator::Read(const Access& access, std::uint8_t* buffer)
{
    if (!buffer)
        return E_POINTER;
    std::uint64_t chargeMs = 0;
    HRESULT hr = S_OK;
    {
        std::lock_guard lock(m_mutex);
        hr = Reach();
        if (SUCCEEDED(hr)) {
            Settle(m_clock.NowMs());
            std::uint16_t type = 0;
            PropertyShape shape{};
            hr = Resolve(access, &type, &shape);
            std::uint32_t bytes = 0;
            if (SUCCEEDED(hr)) {
                if (access.startIndex == 0) {
                    buffer[0] = static_cast<std::uint8_t>(shape.elements >> 8);
                    buffer[1] = static_cast<std::uint8_t>(shape.elements);
                    bytes = 2;
                } else {
                    ReadElements(type, access.propertyId, access.startIndex, access.count, buffer, true);
                    bytes = std::uint32_t{shape.elementSize} * access.count;
                }
                ++m_stats.reads;
            } else {
                ++m_stats.failedAccesses;
            }
            ChargeAccess(bytes, false);
        }
        chargeMs = TakeChargedMs();
    }
    PassTime(chargeMs);
    return hr;
}

HRESULT GatewaySimulator::Write(const Access& access, const std::uint8_t* data, bool verify)
{
    if (!data)
        return E_POINTER;
    std::uint64_t chargeMs = 0;
    HRESULT hr = S_OK;
    {
        std::lock_guard lock(m_mutex);
        hr = Reach();
        if (SUCCEEDED(hr)) {
            Settle(m_clock.NowMs());
            std::uint16_t type = 0;
            PropertyShape shape{};
            hr = Resolve(access, &type, &shape);
            const std::uint32_t bytes = SUCCEEDED(hr) ? std::uint32_t{shape.elementSize} * access.count : 0;
            if (SUCCEEDED(hr) && verify && m_faults.verifyFails) {
                // The device did not take the value: what is read back is the old one.
                hr = ETS_E_VERIFY_FAILED;
            } else if (SUCCEEDED(hr)) {
                hr = WriteElements(access.propertyId, access.startIndex, access.count, data);
                if (SUCCEEDED(hr) && verify) {
                    std::vector<std::uint8_t> back(bytes);
                    ReadElements(type, access.propertyId, access.startIndex, access.count, back.data(),
                                 false);
                    if (std::memcmp(back.data(), data, bytes) != 0)
                        hr = ETS_E_VERIFY_FAILED;
                    ChargeAccess(bytes, false);
                }
            }
            if (SUCCEEDED(hr))
                ++m_stats.writes;
            else if (hr != ETS_E_DEVICE_NOT_FOUND)
                ++m_stats.failedAccesses;
            ChargeAccess(bytes, true);
        }
        chargeMs = TakeChargedMs();
    }
    PassTime(chargeMs);
    return hr;
}

HRESULT GatewaySimulator::Connect()
{
    std::uint64_t ms = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_faults.notPresent || m_faults.Dropped())
            return ETS_E_DEVICE_NOT_FOUND;
        ms = m_timing.openMs;
        m_stats.busTimeMs += ms;
    }
    PassTime(ms);
    return S_OK;
}

HRESULT GatewaySimulator::ReadMaskVersion(std::uint16_t* maskVersion)
{
    if (!maskVersion)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    if (m_faults.notPresent || m_faults.Dropped())
        return ETS_E_DEVICE_NOT_FOUND;
    *maskVersion = Differ16(m_faults.maskVersion, m_identity.maskVersion);
    return S_OK;
}

void GatewaySimulator::ReadElements(std::uint16_t objectType, std::uint8_t propertyId,
                                    std::uint16_t startIndex, std::uint16_t count, std::uint8_t* out,
                                    bool consume)
{
    for (std::uint16_t k = 0; k < count; ++k) {
        std::size_t slot = std::size_t{startIndex} - 1 + k;
        switch (propertyId) {
        case PID_OBJECT_TYPE:
            out[0] = static_cast<std::uint8_t>(objectType >> 8);
            out[1] = static_cast<std::uint8_t>(objectType);
            out += 2;
            break;
        case PID_RUN_STATE:
            *out++ = m_faults.notRunning ? 0 : 1;
            break;
        case PID_APP_INFO: {
            std::uint16_t manufacturer = Differ16(m_faults.manufacturer, m_identity.manufacturer);
            std::uint16_t application = Differ16(m_faults.applicationNumber, m_identity.applicationNumber);
            auto version = static_cast<std::uint8_t>(
                Differ16(m_faults.applicationVersion, m_identity.applicationVersion));
            *out++ = static_cast<std::uint8_t>(manufacturer >> 8);
            *out++ = static_cast<std::uint8_t>(manufacturer);
            *out++ = static_cast<std::uint8_t>(application >> 8);
            *out++ = static_cast<std::uint8_t>(application);
            *out++ = version;
            break;
        }
        case PropD1: {
            Reply r = FunctionReply(m_clock.NowMs(), consume);
            *out++ = r.b0;
            *out++ = r.b1;
            *out++ = r.b2;
            break;
        }
        case PropD2:
            *out++ = static_cast<std::uint8_t>(m_randomTable[slot] >> 16);
            *out++ = static_cast<std::uint8_t>(m_randomTable[slot] >> 8);
            *out++ = static_cast<std::uint8_t>(m_randomTable[slot]);
            break;
        case PropD3:
            for (int b = 0; b < 4; ++b)
                *out++ = static_cast<std::uint8_t>(m_groupTable[slot] >> (8 * b));
            break;
        case PropD4:
            for (std::uint16_t id : m_projectId) {
                if (m_faults.otherProjectId)
                    id = static_cast<std::uint16_t>(id + 1);
                *out++ = static_cast<std::uint8_t>(id >> 8);
                *out++ = static_cast<std::uint8_t>(id);
            }
            break;
        case PropD5:
            std::memcpy(out, m_gearCommand.data(), m_gearCommand.size());
            out += m_gearCommand.size();
            break;
        case PropD6:
            *out++ = m_typeTable[slot];
            break;
        default:
            break;
        }
    }
}

// Keeps the latest commands only, so that a demo left running for days does not grow without end.
void GatewaySimulator::Record(Command command)
{
    constexpr std::size_t kKept = 10'000;
    if (m_commands.size() >= kKept)
        m_commands.erase(m_commands.begin(), m_commands.begin() + kKept / 2);
    m_commands.push_back(std::move(command));
}

HRESULT GatewaySimulator::WriteElements(std::uint8_t propertyId, std::uint16_t startIndex,
                                        std::uint16_t count, const std::uint8_t* data)
{
    std::uint64_t now = m_clock.NowMs();
    for (std::uint16_t k = 0; k < count; ++k) {
        std::size_t slot = std::size_t{startIndex} - 1 + k;
        switch (propertyId) {
        case PropD1: {
            Record({now, propertyId, {data[0], data[1], data[2]}});
            if (!WriteFunction(data[0], data[1], data[2]))
                return ETS_E_DEVICE_DENIED;
            // A confirmation lost on the way back: the function runs, the host hears nothing.
            if (m_faults.lostConfirmation &&
                (*m_faults.lostConfirmation == 0 || *m_faults.lostConfirmation == data[0])) {
                m_faults.lostConfirmation.reset();
                return NoAnswer();
            }
            data += 3;
            break;
        }
        case PropD2:
            m_randomTable[slot] = (std::uint32_t{data[0]} << 16) | (std::uint32_t{data[1]} << 8) | data[2];
            data += 3;
            break;
        case PropD3:
            m_groupTable[slot] = std::uint32_t{data[0]} | (std::uint32_t{data[1]} << 8) |
                                 (std::uint32_t{data[2]} << 16) | (std::uint32_t{data[3]} << 24);
            data += 4;
            break;
        case PropD4:
            for (int i = 0; i < 3; ++i)
                m_projectId[static_cast<std::size_t>(i)] =
                    static_cast<std::uint16_t>((data[2 * i] << 8) | data[2 * i + 1]);
            data += 6;
            break;
        case PropD5: {
            std::memcpy(m_gearCommand.data(), data, m_gearCommand.size());
            Record({now, propertyId, std::vector<std::uint8_t>(data, data + 10)});
            Job job;
            job.command = m_gearCommand;
            Enqueue(job);
            data += 10;
            break;
        }
        case PropD6:
            m_typeTable[slot] = *data++;
            break;
        default:
            break;
        }
    }
    return S_OK;
}

// ---- function channel -------------------------------------------------------------------------

// Brings the gateway up to a moment: finishes functions whose time has come and starts the next
// ones, and lets an unfed watchdog end the test commands.
void GatewaySimulator::Settle(std::uint64_t nowMs)
{
    if (!m_faults.staysBusy) {
        while (!m_jobs.empty()) {
            Job& job = m_jobs.front();
            if (job.stuck)
                break;
            if (!job.started)
                Start(job, job.startMs);
            if (job.endMs > nowMs)
                break;
            Complete(job);
            std::uint64_t end = job.endMs;
            m_jobs.pop_front();
            if (!m_jobs.empty() && !m_jobs.front().started)
                m_jobs.front().startMs = end;
        }
    }
    EndFinishedBlinks(nowMs);
    ExpireWatchdog(nowMs);
}

// Gear that have blinked their count return to their level and are no longer under test.
void GatewaySimulator::EndFinishedBlinks(std::uint64_t nowMs)
{
    bool ended = false;
    for (auto& g : m_line.Gear()) {
        if (g.motion != ControlGear::Motion::Blink || g.blinkCount == 0)
            continue;
        if (nowMs - std::min(nowMs, g.motionStartMs) < std::uint64_t{g.blinkCount} * m_timing.blinkPeriodMs)
            continue;
        g.level = g.motionStartLevel;
        g.motion = ControlGear::Motion::None;
        if (g.shortAddress < 64)
            m_testGear[g.shortAddress] = false;
        ended = true;
    }
    if (ended && std::find(m_testGear.begin(), m_testGear.end(), true) == m_testGear.end())
        m_watchdogDeadline.reset();
}

GatewaySimulator::Reply GatewaySimulator::FunctionReply(std::uint64_t nowMs, bool consume)
{
    if (!m_jobs.empty())
        return BusyReply(m_jobs.front(), nowMs);
    if (m_faults.staysBusy)
        return {kReplyBusy, 0, 0};
    if (m_faults.busyPolls) {
        // Busy with something of its own for a number of polls, then idle again.
        if (consume && --*m_faults.busyPolls == 0)
            m_faults.busyPolls.reset();
        return {kReplyBusy, 0, 0};
    }
    if (m_held) {
        Reply r = *m_held;
        if (consume)
            m_held.reset();
        return r;
    }
    if (m_sticky)
        return *m_sticky;
    return m_idle;
}

GatewaySimulator::Reply GatewaySimulator::BusyReply(const Job& job, std::uint64_t nowMs) const
{
    if (job.search && job.started) {
        std::uint64_t elapsed = nowMs > job.startMs ? nowMs - job.startMs : 0;
        int found = 0, addressed = 0;
        for (const auto& e : job.search->events) {
            if (e.atMs > elapsed)
                break;
            (e.addressed ? addressed : found)++;
        }
        return {FnSearch, static_cast<std::uint8_t>(std::min(found, 255)),
                static_cast<std::uint8_t>(std::min(addressed, 255))};
    }
    return job.busy;
}

void GatewaySimulator::ClearReplies()
{
    m_sticky.reset();
    m_held.reset();
}

bool GatewaySimulator::FunctionRunning() const
{
    if (m_faults.staysBusy || m_faults.busyPolls)
        return true;
    return std::any_of(m_jobs.begin(), m_jobs.end(), [](const Job& job) { return job.function != 0; });
}

bool GatewaySimulator::WriteFunction(std::uint8_t function, std::uint8_t data1, std::uint8_t data2)
{
    std::uint64_t now = m_clock.NowMs();
    switch (function) {
    case FnEnd:
        // End of a download or abort: whatever runs stops here; a search keeps what it found so far.
        for (auto& job : m_jobs) {
            if (job.search && job.started && !job.stuck)
                ApplySearch(job, now - job.startMs);
        }
        m_jobs.clear();
        ClearReplies();
        m_idle = {};
        m_sceneWritten = 0;
        return true;
    case FnWatchdog:
        if (m_watchdogDeadline)
            m_watchdogDeadline = now + m_timing.watchdogMs;
        return true;
    default:
        break;
    }
    // One function at a time: a function written while another runs is refused, not queued.
    if (FunctionRunning())
        return false;
    ClearReplies();
    switch (function) {
    case FnWriteScene:
        m_sceneWritten = data2 != 0 && data1 >= 1 && data1 <= 16 ? data1 : 0;
        m_idle = {0, data1, data2};
        return true;
    case FnEffect:
    case FnEffectStep:
    case FnEffectSpeed:
    case FnEffectQueryStep:
    case FnEffectQueryPass:
        EffectCommand(function, data1, data2, now);
        return true;
    case FnSearch:
    case FnDeleteGroups:
    case FnApplyGroupMask:
    case FnApplyRandomAddress:
    case FnResetAll:
    case FnSwitch:
    case FnSetLevel:
    case FnReadLevel:
    case FnReadStatus:
    case FnSwitchGroup:
    case FnSetGroupLevel:
    case FnReadChannelLevel:
    case FnDimGroup:
    case FnCallScene:
    case FnWriteSceneValue: {
        Job job;
        job.function = function;
        job.data1 = data1;
        job.data2 = data2;
        Enqueue(job);
        return true;
    }
    default:
        // Unknown codes are taken and do nothing; the command log keeps them.
        return true;
    }
}

// Functions and gear commands share the one DALI line: a new one waits for the one that runs.
void GatewaySimulator::Enqueue(Job job)
{
    if (m_faults.staysBusy) {
        job.stuck = true;
        job.busy = {job.function ? job.function : kReplyBusy, job.data1, 0};
        m_jobs.push_back(job);
        return;
    }
    job.startMs = m_clock.NowMs();
    m_jobs.push_back(job);
    if (m_jobs.size() == 1)
        Start(m_jobs.front(), job.startMs);
}

// Runs a function on the line at its start and works out how long the line is busy with it and what
// the channel reports meanwhile and afterwards. A search is only planned here and applied at its end.
void GatewaySimulator::Start(Job& job, std::uint64_t atMs)
{
    job.started = true;
    job.startMs = atMs;
    const std::uint32_t frame = m_timing.frameMs;
    const std::uint32_t query = m_timing.frameWithAnswerMs;
    std::uint32_t duration = 0;
    const std::uint8_t d1 = job.data1, d2 = job.data2;
    job.busy = {job.function, d1, 0};
    job.after = After::Idle;
    job.result = {0, d1, d2};

    auto held = [&](bool answered, std::uint8_t value) {
        job.after = After::HeldOnce;
        job.result = answered ? Reply{job.function, d1, value} : Reply{kReplyNoAnswer, d1, 0};
    };
    auto stopTests = [&](const std::vector<ControlGear*>& gear) {
        for (auto* g : gear) {
            if (g->shortAddress < 64)
                m_testGear[g->shortAddress] = false;
        }
    };

    switch (job.function) {
    case 0:
        job.busy = {kReplyBusy, 0, 0};
        duration = RunGearCommand(job.command, atMs);
        break;
    case FnSearch:
        job.search = PlanDaliSearch(m_line, d1 != 0, m_timing, m_clock);
        m_stats.compareSteps += job.search->compareSteps;
        duration = job.search->durationMs;
        job.busy = {FnSearch, 0, 0};
        break;
    case FnDeleteGroups:
        for (auto* g : m_line.Answering())
            g->groups = 0;
        m_appliedMasks.fill(0);
        m_groupTable.fill(0);
        duration = 16 * 2 * frame; // REMOVE FROM GROUP 0..15 to all, each sent twice
        break;
    case FnApplyGroupMask:
    case FnApplyRandomAddress: {
        std::uint8_t result = GearDone;
        duration =
            job.function == FnApplyGroupMask ? ApplyGroupMask(d1, &result) : ApplyRandomAddress(d1, &result);
        job.after = After::Sticky;
        job.busy = {job.function, d1, GearWorking};
        job.result = {job.function, d1, result};
        if (m_faults.wrongEchoGear == d1) {
            // The confirmation names another gear than the one the function was started for.
            job.result.b1 = static_cast<std::uint8_t>(d1 % kGearCount + 1);
            m_faults.wrongEchoGear.reset();
        }
        break;
    }
    case FnResetAll:
        duration = ResetAll();
        break;
    case FnSwitch: {
        auto gear = d1 == 255 ? m_line.Answering() : m_line.AtShortAddress(static_cast<std::uint8_t>(d1 - 1));
        for (auto* g : gear)
            g->SetArc(d2 ? g->maxLevel : 0);
        stopTests(gear);
        duration = frame;
        break;
    }
    case FnSetLevel: {
        auto gear = m_line.AtShortAddress(static_cast<std::uint8_t>(d1 - 1));
        for (auto* g : gear)
            g->SetArc(LightnessToArc(d2));
        stopTests(gear);
        duration = frame;
        break;
    }
    case FnReadLevel:
    case FnReadStatus: {
        auto gear = m_line.AtShortAddress(static_cast<std::uint8_t>(d1 - 1));
        if (gear.empty())
            held(false, 0);
        else if (job.function == FnReadLevel)
            held(true, ArcToLightness(gear.front()->LevelAt(atMs, m_timing)));
        else
            held(true, gear.front()->Status(atMs, m_timing));
        duration = query;
        break;
    }
    case FnSwitchGroup:
    case FnSetGroupLevel: {
        auto gear = GroupTargets(d1);
        for (auto* g : gear)
            g->SetArc(job.function == FnSetGroupLevel ? LightnessToArc(d2) : (d2 ? g->maxLevel : 0));
        duration = GroupFrames(d1, gear.size());
        break;
    }
    case FnReadChannelLevel: {
        auto gear = ChannelTargets(d1);
        // A group answers through its member with the lowest gear number.
        std::sort(gear.begin(), gear.end(), [](const ControlGear* a, const ControlGear* b) {
            return a->shortAddress < b->shortAddress;
        });
        if (gear.empty())
            held(false, 0);
        else
            held(true, ArcToLightness(gear.front()->LevelAt(atMs, m_timing)));
        duration = query;
        break;
    }
    case FnDimGroup: {
        // Data 2 is a relative dimming code: bit 3 up, bits 0..2 the step (0 = stop).
        auto gear = GroupTargets(d1);
        for (auto* g : gear) {
            g->Settle(atMs, m_timing);
            if ((d2 & 0x07) != 0) {
                g->motion = (d2 & 0x08) ? ControlGear::Motion::DimUp : ControlGear::Motion::DimDown;
                g->motionStartMs = atMs;
                g->motionStartLevel = g->level;
                g->resetState = false;
            }
        }
        duration = GroupFrames(d1, gear.size());
        break;
    }
    case FnCallScene:
        if (d1 >= 1 && d1 <= 16) {
            for (auto* g : m_line.Answering())
                g->SetArc(g->scenes[d1 - 1u]);
            duration = frame;
        }
        break;
    case FnWriteSceneValue:
        if (m_sceneWritten != 0) {
            auto gear = ChannelTargets(d1);
            for (auto* g : gear) {
                g->scenes[m_sceneWritten - 1u] = LightnessToArc(d2);
                g->resetState = false;
            }
            // DTR0, then STORE DTR AS SCENE sent twice, to the group or to each gear.
            duration = 3 * (d1 >= 1 && d1 <= 16 ? frame : frame * static_cast<std::uint32_t>(gear.size()));
        }
        break;
    default:
        break;
    }
    job.endMs = atMs + duration;
    m_stats.daliTimeMs += duration;
}

void GatewaySimulator::Complete(Job& job)
{
    if (job.search) {
        ApplySearch(job, job.endMs - job.startMs);
        return;
    }
    switch (job.after) {
    case After::Idle:
        m_idle = {0, job.result.b1, job.result.b2};
        break;
    case After::Sticky:
        m_sticky = job.result;
        break;
    case After::HeldOnce:
        m_held = job.result;
        break;
    }
}

// Applies what a search has done up to a moment: random addresses it gave, gear numbers it
// programmed, and the tables of found gear.
void GatewaySimulator::ApplySearch(const Job& job, std::uint64_t uptoMs)
{
    const auto& plan = *job.search;
    for (std::size_t i : plan.fallenSilent) {
        if (i < m_line.Size()) {
            m_line[i].answers = false;
            m_line[i].comparesBeforeSilence = -1;
        }
    }
    std::vector<std::size_t> found;
    int counted = 0, addressed = 0;
    for (const auto& e : plan.events) {
        if (e.atMs > uptoMs)
            break;
        if (e.gear >= m_line.Size())
            continue;
        ControlGear& g = m_line[e.gear];
        g.randomAddress = e.randomAddress;
        if (e.addressed) {
            g.shortAddress = e.shortAddress;
            ++addressed;
        } else {
            found.push_back(e.gear);
            ++counted;
        }
    }
    m_randomTable.fill(0);
    m_typeTable.fill(0);
    for (std::size_t i : found) {
        const ControlGear& g = m_line[i];
        if (g.shortAddress < 64 && m_randomTable[g.shortAddress] == 0) {
            m_randomTable[g.shortAddress] = g.randomAddress;
            m_typeTable[g.shortAddress] = g.ReportedType();
        }
    }
    m_idle = {0, static_cast<std::uint8_t>(std::min(counted, 255)),
              static_cast<std::uint8_t>(std::min(addressed, 255))};
}

std::uint32_t GatewaySimulator::ApplyGroupMask(int gearNumber, std::uint8_t* result)
{
    const std::uint32_t frame = m_timing.frameMs;
    const std::uint32_t query = m_timing.frameWithAnswerMs;
    if (gearNumber < 1 || gearNumber > 64) {
        *result = GearBadNumber;
        return 0;
    }
    const auto slot = static_cast<std::size_t>(gearNumber - 1);
    const std::uint32_t mask = m_groupTable[slot];
    auto gear = m_line.AtShortAddress(static_cast<std::uint8_t>(slot));
    if (gear.empty()) {
        *result = GearNoAnswer;
        return query;
    }
    // Groups above 16 are the gateway's own; each holds two gear at most.
    for (int bit = 16; bit < 32; ++bit) {
        if (!((mask >> bit) & 1))
            continue;
        int members = 0;
        for (std::size_t other = 0; other < 64; ++other)
            members += other != slot && ((m_appliedMasks[other] >> bit) & 1);
        if (members >= 2) {
            *result = GearGroupFull;
            return 2 * query;
        }
    }
    std::uint32_t duration = 2 * query; // QUERY GROUPS 0-7 and 8-15
    const auto daliGroups = static_cast<std::uint16_t>(mask & 0xFFFF);
    std::uint16_t changed = gear.front()->groups ^ daliGroups;
    for (int bit = 0; bit < 16; ++bit)
        duration += ((changed >> bit) & 1) ? 2 * frame : 0; // ADD TO / REMOVE FROM GROUP, sent twice
    for (auto* g : gear) {
        g->groups = daliGroups;
        g->resetState = false;
    }
    m_appliedMasks[slot] = mask;
    *result = gear.size() > 1 ? GearCollision : GearDone;
    return duration;
}

std::uint32_t GatewaySimulator::ApplyRandomAddress(int gearNumber, std::uint8_t* result)
{
    const std::uint32_t frame = m_timing.frameMs;
    const std::uint32_t query = m_timing.frameWithAnswerMs;
    if (gearNumber < 1 || gearNumber > 64) {
        *result = GearBadNumber;
        return 0;
    }
    const auto slot = static_cast<std::uint8_t>(gearNumber - 1);
    const std::uint32_t address = m_randomTable[slot];
    // The number is taken from whichever gear holds it now: DTR0 = MASK, STORE DTR AS SHORT ADDRESS twice.
    std::uint32_t duration = 3 * frame;
    for (auto* g : m_line.AtShortAddress(slot))
        g->shortAddress = kNoShortAddress;
    if (address == 0) {
        *result = GearDone;
        return duration;
    }
    // INITIALISE twice, SEARCHADDRH/M/L, PROGRAM SHORT ADDRESS, VERIFY SHORT ADDRESS, TERMINATE.
    duration += 2 * frame + 3 * frame + frame + query + frame;
    std::vector<ControlGear*> targets;
    for (auto* g : m_line.Answering()) {
        if (g->randomAddress == address)
            targets.push_back(g);
    }
    for (auto* g : targets)
        g->shortAddress = slot;
    *result = targets.empty() ? GearNoAnswer : targets.size() > 1 ? GearCollision : GearDone;
    return duration;
}

std::uint32_t GatewaySimulator::ResetAll()
{
    for (auto* g : m_line.Answering()) {
        g->motion = ControlGear::Motion::None;
        g->level = 254;
        g->groups = 0;
        g->scenes.fill(kDaliMask);
        g->randomAddress = kUnsetRandomAddress;
        g->shortAddress = kNoShortAddress;
        g->emergencyLampOn = false;
        g->resetState = true;
        g->powerFailure = false;
    }
    m_randomTable.fill(0);
    m_groupTable.fill(0);
    m_typeTable.fill(0);
    m_appliedMasks.fill(0);
    m_testGear.fill(false);
    m_watchdogDeadline.reset();
    // RESET twice, the gear's settling time, then DTR0 = MASK and STORE DTR AS SHORT ADDRESS twice.
    return 2 * m_timing.frameMs + m_timing.resetSettleMs + 3 * m_timing.frameMs;
}

std::uint32_t GatewaySimulator::RunGearCommand(const std::array<std::uint8_t, 10>& command,
                                               std::uint64_t atMs)
{
    const std::uint8_t function = command[0];
    const std::uint8_t data = command[9];
    std::uint32_t frames = 0;
    for (int n = 1; n <= 64; ++n) {
        if (!((command[1 + (n - 1) / 8] >> ((n - 1) % 8)) & 1))
            continue;
        const auto slot = static_cast<std::size_t>(n - 1);
        auto gear = m_line.AtShortAddress(static_cast<std::uint8_t>(slot));
        switch (function) {
        case TestSwitch:
            ++frames;
            for (auto* g : gear)
                g->SetArc(data ? g->maxLevel : 0);
            m_testGear[slot] = data != 0;
            break;
        case TestBlink:
            ++frames;
            for (auto* g : gear) {
                g->Settle(atMs, m_timing);
                g->motion = ControlGear::Motion::Blink;
                g->motionStartMs = atMs;
                g->motionStartLevel = g->level;
                g->blinkCount = data;
            }
            m_testGear[slot] = true;
            break;
        case TestEmergencyLamps:
            for (auto* g : gear) {
                if (g->IsEmergency()) {
                    ++frames; // START / STOP FUNCTION TEST of device type 1
                    g->emergencyLampOn = data != 0;
                    m_testGear[slot] = data != 0;
                }
            }
            break;
        default:
            break;
        }
    }
    if (std::find(m_testGear.begin(), m_testGear.end(), true) != m_testGear.end())
        ArmWatchdog(atMs);
    else
        m_watchdogDeadline.reset();
    return frames * m_timing.frameMs;
}

std::vector<ControlGear*> GatewaySimulator::GroupTargets(int group)
{
    if (group >= 1 && group <= 16)
        return m_line.InGroup(group - 1);
    std::vector<ControlGear*> out;
    if (group >= 17 && group <= 32) {
        for (std::size_t slot = 0; slot < 64; ++slot) {
            if ((m_appliedMasks[slot] >> (group - 1)) & 1) {
                auto gear = m_line.AtShortAddress(static_cast<std::uint8_t>(slot));
                out.insert(out.end(), gear.begin(), gear.end());
            }
        }
    }
    return out;
}

// Scene and read channels: 1..32 the groups, 33..96 the gear 1..64.
std::vector<ControlGear*> GatewaySimulator::ChannelTargets(int channel)
{
    if (channel >= 33 && channel <= 96)
        return m_line.AtShortAddress(static_cast<std::uint8_t>(channel - 33));
    return GroupTargets(channel);
}

std::uint32_t GatewaySimulator::GroupFrames(int group, std::size_t targets) const
{
    // A DALI group takes one frame; the gateway's own groups are sent to each member.
    if (group >= 1 && group <= 16)
        return m_timing.frameMs;
    return m_timing.frameMs * static_cast<std::uint32_t>(targets);
}

void GatewaySimulator::ArmWatchdog(std::uint64_t atMs)
{
    m_watchdogDeadline = atMs + m_timing.watchdogMs;
}

// A watchdog that was not retriggered in time ends every test command: lamps off, blinking stopped.
void GatewaySimulator::ExpireWatchdog(std::uint64_t nowMs)
{
    if (!m_watchdogDeadline || *m_watchdogDeadline > nowMs)
        return;
    for (std::size_t slot = 0; slot < 64; ++slot) {
        if (!m_testGear[slot])
            continue;
        for (auto* g : m_line.AtShortAddress(static_cast<std::uint8_t>(slot))) {
            g->SetArc(0);
            g->emergencyLampOn = false;
        }
    }
    m_testGear.fill(false);
    m_watchdogDeadline.reset();
}

// ---- effects ----------------------------------------------------------------------------------

std::pair<std::uint16_t, std::uint16_t> GatewaySimulator::EffectPosition(std::uint64_t nowMs)
{
    if (m_effectStepMode)
        return {m_effectStep, 0};
    if (m_effect == 0 || (!m_effectRunning && m_effectElapsed == 0))
        return {0, 0};
    EffectDefinition def;
    if (auto it = m_effects.find(m_effect); it != m_effects.end())
        def = it->second;
    else
        def.stepMs = m_timing.effectStepMs;
    const std::uint64_t steps = std::max<std::uint8_t>(def.steps, 1);
    std::uint64_t elapsed = m_effectElapsed;
    if (m_effectRunning)
        elapsed += (nowMs - m_effectSinceMs) * m_effectSpeed;
    std::uint64_t index = elapsed / std::max<std::uint32_t>(def.stepMs, 1);
    if (def.passes != 0 && index >= steps * def.passes) {
        m_effectRunning = false;
        m_effectElapsed = steps * def.passes * std::max<std::uint32_t>(def.stepMs, 1) - 1;
        return {static_cast<std::uint16_t>(steps), def.passes};
    }
    return {static_cast<std::uint16_t>(index % steps + 1), static_cast<std::uint16_t>(index / steps + 1)};
}

void GatewaySimulator::EffectCommand(std::uint8_t function, std::uint8_t data1, std::uint8_t data2,
                                     std::uint64_t nowMs)
{
    switch (function) {
    case FnEffect:
        if (data2 != 0) {
            m_effect = data1;
            m_effectRunning = true;
            m_effectStepMode = false;
            m_effectElapsed = 0;
            m_effectSinceMs = nowMs;
        } else if (m_effectRunning) {
            m_effectElapsed += (nowMs - m_effectSinceMs) * m_effectSpeed;
            m_effectRunning = false;
        } else {
            m_effectStepMode = false;
        }
        break;
    case FnEffectStep: {
        EffectDefinition def;
        if (auto it = m_effects.find(data1); it != m_effects.end())
            def = it->second;
        m_effect = data1;
        m_effectRunning = false;
        m_effectStepMode = true;
        // Step 16 is the effect's last step.
        m_effectStep = std::min<std::uint16_t>(data2, def.steps);
        break;
    }
    case FnEffectSpeed:
        if (m_effectRunning) {
            m_effectElapsed += (nowMs - m_effectSinceMs) * m_effectSpeed;
            m_effectSinceMs = nowMs;
        }
        m_effectSpeed = std::max<std::uint8_t>(data2, 1);
        break;
    case FnEffectQueryStep: {
        auto [step, pass] = EffectPosition(nowMs);
        m_held = Reply{FnEffectQueryStep, static_cast<std::uint8_t>(step), 0};
        break;
    }
    case FnEffectQueryPass: {
        auto [step, pass] = EffectPosition(nowMs);
        m_held =
            Reply{FnEffectQueryPass, static_cast<std::uint8_t>(pass >> 8), static_cast<std::uint8_t>(pass)};
        break;
    }
    default:
        break;
    }
}
