// mavris-uitest: opens one window of the tool on its own, with the real resources and the
// Win32 platform, and reports what happens inside as "key=value" lines for the external
// checks. See usage.h for the modes and their lines.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/tray_icon.h"
#include "modem/call_waiting_control.h"
#include "modem/modem_info.h"
#include "platform/win32/win32_platform.h"
#include "settings/settings_store.h"
#include "ui/about_dlg.h"
#include "ui/extra_dlg.h"
#include "ui/info_dlg.h"
#include "ui/msg_filter.h"
#include "ui/resource.h"
#include "ui/scan_dlg.h"
#include "ui/text.h"
#include "ui/wait_dlg.h"
#include "usage.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoWindow = 3;

constexpr const char kMainClass[] = "MavrisUiTestMain";
constexpr const char kLocationsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
constexpr const char kSettingsKey[] = "Software\\ORVA\\Mavris\\";
constexpr const char kTestModemKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";

// ---------------------------------------------------------------------------
// Result lines

class COutput {
public:
    void OpenFile(const char* pszPath) { m_pFile = std::fopen(pszPath, "ab"); }
    bool HasFile() const { return m_pFile != nullptr; }

    void Line(const char* pszFormat, ...) {
        char szLine[2048];
        va_list args;
        va_start(args, pszFormat);
        std::vsnprintf(szLine, sizeof szLine, pszFormat, args);
        va_end(args);
        std::lock_guard<std::mutex> lock(m_mutex);
        std::fputs(szLine, stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        if (m_pFile != nullptr) {
            std::fputs(szLine, m_pFile);
            std::fputc('\n', m_pFile);
            std::fflush(m_pFile);
        }
    }

private:
    std::mutex m_mutex;
    std::FILE* m_pFile = nullptr;
};

COutput g_out;

// A text as one line: line breaks become \r and \n.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Hwnd(HWND hWnd) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hWnd)));
    return sz;
}

std::string Rect(const RECT& rc) {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%ld,%ld,%ld,%ld", rc.left, rc.top, rc.right, rc.bottom);
    return sz;
}

// ---------------------------------------------------------------------------
// Options

struct Options {
    std::string mode;
    DWORD nTimeoutMs = 120000;
    bool bEscapeFilter = false;
    int nRepeat = 1;
    bool bLinkPrint = false;
    // extra
    bool bLocationPrefix = false;
    std::string locationPrefix;
    bool bNoLocation = false;
    std::string callOut;  // "", "0", "1", "none"
    bool bStoredPrefix = false;
    std::string storedPrefix;
    // wait
    DWORD nCloseAfterMs = 0;
    // tray
    std::vector<std::string> sendEvents;
};

bool ParseNumber(const char* psz, long long nMin, long long nMax, long long* pValue) {
    char* pEnd = nullptr;
    const long long n = std::strtoll(psz, &pEnd, 10);
    if (pEnd == psz || *pEnd != '\0' || n < nMin || n > nMax) {
        return false;
    }
    *pValue = n;
    return true;
}

