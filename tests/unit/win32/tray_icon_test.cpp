// The tray icon on a real window, with the shell calls observed: what is added, changed and
// removed, what a click on the icon does, and the icon coming back with a new taskbar.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "app/tray_icon.h"

namespace {

constexpr UINT kIconId = 125;
constexpr UINT kCallback = 0x8064;
constexpr UINT kOpen = 32771;
constexpr UINT kExit = 32772;
constexpr UINT kStay = 32774;
constexpr UINT kCut = 32775;

struct ShellCall {
    DWORD nOperation;
    NOTIFYICONDATAA data;
};

// Records every shell call and answers with m_bResult (the version and focus requests apart,
// in m_requests); builds the tray menu in memory as the resource script describes it.
class CFakeTrayShell : public ITrayShell {
public:
    BOOL NotifyIcon(DWORD nOperation, NOTIFYICONDATAA* pData) override {
        if (nOperation == NIM_SETVERSION || nOperation == NIM_SETFOCUS) {
            m_requests.push_back({nOperation, *pData});
            return nOperation == NIM_SETVERSION ? m_bVersionResult : TRUE;
        }
        m_calls.push_back({nOperation, *pData});
        if (nOperation == NIM_ADD && m_bIconExists) {
            return FALSE;  // the shell has this icon already
        }
        if (nOperation == NIM_ADD && m_nRefusedAdds > 0) {
            --m_nRefusedAdds;  // Explorer is still starting
            return FALSE;
        }
        return m_bResult;
    }
    HMENU LoadMenuResource(UINT nId) override {
        m_loadedIds.push_back(nId);
        if (m_bMenuFails) {
            return nullptr;
        }
        HMENU hBar = CreateMenu();
        if (!m_bWithoutPopup) {
            HMENU hTray = CreatePopupMenu();
            HMENU hModem = CreatePopupMenu();
            AppendMenuA(hModem, MF_STRING, kStay, "Stay Connected");
            AppendMenuA(hModem, MF_STRING, kCut, "Cut the Line");
            AppendMenuA(hTray, MF_STRING, kOpen, "Open");
            AppendMenuA(hTray, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(hTray, MF_POPUP, reinterpret_cast<UINT_PTR>(hModem), "Selected Modem");
            AppendMenuA(hTray, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(hTray, MF_STRING, kExit, "E&xit");
            AppendMenuA(hBar, MF_POPUP, reinterpret_cast<UINT_PTR>(hTray), "Tray");
        }
        m_hLastMenu = hBar;
        return hBar;
    }

    std::vector<ShellCall> m_calls;
    std::vector<ShellCall> m_requests;
    std::vector<UINT> m_loadedIds;
    BOOL m_bResult = TRUE;
    BOOL m_bVersionResult = TRUE;
    bool m_bIconExists = false;
    int m_nRefusedAdds = 0;
    bool m_bMenuFails = false;
    bool m_bWithoutPopup = false;
    HMENU m_hLastMenu = nullptr;
};

// What the window the icon reports to received.
struct WindowLog {
    std::vector<UINT> commands;
    std::vector<LPARAM> commandParams;
    std::vector<LPARAM> callbacks;  // the callback message reached the window's own procedure
    int nTaskbarCreated = 0;
    // The popup menu while it was open: item ids (0 separator, -1 sub-menu) and default item.
    std::vector<int> menuItems;
    UINT nMenuDefault = static_cast<UINT>(-1);
    UINT nPickOnOpen = 0;  // choose this item by keyboard once the menu is up
    int nMenus = 0;        // popup menus opened
    RECT rcMenu{};         // where the last one was on the screen
};
WindowLog g_window;

LRESULT CALLBACK OwnerProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_COMMAND) {
        g_window.commands.push_back(LOWORD(wParam));
        g_window.commandParams.push_back(lParam);
        return 0;
    }
    if (nMsg == kCallback) {
        g_window.callbacks.push_back(lParam);
        return 0;
    }
    if (nMsg == CTrayIcon::s_nTaskbarCreated) {
        ++g_window.nTaskbarCreated;
        return 0;
    }
    if (nMsg == WM_INITMENUPOPUP && HIWORD(lParam) == FALSE) {
        ++g_window.nMenus;
    }
    if (nMsg == WM_INITMENUPOPUP && HIWORD(lParam) == FALSE && g_window.menuItems.empty()) {
        HMENU hMenu = reinterpret_cast<HMENU>(wParam);
        for (int i = 0; i < GetMenuItemCount(hMenu); ++i) {
            const UINT nId = GetMenuItemID(hMenu, i);
            g_window.menuItems.push_back(GetSubMenu(hMenu, i) != nullptr ? -1
                                                                         : static_cast<int>(nId));
        }
        g_window.nMenuDefault = GetMenuDefaultItem(hMenu, TRUE, 0);  // by position
    }
    if (nMsg == WM_ENTERIDLE && wParam == MSGF_MENU) {
        GetWindowRect(reinterpret_cast<HWND>(lParam), &g_window.rcMenu);
        // The menu is up and waits for the user: choose by keyboard, or close it unchosen.
        if (g_window.nPickOnOpen != 0) {
            HWND hMenuWnd = reinterpret_cast<HWND>(lParam);
            // Down moves to the first item (Open); Enter chooses the highlighted item.
            PostMessageA(hMenuWnd, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(hMenuWnd, WM_KEYDOWN, VK_RETURN, 0);
            g_window.nPickOnOpen = 0;
        } else if (!g_window.menuItems.empty()) {
            EndMenu();
        }
        return 0;
    }
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class TrayIconTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MavrisTrayTest";
        RegisterClassA(&wc);
    }
    void SetUp() override {
        g_window = WindowLog{};
        m_hWnd = CreateWindowExA(0, "MavrisTrayTest", "tray owner", WS_OVERLAPPEDWINDOW, 10, 10,
                                 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_hWnd, nullptr);
        m_hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));  // IDI_APPLICATION
        ASSERT_NE(m_hIcon, nullptr);
    }
    void TearDown() override {
        if (IsWindow(m_hWnd)) {
            DestroyWindow(m_hWnd);
        }
    }

    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
    CFakeTrayShell m_shell;
};

