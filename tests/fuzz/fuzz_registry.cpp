// The modem records built from a registry whose values are the fuzzer's bytes: any type, any
// length (around the 255-byte limit too), with or without NUL, "AttachedTo" of any shape, in
// either layout or both. The input is a list of entries: a kind byte, a length byte and that
// many bytes. Kind bits 0-1: "AttachedTo", "Model", "UserInit", or "go on to the next subkey"
// (1 + length % 3 numbers further, so gaps happen); bits 2-3: REG_SZ, REG_EXPAND_SZ,
// REG_BINARY, REG_DWORD; bit 4: legacy layout; bit 5: both layouts; bit 6: the bytes repeated
// to 250 + length % 10 bytes. What is left after the last whole entry is the model that the
// modem reports to FindKeyByModel.
//
// Every record, the list that the walk builds and the subkey look-up are checked against what
// the registry holds: port, layout, name, "UserInit", the duplicates, and the subkeys behind
// a gap, which the walk and the look-up must reach too.
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "modem/modem_list.h"
#include "unit/core/modem_test_support.h"

namespace {

const char* const kValueNames[] = {"AttachedTo", "Model", "UserInit"};
constexpr std::uint32_t kTypes[] = {reg::kSz, 2 /* REG_EXPAND_SZ */, reg::kBinary, reg::kDword};

// What one subkey holds in one layout.
struct KeyContent {
    bool bExists = false;
    std::map<std::string, std::string> values;  // raw bytes
};
// Per subkey number: the class-GUID layout and the legacy layout.
using RegistryModel = std::map<int, std::array<KeyContent, 2>>;

// The text the tool reads from a value: nothing when absent or too large.
std::optional<std::string> ReadText(const KeyContent& key, const char* name) {
    auto it = key.values.find(name);
    if (it == key.values.end() || !fuzz::FitsValueBuffer(it->second)) {
        return std::nullopt;
    }
    return fuzz::TextUpToNul(it->second);
}

// "AttachedTo": the number after the first three characters, as strtoll reads it; 0 when there
// is none, when it does not fit an int, and for -1.
int ExpectedPort(const KeyContent& key) {
    const std::optional<std::string> text = ReadText(key, "AttachedTo");
    if (!text || text->size() < 4) {
        return 0;
    }
    const char* begin = text->c_str() + 3;
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || number > INT_MAX || number < -INT_MAX || number == -1) {
        return 0;
    }
    return static_cast<int>(number);
}

std::string ExpectedUserInit(const KeyContent& key) {
    std::string normalised;
    for (char c : ReadText(key, "UserInit").value_or("")) {
        if (c != ' ') {
            normalised += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        }
    }
    return normalised;
}

// The layout a record of subkey n is read from: the class-GUID one first; -1 for none.
int ExpectedLayout(const RegistryModel& model, int n) {
    auto it = model.find(n);
    if (it == model.end()) {
        return -1;
    }
    return it->second[0].bExists ? 0 : it->second[1].bExists ? 1 : -1;
}

