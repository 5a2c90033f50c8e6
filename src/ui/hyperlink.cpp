#include "ui/hyperlink.h"

#include <commctrl.h>

#include <cstring>

#include "ui/dialog.h"
#include "ui/link_paint.h"
#include "ui/text.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x4D4C4E4B;  // any id unique to this class
constexpr UINT kHandCursorResource = 106;     // the hand cursor of the old help viewer

CHyperLink::LinkOpener g_pfnOpener = nullptr;
CHyperLink::HighContrastQuery g_pfnHighContrast = nullptr;

HFONT FindControlFont(HWND hWnd) {
    HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(hWnd, WM_GETFONT, 0, 0));
    if (hFont == nullptr) {
        hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    if (hFont == nullptr) {
        hFont = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    }
    return hFont;
}

}  // namespace

void CHyperLink::SetLinkOpener(LinkOpener pfnOpener) {
    g_pfnOpener = pfnOpener;
}

void CHyperLink::SetHighContrastQuery(HighContrastQuery pfnQuery) {
    g_pfnHighContrast = pfnQuery;
}

CHyperLink::~CHyperLink() {
    Detach();
    if (m_hHandCursor != nullptr) {
        DestroyCursor(m_hHandCursor);
    }
}

bool CHyperLink::Attach(HWND hStatic) {
    if (hStatic == nullptr || !IsWindow(hStatic)) {
        return false;
    }
    Detach();

    // Clicks are only reported by a static with the notify style; a tab stop lets the keyboard
    // reach the link as well.
    SetWindowLongPtrA(hStatic, GWL_STYLE,
                      GetWindowLongPtrA(hStatic, GWL_STYLE) | SS_NOTIFY | WS_TABSTOP);

    const std::string text = GetWindowTextString(hStatic);
    if (m_strTarget.empty()) {
        m_strTarget = text;
    }
    if (text.empty()) {
        SetWindowTextA(hStatic, m_strTarget.c_str());
    }

    m_hOriginalFont = reinterpret_cast<HFONT>(SendMessageA(hStatic, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    if (GetObjectA(FindControlFont(hStatic), sizeof logFont, &logFont) != 0) {
        logFont.lfUnderline = TRUE;
        m_fontUnderline.Reset(CreateFontIndirectA(&logFont));
    }

    m_hWnd = hStatic;
    FitToText();
    LoadHandCursor();

    if (!SetWindowSubclass(hStatic, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_hWnd = nullptr;
        return false;
    }
    CDialog::EnableReflection(hStatic, true);
    SendMessageA(hStatic, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontUnderline.Get()), TRUE);
    InvalidateRect(hStatic, nullptr, TRUE);
    return true;
}

void CHyperLink::Detach() {
    if (m_hWnd == nullptr) {
        return;
    }
    KillTimer(m_hWnd, m_nHoverTimer);
    RemoveWindowSubclass(m_hWnd, SubclassProc, kSubclassId);
    CDialog::EnableReflection(m_hWnd, false);
    // The control lives on: it must not keep a font that goes with this object.
    SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_hOriginalFont), TRUE);
    m_hWnd = nullptr;
    m_bHover = false;
}

void CHyperLink::SetLinkTarget(const std::string& target) {
    m_strTarget = target;
    if (m_hWnd != nullptr) {
        FitToText();
    }
}