TEST_F(TrayIconTest, StartsWithVistasRecordAskingForVersionFourAndNoIcon) {
    CTrayIcon tray(kIconId, m_shell);
    const NOTIFYICONDATAA& data = tray.GetIconData();
    EXPECT_EQ(data.cbSize, sizeof(NOTIFYICONDATAA));
#ifndef _WIN64
    EXPECT_EQ(data.cbSize, 508u);
#endif
    EXPECT_EQ(data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    EXPECT_EQ(tray.GetIconVersion(), 0u);
    EXPECT_EQ(data.uID, kIconId);
    EXPECT_EQ(data.hIcon, nullptr);
    EXPECT_STREQ(data.szTip, "");  // there is no string 125
    EXPECT_FALSE(tray.IsShown());
}

TEST_F(TrayIconTest, RemovingAnIconThatIsNotShownCallsNoShellAndSucceeds) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    m_shell.m_bResult = FALSE;  // a call would fail: success can only come from not calling
    EXPECT_TRUE(tray.UpdateIcon(nullptr, nullptr));
    EXPECT_TRUE(tray.UpdateIcon(nullptr, "a tip"));
    EXPECT_TRUE(tray.ShowResourceIcon(0));
    EXPECT_TRUE(m_shell.m_calls.empty());
}

TEST_F(TrayIconTest, AddThenChangeThenRemove) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);

    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, "first tip"));
    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, nullptr));
    ASSERT_TRUE(tray.UpdateIcon(nullptr, nullptr));

    ASSERT_EQ(m_shell.m_calls.size(), 3u);
    // Version 4 shows the standard tip only with NIF_SHOWTIP.
    const DWORD kAll = NIF_ICON | NIF_TIP | NIF_SHOWTIP | NIF_MESSAGE;
    struct Expected {
        DWORD nOperation;
        DWORD nFlags;
    };
    const Expected expected[] = {
        {NIM_ADD, kAll}, {NIM_MODIFY, kAll}, {NIM_DELETE, NIF_TIP | NIF_SHOWTIP | NIF_MESSAGE}};
    for (std::size_t i = 0; i < 3; ++i) {
        const ShellCall& call = m_shell.m_calls[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(call.nOperation, expected[i].nOperation);
        EXPECT_EQ(call.data.uFlags, expected[i].nFlags);
        EXPECT_EQ(call.data.cbSize, sizeof(NOTIFYICONDATAA));
        EXPECT_EQ(call.data.hWnd, m_hWnd);
        EXPECT_EQ(call.data.uID, kIconId);
        EXPECT_EQ(call.data.uCallbackMessage, kCallback);
        EXPECT_STREQ(call.data.szTip, "first tip");  // a kept tip goes with every call
    }
    EXPECT_EQ(m_shell.m_calls[0].data.hIcon, m_hIcon);
    EXPECT_FALSE(tray.IsShown());
}

