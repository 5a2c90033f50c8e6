// The link control on a real static control of an in-memory dialog: its size after fitting,
// its colours (also in a high-contrast scheme), font, cursor, click, keyboard focus and
// accessible name; and the ".htm" fallback of opening an address, against Wine's registry.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/hyperlink.h"
#include "ui/resource.h"
#include "ui/text.h"
#include "unit/win32/dialog_template.h"

namespace {

constexpr const char kAddress[] = "http://www.orva.example/";

std::vector<std::pair<std::string, int>> g_opened;

INT_PTR RecordOpen(const std::string& target, int nShowCmd) {
    g_opened.emplace_back(target, nShowCmd);
    return 33;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A dialog holding one static 1015 that becomes a link when the dialog starts, as in the
// About box.
class CLinkHostDlg : public CDialog {
public:
    explicit CLinkHostDlg(const DLGTEMPLATE* pTemplate) : CDialog(IDD_ABOUTBOX) {
        InitIndirect(pTemplate);
    }
    CHyperLink m_link;
    std::string m_presetTarget;

protected:
    bool OnInitDialog() override {
        if (!m_presetTarget.empty()) {
            m_link.SetLinkTarget(m_presetTarget);
        }
        m_link.AttachDlgItem(m_hWnd, IDC_LINK);
        return true;
    }
};

RECT ChildRect(HWND hChild) {
    RECT rc;
    GetWindowRect(hChild, &rc);
    MapWindowPoints(nullptr, GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The columns a drawing inked on a white 32-bit bitmap of nWidth x nHeight: first and one past
// the last, {0, 0} when nothing was drawn.
template <typename Draw>
std::pair<int, int> InkedColumns(HDC hRef, int nWidth, int nHeight, Draw draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hDC = CreateCompatibleDC(hRef);
    HBITMAP hBitmap = CreateDIBSection(hDC, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    HGDIOBJ hOld = SelectObject(hDC, hBitmap);
    auto* pPixels = static_cast<DWORD*>(pBits);
    std::fill(pPixels, pPixels + nWidth * nHeight, 0x00FFFFFFu);
    draw(hDC);
    GdiFlush();
    std::pair<int, int> columns{0, 0};
    bool bAny = false;
    for (int x = 0; x < nWidth; ++x) {
        for (int y = 0; y < nHeight; ++y) {
            if ((pPixels[y * nWidth + x] & 0x00FFFFFFu) != 0x00FFFFFFu) {
                columns.first = bAny ? columns.first : x;
                columns.second = x + 1;
                bAny = true;
                break;
            }
        }
    }
    SelectObject(hDC, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hDC);
    return columns;
}

// The width a text covers when drawn in a font with nothing clipping it: its advance width, or
// the last inked column where the renderer draws beyond that.
int DrawnTextWidth(HDC hRef, HFONT hFont, const char* pszText, SIZE extent) {
    const auto columns = InkedColumns(hRef, 2 * extent.cx + 64, extent.cy, [&](HDC hDC) {
        SelectObject(hDC, hFont);
        SetBkMode(hDC, TRANSPARENT);
        TextOutA(hDC, 0, 0, pszText, lstrlenA(pszText));
    });
    return std::max<int>(extent.cx, columns.second);
}

// The size the control needs: its text as drawn in the underlined font plus its borders.
SIZE NeededSize(HWND hControl, HFONT hFont) {
    char szText[256] = {};
    GetWindowTextA(hControl, szText, sizeof szText);
    HDC hDC = GetDC(hControl);
    HGDIOBJ hOld = SelectObject(hDC, hFont);
    SIZE extent{};
    GetTextExtentPoint32A(hDC, szText, lstrlenA(szText), &extent);
    SelectObject(hDC, hOld);
    extent.cx = DrawnTextWidth(hDC, hFont, szText, extent);
    ReleaseDC(hControl, hDC);
    RECT rcWindow;
    RECT rcClient;
    GetWindowRect(hControl, &rcWindow);
    GetClientRect(hControl, &rcClient);
    return {extent.cx + (rcWindow.right - rcWindow.left) - rcClient.right,
            extent.cy + (rcWindow.bottom - rcWindow.top) - rcClient.bottom};
}

bool IsUnderlined(HFONT hFont) {
    LOGFONTA logFont{};
    return GetObjectA(hFont, sizeof logFont, &logFont) != 0 && logFont.lfUnderline != 0;
}

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_opened.clear();
        CHyperLink::SetLinkOpener(RecordOpen);
    }
    void TearDown() override {
        CHyperLink::SetLinkOpener(nullptr);
        CHyperLink::SetHighContrastQuery(nullptr);
        if (m_pDialog != nullptr) {
            m_pDialog->DestroyWindow();
            m_pDialog.reset();
        }
    }

    // A dialog (hidden: nothing here needs it on the screen) with static 1015 of the given style,
    // size and text; with bOkButton the About box's default OK button comes before it, and
    // nPoints is the size of the dialog's font.
    HWND Open(DWORD nStyle, short cx, short cy, const char* pszText, std::string presetTarget = {},
              bool bOkButton = false, WORD nPoints = 8) {
        m_template = std::make_unique<CDialogTemplate>(WS_POPUP | WS_CAPTION, 20, 20, 221, 132,
                                                       "Link test", nPoints);
        if (bOkButton) {
            m_template->Add(CDialogTemplate::kButton, IDOK,
                            BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 134, 111, 50, 14, "OK");
        }
        m_template->Add(CDialogTemplate::kStatic, IDC_LINK, nStyle, 90, 85, cx, cy, pszText);
        m_pDialog = std::make_unique<CLinkHostDlg>(m_template->Get());
        m_pDialog->m_presetTarget = std::move(presetTarget);
        EXPECT_TRUE(m_pDialog->Create());
        PumpMessages();
        m_hLink = m_pDialog->GetDlgItem(IDC_LINK);
        return m_hLink;
    }

    COLORREF TextColourOnColourRequest(HBRUSH* pBrush = nullptr, int* pBkMode = nullptr) {
        HDC hDC = GetDC(m_hLink);
        const LRESULT nBrush =
            SendMessageA(m_pDialog->GetSafeHwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hDC),
                         reinterpret_cast<LPARAM>(m_hLink));
        const COLORREF colour = GetTextColor(hDC);
        if (pBrush != nullptr) {
            *pBrush = reinterpret_cast<HBRUSH>(nBrush);
        }
        if (pBkMode != nullptr) {
            *pBkMode = GetBkMode(hDC);
        }
        ReleaseDC(m_hLink, hDC);
        return colour;
    }

    std::unique_ptr<CDialogTemplate> m_template;
    std::unique_ptr<CLinkHostDlg> m_pDialog;
    HWND m_hLink = nullptr;
};

// Fitting keeps the edge the alignment names and gives the control the size of its text plus
// its borders.
struct FitCase {
    const char* name;
    DWORD nStyle;
    short cx;
    short cy;
};

class HyperLinkFitTest : public HyperLinkTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(HyperLinkFitTest, KeepsTheAlignedEdgeAndTakesTheSizeOfTheText) {
    const FitCase& c = GetParam();
    // The rectangle the template gives, before the link fitted it.
    CDialogTemplate plain(WS_POPUP | WS_CAPTION, 20, 20, 221, 132, "Plain");
    plain.Add(CDialogTemplate::kStatic, IDC_LINK, c.nStyle, 90, 85, c.cx, c.cy, kAddress);
    CDialog plainDialog(IDD_ABOUTBOX);
    plainDialog.InitIndirect(plain.Get());
    ASSERT_TRUE(plainDialog.Create());
    const RECT rcBefore = ChildRect(plainDialog.GetDlgItem(IDC_LINK));
    plainDialog.DestroyWindow();

    ASSERT_NE(Open(c.nStyle, c.cx, c.cy, kAddress), nullptr);
    const RECT rc = ChildRect(m_hLink);
    const SIZE needed = NeededSize(m_hLink, m_pDialog->m_link.GetUnderlineFont());
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;
    const int nOldWidth = rcBefore.right - rcBefore.left;
    const int nOldHeight = rcBefore.bottom - rcBefore.top;

    if ((c.nStyle & SS_CENTER) != 0) {
        EXPECT_EQ(rc.left + rc.right, rcBefore.left + rcBefore.right) << "centre moved";
        EXPECT_EQ(nWidth, needed.cx + (nOldWidth - needed.cx) % 2);
    } else if ((c.nStyle & SS_RIGHT) != 0) {
        EXPECT_EQ(rc.right, rcBefore.right);
        EXPECT_EQ(nWidth, needed.cx);
    } else {
        EXPECT_EQ(rc.left, rcBefore.left);
        EXPECT_EQ(nWidth, needed.cx);
    }
    if ((c.nStyle & SS_CENTERIMAGE) != 0) {
        EXPECT_EQ(rc.top + rc.bottom, rcBefore.top + rcBefore.bottom) << "vertical centre moved";
        EXPECT_EQ(nHeight, needed.cy + (nOldHeight - needed.cy) % 2);
    } else {
        EXPECT_EQ(rc.top, rcBefore.top);
        EXPECT_EQ(nHeight, needed.cy);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Alignments, HyperLinkFitTest,
    ::testing::Values(
        FitCase{"LeftShrinks", SS_LEFT, 150, 20}, FitCase{"LeftGrows", SS_LEFT, 10, 4},
        FitCase{"RightShrinks", SS_RIGHT, 150, 8}, FitCase{"RightGrows", SS_RIGHT, 10, 8},
        FitCase{"CentreShrinks", SS_CENTER, 151, 8}, FitCase{"CentreGrows", SS_CENTER, 11, 8},
        FitCase{"BorderedLeft", SS_LEFT | WS_BORDER, 150, 14},
        FitCase{"BorderedCentre", SS_CENTER | WS_BORDER, 150, 14},
        FitCase{"CentredVertically", SS_LEFT | SS_CENTERIMAGE, 150, 31},
        FitCase{"CentredBothWays", SS_CENTER | SS_CENTERIMAGE, 150, 30}),
    [](const ::testing::TestParamInfo<FitCase>& info) { return info.param.name; });

TEST_F(HyperLinkTest, TheTemplateTextBecomesTheTargetAndClicksAreReported) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    EXPECT_EQ(m_pDialog->m_link.GetLinkTarget(), kAddress);
    EXPECT_NE(GetWindowLongPtrA(m_hLink, GWL_STYLE) & SS_NOTIFY, 0);
}

TEST_F(HyperLinkTest, AnEmptyControlShowsATargetSetBeforehand) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, "", kAddress), nullptr);
    EXPECT_EQ(GetWindowTextString(m_hLink), kAddress);
    EXPECT_EQ(m_pDialog->m_link.GetLinkTarget(), kAddress);
}

