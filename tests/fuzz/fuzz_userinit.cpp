// The "UserInit" rewrite and the mode read back from it, on any value an installer or a user
// may have left. The first input byte chooses the mode (0, 1 or 2: byte % 3), the layout of
// the modem's key (bits 2-3: class-GUID, legacy, both with another value in the legacy one),
// whether the value exists (bit 4) and its type (bits 5-6); the rest are the value's bytes.
//
// Properties: the new value starts with "+PCW=N;", keeps every character of the old one, in
// order, outside the first setting ("+PCW", its '=', digits and ';', no more) that it removes
// and an "AT" that the rest then begins with, is never longer than the record can read back,
// lands in the subkey the record reads, and setting it twice changes nothing (but a second
// leading "AT"). A value that is too long to read, or whose rewrite would be, stays as it
// was. GetMode afterwards returns N, unless the kept rest of the old value still holds a
// setting that GetMode looks for before N ("+PCW=0" before 1 and 2, "+PCW=1" before 2): its
// searches go by mode, not by position.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "modem/call_waiting_control.h"
#include "unit/core/modem_test_support.h"

namespace {

constexpr std::uint32_t kTypes[] = {reg::kSz, 2 /* REG_EXPAND_SZ */, reg::kBinary, reg::kDword};

// The old value with the first "+PCW" setting taken out: "+PCW", an '=', the digits and a ';'
// each where they follow, nothing else.
std::string WithoutFirstSetting(const std::string& old) {
    const std::size_t begin = old.find("+PCW");
    if (begin == std::string::npos) {
        return old;
    }
    std::string_view after = std::string_view(old).substr(begin + 4);
    after.remove_prefix(after.starts_with('=') ? 1 : 0);
    after.remove_prefix(std::min(after.find_first_not_of("0123456789"), after.size()));
    after.remove_prefix(after.starts_with(';') ? 1 : 0);
    return old.substr(0, begin) + std::string(after);
}

std::string WithoutLeadingAt(const std::string& text) {
    return text.starts_with("AT") ? text.substr(2) : text;
}

// What stays of the old value behind the new setting.
std::string KeptRest(const std::string& old) {
    return WithoutLeadingAt(WithoutFirstSetting(old));
}

int ExpectedMode(const std::string& rest, int nMode) {
    for (int m = 0; m < nMode; ++m) {
        if (rest.find("+PCW=" + std::to_string(m)) != std::string::npos) {
            return m;
        }
    }
    return nMode;
}

std::optional<RegStoredValue> Stored(FakePlatform& fake, bool bLegacy) {
    return fake.registry.GetValue(RegRoot::kLocalMachine, BuildModemKeyPath(0, bLegacy),
                                  "UserInit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned char setup = data[0];
    const int nMode = setup % 3;
    const int nLayout = (setup >> 2) & 3;  // 0 class-GUID, 1 legacy, 2 and 3 both
    const std::string_view bytes = fuzz::AsText(data + 1, size - 1);

    FakePlatform fake;
    for (int layout = 0; layout < 2; ++layout) {
        if (nLayout >= 2 || nLayout == layout) {
            fake.AddModemKey(0, "COM3", "ORVA 56k V.92", nullptr, layout == 1);
        }
    }
    const bool bLegacy = nLayout == 1;
    if (setup & 0x10) {
        fake.registry.SetRaw(RegRoot::kLocalMachine, BuildModemKeyPath(0, bLegacy), "UserInit",
                             kTypes[(setup >> 5) & 3],
                             std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    if (nLayout >= 2) {
        fake.registry.SetString(RegRoot::kLocalMachine, BuildModemKeyPath(0, true), "UserInit",
                                "+PCW=0;LEGACY");
    }
    const std::optional<RegStoredValue> before = Stored(fake, bLegacy);
    const std::optional<RegStoredValue> otherBefore = Stored(fake, !bLegacy);

    ModemInfo modem(fake.platform, 0);
    CCallWaitingControl callWaiting(fake.platform, &modem);
    const int nModeBefore = callWaiting.GetMode();
    const std::string old = modem.ReadUserInit();
    const bool bTooLongToRead = modem.GetUserInitStatus() == UserInitStatus::kTooLong;

    const std::string built = BuildUserInit(old, nMode);
    const std::string prefix = "+PCW=" + std::to_string(nMode) + ";";
    FUZZ_CHECK(built.compare(0, prefix.size(), prefix) == 0);
    FUZZ_CHECK(built.substr(prefix.size()) == KeptRest(old));

    const int nResult = callWaiting.WriteUserInit(static_cast<Behaviour>(nMode));
    const std::optional<RegStoredValue> after = Stored(fake, bLegacy);
    FUZZ_CHECK(Stored(fake, !bLegacy) == otherBefore);
    if (bTooLongToRead || built.size() > kMaxUserInitLength) {
        // Nothing may be cut or lost: the value stays as it is.
        FUZZ_CHECK(nResult == kApplyRegistryError);
        FUZZ_CHECK(after == before);
        FUZZ_CHECK(callWaiting.GetMode() == nModeBefore);
    } else {
        FUZZ_CHECK(nResult == kApplyDone);
        // The text, with or without its NUL, within what the record reads back.
        FUZZ_CHECK(after.has_value() && after->type == reg::kSz);
        const std::string stored(after->bytes.begin(), after->bytes.end());
        FUZZ_CHECK(stored == built || stored == built + '\0');
        FUZZ_CHECK(built.size() <= kMaxUserInitLength && fuzz::FitsValueBuffer(stored));
        FUZZ_CHECK(modem.GetUserInit() == built);
        FUZZ_CHECK(modem.ReadUserInit() == built);
        FUZZ_CHECK(callWaiting.GetMode() == ExpectedMode(KeptRest(old), nMode));
        // Setting the same mode again changes nothing, but where the rest began with "AT"
        // twice: the second is now the leading one, and goes too.
        const std::string again = prefix + WithoutLeadingAt(built.substr(prefix.size()));
        FUZZ_CHECK(callWaiting.WriteUserInit(static_cast<Behaviour>(nMode)) == kApplyDone);
        FUZZ_CHECK(modem.ReadUserInit() == again);
        FUZZ_CHECK(again != built || Stored(fake, bLegacy) == after);
    }
    FUZZ_CHECK(fake.registry.GetOpenKeyCount() == 0);
    FUZZ_CHECK(fake.log.GetLines().empty());
    return 0;
}
