#include "settings/settings_store.h"

#include <cstring>

namespace {

const char* const kRunValue = "Run";
const char* const kPathValue = "Path_exe";
const char* const kSoundValue = "Sound";
const char* const kCallOutValue = "CallOut";

// Reads a 32-bit setting whose default is 1. The stored bytes (one to four of them) replace
// the low-order bytes of the default, whatever type the value has. False when the value is
// missing or longer than four bytes.
bool QuerySetting(IRegistry& registry, RegKey key, const char* name, std::uint32_t* value) {
    std::uint8_t bytes[4] = {1, 0, 0, 0};
    std::uint32_t size = sizeof(bytes);
    if (registry.QueryValue(key, name, bytes, &size) != reg::kSuccess) {
        return false;
    }
    *value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
             static_cast<std::uint32_t>(bytes[2]) << 16 |
             static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

}  // namespace

RegKey CSettingsStore::CreateSettingsKey() {
    IRegistry& registry = *m_platform.registry;
    RegKey key = 0;
    if (registry.CreateKey(RegRoot::kCurrentUser, kSettingsKeyPath, &key) != reg::kSuccess) {
        return 0;
    }
    // Whole and through the wide-character API, as the autorun value: a path the ANSI code
    // page cannot write would be stored as one that does not exist.
    registry.SetTextValue(key, kPathValue,
                          m_platform.module != nullptr ? m_platform.module->GetFilePath() : "");
    return key;
}

bool CSettingsStore::IsFirstRun() {
    IRegistry& registry = *m_platform.registry;
    RegKey key = 0;
    if (registry.OpenKey(RegRoot::kCurrentUser, kSettingsKeyPath, reg::kAllAccess, &key) !=
        reg::kSuccess) {
        // A new key: the marker goes in without its NUL.
        key = CreateSettingsKey();
        if (key != 0) {
            const char marker[] = "0";
            registry.SetValue(key, kRunValue, reg::kSz, marker,
                              static_cast<std::uint32_t>(std::strlen(marker)));
            registry.CloseKey(key);
        }
        return true;
    }
    // Room for two bytes only: anything longer than "0" and its NUL fails to read and so
    // counts as a first run.
    char marker[255] = {};
    std::uint32_t size = 2;
    if (registry.QueryValue(key, kRunValue, marker, &size) == reg::kSuccess &&
        std::strcmp(marker, "0") == 0) {
        registry.CloseKey(key);
        return false;
    }
    registry.SetValue(key, kRunValue, reg::kSz, "0", 2);
    registry.CloseKey(key);
    return true;
}

std::uint32_t CSettingsStore::ReadSound() {
    return ReadSetting(kSoundValue);
}

void CSettingsStore::WriteSound(std::uint32_t value) {
    WriteSetting(kSoundValue, value);
}

std::uint32_t CSettingsStore::ReadCallOut() {
    return ReadSetting(kCallOutValue);
}

void CSettingsStore::WriteCallOut(std::uint32_t value) {
    WriteSetting(kCallOutValue, value);
}

std::uint32_t CSettingsStore::ReadSetting(const char* name) {
    IRegistry& registry = *m_platform.registry;
    RegKey key = 0;
    if (registry.OpenKey(RegRoot::kCurrentUser, kSettingsKeyPath, reg::kAllAccess, &key) !=
        reg::kSuccess) {
        return 1;
    }
    std::uint32_t value = 1;
    const bool read = QuerySetting(registry, key, name, &value);
    registry.CloseKey(key);
    if (!read) {
        // Missing or unreadable: put the default in its place.
        WriteSetting(name, 1);
        return 1;
    }
    return value;
}

void CSettingsStore::WriteSetting(const char* name, std::uint32_t value) {
    IRegistry& registry = *m_platform.registry;
    RegKey key = 0;
    if (registry.OpenKey(RegRoot::kCurrentUser, kSettingsKeyPath, reg::kAllAccess, &key) !=
        reg::kSuccess) {
        key = CreateSettingsKey();
        if (key == 0) {
            return;
        }
    }
    // REG_DWORD is little-endian whatever the host is.
    const std::uint8_t bytes[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    registry.SetValue(key, name, reg::kDword, bytes, sizeof(bytes));
    registry.CloseKey(key);
}
