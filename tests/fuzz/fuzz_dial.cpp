// The outside-line prefix and the provider dial command built from any prefix. The first input
// byte chooses the behaviour (bit 0: Cut the Line or Stay Connected), the speaker (bit 1), where
// the prefix comes from (bit 2: the telephony location in the registry, else the Extra options
// field), its registry type (bits 3-4), whether the rest is repeated 8 times (bit 5, past the
// field's 1024 bytes), whether the modem answers OK at once or after its echo (bit 6) and whether
// the location's prefix is read before the call, as the Extra dialog does, or only by the call (bit
// 7); the rest is the prefix.
//
// Properties: the filter keeps exactly the dial characters, in order; the command that reaches
// the modem has exactly one CR, at its end, no ';' but the one before "h", dials exactly the
// filtered prefix, fits its 255 characters, and goes out only when the prefix fits; the port
// is closed again on every way out.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "modem/call_waiting_control.h"
#include "modem/dial_prefix.h"
#include "unit/core/modem_test_support.h"

namespace {

constexpr std::uint32_t kTypes[] = {reg::kSz, 2 /* REG_EXPAND_SZ */, reg::kBinary, reg::kDword};
const std::string kLocations = kLocationsKeyPath;

void CheckFilter(std::string_view raw, const std::string& filtered) {
    std::size_t at = 0;
    for (char c : raw) {
        if (IsOutsideLineChar(c)) {
            FUZZ_CHECK(at < filtered.size() && filtered[at++] == c);
        }
    }
    FUZZ_CHECK(at == filtered.size());
}

void CheckDialCommand(const std::string& command, Behaviour behaviour, const std::string& prefix) {
    FUZZ_CHECK(std::count(command.begin(), command.end(), '\r') == 1 && command.back() == '\r');
    FUZZ_CHECK(std::count(command.begin(), command.end(), ';') == 1 && command.ends_with(";h\r"));
    FUZZ_CHECK(command.ends_with(behaviour == kCut ? "*43#,,;h\r" : "#43#,,;h\r"));
    const std::string dialling = prefix.empty() ? "x4d" : "x3d" + prefix;
    FUZZ_CHECK(command.find(dialling) != std::string::npos &&
               command.find(dialling) + dialling.size() == command.size() - 9);
    FUZZ_CHECK(command.size() <= 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned char setup = data[0];
    const Behaviour behaviour = (setup & 1) ? kStay : kCut;
    const int nSound = (setup >> 1) & 1;
    const bool bFromRegistry = (setup & 0x04) != 0;
    std::string raw(fuzz::AsText(data + 1, size - 1));
    if (setup & 0x20) {
        std::string once = raw;
        for (int i = 1; i < 8; ++i) {
            raw += once;
        }
    }

    const std::string filtered = FilterOutsideLine(raw);
    CheckFilter(raw, filtered);
    if (filtered.size() <= kMaxOutsideLineLength) {
        CheckDialCommand(BuildDialCommand(behaviour, nSound, filtered), behaviour, filtered);
    }

    // The current modem as the scan leaves it: connected, its port closed again.
    FakePlatform fake;
    fake.AddModemKey(0, "COM3", "ORVA 56k V.92");
    CFakeSerialPort& port = fake.AddModem(3);
    ModemInfo modem(fake.platform, 0);
    FUZZ_CHECK(modem.ConnectToModem());
    modem.GetSerialPort()->Close();
    const std::uint32_t nOkDelay = (setup & 0x40) ? 300 : 20;
    port.SetResponder([nOkDelay](const std::string& command) {
        return FakeReply{{0, command}, {nOkDelay, "\r\nOK\r\n"}};
    });
    port.ClearWrites();
    const int nOpens = port.GetOpenCount();

    CCallWaitingControl callWaiting(fake.platform, &modem);
    std::string expected;
    if (bFromRegistry) {
        fake.registry.SetDword(RegRoot::kLocalMachine, kLocations, "CurrentID", 1);
        fake.registry.SetRaw(RegRoot::kLocalMachine, kLocations + "\\Location1", "OutsideAccess",
                             kTypes[(setup >> 3) & 3],
                             std::vector<std::uint8_t>(raw.begin(), raw.end()));
        const std::string text = fuzz::FitsValueBuffer(raw) ? fuzz::TextUpToNul(raw) : "";
        // Bit 7: the Extra dialog was never opened; the call reads the location itself.
        FUZZ_CHECK((setup & 0x80) || callWaiting.GetOutsideAccess() == text);
        expected = FilterOutsideLine(text);
    } else {
        callWaiting.SetOutsideAccess(raw);
        // A text that fits the field is kept to its first NUL; a longer one keeps only what
        // could be dialled, so cutting it never changes the number.
        expected = raw.size() < 1024 ? FilterOutsideLine(fuzz::TextUpToNul(raw))
                                     : filtered.substr(0, 1023);
    }

    const int nResult = callWaiting.DialServiceCode(behaviour, nSound);
    const std::vector<std::string> writes = port.GetWrites();
    if (expected.size() > kMaxOutsideLineLength) {
        FUZZ_CHECK(nResult == kApplyProviderError);
        FUZZ_CHECK(writes.empty() && port.GetOpenCount() == nOpens);
    } else {
        FUZZ_CHECK(nResult == kApplyDone);
        FUZZ_CHECK(writes.size() == 1);
        FUZZ_CHECK(writes[0] == BuildDialCommand(behaviour, nSound, expected));
        CheckDialCommand(writes[0], behaviour, expected);
    }
    FUZZ_CHECK(!port.IsOpen());
    FUZZ_CHECK(fake.registry.GetOpenKeyCount() == 0);
    return 0;
}