TEST_F(TrayIconTest, WithoutAWindowOrTipTheFlagsSayOnlyWhatIsThere) {
    CTrayIcon tray(kIconId, m_shell);
    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, nullptr));
    ASSERT_EQ(m_shell.m_calls.size(), 1u);
    EXPECT_EQ(m_shell.m_calls[0].data.uFlags, static_cast<UINT>(NIF_ICON));
}

TEST_F(TrayIconTest, AFailedAddIsTriedAgainAsAnAdd) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    m_shell.m_bResult = FALSE;
    EXPECT_FALSE(tray.UpdateIcon(m_hIcon, "tip"));
    EXPECT_FALSE(tray.IsShown());
    m_shell.m_bResult = TRUE;
    EXPECT_TRUE(tray.UpdateIcon(m_hIcon, nullptr));
    ASSERT_EQ(m_shell.m_calls.size(), 2u);
    EXPECT_EQ(m_shell.m_calls[1].nOperation, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(tray.IsShown());
}

// At log-on the program can start before the taskbar: the first add fails, and the icon must
// come with the taskbar's broadcast. An add that failed only by timing out may have left the
// icon in the shell, so it is removed at the end all the same.
TEST_F(TrayIconTest, AnIconWhoseAddFailedComesWithTheTaskbarAndIsRemovedAtTheEnd) {
    {
        CTrayIcon tray(kIconId, m_shell);
        tray.BindWindow(m_hWnd, kCallback);
        m_shell.m_bResult = FALSE;
        EXPECT_FALSE(tray.UpdateIcon(m_hIcon, "tip"));
        EXPECT_FALSE(tray.IsShown());
        EXPECT_TRUE(tray.IsWanted());
        m_shell.m_bResult = TRUE;
        SendMessageA(m_hWnd, CTrayIcon::s_nTaskbarCreated, 0, 0);
        ASSERT_EQ(m_shell.m_calls.size(), 2u);
        EXPECT_EQ(m_shell.m_calls[1].nOperation, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(m_shell.m_calls[1].data.hIcon, m_hIcon);
        EXPECT_TRUE(tray.IsShown());
    }
    {
        m_shell.m_calls.clear();
        CTrayIcon tray(kIconId, m_shell);
        tray.BindWindow(m_hWnd, kCallback);
        m_shell.m_bResult = FALSE;
        tray.UpdateIcon(m_hIcon, "tip");
    }
    ASSERT_EQ(m_shell.m_calls.size(), 2u);
    EXPECT_EQ(m_shell.m_calls[1].nOperation, static_cast<DWORD>(NIM_DELETE));
}

// A shell that refuses the first adds (Explorer busy at log-on): each tick of the icon's timer
// tries again, sixty times, then only "TaskbarCreated" brings the icon; no timer is left once
// the shell has the icon or it is no longer wanted.
TEST_F(TrayIconTest, ARefusedAddIsTriedAgainOnATimerForTwoMinutes) {
    for (const auto& [nRefused, nTicks, bRemoved, nAdds, bShown, bTimerLeft] :
         {std::tuple{1, 3, false, 2, true, false},
          {5, 3, false, 4, false, true},
          {60, 70, false, 61, true, false},
          {99, 70, false, 61, false, false},
          {99, 3, true, 1, false, false}}) {
        SCOPED_TRACE(testing::Message() << nRefused << " refused, " << nTicks << " ticks");
        m_shell.m_calls.clear();
        m_shell.m_nRefusedAdds = nRefused;
        CTrayIcon tray(kIconId, m_shell);
        tray.BindWindow(m_hWnd, kCallback);
        tray.UpdateIcon(m_hIcon, "tip");
        if (bRemoved) {
            tray.UpdateIcon(nullptr, nullptr);
        }
        for (int i = 0; i < nTicks; ++i) {
            SendMessageA(m_hWnd, WM_TIMER, CTrayIcon::kAddRetryTimerId, 0);
        }
        EXPECT_EQ(std::count_if(m_shell.m_calls.begin(), m_shell.m_calls.end(),
                                [](const ShellCall& call) { return call.nOperation == NIM_ADD; }),
                  nAdds);
        EXPECT_EQ(tray.IsShown(), bShown);
        EXPECT_EQ(KillTimer(m_hWnd, CTrayIcon::kAddRetryTimerId) != FALSE, bTimerLeft);
    }
}

TEST_F(TrayIconTest, ALongTipIsCutAndStaysTerminatedWithinSixtyFourBytes) {
    CTrayIcon tray(kIconId, m_shell);
    const std::string longTip(100, 'x');
    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, longTip.c_str()));
    ASSERT_EQ(m_shell.m_calls.size(), 1u);
    EXPECT_EQ(std::string(m_shell.m_calls[0].data.szTip), std::string(63, 'x'));
}

