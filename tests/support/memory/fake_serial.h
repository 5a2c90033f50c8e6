// A scripted, in-process stand-in for the machine's COM ports. Each port keeps its line
// settings and time-outs across opens, records every write, answers each written command
// from a script with bursts of bytes that arrive on a virtual clock, and can be told to fail
// any of its calls. Reads end by the same COMMTIMEOUTS rules as a Win32 serial port, computed
// on the virtual clock from the time-outs currently set on the port.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "support/memory/virtual_clock.h"
#include "platform/serial_device.h"

// Win32 error codes that the fake reports through GetLastError.
namespace fake_serial {
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorIoDevice = 1117;
constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
}  // namespace fake_serial

// Bytes that arrive together, nDelayMs after the previous burst (the first one: after the
// write that it answers).
struct FakeBurst {
    std::uint32_t nDelayMs = 0;
    std::string strBytes;
};
using FakeReply = std::vector<FakeBurst>;

// The calls of one port, as recorded in its call log and as targets of fault injection.
enum class FakeCall {
    kOpen,
    kClose,
    kGetState,
    kSetState,
    kGetTimeouts,
    kSetTimeouts,
    kRead,
    // Fault target only: the read delivers what arrives by its time-outs, then reports failure.
    kReadAfterData,
    kWrite,
};

class CFakeSerialPort {
public:
    CFakeSerialPort(int nPort, CVirtualClock& clock);
    CFakeSerialPort(const CFakeSerialPort&) = delete;
    CFakeSerialPort& operator=(const CFakeSerialPort&) = delete;

    // The settings a port has before anybody configures it: a distinctive, non-default value
    // in every field, so that a test can tell a field that was set from one that was kept.
    static SerialLineSettings InitialSettings();
    static SerialTimeouts InitialTimeouts();

    int GetPortNumber() const { return m_nPort; }

    // --- Script ---
    // The standing answer to a command (the exact bytes of one write).
    void Respond(const std::string& command, FakeReply reply);
    // A one-time answer, used before the standing one; several queue up in order.
    void QueueReply(const std::string& command, FakeReply reply);
    // Asked for commands without a table entry; returns the answer (empty: silence).
    void SetResponder(std::function<FakeReply(const std::string& command)> responder);
    // Bytes that arrive nDelayMs from now without any write, e.g. line noise or a late answer.
    void Inject(std::uint32_t nDelayMs, const std::string& bytes);

    // --- Faults ---
    // Opening fails with this last error (0: opens normally).
    void FailOpen(std::uint32_t error);
    // The call fails with this last error after nPassFirst more successful calls, for nTimes
    // calls (-1: from then on). An error of 0 makes the call fail without setting a last
    // error: whatever was there stays.
    void Fail(FakeCall call, std::uint32_t error = fake_serial::kErrorGenFailure,
              int nPassFirst = 0, int nTimes = -1);
    void ClearFaults();

    // --- State ---
    bool IsOpen() const;
    int GetOpenCount() const;
    SerialLineSettings GetSettings() const;
    SerialTimeouts GetTimeouts() const;
    void SetSettings(const SerialLineSettings& settings);
    void SetTimeouts(const SerialTimeouts& timeouts);
    // Every successful write's bytes, in order.
    std::vector<std::string> GetWrites() const;
    std::string GetWrittenText() const;
    void ClearWrites();
    // Every device call in order (failed ones included).
    std::vector<FakeCall> GetCallLog() const;
    void ClearCallLog();
    // Bytes scheduled or arrived but not yet read.
    std::string GetPendingInput() const;
    // Virtual time at which the last read began and ended.
    std::uint64_t GetLastReadStart() const;
    std::uint64_t GetLastReadEnd() const;

private:
    friend class CFakeSerialPorts;
    friend class CFakeSerialDevice;

    struct Pending {
        std::uint64_t nArrival;
        std::string strBytes;
    };
    struct Fault {
        std::uint32_t nError = 0;
        int nPassFirst = 0;
        int nTimes = 0;
        bool bActive = false;
    };

    // Whether this call fails now (counting it); stores the error to report.
    bool TakeFault(FakeCall call, std::uint32_t* error);
    void Schedule(std::uint64_t start, const FakeReply& reply);
    FakeReply AnswerFor(const std::string& command);
    std::uint32_t ReadLocked(char* buffer, std::uint32_t size);

    const int m_nPort;
    CVirtualClock& m_clock;
    mutable std::mutex m_mutex;
    SerialLineSettings m_settings;
    SerialTimeouts m_timeouts;
    bool m_bOpen = false;
    int m_nOpenCount = 0;
    std::uint32_t m_nOpenError = 0;
    std::map<FakeCall, Fault> m_faults;
    std::map<std::string, FakeReply> m_replies;
    std::map<std::string, std::deque<FakeReply>> m_queuedReplies;
    std::function<FakeReply(const std::string&)> m_responder;
    std::deque<Pending> m_input;
    std::vector<std::string> m_writes;
    std::vector<FakeCall> m_calls;
    std::uint64_t m_nLastReadStart = 0;
    std::uint64_t m_nLastReadEnd = 0;
};

class CFakeSerialPorts : public ISerialPorts {
public:
    explicit CFakeSerialPorts(CVirtualClock& clock) : m_clock(clock) {}

    // Adds COM port n (or returns the one that exists).
    CFakeSerialPort& AddPort(int nPort);
    // Null when no such port was added.
    CFakeSerialPort* GetPort(int nPort) const;
    // Every device name that Open was asked for, in order.
    std::vector<std::string> GetOpenedNames() const;

    // Accepts only the "\\.\COMn" form. A missing port fails with ERROR_FILE_NOT_FOUND, an
    // open one (exclusive access) with ERROR_ACCESS_DENIED.
    std::unique_ptr<ISerialDevice> Open(const char* deviceName) override;
    std::uint32_t GetLastError() override;
    void SetLastError(std::uint32_t error) override;
    // Open then fails and every read and write fails at once, with ERROR_OPERATION_ABORTED
    // (reads take no real time here, so none is ever under way).
    void CancelAll() override;
    bool IsCancelled() const { return m_bCancelled; }

private:
    CVirtualClock& m_clock;
    std::atomic<bool> m_bCancelled{false};
    mutable std::mutex m_mutex;
    std::map<int, std::unique_ptr<CFakeSerialPort>> m_ports;
    std::vector<std::string> m_openedNames;
    std::uint32_t m_nLastError = 0;
};

// The answers of a scripted modem with echo on: every reply starts with the echoed command,
// then comes the answer framed by CR LF. A field left empty makes the modem answer ERROR.
struct FakeModemAnswers {
    bool bReset = true;                                         // "at&f\r" -> OK
    std::optional<std::string> strMaker = "ORVA";               // "+GMI: <maker>"
    std::optional<std::string> strModel = "\"ORVA 56k V.92\"";  // "+GMM: <model>"
    bool bCallWaiting = true;                                   // "+PCW: 0" and OK, else ERROR
    std::optional<std::string> strCountry = "04";               // "+GCI: <country>"
    std::uint32_t nAnswerDelayMs = 20;                          // from the echo to the answer
};
// Scripts the port as a modem with these answers; anything else is answered with ERROR.
void ScriptModem(CFakeSerialPort& port, const FakeModemAnswers& answers = {});
