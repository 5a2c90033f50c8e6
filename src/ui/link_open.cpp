// Opening a link's address: through the shell, else through the command registered for ".htm"
// files.
#include "ui/hyperlink.h"

#include <shellapi.h>

#include <cstring>

#include "platform/win32/late_bound_shell.h"

namespace {

constexpr DWORD kRegDefaultSize = 260;

}  // namespace

INT_PTR CHyperLink::OpenLink(const std::string& address, int nShowCmd) {
    const INT_PTR nShellResult = reinterpret_cast<INT_PTR>(
        late_bound::ShellExecute(nullptr, "open", address.c_str(), nullptr, nullptr, nShowCmd));
    if (nShellResult > 32) {
        return nShellResult;
    }
    std::string command;
    if (!BuildHtmOpenCommand(HKEY_CLASSES_ROOT, address, &command)) {
        return nShellResult;
    }
    return static_cast<INT_PTR>(WinExec(command.c_str(), static_cast<UINT>(nShowCmd)));
}

LONG ReadRegDefault(HKEY hRoot, const char* pszSubKey, std::string* pValue) {
    pValue->clear();
    HKEY hKey = nullptr;
    LONG nError = RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, &hKey);
    if (nError != ERROR_SUCCESS) {
        return nError;
    }
    char szValue[kRegDefaultSize] = {};
    LONG nSize = sizeof szValue;
    nError = RegQueryValueA(hKey, nullptr, szValue, &nSize);
    RegCloseKey(hKey);
    if (nError != ERROR_SUCCESS) {
        return nError;  // also a value too long for the buffer: never handed on cut
    }
    const std::size_t nBytes = nSize > 0 && static_cast<std::size_t>(nSize) <= sizeof szValue
                                   ? static_cast<std::size_t>(nSize)
                                   : sizeof szValue;
    pValue->assign(szValue, strnlen(szValue, nBytes));
    return ERROR_SUCCESS;
}

bool ComposeOpenCommand(std::string_view registered, std::string_view address,
                        std::size_t nBufferSize, std::string* pCommand) {
    pCommand->clear();
    std::string_view command = registered;
    std::size_t nCut = command.find("\"%1\"");
    if (nCut == std::string_view::npos) {
        nCut = command.find("%1");
    }
    if (nCut != std::string_view::npos) {
        command = command.substr(0, nCut);
    }
    if (command.find_first_not_of(" \t") == std::string_view::npos) {
        return false;  // nothing left to start
    }
    // The command, a blank, the address and the NUL must fit; a cut address would open
    // something else than the link.
    if (command.size() + 1 + address.size() + 1 > nBufferSize) {
        return false;
    }
    pCommand->reserve(command.size() + 1 + address.size());
    pCommand->append(command).append(" ").append(address);
    return true;
}

bool BuildHtmOpenCommand(HKEY hRoot, std::string_view address, std::string* pCommand) {
    pCommand->clear();
    std::string fileClass;
    if (ReadRegDefault(hRoot, ".htm", &fileClass) != ERROR_SUCCESS || fileClass.empty()) {
        return false;
    }
    const std::string commandKey = fileClass + "\\shell\\open\\command";
    if (commandKey.size() + 1 > CHyperLink::kCommandBufferSize) {
        return false;
    }
    std::string registered;
    if (ReadRegDefault(hRoot, commandKey.c_str(), &registered) != ERROR_SUCCESS) {
        return false;
    }
    return ComposeOpenCommand(registered, address, CHyperLink::kCommandBufferSize, pCommand);
}
