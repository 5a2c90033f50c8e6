#include "ui/hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/late_bound_shell.h"
#include "ui/dialog.h"
#include "ui/text.h"

namespace {

constexpr UINT_PTR kSubclassId = 0x4D4C4E4B;  // any id unique to this class
constexpr UINT kHandCursorResource = 106;     // the hand cursor of the old help viewer
constexpr DWORD kRegDefaultSize = 260;

CHyperLink::LinkOpener g_pfnOpener = nullptr;

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

// The width the static really covers when it draws the text: its advance width, or more when
// the renderer places the glyphs further apart than it measures them. Wine does so for some
// hinted glyphs (the "w" of an 11-pixel Liberation Sans standing in for "MS Sans Serif" is
// drawn 10 pixels apart while every measuring call says 8), and as the static clips its text
// to its client area, a control fitted to the measured extent loses its last letters. So the
// text is drawn here the way the static draws it (DrawText, no explicit advances) on an
// off-screen bitmap, and the last column it inked counts as well.
int PaintedTextWidth(HDC hDC, HFONT hFont, const std::string& text, UINT nFormat, SIZE extent) {
    if (text.empty() || extent.cy <= 0) {
        return extent.cx;
    }
    const int nWidth = 2 * extent.cx + 4 * extent.cy;  // ample room for any overrun
    const int nHeight = extent.cy;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    HDC hMemDC = CreateCompatibleDC(hDC);
    HBITMAP hBitmap = CreateDIBSection(hMemDC, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    int nPainted = extent.cx;
    if (hMemDC != nullptr && hBitmap != nullptr && pBits != nullptr) {
        HGDIOBJ hOldBitmap = SelectObject(hMemDC, hBitmap);
        HGDIOBJ hOldFont = SelectObject(hMemDC, hFont);
        auto* pPixels = static_cast<DWORD*>(pBits);
        std::fill(pPixels, pPixels + static_cast<std::size_t>(nWidth) * nHeight, 0x00FFFFFFu);
        SetTextColor(hMemDC, RGB(0, 0, 0));
        SetBkMode(hMemDC, TRANSPARENT);
        RECT rc{0, 0, nWidth, nHeight};
        DrawTextA(hMemDC, text.c_str(), static_cast<int>(text.size()), &rc, nFormat);
        GdiFlush();
        for (int x = nWidth - 1; x >= nPainted; --x) {
            bool bInked = false;
            for (int y = 0; y < nHeight && !bInked; ++y) {
                bInked = (pPixels[static_cast<std::size_t>(y) * nWidth + x] & 0x00FFFFFFu) !=
                         0x00FFFFFFu;
            }
            if (bInked) {
                nPainted = x + 1;
                break;
            }
        }
        SelectObject(hMemDC, hOldFont);
        SelectObject(hMemDC, hOldBitmap);
    }
    if (hBitmap != nullptr) {
        DeleteObject(hBitmap);
    }
    if (hMemDC != nullptr) {
        DeleteDC(hMemDC);
    }
    return nPainted;
}

// The DrawText flags the static control lays a single line of its text out with.
UINT StaticTextFormat(LONG_PTR nStyle) {
    UINT nFormat = DT_LEFT | DT_EXPANDTABS | DT_SINGLELINE | DT_TOP;
    if ((nStyle & SS_NOPREFIX) != 0) {
        nFormat |= DT_NOPREFIX;
    }
    return nFormat;
}

}  // namespace

void CHyperLink::SetLinkOpener(LinkOpener pfnOpener) {
    g_pfnOpener = pfnOpener;
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

    // Clicks are only reported by a static with the notify style.
    SetWindowLongPtrA(hStatic, GWL_STYLE, GetWindowLongPtrA(hStatic, GWL_STYLE) | SS_NOTIFY);

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

LRESULT CHyperLink::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
        case kReflectCtlColorStatic: {
            HDC hDC = reinterpret_cast<HDC>(wParam);
            SetTextColor(hDC, m_bHover ? m_crHover : m_crLink);
            SetBkMode(hDC, TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        }
        case kReflectCommand:
            if (HIWORD(wParam) == STN_CLICKED) {
                m_bHover = false;
                if (g_pfnOpener != nullptr) {
                    g_pfnOpener(m_strTarget, SW_SHOW);
                } else {
                    OpenLink(m_strTarget, SW_SHOW);
                }
                return 1;
            }
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
            FillRect(reinterpret_cast<HDC>(wParam), &rcClient, GetSysColorBrush(COLOR_BTNFACE));
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

INT_PTR CHyperLink::OpenLink(const std::string& address, int nShowCmd) {
    const INT_PTR nShellResult = reinterpret_cast<INT_PTR>(
        late_bound::ShellExecute(nullptr, "open", address.c_str(), nullptr, nullptr, nShowCmd));
    if (nShellResult > 32) {
        return nShellResult;
    }
    std::string command;
    if (!BuildHtmOpenCommand(HKEY_CLASSES_ROOT, address, &command)) {
        return nShellResult;
    }
    return static_cast<INT_PTR>(WinExec(command.c_str(), static_cast<UINT>(nShowCmd)));
}

LONG ReadRegDefault(HKEY hRoot, const char* pszSubKey, std::string* pValue) {
    pValue->clear();
    HKEY hKey = nullptr;
    LONG nError = RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, &hKey);
    if (nError != ERROR_SUCCESS) {
        return nError;
    }
    char szValue[kRegDefaultSize] = {};
    LONG nSize = sizeof szValue;
    nError = RegQueryValueA(hKey, nullptr, szValue, &nSize);
    RegCloseKey(hKey);
    if (nError != ERROR_SUCCESS) {
        return nError;  // also a value too long for the buffer: never handed on cut
    }
    const std::size_t nBytes = nSize > 0 && static_cast<std::size_t>(nSize) <= sizeof szValue
                                   ? static_cast<std::size_t>(nSize)
                                   : sizeof szValue;
    pValue->assign(szValue, strnlen(szValue, nBytes));
    return ERROR_SUCCESS;
}

bool ComposeOpenCommand(std::string_view registered, std::string_view address,
                        std::size_t nBufferSize, std::string* pCommand) {
    pCommand->clear();
    std::string_view command = registered;
    std::size_t nCut = command.find("\"%1\"");
    if (nCut == std::string_view::npos) {
        nCut = command.find("%1");
    }
    if (nCut != std::string_view::npos) {
        command = command.substr(0, nCut);
    }
    if (command.find_first_not_of(" \t") == std::string_view::npos) {
        return false;  // nothing left to start
    }
    // The command, a blank, the address and the NUL must fit; a cut address would open
    // something else than the link.
    if (command.size() + 1 + address.size() + 1 > nBufferSize) {
        return false;
    }
    pCommand->reserve(command.size() + 1 + address.size());
    pCommand->append(command).append(" ").append(address);
    return true;
}

bool BuildHtmOpenCommand(HKEY hRoot, std::string_view address, std::string* pCommand) {
    pCommand->clear();
    std::string fileClass;
    if (ReadRegDefault(hRoot, ".htm", &fileClass) != ERROR_SUCCESS || fileClass.empty()) {
        return false;
    }
    const std::string commandKey = fileClass + "\\shell\\open\\command";
    if (commandKey.size() + 1 > CHyperLink::kCommandBufferSize) {
        return false;
    }
    std::string registered;
    if (ReadRegDefault(hRoot, commandKey.c_str(), &registered) != ERROR_SUCCESS) {
        return false;
    }
    return ComposeOpenCommand(registered, address, CHyperLink::kCommandBufferSize, pCommand);
}
