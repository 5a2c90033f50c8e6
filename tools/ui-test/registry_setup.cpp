// Values the modes put into the test's own Wine prefix before a dialog opens.

#include "uitest.h"

namespace uitest {

bool SetString(HKEY hRoot, const char* pszKey, const char* pszName, const std::string& value) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(hRoot, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG nError =
        RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(hKey);
    return nError == ERROR_SUCCESS;
}

bool SetDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD nValue) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(hRoot, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG nError = RegSetValueExA(hKey, pszName, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&nValue), sizeof nValue);
    RegCloseKey(hKey);
    return nError == ERROR_SUCCESS;
}

void DeleteValue(HKEY hRoot, const char* pszKey, const char* pszName) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, pszName);
        RegCloseKey(hKey);
    }
}

std::string ReadCallOutValue() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &hKey) !=
        ERROR_SUCCESS) {
        return "none";
    }
    DWORD nValue = 0;
    DWORD nSize = sizeof nValue;
    DWORD nType = 0;
    const LONG nError = RegQueryValueExA(hKey, "CallOut", nullptr, &nType,
                                         reinterpret_cast<BYTE*>(&nValue), &nSize);
    RegCloseKey(hKey);
    return nError == ERROR_SUCCESS ? std::to_string(nValue) : std::string("none");
}

}  // namespace uitest
