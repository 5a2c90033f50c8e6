// The single-instance check against the states a start can find the mutex in: free, held by a
// running instance, and held by one this start may not open (an instance with administrator
// rights; here a mutex whose access list admits nobody, which Wine enforces as Windows does).
#include "app/single_instance.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct Holder {
    const char* name;
    bool bHeld;
    const char* pszAccessList;  // SDDL, or null for the default
    bool bRunning;
};

class SingleInstanceTest : public ::testing::TestWithParam<Holder> {};

TEST_P(SingleInstanceTest, TellsWhetherAnotherInstanceRuns) {
    const Holder& holder = GetParam();
    const std::string name = std::string("Mavris-single-instance-test-") + holder.name;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (holder.pszAccessList != nullptr) {
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
            holder.pszAccessList, SDDL_REVISION_1, &pDescriptor, nullptr));
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, pDescriptor, FALSE};
    HANDLE hRunning = holder.bHeld ? CreateMutexA(&attributes, TRUE, name.c_str()) : nullptr;
    ASSERT_EQ(hRunning != nullptr, holder.bHeld);

    HANDLE hMutex = nullptr;
    EXPECT_EQ(ClaimSingleInstance(name.c_str(), &hMutex), holder.bRunning);
    for (HANDLE hHandle : {hMutex, hRunning}) {
        if (hHandle != nullptr) {
            CloseHandle(hHandle);
        }
    }
    LocalFree(pDescriptor);
}

INSTANTIATE_TEST_SUITE_P(Mutexes, SingleInstanceTest,
                         ::testing::Values(Holder{"Free", false, nullptr, false},
                                           Holder{"HeldByARunningInstance", true, nullptr, true},
                                           Holder{"HeldOutOfReach", true, "D:P", true}),
                         [](const ::testing::TestParamInfo<Holder>& info) {
                             return info.param.name;
                         });

}  // namespace