TEST_F(TrayIconTest, TheDestructorRemovesAShownIconAndReleasesTheWindow) {
    const LONG_PTR nOwnProc = GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC);
    {
        CTrayIcon tray(kIconId, m_shell);
        tray.BindWindow(m_hWnd, kCallback);
        tray.UpdateIcon(m_hIcon, "tip");
        EXPECT_NE(GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC), nOwnProc);
    }
    ASSERT_EQ(m_shell.m_calls.size(), 2u);
    EXPECT_EQ(m_shell.m_calls[1].nOperation, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC), nOwnProc);
}

TEST_F(TrayIconTest, ANewTaskbarGetsTheIconAgainWithTheSameTip) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, "kept tip"));

    SendMessageA(m_hWnd, CTrayIcon::s_nTaskbarCreated, 0, 0);

    ASSERT_EQ(m_shell.m_calls.size(), 2u);
    const ShellCall& call = m_shell.m_calls[1];
    EXPECT_EQ(call.nOperation, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(call.data.hIcon, m_hIcon);
    EXPECT_STREQ(call.data.szTip, "kept tip");
    EXPECT_EQ(call.data.uFlags, static_cast<UINT>(NIF_ICON | NIF_TIP | NIF_SHOWTIP | NIF_MESSAGE));
    EXPECT_TRUE(tray.IsShown());
    EXPECT_EQ(g_window.nTaskbarCreated, 1);  // the window itself still sees the broadcast
}

TEST_F(TrayIconTest, ABroadcastWithoutANewTaskbarKeepsTheIconRemovable) {
    std::size_t nCalls = 0;
    {
        CTrayIcon tray(kIconId, m_shell);
        tray.BindWindow(m_hWnd, kCallback);
        ASSERT_TRUE(tray.UpdateIcon(m_hIcon, "tip"));
        m_shell.m_bIconExists = true;  // the shell did not forget the icon
        SendMessageA(m_hWnd, CTrayIcon::s_nTaskbarCreated, 0, 0);
        ASSERT_EQ(m_shell.m_calls.size(), 3u);
        EXPECT_EQ(m_shell.m_calls[1].nOperation, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(m_shell.m_calls[2].nOperation, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_TRUE(tray.IsShown());
        nCalls = m_shell.m_calls.size();
    }
    ASSERT_EQ(m_shell.m_calls.size(), nCalls + 1);
    EXPECT_EQ(m_shell.m_calls.back().nOperation, static_cast<DWORD>(NIM_DELETE))
        << "the icon was left behind in the notification area";
}

TEST_F(TrayIconTest, ANewTaskbarAddsNothingWhileNoIconIsShown) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    SendMessageA(m_hWnd, CTrayIcon::s_nTaskbarCreated, 0, 0);
    EXPECT_TRUE(m_shell.m_calls.empty());
}

TEST_F(TrayIconTest, AChildWindowIsReachedThroughItsTopLevelWindowForTheBroadcast) {
    HWND hChild = CreateWindowExA(0, "MavrisTrayTest", "child", WS_CHILD, 0, 0, 10, 10, m_hWnd,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hChild, nullptr);
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(hChild, kCallback);
    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, "tip"));
    // The broadcast only reaches top-level windows.
    SendMessageA(m_hWnd, CTrayIcon::s_nTaskbarCreated, 0, 0);
    ASSERT_EQ(m_shell.m_calls.size(), 2u);
    EXPECT_EQ(m_shell.m_calls[1].nOperation, static_cast<DWORD>(NIM_ADD));

    // Bound to the top-level window itself afterwards, the broadcast re-adds the icon once.
    tray.BindWindow(m_hWnd, kCallback);
    SendMessageA(m_hWnd, CTrayIcon::s_nTaskbarCreated, 0, 0);
    ASSERT_EQ(m_shell.m_calls.size(), 3u);
    EXPECT_EQ(CSubclassWnd::FindNewestWatcher(hChild), nullptr);
}