TEST_F(HyperLinkTest, ATargetSetBeforehandDoesNotChangeTheText) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, "Our web page", kAddress), nullptr);
    EXPECT_EQ(GetWindowTextString(m_hLink), "Our web page");
    EXPECT_EQ(m_pDialog->m_link.GetLinkTarget(), kAddress);
}

TEST_F(HyperLinkTest, SettingANewTargetFitsTheControlToItsNewTextButKeepsTheText) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, "x"), nullptr);
    const RECT rcShort = ChildRect(m_hLink);
    SetWindowTextA(m_hLink, kAddress);
    m_pDialog->m_link.SetLinkTarget("http://other.example/");
    const RECT rcLong = ChildRect(m_hLink);
    EXPECT_EQ(rcLong.left, rcShort.left);
    EXPECT_EQ(rcLong.right - rcLong.left,
              NeededSize(m_hLink, m_pDialog->m_link.GetUnderlineFont()).cx);
    EXPECT_GT(rcLong.right, rcShort.right);
    EXPECT_EQ(GetWindowTextString(m_hLink), kAddress);
    EXPECT_EQ(m_pDialog->m_link.GetLinkTarget(), "http://other.example/");
}

TEST_F(HyperLinkTest, LinkColourThenHoverColourWithTheUnderlinedFontThroughout) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(m_hLink, WM_GETFONT, 0, 0));
    EXPECT_EQ(hFont, m_pDialog->m_link.GetUnderlineFont());
    EXPECT_TRUE(IsUnderlined(hFont));

    HBRUSH hBrush = nullptr;
    int nBkMode = 0;
    EXPECT_EQ(TextColourOnColourRequest(&hBrush, &nBkMode), RGB(46, 84, 114));
    EXPECT_EQ(hBrush, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(nBkMode, TRANSPARENT);

    SendMessageA(m_hLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(m_pDialog->m_link.IsHovering());
    EXPECT_EQ(TextColourOnColourRequest(), RGB(236, 136, 38));
    EXPECT_TRUE(IsUnderlined(reinterpret_cast<HFONT>(SendMessageA(m_hLink, WM_GETFONT, 0, 0))));
}

TEST_F(HyperLinkTest, TheHoverEndsOnlyWhenATimerTickFindsThePointerOutside) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    RECT rc;
    GetWindowRect(m_hLink, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageA(m_hLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    ASSERT_TRUE(m_pDialog->m_link.IsHovering());

    PostMessageA(m_hLink, WM_TIMER, CHyperLink::kHoverTimerId, 0);
    PumpMessages();
    EXPECT_TRUE(m_pDialog->m_link.IsHovering()) << "the pointer is still over the link";

    SetCursorPos(rc.right + 200, rc.bottom + 200);
    PostMessageA(m_hLink, WM_TIMER, CHyperLink::kHoverTimerId, 0);
    PumpMessages();
    EXPECT_FALSE(m_pDialog->m_link.IsHovering());
    EXPECT_EQ(TextColourOnColourRequest(), RGB(46, 84, 114));
}

TEST_F(HyperLinkTest, AClickOpensTheTargetWithShowAndEndsTheHover) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    SendMessageA(m_hLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    // A real press on the static: it reports the click only because the link made it notify.
    SendMessageA(m_hLink, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(m_hLink, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PumpMessages();
    ASSERT_EQ(g_opened.size(), 1u);
    EXPECT_EQ(g_opened[0].first, kAddress);
    EXPECT_EQ(g_opened[0].second, SW_SHOW);
    EXPECT_FALSE(m_pDialog->m_link.IsHovering());
}

TEST_F(HyperLinkTest, TheHandCursorIsShownOverTheLink) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    HCURSOR hHand = m_pDialog->m_link.GetHandCursor();
    ASSERT_NE(hHand, nullptr) << "neither the help viewer's nor the system's hand cursor";
    EXPECT_TRUE(SendMessageA(m_hLink, WM_SETCURSOR, reinterpret_cast<WPARAM>(m_hLink),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), hHand);
}

TEST_F(HyperLinkTest, ALinkObjectThatGoesFirstGivesTheControlItsFontBackAndFreesItsOwn) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    m_pDialog->m_link.Detach();
    HFONT hOriginal = reinterpret_cast<HFONT>(SendMessageA(m_hLink, WM_GETFONT, 0, 0));
    auto pLink = std::make_unique<CHyperLink>();
    ASSERT_TRUE(pLink->Attach(m_hLink));
    HFONT hUnderline = pLink->GetUnderlineFont();
    ASSERT_NE(hUnderline, nullptr);
    ASSERT_EQ(reinterpret_cast<HFONT>(SendMessageA(m_hLink, WM_GETFONT, 0, 0)), hUnderline);

    pLink.reset();  // the control outlives the object
    EXPECT_EQ(GetObjectType(hUnderline), 0u) << "the underlined font was not freed";
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(m_hLink, WM_GETFONT, 0, 0)), hOriginal);
    // Messages to the control no longer reach the object: this would crash otherwise.
    SendMessageA(m_hLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    SendMessageA(m_pDialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_LINK, STN_CLICKED),
                 reinterpret_cast<LPARAM>(m_hLink));
    EXPECT_TRUE(g_opened.empty());
}

