// Commands that list windows or act on them as a user would: typing, pasting, tray icons.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>

#include "ui_inspect.h"

namespace inspect {

int List() {
    std::string out = "[";
    bool first = true;
    for (HWND h : TopLevelWindows()) {
        RECT r = {};
        GetWindowRect(h, &r);
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
               ", \"class\": " + Quote(ClassOf(h)) + ", \"title\": " + Quote(TextOf(h)) +
               ", \"process\": " + Quote(ProcessName(ProcessOf(h))) +
               ", \"visible\": " + Bool(IsWindowVisible(h)) +
               ", \"owner\": " + Hex(reinterpret_cast<UINT_PTR>(GetWindow(h, GW_OWNER))) +
               ", \"px\": " + PxArray(r) + "}";
    }
    Print(out + "\n]");
    return 0;
}

// All windows inside one, at any depth (the icons in the taskbar, for instance).
int Children(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::string out = "[";
    bool first = true;
    for (HWND h : all) {
        RECT r = {};
        GetWindowRect(h, &r);
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
               ", \"parent\": " + Hex(reinterpret_cast<UINT_PTR>(GetParent(h))) +
               ", \"id\": " + Num(GetDlgCtrlID(h)) + ", \"class\": " + Quote(ClassOf(h)) +
               ", \"text\": " + Quote(TextOf(h)) + ", \"visible\": " + Bool(IsWindowVisible(h)) +
               ", \"screen_px\": " + PxArray(r) + "}";
    }
    Print(out + (first ? "]" : "\n]"));
    return 0;
}

HWND Control(HWND dialog, const wchar_t* id) {
    return GetDlgItem(dialog, static_cast<int>(wcstol(id, nullptr, 0)));
}

int Chars(HWND edit, const std::wstring& text) {
    for (wchar_t ch : text)
        SendWait(edit, WM_CHAR, ch, 1);
    Print("{\"text\": " + Quote(TextOf(edit)) + "}");
    return 0;
}

bool SetClipboardText(const std::wstring& text) {
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = false;
    if (mem) {
        std::memcpy(GlobalLock(mem), text.c_str(), bytes);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
        if (!ok)
            GlobalFree(mem);
    }
    CloseClipboard();
    return ok;
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return text;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

int Paste(HWND edit, const std::wstring& text) {
    if (!SetClipboardText(text))
        return Fail("cannot set the clipboard");
    SendWait(edit, WM_PASTE, 0, 0);
    Print("{\"text\": " + Quote(TextOf(edit)) + "}");
    return 0;
}

int Tray(HWND owner, UINT uid, DWORD message) {
    NOTIFYICONDATAW nid = {};
    nid.cbSize = NOTIFYICONDATAW_V2_SIZE;
    nid.hWnd = owner;
    nid.uID = uid;
    BOOL ok = Shell_NotifyIconW(message, &nid);
    Print(std::string("{\"") + (message == NIM_DELETE ? "deleted" : "exists") + "\": " + Bool(ok) +
          "}");
    return 0;
}

}  // namespace inspect
