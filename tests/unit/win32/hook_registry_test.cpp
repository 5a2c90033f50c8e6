// The process-wide registry of window watchers, on real windows: order of the chain, removal
// in any order, the window's own procedure coming back, the end of a watched window, and
// subclasses that the common controls put on top of the watchers (SetWindowSubclass).
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/subclass_wnd.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;
constexpr LRESULT kOwnAnswer = 42;

// What reached whom, in order.
std::vector<std::string> g_log;

LRESULT CALLBACK OwnWindowProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == kProbe) {
        g_log.push_back("own");
        return kOwnAnswer;
    }
    if (nMsg == WM_NCDESTROY) {
        g_log.push_back("own:ncdestroy");
    }
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

class CLoggingWatcher : public CSubclassWnd {
public:
    explicit CLoggingWatcher(std::string name, bool bSwallow = false)
        : m_name(std::move(name)), m_bSwallow(bSwallow) {}

    LRESULT HandleMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) override {
        if (nMsg == kProbe) {
            g_log.push_back(m_name);
            if (m_bSwallow) {
                return 7;
            }
        }
        if (nMsg == WM_NCDESTROY) {
            g_log.push_back(m_name + ":ncdestroy");
        }
        return PassOn(nMsg, wParam, lParam);
    }

private:
    std::string m_name;
    bool m_bSwallow;
};

// A subclass of the common controls, as the tool tips and the link control install one.
LRESULT CALLBACK LoggingSubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR /*nId*/, DWORD_PTR pName) {
    if (nMsg == kProbe) {
        g_log.push_back(*reinterpret_cast<const std::string*>(pName));
    }
    return DefSubclassProc(hWnd, nMsg, wParam, lParam);
}

class HookRegistryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = OwnWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MavrisHookTest";
        RegisterClassA(&wc);
    }

    void SetUp() override {
        g_log.clear();
        m_hWnd = CreateTestWindow();
        ASSERT_NE(m_hWnd, nullptr);
    }
    void TearDown() override {
        if (IsWindow(m_hWnd)) {
            DestroyWindow(m_hWnd);
        }
    }

    static HWND CreateTestWindow() {
        return CreateWindowExA(0, "MavrisHookTest", "hook test", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                               100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }

    // Who saw a probe sent to the window, in order, and what the sender got back.
    std::vector<std::string> Probe(HWND hWnd, LRESULT* pAnswer = nullptr) {
        g_log.clear();
        const LRESULT nAnswer = SendMessageA(hWnd, kProbe, 0, 0);
        if (pAnswer != nullptr) {
            *pAnswer = nAnswer;
        }
        return g_log;
    }
    std::vector<std::string> Probe() { return Probe(m_hWnd); }

    WNDPROC CurrentProc(HWND hWnd) const {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
    }

    HWND m_hWnd = nullptr;
};

using Names = std::vector<std::string>;

TEST_F(HookRegistryTest, NewestWatcherSeesMessagesFirstAndTheAnswerComesFromTheWindow) {
    CLoggingWatcher older("older");
    CLoggingWatcher newer("newer");
    EXPECT_TRUE(older.HookTo(m_hWnd));
    EXPECT_TRUE(newer.HookTo(m_hWnd));

    LRESULT nAnswer = 0;
    EXPECT_EQ(Probe(m_hWnd, &nAnswer), (Names{"newer", "older", "own"}));
    EXPECT_EQ(nAnswer, kOwnAnswer);
    EXPECT_EQ(CSubclassWnd::FindNewestWatcher(m_hWnd), &newer);
    EXPECT_EQ(CurrentProc(m_hWnd), &CSubclassWnd::RoutingWindowProc);
}

TEST_F(HookRegistryTest, AWatcherThatKeepsAMessageEndsItsWay) {
    CLoggingWatcher older("older");
    CLoggingWatcher newer("newer", true);
    older.HookTo(m_hWnd);
    newer.HookTo(m_hWnd);

    LRESULT nAnswer = 0;
    EXPECT_EQ(Probe(m_hWnd, &nAnswer), (Names{"newer"}));
    EXPECT_EQ(nAnswer, 7);
}

// Hooks the watchers in the given order, then removes them one by one; after each removal
// the probe must reach exactly the expected watchers, newest first, and then the window.
// Names starting with "sub" are subclasses of the common controls instead of watchers; they
// lie on top of every watcher, since the routing procedure sits below them.
struct RemovalCase {
    const char* name;
    Names hookOrder;
    std::vector<std::pair<std::string, Names>> steps;  // removed watcher, who sees the probe
    Names initial = {};  // who sees the probe at first when not simply the newest first
};