bool ParseOptions(int argc, char** argv, Options* pOptions, std::string* pError) {
    if (argc < 2) {
        *pError = "no mode";
        return false;
    }
    pOptions->mode = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&](const char** ppsz) {
            if (i + 1 >= argc) {
                *pError = "missing value of " + option;
                return false;
            }
            *ppsz = argv[++i];
            return true;
        };
        const char* psz = nullptr;
        long long n = 0;
        if (option == "--out") {
            if (!value(&psz)) {
                return false;
            }
            g_out.OpenFile(psz);
            if (!g_out.HasFile()) {
                *pError = std::string("cannot open ") + psz;
                return false;
            }
        } else if (option == "--timeout") {
            if (!value(&psz) || !ParseNumber(psz, 1, 86400000, &n)) {
                *pError = "bad --timeout";
                return false;
            }
            pOptions->nTimeoutMs = static_cast<DWORD>(n);
        } else if (option == "--escape-filter") {
            pOptions->bEscapeFilter = true;
        } else if (option == "--repeat" || option == "--runs") {
            if (!value(&psz) || !ParseNumber(psz, 1, 1000, &n)) {
                *pError = "bad " + option;
                return false;
            }
            pOptions->nRepeat = static_cast<int>(n);
        } else if (option == "--link-print") {
            pOptions->bLinkPrint = true;
        } else if (option == "--location-prefix") {
            if (!value(&psz)) {
                return false;
            }
            pOptions->bLocationPrefix = true;
            pOptions->locationPrefix = psz;
        } else if (option == "--no-location") {
            pOptions->bNoLocation = true;
        } else if (option == "--callout") {
            if (!value(&psz)) {
                return false;
            }
            pOptions->callOut = psz;
            if (pOptions->callOut != "0" && pOptions->callOut != "1" &&
                pOptions->callOut != "none") {
                *pError = "bad --callout";
                return false;
            }
        } else if (option == "--stored-prefix") {
            if (!value(&psz)) {
                return false;
            }
            pOptions->bStoredPrefix = true;
            pOptions->storedPrefix = psz;
        } else if (option == "--close-after") {
            if (!value(&psz) || !ParseNumber(psz, 0, 3600000, &n)) {
                *pError = "bad --close-after";
                return false;
            }
            pOptions->nCloseAfterMs = static_cast<DWORD>(n);
        } else if (option == "--send") {
            if (!value(&psz)) {
                return false;
            }
            std::string list = psz;
            std::size_t nStart = 0;
            while (nStart <= list.size()) {
                const std::size_t nComma = list.find(',', nStart);
                const std::string event =
                    list.substr(nStart, nComma == std::string::npos ? nComma : nComma - nStart);
                static const char* const kEvents[] = {"lclick", "rdown",   "rup", "dblclk",
                                                      "move",   "taskbar", "exit"};
                bool bKnown = false;
                for (const char* pszEvent : kEvents) {
                    bKnown = bKnown || event == pszEvent;
                }
                if (!bKnown) {
                    *pError = "unknown event " + event;
                    return false;
                }
                pOptions->sendEvents.push_back(event);
                if (nComma == std::string::npos) {
                    break;
                }
                nStart = nComma + 1;
            }
        } else {
            *pError = "unknown option " + option;
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// The stand-in main window, the time-out and the Escape rule

HWND g_hMain = nullptr;
bool g_bTimedOut = false;
CDialog* g_pCurrentDialog = nullptr;  // the modal dialog a time-out ends

// Tray mode state, used by the main window's procedure.
CTrayIcon* g_pTray = nullptr;
bool g_bInMenuLoop = false;
bool g_bMenuReported = false;
int g_nMenusToClose = 0;  // menus opened by --send rup, closed again unchosen

// Scan mode state.
HWND g_hScan = nullptr;

// Ends the tray mode once no popup menu of the icon is open: the icon object must not go
// while its own menu call is still running.
constexpr UINT kEndTray = WM_APP + 50;
// Posts the next --send event once the previous one is done (no menu open).
constexpr UINT_PTR kSendTimerId = 7;
std::vector<std::string> g_pendingEvents;

void EndTray();
void PostNextEvent();

std::string DescribeMenu(HMENU hMenu) {
    std::string items;
    for (int i = 0; i < GetMenuItemCount(hMenu); ++i) {
        if (!items.empty()) {
            items += ' ';
        }
        if (GetSubMenu(hMenu, i) != nullptr) {
            items += 'p';
        } else {
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID;
            GetMenuItemInfoA(hMenu, static_cast<UINT>(i), TRUE, &info);
            items += (info.fType & MFT_SEPARATOR) != 0 ? "0" : std::to_string(info.wID);
        }
    }
    const UINT nDefault = GetMenuDefaultItem(hMenu, FALSE, 0);
    return items + " default=" +
           (nDefault == static_cast<UINT>(-1) ? std::string("none") : std::to_string(nDefault));
}

LRESULT CALLBACK MainProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
        case WM_CLOSE:
            // As the main dialog: a close request only hides it.
            g_out.Line("main.close=1");
            return 0;
        case WM_APP_SHUTDOWN:
            g_out.Line("main.shutdown=1");
            g_out.Line("main.shutdown.params=%llu,%lld", static_cast<unsigned long long>(wParam),
                       static_cast<long long>(lParam));
            if (g_hScan != nullptr) {
                // The program ends: the scan window goes, and its object with it.
                DestroyWindow(g_hScan);
                g_hScan = nullptr;
                PostQuitMessage(kExitOk);
            }
            return 0;
        case WM_COMMAND:
            if (g_pTray != nullptr && lParam == 0) {
                g_out.Line("tray.command=%u", static_cast<unsigned>(LOWORD(wParam)));
                if (LOWORD(wParam) == ID_TRAY_EXIT) {
                    PostMessageA(hWnd, kEndTray, 0, 0);
                }
                return 0;
            }
            break;
        case kEndTray:
            if (g_bInMenuLoop) {
                EndMenu();
                PostMessageA(hWnd, kEndTray, 0, 0);
            } else {
                EndTray();
            }
            return 0;
        case WM_TIMER:
            if (wParam == kSendTimerId) {
                PostNextEvent();
                return 0;
            }
            break;
        case WM_ENTERMENULOOP:
            g_bInMenuLoop = true;
            g_bMenuReported = false;
            break;
        case WM_EXITMENULOOP:
            g_bInMenuLoop = false;
            break;
        case WM_INITMENUPOPUP:
            // The first popup of a menu loop is the tray menu itself, later ones its sub-menus.
            if (g_pTray != nullptr && g_bInMenuLoop && !g_bMenuReported) {
                g_bMenuReported = true;
                g_out.Line("tray.menu=%s", DescribeMenu(reinterpret_cast<HMENU>(wParam)).c_str());
            }
            break;
        case WM_ENTERIDLE:
            if (wParam == MSGF_MENU && g_nMenusToClose > 0) {
                --g_nMenusToClose;
                EndMenu();
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hWnd, nMsg, wParam, lParam);
}