void CHyperLink::FitToText() {
    if (m_hWnd == nullptr || !IsWindow(m_hWnd)) {
        return;
    }
    RECT rcWindow;
    RECT rcClient;
    GetWindowRect(m_hWnd, &rcWindow);
    GetClientRect(m_hWnd, &rcClient);
    MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&rcClient), 2);
    HWND hParent = GetParent(m_hWnd);
    if (hParent != nullptr) {
        MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcWindow), 2);
        MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rcClient), 2);
    }

    const std::string text = GetWindowTextString(m_hWnd);
    SIZE extent{};
    HDC hDC = GetDC(m_hWnd);
    if (hDC != nullptr) {
        HGDIOBJ hOldFont = m_fontUnderline ? SelectObject(hDC, m_fontUnderline.Get()) : nullptr;
        GetTextExtentPoint32A(hDC, text.c_str(), static_cast<int>(text.size()), &extent);
        if (m_fontUnderline) {
            extent.cx =
                PaintedTextWidth(hDC, m_fontUnderline.Get(), text,
                                 StaticTextFormat(GetWindowLongPtrA(m_hWnd, GWL_STYLE)), extent);
        }
        if (hOldFont != nullptr) {
            SelectObject(hDC, hOldFont);
        }
        ReleaseDC(m_hWnd, hDC);
    }

    const int nWindowWidth = rcWindow.right - rcWindow.left;
    const int nWindowHeight = rcWindow.bottom - rcWindow.top;
    const int nNeededWidth = extent.cx + (nWindowWidth - (rcClient.right - rcClient.left));
    const int nNeededHeight = extent.cy + (nWindowHeight - (rcClient.bottom - rcClient.top));

    const LONG_PTR nStyle = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    if ((nStyle & SS_CENTERIMAGE) != 0) {
        const int nShrink = (nWindowHeight - nNeededHeight) / 2;
        rcWindow.top += nShrink;
        rcWindow.bottom -= nShrink;
    } else {
        rcWindow.bottom = rcWindow.top + nNeededHeight;
    }
    // SS_CENTER and SS_RIGHT are values of the low type bits, tested bit by bit as the control
    // reads them for text alignment.
    if ((nStyle & SS_CENTER) != 0) {
        const int nShrink = (nWindowWidth - nNeededWidth) / 2;
        rcWindow.left += nShrink;
        rcWindow.right -= nShrink;
    } else if ((nStyle & SS_RIGHT) != 0) {
        rcWindow.left = rcWindow.right - nNeededWidth;
    } else {
        rcWindow.right = rcWindow.left + nNeededWidth;
    }
    SetWindowPos(m_hWnd, nullptr, rcWindow.left, rcWindow.top, rcWindow.right - rcWindow.left,
                 rcWindow.bottom - rcWindow.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CHyperLink::LoadHandCursor() {
    if (m_hHandCursor != nullptr) {
        return;
    }
    char szPath[MAX_PATH];
    static constexpr char kViewer[] = "\\winhlp32.exe";
    const UINT nLength = GetWindowsDirectoryA(szPath, MAX_PATH);
    if (nLength > 0 && nLength + sizeof kViewer <= MAX_PATH) {
        std::memcpy(szPath + nLength, kViewer, sizeof kViewer);
        // Only its resources are wanted: map it as data, so none of its code or imports load.
        HMODULE hModule = LoadLibraryExA(szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (hModule != nullptr) {
            HCURSOR hCursor = LoadCursorA(hModule, MAKEINTRESOURCEA(kHandCursorResource));
            if (hCursor != nullptr) {
                m_hHandCursor = CopyIcon(hCursor);
            }
            FreeLibrary(hModule);
        }
    }
    if (m_hHandCursor == nullptr) {
        // Systems without the old help viewer have a hand cursor of their own.
        HCURSOR hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
        if (hCursor != nullptr) {
            m_hHandCursor = CopyIcon(hCursor);
        }
    }
}

void CHyperLink::OnMouseMove() {
    if (m_bHover) {
        return;
    }
    m_bHover = true;
    SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontUnderline.Get()), TRUE);
    InvalidateRect(m_hWnd, nullptr, TRUE);
    SetTimer(m_hWnd, m_nHoverTimer, kHoverPeriod, nullptr);
}

void CHyperLink::OnHoverTimer() {
    const DWORD nPos = GetMessagePos();
    POINT point{static_cast<short>(LOWORD(nPos)), static_cast<short>(HIWORD(nPos))};
    ScreenToClient(m_hWnd, &point);
    RECT rcClient;
    GetClientRect(m_hWnd, &rcClient);
    if (!PtInRect(&rcClient, point)) {
        m_bHover = false;
        KillTimer(m_hWnd, m_nHoverTimer);
        rcClient.bottom += 10;
        InvalidateRect(m_hWnd, &rcClient, TRUE);
    }
}

