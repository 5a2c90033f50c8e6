// CMemoryRegistry: an in-memory registry that behaves like the Win32 calls behind IRegistry,
// with set-up and inspection helpers for tests and faults that can be switched on per key.
//
// Key paths are compared without regard to case and a trailing backslash is ignored, as the
// Windows registry does; key and value names keep the case they were first given. The set-up
// and inspection helpers bypass faults and are not counted as calls.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace reg {
// Further Win32 results that only the in-memory registry produces.
constexpr long kInvalidParameter = 87;
constexpr long kBadPathname = 161;
constexpr long kKeyDeleted = 1018;
}  // namespace reg

// A value as it is stored: its type and its raw bytes.
struct RegStoredValue {
    std::uint32_t type = reg::kSz;
    std::vector<std::uint8_t> bytes;

    bool operator==(const RegStoredValue&) const = default;
};

// One OpenKey or CreateKey call as it was made.
struct RegOpenRecord {
    enum class Kind { kOpen, kCreate };
    Kind kind;
    RegRoot root;
    std::string path;  // as passed by the caller
    std::uint32_t access;
    long result;
};

class CMemoryRegistry : public IRegistry {
public:
    CMemoryRegistry();
    ~CMemoryRegistry() override;
    CMemoryRegistry(const CMemoryRegistry&) = delete;
    CMemoryRegistry& operator=(const CMemoryRegistry&) = delete;

    // IRegistry
    long OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) override;
    long CreateKey(RegRoot root, const char* path, RegKey* key) override;
    long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) override;
    long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                  std::uint32_t size) override;
    // Stores the UTF-8 bytes with their NUL as REG_SZ and remembers that the wide call wrote
    // them (IsWrittenWide).
    long SetTextValue(RegKey key, const char* name, const std::string& utf8) override;
    long DeleteValue(RegKey key, const char* name) override;
    long QueryDefault(RegKey key, const char* subKey, char* buf, long* size) override;
    // Subkeys are listed in the order of their names, ignoring case.
    long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) override;
    long CloseKey(RegKey key) override;

    // Set-up. Keys are created with their parents as needed. A null or empty value name
    // stands for the key's default value.
    void AddKey(RegRoot root, const std::string& path);
    // REG_SZ; with withNul the stored bytes include the terminating NUL, as most writers do.
    void SetString(RegRoot root, const std::string& path, const std::string& name,
                   const std::string& text, bool withNul = true);
    void SetDword(RegRoot root, const std::string& path, const std::string& name,
                  std::uint32_t value);
    void SetRaw(RegRoot root, const std::string& path, const std::string& name, std::uint32_t type,
                const std::vector<std::uint8_t>& bytes);
    // Removes the key with everything below it; keys still open on it see kKeyDeleted.
    void DeleteKey(RegRoot root, const std::string& path);
    void DeleteValue(RegRoot root, const std::string& path, const std::string& name);

    // Inspection.
    bool HasKey(RegRoot root, const std::string& path) const;
    std::optional<RegStoredValue> GetValue(RegRoot root, const std::string& path,
                                           const std::string& name) const;
    // The stored bytes up to the first NUL, whatever the type; nullopt when absent.
    std::optional<std::string> GetString(RegRoot root, const std::string& path,
                                         const std::string& name) const;
    // Whether the value's latest write came through SetTextValue, not SetValue.
    bool IsWrittenWide(RegRoot root, const std::string& path, const std::string& name) const;
    // Names of the values of a key, in no particular order (empty when the key is absent).
    std::vector<std::string> GetValueNames(RegRoot root, const std::string& path) const;

    // Faults, attached to the key path (they stay when the key is deleted and created again).
    // The key opens only with read rights (KEY_QUERY_VALUE, KEY_ENUMERATE_SUB_KEYS); any other
    // access, CreateKey included, is denied.
    void DenyWrite(RegRoot root, const std::string& path);
    // The key does not open at all, neither by OpenKey nor by CreateKey.
    void DenyOpen(RegRoot root, const std::string& path);
    // SetValue of this value name on this key fails with kWriteFault and changes nothing.
    void FailSetValue(RegRoot root, const std::string& path, const std::string& name);
    // EnumKey on this key fails with kAccessDenied, whatever the index.
    void FailEnumKey(RegRoot root, const std::string& path);
    void ClearFaults();
    // Behaves as for a standard user on Windows Vista and later: below HKEY_LOCAL_MACHINE a
    // key opens only with read rights, and CreateKey there is denied.
    void SetStandardUser(bool bOn);

    // Counters: keys open right now, and every IRegistry call made so far.
    int GetOpenKeyCount() const;
    int GetCallCount() const;
    // Every OpenKey and CreateKey call, in order.
    std::vector<RegOpenRecord> GetOpenLog() const;

private:
    struct Node;
    struct Handle {
        std::shared_ptr<Node> node;
        std::uint32_t access;
    };

    static std::string Normalise(RegRoot root, std::string_view path);
    // The parts are views into path.
    static bool SplitPath(std::string_view path, std::vector<std::string_view>* parts);
    std::shared_ptr<Node> Find(RegRoot root, std::string_view path) const;
    std::shared_ptr<Node> FindOrCreate(RegRoot root, std::string_view path);
    const Handle* Lookup(RegKey key) const;
    // Finds an open, undeleted key that was opened with every access bit in needed.
    long CheckHandle(RegKey key, std::uint32_t needed, const Handle** handle) const;
    RegKey NewHandle(std::shared_ptr<Node> node, std::uint32_t access);
    void Log(RegOpenRecord::Kind kind, RegRoot root, const char* path, std::uint32_t access,
             long result);

    mutable std::mutex m_mutex;
    std::map<RegRoot, std::shared_ptr<Node>> m_roots;
    std::map<RegKey, Handle> m_handles;
    RegKey m_nextHandle = 0x1000;
    int m_nCalls = 0;
    std::vector<RegOpenRecord> m_openLog;
    std::set<std::string> m_denyWrite;
    std::set<std::string> m_denyOpen;
    std::set<std::pair<std::string, std::string>> m_failSetValue;
    std::set<std::pair<std::string, std::string>> m_wideValues;
    std::set<std::string> m_failEnumKey;
    bool m_bStandardUser = false;
};
