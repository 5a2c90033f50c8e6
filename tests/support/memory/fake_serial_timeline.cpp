// CFakeSerialPort's timeline: answers are scheduled as bursts on the virtual clock and
// reads take what has arrived under the Win32 COMMTIMEOUTS rules.
#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "support/memory/fake_serial.h"

namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

}  // namespace

void CFakeSerialPort::Schedule(std::uint64_t start, const FakeReply& reply) {
    std::uint64_t arrival = start;
    for (const FakeBurst& burst : reply) {
        arrival += burst.nDelayMs;
        if (burst.strBytes.empty()) {
            continue;
        }
        // Keep the input ordered by arrival; bursts of the same instant keep their order.
        auto pos = std::upper_bound(
            m_input.begin(), m_input.end(), arrival,
            [](std::uint64_t time, const Pending& pending) { return time < pending.nArrival; });
        m_input.insert(pos, Pending{arrival, burst.strBytes});
    }
}

FakeReply CFakeSerialPort::AnswerFor(const std::string& command) {
    auto queued = m_queuedReplies.find(command);
    if (queued != m_queuedReplies.end() && !queued->second.empty()) {
        FakeReply reply = std::move(queued->second.front());
        queued->second.pop_front();
        return reply;
    }
    auto standing = m_replies.find(command);
    if (standing != m_replies.end()) {
        return standing->second;
    }
    if (m_responder) {
        return m_responder(command);
    }
    return {};
}

// One ReadFile under the Win32 COMMTIMEOUTS rules:
// - ReadIntervalTimeout MAXDWORD with both totals 0: return at once with what has arrived;
// - ReadIntervalTimeout and ReadTotalTimeoutMultiplier MAXDWORD, constant between: return as
//   soon as anything has arrived, or with nothing after the constant;
// - otherwise the read ends when size bytes have arrived, or when at least one byte has
//   arrived and then more than ReadIntervalTimeout ms (0: no limit) pass without a further
//   byte, or when Multiplier * size + Constant ms (both 0: no limit) have passed.
std::uint32_t CFakeSerialPort::ReadLocked(char* buffer, std::uint32_t size) {
    const std::uint64_t start = m_clock.Now();
    const SerialTimeouts to = m_timeouts;
    m_nLastReadStart = start;
    std::uint32_t received = 0;

    auto take = [&](Pending& pending) {
        std::uint32_t count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(size - received, pending.strBytes.size()));
        std::memcpy(buffer + received, pending.strBytes.data(), count);
        received += count;
        pending.strBytes.erase(0, count);
        if (pending.strBytes.empty()) {
            m_input.pop_front();
        }
    };
    auto finish = [&](std::uint64_t end) {
        m_clock.AdvanceTo(end);
        m_nLastReadEnd = std::max(end, start);
        return received;
    };

    if (size == 0) {
        return finish(start);
    }

    using fake_serial::kMaxDword;
    if (to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == 0 &&
        to.ReadTotalTimeoutConstant == 0) {
        while (received < size && !m_input.empty() && m_input.front().nArrival <= start) {
            take(m_input.front());
        }
        return finish(start);
    }
    if (to.ReadIntervalTimeout == kMaxDword && to.ReadTotalTimeoutMultiplier == kMaxDword &&
        to.ReadTotalTimeoutConstant > 0 && to.ReadTotalTimeoutConstant < kMaxDword) {
        const std::uint64_t deadline = start + to.ReadTotalTimeoutConstant;
        if (m_input.empty() || m_input.front().nArrival >= deadline) {
            return finish(deadline);
        }
        const std::uint64_t first = std::max(m_input.front().nArrival, start);
        while (received < size && !m_input.empty() &&
               std::max(m_input.front().nArrival, start) <= first) {
            take(m_input.front());
        }
        return finish(first);
    }

    const bool bTotal = to.ReadTotalTimeoutMultiplier != 0 || to.ReadTotalTimeoutConstant != 0;
    const std::uint64_t deadline =
        bTotal ? start + std::uint64_t{to.ReadTotalTimeoutMultiplier} * size +
                     to.ReadTotalTimeoutConstant
               : kNever;
    const bool bInterval = to.ReadIntervalTimeout != 0;
    std::uint64_t lastByte = 0;
    bool bAny = false;

    // The moment the read gives up if nothing more arrives: the total time-out, or the first
    // millisecond in which the gap after the last byte exceeds the interval time-out.
    auto giveUp = [&]() {
        std::uint64_t end = deadline;
        if (bAny && bInterval) {
            end = std::min(end, lastByte + to.ReadIntervalTimeout + 1);
        }
        return end;
    };

    while (received < size && !m_input.empty()) {
        const std::uint64_t arrival = std::max(m_input.front().nArrival, start);
        const std::uint64_t end = giveUp();
        if (arrival >= end) {
            return finish(end);
        }
        take(m_input.front());
        lastByte = arrival;
        bAny = true;
    }
    if (received == size) {
        return finish(bAny ? lastByte : start);
    }
    const std::uint64_t end = giveUp();
    if (end == kNever) {
        throw std::logic_error("fake serial read without time-outs would block forever");
    }
    return finish(end);
}
