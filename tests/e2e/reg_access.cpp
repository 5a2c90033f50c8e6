// mavris-reg-access: replaces the access list of one registry key, so that a test can make the
// key unwritable or unreadable for the tool (Wine checks a key's access list when it is
// opened, as Windows does) and give the access back afterwards:
//   mavris-reg-access HKLM|HKCU SUBKEY SDDL-DACL   e.g. "D:P(D;;0x6;;;WD)(A;;KA;;;WD)"
// Prints "ok" and ends with 0, or prints the failing step and its error code and ends with 1.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

namespace {

int Fail(const char* step, unsigned long code) {
    std::printf("%s failed: %lu\n", step, code);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "HKLM") != 0 && std::strcmp(argv[1], "HKCU") != 0)) {
        std::fprintf(stderr, "usage: mavris-reg-access HKLM|HKCU SUBKEY SDDL\n");
        return 2;
    }
    HKEY hRoot = std::strcmp(argv[1], "HKLM") == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(argv[3], SDDL_REVISION_1,
                                                              &pDescriptor, nullptr)) {
        return Fail("SDDL", GetLastError());
    }
    // Changing the access list needs only this right, which a list that denies reading or
    // writing still grants: the same call can give the access back.
    HKEY hKey = nullptr;
    LONG result = RegOpenKeyExA(hRoot, argv[2], 0, WRITE_DAC, &hKey);
    if (result == ERROR_SUCCESS) {
        result = RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pDescriptor);
        RegCloseKey(hKey);
    }
    LocalFree(pDescriptor);
    if (result != ERROR_SUCCESS) {
        return Fail("RegSetKeySecurity", static_cast<unsigned long>(result));
    }
    std::printf("ok\n");
    return 0;
}
