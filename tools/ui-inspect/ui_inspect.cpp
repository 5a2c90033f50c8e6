// ui-inspect: looks at another program's windows from outside, the way a user
// sees them, and pokes at them the way a user would. The end-to-end checks of
// the dialogs drive it from Python; every command prints JSON on stdout.
//
//   ui-inspect list
//   ui-inspect wait   WINDOW [--gone]          until a matching window exists (or is gone)
//   ui-inspect dump   WINDOW                   the window, its controls and its tool tips
//   ui-inspect children WINDOW                 every window inside it, with screen rectangles
//   ui-inspect chars  WINDOW ID TEXT           types TEXT into control ID (one WM_CHAR each)
//   ui-inspect paste  WINDOW ID TEXT           puts TEXT on the clipboard and sends WM_PASTE
//   ui-inspect settext WINDOW ID TEXT          replaces the control's text (WM_SETTEXT)
//   ui-inspect click  WINDOW ID                presses a button (BM_CLICK, posted)
//   ui-inspect post   WINDOW MSG WPARAM LPARAM posts a message (numbers in C notation)
//   ui-inspect send   WINDOW MSG WPARAM LPARAM sends a message and prints the result
//   ui-inspect progress WINDOW ID              position and range of a progress bar
//   ui-inspect menu                          the items of every popup menu on screen
//   ui-inspect tray   WINDOW UID               whether the window has tray icon UID
//   ui-inspect tray-delete WINDOW UID          removes that tray icon, as a shell restart would
//   ui-inspect taskbar-created               broadcasts "TaskbarCreated"
//   ui-inspect clipboard                     the clipboard's text
//   ui-inspect foreground                    the window in the foreground
//
// WINDOW picks one top-level window: --hwnd H, or any of --title T (exact),
// --class C, --process NAME (executable's file name), with --timeout MS to
// wait for it to appear (default 5000). A visible match wins over a hidden one.
//
// Positions are reported in pixels relative to the dialog's client area and in
// dialog units, converted back with the dialog's base units, so they can be
// compared with the layout's numbers.

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "ui_inspect.h"

namespace {

using namespace inspect;

int Usage() {
    Print(
        "{\"error\": \"usage: ui-inspect "
        "list|wait|dump|children|chars|paste|settext|click|post|send|"
        "progress|menu|tray|tray-delete|taskbar-created|clipboard|foreground "
        "[--hwnd H] [--title T] [--class C] [--process NAME] [--timeout MS] ...\"}");
    return 2;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2)
        return Usage();
    std::wstring cmd = argv[1];
    if (cmd == L"list")
        return List();
    if (cmd == L"menu")
        return Menus();
    if (cmd == L"clipboard") {
        Print("{\"text\": " + Quote(ClipboardText()) + "}");
        return 0;
    }
    if (cmd == L"foreground") {
        HWND h = GetForegroundWindow();
        Print("{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
              ", \"title\": " + Quote(h ? TextOf(h) : std::wstring()) +
              ", \"process\": " + Quote(h ? ProcessName(ProcessOf(h)) : std::wstring()) + "}");
        return 0;
    }
    if (cmd == L"taskbar-created") {
        UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(HWND_BROADCAST, msg, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        Print("{\"message\": " + Num(msg) + "}");
        return 0;
    }

    int i = 2;
    WindowQuery query;
    if (!ParseWindowQuery(argc, argv, i, query))
        return Usage();
    if (cmd == L"wait") {
        DWORD start = GetTickCount();
        for (;;) {
            HWND h = FindOnce(query);
            bool done = query.gone ? (h == nullptr || !IsWindowVisible(h)) : (h != nullptr);
            if (done) {
                Print("{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
                      ", \"ms\": " + Num(GetTickCount() - start) + "}");
                return 0;
            }
            if (GetTickCount() - start >= query.timeoutMs)
                return Fail("timed out");
            Sleep(50);
        }
    }
    HWND w = Find(query);
    if (!w)
        return Fail("no such window");
    auto arg = [&](int k) -> const wchar_t* { return i + k < argc ? argv[i + k] : nullptr; };
    auto ctl = [&]() -> HWND { return arg(0) ? Control(w, arg(0)) : nullptr; };

    if (cmd == L"dump")
        return Dump(w);
    if (cmd == L"children")
        return Children(w);
    if (cmd == L"chars" || cmd == L"paste" || cmd == L"settext") {
        HWND c = ctl();
        if (!c || !arg(1))
            return Fail("no such control");
        if (cmd == L"chars")
            return Chars(c, arg(1));
        if (cmd == L"paste")
            return Paste(c, arg(1));
        SendWait(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(1)));
        Print("{\"text\": " + Quote(TextOf(c)) + "}");
        return 0;
    }
    if (cmd == L"click") {
        HWND c = ctl();
        if (!c)
            return Fail("no such control");
        PostMessageW(c, BM_CLICK, 0, 0);
        Print("{\"clicked\": " + Num(GetDlgCtrlID(c)) + "}");
        return 0;
    }
    if (cmd == L"post" || cmd == L"send") {
        if (!arg(2))
            return Usage();
        UINT msg = static_cast<UINT>(wcstoul(arg(0), nullptr, 0));
        WPARAM wp = static_cast<WPARAM>(wcstoull(arg(1), nullptr, 0));
        LPARAM lp = static_cast<LPARAM>(wcstoll(arg(2), nullptr, 0));
        if (cmd == L"post") {
            Print("{\"posted\": " + Bool(PostMessageW(w, msg, wp, lp)) + "}");
        } else {
            Print("{\"result\": " + Num(SendWait(w, msg, wp, lp)) + "}");
        }
        return 0;
    }
    if (cmd == L"progress") {
        HWND c = ctl();
        if (!c)
            return Fail("no such control");
        Print("{\"pos\": " + Num(SendWait(c, PBM_GETPOS, 0, 0)) + ", \"range\": [" +
              Num(SendWait(c, PBM_GETRANGE, TRUE, 0)) + ", " +
              Num(SendWait(c, PBM_GETRANGE, FALSE, 0)) + "], \"ms\": " + Num(GetTickCount()) + "}");
        return 0;
    }
    if (cmd == L"tray" || cmd == L"tray-delete") {
        if (!arg(0))
            return Usage();
        return Tray(w, static_cast<UINT>(wcstoul(arg(0), nullptr, 0)),
                    cmd == L"tray" ? NIM_MODIFY : NIM_DELETE);
    }
    return Usage();
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return 2;
    int rc = Run(argc, argv);
    LocalFree(argv);
    return rc;
}
