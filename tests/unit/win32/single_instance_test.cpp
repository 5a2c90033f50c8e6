// ClaimSingleInstance against a mutex that is free, held by a running instance, and held by one
// this start may not open (one with administrator rights; here an access list that admits
// nobody, which Wine enforces as Windows does).
#include "app/single_instance.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(SingleInstanceTest, TellsWhetherAnotherInstanceRuns) {
    PSECURITY_DESCRIPTOR pNobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P", SDDL_REVISION_1,
                                                                     &pNobody, nullptr));
    SECURITY_ATTRIBUTES nobody{sizeof nobody, pNobody, FALSE};
    for (const auto& [pszName, bHeld, pAccess] :
         {std::tuple<const char*, bool, SECURITY_ATTRIBUTES*>{"Mavris-test-free", false, nullptr},
          {"Mavris-test-held", true, nullptr},
          {"Mavris-test-held-out-of-reach", true, &nobody}}) {
        HANDLE hRunning = bHeld ? CreateMutexA(pAccess, TRUE, pszName) : nullptr;
        HANDLE hMutex = nullptr;
        EXPECT_EQ(ClaimSingleInstance(pszName, &hMutex), bHeld) << pszName;
        CloseHandle(hMutex);
        CloseHandle(hRunning);
    }
    LocalFree(pNobody);
}

}  // namespace