bool CreateMainWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = kMainClass;
    if (RegisterClassA(&wc) == 0) {
        return false;
    }
    g_hMain = CreateWindowExA(0, kMainClass, "Mavris UI test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
    return g_hMain != nullptr;
}

void CALLBACK TimeoutProc(HWND, UINT, UINT_PTR nId, DWORD) {
    KillTimer(nullptr, nId);
    g_bTimedOut = true;
    g_out.Line("timeout=1");
    if (g_pCurrentDialog != nullptr && g_pCurrentDialog->GetSafeHwnd() != nullptr) {
        g_pCurrentDialog->EndDialog(IDCANCEL);
    } else if (g_pTray != nullptr) {
        PostMessageA(g_hMain, kEndTray, 0, 0);
    } else {
        if (g_hScan != nullptr) {
            DestroyWindow(g_hScan);
            g_hScan = nullptr;
        }
        PostQuitMessage(kExitCheckFailed);
    }
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (g_hScan != nullptr && IsDialogMessageA(g_hScan, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// ---------------------------------------------------------------------------
// Registry preparation (the test's own Wine prefix)

bool SetString(HKEY hRoot, const char* pszKey, const char* pszName, const std::string& value) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(hRoot, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG nError =
        RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(hKey);
    return nError == ERROR_SUCCESS;
}

bool SetDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD nValue) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(hRoot, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG nError = RegSetValueExA(hKey, pszName, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&nValue), sizeof nValue);
    RegCloseKey(hKey);
    return nError == ERROR_SUCCESS;
}

void DeleteValue(HKEY hRoot, const char* pszKey, const char* pszName) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(hRoot, pszKey, 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueA(hKey, pszName);
        RegCloseKey(hKey);
    }
}

std::string ReadCallOutValue() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, &hKey) !=
        ERROR_SUCCESS) {
        return "none";
    }
    DWORD nValue = 0;
    DWORD nSize = sizeof nValue;
    DWORD nType = 0;
    const LONG nError = RegQueryValueExA(hKey, "CallOut", nullptr, &nType,
                                         reinterpret_cast<BYTE*>(&nValue), &nSize);
    RegCloseKey(hKey);
    return nError == ERROR_SUCCESS ? std::to_string(nValue) : std::string("none");
}

