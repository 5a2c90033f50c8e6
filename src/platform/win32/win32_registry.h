// CWin32Registry: IRegistry on the real Win32 registry functions.
#pragma once

#include "platform/registry.h"

class CWin32Registry : public IRegistry {
public:
    long OpenKey(RegRoot root, const char* path, std::uint32_t access, RegKey* key) override;
    long CreateKey(RegRoot root, const char* path, RegKey* key) override;
    long QueryValue(RegKey key, const char* name, void* data, std::uint32_t* size) override;
    long SetValue(RegKey key, const char* name, std::uint32_t type, const void* data,
                  std::uint32_t size) override;
    long SetTextValue(RegKey key, const char* name, const std::string& utf8) override;
    long DeleteValue(RegKey key, const char* name) override;
    long QueryDefault(RegKey key, const char* subKey, char* buf, long* size) override;
    long EnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* size) override;
    long CloseKey(RegKey key) override;
};
