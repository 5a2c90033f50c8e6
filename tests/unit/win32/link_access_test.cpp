// The link for users of the keyboard, of a screen reader and of a high-contrast scheme: Tab
// reaches it, Enter and Space open it, it shows a focus cue, its accessible name is its text;
// in a high-contrast scheme its colours are the scheme's and readable.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "unit/win32/hyperlink_test_host.h"

namespace {

using namespace link_test;

constexpr LPARAM kRepeat = 0x40000000;  // the key was down before: an auto-repeat

// One key press as a dialog's message loop handles it: the dialog manager first.
void PressKey(HWND hDialog, UINT nKey, LPARAM nFlags = 0) {
    MSG msg{};
    msg.hwnd = GetFocus();
    msg.message = WM_KEYDOWN;
    msg.wParam = nKey;
    msg.lParam = nFlags | 1;
    if (!IsDialogMessageA(hDialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    PumpMessages();
}

// What the control paints of its client area on white: one 0x00RRGGBB per pixel, row by row.
std::vector<DWORD> PaintedPixels(HWND hControl) {
    RECT rc;
    GetClientRect(hControl, &rc);
    std::vector<DWORD> pixels;
    HDC hRef = GetDC(hControl);
    InkedColumns(hRef, rc.right, rc.bottom, [&](HDC hDC) {
        SendMessageA(hControl, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hDC), PRF_CLIENT);
        for (int y = 0; y < rc.bottom; ++y) {
            for (int x = 0; x < rc.right; ++x) {
                pixels.push_back(GetPixel(hDC, x, y));
            }
        }
    });
    ReleaseDC(hControl, hRef);
    return pixels;
}

// Pixels that differ between two paintings; false when any of them lies off the client area's
// border (a focus cue is drawn on the border only).
bool DifferOnTheBorderOnly(HWND hControl, const std::vector<DWORD>& a, const std::vector<DWORD>& b,
                           int* pCount) {
    RECT rc;
    GetClientRect(hControl, &rc);
    *pCount = 0;
    bool bBorderOnly = true;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) {
            const int x = static_cast<int>(i % rc.right);
            const int y = static_cast<int>(i / rc.right);
            ++*pCount;
            bBorderOnly =
                bBorderOnly && (x == 0 || y == 0 || x == rc.right - 1 || y == rc.bottom - 1);
        }
    }
    return bBorderOnly;
}

// A window that hides focus cues, as Windows' windows do until the keyboard is used.
LRESULT CALLBACK HideCues(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    return nMsg == WM_QUERYUISTATE ? UISF_HIDEFOCUS : DefSubclassProc(hWnd, nMsg, wParam, lParam);
}

class HyperLinkKeyboardTest : public HyperLinkTest {
protected:
    void SetUp() override {
        HyperLinkTest::SetUp();
        ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress, {}, true), nullptr);
        m_hDialog = m_pDialog->GetSafeHwnd();
        m_hOk = m_pDialog->GetDlgItem(IDOK);
        SetFocus(m_hOk);
        PumpMessages();
    }

    HWND m_hDialog = nullptr;
    HWND m_hOk = nullptr;
};

TEST_F(HyperLinkKeyboardTest, TabReachesTheLinkWhichShowsItsFocusAndIsNamedByItsText) {
    EXPECT_NE(GetWindowLongPtrA(m_hLink, GWL_STYLE) & WS_TABSTOP, 0);
    const std::vector<DWORD> unfocused = PaintedPixels(m_hLink);

    PressKey(m_hDialog, VK_TAB);
    ASSERT_EQ(GetFocus(), m_hLink) << "Tab goes from OK to the link";
    // The Tab also made the dialog show focus cues, as Windows does once the keyboard is used.
    int nChanged = 0;
    EXPECT_TRUE(DifferOnTheBorderOnly(m_hLink, unfocused, PaintedPixels(m_hLink), &nChanged));
    EXPECT_GT(nChanged, 0) << "no focus cue";
    // Where the window hides focus cues (Windows does until the keyboard is used; Wine keeps no
    // such state, so a second subclass answers for it), none is drawn.
    ASSERT_TRUE(SetWindowSubclass(m_hLink, HideCues, 1, 0));
    EXPECT_TRUE(DifferOnTheBorderOnly(m_hLink, unfocused, PaintedPixels(m_hLink), &nChanged));
    EXPECT_EQ(nChanged, 0) << "a focus cue while the window hides them";
    RemoveWindowSubclass(m_hLink, HideCues, 1);

    // What a screen reader asks of the focused control.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IAccessible* pAccessible = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(m_hLink, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&pAccessible)),
              S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(pAccessible->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name != nullptr ? name : L""), L"http://www.orva.example/");
    SysFreeString(name);
    pAccessible->Release();
    CoUninitialize();

    PressKey(m_hDialog, VK_TAB);
    EXPECT_EQ(GetFocus(), m_hOk) << "and on to OK again";
    EXPECT_TRUE(DifferOnTheBorderOnly(m_hLink, unfocused, PaintedPixels(m_hLink), &nChanged));
    EXPECT_EQ(nChanged, 0) << "the focus cue stays behind";
}

// A key pressed with the focus on the link or on OK: what opens and what is pressed.
struct KeyCase {
    const char* name;
    bool bOnLink;
    UINT nKey;
    LPARAM nFlags;
    int nOpens;
    int nOk;
};

class HyperLinkKeyTest : public HyperLinkKeyboardTest,
                         public ::testing::WithParamInterface<KeyCase> {};