TEST_F(HyperLinkTest, TheLinkCanBeAttachedAgainAfterItsWindowWasDestroyed) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress), nullptr);
    m_pDialog->DestroyWindow();
    EXPECT_EQ(m_pDialog->m_link.GetSafeHwnd(), nullptr);
    ASSERT_TRUE(m_pDialog->Create());
    m_hLink = m_pDialog->GetDlgItem(IDC_LINK);
    EXPECT_EQ(m_pDialog->m_link.GetSafeHwnd(), m_hLink);
    EXPECT_EQ(ChildRect(m_hLink).right - ChildRect(m_hLink).left,
              NeededSize(m_hLink, m_pDialog->m_link.GetUnderlineFont()).cx);
}

// The control shows its whole text: painted by the static itself (clipped to its client
// area) it inks the same columns as the text drawn freely in the control's own font. Under Wine
// some glyphs ("w" of the face standing in for "MS Sans Serif") are drawn wider than measured,
// which cut off the last letters of the About box's address. The dialog font of 10, 12 and 16
// points is the 8-point font at 125, 150 and 200 % scaling: the link's font is the dialog's
// font, underlined, at every size.
struct PaintCase {
    const char* pszText;
    WORD nPoints;
};

class HyperLinkPaintTest : public HyperLinkTest, public ::testing::WithParamInterface<PaintCase> {};

