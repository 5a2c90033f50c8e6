// The tool's own per-user settings under HKEY_CURRENT_USER "Software\ORVA\Mavris\".
// Every operation opens the key, does one thing and closes it again; failures end in
// defaults and are never reported.
#pragma once

#include <cstdint>

#include "platform/registry.h"
#include "platform/services.h"

inline constexpr const char* kSettingsKeyPath = "Software\\ORVA\\Mavris\\";

class CSettingsStore {
public:
    explicit CSettingsStore(const Platform& platform) : m_platform(platform) {}

    // Creates or opens the key and writes "Path_exe"; the caller writes into the returned key
    // and closes it (0 when even the creation failed).
    RegKey CreateSettingsKey();
    // True when this start counts as a user's first run; leaves "Run" = "0" behind.
    bool IsFirstRun();
    std::uint32_t ReadSound();
    void WriteSound(std::uint32_t value);
    std::uint32_t ReadCallOut();
    void WriteCallOut(std::uint32_t value);

private:
    std::uint32_t ReadSetting(const char* name);
    void WriteSetting(const char* name, std::uint32_t value);

    Platform m_platform;
};
