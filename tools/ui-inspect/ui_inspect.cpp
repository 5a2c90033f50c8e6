// ui-inspect: looks at another program's windows from outside, the way a user
// sees them, and pokes at them the way a user would. The end-to-end checks of
// the dialogs drive it from Python; every command prints JSON on stdout.
//
//   ui-inspect list
//   ui-inspect wait   SPEC [--gone]          until a matching window exists (or is gone)
//   ui-inspect dump   SPEC                   the window, its controls and its tool tips
//   ui-inspect children SPEC                 every window inside it, with screen rectangles
//   ui-inspect chars  SPEC ID TEXT           types TEXT into control ID (one WM_CHAR each)
//   ui-inspect paste  SPEC ID TEXT           puts TEXT on the clipboard and sends WM_PASTE
//   ui-inspect settext SPEC ID TEXT          replaces the control's text (WM_SETTEXT)
//   ui-inspect click  SPEC ID                presses a button (BM_CLICK, posted)
//   ui-inspect post   SPEC MSG WPARAM LPARAM posts a message (numbers in C notation)
//   ui-inspect send   SPEC MSG WPARAM LPARAM sends a message and prints the result
//   ui-inspect progress SPEC ID              position and range of a progress bar
//   ui-inspect menu                          the items of every popup menu on screen
//   ui-inspect tray   SPEC UID               whether the window has tray icon UID
//   ui-inspect tray-delete SPEC UID          removes that tray icon, as a shell restart would
//   ui-inspect taskbar-created               broadcasts "TaskbarCreated"
//   ui-inspect clipboard                     the clipboard's text
//
// SPEC picks one top-level window: --hwnd H, or any of --title T (exact),
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

namespace {

// ---------------------------------------------------------------------------
// Output

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const char* text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    return out;
}

std::string Quote(const std::wstring& text) {
    std::string in = Utf8(text), out = "\"";
    for (unsigned char c : in) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string Hex(unsigned long long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"0x%llx\"", v);
    return buf;
}

std::string Num(long long v) {
    return std::to_string(v);
}

std::string Bool(bool b) {
    return b ? "true" : "false";
}

// Raw UTF-8 bytes to stdout, untouched by any console code page.
void Print(const std::string& s) {
    std::string line = s + "\n";
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
}

int Fail(const std::string& what) {
    Print("{\"error\": " + Quote(Wide(what.c_str())) + "}");
    return 1;
}

// ---------------------------------------------------------------------------
// Windows of other processes

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

// WM_GETTEXT is marshalled across processes by the system; a timeout keeps a
// hung target from hanging the inspector.
std::wstring TextOf(HWND h) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len))
        return {};
    std::vector<wchar_t> buf(len + 2, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                        SMTO_ABORTIFHUNG, 2000, &got);
    return std::wstring(buf.data());
}

