#include "modem/modem_keys.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "modem/modem_info.h"
#include "platform/registry.h"

namespace {

// Room for the longest key name (255 characters) and its NUL. A longer name, which no
// Windows key has, does not fit and is passed over like any other name that is not a modem's.
constexpr std::uint32_t kNameBufferSize = 256;
// The class key holds the modems and a few keys of the driver ("Properties"); a key with more
// subkeys than this is not listed to its end, and every number is tried instead.
constexpr std::uint32_t kMaxListedSubkeys = 4096;

// The subkey number that a name stands for, or -1 when it is not the name of a modem subkey.
int ModemKeyNumber(const char* name, std::uint32_t length) {
    if (length != 4) {
        return -1;
    }
    int number = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return -1;
        }
        number = number * 10 + (name[i] - '0');
    }
    return number < kMaxModemKeys ? number : -1;
}

// Marks the numbers of the layout's modem subkeys; false when they cannot all be listed.
bool MarkListedKeys(IRegistry& registry, RegKey key, std::array<bool, kMaxModemKeys>* pFound) {
    for (std::uint32_t index = 0; index < kMaxListedSubkeys; ++index) {
        char name[kNameBufferSize] = {};
        std::uint32_t length = kNameBufferSize;
        const long result = registry.EnumKey(key, index, name, &length);
        if (result == reg::kNoMoreItems) {
            return true;
        }
        if (result == reg::kMoreData) {
            continue;  // longer than four characters: not a modem subkey
        }
        if (result != reg::kSuccess) {
            return false;
        }
        const int number = ModemKeyNumber(name, length);
        if (number >= 0) {
            (*pFound)[number] = true;
        }
    }
    return false;
}

}  // namespace

std::vector<int> ListModemKeys(IRegistry& registry, bool bLegacy) {
    // The base path without its closing backslash: the key whose subkeys are listed.
    std::string base = bLegacy ? kModemLegacyKeyPath : kModemClassKeyPath;
    base.pop_back();
    std::array<bool, kMaxModemKeys> found{};
    CRegKey key(registry);
    const long result = key.Open(RegRoot::kLocalMachine, base.c_str(), reg::kEnumerateSubKeys);
    if (result == reg::kFileNotFound) {
        return {};
    }
    if (result != reg::kSuccess || !MarkListedKeys(registry, key.Get(), &found)) {
        found.fill(true);
    }
    std::vector<int> numbers;
    for (int i = 0; i < kMaxModemKeys; ++i) {
        if (found[i]) {
            numbers.push_back(i);
        }
    }
    return numbers;
}

std::vector<int> ListModemKeysOfBothLayouts(IRegistry& registry) {
    std::vector<int> numbers = ListModemKeys(registry, false);
    const std::vector<int> legacy = ListModemKeys(registry, true);
    numbers.insert(numbers.end(), legacy.begin(), legacy.end());
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}
