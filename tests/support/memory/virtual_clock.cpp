#include "support/memory/virtual_clock.h"

std::uint64_t CVirtualClock::Now() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nNow;
}

void CVirtualClock::Advance(std::uint64_t milliseconds) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nNow += milliseconds;
}

void CVirtualClock::AdvanceTo(std::uint64_t time) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (time > m_nNow) {
        m_nNow = time;
    }
}

void CFakeSleeper::Sleep(std::uint32_t milliseconds) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sleeps.push_back(milliseconds);
    }
    m_clock.Advance(milliseconds);
}

std::vector<std::uint32_t> CFakeSleeper::GetSleeps() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sleeps;
}