TEST_P(HyperLinkPaintTest, TheWholeUnderlinedTextIsPaintedInTheDialogFont) {
    const char* pszText = GetParam().pszText;
    // The About box's layout: template text, then the address set when the box starts.
    ASSERT_NE(Open(SS_LEFT, 76, 8, "http://www.orva.com", {}, false, GetParam().nPoints), nullptr);
    SetWindowTextA(m_hLink, pszText);
    m_pDialog->m_link.SetLinkTarget(pszText);

    HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(m_hLink, WM_GETFONT, 0, 0));
    ASSERT_EQ(hFont, m_pDialog->m_link.GetUnderlineFont());
    LOGFONTA dialogFont{};
    LOGFONTA linkFont{};
    ASSERT_NE(GetObjectA(
                  reinterpret_cast<HFONT>(SendMessageA(m_pDialog->GetSafeHwnd(), WM_GETFONT, 0, 0)),
                  sizeof dialogFont, &dialogFont),
              0);
    ASSERT_NE(GetObjectA(hFont, sizeof linkFont, &linkFont), 0);
    EXPECT_EQ(linkFont.lfHeight, dialogFont.lfHeight) << GetParam().nPoints << " points";
    EXPECT_STREQ(linkFont.lfFaceName, dialogFont.lfFaceName);
    EXPECT_TRUE(linkFont.lfUnderline);

    RECT rcClient;
    GetClientRect(m_hLink, &rcClient);
    HDC hRef = GetDC(m_hLink);
    const int nWidth = 2 * rcClient.right + 64;
    const auto painted = InkedColumns(hRef, nWidth, rcClient.bottom, [&](HDC hDC) {
        SendMessageA(m_hLink, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hDC), PRF_CLIENT);
    });
    const auto free = InkedColumns(hRef, nWidth, rcClient.bottom, [&](HDC hDC) {
        SelectObject(hDC, hFont);
        SetBkMode(hDC, TRANSPARENT);
        TextOutA(hDC, 0, 0, pszText, lstrlenA(pszText));
    });
    ReleaseDC(m_hLink, hRef);
    EXPECT_GT(free.second, 0) << "nothing drawn";
    EXPECT_EQ(painted, free) << "client width " << rcClient.right;
    EXPECT_LE(free.second, rcClient.right);
    EXPECT_EQ(rcClient.bottom, NeededSize(m_hLink, hFont).cy) << "the text's full height";
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, HyperLinkPaintTest,
    ::testing::Values(PaintCase{"http://www.orva.de", 8}, PaintCase{"http://www.orva.com", 8},
                      PaintCase{"http://www.orva.fr", 8}, PaintCase{"wwwwwwwwww", 8},
                      PaintCase{"Mavris", 8}, PaintCase{kAddress, 8},
                      PaintCase{"http://www.orva.de", 10}, PaintCase{"http://www.orva.com", 10},
                      PaintCase{"http://www.orva.de", 12}, PaintCase{"http://www.orva.com", 12},
                      PaintCase{"http://www.orva.de", 16}, PaintCase{"http://www.orva.com", 16}));

