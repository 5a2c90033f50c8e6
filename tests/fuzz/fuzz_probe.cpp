// The whole start-up scan (registry walk, connection, the five probes, the reduction of the
// list) against fake COM ports whose modem says whatever the fuzzer's bytes say, in bursts on
// the virtual clock. Two records: COM3 (subkey 0, with a second subkey 1 on the same port for
// the model look-up) and COM4 (subkey 2). The n-th reply answers the n-th command written,
// whichever port it went to. In the input, 0x00 ends a reply; 0x01 to 0x04 are pauses before
// the next burst (150 ms: the same read goes on; 300 ms: the read ends there; 2 s: past the
// reset read; 110 s: past every read); 0x05 takes the next byte as it is.
//
// Each read is tapped, and the outcome is checked against the rules applied to what each read
// returned: the commands sent, which modems are kept, their names, the country warnings, the
// debug lines, which ports stay open, and that the virtual time stays bounded (no hang).
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "modem/modem_list.h"
#include "modem/replies.h"
#include "unit/core/modem_test_support.h"

namespace {

const char* const kProbes[] = {"at&f\r", "at+gmi?\r", "at+gmm?\r", "at+pcw?\r", "at+gci?\r"};
const char* const kConnectLine = "*** Connect to modem \n";
const char* const kReduceLine = "*** reduce To Modem On Hold Supported \n";

struct InstalledKey {
    int nPort;
    const char* model;
};
const InstalledKey kKeys[] = {{3, "ORVA 56k V.92"}, {3, "ORVA 56k"}, {4, "ORVA 56k V.92"}};

std::deque<FakeReply> SplitReplies(std::string_view input) {
    static const std::uint32_t kPauses[] = {150, 300, 2000, 110000};
    std::deque<FakeReply> replies;
    FakeReply reply;
    FakeBurst burst;
    auto endBurst = [&] {
        if (!burst.strBytes.empty()) {
            reply.push_back(std::move(burst));
            burst = FakeBurst();
        }
    };
    for (std::size_t i = 0; i < input.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(input[i]);
        if (c == 0x00) {
            endBurst();
            replies.push_back(std::move(reply));
            reply = FakeReply();
            burst = FakeBurst();
        } else if (c <= 0x04) {
            endBurst();
            burst.nDelayMs += kPauses[c - 1];
        } else {
            if (c == 0x05 && i + 1 < input.size()) {
                ++i;
            }
            burst.strBytes += input[i];
        }
    }
    endBurst();
    replies.push_back(std::move(reply));
    return replies;
}

// Forwards to the fake device and keeps what each read returned.
class CTappedDevice : public ISerialDevice {
public:
    CTappedDevice(std::unique_ptr<ISerialDevice> pInner, std::vector<std::string>& reads)
        : m_pInner(std::move(pInner)), m_reads(reads) {}
    bool GetState(SerialLineSettings* s) override { return m_pInner->GetState(s); }
    bool SetState(const SerialLineSettings& s) override { return m_pInner->SetState(s); }
    bool GetTimeouts(SerialTimeouts* t) override { return m_pInner->GetTimeouts(t); }
    bool SetTimeouts(const SerialTimeouts& t) override { return m_pInner->SetTimeouts(t); }
    bool Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        return m_pInner->Write(data, size, written);
    }
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* received) override {
        const bool bResult = m_pInner->Read(buffer, size, received);
        m_reads.emplace_back(static_cast<const char*>(buffer), *received);
        return bResult;
    }

private:
    std::unique_ptr<ISerialDevice> m_pInner;
    std::vector<std::string>& m_reads;
};

class CTappedPorts : public ISerialPorts {
public:
    explicit CTappedPorts(ISerialPorts& inner) : m_inner(inner) {}
    std::unique_ptr<ISerialDevice> Open(const char* deviceName) override {
        std::unique_ptr<ISerialDevice> pDevice = m_inner.Open(deviceName);
        if (!pDevice) {
            return nullptr;
        }
        const int nPort = std::atoi(deviceName + 7);  // after "\\.\COM"
        return std::make_unique<CTappedDevice>(std::move(pDevice), m_reads[nPort]);
    }
    std::uint32_t GetLastError() override { return m_inner.GetLastError(); }
    void SetLastError(std::uint32_t error) override { m_inner.SetLastError(error); }
    void CancelAll() override { m_inner.CancelAll(); }

    std::map<int, std::vector<std::string>> m_reads;

private:
    ISerialPorts& m_inner;
};

class CWarnings : public ICountryWarningSink {
public:
    explicit CWarnings(const CModemList& list) : m_list(list) {}
    void OnCountryWarning(int nIndex) override {
        const ModemInfo* pInfo = m_list.GetAt(nIndex);
        FUZZ_CHECK(pInfo != nullptr);
        m_ports.push_back(pInfo->GetComPort());
    }
    std::vector<int> m_ports;

private:
    const CModemList& m_list;
};

bool EqualsNoCase(std::string_view a, std::string_view b) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) {
            return false;
        }
    }
    return true;
}