DWORD ProcessOf(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

std::wstring ProcessName(DWORD pid) {
    HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!p)
        return {};
    wchar_t buf[MAX_PATH] = {};
    DWORD n = GetProcessImageFileNameW(p, buf, MAX_PATH);
    CloseHandle(p);
    std::wstring path(buf, n);
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// Memory in the target process, for the messages whose pointers the system
// does not marshal (tool-tip and combo-box messages).
class RemoteBuffer {
public:
    RemoteBuffer(DWORD pid, size_t size) : m_size(size) {
        m_hProcess = OpenProcess(
            PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
            FALSE, pid);
        if (m_hProcess)
            m_pRemote =
                VirtualAllocEx(m_hProcess, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (m_pRemote)
            VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
        if (m_hProcess)
            CloseHandle(m_hProcess);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Ok() const { return m_pRemote != nullptr; }
    void* Address() const { return m_pRemote; }
    bool Write(const void* data, size_t n, size_t offset = 0) {
        SIZE_T done = 0;
        return n + offset <= m_size &&
               WriteProcessMemory(m_hProcess, static_cast<char*>(m_pRemote) + offset, data, n,
                                  &done) &&
               done == n;
    }
    bool Read(void* data, size_t n, size_t offset = 0) {
        SIZE_T done = 0;
        return n + offset <= m_size &&
               ReadProcessMemory(m_hProcess, static_cast<char*>(m_pRemote) + offset, data, n,
                                 &done) &&
               done == n;
    }

private:
    HANDLE m_hProcess = nullptr;
    void* m_pRemote = nullptr;
    size_t m_size;
};

LRESULT SendWait(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

// ---------------------------------------------------------------------------
// Picking a window

struct Spec {
    HWND hwnd = nullptr;
    std::wstring title, cls, process;
    bool hasTitle = false;
    DWORD timeoutMs = 5000;
    bool gone = false;
};

struct Candidate {
    HWND hwnd;
    bool visible;
};

bool Matches(const Spec& s, HWND h) {
    if (s.hasTitle && TextOf(h) != s.title)
        return false;
    if (!s.cls.empty() && _wcsicmp(ClassOf(h).c_str(), s.cls.c_str()) != 0)
        return false;
    if (!s.process.empty() && _wcsicmp(ProcessName(ProcessOf(h)).c_str(), s.process.c_str()) != 0)
        return false;
    return true;
}

BOOL CALLBACK CollectTop(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND FindOnce(const Spec& s) {
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

HWND Find(const Spec& s) {
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

// Parses the SPEC options from argv[i...]; leaves i at the first other word.
bool ParseSpec(int argc, wchar_t** argv, int& i, Spec& s) {
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

// ---------------------------------------------------------------------------
// Dialog units

struct BaseUnits {
    int x = 0, y = 0;  // pixels per 4 horizontal, per 8 vertical dialog units
    const char* from = "none";
};

// What the system does for a dialog font: the average width of the 52 letters
// and the font's height. Used when the dialog's own mapping cannot be reached
// from this process.
BaseUnits BaseUnitsOfFont(const wchar_t* face, int points) {
    BaseUnits b;
    HDC dc = GetDC(nullptr);
    int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    HFONT font =
        CreateFontW(height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SIZE size = {};
    const wchar_t* letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, letters, 52, &size);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    b.x = static_cast<int>((size.cx / 26 + 1) / 2);
    b.y = static_cast<int>(tm.tmHeight);
    b.from = "font";
    return b;
}

BaseUnits BaseUnitsOf(HWND dialog) {
    RECT r = {0, 0, 4, 8};
    if (MapDialogRect(dialog, &r) && r.right > 0 && r.bottom > 0) {
        BaseUnits b;
        b.x = r.right;
        b.y = r.bottom;
        b.from = "MapDialogRect";
        return b;
    }
    return BaseUnitsOfFont(L"MS Sans Serif", 8);
}

// The dialog-unit value that the system maps onto px (MulDiv(du, base, per)),
// or the nearest one when none maps exactly.
struct Du {
    int value;
    bool exact;
};

Du ToDu(int px, int base, int per) {
    if (base <= 0)
        return {0, false};
    int guess = MulDiv(px, per, base);
    for (int d = guess - 2; d <= guess + 2; ++d)
        if (MulDiv(d, base, per) == px)
            return {d, true};
    return {guess, false};
}

std::string DuArray(const RECT& r, const BaseUnits& b, bool* exact) {
    Du x = ToDu(r.left, b.x, 4), y = ToDu(r.top, b.y, 8);
    Du w = ToDu(r.right - r.left, b.x, 4), h = ToDu(r.bottom - r.top, b.y, 8);
    *exact = x.exact && y.exact && w.exact && h.exact;
    return "[" + Num(x.value) + ", " + Num(y.value) + ", " + Num(w.value) + ", " + Num(h.value) +
           "]";
}

std::string PxArray(const RECT& r) {
    return "[" + Num(r.left) + ", " + Num(r.top) + ", " + Num(r.right - r.left) + ", " +
           Num(r.bottom - r.top) + "]";
}

// A child's rectangle relative to the parent's client area.
RECT ChildRect(HWND parent, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---------------------------------------------------------------------------
// dump

std::string ComboItems(HWND combo) {
    std::string out = "[";
    LRESULT n = SendWait(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT k = 0; k < n && k < 256; ++k) {
        LRESULT len = SendWait(combo, CB_GETLBTEXTLEN, k, 0);
        std::vector<wchar_t> buf(static_cast<size_t>(len > 0 ? len : 0) + 2, L'\0');
        SendWait(combo, CB_GETLBTEXT, k, reinterpret_cast<LPARAM>(buf.data()));
        out += (k ? ", " : "") + Quote(buf.data());
    }
    return out + "]";
}

// Wine copies the RECT of CB_GETDROPPEDCONTROLRECT back across processes itself,
// so the pointer is one of ours.
// The list box of a combo box, whose style carries the scroll bar the template
// gave the combo box. The COMBOBOXINFO is not copied across processes by Wine, so
// it lives in the target's memory.
std::string ListStyle(HWND combo) {
    RemoteBuffer mem(ProcessOf(combo), sizeof(COMBOBOXINFO));
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!mem.Ok() || !mem.Write(&info, sizeof info))
        return "null";
    SendWait(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(mem.Address()));
    if (!mem.Read(&info, sizeof info) || !info.hwndList)
        return "null";
    return Hex(GetWindowLongPtrW(info.hwndList, GWL_STYLE));
}

std::string DroppedRect(HWND dialog, HWND combo, const BaseUnits& b) {
    RECT r = {};
    SendWait(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));  // CB_OKAY is 0
    if (r.bottom <= r.top)
        return "null";
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    bool exact = false;
    std::string du = DuArray(r, b, &exact);
    return "{\"px\": " + PxArray(r) + ", \"dlu\": " + du + "}";
}

// The tools registered on every tool-tip window that the dialog owns.
std::string Tooltips(HWND dialog) {
    std::string out = "[";
    bool first = true;
    DWORD pid = ProcessOf(dialog);
    for (HWND tip : TopLevelWindows()) {
        if (_wcsicmp(ClassOf(tip).c_str(), TOOLTIPS_CLASSW) != 0)
            continue;
        if (ProcessOf(tip) != pid || GetWindow(tip, GW_OWNER) != dialog)
            continue;
        LRESULT count = SendWait(tip, TTM_GETTOOLCOUNT, 0, 0);
        const size_t textChars = 1024;
        RemoteBuffer mem(pid, sizeof(TTTOOLINFOW) + textChars * sizeof(wchar_t));
        if (!mem.Ok())
            continue;
        wchar_t* remoteText =
            reinterpret_cast<wchar_t*>(static_cast<char*>(mem.Address()) + sizeof(TTTOOLINFOW));
        for (LRESULT k = 0; k < count; ++k) {
            // With a text buffer given, the tip window answers a text id as the
            // id itself and copies a plain text into the buffer.
            TTTOOLINFOW ti = {};
            ti.cbSize = sizeof ti;
            ti.lpszText = remoteText;
            wchar_t zero = 0;
            mem.Write(&zero, sizeof zero, sizeof(TTTOOLINFOW));
            mem.Write(&ti, sizeof ti);
            if (!SendWait(tip, TTM_ENUMTOOLSW, k, reinterpret_cast<LPARAM>(mem.Address())))
                continue;
            mem.Read(&ti, sizeof ti);
            UINT_PTR rawText = reinterpret_cast<UINT_PTR>(ti.lpszText);
            std::string textId =
                (ti.lpszText != remoteText && rawText != 0 && IS_INTRESOURCE(ti.lpszText))
                    ? Num(rawText)
                    : "null";
            // Ask the tip window for the text it would show: it resolves a text
            // id through the owner's string table in the owner's language.
            TTTOOLINFOW query = ti;
            query.lpszText = remoteText;
            mem.Write(&zero, sizeof zero, sizeof(TTTOOLINFOW));
            mem.Write(&query, sizeof query);
            SendWait(tip, TTM_GETTEXTW, textChars, reinterpret_cast<LPARAM>(mem.Address()));
            std::vector<wchar_t> text(textChars + 1, L'\0');
            mem.Read(text.data(), textChars * sizeof(wchar_t), sizeof(TTTOOLINFOW));
            HWND tool = (ti.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(ti.uId) : nullptr;
            out += first ? "\n    " : ",\n    ";
            first = false;
            out += "{\"tooltip\": " + Hex(reinterpret_cast<UINT_PTR>(tip)) +
                   ", \"tooltip_style\": " + Hex(GetWindowLongPtrW(tip, GWL_STYLE)) +
                   ", \"flags\": " + Hex(ti.uFlags) +
                   ", \"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(ti.hwnd)) +
                   ", \"uid\": " + Hex(ti.uId) + ", \"rect_px\": " + PxArray(ti.rect) +
                   ", \"control_id\": " + (tool ? Num(GetDlgCtrlID(tool)) : "null") +
                   ", \"text_id\": " + textId + ", \"text\": " + Quote(text.data()) + "}";
        }
    }
    return out + (first ? "]" : "\n  ]");
}

int Dump(HWND dialog) {
    BaseUnits b = BaseUnitsOf(dialog);
    RECT wr = {}, cr = {};
    GetWindowRect(dialog, &wr);
    GetClientRect(dialog, &cr);
    POINT origin = {0, 0};
    ClientToScreen(dialog, &origin);
    bool exact = false;
    std::string clientDu = DuArray(cr, b, &exact);
    std::string out =
        "{\n  \"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(dialog)) +
        ",\n  \"process\": " + Quote(ProcessName(ProcessOf(dialog))) +
        ",\n  \"class\": " + Quote(ClassOf(dialog)) + ",\n  \"title\": " + Quote(TextOf(dialog)) +
        ",\n  \"style\": " + Hex(GetWindowLongPtrW(dialog, GWL_STYLE)) +
        ",\n  \"exstyle\": " + Hex(GetWindowLongPtrW(dialog, GWL_EXSTYLE)) +
        ",\n  \"visible\": " + Bool(IsWindowVisible(dialog)) +
        ",\n  \"foreground\": " + Bool(GetForegroundWindow() == dialog) +
        ",\n  \"window_px\": " + PxArray(wr) + ",\n  \"client_origin_px\": [" + Num(origin.x) +
        ", " + Num(origin.y) + "]" + ",\n  \"client_px\": " + PxArray(cr) +
        ",\n  \"client_dlu\": " + clientDu + ",\n  \"base_units\": [" + Num(b.x) + ", " + Num(b.y) +
        "], \"base_units_from\": \"" + b.from + "\"" + ",\n  \"controls\": [";
    bool first = true;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        RECT r = ChildRect(dialog, c);
        bool duExact = false;
        std::string du = DuArray(r, b, &duExact);
        std::wstring cls = ClassOf(c);
        LONG_PTR style = GetWindowLongPtrW(c, GWL_STYLE);
        std::string extra;
        // A picture's window text is the image's resource number, not a caption.
        bool picture = _wcsicmp(cls.c_str(), L"Static") == 0 &&
                       ((style & SS_TYPEMASK) == SS_BITMAP || (style & SS_TYPEMASK) == SS_ICON);
        if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            extra += ", \"check\": " + Num(SendWait(c, BM_GETCHECK, 0, 0));
        } else if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
            extra += ", \"items\": " + ComboItems(c) +
                     ", \"selected\": " + Num(SendWait(c, CB_GETCURSEL, 0, 0)) +
                     ", \"list_style\": " + ListStyle(c) +
                     ", \"dropped\": " + DroppedRect(dialog, c, b);
        } else if (_wcsicmp(cls.c_str(), PROGRESS_CLASSW) == 0) {
            extra += ", \"pos\": " + Num(SendWait(c, PBM_GETPOS, 0, 0)) + ", \"range\": [" +
                     Num(SendWait(c, PBM_GETRANGE, TRUE, 0)) + ", " +
                     Num(SendWait(c, PBM_GETRANGE, FALSE, 0)) + "]";
        }
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += "{\"id\": " + Num(GetDlgCtrlID(c)) + ", \"class\": " + Quote(cls) +
               ", \"text\": " + Quote(picture ? std::wstring() : TextOf(c)) +
               ", \"picture\": " + Bool(picture) + ", \"style\": " + Hex(style) +
               ", \"exstyle\": " + Hex(GetWindowLongPtrW(c, GWL_EXSTYLE)) +
               ", \"visible\": " + Bool(IsWindowVisible(c)) +
               ", \"enabled\": " + Bool(IsWindowEnabled(c)) + ", \"px\": " + PxArray(r) +
               ", \"dlu\": " + du + ", \"dlu_exact\": " + Bool(duExact) + extra + "}";
    }
    out += "\n  ],\n  \"tooltips\": " + Tooltips(dialog) + "\n}";
    Print(out);
    return 0;
}

// ---------------------------------------------------------------------------
// Other commands

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

BOOL CALLBACK CollectChild(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

// All windows inside one, at any depth (the icons in the taskbar, for instance).
int Children(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
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

std::string MenuJson(HMENU menu, int depth) {
    int n = GetMenuItemCount(menu);
    if (n < 0)
        return "null";
    std::string out = "[";
    for (int k = 0; k < n; ++k) {
        wchar_t text[256] = {};
        MENUITEMINFOW mi = {};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        mi.dwTypeData = text;
        mi.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(k), TRUE, &mi);
        out += (k ? ", " : "");
        out += "{\"text\": " + Quote(text) + ", \"id\": " + Num(mi.hSubMenu ? -1 : mi.wID) +
               ", \"separator\": " + Bool(mi.fType & MFT_SEPARATOR) +
               ", \"default\": " + Bool(mi.fState & MFS_DEFAULT) +
               ", \"checked\": " + Bool(mi.fState & MFS_CHECKED);
        if (mi.hSubMenu && depth < 4)
            out += ", \"submenu\": " + MenuJson(mi.hSubMenu, depth + 1);
        out += "}";
    }
    return out + "]";
}

// Popup menus on screen are windows of the system class "#32768".
int Menus() {
    std::string out = "[";
    bool first = true;
    for (HWND h : TopLevelWindows()) {
        if (ClassOf(h) != L"#32768" || !IsWindowVisible(h))
            continue;
        HMENU menu = reinterpret_cast<HMENU>(SendWait(h, 0x01E1 /* MN_GETHMENU */, 0, 0));
        RECT r = {};
        GetWindowRect(h, &r);
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += "{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
               ", \"process\": " + Quote(ProcessName(ProcessOf(h))) + ", \"px\": " + PxArray(r) +
               ", \"hmenu\": " + Hex(reinterpret_cast<UINT_PTR>(menu)) +
               ", \"items\": " + (menu ? MenuJson(menu, 0) : "null") + "}";
    }
    Print(out + (first ? "]" : "\n]"));
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

int Usage() {
    Print(
        "{\"error\": \"usage: ui-inspect "
        "list|wait|dump|children|chars|paste|settext|click|post|send|"
        "progress|menu|tray|tray-delete|taskbar-created|clipboard [--hwnd H] [--title T] "
        "[--class C] [--process NAME] [--timeout MS] ...\"}");
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
    if (cmd == L"taskbar-created") {
        UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(HWND_BROADCAST, msg, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        Print("{\"message\": " + Num(msg) + "}");
        return 0;
    }

    int i = 2;
    Spec spec;
    if (!ParseSpec(argc, argv, i, spec))
        return Usage();
    if (cmd == L"wait") {
        DWORD start = GetTickCount();
        for (;;) {
            HWND h = FindOnce(spec);
            bool done = spec.gone ? (h == nullptr || !IsWindowVisible(h)) : (h != nullptr);
            if (done) {
                Print("{\"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(h)) +
                      ", \"ms\": " + Num(GetTickCount() - start) + "}");
                return 0;
            }
            if (GetTickCount() - start >= spec.timeoutMs)
                return Fail("timed out");
            Sleep(50);
        }
    }
    HWND w = Find(spec);
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
