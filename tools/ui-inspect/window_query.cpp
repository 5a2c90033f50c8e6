// Picking one top-level window by handle, title, class or process, waiting for it.
#include <cwchar>

#include "ui_inspect.h"

namespace inspect {

namespace {

struct Candidate {
    HWND hwnd;
    bool visible;
};

bool Matches(const WindowQuery& s, HWND h) {
    if (s.hasTitle && TextOf(h) != s.title)
        return false;
    if (!s.cls.empty() && _wcsicmp(ClassOf(h).c_str(), s.cls.c_str()) != 0)
        return false;
    if (!s.process.empty() && _wcsicmp(ProcessName(ProcessOf(h)).c_str(), s.process.c_str()) != 0)
        return false;
    return true;
}

}  // namespace

BOOL CALLBACK CollectWindow(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

HWND FindOnce(const WindowQuery& s) {
    if (s.hwnd)
        return IsWindow(s.hwnd) ? s.hwnd : nullptr;
    HWND hidden = nullptr;
    for (HWND h : TopLevelWindows()) {
        if (!Matches(s, h))
            continue;
        if (IsWindowVisible(h))
            return h;
        if (!hidden)
            hidden = h;
    }
    return hidden;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND Find(const WindowQuery& s) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND h = FindOnce(s);
        if (h)
            return h;
        if (GetTickCount() - start >= s.timeoutMs)
            return nullptr;
        Sleep(50);
    }
}

// Parses the WINDOW options from argv[i...]; leaves i at the first other word.
bool ParseWindowQuery(int argc, wchar_t** argv, int& i, WindowQuery& s) {
    while (i < argc && std::wcsncmp(argv[i], L"--", 2) == 0) {
        std::wstring opt = argv[i];
        if (opt == L"--gone") {
            s.gone = true;
            ++i;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const wchar_t* v = argv[i + 1];
        if (opt == L"--hwnd")
            s.hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(wcstoull(v, nullptr, 0)));
        else if (opt == L"--title") {
            s.title = v;
            s.hasTitle = true;
        } else if (opt == L"--class")
            s.cls = v;
        else if (opt == L"--process")
            s.process = v;
        else if (opt == L"--timeout")
            s.timeoutMs = static_cast<DWORD>(wcstoul(v, nullptr, 0));
        else
            return false;
        i += 2;
    }
    return true;
}

}  // namespace inspect