// What the control paints of its client area on white, pixel by pixel.
std::vector<COLORREF> Painted(HWND hControl) {
    RECT rc;
    GetClientRect(hControl, &rc);
    std::vector<COLORREF> pixels;
    HDC hRef = GetDC(hControl);
    InkedColumns(hRef, rc.right, rc.bottom, [&](HDC hDC) {
        SendMessageA(hControl, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hDC), PRF_CLIENT);
        for (int n = 0; n < rc.right * rc.bottom; ++n) {
            pixels.push_back(GetPixel(hDC, n % rc.right, n / rc.right));
        }
    });
    ReleaseDC(hControl, hRef);
    return pixels;
}

TEST_F(HyperLinkTest, TabReachesTheLinkWhichShowsItsFocusAndIsNamedByItsText) {
    ASSERT_NE(Open(SS_LEFT, 150, 8, kAddress, {}, true), nullptr);
    SetFocus(m_pDialog->GetDlgItem(IDOK));
    const std::vector<COLORREF> unfocused = Painted(m_hLink);
    MSG tab{GetFocus(), WM_KEYDOWN, VK_TAB, 1, 0, {}};
    EXPECT_TRUE(IsDialogMessageA(m_pDialog->GetSafeHwnd(), &tab));
    ASSERT_EQ(GetFocus(), m_hLink) << "Tab goes from OK to the link";
    EXPECT_NE(Painted(m_hLink), unfocused) << "no focus cue";

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
}