// A mouse message on the icon that is not a right button release or a double click does
// nothing: no menu is loaded and no command is sent.
struct IgnoredClick {
    const char* name;
    WPARAM nIconId;
    LPARAM nMouseMessage;
};

class TrayIconIgnoredTest : public TrayIconTest,
                            public ::testing::WithParamInterface<IgnoredClick> {};

TEST_P(TrayIconIgnoredTest, DoesNothing) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    EXPECT_EQ(tray.OnIconMessage(GetParam().nIconId, GetParam().nMouseMessage), 0);
    EXPECT_TRUE(m_shell.m_loadedIds.empty());
    EXPECT_TRUE(g_window.commands.empty());
    EXPECT_TRUE(g_window.menuItems.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, TrayIconIgnoredTest,
    ::testing::Values(IgnoredClick{"LeftPress", kIconId, WM_LBUTTONDOWN},
                      IgnoredClick{"LeftRelease", kIconId, WM_LBUTTONUP},
                      IgnoredClick{"RightPress", kIconId, WM_RBUTTONDOWN},
                      IgnoredClick{"MouseMove", kIconId, WM_MOUSEMOVE},
                      IgnoredClick{"RightDoubleClick", kIconId, WM_RBUTTONDBLCLK},
                      IgnoredClick{"RightReleaseOnAnotherIcon", kIconId + 1, WM_RBUTTONUP},
                      IgnoredClick{"DoubleClickOnAnotherIcon", 0, WM_LBUTTONDBLCLK}),
    [](const ::testing::TestParamInfo<IgnoredClick>& info) { return info.param.name; });

TEST_F(TrayIconTest, DoubleClickSendsTheFirstItemOfTheMenu) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_LBUTTONDBLCLK), 1);
    // Sent, not posted: the command has been handled when the call returns.
    ASSERT_EQ(g_window.commands, std::vector<UINT>{kOpen});
    EXPECT_EQ(g_window.commandParams[0], 0);
    EXPECT_EQ(m_shell.m_loadedIds, std::vector<UINT>{kIconId});
    EXPECT_FALSE(IsMenu(m_shell.m_hLastMenu));  // the menu is destroyed again
    EXPECT_TRUE(g_window.menuItems.empty());
}

TEST_F(TrayIconTest, RightReleaseShowsTheMenuWithItsFirstItemAsDefault) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_RBUTTONUP), 1);
    PumpMessages();
    EXPECT_EQ(g_window.menuItems, (std::vector<int>{kOpen, 0, -1, 0, kExit}));
    EXPECT_EQ(g_window.nMenuDefault, 0u);
    EXPECT_TRUE(g_window.commands.empty());  // closed without a choice
    EXPECT_FALSE(IsMenu(m_shell.m_hLastMenu));
}

TEST_F(TrayIconTest, AnItemChosenInTheMenuArrivesAsACommand) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    g_window.nPickOnOpen = kOpen;
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_RBUTTONUP), 1);
    PumpMessages();
    EXPECT_FALSE(g_window.menuItems.empty());
    EXPECT_EQ(g_window.commands, std::vector<UINT>{kOpen});
}

TEST_F(TrayIconTest, AMenuThatCannotBeLoadedOrHasNoPopupMakesTheClickDoNothing) {
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    m_shell.m_bMenuFails = true;
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_RBUTTONUP), 0);
    m_shell.m_bMenuFails = false;
    m_shell.m_bWithoutPopup = true;
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_LBUTTONDBLCLK), 0);
    EXPECT_FALSE(IsMenu(m_shell.m_hLastMenu));
    EXPECT_EQ(tray.OnIconMessage(kIconId, WM_RBUTTONUP), 0);
    EXPECT_TRUE(g_window.commands.empty());
    EXPECT_TRUE(g_window.menuItems.empty());
}

