#include "platform/Clock.h"

#include <chrono>
#include <thread>

RealClock::RealClock() : m_random(std::random_device{}()) {}

std::uint64_t RealClock::NowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void RealClock::Sleep(std::uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::tm RealClock::LocalTime()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::uint32_t RealClock::Random()
{
    std::lock_guard lock(m_randomMutex);
    return static_cast<std::uint32_t>(m_random());
}

TestClock::TestClock(std::uint64_t startMs, std::uint32_t seed) : m_now(startMs), m_random(seed)
{
    // 2026-01-02 03:04:05, a fixed local time for printouts.
    m_local.tm_year = 126;
    m_local.tm_mon = 0;
    m_local.tm_mday = 2;
    m_local.tm_hour = 3;
    m_local.tm_min = 4;
    m_local.tm_sec = 5;
}

void TestClock::Sleep(std::uint32_t ms)
{
    m_slept.fetch_add(ms);
    m_now.fetch_add(ms);
}

std::tm TestClock::LocalTime()
{
    std::lock_guard lock(m_mutex);
    return m_local;
}

std::uint32_t TestClock::Random()
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::uint32_t>(m_random());
}

Clock& DefaultClock()
{
    static RealClock clock;
    return clock;
}