// In a high-contrast scheme (the colours of Windows' "High Contrast Black" here) the text and
// background are the scheme's hyperlink on window colours, or its selection's colours while the
// pointer is over the link: never the link's own dark blue on the scheme's black.
TEST_F(HyperLinkTest, InAHighContrastSchemeTheColoursAreTheSchemes) {
    const int kIndexes[] = {COLOR_BTNFACE, COLOR_WINDOW, COLOR_HOTLIGHT, COLOR_HIGHLIGHT,
                            COLOR_HIGHLIGHTTEXT};
    const COLORREF kScheme[] = {RGB(0, 0, 0), RGB(0, 0, 0), RGB(255, 255, 0), RGB(26, 235, 255),
                                RGB(0, 0, 0)};
    COLORREF saved[std::size(kIndexes)];
    for (std::size_t i = 0; i < std::size(kIndexes); ++i) {
        saved[i] = GetSysColor(kIndexes[i]);
    }
    SetSysColors(static_cast<int>(std::size(kIndexes)), kIndexes, kScheme);
    CHyperLink::SetHighContrastQuery([] { return true; });
    if (Open(SS_LEFT, 150, 8, kAddress) != nullptr) {
        for (const bool bHover : {false, true}) {
            if (bHover) {
                SendMessageA(m_hLink, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            }
            EXPECT_EQ(TextColourOnColourRequest(), bHover ? RGB(0, 0, 0) : RGB(255, 255, 0));
            COLORREF crBackground = CLR_INVALID;
            HDC hRef = GetDC(m_hLink);
            InkedColumns(hRef, 4, 4, [&](HDC hDC) {
                SendMessageA(m_hLink, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
                crBackground = GetPixel(hDC, 1, 1);
            });
            ReleaseDC(m_hLink, hRef);
            EXPECT_EQ(crBackground, bHover ? RGB(26, 235, 255) : RGB(0, 0, 0));
        }
    }
    SetSysColors(static_cast<int>(std::size(kIndexes)), kIndexes, saved);
}

// The command line built from a registered ".htm" open command: cut at the placeholder, a
// blank and the address appended, and refused when it would not fit the 520-byte buffer.
struct ComposeCase {
    const char* name;
    std::string registered;
    std::string address;
    bool bOk;
    std::string expected;
};

class ComposeOpenCommandTest : public ::testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeOpenCommandTest, BuildsOrRefuses) {
    const ComposeCase& c = GetParam();
    std::string command = "stale";
    EXPECT_EQ(ComposeOpenCommand(c.registered, c.address, CHyperLink::kCommandBufferSize, &command),
              c.bOk);
    EXPECT_EQ(command, c.bOk ? c.expected : std::string());
}

const std::string kLongCommand = "C:\\b.exe " + std::string(191, 'o');  // 200 characters

INSTANTIATE_TEST_SUITE_P(
    Commands, ComposeOpenCommandTest,
    ::testing::Values(ComposeCase{"QuotedPlaceholderDropsItAndWhatFollows",
                                  "\"C:\\Browser\\b.exe\" -nohome \"%1\" -extra", kAddress, true,
                                  std::string("\"C:\\Browser\\b.exe\" -nohome  ") + kAddress},
                      ComposeCase{"BarePlaceholder", "C:\\b.exe -url %1 -x", kAddress, true,
                                  std::string("C:\\b.exe -url  ") + kAddress},
                      ComposeCase{"QuotedPlaceholderWinsOverAnEarlierBareOne",
                                  "C:\\b.exe %1x \"%1\"", "a", true, "C:\\b.exe %1x  a"},
                      ComposeCase{"NoPlaceholder", "C:\\b.exe", kAddress, true,
                                  std::string("C:\\b.exe ") + kAddress},
                      ComposeCase{"OnlyThePlaceholderLeavesNothingToRun", "\"%1\"", kAddress, false,
                                  ""},
                      ComposeCase{"EmptyCommand", "", kAddress, false, ""},
                      ComposeCase{"BlanksOnly", "   ", kAddress, false, ""},
                      ComposeCase{"FillsTheBufferExactly", kLongCommand, std::string(318, 'a'),
                                  true, kLongCommand + " " + std::string(318, 'a')},
                      ComposeCase{"OneByteTooLong", kLongCommand, std::string(319, 'a'), false, ""},
                      ComposeCase{"FarTooLong", kLongCommand, std::string(5000, 'a'), false, ""}),
    [](const ::testing::TestParamInfo<ComposeCase>& info) { return info.param.name; });

void DeleteKeyTree(HKEY hParent, const char* pszPath) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hParent, pszPath, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS) {
        return;
    }
    char szChild[MAX_PATH];
    while (RegEnumKeyA(hKey, 0, szChild, sizeof szChild) == ERROR_SUCCESS) {
        DeleteKeyTree(hKey, szChild);
    }
    RegCloseKey(hKey);
    RegDeleteKeyA(hParent, pszPath);
}