// ---------------------------------------------------------------------------
// about

INT_PTR PrintOpen(const std::string& target, int nShowCmd) {
    g_out.Line("about.link.open=%s show=%d", target.c_str(), nShowCmd);
    return 33;
}

class CProbeAboutDlg : public CAboutDlg {
protected:
    bool OnInitDialog() override {
        const bool bResult = CAboutDlg::OnInitDialog();
        HWND hLink = GetDlgItem(IDC_LINK);
        g_out.Line("about.hwnd=%s", Hwnd(m_hWnd).c_str());
        g_out.Line("about.link.hwnd=%s", Hwnd(hLink).c_str());
        g_out.Line("about.link.target=%s", GetLink().GetLinkTarget().c_str());
        g_out.Line("about.link.text=%s", GetWindowTextString(hLink).c_str());
        RECT rc;
        GetWindowRect(hLink, &rc);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        g_out.Line("about.link.rect=%s", Rect(rc).c_str());

        const std::string text = GetWindowTextString(hLink);
        SIZE extent{};
        HDC hDC = GetDC(hLink);
        HGDIOBJ hOld = SelectObject(hDC, GetLink().GetUnderlineFont());
        GetTextExtentPoint32A(hDC, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(hDC, hOld);
        ReleaseDC(hLink, hDC);
        RECT rcWindow;
        RECT rcClient;
        GetWindowRect(hLink, &rcWindow);
        GetClientRect(hLink, &rcClient);
        g_out.Line("about.link.needed=%ld,%ld",
                   extent.cx + (rcWindow.right - rcWindow.left) - rcClient.right,
                   extent.cy + (rcWindow.bottom - rcWindow.top) - rcClient.bottom);
        return bResult;
    }
};

int RunAbout(const Options& options) {
    if (options.bLinkPrint) {
        CHyperLink::SetLinkOpener(PrintOpen);
    }
    CProbeAboutDlg dialog;
    for (int nRun = 1; nRun <= options.nRepeat && !g_bTimedOut; ++nRun) {
        g_out.Line("run=%d", nRun);
        g_pCurrentDialog = &dialog;
        const INT_PTR nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        if (nResult == -1) {
            g_out.Line("error=about dialog not created");
            return kExitNoWindow;
        }
        g_out.Line("about.result=%lld", static_cast<long long>(nResult));
    }
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

// ---------------------------------------------------------------------------
// extra

class CProbeExtraDlg : public CExtraDlg {
public:
    using CExtraDlg::CExtraDlg;

protected:
    bool OnInitDialog() override {
        const bool bResult = CExtraDlg::OnInitDialog();
        g_out.Line("extra.hwnd=%s", Hwnd(m_hWnd).c_str());
        return bResult;
    }
};

int RunExtra(const Options& options) {
    if (options.bLocationPrefix) {
        if (!SetDword(HKEY_LOCAL_MACHINE, kLocationsKey, "CurrentID", 1) ||
            !SetString(HKEY_LOCAL_MACHINE, (std::string(kLocationsKey) + "\\Location1").c_str(),
                       "OutsideAccess", options.locationPrefix)) {
            g_out.Line("error=telephony location not written");
            return kExitCheckFailed;
        }
    }
    if (options.bNoLocation) {
        DeleteValue(HKEY_LOCAL_MACHINE, kLocationsKey, "CurrentID");
    }
    if (options.callOut == "none") {
        // The key stays (created when missing): only a missing value makes the store write
        // its default back.
        HKEY hKey = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hKey, nullptr) == ERROR_SUCCESS) {
            RegCloseKey(hKey);
        }
        DeleteValue(HKEY_CURRENT_USER, kSettingsKey, "CallOut");
    } else if (!options.callOut.empty()) {
        SetDword(HKEY_CURRENT_USER, kSettingsKey, "CallOut",
                 static_cast<DWORD>(std::atoi(options.callOut.c_str())));
    }
    // A modem record for the control to belong to; the dialog itself never reads it.
    HKEY hModem = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTestModemKey, 0, KEY_QUERY_VALUE, &hModem) ==
        ERROR_SUCCESS) {
        RegCloseKey(hModem);
    } else {
        SetString(HKEY_LOCAL_MACHINE, kTestModemKey, "AttachedTo", "COM1");
        SetString(HKEY_LOCAL_MACHINE, kTestModemKey, "Model", "Mavris Test Modem");
    }

    const Platform& platform = GetWin32Platform();
    ModemInfo modem(platform, 0);
    CCallWaitingControl callWaiting(platform, &modem);
    if (options.bStoredPrefix) {
        callWaiting.SetOutsideAccess(options.storedPrefix);
    }
    CSettingsStore store(platform);
    CStoredCallOutSetting callOut(store);

    for (int nRun = 1; nRun <= options.nRepeat && !g_bTimedOut; ++nRun) {
        g_out.Line("run=%d", nRun);
        CProbeExtraDlg dialog(&callWaiting, &callOut, g_hMain);
        g_pCurrentDialog = &dialog;
        const INT_PTR nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        if (nResult == -1) {
            g_out.Line("error=extra dialog not created");
            return kExitNoWindow;
        }
        g_out.Line("extra.result=%s", nResult == IDOK ? "ok" : "cancel");
        g_out.Line("extra.outside_access=%s", callWaiting.GetOutsideAccess().c_str());
        g_out.Line("extra.callout=%s", ReadCallOutValue().c_str());
    }
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

