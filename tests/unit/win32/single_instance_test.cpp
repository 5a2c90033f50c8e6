// ClaimSingleInstance against a mutex that is free, held by a running instance, and held by one
// this start may not open (one with administrator rights; here an access list that admits
// nobody, which Wine enforces as Windows does); the message filter of an elevated instance.
#include "app/single_instance.h"
#include "app/taskbar_message.h"

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

// The global mark: anybody may open it to wait on it; a second holder (an instance of another
// session) keeps it alive too; it goes with the last holder.
TEST(SingleInstanceTest, GlobalMarkCanBeSeenForAsLongAsAnInstanceHoldsIt) {
    const wchar_t* pszName = L"Global\\Mavris-test-running";
    HANDLE hFirst = HoldGlobalInstanceMark(pszName);
    ASSERT_NE(hFirst, nullptr);
    HANDLE hSecond = HoldGlobalInstanceMark(pszName);
    ASSERT_NE(hSecond, nullptr);
    CloseHandle(hFirst);
    HANDLE hLook = OpenMutexW(SYNCHRONIZE, FALSE, pszName);
    EXPECT_NE(hLook, nullptr) << "setup's look, with the second instance still running";
    CloseHandle(hLook);
    // Only waiting is granted: a look may not take the mutex over.
    EXPECT_EQ(OpenMutexW(MUTEX_MODIFY_STATE, FALSE, pszName), nullptr);
    CloseHandle(hSecond);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, pszName), nullptr) << "left behind";
}

// Where the messages of other processes are let through to an elevated instance: the window's
// own filter where Windows has it (7 and later), the process-wide one on Vista.
struct FilterCalls {
    UINT nWindowMsg = 0;
    DWORD nWindowAction = 0;
    UINT nProcessMsg = 0;
    DWORD nProcessAction = 0;
} g_filterCalls;

BOOL WINAPI RecordWindowFilter(HWND, UINT nMsg, DWORD nAction, void*) {
    g_filterCalls.nWindowMsg = nMsg;
    g_filterCalls.nWindowAction = nAction;
    return TRUE;
}

BOOL WINAPI RecordProcessFilter(UINT nMsg, DWORD nAction) {
    g_filterCalls.nProcessMsg = nMsg;
    g_filterCalls.nProcessAction = nAction;
    return TRUE;
}

TEST(MessageFilterTest, UsesTheWindowsFilterElseTheProcessWideOne) {
    constexpr UINT kMsg = 0xC123;
    for (const auto& [bWindow, bProcess, nWindowMsg, nProcessMsg] :
         {std::tuple<bool, bool, UINT, UINT>{true, true, kMsg, 0},  // Windows 7 and later
          {false, true, 0, kMsg},                                   // Vista
          {false, false, 0, 0}}) {                                  // nothing to call
        g_filterCalls = {};
        MessageFilterFunctions functions;
        functions.pfnChangeWindowMessageFilterEx = bWindow ? RecordWindowFilter : nullptr;
        functions.pfnChangeWindowMessageFilter = bProcess ? RecordProcessFilter : nullptr;
        AllowMessageFromOtherProcesses(GetDesktopWindow(), kMsg, functions);
        EXPECT_EQ(g_filterCalls.nWindowMsg, nWindowMsg) << bWindow << bProcess;
        EXPECT_EQ(g_filterCalls.nProcessMsg, nProcessMsg) << bWindow << bProcess;
        // MSGFLT_ALLOW and MSGFLT_ADD: both are 1.
        EXPECT_EQ(g_filterCalls.nWindowAction + g_filterCalls.nProcessAction,
                  nWindowMsg || nProcessMsg ? 1u : 0u);
    }
}

}  // namespace
