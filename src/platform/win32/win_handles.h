// Owners for the kernel, GDI and user handles the program takes, so that every path gives
// them back, and a lock between its threads.
#pragma once

#include <windows.h>

#include <utility>

// One handle owned by one object and given back with it, however the owner goes. Traits
// name the handle's type and how it is given back (CloseHandle, DeleteObject, DestroyMenu).
template <typename Traits>
class CHandle {
public:
    using Type = typename Traits::Type;

    CHandle() = default;
    explicit CHandle(Type hHandle) : m_hHandle(hHandle) {}
    ~CHandle() { Reset(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : m_hHandle(std::exchange(other.m_hHandle, nullptr)) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_hHandle, nullptr));
        }
        return *this;
    }

    void Reset(Type hHandle = nullptr) {
        if (m_hHandle != nullptr) {
            Traits::Release(m_hHandle);
        }
        m_hHandle = hHandle;
    }
    Type Get() const { return m_hHandle; }
    explicit operator bool() const { return m_hHandle != nullptr; }

private:
    Type m_hHandle = nullptr;
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static void Release(HANDLE hHandle) { CloseHandle(hHandle); }
};
struct FontHandleTraits {
    using Type = HFONT;
    static void Release(HFONT hFont) { DeleteObject(hFont); }
};
struct BitmapHandleTraits {
    using Type = HBITMAP;
    static void Release(HBITMAP hBitmap) { DeleteObject(hBitmap); }
};
struct MenuHandleTraits {
    using Type = HMENU;
    static void Release(HMENU hMenu) { DestroyMenu(hMenu); }
};

// A handle of the kernel (thread, semaphore, event, process).
using CKernelHandle = CHandle<KernelHandleTraits>;
// A font the owner created (CreateFontA / CreateFontIndirectA).
using CFontHandle = CHandle<FontHandleTraits>;
// A bitmap the owner created or took over (a picture handed to a control stays the owner's).
using CBitmapHandle = CHandle<BitmapHandleTraits>;
// A menu loaded or created by the owner.
using CMenuHandle = CHandle<MenuHandleTraits>;

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