// ---------------------------------------------------------------------------
// scan

class CProbeScanDlg : public CScanDlg {
public:
    using CScanDlg::CScanDlg;

protected:
    ~CProbeScanDlg() override { g_out.Line("scan.deleted=1"); }
};

int RunScan() {
    CScanDlg* pScan = new CProbeScanDlg(g_hMain);
    if (!pScan->Create()) {
        g_out.Line("error=scan dialog not created");
        return kExitNoWindow;
    }
    g_hScan = pScan->GetSafeHwnd();
    ShowWindow(g_hScan, SW_SHOW);
    g_out.Line("scan.hwnd=%s", Hwnd(g_hScan).c_str());
    g_out.Line("scan.title=%s", GetWindowTextString(g_hScan).c_str());
    RECT rc;
    GetWindowRect(g_hScan, &rc);
    g_out.Line("scan.rect=%s", Rect(rc).c_str());
    RECT rcWork;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    g_out.Line("scan.workarea=%s", Rect(rcWork).c_str());
    return RunMessageLoop();
}

// ---------------------------------------------------------------------------
// info

class CProbeInfoDlg : public CInfoDlg {
protected:
    bool OnInitDialog() override {
        const bool bResult = CInfoDlg::OnInitDialog();
        g_out.Line("info.hwnd=%s", Hwnd(m_hWnd).c_str());
        LOGFONTA logFont{};
        HFONT hFont =
            reinterpret_cast<HFONT>(SendDlgItemMessageA(m_hWnd, IDC_INFO_LINE, WM_GETFONT, 0, 0));
        GetObjectA(hFont, sizeof logFont, &logFont);
        g_out.Line("info.font=%s,%ld,%ld", logFont.lfFaceName, logFont.lfHeight, logFont.lfWeight);
        return bResult;
    }
};