void CHyperLink::Open() {
    m_bHover = false;
    if (g_pfnOpener != nullptr) {
        g_pfnOpener(m_strTarget, SW_SHOW);
    } else {
        OpenLink(m_strTarget, SW_SHOW);
    }
}

LinkColours CHyperLink::GetColours() const {
    const bool bHighContrast =
        g_pfnHighContrast != nullptr ? g_pfnHighContrast() : IsHighContrastOn();
    return ChooseLinkColours(bHighContrast, m_bHover, m_crLink, m_crHover);
}

void CHyperLink::PaintClient(HDC hDC) {
    // The static draws its text (asking for the colours above); the focus cue goes on top,
    // within what was just drawn, so that it never inverts twice.
    DefSubclassProc(m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hDC), PRF_CLIENT);
    RECT rcClient;
    GetClientRect(m_hWnd, &rcClient);
    DrawFocusCue(m_hWnd, hDC, rcClient);
}

LRESULT CHyperLink::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
        case kReflectCtlColorStatic: {
            HDC hDC = reinterpret_cast<HDC>(wParam);
            SetTextColor(hDC, GetColours().crText);
            SetBkMode(hDC, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        }
        case kReflectCommand:
            if (HIWORD(wParam) == STN_CLICKED) {
                Open();
                return 1;
            }
            return 0;
        case WM_GETDLGCODE: {
            // Enter on the focused link opens it instead of pressing the dialog's default
            // button; Space reaches a static anyway.
            const auto* pMsg = reinterpret_cast<const MSG*>(lParam);
            LRESULT nCode = DefSubclassProc(m_hWnd, nMsg, wParam, lParam);
            if (pMsg != nullptr && pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_RETURN) {
                nCode |= DLGC_WANTMESSAGE;
            }
            return nCode;
        }
        case WM_KEYDOWN:
            // A key held down opens the link once, not once per repeat.
            if ((wParam == VK_RETURN || wParam == VK_SPACE) && (lParam & 0x40000000) == 0) {
                Open();
                return 0;
            }
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_UPDATEUISTATE:
            // The focus cue comes or goes.
            InvalidateRect(m_hWnd, nullptr, TRUE);
            break;
        case WM_PAINT:
            if (wParam == 0) {
                PAINTSTRUCT ps;
                HDC hDC = BeginPaint(m_hWnd, &ps);
                if (hDC != nullptr) {
                    PaintClient(hDC);
                }
                EndPaint(m_hWnd, &ps);
                return 0;
            }
            break;
        case WM_PRINTCLIENT:
            PaintClient(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETCURSOR:
            if (m_hHandCursor != nullptr) {
                SetCursor(m_hHandCursor);
                return TRUE;
            }
            break;
        case WM_MOUSEMOVE:
            OnMouseMove();
            break;
        case WM_TIMER:
            OnHoverTimer();
            break;
        case WM_ERASEBKGND: {
            RECT rcClient;
            GetClientRect(m_hWnd, &rcClient);
            FillRect(reinterpret_cast<HDC>(wParam), &rcClient,
                     GetSysColorBrush(GetColours().nBackground));
            return TRUE;
        }
        case WM_DESTROY:
            KillTimer(m_hWnd, m_nHoverTimer);
            break;
        default:
            break;
    }
    return DefSubclassProc(m_hWnd, nMsg, wParam, lParam);
}

LRESULT CALLBACK CHyperLink::SubclassProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR /*uIdSubclass*/, DWORD_PTR dwRefData) {
    CHyperLink* pLink = reinterpret_cast<CHyperLink*>(dwRefData);
    if (nMsg == WM_NCDESTROY) {
        // The window goes; the object stays with its font and cursor for a later attachment.
        RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
        CDialog::EnableReflection(hWnd, false);
        pLink->m_hWnd = nullptr;
        pLink->m_bHover = false;
        return DefSubclassProc(hWnd, nMsg, wParam, lParam);
    }
    try {
        return pLink->OnMessage(nMsg, wParam, lParam);
    } catch (...) {
        OutputDebugStringA("*** Hyperlink message \n");
        return 0;
    }
}