std::string BuildRegistry(std::string_view input, CMemoryRegistry& registry, RegistryModel& model) {
    int nKey = 0;
    std::size_t at = 0;
    while (at + 2 <= input.size()) {
        const unsigned char kind = static_cast<unsigned char>(input[at]);
        const std::size_t length = static_cast<unsigned char>(input[at + 1]);
        if (at + 2 + length > input.size()) {
            break;
        }
        std::string bytes(input.substr(at + 2, length));
        at += 2 + length;
        if (kind & 0x40) {
            const std::string unit = bytes.empty() ? "x" : bytes;
            while (bytes.size() < 250 + length % 10) {
                bytes += unit;
            }
            bytes.resize(250 + length % 10);
        }
        if ((kind & 3) == 3) {
            nKey += 1 + static_cast<int>(length % 3);
        }
        for (int layout = 0; layout < 2; ++layout) {
            if (!(kind & 0x20) && layout != ((kind >> 4) & 1)) {
                continue;
            }
            const std::string path = BuildModemKeyPath(nKey, layout == 1);
            KeyContent& key = model[nKey][layout];
            key.bExists = true;
            if ((kind & 3) == 3) {
                registry.AddKey(RegRoot::kLocalMachine, path);
            } else {
                const char* name = kValueNames[kind & 3];
                key.values[name] = bytes;
                registry.SetRaw(RegRoot::kLocalMachine, path, name, kTypes[(kind >> 2) & 3],
                                std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
            }
        }
    }
    return std::string(input.substr(std::min(at + 2, input.size())));
}

void CheckRecord(const ModemInfo& info, const RegistryModel& model, int n) {
    const int nLayout = ExpectedLayout(model, n);
    FUZZ_CHECK(info.GetKeyIndex() == n);
    if (nLayout < 0) {
        FUZZ_CHECK(info.GetComPort() == -1 && info.GetName() == "unknown");
        FUZZ_CHECK(info.GetUserInit().empty());
        return;
    }
    const KeyContent& key = model.at(n)[nLayout];
    FUZZ_CHECK(info.IsLegacyKey() == (nLayout == 1));
    FUZZ_CHECK(info.GetComPort() == ExpectedPort(key));
    FUZZ_CHECK(info.GetName() == ReadText(key, "Model").value_or("unknown"));
    FUZZ_CHECK(info.GetUserInit() == ExpectedUserInit(key));
    const bool bTooLong =
        key.values.count("UserInit") != 0 && !fuzz::FitsValueBuffer(key.values.at("UserInit"));
    FUZZ_CHECK((info.GetUserInitStatus() == UserInitStatus::kTooLong) == bTooLong);
}

// FindKeyByModel: the first subkey on the record's port, in its layout and past any gap,
// whose "Model" without blanks lies inside the reported model without blanks.
int ExpectedKeyByModel(const RegistryModel& model, const ModemInfo& info,
                       const std::string& reported) {
    const int nLayout = info.IsLegacyKey() ? 1 : 0;
    for (const auto& [i, layouts] : model) {
        const KeyContent& key = layouts[nLayout];
        if (i >= kMaxModemKeys || !key.bExists) {
            continue;
        }
        const std::optional<std::string> installed = ReadText(key, "Model");
        if (ExpectedPort(key) == info.GetComPort() && installed &&
            StripSpaces(reported).find(StripSpaces(*installed)) != std::string::npos) {
            return i;
        }
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakePlatform fake;
    RegistryModel model;
    const std::string reported = BuildRegistry(fuzz::AsText(data, size), fake.registry, model);

    // The walk: every subkey that exists, past any gap, ports above 0, the lowest subkey of
    // each port.
    std::vector<std::pair<int, int>> expected;  // subkey, port
    for (int n = 0; n < kMaxModemKeys; ++n) {
        if (ExpectedLayout(model, n) < 0) {
            continue;
        }
        const int nPort = ExpectedPort(model.at(n)[ExpectedLayout(model, n)]);
        bool bTaken = false;
        for (const auto& [nKey, nTaken] : expected) {
            bTaken = bTaken || nTaken == nPort;
        }
        if (nPort > 0 && !bTaken) {
            expected.emplace_back(n, nPort);
        }
    }
    CModemList list(fake.platform);
    list.LoadRegEntries();
    FUZZ_CHECK(list.GetCount() == static_cast<int>(expected.size()));
    std::vector<bool> bListed(kMaxModemKeys, false);
    for (int i = 0; i < list.GetCount(); ++i) {
        ModemInfo& info = *list.GetAt(i);
        FUZZ_CHECK(info.GetKeyIndex() == expected[i].first);
        bListed[expected[i].first] = true;
        CheckRecord(info, model, expected[i].first);
        const std::string userInit = info.GetUserInit();
        FUZZ_CHECK(info.ReadUserInit() == userInit);
        // The look-up walks every subkey; on the first records and the last one it already
        // meets every shape, without a cost that grows with the square of the subkeys.
        if (i >= 3 && i != list.GetCount() - 1) {
            continue;
        }
        const int nMatch = ExpectedKeyByModel(model, info, reported);
        FUZZ_CHECK(info.FindKeyByModel(reported) == (nMatch >= 0));
        FUZZ_CHECK(info.GetKeyIndex() == (nMatch >= 0 ? nMatch : expected[i].first));
    }

    // Every record that the walk dropped or never reached, one past the last subkey included.
    const int nLast = model.empty() ? 0 : std::min(model.rbegin()->first + 1, kMaxModemKeys - 1);
    for (int n = 0; n <= nLast; ++n) {
        if (!bListed[n]) {
            ModemInfo info(fake.platform, n);
            CheckRecord(info, model, n);
        }
    }

    FUZZ_CHECK(fake.registry.GetOpenKeyCount() == 0);
    FUZZ_CHECK(fake.log.GetLines().empty());
    // With subkeys up to 254 in place, nothing looks any further.
    if (model.count(kMaxModemKeys - 1) != 0) {
        for (const RegOpenRecord& open : fake.registry.GetOpenLog()) {
            FUZZ_CHECK(std::atoi(open.path.c_str() + open.path.rfind('\\') + 1) < kMaxModemKeys);
        }
    }
    return 0;
}
