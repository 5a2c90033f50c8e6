// The link tests' host: an in-memory dialog whose static 1015 becomes a link when the dialog
// starts, as in the About box, with an OK button before it when asked; a record of what the link
// opened; and measures of what the control paints.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog.h"
#include "ui/hyperlink.h"
#include "ui/resource.h"
#include "ui/text.h"
#include "unit/win32/dialog_template.h"

namespace link_test {

inline constexpr const char kAddress[] = "http://www.orva.example/";

inline std::vector<std::pair<std::string, int>> g_opened;

inline INT_PTR RecordOpen(const std::string& target, int nShowCmd) {
    g_opened.emplace_back(target, nShowCmd);
    return 33;
}

inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A dialog holding one static 1015 that becomes a link when the dialog starts, as in the
// About box; it counts the presses of its OK button instead of closing.
class CLinkHostDlg : public CDialog {
public:
    explicit CLinkHostDlg(const DLGTEMPLATE* pTemplate) : CDialog(IDD_ABOUTBOX) {
        InitIndirect(pTemplate);
    }
    CHyperLink m_link;
    std::string m_presetTarget;
    int m_nOk = 0;

protected:
    void OnOK() override { ++m_nOk; }
    bool OnInitDialog() override {
        if (!m_presetTarget.empty()) {
            m_link.SetLinkTarget(m_presetTarget);
        }
        m_link.AttachDlgItem(m_hWnd, IDC_LINK);
        return true;
    }
};

inline RECT ChildRect(HWND hChild) {
    RECT rc;
    GetWindowRect(hChild, &rc);
    MapWindowPoints(nullptr, GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The columns a drawing inked on a white 32-bit bitmap of nWidth x nHeight: first and one past
// the last, {0, 0} when nothing was drawn.
template <typename Draw>
inline std::pair<int, int> InkedColumns(HDC hRef, int nWidth, int nHeight, Draw draw) {
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
inline int DrawnTextWidth(HDC hRef, HFONT hFont, const char* pszText, SIZE extent) {
    const auto columns = InkedColumns(hRef, 2 * extent.cx + 64, extent.cy, [&](HDC hDC) {
        SelectObject(hDC, hFont);
        SetBkMode(hDC, TRANSPARENT);
        TextOutA(hDC, 0, 0, pszText, lstrlenA(pszText));
    });
    return std::max<int>(extent.cx, columns.second);
}

// The size the control needs: its text as drawn in the underlined font plus its borders.
inline SIZE NeededSize(HWND hControl, HFONT hFont) {
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

inline bool IsUnderlined(HFONT hFont) {
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

}  // namespace link_test
