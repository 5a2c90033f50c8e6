// Owners for the GDI and user handles the windows create, so that every path frees them.
#pragma once

#include <windows.h>

#include <utility>

// A font the owner created (CreateFontA / CreateFontIndirectA); deleted with the owner.
class CFontHandle {
public:
    CFontHandle() = default;
    explicit CFontHandle(HFONT hFont) : m_hFont(hFont) {}
    ~CFontHandle() { Reset(); }
    CFontHandle(const CFontHandle&) = delete;
    CFontHandle& operator=(const CFontHandle&) = delete;
    CFontHandle(CFontHandle&& other) noexcept : m_hFont(std::exchange(other.m_hFont, nullptr)) {}
    CFontHandle& operator=(CFontHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_hFont, nullptr));
        }
        return *this;
    }

    void Reset(HFONT hFont = nullptr) {
        if (m_hFont != nullptr) {
            DeleteObject(m_hFont);
        }
        m_hFont = hFont;
    }
    HFONT Get() const { return m_hFont; }
    explicit operator bool() const { return m_hFont != nullptr; }

private:
    HFONT m_hFont = nullptr;
};

// A menu loaded or created by the owner; destroyed with the owner.
class CMenuHandle {
public:
    CMenuHandle() = default;
    explicit CMenuHandle(HMENU hMenu) : m_hMenu(hMenu) {}
    ~CMenuHandle() { Reset(); }
    CMenuHandle(const CMenuHandle&) = delete;
    CMenuHandle& operator=(const CMenuHandle&) = delete;

    void Reset(HMENU hMenu = nullptr) {
        if (m_hMenu != nullptr) {
            DestroyMenu(m_hMenu);
        }
        m_hMenu = hMenu;
    }
    HMENU Get() const { return m_hMenu; }
    explicit operator bool() const { return m_hMenu != nullptr; }

private:
    HMENU m_hMenu = nullptr;
};

// A timer of a window (SetTimer without a callback, so the ticks arrive as WM_TIMER);
// stopped when the owner goes or Stop is called. The window must outlive the running timer
// or be destroyed with it (a destroyed window takes its timers with it).
class CWindowTimer {
public:
    CWindowTimer() = default;
    ~CWindowTimer() { Stop(); }
    CWindowTimer(const CWindowTimer&) = delete;
    CWindowTimer& operator=(const CWindowTimer&) = delete;

    // Returns the timer id (0 when the timer could not be started).
    UINT_PTR Start(HWND hWnd, UINT_PTR nId, UINT nElapse) {
        Stop();
        m_nId = SetTimer(hWnd, nId, nElapse, nullptr);
        m_hWnd = m_nId != 0 ? hWnd : nullptr;
        return m_nId;
    }
    void Stop() {
        if (m_hWnd != nullptr) {
            KillTimer(m_hWnd, m_nId);
            m_hWnd = nullptr;
            m_nId = 0;
        }
    }
    // Forgets the timer without stopping it: the window it ran on is gone.
    void Release() {
        m_hWnd = nullptr;
        m_nId = 0;
    }
    bool IsRunning() const { return m_hWnd != nullptr; }
    UINT_PTR GetId() const { return m_nId; }

private:
    HWND m_hWnd = nullptr;
    UINT_PTR m_nId = 0;
};

// A lock between threads of this process (std::lock_guard takes it). A critical section
// rather than std::mutex: the runtime's mutex reports failures as exceptions whose classes
// bring a good part of the C++ library into the program.
class CCriticalSection {
public:
    CCriticalSection() { InitializeCriticalSection(&m_section); }
    ~CCriticalSection() { DeleteCriticalSection(&m_section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

    void lock() { EnterCriticalSection(&m_section); }
    void unlock() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};