TEST_P(HyperLinkKeyTest, OpensOrPresses) {
    const KeyCase& c = GetParam();
    SetFocus(c.bOnLink ? m_hLink : m_hOk);
    PressKey(m_hDialog, c.nKey, c.nFlags);
    EXPECT_EQ(static_cast<int>(g_opened.size()), c.nOpens);
    for (const auto& [target, nShowCmd] : g_opened) {
        EXPECT_EQ(target, kAddress);
        EXPECT_EQ(nShowCmd, SW_SHOW);
    }
    EXPECT_EQ(m_pDialog->m_nOk, c.nOk);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, HyperLinkKeyTest,
    ::testing::Values(KeyCase{"EnterOnTheLinkOpensIt", true, VK_RETURN, 0, 1, 0},
                      KeyCase{"SpaceOnTheLinkOpensIt", true, VK_SPACE, 0, 1, 0},
                      KeyCase{"AHeldEnterDoesNotOpenItAgain", true, VK_RETURN, kRepeat, 0, 0},
                      KeyCase{"AHeldSpaceDoesNotOpenItAgain", true, VK_SPACE, kRepeat, 0, 0},
                      KeyCase{"ALetterOnTheLinkDoesNothing", true, 'A', 0, 0, 0},
                      KeyCase{"EnterOnOkPressesOk", false, VK_RETURN, 0, 0, 1},
                      KeyCase{"SpaceOnOkOpensNothing", false, VK_SPACE, 0, 0, 0}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

// A high-contrast scheme, as Windows' "High Contrast Black" sets the system colours.
struct SchemeColour {
    int nIndex;
    COLORREF cr;
};
constexpr SchemeColour kHighContrastBlack[] = {
    {COLOR_BTNFACE, RGB(0, 0, 0)},       {COLOR_BTNTEXT, RGB(255, 255, 255)},
    {COLOR_WINDOW, RGB(0, 0, 0)},        {COLOR_WINDOWTEXT, RGB(255, 255, 255)},
    {COLOR_HOTLIGHT, RGB(255, 255, 0)},  {COLOR_HIGHLIGHT, RGB(26, 235, 255)},
    {COLOR_HIGHLIGHTTEXT, RGB(0, 0, 0)},
};

// The contrast ratio of two colours as the accessibility guidelines define it (1 to 21).
double ContrastRatio(COLORREF a, COLORREF b) {
    const auto luminance = [](COLORREF cr) {
        const auto channel = [](int n) {
            const double c = n / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(GetRValue(cr)) + 0.7152 * channel(GetGValue(cr)) +
               0.0722 * channel(GetBValue(cr));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The link's text colour and background, with and without a high-contrast scheme, the pointer
// away from or over it. nText: a system colour, or -1 for the link's own, -2 its hover colour.
struct ColourCase {
    const char* name;
    bool bHighContrast;
    bool bHover;
    int nText;
    int nBackground;
};

bool g_bHighContrast = false;

class HyperLinkColourTest : public HyperLinkTest, public ::testing::WithParamInterface<ColourCase> {
protected:
    void SetUp() override {
        HyperLinkTest::SetUp();
        g_bHighContrast = GetParam().bHighContrast;
        CHyperLink::SetHighContrastQuery([] { return g_bHighContrast; });
        if (g_bHighContrast) {
            for (const SchemeColour& colour : kHighContrastBlack) {
                m_saved.push_back({colour.nIndex, GetSysColor(colour.nIndex)});
                SetSysColors(1, &colour.nIndex, &colour.cr);
            }
        }
    }
    void TearDown() override {
        for (const SchemeColour& colour : m_saved) {
            SetSysColors(1, &colour.nIndex, &colour.cr);
        }
        CHyperLink::SetHighContrastQuery(nullptr);
        HyperLinkTest::TearDown();
    }

    std::vector<SchemeColour> m_saved;
};

TEST_P(HyperLinkColourTest, TextAndBackgroundComeFromTheSchemeWhileItIsOn) {
    const ColourCase& c = GetParam();
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    if (c.bHover) {
        SendMessageA(m_hLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    }
    const COLORREF crText = TextColourOnColourRequest();
    const COLORREF crWanted = c.nText == -1   ? CHyperLink::kLinkColour
                              : c.nText == -2 ? CHyperLink::kHoverColour
                                              : GetSysColor(c.nText);
    EXPECT_EQ(crText, crWanted);

    // The background the link erases its client area with.
    HDC hRef = GetDC(m_hLink);
    COLORREF crBackground = CLR_INVALID;
    InkedColumns(hRef, 4, 4, [&](HDC hDC) {
        SendMessageA(m_hLink, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
        crBackground = GetPixel(hDC, 1, 1);
    });
    ReleaseDC(m_hLink, hRef);
    EXPECT_EQ(crBackground, GetSysColor(c.nBackground));
    if (c.bHighContrast) {
        // Nothing dark on dark: the scheme's pairs are meant to be read together.
        EXPECT_GE(ContrastRatio(crText, crBackground), 7.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, HyperLinkColourTest,
    ::testing::Values(ColourCase{"Normal", false, false, -1, COLOR_BTNFACE},
                      ColourCase{"NormalHover", false, true, -2, COLOR_BTNFACE},
                      ColourCase{"HighContrast", true, false, COLOR_HOTLIGHT, COLOR_WINDOW},
                      ColourCase{"HighContrastHover", true, true, COLOR_HIGHLIGHTTEXT,
                                 COLOR_HIGHLIGHT}),
    [](const ::testing::TestParamInfo<ColourCase>& info) { return info.param.name; });

}  // namespace