int RunInfo() {
    HFONT hBold = nullptr;
    INT_PTR nResult;
    {
        CProbeInfoDlg dialog;
        g_pCurrentDialog = &dialog;
        nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        hBold = dialog.GetBoldFont();
    }
    if (nResult == -1) {
        g_out.Line("error=info dialog not created");
        return kExitNoWindow;
    }
    g_out.Line("info.result=%lld", static_cast<long long>(nResult));
    g_out.Line("info.font_released=%d", hBold != nullptr && GetObjectType(hBold) == 0 ? 1 : 0);
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

// ---------------------------------------------------------------------------
// wait

class CProbeWaitDlg : public CWaitDlg {
public:
    std::atomic<HWND> m_hOpen{nullptr};
    bool m_bTimerLeft = false;

protected:
    bool OnInitDialog() override {
        const bool bResult = CWaitDlg::OnInitDialog();
        // A run whose work had already ended was closed during the initialisation: its timer
        // is stopped and its window never shows.
        if (IsTimerRunning()) {
            m_hOpen = m_hWnd;
        }
        return bResult;
    }
    void OnDestroy() override {
        // Whether the close left the progress timer running: KillTimer finds it or not.
        m_bTimerLeft = KillTimer(m_hWnd, 1) != FALSE;
        m_hOpen = nullptr;
        CWaitDlg::OnDestroy();
    }
};

int RunWait(const Options& options) {
    CProbeWaitDlg dialog;
    for (int nRun = 1; nRun <= options.nRepeat && !g_bTimedOut; ++nRun) {
        g_out.Line("run=%d", nRun);
        const DWORD nStart = GetTickCount();
        dialog.PrepareRun();
        dialog.m_bTimerLeft = false;

        std::thread worker;
        if (options.nCloseAfterMs == 0) {
            // The work ends before the window exists.
            worker = std::thread([&] { dialog.RequestClose(); });
            worker.join();
        } else {
            worker = std::thread([&, nDelay = options.nCloseAfterMs] {
                Sleep(nDelay);
                dialog.RequestClose();
            });
        }

        std::atomic<bool> bStop{false};
        std::thread poller([&] {
            HWND hShown = nullptr;
            int nLast = -1;
            while (!bStop) {
                HWND hWnd = dialog.m_hOpen;
                if (hWnd != nullptr) {
                    if (hWnd != hShown) {
                        hShown = hWnd;
                        g_out.Line("wait.hwnd=%s", Hwnd(hWnd).c_str());
                    }
                    DWORD_PTR nPos = 0;
                    if (SendMessageTimeoutA(GetDlgItem(hWnd, IDC_WAIT_PROGRESS), PBM_GETPOS, 0, 0,
                                            SMTO_ABORTIFHUNG, 200, &nPos) != 0 &&
                        static_cast<int>(nPos) != nLast) {
                        nLast = static_cast<int>(nPos);
                        g_out.Line("wait.pos=%d t=%lu", nLast, GetTickCount() - nStart);
                    }
                }
                Sleep(25);
            }
        });

        g_pCurrentDialog = &dialog;
        const INT_PTR nResult = dialog.DoModal();
        g_pCurrentDialog = nullptr;
        const DWORD nElapsed = GetTickCount() - nStart;
        bStop = true;
        poller.join();
        if (worker.joinable()) {
            worker.join();
        }
        if (nResult == -1) {
            g_out.Line("error=wait dialog not created");
            return kExitNoWindow;
        }
        g_out.Line("wait.ended=1 elapsed=%lu", nElapsed);
        g_out.Line("wait.timer_left=%d", dialog.m_bTimerLeft || dialog.IsTimerRunning() ? 1 : 0);
    }
    return g_bTimedOut ? kExitCheckFailed : kExitOk;
}

// ---------------------------------------------------------------------------
// tray

// The real shell, with every call reported.
class CReportingTrayShell : public ITrayShell {
public:
    BOOL NotifyIcon(DWORD nMessage, NOTIFYICONDATAA* pData) override {
        const BOOL bResult = GetWin32TrayShell().NotifyIcon(nMessage, pData);
        const char* pszOperation = nMessage == NIM_ADD      ? "add"
                                   : nMessage == NIM_MODIFY ? "modify"
                                   : nMessage == NIM_DELETE ? "delete"
                                                            : "other";
        g_out.Line("tray.shell=%s ok=%d tip=%s", pszOperation, bResult ? 1 : 0,
                   OneLine(pData->szTip).c_str());
        return bResult;
    }
    HMENU LoadMenuResource(UINT nId) override { return GetWin32TrayShell().LoadMenuResource(nId); }
};

CReportingTrayShell g_reportingShell;
std::unique_ptr<CTrayIcon> g_pTrayOwner;

void EndTray() {
    if (g_pTrayOwner == nullptr) {
        return;
    }
    g_pTray = nullptr;
    g_pTrayOwner.reset();  // removes the icon
    g_out.Line("tray.end=1");
    PostQuitMessage(g_bTimedOut ? kExitCheckFailed : kExitOk);
}

int RunTray(const Options& options) {
    g_pTrayOwner = std::make_unique<CTrayIcon>(IDR_TRAY, g_reportingShell);
    g_pTray = g_pTrayOwner.get();
    g_pTray->BindWindow(g_hMain, WM_TRAY_NOTIFY);
    g_out.Line("tray.hwnd=%s", Hwnd(g_hMain).c_str());
    g_pTray->ShowResourceIcon(IDI_TRAY);

    g_pendingEvents = options.sendEvents;
    if (!g_pendingEvents.empty()) {
        SetTimer(g_hMain, kSendTimerId, 100, nullptr);
    }
    const int nExit = RunMessageLoop();
    EndTray();
    return nExit;
}

void PostNextEvent() {
    if (g_bInMenuLoop || g_pTray == nullptr) {
        return;  // one thing at a time: the menu of the last event is still open
    }
    if (g_pendingEvents.empty()) {
        KillTimer(g_hMain, kSendTimerId);
        return;
    }
    const std::string event = g_pendingEvents.front();
    g_pendingEvents.erase(g_pendingEvents.begin());
    {
        LPARAM nMouse = 0;
        if (event == "lclick") {
            PostMessageA(g_hMain, WM_TRAY_NOTIFY, IDR_TRAY, WM_LBUTTONDOWN);
            nMouse = WM_LBUTTONUP;
        } else if (event == "rdown") {
            nMouse = WM_RBUTTONDOWN;
        } else if (event == "rup") {
            ++g_nMenusToClose;
            nMouse = WM_RBUTTONUP;
        } else if (event == "dblclk") {
            nMouse = WM_LBUTTONDBLCLK;
        } else if (event == "move") {
            nMouse = WM_MOUSEMOVE;
        } else if (event == "taskbar") {
            PostMessageA(g_hMain, CTrayIcon::s_nTaskbarCreated, 0, 0);
        } else if (event == "exit") {
            PostMessageA(g_hMain, WM_COMMAND, ID_TRAY_EXIT, 0);
        }
        if (nMouse != 0) {
            PostMessageA(g_hMain, WM_TRAY_NOTIFY, IDR_TRAY, nMouse);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsageText, stdout);
        return kExitOk;
    }
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        g_out.Line("error=%s", error.c_str());
        std::fputs(kUsageText, stderr);
        return kExitUsage;
    }
    static const char* const kModes[] = {"about", "extra", "scan", "info", "wait", "tray"};
    bool bKnown = false;
    for (const char* pszMode : kModes) {
        bKnown = bKnown || options.mode == pszMode;
    }
    if (!bKnown) {
        g_out.Line("error=unknown mode %s", options.mode.c_str());
        return kExitUsage;
    }

    INITCOMMONCONTROLSEX init{sizeof init,
                              ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    g_out.Line("mode=%s", options.mode.c_str());
    if (!CreateMainWindow()) {
        g_out.Line("error=main window not created");
        return kExitNoWindow;
    }
    g_out.Line("main.hwnd=%s", Hwnd(g_hMain).c_str());
    // As in the tool: dialogs without a parent belong to the main window.
    CDialog::SetDefaultOwner(g_hMain);

    CDialogMessageFilter escapeFilter;
    if (options.bEscapeFilter) {
        escapeFilter.Install([](const MSG& msg) {
            if (IsEscapeKeyDown(msg)) {
                PostMessageA(g_hMain, WM_CLOSE, 0, 0);
                return true;
            }
            return false;
        });
    }
    SetTimer(nullptr, 0, options.nTimeoutMs, TimeoutProc);

    int nExit = kExitOk;
    if (options.mode == "about") {
        nExit = RunAbout(options);
    } else if (options.mode == "extra") {
        nExit = RunExtra(options);
    } else if (options.mode == "scan") {
        nExit = RunScan();
    } else if (options.mode == "info") {
        nExit = RunInfo();
    } else if (options.mode == "wait") {
        nExit = RunWait(options);
    } else if (options.mode == "tray") {
        nExit = RunTray(options);
    }
    DestroyWindow(g_hMain);
    return g_bTimedOut && nExit == kExitOk ? kExitCheckFailed : nExit;
}
