// mavris-bench-watch: the stopwatch of the benchmarks. It runs on the Windows side, already
// started, so that no process start of its own falls into the time it measures; times come
// from QueryPerformanceCounter and windows are looked for every millisecond.
//
//   mavris-bench-watch start TITLE EXE
//       starts EXE and prints "<ms> <hwnd>" once a visible dialog of that process has the
//       caption TITLE: the time from the start of the process to its first window.
//   mavris-bench-watch command TITLE ID BOXTITLE BOXTEXT
//       posts WM_COMMAND ID to the dialog with the caption TITLE, prints "<ms>" once a visible
//       dialog of the same process with the caption BOXTITLE shows a text that begins with
//       BOXTEXT, and closes that box with its OK button.
//
// Exit code 0; 1 when a window is not there (within 60 s); 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr double kTimeoutMs = 60000.0;
constexpr char kDialogClass[] = "#32770";
constexpr UINT kTextTimeoutMs = 500;

double NowMs() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

DWORD ProcessOf(HWND hWnd) {
    DWORD nProcessId = 0;
    GetWindowThreadProcessId(hWnd, &nProcessId);
    return nProcessId;
}

// A dialog with this caption that belongs to the process (any process when 0), visible if
// asked for, and accepted by the filter; nullptr when there is none.
template <typename Filter>
HWND FindDialog(const char* szTitle, DWORD nProcessId, bool bVisible, Filter accept) {
    HWND hWnd = nullptr;
    while ((hWnd = FindWindowExA(nullptr, hWnd, kDialogClass, szTitle)) != nullptr) {
        if ((nProcessId == 0 || ProcessOf(hWnd) == nProcessId) &&
            (!bVisible || IsWindowVisible(hWnd)) && accept(hWnd)) {
            return hWnd;
        }
    }
    return nullptr;
}

struct TextSearch {
    const char* szPrefix;
    bool bFound;
};

BOOL CALLBACK FindTextChild(HWND hChild, LPARAM lParam) {
    auto* pSearch = reinterpret_cast<TextSearch*>(lParam);
    char szText[512] = {};
    DWORD_PTR nResult = 0;
    // Asked across processes; the window's thread answers (the system copies the text).
    if (SendMessageTimeoutA(hChild, WM_GETTEXT, sizeof szText, reinterpret_cast<LPARAM>(szText),
                            SMTO_ABORTIFHUNG, kTextTimeoutMs, &nResult) != 0 &&
        std::strncmp(szText, pSearch->szPrefix, std::strlen(pSearch->szPrefix)) == 0) {
        pSearch->bFound = true;
        return FALSE;
    }
    return TRUE;
}

bool ShowsText(HWND hWnd, const char* szPrefix) {
    TextSearch search{szPrefix, false};
    EnumChildWindows(hWnd, FindTextChild, reinterpret_cast<LPARAM>(&search));
    return search.bFound;
}

// Polls every millisecond until find() returns a window; nullptr after the time-out.
template <typename Find>
HWND WaitFor(double start, Find find) {
    while (NowMs() - start < kTimeoutMs) {
        if (HWND hWnd = find()) {
            return hWnd;
        }
        Sleep(1);
    }
    return nullptr;
}

int Start(const char* szTitle, const char* szExe) {
    std::string commandLine = std::string("\"") + szExe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const double start = NowMs();
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", szExe, GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    HWND hWnd = WaitFor(start, [&] {
        return FindDialog(szTitle, process.dwProcessId, true, [](HWND) { return true; });
    });
    if (hWnd == nullptr) {
        std::fprintf(stderr, "no window \"%s\"\n", szTitle);
        return 1;
    }
    std::printf("%.1f %p\n", NowMs() - start, static_cast<void*>(hWnd));
    return 0;
}

int Command(const char* szTitle, WORD nId, const char* szBoxTitle, const char* szBoxText) {
    HWND hMain = FindDialog(szTitle, 0, false, [](HWND) { return true; });
    if (hMain == nullptr) {
        std::fprintf(stderr, "no window \"%s\"\n", szTitle);
        return 1;
    }
    const DWORD nProcessId = ProcessOf(hMain);
    std::set<HWND> looked;  // each box is read once: its text does not change
    const double start = NowMs();
    PostMessageA(hMain, WM_COMMAND, MAKEWPARAM(nId, 0), 0);
    HWND hBox = WaitFor(start, [&] {
        return FindDialog(szBoxTitle, nProcessId, true, [&](HWND hWnd) {
            return looked.insert(hWnd).second && ShowsText(hWnd, szBoxText);
        });
    });
    if (hBox == nullptr) {
        std::fprintf(stderr, "no box \"%s\" with \"%s\"\n", szBoxTitle, szBoxText);
        return 1;
    }
    std::printf("%.1f\n", NowMs() - start);
    PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitFor(NowMs(), [&] { return IsWindow(hBox) ? nullptr : hMain; });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int nResult = 2;
    if (argc == 4 && std::strcmp(argv[1], "start") == 0) {
        nResult = Start(argv[2], argv[3]);
    } else if (argc == 6 && std::strcmp(argv[1], "command") == 0) {
        nResult = Command(argv[2], static_cast<WORD>(std::atoi(argv[3])), argv[4], argv[5]);
    } else {
        std::fprintf(stderr,
                     "usage: mavris-bench-watch start TITLE EXE\n"
                     "       mavris-bench-watch command TITLE ID BOXTITLE BOXTEXT\n");
    }
    std::fflush(stdout);
    return nResult;
}
