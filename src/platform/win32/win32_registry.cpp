#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/wide_text.h"

namespace {

// A RegKey carries the HKEY's bits unchanged; uintptr_t is as wide as a pointer on both builds.
HKEY ToHkey(RegKey key) {
    return reinterpret_cast<HKEY>(key);
}
RegKey FromHkey(HKEY key) {
    return reinterpret_cast<RegKey>(key);
}

HKEY RootKey(RegRoot root) {
    switch (root) {
        case RegRoot::kLocalMachine:
            return HKEY_LOCAL_MACHINE;
        case RegRoot::kCurrentUser:
            return HKEY_CURRENT_USER;
        case RegRoot::kClassesRoot:
            return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}

static_assert(sizeof(RegKey) == sizeof(HKEY), "a RegKey must hold an HKEY");

}  // namespace

long CWin32Registry::OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) {
    HKEY hKey = nullptr;
    LONG result = ::RegOpenKeyExA(RootKey(root), path, 0, access, &hKey);
    *key = result == ERROR_SUCCESS ? FromHkey(hKey) : 0;
    return result;
}

long CWin32Registry::CreateKey(RegRoot root, const char* path, RegKey* key) {
    HKEY hKey = nullptr;
    LONG result = ::RegCreateKeyExA(RootKey(root), path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
    *key = result == ERROR_SUCCESS ? FromHkey(hKey) : 0;
    return result;
}

long CWin32Registry::QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) {
    DWORD cb = *size;
    if (data == nullptr || cb == 0) {
        LONG result =
            ::RegQueryValueExA(ToHkey(key), name, nullptr, nullptr, static_cast<BYTE*>(data), &cb);
        *size = cb;
        return result;
    }
    // Windows leaves the caller's buffer undefined when the value does not fit; reading into a
    // scratch buffer keeps it untouched then, so a value too long never leaves a cut-off text.
    std::vector<BYTE> scratch(cb);
    LONG result = ::RegQueryValueExA(ToHkey(key), name, nullptr, nullptr, scratch.data(), &cb);
    if (result == ERROR_SUCCESS) {
        std::memcpy(data, scratch.data(), cb);
    }
    *size = cb;
    return result;
}

long CWin32Registry::SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                              std::uint32_t size) {
    return ::RegSetValueExA(ToHkey(key), name, 0, type, static_cast<const BYTE*>(data), size);
}

long CWin32Registry::SetTextValue(RegKey key, const char* name, const std::string& utf8) {
    const std::wstring wideName = Utf8ToWide(name != nullptr ? name : "");
    const std::wstring text = Utf8ToWide(utf8);
    return ::RegSetValueExW(ToHkey(key), name != nullptr ? wideName.c_str() : nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

long CWin32Registry::DeleteValue(RegKey key, const char* name) {
    return ::RegDeleteValueA(ToHkey(key), name);
}

long CWin32Registry::QueryDefault(RegKey key, const char* subKey, char* buf, long* size) {
    LONG cb = *size;
    LONG result = ::RegQueryValueA(ToHkey(key), subKey, buf, &cb);
    *size = cb;
    return result;
}

long CWin32Registry::EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) {
    // Read into a scratch buffer large enough for any key name (255 characters, which may take
    // two bytes each in a multi-byte code page), so that a name too long for the caller leaves
    // the caller's buffer as it was instead of holding a cut-off name.
    if (size == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    char scratch[2 * 255 + 1];
    DWORD cch = sizeof(scratch);
    LONG result =
        ::RegEnumKeyExA(ToHkey(key), index, scratch, &cch, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    if (name == nullptr || cch >= *size) {
        return ERROR_MORE_DATA;
    }
    std::memcpy(name, scratch, cch);
    name[cch] = '\0';
    *size = cch;
    return ERROR_SUCCESS;
}

long CWin32Registry::CloseKey(RegKey key) {
    return ::RegCloseKey(ToHkey(key));
}
