// The registry operations the tool needs, shaped after the Win32 calls they
// stand for, so that the logic above reads like the Win32 code it replaces and
// can run against an in-memory registry in tests.
#pragma once

#include <cstdint>
#include <string>

enum class RegRoot { kLocalMachine, kCurrentUser, kClassesRoot };

// An open key; 0 is "no key".
using RegKey = std::uintptr_t;

namespace reg {
// Win32 result codes (LONG from the Reg* functions).
constexpr long kSuccess = 0;
constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kInvalidHandle = 6;
constexpr long kWriteFault = 29;
constexpr long kMoreData = 234;
constexpr long kNoMoreItems = 259;

// Access masks (REGSAM).
constexpr std::uint32_t kQueryValue = 0x0001;
constexpr std::uint32_t kSetValue = 0x0002;
constexpr std::uint32_t kEnumerateSubKeys = 0x0008;
constexpr std::uint32_t kAllAccess = 0xF003F;
// KEY_WOW64_64KEY: the 64-bit view of the registry for a 32-bit program on 64-bit Windows.
constexpr std::uint32_t kWow64_64Key = 0x0100;

// Value types.
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = 4;
}  // namespace reg

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // RegOpenKeyExA: opens an existing key.
    virtual long OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) = 0;
    // RegCreateKeyExA with KEY_ALL_ACCESS, non-volatile: opens or creates the key and its parents.
    virtual long CreateKey(RegRoot root, const char* path, RegKey* key) = 0;
    // RegQueryValueExA without asking for the type. On entry *size is the capacity of data;
    // on success it holds the number of bytes stored. A value larger than the capacity fails
    // with kMoreData and leaves data untouched. data may be null to ask for the size only.
    virtual long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) = 0;
    // RegSetValueExA.
    virtual long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                          std::uint32_t size) = 0;
    // RegSetValueExW: the UTF-8 text as REG_SZ, with its NUL, in the UTF-16 that Windows
    // keeps; for texts the ANSI code page may not be able to write (paths).
    virtual long SetTextValue(RegKey key, const char* name, const std::string& utf8) = 0;
    // RegDeleteValueA.
    virtual long DeleteValue(RegKey key, const char* name) = 0;
    // RegQueryValueA: the default (unnamed) value of subKey below key (subKey may be null or
    // empty for the key itself). *size is the capacity in bytes, the text is zero-terminated.
    virtual long QueryDefault(RegKey key, const char* subKey, char* buf, long* size) = 0;
    // RegEnumKeyExA: the name of subkey number index of key, which must be open with
    // kEnumerateSubKeys. On entry *size is the capacity of name in characters, its NUL
    // included; on success it holds the name's length without the NUL. A name that does not
    // fit fails with kMoreData and leaves name untouched; an index past the last subkey fails
    // with kNoMoreItems.
    virtual long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) = 0;
    // RegCloseKey.
    virtual long CloseKey(RegKey key) = 0;
};

// Reads a value as text into buf, which has room for capacity bytes. The value's type is
// ignored; the caller zero-fills buf beforehand when it wants a terminated text.
long RegQueryText(IRegistry& registry, RegKey key, const char* name, char* buf,
                  std::uint32_t capacity);

// Reads a value of at most four bytes into *value (its low-order bytes when shorter).
long RegQueryDword(IRegistry& registry, RegKey key, const char* name, std::uint32_t* value);

// Closes the key it holds when it goes out of scope, on every path.
class CRegKey {
public:
    explicit CRegKey(IRegistry& registry) : m_registry(registry) {}
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    long Open(RegRoot root, const char* path, std::uint32_t access) {
        Close();
        return m_registry.OpenKey(root, path, access, &m_hKey);
    }
    long Create(RegRoot root, const char* path) {
        Close();
        return m_registry.CreateKey(root, path, &m_hKey);
    }
    void Close() {
        if (m_hKey != 0) {
            m_registry.CloseKey(m_hKey);
            m_hKey = 0;
        }
    }
    RegKey Get() const { return m_hKey; }
    bool IsOpen() const { return m_hKey != 0; }

private:
    IRegistry& m_registry;
    RegKey m_hKey = 0;
};
