// Shared by the files of ui-inspect: JSON output, windows of other processes, picking a
// window, dialog units, and the commands that Run dispatches to.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace inspect {

// --- JSON output (json_output.cpp) ---
std::string Utf8(const std::wstring& text);
std::wstring Wide(const char* text);
std::string Quote(const std::wstring& text);
std::string Hex(unsigned long long v);
std::string Num(long long v);
std::string Bool(bool b);
// Raw UTF-8 bytes to stdout, untouched by any console code page.
void Print(const std::string& s);
int Fail(const std::string& what);

// --- Windows of other processes (remote_window.cpp) ---
std::wstring ClassOf(HWND h);
// WM_GETTEXT is marshalled across processes by the system; a timeout keeps a
// hung target from hanging the inspector.
std::wstring TextOf(HWND h);
DWORD ProcessOf(HWND h);
std::wstring ProcessName(DWORD pid);
LRESULT SendWait(HWND h, UINT msg, WPARAM wp, LPARAM lp);

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

// --- Picking a window (window_spec.cpp) ---
struct WindowQuery {
    HWND hwnd = nullptr;
    std::wstring title, cls, process;
    bool hasTitle = false;
    DWORD timeoutMs = 5000;
    bool gone = false;
};

// An EnumWindows/EnumChildWindows callback that appends to the std::vector<HWND> in lp.
BOOL CALLBACK CollectWindow(HWND h, LPARAM lp);
std::vector<HWND> TopLevelWindows();
// The best match now (nullptr: none); Find waits up to the query's time-out.
HWND FindOnce(const WindowQuery& s);
HWND Find(const WindowQuery& s);
// Parses the WINDOW options from argv[i...]; leaves i at the first other word.
bool ParseWindowQuery(int argc, wchar_t** argv, int& i, WindowQuery& s);

// --- Dialog units (dialog_units.cpp) ---
struct BaseUnits {
    int x = 0, y = 0;  // pixels per 4 horizontal, per 8 vertical dialog units
    const char* from = "none";
};
BaseUnits BaseUnitsOf(HWND dialog);
std::string DuArray(const RECT& r, const BaseUnits& b, bool* exact);
std::string PxArray(const RECT& r);
// A child's rectangle relative to the parent's client area.
RECT ChildRect(HWND parent, HWND child);

// --- Commands ---
// dump.cpp, tooltips.cpp
int Dump(HWND dialog);
// The tools registered on every tool-tip window that the dialog owns.
std::string Tooltips(HWND dialog);
// actions.cpp
int List();
// All windows inside one, at any depth (the icons in the taskbar, for instance).
int Children(HWND parent);
HWND Control(HWND dialog, const wchar_t* id);
int Chars(HWND edit, const std::wstring& text);
std::wstring ClipboardText();
int Paste(HWND edit, const std::wstring& text);
int Tray(HWND owner, UINT uid, DWORD message);
// menus.cpp: popup menus on screen.
int Menus();

}  // namespace inspect
