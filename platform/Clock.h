// Time, pauses and chance behind one interface, so that protocols with pauses of seconds and
// limits of minutes run under tests in virtual time.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <random>

class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::uint64_t NowMs() = 0;
    // The 32-bit tick counter the procedures measure limits with (wraps after 49.7 days).
    std::uint32_t GetTickCount() { return static_cast<std::uint32_t>(NowMs()); }
    virtual void Sleep(std::uint32_t ms) = 0;
    // Broken-down local time of now.
    virtual std::tm LocalTime() = 0;
    // Uniform random number in [0, 2^32).
    virtual std::uint32_t Random() = 0;
};

// Wall time, real pauses, a random source seeded from the system.
class RealClock final : public Clock
{
public:
    RealClock();
    std::uint64_t NowMs() override;
    void Sleep(std::uint32_t ms) override;
    std::tm LocalTime() override;
    std::uint32_t Random() override;

private:
    std::mutex m_randomMutex;
    std::mt19937 m_random;
};

// Virtual time: Sleep advances it at once. Thread safe, so a simulated peer may read it while a
// procedure sleeps. Random numbers come from a fixed seed, so runs repeat.
class TestClock final : public Clock
{
public:
    explicit TestClock(std::uint64_t startMs = 1'000'000, std::uint32_t seed = 12345);
    std::uint64_t NowMs() override { return m_now.load(); }
    void Sleep(std::uint32_t ms) override;
    std::tm LocalTime() override;
    std::uint32_t Random() override;

    void Advance(std::uint64_t ms) { m_now.fetch_add(ms); }
    // Total of all pauses asked for, to check that a procedure paused as it should.
    std::uint64_t SleptMs() const { return m_slept.load(); }
    void SetLocalTime(const std::tm& local) { m_local = local; }

private:
    std::atomic<std::uint64_t> m_now;
    std::atomic<std::uint64_t> m_slept{0};
    std::mutex m_mutex;
    std::mt19937 m_random;
    std::tm m_local{};
};

// The clock of the process unless a caller hands another one in.
Clock& DefaultClock();