// The ".htm" lookup against Wine's registry, in a classes tree of its own below HKCU.
class HtmRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = "Software\\MavrisTest\\HtmClasses" + std::to_string(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &m_hRoot, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(m_hRoot);
        DeleteKeyTree(HKEY_CURRENT_USER, m_path.c_str());
    }
    void SetDefault(const char* pszSubKey, const std::string& value) {
        ASSERT_EQ(RegSetValueA(m_hRoot, pszSubKey, REG_SZ, value.c_str(),
                               static_cast<DWORD>(value.size())),
                  ERROR_SUCCESS);
    }
    void CreateKey(const char* pszSubKey) {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyA(m_hRoot, pszSubKey, &hKey), ERROR_SUCCESS);
        RegCloseKey(hKey);
    }

    std::string m_path;
    HKEY m_hRoot = nullptr;
};

TEST_F(HtmRegistryTest, TheRegisteredCommandOpensTheAddress) {
    SetDefault(".htm", "htmlfile");
    SetDefault("htmlfile\\shell\\open\\command", "\"C:\\b.exe\" -nohome \"%1\"");
    std::string command;
    ASSERT_TRUE(BuildHtmOpenCommand(m_hRoot, kAddress, &command));
    EXPECT_EQ(command, std::string("\"C:\\b.exe\" -nohome  ") + kAddress);
}

TEST_F(HtmRegistryTest, NothingIsRunWithoutAUsableRegistration) {
    std::string command;
    EXPECT_FALSE(BuildHtmOpenCommand(m_hRoot, kAddress, &command)) << "no .htm key";

    CreateKey(".htm");
    EXPECT_FALSE(BuildHtmOpenCommand(m_hRoot, kAddress, &command)) << ".htm without a class";

    SetDefault(".htm", "htmlfile");
    EXPECT_FALSE(BuildHtmOpenCommand(m_hRoot, kAddress, &command)) << "no command key";

    CreateKey("htmlfile\\shell\\open\\command");
    EXPECT_FALSE(BuildHtmOpenCommand(m_hRoot, kAddress, &command)) << "command key without value";
    EXPECT_TRUE(command.empty());
}

TEST_F(HtmRegistryTest, ADefaultValueTooLongForItsBufferIsNeverUsedCut) {
    SetDefault(".htm", "htmlfile");
    const std::string fits = "C:\\b.exe " + std::string(250, 'o');  // 259 characters and NUL
    SetDefault("htmlfile\\shell\\open\\command", fits);
    std::string command;
    ASSERT_TRUE(BuildHtmOpenCommand(m_hRoot, "a", &command));
    EXPECT_EQ(command, fits + " a");

    const std::string tooLong = fits + "o";
    SetDefault("htmlfile\\shell\\open\\command", tooLong);
    std::string value = "stale";
    EXPECT_EQ(ReadRegDefault(m_hRoot, "htmlfile\\shell\\open\\command", &value), ERROR_MORE_DATA);
    EXPECT_TRUE(value.empty());
    EXPECT_FALSE(BuildHtmOpenCommand(m_hRoot, "a", &command));
    EXPECT_TRUE(command.empty());

    SetDefault(".htm", std::string(300, 'c'));
    EXPECT_FALSE(BuildHtmOpenCommand(m_hRoot, "a", &command)) << "class name too long";
}

}  // namespace
