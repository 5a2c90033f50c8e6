// Virtual time for the in-memory backends: a sleep or a serial time-out moves the clock
// forward instead of waiting, so a test of a 103-second read costs no real time.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/services.h"

class CVirtualClock {
public:
    std::uint64_t Now() const;
    // Moves the clock forward by the given number of milliseconds.
    void Advance(std::uint64_t milliseconds);
    // Moves the clock to the given time; never backwards.
    void AdvanceTo(std::uint64_t time);

private:
    mutable std::mutex m_mutex;
    std::uint64_t m_nNow = 0;
};

// ISleeper on a virtual clock: Sleep advances the clock and remembers the pause.
class CFakeSleeper : public ISleeper {
public:
    explicit CFakeSleeper(CVirtualClock& clock) : m_clock(clock) {}

    void Sleep(std::uint32_t milliseconds) override;

    // Every pause asked for so far, in order.
    std::vector<std::uint32_t> GetSleeps() const;

private:
    CVirtualClock& m_clock;
    mutable std::mutex m_mutex;
    std::vector<std::uint32_t> m_sleeps;
};