class HookRemovalTest : public HookRegistryTest,
                        public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(HookRemovalTest, RemainingWatchersKeepTheirOrderUntilTheOwnProcedureIsBack) {
    const RemovalCase& c = GetParam();
    const WNDPROC pfnOwn = CurrentProc(m_hWnd);
    std::vector<std::unique_ptr<CLoggingWatcher>> watchers;
    for (std::size_t i = 0; i < c.hookOrder.size(); ++i) {
        // A subclass leaves its watcher unhooked: it only keeps the indices in step.
        watchers.push_back(std::make_unique<CLoggingWatcher>(c.hookOrder[i]));
        if (c.hookOrder[i].starts_with("sub")) {
            ASSERT_TRUE(SetWindowSubclass(m_hWnd, LoggingSubclassProc, i,
                                          reinterpret_cast<DWORD_PTR>(&c.hookOrder[i])));
        } else {
            watchers.back()->HookTo(m_hWnd);
        }
    }
    Names all(c.hookOrder.rbegin(), c.hookOrder.rend());
    all.push_back("own");
    ASSERT_EQ(Probe(), c.initial.empty() ? all : c.initial);

    for (const auto& [removed, expected] : c.steps) {
        for (std::size_t i = 0; i < watchers.size(); ++i) {
            if (c.hookOrder[i] != removed) {
                continue;
            }
            if (removed.starts_with("sub")) {
                EXPECT_TRUE(RemoveWindowSubclass(m_hWnd, LoggingSubclassProc, i));
            } else {
                EXPECT_TRUE(watchers[i]->HookTo(nullptr));
                EXPECT_FALSE(watchers[i]->IsHooked());
            }
        }
        LRESULT nAnswer = 0;
        EXPECT_EQ(Probe(m_hWnd, &nAnswer), expected) << "after removing " << removed;
        EXPECT_EQ(nAnswer, kOwnAnswer) << "after removing " << removed;
    }
    EXPECT_EQ(CurrentProc(m_hWnd), pfnOwn);
    EXPECT_EQ(CSubclassWnd::FindNewestWatcher(m_hWnd), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, HookRemovalTest,
    ::testing::Values(
        RemovalCase{"TwoNewerFirst", {"a", "b"}, {{"b", {"a", "own"}}, {"a", {"own"}}}},
        RemovalCase{"TwoOlderFirst", {"a", "b"}, {{"a", {"b", "own"}}, {"b", {"own"}}}},
        RemovalCase{"ThreeMiddleFirst",
                    {"a", "b", "c"},
                    {{"b", {"c", "a", "own"}}, {"c", {"a", "own"}}, {"a", {"own"}}}},
        RemovalCase{"ThreeOldestFirst",
                    {"a", "b", "c"},
                    {{"a", {"c", "b", "own"}}, {"c", {"b", "own"}}, {"b", {"own"}}}},
        RemovalCase{"ThreeMiddleThenOldest",
                    {"a", "b", "c"},
                    {{"b", {"c", "a", "own"}}, {"a", {"c", "own"}}, {"c", {"own"}}}},
        // A later subclass outlives the last watcher: both it and the window's own procedure
        // keep getting the messages, also once the subclass has gone too.
        RemovalCase{
            "SubclassOutlivesTheWatcher", {"a", "sub"}, {{"a", {"sub", "own"}}, {"sub", {"own"}}}},
        RemovalCase{"SubclassBetweenWatchers",
                    {"a", "sub", "b"},
                    {{"b", {"sub", "a", "own"}}, {"a", {"sub", "own"}}, {"sub", {"own"}}},
                    {"sub", "b", "a", "own"}},
        RemovalCase{"SubclassRemovedFirst",
                    {"a", "sub", "b"},
                    {{"sub", {"b", "a", "own"}}, {"a", {"b", "own"}}, {"b", {"own"}}},
                    {"sub", "b", "a", "own"}},
        RemovalCase{"TwoSubclassesOutliveTheWatchers",
                    {"a", "sub1", "b", "sub2"},
                    {{"a", {"sub2", "sub1", "b", "own"}},
                     {"b", {"sub2", "sub1", "own"}},
                     {"sub1", {"sub2", "own"}},
                     {"sub2", {"own"}}},
                    {"sub2", "sub1", "b", "a", "own"}}),
    [](const ::testing::TestParamInfo<RemovalCase>& info) { return info.param.name; });

TEST_F(HookRegistryTest, AWatcherAddedAfterARemovalStillReachesTheOwnProcedure) {
    CLoggingWatcher a("a");
    CLoggingWatcher b("b");
    CLoggingWatcher c("c");
    a.HookTo(m_hWnd);
    b.HookTo(m_hWnd);
    a.HookTo(nullptr);  // the watcher that installed the routing goes first
    c.HookTo(m_hWnd);
    EXPECT_EQ(Probe(), (Names{"c", "b", "own"}));
    b.HookTo(nullptr);
    c.HookTo(nullptr);
    EXPECT_EQ(Probe(), (Names{"own"}));
}

// A watcher that comes while a later subclass still holds the routing procedure joins the chain
// below that subclass instead of cutting it off.
TEST_F(HookRegistryTest, WatcherAddedBelowALaterSubclassKeepsIt) {
    const WNDPROC pfnOwn = CurrentProc(m_hWnd);
    const std::string sub = "sub";
    CLoggingWatcher a("a");
    CLoggingWatcher c("c");
    a.HookTo(m_hWnd);
    ASSERT_TRUE(
        SetWindowSubclass(m_hWnd, LoggingSubclassProc, 1, reinterpret_cast<DWORD_PTR>(&sub)));
    a.HookTo(nullptr);
    c.HookTo(m_hWnd);
    EXPECT_EQ(Probe(), (Names{"sub", "c", "own"}));
    EXPECT_TRUE(RemoveWindowSubclass(m_hWnd, LoggingSubclassProc, 1));
    EXPECT_EQ(Probe(), (Names{"c", "own"}));
    c.HookTo(nullptr);
    EXPECT_EQ(Probe(), (Names{"own"}));
    EXPECT_EQ(CurrentProc(m_hWnd), pfnOwn);
}

// Destroyed while a later subclass lies on the routing procedure without any watcher: the
// window's own procedure still sees the end.
TEST_F(HookRegistryTest, DestroyedWindowWithALaterSubclassAndNoWatcher) {
    const std::string sub = "sub";
    CLoggingWatcher a("a");
    a.HookTo(m_hWnd);
    ASSERT_TRUE(
        SetWindowSubclass(m_hWnd, LoggingSubclassProc, 1, reinterpret_cast<DWORD_PTR>(&sub)));
    a.HookTo(nullptr);
    g_log.clear();
    ASSERT_TRUE(DestroyWindow(m_hWnd));
    EXPECT_EQ(g_log, (Names{"own:ncdestroy"}));
}

TEST_F(HookRegistryTest, DestroyedWatcherLetsGoOfTheWindow) {
    const WNDPROC pfnOwn = CurrentProc(m_hWnd);
    CLoggingWatcher outer("outer");
    outer.HookTo(m_hWnd);
    {
        CLoggingWatcher inner("inner");
        inner.HookTo(m_hWnd);
        EXPECT_EQ(Probe(), (Names{"inner", "outer", "own"}));
    }
    EXPECT_EQ(Probe(), (Names{"outer", "own"}));
    outer.HookTo(nullptr);
    EXPECT_EQ(CurrentProc(m_hWnd), pfnOwn);
}

TEST_F(HookRegistryTest, HookingTwiceToTheSameWindowWatchesOnce) {
    CLoggingWatcher a("a");
    CLoggingWatcher b("b");
    a.HookTo(m_hWnd);
    b.HookTo(m_hWnd);
    a.HookTo(m_hWnd);  // again: it becomes the newest, it does not loop
    EXPECT_EQ(Probe(), (Names{"a", "b", "own"}));
    a.HookTo(nullptr);
    b.HookTo(nullptr);
    EXPECT_EQ(Probe(), (Names{"own"}));
}

TEST_F(HookRegistryTest, HookingToAnotherWindowMovesTheWatcher) {
    HWND hOther = CreateTestWindow();
    ASSERT_NE(hOther, nullptr);
    const WNDPROC pfnOwn = CurrentProc(m_hWnd);
    CLoggingWatcher stays("stays");
    CLoggingWatcher moves("moves");
    stays.HookTo(m_hWnd);
    moves.HookTo(m_hWnd);
    moves.HookTo(hOther);

    EXPECT_EQ(Probe(m_hWnd), (Names{"stays", "own"}));
    EXPECT_EQ(Probe(hOther), (Names{"moves", "own"}));
    stays.HookTo(nullptr);
    EXPECT_EQ(CurrentProc(m_hWnd), pfnOwn);
    EXPECT_EQ(Probe(hOther), (Names{"moves", "own"}));
    DestroyWindow(hOther);
    EXPECT_FALSE(moves.IsHooked());
}

TEST_F(HookRegistryTest, DestroyedWindowLosesAllWatchersBeforeItsOwnProcedureSeesTheEnd) {
    CLoggingWatcher a("a");
    CLoggingWatcher b("b");
    a.HookTo(m_hWnd);
    b.HookTo(m_hWnd);
    g_log.clear();
    ASSERT_TRUE(DestroyWindow(m_hWnd));

    EXPECT_EQ(g_log, (Names{"own:ncdestroy"}));  // the watchers never see it
    EXPECT_EQ(CSubclassWnd::FindNewestWatcher(m_hWnd), nullptr);
    EXPECT_FALSE(a.IsHooked());
    EXPECT_FALSE(b.IsHooked());
    EXPECT_EQ(a.GetTarget(), nullptr);
    // Unhooking after the window is gone is harmless.
    EXPECT_TRUE(a.HookTo(nullptr));
}

TEST_F(HookRegistryTest, WatchersOfDifferentWindowsDoNotMeet) {
    HWND hOther = CreateTestWindow();
    ASSERT_NE(hOther, nullptr);
    CLoggingWatcher first("first");
    CLoggingWatcher second("second");
    first.HookTo(m_hWnd);
    second.HookTo(hOther);
    EXPECT_EQ(Probe(m_hWnd), (Names{"first", "own"}));
    EXPECT_EQ(Probe(hOther), (Names{"second", "own"}));
    DestroyWindow(hOther);
    EXPECT_EQ(Probe(m_hWnd), (Names{"first", "own"}));
    EXPECT_EQ(CSubclassWnd::FindNewestWatcher(m_hWnd), &first);
}

}  // namespace
