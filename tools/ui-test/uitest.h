// Shared by the files of mavris-uitest: the result lines, the options, the stand-in main
// window with the time-out, registry preparation, and one Run function per mode.
#pragma once

#include <windows.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

class CDialog;
class CTrayIcon;

namespace uitest {

constexpr int kExitOk = 0;
constexpr int kExitCheckFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoWindow = 3;

constexpr const char kLocationsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";
constexpr const char kSettingsKey[] = "Software\\ORVA\\Mavris\\";
constexpr const char kTestModemKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000";

// ---------------------------------------------------------------------------
// Result lines (output.cpp)

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

extern COutput g_out;

// A text as one line: line breaks become \r and \n.
std::string OneLine(const std::string& text);
std::string Hwnd(HWND hWnd);
std::string Rect(const RECT& rc);

// ---------------------------------------------------------------------------
// Options (options.cpp)

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

bool ParseOptions(int argc, char** argv, Options* pOptions, std::string* pError);

// ---------------------------------------------------------------------------
// The stand-in main window, the time-out and the message loop (main_window.cpp)

extern HWND g_hMain;
extern bool g_bTimedOut;
extern CDialog* g_pCurrentDialog;  // the modal dialog a time-out ends
extern HWND g_hScan;               // the scan window while the scan mode runs

bool CreateMainWindow();
void CALLBACK TimeoutProc(HWND, UINT, UINT_PTR nId, DWORD);
int RunMessageLoop();

// ---------------------------------------------------------------------------
// Registry preparation in the test's own Wine prefix (registry_setup.cpp)

bool SetString(HKEY hRoot, const char* pszKey, const char* pszName, const std::string& value);
bool SetDword(HKEY hRoot, const char* pszKey, const char* pszName, DWORD nValue);
void DeleteValue(HKEY hRoot, const char* pszKey, const char* pszName);
// The stored CallOut value, or "none".
std::string ReadCallOutValue();

// ---------------------------------------------------------------------------
// The modes (mode_<name>.cpp)

int RunAbout(const Options& options);
int RunExtra(const Options& options);
int RunScan();
int RunInfo();
int RunWait(const Options& options);
int RunTray(const Options& options);

// Tray mode: whether the icon is up, how the main window ends it, and the main window's
// messages that belong to it (true: handled, *pResult is the answer).
extern CTrayIcon* g_pTray;
// Ends the tray mode once no popup menu of the icon is open: the icon object must not go
// while its own menu call is still running.
constexpr UINT kEndTray = WM_APP + 50;
bool HandleTrayMessage(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

}  // namespace uitest
