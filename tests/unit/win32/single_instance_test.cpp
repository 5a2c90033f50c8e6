// The single-instance check against a mutex that is free, held by a running instance, and held
// by one this start may not open (one with administrator rights; here an access list that
// admits nobody, which Wine enforces as Windows does).
#include "app/single_instance.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

namespace {

TEST(SingleInstanceTest, TellsWhetherAnotherInstanceRuns) {
    PSECURITY_DESCRIPTOR pNobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P", SDDL_REVISION_1,
                                                                     &pNobody, nullptr));
    SECURITY_ATTRIBUTES nobody{sizeof nobody, pNobody, FALSE};
    const struct {
        const char* pszName;
        bool bHeld;
        SECURITY_ATTRIBUTES* pAccess;
    } cases[] = {{"Mavris-test-free", false, nullptr},
                 {"Mavris-test-held", true, nullptr},
                 {"Mavris-test-held-out-of-reach", true, &nobody}};
    for (const auto& c : cases) {
        HANDLE hRunning = c.bHeld ? CreateMutexA(c.pAccess, TRUE, c.pszName) : nullptr;
        HANDLE hMutex = nullptr;
        EXPECT_EQ(ClaimSingleInstance(c.pszName, &hMutex), c.bHeld) << c.pszName;
        CloseHandle(hMutex);
        CloseHandle(hRunning);
    }
    LocalFree(pNobody);
}

}  // namespace