// What the scan must make of one modem, given what each of its reads returned.
struct Expected {
    std::size_t nCommands = 0;
    bool bThrew = false;
    bool bKept = false;
    bool bWarned = false;
    std::string name;
};

Expected Judge(int nFirstKey, const std::vector<std::string>& reads) {
    Expected e;
    auto read = [&](std::size_t n) { return n < reads.size() ? reads[n] : std::string(); };
    const InstalledKey& installed = kKeys[nFirstKey];
    e.nCommands = 1;
    if (read(0).size() < 3) {
        return e;
    }
    e.nCommands = 2;
    const std::optional<std::string> maker = ExtractQueryValue(read(1));
    if (!maker || !IsMakerValue(*maker)) {
        e.bThrew = !maker;
        return e;
    }
    e.nCommands = 3;
    const std::optional<std::string> model = ExtractQueryValue(read(2));
    if (!model) {
        e.bThrew = true;
        return e;
    }
    const std::string reported = StripEnclosingQuotes(*model);
    int nKey = EqualsNoCase(reported, installed.model) ? nFirstKey : -1;
    for (int i = 0; nKey < 0 && i < static_cast<int>(std::size(kKeys)); ++i) {
        if (kKeys[i].nPort == installed.nPort &&
            StripSpaces(reported).find(StripSpaces(kKeys[i].model)) != std::string::npos) {
            nKey = i;
        }
    }
    e.nCommands = 5;
    const std::optional<std::string> country = ExtractQueryValue(read(4));
    if (!country) {
        e.bThrew = true;
        return e;
    }
    e.name = std::string(kKeys[nKey < 0 ? nFirstKey : nKey].model);
    if (nKey >= 0) {
        e.name += " (COM" + std::to_string(installed.nPort) + ")";
    }
    const bool bSupported =
        nKey >= 0 && IsSupportedModelName(e.name) && IsCallWaitingReplyOk(read(3));
    e.bKept = bSupported && IsGermanCountryValue(*country);
    e.bWarned = bSupported && !e.bKept;
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakePlatform fake;
    for (int i = 0; i < static_cast<int>(std::size(kKeys)); ++i) {
        fake.AddModemKey(i, ("COM" + std::to_string(kKeys[i].nPort)).c_str(), kKeys[i].model);
    }
    std::deque<FakeReply> replies = SplitReplies(fuzz::AsText(data, size));
    auto answer = [&replies](const std::string&) {
        FakeReply reply;
        if (!replies.empty()) {
            reply = std::move(replies.front());
            replies.pop_front();
        }
        return reply;
    };
    CFakeSerialPort& com3 = fake.serial.AddPort(3);
    CFakeSerialPort& com4 = fake.serial.AddPort(4);
    com3.SetResponder(answer);
    com4.SetResponder(answer);
    CTappedPorts tapped(fake.serial);
    Platform platform = fake.platform;
    platform.serial = &tapped;

    CModemList list(platform);
    CWarnings warnings(list);
    list.SetCountryWarningSink(&warnings);
    list.LoadRegEntries();
    FUZZ_CHECK(list.GetCount() == 2);
    list.ReduceToModemOnHoldSupported();

    std::vector<std::string> expectedLog;
    std::vector<int> expectedWarnings;
    int nKept = 0;
    const struct {
        CFakeSerialPort& port;
        int nFirstKey;
    } modems[] = {{com3, 0}, {com4, 2}};
    for (const auto& modem : modems) {
        const int nPort = modem.port.GetPortNumber();
        const Expected e = Judge(modem.nFirstKey, tapped.m_reads[nPort]);
        // Only the probes, in their order, and never more than the rules let through.
        const std::vector<std::string> writes = modem.port.GetWrites();
        FUZZ_CHECK(writes.size() == e.nCommands && tapped.m_reads[nPort].size() == e.nCommands);
        for (std::size_t i = 0; i < writes.size(); ++i) {
            FUZZ_CHECK(writes[i] == kProbes[i]);
        }
        FUZZ_CHECK(modem.port.IsOpen() == e.bKept);
        if (e.bKept) {
            FUZZ_CHECK(nKept < list.GetCount() && list.GetAt(nKept)->GetComPort() == nPort);
            FUZZ_CHECK(list.GetAt(nKept)->GetName() == e.name);
            ++nKept;
        }
        if (e.bWarned) {
            expectedWarnings.push_back(nPort);
        }
        if (e.bThrew) {
            if (e.nCommands <= 3) {
                expectedLog.push_back(kConnectLine);
            }
            expectedLog.push_back(kReduceLine);
        }
    }
    FUZZ_CHECK(list.GetCount() == nKept);
    FUZZ_CHECK(warnings.m_ports == expectedWarnings);
    FUZZ_CHECK(fake.log.GetLines() == expectedLog);
    FUZZ_CHECK(fake.registry.GetOpenKeyCount() == 0);
    // Ten commands at most, each a 200 ms pause and one read of at most 103.4 s.
    FUZZ_CHECK(fake.clock.Now() <= 10u * (200u + 103400u));
    return 0;
}