// The callback message reaches the icon through the watcher and still reaches the window.
class CRecordingTrayIcon : public CTrayIcon {
public:
    using CTrayIcon::CTrayIcon;
    LRESULT OnIconMessage(WPARAM nIconId, LPARAM nMouseMessage) override {
        m_seen.emplace_back(nIconId, nMouseMessage);
        return CTrayIcon::OnIconMessage(nIconId, nMouseMessage);
    }
    std::vector<std::pair<WPARAM, LPARAM>> m_seen;
};

TEST_F(TrayIconTest, TheCallbackMessageReachesTheIconAndThenTheWindow) {
    CRecordingTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    SendMessageA(m_hWnd, kCallback, kIconId, WM_LBUTTONDBLCLK);
    SendMessageA(m_hWnd, kCallback, kIconId, WM_MOUSEMOVE);
    ASSERT_EQ(tray.m_seen.size(), 2u);
    EXPECT_EQ(tray.m_seen[0],
              std::make_pair(static_cast<WPARAM>(kIconId), static_cast<LPARAM>(WM_LBUTTONDBLCLK)));
    EXPECT_EQ(g_window.commands, std::vector<UINT>{kOpen});
    EXPECT_EQ(g_window.callbacks, (std::vector<LPARAM>{WM_LBUTTONDBLCLK, WM_MOUSEMOVE}));

    tray.BindWindow(nullptr, 0);
    SendMessageA(m_hWnd, kCallback, kIconId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(tray.m_seen.size(), 2u);  // unbound: the window alone sees it
}

// The callback message as the shell sends it: version 4 (the event and the icon's id in
// lParam, the icon's place in wParam) once the shell took that version, asked for after the add;
// else the first layout. Enter or Space on the icon selected from the keyboard (NIN_KEYSELECT)
// and the menu key (WM_CONTEXTMENU) show the menu at the icon; version 4 follows a right
// button's release with WM_CONTEXTMENU, so the release itself shows nothing.
struct EventCase {
    const char* name;
    BOOL bVersion4;
    WPARAM wParam;
    LPARAM lParam;
    bool bMenu;
    UINT nCommand;
};

class TrayIconEventTest : public TrayIconTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(TrayIconEventTest, ShowsTheMenuAtTheIconOrRunsOpenOrDoesNothing) {
    const EventCase& c = GetParam();
    m_shell.m_bVersionResult = c.bVersion4;
    CTrayIcon tray(kIconId, m_shell);
    tray.BindWindow(m_hWnd, kCallback);
    ASSERT_TRUE(tray.UpdateIcon(m_hIcon, "tip"));
    ASSERT_EQ(m_shell.m_requests.size(), 1u);
    EXPECT_EQ(m_shell.m_requests[0].nOperation, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(m_shell.m_requests[0].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    SendMessageA(m_hWnd, kCallback, c.wParam, c.lParam);
    PumpMessages();
    EXPECT_EQ(g_window.nMenus, c.bMenu ? 1 : 0);
    EXPECT_EQ(g_window.commands,
              c.nCommand != 0 ? std::vector<UINT>{c.nCommand} : std::vector<UINT>{});
    if (c.bMenu && c.bVersion4) {
        EXPECT_EQ(g_window.rcMenu.left, 200) << "the menu opens at the icon";
        EXPECT_EQ(g_window.rcMenu.top, 150);
    }
}

constexpr WPARAM kAnchor = MAKEWPARAM(200, 150);

INSTANTIATE_TEST_SUITE_P(
    Events, TrayIconEventTest,
    ::testing::Values(
        EventCase{"EnterOrSpace", TRUE, kAnchor, MAKELPARAM(NIN_KEYSELECT, kIconId), true, 0},
        EventCase{"MenuKey", TRUE, kAnchor, MAKELPARAM(WM_CONTEXTMENU, kIconId), true, 0},
        EventCase{"RightRelease", TRUE, kAnchor, MAKELPARAM(WM_RBUTTONUP, kIconId), false, 0},
        EventCase{"DoubleClick", TRUE, kAnchor, MAKELPARAM(WM_LBUTTONDBLCLK, kIconId), false,
                  kOpen},
        EventCase{"AnotherIconsEnter", TRUE, kAnchor, MAKELPARAM(NIN_KEYSELECT, kIconId + 1), false,
                  0},
        EventCase{"FirstLayoutRightRelease", FALSE, kIconId, WM_RBUTTONUP, true, 0}),
    [](const ::testing::TestParamInfo<EventCase>& info) { return info.param.name; });

}  // namespace
